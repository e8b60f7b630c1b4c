#include "ImagingInternal.h"
#include "jpeg/JpegDecoder.h"

bool ReadJpegSize(const BYTE* data, DWORD size, int* width, int* height)
{
    uint16_t w = 0, h = 0;
    uint8_t thumbKind = 0;
    uint32_t thumbLength = 0;
    if (!data || gParseJpegHeader(data, size, &w, &h, &thumbKind, &thumbLength) != 0 || !w || !h)
        return false;
    *width = w;
    *height = h;
    return true;
}
