#include "CePtrList.h"

#include <algorithm>

CePtrList::~CePtrList() { RemoveAll(); }

void CePtrList::RemoveAll()
{
    std::vector<CeRefCount*> items;
    items.swap(items_);
    for (CeRefCount* e : items)
        e->Release();
    OnRemoveAll();
}

CeRefCount* CePtrList::GetAt(int index) const
{
    return index >= 0 && index < GetCount() ? items_[static_cast<size_t>(index)] : nullptr;
}

int CePtrList::LowerBound(DWORD id) const
{
    auto it = std::lower_bound(items_.begin(), items_.end(), id,
                               [](const CeRefCount* e, DWORD key) { return e->GetUserData() < key; });
    return static_cast<int>(it - items_.begin());
}

int CePtrList::Add(CeRefCount* element)
{
    if (!element)
        return 0;
    if (!sorted_) {
        items_.push_back(element);
    } else {
        int at = LowerBound(element->GetUserData());
        if (at < GetCount() && items_[static_cast<size_t>(at)]->GetUserData() == element->GetUserData())
            return 1;  // held already: the first one stays
        items_.insert(items_.begin() + at, element);
    }
    element->AddRef();
    OnAdd(element);
    return 1;
}

int CePtrList::InsertAt(int index, CeRefCount* element)
{
    if (sorted_ || !element || index < 0 || index > GetCount())
        return 0;
    items_.insert(items_.begin() + index, element);
    element->AddRef();
    OnAdd(element);
    return 1;
}

int CePtrList::Append(const CePtrList& other)
{
    for (CeRefCount* e : other.items_)
        if (!Add(e))
            return 0;
    return 1;
}

int CePtrList::RemoveAt(int index)
{
    CeRefCount* e = GetAt(index);
    if (!e)
        return 0;
    items_.erase(items_.begin() + index);
    OnRemove(e, index);
    e->Release();
    return 1;
}

int CePtrList::MoveTo(int index, CeRefCount* element)
{
    auto it = std::find(items_.begin(), items_.end(), element);
    if (sorted_ || !element || it == items_.end() || index < 0 || index >= GetCount())
        return 0;
    int from = static_cast<int>(it - items_.begin());
    if (from == index)
        return 0;
    items_.erase(it);
    items_.insert(items_.begin() + index, element);
    OnMove(from, index);
    return 1;
}

int CePtrList::Move(int a, int b)
{
    CeRefCount* e = GetAt(b);
    if (sorted_ || a == b || a < 0 || a >= GetCount() || !e)
        return 0;
    items_.erase(items_.begin() + b);
    items_.insert(items_.begin() + a, e);
    OnMove(a, b);
    return 1;
}

int CePtrList::Swap(int a, int b)
{
    if (sorted_ || !GetAt(a) || !GetAt(b))
        return 0;
    std::swap(items_[static_cast<size_t>(a)], items_[static_cast<size_t>(b)]);
    OnSwap(a, b);
    return 1;
}

int CePtrList::SetAt(int index, CeRefCount* element)
{
    CeRefCount* old = GetAt(index);
    if (sorted_ || !old || !element)
        return 0;
    element->AddRef();
    items_[static_cast<size_t>(index)] = element;
    OnReplace(element, old);
    old->Release();
    return 1;
}
