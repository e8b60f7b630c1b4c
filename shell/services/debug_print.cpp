#include "debug_print.h"

#include <cstdarg>
#include <cwchar>

void DebugPrint(LPCWSTR format, ...)
{
    WCHAR text[1024];
    va_list args;
    va_start(args, format);
    int n = std::vswprintf(text, sizeof(text) / sizeof(text[0]), format, args);
    va_end(args);
    if (n < 0)
        text[sizeof(text) / sizeof(text[0]) - 1] = 0;  // cut, still terminated
    OutputDebugStringW(text);
}
