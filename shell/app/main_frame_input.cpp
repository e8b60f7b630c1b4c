// Keys and the pen: the main frame's gates and remaps before a screen gets them.
#include "main_frame.h"

#include "camera_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "gui_screens.h"
#include "system.h"

#include "main_frame_parts.h"

using namespace mainframe;

namespace {

// At orientation 0 the arrows turn by a quarter with the layout: left
// becomes down, up left, right up, down right.
UINT TurnArrow(UINT vk)
{
    if (vk < VK_LEFT || vk > VK_DOWN)
        return vk;
    return ((vk - 34) % 4) + 37;
}

}  // namespace

LRESULT CMainFrame::OnKeyDown(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    UINT vk = static_cast<UINT>(wParam);
    DebugPrint(L"[TRAVEK] CMainFrame::OnKeyDown[%d]\n", static_cast<int>(vk));
    DiscardInput();
    ReloadAutoOff();
    if (!m_bInputEnabled) {
        DebugPrint(L"[TRAVEK] CMainFrame::OnKeyDown BLOCKED<--[%d]\n", static_cast<int>(vk));
        return 0;
    }
    if (CSystem::GetInstance()->Orientation() == DMDO_0)
        vk = TurnArrow(vk);
    DebugPrint(L"CMainFrame::OnKeyDown [0x%X]\r\n", vk);
    CSettings* settings = CSettings::GetInstance();
    settings->SetAutoOffMode(settings->GetAutoOffMode());
    if (CameraBusy() || InputFlushRunning() || m_bRecognizing)
        return 0;
    if (CBaseGUI* screen = ActiveScreen())
        screen->OnKeyDown(m_hWnd, vk, lParam);
    return 0;
}

LRESULT CMainFrame::OnKeyUp(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    UINT vk = static_cast<UINT>(wParam);
    DebugPrint(L"[TRAVEK] CMainFrame::OnKeyDown[%d]\n", static_cast<int>(vk));
    ReloadAutoOff();
    if (!m_bInputEnabled) {
        DebugPrint(L"[TRAVEK] CMainFrame::OnKeyUp BLOCKED<--[%d]\n", static_cast<int>(vk));
        return 0;
    }
    if (CSystem::GetInstance()->Orientation() == DMDO_0)
        vk = TurnArrow(vk);
    DebugPrint(L"WM_KEYUP ==> [0x%X]\r\n", vk);
    CSettings* settings = CSettings::GetInstance();
    settings->SetAutoOffMode(settings->GetAutoOffMode());
    if (CameraBusy())
        return 0;
    const int view = m_nView;
    const bool callPopup = m_bPopupShown && m_nPopupType == POPUP_CALL;
    if (vk == VK_F4) {
        DebugPrint(L"[TRAVEK] (END STATE) CMainFrame::GetInstance()->getTopPopup()[%d] \n", GetTopPopup());
        if (callPopup) {
            if (view == VIEW_PREVIEW || view == VIEW_SINGLE_PICTURE) {
                ProcessPopupRBtn();
                HideDialogBoxEx(POPUP_CALL);
            }
            return 0;
        }
        DebugPrint(L"[TRAVEK] end key brocasted\n");
        if (view == VIEW_PREVIEW) {
            ProcessPopupRBtn();
            HideDialogBoxEx(POPUP_CALL);
            CPreviewCameraGUI::GetInstance()->OnCommand(CMD_PREVIEW_EXIT, 0);
        } else if (view == VIEW_SINGLE_PICTURE) {
            ProcessPopupRBtn();
            HideDialogBoxEx(POPUP_CALL);
            EndApplication(kSource, __LINE__);
        } else {
            EndApplication(kSource, __LINE__);
        }
        return 0;
    }
    if (vk == VK_F3 && callPopup) {
        if (view == VIEW_PREVIEW || view == VIEW_SINGLE_PICTURE)
            ProcessPopupLBtn();
        return 0;
    }
    if (!m_bRecognizing) {
        if (CBaseGUI* screen = ActiveScreen())
            screen->OnKeyUp(m_hWnd, vk, lParam);
    }
    return 0;
}

namespace {

enum class PenKind { Down, Up, Move };

}  // namespace

static LRESULT RoutePen(CMainFrame* frame, PenKind kind, WPARAM wParam, LPARAM lParam)
{
    static const WCHAR* const names[] = {L"DOWN", L"UP", L"MOVE"};
    const WCHAR* name = names[static_cast<int>(kind)];
    DebugPrint(L"[TRAVEK] MAIN FRAME LBUTTON %ls [%d]\n", name, frame->m_bPopupShown.load());
    int mode = CSettings::GetInstance()->GetAutoOffMode();
    if (CFrameApplication* app = frame->GetApplication())
        app->ResetAutoOff(mode);
    else
        CSettings::GetInstance()->SetAutoOffMode(mode);
    if (!frame->m_bInputEnabled) {
        DebugPrint(L"[TRAVEK] MAINFRM LBUTTON %ls BLOCKED<--\n", name);
        return 0;
    }
    if (frame->m_bRecognizing)
        return 0;
    POINT point{static_cast<SHORT>(LOWORD(lParam)), static_cast<SHORT>(HIWORD(lParam))};
    CSystem* system = CSystem::GetInstance();
    if (system->Orientation() == DMDO_0) {
        // The layout lies turned on the 240-pixel-wide panel.
        point = POINT{point.y, plat::kPanelWidth - 1 - point.x};
    }
    if ((CCameraControl::GetInstance()->GetState() & CAMERA_BUSY_BITS) || !system->IsInputFlushStopped())
        return 0;
    CSettings* settings = CSettings::GetInstance();
    settings->SetAutoOffMode(settings->GetAutoOffMode());
    CBaseGUI* screen = settings->GetActiveGUI();
    if (!screen)
        return 0;
    switch (kind) {
    case PenKind::Down: screen->OnLButtonDown(point, wParam); break;
    case PenKind::Up: screen->OnLButtonUp(point, wParam); break;
    case PenKind::Move: screen->OnMouseMove(point, wParam); break;
    }
    return 0;
}

LRESULT CMainFrame::OnLButtonDown(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    return RoutePen(this, PenKind::Down, wParam, lParam);
}

LRESULT CMainFrame::OnLButtonUp(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    return RoutePen(this, PenKind::Up, wParam, lParam);
}

LRESULT CMainFrame::OnMouseMove(UINT, WPARAM wParam, LPARAM lParam, BOOL&)
{
    return RoutePen(this, PenKind::Move, wParam, lParam);
}
