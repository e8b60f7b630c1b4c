// The OCR settings dialog: automatic focus and automatic saving as radio
// pairs, the recognition language in a drop-down, kept under the program's
// registry key. It draws its labels and radios itself.
#pragma once

#include <string>
#include <vector>

#include "drop_down_list.h"
#include "image_label.h"
#include "plat/framework.h"
#include "setting_dialog.h"

inline constexpr UINT IDD_SETTINGS = 30001;
inline constexpr UINT IDM_SETTINGS = 30054;
enum SettingItem : int {
    IDC_SETTINGS_TITLE = 30006,
    IDC_SETTINGS_FOCUS_LABEL = 30007,
    IDC_SETTINGS_FOCUS_ON = 30008,
    IDC_SETTINGS_FOCUS_OFF = 30009,
    IDC_SETTINGS_FOCUS_RULE = 30010,
    IDC_SETTINGS_LANGUAGE_LABEL = 30011,
    IDC_SETTINGS_LANGUAGE = 30012,
    IDC_SETTINGS_SAVE_RULE = 30013,
    IDC_SETTINGS_SAVE_LABEL = 30014,
    IDC_SETTINGS_SAVE_ON = 30015,
    IDC_SETTINGS_SAVE_OFF = 30016,
    IDC_SETTINGS_SCROLLBAR = 30064,
};
inline constexpr WORD CMD_SETTINGS_SAVE = 30040;
inline constexpr WORD CMD_SETTINGS_CANCEL = 30041;

// The recognition languages: the index "SelectedLanguage" keeps, and the
// string of each one's name.
inline constexpr UINT kLanguageNames[8] = {205, 234, 235, 236, 237, 238, 207, 239};
// The rows the list shows for the user-interface language (a primary
// language id); the first row is that language's own.
std::vector<int> LanguageRowsFor(int primaryLanguage);

class CSettingDialog : public CDialogImpl {
public:
    CSettingDialog();
    ~CSettingDialog() override;

    void SetParams(HWND parent, HWND owner, HWND menuBarOwner, int* inactivity);

    // What tests read.
    bool FocusOn() const { return m_focus[0] != 0; }
    bool SaveOn() const { return m_autoSave[0] != 0; }
    int ScrollOffset() const { return m_scroll; }
    CDropDownList& Languages() { return m_language; }
    INT_PTR EndResult() const { return m_endResult; }
    // The place of an item, moved up by the scroll offset.
    RECT ItemRect(UINT id) const;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    LRESULT OnInitDialog();
    void OnCommand(WORD id, WORD code);
    void OnPenDown(POINT p);
    void OnPenUp(POINT p);
    void OnScroll(WORD code, int thumb);
    void OnPaint();
    void FillLanguages();
    void Load();
    void Save();
    void End(INT_PTR code);
    void Touch();
    void Select(int* pair, int which, UINT first, UINT second);
    void DrawLabel(HDC dc, UINT id) const;
    void DrawRadio(HDC dc, UINT id, bool selected) const;
    std::wstring Text(UINT stringId) const;

    HWND m_parent = nullptr;
    HWND m_owner = nullptr;
    HWND m_menuBarOwner = nullptr;
    int* m_inactivity = nullptr;
    CDropDownList m_language{kSettingsDropDown};
    CImageLabel m_title;
    HWND m_scrollBar = nullptr;
    int m_focus[2] = {1, 0};     // on, off
    int m_autoSave[2] = {1, 0};  // on, off
    int m_scroll = 0;
    bool m_painted = false;
    HWND m_menuBar = nullptr;
    INT_PTR m_endResult = -1;
    HBITMAP m_radios[3] = {};  // unselected, pressed, selected
};
