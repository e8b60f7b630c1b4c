#include "neighbour_doubles.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>

#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "display.h"
#include "dshow_control.h"
#include "gps_control.h"
#include "gui_screens.h"
#include "image_file_list.h"
#include "recognition_cancel.h"
#include "shot_control.h"
#include "sound_control.h"

namespace doubles {

std::vector<std::string>& Calls()
{
    static std::vector<std::string> calls;
    return calls;
}

NeighbourState& State()
{
    static NeighbourState state;
    return state;
}

namespace {

[[gnu::format(printf, 1, 2)]] void Log(const char* format, ...)
{
    char line[160];
    va_list args;
    va_start(args, format);
    std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    Calls().push_back(line);
}

}  // namespace

}  // namespace doubles

using doubles::Log;

CCameraControl::CCameraControl() = default;
CCameraControl::~CCameraControl() = default;
void CCameraControl::SetShotMode(int mode, int flag) { Log("CCameraControl::SetShotMode(%d, %d)", mode, flag); }
int CCameraControl::SetShotModeSize(int index, int value, int apply)
{
    Log("CCameraControl::SetShotModeSize(%d, 0x%x, %d)", index, value, apply);
    return index <= 4;
}
void CCameraControl::SetCaptureOption(int option, int apply)
{
    Log("CCameraControl::SetCaptureOption(%d, %d)", option, apply);
}

DWORD CCameraControl::GetState() const { return doubles::State().cameraState; }
void CCameraControl::SetState(DWORD state)
{
    Log("CCameraControl::SetState(%u)", static_cast<unsigned>(state));
    doubles::State().cameraState = state;
}
int CCameraControl::AttachCamera()
{
    Log("CCameraControl::AttachCamera()");
    return doubles::State().attachResult;
}
int CCameraControl::SetupCaptureGraph(HWND) { Log("CCameraControl::SetupCaptureGraph()"); return 1; }
int CCameraControl::Run()
{
    Log("CCameraControl::Run()");
    return doubles::State().runResult;
}
int CCameraControl::ResetPreview(int flag)
{
    Log("CCameraControl::ResetPreview(%d)", flag);
    return 1;
}
void CCameraControl::StopPreview() { Log("CCameraControl::StopPreview()"); }

CCamcorderControl::CCamcorderControl() = default;
CCamcorderControl::~CCamcorderControl() = default;
void CCamcorderControl::SelectSizeMode(int mode) { Log("CCamcorderControl::SelectSizeMode(%d)", mode); }
int CCamcorderControl::SetVideoSize(int selector, int value, int apply)
{
    Log("CCamcorderControl::SetVideoSize(%d, 0x%x, %d)", selector, value, apply);
    return selector <= 2;
}
void CCamcorderControl::SetStreamOption(DWORD option)
{
    Log("CCamcorderControl::SetStreamOption(%u)", static_cast<unsigned>(option));
}
DWORD CCamcorderControl::GetState() const { return doubles::State().camcorderState; }
DWORD CCamcorderControl::GetRemainingCapacity()
{
    Log("CCamcorderControl::GetRemainingCapacity()");
    return doubles::State().remainingCapacity;
}

CCommonControl::CCommonControl() = default;
CCommonControl::~CCommonControl() = default;
void CCommonControl::SetISO(int value, int apply) { Log("CCommonControl::SetISO(%d, %d)", value, apply); }
void CCommonControl::SetMetering(int value, int apply) { Log("CCommonControl::SetMetering(%d, %d)", value, apply); }
void CCommonControl::SetContrast(int value, int apply) { Log("CCommonControl::SetContrast(%d, %d)", value, apply); }
void CCommonControl::SetSaturation(int value, int apply)
{
    Log("CCommonControl::SetSaturation(%d, %d)", value, apply);
}
void CCommonControl::SetSharpness(int value, int apply)
{
    Log("CCommonControl::SetSharpness(%d, %d)", value, apply);
}
void CCommonControl::SetUseWDR(int value, int apply) { Log("CCommonControl::SetUseWDR(%d, %d)", value, apply); }
void CCommonControl::SetWidePreview(int wide, int apply)
{
    Log("CCommonControl::SetWidePreview(%d, %d)", wide, apply);
}
void CCommonControl::WriteSensorID(int value) { Log("CCommonControl::WriteSensorID(%d)", value); }
void CCommonControl::SetFocus(int mode, int flag) { Log("CCommonControl::SetFocus(%d, %d)", mode, flag); }
void CCommonControl::SetFocusOff() { Log("CCommonControl::SetFocusOff()"); }
void CCommonControl::FreePreviewBuffers() { Log("CCommonControl::FreePreviewBuffers()"); }
void CCommonControl::ClearAutoShotRect() { Log("CCommonControl::ClearAutoShotRect()"); }

CShotControl::CShotControl() = default;
CShotControl::~CShotControl() = default;
CShot* CShotControl::GetShot(int index)
{
    Log("CShotControl::GetShot(%d)", index);
    return index < doubles::State().shotCount ? reinterpret_cast<CShot*>(0x1000 + index) : nullptr;
}
int CShotControl::GetShotCount() const { return doubles::State().shotCount; }
void CShotControl::SaveAllShots() { Log("CShotControl::SaveAllShots()"); }
void CShotControl::ReleaseShots() { Log("CShotControl::ReleaseShots()"); }
void CShotControl::ReleaseShotsEx() { Log("CShotControl::ReleaseShotsEx()"); }
void CShotControl::Destroy() { Log("CShotControl::Destroy()"); }

CDShowControl::CDShowControl() = default;
CDShowControl::~CDShowControl() = default;
HRESULT CDShowControl::HandleGraphEvent()
{
    Log("CDShowControl::HandleGraphEvent()");
    return S_OK;
}
HRESULT CDShowControl::SetAMCameraControl(long property, long value, bool autoFlag)
{
    Log("CDShowControl::SetAMCameraControl(%ld, %ld, %d)", property, value, autoFlag ? 1 : 0);
    return 0;
}
HRESULT CDShowControl::CloseCamera()
{
    Log("CDShowControl::CloseCamera()");
    return S_OK;
}
HRESULT CDShowControl::ReleaseInterfaces()
{
    Log("CDShowControl::ReleaseInterfaces()");
    return S_OK;
}

CImageFileList::CImageFileList() = default;
CImageFileList::~CImageFileList() = default;
void CImageFileList::AddFile(CShot* shot)
{
    Log("CImageFileList::AddFile(%d)", shot ? static_cast<int>(reinterpret_cast<std::uintptr_t>(shot) - 0x1000) : -1);
}
void CImageFileList::Clear() { Log("CImageFileList::Clear()"); }

CDisplay::CDisplay() = default;
CDisplay::~CDisplay() = default;
int CDisplay::Init(HWND)
{
    Log("CDisplay::Init()");
    return doubles::State().displayInitResult;
}
int CDisplay::GetBackBufferDC(HDC* dc)
{
    *dc = nullptr;
    return -1;
}
void CDisplay::DestroyInstance()
{
    Log("CDisplay::DestroyInstance()");
    ReleaseInstance();
}
int RotDrawText(HDC, int, int, const RECT*, LPCWSTR, int, UINT) { return 0; }
CTitleLayout::CTitleLayout() = default;
CTitleLayout::~CTitleLayout() = default;

void CancelRecognition() { Log("CancelRecognition()"); }

CSoundControl::CSoundControl() = default;
CSoundControl::~CSoundControl() = default;
void CSoundControl::SetShutterIndex(int index) { Log("CSoundControl::SetShutterIndex(%d)", index); }
void CSoundControl::Stop() { Log("CSoundControl::Stop()"); }

CGPSControl::CGPSControl() = default;
CGPSControl::~CGPSControl() = default;
HRESULT CGPSControl::Init()
{
    Log("CGPSControl::Init()");
    return S_OK;
}
HRESULT CGPSControl::Uninit()
{
    Log("CGPSControl::Uninit()");
    return S_OK;
}

// The screens' base logs each call with the screen's name, so the tests see
// which screen the frame chose and what it handed over.
namespace {

const char* ScreenName(const CBaseGUI* screen)
{
    if (screen == CPreviewCameraGUI::PeekInstance()) return "Preview";
    if (screen == CPreviewSettingGUI::PeekInstance()) return "SettingMenu";
    if (screen == CPreviewCamcorderGUI::PeekInstance()) return "Camcorder";
    if (screen == CReviewSingleGUI::PeekInstance()) return "ReviewSingle";
    if (screen == CReviewMovieGUI::PeekInstance()) return "ReviewMovie";
    if (screen == CThumbnailGUI::PeekInstance()) return "Thumbnail";
    if (screen == CViewerGUI::PeekInstance()) return "Viewer";
    if (screen == CReviewMultiCapturedGUI::PeekInstance()) return "ReviewMulti";
    if (screen == CMessagePopupGUI::PeekInstance()) return "MessagePopup";
    if (screen == CSinglePicBaseGUI::PeekInstance()) return "SinglePic";
    return "Screen";
}

}  // namespace

int CBaseGUI::LoadResource() { Log("%s::LoadResource()", ScreenName(this)); return 0; }
int CBaseGUI::OnOpen() { Log("%s::OnOpen()", ScreenName(this)); return 0; }
int CBaseGUI::OnPaint() { Log("%s::OnPaint()", ScreenName(this)); return 0; }
int CBaseGUI::OnEvent(UINT message, WPARAM wParam, LPARAM lParam)
{
    Log("%s::OnEvent(0x%x, %ld, %ld)", ScreenName(this), message, static_cast<long>(wParam), static_cast<long>(lParam));
    return 0;
}
int CBaseGUI::OnCommand(DWORD command, DWORD argument)
{
    Log("%s::OnCommand(0x%x, %u)", ScreenName(this), static_cast<unsigned>(command), static_cast<unsigned>(argument));
    return 7;
}
int CBaseGUI::OnKeyDown(HWND, UINT vk, LPARAM)
{
    Log("%s::OnKeyDown(0x%x)", ScreenName(this), vk);
    return 0;
}
int CBaseGUI::OnKeyUp(HWND, UINT vk, LPARAM)
{
    Log("%s::OnKeyUp(0x%x)", ScreenName(this), vk);
    return 0;
}
int CBaseGUI::OnLButtonDown(POINT p, WPARAM)
{
    Log("%s::OnLButtonDown(%ld, %ld)", ScreenName(this), static_cast<long>(p.x), static_cast<long>(p.y));
    return 0;
}
int CBaseGUI::OnLButtonUp(POINT p, WPARAM)
{
    Log("%s::OnLButtonUp(%ld, %ld)", ScreenName(this), static_cast<long>(p.x), static_cast<long>(p.y));
    return 0;
}
int CBaseGUI::OnMouseMove(POINT p, WPARAM)
{
    Log("%s::OnMouseMove(%ld, %ld)", ScreenName(this), static_cast<long>(p.x), static_cast<long>(p.y));
    return 0;
}

#define LUM_DEFINE_SCREEN(Name) \
    Name::Name() = default;     \
    Name::~Name() = default

LUM_DEFINE_SCREEN(CPreviewSettingGUI);
LUM_DEFINE_SCREEN(CPreviewCamcorderGUI);
LUM_DEFINE_SCREEN(CReviewSingleGUI);
LUM_DEFINE_SCREEN(CReviewMovieGUI);
LUM_DEFINE_SCREEN(CThumbnailGUI);
LUM_DEFINE_SCREEN(CViewerGUI);
LUM_DEFINE_SCREEN(CReviewMultiCapturedGUI);
LUM_DEFINE_SCREEN(CMessagePopupGUI);
LUM_DEFINE_SCREEN(CPreviewCameraGUI);
LUM_DEFINE_SCREEN(CSinglePicBaseGUI);

void CMessagePopupGUI::ShowPending() { Log("MessagePopup::ShowPending()"); }
void CPreviewCameraGUI::SetModeNotice(BOOL on) { Log("Preview::SetModeNotice(%d)", on); }
DWORD CSinglePicBaseGUI::RecognitionThread(LPVOID) { return 0; }
void CSinglePicBaseGUI::CancelRecognition() { Log("SinglePic::CancelRecognition()"); }

namespace doubles {

void ReleaseAll()
{
    CCameraControl::ReleaseInstance();
    CCamcorderControl::ReleaseInstance();
    CCommonControl::ReleaseInstance();
    CSoundControl::ReleaseInstance();
    CGPSControl::ReleaseInstance();
    CPreviewSettingGUI::ReleaseInstance();
    CPreviewCameraGUI::ReleaseInstance();
    CPreviewCamcorderGUI::ReleaseInstance();
    CReviewSingleGUI::ReleaseInstance();
    CReviewMovieGUI::ReleaseInstance();
    CThumbnailGUI::ReleaseInstance();
    CViewerGUI::ReleaseInstance();
    CReviewMultiCapturedGUI::ReleaseInstance();
    CMessagePopupGUI::ReleaseInstance();
    CSinglePicBaseGUI::ReleaseInstance();
    CShotControl::ReleaseInstance();
    CDShowControl::ReleaseInstance();
    CImageFileList::ReleaseInstance();
    CDisplay::ReleaseInstance();
    CTitleLayout::ReleaseInstance();
    State() = NeighbourState{};
    Clear();
}

}  // namespace doubles
