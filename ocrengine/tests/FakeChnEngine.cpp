#include "FakeChnEngine.h"

#include <algorithm>
#include <cstring>

namespace fakechn {
namespace {

Script g_script;
std::vector<Call> g_calls;
int g_binaryImage = 0;
HWBlock* g_blocks = nullptr;
HWTextRegion* g_regions = nullptr;

void Record(const std::string& entry, bool handedOut = false) {
    Call c;
    c.entry = entry;
    c.handedOut = handedOut;
    g_calls.push_back(c);
}

HWTextRegion* MakeRegions(const std::vector<std::vector<std::string>>& regions) {
    auto* out = new HWTextRegion[std::max<std::size_t>(regions.size(), 1)]();
    for (std::size_t r = 0; r < regions.size(); ++r) {
        out[r].lineCount = static_cast<std::int32_t>(regions[r].size());
        out[r].lines = new HWTextLine[regions[r].size()]();
        for (std::size_t l = 0; l < regions[r].size(); ++l) {
            const std::string& bytes = regions[r][l];
            std::vector<HWChar> cells;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const auto b = static_cast<BYTE>(bytes[i]);
                if (b >= 0x80) cells.push_back({{b, static_cast<BYTE>(bytes[++i])}});
                else cells.push_back({{b, 0}});
            }
            out[r].lines[l].chars = new HWChar[cells.size()];
            std::copy(cells.begin(), cells.end(), out[r].lines[l].chars);
            out[r].lines[l].charCount = static_cast<std::int32_t>(cells.size());
        }
    }
    return out;
}

bool RunProgress(HWProgressCallback progress) {
    for (int p : g_script.progressSteps) {
        if (progress && progress(p) == 0) return false;
    }
    return true;
}

std::int32_t InitializeEngine(std::int32_t, const char* path, std::int32_t) {
    Call c;
    c.entry = "HWOCR_InitializeEngine";
    c.path = path;
    g_calls.push_back(c);
    return g_script.initializeResult;
}

std::int32_t SetActiveLanguage(std::int32_t) {
    Record("HWOCR_SetActiveLanguage");
    return HWOCR_E_NOTSUPPORTED;
}

std::int32_t ExitEngine() {
    Record("HWOCR_ExitEngine");
    return HWOCR_OK;
}

std::int32_t LayoutAnalyze(const BYTE*, std::int32_t, std::int32_t, std::int32_t, std::int32_t skew, std::int32_t,
                           void** binaryImage, HWBlock** blocks, std::int32_t* count) {
    Call c;
    c.entry = "HWOCR_LayoutAnalyze";
    c.skew = skew;
    g_calls.push_back(c);
    if (g_script.layoutResult != HWOCR_OK) return g_script.layoutResult;
    *binaryImage = &g_binaryImage;
    *count = static_cast<std::int32_t>(g_script.regions.size());
    g_blocks = new HWBlock[std::max(*count, 1)]();
    *blocks = g_blocks;
    return HWOCR_OK;
}

std::int32_t Recognize(void*, std::int32_t, const HWBlock*, std::int32_t, HWTextRegion** regions,
                       HWProgressCallback progress) {
    Record("HWOCR_Recognize");
    if (!RunProgress(progress)) return HWOCR_E_CANCELLED;
    if (g_script.recognizeResult != HWOCR_OK) return g_script.recognizeResult;
    g_regions = MakeRegions(g_script.regions);
    *regions = g_regions;
    return HWOCR_OK;
}

std::int32_t RecognizeBlock(const BYTE*, std::int32_t, std::int32_t, std::int32_t, const HWBlock* block,
                            HWTextRegion** regions, HWProgressCallback progress) {
    Call c;
    c.entry = "HWOCR_RecognizeBlock";
    c.region = block->box;
    g_calls.push_back(c);
    if (!RunProgress(progress)) return HWOCR_E_CANCELLED;
    if (g_script.recognizeResult != HWOCR_OK) return g_script.recognizeResult;
    g_regions = MakeRegions({g_script.regions.empty() ? std::vector<std::string>{} : g_script.regions[0]});
    *regions = g_regions;
    return HWOCR_OK;
}

std::int32_t FreeBinImage(void* image) {
    Record("HWOCR_FreeBinImage", image == &g_binaryImage);
    return HWOCR_OK;
}

std::int32_t FreeBlocks(HWBlock* blocks) {
    Record("HWOCR_FreeBlocks", blocks && blocks == g_blocks);
    delete[] blocks;
    g_blocks = nullptr;
    return HWOCR_OK;
}

std::int32_t FreeTextRegions(HWTextRegion* regions, std::int32_t count) {
    Record("HWOCR_FreeTextRgns_", regions && regions == g_regions);
    for (std::int32_t r = 0; regions && r < count; ++r) {
        for (std::int32_t l = 0; l < regions[r].lineCount; ++l) delete[] regions[r].lines[l].chars;
        delete[] regions[r].lines;
    }
    delete[] regions;
    g_regions = nullptr;
    return HWOCR_OK;
}

std::int32_t RecogniseSingleCard(void*) {
    Record("Card30_RecogniseSingleCard");
    return HWOCR_E_NOTSUPPORTED;
}

}  // namespace

FakeEngine::FakeEngine()
    : loader_(L"hwbcrdoc-s.dll", {{L"HWOCR_InitializeEngine", fakemodule::Proc(&InitializeEngine)},
                                  {L"HWOCR_SetActiveLanguage", fakemodule::Proc(&SetActiveLanguage)},
                                  {L"HWOCR_ExitEngine", fakemodule::Proc(&ExitEngine)},
                                  {L"HWOCR_LayoutAnalyze", fakemodule::Proc(&LayoutAnalyze)},
                                  {L"HWOCR_Recognize", fakemodule::Proc(&Recognize)},
                                  {L"HWOCR_RecognizeBlock", fakemodule::Proc(&RecognizeBlock)},
                                  {L"HWOCR_FreeBinImage", fakemodule::Proc(&FreeBinImage)},
                                  {L"HWOCR_FreeBlocks", fakemodule::Proc(&FreeBlocks)},
                                  {L"HWOCR_FreeTextRgns_", fakemodule::Proc(&FreeTextRegions)},
                                  {L"Card30_RecogniseSingleCard", fakemodule::Proc(&RecogniseSingleCard)}}) {
    g_script = Script{};
    g_calls.clear();
}

Script& FakeEngine::script() { return g_script; }
const std::vector<Call>& FakeEngine::calls() const { return g_calls; }
int FakeEngine::Count(const std::string& entry) const {
    return static_cast<int>(std::count_if(g_calls.begin(), g_calls.end(), [&](const Call& c) { return c.entry == entry; }));
}

}  // namespace fakechn
