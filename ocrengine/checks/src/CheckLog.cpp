#include "ocrchecks/CheckLog.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>

namespace ocrchecks {
namespace {

std::atomic<LogSink> g_sink{nullptr};

}  // namespace

LogSink SetLogSink(LogSink sink) { return g_sink.exchange(sink); }

void CheckLog(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    if (std::vsnprintf(text, sizeof text, format, args) < 0) text[0] = '\0';
    va_end(args);
    if (LogSink sink = g_sink.load()) {
        sink(text);
        return;
    }
    std::fputs(text, stderr);
}

}  // namespace ocrchecks
