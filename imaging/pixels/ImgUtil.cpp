// The image utility functions over the planar primitives.
#include "pixels/ImgUtil.h"

#include <cstring>

#include "pixels/FrameLayout.h"
#include "pixels/PixelLog.h"
#include "pixels/RotatedStore.h"
#include "pixels/YCbCrPrimitives.h"

namespace pixels {
namespace {

// Log line numbers of each function, as the field logs know them.
constexpr int kLine422Status = 278;
constexpr int kLineStill420Status = 357;
constexpr int kLineStillSize = 392;
constexpr int kLineStillNull = 397;
constexpr int kLine422RgbBuffer = 499;
constexpr int kLineCentering = 644;
constexpr int kLineRgb565Status = 728;
constexpr int kLineRgb888Status = 799;
constexpr int kLine420Size = 855;
constexpr int kLine420Null = 860;
constexpr int kLine420Status = 920;

constexpr const wchar_t* kInvalidSize = L"\r\nInvalid Width(%d) and Height(%d)  !!!";
constexpr const wchar_t* kInputNull = L"\r\nInput Buffer is NULL  !!!";
constexpr const wchar_t* kInvalidRegion = L"\r\nInvalid Region(%d x %d) of Source(%d x %d)  !!!";
constexpr const wchar_t* kNotEnoughBuffer = L"\r\nNot Enough Buffer !!!";

enum class Sampling { k420, k422 };
enum class Place { kCentred, kTopLeft };
enum class Order { kKeep, kCameraToCbCr };

using PlanePrimitive = int (*)(const uint8_t* const[3], const int[3], int, int, uint8_t* const[3], const int[3],
                               int, int, int, int, uint32_t, uint32_t);

// How one function of the family behaves and reports.
struct Family {
    const wchar_t* name;
    Sampling sampling;
    Place place;
    Order order;
    int sizeLine;
    int nullLine;
    int statusLine;  // 0: a failed primitive is not logged
    const wchar_t* statusText;
};

// The common argument checks; logs and answers false on the first failure.
// Sizes come before the null check.
bool CheckFrameArguments(const Family& f, const uint8_t* src, int srcWidth, int srcHeight, int regionWidth,
                         int regionHeight, const uint8_t* dst, int dstWidth, int dstHeight) {
    // Sides stay within 16 bits, so that every 16.16 ratio fits its 32 bits.
    if (dstWidth < 2 || dstHeight < 2 || dstWidth > 0xFFFF || dstHeight > 0xFFFF) {
        LogFailure(f.sizeLine, f.name, kInvalidSize, dstWidth, dstHeight);
        return false;
    }
    if (src == nullptr || dst == nullptr) {
        LogFailure(f.nullLine, f.name, kInputNull);
        return false;
    }
    // Chroma covers pixel pairs: a frame of odd width (or odd height in
    // 4:2:0) has no layout.
    const bool oddSource = (srcWidth & 1) != 0 || (f.sampling == Sampling::k420 && (srcHeight & 1) != 0);
    if (regionWidth < 2 || regionHeight < 2 || regionWidth > srcWidth || regionHeight > srcHeight || oddSource ||
        regionWidth > 0xFFFF || regionHeight > 0xFFFF) {
        LogFailure(f.sizeLine, f.name, kInvalidRegion, regionWidth, regionHeight, srcWidth, srcHeight);
        return false;
    }
    return true;
}

// The resampled size before the turn: quarter turns exchange the sides.
void RoiOf(int rotation, int dstWidth, int dstHeight, int& roiWidth, int& roiHeight) {
    const bool quarter = IsQuarterTurn(rotation);
    roiWidth = quarter ? dstHeight : dstWidth;
    roiHeight = quarter ? dstWidth : dstHeight;
}

// 16.16 source distance per output pixel, so that the first and last output
// samples fall on the first and last samples of the region.
uint32_t RatioOf(int region, int roi) {
    return static_cast<uint32_t>((static_cast<uint64_t>(region - 1) << 16) / static_cast<uint64_t>(roi - 1));
}

struct SourcePlanes {
    const uint8_t* plane[3];
    int step[3];
    int width;   // counted from the region's first sample
    int height;
};

// The region's planes in a frame block. The chroma start is the chroma sample
// of the region's top-left pixel.
SourcePlanes RegionPlanes(Sampling sampling, Order order, const uint8_t* src, int w, int h, int xOff, int yOff) {
    const size_t n = static_cast<size_t>(w) * static_cast<size_t>(h);
    const size_t chromaSize = sampling == Sampling::k420 ? n / 4 : n / 2;
    const size_t chromaRow = sampling == Sampling::k420 ? static_cast<size_t>(yOff >> 1) : static_cast<size_t>(yOff);
    const size_t chromaOffset = chromaRow * static_cast<size_t>(w >> 1) + static_cast<size_t>(xOff >> 1);
    const uint8_t* first = src + n + chromaOffset;
    const uint8_t* second = src + n + chromaSize + chromaOffset;
    SourcePlanes s{};
    s.plane[0] = src + static_cast<size_t>(yOff) * static_cast<size_t>(w) + static_cast<size_t>(xOff);
    s.plane[1] = order == Order::kKeep ? first : second;
    s.plane[2] = order == Order::kKeep ? second : first;
    s.step[0] = w;
    s.step[1] = s.step[2] = w >> 1;
    s.width = w - xOff;
    s.height = h - yOff;
    return s;
}

int ResizeRotateFrame(const Family& f, const uint8_t* src, int srcWidth, int srcHeight, int regionWidth,
                      int regionHeight, uint8_t* dst, int dstWidth, int dstHeight, int rotation) {
    if (!CheckFrameArguments(f, src, srcWidth, srcHeight, regionWidth, regionHeight, dst, dstWidth, dstHeight)) {
        return 0;
    }
    const int xOff = f.place == Place::kCentred ? (srcWidth - regionWidth) >> 1 : 0;
    const int yOff = f.place == Place::kCentred ? (srcHeight - regionHeight) >> 1 : 0;
    const SourcePlanes s = RegionPlanes(f.sampling, f.order, src, srcWidth, srcHeight, xOff, yOff);

    const size_t d = static_cast<size_t>(dstWidth) * static_cast<size_t>(dstHeight);
    uint8_t* const dstPlanes[3] = {dst, dst + d, dst + d + (f.sampling == Sampling::k420 ? d / 4 : d / 2)};
    const int dstSteps[3] = {dstWidth, dstWidth >> 1, dstWidth >> 1};
    int roiWidth;
    int roiHeight;
    RoiOf(rotation, dstWidth, dstHeight, roiWidth, roiHeight);

    const PlanePrimitive primitive =
        f.sampling == Sampling::k420 ? ippiYCbCr420RszRot_8u_P3R : ippiYCbCr422RszRot_8u_P3R;
    const int status = primitive(s.plane, s.step, s.width, s.height, dstPlanes, dstSteps, roiWidth, roiHeight, 1,
                                 rotation, RatioOf(regionWidth, roiWidth), RatioOf(regionHeight, roiHeight));
    if (status != 0) {
        if (f.statusLine != 0) {
            LogFailure(f.statusLine, f.name, f.statusText, status);
        }
        return 0;
    }
    return 1;
}

constexpr const wchar_t* k422Failed = L"ippiYCbCr422RszRot_8u_P3R FAILED !!! (State : %d)\r\n";
constexpr const wchar_t* k420Failed = L"ippiYCbCr420RszRot_8u_P3R FAILED !!! (State : %d)\r\n";
constexpr const wchar_t* kCscFailed = L"ippiYCbCr420RszCscRotRGB_8u_P3C3R FAILED !!! (State : %d)\r\n";

constexpr Family kYuv422RszRot{
    .name = L"IUYUV422RszRot",
    .sampling = Sampling::k422,
    .place = Place::kCentred,
    .order = Order::kKeep,
    .sizeLine = kLine422Status,
    .nullLine = kLine422Status,
    .statusLine = kLine422Status,
    .statusText = k422Failed,
};
constexpr Family kYuv420RszRot{
    .name = L"IUYUV420RszRot",
    .sampling = Sampling::k420,
    .place = Place::kCentred,
    .order = Order::kKeep,
    .sizeLine = kLine420Size,
    .nullLine = kLine420Null,
    .statusLine = kLine420Status,
    .statusText = k420Failed,
};
constexpr Family kStill{
    .name = L"IUResizeRotateStill",
    .sampling = Sampling::k420,
    .place = Place::kTopLeft,
    .order = Order::kKeep,
    .sizeLine = kLineStillSize,
    .nullLine = kLineStillNull,
    .statusLine = 0,
    .statusText = nullptr,
};
constexpr Family kStill420{
    .name = L"IUResizeRotateStill420",
    .sampling = Sampling::k420,
    .place = Place::kTopLeft,
    .order = Order::kCameraToCbCr,
    .sizeLine = kLineStill420Status,
    .nullLine = kLineStill420Status,
    .statusLine = kLineStill420Status,
    .statusText = k420Failed,
};

// Camera 4:2:0 frame to packed RGB, region at the top-left, nearest sample.
int CameraFrameToRgb(const Family& f, int format, const uint8_t* src, int srcWidth, int srcHeight, int regionWidth,
                     int regionHeight, uint8_t* dst, int dstWidth, int dstHeight, int rotation) {
    if (!CheckFrameArguments(f, src, srcWidth, srcHeight, regionWidth, regionHeight, dst, dstWidth, dstHeight)) {
        return 0;
    }
    const FramePlanes<const uint8_t> planes = CameraFrame420(src, srcWidth, srcHeight);
    const uint8_t* const srcPlanes[3] = {planes.y, planes.cb, planes.cr};
    const int srcSteps[3] = {srcWidth, srcWidth >> 1, srcWidth >> 1};
    int roiWidth;
    int roiHeight;
    RoiOf(rotation, dstWidth, dstHeight, roiWidth, roiHeight);
    const int bytes = format == kRgb888 ? 3 : 2;
    const int status = ippiYCbCr420RszCscRotRGB_8u_P3C3R(
        srcPlanes, srcSteps, srcWidth, srcHeight, dst, bytes * dstWidth, roiWidth, roiHeight, format, 0, rotation,
        RatioOf(regionWidth, roiWidth), RatioOf(regionHeight, roiHeight));
    if (status != 0) {
        LogFailure(f.statusLine, f.name, f.statusText, status);
        return 0;
    }
    return 1;
}

constexpr Family kToRgb565{
    .name = L"IUYCbCr420toRGB565_RszRot",
    .sampling = Sampling::k420,
    .place = Place::kTopLeft,
    .order = Order::kKeep,
    .sizeLine = kLineRgb565Status,
    .nullLine = kLineRgb565Status,
    .statusLine = kLineRgb565Status,
    .statusText = kCscFailed,
};
constexpr Family kToRgb888{
    .name = L"IUYCbCr420toRGB888_RszRot",
    .sampling = Sampling::k420,
    .place = Place::kTopLeft,
    .order = Order::kKeep,
    .sizeLine = kLineRgb888Status,
    .nullLine = kLineRgb888Status,
    .statusLine = kLineRgb888Status,
    .statusText = kCscFailed,
};
constexpr Family k422ToRgb565{
    .name = L"IUYCbCr422toRGB565_RszRot",
    .sampling = Sampling::k422,
    .place = Place::kCentred,
    .order = Order::kKeep,
    .sizeLine = kLine422RgbBuffer,
    .nullLine = kLine422RgbBuffer,
    .statusLine = kLine422RgbBuffer,
    .statusText = nullptr,
};

}  // namespace
}  // namespace pixels

using namespace pixels;

int IUYUV422RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight, uint8_t* dst,
                   int dstWidth, int dstHeight, int rotation) {
    return ResizeRotateFrame(kYuv422RszRot, src, srcWidth, srcHeight, regionWidth, regionHeight, dst, dstWidth,
                             dstHeight, rotation);
}

int IUYUV420RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight, uint8_t* dst,
                   int dstWidth, int dstHeight, int rotation) {
    return ResizeRotateFrame(kYuv420RszRot, src, srcWidth, srcHeight, regionWidth, regionHeight, dst, dstWidth,
                             dstHeight, rotation);
}

int IUResizeRotateStill(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                        uint8_t* dst, int dstWidth, int dstHeight, int rotation) {
    return ResizeRotateFrame(kStill, src, srcWidth, srcHeight, regionWidth, regionHeight, dst, dstWidth, dstHeight,
                             rotation);
}

int IUResizeRotateStill420(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                           uint8_t* dst, int dstWidth, int dstHeight, int rotation) {
    return ResizeRotateFrame(kStill420, src, srcWidth, srcHeight, regionWidth, regionHeight, dst, dstWidth,
                             dstHeight, rotation);
}

int IUYCbCr420toRGB565_RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                              uint8_t* dst, int dstWidth, int dstHeight, int rotation) {
    return CameraFrameToRgb(kToRgb565, kRgb565, src, srcWidth, srcHeight, regionWidth, regionHeight, dst, dstWidth,
                            dstHeight, rotation);
}

int IUYCbCr420toRGB888_RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                              uint8_t* dst, int dstWidth, int dstHeight, int rotation) {
    return CameraFrameToRgb(kToRgb888, kRgb888, src, srcWidth, srcHeight, regionWidth, regionHeight, dst, dstWidth,
                            dstHeight, rotation);
}

int IUYCbCr422toRGB565_RszRot(const uint8_t* src, int srcWidth, int srcHeight, int regionWidth, int regionHeight,
                              uint8_t* dst, int dstWidth, int dstHeight, int rotation, uint8_t* scratch,
                              uint32_t scratchSize) {
    const Family& f = k422ToRgb565;
    const uint64_t need = 2ull * static_cast<uint64_t>(srcWidth > 0 ? srcWidth : 0) *
                          static_cast<uint64_t>(srcHeight > 0 ? srcHeight : 0);
    if (scratch == nullptr || scratchSize < need) {
        LogFailure(f.sizeLine, f.name, kNotEnoughBuffer);
        return 0;
    }
    if (rotation < kRotateNone || rotation > kFlipTopBottom) {
        LogFailure(f.sizeLine, f.name, L"\r\nInvalid Rotation(%d)  !!!", rotation);
        return 0;
    }
    // The turned copy covers whole 8 x 8 blocks.
    const int w8 = srcWidth & ~7;
    const int h8 = srcHeight & ~7;
    const bool quarter = IsQuarterTurn(rotation);
    const int copyWidth = quarter ? h8 : w8;
    const int copyHeight = quarter ? w8 : h8;
    if (!CheckFrameArguments(f, src, copyWidth, copyHeight, regionWidth, regionHeight, dst, dstWidth, dstHeight)) {
        return 0;
    }
    const FramePlanes<const uint8_t> in = Frame422(src, srcWidth, srcHeight);
    const uint8_t* const srcPlanes[3] = {in.y, in.cb, in.cr};
    const int srcSteps[3] = {srcWidth, srcWidth >> 1, srcWidth >> 1};
    const size_t n = static_cast<size_t>(srcWidth) * static_cast<size_t>(srcHeight);
    uint8_t* const copy[3] = {scratch, scratch + n, scratch + n + n / 2};
    // A turned chroma row is as long as the copy's luma row after a quarter turn.
    const int copyChromaStep = quarter ? copyWidth : copyWidth / 2;
    const int copySteps[3] = {copyWidth, copyChromaStep, copyChromaStep};
    if (RotateYCbCr422Planes(srcPlanes, srcSteps, copy, copySteps, srcWidth, srcHeight, rotation) != 0) {
        return 0;
    }
    // The converter takes one chroma row per two luma rows, one chroma sample
    // per two luma columns.
    int chromaStep;
    if (quarter) {
        // Turned chroma has a sample for every column: keep every other one.
        for (int p = 1; p < 3; ++p) {
            for (int r = 0; r < copyHeight / 2; ++r) {
                for (int c = 0; c < copyWidth / 2; ++c) {
                    copy[p][r * (copyWidth / 2) + c] = copy[p][r * copyWidth + 2 * c];
                }
            }
        }
        chromaStep = copyWidth / 2;
    } else {
        chromaStep = copyWidth;  // every other full-height chroma row
    }
    const int xOff = (copyWidth - regionWidth) / 2;
    const int yOff = (copyHeight - regionHeight) / 2;
    const size_t chromaOffset = static_cast<size_t>(yOff >> 1) * static_cast<size_t>(chromaStep) +
                                static_cast<size_t>(xOff >> 1);
    const uint8_t* const region[3] = {copy[0] + static_cast<size_t>(yOff) * copyWidth + xOff, copy[1] + chromaOffset,
                                      copy[2] + chromaOffset};
    const int regionSteps[3] = {copyWidth, chromaStep, chromaStep};
    const int status = ippiYCbCr420RszCscRotRGB_8u_P3C3R(
        region, regionSteps, copyWidth - xOff, copyHeight - yOff, dst, 2 * dstWidth, dstWidth, dstHeight, kRgb565, 1,
        kMirrorLeftRight, RatioOf(regionWidth, dstWidth), RatioOf(regionHeight, dstHeight));
    return status == 0 ? 1 : 0;
}

int IUImageCentering(uint8_t* frame, uint32_t frameSize, int pictureWidth, int pictureHeight, int frameWidth,
                     int /*unused*/, int topRow, uint8_t* scratch, uint32_t scratchSize) {
    const wchar_t* name = L"IUImageCentering";
    if (scratch == nullptr || scratchSize < frameSize) {
        LogFailure(kLineCentering, name, kNotEnoughBuffer);
        return 0;
    }
    // Everything the copy touches must lie in the frame before it is cleared.
    const uint64_t rowBytes = 2ull * static_cast<uint64_t>(frameWidth > 0 ? frameWidth : 0);
    const bool shapeOk = frame != nullptr && pictureWidth >= 1 && pictureHeight >= 4 && frameWidth >= pictureWidth &&
                         topRow >= 0 &&
                         2ull * static_cast<uint64_t>(pictureWidth) * static_cast<uint64_t>(pictureHeight) <= frameSize &&
                         (static_cast<uint64_t>(topRow) + static_cast<uint64_t>(pictureHeight - 4)) * rowBytes <= frameSize;
    if (!shapeOk) {
        LogFailure(kLineCentering, name, L"\r\nInvalid Picture(%d x %d) in Frame(%d wide, %u bytes) at Row %d  !!!",
                   pictureWidth, pictureHeight, frameWidth, frameSize, topRow);
        return 0;
    }
    std::memcpy(scratch, frame, frameSize);
    std::memset(frame, 0, frameSize);
    // Whole pixels from the left: an odd margin leaves the extra pixel on the right.
    const size_t left = static_cast<size_t>((frameWidth - pictureWidth) / 2) * 2;
    const size_t pictureRow = 2 * static_cast<size_t>(pictureWidth);
    for (int r = 0; r < pictureHeight - 4; ++r) {
        std::memcpy(frame + (static_cast<size_t>(topRow) + r) * rowBytes + left, scratch + r * pictureRow, pictureRow);
    }
    return 1;
}
