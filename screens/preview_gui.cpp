#include "preview_gui.h"

#include <cstdio>
#include <cwchar>
#include <iterator>

#include "camcorder_control.h"
#include "camera_control.h"
#include "ce_container.h"
#include "common_control.h"
#include "debug_print.h"
#include "draw_context.h"
#include "gps_control.h"
#include "gui_screens.h"
#include "gui_stack.h"
#include "main_frame.h"
#include "settings.h"
#include "system.h"

namespace {

constexpr COLORREF kMarkerOff = RGB(0xA5, 0xA5, 0xA5);
constexpr COLORREF kEdgeFound = RGB(0, 255, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);

// The edge flags of the automatic shot's detection, in the order left, top, right, bottom.
void EdgeFlags(bool (&found)[4])
{
    const RECT& edge = CCommonControl::GetInstance()->m_rcEdge;
    found[0] = edge.left != 0;
    found[1] = edge.top != 0;
    found[2] = edge.right != 0;
    found[3] = edge.bottom != 0;
}

// A frame of 2-pixel lines centred on the rectangle's edges, drawn as bars so
// that both display codes cover the same layout pixels.
void Frame(CDrawContext* dc, const RECT& r)
{
    const RECT bars[4] = {{r.left - 1, r.top - 1, r.right + 1, r.top + 1},
                          {r.left - 1, r.bottom - 1, r.right + 1, r.bottom + 1},
                          {r.left - 1, r.top - 1, r.left + 1, r.bottom + 1},
                          {r.right - 1, r.top - 1, r.right + 1, r.bottom + 1}};
    for (const RECT& bar : bars)
        dc->FillRect(&bar, RGB(255, 255, 255));
}

bool DrawingHeld() { return (CSettings::GetInstance()->GetFlags() & SETTINGS_FLAG_DRAW_HELD) != 0; }

}  // namespace

CPreviewGUI::CPreviewGUI() = default;

CPreviewGUI::~CPreviewGUI()
{
    for (int i = static_cast<int>(std::size(m_spBitmaps)) - 1; i >= 0; --i)
        m_spBitmaps[i] = nullptr;
}

int CPreviewGUI::DrawLayer2(CDrawContext* dc)
{
    if (DrawingHeld())
        return 1;
    if (CeContainer* top = m_pStack->Top())
        top->Draw(dc);
    if (DrawingHeld() || !DrawsShotGuides())
        return 1;
    CMainFrame* frame = CMainFrame::GetInstance();
    if (frame->m_options.bcrOcrMode == 1) {
        CPreviewCameraGUI* camera = CPreviewCameraGUI::PeekInstance();
        if (camera && camera->m_bModeNotice)
            CCommonControl::GetInstance()->m_rcEdge = RECT{0, 0, 0, 0};
        if (frame->m_options.enableAutoFocus)
            DrawGuideLines(dc);
        else
            DrawOverlayAreas(dc);
    }
    if (frame->m_options.singleMultiMode == 0)
        DrawInfoText(dc);
    return 1;
}

int CPreviewGUI::DrawInfoText(CDrawContext* dc)
{
    WCHAR text[16];
    std::swprintf(text, std::size(text), L"%d/%d", CMainFrame::GetInstance()->m_nCurrentSlot + 1, kSeriesSlots);
    HFONT font = nullptr;
    CreateRotatedFont(&font, 18, FW_BOLD, L"Tahoma");
    HDC hdc = dc->m_hDC;
    HGDIOBJ oldFont = SelectObject(hdc, font);
    const UINT oldAlign = SetTextAlign(hdc, TA_CENTER | TA_TOP);
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(hdc, kWhite);
    // Black text with a white outline, readable over any picture.
    for (int y = 6; y <= 8; ++y)
        for (int x = 44; x <= 46; ++x)
            dc->DrawText(x, y, text, -1);
    SetTextColor(hdc, kBlack);
    dc->DrawText(45, 7, text, -1);
    SetTextColor(hdc, oldColour);
    SetBkMode(hdc, oldMode);
    SetTextAlign(hdc, oldAlign);
    SelectObject(hdc, oldFont);
    DeleteObject(font);
    return 1;
}

int CPreviewGUI::DrawGuideLines(CDrawContext* dc)
{
    Frame(dc, RECT{19, 29, 329, 211});
    Frame(dc, RECT{34, 44, 314, 196});

    static constexpr RECT kMarkers[4][2] = {
        {{22, 33, 31, 80}, {22, 160, 31, 207}},     // left
        {{22, 33, 94, 42}, {254, 33, 326, 42}},     // top
        {{317, 33, 326, 80}, {317, 160, 326, 207}}, // right
        {{22, 198, 94, 207}, {254, 198, 326, 207}}, // bottom
    };
    bool found[4];
    EdgeFlags(found);
    for (int edge = 0; edge < 4; ++edge)
        for (const RECT& marker : kMarkers[edge])
            dc->FillRect(&marker, found[edge] ? kEdgeFound : kMarkerOff);
    return 1;
}

int CPreviewGUI::DrawOverlayAreas(CDrawContext* dc)
{
    static constexpr RECT kFrame[4] = {
        {17, 27, 331, 31}, {17, 209, 331, 213}, {17, 27, 21, 213}, {327, 27, 331, 213}};
    for (const RECT& bar : kFrame)
        dc->FillRect(&bar, kWhite);
    static constexpr RECT kEdges[4] = {
        {18, 28, 20, 212},   // left
        {18, 28, 330, 30},   // top
        {328, 28, 330, 212}, // right
        {18, 210, 330, 212}, // bottom
    };
    bool found[4];
    EdgeFlags(found);
    for (int edge = 0; edge < 4; ++edge)
        dc->FillRect(&kEdges[edge], found[edge] ? kEdgeFound : kBlack);
    return 1;
}

int CPreviewGUI::OnKeyDown(HWND, UINT virtualKey, LPARAM keyData)
{
    m_pStack->ForwardKey(virtualKey, static_cast<int>(keyData));
    return 0;
}

int CPreviewGUI::OnKeyUp(HWND, UINT virtualKey, LPARAM)
{
    if (virtualKey != VK_F4)
        return 0;
    // The exit control's command; with the controls taken away the command
    // goes to the main window all the same, so the end key always ends.
    m_pRoot->SetFocusById(CMD_PREVIEW_EXIT_KEY, FALSE);
    if (!m_pRoot->Launch(CMD_PREVIEW_EXIT_KEY, FALSE))
        PostMessageW(GetHwnd(), WM_MAIN_COMMAND, CMD_PREVIEW_EXIT_KEY, 0);
    return 0;
}

void CPreviewGUI::DeleteSetPictures()
{
    CMainFrame* frame = CMainFrame::GetInstance();
    const int last = frame->m_nCurrentSlot < kResultSlots ? frame->m_nCurrentSlot : kResultSlots - 1;
    for (int slot = 0; slot <= last; ++slot) {
        ResultSlot& s = frame->m_slots[slot];
        if (!s.pictureName)
            continue;
        WCHAR path[MAX_PATH * 2];
        std::swprintf(path, std::size(path), L"%ls%ls", frame->m_szPictureFolder, s.pictureName);
        DebugPrint(L"FilePath : %ls\n", path);
        DeleteFileW(path);
        DebugPrint(L"file delete!(%d)\n", slot);
        frame->FreeSlot(slot);
    }
    frame->m_nCurrentSlot = 0;
    frame->m_nShotCount = 0;
}

void CPreviewGUI::ExitPreview()
{
    CCommonControl::GetInstance()->m_bExit = 1;
    m_pStack->PopAll(TRUE);
    DebugPrint(L"PREVIEW EXIT\n");
    if (CBaseGUI* active = CSettings::GetInstance()->GetActiveGUI())
        active->OnClose();
}

void CPreviewGUI::FirstStart()
{
    if (HWND other = FindWindowW(nullptr, L"Vistrel")) {
        SendMessageW(other, WM_KEYUP, VK_F4, 0);
        SetWindowPos(GetHwnd(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    } else {
        DebugPrint(L"[PreviewGUI] Vistrel window not found\n");
    }
    CPreviewCameraGUI::GetInstance()->SetModeNotice(TRUE);
    CSettings::GetInstance()->ClearFlags(SETTINGS_FLAG_DRAW_HELD);
    DebugPrint(L"[PreviewGUI] start-up time %lu ms\n", static_cast<unsigned long>(GetTickCount()));
    CCommonControl* common = CCommonControl::GetInstance();
    common->ResumeWorker();
    if (common->IsUseFocus())
        common->SetFocus(1, 1);
    common->SetZoom(0);
}

int CPreviewGUI::OnCommand(DWORD command, DWORD)
{
    CSettings* settings = CSettings::GetInstance();
    switch (command) {
    case CMD_SHUTTER_CONTROL:
        if (settings->GetMode() == 0)
            CCameraControl::GetInstance()->SignalCaptureEvent();
        else if (CCamcorderControl::GetInstance()->GetState() & (4 | 64))
            CCameraControl::GetInstance()->TriggerCapture();
        return 0;
    case CMD_PREVIEW_EXIT_KEY:
    case CMD_PREVIEW_EXIT_OTHER:
        // The close deletes the screens: nothing may follow.
        ExitPreview();
        return 0;
    case CMD_PREVIEW_EXIT:
        DeleteSetPictures();
        ExitPreview();
        return 0;
    case CMD_TOUCH_EMPTY:
        if (!m_pStack->IsEmpty()) {
            m_pStack->PopAll(TRUE);
            m_pRoot->ResetFocus(0);
        } else {
            OnCommand(settings->IsControlsHidden() ? CMD_CONTROLS_SHOW : CMD_CONTROLS_HIDE, 0);
            m_pRoot->ResetFocus(0);
        }
        CDrawEvent::SendMessage(L"PreviewGUI", __LINE__);
        return 0;
    case CMD_TOUCH_CONTAINER:
        if (!m_pStack->IsEmpty()) {
            m_pStack->PopAll(TRUE);
            m_pRoot->ResetFocus(0);
            CDrawEvent::SendMessage(L"PreviewGUI", __LINE__);
        }
        return 0;
    case CMD_OPEN_VIEWER:
        m_pRoot->RemoveAll();
        CViewerGUI::GetInstance()->OnOpen();
        return 0;
    case CMD_OPEN_SETTINGS_MENU:
        m_pRoot->RemoveAll();
        CPreviewSettingGUI::GetInstance()->OnOpen();
        return 0;
    case CMD_TO_CAMCORDER:
        if (settings->IsGPSOn()) {
            CGPSControl::GetInstance()->Uninit();
            settings->SetUseGPS(FALSE);
        }
        CCamcorderControl::GetInstance()->EnterCamcorderMode();
        return 0;
    case CMD_ZOOM_IN:
    case CMD_ZOOM_OUT:
        CCommonControl::GetInstance()->ZoomStep(command == CMD_ZOOM_IN ? 1 : 0);
        return 0;
    case CMD_PREVIEW_STARTED: {
        PumpKeyMessages(FALSE, TRUE);
        PumpMouseMessages(FALSE, TRUE);
        CSystem::GetInstance()->SetInputFlushTimer(FALSE, 0);
        CMainFrame* frame = CMainFrame::GetInstance();
        frame->m_bInputEnabled = 1;
        settings->SetAutoOffMode(settings->GetAutoOffMode());
        if (settings->GetFlags() & SETTINGS_FLAG_FORCE_EXIT) {
            DebugPrint(L"IsForceCameraExit ===> TRUE...\n");
            if (CFrameApplication* app = frame->GetApplication())
                app->FillBlackClose();
            return 0;
        }
        if (settings->GetFlags() & SETTINGS_FLAG_DRAW_HELD)
            FirstStart();
        return 0;
    }
    default: return 0;
    }
}
