// The Korean engine stand-in: the five LumKorOCREngine entries over the
// shared recogniser adapter and card classifier, texts in code page 949.
#include "plat/koreng.h"

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "CardClassifier.h"
#include "EngineText.h"
#include "FineData.h"
#include "KorData.h"
#include "TessAdapter.h"

namespace {

using namespace plat;

struct EngineState {
    std::mutex lock;
    std::map<std::string, std::string> patterns;
    ocr::CardKeywords keywords;
    bool databases = false;
    bool memory = false;
};
EngineState& State() {
    static EngineState state;
    return state;
}

// Department words end a department's name; a job title is anything else of its kind.
constexpr std::string_view kDepartmentEndings[] = {"팀", "본부", "연구소", "센터", "사업부", "부서", "실"};

bool EndsWith(std::string_view text, std::string_view tail) {
    return text.size() >= tail.size() && text.substr(text.size() - tail.size()) == tail;
}

bool IsDepartment(std::string_view text) {
    return std::any_of(std::begin(kDepartmentEndings), std::end(kDepartmentEndings),
                       [&](std::string_view d) { return EndsWith(text, d) && text.size() > d.size(); });
}

// A Korean postcode on a line of its own: five digits, perhaps after "우" or "(우)".
bool IsPostcode(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (c >= '0' && c <= '9') digits.push_back(c);
    }
    if (digits.size() != 5) return false;
    std::string rest(text);
    for (std::string_view strip : {"(우)", "우)", "우", "〒", "-", " ", "(", ")"}) {
        for (std::size_t at; (at = rest.find(strip)) != std::string::npos;) rest.erase(at, strip.size());
    }
    return rest == digits;
}

ocr::GreyView ViewOf(const BYTE* pixels, std::int32_t width, std::int32_t height) {
    return {pixels, width, height, width};
}

std::int32_t StatusResult(ocr::Status status) {
    switch (status) {
        case ocr::Status::Ok: return KOR_OK;
        case ocr::Status::BadImage: return KOR_E_INVALIDARG;
        case ocr::Status::Cancelled:
        case ocr::Status::NoRecognizer: return KOR_E_RECOGNIZER;
    }
    return KOR_E_RECOGNIZER;
}

bool Ready() {
    std::lock_guard lock(State().lock);
    return State().databases && State().memory;
}

std::string LanguageSet(std::int32_t language) {
    std::lock_guard lock(State().lock);
    return kor::SetFor(State().patterns, language);
}

std::int32_t ReadText(const ocr::GreyView& view, const ocr::Box* region, std::int32_t language, KorText* result) {
    result->text[0] = '\0';
    if (!Ready()) return KOR_E_NOTREADY;
    ocr::Request request;
    request.languages = LanguageSet(language);
    request.layout = ocr::Layout::Block;
    request.detectOrientation = region == nullptr;
    request.orientationByMarks = true;
    request.region = region;
    const ocr::Result read = ocr::Recognize(view, request);
    if (read.status != ocr::Status::Ok) return StatusResult(read.status);
    const std::string text = ocr::LinesText(ocr::kKoreanCodePage, read.lines, kKorTextBytes - 1);
    std::memcpy(result->text, text.data(), text.size());
    result->text[text.size()] = '\0';
    return KOR_OK;
}

// Puts each field into its slot of the record; what has no slot of its own
// (a third telephone, a second name, further lines) goes to the other slots.
void FillCard(const std::vector<ocr::CardField>& fields, KorCardRecord& card) {
    std::vector<std::pair<char*, std::size_t>> others = {{card.other, sizeof card.other}};
    for (auto& m : card.more) others.push_back({m, sizeof m});
    std::size_t nextOther = 0, nextAddress = 0, nextPostcode = 0, nextPhone = 0, nextFax = 0;
    auto put = [](char* slot, std::size_t size, const std::string& utf8) {
        ocr::PutText(slot, size, ocr::ToCodePage(ocr::kKoreanCodePage, utf8));
    };
    auto other = [&](const std::string& text) {
        if (nextOther < others.size()) put(others[nextOther].first, others[nextOther].second, text), ++nextOther;
    };
    auto first = [&](char* slot, std::size_t size, const std::string& text) {
        if (slot[0] == '\0') put(slot, size, text);
        else other(text);
    };
    for (const ocr::CardField& f : fields) {
        const std::string text = f.Text();
        if (text.empty()) continue;
        switch (f.kind) {
            case ocr::kCardName: first(card.name, sizeof card.name, text); break;
            case ocr::kCardCompany: first(card.company, sizeof card.company, text); break;
            case ocr::kCardMobile: first(card.mobile, sizeof card.mobile, text); break;
            case ocr::kCardEmail: first(card.email, sizeof card.email, text); break;
            case ocr::kCardWeb: first(card.web, sizeof card.web, text); break;
            case ocr::kCardTelephone:
                if (nextPhone < 2) put(card.telephone[nextPhone++], sizeof card.telephone[0], text);
                else other(text);
                break;
            case ocr::kCardFax:
                if (nextFax < 2) put(card.fax[nextFax++], sizeof card.fax[0], text);
                else other(text);
                break;
            case ocr::kCardAddress:
                if (IsPostcode(text) && nextPostcode < 2) put(card.postcode[nextPostcode++], sizeof card.postcode[0], text);
                else if (nextAddress < 4) put(card.address[nextAddress++], sizeof card.address[0], text);
                else other(text);
                break;
            case ocr::kCardTitle:
                if (IsDepartment(text)) first(card.department, sizeof card.department, text);
                else first(card.title, sizeof card.title, text);
                break;
            default:
                if (IsPostcode(text) && nextPostcode < 2) put(card.postcode[nextPostcode++], sizeof card.postcode[0], text);
                else other(text);
                break;
        }
    }
}

}  // namespace

extern "C" {

std::int32_t LumKorLoadDB(const void* patterns, const void* keywords) {
    EngineState& s = State();
    std::lock_guard lock(s.lock);
    s.databases = false;
    const auto patternText = fine::ReadDataFile(patterns, kor::kPatternsMagic);
    const auto keywordText = fine::ReadDataFile(keywords, kor::kKeywordsMagic);
    if (!patternText || !keywordText) return KOR_E_BADDATA;
    auto parsed = kor::ParsePatterns(*patternText);
    if (!parsed) return KOR_E_BADDATA;
    s.patterns = std::move(*parsed);
    s.keywords = ocr::KeywordsFromText(*keywordText);
    s.databases = true;
    return KOR_OK;
}

std::int32_t LumKorSetWorkingMem(void* start, void* end, void* scratch) {
    EngineState& s = State();
    std::lock_guard lock(s.lock);
    s.memory = start && scratch && static_cast<BYTE*>(end) > static_cast<BYTE*>(start);
    return s.memory ? KOR_OK : KOR_E_INVALIDARG;
}

std::int32_t LumKorDocRecog(const KorImageInfo* image, KorText* result, std::int32_t language, const BYTE* pixels) {
    if (!image || !result || !pixels || image->width <= 0 || image->height <= 0) return KOR_E_INVALIDARG;
    return ReadText(ViewOf(pixels, image->width, image->height), nullptr, language, result);
}

std::int32_t LumKorLineRecog(std::int32_t width, std::int32_t height, const BYTE* pixels, const RECT* region,
                             std::int32_t language, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                             KorText* result, void* scratch, std::int32_t) {
    if (!pixels || !region || !result || !scratch || width <= 0 || height <= 0) return KOR_E_INVALIDARG;
    const ocr::Box box{region->left, region->top, region->right, region->bottom};
    return ReadText(ViewOf(pixels, width, height), &box, language, result);
}

std::int32_t LumKorCardReader(const KorImageInfo* image, KorCardRecord* card, std::int32_t language) {
    if (!image || !card || !image->pixels || image->width <= 0 || image->height <= 0) return KOR_E_INVALIDARG;
    if (!Ready()) return KOR_E_NOTREADY;
    ocr::Request request;
    request.languages = LanguageSet(language);
    // The card layout chains letters into lines; a Hangul syllable is
    // several marks of uneven size, so the recogniser finds the lines itself.
    request.layout = ocr::Layout::Sparse;
    request.stackedMarks = true;
    request.detectOrientation = true;
    request.orientationByMarks = true;
    const ocr::Result read = ocr::Recognize(ViewOf(image->pixels, image->width, image->height), request);
    if (read.status != ocr::Status::Ok) return StatusResult(read.status);
    ocr::CardKeywords words;
    {
        std::lock_guard lock(State().lock);
        words = State().keywords;
    }
    FillCard(ocr::ClassifyCard(read.lines, words), *card);
    return KOR_OK;
}

}  // extern "C"
