#include "ocrchecks/EdgeDetector.h"

#include <algorithm>

#include "Compass.h"

namespace ocrchecks {

namespace {

constexpr int kMaxBandSide = kEdgeFrameWidth;
constexpr int kDarkerThanMean = 10;  // an edge pixel is this much darker than its band
constexpr int kFoundBandsPeriod10 = 2;  // bands needed: above 2 at period 10, above 1 otherwise
constexpr int kFoundBandsOther = 1;

}  // namespace

bool BandHoldsEdge(const std::uint8_t* band, std::int32_t stride, std::int32_t w, std::int32_t h,
                   std::int32_t coveragePercent, std::int32_t threshold) {
    if (w < 3 || h < 3 || w > kMaxBandSide || h > kMaxBandSide) {
        return false;
    }

    // Mean brightness of every second row of the band's middle.
    long long sum = 0;
    long long taken = 0;
    for (int y = h / 8; y < h - h / 8; y += 2) {
        const std::uint8_t* row = band + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = w / 8; x < w - w / 8; ++x) {
            sum += row[x];
        }
        taken += w - 2 * (w / 8);
    }
    const int mean = taken > 0 ? static_cast<int>(sum / taken) : 0;

    // Projections of the edge map: per row (left and right half) for a band
    // wider than tall, else per column (upper and lower half); coverage along
    // the band's length.
    const bool wide = w > h;
    const int length = wide ? w : h;
    int projection[2 * kMaxBandSide] = {};
    bool covered[kMaxBandSide] = {};
    const int darkLimit = mean - kDarkerThanMean;
    for (int y = 1; y < h - 1; ++y) {
        const std::uint8_t* row = band + static_cast<std::ptrdiff_t>(y) * stride;
        for (int x = 1; x < w - 1; ++x) {
            if (row[x] >= darkLimit || !NoWhiteAboveOrBelow(row + x, stride) ||
                CompassResponse(row + x, stride) <= threshold) {
                continue;
            }
            if (wide) {
                ++projection[2 * y + (x >= w / 2 ? 1 : 0)];
                covered[x] = true;
            } else {
                ++projection[2 * x + (y >= h / 2 ? 1 : 0)];
                covered[y] = true;
            }
        }
    }
    const int values = 2 * (wide ? h : w);

    int smallest = 255;
    int largest = 0;
    for (int i = 0; i < values; ++i) {
        smallest = std::min(smallest, projection[i]);
        largest = std::max(largest, projection[i]);
    }
    const int midpoint = (smallest + largest) / 2;
    long long highSum = 0, lowSum = 0;
    int highCount = 0, lowCount = 0;
    for (int i = 0; i < values; ++i) {
        if (projection[i] > midpoint) {
            highSum += projection[i];
            ++highCount;
        } else {
            lowSum += projection[i];
            ++lowCount;
        }
    }
    const long long highMean = highCount > 0 ? highSum / highCount : 0;
    const long long lowMean = lowCount > 0 ? lowSum / lowCount : 0;

    const int coverage = static_cast<int>(std::count(covered, covered + length, true));
    return coverage > length * coveragePercent / 100 && lowMean * threshold < highMean;
}

std::int32_t CEdgeDetector::Detect(const std::uint8_t* frame, std::int32_t width,
                                   std::int32_t height, CheckRect* bands, std::int32_t* found,
                                   std::int32_t period) {
    if (found != nullptr) {
        *found = 0;
    }
    // A frame the bands do not fit in is refused rather than read past.
    if (frame == nullptr || bands == nullptr || width < kEdgeFrameWidth ||
        height < kEdgeMinFrameHeight) {
        if (bands != nullptr) {
            *bands = CheckRect{0, 0, 0, 0};
        }
        return 0;
    }

    // Periods of 1 or less process every call.
    if (period > 1 && m_frameCounter != 0) {
        if (++m_frameCounter >= period) {
            m_frameCounter = 0;
        }
        return 0;
    }

    *bands = CheckRect{0, 0, 0, 0};
    m_params = EdgeParams{period, kEdgeCoveragePercent, kEdgeThreshold, width};

    std::int32_t* const flags[4] = {&bands->top, &bands->right, &bands->bottom, &bands->left};
    int withEdge = 0;
    for (int i = 0; i < 4; ++i) {
        const CheckRect& r = kEdgeBands[i];
        const std::uint8_t* start =
            frame + static_cast<std::ptrdiff_t>(r.top) * m_params.rowStride + r.left;
        if (BandHoldsEdge(start, m_params.rowStride, r.right - r.left, r.bottom - r.top,
                          m_params.coveragePercent, m_params.edgeThreshold)) {
            *flags[i] = 1;
            ++withEdge;
        }
    }

    const int needed = period == 10 ? kFoundBandsPeriod10 : kFoundBandsOther;
    if (withEdge > needed) {
        m_frameCounter = 0;
        if (found != nullptr) {
            *found = 1;
        }
    } else {
        m_frameCounter = period > 1 ? 1 : 0;
    }
    return 0;
}

}  // namespace ocrchecks
