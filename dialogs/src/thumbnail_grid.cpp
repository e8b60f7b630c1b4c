#include "thumbnail_grid.h"

#include <algorithm>

#include "ImageDecoder.h"
#include "ImageUtil.h"
#include "expand_view_dialog.h"
#include "font_manager.h"
#include "gallery_messages.h"
#include "layout_manager.h"
#include "skin_draw.h"

namespace {

constexpr UINT kGridId = 30020, kBarId = 30021, kDropDownArea = 30023;
constexpr WPARAM kActionKey = 134;
constexpr COLORREF kFolderBack = RGB(0xD4, 0xD4, 0xD4);
// The scroll bar of a grid with one position stands this far out of view.
constexpr int kBarAway = 100;

enum Image { FRAME_CURRENT, FRAME_OTHER, MARKED, UNMARKED, DELETE_ICON, FOLDER, PARENT_FOLDER, IMAGE_COUNT };
constexpr UINT kImageIds[IMAGE_COUNT] = {1366, 1365, 1364, 1367, 1350, 1397, 1403};

void Shift(RECT* r, POINT by)
{
    r->left += by.x, r->right += by.x;
    r->top += by.y, r->bottom += by.y;
}

bool Inside(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

POINT PointOf(LPARAM lParam)
{
    return POINT{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                 static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
}

COLORREF Background() { return ::GetSysColor(COLOR_STATIC); }

void Fill(HDC dc, const RECT& r, COLORREF colour)
{
    HBRUSH brush = ::CreateSolidBrush(colour);
    ::FillRect(dc, &r, brush);
    ::DeleteObject(brush);
}

}  // namespace

// ---- thumbnails -------------------------------------------------------------------

CThumbnailCache::CThumbnailCache() : PictureCache(kCapacity, &CThumbnailCache::Decode) { SetSize(kWidth, kHeight); }

HBITMAP CThumbnailCache::Decode(const std::wstring& path, int width, int height)
{
    CImageDecoder* decoder = CImageDecoder::GetInstance();
    HBITMAP bitmap = decoder->DecodeJpegThumbnailToDIB(path.c_str());
    return bitmap ? bitmap : decoder->DecodeFileToDIB(path.c_str(), width, height);
}

// ---- paging and arrows ---------------------------------------------------------

int GridPages::PositionCount(int items, int columns, bool portrait)
{
    if (columns <= 0)
        return 1;
    int rows = (items + columns - 1) / columns;
    if (portrait)
        rows -= 2;
    return std::max(rows, 1);
}

GridCell GridArrow(WPARAM key, int c, int r, int n, int positions, GridCell from)
{
    if (c <= 0 || r <= 0 || n <= 0)
        return from;
    int p = from.position, k = from.offset;
    const bool last = p * c + k == n - 1;
    switch (key) {
    case VK_RIGHT:
        if (last && k % c == 0)
            break;
        k = (k % c == c - 1 || last) ? 0 : k + 1;
        break;
    case VK_LEFT:
        if (last) {
            if (k % c != 0)
                --k;
        } else if (k % c != 0) {
            --k;
        } else if (p == 0 && n <= c) {
            k = n - 1;
        } else {
            // The end of the same row; the caller's clamp stops it at the last item.
            k += c - 1;
        }
        break;
    case VK_UP:
        if (k < c) {
            if (p == 0) {
                p = positions - 1;
                k = c * r - 1;
            } else {
                --p;
            }
        } else {
            k -= c;
        }
        if (p * c + k > n - 1)
            k = c * r - c + n % c - 1;
        break;
    case VK_DOWN:
        if (k >= c * r - c) {
            if (p >= positions - 1) {
                p = 0;
                k = 0;
            } else {
                ++p;
            }
        } else {
            k += c;
        }
        if (p * c + k > n - 1) {
            p = 0;
            k = 0;
        }
        break;
    default:
        break;
    }
    return GridCell{p, k};
}

// ---- the grid -------------------------------------------------------------------

CThumbnailGrid::CThumbnailGrid() = default;

CThumbnailGrid::~CThumbnailGrid()
{
    for (HBITMAP& image : m_images)
        skin::Free(image);
}

BOOL CThumbnailGrid::Attach(HWND window)
{
    if (!window || !SubclassWindow(window))
        return FALSE;
    Relayout();
    return TRUE;
}

void CThumbnailGrid::AttachScrollBar(CSkinScrollBar* bar)
{
    m_bar = bar;
    if (m_bar)
        m_bar->SetGrid(m_hWnd, &m_paging);
}

HBITMAP CThumbnailGrid::Image(UINT id)
{
    for (int i = 0; i < IMAGE_COUNT; ++i)
        if (kImageIds[i] == id) {
            if (!m_images[i])
                m_images[i] = skin::Load(id);
            return m_images[i];
        }
    return nullptr;
}

bool CThumbnailGrid::Busy() const { return CLayoutManager::GetInstance()->IsBusy() != FALSE; }

bool CThumbnailGrid::Portrait() const { return GetSystemMetrics(SM_CYSCREEN) >= GetSystemMetrics(SM_CXSCREEN); }

void CThumbnailGrid::Relayout()
{
    CLayoutManager* layout = CLayoutManager::GetInstance();
    POINT grid{};
    if (layout->GetPoint5(kGridId, &grid)) {
        m_paging.columns = grid.x;
        m_paging.visibleRows = grid.y;
    }
    layout->GetPointList(kGridId, &m_origins);
    m_paging.itemCount = m_model ? m_model->GetVisibleCount() : 0;
    m_paging.positionCount = GridPages::PositionCount(m_paging.itemCount, m_paging.columns, Portrait());
    SetPosition(GridPages::RowOf(std::max(VisibleCurrent(), 0), m_paging.columns));
}

void CThumbnailGrid::SetPosition(int position)
{
    m_paging.position = std::clamp(position, 0, std::max(m_paging.positionCount - 1, 0));
}

int CThumbnailGrid::VisibleCurrent() const
{
    if (!m_model)
        return -1;
    for (int i = 0; i < m_model->GetVisibleCount(); ++i)
        if (m_model->GetItemAt(i).IsCurrent())
            return i;
    return -1;
}

void CThumbnailGrid::MakeCurrent(int visibleIndex)
{
    if (!m_model || visibleIndex < 0 || visibleIndex >= m_model->GetVisibleCount())
        return;
    m_model->SetCurrent(-1);
    m_model->GetItemAt(visibleIndex).SetCurrent(TRUE);
}

void CThumbnailGrid::Refresh()
{
    m_paging.itemCount = m_model ? m_model->GetVisibleCount() : 0;
    m_paging.positionCount = GridPages::PositionCount(m_paging.itemCount, m_paging.columns, Portrait());
    SetPosition(m_paging.position);
    if (m_bar)
        m_bar->UpdateThumb();
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CThumbnailGrid::Load(LumImageItemList* model, bool keepCurrent)
{
    m_model = model;
    if (!keepCurrent && m_model)
        m_model->SetFilterMode(m_filter);
    m_paging.position = 0;
    Refresh();
    if (keepCurrent)
        SetPosition(GridPages::RowOf(std::max(VisibleCurrent(), 0), m_paging.columns));
    if (m_bar)
        m_bar->UpdateThumb();
    PlaceScrollBar();
}

void CThumbnailGrid::SetFilter(int mode)
{
    m_filter = mode;
    if (m_model) {
        const int previous = m_model->GetFilterMode();
        m_model->SetFilterMode(mode);
        if (mode != previous)
            m_model->UnmarkAll();
    }
    m_paging.position = 0;
    Refresh();
}

void CThumbnailGrid::SetListState(int state) { m_state = state; }

void CThumbnailGrid::PlaceScrollBar()
{
    if (!m_bar || !m_bar->m_hWnd)
        return;
    POINT at{};
    SIZE size{};
    CLayoutManager* layout = CLayoutManager::GetInstance();
    if (!layout->GetPosition(kBarId, &at) || !layout->GetSize(kBarId, &size))
        return;
    if (m_paging.positionCount <= 1)
        at.x += kBarAway;
    ::MoveWindow(m_bar->m_hWnd, at.x, at.y, size.cx, size.cy, TRUE);
    m_bar->UpdateThumb();
}

POINT CThumbnailGrid::CellOrigin(int slot) const
{
    return slot >= 0 && slot < static_cast<int>(m_origins.size()) ? m_origins[static_cast<size_t>(slot)] : POINT{-1000, -1000};
}

int CThumbnailGrid::CellAt(POINT p) const
{
    const int first = m_paging.position * m_paging.columns;
    const int end = std::min(m_paging.columns * (m_paging.position + m_paging.visibleRows), m_paging.itemCount);
    for (int index = first; index < end; ++index) {
        POINT origin = CellOrigin(index - first);
        POINT local{p.x - origin.x, p.y - origin.y};
        if (Inside(kHitArea, local))
            return index;
    }
    return -1;
}

// ---- painting -------------------------------------------------------------------

void CThumbnailGrid::DrawCell(HDC dc, int visibleIndex, POINT origin, HFONT font)
{
    ImageFileItem& item = m_model->GetItemAt(visibleIndex);
    skin::Canvas cell(dc, kCellWidth, kCellHeight);
    HDC c = cell.dc();
    Fill(c, RECT{0, 0, kCellWidth, kCellHeight}, Background());
    if (item.IsCurrent())
        skin::DrawAt(c, Image(kImageIds[FRAME_CURRENT]), 0, 0, true);
    else
        skin::DrawAt(c, Image(kImageIds[FRAME_OTHER]), 2, 2, true);

    const bool picture = item.GetType() != ImageFileItem::TYPE_NONE;
    HBITMAP thumb = picture ? m_cache.Get(item.GetPath())
                            : Image(kImageIds[item.GetName() == L".." ? PARENT_FOLDER : FOLDER]);
    Fill(c, kThumbArea, picture ? RGB(0, 0, 0) : kFolderBack);
    if (thumb) {
        SIZE size = skin::SizeOf(thumb);
        const int areaW = kThumbArea.right - kThumbArea.left, areaH = kThumbArea.bottom - kThumbArea.top;
        RECT place{};
        CImageUtil::CalcScaledRect(&place, areaW, areaH, size.cx, size.cy);
        Shift(&place, POINT{kThumbArea.left, kThumbArea.top});
        if (size.cx > areaW || size.cy > areaH)
            skin::Draw(c, thumb, place, !picture);
        else
            skin::DrawAt(c, thumb, place.left, place.top, !picture);
    }

    HGDIOBJ old = ::SelectObject(c, font);
    ::SetBkMode(c, TRANSPARENT);
    ::SetTextColor(c, RGB(0, 0, 0));
    RECT name = kNameArea;
    ::DrawTextW(c, item.GetName().c_str(), -1, &name,
                DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_END_ELLIPSIS | DT_NOPREFIX);
    ::SelectObject(c, old);

    if (picture) {
        const bool deleting = m_state == GALLERY_DELETE;
        const RECT& icon = deleting ? kDeleteIcon : kMarkIcon;
        UINT id = deleting ? kImageIds[DELETE_ICON] : kImageIds[item.IsMarked() ? MARKED : UNMARKED];
        skin::Draw(c, Image(id), icon, true);
    }
    cell.Present(dc, origin.x, origin.y);
}

void CThumbnailGrid::Draw(HDC dc)
{
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    Fill(dc, client, Background());
    if (!m_model)
        return;
    const int first = m_paging.position * m_paging.columns;
    const int end = std::min(m_paging.columns * (m_paging.position + m_paging.visibleRows), m_paging.itemCount);
    // One look for the font: it follows the language file.
    HFONT font = CFontManager::GetInstance()->GetFont(kGridId);
    for (int index = first; index < end; ++index)
        DrawCell(dc, index, CellOrigin(index - first), font);
}

// ---- input ----------------------------------------------------------------------

void CThumbnailGrid::OnPenDown(POINT p)
{
    if (Busy())
        return;
    m_previousCurrent = m_model ? m_model->FindCurrent() : -1;
    int index = CellAt(p);
    if (index >= 0 && !m_model->GetItemAt(index).GetName().empty()) {
        m_penDownItem = index;
        MakeCurrent(index);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    }
    m_lastPen = p;
    m_drag = 0;
    ::SendMessageW(GetParent(), WM_GALLERY_GRID_TOUCHED, 0, 0);
}

void CThumbnailGrid::OnPenMove(POINT p)
{
    if (Busy() || m_paging.positionCount < 2)
        return;
    if (m_lastPen.x == -1 && m_lastPen.y == -1) {
        m_lastPen = p;
        return;
    }
    SIZE size{};
    CLayoutManager::GetInstance()->GetSize(kGridId, &size);
    const int step = std::max(static_cast<int>(size.cy / 3), 1);
    m_drag += m_lastPen.y - p.y;
    int position = m_paging.position;
    if (m_drag >= step)
        ++position;
    else if (m_drag < -step)
        --position;
    position = std::clamp(position, 0, m_paging.positionCount - 1);
    if (position != m_paging.position) {
        m_paging.position = position;
        m_drag = 0;
        Refresh();
    }
    m_lastPen = p;
}

void CThumbnailGrid::OnPenUp(POINT p)
{
    if (Busy())
        return;
    const int index = CellAt(p);
    if (!m_model || index < 0 || index != m_penDownItem) {
        if (m_model)
            m_model->SetCurrent(m_previousCurrent);
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
    } else {
        ImageFileItem item = m_model->GetItemAt(index);
        POINT origin = CellOrigin(index - m_paging.position * m_paging.columns);
        POINT local{p.x - origin.x, p.y - origin.y};
        const bool deleting = m_state == GALLERY_DELETE;
        const bool onIcon = Inside(deleting ? kDeleteIcon : kMarkIcon, local);
        if (item.GetType() == ImageFileItem::TYPE_NONE) {
            m_model->Rescan(item.GetPath().c_str());
            Load(m_model, false);
            ::SendMessageW(GetParent(), WM_GALLERY_FOLDER_ENTERED, 0, 0);
            ::InvalidateRect(m_hWnd, nullptr, FALSE);
        } else if (!onIcon && !deleting) {
            OpenZoomView();
        } else if (onIcon && !deleting) {
            ImageFileItem& record = m_model->GetItemAt(index);
            if (!record.IsMarked() && m_model->GetMarkedCount() >= kGalleryMarkLimit)
                ::SendMessageW(GetParent(), WM_GALLERY_MARK_LIMIT, 0, 0);
            else
                record.ToggleMarked();
            RECT area = kMarkIcon;
            Shift(&area, origin);
            ::InvalidateRect(m_hWnd, &area, FALSE);
        } else if (onIcon) {
            DeleteAt(index);
        }
    }
    m_drag = 0;
    m_lastPen = POINT{-1, -1};
    m_penDownItem = -1;
    m_previousCurrent = -1;
}

void CThumbnailGrid::OpenZoomView()
{
    INT_PTR result;
    if (m_expandRunner) {
        result = m_expandRunner(m_state);
    } else {
        ExpandViewDialog zoom;
        zoom.SetMode(m_state);
        zoom.SetInactivity(m_inactivity);
        result = zoom.DoModal(GetParent());
    }
    m_viewShown = true;
    if (m_state == GALLERY_RESULTS && result == EXPAND_VIEW_BACK) {
        if (m_endGallery)
            m_endGallery(0);
        return;
    }
    if (result == EXPAND_VIEW_EXIT) {
        if (m_endGallery)
            m_endGallery(3);
        return;
    }
    Load(m_model, true);
    ::SendMessageW(GetParent(), WM_GALLERY_GRID_TOUCHED, 0, 0);
}

void CThumbnailGrid::DeleteAt(int visibleIndex)
{
    ImageFileItem item = m_model->GetItemAt(visibleIndex);
    m_model->RemoveItem(item, TRUE);
    const int left = m_model->GetVisibleCount();
    MakeCurrent(left > 1 ? std::min(visibleIndex, left - 1) : 0);
    Load(m_model, true);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CThumbnailGrid::BringCurrentIntoView()
{
    const int current = VisibleCurrent();
    if (current < 0) {
        m_paging.position = 0;
        MakeCurrent(0);
        return;
    }
    const int row = GridPages::RowOf(current, m_paging.columns);
    if (row < m_paging.position || row >= m_paging.position + m_paging.visibleRows)
        SetPosition(row);
}

void CThumbnailGrid::OnKeyDown(WPARAM key)
{
    if (Busy() || !m_model)
        return;
    BringCurrentIntoView();
    if (key == VK_F4) {
        ::SendMessageW(GetParent(), WM_KEYDOWN, key, 0);
        return;
    }
    if (key == kActionKey) {
        if (m_state == GALLERY_DELETE)
            return;
        const int current = VisibleCurrent();
        POINT at = CellOrigin(current - m_paging.position * m_paging.columns);
        OnPenDown(at);
        OnPenUp(at);
        return;
    }
    if (key < VK_LEFT || key > VK_DOWN || m_paging.itemCount == 0)
        return;
    const int c = m_paging.columns;
    GridCell from{m_paging.position, VisibleCurrent() - m_paging.position * c};
    GridCell to = GridArrow(key, c, m_paging.visibleRows, m_paging.itemCount, m_paging.positionCount, from);
    const int index = std::clamp(to.position * c + to.offset, 0, m_paging.itemCount - 1);
    SetPosition(to.position);
    const int row = GridPages::RowOf(index, c);
    if (row < m_paging.position || row >= m_paging.position + m_paging.visibleRows)
        SetPosition(row);
    MakeCurrent(index);
    Refresh();
}

BOOL CThumbnailGrid::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_MOUSEMOVE:
    case WM_LBUTTONUP:
    case WM_KEYDOWN:
        ::SendMessageW(GetParent(), WM_POPUP_PEN_UP, 0, 0);
        if (message == WM_LBUTTONDOWN)
            OnPenDown(PointOf(lParam));
        else if (message == WM_MOUSEMOVE)
            OnPenMove(PointOf(lParam));
        else if (message == WM_LBUTTONUP)
            OnPenUp(PointOf(lParam));
        else
            OnKeyDown(wParam);
        return TRUE;
    case WM_KEYUP:
        return TRUE;
    case WM_VSCROLL:
        SetPosition(static_cast<SHORT>(HIWORD(wParam)));
        Refresh();
        return TRUE;
    case WM_SIZE:
        m_backgroundPainted = false;
        return FALSE;
    case WM_ERASEBKGND:
        if (!m_backgroundPainted) {
            RECT client{};
            ::GetClientRect(hwnd, &client);
            Fill(reinterpret_cast<HDC>(wParam), client, Background());
            m_backgroundPainted = true;
        }
        result = 1;
        return TRUE;
    case WM_PAINT: {
        if (m_viewShown) {
            RECT area{};
            if (CLayoutManager::GetInstance()->GetRect(kDropDownArea, &area))
                ::InvalidateRect(GetParent(), &area, FALSE);
            m_viewShown = false;
        }
        const bool landscape = !Portrait();
        if ((landscape && m_paging.columns == 2) || (!landscape && m_paging.columns == 4)) {
            // The layout is stale after a turn.
            Relayout();
            ::InvalidateRect(hwnd, nullptr, FALSE);
        }
        skin::PaintWindow(hwnd, Background(), [this](HDC dc) { Draw(dc); });
        return TRUE;
    }
    default:
        return FALSE;
    }
}
