// CePtrList: the program's list of reference-counted elements. The list
// holds one reference to each element; an element's id is its GetUserData.
// With the sorted flag the list keeps ascending ids and refuses the
// operations that would break the order (they answer 0).
#pragma once

#include <vector>

#include "ce_ref_count.h"

class CePtrList {
public:
    CePtrList() = default;
    CePtrList(const CePtrList&) = delete;
    CePtrList& operator=(const CePtrList&) = delete;
    virtual ~CePtrList();

    // Hooks after each change; empty here.
    virtual void OnAdd(CeRefCount*) {}
    virtual void OnRemove(CeRefCount*, int) {}
    virtual void OnMove(int, int) {}
    virtual void OnRemoveAll() {}
    virtual void OnReplace(CeRefCount*, CeRefCount*) {}
    virtual void OnSwap(int, int) {}

    virtual void RemoveAll();
    // The element, or null outside 0 to count - 1.
    virtual CeRefCount* GetAt(int index) const;
    // Appends (sorted: inserts at its id's place; an id already held leaves
    // the list as it is and still answers 1). 0 for a null element.
    virtual int Add(CeRefCount* element);
    // Before the index (the count appends); 0 for a bad index or null.
    virtual int InsertAt(int index, CeRefCount* element);
    // Add of every element of the other list; 0 at the first failure.
    virtual int Append(const CePtrList& other);
    virtual int RemoveAt(int index);
    // The element, found by identity, taken out and put at the index.
    virtual int MoveTo(int index, CeRefCount* element);
    // The element at b taken out and put at a.
    virtual int Move(int a, int b);
    virtual int Swap(int a, int b);
    virtual int SetAt(int index, CeRefCount* element);

    int GetCount() const { return static_cast<int>(items_.size()); }

protected:
    // The first index whose id is not below the id.
    int LowerBound(DWORD id) const;

    std::vector<CeRefCount*> items_;
    bool sorted_ = false;
};
