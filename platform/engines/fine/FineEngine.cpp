// The European engine stand-in: the FREmbed entries over the shared
// recogniser adapter and card classifier.
#include "plat/fine.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <string>
#include <vector>

#include "CardClassifier.h"
#include "FineData.h"
#include "TessAdapter.h"

namespace {

using namespace plat;

constexpr int kLanguageSlots = 23;
std::atomic<bool> g_initialized{false};

std::u16string ToUnits(std::string_view utf8) {
    std::u16string out;
    for (char32_t cp : ocr::DecodeUtf8(utf8)) {
        if (cp > 0xFFFF) {
            cp -= 0x10000;
            out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
    }
    return out;
}

// The recogniser's language set: the listed languages in order, each once.
std::string LanguageSet(const std::int32_t* languages) {
    std::vector<std::string> names;
    for (int i = 0; i < kLanguageSlots && languages[i] != 0; ++i) {
        const std::string name = fine::RecognizerLanguage(languages[i]);
        if (std::find(names.begin(), names.end(), name) == names.end()) names.push_back(name);
    }
    if (names.empty()) names.push_back("eng");
    std::string set;
    for (const auto& n : names) set += (set.empty() ? "" : "+") + n;
    return set;
}

bool DataValid(const void* pattern, void* const* dictionaries, const std::int32_t* languages) {
    if (!fine::ReadDataFile(pattern, fine::kPatternMagic)) return false;
    for (int i = 0; i < kLanguageSlots && languages[i] != 0; ++i) {
        if (!fine::ReadDataFile(dictionaries[i], fine::kDictionaryMagic)) return false;
    }
    return true;
}

bool ImageValid(const FineImageInfo* image) {
    return image && image->pixels && image->width > 0 && image->height > 0 && image->bitsPerPixel == 8 &&
           image->bytesPerRow >= image->width;
}

ocr::GreyView ViewOf(const FineImageInfo& image) {
    return {image.pixels, image.width, image.height, image.bytesPerRow};
}

std::int32_t StatusResult(ocr::Status status) {
    switch (status) {
        case ocr::Status::Ok: return FINE_OK;
        case ocr::Status::Cancelled: return FINE_E_CANCELLED;
        case ocr::Status::BadImage: return FINE_E_INVALIDARG;
        case ocr::Status::NoRecognizer: return FINE_E_RECOGNIZER;
    }
    return FINE_E_RECOGNIZER;
}

std::function<bool(int)> ProgressOf(FineProgressCallback callback) {
    if (!callback) return {};
    return [callback](int percent) { return callback(percent) != 0; };
}

// Bump allocator over the caller's result buffer.
class Arena {
public:
    Arena(void* buffer, std::int32_t size) : base_(static_cast<BYTE*>(buffer)), size_(std::max(size, 0)) {}
    template <typename T>
    T* Take(std::size_t count) {
        const std::size_t align = alignof(T);
        const std::size_t at = (used_ + align - 1) / align * align;
        if (at + count * sizeof(T) > static_cast<std::size_t>(size_)) return nullptr;
        used_ = at + count * sizeof(T);
        return reinterpret_cast<T*>(base_ + at);
    }
    std::int32_t Used() const { return static_cast<std::int32_t>(used_); }

private:
    BYTE* base_;
    std::int32_t size_;
    std::size_t used_ = 0;
};

bool FillChars(Arena& arena, const std::u16string& units, FineLine& record) {
    FineChar* chars = arena.Take<FineChar>(units.size());
    if (!chars && !units.empty()) return false;
    for (std::size_t i = 0; i < units.size(); ++i) chars[i] = FineChar{units[i], 0, 0, {}};
    record.chars = chars;
    record.charCount = static_cast<std::int32_t>(units.size());
    return true;
}

std::int32_t WriteLines(const ocr::Result& result, void* buffer, std::int32_t* bufferSize, std::int32_t* count) {
    Arena arena(buffer, *bufferSize);
    FineLine* lines = arena.Take<FineLine>(result.lines.size());
    if (!lines && !result.lines.empty()) return FINE_E_NOMEMORY;
    std::int32_t written = 0;
    for (const ocr::Line& line : result.lines) {
        std::string text;
        for (const ocr::Word& w : line.words) text += (text.empty() ? "" : " ") + w.text;
        FineLine& record = lines[written];
        record.left = line.box.left;
        record.top = line.box.top;
        record.right = line.box.right;
        record.bottom = line.box.bottom;
        if (!FillChars(arena, ToUnits(text), record)) break;  // the rest does not fit
        ++written;
    }
    *count = written;
    *bufferSize = arena.Used();
    return FINE_OK;
}

std::int32_t RecognizeText(const std::int32_t* languages, const void* pattern, void* const* dictionaries,
                           const FineImageInfo* image, const RECT* region, void* work, std::int32_t fast,
                           std::int32_t* lineCount, void* textBuffer, std::int32_t* bufferSize,
                           FineProgressCallback progress) {
    if (lineCount) *lineCount = 0;
    if (!g_initialized) return FINE_E_NOTINITIALIZED;
    if (!languages || !dictionaries || !ImageValid(image) || !work || !lineCount || !textBuffer || !bufferSize) {
        return FINE_E_INVALIDARG;
    }
    if (!DataValid(pattern, dictionaries, languages)) return FINE_E_BADDATA;
    ocr::Box box;
    ocr::Request request;
    request.languages = LanguageSet(languages);
    request.layout = ocr::Layout::Page;
    request.detectOrientation = fast == 0;
    request.progress = ProgressOf(progress);
    if (region) {
        box = {region->left, region->top, region->right, region->bottom};
        request.region = &box;
    }
    const ocr::Result result = ocr::Recognize(ViewOf(*image), request);
    if (result.status != ocr::Status::Ok) return StatusResult(result.status);
    return WriteLines(result, textBuffer, bufferSize, lineCount);
}

}  // namespace

extern "C" {

std::int32_t FineInitialize(void* engineBuffer, std::int32_t size) {
    if (!engineBuffer || size <= 0) return FINE_E_INVALIDARG;
    g_initialized = true;
    return FINE_OK;
}

std::int32_t FineDeinitialize() {
    // The recognisers stay cached: the program starts the engine for every picture.
    g_initialized = false;
    return FINE_OK;
}

std::int32_t FineRecognizeImage(const std::int32_t* languages, const void* pattern, void* const* dictionaries,
                                const FineImageInfo* image, void* work, std::int32_t, std::int32_t fast,
                                std::int32_t* lineCount, void* textBuffer, std::int32_t* bufferSize,
                                FineProgressCallback progress) {
    return RecognizeText(languages, pattern, dictionaries, image, nullptr, work, fast, lineCount, textBuffer,
                         bufferSize, progress);
}

std::int32_t FineRecognizeRegion(const std::int32_t* languages, const void* pattern, void* const* dictionaries,
                                 const FineImageInfo* image, std::int32_t regionCount, const RECT* regions,
                                 void* work, std::int32_t, std::int32_t fast, std::int32_t* lineCount,
                                 void* textBuffer, std::int32_t* bufferSize, FineProgressCallback progress) {
    if (regionCount < 1 || !regions) {
        if (lineCount) *lineCount = 0;
        return FINE_E_INVALIDARG;
    }
    return RecognizeText(languages, pattern, dictionaries, image, regions, work, fast, lineCount, textBuffer,
                         bufferSize, progress);
}

std::int32_t FineRecognizeBusinessCard(const std::int32_t* languages, const void* pattern,
                                       void* const* dictionaries, void* const* keywords,
                                       const FineImageInfo* image, void* work, std::int32_t, std::int32_t,
                                       std::int32_t* fieldCount, void* cardBuffer, std::int32_t* bufferSize,
                                       FineProgressCallback progress) {
    if (fieldCount) *fieldCount = 0;
    if (!g_initialized) return FINE_E_NOTINITIALIZED;
    if (!languages || !dictionaries || !keywords || !ImageValid(image) || !work || !fieldCount || !cardBuffer ||
        !bufferSize) {
        return FINE_E_INVALIDARG;
    }
    if (!DataValid(pattern, dictionaries, languages)) return FINE_E_BADDATA;

    ocr::CardKeywords words;
    bool any = false;
    for (int i = 0; i < kLanguageSlots && languages[i] != 0; ++i) {
        if (const auto text = fine::ReadDataFile(keywords[i], fine::kKeywordMagic)) {
            words.Merge(ocr::KeywordsFromText(*text));
            any = true;
        }
    }
    if (!any) words = ocr::BuiltinKeywords("eng");

    ocr::Request request;
    request.languages = LanguageSet(languages);
    request.layout = ocr::Layout::Card;
    // A card's turn is told from its marks at little cost, so even the fast
    // mode sets a turned card upright.
    request.detectOrientation = true;
    request.progress = ProgressOf(progress);
    const ocr::Result result = ocr::Recognize(ViewOf(*image), request);
    if (result.status != ocr::Status::Ok) return StatusResult(result.status);

    const std::vector<ocr::CardField> fields = ocr::ClassifyCard(result.lines, words, result.unkept);
    Arena arena(cardBuffer, *bufferSize);
    const std::size_t n = std::min<std::size_t>(fields.size(), kFineMaxCardFields);
    FineField* records = arena.Take<FineField>(n);
    if (!records && n > 0) return FINE_E_NOMEMORY;
    std::int32_t written = 0;
    for (std::size_t f = 0; f < n; ++f) {
        const ocr::CardField& field = fields[f];
        FineWord* wordRecords = arena.Take<FineWord>(field.words.size());
        if (!wordRecords) break;
        bool fits = true;
        for (std::size_t w = 0; w < field.words.size() && fits; ++w) {
            const ocr::Word& word = field.words[w];
            FineWord& record = wordRecords[w];
            record.left = word.box.left;
            record.top = word.box.top;
            record.right = word.box.right;
            record.bottom = word.box.bottom;
            fits = FillChars(arena, ToUnits(word.text), record);
        }
        if (!fits) break;
        records[f] = FineField{field.kind, static_cast<std::int32_t>(field.words.size()), wordRecords};
        ++written;
    }
    *fieldCount = written;
    *bufferSize = arena.Used();
    return FINE_OK;
}

}  // extern "C"
