// Doubles of the neighbours that have not landed, and a parent window that
// keeps what its children tell it.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "plat/windows.h"

namespace dlgtest {

// Effects the haptic double was asked to play, "A" or "B" each.
std::vector<std::string>& HapticEffects();

struct Received {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// A top-level window that records every message but WM_PAINT and the like.
HWND CreateRecordingParent(int width = 240, int height = 400);
std::vector<Received>& ParentMessages();
// Only the messages of one kind.
std::vector<Received> MessagesOf(UINT message);

// A child control of the stock static class, to subclass.
HWND CreateChild(HWND parent, int id, const RECT& rect);

// Writes a language library with these texts and loads it; the handle or null.
HMODULE LoadLanguageFile(const std::filesystem::path& deviceRoot,
                         const std::vector<std::pair<UINT, std::wstring>>& texts);

}  // namespace dlgtest
