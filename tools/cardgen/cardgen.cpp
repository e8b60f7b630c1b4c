// cardgen: writes the synthetic business card as PGM files.
//   cardgen OUTPUT_FOLDER   -> card-clean.pgm, card-blurred.pgm, card-turned.pgm, card-perspective.pgm
#include <cstdio>
#include <string>

#include "CardPicture.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: cardgen OUTPUT_FOLDER\n");
        return 2;
    }
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
