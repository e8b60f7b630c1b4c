#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cwchar>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "lumtest/tempdir.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/windows.h"

namespace {

class Processes : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
    }
    void TearDown() override
    {
        plat::EndApplications();
        plat::CloseRegistry();
    }

    // As a person would with lumreg: the values one by one.
    static void Declare(LPCWSTR name, LPCWSTR path, LPCWSTR windowClass)
    {
        std::wstring key = std::wstring(plat::kApplicationsKey) + L"\\" + name;
        HKEY handle;
        ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle,
                                  nullptr),
                  ERROR_SUCCESS);
        for (auto [value, text] : {std::pair{L"Path", path}, std::pair{L"WindowClass", windowClass}})
            RegSetValueExW(handle, value, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                           static_cast<DWORD>((std::wcslen(text) + 1) * sizeof(WCHAR)));
        RegCloseKey(handle);
    }
    static void SetRunning(LPCWSTR name, DWORD running)
    {
        std::wstring key = std::wstring(plat::kApplicationsKey) + L"\\" + name;
        ASSERT_EQ(RegistrySetDWORD(HKEY_LOCAL_MACHINE, key.c_str(), L"Running", running), S_OK);
    }
    static DWORD Running(LPCWSTR name)
    {
        std::wstring key = std::wstring(plat::kApplicationsKey) + L"\\" + name;
        DWORD running = 99;
        RegistryGetDWORD(HKEY_LOCAL_MACHINE, key.c_str(), L"Running", &running);
        return running;
    }

    static std::vector<PROCESSENTRY32W> Snapshot()
    {
        std::vector<PROCESSENTRY32W> list;
        HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS | TH32CS_SNAPNOHEAPS, 0);
        EXPECT_NE(snapshot, INVALID_HANDLE_VALUE);
        PROCESSENTRY32W entry{};
        entry.dwSize = sizeof(entry);
        for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
            list.push_back(entry);
        EXPECT_EQ(GetLastError(), ERROR_NO_MORE_FILES);
        EXPECT_TRUE(CloseToolhelp32Snapshot(snapshot));
        return list;
    }

    static std::wstring ModuleOf(DWORD process)
    {
        HANDLE handle = OpenProcess(0, FALSE, process);
        if (!handle)
            return L"(no process)";
        WCHAR name[MAX_PATH];
        DWORD length = GetModuleFileNameW(reinterpret_cast<HMODULE>(handle), name, MAX_PATH);
        CloseHandle(handle);
        return length ? std::wstring(name, length) : L"(unreadable)";
    }

    // Waits (real time) until the application's log holds `count` messages.
    static std::vector<plat::ApplicationMessage> WaitForMessages(LPCWSTR name, std::size_t count)
    {
        for (int spin = 0; spin < 5000 && plat::ApplicationMessages(name).size() < count; ++spin)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return plat::ApplicationMessages(name);
    }

    lumtest::TempDir root;
};

TEST_F(Processes, ThisProgramIsAlwaysThere)
{
    auto list = Snapshot();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].th32ProcessID, GetCurrentProcessId());
    EXPECT_STREQ(list[0].szExeFile, L"LumOCR.exe");
    EXPECT_EQ(ModuleOf(GetCurrentProcessId()), plat::kProgramPath);
    WCHAR name[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameW(nullptr, name, MAX_PATH), std::wcslen(plat::kProgramPath));
    EXPECT_STREQ(name, plat::kProgramPath);
    WCHAR shortBuffer[5];
    EXPECT_EQ(GetModuleFileNameW(nullptr, shortBuffer, 5), 5u);
    EXPECT_EQ(GetLastError(), ERROR_INSUFFICIENT_BUFFER);
    EXPECT_STREQ(shortBuffer, L"\\Win");
}

TEST_F(Processes, AnApplicationRunsWhileTheRegistryDeclaresIt)
{
    Declare(L"Radio", L"\\Windows\\Wexlar.exe", L"WexlarWnd");
    EXPECT_EQ(FindWindowW(L"WexlarWnd", nullptr), nullptr) << "declared, but not running";

    SetRunning(L"Radio", 1);
    HWND window = FindWindowW(L"WexlarWnd", nullptr);
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(IsWindowVisible(window));
    DWORD process = 0;
    DWORD thread = GetWindowThreadProcessId(window, &process);
    EXPECT_NE(process, GetCurrentProcessId());
    EXPECT_NE(thread, GetCurrentThreadId());
    auto list = Snapshot();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[1].th32ProcessID, process);
    EXPECT_STREQ(list[1].szExeFile, L"Wexlar.exe");
    EXPECT_EQ(ModuleOf(process), L"\\Windows\\Wexlar.exe");

    SetRunning(L"Radio", 0);  // another writer, as lumreg
    EXPECT_EQ(Snapshot().size(), 1u);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(OpenProcess(0, FALSE, process), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
}

TEST_F(Processes, TheWindowKeepsWhatItIsSentAndPosted)
{
    ASSERT_NE(plat::StartApplication(L"Player", L"\\Windows\\Quodeck.exe", L"QuodeckWnd"), 0u);
    HWND window = FindWindowW(L"QuodeckWnd", nullptr);
    ASSERT_NE(window, nullptr);
    plat::DebugCapture log;
    const BYTE bytes[] = {1, 2, 3};
    COPYDATASTRUCT data{7, sizeof(bytes), const_cast<BYTE*>(bytes)};
    SendMessageW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    PostMessageW(window, 0x8067, 5, 6);
    auto got = WaitForMessages(L"Player", 2);
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].message, WM_COPYDATA);
    EXPECT_FALSE(got[0].posted);
    EXPECT_EQ(got[0].copyDataWord, 7u);
    EXPECT_EQ(got[0].copyData, (std::vector<BYTE>{1, 2, 3}));
    EXPECT_EQ(got[1].message, 0x8067u);
    EXPECT_TRUE(got[1].posted);
    EXPECT_EQ(got[1].wParam, 5u);
    EXPECT_EQ(got[1].lParam, 6);
    EXPECT_TRUE(log.Contains(L"[Player] sent 0x004A (0, 0) with 3 bytes"));
    EXPECT_TRUE(log.Contains(L"[Player] posted 0x8067 (5, 6)"));
}

TEST_F(Processes, CloseEndsTheApplicationForGood)
{
    DWORD process = plat::StartApplication(L"Frame", L"\\Windows\\TarnQuivelle.exe", L"TARNQUIVELLE");
    ASSERT_NE(process, 0u);
    HWND window = FindWindowW(L"tarnquivelle", nullptr);
    HANDLE handle = OpenProcess(0, FALSE, process);
    ASSERT_NE(handle, nullptr);
    SendMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(Running(L"Frame"), 0u);
    for (int spin = 0; spin < 5000 && Snapshot().size() > 1; ++spin)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(Snapshot().size(), 1u);
    EXPECT_EQ(OpenProcess(0, FALSE, process), nullptr);
    WCHAR name[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(handle), name, MAX_PATH), 0u) << "it has ended";
    EXPECT_TRUE(CloseHandle(handle));
    auto got = plat::ApplicationMessages(L"Frame");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, WM_CLOSE);

    // Stopped from outside it goes without a message; started again it is a new process.
    DWORD again = plat::StartApplication(L"Frame", L"\\Windows\\TarnQuivelle.exe", L"TARNQUIVELLE");
    EXPECT_NE(again, 0u);
    EXPECT_NE(again, process);
    EXPECT_TRUE(plat::StopApplication(L"Frame"));
    EXPECT_FALSE(plat::StopApplication(L"Frame"));
    EXPECT_TRUE(plat::ApplicationMessages(L"Frame").empty());
    EXPECT_EQ(Running(L"Frame"), 0u);
}

TEST_F(Processes, ApplicationsStayInTheBackground)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = &DefWindowProcW;
    wc.lpszClassName = L"ProcessesOwnWindow";
    RegisterClassW(&wc);
    HWND own = CreateWindowExW(0, L"ProcessesOwnWindow", L"", WS_VISIBLE, 0, 0, 240, 400, nullptr, nullptr, nullptr,
                               nullptr);
    ASSERT_NE(own, nullptr);
    ASSERT_NE(plat::StartApplication(L"Player", L"\\Windows\\Quodeck.exe", L"QuodeckWnd"), 0u);
    HWND player = FindWindowW(L"QuodeckWnd", nullptr);
    EXPECT_EQ(GetForegroundWindow(), own);
    POINT centre{120, 200};
    EXPECT_EQ(WindowFromPoint(centre), own);
    EXPECT_EQ(GetWindow(own, GW_HWNDLAST), player);
    DestroyWindow(own);
}

TEST_F(Processes, RefusedRequests)
{
    EXPECT_EQ(CreateToolhelp32Snapshot(0x1 /* heap list */, 0), INVALID_HANDLE_VALUE);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_PARAMETER);
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry{};
    entry.dwSize = 564;  // the handset's size, not this platform's
    EXPECT_FALSE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(GetLastError(), ERROR_BAD_LENGTH);
    EXPECT_TRUE(CloseToolhelp32Snapshot(snapshot));
    EXPECT_FALSE(Process32FirstW(snapshot, &entry));
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    HANDLE process = OpenProcess(0, FALSE, GetCurrentProcessId());
    EXPECT_FALSE(CloseToolhelp32Snapshot(process)) << "a process is no snapshot";
    EXPECT_TRUE(CloseHandle(process));

    EXPECT_EQ(plat::StartApplication(L"NoWindow", L"\\Windows\\x.exe", L""), 0u);
    EXPECT_EQ(plat::StartApplication(L"", L"\\Windows\\x.exe", L"XWnd"), 0u);
    WCHAR name[MAX_PATH];
    EXPECT_EQ(GetModuleFileNameW(reinterpret_cast<HMODULE>(0x1234), name, MAX_PATH), 0u);
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);

    // Without a path the process tells no module name.
    DWORD guarded = plat::StartApplication(L"Guarded", L"", L"GuardedWnd");
    ASSERT_NE(guarded, 0u);
    EXPECT_EQ(ModuleOf(guarded), L"(unreadable)");
}

TEST(Cursor, OnlyTheWaitCursorIsThere)
{
    HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
    EXPECT_NE(wait, nullptr);
    EXPECT_EQ(LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(static_cast<ULONG_PTR>(32512))), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    HCURSOR before = SetCursor(wait);
    EXPECT_EQ(SetCursor(before), wait);
}

// Brevox.dll, as the shell loads it.
class Watermark : public Processes {
protected:
    void SetUp() override
    {
        Processes::SetUp();
        library = LoadLibraryW(L"Brevox.dll");
        ASSERT_NE(library, nullptr);
        apply = reinterpret_cast<Apply>(GetProcAddressW(library, L"SetTodayWatermark"));
        ASSERT_NE(apply, nullptr);
    }
    void TearDown() override
    {
        FreeLibrary(library);
        Processes::TearDown();
    }

    void Write(const std::filesystem::path& relative, const std::string& bytes)
    {
        std::filesystem::create_directories((root.path() / relative).parent_path());
        std::ofstream(root.path() / relative, std::ios::binary) << bytes;
    }
    std::string Read(const std::filesystem::path& relative)
    {
        std::ifstream in(root.path() / relative, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    std::vector<std::string> WindowsFolder()
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(root.path() / "Windows"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    using Apply = HRESULT (*)(LPCWSTR, DWORD, DWORD);
    HMODULE library = nullptr;
    Apply apply = nullptr;
};

TEST_F(Watermark, OnePicturePerScreenSizeAndItsTransparency)
{
    Write("pictures/a.png", "png");
    Write("pictures/b.jpg", "jpeg");
    EXPECT_EQ(apply(L"\\pictures\\a.png", 100, 1), S_OK);
    EXPECT_EQ(WindowsFolder(), std::vector<std::string>{"tdywater_240_400.png"});
    EXPECT_EQ(apply(L"\\Pictures\\B.JPG", 0, 1), S_OK);
    EXPECT_EQ(WindowsFolder(), std::vector<std::string>{"tdywater_240_400.jpg"});
    EXPECT_EQ(Read("Windows/tdywater_240_400.jpg"), "jpeg");
    DWORD transparency = 99;
    RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Microsoft\\Today\\Watermark", L"Transparency", &transparency);
    EXPECT_EQ(transparency, 0u);
    // The current picture applied again stays.
    EXPECT_EQ(apply(L"\\Windows\\tdywater_240_400.jpg", 255, 1), S_OK);
    EXPECT_EQ(Read("Windows/tdywater_240_400.jpg"), "jpeg");
}

TEST_F(Watermark, RefusalsLeaveTheCurrentPicture)
{
    Write("pictures/a.png", "png");
    Write("pictures/noext", "x");
    ASSERT_EQ(apply(L"\\pictures\\a.png", 10, 1), S_OK);
    struct Case {
        const wchar_t* path;
        DWORD transparency, flag;
        HRESULT result;
    } cases[] = {
        {L"\\pictures\\missing.png", 10, 1, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
        {L"\\pictures", 10, 1, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},  // a folder
        {L"\\pictures\\noext", 10, 1, E_INVALIDARG},                       // no kind to tell
        {L"\\pictures\\a.png", 256, 1, E_INVALIDARG},
        {L"\\pictures\\a.png", 10, 0, E_INVALIDARG},
        {L"", 10, 1, E_INVALIDARG},
        {nullptr, 10, 1, E_INVALIDARG},
        {L"\\..\\outside.png", 10, 1, HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(apply(c.path, c.transparency, c.flag), c.result) << (c.path ? c.path : L"(null)");
    EXPECT_EQ(WindowsFolder(), std::vector<std::string>{"tdywater_240_400.png"});
    EXPECT_EQ(Read("Windows/tdywater_240_400.png"), "png");
}

}  // namespace
