// Doubles of the screens and the display the shell calls: each call is
// written to the neighbours' log.
#include <cstdint>

#include "display.h"
#include "gui_screens.h"
#include "image_file_list.h"
#include "neighbour_doubles.h"

using doubles::Log;

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

CBaseGUI::CBaseGUI() = default;
CBaseGUI::~CBaseGUI() = default;
void CBaseGUI::ShowContainer(CeContainer*) { Log("%s::ShowContainer()", ScreenName(this)); }
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

LUM_DEFINE_SCREEN(CThumbnailGUI);
LUM_DEFINE_SCREEN(CMessagePopupGUI);
LUM_DEFINE_SCREEN(CPreviewCameraGUI);

void CMessagePopupGUI::ShowPending() { Log("MessagePopup::ShowPending()"); }
void CMessagePopupGUI::Hide() { Log("MessagePopup::Hide()"); }
int CMessagePopupGUI::LoadResource() { return CBaseGUI::LoadResource(); }
int CMessagePopupGUI::DrawLayer0(CDrawContext*) { return 1; }
int CMessagePopupGUI::DrawLayer2(CDrawContext*) { return 1; }
int CMessagePopupGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CMessagePopupGUI::OnKeyDown(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyDown(hwnd, key, data); }
int CMessagePopupGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
void CPreviewCameraGUI::SetModeNotice(BOOL on) { Log("Preview::SetModeNotice(%d)", on); }

// The preview screens forward to the base's logging operations.
CPreviewGUI::CPreviewGUI() = default;
CPreviewGUI::~CPreviewGUI() = default;
int CPreviewGUI::DrawLayer2(CDrawContext*) { return 1; }
int CPreviewGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CPreviewGUI::OnKeyDown(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyDown(hwnd, key, data); }
int CPreviewGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
int CPreviewGUI::DrawInfoText(CDrawContext*) { return 1; }
int CPreviewGUI::DrawGuideLines(CDrawContext*) { return 1; }
int CPreviewGUI::DrawOverlayAreas(CDrawContext*) { return 1; }
int CPreviewCameraGUI::LoadResource() { return CBaseGUI::LoadResource(); }
int CPreviewCameraGUI::UnloadResource() { return 0; }
int CPreviewCameraGUI::OnClose() { return 0; }
int CPreviewCameraGUI::DrawLayer0(CDrawContext*) { return 1; }
int CPreviewCameraGUI::DrawLayer1(CDrawContext*) { return 1; }
int CPreviewCameraGUI::DrawLayer2(CDrawContext*) { return 1; }
int CPreviewCameraGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CPreviewCameraGUI::OnKeyDown(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyDown(hwnd, key, data); }
int CPreviewCameraGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
int CPreviewCameraGUI::OnLButtonDown(POINT point, WPARAM flags) { return CBaseGUI::OnLButtonDown(point, flags); }
int CPreviewCameraGUI::OnLButtonUp(POINT point, WPARAM flags) { return CBaseGUI::OnLButtonUp(point, flags); }
int CPreviewCameraGUI::OnMouseMove(POINT point, WPARAM flags) { return CBaseGUI::OnMouseMove(point, flags); }
CPreviewSettingGUI::CPreviewSettingGUI() = default;
CPreviewSettingGUI::~CPreviewSettingGUI() = default;
int CPreviewSettingGUI::LoadResource() { return CBaseGUI::LoadResource(); }
int CPreviewSettingGUI::OnOpen() { return CBaseGUI::OnOpen(); }
int CPreviewSettingGUI::OnClose() { return CBaseGUI::OnClose(); }
int CPreviewSettingGUI::DrawLayer1(CDrawContext*) { return 1; }
int CPreviewSettingGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CPreviewSettingGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
int CPreviewSettingGUI::OnLButtonDown(POINT point, WPARAM flags) { return CBaseGUI::OnLButtonDown(point, flags); }
int CThumbnailGUI::LoadResource() { return CBaseGUI::LoadResource(); }
CReviewMultiCapturedGUI::CReviewMultiCapturedGUI() = default;
CReviewMultiCapturedGUI::~CReviewMultiCapturedGUI() = default;
int CReviewMultiCapturedGUI::OnOpen() { return CBaseGUI::OnOpen(); }
int CReviewMultiCapturedGUI::LoadResource() { return CBaseGUI::LoadResource(); }
int CReviewMultiCapturedGUI::OnClose() { return CBaseGUI::OnClose(); }
int CReviewMultiCapturedGUI::DrawLayer0(CDrawContext*) { return 1; }
int CReviewMultiCapturedGUI::DrawLayer1(CDrawContext*) { return 1; }
int CReviewMultiCapturedGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
CReviewMovieGUI::CReviewMovieGUI() = default;
CReviewMovieGUI::~CReviewMovieGUI() = default;
int CReviewMovieGUI::OnOpen() { return CBaseGUI::OnOpen(); }
int CReviewMovieGUI::OnClose() { return CBaseGUI::OnClose(); }
int CReviewMovieGUI::LoadResource() { return CBaseGUI::LoadResource(); }
int CReviewMovieGUI::DrawLayer0(CDrawContext*) { return 1; }
int CReviewMovieGUI::DrawLayer2(CDrawContext*) { return 1; }
int CReviewMovieGUI::OnEvent(UINT message, WPARAM wParam, LPARAM lParam) { return CBaseGUI::OnEvent(message, wParam, lParam); }
int CReviewMovieGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CReviewMovieGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
void CReviewMovieGUI::OnPlayerFrame(const WORD*, DWORD, LONG, LONG) {}
CPreviewCamcorderGUI::CPreviewCamcorderGUI() = default;
CPreviewCamcorderGUI::~CPreviewCamcorderGUI() = default;
int CPreviewCamcorderGUI::LoadResource() { return CBaseGUI::LoadResource(); }
int CPreviewCamcorderGUI::OnClose() { return CBaseGUI::OnClose(); }
int CPreviewCamcorderGUI::DrawLayer2(CDrawContext*) { return 1; }
int CPreviewCamcorderGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CPreviewCamcorderGUI::OnKeyDown(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyDown(hwnd, key, data); }
int CPreviewCamcorderGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
int CPreviewCamcorderGUI::OnLButtonUp(POINT point, WPARAM flags) { return CBaseGUI::OnLButtonUp(point, flags); }
CViewerGUI::CViewerGUI() = default;
void CViewerGUI::OnPlayerFrame(const WORD*, DWORD, LONG, LONG) {}
CViewerGUI::~CViewerGUI() = default;
int CViewerGUI::OnOpen() { return CBaseGUI::OnOpen(); }
int CViewerGUI::OnClose() { return CBaseGUI::OnClose(); }
int CViewerGUI::LoadResource() { return CBaseGUI::LoadResource(); }
int CViewerGUI::OnPaint() { return CBaseGUI::OnPaint(); }
int CViewerGUI::DrawLayer0(CDrawContext*) { return 1; }
int CViewerGUI::DrawLayer1(CDrawContext*) { return 1; }
int CViewerGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CViewerGUI::OnKeyDown(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyDown(hwnd, key, data); }
int CViewerGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
int CViewerGUI::OnLButtonDown(POINT point, WPARAM flags) { return CBaseGUI::OnLButtonDown(point, flags); }
int CViewerGUI::OnLButtonUp(POINT point, WPARAM flags) { return CBaseGUI::OnLButtonUp(point, flags); }
int CViewerGUI::OnMouseMove(POINT point, WPARAM flags) { return CBaseGUI::OnMouseMove(point, flags); }
int CThumbnailGUI::OnOpen() { return CBaseGUI::OnOpen(); }
int CThumbnailGUI::OnClose() { return CBaseGUI::OnClose(); }
int CThumbnailGUI::DrawLayer1(CDrawContext*) { return 1; }
int CThumbnailGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CThumbnailGUI::OnKeyDown(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyDown(hwnd, key, data); }
int CThumbnailGUI::OnKeyUp(HWND hwnd, UINT key, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, key, data); }
int CThumbnailGUI::OnLButtonDown(POINT point, WPARAM flags) { return CBaseGUI::OnLButtonDown(point, flags); }
// The single-picture screens: every operation the base's double.
CSinglePicBaseGUI::CSinglePicBaseGUI() = default;
CSinglePicBaseGUI::~CSinglePicBaseGUI() = default;
CReviewSingleGUI::CReviewSingleGUI() = default;
CReviewSingleGUI::~CReviewSingleGUI() = default;
int CSinglePicBaseGUI::LoadResource() { return CBaseGUI::LoadResource(); }
int CSinglePicBaseGUI::UnloadResource() { return CBaseGUI::UnloadResource(); }
int CSinglePicBaseGUI::OnOpen() { return CBaseGUI::OnOpen(); }
int CSinglePicBaseGUI::OnClose() { return CBaseGUI::OnClose(); }
int CSinglePicBaseGUI::DrawLayer0(CDrawContext* dc) { return CBaseGUI::DrawLayer0(dc); }
int CSinglePicBaseGUI::DrawLayer1(CDrawContext* dc) { return CBaseGUI::DrawLayer1(dc); }
int CSinglePicBaseGUI::DrawLayer2(CDrawContext* dc) { return CBaseGUI::DrawLayer2(dc); }
int CSinglePicBaseGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
int CSinglePicBaseGUI::OnKeyDown(HWND hwnd, UINT vk, LPARAM data) { return CBaseGUI::OnKeyDown(hwnd, vk, data); }
int CSinglePicBaseGUI::OnKeyUp(HWND hwnd, UINT vk, LPARAM data) { return CBaseGUI::OnKeyUp(hwnd, vk, data); }
int CSinglePicBaseGUI::OnLButtonDown(POINT p, WPARAM flags) { return CBaseGUI::OnLButtonDown(p, flags); }
int CSinglePicBaseGUI::OnLButtonUp(POINT p, WPARAM flags) { return CBaseGUI::OnLButtonUp(p, flags); }
int CSinglePicBaseGUI::OnMouseMove(POINT p, WPARAM flags) { return CBaseGUI::OnMouseMove(p, flags); }
void CSinglePicBaseGUI::BackToPreview() { Log("SinglePic::BackToPreview()"); }
DWORD CSinglePicBaseGUI::RecognitionThread(LPVOID) { return 0; }
void CSinglePicBaseGUI::CancelRecognition() { Log("SinglePic::CancelRecognition()"); }
int CReviewSingleGUI::OnOpen() { return CBaseGUI::OnOpen(); }
int CReviewSingleGUI::OnClose() { return CBaseGUI::OnClose(); }
int CReviewSingleGUI::OnCommand(DWORD command, DWORD argument) { return CBaseGUI::OnCommand(command, argument); }
