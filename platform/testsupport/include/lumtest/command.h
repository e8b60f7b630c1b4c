// Running a peer program from a test: its standard output as text, and a
// path quoted for the shell.
#pragma once

#include <filesystem>
#include <string>

namespace lumtest {

// What the command writes to its standard output (its standard error goes
// where the test's goes unless the command redirects it).
std::string CommandOutput(const std::string& command);

// The path in single quotes, for a command line.
std::string ShellQuoted(const std::filesystem::path& path);

}  // namespace lumtest
