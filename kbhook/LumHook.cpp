// The keyboard hook library: resolves the hook entries of the core library
// by name at activation, as the program links nothing of it directly.
#include "LumHook.h"

namespace {

using SetWindowsHookExProc = HHOOK (*)(int, HOOKPROC, HINSTANCE, DWORD);
using CallNextHookExProc = LRESULT (*)(HHOOK, int, WPARAM, LPARAM);
using UnhookWindowsHookExProc = BOOL (*)(HHOOK);

// Written only by the two entries, from the program's GUI thread.
HMODULE g_coreLibrary = nullptr;
SetWindowsHookExProc g_setWindowsHookEx = nullptr;
CallNextHookExProc g_callNextHookEx = nullptr;
UnhookWindowsHookExProc g_unhookWindowsHookEx = nullptr;
HHOOK g_hook = nullptr;

template <typename Proc>
Proc Resolve(const WCHAR* name)
{
    return reinterpret_cast<Proc>(GetProcAddressW(g_coreLibrary, name));
}

}  // namespace

LUMHOOK_API int ActivateKBHook(HINSTANCE instance, KBHookProc proc)
{
    // One hook per process: a second one would be lost to DeactivateKBHook.
    if (g_hook)
        return 0;
    g_setWindowsHookEx = nullptr;
    g_callNextHookEx = nullptr;
    g_unhookWindowsHookEx = nullptr;
    // A failed activation keeps the library; take it again rather than twice.
    if (!g_coreLibrary)
        g_coreLibrary = LoadLibraryW(L"coredll.dll");
    if (!g_coreLibrary)
        return 0;
    g_setWindowsHookEx = Resolve<SetWindowsHookExProc>(L"SetWindowsHookExW");
    if (!g_setWindowsHookEx)
        return 0;
    g_hook = g_setWindowsHookEx(WH_KEYBOARD_LL, proc, instance, 0);
    if (!g_hook)
        return 0;
    g_callNextHookEx = Resolve<CallNextHookExProc>(L"CallNextHookEx");
    if (!g_callNextHookEx)
        return 0;
    g_unhookWindowsHookEx = Resolve<UnhookWindowsHookExProc>(L"UnhookWindowsHookEx");
    return g_unhookWindowsHookEx ? 1 : 0;
}

LUMHOOK_API int DeactivateKBHook()
{
    if (g_hook) {
        if (g_unhookWindowsHookEx)
            g_unhookWindowsHookEx(g_hook);
        g_hook = nullptr;
    }
    if (g_coreLibrary) {
        FreeLibrary(g_coreLibrary);
        g_coreLibrary = nullptr;
    }
    return 1;
}
