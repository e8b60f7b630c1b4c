#include "PagePicture.h"

#include <filesystem>

namespace cardgen {
namespace {

constexpr int kWidth = 1280;
constexpr int kHeight = 960;
constexpr int kMargin = 70;
constexpr int kFirstBaseline = 110;
constexpr int kLineStep = 62;
constexpr int kPixels = 32;
constexpr const char* kFont = "/usr/share/fonts/truetype/dejavu/DejaVuSerif.ttf";

}  // namespace

const std::vector<std::string>& PageLines() {
    // Plain prose of short common words: what the page reader is asked to
    // return word for word.
    static const std::vector<std::string> lines = {
        "Delivery report for the northern depot",
        "The morning trucks left the harbour on time and",
        "reached the warehouse before noon. Three pallets",
        "of printed forms were stored in the east hall and",
        "the remaining boxes went to the office on the",
        "second floor. Please check the labels against the",
        "order list before the goods are signed for, and",
        "send the signed copy back to the transport desk",
        "by Friday evening. Questions about this delivery",
        "go to the depot manager or to the sales office.",
        "Thank you for your help with this shipment.",
    };
    return lines;
}

Picture DrawPage() {
    if (!std::filesystem::exists(kFont)) return {};
    Picture page{kWidth, kHeight, std::vector<std::uint8_t>(static_cast<std::size_t>(kWidth) * kHeight)};
    // White paper, lit a little unevenly, filling the frame.
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x)
            page.px[static_cast<std::size_t>(y) * kWidth + x] = static_cast<std::uint8_t>(242 - (x + y) / 120);
    int baseline = kFirstBaseline;
    for (const std::string& line : PageLines()) {
        if (DrawText(page, kFont, kPixels, kMargin, baseline, line, 30) < 0) return {};
        baseline += kLineStep;
    }
    return page;
}

}  // namespace cardgen
