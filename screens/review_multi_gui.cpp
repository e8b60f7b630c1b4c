#include <cwchar>
#include <string>

#include "camera_control.h"
#include "ce_container.h"
#include "common_control.h"
#include "draw_context.h"
#include "gui_screens.h"
#include "main_frame.h"
#include "review_gui.h"
#include "settings.h"
#include "shot_control.h"

namespace {

constexpr RECT kClear = {0, 0, 400, 240};
constexpr RECT kShot = {40, 0, 360, 240};
constexpr POINT kCaptionAt = {50, 9};

}  // namespace

CReviewMultiCapturedGUI::CReviewMultiCapturedGUI() { CBaseGUI::LoadResource(); }
CReviewMultiCapturedGUI::~CReviewMultiCapturedGUI() = default;

const RECT& CReviewMultiCapturedGUI::ShotRect() { return kShot; }

// The shot's thumbnail was turned for the display it was taken on: a turn
// makes it again.
int CReviewMultiCapturedGUI::LoadResource()
{
    CBaseGUI::LoadResource();
    CShotControl* shots = CShotControl::GetInstance();
    if (CShot* last = shots->GetShotCount() > 0 ? shots->GetLastShot() : nullptr)
        last->RemakeThumbnail();
    return 0;
}

int CReviewMultiCapturedGUI::OnOpen()
{
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_REVIEW_MULTI, GUI_STATUS_CAMERA);
    // Dropped while the frame closes or drawing is blocked.
    CDrawEvent::SendMessage(L"ReviewMultiCapturedGUI", __LINE__);
    return 0;
}

int CReviewMultiCapturedGUI::OnClose()
{
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_REVIEW_MULTI);
    return 0;
}

std::wstring CReviewMultiCapturedGUI::Caption()
{
    CShotControl* shots = CShotControl::GetInstance();
    CShot* last = shots->GetShotCount() > 0 ? shots->GetLastShot() : nullptr;
    if (!last)
        return {};
    WCHAR text[MAX_PATH + 32];
    std::swprintf(text, std::size(text), L"(%d/%d) %ls", shots->GetShotCount(), shots->GetCurrentIndex(),
                  last->Name());
    return text;
}

int CReviewMultiCapturedGUI::DrawLayer0(CDrawContext* dc)
{
    CShotControl* shots = CShotControl::GetInstance();
    CShot* last = shots->GetShotCount() > 0 ? shots->GetLastShot() : nullptr;
    if (!last)
        return 1;
    dc->FillRect(&kClear, RGB(0, 0, 0));
    if (CRotBitmap* frame = last->GetFrame()) {
        const SIZE size = frame->GetSize();
        RotStretchBlt(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, kShot.left, kShot.top,
                      kShot.right - kShot.left, kShot.bottom - kShot.top, frame, 0, 0, size.cx, size.cy, SRCCOPY);
    }
    return 1;
}

int CReviewMultiCapturedGUI::DrawLayer1(CDrawContext* dc)
{
    const std::wstring caption = Caption();
    if (caption.empty())
        return 1;
    HDC hdc = dc->m_hDC;
    const COLORREF colour = SetTextColor(hdc, RGB(255, 255, 255));
    const int mode = SetBkMode(hdc, TRANSPARENT);
    const HGDIOBJ font = SelectObject(hdc, m_hFonts[kFont17]);
    const RECT at{kCaptionAt.x, kCaptionAt.y, kClear.right, kClear.bottom};
    RotDrawText(hdc, dc->m_nSurfaceWidth, &at, caption.c_str(), -1, 0);
    SelectObject(hdc, font);
    SetBkMode(hdc, mode);
    SetTextColor(hdc, colour);
    return 1;
}

int CReviewMultiCapturedGUI::OnKeyUp(HWND, UINT virtualKey, LPARAM)
{
    CCommonControl* common = CCommonControl::GetInstance();
    switch (virtualKey) {
    case VK_F4:
        CCameraControl::GetInstance()->TriggerCapture();
        common->m_bExit = 1;
        if (CFrameApplication* app = CMainFrame::GetInstance()->GetApplication())
            app->FillBlackClose();
        return 0;
    case VK_RETURN:
    case VK_HALF_SHUTTER:
    case VK_FULL_SHUTTER:
        if (common->m_bFocusing)
            common->OnAutoFocusRelease();
        CPreviewCameraGUI::GetInstance()->OnCommand(CMD_REVIEW_TO_CAMERA, 0);
        return 0;
    default: return 0;
    }
}
