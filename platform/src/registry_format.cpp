// The registry file's text: reading and writing it.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "plat/utf.h"
#include "registry_store.h"

namespace plat::detail::reg {

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

}  // namespace plat::detail::reg
