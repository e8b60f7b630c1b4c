// One recognised card as the result views read it: the engine's field
// records typed into seven categories, with the alternatives of each.
#pragma once

#include "LumOCREngine.h"
#include "result_records.h"

inline constexpr int kOcrCardFieldCount = 100;
// Engine records moved, typed, then copied out as seven items and their
// alternatives. The record boxes move from the cropped card picture to the
// whole picture by the stored text direction (non-zero: by (40, 140), zero:
// by (140, 40)); their types become categories (7: unassigned).
struct CardResult {
    ResultItem* items = nullptr;        // seven, malloc'd; the store frees them with free
    ResultSubItem* subItems = nullptr;  // seven, malloc'd
    int categories = 0;                 // how many categories got a record
};
// fields: kOcrCardFieldCount records, changed in place. cp1251 picks the
// code page of the texts (else the system's). On a failed allocation
// nothing is returned and the count is 0.
CardResult BuildCardResult(OcrCardField* fields, int direction, bool cp1251);
