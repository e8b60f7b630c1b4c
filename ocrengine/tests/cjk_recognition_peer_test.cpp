// Korean and Chinese recognition through the exported interface with the
// real engines on pictures drawn in the project's CJK font: the Korean card
// in four states, Korean and Chinese pages upright and turned, the Chinese
// card read as a page, a traditional page with the engine's settings
// switched, and ocrtool reading such pictures from files. Skipped, saying
// why, where the recogniser's language data or the font is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <cwctype>
#include <filesystem>
#include <sstream>
#include <string>
#include <vector>

#include "CjkPictures.h"
#include "LumOCREngine.h"
#include "PictureFile.h"
#include "lumtest/tempdir.h"
#include "plat/codepage.h"
#include "plat/utf.h"

namespace {

constexpr std::int32_t kWorkBytes = 0x200000;
// Character accuracy floors, a little under what was measured.
constexpr double kKoreanPageFloor = 0.97;       // measured 1.00 upright and turned
constexpr double kChinesePageFloor = 0.97;      // measured 1.00 upright and turned
constexpr double kTraditionalPageFloor = 0.93;  // measured 0.96

// Why the CJK recognition cannot run here, or empty.
std::string Missing(std::initializer_list<const char*> languages) {
    if (!std::filesystem::exists(cardgen::kCjkFont)) return std::string("font ") + cardgen::kCjkFont;
    for (const char* language : languages) {
        bool found = false;
        for (const char* base : {"/usr/share/tesseract-ocr/5/tessdata/", "/usr/share/tesseract-ocr/4.00/tessdata/",
                                 "/usr/share/tessdata/"}) {
            found |= std::filesystem::exists(std::string(base) + language + ".traineddata");
        }
        if (!found) return std::string("recogniser data ") + language + " (tesseract-ocr-" + language + ")";
    }
    return {};
}

#define SKIP_WITHOUT(...)                                                                       \
    if (const std::string missing = Missing({__VA_ARGS__}); !missing.empty()) {                 \
        GTEST_SKIP() << "not installed: " << missing << " (tools/scripts/deps.sh installs it)"; \
    }

class Engine {
public:
    Engine(OcrLanguageCode code, const std::string& folder = LUM_ENGINE_DATA_DIR) {
        const OcrLanguageCode codes[] = {code, 0};
        result_ = LumOCR_Initialize(work_.data(), kWorkBytes, nullptr, codes, folder.c_str());
    }
    ~Engine() { LumOCR_Finalize(0); }
    std::int32_t started() const { return result_; }

private:
    std::vector<std::uint8_t> work_ = std::vector<std::uint8_t>(kWorkBytes, 0);
    std::int32_t result_ = 0;
};

std::string ToUtf8(const char* text, UINT codePage) {
    const int n = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
    if (n <= 1) return {};
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(codePage, 0, text, -1, wide.data(), n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return plat::ToUtf8(wide);
}

// As the program reads a page: the direction check on a small copy, then the page.
std::string ReadPage(cardgen::Picture picture, UINT codePage) {
    cardgen::Picture small;
    small.width = 320;
    small.height = 240;
    for (int y = 0; y < small.height; ++y) {
        for (int x = 0; x < small.width; ++x) {
            small.px.push_back(picture.px[static_cast<std::size_t>(y * picture.height / small.height) * picture.width +
                                          x * picture.width / small.width]);
        }
    }
    OcrImage smallImage{small.px.data(), small.width, small.height};
    OcrImage image{picture.px.data(), picture.width, picture.height};
    LumOCR_CheckImageDirection(&smallImage, &image);
    OcrTextResult result{};
    EXPECT_EQ(0, LumOCR_RecognizeDocument(&image, &result));
    EXPECT_EQ(static_cast<std::int32_t>(std::strlen(result.text)), result.length);
    return ToUtf8(result.text, codePage);
}

std::u32string WithoutSpaces(const std::string& utf8) {
    std::u32string out;
    for (wchar_t c : plat::FromUtf8(utf8)) {
        if (!std::iswspace(static_cast<wint_t>(c))) out.push_back(static_cast<char32_t>(c));
    }
    return out;
}

// 1 - edit distance / length of the drawn text, white space ignored.
double CharacterAccuracy(const std::vector<std::string>& drawn, const std::string& read) {
    std::string all;
    for (const std::string& line : drawn) all += line;
    const std::u32string a = WithoutSpaces(all), b = WithoutSpaces(read);
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) row[j] = j;
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t up = row[j];
            row[j] = std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0 : 1)});
            diagonal = up;
        }
    }
    return 1.0 - static_cast<double>(row[b.size()]) / static_cast<double>(a.size());
}

struct CardRecord {
    std::int32_t type;
    std::string text;
};

std::vector<CardRecord> ReadKoreanCard(cardgen::Picture& picture) {
    std::vector<OcrCardField> fields(kOcrMaxCardFields);
    for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
    OcrImage image{picture.px.data(), picture.width, picture.height};
    EXPECT_EQ(0, LumOCR_RecognizeBizCard(&image, fields.data()));
    std::vector<CardRecord> out;
    for (const OcrCardField& f : fields) {
        if (f.type == OCR_FIELD_NONE) break;
        out.push_back({f.type, ToUtf8(f.text, 949)});
    }
    return out;
}

bool Has(const std::vector<CardRecord>& records, std::int32_t type, const std::string& text) {
    return std::any_of(records.begin(), records.end(),
                       [&](const CardRecord& r) { return r.type == type && r.text == text; });
}

std::string Dump(const std::vector<CardRecord>& records) {
    std::ostringstream out;
    for (const CardRecord& r : records) out << r.type << " [" << r.text << "]\n";
    return out.str();
}

TEST(KoreanCardPeer, EveryStateGivesTheFieldsTypedAndSpelled) {
    SKIP_WITHOUT("kor", "eng");
    // A second card whose company has a space, which the scattered layout
    // tends to split into two lines.
    cardgen::KoreanCardText other;
    other.name = "박지훈";
    other.company = "한빛전자 주식회사";
    const struct {
        cardgen::KoreanCardText text;
        cardgen::Distortion distortion;
        const char* name;
    } cards[] = {{{}, cardgen::Distortion::Clean, "clean"},
                 {{}, cardgen::Distortion::Blurred, "blurred"},
                 {{}, cardgen::Distortion::QuarterTurn, "turned"},
                 {{}, cardgen::Distortion::Perspective, "perspective"},
                 {other, cardgen::Distortion::Clean, "second clean"},
                 {other, cardgen::Distortion::QuarterTurn, "second turned"}};
    for (const auto& [text, distortion, name] : cards) {
        SCOPED_TRACE(name);
        cardgen::Picture picture = cardgen::DrawKoreanCard(text, distortion);
        Engine engine(1);
        ASSERT_EQ(0, engine.started());
        const std::vector<CardRecord> records = ReadKoreanCard(picture);
        EXPECT_TRUE(Has(records, OCR_FIELD_NAME, text.name)) << Dump(records);
        EXPECT_TRUE(Has(records, OCR_FIELD_COMPANY, text.company)) << Dump(records);
        EXPECT_TRUE(Has(records, OCR_FIELD_TELEPHONE, text.telephone)) << Dump(records);
        EXPECT_TRUE(Has(records, OCR_FIELD_FAX, text.fax)) << Dump(records);
        EXPECT_TRUE(Has(records, OCR_FIELD_MOBILE, text.mobile)) << Dump(records);
        EXPECT_TRUE(Has(records, OCR_FIELD_EMAIL, text.email)) << Dump(records);
        EXPECT_TRUE(Has(records, OCR_FIELD_WEB, text.web)) << Dump(records);
        EXPECT_TRUE(Has(records, OCR_FIELD_ENGINE1, text.title)) << Dump(records);  // the job title's slot
    }
}

TEST(CjkPagePeer, PagesUprightAndTurnedReadWithTheirFloors) {
    const struct {
        cardgen::PageScript script;
        OcrLanguageCode code;
        UINT codePage;
        double floor;
        const char* language;
    } pages[] = {{cardgen::PageScript::Korean, 2, 949, kKoreanPageFloor, "kor"},
                 {cardgen::PageScript::Simplified, 4, 936, kChinesePageFloor, "chi_sim"}};
    for (const auto& page : pages) {
        SKIP_WITHOUT(page.language, "eng", "osd");
        for (const bool turned : {false, true}) {
            SCOPED_TRACE(std::string(page.language) + (turned ? " turned" : " upright"));
            Engine engine(page.code);
            ASSERT_EQ(0, engine.started());
            const std::string read = ReadPage(cardgen::DrawCjkPage(page.script, turned), page.codePage);
            const double accuracy = CharacterAccuracy(cardgen::CjkPageLines(page.script), read);
            RecordProperty(std::string(page.language) + (turned ? "_turned" : "_upright"), std::to_string(accuracy));
            EXPECT_GE(accuracy, page.floor) << read;
        }
    }
}

TEST(CjkPagePeer, ChineseCardReadAsAPageGivesEveryLine) {
    SKIP_WITHOUT("chi_sim", "eng");
    Engine engine(5);
    ASSERT_EQ(0, engine.started());
    const std::string read = ReadPage(cardgen::DrawChineseCard(), 936);
    std::string squeezed;
    for (char32_t c : WithoutSpaces(read)) squeezed += plat::ToUtf8(std::wstring(1, static_cast<wchar_t>(c)));
    for (const std::string& line : cardgen::ChineseCardLines()) {
        std::string want;
        for (char32_t c : WithoutSpaces(line)) want += plat::ToUtf8(std::wstring(1, static_cast<wchar_t>(c)));
        EXPECT_NE(std::string::npos, squeezed.find(want)) << line << "\n" << read;
    }
}

TEST(CjkPagePeer, TraditionalPageWithTheSettingsSwitched) {
    SKIP_WITHOUT("chi_tra", "eng");
    lumtest::TempDir folder;
    const std::string command = std::string(LUM_BINARY_DIR "/bin/cjkdata ") + folder.path().string() + " traditional";
    ASSERT_EQ(0, std::system(command.c_str()));
    Engine engine(6, folder.path().string() + "/");
    ASSERT_EQ(0, engine.started());
    const std::string read = ReadPage(cardgen::DrawCjkPage(cardgen::PageScript::Traditional, false), 936);
    const double accuracy = CharacterAccuracy(cardgen::CjkPageLines(cardgen::PageScript::Traditional), read);
    RecordProperty("traditional_upright", std::to_string(accuracy));
    EXPECT_GE(accuracy, kTraditionalPageFloor) << read;
}

// What ocrtool prints for a picture file, and its exit status.
std::string RunOcrtool(const std::string& arguments, int& status) {
    const std::string command = std::string(LUM_BINARY_DIR "/bin/ocrtool ") + arguments + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    std::string out;
    if (!pipe) {
        status = -1;
        return out;
    }
    char buffer[4096];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) out.append(buffer, n);
    status = pclose(pipe);
    return out;
}

// A Korean card in the camera's frame, where the program crops it, and a
// Chinese page as picture files through ocrtool, which reads them as the
// program does per picture (grey, crop, direction check, engine) and prints
// UTF-8; the Chinese engine reads no cards and says so.
TEST(CjkToolPeer, PictureFilesReadToUtf8) {
    SKIP_WITHOUT("kor", "chi_sim", "eng", "osd");
    lumtest::TempDir folder;
    const cardgen::KoreanCardText text;
    const cardgen::Picture card = cardgen::DrawKoreanCard(text, cardgen::Distortion::Clean);
    ocrtool::Grey frame{1280, 960, std::vector<std::uint8_t>(1280 * 960, 200)};
    for (int y = 0; y < card.height; ++y) {
        std::copy_n(&card.px[static_cast<std::size_t>(y) * card.width], card.width,
                    &frame.px[static_cast<std::size_t>(y + 140) * 1280 + 40]);
    }
    const std::string cardFile = (folder.path() / "card.pgm").string();
    ASSERT_TRUE(ocrtool::WritePgm(cardFile, frame));
    int status = 0;
    const std::string fields = RunOcrtool("card " + cardFile + " --lang 1", status);
    EXPECT_EQ(0, status);
    for (const std::string& line : {"name     \t" + text.name + "\t", "company  \t" + text.company + "\t",
                                    "telephone\t" + text.telephone + "\t"}) {
        EXPECT_NE(std::string::npos, ("\n" + fields).find("\n" + line)) << line << "\n" << fields;
    }

    const cardgen::Picture page = cardgen::DrawCjkPage(cardgen::PageScript::Simplified, false);
    const std::string pageFile = (folder.path() / "page.pgm").string();
    ASSERT_TRUE(ocrtool::WritePgm(pageFile, ocrtool::Grey{page.width, page.height, page.px}));
    const std::string read = RunOcrtool("doc " + pageFile + " --lang 4", status);
    EXPECT_EQ(0, status);
    EXPECT_GE(CharacterAccuracy(cardgen::CjkPageLines(cardgen::PageScript::Simplified), read), kChinesePageFloor) << read;

    RunOcrtool("card " + pageFile + " --lang 4", status);
    EXPECT_NE(0, status);
}

}  // namespace
