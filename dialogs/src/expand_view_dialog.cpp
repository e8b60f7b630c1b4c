// The zoomable picture view.
#include "expand_view_dialog.h"

#include <algorithm>
#include <cstdio>
#include <mutex>

#include "dialog_messages.h"
#include "expand_view_impl.h"
#include "font_manager.h"
#include "layout_manager.h"
#include "result_controls.h"
#include "skin_draw.h"

namespace {

// Layout elements.
constexpr UINT kMarkBox = 30026, kName = 30027, kArea = 30028, kInset = 30072, kMarkBoxZoomed = 30081,
               kNameZoomed = 30082, kNextArrow = 30083, kPrevArrow = 30084, kDots = 30085, kPopupArea = 1010;
// Bitmaps.
constexpr UINT kMarked = 1364, kUnmarked = 1367, kNextArrowImage = 1652, kPrevArrowImage = 1653, kDotCurrent = 1654,
               kDotOther = 1655;
constexpr int kPopupKindMarkLimit = 6;
// The view's own hot key, and the volume keys it borrows for zooming.
constexpr int kOwnHotKey = 16577;
constexpr UINT kOwnHotKeyVk = 196, kOwnHotKeyModifiers = 0x1008;
constexpr int kBackgroundColour = 25;

void RegisterExpandViewResources()
{
    static std::once_flag once;
    std::call_once(once, [] {
        RegisterStaticDialog(IDD_EXPAND_VIEW, L"Textiva", {IDC_EXPAND_POPUP});
        plat::RegisterMenuBarTemplate(
            {IDM_EXPAND_RESULTS, {{CMD_EXPAND_THUMBNAIL, L"Thumbnail"}, {CMD_EXPAND_RESULT, L"Result"}}});
        plat::RegisterMenuBarTemplate(
            {IDM_EXPAND_GALLERY, {{CMD_EXPAND_THUMBNAIL, L"Thumbnail"}, {CMD_EXPAND_DELETE, L"Delete"}}});
    });
}

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

RECT Union(const RECT& a, const RECT& b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

SIZE SizeOf(HBITMAP bitmap) { return skin::SizeOf(bitmap); }

// The visible index of the current record; -1 when it is not visible.
int VisibleCurrent(LumImageItemList* list)
{
    for (int i = 0; i < list->GetVisibleCount(); ++i)
        if (list->GetItemAt(i).IsCurrent())
            return i;
    return -1;
}

}  // namespace

SIZE FitPictureSize(SIZE size, SIZE bounds)
{
    auto w = static_cast<unsigned>(std::max<LONG>(size.cx, 0)), h = static_cast<unsigned>(std::max<LONG>(size.cy, 0));
    auto W = static_cast<unsigned>(std::max<LONG>(bounds.cx, 0)), H = static_cast<unsigned>(std::max<LONG>(bounds.cy, 0));
    unsigned ow = w, oh = h;
    auto byHeight = [&] {
        oh = H;
        ow = h ? w * H / h : W;
        if (ow >= W) {
            ow = W;
            oh = w ? h * W / w : H;
        }
    };
    auto byWidth = [&] {
        ow = W;
        oh = w ? h * W / w : H;
        if (oh >= H) {
            oh = H;
            ow = h ? w * H / h : W;
        }
    };
    if (w <= W && h <= H) {
        // smaller in both: as it is
    } else if (w <= W) {
        byHeight();
    } else if (h <= H) {
        byWidth();
    } else if (w < h) {
        byHeight();
    } else {
        byWidth();
    }
    return SIZE{static_cast<LONG>(std::max(ow, 1u)), static_cast<LONG>(std::max(oh, 1u))};
}

CExpandViewDialog::CExpandViewDialog()
    : CDialogImpl(IDD_EXPAND_VIEW), m_full(1, &PictureCache::DecodeFull), m_screen(10, &PictureCache::DecodeForScreen)
{
    RegisterExpandViewResources();
    CInfoPopup::ResetOrientation(CInfoPopup::VARIANT_B_ZOOM);
    double level = 1.0;
    for (double& l : m_levels) {
        l = level;
        level *= 0.9;
    }
}

CExpandViewDialog::~CExpandViewDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
    skin::Free(m_back);
}

void CExpandViewDialog::SetDecoders(PictureCache::Decoder screen, PictureCache::Decoder full)
{
    m_screen.SetDecoder(std::move(screen));
    m_full.SetDecoder(std::move(full));
}

RECT CExpandViewDialog::Place(UINT id) const { return LayoutPlace(id); }

ImageFileItem* CExpandViewDialog::Current() const { return m_list ? m_list->GetRecord(m_list->FindCurrent()) : nullptr; }

HBITMAP CExpandViewDialog::ScreenBitmap()
{
    ImageFileItem* item = Current();
    return item ? m_screen.Get(item->GetPath()) : nullptr;
}

HBITMAP CExpandViewDialog::FullBitmap()
{
    ImageFileItem* item = Current();
    return item ? m_full.Get(item->GetPath()) : nullptr;
}

bool CExpandViewDialog::PopupShown() const { return m_popup.m_hWnd && ::IsWindowVisible(m_popup.m_hWnd); }

void CExpandViewDialog::Touch()
{
    if (m_inactivity)
        *m_inactivity = kInactivityReset;
}

void CExpandViewDialog::InvalidateContent()
{
    RECT r = Union(Union(Place(m_zoomed ? kMarkBoxZoomed : kMarkBox), Place(kArea)), Place(m_zoomed ? kNameZoomed : kName));
    InvalidateRect(m_hWnd, &r, FALSE);
}

LRESULT CExpandViewDialog::OnInitDialog()
{
    // The volume keys zoom here: whoever holds them lends them for the view's life.
    const UINT borrowed[2] = {VK_F6, VK_F7};
    for (size_t i = 0; i < 2; ++i) {
        LentKey& k = m_lent[i];
        k.vk = borrowed[i];
        k.lent = plat::FindHotKey(0, k.vk, &k.holder, &k.id) && UnregisterHotKey(k.holder, k.id);
    }
    m_ownHotKey = RegisterHotKey(m_hWnd, kOwnHotKey, kOwnHotKeyModifiers, kOwnHotKeyVk);
    m_menuBar = ReplaceMenuBar(m_hWnd, nullptr, m_mode == EXPAND_MODE_RESULTS ? IDM_EXPAND_RESULTS : IDM_EXPAND_GALLERY);
    m_menuBarId = m_mode == EXPAND_MODE_RESULTS ? IDM_EXPAND_RESULTS : IDM_EXPAND_GALLERY;
    m_popup.SubclassWindow(GetDlgItem(IDC_EXPAND_POPUP));
    m_list = LumImageItemList::GetInstance();
    Layout();
    return FALSE;
}

void CExpandViewDialog::Layout()
{
    CLayoutManager* layout = CLayoutManager::GetInstance();
    POINT origin{}, size{};
    layout->GetPoint1(IDD_EXPAND_VIEW, &origin);
    layout->GetPoint2(IDD_EXPAND_VIEW, &size);
    ::SetWindowPos(m_hWnd, nullptr, origin.x, origin.y, size.x, size.y, SWP_NOZORDER | SWP_NOACTIVATE);
    RECT area = Place(kArea);
    m_screen.SetSize(area.right - area.left, area.bottom - area.top);
    RECT popup = Place(kPopupArea);
    ::SetWindowPos(m_popup.m_hWnd, HWND_TOP, popup.left, popup.top, popup.right - popup.left, popup.bottom - popup.top,
                   SWP_NOACTIVATE);
    skin::Free(m_back);
    HDC screen = ::GetDC(m_hWnd);
    m_back = ::CreateCompatibleBitmap(screen, popup.right - popup.left, popup.bottom - popup.top);
    ::ReleaseDC(m_hWnd, screen);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CExpandViewDialog::OnDestroy()
{
    DestroyMenuBarMenu(m_menuBar);
    for (const LentKey& k : m_lent)
        if (k.lent && (!k.holder || ::IsWindow(k.holder)))
            RegisterHotKey(k.holder, k.id, 0, k.vk);
    m_lent = {};
    if (m_ownHotKey)
        UnregisterHotKey(m_hWnd, kOwnHotKey);
    m_ownHotKey = false;
    skin::Free(m_back);
    m_screen.Clear();
    m_full.Clear();
}

void CExpandViewDialog::End(INT_PTR result)
{
    m_endResult = result;
    KillTimer(TM_POPUP_CLOSE);
    KillTimer(TM_DOUBLE_TAP);
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    EndDialog(result);
}

void CExpandViewDialog::Step(int direction)
{
    int n = m_list->GetVisibleCount();
    if (n < 1)
        return;
    int v = VisibleCurrent(m_list);
    if (v < 0)
        v = direction > 0 ? -1 : 0;
    // One round at most: a list of folders alone ends where it started.
    for (int k = 0; k < n; ++k) {
        v = (v + direction + n) % n;
        m_list->SetCurrent(-1);
        ImageFileItem& item = m_list->GetItemAt(v);
        item.SetCurrent(TRUE);
        if (item.GetType() != ImageFileItem::TYPE_NONE)
            break;
    }
    EndZoom();
}

void CExpandViewDialog::EndZoom()
{
    m_zoomed = false;
    m_dragged = false;
    m_step = 0;
    m_pan = POINT{0, 0};
}

void CExpandViewDialog::ZoomIn()
{
    HBITMAP full = FullBitmap();
    std::fprintf(stderr, "[LumOCR] BITMAP : %p\n", static_cast<void*>(full));
    if (!full)
        return;
    if (!m_zoomed) {
        m_step = 0;
        m_zoomed = true;
    } else {
        m_step = std::min(m_step + 1, kZoomSteps - 1);
    }
}

void CExpandViewDialog::ZoomOut()
{
    HBITMAP full = FullBitmap();
    std::fprintf(stderr, "[LumOCR] BITMAP : %p\n", static_cast<void*>(full));
    if (!m_zoomed || !full)
        return;
    if (m_step == 0)
        EndZoom();
    else
        --m_step;
}

void CExpandViewDialog::OnKeyDown(WPARAM key)
{
    Touch();
    if (CLayoutManager::GetInstance()->IsBusy())
        return;
    switch (key) {
    case VK_LEFT: Step(-1); break;
    case VK_RIGHT: Step(1); break;
    case VK_UP:
    case VK_F7: ZoomIn(); break;
    case VK_DOWN:
    case VK_F6: ZoomOut(); break;
    case VK_F4: End(EXPAND_VIEW_EXIT); return;
    default: return;
    }
    InvalidateContent();
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CExpandViewDialog::ShowMarkLimit()
{
    CLayoutManager::GetInstance()->SetBusy(TRUE);
    EnableSoftKeys(m_menuBar, false);
    m_popup.SetUp(CLayoutManager::GetInstance()->GetResource(), kPopupKindMarkLimit, m_back, m_hWnd);
    ::SetWindowPos(m_popup.m_hWnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
    ::InvalidateRect(m_popup.m_hWnd, nullptr, FALSE);
    SetTimer(TM_POPUP_CLOSE, kPopupCloseMs);
}

void CExpandViewDialog::OnPopupDone()
{
    KillTimer(TM_POPUP_CLOSE);
    ::ShowWindow(m_popup.m_hWnd, SW_HIDE);
    CLayoutManager::GetInstance()->SetBusy(FALSE);
    EnableSoftKeys(m_menuBar, true);
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CExpandViewDialog::OnPenDown(POINT pt)
{
    Touch();
    if (CLayoutManager::GetInstance()->IsBusy())
        return;
    ImageFileItem* item = Current();
    if (item && Inside(Place(m_zoomed ? kMarkBoxZoomed : kMarkBox), pt)) {
        if (!item->IsMarked() && m_list->GetMarkedCount() >= kMarkLimit)
            ShowMarkLimit();
        else
            item->SetMarked(!item->IsMarked());
        InvalidateRect(m_hWnd, nullptr, FALSE);
        return;
    }
    if (!m_zoomed && Inside(Place(kArea), pt))
        m_swipe = pt;
}

void CExpandViewDialog::OnPenMove(POINT pt)
{
    Touch();
    if (!m_zoomed || CLayoutManager::GetInstance()->IsBusy())
        return;
    if (m_drag.x < 0 && m_drag.y < 0) {
        m_drag = pt;
        m_dragged = true;
        return;
    }
    m_pan.x += m_drag.x - pt.x;
    m_pan.y += m_drag.y - pt.y;
    m_drag = pt;
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CExpandViewDialog::OnPenUp(POINT pt)
{
    Touch();
    if (CLayoutManager::GetInstance()->IsBusy())
        return;
    if (m_zoomed) {
        m_drag = POINT{-1, -1};
        if (!m_tapPending) {
            m_tapPending = true;
            SetTimer(TM_DOUBLE_TAP, kDoubleTapMs);
        } else {
            m_tapPending = false;
            KillTimer(TM_DOUBLE_TAP);
            m_step = 0;
            SendMessage(WM_KEYDOWN, VK_DOWN, 0);
        }
        return;
    }
    if (m_swipe.x >= 0 || m_swipe.y >= 0) {
        RECT area = Place(kArea);
        int third = (area.right - area.left) / 3;
        int d = m_swipe.x - pt.x;
        m_swipe = POINT{-1, -1};
        m_drag = POINT{-1, -1};
        if (d < 0 && -d > third)
            SendMessage(WM_KEYDOWN, VK_LEFT, 0);
        else if (d > 0 && d > third)
            SendMessage(WM_KEYDOWN, VK_RIGHT, 0);
        else
            SendMessage(WM_KEYDOWN, VK_UP, 0);
    }
    InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CExpandViewDialog::Delete()
{
    int v = VisibleCurrent(m_list);
    if (v < 0)
        return;  // nothing shown is current: nothing to delete
    ImageFileItem gone = m_list->GetItemAt(v);
    m_list->RemoveItem(gone, TRUE);
    m_screen.Clear();
    m_full.Clear();
    int left = m_list->GetVisibleCount();
    if (left < 2) {
        m_list->SetCurrent(0);
    } else {
        m_list->SetCurrent(-1);
        m_list->GetItemAt(v < left ? v : v - 1).SetCurrent(TRUE);
    }
    End(EXPAND_VIEW_OTHER);
}

void CExpandViewDialog::OnCommand(WORD id, WORD code)
{
    switch (id) {
    case CMD_EXPAND_THUMBNAIL: End(m_mode == EXPAND_MODE_RESULTS ? EXPAND_VIEW_OTHER : EXPAND_VIEW_BACK); break;
    case CMD_EXPAND_RESULT: End(EXPAND_VIEW_BACK); break;
    case CMD_EXPAND_DELETE:
        if (!CLayoutManager::GetInstance()->IsBusy())
            Delete();
        break;
    case IDOK:
        if (code)
            End(EXPAND_VIEW_BACK);
        break;
    default: break;
    }
}

void CExpandViewDialog::PaintZoomed(HDC dc, const RECT& area, HBITMAP screen, HBITMAP full)
{
    SIZE s1 = SizeOf(screen), s2 = SizeOf(full);
    LONG w1 = std::max<LONG>(s1.cx, 1), h1 = std::max<LONG>(s1.cy, 1), w2 = std::max<LONG>(s2.cx, 1),
         h2 = std::max<LONG>(s2.cy, 1);
    SIZE window = FitPictureSize(SIZE{area.right - area.left, area.bottom - area.top}, SIZE{w1, h1});
    double level = m_levels[static_cast<size_t>(m_step)];
    auto ww = static_cast<LONG>(window.cx * level), wh = static_cast<LONG>(window.cy * level);
    LONG x = std::clamp<LONG>(m_pan.x, 0, w2 - 1), y = std::clamp<LONG>(m_pan.y, 0, h2 - 1);
    LONG cx = m_dragged ? x * w1 / w2 : (w1 - ww) / 2;
    LONG cy = m_dragged ? y * w1 / w2 : (h1 - wh) / 2;
    if (cx + ww > w1)
        cx = w1 - ww;
    if (cy + wh > h1)
        cy = h1 - wh;
    RECT part{cx * w2 / w1, cy * w2 / w1, (cx + ww) * w2 / w1, (cy + wh) * w2 / w1};
    m_window = part;
    m_pan = POINT{part.left, part.top};
    HDC mem = ::CreateCompatibleDC(dc);
    HGDIOBJ old = ::SelectObject(mem, full);
    ::StretchBlt(dc, area.left, area.top, area.right - area.left, area.bottom - area.top, mem, part.left, part.top,
                 part.right - part.left, part.bottom - part.top, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    // The overview: the whole picture small, the shown window framed in red.
    RECT inset = Place(kInset);
    SIZE small = FitPictureSize(SIZE{w1, h1}, SIZE{inset.right - inset.left, inset.bottom - inset.top});
    RECT overview{inset.left, inset.top, inset.left + small.cx, inset.top + small.cy};
    skin::Draw(dc, screen, overview, false);
    RECT frame{overview.left + cx * small.cx / w1, overview.top + cy * small.cy / h1,
               overview.left + (cx + ww) * small.cx / w1, overview.top + (cy + wh) * small.cy / h1};
    HBRUSH red = ::CreateSolidBrush(RGB(255, 0, 0));
    const RECT strips[4] = {{frame.left, frame.top, frame.right, frame.top + 1},
                            {frame.left, frame.top, frame.left + 1, frame.bottom},
                            {frame.right - 1, frame.top, frame.right, frame.bottom},
                            {frame.left, frame.bottom - 1, frame.right, frame.bottom}};
    for (const RECT& strip : strips)
        ::FillRect(dc, &strip, red);
    ::DeleteObject(red);
    std::vector<POINT> dots;
    if (CLayoutManager::GetInstance()->GetPointList(kDots, &dots)) {
        HBITMAP current = skin::Load(kDotCurrent), other = skin::Load(kDotOther);
        for (size_t i = 0; i < dots.size(); ++i) {
            bool now = static_cast<int>(i) == m_step;
            skin::DrawAt(dc, now ? current : other, dots[i].x, dots[i].y - (now ? 4 : 0), true);
        }
        skin::Free(current);
        skin::Free(other);
    }
}

void CExpandViewDialog::OnPaint()
{
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(m_hWnd, &ps);
    RECT client;
    GetClientRect(&client);
    skin::Canvas canvas(dc, client.right, client.bottom);
    HBRUSH face = ::CreateSolidBrush(::GetSysColor(kBackgroundColour));
    ::FillRect(canvas.dc(), &client, face);
    ::DeleteObject(face);
    RECT area = Place(kArea);
    HBITMAP screen = ScreenBitmap();
    HBITMAP full = m_zoomed ? FullBitmap() : nullptr;
    if (m_zoomed && screen && full) {
        PaintZoomed(canvas.dc(), area, screen, full);
    } else {
        SIZE s = SizeOf(screen);
        skin::DrawAt(canvas.dc(), screen, area.left + (area.right - area.left - s.cx) / 2,
                     area.top + (area.bottom - area.top - s.cy) / 2, false);
        RECT next = Place(kNextArrow), prev = Place(kPrevArrow);
        HBITMAP nextImage = skin::Load(kNextArrowImage), prevImage = skin::Load(kPrevArrowImage);
        skin::DrawAt(canvas.dc(), prevImage, prev.left, prev.top, true);
        skin::DrawAt(canvas.dc(), nextImage, next.left, next.top, true);
        skin::Free(nextImage);
        skin::Free(prevImage);
    }
    ImageFileItem* item = Current();
    HBITMAP box = skin::Load(item && item->IsMarked() ? kMarked : kUnmarked);
    RECT boxPlace = Place(m_zoomed ? kMarkBoxZoomed : kMarkBox);
    skin::Draw(canvas.dc(), box, boxPlace, true);
    skin::Free(box);
    if (item) {
        RECT name = Place(m_zoomed ? kNameZoomed : kName);
        HGDIOBJ old = ::SelectObject(canvas.dc(), CFontManager::GetInstance()->GetFont(kName));
        ::SetBkMode(canvas.dc(), TRANSPARENT);
        ::SetTextColor(canvas.dc(), RGB(0, 0, 0));
        ::DrawTextW(canvas.dc(), item->GetName().c_str(), -1, &name,
                    DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
        ::SelectObject(canvas.dc(), old);
    }
    canvas.Present(dc);
    ::EndPaint(m_hWnd, &ps);
    if (!PopupShown()) {
        // What lies under the popup, for its backdrop.
        RECT popup = Place(kPopupArea);
        HDC mem = ::CreateCompatibleDC(canvas.dc());
        HGDIOBJ old = ::SelectObject(mem, m_back);
        ::BitBlt(mem, 0, 0, popup.right - popup.left, popup.bottom - popup.top, canvas.dc(), popup.left, popup.top,
                 SRCCOPY);
        ::SelectObject(mem, old);
        ::DeleteDC(mem);
    }
}

BOOL CExpandViewDialog::ProcessWindowMessage(HWND, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    POINT pt{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
             static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
    switch (message) {
    case WM_INITDIALOG: result = OnInitDialog(); return TRUE;
    case WM_DESTROY: OnDestroy(); return FALSE;
    case WM_PAINT: OnPaint(); return TRUE;
    case WM_ERASEBKGND: result = 1; return TRUE;
    case WM_LBUTTONDOWN: OnPenDown(pt); return TRUE;
    case WM_MOUSEMOVE: OnPenMove(pt); return TRUE;
    case WM_LBUTTONUP: OnPenUp(pt); return TRUE;
    case WM_KEYDOWN: OnKeyDown(wParam); return TRUE;
    case WM_KEYUP:
    case WM_POPUP_PEN_UP: Touch(); return TRUE;
    case WM_HOTKEY: return TRUE;
    case WM_TIMER:
        if (wParam == TM_POPUP_CLOSE) {
            KillTimer(TM_POPUP_CLOSE);
            SendMessage(WM_POPUP_DONE, 0, 0);
            return TRUE;
        }
        if (wParam == TM_DOUBLE_TAP) {
            KillTimer(TM_DOUBLE_TAP);
            m_tapPending = false;
            return TRUE;
        }
        return FALSE;
    case WM_POPUP_DONE: OnPopupDone(); return TRUE;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return TRUE;
    case WM_WINDOWPOSCHANGED:
    case WM_SETTINGCHANGE:
        if (message == WM_SETTINGCHANGE)
            Layout();
        return FALSE;
    default: return FALSE;
    }
}

struct ExpandViewDialog::Impl {
    CExpandViewDialog dialog;
};

ExpandViewDialog::ExpandViewDialog() : impl_(std::make_unique<Impl>()) {}
ExpandViewDialog::~ExpandViewDialog() = default;
void ExpandViewDialog::SetMode(int mode) { impl_->dialog.SetMode(mode); }
void ExpandViewDialog::SetInactivity(int* inactivity) { impl_->dialog.SetInactivity(inactivity); }
INT_PTR ExpandViewDialog::DoModal(HWND parent) { return impl_->dialog.DoModal(parent); }
