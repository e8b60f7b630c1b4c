// Recognition through the exported interface with the real European engine:
// a synthetic card in four states, a document page, cancelling, and the real
// business-card photograph through the program's own path.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "CardCorpus.h"
#include "CardPicture.h"
#include "EuropeanBackend.h"
#include "LumOCREngine.h"
#include "PictureFile.h"
#include "lumtest/tempdir.h"

// The page reader of the peer (after our headers: it defines TRUE and FALSE).
#include <leptonica/allheaders.h>

namespace {

constexpr std::int32_t kWorkBytes = 0x200000;
constexpr double kPhototestFloor = 0.98;  // measured 1.00

class Engine {
public:
    explicit Engine(std::vector<OcrLanguageCode> codes, OcrProgressCallback progress = nullptr) {
        lumocr::UseFineApi(nullptr);
        codes.push_back(0);
        result_ = LumOCR_Initialize(work_.data(), kWorkBytes, progress, codes.data(), LUM_ENGINE_DATA_DIR);
    }
    ~Engine() { LumOCR_Finalize(0); }
    std::int32_t started() const { return result_; }

private:
    std::vector<std::uint8_t> work_ = std::vector<std::uint8_t>(kWorkBytes, 0);
    std::int32_t result_ = 0;
};

std::vector<OcrCardField> Recognize(std::vector<std::uint8_t>& pixels, int width, int height, std::int32_t* result) {
    std::vector<OcrCardField> fields(kOcrMaxCardFields);
    for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
    OcrImage image{pixels.data(), width, height};
    *result = LumOCR_RecognizeBizCard(&image, fields.data());
    std::vector<OcrCardField> found;
    for (const OcrCardField& f : fields) {
        if (f.type == OCR_FIELD_NONE) break;
        found.push_back(f);
    }
    return found;
}

bool Has(const std::vector<OcrCardField>& fields, std::int32_t type, const std::string& text) {
    return std::any_of(fields.begin(), fields.end(),
                       [&](const OcrCardField& f) { return f.type == type && text == f.text; });
}

std::string Dump(const std::vector<OcrCardField>& fields) {
    std::ostringstream out;
    for (const OcrCardField& f : fields) out << f.type << " [" << f.text << "]\n";
    return out.str();
}

TEST(SyntheticCardPeer, EveryStateGivesTheMainFieldsTypedAndSpelled) {
    const struct {
        cardgen::Distortion distortion;
        const char* name;
    } states[] = {{cardgen::Distortion::Clean, "clean"},
                  {cardgen::Distortion::Blurred, "blurred"},
                  {cardgen::Distortion::QuarterTurn, "turned"},
                  {cardgen::Distortion::Perspective, "perspective"}};
    const cardgen::CardText text;
    for (const auto& state : states) {
        SCOPED_TRACE(state.name);
        cardgen::Picture picture = cardgen::DrawCard(text, state.distortion);
        ASSERT_FALSE(picture.px.empty()) << "no font";
        // The quarter turn is found by the engine's orientation detection.
        LumOCR_SetFast(state.distortion == cardgen::Distortion::QuarterTurn ? 1 : 0);
        Engine engine({7});
        ASSERT_EQ(0, engine.started());
        std::int32_t result = -1;
        const auto fields = Recognize(picture.px, picture.width, picture.height, &result);
        LumOCR_SetFast(0);
        EXPECT_EQ(FINE_OK, result);
        EXPECT_TRUE(Has(fields, OCR_FIELD_NAME, text.name)) << Dump(fields);
        EXPECT_TRUE(Has(fields, OCR_FIELD_COMPANY, text.company)) << Dump(fields);
        EXPECT_TRUE(Has(fields, OCR_FIELD_TELEPHONE, text.telephone)) << Dump(fields);
        EXPECT_TRUE(Has(fields, OCR_FIELD_EMAIL, text.email)) << Dump(fields);
        EXPECT_TRUE(Has(fields, OCR_FIELD_WEB, text.web)) << Dump(fields);
    }
}

cardgen::Picture TurnedClockwise(const cardgen::Picture& src, int quarters) {
    cardgen::Picture out = src;
    for (int q = 0; q < quarters; ++q) {
        const cardgen::Picture from = out;
        out.width = from.height;
        out.height = from.width;
        for (int y = 0; y < from.height; ++y) {
            for (int x = 0; x < from.width; ++x) {
                out.px[static_cast<std::size_t>(x) * out.width + (from.height - 1 - y)] =
                    from.px[static_cast<std::size_t>(y) * from.width + x];
            }
        }
    }
    return out;
}

// In the program's own (fast) mode: a card held sideways or upside down is
// set upright before its lines are read.
TEST(SyntheticCardPeer, EveryTurnIsSetUpright) {
    const cardgen::CardText text;
    const cardgen::Picture upright = cardgen::DrawCard(text, cardgen::Distortion::Perspective);
    ASSERT_FALSE(upright.px.empty());
    for (const int quarters : {1, 2, 3}) {
        SCOPED_TRACE(quarters);
        cardgen::Picture picture = TurnedClockwise(upright, quarters);
        Engine engine({7});
        std::int32_t result = -1;
        const auto fields = Recognize(picture.px, picture.width, picture.height, &result);
        EXPECT_EQ(FINE_OK, result);
        EXPECT_TRUE(Has(fields, OCR_FIELD_NAME, text.name)) << Dump(fields);
        EXPECT_TRUE(Has(fields, OCR_FIELD_TELEPHONE, text.telephone)) << Dump(fields);
        EXPECT_TRUE(Has(fields, OCR_FIELD_EMAIL, text.email)) << Dump(fields);
    }
}

// Cards whose company, numbers and address are printed light on a grey band
// or a dark plate: those lines are read like the dark ones.
TEST(SyntheticCardPeer, LightPrintOnBandsAndPlatesIsRead) {
    for (const int index : {1, 2, 5, 6}) {  // band, plate, band, plate
        const cardgen::CorpusCard card = cardgen::MakeCorpusCard(5, index, false);
        SCOPED_TRACE(card.design);
        ASSERT_FALSE(card.picture.px.empty());
        ASSERT_FALSE(card.lightOnDark.empty());
        // The program's card frame of the 1280 x 960 picture.
        ocrtool::Grey grey = ocrtool::Crop(card.picture, 40, 140, 1240, 820);
        Engine engine({7});
        std::int32_t result = -1;
        const auto fields = Recognize(grey.px, grey.width, grey.height, &result);
        EXPECT_EQ(FINE_OK, result);
        for (const auto& [key, value] : card.truth) {
            const bool light = std::find(card.lightOnDark.begin(), card.lightOnDark.end(), key) != card.lightOnDark.end();
            if (!light || key == "address") continue;
            const bool read = std::any_of(fields.begin(), fields.end(),
                                          [&](const OcrCardField& f) { return value == f.text; });
            EXPECT_TRUE(read) << key << " " << value << "\n" << Dump(fields);
        }
    }
}

TEST(SyntheticCardPeer, GreyPrintIsReadLikeBlack) {
    cardgen::CardText text;
    text.greyInk = 125;  // half as dark as the paper
    cardgen::Picture picture = cardgen::DrawCard(text, cardgen::Distortion::Blurred);
    ASSERT_FALSE(picture.px.empty());
    Engine engine({7});
    std::int32_t result = -1;
    const auto fields = Recognize(picture.px, picture.width, picture.height, &result);
    EXPECT_EQ(FINE_OK, result);
    EXPECT_TRUE(Has(fields, OCR_FIELD_NAME, text.name)) << Dump(fields);
    EXPECT_TRUE(Has(fields, OCR_FIELD_TELEPHONE, text.telephone)) << Dump(fields);
    EXPECT_TRUE(Has(fields, OCR_FIELD_EMAIL, text.email)) << Dump(fields);
}

TEST(SyntheticCardPeer, FieldBoxesLieOnTheirText) {
    cardgen::Picture picture = cardgen::DrawCard(cardgen::CardText{}, cardgen::Distortion::Clean);
    ASSERT_FALSE(picture.px.empty());
    Engine engine({7});
    std::int32_t result = -1;
    const auto fields = Recognize(picture.px, picture.width, picture.height, &result);
    const auto name = std::find_if(fields.begin(), fields.end(), [](const OcrCardField& f) { return f.type == OCR_FIELD_NAME; });
    ASSERT_NE(fields.end(), name);
    // Drawn from x 90 at baseline 140, 52 pixels high.
    EXPECT_NEAR(90, name->rect.left, 8);
    EXPECT_NEAR(140, name->rect.bottom, 16);
    EXPECT_GT(name->rect.right, 400);
    EXPECT_LT(name->rect.top, 110);
}

// Words of the recognised text found in order in the truth (longest common subsequence).
double WordAccuracy(const std::string& recognised, const std::string& truth) {
    auto words = [](const std::string& text) {
        std::istringstream in(text);
        std::vector<std::string> out;
        std::string w;
        while (in >> w) out.push_back(w);
        return out;
    };
    const auto a = words(recognised), b = words(truth);
    std::vector<std::vector<int>> lcs(a.size() + 1, std::vector<int>(b.size() + 1, 0));
    for (std::size_t i = 1; i <= a.size(); ++i) {
        for (std::size_t j = 1; j <= b.size(); ++j) {
            lcs[i][j] = a[i - 1] == b[j - 1] ? lcs[i - 1][j - 1] + 1 : std::max(lcs[i - 1][j], lcs[i][j - 1]);
        }
    }
    return b.empty() ? 0 : static_cast<double>(lcs[a.size()][b.size()]) / b.size();
}

std::vector<std::uint8_t> ReadGrey(const std::string& path, int* width, int* height) {
    PIX* pix = pixRead(path.c_str());
    if (!pix) return {};
    PIX* grey = pixConvertTo8(pix, 0);
    pixDestroy(&pix);
    *width = static_cast<int>(pixGetWidth(grey));
    *height = static_cast<int>(pixGetHeight(grey));
    std::vector<std::uint8_t> out(static_cast<std::size_t>(*width) * *height);
    for (int y = 0; y < *height; ++y) {
        for (int x = 0; x < *width; ++x) {
            l_uint32 v = 0;
            pixGetPixel(grey, x, y, &v);
            out[static_cast<std::size_t>(y) * *width + x] = static_cast<std::uint8_t>(v);
        }
    }
    pixDestroy(&grey);
    return out;
}

TEST(DocumentPagePeer, PhototestWordAccuracyStaysAboveItsFloor) {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels = ReadGrey(lumtest::TestData("tesseract-test/phototest.tif").string(), &width, &height);
    ASSERT_FALSE(pixels.empty());
    std::ifstream truthFile(lumtest::TestData("tesseract-test/phototest.txt"));
    const std::string truth((std::istreambuf_iterator<char>(truthFile)), std::istreambuf_iterator<char>());

    Engine engine({16});
    OcrImage image{pixels.data(), width, height};
    OcrTextResult text{};
    EXPECT_EQ(FINE_OK, LumOCR_RecognizeDocument(&image, &text));
    const double accuracy = WordAccuracy(text.text, truth);
    RecordProperty("word_accuracy", std::to_string(accuracy));
    EXPECT_GE(accuracy, kPhototestFloor) << text.text;
}

// ocrtool's picture files read TIFF pages the way the page reader does.
TEST(DocumentPagePeer, TiffPagesReadLikeThePageReaderReadsThem) {
    const std::string path = lumtest::TestData("tesseract-test/phototest.tif").string();
    int width = 0, height = 0;
    const std::vector<std::uint8_t> peer = ReadGrey(path, &width, &height);
    ASSERT_FALSE(peer.empty());
    std::string error;
    const ocrtool::Grey ours = ocrtool::ToProgramGrey(ocrtool::ReadPicture(path, error));
    ASSERT_EQ(width, ours.width) << error;
    ASSERT_EQ(height, ours.height);
    int worst = 0;
    for (std::size_t i = 0; i < peer.size(); ++i) worst = std::max(worst, std::abs(peer[i] - ours.px[i]));
    EXPECT_LE(worst, 8);  // RGB565 keeps the top five or six bits of each channel
}

TEST(DocumentPagePeer, RegionReadsOnlyItsLines) {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels = ReadGrey(lumtest::TestData("tesseract-test/phototest.tif").string(), &width, &height);
    ASSERT_FALSE(pixels.empty());
    Engine engine({16});
    OcrImage image{pixels.data(), width, height};
    OcrTextResult all{};
    ASSERT_EQ(FINE_OK, LumOCR_RecognizeDocument(&image, &all));
    RECT top{0, 80, width, 124};  // the first line: rows 92 to 122
    OcrTextResult part{};
    ASSERT_EQ(FINE_OK, LumOCR_RecognizeLine(&image, &top, &part));
    EXPECT_EQ("This is a lot of 12 point text to test the\r\n", std::string(part.text));
    EXPECT_LT(part.length, all.length / 4);
}

int g_progressCalls = 0;
std::vector<int> g_percents;

TEST(DocumentPagePeer, CancelFromTheProgressCallbackStopsTheRun) {
    int width = 0, height = 0;
    std::vector<std::uint8_t> pixels = ReadGrey(lumtest::TestData("tesseract-test/phototest.tif").string(), &width, &height);
    ASSERT_FALSE(pixels.empty());
    g_progressCalls = 0;
    Engine engine({16}, [](std::int32_t) -> std::int32_t { return ++g_progressCalls < 3; });
    OcrImage image{pixels.data(), width, height};
    OcrTextResult text{};
    EXPECT_EQ(FINE_E_CANCELLED, LumOCR_RecognizeDocument(&image, &text));
    EXPECT_EQ(3, g_progressCalls);
    EXPECT_EQ(0, text.length);
}

TEST(DocumentPagePeer, ProgressRisesAndEndsAtOneHundred) {
    cardgen::Picture picture = cardgen::DrawCard(cardgen::CardText{}, cardgen::Distortion::Clean);
    ASSERT_FALSE(picture.px.empty());
    g_percents.clear();
    Engine engine({7}, [](std::int32_t p) -> std::int32_t {
        g_percents.push_back(p);
        return 1;
    });
    std::int32_t result = -1;
    Recognize(picture.px, picture.width, picture.height, &result);
    ASSERT_FALSE(g_percents.empty());
    EXPECT_TRUE(std::is_sorted(g_percents.begin(), g_percents.end()));
    EXPECT_EQ(100, g_percents.back());
}

TEST(SyntheticCardPeer, CancelFromTheProgressCallbackStopsTheCardRun) {
    cardgen::Picture picture = cardgen::DrawCard(cardgen::CardText{}, cardgen::Distortion::Clean);
    ASSERT_FALSE(picture.px.empty());
    g_progressCalls = 0;
    Engine engine({7}, [](std::int32_t) -> std::int32_t { return ++g_progressCalls < 3; });
    std::int32_t result = -1;
    const auto fields = Recognize(picture.px, picture.width, picture.height, &result);
    EXPECT_EQ(FINE_E_CANCELLED, result);
    EXPECT_EQ(3, g_progressCalls);
    EXPECT_TRUE(fields.empty()) << Dump(fields);
}

// The test runs allow one thread; card lines are read side by side only when
// more are allowed, so the card tests run again in a child that allows four.
TEST(SyntheticCardPeer, CardTestsPassWithLinesReadSideBySide) {
    const std::string self = std::filesystem::read_symlink("/proc/self/exe").string();
    const std::string command = "OMP_THREAD_LIMIT=4 '" + self +
                                "' --gtest_filter='SyntheticCardPeer.EveryState*:SyntheticCardPeer.Cancel*:"
                                "RealCardPhotoPeer.*' >/dev/null 2>&1";
    EXPECT_EQ(0, std::system(command.c_str()));
}

std::string Digits(const std::string& text) {
    std::string d;
    for (char c : text) {
        if (c >= '0' && c <= '9') d.push_back(c);
    }
    return d;
}

TEST(RealCardPhotoPeer, NameCompanyAndNumbersThroughTheProgramsPath) {
    std::string error;
    const ocrtool::Rgb photo =
        ocrtool::ReadPicture(lumtest::TestData("cards/business-card-english.jpg").string(), error);
    ASSERT_FALSE(photo.px.empty()) << error;
    // The program's recognition picture: 1280 x 960 grey, cropped to the card frame.
    ocrtool::Grey grey = ocrtool::Crop(ocrtool::ToProgramGrey(ocrtool::Scale(photo, 1280, 960)), 40, 140, 1240, 820);
    ocrtool::Grey small = ocrtool::ToProgramGrey(ocrtool::Scale(photo, 320, 240));
    Engine engine({7});
    OcrImage direction{small.px.data(), small.width, small.height};
    OcrImage card{grey.px.data(), grey.width, grey.height};
    LumOCR_CheckImageDirection(&direction, &card);
    std::int32_t result = -1;
    const auto fields = Recognize(grey.px, card.width, card.height, &result);
    EXPECT_EQ(FINE_OK, result);
    EXPECT_TRUE(Has(fields, OCR_FIELD_NAME, "Dr. Avery Smith")) << Dump(fields);
    EXPECT_TRUE(Has(fields, OCR_FIELD_COMPANY, "Contoso")) << Dump(fields);
    const struct {
        std::int32_t type;
        const char* number;
    } numbers[] = {{OCR_FIELD_MOBILE, "+44 (0) 7911 123456"},
                   {OCR_FIELD_TELEPHONE, "+44 (0) 20 9876 5432"},
                   {OCR_FIELD_FAX, "+44 (0) 20 6789 2345"}};
    int right = 0;
    for (const auto& n : numbers) {
        right += std::any_of(fields.begin(), fields.end(), [&](const OcrCardField& f) {
            return f.type == n.type && Digits(f.text) == Digits(n.number);
        });
    }
    EXPECT_GE(right, 2) << Dump(fields);
    EXPECT_TRUE(Has(fields, OCR_FIELD_MOBILE, "+44 (0) 7911 123456")) << Dump(fields);
}

// The real card photographs through the program's path (fitted into
// 1280 x 960, its grey, the card frame, the direction check), each field
// against the truth file written by eye beside the picture. The fields
// named for a picture must come out exact; the others are reported.
TEST(RealCardPhotoPeer, FieldsAgainstTheirTruthFiles) {
    const struct {
        const char* picture;
        const char* truth;
        std::vector<std::string> exact;
    } photos[] = {
        {"cards/business-card-english.jpg", "cards/card-contoso-avery-lowres.truth.txt",
         {"name", "company", "title", "department", "e-mail", "web", "mobile", "phone", "fax", "address"}},
        {"cards/card-msr-zorn.jpg", "cards/card-msr-zorn.truth.txt",
         {"name", "company", "title", "department", "e-mail", "web", "phone", "fax", "mobile", "address"}},
        {"cards/card-contoso-avery-lowres.png", "cards/card-contoso-avery-lowres.truth.txt",
         {"name", "company", "title", "department", "mobile", "phone", "fax", "address"}},
    };
    const std::map<std::string, std::int32_t> kinds = {
        {"name", OCR_FIELD_NAME},   {"company", OCR_FIELD_COMPANY}, {"title", OCR_FIELD_OTHER},
        {"department", OCR_FIELD_OTHER}, {"e-mail", OCR_FIELD_EMAIL}, {"web", OCR_FIELD_WEB},
        {"phone", OCR_FIELD_TELEPHONE}, {"fax", OCR_FIELD_FAX}, {"mobile", OCR_FIELD_MOBILE},
        {"address", OCR_FIELD_ADDRESS}};
    for (const auto& photo : photos) {
        SCOPED_TRACE(photo.picture);
        std::string error;
        const ocrtool::Rgb rgb = ocrtool::ReadPicture(lumtest::TestData(photo.picture).string(), error);
        ASSERT_FALSE(rgb.px.empty()) << error;
        const ocrtool::Rgb frame = ocrtool::FitInto(rgb, 1280, 960);
        ocrtool::Grey grey = ocrtool::Crop(ocrtool::ToProgramGrey(frame), 40, 140, 1240, 820);
        ocrtool::Grey small = ocrtool::ToProgramGrey(ocrtool::Scale(frame, 320, 240));
        Engine engine({7});
        OcrImage direction{small.px.data(), small.width, small.height};
        OcrImage card{grey.px.data(), grey.width, grey.height};
        LumOCR_CheckImageDirection(&direction, &card);
        std::int32_t result = -1;
        const auto fields = Recognize(grey.px, card.width, card.height, &result);
        EXPECT_EQ(FINE_OK, result);

        std::ifstream truth(lumtest::TestData(photo.truth));
        ASSERT_TRUE(truth) << photo.truth;
        std::string line;
        int total = 0, right = 0;
        while (std::getline(truth, line)) {
            const std::size_t tab = line.find('\t');
            if (line.empty() || line[0] == '#' || tab == std::string::npos) continue;
            const std::string key = line.substr(0, tab), value = line.substr(tab + 1);
            const auto kind = kinds.find(key);
            if (kind == kinds.end()) continue;
            std::string address;  // address lines joined
            bool exact = false;
            for (const OcrCardField& f : fields) {
                if (f.type != kind->second) continue;
                exact |= value == f.text;
                if (key == "address") {
                    if (!address.empty()) address.push_back(' ');
                    address += f.text;
                }
            }
            exact |= key == "address" && address == value;
            ++total;
            right += exact;
            const bool must = std::find(photo.exact.begin(), photo.exact.end(), key) != photo.exact.end();
            if (must) {
                EXPECT_TRUE(exact) << key << " [" << value << "]\n" << Dump(fields);
            }
        }
        RecordProperty(std::filesystem::path(photo.picture).stem().string(), std::to_string(right) + "/" + std::to_string(total));
    }
}

}  // namespace
