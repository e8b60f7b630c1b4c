#include "drop_down_list.h"

#include <algorithm>
#include <cmath>

#include "dialog_messages.h"
#include "font_manager.h"
#include "haptic_control.h"
#include "layout_manager.h"
#include "skin_draw.h"

const DropDownVariant kSettingsDropDown{34, 30012, 30012, 30012, 0, 10, true, false, false};
const DropDownVariant kGalleryDropDown{41, 30022, 30024, 30022, 242, 7, false, true, true};

namespace {

constexpr COLORREF kRowLine = RGB(0x67, 0x67, 0x67);
constexpr UINT kTrackId = 1405, kThumbId = 1375;
constexpr int kTrackWidth = 7;
// The settings list in landscape stands beside its label, one row per 35 pixels.
constexpr POINT kLandscapeListAt{207, 43};
constexpr int kLandscapeListWidth = 189, kLandscapeRowHeight = 35;
// The gallery list shows three rows at most.
constexpr int kGalleryVisibleRows = 3;

POINT PointOf(LPARAM lParam)
{
    return POINT{static_cast<SHORT>(LOWORD(static_cast<DWORD_PTR>(lParam))),
                 static_cast<SHORT>(HIWORD(static_cast<DWORD_PTR>(lParam)))};
}

int LayoutWidth(UINT id)
{
    SIZE size{};
    return CLayoutManager::GetInstance()->GetSize(id, &size) ? size.cx : 0;
}

}  // namespace

// Where the scroll thumb of a list stands: unit = ceil(track / (rows - 2)),
// from top row x unit (at least 1) one unit down, never past the track.
// No thumb when every row is shown at once.
bool DropDownThumb(int trackHeight, int rows, int perPage, int top, int* y0, int* y1)
{
    if (rows <= perPage || rows < 1)
        return false;
    int unit = static_cast<int>(std::ceil(static_cast<double>(trackHeight) / std::max(rows - 2, 1)));
    *y0 = std::max(top * unit, 1);
    *y1 = *y0 + unit > trackHeight ? trackHeight + 1 : *y0 + unit;
    return true;
}

// ---- the list -------------------------------------------------------------------

CDropDownListView::~CDropDownListView()
{
    skin::Free(m_rowSelected);
    skin::Free(m_rowNormal);
}

void CDropDownListView::SetRowImages(UINT normal, UINT selected)
{
    skin::Free(m_rowNormal);
    skin::Free(m_rowSelected);
    m_rowNormal = skin::Load(normal);
    m_rowSelected = skin::Load(selected);
}

int CDropDownListView::RowCount() const
{
    return m_hWnd ? static_cast<int>(::SendMessageW(m_hWnd, LVM_GETITEMCOUNT, 0, 0)) : 0;
}

int CDropDownListView::PerPage() const
{
    RECT r{};
    ::GetClientRect(m_hWnd, &r);
    return std::max(1, static_cast<int>(r.bottom / m_button->Variant().rowHeight));
}

int CDropDownListView::RowAt(POINT p) const
{
    int width = m_button->ItemWidth() - 10;
    int h = m_button->Variant().rowHeight;
    if (p.x < 0 || p.x >= width || p.y < 0)
        return -1;
    int row = m_top + p.y / h;
    return row < RowCount() ? row : -1;
}

int CDropDownListView::Selection() const
{
    if (!m_hWnd)
        return -1;
    return static_cast<int>(::SendMessageW(m_hWnd, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void CDropDownListView::Select(int row)
{
    if (row < 0 || row >= RowCount())
        return;
    LVITEMW state{};
    state.state = state.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(m_hWnd, LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&state));
}

std::wstring CDropDownListView::RowText(int row) const
{
    if (row < 0 || row >= RowCount())
        return {};
    // Grown until the text fits.
    for (size_t chars = 256;; chars *= 2) {
        std::wstring text(chars, L'\0');
        LVITEMW item{};
        item.pszText = text.data();
        item.cchTextMax = static_cast<int>(chars);
        auto n = static_cast<size_t>(
            ::SendMessageW(m_hWnd, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item)));
        if (n + 1 < chars) {
            text.resize(n);
            return text;
        }
    }
}

void CDropDownListView::ShowRow(int row)
{
    if (row < 0)
        return;
    int page = PerPage();
    if (row < m_top)
        m_top = row;
    else if (row >= m_top + page)
        m_top = row - page + 1;
}

void CDropDownListView::Draw(HDC dc) const
{
    RECT client{};
    ::GetClientRect(m_hWnd, &client);
    const DropDownVariant& v = m_button->Variant();
    HFONT font = CFontManager::GetInstance()->GetFont(v.rowFontItem);
    HGDIOBJ oldFont = ::SelectObject(dc, font);
    ::SetBkMode(dc, TRANSPARENT);
    const int rows = RowCount();
    const int shown = std::min(PerPage(), rows - m_top);
    const int width = m_button->ItemWidth();
    const bool landscape = GetScreenOrientation() < 0;
    for (int i = 0; i < shown; ++i) {
        int row = m_top + i;
        RECT r{0, i * v.rowHeight, width, (i + 1) * v.rowHeight};
        bool selected = ::SendMessageW(m_hWnd, LVM_GETITEMSTATE, static_cast<WPARAM>(row), LVIS_SELECTED) != 0;
        HBITMAP back = selected ? m_rowSelected : m_rowNormal;
        skin::DrawAt(dc, back, r.left, r.top, false);
        ::SetTextColor(dc, selected ? RGB(255, 255, 255) : RGB(0, 0, 0));
        std::wstring text = RowText(row);
        if (v.drawsTrack) {
            int lineWidth = back ? skin::SizeOf(back).cx : width;
            HBRUSH grey = ::CreateSolidBrush(kRowLine);
            if (i == 0) {
                RECT line{0, r.top, lineWidth, r.top + 1};
                ::FillRect(dc, &line, grey);
            }
            if (i == 2 && landscape) {
                RECT band{0, r.bottom, lineWidth, r.bottom + 5};
                ::FillRect(dc, &band, grey);
            }
            ::DeleteObject(grey);
            RECT t{r.left + 22, r.top, r.right, r.bottom};
            ::DrawTextW(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
        } else {
            RECT t{r.left + 10, r.top, r.right - 10, r.bottom};
            ::DrawTextW(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_END_ELLIPSIS | DT_NOPREFIX);
        }
    }
    ::SelectObject(dc, oldFont);
    if (!v.drawsTrack)
        return;
    // The track stands at the list's right edge.
    RECT track{client.right - kTrackWidth, 0, client.right, client.bottom};
    HBITMAP trackBitmap = skin::Load(kTrackId);
    skin::Draw(dc, trackBitmap, track, false);
    skin::Free(trackBitmap);
    int y0 = 0, y1 = 0;
    if (DropDownThumb(track.bottom - track.top, rows, PerPage(), m_top, &y0, &y1)) {
        HBITMAP thumb = skin::Load(kThumbId);
        skin::Draw(dc, thumb, RECT{track.left, y0, track.right, y1}, false);
        skin::Free(thumb);
    }
}

void CDropDownListView::Choose(int row)
{
    Select(row);
    ShowRow(row);
    m_button->m_remembered = row;
    m_caption = RowText(row);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    m_button->Click();
}

void CDropDownListView::OnPenDown(POINT p)
{
    m_hit = RowAt(p);
    if (m_hit < 0)
        return;
    Select(m_hit);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CDropDownListView::OnPenUp(POINT p)
{
    int row = RowAt(p);
    bool pressedHere = row >= 0 && row == m_hit;
    m_hit = -1;
    if (row < 0 || (m_button->Variant().chooseOnPressedRow && !pressedHere))
        return;
    Choose(row);
}

void CDropDownListView::OnKey(WPARAM key)
{
    const int rows = RowCount();
    const int selected = Selection();
    if ((key == VK_UP && selected == 0) || (key == VK_DOWN && selected == rows - 1))
        return;
    if (key == VK_F4)
        ::SendMessageW(m_button->Dialog(), WM_KEYDOWN, key, 0);
    if (key == kDropDownActionKey) {
        if (selected >= 0)
            Choose(selected);
        return;
    }
    DefWindowProc(WM_KEYDOWN, key, 0);
    int now = Selection();
    if (now < 0)
        return;
    if (now < m_top)
        m_top = now;
    else if (now >= m_top + PerPage())
        m_top = now - PerPage() + 1;
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

BOOL CDropDownListView::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    const bool gallery = m_button->Variant().galleryInput;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
        if (gallery)
            m_button->TellDialog();
        if (gallery && m_button->Busy())
            return TRUE;
        if (message == WM_LBUTTONDOWN)
            OnPenDown(PointOf(lParam));
        else
            OnPenUp(PointOf(lParam));
        return TRUE;
    case WM_MOUSEMOVE:
        if (gallery)
            m_button->TellDialog();
        return TRUE;
    case WM_KEYDOWN:
        if (gallery)
            m_button->TellDialog();
        OnKey(wParam);
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        skin::PaintWindow(hwnd, RGB(255, 255, 255), [&](HDC dc) { Draw(dc); });
        return TRUE;
    default:
        return FALSE;
    }
}

// ---- the button -----------------------------------------------------------------

CDropDownList::CDropDownList(const DropDownVariant& variant) : m_variant(variant) {}

CDropDownList::~CDropDownList()
{
    for (HBITMAP& face : m_faces)
        skin::Free(face);
    if (m_list.m_hWnd && ::IsWindow(m_list.m_hWnd))
        ::DestroyWindow(m_list.m_hWnd);
}

BOOL CDropDownList::Attach(HWND button) { return button && SubclassWindow(button); }

void CDropDownList::SetFaces(UINT normal, UINT pressed, UINT open)
{
    UINT ids[3] = {normal, pressed, open};
    for (int i = 0; i < 3; ++i) {
        skin::Free(m_faces[i]);
        m_faces[i] = skin::Load(ids[i]);
    }
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

BOOL CDropDownList::CreateList(HWND dialog, int x, int y, int width, int height)
{
    HWND list = ::CreateWindowExW(0, WC_LISTVIEWW, L"",
                                  WS_CHILD | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_OWNERDRAWFIXED |
                                      LVS_NOSCROLL | LVS_NOCOLUMNHEADER,
                                  x, y, width, height, dialog, nullptr, nullptr, nullptr);
    if (!list || !m_list.SubclassWindow(list))
        return FALSE;
    LVCOLUMNW column{};
    column.mask = LVCF_TEXT | LVCF_WIDTH;
    column.pszText = const_cast<LPWSTR>(L"Column");
    column.cx = width;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
    ::SendMessageW(list, LVM_SETCOLUMNWIDTH, 0, LVSCW_AUTOSIZE_USEHEADER);
    return TRUE;
}

void CDropDownList::AddRow(const std::wstring& text)
{
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = m_list.RowCount();
    item.pszText = const_cast<LPWSTR>(text.c_str());
    ::SendMessageW(ListWindow(), LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

void CDropDownList::DeleteAll()
{
    ::SendMessageW(ListWindow(), LVM_DELETEALLITEMS, 0, 0);
    m_list.SetTop(0);
    m_list.m_caption.clear();
    m_remembered = -1;
}

void CDropDownList::DeleteRow(int row)
{
    if (row < 0 || row >= GetRowCount())
        return;
    ::SendMessageW(ListWindow(), LVM_DELETEITEM, static_cast<WPARAM>(row), 0);
    m_list.SetTop(std::clamp(m_list.Top(), 0, std::max(GetRowCount() - 1, 0)));
}

void CDropDownList::SetSelection(int row)
{
    const int rows = GetRowCount();
    if (row == -1)
        row = rows - 1;
    if (row < 0 || row >= rows)
        return;
    m_list.Select(row);
    m_list.m_caption = m_list.RowText(row);
    m_remembered = row;
    if (m_variant.galleryInput)
        m_list.SetTop(rows >= 4 ? std::max(row - 2, 0) : 0);
    else
        m_list.SetTop(0);
    ::InvalidateRect(ListWindow(), nullptr, FALSE);
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CDropDownList::SetSelectionAtTop(int row)
{
    const int rows = GetRowCount();
    if (row < 0 || row >= rows)
        return;
    m_list.Select(row);
    m_list.m_caption = m_list.RowText(row);
    m_remembered = row;
    m_list.SetTop(std::max(rows - row < kGalleryVisibleRows ? rows - kGalleryVisibleRows : row, 0));
    if (m_hWnd)
        ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CDropDownList::MoveList(int x, int y, int width, int height)
{
    const int rows = GetRowCount();
    if (!m_variant.galleryInput || rows >= kGalleryVisibleRows) {
        ::MoveWindow(ListWindow(), x, y, width, height, TRUE);
        return;
    }
    ::SetWindowPos(ListWindow(), nullptr, 0, 0, LayoutWidth(m_variant.widthItem), rows * m_variant.rowHeight,
                   SWP_NOMOVE | SWP_NOZORDER);
}

HWND CDropDownList::Dialog() const { return ::GetParent(m_hWnd ? m_hWnd : ListWindow()); }

bool CDropDownList::Busy() const { return CLayoutManager::GetInstance()->IsBusy() != FALSE; }

int CDropDownList::ItemWidth() const
{
    int width = LayoutWidth(m_variant.widthItem);
    if (!m_variant.galleryInput && m_landscapePlacement && GetSystemMetrics(SM_CXSCREEN) == 400)
        width = kLandscapeListWidth;
    return width;
}

void CDropDownList::TellDialog() const { ::SendMessageW(Dialog(), WM_POPUP_PEN_UP, 0, 0); }

void CDropDownList::Click() { SendMessage(BM_CLICK, 0, 0); }

void CDropDownList::OnPenDown()
{
    m_pressed = true;
    m_open = !m_open;
    ::SetCapture(m_hWnd);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CDropDownList::OnPenUp()
{
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    m_pressed = false;
    if (m_open)
        OpenList();
    else
        CloseList();
}

void CDropDownList::OpenList()
{
    HWND list = ListWindow();
    const int rows = GetRowCount();
    m_remembered = GetSelection();
    if (m_variant.galleryInput) {
        int height = rows < 4 ? rows * m_variant.rowHeight : kGalleryVisibleRows * m_variant.rowHeight;
        ::SetWindowPos(list, nullptr, 0, 0, LayoutWidth(m_variant.widthItem), height, SWP_NOMOVE | SWP_NOZORDER);
        m_list.ShowRow(m_remembered);
        ::ShowWindow(list, SW_SHOW);
        ::SetFocus(list);
        ::SendMessageW(Dialog(), WM_COMMAND, MAKEWPARAM(static_cast<DWORD>(::GetDlgCtrlID(m_hWnd)), 0),
                       reinterpret_cast<LPARAM>(m_hWnd));
    } else {
        if (m_landscapePlacement && GetSystemMetrics(SM_CXSCREEN) == 400)
            ::SetWindowPos(list, HWND_TOPMOST, kLandscapeListAt.x, kLandscapeListAt.y, kLandscapeListWidth,
                           rows * kLandscapeRowHeight, 0);
        ::SetFocus(list);
        ::ShowWindow(list, SW_SHOW);
        m_list.ShowRow(m_remembered);
    }
    ::InvalidateRect(list, nullptr, FALSE);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
}

void CDropDownList::CloseList()
{
    HWND list = ListWindow();
    if (m_variant.galleryInput) {
        if (m_remembered >= 0)
            m_list.Select(m_remembered);
        m_list.ShowRow(m_remembered);
        ::ShowWindow(list, SW_HIDE);
        ::SetFocus(Dialog());
    } else {
        m_list.SetTop(0);
        m_list.ShowRow(GetSelection());
        ::ShowWindow(list, SW_HIDE);
        ::SetFocus(m_hWnd);
    }
    ::RedrawWindow(m_hWnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    ::SendMessageW(Dialog(), WM_DROPDOWN_CLOSED, 0, reinterpret_cast<LPARAM>(m_hWnd));
}

void CDropDownList::DropList()
{
    m_open = false;
    m_pressed = false;
    if (::GetCapture() == m_hWnd)
        ::ReleaseCapture();
    ::ShowWindow(ListWindow(), SW_HIDE);
    ::InvalidateRect(m_hWnd, nullptr, FALSE);
    ::SendMessageW(Dialog(), WM_DROPDOWN_CLOSED, 0, reinterpret_cast<LPARAM>(m_hWnd));
}

void CDropDownList::Close()
{
    if (!m_open)
        return;
    m_open = false;
    m_pressed = false;
    CloseList();
}

std::wstring CDropDownList::Placeholder() const
{
    if (!m_variant.placeholderId)
        return L"Select";
    return CLayoutManager::GetInstance()->GetString(m_variant.placeholderId);
}

void CDropDownList::Draw(HDC dc) const
{
    RECT r{};
    ::GetClientRect(m_hWnd, &r);
    DrawFace(dc, r);
}

void CDropDownList::DrawFace(HDC dc, const RECT& r) const
{
    HBITMAP face = m_pressed && m_faces[1] ? m_faces[1] : (m_open && m_faces[2] ? m_faces[2] : m_faces[0]);
    skin::Draw(dc, face, r, true);
    std::wstring text = Caption();
    if (text.empty() && (!m_variant.galleryInput || GetRowCount() == 0))
        text = Placeholder();
    HGDIOBJ old = ::SelectObject(dc, CFontManager::GetInstance()->GetFont(m_variant.captionFontItem));
    ::SetBkMode(dc, TRANSPARENT);
    ::SetTextColor(dc, RGB(0, 0, 0));
    RECT t{r.left + m_variant.captionInset, r.top, r.right - m_variant.captionInset, r.bottom};
    ::DrawTextW(dc, text.c_str(), -1, &t, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    ::SelectObject(dc, old);
}

BOOL CDropDownList::ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result)
{
    result = 0;
    const bool gallery = m_variant.galleryInput;
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        if (gallery) {
            TellDialog();
            if (Busy())
                return TRUE;
            CHapticControl::GetInstance()->PlayEffectA();
        }
        OnPenDown();
        return TRUE;
    case WM_MOUSEMOVE:
        if (gallery) {
            TellDialog();
            if (Busy())
                return TRUE;
            RECT r{};
            ::GetWindowRect(hwnd, &r);
            POINT p = PointOf(lParam);
            ::ClientToScreen(hwnd, &p);
            bool inside = p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom;
            if (m_open && !inside)
                DropList();
        }
        return TRUE;
    case WM_LBUTTONUP:
        if (gallery) {
            TellDialog();
            if (Busy())
                return TRUE;
            CHapticControl::GetInstance()->PlayEffectB();
        }
        OnPenUp();
        return TRUE;
    case BM_CLICK:
        OnPenDown();
        OnPenUp();
        return TRUE;
    case WM_KILLFOCUS:
        if (gallery && ::GetCapture() == hwnd)
            ::ReleaseCapture();
        m_pressed = false;
        ::InvalidateRect(hwnd, nullptr, FALSE);
        return FALSE;
    case WM_KEYDOWN:
        if (gallery) {
            TellDialog();
            if (m_open)
                ::SendMessageW(ListWindow(), WM_KEYDOWN, wParam, lParam);
            else
                ::SendMessageW(Dialog(), WM_KEYDOWN, wParam, lParam);
        } else if (wParam == VK_F4) {
            ::SendMessageW(Dialog(), WM_KEYDOWN, wParam, lParam);
        }
        return TRUE;
    case WM_DROPDOWN_CLOSE:
        if (m_open)
            DropList();
        return TRUE;
    case WM_ERASEBKGND:
        result = 1;
        return TRUE;
    case WM_PAINT:
        skin::PaintWindow(hwnd, GetSysColor(COLOR_STATIC), [&](HDC dc) { Draw(dc); });
        return TRUE;
    default:
        return FALSE;
    }
}
