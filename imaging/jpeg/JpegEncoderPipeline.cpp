// Sequential pipeline of the encoder: input planes, edge MCUs, the MCU coder
// and the scan driver shared by all output modes.
//
// The driver keeps its position (MCU row and column, DC predictors, pending
// scan bits) in the encoder, so a call can end after any MCU when the output
// chunk is full and the next call goes on from there.
#include "CpuFeatures.h"
#include "jpeg/JpegEncoderState.h"
#include "jpeg/JpegRateControl.h"
#include "jpeg/JpegStreamWriter.h"
#include "jpeg/JpegTables.h"

#include <cstring>
#include <utility>

namespace {

int32_t PlaneStride(const JpegInputPlane& p, int32_t width)
{
    return width / p.xDiv * p.unitBytes;
}

// Copies the part of the MCU that lies inside the picture into the edge
// buffer and repeats its last column and row to the MCU's full size.
void GatherEdgeMcu(const JpegEncoderImpl* e, const McuSource& at, int validWidth, int validHeight,
                   McuSource* edge)
{
    const JpegInputLayout& l = *e->geometry.layout;
    uint8_t* out = e->edge;
    for (int p = 0; p < l.planes; ++p) {
        const JpegInputPlane& pl = l.plane[p];
        int unitsPerRow = e->geometry.mcuWidth / pl.xDiv;
        int rows = e->geometry.mcuHeight / pl.yDiv;
        int validUnits = (validWidth + pl.xDiv - 1) / pl.xDiv;
        int validRows = (validHeight + pl.yDiv - 1) / pl.yDiv;
        int rowBytes = unitsPerRow * pl.unitBytes;
        for (int r = 0; r < rows; ++r) {
            const uint8_t* src = at.plane[p] + (r < validRows ? r : validRows - 1) * at.stride[p];
            uint8_t* dst = out + r * rowBytes;
            std::memcpy(dst, src, validUnits * pl.unitBytes);
            const uint8_t* last = src + (validUnits - 1) * pl.unitBytes;
            for (int u = validUnits; u < unitsPerRow; ++u) {
                std::memcpy(dst + u * pl.unitBytes, last, pl.unitBytes);
            }
        }
        edge->plane[p] = out;
        edge->stride[p] = rowBytes;
        out += rows * rowBytes;
    }
}

// An MCU reads 16 to 32 rows at once, more streams than the hardware
// prefetcher follows: ask for each row two cache lines ahead.
void PrefetchAhead(const JpegInputLayout& l, int mcuHeight, const McuSource& at)
{
    for (int p = 0; p < l.planes; ++p) {
        int rows = mcuHeight / l.plane[p].yDiv;
        for (int r = 0; r < rows; ++r) {
            __builtin_prefetch(at.plane[p] + r * at.stride[p] + 128);
        }
    }
}

}  // namespace

void JpegFormMcu(JpegEncoderImpl* e, int col, int row)
{
    const JpegInputLayout& l = *e->geometry.layout;
    McuSource at;
    int localRow = row - e->view.firstMcuRow;
    for (int p = 0; p < 3; ++p) {
        if (p < l.planes) {
            const JpegInputPlane& pl = l.plane[p];
            at.plane[p] = e->view.plane[p] + static_cast<size_t>(localRow) * (e->geometry.mcuHeight / pl.yDiv) * e->view.stride[p] +
                          static_cast<size_t>(col) * (e->geometry.mcuWidth / pl.xDiv) * pl.unitBytes;
            at.stride[p] = e->view.stride[p];
        } else {
            at.plane[p] = nullptr;
            at.stride[p] = 0;
        }
    }
    int validWidth = e->width - col * e->geometry.mcuWidth;
    int validHeight = e->height - row * e->geometry.mcuHeight;
    if (validWidth >= e->geometry.mcuWidth && validHeight >= e->geometry.mcuHeight) {
        PrefetchAhead(l, e->geometry.mcuHeight, at);
        e->geometry.former(at, e->blocks);
        return;
    }
    McuSource edge;
    GatherEdgeMcu(e, at, validWidth < e->geometry.mcuWidth ? validWidth : e->geometry.mcuWidth,
                  validHeight < e->geometry.mcuHeight ? validHeight : e->geometry.mcuHeight, &edge);
    e->geometry.former(edge, e->blocks);
}

bool JpegPairedTransforms(const JpegEncoderImpl* e)
{
    static const bool avx2 = imaging::KernelsAtLeast(imaging::KernelSet::kAvx2);
    return avx2 && !e->activityClassing;
}

int JpegTransformBlock(JpegEncoderImpl* e, int16_t* block, int table)
{
    int activity = 0;
    if (e->activityClassing) {
        int32_t a, b;
        BlockActivity(block, &a, &b);
        activity = ActivityClass(a, b);
    }
    if (activity == 0) {
        return ForwardDctQuantize8x8(block, *e->quant[table]);
    }
    ForwardDct8x8(block);
    return QuantizeBlock(block, *e->quant[table], activity == 2);
}

namespace {

void CodeMcu(JpegEncoderImpl* e)
{
    int lumaBlocks = e->geometry.layout->lumaBlocks;
    int total = lumaBlocks + (e->geometry.components == 3 ? 2 : 0);
    const bool rate = e->rate.rateMode == 1;
    const uint64_t start = e->writer->StreamPosition();
    // Past the budget an MCU keeps the stream valid at the least cost: DC difference 0 and EOB.
    const bool coded = !rate || JpegRateCodeMcu(e, total);
    const int shift = rate ? e->rate.truncation : 0;
    // With AVX2 and no activity classes, blocks of one table are transformed
    // two at a time before any is coded.
    int counts[kMaxBlocksPerMcu];
    const bool paired = coded && JpegPairedTransforms(e);
    if (paired) {
        for (int b = 0; b < total;) {
            const int table = b < lumaBlocks ? 0 : 1;
            int16_t* block = e->blocks + 64 * b;
            if (b + 1 < total && (b + 1 < lumaBlocks ? 0 : 1) == table) {
                ForwardDctQuantize8x8Pair(block, block + 64, *e->quant[table], &counts[b], &counts[b + 1]);
                b += 2;
            } else {
                counts[b++] = ForwardDctQuantize8x8(block, *e->quant[table]);
            }
        }
    }
    for (int b = 0; b < total; ++b) {
        int comp = b < lumaBlocks ? 0 : b - lumaBlocks + 1;
        int table = comp == 0 ? 0 : 1;
        int16_t* block = e->blocks + 64 * b;
        int count = 0;
        if (coded) {
            count = paired ? counts[b] : JpegTransformBlock(e, block, table);
            int dc = block[0];
            block[0] = static_cast<int16_t>(dc - e->entropy.dcPredictor[comp]);
            e->entropy.dcPredictor[comp] = dc;
            if (shift > 0) {
                count -= shift;
                block[63] = 0;
            }
        } else {
            block[0] = 0;
        }
        ScanBitBuffer& scan = *e->entropy.scan;
        JpegBitWriter& w = *e->writer;
        if (w.pendingBits == 0 && w.Free() >= ScanBitBuffer::kCapacity) {
            // Room for any block: its bytes go straight into the output, as
            // AppendBytes would have copied them there.
            uint8_t* at = w.buffer + w.position;
            w.position += static_cast<uint32_t>(EncodeBlockSequentialTo(block, *e->entropy.dcCodes[table],
                                                                         *e->entropy.acCodes[table], scan.accumulator,
                                                                         scan.bits, at, count) -
                                                 at);
            continue;
        }
        EncodeBlockSequential(block, *e->entropy.dcCodes[table], *e->entropy.acCodes[table], scan, count);
        w.AppendBytes(scan.bytes, scan.count);
    }
    if (rate) {
        e->rate.bitsSpent += 8 * (e->writer->StreamPosition() - start);
    }
}

void ResetPredictors(JpegEncoderImpl* e)
{
    e->entropy.dcPredictor[0] = e->entropy.dcPredictor[1] = e->entropy.dcPredictor[2] = 0;
}

}  // namespace

void JpegSetInputView(JpegEncoderImpl* e, const uint8_t* input)
{
    const JpegInputLayout& l = *e->geometry.layout;
    int32_t rows = e->height;
    e->view.firstMcuRow = 0;
    if (e->outputMode == 2) {
        // Each call brings one stripe, laid out as its own planes of a full stripe.
        int32_t stripe = e->mcuRow < 0 ? 0 : e->mcuRow / e->stripeRows;
        e->view.firstMcuRow = stripe * e->stripeRows;
        rows = e->stripeRows * e->geometry.mcuHeight;
    }
    const uint8_t* p = input;
    for (int i = 0; i < 3; ++i) {
        if (i < l.planes) {
            e->view.plane[i] = p;
            e->view.stride[i] = PlaneStride(l.plane[i], e->width);
            p += static_cast<size_t>(e->view.stride[i]) * (rows / l.plane[i].yDiv);
        } else {
            e->view.plane[i] = nullptr;
            e->view.stride[i] = 0;
        }
    }
    if (e->chromaSwap && e->inputFormat >= kJpegYuv420 && e->inputFormat <= kJpegYuv444) {
        std::swap(e->view.plane[1], e->view.plane[2]);
        std::swap(e->view.stride[1], e->view.stride[2]);
    }
}

int32_t JpegRunSequential(JpegEncoderImpl* e, bool wholeStream)
{
    JpegBitWriter& w = *e->writer;
    if (e->mcuRow < 0) {
        WriteDqt(e);
        WriteSof(e);
        WriteDri(w, static_cast<uint16_t>(e->geometry.mcuCols));
        WriteDhtStandard(e);
        WriteSosSequential(e);
        ResetPredictors(e);
        e->entropy.scan->Clear();
        e->mcuRow = 0;
        e->mcuCol = 0;
    }
    for (;;) {
        if (!wholeStream && w.spillCount != 0) {
            return kJpegMoreOutput;  // hand out the full chunk before coding more
        }
        if (e->mcuCol < e->geometry.mcuCols) {
            JpegFormMcu(e, e->mcuCol, e->mcuRow);
            CodeMcu(e);
            ++e->mcuCol;
            if (w.lost) {
                return kJpegFailed;
            }
            if (w.Overflowed()) {
                return wholeStream ? kJpegFailed : kJpegMoreOutput;
            }
            continue;
        }
        if (e->mcuRow + 1 < e->geometry.mcuRows) {
            FlushScanAndPutMarker(e, static_cast<uint8_t>(jpeg::kRst0 + e->mcuRow % 8));
            ResetPredictors(e);
            ++e->mcuRow;
            e->mcuCol = 0;
            if (e->outputMode == 2 && !wholeStream && e->mcuRow % e->stripeRows == 0) {
                return kJpegNextStripe;
            }
            continue;
        }
        FlushScanAndPutMarker(e, jpeg::kEoi);
        CompleteLastWord(w);
        e->mcuRow = -1;
        e->mcuCol = 0;
        if (w.lost) {
            return kJpegFailed;
        }
        if (w.Overflowed()) {
            return wholeStream ? kJpegFailed : kJpegMoreOutput;
        }
        return kJpegOk;
    }
}
