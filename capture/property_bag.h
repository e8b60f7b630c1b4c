// A named-value bag in memory, handed to the camera filter so that it loads
// the camera driver named "VCapName".
#pragma once

#include <atomic>

#include "plat/com.h"

class CPropertyBag final : public IPropertyBag {
public:
    CPropertyBag() = default;
    CPropertyBag(const CPropertyBag&) = delete;
    CPropertyBag& operator=(const CPropertyBag&) = delete;

    // Only IPropertyBag is answered; IUnknown too is refused.
    HRESULT QueryInterface(REFIID iid, void** out) override;
    ULONG AddRef() override;
    ULONG Release() override;

    // The newest entry of that name (exact case); a name not found answers
    // S_OK and leaves the value as it was.
    HRESULT Read(LPCOLESTR name, VARIANT* value, IErrorLog* log) override;
    // A second write of a name adds an entry in front of the first.
    HRESULT Write(LPCOLESTR name, VARIANT* value) override;

private:
    struct Entry {
        VARIANT value;
        Entry* next;
        BSTR name;
    };

    ~CPropertyBag();

    std::atomic<LONG> refs_{1};
    Entry* head_ = nullptr;
};
