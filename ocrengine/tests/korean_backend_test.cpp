// The Korean back-end over the scripted engine library: language numbers,
// the card record's slots, start-up failures and the calls refused after them.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "FakeKorEngine.h"
#include "KoreanBackend.h"
#include "LumOCREngine.h"
#include "lumtest/tempdir.h"
#include "plat/debug.h"
#include "plat/utf.h"

namespace {

constexpr std::int32_t kWorkBytes = 0x200000;
constexpr char kGa[] = "\xB0\xA1";  // a Hangul syllable in code page 949

class KoreanBackendTest : public ::testing::Test {
protected:
    KoreanBackendTest() {
        std::filesystem::create_directories(dir_.path() / "DB" / "KOR");
        Put("patterns.dat", "PATT");
        Put("keywords.dat", "KEYW");
    }
    ~KoreanBackendTest() override { LumOCR_Finalize(0); }

    void Put(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_.path() / "DB" / "KOR" / name, std::ios::binary) << bytes;
    }
    std::int32_t Start(OcrLanguageCode code) {
        const OcrLanguageCode codes[] = {code, 0};
        const std::string folder = dir_.path().string() + "/";
        return LumOCR_Initialize(work_.data(), kWorkBytes, nullptr, codes, folder.c_str());
    }
    std::vector<OcrCardField> ReadCard(std::int32_t* result = nullptr) {
        std::vector<OcrCardField> fields(kOcrMaxCardFields);
        for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
        OcrImage image = Image();
        const std::int32_t r = LumOCR_RecognizeBizCard(&image, fields.data());
        if (result) *result = r;
        return fields;
    }
    OcrImage Image() { return OcrImage{pixels_.data(), 64, 32}; }

    fakekor::FakeEngine engine_;
    lumtest::TempDir dir_;
    std::vector<std::uint8_t> work_ = std::vector<std::uint8_t>(kWorkBytes, 0);
    std::vector<BYTE> pixels_ = std::vector<BYTE>(64 * 32, 255);
};

TEST_F(KoreanBackendTest, LanguageNumbersPerCodeForPageCardAndRegion) {
    struct Case {
        OcrLanguageCode code;
        std::int32_t page, region;
    };
    for (const Case& c : {Case{1, 11, 1}, Case{2, 7, 2}, Case{3, 15, 0}}) {
        SCOPED_TRACE(c.code);
        ASSERT_EQ(0, Start(c.code));
        OcrImage image = Image();
        OcrTextResult text{};
        RECT region{1, 2, 30, 20};
        LumOCR_RecognizeDocument(&image, &text);
        EXPECT_EQ(c.page, engine_.calls().back().language);
        LumOCR_RecognizeLine(&image, &region, &text);
        EXPECT_EQ(c.region, engine_.calls().back().language);
        EXPECT_EQ(20, engine_.calls().back().region.bottom);
        ReadCard();
        EXPECT_EQ(c.page, engine_.calls().back().language);
        EXPECT_EQ(0, LumOCR_Finalize(0));
    }
}

TEST_F(KoreanBackendTest, StartHandsTheDatabasesAndTheWholeWorkMemory) {
    ASSERT_EQ(0, Start(1));
    ASSERT_EQ(2u, engine_.calls().size());
    EXPECT_EQ("PATT", engine_.calls()[0].patterns);
    EXPECT_EQ("KEYW", engine_.calls()[0].keywords);
    EXPECT_EQ("LumKorSetWorkingMem", engine_.calls()[1].entry);
    EXPECT_EQ(kWorkBytes, engine_.calls()[1].workBytes);
    EXPECT_TRUE(engine_.calls()[1].scratch);
}

TEST_F(KoreanBackendTest, CardOfNameAndTelephoneGivesTwoRecords) {
    std::strcpy(engine_.script().card.name, "Kim");
    std::strcpy(engine_.script().card.telephone[0], "02-555-1234");
    ASSERT_EQ(0, Start(1));
    std::int32_t result = -1;
    const std::vector<OcrCardField> fields = ReadCard(&result);
    EXPECT_EQ(0, result);
    EXPECT_EQ(OCR_FIELD_NAME, fields[0].type);
    EXPECT_STREQ("Kim", fields[0].text);
    EXPECT_EQ(OCR_FIELD_TELEPHONE, fields[1].type);
    EXPECT_STREQ("02-555-1234", fields[1].text);
    EXPECT_EQ(OCR_FIELD_NONE, fields[2].type);
}

TEST_F(KoreanBackendTest, FullCardGivesTwentyTwoRecordsInTheRecordsOrder) {
    KorCardRecord& card = engine_.script().card;
    int n = 0;
    auto fill = [&](char* slot) { std::snprintf(slot, 8, "t%d", n++); };
    fill(card.name), fill(card.title), fill(card.company), fill(card.department);
    for (auto& a : card.address) fill(a);
    for (auto& p : card.postcode) fill(p);
    for (auto& t : card.telephone) fill(t);
    for (auto& f : card.fax) fill(f);
    fill(card.mobile), fill(card.other), fill(card.email), fill(card.web);
    for (auto& m : card.more) fill(m);
    ASSERT_EQ(0, Start(1));
    const std::vector<OcrCardField> fields = ReadCard();
    const std::int32_t types[] = {0, 1, 2, 3, 5, 5, 5, 5, 6, 6, 7, 7, 8, 8, 9, 13, 11, 12, 13, 13, 13, 13};
    for (int i = 0; i < 22; ++i) EXPECT_EQ(types[i], fields[i].type) << i;
    EXPECT_EQ(OCR_FIELD_NONE, fields[22].type);
    EXPECT_STREQ("t17", fields[16].text);  // the web address, read before the e-mail
    EXPECT_STREQ("t16", fields[17].text);
}

TEST_F(KoreanBackendTest, SlotsWithoutTheirZeroAreCutOnACharacter) {
    KorCardRecord& card = engine_.script().card;
    for (std::size_t i = 0; i < sizeof card.name; i += 2) std::memcpy(card.name + i, kGa, 2);
    std::strcpy(card.title, "Title");
    for (std::size_t i = 0; i < sizeof card.email; i += 2) std::memcpy(card.email + i, kGa, 2);
    std::memset(card.web, 'w', sizeof card.web);
    ASSERT_EQ(0, Start(1));
    const std::vector<OcrCardField> fields = ReadCard();
    EXPECT_EQ(160u, std::strlen(fields[0].text));  // the whole slot, not into the title's
    EXPECT_STREQ("Title", fields[1].text);
    EXPECT_EQ(OCR_FIELD_WEB, fields[2].type);
    EXPECT_EQ(255u, std::strlen(fields[2].text));
    EXPECT_EQ(OCR_FIELD_EMAIL, fields[3].type);
    EXPECT_EQ(254u, std::strlen(fields[3].text));  // 255 would split a syllable
}

TEST_F(KoreanBackendTest, PageTextWithoutItsZeroEndsOnACharacter) {
    std::string text;
    while (text.size() < sizeof(OcrTextResult::text)) text += kGa;
    engine_.script().text = text;  // a lead byte falls on the last place before the zero
    ASSERT_EQ(0, Start(2));
    OcrImage image = Image();
    OcrTextResult result{};
    LumOCR_RecognizeDocument(&image, &result);
    EXPECT_EQ(kOcrTextBytes - 2, result.length);
    EXPECT_EQ('\0', result.text[result.length]);
}

TEST_F(KoreanBackendTest, MissingLibraryIsLoggedAndRecognitionRefused) {
    engine_.loader().libraryMissing = true;
    plat::DebugCapture log;
    EXPECT_EQ(LUMOCR_E_NOENGINE, Start(1));
    EXPECT_TRUE(log.Contains(L"LumOCR_Initialize_KOR start\n[TRAVEK]kor dll load start!!!\n"
                             L"[travek:KorEngine] library load fail~!\n"
                             L"[travek:KorEngine] LumKorLoadDB_ load fail~!\n"));
    EXPECT_TRUE(log.Contains(L"[travek:KorEngine] LumKorCardReader_ load fail~!\n"));
    OcrImage image = Image();
    OcrTextResult text{};
    std::strcpy(text.text, "old");
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, LumOCR_RecognizeDocument(&image, &text));
    EXPECT_STREQ("", text.text);
    EXPECT_EQ(0, text.length);
    std::int32_t result = 0;
    const std::vector<OcrCardField> fields = ReadCard(&result);
    EXPECT_EQ(LUMOCR_E_NOTSTARTED, result);
    EXPECT_EQ(OCR_FIELD_NONE, fields[0].type);
    EXPECT_TRUE(engine_.calls().empty());
}

TEST_F(KoreanBackendTest, EachMissingEntryIsLoggedAndNoEntryCalled) {
    for (const wchar_t* entry : {L"LumKorLoadDB", L"LumKorSetWorkingMem", L"LumKorDocRecog", L"LumKorLineRecog",
                                 L"LumKorCardReader"}) {
        SCOPED_TRACE(plat::ToUtf8(entry));
        engine_.loader().missingEntries = {entry};
        plat::DebugCapture log;
        EXPECT_EQ(LUMOCR_E_NOENGINE, Start(3));
        EXPECT_TRUE(log.Contains(std::wstring(L"[travek:KorEngine] ") + entry + L"_ load fail~!\n"));
        EXPECT_FALSE(log.Contains(L"library load fail"));
        OcrImage image = Image();
        OcrTextResult text{};
        RECT region{0, 0, 8, 8};
        EXPECT_EQ(LUMOCR_E_NOTSTARTED, LumOCR_RecognizeLine(&image, &region, &text));
        EXPECT_TRUE(engine_.calls().empty());
        EXPECT_EQ(engine_.loader().loads, engine_.loader().frees);  // a half-resolved library is not kept
        LumOCR_Finalize(0);
    }
}

TEST_F(KoreanBackendTest, StartFailuresHaveTheirOwnResults) {
    struct Case {
        const char* what;
        const char* removed;
        std::int32_t loadDb, setMemory, expected;
    };
    for (const Case& c : {Case{"no pattern file", "patterns.dat", KOR_OK, KOR_OK, LUMOCR_E_LOADFAILED},
                          Case{"no keyword file", "keywords.dat", KOR_OK, KOR_OK, LUMOCR_E_LOADFAILED},
                          Case{"databases refused", nullptr, KOR_E_BADDATA, KOR_OK, LUMOCR_E_NOTSTARTED},
                          Case{"memory refused", nullptr, KOR_OK, KOR_E_INVALIDARG, LUMOCR_E_NOTSTARTED}}) {
        SCOPED_TRACE(c.what);
        if (c.removed) std::filesystem::remove(dir_.path() / "DB" / "KOR" / c.removed);
        engine_.script().loadDbResult = c.loadDb;
        engine_.script().setMemoryResult = c.setMemory;
        EXPECT_EQ(c.expected, Start(1));
        OcrImage image = Image();
        OcrTextResult text{};
        EXPECT_EQ(LUMOCR_E_NOTSTARTED, LumOCR_RecognizeDocument(&image, &text));
        EXPECT_EQ(0, engine_.Count("LumKorDocRecog"));
        LumOCR_Finalize(0);
        Put("patterns.dat", "PATT");
        Put("keywords.dat", "KEYW");
    }
}

TEST_F(KoreanBackendTest, FinalizeTwiceFreesTheLibraryOnce) {
    ASSERT_EQ(0, Start(1));
    EXPECT_EQ(0, LumOCR_Finalize(0));
    EXPECT_EQ(0, LumOCR_Finalize(0));
    EXPECT_EQ(1, engine_.loader().loads);
    EXPECT_EQ(1, engine_.loader().frees);
}

}  // namespace
