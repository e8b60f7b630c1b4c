#include "shot_mosaic_view.h"

#include <algorithm>

#include "ImagePack.h"
#include "ImageUtil.h"
#include "camera_control.h"
#include "draw_context.h"
#include "draw_event.h"
#include "gui_screens.h"
#include "settings.h"
#include "shot_control.h"

namespace {

constexpr COLORREF kKey = RGB(255, 0, 255);
constexpr DWORD kCaptureStateMosaicDone = 256;

int TileCount(int kind) { return kind == 1 || kind == 2 ? 2 : 4; }

std::vector<MosaicTile> Marked(std::vector<MosaicTile> tiles)
{
    if (!tiles.empty())
        tiles.front().mark = 1;
    return tiles;
}

// A DC on a turned bitmap with the draw context that maps layout onto it.
class BitmapCanvas {
public:
    explicit BitmapCanvas(CRotBitmap* bitmap) : dc_(CreateCompatibleDC(nullptr))
    {
        BITMAP info{};
        GetObjectW(bitmap->Handle(), sizeof info, &info);
        old_ = SelectObject(dc_, bitmap->Handle());
        context.Attach(dc_);
        context.m_nSurfaceWidth = info.bmWidth;
        context.m_nSurfaceHeight = info.bmHeight;
    }
    ~BitmapCanvas()
    {
        SelectObject(dc_, old_);
        DeleteDC(dc_);
    }
    BitmapCanvas(const BitmapCanvas&) = delete;
    BitmapCanvas& operator=(const BitmapCanvas&) = delete;
    CDrawContext context;

private:
    HDC dc_;
    HGDIOBJ old_;
};

int Width(const RECT& r) { return r.right - r.left; }
int Height(const RECT& r) { return r.bottom - r.top; }

}  // namespace

CShotMosaicView::~CShotMosaicView()
{
    if (m_hComposed)
        DeleteObject(m_hComposed);
    m_hComposed = nullptr;
}

std::vector<MosaicTile> CShotMosaicView::EvenGrid(int kind, int width, int height)
{
    const int w = kind == 2 ? width : width / 2;
    const int h = kind == 1 ? height : height / 2;
    std::vector<MosaicTile> tiles;
    const int count = TileCount(kind);
    const int columns = kind == 2 ? 1 : 2;
    for (int i = 0; i < count; ++i) {
        const int column = i % columns, row = i / columns;
        RECT r{column * w, row * h, (column + 1) * w, (row + 1) * h};
        // The last column and row reach the edge, so an odd size loses no pixel.
        if (column == columns - 1)
            r.right = width;
        if (row == count / columns - 1)
            r.bottom = height;
        tiles.push_back({r, 0});
    }
    return Marked(tiles);
}

std::vector<MosaicTile> CShotMosaicView::GuideGrid(int kind, int width, int height)
{
    static constexpr RECT kSideBySide[] = {{40, 0, 200, 240}, {200, 0, 360, 240}};
    static constexpr RECT kStacked[] = {{40, 0, 360, 120}, {40, 120, 360, 240}};
    static constexpr RECT kFour[] = {{40, 0, 200, 120}, {200, 0, 360, 120}, {40, 120, 200, 240}, {200, 120, 360, 240}};
    const RECT* fixed = kind == 1 ? kSideBySide : kind == 2 ? kStacked : kFour;
    std::vector<MosaicTile> tiles;
    for (int i = 0; i < TileCount(kind); ++i) {
        RECT r = fixed[i];
        if (kind == 1)
            r.bottom = height;  // side by side: the full height
        r.right = std::min<LONG>(r.right, width);
        r.bottom = std::min<LONG>(r.bottom, height);
        tiles.push_back({r, 0});
    }
    return Marked(tiles);
}

int CShotMosaicView::Setup(int kind, const RECT& area, int composedWidth, int composedHeight)
{
    m_bReady = FALSE;
    const int a = Width(area), b = Height(area);
    if (a <= 0 || b <= 0 || composedWidth <= 1 || composedHeight <= 1)
        return 0;
    m_nKind = kind;
    m_rcArea = area;
    m_composed = SIZE{composedWidth, composedHeight};
    m_nIndex = 0;
    m_spEmpty = CeImagePack::GetInstance()->GetImage(0);
    m_layoutTiles = GuideGrid(kind, a, b);
    m_thumbTiles = EvenGrid(kind, kMosaicThumbWidth, kMosaicThumbHeight);
    m_areaTiles = EvenGrid(kind, a, b);
    m_composedTiles = EvenGrid(kind, composedWidth, composedHeight);

    // RGB565 as the frames are, so the tiles keep every bit.
    HBITMAP composed = CImageUtil::CreateRGB565DIBTopDown(composedWidth, composedHeight, nullptr);
    if (!composed)
        return 0;
    if (m_hComposed)
        DeleteObject(m_hComposed);
    m_hComposed = composed;
    CRotBitmap::CreateInstance(m_spFilled);
    if (!m_spFilled->CreateDIB(a, b, nullptr))
        return 0;
    {
        BitmapCanvas canvas(m_spFilled.get());
        const RECT all{0, 0, a, b};
        canvas.context.FillRect(&all, RGB(0, 0, 0));
    }
    ClearTile(0);
    m_bReady = TRUE;
    return 1;
}

void CShotMosaicView::ClearTile(int index)
{
    if (index < 0 || index >= GetTileCount() || !m_spFilled)
        return;
    BitmapCanvas canvas(m_spFilled.get());
    canvas.context.FillRect(&m_layoutTiles[static_cast<size_t>(index)].rect, kKey);
}

int CShotMosaicView::AddFrame(const BYTE* frame, int width, int height)
{
    if (!m_bReady || !m_hComposed || !frame || m_nIndex < 0 || m_nIndex >= GetTileCount())
        return 0;
    const auto i = static_cast<size_t>(m_nIndex);
    const RECT& composedTile = m_composedTiles[i].rect;
    HBITMAP part = CImageUtil::HBITMAPfromYUV420(frame, width, height, Width(composedTile), Height(composedTile), 0);
    HBITMAP thumb = CImageUtil::HBITMAPfromYUV420(frame, width, height, kMosaicThumbWidth, kMosaicThumbHeight, 0);
    if (!part || !thumb) {
        if (part)
            DeleteObject(part);
        if (thumb)
            DeleteObject(thumb);
        return 0;
    }
    // The composed picture is a photograph: never turned.
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, m_hComposed);
    BitBltBitmap(dc, composedTile.left, composedTile.top, Width(composedTile), Height(composedTile), part, 0, 0,
                 SRCCOPY);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(part);

    CeRefPtr<CRotBitmap> shown;
    CRotBitmap::CreateInstance(shown);
    shown->Attach(thumb, TRUE);
    {
        BitmapCanvas canvas(m_spFilled.get());
        const RECT& from = m_thumbTiles[i].rect;
        const RECT& to = m_layoutTiles[i].rect;
        RotStretchBlt(canvas.context.m_hDC, canvas.context.m_nSurfaceWidth, canvas.context.m_nSurfaceHeight, to.left,
                      to.top, Width(to), Height(to), shown.get(), from.left, from.top, Width(from), Height(from),
                      SRCCOPY);
    }
    ++m_nIndex;
    if (m_nIndex < GetTileCount()) {
        ClearTile(m_nIndex);
        CDrawEvent::SendMessage(L"ShotMosaicView", __LINE__);
        return 1;
    }
    // The shot control owns the picture from here on.
    HBITMAP picture = m_hComposed;
    m_hComposed = nullptr;
    CShotControl::GetInstance()->CreateShot(picture);
    CDrawEvent::SendMessage(L"ShotMosaicView", __LINE__);
    PostMessageW(CDrawEvent::Instance().GetHwnd(), WM_SHOT_MOSAIC, 2, 0);
    return 1;
}

int CShotMosaicView::Draw(CDrawContext* dc)
{
    if (!dc || !m_bReady || !m_hComposed)
        return 0;
    for (int i = 0; i < GetTileCount(); ++i) {
        const RECT& r = m_layoutTiles[static_cast<size_t>(i)].rect;
        CRotBitmap* from = i < m_nIndex ? m_spFilled.get() : i > m_nIndex ? m_spEmpty.get() : nullptr;
        if (from)
            RotBitBlt(dc->m_hDC, dc->m_nSurfaceWidth, dc->m_nSurfaceHeight, r.left, r.top, Width(r), Height(r), from,
                      r.left, r.top, SRCCOPY);
    }
    if (m_nIndex < GetTileCount()) {
        const RECT& r = m_layoutTiles[static_cast<size_t>(m_nIndex)].rect;
        const RECT inset{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1};
        RotDrawFrame(dc->m_hDC, dc->m_nSurfaceWidth, &inset, 2, kMosaicFrameColour);
    }
    return 1;
}

int CShotMosaicView::PrevTile()
{
    if (m_nIndex > 0)
        --m_nIndex;
    return m_nIndex;
}

void CShotMosaicView::Finish()
{
    CCameraControl* camera = CCameraControl::GetInstance();
    camera->SetState(kCaptureStateMosaicDone);
    m_bReady = FALSE;
    CSettings* settings = CSettings::GetInstance();
    if (!settings->IsReviewSwitchOn()) {
        settings->RemoveGUIStatus(GUI_STATUS_CAPTURING);
        CShotControl::GetInstance()->SaveAllShots();
        CShotControl::GetInstance()->ReleaseShots();
        camera->SetState(CAPTURE_STATE_IDLE);
        return;
    }
    CReviewSingleGUI::GetInstance()->OnOpen();
    camera->SetState(CAPTURE_STATE_IDLE);
}
