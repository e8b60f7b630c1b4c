// Quantisation-table derivation of the encoder.
#pragma once

#include "jpeg/JpegEncoderState.h"

// The scale DQT applies to the source tables: (100 - q) x 0.02 from 50 up, 50 / q below.
float JpegQualityScale(int32_t quality);
// Scales a source table (natural order) into quantisers 2 to 255 and their division factors.
void JpegScaleQuantTable(const uint16_t* source, float scale, JpegQuantTable* out);
// The encoder's two tables for its quality (or the rate control's tables, unscaled).
void JpegDeriveQuantTables(JpegEncoderImpl* e);
