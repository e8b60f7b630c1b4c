// A synthetic document page as the camera sees it in document mode: a sheet
// of printed prose filling the 1280 x 960 frame, with the words it holds.
#pragma once

#include <string>
#include <vector>

#include "CardPicture.h"

namespace cardgen {

// The page's lines as they are printed, top to bottom.
const std::vector<std::string>& PageLines();

// 1280 x 960; empty when the font is not found.
Picture DrawPage();

}  // namespace cardgen
