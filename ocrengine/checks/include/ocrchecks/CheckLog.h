// The checks' debug lines. The checks use the standard library only, so they
// write through a sink that the engine library points at the debug output
// when it loads; without one they go to standard error.
#pragma once

namespace ocrchecks {

using LogSink = void (*)(const char* text);

// Replaces the sink (null restores standard error); returns the previous one.
LogSink SetLogSink(LogSink sink);

void CheckLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ocrchecks
