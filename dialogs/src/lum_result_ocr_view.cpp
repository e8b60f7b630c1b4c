// The document result view.
#include "lum_result_ocr_view.h"

#include <algorithm>
#include <cwchar>
#include <mutex>

#include "bcr_view_impl.h"
#include "dialog_messages.h"
#include "dialog_results.h"
#include "expand_view_dialog.h"
#include "layout_manager.h"
#include "lum_image_item_list.h"
#include "ocr_view_impl.h"
#include "page_text_file.h"
#include "plat/debug.h"
#include "plat/windows.h"
#include "skin_draw.h"
#include "thumbnail_dialog.h"

const OcrLayoutEntry kOcrLayoutPortrait[5] = {
    {0, 0, 240, 42}, {0, 0, 45, 41}, {195, 0, 45, 41}, {0, 42, 233, 306}, {233, 42, 7, 306},
};
const OcrLayoutEntry kOcrLayoutLandscape[5] = {
    {0, 0, 400, 42}, {0, 0, 45, 41}, {355, 0, 45, 41}, {0, 42, 393, 146}, {393, 42, 7, 146},
};

namespace {

enum { kTitleEntry, kLeftEntry, kRightEntry, kEditorEntry, kBarEntry };
constexpr UINT kMenuOnePage = 21003, kMenuPages = 21012;
constexpr int kMenuKey = 25010;
constexpr UINT kRetryOnePage = 250, kRetryPages = 251;
// Keys of the handset beside the arrows: action and the side key.
constexpr WPARAM kActionKey = 134, kSideKey = 195;
// The pen stroke that the Up and Down keys give the editor.
constexpr int kStrokeTop = 3, kStrokeMiddle = 53, kStrokeBottom = 104;

// Pictures handed to the shared list keep their count here: the list holds
// on to the pointer after the view has gone.
std::int32_t g_pageCount = 0;

int ScreenWidth() { return GetSystemMetrics(SM_CXSCREEN); }
int ScreenHeight() { return GetSystemMetrics(SM_CYSCREEN); }

void RegisterOcrViewResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        plat::DialogTemplate t;
        t.id = IDD_OCR_VIEW;
        t.style = WS_POPUP;
        t.title = L"Textiva";
        auto item = [&](const WCHAR* cls, int id, DWORD style) {
            t.items.push_back(plat::DialogItem{cls, L"", id, style, 0, 0, 0, 0, 0});
        };
        item(L"STATIC", IDC_OCR_TITLE, WS_VISIBLE);
        item(L"STATIC", IDC_OCR_LEFT, 0);
        item(L"STATIC", IDC_OCR_RIGHT, 0);
        item(L"EDIT", IDC_OCR_EDIT, WS_VISIBLE | WS_TABSTOP | ES_MULTILINE | ES_AUTOVSCROLL | ES_WANTRETURN);
        item(L"SCROLLBAR", IDC_OCR_SCROLLBAR, WS_VISIBLE | SBS_VERT);
        item(L"STATIC", IDC_OCR_INFO_POPUP, 0);
        item(L"STATIC", IDC_OCR_YESNO_POPUP, 0);
        plat::RegisterDialogTemplate(t);
        plat::RegisterMenuTemplate({kMenuOnePage,
                                    {{CMD_OCR_SEND, L"Send SMS/MMS"},
                                     {CMD_OCR_EXPAND, L"Expand view"},
                                     {CMD_OCR_RETRY, L"Retry"},
                                     {CMD_OCR_EXIT, L"Exit"}}});
        plat::RegisterMenuTemplate({kMenuPages,
                                    {{CMD_OCR_SEND, L"Send SMS/MMS"},
                                     {CMD_OCR_EXPAND, L"Expand view"},
                                     {CMD_OCR_SAVE_ALL, L"Save All"},
                                     {CMD_OCR_RETRY, L"Retry"},
                                     {CMD_OCR_EXIT, L"Exit"}}});
        plat::RegisterMenuBarTemplate(
            {IDM_OCR_ONE_PAGE, {{CMD_OCR_SAVE, L"Save"}, {kMenuKey, L"Menu", TBSTATE_ENABLED, TBSTYLE_DROPDOWN, kMenuOnePage}}});
        plat::RegisterMenuBarTemplate(
            {IDM_OCR_PAGES, {{CMD_OCR_SAVE, L"Save"}, {kMenuKey, L"Menu", TBSTATE_ENABLED, TBSTYLE_DROPDOWN, kMenuPages}}});
    });
}

// The list's position of the picture of that name; -1 when the list lacks it.
int ListPositionOf(const std::wstring& name)
{
    LumImageItemList* list = LumImageItemList::GetInstance();
    for (int i = 0; i < list->GetCount(); ++i)
        if (const ImageFileItem* item = list->GetRecord(i); item && item->GetName() == name)
            return i;
    return -1;
}

}  // namespace

COcrViewDialog::COcrViewDialog() : CDialogImpl(IDD_OCR_VIEW)
{
    RegisterOcrViewResources();
    CInfoPopup::ResetOrientation(CInfoPopup::VARIANT_A);
    CYesNoPopup::ResetOrientation(CYesNoPopup::VARIANT_RESULT_VIEWS);
}

COcrViewDialog::~COcrViewDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    skin::Free(m_popupBackground);
}

void COcrViewDialog::SetData(const WCHAR* const* texts, int count, LPCWSTR folder, const WCHAR* const* names,
                             HINSTANCE languageInstance, int* inactivity, int* smsSent, HWND fullScreenWindow)
{
    count = std::clamp(count, 0, OCR_PAGE_MAX);
    m_pages.assign(static_cast<size_t>(count), Page{});
    for (int k = 0; k < count; ++k) {
        Page& page = m_pages[static_cast<size_t>(k)];
        if (texts && texts[k])
            page.text.assign(texts[k], wcsnlen(texts[k], kPageTextChars));
        if (names && names[k])
            page.name.assign(names[k], wcsnlen(names[k], kPageNameChars));
    }
    m_folder = folder ? std::wstring(folder, wcsnlen(folder, 511)) : std::wstring();
    m_language = languageInstance;
    m_inactivity = inactivity;
    m_smsSent = smsSent;
    m_fullScreenWindow = fullScreenWindow;
    m_current = 1;

    LumImageItemList* list = LumImageItemList::GetInstance();
    g_pageCount = count;
    list->LoadPageImages(m_folder.c_str(), names, texts, &g_pageCount);
    MakeCurrentInList();
    list->MarkAll();
    list->SetFilterMode(LumImageItemList::FILTER_DOCUMENTS);
}

void COcrViewDialog::Touch()
{
    if (m_inactivity)
        *m_inactivity = kInactivityReset;
}

bool COcrViewDialog::PopupShown() const
{
    return (m_info.m_hWnd && ::IsWindowVisible(m_info.m_hWnd)) || (m_yesNo.m_hWnd && ::IsWindowVisible(m_yesNo.m_hWnd));
}

bool COcrViewDialog::Blocked() const { return m_saving || CLayoutManager::GetInstance()->IsBusy(); }

void COcrViewDialog::MakeCurrentInList() const
{
    if (m_current < 1 || m_current > Count())
        return;
    LumImageItemList::GetInstance()->SetCurrent(ListPositionOf(m_pages[static_cast<size_t>(m_current - 1)].name));
}

void COcrViewDialog::StoreEdit()
{
    if (m_current < 1 || m_current > Count())
        return;
    std::wstring text(kPageTextChars, L'\0');
    int length = ::GetWindowTextW(GetDlgItem(IDC_OCR_EDIT), text.data(), static_cast<int>(kPageTextChars));
    text.resize(static_cast<size_t>(std::max(length, 0)));
    m_pages[static_cast<size_t>(m_current - 1)].text = text;
}

void COcrViewDialog::LoadPage()
{
    if (m_current < 1 || m_current > Count())
        return;
    std::wstring text = m_pages[static_cast<size_t>(m_current - 1)].text;
    if (text.size() > kPageTextChars - 1)
        text.resize(kPageTextChars - 1);
    ::SetWindowTextW(m_edit.m_hWnd, text.c_str());
    m_edit.ScrollToTop();
}

void COcrViewDialog::ShowTitle()
{
    if (Count() < 1)
        return;
    const std::wstring& name = m_pages[static_cast<size_t>(m_current - 1)].name;
    std::wstring title = Count() == 1 ? name : BcrTitleText(name, m_current, Count(), Portrait());
    ::SetWindowTextW(m_title.m_hWnd, title.c_str());
    ::InvalidateRect(m_title.m_hWnd, nullptr, FALSE);
    // The arrows lie over the title: they draw after it.
    ::UpdateWindow(m_title.m_hWnd);
    for (HWND arrow : {m_left.m_hWnd, m_right.m_hWnd})
        if (::IsWindowVisible(arrow))
            ::InvalidateRect(arrow, nullptr, FALSE);
}

void COcrViewDialog::SetMenuBar(UINT id)
{
    if (m_menuBar && m_menuBarId == id)
        return;
    m_menuBar = ReplaceMenuBar(m_hWnd, m_menuBar, id);
    m_menuBarId = id;
}

void COcrViewDialog::EnableSoftKeys(bool enable) { ::EnableSoftKeys(m_menuBar, enable); }

LRESULT COcrViewDialog::OnInitDialog()
{
    SetMenuBar(Count() > 1 ? IDM_OCR_PAGES : IDM_OCR_ONE_PAGE);
    // The work area: below the task bar, above the menu bar.
    ::SetWindowPos(m_hWnd, nullptr, 0, plat::kTaskBarHeight, ScreenWidth(),
                   ScreenHeight() - plat::kTaskBarHeight - plat::kMenuBarHeight, SWP_NOZORDER);
    m_title.SubclassWindow(GetDlgItem(IDC_OCR_TITLE));
    m_title.SetTextStyle(20, 40, 40, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    m_title.SetExitCommand(CMD_OCR_EXIT);
    m_left.SubclassWindow(GetDlgItem(IDC_OCR_LEFT));
    m_right.SubclassWindow(GetDlgItem(IDC_OCR_RIGHT));
    m_left.SetBitmaps(21014, 21029);
    m_right.SetBitmaps(21015, 21030);
    m_edit.Attach(GetDlgItem(IDC_OCR_EDIT));
    m_bar.SubclassWindow(GetDlgItem(IDC_OCR_SCROLLBAR));
    m_bar.SetOwner(m_edit.m_hWnd);
    m_bar.LoadBitmaps();
    m_edit.SetScrollBar(m_bar.m_hWnd);
    m_info.SubclassWindow(GetDlgItem(IDC_OCR_INFO_POPUP));
    m_yesNo.SubclassWindow(GetDlgItem(IDC_OCR_YESNO_POPUP));
    m_current = 1;
    if (m_fullScreenWindow)
        SHFullScreen(m_fullScreenWindow, SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
    m_saving = false;
    m_screenWidth = 0;  // lay out for the screen as it is now
    OnLayoutChange();
    LoadPage();
    ShowTitle();
    ::SetFocus(m_bar.m_hWnd);
    return FALSE;
}

void COcrViewDialog::UpdateLayout()
{
    const OcrLayoutEntry* table = Portrait() ? kOcrLayoutPortrait : kOcrLayoutLandscape;
    int shrink = 0;
    if (m_shrunk) {
        SIPINFO sip{};
        sip.cbSize = sizeof sip;
        if (::SipGetInfo(&sip))
            shrink = sip.rcSipRect.bottom - sip.rcSipRect.top;
    }
    auto place = [&](HWND hwnd, int entry, bool show, int less = 0) {
        const OcrLayoutEntry& e = table[entry];
        ::SetWindowPos(hwnd, HWND_TOP, e.x, e.y, e.cx, std::max(e.cy - less, 0), show ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
    };
    place(m_title.m_hWnd, kTitleEntry, true);
    m_title.SetBackground(Portrait() ? 30005 : 30029);
    place(m_left.m_hWnd, kLeftEntry, Count() > 1);
    place(m_right.m_hWnd, kRightEntry, Count() > 1);
    place(m_edit.m_hWnd, kEditorEntry, true, shrink);
    place(m_bar.m_hWnd, kBarEntry, true, shrink);
    RECT popup = NoticeRect(m_hWnd);
    for (HWND p : {m_info.m_hWnd, m_yesNo.m_hWnd})
        ::SetWindowPos(p, HWND_TOP, popup.left, popup.top, popup.right - popup.left, popup.bottom - popup.top,
                       SWP_NOACTIVATE);
    m_edit.SyncScrollBar();
    ShowTitle();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void COcrViewDialog::OnLayoutChange()
{
    SIPINFO sip{};
    sip.cbSize = sizeof sip;
    bool shrunk = ::SipGetInfo(&sip) && (sip.fdwFlags & SIPF_ON);
    int width = ScreenWidth();
    if (width == m_screenWidth && shrunk == m_shrunk)
        return;
    m_screenWidth = width;
    m_shrunk = shrunk;
    UpdateLayout();
}

void COcrViewDialog::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(&client);
    HBRUSH white = ::CreateSolidBrush(RGB(255, 255, 255));
    ::FillRect(dc, &client, white);
    ::DeleteObject(white);
    ::EndPaint(m_hWnd, &ps);
    InvalidateChildren(m_hWnd);
    if (PopupShown())
        return;
    // What lies under the popups, for their backdrop.
    for (HWND child : {m_title.m_hWnd, m_edit.m_hWnd, m_bar.m_hWnd})
        ::UpdateWindow(child);
    skin::Free(m_popupBackground);
    m_popupBackground = CaptureUnder(m_hWnd, NoticeRect(m_hWnd));
}

void COcrViewDialog::OnArrow(int step)
{
    Touch();
    if (Blocked() || Count() < 2)
        return;
    m_left.Release();
    m_right.Release();
    StoreEdit();
    m_current += step;
    if (m_current < 1)
        m_current = Count();
    if (m_current > Count())
        m_current = 1;
    LoadPage();
    ShowTitle();
    MakeCurrentInList();
    ::SetFocus(m_bar.m_hWnd);
}

bool COcrViewDialog::SavePage(int index) const
{
    const Page& page = m_pages[static_cast<size_t>(index)];
    std::wstring path = PageTextFileName(m_folder, page.name);
    bool ok = WritePageTextFile(path, page.text);
    if (!ok)
        plat::DebugLine(L"text file %ls not written (error %lu)", path.c_str(),
                        static_cast<unsigned long>(GetLastError()));
    return ok;
}

void COcrViewDialog::RemovePage(int index)
{
    if (index < 0 || index >= Count())
        return;
    // The picture stays on the device; only the view and the list let it go.
    int position = ListPositionOf(m_pages[static_cast<size_t>(index)].name);
    if (position >= 0)
        LumImageItemList::GetInstance()->RemoveAt(position, FALSE);
    m_pages.erase(m_pages.begin() + index);
    if (index < m_current - 1 || m_current > Count())
        --m_current;
    m_current = std::clamp(m_current, 1, std::max(Count(), 1));
}

bool COcrViewDialog::SaveAllPages()
{
    bool all = true;
    for (int i = 0; i < Count();) {
        if (SavePage(i)) {
            RemovePage(i);
        } else {
            all = false;
            ++i;
        }
    }
    return all;
}

void COcrViewDialog::AfterRemoval()
{
    if (Count() < 1) {
        Close(RESULT_VIEW_BACK);
        return;
    }
    MakeCurrentInList();
    LoadPage();
    if (Count() == 1) {
        ::ShowWindow(m_left.m_hWnd, SW_HIDE);
        ::ShowWindow(m_right.m_hWnd, SW_HIDE);
        SetMenuBar(IDM_OCR_ONE_PAGE);
    }
    ShowTitle();
}

void COcrViewDialog::ShowInfo(int kind, Notice notice)
{
    ::SipShowIM(SIPF_OFF);
    m_notice = notice;
    EnableSoftKeys(false);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    m_info.SetUp(m_language, kind, m_popupBackground, m_hWnd);
    ::SetWindowPos(m_info.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::InvalidateRect(m_info.m_hWnd, nullptr, FALSE);
    SetTimer(TM_POPUP_CLOSE, kPopupCloseMs);
}

void COcrViewDialog::OnSave()
{
    if (m_saving || PopupShown() || Count() < 1)
        return;
    m_saving = true;
    StoreEdit();
    EnableSoftKeys(false);
    bool ok = SavePage(m_current - 1);
    m_savedCurrent = ok;
    ShowInfo(ok ? 0 : CInfoPopup::KIND_SAVE_FAILED, Notice::SAVED);
    m_saving = false;
}

void COcrViewDialog::OnSaveAll()
{
    if (m_saving || PopupShown() || Count() < 1)
        return;
    m_saving = true;
    m_leaving = true;
    StoreEdit();
    EnableSoftKeys(false);
    bool all = SaveAllPages();
    m_savedCurrent = all;
    ShowInfo(all ? 1 : CInfoPopup::KIND_SAVE_FAILED, Notice::SAVED_ALL);
    m_saving = false;
}

void COcrViewDialog::OnPopupDone()
{
    KillTimer(TM_POPUP_CLOSE);
    ::ShowWindow(m_info.m_hWnd, SW_HIDE);
    // Scenarios act on the view once its notice has gone.
    plat::DebugLine(L"OCR view notice closed");
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    EnableSoftKeys(true);
    Notice notice = m_notice;
    m_notice = Notice::NONE;
    if (notice == Notice::SAVED && m_savedCurrent)
        RemovePage(m_current - 1);
    if (notice == Notice::SAVED_ALL && m_savedCurrent) {
        Close(RESULT_VIEW_BACK);
        return;
    }
    AfterRemoval();
    ::SetFocus(m_bar.m_hWnd);
}

void COcrViewDialog::OnRetry()
{
    if (Blocked() || PopupShown())
        return;
    StoreEdit();
    m_leaving = true;
    if (Count() < 1) {
        Close(RESULT_VIEW_BACK);
        return;
    }
    ::SipShowIM(SIPF_OFF);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    m_yesNo.SetUp(m_language, Count() == 1 ? kRetryOnePage : kRetryPages, m_popupBackground);
    ::SetWindowPos(m_yesNo.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    EnableSoftKeys(false);
}

void COcrViewDialog::OnYesNoDone(bool yes)
{
    ::ShowWindow(m_yesNo.m_hWnd, SW_HIDE);
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    EnableSoftKeys(true);
    if (!yes || SaveAllPages()) {
        Close(RESULT_VIEW_BACK);
        return;
    }
    // Nothing lost: the pages not written stay, and the user is told.
    ShowInfo(CInfoPopup::KIND_SAVE_FAILED, Notice::RETRY_FAILED);
}

void COcrViewDialog::OnSend()
{
    if (Blocked() || PopupShown() || Count() < 1)
        return;
    StoreEdit();
    const std::wstring& body = m_pages[static_cast<size_t>(m_current - 1)].text;
    MAILCOMPOSEMESSAGE message{};
    message.cbSize = sizeof message;
    message.dwFlags = MCMF_SENDNOW;
    message.pszBody = body.c_str();
    message.pszAccount = L"SMS";
    message.pszMsgClass = L"IPM.MMS";
    ::SipShowIM(SIPF_OFF);
    HRESULT hr = MailComposeMessage(&message);
    if (FAILED(hr)) {
        // The view and its pages stay for another try.
        plat::DebugLine(L"message not sent (0x%08X)", static_cast<unsigned>(hr));
        return;
    }
    m_leaving = true;
    if (m_smsSent)
        *m_smsSent = 1;
    Close(RESULT_VIEW_SENT);
}

void COcrViewDialog::OnAction()
{
    ::SetFocus(m_bar.m_hWnd);
    InvalidateRect(m_hWnd, nullptr, FALSE);
    ::SipShowIM(SIPF_OFF);
}

void COcrViewDialog::OnExpandView(bool galleryFirst)
{
    if (Blocked() || PopupShown() || Count() < 1)
        return;
    Touch();
    ::ShowWindow(m_left.m_hWnd, SW_HIDE);
    ::ShowWindow(m_right.m_hWnd, SW_HIDE);
    ::SipShowIM(SIPF_OFF);
    ::SetFocus(m_bar.m_hWnd);
    StoreEdit();
    auto zoomView = [this] {
        if (m_expandRunner)
            return m_expandRunner();
        ExpandViewDialog zoom;
        zoom.SetMode(EXPAND_MODE_RESULTS);
        zoom.SetInactivity(m_inactivity);
        return zoom.DoModal(m_hWnd);
    };
    auto gallery = [this] {
        if (m_galleryRunner)
            return m_galleryRunner();
        ThumbNailDialog thumbnails;
        ThumbNailInput input;
        input.inactivity = m_inactivity;
        thumbnails.SetInput(input);
        thumbnails.SetResource(m_language);
        thumbnails.SetResultsPresent();
        return thumbnails.DoModal(m_hWnd);
    };
    // The zoom view's Thumbnail opens the gallery, the gallery's Expand the zoom view.
    bool inGallery = galleryFirst;
    INT_PTR answer = inGallery ? gallery() : zoomView();
    while (answer == (inGallery ? GALLERY_DONE : EXPAND_VIEW_OTHER)) {
        inGallery = !inGallery;
        answer = inGallery ? gallery() : zoomView();
    }
    if (answer == EXPAND_VIEW_EXIT || answer == GALLERY_EXIT) {
        Close(RESULT_VIEW_EXIT);
        return;
    }
    // Back on the page of the picture the zoom view ended on, found by name.
    std::wstring name = LumImageItemList::GetInstance()->GetCurrentItem().GetName();
    for (int i = 0; i < Count(); ++i)
        if (m_pages[static_cast<size_t>(i)].name == name)
            m_current = i + 1;
    LoadPage();
    UpdateLayout();
}

void COcrViewDialog::Close(INT_PTR result) { PostMessage(WM_COMMAND, CMD_OCR_CLOSE, static_cast<LPARAM>(result)); }

void COcrViewDialog::OnKeyDown(WPARAM key)
{
    Touch();
    if (PopupShown() && key != VK_F4)
        return;
    auto stroke = [&](int from, int to) {
        HWND edit = m_edit.m_hWnd;
        ::SendMessageW(edit, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(0, from));
        ::SendMessageW(edit, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(0, to));
        ::SendMessageW(edit, WM_LBUTTONUP, 0, MAKELPARAM(0, to));
    };
    switch (key) {
    case VK_LEFT:
        if (Count() > 1)
            OnArrow(-1);
        break;
    case VK_RIGHT:
        if (Count() > 1)
            OnArrow(1);
        break;
    case VK_UP:
        if (!Blocked())
            stroke(kStrokeMiddle, kStrokeBottom);
        break;
    case VK_DOWN:
        if (!Blocked())
            stroke(kStrokeMiddle, kStrokeTop);
        break;
    case VK_F4: Close(RESULT_VIEW_EXIT); return;
    case VK_F3:
    case kActionKey:
    case kSideKey: OnAction(); return;
    default: return;
    }
    ::SetFocus(m_bar.m_hWnd);
}

void COcrViewDialog::OnCommand(WORD id, LPARAM lParam)
{
    switch (id) {
    case CMD_OCR_PREV_PAGE: OnArrow(-1); break;
    case CMD_OCR_NEXT_PAGE: OnArrow(1); break;
    case CMD_OCR_SAVE: OnSave(); break;
    case CMD_OCR_SAVE_ALL: OnSaveAll(); break;
    case CMD_OCR_SEND: OnSend(); break;
    case CMD_OCR_RETRY: OnRetry(); break;
    case CMD_OCR_EXIT: Close(RESULT_VIEW_EXIT); break;
    case CMD_OCR_ACTION: OnAction(); break;
    case CMD_YESNO_DONE: OnYesNoDone(lParam == 1); break;
    case CMD_OCR_EXPAND: OnExpandView(); break;
    case CMD_OCR_BROWSER: OnExpandView(true); break;
    case CMD_OCR_CLOSE: {
        KillTimer(TM_POPUP_CLOSE);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        m_pages.clear();
        DestroyMenuBarMenu(m_menuBar);
        skin::Free(m_popupBackground);
        CLayoutManager::PumpKeyMessages(FALSE, TRUE);
        CLayoutManager::PumpMouseMessages(FALSE, TRUE);
        m_endResult = static_cast<INT_PTR>(lParam);
        EndDialog(m_endResult);
        break;
    }
    default: break;
    }
}

BOOL COcrViewDialog::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_INITDIALOG: result = OnInitDialog(); return TRUE;
    case WM_POPUP_PEN_UP:
    case WM_KEYUP: Touch(); return TRUE;
    case WM_WINDOWPOSCHANGED:
    case WM_SETTINGCHANGE: OnLayoutChange(); return FALSE;
    case WM_ERASEBKGND: result = 1; return TRUE;
    case WM_VSCROLL: m_edit.OnBarScroll(LOWORD(wParam), static_cast<SHORT>(HIWORD(wParam))); return TRUE;
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
    case WM_COMMAND:
        Touch();
        OnCommand(LOWORD(wParam), lParam);
        return TRUE;
    case WM_ACTIVATE: ::SipShowIM(SIPF_OFF); return FALSE;
    default: return FALSE;
    }
}

struct CLumResultOCRView::Impl {
    COcrViewDialog dialog;
};

CLumResultOCRView::CLumResultOCRView() : impl_(std::make_unique<Impl>()) {}
CLumResultOCRView::~CLumResultOCRView() = default;

void CLumResultOCRView::SetData(const WCHAR* const* texts, int count, LPCWSTR folder, const WCHAR* const* names,
                                HINSTANCE languageInstance, int* inactivity, int* smsSent, HWND fullScreenWindow)
{
    impl_->dialog.SetData(texts, count, folder, names, languageInstance, inactivity, smsSent, fullScreenWindow);
}

INT_PTR CLumResultOCRView::DoModal(HWND parent) { return impl_->dialog.DoModal(parent); }
