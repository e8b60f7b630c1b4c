// Evening out a strip's lighting: each pixel over the brightest paper near it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "TessPicture.h"

namespace {

using namespace plat::ocr::tess;

// Each pixel scaled by the brightest pixel of the square of `radius` around
// it (cut at the picture's edges; 24 at the least), as a slow scan finds it.
TEST(Lighting, EachPixelIsScaledByTheBrightestAroundIt) {
    const struct {
        int width, height, radius;
    } cases[] = {{40, 30, 8}, {90, 12, 6}, {7, 50, 25}, {33, 33, 40}, {1, 1, 8}};
    std::mt19937 random(7);
    for (const auto& c : cases) {
        Grey g{c.width, c.height, std::vector<std::uint8_t>(static_cast<std::size_t>(c.width) * c.height)};
        for (auto& p : g.px) p = static_cast<std::uint8_t>(random() % 200);
        const Grey out = NormaliseLighting(g, c.radius);
        int wrong = 0;
        for (int y = 0; y < c.height; ++y) {
            for (int x = 0; x < c.width; ++x) {
                int brightest = 24;
                for (int v = std::max(0, y - c.radius); v <= std::min(c.height - 1, y + c.radius); ++v) {
                    for (int u = std::max(0, x - c.radius); u <= std::min(c.width - 1, x + c.radius); ++u) {
                        brightest = std::max<int>(brightest, g.At(u, v));
                    }
                }
                wrong += out.At(x, y) != std::min(255, g.At(x, y) * 255 / brightest);
            }
        }
        EXPECT_EQ(0, wrong) << c.width << " x " << c.height << " radius " << c.radius;
    }
}

}  // namespace
