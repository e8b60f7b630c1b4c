// Picture work of the recogniser adapter that needs no recogniser: turns,
// warps, lighting, dark marks and their components, skew, and the card's
// line geometry (letters chained into lines, strips, masks, quarter turns).
#pragma once

#include "OcrLine.h"
#include "TessAdapter.h"

#include <cstdint>
#include <string_view>
#include <vector>

namespace plat::ocr::tess {

inline constexpr double kPi = 3.14159265358979323846;
inline constexpr double kMaxSkew = 20.0;
inline constexpr double kMinSkewToTurn = 0.3;        // below this the picture is read as it is
inline constexpr double kTargetLetterHeight = 22.0;  // component height the recogniser reads best
inline constexpr double kMaxEnlargement = 3.0;
inline constexpr double kMaxLineEnlargement = 5.0;  // a card line of 5-8 px letters still reaches 30-40 px
inline constexpr int kMinWordConfidence = 10;
inline constexpr int kMinInvertedConfidence = 55;
inline constexpr int kMinCardWordConfidence = 20;
inline constexpr int kMinCardLineConfidence = 45;
inline constexpr int kSureLineConfidence = 90;         // a card line read this surely is not read again
inline constexpr int kMinLoneReadingConfidence = 60;   // a reading no other one agrees with
inline constexpr int kReadingsWithoutTextToGiveUp = 2; // texture, not a line
inline constexpr std::size_t kMinMarksOfShortLine = 4;  // fewer marks than this, and
inline constexpr int kMinShortLineLength = 4;          // shorter than this many letter heights: not read
inline constexpr std::size_t kMinLeaningLines = 2;     // lines whose lean a card's others may take
inline constexpr int kMinLongLine = 8;                 // letter heights: a line long enough to read again
// A page or card read at least this surely stands upright; upside down the
// recogniser reads the same text at about half this.
inline constexpr int kUprightReadingConfidence = 70;
inline constexpr double kOffCardPaper = 0.8;           // ground this much darker than the card's is off the card
inline constexpr int kMaxStripWidth = 6000;
// Each worker holds a recogniser of its own; past this many the longest line
// sets the time anyway.
inline constexpr int kMaxCardWorkers = 8;

// The sizes and sharpening a card line is read with, in order.
struct Reading {
    double letterHeight;  // median letter height the line is scaled to
    double sharpen;
};
inline constexpr Reading kReadings[] = {{22.0, 0.0}, {30.0, 1.0}, {40.0, 1.0}, {40.0, 0.0}, {30.0, 0.0}};
inline constexpr int kSourceDpi = 300;
// The least a card's longest lines read half turned must score (characters
// times confidence: about a dozen read surely) to overrule the marks.
inline constexpr long kMinTurnedReadingScore = 1000;

struct Grey {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> px;
    std::uint8_t At(int x, int y) const { return px[static_cast<std::size_t>(y) * width + x]; }
};

// Destination (u, v) -> source: x = ax u + bx v + cx, y = ay u + by v + cy.
struct Warp {
    double ax = 1, bx = 0, cx = 0, ay = 0, by = 1, cy = 0;
    int dstWidth = 0, dstHeight = 0;

    void ToSource(double u, double v, double& x, double& y) const {
        x = ax * u + bx * v + cx;
        y = ay * u + by * v + cy;
    }
};

struct Component {
    int left, top, right, bottom, area;
};

struct Strip {
    Warp warp;
    int letterHeight = 0;  // in the picture
    double order = 0, along = 0;  // the line's start in the picture's frame, across and along the lines
    double angle = 0, tMin = 0, tMax = 0, nMin = 0, nMax = 0;
    int median = 0;
    double scale = 1;  // enlargement of the picture
};

struct FoundLine {
    std::vector<Component> letters;
    bool inverted;
};

Grey Copy(const GreyView& view, const Box& area);

// Turns by clockwise quarters.
Grey TurnQuarters(const Grey& src, int quarters);

// A point of the turned picture back in the picture before the turn.
void UnturnPoint(double& x, double& y, int quarters, int srcWidth, int srcHeight);

// Turns a whole picture square: rotates by the skew and scales, keeping it all.
Warp MakeWarp(int width, int height, double degrees, double scale);

// A strip along a text line: origin, the line's direction and scale.
Warp MakeStrip(double ox, double oy, double radians, double scale, int width, int height);

// Bilinear resampling; outside the source the nearest edge pixel continues.
Grey Apply(const Grey& src, const Warp& w);

// Evens out the lighting: every pixel over the paper's local brightness, so
// that soft text on a shaded card reads as dark on white.
Grey NormaliseLighting(const Grey& g, int radius);

// Unsharp mask over the mean of the (2 radius + 1) square around each pixel.
Grey Sharpened(const Grey& g, double amount, int radius = 1);

// The side of the square a pixel is weighed against to tell a mark.
inline constexpr int kMarkWindow = 31;

// Dark-on-light marks by a local mean threshold, and light-on-dark ones
// (the dark marks of the picture in negative); either may be null. Windows
// of up to 255 pixels a side.
void MarksBothWays(const Grey& g, int window, std::vector<std::uint8_t>* dark, std::vector<std::uint8_t>* light);

std::vector<std::uint8_t> DarkMarks(const Grey& g, int window);

// Connected marks (corners touching too), in the order a row-by-row scan
// meets their first pixel.
std::vector<Component> Components(const std::vector<std::uint8_t>& marks, int w, int h);

bool LetterLike(const Component& c);

// A letter, or letters run together into a word by blur.
bool TextLike(const Component& c);

// Dark marks of the picture (light ones when inverted) as connected components.
std::vector<Component> MarksOf(const Grey& g, bool inverted);

// A picture's marks both ways, found once for the turn tests and the lines:
// MarksOf(g, false), MarksOf(g, true) and LettersAmong(g, true, light).
struct PictureMarks {
    std::vector<Component> dark;
    std::vector<Component> light;
    std::vector<Component> lightLetters;
};
PictureMarks PictureMarksOf(const Grey& g);

// Skew of the text lines in degrees (positive: lines fall to the right), within
// +-20, from the picture's dark marks.
double SkewOf(const std::vector<Component>& marks, int* medianHeight);

double EstimateSkewOf(const Grey& g, int* medianHeight);

// The median height of the marks that may be letters; 0 when there is none.
int MedianLetterHeight(const std::vector<Component>& marks);

bool Overlaps(const Box& a, const Box& b);

// Large dark areas holding light marks: light text on dark ground.
std::vector<Box> DarkAreas(const Grey& g);

// The marks that may be letters or words; light ones only on darker ground:
// the ring around a light mark is mostly darker than the mark itself (the
// paper inside a dark letter's loop is ringed by paper and stroke alike).
std::vector<Component> LettersAmong(const Grey& g, bool inverted, const std::vector<Component>& all);

// Marks standing over one another within one square joined into one mark: a
// Hangul syllable or a Han character is built of such marks, and chained
// apart they would make two thin lines of one line of text.
std::vector<Component> StackedIntoCharacters(const std::vector<Component>& marks);

// Letters chained into text lines along the skew; each line follows its own drift.
std::vector<std::vector<Component>> ChainLines(const std::vector<Component>& comps, double radians);

Strip StripOf(const std::vector<Component>& letters, double radians, double letterTarget);

// The slant of a strip's upright strokes, as the horizontal shift per row
// (positive: tops lean right), from the columns its dark ink piles up in;
// 0 unless undoing it gathers the ink into columns by `minGain` or more.
// Perspective leans the letters of a card photographed from the side.
inline constexpr double kSlantGain = 1.1;
inline constexpr double kFaintSlantGain = 1.02;  // a line's last try
double SlantOf(const Grey& strip, double minGain = kSlantGain);

// The strip read with its upright strokes leaning by `slant` set upright.
void Unslant(Strip& strip, double slant);

// Whether a mark as large as a letter lies across a line where the line's
// own letters beside it stand (within most of a letter's height): a word
// leaning in a photograph fills a box far taller than its letters, and the
// whole line's extent then takes in the lines above and below.
bool NearTheLettersBeside(const Component& mark, const Strip& strip, const std::vector<Component>& letters);

// Whether the ink in a letter's box is a stem with a dot over it, paper
// between them: a small i (or j), not a capital I or an l.
inline constexpr int kMinDottedStrokeHeight = 12;  // smaller, the dot runs into the stem
bool DottedStroke(const Grey& g, const Box& box);

// Keeps only what belongs to the line: its letters and the marks between and
// just around them (stops, commas, accents); the neighbours' letters go.
void MaskToLine(Grey& image, const Strip& strip, const std::vector<Component>& letters,
                const std::vector<Component>& marks);

// The quarter turns (0 or 1, clockwise) that set the text's lines across the
// picture, upright or upside down: letters of a line have their nearest
// neighbours along it. `sure` when one way clearly outnumbers the other.
// `darkMarks`, when given, receives the picture's dark marks (MarksOf).
int StandingQuarterTurns(const Grey& g, bool& sure, std::vector<Component>* darkMarks = nullptr);

// A mark's box in the picture turned by clockwise quarters (as TurnQuarters
// turns it); width and height are the picture's before the turn.
Component TurnBox(const Component& c, int quarters, int width, int height);

// The quarter turns (clockwise) that set a card's text upright, from its
// marks alone: letters of a line have their nearest neighbours along the
// line, which tells lying from standing text; and in upright print more
// letters rise above the small letters (capitals, b d f h k l t, digits) than
// hang below the line (g j p q y), which tells upright from upside down.
// `marks` are the picture's (PictureMarksOf).
int QuarterTurnsOfCard(const Grey& g, const PictureMarks& marks, bool& halfTurnSure);

}  // namespace plat::ocr::tess
