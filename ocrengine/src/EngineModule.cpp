#include "EngineModule.h"

#include <string>

#include "OcrCommon.h"
#include "plat/utf.h"

namespace lumocr {
namespace {

constexpr ModuleApi kPlatformApi = {&LoadLibraryW, &GetProcAddressW, &FreeLibrary};
const ModuleApi* g_modules = &kPlatformApi;

}  // namespace

void UseModuleApi(const ModuleApi* api) { g_modules = api ? api : &kPlatformApi; }
const ModuleApi& Modules() { return *g_modules; }

bool ResolveEntries(HMODULE module, const EngineEntry* entries, int count, const char* prefix,
                    const char* (*suffixOf)(int index)) {
    bool all = true;
    for (int i = 0; i < count; ++i) {
        // A library that did not load has none of its entries.
        *entries[i].slot = module ? g_modules->resolve(module, entries[i].name) : nullptr;
        if (*entries[i].slot) continue;
        all = false;
        LogFormat("%s%s%s", prefix, plat::ToUtf8(entries[i].name).c_str(), suffixOf(i));
    }
    return all;
}

}  // namespace lumocr
