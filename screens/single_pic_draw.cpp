// Painting and pen handling of the single-picture screens: the shown shot,
// the side bar, the card guide, the series counter, the progress panel with
// its cancel button and the main frame's popups drawn over the screen.
#include <cstdio>
#include <cwchar>
#include <string>
#include <vector>

#include "ce_control.h"
#include "common_control.h"
#include "draw_context.h"
#include "font_manager.h"
#include "haptic_control.h"
#include "layout_manager.h"
#include "main_frame.h"
#include "popup_pen.h"
#include "recognition_run.h"
#include "rot_bitmap.h"
#include "single_pic_gui.h"

namespace {

constexpr COLORREF kKey = CE_KEY_COLOUR;
constexpr COLORREF kBlack = RGB(0, 0, 0);
constexpr COLORREF kWhite = RGB(255, 255, 255);
constexpr COLORREF kGreen = RGB(0, 255, 0);
constexpr int kScreenWidth = 400;
constexpr int kScreenHeight = 240;
constexpr int kSeriesLength = 20;
constexpr int kSeriesFull = 19;

// Images of the program.
constexpr UINT kFocusImage = 10021;         // + indicator 0 to 3
constexpr UINT kSingleLook = 10000;         // look k: normal 10000 + 3k, finger-off + 1, pressed frame + 2
constexpr UINT kProgressPanel = 10200;
constexpr UINT kProgressTrack = 10201;
constexpr UINT kProgressFill = 10202;
constexpr UINT kCancelNormal = 10203;
constexpr UINT kCancelPressed = 10204;
constexpr UINT kPopupFrame = 10301;
constexpr UINT kPopupLeft = 10302;          // pressed + 1
constexpr UINT kPopupCentre = 10304;        // pressed + 1
constexpr UINT kPopupRight = 10306;         // pressed + 1
constexpr UINT kPopupIcon = 10308;          // kinds 1 to 3
constexpr UINT kSlotMarkRows[3] = {10311, 10331, 10351};  // failed, recognised, not taken
// Series bar: per button normal, finger-off, disabled, pressed frame (the
// first button has no disabled look).
constexpr UINT kSeriesImages[4][4] = {
    {10100, 10101, 10101, 10103},
    {10104, 10105, 10106, 10108},
    {10109, 10110, 10111, 10113},
    {10114, 10124, 10116, 10117},
};
enum Look { kLookLeave, kLookCard, kLookDocument, kLookSingle, kLookSeries, kLookGallery, kLookSettings };

// Strings of the language module.
constexpr UINT kRecognisingCaption = 3;
constexpr UINT kCancelLabel = 4;
constexpr UINT kPreparingCaption = 5;
constexpr UINT kSeriesNotice = 253;

constexpr RECT kCancelButton = {98, 157, 302, 188};
constexpr RECT kSingleTopButton = {348, 0, 400, 48};
constexpr RECT kSeriesTopButton = {348, 0, 400, 60};
// While the pen moves, the series bar's top button reacts on its right part.
constexpr RECT kSeriesTopMoveArea = {360, 0, 400, 60};

using popup_pen::Inside;
using popup_pen::TouchPoint;

CMainFrame* Frame() { return CMainFrame::GetInstance(); }
CRecognitionRun& Run() { return CRecognitionRun::Instance(); }

// Draws a picture of the program at its own size; nothing when it is missing.
void Image(CDrawContext* dc, UINT id, int x, int y)
{
    CeRefPtr<CRotBitmap> image = CeLoadImage(id);
    if (!image)
        return;
    const SIZE size = image->GetSize();
    dc->DrawBitmap(x, y, size.cx, size.cy, image.get(), 0, 0, size.cx, size.cy, kKey);
}

// Fonts made once per size and display code (the turn is part of the font).
HFONT Font(int height)
{
    struct Entry {
        int height;
        DWORD code;
        HFONT font;
    };
    static std::vector<Entry> fonts;
    const DWORD code = GetDisplayOrientationCode();
    for (const Entry& e : fonts)
        if (e.height == height && e.code == code)
            return e.font;
    HFONT font = nullptr;
    CreateRotatedFont(&font, height, FW_BOLD, L"Tahoma");
    fonts.push_back({height, code, font});
    return font;
}

// Text centred on x with its top at y, transparent.
void Text(CDrawContext* dc, LPCWSTR text, int x, int y, int height, COLORREF colour)
{
    if (!text || !*text)
        return;
    HGDIOBJ old = SelectObject(dc->m_hDC, Font(height));
    const COLORREF oldColour = SetTextColor(dc->m_hDC, colour);
    const int oldMode = SetBkMode(dc->m_hDC, TRANSPARENT);
    const RECT r{x - 200, y, x + 200, y + height * 2};
    RotDrawText(dc->m_hDC, dc->m_nSurfaceWidth, &r, text, -1, 1);
    SetBkMode(dc->m_hDC, oldMode);
    SetTextColor(dc->m_hDC, oldColour);
    SelectObject(dc->m_hDC, old);
}

// Black text over a white outline.
void OutlinedText(CDrawContext* dc, LPCWSTR text, int x, int y)
{
    static const POINT kAround[] = {{-1, -1}, {0, -1}, {1, -1}, {-1, 0}, {1, 0}, {-1, 1}, {0, 1}, {1, 1}};
    for (POINT d : kAround)
        Text(dc, text, x + d.x, y + d.y, 18, kWhite);
    Text(dc, text, x, y, 18, kBlack);
}

void Fill(CDrawContext* dc, RECT r, COLORREF colour) { dc->FillRect(&r, colour); }

void Line(CDrawContext* dc, HPEN pen, POINT a, POINT b)
{
    CDrawContext::RotatePoint(&a, dc->m_nSurfaceWidth);
    CDrawContext::RotatePoint(&b, dc->m_nSurfaceWidth);
    HGDIOBJ old = SelectObject(dc->m_hDC, pen);
    MoveToEx(dc->m_hDC, a.x, a.y, nullptr);
    LineTo(dc->m_hDC, b.x, b.y);
    SelectObject(dc->m_hDC, old);
}

void Vibrate(bool press)
{
    if (press)
        CHapticControl::GetInstance()->PlayEffectA();
    else
        CHapticControl::GetInstance()->PlayEffectB();
}

std::vector<std::wstring> PopupLines(const CMainFrame* frame)
{
    std::vector<std::wstring> lines;
    if (frame->m_nPopupMultiLine == 1) {
        std::wstring all = frame->m_szPopupText1;
        std::size_t start = 0;
        while (start <= all.size() && lines.size() < 3) {
            const std::size_t end = all.find(L'\n', start);
            lines.push_back(all.substr(start, end == std::wstring::npos ? std::wstring::npos : end - start));
            if (end == std::wstring::npos)
                break;
            start = end + 1;
        }
        return lines;
    }
    for (const WCHAR* text : {frame->m_szPopupText1, frame->m_szPopupText2})
        if (*text)
            lines.push_back(text);
    return lines;
}

}  // namespace

// ---- layers ---------------------------------------------------------------------------

int CSinglePicBaseGUI::DrawLayer0(CDrawContext* dc)
{
    if (!m_hPicture)
        return 1;
    if (m_rcPictureView.left != 0 || m_rcPictureView.top != 0)
        Fill(dc, m_rcScreen.right > m_rcScreen.left ? m_rcScreen : RECT{0, 0, kScreenWidth, kScreenHeight}, kBlack);
    CeRefPtr<CRotBitmap> picture;
    CRotBitmap::CreateInstance(picture);
    if (!picture->SetBitmap(m_hPicture, TRUE, FALSE))
        return 1;
    const SIZE size = picture->GetSize();
    RotStretchBlt(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, 14, 0, 320, 240, picture.get(), 0, 0, size.cx,
                  size.cy, SRCCOPY);
    return 1;
}

void CSinglePicBaseGUI::DrawSideBar(CDrawContext* dc)
{
    CMainFrame* frame = Frame();
    if (!SeriesMode()) {
        const int looks[kSideButtons] = {kLookLeave, frame->m_options.bcrOcrMode ? kLookCard : kLookDocument,
                                         frame->m_options.singleMultiMode ? kLookSingle : kLookSeries, kLookGallery,
                                         kLookSettings};
        for (int i = 0; i < kSideButtons; ++i) {
            const UINT base = kSingleLook + 3 * looks[i];
            const int state = m_nButtonState[i];
            Image(dc, state == kButtonFingerOff || state == kButtonDisabled ? base + 1 : base, 348, 48 * i);
        }
        if (m_nButtonState[0] == kButtonPressed)
            Image(dc, kSingleLook + 3 * kLookLeave + 2, 334, 0);
        return;
    }
    static const int kFrameY[4] = {0, 49, 109, 158};
    for (int i = 0; i < 4; ++i) {
        const int state = m_nButtonState[i];
        const int look = state == kButtonFingerOff ? 1 : state == kButtonDisabled ? 2 : 0;
        Image(dc, kSeriesImages[i][look], 348, 60 * i);
        if (state == kButtonPressed)
            Image(dc, kSeriesImages[i][3], 334, kFrameY[i]);
    }
}

void CSinglePicBaseGUI::DrawGuide(CDrawContext* dc)
{
    if (Frame()->m_options.enableAutoFocus == 0) {
        RECT outer{17, 27, 331, 213};
        RotDrawFrame(dc->m_hDC, dc->m_nSurfaceWidth, &outer, 4, kWhite);
        RECT inner{18, 28, 330, 212};
        RotDrawFrame(dc->m_hDC, dc->m_nSurfaceWidth, &inner, 2, kGreen);
        return;
    }
    HPEN white = CreatePen(PS_SOLID, 2, kWhite);
    static const POINT kLines[][2] = {
        {{19, 29}, {19, 211}},   {{18, 30}, {330, 30}},   {{329, 29}, {329, 211}}, {{18, 210}, {330, 210}},
        {{34, 44}, {34, 196}},   {{33, 45}, {315, 45}},   {{314, 44}, {314, 196}}, {{33, 195}, {315, 195}},
    };
    for (const auto& line : kLines)
        Line(dc, white, line[0], line[1]);
    DeleteObject(white);
    static const RECT kCorners[] = {
        {22, 33, 94, 42},    {22, 33, 31, 80},    {254, 33, 326, 42},  {317, 33, 326, 80},
        {22, 198, 94, 207},  {22, 160, 31, 207},  {254, 198, 326, 207}, {317, 160, 326, 207},
    };
    for (const RECT& r : kCorners)
        Fill(dc, r, kGreen);
}

void CSinglePicBaseGUI::DrawProgress(CDrawContext* dc)
{
    CMainFrame* frame = Frame();
    CRecognitionRun& run = Run();
    if (frame->GetPictureCount() <= 0)
        return;
    Image(dc, kProgressPanel, 91, 45);
    if (!m_bProgressTold) {
        m_bProgressTold = true;
        TellWhenShown(L"[SinglePicBaseGUI] progress panel shown");
    }
    Image(dc, kProgressTrack, 102, 130);
    int percent = run.lastProgressPercent.load();
    percent = percent < 0 ? 0 : percent > 100 ? 100 : percent;
    const int columns = percent * 195 / 100;
    for (int c = 0; c < columns; ++c)
        Image(dc, kProgressFill, 103 + c, 131);
    const bool pressed = run.cancelPressed.load() != 0;
    Image(dc, pressed ? kCancelPressed : kCancelNormal, 98, 157);

    CLayoutManager* layout = CLayoutManager::GetInstance();
    WCHAR caption[128] = {};
    if (run.preparing) {
        std::swprintf(caption, 128, L"%ls", layout->GetString(kPreparingCaption));
    } else {
        std::wstring text = layout->GetString(kRecognisingCaption);
        const int shots = frame->m_nShotCount;
        if (!SeriesMode() || shots <= 1)
            std::swprintf(caption, 128, L"%ls", text.c_str());
        else
            std::swprintf(caption, 128, L"%ls (%d/%d)", text.c_str(), run.currentPicture.load() + 1, shots);
    }
    Text(dc, caption, 200, 56, 16, kBlack);
    WCHAR number[16];
    std::swprintf(number, 16, L"%d%%", percent);
    Text(dc, number, 200, 104, 20, kBlack);
    Text(dc, layout->GetString(kCancelLabel), 200, 166, 17, pressed ? kWhite : kBlack);
}

int CSinglePicBaseGUI::DrawLayer1(CDrawContext* dc)
{
    CMainFrame* frame = Frame();
    const bool open = SeriesOpen();
    if (open) {
        const int indicator = frame->m_nFocusIndicator;
        if (indicator >= 0 && indicator <= 3)
            Image(dc, kFocusImage + static_cast<UINT>(indicator), 148, 102);
    }
    DrawSideBar(dc);
    if (open && frame->m_options.bcrOcrMode == 1)
        DrawGuide(dc);
    if (open) {
        WCHAR counter[16];
        std::swprintf(counter, 16, L"%d/%d", frame->m_nShotCount + 1, kSeriesLength);
        OutlinedText(dc, counter, 45, 7);
    }
    if (frame->m_nPopupType == POPUP_CALL)
        return 1;
    if (open)
        OutlinedText(dc, CLayoutManager::GetInstance()->GetString(kSeriesNotice), 320, 7);
    else
        DrawProgress(dc);
    return 1;
}

void CSinglePicBaseGUI::DrawPopup(CDrawContext* dc)
{
    CMainFrame* frame = Frame();
    const int kind = frame->m_nPopupType.load();
    Image(dc, kPopupFrame, 90, 45);
    if (kind >= 1 && kind <= 3)
        Image(dc, kPopupIcon + static_cast<UINT>(kind - 1), 105, 51);
    Text(dc, frame->m_szPopupTitle, 200, 56, 17, kBlack);
    if (kind == POPUP_RECOG_FAIL && frame->GetPictureCount() > 0) {
        for (int slot = 0; slot < kResultSlots; ++slot) {
            int state = frame->m_slots[slot].resultState;
            state = state < 0 || state > 2 ? 2 : state;
            Image(dc, kSlotMarkRows[state] + static_cast<UINT>(slot), 96 + 21 * (slot % 10), slot < 10 ? 92 : 118);
        }
    } else {
        const std::vector<std::wstring> lines = PopupLines(frame);
        static const int kOne[] = {112};
        static const int kTwo[] = {104, 126};
        static const int kThree[] = {99, 115, 131};
        const int* ys = lines.size() <= 1 ? kOne : lines.size() == 2 ? kTwo : kThree;
        for (std::size_t i = 0; i < lines.size() && i < 3; ++i)
            Text(dc, lines[i].c_str(), 200, ys[i], 17, kBlack);
    }
    if (frame->m_nPopupButtonStyle != 1) {
        const bool left = frame->m_bPopupLeftPressed != 0;
        const bool right = frame->m_bPopupRightPressed != 0;
        Image(dc, kPopupLeft + (left ? 1 : 0), 98, 157);
        Image(dc, kPopupRight + (right ? 1 : 0), 200, 157);
        Text(dc, frame->m_szPopupButton[1], 149, 165, 17, left ? kWhite : kBlack);
        Text(dc, frame->m_szPopupButton[2], 251, 165, 17, right ? kWhite : kBlack);
        return;
    }
    const bool centre = frame->m_bPopupCenterPressed != 0;
    Image(dc, kPopupCentre + (centre ? 1 : 0), 98, 157);
    Text(dc, frame->m_szPopupButton[0], 200, 165, 17, centre ? kWhite : kBlack);
}

int CSinglePicBaseGUI::DrawLayer2(CDrawContext* dc)
{
    CMainFrame* frame = Frame();
    frame->m_bLayerDrawn = 1;
    if (frame->m_nPopupType.load() != 0)
        DrawPopup(dc);
    return 1;
}

// ---- pen ------------------------------------------------------------------------------

int CSinglePicBaseGUI::OnLButtonDown(POINT point, WPARAM)
{
    const POINT p = TouchPoint(point);
    CMainFrame* frame = Frame();
    CRecognitionRun& run = Run();
    frame->m_bPopupCenterPressed = 0;
    frame->m_bPopupLeftPressed = 0;
    frame->m_bPopupRightPressed = 0;
    if (frame->m_bPopupShown || frame->m_nPopupType) {
        if (int* pressed = popup_pen::ButtonAt(frame, p)) {
            *pressed = 1;
            Vibrate(true);
            Redraw();
        }
        return 0;
    }
    if (!run.canceled && Inside(kCancelButton, p)) {
        run.cancelPressed = 1;
        Vibrate(true);
        Redraw();
    }
    if (run.cancelPressed || frame->m_nShotCount == kSeriesFull)
        return 0;
    if (Inside(SeriesMode() ? kSeriesTopButton : kSingleTopButton, p)) {
        m_nButtonState[0] = kButtonPressed;
        m_nTopButtonHeld = 1;
        Vibrate(true);
        Redraw();
    }
    return 0;
}

int CSinglePicBaseGUI::OnMouseMove(POINT point, WPARAM)
{
    const POINT p = TouchPoint(point);
    CMainFrame* frame = Frame();
    if (frame->m_bPopupShown || frame->m_nPopupType || Run().cancelPressed || frame->m_nShotCount == kSeriesFull ||
        m_nTopButtonHeld != 1)
        return 0;
    const int state = Inside(SeriesMode() ? kSeriesTopMoveArea : kSingleTopButton, p) ? kButtonPressed
                                                                                       : kButtonFingerOff;
    if (state != m_nButtonState[0]) {
        m_nButtonState[0] = state;
        Redraw();
    }
    return 0;
}

int CSinglePicBaseGUI::OnLButtonUp(POINT point, WPARAM)
{
    CLayoutManager::PumpKeyMessages(FALSE, TRUE);
    CLayoutManager::PumpMouseMessages(FALSE, TRUE);
    const POINT p = TouchPoint(point);
    CMainFrame* frame = Frame();
    CRecognitionRun& run = Run();
    if (frame->m_bPopupShown || frame->m_nPopupType) {
        for (const popup_pen::Button& b : popup_pen::ButtonsOf(frame)) {
            Vibrate(false);
            if (!(frame->*b.pressed))
                continue;
            frame->*b.pressed = 0;
            if (Inside(b.area, p))
                (frame->*b.action)();
            else
                Redraw();
        }
        return 0;
    }
    if (!run.canceled && run.cancelPressed) {
        Vibrate(false);
        if (Inside(kCancelButton, p)) {
            run.stop = 1;
            CancelRecognition();
            frame->m_bCancelRequested = 1;
            run.lastProgressPercent = 0;
            CCommonControl::GetInstance()->ClearAutoShotRect();
            if (!SeriesMode())
                BackToPreview();
        } else {
            run.cancelPressed = 0;
            Redraw();
        }
    }
    if (run.cancelPressed || frame->m_nShotCount == kSeriesFull)
        return 0;
    if (m_nTopButtonHeld == 0)
        return 0;
    if (m_nTopButtonHeld != 1) {
        m_nTopButtonHeld = 0;
        Redraw();
        return 0;
    }
    m_nButtonState[0] = kButtonNormal;
    Vibrate(false);
    if (Inside(SeriesMode() ? kSeriesTopButton : kSingleTopButton, p)) {
        m_nTopButtonHeld = 0;
        return OnCommand(CMD_STILL_EXIT, 0);
    }
    Redraw();
    return 0;
}
