// Code pages: conversions between the system's multibyte texts and wide
// strings, for UTF-8 and the ANSI code pages the system names (1252, 1251,
// 949, 936; CP_ACP is the one of the system locale). Conversions go through
// iconv; unmappable characters become the default character ("?" unless the
// caller gives one), never a best-fit look-alike.
#pragma once

#include "plat/types.h"

inline constexpr UINT CP_ACP = 0;
inline constexpr UINT CP_UTF8 = 65001;

inline constexpr DWORD MB_PRECOMPOSED = 0x1;
inline constexpr DWORD MB_ERR_INVALID_CHARS = 0x8;

// A length of -1 means a zero-terminated input whose zero is converted too;
// an output size of 0 asks for the size needed. A short output buffer gives 0
// and ERROR_INSUFFICIENT_BUFFER.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR multiByte, int multiByteLength, LPWSTR wide,
                        int wideLength);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR wide, int wideLength, LPSTR multiByte,
                        int multiByteLength, LPCSTR defaultChar, LPBOOL usedDefaultChar);
