// The field editor's picture: the card's picture, turned a quarter when
// recognition read it turned, shown cropped to one field's box.
#pragma once

#include <vector>

#include "plat/framework.h"

// Pictures wider than this are decoded smaller.
inline constexpr int kFieldPictureWidthLimit = 1280;

// A quarter turn of 16-bit pixels: source row r becomes column height - 1 - r
// of a height x width result.
std::vector<WORD> TurnQuarter16(const WORD* pixels, int width, int height);

class CFieldImageView : public CWindowImpl {
public:
    ~CFieldImageView() override;

    // Loads the picture (turned when orientationFlag is 0) and the box to
    // show; FALSE and an empty view when it cannot be had.
    BOOL Load(LPCWSTR path, const RECT& box, int orientationFlag);
    // Lets the pixels go.
    void Free();

    bool HasPicture() const { return m_bitmap != nullptr; }
    SIZE PictureSize() const { return SIZE{m_width, m_height}; }
    bool HasBox() const { return m_hasBox; }
    const RECT& Box() const { return m_box; }
    // The part of the picture the view shows: the box clipped to the
    // picture, or all of it; empty without a picture.
    RECT Source() const;

    BOOL ProcessWindowMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    HBITMAP m_bitmap = nullptr;
    int m_width = 0, m_height = 0;
    int m_orientation = 1;
    RECT m_box{};
    bool m_hasBox = false;
};
