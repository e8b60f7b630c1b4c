// Text direction: the vote of DetectCardType and the quarter turn.
#include <gtest/gtest.h>

#include <string>

#include "check_fixtures.h"
#include "ocrchecks/ImageChecks.h"

namespace {

using checktest::Picture;
using checktest::TextPage;
using checktest::Turn;
using ocrchecks::CheckImageDirection;
using ocrchecks::CheckRect;
using ocrchecks::DetectCardType;

enum { kHorizontal = 0, kVertical = 1, kUndecided = 2 };

// Dense text: the line finder keeps only cells with ink all around them.
Picture Page() { return TextPage(320, 240, 6, 4, 30, 230); }

std::int32_t Vote(std::int32_t mode, Picture& p, std::int32_t* count = nullptr,
                  CheckRect* rects = nullptr) {
    return DetectCardType(mode, p.pixels.data(), p.width, p.height, count, rects);
}

// Runs the check on copies; returns its result, the log and the full picture after.
struct Checked {
    std::int32_t result;
    std::string log;
    Picture full;
};
Checked Check(Picture small, Picture full) {
    ocrchecks::GreyImage s = small.View();
    ocrchecks::GreyImage f = full.View();
    testing::internal::CaptureStderr();
    const std::int32_t result = CheckImageDirection(&s, &f);
    Checked out{result, testing::internal::GetCapturedStderr(), full};
    out.full.width = f.width;
    out.full.height = f.height;
    return out;
}

TEST(DetectCardType, VotesByTheShapeOfTheLines) {
    Picture across = Page();
    Picture down = Turn(Page(), true);
    Picture blank(320, 240, 200);
    struct Case {
        const char* name;
        Picture* picture;
        std::int32_t mode1;
        std::int32_t mode0;
    };
    const Case cases[] = {
        {"lines across", &across, kHorizontal, 1},
        {"lines down", &down, kVertical, 0},
        {"no lines", &blank, kUndecided, kUndecided},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Vote(1, *c.picture), c.mode1) << c.name;
        EXPECT_EQ(Vote(0, *c.picture), c.mode0) << c.name;
    }
}

TEST(DetectCardType, ReportsTheLinesItFound) {
    Picture page = Page();
    std::int32_t count = -1;
    CheckRect rects[ocrchecks::kMaxTextLines];
    Vote(1, page, &count, rects);
    ASSERT_GT(count, 3);
    ASSERT_LE(count, ocrchecks::kMaxTextLines);
    for (int i = 0; i < count; ++i) {
        EXPECT_GT(rects[i].right - rects[i].left, 5);
        EXPECT_GT(rects[i].bottom - rects[i].top, 5);
        EXPECT_GE(rects[i].left, 0);
        EXPECT_LE(rects[i].right, page.width);
        EXPECT_LE(rects[i].bottom, page.height);
    }
}

TEST(DetectCardType, LooksAtBigPicturesScaledTo320Wide) {
    // 800 x 400 is 320000 pixels: scaled; its lines come back in its own
    // coordinates. Landscape pictures keep a height (400 * 320 / 800 = 160).
    Picture big = TextPage(800, 400, 14, 10, 30, 230);
    std::int32_t count = 0;
    CheckRect rects[ocrchecks::kMaxTextLines];
    EXPECT_EQ(Vote(1, big, &count, rects), kHorizontal);
    ASSERT_GT(count, 0);
    int widest = 0;
    for (int i = 0; i < count; ++i) {
        widest = std::max(widest, static_cast<int>(rects[i].right));
        EXPECT_LE(rects[i].bottom, 400);
    }
    EXPECT_GT(widest, 320);

    // The program's card crop, 1200 x 680, is horizontal too (mode 0: 1),
    // not "cannot work" (0).
    Picture crop = TextPage(1200, 680, 20, 14, 30, 230);
    EXPECT_EQ(Vote(0, crop), 1);
    Picture down = Turn(crop, false);
    EXPECT_EQ(Vote(0, down), 0);
}

TEST(DetectCardType, CannotWorkWithoutPixelsOrSize) {
    testing::internal::CaptureStderr();
    std::int32_t count = -1;
    EXPECT_EQ(DetectCardType(0, nullptr, 320, 240, &count, nullptr), 0);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "[TRAVEK] DetectCardType pucImage is NULL\n");
    Picture p(10, 10, 0);
    EXPECT_EQ(DetectCardType(0, p.pixels.data(), 0, 10, nullptr, nullptr), 0);
    EXPECT_EQ(DetectCardType(0, p.pixels.data(), 10, -10, nullptr, nullptr), 0);
    // 100000 x 4 scales to a height of 0: nothing to look at.
    Picture flat(100000, 4, 0);
    EXPECT_EQ(Vote(0, flat), 0);
}

TEST(DetectCardType, AnyShapeAndContentIsSafe) {
    // Odd sizes around the scaling limit and thin ones, with busy content.
    struct Size {
        int w, h;
    };
    for (Size s : {Size{1, 1}, Size{3, 700}, Size{700, 3}, Size{9, 9}, Size{565, 567},
                   Size{321, 999}, Size{4000, 80}, Size{319, 1003}}) {
        Picture p(s.w, s.h, 0);
        std::uint32_t v = 12345;
        for (std::uint8_t& px : p.pixels) {
            v = v * 1103515245u + 12345u;
            px = static_cast<std::uint8_t>(v >> 24 < 90 ? 20 : 235);
        }
        std::int32_t count = -1;
        CheckRect rects[ocrchecks::kMaxTextLines];
        const std::int32_t answer = Vote(1, p, &count, rects);
        EXPECT_TRUE(answer >= 0 && answer <= 2) << s.w << "x" << s.h;
        EXPECT_TRUE(count >= 0 && count <= ocrchecks::kMaxTextLines);
        for (int i = 0; i < count; ++i) {
            EXPECT_TRUE(rects[i].left >= 0 && rects[i].right <= s.w && rects[i].bottom <= s.h)
                << s.w << "x" << s.h;
        }
    }
}

TEST(CheckImageDirection, LeavesHorizontalTextAlone) {
    const Picture full = TextPage(400, 300, 8, 8, 30, 230);
    const Checked c = Check(Page(), full);
    EXPECT_EQ(c.result, 1);
    EXPECT_EQ(c.full.width, 400);
    EXPECT_EQ(c.full.pixels, full.pixels);
    EXPECT_EQ(c.log.rfind("[OCR_ENGINE] CheckImageDirection Start\n[OCR_ENGINE] HORIZONTAL LINES[", 0), 0u)
        << c.log;
}

TEST(CheckImageDirection, TurnsVerticalOrUndecidedTextClockwise) {
    Picture full(3, 2, 0);
    full.pixels = {1, 2, 3,
                   4, 5, 6};
    const std::vector<std::uint8_t> turned = {4, 1,
                                              5, 2,
                                              6, 3};
    for (Picture small : {Turn(Page(), false), Picture(320, 240, 200)}) {
        const Checked c = Check(small, full);
        EXPECT_EQ(c.result, 0);
        EXPECT_EQ(c.full.width, 2);
        EXPECT_EQ(c.full.height, 3);
        EXPECT_EQ(c.full.pixels, turned);
        EXPECT_EQ(c.log.rfind("[OCR_ENGINE] CheckImageDirection Start\n[OCR_ENGINE] VERTICAL LINES[", 0), 0u)
            << c.log;
    }
    const Picture big = TextPage(300, 200, 8, 8, 30, 230);
    EXPECT_EQ(Check(Picture(320, 240, 200), big).full.pixels, Turn(big, true).pixels);
}

TEST(CheckImageDirection, MissingPicturesTurnNothing) {
    Picture down = Turn(Page(), true);
    ocrchecks::GreyImage noSmall{nullptr, 320, 240};
    Picture full(4, 2, 7);
    ocrchecks::GreyImage f = full.View();
    testing::internal::CaptureStderr();
    EXPECT_EQ(CheckImageDirection(&noSmall, &f), 1);
    EXPECT_EQ(CheckImageDirection(nullptr, &f), 1);
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(log, std::string() +
                       "[OCR_ENGINE] CheckImageDirection Start\n"
                       "[OCR_ENGINE] small Image is NULL, HORIZONTAL LINES[0]\n"
                       "[OCR_ENGINE] CheckImageDirection Start\n"
                       "[OCR_ENGINE] small Image is NULL, HORIZONTAL LINES[0]\n");
    EXPECT_EQ(f.width, 4);

    ocrchecks::GreyImage s = down.View();
    ocrchecks::GreyImage noFull{nullptr, 4, 2};
    testing::internal::CaptureStderr();
    EXPECT_EQ(CheckImageDirection(&s, &noFull), 1);
    EXPECT_EQ(CheckImageDirection(&s, nullptr), 1);
    testing::internal::GetCapturedStderr();
    EXPECT_EQ(noFull.width, 4);
    EXPECT_EQ(noFull.height, 2);
}

}  // namespace
