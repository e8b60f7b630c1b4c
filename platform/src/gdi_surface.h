// Pixel memory that GDI, DirectDraw and the screen composer share. A surface
// is a view: its memory may be shared with another view (a DC on a DirectDraw
// surface, a DIB section's bits), and a turned view maps landscape
// coordinates onto memory kept in the panel's portrait layout.
#pragma once

#include <cstring>
#include <memory>
#include <vector>

#include "plat/types.h"

namespace plat::gdi {

struct PixelFormat {
    int bpp = 16;  // 16, 24 or 32
    DWORD red = 0xF800, green = 0x07E0, blue = 0x001F;

    static PixelFormat Rgb565() { return {16, 0xF800, 0x07E0, 0x001F}; }
    static PixelFormat Rgb555() { return {16, 0x7C00, 0x03E0, 0x001F}; }
    static PixelFormat Rgb888(int bpp) { return {bpp, 0xFF0000, 0x00FF00, 0x0000FF}; }
    bool operator==(const PixelFormat&) const = default;
};

// One channel of a format: where its bits are and how many.
struct Channel {
    DWORD mask = 0;
    int shift = 0;
    int bits = 0;
    explicit Channel(DWORD m = 0);
    BYTE Expand(DWORD pixel) const;   // to 8 bits, replicating the top bits
    DWORD Reduce(BYTE value) const;   // from 8 bits
};

class Surface {
public:
    // Owned memory; stride padded to 4 bytes (DIB rows).
    Surface(int width, int height, PixelFormat format, bool bottomUp = false);
    // A view on the memory of another surface, optionally turned.
    Surface(const Surface& memoryOf, bool turned);
    // Memory given by the caller (its lifetime is the caller's affair).
    Surface(BYTE* bits, int width, int height, int stride, PixelFormat format, bool bottomUp);

    int Width() const { return turned_ ? memHeight_ : memWidth_; }
    int Height() const { return turned_ ? memWidth_ : memHeight_; }
    int MemWidth() const { return memWidth_; }
    int MemHeight() const { return memHeight_; }
    int Stride() const { return stride_; }
    bool BottomUp() const { return bottomUp_; }
    bool Turned() const { return turned_; }
    const PixelFormat& Format() const { return format_; }
    BYTE* Bits() const { return bits_; }
    size_t ByteSize() const { return static_cast<size_t>(stride_) * memHeight_; }
    // The same memory seen in the other orientation.
    bool SharesMemoryWith(const Surface& other) const { return bits_ == other.bits_; }

    bool Contains(int x, int y) const { return x >= 0 && y >= 0 && x < Width() && y < Height(); }
    DWORD Raw(int x, int y) const;
    void SetRaw(int x, int y, DWORD raw);
    COLORREF Get(int x, int y) const { return Decode(Raw(x, y)); }
    void Set(int x, int y, COLORREF colour) { SetRaw(x, y, Encode(colour)); }
    // Memory-order access, for row copies.
    BYTE* MemRow(int memY) const { return bits_ + static_cast<size_t>(memY) * stride_; }

    DWORD Encode(COLORREF colour) const;
    COLORREF Decode(DWORD raw) const;
    void Fill(const RECT& r, COLORREF colour);

private:
    BYTE* Address(int x, int y) const;

    std::shared_ptr<std::vector<BYTE>> memory_;
    BYTE* bits_ = nullptr;
    int memWidth_ = 0, memHeight_ = 0, stride_ = 0;
    PixelFormat format_;
    bool bottomUp_ = false;
    bool turned_ = false;
    Channel r_, g_, b_;
};

RECT Intersect(const RECT& a, const RECT& b);
inline bool IsEmpty(const RECT& r) { return r.right <= r.left || r.bottom <= r.top; }

}  // namespace plat::gdi
