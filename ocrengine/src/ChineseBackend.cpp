#include "ChineseBackend.h"

#include <cstring>

#include "CodePage.h"
#include "EngineModule.h"
#include "OcrCommon.h"

namespace lumocr {
namespace {

constexpr const char* kEngineFolder = "DB\\chn\\";
constexpr std::int32_t kLayoutWord = 0;
constexpr std::int32_t kBytesPerPixel = 1;

// RegionsToText's bounds: a region starts at 1021 at most, a line below
// 1020, a character at 1017 at most.
constexpr std::int32_t kLastRegionStart = 1021;
constexpr std::int32_t kLineStartBelow = 1020;
constexpr std::int32_t kLastCharacterStart = 1017;

const char* EntrySuffix(int index) {
    // The last entry's name carries its own underscore.
    return index == 8 ? " load fail~!\n" : "_ load fail~!\n";
}

void ClearText(OcrTextResult& result) {
    result.text[0] = '\0';
    result.length = 0;
}

}  // namespace

void RegionsToText(OcrTextResult& result, std::int32_t count, const HWTextRegion* regions) {
    char* out = result.text;
    std::int32_t p = 0;
    auto lineEnd = [&] {
        out[p++] = '\r';
        out[p++] = '\n';
    };
    for (std::int32_t r = 0; r < count && p <= kLastRegionStart; ++r) {
        const HWTextRegion& region = regions[r];
        for (std::int32_t l = 0; l < region.lineCount && region.lines && p < kLineStartBelow; ++l) {
            const HWTextLine& line = region.lines[l];
            for (std::int32_t c = 0; c < line.charCount && line.chars && p <= kLastCharacterStart; ++c) {
                const HWChar& ch = line.chars[c];
                out[p++] = static_cast<char>(ch.code[0]);
                if (IsLeadByte(ch.code[0])) out[p++] = static_cast<char>(ch.code[1]);
            }
            lineEnd();
        }
        lineEnd();
    }
    out[p] = '\0';
    out[p + 1] = '\0';
}

CChineseBackend::~CChineseBackend() { Release(); }

std::int32_t CChineseBackend::Initialize(void* work, std::int32_t workSize, OcrProgressCallback progress,
                                         const OcrLanguageCode*, const char* folder) {
    Release();
    const std::int32_t result = Start(folder);
    work_ = work;
    workSize_ = workSize;
    progress_ = progress;
    if (result != 0) Release();
    return result;
}

std::int32_t CChineseBackend::Start(const char* folder) {
    library_ = Modules().load(L"hwbcrdoc-s.dll");
    if (!library_) LogLine("[travek:chnEngine] library load fail~!\n");
    const EngineEntry entries[] = {
        {L"HWOCR_InitializeEngine", reinterpret_cast<FARPROC*>(&entries_.initializeEngine)},
        {L"HWOCR_SetActiveLanguage", reinterpret_cast<FARPROC*>(&entries_.setActiveLanguage)},
        {L"HWOCR_ExitEngine", reinterpret_cast<FARPROC*>(&entries_.exitEngine)},
        {L"HWOCR_LayoutAnalyze", reinterpret_cast<FARPROC*>(&entries_.layoutAnalyze)},
        {L"HWOCR_Recognize", reinterpret_cast<FARPROC*>(&entries_.recognize)},
        {L"HWOCR_RecognizeBlock", reinterpret_cast<FARPROC*>(&entries_.recognizeBlock)},
        {L"HWOCR_FreeBinImage", reinterpret_cast<FARPROC*>(&entries_.freeBinImage)},
        {L"HWOCR_FreeBlocks", reinterpret_cast<FARPROC*>(&entries_.freeBlocks)},
        {L"HWOCR_FreeTextRgns_", reinterpret_cast<FARPROC*>(&entries_.freeTextRegions)},
        {L"Card30_RecogniseSingleCard", reinterpret_cast<FARPROC*>(&entries_.recogniseSingleCard)},
    };
    const bool resolved = ResolveEntries(library_, entries, static_cast<int>(std::size(entries)),
                                         "[travek:chnEngine] ", &EntrySuffix);
    LogLine("LumOCR_Initialize_CHN start\n");
    if (!library_ || !resolved) return LUMOCR_E_NOENGINE;
    enginePath_ = std::string(folder) + kEngineFolder;
    if (entries_.initializeEngine(0, enginePath_.c_str(), 0) != HWOCR_OK) return LUMOCR_E_NOTSTARTED;
    engineRunning_ = true;
    return 0;
}

void CChineseBackend::Release() {
    if (engineRunning_) entries_.exitEngine();
    engineRunning_ = false;
    if (library_) Modules().free(library_);
    library_ = nullptr;
    entries_ = {};
    enginePath_.clear();
    enginePath_.shrink_to_fit();
    work_ = nullptr;
    workSize_ = 0;
    progress_ = nullptr;
}

std::int32_t CChineseBackend::Finalize() {
    Release();
    return 0;
}

std::int32_t CChineseBackend::RecognizeDocument(const OcrImage& image, OcrTextResult& result) {
    ClearText(result);
    if (!engineRunning_) return LUMOCR_E_NOTSTARTED;
    void* binary = nullptr;
    HWBlock* blocks = nullptr;
    std::int32_t blockCount = 0;
    std::int32_t engineResult = entries_.layoutAnalyze(image.data, image.width, image.height, kBytesPerPixel,
                                                       SkewFlag(), kLayoutWord, &binary, &blocks, &blockCount);
    if (engineResult == HWOCR_OK) {
        HWTextRegion* regions = nullptr;
        engineResult = entries_.recognize(binary, 0, blocks, blockCount, &regions, progress_);
        if (engineResult == HWOCR_OK) RegionsToText(result, blockCount, regions);
        if (regions) entries_.freeTextRegions(regions, blockCount);
    }
    // The engine's own records go back to it, whatever became of the run.
    if (binary) entries_.freeBinImage(binary);
    if (blocks) entries_.freeBlocks(blocks);
    result.length = static_cast<std::int32_t>(std::strlen(result.text));
    return engineResult == HWOCR_OK ? 0 : engineResult;
}

std::int32_t CChineseBackend::RecognizeLine(const OcrImage& image, const RECT& region, OcrTextResult& result) {
    ClearText(result);
    if (!engineRunning_) return LUMOCR_E_NOTSTARTED;
    const HWBlock block{region, {0, 0, 0}};
    HWTextRegion* regions = nullptr;
    const std::int32_t engineResult = entries_.recognizeBlock(image.data, image.width, image.height, kBytesPerPixel,
                                                              &block, &regions, progress_);
    if (engineResult == HWOCR_OK) RegionsToText(result, 1, regions);
    if (regions) entries_.freeTextRegions(regions, 1);
    result.length = static_cast<std::int32_t>(std::strlen(result.text));
    return engineResult == HWOCR_OK ? 0 : engineResult;
}

std::int32_t CChineseBackend::RecognizeBizCard(const OcrImage&, OcrCardField*) {
    return 0;  // the engine reads no cards
}

}  // namespace lumocr
