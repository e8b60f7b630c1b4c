// EXIF values of the camera files against what exiftool reports for them.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <optional>
#include <string>

#include "JpegDecoderTestSupport.h"
#include "jpeg/JpegDecoder.h"
#include "lumtest/tempdir.h"

namespace {

// The value of "key" in exiftool's one-object JSON, as text (quotes removed).
std::optional<std::string> JsonValue(const std::string& json, const std::string& key) {
    const std::string needle = "\"" + key + "\": ";
    const size_t at = json.find(needle);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    size_t start = at + needle.size();
    if (json[start] == '"') {
        const size_t end = json.find('"', start + 1);
        return json.substr(start + 1, end - start - 1);
    }
    const size_t end = json.find_first_of(",\n}", start);
    return json.substr(start, end - start);
}

std::string Trim(std::string s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) {
        s.pop_back();
    }
    return s;
}

double Ratio(const JpegRational& r) { return r.denominator ? double(r.numerator) / r.denominator : 0; }

TEST(ExifReaderPeer, CameraFilesMatchExiftool) {
    // One exiftool run over the folder: a JSON array, one object per file.
    lumtest::TempDir dir;
    const auto folder = lumtest::TestData("exiftool");
    const auto json = dir.path() / "out.json";
    const std::string command = "exiftool -q -n -j -ext jpg -IFD0:Make -IFD0:Model -IFD0:Orientation "
                                "-IFD0:XResolution -ExifIFD:ExifImageWidth -ExifIFD:FNumber -IFD1:ThumbnailOffset "
                                "-IFD1:ThumbnailLength '" + folder.string() + "' > '" + json.string() + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::vector<uint8_t> raw = jpegtest::ReadFile(json);
    const std::string all(raw.begin(), raw.end());
    int compared = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        if (entry.path().extension() != ".jpg") {
            continue;
        }
        const size_t at = all.find("\"SourceFile\": \"" + entry.path().string() + "\"");
        ASSERT_NE(at, std::string::npos) << entry.path();
        const size_t next = all.find("\"SourceFile\"", at + 1);
        const std::string oracle = all.substr(at, next == std::string::npos ? std::string::npos : next - at);
        const std::vector<uint8_t> jpeg = jpegtest::ReadFile(entry.path());
        JpegDecoder* d = nullptr;
        JpegImageInfo info;
        uint8_t kind = 0;
        uint32_t length = 0;
        if (gCreateJpegImageDecoder(&d, jpeg.data(), static_cast<uint32_t>(jpeg.size()), &info, &kind, &length, 1) != 0) {
            continue;  // frames we do not take (some cameras' 12-bit or lossless files)
        }
        d->Release(d);
        const JpegExifValues& e = info.exif;
        const std::string name = entry.path().filename().string();
        if (auto v = JsonValue(oracle, "Make")) {
            EXPECT_EQ(Trim(e.make), Trim(v->substr(0, 50))) << name;
            ++compared;
        }
        if (auto v = JsonValue(oracle, "Model")) {
            EXPECT_EQ(Trim(e.model), Trim(v->substr(0, 50))) << name;
        }
        if (auto v = JsonValue(oracle, "Orientation")) {
            EXPECT_EQ(e.orientation, std::stoi(*v)) << name;
        }
        if (auto v = JsonValue(oracle, "XResolution")) {
            EXPECT_NEAR(Ratio(e.xResolution), std::stod(*v), 1e-6 * std::stod(*v) + 1e-9) << name;
        }
        if (auto v = JsonValue(oracle, "ExifImageWidth")) {
            EXPECT_EQ(e.pixelXDimension, std::stoul(*v)) << name;
        }
        if (auto v = JsonValue(oracle, "FNumber")) {
            EXPECT_NEAR(Ratio(e.fNumber), std::stod(*v), 0.051) << name;
        }
        const auto offset = JsonValue(oracle, "ThumbnailOffset");
        const auto thumbLength = JsonValue(oracle, "ThumbnailLength");
        if (offset && thumbLength && info.thumbnail.form == kJpegThumbFormExifJpeg) {
            EXPECT_EQ(info.thumbnailOffset, std::stoul(*offset)) << name;
            EXPECT_EQ(length, std::stoul(*thumbLength)) << name;
        }
    }
    EXPECT_GT(compared, 30);
}

}  // namespace
