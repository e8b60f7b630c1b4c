// Setting the platform up for a program, and taking it down again.
#pragma once

#include <filesystem>

namespace plat {

struct StartupOptions {
    std::filesystem::path root;            // device root; empty: $LUMOCR_ROOT, else the default
    std::filesystem::path deviceTemplate;  // empty: resources/device of the build beside bin/
};

// Chooses the device root, fills it with what the template has and the root
// lacks, loads the registry (following the file for other writers) and puts
// the real clock in place. False when the registry could not be read.
bool Startup(const StartupOptions& options = {});

// Ends the other applications' threads, writes the registry and stops its
// notification thread.
void Shutdown();

// The folder of the running executable.
std::filesystem::path ExecutableDir();

}  // namespace plat
