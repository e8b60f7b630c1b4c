// Diagnostics of the pixel units. The pixel library uses the standard
// library only, so it writes its lines through a sink that the program points
// at the debug output; without one they go to standard error.
#pragma once

namespace pixels {

using LogSink = void (*)(const wchar_t* text);

// Replaces the sink (null restores standard error); returns the previous one.
LogSink SetLogSink(LogSink sink);

// Writes one text, printf-style (a wide string is %ls).
void LogText(const wchar_t* format, ...);

// The image utility failure line in its three calls: the line prefix, the
// place ("Error:%d-line(%s||%s)") and the message.
void LogFailure(int line, const wchar_t* function, const wchar_t* format, ...);

}  // namespace pixels
