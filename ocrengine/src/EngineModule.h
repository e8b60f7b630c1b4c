// How the Korean and Chinese back-ends reach their engine libraries, loaded
// by name at run time. Tests put a scripted module in the platform's place.
#pragma once

#include "plat/module.h"

namespace lumocr {

struct ModuleApi {
    HMODULE (*load)(LPCWSTR name);
    FARPROC (*resolve)(HMODULE module, LPCWSTR entry);
    BOOL (*free)(HMODULE module);
};
// Null restores the platform's loader.
void UseModuleApi(const ModuleApi* api);
const ModuleApi& Modules();

// One entry of an engine library: its name and where its address goes.
struct EngineEntry {
    const wchar_t* name;
    FARPROC* slot;
};

// Resolves every entry in order, logging `prefix` + name + `suffix` for each
// one that is missing (its slot is then null); true when all were found.
bool ResolveEntries(HMODULE module, const EngineEntry* entries, int count, const char* prefix,
                    const char* (*suffixOf)(int index));

// Null when the module is not loaded (each then counts as missing).
template <class F>
F EntryAs(FARPROC proc) {
    return reinterpret_cast<F>(proc);
}

}  // namespace lumocr
