// Process entry on Linux: sets the platform up from the command line, then
// hands over to the system's own entry point.
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>

#include "ImageDecoder.h"
#include "pixels/PixelLog.h"
#include "plat/debug.h"
#include "plat/handle.h"
#include "plat/presenter.h"
#include "plat/startup.h"
#include "plat/thread.h"
#include "plat/windows.h"
#include "plat/scenario.h"
#include "plat/utf.h"

int WinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

namespace {

struct Options {
    std::string root;
    std::string scenario;
    bool window = false;
    std::wstring commandLine;  // what the system sees of its arguments
};

void Usage()
{
    std::fprintf(stderr,
                 "usage: lumocr [--root DIR] [--window] [--scenario FILE] [ARGS...]\n"
                 "  --root DIR       device root (else $LUMOCR_ROOT, else ~/.local/share/lumocr/device)\n"
                 "  --window         show the screen in a window when a display is there\n"
                 "  --scenario FILE  replay the timed steps of FILE as input\n");
}

bool Parse(int argc, char** argv, Options& options)
{
    for (int i = 1; i < argc; ++i) {
        const char* arg = argv[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= argc) {
                std::fprintf(stderr, "lumocr: %s needs a value\n", arg);
                return false;
            }
            out = argv[++i];
            return true;
        };
        if (std::strcmp(arg, "--root") == 0) {
            if (!value(options.root))
                return false;
        } else if (std::strcmp(arg, "--scenario") == 0) {
            if (!value(options.scenario))
                return false;
        } else if (std::strcmp(arg, "--window") == 0) {
            options.window = true;
        } else if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
            Usage();
            std::exit(0);
        } else if (std::strncmp(arg, "--", 2) == 0) {
            std::fprintf(stderr, "lumocr: unknown option %s\n", arg);
            return false;
        } else {
            if (!options.commandLine.empty())
                options.commandLine += L' ';
            options.commandLine += plat::FromUtf8(arg);
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    Options options;
    if (!Parse(argc, argv, options)) {
        Usage();
        return 2;
    }
    std::optional<plat::Scenario> scenario;
    if (!options.scenario.empty()) {
        std::string error;
        scenario = plat::Scenario::Load(options.scenario, &error);
        if (!scenario) {
            std::fprintf(stderr, "lumocr: %s\n", error.c_str());
            return 2;
        }
    }
    if (!plat::Startup({.root = options.root, .deviceTemplate = {}}))
        std::fprintf(stderr, "lumocr: the registry of the device root could not be read\n");
    // JPEG pictures load through the program's own decoder.
    RegisterPictureDecoders();
    // The pixel kernels write their failure lines to the debug output, as the
    // rest of the program does.
    pixels::SetLogSink(&OutputDebugStringW);
    std::wstring why;
    if (!plat::CheckFonts(&why)) {
        // Without its font every screen would stay blank.
        std::fprintf(stderr, "lumocr: %ls (set LUMOCR_FONT_DIR or install fonts-dejavu-core)\n", why.c_str());
        plat::Shutdown();
        return 2;
    }
    if (options.window && !plat::StartPresenter(&why))
        std::fprintf(stderr, "lumocr: %ls; running without a window\n", why.c_str());
    auto program = [&] { return WinMain(nullptr, nullptr, options.commandLine.data(), 1); };
    int result = scenario ? plat::RunProgramWithScenario(*scenario, program) : program();
    // Whatever the program left open shows here (tests look for it).
    plat::DebugLine(L"at exit: %zu handles open, %zu threads running", plat::LiveHandleCount(),
                    plat::LiveThreadCount());
    plat::StopPresenter();
    plat::Shutdown();
    return result;
}
