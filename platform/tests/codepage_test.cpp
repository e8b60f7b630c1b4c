#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "plat/windows.h"

namespace {

std::wstring ToWide(UINT codePage, const std::string& bytes, DWORD flags = 0)
{
    int n = MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    if (n > 0) {
        EXPECT_EQ(MultiByteToWideChar(codePage, flags, bytes.data(), static_cast<int>(bytes.size()), out.data(), n), n);
    }
    return out;
}

std::string ToBytes(UINT codePage, const std::wstring& text, LPCSTR defaultChar = nullptr, BOOL* used = nullptr)
{
    int n = WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, defaultChar, used);
    std::string out(static_cast<std::size_t>(n), '\0');
    if (n > 0) {
        EXPECT_EQ(WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), out.data(), n,
                                      defaultChar, used),
                  n);
    }
    return out;
}

}  // namespace

// The byte strings were taken from an independent codec (the Python codecs).
TEST(CodePages, RoundTrips)
{
    struct Case {
        UINT codePage;
        const wchar_t* text;
        const char* bytes;
    } cases[] = {
        {1252, L"Caf\u00E9 \u20AC\u2122 \u0178", "\x43\x61\x66\xE9\x20\x80\x99\x20\x9F"},
        {1251, L"\u041F\u0440\u0438\u0432\u0435\u0442, \u0401\u0436 \u2116 \u0457",
         "\xCF\xF0\xE8\xE2\xE5\xF2\x2C\x20\xA8\xE6\x20\xB9\x20\xBF"},
        {949, L"\uD55C\uAD6D\uC5B4 \uAC00 OCR", "\xC7\xD1\xB1\xB9\xBE\xEE\x20\xB0\xA1\x20\x4F\x43\x52"},
        {936, L"\u4E2D\u6587\u8BC6\u522B OCR", "\xD6\xD0\xCE\xC4\xCA\xB6\xB1\xF0\x20\x4F\x43\x52"},
        {CP_UTF8, L"Caf\u00E9 \u4E2D \U0001F4F7", "\x43\x61\x66\xC3\xA9\x20\xE4\xB8\xAD\x20\xF0\x9F\x93\xB7"},
    };
    for (const auto& c : cases) {
        BOOL used = TRUE;
        LPBOOL usedArg = c.codePage == CP_UTF8 ? nullptr : &used;
        EXPECT_EQ(ToBytes(c.codePage, c.text, nullptr, usedArg), c.bytes) << c.codePage;
        if (usedArg) {
            EXPECT_FALSE(used) << c.codePage;
        }
        EXPECT_EQ(ToWide(c.codePage, c.bytes), c.text) << c.codePage;
    }
}

TEST(CodePages, UnmappableCharactersBecomeTheDefaultCharacter)
{
    struct Case {
        UINT codePage;
        const wchar_t* text;
        LPCSTR defaultChar;
        const char* bytes;
    } cases[] = {
        {1252, L"a\u0416b", nullptr, "a?b"},
        {1252, L"\u0416\u0416", "*", "**"},
        {1252, L"\u0416", "#!", "#"},  // one character only
        {1251, L"caf\u00E9", nullptr, "caf?"},
        {949, L"\u0E01x", nullptr, "?x"},
        {936, L"\u0E01\u4E2D", "\xA1\xA1", "\xA1\xA1\xD6\xD0"},  // a double-byte default
    };
    for (const auto& c : cases) {
        BOOL used = FALSE;
        EXPECT_EQ(ToBytes(c.codePage, c.text, c.defaultChar, &used), c.bytes) << c.codePage;
        EXPECT_TRUE(used) << c.codePage;
    }
    BOOL ignored = FALSE;
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"x", 1, nullptr, 0, "?", nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, 0, L"x", 1, nullptr, 0, nullptr, &ignored), 0);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST(CodePages, InvalidInput)
{
    EXPECT_EQ(ToWide(CP_UTF8, "a\xC3(\xFF"), L"a\uFFFD(\uFFFD");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, "a\xC3(", 3, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    EXPECT_EQ(ToWide(949, "A\xB0"), L"A?") << "a lead byte without its trail";
    EXPECT_EQ(MultiByteToWideChar(949, MB_ERR_INVALID_CHARS, "A\xB0", 2, nullptr, 0), 0);
    EXPECT_EQ(GetLastError(), ERROR_NO_UNICODE_TRANSLATION);
    // Bytes that 1252 leaves undefined pass as the control characters of the same value.
    EXPECT_EQ(ToWide(1252, "\x81\x8D\x8F\x90\x9D"), L"\u0081\u008D\u008F\u0090\u009D");
    EXPECT_EQ(ToBytes(1252, L"\u0081\u009D"), "\x81\x9D");
    EXPECT_EQ(ToWide(CP_UTF8, std::string("a\0b", 3)), std::wstring(L"a\0b", 3));
    EXPECT_EQ(ToBytes(CP_UTF8, L"\xD800x"), "\xEF\xBF\xBDx") << "a lone surrogate";
}

TEST(CodePages, SizesTerminatorsAndShortBuffers)
{
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9", -1, nullptr, 0), 3) << "the zero counts";
    wchar_t wide[3];
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9", -1, wide, 3), 3);
    EXPECT_EQ(std::wstring(wide), L"h\u00E9");
    EXPECT_EQ(MultiByteToWideChar(CP_UTF8, 0, "h\xC3\xA9", -1, wide, 2), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);

    EXPECT_EQ(WideCharToMultiByte(949, 0, L"\uD55C", -1, nullptr, 0, nullptr, nullptr), 3);
    char bytes[3];
    EXPECT_EQ(WideCharToMultiByte(949, 0, L"\uD55C", -1, bytes, 2, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_EQ(WideCharToMultiByte(949, 0, L"\uD55C", -1, bytes, 3, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(bytes), "\xC7\xD1");

    struct Bad {
        UINT codePage;
        LPCSTR in;
        int inLength;
        int outLength;
    } bad[] = {
        {CP_UTF8, "x", 0, 0}, {CP_UTF8, nullptr, 1, 0}, {CP_UTF8, "x", -2, 0}, {CP_UTF8, "x", 1, 5},
        {437, "x", 1, 0},     {50000, "x", 1, 0},
    };
    for (const auto& b : bad) {
        EXPECT_EQ(MultiByteToWideChar(b.codePage, 0, b.in, b.inLength, nullptr, b.outLength), 0) << b.codePage;
        EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    }
}

TEST(CodePages, AnsiCodePageFollowsTheSystemLocale)
{
    struct Case {
        const char* lcid;
        const wchar_t* text;
        const char* bytes;
    } cases[] = {
        {"0409", L"\u00E9\u20AC", "\xE9\x80"},
        {"0419", L"\u0416", "\xC6"},
        {"0412", L"\uD55C", "\xC7\xD1"},
        {"0804", L"\u4E2D", "\xD6\xD0"},
    };
    for (const auto& c : cases) {
        setenv("LUMOCR_LCID", c.lcid, 1);
        EXPECT_EQ(ToBytes(CP_ACP, c.text), c.bytes) << c.lcid;
        EXPECT_EQ(ToWide(CP_ACP, c.bytes), c.text) << c.lcid;
    }
    unsetenv("LUMOCR_LCID");
}
