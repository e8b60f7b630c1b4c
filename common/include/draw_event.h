// Common base of the service singletons: the main window they report to.
#pragma once

#include "plat/windows.h"

class CDrawEvent {
public:
    CDrawEvent() = default;
    virtual ~CDrawEvent() = default;
    CDrawEvent(const CDrawEvent&) = delete;
    CDrawEvent& operator=(const CDrawEvent&) = delete;

    virtual HWND GetHwnd() const { return hwnd_; }
    void SetHwnd(HWND hwnd) { hwnd_ = hwnd; }

private:
    HWND hwnd_ = nullptr;
};
