#include <gtest/gtest.h>

#include <fstream>

#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/utf.h"

namespace fs = std::filesystem;

TEST(DeviceRoot, MapsCaseInsensitivelyAndKeepsWildcards)
{
    lumtest::TempDir dir;
    plat::SetDeviceRoot(dir.path());
    fs::create_directories(dir.path() / "My Documents" / "KVIM");
    std::ofstream(dir.path() / "My Documents" / "KVIM" / "B261210001.jpg") << "x";

    struct Case {
        const wchar_t* device;
        fs::path host;
    } cases[] = {
        {L"\\my documents\\kvim\\b261210001.JPG", "My Documents/KVIM/B261210001.jpg"},
        {L"My Documents/KVIM", "My Documents/KVIM"},
        {L"\\My Documents\\KVIM\\*.jpg", "My Documents/KVIM/*.jpg"},
        {L"\\MY DOCUMENTS\\new folder\\New.txt", "My Documents/new folder/New.txt"},
        {L"\\My Documents\\.\\KVIM\\..\\KVIM", "My Documents/KVIM"},
        {L"\\", "."},
    };
    for (const auto& c : cases) {
        auto mapped = plat::MapDevicePath(c.device);
        ASSERT_TRUE(mapped) << plat::ToUtf8(c.device);
        EXPECT_EQ(mapped->lexically_relative(dir.path()), c.host) << plat::ToUtf8(c.device);
    }
}

TEST(DeviceRoot, NeverEscapesTheRoot)
{
    lumtest::TempDir dir;
    plat::SetDeviceRoot(dir.path());
    for (const wchar_t* path : {L"..\\..\\etc\\passwd", L"\\..", L"a\\..\\..\\b", L"C:\\Windows", L"/../etc"})
        EXPECT_FALSE(plat::MapDevicePath(path)) << plat::ToUtf8(path);
    EXPECT_FALSE(plat::MapDevicePath(nullptr));
}

TEST(DeviceRoot, SymbolicLinksDoNotLeadOut)
{
    lumtest::TempDir outside;
    lumtest::TempDir dir;
    plat::SetDeviceRoot(dir.path());
    fs::create_directories(dir.path() / "Inner");
    fs::create_directory_symlink(outside.path(), dir.path() / "Out");
    fs::create_directory_symlink(dir.path() / "Inner", dir.path() / "Alias");
    EXPECT_FALSE(plat::MapDevicePath(L"\\Out\\passwd"));
    EXPECT_FALSE(plat::MapDevicePath(L"\\out"));
    EXPECT_TRUE(plat::MapDevicePath(L"\\alias\\x.txt"));  // a link that stays inside is fine
}
