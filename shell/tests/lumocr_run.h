// Runs lumocr and lumreg on a test's device root, as a user would.
#pragma once

#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <fstream>
#include <string>

#include "lumtest/tempdir.h"

namespace lumrun {

// A scenario's first steps when what follows needs the preview taking keys:
// start-up is over, however long a loaded machine takes, and the input that
// came before the preview drops is behind.
inline constexpr const char* kStarted =
    "wait-log \"start-up time\" 60000\n"
    "wait-log \"PREVIEW_CAMERA - ready for input\" 60000\n";

struct Outcome {
    int exitCode = -1;
    std::string output;
};

inline std::string Device(const lumtest::TempDir& dir) { return (dir.path() / "device").string(); }

// The command with its standard error joined to its output.
inline Outcome Run(const std::string& command)
{
    Outcome out;
    FILE* pipe = popen((command + " 2>&1").c_str(), "r");
    if (!pipe)
        return out;
    std::array<char, 4096> buffer;
    while (size_t n = std::fread(buffer.data(), 1, buffer.size(), pipe))
        out.output.append(buffer.data(), n);
    int status = pclose(pipe);
    out.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return out;
}

inline Outcome Lumreg(const lumtest::TempDir& dir, const std::string& args)
{
    return Run(std::string(LUM_BINARY_DIR) + "/bin/lumreg --root '" + Device(dir) + "' " + args);
}

inline Outcome Lumocr(const lumtest::TempDir& dir, const std::string& steps)
{
    auto file = dir.path() / "steps.scn";
    std::ofstream(file) << steps;
    return Run(std::string(LUM_BINARY_DIR) + "/bin/lumocr --root '" + Device(dir) + "' --scenario '" +
               file.string() + "'");
}

// A value as lumreg prints it, without the line end.
inline std::string Value(const lumtest::TempDir& dir, const std::string& key, const std::string& name)
{
    std::string out = Lumreg(dir, "get '" + key + "' " + name).output;
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r'))
        out.pop_back();
    return out;
}

}  // namespace lumrun
