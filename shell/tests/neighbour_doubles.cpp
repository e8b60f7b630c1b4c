#include "neighbour_doubles.h"

#include <cstdarg>
#include <cstdio>

#include "camcorder_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "gps_control.h"
#include "gui_screens.h"
#include "sound_control.h"

namespace doubles {

std::vector<std::string>& Calls()
{
    static std::vector<std::string> calls;
    return calls;
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

CSoundControl::CSoundControl() = default;
CSoundControl::~CSoundControl() = default;
void CSoundControl::SetShutterIndex(int index) { Log("CSoundControl::SetShutterIndex(%d)", index); }

CGPSControl::CGPSControl() = default;
CGPSControl::~CGPSControl() = default;
void CGPSControl::Init() { Log("CGPSControl::Init()"); }
void CGPSControl::Uninit() { Log("CGPSControl::Uninit()"); }

// The screens' base answers 0 to everything and records nothing: the shell's
// tests look at which screen it chose.
int CBaseGUI::LoadResource() { return 0; }
int CBaseGUI::OnOpen() { return 0; }
int CBaseGUI::OnPaint() { return 0; }
int CBaseGUI::OnEvent(UINT, WPARAM, LPARAM) { return 0; }
int CBaseGUI::OnCommand(DWORD, DWORD) { return 0; }
int CBaseGUI::OnKeyDown(HWND, UINT, LPARAM) { return 0; }
int CBaseGUI::OnKeyUp(HWND, UINT, LPARAM) { return 0; }
int CBaseGUI::OnLButtonDown(POINT, WPARAM) { return 0; }
int CBaseGUI::OnLButtonUp(POINT, WPARAM) { return 0; }
int CBaseGUI::OnMouseMove(POINT, WPARAM) { return 0; }

#define LUM_DEFINE_SCREEN(Name) \
    Name::Name() = default;     \
    Name::~Name() = default

LUM_DEFINE_SCREEN(CPreviewSettingGUI);
LUM_DEFINE_SCREEN(CPreviewCameraGUI);
LUM_DEFINE_SCREEN(CPreviewCamcorderGUI);
LUM_DEFINE_SCREEN(CReviewSingleGUI);
LUM_DEFINE_SCREEN(CReviewMovieGUI);
LUM_DEFINE_SCREEN(CThumbnailGUI);
LUM_DEFINE_SCREEN(CViewerGUI);
LUM_DEFINE_SCREEN(CReviewMultiCapturedGUI);

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
    Clear();
}

}  // namespace doubles
