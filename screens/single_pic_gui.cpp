// The single-picture screens' life, commands and the recognition thread's
// entry; their drawing and pen handling are in single_pic_draw.cpp.
#include "single_pic_gui.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>
#include <string>

#include "ImageDecoder.h"
#include "app_messages.h"
#include "camera_control.h"
#include "common_control.h"
#include "debug_print.h"
#include "display.h"
#include "gui_screens.h"
#include "layout_manager.h"
#include "main_frame.h"
#include "recognition_run.h"
#include "settings.h"
#include "shot_control.h"

namespace {

constexpr const WCHAR* kSource = L"SinglePicBaseGUI";
constexpr const WCHAR* kKeypadKey = L"System\\State\\Velmora\\Keypad";
constexpr UINT kNextShotDelay = 500;
// The last shot of a series that still goes back for another.
constexpr int kSeriesNextLimit = 19;
// The shot's picture area on the landscape screen.
constexpr int kPictureWidth = 320;
constexpr int kPictureHeight = 240;

CRecognitionRun& Run() { return CRecognitionRun::Instance(); }

}  // namespace

// ---- life --------------------------------------------------------------------

CSinglePicBaseGUI::CSinglePicBaseGUI() = default;

CSinglePicBaseGUI::~CSinglePicBaseGUI()
{
    if (m_hPicture)
        DeleteObject(m_hPicture);
}

int CSinglePicBaseGUI::LoadResource()
{
    CBaseGUI::LoadResource();
    m_bLoaded = true;
    CMainFrame* frame = CMainFrame::GetInstance();
    if (frame->m_options.singleMultiMode != 0)
        for (int i = 1; i < kSideButtons; ++i)
            m_nButtonState[i] = kButtonDisabled;
    return 0;
}

int CSinglePicBaseGUI::UnloadResource()
{
    m_bLoaded = false;
    return 0;
}

int CSinglePicBaseGUI::OnOpen()
{
    CMainFrame* frame = CMainFrame::GetInstance();
    const bool single = frame->m_options.singleMultiMode != 0;
    ResetButtons();
    frame->m_nView = VIEW_SINGLE_PICTURE;
    CRecognitionRun& run = Run();
    run.stop = 0;
    LoadResource();
    CPreviewCameraGUI::GetInstance()->UnloadResource();
    run.continueFlag = 1;
    run.lastProgressPercent = 0;
    run.cancelPressed = 0;
    if (single) {
        run.canceled = 0;
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, kKeypadKey, L"LumOCRRecognizing", 0);
    }
    run.preparing = 1;
    run.goToPreview = 0;
    m_bProgressTold = false;
    return 0;
}

int CSinglePicBaseGUI::OnClose()
{
    UnloadResource();
    return 0;
}

void CSinglePicBaseGUI::BackToPreview()
{
    UnloadResource();
    // The preview was locked when the recognition took its buffers.
    CCommonControl::GetInstance()->m_bPreviewLock = 0;
    Run().goToPreview = 1;
    // Quiet: the stream's start alone tells the camera screen, which lets go
    // of pending input once; a second notice would drop input that came
    // after the screen said it takes it.
    CCameraControl::GetInstance()->ResetPreview(1);
}

void CSinglePicBaseGUI::Redraw() { CDrawEvent::PostMessage(kSource, __LINE__); }

void CSinglePicBaseGUI::ResetButtons()
{
    for (int& state : m_nButtonState)
        state = kButtonNormal;
    // A single shot has nothing for the side bar to do but leave.
    if (CMainFrame::GetInstance()->m_options.singleMultiMode != 0)
        for (int i = 1; i < kSideButtons; ++i)
            m_nButtonState[i] = kButtonDisabled;
}

void CSinglePicBaseGUI::ResetPopup()
{
    ResetButtons();
    Redraw();
}

// ---- the recognition ---------------------------------------------------------

DWORD CSinglePicBaseGUI::RecognitionThread(LPVOID)
{
    // The final command goes to the screen on view: the review screen when
    // it is there.
    CBaseGUI* target = CReviewSingleGUI::PeekInstance();
    if (!target)
        target = CSinglePicBaseGUI::GetInstance();
    return Run().Run(reinterpret_cast<LPARAM>(target));
}

std::int32_t CSinglePicBaseGUI::ProgressCallback(std::int32_t percent)
{
    return CRecognitionRun::ProgressCallback(percent);
}

void CSinglePicBaseGUI::CancelRecognition() { Run().Cancel(); }

int CSinglePicBaseGUI::SendToResult(int cp1251) { return Run().SendToResult(cp1251); }

// ---- the shown shot ------------------------------------------------------------

namespace {

// A 16-bit picture stretched to the picture area in its own pixel layout;
// null when it already has the area's size or cannot be scaled.
HBITMAP ScaledToArea(HBITMAP picture)
{
    DIBSECTION dib{};
    if (GetObjectW(picture, sizeof(dib), &dib) != sizeof(dib) || dib.dsBm.bmBitsPixel != 16)
        return nullptr;
    const int height = dib.dsBm.bmHeight < 0 ? -dib.dsBm.bmHeight : dib.dsBm.bmHeight;
    if (dib.dsBm.bmWidth == kPictureWidth && height == kPictureHeight)
        return nullptr;
    struct {
        BITMAPINFOHEADER header;
        DWORD masks[3];
    } info{};
    info.header = dib.dsBmih;
    info.header.biSize = sizeof(info.header);
    info.header.biWidth = kPictureWidth;
    info.header.biHeight = -kPictureHeight;
    info.header.biSizeImage = 0;
    std::copy(std::begin(dib.dsBitfields), std::end(dib.dsBitfields), info.masks);
    void* bits = nullptr;
    HBITMAP fitted =
        CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!fitted)
        return nullptr;
    HDC from = CreateCompatibleDC(nullptr);
    HDC to = CreateCompatibleDC(nullptr);
    HGDIOBJ oldFrom = SelectObject(from, picture);
    HGDIOBJ oldTo = SelectObject(to, fitted);
    const BOOL ok = StretchBlt(to, 0, 0, kPictureWidth, kPictureHeight, from, 0, 0, dib.dsBm.bmWidth, height, SRCCOPY);
    SelectObject(from, oldFrom);
    SelectObject(to, oldTo);
    DeleteDC(from);
    DeleteDC(to);
    if (!ok) {
        DeleteObject(fitted);
        return nullptr;
    }
    return fitted;
}

}  // namespace

void CSinglePicBaseGUI::ShowPicture(HBITMAP picture)
{
    if (m_hPicture)
        DeleteObject(m_hPicture);
    m_hPicture = picture;
    m_rcPictureView = RECT{0, 0, 0, 0};
    if (!picture)
        return;
    BITMAP bm{};
    GetObjectW(picture, sizeof(bm), &bm);
    const int height = bm.bmHeight < 0 ? -bm.bmHeight : bm.bmHeight;
    // Centred in the picture area, fitted keeping its proportions.
    int w = kPictureWidth;
    int h = bm.bmWidth > 0 ? static_cast<int>(static_cast<long long>(height) * w / bm.bmWidth) : 0;
    if (h > kPictureHeight) {
        h = kPictureHeight;
        w = height > 0 ? static_cast<int>(static_cast<long long>(bm.bmWidth) * h / height) : 0;
    }
    const int left = (kPictureWidth - w) / 2;
    const int top = (kPictureHeight - h) / 2;
    m_rcPictureView = RECT{left, top, left + w, top + h};
    // Every paint stretches the whole picture over the area: scaled once
    // here, a paint copies the area's pixels instead of a full shot's.
    if (HBITMAP fitted = ScaledToArea(picture)) {
        DeleteObject(m_hPicture);
        m_hPicture = fitted;
    }
}

void CSinglePicBaseGUI::ShowStoredPicture(int slot, bool thumbnail)
{
    CMainFrame* frame = CMainFrame::GetInstance();
    if (slot < 0 || slot >= kResultSlots) {
        ShowPicture(nullptr);
        return;
    }
    std::wstring path;
    EnterCriticalSection(&frame->m_cs);
    if (frame->m_slots[slot].pictureName) {
        path = frame->m_szPictureFolder;
        path += frame->m_slots[slot].pictureName;
    }
    LeaveCriticalSection(&frame->m_cs);
    if (path.empty()) {
        ShowPicture(nullptr);
        return;
    }
    CImageDecoder* decoder = CImageDecoder::GetInstance();
    HBITMAP picture = thumbnail ? decoder->DecodeJpegThumbnailToDIB(path.c_str())
                                : decoder->DecodeFileToDIB(path.c_str(), kPictureWidth, kPictureHeight);
    if (!picture && thumbnail)
        picture = decoder->DecodeFileToDIB(path.c_str(), kPictureWidth, kPictureHeight);
    ShowPicture(picture);
}

bool CSinglePicBaseGUI::SeriesMode() const { return CMainFrame::GetInstance()->m_options.singleMultiMode == 0; }

bool CSinglePicBaseGUI::SeriesOpen() const
{
    return SeriesMode() && CMainFrame::GetInstance()->m_bSeriesComplete == 0;
}

void CSinglePicBaseGUI::OnPreviewStopped()
{
    CMainFrame* frame = CMainFrame::GetInstance();
    const bool full = frame->m_bStorageFull != 0;
    // The series bar asked for the set to be read: the set is complete as it is.
    if (SeriesMode() && frame->m_bPreRecognition)
        frame->m_bSeriesComplete = 1;
    const bool complete = frame->m_bSeriesComplete != 0;
    if (full) {
        ShowStoredPicture(frame->m_nCurrentSlot, true);
    } else if (complete) {
        ShowStoredPicture(frame->m_nCurrentSlot - 1, true);
    } else {
        // Saved first, so the shot is shown from the file the run reads.
        CShotControl::GetInstance()->SaveAllShots();
        ShowStoredPicture(frame->m_nCurrentSlot, false);
    }
    ResetButtons();
    if (full)
        m_nButtonState[1] = kButtonDisabled;
    Redraw();
    if (full)
        return;
    if (complete) {
        ::PostMessageW(GetHwnd(), WM_START_RECOGNITION, 0, 0);
        return;
    }
    if (SeriesMode() && frame->m_nShotCount < kSeriesNextLimit)
        ::SetTimer(GetHwnd(), TM_GOBACK_PREVIEW, kNextShotDelay, nullptr);
}

void CSinglePicBaseGUI::OnPreviewStarted()
{
    CSettings* settings = CSettings::GetInstance();
    if (Run().goToPreview) {
        settings->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_REVIEW_SINGLE);
        Redraw();
        return;
    }
    settings->ChangeGUIStatus(GUI_STATUS_REVIEW_SINGLE, GUI_STATUS_CAMERA);
    CPreviewCameraGUI::GetInstance()->OnCommand(CMD_PREVIEW_STARTED, 0);
}

// ---- commands --------------------------------------------------------------------

int CSinglePicBaseGUI::OnCommand(DWORD command, DWORD)
{
    CMainFrame* frame = CMainFrame::GetInstance();
    CRecognitionRun& run = Run();
    switch (command) {
    case CMD_PREVIEW_STARTED:
        OnPreviewStarted();
        return 1;
    case CMD_PREVIEW_STOPED:
        OnPreviewStopped();
        return 1;
    case CMD_STILL_EXIT:
        CancelRecognition();
        run.lastProgressPercent = 0;
        // The close deletes the screens: nothing of this one is touched after.
        if (CFrameApplication* app = frame->GetApplication())
            app->FillBlackClose();
        return 1;
    case CMD_STILL_GOBACK_PREVIEW:
        CancelRecognition();
        run.lastProgressPercent = 0;
        // The next shot of the series names the next slot.
        ++frame->m_nShotCount;
        if (frame->m_nShotCount < kResultSlots)
            frame->m_nCurrentSlot = frame->m_nShotCount;
        CCommonControl::GetInstance()->ClearAutoShotRect();
        BackToPreview();
        return 1;
    case CMD_STILL_GO_RESULT:
        run.GoToResult();
        return 1;
    case CMD_STILL_DROP_SHOT: {
        CancelRecognition();
        const int last = frame->m_nShotCount;
        if (last > 0 && last < kResultSlots) {
            EnterCriticalSection(&frame->m_cs);
            if (const WCHAR* name = frame->m_slots[last].pictureName) {
                const std::wstring path = std::wstring(frame->m_szPictureFolder) + name;
                DeleteFileW(path.c_str());
            }
            LeaveCriticalSection(&frame->m_cs);
            frame->FreeSlot(last);
        }
        run.lastProgressPercent = 0;
        BackToPreview();
        return 1;
    }
    case CMD_STILL_GO_PREVIEW: {
        int good = 0;
        EnterCriticalSection(&frame->m_cs);
        for (const ResultSlot& slot : frame->m_slots)
            good += slot.success != 0;
        LeaveCriticalSection(&frame->m_cs);
        if (good > 0) {
            frame->m_nShotCount = good;
            frame->SetSurfaceDrawBlocked(1);
            CCommonControl::GetInstance()->HoldWorkerOff(&CDisplay::DestroyInstance);
            run.goToPreview = 1;
            ::SendMessageW(GetHwnd(), WM_RECOGNITION_RESULT, 0, 0);
            return 1;
        }
        run.lastProgressPercent = 0;
        frame->m_nShotCount = 0;
        BackToPreview();
        return 1;
    }
    case CMD_STILL_CLEANUP:
        run.CleanUp();
        BackToPreview();
        return 1;
    default: return 0;
    }
}

int CSinglePicBaseGUI::OnKeyDown(HWND, UINT, LPARAM) { return 0; }

int CSinglePicBaseGUI::OnKeyUp(HWND, UINT, LPARAM)
{
    CLayoutManager::PumpKeyMessages(FALSE, TRUE);
    CLayoutManager::PumpMouseMessages(FALSE, TRUE);
    return 0;
}

// ---- the review screen of a camera shot -------------------------------------------

CReviewSingleGUI::CReviewSingleGUI() = default;
CReviewSingleGUI::~CReviewSingleGUI() = default;

int CReviewSingleGUI::OnOpen()
{
    CSinglePicBaseGUI::OnOpen();
    CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_REVIEW_SINGLE, GUI_STATUS_CAMERA);
    CCameraControl::GetInstance()->StopPreview();
    return 0;
}

int CReviewSingleGUI::OnClose()
{
    CSinglePicBaseGUI::OnClose();
    CShotControl::GetInstance()->ReleaseShots();
    return 0;
}

int CReviewSingleGUI::OnCommand(DWORD command, DWORD argument)
{
    if (command == CMD_PREVIEW_STARTED) {
        CSettings::GetInstance()->ChangeGUIStatus(GUI_STATUS_CAMERA, GUI_STATUS_REVIEW_SINGLE | GUI_STATUS_POPUP);
        CDrawEvent::SendMessage(kSource, __LINE__);
    }
    return CSinglePicBaseGUI::OnCommand(command, argument);
}
