#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../src/registry_internal.h"
#include "lumtest/tempdir.h"
#include "plat/device.h"
#include "plat/error.h"
#include "plat/registry.h"
#include "plat/utf.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

const BYTE* Bytes(const DWORD& v) { return reinterpret_cast<const BYTE*>(&v); }
const BYTE* Bytes(const wchar_t* s) { return reinterpret_cast<const BYTE*>(s); }
DWORD SzSize(const wchar_t* s, bool withZero = true) { return static_cast<DWORD>((std::wcslen(s) + withZero) * sizeof(WCHAR)); }

// Polls (real time) until pred holds or the time runs out.
template <class Pred>
bool Eventually(Pred pred, std::chrono::milliseconds limit = 5000ms)
{
    auto end = std::chrono::steady_clock::now() + limit;
    while (!pred()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// Starts a program with its output silenced and extra environment; its pid, or -1.
pid_t Spawn(std::vector<std::string> args, const std::string& extraEnv = {})
{
    std::vector<char*> argv;
    for (auto& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<char*> envp;
    for (char** e = environ; *e; ++e)
        envp.push_back(*e);
    std::string env = extraEnv;
    if (!env.empty())
        envp.push_back(env.data());
    envp.push_back(nullptr);
    pid_t pid;
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    int spawned = posix_spawn(&pid, argv[0], &quiet, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&quiet);
    return spawned == 0 ? pid : -1;
}

// The file's inode, 0 when there is none.
ino_t Inode(const fs::path& file)
{
    struct stat st {};
    return stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
}

// Runs a program to its end; its exit status.
int RunProgram(std::vector<std::string> args)
{
    pid_t pid = Spawn(std::move(args));
    if (pid < 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string Lumreg() { return std::string(LUM_BINARY_DIR) + "/bin/lumreg"; }

class Registry : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(true));
    }
    void TearDown() override { plat::CloseRegistry(); }

    HKEY Create(HKEY parent, const wchar_t* path)
    {
        HKEY key = nullptr;
        EXPECT_EQ(RegCreateKeyExW(parent, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr), ERROR_SUCCESS);
        return key;
    }
    void Reopen()
    {
        plat::CloseRegistry();
        ASSERT_TRUE(plat::OpenRegistry(true));
    }

    lumtest::TempDir root;
};

TEST_F(Registry, ValuesByteCountsAndMoreData)
{
    DWORD disposition = 0;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", 0, nullptr, 0, 0, nullptr, &key, &disposition),
              ERROR_SUCCESS);
    EXPECT_EQ(disposition, REG_CREATED_NEW_KEY);
    const DWORD count = 81209001;
    const BYTE blob[] = {1, 2, 0, 255};
    ASSERT_EQ(RegSetValueExW(key, L"BCRPictureCount", 0, REG_DWORD, Bytes(count), 4), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, L"Name", 0, REG_SZ, Bytes(L"abc"), SzSize(L"abc", false)), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, L"Blob", 0, REG_BINARY, blob, sizeof blob), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, L"Short", 0, REG_DWORD, blob, 2), ERROR_SUCCESS);
    RegCloseKey(key);

    // Keys and values are found without regard to case, with or without a leading "\".
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"\\software\\QUARLO\\lumocr", 0, 0, &key), ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = sizeof value;
    ASSERT_EQ(RegQueryValueExW(key, L"bcrpicturecount", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_DWORD);
    EXPECT_EQ(value, count);
    EXPECT_EQ(size, 4u);

    // A string of three characters is 3 * sizeof(WCHAR) bytes; read into a cleared buffer it ends there.
    WCHAR text[8] = {};
    size = 3 * sizeof(WCHAR) - 1;
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_MORE_DATA);
    EXPECT_EQ(size, 3 * sizeof(WCHAR));
    EXPECT_STREQ(text, L"");  // a short buffer is left alone
    size = sizeof text;
    EXPECT_EQ(RegQueryValueExW(key, L"Name", nullptr, &type, reinterpret_cast<BYTE*>(text), &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 3 * sizeof(WCHAR));
    EXPECT_STREQ(text, L"abc");

    size = 0;
    EXPECT_EQ(RegQueryValueExW(key, L"Blob", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    EXPECT_EQ(size, 4u);
    EXPECT_EQ(type, REG_BINARY);
    EXPECT_EQ(RegQueryValueExW(key, L"Missing", nullptr, &type, nullptr, &size), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegQueryValueExW(key, L"Blob", nullptr, &type, reinterpret_cast<BYTE*>(text), nullptr),
              ERROR_INVALID_PARAMETER);

    // The shell's one-call reads: a 2-byte DWORD reads as missing and leaves the default.
    DWORD dw = 77;
    EXPECT_TRUE(FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", L"Short", &dw)));
    EXPECT_TRUE(FAILED(RegistryGetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\Nowhere", L"X", &dw)));
    EXPECT_EQ(dw, 77u);
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"Software\\quarlo\\LumOCR", L"BCRPictureCount", &dw), S_OK);
    EXPECT_EQ(dw, count);
    WCHAR small[3] = {L'x', L'x', L'x'};
    EXPECT_TRUE(FAILED(RegistryGetString(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", L"Name", small, 3)));
    EXPECT_STREQ(small, L"ab");  // cut, but always ended
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"\\System\\State\\Velmora\\Keypad", L"LumOCRWorking", 1), S_OK);
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Velmora\\Keypad", L"LumOCRWorking", &dw), S_OK);
    EXPECT_EQ(dw, 1u);

    EXPECT_EQ(RegDeleteValueW(key, L"blob"), ERROR_SUCCESS);
    EXPECT_EQ(RegDeleteValueW(key, L"blob"), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(RegCloseKey(key), ERROR_SUCCESS);
    EXPECT_EQ(RegCloseKey(key), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegSetValueExW(key, L"x", 0, REG_DWORD, Bytes(count), 4), ERROR_INVALID_HANDLE);
    EXPECT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, L"Software\\Nowhere", 0, 0, &key), ERROR_FILE_NOT_FOUND);
}

TEST_F(Registry, SubkeysEnumerateInNameOrder)
{
    HKEY parent = Create(HKEY_LOCAL_MACHINE, L"Drivers");
    for (const wchar_t* name : {L"builtin", L"Active", L"Camera", L"BuiltIn\\Camera", L"Active-Long-Name"})
        RegCloseKey(Create(parent, name));
    std::vector<std::wstring> names;
    WCHAR name[100];
    for (DWORD i = 0;; ++i) {
        DWORD length = 100;
        LONG result = RegEnumKeyExW(parent, i, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (result == ERROR_NO_MORE_ITEMS)
            break;
        ASSERT_EQ(result, ERROR_SUCCESS);
        EXPECT_EQ(length, std::wcslen(name));
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Active", L"Active-Long-Name", L"builtin", L"Camera"}));
    DWORD length = 6;  // "Active" needs 7 with its zero
    EXPECT_EQ(RegEnumKeyExW(parent, 0, name, &length, nullptr, nullptr, nullptr, nullptr), ERROR_MORE_DATA);
    RegCloseKey(parent);
}

TEST_F(Registry, ValuesSurviveARestartExactly)
{
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"System\\State\\Phone");
    const std::wstring odd = std::wstring(L"line1\nquote\" back\\slash \x1B tab\t ÄФ한\0", 27);
    const DWORD status = 0x20010000;
    const BYTE binary[] = {0, 0x7F, 0x80, 0xFF, 0x22};
    RegSetValueExW(key, L"Status", 0, REG_DWORD, Bytes(status), 4);
    RegSetValueExW(key, L"Odd \"name\"", 0, REG_SZ, Bytes(odd.c_str()), static_cast<DWORD>(odd.size() * sizeof(WCHAR)));
    RegSetValueExW(key, L"Bin", 0, REG_BINARY, binary, sizeof binary);
    RegSetValueExW(key, L"", 0, REG_SZ, Bytes(L"default"), SzSize(L"default"));
    RegSetValueExW(key, L"Empty", 0, REG_BINARY, nullptr, 0);
    RegSetValueExW(key, L"Seven", 0, REG_SZ, binary, 3);  // a size that fits no wide string
    EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
    RegCloseKey(key);
    std::wstring before = plat::RegistryText();

    Reopen();
    EXPECT_EQ(plat::RegistryText(), before);
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", 0, 0, &key), ERROR_SUCCESS);
    std::vector<BYTE> data(256);
    DWORD type = 0, size = static_cast<DWORD>(data.size());
    ASSERT_EQ(RegQueryValueExW(key, L"odd \"NAME\"", nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data()), size / sizeof(WCHAR)), odd);
    size = static_cast<DWORD>(data.size());
    ASSERT_EQ(RegQueryValueExW(key, L"Seven", nullptr, &type, data.data(), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, REG_SZ);
    EXPECT_EQ(size, 3u);
    RegCloseKey(key);

    auto check = plat::detail::CheckRegistryFile(root.path() / plat::kRegistryFileName);
    EXPECT_TRUE(check.complete);
    EXPECT_EQ(check.badLines, 0u);
    EXPECT_EQ(check.values, 6u);
}

// A flush writes the file only when what it would write differs from what
// it holds (a new file is a new inode: the rename shows); a value another
// process wrote meanwhile is never taken for ours.
TEST_F(Registry, AFlushOfValuesWrittenAsTheyWereLeavesTheFileAlone)
{
    const fs::path file = root.path() / plat::kRegistryFileName;
    auto inode = [&] {
        struct stat st {};
        return ::stat(file.c_str(), &st) == 0 ? st.st_ino : 0;
    };
    HKEY key = Create(HKEY_LOCAL_MACHINE, L"System\\State\\Phone");
    auto set = [&](DWORD value) {
        EXPECT_EQ(RegSetValueExW(key, L"Status", 0, REG_DWORD, Bytes(value), 4), ERROR_SUCCESS);
        EXPECT_EQ(RegFlushKey(key), ERROR_SUCCESS);
        return inode();
    };
    const auto first = set(1);
    ASSERT_NE(first, 0u);
    EXPECT_EQ(set(1), first) << "the same value again";
    EXPECT_NE(set(2), first);

    // Another process writes 1; this one writes 1 too, over the 2 it wrote.
    ASSERT_EQ(RunProgram({Lumreg(), "--root", root.path().string(), "set", "HKLM\\System\\State\\Phone", "Status",
                          "dword", "1"}),
              0);
    const auto theirs = inode();
    EXPECT_NE(set(1), theirs) << "the file changed under this process: written";
    RegCloseKey(key);
    Reopen();
    DWORD value = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", &value), S_OK);
    EXPECT_EQ(value, 1u);
}

TEST_F(Registry, UnreadableLinesAreReportedAndKept)
{
    plat::CloseRegistry();
    std::ofstream(root.path() / plat::kRegistryFileName) << "[HKEY_LOCAL_MACHINE\\A]\n\"Good\"=dword:00000005\n"
                                                            "\"Bad\"=dword:xyz\ngarbage\n[NOWHERE\\B]\n\"Lost\"=dword:1\n";
    EXPECT_TRUE(plat::OpenRegistry(false));
    DWORD value = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"A", L"Good", &value), S_OK);
    EXPECT_EQ(value, 5u);
    EXPECT_TRUE(fs::exists(root.path() / "registry.txt.bad"));
    auto check = plat::detail::CheckRegistryFile(root.path() / "registry.txt.bad");
    EXPECT_EQ(check.badLines, 4u);
    EXPECT_FALSE(check.complete);
}

// --- notifications ------------------------------------------------------------------

struct Calls {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<std::pair<DWORD, std::vector<BYTE>>> seen;  // user value, data
    std::vector<bool> hadData;
    std::thread::id thread;

    std::size_t Count()
    {
        std::lock_guard guard(lock);
        return seen.size();
    }
};
Calls* g_calls = nullptr;

void Record(HREGNOTIFY, DWORD user, BYTE* const data, const UINT size)
{
    std::lock_guard guard(g_calls->lock);
    g_calls->seen.emplace_back(user, std::vector<BYTE>(data, data + size));
    g_calls->hadData.push_back(data != nullptr);
    g_calls->thread = std::this_thread::get_id();
    g_calls->changed.notify_all();
}

class RegistryNotify : public Registry {
protected:
    void SetUp() override
    {
        Registry::SetUp();
        g_calls = &calls;
    }
    void TearDown() override
    {
        Registry::TearDown();
        g_calls = nullptr;
    }
    Calls calls;
};

TEST_F(RegistryNotify, ConditionsDecideWhatFires)
{
    NOTIFICATIONCONDITION incoming{REG_CT_ANYCHANGE, 0x10000, {}};
    incoming.TargetValue.dw = 0xFFFFFFFF;
    NOTIFICATIONCONDITION powerKey{REG_CT_EQUAL, 0xFFFFFFFF, {}};
    powerKey.TargetValue.dw = 129;
    NOTIFICATIONCONDITION battery{REG_CT_ANYCHANGE, 0xFFFF, {}};
    HREGNOTIFY h[4] = {};
    ASSERT_EQ(RegistryNotifyCallback(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", Record, 1, &incoming, &h[0]), S_OK);
    ASSERT_EQ(RegistryNotifyCallback(HKEY_LOCAL_MACHINE, L"\\System\\State\\Velmora\\Keypad", L"KeyValue", Record, 2, &powerKey, &h[1]), S_OK);
    ASSERT_EQ(RegistryNotifyCallback(HKEY_LOCAL_MACHINE, L"System\\State\\OrvaMan", L"Orva_Battery", Record, 3, &battery, &h[2]), S_OK);
    ASSERT_EQ(RegistryNotifyCallback(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera", L"Status", Record, 4, nullptr, &h[3]), S_OK);

    struct Step {
        const wchar_t* key;
        const wchar_t* value;
        DWORD data;
        int fires;  // user value of the notification that fires, 0 for none
    } steps[] = {
        {L"System\\State\\Phone", L"Status", 0, 0},              // created as 0: bit 0x10000 did not change
        {L"System\\State\\Phone", L"Status", 0x20000000, 0},     // other bits
        {L"System\\State\\Phone", L"Status", 0x20010000, 1},     // a call rings
        {L"System\\State\\Phone", L"Status", 0x00010000, 0},
        {L"System\\State\\Phone", L"Status", 0, 1},              // it stops
        {L"System\\State\\Velmora\\Keypad", L"KeyValue", 5, 0},
        {L"System\\State\\Velmora\\Keypad", L"KeyValue", 129, 2},
        {L"System\\State\\Velmora\\Keypad", L"KeyValue", 129, 0},  // no change, no call
        {L"System\\State\\OrvaMan", L"Orva_Battery", 0x10003, 3},
        {L"System\\State\\OrvaMan", L"Orva_Battery", 0x20003, 0},  // masked away
        {L"Drivers\\BuiltIn\\Camera", L"Status", 2, 4},
        {L"Drivers\\BuiltIn\\Camera", L"Status", 2, 0},
    };
    std::size_t expected = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(plat::ToUtf8(step.value) + " = " + std::to_string(step.data));
        ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, step.key, step.value, step.data), S_OK);
        if (step.fires) {
            ++expected;
            ASSERT_TRUE(Eventually([&] { return calls.Count() == expected; }));
            std::lock_guard guard(calls.lock);
            EXPECT_EQ(calls.seen.back().first, static_cast<DWORD>(step.fires));
            ASSERT_EQ(calls.seen.back().second.size(), 4u);
            DWORD delivered;
            std::memcpy(&delivered, calls.seen.back().second.data(), 4);
            EXPECT_EQ(delivered, step.data);
        }
    }
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(calls.Count(), expected);
    {
        std::lock_guard guard(calls.lock);
        EXPECT_NE(calls.thread, std::this_thread::get_id());  // the notification thread, not the writer
    }

    // A deleted value reports no data; a string value fires on a change of text.
    HKEY camera = Create(HKEY_LOCAL_MACHINE, L"Drivers\\BuiltIn\\Camera");
    ASSERT_EQ(RegDeleteValueW(camera, L"Status"), ERROR_SUCCESS);
    ASSERT_TRUE(Eventually([&] { return calls.Count() == expected + 1; }));
    {
        std::lock_guard guard(calls.lock);
        EXPECT_FALSE(calls.hadData.back());
    }
    RegCloseKey(camera);

    NOTIFICATIONCONDITION anyText{REG_CT_ANYCHANGE, 0, {}};
    anyText.TargetValue.psz = L"";
    HREGNOTIFY app;
    HKEY shell = Create(HKEY_CURRENT_USER, L"System\\State\\Shell");
    RegSetValueExW(shell, L"Active Application", 0, REG_SZ, Bytes(L"Camera"), SzSize(L"Camera"));
    ASSERT_EQ(RegistryNotifyCallback(HKEY_CURRENT_USER, L"System\\State\\Shell", L"Active Application", Record, 5, &anyText, &app), S_OK);
    RegSetValueExW(shell, L"Active Application", 0, REG_SZ, Bytes(L"Camera"), SzSize(L"Camera"));
    RegSetValueExW(shell, L"Active Application", 0, REG_SZ, Bytes(L"Other\x1BProgram"), SzSize(L"Other\x1BProgram"));
    ASSERT_TRUE(Eventually([&] { return calls.Count() == expected + 2; }));
    {
        std::lock_guard guard(calls.lock);
        EXPECT_EQ(calls.seen.back().first, 5u);
    }
    RegCloseKey(shell);

    for (HREGNOTIFY n : h)
        EXPECT_EQ(RegistryCloseNotification(n), S_OK);
    EXPECT_TRUE(FAILED(RegistryCloseNotification(h[0])));
    EXPECT_EQ(RegistryCloseNotification(app), S_OK);
}

// While a callback runs, closing its notification from another thread waits for it.
std::atomic<bool> g_inside{false};
std::atomic<bool> g_release{false};
std::atomic<bool> g_finished{false};
HREGNOTIFY g_self = nullptr;
HRESULT g_selfClose = E_FAIL;

void SlowCallback(HREGNOTIFY, DWORD, BYTE* const, const UINT)
{
    g_inside = true;
    while (!g_release)
        std::this_thread::sleep_for(1ms);
    std::this_thread::sleep_for(20ms);
    g_finished = true;
}

void ClosingCallback(HREGNOTIFY self, DWORD, BYTE* const, const UINT)
{
    g_selfClose = RegistryCloseNotification(self);  // from inside: must not wait for itself
    g_finished = true;
}

TEST_F(RegistryNotify, ClosingWaitsForARunningCallback)
{
    HREGNOTIFY slow;
    ASSERT_EQ(RegistryNotifyCallback(HKEY_LOCAL_MACHINE, L"Test", L"Slow", SlowCallback, 0, nullptr, &slow), S_OK);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Test", L"Slow", 1);
    ASSERT_TRUE(Eventually([] { return g_inside.load(); }));
    std::thread releaser([] {
        std::this_thread::sleep_for(30ms);
        g_release = true;
    });
    EXPECT_EQ(RegistryCloseNotification(slow), S_OK);
    EXPECT_TRUE(g_finished);  // the callback had ended before the close returned
    releaser.join();

    g_finished = false;
    ASSERT_EQ(RegistryNotifyCallback(HKEY_LOCAL_MACHINE, L"Test", L"Self", ClosingCallback, 0, nullptr, &g_self), S_OK);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Test", L"Self", 1);
    ASSERT_TRUE(Eventually([] { return g_finished.load(); }));
    EXPECT_EQ(g_selfClose, S_OK);
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Test", L"Self", 2);
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(RegistryCloseNotification(g_self), E_INVALIDARG);  // already ended by itself
}

// --- other processes --------------------------------------------------------------

TEST_F(RegistryNotify, ValuesWrittenByLumregFireUntilClosed)
{
    HREGNOTIFY ring;
    NOTIFICATIONCONDITION incoming{REG_CT_ANYCHANGE, 0x10000, {}};
    ASSERT_EQ(RegistryNotifyCallback(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", Record, 9, &incoming, &ring), S_OK);
    // This process's own unsaved value must survive the other writer.
    RegistrySetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", L"Mine", 42);

    ASSERT_EQ(RunProgram({Lumreg(), "--root", root.path().string(), "set", "HKLM\\System\\State\\Phone", "Status", "dword", "0x10000"}), 0);
    ASSERT_TRUE(Eventually([&] { return calls.Count() == 1; }));
    {
        std::lock_guard guard(calls.lock);
        EXPECT_NE(calls.thread, std::this_thread::get_id());
        EXPECT_EQ(calls.seen[0].first, 9u);
        EXPECT_EQ(calls.seen[0].second, (std::vector<BYTE>{0, 0, 1, 0}));
    }
    DWORD mine = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"SOFTWARE\\Quarlo\\LumOCR", L"Mine", &mine), S_OK);
    EXPECT_EQ(mine, 42u);

    EXPECT_EQ(RegistryCloseNotification(ring), S_OK);
    ASSERT_EQ(RunProgram({Lumreg(), "--root", root.path().string(), "set", "HKLM\\System\\State\\Phone", "Status", "dword", "0"}), 0);
    DWORD status = 1;
    EXPECT_TRUE(Eventually([&] {
        return RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"System\\State\\Phone", L"Status", &status) == S_OK && status == 0;
    }));
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(calls.Count(), 1u);  // closed: no further call

    // Both sides' values end up in the file.
    ASSERT_TRUE(plat::FlushRegistry());
    std::ifstream file(root.path() / plat::kRegistryFileName);
    std::string text((std::istreambuf_iterator<char>(file)), {});
    EXPECT_NE(text.find("\"Mine\"=dword:0000002a"), std::string::npos);
    EXPECT_NE(text.find("\"Status\"=dword:00000000"), std::string::npos);
}

TEST_F(RegistryNotify, KeyWatchNamesEachChangedValue)
{
    std::mutex lock;
    std::vector<std::wstring> names;
    HREGNOTIFY cards = plat::NotifyKeyChanges(HKEY_LOCAL_MACHINE, L"Platform\\StorageCards", [&](const std::wstring& name) {
        std::lock_guard guard(lock);
        names.push_back(name);
    });
    ASSERT_NE(cards, nullptr);
    auto count = [&] {
        std::lock_guard guard(lock);
        return names.size();
    };
    // A card inserted from outside, as a scenario or a person does.
    ASSERT_EQ(RunProgram({Lumreg(), "--root", root.path().string(), "set", "HKLM\\Platform\\StorageCards", "Storage Card", "dword", "1"}), 0);
    ASSERT_TRUE(Eventually([&] { return count() == 1; }));
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Platform\\StorageCards", L"Storage Card", 1), S_OK);  // no change
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Platform\\StorageCards", L"Internal Storage", 1), S_OK);
    EXPECT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Platform\\Other", L"Storage Card", 0), S_OK);  // another key
    ASSERT_TRUE(Eventually([&] { return count() == 2; }));
    std::this_thread::sleep_for(50ms);
    EXPECT_EQ(RegistryCloseNotification(cards), S_OK);
    std::lock_guard guard(lock);
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Storage Card", L"Internal Storage"}));
}

TEST(RegistryTool, GetSetAndDump)
{
    lumtest::TempDir root;
    std::string dir = root.path().string();
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "set", "HKCU\\Software\\Velmora\\Camera", "Run", "dword", "1"}), 0);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "set", "HKLM\\System\\State\\Velmora\\SDCARD", "InStorageFolder", "sz", "Storage Card"}), 0);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "get", "HKCU\\Software\\Velmora\\Camera", "Run"}), 0);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "get", "HKCU\\Software\\Velmora\\Camera", "Missing"}), 1);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "get", "HKCU\\Software\\Nowhere"}), 1);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "set", "HKCU\\X", "V", "dword", "-1"}), 1);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "set", "HKCU\\X", "V", "dword", "0x100000000"}), 1);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "set", "NOWHERE\\X", "V", "dword", "1"}), 1);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "set", "HKCU\\X", "V", "qword", "1"}), 2);
    EXPECT_EQ(RunProgram({Lumreg(), "--root", dir, "dump"}), 0);

    plat::SetDeviceRoot(root.path());
    ASSERT_TRUE(plat::OpenRegistry(false));
    WCHAR folder[260] = {};
    EXPECT_EQ(RegistryGetString(HKEY_LOCAL_MACHINE, L"System\\State\\Velmora\\SDCARD", L"InStorageFolder", folder, 260), S_OK);
    EXPECT_STREQ(folder, L"Storage Card");
    DWORD run = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"Software\\Velmora\\Camera", L"Run", &run), S_OK);
    EXPECT_EQ(run, 1u);
    EXPECT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"X", L"V", &run), HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND));
    plat::CloseRegistry();
}

TEST(RegistryCrash, KillDuringHeavyWritesLeavesAWholeFile)
{
    lumtest::TempDir root;
    fs::path file = root.path() / plat::kRegistryFileName;
    const std::string writer = std::string(LUM_BINARY_DIR) + "/bin/lum_writer_probe";
    DWORD lastRound = 0;
    for (int attempt = 0; attempt < 6; ++attempt) {
        const ino_t before = Inode(file);
        pid_t pid = Spawn({writer, root.path().string(), "registry"});
        ASSERT_GT(pid, 0);
        // Let it write for a while, then kill it mid-flight: each flush puts a
        // new file in place, so a new inode means this writer flushed a round.
        ASSERT_TRUE(Eventually([&] { return Inode(file) != before; }, 20000ms));
        std::this_thread::sleep_for(std::chrono::milliseconds(20 + 37 * attempt));
        kill(pid, SIGKILL);
        int status = 0;
        waitpid(pid, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status));

        auto check = plat::detail::CheckRegistryFile(file);
        ASSERT_TRUE(check.readable);
        EXPECT_TRUE(check.complete);
        EXPECT_EQ(check.badLines, 0u);

        // Every value of the file comes from one and the same round, never older than the last one seen.
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        DWORD first = 0;
        ASSERT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"Stress", L"Value0", &first), S_OK);
        for (int i = 1; i < 40; ++i) {
            DWORD v = 0;
            ASSERT_EQ(RegistryGetDWORD(HKEY_CURRENT_USER, L"Stress", (L"Value" + std::to_wstring(i)).c_str(), &v), S_OK);
            ASSERT_EQ(v, first) << "value " << i;
        }
        EXPECT_GT(first, lastRound);  // this writer went on from the last one
        lastRound = first;
        plat::CloseRegistry();
    }
    EXPECT_GT(lastRound, 1u);
}

}  // namespace
