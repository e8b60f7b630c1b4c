// Card edges for the automatic shot, on drawn 320 x 240 preview frames.
#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "check_fixtures.h"
#include "ocrchecks/EdgeDetector.h"

namespace {

using checktest::Picture;
using checktest::PreviewFrame;
using ocrchecks::CEdgeDetector;
using ocrchecks::CheckRect;

struct Frames {
    // Card borders inside all four bands (the guide frame).
    static Picture Filling() { return PreviewFrame(17, 36, 303, 204); }
    // The bottom border below the frame: top, left and right bands only.
    static Picture ThreeBands() { return PreviewFrame(17, 36, 303, 300); }
    // Right and bottom borders outside: top and left bands only.
    static Picture TwoBands() { return PreviewFrame(17, 36, 400, 300); }
    static Picture Empty() { return PreviewFrame(0, 0, 0, 0); }
};

bool SameRect(const CheckRect& a, const CheckRect& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const CheckRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) +
           "," + std::to_string(r.bottom);
}

struct Call {
    CheckRect bands{-7, -7, -7, -7};
    std::int32_t found = -7;
};

Call Detect(CEdgeDetector& detector, Picture& frame, std::int32_t period, Call call = {}) {
    EXPECT_EQ(detector.Detect(frame.pixels.data(), frame.width, frame.height, &call.bands,
                              &call.found, period),
              0);
    return call;
}

TEST(EdgeDetection, FindsOnlyACardFillingTheGuideFrame) {
    struct Case {
        const char* name;
        Picture frame;
        std::int32_t found;
        CheckRect bands;  // left, top, right, bottom flags
    };
    const Case cases[] = {
        {"card filling the guide frame", Frames::Filling(), 1, {1, 1, 1, 1}},
        {"card at 60 % size", PreviewFrame(74, 70, 246, 171), 0, {0, 0, 0, 0}},
        {"empty scene", Frames::Empty(), 0, {0, 0, 0, 0}},
        {"card turned 90 degrees", PreviewFrame(76, -23, 244, 263), 0, {0, 0, 0, 0}},
        {"uniform grey", Picture(320, 240, 128), 0, {0, 0, 0, 0}},
    };
    for (Case c : cases) {
        CEdgeDetector detector;
        const Call call = Detect(detector, c.frame, 10);
        EXPECT_EQ(call.found, c.found) << c.name;
        EXPECT_TRUE(SameRect(call.bands, c.bands)) << c.name << ": " << Show(call.bands);
    }
}

TEST(EdgeDetection, BandsNeededDependOnThePeriod) {
    struct Case {
        Picture frame;
        std::int32_t period;
        std::int32_t found;
    };
    const Case cases[] = {
        {Frames::ThreeBands(), 10, 1}, {Frames::TwoBands(), 10, 0},
        {Frames::TwoBands(), 8, 1},    {Frames::TwoBands(), 1, 1},
        {Frames::Empty(), 8, 0},
    };
    for (Case c : cases) {
        CEdgeDetector detector;
        const Call call = Detect(detector, c.frame, c.period);
        EXPECT_EQ(call.found, c.found) << "period " << c.period;
    }
    CEdgeDetector detector;
    Picture two = Frames::TwoBands();
    EXPECT_TRUE(SameRect(Detect(detector, two, 10).bands, CheckRect{1, 1, 0, 0}));
}

TEST(EdgeDetection, ProcessesOneCallPerPeriod) {
    CEdgeDetector detector;
    Picture two = Frames::TwoBands();
    Picture card = Frames::Filling();

    // The first call is processed; without a card the next nine are skipped,
    // writing found 0 and leaving the band flags of the processed call.
    const Call first = Detect(detector, two, 10);
    EXPECT_EQ(first.found, 0);
    for (int i = 1; i <= 9; ++i) {
        const Call skipped = Detect(detector, card, 10, first);
        EXPECT_EQ(skipped.found, 0) << "call " << i;
        EXPECT_TRUE(SameRect(skipped.bands, first.bands)) << "call " << i;
    }
    // The tenth is processed; a found card makes the very next call processed too.
    EXPECT_EQ(Detect(detector, card, 10).found, 1);
    EXPECT_EQ(Detect(detector, card, 10).found, 1);
    EXPECT_EQ(detector.Params().period, 10);
    EXPECT_EQ(detector.Params().coveragePercent, 60);
    EXPECT_EQ(detector.Params().edgeThreshold, 4);
}

TEST(EdgeDetection, PeriodOfOneOrLessProcessesEveryCall) {
    for (std::int32_t period : {1, 0, -3, INT_MIN}) {
        CEdgeDetector detector;
        Picture empty = Frames::Empty();
        Picture card = Frames::Filling();
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(Detect(detector, empty, period).found, 0) << "period " << period;
            const Call call = Detect(detector, card, period);
            EXPECT_EQ(call.found, 1) << "period " << period << " call " << i;
            EXPECT_TRUE(SameRect(call.bands, CheckRect{1, 1, 1, 1}));
        }
    }
}

TEST(EdgeDetection, RefusesFramesTheBandsDoNotFitIn) {
    struct Case {
        int width;
        int height;
    };
    for (Case c : {Case{319, 240}, Case{320, 220}, Case{0, 0}, Case{-320, 240}}) {
        CEdgeDetector detector;
        Picture frame(320, 240, 128);
        Call call;
        EXPECT_EQ(detector.Detect(frame.pixels.data(), c.width, c.height, &call.bands, &call.found,
                                  10),
                  0);
        EXPECT_EQ(call.found, 0);
        EXPECT_TRUE(SameRect(call.bands, CheckRect{0, 0, 0, 0}));
        // The refused call is not counted: the next good frame is processed.
        Picture card = Frames::Filling();
        EXPECT_EQ(Detect(detector, card, 10).found, 1) << c.width << "x" << c.height;
    }
    CEdgeDetector detector;
    Call call;
    EXPECT_EQ(detector.Detect(nullptr, 320, 240, &call.bands, &call.found, 10), 0);
    EXPECT_EQ(call.found, 0);
    Picture card = Frames::Filling();
    EXPECT_EQ(detector.Detect(card.pixels.data(), 320, 240, nullptr, &call.found, 10), 0);
    EXPECT_EQ(call.found, 0);
    EXPECT_EQ(detector.Detect(card.pixels.data(), 320, 240, &call.bands, nullptr, 10), 0);
}

TEST(EdgeDetection, TakesTheFrameWidthAsItsStride) {
    Picture card = Frames::Filling();
    Picture wide(400, 221, 0);  // only the rows the bands reach
    for (int y = 0; y < wide.height; ++y) {
        for (int x = 0; x < wide.width; ++x) {
            wide.At(x, y) = x < 320 ? card.At(x, y) : static_cast<std::uint8_t>(x * 37 + y * 11);
        }
    }
    CEdgeDetector detector;
    const Call call = Detect(detector, wide, 10);
    EXPECT_EQ(call.found, 1);
    EXPECT_TRUE(SameRect(call.bands, CheckRect{1, 1, 1, 1}));
}

TEST(EdgeDetection, WhiteNextToADarkLineHidesIt) {
    // One dark row across the top band of a grey frame is an edge; a white
    // row right above it keeps its pixels out of the edge map.
    Picture line(320, 240, 120);
    line.Fill(0, 37, 320, 38, 30);
    Picture hidden = line;
    hidden.Fill(0, 36, 320, 37, 255);
    Picture grey = line;
    grey.Fill(0, 36, 320, 37, 254);

    for (auto [frame, top] : {std::pair{line, 1}, std::pair{hidden, 0}, std::pair{grey, 1}}) {
        CEdgeDetector detector;
        const Call call = Detect(detector, frame, 10);
        EXPECT_EQ(call.bands.top, top);
        EXPECT_EQ(call.bands.left + call.bands.right + call.bands.bottom, 0);
        EXPECT_EQ(call.found, 0);
    }
}

TEST(EdgeDetection, BandTestWantsAStraightEdgeAlongMostOfTheBand) {
    // Band of 100 x 20, grey 120: a dark row over 70 % of its length is an
    // edge; over 50 % it is not; scattered dark dots are not either.
    auto band = [](int from, int to, bool dots) {
        Picture p(100, 20, 120);
        if (dots) {
            for (int i = 0; i < 40; ++i) {
                p.At(2 + (i * 37) % 96, 2 + (i * 11) % 16) = 20;
            }
        } else {
            p.Fill(from, 10, to, 11, 20);
        }
        return p;
    };
    struct Case {
        Picture picture;
        bool edge;
    };
    int n = 0;
    for (Case c : {Case{band(10, 80, false), true}, Case{band(10, 60, false), false},
                   Case{band(0, 0, true), false}}) {
        EXPECT_EQ(ocrchecks::BandHoldsEdge(c.picture.pixels.data(), 100, 100, 20, 60, 4), c.edge)
            << "case " << n++;
    }
}

}  // namespace
