// A synthetic business card, drawn with a real font the way a camera would
// see it at the program's card size: the known fields, then the distortions
// a hand-held shot adds (blur, a quarter turn, a small perspective).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "PictureFile.h"

namespace cardgen {

using Picture = ocrtool::Grey;

struct CardText {
    std::string name = "Julia Hartmann";
    std::string title = "Sales Director";
    std::string company = "Nordwind Logistics Ltd";
    std::string telephone = "+44 20 7946 0321";
    std::string mobile = "+44 7700 900123";
    std::string email = "julia.hartmann@nordwind.co.uk";
    std::string web = "www.nordwind.co.uk";
    std::string street = "14 Harbour Road";
    std::string city = "Bristol BS1 4QA";
    std::uint8_t greyInk = 0;  // when set, every line is printed in this grey
};

enum class Distortion { Clean, Blurred, QuarterTurn, Perspective };

// 1200 x 680 (680 x 1200 after a quarter turn); empty when no font is found.
Picture DrawCard(const CardText& text, Distortion distortion);

// The damage of a hand-held shot.
Picture Distort(Picture picture, Distortion distortion);

// Paper of width x height with a little uneven light, the table showing
// tableX and tableY pixels at its edges.
Picture Paper(int width, int height, int tableX, int tableY);

// Draws UTF-8 `text` in the font at `pixels` size from x on the baseline, blending
// towards `ink`; the advance in pixels, -1 when the font cannot be loaded.
int DrawText(Picture& picture, const std::string& fontPath, int pixels, int x, int baseline, const std::string& text,
             std::uint8_t ink, bool measureOnly = false);

// Gaussian blur, separable, edges continued.
Picture Blur(const Picture& src, double sigma);

// A quarter turn clockwise.
Picture Turn(const Picture& src);

// The card seen a little from the side and turned by a few degrees.
Picture Perspective(const Picture& src);

}  // namespace cardgen
