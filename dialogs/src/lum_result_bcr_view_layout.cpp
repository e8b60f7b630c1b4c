// The card view's layout: its tables, resources, title and the places of
// its children in either turn.
#include <cstdio>
#include <mutex>
#include <algorithm>
#include <cstring>

#include "bcr_view_impl.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "layout_manager.h"
#include "plat/debug.h"
#include "plat/windows.h"
#include "poom_contact.h"
#include "result_controls.h"
#include "skin_draw.h"

using namespace bcr;

namespace {

constexpr UINT kMenuOneCard = 21001, kMenuCards = 21002;
constexpr int kMenuKey = 21003;

}  // namespace

const BcrLayoutEntry kBcrLayoutPortrait[15] = {
    {0, 0, 240, 42},   {0, 0, 45, 41},    {195, 0, 45, 41},  {1, 46, 43, 42},  {58, 51, 138, 33},
    {195, 51, 33, 33}, {0, 88, 240, 1},   {8, 49, 222, 41},  {58, 84, 171, 35}, {0, 0, 240, 130},
    {193, 13, 42, 35},
    {193, 64, 42, 35},  // the next-field button is as wide as the OK button
    {3, 63, 186, 33},
    {3, 97, 186, 32},  // the caption under the edit box: the table's place lies across it
    {7, 8, 180, 47},
};

const BcrLayoutEntry kBcrLayoutLandscape[15] = {
    {0, 0, 400, 42},   {0, 0, 45, 41},    {355, 0, 45, 41},  {1, 45, 43, 43},   {55, 51, 297, 33},
    {352, 51, 33, 33}, {0, 90, 393, 1},   {8, 49, 222, 41},  {55, 84, 331, 35}, {0, 0, 400, 86},
    {353, 6, 42, 35},  {353, 43, 42, 35}, {4, 42, 345, 34},  {200, 6, 143, 32}, {7, 2, 180, 40},
};

void RegisterBcrViewResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        plat::DialogTemplate t;
        t.id = IDD_BCR_VIEW;
        t.style = WS_POPUP;
        t.workArea = true;
        t.title = L"Textiva";
        auto item = [&](const WCHAR* cls, int id, DWORD style) {
            t.items.push_back(plat::DialogItem{cls, L"", id, style, 0, 0, 0, 0, 0});
        };
        item(L"STATIC", IDC_BCR_TITLE, WS_VISIBLE);
        item(L"BUTTON", IDC_BCR_LEFT, BS_OWNERDRAW);
        item(L"BUTTON", IDC_BCR_RIGHT, BS_OWNERDRAW);
        item(L"STATIC", IDC_BCR_EDITOR_FRAME, 0);
        item(L"STATIC", IDC_BCR_EDITOR_CAPTION, 0);
        item(L"STATIC", IDC_BCR_FIELD_PICTURE, 0);
        item(L"EDIT", IDC_BCR_EDIT, WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL);
        item(L"BUTTON", IDC_BCR_EDITOR_OK, BS_OWNERDRAW);
        item(L"BUTTON", IDC_BCR_NEXT_FIELD, BS_OWNERDRAW);
        item(L"SCROLLBAR", IDC_BCR_SCROLLBAR, 0x0001);
        item(L"BUTTON", IDC_BCR_DROPDOWN, BS_OWNERDRAW);
        item(L"STATIC", IDC_BCR_INFO_POPUP, 0);
        item(L"STATIC", IDC_BCR_YESNO_POPUP, 0);
        plat::RegisterDialogTemplate(t);
        plat::RegisterMenuTemplate({kMenuOneCard, {{20010, L"Expand view"}, {20011, L"Retry"}, {20012, L"Exit"}}});
        plat::RegisterMenuTemplate({kMenuCards,
                                    {{20017, L"Expand view"},
                                     {20058, L"Save All"},
                                     {20018, L"Browser"},
                                     {20019, L"Retry"},
                                     {20009, L"Exit"}}});
        plat::RegisterMenuBarTemplate(
            {IDM_BCR_ONE_CARD, {{CMD_BCR_SAVE, L"Save"}, {kMenuKey, L"Menu", TBSTATE_ENABLED, TBSTYLE_DROPDOWN, kMenuOneCard}}});
        plat::RegisterMenuBarTemplate(
            {IDM_BCR_CARDS, {{CMD_BCR_SAVE, L"Save"}, {kMenuKey, L"Menu", TBSTATE_ENABLED, TBSTYLE_DROPDOWN, kMenuCards}}});
    });
}

std::wstring BcrTitleText(const std::wstring& name, int current, int count, bool portrait)
{
    size_t keep = portrait ? 5 : 12, longest = portrait ? 7 : 14, width = portrait ? 10 : 20;
    std::wstring title = name.size() > longest ? name.substr(0, keep) + L".." : name;
    if (title.size() < width)
        title.append(width - title.size(), L' ');
    WCHAR position[32];
    std::swprintf(position, 32, L"(%d/%d)", current, count);
    return title + position;
}

RECT CBcrViewDialog::Entry(int index) const
{
    const BcrLayoutEntry& e = m_layout[static_cast<size_t>(index)];
    return RECT{e.x, e.y, e.x + e.cx, e.y + e.cy};
}

RECT CBcrViewDialog::RowEntry(int index, int row) const
{
    RECT r = Entry(index);
    r.top += m_pitch * row - m_scroll;
    r.bottom += m_pitch * row - m_scroll;
    return r;
}

int CBcrViewDialog::UsableHeight() const
{
    return ScreenHeight() - GetSystemMetrics(SM_CYCAPTION) - GetSystemMetrics(SM_CYMENU) -
           2 * GetSystemMetrics(SM_CYDLGFRAME);
}

bool CBcrViewDialog::InEditorBand(int y) const
{
    if (m_editField < 0)
        return false;
    RECT client;
    GetClientRect(&client);
    RECT band = Entry(kEditorEntry);
    return y >= band.top && y <= band.bottom && client.bottom - client.top != kEditorBandClientHeight;
}

void CBcrViewDialog::ShowTitle()
{
    HWND title = GetDlgItem(IDC_BCR_TITLE);
    if (m_count < 1)
        return;
    if (m_count < 2) {
        ::SetWindowTextW(title, m_slots[0].name.c_str());
    } else {
        const std::wstring& name = m_slots[static_cast<size_t>(m_current - 1)].name;
        if (name.empty() || m_current < 1)
            return;
        ::SetWindowTextW(title, BcrTitleText(name, m_current, m_count, Portrait()).c_str());
    }
    ::InvalidateRect(title, nullptr, FALSE);
}

// The rows' boxes where they are now, for the pen as for the paint: a tap
// that comes before the paint after a turn or a scroll finds its row.
void CBcrViewDialog::PlaceRows()
{
    for (int i = 0; i < 7; ++i) {
        m_rowText[static_cast<size_t>(i)] = RowEntry(kTextEntry, i);
        m_rowButton[static_cast<size_t>(i)] = RowEntry(kButtonEntry, i);
    }
}

void CBcrViewDialog::RepaintRows()
{
    RECT r{0, Entry(kTitleEntry).bottom, m_screenWidth, ScreenHeight()};
    InvalidateRect(m_hWnd, &r, FALSE);
}

void CBcrViewDialog::UpdateLayout()
{
    auto place = [&](int id, int entry, bool show) {
        RECT r = Entry(entry);
        ::SetWindowPos(GetDlgItem(id), HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top,
                       show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    };
    bool editing = m_editField >= 0;
    place(IDC_BCR_TITLE, kTitleEntry, !editing);
    m_title.SetBackground(Portrait() ? 30005 : 30029);
    if (m_count > 1) {
        place(IDC_BCR_LEFT, kLeftEntry, !editing);
        place(IDC_BCR_RIGHT, kRightEntry, !editing);
        m_left.SetBitmaps(21014, 21029);
        m_right.SetBitmaps(21015, 21030);
    } else {
        ::ShowWindow(GetDlgItem(IDC_BCR_LEFT), SW_HIDE);
        ::ShowWindow(GetDlgItem(IDC_BCR_RIGHT), SW_HIDE);
    }
    place(IDC_BCR_EDITOR_FRAME, kEditorEntry, editing);
    m_editorFrame.SetBackground(Portrait() ? 21031 : 21040);
    place(IDC_BCR_EDITOR_CAPTION, kCaptionEntry, editing);
    place(IDC_BCR_EDIT, kEditEntry, editing);
    m_edit.SetBackground(Portrait() ? 21032 : 21033);
    place(IDC_BCR_EDITOR_OK, kOkEntry, editing);
    m_ok.SetBitmaps(21017, 21043);
    place(IDC_BCR_NEXT_FIELD, kNextEntry, editing);
    m_next.SetBitmaps(1650, 1651);
    place(IDC_BCR_FIELD_PICTURE, kPictureEntry, editing && m_picture.HasPicture());
    RECT popup = PopupRect();
    for (HWND p : {m_info.m_hWnd, m_yesNo.m_hWnd})
        ::SetWindowPos(p, HWND_TOP, popup.left, popup.top, popup.right - popup.left, popup.bottom - popup.top,
                       SWP_NOACTIVATE);
    m_dropDown.SetBitmaps(Portrait());
    if (!Portrait()) {
        ::SetWindowPos(GetDlgItem(IDC_BCR_SCROLLBAR), HWND_TOP, 393, 42, 7, UsableHeight() - 42, SWP_SHOWWINDOW);
        SetVScrollbar();
    } else {
        ::ShowWindow(GetDlgItem(IDC_BCR_SCROLLBAR), SW_HIDE);
    }
    ::SetFocus(editing ? GetDlgItem(IDC_BCR_EDIT) : GetDlgItem(IDC_BCR_SCROLLBAR));
    PlaceRows();
    ShowTitle();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CBcrViewDialog::SetVScrollbar()
{
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS;
    si.nMax = Entry(kTitleEntry).bottom + 343;
    si.nPage = kEditorBandClientHeight;
    si.nPos = m_scroll;
    ::SetScrollInfo(GetDlgItem(IDC_BCR_SCROLLBAR), SB_CTL, &si, TRUE);
}

void CBcrViewDialog::OnWindowPosChanged()
{
    int width = ScreenWidth();
    if (width == m_screenWidth || !m_attached)  // the first layout is OnInitDialog's
        return;
    m_screenWidth = width;
    const BcrLayoutEntry* table = Portrait() ? kBcrLayoutPortrait : kBcrLayoutLandscape;
    std::copy(table, table + 15, m_layout.begin());
    if (Portrait())
        m_scroll = 0;
    m_pitch = Portrait() ? 43 : 49;
    CloseAlternatives();
    UpdateLayout();
    if (m_editField >= 0)
        ::SetWindowTextW(GetDlgItem(IDC_BCR_EDIT), TextOf(m_texts[static_cast<size_t>(m_editField)].text).c_str());
    plat::DebugLine(L"[LumOCR] card view laid out %d wide", width);
}

RECT CBcrViewDialog::PopupRect() const { return NoticeRect(m_hWnd); }
