// The camera preview's shutter: the keys, the checks before a shot and the
// automatic shot the edge detection arms.
#include <cstdio>
#include <iterator>

#include "camera_control.h"
#include "debug_print.h"
#include "dshow_control.h"
#include "file_control.h"
#include "notification.h"
#include "preview_camera_shared.h"

namespace {

// The driver answers the brightness query with S_OK for enough light and a
// failure code for too little (or no camera).
bool BrightEnough() { return SUCCEEDED(preview_camera::Common()->GetBrightness()); }

}  // namespace

using namespace preview_camera;

// ---- Shot state ----

void CPreviewCameraGUI::ClearShotState()
{
    CMainFrame* frame = Frame();
    frame->m_bCapturePending = 0;
    frame->m_nAutoShot1 = 1;
    m_bShotPending = 0;
    Common()->m_bShot = 0;
    m_bCapturePending = 0;
    m_bShotPendingWord = 0;
    frame->m_bShutterPressed = 0;
}

void CPreviewCameraGUI::MarkCaptureUnderWay()
{
    Frame()->m_bCapturePending = 1;
    Frame()->m_nAutoShot1 = 0;
}

bool CPreviewCameraGUI::CameraRuns() const { return CCameraControl::GetInstance()->IsRunning() != 0; }
bool CPreviewCameraGUI::PopupShown() const { return Frame()->m_bPopupShown != 0; }
bool CPreviewCameraGUI::FocusOption() const { return Common()->IsUseFocus() != 0; }

void CPreviewCameraGUI::CancelFocus()
{
    if (!FocusOption())
        return;
    CDShowControl::GetInstance()->SetAMCameraControl(kFocusProperty, kFocusRelease, false);
    Common()->OnAutoFocusRelease();
}

void CPreviewCameraGUI::ShowPopup(int type) { Frame()->ShowPopup(type); }

namespace {

bool CallActive() { return CNotification::GetInstance()->IsTalking() != 0; }

// Free kilobytes where the next picture goes: the folder of the current storage.
DWORD PictureFolderFreeKB()
{
    CFileControl* files = CFileControl::GetInstance();
    WCHAR folder[MAX_PATH];
    std::swprintf(folder, std::size(folder), L"\\%ls\\", files->GetStoragePath());
    return files->GetFreeSpace(folder, FALSE);
}

}  // namespace

void CPreviewCameraGUI::PressShutter()
{
    Frame()->m_bShutterPressed = 1;
    m_bCapturePending = 1;
    m_bShotPendingWord = 1;
    m_bAutoShot = 0;
    ResetState();
}

CPreviewCameraGUI::ShotStart CPreviewCameraGUI::BeginShot()
{
    MarkCaptureUnderWay();
    Common()->m_bShot = 1;
    m_bShotPending = 1;
    RedrawNow();
    if (!CameraRuns()) {
        // The capture marked above never starts: leave nothing under way.
        ClearShotState();
        return SHOT_NO_CAMERA;
    }
    if (FocusOption()) {
        Common()->OnAutoFocusPress();
        if (!Common()->m_nFocusOk) {
            Common()->OnAutoFocusRelease();
            ClearShotState();
            RedrawNow();
            return SHOT_NO_FOCUS;
        }
    }
    return SHOT_BEGUN;
}

bool CPreviewCameraGUI::RefusedForStorage()
{
    if (PictureFolderFreeKB() >= kShotFreeKB)
        return false;
    CancelFocus();
    ClearShotState();
    Common()->m_rcEdge = RECT{0, 0, 0, 0};
    ShowPopup(POPUP_LOW_STORAGE);
    RedrawLater();
    return true;
}

void CPreviewCameraGUI::FullShutter()
{
    if (!CameraRuns() || PopupShown()) {
        ClearShotState();
        return;
    }
    if (RefusedForStorage())
        return;
    DebugPrint(L"[PreviewCameraGUI] shot start %lu\n", static_cast<unsigned long>(GetTickCount()));
    if (FocusOption())
        Common()->OnAutoFocusRelease();
    if (!BrightEnough()) {
        DebugPrint(L"Brightness is FALSE !!!!>>>>>>>>>>>>>>>>>>>>>>>>>\n");
        ClearShotState();
        ShowPopup(POPUP_LOW_LIGHT);
        return;
    }
    if (CameraRuns() && !PopupShown()) {
        Common()->m_rcEdge = RECT{1, 1, 1, 1};
        RedrawNow();
        OnCommand(CMD_TAKE_PICTURE, 0);
    } else {
        ClearShotState();
    }
}

int CPreviewCameraGUI::OnKeyDown(HWND window, UINT key, LPARAM data)
{
    DebugPrint(L"CPreviewCameraGUI::OnKeyDown\n");
    if (PopupShown())
        return 0;
    CMainFrame* frame = Frame();
    switch (key) {
    case VK_RETURN:
        if (CallActive())
            break;
        PressShutter();
        if (frame->m_bCapturePending) {
            // The capture under way goes on; only this press is forgotten.
            frame->m_bShutterPressed = 0;
            m_bCapturePending = 0;
            m_bShotPendingWord = 0;
            break;
        }
        if (BeginShot() == SHOT_BEGUN)
            FullShutter();
        break;
    case VK_HALF_SHUTTER:
        if (CallActive())
            break;
        if (m_bAutoShot) {
            m_bShotPendingWord = 0;
            break;
        }
        m_bHalfShutter = 1;
        ResetState();
        if (CameraRuns() && !PopupShown()) {
            DebugPrint(L"HALFSHUTTER Down\n");
            if (FocusOption())
                Common()->OnAutoFocusPress();
        } else {
            frame->m_bCapturePending = 0;
            frame->m_nAutoShot1 = 1;
            m_bShotPending = 0;
            Common()->m_bShot = 0;
        }
        break;
    case VK_FULL_SHUTTER:
        if (CallActive())
            break;
        PressShutter();
        DebugPrint(L"================> FULLSHUTTER Down\n");
        Common()->m_bShot = 1;
        m_bShotPending = 1;
        RedrawNow();
        FullShutter();
        break;
    default: break;
    }
    return CPreviewGUI::OnKeyDown(window, key, data);
}

int CPreviewCameraGUI::OnKeyUp(HWND window, UINT key, LPARAM data)
{
    DebugPrint(L"CPreviewCameraGUI::OnKeyUp\n");
    if (PopupShown())
        return 0;
    if (key == VK_RETURN || key == VK_HALF_SHUTTER || key == VK_FULL_SHUTTER) {
        ResetState();
        if ((key == VK_RETURN || key == VK_HALF_SHUTTER) && FocusOption())
            CDShowControl::GetInstance()->SetAMCameraControl(kFocusProperty, kFocusRelease, false);
        if (key == VK_RETURN || key == VK_FULL_SHUTTER) {
            DebugPrint(L"===============> VK_RETURN UP\n");
            if (FocusOption())
                Common()->OnAutoFocusRelease();
            if (CameraRuns())
                OnCommand(CMD_SHUTTER_RELEASED, 0);
        }
    }
    return CPreviewGUI::OnKeyUp(window, key, data);
}

void CPreviewCameraGUI::AutoShot()
{
    DebugPrint(L"CMD_PREVIEW_AUTO_SHOT start\n");
    CMainFrame* frame = Frame();
    if (!m_bAutoShot) {
        m_bCapturePending = 0;
        DebugPrint(L"CMD_PREVIEW_AUTO_SHOT break 1\n");
        return;
    }
    if (frame->m_bCapturePending || PopupShown()) {
        DebugPrint(L"CMD_PREVIEW_AUTO_SHOT break 2 [%d][%d]\n", static_cast<int>(m_bAutoShot.load()),
                   m_bCapturePending);
        m_bAutoShot = 0;
        m_bCapturePending = 0;
        return;
    }
    switch (BeginShot()) {
    case SHOT_NO_CAMERA: DebugPrint(L"CMD_PREVIEW_AUTO_SHOT break 3\n"); return;
    case SHOT_NO_FOCUS: DebugPrint(L"CMD_PREVIEW_AUTO_SHOT break 4\n"); return;
    default: break;
    }
    if (!CameraRuns() || PopupShown()) {
        ClearShotState();
        DebugPrint(L"CMD_PREVIEW_AUTO_SHOT break 5\n");
        return;
    }
    if (RefusedForStorage()) {
        DebugPrint(L"CMD_PREVIEW_AUTO_SHOT break 6\n");
        return;
    }
    DebugPrint(L"[PreviewCameraGUI] shot start %lu\n", static_cast<unsigned long>(GetTickCount()));
    if (FocusOption())
        Common()->OnAutoFocusRelease();
    DebugPrint(L"LAST EDGE CHECK START\n");
    if (frame->m_options.enableAutoFocus == 1 && frame->m_options.bcrOcrMode == 1 && m_bLastEdgeCheck) {
        DebugPrint(L"LastEdge[%d] FOCUS COUNT[%d]\n", Common()->m_nLastEdge, Common()->m_nFocusCount);
        m_bLastEdgeCheck = 0;
        if (Common()->m_nFocusCount > 0 && Common()->m_nLastEdge) {
            frame->m_bShutterPressed = 1;
        } else {
            ClearShotState();
            DebugPrint(L"LAST EDGE CHECK END\n");
            return;
        }
    }
    DebugPrint(L"LAST EDGE CHECK END\n");
    Common()->m_rcEdge = RECT{1, 1, 1, 1};
    RedrawNow();
    if (!BrightEnough()) {
        ClearShotState();
        ShowPopup(POPUP_LOW_LIGHT);
        DebugPrint(L"CMD_PREVIEW_AUTO_SHOT break 7\n");
        return;
    }
    if (CameraRuns() && !PopupShown()) {
        DebugPrint(L"CMD_PREVIEW_AUTO_SHOT GO!\n");
        CCameraControl::GetInstance()->CameraCapture();
    } else {
        ClearShotState();
        DebugPrint(L"CMD_PREVIEW_AUTO_SHOT break Last\n");
    }
}
