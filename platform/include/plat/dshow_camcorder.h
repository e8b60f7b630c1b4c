// The camcorder's filters: the Smart Tee, the DMO wrapper with its video and
// audio encoders, the microphone and the multiplexer that writes 3GPP files.
//
// Smart Tee: input "Smart Tee Input pin", outputs "Smart Tee Capture pin"
// (capture category) and "Smart Tee Preview pin" (preview category). Each
// sample goes to the capture pin first; the preview pin drops samples while
// its downstream is still busy with an earlier one.
//
// DMO wrapper: pins appear with Init ("in0", "out0"). The video encoder takes
// YV12 and gives MPEG-4 Part 2; the audio encoder takes 16-bit PCM and gives
// AAC (Debian's FFmpeg has no AMR-NB encoder). Others: REGDB_E_CLASSNOTREG.
// Property bag: "BitRate" (VT_UI4) the encoder's bit rate, "VOPRate" frames
// per second, "SetMuteSamples" (VT_BOOL) zeroes the sound; other names are
// kept and read back. Unset: 384,000 bit/s and 15 frames per second for
// video, 12,200 bit/s for sound. An end of stream drains the encoder; a
// later sample starts it again.
//
// Microphone (CLSID_AudioRecord, Load(NULL)): one capture output of 8 kHz
// 16-bit mono PCM in 20 ms buffers on the platform clock. HKLM
// "Platform\Microphone" "Source": "silence" (default), "tone" (440 Hz) or
// "wave" with "Path" = a device WAV file (16-bit PCM) heard in a loop; an
// unreadable file gives silence and a log line.
//
// Multiplexer: inputs "Video In" and "Audio In", IFileSinkFilter. The file is
// opened at the first sample and written as a fragmented 3GPP file through
// the platform's file calls, so every fragment written stays readable. Time
// stamps are the samples' stream times with paused spans left out. When
// every connected input has had its end of stream the pending fragment is
// written, so the file is complete; a later sample appends to the same file.
// A new name, Stop, removal or destruction closes it. IMuxLimit::SetLimit
// (mode 0: size in KB, 1: time in seconds; 0 = none) raises
// kMuxEventLimitReached once when reached, and a size-limited file never
// exceeds its limit. A write failure (full disk, I/O error, or
// plat::FailMuxWritesAfter) raises kMuxEventWriteError and stops writing;
// what was written stays readable.
#pragma once

#include "plat/dshow.h"
#include "plat/sound.h"  // WAVEFORMATEX

inline constexpr long kMuxEventLimitReached = 0x101;
inline constexpr long kMuxEventBufferFull = 0x103;
inline constexpr long kMuxEventWriteError = 0x104;


struct IDMOWrapperFilter : IUnknown {
    virtual HRESULT Init(REFCLSID dmo, REFCLSID category) = 0;
};

struct IFileSinkFilter : IUnknown {
    virtual HRESULT SetFileName(LPCOLESTR name, const AM_MEDIA_TYPE* type) = 0;
    // The name in task memory (CoTaskMemFree), null before one is set.
    virtual HRESULT GetCurFile(LPOLESTR* name, AM_MEDIA_TYPE* type) = 0;
};

// The multiplexer's limit.
struct IMuxLimit : IUnknown {
    virtual HRESULT SetLimit(DWORD mode, DWORD value) = 0;
};

inline constexpr GUID MEDIASUBTYPE_PCM{0x00000001, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
// MPEG-4 Part 2 video ("MP4V") and raw AAC frames.
inline constexpr GUID MEDIASUBTYPE_MP4V{0x5634504D, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID MEDIASUBTYPE_RAW_AAC1{
    0x000000FF, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71}};
inline constexpr GUID FORMAT_WaveFormatEx{0x05589F81, 0xC356, 0x11CE, {0xBF, 0x01, 0x00, 0xAA, 0x00, 0x55, 0x59, 0x5A}};

inline constexpr CLSID CLSID_SmartTee{0xCC58E280, 0x8AA1, 0x11D1, {0xB3, 0xF1, 0x00, 0xAA, 0x00, 0x37, 0x61, 0xC5}};
inline constexpr CLSID CLSID_DMOWrapperFilter{
    0x94297043, 0xBD82, 0x4DFD, {0xB0, 0xDE, 0x81, 0x77, 0x73, 0x9C, 0x6D, 0x20}};
inline constexpr GUID DMOCATEGORY_VIDEO_ENCODER{
    0x33D9A760, 0x90C8, 0x11D0, {0xBD, 0x43, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
inline constexpr GUID DMOCATEGORY_AUDIO_ENCODER{
    0x33D9A761, 0x90C8, 0x11D0, {0xBD, 0x43, 0x00, 0xA0, 0xC9, 0x11, 0xCE, 0x86}};
// The encoders the wrapper holds: video (MPEG-4 Part 2) and sound.
inline constexpr CLSID CLSID_VideoEncoderDmo{
    0xBEA5D0CD, 0x3853, 0x493B, {0xBF, 0x2D, 0xD9, 0x2B, 0x74, 0x50, 0xD7, 0x09}};
inline constexpr CLSID CLSID_AudioEncoderDmo{
    0x2F20DDFA, 0x0D19, 0x463A, {0xAB, 0x46, 0xE5, 0xD8, 0xEF, 0x6E, 0xFD, 0x60}};
inline constexpr CLSID CLSID_AudioRecord{0xE30629D2, 0x27E5, 0x11CE, {0x87, 0x5D, 0x00, 0x60, 0x8C, 0xB7, 0x80, 0x66}};
inline constexpr CLSID CLSID_CamcorderMux{0x0AB65D06, 0xC2B5, 0x4735, {0xBD, 0x45, 0xEF, 0x03, 0x36, 0xB5, 0x91, 0x85}};

inline constexpr IID IID_IDMOWrapperFilter{
    0x52D6F586, 0x9F0F, 0x4824, {0x8F, 0xC8, 0xE3, 0x2C, 0xA0, 0x49, 0x30, 0xC2}};
inline constexpr IID IID_IFileSinkFilter{0xA2104830, 0x7C70, 0x11CF, {0x8B, 0xCE, 0x00, 0xAA, 0x00, 0xA3, 0xF1, 0xA6}};
inline constexpr IID IID_IMuxLimit{0x4F65EA1E, 0x6A04, 0x47AE, {0x82, 0x4C, 0x85, 0xB1, 0xA6, 0x3C, 0xD3, 0x35}};

template <>
struct InterfaceId<IDMOWrapperFilter> {
    static constexpr const IID& value = IID_IDMOWrapperFilter;
};
template <>
struct InterfaceId<IFileSinkFilter> {
    static constexpr const IID& value = IID_IFileSinkFilter;
};
template <>
struct InterfaceId<IMuxLimit> {
    static constexpr const IID& value = IID_IMuxLimit;
};

namespace plat {
// Tests: every multiplexer's writes fail once this many more bytes are
// written (-1: never, the default).
void FailMuxWritesAfter(long long bytes);
}  // namespace plat
