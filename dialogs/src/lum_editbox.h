// The card view's edit box: the platform's edit control over a background
// bitmap; a text that does not fit runs by as a marquee until the box takes
// the focus.
#pragma once

#include <string>

#include "plat/framework.h"

inline constexpr UINT_PTR TM_EDIT_SCROLL = 1000;
inline constexpr UINT kEditScrollMs = 500;
inline constexpr WORD CMD_BCR_EXIT = 20012;
inline constexpr WPARAM VK_PROCESSKEY_CODE = 0xE5;

class LumEditbox : public CWindowImpl {
public:
    LumEditbox();
    ~LumEditbox() override;

    // Subclasses the edit control and gives it the box's font.
    BOOL Attach(HWND edit);
    // The background bitmap by id; the formatting rectangle follows its width.
    void SetBackground(UINT id);
    // The marquee stops; the standard control draws the text again.
    void StopScroll();
    // Starts the marquee when the text overflows the box, else stops it.
    void CheckOverflow();

    bool Scrolling() const { return m_running; }
    size_t ScrollOffset() const { return m_offset; }
    // What the marquee shows at an offset, in a box of that inner width.
    static std::wstring MarqueeText(HDC dc, const std::wstring& text, size_t offset, int width);

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ApplyFormatRect();
    void PaintMarquee(HWND hwnd);
    std::wstring Text() const;

    HBITMAP m_background = nullptr;
    SIZE m_backgroundSize{};
    HFONT m_font = nullptr;
    bool m_running = false;
    size_t m_offset = 0;
};
