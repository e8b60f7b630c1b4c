#include "jpeg/JpegRateControl.h"

#include "jpeg/JpegTables.h"

#include <cmath>
#include <cstdlib>

namespace {

// Target figure per 25344 pixels (a 176 x 144 picture) at which each quality starts.
constexpr int32_t kQualityThreshold[100] = {
    2115,  2230,  2345,  2460,  2575,  2690,  2805,  2920,  3035,  3150,  3265,  3380,  3495,  3610,  3725,
    3840,  3955,  4070,  4185,  4300,  4415,  4530,  4645,  4760,  4875,  4990,  5105,  5220,  5335,  5450,
    5565,  5680,  5795,  5910,  6025,  6140,  6255,  6370,  6485,  6600,  6715,  6830,  6945,  7060,  7175,
    7290,  7405,  7520,  7635,  7750,  7865,  7980,  8095,  8210,  8325,  8440,  8555,  8670,  8785,  8900,
    9015,  9130,  9245,  9360,  9500,  9667,  9841,  10022, 10209, 10405, 10609, 10823, 11049, 11287, 11540,
    11808, 12094, 12399, 12726, 13077, 13454, 13860, 14298, 14770, 15280, 15829, 16423, 17063, 17754, 18500,
    19303, 20168, 21100, 22102, 23750, 25100, 27100, 29550, 33000, 33000,
};

constexpr int32_t kMinArea = 25344;

uint32_t ThumbnailPixels(const JpegEncoderImpl* e)
{
    return e->thumbnailOn ? static_cast<uint32_t>(e->thumbnailWidthRounded * e->thumbnailHeightRounded) : 0;
}

// Bits the rest of the frame needs at the least: every block as DC difference
// 0 and EOB, a flushed byte and a restart marker per row, EOI and the word completion.
int64_t MinimumBitsLeft(const JpegEncoderImpl* e, uint32_t blocksLeft)
{
    int64_t rowsLeft = e->geometry.mcuRows - e->mcuRow;
    return 6 * static_cast<int64_t>(blocksLeft) + 24 * rowsLeft + 8 * 8;
}

}  // namespace

float JpegOwnTableTightness(const JpegEncoderImpl* e)
{
    uint32_t m = 0;
    const uint16_t* tables[2] = {nullptr, nullptr};
    if (e->rate.rateTablesBuilt) {
        tables[0] = e->rate.rateLuma;
        tables[1] = e->rate.rateChroma;
    }
    if (e->useOwnLuma) {
        tables[0] = e->ownLuma;
    }
    if (e->useOwnChroma) {
        tables[1] = e->ownChroma;
    }
    for (int t = 0; t < 2; ++t) {
        if (tables[t] == nullptr) {
            continue;
        }
        const uint16_t* base = t == 0 ? jpeg::kStdLumaQuant : jpeg::kStdChromaQuant;
        for (int i = 0; i < 64; ++i) {
            uint32_t entry = tables[t][i] == 0 ? 1 : tables[t][i];
            uint32_t ratio = (static_cast<uint32_t>(base[i]) * 65536u) / entry;
            m = ratio > m ? ratio : m;
        }
    }
    uint32_t r = (m + 32768) >> 16;
    float g = static_cast<float>(r * 100.0) * 0.008264462f;
    return g > 1.0f ? 1.0f : g;
}

int32_t JpegQualityFromTarget(const JpegEncoderImpl* e, uint32_t target)
{
    uint64_t area = static_cast<uint64_t>(e->paddedWidth) * static_cast<uint64_t>(e->paddedHeight);
    if (area < kMinArea) {
        uint64_t scaled = static_cast<uint64_t>(static_cast<double>(area) * 3.3);
        area = scaled < kMinArea ? scaled : kMinArea;
    }
    const float a = static_cast<float>(area);
    const uint32_t thumb = 3 * ThumbnailPixels(e);
    const float g = JpegOwnTableTightness(e);
    const int32_t f = e->inputFormat;
    if (e->codingMode == 1) {
        // A target that the thumbnail alone uses up gets the lowest quality, not a wrapped-around figure.
        if (target <= thumb) {
            return 1;
        }
        float k = (f == kJpegYuv422 || f == kJpegYuyv) ? 1.32f
                  : f == kJpegYuv444                    ? 1.95f
                  : f == kJpegGrey                      ? 0.93f
                  : f == kJpegInterleaved444            ? 2.9f
                                                        : 1.0f;
        float x = static_cast<float>(target - thumb) * 25344.0f / (a * ((g + 1.3f) * k));
        if (x < static_cast<float>(kQualityThreshold[0])) {
            return 1;
        }
        if (x >= 33000.0f) {
            return 100;
        }
        int32_t q = 0;
        for (int i = 0; i <= 97; ++i) {
            if (static_cast<float>(kQualityThreshold[i]) <= x) {
                q = i;
            }
        }
        return q == 0 ? 1 : q;
    }
    if (e->codingMode == 2) {
        if (target <= thumb + 1000) {
            return 1;
        }
        float k = (f == kJpegYuv422 || f == kJpegYuyv) ? 1.25f
                  : f == kJpegYuv444                    ? 1.8f
                  : f == kJpegGrey                      ? 0.65f
                  : f == kJpegInterleaved444            ? 1.6f
                                                        : 1.0f;
        float x = static_cast<float>(target - thumb - 1000) * 25344.0f / ((g + 1.3f) * k * a);
        int32_t q = static_cast<int32_t>(std::trunc(x - 1000.0f)) / 6;
        return q < 1 ? 1 : (q > 100 ? 100 : q);
    }
    return 1;
}

void JpegBuildRateTables(const uint32_t* sums, float n, float budget, uint64_t area, bool grey, uint16_t* luma,
                         uint16_t* chroma)
{
    const uint8_t* zz = jpeg::kZigzagToNatural;
    float m[64], w[64], d[64];
    float total = 0;
    for (int k = 0; k < 64; ++k) {
        m[k] = static_cast<float>(sums[k]) / n;
        if (m[k] > 0.1f) {
            total += m[k];
        }
    }
    const float m0 = m[0];
    int K = 0;
    float cumulative = 0;
    while (K < 64) {
        cumulative += m[zz[K]];
        if (!(cumulative < 0.8f * total)) {
            break;
        }
        ++K;
    }
    float weightSum = 0;
    for (int k = 0; k < 64; ++k) {
        w[k] = (static_cast<float>(64 - jpeg::kNaturalToZigzag[k]) * 0.0078125f + 1.75f) * m[k];
        weightSum += w[k];
    }
    float slope = area < 409600 ? -0.001f : (area < 774144 ? -0.0012f : -0.0014f);
    if (total - m0 > 0) {
        slope = slope - (static_cast<float>(K) * budget * 16.0f / ((total - m0) * 100000.0f) - 0.0004f);
    }
    slope = slope < -0.008f ? -0.008f : (slope > -0.0008f ? -0.0008f : slope);
    if (total < 120.0f) {
        slope = -0.0009f;
    }
    const float early = static_cast<float>(static_cast<int64_t>(budget) * 11 / 10);
    const float late = static_cast<float>(static_cast<int64_t>(budget) * 9 / 10);
    for (int i = 0; i < 64; ++i) {
        int k = zz[i];
        float b1 = i < K ? early : late;
        d[k] = m[k] > 0.1f && weightSum > 0
                   ? 3.0f * w[k] * b1 / (4.0f * weightSum) + static_cast<float>(121 - jpeg::kStdLumaQuant[k]) * b1 * 0.00006163708f
                   : 0.0f;
    }
    for (int k = K; k < 64; ++k) {
        if (m[k] < 1.0f) {
            w[k] += 1.0f;
        }
    }
    float scale = static_cast<float>(K) * total * 0.00009765625f;
    scale = scale < 0.9f ? 0.9f : (scale > 1.2f ? 1.2f : scale);
    int dcEntry = 0;
    for (int i = 0; i < 64; ++i) {
        int k = zz[i];
        int entry = 64;
        if (m[k] >= 0.1f) {
            float r = 64.0f * d[k] / w[k];
            float q = 255.0f;
            if (r > 0.1f) {
                float t = slope * r;
                float e = 1.0f + t + t * t / 2.0f + t * t * t / 6.0f;
                q = 0.14f / (1.0f - 1.0002f * e);
                if (q < 0) {
                    q = 255.0f;
                }
            }
            double v = static_cast<double>(scale * q) + 0.5;
            entry = v >= 255.0 ? 255 : static_cast<int>(v);
            entry = entry < 2 ? 2 : entry;
            if (i >= 9 && entry < dcEntry) {
                entry = static_cast<int>(1.5 * dcEntry + 0.5);
            }
        }
        if (i == 0) {
            dcEntry = entry;
        }
        luma[k] = static_cast<uint16_t>(entry > 255 ? 255 : entry);
        slope += i > K ? 0.00002f : 0.000005f;
    }
    float dc = budget > 0 ? 614.4f / budget + 0.5f : 255.0f;
    int dcValue = dc >= 255.0f ? 255 : static_cast<int>(dc);
    if (total < 100.0f) {
        dcValue /= 2;
    }
    luma[0] = static_cast<uint16_t>(dcValue < 2 ? 2 : dcValue);
    if (!grey) {
        for (int k = 0; k < 64; ++k) {
            int v = luma[k] + (jpeg::kNaturalToZigzag[k] >> 2) + 3;
            chroma[k] = static_cast<uint16_t>(v > 255 ? 255 : v);
        }
    }
}

void JpegStartRateFrame(JpegEncoderImpl* e)
{
    e->activityClassing = 0;
    const JpegInputLayout* out = JpegInputLayoutFor(e->currentFormat);
    const uint64_t luma = static_cast<uint64_t>(e->paddedWidth) * e->paddedHeight;
    const uint64_t chroma = out->components == 1 ? 0 : 2 * luma / (out->lumaH * out->lumaV);
    e->rate.blockCount = static_cast<uint32_t>((luma + chroma) / 64);
    e->rate.blocksCoded = 0;
    e->rate.bitsSpent = 0;

    const int64_t c = e->paddedWidth / e->geometry.mcuHeight;
    const int64_t h0 = e->geometry.components == 1 ? 304 : 584;
    const int64_t written = static_cast<int64_t>(e->writer->StreamPosition());
    const int64_t left = static_cast<int64_t>(e->rate.targetBytes) - 10 * c - h0 - written - 6;
    // A target that the header already uses up leaves no budget: DC only, then DC 0 and EOB.
    e->rate.bitBudget = left > 0 ? static_cast<uint32_t>(8 * left / e->rate.blockCount) : 0;

    // Activity of the luminance blocks: DCT, DC as a difference, magnitudes above 3 summed per position.
    uint32_t* sums = e->rate.blockStats;
    for (int k = 0; k < 64; ++k) {
        sums[k] = 0;
    }
    int previousDc = 0;
    const bool padY = e->height != e->paddedHeight && !e->thumbnailOn;
    const int32_t rows = padY ? e->geometry.mcuRows - 1 : e->geometry.mcuRows;
    const bool asCoded = e->inputFormat == kJpegInterleaved444 && e->currentFormat == kJpegInterleaved444;
    const int lumaBlocks = asCoded ? 1 : e->geometry.layout->lumaBlocks;
    const int firstBlock = asCoded ? 1 : 0;
    for (int32_t row = 0; row < rows; ++row) {
        for (int32_t col = 0; col < e->geometry.mcuCols; ++col) {
            JpegFormMcu(e, col, row);
            for (int b = firstBlock; b < firstBlock + lumaBlocks; ++b) {
                int16_t* block = e->blocks + 64 * b;
                ForwardDct8x8(block);
                int dc = block[0];
                block[0] = static_cast<int16_t>(dc - previousDc);
                previousDc = dc;
                for (int k = 0; k < 64; ++k) {
                    int v = std::abs(block[k]);
                    if (v > 3) {
                        sums[k] += static_cast<uint32_t>(v);
                    }
                }
            }
        }
    }
    const int32_t f = e->inputFormat;
    float budget = std::trunc(static_cast<float>(e->rate.bitBudget) * ((f == kJpegYuv422 || f == kJpegYuyv) ? 1.2f : 1.1f));
    const uint64_t area = luma;
    JpegBuildRateTables(sums, static_cast<float>(luma / 64), budget, area, e->geometry.components == 1, e->rate.rateLuma,
                        e->rate.rateChroma);
    e->rate.rateTablesBuilt = 1;
}

bool JpegRateCodeMcu(JpegEncoderImpl* e, int blocks)
{
    const uint32_t left = e->rate.blockCount > e->rate.blocksCoded ? e->rate.blockCount - e->rate.blocksCoded : 0;
    const int64_t excess = static_cast<int64_t>(e->rate.bitsSpent) - static_cast<int64_t>(e->rate.bitBudget) * e->rate.blocksCoded;
    int32_t shift = 0;
    if (left > 0 && excess > static_cast<int64_t>(left)) {
        shift = excess < 3 * static_cast<int64_t>(left) ? 1 : static_cast<int16_t>(excess / (3 * static_cast<int64_t>(left)));
        shift = shift < 0 ? 63 : (shift > 63 ? 63 : shift);
    }
    const int64_t bitsLeft =
        (static_cast<int64_t>(e->rate.targetBytes) - static_cast<int64_t>(e->writer->StreamPosition())) * 8;
    const int64_t reserve = MinimumBitsLeft(e, left > static_cast<uint32_t>(blocks) ? left - blocks : 0);
    e->rate.blocksCoded += static_cast<uint32_t>(blocks);
    if (bitsLeft < 1024 + reserve) {
        return false;
    }
    if (bitsLeft < 8 * static_cast<int64_t>(left) + reserve) {
        shift = 63;
    }
    e->rate.truncation = shift;
    return true;
}
