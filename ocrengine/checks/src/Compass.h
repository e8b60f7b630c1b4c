// The compass edge response shared by edge detection and binarisation.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace ocrchecks {

// Largest of the eight 45-degree turns of the mask +1 +1 +1 / +1 -2 +1 / -1 -1 -1
// at p. Each turn puts -1 on three neighbours in a row around the ring and +1
// on the other five, so the largest is ring - 2 * centre - 2 * (smallest triple).
inline int CompassResponse(const std::uint8_t* p, std::ptrdiff_t stride) {
    const std::uint8_t* up = p - stride;
    const std::uint8_t* down = p + stride;
    // The ring in circular order, starting top-left.
    const int r0 = up[-1], r1 = up[0], r2 = up[1], r3 = p[1];
    const int r4 = down[1], r5 = down[0], r6 = down[-1], r7 = p[-1];
    const int ring = r0 + r1 + r2 + r3 + r4 + r5 + r6 + r7;
    const int smallest = std::min({r0 + r1 + r2, r1 + r2 + r3, r2 + r3 + r4, r3 + r4 + r5,
                                   r4 + r5 + r6, r5 + r6 + r7, r6 + r7 + r0, r7 + r0 + r1});
    return ring - 2 * p[0] - 2 * smallest;
}

// True when none of the three pixels above p and the three below it is white.
inline bool NoWhiteAboveOrBelow(const std::uint8_t* p, std::ptrdiff_t stride) {
    const std::uint8_t* up = p - stride;
    const std::uint8_t* down = p + stride;
    return up[-1] != 255 && up[0] != 255 && up[1] != 255 &&
           down[-1] != 255 && down[0] != 255 && down[1] != 255;
}

}  // namespace ocrchecks
