#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
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
#include "plat/sound.h"

namespace fs = std::filesystem;

namespace {

// A PCM file: 8000 Hz mono 16-bit, so 16 bytes a millisecond.
std::string Wave(std::uint32_t dataBytes, std::uint32_t declaredData, const std::string& extraChunk = {})
{
    auto u32 = [](std::uint32_t v) { return std::string{char(v), char(v >> 8), char(v >> 16), char(v >> 24)}; };
    auto u16 = [](std::uint16_t v) { return std::string{char(v), char(v >> 8)}; };
    std::string fmt = "fmt " + u32(16) + u16(1) + u16(1) + u32(8000) + u32(16000) + u16(2) + u16(16);
    std::string data = "data" + u32(declaredData) + std::string(dataBytes, '\x01');
    std::string body = "WAVE" + extraChunk + fmt + data;
    return "RIFF" + u32(static_cast<std::uint32_t>(body.size())) + body;
}

class Sound : public ::testing::Test {
protected:
    void SetUp() override
    {
        plat::SetDeviceRoot(root_.path());
        ASSERT_TRUE(plat::OpenRegistry(false));
        plat::UseVirtualClock(1000);
        plat::ResetSoundRecord();
        fs::create_directories(root_.path() / "Windows");
    }
    void TearDown() override
    {
        PlaySoundW(nullptr, nullptr, 0);
        plat::UseRealClock();
        plat::CloseRegistry();
    }
    void Put(const char* name, const std::string& bytes)
    {
        std::ofstream(root_.path() / "Windows" / name, std::ios::binary) << bytes;
    }
    void SetRecord(const WCHAR* folder)
    {
        HKEY key = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Sound", 0, nullptr, 0, 0, nullptr, &key, nullptr);
        RegSetValueExW(key, L"Record", 0, REG_SZ, reinterpret_cast<const BYTE*>(folder),
                       static_cast<DWORD>((std::wcslen(folder) + 1) * sizeof(WCHAR)));
        RegCloseKey(key);
    }
    std::vector<std::string> Recorded()
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(root_.path() / "Rec"))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    // Real time only bounds the wait for the driver's thread.
    static bool Eventually(const std::function<bool()>& done)
    {
        for (int i = 0; i < 4000 && !done(); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        return done();
    }
    lumtest::TempDir root_;
};

constexpr DWORD kAsync = SND_FILENAME | SND_NOWAIT | SND_ASYNC;

}  // namespace

TEST_F(Sound, PlaySoundFilesOnlyWhenTheyAreWaves)
{
    struct Case {
        const char* what;
        std::string bytes;  // empty: no file
        BOOL played;
        DWORD durationMs;
    };
    const Case cases[] = {
        {"plain", Wave(1600, 1600), TRUE, 100},
        {"chunks before fmt", Wave(800, 800, "LIST" + std::string("\x05\0\0\0abcde\0", 10)), TRUE, 50},
        {"data longer than the file", Wave(320, 0x7FFFFFF0), TRUE, 20},
        {"missing", "", FALSE, 0},
        {"text", "not a wave file at all, but long enough", FALSE, 0},
        {"cut header", Wave(1600, 1600).substr(0, 30), FALSE, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        plat::ResetSoundRecord();
        std::error_code ec;
        fs::remove(root_.path() / "Windows" / "Cue.wav", ec);
        if (!c.bytes.empty()) Put("Cue.wav", c.bytes);
        EXPECT_EQ(PlaySoundW(L"\\Windows\\Cue.wav", nullptr, kAsync), c.played);
        const auto played = plat::PlayedSounds();
        ASSERT_EQ(played.size(), c.played ? 1u : 0u);
        if (c.played) {
            EXPECT_EQ(played[0].durationMs, c.durationMs);
        }
        PlaySoundW(nullptr, nullptr, kAsync);
    }
}

TEST_F(Sound, AsyncSoundTakesItsTimeAndNoWaitFailsMeanwhile)
{
    Put("A.wav", Wave(1600, 1600));  // 100 ms
    Put("B.wav", Wave(800, 800));
    ASSERT_TRUE(PlaySoundW(L"\\Windows\\A.wav", nullptr, kAsync));
    plat::AdvanceClock(99);
    EXPECT_TRUE(plat::IsSoundPlaying());
    EXPECT_FALSE(PlaySoundW(L"\\Windows\\B.wav", nullptr, kAsync));
    // Without SND_NOWAIT the new sound replaces the old.
    EXPECT_TRUE(PlaySoundW(L"\\Windows\\B.wav", nullptr, SND_FILENAME | SND_ASYNC));
    plat::AdvanceClock(50);
    EXPECT_FALSE(plat::IsSoundPlaying());
    ASSERT_TRUE(PlaySoundW(L"\\Windows\\A.wav", nullptr, kAsync));
    EXPECT_TRUE(PlaySoundW(nullptr, nullptr, kAsync));
    EXPECT_FALSE(plat::IsSoundPlaying());
    const auto played = plat::PlayedSounds();
    ASSERT_EQ(played.size(), 3u);
    EXPECT_EQ(played[1].name, L"B.wav");
    EXPECT_EQ(played[1].startMs, 1099u);
}

TEST_F(Sound, SyncSoundReturnsAfterItsPlayTime)
{
    Put("A.wav", Wave(1600, 1600));
    std::atomic<bool> returned{false};
    std::thread player([&] {
        PlaySoundW(L"\\Windows\\A.wav", nullptr, SND_FILENAME | SND_NOWAIT);
        returned = true;
    });
    ASSERT_TRUE(Eventually([] { return plat::NextVirtualDeadline() == 1100u; }));
    EXPECT_FALSE(returned);
    plat::AdvanceClock(100);
    player.join();
    EXPECT_TRUE(returned);
}

TEST_F(Sound, DeviceIsOneAudioOutput)
{
    EXPECT_EQ(waveOutGetNumDevs(), 1u);
    WAVEOUTCAPSW caps{};
    ASSERT_EQ(waveOutGetDevCapsW(0, &caps, sizeof caps), MMSYSERR_NOERROR);
    EXPECT_STREQ(caps.szPname, L"Audio Output");
    EXPECT_EQ(waveOutGetDevCapsW(1, &caps, sizeof caps), MMSYSERR_BADDEVICEID);

    struct Case {
        WAVEFORMATEX format;
        UINT device;
        MMRESULT result;
    };
    const Case cases[] = {
        {{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0}, 0, MMSYSERR_NOERROR},
        {{WAVE_FORMAT_PCM, 2, 22050, 44100, 2, 8, 0}, WAVE_MAPPER, MMSYSERR_NOERROR},
        {{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0}, 1, MMSYSERR_BADDEVICEID},
        {{3, 1, 8000, 32000, 4, 32, 0}, 0, WAVERR_BADFORMAT},
        {{WAVE_FORMAT_PCM, 1, 8000, 8000, 2, 16, 0}, 0, WAVERR_BADFORMAT},
        {{WAVE_FORMAT_PCM, 0, 8000, 0, 0, 16, 0}, 0, WAVERR_BADFORMAT},
    };
    for (const Case& c : cases) {
        HWAVEOUT device = nullptr;
        EXPECT_EQ(waveOutOpen(&device, c.device, &c.format, 0, 0, CALLBACK_NULL), c.result);
        if (device) {
            EXPECT_EQ(waveOutClose(device), MMSYSERR_NOERROR);
        }
    }
}

namespace {

struct Done {
    std::atomic<int> count{0};
    std::atomic<std::uint64_t> atMs{0};
    std::atomic<bool> otherThread{false};
    std::atomic<MMRESULT> unprepare{99}, close{99};
    std::thread::id caller = std::this_thread::get_id();
    bool closeInside = false;
};

void OnDone(HWAVEOUT device, UINT message, DWORD_PTR instance, DWORD_PTR param1, DWORD_PTR)
{
    if (message != WOM_DONE) return;
    auto* done = reinterpret_cast<Done*>(instance);
    auto* header = reinterpret_cast<WAVEHDR*>(param1);
    done->otherThread = std::this_thread::get_id() != done->caller;
    done->atMs = plat::NowMs();
    // The driver holds no lock here: the usual clean-up works inside.
    done->unprepare = waveOutUnprepareHeader(device, header, sizeof(WAVEHDR));
    waveOutSetVolume(device, 0);
    if (done->closeInside) done->close = waveOutClose(device);
    ++done->count;
}

}  // namespace

TEST_F(Sound, BuffersEndOnTheDriversThreadAfterTheirPlayTime)
{
    const WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, 8000, 16000, 2, 16, 0};
    Done done;
    done.closeInside = true;
    HWAVEOUT device = nullptr;
    ASSERT_EQ(waveOutOpen(&device, 0, &format, reinterpret_cast<DWORD_PTR>(&OnDone), reinterpret_cast<DWORD_PTR>(&done),
                          CALLBACK_FUNCTION),
              MMSYSERR_NOERROR);
    std::vector<char> first(3200, 1), second(1600, 2);  // 200 ms, 100 ms
    WAVEHDR a{first.data(), 3200, 0, 0, 0, 0, nullptr, 0}, b{second.data(), 1600, 0, 0, 0, 0, nullptr, 0};
    EXPECT_EQ(waveOutWrite(device, &a, sizeof a), WAVERR_UNPREPARED);
    ASSERT_EQ(waveOutPrepareHeader(device, &a, sizeof a), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutPrepareHeader(device, &b, sizeof b), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &a, sizeof a), MMSYSERR_NOERROR);
    ASSERT_EQ(waveOutWrite(device, &b, sizeof b), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutUnprepareHeader(device, &a, sizeof a), WAVERR_STILLPLAYING);
    EXPECT_EQ(waveOutClose(device), WAVERR_STILLPLAYING);

    plat::AdvanceClock(199);
    EXPECT_EQ(done.count, 0);
    plat::AdvanceClock(1);
    ASSERT_TRUE(Eventually([&] { return done.count == 1; }));
    EXPECT_EQ(done.atMs, 1200u);
    EXPECT_TRUE(done.otherThread);
    EXPECT_EQ(done.unprepare, MMSYSERR_NOERROR);
    EXPECT_EQ(done.close, WAVERR_STILLPLAYING);  // the second buffer still plays
    EXPECT_TRUE(a.dwFlags & WHDR_DONE);

    plat::AdvanceClock(100);  // the second follows the first
    ASSERT_TRUE(Eventually([&] { return done.count == 2; }));
    EXPECT_EQ(done.atMs, 1300u);
    EXPECT_EQ(done.close, MMSYSERR_NOERROR);
    EXPECT_FALSE(plat::IsWaveOutDeviceOpen(device));
    EXPECT_EQ(waveOutClose(device), MMSYSERR_INVALHANDLE);
}

TEST_F(Sound, VolumesOfTheDeviceAndOfEachHandle)
{
    DWORD volume = 0;
    ASSERT_EQ(waveOutGetVolume(nullptr, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0xFFFFFFFFu);
    ASSERT_EQ(waveOutSetVolume(nullptr, 0), MMSYSERR_NOERROR);
    HWAVEOUT muted = plat::OpenWaveOutDevice();
    ASSERT_EQ(waveOutGetVolume(muted, &volume), MMSYSERR_NOERROR);
    EXPECT_EQ(volume, 0u);  // a handle starts at the device's volume
    ASSERT_EQ(waveOutSetVolume(muted, 65535), MMSYSERR_NOERROR);
    waveOutGetVolume(nullptr, &volume);
    EXPECT_EQ(volume, 0u);  // and keeps its own
    waveOutSetVolume(nullptr, 0x80008000);
    waveOutGetVolume(muted, &volume);
    EXPECT_EQ(volume, 65535u);
    EXPECT_EQ(waveOutGetVolume(reinterpret_cast<HWAVEOUT>(1), &volume), MMSYSERR_BADDEVICEID);
    waveOutClose(muted);
    EXPECT_EQ(waveOutSetVolume(muted, 1), MMSYSERR_INVALHANDLE);
}

TEST_F(Sound, DriverMessagesAreRecordedForTheDeviceOrAHandle)
{
    HWAVEOUT device = plat::OpenWaveOutDevice();
    EXPECT_EQ(waveOutMessage(nullptr, 1075, 50641, 4099), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutMessage(device, 1026, 1, 0), MMSYSERR_NOERROR);
    EXPECT_EQ(waveOutMessage(reinterpret_cast<HWAVEOUT>(1), 1024, 9, 0), MMSYSERR_BADDEVICEID);
    waveOutClose(device);
    EXPECT_EQ(waveOutMessage(device, 1024, 9, 0), MMSYSERR_INVALHANDLE);
    const auto messages = plat::WaveOutDriverMessages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].device, nullptr);
    EXPECT_EQ(messages[0].message, 1075u);
    EXPECT_EQ(messages[0].param1, 50641u);
    EXPECT_EQ(messages[1].device, device);
    EXPECT_EQ(messages[1].param1, 1u);
}

TEST_F(Sound, RecordFolderGetsEverySoundInPlayingOrder)
{
    Put("Shutter01.wav", Wave(1600, 1600));
    fs::create_directories(root_.path() / "Rec");
    std::ofstream(root_.path() / "Rec" / "0007-earlier.wav") << "x";
    SetRecord(L"\\Rec");
    ASSERT_TRUE(PlaySoundW(L"\\Windows\\Shutter01.wav", nullptr, kAsync));
    HWAVEOUT device = plat::OpenWaveOutDevice();
    std::vector<char> samples(480, 3);
    WAVEHDR header{samples.data(), 480, 0, 0, 0, 0, nullptr, 0};
    waveOutPrepareHeader(device, &header, sizeof header);
    ASSERT_EQ(waveOutWrite(device, &header, sizeof header), MMSYSERR_NOERROR);
    EXPECT_EQ(Recorded(), (std::vector<std::string>{"0007-earlier.wav", "0008-Shutter01.wav", "0009-wave.wav"}));
    plat::AdvanceClock(30);
    bool closed = false;
    EXPECT_TRUE(Eventually([&] { return closed || (closed = waveOutClose(device) == MMSYSERR_NOERROR); }));
}

TEST_F(Sound, UnreadableRecordValueRecordsNothing)
{
    Put("A.wav", Wave(160, 160));
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"Platform\\Sound", 0, nullptr, 0, 0, nullptr, &key, nullptr);
    const DWORD number = 5;
    RegSetValueExW(key, L"Record", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&number), sizeof number);
    RegCloseKey(key);
    EXPECT_TRUE(PlaySoundW(L"\\Windows\\A.wav", nullptr, kAsync));
    EXPECT_EQ(plat::PlayedSounds().size(), 1u);
}

// Python's wave module reads what the record folder holds.
TEST_F(Sound, PeerRecordReadsAsTheCueItCopies)
{
    const fs::path cues = fs::path(LUM_BINARY_DIR) / "resources" / "device" / "Windows";
    ASSERT_TRUE(fs::exists(cues / "TimerEnd.wav"));
    fs::copy_file(cues / "TimerEnd.wav", root_.path() / "Windows" / "TimerEnd.wav");
    SetRecord(L"\\Rec");
    ASSERT_TRUE(PlaySoundW(L"\\Windows\\TimerEnd.wav", nullptr, kAsync));
    const auto played = plat::PlayedSounds();
    ASSERT_EQ(played.size(), 1u);
    auto describe = [](const fs::path& file) {
        const std::string command = "/usr/bin/python3 -c \"import wave,sys; w=wave.open(sys.argv[1]); "
                                    "print(w.getnchannels(), w.getsampwidth(), w.getframerate(), w.getnframes())\" '" +
                                    file.string() + "'";
        std::string out;
        if (FILE* pipe = popen(command.c_str(), "r")) {
            char line[128];
            while (std::fgets(line, sizeof line, pipe)) out += line;
            pclose(pipe);
        }
        return out;
    };
    const std::string original = describe(cues / "TimerEnd.wav");
    EXPECT_EQ(original, "1 2 8000 4800\n");
    EXPECT_EQ(describe(root_.path() / "Rec" / "0001-TimerEnd.wav"), original);
    EXPECT_EQ(played[0].durationMs, 600u);
}
