#include "property_bag.h"

#include <cwchar>
#include <new>

CPropertyBag::~CPropertyBag()
{
    while (Entry* e = head_) {
        head_ = e->next;
        VariantClear(&e->value);
        SysFreeString(e->name);
        delete e;
    }
}

HRESULT CPropertyBag::QueryInterface(REFIID iid, void** out)
{
    if (!out) return E_POINTER;
    if (iid == IID_IPropertyBag) {
        *out = static_cast<IPropertyBag*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG CPropertyBag::AddRef()
{
    return static_cast<ULONG>(++refs_);
}

ULONG CPropertyBag::Release()
{
    const LONG n = --refs_;
    if (n == 0) delete this;
    return static_cast<ULONG>(n);
}

HRESULT CPropertyBag::Read(LPCOLESTR name, VARIANT* value, IErrorLog*)
{
    if (!name || !value) return E_POINTER;
    for (Entry* e = head_; e; e = e->next) {
        if (std::wcscmp(e->name, name) == 0) return VariantCopy(value, &e->value);
    }
    return S_OK;
}

HRESULT CPropertyBag::Write(LPCOLESTR name, VARIANT* value)
{
    if (!name || !value) return E_POINTER;
    auto* e = new (std::nothrow) Entry;
    if (!e) return E_OUTOFMEMORY;
    VariantInit(&e->value);
    e->name = SysAllocString(name);
    if (!e->name) {
        // Nothing linked: a nameless entry could never be read or matched.
        delete e;
        return E_OUTOFMEMORY;
    }
    e->next = head_;
    head_ = e;
    return VariantCopy(&e->value, value);
}
