// The picture decoder object over the picture reader.
#include "plat/picture_decoder.h"

#include <cstring>

#include "com_object.h"
#include "plat/picture.h"

namespace {

// The frame size of a JPEG stream: the first SOF marker's fields.
bool JpegFrameSize(const BYTE* data, DWORD size, int* width, int* height)
{
    if (size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        return false;
    DWORD at = 2;
    while (at + 4 <= size) {
        if (data[at] != 0xFF)
            return false;
        BYTE marker = data[at + 1];
        if (marker == 0xFF) {
            ++at;  // fill byte
            continue;
        }
        DWORD length = static_cast<DWORD>(data[at + 2] << 8 | data[at + 3]);
        bool sof = marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
        if (sof) {
            if (length < 7 || at + 9 > size)
                return false;
            *height = data[at + 5] << 8 | data[at + 6];
            *width = data[at + 7] << 8 | data[at + 8];
            return *width > 0 && *height > 0;
        }
        if (marker == 0xD9 || marker == 0xDA || length < 2)
            return false;
        at += 2 + length;
    }
    return false;
}

class PictureDecoder final : public plat::detail::ComObject<IPictureDecoder> {
public:
    HRESULT GetImageSize(const BYTE* data, DWORD size, int, int* width, int* height) override
    {
        if (!data || !width || !height)
            return E_POINTER;
        return JpegFrameSize(data, size, width, height) ? S_OK : E_FAIL;
    }

    HRESULT Decode(const BYTE* data, DWORD size, int, DWORD, int minWidth, int minHeight, int* width, int* height,
                   DWORD* layoutOut) override
    {
        if (!data || !width || !height || !layoutOut)
            return E_POINTER;
        picture_ = plat::Picture{};
        DWORD error = plat::DecodePicture(data, size, minWidth, minHeight, &picture_);
        if (error)
            return error == ERROR_NOT_ENOUGH_MEMORY ? E_OUTOFMEMORY : E_FAIL;
        // Transparent pixels show the white of a page.
        for (size_t i = 0; i < picture_.alpha.size(); ++i)
            if (picture_.alpha[i] < 128)
                picture_.pixels[i] = 0xFFFF;
        *width = picture_.width;
        *height = picture_.height;
        *layoutOut = kPictureLayoutRgb565;
        return S_OK;
    }

    HRESULT GetPixels(BYTE* plane, DWORD capacity) override
    {
        if (!plane)
            return E_POINTER;
        if (picture_.pixels.empty())
            return E_FAIL;
        size_t bytes = picture_.pixels.size() * 2;
        if (capacity < bytes)
            return E_INVALIDARG;
        std::memcpy(plane, picture_.pixels.data(), bytes);
        return S_OK;
    }

private:
    plat::Picture picture_;
};

const bool registered = [] {
    plat::RegisterComClass(CLSID_PictureDecoder, plat::detail::MakeObject<PictureDecoder>);
    return true;
}();

}  // namespace
