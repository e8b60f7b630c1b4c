// The platform's picture decoder object (BMP, PNG, GIF, JPEG), made with
// CoCreateInstance(CLSID_PictureDecoder, ..., IID_IPictureDecoder). Pictures
// come out as RGB565 words, rows top-down, transparent pixels white.
#pragma once

#include "plat/com.h"

// Picture kinds the caller names (the content decides what is read).
inline constexpr int kPictureJpeg = 6;
inline constexpr int kPictureBmp = 7;
inline constexpr int kPicturePng = 8;
inline constexpr int kPictureGif = 9;

// The layout of what Decode produces: one plane of 16-bit RGB565 words.
inline constexpr DWORD kPictureLayoutRgb565 = 128;

struct IPictureDecoder : IUnknown {
    // The size a JPEG file declares, without decoding: S_OK or E_FAIL.
    virtual HRESULT GetImageSize(const BYTE* data, DWORD size, int kind, int* width, int* height) = 0;
    // Decodes the picture (a JPEG at the smallest scale that still covers
    // minWidth x minHeight); reports its size and layout. E_FAIL for broken
    // or unknown content, E_OUTOFMEMORY.
    virtual HRESULT Decode(const BYTE* data, DWORD size, int kind, DWORD layout, int minWidth, int minHeight,
                           int* width, int* height, DWORD* layoutOut) = 0;
    // Copies the decoded pixels (width x height x 2 bytes); E_FAIL when
    // nothing was decoded, E_INVALIDARG when the plane is too small.
    virtual HRESULT GetPixels(BYTE* plane, DWORD capacity) = 0;
};

inline constexpr CLSID CLSID_PictureDecoder{
    0x93078710, 0x4CA9, 0x4EF3, {0x8C, 0x0B, 0x0B, 0x04, 0xE6, 0x6D, 0x4D, 0x01}};
inline constexpr IID IID_IPictureDecoder{
    0x599ABE64, 0x7682, 0x4E8F, {0x94, 0x40, 0x85, 0xC0, 0x35, 0xE4, 0xBD, 0x42}};

template <>
struct InterfaceId<IPictureDecoder> {
    static constexpr const IID& value = IID_IPictureDecoder;
};
