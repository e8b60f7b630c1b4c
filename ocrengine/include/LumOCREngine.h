// The OCR engine library's exported interface: plain functions over the
// European, Korean and Chinese engines, and the image checks on grey pictures.
// Every export returns an int32 code; the caller owns every buffer.
#pragma once

#include <cstdint>

#include "plat/types.h"

extern "C" {

// 8-bit grey picture, rows top-down, stride equal to the width (0 black, 255 white).
struct OcrImage {
    BYTE* data;
    std::int32_t width;
    std::int32_t height;
};

inline constexpr int kOcrTextBytes = 5120;

// Recognised page or region text, 8-bit, lines separated by CR LF.
struct OcrTextResult {
    char text[kOcrTextBytes];
    std::int32_t length;  // bytes before the zero byte
};

inline constexpr int kOcrCardFieldTextBytes = 256;
inline constexpr int kOcrMaxCardFields = 100;

// One business-card field; the caller presets every type to -1, and the first
// record still at -1 ends the list.
struct OcrCardField {
    std::int32_t type;  // OcrCardFieldType
    char text[kOcrCardFieldTextBytes];
    RECT rect;          // in the recognised picture's pixels
};

enum OcrCardFieldType : std::int32_t {
    OCR_FIELD_NONE = -1,
    OCR_FIELD_NAME = 0,
    OCR_FIELD_ENGINE1 = 1,
    OCR_FIELD_COMPANY = 2,
    OCR_FIELD_ENGINE3 = 3,
    OCR_FIELD_ENGINE4 = 4,
    OCR_FIELD_ADDRESS = 5,
    OCR_FIELD_ENGINE6 = 6,
    OCR_FIELD_TELEPHONE = 7,
    OCR_FIELD_FAX = 8,
    OCR_FIELD_MOBILE = 9,
    OCR_FIELD_WEB = 11,
    OCR_FIELD_EMAIL = 12,
    OCR_FIELD_OTHER = 13,
};

// Percentage 0 to 100; answering 0 stops the engine.
using OcrProgressCallback = std::int32_t (*)(std::int32_t percent);

using OcrLanguageCode = std::int32_t;

// Results for a first language code the library has no back-end for.
inline constexpr std::int32_t LUMOCR_OUT_OF_RANGE_INITIALIZE = 2;
inline constexpr std::int32_t LUMOCR_OUT_OF_RANGE_CANCEL = 3;
inline constexpr std::int32_t LUMOCR_OUT_OF_RANGE_FINALIZE = 4;
inline constexpr std::int32_t LUMOCR_OUT_OF_RANGE_DOCUMENT = 5;
inline constexpr std::int32_t LUMOCR_OUT_OF_RANGE_LINE = 6;
inline constexpr std::int32_t LUMOCR_OUT_OF_RANGE_BIZCARD = 7;

// The library's own failures; the engines' results pass through unchanged.
inline constexpr std::int32_t LUMOCR_E_LOADFAILED = -101;   // a database file could not be loaded
inline constexpr std::int32_t LUMOCR_E_NOMEMORY = -102;     // no work memory or no result buffer
inline constexpr std::int32_t LUMOCR_E_INVALIDARG = -103;   // a null list, folder, picture or result
inline constexpr std::int32_t LUMOCR_E_NOTSTARTED = -104;   // the engine did not start
inline constexpr std::int32_t LUMOCR_E_BADLANGUAGE = -105;  // a code the chosen back-end does not know
inline constexpr std::int32_t LUMOCR_E_NOBACKEND = -106;    // no engine for this language family here
inline constexpr std::int32_t LUMOCR_E_NOENGINE = -107;     // the engine library or one of its entries is missing

// Ordinals 1 to 15.
std::int32_t LumOCR_Binarize(OcrImage* image);
std::int32_t LumOCR_BlurDetection(OcrImage* image, std::int32_t rectCount, RECT* rects, std::int32_t threshold);
std::int32_t LumOCR_BrightnessDetection();
std::int32_t LumOCR_CancelRecognition();
std::int32_t LumOCR_CheckImageDirection(OcrImage* small, OcrImage* full);
std::int32_t LumOCR_EdgeDetection(BYTE* frame, std::int32_t width, std::int32_t height, RECT* bandFlags,
                                  std::int32_t* found, std::int32_t period);
std::int32_t LumOCR_Finalize(std::int32_t unused);
std::int32_t LumOCR_Initialize(void* workMemory, std::int32_t workSize, OcrProgressCallback progress,
                               const OcrLanguageCode* languages, const char* databaseFolder);
std::int32_t LumOCR_LineDetection();
std::int32_t LumOCR_RecognizeBizCard(OcrImage* image, OcrCardField* fields);
std::int32_t LumOCR_RecognizeDocument(OcrImage* image, OcrTextResult* result);
std::int32_t LumOCR_RecognizeLine(OcrImage* image, RECT* region, OcrTextResult* result);
std::int32_t LumOCR_SetFast(std::int32_t fast);
std::int32_t LumOCR_SetSkew(std::int32_t skew);
std::int32_t LumOCR_Sharpen(OcrImage* image, std::int32_t mode);

}  // extern "C"
