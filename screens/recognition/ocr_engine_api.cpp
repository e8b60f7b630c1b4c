#include "ocr_engine_api.h"

#include <atomic>

namespace {

constexpr OcrEngineApi kLibraryEngine = {
    &LumOCR_Initialize, &LumOCR_CheckImageDirection, &LumOCR_RecognizeBizCard,
    &LumOCR_RecognizeDocument, &LumOCR_Finalize,
};

std::atomic<const OcrEngineApi*>& Installed()
{
    static std::atomic<const OcrEngineApi*> api{&kLibraryEngine};
    return api;
}

}  // namespace

const OcrEngineApi& OcrEngine() { return *Installed().load(); }

void SetOcrEngine(const OcrEngineApi* api) { Installed().store(api ? api : &kLibraryEngine); }
