// The JPEG encoder's record behind its operation slots, shared by the
// encoder's stages (stream writer, pipeline, thumbnails, rate control).
#pragma once

#include "jpeg/JpegBitWriter.h"
#include "jpeg/JpegEncoder.h"
#include "jpeg/JpegEncoderKernels.h"

#include <cstdint>

struct JpegComponentSpec {
    uint8_t id;
    uint8_t h;
    uint8_t v;
    uint8_t quantTable;
    uint8_t dcTable;
    uint8_t acTable;
};

// The input planes of the frame (or of the current stripe) that the MCU formers read.
struct JpegInputView {
    const uint8_t* plane[3];
    int32_t stride[3];
    int32_t firstMcuRow;  // MCU row of the frame that starts at plane[]
};

// Geometry of the current format: input layout, MCU former and grid, components.
struct JpegGeometryState {
    const JpegInputLayout* layout;
    McuFormer former;
    int32_t components;
    int32_t mcuWidth;
    int32_t mcuHeight;
    int32_t mcuCols;
    int32_t mcuRows;
    JpegComponentSpec component[3];
};

// Entropy coder: the frame's code tables, the DC predictors and the scan's bit buffer.
struct JpegEntropyState {
    const JpegHuffmanCodes* dcCodes[2];
    const JpegHuffmanCodes* acCodes[2];
    int32_t dcPredictor[3];
    ScanBitBuffer* scan;
};

// Rate control: the mode, the target and the figures it reports; in mode 1 the
// tables built from the picture's activity, blocks of the frame, blocks coded,
// bits spent and the truncation of the current MCU.
struct JpegRateState {
    int32_t rateMode;  // 0 quality, 1 target bytes, 2 quality from a target
    uint32_t targetBytes;
    uint32_t bitBudget;
    uint32_t outputSizeFigure;
    uint32_t thumbnailFigure;
    uint32_t* blockStats;
    uint16_t* rateLuma;
    uint16_t* rateChroma;
    int32_t rateTablesBuilt;
    uint32_t blockCount;
    uint32_t blocksCoded;
    uint64_t bitsSpent;
    int32_t truncation;
};

// Thumbnail planes (Y or R or grey, Cb or G, Cr or B) at the rounded thumbnail size.
struct JpegThumbnailState {
    uint8_t* thumbPlane[3];
    int32_t thumbStride[3];
    int32_t thumbRows[3];
    uint32_t* thumbColumnSums;  // one sum per picture column for the box scaler
};

// Progressive coding: quantised coefficients of every block, per component
// in raster order over its padded plane, and the scan position.
struct JpegProgressiveState {
    int16_t* coefficients;
    size_t coefficientOffset[3];
    int32_t componentBlockCols[3];
    int32_t progressiveScan;     // 0 DC, then the AC scans; -1 before the coefficient passes
    int32_t scanOpen;            // DRI and SOS of the current scan are written
    int32_t scanRow;
    int32_t scanCol;
    int32_t restartNumber;
    int32_t eobRun;
};

struct JpegEncoderImpl : JpegEncoder {
    static constexpr int kMaxAllocations = 64;

    // Parameters as read at creation.
    int32_t width;
    int32_t height;
    int32_t paddedWidth;
    int32_t paddedHeight;
    int32_t frameWidth;     // sizes written in SOF
    int32_t frameHeight;
    int32_t inputFormat;
    int32_t currentFormat;  // format the pipeline codes
    int32_t quality;
    int32_t codingMode;
    int32_t headerKind;
    int32_t activityClassing;
    int32_t thumbnailOn;
    int32_t thumbnailKind;
    int32_t thumbnailWidth;
    int32_t thumbnailHeight;
    int32_t thumbnailWidthRounded;
    int32_t thumbnailHeightRounded;
    int32_t outputMode;
    int32_t stripeRows;

    // Per-stage state: each stage's file works on its own record.
    JpegGeometryState geometry;
    JpegEntropyState entropy;
    JpegRateState rate;
    JpegThumbnailState thumb;
    JpegProgressiveState progressive;

    // Quantisation.
    uint16_t* ownLuma;
    uint16_t* ownChroma;
    int32_t useOwnLuma;
    int32_t useOwnChroma;
    JpegQuantTable* quant[2];

    // Frame state.
    int32_t newFrame;
    int32_t mcuRow;   // -1 before the scan header
    int32_t mcuCol;
    int32_t draining; // the frame is coded; spilled bytes remain to be handed out
    int32_t chromaSwap;
    JpegInputView view;
    const ExifInfo* exif;

    int32_t viewInPlace;  // the view reads the caller's input (not the work planes)

    // Work buffers.
    JpegBitWriter* writer;
    int16_t* blocks;     // one MCU of sample blocks
    uint8_t* edge;       // one MCU of input, padded at the picture's right and bottom edges
    uint8_t* workPlanes; // padded planes of a converted frame (thumbnail or progressive)

    void* allocations[kMaxAllocations];
    int32_t allocationCount;
};

// Memory the encoder frees at Release: size bytes, 32-byte aligned; null when
// out of memory (JpegEncoderMemory.cpp).
void* JpegTrackedAlloc(JpegEncoderImpl* e, size_t size);
// Frees every block JpegTrackedAlloc gave.
void JpegFreeTracked(JpegEncoderImpl* e);

// Standard Huffman codes of Annex K (K.3 to K.6).
const JpegHuffmanCodes& JpegStdDcCodes(int table);
const JpegHuffmanCodes& JpegStdAcCodes(int table);

// Component table, MCU geometry and code tables for the current format.
void JpegSetupSampling(JpegEncoderImpl* e);

// Pipeline (JpegEncoderPipeline.cpp).
void JpegSetInputView(JpegEncoderImpl* e, const uint8_t* input);
// Forms the MCU at (col, row) of the view into e->blocks, padding edge MCUs.
void JpegFormMcu(JpegEncoderImpl* e, int col, int row);
// Transforms and quantises one block (with its activity class); returns the quantiser's count.
int JpegTransformBlock(JpegEncoderImpl* e, int16_t* block, int table);
// True when blocks of one table may go two at a time to
// ForwardDctQuantize8x8Pair: AVX2 kernels and no activity classes.
bool JpegPairedTransforms(const JpegEncoderImpl* e);

// Input setup (JpegEncoderInput.cpp).
size_t JpegWorkPlaneBytes(int32_t inputFormat, int32_t paddedWidth, int32_t paddedHeight);
bool JpegNeedsWorkPlanes(const JpegEncoderImpl* e);
// Points the view at the frame, converting it into the work planes when needed.
void JpegPrepareInput(JpegEncoderImpl* e, const uint8_t* input);
// Runs the sequential scan from its saved position: 0 at the end of the frame,
// -6005 / -6010 while it goes on, -1 when the output ran out in output mode 0.
int32_t JpegRunSequential(JpegEncoderImpl* e, bool wholeStream);
