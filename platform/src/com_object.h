// The reference count and QueryInterface of a platform object that answers
// one interface beside IUnknown.
#pragma once

#include <atomic>
#include <new>

#include "plat/com.h"

namespace plat::detail {

// A new object of the class answering `iid` into `out`; `Base` is the
// interface through which its IUnknown is reached.
template <typename Object, typename Base = Object>
HRESULT MakeObject(REFIID iid, void** out)
{
    auto* object = new (std::nothrow) Object;
    if (!object)
        return E_OUTOFMEMORY;
    HRESULT hr = static_cast<Base*>(object)->QueryInterface(iid, out);
    static_cast<Base*>(object)->Release();
    return hr;
}

template <typename Interface>
class ComObject : public Interface {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == InterfaceId<Interface>::value) {
            *out = static_cast<Interface*>(this);
            this->AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG left = --refs_;
        if (left == 0)
            delete this;
        return left;
    }

protected:
    virtual ~ComObject() = default;

private:
    std::atomic<ULONG> refs_{1};
};

}  // namespace plat::detail
