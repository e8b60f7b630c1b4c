#include "dialog_doubles.h"

#include <fstream>

#include "haptic_control.h"
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

}  // namespace dlgtest
