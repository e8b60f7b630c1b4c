// Text-line finding on a binarised picture: 2 x 2 cells, density filter, row
// merging and grouping of the surviving blobs into line rectangles.
#pragma once

#include <cstdint>
#include <vector>

#include "ocrchecks/GreyImage.h"

namespace ocrchecks {

// One cell of the grid. Coordinates are 32-bit: pictures up to 320000 pixels
// are not scaled, and one that is 100000 wide would not fit 16 bits.
struct TextBlob {
    std::int32_t state;
    std::int32_t left;
    std::int32_t top;
    std::int32_t right;
    std::int32_t bottom;
};

// Blob states.
enum : std::int32_t {
    kBlobNoInk = 0,
    kBlobDiscarded = 1,
    kBlobEmpty = 2,
    kBlobEmptyRun = 3,
    kBlobInk = 4,
    kBlobDense = 5,
    kBlobAbsorbed = 8,  // added to a cell that took its right neighbours
};

// At most maxLines rectangles, in the order of their first cell. Throws
// std::bad_alloc when the cells cannot be had.
std::vector<CheckRect> FindTextLines(const std::uint8_t* binary, int width, int height,
                                     int maxLines);

}  // namespace ocrchecks
