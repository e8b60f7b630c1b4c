// The main frame's shutdown: the phases of WM_CLOSE in their order.
#include "main_frame.h"

#include <cstdlib>
#include <string>

#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "display.h"
#include "dshow_control.h"
#include "font_manager.h"
#include "gps_control.h"
#include "gui_screens.h"
#include "ImageFactory.h"
#include "image_file_list.h"
#include "lum_image_item_list.h"
#include "notification.h"
#include "player_control.h"
#include "registry_key.h"
#include "shot_control.h"
#include "sound_control.h"
#include "system.h"
#include "utility.h"

#include "main_frame_parts.h"

using namespace mainframe;

namespace {

// One phase of the shutdown: its name, where it ended and how long it took.
class ClosePhases {
public:
    ClosePhases() : start_(GetTickCount()) {}
    void End(LPCWSTR name, int line)
    {
        DWORD now = GetTickCount();
        DebugPrint(L"[LumOCRCLOSE] %ls[%d][%d]>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n", name, line,
                   static_cast<int>(now - start_));
        start_ = now;
    }

private:
    DWORD start_;
};

// Waits up to 3000 ms in 300 ms steps; messages sent from other threads are
// handled meanwhile, so a worker blocked in a request can finish.
template <class Busy>
void BoundedWait(Busy busy, LPCWSTR line)
{
    for (int waited = 0; busy() && waited < 3000;) {
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
        Sleep(300);
        waited += 300;
        DebugPrint(line, waited);
    }
}

void FillWindowBlack(HWND hwnd)
{
    if (HDC dc = ::GetDC(hwnd)) {
        RECT rect{0, 0, 400, 400};
        FillRect(dc, &rect, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
        ::ReleaseDC(hwnd, dc);
    }
}

}  // namespace

LRESULT CMainFrame::OnClose(UINT, WPARAM, LPARAM, BOOL& handled)
{
    // A second close (also one that arrives during the waits below), or one
    // before the window exists, is consumed: the display must not be
    // released twice, nor the window destroyed in the middle of the shutdown.
    if (!m_bWindowCreated || m_bClosing)
        return 0;
    const int view = m_nView;
    const bool cameraView = view == VIEW_PREVIEW || view == VIEW_SINGLE_PICTURE;
    if (cameraView)
        CCameraControl::GetInstance()->StopPreview();
    // The preview worker draws into the display's buffers: it ends first.
    CCommonControl::GetInstance()->StopWorker();
    CDisplay::DestroyInstance();
    DebugPrint(L"[TRAVEK] get first orientation [%d]<<<\n", static_cast<int>(m_nFirstOrientation));
    DebugPrint(L"VT[%d] MotionSensor[%d] Direction[%d]\n", m_bVideoCall.load(), static_cast<int>(m_nAutoOrientation),
               static_cast<int>(m_nFirstOrientation));
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose\n");
    ClosePhases phases;
    phases.End(L"START", __LINE__);

    m_bClosing = 1;
    ::BringWindowToTop(m_hWnd);
    auto busy = [] { return (CCameraControl::GetInstance()->GetState() & CAMERA_BUSY_BITS) != 0; };
    DebugPrint(L"[LumOCR] Capturing end waiting start[%d]>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n", busy() ? 1 : 0);
    BoundedWait(busy, L"[LumOCR] MainFrame : OnClose Capturing waiting Time : %d\n");
    DebugPrint(L"[LumOCR] Engine end capturing waiting end>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n");
    CSinglePicBaseGUI::GetInstance()->CancelRecognition();
    DebugPrint(L"[LumOCR] Engine end recog. waiting start[%d]>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n",
               m_bRecognitionRunning.load());
    BoundedWait([this] { return m_bRecognitionRunning.load() != 0; },
                L"[LumOCR] MainFrame : OnClose recog. ending  Time : %d\n");
    DebugPrint(L"[LumOCR] Engine end recog. waiting end>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>>\n");
    // A recognition still running keeps what it uses: the store stays.
    const bool recognitionEnded = m_bRecognitionRunning == 0;
    if (recognitionEnded && m_hRecognitionThread) {
        WaitForSingleObject(m_hRecognitionThread, INFINITE);
        CloseHandle(m_hRecognitionThread);
        m_hRecognitionThread = nullptr;
    }
    phases.End(L"Engine Stop", __LINE__);

    SHFullScreen(m_hWnd, SHFS_HIDETASKBAR | SHFS_HIDESIPBUTTON);
    if (HWND bar = SHFindMenuBar(m_hWnd))
        ::ShowWindow(bar, SW_HIDE);
    ::MoveWindow(m_hWnd, 0, 0, 400, 240, FALSE);
    if (cameraView)
        FillOutBlack();
    phases.End(L"Draw Black", __LINE__);

    m_bClosingFocus = 1;
    CCommonControl::GetInstance()->SetFocus(0, 1);
    phases.End(L"Focusing Set", __LINE__);

    DebugPrint(L"[TRAVEK] DELETE IMAGE... START[%d]\n", GetPictureCount());
    if (recognitionEnded) {
        EnterCriticalSection(&m_cs);
        const bool keep = m_bKeepPictures || m_options.enableAutoSave;
        for (ResultSlot& slot : m_slots) {
            if (!slot.pictureName)
                continue;
            if (!keep) {
                std::wstring path = std::wstring(m_szPictureFolder) + slot.pictureName;
                DeleteFileW(path.c_str());
            }
            std::free(slot.pictureName);
            slot.pictureName = nullptr;
        }
        m_nCurrentSlot = 0;
        LeaveCriticalSection(&m_cs);
    }
    DebugPrint(L"[TRAVEK] DELETE IMAGE... END\n");
    phases.End(L"Delete Image", __LINE__);

    RegistrySetDWORD(HKEY_CURRENT_USER, kOcrOptionsKey, L"BCROCR_MODE", m_options.bcrOcrMode);
    RegistrySetDWORD(HKEY_CURRENT_USER, kOcrOptionsKey, L"SINGLEMULTI_MODE", m_options.singleMultiMode);
    RegFlushKey(HKEY_CURRENT_USER);
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose2\n");
    m_bWindowCreated = 0;
    if (CCommonControl::GetInstance()->m_bFocusing)
        CCommonControl::GetInstance()->SetFocusOff();
    phases.End(L"Stop Camera1", __LINE__);
    DebugPrint(L"[LumOCR] Stoppef Preview\n");

    CSoundControl::GetInstance()->Stop();
    ::KillTimer(m_hWnd, TM_USER_ACTIVITY);
    for (LPCWSTR name : {L"EVT_TIMER_THREA_EXIT", L"EVT_CLEAN_THREAD"}) {
        if (HANDLE event = CreateEventW(nullptr, TRUE, FALSE, name)) {
            SetEvent(event);
            CloseHandle(event);
        }
    }
    CDShowControl::GetInstance()->CloseCamera();
    phases.End(L"Stop Camera2", __LINE__);
    DebugPrint(L"[LumOCR] Closed camera\n");
    RegisterHotKey(m_hWndCommandBar, 2, 0, VK_F6);
    RegisterHotKey(m_hWndCommandBar, 3, 0, VK_F7);

    CSettings::GetInstance()->Release();
    CSettings::GetInstance()->SetVolumeMute(1);
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose3\n");
    if (recognitionEnded) {
        CMessagePopupGUI::ReleaseInstance();
        CReviewSingleGUI::ReleaseInstance();
        CReviewMultiCapturedGUI::ReleaseInstance();
        CReviewMovieGUI::ReleaseInstance();
        CPreviewCameraGUI::ReleaseInstance();
        CPreviewCamcorderGUI::ReleaseInstance();
        CSinglePicBaseGUI::ReleaseInstance();
        CCameraControl::ReleaseInstance();
        CCamcorderControl::ReleaseInstance();
        CPlayerControl::ReleaseInstance();
        CSoundControl::ReleaseInstance();
        CDShowControl::GetInstance()->ReleaseInterfaces();
        CDShowControl::ReleaseInstance();
        CImageFileList::GetInstance()->Clear();
        CImageFileList::ReleaseInstance();
        CCommonControl::ReleaseInstance();
        CFontManager::ReleaseInstance();
        LumImageItemList::DestroyInstance();
    }
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose4\n");
    if (recognitionEnded) {
        for (int slot = 0; slot < kResultSlots; ++slot)
            FreeSlot(slot);
    }
    phases.End(L"delete othersp", __LINE__);
    phases.End(L"delete ddraw", __LINE__);
    DebugPrint(L"[TRAVEK] CMainFrame::OnClose5\n");

    bool waitCursor = false;
    if (m_bVideoCall == 1 && m_nAutoOrientation == 0 && m_nFirstOrientation == DMDO_0 && m_pApp) {
        m_pApp->ShowBlackWnd();
        waitCursor = true;
        Sleep(1000);
    }
    if (m_pApp)
        m_pApp->LockMotionSensor(FALSE);
    if (m_nAutoOrientation == 0) {
        HoldRotationMutex(TRUE, 50);
        DebugPrint(L"[TRAVEK] get first orientation [%d]<<<\n", static_cast<int>(m_nFirstOrientation));
        DEVMODEW mode{};
        CSystem::GetInstance()->RotateScreen(mode, m_nFirstOrientation);
        HoldRotationMutex(FALSE, 0);
    }
    phases.End(L"rotation", __LINE__);
    if (waitCursor) {
        m_pApp->HideBlackWnd();
        ::BringWindowToTop(m_hWnd);
    }
    if (cameraView)
        FillWindowBlack(m_hWnd);
    DebugPrint(L"[LumOCR] END Show TITLE\n");
    SHFullScreen(m_hWnd, SHFS_SHOWTASKBAR);
    CNotification::GetInstance()->UnregistAll();
    CFileControl::ReleaseInstance();
    CUtility::ReleaseInstance();
    if (recognitionEnded) {
        CShotControl::GetInstance()->Destroy();
        CShotControl::ReleaseInstance();
        CGPSControl::GetInstance()->Uninit();
        CGPSControl::ReleaseInstance();
        CeImageFactory::DeleteInstance();
    }
    phases.End(L"lastend", __LINE__);
    DebugPrint(L"[TRAVEK] LUMOCR ENDING END\n");
    // The default procedure destroys the window.
    handled = FALSE;
    return 0;
}
