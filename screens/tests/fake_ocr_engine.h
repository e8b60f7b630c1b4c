// A scripted OCR engine behind the run's function table: each recognition
// call takes the next picture's script (canned card fields or text, the
// progress it reports, the direction its check answers) and every call is
// recorded.
#pragma once

#include <climits>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "LumOCREngine.h"

namespace fake_engine {

struct Field {
    std::int32_t type;
    std::string text;
    RECT box;
};

struct Picture {
    std::vector<Field> fields;             // card mode
    std::string text;                      // document mode
    std::int32_t length = INT_MIN;         // the length the engine reports; INT_MIN: the text's
    std::vector<std::int32_t> progress;    // reported in order; a 0 answer stops the engine
    std::int32_t direction = 1;
    // Runs on the recognition thread after each progress report.
    std::function<void(std::int32_t percent)> afterProgress;
};

struct Call {
    std::string name;  // "Initialize", "CheckImageDirection", "RecognizeBizCard", "RecognizeDocument", "Finalize"
    std::vector<OcrLanguageCode> languages;
    std::string folder;
    std::int32_t workSize = 0;
    bool workZeroed = false;
    bool hasProgress = false;
    std::int32_t width = 0, height = 0;          // the picture recognised or checked
    std::int32_t smallWidth = 0, smallHeight = 0;
    bool smallHasData = false;
    std::vector<BYTE> pixels;                    // a copy of the picture recognised
    std::vector<std::int32_t> answers;           // the callback's answers, per report
};

// Installs the fake with these scripts (one per recognition call; a call
// past the end finds nothing and recognises nothing).
void Install(std::vector<Picture> script);
// The library's engine again.
void Uninstall();
std::vector<Call> Calls();
std::vector<std::string> CallNames();

}  // namespace fake_engine
