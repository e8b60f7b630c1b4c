// The image utility functions that need the drawing layer: a blank 16-bit
// (or other depth) DIB section, and a bitmap saved as a .bmp file.
#pragma once

#include "plat/windows.h"

// A zero-filled bottom-up DIB section (BI_RGB); null for a zero size or
// depth, or when the section cannot be made.
HBITMAP IUCreateBlankDIB(int width, int height, int bitsPerPixel);

// Writes the bitmap to the device file (replacing it): 16-bit bitmaps as
// RGB565 bit fields, 24 and 32 bits as they are. 1 on success, 0 on failure
// (an unknown bitmap, a depth below 16, a file that cannot be written).
int IUSaveBitmapFile(HBITMAP bitmap, LPCWSTR fileName);
