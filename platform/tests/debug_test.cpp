#include <gtest/gtest.h>

#include <thread>

#include "plat/windows.h"
#include "plat/utf.h"

TEST(LastError, IsPerThread)
{
    SetLastError(ERROR_MORE_DATA);
    DWORD seen = 0;
    std::thread([&] { seen = GetLastError(); SetLastError(ERROR_ALREADY_EXISTS); }).join();
    EXPECT_EQ(seen, ERROR_SUCCESS);
    EXPECT_EQ(GetLastError(), ERROR_MORE_DATA);
}

TEST(ErrorCodes, HaveThePlatformValues)
{
    EXPECT_EQ(ERROR_ALREADY_EXISTS, 183u);
    EXPECT_EQ(ERROR_MORE_DATA, 234u);
    EXPECT_EQ(static_cast<DWORD>(E_FAIL), 0x80004005u);
    EXPECT_EQ(static_cast<DWORD>(E_OUTOFMEMORY), 0x8007000Eu);
    EXPECT_EQ(static_cast<DWORD>(E_INVALIDARG), 0x80070057u);
    EXPECT_EQ(HRESULT_FROM_WIN32(ERROR_OUTOFMEMORY), E_OUTOFMEMORY);
}

TEST(DebugOutput, CaptureSeesTheTwoCallLine)
{
    plat::DebugCapture capture;
    plat::DebugLine(L"Error:%d-line(%ls||%ls)", 42, L"file.cpp", L"Func");
    OutputDebugStringA("ascii \xC3\xA9");
    EXPECT_EQ(capture.Text(), L"\r\n[LumOCR] Error:42-line(file.cpp||Func)ascii \u00e9");
}

TEST(DebugOutput, LongLinesAreNotLost)
{
    plat::DebugCapture capture;
    std::wstring longText(5000, L'x');
    plat::DebugLine(L"%ls!", longText.c_str());
    EXPECT_EQ(capture.Text(), plat::kDebugLinePrefix + longText + L"!");
}

TEST(Utf8, RoundTripsAndReplacesInvalidBytes)
{
    const std::wstring text = L"Gr\u00fc\u00dfe \u041c\u0438\u0440 \u4e2d \U0001F600";
    EXPECT_EQ(plat::FromUtf8(plat::ToUtf8(text)), text);
    EXPECT_EQ(plat::FromUtf8("a\xFF" "b\xE2\x82"), L"a\uFFFDb\uFFFD\uFFFD");
    EXPECT_EQ(plat::FromUtf8("\xC0\xAF"), L"\uFFFD\uFFFD");  // overlong '/'
}
