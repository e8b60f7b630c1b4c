#include "lumtest/command.h"

#include <cstdio>
#include <memory>

namespace lumtest {

std::string CommandOutput(const std::string& command)
{
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
    std::string text;
    char buffer[256];
    while (pipe && std::fgets(buffer, sizeof buffer, pipe.get()))
        text += buffer;
    return text;
}

std::string ShellQuoted(const std::filesystem::path& path)
{
    std::string quoted(1, '\'');
    for (char c : path.string()) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    quoted += '\'';
    return quoted;
}

}  // namespace lumtest
