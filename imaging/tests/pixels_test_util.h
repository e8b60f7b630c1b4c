// Helpers of the pixel tests.
#pragma once

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "pixels/PixelLog.h"

namespace pixels_test {

// Collects what the pixel units log while alive.
class LogCapture {
public:
    LogCapture() : previous_(pixels::SetLogSink(&Append)) { Text().clear(); }
    ~LogCapture() { pixels::SetLogSink(previous_); }
    LogCapture(const LogCapture&) = delete;
    LogCapture& operator=(const LogCapture&) = delete;

    static std::wstring& Text() {
        static std::wstring text;
        return text;
    }
    bool Contains(const std::wstring& needle) const { return Text().find(needle) != std::wstring::npos; }

private:
    static void Append(const wchar_t* text) { Text() += text; }
    pixels::LogSink previous_;
};

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 rng(seed);
    std::vector<uint8_t> v(n);
    for (auto& b : v) {
        b = static_cast<uint8_t>(rng());
    }
    return v;
}

inline uint16_t Pixel565(const std::vector<uint8_t>& buf, size_t index) {
    return static_cast<uint16_t>(buf[2 * index] | buf[2 * index + 1] << 8);
}

}  // namespace pixels_test
