#include "jpeg_peer.h"

#include <cstdio>
#include <vector>

#include <jpeglib.h>

std::size_t PeerDecodeRgb565(const std::uint8_t* jpeg, std::size_t size, int denominator)
{
    if (!jpeg || size == 0)
        return 0;
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    cinfo.err = jpeg_std_error(&err);
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, jpeg, size);
    jpeg_read_header(&cinfo, TRUE);
    cinfo.out_color_space = JCS_RGB565;
    cinfo.scale_denom = static_cast<unsigned>(denominator);
    jpeg_start_decompress(&cinfo);
    std::vector<std::uint8_t> pixels(std::size_t{cinfo.output_width} * cinfo.output_height * 2);
    while (cinfo.output_scanline < cinfo.output_height) {
        JSAMPROW row = pixels.data() + std::size_t{cinfo.output_scanline} * cinfo.output_width * 2;
        jpeg_read_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_decompress(&cinfo);
    const std::size_t count = std::size_t{cinfo.output_width} * cinfo.output_height;
    jpeg_destroy_decompress(&cinfo);
    return count;
}
