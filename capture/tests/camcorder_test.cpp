// Recording through the capture graph control and the camcorder control, on
// the virtual clock: the commands the graph's reports become, the recorded
// time, the limits and a failed write.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "app_messages.h"
#include "camcorder_test_support.h"
#include "camcorder_control.h"
#include "dshow_control.h"
#include "file_control.h"
#include "plat/dshow_camcorder.h"
#include "plat/file.h"
#include "plat/nled.h"
#include "plat/registry.h"

namespace fs = std::filesystem;

using camcorder_test::CamcorderFixture;

TEST_F(CamcorderFixture, StartPauseResumeStopReportAndCountOnlyTheRecordedTime)
{
    CDShowControl* c = OpenCamcorder();
    EXPECT_EQ(c->GetStreamControlState(), 3u);
    EXPECT_EQ(c->GetRecordedSeconds(), 0);

    ASSERT_EQ(c->StartRecording(L"\\rec.3gp"), S_OK);
    EXPECT_TRUE(c->IsRecording());
    Advance(100);
    EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_RECORDING_STARTED}));
    // A second start while recording changes nothing.
    EXPECT_EQ(c->StartRecording(L"\\other.3gp"), S_OK);
    EXPECT_STREQ(c->GetRecordFile(), L"\\rec.3gp");
    Advance(2000);
    EXPECT_EQ(c->GetRecordedSeconds(), 2);

    ASSERT_EQ(c->PauseRecording(), S_OK);
    Advance(50);
    EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_RECORDING_PAUSED}));
    EXPECT_EQ(c->GetStreamControlState(), 6u);
    Advance(3000);
    EXPECT_EQ(c->GetRecordedSeconds(), 2);  // constant while paused
    c->PauseRecording();                    // in state 6: nothing
    EXPECT_EQ(c->GetStreamControlState(), 6u);
    EXPECT_TRUE(Events().empty());

    ASSERT_EQ(c->ResumeRecording(), S_OK);
    Advance(100);
    EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_RECORDING_STARTED}));
    EXPECT_EQ(c->GetStreamControlState(), 7u);
    c->ResumeRecording();  // outside state 6: nothing
    EXPECT_EQ(c->GetStreamControlState(), 7u);
    Advance(1500);
    // 2.1 s before the pause and 1.6 s after it; the 3 s paused are left out.
    EXPECT_EQ(c->GetRecordedSeconds(), 3);

    ASSERT_EQ(c->StopRecording(), S_OK);
    EXPECT_FALSE(c->IsRecording());
    Advance(100);
    EXPECT_EQ(Events(), (std::vector<DWORD>{CMD_RECORDING_STOPED}));
    EXPECT_EQ(c->GetStreamControlState(), 8u);
    c->PauseRecording();  // in state 8: nothing
    EXPECT_EQ(c->GetStreamControlState(), 8u);
    EXPECT_GT(fs::file_size(HostPath(L"rec.3gp")), 1000u);
    EXPECT_FALSE(fs::exists(HostPath(L"other.3gp")));
}

TEST_F(CamcorderFixture, ANameOf260CharactersFailsBeforeAnyFileIsMade)
{
    CDShowControl* c = OpenCamcorder();
    const std::wstring name = L"\\" + std::wstring(255, L'a') + L".3gp";
    ASSERT_EQ(name.size(), 260u);
    EXPECT_TRUE(FAILED(c->StartRecording(name.c_str())));
    EXPECT_FALSE(c->IsRecording());
    EXPECT_EQ(c->GetStreamControlState(), 3u);
    Advance(500);
    EXPECT_TRUE(Events().empty());
    LPOLESTR named = nullptr;
    ComPtr<IBaseFilter> mux;
    ASSERT_EQ(Graph()->FindFilterByName(L"Mux Filter", mux.GetAddressOf()), S_OK);
    ComPtr<IFileSinkFilter> sink;
    ASSERT_EQ(mux.As(&sink), S_OK);
    EXPECT_TRUE(FAILED(sink->GetCurFile(&named, nullptr)));  // the multiplexer was never named
}

TEST_F(CamcorderFixture, TheMmsLimitEndsTheRecordingAndAZeroLimitArmsNothing)
{
    struct Case {
        const char* what;
        DWORD maxSizeBytes;  // the MMS setting; the limit is this in KB less 10
        bool stopsByItself;
    } cases[] = {{"8 KB", 18 * 1024, true}, {"0 KB", 5 * 1024, false}};
    for (const Case& k : cases) {
        SCOPED_TRACE(k.what);
        RegistrySetDWORD(HKEY_LOCAL_MACHINE, L"Software\\Velmora\\MMS\\Settings", L"Max Size", k.maxSizeBytes);
        CCamcorderControl::GetInstance()->SelectSizeMode(1);
        CDShowControl* c = OpenCamcorder();
        ASSERT_EQ(c->StartRecording(L"\\mms.3gp"), S_OK);
        Advance(4000);
        const std::vector<DWORD> posted = Events();
        EXPECT_EQ(std::count(posted.begin(), posted.end(), CMD_RECORDING_STOPED), k.stopsByItself ? 1 : 0);
        EXPECT_EQ(c->IsRecording(), !k.stopsByItself);
        if (k.stopsByItself) {
            EXPECT_LE(fs::file_size(HostPath(L"mms.3gp")), 8u * 1024u);
        }
        CloseCamcorder();
        fs::remove(HostPath(L"mms.3gp"));
    }
}

TEST_F(CamcorderFixture, ATimeLimitStopsTheRecordingOnce)
{
    CDShowControl* c = OpenCamcorder();
    c->TimeLimitRecording(1);
    ASSERT_EQ(c->StartRecording(L"\\timed.3gp"), S_OK);
    ASSERT_EQ(c->SetLimitRecording(), S_OK);
    Advance(3000);
    const std::vector<DWORD> posted = Events();
    EXPECT_EQ(std::count(posted.begin(), posted.end(), CMD_RECORDING_STOPED), 1);
    EXPECT_FALSE(c->IsRecording());
}

TEST_F(CamcorderFixture, AFailedWriteIsReportedAndKeepsWhatWasWritten)
{
    CDShowControl* c = OpenCamcorder();
    plat::FailMuxWritesAfter(12000);
    ASSERT_EQ(c->StartRecording(L"\\cut.3gp"), S_OK);
    Advance(3000);
    const std::vector<DWORD> posted = Events();
    EXPECT_EQ(std::count(posted.begin(), posted.end(), CMD_RECORDING_ERROR_WRITE), 1);
    plat::FailMuxWritesAfter(-1);
    EXPECT_GT(fs::file_size(HostPath(L"cut.3gp")), 0u);
}

TEST_F(CamcorderFixture, CamcorderToCamcorderRebuildsWithAFreshMultiplexer)
{
    CDShowControl* c = OpenCamcorder();
    ASSERT_EQ(c->StartRecording(L"\\first.3gp"), S_OK);
    Advance(500);
    ASSERT_EQ(c->SetMode(CAPTURE_MODE_CAMCORDER), S_OK);
    // The rebuild ends the recording; the next one starts afresh.
    EXPECT_FALSE(c->IsRecording());
    EXPECT_EQ(c->GetStreamControlState(), 3u);
    EXPECT_EQ(Filters(), (std::vector<std::wstring>{L"Video Capture Source", L"Smart Tee", L"Video Renderer",
                                                     L"Mux Filter", L"Video Encoder Filter", L"Audio Capture Source",
                                                     L"Audio Encoder Filter"}));
    ASSERT_EQ(c->SetMode(CAPTURE_MODE_CAMERA), S_OK);
    EXPECT_EQ(Filters(), (std::vector<std::wstring>{L"Video Capture Source", L"Video Renderer", L"Still Frame"}));
}

// ---- the camcorder control ---------------------------------------------------------

TEST_F(CamcorderFixture, EachOperationActsOnlyFromItsStates)
{
    enum Op { kStart, kStop, kPause, kResume };
    struct Case {
        DWORD from;
        Op op;
        DWORD to;
        int led;  // the recording LED's mode after the call: -1 untouched, 0 off, 1 on, 2 blinking
    } cases[] = {
        {1, kStart, 2, 1},   {4, kStart, 4, -1},  {16, kStart, 16, -1}, {4, kStop, 8, 0},   {64, kStop, 8, 0},
        {1, kStop, 1, -1},   {32, kStop, 32, -1}, {4, kPause, 32, 2},   {64, kPause, 64, -1}, {64, kResume, 2, 1},
        {4, kResume, 4, -1}, {2, kResume, 2, -1},
    };
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    for (const Case& k : cases) {
        SCOPED_TRACE(testing::Message() << "from " << k.from << " op " << k.op);
        plat::ResetLeds();
        camcorder->SetState(k.from);
        switch (k.op) {
        case kStart: WhileClockRuns([camcorder] { camcorder->StartRecording(); }); break;
        case kStop: camcorder->StopRecording(); break;
        case kPause: camcorder->PauseRecording(); break;
        case kResume: camcorder->ResumeRecording(); break;
        }
        EXPECT_EQ(camcorder->GetState(), k.to);
        const auto led = plat::LedSettings(8);
        EXPECT_EQ(led ? static_cast<int>(led->OffOnBlink) : -1, k.led);
    }
}

TEST_F(CamcorderFixture, RecordingsTakeTheNextFreeVideoName)
{
    StartCamera();
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    ASSERT_EQ(camcorder->EnterCamcorderMode(), 1);
    ASSERT_EQ(CDShowControl::GetInstance()->GetMode(), CAPTURE_MODE_CAMCORDER);
    // The next video name is taken already: it is skipped, never replaced.
    const fs::path taken =
        HostPath(std::wstring(CFileControl::GetInstance()->MakeDCFFolder(1)) + L"\\QVT0001.3gp");
    fs::create_directories(taken.parent_path());
    {
        std::FILE* f = std::fopen(taken.c_str(), "wb");
        ASSERT_NE(f, nullptr);
        std::fputs("keep", f);
        std::fclose(f);
    }
    DWORD state = 0;
    WhileClockRuns([&] { state = camcorder->StartRecording(); });
    EXPECT_EQ(state, RECORD_STATE_START_ASKED);
    const std::wstring file = CDShowControl::GetInstance()->GetRecordFile();
    EXPECT_NE(file.find(L"QVT0002.3gp"), std::wstring::npos) << file.c_str();
    EXPECT_EQ(fs::file_size(taken), 4u);
}

TEST_F(CamcorderFixture, VideoSizesArePackedByMode)
{
    CCamcorderControl* camcorder = CCamcorderControl::GetInstance();
    camcorder->SetVideoSize(2, 0x76, 0);
    EXPECT_EQ(camcorder->SetVideoSize(1, 7, 0), 1);
    EXPECT_EQ(camcorder->GetVideoSizeOf(2), 0x76);
    EXPECT_EQ(CDShowControl::GetInstance()->GetMode(), CAPTURE_MODE_NONE);  // no graph was touched
    struct Case {
        int mode;
        int size;
    } cases[] = {{0, 6}, {1, 7}, {2, 0x76}, {3, 6}, {-1, 6}};
    for (const Case& k : cases) EXPECT_EQ(camcorder->GetVideoSizeOf(k.mode), k.size) << k.mode;
    EXPECT_EQ(camcorder->SetVideoSize(0, 4, 0), 1);
    EXPECT_EQ(camcorder->GetVideoSizeOf(2), 0x74);
    EXPECT_EQ(camcorder->SetVideoSize(5, 4, 0), 0);
}

TEST_F(CamcorderFixture, RemainingCapacityKeepsTenMegabytes)
{
    struct Case {
        std::uint64_t freeKb;
        int megabytes;
    } cases[] = {{20480, 10}, {10240, 0}, {5120, -5}, {0, -10}};
    CFileControl::GetInstance()->SetStorageType(0);
    for (const Case& k : cases) {
        plat::SetFakeFreeSpace(k.freeKb * 1024);
        EXPECT_EQ(CCamcorderControl::GetInstance()->GetRemainingCapacity(), k.megabytes) << k.freeKb;
    }
    plat::SetFakeFreeSpace(std::nullopt);
}
