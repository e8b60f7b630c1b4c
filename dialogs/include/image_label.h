// A static label drawn over a background bitmap or colour, with an optional
// icon or a picture decoded from a file: the gallery's and the settings
// dialog's captions.
#pragma once

#include "plat/framework.h"

class CImageLabel : public CWindowImpl {
public:
    CImageLabel();
    ~CImageLabel() override;

    void SetSize(int width, int height);
    void SetBkColor(COLORREF colour) { m_bkColour = colour; }
    void SetTextColor(COLORREF colour) { m_textColour = colour; }
    void SetTextRect(const RECT& rect) { m_textRect = rect; }
    void SetIconRect(const RECT& rect) { m_iconRect = rect; }
    // The font stays the caller's.
    void SetFont(HFONT font) { m_font = font; }
    // False, and nothing drawn for it, when the image is missing.
    BOOL SetBackground(UINT id);
    BOOL SetIcon(UINT id);
    // Decodes a JPEG file to the label's size and repaints; false when it cannot.
    BOOL SetPicture(LPCWSTR path);
    void SetText(LPCWSTR text);

    // The whole label into dc at (0, 0).
    void Draw(HDC dc) const;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    int m_width = 0;
    int m_height = 0;
    COLORREF m_bkColour;
    COLORREF m_textColour;
    RECT m_textRect{12, 14, 240, 42};
    RECT m_iconRect{};
    HBITMAP m_background = nullptr;
    SIZE m_backgroundSize{};
    HBITMAP m_icon = nullptr;
    SIZE m_iconSize{};
    HFONT m_font = nullptr;
    // Upright: the label is a window of the turned screen already.
    HBITMAP m_picture = nullptr;
};
