// Kept apart from the decoder's header, whose result names the encoder's share.
#include "JpegEncoderTestSupport.h"
#include "saver_test_support.h"

namespace savertest {

std::vector<uint8_t> ReferenceJpeg(const uint8_t* pixels, int width, int height, int inputFormat, int quality)
{
    jpegtest::Frame f;
    f.format = inputFormat;
    f.width = width;
    f.height = height;
    f.data.assign(pixels, pixels + static_cast<size_t>(width) * height * 2);
    jpegtest::EncodeResult r = jpegtest::EncodeFrame(f, jpegtest::DefaultParams(width, height, inputFormat, quality));
    return r.code == 0 ? r.stream : std::vector<uint8_t>{};
}

}  // namespace savertest
