// GalleryFirstPaint: the grid's first paint (portrait, six cells) from an
// empty thumbnail cache. GalleryScroll: one row further, the cache warm.
// Each over 100 pictures of 1280 x 960 made by the program's JPEG saver,
// /thumbnails with their EXIF thumbnails, /decoded without (the picture is
// decoded at 1/8). peer_ratio: our CPU time over libjpeg-turbo's for the
// same decodes in the same run (the thumbnails, or the files at 1/8, read
// from the files and decoded to RGB565). Goals: first paint under 50 ms
// with thumbnails and 150 ms without, a row under 33 ms, ratio at most 1.5.
#include <benchmark/benchmark.h>

#include <time.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "ImageDecoder.h"
#include "ImageUtil.h"
#include "bench_display.h"
#include "haptic_control.h"
#include "jpeg_peer.h"
#include "layout_manager.h"
#include "lum_image_item_list.h"
#include "plat/device.h"
#include "plat/windows.h"
#include "thumbnail_grid.h"

// The popups' touch feedback: nothing to feel here.
CHapticControl::CHapticControl() = default;
CHapticControl::~CHapticControl() = default;
void CHapticControl::PlayEffectA() {}
void CHapticControl::PlayEffectB() {}

namespace {

namespace fs = std::filesystem;
constexpr int kPictures = 100;

double CpuMs()
{
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

fs::path HostPath(const WCHAR* devicePath) { return plat::MapDevicePath(devicePath).value_or(fs::path()); }

std::vector<uint8_t> ReadFile(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), {});
}

// The file without its APP1 segment: the same picture, no EXIF thumbnail.
std::vector<uint8_t> WithoutExif(const std::vector<uint8_t>& jpeg)
{
    if (jpeg.size() < 6 || jpeg[2] != 0xFF || jpeg[3] != 0xE1)
        return jpeg;
    const size_t length = (size_t{jpeg[4]} << 8) | jpeg[5];
    std::vector<uint8_t> out(jpeg.begin(), jpeg.begin() + 2);
    out.insert(out.end(), jpeg.begin() + 4 + static_cast<std::ptrdiff_t>(length), jpeg.end());
    return out;
}

// The embedded thumbnail's bytes (IFD1's JPEGInterchangeFormat), empty when none.
std::vector<uint8_t> Thumbnail(const std::vector<uint8_t>& jpeg)
{
    if (jpeg.size() < 20 || jpeg[3] != 0xE1 || std::string(jpeg.begin() + 6, jpeg.begin() + 10) != "Exif")
        return {};
    const size_t tiff = 12;
    const bool le = jpeg[tiff] == 'I';
    auto u16 = [&](size_t at) { return le ? jpeg[at] | jpeg[at + 1] << 8 : jpeg[at] << 8 | jpeg[at + 1]; };
    auto u32 = [&](size_t at) {
        return le ? uint32_t(u16(at)) | uint32_t(u16(at + 2)) << 16 : uint32_t(u16(at)) << 16 | uint32_t(u16(at + 2));
    };
    size_t ifd = tiff + u32(tiff + 4);
    ifd = tiff + u32(ifd + 2 + 12 * u16(ifd));  // IFD1
    uint32_t offset = 0, length = 0;
    for (int i = 0, n = u16(ifd); i < n; ++i) {
        const size_t entry = ifd + 2 + 12 * i;
        if (u16(entry) == 0x0201)
            offset = u32(entry + 8);
        if (u16(entry) == 0x0202)
            length = u32(entry + 8);
    }
    if (!offset || tiff + offset + length > jpeg.size())
        return {};
    return std::vector<uint8_t>(jpeg.begin() + tiff + offset, jpeg.begin() + tiff + offset + length);
}

void PeerDecode(const std::vector<uint8_t>& jpeg, int denominator)
{
    benchmark::DoNotOptimize(PeerDecodeRgb565(jpeg.data(), jpeg.size(), denominator));
}

struct Gallery {
    fs::path root;
    HWND parent = nullptr;
    std::unique_ptr<CThumbnailGrid> grid;
    LumImageItemList model;
};

// The pictures once per process: noise, so that each file is as large as a
// camera's and its thumbnail is used.
bool MakePictures()
{
    static const bool made = [] {
        if (!benchdisplay::OpenDeviceRoot())
            return false;
        // The program's own JPEG decoder behind the picture loaders, as at its start.
        RegisterPictureDecoders();
        benchdisplay::Turn(DMDO_0);
        setenv("LUMOCR_IMAGE_DIR", LUM_SOURCE_DIR "/resources/images", 1);

        CreateDirectoryW(L"\\Thumbs", nullptr);
        CreateDirectoryW(L"\\Plain", nullptr);
        std::mt19937 random(7);
        std::vector<WORD> pixels(1280 * 960);
        for (int i = 1; i <= kPictures; ++i) {
            for (WORD& p : pixels)
                p = static_cast<WORD>(random());
            WCHAR name[64];
            std::swprintf(name, 64, L"\\Thumbs\\D%09d.jpg", i);
            if (CImageUtil::SaveJpegFromBuffer(name, reinterpret_cast<const BYTE*>(pixels.data()), 1280, 960, 1) != S_OK)
                return false;
            char plain[32];
            std::snprintf(plain, sizeof plain, "D%09d.jpg", i);
            std::vector<uint8_t> bytes = WithoutExif(ReadFile(HostPath(name)));
            std::ofstream(plat::DeviceRoot() / "Plain" / plain, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                                          static_cast<std::streamsize>(bytes.size()));
        }
        // Both ways of the cache must give a thumbnail, or there is nothing to measure.
        for (const WCHAR* path : {L"\\Thumbs\\D000000001.jpg", L"\\Plain\\D000000001.jpg"}) {
            HBITMAP bitmap = CThumbnailCache::Decode(path, CThumbnailCache::kWidth, CThumbnailCache::kHeight);
            if (!bitmap) {
                std::fprintf(stderr, "dialogs_bench: no thumbnail of %ls\n", path);
                return false;
            }
            DeleteObject(bitmap);
        }
        return true;
    }();
    return made;
}

std::unique_ptr<Gallery> OpenGallery(const WCHAR* folder)
{
    auto g = std::make_unique<Gallery>();
    g->model.Rescan(folder);
    g->model.SetFilterMode(LumImageItemList::FILTER_DOCUMENTS);
    g->parent = CreateWindowExW(0, L"STATIC", L"gallery", WS_POPUP | WS_VISIBLE, 0, 26, 240, 348, nullptr, nullptr,
                                nullptr, nullptr);
    POINT at{};
    SIZE size{};
    CLayoutManager::GetInstance()->GetPosition(30020, &at);
    CLayoutManager::GetInstance()->GetSize(30020, &size);
    HWND child = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, at.x, at.y, size.cx, size.cy, g->parent,
                                 nullptr, nullptr, nullptr);
    g->grid = std::make_unique<CThumbnailGrid>();
    g->grid->Attach(child);
    g->grid->SetFilter(LumImageItemList::FILTER_DOCUMENTS);
    g->grid->Load(&g->model, false);
    return g;
}

void Paint(CThumbnailGrid& grid)
{
    InvalidateRect(grid, nullptr, FALSE);
    UpdateWindow(grid);
}

// The files of the pictures the grid shows at a position.
std::vector<std::vector<uint8_t>> Shown(Gallery& g, int position, bool newRowOnly)
{
    const GridPaging& p = g.grid->Paging();
    const int first = (newRowOnly ? position + p.visibleRows - 1 : position) * p.columns;
    const int end = std::min(p.columns * (position + p.visibleRows), p.itemCount);
    std::vector<std::vector<uint8_t>> files;
    for (int i = first; i < end; ++i) {
        const ImageFileItem& item = g.model.GetItemAt(i);
        if (item.GetType() != ImageFileItem::TYPE_NONE)
            files.push_back(ReadFile(HostPath(item.GetPath().c_str())));
    }
    return files;
}

// The peer's CPU time for decoding these files as the grid does.
double PeerMs(const std::vector<std::vector<uint8_t>>& files, bool thumbnails, int rounds)
{
    const double start = CpuMs();
    for (int r = 0; r < rounds; ++r)
        for (const std::vector<uint8_t>& file : files) {
            if (thumbnails)
                PeerDecode(Thumbnail(file), 1);
            else
                PeerDecode(file, 8);
        }
    return (CpuMs() - start) / rounds;
}

void GalleryFirstPaint(benchmark::State& state, bool thumbnails)
{
    if (!MakePictures()) {
        state.SkipWithError("the pictures could not be made");
        return;
    }
    auto g = OpenGallery(thumbnails ? L"\\Thumbs" : L"\\Plain");
    double ours = 0;
    int n = 0;
    for (auto _ : state) {
        g->grid->Cache().Clear();
        const double start = CpuMs();
        Paint(*g->grid);
        ours += CpuMs() - start;
        ++n;
    }
    state.counters["peer_ratio"] = (ours / n) / PeerMs(Shown(*g, 0, false), thumbnails, 20);
    DestroyWindow(g->parent);
}

void GalleryScroll(benchmark::State& state, bool thumbnails)
{
    if (!MakePictures()) {
        state.SkipWithError("the pictures could not be made");
        return;
    }
    auto g = OpenGallery(thumbnails ? L"\\Thumbs" : L"\\Plain");
    Paint(*g->grid);
    double ours = 0;
    int n = 0;
    int position = 0;
    for (auto _ : state) {
        // Forward one row; back to the top (a cold first view) outside the timing.
        if (position + 1 >= g->grid->Paging().positionCount) {
            state.PauseTiming();
            position = 0;
            g->grid->SetPosition(0);
            Paint(*g->grid);
            state.ResumeTiming();
        }
        g->grid->SetPosition(++position);
        const double start = CpuMs();
        Paint(*g->grid);
        ours += CpuMs() - start;
        ++n;
    }
    state.counters["peer_ratio"] = (ours / n) / PeerMs(Shown(*g, 1, true), thumbnails, 20);
    DestroyWindow(g->parent);
}

}  // namespace

BENCHMARK_CAPTURE(GalleryFirstPaint, thumbnails, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GalleryFirstPaint, decoded, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GalleryScroll, thumbnails, true)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(GalleryScroll, decoded, false)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
