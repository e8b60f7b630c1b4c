// A hundred business cards in a row in one run of lumocr, each shot, read,
// saved and back to the camera: nothing the road takes is left behind
// (handles, GDI objects, windows, threads, memory).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "lumocr_run.h"

namespace {

namespace fs = std::filesystem;

struct Counts {
    long handles = -1, gdi = -1, windows = -1, threads = -1, processThreads = -1, residentKb = -1, heapKb = -1;
};

std::vector<Counts> CountLines(const std::string& output)
{
    std::vector<Counts> found;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        Counts c;
        if (std::sscanf(line.c_str(),
                        "counts: handles %ld gdi %ld windows %ld threads %ld process-threads %ld resident %ld kB heap %ld kB",
                        &c.handles, &c.gdi, &c.windows, &c.threads, &c.processThreads, &c.residentKb, &c.heapKb) == 7)
            found.push_back(c);
    }
    return found;
}

long MedianResident(std::vector<Counts>::const_iterator from, std::vector<Counts>::const_iterator to)
{
    std::vector<long> kb;
    for (auto it = from; it != to; ++it)
        kb.push_back(it->residentKb);
    std::sort(kb.begin(), kb.end());
    return kb[kb.size() / 2];
}

TEST(MainRoadSlow, AHundredCardsInARowLeaveNoHandleThreadOrGrowingMemory)
{
    constexpr int kShots = 100;
    lumtest::TempDir dir;
    std::string steps = lumrun::kStarted;
    for (int i = 0; i < kShots; ++i)
        steps += "key APP3\n"
                 "wait-window Textiva 120000\n"
                 "wait-log \"card view laid out\" 20000\n"
                 "tap 100 227\n"
                 "wait-window Textiva 20000 gone\n"
                 "wait-log \"PREVIEW_CAMERA - ready for input\" 60000\n"
                 "counts\n";
    steps += "key TEND\n";
    std::ofstream(dir.path() / "shots.scn") << steps;
    // One malloc arena: the resident size then follows what the program
    // holds, not how many arenas glibc happened to open for its threads.
    const lumrun::Outcome r = lumrun::Run("MALLOC_ARENA_MAX=1 '" + std::string(LUM_BINARY_DIR) + "/bin/lumocr' --root '" +
                                          lumrun::Device(dir) + "' --scenario '" + (dir.path() / "shots.scn").string() +
                                          "'");
    ASSERT_EQ(r.exitCode, 0) << r.output.substr(r.output.size() > 4000 ? r.output.size() - 4000 : 0);
    const auto counts = CountLines(r.output);
    ASSERT_EQ(counts.size(), static_cast<size_t>(kShots));
    std::size_t contacts = 0;
    for (const auto& entry : fs::directory_iterator(fs::path(lumrun::Device(dir)) / "Contacts"))
        contacts += entry.path().extension() == ".vcf";
    EXPECT_EQ(contacts, static_cast<size_t>(kShots)) << "every card went the whole road";

    // Once the road has been walked, every handle and thread it takes is
    // given back by the end of each shot.
    const Counts& tenth = counts[9];
    for (int i = 10; i < kShots; ++i) {
        EXPECT_EQ(counts[i].handles, tenth.handles) << "after shot " << i + 1;
        EXPECT_EQ(counts[i].gdi, tenth.gdi) << "after shot " << i + 1;
        EXPECT_EQ(counts[i].windows, tenth.windows) << "after shot " << i + 1;
        EXPECT_EQ(counts[i].threads, tenth.threads) << "after shot " << i + 1;
        EXPECT_EQ(counts[i].processThreads, tenth.processThreads) << "after shot " << i + 1;
    }
    // Memory: the median of shots 6-15 against that of shots 91-100, so a
    // single reading's swing decides nothing; a leak of the road shows as a
    // trend across ninety shots.
    const long early = MedianResident(counts.begin() + 5, counts.begin() + 15);
    const long late = MedianResident(counts.end() - 10, counts.end());
    EXPECT_LT(late, early + early / 20) << "resident " << early << " kB early, " << late << " kB late";
    EXPECT_NE(r.output.find("at exit: 0 handles open, 0 threads running"), std::string::npos);
}

}  // namespace
