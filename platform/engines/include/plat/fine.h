// The European OCR engine (FREmbed): the five entries the engine library
// calls, and the records it writes into the caller's buffers. The engine
// recognises for real; its database files are our own format (finedata).
#pragma once

#include <cstdint>

#include "plat/types.h"

extern "C" {

// The page as the engine sees it: 8-bit grey, rows top-down.
struct FineImageInfo {
    std::int32_t width;
    std::int32_t height;
    std::int32_t bytesPerRow;
    std::int32_t bitsPerPixel;  // 8
    std::int32_t format;        // kFineImageFormat
    const BYTE* pixels;
};
inline constexpr std::int32_t kFineImageFormat = 260;

// One recognised character: a UTF-16 code unit.
struct FineChar {
    std::uint16_t unit;
    std::uint16_t reserved0;
    std::int32_t confidence;  // 0..100
    std::int32_t reserved[4];
};

// A text line (page and region) or a word (card): its characters and box.
struct FineLine {
    FineChar* chars;
    std::int32_t charCount;
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};
using FineWord = FineLine;

// Business-card field kinds as the engine delivers them.
enum FineFieldKind : std::int32_t {
    FINE_FIELD_PHONE = 0,
    FINE_FIELD_FAX = 1,
    FINE_FIELD_MOBILE = 2,
    FINE_FIELD_EMAIL = 3,
    FINE_FIELD_WEB = 4,
    FINE_FIELD_ADDRESS = 5,
    FINE_FIELD_NAME = 6,
    FINE_FIELD_COMPANY = 7,
    FINE_FIELD_OTHER = 8,  // job title and other text
    FINE_FIELD_UNKNOWN = 9,
};

struct FineField {
    std::int32_t kind;
    std::int32_t wordCount;
    FineWord* words;
};

inline constexpr std::int32_t kFineMaxCardFields = 100;

// Engine results.
inline constexpr std::int32_t FINE_OK = 0;
inline constexpr std::int32_t FINE_E_INVALIDARG = -1;
inline constexpr std::int32_t FINE_E_NOMEMORY = -2;
inline constexpr std::int32_t FINE_E_NOTINITIALIZED = -3;
inline constexpr std::int32_t FINE_E_BADDATA = -4;     // a database buffer is not ours
inline constexpr std::int32_t FINE_E_CANCELLED = -5;   // the progress callback answered 0
inline constexpr std::int32_t FINE_E_RECOGNIZER = -6;  // the recogniser could not start

using FineProgressCallback = std::int32_t (*)(std::int32_t percent);

// languages: up to 23 engine language numbers, 0 for unused slots.
// fast: non-zero skips the orientation detection.
std::int32_t FineInitialize(void* engineBuffer, std::int32_t size);
std::int32_t FineDeinitialize();
std::int32_t FineRecognizeImage(const std::int32_t* languages, const void* pattern, void* const* dictionaries,
                                const FineImageInfo* image, void* work, std::int32_t workSize, std::int32_t fast,
                                std::int32_t* lineCount, void* textBuffer, std::int32_t* bufferSize,
                                FineProgressCallback progress);
std::int32_t FineRecognizeRegion(const std::int32_t* languages, const void* pattern, void* const* dictionaries,
                                 const FineImageInfo* image, std::int32_t regionCount, const RECT* regions,
                                 void* work, std::int32_t workSize, std::int32_t fast, std::int32_t* lineCount,
                                 void* textBuffer, std::int32_t* bufferSize, FineProgressCallback progress);
std::int32_t FineRecognizeBusinessCard(const std::int32_t* languages, const void* pattern,
                                       void* const* dictionaries, void* const* keywords,
                                       const FineImageInfo* image, void* work, std::int32_t workSize,
                                       std::int32_t fast, std::int32_t* fieldCount, void* cardBuffer,
                                       std::int32_t* bufferSize, FineProgressCallback progress);

}  // extern "C"
