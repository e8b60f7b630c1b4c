// The gallery dialog: opening, states and their menu bars, the drop-downs,
// notices, deleting, keys and painting. The run is in gallery_run.cpp.
#include "gallery_dialog.h"

#include <mutex>

#include "debug_print.h"
#include "dialog_results.h"
#include "font_manager.h"
#include "haptic_control.h"
#include "layout_manager.h"
#include "result_controls.h"
#include "skin_draw.h"

namespace {

constexpr WPARAM kActionKey = 134;
constexpr UINT kDropDownArea = 30023;
constexpr UINT kAreaImage = 1368, kClosedFace = 1370, kOpenFace = 1371, kRowNormal = 1381, kRowSelected = 1385;
constexpr UINT kAllString = 213, kCardsString = 214, kDocumentsString = 215, kDeleteAllString = 230;
constexpr int kMenuKey = 30057;
constexpr UINT kBrowseMenu = 30056;

void RegisterGalleryResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterStaticDialog(IDD_GALLERY, L"Gallery",
                             {IDC_GALLERY_GRID, IDC_GALLERY_BAR, IDC_GALLERY_FOLDERS, IDC_GALLERY_KINDS,
                              IDC_GALLERY_INDICATOR, IDC_GALLERY_NOTICE, IDC_GALLERY_YESNO});
        plat::RegisterMenuTemplate({kBrowseMenu,
                                    {{CMD_GALLERY_RECOGNIZE_MENU, L"Recognize"},
                                     {CMD_GALLERY_DELETE_MODE, L"Delete Mode"},
                                     {CMD_GALLERY_EXIT, L"Exit"}}});
        plat::RegisterMenuBarTemplate(
            {IDM_GALLERY_CHOOSE, {{CMD_GALLERY_THUMBNAIL, L"Thumbnail"}, {CMD_GALLERY_RECOGNIZE, L"Recognize"}}});
        plat::RegisterMenuBarTemplate(
            {IDM_GALLERY_DELETE, {{CMD_GALLERY_DELETE_ALL, L"Delete All"}, {CMD_GALLERY_RECOGNIZE, L"Done"}}});
        plat::RegisterMenuBarTemplate(
            {IDM_GALLERY_BROWSE,
             {{CMD_GALLERY_CAPTURE, L"Capture"}, {kMenuKey, L"Menu", TBSTATE_ENABLED, TBSTYLE_DROPDOWN, kBrowseMenu}}});
        plat::RegisterMenuBarTemplate(
            {IDM_GALLERY_RESULTS, {{CMD_GALLERY_EXPAND, L"Expand"}, {CMD_GALLERY_RESULT, L"Result"}}});
    });
}

void Move(HWND hwnd, const RECT& r, UINT flags = 0)
{
    ::SetWindowPos(hwnd, HWND_TOP, r.left, r.top, r.right - r.left, r.bottom - r.top, flags | SWP_NOACTIVATE);
}

UINT MenuBarOf(int state)
{
    switch (state) {
    case GALLERY_CHOOSE: return IDM_GALLERY_CHOOSE;
    case GALLERY_DELETE: return IDM_GALLERY_DELETE;
    case GALLERY_RESULTS: return IDM_GALLERY_RESULTS;
    default: return IDM_GALLERY_BROWSE;
    }
}

}  // namespace

CGalleryDialog::CGalleryDialog() : CDialogImpl(IDD_GALLERY)
{
    RegisterGalleryResources();
    CInfoPopup::ResetOrientation(CInfoPopup::VARIANT_B_GALLERY);
    CYesNoPopup::ResetOrientation(CYesNoPopup::VARIANT_GALLERY);
    m_stopMessage = ::RegisterWindowMessageW(kGalleryStopMessage);
}

CGalleryDialog::~CGalleryDialog()
{
    // No thread is killed: the worker is told to stop and joined.
    m_closing = true;
    JoinWorker();
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    skin::Free(m_popupBackground);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Velmora\\Keypad", L"LumOCRRecognizing", 0);
}

bool CGalleryDialog::NoticeShown() const { return m_info.m_hWnd && ::IsWindowVisible(m_info.m_hWnd); }
bool CGalleryDialog::YesNoShown() const { return m_yesNo.m_hWnd && ::IsWindowVisible(m_yesNo.m_hWnd); }

void CGalleryDialog::Touch()
{
    if (m_in.inactivity)
        *m_in.inactivity = kInactivityReset;
}

bool CGalleryDialog::Guarded() const { return CLayoutManager::GetInstance()->IsBusy() || YesNoShown(); }

bool CGalleryDialog::OnlyParentVisible() const
{
    LumImageItemList* model = LumImageItemList::GetInstance();
    return model->GetVisibleCount() == 1 && model->GetItemAt(0).GetType() == ImageFileItem::TYPE_NONE;
}

void CGalleryDialog::End(INT_PTR code)
{
    m_endResult = code;
    EndDialog(code);
}

// ---- opening and layout -------------------------------------------------------

LRESULT CGalleryDialog::OnInitDialog()
{
    CLayoutManager* layout = CLayoutManager::GetInstance();
    layout->SetBusy(FALSE);
    m_grid.Attach(GetDlgItem(IDC_GALLERY_GRID));
    m_grid.SetInactivity(m_in.inactivity);
    m_grid.SetEndGallery([this](INT_PTR code) {
        if (code == GALLERY_EXIT && m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        End(code);
    });
    m_bar.SubclassWindow(GetDlgItem(IDC_GALLERY_BAR));
    m_folders.Attach(GetDlgItem(IDC_GALLERY_FOLDERS));
    m_kinds.Attach(GetDlgItem(IDC_GALLERY_KINDS));
    for (CDropDownList* d : {&m_folders, &m_kinds}) {
        const UINT id = static_cast<UINT>(::GetDlgCtrlID(d->m_hWnd));
        POINT at{}, size{};
        layout->GetPoint3(id, &at);
        layout->GetPoint4(id, &size);
        d->CreateList(m_hWnd, at.x, at.y, size.x, size.y);
    }
    m_indicator.SubclassWindow(GetDlgItem(IDC_GALLERY_INDICATOR));
    m_info.SubclassWindow(GetDlgItem(IDC_GALLERY_NOTICE));
    m_yesNo.SubclassWindow(GetDlgItem(IDC_GALLERY_YESNO));
    for (HWND hidden : {m_indicator.m_hWnd, m_info.m_hWnd, m_yesNo.m_hWnd})
        ::ShowWindow(hidden, SW_HIDE);
    g_RecognitionProgress.window = m_indicator.m_hWnd;

    m_grid.SetListState(m_openingState);
    SetMenuBar(MenuBarOf(m_openingState));
    EnableSoftKeys(true);
    m_grid.AttachScrollBar(&m_bar);
    LumImageItemList* model = LumImageItemList::GetInstance();
    m_grid.SetFilter(model->GetFilterMode());
    m_grid.Load(model, true);
    if (model->FindCurrent() < 0)
        model->SetCurrent(0);
    EnableRecognizeMenu();
    FillFolders();
    FillKinds();
    Layout();
    if (m_in.shellWindow)
        SHFullScreen(m_in.shellWindow, SHFS_SHOWTASKBAR);
    ::SetFocus(m_bar.m_hWnd);
    return FALSE;
}

void CGalleryDialog::Layout()
{
    CLayoutManager* layout = CLayoutManager::GetInstance();
    POINT origin{0, 26}, size{240, 348};
    layout->GetPoint1(IDD_GALLERY, &origin);
    layout->GetPoint2(IDD_GALLERY, &size);
    ::SetWindowPos(m_hWnd, nullptr, origin.x, origin.y, size.x, size.y, SWP_NOZORDER | SWP_NOACTIVATE);
    Move(m_grid.m_hWnd, LayoutPlace(IDC_GALLERY_GRID), SWP_SHOWWINDOW);
    ::ShowWindow(m_bar.m_hWnd, SW_SHOW);
    m_grid.Relayout();
    m_grid.PlaceScrollBar();
    const bool showLists = m_grid.GetListState() != GALLERY_RESULTS;
    for (CDropDownList* d : {&m_folders, &m_kinds}) {
        const UINT id = static_cast<UINT>(::GetDlgCtrlID(d->m_hWnd));
        Move(d->m_hWnd, LayoutPlace(id), showLists ? SWP_SHOWWINDOW : SWP_HIDEWINDOW);
        d->SetFaces(layout->RemapControlId(kClosedFace), layout->RemapControlId(kClosedFace),
                    layout->RemapControlId(kOpenFace));
        d->SetRowImages(layout->RemapControlId(kRowNormal), layout->RemapControlId(kRowSelected));
        POINT at{}, listSize{};
        layout->GetPoint3(id, &at);
        layout->GetPoint4(id, &listSize);
        ::SetWindowPos(d->ListWindow(), HWND_TOP, at.x, at.y, listSize.x, listSize.y, SWP_NOACTIVATE);
    }
    Move(m_indicator.m_hWnd, LayoutPlace(IDC_GALLERY_INDICATOR));
    RECT popup = NoticeRect(m_hWnd);
    for (HWND p : {m_info.m_hWnd, m_yesNo.m_hWnd})
        Move(p, popup);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CGalleryDialog::SetMenuBar(UINT id)
{
    m_menuBar = ReplaceMenuBar(m_hWnd, m_menuBar, id);
    m_menuBarId = id;
}

void CGalleryDialog::SetState(int state)
{
    m_grid.SetListState(state);
    SetMenuBar(MenuBarOf(state));
    EnableRecognizeMenu();
}

void CGalleryDialog::EnableSoftKeys(bool enable) { ::EnableSoftKeys(m_menuBar, enable); }

void CGalleryDialog::EnableCommand(WORD id, bool enable)
{
    if (!m_menuBar)
        return;
    TBBUTTONINFOW info{};
    info.cbSize = sizeof info;
    info.dwMask = TBIF_STATE;
    info.fsState = enable ? TBSTATE_ENABLED : TBSTATE_INDETERMINATE;
    ::SendMessageW(m_menuBar, TB_SETBUTTONINFOW, id, reinterpret_cast<LPARAM>(&info));
}

void CGalleryDialog::EnableRecognizeMenu()
{
    const bool kind = m_grid.GetFilter() == LumImageItemList::FILTER_CARDS ||
                      m_grid.GetFilter() == LumImageItemList::FILTER_DOCUMENTS;
    if (m_menuBarId == IDM_GALLERY_CHOOSE)
        EnableCommand(CMD_GALLERY_RECOGNIZE, kind);
    if (m_menuBarId != IDM_GALLERY_BROWSE || !m_menuBar)
        return;
    auto menu = reinterpret_cast<HMENU>(::SendMessageW(m_menuBar, SHCMBM_GETMENU, 0, 0));
    if (menu)
        ::EnableMenuItem(menu, CMD_GALLERY_RECOGNIZE_MENU, kind ? MF_ENABLED : MF_GRAYED);
}

// ---- drop-downs -----------------------------------------------------------------

void CGalleryDialog::FillFolders()
{
    m_folders.DeleteAll();
    std::wstring path = LumImageItemList::GetInstance()->GetFolderPath();
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find(L'\\', start);
        if (end == std::wstring::npos)
            end = path.size();
        if (end > start)
            m_folders.AddRow(path.substr(start, end - start));
        start = end + 1;
    }
    m_appliedFolder = m_folders.GetRowCount() - 1;
    // The caption names the folder shown; no row is chosen yet.
    m_folders.List().m_caption = m_appliedFolder >= 0 ? m_folders.GetRowText(m_appliedFolder) : std::wstring();
    ::InvalidateRect(m_folders.m_hWnd, nullptr, FALSE);
}

void CGalleryDialog::FillKinds()
{
    m_kinds.DeleteAll();
    CLayoutManager* layout = CLayoutManager::GetInstance();
    for (UINT id : {kAllString, kCardsString, kDocumentsString})
        m_kinds.AddRow(layout->GetString(id));
    m_kinds.SetSelection(m_grid.GetFilter());
}

void CGalleryDialog::CloseDropDowns()
{
    for (CDropDownList* d : {&m_folders, &m_kinds})
        if (d->IsOpen())
            ::SendMessageW(d->m_hWnd, WM_DROPDOWN_CLOSE, 0, 0);
}

void CGalleryDialog::OnDropDownClosed(HWND button)
{
    RECT area{};
    if (CLayoutManager::GetInstance()->GetRect(kDropDownArea, &area))
        ::InvalidateRect(m_hWnd, &area, FALSE);
    LumImageItemList* model = LumImageItemList::GetInstance();
    if (button == m_kinds.m_hWnd) {
        const int previous = m_grid.GetFilter();
        CLayoutManager* layout = CLayoutManager::GetInstance();
        const std::wstring chosen = m_kinds.Caption();
        int filter = LumImageItemList::FILTER_DOCUMENTS;
        if (chosen == layout->GetString(kAllString))
            filter = LumImageItemList::FILTER_ALL;
        else if (chosen == layout->GetString(kCardsString))
            filter = LumImageItemList::FILTER_CARDS;
        if (filter == previous)
            return;
        const ImageFileItem current = model->GetCurrentItem();
        m_grid.SetFilter(filter);
        m_grid.Load(model, false);
        const bool otherKind = current.GetType() != ImageFileItem::TYPE_NONE && !current.PassesFilter(filter);
        if ((previous != LumImageItemList::FILTER_ALL && filter != LumImageItemList::FILTER_ALL) ||
            (previous == LumImageItemList::FILTER_ALL && otherKind) || m_grid.VisibleCurrent() < 0) {
            model->SetCurrent(-1);
            model->GetItemAt(0).SetCurrent(TRUE);
        } else {
            m_grid.Load(model, true);
        }
        EnableRecognizeMenu();
        ::InvalidateRect(m_bar.m_hWnd, nullptr, FALSE);
        ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
        return;
    }
    if (button != m_folders.m_hWnd)
        return;
    const int row = m_folders.GetSelection();
    if (row < 0 || row == m_appliedFolder)
        return;
    std::wstring path;
    for (int i = 0; i <= row; ++i)
        path += (i ? L"\\" : L"") + m_folders.GetRowText(i);
    if (path.empty() || path.front() != L'\\')
        path.insert(path.begin(), L'\\');
    model->Rescan(path.c_str());
    m_grid.Load(model, false);
    m_grid.PlaceScrollBar();
    FillFolders();
}

void CGalleryDialog::ChooseKind()
{
    SetState(GALLERY_CHOOSE);
    CLayoutManager* layout = CLayoutManager::GetInstance();
    const std::wstring chosen = m_kinds.Caption();
    if (chosen == layout->GetString(kCardsString))
        SendMessage(WM_COMMAND, CMD_GALLERY_CARDS, 0);
    else if (chosen == layout->GetString(kDocumentsString))
        SendMessage(WM_COMMAND, CMD_GALLERY_DOCUMENTS, 0);
    CloseDropDowns();
    RECT area{};
    if (layout->GetRect(kDropDownArea, &area))
        ::InvalidateRect(m_hWnd, &area, FALSE);
}

// ---- notices, recognition kind, deleting -------------------------------------

void CGalleryDialog::ShowNotice(int kind, UINT ms)
{
    m_notice = kind;
    EnableSoftKeys(false);
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    if (kind == NOTICE_SOME_FAILED) {
        // Shown on the indicator: how many of the run's pictures were kept.
        ::SetWindowPos(m_indicator.m_hWnd, HWND_TOP, 0, 0, 0, 0,
                       SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    } else {
        skin::Free(m_popupBackground);
        m_popupBackground = CaptureUnder(m_hWnd, NoticeRect(m_hWnd));
        m_info.SetUp(m_resource, kind, m_popupBackground, m_hWnd);
        ::SetWindowPos(m_info.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
        ::InvalidateRect(m_info.m_hWnd, nullptr, FALSE);
    }
    SetTimer(TM_POPUP_CLOSE, ms);
}

void CGalleryDialog::OnPopupDone()
{
    KillTimer(TM_POPUP_CLOSE);
    const int kind = m_notice;
    m_notice = -1;
    switch (kind) {
    case NOTICE_DELETE_MODE_REFUSED:
        ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
        if (m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        break;
    case NOTICE_CARDS_REFUSED:
    case NOTICE_DOCUMENTS_REFUSED:
        SetState(GALLERY_BROWSE);
        ::InvalidateRect(m_kinds.m_hWnd, nullptr, FALSE);
        ::InvalidateRect(m_grid.m_hWnd, nullptr, FALSE);
        if (m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        break;
    case NOTICE_SOME_FAILED:
        ::ShowWindow(m_indicator.m_hWnd, SW_HIDE);
        CLayoutManager::GetInstance()->SetBusy(FALSE);
        End(GALLERY_DONE);
        return;
    default:
        SetState(GALLERY_BROWSE);
        break;
    }
    ::ShowWindow(m_info.m_hWnd, SW_HIDE);
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    EnableSoftKeys(true);
    EnableRecognizeMenu();
}

void CGalleryDialog::RecognitionKind(bool cards)
{
    if (OnlyParentVisible()) {
        ShowNotice(cards ? NOTICE_CARDS_REFUSED : NOTICE_DOCUMENTS_REFUSED);
        return;
    }
    if (m_in.recognitionMode)
        *m_in.recognitionMode = cards ? 1 : 0;
    if (m_in.resultKind)
        *m_in.resultKind = cards ? GALLERY_NEXT_CARDS : GALLERY_NEXT_DOCUMENTS;
    SendMessage(WM_COMMAND, CMD_GALLERY_RECOGNIZE, 0);
}

void CGalleryDialog::DeleteMode()
{
    CloseDropDowns();
    if (OnlyParentVisible()) {
        ShowNotice(NOTICE_DELETE_MODE_REFUSED);
        return;
    }
    SetState(GALLERY_DELETE);
    Layout();
}

void CGalleryDialog::LeaveDeleteMode()
{
    if (m_in.resultKind)
        *m_in.resultKind = GALLERY_NEXT_PREVIEW;
    SetState(GALLERY_BROWSE);
    m_grid.Load(LumImageItemList::GetInstance(), true);
    Layout();
}

void CGalleryDialog::DeleteAll()
{
    LumImageItemList* model = LumImageItemList::GetInstance();
    if (std::wstring(model->GetFolderPath()) != L"\\\\" && OnlyParentVisible()) {
        ShowNotice(NOTICE_DELETE_ALL_REFUSED);
        return;
    }
    int pictures = 0;
    for (int i = 0; i < model->GetVisibleCount(); ++i)
        pictures += model->GetItemAt(i).GetType() != ImageFileItem::TYPE_NONE;
    CloseDropDowns();
    // The question names how many go: every picture shown, marked or not.
    m_question = CLayoutManager::GetInstance()->GetString(kDeleteAllString);
    if (size_t at = m_question.find(L"%d"); at != std::wstring::npos)
        m_question.replace(at, 2, std::to_wstring(pictures));
    skin::Free(m_popupBackground);
    m_popupBackground = CaptureUnder(m_hWnd, NoticeRect(m_hWnd));
    m_yesNo.SetUp(m_resource, kDeleteAllString, m_popupBackground);
    m_yesNo.SetQuestionText(m_question);
    ::SetWindowPos(m_yesNo.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW | SWP_NOACTIVATE);
    EnableCommand(CMD_GALLERY_DELETE_ALL, false);
    EnableCommand(CMD_GALLERY_RECOGNIZE, false);
}

void CGalleryDialog::OnYesNo(bool yes)
{
    EnableCommand(CMD_GALLERY_DELETE_ALL, true);
    EnableCommand(CMD_GALLERY_RECOGNIZE, true);
    if (!yes)
        return;
    LumImageItemList* model = LumImageItemList::GetInstance();
    model->RemoveVisible(TRUE);
    if (model->FindCurrent() < 0)
        model->SetCurrent(0);
    SetState(GALLERY_BROWSE);
    m_grid.Load(model, true);
    Layout();
}

// ---- commands and keys ----------------------------------------------------------

void CGalleryDialog::OnCommand(WORD id, LPARAM lParam)
{
    Touch();
    const int state = m_grid.GetListState();
    switch (id) {
    case IDOK:
        if (Guarded())
            return;
        if (m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        End(GALLERY_DONE);
        return;
    case IDCANCEL:
        DebugPrint(L"I'm called !!!\n");
        return;
    case IDC_GALLERY_FOLDERS:
    case IDC_GALLERY_KINDS: {
        if (Guarded())
            return;
        ::SipShowIM(SIPF_OFF);
        CDropDownList& other = id == IDC_GALLERY_FOLDERS ? m_kinds : m_folders;
        if (other.IsOpen()) {
            ::SendMessageW(other.m_hWnd, WM_DROPDOWN_CLOSE, 0, 0);
            ::InvalidateRect(other.ListWindow(), nullptr, FALSE);
        }
        return;
    }
    case CMD_GALLERY_DELETE_ALL:
        if (!Guarded() && state != GALLERY_RESULTS)
            DeleteAll();
        return;
    case CMD_GALLERY_RECOGNIZE:
        if (state == GALLERY_CHOOSE && !Guarded())
            StartRun();
        else if (state == GALLERY_DELETE)
            LeaveDeleteMode();
        else if (state == GALLERY_RESULTS)
            End(GALLERY_DONE);
        return;
    case CMD_GALLERY_DELETE_MODE:
        if (!Guarded() && state != GALLERY_RESULTS)
            DeleteMode();
        return;
    case CMD_GALLERY_EXIT:
        if (Guarded())
            return;
        if (m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        if (CPageIndicator* owner = g_RecognitionProgress.owner.load())
            owner->Stop();
        End(GALLERY_EXIT);
        return;
    case CMD_GALLERY_CAPTURE:
        if (Guarded())
            return;
        if (m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        CLayoutManager::PumpKeyMessages(FALSE, TRUE);
        CLayoutManager::PumpMouseMessages(FALSE, TRUE);
        End(GALLERY_DONE);
        return;
    case CMD_GALLERY_CARDS:
    case CMD_GALLERY_DOCUMENTS:
        if (!Guarded() && state != GALLERY_RESULTS)
            RecognitionKind(id == CMD_GALLERY_CARDS);
        return;
    case CMD_GALLERY_THUMBNAIL:
        if (Guarded() || state != GALLERY_CHOOSE)
            return;
        if (m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        SetState(GALLERY_BROWSE);
        m_grid.Load(LumImageItemList::GetInstance(), true);
        Layout();
        return;
    case CMD_GALLERY_EXPAND:
        if (!Guarded() && state == GALLERY_RESULTS)
            End(GALLERY_DONE);
        return;
    case CMD_GALLERY_RESULT:
        if (Guarded() || state != GALLERY_RESULTS)
            return;
        DebugPrint(L"ThumbnailResult1\n");
        DebugPrint(L"ThumbnailResult2\n");
        DebugPrint(L"ThumbnailResult3\n");
        End(GALLERY_SHOW_RESULTS);
        return;
    case CMD_GALLERY_RECOGNIZE_MENU:
        if (state != GALLERY_RESULTS)
            ChooseKind();
        return;
    case CMD_YESNO_DONE:
        OnYesNo(lParam == 1);
        return;
    default:
        return;
    }
}

void CGalleryDialog::OnKeyDown(WPARAM key)
{
    Touch();
    if (key == VK_F4) {
        if (m_in.resultKind)
            *m_in.resultKind = GALLERY_NEXT_PREVIEW;
        End(GALLERY_EXIT);
        return;
    }
    if ((key < VK_LEFT || key > VK_DOWN) && key != kActionKey)
        return;
    if (Guarded())
        return;
    for (CDropDownList* d : {&m_folders, &m_kinds})
        if (d->IsOpen()) {
            ::SendMessageW(d->ListWindow(), WM_KEYDOWN, key, 0);
            return;
        }
    ::SendMessageW(m_grid.m_hWnd, WM_KEYDOWN, key, 0);
}

void CGalleryDialog::OnPen(UINT message, LPARAM lParam)
{
    Touch();
    if (Guarded() || m_grid.GetListState() == GALLERY_RESULTS)
        return;
    // Pens reach the dialog only outside its controls: an open list closes.
    if (message != WM_LBUTTONUP)
        CloseDropDowns();
    (void)lParam;
}

void CGalleryDialog::OnPaint()
{
    if (!m_painted) {
        m_painted = true;
        CLayoutManager::GetInstance()->SetSettingClosed(FALSE);
        CLayoutManager::PumpMouseMessages(FALSE, TRUE);
        CLayoutManager::PumpKeyMessages(FALSE, TRUE);
    }
    skin::PaintWindow(m_hWnd, ::GetSysColor(COLOR_STATIC), [this](HDC dc) {
        RECT area{};
        if (CLayoutManager::GetInstance()->GetRect(kDropDownArea, &area)) {
            HBITMAP image = skin::Load(CLayoutManager::GetInstance()->RemapControlId(kAreaImage));
            skin::Draw(dc, image, area, false);
            skin::Free(image);
        }
    });
    InvalidateChildren(m_hWnd);
}

void CGalleryDialog::OnDestroy()
{
    DebugPrint(L"[LumOCR] ThumbNailDialog is destroyed\n");
    KillTimer(TM_POPUP_CLOSE);
    skin::Free(m_popupBackground);
    m_grid.Cache().Clear();
    DestroyMenuBarMenu(m_menuBar);
    if (g_RecognitionProgress.window.load() == m_indicator.m_hWnd)
        g_RecognitionProgress.window = nullptr;
}

BOOL CGalleryDialog::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    if (message == m_stopMessage && m_stopMessage) {
        Touch();
        if (CPageIndicator* owner = g_RecognitionProgress.owner.load())
            owner->Stop();
        return TRUE;
    }
    switch (message) {
    case WM_INITDIALOG: result = OnInitDialog(); return TRUE;
    case WM_DROPDOWN_CLOSED: OnDropDownClosed(reinterpret_cast<HWND>(lParam)); return TRUE;
    case WM_GALLERY_FOLDER_ENTERED:
        FillFolders();
        CloseDropDowns();
        return TRUE;
    case WM_GALLERY_GRID_TOUCHED:
        if (!CLayoutManager::GetInstance()->IsBusy() && !YesNoShown()) {
            CloseDropDowns();
            ::SetFocus(m_bar.m_hWnd);
        }
        return TRUE;
    case WM_INDICATOR_OWNER:
        // The indicator's farewell: 0 or 1, never a pointer to keep.
        g_RecognitionProgress.owner = nullptr;
        return TRUE;
    case WM_GALLERY_RESULTS:
        FinishRun(static_cast<RunOutcome>(wParam));
        return TRUE;
    case WM_GALLERY_MARK_LIMIT:
        ShowNotice(NOTICE_MARK_LIMIT);
        return TRUE;
    case WM_POPUP_PEN_UP: Touch(); return TRUE;
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP: OnPen(message, lParam); return TRUE;
    case WM_SETTINGCHANGE: Layout(); return FALSE;
    case WM_SETFOCUS: ::SetFocus(m_bar.m_hWnd); return TRUE;
    case WM_KEYDOWN: OnKeyDown(wParam); return TRUE;
    case WM_KEYUP: return TRUE;
    case WM_PAINT: OnPaint(); return TRUE;
    case WM_ERASEBKGND: result = 1; return TRUE;
    case WM_TIMER:
        if (wParam != TM_POPUP_CLOSE)
            return FALSE;
        KillTimer(TM_POPUP_CLOSE);
        SendMessage(WM_POPUP_DONE, 0, 0);
        return TRUE;
    case WM_POPUP_DONE: OnPopupDone(); return TRUE;
    case WM_CLOSE:
        if (CPageIndicator* owner = g_RecognitionProgress.owner.load())
            owner->Stop();
        if (m_grid.GetListState() == GALLERY_RESULTS)
            End(GALLERY_SHOW_RESULTS);
        return TRUE;
    case WM_DESTROY: OnDestroy(); return FALSE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDC_GALLERY_INDICATOR) {
            // A run's progress, the percent in the high word.
            Touch();
            m_indicator.m_nItemIndex = m_picture.load();
            m_indicator.m_nItemCount = m_pictures.load();
            m_indicator.SetProgress(HIWORD(wParam));
            return TRUE;
        }
        OnCommand(LOWORD(wParam), lParam);
        return TRUE;
    default: return FALSE;
    }
}

// ---- the main frame's face ------------------------------------------------------

struct ThumbNailDialog::Impl {
    CGalleryDialog dialog;
};

ThumbNailDialog::ThumbNailDialog() : impl_(std::make_unique<Impl>()) {}
ThumbNailDialog::~ThumbNailDialog() = default;
void ThumbNailDialog::SetInput(const ThumbNailInput& input) { impl_->dialog.SetInput(input); }
void ThumbNailDialog::SetExtraParam(std::int32_t value) { impl_->dialog.SetExtraParam(value); }
void ThumbNailDialog::SetResource(HINSTANCE languageInstance) { impl_->dialog.SetResource(languageInstance); }
void ThumbNailDialog::SetResultsPresent() { impl_->dialog.SetOpeningState(GALLERY_RESULTS); }
INT_PTR ThumbNailDialog::DoModal(HWND parent) { return impl_->dialog.DoModal(parent); }
