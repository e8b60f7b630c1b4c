#include "plat/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

#include "plat/debug.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/file.h"
#include "plat/utf.h"
#include "registry_internal.h"

namespace fs = std::filesystem;

namespace {

// --- the tree ------------------------------------------------------------------

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

constexpr const WCHAR* kHives[] = {L"HKEY_CLASSES_ROOT", L"HKEY_CURRENT_USER", L"HKEY_LOCAL_MACHINE"};
constexpr const WCHAR* kHiveShort[] = {L"HKCR", L"HKCU", L"HKLM"};

std::optional<std::wstring> HiveName(HKEY key)
{
    auto value = reinterpret_cast<ULONG_PTR>(key);
    if (value >= 0x80000000u && value <= 0x80000002u)
        return std::wstring(kHives[value - 0x80000000u]);
    return std::nullopt;
}

void AddHives(Store& store)
{
    for (const WCHAR* hive : kHives)
        store.try_emplace(plat::FoldCase(hive), StoredKey{hive, {}});
}

std::vector<std::wstring> SplitKeyPath(std::wstring_view path)
{
    std::vector<std::wstring> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos)
            end = path.size();
        if (end > start)
            parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool ValidKeyName(std::wstring_view name)
{
    return !name.empty() && name.size() <= 255 &&
           std::none_of(name.begin(), name.end(), [](wchar_t c) { return c < 0x20 || c == 0x7F; });
}

// Creates the key at a full path (and its ancestors); returns its folded path.
std::wstring EnsureKey(Store& store, std::wstring_view fullPath, bool* created = nullptr)
{
    auto parts = SplitKeyPath(fullPath);
    std::wstring folded, display;
    if (created)
        *created = false;
    for (const auto& part : parts) {
        if (!folded.empty()) {
            folded += L'\\';
            display += L'\\';
        }
        folded += plat::FoldCase(part);
        auto [it, inserted] = store.try_emplace(folded, StoredKey{display + part, {}});
        display = it->second.path;
        if (inserted && created)
            *created = true;
    }
    return folded;
}

const StoredValue* FindValue(const Store& store, const std::wstring& keyFolded, const std::wstring& valueFolded)
{
    auto key = store.find(keyFolded);
    if (key == store.end())
        return nullptr;
    auto value = key->second.values.find(valueFolded);
    return value == key->second.values.end() ? nullptr : &value->second;
}

// A change waiting to be written; replayed over the file when another
// process wrote it meanwhile, so that neither side's values are lost.
struct Change {
    enum Kind { kCreateKey, kSetValue, kDeleteValue } kind;
    std::wstring keyPath;  // full path as shown
    StoredValue value;
};

void Apply(Store& store, const Change& change)
{
    std::wstring folded = EnsureKey(store, change.keyPath);
    auto& values = store[folded].values;
    std::wstring valueFolded = plat::FoldCase(change.value.name);
    if (change.kind == Change::kSetValue)
        values[valueFolded] = change.value;
    else if (change.kind == Change::kDeleteValue)
        values.erase(valueFolded);
}

// --- the file format -------------------------------------------------------------
//
//   ; LumOCR device registry (UTF-8)
//   [HKEY_LOCAL_MACHINE\System\State\Phone]
//   "Status"=dword:00010000
//   "Incoming Caller Name"=sz:"Ann Lee\0"
//   "Blob"=hex:01,02,ff
//   ; end
//
// Strings are quoted with \\ \" \0 \n \r \t and \x{HEX} escapes; sz: holds the
// stored wide characters exactly (a stored terminator shows as \0). A value
// of another type, or a size that does not fit its type, is hex(TYPE):.

constexpr const char* kFileHeader = "; LumOCR device registry (UTF-8)";
constexpr const char* kFileEnd = "; end";

std::string Quote(std::wstring_view text)
{
    std::wstring escaped;
    for (wchar_t c : text) {
        switch (c) {
        case L'\\': escaped += L"\\\\"; break;
        case L'"': escaped += L"\\\""; break;
        case L'\0': escaped += L"\\0"; break;
        case L'\n': escaped += L"\\n"; break;
        case L'\r': escaped += L"\\r"; break;
        case L'\t': escaped += L"\\t"; break;
        default: {
            auto u = static_cast<std::uint32_t>(c);
            if (u < 0x20 || u == 0x7F || (u >= 0xD800 && u <= 0xDFFF) || u > 0x10FFFF) {
                char hex[16];
                std::snprintf(hex, sizeof hex, "\\x{%X}", u);
                escaped += plat::FromUtf8(hex);
            } else {
                escaped += c;
            }
        }
        }
    }
    std::string quoted(1, '"');
    quoted += plat::ToUtf8(escaped);
    quoted += '"';
    return quoted;
}

// Reads a quoted string at text[pos]; moves pos past it.
std::optional<std::wstring> Unquote(std::wstring_view text, std::size_t& pos)
{
    if (pos >= text.size() || text[pos] != L'"')
        return std::nullopt;
    std::wstring out;
    for (++pos; pos < text.size(); ++pos) {
        wchar_t c = text[pos];
        if (c == L'"') {
            ++pos;
            return out;
        }
        if (c != L'\\') {
            out += c;
            continue;
        }
        if (++pos >= text.size())
            return std::nullopt;
        switch (text[pos]) {
        case L'\\': out += L'\\'; break;
        case L'"': out += L'"'; break;
        case L'0': out += L'\0'; break;
        case L'n': out += L'\n'; break;
        case L'r': out += L'\r'; break;
        case L't': out += L'\t'; break;
        case L'x': {
            std::size_t close = text.find(L'}', pos);
            if (pos + 1 >= text.size() || text[pos + 1] != L'{' || close == std::wstring_view::npos || close - pos > 10)
                return std::nullopt;
            std::string hex = plat::ToUtf8(text.substr(pos + 2, close - pos - 2));
            char* end = nullptr;
            unsigned long u = std::strtoul(hex.c_str(), &end, 16);
            if (hex.empty() || *end || u > 0xFFFFFFFFul)
                return std::nullopt;
            out += static_cast<wchar_t>(u);
            pos = close;
            break;
        }
        default: return std::nullopt;
        }
    }
    return std::nullopt;
}

std::string FormatData(const StoredValue& value)
{
    char buffer[32];
    if (value.type == REG_DWORD && value.data.size() == 4) {
        DWORD dw;
        std::memcpy(&dw, value.data.data(), 4);
        std::snprintf(buffer, sizeof buffer, "dword:%08x", dw);
        return buffer;
    }
    if (value.type == REG_SZ && value.data.size() % sizeof(WCHAR) == 0) {
        std::wstring text(value.data.size() / sizeof(WCHAR), L'\0');
        std::memcpy(text.data(), value.data.data(), value.data.size());
        return "sz:" + Quote(text);
    }
    std::string out = value.type == REG_BINARY ? "hex:" : "hex(" + std::to_string(value.type) + "):";
    for (std::size_t i = 0; i < value.data.size(); ++i) {
        std::snprintf(buffer, sizeof buffer, i ? ",%02x" : "%02x", value.data[i]);
        out += buffer;
    }
    return out;
}

std::optional<StoredValue> ParseData(std::wstring_view text)
{
    StoredValue value;
    std::string data = plat::ToUtf8(text);
    if (data.rfind("dword:", 0) == 0) {
        char* end = nullptr;
        std::string digits = data.substr(6);
        unsigned long dw = std::strtoul(digits.c_str(), &end, 16);
        if (digits.empty() || digits.size() > 8 || *end)
            return std::nullopt;
        value.type = REG_DWORD;
        value.data.resize(4);
        auto d = static_cast<DWORD>(dw);
        std::memcpy(value.data.data(), &d, 4);
        return value;
    }
    if (data.rfind("sz:", 0) == 0) {
        std::size_t pos = 3;
        auto str = Unquote(text, pos);
        if (!str || pos != text.size())
            return std::nullopt;
        value.type = REG_SZ;
        value.data.resize(str->size() * sizeof(WCHAR));
        std::memcpy(value.data.data(), str->data(), value.data.size());
        return value;
    }
    std::size_t colon = data.find(':');
    if (colon == std::string::npos)
        return std::nullopt;
    std::string kind = data.substr(0, colon);
    if (kind == "hex") {
        value.type = REG_BINARY;
    } else if (kind.rfind("hex(", 0) == 0 && kind.back() == ')') {
        char* end = nullptr;
        std::string number = kind.substr(4, kind.size() - 5);
        value.type = static_cast<DWORD>(std::strtoul(number.c_str(), &end, 10));
        if (number.empty() || *end)
            return std::nullopt;
    } else {
        return std::nullopt;
    }
    std::string bytes = data.substr(colon + 1);
    for (std::size_t i = 0; i < bytes.size();) {
        if (i + 2 > bytes.size() || !std::isxdigit(static_cast<unsigned char>(bytes[i])) ||
            !std::isxdigit(static_cast<unsigned char>(bytes[i + 1])))
            return std::nullopt;
        value.data.push_back(static_cast<BYTE>(std::stoi(bytes.substr(i, 2), nullptr, 16)));
        i += 2;
        if (i < bytes.size() && bytes[i++] != ',')
            return std::nullopt;
    }
    return value;
}

std::string Serialize(const Store& store)
{
    std::string out = kFileHeader;
    out += '\n';
    for (const auto& [folded, key] : store) {
        out += '[';
        out += plat::ToUtf8(key.path);
        out += "]\n";
        for (const auto& [name, value] : key.values) {
            out += Quote(value.name);
            out += '=';
            out += FormatData(value);
            out += '\n';
        }
    }
    out += kFileEnd;
    out += '\n';
    return out;
}

bool IsHivePath(std::wstring_view path)
{
    auto parts = SplitKeyPath(path);
    return !parts.empty() && std::any_of(std::begin(kHives), std::end(kHives),
                                         [&](const WCHAR* hive) { return parts[0] == hive; });
}

Store Parse(std::string_view text, plat::detail::RegistryFileCheck& check)
{
    Store store;
    AddHives(store);
    std::wstring current;  // folded path of the key being read
    std::string lastLine;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string line(text.substr(start, end - start));
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty())
            continue;
        lastLine = line;
        if (line[0] == ';')
            continue;
        std::wstring wide = plat::FromUtf8(line);
        if (wide.front() == L'[' && wide.back() == L']') {
            std::wstring path = wide.substr(1, wide.size() - 2);
            auto parts = SplitKeyPath(path);
            if (!IsHivePath(path) || !std::all_of(parts.begin(), parts.end(), ValidKeyName)) {
                ++check.badLines;
                current.clear();
                continue;
            }
            current = EnsureKey(store, path);
            ++check.keys;
            continue;
        }
        std::size_t pos = 0;
        auto name = Unquote(wide, pos);
        std::optional<StoredValue> value;
        if (name && pos < wide.size() && wide[pos] == L'=')
            value = ParseData(std::wstring_view(wide).substr(pos + 1));
        if (!value || current.empty()) {
            ++check.badLines;
            continue;
        }
        value->name = *name;
        store[current].values[plat::FoldCase(*name)] = std::move(*value);
        ++check.values;
    }
    check.complete = lastLine == kFileEnd;
    return store;
}

// --- the file on disk ---------------------------------------------------------------

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

FileIdentity IdentityOf(const struct stat& st) { return {st.st_dev, st.st_ino, st.st_size, st.st_mtim, st.st_ctim}; }

std::optional<FileIdentity> StatIdentity(const fs::path& file)
{
    struct stat st {};
    if (::stat(file.c_str(), &st) != 0)
        return std::nullopt;
    return IdentityOf(st);
}

// Reads the whole file and the identity of exactly what was read.
bool ReadWhole(const fs::path& file, std::string& text, FileIdentity& identity)
{
    int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    struct stat st {};
    ::fstat(fd, &st);
    identity = IdentityOf(st);
    text.clear();
    char buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        text.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

bool WriteAll(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Temporary file, fsync, rename, fsync of the folder: a crash at any moment
// leaves the previous file or the new one.
bool WriteAtomically(const fs::path& file, const std::string& text)
{
    fs::path temp = file;
    temp += ".tmp";
    int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, text) && ::fsync(fd) == 0;
    ok = ::close(fd) == 0 && ok;
    if (!ok || ::rename(temp.c_str(), file.c_str()) != 0) {
        ::unlink(temp.c_str());
        return false;
    }
    int dir = ::open(file.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return true;
}

// The lock that makes read-merge-write of the file one step between processes.
class FileLock {
public:
    FileLock(const fs::path& lockFile, int operation)
    {
        fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0644);
        if (fd_ >= 0)
            while (::flock(fd_, operation) != 0 && errno == EINTR) {
            }
    }
    ~FileLock()
    {
        if (fd_ >= 0)
            ::close(fd_);  // releases the lock
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// --- notifications -------------------------------------------------------------

struct Notification {
    std::wstring keyFolded;
    std::wstring valueFolded;
    bool wholeKey = false;  // every value of the key, told by name
    std::function<void(const std::wstring&)> keyCallback;
    REGISTRYNOTIFYCALLBACK callback;
    DWORD userData;
    bool hasCondition;
    REG_COMPARISONTYPE comparison;
    DWORD mask;
    DWORD targetDword;
    std::wstring targetString;
};

struct Delivery {
    std::uintptr_t id;
    bool present;
    std::vector<BYTE> data;
    std::wstring valueName;
};

DWORD DwordOf(const StoredValue* value)
{
    DWORD dw = 0;
    if (value && value->data.size() >= 4)
        std::memcpy(&dw, value->data.data(), 4);
    return dw;
}

std::wstring StringOf(const StoredValue* value)
{
    if (!value)
        return {};
    std::wstring text(value->data.size() / sizeof(WCHAR), L'\0');
    std::memcpy(text.data(), value->data.data(), text.size() * sizeof(WCHAR));
    return text.substr(0, text.find(L'\0'));
}

bool Fires(const Notification& n, const StoredValue* before, const StoredValue* after)
{
    if ((!before && !after) || (before && after && *before == *after))
        return false;
    if (!n.hasCondition)
        return true;
    const StoredValue* typed = after ? after : before;
    if (typed->type == REG_SZ) {
        std::wstring a = StringOf(before), b = StringOf(after);
        if (n.comparison == REG_CT_ANYCHANGE)
            return a != b;
        return plat::SameNameNoCase(b, n.targetString);
    }
    DWORD a = DwordOf(before) & n.mask, b = DwordOf(after) & n.mask;
    if (n.comparison == REG_CT_ANYCHANGE)
        return a != b;
    return b == (n.targetDword & n.mask);
}

// --- the registry of the process -----------------------------------------------------

struct Registry {
    std::mutex lock;
    bool open = false;
    fs::path root, file, lockFile;
    Store store;
    std::vector<Change> pending;
    std::chrono::steady_clock::time_point dirtySince;
    std::optional<FileIdentity> loaded;  // the file version the store stands on

    std::map<std::uintptr_t, std::wstring> keys;  // open key handle -> folded path
    std::uintptr_t nextKey = 0x10000000;

    std::map<std::uintptr_t, Notification> notifications;
    std::uintptr_t nextNotification = 0x20000000;
    std::deque<Delivery> queue;
    std::uintptr_t running = 0;  // the notification whose callback runs now
    std::condition_variable wake;  // to the notification thread
    std::condition_variable idle;  // from it, when a callback returns
    std::thread thread;
    std::thread::id threadId;
    bool watch = false;
    bool stop = false;
};

Registry& R()
{
    static Registry* registry = new Registry;  // lives to the end: flushed at exit
    return *registry;
}

constexpr auto kPollInterval = std::chrono::milliseconds(100);
constexpr auto kFlushDelay = std::chrono::seconds(1);

void QueueChange(Registry& r, const std::wstring& keyFolded, const std::wstring& valueFolded,
                 const StoredValue* before, const StoredValue* after)
{
    bool queued = false;
    for (const auto& [id, n] : r.notifications) {
        if (n.keyFolded == keyFolded && (n.wholeKey || n.valueFolded == valueFolded) && Fires(n, before, after)) {
            r.queue.push_back(Delivery{id, after != nullptr, after ? after->data : std::vector<BYTE>{},
                                       after ? after->name : before->name});
            queued = true;
        }
    }
    if (queued)
        r.wake.notify_all();
}

// Replaces the store and fires the notifications of every watched value that differs.
void ReplaceStore(Registry& r, Store next)
{
    std::set<std::pair<std::wstring, std::wstring>> watched;  // key, value (folded)
    for (const auto& [id, n] : r.notifications) {
        if (!n.wholeKey) {
            watched.emplace(n.keyFolded, n.valueFolded);
            continue;
        }
        for (const Store* store : {&r.store, &next}) {
            if (auto key = store->find(n.keyFolded); key != store->end())
                for (const auto& [value, stored] : key->second.values)
                    watched.emplace(n.keyFolded, value);
        }
    }
    std::vector<std::tuple<std::wstring, std::wstring, std::optional<StoredValue>, std::optional<StoredValue>>> changed;
    for (const auto& [key, value] : watched) {
        const StoredValue* before = FindValue(r.store, key, value);
        const StoredValue* after = FindValue(next, key, value);
        if (!(before && after && *before == *after) && (before || after))
            changed.emplace_back(key, value, before ? std::optional(*before) : std::nullopt,
                                 after ? std::optional(*after) : std::nullopt);
    }
    r.store = std::move(next);
    for (const auto& [key, value, before, after] : changed)
        QueueChange(r, key, value, before ? &*before : nullptr, after ? &*after : nullptr);
}

// The file as it is now, with this process's unsaved changes on top.
std::optional<Store> LoadMerged(Registry& r, FileIdentity& identity, bool report)
{
    std::string text;
    Store store;
    if (ReadWhole(r.file, text, identity)) {
        plat::detail::RegistryFileCheck check;
        store = Parse(text, check);
        if (report && (check.badLines || !check.complete)) {
            // Keep the original beside it: lines we could not read are not lost.
            fs::path copy = r.file;
            copy += ".bad";
            std::error_code ec;
            fs::copy_file(r.file, copy, fs::copy_options::overwrite_existing, ec);
            plat::DebugLine(L"registry: %ls: %zu unreadable lines%ls; original kept as %ls",
                            plat::FromUtf8(r.file.string()).c_str(), check.badLines,
                            check.complete ? L"" : L", no closing line", plat::FromUtf8(copy.string()).c_str());
        }
    } else if (errno != ENOENT) {
        return std::nullopt;
    } else {
        AddHives(store);
        identity = FileIdentity{};
    }
    for (const auto& change : r.pending)
        Apply(store, change);
    return store;
}

bool FlushLocked(Registry& r)
{
    if (!r.open)
        return false;
    if (r.pending.empty())
        return true;
    FileLock fileLock(r.lockFile, LOCK_EX);
    if (!fileLock.held())
        return false;
    auto current = StatIdentity(r.file);
    if (current != r.loaded) {
        // Someone else wrote since we read: take theirs, with ours on top.
        FileIdentity identity;
        auto merged = LoadMerged(r, identity, false);
        if (!merged)
            return false;
        ReplaceStore(r, std::move(*merged));
    }
    if (!WriteAtomically(r.file, Serialize(r.store))) {
        plat::DebugLine(L"registry: cannot write %ls", plat::FromUtf8(r.file.string()).c_str());
        return false;
    }
    r.loaded = StatIdentity(r.file);
    r.pending.clear();
    return true;
}

// Takes in what another process wrote, if the file changed.
void RefreshLocked(Registry& r)
{
    auto current = StatIdentity(r.file);
    if (!current || current == r.loaded)
        return;
    FileIdentity identity;
    if (auto merged = LoadMerged(r, identity, false)) {
        ReplaceStore(r, std::move(*merged));
        r.loaded = identity;
    }
}

void NotificationThread()
{
    Registry& r = R();
    std::unique_lock lock(r.lock);
    while (!r.stop) {
        if (!r.queue.empty()) {
            Delivery delivery = std::move(r.queue.front());
            r.queue.pop_front();
            auto it = r.notifications.find(delivery.id);
            if (it == r.notifications.end())
                continue;
            auto callback = it->second.callback;
            auto keyCallback = it->second.keyCallback;
            DWORD user = it->second.userData;
            r.running = delivery.id;
            lock.unlock();
            if (keyCallback)
                keyCallback(delivery.valueName);
            else
                callback(reinterpret_cast<HREGNOTIFY>(delivery.id), user,
                         delivery.present ? delivery.data.data() : nullptr,
                         delivery.present ? static_cast<UINT>(delivery.data.size()) : 0);
            lock.lock();
            r.running = 0;
            r.idle.notify_all();
            continue;
        }
        r.wake.wait_for(lock, kPollInterval);
        if (r.stop || !r.open || !r.watch)
            continue;
        RefreshLocked(r);
        if (!r.pending.empty() && std::chrono::steady_clock::now() - r.dirtySince >= kFlushDelay)
            FlushLocked(r);
    }
}

void StartThreadLocked(Registry& r)
{
    if (r.thread.joinable())
        return;
    r.stop = false;
    r.thread = std::thread(NotificationThread);
    r.threadId = r.thread.get_id();
}

// The registry, open on the current device root, locked for one call.
std::unique_lock<std::mutex> Use()
{
    fs::path root = plat::DeviceRoot();
    Registry& r = R();
    std::unique_lock lock(r.lock);
    if (r.open && r.root == root)
        return lock;
    lock.unlock();
    plat::OpenRegistry(false);
    lock.lock();
    return lock;
}

void MarkDirty(Registry& r, Change change)
{
    if (r.pending.empty())
        r.dirtySince = std::chrono::steady_clock::now();
    r.pending.push_back(std::move(change));
}

// The folded path of an open key (or a root key); null when unknown.
const std::wstring* KeyOf(Registry& r, HKEY key, std::wstring& scratch)
{
    if (auto hive = HiveName(key)) {
        scratch = plat::FoldCase(*hive);
        return &scratch;
    }
    auto it = r.keys.find(reinterpret_cast<std::uintptr_t>(key));
    return it == r.keys.end() ? nullptr : &it->second;
}

// Resolves key\subKey to a full path as shown (existing keys keep their spelling).
std::optional<std::wstring> FullPath(Registry& r, HKEY key, LPCWSTR subKey, LONG& error)
{
    std::wstring scratch;
    const std::wstring* base = KeyOf(r, key, scratch);
    if (!base) {
        error = ERROR_INVALID_HANDLE;
        return std::nullopt;
    }
    auto it = r.store.find(*base);
    if (it == r.store.end()) {
        error = ERROR_KEY_DELETED;
        return std::nullopt;
    }
    std::wstring path = it->second.path;
    for (const auto& part : SplitKeyPath(subKey ? subKey : L"")) {
        if (!ValidKeyName(part)) {
            error = ERROR_INVALID_PARAMETER;
            return std::nullopt;
        }
        path += L'\\' + part;
    }
    return path;
}

HKEY NewKeyHandle(Registry& r, std::wstring folded)
{
    std::uintptr_t id = r.nextKey;
    r.nextKey += 4;
    r.keys.emplace(id, std::move(folded));
    return reinterpret_cast<HKEY>(id);
}

const StoredKey* StoredKeyOf(Registry& r, HKEY key, LONG& error)
{
    std::wstring scratch;
    const std::wstring* folded = KeyOf(r, key, scratch);
    if (!folded) {
        error = ERROR_INVALID_HANDLE;
        return nullptr;
    }
    auto it = r.store.find(*folded);
    if (it == r.store.end()) {
        error = ERROR_KEY_DELETED;
        return nullptr;
    }
    return &it->second;
}

}  // namespace

// --- the registry calls ---------------------------------------------------------------

LONG RegCreateKeyExW(HKEY key, LPCWSTR subKey, DWORD, LPWSTR, DWORD, REGSAM, SECURITY_ATTRIBUTES*, PHKEY result,
                     LPDWORD disposition)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    auto lock = Use();
    Registry& r = R();
    LONG error = ERROR_SUCCESS;
    auto path = FullPath(r, key, subKey, error);
    if (!path)
        return error;
    bool created = false;
    std::wstring folded = EnsureKey(r.store, *path, &created);
    if (created)
        MarkDirty(r, Change{Change::kCreateKey, *path, {}});
    *result = NewKeyHandle(r, folded);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    return ERROR_SUCCESS;
}

LONG RegOpenKeyExW(HKEY key, LPCWSTR subKey, DWORD, REGSAM, PHKEY result)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    auto lock = Use();
    Registry& r = R();
    LONG error = ERROR_SUCCESS;
    auto path = FullPath(r, key, subKey, error);
    if (!path)
        return error;
    std::wstring folded = plat::FoldCase(*path);
    if (!r.store.count(folded))
        return ERROR_FILE_NOT_FOUND;
    *result = NewKeyHandle(r, folded);
    return ERROR_SUCCESS;
}

LONG RegCloseKey(HKEY key)
{
    if (HiveName(key))
        return ERROR_SUCCESS;
    auto lock = Use();
    return R().keys.erase(reinterpret_cast<std::uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    auto lock = Use();
    Registry& r = R();
    LONG error = ERROR_SUCCESS;
    const StoredKey* stored = StoredKeyOf(r, key, error);
    if (!stored)
        return error;
    auto it = stored->values.find(plat::FoldCase(valueName ? valueName : L""));
    if (it == stored->values.end())
        return ERROR_FILE_NOT_FOUND;
    const StoredValue& value = it->second;
    if (type)
        *type = value.type;
    if (!dataSize)
        return ERROR_SUCCESS;
    auto size = static_cast<DWORD>(value.data.size());
    if (data && *dataSize < size) {
        *dataSize = size;
        return ERROR_MORE_DATA;
    }
    if (data && size)
        std::memcpy(data, value.data.data(), size);
    *dataSize = size;
    return ERROR_SUCCESS;
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE* data, DWORD dataSize)
{
    if (!data && dataSize)
        return ERROR_INVALID_PARAMETER;
    auto lock = Use();
    Registry& r = R();
    LONG error = ERROR_SUCCESS;
    const StoredKey* stored = StoredKeyOf(r, key, error);
    if (!stored)
        return error;
    std::wstring keyFolded = plat::FoldCase(stored->path);
    StoredValue value{valueName ? valueName : L"", type, std::vector<BYTE>(data, data + dataSize)};
    std::wstring valueFolded = plat::FoldCase(value.name);
    auto& values = r.store[keyFolded].values;
    std::optional<StoredValue> before;
    if (auto it = values.find(valueFolded); it != values.end()) {
        before = it->second;
        value.name = it->second.name;  // a value keeps the spelling it was created with
    }
    values[valueFolded] = value;
    MarkDirty(r, Change{Change::kSetValue, stored->path, value});
    QueueChange(r, keyFolded, valueFolded, before ? &*before : nullptr, &value);
    return ERROR_SUCCESS;
}

LONG RegDeleteValueW(HKEY key, LPCWSTR valueName)
{
    auto lock = Use();
    Registry& r = R();
    LONG error = ERROR_SUCCESS;
    const StoredKey* stored = StoredKeyOf(r, key, error);
    if (!stored)
        return error;
    std::wstring keyFolded = plat::FoldCase(stored->path);
    std::wstring valueFolded = plat::FoldCase(valueName ? valueName : L"");
    auto& values = r.store[keyFolded].values;
    auto it = values.find(valueFolded);
    if (it == values.end())
        return ERROR_FILE_NOT_FOUND;
    StoredValue before = std::move(it->second);
    values.erase(it);
    MarkDirty(r, Change{Change::kDeleteValue, stored->path, before});
    QueueChange(r, keyFolded, valueFolded, &before, nullptr);
    return ERROR_SUCCESS;
}

LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD nameLength, LPDWORD, LPWSTR, LPDWORD,
                   FILETIME* lastWriteTime)
{
    if (!name || !nameLength)
        return ERROR_INVALID_PARAMETER;
    auto lock = Use();
    Registry& r = R();
    LONG error = ERROR_SUCCESS;
    const StoredKey* stored = StoredKeyOf(r, key, error);
    if (!stored)
        return error;
    std::wstring prefix = plat::FoldCase(stored->path) + L'\\';
    std::vector<std::wstring> children;  // the map is ordered by folded path: the direct children come in name order
    for (auto it = r.store.lower_bound(prefix); it != r.store.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
        if (it->first.find(L'\\', prefix.size()) == std::wstring::npos)
            children.push_back(it->second.path.substr(prefix.size()));
    }
    std::sort(children.begin(), children.end(),
              [](const auto& a, const auto& b) { return plat::FoldCase(a) < plat::FoldCase(b); });
    if (index >= children.size())
        return ERROR_NO_MORE_ITEMS;
    const std::wstring& child = children[index];
    if (child.size() + 1 > *nameLength)
        return ERROR_MORE_DATA;
    std::wcscpy(name, child.c_str());
    *nameLength = static_cast<DWORD>(child.size());
    if (lastWriteTime)
        *lastWriteTime = FILETIME{};
    return ERROR_SUCCESS;
}

LONG RegFlushKey(HKEY key)
{
    auto lock = Use();
    Registry& r = R();
    std::wstring scratch;
    if (!KeyOf(r, key, scratch))
        return ERROR_INVALID_HANDLE;
    return FlushLocked(r) ? ERROR_SUCCESS : ERROR_WRITE_FAULT;
}

// --- the shell's one-call functions ------------------------------------------------------

namespace {

// Reads one value of key\subKey without leaving a key open.
LONG ReadValue(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD& type, std::vector<BYTE>& data)
{
    HKEY opened = nullptr;
    LONG error = RegOpenKeyExW(key, subKey, 0, KEY_QUERY_VALUE, &opened);
    if (error != ERROR_SUCCESS)
        return error;
    DWORD size = 0;
    error = RegQueryValueExW(opened, valueName, nullptr, &type, nullptr, &size);
    if (error == ERROR_SUCCESS) {
        data.resize(size);
        error = RegQueryValueExW(opened, valueName, nullptr, &type, data.data(), &size);
        data.resize(size);
    }
    RegCloseKey(opened);
    return error;
}

}  // namespace

HRESULT RegistryGetDWORD(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD* data)
{
    if (!data)
        return E_INVALIDARG;
    DWORD type = 0;
    std::vector<BYTE> bytes;
    LONG error = ReadValue(key, subKey, valueName, type, bytes);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
    if (type != REG_DWORD || bytes.size() != sizeof(DWORD))
        return E_UNEXPECTED;
    std::memcpy(data, bytes.data(), sizeof(DWORD));
    return S_OK;
}

HRESULT RegistryGetString(HKEY key, LPCWSTR subKey, LPCWSTR valueName, LPWSTR data, UINT dataChars)
{
    if (!data || !dataChars)
        return E_INVALIDARG;
    DWORD type = 0;
    std::vector<BYTE> bytes;
    LONG error = ReadValue(key, subKey, valueName, type, bytes);
    if (error != ERROR_SUCCESS)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
    if (type != REG_SZ)
        return E_UNEXPECTED;
    StoredValue value{L"", type, std::move(bytes)};
    std::wstring text = StringOf(&value);
    HRESULT result = S_OK;
    if (text.size() >= dataChars) {
        text.resize(dataChars - 1);
        result = HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER);
    }
    std::wcscpy(data, text.c_str());
    return result;
}

HRESULT RegistrySetDWORD(HKEY key, LPCWSTR subKey, LPCWSTR valueName, DWORD data)
{
    HKEY opened = nullptr;
    LONG error = RegCreateKeyExW(key, subKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &opened, nullptr);
    if (error == ERROR_SUCCESS) {
        error = RegSetValueExW(opened, valueName, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
        RegCloseKey(opened);
    }
    return error == ERROR_SUCCESS ? S_OK : HRESULT_FROM_WIN32(static_cast<DWORD>(error));
}

namespace {

HREGNOTIFY AddNotification(Registry& r, Notification n)
{
    std::uintptr_t id = r.nextNotification;
    r.nextNotification += 4;
    r.notifications.emplace(id, std::move(n));
    StartThreadLocked(r);
    return reinterpret_cast<HREGNOTIFY>(id);
}

}  // namespace

HRESULT RegistryNotifyCallback(HKEY key, LPCWSTR subKey, LPCWSTR valueName, REGISTRYNOTIFYCALLBACK callback,
                               DWORD userData, NOTIFICATIONCONDITION* condition, HREGNOTIFY* notify)
{
    if (!callback || !notify)
        return E_INVALIDARG;
    if (condition && condition->ctComparisonType != REG_CT_ANYCHANGE && condition->ctComparisonType != REG_CT_EQUAL)
        return E_INVALIDARG;
    auto lock = Use();
    Registry& r = R();
    LONG error = ERROR_SUCCESS;
    auto path = FullPath(r, key, subKey, error);
    if (!path)
        return HRESULT_FROM_WIN32(static_cast<DWORD>(error));
    // The value may not exist yet: the notification fires when it appears.
    Notification n{};
    n.keyFolded = plat::FoldCase(*path);
    n.valueFolded = plat::FoldCase(valueName ? valueName : L"");
    n.callback = callback;
    n.userData = userData;
    if (condition) {
        n.hasCondition = true;
        n.comparison = condition->ctComparisonType;
        n.mask = condition->dwMask;
        n.targetDword = condition->TargetValue.dw;
        // The target is a string only when the watched value is one; a DWORD target is no pointer.
        const StoredValue* current = FindValue(r.store, n.keyFolded, n.valueFolded);
        if (current && current->type == REG_SZ && condition->TargetValue.psz)
            n.targetString = condition->TargetValue.psz;
    }
    *notify = AddNotification(r, std::move(n));
    return S_OK;
}

HRESULT RegistryCloseNotification(HREGNOTIFY notify)
{
    Registry& r = R();
    std::unique_lock lock(r.lock);
    auto id = reinterpret_cast<std::uintptr_t>(notify);
    if (!r.notifications.erase(id))
        return E_INVALIDARG;
    std::erase_if(r.queue, [id](const Delivery& d) { return d.id == id; });
    if (std::this_thread::get_id() != r.threadId)
        r.idle.wait(lock, [&] { return r.running != id; });
    return S_OK;
}

// --- the platform's own calls ---------------------------------------------------------

namespace plat {

bool OpenRegistry(bool watch)
{
    fs::path root = DeviceRoot();
    Registry& r = R();
    {
        std::unique_lock lock(r.lock);
        if (r.open && r.root == root) {
            if (watch && !r.watch) {
                r.watch = true;
                StartThreadLocked(r);
            }
            return true;
        }
    }
    CloseRegistry();  // another root was open
    std::unique_lock lock(r.lock);
    r.root = root;
    r.file = root / kRegistryFileName;
    r.lockFile = root / ".registry.lock";
    r.pending.clear();
    FileIdentity identity;
    auto store = LoadMerged(r, identity, true);
    r.open = true;
    if (store) {
        r.store = std::move(*store);
        r.loaded = identity.size >= 0 ? std::optional(identity) : std::nullopt;
    } else {
        plat::DebugLine(L"registry: cannot read %ls", FromUtf8(r.file.string()).c_str());
        r.store.clear();
        AddHives(r.store);
        r.loaded.reset();
    }
    r.watch = watch;
    if (watch)
        StartThreadLocked(r);
    static std::once_flag atExit;
    std::call_once(atExit, [] { std::atexit([] { FlushRegistry(); }); });
    return store.has_value();
}

bool FlushRegistry()
{
    Registry& r = R();
    std::lock_guard lock(r.lock);
    return FlushLocked(r);
}

void CloseRegistry()
{
    Registry& r = R();
    std::thread thread;
    {
        std::lock_guard lock(r.lock);
        if (r.open)
            FlushLocked(r);
        r.stop = true;
        r.open = false;
        r.watch = false;
        r.notifications.clear();
        r.queue.clear();
        r.keys.clear();
        r.store.clear();
        r.pending.clear();
        r.loaded.reset();
        thread = std::move(r.thread);
        r.wake.notify_all();
    }
    if (thread.joinable()) {
        if (thread.get_id() == std::this_thread::get_id())
            thread.detach();
        else
            thread.join();
    }
    std::lock_guard lock(r.lock);
    r.threadId = {};
}

HREGNOTIFY NotifyKeyChanges(HKEY key, LPCWSTR subKey, std::function<void(const std::wstring&)> changed)
{
    if (!changed)
        return nullptr;
    auto lock = Use();
    Registry& r = R();
    LONG error = ERROR_SUCCESS;
    auto path = FullPath(r, key, subKey, error);
    if (!path)
        return nullptr;
    Notification n{};
    n.keyFolded = FoldCase(*path);
    n.wholeKey = true;
    n.keyCallback = std::move(changed);
    return AddNotification(r, std::move(n));
}

std::wstring RegistryText()
{
    auto lock = Use();
    return FromUtf8(Serialize(R().store));
}

bool SplitRegistryPath(std::wstring_view path, HKEY& root, std::wstring& subKey)
{
    while (!path.empty() && path.front() == L'\\')
        path.remove_prefix(1);
    std::size_t cut = path.find(L'\\');
    std::wstring_view head = path.substr(0, cut);
    const HKEY roots[] = {HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};
    for (int i = 0; i < 3; ++i) {
        if (SameNameNoCase(head, kHives[i]) || SameNameNoCase(head, kHiveShort[i])) {
            root = roots[i];
            subKey = cut == std::wstring_view::npos ? L"" : std::wstring(path.substr(cut + 1));
            return true;
        }
    }
    return false;
}

namespace detail {

std::vector<std::pair<std::wstring, bool>> StorageCardStates()
{
    auto lock = Use();
    Registry& r = R();
    std::vector<std::pair<std::wstring, bool>> cards;
    auto key = r.store.find(FoldCase(std::wstring(L"HKEY_LOCAL_MACHINE\\") + kStorageCardsKey));
    if (key == r.store.end())
        return cards;
    for (const auto& [folded, value] : key->second.values)
        cards.emplace_back(value.name, DwordOf(&value) != 0);
    return cards;
}

RegistryFileCheck CheckRegistryFile(const fs::path& file)
{
    RegistryFileCheck check;
    std::string text;
    FileIdentity identity;
    if (!ReadWhole(file, text, identity))
        return check;
    check.readable = true;
    Parse(text, check);
    return check;
}

}  // namespace detail
}  // namespace plat
