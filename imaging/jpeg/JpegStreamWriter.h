// Marker segments of the encoder's stream (T.81 Annex B), written through
// the encoder's bit writer.
#pragma once

#include "jpeg/JpegEncoderState.h"

void WriteJfifApp0(JpegBitWriter& w);
void WriteAdobeApp14(JpegBitWriter& w);
// Derives the encoder's quantisation tables (JpegQuantizer.h) and writes them.
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
