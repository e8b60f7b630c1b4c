// Shell fixture whose service singletons are made fresh for each test.
#pragma once

#include <chrono>
#include <filesystem>
#include <fstream>

#include "file_control.h"
#include "neighbour_doubles.h"
#include "registry_key.h"
#include "settings.h"
#include "shell_fixture.h"

class ServicesFixture : public ShellFixture {
protected:
    void TearDown() override
    {
        CFileControl::ReleaseInstance();
        CSettings::ReleaseInstance();
        doubles::ReleaseAll();
        ShellFixture::TearDown();
    }

    // Noon of that day, so no time zone moves the date.
    static void SetDate(int year, unsigned month, unsigned day)
    {
        using namespace std::chrono;
        sys_days date = year_month_day{std::chrono::year{year}, std::chrono::month{month}, std::chrono::day{day}};
        plat::SetVirtualWallClock(duration_cast<milliseconds>((date + hours{12}).time_since_epoch()).count());
    }

    std::filesystem::path Host(const std::wstring& devicePath) const
    {
        return *plat::MapDevicePath(devicePath.c_str());
    }

    void Touch(const std::wstring& devicePath) const
    {
        auto host = Host(devicePath);
        std::filesystem::create_directories(host.parent_path());
        std::ofstream(host) << "x";
    }

    // A storage card folder named in the state key as the internal storage.
    void InsertInternalCard(const std::wstring& name)
    {
        std::filesystem::create_directories(root.path() / std::filesystem::path(name));
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, plat::kStorageCardsKey, name.c_str(), 1);
        CRegistryKey key;
        ASSERT_TRUE(key.Create(HKEY_LOCAL_MACHINE, kStorageStateKey));
        ASSERT_TRUE(key.SetString(L"InStorageFolder", name.c_str()));
    }

    static DWORD ReadDword(HKEY root, LPCWSTR subKey, LPCWSTR name, DWORD fallback = 0xDEADBEEF)
    {
        DWORD value = fallback;
        RegistryGetDWORD(root, subKey, name, &value);
        return value;
    }
};
