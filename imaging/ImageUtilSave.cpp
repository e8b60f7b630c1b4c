// The JPEG savers of CImageUtil: camera frames and bitmaps through the
// program's encoder, with the EXIF values of the camera, the accelerometer
// and the GPS.
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "ImageUtil.h"
#include "ImagingInternal.h"
#include "acs_control.h"
#include "camera_control.h"
#include "common_control.h"
#include "gps_control.h"
#include "jpeg/JpegEncoder.h"
#include "settings.h"

namespace {

constexpr int kFileQuality[4] = {95, 80, 65, 50};
constexpr int kMemoryQuality[4] = {85, 70, 55, 40};

int QualitySetting()
{
    int q = CCameraControl::GetInstance()->GetCaptureOption();
    return q < 0 || q > 3 ? 0 : q;
}

void CopyText(char* field, size_t size, const char* text) { std::snprintf(field, size, "%s", text); }

// The local time as EXIF writes it.
void StampNow(ExifInfo* exif)
{
    SYSTEMTIME t{};
    GetLocalTime(&t);
    std::snprintf(exif->DateTimeOriginal, sizeof exif->DateTimeOriginal, "%04u:%02u:%02u %02u:%02u:%02u",
                  t.wYear % 10000u, t.wMonth % 100u, t.wDay % 100u, t.wHour % 100u, t.wMinute % 100u,
                  t.wSecond % 100u);
}

// The position goes in only while the GPS is on and its last record has a
// fix: an older position would put the picture somewhere it was not taken.
void FillGps(ExifInfo* exif)
{
    CGPSControl* gps = CGPSControl::GetInstance();
    if (!CSettings::GetInstance()->IsGPSOn() || !gps->HasFix())
        return;
    exif->GpsLatitude = gps->GetLatitude();
    exif->GpsLongitude = gps->GetLongitude();
    exif->GpsAltitude = gps->GetAltitude();
    exif->GpsHasFix = 1;
}

// The camera's own picture: make, model, date, orientation and position.
void FillCameraExif(ExifInfo* exif, uint32_t width, uint32_t height)
{
    CopyText(exif->ExifVersion, sizeof exif->ExifVersion, "0220");
    CopyText(exif->Make, sizeof exif->Make, "VELMORA");
    CopyText(exif->Model, sizeof exif->Model, "VMX-k410");
    StampNow(exif);
    exif->PixelXDimension = width;
    exif->PixelYDimension = height;
    exif->Orientation = static_cast<uint32_t>(CACSControl::GetInstance()->GetACSOrientation());
    // Zero is no valid colour space or resolution: readers reject the file's
    // tags. 72 dots an inch and sRGB are what every viewer assumes anyway.
    exif->XResolution = {72, 1};
    exif->YResolution = {72, 1};
    exif->ResolutionUnit = 2;
    exif->FocalPlaneResolutionUnit = 2;
    exif->ColorSpace = 1;
    FillGps(exif);
}

struct EncoderDeleter {
    void operator()(JpegEncoder* e) const { e->Release(e); }
};
using EncoderPtr = std::unique_ptr<JpegEncoder, EncoderDeleter>;

// A file written under a temporary name and moved over its own name once
// complete, so that no failure leaves a partial picture under the name.
class PictureFile {
public:
    explicit PictureFile(LPCWSTR path) : path_(path), temp_(std::wstring(path) + L".part") {}
    ~PictureFile()
    {
        if (handle_ != INVALID_HANDLE_VALUE) {
            CloseHandle(handle_);
            DeleteFileW(temp_.c_str());
        }
    }
    bool Open()
    {
        handle_ = CreateFileW(temp_.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
        return handle_ != INVALID_HANDLE_VALUE;
    }
    bool Write(const BYTE* data, DWORD size)
    {
        DWORD written = 0;
        return WriteFile(handle_, data, size, &written, nullptr) && written == size;
    }
    bool Commit()
    {
        DebugPrint(L">>>>>>>>>>>>>>>>>>>>>>>>>>FlushFileBuffers(hOutputFile);");
        bool ok = FlushFileBuffers(handle_) != FALSE;
        ok = CloseHandle(handle_) && ok;
        handle_ = INVALID_HANDLE_VALUE;
        if (!ok || !MoveFileExW(temp_.c_str(), path_, MOVEFILE_REPLACE_EXISTING)) {
            DeleteFileW(temp_.c_str());
            return false;
        }
        return true;
    }

private:
    LPCWSTR path_;
    std::wstring temp_;
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Writes chunk after chunk while the encoder has more; any other code than
// 0 and a failed write are the result, and the file is then dropped.
template <class Encode>
HRESULT WriteAll(PictureFile* file, const BYTE* chunk, uint32_t capacity, Encode encode)
{
    for (;;) {
        uint32_t size = capacity;
        int32_t result = encode(&size);
        if (result != 0 && result != kJpegMoreOutput)
            return result;
        if (!file->Write(chunk, size))
            return E_FAIL;
        if (result == 0)
            return file->Commit() ? S_OK : E_FAIL;
    }
}

void FillFromBufferParams(JpegEncodeParams* p, int width, int height, int mode)
{
    p->width = width;
    p->height = height;
    p->bitsPerSample = 8;
    p->inputFormat = mode == 0 ? kJpegYuv420 : kJpegRgb565;
    p->codingMode = 1;
    p->thumbnailKind = 1;
    p->outputMode = 1;
    p->headerKind = 1;
}

}  // namespace

HRESULT CImageUtil::SaveJpegFromBuffer(LPCWSTR path, const BYTE* pixels, int width, int height, int mode)
{
    static constexpr LPCWSTR kWhere = L"CImageUtil::SaveJpegFromBuffer";
    if (!path || !pixels)
        return E_FAIL;
    JpegEncodeParams params{};
    FillFromBufferParams(&params, width, height, mode);
    params.quality = kFileQuality[QualitySetting()];
    params.thumbnailOn = 1;
    params.thumbnailWidth = 320;
    params.thumbnailHeight = 240;
    if (height == 192)
        params.thumbnailWidth = width, params.thumbnailHeight = 192;
    else if (width == 272)
        params.thumbnailWidth = 272, params.thumbnailHeight = height;
    FillCameraExif(&params.exif, static_cast<uint32_t>(width), static_cast<uint32_t>(height));
    CopyText(params.exif.Software, sizeof params.exif.Software, "Orva Camera");

    JpegEncoder* raw = nullptr;
    int32_t created = gCreateJpegImageEncoder(&raw, &params);
    if (created != 0) {
        LogFailure(__LINE__, kWhere, L"gCreateJpegImageEncoder FAILED !!!\r\n");
        return created;
    }
    EncoderPtr encoder(raw);
    if (mode == 0)
        encoder->SetConfig(raw, kJpegConfigChromaSwap, 1);  // camera frames hold Cr before Cb
    uint32_t capacity = 0;
    encoder->GetConfig(raw, kJpegConfigOutputSize, &capacity);
    PictureFile file(path);
    if (!file.Open()) {
        LogFailure(__LINE__, kWhere, L"CreateFile FAILED !!!\r\n");
        return E_FAIL;
    }
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[capacity ? capacity : 1]);
    if (!chunk) {
        LogFailure(__LINE__, kWhere, L"malloc FAILED !!!\r\n");
        return E_OUTOFMEMORY;
    }
    return WriteAll(&file, chunk.get(), capacity,
                    [&](uint32_t* size) { return encoder->Encode(raw, pixels, chunk.get(), size); });
}

DWORD CImageUtil::SaveJpegFromBuffer(BYTE* out, DWORD capacity, const BYTE* pixels, int width, int height,
                                     int mode)
{
    static constexpr LPCWSTR kWhere = L"CImageUtil::SaveJpegFromBuffer";
    if (!out || !pixels)
        return 0;
    JpegEncodeParams params{};
    FillFromBufferParams(&params, width, height, mode);
    params.quality = kMemoryQuality[QualitySetting()];
    params.thumbnailWidth = 102;
    params.thumbnailHeight = 88;
    ExifInfo& e = params.exif;
    CopyText(e.ExifVersion, sizeof e.ExifVersion, "0220");
    CopyText(e.Make, sizeof e.Make, "VELMORA Electronics");
    CopyText(e.Model, sizeof e.Model, "Norvale VMX-k250");
    CopyText(e.Software, sizeof e.Software, "Exif Software Version 1.00a");
    StampNow(&e);
    e.PixelXDimension = static_cast<uint32_t>(width);
    e.PixelYDimension = static_cast<uint32_t>(height);
    e.Orientation = 1;
    e.ColorSpace = 1;
    e.FocalLength = {3254, 10};
    e.ExposureTime = {10, 1};
    e.FNumber = {234, 100};
    e.SubjectDistance = {43, 34};
    e.ExposureBiasValue = {10, 10};
    e.WhiteBalance = CCommonControl::GetInstance()->GetWhiteBalance() != 0 ? 1 : 0;
    e.ExposureProgram = 2;
    e.FocalPlaneXResolution = {221, 100};
    e.FocalPlaneYResolution = {12, 2};
    e.FocalPlaneResolutionUnit = 1;
    e.XResolution = {72, 1};
    e.YResolution = {72, 1};
    e.ResolutionUnit = 1;
    CopyText(e.UserComment, sizeof e.UserComment, "Velmora: Clearly Brighter Now");
    e.DigitalZoomRatio = {1000, 500};

    JpegEncoder* raw = nullptr;
    if (gCreateJpegImageEncoder(&raw, &params) != 0) {
        LogFailure(__LINE__, kWhere, L"gCreateJpegImageEncoder FAILED !!!\r\n");
        return 0;
    }
    EncoderPtr encoder(raw);
    if (mode == 0)
        encoder->SetConfig(raw, kJpegConfigChromaSwap, 1);
    uint32_t chunkSize = 0;
    encoder->GetConfig(raw, kJpegConfigOutputSize, &chunkSize);
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[chunkSize ? chunkSize : 1]);
    if (!chunk) {
        LogFailure(__LINE__, kWhere, L"malloc buffer FAILED !!!\r\n");
        return 0;
    }
    DWORD total = 0;
    for (;;) {
        uint32_t size = chunkSize;
        int32_t result = encoder->Encode(raw, pixels, chunk.get(), &size);
        if (result != 0 && result != kJpegMoreOutput)
            return 0;
        if (size > capacity - total)
            return 0;  // the caller's buffer is full
        std::memcpy(out + total, chunk.get(), size);
        total += size;
        if (result == 0)
            return total;
    }
}

HRESULT CImageUtil::SaveJpegWithFrame(LPCWSTR path, const BYTE* frame, HBITMAP overlay)
{
    void* bits = nullptr;
    HBITMAP picture = CreateRGB565DIBTopDown(320, 240, &bits);
    if (!picture)
        return E_OUTOFMEMORY;
    HRESULT hr = ScaleYUV420ToRGB565(frame, 320, 240, static_cast<WORD*>(bits), 320, 240, 0) == 0 ? S_OK : E_FAIL;
    if (hr == S_OK && overlay) {
        BITMAP bm{};
        GetObjectW(overlay, sizeof bm, &bm);
        HDC dc = CreateCompatibleDC(nullptr);
        HGDIOBJ old = SelectObject(dc, picture);
        TransparentImage(dc, 0, 0, 320, 240, overlay, 0, 0, bm.bmWidth, bm.bmHeight, RGB(255, 0, 255));
        SelectObject(dc, old);
        DeleteDC(dc);
    }
    if (hr == S_OK)
        hr = SaveJpegFromBuffer(path, static_cast<const BYTE*>(bits), 320, 240, 1);
    if (hr != S_OK)
        LogFailure(__LINE__, L"CImageUtil::SaveJpegWithFrame", L"SaveJpegFromBuffer FAILED !!!\r\n");
    DeleteObject(picture);
    return hr;
}

HRESULT CImageUtil::SaveJpegWithThumbnail(LPCWSTR path, const BYTE* still, DWORD length, int)
{
    static constexpr LPCWSTR kWhere = L"CImageUtil::SaveJpegWithThumbnail";
    // Sizes are checked before the file is made.
    if (!path || !still || length <= kStillFrameBytes)
        return E_FAIL;
    uint32_t streamLength = length - kStillFrameBytes;
    if (streamLength > kMaxStillStream) {
        LogFailure(__LINE__, kWhere, L"reading jpg size FAILED  in SaveJpegWithThumbnail()\r\n");
        return E_FAIL;
    }
    JpegEncodeParams params{};
    params.width = 320;
    params.height = 240;
    params.bitsPerSample = 8;
    params.inputFormat = kJpegYuv422;
    params.quality = 80;
    params.codingMode = 1;
    params.activityClassing = 1;
    params.thumbnailOn = 1;
    params.thumbnailKind = 1;
    params.thumbnailWidth = 320;
    params.thumbnailHeight = 240;
    params.outputMode = 0;
    params.headerKind = 1;
    // The picture's size is the wrapped stream's.
    int w = 0, h = 0;
    if (!ReadJpegSize(still, streamLength, &w, &h))
        return E_FAIL;
    FillCameraExif(&params.exif, static_cast<uint32_t>(w), static_cast<uint32_t>(h));

    JpegEncoder* raw = nullptr;
    int32_t created = gCreateJpegImageEncoder(&raw, &params);
    if (created != 0)
        return created;
    EncoderPtr encoder(raw);
    uint32_t capacity = streamLength;
    encoder->GetConfig(raw, kJpegConfigWrapSize, &capacity);
    std::unique_ptr<BYTE[]> chunk(new (std::nothrow) BYTE[capacity ? capacity : 1]);
    if (!chunk)
        return E_OUTOFMEMORY;
    PictureFile file(path);
    if (!file.Open()) {
        LogFailure(__LINE__, kWhere, L"CreateFile FAILED !!!\r\n");
        return E_FAIL;
    }
    JpegSourceStream source{still, streamLength};
    return WriteAll(&file, chunk.get(), capacity, [&](uint32_t* size) {
        return encoder->EncodeToBuffer(raw, &source, still + streamLength, chunk.get(), size);
    });
}
