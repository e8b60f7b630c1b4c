// Reading PNG files in tests with libpng, as any viewer would.
#pragma once

#include <png.h>

#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

struct PngFile {
    png_uint_32 width = 0, height = 0;
    int colourType = 0;
    std::vector<std::vector<png_byte>> rows;
};

bool ReadPng(const std::filesystem::path& path, PngFile* out)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f)
        return false;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_read_png(png, info, PNG_TRANSFORM_IDENTITY, nullptr);
    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    out->colourType = png_get_color_type(png, info);
    png_bytepp rows = png_get_rows(png, info);
    size_t bytes = png_get_rowbytes(png, info);
    for (png_uint_32 y = 0; y < out->height; ++y)
        out->rows.emplace_back(rows[y], rows[y] + bytes);
    png_destroy_read_struct(&png, &info, nullptr);
    std::fclose(f);
    return true;
}

}  // namespace
