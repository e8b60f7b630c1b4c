#include "pixels/PixelLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cwchar>

namespace pixels {
namespace {

std::atomic<LogSink> g_sink{nullptr};

void Emit(const wchar_t* text) {
    if (LogSink sink = g_sink.load()) {
        sink(text);
        return;
    }
    std::fputws(text, stderr);
}

void EmitV(const wchar_t* format, va_list args) {
    wchar_t text[512];
    if (std::vswprintf(text, sizeof text / sizeof text[0], format, args) < 0) {
        text[sizeof text / sizeof text[0] - 1] = L'\0';  // truncated: keep what fits
    }
    Emit(text);
}

// Where the image utility functions report from, as the field logs know it.
constexpr const wchar_t* kUnitPath = L"..\\inc\\img_util";

}  // namespace

LogSink SetLogSink(LogSink sink) { return g_sink.exchange(sink); }

void LogText(const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    EmitV(format, args);
    va_end(args);
}

void LogFailure(int line, const wchar_t* function, const wchar_t* format, ...) {
    Emit(L"\r\n[LumOCR] ");
    LogText(L"Error:%d-line(%ls||%ls)\r\n    ->", line, function, kUnitPath);
    va_list args;
    va_start(args, format);
    EmitV(format, args);
    va_end(args);
}

}  // namespace pixels
