// The program's private window messages, all sent or posted to the main
// window, and the command identifiers that WM_MAIN_COMMAND and
// WM_TARGET_COMMAND carry (0xGGGGNNNN: family in the high half, command in
// the low half). Each screen's OnCommand handles the values it knows and
// ignores the rest; add a value here when a second subsystem needs it.
#pragma once

#include "plat/windows.h"

inline constexpr UINT WM_WAVE_OUT_DONE = 0x414;        // wParam: wave-out handle
inline constexpr UINT WM_MMTIMER = 0x4B1;              // wParam: timer id, lParam: user value
inline constexpr UINT WM_SINGLE_SHOT = 0x4C9;          // lParam 0x10004: the shot is stored
inline constexpr UINT WM_MULTI_SHOT_DONE = 0x4CA;
inline constexpr UINT WM_MAIN_COMMAND = 0x52C;         // wParam: command id
inline constexpr UINT WM_TARGET_COMMAND = 0x52D;       // wParam: command id, lParam: screen or 0
inline constexpr UINT WM_PANORAMA_FRAME = 0x530;
inline constexpr UINT WM_SHOT_MOSAIC = 0x531;
inline constexpr UINT WM_DRAW_SCREEN = 0x590;
inline constexpr UINT WM_START_RECOGNITION = 0x5F4;
inline constexpr UINT WM_RECOGNITION_RESULT = 0x5F5;
inline constexpr UINT WM_SHOW_SETTING_VIEW = 0x5F6;
inline constexpr UINT WM_SHOW_THUMBNAIL_VIEW = 0x5F7;
inline constexpr UINT WM_OTHER_APP_ACTIVE = 0xC20;
inline constexpr UINT WM_GRAPH_NOTIFY = 0x8001;
// Popup work asked of the main frame from another thread, done on the GUI
// thread in the order asked.
inline constexpr UINT WM_POPUP_REQUEST = 0x8201;       // wParam: kind of request, lParam: popup type

// Timers of the main window, armed by the frame and the screens.
inline constexpr UINT_PTR TM_USER_ACTIVITY = 23;
inline constexpr UINT_PTR TM_AUTO_OFF = 26;
inline constexpr UINT_PTR TM_CLEAR_GUI_STATUS2 = 27;
inline constexpr UINT_PTR TM_SPACECHECK = 31;          // 1500 ms while recording
inline constexpr UINT_PTR TM_MESSAGE_TIMEOUT = 7001;
inline constexpr UINT_PTR TM_MESSAGE_RESHOW = 7002;
inline constexpr UINT_PTR TM_POPUP_LOW_BATTERY = 7003;
inline constexpr UINT_PTR TM_POPUP_LOW_STORAGE = 7004;
inline constexpr UINT_PTR TM_POPUP_SMS = 7005;
inline constexpr UINT_PTR TM_POPUP_LOW_LIGHT = 7006;
inline constexpr UINT_PTR TM_POPUP_RECOG_FAIL = 7007;
inline constexpr UINT_PTR TM_OCR_CLOSE = 7008;
inline constexpr UINT_PTR TM_GOBACK_PREVIEW = 7009;    // 500 ms
inline constexpr UINT_PTR TM_MODE_NOTICE = 7010;       // 3000 ms
inline constexpr UINT_PTR TM_POPUP_BT = 7011;

// Family 0x0001: common to every screen.
inline constexpr DWORD CMD_TOUCH_EMPTY = 0x1000A;      // lParam: x | y << 16
inline constexpr DWORD CMD_PREVIEW_STARTED = 0x100CA;
inline constexpr DWORD CMD_PREVIEW_STOPED = 0x100CC;
// Family 0x0004: recording.
inline constexpr DWORD CMD_RECORDING_STARTED = 0x40002;
inline constexpr DWORD CMD_RECORDING_STOPED = 0x40004;
inline constexpr DWORD CMD_RECORDING_PAUSED = 0x40006;
inline constexpr DWORD CMD_RECORDING_ERROR_WRITE = 0x40008;
inline constexpr DWORD CMD_RECORDING_STOP_BY_SPACECHECKTIMER = 0x40009;
// Family 0x0006: movie player.
inline constexpr DWORD CMD_MOVIE_OPENED = 0x60002;
inline constexpr DWORD CMD_MOVIE_PLAY = 0x60003;
inline constexpr DWORD CMD_MOVIE_PLAYED = 0x60004;
inline constexpr DWORD CMD_MOVIE_STOPED = 0x60007;
inline constexpr DWORD CMD_MOVIE_PAUSE_RESUME = 0x60008;
// Family 0x003C: the settings menu.
inline constexpr DWORD CMD_SETTING_STORAGE_CHANGED = 0x3C0004;  // argument: 1 card in, 0 out
inline constexpr DWORD CMD_SETTING_STORAGE_ADDED = 0x3C0005;
// Family 0x0064: still picture and preview actions.
inline constexpr DWORD CMD_PREVIEW_EXIT = 0x640001;             // the end key in the preview
inline constexpr DWORD CMD_STILL_EXIT = 0x64000A;
inline constexpr DWORD CMD_STILL_GOBACK_PREVIEW = 0x64000B;     // timer 7009
inline constexpr DWORD CMD_PREVIEW_AUTO_SHOT = 0x640006;
inline constexpr DWORD CMD_STILL_GO_RESULT = 0x64000C;
inline constexpr DWORD CMD_STILL_DROP_SHOT = 0x64000D;
inline constexpr DWORD CMD_STILL_GO_PREVIEW = 0x64000E;
inline constexpr DWORD CMD_STILL_CLEANUP = 0x64000F;
