// Modules: shared libraries loaded at run time, the platform's own export
// table ("coredll.dll"), the language resource library (a string-table file,
// "LumOCR.exe.0409.mui") and the program's own string table.
//
// LoadLibraryW("X.dll") opens libX.so next to the executable, else through
// the default search path; GetProcAddressW looks names up with dlsym and
// ordinals in the table that the library declares with LUM_ORDINAL_EXPORTS.
// A name ending in ".mui" is a device path of a string-table file
// (docs/platform.md, "Modules and string tables").
#pragma once

#include <cstddef>
#include <iterator>

#include "plat/types.h"

// The generic function pointer: void (*)() converts to and from every function
// type without a cast warning, so callers cast it to the entry's real type.
using FARPROC = void (*)();

HMODULE LoadLibraryW(LPCWSTR fileName);
BOOL FreeLibrary(HMODULE module);
// The name, or an ordinal given as MAKEINTRESOURCEW(n).
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
inline FARPROC GetProcAddress(HMODULE module, LPCWSTR procName) { return GetProcAddressW(module, procName); }
// NULL: the program itself, whose instance handle this is.
HMODULE GetModuleHandleW(LPCWSTR moduleName);

// Copies string `id` of the module's string table (the program's own for the
// program's handle or NULL) into buffer, cut to bufferMax - 1 characters and
// ended with a zero; returns the characters copied, 0 when there is no such string.
int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax);

// The handset's system locale: $LUMOCR_LCID (hexadecimal, e.g. "0412"), else
// the device root's HKLM "nls" "DefaultLCID", else 0x0409.
LCID GetSystemDefaultLCID();

namespace plat {

struct OrdinalExport {
    WORD ordinal;
    FARPROC proc;
};

template <class F>
FARPROC ExportOf(F* function)
{
    return reinterpret_cast<FARPROC>(function);
}

struct StringResource {
    UINT id;
    LPCWSTR text;
};

// The program's own string table, read by LoadStringW with the program's handle.
void SetProgramStrings(const StringResource* table, std::size_t count);

// Tests: GetProcAddressW finds no entry of this name in any library, as if
// the library lacked it; null finds every entry again.
void HideLibraryExport(LPCWSTR name);

}  // namespace plat

// Declares the ordinal table of a stand-in library, once in one of its sources:
//   LUM_ORDINAL_EXPORTS({7, plat::ExportOf(&FindFirstFlashCard)}, {8, plat::ExportOf(&FindNextFlashCard)})
#define LUM_ORDINAL_EXPORTS(...)                                                                  \
    extern "C" __attribute__((visibility("default"))) const plat::OrdinalExport* LumOrdinalExports( \
        std::size_t* count)                                                                      \
    {                                                                                            \
        static const plat::OrdinalExport table[] = {__VA_ARGS__};                                \
        *count = std::size(table);                                                               \
        return table;                                                                            \
    }
