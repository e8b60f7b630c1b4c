#include "frame_capture_host.h"

#include "gui_screens.h"
#include "main_frame.h"
#include "settings.h"

CFrameCaptureHost& FrameCaptureHost()
{
    static CFrameCaptureHost host;
    return host;
}

void CFrameCaptureHost::ResetPreviewScreen()
{
    // The camera screen resumes the preview worker itself.
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_START);
}

void CFrameCaptureHost::EnterPreviewView()
{
    CMainFrame* frame = CMainFrame::GetInstance();
    frame->m_nView = VIEW_PREVIEW;
    frame->m_bSeriesComplete = 0;
    frame->m_bCapturePending = 0;
}

void CFrameCaptureHost::OpenShotReview()
{
    CReviewSingleGUI::GetInstance()->OnOpen();
}

void CFrameCaptureHost::SetStillSize(int width, int height)
{
    CMainFrame* frame = CMainFrame::GetInstance();
    frame->m_nStillWidth = width;
    frame->m_nStillHeight = height;
}

void CFrameCaptureHost::SetFocusIndicator(int value)
{
    CMainFrame::GetInstance()->m_nFocusIndicator = value;
}

void CFrameCaptureHost::OnPictureSaved()
{
    CMainFrame::GetInstance()->m_bShutterPressed = 0;
}

int CFrameCaptureHost::RecognizeNow() const
{
    return static_cast<int>(CMainFrame::GetInstance()->m_options.singleMultiMode);
}

int CFrameCaptureHost::ShotCounter() const
{
    return CMainFrame::GetInstance()->m_nShotCount;
}

void CFrameCaptureHost::SetShotCounter(int count)
{
    CMainFrame::GetInstance()->m_nShotCount = count;
}

void CFrameCaptureHost::SetSeriesComplete()
{
    CMainFrame::GetInstance()->m_bSeriesComplete = 1;
}

void CFrameCaptureHost::ClearCapturePending()
{
    CMainFrame::GetInstance()->m_bCapturePending = 0;
}

bool CFrameCaptureHost::IsPopupShown() const
{
    return CMainFrame::GetInstance()->m_bPopupShown.load() != 0;
}

bool CFrameCaptureHost::AutoShotAllowed() const
{
    CMainFrame* frame = CMainFrame::GetInstance();
    return frame->m_nAutoShot1 == 1 && frame->m_nAutoShot2 == 1 && !frame->m_bPopupShown.load() &&
           frame->m_bBusy == 0;
}
