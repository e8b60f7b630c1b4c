// The writer the crash tests kill: it writes to a device root for ever, and
// the test checks that a kill at any moment leaves whole files behind.
//   lum_writer_probe ROOT registry   flushes rounds of 40 equal values (and a
//                                    padding string of changing length) to
//                                    HKCU\Stress, going on from the last round
//   lum_writer_probe ROOT contacts   saves contacts with a long company name
#include <cstdio>
#include <cstring>
#include <string>

#include "plat/com.h"
#include "plat/device.h"
#include "plat/pimstore.h"
#include "plat/registry.h"

namespace {

const BYTE* Bytes(const void* p) { return static_cast<const BYTE*>(p); }

int WriteRegistry()
{
    if (!plat::OpenRegistry(false)) {
        std::fprintf(stderr, "lum_writer_probe: the registry does not open\n");
        return 1;
    }
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, L"Stress", 0, nullptr, 0, 0, nullptr, &key, nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "lum_writer_probe: HKCU\\Stress not created\n");
        return 1;
    }
    DWORD round = 0;
    RegistryGetDWORD(HKEY_CURRENT_USER, L"Stress", L"Value0", &round);  // go on from the last writer
    for (++round;; ++round) {
        for (int i = 0; i < 40; ++i) {
            const std::wstring name = L"Value" + std::to_wstring(i);
            RegSetValueExW(key, name.c_str(), 0, REG_DWORD, Bytes(&round), 4);
        }
        const std::wstring padding(round % 5000, L'x');
        RegSetValueExW(key, L"Padding", 0, REG_SZ, Bytes(padding.c_str()),
                       static_cast<DWORD>((padding.size() + 1) * sizeof(WCHAR)));
        RegFlushKey(key);
    }
}

int SaveContacts()
{
    IPOutlookApp* app = nullptr;
    if (CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                         reinterpret_cast<void**>(&app)) != S_OK ||
        app->Logon(0) != S_OK) {
        std::fprintf(stderr, "lum_writer_probe: the contact store does not open\n");
        return 1;
    }
    BSTR company = SysAllocString(std::wstring(20000, L'\u00e9').c_str());
    for (;;) {
        IUnknown* item = nullptr;
        IContact* contact = nullptr;
        if (app->CreateItem(olContactItem, &item) != S_OK ||
            item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact)) != S_OK) {
            std::fprintf(stderr, "lum_writer_probe: no contact made\n");
            return 1;
        }
        item->Release();
        contact->put_CompanyName(company);
        contact->Save();
        contact->Release();
    }
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 3 || (std::strcmp(argv[2], "registry") != 0 && std::strcmp(argv[2], "contacts") != 0)) {
        std::fprintf(stderr, "usage: lum_writer_probe ROOT registry|contacts\n");
        return 2;
    }
    plat::SetDeviceRoot(argv[1]);
    return std::strcmp(argv[2], "registry") == 0 ? WriteRegistry() : SaveContacts();
}
