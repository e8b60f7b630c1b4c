// The card view's alternatives drop-down: a hidden button whose press opens
// and closes a one-column list of the field's text and its alternatives. A
// row whose text does not fit runs by as a marquee while it is selected.
#pragma once

#include <string>

#include "plat/framework.h"

inline constexpr UINT_PTR TM_LIST_SCROLL = 1001;
inline constexpr UINT kListScrollMs = 500;
// Sent to the parent with lParam chosen row x 16 + the row selected before.
inline constexpr WORD CMD_BCR_ALTERNATIVE_CHOSEN = 1806;

class CAlternativesDropDown : public CWindowImpl {
public:
    CAlternativesDropDown();
    ~CAlternativesDropDown() override;

    // Subclasses the drop-down button and the list (a report list view).
    BOOL Attach(HWND button, HWND list);
    // The rows' and the button's bitmaps of the turn.
    void SetBitmaps(bool portrait);

    void ClearRows();
    void AddRow(const std::wstring& text);
    // Shows the list with row 0 selected and focused.
    void Open();
    // Hides the list, stops its marquee and gives the focus to the button.
    void Close();
    bool ListShown() const;
    HWND ListWindow() const { return m_listWnd.m_hWnd; }
    const std::wstring& Text() const { return m_text; }
    bool Pressed() const { return m_pressed; }
    bool Scrolling() const { return m_scrolling; }
    size_t ScrollOffset() const { return m_offset; }

    // The list's custom draw (the parent forwards NM_CUSTOMDRAW of the list).
    LRESULT DrawRow(NMCUSTOMDRAW* cd);

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    class List : public CWindowImpl {
    public:
        explicit List(CAlternativesDropDown* owner) : m_owner(owner) {}
        BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

    private:
        CAlternativesDropDown* m_owner;
    };

    int Selected() const;
    std::wstring RowText(int row) const;
    // Starts the marquee when the selected row's text is wider than its row.
    void RestartScroll();
    void StopScroll();
    void Toggle();
    void OnListPenDown(int x, int y);
    void OnListKey(WPARAM key);

    List m_listWnd{this};
    HBITMAP m_normal = nullptr, m_pressedBitmap = nullptr, m_rowBitmap = nullptr, m_selectedBitmap = nullptr;
    std::wstring m_text;
    bool m_pressed = false;
    bool m_scrolling = false;
    size_t m_offset = 0;
};
