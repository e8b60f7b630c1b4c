// cardgen: writes synthetic business cards.
//   cardgen OUTPUT_FOLDER   -> card-clean.pgm, card-blurred.pgm, card-turned.pgm, card-perspective.pgm
//   cardgen corpus OUTPUT_FOLDER [--seed N] [--clean N] [--photo N]
//       -> card-SEED-INDEX-{clean,photo}.{pgm,jpg} with a .truth.txt beside each
//          (JPEG through the `cjpeg` program at quality 60).
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "CardCorpus.h"
#include "CardPicture.h"

namespace {

int Usage() {
    std::fprintf(stderr, "usage: cardgen OUTPUT_FOLDER\n       cardgen corpus OUTPUT_FOLDER [--seed N] [--clean N] [--photo N]\n");
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

}  // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string(argv[1]) == "corpus") return Corpus(argc, argv);
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
    }
    return 0;
}
