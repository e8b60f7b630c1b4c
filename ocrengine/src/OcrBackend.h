// One recognition engine behind the exported interface; the dispatch picks
// one by the first language code and keeps it until LumOCR_Finalize.
#pragma once

#include <cstdint>

#include "LumOCREngine.h"

namespace lumocr {

class COcrBackend {
public:
    virtual ~COcrBackend() = default;
    virtual std::int32_t Initialize(void* work, std::int32_t workSize, OcrProgressCallback progress,
                                    const OcrLanguageCode* languages, const char* folder) = 0;
    virtual std::int32_t Finalize() = 0;
    virtual std::int32_t RecognizeDocument(const OcrImage& image, OcrTextResult& result) = 0;
    virtual std::int32_t RecognizeLine(const OcrImage& image, const RECT& region, OcrTextResult& result) = 0;
    virtual std::int32_t RecognizeBizCard(const OcrImage& image, OcrCardField* fields) = 0;
};

// Library state the back-ends read.
std::int32_t FastWord();
std::int32_t SkewFlag();

}  // namespace lumocr
