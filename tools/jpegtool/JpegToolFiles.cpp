#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "JpegToolCommands.h"

namespace jpegtool {

namespace {

// Reads up to size bytes at data; false on an error.
bool ReadAll(int fd, uint8_t* data, size_t size, size_t& got)
{
    got = 0;
    while (got < size) {
        const ssize_t n = read(fd, data + got, size - got);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return n == 0;
        }
        got += static_cast<size_t>(n);
    }
    return true;
}

bool WriteAll(int fd, const struct iovec* parts, int count)
{
    struct iovec v[4];
    std::memcpy(v, parts, sizeof(v[0]) * static_cast<size_t>(count));
    int first = 0;
    while (first < count) {
        const ssize_t n = writev(fd, v + first, count - first);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        size_t done = static_cast<size_t>(n);
        while (first < count && done >= v[first].iov_len) {
            done -= v[first].iov_len;
            ++first;
        }
        if (first < count) {
            v[first].iov_base = static_cast<uint8_t*>(v[first].iov_base) + done;
            v[first].iov_len -= done;
        }
    }
    return true;
}

}  // namespace

InputFile::~InputFile()
{
    if (map_ != nullptr) {
        munmap(map_, size_);
    }
}

bool InputFile::Open(const std::string& path)
{
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        std::fprintf(stderr, "jpegtool: cannot open %s\n", path.c_str());
        return false;
    }
    struct stat st {};
    bool ok = fstat(fd, &st) == 0;
    if (ok && S_ISREG(st.st_mode) && st.st_size > 0) {
        // A regular file is mapped, not copied: the codec reads it in place.
        size_ = static_cast<size_t>(st.st_size);
        void* map = mmap(nullptr, size_, PROT_READ, MAP_PRIVATE | MAP_POPULATE, fd, 0);
        if (map != MAP_FAILED) {
            map_ = map;
            data_ = static_cast<const uint8_t*>(map);
            close(fd);
            return true;
        }
    }
    // Pipes and the like are read to their end.
    size_t got = 0;
    for (size_t chunk = 1 << 16; ok; chunk *= 2) {
        copy_.resize(got + chunk);
        size_t n = 0;
        ok = ReadAll(fd, copy_.data() + got, chunk, n);
        got += n;
        if (n < chunk) {
            break;
        }
    }
    close(fd);
    copy_.resize(got);
    data_ = copy_.data();
    size_ = got;
    if (!ok) {
        std::fprintf(stderr, "jpegtool: cannot read %s\n", path.c_str());
    }
    return ok;
}

bool ReadFile(const std::string& path, std::vector<uint8_t>& data)
{
    InputFile file;
    if (!file.Open(path)) {
        return false;
    }
    data.assign(file.data(), file.data() + file.size());
    return true;
}

OutputFile::~OutputFile()
{
    if (fd_ >= 0) {
        close(fd_);
    }
}

bool OutputFile::Open(const std::string& path)
{
    path_ = path;
    fd_ = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd_ < 0) {
        std::fprintf(stderr, "jpegtool: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

bool OutputFile::Write(const void* data, size_t size, const void* more, size_t moreSize)
{
    struct iovec parts[2] = {{const_cast<void*>(data), size}, {const_cast<void*>(more), moreSize}};
    ok_ = ok_ && fd_ >= 0 && WriteAll(fd_, parts, more != nullptr ? 2 : 1);
    return ok_;
}

bool OutputFile::Close()
{
    if (fd_ >= 0 && close(fd_) != 0) {
        ok_ = false;
    }
    fd_ = -1;
    if (!ok_) {
        std::fprintf(stderr, "jpegtool: cannot write %s\n", path_.c_str());
    }
    return ok_;
}

LargeBuffer::LargeBuffer(size_t bytes)
{
    constexpr size_t kHuge = size_t{2} << 20;
    size_ = (bytes + kHuge - 1) / kHuge * kHuge;
    void* block = size_ ? mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0) : MAP_FAILED;
    if (block == MAP_FAILED) {
        size_ = 0;
        return;
    }
    madvise(block, size_, MADV_HUGEPAGE);  // a hint: without it the pages are small
    data_ = static_cast<uint8_t*>(block);
}

LargeBuffer::~LargeBuffer()
{
    if (data_ != nullptr) {
        munmap(data_, size_);
    }
}

std::string PnmHeader(uint32_t width, uint32_t height, int channels)
{
    char header[64];
    std::snprintf(header, sizeof header, "%s\n%u %u\n255\n", channels == 3 ? "P6" : "P5", width, height);
    return header;
}

bool WritePnm(const std::string& path, const uint8_t* pixels, uint32_t width, uint32_t height, int channels)
{
    OutputFile out;
    if (!out.Open(path)) {
        return false;
    }
    const std::string header = PnmHeader(width, height, channels);
    out.Write(header.data(), header.size(), pixels, size_t{width} * height * static_cast<size_t>(channels));
    return out.Close();
}

}  // namespace jpegtool
