// jpegtool COMMAND ARGS...: see Usage().
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "JpegToolCommands.h"

namespace {

struct Command {
    const char* name;
    int (*run)(const std::vector<std::string>& args);
    const char* usage;
};

const Command kCommands[] = {
    {"decode", jpegtool::Decode, "decode IN.jpg OUT.ppm|OUT.pgm [--scale 1|2|4|8] [--rgb565]"},
    {"info", jpegtool::Info, "info IN.jpg"},
    {"thumb", jpegtool::Thumb, "thumb IN.jpg OUT.ppm"},
    {"encode", jpegtool::Encode,
     "encode IN.ppm|IN.pgm|IN.yuv OUT.jpg [--quality Q] [--format N] [--mode 0|1|2] [--size WxH] [--progressive]\n"
     "      [--target-bytes N] [--thumbnail WxH] [--exif] [--make S] [--model S] [--date D] [--orientation N] [--gps LAT,LON[,ALT]]"},
    {"wrap", jpegtool::Wrap, "wrap IN.jpg THUMB.yuv OUT.jpg [--size WxH] [--format N] [--thumbnail WxH] [--rgb-thumbnail] [EXIF options]"},
};

int Usage() {
    std::fprintf(stderr, "usage:\n");
    for (const Command& c : kCommands) {
        std::fprintf(stderr, "  jpegtool %s\n", c.usage);
    }
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        return Usage();
    }
    const std::vector<std::string> args(argv + 2, argv + argc);
    for (const Command& c : kCommands) {
        if (std::strcmp(argv[1], c.name) == 0) {
            return c.run(args);
        }
    }
    return Usage();
}
