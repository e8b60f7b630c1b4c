// The checks' debug lines go to the standard error stream, like every line of
// the engine library.
#pragma once

namespace ocrchecks {

void CheckLog(const char* format, ...) __attribute__((format(printf, 1, 2)));

}  // namespace ocrchecks
