// The Chinese OCR engine (hwbcrdoc-s), loaded by name at run time: the
// records it writes and the entries the engine library resolves. Texts are
// 2-byte cells of code page 936 (ASCII in the first byte). The engine keeps
// its settings in the engine folder it is started on (our own format).
#pragma once

#include <cstdint>

#include "plat/types.h"

extern "C" {

// A text block of the layout analysis, and the region record of a block to read.
struct HWBlock {
    RECT box;
    std::int32_t reserved[3];
};

struct HWChar {
    BYTE code[2];  // a first byte of 0x80 or more starts a double-byte character
};

struct HWTextLine {
    HWChar* chars;
    RECT box;
    std::int32_t reserved;
    std::int32_t charCount;
};

struct HWTextRegion {
    RECT box;
    std::int32_t reserved[2];
    HWTextLine* lines;
    std::int32_t lineCount;
};

// Percentage 0..100; answering 0 stops the recognition.
using HWProgressCallback = std::int32_t (*)(std::int32_t percent);

inline constexpr std::int32_t HWOCR_OK = 0;
inline constexpr std::int32_t HWOCR_E_INVALIDARG = 1;
inline constexpr std::int32_t HWOCR_E_NOTREADY = 2;      // not started, or no settings in the engine folder
inline constexpr std::int32_t HWOCR_E_RECOGNIZER = 3;    // the recogniser could not start
inline constexpr std::int32_t HWOCR_E_CANCELLED = 4;     // the progress callback answered 0
inline constexpr std::int32_t HWOCR_E_NOTSUPPORTED = 5;

std::int32_t HWOCR_InitializeEngine(std::int32_t reserved1, const char* engineFolder, std::int32_t reserved2);
std::int32_t HWOCR_SetActiveLanguage(std::int32_t language);
std::int32_t HWOCR_ExitEngine();
// binaryImage, blocks and blockCount are written on success; both are freed
// only by their Free entries. skew non-zero: remove the page's skew first.
std::int32_t HWOCR_LayoutAnalyze(const BYTE* pixels, std::int32_t width, std::int32_t height, std::int32_t bytesPerPixel,
                                 std::int32_t skew, std::int32_t layout, void** binaryImage, HWBlock** blocks,
                                 std::int32_t* blockCount);
// One text region per block.
std::int32_t HWOCR_Recognize(void* binaryImage, std::int32_t reserved, const HWBlock* blocks, std::int32_t blockCount,
                             HWTextRegion** regions, HWProgressCallback progress);
// One text region.
std::int32_t HWOCR_RecognizeBlock(const BYTE* pixels, std::int32_t width, std::int32_t height,
                                  std::int32_t bytesPerPixel, const HWBlock* region, HWTextRegion** regions,
                                  HWProgressCallback progress);
std::int32_t HWOCR_FreeBinImage(void* binaryImage);
std::int32_t HWOCR_FreeBlocks(HWBlock* blocks);
std::int32_t HWOCR_FreeTextRgns_(HWTextRegion* regions, std::int32_t count);
std::int32_t Card30_RecogniseSingleCard(void* reserved);

}  // extern "C"
