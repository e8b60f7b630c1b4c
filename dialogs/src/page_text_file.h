// The text file of a recognised document page: beside its picture, named
// after it with "txt", the byte-order mark FF FE and the text as UTF-16LE,
// no terminator. Written under a hidden temporary name and put in place by a
// replacing rename, so an old file is replaced whole or kept.
#pragma once

#include <string>

// folder (ending in a backslash) + the picture's name with "txt" for its
// extension; at most MAX_PATH - 1 characters.
std::wstring PageTextFileName(const std::wstring& folder, const std::wstring& pictureName);
// The file's bytes.
std::string PageTextBytes(const std::wstring& text);
// false, and nothing new on the device, when the file could not be written whole.
bool WritePageTextFile(const std::wstring& path, const std::wstring& text);
