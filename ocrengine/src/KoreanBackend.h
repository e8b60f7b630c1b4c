// The Korean back-end over LumKorOCREngine, loaded at run time: hands the
// engine its two database files and the work memory, and turns its fixed
// card record into the interface's records. Texts are code page 949.
#pragma once

#include <cstdint>
#include <memory>

#include "OcrBackend.h"
#include "plat/koreng.h"
#include "plat/module.h"

namespace lumocr {

inline constexpr std::int32_t kFirstKoreanCode = 1;
inline constexpr std::int32_t kLastKoreanCode = 3;

// The engine's language numbers for a language code.
std::int32_t KoreanPageLanguage(std::int32_t code);
std::int32_t KoreanRegionLanguage(std::int32_t code);

// The card record's texts as records, in the record's reading order; returns the count.
int KorCardToFields(const KorCardRecord& card, OcrCardField* fields);

class CKoreanBackend final : public COcrBackend {
public:
    ~CKoreanBackend() override;

    std::int32_t Initialize(void* work, std::int32_t workSize, OcrProgressCallback progress,
                            const OcrLanguageCode* languages, const char* folder) override;
    std::int32_t Finalize() override;
    std::int32_t RecognizeDocument(const OcrImage& image, OcrTextResult& result) override;
    std::int32_t RecognizeLine(const OcrImage& image, const RECT& region, OcrTextResult& result) override;
    std::int32_t RecognizeBizCard(const OcrImage& image, OcrCardField* fields) override;

private:
    struct Entries {
        decltype(&LumKorLoadDB) loadDb = nullptr;
        decltype(&LumKorSetWorkingMem) setWorkingMem = nullptr;
        decltype(&LumKorDocRecog) docRecog = nullptr;
        decltype(&LumKorLineRecog) lineRecog = nullptr;
        decltype(&LumKorCardReader) cardReader = nullptr;
    };
    std::int32_t Start(void* work, std::int32_t workSize, const char* folder);
    void Release();

    std::int32_t code_ = 0;
    HMODULE library_ = nullptr;
    Entries entries_;
    std::unique_ptr<BYTE[]> patterns_;
    std::unique_ptr<BYTE[]> keywords_;
    bool started_ = false;
};

}  // namespace lumocr
