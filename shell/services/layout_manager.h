// Where the OCR dialogs, result views and the gallery put their controls, one
// placement per orientation; the language library's strings; and the two
// words the dialogs share (input block, settings closed).
#pragma once

#include <vector>

#include "plat/windows.h"
#include "singleton.h"

// The strings' shared buffer, in characters with the ending zero.
inline constexpr int kLayoutStringChars = 100;

class CLayoutManager : public CSingleton<CLayoutManager> {
public:
    using CSingleton<CLayoutManager>::GetInstance;

    CLayoutManager();
    ~CLayoutManager() = default;

    // Each getter fills out from the table of the current orientation and
    // returns it; an identifier outside its table leaves out alone and gives null.
    POINT* GetPosition(UINT id, POINT* out) const;
    SIZE* GetSize(UINT id, SIZE* out) const;
    RECT* GetRect(UINT id, RECT* out) const;
    RECT* GetRectList(UINT id, RECT* out) const;
    POINT* GetPoint1(UINT id, POINT* out) const;  // dialog origin
    POINT* GetPoint2(UINT id, POINT* out) const;  // dialog size
    POINT* GetPoint3(UINT id, POINT* out) const;  // drop-down list origin
    POINT* GetPoint4(UINT id, POINT* out) const;  // drop-down list size
    POINT* GetPoint5(UINT id, POINT* out) const;  // grid columns and rows
    std::vector<POINT>* GetPointList(UINT id, std::vector<POINT>* out) const;

    // The label's string id of a settings item, 0 for other items.
    static int GetControlIndex(UINT id);
    // The id of the same control's resource in the current orientation.
    UINT RemapControlId(UINT id) const;

    // The text of a string id, cut to 99 characters, in one buffer that the
    // next call overwrites; empty for an unknown id.
    LPCWSTR GetString(UINT id);
    void DoNothing() {}

    // Pending key or pen input, dispatched or dropped.
    static BOOL PumpKeyMessages(BOOL dispatch, BOOL remove);
    static BOOL PumpMouseMessages(BOOL dispatch, BOOL remove);

    // 1 taller than wide, 0 square, -1 wider than tall.
    int ScreenShape() const;
    BOOL IsLandscape() const { return ScreenShape() < 0; }

    HINSTANCE GetResource() const { return m_hResource; }
    void SetResource(HINSTANCE resource) { m_hResource = resource; }
    HWND GetHwnd() const { return m_hWnd; }
    void SetHwnd(HWND hwnd) { m_hWnd = hwnd; }
    BOOL IsBusy() const { return m_bBusy; }
    void SetBusy(BOOL busy) { m_bBusy = busy; }
    BOOL IsSettingClosed() const { return m_bSettingClosed; }
    void SetSettingClosed(BOOL closed) { m_bSettingClosed = closed; }

    // Where the screen's size is read; GetSystemMetrics unless replaced.
    using MetricsReader = int (*)(int index);
    void SetMetricsReader(MetricsReader reader) { metrics_ = reader ? reader : &GetSystemMetrics; }

private:
    HINSTANCE m_hResource = nullptr;
    HWND m_hWnd = nullptr;
    BOOL m_bBusy = FALSE;
    BOOL m_bSettingClosed = FALSE;

    MetricsReader metrics_ = &GetSystemMetrics;
    std::vector<POINT> gridCellsPortrait_;
    std::vector<POINT> gridCellsLandscape_;
    std::vector<POINT> zoomDots_;
    WCHAR string_[kLayoutStringChars] = {};
};
