#include "picture_cache.h"

#include <algorithm>

#include "ImageDecoder.h"

PictureCache::PictureCache(size_t capacity, Decoder decoder)
    : m_capacity(std::max<size_t>(capacity, 1)), m_decoder(std::move(decoder))
{
}

PictureCache::~PictureCache() { Clear(); }

void PictureCache::SetDecoder(Decoder decoder)
{
    Clear();
    m_decoder = std::move(decoder);
}

void PictureCache::SetSize(int width, int height)
{
    if (width == m_width && height == m_height)
        return;
    Clear();
    m_width = width;
    m_height = height;
}

void PictureCache::Clear()
{
    for (auto& [path, bitmap] : m_bitmaps)
        ::DeleteObject(bitmap);
    m_bitmaps.clear();
    m_recent.clear();
}

HBITMAP PictureCache::Get(const std::wstring& path)
{
    if (auto it = m_bitmaps.find(path); it != m_bitmaps.end()) {
        m_recent.remove(path);
        m_recent.push_front(path);
        return it->second;
    }
    HBITMAP bitmap = m_decoder ? m_decoder(path, m_width, m_height) : nullptr;
    if (!bitmap)
        return nullptr;
    if (m_bitmaps.size() >= m_capacity) {
        const std::wstring& oldest = m_recent.back();
        ::DeleteObject(m_bitmaps[oldest]);
        m_bitmaps.erase(oldest);
        m_recent.pop_back();
    }
    m_recent.push_front(path);
    m_bitmaps[path] = bitmap;
    return bitmap;
}

HBITMAP PictureCache::DecodeForScreen(const std::wstring& path, int width, int height)
{
    CImageDecoder* decoder = CImageDecoder::GetInstance();
    HBITMAP bitmap = decoder->DecodeFileToDIB(path.c_str(), width, height);
    return bitmap ? bitmap : decoder->DecodeJpegThumbnailToDIB(path.c_str());
}

HBITMAP PictureCache::DecodeFull(const std::wstring& path, int, int)
{
    return CImageDecoder::GetInstance()->DecodeFileToDIB(path.c_str(), 1280, 960);
}
