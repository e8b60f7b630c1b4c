#include <cstdint>
#include <cstring>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "registry_key.h"
#include "shell_fixture.h"

namespace {

constexpr const WCHAR* kKey = L"SOFTWARE\\Quarlo\\LumOCR";

class RegistryKey : public ShellFixture {
protected:
    void SetRaw(LPCWSTR name, DWORD type, const void* data, DWORD size)
    {
        CRegistryKey key;
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey));
        ASSERT_EQ(RegSetValueExW(key.GetKey(), name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    }
};

TEST_F(RegistryKey, DwordReadsOnlyExactlyFourBytes)
{
    const BYTE bytes[8] = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88};
    struct Case {
        const WCHAR* name;
        DWORD type;
        DWORD size;
        bool found;
    } cases[] = {
        {L"two", REG_DWORD, 2, false},
        {L"eight", REG_DWORD, 8, false},
        {L"binary4", REG_BINARY, 4, true},
        {L"dword", REG_DWORD, 4, true},
    };
    for (const Case& c : cases)
        SetRaw(c.name, c.type, bytes, c.size);

    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey));
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(std::wstring(c.name)));
        DWORD value = 7;
        EXPECT_EQ(key.QueryDWORD(c.name, value), c.found);
        EXPECT_EQ(value, c.found ? 0x44332211u : 7u);
        BYTE flag = 9;
        EXPECT_EQ(key.QueryBool(c.name, flag), c.found);
        EXPECT_EQ(flag, c.found ? 1 : 9);
    }
    DWORD missing = 42;
    EXPECT_FALSE(key.QueryDWORDDefault(L"missing", missing));
    EXPECT_EQ(missing, 42u);

    int negative = 0;
    ASSERT_TRUE(key.SetDWORD(L"neg", -5));
    EXPECT_TRUE(key.QueryDWORD(L"neg", negative));
    EXPECT_EQ(negative, -5);
}

TEST_F(RegistryKey, StringsAreStoredWithTerminatorAndReadTerminated)
{
    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey));
    ASSERT_TRUE(key.SetString(L"three", L"abc"));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key.GetKey(), L"three", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 4 * sizeof(WCHAR));

    WCHAR buffer[8];
    std::wmemset(buffer, L'x', 8);
    ASSERT_TRUE(key.QueryString(L"three", buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, L"abc");

    // Exactly fits with its terminator; one character less does not.
    std::wmemset(buffer, L'x', 8);
    EXPECT_TRUE(key.QueryString(L"three", buffer, 4 * sizeof(WCHAR)));
    EXPECT_STREQ(buffer, L"abc");
    std::wmemset(buffer, L'x', 8);
    EXPECT_FALSE(key.QueryString(L"three", buffer, 3 * sizeof(WCHAR)));
    EXPECT_EQ(buffer[0], 0);

    // A value stored without terminator by another writer is still ended.
    SetRaw(L"bare", REG_SZ, L"xyz", 3 * sizeof(WCHAR));
    std::wmemset(buffer, L'q', 8);
    EXPECT_TRUE(key.QueryString(L"bare", buffer, sizeof(buffer)));
    EXPECT_STREQ(buffer, L"xyz");
    std::wmemset(buffer, L'q', 8);
    EXPECT_FALSE(key.QueryString(L"bare", buffer, 3 * sizeof(WCHAR)));
    EXPECT_EQ(buffer[0], 0);

    std::wmemset(buffer, L'q', 8);
    EXPECT_FALSE(key.QueryString(L"missing", buffer, sizeof(buffer)));
    EXPECT_EQ(buffer[0], 0);
    EXPECT_FALSE(key.QueryString(L"three", buffer, 0));
}

TEST_F(RegistryKey, BinaryLengthIsFourBytesPerWord)
{
    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey));
    std::vector<DWORD> words(64);
    for (DWORD i = 0; i < 64; ++i)
        words[i] = i * 0x01010101u;
    ASSERT_TRUE(key.SetBinary(L"blob", words.data(), 64));
    DWORD type = 0, size = 0;
    ASSERT_EQ(RegQueryValueExW(key.GetKey(), L"blob", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(size, 256u);

    std::vector<DWORD> back(64, 0);
    ASSERT_TRUE(key.QueryBinary(L"blob", back.data(), 64));
    EXPECT_EQ(back, words);
    EXPECT_FALSE(key.QueryBinary(L"blob", back.data(), 63));  // short buffer
    EXPECT_FALSE(key.QueryBinary(L"missing", back.data(), 64));
}

TEST_F(RegistryKey, CreateCloseAndFailedCreate)
{
    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, L"SOFTWARE\\A"));
    ASSERT_TRUE(key.SetDWORD(L"v", DWORD{1}));
    // A second Create closes the first key instead of leaking it: its handle
    // is no longer valid.
    const HKEY first = key.GetKey();
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, L"SOFTWARE\\B"));
    EXPECT_EQ(RegCloseKey(first), ERROR_INVALID_HANDLE);
    ASSERT_TRUE(key.SetDWORD(L"v", DWORD{2}));
    // A Create that fails closes what the object held too, and holds nothing.
    const HKEY bogusRoot = reinterpret_cast<HKEY>(std::uintptr_t{0x7777});
    for (LPCWSTR subKey : {static_cast<LPCWSTR>(nullptr), L"SOFTWARE\\C"}) {
        ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, L"SOFTWARE\\B"));
        const HKEY held = key.GetKey();
        EXPECT_FALSE(key.Create(subKey ? bogusRoot : HKEY_CURRENT_USER, subKey));
        EXPECT_EQ(key.GetKey(), nullptr);
        EXPECT_EQ(RegCloseKey(held), ERROR_INVALID_HANDLE);
    }
    EXPECT_FALSE(CRegistryKey::KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\C"));
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, L"SOFTWARE\\B"));
    key.Close();
    key.Close();
    EXPECT_EQ(key.GetKey(), nullptr);
    EXPECT_FALSE(key.SetDWORD(L"v", DWORD{3}));
    DWORD value = 9;
    EXPECT_FALSE(key.QueryDWORD(L"v", value));
    EXPECT_EQ(value, 9u);

    EXPECT_TRUE(CRegistryKey::KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\A"));
    EXPECT_FALSE(CRegistryKey::KeyExists(HKEY_CURRENT_USER, L"SOFTWARE\\Nothing"));
    DWORD a = 0, b = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\A", L"v", &a), S_OK);
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\B", L"v", &b), S_OK);
    EXPECT_EQ(a, 1u);
    EXPECT_EQ(b, 2u);
    EXPECT_TRUE(CRegistryKey::Flush(nullptr));
    EXPECT_TRUE(CRegistryKey::Flush(HKEY_CURRENT_USER));
}

TEST_F(RegistryKey, SubKeysByNameAndIndex)
{
    CRegistryKey key;
    ASSERT_TRUE(key.Create(HKEY_CURRENT_USER, kKey));
    auto beta = key.CreateSubKey(L"Beta");
    ASSERT_NE(beta, nullptr);
    EXPECT_STREQ(beta->GetName(), L"Beta");
    EXPECT_TRUE(beta->SetDWORD(L"x", DWORD{1}));
    ASSERT_NE(key.CreateSubKey(L"Alpha"), nullptr);
    auto first = key.EnumSubKey(0);
    ASSERT_NE(first, nullptr);
    EXPECT_STREQ(first->GetName(), L"Alpha");
    EXPECT_EQ(first->GetKey(), nullptr);
    EXPECT_EQ(key.EnumSubKey(2), nullptr);
}

TEST_F(RegistryKey, SharedUsesDoNotOverlap)
{
    // Each thread opens its own key on the shared instance and checks that
    // nobody switched it underneath.
    std::vector<std::thread> threads;
    std::atomic<int> mismatches{0};
    for (int t = 0; t < 3; ++t) {
        threads.emplace_back([t, &mismatches] {
            std::wstring sub = L"SOFTWARE\\T" + std::to_wstring(t);
            for (int i = 0; i < 200; ++i) {
                CRegistryKey::SharedUse key;
                key->Create(HKEY_CURRENT_USER, sub.c_str());
                key->SetDWORD(L"n", static_cast<DWORD>(i));
                DWORD back = 0;
                if (!key->QueryDWORD(L"n", back) || back != static_cast<DWORD>(i) ||
                    !CRegistryKey::KeyExists(HKEY_CURRENT_USER, sub.c_str()))
                    ++mismatches;
                HKEY own = key->GetKey();
                std::this_thread::yield();
                if (key->GetKey() != own)
                    ++mismatches;
            }
        });
    }
    for (auto& thread : threads)
        thread.join();
    EXPECT_EQ(mismatches, 0);
    CRegistryKey::SharedUse after;
    EXPECT_EQ(after->GetKey(), nullptr);  // every use closed its key
}

}  // namespace
