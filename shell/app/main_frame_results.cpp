// The main frame's hand-offs to the recognition run, the result views, the
// OCR settings dialog and the gallery, and the per-picture result store they
// share.
#include <cstdlib>
#include <cwchar>
#include <string>

#include "app_messages.h"
#include "camera_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "dialog_results.h"
#include "display.h"
#include "file_control.h"
#include "gui_screens.h"
#include "layout_manager.h"
#include "lum_image_item_list.h"
#include "lum_result_bcr_view.h"
#include "lum_result_ocr_view.h"
#include "main_frame.h"
#include "registry_key.h"
#include "setting_dialog.h"
#include "shot_control.h"
#include "system.h"
#include "thumbnail_dialog.h"

WCHAR g_szGalleryPath[MAX_PATH] = {};
std::atomic<ThumbNailDialog*> g_pThumbNailDialog{nullptr};

namespace {

constexpr const WCHAR* kSource = L".\\MainFrm.cpp";
constexpr DWORD kUprightOrientation = DMDO_270;
constexpr int kRecognitionStack = 65535;
constexpr int kRecognitionPriority = 3;

void LogView(int view)
{
    DebugPrint(L"[TRAVEK] CMainFrame::setThisView[%d]>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n", view);
}

HWND TaskBar() { return FindWindowW(L"HHTaskBar", nullptr); }

}  // namespace

// ---- recognition ------------------------------------------------------------

LRESULT CMainFrame::OnStartRecognition(UINT, WPARAM, LPARAM, BOOL&)
{
    ReloadAutoOff();
    CShotControl::GetInstance()->ReleaseShotsEx();
    CSinglePicBaseGUI* singlePicture = CSinglePicBaseGUI::GetInstance();
    singlePicture->m_bCancel = 0;
    m_bPreRecognition = 0;
    m_nResultCount = 0;  // a failed single picture must not show the last series' counter
    m_nSavedShotMode = m_options.singleMultiMode;

    CCommonControl* common = CCommonControl::GetInstance();
    DebugPrint(L"[LumOCR] PREVIEW LOCK : %d\n", common->m_bPreviewLock.load());
    common->FreePreviewBuffers();
    singlePicture->m_nResult = 0;

    // The handle is kept: the shutdown waits on it.
    if (m_hRecognitionThread)
        CloseHandle(m_hRecognitionThread);
    m_hRecognitionThread = CreateThread(nullptr, kRecognitionStack, &CSinglePicBaseGUI::RecognitionThread, nullptr, 0,
                                        &m_dwRecognitionThreadId);
    if (m_hRecognitionThread)
        SetThreadPriority(m_hRecognitionThread, kRecognitionPriority);
    return 0;
}

void CMainFrame::PrepareDialog(DWORD taskBarFlags)
{
    if (m_pApp)
        m_pApp->SaveNotifyOptions(FALSE);
    FillOutBlack();
    DEVMODEW mode{};
    if (CSystem::GetInstance()->GetDisplayOrientation(mode) != kUprightOrientation) {
        HoldRotationMutex(TRUE, 50);
        CSystem::GetInstance()->RotateScreen(mode, kUprightOrientation);
        HoldRotationMutex(FALSE, 0);
        DebugPrint(L"[LumOCR] Waiting Mutex handle close.......................\n");
    }
    m_bInputEnabled = 0;
    if (m_pApp)
        m_pApp->SaveActionMethod(TRUE);
    SHFullScreen(m_hWnd, taskBarFlags);
    if (HWND bar = TaskBar())
        ::ShowWindow(bar, SW_SHOW);
}

void CMainFrame::HideTaskBar()
{
    SHFullScreen(m_hWnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    if (HWND bar = TaskBar())
        ::ShowWindow(bar, SW_HIDE);
}

INT_PTR CMainFrame::RunResultView()
{
    const bool card = m_options.bcrOcrMode != 0;
    const int view = card ? VIEW_CARD_RESULT : VIEW_DOCUMENT_RESULT;
    LogView(view);
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    m_nView = view;
    m_bRecognitionFailed = 0;
    const int count = GetPictureCount();
    DebugPrint(L"\n[TRAVEK] GO RESULT START : %d -----END\n", count);

    // The views take the slots as tables; a slot's name marks it in use.
    ResultItem* items[kResultSlots] = {};
    ResultSubItem* subItems[kResultSlots] = {};
    const WCHAR* texts[kResultSlots] = {};
    const WCHAR* names[kResultSlots] = {};
    int directions[kResultSlots] = {};
    // The views read their first `count` entries: slots in use go first, in
    // order, so a gap in the store loses no picture.
    EnterCriticalSection(&m_cs);
    int used = 0;
    for (const ResultSlot& slot : m_slots) {
        if (!slot.pictureName)
            continue;
        items[used] = slot.items;
        subItems[used] = slot.subItems;
        texts[used] = slot.text;
        names[used] = slot.pictureName;
        directions[used] = slot.direction;
        ++used;
    }
    LeaveCriticalSection(&m_cs);

    HINSTANCE mui = CLayoutManager::GetInstance()->GetResource();
    if (card) {
        CLumResultBCRView resultView;
        resultView.SetData(items, subItems, count, m_szPictureFolder, names, mui, m_hWnd, &m_nInactivity, directions);
        return resultView.DoModal(::GetActiveWindow());
    }
    CLumResultOCRView resultView;
    DebugPrint(L"[TRAVEK] Result View SetData START<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");
    int smsSent = 0;
    resultView.SetData(texts, count, m_szPictureFolder, names, mui, &m_nInactivity, &smsSent, m_hWnd);
    DebugPrint(L"[TRAVEK] Result View SetData End DoModal START<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");
    INT_PTR result = resultView.DoModal(::GetActiveWindow());
    DebugPrint(L"[TRAVEK] Result View DoModal END<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");
    return result;
}

void CMainFrame::ReleaseResultStore(bool deletePictures)
{
    EnterCriticalSection(&m_cs);
    for (ResultSlot& slot : m_slots) {
        if (deletePictures && slot.pictureName) {
            std::wstring path = std::wstring(m_szPictureFolder) + slot.pictureName;
            DeleteFileW(path.c_str());
        }
    }
    LeaveCriticalSection(&m_cs);
    // Every slot: a gap in the names must not leave records behind.
    for (int i = 0; i < kResultSlots; ++i)
        FreeSlot(i);
    // The next series starts again at its first slot.
    m_nCurrentSlot = 0;
    m_nShotCount = 0;
    m_options.singleMultiMode = m_nSavedShotMode;
}

void CMainFrame::ReturnToPreview()
{
    CCommonControl::GetInstance()->ClearAutoShotRect();
    HideTaskBar();
    DEVMODEW mode{};
    CSystem::GetInstance()->GetDisplayOrientation(mode);
    if (m_pApp)
        m_pApp->SaveActionMethod(FALSE);
    m_bKeepPictures = 0;
    CSystem::GetInstance()->ValidateDisplayOrientation();
    CDisplay::GetInstance()->Init(m_hWnd);
    CPreviewCameraGUI* preview = CPreviewCameraGUI::GetInstance();
    preview->LoadResource();
    SetSurfaceDrawBlocked(0);
    preview->SetModeNotice(TRUE);
    ::SetTimer(m_hWnd, TM_MODE_NOTICE, 3000, nullptr);
    CDrawEvent::SendMessage(kSource, __LINE__);
    if (m_pApp)
        m_pApp->SaveNotifyOptions(TRUE);
    CCameraControl::GetInstance()->ResetPreview(1);
    m_bInputEnabled = 1;
}

LRESULT CMainFrame::OnResult(UINT, WPARAM, LPARAM, BOOL&)
{
    DebugPrint(L"OnResult\n");
    PrepareDialog(SHFS_SHOWTASKBAR | SHFS_SHOWSIPBUTTON);
    INT_PTR result = RunResultView();
    HideTaskBar();
    // A close during the view: the shutdown frees the store.
    if (m_bClosing)
        return 0;

    const bool deletePictures = m_bKeepPictures != 1 && m_options.enableAutoSave != 1 && GetPictureCount() > 0;
    ReleaseResultStore(deletePictures);

    switch (result) {
    case RESULT_VIEW_BACK:
        CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_REVIEW_SINGLE);
        ReturnToPreview();
        break;
    case RESULT_VIEW_SENT:
        EndApplication(kSource, 1655);
        break;
    case RESULT_VIEW_EXIT:
        HideTaskBar();
        FillOutBlack();
        EndApplication(kSource, 1672);
        break;
    default:
        break;
    }
    return 0;
}

// ---- OCR settings -----------------------------------------------------------

LRESULT CMainFrame::OnShowSettingView(UINT, WPARAM, LPARAM, BOOL&)
{
    PrepareDialog(SHFS_SHOWTASKBAR);
    LogView(VIEW_OCR_SETTINGS);
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    m_nView = VIEW_OCR_SETTINGS;
    INT_PTR result;
    {
        SettingDialog dialog;
        DebugPrint(L"[TRAVEK] Setting View SetData START<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");
        dialog.SetParams(m_hWnd, nullptr, m_hWnd, &m_nInactivity);
        DebugPrint(L"[TRAVEK] Setting View SetData END DoModal START<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");
        result = dialog.DoModal(::GetActiveWindow());
    }
    HideTaskBar();
    PumpKeyMessages(FALSE, TRUE);
    PumpMouseMessages(FALSE, TRUE);
    if (m_bClosing)
        return 0;
    DebugPrint(L"[TRAVEK] Setting View DoModal END<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");

    switch (result) {
    case SETTING_DIALOG_BACK: {
        // The dialog wrote the options; the frame's words follow them.
        CRegistryKey key;
        if (key.Create(HKEY_CURRENT_USER, kOcrOptionsKey)) {
            key.QueryDWORD(L"EnableAutoFocus", m_options.enableAutoFocus);
            key.QueryDWORD(L"SelectedLanguage", m_options.selectedLanguage);
            key.QueryDWORD(L"EnableAutoSave", m_options.enableAutoSave);
        }
        key.Close();
        CPreviewCameraGUI::GetInstance()->m_bSettingMenu = 0;
        ReturnToPreview();
        break;
    }
    case SETTING_DIALOG_END:
        EndApplication(kSource, 1742);
        break;
    case SETTING_DIALOG_EXIT:
        HideTaskBar();
        FillOutBlack();
        EndApplication(kSource, 1750);
        break;
    default:
        break;
    }
    return 0;
}

// ---- gallery ------------------------------------------------------------------

void CMainFrame::PrepareGalleryList()
{
    LumImageItemList* shared = LumImageItemList::GetInstance();
    if (!m_bFromResults) {
        std::wcsncpy(g_szGalleryPath, CFileControl::GetInstance()->GetStoragePath(), MAX_PATH - 1);
        g_szGalleryPath[MAX_PATH - 1] = 0;
        DebugPrint(L"[IMAGE PATH] : %ls\n", g_szGalleryPath);
        shared->Rescan(g_szGalleryPath);
        shared->SetFilterMode(m_options.bcrOcrMode == 1 ? LumImageItemList::FILTER_CARDS
                                                        : LumImageItemList::FILTER_DOCUMENTS);
        return;
    }
    // Back from a result view: the folder may have changed meanwhile. A new
    // item is marked only when its old one was, and stays current if it was.
    LumImageItemList fresh;
    fresh.Rescan(shared->GetFolderPath());
    fresh.SetFilterMode(shared->GetFilterMode());
    fresh.SetCurrent(-1);
    const int oldCount = shared->GetVisibleCount();
    for (int i = 0; i < fresh.GetVisibleCount(); ++i) {
        ImageFileItem& item = fresh.GetItemAt(i);
        for (int j = 0; j < oldCount; ++j) {
            ImageFileItem& old = shared->GetItemAt(j);
            if (!ImageFileItem::IsSameFile(item, old))
                continue;
            if (old.IsMarked())
                item.SetMarked(TRUE);
            if (old.IsCurrent())
                item.SetCurrent(TRUE);
        }
    }
    shared->setInput(fresh);
}

LRESULT CMainFrame::OnShowThumbnailView(UINT, WPARAM, LPARAM, BOOL&)
{
    PrepareDialog(SHFS_SHOWTASKBAR);
    LogView(VIEW_GALLERY);
    m_nView = VIEW_GALLERY;
    ::SetWindowPos(m_hWnd, HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    m_nSavedShotMode = m_options.singleMultiMode;
    m_nNextAction = 0;
    DebugPrint(L"[TRAVEK] ThumbNail View LumImageItemList::setInput START<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");
    PrepareGalleryList();
    LogView(VIEW_GALLERY);

    // The store as the gallery's tables; what its run leaves there is the
    // store's afterwards.
    WCHAR* texts[kResultSlots];
    ResultItem* items[kResultSlots];
    ResultSubItem* subItems[kResultSlots];
    WCHAR* names[kResultSlots];
    std::int32_t directions[kResultSlots];
    std::int32_t success[kResultSlots];
    std::int32_t states[kResultSlots];
    EnterCriticalSection(&m_cs);
    for (int i = 0; i < kResultSlots; ++i) {
        texts[i] = m_slots[i].text;
        items[i] = m_slots[i].items;
        subItems[i] = m_slots[i].subItems;
        names[i] = m_slots[i].pictureName;
        directions[i] = m_slots[i].direction;
        success[i] = m_slots[i].success;
        states[i] = m_slots[i].resultState;
    }
    LeaveCriticalSection(&m_cs);
    auto mode = static_cast<std::int32_t>(m_options.bcrOcrMode);

    INT_PTR result;
    {
        ThumbNailDialog dialog;
        ThumbNailInput input;
        input.resultKind = &m_nNextAction;
        input.singleResult = &m_bSingleResult;
        input.recognitionMode = &mode;
        input.pictureCount = &m_nGalleryLast;
        input.texts = texts;
        input.items = items;
        input.subItems = subItems;
        input.folder = m_szPictureFolder;
        input.names = names;
        input.language = static_cast<std::int32_t>(m_options.selectedLanguage);
        input.running = &m_bGalleryRunning;
        input.shellWindow = m_hWnd;
        input.inactivity = &m_nInactivity;
        input.directions = directions;
        input.runStarted = &m_bGalleryRunStarted;
        input.success = success;
        input.resultStates = states;
        dialog.SetInput(input);
        DebugPrint(L"[TRAVEK] ThumbNail View SetData END SetOrientation START<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");
        dialog.SetExtraParam(m_nGalleryExtra);
        dialog.SetResource(CLayoutManager::GetInstance()->GetResource());
        DebugPrint(L"[TRAVEK] ThumbNail View SetOrientation END DoModal START<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<<\n");
        g_pThumbNailDialog = &dialog;
        result = dialog.DoModal(::GetActiveWindow());
        HideTaskBar();
        g_pThumbNailDialog = nullptr;
    }
    EnterCriticalSection(&m_cs);
    for (int i = 0; i < kResultSlots; ++i) {
        m_slots[i].text = texts[i];
        m_slots[i].items = items[i];
        m_slots[i].subItems = subItems[i];
        m_slots[i].pictureName = names[i];
        m_slots[i].direction = directions[i];
        m_slots[i].success = success[i];
        m_slots[i].resultState = states[i];
    }
    LeaveCriticalSection(&m_cs);
    if (m_bClosing)
        return 0;

    DebugPrint(L"[TRAVEK] ThumbNail View DoModal END<<<<<<<<hResult[%d]<<<<<<(*nextAction)<[%d]<<<<<<<<<<<<\n",
               static_cast<int>(result), m_nNextAction);
    const int next = m_nNextAction;
    // End code 0 is "show results"; with no results chosen it ends the program.
    if (result == GALLERY_SHOW_RESULTS && next == GALLERY_NEXT_PREVIEW) {
        EndApplication(kSource, 1962);
        return 0;
    }
    if (result == GALLERY_EXIT) {
        HideTaskBar();
        FillOutBlack();
        EndApplication(kSource, 2044);
        return 0;
    }
    if (result != GALLERY_SHOW_RESULTS && result != GALLERY_DONE)
        return 0;
    if (next == GALLERY_NEXT_CARDS || next == GALLERY_NEXT_DOCUMENTS) {
        m_bFromResults = 1;
        m_options.bcrOcrMode = next == GALLERY_NEXT_CARDS ? 1 : 0;
        // Stored pictures the gallery recognised are never the frame's to delete.
        m_bKeepPictures = 1;
        ::SendMessageW(m_hWnd, WM_RECOGNITION_RESULT, 0, 0);
        return 0;
    }
    if (next != GALLERY_NEXT_PREVIEW)
        return 0;

    CPreviewCameraGUI::GetInstance()->m_bShotPending = 0;
    m_options.singleMultiMode = 1;
    m_nCurrentSlot = 0;
    m_nShotCount = 0;
    m_bRecognizing = 0;
    DebugPrint(L"[TRAVEK] GO PREVIEW START\n");
    if (m_bNoDrawing) {
        DebugPrint(L"[TRAVEK] GO PREVIEW STOPed \n");
        return 0;
    }
    m_bFromResults = 0;
    ReturnToPreview();
    return 0;
}
