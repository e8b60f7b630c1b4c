// lumocr on a scenario while the phone's state changes: the popups it raises,
// the orderly ends, and the storage cards reaching the main frame.
#include <gtest/gtest.h>

#include "lumocr_run.h"

namespace {

using lumrun::Lumocr;
using lumrun::Outcome;
using lumrun::Value;

bool Has(const Outcome& r, const std::string& text) { return r.output.find(text) != std::string::npos; }

// Ended in order: the shutdown ran to its last line and the keypad values are back to 0.
void ExpectOrderlyEnd(const lumtest::TempDir& dir, const Outcome& r)
{
    EXPECT_EQ(r.exitCode, 0) << r.output;
    EXPECT_TRUE(Has(r, "Call End Process")) << r.output;
    EXPECT_TRUE(Has(r, "[LumOCRCLOSE] lastend")) << r.output;
    EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "CameraWorking"), "0");
    EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "LumOCRWorking"), "0");
}

// Each key waits for the call's popup on the screen, each check for the
// value it checks: the notification thread may be slow on a loaded machine.
TEST(NotificationE2E, VoiceCallRejectedThenAnswered)
{
    lumtest::TempDir dir;
    Outcome r = Lumocr(dir, std::string(lumrun::kStarted) +
                            "reg \"HKLM\\System\\State\\Phone\" Status dword 0x10000\n"
                            "wait-log \"[PreviewCameraGUI] popup 1 on the screen\" 30000\n"
                            "key TEND\n"
                            "wait-reg \"HKLM\\Security\\Phone\\Velmora\" DialerCmd 2 30000\n"
                            "reg \"HKLM\\System\\State\\Phone\" Status dword 0\n"
                            "wait-reg HKLM\\System\\State\\Velmora\\Keypad CameraWorking 1 30000\n"
                            "reg \"HKLM\\System\\State\\Phone\" Status dword 0x10000\n"
                            "wait-log \"[PreviewCameraGUI] popup 1 on the screen\" 30000\n"
                            "key TTALK\n"
                            "wait-reg \"HKLM\\Security\\Phone\\Velmora\" DialerCmd 1 30000\n");
    EXPECT_TRUE(Has(r, "Incoming Voice Call. Show Popup!")) << r.output;
    EXPECT_TRUE(Has(r, "CPhoneControl::Ignore")) << r.output;
    EXPECT_TRUE(Has(r, "CPhoneControl::Answer")) << r.output;
    EXPECT_EQ(Value(dir, "HKLM\\Security\\Phone\\Velmora", "DialerCmd"), "1");
    ExpectOrderlyEnd(dir, r);
}

TEST(NotificationE2E, StateChangesThatEndTheProgram)
{
    struct Case {
        const char* name;
        std::string steps;
    } cases[] = {
        {"video call",
         "reg \"HKLM\\Software\\Velmora\\VT\\KeyValue\" IS_VMODE dword 1\n"
         "reg \"HKLM\\System\\State\\Phone\" Status dword 0x10000\n"},
        // The low-battery popup ends the program when it expires.
        {"battery 0",
         "reg \"HKLM\\System\\State\\OrvaMan\" Orva_Battery dword 0\n"
         "wait 2500\n"
         "expect-reg HKLM\\System\\State\\Velmora\\Keypad CameraWorking 1\n"},
        {"camera module", "reg \"HKLM\\Drivers\\BuiltIn\\Camera\" Status dword 2\n"},
        {"power key", "reg \"HKLM\\System\\State\\Velmora\\Keypad\" KeyValue dword 129\n"},
        {"sleep", "reg \"HKLM\\System\\State\\Velmora\\Keypad\" SleepSoon dword 1\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        lumtest::TempDir dir;
        Outcome r = Lumocr(dir, lumrun::kStarted + c.steps + "wait 1500\n");
        ExpectOrderlyEnd(dir, r);
        EXPECT_EQ(Value(dir, "HKLM\\System\\State\\Velmora\\Keypad", "SleepSoon"), "0");
    }
}

TEST(NotificationE2E, StorageCardsReachTheMainFrame)
{
    lumtest::TempDir dir;
    Outcome r = Lumocr(dir, std::string(lumrun::kStarted) +
                            "card insert \"Storage Card\"\n"
                            "wait 300\n"
                            "card remove \"Storage Card\"\n"
                            "wait 300\n");
    EXPECT_EQ(r.exitCode, 0) << r.output;
    size_t added = r.output.find("SHCNE_DRIVEADD");
    size_t removed = r.output.find("SHCNE_DRIVEREMOVED");
    ASSERT_NE(added, std::string::npos) << r.output;
    ASSERT_NE(removed, std::string::npos) << r.output;
    EXPECT_LT(added, removed);
}

}  // namespace
