#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "result_builder.h"

namespace {

struct Field {
    std::int32_t type;
    std::string text;
    RECT box;
};

// The run hands the engine 100 records preset to -1.
std::vector<OcrCardField> Records(const std::vector<Field>& fields)
{
    std::vector<OcrCardField> records(kOcrCardFieldCount);
    for (auto& r : records) {
        std::memset(&r, 0, sizeof(r));
        r.type = OCR_FIELD_NONE;
    }
    for (size_t i = 0; i < fields.size(); ++i) {
        records[i].type = fields[i].type;
        std::memcpy(records[i].text, fields[i].text.data(), std::min(fields[i].text.size(), sizeof(records[i].text)));
        records[i].rect = fields[i].box;
    }
    return records;
}

std::wstring Text(const WCHAR (&text)[kResultTextChars]) { return std::wstring(text, ResultTextLength(text)); }

struct Freed {
    CardResult r;
    ~Freed()
    {
        std::free(r.items);
        std::free(r.subItems);
    }
};

TEST(ResultBuilder, CategoriesAndAlternatives)
{
    struct Case {
        const char* what;
        std::vector<Field> fields;
        int categories;
        std::vector<std::wstring> items;  // texts of categories 0 to 6
        std::vector<std::vector<std::wstring>> alternatives;
    };
    const RECT b{0, 0, 1, 1};
    const std::vector<Case> cases = {
        {"empty list", {}, 0, {L"", L"", L"", L"", L"", L"", L""}, {{}, {}, {}, {}, {}, {}, {}}},
        {"two mobiles",
         {{9, "111", b}, {9, "222", b}},
         1,
         {L"", L"111", L"", L"", L"", L"", L""},
         {{L"222"}, {}, {L"111"}, {L"222"}, {L"222"}, {L"111"}, {L"222"}}},
        {"ELMOR leaves the company free",
         {{2, "ELMOR", b}, {2, "Acme", b}},
         1,
         {L"", L"", L"", L"Acme", L"", L"", L""},
         {{L"ELMOR"}, {}, {}, {L"ELMOR"}, {L"ELMOR"}, {}, {L"ELMOR"}}},
        {"phones 1 and 5, not 2",
         {{9, "mob", b}, {8, "fax", b}, {0, "Ann", b}},
         3,
         {L"Ann", L"mob", L"", L"", L"", L"fax", L""},
         {{}, {L"fax"}, {L"mob", L"fax"}, {}, {}, {L"mob"}, {}}},
        {"only two unassigned",
         {{13, "a", b}, {13, "b", b}, {13, "c", b}, {12, "x@y", b}},
         1,
         {L"", L"", L"", L"", L"x@y", L"", L""},
         {{L"a", L"b"}, {}, {}, {L"a", L"b"}, {L"a", L"b"}, {}, {L"a", L"b"}}},
    };
    for (const Case& c : cases) {
        auto records = Records(c.fields);
        Freed out{BuildCardResult(records.data(), 1, false)};
        ASSERT_NE(out.r.items, nullptr) << c.what;
        EXPECT_EQ(out.r.categories, c.categories) << c.what;
        for (int i = 0; i < kResultCategoryCount; ++i) {
            EXPECT_EQ(out.r.items[i].type, i);
            EXPECT_EQ(Text(out.r.items[i].text), c.items[static_cast<size_t>(i)]) << c.what << " item " << i;
            const auto& want = c.alternatives[static_cast<size_t>(i)];
            ASSERT_EQ(out.r.subItems[i].count, static_cast<int>(want.size())) << c.what << " sub " << i;
            for (size_t k = 0; k < want.size(); ++k)
                EXPECT_EQ(Text(out.r.subItems[i].candidates[k].text), want[k]) << c.what << " sub " << i;
        }
    }
}

TEST(ResultBuilder, BoxesMoveByTheTextDirection)
{
    for (int direction : {0, 1}) {
        auto records = Records({{0, "Ann", RECT{10, 20, 110, 60}}});
        Freed out{BuildCardResult(records.data(), direction, false)};
        const RECT& box = out.r.items[0].box;
        const RECT want = direction ? RECT{50, 160, 150, 200} : RECT{150, 60, 250, 100};
        EXPECT_EQ(box.left, want.left);
        EXPECT_EQ(box.top, want.top);
        EXPECT_EQ(box.right, want.right);
        EXPECT_EQ(box.bottom, want.bottom);
        EXPECT_EQ(records[1].rect.left, direction ? 40 : 140);  // the terminator moves too
        EXPECT_EQ(records[2].rect.left, 0);
    }
}

TEST(ResultBuilder, UntrustedTextsStayTerminatedAndCodePagesApply)
{
    auto records = Records({{0, std::string(256, 'A'), RECT{}}, {9, "\xC8\xE2\xE0\xED", RECT{}}});
    Freed out{BuildCardResult(records.data(), 1, true)};
    EXPECT_EQ(Text(out.r.items[0].text), std::wstring(255, L'A'));
    EXPECT_EQ(out.r.items[0].text[255], 0);
    EXPECT_EQ(Text(out.r.items[1].text), L"\u0418\u0432\u0430\u043D");
}

}  // namespace
