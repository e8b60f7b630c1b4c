// A small in-process object model: interfaces with reference counts, class
// identifiers, an in-process class table behind CoCreateInstance, task
// memory, counted wide strings (BSTR) and tagged values (VARIANT).
// Not there: apartments, marshalling, aggregation, IDispatch. Initialising
// is counted per thread and has no other effect.
#pragma once

#include <compare>
#include <cstring>
#include <utility>

#include "plat/error.h"
#include "plat/types.h"

struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
using IID = GUID;
using CLSID = GUID;
using REFGUID = const GUID&;
using REFIID = const IID&;
using REFCLSID = const CLSID&;
using LPGUID = GUID*;

inline bool operator==(const GUID& a, const GUID& b) { return std::memcmp(&a, &b, sizeof(GUID)) == 0; }
inline bool IsEqualGUID(REFGUID a, REFGUID b) { return a == b; }
inline bool IsEqualIID(REFIID a, REFIID b) { return a == b; }
inline bool IsEqualCLSID(REFCLSID a, REFCLSID b) { return a == b; }
// Orders GUIDs for maps.
struct GuidLess {
    bool operator()(const GUID& a, const GUID& b) const { return std::memcmp(&a, &b, sizeof(GUID)) < 0; }
};

inline constexpr GUID GUID_NULL{0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};

// Object model codes.
inline constexpr HRESULT CLASS_E_NOAGGREGATION = static_cast<HRESULT>(0x80040110u);
inline constexpr HRESULT CLASS_E_CLASSNOTAVAILABLE = static_cast<HRESULT>(0x80040111u);
inline constexpr HRESULT REGDB_E_CLASSNOTREG = static_cast<HRESULT>(0x80040154u);
inline constexpr HRESULT DISP_E_BADVARTYPE = static_cast<HRESULT>(0x80020008u);
inline constexpr HRESULT E_PENDING = static_cast<HRESULT>(0x8000000Au);

inline constexpr DWORD CLSCTX_INPROC_SERVER = 0x1;
inline constexpr DWORD CLSCTX_INPROC_HANDLER = 0x2;
inline constexpr DWORD CLSCTX_LOCAL_SERVER = 0x4;
inline constexpr DWORD CLSCTX_INPROC = CLSCTX_INPROC_SERVER | CLSCTX_INPROC_HANDLER;
inline constexpr DWORD CLSCTX_ALL = CLSCTX_INPROC | CLSCTX_LOCAL_SERVER;

inline constexpr DWORD COINIT_MULTITHREADED = 0x0;
inline constexpr DWORD COINIT_APARTMENTTHREADED = 0x2;

struct IUnknown {
    virtual HRESULT QueryInterface(REFIID iid, void** out) = 0;
    virtual ULONG AddRef() = 0;
    virtual ULONG Release() = 0;

protected:
    ~IUnknown() = default;
};
using LPUNKNOWN = IUnknown*;

inline constexpr IID IID_IUnknown{0x00000000, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Gives an interface type its identifier: specialise for each interface that
// ComPtr::As or IID_PPV_ARGS should find by type.
template <typename T>
struct InterfaceId;
template <>
struct InterfaceId<IUnknown> {
    static constexpr const IID& value = IID_IUnknown;
};

// Initialising counts per thread; S_FALSE when the thread already was.
HRESULT CoInitializeEx(LPVOID reserved, DWORD flags);
void CoUninitialize();

// Creates an object of a class entered in the in-process class table.
// Aggregation is refused with CLASS_E_NOAGGREGATION.
HRESULT CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD context, REFIID iid, LPVOID* out);

LPVOID CoTaskMemAlloc(SIZE_T size);
LPVOID CoTaskMemRealloc(LPVOID block, SIZE_T size);
void CoTaskMemFree(LPVOID block);

// Counted wide strings: the length in bytes sits in front of the characters,
// which end with a 0 not counted in the length.
using OLECHAR = WCHAR;
using LPOLESTR = OLECHAR*;
using LPCOLESTR = const OLECHAR*;
using BSTR = OLECHAR*;
BSTR SysAllocString(LPCOLESTR text);
BSTR SysAllocStringLen(LPCOLESTR text, UINT length);
void SysFreeString(BSTR text);
UINT SysStringLen(BSTR text);
UINT SysStringByteLen(BSTR text);

using VARTYPE = USHORT;
inline constexpr VARTYPE VT_EMPTY = 0;
inline constexpr VARTYPE VT_I4 = 3;
inline constexpr VARTYPE VT_BSTR = 8;
inline constexpr VARTYPE VT_BOOL = 11;
inline constexpr VARTYPE VT_UI4 = 19;

using VARIANT_BOOL = SHORT;
inline constexpr VARIANT_BOOL VARIANT_TRUE = -1;
inline constexpr VARIANT_BOOL VARIANT_FALSE = 0;

struct VARIANT {
    VARTYPE vt;
    WORD wReserved1;
    WORD wReserved2;
    WORD wReserved3;
    union {
        LONG lVal;
        ULONG ulVal;
        VARIANT_BOOL boolVal;
        BSTR bstrVal;
    };
};
using VARIANTARG = VARIANT;
using LPVARIANT = VARIANT*;

void VariantInit(VARIANT* v);
// Frees what the value owns and leaves it empty; DISP_E_BADVARTYPE for a
// type this stand-in does not know (the value is left alone).
HRESULT VariantClear(VARIANT* v);
// Clears the destination, then copies; a string is duplicated.
HRESULT VariantCopy(VARIANT* dest, const VARIANT* src);

// Named values handed to an object that loads itself from them.
struct IErrorLog : IUnknown {};
struct IPropertyBag : IUnknown {
    virtual HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) = 0;
    virtual HRESULT Write(LPCOLESTR name, VARIANT* value) = 0;
};
struct IPersist : IUnknown {
    virtual HRESULT GetClassID(CLSID* clsid) = 0;
};
struct IPersistPropertyBag : IPersist {
    virtual HRESULT InitNew() = 0;
    virtual HRESULT Load(IPropertyBag* bag, IErrorLog* log) = 0;
    virtual HRESULT Save(IPropertyBag* bag, BOOL clearDirty, BOOL saveAll) = 0;
};
inline constexpr IID IID_IPersist{0x0000010C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
inline constexpr IID IID_IPropertyBag{0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
inline constexpr IID IID_IPersistPropertyBag{
    0x37D84F60, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
template <>
struct InterfaceId<IPropertyBag> {
    static constexpr const IID& value = IID_IPropertyBag;
};
template <>
struct InterfaceId<IPersistPropertyBag> {
    static constexpr const IID& value = IID_IPersistPropertyBag;
};

namespace plat {

// A constructor of the in-process class table: makes a new object and
// answers `iid` on it into `out`.
using ComClassFactory = HRESULT (*)(REFIID iid, void** out);

// Enters (or replaces) a class; a null factory removes it.
void RegisterComClass(REFCLSID clsid, ComClassFactory factory);

// Parses "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (braces optional).
bool ParseGuid(const WCHAR* text, GUID* out);

}  // namespace plat

// An owning interface pointer.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference.
    ComPtr(T* p) : p_(p) { if (p_) p_->AddRef(); }
    ComPtr(const ComPtr& other) : ComPtr(other.p_) {}
    ComPtr(ComPtr&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}
    ~ComPtr() { Reset(); }

    ComPtr& operator=(const ComPtr& other)
    {
        ComPtr(other).Swap(*this);
        return *this;
    }
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        ComPtr(std::move(other)).Swap(*this);
        return *this;
    }
    ComPtr& operator=(std::nullptr_t)
    {
        Reset();
        return *this;
    }

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }

    // For out-parameters: releases what is held first.
    T** ReleaseAndGetAddressOf()
    {
        Reset();
        return &p_;
    }
    T** GetAddressOf() { return &p_; }

    // Takes over a reference the caller owns.
    void Attach(T* p)
    {
        Reset();
        p_ = p;
    }
    T* Detach() { return std::exchange(p_, nullptr); }
    void Reset()
    {
        if (T* p = std::exchange(p_, nullptr)) p->Release();
    }
    void Swap(ComPtr& other) noexcept { std::swap(p_, other.p_); }

    template <typename U>
    HRESULT As(ComPtr<U>* out) const
    {
        if (!p_) return E_POINTER;
        return p_->QueryInterface(InterfaceId<U>::value, reinterpret_cast<void**>(out->ReleaseAndGetAddressOf()));
    }
    HRESULT CopyTo(T** out) const
    {
        if (!out) return E_POINTER;
        *out = p_;
        if (p_) p_->AddRef();
        return S_OK;
    }

private:
    T* p_ = nullptr;
};
