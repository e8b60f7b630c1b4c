// The registry's parts inside the platform: the tree in memory, its text
// format and the file on disk.
#pragma once

#include <sys/stat.h>

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "plat/registry.h"
#include "registry_internal.h"

namespace plat::detail::reg {

namespace fs = std::filesystem;

// --- the tree

struct StoredValue {
    std::wstring name;
    DWORD type = REG_NONE;
    std::vector<BYTE> data;
    bool operator==(const StoredValue& o) const { return type == o.type && data == o.data; }
};

struct StoredKey {
    std::wstring path;  // as first written: "HKEY_LOCAL_MACHINE\System\State"
    std::map<std::wstring, StoredValue> values;  // by folded name
};

// Every key by its folded full path; a key's ancestors always exist too.
using Store = std::map<std::wstring, StoredKey>;

inline constexpr const WCHAR* kHives[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE"};
inline constexpr const WCHAR* kHiveShort[] = {L"HKCR", L"HKCU", L"HKLM"};

std::optional<std::wstring> HiveName(HKEY key);
void AddHives(Store& store);
std::vector<std::wstring> SplitKeyPath(std::wstring_view path);
bool ValidKeyName(std::wstring_view name);
// Creates the key at a full path (and its ancestors); returns its folded path.
std::wstring EnsureKey(Store& store, std::wstring_view fullPath, bool* created = nullptr);
const StoredValue* FindValue(const Store& store, const std::wstring& keyFolded, const std::wstring& valueFolded);

// A change waiting to be written; replayed over the file when another
// process wrote it meanwhile, so that neither side's values are lost.
struct Change {
    enum Kind { kCreateKey, kSetValue, kDeleteValue } kind;
    std::wstring keyPath;  // full path as shown
    StoredValue value;
};

void Apply(Store& store, const Change& change);

// The string a REG_SZ value holds, up to its first terminator.
std::wstring StringOf(const StoredValue* value);

// --- the file format

std::string Serialize(const Store& store);
Store Parse(std::string_view text, RegistryFileCheck& check);

// --- the file on disk

// What identifies one version of the file: every write renames a new file in.
struct FileIdentity {
    dev_t dev = 0;
    ino_t ino = 0;
    off_t size = -1;
    timespec mtime{};
    timespec ctime{};
    bool operator==(const FileIdentity& o) const
    {
        return dev == o.dev && ino == o.ino && size == o.size && mtime.tv_sec == o.mtime.tv_sec &&
               mtime.tv_nsec == o.mtime.tv_nsec && ctime.tv_sec == o.ctime.tv_sec && ctime.tv_nsec == o.ctime.tv_nsec;
    }
};

std::optional<FileIdentity> StatIdentity(const fs::path& file);
// Reads the whole file and the identity of exactly what was read.
bool ReadWhole(const fs::path& file, std::string& text, FileIdentity& identity);
// Temporary file, fsync, rename, fsync of the folder: a crash at any moment
// leaves the previous file or the new one.
bool WriteAtomically(const fs::path& file, const std::string& text);

// The lock that makes read-merge-write of the file one step between processes.
class FileLock {
public:
    FileLock(const fs::path& lockFile, int operation);  // operation: LOCK_SH or LOCK_EX
    ~FileLock();
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

}  // namespace plat::detail::reg
