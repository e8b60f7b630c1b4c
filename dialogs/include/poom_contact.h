// Stores recognised cards in the device's contact store, one contact item
// per card with one property per field category, in one store session per
// call. A failure is returned so that the view keeps what was not stored.
#pragma once

#include "plat/windows.h"
#include "result_records.h"

class CPoomContact {
public:
    CPoomContact() = default;
    virtual ~CPoomContact() = default;

    // The card on screen: its seven category-indexed texts. S_OK once saved.
    HRESULT SaveCurrentContact(HWND parent, const ResultText* texts);
    // Cards in slot order, each seven items walked to a type of -1; stops at
    // the first card not stored. stored (optional) gets how many were.
    HRESULT SaveAllContacts(HWND parent, ResultItem* const* cards, int count, int* stored = nullptr);

    // A session held open across calls.
    HRESULT Logon(HWND parent);
    HRESULT Logoff();
};
