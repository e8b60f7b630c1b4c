// The settings menu's tabbed container and its two kinds of list: the
// titles of a tab, and the values of one setting.
#pragma once

#include <string>
#include <vector>

#include "ce_container.h"
#include "preview_setting_gui.h"

inline constexpr COLORREF kSettingTitleColour = 0xFFD7A4;
inline constexpr COLORREF kSettingDisabledColour = 0xA5A5A5;
inline constexpr COLORREF kSettingSelectedColour = 0xB86B00;

// "page/pages" of a list: the page of the first visible row, and the pages
// the items fill (at least one).
std::wstring SettingPageText(const CeScrollList& list);

class CSettingValueList;

// The titles of one tab (the menu's first list): a background, each title in
// black, grey when disabled, blue when chosen; the chosen title's values
// are shown beside it.
class CSettingTitleList : public CeScrollList {
public:
    explicit CSettingTitleList(CRotBitmap* background);
    ~CSettingTitleList() override;

    // A title row and the list of its values (the list is held by this one).
    void AddSetting(DWORD code, LPCWSTR title, CSettingValueList* values);
    CSettingValueList* ValuesOf(DWORD code) const;
    CSettingValueList* ShownValues() const;
    // Chooses a title row and shows its values (-1: none).
    BOOL ChooseRow(int index);

    BOOL OnClick(CeControl* control, POINT point) override;
    int OnTouch(POINT point, BOOL launch, int* result) override;
    void Draw(CDrawContext* dc) override;
    void DrawRow(CDrawContext* dc, int index, const RECT& row) override;

    CeRefPtr<CRotBitmap> m_spBack;
    bool m_bBackHidden = false;
    std::vector<CSettingValueList*> m_values;  // one per item, referenced
};

// The values of one setting: the chosen one over the highlight, all in black;
// a touch on a row sends its identifier to the main window.
class CSettingValueList : public CeScrollList {
public:
    explicit CSettingValueList(CRotBitmap* highlight);
    // An entry {identifier, text}; each one can be chosen.
    void AddValue(DWORD id, LPCWSTR text);
    int OnTouch(POINT point, BOOL launch, int* result) override;
    void Draw(CDrawContext* dc) override;
    void DrawRow(CDrawContext* dc, int index, const RECT& row) override;

    CeRefPtr<CRotBitmap> m_spHighlight;
};

// The tabbed menu: the tab buttons, the title bar with the tab's title, and
// the three title lists, of which the chosen tab's is shown.
class CSettingMenu : public CeContainer {
public:
    CSettingMenu();
    ~CSettingMenu() override;

    void SetList(int tab, CSettingTitleList* list);
    CSettingTitleList* List(int tab) const { return tab >= 0 && tab < kTabCount ? m_pLists[tab] : nullptr; }
    bool HasLists() const;
    // Shows and activates that tab's list; the others lose their choice and hide.
    BOOL ShowTab(int tab);
    int CurrentTab() const { return m_nTab; }

    void OnSubMenu(CeButton* button, CeContainerBase* container) override;
    int OnTouch(POINT point, BOOL launch, int* result) override;
    int OnKey(UINT virtualKey, int repeat, int* result) override;
    void Draw(CDrawContext* dc) override;

    CSettingTitleList* m_pLists[kTabCount] = {};
    CeButton* m_pTabs[kTabCount] = {};
    CeRefPtr<CRotBitmap> m_spTitle[2];
    WCHAR m_szTitle[CE_NAME_CHARS] = {};
    BYTE m_bFlags[5] = {};

private:
    int m_nTab = kTabCamera;
};
