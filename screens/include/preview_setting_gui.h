// The camera settings menu laid over the live preview: three tabs (camera,
// camcorder, general), each a list of setting titles; the chosen title shows
// the list of its values, and choosing a value applies it at once. Item
// identifiers carry the setting in the high half and the value in the low
// half (value + 1, or value + 4 for the signed settings).
#pragma once

#include "preview_gui.h"
#include "singleton.h"

// Tab commands: the camera, camcorder and general lists.
inline constexpr DWORD CMD_SETTING_TAB_CAMERA = 0x90014;
inline constexpr DWORD CMD_SETTING_TAB_CAMCORDER = 0x90015;
inline constexpr DWORD CMD_SETTING_TAB_GENERAL = 0x90016;

// Setting codes: the high half of their item identifiers ("Timer" whole).
inline constexpr DWORD SETTING_TIMER = 0x20020;
inline constexpr DWORD SETTING_WHITE_BALANCE = 0x14;
inline constexpr DWORD SETTING_QUALITY = 0x15;
inline constexpr DWORD SETTING_EFFECT = 0x16;
inline constexpr DWORD SETTING_FOCUS = 0x17;
inline constexpr DWORD SETTING_ISO = 0x1a;
inline constexpr DWORD SETTING_METERING = 0x1b;
inline constexpr DWORD SETTING_CONTRAST = 0x1c;
inline constexpr DWORD SETTING_SATURATION = 0x1d;
inline constexpr DWORD SETTING_SHARPNESS = 0x1e;
inline constexpr DWORD SETTING_GPS = 0x1f;
inline constexpr DWORD SETTING_STORAGE = 0x3c;
inline constexpr DWORD SETTING_AUTO_OFF = 0x3d;
inline constexpr DWORD SETTING_REVIEW = 0x3e;
inline constexpr DWORD SETTING_SHUTTER_SOUND = 0x3f;
inline constexpr DWORD SETTING_COLOR_ACCENT = 0x40;
inline constexpr DWORD SETTING_COLOR_SWAP = 0x41;
inline constexpr DWORD SETTING_WDR = 0x42;
inline constexpr DWORD SETTING_GUIDELINE = 0x43;
inline constexpr DWORD SETTING_EXTEND_VIEW = 0x44;

// The menu's images.
inline constexpr UINT IDB_SETTING_TAB = 11060;  // + 2 x tab: normal; + 1: chosen
inline constexpr UINT IDB_SETTING_TITLE_BAR = 11066;
inline constexpr UINT IDB_SETTING_TITLE_ICON = 11067;
inline constexpr UINT IDB_SETTING_LIST_BACK = 11068;
inline constexpr UINT IDB_SETTING_HIGHLIGHT = 11069;
inline constexpr UINT IDB_SETTING_SCROLL_UP = 11070;    // normal, pressed, disabled
inline constexpr UINT IDB_SETTING_SCROLL_DOWN = 11073;  // normal, pressed, disabled

enum SettingTab { kTabCamera, kTabCamcorder, kTabGeneral, kTabCount };

class CSettingMenu;

class CPreviewSettingGUI : public CPreviewGUI, public CSingleton<CPreviewSettingGUI> {
public:
    using CSingleton<CPreviewSettingGUI>::GetInstance;
    CPreviewSettingGUI();
    ~CPreviewSettingGUI() override;

    int LoadResource() override;
    int OnOpen() override;
    int OnClose() override;
    int DrawLayer0(CDrawContext*) override { return 1; }
    int DrawLayer1(CDrawContext* dc) override;
    int OnEvent(UINT, WPARAM, LPARAM) override { return 0; }
    int OnCommand(DWORD command, DWORD argument) override;
    int OnKeyUp(HWND hwnd, UINT virtualKey, LPARAM keyData) override;
    int OnLButtonDown(POINT point, WPARAM flags) override;
    int OnLButtonUp(POINT, WPARAM) override { return 0; }

    // Applies a value identifier; false when it names no value of a setting.
    bool ApplySetting(DWORD id);
    // Brings each list's choice up to the current values.
    void Synchronise();

    CSettingMenu* Menu() const { return m_pMenu; }
    WORD PreviousStatus() const { return m_wPrevious; }
    BOOL IsOpen() const { return m_bOpen != 0; }

private:
    void BuildLists();

    WORD m_wPrevious = 0;
    CSettingMenu* m_pMenu = nullptr;
    BYTE m_bOpen = 0;
};
