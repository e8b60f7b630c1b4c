// E-mail and web addresses set right by the card's other fields: the
// recogniser reads small print worst, and an address is mostly made of
// the person's name and the company's.
#pragma once

#include <vector>

#include "CardClassifier.h"

namespace plat::ocr {

// A domain's name within two letters of a word of the company (or of its
// words run together) is that word; a local part within two letters of a
// form of the person's name (first.last, f.last, ...) is that form. A
// reading that already is such a word or form stays as read.
// A card without an e-mail (or web) field gets one from an unsure reading
// near enough to a form of the name at a word of the company (or "www." and
// that word) and a usual ending: within a quarter of its letters, and nearer
// than to any other such address.
void MendAddressesByFields(std::vector<CardField>& fields, const std::vector<Line>& unkept = {});

}  // namespace plat::ocr
