#include "result_builder.h"

#include <cstdlib>
#include <cstring>

#include "plat/codepage.h"

namespace {

constexpr int kUnassigned = 7;

int CategoryOf(std::int32_t engineType)
{
    switch (engineType) {
    case OCR_FIELD_NAME: return RESULT_NAME;
    case OCR_FIELD_MOBILE: return RESULT_MOBILE;
    case OCR_FIELD_TELEPHONE: return RESULT_WORK_PHONE;
    case OCR_FIELD_COMPANY: return RESULT_COMPANY;
    case OCR_FIELD_EMAIL: return RESULT_EMAIL;
    case OCR_FIELD_FAX: return RESULT_FAX;
    case OCR_FIELD_WEB: return RESULT_WEB;
    default: return kUnassigned;
    }
}

// The engine's text is untrusted: it is read up to its first zero within its
// bytes, and the copy keeps a terminator.
void Convert(const OcrCardField& field, UINT codePage, WCHAR (&out)[kResultTextChars])
{
    const void* end = std::memchr(field.text, 0, sizeof(field.text));
    const int length = end ? static_cast<int>(static_cast<const char*>(end) - field.text)
                           : static_cast<int>(sizeof(field.text));
    std::memset(out, 0, sizeof(out));
    if (length <= 0)
        return;
    int n = MultiByteToWideChar(codePage, 0, field.text, length, out, kResultTextChars - 1);
    if (n <= 0) {
        // Too long for the buffer: convert all, keep what fits.
        int need = MultiByteToWideChar(codePage, 0, field.text, length, nullptr, 0);
        if (need <= 0)
            return;
        auto* whole = static_cast<WCHAR*>(std::calloc(static_cast<size_t>(need), sizeof(WCHAR)));
        if (!whole)
            return;
        MultiByteToWideChar(codePage, 0, field.text, length, whole, need);
        std::memcpy(out, whole, sizeof(WCHAR) * (kResultTextChars - 1));
        std::free(whole);
        return;
    }
    out[n < kResultTextChars ? n : kResultTextChars - 1] = 0;
}

}  // namespace

CardResult BuildCardResult(OcrCardField* fields, int direction, bool cp1251)
{
    CardResult result;
    if (!fields)
        return result;
    const UINT codePage = cp1251 ? 1251 : CP_ACP;

    // 1. Boxes to the whole picture, types to categories.
    const int dx = direction ? 40 : 140, dy = direction ? 140 : 40;
    bool assigned[kResultCategoryCount] = {};
    int count = 0;
    int records = 0;
    for (; records < kOcrCardFieldCount; ++records) {
        OcrCardField& f = fields[records];
        f.rect.left += dx;
        f.rect.right += dx;
        f.rect.top += dy;
        f.rect.bottom += dy;
        if (f.type == OCR_FIELD_NONE)
            break;
        int category = CategoryOf(f.type);
        // "ELMOR" is no company name; the category stays free for a later record.
        if (category == RESULT_COMPANY && std::strncmp(f.text, "ELMOR", sizeof(f.text)) == 0)
            category = kUnassigned;
        if (category != kUnassigned) {
            if (assigned[category])
                category = kUnassigned;
            else {
                assigned[category] = true;
                ++count;
            }
        }
        f.type = category;
    }
    const int visited = records;  // the typed records; those after the end match nothing

    auto* items = static_cast<ResultItem*>(std::calloc(kResultCategoryCount, sizeof(ResultItem)));
    auto* subItems = static_cast<ResultSubItem*>(std::calloc(kResultCategoryCount, sizeof(ResultSubItem)));
    if (!items || !subItems) {
        std::free(items);
        std::free(subItems);
        return result;
    }

    // 2. Items.
    for (int i = 0; i < kResultCategoryCount; ++i) {
        items[i].type = i;
        for (int r = 0; r < visited; ++r)
            if (fields[r].type == i) {
                items[i].box = fields[r].rect;
                Convert(fields[r], codePage, items[i].text);
                break;
            }
    }

    // 3. Alternatives: 1, 2 and 5 stand in for each other; the rest take the
    // first two unassigned records.
    for (int i = 0; i < kResultCategoryCount; ++i) {
        ResultSubItem& sub = subItems[i];
        for (int r = 0; r < visited && sub.count < 2; ++r) {
            const int t = fields[r].type;
            bool take;
            switch (i) {
            case RESULT_MOBILE: take = t == RESULT_WORK_PHONE || t == RESULT_FAX; break;
            case RESULT_WORK_PHONE: take = t == RESULT_MOBILE || t == RESULT_FAX; break;
            case RESULT_FAX: take = t == RESULT_MOBILE || t == RESULT_WORK_PHONE; break;
            default: take = t == kUnassigned; break;
            }
            if (!take)
                continue;
            ResultText& candidate = sub.candidates[sub.count++];
            candidate.box = fields[r].rect;
            Convert(fields[r], codePage, candidate.text);
        }
    }

    result.items = items;
    result.subItems = subItems;
    result.categories = count;
    return result;
}
