// Marker segments of the encoder's stream (T.81 Annex B), written through
// the encoder's bit writer.
#pragma once

#include "jpeg/JpegEncoderState.h"

// The scale DQT applies to the source tables: (100 - q) x 0.02 from 50 up, 50 / q below.
float JpegQualityScale(int32_t quality);
// Scales a source table (natural order) into quantisers 2 to 255 and their division factors.
void JpegScaleQuantTable(const uint16_t* source, float scale, JpegQuantTable* out);

void WriteJfifApp0(JpegBitWriter& w);
void WriteAdobeApp14(JpegBitWriter& w);
// Computes the encoder's quantisation tables for its quality and writes them.
void WriteDqt(JpegEncoderImpl* e);
void WriteSof(JpegEncoderImpl* e);
void WriteDhtStandard(JpegEncoderImpl* e);
void WriteSosSequential(JpegEncoderImpl* e);
// SOS of a progressive scan: all components (component -1) or one, positions ss to se.
void WriteSosProgressive(JpegEncoderImpl* e, int component, int ss, int se);
void WriteDri(JpegBitWriter& w, uint16_t interval);
// Pads the scan's pending bits with 1 bits, stuffs, and puts the marker (RSTn or EOI).
void FlushScanAndPutMarker(JpegEncoderImpl* e, uint8_t marker);
// Zero bytes after EOI up to the next 4-byte boundary of the stream (1 to 4).
void CompleteLastWord(JpegBitWriter& w);

// Bytes of the segments from DQT to SOS of a sequential frame.
uint32_t JpegSequentialHeaderBytes(int components);
