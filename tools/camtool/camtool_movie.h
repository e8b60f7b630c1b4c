// camtool's movie commands:
//   camtool [--root DIR] record SECONDS [--pause A:B] [--mms]
//   camtool [--root DIR] play FILE
#pragma once

#include <string>
#include <vector>

#include "plat/startup.h"

bool IsMovieCommand(const std::vector<std::string>& args);
// The exit code: 0 done, 1 failed, 2 bad arguments.
int RunMovieCommand(std::vector<std::string> args, const plat::StartupOptions& options);
