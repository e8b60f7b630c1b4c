// cardgen: writes synthetic business cards.
//   cardgen OUTPUT_FOLDER   -> card-clean.pgm, card-blurred.pgm, card-turned.pgm, card-perspective.pgm,
//                              card-scene.pgm (the clean card lying in the camera's card guide),
//                              two scenes without a card: scene-blank.pgm (white paper),
//                              scene-dark.pgm (too dark to shoot), and a document page filling
//                              the frame: page-scene.pgm with its words in page.truth.txt
//   cardgen corpus OUTPUT_FOLDER [--seed N] [--clean N] [--photo N]
//       -> card-SEED-INDEX-{clean,photo}.{pgm,jpg} with a .truth.txt beside each
//          (JPEG through the `cjpeg` program at quality 60).
//   cardgen cjk OUTPUT_FOLDER
//       -> korean-card-{clean,blurred,turned,perspective}.pgm, chinese-card.pgm,
//          {korean,chinese,traditional}-page.pgm and -page-turned.pgm, and a .txt
//          of the printed lines (UTF-8) beside each card and page
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include "CardCorpus.h"
#include "CardPicture.h"
#include "CjkPictures.h"
#include "PagePicture.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: cardgen OUTPUT_FOLDER\n       cardgen corpus OUTPUT_FOLDER [--seed N] [--clean N] [--photo N]\n"
                         "       cardgen cjk OUTPUT_FOLDER\n");
    return 2;
}

bool WriteCorpusCard(const std::string& folder, const cardgen::CorpusCard& card) {
    const std::string base = folder + "/" + card.stem;
    if (!ocrtool::WritePgm(base + ".pgm", card.picture)) return false;
    if (card.jpeg) {
        const std::string command = "cjpeg -quality 60 -grayscale '" + base + ".pgm' > '" + base + ".jpg'";
        if (std::system(command.c_str()) != 0) return false;
        std::remove((base + ".pgm").c_str());
    }
    std::ofstream truth(base + ".truth.txt");
    truth << cardgen::TruthText(card);
    return static_cast<bool>(truth);
}

// The camera's 1280 x 960 view of the card held in its guide: the part the
// recognition crops (columns 40 to 1239, rows 140 to 819) is the card.
cardgen::Picture Scene(const cardgen::Picture& card) {
    constexpr int kWidth = 1280, kHeight = 960, kLeft = 40, kTop = 140;
    constexpr std::uint8_t kDesk = 96;
    cardgen::Picture scene;
    scene.width = kWidth;
    scene.height = kHeight;
    scene.px.assign(static_cast<std::size_t>(kWidth) * kHeight, kDesk);
    for (int y = 0; y < card.height && kTop + y < kHeight; ++y)
        for (int x = 0; x < card.width && kLeft + x < kWidth; ++x)
            scene.px[static_cast<std::size_t>(kTop + y) * kWidth + kLeft + x] =
                card.px[static_cast<std::size_t>(y) * card.width + x];
    return scene;
}

int Corpus(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string folder = argv[2];
    unsigned seed = 1;
    int clean = 20, photo = 40;
    for (int i = 3; i + 1 < argc; i += 2) {
        const std::string a = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (a == "--seed") seed = static_cast<unsigned>(value);
        else if (a == "--clean") clean = value;
        else if (a == "--photo") photo = value;
        else return Usage();
    }
    for (int kind = 0; kind < 2; ++kind) {
        for (int i = 0; i < (kind ? photo : clean); ++i) {
            const cardgen::CorpusCard card = cardgen::MakeCorpusCard(seed, i, kind == 1);
            if (card.picture.px.empty() || !WriteCorpusCard(folder, card)) {
                std::fprintf(stderr, "cardgen: cannot draw or write card %d\n", i);
                return 1;
            }
        }
    }
    return 0;
}

bool WriteWithText(const std::string& base, const cardgen::Picture& picture, const std::vector<std::string>& lines) {
    if (picture.px.empty() || !ocrtool::WritePgm(base + ".pgm", picture)) return false;
    std::ofstream text(base + ".txt");
    for (const std::string& line : lines) text << line << "\n";
    return static_cast<bool>(text);
}

int Cjk(int argc, char** argv) {
    if (argc != 3) return Usage();
    const std::string folder = std::string(argv[2]) + "/";
    const cardgen::KoreanCardText korean;
    const std::vector<std::string> koreanLines = {korean.name, korean.title, korean.department, korean.company,
                                                  "전화: " + korean.telephone, "팩스: " + korean.fax,
                                                  "휴대폰: " + korean.mobile, korean.email, korean.web, korean.address};
    bool ok = true;
    const std::pair<cardgen::Distortion, const char*> states[] = {{cardgen::Distortion::Clean, "clean"},
                                                                  {cardgen::Distortion::Blurred, "blurred"},
                                                                  {cardgen::Distortion::QuarterTurn, "turned"},
                                                                  {cardgen::Distortion::Perspective, "perspective"}};
    for (const auto& [distortion, name] : states) {
        ok &= WriteWithText(folder + "korean-card-" + name, cardgen::DrawKoreanCard(korean, distortion), koreanLines);
    }
    ok &= WriteWithText(folder + "chinese-card", cardgen::DrawChineseCard(), cardgen::ChineseCardLines());
    const std::pair<cardgen::PageScript, const char*> pages[] = {{cardgen::PageScript::Korean, "korean"},
                                                                 {cardgen::PageScript::Simplified, "chinese"},
                                                                 {cardgen::PageScript::Traditional, "traditional"}};
    for (const auto& [script, name] : pages) {
        ok &= WriteWithText(folder + name + "-page", cardgen::DrawCjkPage(script, false), cardgen::CjkPageLines(script));
        ok &= WriteWithText(folder + name + "-page-turned", cardgen::DrawCjkPage(script, true), cardgen::CjkPageLines(script));
    }
    if (!ok) {
        std::fprintf(stderr, "cardgen: cannot draw or write the CJK pictures (is %s there?)\n", cardgen::kCjkFont);
        return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "corpus") return Corpus(argc, argv);
    if (argc >= 2 && std::string(argv[1]) == "cjk") return Cjk(argc, argv);
    if (argc != 2) return Usage();
    const std::string folder = argv[1];
    const struct {
        cardgen::Distortion distortion;
        const char* name;
    } kinds[] = {{cardgen::Distortion::Clean, "card-clean.pgm"},
                 {cardgen::Distortion::Blurred, "card-blurred.pgm"},
                 {cardgen::Distortion::QuarterTurn, "card-turned.pgm"},
                 {cardgen::Distortion::Perspective, "card-perspective.pgm"}};
    for (const auto& k : kinds) {
        const cardgen::Picture picture = cardgen::DrawCard(cardgen::CardText{}, k.distortion);
        if (picture.px.empty() || !ocrtool::WritePgm(folder + "/" + k.name, picture)) {
            std::fprintf(stderr, "cardgen: cannot draw or write %s\n", k.name);
            return 1;
        }
        if (k.distortion == cardgen::Distortion::Clean && !ocrtool::WritePgm(folder + "/card-scene.pgm", Scene(picture))) {
            std::fprintf(stderr, "cardgen: cannot write card-scene.pgm\n");
            return 1;
        }
    }
    const struct {
        std::uint8_t grey;
        const char* name;
    } scenes[] = {{245, "scene-blank.pgm"}, {8, "scene-dark.pgm"}};
    for (const auto& scene : scenes) {
        cardgen::Picture picture;
        picture.width = 640;
        picture.height = 480;
        picture.px.assign(static_cast<std::size_t>(picture.width) * picture.height, scene.grey);
        if (!ocrtool::WritePgm(folder + "/" + scene.name, picture)) {
            std::fprintf(stderr, "cardgen: cannot write %s\n", scene.name);
            return 1;
        }
    }
    const cardgen::Picture page = cardgen::DrawPage();
    std::ofstream truth(folder + "/page.truth.txt");
    for (const std::string& line : cardgen::PageLines()) truth << line << "\n";
    if (page.px.empty() || !ocrtool::WritePgm(folder + "/page-scene.pgm", page) || !truth.flush()) {
        std::fprintf(stderr, "cardgen: cannot draw or write the page\n");
        return 1;
    }
    return 0;
}
