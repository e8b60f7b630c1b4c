// The Korean OCR engine (LumKorOCREngine), loaded by name at run time: the
// records it reads and fills and the five entries the engine library
// resolves. Texts are code page 949. The engine recognises for real; its two
// database files are our own format (kordata).
#pragma once

#include <cstddef>
#include <cstdint>

#include "plat/types.h"

extern "C" {

// The picture: twelve words, all 0 but the size and the pixels (8-bit grey,
// rows top-down, stride equal to the width).
struct KorImageInfo {
    std::int32_t reserved0[3];
    std::int32_t width;
    std::int32_t height;
    std::int32_t reserved5[6];
    const BYTE* pixels;
};

// Page and region text: CR LF line ends, a zero after the last byte.
inline constexpr int kKorTextBytes = 5120;
struct KorText {
    char text[kKorTextBytes];
    std::int32_t length;  // not written by the engine
};

// The card: fixed slots of 8-bit text, each ended by a zero within its slot.
struct KorCardRecord {
    BYTE reserved[8];
    char name[160];
    char title[80];        // job title
    char company[80];
    char department[80];
    char address[4][128];
    char postcode[2][32];
    char telephone[2][64];
    char fax[2][64];
    char mobile[64];
    char other[64];
    char email[256];
    char web[260];
    char more[4][128];     // further lines in reading order
    BYTE tail[384];
};
static_assert(sizeof(KorCardRecord) == 2780);
static_assert(offsetof(KorCardRecord, name) == 8 && offsetof(KorCardRecord, title) == 168 &&
              offsetof(KorCardRecord, company) == 248 && offsetof(KorCardRecord, department) == 328 &&
              offsetof(KorCardRecord, address) == 408 && offsetof(KorCardRecord, postcode) == 920 &&
              offsetof(KorCardRecord, telephone) == 984 && offsetof(KorCardRecord, fax) == 1112 &&
              offsetof(KorCardRecord, mobile) == 1240 && offsetof(KorCardRecord, other) == 1304 &&
              offsetof(KorCardRecord, email) == 1368 && offsetof(KorCardRecord, web) == 1624 &&
              offsetof(KorCardRecord, more) == 1884 && offsetof(KorCardRecord, tail) == 2396);

inline constexpr std::int32_t kKorScratchBytes = 32768;     // handed with the work memory
inline constexpr std::int32_t kKorLineScratchBytes = 2048;  // handed with each region

// Engine results.
inline constexpr std::int32_t KOR_OK = 0;
inline constexpr std::int32_t KOR_E_INVALIDARG = -1;
inline constexpr std::int32_t KOR_E_NOTREADY = -2;    // no valid databases or no work memory
inline constexpr std::int32_t KOR_E_BADDATA = -3;     // a database buffer is not ours
inline constexpr std::int32_t KOR_E_RECOGNIZER = -4;  // the recogniser could not start

// Language numbers: 11 and 1 Korean with English, 7 and 2 Korean alone,
// any other English.
std::int32_t LumKorLoadDB(const void* patterns, const void* keywords);
std::int32_t LumKorSetWorkingMem(void* start, void* end, void* scratch);
std::int32_t LumKorDocRecog(const KorImageInfo* image, KorText* result, std::int32_t language, const BYTE* pixels);
std::int32_t LumKorLineRecog(std::int32_t width, std::int32_t height, const BYTE* pixels, const RECT* region,
                             std::int32_t language, std::int32_t reserved1, std::int32_t reserved2,
                             std::int32_t reserved3, std::int32_t reserved4, KorText* result, void* scratch,
                             std::int32_t reserved5);
std::int32_t LumKorCardReader(const KorImageInfo* image, KorCardRecord* card, std::int32_t language);

}  // extern "C"
