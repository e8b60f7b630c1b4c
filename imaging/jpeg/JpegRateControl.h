// Rate control of the encoder: a quality from a target size (SetConfig 2),
// and for a target size itself (rate mode 1) quantisation tables built from
// the picture's block activity, a bit budget per block and truncation of the
// high-frequency tail of blocks when the stream runs over it.
#pragma once

#include "jpeg/JpegEncoderState.h"

// Quality 1 to 100 for a target size in bytes.
int32_t JpegQualityFromTarget(const JpegEncoderImpl* e, uint32_t target);
// How fine the encoder's own tables are against Annex K: 0 to 1.
float JpegOwnTableTightness(const JpegEncoderImpl* e);
// Start of a sequential frame in rate mode 1, after the header: budget and tables.
void JpegStartRateFrame(JpegEncoderImpl* e);
// Per MCU in rate mode 1: sets e->rate.truncation (0 to 63) or returns false when
// the MCU is to be coded as DC difference 0 and EOB only.
bool JpegRateCodeMcu(JpegEncoderImpl* e, int blocks);
// Builds the luminance table from the 64 activity sums (natural order).
void JpegBuildRateTables(const uint32_t* sums, float blockCount, float budget, uint64_t area, bool grey,
                         uint16_t* luma, uint16_t* chroma);
