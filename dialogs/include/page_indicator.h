// The gallery's popup: the progress of a recognition run with its cancel
// button, or the count and state of the captured-picture slots.
#pragma once

#include <array>
#include <atomic>
#include <string>

#include "plat/framework.h"

class CPageIndicator : public CWindowImpl {
public:
    enum Mode { MODE_POSITION = 0, MODE_PROGRESS = 1 };
    static constexpr int kSlots = 20;
    static constexpr int kWidth = 220;
    static constexpr int kHeight = 151;
    static constexpr RECT kCancelRect{8, 110, 212, 141};

    CPageIndicator() = default;
    ~CPageIndicator() override;

    // Strings 3, 4, 5 and 15 come from resource; the slot cells load in mode 0.
    void Set(HINSTANCE resource, int mode, int secondCount, int reserved, HWND owner);
    // The main frame's tables of 20 picture names (a slot is taken when its
    // name is not null) and result states (0 failed, 1 recognised, 2 not taken).
    void SetSlotTables(const WCHAR* const* names, const int* states)
    {
        m_names = names;
        m_states = states;
    }
    void SetProgress(int percent);

    // Read by a running recognition as its keep-going word (1 go on).
    int Mode() const { return m_mode.load(); }
    // Stops the run that reads the mode.
    void Stop() { m_mode = MODE_POSITION; }
    int Percent() const { return m_percent; }
    bool Pressed() const { return m_pressed; }
    // The title line as painted.
    std::wstring Title() const;
    // The captured pictures: names in use.
    int PictureCount() const;
    // Columns of the progress bar's fill.
    static int FilledColumns(int percent);
    void Draw(HDC dc) const;

    // Written by the gallery before it repaints.
    int m_nItemIndex = 0;
    int m_nItemCount = 0;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    std::wstring String(UINT id) const;
    void FreeBitmaps();
    void DrawCancel(HDC dc, UINT label) const;

    HINSTANCE m_resource = nullptr;
    std::atomic<int> m_mode{MODE_POSITION};
    int m_percent = 0;
    int m_secondCount = 0;
    int m_reserved = 0;
    HWND m_owner = nullptr;
    bool m_pressed = false;
    int m_lastOrientation = 0;  // 0 until the first progress
    const WCHAR* const* m_names = nullptr;
    const int* m_states = nullptr;
    HBITMAP m_background = nullptr;
    HBITMAP m_track = nullptr;
    HBITMAP m_fill = nullptr;
    HBITMAP m_button = nullptr;
    HBITMAP m_buttonPressed = nullptr;
    std::array<HBITMAP, 3 * kSlots> m_cells{};
};
