// The camera preview's pen: the bar buttons and the main frame's popup.
#include "camera_control.h"
#include "debug_print.h"
#include "gui_screens.h"
#include "haptic_control.h"
#include "popup_pen.h"
#include "preview_camera_shared.h"

namespace {

constexpr DWORD kCameraRecognising = 16;

constexpr DWORD kSingleCommands[kSingleButtons] = {CMD_PREVIEW_EXIT, CMD_SWITCH_CARD_DOCUMENT, CMD_SWITCH_SINGLE_MULTI,
                                                    CMD_TO_THUMBNAILS, CMD_TO_SETTINGS};

using popup_pen::Inside;
using popup_pen::TouchPoint;

}  // namespace

using namespace preview_camera;

int CPreviewCameraGUI::HitButton(POINT p, bool tracking) const
{
    if (SingleMode()) {
        for (int i = 0; i < kSingleButtons; ++i)
            if (Inside(RECT{kBarX, i * kSingleHeight, kBarX + kBarWidth, (i + 1) * kSingleHeight}, p))
                return i + 1;
        return 0;
    }
    const int left = tracking ? 360 : kBarX;
    for (int i = 0; i < kMultiButtons; ++i)
        if (Inside(RECT{left, i * kMultiHeight, 400, (i + 1) * kMultiHeight}, p))
            return i + 1;
    return 0;
}

int CPreviewCameraGUI::OnLButtonDown(POINT point, WPARAM)
{
    CMainFrame* frame = Frame();
    DebugPrint(L"PREVIEW LBUTTON DOWN[%d]\n", frame->m_bPopupShown.load());
    if (m_bCapturePending)
        return 0;
    const POINT p = TouchPoint(point);
    frame->m_bPopupLeftPressed = frame->m_bPopupRightPressed = frame->m_bPopupCenterPressed = 0;
    CHapticControl* haptic = CHapticControl::GetInstance();
    if (PopupShown() || frame->m_nPopupType.load() != 0) {
        if (int* pressed = popup_pen::ButtonAt(frame, p)) {
            *pressed = 1;
            haptic->PlayEffectA();
            RedrawLater();
        }
        return 0;
    }
    const int button = HitButton(p, false);
    if (button == 0)
        return 0;
    if (SingleMode()) {
        m_nSingleState[button - 1] = BAR_PRESSED;
        m_nSinglePressed = button;
    } else {
        if (button == 2) {
            if (frame->m_bStorageFull == 1)
                return 0;
            haptic->PlayEffectA();
        }
        if ((button == 3 || button == 4) && !SetHoldsAPicture())
            return 0;
        m_nMultiState[button - 1] = BAR_PRESSED;
        m_nMultiPressed = button;
    }
    RedrawNow();
    haptic->PlayEffectA();
    return 0;
}

int CPreviewCameraGUI::OnMouseMove(POINT point, WPARAM)
{
    DebugPrint(L"PREVIEW LBUTTON MOVE [%d]\n", Frame()->m_bPopupShown.load());
    const POINT p = TouchPoint(point);
    const bool single = SingleMode();
    const int pressed = single ? m_nSinglePressed : m_nMultiPressed;
    if (pressed == 0)
        return 0;
    int& state = single ? m_nSingleState[pressed - 1] : m_nMultiState[pressed - 1];
    const int now = HitButton(p, !single) == pressed ? BAR_PRESSED : BAR_LEFT;
    if (now != state) {
        state = now;
        RedrawNow();
    }
    return 0;
}

void CPreviewCameraGUI::PopupButtonUp(POINT p)
{
    CMainFrame* frame = Frame();
    // Only the first pressed button counts, whatever the popup's style.
    for (const popup_pen::Button& b : popup_pen::AllButtons()) {
        if (!(frame->*b.pressed))
            continue;
        frame->*b.pressed = 0;
        if (Inside(b.area, p)) {
            DebugPrint(L"POPUP %ls UP\n", b.name);
            (frame->*b.action)();
        } else {
            DebugPrint(L"POPUP %ls UP XXX\n", b.name);
        }
        break;
    }
    DebugPrint(L"POPUP BTN PROCESS END\n");
    CHapticControl::GetInstance()->PlayEffectB();
    RedrawLater();
}

void CPreviewCameraGUI::ButtonUp(POINT p)
{
    const bool single = SingleMode();
    const int pressed = single ? m_nSinglePressed : m_nMultiPressed;
    if (pressed == 0)
        return;
    int& state = single ? m_nSingleState[pressed - 1] : m_nMultiState[pressed - 1];
    (single ? m_nSinglePressed : m_nMultiPressed) = 0;
    const bool inside = HitButton(p, !single) == pressed;
    // A finger lifted elsewhere leaves the button as it was before the press.
    state = BAR_NORMAL;
    if (!inside) {
        RedrawNow();
        return;
    }
    CHapticControl::GetInstance()->PlayEffectB();
    if (single) {
        OnCommand(kSingleCommands[pressed - 1], 0);
        return;
    }
    CMainFrame* frame = Frame();
    switch (pressed) {
    case 1: OnCommand(CMD_PREVIEW_EXIT, 0); return;
    case 2:
        if (frame->m_bStorageFull != 1)
            OnCommand(CMD_SWITCH_SINGLE_MULTI, 0);
        return;
    case 3:
        CCameraControl::GetInstance()->SetState(kCameraRecognising);
        frame->m_bPreRecognition = 1;
        Common()->m_bExit = 1;
        CReviewSingleGUI::GetInstance()->OnOpen();
        return;
    case 4: OnCommand(CMD_DELETE_LAST_PICTURE, 0); return;
    default: return;
    }
}

int CPreviewCameraGUI::OnLButtonUp(POINT point, WPARAM)
{
    DebugPrint(L"PREVIEW LBUTTON UP[%d]\n", Frame()->m_bPopupShown.load());
    DebugPrint(L"CPreviewCameraGUI::OnLButtonUp start\n");
    const POINT p = TouchPoint(point);
    if (PopupShown()) {
        PopupButtonUp(p);
        return 0;
    }
    ButtonUp(p);
    return 0;
}
