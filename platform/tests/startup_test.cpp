#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <thread>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/registry.h"
#include "plat/startup.h"

namespace fs = std::filesystem;

TEST(PlatformStartup, FillsTheRootLoadsTheRegistryAndWritesItAtShutdown)
{
    lumtest::TempDir root, deviceTemplate;
    fs::create_directories(deviceTemplate.path() / "Windows");
    std::ofstream(deviceTemplate.path() / "Windows" / "LumOCR.exe.0409.mui") << "strings";
    std::ofstream(root.path() / plat::kRegistryFileName)
        << "[HKEY_CURRENT_USER\\SOFTWARE\\Quarlo\\LumOCR]\n\"BCRPictureCount\"=dword:00000007\n; end\n";

    ASSERT_TRUE(plat::Startup({.root = root.path(), .deviceTemplate = deviceTemplate.path()}));
    EXPECT_TRUE(fs::exists(root.path() / "Windows" / "LumOCR.exe.0409.mui"));
    DWORD count = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", L"BCRPictureCount", &count), S_OK);
    EXPECT_EQ(count, 7u);
    EXPECT_EQ(RegistrySetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", L"BCRPictureCount", 8), S_OK);
    plat::Shutdown();

    std::ifstream file(root.path() / plat::kRegistryFileName);
    std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(text.find("\"BCRPictureCount\"=dword:00000008"), std::string::npos) << text;
}
