#include "dialog_doubles.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "haptic_control.h"
#include "plat/screen.h"
#include "plat/utf.h"

CHapticControl::CHapticControl() = default;
CHapticControl::~CHapticControl() = default;
void CHapticControl::PlayEffectA() { dlgtest::HapticEffects().push_back("A"); }
void CHapticControl::PlayEffectB() { dlgtest::HapticEffects().push_back("B"); }

namespace dlgtest {

std::vector<std::string>& HapticEffects()
{
    static std::vector<std::string> effects;
    return effects;
}

std::vector<Received>& ParentMessages()
{
    static std::vector<Received> messages;
    return messages;
}

std::vector<Received> MessagesOf(UINT message)
{
    std::vector<Received> out;
    for (const Received& r : ParentMessages())
        if (r.message == message)
            out.push_back(r);
    return out;
}

namespace {

LRESULT RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_PAINT:
    case WM_ERASEBKGND:
    case WM_NCDESTROY:
        break;
    default:
        ParentMessages().push_back({message, wParam, lParam});
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace

HWND CreateRecordingParent(int width, int height)
{
    static const bool registered = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &RecordingProc;
        wc.lpszClassName = L"DialogsTestParent";
        return RegisterClassW(&wc) != 0;
    }();
    if (!registered)
        return nullptr;
    ParentMessages().clear();
    return CreateWindowExW(0, L"DialogsTestParent", L"parent", WS_POPUP | WS_VISIBLE, 0, 0, width, height, nullptr,
                           nullptr, nullptr, nullptr);
}

HWND CreateChild(HWND parent, int id, const RECT& rect)
{
    return CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, rect.left, rect.top, rect.right - rect.left,
                           rect.bottom - rect.top, parent, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), nullptr,
                           nullptr);
}

HMODULE LoadLanguageFile(const std::filesystem::path& deviceRoot,
                         const std::vector<std::pair<UINT, std::wstring>>& texts)
{
    std::filesystem::create_directories(deviceRoot / "Windows");
    std::ofstream out(deviceRoot / "Windows" / "LumOCR.exe.0409.mui", std::ios::binary);
    for (const auto& [id, text] : texts)
        out << id << '\t' << plat::ToUtf8(text) << '\n';
    out.close();
    return LoadLibraryW(L"\\Windows\\LumOCR.exe.0409.mui");
}

void Turn(DWORD orientation)
{
    DEVMODEW mode{};
    mode.dmSize = sizeof(mode);
    mode.dmFields = DM_DISPLAYORIENTATION;
    mode.dmDisplayOrientation = orientation;
    ChangeDisplaySettingsEx(nullptr, &mode, nullptr, 0, nullptr);
}

void Pump()
{
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void CheckLook(HWND dialog, const std::vector<int>& popupIds, const std::string& name, DWORD code)
{
    UpdateWindow(dialog);
    for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        UpdateWindow(child);
    Pump();
    plat::ScreenImage image = plat::ComposeScreen();
    size_t keyed = 0;
    for (COLORREF c : image.pixels)
        keyed += c == RGB(255, 0, 255);
    EXPECT_EQ(keyed, 0u) << name << "-" << code;
    for (int id : popupIds) {
        HWND popup = GetDlgItem(dialog, id);
        if (!IsWindowVisible(popup))
            continue;
        RECT r;
        GetWindowRect(popup, &r);
        EXPECT_TRUE(r.left >= 0 && r.top >= 0 && r.right <= image.width && r.bottom <= image.height)
            << name << "-" << code << " popup at " << r.left << "," << r.top << "," << r.right << "," << r.bottom;
    }
    if (const char* dir = std::getenv("LUMOCR_LOOK_DIR"))
        plat::WritePng(std::filesystem::path(dir) / (name + "-" + std::to_string(code) + ".png"), image);
}

}  // namespace dlgtest
