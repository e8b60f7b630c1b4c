#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

#include "LumHook.h"

namespace {

int g_calls = 0;
std::vector<WPARAM> g_keys;

LRESULT CountingFilter(int code, WPARAM wParam, LPARAM lParam)
{
    ++g_calls;
    // Swallows the end key, passes the rest on.
    auto* key = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
    return key->vkCode == VK_TEND ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
}

LRESULT KeyWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_KEYDOWN)
        g_keys.push_back(wParam);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

class LumHookTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSW wc{};
        wc.lpfnWndProc = &KeyWindow;
        wc.lpszClassName = L"LumHookTestWindow";
        RegisterClassW(&wc);
        window = CreateWindowExW(0, L"LumHookTestWindow", L"", WS_POPUP | WS_VISIBLE, 0, 40, 240, 360, nullptr,
                                 nullptr, nullptr, nullptr);
        g_calls = 0;
        g_keys.clear();
    }
    void TearDown() override
    {
        DeactivateKBHook();
        DestroyWindow(window);
    }
    void Press(BYTE vk)
    {
        plat::HardwareKey(vk, true);
        plat::HardwareKey(vk, false);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&msg);
    }
    HWND window = nullptr;
};

}  // namespace

TEST_F(LumHookTest, ActivationInstallsTheProgramsFilterAndDeactivationRemovesIt)
{
    ASSERT_EQ(ActivateKBHook(nullptr, &CountingFilter), 1);
    Press(VK_TEND);
    Press(VK_RETURN);
    EXPECT_EQ(g_calls, 4) << "down and up of both keys";
    EXPECT_EQ(g_keys, (std::vector<WPARAM>{VK_RETURN})) << "the swallowed key never arrives";
    EXPECT_EQ(DeactivateKBHook(), 1);
    Press(VK_TEND);
    EXPECT_EQ(g_calls, 4);
    EXPECT_EQ(g_keys, (std::vector<WPARAM>{VK_RETURN, VK_TEND}));
}

TEST_F(LumHookTest, DeactivationWithoutActivationDoesNothingAndTwiceIsSafe)
{
    EXPECT_EQ(DeactivateKBHook(), 1);
    Press(VK_RETURN);
    EXPECT_EQ(g_keys, (std::vector<WPARAM>{VK_RETURN}));
    ASSERT_EQ(ActivateKBHook(nullptr, &CountingFilter), 1);
    EXPECT_EQ(DeactivateKBHook(), 1);
    EXPECT_EQ(DeactivateKBHook(), 1);
    Press(VK_TEND);
    EXPECT_EQ(g_calls, 0);
    // And it can be taken again afterwards.
    ASSERT_EQ(ActivateKBHook(nullptr, &CountingFilter), 1);
    Press(VK_TEND);
    EXPECT_EQ(g_calls, 2);
}

TEST_F(LumHookTest, ASecondActivationFailsAndKeepsTheFirstHook)
{
    static int second = 0;
    ASSERT_EQ(ActivateKBHook(nullptr, &CountingFilter), 1);
    EXPECT_EQ(ActivateKBHook(nullptr, [](int code, WPARAM w, LPARAM l) -> LRESULT {
                  ++second;
                  return CallNextHookEx(nullptr, code, w, l);
              }),
              0);
    Press(VK_TEND);
    EXPECT_EQ(g_calls, 2);
    EXPECT_EQ(second, 0);
    EXPECT_TRUE(g_keys.empty());
    EXPECT_EQ(DeactivateKBHook(), 1);
    Press(VK_TEND);
    EXPECT_EQ(g_calls, 2) << "no hook is left behind";
    EXPECT_EQ(g_keys, (std::vector<WPARAM>{VK_TEND}));
}

TEST(LumHookLibrary, ExportsOnlyItsTwoEntriesByName)
{
    std::string command = "nm -D --defined-only '" + std::string(LUM_BINARY_DIR) + "/bin/libLumHook.so'";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_TRUE(pipe);
    std::set<std::string> functions;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        char kind = 0;
        char name[400];
        if (std::sscanf(line, "%*s %c %399s", &kind, name) == 2 && (kind == 'T' || kind == 'W'))
            functions.insert(name);
    }
    EXPECT_EQ(pclose(pipe), 0);
    EXPECT_EQ(functions, (std::set<std::string>{"ActivateKBHook", "DeactivateKBHook"}));
}
