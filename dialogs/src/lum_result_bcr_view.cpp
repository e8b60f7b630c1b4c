// The business-card result view.
#include "lum_result_bcr_view.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <mutex>

#include "bcr_view_impl.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "layout_manager.h"
#include "plat/debug.h"
#include "plat/windows.h"
#include "poom_contact.h"
#include "skin_draw.h"

const BcrLayoutEntry kBcrLayoutPortrait[15] = {
    {0, 0, 240, 42},   {0, 0, 45, 41},    {195, 0, 45, 41},  {1, 46, 43, 42},  {58, 51, 138, 33},
    {195, 51, 33, 33}, {0, 88, 240, 1},   {8, 49, 222, 41},  {58, 84, 171, 35}, {0, 0, 240, 130},
    {193, 13, 42, 35},
    {193, 64, 42, 35},  // the next-field button is as wide as the OK button
    {3, 63, 186, 33},  {13, 81, 70, 32},  {7, 8, 180, 47},
};
const BcrLayoutEntry kBcrLayoutLandscape[15] = {
    {0, 0, 400, 42},   {0, 0, 45, 41},    {355, 0, 45, 41},  {1, 45, 43, 43},   {55, 51, 297, 33},
    {352, 51, 33, 33}, {0, 90, 393, 1},   {8, 49, 222, 41},  {55, 84, 331, 35}, {0, 0, 400, 86},
    {353, 6, 42, 35},  {353, 43, 42, 35}, {4, 42, 345, 34},  {200, 6, 143, 32}, {7, 2, 180, 40},
};

namespace {

constexpr int kTitleEntry = 0, kLeftEntry = 1, kRightEntry = 2, kIconEntry = 3, kTextEntry = 4, kButtonEntry = 5,
              kLineEntry = 6, kListEntry = 8, kEditorEntry = 9, kOkEntry = 10, kNextEntry = 11, kEditEntry = 12,
              kCaptionEntry = 13, kPictureEntry = 14;
constexpr UINT kMenuOneCard = 21001, kMenuCards = 21002;
constexpr int kMenuKey = 21003;
constexpr COLORREF kSeparator = RGB(0xE6, 0xE6, 0xE6);

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

std::wstring TextOf(const WCHAR (&text)[kResultTextChars]) { return std::wstring(text, ResultTextLength(text)); }

void CopyText(WCHAR (&to)[kResultTextChars], const std::wstring& from)
{
    std::fill(std::begin(to), std::end(to), L'\0');
    std::wmemcpy(to, from.data(), std::min<size_t>(from.size(), kResultTextChars - 1));
}

bool IsRectEmpty(const RECT* r) { return r->right <= r->left || r->bottom <= r->top; }

void OffsetRect(RECT* r, int dx, int dy)
{
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
}

bool Inside(const RECT& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }

}  // namespace

void RegisterBcrViewResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        plat::DialogTemplate t;
        t.id = IDD_BCR_VIEW;
        t.style = WS_POPUP;
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
        item(L"EDIT", IDC_BCR_EDIT, WS_TABSTOP);
        item(L"BUTTON", IDC_BCR_EDITOR_OK, BS_OWNERDRAW);
        item(L"BUTTON", IDC_BCR_NEXT_FIELD, BS_OWNERDRAW);
        item(L"SCROLLBAR", IDC_BCR_SCROLLBAR, 0x0001);
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

// The view's child windows: each subclasses a dialog item, draws itself from
// the program's bitmaps and tells the view of every pen contact.
class CBcrViewDialog::Control : public CWindowImpl {
public:
    enum Kind { TITLE, IMAGE_BUTTON, EDIT_FRAME, CAPTION, PICTURE, EDIT, SCROLLBAR };
    Control(CBcrViewDialog* view, Kind kind, WORD command = 0) : m_view(view), m_kind(kind), m_command(command) {}
    ~Control() override
    {
        for (HBITMAP& b : m_bitmaps)
            skin::Free(b);
    }
    void SetBitmaps(UINT normal, UINT pressed)
    {
        for (HBITMAP& b : m_bitmaps)
            skin::Free(b);
        m_bitmaps[0] = normal ? skin::Load(normal) : nullptr;
        m_bitmaps[1] = pressed ? skin::Load(pressed) : nullptr;
    }

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override
    {
        switch (message) {
        case WM_LBUTTONDOWN:
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
        case WM_MOUSEMOVE:
            ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
            if (m_kind == SCROLLBAR) {
                // A drag on the bar drags the view.
                POINT pt{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                         static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
                ::ClientToScreen(hwnd, &pt);
                ::ScreenToClient(::GetParent(hwnd), &pt);
                if (message != WM_LBUTTONDBLCLK)
                    ::SendMessageW(::GetParent(hwnd), message, wParam, MAKELPARAM(pt.x, pt.y));
                result = 0;
                return TRUE;
            }
            if (m_kind == IMAGE_BUTTON && CLayoutManager::GetInstance()->IsBusy()) {
                result = 0;
                return TRUE;
            }
            return FALSE;
        case WM_KEYDOWN:
            if (m_kind == SCROLLBAR || m_kind == TITLE) {
                ::SendMessageW(::GetParent(hwnd), WM_KEYDOWN, wParam, lParam);
                result = 0;
                return TRUE;
            }
            if (m_kind == EDIT && wParam == 0x86) {
                ::SendMessageW(::GetParent(hwnd), WM_COMMAND, CMD_BCR_EDITOR_OK, 0);
                result = 0;
                return TRUE;
            }
            return FALSE;
        case WM_CHAR:
            if (m_kind != EDIT)
                return FALSE;
            ::SendMessageW(::GetParent(hwnd), WM_POPUP_PEN_UP, 0, 0);
            ::InvalidateRect(hwnd, nullptr, FALSE);
            if (wParam == L'\r') {
                ::SendMessageW(::GetParent(hwnd), WM_COMMAND, CMD_BCR_EDITOR_OK, 0);
                result = 0;
                return TRUE;
            }
            return FALSE;
        case OCM_COMMAND:
            return FALSE;
        case WM_ERASEBKGND:
            result = 1;
            return TRUE;
        case WM_PAINT:
            if (m_kind == IMAGE_BUTTON)
                return FALSE;
            Paint(hwnd);
            result = 0;
            return TRUE;
        default:
            return FALSE;
        }
    }

    // Owner draw of an image button: the bitmap of its state through the key colour.
    void DrawButton(const DRAWITEMSTRUCT& item)
    {
        HBITMAP b = (item.itemState & ODS_SELECTED) && m_bitmaps[1] ? m_bitmaps[1] : m_bitmaps[0];
        skin::Draw(item.hDC, b, item.rcItem, true);
    }
    WORD Command() const { return m_command; }

private:
    void Paint(HWND hwnd)
    {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(hwnd, &ps);
        RECT r;
        ::GetClientRect(hwnd, &r);
        skin::Canvas canvas(dc, r.right, r.bottom);
        COLORREF face = m_kind == SCROLLBAR ? RGB(200, 200, 200) : m_kind == CAPTION ? RGB(216, 228, 240) : RGB(255, 255, 255);
        HBRUSH white = ::CreateSolidBrush(face);
        ::FillRect(canvas.dc(), &r, white);
        ::DeleteObject(white);
        if (m_kind == PICTURE) {
            m_view->DrawFieldPicture(canvas.dc(), r);
        } else if (m_kind == SCROLLBAR) {
            m_view->DrawScrollThumb(canvas.dc(), r, m_bitmaps[0], m_bitmaps[1]);
        } else {
            skin::Draw(canvas.dc(), m_bitmaps[0], r, true);
            WCHAR text[1024];
            ::GetWindowTextW(hwnd, text, 1024);
            if (text[0]) {
                HFONT font = skin::MakeFont(m_kind == CAPTION ? 18 : 20, 700);
                HGDIOBJ old = ::SelectObject(canvas.dc(), font);
                ::SetBkMode(canvas.dc(), TRANSPARENT);
                ::SetTextColor(canvas.dc(), RGB(0, 0, 0));
                RECT t = r;
                if (m_kind == TITLE) {
                    t.left += 40;
                    t.right -= 40;
                } else if (m_kind == EDIT) {
                    t.left += 5;
                    t.right -= 5;
                }
                // The edit box keeps its text's end in view, where typing goes.
                UINT format = DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX |
                              (m_kind == CAPTION ? DT_LEFT : m_kind == EDIT ? DT_LEFT : DT_CENTER | DT_END_ELLIPSIS);
                if (m_kind == EDIT) {
                    SIZE extent{};
                    ::GetTextExtentPoint32W(canvas.dc(), text, static_cast<int>(std::wcslen(text)), &extent);
                    if (extent.cx > t.right - t.left)
                        format = (format & ~DT_LEFT) | DT_RIGHT;
                }
                ::DrawTextW(canvas.dc(), text, -1, &t, format);
                ::SelectObject(canvas.dc(), old);
                ::DeleteObject(font);
            }
        }
        canvas.Present(dc);
        ::EndPaint(hwnd, &ps);
    }

    CBcrViewDialog* m_view;
    Kind m_kind;
    WORD m_command;
    HBITMAP m_bitmaps[2] = {nullptr, nullptr};
};

CBcrViewDialog::CBcrViewDialog() : CDialogImpl(IDD_BCR_VIEW)
{
    RegisterBcrViewResources();
    m_screenWidth = ScreenWidth();
    const BcrLayoutEntry* table = Portrait() ? kBcrLayoutPortrait : kBcrLayoutLandscape;
    std::copy(table, table + 15, m_layout.begin());
    m_pitch = Portrait() ? 43 : 49;
    CInfoPopup::ResetOrientation(CInfoPopup::VARIANT_A2);
    CYesNoPopup::ResetOrientation(CYesNoPopup::VARIANT_RESULT_VIEWS);
}

CBcrViewDialog::~CBcrViewDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    skin::Free(m_popupBackground);
    skin::Free(m_fieldPicture);
}

void CBcrViewDialog::SetData(ResultItem* const* cards, ResultSubItem* const* alternatives, int count, LPCWSTR folder,
                             const WCHAR* const* names, HINSTANCE languageInstance, HWND mainWindow, int* inactivity,
                             const int* orientationFlags)
{
    count = std::clamp(count, 0, RESULT_CARD_MAX);
    m_slots.assign(static_cast<size_t>(count), Slot{});
    m_orientation.assign(static_cast<size_t>(count), 1);
    for (int k = 0; k < count; ++k) {
        Slot& slot = m_slots[static_cast<size_t>(k)];
        if (cards && cards[k])
            std::copy(cards[k], cards[k] + 7, slot.items.begin());
        else
            for (ResultItem& item : slot.items)
                item.type = kResultEndType;
        if (alternatives && alternatives[k])
            std::copy(alternatives[k], alternatives[k] + 7, slot.alternatives.begin());
        if (names && names[k])
            slot.name.assign(names[k], wcsnlen(names[k], 260));
        if (orientationFlags)
            m_orientation[static_cast<size_t>(k)] = orientationFlags[k];
    }
    m_count = count;
    m_folder = folder ? std::wstring(folder, wcsnlen(folder, 511)) : std::wstring();
    m_language = languageInstance;
    m_mainWindow = mainWindow;
    m_inactivity = inactivity;
}

CBcrViewDialog::Control* CBcrViewDialog::Add(int id, int kind, WORD command)
{
    HWND item = GetDlgItem(id);
    if (!item)
        return nullptr;
    auto control = std::make_unique<Control>(this, static_cast<Control::Kind>(kind), command);
    control->SubclassWindow(item);
    m_controls.emplace_back(id, std::move(control));
    return m_controls.back().second.get();
}

CBcrViewDialog::Control* CBcrViewDialog::ControlOf(int id) const
{
    for (const auto& [cid, c] : m_controls)
        if (cid == id)
            return c.get();
    return nullptr;
}

void CBcrViewDialog::Touch()
{
    if (m_inactivity)
        *m_inactivity = kInactivityReset;
}

RECT CBcrViewDialog::Entry(int index) const
{
    const BcrLayoutEntry& e = m_layout[static_cast<size_t>(index)];
    return RECT{e.x, e.y, e.x + e.cx, e.y + e.cy};
}

RECT CBcrViewDialog::RowEntry(int index, int row) const
{
    RECT r = Entry(index);
    OffsetRect(&r, 0, m_pitch * row - m_scroll);
    return r;
}

int CBcrViewDialog::UsableHeight() const
{
    return ScreenHeight() - plat::kTaskBarHeight - plat::kMenuBarHeight - 2 * GetSystemMetrics(SM_CYDLGFRAME);
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

bool CBcrViewDialog::PopupShown() const
{
    return (m_info.m_hWnd && ::IsWindowVisible(m_info.m_hWnd)) || (m_yesNo.m_hWnd && ::IsWindowVisible(m_yesNo.m_hWnd));
}

void CBcrViewDialog::LoadCard()
{
    m_texts.fill(ResultText{});
    m_alternatives.fill(ResultSubItem{});
    if (m_current < 1 || m_current > m_count)
        return;
    const Slot& slot = m_slots[static_cast<size_t>(m_current - 1)];
    for (const ResultItem& item : slot.items) {
        if (item.type == kResultEndType)
            break;
        if (item.type < 0 || item.type >= 7)
            continue;
        ResultText& t = m_texts[static_cast<size_t>(item.type)];
        std::copy(std::begin(item.text), std::end(item.text), std::begin(t.text));
        t.box = item.box;
    }
    m_alternatives = slot.alternatives;
}

void CBcrViewDialog::StoreCard()
{
    if (m_current < 1 || m_current > m_count)
        return;
    Slot& slot = m_slots[static_cast<size_t>(m_current - 1)];
    for (ResultItem& item : slot.items) {
        if (item.type == kResultEndType)
            break;
        if (item.type < 0 || item.type >= 7)
            continue;
        const ResultText& t = m_texts[static_cast<size_t>(item.type)];
        std::copy(std::begin(t.text), std::end(t.text), std::begin(item.text));
        item.box = t.box;
    }
    slot.alternatives = m_alternatives;
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

void CBcrViewDialog::RepaintRows()
{
    RECT r{0, Entry(kTitleEntry).bottom, m_screenWidth, ScreenHeight()};
    InvalidateRect(m_hWnd, &r, FALSE);
}

void CBcrViewDialog::SetMenuBar(UINT id)
{
    if (m_menuBar && m_menuBarId == id)
        return;
    if (m_menuBar) {
        auto menu = reinterpret_cast<HMENU>(::SendMessageW(m_menuBar, SHCMBM_GETMENU, 0, 0));
        if (menu)
            DestroyMenu(menu);
        ::DestroyWindow(m_menuBar);
    }
    SHMENUBARINFO mb{};
    mb.cbSize = sizeof mb;
    mb.hwndParent = m_hWnd;
    mb.nToolBarId = id;
    m_menuBar = SHCreateMenuBar(&mb) ? mb.hwndMB : nullptr;
    m_menuBarId = id;
}

void CBcrViewDialog::EnableSoftKeys(bool enable)
{
    if (!m_menuBar)
        return;
    for (int index = 0; index < 2; ++index) {
        TBBUTTONINFOW info{};
        info.cbSize = sizeof info;
        info.dwMask = TBIF_BYINDEX | TBIF_STATE;
        info.fsState = enable ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE;
        ::SendMessageW(m_menuBar, TB_SETBUTTONINFOW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&info));
    }
}

void CBcrViewDialog::End(INT_PTR result)
{
    PostMessage(WM_COMMAND, CMD_BCR_CLOSE, static_cast<LPARAM>(result));
}

LRESULT CBcrViewDialog::OnInitDialog()
{
    SetMenuBar(m_count > 1 ? IDM_BCR_CARDS : IDM_BCR_ONE_CARD);
    // The work area: below the task bar, above the menu bar.
    ::SetWindowPos(m_hWnd, nullptr, 0, plat::kTaskBarHeight, ScreenWidth(),
                   ScreenHeight() - plat::kTaskBarHeight - plat::kMenuBarHeight, SWP_NOZORDER);
    m_current = 1;
    LoadCard();
    Add(IDC_BCR_TITLE, Control::TITLE);
    Add(IDC_BCR_EDITOR_FRAME, Control::EDIT_FRAME);
    Add(IDC_BCR_EDITOR_CAPTION, Control::CAPTION);
    Add(IDC_BCR_FIELD_PICTURE, Control::PICTURE);
    Add(IDC_BCR_EDIT, Control::EDIT);
    Add(IDC_BCR_EDITOR_OK, Control::IMAGE_BUTTON, CMD_BCR_EDITOR_OK);
    Add(IDC_BCR_NEXT_FIELD, Control::IMAGE_BUTTON, CMD_BCR_NEXT_FIELD);
    Add(IDC_BCR_SCROLLBAR, Control::SCROLLBAR);
    if (m_count > 1) {
        Add(IDC_BCR_LEFT, Control::IMAGE_BUTTON, CMD_BCR_PREV_CARD);
        Add(IDC_BCR_RIGHT, Control::IMAGE_BUTTON, CMD_BCR_NEXT_CARD);
    }
    m_info.SubclassWindow(GetDlgItem(IDC_BCR_INFO_POPUP));
    m_yesNo.SubclassWindow(GetDlgItem(IDC_BCR_YESNO_POPUP));
    ::CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                                 LVS_OWNERDRAWFIXED | LVS_NOCOLUMNHEADER | LVS_NOSCROLL,
                      0, 0, 10, 10, m_hWnd, reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BCR_LIST)), nullptr,
                      nullptr);
    m_screenWidth = 0;  // lay out for the screen as it is now
    OnWindowPosChanged();
    ShowTitle();
    if (m_mainWindow)
        SHFullScreen(m_mainWindow, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
    return FALSE;
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
    if (Control* c = ControlOf(IDC_BCR_TITLE))
        c->SetBitmaps(Portrait() ? 30005 : 30029, 0);
    if (m_count > 1) {
        place(IDC_BCR_LEFT, kLeftEntry, !editing);
        place(IDC_BCR_RIGHT, kRightEntry, !editing);
        ControlOf(IDC_BCR_LEFT)->SetBitmaps(21014, 21029);
        ControlOf(IDC_BCR_RIGHT)->SetBitmaps(21015, 21030);
    } else {
        ::ShowWindow(GetDlgItem(IDC_BCR_LEFT), SW_HIDE);
        ::ShowWindow(GetDlgItem(IDC_BCR_RIGHT), SW_HIDE);
    }
    place(IDC_BCR_EDITOR_FRAME, kEditorEntry, editing);
    ControlOf(IDC_BCR_EDITOR_FRAME)->SetBitmaps(Portrait() ? 21031 : 21040, 0);
    place(IDC_BCR_EDITOR_CAPTION, kCaptionEntry, editing);
    place(IDC_BCR_EDIT, kEditEntry, editing);
    ControlOf(IDC_BCR_EDIT)->SetBitmaps(Portrait() ? 21032 : 21033, 0);
    place(IDC_BCR_EDITOR_OK, kOkEntry, editing);
    ControlOf(IDC_BCR_EDITOR_OK)->SetBitmaps(21017, 21043);
    place(IDC_BCR_NEXT_FIELD, kNextEntry, editing);
    ControlOf(IDC_BCR_NEXT_FIELD)->SetBitmaps(1650, 1651);
    place(IDC_BCR_FIELD_PICTURE, kPictureEntry, editing && m_fieldPicture);
    RECT popup = PopupRect();
    for (HWND p : {m_info.m_hWnd, m_yesNo.m_hWnd})
        ::SetWindowPos(p, HWND_TOP, popup.left, popup.top, popup.right - popup.left, popup.bottom - popup.top,
                       SWP_NOACTIVATE);
    ControlOf(IDC_BCR_SCROLLBAR)->SetBitmaps(1362, 1375);
    if (!Portrait()) {
        ::SetWindowPos(GetDlgItem(IDC_BCR_SCROLLBAR), HWND_TOP, 393, 42, 7, UsableHeight() - 42, SWP_SHOWWINDOW);
        SetVScrollbar();
    } else {
        ::ShowWindow(GetDlgItem(IDC_BCR_SCROLLBAR), SW_HIDE);
    }
    ::SetFocus(editing ? GetDlgItem(IDC_BCR_EDIT) : GetDlgItem(IDC_BCR_SCROLLBAR));
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
    if (width == m_screenWidth)
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
}

void CBcrViewDialog::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(&client);
    skin::Canvas canvas(dc, client.right, client.bottom);
    HBRUSH white = ::CreateSolidBrush(RGB(255, 255, 255));
    ::FillRect(canvas.dc(), &client, white);
    ::DeleteObject(white);
    HFONT font = skin::MakeFont(24, 700);
    HGDIOBJ oldFont = ::SelectObject(canvas.dc(), font);
    ::SetBkMode(canvas.dc(), TRANSPARENT);
    HBITMAP box = skin::Load(Portrait() ? 21007 : 21039);
    HBITMAP button = skin::Load(21009);
    HBRUSH line = ::CreateSolidBrush(kSeparator);
    for (int i = 0; i < 7; ++i) {
        m_rowText[static_cast<size_t>(i)] = RowEntry(kTextEntry, i);
        m_rowButton[static_cast<size_t>(i)] = RowEntry(kButtonEntry, i);
        RECT icon = RowEntry(kIconEntry, i);
        HBITMAP iconBitmap = skin::Load(static_cast<UINT>(21019 + i));
        skin::Draw(canvas.dc(), iconBitmap, icon, true);
        skin::Free(iconBitmap);
        RECT text = m_rowText[static_cast<size_t>(i)];
        skin::Draw(canvas.dc(), box, text, true);
        ::SetTextColor(canvas.dc(), RGB(0, 0, 0));
        RECT inset{text.left + 5, text.top, text.right - 5, text.bottom};
        std::wstring t = TextOf(m_texts[static_cast<size_t>(i)].text);
        ::DrawTextW(canvas.dc(), t.c_str(), -1, &inset, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        skin::Draw(canvas.dc(), button, m_rowButton[static_cast<size_t>(i)], true);
        RECT sep = RowEntry(kLineEntry, i);
        ::FillRect(canvas.dc(), &sep, line);
    }
    ::DeleteObject(line);
    skin::Free(box);
    skin::Free(button);
    ::SelectObject(canvas.dc(), oldFont);
    ::DeleteObject(font);
    canvas.Present(dc);
    ::EndPaint(m_hWnd, &ps);
    // The parent's copy covers its children here: they draw themselves again.
    for (HWND child = ::GetWindow(m_hWnd, GW_CHILD); child; child = ::GetWindow(child, GW_HWNDNEXT))
        if (::IsWindowVisible(child))
            ::InvalidateRect(child, nullptr, FALSE);
    // What lies under the info popup, for its backdrop.
    skin::Free(m_popupBackground);
    RECT popup = PopupRect();
    HDC screen = ::GetDC(m_hWnd);
    HDC mem = ::CreateCompatibleDC(screen);
    m_popupBackground = ::CreateCompatibleBitmap(screen, popup.right - popup.left, popup.bottom - popup.top);
    HGDIOBJ old = ::SelectObject(mem, m_popupBackground);
    ::BitBlt(mem, 0, 0, popup.right - popup.left, popup.bottom - popup.top, screen, popup.left, popup.top, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::ReleaseDC(m_hWnd, screen);
}

RECT CBcrViewDialog::PopupRect() const
{
    // The layout tables' place when it lies on the screen, else the same size centred.
    RECT popup{10, 110, 230, 231};
    CLayoutManager::GetInstance()->GetRect(30078, &popup);
    RECT client;
    ::GetClientRect(m_hWnd, &client);
    if (popup.left < 0 || popup.top < 0 || popup.right > client.right || popup.bottom > client.bottom) {
        int w = popup.right - popup.left, h = popup.bottom - popup.top;
        popup.left = std::max<LONG>(0, (client.right - w) / 2);
        popup.top = std::max<LONG>(0, (client.bottom - h) / 2);
        popup.right = popup.left + w;
        popup.bottom = popup.top + h;
    }
    return popup;
}

void CBcrViewDialog::DrawFieldPicture(HDC dc, const RECT& client) const
{
    if (!m_fieldPicture)
        return;
    SIZE size = skin::SizeOf(m_fieldPicture);
    RECT box = m_fieldBox;
    if (IsRectEmpty(&box))
        box = RECT{0, 0, size.cx, size.cy};
    box.left = std::clamp<LONG>(box.left, 0, size.cx);
    box.right = std::clamp<LONG>(box.right, 0, size.cx);
    box.top = std::clamp<LONG>(box.top, 0, size.cy);
    box.bottom = std::clamp<LONG>(box.bottom, 0, size.cy);
    if (box.right <= box.left || box.bottom <= box.top)
        return;
    HDC mem = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(mem, m_fieldPicture);
    ::StretchBlt(dc, client.left, client.top, client.right - client.left, client.bottom - client.top, mem, box.left,
                 box.top, box.right - box.left, box.bottom - box.top, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
}

void CBcrViewDialog::DrawScrollThumb(HDC dc, const RECT& client, HBITMAP track, HBITMAP thumb) const
{
    skin::Draw(dc, track, client, false);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    if (!::GetScrollInfo(GetDlgItem(IDC_BCR_SCROLLBAR), SB_CTL, &si) || si.nMax <= 0)
        return;
    int height = client.bottom - client.top;
    int thumbHeight = height * static_cast<int>(si.nPage) / si.nMax;
    int span = std::max(si.nMax - si.nMin, 1);
    int top = client.top + height * (si.nPos - si.nMin) / span;
    if (top + thumbHeight > client.bottom)
        top = client.bottom - thumbHeight - 1;
    RECT r{client.left + 1, top, client.right - 1, top + thumbHeight};
    if (thumb)
        skin::Draw(dc, thumb, r, false);
    else {
        HBRUSH b = ::CreateSolidBrush(RGB(96, 96, 96));
        ::FillRect(dc, &r, b);
        ::DeleteObject(b);
    }
}

void CBcrViewDialog::OnPenDown(int x, int y)
{
    if (PopupShown())
        return;
    bool band = InEditorBand(y);
    if (!band) {
        m_penRow = -1;
        for (int i = 0; i < 7; ++i) {
            if (Inside(m_rowText[static_cast<size_t>(i)], x, y)) {
                m_penRow = i;
                break;
            }
            if (Inside(m_rowButton[static_cast<size_t>(i)], x, y)) {
                m_penRow = i;
                return;
            }
        }
        if (Portrait())
            return;
    }
    RECT drag{0, Entry(kTitleEntry).bottom, m_screenWidth - 7, UsableHeight()};
    if (Inside(drag, x, y)) {
        CloseAlternatives();
        m_dragging = true;
        m_lastY = y;
    }
}

void CBcrViewDialog::OnPenMove(int, int y)
{
    if (PopupShown() || InEditorBand(y) || !m_dragging)
        return;
    int dy = y - m_lastY;
    if (dy / 7 == 0)
        return;
    OnVScroll(SB_THUMBTRACK, std::max(0, m_scroll - dy));
    m_penRow = -1;
    m_lastY = y;
}

void CBcrViewDialog::OnPenUp(int x, int y)
{
    if (PopupShown())
        return;
    if (m_dragging) {
        OnVScroll(SB_THUMBPOSITION, std::max(0, m_scroll - (y - m_lastY)));
        m_dragging = false;
    }
    if (InEditorBand(y) || m_penRow < 0)
        return;
    int row = m_penRow;
    m_penRow = -1;
    if (Inside(m_rowText[static_cast<size_t>(row)], x, y))
        SendMessage(WM_COMMAND, CMD_BCR_EDIT, row);
    else if (Inside(m_rowButton[static_cast<size_t>(row)], x, y))
        SendMessage(WM_COMMAND, CMD_BCR_ALTERNATIVES, row);
}

void CBcrViewDialog::OnKeyDown(WPARAM key)
{
    if (key == 0x73) {
        OnExit();
        return;
    }
    if (key == 0x86) {
        SendMessage(WM_COMMAND, CMD_BCR_EDITOR_OK, 0);
        return;
    }
    if (PopupShown())
        return;
    bool browsing = m_editField < 0;
    switch (key) {
    case VK_LEFT:
    case VK_RIGHT:
        if (browsing && m_count > 1)
            SendMessage(WM_COMMAND, key == VK_LEFT ? CMD_BCR_PREV_CARD : CMD_BCR_NEXT_CARD, 0);
        else if (!browsing)
            SendMessage(WM_COMMAND, key == VK_LEFT ? CMD_BCR_PREV_FIELD : CMD_BCR_NEXT_FIELD, 0);
        break;
    case VK_UP:
    case VK_DOWN: {
        // A short pen drag.
        int to = key == VK_UP ? 104 : 3;
        OnPenDown(0, 53);
        OnPenMove(0, to);
        OnPenUp(0, to);
        break;
    }
    default:
        break;
    }
}

void CBcrViewDialog::OnVScroll(WORD code, int thumb)
{
    if (Portrait())
        return;
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_ALL;
    ::GetScrollInfo(GetDlgItem(IDC_BCR_SCROLLBAR), SB_CTL, &si);
    int pos = m_scroll;
    switch (code) {
    case SB_LINEUP: pos -= 1; break;
    case SB_LINEDOWN: pos += 1; break;
    case SB_PAGEUP: pos -= static_cast<int>(si.nPage); break;
    case SB_PAGEDOWN: pos += static_cast<int>(si.nPage); break;
    case SB_THUMBPOSITION:
    case SB_THUMBTRACK: pos = thumb; break;
    case SB_TOP: pos = si.nMin; break;
    case SB_BOTTOM: pos = si.nMax; break;
    default: return;
    }
    pos = std::clamp(pos, 0, std::max(0, si.nMax - static_cast<int>(si.nPage) + 1));
    if (pos == m_scroll)
        return;
    ScrollTo(pos);
}

void CBcrViewDialog::ScrollTo(int position)
{
    m_scroll = Portrait() ? 0 : std::max(0, position);
    SCROLLINFO si{};
    si.cbSize = sizeof si;
    si.fMask = SIF_POS;
    si.nPos = m_scroll;
    m_scroll = ::SetScrollInfo(GetDlgItem(IDC_BCR_SCROLLBAR), SB_CTL, &si, TRUE);
    ::InvalidateRect(GetDlgItem(IDC_BCR_SCROLLBAR), nullptr, FALSE);
    RepaintRows();
    UpdateWindow();
}

void CBcrViewDialog::OnEditor(int category)
{
    if (category < 0 || category >= 7)
        return;
    CloseAlternatives();
    if (m_editField >= 0)
        OnEditorOK();
    m_editField = category;
    ShowEditor(true, category, true);
    SipShowIM(SIPF_ON);
}

void CBcrViewDialog::ShowEditor(bool show, int category, bool withText)
{
    HWND edit = GetDlgItem(IDC_BCR_EDIT);
    if (show) {
        if (withText)
            ::SetWindowTextW(edit, TextOf(m_texts[static_cast<size_t>(category)].text).c_str());
        UINT caption = category >= 1 && category <= 6 ? static_cast<UINT>(106 + category) : 106u;
        WCHAR text[128] = L"";
        if (m_language)
            ::LoadStringW(m_language, caption, text, 128);
        ::SetWindowTextW(GetDlgItem(IDC_BCR_EDITOR_CAPTION), text);
        const RECT& box = m_texts[static_cast<size_t>(category)].box;
        skin::Free(m_fieldPicture);
        m_fieldBox = RECT{};
        if (!IsRectEmpty(&box) && m_current >= 1 && m_current <= m_count) {
            std::wstring path = m_folder + m_slots[static_cast<size_t>(m_current - 1)].name;
            HBITMAP picture = SHLoadImageFile(path.c_str());
            if (!picture) {
                plat::DebugLine(L"[LumOCR] NULL IMAGE");
            } else if (m_orientation[static_cast<size_t>(m_current - 1)] == 0) {
                // Recognition turned this picture a quarter turn: show it so.
                SIZE s = skin::SizeOf(picture);
                HDC screen = ::GetDC(nullptr);
                HDC from = ::CreateCompatibleDC(screen), to = ::CreateCompatibleDC(screen);
                HBITMAP turned = ::CreateCompatibleBitmap(screen, s.cy, s.cx);
                HGDIOBJ a = ::SelectObject(from, picture), b = ::SelectObject(to, turned);
                for (int r = 0; r < s.cy; ++r)
                    for (int c = 0; c < s.cx; ++c)
                        ::SetPixel(to, s.cy - 1 - r, c, ::GetPixel(from, c, r));
                ::SelectObject(from, a);
                ::SelectObject(to, b);
                ::DeleteDC(from);
                ::DeleteDC(to);
                ::ReleaseDC(nullptr, screen);
                ::DeleteObject(picture);
                m_fieldPicture = turned;
            } else {
                m_fieldPicture = picture;
            }
            if (m_fieldPicture)
                m_fieldBox = box;
        }
    } else {
        skin::Free(m_fieldPicture);
        m_editField = -1;
    }
    UpdateLayout();
}

void CBcrViewDialog::OnEditorOK()
{
    if (m_editField < 0)
        return;
    WCHAR text[kResultTextChars] = L"";
    ::GetWindowTextW(GetDlgItem(IDC_BCR_EDIT), text, kResultTextChars);  // at most 255 characters
    ResultText& t = m_texts[static_cast<size_t>(m_editField)];
    CopyText(t.text, text);
    StoreCard();
    int field = m_editField;
    ShowEditor(false, field, false);
    ScrollTo(field * m_pitch);
    SipShowIM(SIPF_OFF);
}

void CBcrViewDialog::SelectField(int step)
{
    if (m_editField < 0)
        return;
    int next = (m_editField + step + 7) % 7;
    ScrollTo(next * m_pitch);
    SendMessage(WM_COMMAND, CMD_BCR_EDIT, next);
}

void CBcrViewDialog::CloseAlternatives()
{
    HWND list = GetDlgItem(IDC_BCR_LIST);
    if (list && ::IsWindowVisible(list)) {
        ::ShowWindow(list, SW_HIDE);
        RepaintRows();
    }
    if (HWND bar = GetDlgItem(IDC_BCR_SCROLLBAR))
        ::SetFocus(bar);
}

void CBcrViewDialog::OnCombobox(int category)
{
    if (category < 0 || category >= 7)
        return;
    if (m_editField >= 0)
        OnEditorOK();
    HWND list = GetDlgItem(IDC_BCR_LIST);
    if (::IsWindowVisible(list)) {
        CloseAlternatives();
        if (m_comboField == category)
            return;  // a second tap closes it
    }
    m_comboField = category;
    ::SendMessageW(list, LVM_DELETEALLITEMS, 0, 0);
    auto add = [&](const std::wstring& text) {
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
        item.pszText = const_cast<LPWSTR>(text.c_str());
        ::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    };
    add(TextOf(m_texts[static_cast<size_t>(category)].text));
    const ResultSubItem& alt = m_alternatives[static_cast<size_t>(category)];
    for (int i = 0; i < std::clamp(alt.count, 0, 2); ++i)
        add(TextOf(alt.candidates[i].text));
    LVITEMW state{};
    state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(list, LVM_SETITEMSTATE, 0, reinterpret_cast<LPARAM>(&state));
    m_listSelection = 0;
    int rows = static_cast<int>(::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0));
    RECT entry = Entry(kListEntry);
    int height = rows * (entry.bottom - entry.top);
    RECT field = m_rowText[static_cast<size_t>(category)];
    if (IsRectEmpty(&field))
        field = RowEntry(kTextEntry, category);
    int top;
    if (field.bottom + height <= UsableHeight()) {
        top = field.bottom;
    } else if (field.top - height >= Entry(kTitleEntry).bottom) {
        top = field.top - height;
    } else {
        if (!Portrait()) {
            int position = category <= 4 ? category * m_pitch + 3 : (category - 2) * m_pitch - 3;
            ScrollTo(position);
            field = RowEntry(kTextEntry, category);
        }
        top = field.bottom + height <= UsableHeight() ? field.bottom : std::max<LONG>(0, field.top - height);
    }
    ::SetWindowPos(list, HWND_TOP, entry.left, top, entry.right - entry.left, height, SWP_SHOWWINDOW);
    ::SetFocus(list);
}

void CBcrViewDialog::OnAlternativeChosen(int row)
{
    if (m_comboField >= 0 && (row == 1 || row == 2)) {
        ResultText& current = m_texts[static_cast<size_t>(m_comboField)];
        ResultText& other = m_alternatives[static_cast<size_t>(m_comboField)].candidates[row - 1];
        std::swap(current, other);
        StoreCard();
    }
    CloseAlternatives();
    RepaintRows();
}

void CBcrViewDialog::OnArrow(int step)
{
    if (m_busy || CLayoutManager::GetInstance()->IsBusy() || m_count < 1)
        return;
    CloseAlternatives();
    if (m_editField >= 0)
        OnEditorOK();
    m_current += step;
    if (m_current < 1)
        m_current = m_count;
    if (m_current > m_count)
        m_current = 1;
    LoadCard();
    RepaintRows();
    ShowTitle();
}

void CBcrViewDialog::ShowInfo(int kind)
{
    m_info.SetUp(m_language, kind, m_popupBackground, m_hWnd);
    ::SetWindowPos(m_info.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::InvalidateRect(m_info.m_hWnd, nullptr, FALSE);
    SetTimer(TM_POPUP_CLOSE, kPopupCloseMs);
}

void CBcrViewDialog::OnSave()
{
    if (m_busy || m_count < 1)
        return;
    m_busy = true;
    SipShowIM(SIPF_OFF);
    CloseAlternatives();
    if (m_editField >= 0) {
        WCHAR text[kResultTextChars] = L"";
        ::GetWindowTextW(GetDlgItem(IDC_BCR_EDIT), text, kResultTextChars);
        CopyText(m_texts[static_cast<size_t>(m_editField)].text, text);
        StoreCard();
        ShowEditor(false, m_editField, false);
    }
    EnableSoftKeys(false);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    m_popupKind = 0;
    CPoomContact contact;
    m_saveFailed = FAILED(contact.SaveCurrentContact(m_hWnd, m_texts.data()));
    ShowInfo(m_saveFailed ? CInfoPopup::KIND_SAVE_FAILED : CInfoPopup::KIND_SAVED);
    m_busy = false;
}

void CBcrViewDialog::OnSaveAll()
{
    if (m_busy || m_count < 1)
        return;
    m_busy = true;
    SipShowIM(SIPF_OFF);
    CloseAlternatives();
    if (m_editField >= 0) {
        WCHAR text[kResultTextChars] = L"";
        ::GetWindowTextW(GetDlgItem(IDC_BCR_EDIT), text, kResultTextChars);
        CopyText(m_texts[static_cast<size_t>(m_editField)].text, text);
        StoreCard();
    }
    EnableSoftKeys(false);
    m_popupKind = 1;
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    std::vector<ResultItem*> cards;
    for (Slot& s : m_slots)
        cards.push_back(s.items.data());
    int stored = 0;
    CPoomContact contact;
    m_saveFailed = FAILED(contact.SaveAllContacts(m_hWnd, cards.data(), m_count, &stored));
    // Stored cards leave the view; a failure keeps the others.
    for (int i = 0; i < stored && m_count > 0; ++i) {
        m_current = 1;
        RemoveCurrentCard();
    }
    m_current = std::min(std::max(m_current, 1), std::max(m_count, 1));
    ShowInfo(m_saveFailed ? CInfoPopup::KIND_SAVE_FAILED : CInfoPopup::KIND_SAVED_ALL);
}

void CBcrViewDialog::RemoveCurrentCard()
{
    if (m_current < 1 || m_current > m_count)
        return;
    m_slots.erase(m_slots.begin() + (m_current - 1));
    m_orientation.erase(m_orientation.begin() + (m_current - 1));
    --m_count;
    if (m_current > m_count)
        m_current = std::max(m_count, 1);
}

void CBcrViewDialog::OnPopupDone()
{
    KillTimer(TM_POPUP_CLOSE);
    ::ShowWindow(m_info.m_hWnd, SW_HIDE);
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    m_busy = false;
    if (!m_saveFailed && m_popupKind == 1) {
        End(RESULT_VIEW_BACK);
        return;
    }
    if (!m_saveFailed && m_popupKind == 0) {
        RemoveCurrentCard();
        if (m_count == 0) {
            End(RESULT_VIEW_BACK);
            return;
        }
    }
    if (m_popupKind == 2 && !m_saveFailed) {
        End(RESULT_VIEW_BACK);  // a retry whose cards were stored
        return;
    }
    if (m_count < 1) {
        End(RESULT_VIEW_BACK);
        return;
    }
    LoadCard();
    if (m_count == 1) {
        ::ShowWindow(GetDlgItem(IDC_BCR_LEFT), SW_HIDE);
        ::ShowWindow(GetDlgItem(IDC_BCR_RIGHT), SW_HIDE);
        SetMenuBar(IDM_BCR_ONE_CARD);
    }
    EnableSoftKeys(true);
    RepaintRows();
    ShowTitle();
}

void CBcrViewDialog::OnRetry()
{
    if (m_busy || CLayoutManager::GetInstance()->IsBusy() || ::IsWindowVisible(m_yesNo.m_hWnd))
        return;
    m_busy = true;
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    CloseAlternatives();
    if (m_editField >= 0)
        OnEditorOK();
    if (m_count == 0) {
        End(RESULT_VIEW_BACK);
        return;
    }
    SipShowIM(SIPF_OFF);
    m_yesNo.SetUp(m_language, m_count < 2 ? 248 : 249, m_popupBackground);
    ::SetWindowPos(m_yesNo.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EnableSoftKeys(false);
}

void CBcrViewDialog::OnYesNoDone(bool yes)
{
    ::ShowWindow(m_yesNo.m_hWnd, SW_HIDE);
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    EnableSoftKeys(true);
    m_busy = false;
    if (!yes) {
        End(RESULT_VIEW_BACK);
        return;
    }
    CPoomContact contact;
    HRESULT hr;
    int stored = 0;
    if (m_count < 2) {
        hr = contact.SaveCurrentContact(m_hWnd, m_texts.data());
    } else {
        std::vector<ResultItem*> cards;
        for (Slot& s : m_slots)
            cards.push_back(s.items.data());
        hr = contact.SaveAllContacts(m_hWnd, cards.data(), m_count, &stored);
        for (int i = 0; i < stored && m_count > 0; ++i) {
            m_current = 1;
            RemoveCurrentCard();
        }
    }
    if (SUCCEEDED(hr)) {
        End(RESULT_VIEW_BACK);
        return;
    }
    // Nothing lost: the unstored cards stay and the user is told.
    m_busy = true;
    m_saveFailed = true;
    m_popupKind = 2;
    EnableSoftKeys(false);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    ShowInfo(CInfoPopup::KIND_SAVE_FAILED);
}

void CBcrViewDialog::OnExit()
{
    CloseAlternatives();
    if (m_editField >= 0)
        ShowEditor(false, m_editField, false);
    CLayoutManager::PumpKeyMessages(FALSE, TRUE);
    CLayoutManager::PumpMouseMessages(FALSE, TRUE);
    End(RESULT_VIEW_EXIT);
}

LRESULT CBcrViewDialog::OnNotify(NMHDR* header)
{
    if (!header || header->idFrom != static_cast<UINT_PTR>(IDC_BCR_LIST))
        return 0;
    HWND list = header->hwndFrom;
    if (header->code == NM_CLICK) {
        int chosen = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
        if (chosen >= 0)
            PostMessage(WM_COMMAND, CMD_BCR_ALTERNATIVE_CHOSEN, chosen * 16 + m_listSelection);
        return 0;
    }
    if (header->code == LVN_KEYDOWN) {
        auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
        if (key->wVKey == 0x86) {
            int chosen = static_cast<int>(::SendMessageW(list, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
            PostMessage(WM_COMMAND, CMD_BCR_ALTERNATIVE_CHOSEN, std::max(chosen, 0) * 16);
        } else if (key->wVKey == 0x73) {
            PostMessage(WM_COMMAND, 20012, 0);
        }
        return 0;
    }
    if (header->code == NM_CUSTOMDRAW) {
        auto* cd = reinterpret_cast<NMCUSTOMDRAW*>(header);
        if (cd->dwDrawStage == CDDS_PREPAINT)
            return CDRF_NOTIFYITEMDRAW;
        if (cd->dwDrawStage != CDDS_ITEMPREPAINT)
            return CDRF_DODEFAULT;
        int row = static_cast<int>(cd->dwItemSpec);
        bool selected = (cd->uItemState & CDIS_SELECTED) != 0;
        RECT r = cd->rc;
        HBITMAP back = skin::Load(selected ? (Portrait() ? 21036 : 21042) : (Portrait() ? 21035 : 21041));
        HBRUSH fill = ::CreateSolidBrush(selected ? RGB(40, 80, 160) : RGB(245, 245, 245));
        ::FillRect(cd->hdc, &r, fill);
        ::DeleteObject(fill);
        if (back)
            skin::DrawAt(cd->hdc, back, r.left, r.top, true);
        skin::Free(back);
        WCHAR text[kResultTextChars] = L"";
        LVITEMW item{};
        item.pszText = text;
        item.cchTextMax = kResultTextChars;
        ::SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        HFONT font = skin::MakeFont(28, 700);
        HGDIOBJ old = ::SelectObject(cd->hdc, font);
        ::SetBkMode(cd->hdc, TRANSPARENT);
        ::SetTextColor(cd->hdc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
        RECT t{r.left + 7, r.top + 3, r.right - 7, r.bottom - 3};
        ::DrawTextW(cd->hdc, text, -1, &t, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        ::SelectObject(cd->hdc, old);
        ::DeleteObject(font);
        RECT line{r.left, r.bottom - 1, r.right, r.bottom};
        HBRUSH grey = ::CreateSolidBrush(RGB(0x68, 0x68, 0x68));
        ::FillRect(cd->hdc, &line, grey);
        ::DeleteObject(grey);
        return CDRF_SKIPDEFAULT;
    }
    return 0;
}

LRESULT CBcrViewDialog::OnDrawItem(DRAWITEMSTRUCT* item)
{
    if (!item)
        return FALSE;
    if (Control* c = ControlOf(static_cast<int>(item->CtlID))) {
        c->DrawButton(*item);
        return TRUE;
    }
    return FALSE;
}

void CBcrViewDialog::OnCommand(WORD id, LPARAM lParam)
{
    int arg = static_cast<int>(lParam);
    switch (id) {
    case CMD_BCR_EDIT: OnEditor(arg); break;
    case CMD_BCR_PREV_CARD: OnArrow(-1); break;
    case CMD_BCR_NEXT_CARD: OnArrow(1); break;
    case CMD_BCR_EDITOR_OK: OnEditorOK(); break;
    case CMD_BCR_ALTERNATIVES: OnCombobox(arg); break;
    case CMD_BCR_ALTERNATIVE_CHOSEN: OnAlternativeChosen((arg & 0xFF) / 16); break;
    case CMD_BCR_IMAGE: plat::DebugLine(L"[LumOCR] card picture"); break;
    case CMD_BCR_NEXT_FIELD: SelectField(1); break;
    case CMD_BCR_PREV_FIELD: SelectField(-1); break;
    case CMD_YESNO_DONE: OnYesNoDone(arg == 1); break;
    case CMD_BCR_SAVE: OnSave(); break;
    case CMD_BCR_SAVE_ALL: OnSaveAll(); break;
    case 20010:
    case 20017:
    case 20018:
        // Expand view and Browser come with the gallery dialogs.
        plat::DebugLine(L"[LumOCR] card view: command %u not available", id);
        break;
    case 20011:
    case 20019:
    case IDOK: OnRetry(); break;
    case 20012:
    case 20009: OnExit(); break;
    case CMD_BCR_CLOSE: {
        KillTimer(TM_POPUP_CLOSE);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        if (m_menuBar) {
            auto menu = reinterpret_cast<HMENU>(::SendMessageW(m_menuBar, SHCMBM_GETMENU, 0, 0));
            if (menu)
                DestroyMenu(menu);
        }
        m_endResult = static_cast<INT_PTR>(lParam);
        EndDialog(m_endResult);
        break;
    }
    default: break;
    }
}

BOOL CBcrViewDialog::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    auto x = static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam)));
    auto y = static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)));
    if (message != WM_PAINT && message != WM_TIMER && message != WM_INITDIALOG)
        Touch();
    switch (message) {
    case WM_INITDIALOG: result = OnInitDialog(); return TRUE;
    case WM_POPUP_PEN_UP: return TRUE;
    case WM_WINDOWPOSCHANGED:
    case WM_SETTINGCHANGE: OnWindowPosChanged(); return FALSE;
    case WM_ERASEBKGND: result = 1; return TRUE;
    case WM_LBUTTONDOWN: OnPenDown(x, y); return TRUE;
    case WM_MOUSEMOVE: OnPenMove(x, y); return TRUE;
    case WM_LBUTTONUP: OnPenUp(x, y); return TRUE;
    case WM_VSCROLL:
        if (Portrait())
            return FALSE;
        OnVScroll(LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam)));
        return TRUE;
    case WM_KEYDOWN: OnKeyDown(wParam); return TRUE;
    case WM_PAINT: OnPaint(); return TRUE;
    case WM_POPUP_DONE: OnPopupDone(); return TRUE;
    case WM_TIMER:
        if (wParam == TM_POPUP_CLOSE) {
            KillTimer(TM_POPUP_CLOSE);
            SendMessage(WM_POPUP_DONE, 0, 0);
            return TRUE;
        }
        return FALSE;
    case WM_COMMAND: OnCommand(LOWORD(wParam), lParam); return TRUE;
    case WM_NOTIFY: result = OnNotify(reinterpret_cast<NMHDR*>(lParam)); return TRUE;
    case WM_DRAWITEM: result = OnDrawItem(reinterpret_cast<DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_MEASUREITEM: {
        auto* mi = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
        if (mi && mi->CtlType == ODT_LISTVIEW) {
            RECT entry = Entry(kListEntry);
            HBITMAP row = skin::Load(Portrait() ? 21035 : 21041);
            mi->itemHeight = static_cast<UINT>(std::max<LONG>(entry.bottom - entry.top, skin::SizeOf(row).cy));
            skin::Free(row);
            return TRUE;
        }
        return FALSE;
    }
    case WM_ACTIVATE: SipShowIM(SIPF_OFF); return FALSE;
    default: return FALSE;
    }
}

struct CLumResultBCRView::Impl {
    CBcrViewDialog dialog;
};

CLumResultBCRView::CLumResultBCRView() : impl_(std::make_unique<Impl>()) {}
CLumResultBCRView::~CLumResultBCRView() = default;

void CLumResultBCRView::SetData(ResultItem* const* cards, ResultSubItem* const* alternatives, int count,
                                LPCWSTR folder, const WCHAR* const* names, HINSTANCE languageInstance, HWND mainWindow,
                                int* inactivity, const int* orientationFlags)
{
    impl_->dialog.SetData(cards, alternatives, count, folder, names, languageInstance, mainWindow, inactivity,
                          orientationFlags);
}

INT_PTR CLumResultBCRView::DoModal(HWND parent) { return impl_->dialog.DoModal(parent); }
