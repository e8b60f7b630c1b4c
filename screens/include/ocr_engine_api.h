// The OCR engine calls a recognition run makes, through one table so that a
// run can be driven by a scripted engine. The table defaults to the engine
// library's exports.
#pragma once

#include "LumOCREngine.h"

struct OcrEngineApi {
    std::int32_t (*initialize)(void* workMemory, std::int32_t workSize, OcrProgressCallback progress,
                               const OcrLanguageCode* languages, const char* databaseFolder);
    std::int32_t (*checkImageDirection)(OcrImage* small, OcrImage* full);
    std::int32_t (*recognizeBizCard)(OcrImage* image, OcrCardField* fields);
    std::int32_t (*recognizeDocument)(OcrImage* image, OcrTextResult* result);
    std::int32_t (*finalize)(std::int32_t unused);
};

// The table in use.
const OcrEngineApi& OcrEngine();
// Installs another table (null: the library's exports again). Set it only
// while no run is going.
void SetOcrEngine(const OcrEngineApi* api);
