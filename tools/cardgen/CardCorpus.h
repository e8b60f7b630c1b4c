// A corpus of business cards for measuring the card reader: several designs
// (dark on white, a coloured band with light print, a dark logo plate, two
// columns, small e-mail and web lines, with and without labels, three
// fonts) drawn into the camera's 1280 x 960 frame, then, for photographed
// cards, the damage of a hand-held shot. The truth of every field goes
// beside each picture.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "CardPicture.h"

namespace cardgen {

struct CorpusCard {
    std::string stem;   // file name without extension
    Picture picture;    // 1280 x 960, or 640 x 480 for a low-resolution shot
    bool jpeg = false;  // to be stored at quality 60
    // "name", "company", "title", "e-mail", "web", "phone", "fax", "mobile",
    // "address" (lines joined by one space), in printed order.
    std::vector<std::pair<std::string, std::string>> truth;
    std::vector<std::string> lightOnDark;  // keys printed light on dark ground
    std::string design;                    // what was drawn and done, for the truth file's comment
};

// Card `index` of the corpus grown from `seed`; empty picture when no font is found.
CorpusCard MakeCorpusCard(unsigned seed, int index, bool photographed);

// The truth file's text: comments, then key<TAB>value lines.
std::string TruthText(const CorpusCard& card);

}  // namespace cardgen
