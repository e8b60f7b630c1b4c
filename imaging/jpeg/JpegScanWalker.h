// The walk over the MCUs of one scan in restart intervals (T.81 F.1.2.3,
// F.2.2.6), shared by the sequential, progressive and lossless scans.
#pragma once

#include <algorithm>
#include <cstdint>

#include "jpeg/JpegDecoderInternal.h"
#include "jpeg/JpegEntropyReader.h"

namespace jpeg {

struct ScanGeometry {
    bool interleaved = false;
    uint32_t mcusWide = 0;
    uint32_t mcusHigh = 0;
    uint32_t mcuCount = 0;

    // unit is 8 for DCT frames, 1 for lossless ones.
    ScanGeometry(const DecoderContext& ctx, const ScanHeader& scan, uint32_t unit = 8) {
        const FrameHeader& f = ctx.frame;
        if (scan.componentCount == 1) {
            const FrameComponent& c = f.components[scan.components[0].frameIndex];
            mcusWide = (c.width + unit - 1) / unit;
            mcusHigh = (c.height + unit - 1) / unit;
        } else {
            interleaved = true;
            mcusWide = (f.width + unit * f.hMax - 1) / (unit * f.hMax);
            mcusHigh = (f.height + unit * f.vMax - 1) / (unit * f.vMax);
        }
        mcuCount = mcusWide * mcusHigh;
    }
};

// Calls decodeInterval(reader, firstMcu, endMcu) for each restart interval
// and leaves ctx.reader at the marker that follows the scan. An interval
// whose decoding fails (returns false) is abandoned; the next one must begin
// with a restart marker, whose number tells which interval it is, so that
// lost intervals are stepped over. Any other marker ends the scan.
template <typename DecodeInterval>
void WalkIntervals(DecoderContext& ctx, const ScanGeometry& geometry, DecodeInterval decodeInterval) {
    JpegByteReader& bytes = ctx.reader;
    if (geometry.mcuCount == 0) {
        FindNextMarker(bytes);
        return;
    }
    const uint32_t interval = ctx.restartInterval ? ctx.restartInterval : geometry.mcuCount;
    const uint32_t count = (geometry.mcuCount - 1) / interval + 1;
    EntropyReader reader(bytes.data, bytes.size, std::min(bytes.pos, bytes.size));
    uint32_t index = 0;
    uint32_t expected = 0;
    for (;;) {
        reader.Restart(std::min(bytes.pos, bytes.size));
        const uint32_t first = index * interval;
        const uint32_t end = std::min(geometry.mcuCount, first + interval);
        decodeInterval(reader, first, end);
        bytes.Seek(reader.Position());
        const uint16_t marker = FindNextMarker(bytes);
        if (index + 1 >= count || marker < 0xFFD0 || marker > 0xFFD7) {
            return;
        }
        const uint32_t number = marker & 7;
        index += 1 + ((number - expected) & 7);
        expected = (number + 1) & 7;
        bytes.Skip(2);
        if (index >= count) {
            FindNextMarker(bytes);
            return;
        }
    }
}

}  // namespace jpeg
