#include "ImageUtilDib.h"

#include <vector>

#include "pixels/BitmapFile.h"

HBITMAP IUCreateBlankDIB(int width, int height, int bitsPerPixel)
{
    if (width == 0 || height == 0 || bitsPerPixel == 0)
        return nullptr;
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, height, 1, static_cast<WORD>(bitsPerPixel), BI_RGB, 0, 0, 0,
                      0, 0};
    // The section comes zero-filled.
    return CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, nullptr, nullptr, 0);
}

int IUSaveBitmapFile(HBITMAP bitmap, LPCWSTR fileName)
{
    BITMAP bm{};
    if (!fileName || !GetObjectW(bitmap, sizeof bm, &bm) || bm.bmWidth <= 0 || bm.bmHeight <= 0)
        return 0;
    int bpp = bm.bmPlanes * bm.bmBitsPixel;
    if (bpp != 16 && bpp != 24 && bpp != 32)
        return 0;  // the drawing layer makes no palette bitmaps
    // The pixel bits bottom-up; 16-bit ones as RGB565, which the file declares.
    struct {
        BITMAPINFOHEADER h;
        DWORD masks[3];
    } info{{sizeof(BITMAPINFOHEADER), bm.bmWidth, bm.bmHeight, 1, static_cast<WORD>(bpp),
            bpp == 16 ? BI_BITFIELDS : BI_RGB, 0, 0, 0, 0, 0},
           {0xF800, 0x07E0, 0x001F}};
    std::vector<uint8_t> bits(static_cast<size_t>(pixels::BitmapRowBytes(bm.bmWidth, bpp)) * bm.bmHeight);
    HDC dc = CreateCompatibleDC(nullptr);
    int lines = GetDIBits(dc, bitmap, 0, static_cast<UINT>(bm.bmHeight), bits.data(),
                          reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
    DeleteDC(dc);
    if (lines != bm.bmHeight)
        return 0;
    std::vector<uint8_t> file = pixels::BuildBitmapFile(bm.bmWidth, bm.bmHeight, bpp, bits.data());
    if (file.empty())
        return 0;
    HANDLE h = CreateFileW(fileName, GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    BOOL ok = WriteFile(h, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == file.size() ? 1 : 0;
}
