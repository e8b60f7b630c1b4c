// A scripted stand-in for the Chinese engine library, reached through the
// back-end's module loader: canned text regions, missing library or entries
// on demand, and a record of every call and of what was freed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FakeModuleLoader.h"
#include "plat/hwocr.h"

namespace fakechn {

struct Call {
    std::string entry;
    std::string path;           // HWOCR_InitializeEngine
    std::int32_t skew = -1;     // HWOCR_LayoutAnalyze
    RECT region{};              // HWOCR_RecognizeBlock
    bool handedOut = false;     // a Free entry got what the engine handed out
};

struct Script {
    std::int32_t initializeResult = HWOCR_OK;
    std::int32_t layoutResult = HWOCR_OK;
    std::int32_t recognizeResult = HWOCR_OK;
    // Regions of lines of 936 bytes; each byte of 0x80 or more starts a cell of two.
    std::vector<std::vector<std::string>> regions;
    std::vector<int> progressSteps;  // reported while recognising; an answer of 0 stops
};

// Installs the fake for the lifetime of the object and restores the platform's loader after.
class FakeEngine {
public:
    FakeEngine();
    Script& script();
    fakemodule::FakeLoader& loader() { return loader_; }
    const std::vector<Call>& calls() const;
    int Count(const std::string& entry) const;

private:
    fakemodule::FakeLoader loader_;
};

}  // namespace fakechn
