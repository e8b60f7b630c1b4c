#include <algorithm>
#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "services_fixture.h"
#include "utility.h"

namespace {

TEST(Utility, FileExtensionLooksOnlyAtTheFileName)
{
    struct Case {
        const wchar_t* path;
        const wchar_t* extension;
    } cases[] = {
        {L"\\My Documents\\KVIM\\B261210001.jpg", L".jpg"},
        {L"\\Storage.Card\\KVIM\\picture", L""},  // the dot is the folder's
        {L"\\Storage.Card\\clip.tar.3gp", L".3gp"},
        {L"name.", L"."},
        {L"", L""},
        {nullptr, L""},
    };
    for (const Case& c : cases)
        EXPECT_STREQ(GetFileExtension(c.path), c.extension) << (c.path ? c.path : L"(null)");
}

TEST(Utility, PauseCommandIsUtf16WithItsTerminator)
{
    const BYTE expected[] = {'P', 0, 'a', 0, 'u', 0, 's', 0, 'e', 0, 0, 0};
    ASSERT_EQ(kPauseCommand.size(), sizeof(expected));
    EXPECT_TRUE(std::equal(kPauseCommand.begin(), kPauseCommand.end(), expected));
}

class UtilityFiles : public ServicesFixture {
protected:
    void TearDown() override
    {
        CUtility::ReleaseInstance();
        ServicesFixture::TearDown();
    }
};

TEST_F(UtilityFiles, FileSizes)
{
    std::ofstream(root.path() / "empty.jpg").close();
    std::ofstream(root.path() / "five.jpg") << "12345";
    CUtility* utility = CUtility::GetInstance();
    EXPECT_EQ(utility->GetFileSize(L"\\five.jpg"), 5u);
    EXPECT_EQ(utility->GetFileSize(L"\\empty.jpg"), 0u);
    EXPECT_EQ(utility->GetFileSize(L"\\missing.jpg"), 0u);
}

// Other applications of the device, started per test.
class UtilityApps : public ServicesFixture {
protected:
    void SetUp() override
    {
        ServicesFixture::SetUp();
        dwAlarmRadioOnBefore = 0;
        utility = CUtility::GetInstance();
    }
    void TearDown() override
    {
        plat::EndApplications();
        CUtility::ReleaseInstance();
        dwAlarmRadioOnBefore = 0;
        ServicesFixture::TearDown();
    }

    // What the application's window got, once everything posted to it so far
    // has been handled (a WM_NULL posted last marks the end).
    static std::vector<plat::ApplicationMessage> Received(LPCWSTR name, LPCWSTR windowClass)
    {
        auto markers = [&] {
            auto log = plat::ApplicationMessages(name);
            return std::count_if(log.begin(), log.end(), [](const auto& m) { return m.message == WM_NULL; });
        };
        auto before = markers();
        HWND window = FindWindowW(windowClass, nullptr);
        if (window && PostMessageW(window, WM_NULL, 0, 0)) {
            for (int spin = 0; spin < 5000 && markers() == before; ++spin)
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        auto log = plat::ApplicationMessages(name);
        std::erase_if(log, [](const plat::ApplicationMessage& m) { return m.message == WM_NULL; });
        return log;
    }

    static std::vector<UINT> MessagesOf(LPCWSTR name, LPCWSTR windowClass)
    {
        std::vector<UINT> ids;
        for (const auto& m : Received(name, windowClass))
            ids.push_back(m.message);
        return ids;
    }

    static void DeleteValue(LPCWSTR key, LPCWSTR value)
    {
        HKEY handle;
        if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key, 0, 0, &handle) == ERROR_SUCCESS) {
            RegDeleteValueW(handle, value);
            RegCloseKey(handle);
        }
    }

    CUtility* utility = nullptr;
};

TEST_F(UtilityApps, ProcessesAreFoundByFileNameIgnoringCase)
{
    ASSERT_NE(plat::StartApplication(L"Wexlar", kRadioPath, L"WexlarWnd"), 0u);
    struct Case {
        const wchar_t* name;
        BOOL running;
    } cases[] = {
        {L"Wexlar.exe", TRUE},  {L"wEXLAR.EXE", TRUE},           {L"LumOCR.exe", TRUE},
        {L"hopper.exe", FALSE}, {L"\\Windows\\Wexlar.exe", FALSE},  // a path is no file name
        {L"Wexlar", FALSE},     {L"", FALSE},                    {nullptr, FALSE},
    };
    for (const Case& c : cases)
        EXPECT_EQ(utility->IsProcessRunning(c.name), c.running) << (c.name ? c.name : L"(null)");
    plat::StopApplication(L"Wexlar");
    EXPECT_FALSE(utility->IsProcessRunning(L"Wexlar.exe"));
}

TEST_F(UtilityApps, PauseGoesToTheFirstPlayerThatRuns)
{
    struct Case {
        bool quodeck, mevolin;
        const wchar_t* paused;  // the one that gets "Pause", or null
    } cases[] = {
        {true, true, L"Quodeck"},
        {false, true, L"Mevolin"},
        {true, false, L"Quodeck"},
        {false, false, nullptr},
    };
    for (const Case& c : cases) {
        if (c.quodeck) {
            ASSERT_NE(plat::StartApplication(L"Quodeck", kQuodeckPath, L"QuodeckWnd"), 0u);
        }
        if (c.mevolin) {
            ASSERT_NE(plat::StartApplication(L"Mevolin", kMevolinPath, L"MevolinWnd"), 0u);
        }
        utility->PauseMediaPlayers();
        for (auto [player, running] : {std::pair{L"Quodeck", c.quodeck}, std::pair{L"Mevolin", c.mevolin}}) {
            if (!running)
                continue;
            auto got = Received(player, (std::wstring(player) + L"Wnd").c_str());
            bool paused = c.paused && std::wstring(c.paused) == player;
            ASSERT_EQ(got.size(), paused ? 1u : 0u) << player << " with " << c.quodeck << c.mevolin;
            if (!paused)
                continue;
            EXPECT_EQ(got[0].message, WM_COPYDATA);
            EXPECT_FALSE(got[0].posted);
            EXPECT_EQ(got[0].copyDataWord, 0u);
            const std::vector<BYTE> pause = {'P', 0, 'a', 0, 'u', 0, 's', 0, 'e', 0, 0, 0};
            EXPECT_EQ(got[0].copyData, pause);
        }
        plat::StopApplication(L"Quodeck");
        plat::StopApplication(L"Mevolin");
    }
}

TEST_F(UtilityApps, WindowSearchGoesPastAWindowWhoseModuleCannotBeRead)
{
    // Without a path the process tells no module name; its window lies above the player's.
    ASSERT_NE(plat::StartApplication(L"Guarded", L"", L"GuardedWnd"), 0u);
    ASSERT_NE(plat::StartApplication(L"Quodeck", kQuodeckPath, L"QuodeckWnd"), 0u);
    utility->PauseMediaPlayers();
    EXPECT_EQ(MessagesOf(L"Quodeck", L"QuodeckWnd"), std::vector<UINT>{WM_COPYDATA});
    EXPECT_TRUE(MessagesOf(L"Guarded", L"GuardedWnd").empty());

    // A null record stops the enumeration; a window that is gone is passed over.
    EXPECT_FALSE(CUtility::EnumWindowsProc(FindWindowW(L"QuodeckWnd", nullptr), 0));
    CUtility::WindowSearch search;
    std::wcscpy(search.path, kQuodeckPath);
    EXPECT_TRUE(CUtility::EnumWindowsProc(reinterpret_cast<HWND>(0x4), reinterpret_cast<LPARAM>(&search)));
    EXPECT_EQ(search.window, nullptr);
    EXPECT_EQ(search.process, 0u);
}

TEST_F(UtilityApps, WindowSearchRecordsTheWindowAndItsProcess)
{
    DWORD radio = plat::StartApplication(L"Wexlar", kRadioPath, L"WexlarWnd");
    ASSERT_NE(radio, 0u);
    CUtility::WindowSearch search;
    std::wcscpy(search.path, L"\\WINDOWS\\wexlar.exe");
    plat::DebugCapture log;
    EXPECT_TRUE(EnumWindows(&CUtility::EnumWindowsProc, reinterpret_cast<LPARAM>(&search)));
    EXPECT_EQ(search.window, FindWindowW(L"WexlarWnd", nullptr));
    EXPECT_EQ(search.process, radio);
    EXPECT_NE(search.process, GetCurrentProcessId());
    EXPECT_TRUE(log.Contains(L"=[\\Windows\\Wexlar.exe]\r\n"));
}

TEST_F(UtilityApps, MediaPlayerIsStoppedThroughItsWindowClass)
{
    EXPECT_EQ(utility->StopMediaPlayer(), 0);
    ASSERT_NE(plat::StartApplication(L"WMPlayer", L"\\Windows\\wmplayer.exe", kMediaPlayerClass), 0u);
    plat::DebugCapture log;
    utility->StopMediaPlayer();
    auto got = Received(L"WMPlayer", kMediaPlayerClass);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, kMediaPlayerStop);
    EXPECT_FALSE(got[0].posted);
    EXPECT_EQ(got[0].wParam, 0u);
    EXPECT_EQ(got[0].lParam, 0);
    EXPECT_TRUE(log.Contains(L"Detect Windows Media Player running"));
}

TEST_F(UtilityApps, RadioIsStoppedAndResumedByItsState)
{
    struct Case {
        std::optional<DWORD> radioOn;
        std::optional<DWORD> playInBackground;
        std::vector<UINT> afterStop;
        std::vector<UINT> afterResume;
    } cases[] = {
        {std::nullopt, std::nullopt, {}, {}},
        {0, std::nullopt, {}, {}},
        {1, std::nullopt, {kRadioStop}, {kRadioStop, kRadioPlay}},
        {1, 0, {kRadioStop}, {kRadioStop, kRadioPlay}},
        {1, 1, {kRadioStop}, {kRadioStop}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.radioOn.value_or(99) * 10 + c.playInBackground.value_or(9));
        ASSERT_NE(plat::StartApplication(L"Wexlar", kRadioPath, L"WexlarWnd"), 0u);
        if (c.radioOn)
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, kRadioStateKey, L"RadioOn", *c.radioOn);
        if (c.playInBackground)
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, kRadioPreferenceKey, L"PlayInBackground", *c.playInBackground);

        utility->StopRadioPlayback();
        EXPECT_EQ(dwAlarmRadioOnBefore, c.radioOn.value_or(0));
        EXPECT_EQ(MessagesOf(L"Wexlar", L"WexlarWnd"), c.afterStop);
        utility->ResumeRadioPlayback();
        auto got = Received(L"Wexlar", L"WexlarWnd");
        std::vector<UINT> ids;
        for (const auto& m : got) {
            ids.push_back(m.message);
            EXPECT_TRUE(m.posted);
        }
        EXPECT_EQ(ids, c.afterResume);

        plat::StopApplication(L"Wexlar");
        DeleteValue(kRadioStateKey, L"RadioOn");
        DeleteValue(kRadioPreferenceKey, L"PlayInBackground");
    }
}

TEST_F(UtilityApps, ResumeWithoutARadioDoesNothing)
{
    dwAlarmRadioOnBefore = 1;
    utility->ResumeRadioPlayback();  // no radio runs: nothing to find, nothing to post
    utility->StopRadioPlayback();
    EXPECT_EQ(dwAlarmRadioOnBefore, 1u) << "only a radio that runs changes what was found";
}

TEST_F(UtilityApps, AlarmGetsItsStopWhenItsRadioPlays)
{
    ASSERT_NE(plat::StartApplication(L"Chimvar", kAlarmPath, L"ChimvarWnd"), 0u);
    utility->StopRadioPlayback();
    EXPECT_TRUE(MessagesOf(L"Chimvar", L"ChimvarWnd").empty());
    RegistrySetDWORD(HKEY_LOCAL_MACHINE, kAlarmStateKey, L"RadioOn", 1);
    utility->StopRadioPlayback();
    auto got = Received(L"Chimvar", L"ChimvarWnd");
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].message, kAlarmRadioStop);
    EXPECT_TRUE(got[0].posted);
    EXPECT_EQ(dwAlarmRadioOnBefore, 0u) << "the alarm's state is not the radio's";
}

class CountingCloser : public CProgramCloser {
public:
    void FillBlackClose() override { ++calls; }
    std::atomic<int> calls{0};
};

// Runs work on a thread of its own and moves the virtual clock to each of its
// wake-ups, calling beforeWake(n) before the n-th; the virtual time it took.
std::uint64_t RunInVirtualTime(const std::function<void()>& work, const std::function<void(int)>& beforeWake = {})
{
    const std::uint64_t start = plat::NowMs();
    std::atomic<bool> done{false};
    std::thread worker([&] {
        work();
        done = true;
    });
    auto waitFor = [&](const std::function<bool()>& ready) {
        for (int spin = 0; spin < 10000 && !done && !ready(); ++spin)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    for (int wake = 1; !done; ++wake) {
        std::optional<std::uint64_t> deadline;
        waitFor([&] { return (deadline = plat::NextVirtualDeadline()).has_value(); });
        if (done || !deadline)
            break;
        if (beforeWake)
            beforeWake(wake);
        plat::AdvanceClock(*deadline - plat::NowMs());
        waitFor([&] { return plat::NextVirtualDeadline() != deadline; });
    }
    worker.join();
    return plat::NowMs() - start;
}

TEST_F(UtilityApps, FrameAppThatNeverEndsCostsTenWaits)
{
    ASSERT_NE(plat::StartApplication(L"TarnQuivelle", L"\\Windows\\TarnQuivelle.exe", kFrameAppClass), 0u);
    CountingCloser closer;
    utility->SetProgramCloser(&closer);
    plat::DebugCapture log;
    EXPECT_EQ(RunInVirtualTime([&] { utility->CloseFrameApp(); }), 5000u);
    EXPECT_EQ(closer.calls, 1);
    EXPECT_TRUE(log.Contains(L"Detect Tarn Quivelle running"));
    EXPECT_TRUE(log.Contains(L"[LumOCR] Call End Process [.\\Utility]["));
    EXPECT_TRUE(log.Contains(L"Waiting for closing Tarn Quivele...[count:0]"));
    EXPECT_TRUE(log.Contains(L"Waiting for closing Tarn Quivele...[count:9]"));
    EXPECT_FALSE(log.Contains(L"[count:10]"));
    EXPECT_TRUE(IsWindow(FindWindowW(kFrameAppClass, nullptr)));
}

TEST_F(UtilityApps, FrameAppThatEndsIsWaitedForUntilItsProcessIsGone)
{
    ASSERT_NE(plat::StartApplication(L"TarnQuivelle", L"\\Windows\\TarnQuivelle.exe", kFrameAppClass), 0u);
    CountingCloser closer;
    utility->SetProgramCloser(&closer);
    plat::DebugCapture log;
    auto endBeforeThirdWake = [](int wake) {
        if (wake == 3)
            plat::StopApplication(L"TarnQuivelle");
    };
    // Two passes with the window there, the third finds the process gone and waits 200 ms more.
    EXPECT_EQ(RunInVirtualTime([&] { utility->CloseFrameApp(); }, endBeforeThirdWake), 3 * 500u + 200u);
    EXPECT_TRUE(log.Contains(L"[count:1]"));
    EXPECT_FALSE(log.Contains(L"[count:2]"));
    EXPECT_FALSE(log.Contains(L"process is live"));
}

TEST_F(UtilityApps, NoFrameAppNoClosingNoWait)
{
    CountingCloser closer;
    utility->SetProgramCloser(&closer);
    EXPECT_EQ(RunInVirtualTime([&] { utility->CloseFrameApp(); }), 0u);
    EXPECT_EQ(closer.calls, 0);
}

TEST_F(UtilityApps, MessageBoxGetsTheArguments)
{
    plat::SetMessageBoxAnswer(IDNO);
    plat::DebugCapture log;
    EXPECT_EQ(utility->ShowMessageBox(nullptr, L"Stop?", L"LumOCR", MB_YESNO), IDNO);
    EXPECT_TRUE(log.Contains(L"MessageBox [LumOCR] Stop?"));
}

// The Today screen's files in "\Windows".
class UtilityWatermark : public UtilityApps {
protected:
    std::vector<std::wstring> WindowsFiles() const
    {
        std::vector<std::wstring> names;
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(L"\\Windows\\*", &found);
        if (search == INVALID_HANDLE_VALUE)
            return names;
        do
            names.emplace_back(found.cFileName);
        while (FindNextFileW(search, &found));
        FindClose(search);
        return names;
    }

    static std::string Bytes(const std::filesystem::path& file)
    {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
};

TEST_F(UtilityWatermark, ApplyThenClearRoundTrip)
{
    Touch(L"\\My Documents\\mark.jpg");
    std::ofstream(Host(L"\\My Documents\\mark.jpg"), std::ios::binary) << "jpeg bytes";
    EXPECT_TRUE(utility->ApplyTodayWatermark(0, L"\\My Documents\\mark.jpg", 1, nullptr));
    EXPECT_EQ(WindowsFiles(), std::vector<std::wstring>{L"tdywater_240_400.jpg"});
    EXPECT_EQ(Bytes(Host(L"\\Windows\\tdywater_240_400.jpg")), "jpeg bytes");
    EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kWatermarkKey, L"Transparency"), 166u);

    utility->ClearTodayWatermarks();
    EXPECT_TRUE(WindowsFiles().empty());
}

TEST_F(UtilityWatermark, ApplyTakesTheTransparencyFromTheCallerOrTheRegistry)
{
    Touch(L"\\My Documents\\mark.png");
    struct Case {
        std::optional<DWORD> given;
        std::optional<DWORD> stored;
        BOOL applied;
        DWORD transparency;  // afterwards
    } cases[] = {
        {std::nullopt, 80, TRUE, 80},
        {std::nullopt, 1000, TRUE, 255},
        {40, 80, TRUE, 40},
        {300, std::nullopt, FALSE, 40},  // the library refuses more than opaque
    };
    for (const Case& c : cases) {
        if (c.stored)
            RegistrySetDWORD(HKEY_LOCAL_MACHINE, kWatermarkKey, L"Transparency", *c.stored);
        EXPECT_EQ(utility->ApplyTodayWatermark(0, L"\\My Documents\\mark.png", 1, c.given ? &*c.given : nullptr),
                  c.applied);
        EXPECT_EQ(ReadDword(HKEY_LOCAL_MACHINE, kWatermarkKey, L"Transparency"), c.transparency);
    }
}

TEST_F(UtilityWatermark, ApplyFailsCleanlyAndRestoresTheCursor)
{
    Touch(L"\\My Documents\\mark.gif");
    HCURSOR before = LoadCursorW(nullptr, IDC_WAIT);
    SetCursor(nullptr);
    EXPECT_FALSE(utility->ApplyTodayWatermark(0, L"\\My Documents\\missing.gif", 1, nullptr));
    EXPECT_FALSE(utility->ApplyTodayWatermark(0, L"\\My Documents\\mark.gif", 0, nullptr));
    EXPECT_FALSE(utility->ApplyTodayWatermark(0, nullptr, 1, nullptr));
    EXPECT_TRUE(WindowsFiles().empty());
    EXPECT_EQ(SetCursor(before), nullptr) << "the cursor is given back";
    SetCursor(nullptr);
}

TEST_F(UtilityWatermark, ClearChoosesItsFiles)
{
    struct Case {
        DWORD useStartImage;
        std::vector<std::wstring> before;
        std::vector<std::wstring> after;  // in name order
    } cases[] = {
        // The current size and its turned twin go; nothing else.
        {0,
         {L"tdywater_240_400.jpg", L"tdywater_400_240.jpg", L"tdywater.gif", L"stwater_240_400.png"},
         {L"stwater_240_400.png", L"tdywater.gif"}},
        // No sized picture: the plain one goes, the start image "stwater.bmp" stays.
        {0, {L"tdywater.gif", L"stwater.bmp", L"Default_stwater.gif"}, {L"Default_stwater.gif", L"stwater.bmp"}},
        {0, {L"STWATER.BMP"}, {L"STWATER.BMP"}},
        // Neither: the default picture goes, then the start image's sized one.
        {0, {L"Default_stwater.gif", L"stwater_240_400.jpg", L"stwater_400_240.jpg"}, {}},
        // With the start image in use only its pictures are looked at.
        {1,
         {L"tdywater_240_400.jpg", L"stwater_240_400.jpg", L"stwater_400_240.bmp"},
         {L"tdywater_240_400.jpg"}},
    };
    for (const Case& c : cases) {
        std::filesystem::remove_all(Host(L"\\Windows"));
        for (const auto& name : c.before)
            Touch(L"\\Windows\\" + name);
        RegistrySetDWORD(HKEY_CURRENT_USER, kTodayKey, L"UseStartImage", c.useStartImage);
        utility->ClearTodayWatermarks();
        EXPECT_EQ(WindowsFiles(), c.after) << c.before.front();
    }
}

}  // namespace
