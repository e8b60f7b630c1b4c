#include "plat/codepage.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cerrno>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "plat/error.h"
#include "plat/module.h"
#include "plat/utf.h"

namespace plat {
namespace {

// The ANSI code page of a locale, as the handset's system locale chooses it.
UINT AnsiCodePage(LCID lcid)
{
    switch (lcid & 0x3FF) {  // primary language
    case 0x12:               // Korean
        return 949;
    case 0x04:  // Chinese
        return 936;
    case 0x02:  // Bulgarian
    case 0x19:  // Russian
    case 0x22:  // Ukrainian
    case 0x23:  // Belarusian
        return 1251;
    default:
        return 1252;
    }
}

const char* IconvName(UINT codePage)
{
    switch (codePage) {
    case 1252: return "CP1252";
    case 1251: return "CP1251";
    case 949: return "CP949";
    case 936: return "CP936";
    default: return nullptr;
    }
}

bool IsSingleByte(UINT codePage) { return codePage == 1252 || codePage == 1251; }

// A single-byte page as two tables, made once through iconv. A byte that the
// page leaves undefined stands for the control character of the same value,
// so every byte converts and comes back.
struct SingleBytePage {
    std::array<wchar_t, 256> toWide{};
    std::unordered_map<wchar_t, unsigned char> toByte;
};

std::unique_ptr<const SingleBytePage> LoadSingleBytePage(UINT codePage)
{
    auto page = std::make_unique<SingleBytePage>();
    iconv_t cd = iconv_open("WCHAR_T", IconvName(codePage));
    if (cd == reinterpret_cast<iconv_t>(-1))
        return nullptr;
    for (int b = 0; b < 256; ++b) {
        char in = static_cast<char>(b);
        wchar_t wc = 0;
        char* inPtr = &in;
        char* outPtr = reinterpret_cast<char*>(&wc);
        std::size_t inLeft = 1, outLeft = sizeof wc;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1) || outLeft != 0)
            wc = static_cast<wchar_t>(b);
        page->toWide[b] = wc;
        page->toByte.emplace(wc, static_cast<unsigned char>(b));
    }
    iconv_close(cd);
    return page;
}

const SingleBytePage* SinglePage(UINT codePage)
{
    static std::mutex lock;
    // Made once and kept for the process (never destroyed: a late thread may still convert).
    static auto* const pages = new std::map<UINT, std::unique_ptr<const SingleBytePage>>;
    std::lock_guard guard(lock);
    auto [it, added] = pages->try_emplace(codePage);
    if (added)
        it->second = LoadSingleBytePage(codePage);
    return it->second.get();
}

// One conversion descriptor per thread and direction: iconv keeps state in it.
class Converter {
public:
    Converter(const char* to, const char* from) : cd_(iconv_open(to, from)) {}
    ~Converter()
    {
        if (ok())
            iconv_close(cd_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool ok() const { return cd_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return cd_; }

private:
    iconv_t cd_;
};

iconv_t DoubleByteConverter(UINT codePage, bool toWide)
{
    thread_local std::map<std::pair<UINT, bool>, std::unique_ptr<Converter>> converters;
    auto& slot = converters[{codePage, toWide}];
    if (!slot) {
        const char* name = IconvName(codePage);
        slot = toWide ? std::make_unique<Converter>("WCHAR_T", name) : std::make_unique<Converter>(name, "WCHAR_T");
    }
    if (!slot->ok())
        return reinterpret_cast<iconv_t>(-1);
    iconv(slot->get(), nullptr, nullptr, nullptr, nullptr);
    return slot->get();
}

enum class Outcome { Done, Invalid, Unsupported };

// Multibyte to wide. An invalid sequence becomes U+FFFD in UTF-8 and "?" in
// the double-byte pages, one per byte it spoils, unless `strict`.
Outcome Decode(UINT codePage, std::string_view in, bool strict, std::wstring& out)
{
    if (codePage == CP_UTF8) {
        if (strict && !IsValidUtf8(in))
            return Outcome::Invalid;
        out = FromUtf8(in);
        return Outcome::Done;
    }
    if (IsSingleByte(codePage)) {
        const SingleBytePage* page = SinglePage(codePage);
        if (!page)
            return Outcome::Unsupported;
        out.resize(in.size());
        for (std::size_t i = 0; i < in.size(); ++i)
            out[i] = page->toWide[static_cast<unsigned char>(in[i])];
        return Outcome::Done;
    }
    iconv_t cd = DoubleByteConverter(codePage, true);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return Outcome::Unsupported;
    out.assign(in.size(), L'\0');  // never more characters than bytes
    char* inPtr = const_cast<char*>(in.data());
    std::size_t inLeft = in.size();
    char* outPtr = reinterpret_cast<char*>(out.data());
    std::size_t outLeft = out.size() * sizeof(wchar_t);
    while (inLeft > 0) {
        if (iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != static_cast<std::size_t>(-1))
            break;
        if (errno != EILSEQ && errno != EINVAL)
            return Outcome::Unsupported;
        if (strict)
            return Outcome::Invalid;
        *reinterpret_cast<wchar_t*>(outPtr) = L'?';
        outPtr += sizeof(wchar_t);
        outLeft -= sizeof(wchar_t);
        ++inPtr;
        --inLeft;
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    out.resize(out.size() - outLeft / sizeof(wchar_t));
    return Outcome::Done;
}

// Wide to multibyte; characters the page lacks become `fallback`.
Outcome Encode(UINT codePage, std::wstring_view in, std::string_view fallback, bool& usedFallback, std::string& out)
{
    if (codePage == CP_UTF8) {
        out = ToUtf8(in);
        return Outcome::Done;
    }
    if (IsSingleByte(codePage)) {
        const SingleBytePage* page = SinglePage(codePage);
        if (!page)
            return Outcome::Unsupported;
        out.clear();
        out.reserve(in.size());
        for (wchar_t wc : in) {
            auto it = page->toByte.find(wc);
            if (it != page->toByte.end()) {
                out += static_cast<char>(it->second);
            } else {
                out += fallback;
                usedFallback = true;
            }
        }
        return Outcome::Done;
    }
    iconv_t cd = DoubleByteConverter(codePage, false);
    if (cd == reinterpret_cast<iconv_t>(-1))
        return Outcome::Unsupported;
    out.clear();
    char buffer[256];
    char* inPtr = reinterpret_cast<char*>(const_cast<wchar_t*>(in.data()));
    std::size_t inLeft = in.size() * sizeof(wchar_t);
    while (inLeft > 0) {
        char* outPtr = buffer;
        std::size_t outLeft = sizeof buffer;
        std::size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
        out.append(buffer, outPtr);
        if (rc != static_cast<std::size_t>(-1))
            break;
        if (errno == E2BIG)
            continue;
        if (errno != EILSEQ && errno != EINVAL)
            return Outcome::Unsupported;
        out += fallback;
        usedFallback = true;
        inPtr += sizeof(wchar_t);
        inLeft -= sizeof(wchar_t);
        iconv(cd, nullptr, nullptr, nullptr, nullptr);
    }
    return Outcome::Done;
}

// The default character in the page: the caller's (one character: one byte,
// or two for a double-byte lead) or "?".
std::string_view Fallback(UINT codePage, LPCSTR defaultChar)
{
    if (!defaultChar || !*defaultChar)
        return "?";
    bool twoBytes = !IsSingleByte(codePage) && static_cast<unsigned char>(defaultChar[0]) >= 0x81 && defaultChar[1];
    return std::string_view(defaultChar, twoBytes ? 2 : 1);
}

UINT ResolveCodePage(UINT codePage) { return codePage == CP_ACP ? AnsiCodePage(GetSystemDefaultLCID()) : codePage; }

bool Supported(UINT codePage) { return codePage == CP_UTF8 || IconvName(codePage) != nullptr; }

// Copies a result to the caller: the size alone when capacity is 0.
template <class Char, class String>
int Deliver(const String& result, Char* out, int capacity)
{
    if (result.size() > static_cast<std::size_t>(INT32_MAX)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    int needed = static_cast<int>(result.size());
    if (capacity == 0)
        return needed;
    if (needed > capacity) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    std::copy(result.begin(), result.end(), out);
    return needed;
}

}  // namespace
}  // namespace plat

int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength, LPWSTR wide,
                        int wideLength)
{
    codePage = plat::ResolveCodePage(codePage);
    if (!multiByte || multiByteLength == 0 || multiByteLength < -1 || wideLength < 0 || (wideLength > 0 && !wide)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!plat::Supported(codePage)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length = multiByteLength == -1 ? std::strlen(multiByte) + 1 : static_cast<std::size_t>(multiByteLength);
    std::wstring result;
    switch (plat::Decode(codePage, std::string_view(multiByte, length), flags & MB_ERR_INVALID_CHARS, result)) {
    case plat::Outcome::Done:
        return plat::Deliver(result, wide, wideLength);
    case plat::Outcome::Invalid:
        SetLastError(ERROR_NO_UNICODE_TRANSLATION);
        return 0;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

int WideCharToMultiByte(UINT codePage, DWORD, LPCWSTR wide, int wideLength, LPSTR multiByte, int multiByteLength,
                        LPCSTR defaultChar, LPBOOL usedDefaultChar)
{
    codePage = plat::ResolveCodePage(codePage);
    if (!wide || wideLength == 0 || wideLength < -1 || multiByteLength < 0 || (multiByteLength > 0 && !multiByte) ||
        !plat::Supported(codePage) || (codePage == CP_UTF8 && (defaultChar || usedDefaultChar))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    std::size_t length = wideLength == -1 ? std::wcslen(wide) + 1 : static_cast<std::size_t>(wideLength);
    bool usedFallback = false;
    std::string result;
    if (plat::Encode(codePage, std::wstring_view(wide, length), plat::Fallback(codePage, defaultChar), usedFallback,
                     result) != plat::Outcome::Done) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (usedDefaultChar)
        *usedDefaultChar = usedFallback ? TRUE : FALSE;
    return plat::Deliver(result, multiByte, multiByteLength);
}
