// The document view's editor: the platform's multi-line edit, scrolled by
// whole lines under a vertical pen stroke, with a skinned scroll bar kept in
// step. A stroke under 3 pixels is a tap: it opens the input panel and places
// the caret.
#pragma once

#include "plat/framework.h"

inline constexpr WORD CMD_OCR_ACTION = 1804;
inline constexpr WORD CMD_OCR_EXIT = 20016;

class CResultEdit : public CWindowImpl {
public:
    static constexpr int kTapSlop = 3;

    ~CResultEdit() override;
    // Subclasses the edit control and gives it the editor's font.
    BOOL Attach(HWND edit);
    void SetScrollBar(HWND bar) { m_bar = bar; }
    // The bar's range, page and position from the editor's lines.
    void SyncScrollBar();
    // A WM_VSCROLL request of the bar.
    void OnBarScroll(WORD code, int thumb);
    void ScrollToTop();
    int FirstVisibleLine() const;
    bool LastLineVisible() const { return m_lastLineVisible; }
    int LineHeight() const;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    void ScrollLines(int delta);
    void Drag(int y);
    int VisibleLines() const;

    HWND m_bar = nullptr;
    HFONT m_font = nullptr;
    bool m_penDown = false;
    POINT m_down{};
    int m_anchorY = 0;
    bool m_lastLineVisible = true;
};
