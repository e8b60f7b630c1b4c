#include "poom_contact.h"

#include <algorithm>
#include <array>
#include <string>

#include "plat/pimstore.h"

namespace {

// The store's application of the session under way.
ComPtr<IPOutlookApp> g_application;

// A contact property takes at most 255 characters.
constexpr size_t kPropertyChars = kResultTextChars - 1;

using Setter = HRESULT (IContact::*)(BSTR);
constexpr std::array<Setter, kResultCategoryCount> kSetters = {
    &IContact::put_FileAs,        &IContact::put_MobileTelephoneNumber, &IContact::put_BusinessTelephoneNumber,
    &IContact::put_CompanyName,   &IContact::put_Email1Address,         &IContact::put_BusinessFaxNumber,
    &IContact::put_WebPage,
};

HRESULT Set(IContact* contact, int category, const WCHAR (&text)[kResultTextChars])
{
    size_t length = std::min(ResultTextLength(text), kPropertyChars);
    BSTR value = SysAllocStringLen(text, static_cast<UINT>(length));
    if (!value)
        return E_OUTOFMEMORY;
    HRESULT hr = (contact->*kSetters[static_cast<size_t>(category)])(value);
    SysFreeString(value);
    return hr;
}

HRESULT OpenSession(HWND parent)
{
    HRESULT hr = CoInitializeEx(nullptr, 0);
    if (FAILED(hr))
        return hr;
    IPOutlookApp* app = nullptr;
    hr = CoCreateInstance(CLSID_Application, nullptr, CLSCTX_INPROC_SERVER, IID_IPOutlookApp,
                          reinterpret_cast<void**>(&app));
    if (FAILED(hr) || !app) {
        CoUninitialize();
        return FAILED(hr) ? hr : E_FAIL;
    }
    g_application = app;
    app->Release();
    hr = g_application->Logon(reinterpret_cast<LONG_PTR>(parent));
    if (FAILED(hr)) {
        g_application = nullptr;
        CoUninitialize();
    }
    return hr;
}

void CloseSession()
{
    if (g_application)
        g_application->Logoff();
    g_application = nullptr;
    CoUninitialize();
}

// One new contact filled by fill(contact), then saved.
template <class Fill>
HRESULT SaveOne(Fill fill)
{
    IUnknown* item = nullptr;
    HRESULT hr = g_application->CreateItem(olContactItem, &item);
    if (FAILED(hr) || !item)
        return FAILED(hr) ? hr : E_FAIL;
    IContact* contact = nullptr;
    hr = item->QueryInterface(IID_IContact, reinterpret_cast<void**>(&contact));
    item->Release();
    if (FAILED(hr))
        return hr;
    hr = fill(contact);
    if (SUCCEEDED(hr))
        hr = contact->Save();
    contact->Release();
    return hr;
}

}  // namespace

HRESULT CPoomContact::SaveCurrentContact(HWND parent, const ResultText* texts)
{
    if (!texts)
        return E_INVALIDARG;
    HRESULT hr = OpenSession(parent);
    if (FAILED(hr))
        return hr;
    hr = SaveOne([&](IContact* contact) {
        for (int category = 0; category < kResultCategoryCount; ++category) {
            HRESULT set = Set(contact, category, texts[category].text);
            if (FAILED(set))
                return set;
        }
        return S_OK;
    });
    CloseSession();
    return hr;
}

HRESULT CPoomContact::SaveAllContacts(HWND parent, ResultItem* const* cards, int count, int* stored)
{
    if (stored)
        *stored = 0;
    if (!cards || count < 0)
        return E_INVALIDARG;
    HRESULT hr = OpenSession(parent);
    if (FAILED(hr))
        return hr;
    for (int k = 0; k < count && SUCCEEDED(hr); ++k) {
        const ResultItem* card = cards[k];
        hr = SaveOne([&](IContact* contact) {
            for (int i = 0; card && i < kResultCategoryCount && card[i].type != kResultEndType; ++i) {
                // A later item of the same type overwrites the earlier value.
                if (card[i].type < 0 || card[i].type >= kResultCategoryCount)
                    continue;
                HRESULT set = Set(contact, card[i].type, card[i].text);
                if (FAILED(set))
                    return set;
            }
            return S_OK;
        });
        if (SUCCEEDED(hr) && stored)
            ++*stored;
    }
    CloseSession();
    return hr;
}

HRESULT CPoomContact::Logon(HWND parent) { return OpenSession(parent); }

HRESULT CPoomContact::Logoff()
{
    if (!g_application) {
        CoUninitialize();
        return E_FAIL;
    }
    HRESULT hr = g_application->Logoff();
    g_application = nullptr;
    CoUninitialize();
    return hr;
}
