// The imaging factory over the picture reader: one bitmap object (pixels in
// RGB565) that is image, bitmap, sink and bitmap operations at once.
#include "plat/imaging.h"

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "plat/fotrix.h"
#include "plat/gdi.h"
#include "plat/picture.h"

// ---- movable memory -----------------------------------------------------------

namespace {

struct GlobalBlock {
    SIZE_T size;
    alignas(16) BYTE data[1];
};

GlobalBlock* BlockOf(HGLOBAL h) { return static_cast<GlobalBlock*>(h); }

std::atomic<int> g_pendingCalls{0};

}  // namespace

HGLOBAL GlobalAlloc(UINT flags, SIZE_T bytes)
{
    auto* block = static_cast<GlobalBlock*>(std::malloc(offsetof(GlobalBlock, data) + (bytes ? bytes : 1)));
    if (!block) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    block->size = bytes;
    if (flags & GMEM_ZEROINIT)
        std::memset(block->data, 0, bytes);
    return block;
}

LPVOID GlobalLock(HGLOBAL block) { return block ? BlockOf(block)->data : nullptr; }
BOOL GlobalUnlock(HGLOBAL) { return FALSE; }  // no lock count is kept
SIZE_T GlobalSize(HGLOBAL block) { return block ? BlockOf(block)->size : 0; }
HGLOBAL GlobalFree(HGLOBAL block)
{
    std::free(block);
    return nullptr;
}

namespace plat {
void SetImagingDecodePending(int calls) { g_pendingCalls = calls; }
}  // namespace plat

namespace {

template <class Self, class... Interfaces>
class Object : public Interfaces... {
public:
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        ULONG left = --refs_;
        if (left == 0)
            delete static_cast<Self*>(this);
        return left;
    }

protected:
    virtual ~Object() = default;
    std::atomic<ULONG> refs_{1};
};

template <class T>
HRESULT Answer(T* object, void** out)
{
    *out = object;
    object->AddRef();
    return S_OK;
}

// ---- the stream ---------------------------------------------------------------

class MemoryStream final : public Object<MemoryStream, IStream> {
public:
    MemoryStream(HGLOBAL block, BOOL owns) : block_(block), owns_(owns) {}
    ~MemoryStream() override
    {
        if (owns_)
            GlobalFree(block_);
    }
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IStream)
            return Answer(static_cast<IStream*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT Read(void* out, ULONG bytes, ULONG* read) override
    {
        SIZE_T size = GlobalSize(block_);
        ULONG n = static_cast<ULONG>(std::min<SIZE_T>(bytes, at_ < size ? size - at_ : 0));
        if (n)
            std::memcpy(out, static_cast<BYTE*>(GlobalLock(block_)) + at_, n);
        at_ += n;
        if (read)
            *read = n;
        return n == bytes ? S_OK : S_FALSE;
    }
    HRESULT Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* position) override
    {
        long long base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? static_cast<long long>(at_)
                                                                                   : static_cast<long long>(GlobalSize(block_));
        long long to = base + move.QuadPart;
        if (origin > STREAM_SEEK_END || to < 0)
            return E_INVALIDARG;
        at_ = static_cast<SIZE_T>(to);
        if (position)
            position->QuadPart = at_;
        return S_OK;
    }

    // The bytes from the current position on.
    std::vector<BYTE> Rest()
    {
        SIZE_T size = GlobalSize(block_);
        const BYTE* p = static_cast<BYTE*>(GlobalLock(block_));
        return at_ < size ? std::vector<BYTE>(p + at_, p + size) : std::vector<BYTE>{};
    }

private:
    HGLOBAL block_;
    BOOL owns_;
    SIZE_T at_ = 0;
};

// ---- the bitmap ---------------------------------------------------------------

class Bitmap final : public Object<Bitmap, IImage, IBitmapImage, IBasicBitmapOps, IImageSink> {
public:
    Bitmap(UINT w, UINT h) : width_(w), height_(h), pixels_(static_cast<size_t>(w) * h, 0) {}
    Bitmap(UINT w, UINT h, std::vector<WORD> pixels) : width_(w), height_(h), pixels_(std::move(pixels)) {}

    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IImage)
            return Answer(static_cast<IImage*>(this), out);
        if (iid == IID_IBitmapImage)
            return Answer(static_cast<IBitmapImage*>(this), out);
        if (iid == IID_IBasicBitmapOps)
            return Answer(static_cast<IBasicBitmapOps*>(this), out);
        if (iid == IID_IImageSink)
            return Answer(static_cast<IImageSink*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG AddRef() override { return Object::AddRef(); }
    ULONG Release() override { return Object::Release(); }

    // IImage
    HRESULT GetImageInfo(ImageInfo* info) override
    {
        if (!info)
            return E_POINTER;
        *info = {GUID_NULL, PixelFormat16bppRGB565, width_, height_, width_, height_, 96.0, 96.0, 0};
        return S_OK;
    }
    HRESULT Draw(HDC dc, const RECT* dst, const RECT* src) override
    {
        if (!dst)
            return E_POINTER;
        RECT s = src ? *src : RECT{0, 0, static_cast<LONG>(width_), static_cast<LONG>(height_)};
        struct {
            BITMAPINFOHEADER h;
            DWORD masks[3];
        } info{{sizeof(BITMAPINFOHEADER), static_cast<LONG>(width_), -static_cast<LONG>(height_), 1, 16, BI_BITFIELDS,
                0, 0, 0, 0, 0},
               {0xF800, 0x07E0, 0x001F}};
        std::vector<WORD> padded = Padded();
        int lines = StretchDIBits(dc, dst->left, dst->top, dst->right - dst->left, dst->bottom - dst->top, s.left,
                                  s.top, s.right - s.left, s.bottom - s.top, padded.data(),
                                  reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, SRCCOPY);
        return lines ? S_OK : E_FAIL;
    }

    // IBitmapImage
    HRESULT GetSize(SIZE* size) override
    {
        if (!size)
            return E_POINTER;
        *size = {static_cast<LONG>(width_), static_cast<LONG>(height_)};
        return S_OK;
    }
    HRESULT GetPixelFormatID(PixelFormatID* format) override
    {
        if (!format)
            return E_POINTER;
        *format = PixelFormat16bppRGB565;
        return S_OK;
    }
    HRESULT LockBits(const RECT* rect, UINT, PixelFormatID format, BitmapData* data) override
    {
        if (!data)
            return E_POINTER;
        if (format != PixelFormat16bppRGB565 || (rect && (rect->left != 0 || rect->top != 0)))
            return E_INVALIDARG;
        *data = {width_, height_, static_cast<LONG>(width_ * 2), PixelFormat16bppRGB565, pixels_.data(), 0};
        return S_OK;
    }
    HRESULT UnlockBits(const BitmapData*) override { return S_OK; }

    // IBasicBitmapOps
    HRESULT Clone(const RECT* rect, IBitmapImage** out, BOOL) override
    {
        if (!out)
            return E_POINTER;
        if (rect)
            return E_NOTIMPL;
        auto* copy = new (std::nothrow) Bitmap(width_, height_, pixels_);
        if (!copy)
            return E_OUTOFMEMORY;
        *out = copy;
        return S_OK;
    }
    HRESULT Rotate(float angle, InterpolationHint, IBitmapImage** out) override
    {
        if (!out)
            return E_POINTER;
        int code = angle == 90.0f ? 1 : angle == 180.0f ? 2 : angle == 270.0f ? 3 : angle == 0.0f ? 0 : -1;
        if (code < 0)
            return E_NOTIMPL;
        UINT w = code & 1 ? height_ : width_, h = code & 1 ? width_ : height_;
        auto* turned = new (std::nothrow) Bitmap(w, h);
        if (!turned)
            return E_OUTOFMEMORY;
        gRotateRGB16(pixels_.data(), turned->pixels_.data(), static_cast<int>(width_), static_cast<int>(height_), 0,
                     0, 0, 0, 0, 0, static_cast<int>(w), static_cast<int>(h), code);
        *out = turned;
        return S_OK;
    }

    // IImageSink: the decoder writes into the bitmap at the bitmap's size.
    HRESULT BeginSink(ImageInfo* info, RECT*) override
    {
        if (!info)
            return E_POINTER;
        info->Width = width_;
        info->Height = height_;
        info->PixelFormat = PixelFormat16bppRGB565;
        return S_OK;
    }
    HRESULT EndSink(HRESULT) override { return S_OK; }
    HRESULT GetPixelDataBuffer(const RECT* rect, PixelFormatID format, BOOL, BitmapData* data) override
    {
        return LockBits(rect, ImageLockModeWrite, format, data);
    }
    HRESULT ReleasePixelDataBuffer(const BitmapData*) override { return S_OK; }

    std::vector<WORD>& Pixels() { return pixels_; }

private:
    std::vector<WORD> Padded() const
    {
        UINT stride = (width_ + 1) & ~1u;
        std::vector<WORD> out(static_cast<size_t>(stride) * height_);
        for (UINT y = 0; y < height_; ++y)
            std::copy_n(pixels_.data() + static_cast<size_t>(y) * width_, width_, out.data() + static_cast<size_t>(y) * stride);
        return out;
    }

    UINT width_, height_;
    std::vector<WORD> pixels_;
};

// Pixels of a picture with transparency on white.
std::vector<WORD> OnWhite(plat::Picture& p)
{
    for (size_t i = 0; i < p.alpha.size(); ++i)
        if (p.alpha[i] < 128)
            p.pixels[i] = 0xFFFF;
    return std::move(p.pixels);
}

// ---- the decoder --------------------------------------------------------------

class Decoder final : public Object<Decoder, IImageDecoder> {
public:
    explicit Decoder(plat::Picture picture) : picture_(std::move(picture)), pending_(g_pendingCalls.exchange(0)) {}
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IImageDecoder)
            return Answer(static_cast<IImageDecoder*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT GetImageInfo(ImageInfo* info) override
    {
        if (!info)
            return E_POINTER;
        UINT w = static_cast<UINT>(picture_.width), h = static_cast<UINT>(picture_.height);
        *info = {GUID_NULL, PixelFormat16bppRGB565, w, h, w, h, 96.0, 96.0, 0};
        return S_OK;
    }
    HRESULT BeginDecode(IImageSink* sink, IUnknown*) override
    {
        if (!sink)
            return E_POINTER;
        sink_ = ComPtr<IImageSink>(sink);
        ImageInfo info{};
        GetImageInfo(&info);
        return sink->BeginSink(&info, nullptr) < 0 ? E_FAIL : (info_ = info, S_OK);
    }
    HRESULT Decode() override
    {
        if (!sink_)
            return E_FAIL;
        if (pending_ > 0) {
            --pending_;
            return E_PENDING;
        }
        RECT all{0, 0, static_cast<LONG>(info_.Width), static_cast<LONG>(info_.Height)};
        BitmapData data{};
        HRESULT hr = sink_->GetPixelDataBuffer(&all, PixelFormat16bppRGB565, TRUE, &data);
        if (hr < 0)
            return hr;
        std::vector<WORD> pixels = OnWhite(picture_);
        int r = gScaleRGB565CroppedFrame(pixels.data(), picture_.width, picture_.height, 0, 0, picture_.width,
                                         picture_.height, static_cast<WORD*>(data.Scan0), static_cast<int>(data.Width),
                                         static_cast<int>(data.Height));
        picture_.pixels = std::move(pixels);
        sink_->ReleasePixelDataBuffer(&data);
        return r == 0 ? S_OK : E_FAIL;
    }
    HRESULT EndDecode(HRESULT status) override
    {
        if (sink_)
            sink_->EndSink(status);
        sink_ = ComPtr<IImageSink>();
        return status;
    }

private:
    plat::Picture picture_;
    int pending_;
    ComPtr<IImageSink> sink_;
    ImageInfo info_{};
};

// ---- the factory --------------------------------------------------------------

HRESULT ImageFromBytes(const BYTE* data, size_t size, IImage** image)
{
    plat::Picture picture;
    DWORD error = plat::DecodePicture(data, size, 0, 0, &picture);
    if (error)
        return error == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : E_FAIL;
    auto w = static_cast<UINT>(picture.width), h = static_cast<UINT>(picture.height);
    auto* bitmap = new (std::nothrow) Bitmap(w, h, OnWhite(picture));
    if (!bitmap)
        return E_OUTOFMEMORY;
    *image = bitmap;
    return S_OK;
}

class Factory final : public Object<Factory, IImagingFactory> {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IImagingFactory)
            return Answer(static_cast<IImagingFactory*>(this), out);
        *out = nullptr;
        return E_NOINTERFACE;
    }
    HRESULT CreateImageFromFile(LPCWSTR path, IImage** image) override
    {
        if (!path || !image)
            return E_POINTER;
        plat::Picture picture;
        DWORD error = plat::DecodePictureFile(path, 0, 0, &picture);
        if (error)
            return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? E_HANDLE : E_FAIL;
        auto w = static_cast<UINT>(picture.width), h = static_cast<UINT>(picture.height);
        auto* bitmap = new (std::nothrow) Bitmap(w, h, OnWhite(picture));
        if (!bitmap)
            return E_OUTOFMEMORY;
        *image = bitmap;
        return S_OK;
    }
    HRESULT CreateImageFromBuffer(const void* buffer, UINT size, BufferDisposalFlag disposal, IImage** image) override
    {
        if (!buffer || !image)
            return E_POINTER;
        HRESULT hr = ImageFromBytes(static_cast<const BYTE*>(buffer), size, image);
        // The image holds its own pixels: the buffer goes at once when it is
        // the image's to free.
        if (hr >= 0 && disposal == BufferDisposalFlagCoTaskMemFree)
            CoTaskMemFree(const_cast<void*>(buffer));
        else if (hr >= 0 && disposal == BufferDisposalFlagGlobalFree)
            GlobalFree(const_cast<void*>(buffer));
        return hr;
    }
    HRESULT CreateNewBitmap(UINT width, UINT height, PixelFormatID format, IBitmapImage** bitmap) override
    {
        if (!bitmap)
            return E_POINTER;
        if (format != PixelFormat16bppRGB565 || width < 1 || height < 1 || width > plat::kMaxPictureSide ||
            height > plat::kMaxPictureSide)
            return E_INVALIDARG;
        auto* b = new (std::nothrow) Bitmap(width, height);
        if (!b)
            return E_OUTOFMEMORY;
        *bitmap = b;
        return S_OK;
    }
    HRESULT CreateBitmapFromImage(IImage* image, UINT width, UINT height, PixelFormatID format, InterpolationHint,
                                  IBitmapImage** bitmap) override
    {
        if (!image || !bitmap)
            return E_POINTER;
        ComPtr<IBitmapImage> source;
        HRESULT hr = image->QueryInterface(IID_IBitmapImage, reinterpret_cast<void**>(source.GetAddressOf()));
        if (hr < 0)
            return hr;
        SIZE s{};
        source->GetSize(&s);
        if (!width)
            width = static_cast<UINT>(s.cx);
        if (!height)
            height = static_cast<UINT>(s.cy);
        IBitmapImage* made = nullptr;
        hr = CreateNewBitmap(width, height, format, &made);
        if (hr < 0)
            return hr;
        BitmapData from{}, to{};
        source->LockBits(nullptr, ImageLockModeRead, PixelFormat16bppRGB565, &from);
        made->LockBits(nullptr, ImageLockModeWrite, PixelFormat16bppRGB565, &to);
        gScaleRGB565CroppedFrame(static_cast<const WORD*>(from.Scan0), s.cx, s.cy, 0, 0, s.cx, s.cy,
                                 static_cast<WORD*>(to.Scan0), static_cast<int>(width), static_cast<int>(height));
        *bitmap = made;
        return S_OK;
    }
    HRESULT CreateImageDecoder(IStream* stream, DecoderInitFlag, IImageDecoder** decoder) override
    {
        if (!stream || !decoder)
            return E_POINTER;
        std::vector<BYTE> bytes, chunk(65536);
        ULONG read = 0;
        do {
            if (stream->Read(chunk.data(), static_cast<ULONG>(chunk.size()), &read) < 0)
                return E_FAIL;
            bytes.insert(bytes.end(), chunk.begin(), chunk.begin() + read);
        } while (read == chunk.size());
        plat::Picture picture;
        DWORD error = plat::DecodePicture(bytes.data(), bytes.size(), 0, 0, &picture);
        if (error)
            return error == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : E_FAIL;
        auto* d = new (std::nothrow) Decoder(std::move(picture));
        if (!d)
            return E_OUTOFMEMORY;
        *decoder = d;
        return S_OK;
    }
    HRESULT GetInstalledDecoders(UINT* count, ImageCodecInfo** decoders) override
    {
        if (!count || !decoders)
            return E_POINTER;
        static const struct {
            LPCWSTR name, format, extension, mime;
        } kinds[] = {{L"Built-in BMP Codec", L"BMP", L"*.BMP;*.DIB", L"image/bmp"},
                     {L"Built-in JPEG Codec", L"JPEG", L"*.JPG;*.JPEG", L"image/jpeg"},
                     {L"Built-in GIF Codec", L"GIF", L"*.GIF", L"image/gif"},
                     {L"Built-in PNG Codec", L"PNG", L"*.PNG", L"image/png"}};
        auto* list = static_cast<ImageCodecInfo*>(CoTaskMemAlloc(sizeof(ImageCodecInfo) * 4));
        if (!list)
            return E_OUTOFMEMORY;
        for (int i = 0; i < 4; ++i)
            list[i] = {GUID_NULL, GUID_NULL, kinds[i].name, L"LumPlatform", kinds[i].format, kinds[i].extension,
                       kinds[i].mime, 0, 1, 0, 0, nullptr, nullptr};
        *count = 4;
        *decoders = list;
        return S_OK;
    }
};

HRESULT MakeFactory(REFIID iid, void** out)
{
    auto* factory = new (std::nothrow) Factory;
    if (!factory)
        return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(iid, out);
    factory->Release();
    return hr;
}

const bool registered = [] {
    plat::RegisterComClass(CLSID_ImagingFactory, MakeFactory);
    return true;
}();

}  // namespace

HRESULT CreateStreamOnHGlobal(HGLOBAL block, BOOL deleteOnRelease, IStream** stream)
{
    if (!stream)
        return E_POINTER;
    if (!block && !(block = GlobalAlloc(GMEM_MOVEABLE, 0)))
        return E_OUTOFMEMORY;
    auto* s = new (std::nothrow) MemoryStream(block, deleteOnRelease);
    if (!s)
        return E_OUTOFMEMORY;
    *stream = s;
    return S_OK;
}
