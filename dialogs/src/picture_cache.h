// Decoded pictures by path, the most recently used kept: a bounded number
// of bitmaps of one target size, the least recently used evicted first.
#pragma once

#include <functional>
#include <list>
#include <map>
#include <string>

#include "plat/windows.h"

class PictureCache {
public:
    // A bitmap of the picture at path fitted into (width, height); null on failure.
    using Decoder = std::function<HBITMAP(const std::wstring& path, int width, int height)>;

    PictureCache(size_t capacity, Decoder decoder);
    ~PictureCache();
    PictureCache(const PictureCache&) = delete;
    PictureCache& operator=(const PictureCache&) = delete;

    // Another way to decode; the cache empties.
    void SetDecoder(Decoder decoder);
    // A new size empties the cache: its bitmaps were fitted to the old one.
    void SetSize(int width, int height);
    // The picture's bitmap, decoded on a miss; null when it cannot be decoded.
    // The cache keeps it: the caller does not delete it.
    HBITMAP Get(const std::wstring& path);
    void Clear();
    size_t Count() const { return m_bitmaps.size(); }

    // The screen cache's decode: fitted to the size, else the embedded thumbnail.
    static HBITMAP DecodeForScreen(const std::wstring& path, int width, int height);
    // The full cache's decode: at most 1280 x 960.
    static HBITMAP DecodeFull(const std::wstring& path, int width, int height);

private:
    size_t m_capacity;
    Decoder m_decoder;
    int m_width = 0, m_height = 0;
    std::list<std::wstring> m_recent;  // front: the latest used
    std::map<std::wstring, HBITMAP> m_bitmaps;
};
