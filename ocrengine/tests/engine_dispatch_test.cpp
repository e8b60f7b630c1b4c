// The exported interface over the scripted European engine: dispatch by the
// first language code, the state machine, and the page, region and card records.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "EuropeanBackend.h"
#include "FakeChnEngine.h"
#include "FakeFineEngine.h"
#include "LumOCREngine.h"
#include "OcrCommon.h"
#include "ocrchecks/CheckLog.h"
#include "ocrchecks/ImageChecks.h"
#include "plat/debug.h"
#include "lumtest/tempdir.h"

namespace {

using fakefine::CannedField;
using fakefine::CannedWord;

constexpr std::int32_t kWorkBytes = 0x200000;

// A database folder holding every file the back-end may ask for.
class DatabaseFolder {
public:
    DatabaseFolder() {
        for (int code = lumocr::kFirstEuropeanCode; code <= lumocr::kLastEuropeanCode; ++code) {
            const lumocr::EuropeanLanguage* l = lumocr::FindEuropeanLanguage(code);
            Put(l->dictionary);
            if (l->keywords) Put(l->keywords);
            Put(l->pattern);
            Put(l->patternWithEnglish);
        }
        Put("AllLanguages.rom");
    }
    std::string Path() const { return dir_.path().string() + "/"; }
    void Remove(const std::string& name) { std::filesystem::remove(dir_.path() / name); }

private:
    void Put(const std::string& name) { std::ofstream(dir_.path() / name) << "data"; }
    lumtest::TempDir dir_;
};

class EngineDispatchTest : public ::testing::Test {
protected:
    std::int32_t Start(std::vector<OcrLanguageCode> codes, OcrProgressCallback progress = nullptr) {
        codes.push_back(0);
        return LumOCR_Initialize(work_.data(), kWorkBytes, progress, codes.data(), folder_.Path().c_str());
    }
    OcrImage Image() { return OcrImage{pixels_.data(), 64, 32}; }
    std::vector<OcrCardField> EmptyFields() {
        std::vector<OcrCardField> fields(kOcrMaxCardFields);
        for (OcrCardField& f : fields) {
            f.type = OCR_FIELD_NONE;
            f.text[0] = '\0';
            f.rect = {0, 0, 0, 0};
        }
        return fields;
    }

    fakefine::FakeEngine engine_;
    DatabaseFolder folder_;
    std::vector<std::uint8_t> work_ = std::vector<std::uint8_t>(kWorkBytes, 0);
    std::vector<BYTE> pixels_ = std::vector<BYTE>(64 * 32, 255);
};

TEST_F(EngineDispatchTest, OutOfRangeFirstCodeAnswersEveryCallWithItsOwnResult) {
    for (OcrLanguageCode code : {0, -1, 39, 1000}) {
        SCOPED_TRACE(code);
        EXPECT_EQ(LUMOCR_OUT_OF_RANGE_INITIALIZE, Start({code}));
        OcrImage image = Image();
        OcrTextResult text{};
        RECT region{0, 0, 10, 10};
        std::vector<OcrCardField> fields = EmptyFields();
        EXPECT_EQ(LUMOCR_OUT_OF_RANGE_DOCUMENT, LumOCR_RecognizeDocument(&image, &text));
        EXPECT_EQ(LUMOCR_OUT_OF_RANGE_LINE, LumOCR_RecognizeLine(&image, &region, &text));
        EXPECT_EQ(LUMOCR_OUT_OF_RANGE_BIZCARD, LumOCR_RecognizeBizCard(&image, fields.data()));
        EXPECT_EQ(LUMOCR_OUT_OF_RANGE_CANCEL, LumOCR_CancelRecognition());
        EXPECT_EQ(LUMOCR_OUT_OF_RANGE_FINALIZE, LumOCR_Finalize(0));
        EXPECT_EQ(0, LumOCR_Finalize(0));  // already finalised
    }
    EXPECT_TRUE(engine_.calls().empty());
}

TEST_F(EngineDispatchTest, FirstCodeChoosesTheBackEnd) {
    struct Case {
        OcrLanguageCode code;
        std::int32_t initialize;
        bool european;
    };
    fakechn::FakeEngine chinese;
    for (const Case& c : {Case{7, FINE_OK, true}, Case{38, FINE_OK, true}, Case{4, 0, false}, Case{6, 0, false}}) {
        SCOPED_TRACE(c.code);
        const int before = engine_.Count("FineInitialize");
        EXPECT_EQ(c.initialize, Start({c.code}));
        EXPECT_EQ(c.european ? before + 1 : before, engine_.Count("FineInitialize"));
        EXPECT_EQ(0, LumOCR_CancelRecognition());
        EXPECT_EQ(0, LumOCR_Finalize(0));
    }
}

TEST_F(EngineDispatchTest, ChineseCodesReadNoCardAndLeaveTheRecords) {
    fakechn::FakeEngine chinese;
    ASSERT_EQ(0, Start({5}));
    OcrImage image = Image();
    std::vector<OcrCardField> fields = EmptyFields();
    EXPECT_EQ(0, LumOCR_RecognizeBizCard(&image, fields.data()));
    for (const OcrCardField& f : fields) EXPECT_EQ(OCR_FIELD_NONE, f.type);
}

TEST_F(EngineDispatchTest, EveryCodeOfTheListIsHandedToTheEngineUpToTen) {
    Start({7, 12});
    OcrImage image = Image();
    OcrTextResult text{};
    LumOCR_RecognizeDocument(&image, &text);
    EXPECT_EQ((std::vector<std::int32_t>{15, 49}), engine_.calls().back().languages);

    Start({7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17});
    LumOCR_RecognizeDocument(&image, &text);
    EXPECT_EQ((std::vector<std::int32_t>{15, 19, 20, 28, 44, 49, 54, 60, 26, 15}), engine_.calls().back().languages);
}

TEST_F(EngineDispatchTest, ACodeOutsideTheEuropeanTableRefusesTheStart) {
    EXPECT_EQ(LUMOCR_E_BADLANGUAGE, Start({7, 1}));
    EXPECT_EQ(0, engine_.Count("FineInitialize"));
    OcrImage image = Image();
    OcrTextResult text{};
    std::strcpy(text.text, "old");
    text.length = 3;
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, LumOCR_RecognizeDocument(&image, &text));
    EXPECT_STREQ("", text.text);
    EXPECT_EQ(0, text.length);
    EXPECT_EQ(0, engine_.Count("FineRecognizeImage"));
}

TEST_F(EngineDispatchTest, NullArgumentsAreRefusedAndNothingIsWritten) {
    const OcrLanguageCode codes[] = {7, 0};
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_Initialize(work_.data(), kWorkBytes, nullptr, nullptr, "x/"));
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_Initialize(work_.data(), kWorkBytes, nullptr, codes, nullptr));
    EXPECT_EQ(0, engine_.Count("FineInitialize"));

    ASSERT_EQ(FINE_OK, Start({7}));
    OcrImage image = Image();
    OcrImage noPixels{nullptr, 64, 32};
    OcrImage noSize{pixels_.data(), 0, 32};
    OcrTextResult text{};
    RECT region{0, 0, 4, 4};
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_RecognizeDocument(nullptr, &text));
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_RecognizeDocument(&noPixels, &text));
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_RecognizeDocument(&noSize, &text));
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_RecognizeDocument(&image, nullptr));
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_RecognizeLine(&image, nullptr, &text));
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_RecognizeLine(&image, &region, nullptr));
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_RecognizeBizCard(&image, nullptr));
    EXPECT_EQ(0, engine_.Count("FineRecognizeImage") + engine_.Count("FineRecognizeRegion") +
                     engine_.Count("FineRecognizeBusinessCard"));
}

// The engine's lines and its image checks' lines reach the one debug output
// (and so $LUMOCR_LOG and the tests' capture), not standard error.
TEST_F(EngineDispatchTest, EngineAndCheckLinesGoToTheDebugOutput) {
    const ocrchecks::LogSink previous = ocrchecks::SetLogSink(nullptr);
    lumocr::DllMain(nullptr, 1, nullptr);  // the library's load hands the checks their sink
    plat::DebugCapture capture;
    EXPECT_EQ(LUMOCR_E_INVALIDARG, LumOCR_Initialize(work_.data(), kWorkBytes, nullptr, nullptr, "x/"));
    EXPECT_EQ(1, ocrchecks::CheckImageDirection(nullptr, nullptr));
    EXPECT_TRUE(capture.Contains(L"LumOCR_Initialize: no language list or database folder\n"));
    EXPECT_TRUE(capture.Contains(L"[OCR_ENGINE] small Image is NULL, HORIZONTAL LINES[0]\n"));
    ocrchecks::SetLogSink(previous);
}

TEST_F(EngineDispatchTest, FinalizeShutsTheEngineDownOnce) {
    EXPECT_EQ(0, LumOCR_Finalize(0));  // before any start
    Start({7});
    EXPECT_EQ(0, LumOCR_Finalize(0));
    EXPECT_EQ(0, LumOCR_Finalize(0));
    EXPECT_EQ(1, engine_.Count("FineDeinitialize"));
}

TEST_F(EngineDispatchTest, ASecondStartEndsTheFirstBackEnd) {
    Start({7});
    Start({9});
    EXPECT_EQ(2, engine_.Count("FineInitialize"));
    EXPECT_EQ(1, engine_.Count("FineDeinitialize"));
    LumOCR_Finalize(0);
    EXPECT_EQ(2, engine_.Count("FineDeinitialize"));
}

TEST_F(EngineDispatchTest, MissingDatabaseFileFailsTheStartAndLaterCallsGiveEmptyResults) {
    folder_.Remove("English.akw");
    testing::internal::CaptureStderr();
    const std::int32_t result = Start({7});
    const std::string log = testing::internal::GetCapturedStderr();
    EXPECT_EQ(LUMOCR_E_LOADFAILED, result);
    EXPECT_NE(std::string::npos, log.find("Can't load " + folder_.Path() + "English.akw.\n"));
    EXPECT_EQ(0, engine_.Count("FineInitialize"));

    OcrImage image = Image();
    OcrTextResult text{};
    std::vector<OcrCardField> fields = EmptyFields();
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, LumOCR_RecognizeDocument(&image, &text));
    EXPECT_EQ(0, text.length);
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, LumOCR_RecognizeBizCard(&image, fields.data()));
    EXPECT_EQ(OCR_FIELD_NONE, fields[0].type);
    EXPECT_EQ(0, LumOCR_Finalize(0));
    EXPECT_EQ(0, engine_.Count("FineDeinitialize"));  // never started
}

TEST_F(EngineDispatchTest, NoWorkMemoryOrAFailingEngineLeavesItNotStarted) {
    const OcrLanguageCode codes[] = {7, 0};
    EXPECT_EQ(LUMOCR_E_NOMEMORY, LumOCR_Initialize(nullptr, kWorkBytes, nullptr, codes, folder_.Path().c_str()));
    EXPECT_EQ(0, engine_.Count("FineInitialize"));

    engine_.script().initializeResult = FINE_E_RECOGNIZER;
    EXPECT_EQ(FINE_E_RECOGNIZER, Start({7}));
    OcrImage image = Image();
    OcrTextResult text{};
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, LumOCR_RecognizeDocument(&image, &text));
}

TEST_F(EngineDispatchTest, DatabaseFilesFollowTheLanguageList) {
    struct Case {
        std::vector<OcrLanguageCode> codes;
        std::vector<std::string> loaded;
        std::vector<std::string> notLoaded;
    };
    const Case cases[] = {
        {{7, 12}, {"English.edc", "Russian.edc", "English.akw", "Russian.akw", "RussianEnglish.rom"}, {"AllLanguages.rom"}},
        {{12, 7}, {"Russian.edc", "English.edc", "Russian.akw", "English.akw", "AllLanguages.rom"}, {}},
        {{27}, {"Greek.edc", "English.rom"}, {".akw"}},
        {{16, 24}, {"English.edc", "French.edc", "FrenchEnglish.rom"}, {".akw"}},
        {{7, 8, 9}, {"AllLanguages.rom"}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codes.front());
        testing::internal::CaptureStderr();
        EXPECT_EQ(FINE_OK, Start(c.codes));
        const std::string log = testing::internal::GetCapturedStderr();
        std::size_t at = 0;
        for (const std::string& name : c.loaded) {
            const std::size_t found = log.find(folder_.Path() + name + "]", at);
            EXPECT_NE(std::string::npos, found) << name;
            if (found != std::string::npos) at = found;  // in this order
        }
        for (const std::string& name : c.notLoaded) EXPECT_EQ(std::string::npos, log.find(name)) << name;
        LumOCR_Finalize(0);
    }
}

TEST_F(EngineDispatchTest, FastWordIsStoredInvertedAndReachesTheEngine) {
    Start({7});
    OcrImage image = Image();
    OcrTextResult text{};
    LumOCR_RecognizeDocument(&image, &text);
    EXPECT_EQ(1, engine_.calls().back().fast);  // skip orientation detection by default
    LumOCR_SetFast(1);
    LumOCR_RecognizeDocument(&image, &text);
    EXPECT_EQ(0, engine_.calls().back().fast);
    LumOCR_SetFast(0);
    LumOCR_RecognizeDocument(&image, &text);
    EXPECT_EQ(1, engine_.calls().back().fast);
    EXPECT_EQ(0, LumOCR_SetSkew(5));
    EXPECT_EQ(lumocr::kResultBufferBytes, engine_.calls().back().bufferSize);
}

TEST_F(EngineDispatchTest, PageLinesAreSortedByTopAndEndWithCrLf) {
    engine_.script().lines = {{u"second", {0, 40, 50, 50}},
                              {u"first", {0, 10, 50, 20}},
                              {u"third a", {0, 70, 50, 80}},
                              {u"third b", {60, 70, 90, 80}}};
    Start({16});
    OcrImage image = Image();
    OcrTextResult text{};
    EXPECT_EQ(FINE_OK, LumOCR_RecognizeDocument(&image, &text));
    EXPECT_STREQ("first\r\nsecond\r\nthird a\r\nthird b\r\n", text.text);
    EXPECT_EQ(static_cast<std::int32_t>(std::strlen(text.text)), text.length);

    RECT region{5, 6, 30, 20};
    EXPECT_EQ(FINE_OK, LumOCR_RecognizeLine(&image, &region, &text));
    EXPECT_EQ(5, engine_.calls().back().region.left);
    EXPECT_EQ(20, engine_.calls().back().region.bottom);
    EXPECT_STREQ("first\r\nsecond\r\nthird a\r\nthird b\r\n", text.text);
}

TEST_F(EngineDispatchTest, LongPageTextIsCutAtTheResultSize) {
    // 1800 lines of one character and CR LF: more than the text holds, less than the engine's buffer.
    engine_.script().lines.assign(1800, CannedWord{u"x", {0, 0, 10, 10}});
    Start({16});
    OcrImage image = Image();
    OcrTextResult text{};
    LumOCR_RecognizeDocument(&image, &text);
    EXPECT_EQ(kOcrTextBytes - 1, text.length);
    EXPECT_EQ('\0', text.text[kOcrTextBytes - 1]);
}

TEST_F(EngineDispatchTest, CodePageIsCyrillicWheneverACyrillicLanguageIsListed) {
    engine_.script().lines = {{u"\u0422\u0435\u0441\u0442 \u00e9", {0, 0, 10, 10}}};
    struct Case {
        std::vector<OcrLanguageCode> codes;
        std::string expected;
    };
    const Case cases[] = {
        {{16, 34}, "\xD2\xE5\xF1\xF2 ?\r\n"},  // Russian second
        {{34, 16}, "\xD2\xE5\xF1\xF2 ?\r\n"},  // Russian first
        {{16, 17}, "\xD2\xE5\xF1\xF2 ?\r\n"},  // Bulgarian
        {{16, 38}, "\xD2\xE5\xF1\xF2 ?\r\n"},  // Ukrainian
        {{16, 24}, "???? \xE9\r\n"},           // French: Western
    };
    OcrImage image = Image();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.codes[1]);
        Start(c.codes);
        OcrTextResult text{};
        LumOCR_RecognizeDocument(&image, &text);
        EXPECT_EQ(c.expected, std::string(text.text));
    }
}

TEST_F(EngineDispatchTest, EngineResultAndCancelPassThrough) {
    engine_.script().progressSteps = {10, 50};
    static int calls;
    calls = 0;
    Start({7}, [](std::int32_t p) -> std::int32_t {
        ++calls;
        return p < 50;
    });
    OcrImage image = Image();
    OcrTextResult text{};
    EXPECT_EQ(FINE_E_CANCELLED, LumOCR_RecognizeDocument(&image, &text));
    EXPECT_EQ(2, calls);
    EXPECT_EQ(0, text.length);
}

// --- cards --------------------------------------------------------------------

CannedField Field(std::int32_t kind, std::vector<std::u16string> words, int left = 0) {
    CannedField f{kind, {}};
    for (std::size_t i = 0; i < words.size(); ++i) {
        const int x = left + static_cast<int>(i) * 10;
        f.words.push_back({words[i], {x, 5, x + 8, 15}});
    }
    return f;
}

TEST_F(EngineDispatchTest, CardFieldsBecomeTypedRecordsInOrder) {
    engine_.script().fields = {
        Field(FINE_FIELD_NAME, {u"Avery", u"Smith"}),
        Field(FINE_FIELD_PHONE, {u"+44", u"(0)", u"20", u"9876", u"5432"}),
        Field(FINE_FIELD_EMAIL, {u"avery.smith@contoso.com"}),
        Field(FINE_FIELD_WEB, {u"https://www.contoso.com/"}),
        Field(FINE_FIELD_COMPANY, {u"Contoso", u"Ltd"}),
        Field(FINE_FIELD_ADDRESS, {u"2", u"Kingdom", u"Street"}),
        Field(FINE_FIELD_OTHER, {u"Senior", u"Researcher"}),
        Field(FINE_FIELD_FAX, {u"+44", u"20", u"6789", u"2345"}),
        Field(FINE_FIELD_MOBILE, {u"07911", u"123456"}),
    };
    Start({7});
    OcrImage image = Image();
    std::vector<OcrCardField> fields = EmptyFields();
    EXPECT_EQ(FINE_OK, LumOCR_RecognizeBizCard(&image, fields.data()));
    EXPECT_TRUE(engine_.calls().back().keywordsPassed);
    const std::vector<std::pair<std::int32_t, std::string>> expected = {
        {OCR_FIELD_NAME, "Avery Smith"},
        {OCR_FIELD_TELEPHONE, "+44 (0) 20 9876 5432"},
        {OCR_FIELD_EMAIL, "avery.smith@contoso.com"},
        {OCR_FIELD_WEB, "https://www.contoso.com/"},
        {OCR_FIELD_COMPANY, "Contoso Ltd"},
        {OCR_FIELD_ADDRESS, "2 Kingdom Street"},
        {OCR_FIELD_OTHER, "Senior Researcher"},
        {OCR_FIELD_FAX, "+44 20 6789 2345"},
        {OCR_FIELD_MOBILE, "07911 123456"},
    };
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(expected[i].first, fields[i].type);
        EXPECT_EQ(expected[i].second, std::string(fields[i].text));
    }
    EXPECT_EQ(OCR_FIELD_NONE, fields[expected.size()].type);
    EXPECT_EQ(0, fields[0].rect.left);
    EXPECT_EQ(18, fields[0].rect.right);
}

TEST_F(EngineDispatchTest, CardRectIsTheUnionOfTheFirstTwentyWords) {
    CannedField wide{FINE_FIELD_ADDRESS, {}};
    for (int i = 0; i < 25; ++i) wide.words.push_back({u"w", {100 + 10 * i, 50 - i, 108 + 10 * i, 60 + i}});
    CannedField single{FINE_FIELD_NAME, {{u"Solo", {7, 8, 9, 10}}}};
    CannedField empty{FINE_FIELD_OTHER, {}};
    engine_.script().fields = {wide, single, empty};
    Start({7});
    OcrImage image = Image();
    std::vector<OcrCardField> fields = EmptyFields();
    LumOCR_RecognizeBizCard(&image, fields.data());
    EXPECT_EQ(100, fields[0].rect.left);
    EXPECT_EQ(31, fields[0].rect.top);      // word 19
    EXPECT_EQ(298, fields[0].rect.right);   // word 19, not word 24
    EXPECT_EQ(79, fields[0].rect.bottom);
    EXPECT_EQ(7, fields[1].rect.left);
    EXPECT_EQ(10, fields[1].rect.bottom);
    EXPECT_EQ(0, fields[2].rect.right);
}

TEST_F(EngineDispatchTest, CardFieldsStopAtOneHundred) {
    for (int i = 0; i < 130; ++i) engine_.script().fields.push_back(Field(FINE_FIELD_OTHER, {u"x"}));
    Start({7});
    OcrImage image = Image();
    std::vector<OcrCardField> fields = EmptyFields();
    LumOCR_RecognizeBizCard(&image, fields.data());
    for (const OcrCardField& f : fields) EXPECT_EQ(OCR_FIELD_OTHER, f.type);
}

TEST_F(EngineDispatchTest, NoFieldsLeavesTheRecordsAsTheyWere) {
    Start({7});
    OcrImage image = Image();
    std::vector<OcrCardField> fields = EmptyFields();
    fields[0].type = 42;
    engine_.script().recognizeResult = 17;
    EXPECT_EQ(17, LumOCR_RecognizeBizCard(&image, fields.data()));
    EXPECT_EQ(42, fields[0].type);
    EXPECT_EQ(OCR_FIELD_NONE, fields[1].type);
}

TEST_F(EngineDispatchTest, FixedRulesForExcludedNamesAndTheMobileCompany) {
    struct Case {
        CannedField field;
        std::int32_t type;
        std::string text;
    };
    const Case cases[] = {
        {Field(FINE_FIELD_NAME, {u"Business", u"Card", u"Maker"}), OCR_FIELD_OTHER, ""},
        {Field(FINE_FIELD_NAME, {u"Avery", u"Smith"}), OCR_FIELD_NAME, "Avery Smith"},
        {Field(FINE_FIELD_COMPANY, {u"Mobile-"}), OCR_FIELD_COMPANY, "T-Mobile"},
        {Field(FINE_FIELD_COMPANY, {u"-Mobile"}), OCR_FIELD_COMPANY, "T-Mobile"},
        {Field(FINE_FIELD_COMPANY, {u"Deutsche", u"T-Mobile", u"AG"}), OCR_FIELD_COMPANY, "T-Mobile"},
        {Field(FINE_FIELD_COMPANY, {u"Mobile", u"Solutions"}), OCR_FIELD_COMPANY, "Mobile Solutions"},
    };
    OcrImage image = Image();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        engine_.script().fields = {c.field};
        Start({7});
        std::vector<OcrCardField> fields = EmptyFields();
        LumOCR_RecognizeBizCard(&image, fields.data());
        EXPECT_EQ(c.type, fields[0].type);
        EXPECT_EQ(c.text, std::string(fields[0].text));
    }
}

TEST_F(EngineDispatchTest, CyrillicCardsAreConvertedDirectlyWithoutCorrection) {
    engine_.script().fields = {
        Field(FINE_FIELD_NAME, {u"\u0418\u0432\u0430\u043d"}), Field(FINE_FIELD_OTHER, {u"x"}),
        Field(FINE_FIELD_UNKNOWN, {u"TEL", u"02", u"123", u"4567"}), Field(12, {u"y"})};
    Start({7, 12});
    OcrImage image = Image();
    std::vector<OcrCardField> fields = EmptyFields();
    LumOCR_RecognizeBizCard(&image, fields.data());
    EXPECT_EQ(OCR_FIELD_NAME, fields[0].type);
    EXPECT_STREQ("\xC8\xE2\xE0\xED", fields[0].text);
    EXPECT_EQ(OCR_FIELD_ENGINE4, fields[1].type);
    EXPECT_EQ(OCR_FIELD_OTHER, fields[2].type);
    EXPECT_STREQ("TEL 02 123 4567", fields[2].text);  // no keyword pass on this path
    EXPECT_EQ(OCR_FIELD_NONE, fields[3].type);      // an unknown kind leaves the type
}

TEST_F(EngineDispatchTest, ImageChecksWorkWithoutAStart) {
    EXPECT_EQ(0, LumOCR_BrightnessDetection());
    EXPECT_EQ(0, LumOCR_LineDetection());
}

}  // namespace
