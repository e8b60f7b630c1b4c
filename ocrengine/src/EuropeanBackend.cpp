#include "EuropeanBackend.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string_view>
#include <vector>

#include "CodePage.h"
#include "OcrCommon.h"

namespace lumocr {
namespace {

constexpr FineApi kLinkedApi = {&FineInitialize, &FineDeinitialize, &FineRecognizeImage, &FineRecognizeRegion,
                                &FineRecognizeBusinessCard};
const FineApi* g_api = &kLinkedApi;

constexpr std::int32_t kLastCodeWithKeywords = 15;
constexpr int kTextUnits = kOcrTextBytes;  // UTF-16 units gathered for one page
constexpr int kFieldUnits = 255;           // units gathered for one card field
constexpr int kFieldUnitsTaken = 199;

// Codes 7 to 38, in order.
constexpr EuropeanLanguage kLanguages[] = {
    {15, "English.edc", "English.akw", "English.rom", "English.rom"},
    {19, "French.edc", "French.akw", "French.rom", "FrenchEnglish.rom"},
    {20, "German.edc", "German.akw", "German.rom", "GermanEnglish.rom"},
    {28, "Italian.edc", "Italian.akw", "Italian.rom", "ItalianEnglish.rom"},
    {44, "Portug.edc", "Portug.akw", "Portuguese.rom", "PortugueseEnglish.rom"},
    {49, "Russian.edc", "Russian.akw", "Russian.rom", "RussianEnglish.rom"},
    {54, "Spanish.edc", "Spanish.akw", "Spanish.rom", "SpanishEnglish.rom"},
    {60, "Ukrain.edc", "Ukrain.akw", "Ukrainian.rom", "UkrainianEnglish.rom"},
    {26, "Indones.edc", "Indones.akw", "English.rom", "English.rom"},
    {15, "English.edc", nullptr, "English.rom", "English.rom"},
    {5, "Bulgar.edc", nullptr, "Bulgarian.rom", "BulgarianEnglish.rom"},
    {11, "Czech.edc", nullptr, "Czech.rom", "CzechEnglish.rom"},
    {12, "Danish.edc", nullptr, "Danish.rom", "DanishEnglish.rom"},
    {13, "Dutch.edc", nullptr, "Dutch.rom", "DutchEnglish.rom"},
    {14, "Flemmish.edc", nullptr, "English.rom", "English.rom"},
    {16, "Eston.edc", nullptr, "Estonian.rom", "EstonianEnglish.rom"},
    {18, "Finnish.edc", nullptr, "Finnish.rom", "FinnishEnglish.rom"},
    {19, "French.edc", nullptr, "French.rom", "FrenchEnglish.rom"},
    {20, "German.edc", nullptr, "German.rom", "GermanEnglish.rom"},
    {21, "GermanNS.edc", nullptr, "German.rom", "GermanEnglish.rom"},
    {22, "Greek.edc", nullptr, "English.rom", "English.rom"},
    {28, "Italian.edc", nullptr, "Italian.rom", "ItalianEnglish.rom"},
    {40, "NorwBok.edc", nullptr, "Norwegian.rom", "NorwegianEnglish.rom"},
    {41, "NorwNyn.edc", nullptr, "Norwegian.rom", "NorwegianEnglish.rom"},
    {43, "Polish.edc", nullptr, "Polish.rom", "PolishEnglish.rom"},
    {44, "Portug.edc", nullptr, "Portuguese.rom", "PortugueseEnglish.rom"},
    {45, "Brazil.edc", nullptr, "Portuguese.rom", "PortugueseEnglish.rom"},
    {49, "Russian.edc", nullptr, "Russian.rom", "RussianEnglish.rom"},
    {54, "Spanish.edc", nullptr, "Spanish.rom", "SpanishEnglish.rom"},
    {56, "Swedish.edc", nullptr, "Swedish.rom", "SwedishEnglish.rom"},
    {59, "Turkish.edc", nullptr, "Turkish.rom", "TurkishEnglish.rom"},
    {60, "Ukrain.edc", nullptr, "Ukrainian.rom", "UkrainianEnglish.rom"},
};
static_assert(std::size(kLanguages) == kLastEuropeanCode - kFirstEuropeanCode + 1);

constexpr std::int32_t kEngineRussian = 49;
constexpr std::int32_t kEngineUkrainian = 60;
constexpr std::int32_t kEngineBulgarian = 5;

// Names that are no person: texts a card's maker prints on it.
constexpr std::string_view kExcludedNamePhrases[] = {"BUSINESS CARD", "NAME CARD"};

std::string UpperAscii(std::string_view text) {
    std::string s(text);
    for (char& c : s) {
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    }
    return s;
}

// The words of a field joined by single spaces, at most `taken` units.
std::u16string JoinWords(const FineWord* words, int wordCount, int taken) {
    std::u16string units;
    for (int w = 0; w < wordCount; ++w) {
        if (w > 0) {
            if (static_cast<int>(units.size()) >= taken) break;
            units.push_back(u' ');
        }
        const FineWord& word = words[w];
        for (int c = 0; c < word.charCount && word.chars; ++c) {
            if (static_cast<int>(units.size()) >= taken) break;
            units.push_back(word.chars[c].unit);
        }
    }
    return units;
}

std::int32_t DirectRecordType(std::int32_t engineKind, std::int32_t current) {
    static constexpr std::int32_t kTypes[] = {OCR_FIELD_TELEPHONE, OCR_FIELD_FAX,     OCR_FIELD_MOBILE,
                                              OCR_FIELD_EMAIL,     OCR_FIELD_WEB,     OCR_FIELD_ADDRESS,
                                              OCR_FIELD_NAME,      OCR_FIELD_COMPANY, OCR_FIELD_ENGINE4,
                                              OCR_FIELD_OTHER};
    return engineKind >= 0 && engineKind <= 9 ? kTypes[engineKind] : current;
}

RECT UnionOfWords(const FineField& field) {
    RECT rect{0, 0, 0, 0};
    const int words = std::min(field.wordCount, kMaxWordsPerRect);
    if (words <= 0 || !field.words) return rect;
    rect = {field.words[0].left, field.words[0].top, field.words[0].right, field.words[0].bottom};
    for (int w = 1; w < words; ++w) {
        const FineWord& word = field.words[w];
        rect.left = std::min(rect.left, word.left);
        rect.top = std::min(rect.top, word.top);
        rect.right = std::max(rect.right, word.right);
        rect.bottom = std::max(rect.bottom, word.bottom);
    }
    return rect;
}

}  // namespace

void UseFineApi(const FineApi* api) { g_api = api ? api : &kLinkedApi; }

const EuropeanLanguage* FindEuropeanLanguage(std::int32_t code) {
    if (code < kFirstEuropeanCode || code > kLastEuropeanCode) return nullptr;
    return &kLanguages[code - kFirstEuropeanCode];
}

std::string PatternFileFor(std::span<const std::int32_t> codes) {
    if (codes.size() == 1) return FindEuropeanLanguage(codes[0])->pattern;
    if (codes.size() == 2 && (codes[0] == 7 || codes[0] == 16)) {
        return FindEuropeanLanguage(codes[1])->patternWithEnglish;
    }
    return "AllLanguages.rom";
}

unsigned CodePageFor(std::span<const std::int32_t> engineNumbers) {
    const bool cyrillic = std::any_of(engineNumbers.begin(), engineNumbers.end(), [](std::int32_t n) {
        return n == kEngineRussian || n == kEngineUkrainian || n == kEngineBulgarian;
    });
    return cyrillic ? kCodePageCyrillic : kCodePageWestern;
}

void LinesToText(int count, const FineLine* lines, OcrTextResult& result, unsigned codePage) {
    std::vector<const FineLine*> order;
    for (int i = 0; i < count && lines; ++i) order.push_back(&lines[i]);
    std::stable_sort(order.begin(), order.end(),
                     [](const FineLine* a, const FineLine* b) { return a->top < b->top; });
    std::u16string units;
    const std::size_t maxUnits = kTextUnits - 1;
    for (const FineLine* line : order) {
        for (int c = 0; c < line->charCount && line->chars; ++c) units.push_back(line->chars[c].unit);
        units.append(u"\r\n");
        if (units.size() >= maxUnits) break;
    }
    if (units.size() > maxUnits) units.resize(maxUnits);
    const std::size_t n = WideToCodePage(codePage, units, result.text, kOcrTextBytes - 1);
    result.text[n] = '\0';
    result.length = static_cast<std::int32_t>(std::strlen(result.text));
}

bool IsExcludedName(std::string_view text) {
    const std::string upper = UpperAscii(text);
    return std::any_of(std::begin(kExcludedNamePhrases), std::end(kExcludedNamePhrases),
                       [&](std::string_view phrase) { return upper.find(phrase) != std::string::npos; });
}

bool IsMobileCompany(std::string_view text) {
    return text == "Mobile" || text == "-Mobile" || text == "Mobile-" || text == "-Mobile-" ||
           text.find("T-Mobile") != std::string_view::npos;
}

CEuropeanBackend::CEuropeanBackend() = default;
CEuropeanBackend::~CEuropeanBackend() { Finalize(); }

void CEuropeanBackend::ReleaseFiles() {
    for (auto& d : dictionaries_) d.reset();
    for (auto& k : keywords_) k.reset();
    dictionaryPointers_.fill(nullptr);
    keywordPointers_.fill(nullptr);
    pattern_.reset();
}

std::int32_t CEuropeanBackend::Initialize(void* work, std::int32_t workSize, OcrProgressCallback progress,
                                          const OcrLanguageCode* languages, const char* folder) {
    progress_ = progress;
    started_ = false;
    LogLine("LumOCR_Initialize_EUR start\n");

    std::vector<std::int32_t> codes;
    for (int i = 0; i < kMaxLanguages && languages[i] != 0; ++i) {
        if (!FindEuropeanLanguage(languages[i])) {
            LogFormat("Unknown language code %d.\n", languages[i]);
            return LUMOCR_E_BADLANGUAGE;
        }
        codes.push_back(languages[i]);
    }
    languages_.fill(0);
    for (std::size_t i = 0; i < codes.size(); ++i) languages_[i] = FindEuropeanLanguage(codes[i])->engineNumber;
    languageCount_ = static_cast<int>(codes.size());
    codePage_ = CodePageFor(std::span(languages_).first(codes.size()));

    auto load = [&](const char* label, const char* name, std::unique_ptr<BYTE[]>& slot) {
        const std::string path = std::string(folder) + name;
        LogFormat("load %s name = [%s]\n", label, path.c_str());
        slot = LoadWholeFile(path.c_str());
        if (!slot) LogFormat("Can't load %s.\n", path.c_str());
        return slot != nullptr;
    };
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (!load("dict.", FindEuropeanLanguage(codes[i])->dictionary, dictionaries_[i])) return LUMOCR_E_LOADFAILED;
        dictionaryPointers_[i] = dictionaries_[i].get();
    }
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i] > kLastCodeWithKeywords) continue;
        if (!load("akw.", FindEuropeanLanguage(codes[i])->keywords, keywords_[i])) return LUMOCR_E_LOADFAILED;
        keywordPointers_[i] = keywords_[i].get();
    }
    if (!codes.empty() && !load("pattern.", PatternFileFor(codes).c_str(), pattern_)) return LUMOCR_E_LOADFAILED;

    engineBuffer_.reset(new (std::nothrow) BYTE[kEngineBufferBytes]());
    work_ = work;
    workSize_ = workSize;
    if (!engineBuffer_ || !work_ || workSize_ <= 0) {
        LogLine("No memory for the engine.\n");
        return LUMOCR_E_NOMEMORY;
    }
    const std::int32_t result = g_api->initialize(engineBuffer_.get(), kEngineBufferBytes);
    started_ = result == FINE_OK;
    return result;
}

std::int32_t CEuropeanBackend::Finalize() {
    if (started_) g_api->deinitialize();
    started_ = false;
    ReleaseFiles();
    engineBuffer_.reset();
    textBuffer_.reset();
    cardBuffer_.reset();
    work_ = nullptr;
    workSize_ = 0;
    return 0;
}

FineImageInfo CEuropeanBackend::ImageInfo(const OcrImage& image) const {
    return {image.width, image.height, image.width, 8, kFineImageFormat, image.data};
}

bool CEuropeanBackend::EnsureBuffer(std::unique_ptr<BYTE[]>& buffer) {
    if (!buffer) buffer.reset(new (std::nothrow) BYTE[kResultBufferBytes]);
    return buffer != nullptr;
}

std::int32_t CEuropeanBackend::RecognizeText(const OcrImage& image, const RECT* region, OcrTextResult& result) {
    result.text[0] = '\0';
    result.length = 0;
    if (!started_) return LUMOCR_E_NOTSTARTED;
    const FineImageInfo info = ImageInfo(image);
    std::int32_t bufferSize = kResultBufferBytes;
    if (!EnsureBuffer(textBuffer_)) return LUMOCR_E_NOMEMORY;
    std::int32_t count = 0;
    const std::int32_t engineResult =
        region ? g_api->recognizeRegion(languages_.data(), pattern_.get(), dictionaryPointers_.data(), &info, 1,
                                        region, work_, workSize_, FastWord(), &count, textBuffer_.get(),
                                        &bufferSize, progress_)
               : g_api->recognizeImage(languages_.data(), pattern_.get(), dictionaryPointers_.data(), &info, work_,
                                       workSize_, FastWord(), &count, textBuffer_.get(), &bufferSize, progress_);
    const int maxLines = kResultBufferBytes / static_cast<int>(sizeof(FineLine));
    LinesToText(std::clamp(count, 0, maxLines), reinterpret_cast<const FineLine*>(textBuffer_.get()), result,
                codePage_);
    return engineResult;
}

std::int32_t CEuropeanBackend::RecognizeDocument(const OcrImage& image, OcrTextResult& result) {
    const std::int32_t engineResult = RecognizeText(image, nullptr, result);
    LogLine("=========================================\n");
    LogFormat("[TRAVEK] [RESULTLEN] [%d]\n", result.length);
    LogFormat("[TRAVEK] [RESULTLEN] [%s]\n", result.text);
    LogLine("=========================================\n");
    return engineResult;
}

std::int32_t CEuropeanBackend::RecognizeLine(const OcrImage& image, const RECT& region, OcrTextResult& result) {
    return RecognizeText(image, &region, result);
}

std::int32_t CEuropeanBackend::RecognizeBizCard(const OcrImage& image, OcrCardField* fields) {
    if (!started_) return LUMOCR_E_NOTSTARTED;
    const FineImageInfo info = ImageInfo(image);
    std::int32_t bufferSize = kResultBufferBytes;
    if (!EnsureBuffer(cardBuffer_)) return LUMOCR_E_NOMEMORY;
    std::memset(cardBuffer_.get(), 0, kResultBufferBytes);
    std::int32_t count = 0;
    const std::int32_t engineResult = g_api->recognizeBusinessCard(
        languages_.data(), pattern_.get(), dictionaryPointers_.data(), keywordPointers_.data(), &info, work_,
        workSize_, FastWord(), &count, cardBuffer_.get(), &bufferSize, progress_);
    if (count <= 0) return engineResult;
    LogFormat("[TRAVEK] makeResult before  fieldBuff[%p] aItems[%p]\n", static_cast<void*>(cardBuffer_.get()),
              static_cast<void*>(fields));
    count = std::min(count, kOcrMaxCardFields);
    MakeCardRecords(count, reinterpret_cast<FineField*>(cardBuffer_.get()), fields);
    return engineResult;
}

void CEuropeanBackend::MakeCardRecords(int count, FineField* engineFields, OcrCardField* records) {
    if (codePage_ == kCodePageCyrillic) {
        LogLine("[LumOCR] Make Result start(RUS)\n");
        for (int i = 0; i < count; ++i) {
            OcrCardField& r = records[i];
            r.type = DirectRecordType(engineFields[i].kind, r.type);
            std::memset(r.text, 0, sizeof(r.text));
            const std::u16string units = JoinWords(engineFields[i].words, engineFields[i].wordCount,
                                                   std::min(kFieldUnits, kFieldUnitsTaken));
            WideToCodePage(kCodePageCyrillic, units, r.text, sizeof(r.text) - 1);
        }
        LogLine("[LumOCR] Make Result end(RUS)\n");
    } else {
        LogLine("[LumOCR] Make Result start\n");
        std::vector<CardFieldEntry> entries(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i) {
            CardFieldEntry& e = entries[static_cast<std::size_t>(i)];
            const std::int32_t kind = engineFields[i].kind;
            e.kind = kind == FINE_FIELD_UNKNOWN ? kKindUnknown : kind;
            e.text = new char[kCardTextBytes]();
            const std::u16string units =
                JoinWords(engineFields[i].words, engineFields[i].wordCount, kFieldUnitsTaken);
            e.length = static_cast<std::int32_t>(WideToCodePage(kCodePageWestern, units, e.text, kCardTextMax));
            LogFormat("[LumOCR] [%d][%d][%s]\n", i, e.kind, e.text);
            if (e.kind == kKindName && IsExcludedName(e.text)) {
                e.kind = kKindUnknown;
                e.text[0] = '\0';
                e.length = 0;
            } else if (e.kind == kKindCompany && IsMobileCompany(e.text)) {
                std::strcpy(e.text, "T-Mobile");
                e.length = static_cast<std::int32_t>(std::strlen(e.text));
            }
        }
        CorrectCardFields(count, entries.data());
        EntriesToRecords(entries.data(), records, count);
        LogLine("[LumOCR] Make Result end\n");
    }

    LogLine("[LumOCR] Make Rect Start\n");
    for (int i = 0; i < count; ++i) {
        engineFields[i].wordCount = std::min(engineFields[i].wordCount, kMaxWordsPerRect);
        records[i].rect = UnionOfWords(engineFields[i]);
    }
    LogLine("[LumOCR] Make Rect end\n");
}

}  // namespace lumocr
