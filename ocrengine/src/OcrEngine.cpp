// The exported interface: the library state and the dispatch by the first
// language code.
#include "LumOCREngine.h"

#include "ChineseBackend.h"
#include "EuropeanBackend.h"
#include "KoreanBackend.h"
#include "OcrBackend.h"
#include "OcrCommon.h"
#include "ocrchecks/EdgeDetector.h"
#include "ocrchecks/ImageChecks.h"

namespace lumocr {
namespace {

enum class Family { None, Korean, Chinese, European };

Family FamilyOf(std::int32_t code) {
    if (code >= kFirstKoreanCode && code <= kLastKoreanCode) return Family::Korean;
    if (code >= kFirstChineseCode && code <= kLastChineseCode) return Family::Chinese;
    if (code >= kFirstEuropeanCode && code <= kLastEuropeanCode) return Family::European;
    return Family::None;
}

struct LibraryState {
    std::int32_t storedCode = 0;
    std::int32_t finalized = 1;
    std::int32_t fastWord = 1;
    std::int32_t skewFlag = 0;
    COcrBackend* backend = nullptr;  // started by the last LumOCR_Initialize
};
LibraryState g_state;

COcrBackend* BackendOf(Family family) {
    static CEuropeanBackend european;
    static CKoreanBackend korean;
    static CChineseBackend chinese;
    switch (family) {
        case Family::European: return &european;
        case Family::Korean: return &korean;
        case Family::Chinese: return &chinese;
        default: return nullptr;
    }
}

bool ValidImage(const OcrImage* image) {
    return image && image->data && image->width > 0 && image->height > 0;
}

// The checks' view of a picture; a null picture is an empty one.
ocrchecks::GreyImage GreyOf(const OcrImage* image) {
    return image ? ocrchecks::GreyImage{image->data, image->width, image->height}
                 : ocrchecks::GreyImage{nullptr, 0, 0};
}

}  // namespace

std::int32_t FastWord() { return g_state.fastWord; }
std::int32_t SkewFlag() { return g_state.skewFlag; }

}  // namespace lumocr

using namespace lumocr;

extern "C" {

std::int32_t LumOCR_Initialize(void* workMemory, std::int32_t workSize, OcrProgressCallback progress,
                               const OcrLanguageCode* languages, const char* databaseFolder) {
    if (!languages || !databaseFolder) {
        LogLine("LumOCR_Initialize: no language list or database folder\n");
        return LUMOCR_E_INVALIDARG;
    }
    // A new start without LumOCR_Finalize ends the running back-end first.
    if (!g_state.finalized && g_state.backend) g_state.backend->Finalize();
    g_state.backend = nullptr;
    g_state.finalized = 0;
    LogLine("LumOCR_Initialize start\n");
    g_state.storedCode = languages[0];
    const Family family = FamilyOf(g_state.storedCode);
    std::int32_t result = LUMOCR_OUT_OF_RANGE_INITIALIZE;
    if (family != Family::None) {
        g_state.backend = BackendOf(family);
        result = g_state.backend ? g_state.backend->Initialize(workMemory, workSize, progress, languages,
                                                               databaseFolder)
                                 : LUMOCR_E_NOBACKEND;
    }
    LogLine("LumOCR_Initialize end\n");
    return result;
}

std::int32_t LumOCR_Finalize(std::int32_t) {
    if (g_state.finalized) return 0;
    g_state.finalized = 1;
    COcrBackend* backend = g_state.backend;
    g_state.backend = nullptr;
    if (FamilyOf(g_state.storedCode) == Family::None) return LUMOCR_OUT_OF_RANGE_FINALIZE;
    return backend ? backend->Finalize() : 0;
}

std::int32_t LumOCR_CancelRecognition() {
    // Cancelling works through the progress callback only.
    return FamilyOf(g_state.storedCode) == Family::None ? LUMOCR_OUT_OF_RANGE_CANCEL : 0;
}

std::int32_t LumOCR_RecognizeDocument(OcrImage* image, OcrTextResult* result) {
    LogLine("[TRAVEK] LumOCR_RecognizeDocument start\n");
    if (FamilyOf(g_state.storedCode) == Family::None) return LUMOCR_OUT_OF_RANGE_DOCUMENT;
    if (!result || !ValidImage(image)) return LUMOCR_E_INVALIDARG;
    if (g_state.finalized || !g_state.backend) {
        result->text[0] = '\0';
        result->length = 0;
        return LUMOCR_E_NOTSTARTED;
    }
    return g_state.backend->RecognizeDocument(*image, *result);
}

std::int32_t LumOCR_RecognizeLine(OcrImage* image, RECT* region, OcrTextResult* result) {
    if (FamilyOf(g_state.storedCode) == Family::None) return LUMOCR_OUT_OF_RANGE_LINE;
    if (!result || !region || !ValidImage(image)) return LUMOCR_E_INVALIDARG;
    if (g_state.finalized || !g_state.backend) {
        result->text[0] = '\0';
        result->length = 0;
        return LUMOCR_E_NOTSTARTED;
    }
    return g_state.backend->RecognizeLine(*image, *region, *result);
}

std::int32_t LumOCR_RecognizeBizCard(OcrImage* image, OcrCardField* fields) {
    const Family family = FamilyOf(g_state.storedCode);
    if (family == Family::None) return LUMOCR_OUT_OF_RANGE_BIZCARD;
    if (family == Family::Chinese) return 0;  // that engine reads no cards
    if (!fields || !ValidImage(image)) return LUMOCR_E_INVALIDARG;
    if (g_state.finalized || !g_state.backend) return LUMOCR_E_NOTSTARTED;
    const std::int32_t result = g_state.backend->RecognizeBizCard(*image, fields);
    if (family == Family::European) LogLine("[TRAVEK] LumOCR_RecognizeBizCard_EUR end \n");
    return result;
}

std::int32_t LumOCR_SetFast(std::int32_t fast) {
    g_state.fastWord = fast ? 0 : 1;
    return 0;
}

std::int32_t LumOCR_SetSkew(std::int32_t skew) {
    g_state.skewFlag = skew ? 1 : 0;
    return 0;
}

// ---------------------------------------------------------------------------
// Image checks. They need no initialisation and keep no state between calls
// (the edge counters aside); the checks themselves live in lumocrchecks.

std::int32_t LumOCR_EdgeDetection(BYTE* frame, std::int32_t width, std::int32_t height, RECT* bandFlags,
                                  std::int32_t* found, std::int32_t period) {
    // Called from the automatic-shot worker only: one detector for the process.
    static ocrchecks::CEdgeDetector detector;
    ocrchecks::CheckRect bands{};
    if (bandFlags) bands = {bandFlags->left, bandFlags->top, bandFlags->right, bandFlags->bottom};
    const std::int32_t result = detector.Detect(frame, width, height, bandFlags ? &bands : nullptr, found, period);
    if (bandFlags) *bandFlags = RECT{bands.left, bands.top, bands.right, bands.bottom};
    return result;
}

std::int32_t LumOCR_BlurDetection(OcrImage* image, std::int32_t rectCount, RECT* rects, std::int32_t threshold) {
    static_assert(sizeof(RECT) == sizeof(ocrchecks::CheckRect) && alignof(RECT) == alignof(ocrchecks::CheckRect));
    const ocrchecks::GreyImage grey = GreyOf(image);
    return ocrchecks::BlurDetection(image ? &grey : nullptr, rectCount,
                                    reinterpret_cast<const ocrchecks::CheckRect*>(rects), threshold);
}

std::int32_t LumOCR_Binarize(OcrImage* image) {
    ocrchecks::GreyImage grey = GreyOf(image);
    return ocrchecks::Binarize(image ? &grey : nullptr);
}

std::int32_t LumOCR_Sharpen(OcrImage* image, std::int32_t mode) {
    ocrchecks::GreyImage grey = GreyOf(image);
    return ocrchecks::Sharpen(image ? &grey : nullptr, mode);
}

std::int32_t LumOCR_CheckImageDirection(OcrImage* small, OcrImage* full) {
    const ocrchecks::GreyImage smallGrey = GreyOf(small);
    ocrchecks::GreyImage fullGrey = GreyOf(full);
    const std::int32_t result =
        ocrchecks::CheckImageDirection(small ? &smallGrey : nullptr, full ? &fullGrey : nullptr);
    if (full) {  // a turn swaps width and height
        full->width = fullGrey.width;
        full->height = fullGrey.height;
    }
    return result;
}

// One function behind both exports, doing nothing.
static std::int32_t NoOperation() { return 0; }
std::int32_t LumOCR_BrightnessDetection() { return NoOperation(); }
std::int32_t LumOCR_LineDetection() { return NoOperation(); }

}  // extern "C"
