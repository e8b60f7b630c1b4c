// One recognised business card as seven typed fields with their boxes in
// the whole 1280 x 960 picture, and the alternatives the user may pick.
// Built by the recognition runs, read by the result views and the contact
// export. Texts are zero-filled arrays: a text of exactly 256 characters has
// no terminator, so read them with ResultTextLength.
#pragma once

#include <cstddef>
#include <cstdint>

#include "plat/types.h"

inline constexpr int kResultTextChars = 256;
// Categories, also the row order of the card view.
inline constexpr int kResultCategoryCount = 7;
enum ResultCategory : std::int32_t {
    RESULT_NAME = 0,
    RESULT_MOBILE = 1,
    RESULT_WORK_PHONE = 2,
    RESULT_COMPANY = 3,
    RESULT_EMAIL = 4,
    RESULT_FAX = 5,
    RESULT_WEB = 6,
};
// In lists handed between the views a type of -1 ends a card.
inline constexpr std::int32_t kResultEndType = -1;

struct ResultText {
    WCHAR text[kResultTextChars];
    RECT box;
};

struct ResultItem {
    std::int32_t type;
    WCHAR text[kResultTextChars];
    RECT box;
};

struct ResultSubItem {
    ResultText candidates[2];
    std::int32_t count;
};

// Length of a zero-filled text array, never past its end.
inline std::size_t ResultTextLength(const WCHAR (&text)[kResultTextChars])
{
    std::size_t n = 0;
    while (n < kResultTextChars && text[n] != 0)
        ++n;
    return n;
}
