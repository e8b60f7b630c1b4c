// The business-card result view: the cards it holds, its messages and
// commands, painting the rows and paging.
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
#include "result_controls.h"
#include "skin_draw.h"

using namespace bcr;

namespace {

constexpr COLORREF kSeparator = RGB(0xE6, 0xE6, 0xE6);

}  // namespace

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

void CBcrViewDialog::Touch()
{
    if (m_inactivity)
        *m_inactivity = kInactivityReset;
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
    MakeCurrentInList();
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

void CBcrViewDialog::SetMenuBar(UINT id)
{
    if (m_menuBar && m_menuBarId == id)
        return;
    m_menuBar = ReplaceMenuBar(m_hWnd, m_menuBar, id);
    m_menuBarId = id;
}

void CBcrViewDialog::EnableSoftKeys(bool enable) { ::EnableSoftKeys(m_menuBar, enable); }

void CBcrViewDialog::End(INT_PTR result)
{
    PostMessage(WM_COMMAND, CMD_BCR_CLOSE, static_cast<LPARAM>(result));
}

LRESULT CBcrViewDialog::OnInitDialog()
{
    SetMenuBar(m_count > 1 ? IDM_BCR_CARDS : IDM_BCR_ONE_CARD);
    m_current = 1;
    InitPictureList();
    LoadCard();
    AttachControls();
    m_info.SubclassWindow(GetDlgItem(IDC_BCR_INFO_POPUP));
    m_yesNo.SubclassWindow(GetDlgItem(IDC_BCR_YESNO_POPUP));
    RECT listEntry = Entry(kListEntry);
    HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"",
                                  WS_CHILD | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED |
                                      LVS_NOCOLUMNHEADER | LVS_NOSCROLL,
                                  listEntry.left, listEntry.top, listEntry.right - listEntry.left,
                                  listEntry.bottom - listEntry.top, m_hWnd,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(IDC_BCR_LIST)), nullptr, nullptr);
    m_dropDown.Attach(GetDlgItem(IDC_BCR_DROPDOWN), list);
    m_screenWidth = 0;  // lay out for the screen as it is now
    OnWindowPosChanged();
    ShowTitle();
    if (m_mainWindow)
        SHFullScreen(m_mainWindow, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
    return FALSE;
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
    PlaceRows();
    for (int i = 0; i < 7; ++i) {
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
    m_popupBackground = CaptureUnder(m_hWnd, PopupRect());
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
    case CMD_BCR_EXPAND:
    case CMD_BCR_EXPAND_CARDS: OnPictureDialog(false); break;
    case CMD_BCR_BROWSER: OnPictureDialog(true); break;
    case 20011:
    case 20019:
    case IDOK: OnRetry(); break;
    case 20012:
    case 20009: OnExit(); break;
    case CMD_BCR_CLOSE: {
        KillTimer(TM_POPUP_CLOSE);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        DestroyMenuBarMenu(m_menuBar);
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
