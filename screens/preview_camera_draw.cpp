// The camera preview's painting: the focus indicator, the mode notice, both
// bars, the shot-pending text and the main frame's popup.
#include <cwchar>
#include <iterator>
#include <string>
#include <vector>

#include "ce_control.h"
#include "debug_print.h"
#include "draw_context.h"
#include "font_manager.h"
#include "layout_manager.h"
#include "preview_camera_shared.h"
#include "settings.h"

namespace {

constexpr int kSinglePressedY[kSingleButtons] = {0, 38, 86, 134, 172};
constexpr int kMultiPressedY[kMultiButtons] = {0, 49, 109, 158};

// Text with a one-pixel white outline and black on top.
void OutlinedText(CDrawContext* dc, int x, int y, LPCWSTR text)
{
    HDC hdc = dc->m_hDC;
    const COLORREF old = SetTextColor(hdc, RGB(255, 255, 255));
    for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx)
            dc->DrawText(x + dx, y + dy, text, -1);
    SetTextColor(hdc, RGB(0, 0, 0));
    dc->DrawText(x, y, text, -1);
    SetTextColor(hdc, old);
}

// Lines of a text split at each "\n" (at least one).
std::vector<std::wstring> SplitLines(LPCWSTR text)
{
    std::vector<std::wstring> lines(1);
    for (const WCHAR* c = text; *c; ++c) {
        if (*c == L'\n')
            lines.emplace_back();
        else
            lines.back() += *c;
    }
    return lines;
}

int BlankHeight(HDC dc)
{
    SIZE size{};
    GetTextExtentPoint32W(dc, L" ", 1, &size);
    return size.cy;
}

}  // namespace

using namespace preview_camera;

void CPreviewCameraGUI::DrawImage(CDrawContext* dc, UINT id, int x, int y, int w, int h)
{
    auto it = m_images.find(id);
    if (it == m_images.end() || !it->second)
        return;
    dc->DrawBitmap(x, y, w, h, it->second.get(), 0, 0, w, h, RGB(255, 0, 255));
}

void CPreviewCameraGUI::DrawModeNotice(CDrawContext* dc)
{
    CMainFrame* frame = Frame();
    const UINT id = frame->m_options.bcrOcrMode == 1 ? (frame->m_options.enableAutoFocus == 1 ? 252 : 261) : 260;
    WCHAR text[260];
    std::wcsncpy(text, CeGetString(id), std::size(text) - 1);
    text[std::size(text) - 1] = 0;
    if (!text[0])
        return;
    const RECT box{39, 55, 309, 185};
    dc->FillRect(&box, 0x00FFFF);
    HFONT font = nullptr;
    CreateRotatedFont(&font, 20, 500, L"Tahoma");
    HDC hdc = dc->m_hDC;
    HGDIOBJ oldFont = SelectObject(hdc, font);
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    const COLORREF oldColour = SetTextColor(hdc, 0x0AF5FA);
    const UINT oldAlign = SetTextAlign(hdc, TA_CENTER | TA_TOP);
    const std::vector<std::wstring> lines = SplitLines(text);
    const int count = static_cast<int>(lines.size()), height = BlankHeight(hdc);
    DebugPrint(L"LineCount : %d (%ld x %ld)\n", count, box.right - box.left, box.bottom - box.top);
    int y = box.top + ((box.bottom - box.top) - height * count) / 2;
    for (const std::wstring& line : lines) {
        dc->DrawText(174, y, line.c_str(), static_cast<int>(line.size()));
        y += height;
    }
    SetTextAlign(hdc, oldAlign);
    SetTextColor(hdc, oldColour);
    SetBkMode(hdc, oldMode);
    SelectObject(hdc, oldFont);
    DeleteObject(font);
}

int CPreviewCameraGUI::DrawLayer0(CDrawContext* dc)
{
    const int indicator = Frame()->m_nFocusIndicator;
    if (indicator >= 0 && indicator <= 3)
        DrawImage(dc, kIndicatorBase + static_cast<UINT>(indicator), 148, 102, 51, 35);
    if (m_bModeNotice)
        DrawModeNotice(dc);
    return 1;
}

void CPreviewCameraGUI::UpdateMultiStates()
{
    // Buttons 3 and 4 look enabled exactly while they react: the set holds a picture.
    const bool picture = SetHoldsAPicture();
    for (int i = 2; i < 4; ++i) {
        if (!picture)
            m_nMultiState[i] = BAR_DISABLED;
        else if (m_nMultiState[i] == BAR_DISABLED)
            m_nMultiState[i] = BAR_NORMAL;
    }
    if (Frame()->m_bStorageFull)
        m_nMultiState[1] = BAR_DISABLED;
    else if (m_nMultiState[1] == BAR_DISABLED)
        m_nMultiState[1] = BAR_NORMAL;
}

int CPreviewCameraGUI::DrawLayer1(CDrawContext* dc)
{
    if (CSettings::GetInstance()->GetFlags() & SETTINGS_FLAG_DRAW_HELD)
        return 1;
    CMainFrame* frame = Frame();
    if (SingleMode()) {
        const int looks[kSingleButtons] = {LOOK_LEAVE, frame->m_options.bcrOcrMode == 1 ? LOOK_CARD : LOOK_DOCUMENT,
                                           frame->m_options.singleMultiMode == 1 ? LOOK_SINGLE : LOOK_SERIES,
                                           LOOK_GALLERY, LOOK_SETTINGS};
        int pressed = -1;
        for (int i = 0; i < kSingleButtons; ++i) {
            const UINT base = kSingleBase + static_cast<UINT>(looks[i]) * 3;
            if (m_nSingleState[i] == BAR_PRESSED)
                pressed = i;
            else
                DrawImage(dc, base + (m_nSingleState[i] == BAR_LEFT ? 1 : 0), kBarX, i * kSingleHeight, kBarWidth,
                          kSingleHeight);
        }
        if (pressed >= 0)
            DrawImage(dc, kSingleBase + static_cast<UINT>(looks[pressed]) * 3 + 2, 334, kSinglePressedY[pressed], 66, 68);
    } else {
        UpdateMultiStates();
        int pressed = -1;
        for (int i = 0; i < kMultiButtons; ++i) {
            const int state = m_nMultiState[i];
            if (state == BAR_PRESSED)
                pressed = i;
            else
                DrawImage(dc, kMultiImages[i][state == BAR_LEFT ? 1 : state == BAR_DISABLED ? 2 : 0], kBarX,
                          i * kMultiHeight, kBarWidth, kMultiHeight);
        }
        if (pressed >= 0)
            DrawImage(dc, kMultiImages[pressed][3], 334, kMultiPressedY[pressed], 66, 82);
    }
    if (m_bShotPending) {
        HFONT font = nullptr;
        CreateRotatedFont(&font, 18, FW_BOLD, L"Tahoma");
        HDC hdc = dc->m_hDC;
        HGDIOBJ oldFont = SelectObject(hdc, font);
        const UINT oldAlign = SetTextAlign(hdc, TA_RIGHT | TA_TOP);
        const int oldMode = SetBkMode(hdc, TRANSPARENT);
        OutlinedText(dc, 320, 7, CeGetString(1));
        SetBkMode(hdc, oldMode);
        SetTextAlign(hdc, oldAlign);
        SelectObject(hdc, oldFont);
        DeleteObject(font);
    }
    return 1;
}

void CPreviewCameraGUI::DrawPopup(CDrawContext* dc)
{
    CMainFrame* frame = Frame();
    HDC hdc = dc->m_hDC;
    HFONT font = nullptr;
    CreateRotatedFont(&font, 17, FW_BOLD, L"Tahoma");
    HGDIOBJ oldFont = SelectObject(hdc, font);
    const int oldMode = SetBkMode(hdc, TRANSPARENT);
    const UINT oldAlign = SetTextAlign(hdc, TA_CENTER | TA_TOP);
    const COLORREF oldColour = SetTextColor(hdc, RGB(0, 0, 0));

    DrawImage(dc, kPopupFrame, 90, 45, 220, 151);
    const int type = frame->m_nPopupType.load();
    if (type >= 1 && type <= 3)
        DrawImage(dc, kPopupIcons + static_cast<UINT>(type - 1), 105, 51, 25, 25);
    const bool one = frame->m_nPopupButtonStyle == 1;
    if (one) {
        DrawImage(dc, kPopupCentre + (frame->m_bPopupCenterPressed ? 1 : 0), 98, 157, 204, 31);
    } else {
        DrawImage(dc, kPopupLeft + (frame->m_bPopupLeftPressed ? 1 : 0), 98, 157, 102, 31);
        DrawImage(dc, kPopupRight + (frame->m_bPopupRightPressed ? 1 : 0), 200, 157, 102, 31);
    }
    DebugPrint(L"POPUP TITLE : [%ls]\n", frame->m_szPopupTitle);
    dc->DrawText(200, 56, frame->m_szPopupTitle, -1);
    if (frame->m_nPopupMultiLine == 1) {
        const std::vector<std::wstring> lines = SplitLines(frame->m_szPopupText1);
        const int height = BlankHeight(hdc), count = static_cast<int>(lines.size());
        int y = 45 + (151 - height * count) / 2;
        for (const std::wstring& line : lines) {
            dc->DrawText(200, y, line.c_str(), static_cast<int>(line.size()));
            y += height;
        }
    } else {
        SIZE size{};
        const int length = static_cast<int>(std::wcslen(frame->m_szPopupText1));
        GetTextExtentPoint32W(hdc, frame->m_szPopupText1, length, &size);
        if (size.cx > 215 && length > 22) {
            WCHAR cut[kPopupTextLength];
            std::swprintf(cut, std::size(cut), L"%.22ls...", frame->m_szPopupText1);
            std::wcscpy(frame->m_szPopupText1, cut);
        }
        DebugPrint(L"POPUP TEXT1 : [%ls]\n", frame->m_szPopupText1);
        DebugPrint(L"POPUP TEXT2 : [%ls]\n", frame->m_szPopupText2);
        dc->DrawText(200, 104, frame->m_szPopupText1, -1);
        dc->DrawText(200, 126, frame->m_szPopupText2, -1);
    }
    auto label = [&](LPCWSTR text, int x, bool pressed, LPCWSTR what) {
        DebugPrint(L"POPUP %ls : [%ls]\n", what, text);
        SetTextColor(hdc, pressed ? RGB(255, 255, 255) : RGB(0, 0, 0));
        dc->DrawText(x, 165, text, -1);
    };
    if (one) {
        label(frame->m_szPopupButton[0], 200, frame->m_bPopupCenterPressed != 0, L"CBTN");
    } else {
        label(frame->m_szPopupButton[1], 149, frame->m_bPopupLeftPressed != 0, L"LBTN");
        label(frame->m_szPopupButton[2], 251, frame->m_bPopupRightPressed != 0, L"RBTN");
    }
    SetTextColor(hdc, oldColour);
    SetTextAlign(hdc, oldAlign);
    SetBkMode(hdc, oldMode);
    SelectObject(hdc, oldFont);
    DeleteObject(font);
}

int CPreviewCameraGUI::DrawLayer2(CDrawContext* dc)
{
    const int popup = Frame()->m_nPopupType.load();
    if (popup != 0)
        DrawPopup(dc);
    if (popup != m_nToldPopup) {
        m_nToldPopup = popup;
        if (popup != 0)
            TellWhenShown(L"[PreviewCameraGUI] popup " + std::to_wstring(popup) + L" on the screen");
    }
    return CPreviewGUI::DrawLayer2(dc);
}
