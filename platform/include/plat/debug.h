// Debug output. Every line the system prints reaches one sink: standard
// error, or the file named by $LUMOCR_LOG; tests capture it instead.
#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "plat/types.h"

void OutputDebugStringW(LPCWSTR text);
void OutputDebugStringA(LPCSTR text);

namespace plat {

// The system writes a line in two calls: the prefix "\r\n[LumOCR] ", then the message.
inline constexpr const WCHAR* kDebugLinePrefix = L"\r\n[LumOCR] ";

// Prints one line in the system's two-call form, printf-style (wide string = %ls).
void DebugLine(LPCWSTR format, ...);

// While alive, every debug text goes to this capture (and nowhere else).
class DebugCapture {
public:
    DebugCapture();
    ~DebugCapture();
    DebugCapture(const DebugCapture&) = delete;
    DebugCapture& operator=(const DebugCapture&) = delete;

    std::wstring Text() const;
    bool Contains(const std::wstring& needle) const { return Text().find(needle) != std::wstring::npos; }
    void Clear();

private:
    std::function<void(const std::wstring&)> previous_;
};

// Replaces the sink; returns the previous one. An empty function restores the default.
std::function<void(const std::wstring&)> SetDebugSink(std::function<void(const std::wstring&)> sink);

// A scenario waits for what the program prints: while watched, every debug
// text is also kept, whatever the sink.
void WatchDebugText();
// Looks for needle in the text kept since watching began, from *from on; on a
// find, *from moves past it, so the next look finds only later text.
bool FindDebugText(std::size_t* from, std::wstring_view needle);

}  // namespace plat
