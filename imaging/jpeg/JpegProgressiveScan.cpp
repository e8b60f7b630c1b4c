// Progressive Huffman scans (SOF2), T.81 G.1.2: DC first and refinement, AC
// first and refinement with end-of-band runs, into per-block coefficient
// stores; the frame is transformed once all its scans are read.
#include <bit>
#include <cstring>

#include "jpeg/JpegDecoderInternal.h"
#include "jpeg/JpegEntropyReader.h"
#include "jpeg/JpegIdct.h"
#include "jpeg/JpegScanWalker.h"
#include "jpeg/JpegTables.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace jpeg {

namespace {

inline int16_t Saturate16(int32_t v) {
    return static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
}

// Bit k set when coefficient k is not 0, so that the final pass visits only
// those (most of a block's 64 are 0).
inline uint64_t NonZeroMask(const int16_t* coef) {
    uint64_t mask = 0;
#if defined(__SSE2__)
    const __m128i zero = _mm_setzero_si128();
    for (int i = 0; i < 64; i += 16) {
        const __m128i a = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + i)), zero);
        const __m128i b = _mm_cmpeq_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(coef + i + 8)), zero);
        mask |= uint64_t{~static_cast<uint32_t>(_mm_movemask_epi8(_mm_packs_epi16(a, b))) & 0xFFFFu} << i;
    }
#else
    for (int k = 0; k < 64; ++k) {
        mask |= uint64_t{coef[k] != 0} << k;
    }
#endif
    return mask;
}

struct ProgressiveState {
    const ScanHeader* scan;
    const HuffmanTable* dc[kMaxComponents];
    const HuffmanTable* ac;
    uint16_t prediction[kMaxComponents];
    uint32_t eobRun;
};

int DcFirst(EntropyReader& reader, ProgressiveState& st, int i, int16_t* coef) {
    const int32_t s = reader.Decode(*st.dc[i]);
    if (s < 0 || s > 11) {
        return -1;
    }
    const int32_t diff = s ? reader.Extend(reader.Bits(s), s) : 0;
    st.prediction[i] = static_cast<uint16_t>(st.prediction[i] + diff);
    coef[0] = static_cast<int16_t>(static_cast<uint16_t>(st.prediction[i] << st.scan->al));
    return 0;
}

int DcRefine(EntropyReader& reader, ProgressiveState& st, int16_t* coef) {
    if (reader.Bit()) {
        coef[0] = static_cast<int16_t>(static_cast<uint16_t>(coef[0]) | (1u << st.scan->al));
    }
    return 0;
}

int AcFirst(EntropyReader& reader, ProgressiveState& st, int16_t* coef) {
    if (st.eobRun > 0) {
        --st.eobRun;
        return 0;
    }
    const int se = st.scan->se;
    const int al = st.scan->al;
    for (int k = st.scan->ss; k <= se; ++k) {
        reader.Need(32);
        const int32_t fast = reader.PeekValue(*st.ac);
        if (fast != 0) {  // short code with a short value, or end of band of this block: one table look
            reader.Skip(fast & 0xFF);
            const int step = (fast >> 8) & 0xFF;
            if (step == kEndOfBlockStep) {
                break;  // st.eobRun stays 0: only this block ends
            }
            k += step;
            if (k > se) {
                return -1;
            }
            coef[k] = Saturate16((fast >> 16) * (1 << al));
            continue;
        }
        const int32_t rs = reader.Decode(*st.ac);
        if (rs < 0) {
            return -1;
        }
        const int run = rs >> 4;
        const int size = rs & 0x0F;
        if (size) {
            k += run;
            if (k > se) {
                return -1;
            }
            const int32_t value = reader.Extend(reader.Bits(size), size);
            coef[k] = Saturate16(value * (1 << al));
        } else if (run < 15) {
            st.eobRun = (1u << run) - 1;
            if (run) {
                st.eobRun += reader.Bits(run);
            }
            break;
        } else {
            k += 15;
        }
    }
    return 0;
}

// Correction bit of a coefficient already non-zero (G.1.2.3).
inline void Refine(EntropyReader& reader, int16_t& c, int32_t p1) {
    if (reader.Bit() && (c & p1) == 0) {
        c = Saturate16(c >= 0 ? c + p1 : c - p1);
    }
}

int AcRefine(EntropyReader& reader, ProgressiveState& st, int16_t* coef) {
    const int se = st.scan->se;
    const int32_t p1 = 1 << st.scan->al;
    int k = st.scan->ss;
    if (st.eobRun == 0) {
        for (; k <= se; ++k) {
            const int32_t rs = reader.Decode(*st.ac);
            if (rs < 0) {
                return -1;
            }
            int run = rs >> 4;
            const int size = rs & 0x0F;
            int32_t value = 0;
            if (size) {
                if (size != 1) {
                    return -1;
                }
                value = reader.Bit() ? p1 : -p1;
            } else if (run != 15) {
                st.eobRun = 1u << run;
                if (run) {
                    st.eobRun += reader.Bits(run);
                }
                break;
            }
            // Step over run zero coefficients, refining the non-zero ones passed.
            for (; k <= se; ++k) {
                if (coef[k] != 0) {
                    Refine(reader, coef[k], p1);
                } else if (--run < 0) {
                    break;
                }
            }
            if (value) {
                if (k > se) {
                    return -1;
                }
                coef[k] = static_cast<int16_t>(value);
            }
        }
    }
    if (st.eobRun > 0) {
        for (; k <= se; ++k) {
            if (coef[k] != 0) {
                Refine(reader, coef[k], p1);
            }
        }
        --st.eobRun;
    }
    return 0;
}

}  // namespace

int32_t DecodeProgressiveScan(DecoderContext& ctx, const ScanHeader& scan) {
    // Parameters as G.1.1.1.1 bounds them.
    const bool dcScan = scan.ss == 0;
    if (scan.ss > scan.se || scan.se > 63 || (dcScan && scan.se != 0) || (!dcScan && scan.componentCount != 1) ||
        scan.al > 13 || scan.ah > 13) {
        return -1;
    }
    ProgressiveState st{};
    st.scan = &scan;
    for (int i = 0; i < scan.componentCount; ++i) {
        const ScanComponent& sc = scan.components[i];
        if (dcScan && scan.ah == 0) {
            if (!ctx.dcTables[sc.dcTable].defined) {
                return -1;
            }
            st.dc[i] = &ctx.dcTables[sc.dcTable];
        }
        if (!dcScan) {
            if (!ctx.acTables[sc.acTable].defined) {
                return -1;
            }
            st.ac = &ctx.acTables[sc.acTable];
        }
    }

    const ScanGeometry geometry(ctx, scan);
    WalkIntervals(ctx, geometry, [&](EntropyReader& reader, uint32_t first, uint32_t end) {
        st.eobRun = 0;
        for (int i = 0; i < kMaxComponents; ++i) {
            st.prediction[i] = 0;
        }
        for (uint32_t m = first; m < end; ++m) {
            const uint32_t mx = m % geometry.mcusWide;
            const uint32_t my = m / geometry.mcusWide;
            for (int i = 0; i < scan.componentCount; ++i) {
                FrameComponent& fc = ctx.frame.components[scan.components[i].frameIndex];
                const int bw = geometry.interleaved ? fc.h : 1;
                const int bh = geometry.interleaved ? fc.v : 1;
                for (int by = 0; by < bh; ++by) {
                    for (int bx = 0; bx < bw; ++bx) {
                        const size_t blockIndex =
                            size_t{my * bh + by} * fc.planeBlocksWide + (mx * bw + bx);
                        int16_t* coef = fc.coefficients + blockIndex * 64;
                        int result;
                        if (dcScan) {
                            result = scan.ah == 0 ? DcFirst(reader, st, i, coef) : DcRefine(reader, st, coef);
                        } else {
                            result = scan.ah == 0 ? AcFirst(reader, st, coef) : AcRefine(reader, st, coef);
                        }
                        if (result != 0) {
                            return false;
                        }
                    }
                }
            }
            if (reader.Overrun()) {
                return false;
            }
        }
        return true;
    });
    return 0;
}

int32_t FinishProgressiveFrame(DecoderContext& ctx) {
    alignas(16) int16_t block[64];
    for (int i = 0; i < ctx.frame.componentCount; ++i) {
        const FrameComponent& fc = ctx.frame.components[i];
        if (!ctx.quant[fc.tq].defined) {
            return -1;
        }
        int32_t quant[64];
        PrescaleQuant(ctx.quant[fc.tq], quant);
        const PlaneTarget& plane = ctx.planes[i];
        const uint32_t blockW = BlockSizeAtScale(plane.scaleX);
        const uint32_t blockH = BlockSizeAtScale(plane.scaleY);
        for (uint32_t by = 0; by < fc.planeBlocksHigh; ++by) {
            for (uint32_t bx = 0; bx < fc.planeBlocksWide; ++bx) {
                const int16_t* coef = fc.coefficients + (size_t{by} * fc.planeBlocksWide + bx) * 64;
                ClearBlock(block);
                uint64_t mask = NonZeroMask(coef);
                const int last = mask ? 63 - std::countl_zero(mask) : 0;
                for (; mask; mask &= mask - 1) {
                    const int k = std::countr_zero(mask);
                    const int64_t v = (int64_t{quant[k]} * coef[k] + 2048) >> 12;
                    block[kZigzagToNatural[k]] = static_cast<int16_t>(v < -32768 ? -32768 : (v > 32767 ? 32767 : v));
                }
                uint8_t* out = plane.base + size_t{by * blockH} * plane.stride + bx * blockW;
                IdctStore(block, last, plane.scaleX, plane.scaleY, out, plane.stride);
            }
        }
    }
    return 0;
}

}  // namespace jpeg
