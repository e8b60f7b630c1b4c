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
#include "registry_store.h"

namespace fs = std::filesystem;

// The registry of the process: its store, open keys and notifications.
namespace plat::detail::reg {

// --- notifications -------------------------------------------------------------

struct Notification {
    std::wstring keyFolded;
    std::wstring valueFolded;
    bool wholeKey = false;  // every value of the key, told by name
    std::function<void(const std::wstring&, const BYTE*, UINT)> keyCallback;
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
    std::string written;                 // what this process last wrote there

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
    const bool unchanged = current && current == r.loaded;
    if (current != r.loaded) {
        // Someone else wrote since we read: take theirs, with ours on top.
        FileIdentity identity;
        auto merged = LoadMerged(r, identity, false);
        if (!merged)
            return false;
        ReplaceStore(r, std::move(*merged));
    }
    std::string text = Serialize(r.store);
    if (unchanged && !r.written.empty() && text == r.written) {
        // Values written again as they were: the file already holds them.
        r.pending.clear();
        return true;
    }
    if (!WriteAtomically(r.file, text)) {
        plat::DebugLine(L"registry: cannot write %ls", plat::FromUtf8(r.file.string()).c_str());
        return false;
    }
    r.written = std::move(text);
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
        r.written.clear();  // the file holds another process's text now
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
                keyCallback(delivery.valueName, delivery.present ? delivery.data.data() : nullptr,
                            delivery.present ? static_cast<UINT>(delivery.data.size()) : 0);
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

}  // namespace plat::detail::reg

using namespace plat::detail::reg;

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
        r.written.clear();
    } else {
        plat::DebugLine(L"registry: cannot read %ls", FromUtf8(r.file.string()).c_str());
        r.store.clear();
        AddHives(r.store);
        r.loaded.reset();
        r.written.clear();
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
    return NotifyKeyValueChanges(key, subKey, [changed = std::move(changed)](const std::wstring& name, const BYTE*,
                                                                          UINT) { changed(name); });
}

HREGNOTIFY NotifyKeyValueChanges(HKEY key, LPCWSTR subKey,
                                 std::function<void(const std::wstring&, const BYTE*, UINT)> changed)
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
