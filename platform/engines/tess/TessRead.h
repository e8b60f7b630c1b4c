// The recogniser side of the adapter: the kept recognisers, progress and
// cancelling, reading a picture's words, and placing them back in the
// picture. Shared by the page and card readings.
#pragma once

#include "TessPicture.h"

#include <tesseract/publictypes.h>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tesseract {
class TessBaseAPI;
class ETEXT_DESC;
}  // namespace tesseract

namespace plat::ocr::tess {

// One recognition at a time over the kept recognisers.
std::mutex& RecognitionMutex();

// A new recogniser for a language set ('+'-joined); null when it cannot load.
std::unique_ptr<tesseract::TessBaseAPI> NewRecognizer(const std::string& languages);

// The kept recognisers of a language set, one per worker; the first is the
// caller's. Call under RecognitionMutex().
std::vector<std::unique_ptr<tesseract::TessBaseAPI>>& RecognizerPool(const std::string& languages);

// The first kept recogniser of a language set, made on first use; null when
// it cannot load. Call under RecognitionMutex().
tesseract::TessBaseAPI* RecognizerFor(const std::string& languages);

struct ProgressState {
    const std::function<bool(int)>* callback = nullptr;
    tesseract::ETEXT_DESC* monitor = nullptr;
    const std::atomic<bool>* stop = nullptr;  // set when another worker was cancelled
    int base = 0;
    int span = 100;
    int last = -1;
    bool cancelled = false;

    bool Report(int percent) {
        if (stop && stop->load(std::memory_order_relaxed)) cancelled = true;
        if (cancelled) return false;
        if (percent > last) {
            last = percent;
            if (callback && *callback && !(*callback)(percent)) cancelled = true;
        }
        return !cancelled;
    }
};

struct RawWord {
    std::string text;
    Box box;  // in the recognised picture
    int confidence;
    bool lineStart;
    bool spaceBefore = true;
};

// Reads the picture; false when cancelled.
bool ReadWords(tesseract::TessBaseAPI& api, const Grey& g, tesseract::PageSegMode mode, ProgressState& progress,
               std::vector<RawWord>& words);

// A word's box in the picture as the adapter read it (after any quarter turn).
struct Placed {
    std::string text;
    int confidence = 0;
    bool spaceBefore = true;
    double x0 = 0, y0 = 0, x1 = 0, y1 = 0;
};

struct PlacedLine {
    std::vector<Placed> words;
    int textHeight = 0;
    bool inverted = false;
    double order = 0;  // where the line starts, across and along the squared text
    double along = 0;
};

// The box of a destination rectangle of a warp, in the source.
Placed PlaceThrough(const Warp& warp, const RawWord& w);

// A placed word's box in the caller's picture: the turn undone, the region's offset added.
Box ToCaller(const Placed& p, int quarters, int pictureW, int pictureH, const Box& area);

// The box of a placed line in the picture it was read from.
Box BoxOf(const PlacedLine& line);

// How much a character tells that a reading is text: a Hangul syllable or a
// Han character is worth two letters (a name of two is a line), a letter or
// digit one, punctuation nothing.
int CharacterWeight(char32_t ch);

// The quarter turns (clockwise) that set the picture upright; `sure` false
// when the detector could not tell.
int DetectQuarterTurns(const Grey& g, bool* sure = nullptr);

// The whole picture turned square and read with the request's layout;
// `darkMarks`, when known, are the picture's (MarksOf).
bool ReadPage(tesseract::TessBaseAPI& api, const Grey& picture, const Request& request, ProgressState& progress,
              Result& result, std::vector<PlacedLine>& lines, const std::vector<Component>* darkMarks = nullptr);

// Every text line of a card found, turned square and read on its own. A line
// that one of `known` holds whole is taken as read already. `marks`, when
// known, are the picture's (PictureMarksOf). `unkept`, when given, receives
// every reading of the lines not read as an address, however unsure.
bool ReadCard(tesseract::TessBaseAPI& api, const Request& request, const Grey& picture, ProgressState& progress,
              Result& result, std::vector<PlacedLine>& lines, const std::vector<Box>& known = {},
              const PictureMarks* marks = nullptr, std::vector<PlacedLine>* unkept = nullptr);

// Weighs the card's longest lines read as they stand against read half
// turned: true when the turned reading is the surer one. False when cancelled.
// `darkMarks` are the picture's (MarksOf).
bool HalfTurnReadsBetter(tesseract::TessBaseAPI& api, const Grey& picture, const std::vector<Component>& darkMarks,
                         ProgressState& progress, bool& better);

// The confidence of a reading, each word weighed by its characters; 0 when
// nothing was read.
int ReadingConfidence(const std::vector<PlacedLine>& lines);

// A line read with confidence, and no texture: enough characters, read surely
// enough, or an address whatever its confidence.
bool SureLine(const PlacedLine& line);

}  // namespace plat::ocr::tess
