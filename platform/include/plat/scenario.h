// Scenarios: text files of timed steps that drive the program headless
// through the same input path as the handset's keys and touch panel.
// The format is described in docs/scenarios.md.
#pragma once

#include <atomic>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "plat/types.h"

namespace plat {

struct ScenarioStep {
    enum class Kind {
        Key, Tap, Drag, Text, Wait, Reg, Card, Turn, ExpectFile, ExpectReg, Screenshot, Say, End, WaitFile, WaitWindow,
        WaitLog, WaitReg, Post, Copy, Counts
    };
    Kind kind;
    int line = 0;
    std::string source;  // the line as written, for messages
    std::vector<long long> numbers;
    std::vector<std::wstring> words;
};

class Scenario {
public:
    // Reads and checks the whole file; on failure `error` names the line.
    static std::optional<Scenario> Load(const std::filesystem::path& file, std::string* error);
    static std::optional<Scenario> Parse(const std::string& text, const std::string& name, std::string* error);

    // Replays the steps in order on the calling thread. Returns 0 when every
    // step passed, else the line of the first failed step (and describes it in
    // `failure`). Stops early when `stop` becomes true.
    int Run(std::string* failure, const std::atomic<bool>* stop = nullptr) const;

    const std::vector<ScenarioStep>& Steps() const { return steps_; }
    const std::string& Name() const { return name_; }

private:
    std::string name_;
    std::vector<ScenarioStep> steps_;
};

// Runs the program (WinMain) with the scenario replayed beside it from the
// start. When the replay is over the program's windows are asked to close; a
// program that has not ended `graceMs` (real time) later is stopped with exit
// code 3. Returns 1 when a step failed (after reporting it on standard
// error), else the program's result.
int RunProgramWithScenario(const Scenario& scenario, const std::function<int()>& program, unsigned graceMs = 10000);

// Asks every window of the program to close (WM_CLOSE to the top-level
// windows that are not the shell's), as the user ending it would.
void CloseProgramWindows();

}  // namespace plat
