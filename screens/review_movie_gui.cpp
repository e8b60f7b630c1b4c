#include <algorithm>

#include "ImageDecoder.h"
#include "ce_button.h"
#include "ce_container.h"
#include "common_control.h"
#include "debug_print.h"
#include "display.h"
#include "draw_context.h"
#include "gui_stack.h"
#include "main_frame.h"
#include "review_gui.h"
#include "settings.h"
#include "utility.h"

namespace {

constexpr RECT kView = {40, 0, 360, 240};
constexpr RECT kFrame176 = {112, 48, 288, 192};  // a 176 x 144 clip at its own size
constexpr LONG kSmallWidth = 176;
constexpr SIZE kFirstFrameSize = {320, 240};
constexpr UINT kPlayImages[3] = {11030, 11032, 11034};  // play, played, stopped
constexpr UINT kStopImage = 11036;
constexpr UINT kMmsImage = 11038;  // fits, too large
constexpr DWORD kButtonCommands[kMovieButtons] = {CMD_MOVIE_PLAY, 0x10006, 0};
constexpr int kButtonTops[kMovieButtons] = {0, 96, 192};
constexpr DWORD CMD_MOVIE_PAUSE = 0x60006;

CeCtrlAttrib* Look(UINT normal, UINT pressed, UINT disabled)
{
    auto* look = new CeCtrlAttrib();
    look->SetImages(normal, normal, pressed, disabled);
    return look;
}

}  // namespace

CReviewMovieGUI::CReviewMovieGUI()
{
    CBaseGUI::LoadResource();
    CreateControls();
}

CReviewMovieGUI::~CReviewMovieGUI()
{
    {
        std::lock_guard lock(m_frameLock);
        m_bFramesShown = FALSE;
    }
    CPlayerControl::GetInstance()->SetFrameSink(nullptr);
    m_pRoot->RemoveAll();
    for (CeButton*& button : m_pButtons) {
        if (button)
            button->Release();
        button = nullptr;
    }
}

const RECT& CReviewMovieGUI::FrameRect(LONG width) { return width == kSmallWidth ? kFrame176 : kView; }

void CReviewMovieGUI::CreateControls()
{
    m_pRoot->m_dwFlags |= CE_VISIBLE;
    for (int i = 0; i < kMovieButtons; ++i) {
        auto* button = new CeButton();
        button->AddRef();
        const POINT at{360, kButtonTops[i]};
        if (i == kMoviePlay) {
            // The play button's three looks, one attribute each.
            CeCtrlAttrib* const looks[] = {Look(kPlayImages[0], kPlayImages[0] + 1, kPlayImages[0]),
                                           Look(kPlayImages[1], kPlayImages[1] + 1, kPlayImages[1]),
                                           Look(kPlayImages[2], kPlayImages[2] + 1, kPlayImages[2]), nullptr};
            button->Init(kButtonCommands[i], 0, at, looks);
        } else if (i == kMovieStop) {
            button->Init(kButtonCommands[i], Look(kStopImage, kStopImage + 1, kStopImage), 0, at);
        } else {
            // Shows whether the clip fits a message; nothing to press.
            button->Init(kButtonCommands[i], Look(kMmsImage, kMmsImage, kMmsImage + 1), 0, at);
        }
        button->SetRect(RECT{at.x, at.y, at.x + 40, at.y + 48});
        button->m_dwFlags = i == kMovieMms ? CE_VISIBLE : CE_VISIBLE | CE_TAKES_INPUT | CE_RELAUNCH;
        m_pRoot->AddControl(button);
        m_pButtons[i] = button;
    }
    ShowButtons(FALSE);
}

int CReviewMovieGUI::ButtonState(MovieButton which) const { return m_pButtons[which] ? m_pButtons[which]->m_nState : CE_HIDDEN; }

void CReviewMovieGUI::ShowButtons(BOOL shown)
{
    m_pButtons[kMoviePlay]->SetState(shown ? CE_NORMAL : CE_HIDDEN);
    m_pButtons[kMovieStop]->SetState(shown ? CE_NORMAL : CE_HIDDEN);
    if (!shown)
        m_pButtons[kMovieMms]->SetState(CE_HIDDEN);
}

void CReviewMovieGUI::SetMmsState()
{
    const DWORD size = CUtility::GetInstance()->GetFileSize(CSettings::GetInstance()->CurrentOcrPicturePath());
    m_pButtons[kMovieMms]->SetState((size & ~0x3FFu) < kMmsSizeLimit ? CE_NORMAL : CE_DISABLED);
}

void CReviewMovieGUI::Redraw() { CDrawEvent::SendMessage(L"ReviewMovieGUI", __LINE__); }

// ---- Opening and closing ----

int CReviewMovieGUI::OnOpen()
{
    {
        std::lock_guard lock(m_frameLock);
        m_bHasFrame = FALSE;
        m_bFramesShown = TRUE;
        m_bFrameTold = FALSE;
    }
    m_nPlayLook = kMovieLookPlay;
    m_pButtons[kMoviePlay]->SetAttribute(kMovieLookPlay);
    CPlayerControl* player = CPlayerControl::GetInstance();
    player->SetFrameSink(this);
    player->OpenFile(CSettings::GetInstance()->CurrentOcrPicturePath());
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_REVIEW_MOVIE, GUI_STATUS_CAMCORDER);
    m_bActive = TRUE;
    return 0;
}

int CReviewMovieGUI::OnClose()
{
    {
        // The player's thread may be in the frame slot: once this is done,
        // no frame is drawn any more.
        std::lock_guard lock(m_frameLock);
        m_bFramesShown = FALSE;
        m_bHasFrame = FALSE;
        m_nFrameWidth = m_nFrameHeight = 0;
        m_dwFrameBytes = 0;
    }
    CPlayerControl::GetInstance()->SetFrameSink(nullptr);
    m_bActive = FALSE;
    m_pRoot->ResetFocus(0);
    m_spFirstFrame = nullptr;
    m_dwDuration = 0;
    ShowButtons(FALSE);
    CCommonControl::GetInstance()->SetGraphMode(1);
    return 0;
}

void CReviewMovieGUI::LoadFirstFrame()
{
    CPlayerControl* player = CPlayerControl::GetInstance();
    if (m_spFirstFrame || !(player->GetState() & (PLAYER_STATE_READY | PLAYER_STATE_STOPPED)))
        return;
    MakeFirstFrame();
    m_dwDuration = player->GetDuration();
}

void CReviewMovieGUI::MakeFirstFrame()
{
    HDC screen = GetDC(nullptr);
    HBITMAP bitmap = CImageDecoder::GetInstance()->DecodeFileToDIB(
        screen, CSettings::GetInstance()->CurrentOcrPicturePath(), kFirstFrameSize.cx, kFirstFrameSize.cy);
    ReleaseDC(nullptr, screen);
    if (bitmap) {
        CeRefPtr<CRotBitmap> first;
        CRotBitmap::CreateInstance(first);
        if (first && first->Attach(bitmap, TRUE))
            m_spFirstFrame = first;
        else if (!first)
            DeleteObject(bitmap);
    }
}

// The first frame and the last played one are held turned for the display
// they were made for: after a turn the first is made again and the played one
// let go, so the view shows the first until the next frame comes.
int CReviewMovieGUI::LoadResource()
{
    CBaseGUI::LoadResource();
    {
        std::lock_guard lock(m_frameLock);
        m_bHasFrame = FALSE;
    }
    if (m_spFirstFrame) {
        m_spFirstFrame = nullptr;
        MakeFirstFrame();
    }
    return 0;
}

// ---- Commands and keys ----

int CReviewMovieGUI::OnEvent(UINT, WPARAM, LPARAM) { return 0; }

int CReviewMovieGUI::OnCommand(DWORD command, DWORD)
{
    CPlayerControl* player = CPlayerControl::GetInstance();
    switch (command) {
    case CMD_PREVIEW_STARTED:
        CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMCORDER, GUI_STATUS_REVIEW_MOVIE | GUI_STATUS_POPUP);
        return 0;
    case 0x10006:
        if (player->GetState() & PLAYER_STATE_PLAYING)
            player->Pause();
        m_pRoot->ResetFocus(0);
        OnClose();
        return 0;
    case CMD_MOVIE_OPENED:
        LoadFirstFrame();
        ShowButtons(TRUE);
        SetMmsState();
        Redraw();
        return 0;
    case CMD_MOVIE_PLAY:
        player->Play();
        m_nPlayLook = kMovieLookPlayed;
        m_pButtons[kMoviePlay]->SetAttribute(kMovieLookPlayed);
        Redraw();
        return 0;
    case CMD_MOVIE_PLAYED:
        m_nPlayLook = kMovieLookPlayed;
        m_pButtons[kMoviePlay]->SetAttribute(kMovieLookPlayed);
        Redraw();
        return 0;
    case CMD_MOVIE_PAUSE:
        if (player->GetState() & PLAYER_STATE_PLAYING)
            player->Pause();
        Redraw();
        return 0;
    case CMD_MOVIE_STOPED:
        m_nPlayLook = kMovieLookStopped;
        m_pButtons[kMoviePlay]->SetAttribute(kMovieLookStopped);
        SetMmsState();
        Redraw();
        return 0;
    case CMD_MOVIE_PAUSE_RESUME:
        if (player->GetState() & PLAYER_STATE_PLAYING)
            player->Pause();
        else
            player->Play();
        Redraw();
        return 0;
    default: return 0;
    }
}

int CReviewMovieGUI::OnKeyUp(HWND, UINT virtualKey, LPARAM)
{
    const DWORD state = CPlayerControl::GetInstance()->GetState();
    switch (virtualKey) {
    case VK_RETURN:
        if (state & PLAYER_STATE_PLAYING)
            OnCommand(CMD_MOVIE_PAUSE, 0);
        else if (state & (PLAYER_STATE_READY | PLAYER_STATE_STOPPED | PLAYER_STATE_PAUSED))
            OnCommand(CMD_MOVIE_PLAY, 0);
        return 0;
    case VK_F4:
        if (CFrameApplication* app = CMainFrame::GetInstance()->GetApplication())
            app->FillBlackClose();
        return 0;
    default: return 0;
    }
}

// ---- Drawing ----

int CReviewMovieGUI::DrawLayer0(CDrawContext* dc)
{
    LoadFirstFrame();
    std::lock_guard lock(m_frameLock);
    // Once frames are played they are in the shown surface: the view stays
    // in the key so that they show through.
    if (m_bHasFrame)
        return 1;
    dc->FillRect(&kView, RGB(0, 0, 0));
    if (m_spFirstFrame) {
        const RECT& r = FrameRect(m_nFrameWidth);
        const SIZE size = m_spFirstFrame->GetSize();
        RotStretchBlt(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, m_spFirstFrame.get(), 0, 0, size.cx, size.cy, SRCCOPY);
    }
    return 1;
}

int CReviewMovieGUI::DrawLayer2(CDrawContext* dc)
{
    if (CeContainer* top = m_pStack->Top())
        top->Draw(dc);
    m_pRoot->Draw(dc);
    return 1;
}

void CReviewMovieGUI::OnPlayerFrame(const WORD* pixels, DWORD bytes, LONG width, LONG height)
{
    if (!pixels || width <= 0 || height <= 0 || bytes < static_cast<DWORD>(width) * static_cast<DWORD>(height) * 2)
        return;
    std::lock_guard lock(m_frameLock);
    if (!m_bFramesShown)
        return;
    m_nFrameWidth = width;
    m_nFrameHeight = height;
    if (m_frame.empty() || bytes != m_dwFrameBytes) {
        m_frame.assign(static_cast<size_t>(bytes) + 100, 0);
        ++m_nAllocations;
    }
    m_dwFrameBytes = bytes;
    if (!CopyFrameForPanel(pixels, width, height, reinterpret_cast<WORD*>(m_frame.data())))
        return;
    m_bHasFrame = TRUE;
    CDisplay* display = CDisplay::GetInstance();
    HDC dc = nullptr;
    if (FAILED(display->GetBackBufferDC(&dc)) || !dc)
        return;
    DrawFrame(dc, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    if (SUCCEEDED(display->FlipWithDC(dc)) && !m_bFrameTold) {
        m_bFrameTold = TRUE;
        DebugPrint(L"[ReviewMovieGUI] played frame shown (%ld x %ld)\n", static_cast<long>(width),
                   static_cast<long>(height));
    }
}

void CReviewMovieGUI::DrawFrame(HDC dc, int W, int H)
{
    CDrawContext context;
    context.Attach(dc);
    context.m_nSurfaceWidth = W;
    context.m_nSurfaceHeight = H;
    context.FillRect(&kView, RGB(0, 0, 0));
    DrawFrameForPanel(dc, W, FrameRect(m_nFrameWidth), reinterpret_cast<const WORD*>(m_frame.data()), m_nFrameWidth,
                      m_nFrameHeight);
}
