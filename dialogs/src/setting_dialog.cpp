#include "setting_dialog_impl.h"

#include <algorithm>
#include <mutex>

#include "debug_print.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "font_manager.h"
#include "haptic_control.h"
#include "layout_manager.h"
#include "registry_key.h"
#include "result_controls.h"
#include "settings.h"
#include "skin_draw.h"

namespace {

constexpr UINT kTitleString = 200;
constexpr UINT kRadioUnselected = 30002, kRadioPressed = 30003, kRadioSelected = 30004;
constexpr UINT kFaceOneRow = 30073, kFace = 1391, kRowNormal = 1381, kRowSelected = 1385;
constexpr COLORREF kRule = RGB(0xE6, 0xE6, 0xE6);
// The landscape scroll: a bar off the screen's right, its range and page.
constexpr int kScrollBarX = 10000, kScrollBarY = 42, kScrollBarWidth = 7, kScrollBarHeight = 146;
constexpr int kScrollMax = 246, kScrollPage = 188;
constexpr int kLandscapeWidth = 400;
constexpr const WCHAR* kAutoFocus = L"EnableAutoFocus";
constexpr const WCHAR* kLanguage = L"SelectedLanguage";
constexpr const WCHAR* kAutoSave = L"EnableAutoSave";

void RegisterSettingResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        plat::DialogTemplate t;
        t.id = IDD_SETTINGS;
        t.style = WS_POPUP;
        t.title = L"Settings";
        t.items.push_back(plat::DialogItem{L"STATIC", L"", IDC_SETTINGS_TITLE, 0, 0, 0, 0, 0, 0});
        t.items.push_back(plat::DialogItem{L"STATIC", L"", IDC_SETTINGS_LANGUAGE, 0, 0, 0, 0, 0, 0});
        t.items.push_back(plat::DialogItem{L"SCROLLBAR", L"", IDC_SETTINGS_SCROLLBAR, SBS_VERT, 0, 0, 0, 0, 0});
        plat::RegisterDialogTemplate(t);
        plat::RegisterMenuBarTemplate({IDM_SETTINGS, {{CMD_SETTINGS_SAVE, L"Save"}, {CMD_SETTINGS_CANCEL, L"Cancel"}}});
    });
}

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

void Fill(HDC dc, const RECT& r, COLORREF colour)
{
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
}

}  // namespace

std::vector<int> LanguageRowsFor(int primaryLanguage)
{
    // English 9, German 7, French 12, Italian 16, Spanish 10, Portuguese 22,
    // Russian 25, Ukrainian 34; any other counts as English.
    switch (primaryLanguage) {
    case 7: return {1, 0};
    case 12: return {2, 0};
    case 16: return {3, 0};
    case 10: return {4, 0};
    case 22: return {5, 0};
    case 25: return {6, 7, 0};
    case 34: return {7, 6, 0};
    default: return {0};
    }
}

CSettingDialog::CSettingDialog() : CDialogImpl(IDD_SETTINGS) { RegisterSettingResources(); }

CSettingDialog::~CSettingDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    for (HBITMAP& b : m_radios)
        skin::Free(b);
}

void CSettingDialog::SetParams(HWND parent, HWND owner, HWND menuBarOwner, int* inactivity)
{
    m_parent = parent;
    m_owner = owner;
    m_menuBarOwner = menuBarOwner;
    m_inactivity = inactivity;
}

void CSettingDialog::Touch()
{
    if (m_inactivity)
        *m_inactivity = kInactivityReset;
}

std::wstring CSettingDialog::Text(UINT stringId) const { return CLayoutManager::GetInstance()->GetString(stringId); }

RECT CSettingDialog::ItemRect(UINT id) const
{
    RECT r = LayoutPlace(id);
    r.top -= m_scroll;
    r.bottom -= m_scroll;
    return r;
}

void CSettingDialog::End(INT_PTR code)
{
    m_endResult = code;
    EndDialog(code);
}

// ---- opening, the list, the registry -------------------------------------------

LRESULT CSettingDialog::OnInitDialog()
{
    m_scroll = 0;
    CLayoutManager* layout = CLayoutManager::GetInstance();
    POINT origin{0, 26}, size{240, 348};
    layout->GetPoint1(IDD_SETTINGS, &origin);
    layout->GetPoint2(IDD_SETTINGS, &size);
    ::SetWindowPos(m_hWnd, nullptr, origin.x, origin.y, size.x, size.y, SWP_NOZORDER | SWP_NOACTIVATE);
    m_menuBar = ReplaceMenuBar(m_hWnd, nullptr, IDM_SETTINGS);

    m_title.SubclassWindow(GetDlgItem(IDC_SETTINGS_TITLE));
    RECT title = LayoutPlace(IDC_SETTINGS_TITLE);
    ::SetWindowPos(m_title.m_hWnd, nullptr, title.left, title.top, title.right - title.left, title.bottom - title.top,
                   SWP_NOZORDER | SWP_SHOWWINDOW);
    m_title.SetSize(title.right - title.left, title.bottom - title.top);
    m_title.SetFont(CFontManager::GetInstance()->GetFont(IDC_SETTINGS_TITLE));
    m_title.SetTextRect(RECT{0, 0, title.right - title.left, title.bottom - title.top});
    m_title.SetText(Text(kTitleString).c_str());

    // The dialog draws the closed drop-down; its button only opens the list.
    m_language.Attach(GetDlgItem(IDC_SETTINGS_LANGUAGE));
    RECT button = LayoutPlace(IDC_SETTINGS_LANGUAGE);
    ::SetWindowPos(m_language.m_hWnd, nullptr, button.left, button.top, button.right - button.left,
                   button.bottom - button.top, SWP_NOZORDER | SWP_HIDEWINDOW);
    POINT listAt{}, listSize{};
    layout->GetPoint3(IDC_SETTINGS_LANGUAGE, &listAt);
    layout->GetPoint4(IDC_SETTINGS_LANGUAGE, &listSize);
    m_language.CreateList(m_hWnd, listAt.x, listAt.y, listSize.x, listSize.y);
    m_language.SetRowImages(layout->RemapControlId(kRowNormal), layout->RemapControlId(kRowSelected));
    m_language.SetLandscapePlacement(true);

    m_scrollBar = GetDlgItem(IDC_SETTINGS_SCROLLBAR);
    if (GetSystemMetrics(SM_CXSCREEN) == kLandscapeWidth && m_scrollBar) {
        ::SetWindowPos(m_scrollBar, HWND_TOPMOST, kScrollBarX, kScrollBarY, kScrollBarWidth, kScrollBarHeight,
                       SWP_SHOWWINDOW);
        SCROLLINFO info{sizeof info, SIF_RANGE | SIF_PAGE | SIF_POS, 0, kScrollMax, kScrollPage, 0, 0};
        ::SetScrollInfo(m_scrollBar, SB_CTL, &info, TRUE);
    } else if (m_scrollBar) {
        ::ShowWindow(m_scrollBar, SW_HIDE);
    }

    m_radios[0] = skin::Load(kRadioUnselected);
    m_radios[1] = skin::Load(kRadioPressed);
    m_radios[2] = skin::Load(kRadioSelected);
    FillLanguages();
    Load();
    if (m_menuBarOwner)
        SHFullScreen(m_menuBarOwner, SHFS_SHOWTASKBAR);
    return TRUE;
}

void CSettingDialog::FillLanguages()
{
    m_language.DeleteAll();
    const int primary = CFontManager::GetInstance()->GetUILanguage() & 0x1FF;
    for (int index : LanguageRowsFor(primary))
        m_language.AddRow(Text(kLanguageNames[index]).substr(0, 100));
    CLayoutManager* layout = CLayoutManager::GetInstance();
    const UINT face = layout->RemapControlId(m_language.GetRowCount() == 1 ? kFaceOneRow : kFace);
    m_language.SetFaces(face, face, face);
}

void CSettingDialog::Load()
{
    CRegistryKey key;
    if (!key.Create(HKEY_CURRENT_USER, kOcrOptionsKey))
        return;
    BYTE on = 0;
    if (key.QueryBool(kAutoFocus, on))
        m_focus[0] = on ? 1 : 0, m_focus[1] = on ? 0 : 1;
    if (key.QueryBool(kAutoSave, on))
        m_autoSave[0] = on ? 1 : 0, m_autoSave[1] = on ? 0 : 1;
    LONG language = 0;
    int row = 0;
    if (key.QueryDWORD(kLanguage, language)) {
        language = std::clamp<LONG>(language, 0, 7);
        const std::wstring name = Text(kLanguageNames[language]);
        for (int i = 0; i < m_language.GetRowCount(); ++i)
            if (m_language.GetRowText(i) == name) {
                row = i;
                break;
            }
    }
    m_language.SetSelection(row);
}

void CSettingDialog::Save()
{
    CRegistryKey key;
    if (!key.Create(HKEY_CURRENT_USER, kOcrOptionsKey))
        return;
    key.SetDWORD(kAutoFocus, static_cast<DWORD>(m_focus[0] ? 1 : 0));
    const int row = m_language.GetSelection();
    const std::wstring chosen = row >= 0 ? m_language.GetRowText(row) : std::wstring();
    DWORD index = 0;
    for (DWORD i = 0; i < 8; ++i)
        if (chosen == Text(kLanguageNames[i])) {
            index = i;
            break;
        }
    key.SetDWORD(kLanguage, index);
    key.SetDWORD(kAutoSave, static_cast<DWORD>(m_autoSave[0] ? 1 : 0));
    CRegistryKey::Flush(HKEY_CURRENT_USER);
    key.Close();
}

// ---- input ------------------------------------------------------------------------

void CSettingDialog::Select(int* pair, int which, UINT first, UINT second)
{
    pair[which] = 1;
    pair[1 - which] = 0;
    RECT a = ItemRect(first), b = ItemRect(second);
    RECT both{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right), std::max(a.bottom, b.bottom)};
    ::InvalidateRect(m_hWnd, &both, FALSE);
}

void CSettingDialog::OnCommand(WORD id, WORD code)
{
    switch (id) {
    case IDC_SETTINGS_FOCUS_ON:
    case IDC_SETTINGS_FOCUS_OFF:
        Select(m_focus, id == IDC_SETTINGS_FOCUS_ON ? 0 : 1, IDC_SETTINGS_FOCUS_ON, IDC_SETTINGS_FOCUS_OFF);
        return;
    case IDC_SETTINGS_SAVE_ON:
    case IDC_SETTINGS_SAVE_OFF:
        Select(m_autoSave, id == IDC_SETTINGS_SAVE_ON ? 0 : 1, IDC_SETTINGS_SAVE_ON, IDC_SETTINGS_SAVE_OFF);
        return;
    case CMD_SETTINGS_SAVE:
        CLayoutManager::GetInstance()->SetSettingClosed(FALSE);
        Save();
        End(SETTING_DIALOG_BACK);
        return;
    case CMD_SETTINGS_CANCEL:
        CLayoutManager::GetInstance()->SetSettingClosed(FALSE);
        End(SETTING_DIALOG_BACK);
        return;
    case IDOK:
        if (code == 0)
            return;
        CLayoutManager::GetInstance()->SetSettingClosed(TRUE);
        Save();
        End(SETTING_DIALOG_BACK);
        return;
    default:
        return;
    }
}

void CSettingDialog::OnPenDown(POINT p)
{
    Touch();
    if (Inside(ItemRect(IDC_SETTINGS_LANGUAGE), p))
        return;
    if (m_language.IsOpen())
        m_language.Close();
    for (UINT radio : {IDC_SETTINGS_FOCUS_ON, IDC_SETTINGS_FOCUS_OFF, IDC_SETTINGS_SAVE_ON, IDC_SETTINGS_SAVE_OFF})
        if (Inside(ItemRect(radio), p)) {
            CHapticControl::GetInstance()->PlayEffectA();
            SendMessage(WM_COMMAND, radio, 0);
            return;
        }
}

void CSettingDialog::OnPenUp(POINT p)
{
    Touch();
    if (!Inside(ItemRect(IDC_SETTINGS_LANGUAGE), p) || m_language.GetRowCount() == 1)
        return;
    ::SendMessageW(m_language.m_hWnd, WM_LBUTTONDOWN, MK_LBUTTON, 0);
    ::SendMessageW(m_language.m_hWnd, WM_LBUTTONUP, 0, 0);
}

void CSettingDialog::OnScroll(WORD code, int thumb)
{
    int position = m_scroll;
    switch (code) {
    case SB_LINEUP: position -= 1; break;
    case SB_LINEDOWN: position += 1; break;
    case SB_PAGEUP: position -= kScrollPage; break;
    case SB_PAGEDOWN: position += kScrollPage; break;
    case SB_THUMBTRACK:
    case SB_THUMBPOSITION: position = thumb; break;
    case SB_TOP: position = 0; break;
    case SB_BOTTOM: position = kScrollMax; break;
    default: return;
    }
    m_scroll = std::clamp(position, 0, kScrollMax - kScrollPage + 1);
    if (m_scrollBar) {
        SCROLLINFO info{sizeof info, SIF_POS, 0, 0, 0, m_scroll, 0};
        ::SetScrollInfo(m_scrollBar, SB_CTL, &info, TRUE);
    }
    POINT listAt{}, listSize{};
    CLayoutManager::GetInstance()->GetPoint3(IDC_SETTINGS_LANGUAGE, &listAt);
    CLayoutManager::GetInstance()->GetPoint4(IDC_SETTINGS_LANGUAGE, &listSize);
    m_language.MoveList(listAt.x, listAt.y - m_scroll, listSize.x, listSize.y);
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    client.top = ItemRect(IDC_SETTINGS_TITLE).top;
    ::InvalidateRect(m_hWnd, &client, FALSE);
}

// ---- painting ---------------------------------------------------------------------

void CSettingDialog::DrawLabel(HDC dc, UINT id) const
{
    RECT r = ItemRect(id);
    HGDIOBJ old = ::SelectObject(dc, CFontManager::GetInstance()->GetFont(id));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    const std::wstring text = Text(static_cast<UINT>(CLayoutManager::GetControlIndex(id)));
    ::DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP | DT_NOPREFIX);
    ::SelectObject(dc, old);
}

void CSettingDialog::DrawRadio(HDC dc, UINT id, bool selected) const
{
    RECT r = ItemRect(id);
    skin::Draw(dc, m_radios[selected ? 2 : 0], r, true);
    HGDIOBJ old = ::SelectObject(dc, CFontManager::GetInstance()->GetFont(id));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
    const std::wstring text = Text(static_cast<UINT>(CLayoutManager::GetControlIndex(id)));
    ::DrawTextW(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_CENTER | DT_NOPREFIX);
    ::SelectObject(dc, old);
}

void CSettingDialog::OnPaint()
{
    if (!m_painted) {
        m_painted = true;
        CLayoutManager::GetInstance()->SetSettingClosed(FALSE);
        CLayoutManager::PumpMouseMessages(FALSE, TRUE);
        CLayoutManager::PumpKeyMessages(FALSE, TRUE);
    }
    DebugPrint(L"[LumOCR]SettingDialog::OnPaint start \n");
    skin::PaintWindow(m_hWnd, ::GetSysColor(COLOR_STATIC), [this](HDC dc) {
        DrawLabel(dc, IDC_SETTINGS_FOCUS_LABEL);
        DrawRadio(dc, IDC_SETTINGS_FOCUS_ON, m_focus[0] != 0);
        DrawRadio(dc, IDC_SETTINGS_FOCUS_OFF, m_focus[1] != 0);
        for (UINT rule : {IDC_SETTINGS_FOCUS_RULE, IDC_SETTINGS_SAVE_RULE}) {
            RECT r = ItemRect(rule);
            r.bottom = r.top + 1;
            Fill(dc, r, kRule);
        }
        DrawLabel(dc, IDC_SETTINGS_LANGUAGE_LABEL);
        RECT face = ItemRect(IDC_SETTINGS_LANGUAGE);
        m_language.DrawFace(dc, face);
        DrawLabel(dc, IDC_SETTINGS_SAVE_LABEL);
        DrawRadio(dc, IDC_SETTINGS_SAVE_ON, m_autoSave[0] != 0);
        DrawRadio(dc, IDC_SETTINGS_SAVE_OFF, m_autoSave[1] != 0);
    });
    InvalidateChildren(m_hWnd);
    DebugPrint(L"[LumOCR]SettingDialog::OnPaint end \n");
}

BOOL CSettingDialog::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    const POINT pen{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                    static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
    switch (message) {
    case WM_INITDIALOG: result = OnInitDialog(); return TRUE;
    case WM_DESTROY:
        DebugPrint(L"[LumOCR] SettingDialog::OnDestroy start\n");
        CLayoutManager::GetInstance()->SetSettingClosed(FALSE);
        DestroyMenuBarMenu(m_menuBar);
        DebugPrint(L"[LumOCR] SettingDialog::OnDestroy end\n");
        return FALSE;
    case WM_PAINT: OnPaint(); return TRUE;
    case WM_ERASEBKGND:
        DebugPrint(L"[LumOCR] SettingDialog::OnEraseBkgnd \n");
        result = 1;
        return TRUE;
    case WM_LBUTTONDOWN: OnPenDown(pen); return TRUE;
    case WM_LBUTTONUP: OnPenUp(pen); return TRUE;
    case WM_MOUSEMOVE: Touch(); return TRUE;
    case WM_KEYDOWN:
        Touch();
        DebugPrint(L"[TRAVEK] SettingDialog::OnKeyDown\n");
        if (wParam == VK_F4)
            End(SETTING_DIALOG_EXIT);
        return TRUE;
    case WM_KEYUP:
        Touch();
        DebugPrint(L"[TRAVEK] SettingDialog::OnKeyUp\n");
        return TRUE;
    case WM_VSCROLL: OnScroll(LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam))); return TRUE;
    case WM_DROPDOWN_CLOSED: ::InvalidateRect(m_hWnd, nullptr, FALSE); return TRUE;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    default: return FALSE;
    }
}

// ---- the main frame's face ------------------------------------------------------

struct SettingDialog::Impl {
    CSettingDialog dialog;
};

SettingDialog::SettingDialog() : impl_(std::make_unique<Impl>()) {}
SettingDialog::~SettingDialog() = default;
void SettingDialog::SetParams(HWND parent, HWND owner, HWND menuBarOwner, int* inactivity)
{
    impl_->dialog.SetParams(parent, owner, menuBarOwner, inactivity);
}
INT_PTR SettingDialog::DoModal(HWND parent) { return impl_->dialog.DoModal(parent); }
