#include "panorama_control.h"

#include <cstdio>
#include <cstdlib>
#include <cwchar>

#include "pixels/ImgUtil.h"
#include "camera_control.h"
#include "ce_control.h"
#include "common_control.h"
#include "capture_host.h"
#include "draw_context.h"
#include "font_manager.h"
#include "message_popup_gui.h"
#include "panorama.h"
#include "plat/debug.h"
#include "rot_bitmap.h"
#include "settings.h"
#include "shot_control.h"

namespace {

constexpr const WCHAR* kSourceFile = L"CePanoramaControl.cpp";
constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr int kCompleteNotice = 6;

// The guide frame, centred in the 400 x 240 layout; the position box has its size.
constexpr RECT kGuideFrame{146, 82, 146 + 108, 82 + 79};
constexpr int kLayoutWidth = 400, kLayoutHeight = 240;

struct ArrowPlace {
    int direction;
    UINT id;
    int x, y, w, h;
};
// Where to move next: left, up, right, down on the guide frame's edges.
constexpr ArrowPlace kArrows[4] = {
    {2, IDB_PANORAMA_ARROW_LEFT, 146, 115, 8, 13},
    {4, IDB_PANORAMA_ARROW_UP, 194, 82, 13, 8},
    {1, IDB_PANORAMA_ARROW_RIGHT, 247, 115, 8, 13},
    {8, IDB_PANORAMA_ARROW_DOWN, 194, 153, 13, 8},
};

void LogError(int line, const WCHAR* function, const WCHAR* text)
{
    plat::DebugLine(L"Error:%d-line(%ls||%ls)\r\n    ->", line, function, kSourceFile);
    OutputDebugStringW(text);
}

// The position box's outline by the tracking status; white for any other text.
COLORREF OutlineColour(LPCWSTR status)
{
    if (std::wcscmp(status, L"INVALID") == 0)
        return RGB(255, 0, 0);
    // Pure yellow is the display's word for the notice box's dark shade: a
    // yellow one step off it shows as yellow.
    if (std::wcscmp(status, L"VALID") == 0)
        return RGB(255, 255, 8);
    if (std::wcscmp(status, L"POSITIONED") == 0 || std::wcscmp(status, L"STEADY") == 0)
        return RGB(0, 0, 255);
    return kWhite;
}

}  // namespace

CePanoramaControl::CePanoramaControl() = default;

CePanoramaControl::~CePanoramaControl()
{
    CePanorama::DeleteInstance();
    if (m_hGuideFont)
        DeleteObject(m_hGuideFont);
}

COLORREF CePanoramaControl::StatusColour(LPCWSTR text)
{
    if (!text)
        return 0;
    if (std::wcscmp(text, L"INVALID") == 0)
        return 0x0000FF;
    if (std::wcscmp(text, L"VALID") == 0)
        return 0x00FFFF;
    if (std::wcscmp(text, L"POSITIONED") == 0 || std::wcscmp(text, L"STEADY") == 0)
        return 0xFF7648;
    return 0;
}

int CePanoramaControl::Setup(int shotWidth, int shotHeight, int previewWidth, int previewHeight, int shots)
{
    m_nShotWidth = shotWidth, m_nShotHeight = shotHeight;
    m_nPreviewWidth = previewWidth, m_nPreviewHeight = previewHeight;
    m_bActive = 1;
    m_nState = 16;
    if (m_hGuideFont)
        DeleteObject(m_hGuideFont);
    m_hGuideFont = nullptr;
    GuideFont();
    m_nShots = shots;
    if (!InitializePanorama()) {
        CePanorama::GetInstance()->Release();
        m_bReady = 0;
        return 0;
    }
    m_bReady = 1;
    return 1;
}

HFONT CePanoramaControl::GuideFont()
{
    const DWORD code = GetDisplayOrientationCode();
    if (!m_hGuideFont || code != m_dwFontCode) {
        if (m_hGuideFont)
            DeleteObject(m_hGuideFont);
        m_hGuideFont = nullptr;
        CreateRotatedFont(&m_hGuideFont, 30, FW_BOLD, L"Tahoma");
        m_dwFontCode = code;
    }
    return m_hGuideFont;
}

int CePanoramaControl::InitializePanorama()
{
    CePanorama* panorama = CePanorama::GetInstance();
    if (!panorama->Initialize(GetHwnd(), m_nShotWidth, m_nShotHeight, m_nPreviewWidth, m_nPreviewHeight, m_nShots)) {
        LogError(__LINE__, L"CePanoramaControl::InitializePanorama", L"CePanorama::Initialize()\r\n");
        return 0;
    }
    // A job that does not begin takes no frames: the panorama cannot go on.
    if (!panorama->PanoramaBegin()) {
        LogError(__LINE__, L"CePanoramaControl::InitializePanorama", L"CePanorama::PanoramaBegin()\r\n");
        return 0;
    }
    m_bOutline = 1;
    return 1;
}

int CePanoramaControl::AddShotFrame(BYTE* frame)
{
    OutputDebugStringW(L"CePanoramaControl::AddShotFrame\n");
    LONG width = 0, height = 0;
    CCameraControl::GetInstance()->GetShotSize(&width, &height);
    m_resized.assign(static_cast<size_t>(m_nShotWidth) * m_nShotHeight * 3 / 2, 0);
    if (!frame || m_resized.empty() ||
        !IUYUV420RszRot(frame, width, height, width, height, m_resized.data(), m_nShotWidth, m_nShotHeight, 0)) {
        OutputDebugStringW(L"IUYUV420RszRot FAILED !!!\r\n");
        return 0;
    }
    return CePanorama::GetInstance()->AddShotFrame(m_resized.data());
}

bool CePanoramaControl::AddPreviewFrame(BYTE* frame)
{
    return CePanorama::GetInstance()->AddPreviewFrame(frame);
}

void CePanoramaControl::OnProgress(int percent)
{
    m_nProgress = percent;
    plat::DebugLine(L"Progress : %d\n", percent);
    if (CCommonControl* common = CCommonControl::PeekInstance())
        common->SignalFrame();
}

int CePanoramaControl::OnEvent(int code)
{
    if (code != kCompleteNotice)
        return 1;
    ResetGuide();
    return 1;
}

void CePanoramaControl::ResetGuide()
{
    m_bActive = 0;
    m_bOutline = 0;
    CePanorama::GetInstance()->StopAtCentre();
    if (CSettings::GetInstance()->IsReviewSwitchOn())
        CCameraControl::GetInstance()->StopPreview();
}

void CePanoramaControl::OnStitchDone(BOOL success)
{
    CePanorama* panorama = CePanorama::GetInstance();
    BYTE* data = nullptr;
    int width = 0, height = 0, format = 0;
    // A picture that cannot be had, or kept as a shot, is a failed stitch.
    bool made = success && panorama->GetPanoramaImage(&data, &width, &height, &format);
    if (made) {
        made = CShotControl::GetInstance()->CreatePreviewShot(data, width, height) != 0;
        plat::DebugLine(L"nWidth : %d, nHeight : %d, nFormat : %d\n", width, height, format);
    }
    std::free(data);  // the library hands it over from our allocator
    m_nProgress = -1;
    if (made) {
        FinishShots();
        m_bActive = 1;
        panorama->PanoramaBegin();
    } else {
        m_bCancel = 0;
        panorama->Release();
        InitializePanorama();
        CMessagePopupGUI::GetInstance()->ShowMessage(kPanoramaFailedMessage, kPanoramaFailedMilliseconds);
        m_bActive = 1;
        CCameraControl::GetInstance()->ResetPreview(1);
    }
    panorama->Rearm();
}

void CePanoramaControl::FinishShots()
{
    if (CSettings::GetInstance()->IsReviewSwitchOn()) {
        CaptureHost().OpenShotReview();
        return;
    }
    CSettings::GetInstance()->RemoveGUIStatus(GUI_STATUS_CAPTURING);
    CCameraControl::GetInstance()->SetState(CAPTURE_STATE_IDLE);
    CShotControl* shots = CShotControl::GetInstance();
    shots->SaveAllShots();
    shots->ReleaseShots();
}

void CePanoramaControl::Draw(CDrawContext* dc)
{
    if (!dc || !dc->m_hDC)
        return;
    const PxStatus status = CePanorama::GetInstance()->GetStatus();
    auto image = [dc](UINT id, int x, int y, int w, int h) {
        CeRefPtr<CRotBitmap> bitmap = CeLoadImage(id);
        dc->DrawBitmap(x, y, w, h, bitmap.get(), 0, 0, w, h, kKey);
    };
    image(IDB_PANORAMA_GUIDE_FRAME, kGuideFrame.left, kGuideFrame.top, kGuideFrame.right - kGuideFrame.left,
          kGuideFrame.bottom - kGuideFrame.top);
    for (const ArrowPlace& a : kArrows)
        if (status.direction == a.direction)
            image(a.id, a.x, a.y, a.w, a.h);
    image(IDB_PANORAMA_PROGRESS_FRAME, 68, 213, 234, 12);
    DrawPositionBox(dc);
    if (status.added != 0) {
        CeRefPtr<CRotBitmap> fill = CeLoadImage(IDB_PANORAMA_PROGRESS_FILL);
        RotStretchBlt(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, 70, 215, status.added * 28 + 6, 8,
                      fill.get(), 0, 0, 1, 8, SRCCOPY);
    }
    DrawCount(dc);
}

void CePanoramaControl::DrawPositionBox(CDrawContext* dc)
{
    CePanorama* panorama = CePanorama::GetInstance();
    const COLORREF colour = m_bOutline.load() ? OutlineColour(panorama->GetStatusText()) : kWhite;
    // The camera's motion, in preview pixels, moves the box over the layout.
    const POINT current = panorama->GetCurrentPoint(), reference = panorama->GetReferencePoint();
    int dx = 0, dy = 0;
    if (m_nPreviewWidth > 0 && m_nPreviewHeight > 0) {
        dx = (current.x - reference.x) * kLayoutWidth / m_nPreviewWidth;
        dy = (current.y - reference.y) * kLayoutHeight / m_nPreviewHeight;
    }
    RECT outer{kGuideFrame.left + dx, kGuideFrame.top + dy, kGuideFrame.right + dx, kGuideFrame.bottom + dy};
    RECT inner{outer.left + 3, outer.top + 3, outer.right - 3, outer.bottom - 3};
    RotDrawFrame(dc->m_hDC, dc->m_nSurfaceWidth, &outer, 2, colour);
    RotDrawFrame(dc->m_hDC, dc->m_nSurfaceWidth, &inner, 2, colour);
}

void CePanoramaControl::DrawCount(CDrawContext* dc)
{
    const PxStatus status = CePanorama::GetInstance()->GetStatus();
    WCHAR text[32];
    std::swprintf(text, 32, L"%d/%d", status.added, status.target);
    HFONT font = GuideFont();
    HGDIOBJ oldFont = font ? SelectObject(dc->m_hDC, font) : nullptr;
    const int oldMode = SetBkMode(dc->m_hDC, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(dc->m_hDC, kWhite);
    // A white outline around black digits, right-aligned on x.
    auto text_at = [&](int x, int y, COLORREF colour) {
        SetTextColor(dc->m_hDC, colour);
        const RECT r{x - 200, y, x, y + 40};
        RotDrawText(dc->m_hDC, dc->m_nSurfaceWidth, &r, text, -1, 2);
    };
    static const POINT kOutline[] = {{332, 209}, {332, 211}, {334, 211}, {334, 209}};
    for (POINT p : kOutline)
        text_at(p.x, p.y, kWhite);
    text_at(333, 210, kBlack);
    SetTextColor(dc->m_hDC, oldColour);
    SetBkMode(dc->m_hDC, oldMode);
    if (oldFont)
        SelectObject(dc->m_hDC, oldFont);
}
