// Forward DCT, quantisers and activity figures of the encoder.
//
// The DCT is separable with an even/odd split of each 8-point transform and
// 13-bit cosine factors; the first pass keeps 3 fraction bits. Integer only,
// so every build gives the same coefficients. Loops run across the 8 lanes
// of a row so that the compiler can vectorise them.
#include "jpeg/JpegEncoderKernels.h"

#include <cstdlib>

namespace {

// round(8192 * c(u)/2 * cos((2x+1) u pi / 16)) for x = 0..3, c(0) = 1/sqrt(2).
constexpr int32_t kCos[8][4] = {
    {2896, 2896, 2896, 2896},   {4017, 3406, 2276, 799},    {3784, 1567, -1567, -3784},
    {3406, -799, -4017, -2276}, {2896, -2896, -2896, 2896}, {2276, -4017, 799, 3406},
    {1567, -3784, 3784, -1567}, {799, -2276, 3406, -4017},
};

// One 8-point DCT for each of 8 lanes: out[u][lane] from in[x][lane].
inline void Dct8Lanes(const int32_t in[8][8], int32_t out[8][8], int shift)
{
    int32_t even[4][8];
    int32_t odd[4][8];
    for (int k = 0; k < 4; ++k) {
        for (int l = 0; l < 8; ++l) {
            even[k][l] = in[k][l] + in[7 - k][l];
            odd[k][l] = in[k][l] - in[7 - k][l];
        }
    }
    const int32_t round = 1 << (shift - 1);
    for (int u = 0; u < 8; ++u) {
        const int32_t(*src)[8] = (u & 1) ? odd : even;
        for (int l = 0; l < 8; ++l) {
            int32_t acc = kCos[u][0] * src[0][l] + kCos[u][1] * src[1][l] + kCos[u][2] * src[2][l] +
                          kCos[u][3] * src[3][l];
            out[u][l] = (acc + round) >> shift;
        }
    }
}

inline void Transpose(const int32_t in[8][8], int32_t out[8][8])
{
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            out[x][y] = in[y][x];
        }
    }
}

}  // namespace

void ForwardDct8x8(int16_t* block)
{
    alignas(32) int32_t rows[8][8];
    alignas(32) int32_t cols[8][8];
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            rows[y][x] = block[y * 8 + x];
        }
    }
    Dct8Lanes(rows, cols, 10);  // vertical: cols[v][x], 3 fraction bits
    Transpose(cols, rows);      // rows[x][v]
    Dct8Lanes(rows, cols, 16);  // horizontal: cols[u][v]
    for (int v = 0; v < 8; ++v) {
        for (int u = 0; u < 8; ++u) {
            block[v * 8 + u] = static_cast<int16_t>(cols[u][v]);
        }
    }
}

int QuantizeBlock(int16_t* block, const JpegQuantTable& table, bool truncate)
{
    block[0] = static_cast<int16_t>(block[0] - 1024);  // level shift of the samples, 128 x 8
    int nonzero = 0;
    for (int i = 0; i < 64; ++i) {
        int32_t c = block[i];
        uint32_t a = static_cast<uint32_t>(c < 0 ? -c : c);
        a = a > 2047 ? 2047 : a;
        uint32_t bias = truncate ? 0 : table.value[i] >> 1;
        // divisor = ceil(2^20 / q) divides exactly for |c| + q/2 below 2^12.
        int32_t q = static_cast<int32_t>(((a + bias) * table.divisor[i]) >> 20);
        block[i] = static_cast<int16_t>(c < 0 ? -q : q);
        nonzero += q != 0;
    }
    return nonzero + (block[0] == 0);
}

int ForwardDctQuantize8x8(int16_t* block, const JpegQuantTable& table)
{
    ForwardDct8x8(block);
    return QuantizeBlock(block, table, false);
}

void BlockActivity(const int16_t* block, int32_t* a, int32_t* b)
{
    int32_t variation = 0;
    int32_t sum = 0;
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            int32_t s = block[y * 8 + x];
            sum += s;
            if (x < 7) {
                variation += std::abs(block[y * 8 + x + 1] - s);
            }
            if (y < 7) {
                variation += std::abs(block[(y + 1) * 8 + x] - s);
            }
        }
    }
    int32_t mean = (sum + 32) >> 6;
    int32_t deviation = 0;
    for (int i = 0; i < 64; ++i) {
        deviation += std::abs(block[i] - mean);
    }
    *a = variation / 8;
    *b = deviation / 8;
}

int ActivityClass(int32_t a, int32_t b)
{
    if (a <= 120) {
        return 0;
    }
    if (a <= 200) {
        if (b <= 200 || b == 400) {
            return 0;
        }
        return b < 400 ? 1 : 2;
    }
    if (b <= 100) {
        return 0;
    }
    return b <= 200 ? 1 : 2;
}
