#include <gtest/gtest.h>

#include <atomic>
#include <fstream>
#include <functional>
#include <thread>

#include "lumtest/tempdir.h"
#include "plat/debug.h"
#include "plat/device.h"
#include "plat/registry.h"
#include "plat/scenario.h"
#include "wm_helpers.h"

using namespace wmtest;
using Kind = plat::ScenarioStep::Kind;

TEST(ScenarioParse, ReadsEveryStepKind)
{
    std::string error;
    auto s = plat::Scenario::Parse("# a comment\n"
                                   "\n"
                                   "key TEND\n"
                                   "key vk_return down\n"
                                   "key 0xC1 up\n"
                                   "key a\n"
                                   "tap 120 200\n"
                                   "drag 10 20 30 40 100\n"
                                   "text \"Hello \\\"world\\\"\"\n"
                                   "wait 250\r\n"
                                   "reg HKLM\\System\\State Lock dword 1\n"
                                   "reg \"HKCU\\SOFTWARE\\Quarlo\\LumOCR\" Name sz \"two words\"\n"
                                   "card insert \"Storage Card\"\n"
                                   "expect-file \"\\My Documents\\KVIM\\B*.jpg\"\n"
                                   "expect-reg HKLM\\System\\State Lock 1\n"
                                   "screenshot preview\n"
                                   "turn 4\n"
                                   "end\n",
                                   "s.scn", &error);
    ASSERT_TRUE(s) << error;
    const auto& steps = s->Steps();
    ASSERT_EQ(steps.size(), 16u);
    EXPECT_EQ(steps[0].kind, Kind::Key);
    EXPECT_EQ(steps[0].line, 3);
    EXPECT_EQ(steps[0].numbers, (std::vector<long long>{0x73, 0}));
    EXPECT_EQ(steps[1].numbers, (std::vector<long long>{0x0D, 1}));
    EXPECT_EQ(steps[2].numbers, (std::vector<long long>{0xC1, 2}));
    EXPECT_EQ(steps[3].numbers[0], 'A');
    EXPECT_EQ(steps[4].numbers, (std::vector<long long>{120, 200}));
    EXPECT_EQ(steps[5].numbers, (std::vector<long long>{10, 20, 30, 40, 100}));
    EXPECT_EQ(steps[6].words[0], L"Hello \"world\"");
    EXPECT_EQ(steps[7].numbers[0], 250);
    EXPECT_EQ(steps[8].numbers[0], 1);
    EXPECT_EQ(steps[9].words[3], L"two words");
    EXPECT_EQ(steps[10].words[0], L"Storage Card");
    EXPECT_EQ(steps[10].numbers[0], 1);
    EXPECT_EQ(steps[11].kind, Kind::ExpectFile);
    EXPECT_EQ(steps[12].kind, Kind::ExpectReg);
    EXPECT_EQ(steps[13].kind, Kind::Screenshot);
    EXPECT_EQ(steps[14].kind, Kind::Turn);
    EXPECT_EQ(steps[14].numbers[0], 4);
    EXPECT_EQ(steps[15].kind, Kind::End);
}

TEST(ScenarioParse, RefusesBadLinesNamingTheLine)
{
    struct Case {
        const char* text;
        const char* error;
    } cases[] = {
        {"jump 1", "s:1: unknown step \"jump\""},
        {"\n\nkey NOSUCHKEY", "s:3: unknown key"},
        {"key A sideways", "s:1: key takes down or up"},
        {"key 0x100", "s:1: unknown key"},
        {"tap 10", "s:1: tap takes 2 arguments"},
        {"tap -1 5", "s:1: bad coordinate"},
        {"tap 1 5x", "s:1: bad coordinate"},
        {"drag 1 2 3 4", "s:1: drag takes 5 arguments"},
        {"wait 99999999999", "s:1: bad time"},
        {"text \"open", "s:1: unclosed quote"},
        {"reg HKXX\\A B dword 1", "s:1: bad registry key"},
        {"reg HKLM\\A B qword 1", "s:1: reg takes dword or sz"},
        {"reg HKLM\\A B dword 0x100000000", "s:1: bad dword"},
        {"card eject X", "s:1: card takes insert or remove"},
        {"card insert ../up", "s:1: bad card name"},
        {"end now", "s:1: end takes 0 arguments"},
        {"turn 1", "s:1: turn takes 0 or 4"},
        {"turn", "s:1: turn takes 1 argument"},
        {"wait-window Textiva 100 closed", "s:1: wait-window takes gone"},
        {"wait-file x.txt", "s:1: wait-file takes 2 arguments"},
        {"copy \\a.jpg", "s:1: copy takes 2 arguments"},
        {"counts now", "s:1: counts takes 0 arguments"},
        {"wait-reg HKLM\\A V 1", "s:1: wait-reg takes 4 arguments"},
        {"wait-reg HKLM\\A V 1 soon", "s:1: bad time"},
        {"wait-log \"\" 100", "s:1: wait-log takes a text that is not empty"},
        {"post LUMOCR 0x52C 1", "s:1: post takes 4 arguments"},
        {"post \"\" 0x52C 1 0", "s:1: post takes a window class"},
        {"post LUMOCR WM_CLOSE 0 0", "s:1: bad message"},
        {"post LUMOCR 0x52C 0x100000000 0", "s:1: bad wparam"},
        {"post LUMOCR 0x52C 0 -2147483649", "s:1: bad lparam"},
    };
    for (const Case& c : cases) {
        std::string error;
        EXPECT_FALSE(plat::Scenario::Parse(c.text, "s", &error)) << c.text;
        EXPECT_EQ(error.rfind(c.error, 0), 0u) << c.text << " -> " << error;
    }
    std::string error;
    EXPECT_FALSE(plat::Scenario::Load("/nonexistent/steps.scn", &error));
    EXPECT_NE(error.find("cannot be read"), std::string::npos);
}

class ScenarioDevice : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root.path());
        plat::OpenRegistry(false);
    }
    void TearDown() override { plat::CloseRegistry(); }
    lumtest::TempDir root;
};

TEST_F(ScenarioDevice, RegistryCardAndFileStepsActOnTheDeviceRoot)
{
    std::filesystem::create_directories(root.path() / "My Documents" / "KVIM");
    std::ofstream(root.path() / "My Documents" / "KVIM" / "B261210001.jpg") << "x";
    std::string error;
    auto s = plat::Scenario::Parse("reg HKLM\\System\\State Lock dword 0x1\n"
                                   "reg HKCU\\Software\\X Name sz \"a b\"\n"
                                   "card insert \"Storage Card\"\n"
                                   "expect-reg HKLM\\System\\State Lock 1\n"
                                   "expect-reg HKCU\\Software\\X Name \"a b\"\n"
                                   "expect-reg HKLM\\Platform\\StorageCards \"Storage Card\" 1\n"
                                   "expect-file \"\\my documents\\kvim\\B*.JPG\"\n"
                                   "copy \"\\My Documents\\KVIM\\B261210001.jpg\" \"\\My Documents\\D0.jpg\"\n"
                                   "screenshot first\n"
                                   "card remove \"Storage Card\"\n"
                                   "expect-reg HKLM\\Platform\\StorageCards \"Storage Card\" 0\n",
                                   "ok.scn", &error);
    ASSERT_TRUE(s) << error;
    std::string failure;
    EXPECT_EQ(s->Run(&failure), 0) << failure;
    EXPECT_TRUE(std::filesystem::exists(root.path() / "Screenshots" / "first.png"));
    std::ifstream copied(root.path() / "My Documents" / "D0.jpg");
    std::string bytes;
    copied >> bytes;
    EXPECT_EQ(bytes, "x");
    DWORD lock = 0;
    EXPECT_EQ(RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"System\\State", L"Lock", &lock), S_OK);
    EXPECT_EQ(lock, 1u);
}

TEST_F(ScenarioDevice, AFailedExpectationStopsTheReplayAtItsLine)
{
    struct Case {
        const char* text;
        int line;
        const char* found;
    } cases[] = {
        {"reg HKLM\\A V dword 5\n\nexpect-reg HKLM\\A V 6\nreg HKLM\\A V dword 7", 3, "found \"5\""},
        {"expect-reg HKLM\\Nothing Missing 1", 1, "no such key"},
        {"reg HKLM\\A V sz 5\nexpect-reg HKLM\\A W 5", 2, "no such value"},
        {"reg HKLM\\A V sz five\nexpect-reg HKLM\\A V FIVE", 2, "found \"five\""},
        {"expect-file \"\\My Documents\\none.jpg\"", 1, "no such file"},
        {"copy \"\\My Documents\\none.jpg\" \"\\My Documents\\D0.jpg\"", 1, "no such file to copy"},
    };
    for (const Case& c : cases) {
        std::string error, failure;
        auto s = plat::Scenario::Parse(c.text, "f.scn", &error);
        ASSERT_TRUE(s) << error;
        EXPECT_EQ(s->Run(&failure), c.line) << c.text;
        EXPECT_EQ(failure.rfind("f.scn:" + std::to_string(c.line) + ": ", 0), 0u) << failure;
        EXPECT_NE(failure.find(c.found), std::string::npos) << failure;
    }
    DWORD v = 0;
    RegistryGetDWORD(HKEY_LOCAL_MACHINE, L"A", L"V", &v);
    EXPECT_NE(v, 7u) << "steps after the failure do not run";
}

// Replays on the virtual clock: time moves only while the replay sleeps
// between its looks. atFirstLook runs once the first look has found nothing.
int ReplayOnVirtualClock(const plat::Scenario& s, std::string* failure, const std::function<void()>& atFirstLook)
{
    plat::UseVirtualClock();
    std::atomic<int> line{-1};
    std::thread replay([&] { line = s.Run(failure); });
    auto nextLook = [&] {
        while (line < 0 && plat::PendingVirtualWaits() == 0)
            std::this_thread::yield();
    };
    nextLook();
    atFirstLook();
    while (line < 0) {
        plat::AdvanceClock(20);
        nextLook();
    }
    replay.join();
    plat::UseRealClock();
    return line;
}

TEST_F(ScenarioDevice, WaitStepsLookAgainUntilTheThingComesOrTheTimeIsUp)
{
    std::string error, failure;
    auto s = plat::Scenario::Parse("wait-file \"\\My Documents\\late.txt\" 1000\n"
                                   "wait-window \"No such window\" 40 gone\n"
                                   "wait-window \"No such window\" 100\n",
                                   "w.scn", &error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->Steps()[0].kind, Kind::WaitFile);
    EXPECT_EQ(s->Steps()[1].numbers, (std::vector<long long>{40, 1}));
    EXPECT_EQ(s->Steps()[2].numbers, (std::vector<long long>{100, 0}));
    const int line = ReplayOnVirtualClock(*s, &failure, [&] {
        EXPECT_EQ(plat::NowMs(), 0u);
        std::filesystem::create_directories(root.path() / "My Documents");
        std::ofstream(root.path() / "My Documents" / "late.txt") << "x";
    });
    EXPECT_EQ(line, 3) << "the file came; no window did, and none was there to go";
    EXPECT_NE(failure.find("w.scn:3: wait-window \"No such window\" 100: not there after 100 ms"), std::string::npos)
        << failure;
}

// A wait-log step finds a line only once: the next one waits for a later print.
TEST_F(ScenarioDevice, WaitLogFindsEachPrintOnce)
{
    plat::DebugCapture quiet;
    std::string error, failure;
    auto s = plat::Scenario::Parse("wait-log \"POPUP MAKE END\" 1000\n"
                                   "wait-log \"POPUP MAKE END\" 100\n",
                                   "l.scn", &error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->Steps()[0].kind, Kind::WaitLog);
    plat::WatchDebugText();
    const int line = ReplayOnVirtualClock(*s, &failure, [] { plat::DebugLine(L"POPUP MAKE END\n"); });
    EXPECT_EQ(line, 2) << "the one print satisfies only the first step";
    EXPECT_NE(failure.find("l.scn:2: wait-log \"POPUP MAKE END\" 100: not printed after 100 ms"), std::string::npos)
        << failure;
}

// Another program posts to a window by its class: only a shown one gets it,
// and a class nobody shows fails the step.
TEST(ScenarioE2E, PostReachesTheShownWindowOfTheClass)
{
    Clear();
    HWND hidden = CreateWindowExW(0, RecordingClass(), L"hidden", WS_POPUP, 0, 40, 240, 360, nullptr, nullptr, nullptr,
                                  nullptr);
    HWND shown = TopWindow(L"shown");
    std::string error, failure;
    auto s = plat::Scenario::Parse("post TestRecorder 0x52C 0x10035 -1\n"
                                   "post NoSuchClass 0x10 0 0\n",
                                   "p.scn", &error);
    ASSERT_TRUE(s) << error;
    EXPECT_EQ(s->Steps()[0].kind, Kind::Post);
    EXPECT_EQ(s->Run(&failure), 2);
    EXPECT_NE(failure.find("p.scn:2: post NoSuchClass 0x10 0 0: no shown window of that class"), std::string::npos)
        << failure;
    Pump();
    auto got = Of(shown, 0x52C);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].wParam, 0x10035u);
    EXPECT_EQ(got[0].lParam, -1);
    EXPECT_TRUE(Of(hidden, 0x52C).empty());
    DestroyWindow(shown);
    EXPECT_EQ(s->Run(&failure), 1) << "a hidden window of the class is no target";
    DestroyWindow(hidden);
    Drain();
}

// Keys and touches of a scenario take the handset's input path: the hook
// first, then the window; `end` closes the program's windows.
TEST(ScenarioE2E, KeyAndTapReachATestWindowThroughTheHook)
{
    Clear();
    static std::vector<DWORD> hooked;
    hooked.clear();
    HHOOK hook = SetWindowsHookExW(
        WH_KEYBOARD_LL,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            auto* k = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
            hooked.push_back(k->vkCode);
            // The hook swallows the volume key.
            return k->vkCode == VK_TVOLUMEUP ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, 0);
    HWND w = TopWindow(L"scenario", RECT{0, 40, 240, 400});
    std::string error;
    auto s = plat::Scenario::Parse("key TVOLUMEUP\n"
                                   "key RETURN\n"
                                   "tap 100 200\n"
                                   "wait 10\n"
                                   "text ok\n"
                                   "end\n"
                                   "key ESCAPE\n",
                                   "e2e.scn", &error);
    ASSERT_TRUE(s) << error;
    std::atomic<int> result{-1};
    std::thread driver([&] {
        result = s->Run(nullptr);
        plat::CloseProgramWindows();
    });
    std::wstring typed;
    MSG msg;
    while (IsWindow(w) && GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        if (msg.message == WM_CHAR)
            typed.push_back(static_cast<wchar_t>(msg.wParam));
        DispatchMessageW(&msg);
    }
    driver.join();
    UnhookWindowsHookEx(hook);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(hooked, (std::vector<DWORD>{VK_TVOLUMEUP, VK_TVOLUMEUP, VK_RETURN, VK_RETURN, VK_PACKET, VK_PACKET,
                                          VK_PACKET, VK_PACKET}));
    auto downs = Of(w, WM_KEYDOWN);
    ASSERT_EQ(downs.size(), 3u) << "the swallowed key never arrives";
    EXPECT_EQ(downs[0].wParam, VK_RETURN);
    EXPECT_EQ(Of(w, WM_KEYUP).size(), 3u);
    auto taps = Of(w, WM_LBUTTONDOWN);
    ASSERT_EQ(taps.size(), 1u);
    EXPECT_EQ(LOWORD(taps[0].lParam), 100);
    EXPECT_EQ(HIWORD(taps[0].lParam), 160);
    EXPECT_EQ(Of(w, WM_LBUTTONUP).size(), 1u);
    EXPECT_EQ(typed, L"\rok") << "the return key is a character too";
    EXPECT_EQ(Of(w, WM_CLOSE).size(), 1u);
    EXPECT_FALSE(IsWindow(w));
}
