// A scripted stand-in for the Korean engine library, reached through the
// back-end's module loader: canned texts and card record, missing library or
// entries on demand, and a record of every call.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "FakeModuleLoader.h"
#include "plat/koreng.h"

namespace fakekor {

struct Call {
    std::string entry;
    std::int32_t language = -1;
    RECT region{};
    std::string patterns, keywords;   // the database buffers' first bytes, as text
    std::ptrdiff_t workBytes = 0;     // end minus start
    bool scratch = false;
};

struct Script {
    std::int32_t loadDbResult = KOR_OK;
    std::int32_t setMemoryResult = KOR_OK;
    std::int32_t recognizeResult = KOR_OK;
    std::string text;               // written as it is, a zero after it when it fits
    KorCardRecord card{};           // copied into the caller's record
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

}  // namespace fakekor
