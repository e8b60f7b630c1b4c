// Writes the camera's nine sound cues: short 16-bit mono PCM tones, each of
// its own pitch and length so that a record of what played tells them apart.
//   cuegen FOLDER
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <numbers>
#include <string>
#include <vector>

namespace {

struct Cue {
    const char* name;
    double hertz;
    int ms;
    int notes;  // the tone is cut into this many beeps
};

constexpr Cue kCues[] = {
    {"Shutter01.wav", 1200, 150, 1},     {"Shutter02.wav", 1600, 150, 2},   {"Shutter03.wav", 2000, 200, 3},
    {"StartRecording.wav", 880, 400, 1}, {"StopRecording.wav", 660, 400, 2}, {"AutoFocus.wav", 1760, 100, 1},
    {"AutoFocusFail.wav", 440, 300, 2},  {"Timer.wav", 1000, 100, 1},       {"TimerEnd.wav", 1000, 600, 1},
};
constexpr int kRate = 8000;

void Put(std::ofstream& out, std::uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out.put(static_cast<char>(value >> (8 * i)));
}

bool Write(const std::string& path, const Cue& cue)
{
    const int samples = kRate * cue.ms / 1000;
    const int noteLength = samples / cue.notes;
    std::vector<std::int16_t> pcm(samples);
    for (int i = 0; i < samples; ++i) {
        const int inNote = i % noteLength;
        // A gap closes every beep of a series; a short ramp keeps the edges soft.
        const int sounding = cue.notes > 1 ? noteLength * 3 / 4 : noteLength;
        if (inNote >= sounding) continue;
        const int ramp = std::min({inNote, sounding - inNote, 80});
        const double level = 12000.0 * ramp / 80;
        pcm[i] = static_cast<std::int16_t>(level * std::sin(2 * std::numbers::pi * cue.hertz * i / kRate));
    }
    std::ofstream out(path, std::ios::binary);
    const std::uint32_t bytes = static_cast<std::uint32_t>(pcm.size() * 2);
    out.write("RIFF", 4);
    Put(out, 36 + bytes, 4);
    out.write("WAVEfmt ", 8);
    Put(out, 16, 4);
    Put(out, 1, 2);  // PCM
    Put(out, 1, 2);  // mono
    Put(out, kRate, 4);
    Put(out, kRate * 2, 4);
    Put(out, 2, 2);
    Put(out, 16, 2);
    out.write("data", 4);
    Put(out, bytes, 4);
    for (std::int16_t s : pcm)
        Put(out, static_cast<std::uint16_t>(s), 2);
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: cuegen FOLDER\n");
        return 2;
    }
    for (const Cue& cue : kCues) {
        const std::string path = std::string(argv[1]) + "/" + cue.name;
        if (!Write(path, cue)) {
            std::fprintf(stderr, "cuegen: cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
