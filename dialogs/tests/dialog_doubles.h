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

// The screen turned to an orientation code (0: 240 x 400, 4: 400 x 240).
void Turn(DWORD orientation);
// Every queued message of this thread dispatched.
void Pump();

// The dialog drawn as the program shows it: no pixel of the key colour
// shows and the visible popups among popupIds lie on the screen;
// NAME-CODE.png into LUMOCR_LOOK_DIR when set.
void CheckLook(HWND dialog, const std::vector<int>& popupIds, const std::string& name, DWORD code);

}  // namespace dlgtest
