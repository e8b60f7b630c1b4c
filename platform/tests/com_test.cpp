#include <gtest/gtest.h>

#include <atomic>
#include <cstring>

#include "plat/com.h"

namespace {

struct IProbe : IUnknown {
    virtual int Value() = 0;
};
constexpr IID IID_IProbe{0x1A2B3C4D, 0x0001, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};
constexpr CLSID CLSID_Probe{0x1A2B3C4D, 0x0009, 0x0002, {1, 2, 3, 4, 5, 6, 7, 8}};

std::atomic<int> g_live{0};

class Probe final : public IProbe {
public:
    Probe() { ++g_live; }
    ~Probe() { --g_live; }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IProbe) {
            *out = static_cast<IProbe*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG n = --refs_;
        if (n == 0) delete this;
        return n;
    }
    int Value() override { return 42; }

private:
    std::atomic<ULONG> refs_{1};
};

HRESULT MakeProbe(REFIID iid, void** out)
{
    auto* p = new Probe;
    const HRESULT hr = p->QueryInterface(iid, out);
    p->Release();
    return hr;
}

}  // namespace

template <>
struct InterfaceId<IProbe> {
    static constexpr const IID& value = IID_IProbe;
};

TEST(Com, ClassTableCreatesAndRefuses)
{
    plat::RegisterComClass(CLSID_Probe, MakeProbe);
    ComPtr<IProbe> probe;
    ASSERT_EQ(CoCreateInstance(CLSID_Probe, nullptr, CLSCTX_INPROC_SERVER, IID_IProbe,
                               reinterpret_cast<void**>(probe.GetAddressOf())),
              S_OK);
    EXPECT_EQ(probe->Value(), 42);

    ComPtr<IUnknown> unknown;
    EXPECT_EQ(probe.As(&unknown), S_OK);
    probe = nullptr;
    EXPECT_EQ(g_live, 1);  // the IUnknown still holds it
    unknown = nullptr;
    EXPECT_EQ(g_live, 0);

    ComPtr<IUnknown> outer;
    outer.Attach(new Probe);
    void* out = nullptr;
    struct Case {
        const char* what;
        CLSID clsid;
        IUnknown* outer;
        DWORD context;
        IID iid;
        HRESULT expect;
    } cases[] = {
        {"unknown class", GUID_NULL, nullptr, CLSCTX_INPROC_SERVER, IID_IProbe, REGDB_E_CLASSNOTREG},
        {"aggregation", CLSID_Probe, outer.Get(), CLSCTX_INPROC_SERVER, IID_IProbe, CLASS_E_NOAGGREGATION},
        {"out of process", CLSID_Probe, nullptr, CLSCTX_LOCAL_SERVER, IID_IProbe, REGDB_E_CLASSNOTREG},
        {"no such interface", CLSID_Probe, nullptr, CLSCTX_INPROC_SERVER, IID{9, 9, 9, {}}, E_NOINTERFACE},
    };
    for (const auto& c : cases) {
        out = reinterpret_cast<void*>(1);
        EXPECT_EQ(CoCreateInstance(c.clsid, c.outer, c.context, c.iid, &out), c.expect) << c.what;
        EXPECT_EQ(out, nullptr) << c.what;
    }
    outer = nullptr;
    EXPECT_EQ(g_live, 0);  // a refused interface leaks no object

    plat::RegisterComClass(CLSID_Probe, nullptr);
    EXPECT_EQ(CoCreateInstance(CLSID_Probe, nullptr, CLSCTX_INPROC_SERVER, IID_IProbe, &out), REGDB_E_CLASSNOTREG);
}

TEST(Com, InitialiseCountsPerThread)
{
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_FALSE);
    CoUninitialize();
    CoUninitialize();
    EXPECT_EQ(CoInitializeEx(nullptr, COINIT_MULTITHREADED), S_OK);
    CoUninitialize();
}

TEST(Com, ParsesGuidText)
{
    GUID g{};
    ASSERT_TRUE(plat::ParseGuid(L"{55272A00-42CB-11CE-8135-00AA004BB851}", &g));
    const GUID expect{0x55272A00, 0x42CB, 0x11CE, {0x81, 0x35, 0x00, 0xAA, 0x00, 0x4B, 0xB8, 0x51}};
    EXPECT_EQ(g, expect);
    ASSERT_TRUE(plat::ParseGuid(L"55272a00-42cb-11ce-8135-00aa004bb851", &g));
    EXPECT_EQ(g, expect);
    for (const WCHAR* bad : {L"", L"{55272A00-42CB-11CE-8135-00AA004BB851", L"55272A00-42CB-11CE-8135-00AA004BB85",
                             L"55272A00-42CB-11CE-8135-00AA004BB8511", L"5527xA00-42CB-11CE-8135-00AA004BB851"})
        EXPECT_FALSE(plat::ParseGuid(bad, &g)) << static_cast<const void*>(bad);
}

TEST(Com, BstrKeepsLengthAndEmbeddedZeros)
{
    BSTR s = SysAllocString(L"VCapName");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(SysStringLen(s), 8u);
    EXPECT_EQ(SysStringByteLen(s), 8u * sizeof(WCHAR));
    EXPECT_STREQ(s, L"VCapName");
    SysFreeString(s);

    const WCHAR withZero[] = {L'a', 0, L'b'};
    BSTR z = SysAllocStringLen(withZero, 3);
    EXPECT_EQ(SysStringLen(z), 3u);
    EXPECT_EQ(z[2], L'b');
    EXPECT_EQ(z[3], 0);
    SysFreeString(z);

    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);  // harmless
}

TEST(Com, VariantCopiesOwnStrings)
{
    VARIANT a, b;
    VariantInit(&a);
    VariantInit(&b);
    EXPECT_EQ(a.vt, VT_EMPTY);

    a.vt = VT_BSTR;
    a.bstrVal = SysAllocString(L"CAM1:");
    EXPECT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_EQ(b.vt, VT_BSTR);
    EXPECT_NE(b.bstrVal, a.bstrVal);  // a copy of its own
    EXPECT_STREQ(b.bstrVal, L"CAM1:");
    EXPECT_EQ(VariantClear(&a), S_OK);
    EXPECT_EQ(a.vt, VT_EMPTY);
    EXPECT_STREQ(b.bstrVal, L"CAM1:");

    // Copying over a string frees it (leak checkers see it) and takes the number.
    a.vt = VT_I4;
    a.lVal = -7;
    EXPECT_EQ(VariantCopy(&b, &a), S_OK);
    EXPECT_EQ(b.vt, VT_I4);
    EXPECT_EQ(b.lVal, -7);

    for (VARTYPE vt : {VT_UI4, VT_BOOL}) {
        a.vt = vt;
        a.ulVal = 0xFFFFu;
        EXPECT_EQ(VariantCopy(&b, &a), S_OK);
        EXPECT_EQ(b.vt, vt);
    }

    a.vt = 0x400C;  // unknown type: refused, destination untouched
    EXPECT_EQ(VariantCopy(&b, &a), DISP_E_BADVARTYPE);
    EXPECT_EQ(b.vt, VT_BOOL);
    EXPECT_EQ(VariantClear(&a), DISP_E_BADVARTYPE);
    EXPECT_EQ(VariantClear(&b), S_OK);
}

TEST(Com, TaskMemory)
{
    auto* p = static_cast<char*>(CoTaskMemAlloc(16));
    ASSERT_NE(p, nullptr);
    std::memset(p, 7, 16);
    p = static_cast<char*>(CoTaskMemRealloc(p, 64));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(p[15], 7);
    CoTaskMemFree(p);
    CoTaskMemFree(nullptr);
}
