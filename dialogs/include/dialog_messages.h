// Messages, commands and timers that the dialogs and their controls share.
#pragma once

#include "plat/windows.h"

// A child tells its dialog of pen contact (the inactivity reset).
inline constexpr UINT WM_POPUP_PEN_UP = WM_USER + 2008;
// The progress indicator's owner: the gallery stores wParam; the indicator
// sends 1 (a position display) or 0 (a run's progress) when it goes.
inline constexpr UINT WM_INDICATOR_OWNER = WM_USER + 2005;
// A notice popup's time is up: the dialog hides it.
inline constexpr UINT WM_POPUP_DONE = WM_USER + 1100;
inline constexpr UINT_PTR TM_POPUP_CLOSE = 1100;
inline constexpr UINT kPopupCloseMs = 2000;
// The yes/no popup's answer, lParam 1 for yes.
inline constexpr WORD CMD_YESNO_DONE = 1811;
// Sent to an info popup when the screen may have turned.
inline constexpr WORD CMD_POPUP_ORIENTATION = 30062;
// wParam of the WM_SETTINGCHANGE that makes a dialog lay itself out again.
inline constexpr WPARAM kSettingChangeLayout = SETTINGCHANGE_RESET;
// Inactivity count a dialog writes on every pen or key input.
inline constexpr int kInactivityReset = 120;

// Pixels of this colour in the program's images are see-through.
inline constexpr COLORREF kTransparentKey = RGB(255, 0, 255);

// 1 when the screen is higher than wide, -1 when wider than high, 0 when square.
int GetScreenOrientation();
