#include "notification_sink.h"

#include <cwchar>

#include "app_messages.h"
#include "camera_app.h"
#include "common_control.h"
#include "gui_screens.h"
#include "main_frame.h"

namespace {

constexpr const WCHAR* kSource = L".\\Notification.cpp";

// The frame only while it lives; a notice during its end changes nothing.
CMainFrame* Frame() { return CMainFrame::PeekInstance(); }

}  // namespace

CFrameNotificationSink* CFrameNotificationSink::GetInstance()
{
    static CFrameNotificationSink sink;
    return &sink;
}

void CFrameNotificationSink::ShowPopup(int type)
{
    if (CMainFrame* frame = Frame())
        frame->ShowPopup(type);
}

void CFrameNotificationSink::HideDialogBoxEx(int type)
{
    if (CMainFrame* frame = Frame())
        frame->HideDialogBoxEx(type);
}

void CFrameNotificationSink::RemovePopup(int type)
{
    if (CMainFrame* frame = Frame())
        frame->RemovePopup(type);
}

void CFrameNotificationSink::ReshowPopup()
{
    if (CMainFrame* frame = Frame())
        frame->ReshowPopup();
}

bool CFrameNotificationSink::IsPopupShown() const
{
    CMainFrame* frame = Frame();
    return frame && frame->m_bPopupShown.load() != 0;
}

int CFrameNotificationSink::GetTopPopup() const
{
    CMainFrame* frame = Frame();
    return frame ? frame->GetTopPopup() : 0;
}

void CFrameNotificationSink::SetCallerText(bool, LPCWSTR)
{
    // The call popup loads the caller's name and number afresh on the GUI
    // thread; its texts are never written from here.
    if (CMainFrame* frame = Frame())
        frame->ReshowPopup();
}

void CFrameNotificationSink::GetCallerText(bool number, LPWSTR text, int length) const
{
    text[0] = 0;
    CMainFrame* frame = Frame();
    if (!frame || length <= 0)
        return;
    std::wcsncpy(text, number ? frame->m_szPopupText2 : frame->m_szPopupText1, static_cast<size_t>(length - 1));
    text[length - 1] = 0;
}

void CFrameNotificationSink::RequestRedraw() { CDrawEvent::PostMessage(kSource, __LINE__); }

int CFrameNotificationSink::GetView() const
{
    CMainFrame* frame = Frame();
    return frame ? frame->m_nView.load() : 0;
}

bool CFrameNotificationSink::IsSendingResult() const
{
    CMainFrame* frame = Frame();
    return frame && frame->m_bSendingResult.load() != 0;
}

bool CFrameNotificationSink::IsRecognitionRunning() const
{
    CMainFrame* frame = Frame();
    return frame && frame->m_bRecognitionRunning.load() != 0;
}

void CFrameNotificationSink::CancelRecognition() { CSinglePicBaseGUI::GetInstance()->CancelRecognition(); }

void CFrameNotificationSink::SetVideoCall()
{
    if (CMainFrame* frame = Frame())
        frame->m_bVideoCall = 1;
}

void CFrameNotificationSink::StopDrawing()
{
    CCommonControl::GetInstance()->m_bExit = 1;
    if (CMainFrame* frame = Frame())
        frame->m_bNoDrawing = 1;
}

void CFrameNotificationSink::SetSleepFlag() { CCameraApp::GetInstance()->m_bPowerOffAtExit = 1; }

void CFrameNotificationSink::PostOtherAppActive()
{
    if (CMainFrame* frame = Frame())
        ::PostMessageW(frame->m_hWnd, WM_OTHER_APP_ACTIVE, 0, 0);
}

void CFrameNotificationSink::EndApplication()
{
    CMainFrame* frame = Frame();
    if (frame && frame->GetApplication())
        frame->GetApplication()->FillBlackClose2();
}
