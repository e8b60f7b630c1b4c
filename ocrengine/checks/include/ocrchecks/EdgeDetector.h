// Card edges for the automatic shot: looks for straight dark edges in four
// bands along the borders of a 320 x 240 grey preview frame and tells whether
// enough of them hold one. Processes one frame out of every `period`.
//
// Accepts frames of at least 320 x 221 pixels whose width is their row
// stride; smaller ones (or a null frame) are refused with found 0 and the
// band flags cleared, without counting the call.
#pragma once

#include <cstdint>

#include "ocrchecks/GreyImage.h"

namespace ocrchecks {

// Values of one processed call, kept as the detector's parameter state.
struct EdgeParams {
    std::int32_t period;
    std::int32_t coveragePercent;  // share of a band's length that must hold edge pixels
    std::int32_t edgeThreshold;    // compass response of an edge pixel; also the band test's ratio
    std::int32_t rowStride;
};

inline constexpr std::int32_t kEdgeCoveragePercent = 60;
inline constexpr std::int32_t kEdgeThreshold = 4;
inline constexpr std::int32_t kEdgeFrameWidth = 320;
inline constexpr std::int32_t kEdgeMinFrameHeight = 221;  // the bands reach row 220

// The four bands, in test order top, right, bottom, left (right and bottom excluded).
inline constexpr CheckRect kEdgeBands[4] = {
    {5, 20, 315, 55},
    {290, 30, 315, 210},
    {5, 185, 315, 220},
    {5, 30, 30, 210},
};

class CEdgeDetector {
public:
    // Writes found on every call and the band flags (left, top, right, bottom
    // = 1 when that band holds an edge) on a processed call. Returns 0.
    std::int32_t Detect(const std::uint8_t* frame, std::int32_t width, std::int32_t height,
                        CheckRect* bands, std::int32_t* found, std::int32_t period);

    const EdgeParams& Params() const { return m_params; }

private:
    std::int32_t m_frameCounter = 0;
    EdgeParams m_params{};
};

// The band test on a band of w x h pixels at `band` with row stride `stride`.
bool BandHoldsEdge(const std::uint8_t* band, std::int32_t stride, std::int32_t w, std::int32_t h,
                   std::int32_t coveragePercent, std::int32_t threshold);

}  // namespace ocrchecks
