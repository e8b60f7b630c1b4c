// libFuzzer target: the EXIF reader on one APP1 segment made of the input
// (both as a whole file after SOI and as the bare segment).
#include <cstddef>
#include <cstdint>
#include <vector>

#include "exif/JpegAppReader.h"
#include "jpeg/JpegDecoder.h"
#include "jpeg/JpegDecoderInternal.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // SOI, APP1 with the input as its body, then a frame header of 8 x 8.
    std::vector<uint8_t> file = {0xFF, 0xD8, 0xFF, 0xE1};
    const size_t body = size > 65533 ? 65533 : size;
    file.push_back(static_cast<uint8_t>((body + 2) >> 8));
    file.push_back(static_cast<uint8_t>(body + 2));
    file.insert(file.end(), data, data + body);
    const uint8_t frame[] = {0xFF, 0xC0, 0, 11, 8, 0, 8, 0, 8, 1, 1, 0x11, 0, 0xFF, 0xD9};
    file.insert(file.end(), frame, frame + sizeof(frame));

    JpegByteReader reader(file.data() + 4, file.size() - 4);
    JpegAppRecord record;
    JpegReadExifSegment(reader, record, jpeg::ReadStreamHeader);

    uint16_t width = 0, height = 0;
    uint8_t kind = 0;
    uint32_t length = 0;
    gParseJpegHeader(file.data(), static_cast<uint32_t>(file.size()), &width, &height, &kind, &length);
    JpegDecoder* decoder = nullptr;
    JpegImageInfo info;
    if (gCreateJpegImageDecoder(&decoder, file.data(), static_cast<uint32_t>(file.size()), &info, &kind, &length, 1) ==
        0) {
        decoder->Release(decoder);
    }
    return 0;
}
