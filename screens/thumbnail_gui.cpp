#include "thumbnail_gui.h"

#include <algorithm>

#include "camera_control.h"
#include "ce_button.h"
#include "ce_container.h"
#include "debug_print.h"
#include "draw_context.h"
#include "gui_screens.h"
#include "gui_stack.h"
#include "image_file_list.h"
#include "message_popup_gui.h"
#include "settings.h"
#include "shot_control.h"
#include "sound_control.h"

namespace {

constexpr UINT kMarkOff = 11000;
constexpr UINT kMarkOn = 11001;
constexpr UINT kVideoOverlay = 11002;
constexpr UINT kDeleteButton = 11003;  // normal, pressed
constexpr UINT kBackButton = 11005;
constexpr SIZE kVideoOverlaySize = {36, 27};
constexpr int kRows = 3;
constexpr UINT VK_THUMB_OPEN = 118;
constexpr UINT VK_STOP_SOUND = 117;

constexpr RECT kCells[kThumbCells] = {
    {40, 1, 146, 80},    {147, 1, 253, 80},    {254, 1, 360, 80},
    {40, 81, 146, 160},  {147, 81, 253, 160},  {254, 81, 360, 160},
    {40, 161, 146, 240}, {147, 161, 253, 240}, {254, 161, 360, 240},
};
constexpr RECT kMarks[kThumbCells] = {
    {44, 5, 70, 31},    {151, 5, 177, 31},    {258, 5, 284, 31},
    {44, 85, 70, 111},  {151, 85, 177, 111},  {258, 85, 284, 111},
    {44, 165, 70, 191}, {151, 165, 177, 191}, {258, 165, 284, 191},
};
constexpr SIZE kStandardSizes[] = {{176, 144},  {320, 240},   {640, 480},  {1280, 960},
                                   {1600, 1200}, {2048, 1536}, {2560, 1920}};

void RedrawNow() { CDrawEvent::SendMessage(L"ThumbnailGUI", __LINE__); }

CSettings* Settings() { return CSettings::GetInstance(); }
CImageFileList* List() { return CImageFileList::GetInstance(); }

CeButton* MakeButton(DWORD command, UINT image, POINT at)
{
    return CeMakeImageButton(command, image, RECT{at.x, at.y, at.x + 40, at.y + 60});
}

}  // namespace

CThumbnailGUI::CThumbnailGUI() { LoadResource(); }

CThumbnailGUI::~CThumbnailGUI()
{
    for (CeButton*& button : m_pButtons) {
        if (button)
            button->Release();
        button = nullptr;
    }
}

const RECT& CThumbnailGUI::CellRect(int cell) { return kCells[std::clamp(cell, 0, kThumbCells - 1)]; }
const RECT& CThumbnailGUI::MarkRect(int cell) { return kMarks[std::clamp(cell, 0, kThumbCells - 1)]; }

int CThumbnailGUI::LoadResource()
{
    CBaseGUI::LoadResource();
    if (!m_spMark[0]) {
        m_spMark[0] = CeLoadImage(kMarkOff);
        m_spMark[1] = CeLoadImage(kMarkOn);
        m_spVideo = CeLoadImage(kVideoOverlay);
    }
    if (!m_pButtons[0]) {
        m_pButtons[0] = MakeButton(CMD_SCREEN_BACK, kBackButton, POINT{360, 0});
        m_pButtons[1] = MakeButton(CMD_THUMBNAIL_DELETE, kDeleteButton, POINT{360, 180});
        m_pRoot->m_dwFlags |= CE_VISIBLE;
        for (CeButton* button : m_pButtons) {
            button->AddRef();
            m_pRoot->AddControl(button);
        }
    }
    return 0;
}

bool CThumbnailGUI::IsStandardSize(SIZE picture)
{
    return std::any_of(std::begin(kStandardSizes), std::end(kStandardSizes),
                       [picture](SIZE s) { return s.cx == picture.cx && s.cy == picture.cy; });
}

RECT CThumbnailGUI::FitInCell(const RECT& cell, SIZE picture)
{
    const int cw = cell.right - cell.left, ch = cell.bottom - cell.top;
    if (IsStandardSize(picture) || picture.cx <= 0 || picture.cy <= 0)
        return cell;
    // Fitted by aspect either way, so a wide picture is not stretched tall.
    int w = cw, h = static_cast<int>(static_cast<long long>(cw) * picture.cy / picture.cx);
    if (h > ch) {
        h = ch;
        w = static_cast<int>(static_cast<long long>(ch) * picture.cx / picture.cy);
    }
    const int x = cell.left + (cw - w) / 2, y = cell.top + (ch - h) / 2;
    return RECT{x, y, x + w, y + h};
}

// ---- Opening and closing ----

int CThumbnailGUI::OnOpen()
{
    CSettings* settings = Settings();
    m_bMultiReview = settings->IsGUIStatus(GUI_STATUS_REVIEW_MULTI) ? 1 : 0;
    // The list is read afresh: pictures come and go while the camera runs.
    List()->Scan();
    m_nTotal = m_bMultiReview ? std::min(CShotControl::GetInstance()->GetShotCount(), List()->GetCount())
                              : List()->GetCount();
    m_bSelectMode = 0;
    m_nFirstRow = 0;
    m_nCurrent = 0;
    m_nLoading = 0;
    List()->ResetCurrent();
    m_nVisible = std::min(m_nTotal, kThumbCells);
    for (auto& thumb : m_spThumbs)
        thumb = nullptr;
    if (m_nTotal > 0) {
        CCameraControl::GetInstance()->StopPreview();
        settings->ChangeGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA, GUI_STATUS_CAMERA);
        LoadThumbnails();
    } else {
        CMessagePopupGUI::GetInstance()->ShowMessage(MSG_NO_PICTURE, 1000);
    }
    return 0;
}

int CThumbnailGUI::OnClose()
{
    m_pRoot->ResetFocus(0);
    m_pStack->PopAll(FALSE);
    m_bMultiReview = 0;
    Settings()->RemoveGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA);
    for (auto& thumb : m_spThumbs)
        thumb = nullptr;
    CViewerGUI::GetInstance()->OnClose();
    return 0;
}

// ---- Loading and navigation ----

void CThumbnailGUI::LoadThumbnails()
{
    CImageFileList* list = List();
    const int count = std::min(m_nVisible, std::max(0, m_nTotal - m_nFirstRow * kRows));
    for (int i = 0; i < kThumbCells; ++i)
        m_spThumbs[i] = nullptr;
    for (int i = 0; i < count; ++i) {
        m_nLoading = i;
        m_spThumbs[i] = list->MakeThumbnail(m_nFirstRow * kRows + i);
        RedrawNow();
    }
}

void CThumbnailGUI::ScrollUp()
{
    --m_nFirstRow;
    CImageFileList* list = List();
    for (int index = (m_nFirstRow + 4) * kRows; index < list->GetCount(); ++index)
        list->ReleaseThumbnail(index);
    m_nVisible = std::min(kThumbCells, m_nTotal - m_nFirstRow * kRows);
    LoadThumbnails();
}

void CThumbnailGUI::ScrollDown()
{
    ++m_nFirstRow;
    if (m_nFirstRow >= 2)
        for (int i = 0; i < kRows; ++i)
            List()->ReleaseThumbnail((m_nFirstRow - 2) * kRows + i);
    m_nVisible = std::min(m_nTotal - m_nFirstRow * kRows, kThumbCells);
    // The last row may be short: the frame stays on a picture.
    m_nCurrent = std::min(m_nCurrent, m_nVisible - 1);
    LoadThumbnails();
}

void CThumbnailGUI::Navigate(UINT key)
{
    const int c = m_nCurrent, r = m_nFirstRow, n = m_nTotal, v = m_nVisible;
    switch (key) {
    case VK_LEFT:
        if (c > 0) {
            m_nCurrent = c - 1;
        } else if (r > 0) {
            m_nCurrent = 8;
            ScrollUp();
        }
        break;
    case VK_RIGHT:
        if (c < v - 1) {
            m_nCurrent = c + 1;
        } else if ((r + 3) * kRows < n) {
            m_nCurrent = 0;
            ScrollDown();
        }
        break;
    case VK_UP:
        if (c > 2)
            m_nCurrent = c - 3;
        else if (r >= 1)
            ScrollUp();
        break;
    case VK_DOWN:
        if (c > 5) {
            if ((r + 3) * kRows < n)
                ScrollDown();
            else
                m_nCurrent = v - 1;
        } else if ((r + 1) * kRows + c < n) {
            m_nCurrent = c + 3;
        }
        break;
    default: return;
    }
    RedrawNow();
}

void CThumbnailGUI::OpenCurrent()
{
    List()->SetCurrent(m_nFirstRow * kRows + m_nCurrent);
    CViewerGUI::GetInstance()->OnOpen();
    Settings()->RemoveGUIStatus(GUI_STATUS_THUMBNAIL_FROM_CAMERA);
    m_bMultiReview = 0;
    RedrawNow();
}

void CThumbnailGUI::DeleteMarked()
{
    CImageFileList* list = List();
    int deleted = 0;
    for (int index = 0; index < list->GetCount() && (!m_bMultiReview || index < m_nTotal - deleted);) {
        if (!list->IsMarked(index)) {
            ++index;
            continue;
        }
        list->DeleteAt(index);
        ++deleted;
    }
    m_bSelectMode = 0;
    if (deleted > 0) {
        list->ResetCurrent();
        m_nFirstRow = 0;
        m_nCurrent = 0;
        m_nLoading = 0;
        if (m_bMultiReview) {
            m_nTotal -= deleted;
            if (m_nTotal <= 0) {
                OnClose();
                return;
            }
        } else {
            m_nTotal = list->GetCount();
        }
        m_nVisible = std::min(m_nTotal, kThumbCells);
        m_pRoot->ResetFocus(0);
        LoadThumbnails();
    }
    m_pRoot->ResetFocus(0);
    RedrawNow();
}

int CThumbnailGUI::CellAt(POINT p) const
{
    for (int cell = 0; cell < m_nVisible; ++cell) {
        const RECT& r = kCells[cell];
        if (p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom)
            return cell;
    }
    return -1;
}

// ---- Input ----

int CThumbnailGUI::OnKeyDown(HWND, UINT virtualKey, LPARAM keyData)
{
    if (m_pStack->ForwardKey(virtualKey, static_cast<int>(keyData)))
        return 0;
    if (!m_pStack->IsEmpty() || Settings()->IsGUIStatus(GUI_STATUS_CAPTURING))
        return 0;
    if (virtualKey >= VK_LEFT && virtualKey <= VK_DOWN) {
        Navigate(virtualKey);
    } else if ((virtualKey == VK_RETURN || virtualKey == VK_THUMB_OPEN) && m_nVisible > 0) {
        OpenCurrent();
    }
    return 0;
}

int CThumbnailGUI::OnKeyUp(HWND, UINT virtualKey, LPARAM)
{
    if (virtualKey == VK_F4)
        m_pRoot->Launch(0x10007, FALSE);
    else if (virtualKey == VK_STOP_SOUND || virtualKey == VK_THUMB_OPEN)
        CSoundControl::GetInstance()->Stop();
    return 0;
}

int CThumbnailGUI::OnLButtonDown(POINT point, WPARAM flags)
{
    const int cell = CellAt(point);
    if (cell < 0)
        return CBaseGUI::OnLButtonDown(point, flags);
    if (m_bSelectMode) {
        const int index = m_nFirstRow * kRows + cell;
        List()->SetMarked(index, !List()->IsMarked(index));
        RedrawNow();
    } else {
        m_nCurrent = cell;
        OpenCurrent();
    }
    return 0;
}

int CThumbnailGUI::OnCommand(DWORD command, DWORD)
{
    switch (command) {
    case CMD_PREVIEW_STARTED:
        Settings()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_THUMBNAIL_FROM_CAMERA | GUI_STATUS_POPUP);
        RedrawNow();
        return 0;
    case CMD_THUMBNAIL_DELETE:
        if (m_bSelectMode) {
            DeleteMarked();
        } else {
            m_bSelectMode = 1;
            m_pRoot->ResetFocus(0);
            RedrawNow();
        }
        return 0;
    case CMD_SCREEN_BACK:
        if (m_bSelectMode) {
            for (int i = 0; i < List()->GetCount(); ++i)
                List()->SetMarked(i, FALSE);
            m_bSelectMode = 0;
            m_pRoot->ResetFocus(0);
            RedrawNow();
        } else {
            OnClose();
        }
        return 0;
    case 0x10009:
    case CMD_THUMBNAIL_CLOSE: OnClose(); return 0;
    case CMD_TOUCH_EMPTY:
    case CMD_TOUCH_CONTAINER: RedrawNow(); return 0;
    default: return 0;
    }
}

// ---- Drawing ----

void CThumbnailGUI::DrawThumbnails(CDrawContext* dc)
{
    DebugPrint(L"[Camera] DrawThumbnailPictures() start");
    CImageFileList* list = List();
    for (int cell = 0; cell < m_nVisible; ++cell) {
        CRotBitmap* thumb = m_spThumbs[cell].get();
        if (!thumb)
            continue;
        const SIZE size = thumb->GetSize();
        const RECT r = FitInCell(kCells[cell], size);
        RotStretchBlt(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, r.left, r.top, r.right - r.left,
                      r.bottom - r.top, thumb, 0, 0, size.cx, size.cy, SRCCOPY);
        if (list->GetKind(m_nFirstRow * kRows + cell) == IMAGE_KIND_VIDEO && m_spVideo)
            dc->DrawBitmap(kCells[cell].left + 35, kCells[cell].top + 26, kVideoOverlaySize.cx, kVideoOverlaySize.cy,
                           m_spVideo.get(), 0, 0, kVideoOverlaySize.cx, kVideoOverlaySize.cy, CE_KEY_COLOUR);
    }
    DebugPrint(L"[Camera] DrawThumbnailPictures() end");
}

int CThumbnailGUI::DrawLayer1(CDrawContext* dc)
{
    const RECT all{0, 0, 400, 240};
    dc->FillRect(&all, RGB(0, 0, 0));
    DrawThumbnails(dc);
    if (m_nVisible > 0) {
        const RECT& frame = kCells[std::clamp(m_nCurrent, 0, kThumbCells - 1)];
        RotDrawFrame(dc->m_hDC, dc->m_nSurfaceWidth, &frame, 2, kThumbFrameColour);
    }
    if (m_bSelectMode) {
        for (int cell = 0; cell < m_nVisible; ++cell) {
            CRotBitmap* mark = m_spMark[List()->IsMarked(m_nFirstRow * kRows + cell) ? 1 : 0].get();
            const RECT& r = kMarks[cell];
            if (mark)
                dc->DrawBitmap(r.left, r.top, r.right - r.left, r.bottom - r.top, mark, 0, 0, r.right - r.left,
                               r.bottom - r.top, CE_KEY_COLOUR);
        }
    }
    if (CeContainer* top = m_pStack->Top())
        top->Draw(dc);
    else
        m_pRoot->Draw(dc);
    return 1;
}
