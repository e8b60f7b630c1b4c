// The shared library's load and unload hooks, in place of the platform's
// entry-point call.
#include "OcrCommon.h"

namespace {

constexpr DWORD kProcessDetach = 0;
constexpr DWORD kProcessAttach = 1;

__attribute__((constructor)) void OnLoad() { lumocr::DllMain(nullptr, kProcessAttach, nullptr); }
__attribute__((destructor)) void OnUnload() { lumocr::DllMain(nullptr, kProcessDetach, nullptr); }

}  // namespace
