// One stored picture through the OCR engine, as both recognition runs do it
// (the single-picture screen's and the gallery's): decoded to 1280 x 960
// grey, its text direction checked on the embedded thumbnail, recognised
// as a card (on its middle) or as a page. The runs differ only in where
// they report and keep what comes out; that goes through the hooks.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "LumOCREngine.h"
#include "plat/windows.h"

inline constexpr int kRecognitionWidth = 1280;
inline constexpr int kRecognitionHeight = 960;
inline constexpr int kDirectionWidth = 320;
inline constexpr int kDirectionHeight = 240;
// The card is recognised on its middle: columns 40 to 1239, rows 140 to 819.
inline constexpr int kCardCropLeft = 40;
inline constexpr int kCardCropTop = 140;
inline constexpr int kCardCropWidth = 1200;
inline constexpr int kCardCropHeight = 680;
inline constexpr std::int32_t kEngineWorkBytes = 0x200000;
// "Status" under HKLM "System\State\Phone": a call is up.
inline constexpr DWORD kPhoneCallBit = 0x10000;
// A card with fewer filled categories is not recognised.
inline constexpr int kMinCardCategories = 3;

// The engine's language list (first the mode's code, then the language's
// or nothing, then 0) and the code page of its 8-bit texts.
struct RecognitionLanguage {
    OcrLanguageCode codes[3];
    UINT codePage;
};
// index: the selected language 0 to 7; others give the list without a
// language code and the system's code page.
RecognitionLanguage RecognitionLanguageOf(int index, bool card);

// The engine's data folder: the device's Windows folder with a backslash,
// as 8-bit text.
LPCSTR GetEngineDirectory();

// Copies the card's middle (kCardCrop*) out of a 1280 x 960 grey picture.
void CropCardPicture(const BYTE* picture, BYTE* crop);

// How the runs allocate their buffers: calloc unless a test installs another
// (null: calloc again). Blocks are given back with free.
using RecognitionAlloc = void* (*)(std::size_t count, std::size_t size);
void SetRecognitionAlloc(RecognitionAlloc alloc);
void* RecognitionAllocate(std::size_t count, std::size_t size);

// The engine's document text is untrusted: its length, clamped to the bytes
// the record holds (0 when nothing was read).
int DocumentLength(const OcrTextResult& result);

// Where a run takes part in one picture's recognition.
struct PictureHooks {
    OcrProgressCallback progress = nullptr;
    // Just before the direction check.
    std::function<void()> beforeDirection;
    // The direction found, before the recognition.
    std::function<void(std::int32_t)> direction;
    // Right before and right after the engine's recognition call.
    std::function<void()> aroundEngine;
    // After the engine returned: true when the run was stopped meanwhile.
    std::function<bool()> stopped;
    // Keeps a card's records (changed in place); the categories filled.
    std::function<int(OcrCardField* fields, std::int32_t direction, bool cp1251)> keepCard;
};

enum class PictureOutcome {
    NOT_DECODED,  // no 1280 x 960 picture came out of the file
    NO_MEMORY,    // a buffer could not be had
    STOPPED,      // the run was stopped during the recognition
    READ,         // recognised; the product says how well
};

struct PictureProduct {
    std::int32_t direction = 1;
    WCHAR* text = nullptr;  // a page's text (malloc'd, the caller's); null when empty
    int categories = 0;     // a card's categories that keepCard reported
};

PictureOutcome RecognizePicture(const std::wstring& path, bool card, const RecognitionLanguage& language,
                                const PictureHooks& hooks, PictureProduct* product);
