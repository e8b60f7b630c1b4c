// The registry as a tree of keys and values in memory.
#include <algorithm>

#include "plat/utf.h"
#include "registry_store.h"

namespace plat::detail::reg {

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

std::wstring EnsureKey(Store& store, std::wstring_view fullPath, bool* created)
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

}  // namespace plat::detail::reg
