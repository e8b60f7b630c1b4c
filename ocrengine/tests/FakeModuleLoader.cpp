#include "FakeModuleLoader.h"

namespace fakemodule {
namespace {

struct Served {
    FakeLoader* loader = nullptr;
    std::wstring library;
    FakeLoader::Entries entries;
};
Served g_served;
int g_handle = 0;

HMODULE Load(LPCWSTR name) {
    FakeLoader* l = g_served.loader;
    if (!l || l->libraryMissing || g_served.library != name) return nullptr;
    ++l->loads;
    return reinterpret_cast<HMODULE>(&g_handle);
}

FARPROC Resolve(HMODULE, LPCWSTR entry) {
    if (!g_served.loader || g_served.loader->missingEntries.count(entry)) return nullptr;
    for (const auto& [name, proc] : g_served.entries) {
        if (name == entry) return proc;
    }
    return nullptr;
}

BOOL Free(HMODULE) {
    if (g_served.loader) ++g_served.loader->frees;
    return TRUE;
}

constexpr lumocr::ModuleApi kFakeApi = {&Load, &Resolve, &Free};

}  // namespace

FakeLoader::FakeLoader(std::wstring library, Entries entries) {
    g_served = Served{this, std::move(library), std::move(entries)};
    lumocr::UseModuleApi(&kFakeApi);
}

FakeLoader::~FakeLoader() {
    lumocr::UseModuleApi(nullptr);
    g_served = Served{};
}

}  // namespace fakemodule
