// What the camera sees: a picture, the pictures of a folder, a test pattern
// or nothing, as HKEY_LOCAL_MACHINE "Platform\Camera" says (read again for
// every frame), rendered as planar frames and still pictures.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <tuple>
#include <vector>

#include "plat/types.h"

namespace plat::cam {

inline constexpr const WCHAR* kCameraKey = L"Platform\\Camera";
// Where the build puts the sample card of the device template.
inline constexpr const WCHAR* kSampleCardPath = L"\\Windows\\Camera\\SampleCard.pgm";

struct RgbPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // R, G, B per pixel, rows top-down
};

// False when the registry says the device has no camera ("none").
bool CameraConfigured();

// JPEG, PNG or binary PGM/PPM, told apart by their first bytes.
bool ReadPicture(const std::filesystem::path& file, RgbPicture* out);

// A baseline 4:2:0 JPEG stream without APP0/APP1 markers.
std::vector<std::uint8_t> EncodeJpeg(const RgbPicture& picture, int quality);

// Planar YCbCr (full range) from RGB: 4:2:0 as Y, Cr, Cb or 4:2:2 as Y, Cb, Cr.
void RgbToYv12(const RgbPicture& picture, std::uint8_t* out);
void RgbToPlanar422(const RgbPicture& picture, std::uint8_t* out);

// Scales the centre of `source` cropped to the target's shape, narrowed by
// the zoom factor (1.0 = whole crop), to width x height.
RgbPicture CropScale(const RgbPicture& source, int width, int height, double zoom);

class Scene {
public:
    enum class Kind { Card, Picture, Folder, Pattern, None };

    // Reads the registry; reloads the picture when the source changed.
    void Refresh();
    bool Present();
    bool FocusWorks();
    // A folder moves on to its next picture (after each still).
    void NextPicture();

    // One preview frame, YV12, of w x h.
    void RenderYv12(int width, int height, double zoom, std::uint32_t frameNumber, std::uint8_t* out);
    // The scene at w x h in RGB, scaled from the source picture (kept while
    // the picture, size and zoom stay: a still scales the picture once).
    std::shared_ptr<const RgbPicture> RenderRgb(int width, int height, double zoom, std::uint32_t frameNumber);
    // Makes and keeps the scene at w x h for the stills to come (a picture
    // source only: the pattern changes with every frame).
    void Prepare(int width, int height, double zoom);

private:
    void LoadCurrent();
    RgbPicture Pattern(int width, int height, std::uint32_t frameNumber) const;

    std::mutex lock_;
    Kind kind_ = Kind::None;
    bool configured_ = false;
    std::wstring source_;
    std::wstring path_;
    DWORD focus_ = 1;
    std::vector<std::filesystem::path> folder_;
    std::size_t folderIndex_ = 0;
    std::shared_ptr<const RgbPicture> picture_;  // decoded source; none: grey frames
    std::uint64_t version_ = 0;
    // Scaled preview frames of the current picture by (w, h, zoom in hundredths).
    std::map<std::tuple<int, int, int>, std::vector<std::uint8_t>> frames_;
    std::map<std::tuple<int, int, int>, std::shared_ptr<const RgbPicture>> stills_;
};

}  // namespace plat::cam
