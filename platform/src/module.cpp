#include "plat/module.h"

#include <dlfcn.h>
#include <link.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

#include "coredll_exports.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/registry.h"
#include "plat/utf.h"
#include "plat/windows.h"
#include "string_table.h"

namespace fs = std::filesystem;

namespace plat {
namespace {

struct Module {
    enum class Kind { Program, Coredll, Library, StringTable };
    Kind kind;
    std::string key;  // what makes two loads the same module
    void* library = nullptr;
    int references = 1;
    StringTable strings;
};

struct Modules {
    std::mutex lock;
    Module program{Module::Kind::Program, {}, nullptr, 1, {}};
    Module coredll{Module::Kind::Coredll, {}, nullptr, 1, {}};
    std::vector<std::unique_ptr<Module>> loaded;
    std::wstring hiddenExport;  // tests: an entry no library has

    // The module behind a handle, or null; lock held.
    Module* Find(HMODULE handle)
    {
        auto* module = reinterpret_cast<Module*>(handle);
        if (!handle || module == &program)
            return &program;
        if (module == &coredll)
            return module;
        for (const auto& m : loaded) {
            if (m.get() == module)
                return module;
        }
        return nullptr;
    }
};

Modules& AllModules()
{
    static Modules* const modules = new Modules;
    return *modules;
}

HMODULE HandleOf(Module* module) { return reinterpret_cast<HMODULE>(module); }

bool EndsWithNoCase(std::wstring_view text, std::wstring_view tail)
{
    if (text.size() < tail.size())
        return false;
    for (std::size_t i = 0; i < tail.size(); ++i) {
        if (std::towlower(text[text.size() - tail.size() + i]) != std::towlower(tail[i]))
            return false;
    }
    return true;
}

fs::path ExecutableFolder()
{
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? fs::path() : exe.parent_path();
}

// libX.so beside the executable, the file name's case ignored as on the handset.
fs::path BesideExecutable(const std::string& soName)
{
    fs::path folder = ExecutableFolder();
    if (folder.empty())
        return {};
    std::error_code ec;
    if (fs::exists(folder / soName, ec))
        return folder / soName;
    for (const auto& entry : fs::directory_iterator(folder, ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() == soName.size() && strncasecmp(name.c_str(), soName.c_str(), name.size()) == 0)
            return entry.path();
    }
    return {};
}

HMODULE LoadStringTable(LPCWSTR devicePath)
{
    auto host = MapDevicePath(devicePath);
    if (!host) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::ifstream in(*host, std::ios::binary);
    if (!in) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    std::ostringstream text;
    text << in.rdbuf();
    auto module = std::make_unique<Module>();
    module->kind = Module::Kind::StringTable;
    std::string problem;
    if (!ParseStringTable(text.str(), module->strings, problem)) {
        DebugLine(L"[platform] %ls: %ls", host->wstring().c_str(), FromUtf8(problem).c_str());
        SetLastError(ERROR_BAD_FORMAT);
        return nullptr;
    }
    // Each load reads the file anew: a table is small, and so a changed file is seen.
    Modules& modules = AllModules();
    std::lock_guard guard(modules.lock);
    modules.loaded.push_back(std::move(module));
    return HandleOf(modules.loaded.back().get());
}

HMODULE LoadSharedLibrary(std::wstring_view baseName)
{
    std::wstring stem(baseName);
    if (EndsWithNoCase(stem, L".dll"))
        stem.resize(stem.size() - 4);
    std::string soName = "lib" + ToUtf8(stem) + ".so";
    void* library = nullptr;
    if (fs::path beside = BesideExecutable(soName); !beside.empty())
        library = dlopen(beside.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library)
        library = dlopen(soName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!library) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    Modules& modules = AllModules();
    std::lock_guard guard(modules.lock);
    for (const auto& m : modules.loaded) {
        if (m->library == library) {
            dlclose(library);  // keep one reference of ours per module
            ++m->references;
            return HandleOf(m.get());
        }
    }
    auto module = std::make_unique<Module>();
    module->kind = Module::Kind::Library;
    module->library = library;
    modules.loaded.push_back(std::move(module));
    return HandleOf(modules.loaded.back().get());
}

// The ordinal table of the library itself, not one of a library it depends on.
FARPROC FindOrdinal(void* library, WORD ordinal)
{
    using TableFunction = const OrdinalExport* (*)(std::size_t*);
    void* symbol = dlsym(library, "LumOrdinalExports");
    struct link_map* map = nullptr;
    Dl_info info{};
    if (!symbol || dlinfo(library, RTLD_DI_LINKMAP, &map) != 0 || !map || !dladdr(symbol, &info) ||
        !info.dli_fname || std::strcmp(info.dli_fname, map->l_name) != 0)
        return nullptr;
    std::size_t count = 0;
    const OrdinalExport* table = reinterpret_cast<TableFunction>(symbol)(&count);
    for (std::size_t i = 0; i < count; ++i) {
        if (table[i].ordinal == ordinal)
            return table[i].proc;
    }
    return nullptr;
}

LCID LcidFromEnvironment()
{
    const char* text = std::getenv("LUMOCR_LCID");
    if (!text || !*text)
        return 0;
    char* end = nullptr;
    unsigned long value = std::strtoul(text, &end, 16);
    if (*end || value == 0 || value > 0xFFFFFFFFul)
        return 0;
    return static_cast<LCID>(value);
}

LCID LcidFromRegistry()
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"nls", 0, KEY_READ, &key) != ERROR_SUCCESS)
        return 0;
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof value;
    LONG rc = RegQueryValueExW(key, L"DefaultLCID", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && type == REG_DWORD ? value : 0;
}

}  // namespace

void SetProgramStrings(const StringResource* table, std::size_t count)
{
    StringTable strings;
    for (std::size_t i = 0; i < count; ++i)
        strings[table[i].id] = table[i].text ? table[i].text : L"";
    Modules& modules = AllModules();
    std::lock_guard guard(modules.lock);
    modules.program.strings = std::move(strings);
}

void HideLibraryExport(LPCWSTR name)
{
    Modules& modules = AllModules();
    std::lock_guard guard(modules.lock);
    modules.hiddenExport = name ? name : L"";
}

}  // namespace plat

using plat::Module;

HMODULE LoadLibraryW(LPCWSTR fileName)
{
    if (!fileName || !*fileName) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    std::wstring_view name(fileName);
    if (plat::EndsWithNoCase(name, L".mui"))
        return plat::LoadStringTable(fileName);
    std::wstring_view base = name.substr(name.find_last_of(L"\\/") == std::wstring_view::npos
                                             ? 0
                                             : name.find_last_of(L"\\/") + 1);
    if (plat::EndsWithNoCase(base, L"coredll.dll") && base.size() == 11)
        return plat::HandleOf(&plat::AllModules().coredll);
    return plat::LoadSharedLibrary(base);
}

BOOL FreeLibrary(HMODULE handle)
{
    plat::Modules& modules = plat::AllModules();
    std::lock_guard guard(modules.lock);
    Module* module = handle ? modules.Find(handle) : nullptr;
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (module->kind == Module::Kind::Program || module->kind == Module::Kind::Coredll)
        return TRUE;
    if (--module->references > 0)
        return TRUE;
    if (module->library)
        dlclose(module->library);
    std::erase_if(modules.loaded, [&](const auto& m) { return m.get() == module; });
    return TRUE;
}

FARPROC GetProcAddressW(HMODULE handle, LPCWSTR procName)
{
    plat::Modules& modules = plat::AllModules();
    std::unique_lock guard(modules.lock);
    Module* module = handle ? modules.Find(handle) : nullptr;
    if (!module || !procName) {
        SetLastError(module ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return nullptr;
    }
    FARPROC proc = nullptr;
    bool byOrdinal = IS_INTRESOURCE(procName);
    switch (module->kind) {
    case Module::Kind::Coredll:
        if (!byOrdinal)
            proc = plat::FindCoredllExport(procName);
        break;
    case Module::Kind::Library:
        if (byOrdinal)
            proc = plat::FindOrdinal(module->library, static_cast<WORD>(reinterpret_cast<ULONG_PTR>(procName)));
        else if (modules.hiddenExport != procName)
            proc = reinterpret_cast<FARPROC>(dlsym(module->library, plat::ToUtf8(procName).c_str()));
        break;
    default:
        break;
    }
    if (!proc)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return proc;
}

HMODULE GetModuleHandleW(LPCWSTR moduleName)
{
    if (moduleName) {
        SetLastError(ERROR_MOD_NOT_FOUND);  // only the program itself is asked for
        return nullptr;
    }
    return plat::HandleOf(&plat::AllModules().program);
}

int LoadStringW(HINSTANCE instance, UINT id, LPWSTR buffer, int bufferMax)
{
    if (!buffer || bufferMax <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    buffer[0] = L'\0';
    plat::Modules& modules = plat::AllModules();
    std::lock_guard guard(modules.lock);
    Module* module = modules.Find(instance);
    if (!module) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    auto it = module->strings.find(id);
    if (it == module->strings.end()) {
        SetLastError(ERROR_RESOURCE_NAME_NOT_FOUND);
        return 0;
    }
    std::size_t n = std::min<std::size_t>(it->second.size(), static_cast<std::size_t>(bufferMax) - 1);
    std::wmemcpy(buffer, it->second.data(), n);
    buffer[n] = L'\0';
    return static_cast<int>(n);
}

LCID GetSystemDefaultLCID()
{
    if (LCID lcid = plat::LcidFromEnvironment())
        return lcid;
    if (LCID lcid = plat::LcidFromRegistry())
        return lcid;
    return 0x0409;
}
