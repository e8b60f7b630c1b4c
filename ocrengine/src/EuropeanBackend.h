// The European back-end over the FREmbed engine: loads the languages'
// database files, and turns the engine's lines and card fields into the
// interface's records in code page 1252 or 1251.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

#include "CardCorrection.h"
#include "OcrBackend.h"
#include "plat/fine.h"

namespace lumocr {

// The engine's entries; tests put a scripted engine in their place.
struct FineApi {
    decltype(&FineInitialize) initialize;
    decltype(&FineDeinitialize) deinitialize;
    decltype(&FineRecognizeImage) recognizeImage;
    decltype(&FineRecognizeRegion) recognizeRegion;
    decltype(&FineRecognizeBusinessCard) recognizeBusinessCard;
};
// Null restores the linked engine.
void UseFineApi(const FineApi* api);

inline constexpr int kLanguageSlots = 23;
inline constexpr int kMaxLanguages = 10;
inline constexpr int kFirstEuropeanCode = 7;
inline constexpr int kLastEuropeanCode = 38;
inline constexpr std::int32_t kEngineBufferBytes = 1024;
inline constexpr std::int32_t kResultBufferBytes = 102400;
inline constexpr int kMaxWordsPerRect = 20;

// Database files and engine number of one European language code.
struct EuropeanLanguage {
    std::int32_t engineNumber;
    const char* dictionary;
    const char* keywords;  // null past the codes with keyword files
    const char* pattern;
    const char* patternWithEnglish;
};
const EuropeanLanguage* FindEuropeanLanguage(std::int32_t code);

// The pattern file of a list of taken codes.
std::string PatternFileFor(std::span<const std::int32_t> codes);

// Code page of the texts: Cyrillic whenever Russian, Ukrainian or Bulgarian is listed.
unsigned CodePageFor(std::span<const std::int32_t> engineNumbers);

// Lines to CR LF text, sorted by their tops (stable: equal tops keep the engine's order).
void LinesToText(int count, const FineLine* lines, OcrTextResult& result, unsigned codePage);

// The texts of the two fixed card rules.
bool IsExcludedName(std::string_view text);
bool IsMobileCompany(std::string_view text);

class CEuropeanBackend final : public COcrBackend {
public:
    CEuropeanBackend();
    ~CEuropeanBackend() override;

    std::int32_t Initialize(void* work, std::int32_t workSize, OcrProgressCallback progress,
                            const OcrLanguageCode* languages, const char* folder) override;
    std::int32_t Finalize() override;
    std::int32_t RecognizeDocument(const OcrImage& image, OcrTextResult& result) override;
    std::int32_t RecognizeLine(const OcrImage& image, const RECT& region, OcrTextResult& result) override;
    std::int32_t RecognizeBizCard(const OcrImage& image, OcrCardField* fields) override;

private:
    void ReleaseFiles();
    FineImageInfo ImageInfo(const OcrImage& image) const;
    bool EnsureBuffer(std::unique_ptr<BYTE[]>& buffer);
    std::int32_t RecognizeText(const OcrImage& image, const RECT* region, OcrTextResult& result);
    void MakeCardRecords(int count, FineField* engineFields, OcrCardField* records);

    std::array<std::int32_t, kLanguageSlots> languages_{};
    int languageCount_ = 0;
    std::array<std::unique_ptr<BYTE[]>, kLanguageSlots> dictionaries_;
    std::array<std::unique_ptr<BYTE[]>, kLanguageSlots> keywords_;
    std::array<void*, kLanguageSlots> dictionaryPointers_{};
    std::array<void*, kLanguageSlots> keywordPointers_{};
    std::unique_ptr<BYTE[]> pattern_;
    std::unique_ptr<BYTE[]> engineBuffer_;
    std::unique_ptr<BYTE[]> textBuffer_;
    std::unique_ptr<BYTE[]> cardBuffer_;
    void* work_ = nullptr;
    std::int32_t workSize_ = 0;
    OcrProgressCallback progress_ = nullptr;
    unsigned codePage_ = 1252;
    bool started_ = false;
};

}  // namespace lumocr
