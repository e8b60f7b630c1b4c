// Basic types, handles and constants of the handset's platform, as the
// system's code expects them. Values are the platform's public ones.
#pragma once

#include <cstddef>
#include <cstdint>

using BOOL = int;
using BYTE = std::uint8_t;
using BOOLEAN = BYTE;
using CHAR = char;
using WCHAR = wchar_t;
using TCHAR = WCHAR;
using SHORT = std::int16_t;
using USHORT = std::uint16_t;
using WORD = std::uint16_t;
using INT = int;
using UINT = unsigned int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using DWORD = std::uint32_t;
using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using ULONG_PTR = std::uintptr_t;
using DWORD_PTR = std::uintptr_t;
using SIZE_T = std::size_t;
using HRESULT = std::int32_t;
using WPARAM = UINT_PTR;
using LPARAM = LONG_PTR;
using LRESULT = LONG_PTR;
using ATOM = WORD;
using LCID = DWORD;
using LANGID = WORD;
using COLORREF = DWORD;

using PVOID = void*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPBYTE = BYTE*;
using LPDWORD = DWORD*;
using LPLONG = LONG*;
using LPBOOL = BOOL*;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPTSTR = LPWSTR;
using LPCTSTR = LPCWSTR;

// Distinct handle types, so that a window cannot be passed for a key.
#define LUM_DECLARE_HANDLE(name) \
    struct name##__ { int unused; }; \
    using name = name##__*
LUM_DECLARE_HANDLE(HWND);
LUM_DECLARE_HANDLE(HINSTANCE);
LUM_DECLARE_HANDLE(HKEY);
LUM_DECLARE_HANDLE(HDC);
LUM_DECLARE_HANDLE(HBITMAP);
LUM_DECLARE_HANDLE(HBRUSH);
LUM_DECLARE_HANDLE(HPEN);
LUM_DECLARE_HANDLE(HFONT);
LUM_DECLARE_HANDLE(HRGN);
LUM_DECLARE_HANDLE(HPALETTE);
LUM_DECLARE_HANDLE(HICON);
LUM_DECLARE_HANDLE(HMENU);
LUM_DECLARE_HANDLE(HHOOK);
LUM_DECLARE_HANDLE(HRSRC);
#undef LUM_DECLARE_HANDLE
using HANDLE = void*;
using HMODULE = HINSTANCE;
using HGDIOBJ = void*;
using HCURSOR = HICON;
using HGLOBAL = HANDLE;
using HLOCAL = HANDLE;
using PHKEY = HKEY*;

inline constexpr BOOL TRUE = 1;
inline constexpr BOOL FALSE = 0;
inline constexpr DWORD MAX_PATH = 260;
inline constexpr DWORD INFINITE = 0xFFFFFFFFu;
inline const HANDLE INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1));

struct POINT { LONG x; LONG y; };
struct SIZE { LONG cx; LONG cy; };
struct RECT { LONG left; LONG top; LONG right; LONG bottom; };
using LPPOINT = POINT*;
using LPRECT = RECT*;
using LPCRECT = const RECT*;

struct FILETIME { DWORD dwLowDateTime; DWORD dwHighDateTime; };
struct SYSTEMTIME {
    WORD wYear;
    WORD wMonth;
    WORD wDayOfWeek;
    WORD wDay;
    WORD wHour;
    WORD wMinute;
    WORD wSecond;
    WORD wMilliseconds;
};
using LPSYSTEMTIME = SYSTEMTIME*;

struct ULARGE_INTEGER_PARTS { DWORD LowPart; DWORD HighPart; };
union ULARGE_INTEGER {
    ULARGE_INTEGER_PARTS u;
    ULONGLONG QuadPart;
};
using PULARGE_INTEGER = ULARGE_INTEGER*;
union LARGE_INTEGER {
    struct { DWORD LowPart; LONG HighPart; } u;
    LONGLONG QuadPart;
};

constexpr WORD LOWORD(DWORD_PTR v) { return static_cast<WORD>(v & 0xFFFF); }
constexpr WORD HIWORD(DWORD_PTR v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
constexpr BYTE LOBYTE(DWORD_PTR v) { return static_cast<BYTE>(v & 0xFF); }
constexpr BYTE HIBYTE(DWORD_PTR v) { return static_cast<BYTE>((v >> 8) & 0xFF); }
constexpr LONG MAKELONG(DWORD lo, DWORD hi) { return static_cast<LONG>((lo & 0xFFFF) | ((hi & 0xFFFF) << 16)); }
constexpr WPARAM MAKEWPARAM(DWORD lo, DWORD hi) { return static_cast<WPARAM>(static_cast<DWORD>(MAKELONG(lo, hi))); }
constexpr LPARAM MAKELPARAM(DWORD lo, DWORD hi) { return static_cast<LPARAM>(MAKELONG(lo, hi)); }
constexpr COLORREF RGB(BYTE r, BYTE g, BYTE b) { return r | (g << 8) | (static_cast<DWORD>(b) << 16); }
constexpr BYTE GetRValue(COLORREF c) { return static_cast<BYTE>(c & 0xFF); }
constexpr BYTE GetGValue(COLORREF c) { return static_cast<BYTE>((c >> 8) & 0xFF); }
constexpr BYTE GetBValue(COLORREF c) { return static_cast<BYTE>((c >> 16) & 0xFF); }

#ifndef _countof
#define _countof(a) (sizeof(a) / sizeof((a)[0]))
#endif
