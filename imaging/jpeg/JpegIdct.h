// Inverse DCT of one dequantised block and its store into a plane, at full
// size (8 x 8) or reduced by 2, 4 or 8 in each direction.
//
// Blocks hold 64 signed 16-bit values in natural order, prescaled by the
// scale table (dequantisation folds the prescale of the fast transform in),
// so that a block value is 8 x c(u) x c(v) x the DCT coefficient.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "jpeg/JpegTables.h"

namespace jpeg {

// Zeroes a 16-byte aligned block of 64 coefficients with plain vector
// stores (the string instruction a memset call becomes costs more here).
inline void ClearBlock(int16_t* block) {
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 8) {
        _mm_store_si128(reinterpret_cast<__m128i*>(block + i), zero);
    }
#else
    std::memset(block, 0, 64 * sizeof(int16_t));
#endif
}

// 32768 x c(u) x c(v), zig-zag order; c(0) = c(4) = 1, c(1) = c(7) =
// sqrt(2) cos(pi/16), c(2) = c(6) = sqrt(2) cos(2 pi/16), c(3) = c(5) =
// sqrt(2) cos(3 pi/16).
extern const uint16_t kIdctScale[64];

// Samples per block row or column at a transform scale of 1, 2, 4 or 8
// (a shift: a division by a variable costs tens of cycles per block).
inline uint32_t BlockSizeAtScale(int scale) { return 8u >> std::countr_zero(static_cast<unsigned>(scale)); }

// Transforms the block and writes 8 / scaleY rows of 8 / scaleX samples at
// out (scales 1, 2, 4 or 8; a subsampled chroma block at a reduced picture
// scale is reduced less than the luma, and not always alike in both
// directions). lastIndex is the zig-zag index of the last coefficient that
// may be non-zero (0: DC only).
void IdctStore(const int16_t* block, int lastIndex, int scaleX, int scaleY, uint8_t* out, uint32_t stride);

// The reduced transform IdctStore takes for blocks with AC coefficients at
// these scales, chosen once per scan instead of once per block; nullptr at
// full size and at 8 x 8, which IdctStore handles itself.
using ReducedTransform = void (*)(const int16_t* block, uint8_t* out, uint32_t stride, int lastIndex);
ReducedTransform ReducedTransformFor(int scaleX, int scaleY);

// Blocks with AC coefficients held for a transform that takes eight at once,
// one block in each lane of a vector, so that every lane adds the scalar
// products in the scalar order and the samples stay those of one at a time.
struct BlockBatch {
    static constexpr int kSize = 8;
    alignas(32) int16_t blocks[kSize][64] = {};
    uint8_t* out[kSize] = {};
    uint32_t stride[kSize] = {};
    int count = 0;
    int rows = 0;  // coefficient rows and columns the held blocks may use
    int columns = 0;

    // Where the next block is decoded.
    int16_t* Next() { return blocks[count]; }
    // Holds the block decoded at Next(); true when the batch is full.
    bool Hold(int lastIndex, uint8_t* to, uint32_t toStride) {
        out[count] = to;
        stride[count] = toStride;
        rows = std::max<int>(rows, kBlockExtents.rows[lastIndex]);
        columns = std::max<int>(columns, kBlockExtents.columns[lastIndex]);
        return ++count == kSize;
    }
    void Clear() { count = rows = columns = 0; }
};
// Transforms and stores the held blocks (one to kSize) and empties the batch.
using BatchTransform = void (*)(BlockBatch& batch);
// The batch transform for blocks with AC coefficients at these scales, when
// the process's kernel set has one; nullptr otherwise.
BatchTransform BatchTransformFor(int scaleX, int scaleY);

// The transforms one by one (also used by tests). IdctFull is the 32-bit
// transform, the accuracy yardstick; IdctFullSse2 the 16-bit vector kernel
// and IdctFull16 the same arithmetic value by value, which IdctStore takes
// when the vector kernels are off, so that every kernel set decodes alike.
void IdctFull(const int16_t* block, uint8_t* out, uint32_t stride);
void IdctFullSse2(const int16_t* block, uint8_t* out, uint32_t stride);
void IdctFull16(const int16_t* block, uint8_t* out, uint32_t stride);
// IdctFullSse2 of two blocks at once, each to its own place; only when the
// process's kernel set is AVX2 (IdctPairs).
void IdctFullPairAvx2(const int16_t* a, uint8_t* outA, uint32_t strideA, const int16_t* b, uint8_t* outB,
                      uint32_t strideB);
// True when full-size blocks with AC coefficients may go two at a time to
// IdctFullPairAvx2: the samples are those IdctStore gives one at a time.
bool IdctPairs();
// The same for a block whose coefficients all lie in its top-left 4 x 4
// (last zig-zag index up to kQuarterLastIndex); same results, less work.
inline constexpr int kQuarterLastIndex = 9;
void IdctQuarterSse2(const int16_t* block, uint8_t* out, uint32_t stride);
// nx x ny samples (1, 2, 4 or 8 each), the box filter of the full-size
// block; vector false keeps to the scalar reference. lastIndex as for
// IdctStore.
void IdctReducedBlock(const int16_t* block, int nx, int ny, uint8_t* out, uint32_t stride, bool vector = true,
                      int lastIndex = 63);

}  // namespace jpeg
