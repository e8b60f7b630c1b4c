// The camera preview: its images, its state and the commands it answers.
#include "preview_camera_gui.h"

#include <cstdio>
#include <cwchar>
#include <iterator>
#include <vector>

#include "camera_control.h"
#include "ce_container.h"
#include "debug_print.h"
#include "display.h"
#include "dshow_control.h"
#include "gui_stack.h"
#include "notification.h"
#include "preview_camera_shared.h"
#include "settings.h"
#include "system.h"
#include "utility.h"

namespace {

constexpr DWORD kContainerModal = 1u << 21;

}  // namespace

using namespace preview_camera;

CPreviewCameraGUI::CPreviewCameraGUI()
{
    ResetState();
    LoadResource();
}

CPreviewCameraGUI::~CPreviewCameraGUI() { UnloadResource(); }

int CPreviewCameraGUI::LoadResource()
{
    CBaseGUI::LoadResource();
    std::vector<UINT> ids;
    for (UINT id = kSingleBase; id <= kIndicatorBase + 3; ++id)
        ids.push_back(id);
    for (UINT id = kPopupFrame; id <= kPopupIcons + 2; ++id)
        ids.push_back(id);
    for (const auto& button : kMultiImages)
        for (UINT id : button)
            ids.push_back(id);
    for (UINT id : ids)
        if (!m_images.count(id))
            m_images[id] = CeLoadImage(id);
    return 0;
}

int CPreviewCameraGUI::UnloadResource()
{
    m_images.clear();
    return 0;
}

void CPreviewCameraGUI::SetModeNotice(BOOL on)
{
    m_bModeNotice = on ? 1 : 0;
    if (on)
        SetTimer(GetHwnd(), TM_MODE_NOTICE, 3000, nullptr);
}

void CPreviewCameraGUI::ResetState()
{
    for (int& state : m_nSingleState)
        state = BAR_NORMAL;
    m_nSinglePressed = 0;
    m_nMultiState[0] = m_nMultiState[1] = BAR_NORMAL;
    m_nMultiState[2] = m_nMultiState[3] = BAR_DISABLED;
    m_nMultiPressed = 0;
    m_rcPopup = RECT{};
    for (RECT& r : m_rcPopupText)
        r = RECT{};
    for (RECT& r : m_rcPopupButtons)
        r = RECT{};
}

void CPreviewCameraGUI::ResetAndRedraw()
{
    ResetState();
    m_bShotPending = 0;
    Frame()->m_nFocusIndicator = 0;
    RedrawLater();
}

// ---- Commands ----

int CPreviewCameraGUI::OnCommand(DWORD command, DWORD argument)
{
    CMainFrame* frame = Frame();
    CSettings* settings = CSettings::GetInstance();
    CCameraControl* camera = CCameraControl::GetInstance();
    switch (command) {
    case CMD_PREVIEW_STARTED: {
        DebugPrint(L"PREVIEW_CAMERA - CMD_PREVIEW_STARTED\n");
        CNotification* phone = CNotification::GetInstance();
        CFrameApplication* app = frame->GetApplication();
        if (phone->IsCallCalling()) {
            DebugPrint(L"Call End Process\n");
            if (app)
                app->FillBlackClose();
            return 0;  // the close deletes the screens
        }
        // The stop and the single-picture screen let the images go; the
        // popups and the bar drawn from here on need them again.
        LoadResource();
        CUtility* utility = CUtility::GetInstance();
        utility->StopMediaPlayer();
        utility->PauseMediaPlayers();
        utility->StopRadioPlayback();
        const int popup = frame->m_nPopupType.load();
        DebugPrint(L"TOP POPUP -> [%d] >>>>>>>>>>>>>>>>>>>>\n", popup);
        if (PopupShown()) {
            if (popup == POPUP_SMS)
                SetTimer(GetHwnd(), TM_POPUP_SMS, 5000, nullptr);
            else if (popup == POPUP_LOW_BATTERY)
                SetTimer(GetHwnd(), TM_POPUP_LOW_BATTERY, 3000, nullptr);
            ResetAndRedraw();
        }
        if (phone->IsIncomingVoiceCall() && !PopupShown()) {
            ShowPopup(POPUP_CALL);
        } else if (phone->GetVTCallState()) {
            DebugPrint(L"Call End Process\n");
            if (app)
                app->FillBlackClose();
            return 0;
        }
        if (!phone->ReadBatteryLevel())
            ShowPopup(POPUP_LOW_BATTERY);
        CSystem::GetInstance()->LogMemoryStatus(0);
        frame->m_bCapturePending = 0;
        frame->m_bShutterPressed = 0;
        // A shot that went on to the recognition ends here: the bar takes touches again.
        m_bCapturePending = 0;
        m_bShotPending = 0;
        frame->m_nView = VIEW_PREVIEW;
        if (settings->GetFlags() & SETTINGS_FLAG_FORCE_EXIT) {
            CPreviewGUI::OnCommand(command, argument);
            return 0;  // the program ends
        }
        CPreviewGUI::OnCommand(command, argument);
        PumpKeyMessages(FALSE, TRUE);
        PumpMouseMessages(FALSE, TRUE);
        ResetState();
        frame->m_bPreRecognition = 0;
        frame->SetSurfaceDrawBlocked(0);
        Common()->m_rcEdge = RECT{0, 0, 0, 0};
        RedrawNow();
        // Input made before this point was let go above; from here it counts.
        DebugPrint(L"PREVIEW_CAMERA - ready for input\n");
        return 0;
    }
    case CMD_PREVIEW_STOPED:
        DebugPrint(L"PREVIEW_CAMERA - CMD_PREVIEW_STOPED\n");
        DebugPrint(L"PREVIEW_CAMERA - CMD_PREVIEW_STOPED : Unload Resource\n");
        UnloadResource();
        // Each byte is taken as it is acted on, so a later stop opens nothing.
        if (m_bSettingMenu) {
            frame->SetSurfaceDrawBlocked(1);
            CCommonControl::GetInstance()->HoldWorkerOff(&CDisplay::DestroyInstance);
            SendMessageW(GetHwnd(), WM_SHOW_SETTING_VIEW, 0, 0);
        }
        if (m_bThumbnailView) {
            m_bThumbnailView = 0;
            frame->SetSurfaceDrawBlocked(1);
            CCommonControl::GetInstance()->HoldWorkerOff(&CDisplay::DestroyInstance);
            SendMessageW(GetHwnd(), WM_SHOW_THUMBNAIL_VIEW, 0, 0);
        }
        return 0;
    case CMD_TAKE_PICTURE:
        PumpKeyMessages(FALSE, TRUE);
        PumpMouseMessages(FALSE, TRUE);
        if (settings->IsGUIStatus(GUI_STATUS_CAPTURING)) {
            Common()->CancelSelfTimer();
            m_bShotPendingWord = 0;
        }
        settings->RemoveGUIStatus(0x2400);
        if (Common()->IsSelfTimerSet())
            Common()->StartSelfTimer();
        else
            camera->CameraCapture();
        return 0;
    case CMD_SHUTTER_RELEASED:
        m_bShotPending = 0;
        camera->CameraCaptureStop();
        return 0;
    case CMD_SELF_TIMER_END: camera->CameraCapture(); return 0;
    case CMD_APPLY_PREVIEW_RESOLUTION: camera->ApplyPreviewResolution(); return 0;
    case CMD_POP_MENU:
        if (CeContainer* top = m_pStack->Top(); top && (top->m_dwFlags & kContainerModal))
            m_pStack->Pop(TRUE);
        return 0;
    case CMD_SHUTTER_CONTROL:
        if (settings->IsGUIStatus(GUI_STATUS_CAPTURING)) {
            settings->RemoveGUIStatus(GUI_STATUS_CAPTURING);
            camera->SignalCaptureEvent();
        } else if (CeContainer* top = m_pStack->Top(); top && (top->m_dwFlags & kContainerModal)) {
            if (top->m_pPressed && top->m_pPressed != top->m_pFocused)
                top->Launch(top->m_pPressed->m_dwCommandId, FALSE);
            m_pStack->Pop(TRUE);
        }
        return 0;
    case CMD_CONTROLS_SHOW:
        settings->SetControlsHidden(FALSE);
        m_pRoot->RemoveAll();
        RedrawNow();
        return 0;
    case CMD_CONTROLS_HIDE: settings->SetControlsHidden(TRUE); return 0;
    case CMD_SWITCH_CARD_DOCUMENT:
        DeleteSetPictures();
        frame->m_options.bcrOcrMode = frame->m_options.bcrOcrMode == 1 ? 0 : 1;
        DebugPrint(L"PREVIEW_CAMERA - CMD_SWITCH_CARD_DOCUMENT %d\n", frame->m_options.bcrOcrMode);
        SetModeNotice(TRUE);
        // The notice and the released button are drawn now, not when the
        // notice's time runs out.
        RedrawLater();
        return 0;
    case CMD_SWITCH_SINGLE_MULTI:
        DeleteSetPictures();
        frame->m_bPreRecognition = 0;
        frame->m_options.singleMultiMode = frame->m_options.singleMultiMode == 1 ? 0 : 1;
        DebugPrint(L"PREVIEW_CAMERA - CMD_SWITCH_SINGLE_MULTI %d\n", frame->m_options.singleMultiMode);
        RedrawLater();
        return 0;
    case CMD_TO_THUMBNAILS:
    case CMD_TO_SETTINGS:
        DeleteSetPictures();
        (command == CMD_TO_THUMBNAILS ? m_bThumbnailView : m_bSettingMenu) = 1;
        Common()->m_bExit = 1;
        CDShowControl::GetInstance()->StopGraph(0);
        return 0;
    case CMD_PREVIEW_AUTO_SHOT: AutoShot(); return 0;
    case CMD_DELETE_LAST_PICTURE: {
        const int slot = frame->m_nCurrentSlot > 0 ? frame->m_nCurrentSlot - 1 : 0;
        if (LPWSTR name = frame->m_slots[slot].pictureName) {
            WCHAR path[MAX_PATH * 2];
            std::swprintf(path, std::size(path), L"%ls%ls", frame->m_szPictureFolder, name);
            DeleteFileW(path);
        }
        frame->FreeSlot(slot);
        frame->m_nCurrentSlot = slot;
        frame->m_nShotCount = slot;
        RedrawNow();
        return 0;
    }
    default: return CPreviewGUI::OnCommand(command, argument);
    }
}

int CPreviewCameraGUI::OnClose()
{
    DebugPrint(L"CPreviewCameraGUI::OnClose\n");
    UnloadResource();
    DebugPrint(L"Call End Process\n");
    if (CFrameApplication* app = Frame()->GetApplication())
        app->FillBlackClose();
    return 0;
}
