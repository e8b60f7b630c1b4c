#include "ImageDecoder.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <cwctype>
#include <memory>
#include <mutex>
#include <new>
#include <string>

#include "ImageUtil.h"
#include "ImagingInternal.h"
#include "jpeg/JpegDecoder.h"
#include "pixels/Rgb565.h"
#include "plat/com.h"
#include "plat/fotrix.h"
#include "plat/picture_decoder.h"

namespace {

constexpr DWORD kClassContext = 23;  // in-process server and handler, local server
constexpr int kThumbWidth = 320, kThumbHeight = 240;


struct DecoderDeleter {
    void operator()(JpegDecoder* d) const { d->Release(d); }
};
using DecoderPtr = std::unique_ptr<JpegDecoder, DecoderDeleter>;

// The whole device file; false when it cannot be opened or read.
bool ReadDeviceFile(LPCWSTR path, std::vector<BYTE>* bytes, HRESULT* why = nullptr)
{
    HANDLE h = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        if (why)
            *why = E_HANDLE;
        return false;
    }
    DWORD size = GetFileSize(h, nullptr);
    bool ok = size != INVALID_FILE_SIZE;
    try {
        if (ok)
            bytes->resize(size);
    } catch (const std::bad_alloc&) {
        ok = false;
        if (why)
            *why = E_OUTOFMEMORY;
    }
    DWORD read = 0;
    if (ok && size && (!ReadFile(h, bytes->data(), size, &read, nullptr) || read != size)) {
        ok = false;
        if (why)
            *why = E_FAIL;
    }
    CloseHandle(h);
    return ok;
}

// The thumbnail's RGB565 pixels, packed rows of its true width.
bool DecodeThumbnail(LPCWSTR path, bool grey, std::vector<WORD>* pixels, int* width, int* height)
{
    std::vector<BYTE> file;
    if (!ReadDeviceFile(path, &file)) {
        DebugPrint(L"Input bitstream file open error\n");
        return false;
    }
    if (file.empty()) {
        DebugPrint(L"Stream file is empty \n");
        return false;
    }
    JpegImageInfo info{};
    uint8_t thumbKind = 0;
    uint32_t thumbLength = 0;
    JpegDecoder* raw = nullptr;
    if (gCreateJpegImageDecoder(&raw, file.data(), static_cast<uint32_t>(file.size()), &info, &thumbKind,
                                &thumbLength, 4) != 0) {
        DebugPrint(L"Decoder creation failure \n");
        return false;
    }
    DecoderPtr main(raw);
    if (thumbKind == kJpegThumbNone) {
        DebugPrint(L"Decoder creation failure \n");
        return false;
    }
    const BYTE* at = info.thumbnail.form == kJpegThumbFormRgb ? file.data() : file.data() + info.thumbnailOffset;
    if (at + (info.thumbnail.form == kJpegThumbFormRgb ? 0 : thumbLength) > file.data() + file.size()) {
        DebugPrint(grey ? L"Thumbnail Decoder creation failure \n" : L"Decoder creation failure \n");
        return false;
    }
    JpegThumbnailInfo thumb = info.thumbnail;
    JpegDecoder* rawThumb = nullptr;
    if (gCreateJpegThumbnailDecoder(&rawThumb, at, thumbLength, &thumb) != 0) {
        DebugPrint(grey ? L"Thumbnail Decoder creation failure \n" : L"Decoder creation failure \n");
        return false;
    }
    DecoderPtr thumbDecoder(rawThumb);
    // The buffer takes the decoder's output size; the rows are cut to the
    // thumbnail's own width afterwards.
    int ew = thumb.evenWidth, eh = thumb.evenHeight, w = thumb.width, h = thumb.height;
    std::vector<WORD> even;
    try {
        even.resize(static_cast<size_t>(ew) * eh);
    } catch (const std::bad_alloc&) {
        DebugPrint(L"Thumbnail decoding failed\n");
        return false;
    }
    if (w < 1 || h < 1 ||
        gDecodeJpegImage(thumbDecoder.get(), even.data(), static_cast<uint32_t>(even.size()), &thumb) != 0) {
        DebugPrint(L"Thumbnail decoding failed\n");
        return false;
    }
    pixels->resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        std::copy_n(even.data() + static_cast<size_t>(y) * ew, w, pixels->data() + static_cast<size_t>(y) * w);
    *width = w;
    *height = h;
    return true;
}

const std::array<BYTE, 65536>& GreyTable() { return pixels::ProgramGreyTable(); }

std::wstring LowerExtension(LPCWSTR path)
{
    std::wstring p(path ? path : L"");
    size_t dot = p.rfind(L'.');
    std::wstring ext = dot == std::wstring::npos ? L"" : p.substr(dot);
    for (wchar_t& c : ext)
        c = static_cast<wchar_t>(std::towlower(c));
    return ext;
}

// Fit of a decoded size into the target, mode 2, targets rounded down to even.
FitRect FitInto(int w, int h, int targetWidth, int targetHeight)
{
    FitRect fit{};
    fit.srcWidth = w;
    fit.srcHeight = h;
    fit.cropWidth = w;
    fit.cropHeight = h;
    fit.targetWidth = targetWidth & ~1;
    fit.targetHeight = targetHeight & ~1;
    fit.fitMode = 2;
    CalcFitRect(&fit);
    return fit;
}

HRESULT DecodePicture(LPCWSTR path, const std::wstring& ext, int targetWidth, int targetHeight, VideoFrame* frame,
                      int* width, int* height)
{
    ComPtr<IPictureDecoder> decoder;
    HRESULT hr = CoCreateInstance(CLSID_PictureDecoder, nullptr, kClassContext, IID_IPictureDecoder,
                                  reinterpret_cast<void**>(decoder.GetAddressOf()));
    if (FAILED(hr))
        return hr;
    std::vector<BYTE> file;
    hr = S_OK;
    if (!ReadDeviceFile(path, &file, &hr))
        return hr;
    int minWidth = 0, minHeight = 0;
    if (ext == L".jpg" || ext == L".jpeg") {
        int w = 0, h = 0;
        if (SUCCEEDED(decoder->GetImageSize(file.data(), static_cast<DWORD>(file.size()), kPictureJpeg, &w, &h))) {
            *width = w;
            *height = h;
            // The scaled decode must still cover what the fit asks for.
            FitRect fit = FitInto(w, h, targetWidth, targetHeight);
            minWidth = std::min(fit.outWidth, w);
            minHeight = std::min(fit.outHeight, h);
        }
    }
    int kind = ext == L".bmp" ? kPictureBmp : ext == L".png" ? kPicturePng : ext == L".gif" ? kPictureGif : kPictureJpeg;
    int w = 0, h = 0;
    DWORD layout = 0;
    hr = decoder->Decode(file.data(), static_cast<DWORD>(file.size()), kind, kFrameRgb16, minWidth, minHeight, &w, &h,
                         &layout);
    if (FAILED(hr))
        return hr;
    if (layout == 1)
        layout = kFrameRgb16;
    if (AllocVideoFrame(frame, w, h, layout) != 0)
        return E_OUTOFMEMORY;
    hr = decoder->GetPixels(frame->mPlane[0], frame->mLength);
    if (FAILED(hr)) {
        FreeVideoFrame(frame);
        return hr;
    }
    if (!*width) {
        *width = w;
        *height = h;
    }
    return S_OK;
}

}  // namespace

void CalcFitRect(FitRect* f)
{
    if (!f || f->srcWidth <= 0 || f->srcHeight <= 0)
        return;
    float tw = static_cast<float>(f->targetWidth), th = static_cast<float>(f->targetHeight);
    if (f->fitMode == 0 || f->fitMode == 2) {
        float sx = tw / f->srcWidth, sy = th / f->srcHeight;
        if (sx < sy) {
            int h = static_cast<int>(f->srcHeight * sx);
            f->outLeft = f->targetLeft, f->outTop = f->targetTop + (f->targetHeight - h) / 2;
            f->outWidth = f->targetWidth, f->outHeight = h, f->scale = sx;
        } else if (sx > sy) {
            int w = static_cast<int>(f->srcWidth * sy);
            f->outLeft = f->targetLeft + (f->targetWidth - w) / 2, f->outTop = f->targetTop;
            f->outWidth = w, f->outHeight = f->targetHeight, f->scale = sy;
        } else {
            f->outLeft = f->targetLeft, f->outTop = f->targetTop;
            f->outWidth = f->targetWidth, f->outHeight = f->targetHeight, f->scale = sy;
        }
    } else if (f->fitMode == 1 || f->fitMode == 3) {
        float sx = tw / f->srcHeight, sy = th / f->srcWidth;
        if (sx < sy) {
            int w = static_cast<int>(f->srcWidth * sx);
            f->outLeft = f->targetLeft, f->outTop = f->targetTop + (f->targetHeight - w) / 2;
            f->outWidth = w, f->outHeight = f->targetWidth, f->scale = sx;
        } else if (sx > sy) {
            int h = static_cast<int>(f->srcHeight * sy);
            f->outLeft = f->targetLeft + (f->targetWidth - h) / 2, f->outTop = f->targetTop;
            f->outWidth = f->targetHeight, f->outHeight = h, f->scale = sy;
        } else {
            f->outLeft = f->targetLeft, f->outTop = f->targetTop;
            f->outWidth = f->targetHeight, f->outHeight = f->targetWidth, f->scale = sy;
        }
    }
}

int FlipRows16bpp(const void*, void* pixels, int width, int height)
{
    if (!pixels || width <= 0 || height <= 0)
        return 0;
    size_t rowBytes = static_cast<size_t>(width) * 2;
    std::unique_ptr<BYTE[]> row(new (std::nothrow) BYTE[rowBytes]);
    if (!row)
        return 0;
    BYTE* p = static_cast<BYTE*>(pixels);
    for (int top = 0, bottom = height - 1; top < bottom; ++top, --bottom) {
        std::memcpy(row.get(), p + top * rowBytes, rowBytes);
        std::memcpy(p + top * rowBytes, p + bottom * rowBytes, rowBytes);
        std::memcpy(p + bottom * rowBytes, row.get(), rowBytes);
    }
    return 1;
}

BYTE CImageDecoder::GreyOf(WORD rgb565) { return GreyTable()[rgb565]; }

CImageDecoder* CImageDecoder::GetInstance()
{
    static std::mutex lock;
    static CImageDecoder* instance = nullptr;
    std::lock_guard<std::mutex> guard(lock);
    if (!instance)
        instance = new CImageDecoder();
    return instance;
}

BYTE* CImageDecoder::DecodeJpegThumbnailToGray(LPCWSTR path)
{
    std::vector<WORD> rgb;
    int w = 0, h = 0;
    if (!DecodeThumbnail(path, true, &rgb, &w, &h))
        return nullptr;
    // Callers read 320 x 240 bytes whatever the thumbnail's size.
    std::vector<WORD> sized(static_cast<size_t>(kThumbWidth) * kThumbHeight);
    if (w == kThumbWidth && h == kThumbHeight)
        sized.swap(rgb);
    else if (gScaleRGB565CroppedFrame(rgb.data(), w, h, 0, 0, w, h, sized.data(), kThumbWidth, kThumbHeight) != 0)
        return nullptr;
    auto* grey = static_cast<BYTE*>(std::calloc(sized.size(), 1));
    if (!grey)
        return nullptr;
    const auto& table = GreyTable();
    for (size_t i = 0; i < sized.size(); ++i)
        grey[i] = table[sized[i]];
    return grey;
}

HBITMAP CImageDecoder::DecodeJpegThumbnailToDIB(LPCWSTR path)
{
    std::vector<WORD> rgb;
    int w = 0, h = 0;
    if (!DecodeThumbnail(path, false, &rgb, &w, &h))
        return nullptr;
    // The section is bottom-up: its first row is the picture's last.
    if (!FlipRows16bpp(nullptr, rgb.data(), w, h))
        return nullptr;
    return CImageUtil::CreateRGB565DIBFromBuffer(rgb.data(), w, h);
}

HRESULT CImageDecoder::DecodeFile(LPCWSTR path, int targetWidth, int targetHeight, DWORD* layout,
                                  VideoFrame* frame, int* width, int* height, DWORD* extra, BOOL keepSize)
{
    if (!path || !layout || !frame || !width || !height)
        return E_POINTER;
    if (targetWidth < 2 || targetHeight < 2)
        return E_INVALIDARG;
    std::wstring ext = LowerExtension(path);
    *width = *height = 0;
    FrameGuard decoded;
    HRESULT hr;
    if (ext == L".avi" || ext == L".3gp" || ext == L".mp4" || ext == L".3gpp" || ext == L".3g2") {
        if (extra)
            *extra = 0;
        hr = DecodeVideoFirstFrame(path, ext == L".avi", &decoded.frame, width, height, extra);
    } else if (ext == L".bmp" || ext == L".png" || ext == L".gif" || ext == L".jpg" || ext == L".jpeg") {
        hr = DecodePicture(path, ext, targetWidth, targetHeight, &decoded.frame, width, height);
        if (extra)
            *extra = 0;
    } else {
        return E_INVALIDARG;
    }
    if (FAILED(hr))
        return hr;
    decoded.held = true;

    const VideoFrame& src = decoded.frame;
    FitRect fit = FitInto(src.mWidth, src.mHeight, targetWidth, targetHeight);
    int ow = fit.outWidth, oh = fit.outHeight;
    if (!keepSize && fit.scale > 1.0f) {
        ow = static_cast<int>(ow / fit.scale);
        oh = static_cast<int>(oh / fit.scale);
    }
    ow = std::max(2, (ow + 1) & ~1);
    oh = std::max(1, oh);
    VideoFrame out{};
    if (AllocVideoFrame(&out, ow, oh, src.mLayout) != 0)
        return E_OUTOFMEMORY;
    int scaled;
    if (src.mLayout == kFrameRgb16) {
        scaled = gScaleRGB565CroppedFrame(reinterpret_cast<const WORD*>(src.mPlane[0]), src.mWidth, src.mHeight, 0, 0,
                                          src.mWidth, src.mHeight, reinterpret_cast<WORD*>(out.mPlane[0]), ow, oh);
    } else {
        GFrameInfo from{src.mPlane[0], src.mPlane[1], src.mPlane[2], src.mWidth, src.mHeight, {0, 0, 0}};
        GFrameInfo to{out.mPlane[0], out.mPlane[1], out.mPlane[2], static_cast<WORD>(ow), static_cast<WORD>(oh),
                      {0, 0, 0}};
        scaled = gScaleCroppedFrame(&from, 0, 0, src.mWidth, src.mHeight, &to);
    }
    if (scaled != 0) {
        FreeVideoFrame(&out);
        return E_FAIL;
    }
    *frame = out;
    *layout = out.mLayout;
    return S_OK;
}

HBITMAP CImageDecoder::DecodeFileToDIB(HDC, LPCWSTR path, int targetWidth, int targetHeight, DWORD* extra,
                                       int* width, int* height, BOOL keepSize)
{
    DWORD layout = kFrameDecoderOwn;
    FrameGuard frame;
    int w = 0, h = 0;
    if (FAILED(DecodeFile(path, targetWidth, targetHeight, &layout, &frame.frame, &w, &h, extra, keepSize)))
        return nullptr;
    frame.held = true;
    if (width)
        *width = w;
    if (height)
        *height = h;
    const VideoFrame& f = frame.frame;
    if (!f.mPlane[0])
        return nullptr;
    RGB565BITMAPINFO info;
    CImageUtil::InitRGB565BitmapInfo(&info);
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), f.mWidth, f.mHeight, 1, 16, BI_BITFIELDS, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!dib)
        return nullptr;
    if (f.mLayout != kFrameYCbCr420 && f.mLayout != kFrameRgb16)
        return dib;
    // A half turn, then a left-right mirror: the rows come out bottom-up.
    std::vector<WORD> temp(static_cast<size_t>(f.mWidth) * f.mHeight);
    int ok;
    if (f.mLayout == kFrameYCbCr420) {
        // Camera layout: Cr is the plane at W*H, Cb the one after it.
        GFrameInfo rec{f.mPlane[0], f.mPlane[2], f.mPlane[1], f.mWidth, f.mHeight, {0, 0, 0}};
        ok = gYUV420toRGB16Rotate(&rec, temp.data(), f.mWidth, f.mHeight, 0, 0, 0, 0, f.mWidth, f.mHeight, 2);
    } else {
        ok = gRotateRGB16(reinterpret_cast<const WORD*>(f.mPlane[0]), temp.data(), f.mWidth, f.mHeight, 0, 0,
                          f.mWidth, f.mHeight, 0, 0, f.mWidth, f.mHeight, 2);
    }
    if (ok == 0)
        ok = gMirrorImageRGB565(temp.data(), static_cast<WORD*>(bits), f.mWidth, f.mHeight, 0);
    if (ok != 0) {
        DeleteObject(dib);
        return nullptr;
    }
    return dib;
}

HBITMAP CImageDecoder::DecodeFileToDIB(LPCWSTR path, int targetWidth, int targetHeight, DWORD* extra, int* width,
                                       int* height, BOOL keepSize)
{
    return DecodeFileToDIB(nullptr, path, targetWidth, targetHeight, extra, width, height, keepSize);
}

bool CImageDecoder::DecodeFileToGray(LPCWSTR path, int width, int height, std::vector<BYTE>* grey)
{
    if (!grey || width < 2 || height < 2)
        return false;
    DWORD layout = kFrameRgb16;
    FrameGuard frame;
    int w = 0, h = 0;
    if (FAILED(DecodeFile(path, width, height, &layout, &frame.frame, &w, &h, nullptr, TRUE)))
        return false;
    frame.held = true;
    const VideoFrame& f = frame.frame;
    if (f.mLayout != kFrameRgb16)
        return false;
    grey->assign(static_cast<size_t>(width) * height, 0xFF);  // white around the picture
    int left = (width - f.mWidth) / 2, top = (height - f.mHeight) / 2;
    const auto* px = reinterpret_cast<const WORD*>(f.mPlane[0]);
    const auto& table = GreyTable();
    for (int y = 0; y < f.mHeight && top + y < height; ++y)
        for (int x = 0; x < f.mWidth && left + x < width; ++x)
            if (top + y >= 0 && left + x >= 0)
                (*grey)[static_cast<size_t>(top + y) * width + left + x] = table[px[static_cast<size_t>(y) * f.mWidth + x]];
    return true;
}
