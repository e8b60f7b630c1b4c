// The camera's other screens under test: a main window that takes redraw
// requests, the program's images, a device root with DCF folders to fill
// with pictures, and probes by the images' centre colours.
#pragma once

#include <map>
#include <string>

#include "look_helper.h"
#include "screens_fixture.h"
#include "shot_control.h"

// A shot of the series with a name and a flat frame of one colour, made at
// the display code it is drawn at.
class FlatShot : public CShot {
public:
    FlatShot(LPCWSTR name, COLORREF colour, int width, int height);
};

class PeripheryFixture : public ScreensFixture {
protected:
    void SetUp() override;
    void TearDown() override;

    // A picture of one flat colour, as a PNG under a .jpg name (the picture
    // loaders read by content); returns the host path.
    std::string PutPicture(const std::string& name, int width, int height, COLORREF colour, int folder = 100);
    // A file that no decoder reads.
    std::string PutBroken(const std::string& name, int folder = 100);

    void ExpectImageAt(const look::Result& r, UINT id, int x, int y);
    // A context on a DC of the landscape layout's size, as a screen paints.
    static CDrawContext LayoutContext(HDC dc);
    static void ExpectColour(const look::Result& r, int x, int y, COLORREF c);

    HWND window = nullptr;
    std::map<UINT, COLORREF> centres;
};

// The looks of these screens, one suite across their test files.
class PeripheryLook : public PeripheryFixture {};
