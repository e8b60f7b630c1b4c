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

// A whole input file: a regular file is mapped read-only, anything else read
// to its end. Open is false (with a message on standard error) on failure.
class InputFile {
public:
    InputFile() = default;
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    ~InputFile();
    bool Open(const std::string& path);
    const uint8_t* data() const { return data_; }
    size_t size() const { return size_; }
    uint8_t operator[](size_t i) const { return data_[i]; }

private:
    void* map_ = nullptr;
    const uint8_t* data_ = nullptr;
    size_t size_ = 0;
    std::vector<uint8_t> copy_;
};

// The whole file, or false with a message on standard error.
bool ReadFile(const std::string& path, std::vector<uint8_t>& data);

// An output file written straight through (no stream buffer between the
// codec's output and the file). Close reports any failed write.
class OutputFile {
public:
    OutputFile() = default;
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    ~OutputFile();
    bool Open(const std::string& path);
    // Writes data, then more (a header and its body in one call).
    bool Write(const void* data, size_t size, const void* more = nullptr, size_t moreSize = 0);
    bool Close();

private:
    int fd_ = -1;
    bool ok_ = true;
    std::string path_;
};

// Uncleared memory for a whole picture, in huge pages where the system
// gives them: a picture of tens of megabytes then costs tens of page faults,
// not thousands. Empty (data() null) when out of memory.
class LargeBuffer {
public:
    explicit LargeBuffer(size_t bytes);
    LargeBuffer(const LargeBuffer&) = delete;
    LargeBuffer& operator=(const LargeBuffer&) = delete;
    ~LargeBuffer();
    uint8_t* data() const { return data_; }

private:
    uint8_t* data_ = nullptr;
    size_t size_ = 0;
};

// The header of a binary PPM (3 channels) or PGM (1 channel) file.
std::string PnmHeader(uint32_t width, uint32_t height, int channels);

// Writes a binary PPM (3 channels) or PGM (1 channel) file.
bool WritePnm(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height, int channels);

}  // namespace jpegtool
