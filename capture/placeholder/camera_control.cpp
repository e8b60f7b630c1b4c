// Until the camera control is built: the camera attaches and runs, and a
// preview reset answers as a running graph does.
#include "camera_control.h"

#include "app_messages.h"
#include "main_frame.h"
#include "settings.h"

namespace {
DWORD cameraState = 1;
}

CCameraControl::CCameraControl() = default;
CCameraControl::~CCameraControl() = default;
void CCameraControl::SetShotMode(int, int) {}
int CCameraControl::SetShotModeSize(int index, int, int) { return index <= 4; }
void CCameraControl::SetCaptureOption(int, int) {}
DWORD CCameraControl::GetState() const { return cameraState; }
void CCameraControl::SetState(DWORD state) { cameraState = state; }
int CCameraControl::AttachCamera() { return 0; }
int CCameraControl::SetupCaptureGraph(HWND) { return 1; }
int CCameraControl::Run() { return 1; }
int CCameraControl::ResetPreview(int)
{
    CMainFrame::GetInstance()->m_nView = VIEW_PREVIEW;
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
    PostMessageW(g_hMainWnd, WM_MAIN_COMMAND, CMD_PREVIEW_STARTED, 0);
    return 1;
}
void CCameraControl::StopPreview() {}
int CCameraControl::GetCaptureOption() const { return 0; }
