// A scripted stand-in for the European engine: canned lines and card fields,
// and a record of every call, for the back-end's unit tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "EuropeanBackend.h"

namespace fakefine {

struct CannedWord {
    std::u16string text;
    RECT box;
};

struct CannedField {
    std::int32_t kind;
    std::vector<CannedWord> words;
};

struct Call {
    std::string entry;
    std::vector<std::int32_t> languages;  // the non-zero slots
    std::int32_t fast = -1;
    std::int32_t bufferSize = 0;
    bool keywordsPassed = false;
    RECT region{};
};

struct Script {
    std::int32_t initializeResult = FINE_OK;
    std::int32_t recognizeResult = FINE_OK;
    std::vector<CannedWord> lines;      // page and region lines
    std::vector<CannedField> fields;    // card fields
    std::vector<int> progressSteps;     // percentages reported while recognising
};

// Installs the fake for the lifetime of the object and restores the linked engine after.
class FakeEngine {
public:
    FakeEngine();
    ~FakeEngine();
    Script& script();
    const std::vector<Call>& calls() const;
    int Count(const std::string& entry) const;
};

}  // namespace fakefine
