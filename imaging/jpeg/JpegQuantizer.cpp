// The encoder's quantisation tables: the source tables (standard, the
// caller's own, or the rate control's) scaled for the quality, with the
// division factors the quantiser uses.
#include "jpeg/JpegQuantizer.h"

#include "jpeg/JpegTables.h"

float JpegQualityScale(int32_t quality)
{
    if (quality >= 50) {
        return static_cast<float>(100 - quality) * 0.02f;
    }
    return 50.0f / static_cast<float>(quality);
}

void JpegScaleQuantTable(const uint16_t* source, float scale, JpegQuantTable* out)
{
    for (int i = 0; i < 64; ++i) {
        float v = static_cast<float>(source[i]) * scale;
        uint32_t e = static_cast<uint32_t>(static_cast<double>(v) + 0.5) & 0xFFFF;
        e = e <= 2 ? 2 : (e >= 255 ? 255 : e);
        out->value[i] = static_cast<uint16_t>(e);
        out->divisor[i] = ((1u << 20) + e - 1) / e;
        out->half[i] = static_cast<uint16_t>(e / 2);
        // s = floor(log2 e), one less for a power of two, keeps the multiplier
        // below 2^16; its excess over 2^(16 + s) / e is then below
        // e <= 2^(s + 1), so n times it stays below 2^(16 + s) for n < 2^15.
        int s = 31 - __builtin_clz(e);
        s -= (e & (e - 1)) == 0 ? 1 : 0;
        out->multiplier[i] = static_cast<uint16_t>(((1u << (16 + s)) + e - 1) / e);
        out->shiftFactor[i] = static_cast<uint16_t>(1u << (15 - s));
    }
}

void JpegDeriveQuantTables(JpegEncoderImpl* e)
{
    float scale = e->rate.rateMode == 1 ? 1.0f : JpegQualityScale(e->quality);
    const uint16_t* luma = e->rate.rateMode == 1 ? e->rate.rateLuma : (e->useOwnLuma ? e->ownLuma : jpeg::kStdLumaQuant);
    const uint16_t* chroma =
        e->rate.rateMode == 1 ? e->rate.rateChroma : (e->useOwnChroma ? e->ownChroma : jpeg::kStdChromaQuant);
    JpegScaleQuantTable(luma, scale, e->quant[0]);
    JpegScaleQuantTable(chroma, scale, e->quant[1]);
}
