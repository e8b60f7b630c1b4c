// Progressive scans of the encoder (spectral selection only).
#pragma once

#include "jpeg/JpegEncoderState.h"
#include "jpeg/JpegTables.h"

// The longest end-of-band run one EOB14 symbol carries.
inline constexpr int32_t kMaxEobRun = 32767;

// The progressive AC table t (0 luminance, 1 chrominance) as DHT carries it, and its codes.
const jpeg::HuffmanSpec& JpegProgressiveAcSpec(int table);
const JpegHuffmanCodes& JpegProgressiveAcCodes(int table);

void WriteDhtProgressive(JpegEncoderImpl* e);

// Codes positions ss to se of one block; an all-zero band extends eobRun,
// which is written before the next non-zero coefficient.
void EncodeBlockProgressiveAc(const int16_t* block, int ss, int se, int32_t& eobRun, ScanBitBuffer& s,
                              const JpegHuffmanCodes& ac);
// EOBn for a run of end-of-band blocks: the code, then the run's n low bits.
void PutEndOfBandRun(ScanBitBuffer& s, const JpegHuffmanCodes& ac, int32_t run);

// Runs the progressive frame from its saved scan position: 0 after EOI,
// -6005 when the chunk is full, -1 when output ran out in output mode 0.
int32_t JpegRunProgressive(JpegEncoderImpl* e, bool wholeStream);
