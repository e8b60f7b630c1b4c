// The platform's imaging factory: picture files decoded into bitmap images
// over the picture reader (plat/picture.h), bitmaps made, scaled, cloned and
// turned; with the movable memory blocks and the memory stream it reads from.
// Every bitmap is 16-bit RGB565; images report 96 dpi.
#pragma once

#include "plat/com.h"

// ---- movable memory and the stream over it ---------------------------------

inline constexpr UINT GMEM_FIXED = 0x0000;
inline constexpr UINT GMEM_MOVEABLE = 0x0002;
inline constexpr UINT GMEM_ZEROINIT = 0x0040;

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes);
LPVOID GlobalLock(HGLOBAL block);
BOOL GlobalUnlock(HGLOBAL block);
SIZE_T GlobalSize(HGLOBAL block);
HGLOBAL GlobalFree(HGLOBAL block);

inline constexpr DWORD STREAM_SEEK_SET = 0;
inline constexpr DWORD STREAM_SEEK_CUR = 1;
inline constexpr DWORD STREAM_SEEK_END = 2;

struct ISequentialStream : IUnknown {
    virtual HRESULT Read(void* out, ULONG bytes, ULONG* read) = 0;
    virtual HRESULT Write(const void* data, ULONG bytes, ULONG* written) = 0;
};
struct IStream : ISequentialStream {
    virtual HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) = 0;
};
inline constexpr IID IID_IStream{0x0000000C, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
template <>
struct InterfaceId<IStream> {
    static constexpr const IID& value = IID_IStream;
};

// A stream over the block (its whole size); with deleteOnRelease the stream
// frees the block when it goes.
HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream);

// ---- the imaging interfaces ------------------------------------------------

using PixelFormatID = UINT;
inline constexpr PixelFormatID PixelFormat16bppRGB565 = 0x21005;

struct ImageInfo {
    GUID RawDataFormat;
    PixelFormatID PixelFormat;
    UINT Width;
    UINT Height;
    UINT TileWidth;
    UINT TileHeight;
    double Xdpi;
    double Ydpi;
    UINT Flags;
};

struct BitmapData {
    UINT Width;
    UINT Height;
    LONG Stride;
    PixelFormatID PixelFormat;
    void* Scan0;
    UINT_PTR Reserved;
};

enum BufferDisposalFlag { BufferDisposalFlagNone, BufferDisposalFlagGlobalFree, BufferDisposalFlagCoTaskMemFree };
enum InterpolationHint { InterpolationHintDefault, InterpolationHintNearestNeighbor, InterpolationHintBilinear };
enum DecoderInitFlag { DecoderInitFlagNone = 0, DecoderInitFlagNoBlock = 1, DecoderInitFlagBuiltIn1st = 2 };
enum ImageLockMode { ImageLockModeRead = 1, ImageLockModeWrite = 2 };

struct ImageCodecInfo {
    CLSID Clsid;
    GUID FormatID;
    LPCWSTR CodecName;
    LPCWSTR DllName;
    LPCWSTR FormatDescription;
    LPCWSTR FilenameExtension;
    LPCWSTR MimeType;
    DWORD Flags;
    DWORD Version;
    DWORD SigCount;
    DWORD SigSize;
    const BYTE* SigPattern;
    const BYTE* SigMask;
};

struct IImage : IUnknown {
    virtual HRESULT GetImageInfo(ImageInfo* info) = 0;
    // Draws the source rectangle (whole image when null) into dst.
    virtual HRESULT Draw(HDC dc, const RECT* dst, const RECT* src) = 0;
};

struct IBitmapImage : IUnknown {
    virtual HRESULT GetSize(SIZE* size) = 0;
    virtual HRESULT GetPixelFormatID(PixelFormatID* format) = 0;
    virtual HRESULT LockBits(const RECT* rect, UINT flags, PixelFormatID format, BitmapData* data) = 0;
    virtual HRESULT UnlockBits(const BitmapData* data) = 0;
};

struct IBasicBitmapOps : IUnknown {
    virtual HRESULT Clone(const RECT* rect, IBitmapImage** out, BOOL needClone) = 0;
    // Quarter turns only (90, 180, 270 degrees, clockwise).
    virtual HRESULT Rotate(float angle, InterpolationHint hint, IBitmapImage** out) = 0;
};

struct IImageSink : IUnknown {
    // The sink may change the size it wants in info.
    virtual HRESULT BeginSink(ImageInfo* info, RECT* subarea) = 0;
    virtual HRESULT EndSink(HRESULT status) = 0;
    virtual HRESULT GetPixelDataBuffer(const RECT* rect, PixelFormatID format, BOOL lastPass, BitmapData* data) = 0;
    virtual HRESULT ReleasePixelDataBuffer(const BitmapData* data) = 0;
};

struct IImageDecoder : IUnknown {
    virtual HRESULT GetImageInfo(ImageInfo* info) = 0;
    virtual HRESULT BeginDecode(IImageSink* sink, IUnknown* properties) = 0;
    // E_PENDING while more calls are needed.
    virtual HRESULT Decode() = 0;
    virtual HRESULT EndDecode(HRESULT status) = 0;
};

struct IImagingFactory : IUnknown {
    virtual HRESULT CreateImageFromFile(LPCWSTR path, IImage** image) = 0;
    virtual HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag disposal,
                                          IImage** image) = 0;
    virtual HRESULT CreateNewBitmap(UINT width, UINT height, PixelFormatID format, IBitmapImage** bitmap) = 0;
    virtual HRESULT CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormatID format,
                                          InterpolationHint hint, IBitmapImage** bitmap) = 0;
    virtual HRESULT CreateImageDecoder(IStream* stream, DecoderInitFlag flags, IImageDecoder** decoder) = 0;
    // An array the caller frees with CoTaskMemFree.
    virtual HRESULT GetInstalledDecoders(UINT* count, ImageCodecInfo** decoders) = 0;
};

inline constexpr CLSID CLSID_ImagingFactory{
    0x327ABDA8, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImagingFactory{
    0x327ABDA7, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImage{0x327ABDA9, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IBitmapImage{
    0x327ABDAA, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImageDecoder{
    0x327ABDAD, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IImageSink{0x327ABDAE, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};
inline constexpr IID IID_IBasicBitmapOps{
    0x327ABDAF, 0x072B, 0x11D3, {0x9D, 0x7B, 0x00, 0x00, 0xF8, 0x1E, 0xF3, 0x2E}};

template <>
struct InterfaceId<IImage> {
    static constexpr const IID& value = IID_IImage;
};
template <>
struct InterfaceId<IBitmapImage> {
    static constexpr const IID& value = IID_IBitmapImage;
};
template <>
struct InterfaceId<IBasicBitmapOps> {
    static constexpr const IID& value = IID_IBasicBitmapOps;
};
template <>
struct InterfaceId<IImageSink> {
    static constexpr const IID& value = IID_IImageSink;
};

namespace plat {
// Tests: the next decoders answer E_PENDING this many times before decoding.
void SetImagingDecodePending(int calls);
}  // namespace plat
