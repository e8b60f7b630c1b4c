#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "lumtest/tempdir.h"
#include "plat/clock.h"
#include "plat/device.h"
#include "plat/registry.h"
#include "cue_slot.h"
#include "sound_control.h"
#include "wave_file.h"

namespace fs = std::filesystem;

namespace {

const fs::path kCues = fs::path(LUM_BINARY_DIR) / "resources" / "device" / "Windows";

std::string Bytes(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The samples of a canonical wave file (the cues and the records are).
std::string Samples(const fs::path& file) { return Bytes(file).substr(44); }

class SoundControl : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        plat::UseVirtualClock(1000);
        plat::ResetSoundRecord();
        fs::create_directories(root_.path() / "Windows");
        for (const auto& cue : fs::directory_iterator(kCues))
            if (cue.path().extension() == ".wav") fs::copy_file(cue.path(), root_.path() / "Windows" / cue.path().filename());
    }
    void TearDown() override
    {
        CSoundControl::ReleaseInstance();
        PlaySoundW(nullptr, nullptr, 0);
        plat::UseRealClock();
        plat::CloseRegistry();
    }
    void Record()
    {
        HKEY key = nullptr;
        const WCHAR folder[] = L"\\Rec";
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Sound", 0, nullptr, 0, 0, nullptr, &key, nullptr);
        RegSetValueExW(key, L"Record", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder), sizeof folder);
        RegCloseKey(key);
    }
    static std::vector<std::wstring> PlayedNames()
    {
        std::vector<std::wstring> names;
        for (const auto& sound : plat::PlayedSounds()) names.push_back(sound.name);
        return names;
    }
    // Real time only bounds the wait for the driver's thread.
    static bool Eventually(const std::function<bool()>& done)
    {
        for (int i = 0; i < 4000 && !done(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    }
    lumtest::TempDir root_;
};

}  // namespace

TEST_F(SoundControl, EachCuePlaysItsFile)
{
    struct Case {
        const char* what;
        std::function<BOOL(CSoundControl*)> play;
        const WCHAR* file;  // null: nothing plays
    };
    const Case cases[] = {
        {"shutter 0", [](CSoundControl* s) { return s->PlayShutter(0); }, L"Shutter01.wav"},
        {"shutter 1", [](CSoundControl* s) { return s->PlayShutter(1); }, L"Shutter02.wav"},
        {"shutter 2", [](CSoundControl* s) { return s->PlayShutter(2); }, L"Shutter03.wav"},
        {"shutter 3", [](CSoundControl* s) { return s->PlayShutter(3); }, nullptr},
        {"shutter -1", [](CSoundControl* s) { return s->PlayShutter(-1); }, nullptr},
        {"focus", [](CSoundControl* s) { return s->PlayAutoFocus(); }, L"AutoFocus.wav"},
        {"focus failed", [](CSoundControl* s) { return s->PlayAutoFocusFail(); }, L"AutoFocusFail.wav"},
        {"timer", [](CSoundControl* s) { return s->PlayTimer(); }, L"Timer.wav"},
        {"timer end", [](CSoundControl* s) { return s->PlayTimerEnd(); }, L"TimerEnd.wav"},
    };
    CSoundControl* sound = CSoundControl::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plat::ResetSoundRecord();
        EXPECT_EQ(c.play(sound), 1);
        EXPECT_EQ(PlayedNames(), c.file ? std::vector<std::wstring>{c.file} : std::vector<std::wstring>{});
        EXPECT_EQ(plat::IsSoundPlaying(), c.file != nullptr);  // asynchronous: still playing
        sound->Stop();
        EXPECT_FALSE(plat::IsSoundPlaying());
    }
}

TEST_F(SoundControl, ShutterDuringAShutterIsRefused)
{
    CSoundControl* sound = CSoundControl::GetInstance();
    EXPECT_TRUE(sound->PlayShutter(0));
    EXPECT_FALSE(sound->PlayShutter(1));
    plat::AdvanceClock(150);  // Shutter01 is over
    EXPECT_TRUE(sound->PlayShutter(1));
    EXPECT_EQ(PlayedNames(), (std::vector<std::wstring>{L"Shutter01.wav", L"Shutter02.wav"}));
}

TEST_F(SoundControl, RecordingCuesWaitForTheirEnd)
{
    std::atomic<int> stage{0};
    std::thread recorder([&] {
        CSoundControl::GetInstance()->PlayStartRecording();
        stage = 1;
        CSoundControl::GetInstance()->PlayStopRecording();
        stage = 2;
    });
    // StartRecording lasts 400 ms, then 300 ms more; StopRecording 400 ms.
    for (std::uint64_t deadline : {1400u, 1700u, 2100u}) {
        ASSERT_TRUE(Eventually([&] { return plat::NextVirtualDeadline() == deadline; })) << deadline;
        plat::AdvanceClock(deadline - plat::NowMs());
    }
    recorder.join();
    EXPECT_EQ(stage, 2);
    EXPECT_EQ(PlayedNames(), (std::vector<std::wstring>{L"StartRecording.wav", L"StopRecording.wav"}));
}

TEST_F(SoundControl, MutedDeviceIsRaisedForTheCueAndRestored)
{
    Record();
    waveOutSetVolume(nullptr, 0);
    CSoundControl* sound = CSoundControl::GetInstance();
    ASSERT_EQ(sound->PlayWaveFile(L"\\Windows\\Timer.wav", FALSE, 1), MMSYSERR_NOERROR);
    const auto messages = plat::WaveOutDriverMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].message, 1026u);
    EXPECT_EQ(messages[0].param1, 1u);
    EXPECT_EQ(messages[1].message, 1024u);
    EXPECT_EQ(messages[1].param1, 9u);
    HWAVEOUT device = messages[0].device;
    DWORD volume = 0;
    waveOutGetVolume(device, &volume);
    EXPECT_EQ(volume, 65535u);

    plat::AdvanceClock(100);  // Timer.wav's length
    ASSERT_TRUE(Eventually([&] { return sound->IsDeviceDone(); }));
    EXPECT_EQ(sound->GetDoneDevice(), device);
    waveOutGetVolume(device, &volume);
    EXPECT_EQ(volume, 0u);
    // What the device played is the cue's samples.
    EXPECT_EQ(Samples(root_.path() / "Rec" / "0001-wave.wav"), Samples(root_.path() / "Windows" / "Timer.wav"));
    // Nobody heard of the end here: the control closes the device when it goes.
    CSoundControl::ReleaseInstance();
    EXPECT_FALSE(plat::IsWaveOutDeviceOpen(device));
}

TEST_F(SoundControl, WaitingForACueEndsWithItOrAfterTwoSeconds)
{
    // A cue of 3 s beside TimerEnd's 600 ms.
    std::string longCue = Bytes(root_.path() / "Windows" / "TimerEnd.wav").substr(0, 44);
    const std::uint32_t bytes = 48000;
    longCue.replace(40, 4, std::string{char(bytes & 0xFF), char(bytes >> 8 & 0xFF), 0, 0});
    longCue += std::string(bytes, '\0');
    std::ofstream(root_.path() / "Windows" / "Long.wav", std::ios::binary) << longCue;
    struct Case {
        const WCHAR* file;
        std::uint64_t cueMs, waitMs;
    };
    const Case cases[] = {{L"\\Windows\\TimerEnd.wav", 600, 600}, {L"\\Windows\\Long.wav", 3000, 2000}};
    CSoundControl* sound = CSoundControl::GetInstance();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.cueMs);
        plat::ResetSoundRecord();
        const std::uint64_t start = plat::NowMs();
        std::atomic<bool> returned{false};
        std::thread player([&] {
            sound->PlayWaveFile(c.file, TRUE, 1);
            returned = true;
        });
        // The first wake-up is the cue's end, or the wait's time-out before it.
        const std::uint64_t first = start + std::min(c.cueMs, c.waitMs);
        ASSERT_TRUE(Eventually([&] { return plat::NextVirtualDeadline() == first; }));
        plat::AdvanceClock(c.waitMs);
        EXPECT_TRUE(Eventually([&] { return returned.load(); }));
        player.join();
        EXPECT_EQ(plat::NowMs() - start, c.waitMs);
        const HWAVEOUT device = plat::WaveOutDriverMessages().at(0).device;
        plat::AdvanceClock(start + c.cueMs - plat::NowMs());
        EXPECT_TRUE(Eventually([&] { return sound->GetDoneDevice() == device; }));
    }
}

TEST_F(SoundControl, VolumeStepsAreSixAndEndAtBothEnds)
{
    struct Case {
        DWORD start;
        BOOL up;
        DWORD after;  // on the device and in the control
    };
    const Case cases[] = {
        {0xFFFFFFFF, TRUE, 0xFFFFFFFF},  // already loudest: nothing changes
        {0xFFFFFFFF, FALSE, 52428},
        {0, FALSE, 0},
        {0, TRUE, 13107},
        {30000, TRUE, 39321},
        {0x0000FFFF, FALSE, 52428},  // the low word counts
        {0xFFFF0000, TRUE, 13107},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.start);
        waveOutSetVolume(nullptr, c.start);
        CSoundControl* sound = CSoundControl::GetInstance();
        c.up ? sound->VolumeUp() : sound->VolumeDown();
        DWORD device = 0;
        waveOutGetVolume(nullptr, &device);
        EXPECT_EQ(device, c.after);
        EXPECT_EQ(sound->GetVolume(), c.after);
        CSoundControl::ReleaseInstance();
    }
}

TEST_F(SoundControl, DriverMessagesGoToTheAudioOutputDevice)
{
    CSoundControl* sound = CSoundControl::GetInstance();
    sound->BlockSpeakerSound(TRUE);
    sound->BlockSpeakerSound(FALSE);
    EXPECT_EQ(sound->SendMessageToAudio(1024, 9, 0), MMSYSERR_NOERROR);
    const auto messages = plat::WaveOutDriverMessages();
    ASSERT_EQ(messages.size(), 3u);
    const UINT expected[3][3] = {{1075, 50641, 4099}, {1075, 50642, 4099}, {1024, 9, 0}};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(messages[i].device, nullptr);
        EXPECT_EQ(messages[i].message, expected[i][0]);
        EXPECT_EQ(messages[i].param1, expected[i][1]);
        EXPECT_EQ(messages[i].param2, expected[i][2]);
    }
}

TEST_F(SoundControl, WaveFilesAreReadByTheirChunks)
{
    auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    const std::string fmt = "fmt " + u32(16) + std::string("\x01\0\x01\0", 4) + u32(8000) + u32(16000) +
                            std::string("\x02\0\x10\0", 4);
    const std::string samples(64, '\x05');
    auto riff = [&](const std::string& body) { return "RIFF" + u32(static_cast<std::uint32_t>(body.size() + 4)) + "WAVE" + body; };
    struct Case {
        const char* what;
        std::string bytes;
        int opened;
        DWORD length;
    };
    const Case cases[] = {
        {"canonical", riff(fmt + "data" + u32(64) + samples), 1, 64},
        {"extra chunks", riff("LIST" + u32(3) + std::string("abc\0", 4) + fmt + "fact" + u32(4) + "1234" + "data" + u32(64) + samples + "junk" + u32(2) + "zz"), 1, 64},
        {"data before fmt", riff("data" + u32(64) + samples + fmt), 1, 64},
        {"truncated", riff(fmt + "data" + u32(64) + samples).substr(0, 44 + 10), 1, 10},
        {"huge length", riff(fmt + "data" + u32(0xFFFFFFF0) + samples), 1, 64},
        {"not RIFF", "RIFX" + riff(fmt + "data" + u32(64) + samples).substr(4), 0, 0},
        {"not WAVE", riff(fmt + "data" + u32(64) + samples).replace(8, 4, "AVI "), 0, 0},
        {"no data", riff(fmt), 0, 0},
        {"short fmt", riff("fmt " + u32(8) + "12345678" + "data" + u32(64) + samples), 0, 0},
        {"empty", "", 0, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::ofstream(root_.path() / "w.wav", std::ios::binary) << c.bytes;
        CWaveFile wave;
        ASSERT_EQ(wave.Open(L"\\w.wav"), c.opened);
        EXPECT_EQ(wave.GetDataLength(), c.length);
        if (!c.opened) continue;
        EXPECT_EQ(wave.GetFormat().nSamplesPerSec, 8000u);
        std::string read(200, '\0');
        EXPECT_EQ(wave.Read(read.data(), 200), c.length);  // never past the samples
        EXPECT_EQ(read.substr(0, c.length), samples.substr(0, c.length));
    }
    CWaveFile missing;
    EXPECT_EQ(missing.Open(L"\\Windows\\Missing.wav"), 0);
}

// Python's wave module reads the cue as CWaveFile does.
TEST_F(SoundControl, PeerCueFormatAgreesWithPythonWave)
{
    for (const char* cue : {"Shutter01.wav", "StartRecording.wav", "TimerEnd.wav"}) {
        SCOPED_TRACE(cue);
        const std::string command = "/usr/bin/python3 -c \"import wave,sys; w=wave.open(sys.argv[1]); "
                                    "print(w.getnchannels(), w.getframerate(), w.getsampwidth() * 8, "
                                    "w.getnframes() * w.getnchannels() * w.getsampwidth())\" '" +
                                    (kCues / cue).string() + "'";
        std::string peer;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char line[128];
            while (std::fgets(line, sizeof line, pipe)) peer += line;
            pclose(pipe);
        }
        CWaveFile wave;
        ASSERT_EQ(wave.Open((L"\\Windows\\" + fs::path(cue).wstring()).c_str()), 1);
        const WAVEFORMATEX f = wave.GetFormat();
        EXPECT_EQ(peer, std::to_string(f.nChannels) + " " + std::to_string(f.nSamplesPerSec) + " " +
                            std::to_string(f.wBitsPerSample) + " " + std::to_string(wave.GetDataLength()) + "\n");
    }
}

TEST_F(SoundControl, PreloadedCuesPlayAgainAndRefuseAnEmptyOrBusySlot)
{
    Record();
    waveOutSetVolume(nullptr, 0);
    CSoundControl* sound = CSoundControl::GetInstance();
    sound->PreloadCues();
    CCueSlot* shutter = sound->ShutterCue(1);
    ASSERT_NE(shutter, nullptr);
    EXPECT_EQ(sound->ShutterCue(3), nullptr);
    EXPECT_EQ(sound->RecordingCue(2), nullptr);
    for (int round = 1; round <= 2; ++round) {
        SCOPED_TRACE(round);
        ASSERT_EQ(sound->PlayCueSlot(shutter, FALSE, 1), MMSYSERR_NOERROR);
        // The header is the device's until the cue ends.
        EXPECT_EQ(sound->PlayCueSlot(shutter, FALSE, 1), WAVERR_STILLPLAYING);
        const HWAVEOUT device = plat::WaveOutDriverMessages().back().device;
        DWORD volume = 0;
        waveOutGetVolume(device, &volume);
        EXPECT_EQ(volume, 65535u);
        plat::AdvanceClock(plat::PlayedSounds().back().durationMs);
        ASSERT_TRUE(Eventually([&] { return !shutter->IsPlaying() && sound->GetDoneDevice() == device; }));
        waveOutGetVolume(device, &volume);
        EXPECT_EQ(volume, 0u);
        // The main window closes the finished device.
        EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
        char name[32];
        std::snprintf(name, sizeof name, "%04d-wave.wav", round);
        EXPECT_EQ(Samples(root_.path() / "Rec" / name), Samples(root_.path() / "Windows" / "Shutter02.wav"));
    }

    // A file that is not there leaves the slot empty.
    CCueSlot* start = sound->RecordingCue(0);
    EXPECT_EQ(sound->LoadCueSlot(start, L"\\Windows\\Missing.wav"), 1);
    EXPECT_EQ(sound->PlayCueSlot(start, FALSE, 1), MMSYSERR_ERROR);

    // A slot still playing when the control goes is freed by its own end.
    ASSERT_EQ(sound->PlayCueSlot(sound->RecordingCue(1), FALSE, 1), MMSYSERR_NOERROR);
    const HWAVEOUT device = plat::WaveOutDriverMessages().back().device;
    CSoundControl::ReleaseInstance();
    plat::AdvanceClock(plat::PlayedSounds().back().durationMs);
    ASSERT_TRUE(Eventually([&] { return CSoundControl::GetInstance()->GetDoneDevice() == device; }));
    EXPECT_EQ(Samples(root_.path() / "Rec" / "0003-wave.wav"), Samples(root_.path() / "Windows" / "StopRecording.wav"));
}
