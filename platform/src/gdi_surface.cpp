#include "gdi_surface.h"

#include <algorithm>
#include <bit>

namespace plat::gdi {

Channel::Channel(DWORD m) : mask(m)
{
    if (m) {
        shift = std::countr_zero(m);
        bits = std::popcount(m);
    }
}

BYTE Channel::Expand(DWORD pixel) const
{
    if (bits == 0)
        return 0;
    DWORD v = (pixel & mask) >> shift;
    if (bits >= 8)
        return static_cast<BYTE>(v >> (bits - 8));
    // Repeat the channel's bits downwards so that full scale stays full scale.
    DWORD out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << bits) | v;
        filled += bits;
    }
    return static_cast<BYTE>(out >> (filled - 8));
}

DWORD Channel::Reduce(BYTE value) const
{
    if (bits == 0)
        return 0;
    DWORD v = bits >= 8 ? static_cast<DWORD>(value) << (bits - 8) : static_cast<DWORD>(value) >> (8 - bits);
    return (v << shift) & mask;
}

Surface::Surface(int width, int height, PixelFormat format, bool bottomUp)
    : memWidth_(std::max(width, 0)), memHeight_(std::max(height, 0)), format_(format), bottomUp_(bottomUp),
      r_(format.red), g_(format.green), b_(format.blue)
{
    stride_ = ((memWidth_ * format.bpp / 8) + 3) & ~3;
    memory_ = std::make_shared<std::vector<BYTE>>(static_cast<size_t>(stride_) * memHeight_ + 4);
    bits_ = memory_->data();
}

Surface::Surface(const Surface& memoryOf, bool turned) : Surface(memoryOf)
{
    turned_ = turned;
}

Surface::Surface(BYTE* bits, int width, int height, int stride, PixelFormat format, bool bottomUp)
    : bits_(bits), memWidth_(width), memHeight_(height), stride_(stride), format_(format), bottomUp_(bottomUp),
      r_(format.red), g_(format.green), b_(format.blue)
{
}

BYTE* Surface::Address(int x, int y) const
{
    int mx = x, my = y;
    if (turned_) {
        // Landscape (x, y) lies on the portrait panel at (width - 1 - y, x).
        mx = memWidth_ - 1 - y;
        my = x;
    }
    if (bottomUp_)
        my = memHeight_ - 1 - my;
    return bits_ + static_cast<size_t>(my) * stride_ + static_cast<size_t>(mx) * (format_.bpp / 8);
}

DWORD Surface::Raw(int x, int y) const
{
    const BYTE* p = Address(x, y);
    switch (format_.bpp) {
    case 16: return static_cast<DWORD>(p[0] | (p[1] << 8));
    case 24: return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16));
    default: return static_cast<DWORD>(p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<DWORD>(p[3]) << 24));
    }
}

void Surface::SetRaw(int x, int y, DWORD raw)
{
    BYTE* p = Address(x, y);
    p[0] = static_cast<BYTE>(raw);
    p[1] = static_cast<BYTE>(raw >> 8);
    if (format_.bpp >= 24)
        p[2] = static_cast<BYTE>(raw >> 16);
    if (format_.bpp == 32)
        p[3] = static_cast<BYTE>(raw >> 24);
}

DWORD Surface::Encode(COLORREF c) const
{
    return r_.Reduce(GetRValue(c)) | g_.Reduce(GetGValue(c)) | b_.Reduce(GetBValue(c));
}

COLORREF Surface::Decode(DWORD raw) const
{
    return RGB(r_.Expand(raw), g_.Expand(raw), b_.Expand(raw));
}

void Surface::Fill(const RECT& r, COLORREF colour)
{
    RECT c = Intersect(r, RECT{0, 0, Width(), Height()});
    DWORD raw = Encode(colour);
    for (int y = c.top; y < c.bottom; ++y)
        for (int x = c.left; x < c.right; ++x)
            SetRaw(x, y, raw);
}

RECT Intersect(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (IsEmpty(r))
        return RECT{0, 0, 0, 0};
    return r;
}

}  // namespace plat::gdi
