// Our road against a peer's on the same work, run in turn (ours, peer, ours,
// peer ...) so that a change in the machine's speed falls on both. Each pair
// gives a ratio; the figures are medians over the pairs, with the smallest
// and largest ratio as the spread. Both roads run on the calling thread, so
// thread CPU time is reported beside wall time: on a shared machine the CPU
// time says what the road costs, the wall time what a user waits.
#pragma once

#include <benchmark/benchmark.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace benchpair {

inline double ThreadCpuSeconds()
{
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return static_cast<double>(ts.tv_sec) + static_cast<double>(ts.tv_nsec) * 1e-9;
}

// The value a fraction q of the way through the sorted values (0.5: the median).
inline double Quantile(std::vector<double> v, double q)
{
    if (v.empty()) {
        return 0;
    }
    std::sort(v.begin(), v.end());
    const double at = q * static_cast<double>(v.size() - 1);
    const size_t i = static_cast<size_t>(at);
    const double f = at - static_cast<double>(i);
    return i + 1 < v.size() ? v[i] * (1 - f) + v[i + 1] * f : v[i];
}

inline double Median(const std::vector<double>& v) { return Quantile(v, 0.5); }

struct Pairs {
    std::vector<double> oursWall, peerWall, oursCpu, peerCpu, ratio, cpuRatio;
};

// Times one call of body: wall and thread CPU seconds.
template <class Body>
void TimeOne(Body& body, std::vector<double>& wall, std::vector<double>& cpu)
{
    const double c0 = ThreadCpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    body();
    const auto t1 = std::chrono::steady_clock::now();
    const double c1 = ThreadCpuSeconds();
    wall.push_back(std::chrono::duration<double>(t1 - t0).count());
    cpu.push_back(c1 - c0);
}

// One pair per benchmark iteration, after one warm-up call of each road.
// Counters: ours_ms and peer_ms (median wall), ours_cpu_ms and peer_cpu_ms
// (median thread CPU), ratio (median of the pairs' wall ratios) with its
// quartiles ratio_q1 and ratio_q3, and cpu_ratio (median of the CPU ratios).
template <class Ours, class Peer>
void Alternate(benchmark::State& state, Ours&& ours, Peer&& peer)
{
    ours();
    peer();
    Pairs p;
    for (auto _ : state) {
        // Who goes first alternates too: a cache warmed by the other road
        // favours neither.
        if (p.ratio.size() % 2 == 0) {
            TimeOne(ours, p.oursWall, p.oursCpu);
            TimeOne(peer, p.peerWall, p.peerCpu);
        } else {
            TimeOne(peer, p.peerWall, p.peerCpu);
            TimeOne(ours, p.oursWall, p.oursCpu);
        }
        p.ratio.push_back(p.oursWall.back() / p.peerWall.back());
        p.cpuRatio.push_back(p.peerCpu.back() > 0 ? p.oursCpu.back() / p.peerCpu.back() : 0);
    }
    if (p.ratio.empty()) {
        return;
    }
    state.counters["ours_ms"] = 1000 * Median(p.oursWall);
    state.counters["peer_ms"] = 1000 * Median(p.peerWall);
    state.counters["ours_cpu_ms"] = 1000 * Median(p.oursCpu);
    state.counters["peer_cpu_ms"] = 1000 * Median(p.peerCpu);
    state.counters["ratio"] = Median(p.ratio);
    state.counters["ratio_q1"] = Quantile(p.ratio, 0.25);
    state.counters["ratio_q3"] = Quantile(p.ratio, 0.75);
    state.counters["cpu_ratio"] = Median(p.cpuRatio);
}

// The console table, then one line per paired run: the median ratio with its
// spread and the CPU ratio, so a run's figures can be read in one place.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        for (const Run& r : runs) {
            auto at = [&](const char* name) {
                auto it = r.counters.find(name);
                return it == r.counters.end() ? -1.0 : static_cast<double>(it->second);
            };
            if (at("ratio") >= 0) {
                lines_.push_back({r.benchmark_name(), at("ratio"), at("ratio_q1"), at("ratio_q3"), at("cpu_ratio"),
                                  at("ours_ms"), at("peer_ms")});
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\nours / peer, medians of alternating runs with quartiles (lower is better):\n");
        std::printf("  %-56s %7s %15s %9s %10s %10s\n", "run", "ratio", "quartiles", "cpu", "ours ms", "peer ms");
        for (const Line& l : lines_) {
            std::printf("  %-56s %7.2f  [%5.2f, %5.2f] %9.2f %10.3f %10.3f\n", l.name.c_str(), l.ratio, l.low, l.high,
                        l.cpu, l.ours, l.peer);
        }
    }

private:
    struct Line {
        std::string name;
        double ratio, low, high, cpu, ours, peer;
    };
    std::vector<Line> lines_;
};

// BENCHMARK_MAIN with the ratio lines after the table.
inline int RunWithRatios(int argc, char** argv)
{
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchpair
