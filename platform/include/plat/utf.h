// UTF-8 <-> wide conversion used at the platform's byte boundaries (paths,
// log lines, files). Invalid input becomes U+FFFD; nothing throws.
#pragma once

#include <string>
#include <string_view>

namespace plat {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);
// True when text is UTF-8 throughout (no overlong forms, surrogates or values past U+10FFFF).
bool IsValidUtf8(std::string_view text);

// Case folding of the device's names (file names, registry keys and values):
// the letters device names use (Latin-1 and Cyrillic included), independent
// of the process locale.
wchar_t FoldCase(wchar_t c);
std::wstring FoldCase(std::wstring_view text);
bool SameNameNoCase(std::wstring_view a, std::wstring_view b);

}  // namespace plat
