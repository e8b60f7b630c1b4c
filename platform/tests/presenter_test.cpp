#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "plat/presenter.h"
#include "plat/windows.h"

TEST(Presenter, ShowsFramesWithoutADisplay)
{
    // SDL's dummy video driver: the presenter runs whole, nothing is shown.
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    std::wstring why;
    if (!plat::StartPresenter(&why))
        GTEST_SKIP() << "no presenter in this build";
    auto until = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (plat::PresenterFrames() == 0 && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_GT(plat::PresenterFrames(), 0u);
    plat::StopPresenter();
    plat::StopPresenter();  // twice is harmless
    unsetenv("SDL_VIDEODRIVER");
}

TEST(Presenter, KeyMap)
{
    std::wstring why;
    if (plat::PresenterKeyFor("Space") == 0)
        GTEST_SKIP() << "no presenter in this build";
    const std::pair<const char*, BYTE> keys[] = {
        {"Return", VK_RETURN},     {"Space", VK_APP3},          {"Escape", VK_TEND},
        {"F3", VK_TTALK},          {"PageUp", VK_TVOLUMEUP},    {"PageDown", VK_TVOLUMEDOWN},
        {"Left", VK_LEFT},         {"Down", VK_DOWN},           {"F1", VK_APP1},
        {"Q", 0},
    };
    for (auto [name, vk] : keys)
        EXPECT_EQ(plat::PresenterKeyFor(name), vk) << name;
}
