// The platform's own exports under the name "coredll.dll", for the system's
// code that loads the core library by name and resolves functions at run
// time. Add one line per function that such code resolves.
#include "coredll_exports.h"

#include <cwchar>

#include "plat/windows.h"

namespace plat {
namespace {

struct NamedExport {
    LPCWSTR name;
    FARPROC proc;
};

const NamedExport kCoredllExports[] = {
    // The keyboard hook library binds its three entries at run time.
    {L"SetWindowsHookExW", ExportOf(&SetWindowsHookExW)},
    {L"CallNextHookEx", ExportOf(&CallNextHookEx)},
    {L"UnhookWindowsHookEx", ExportOf(&UnhookWindowsHookEx)},
};

}  // namespace

FARPROC FindCoredllExport(LPCWSTR name)
{
    for (const auto& entry : kCoredllExports) {
        if (std::wcscmp(entry.name, name) == 0)
            return entry.proc;
    }
    return nullptr;
}

}  // namespace plat
