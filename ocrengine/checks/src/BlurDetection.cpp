#include <algorithm>

#include "ocrchecks/CheckLog.h"
#include "ocrchecks/ImageChecks.h"

namespace ocrchecks {

std::int32_t BlurDetection(const GreyImage* image, std::int32_t count, const CheckRect* rects,
                           std::int32_t threshold) {
    if (count <= 0 || image == nullptr || image->data == nullptr || rects == nullptr ||
        image->width <= 0 || image->height <= 0) {
        return 0;
    }
    const std::ptrdiff_t stride = image->width;

    long long varianceSum = 0;
    long long used = 0;
    for (std::int32_t i = 0; i < count; ++i) {
        // Pixels with left < x <= right and top < y <= bottom, inside the picture.
        const long long x0 = std::max<long long>(static_cast<long long>(rects[i].left) + 1, 0);
        const long long y0 = std::max<long long>(static_cast<long long>(rects[i].top) + 1, 0);
        const long long x1 = std::min<long long>(rects[i].right, image->width - 1);
        const long long y1 = std::min<long long>(rects[i].bottom, image->height - 1);
        if (x0 > x1 || y0 > y1) {
            continue;
        }
        const long long area = (x1 - x0 + 1) * (y1 - y0 + 1);

        long long sum = 0;
        for (long long y = y0; y <= y1; ++y) {
            const std::uint8_t* row = image->data + y * stride;
            for (long long x = x0; x <= x1; ++x) {
                sum += row[x];
            }
        }
        const long long mean = sum / area;
        long long squares = 0;
        for (long long y = y0; y <= y1; ++y) {
            const std::uint8_t* row = image->data + y * stride;
            for (long long x = x0; x <= x1; ++x) {
                const long long d = row[x] - mean;
                squares += d * d;
            }
        }
        varianceSum += static_cast<long long>(static_cast<double>(squares) / static_cast<double>(area));
        ++used;
    }
    if (used == 0) {
        return 0;
    }

    const auto average = static_cast<std::int32_t>(varianceSum / used);
    CheckLog("[TRAVEK] Engine sum(%d), blur_standard(%d)\n", average, threshold);
    return average < threshold ? 1 : 0;
}

}  // namespace ocrchecks
