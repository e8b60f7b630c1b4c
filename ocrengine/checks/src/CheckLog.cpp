#include "CheckLog.h"

#include <cstdarg>
#include <cstdio>

namespace ocrchecks {

void CheckLog(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::vfprintf(stderr, format, args);
    va_end(args);
}

}  // namespace ocrchecks
