// The Chinese back-end over hwbcrdoc-s, loaded at run time: starts the
// engine on the database folder's "DB\chn\", reads pages by layout analysis
// then recognition of the blocks found, and regions; no card recognition.
// Its text is the engine's code page 936 cells, copied with CR LF line ends.
#pragma once

#include <cstdint>
#include <string>

#include "OcrBackend.h"
#include "plat/hwocr.h"
#include "plat/module.h"

namespace lumocr {

inline constexpr std::int32_t kFirstChineseCode = 4;
inline constexpr std::int32_t kLastChineseCode = 6;

// The regions' text from position 0, at most about 1020 bytes, ended by two zero bytes.
void RegionsToText(OcrTextResult& result, std::int32_t count, const HWTextRegion* regions);

class CChineseBackend final : public COcrBackend {
public:
    ~CChineseBackend() override;

    std::int32_t Initialize(void* work, std::int32_t workSize, OcrProgressCallback progress,
                            const OcrLanguageCode* languages, const char* folder) override;
    std::int32_t Finalize() override;
    std::int32_t RecognizeDocument(const OcrImage& image, OcrTextResult& result) override;
    std::int32_t RecognizeLine(const OcrImage& image, const RECT& region, OcrTextResult& result) override;
    std::int32_t RecognizeBizCard(const OcrImage& image, OcrCardField* fields) override;

private:
    struct Entries {
        decltype(&HWOCR_InitializeEngine) initializeEngine = nullptr;
        decltype(&HWOCR_SetActiveLanguage) setActiveLanguage = nullptr;
        decltype(&HWOCR_ExitEngine) exitEngine = nullptr;
        decltype(&HWOCR_LayoutAnalyze) layoutAnalyze = nullptr;
        decltype(&HWOCR_Recognize) recognize = nullptr;
        decltype(&HWOCR_RecognizeBlock) recognizeBlock = nullptr;
        decltype(&HWOCR_FreeBinImage) freeBinImage = nullptr;
        decltype(&HWOCR_FreeBlocks) freeBlocks = nullptr;
        decltype(&HWOCR_FreeTextRgns_) freeTextRegions = nullptr;
        decltype(&Card30_RecogniseSingleCard) recogniseSingleCard = nullptr;
    };
    std::int32_t Start(const char* folder);
    void Release();

    HMODULE library_ = nullptr;
    Entries entries_;
    std::string enginePath_;
    void* work_ = nullptr;
    std::int32_t workSize_ = 0;
    OcrProgressCallback progress_ = nullptr;
    bool engineRunning_ = false;
};

}  // namespace lumocr
