// The commands of jpegtool and what they share.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "exif/ExifInfo.h"

namespace jpegtool {

// Each command takes its own arguments (after the command name) and returns
// the process exit code.
int Decode(const std::vector<std::string>& args);
int Info(const std::vector<std::string>& args);
int Thumb(const std::vector<std::string>& args);
int Encode(const std::vector<std::string>& args);
int Wrap(const std::vector<std::string>& args);

// The EXIF options that encode and wrap share.
extern const char* const kExifOptions;
void DefaultExif(ExifInfo& x, int width, int height);
// The defaults, then what the options gave (make, model, date, orientation, position).
void FillExif(ExifInfo& out, const ExifInfo& given, int width, int height);
// 1 when args[i] is an EXIF option (i moves past its value), 0 when it is not, -1 when its value is bad.
int ParseExifOption(const std::vector<std::string>& args, size_t& i, ExifInfo& x);

// The whole file, or false with a message on standard error.
bool ReadFile(const std::string& path, std::vector<uint8_t>& data);

// Writes a binary PPM (3 channels) or PGM (1 channel) file.
bool WritePnm(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height, int channels);

}  // namespace jpegtool
