// LumHook: installs and removes the one low-level keyboard hook whose
// procedure lives in the program. The library holds no policy: the
// procedure decides which key events to swallow.
#pragma once

#include "plat/windows.h"

// Non-zero swallows the key event, 0 lets it go on. lParam points to the
// platform's KBDLLHOOKSTRUCT.
using KBHookProc = LRESULT (*)(int code, WPARAM wParam, LPARAM lParam);

#define LUMHOOK_API extern "C" __attribute__((visibility("default")))

// 1 when the hook is installed and every core entry is resolved, else 0.
// While a hook is held, a second call returns 0 and leaves the first in place.
LUMHOOK_API int ActivateKBHook(HINSTANCE instance, KBHookProc proc);
// Removes what is held; always 1, also without a hook and twice.
LUMHOOK_API int DeactivateKBHook();
