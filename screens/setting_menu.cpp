// The settings menu's container and its two kinds of list.
#include <algorithm>
#include <cstdio>
#include <iterator>

#include "draw_context.h"
#include "font_manager.h"
#include "setting_menu.h"

namespace {

// The menu in the 400 x 240 layout: tabs on top, the title bar, then the
// titles on the left and the chosen title's values on the right, each with
// its scroll buttons and page text in the bottom strip.
constexpr RECT kMenuRect = {40, 0, 360, 240};
constexpr RECT kTabRects[kTabCount] = {{40, 0, 146, 30}, {147, 0, 253, 30}, {254, 0, 360, 30}};
constexpr POINT kTitleBarAt = {40, 30};
constexpr POINT kTitleIconAt = {44, 31};
constexpr RECT kTitleTextRect = {72, 30, 356, 56};
constexpr int kRowHeight = 30;
constexpr int kPageSize = 5;
constexpr RECT kTitleListRect = {40, 56, 200, 56 + kPageSize * kRowHeight};
constexpr RECT kValueListRect = {200, 56, 360, 56 + kPageSize * kRowHeight};
constexpr int kStripTop = 206;
constexpr int kScrollWidth = 40;
constexpr int kScrollHeight = 28;
constexpr POINT kHighlightOffset = {6, 1};
constexpr int kTextIndent = 12;
constexpr int kListFontHeight = 17;
constexpr int kTitleFontHeight = 18;

bool Contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// Text in a layout rectangle, transparent; flags as RotDrawText's.
void Text(CDrawContext* dc, LPCWSTR text, const RECT& r, int height, COLORREF colour, UINT flags)
{
    if (!text || !*text)
        return;
    HFONT font = nullptr;
    CreateRotatedFont(&font, height, FW_BOLD, L"Tahoma");
    HGDIOBJ old = SelectObject(dc->m_hDC, font);
    const COLORREF oldColour = SetTextColor(dc->m_hDC, colour);
    const int oldMode = SetBkMode(dc->m_hDC, TRANSPARENT);
    RotDrawText(dc->m_hDC, dc->m_nSurfaceWidth, &r, text, -1, flags);
    SetBkMode(dc->m_hDC, oldMode);
    SetTextColor(dc->m_hDC, oldColour);
    SelectObject(dc->m_hDC, old);
    DeleteObject(font);
}

void Image(CDrawContext* dc, CRotBitmap* bitmap, POINT at)
{
    if (!bitmap)
        return;
    const SIZE size = bitmap->GetSize();
    dc->DrawBitmap(at.x, at.y, size.cx, size.cy, bitmap, 0, 0, size.cx, size.cy, CE_KEY_COLOUR);
}

CeButton* MakeButton(DWORD command, UINT normal, UINT focused, UINT pressed, UINT disabled, const RECT& r)
{
    auto* look = new CeCtrlAttrib();
    look->SetImages(normal, focused, pressed, disabled);
    auto* button = new CeButton();
    button->Init(command, look, 0, POINT{r.left, r.top});
    button->SetRect(r);
    button->m_dwFlags = CE_VISIBLE | CE_TAKES_INPUT;
    return button;
}

// A list's scroll buttons in the strip below it.
void AddScrollButtons(CeScrollList* list)
{
    const RECT& r = list->m_rect;
    const RECT up{r.left + 4, kStripTop + 2, r.left + 4 + kScrollWidth, kStripTop + 2 + kScrollHeight};
    const RECT down{r.right - 4 - kScrollWidth, kStripTop + 2, r.right - 4, kStripTop + 2 + kScrollHeight};
    // A scroll button has no command of its own: the list pages on its click.
    CeButton* upButton = MakeButton(0, IDB_SETTING_SCROLL_UP, IDB_SETTING_SCROLL_UP, IDB_SETTING_SCROLL_UP + 1,
                                    IDB_SETTING_SCROLL_UP + 2, up);
    CeButton* downButton = MakeButton(0, IDB_SETTING_SCROLL_DOWN, IDB_SETTING_SCROLL_DOWN,
                                      IDB_SETTING_SCROLL_DOWN + 1, IDB_SETTING_SCROLL_DOWN + 2, down);
    list->SetScrollButtons(upButton, downButton);
}

void DrawPageText(CDrawContext* dc, const CeScrollList& list)
{
    const RECT& r = list.m_rect;
    const RECT strip{r.left + 4 + kScrollWidth, kStripTop, r.right - 4 - kScrollWidth, kMenuRect.bottom};
    Text(dc, SettingPageText(list).c_str(), strip, kListFontHeight, RGB(0, 0, 0), CE_ALIGN_CENTRE | CE_ALIGN_MIDDLE);
}

// A touch in the rows of a list that no child took chooses that row.
int TouchRows(CeScrollList& list, POINT point, int handled, int* result)
{
    if (handled)
        return handled;
    if (!list.IsShown() || !Contains(list.m_rect, point))
        return 0;
    list.OnClick(nullptr, point);
    if (result)
        *result = CE_TOUCH_LAUNCHED;
    return 1;
}

}  // namespace

std::wstring SettingPageText(const CeScrollList& list)
{
    const int page = std::max(1, list.m_nPageSize);
    const int count = static_cast<int>(list.m_items.size());
    WCHAR text[24];
    std::swprintf(text, std::size(text), L"%d/%d", list.m_nFirst / page + 1, std::max(1, (count + page - 1) / page));
    return text;
}

// ---- The titles of a tab ----

CSettingTitleList::CSettingTitleList(CRotBitmap* background) : CeScrollList(kPageSize, kRowHeight), m_spBack(background)
{
    SetRect(kTitleListRect);
    m_dwFlags |= CE_VISIBLE;
    AddScrollButtons(this);
}

CSettingTitleList::~CSettingTitleList()
{
    for (CSettingValueList* values : m_values)
        if (values)
            values->Release();
}

void CSettingTitleList::AddSetting(DWORD code, LPCWSTR title, CSettingValueList* values)
{
    AddItem(code, title);
    m_values.push_back(values);
    if (values) {
        values->AddRef();
        values->SetStateBit(FALSE);
        AddControl(values);
    }
}

CSettingValueList* CSettingTitleList::ValuesOf(DWORD code) const
{
    const int index = IndexOfValue(code);
    return index >= 0 ? m_values[static_cast<size_t>(index)] : nullptr;
}

CSettingValueList* CSettingTitleList::ShownValues() const
{
    return m_nSelected >= 0 ? m_values[static_cast<size_t>(m_nSelected)] : nullptr;
}

BOOL CSettingTitleList::ChooseRow(int index)
{
    if (!Select(index, TRUE, FALSE))
        return FALSE;
    for (size_t i = 0; i < m_values.size(); ++i)
        if (m_values[i])
            m_values[i]->SetStateBit(static_cast<int>(i) == index);
    return TRUE;
}

BOOL CSettingTitleList::OnClick(CeControl* control, POINT point)
{
    if (control || m_nRowHeight <= 0)
        return CeScrollList::OnClick(control, point);
    const int index = m_nFirst + (point.y - m_rect.top) / m_nRowHeight;
    if (index < static_cast<int>(m_items.size()))
        ChooseRow(index);
    return TRUE;
}

int CSettingTitleList::OnTouch(POINT point, BOOL launch, int* result)
{
    return TouchRows(*this, point, CeScrollList::OnTouch(point, launch, result), result);
}

void CSettingTitleList::Draw(CDrawContext* dc)
{
    if (!dc || !IsShown())
        return;
    if (!m_bBackHidden)
        Image(dc, m_spBack.get(), POINT{kMenuRect.left, m_rect.top});
    CeScrollList::Draw(dc);
    DrawPageText(dc, *this);
}

void CSettingTitleList::DrawRow(CDrawContext* dc, int index, const RECT& row)
{
    const Item& item = m_items[static_cast<size_t>(index)];
    const COLORREF colour = !item.enabled ? kSettingDisabledColour
                            : index == m_nSelected ? kSettingSelectedColour
                                                   : RGB(0, 0, 0);
    const RECT r{row.left + kTextIndent, row.top, row.right, row.bottom};
    Text(dc, item.text.c_str(), r, kListFontHeight, colour, CE_ALIGN_MIDDLE);
}

// ---- The values of a setting ----

CSettingValueList::CSettingValueList(CRotBitmap* highlight) : CeScrollList(kPageSize, kRowHeight), m_spHighlight(highlight)
{
    SetRect(kValueListRect);
    m_dwFlags |= CE_VISIBLE | CE_LIST_REPORT_SELECTION;
    AddScrollButtons(this);
}

void CSettingValueList::AddValue(DWORD id, LPCWSTR text)
{
    AddItem(id, text);
    m_items.back().hasControl = true;
}

int CSettingValueList::OnTouch(POINT point, BOOL launch, int* result)
{
    return TouchRows(*this, point, CeScrollList::OnTouch(point, launch, result), result);
}

void CSettingValueList::Draw(CDrawContext* dc)
{
    if (!dc || !IsShown())
        return;
    CeScrollList::Draw(dc);
    DrawPageText(dc, *this);
}

void CSettingValueList::DrawRow(CDrawContext* dc, int index, const RECT& row)
{
    const Item& item = m_items[static_cast<size_t>(index)];
    if (index == m_nSelected && item.hasControl && m_spHighlight) {
        const SIZE size = m_spHighlight->GetSize();
        RotBitBlt(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, row.left + kHighlightOffset.x,
                  row.top + kHighlightOffset.y, size.cx, size.cy, m_spHighlight.get(), 0, 0, SRCCOPY);
    }
    const RECT r{row.left + kTextIndent, row.top, row.right, row.bottom};
    Text(dc, item.text.c_str(), r, kListFontHeight, item.enabled ? RGB(0, 0, 0) : kSettingDisabledColour,
         CE_ALIGN_MIDDLE);
}

// ---- The tabbed menu ----

CSettingMenu::CSettingMenu()
{
    SetRect(kMenuRect);
    m_dwFlags |= CE_VISIBLE;
    static constexpr DWORD kTabCommands[kTabCount] = {CMD_SETTING_TAB_CAMERA, CMD_SETTING_TAB_CAMCORDER,
                                                      CMD_SETTING_TAB_GENERAL};
    for (int tab = 0; tab < kTabCount; ++tab) {
        const UINT image = IDB_SETTING_TAB + 2 * static_cast<UINT>(tab);
        m_pTabs[tab] = MakeButton(kTabCommands[tab], image, image + 1, image + 1, image, kTabRects[tab]);
        m_pTabs[tab]->AddRef();
        AddControl(m_pTabs[tab]);
    }
    m_spTitle[0] = CeLoadImage(IDB_SETTING_TITLE_BAR);
    m_spTitle[1] = CeLoadImage(IDB_SETTING_TITLE_ICON);
}

CSettingMenu::~CSettingMenu()
{
    for (CeButton*& tab : m_pTabs) {
        if (tab)
            tab->Release();
        tab = nullptr;
    }
    for (CSettingTitleList*& list : m_pLists) {
        if (list)
            list->Release();
        list = nullptr;
    }
}

void CSettingMenu::SetList(int tab, CSettingTitleList* list)
{
    if (tab < 0 || tab >= kTabCount || !list)
        return;
    list->AddRef();
    if (m_pLists[tab]) {
        RemoveAt(IndexOf(m_pLists[tab]));
        m_pLists[tab]->Release();
    }
    m_pLists[tab] = list;
    list->SetStateBit(tab == m_nTab);
    AddControl(list);
}

bool CSettingMenu::HasLists() const
{
    return std::all_of(std::begin(m_pLists), std::end(m_pLists), [](const CSettingTitleList* l) { return l; });
}

BOOL CSettingMenu::ShowTab(int tab)
{
    // Without the lists there is nothing to switch to.
    if (tab < 0 || tab >= kTabCount || !HasLists())
        return FALSE;
    for (int i = 0; i < kTabCount; ++i) {
        if (i == tab)
            continue;
        m_pLists[i]->ChooseRow(-1);
        m_pLists[i]->SetStateBit(FALSE, TRUE);
        m_pTabs[i]->m_nState = CE_NORMAL;
    }
    static constexpr LPCWSTR kTabNames[kTabCount] = {L"Camera", L"Camcorder", L"General"};
    CeCopyText(m_szTitle, kTabNames[tab]);
    m_nTab = tab;
    m_pLists[tab]->SetStateBit(TRUE, FALSE);
    m_pTabs[tab]->m_nState = CE_FOCUSED;
    m_bDirty = true;
    return TRUE;
}

void CSettingMenu::OnSubMenu(CeButton* button, CeContainerBase*)
{
    for (int tab = 0; tab < kTabCount; ++tab)
        if (m_pTabs[tab] == button)
            ShowTab(tab);
}

int CSettingMenu::OnTouch(POINT point, BOOL launch, int* result)
{
    if (result)
        *result = CE_TOUCH_NONE;
    if (!IsShown() || !Contains(m_rect, point))
        return 0;
    if (CSettingTitleList* list = List(m_nTab); list && list->IsShown())
        if (int handled = list->OnTouch(point, launch, result))
            return handled;
    for (CeButton* tab : m_pTabs)
        if (Contains(tab->m_rect, point)) {
            OnSubMenu(tab, nullptr);
            if (result)
                *result = CE_TOUCH_LAUNCHED;
            return 1;
        }
    // The menu's own area takes every touch, so none reaches the preview below.
    if (result)
        *result = CE_TOUCH_KEPT;
    return 1;
}

int CSettingMenu::OnKey(UINT virtualKey, int, int* result)
{
    if (result)
        *result = 0;
    CSettingTitleList* list = List(m_nTab);
    if (!list)
        return 0;
    switch (virtualKey) {
    case VK_LEFT:
    case VK_RIGHT: {
        const int tab = m_nTab + (virtualKey == VK_LEFT ? -1 : 1);
        if (tab >= 0 && tab < kTabCount)
            ShowTab(tab);
        return 1;
    }
    case VK_UP:
    case VK_DOWN: {
        const int count = static_cast<int>(list->m_items.size());
        int row = list->m_nSelected + (virtualKey == VK_UP ? -1 : 1);
        if (list->m_nSelected < 0)
            row = 0;
        if (row >= 0 && row < count)
            list->ChooseRow(row);
        return 1;
    }
    case VK_RETURN: {
        // The chosen setting's next value, round to the first.
        CSettingValueList* values = list->ShownValues();
        if (!values || values->m_items.empty())
            return 1;
        const int count = static_cast<int>(values->m_items.size());
        for (int step = 1; step <= count; ++step) {
            const int next = (values->m_nSelected + step + count) % count;
            if (values->Select(next, TRUE, FALSE)) {
                if (m_hTarget)
                    PostMessageW(m_hTarget, WM_MAIN_COMMAND, values->m_items[static_cast<size_t>(next)].value, 0);
                break;
            }
        }
        return 1;
    }
    default: return 0;
    }
}

void CSettingMenu::Draw(CDrawContext* dc)
{
    if (!dc || !IsShown())
        return;
    Image(dc, m_spTitle[0].get(), kTitleBarAt);
    Image(dc, m_spTitle[1].get(), kTitleIconAt);
    const CSettingTitleList* list = List(m_nTab);
    const LPCWSTR title = list && list->m_nSelected >= 0 ? list->m_items[static_cast<size_t>(list->m_nSelected)].text.c_str()
                                                         : m_szTitle;
    Text(dc, title, kTitleTextRect, kTitleFontHeight, kSettingTitleColour, CE_ALIGN_MIDDLE);
    CeContainerBase::Draw(dc);
}
