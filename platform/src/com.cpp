// The in-process object model: class table, task memory, BSTR, VARIANT.
#include "plat/com.h"

#include <cstdint>
#include <cstdlib>
#include <cwctype>
#include <map>
#include <mutex>

namespace {

std::mutex g_classLock;

std::map<GUID, plat::ComClassFactory, GuidLess>& Classes()
{
    static std::map<GUID, plat::ComClassFactory, GuidLess> classes;
    return classes;
}

thread_local int t_initCount = 0;

// A BSTR's block: the byte length, then the characters and a 0.
struct BstrHeader {
    std::uint32_t bytes;
    std::uint32_t pad;  // keeps the characters 8-byte aligned
};

BstrHeader* HeaderOf(BSTR text)
{
    return reinterpret_cast<BstrHeader*>(reinterpret_cast<char*>(text) - sizeof(BstrHeader));
}

int HexValue(WCHAR c)
{
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    return -1;
}

bool ReadHex(const WCHAR*& p, int digits, std::uint64_t* out)
{
    std::uint64_t v = 0;
    for (int i = 0; i < digits; ++i) {
        const int d = HexValue(*p);
        if (d < 0) return false;
        v = (v << 4) | static_cast<std::uint64_t>(d);
        ++p;
    }
    *out = v;
    return true;
}

}  // namespace

HRESULT CoInitializeEx(LPVOID, DWORD)
{
    return t_initCount++ == 0 ? S_OK : S_FALSE;
}

void CoUninitialize()
{
    if (t_initCount > 0) --t_initCount;
}

HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out)
{
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    if (!(context & CLSCTX_INPROC)) return REGDB_E_CLASSNOTREG;
    plat::ComClassFactory factory = nullptr;
    {
        std::lock_guard lock(g_classLock);
        auto it = Classes().find(clsid);
        if (it == Classes().end()) return REGDB_E_CLASSNOTREG;
        factory = it->second;
    }
    // Outside the lock: a constructor may create further objects.
    return factory(iid, out);
}

namespace plat {

void RegisterComClass(REFCLSID clsid, ComClassFactory factory)
{
    std::lock_guard lock(g_classLock);
    if (factory)
        Classes()[clsid] = factory;
    else
        Classes().erase(clsid);
}

bool ParseGuid(const WCHAR* text, GUID* out)
{
    if (!text || !out) return false;
    const WCHAR* p = text;
    const bool braced = *p == L'{';
    if (braced) ++p;
    std::uint64_t a = 0, b = 0, c = 0, d = 0, e = 0;
    if (!ReadHex(p, 8, &a) || *p++ != L'-') return false;
    if (!ReadHex(p, 4, &b) || *p++ != L'-') return false;
    if (!ReadHex(p, 4, &c) || *p++ != L'-') return false;
    if (!ReadHex(p, 4, &d) || *p++ != L'-') return false;
    if (!ReadHex(p, 12, &e)) return false;
    if (braced && *p++ != L'}') return false;
    if (*p != 0) return false;
    out->Data1 = static_cast<DWORD>(a);
    out->Data2 = static_cast<WORD>(b);
    out->Data3 = static_cast<WORD>(c);
    out->Data4[0] = static_cast<BYTE>(d >> 8);
    out->Data4[1] = static_cast<BYTE>(d);
    for (int i = 0; i < 6; ++i) out->Data4[2 + i] = static_cast<BYTE>(e >> (40 - 8 * i));
    return true;
}

}  // namespace plat

LPVOID CoTaskMemAlloc(SIZE_T size)
{
    return std::malloc(size ? size : 1);
}

LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T size)
{
    return std::realloc(block, size ? size : 1);
}

void CoTaskMemFree(LPVOID block)
{
    std::free(block);
}

BSTR SysAllocStringLen(LPCOLESTR text, UINT length)
{
    const std::size_t bytes = static_cast<std::size_t>(length) * sizeof(OLECHAR);
    if (bytes > 0xFFFFFFF0u) return nullptr;
    auto* header = static_cast<BstrHeader*>(std::malloc(sizeof(BstrHeader) + bytes + sizeof(OLECHAR)));
    if (!header) return nullptr;
    header->bytes = static_cast<std::uint32_t>(bytes);
    header->pad = 0;
    auto* chars = reinterpret_cast<OLECHAR*>(header + 1);
    if (text)
        std::memcpy(chars, text, bytes);
    else
        std::memset(chars, 0, bytes);
    chars[length] = 0;
    return chars;
}

BSTR SysAllocString(LPCOLESTR text)
{
    if (!text) return nullptr;
    std::size_t n = 0;
    while (text[n]) ++n;
    if (n > 0x3FFFFFFCu) return nullptr;
    return SysAllocStringLen(text, static_cast<UINT>(n));
}

void SysFreeString(BSTR text)
{
    if (text) std::free(HeaderOf(text));
}

UINT SysStringByteLen(BSTR text)
{
    return text ? HeaderOf(text)->bytes : 0;
}

UINT SysStringLen(BSTR text)
{
    return SysStringByteLen(text) / sizeof(OLECHAR);
}

void VariantInit(VARIANT* v)
{
    if (!v) return;
    std::memset(v, 0, sizeof(VARIANT));
    v->vt = VT_EMPTY;
}

namespace {

bool KnownType(VARTYPE vt)
{
    return vt == VT_EMPTY || vt == VT_I4 || vt == VT_UI4 || vt == VT_BOOL || vt == VT_BSTR;
}

}  // namespace

HRESULT VariantClear(VARIANT* v)
{
    if (!v) return E_INVALIDARG;
    if (!KnownType(v->vt)) return DISP_E_BADVARTYPE;
    if (v->vt == VT_BSTR) SysFreeString(v->bstrVal);
    VariantInit(v);
    return S_OK;
}

HRESULT VariantCopy(VARIANT* dest, const VARIANT* src)
{
    if (!dest || !src) return E_INVALIDARG;
    if (!KnownType(src->vt)) return DISP_E_BADVARTYPE;
    if (dest == src) return S_OK;
    const HRESULT hr = VariantClear(dest);
    if (FAILED(hr)) return hr;
    if (src->vt == VT_BSTR) {
        BSTR copy = nullptr;
        if (src->bstrVal) {
            copy = SysAllocStringLen(src->bstrVal, SysStringLen(src->bstrVal));
            if (!copy) return E_OUTOFMEMORY;
        }
        dest->vt = VT_BSTR;
        dest->bstrVal = copy;
        return S_OK;
    }
    *dest = *src;
    return S_OK;
}
