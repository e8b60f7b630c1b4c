#include "viewer_gui.h"

#include <algorithm>
#include <cmath>

#include "camera_control.h"
#include "ce_button.h"
#include "ce_container.h"
#include "common_control.h"
#include "debug_print.h"
#include "display.h"
#include "draw_context.h"
#include "font_manager.h"
#include "gui_screens.h"
#include "gui_stack.h"
#include "image_file_list.h"
#include "main_frame.h"
#include "player_control.h"
#include "settings.h"
#include "shot_control.h"
#include "view_rect.h"

namespace {

constexpr RECT kView = {0, 0, 400, 240};
constexpr UINT kButtonImages[kViewerButtons] = {11010, 11012, 11014, 11016, 11018, 11020};
constexpr DWORD kButtonCommands[kViewerButtons] = {0x10006,        CMD_VIEWER_DETAILS, CMD_MOVIE_PLAY,
                                                   CMD_VIEWER_PAUSE, CMD_VIEWER_PREV,  CMD_VIEWER_NEXT};
// The side band: leave, details, play and pause on one place, previous, next.
constexpr int kButtonTops[kViewerButtons] = {0, 48, 96, 96, 144, 192};
constexpr UINT kPanelImage = 11022;
constexpr UINT VK_ZOOM_IN = 118;   // VK_F7
constexpr UINT VK_ZOOM_OUT = 117;  // VK_F6
constexpr int kPanStep = 200;
constexpr double kMaxZoom = 8.0;
constexpr SIZE kNavigator = {150, 56};
constexpr int kNavigatorMargin = 9;
constexpr UINT_PTR TM_VIEWER_NO_FILES = 7020;
constexpr UINT kNoFilesMs = 1500;
constexpr DWORD CMD_CAMERA_RESUME = 0x20003;

CSettings* Settings() { return CSettings::GetInstance(); }
CImageFileList* List() { return CImageFileList::GetInstance(); }

// The bitmap's layout rectangle fitted into the view and centred.
RECT Fitted(CRotBitmap* picture)
{
    RECT out = kView;
    if (!picture)
        return out;
    const SIZE size = picture->GetSize();
    CViewRect view(kView);
    view.SetViewRect(0, 0, size.cx, size.cy);
    if (!view.GetFittedRect(&out, FALSE))
        out = kView;
    return out;
}

void Offset(RECT& r, int dx)
{
    r.left += dx;
    r.right += dx;
}

// The part of picture that lands in the view when the whole picture is
// stretched over place.
void DrawClipped(HDC dc, int W, int H, CRotBitmap* picture, const RECT& place)
{
    if (!picture || place.right <= place.left || place.bottom <= place.top)
        return;
    const SIZE size = picture->GetSize();
    const RECT d{std::max(place.left, kView.left), std::max(place.top, kView.top), std::min(place.right, kView.right),
                 std::min(place.bottom, kView.bottom)};
    if (d.right <= d.left || d.bottom <= d.top)
        return;
    const double sx = static_cast<double>(size.cx) / (place.right - place.left);
    const double sy = static_cast<double>(size.cy) / (place.bottom - place.top);
    const int srcX = static_cast<int>((d.left - place.left) * sx), srcY = static_cast<int>((d.top - place.top) * sy);
    const int srcW = std::max(1, static_cast<int>((d.right - d.left) * sx));
    const int srcH = std::max(1, static_cast<int>((d.bottom - d.top) * sy));
    RotStretchBlt(dc, W, H, d.left, d.top, d.right - d.left, d.bottom - d.top, picture, srcX, srcY,
                  std::min(srcW, static_cast<int>(size.cx) - srcX), std::min(srcH, static_cast<int>(size.cy) - srcY),
                  SRCCOPY);
}

}  // namespace

void ScaleRect(RECT* rect, double factor)
{
    if (!rect)
        return;
    rect->left = static_cast<LONG>(rect->left * factor);
    rect->top = static_cast<LONG>(rect->top * factor);
    rect->right = static_cast<LONG>(rect->right * factor);
    rect->bottom = static_cast<LONG>(rect->bottom * factor);
}

const RECT& CViewerGUI::ViewRect() { return kView; }

CViewerGUI::CViewerGUI() : m_pZoom(new CZoomViewRect(kView.right - kView.left, kView.bottom - kView.top))
{
    CBaseGUI::LoadResource();
    m_pNormalRow = m_pRoot;
    m_pZoomRow = new CeContainer;
    m_pZoomRow->AddRef();
    m_pZoomRow->SetTarget(GetHwnd());
    CreateRotatedFont(&m_hTitleFont, 20, FW_BOLD, L"Tahoma");
    CreateRotatedFont(&m_hTextFont, 15, FW_BOLD, L"Tahoma");
    m_spPanel = CeLoadImage(kPanelImage);
    CreateControls();
}

CViewerGUI::~CViewerGUI()
{
    KillTimer(GetHwnd(), TM_VIEWER_NO_FILES);
    if (m_pPlayer)
        StopFrames();
    for (HFONT* font : {&m_hTitleFont, &m_hTextFont}) {
        // A deletion that fails once (the font still selected) is tried again.
        if (*font && !DeleteObject(*font))
            DeleteObject(*font);
        *font = nullptr;
    }
    m_spPanel = nullptr;
    m_spPicture = nullptr;
    m_spNeighbour = nullptr;
    delete m_pZoom;
    m_pZoom = nullptr;
    m_pRoot->RemoveAll();
    for (CeButton*& button : m_pButtons) {
        if (button)
            button->Release();
        button = nullptr;
    }
    m_pZoomRow->RemoveAll();
    m_pZoomRow->Release();
    m_pZoomRow = nullptr;
}

// The pictures are held turned for the display they were made for: after a
// turn they are made again, and the list forgets the ones it kept.
int CViewerGUI::LoadResource()
{
    CBaseGUI::LoadResource();
    if (!m_spPicture && !m_spNeighbour)
        return 0;
    CImageFileList* list = List();
    for (int i = 0; i < list->GetCount(); ++i)
        list->ReleaseThumbnail(i);
    if (m_spPicture)
        m_spPicture = list->MakeCurrentThumbnail();
    if (m_spNeighbour)
        LoadNeighbour(m_nDragDirection);
    return 0;
}

void CViewerGUI::CreateControls()
{
    m_pRoot->m_dwFlags |= CE_VISIBLE;
    for (int i = 0; i < kViewerButtons; ++i) {
        CeButton* button =
            CeMakeImageButton(kButtonCommands[i], kButtonImages[i], RECT{360, kButtonTops[i], 400, kButtonTops[i] + 48});
        button->AddRef();
        m_pRoot->AddControl(button);
        m_pButtons[i] = button;
    }
}

double CViewerGUI::ZoomFactor() const { return m_nZoomMode ? m_pZoom->zoom : 1.0; }

BOOL CViewerGUI::IsButtonShown(ViewerButton which) const
{
    return m_pButtons[which] && m_pButtons[which]->IsShown();
}

void CViewerGUI::Redraw() { CDrawEvent::SendMessage(L"ViewerGUI", __LINE__); }

void CViewerGUI::ClearPressed()
{
    m_pNormalRow->ResetFocus(0);
    m_pZoomRow->ResetFocus(0);
}

BOOL CViewerGUI::PlayerPlays() const
{
    return m_pPlayer && (m_pPlayer->GetState() & PLAYER_STATE_PLAYING) != 0;
}

// ---- Opening and closing ----

int CViewerGUI::OnOpen()
{
    CSettings* settings = Settings();
    m_bFromSeries = settings->IsGUIStatus(GUI_STATUS_REVIEW_MULTI);
    if (m_bFromSeries) {
        m_nShotCount = CShotControl::GetInstance()->GetShotCount();
        m_nShotIndex = 0;
    }
    m_nZoomMode = 0;
    m_bZoomValid = FALSE;
    m_pPlayer = nullptr;
    m_bDetails = FALSE;
    m_bDragging = FALSE;
    m_pStack->PopAll(FALSE);
    CCameraControl::GetInstance()->StopPreview();
    settings->RemoveGUIStatus(GUI_STATUS_NOTICE);
    if (settings->IsGUIStatus(GUI_STATUS_CAMERA) || m_bFromSeries)
        m_nReturnScreen = GUI_STATUS_CAMERA;
    else if (settings->IsGUIStatus(GUI_STATUS_CAMCORDER))
        m_nReturnScreen = GUI_STATUS_CAMCORDER;
    if (m_nReturnScreen == GUI_STATUS_CAMERA || m_nReturnScreen == GUI_STATUS_CAMCORDER)
        settings->ChangeGUIStatus(GUI_STATUS_VIEWER, static_cast<DWORD>(m_nReturnScreen));
    m_bOpen = TRUE;
    CImageFileList* list = List();
    const int current = list->GetCurrentIndex();
    list->Scan();
    // A picture chosen on the thumbnail screen stays the one shown.
    list->SetCurrent(current);
    if (m_bFromSeries) {
        m_nShotCount = std::min(m_nShotCount, list->GetCount());
        m_nShotIndex = std::clamp(current, 0, std::max(0, m_nShotCount - 1));
    }
    UpdateButtons();
    ShowCurrent();
    Redraw();
    return 0;
}

int CViewerGUI::OnPaint()
{
    const int result = CBaseGUI::OnPaint();
    // What a scenario waits for before it looks at the screen.
    DebugPrint(L"VIEWER PAINTED: %ls\n", m_bNoFiles ? L"no files"
                                       : m_bDetails  ? L"details"
                                       : m_nZoomMode ? L"zoom"
                                       : m_pPlayer   ? L"video"
                                       : m_spPicture ? L"picture"
                                                     : L"nothing yet");
    return result;
}

int CViewerGUI::OnClose()
{
    // The thumbnail screen closes the viewer as it closes itself: once is enough.
    if (!m_bOpen)
        return 0;
    m_bOpen = FALSE;
    KillTimer(GetHwnd(), TM_VIEWER_NO_FILES);
    m_bNoFiles = FALSE;
    if (m_pPlayer) {
        StopFrames();
        m_pPlayer->Close();
        m_pPlayer = nullptr;
    }
    ClearPressed();
    m_pStack->PopAll(FALSE);
    DropNeighbour();
    m_bDragging = FALSE;
    m_bDetails = FALSE;
    m_nZoomMode = 0;
    m_bZoomValid = FALSE;
    CSettings* settings = Settings();
    if (m_nReturnScreen == GUI_STATUS_CAMERA || m_nReturnScreen == GUI_STATUS_CAMCORDER)
        settings->ChangeGUIStatus(static_cast<DWORD>(m_nReturnScreen), GUI_STATUS_VIEWER | GUI_STATUS_POPUP);
    settings->SetNoticeStatus(TRUE);
    CCommonControl* common = CCommonControl::GetInstance();
    if (m_nReturnScreen == GUI_STATUS_CAMCORDER)
        common->SetGraphMode(1);
    else if (m_nReturnScreen == GUI_STATUS_CAMERA)
        common->SetGraphMode(0);
    else
        CCameraControl::GetInstance()->ResetPreview(1);
    if (m_nReturnScreen == GUI_STATUS_CAMERA && CCameraControl::GetInstance()->GetState() == 2)
        PostMessageW(GetHwnd(), WM_TARGET_COMMAND, CMD_CAMERA_RESUME, 0);
    if (m_bFromSeries) {
        CShotControl::GetInstance()->ReleaseShots();
        settings->RemoveGUIStatus(GUI_STATUS_REVIEW_MULTI);
        m_bFromSeries = FALSE;
    }
    m_spPicture = nullptr;
    return 0;
}

// ---- Entries ----

void CViewerGUI::UpdateButtons()
{
    CImageFileList* list = List();
    auto show = [this](ViewerButton which, bool on) {
        if (m_pButtons[which])
            m_pButtons[which]->SetState(on ? CE_NORMAL : CE_HIDDEN);
    };
    if (!m_pPlayer) {
        const bool video = list->GetKind(list->GetCurrentIndex()) == IMAGE_KIND_VIDEO;
        const int entries = m_bFromSeries ? m_nShotCount : list->GetCount();
        show(kViewerPlay, video);
        show(kViewerPause, false);
        show(kViewerLeave, true);
        show(kViewerDetailsButton, true);
        show(kViewerPrev, entries > 1);
        show(kViewerNext, entries > 1);
        return;
    }
    const DWORD state = m_pPlayer->GetState();
    show(kViewerLeave, true);
    show(kViewerDetailsButton, false);
    show(kViewerPrev, false);
    show(kViewerNext, false);
    show(kViewerPlay, (state & 0x104) != 0);
    show(kViewerPause, (state & 0x440) != 0);
}

void CViewerGUI::ShowCurrent()
{
    CImageFileList* list = List();
    DropNeighbour();
    if (list->GetCount() == 0 || (m_bFromSeries && m_nShotCount == 0)) {
        // "No Files" for a while, then the viewer closes; the GUI thread
        // keeps pumping meanwhile.
        m_spPicture = nullptr;
        m_bNoFiles = TRUE;
        m_pRoot->SetState(CE_DISABLED);
        Redraw();
        SetTimer(GetHwnd(), TM_VIEWER_NO_FILES, kNoFilesMs, &CViewerGUI::NoFilesOver);
        return;
    }
    if (m_bFromSeries)
        list->SetCurrent(m_nShotIndex);
    m_spPicture = list->MakeCurrentThumbnail();
    m_rcPicture = Fitted(m_spPicture.get());
    if (m_nZoomMode)
        LeaveZoom();
}

void CALLBACK CViewerGUI::NoFilesOver(HWND hwnd, UINT, UINT_PTR id, DWORD)
{
    KillTimer(hwnd, id);
    CViewerGUI* viewer = CViewerGUI::PeekInstance();
    if (!viewer || !viewer->m_bNoFiles)
        return;
    viewer->m_bNoFiles = FALSE;
    viewer->m_pRoot->SetState(CE_NORMAL);
    PostMessageW(hwnd, WM_MAIN_COMMAND, 0x10006, 0);
}

void CViewerGUI::Step(int direction)
{
    CImageFileList* list = List();
    BOOL changed = FALSE;
    if (m_bFromSeries) {
        if (m_nShotCount > 1) {
            m_nShotIndex = (m_nShotIndex + direction + m_nShotCount) % m_nShotCount;
            changed = TRUE;
        }
    } else {
        changed = direction > 0 ? list->MoveNext() : list->MovePrev();
    }
    if (changed) {
        UpdateButtons();
        ShowCurrent();
    }
    ClearPressed();
    Redraw();
}

void CViewerGUI::LoadNeighbour(int direction)
{
    m_nDragDirection = direction;
    CImageFileList* list = List();
    if (m_bFromSeries) {
        if (m_nShotCount < 2)
            return;
        const int index = (m_nShotIndex + direction + m_nShotCount) % m_nShotCount;
        m_spNeighbour = list->MakeThumbnail(index);
    } else {
        m_spNeighbour = direction > 0 ? list->PrepareNextThumbnail() : list->PreparePrevThumbnail();
    }
    m_rcNeighbour = Fitted(m_spNeighbour.get());
    // The next picture waits on the right, the previous one on the left.
    Offset(m_rcNeighbour, direction > 0 ? kView.right - kView.left : kView.left - kView.right);
}

void CViewerGUI::DropNeighbour()
{
    m_spNeighbour = nullptr;
    m_nDragDirection = 0;
}

// ---- Commands ----

int CViewerGUI::OnCommand(DWORD command, DWORD argument)
{
    CImageFileList* list = List();
    switch (command) {
    case CMD_VIEWER_DELETE:
        if (m_bNoFiles || list->GetCount() == 0)
            return 0;
        list->DeleteCurrent();
        if (m_bFromSeries) {
            --m_nShotCount;
            CThumbnailGUI::GetInstance()->SetTotal(m_nShotCount);
            if (m_nShotCount <= 0) {
                CThumbnailGUI::GetInstance()->OnClose();
                OnClose();
                return 0;
            }
            m_nShotIndex = std::min(m_nShotIndex, m_nShotCount - 1);
        }
        UpdateButtons();
        ShowCurrent();
        Redraw();
        return 0;
    case CMD_VIEWER_PREV: Step(-1); return 0;
    case CMD_VIEWER_NEXT: Step(1); return 0;
    case CMD_MOVIE_PLAY: {
        CPlayerControl* player = CPlayerControl::GetInstance();
        if (m_pPlayer || !(player->GetState() & 0x104) || list->GetKind(list->GetCurrentIndex()) != IMAGE_KIND_VIDEO)
            return 0;
        if (FAILED(player->OpenFile(list->GetPath(list->GetCurrentIndex()).c_str())))
            return 0;
        m_pPlayer = player;
        {
            std::lock_guard lock(m_frameLock);
            m_bFrames = TRUE;
        }
        player->SetFrameSink(this);
        player->Play();
        UpdateButtons();
        Redraw();
        return 0;
    }
    case CMD_MOVIE_PLAYED:
        if (m_pPlayer)
            Redraw();
        return 0;
    case CMD_VIEWER_PAUSE:
        PausePlaying();
        UpdateButtons();
        Redraw();
        return 0;
    case CMD_MOVIE_STOPED:
        if (m_pPlayer) {
            StopFrames();
            m_pPlayer->Close();
            m_pPlayer = nullptr;
        }
        UpdateButtons();
        Redraw();
        return 0;
    case CMD_MOVIE_PAUSE_RESUME:
        if (m_pPlayer) {
            if (m_pPlayer->GetState() & PLAYER_STATE_PLAYING)
                m_pPlayer->Pause();
            else
                m_pPlayer->Play();
            UpdateButtons();
        }
        Redraw();
        return 0;
    case CMD_VIEWER_DETAILS:
        if (m_bNoFiles || list->GetCount() == 0)
            return 0;
        m_bDetails = TRUE;
        Redraw();
        return 0;
    case 0x10006:
    case 0x10009:
        HideDetails();
        PausePlaying();
        OnClose();
        return 0;
    case 0x10007:
        PausePlaying();
        OnClose();
        return 0;
    case CMD_TOUCH_EMPTY:
        if (m_bDetails || m_pPlayer)
            return 0;
        m_ptDragStart = POINT{static_cast<SHORT>(argument & 0xFFFF), static_cast<SHORT>(argument >> 16)};
        m_ptDrag = m_ptDragStart;
        m_bDragging = TRUE;
        m_nDragDirection = 0;
        return 0;
    case CMD_TOUCH_CONTAINER:
        if (CeContainer* top = m_pStack->Top())
            top->ResetFocus(0);
        else
            m_pRoot->ResetFocus(0);
        Redraw();
        return 0;
    default: return 0;
    }
}

void CViewerGUI::PausePlaying()
{
    if (PlayerPlays())
        m_pPlayer->Pause();
}

void CViewerGUI::HideDetails() { m_bDetails = FALSE; }

void CViewerGUI::StopFrames()
{
    {
        std::lock_guard lock(m_frameLock);
        m_bFrames = FALSE;
    }
    if (m_pPlayer)
        m_pPlayer->SetFrameSink(nullptr);
}

void CViewerGUI::OnPlayerFrame(const WORD* pixels, DWORD bytes, LONG width, LONG height)
{
    if (!pixels || width <= 0 || height <= 0 || bytes < static_cast<DWORD>(width) * static_cast<DWORD>(height) * 2)
        return;
    std::lock_guard lock(m_frameLock);
    if (!m_bFrames)
        return;
    m_turned.resize(static_cast<size_t>(width) * static_cast<size_t>(height));
    if (!CopyFrameForPanel(pixels, width, height, m_turned.data()))
        return;
    CViewRect view(kView);
    view.SetViewRect(0, 0, width, height);
    RECT r = kView;
    view.GetFittedRect(&r, TRUE);
    CDisplay* display = CDisplay::GetInstance();
    HDC dc = nullptr;
    if (FAILED(display->GetPrimaryDC(&dc)) || !dc)
        return;
    DrawFrameForPanel(dc, GetSystemMetrics(SM_CXSCREEN), r, m_turned.data(), width, height);
    display->ReleasePrimaryDC(&dc);
}

// ---- Keys ----

int CViewerGUI::OnKeyDown(HWND, UINT virtualKey, LPARAM keyData)
{
    if (m_pStack->ForwardKey(virtualKey, static_cast<int>(keyData)))
        return 0;
    if (Settings()->IsGUIStatus(GUI_STATUS_CAPTURING))
        return 0;
    if (virtualKey != VK_ZOOM_IN && virtualKey != VK_ZOOM_OUT)
        return 0;
    HideDetails();
    if (virtualKey == VK_ZOOM_IN)
        ZoomIn();
    else
        ZoomOut();
    return 0;
}

void CViewerGUI::ZoomIn()
{
    if (m_nZoomMode == 0) {
        if (m_pPlayer || !m_spPicture) {
            DebugPrint(L"Error:%d-line(%ls||%ls)\r\n    ->Can't init zoom info...\r\n", __LINE__,
                       L"CViewerGUI::OnKeyDown", L"ViewerGUI");
            return;
        }
        m_pZoom->SetView(&m_rcPicture, 1.0);
        m_pZoom->ZoomTo(2.0);
        m_bZoomValid = TRUE;
        m_rcNavigator = RECT{kNavigatorMargin, kView.bottom - kNavigatorMargin - kNavigator.cy,
                             kNavigatorMargin + kNavigator.cx, kView.bottom - kNavigatorMargin};
        m_nZoomMode = 1;
        m_pStack->Push(m_pZoomRow, FALSE);
    } else if (m_bZoomValid) {
        // Past 8 the picture's pixels are all one sees.
        if (m_pZoom->zoom + 1.0 > kMaxZoom)
            return;
        m_pZoom->ZoomTo(m_pZoom->zoom + 1.0);
    } else {
        return;
    }
    Redraw();
}

void CViewerGUI::ZoomOut()
{
    if (m_nZoomMode == 0) {
        CThumbnailGUI::GetInstance()->OnOpen();
        return;
    }
    if (m_bZoomValid && m_pZoom->zoom > 2.0)
        m_pZoom->ZoomTo(m_pZoom->zoom - 1.0);
    else
        LeaveZoom();
    Redraw();
}

void CViewerGUI::LeaveZoom()
{
    m_nZoomMode = 0;
    m_bZoomValid = FALSE;
    m_pStack->PopAll(FALSE);
}

void CViewerGUI::Pan(POINT delta)
{
    if (!m_nZoomMode || !m_bZoomValid)
        return;
    if (m_pZoom->Pan(&delta))
        DrawToPrimary();
}

int CViewerGUI::OnKeyUp(HWND, UINT virtualKey, LPARAM)
{
    switch (virtualKey) {
    case VK_LEFT:
    case VK_RIGHT:
    case VK_UP:
    case VK_DOWN: {
        const int dx = virtualKey == VK_LEFT ? -kPanStep : virtualKey == VK_RIGHT ? kPanStep : 0;
        const int dy = virtualKey == VK_UP ? -kPanStep : virtualKey == VK_DOWN ? kPanStep : 0;
        if (m_nZoomMode) {
            Pan(POINT{dx, dy});
        } else if (!PlayerPlays() && dx != 0) {
            Step(dx < 0 ? 1 : -1);
        }
        return 0;
    }
    case VK_RETURN:
        if (IsButtonShown(kViewerPlay))
            PostMessageW(GetHwnd(), WM_MAIN_COMMAND, CMD_MOVIE_PLAY, 0);
        else if (IsButtonShown(kViewerPause))
            PostMessageW(GetHwnd(), WM_MAIN_COMMAND, CMD_VIEWER_PAUSE, 0);
        return 0;
    case VK_HALF_SHUTTER: OnCommand(0x10009, 0); return 0;
    case VK_F4:
        if (CFrameApplication* app = CMainFrame::GetInstance()->GetApplication())
            app->FillBlackClose();
        return 0;
    default: return 0;
    }
}

// ---- Touch ----

int CViewerGUI::OnLButtonDown(POINT point, WPARAM flags)
{
    if (m_nZoomMode) {
        // The zoomed picture takes every touch: it is panned.
        m_ptDragStart = m_ptDrag = point;
        m_bDragging = TRUE;
        return 0;
    }
    return CBaseGUI::OnLButtonDown(point, flags);
}

int CViewerGUI::OnMouseMove(POINT point, WPARAM)
{
    if (!m_bDragging)
        return 0;
    if (m_nZoomMode) {
        const POINT delta{point.x - m_ptDrag.x, point.y - m_ptDrag.y};
        m_ptDrag = point;
        Pan(delta);
        return 0;
    }
    if (m_nDragDirection == 0 && point.x != m_ptDragStart.x) {
        LoadNeighbour(point.x < m_ptDragStart.x ? 1 : -1);
        if (m_pButtons[kViewerPlay])
            m_pButtons[kViewerPlay]->SetState(CE_HIDDEN);
    }
    m_ptDrag = point;
    DrawToPrimary();
    return 0;
}

int CViewerGUI::OnLButtonUp(POINT point, WPARAM)
{
    if (!m_bDragging)
        return 0;
    m_bDragging = FALSE;
    if (m_nZoomMode) {
        Pan(POINT{point.x - m_ptDrag.x, point.y - m_ptDrag.y});
        return 0;
    }
    EndDrag(point);
    return 0;
}

void CViewerGUI::EndDrag(POINT point)
{
    const int moved = point.x - m_ptDragStart.x;
    const int direction = m_nDragDirection;
    DropNeighbour();
    if (direction != 0 && std::abs(moved) > (kView.right - kView.left) / 3)
        Step(moved < 0 ? 1 : -1);
    else {
        UpdateButtons();
        Redraw();
    }
}

// ---- Drawing ----

void CViewerGUI::DrawPicture(HDC dc, int W, int H)
{
    CDrawContext context;
    context.Attach(dc);
    context.m_nSurfaceWidth = W;
    context.m_nSurfaceHeight = H;
    context.FillRect(&kView, RGB(0, 0, 0));
    if (!m_spPicture)
        return;
    if (m_nZoomMode && m_bZoomValid) {
        DrawClipped(dc, W, H, m_spPicture.get(), m_pZoom->zoomRect);
        return;
    }
    RECT current = m_rcPicture;
    if (m_bDragging && m_nDragDirection != 0) {
        const int dx = m_ptDrag.x - m_ptDragStart.x;
        Offset(current, dx);
        RECT neighbour = m_rcNeighbour;
        Offset(neighbour, dx);
        DrawClipped(dc, W, H, m_spNeighbour.get(), neighbour);
    }
    DrawClipped(dc, W, H, m_spPicture.get(), current);
}

void CViewerGUI::DrawToPrimary()
{
    CDisplay* display = CDisplay::GetInstance();
    HDC dc = nullptr;
    if (FAILED(display->GetPrimaryDC(&dc)) || !dc)
        return;
    DrawPicture(dc, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
    display->ReleasePrimaryDC(&dc);
}

int CViewerGUI::DrawLayer0(CDrawContext* dc)
{
    if (m_pPlayer) {
        // The player's picture shows through the key.
        dc->FillRect(&kView, CE_KEY_COLOUR);
        return 1;
    }
    DrawToPrimary();
    // The panel is blended over the picture, so the picture is also drawn
    // under it here; otherwise the layers leave the view to the shown surface.
    if (m_bDetails)
        DrawPicture(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight);
    return 1;
}

int CViewerGUI::DrawLayer1(CDrawContext* dc)
{
    if (m_bDetails)
        DrawFileInformation(dc);
    if (m_nZoomMode && m_bZoomValid) {
        // The navigator: the whole picture and, inside, the part in view.
        const RECT& box = m_rcNavigator;
        RotDrawFrame(dc->m_hDC, dc->m_nSurfaceWidth, &box, 1, RGB(255, 255, 255));
        const RECT& z = m_pZoom->zoomRect;
        const double zw = std::max<LONG>(1, z.right - z.left), zh = std::max<LONG>(1, z.bottom - z.top);
        const int bw = box.right - box.left, bh = box.bottom - box.top;
        RECT seen{box.left + static_cast<int>((kView.left - z.left) * bw / zw),
                  box.top + static_cast<int>((kView.top - z.top) * bh / zh),
                  box.left + static_cast<int>((kView.right - z.left) * bw / zw),
                  box.top + static_cast<int>((kView.bottom - z.top) * bh / zh)};
        seen = RECT{std::max(seen.left, box.left), std::max(seen.top, box.top), std::min(seen.right, box.right),
                    std::min(seen.bottom, box.bottom)};
        RotDrawFrame(dc->m_hDC, dc->m_nSurfaceWidth, &seen, 2, RGB(255, 200, 0));
    }
    if (m_bNoFiles) {
        SetTextColor(dc->m_hDC, RGB(255, 255, 255));
        SetBkMode(dc->m_hDC, TRANSPARENT);
        const HGDIOBJ old = SelectObject(dc->m_hDC, m_hTitleFont);
        RotDrawText(dc->m_hDC, dc->m_nSurfaceWidth, &kView, L"No Files", -1, 5);
        SelectObject(dc->m_hDC, old);
    }
    if (CeContainer* top = m_pStack->Top())
        top->Draw(dc);
    else
        m_pRoot->Draw(dc);
    return 1;
}
