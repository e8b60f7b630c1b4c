// The module loader the scripted engines share: serves one library's
// entries by name, leaves the library or some entries out on demand, and
// counts loads and frees. Installed for its lifetime; one at a time.
#pragma once

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "EngineModule.h"

namespace fakemodule {

class FakeLoader {
public:
    using Entries = std::vector<std::pair<std::wstring, FARPROC>>;
    FakeLoader(std::wstring library, Entries entries);
    ~FakeLoader();
    FakeLoader(const FakeLoader&) = delete;
    FakeLoader& operator=(const FakeLoader&) = delete;

    bool libraryMissing = false;
    std::set<std::wstring> missingEntries;
    int loads = 0;
    int frees = 0;
};

template <class F>
FARPROC Proc(F* function) {
    return reinterpret_cast<FARPROC>(function);
}

}  // namespace fakemodule
