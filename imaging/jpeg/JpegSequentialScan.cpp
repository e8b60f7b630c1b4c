// Sequential Huffman scans (SOF0, SOF1), T.81 F.2: MCUs of one or three
// components, restart intervals, and recovery from damaged intervals.
#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "jpeg/JpegDecoderInternal.h"
#include "jpeg/JpegEntropyReader.h"
#include "jpeg/JpegIdct.h"
#include "jpeg/JpegScanWalker.h"
#include "jpeg/JpegTables.h"

namespace jpeg {

namespace {

inline int16_t Saturate16(int64_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

struct BlockDecoder {
    const HuffmanTable* dc;
    const HuffmanTable* ac;
    const int32_t* quant;  // prescaled, zig-zag order
    uint16_t prediction;   // modulo 2^16, so hostile streams cannot overflow it
    bool dcOnly;           // 1/8 scale: the AC terms are decoded and dropped
};

// One block of F.2.2; -1 on a code the tables do not hold or a value out of range.
// kDcOnly is b.dcOnly, fixed so that the 1/8 loop holds no test of it.
template <bool kDcOnly>
int DecodeBlock(EntropyReader& reader, BlockDecoder& b, int16_t* block, int& lastIndex) {
    // 32 bits cover any code with its value, so each symbol checks the
    // buffer once.
    reader.Need(32);
    int32_t diff;
    const int32_t fastDc = reader.PeekValue(*b.dc);
    if (fastDc != 0 && ((fastDc >> 8) & 0x3F) == 0) {  // run 0, or symbol 0 (no difference)
        reader.Skip(fastDc & 0xFF);
        diff = fastDc >> 16;
    } else {
        const int32_t s = reader.Decode(*b.dc);
        if (s < 0 || s > 11) {
            return -1;
        }
        diff = s ? reader.Extend(reader.Bits(s), s) : 0;
    }
    b.prediction = static_cast<uint16_t>(b.prediction + diff);
    if (!kDcOnly) {
        ClearBlock(block);  // a DC-only block is read at block[0] alone
    }
    block[0] = Saturate16((int64_t{b.quant[0]} * static_cast<int16_t>(b.prediction) + 2048) >> 12);
    // Held in locals: the coefficient stores could otherwise be taken to
    // change them, and they would be read again for every coefficient.
    const HuffmanTable& ac = *b.ac;
    const int32_t* quant = b.quant;
    int last = 0;
    for (int k = 1; k < 64;) {
        reader.Need(32);
        const int32_t fast = reader.PeekValue(ac);
        if (fast != 0) {  // short code with a short value, or end of block: one table look
            reader.Skip(fast & 0xFF);
            k += (fast >> 8) & 0xFF;
            if (k > 63) {
                if (((fast >> 8) & 0xFF) == kEndOfBlockStep) {
                    break;
                }
                return -1;
            }
            if (!kDcOnly) {
                block[kZigzagToNatural[k]] = Saturate16((int64_t{quant[k]} * (fast >> 16) + 2048) >> 12);
                last = k;
            }
            ++k;
            continue;
        }
        const int32_t rs = reader.Decode(ac);
        if (rs < 0) {
            return -1;
        }
        const int run = rs >> 4;
        const int size = rs & 0x0F;
        if (size == 0) {
            if (run == 15) {
                k += 16;
                continue;
            }
            if (run == 0) {
                break;
            }
            return -1;
        }
        k += run;
        if (k > 63) {
            return -1;
        }
        const uint32_t raw = reader.Bits(size);
        if (raw > 2048) {
            return -1;
        }
        if (!kDcOnly) {
            const int32_t value = reader.Extend(raw, size);
            block[kZigzagToNatural[k]] = Saturate16((int64_t{quant[k]} * value + 2048) >> 12);
            last = k;
        }
        ++k;
    }
    lastIndex = last;
    return 0;
}

// Gives the strip output whole planes (zeroed, as the strips are) for a
// scan that cannot go row by row; false when there is no memory for them.
bool UseWholePlanes(DecoderContext& ctx) {
    size_t total = 0;
    for (int i = 0; i < ctx.frame.componentCount; ++i) {
        total += size_t{ctx.planes[i].stride} * ctx.planes[i].rows;
    }
    uint8_t* whole = static_cast<uint8_t*>(std::calloc(total, 1));
    if (whole == nullptr) {
        return false;
    }
    ctx.strips->whole = whole;
    for (int i = 0; i < ctx.frame.componentCount; ++i) {
        ctx.planes[i].base = whole;
        whole += size_t{ctx.planes[i].stride} * ctx.planes[i].rows;
    }
    return true;
}

}  // namespace

void PrescaleQuant(const QuantTable& quant, int32_t out[64]) {
    for (int k = 0; k < 64; ++k) {
        out[k] = int32_t{kIdctScale[k]} * quant.values[k];
    }
}

int32_t DecodeSequentialScan(DecoderContext& ctx, const ScanHeader& scan) {
    BlockDecoder decoders[kMaxComponents];
    int32_t quant[kMaxComponents][64];
    for (int i = 0; i < scan.componentCount; ++i) {
        const ScanComponent& sc = scan.components[i];
        const FrameComponent& fc = ctx.frame.components[sc.frameIndex];
        if (!ctx.dcTables[sc.dcTable].defined || !ctx.acTables[sc.acTable].defined || !ctx.quant[fc.tq].defined) {
            return -1;
        }
        PrescaleQuant(ctx.quant[fc.tq], quant[i]);
        const PlaneTarget& plane = ctx.planes[sc.frameIndex];
        decoders[i] = {&ctx.dcTables[sc.dcTable], &ctx.acTables[sc.acTable], quant[i], 0,
                       plane.scaleX == 8 && plane.scaleY == 8};
    }

    // Where each component's blocks land, worked out once per scan: the
    // MCU's block grid and the block size at the component's scale.
    struct Placement {
        uint32_t blocksWide, blocksHigh, blockW, blockH;
        ReducedTransform reduced;  // blocks with AC coefficients at a reduced scale
        BatchTransform batched;    // the same eight at a time, where there is one
    };
    const ScanGeometry geometry(ctx, scan);
    Placement placement[kMaxComponents];
    for (int i = 0; i < scan.componentCount; ++i) {
        const FrameComponent& fc = ctx.frame.components[scan.components[i].frameIndex];
        const PlaneTarget& plane = ctx.planes[scan.components[i].frameIndex];
        placement[i] = {geometry.interleaved ? fc.h : 1u, geometry.interleaved ? fc.v : 1u,
                        BlockSizeAtScale(plane.scaleX), BlockSizeAtScale(plane.scaleY),
                        ReducedTransformFor(plane.scaleX, plane.scaleY), BatchTransformFor(plane.scaleX, plane.scaleY)};
    }
    // RGB565 output goes strip by strip when the scan carries every
    // component in MCUs of the strip's height.
    StripOutput* strips = ctx.strips != nullptr && ctx.strips->whole == nullptr ? ctx.strips : nullptr;
    if (strips != nullptr) {
        bool fits = scan.componentCount == ctx.frame.componentCount;
        for (int i = 0; i < scan.componentCount && fits; ++i) {
            const uint32_t rows = scan.components[i].frameIndex == 0 ? strips->lumaRows : strips->chromaRows;
            fits = placement[i].blocksHigh * placement[i].blockH == rows;
        }
        if (!fits) {
            if (!UseWholePlanes(ctx)) {
                return Refuse(ctx, kJpegRefusalTooLarge);
            }
            strips = nullptr;
        }
    }
    // Blocks held for a batch transform, per component; each decode goes to
    // its batch's free slot.
    BlockBatch batches[kMaxComponents];
    // With AVX2, a full-size block with AC coefficients waits for a second
    // one, and the two go through the transform together; blocks are
    // decoded into the buffer that does not hold the waiting one.
    alignas(16) int16_t blocks[2][64];
    const bool pairs = IdctPairs();
    int free = 0;
    struct Waiting {
        bool held = false;
        int lastIndex = 0;
        uint8_t* out = nullptr;
        uint32_t stride = 0;
    } waiting;
    auto storeWaiting = [&] {
        if (waiting.held) {
            IdctStore(blocks[1 - free], waiting.lastIndex, 1, 1, waiting.out, waiting.stride);
            waiting.held = false;
        }
        for (int i = 0; i < scan.componentCount; ++i) {
            if (batches[i].count != 0) {
                placement[i].batched(batches[i]);
            }
        }
    };

    WalkIntervals(ctx, geometry, [&](EntropyReader& reader, uint32_t first, uint32_t end) {
        for (int i = 0; i < scan.componentCount; ++i) {
            decoders[i].prediction = 0;
        }
        uint32_t mx = first % geometry.mcusWide;
        uint32_t my = first / geometry.mcusWide;
        if (strips != nullptr) {
            strips->Reach(my);
        }
        for (uint32_t m = first; m < end; ++m) {
            for (int i = 0; i < scan.componentCount; ++i) {
                const Placement& p = placement[i];
                const PlaneTarget& plane = ctx.planes[scan.components[i].frameIndex];
                const bool full = pairs && plane.scaleX == 1 && plane.scaleY == 1;
                for (uint32_t by = 0; by < p.blocksHigh; ++by) {
                    for (uint32_t bx = 0; bx < p.blocksWide; ++bx) {
                        int16_t* block = p.batched != nullptr ? batches[i].Next() : blocks[free];
                        int lastIndex = 0;
                        if ((decoders[i].dcOnly ? DecodeBlock<true>(reader, decoders[i], block, lastIndex)
                                                : DecodeBlock<false>(reader, decoders[i], block, lastIndex)) != 0) {
                            storeWaiting();
                            return false;
                        }
                        const uint32_t x = (mx * p.blocksWide + bx) * p.blockW;
                        const uint32_t y = ((strips != nullptr ? 0 : my) * p.blocksHigh + by) * p.blockH;
                        uint8_t* out = plane.base + size_t{y} * plane.stride + x;
                        if (lastIndex != 0 && p.batched != nullptr) {
                            if (batches[i].Hold(lastIndex, out, plane.stride)) {
                                p.batched(batches[i]);
                            }
                        } else if (lastIndex != 0 && p.reduced != nullptr) {
                            p.reduced(block, out, plane.stride, lastIndex);
                        } else if (!full || lastIndex == 0) {
                            IdctStore(block, lastIndex, plane.scaleX, plane.scaleY, out, plane.stride);
                        } else if (waiting.held) {
                            IdctFullPairAvx2(blocks[1 - free], waiting.out, waiting.stride, block, out, plane.stride);
                            waiting.held = false;
                        } else {
                            waiting = {true, lastIndex, out, plane.stride};
                            free = 1 - free;
                        }
                    }
                }
            }
            if (reader.Overrun()) {
                storeWaiting();
                return false;  // the data ended inside this interval
            }
            if (++mx == geometry.mcusWide) {
                mx = 0;
                ++my;
                if (strips != nullptr && m + 1 < end) {
                    storeWaiting();
                    strips->Reach(my);
                }
            }
        }
        storeWaiting();
        return true;
    });
    return 0;
}

}  // namespace jpeg
