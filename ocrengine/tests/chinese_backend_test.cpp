// The Chinese back-end over the scripted engine library: the text of the
// regions, the skew flag, the engine's records freed once, cancelling, and
// start-up failures with the calls refused after them.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "ChineseBackend.h"
#include "FakeChnEngine.h"
#include "LumOCREngine.h"
#include "plat/debug.h"
#include "plat/utf.h"

namespace {

constexpr std::int32_t kWorkBytes = 0x200000;
constexpr char kZhong[] = "\xD6\xD0";  // a Han character in code page 936
constexpr char kFolder[] = "/data/";

std::int32_t g_answer = 1;
std::int32_t Progress(std::int32_t) { return g_answer; }

class ChineseBackendTest : public ::testing::Test {
protected:
    ~ChineseBackendTest() override {
        LumOCR_Finalize(0);
        LumOCR_SetSkew(0);
    }
    std::int32_t Start(OcrLanguageCode code = 4) {
        const OcrLanguageCode codes[] = {code, 0};
        g_answer = 1;
        return LumOCR_Initialize(work_.data(), kWorkBytes, &Progress, codes, kFolder);
    }
    std::int32_t ReadPage(OcrTextResult& text) {
        OcrImage image{pixels_.data(), 64, 32};
        return LumOCR_RecognizeDocument(&image, &text);
    }

    fakechn::FakeEngine engine_;
    std::vector<std::uint8_t> work_ = std::vector<std::uint8_t>(kWorkBytes, 0);
    std::vector<BYTE> pixels_ = std::vector<BYTE>(64 * 32, 255);
};

TEST(RegionsToText, TwoOneLineRegionsEachEndTwice) {
    const std::string b = std::string(kZhong) + "c";
    HWChar ca[] = {{{'a', 0}}, {{'b', 0}}}, cb[] = {{{0xD6, 0xD0}}, {{'c', 0}}};
    HWTextLine la{ca, {}, 0, 2}, lb{cb, {}, 0, 2};
    HWTextRegion regions[2] = {{{}, {}, &la, 1}, {{}, {}, &lb, 1}};
    OcrTextResult result;
    std::memset(result.text, 'x', sizeof result.text);
    lumocr::RegionsToText(result, 2, regions);
    const std::string expected = "ab\r\n\r\n" + b + "\r\n\r\n";
    EXPECT_EQ(0, std::memcmp(result.text, (expected + std::string(2, '\0')).data(), expected.size() + 2));
}

TEST(RegionsToText, ADoubleByteCharacterThatWouldStartAt1018EndsTheLine) {
    std::vector<HWChar> cells(1019, HWChar{{'a', 0}});
    cells.back() = HWChar{{0xD6, 0xD0}};
    HWTextLine line{cells.data(), {}, 0, static_cast<std::int32_t>(cells.size())};
    HWTextLine next{cells.data(), {}, 0, 1};
    HWTextLine lines[2] = {line, next};
    HWTextRegion regions[2] = {{{}, {}, lines, 2}, {{}, {}, lines, 2}};
    OcrTextResult result{};
    lumocr::RegionsToText(result, 2, regions);
    EXPECT_EQ(std::string(1018, 'a') + "\r\n\r\n", std::string(result.text));  // no second line, no second region
}

TEST_F(ChineseBackendTest, PageTextThroughLayoutAndRecognition) {
    engine_.script().regions = {{std::string(kZhong) + "1"}, {"AB", std::string(kZhong)}};
    ASSERT_EQ(0, Start(6));
    EXPECT_EQ("/data/DB\\chn\\", engine_.calls().front().path);
    OcrTextResult text{};
    EXPECT_EQ(0, ReadPage(text));
    const std::string expected = std::string(kZhong) + "1\r\n\r\nAB\r\n" + kZhong + "\r\n\r\n";
    EXPECT_EQ(expected, text.text);
    EXPECT_EQ(static_cast<std::int32_t>(expected.size()), text.length);
}

TEST_F(ChineseBackendTest, SkewFlagReachesTheLayoutAnalysis) {
    ASSERT_EQ(0, Start());
    OcrTextResult text{};
    for (const auto& [skew, handed] : {std::pair{5, 1}, std::pair{0, 0}, std::pair{-1, 1}}) {
        LumOCR_SetSkew(skew);
        ReadPage(text);
        const auto layout = std::find_if(engine_.calls().rbegin(), engine_.calls().rend(),
                                         [](const fakechn::Call& c) { return c.entry == "HWOCR_LayoutAnalyze"; });
        ASSERT_NE(engine_.calls().rend(), layout);
        EXPECT_EQ(handed, layout->skew) << skew;
    }
}

TEST_F(ChineseBackendTest, EngineRecordsAreFreedOnceWhateverTheRunGave) {
    struct Case {
        const char* what;
        std::int32_t layout, recognize;
        int freedImage, freedRegions;
    };
    for (const Case& c : {Case{"read", HWOCR_OK, HWOCR_OK, 1, 1}, Case{"recognition failed", HWOCR_OK, 3, 1, 0},
                          Case{"layout failed", 3, HWOCR_OK, 0, 0}}) {
        SCOPED_TRACE(c.what);
        engine_.script().regions = {{"x"}};
        engine_.script().layoutResult = c.layout;
        engine_.script().recognizeResult = c.recognize;
        ASSERT_EQ(0, Start());
        OcrTextResult text;
        std::strcpy(text.text, "caller's old text");
        const int before[3] = {engine_.Count("HWOCR_FreeBinImage"), engine_.Count("HWOCR_FreeBlocks"),
                               engine_.Count("HWOCR_FreeTextRgns_")};
        const std::int32_t result = ReadPage(text);
        EXPECT_EQ(c.freedImage, engine_.Count("HWOCR_FreeBinImage") - before[0]);
        EXPECT_EQ(c.freedImage, engine_.Count("HWOCR_FreeBlocks") - before[1]);
        EXPECT_EQ(c.freedRegions, engine_.Count("HWOCR_FreeTextRgns_") - before[2]);
        for (const fakechn::Call& call : engine_.calls()) {
            if (call.entry.rfind("HWOCR_Free", 0) == 0) {
                EXPECT_TRUE(call.handedOut) << call.entry;
            }
        }
        if (c.layout != HWOCR_OK || c.recognize != HWOCR_OK) {
            EXPECT_NE(0, result);
            EXPECT_STREQ("", text.text);  // never the caller's old bytes
            EXPECT_EQ(0, text.length);
        }
        LumOCR_Finalize(0);
    }
}

TEST_F(ChineseBackendTest, CancelStopsTheRecognitionAndClearsTheText) {
    engine_.script().regions = {{"x"}};
    engine_.script().progressSteps = {10, 50, 90};
    ASSERT_EQ(0, Start());
    g_answer = 0;
    OcrTextResult text;
    std::strcpy(text.text, "old");
    EXPECT_EQ(HWOCR_E_CANCELLED, ReadPage(text));
    EXPECT_STREQ("", text.text);
    EXPECT_EQ(1, engine_.Count("HWOCR_FreeBinImage"));
    RECT region{1, 2, 40, 30};
    OcrImage image{pixels_.data(), 64, 32};
    EXPECT_EQ(HWOCR_E_CANCELLED, LumOCR_RecognizeLine(&image, &region, &text));
    EXPECT_EQ(30, engine_.calls().back().region.bottom);
}

TEST_F(ChineseBackendTest, RegionIsReadAsOneTextRegion) {
    engine_.script().regions = {{"line one", "line two"}};
    ASSERT_EQ(0, Start());
    RECT region{0, 0, 60, 30};
    OcrImage image{pixels_.data(), 64, 32};
    OcrTextResult text{};
    EXPECT_EQ(0, LumOCR_RecognizeLine(&image, &region, &text));
    EXPECT_STREQ("line one\r\nline two\r\n\r\n", text.text);
    EXPECT_EQ(1, engine_.Count("HWOCR_FreeTextRgns_"));
}

TEST_F(ChineseBackendTest, MissingLibraryIsLoggedAndRecognitionRefused) {
    engine_.loader().libraryMissing = true;
    plat::DebugCapture log;
    EXPECT_EQ(LUMOCR_E_NOENGINE, Start());
    EXPECT_TRUE(log.Contains(L"[travek:chnEngine] library load fail~!\n"
                             L"[travek:chnEngine] HWOCR_InitializeEngine_ load fail~!\n"));
    EXPECT_TRUE(log.Contains(L"[travek:chnEngine] HWOCR_FreeTextRgns_ load fail~!\n"
                             L"[travek:chnEngine] Card30_RecogniseSingleCard_ load fail~!\n"
                             L"LumOCR_Initialize_CHN start\n"));
    OcrTextResult text;
    std::strcpy(text.text, "old");
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, ReadPage(text));
    EXPECT_STREQ("", text.text);
    EXPECT_TRUE(engine_.calls().empty());
}

TEST_F(ChineseBackendTest, EachMissingEntryIsLoggedAndNoEntryCalled) {
    const wchar_t* entries[] = {L"HWOCR_InitializeEngine", L"HWOCR_SetActiveLanguage", L"HWOCR_ExitEngine",
                                L"HWOCR_LayoutAnalyze",    L"HWOCR_Recognize",         L"HWOCR_RecognizeBlock",
                                L"HWOCR_FreeBinImage",     L"HWOCR_FreeBlocks",        L"HWOCR_FreeTextRgns_",
                                L"Card30_RecogniseSingleCard"};
    for (const wchar_t* entry : entries) {
        SCOPED_TRACE(plat::ToUtf8(entry));
        engine_.loader().missingEntries = {entry};
        plat::DebugCapture log;
        EXPECT_EQ(LUMOCR_E_NOENGINE, Start());
        const std::wstring suffix = std::wstring(entry) == L"HWOCR_FreeTextRgns_" ? L" load fail~!\n" : L"_ load fail~!\n";
        EXPECT_TRUE(log.Contains(L"[travek:chnEngine] " + std::wstring(entry) + suffix));
        OcrTextResult text{};
        EXPECT_EQ(LUMOCR_E_NOTSTARTED, ReadPage(text));
        EXPECT_TRUE(engine_.calls().empty());
        EXPECT_EQ(engine_.loader().loads, engine_.loader().frees);
        LumOCR_Finalize(0);
    }
}

TEST_F(ChineseBackendTest, EngineThatDoesNotStartIsNotUsedNorStopped) {
    engine_.script().initializeResult = HWOCR_E_NOTREADY;
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, Start());
    OcrTextResult text{};
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, ReadPage(text));
    LumOCR_Finalize(0);
    EXPECT_EQ(0, engine_.Count("HWOCR_ExitEngine"));
    EXPECT_EQ(0, engine_.Count("HWOCR_LayoutAnalyze"));
}

TEST_F(ChineseBackendTest, FinalizeTwiceStopsTheEngineOnce) {
    ASSERT_EQ(0, Start());
    EXPECT_EQ(0, LumOCR_Finalize(0));
    EXPECT_EQ(0, LumOCR_Finalize(0));
    EXPECT_EQ(1, engine_.Count("HWOCR_ExitEngine"));
    EXPECT_EQ(1, engine_.loader().frees);
    EXPECT_EQ(0, engine_.Count("HWOCR_SetActiveLanguage") + engine_.Count("Card30_RecogniseSingleCard"));
}

}  // namespace
