// The commands of jpegtool and what they share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace jpegtool {

// Each command takes its own arguments (after the command name) and returns
// the process exit code.
int Decode(const std::vector<std::string>& args);
int Info(const std::vector<std::string>& args);
int Thumb(const std::vector<std::string>& args);
int Encode(const std::vector<std::string>& args);

// The whole file, or false with a message on standard error.
bool ReadFile(const std::string& path, std::vector<uint8_t>& data);

// Writes a binary PPM (3 channels) or PGM (1 channel) file.
bool WritePnm(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height, int channels);

// RGB565 pixels (stride in pixels) to 8-bit RGB, each channel widened by
// repeating its top bits.
std::vector<uint8_t> Rgb565ToRgb(const uint16_t* pixels, uint32_t stride, uint32_t width, uint32_t height);

}  // namespace jpegtool
