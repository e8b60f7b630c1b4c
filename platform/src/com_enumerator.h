// An enumerator over a fixed list of COM objects, as IEnumPins and
// IEnumFilters hand them out: each Next gives its caller a reference.
#pragma once

#include <atomic>
#include <cstddef>
#include <utility>
#include <vector>

#include "plat/com.h"

namespace plat {

template <class Enum, class Item, const IID& EnumId>
class ComEnumerator final : public Enum {
public:
    // Takes a reference of its own on every item.
    explicit ComEnumerator(std::vector<Item*> items) : items_(std::move(items))
    {
        for (Item* item : items_) item->AddRef();
    }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == EnumId) {
            *out = static_cast<Enum*>(this);
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
    HRESULT Next(ULONG count, Item** items, ULONG* fetched) override
    {
        if (!items) return E_POINTER;
        ULONG n = 0;
        while (n < count && next_ < items_.size()) {
            items[n] = items_[next_++];
            items[n]->AddRef();
            ++n;
        }
        if (fetched) *fetched = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT Reset() override
    {
        next_ = 0;
        return S_OK;
    }

private:
    ~ComEnumerator()
    {
        for (Item* item : items_) item->Release();
    }
    std::atomic<ULONG> refs_{1};
    std::vector<Item*> items_;
    std::size_t next_ = 0;
};

}  // namespace plat
