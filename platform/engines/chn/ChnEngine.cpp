// The Chinese engine stand-in: the hwbcrdoc-s entries over the shared
// recogniser adapter, texts as code page 936 cells. The layout analysis
// reads the page once and keeps its lines in the binary image; recognition
// hands them out block by block.
#include "plat/hwocr.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>
#include <string>
#include <vector>

#include "ChnData.h"
#include "EngineText.h"
#include "FineData.h"
#include "TessAdapter.h"
#include "plat/device.h"
#include "plat/utf.h"

namespace {

using namespace plat;

struct EngineState {
    std::mutex lock;
    std::string languages;  // empty while the engine is not started
};
EngineState& State() {
    static EngineState state;
    return state;
}

// What the layout analysis found: the page's lines and the block of each.
struct BinaryImage {
    std::vector<ocr::Line> lines;
    std::vector<int> blockOf;
};

// A new block where the gap to the line above exceeds this many letter heights.
constexpr double kBlockGap = 1.5;

std::string Languages() {
    std::lock_guard lock(State().lock);
    return State().languages;
}

// The settings file of an engine folder, as a device path or a host folder.
std::string ReadSettings(const std::string& folder) {
    const std::string name = folder + chn::kSettingsFile;
    std::filesystem::path path;
    if (!name.empty() && name[0] == '\\') {
        const auto host = plat::MapDevicePath(plat::FromUtf8(name).c_str());
        if (!host) return {};
        path = *host;
    } else {
        std::string host = name;
        std::replace(host.begin(), host.end(), '\\', '/');
        path = host;
    }
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::int32_t StatusResult(ocr::Status status) {
    switch (status) {
        case ocr::Status::Ok: return HWOCR_OK;
        case ocr::Status::BadImage: return HWOCR_E_INVALIDARG;
        case ocr::Status::Cancelled: return HWOCR_E_CANCELLED;
        case ocr::Status::NoRecognizer: return HWOCR_E_RECOGNIZER;
    }
    return HWOCR_E_RECOGNIZER;
}

RECT RectOf(const ocr::Box& b) { return {b.left, b.top, b.right, b.bottom}; }

void FillLine(const ocr::Line& line, HWTextLine& record) {
    const std::string bytes = ocr::ToCodePage(ocr::kChineseCodePage, ocr::LineText(line));
    std::vector<HWChar> cells;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const auto b = static_cast<BYTE>(bytes[i]);
        if (b >= 0x80 && i + 1 < bytes.size()) {
            cells.push_back({{b, static_cast<BYTE>(bytes[i + 1])}});
            ++i;
        } else if (b < 0x80) {
            cells.push_back({{b, 0}});
        }
    }
    record = HWTextLine{new HWChar[cells.size()], RectOf(line.box), 0, static_cast<std::int32_t>(cells.size())};
    std::copy(cells.begin(), cells.end(), record.chars);
}

void FillRegion(const std::vector<const ocr::Line*>& lines, HWTextRegion& region) {
    region = HWTextRegion{};
    region.lines = new HWTextLine[lines.size()];
    region.lineCount = static_cast<std::int32_t>(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        FillLine(*lines[i], region.lines[i]);
        region.box = i == 0 ? region.lines[i].box
                            : RECT{std::min(region.box.left, region.lines[i].box.left),
                                   std::min(region.box.top, region.lines[i].box.top),
                                   std::max(region.box.right, region.lines[i].box.right),
                                   std::max(region.box.bottom, region.lines[i].box.bottom)};
    }
}

void FreeRegions(HWTextRegion* regions, std::int32_t count) {
    if (!regions) return;
    for (std::int32_t r = 0; r < count; ++r) {
        for (std::int32_t l = 0; l < regions[r].lineCount; ++l) delete[] regions[r].lines[l].chars;
        delete[] regions[r].lines;
    }
    delete[] regions;
}

}  // namespace

extern "C" {

std::int32_t HWOCR_InitializeEngine(std::int32_t, const char* engineFolder, std::int32_t) {
    if (!engineFolder) return HWOCR_E_INVALIDARG;
    const std::string file = ReadSettings(engineFolder);
    const auto payload = fine::ReadDataFile(file.size() >= 16 ? file.data() : nullptr, chn::kSettingsMagic);
    const std::string languages = payload ? chn::LanguagesOf(*payload) : std::string();
    std::lock_guard lock(State().lock);
    State().languages = languages;
    return languages.empty() ? HWOCR_E_NOTREADY : HWOCR_OK;
}

std::int32_t HWOCR_SetActiveLanguage(std::int32_t) { return HWOCR_E_NOTSUPPORTED; }

std::int32_t HWOCR_ExitEngine() {
    std::lock_guard lock(State().lock);
    State().languages.clear();
    return HWOCR_OK;
}

std::int32_t HWOCR_LayoutAnalyze(const BYTE* pixels, std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel,
                                 std::int32_t skew, std::int32_t, void** binaryImage, HWBlock** blocks,
                                 std::int32_t* blockCount) {
    if (!pixels || width <= 0 || height <= 0 || bytesPerPixel != 1 || !binaryImage || !blocks || !blockCount) {
        return HWOCR_E_INVALIDARG;
    }
    *binaryImage = nullptr;
    *blocks = nullptr;
    *blockCount = 0;
    const std::string languages = Languages();
    if (languages.empty()) return HWOCR_E_NOTREADY;
    ocr::Request request;
    request.languages = languages;
    request.layout = ocr::Layout::Page;
    request.stackedMarks = true;
    request.detectOrientation = true;
    request.orientationByMarks = true;
    request.removeSkew = skew != 0;
    ocr::Result read = ocr::Recognize({pixels, width, height, width}, request);
    if (read.status != ocr::Status::Ok) return StatusResult(read.status);

    auto* image = new BinaryImage{std::move(read.lines), {}};
    std::vector<HWBlock> found;
    for (std::size_t i = 0; i < image->lines.size(); ++i) {
        const ocr::Line& line = image->lines[i];
        const int height = std::max(line.textHeight, line.box.Height());
        const bool start = found.empty() ||
                           line.box.top - image->lines[i - 1].box.bottom > kBlockGap * std::max(height, 1) ||
                           line.box.bottom < found.back().box.top;  // a line above: another column
        if (start) {
            found.push_back(HWBlock{RectOf(line.box), {0, 0, 0}});
        } else {
            RECT& b = found.back().box;
            b = {std::min<LONG>(b.left, line.box.left), std::min<LONG>(b.top, line.box.top),
                 std::max<LONG>(b.right, line.box.right), std::max<LONG>(b.bottom, line.box.bottom)};
        }
        image->blockOf.push_back(static_cast<int>(found.size()) - 1);
    }
    *blocks = new HWBlock[found.size()];
    std::copy(found.begin(), found.end(), *blocks);
    *blockCount = static_cast<std::int32_t>(found.size());
    *binaryImage = image;
    return HWOCR_OK;
}

std::int32_t HWOCR_Recognize(void* binaryImage, std::int32_t, const HWBlock* blocks, std::int32_t blockCount,
                             HWTextRegion** regions, HWProgressCallback progress) {
    if (!binaryImage || !regions || blockCount < 0 || (blockCount > 0 && !blocks)) return HWOCR_E_INVALIDARG;
    *regions = nullptr;
    const auto* image = static_cast<const BinaryImage*>(binaryImage);
    auto* out = new HWTextRegion[std::max(blockCount, 1)]();
    for (std::int32_t b = 0; b < blockCount; ++b) {
        std::vector<const ocr::Line*> lines;
        for (std::size_t i = 0; i < image->lines.size(); ++i) {
            if (image->blockOf[i] == b) lines.push_back(&image->lines[i]);
        }
        FillRegion(lines, out[b]);
        if (progress && progress(100 * (b + 1) / blockCount) == 0) {
            FreeRegions(out, b + 1);
            return HWOCR_E_CANCELLED;
        }
    }
    *regions = out;
    return HWOCR_OK;
}

std::int32_t HWOCR_RecognizeBlock(const BYTE* pixels, std::int32_t width, std::int32_t height,
                                  std::int32_t bytesPerPixel, const HWBlock* region, HWTextRegion** regions,
                                  HWProgressCallback progress) {
    if (!pixels || width <= 0 || height <= 0 || bytesPerPixel != 1 || !region || !regions) return HWOCR_E_INVALIDARG;
    *regions = nullptr;
    const std::string languages = Languages();
    if (languages.empty()) return HWOCR_E_NOTREADY;
    const ocr::Box box{region->box.left, region->box.top, region->box.right, region->box.bottom};
    ocr::Request request;
    request.languages = languages;
    request.layout = ocr::Layout::Page;
    request.stackedMarks = true;
    request.region = &box;
    if (progress) request.progress = [progress](int percent) { return progress(percent) != 0; };
    const ocr::Result read = ocr::Recognize({pixels, width, height, width}, request);
    if (read.status != ocr::Status::Ok) return StatusResult(read.status);
    std::vector<const ocr::Line*> lines;
    for (const ocr::Line& line : read.lines) lines.push_back(&line);
    *regions = new HWTextRegion[1]();
    FillRegion(lines, **regions);
    return HWOCR_OK;
}

std::int32_t HWOCR_FreeBinImage(void* binaryImage) {
    delete static_cast<BinaryImage*>(binaryImage);
    return HWOCR_OK;
}

std::int32_t HWOCR_FreeBlocks(HWBlock* blocks) {
    delete[] blocks;
    return HWOCR_OK;
}

std::int32_t HWOCR_FreeTextRgns_(HWTextRegion* regions, std::int32_t count) {
    FreeRegions(regions, count);
    return HWOCR_OK;
}

std::int32_t Card30_RecogniseSingleCard(void*) { return HWOCR_E_NOTSUPPORTED; }

}  // extern "C"
