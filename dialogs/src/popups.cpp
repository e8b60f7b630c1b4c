#include "popups.h"

#include <array>

#include "dialog_messages.h"
#include "font_manager.h"
#include "haptic_control.h"
#include "layout_manager.h"
#include "skin_draw.h"

namespace {

// Frames of the popups; the gallery and the zoom view have their own.
constexpr UINT kFrameResultViews = 1657;
constexpr UINT kFrameGallery = 10300;
constexpr UINT kYesNormal = 10302, kYesPressed = 10303, kNoNormal = 10306, kNoPressed = 10307;
constexpr UINT kYesLabel = 245, kNoLabel = 246;
// Layout controls whose size is the text rectangle of a notice.
constexpr UINT kNoticeTextControl = 30078;
constexpr UINT kCardNoticeTextControl = 30080;
constexpr UINT kLabelFontControl = 30006;
constexpr int kPopupFontHeight = 17;

// One orientation word per popup class: 0 until the first look, then 1 or -1.
std::array<int, 4> g_infoOrientation{};
std::array<int, 2> g_yesNoOrientation{};

std::wstring LoadText(HINSTANCE module, UINT id)
{
    WCHAR text[256] = {};
    if (id)
        LoadStringW(module, id, text, 256);
    return text;
}

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

POINT PenPoint(LPARAM lParam)
{
    return POINT{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                 static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
}

// Text measured, centred vertically in box and drawn centred.
void DrawCentredText(HDC dc, const std::wstring& text, const RECT& box, UINT extra = 0)
{
    if (text.empty())
        return;
    RECT measured = box;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &measured, DT_CALCRECT | DT_CENTER | DT_WORDBREAK | extra);
    int height = measured.bottom - measured.top;
    RECT place = box;
    place.top = box.top + (box.bottom - box.top - height) / 2;
    place.bottom = place.top + height;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &place, DT_CENTER | DT_WORDBREAK | extra);
}

void PaintBackdrop(HDC dc, const RECT& client, HBITMAP background, UINT frameId)
{
    if (background)
        skin::DrawAt(dc, background, 0, 0, false);
    else
        FillRect(dc, &client, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    HBITMAP frame = skin::Load(frameId);
    skin::Draw(dc, frame, client, true);
    skin::Free(frame);
}

void PaintClient(HWND hwnd, CWindowImpl& self, void (*paint)(CWindowImpl&, HDC))
{
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    RECT client;
    GetClientRect(hwnd, &client);
    skin::Canvas canvas(dc, client.right, client.bottom);
    paint(self, canvas.dc());
    canvas.Present(dc);
    EndPaint(hwnd, &ps);
}

}  // namespace

// ---- CInfoPopup ----

CInfoPopup::CInfoPopup(Variant variant)
    : m_variant(variant), m_colours{GetSysColor(COLOR_STATIC), GetSysColor(COLOR_BTNTEXT)}
{
    m_font = CFontManager::GetInstance()->GetFont(kLabelFontControl);
    ResetOrientation(variant);
}

CInfoPopup::~CInfoPopup()
{
    skin::Free(m_imageA);
    skin::Free(m_imageB);
}

void CInfoPopup::ResetOrientation(Variant variant) { g_infoOrientation[static_cast<size_t>(variant)] = 0; }

void CInfoPopup::SetUp(HINSTANCE resourceModule, int kind, HBITMAP background, HWND parent)
{
    m_resource = resourceModule;
    m_kind = kind;
    m_background = background;
    m_parent = parent;
}

void CInfoPopup::SetMargins(int left, int top, int right, int bottom)
{
    m_margins[0] = left;
    m_margins[1] = top;
    m_margins[2] = right;
    m_margins[3] = bottom;
}

void CInfoPopup::SetImageA(UINT id)
{
    skin::Free(m_imageA);
    m_imageA = LoadBitmapW(m_resource, MAKEINTRESOURCEW(id));
    m_imageASize = skin::SizeOf(m_imageA);
}

void CInfoPopup::SetImageB(UINT id)
{
    skin::Free(m_imageB);
    m_imageB = LoadBitmapW(m_resource, MAKEINTRESOURCEW(id));
    m_imageBSize = skin::SizeOf(m_imageB);
}

UINT CInfoPopup::TextId(Variant variant, int kind)
{
    switch (variant) {
    case VARIANT_B_GALLERY:
    case VARIANT_B_ZOOM:
        switch (kind) {
        case 0: case 1: case 4: case 5: return 232;
        case 2: return 233;
        case 3: return 2;
        case 6: return 240;
        default: return 0;
        }
    case VARIANT_A:
        if (kind == KIND_SAVED || kind == KIND_SAVED_ALL)
            return 247;
        return kind == KIND_SAVE_FAILED ? 243 : 0;
    case VARIANT_A2:
        if (kind == KIND_SAVED || kind == KIND_SAVED_ALL)
            return 113;
        return kind == KIND_SAVE_FAILED ? 114 : 0;
    }
    return 0;
}

void CInfoPopup::PaintTo(HDC dc)
{
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    bool gallery = m_variant == VARIANT_B_GALLERY || m_variant == VARIANT_B_ZOOM;
    PaintBackdrop(dc, client, m_background, gallery ? kFrameGallery : kFrameResultViews);
    UINT textId = TextId(m_variant, m_kind);
    if (!textId)
        return;  // a kind without text shows the frame alone
    SIZE size{client.right, client.bottom};
    CLayoutManager::GetInstance()->GetSize(m_variant == VARIANT_A2 ? kCardNoticeTextControl : kNoticeTextControl,
                                           &size);
    RECT box{0, 0, size.cx, size.cy};
    HFONT font = skin::MakeFont(kPopupFontHeight, FW_BOLD);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, m_colours[1]);
    DrawCentredText(dc, LoadText(m_resource, textId), box);
    SelectObject(dc, old);
    DeleteObject(font);
}

LRESULT CInfoPopup::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PaintClient(m_hWnd, *this, [](CWindowImpl& self, HDC dc) { static_cast<CInfoPopup&>(self).PaintTo(dc); });
    return 0;
}

LRESULT CInfoPopup::OnPen(UINT, WPARAM, LPARAM, BOOL&)
{
    ::SendMessageW(::GetParent(m_hWnd), WM_POPUP_PEN_UP, 0, 0);
    return 0;
}

LRESULT CInfoPopup::OnCommand(UINT, WPARAM wParam, LPARAM, BOOL& handled)
{
    if (LOWORD(wParam) != CMD_POPUP_ORIENTATION) {
        handled = FALSE;
        return 0;
    }
    m_value = HIWORD(wParam);
    int orientation = GetScreenOrientation();
    int& seen = g_infoOrientation[static_cast<size_t>(m_variant)];
    if (orientation != seen && seen != 0) {
        HWND parent = ::GetParent(m_hWnd);
        ::SendMessageW(parent, WM_SIZE, 0, 0);
        ::SendMessageW(parent, WM_SETTINGCHANGE, kSettingChangeLayout, 0);
    }
    seen = orientation;
    Invalidate(FALSE);
    return 0;
}

// ---- CYesNoPopup ----

CYesNoPopup::CYesNoPopup(Variant variant)
    : m_variant(variant), m_colours{GetSysColor(COLOR_STATIC), GetSysColor(COLOR_BTNTEXT)}
{
    m_font = CFontManager::GetInstance()->GetFont(kLabelFontControl);
    ResetOrientation(variant);
}

void CYesNoPopup::ResetOrientation(Variant variant) { g_yesNoOrientation[static_cast<size_t>(variant)] = 0; }

void CYesNoPopup::SetUp(HINSTANCE resourceModule, UINT questionId, HBITMAP background)
{
    m_resource = resourceModule;
    m_questionId = questionId;
    m_background = background;
    m_question.clear();
}

void CYesNoPopup::PaintTo(HDC dc)
{
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    PaintBackdrop(dc, client, m_background, m_variant == VARIANT_GALLERY ? kFrameGallery : kFrameResultViews);
    HFONT font = skin::MakeFont(kPopupFontHeight, FW_BOLD);
    HGDIOBJ old = SelectObject(dc, font);
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, m_colours[1]);
    DrawCentredText(dc, m_question.empty() ? LoadText(m_resource, m_questionId) : m_question, kQuestionRect);

    struct Button {
        const RECT& rect;
        bool pressed;
        UINT normal, down, label;
    } buttons[] = {{kYesRect, m_yesPressed, kYesNormal, kYesPressed, kYesLabel},
                   {kNoRect, m_noPressed, kNoNormal, kNoPressed, kNoLabel}};
    for (const Button& b : buttons) {
        HBITMAP image = skin::Load(b.pressed ? b.down : b.normal);
        skin::Draw(dc, image, b.rect, true);
        skin::Free(image);
        SetTextColor(dc, b.pressed ? RGB(255, 255, 255) : RGB(0, 0, 0));
        std::wstring label = LoadText(m_resource, b.label);
        RECT r = b.rect;
        DrawTextW(dc, label.c_str(), static_cast<int>(label.size()), &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
    SelectObject(dc, old);
    DeleteObject(font);
}

LRESULT CYesNoPopup::OnPaint(UINT, WPARAM, LPARAM, BOOL&)
{
    PaintClient(m_hWnd, *this, [](CWindowImpl& self, HDC dc) { static_cast<CYesNoPopup&>(self).PaintTo(dc); });
    return 0;
}

void CYesNoPopup::Repaint()
{
    Invalidate(FALSE);
    UpdateWindow();
}

LRESULT CYesNoPopup::OnPenDown(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    ::SendMessageW(::GetParent(m_hWnd), WM_POPUP_PEN_UP, 0, 0);
    POINT p = PenPoint(lParam);
    bool yes = Inside(kYesRect, p), no = Inside(kNoRect, p);
    if (!yes && !no)
        return 0;
    ::SetCapture(m_hWnd);
    m_yesPressed = yes;
    m_noPressed = no;
    CHapticControl::GetInstance()->PlayEffectA();
    Repaint();
    return 0;
}

LRESULT CYesNoPopup::OnPenUp(UINT, WPARAM, LPARAM lParam, BOOL&)
{
    ::SendMessageW(::GetParent(m_hWnd), WM_POPUP_PEN_UP, 0, 0);
    POINT p = PenPoint(lParam);
    RECT band{kYesRect.left, kYesRect.top, kNoRect.right, kYesRect.bottom};
    bool wasPressed = m_yesPressed || m_noPressed;
    if (!Inside(band, p)) {
        ::ReleaseCapture();
        if (wasPressed) {
            m_yesPressed = m_noPressed = false;
            Repaint();
        }
        return 0;
    }
    int answer = -1;
    if (m_yesPressed && Inside(kYesRect, p))
        answer = 1;
    else if (m_noPressed && Inside(kNoRect, p))
        answer = 0;
    m_yesPressed = m_noPressed = false;
    Repaint();
    ::ReleaseCapture();
    if (answer >= 0) {
        CHapticControl::GetInstance()->PlayEffectB();
        Answer(answer == 1);
    }
    return 0;
}

void CYesNoPopup::Answer(bool yes)
{
    HWND parent = ::GetParent(m_hWnd);
    ::SendMessageW(parent, WM_COMMAND, MAKEWPARAM(CMD_YESNO_DONE, 0), yes ? 1 : 0);
    ShowWindow(SW_HIDE);
    ::RedrawWindow(parent, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
}
