// The camera's scene: picture files read with libjpeg-turbo and libpng,
// cropped and scaled, the test pattern, and the colour conversions.
#include "camera_scene.h"

#include <jpeglib.h>
#include <png.h>

#include <algorithm>
#include <cmath>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <fstream>

#include "plat/debug.h"
#include "plat/device.h"
#include "plat/registry.h"
#include "plat/utf.h"

namespace plat::cam {

namespace {

struct JpegError {
    jpeg_error_mgr mgr;
    std::jmp_buf jump;
};

void JpegFail(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegError*>(info->err)->jump, 1);
}

bool ReadJpeg(const std::vector<std::uint8_t>& bytes, RgbPicture* out)
{
    jpeg_decompress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = JpegFail;
    if (setjmp(error.jump)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes.data(), static_cast<unsigned long>(bytes.size()));
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    out->width = static_cast<int>(info.output_width);
    out->height = static_cast<int>(info.output_height);
    out->rgb.assign(static_cast<std::size_t>(out->width) * out->height * 3, 0);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = out->rgb.data() + static_cast<std::size_t>(info.output_scanline) * out->width * 3;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

bool ReadPng(const std::vector<std::uint8_t>& bytes, RgbPicture* out)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_memory(&image, bytes.data(), bytes.size())) return false;
    image.format = PNG_FORMAT_RGB;
    out->width = static_cast<int>(image.width);
    out->height = static_cast<int>(image.height);
    out->rgb.assign(PNG_IMAGE_SIZE(image), 0);
    if (!png_image_finish_read(&image, nullptr, out->rgb.data(), 0, nullptr)) {
        png_image_free(&image);
        return false;
    }
    return true;
}

// Binary PGM (P5) and PPM (P6) with 8-bit samples.
bool ReadPnm(const std::vector<std::uint8_t>& bytes, RgbPicture* out)
{
    std::size_t pos = 2;
    auto number = [&](long* v) {
        for (;;) {
            while (pos < bytes.size() && std::isspace(bytes[pos])) ++pos;
            if (pos < bytes.size() && bytes[pos] == '#') {
                while (pos < bytes.size() && bytes[pos] != '\n') ++pos;
                continue;
            }
            break;
        }
        long n = 0;
        bool any = false;
        while (pos < bytes.size() && std::isdigit(bytes[pos]) && n < 100000) {
            n = n * 10 + (bytes[pos++] - '0');
            any = true;
        }
        *v = n;
        return any;
    };
    const bool grey = bytes[1] == '5';
    long w = 0, h = 0, maxval = 0;
    if (!number(&w) || !number(&h) || !number(&maxval) || w <= 0 || h <= 0 || maxval != 255) return false;
    ++pos;  // the single white space before the samples
    const std::size_t channels = grey ? 1 : 3;
    const std::size_t need = static_cast<std::size_t>(w) * static_cast<std::size_t>(h) * channels;
    if (bytes.size() < pos || bytes.size() - pos < need) return false;
    out->width = static_cast<int>(w);
    out->height = static_cast<int>(h);
    out->rgb.resize(static_cast<std::size_t>(w) * h * 3);
    const std::uint8_t* src = bytes.data() + pos;
    if (grey) {
        for (std::size_t i = 0; i < static_cast<std::size_t>(w) * h; ++i)
            out->rgb[3 * i] = out->rgb[3 * i + 1] = out->rgb[3 * i + 2] = src[i];
    } else {
        std::memcpy(out->rgb.data(), src, need);
    }
    return true;
}

inline std::uint8_t Clamp(int v) { return static_cast<std::uint8_t>(v < 0 ? 0 : v > 255 ? 255 : v); }

// Full-range YCbCr in 16.16 fixed point.
inline int Luma(int r, int g, int b) { return (19595 * r + 38470 * g + 7471 * b + 32768) >> 16; }
inline int Cb(int r, int g, int b) { return ((-11059 * r - 21709 * g + 32768 * b + 32768) >> 16) + 128; }
inline int Cr(int r, int g, int b) { return ((32768 * r - 27439 * g - 5329 * b + 32768) >> 16) + 128; }

std::wstring ReadString(const WCHAR* name)
{
    WCHAR buffer[MAX_PATH + 1] = {};
    if (FAILED(RegistryGetString(HKEY_LOCAL_MACHINE, kCameraKey, name, buffer, MAX_PATH + 1))) return {};
    return buffer;
}

std::wstring Lower(std::wstring s)
{
    for (auto& c : s) c = static_cast<WCHAR>(std::towlower(c));
    return s;
}

bool IsPictureName(const std::filesystem::path& p)
{
    const std::wstring ext = Lower(p.extension().wstring());
    return ext == L".jpg" || ext == L".jpeg" || ext == L".png" || ext == L".pgm" || ext == L".ppm";
}

// The 3 x 5 digits of the pattern's frame number.
constexpr std::uint16_t kDigits[10] = {0x7B6F, 0x2492, 0x73E7, 0x73CF, 0x5BC9, 0x79CF, 0x79EF, 0x7249, 0x7BEF, 0x7BCF};

}  // namespace

bool CameraConfigured()
{
    return Lower(ReadString(L"Source")) != L"none";
}

bool ReadPicture(const std::filesystem::path& file, RgbPicture* out)
{
    std::ifstream in(file, std::ios::binary);
    if (!in) return false;
    std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (bytes.size() < 8) return false;
    RgbPicture picture;
    bool ok = false;
    if (bytes[0] == 0xFF && bytes[1] == 0xD8)
        ok = ReadJpeg(bytes, &picture);
    else if (bytes[0] == 0x89 && bytes[1] == 'P' && bytes[2] == 'N' && bytes[3] == 'G')
        ok = ReadPng(bytes, &picture);
    else if (bytes[0] == 'P' && (bytes[1] == '5' || bytes[1] == '6'))
        ok = ReadPnm(bytes, &picture);
    if (!ok || picture.width <= 0 || picture.height <= 0) return false;
    *out = std::move(picture);
    return true;
}

std::vector<std::uint8_t> EncodeJpeg(const RgbPicture& picture, int quality)
{
    jpeg_compress_struct info{};
    JpegError error{};
    info.err = jpeg_std_error(&error.mgr);
    error.mgr.error_exit = JpegFail;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(error.jump)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.write_JFIF_header = FALSE;  // the program writes its own EXIF block
    info.comp_info[0].h_samp_factor = 2;
    info.comp_info[0].v_samp_factor = 2;
    for (int c = 1; c < 3; ++c) info.comp_info[c].h_samp_factor = info.comp_info[c].v_samp_factor = 1;
    info.dct_method = JDCT_ISLOW;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<std::uint8_t*>(picture.rgb.data()) +
                       static_cast<std::size_t>(info.next_scanline) * picture.width * 3;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::vector<std::uint8_t> out(buffer, buffer + size);
    std::free(buffer);
    return out;
}

void RgbToYv12(const RgbPicture& p, std::uint8_t* out)
{
    const int w = p.width, h = p.height;
    std::uint8_t* y = out;
    std::uint8_t* cr = out + static_cast<std::size_t>(w) * h;
    std::uint8_t* cb = cr + static_cast<std::size_t>(w / 2) * (h / 2);
    const std::uint8_t* s = p.rgb.data();
    for (int row = 0; row < h; ++row) {
        const std::uint8_t* line = s + static_cast<std::size_t>(row) * w * 3;
        for (int x = 0; x < w; ++x) y[static_cast<std::size_t>(row) * w + x] = Clamp(Luma(line[3 * x], line[3 * x + 1], line[3 * x + 2]));
    }
    for (int row = 0; row < h / 2; ++row) {
        const std::uint8_t* a = s + static_cast<std::size_t>(2 * row) * w * 3;
        const std::uint8_t* b = a + static_cast<std::size_t>(w) * 3;
        for (int x = 0; x < w / 2; ++x) {
            const int r = (a[6 * x] + a[6 * x + 3] + b[6 * x] + b[6 * x + 3] + 2) >> 2;
            const int g = (a[6 * x + 1] + a[6 * x + 4] + b[6 * x + 1] + b[6 * x + 4] + 2) >> 2;
            const int bl = (a[6 * x + 2] + a[6 * x + 5] + b[6 * x + 2] + b[6 * x + 5] + 2) >> 2;
            cb[static_cast<std::size_t>(row) * (w / 2) + x] = Clamp(Cb(r, g, bl));
            cr[static_cast<std::size_t>(row) * (w / 2) + x] = Clamp(Cr(r, g, bl));
        }
    }
}

void RgbToPlanar422(const RgbPicture& p, std::uint8_t* out)
{
    const int w = p.width, h = p.height;
    std::uint8_t* y = out;
    std::uint8_t* cb = out + static_cast<std::size_t>(w) * h;
    std::uint8_t* cr = cb + static_cast<std::size_t>(w / 2) * h;
    for (int row = 0; row < h; ++row) {
        const std::uint8_t* a = p.rgb.data() + static_cast<std::size_t>(row) * w * 3;
        for (int x = 0; x < w; ++x) y[static_cast<std::size_t>(row) * w + x] = Clamp(Luma(a[3 * x], a[3 * x + 1], a[3 * x + 2]));
        for (int x = 0; x < w / 2; ++x) {
            const int r = (a[6 * x] + a[6 * x + 3] + 1) >> 1;
            const int g = (a[6 * x + 1] + a[6 * x + 4] + 1) >> 1;
            const int b = (a[6 * x + 2] + a[6 * x + 5] + 1) >> 1;
            cb[static_cast<std::size_t>(row) * (w / 2) + x] = Clamp(Cb(r, g, b));
            cr[static_cast<std::size_t>(row) * (w / 2) + x] = Clamp(Cr(r, g, b));
        }
    }
}

RgbPicture CropScale(const RgbPicture& src, int width, int height, double zoom)
{
    RgbPicture out;
    out.width = width;
    out.height = height;
    out.rgb.assign(static_cast<std::size_t>(width) * height * 3, 128);
    if (src.width <= 0 || src.height <= 0 || width <= 0 || height <= 0) return out;
    // The largest centred region of the target's shape, narrowed by the zoom.
    double cw = src.width, ch = src.height;
    if (cw * height > ch * width)
        cw = ch * width / height;
    else
        ch = cw * height / width;
    zoom = std::max(1.0, zoom);
    cw /= zoom;
    ch /= zoom;
    const double x0 = (src.width - cw) / 2, y0 = (src.height - ch) / 2;
    const double sx = cw / width, sy = ch / height;
    // Each target pixel averages the source pixels it covers (at most 4 x 4
    // samples spread over the area), so that reductions do not alias.
    const int nx = std::clamp(static_cast<int>(std::ceil(sx)), 1, 4);
    const int ny = std::clamp(static_cast<int>(std::ceil(sy)), 1, 4);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* dst = out.rgb.data() + static_cast<std::size_t>(y) * width * 3;
        for (int x = 0; x < width; ++x) {
            int acc[3] = {0, 0, 0};
            for (int j = 0; j < ny; ++j) {
                const double fy = y0 + (y + (j + 0.5) / ny) * sy;
                const int iy = std::clamp(static_cast<int>(fy), 0, src.height - 1);
                for (int i = 0; i < nx; ++i) {
                    const double fx = x0 + (x + (i + 0.5) / nx) * sx;
                    const int ix = std::clamp(static_cast<int>(fx), 0, src.width - 1);
                    const std::uint8_t* p = src.rgb.data() + (static_cast<std::size_t>(iy) * src.width + ix) * 3;
                    acc[0] += p[0];
                    acc[1] += p[1];
                    acc[2] += p[2];
                }
            }
            const int n = nx * ny;
            for (int c = 0; c < 3; ++c) dst[3 * x + c] = static_cast<std::uint8_t>((acc[c] + n / 2) / n);
        }
    }
    return out;
}

void Scene::Refresh()
{
    std::wstring source = Lower(ReadString(L"Source"));
    std::wstring path = ReadString(L"Path");
    DWORD focus = 1;
    if (FAILED(RegistryGetDWORD(HKEY_LOCAL_MACHINE, kCameraKey, L"Focus", &focus))) focus = 1;
    std::lock_guard lock(lock_);
    focus_ = focus;
    if (configured_ && source == source_ && path == path_) return;
    configured_ = true;
    source_ = source;
    path_ = path;
    if (source.empty())
        kind_ = Kind::Card;
    else if (source == L"picture")
        kind_ = Kind::Picture;
    else if (source == L"folder")
        kind_ = Kind::Folder;
    else if (source == L"pattern")
        kind_ = Kind::Pattern;
    else if (source == L"none")
        kind_ = Kind::None;
    else {
        plat::DebugLine(L"Camera: unknown source \"%ls\", showing the pattern", source.c_str());
        kind_ = Kind::Pattern;
    }
    folder_.clear();
    folderIndex_ = 0;
    if (kind_ == Kind::Folder) {
        if (auto dir = MapDevicePath(path.c_str())) {
            std::error_code ec;
            for (const auto& e : std::filesystem::directory_iterator(*dir, ec))
                if (e.is_regular_file() && IsPictureName(e.path())) folder_.push_back(e.path());
            std::sort(folder_.begin(), folder_.end(),
                      [](const auto& a, const auto& b) { return Lower(a.filename().wstring()) < Lower(b.filename().wstring()); });
        }
    }
    LoadCurrent();
}

void Scene::LoadCurrent()
{
    picture_.reset();
    frames_.clear();
    stills_.clear();
    ++version_;
    std::filesystem::path file;
    std::wstring shown;
    if (kind_ == Kind::Card || kind_ == Kind::Picture) {
        shown = kind_ == Kind::Card ? kSampleCardPath : path_;
        if (auto p = MapDevicePath(shown.c_str())) file = *p;
    } else if (kind_ == Kind::Folder) {
        shown = path_;
        if (folder_.empty()) {
            plat::DebugLine(L"Camera: no pictures in \"%ls\", grey frames", path_.c_str());
            return;
        }
        file = folder_[folderIndex_ % folder_.size()];
        shown = file.filename().wstring();
    } else {
        return;
    }
    RgbPicture read;
    if (file.empty() || !ReadPicture(file, &read)) {
        plat::DebugLine(L"Camera: cannot read the picture \"%ls\", grey frames", shown.c_str());
        return;
    }
    picture_ = std::make_shared<const RgbPicture>(std::move(read));
}

bool Scene::Present()
{
    std::lock_guard lock(lock_);
    return kind_ != Kind::None;
}

bool Scene::FocusWorks()
{
    std::lock_guard lock(lock_);
    return focus_ != 0;
}

void Scene::NextPicture()
{
    std::lock_guard lock(lock_);
    if (kind_ != Kind::Folder || folder_.size() < 2) return;
    folderIndex_ = (folderIndex_ + 1) % folder_.size();
    LoadCurrent();
}

RgbPicture Scene::Pattern(int width, int height, std::uint32_t frameNumber) const
{
    RgbPicture p;
    p.width = width;
    p.height = height;
    p.rgb.resize(static_cast<std::size_t>(width) * height * 3);
    static constexpr std::uint8_t bars[8][3] = {{255, 255, 255}, {255, 255, 0}, {0, 255, 255}, {0, 255, 0},
                                                {255, 0, 255},   {255, 0, 0},   {0, 0, 255},   {0, 0, 0}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const auto* c = bars[x * 8 / width];
            std::memcpy(&p.rgb[(static_cast<std::size_t>(y) * width + x) * 3], c, 3);
        }
    // A marker that moves one step a frame along the bottom quarter.
    const int size = std::max(2, height / 8);
    const int span = std::max(1, width - size);
    const int mx = static_cast<int>((frameNumber * 4u) % static_cast<std::uint32_t>(span));
    for (int y = height - 2 * size; y < height - size && y >= 0; ++y)
        for (int x = mx; x < mx + size && x < width; ++x) {
            auto* px = &p.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
            px[0] = px[1] = px[2] = (x - mx < size / 2) ? 255 : 0;
        }
    // The frame number, top left, in 3 x 5 digits.
    const int scale = std::max(1, height / 60);
    const std::string digits = std::to_string(frameNumber);
    for (std::size_t d = 0; d < digits.size(); ++d) {
        const std::uint16_t glyph = kDigits[digits[d] - '0'];
        for (int gy = 0; gy < 5; ++gy)
            for (int gx = 0; gx < 3; ++gx) {
                const bool on = glyph & (1u << (14 - (gy * 3 + gx)));
                for (int sy = 0; sy < scale; ++sy)
                    for (int sx = 0; sx < scale; ++sx) {
                        const int x = 2 * scale + static_cast<int>(d) * 4 * scale + gx * scale + sx;
                        const int y = 2 * scale + gy * scale + sy;
                        if (x >= width || y >= height) continue;
                        auto* px = &p.rgb[(static_cast<std::size_t>(y) * width + x) * 3];
                        px[0] = px[1] = px[2] = on ? 0 : 255;
                    }
            }
    }
    return p;
}

void Scene::RenderYv12(int width, int height, double zoom, std::uint32_t frameNumber, std::uint8_t* out)
{
    std::unique_lock lock(lock_);
    if (kind_ == Kind::Pattern) {
        lock.unlock();
        RgbToYv12(Pattern(width, height, frameNumber), out);
        return;
    }
    const std::size_t size = static_cast<std::size_t>(width) * height * 3 / 2;
    const auto key = std::make_tuple(width, height, static_cast<int>(std::lround(zoom * 100)));
    auto it = frames_.find(key);
    if (it == frames_.end()) {
        std::vector<std::uint8_t> frame(size, 128);
        if (picture_) RgbToYv12(CropScale(*picture_, width, height, zoom), frame.data());
        if (frames_.size() > 8) frames_.clear();
        it = frames_.emplace(key, std::move(frame)).first;
    }
    std::memcpy(out, it->second.data(), size);
}

std::shared_ptr<const RgbPicture> Scene::RenderRgb(int width, int height, double zoom, std::uint32_t frameNumber)
{
    std::unique_lock lock(lock_);
    if (kind_ == Kind::Pattern) {
        lock.unlock();
        return std::make_shared<const RgbPicture>(Pattern(width, height, frameNumber));
    }
    const auto key = std::make_tuple(width, height, static_cast<int>(std::lround(zoom * 100)));
    if (auto it = stills_.find(key); it != stills_.end()) return it->second;
    const std::shared_ptr<const RgbPicture> source = picture_;
    const std::uint64_t version = version_;
    // Scaled without the lock: the preview's frames go on meanwhile.
    lock.unlock();
    auto picture = std::make_shared<RgbPicture>();
    if (!source) {
        picture->width = width;
        picture->height = height;
        picture->rgb.assign(static_cast<std::size_t>(width) * height * 3, 128);
    } else {
        *picture = CropScale(*source, width, height, zoom);
    }
    lock.lock();
    if (version == version_) {  // kept only while the source is the one scaled
        if (stills_.size() > 4) stills_.clear();
        stills_.emplace(key, picture);
    }
    return picture;
}

void Scene::Prepare(int width, int height, double zoom)
{
    {
        std::lock_guard lock(lock_);
        if (kind_ == Kind::Pattern || kind_ == Kind::None) return;
    }
    RenderRgb(width, height, zoom, 0);
}

}  // namespace plat::cam
