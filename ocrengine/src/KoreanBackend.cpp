#include "KoreanBackend.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "CodePage.h"
#include "EngineModule.h"
#include "OcrCommon.h"

namespace lumocr {
namespace {

static_assert(sizeof(KorText) == sizeof(OcrTextResult) && offsetof(KorText, length) == offsetof(OcrTextResult, length),
              "the engine writes into the caller's text record");

constexpr const char* kPatternsFile = "DB\\KOR\\patterns.dat";
constexpr const char* kKeywordsFile = "DB\\KOR\\keywords.dat";
constexpr std::int32_t kEnglishLanguage = 15;

// The record's texts in the order they are read, with the type each gives.
struct Slot {
    std::size_t offset;
    std::size_t size;
    std::int32_t type;
};
constexpr Slot kCardSlots[] = {
    {8, 160, OCR_FIELD_NAME},        {168, 80, OCR_FIELD_ENGINE1},    {248, 80, OCR_FIELD_COMPANY},
    {328, 80, OCR_FIELD_ENGINE3},    {408, 128, OCR_FIELD_ADDRESS},   {536, 128, OCR_FIELD_ADDRESS},
    {664, 128, OCR_FIELD_ADDRESS},   {792, 128, OCR_FIELD_ADDRESS},   {920, 32, OCR_FIELD_ENGINE6},
    {952, 32, OCR_FIELD_ENGINE6},    {984, 64, OCR_FIELD_TELEPHONE},  {1048, 64, OCR_FIELD_TELEPHONE},
    {1112, 64, OCR_FIELD_FAX},       {1176, 64, OCR_FIELD_FAX},       {1240, 64, OCR_FIELD_MOBILE},
    {1304, 64, OCR_FIELD_OTHER},     {1624, 260, OCR_FIELD_WEB},      {1368, 256, OCR_FIELD_EMAIL},
    {1884, 128, OCR_FIELD_OTHER},    {2012, 128, OCR_FIELD_OTHER},    {2140, 128, OCR_FIELD_OTHER},
    {2268, 128, OCR_FIELD_OTHER},
};

const char* EntrySuffix(int) { return "_ load fail~!\n"; }

// The text the engine wrote, ended within the record whatever it left there.
void SetLength(OcrTextResult& result) {
    result.length = static_cast<std::int32_t>(WholeCharacters(result.text, kOcrTextBytes - 1, kOcrTextBytes - 1));
    result.text[result.length] = '\0';
}

void ClearText(OcrTextResult& result) {
    result.text[0] = '\0';
    result.length = 0;
}

KorImageInfo ImageInfoOf(const OcrImage& image) {
    KorImageInfo info{};
    info.width = image.width;
    info.height = image.height;
    info.pixels = image.data;
    return info;
}

}  // namespace

std::int32_t KoreanPageLanguage(std::int32_t code) {
    switch (code) {
        case 1: return 11;
        case 2: return 7;
        default: return kEnglishLanguage;
    }
}

std::int32_t KoreanRegionLanguage(std::int32_t code) {
    switch (code) {
        case 1: return 1;
        case 2: return 2;
        case 3: return 0;
        default: return kEnglishLanguage;
    }
}

int KorCardToFields(const KorCardRecord& card, OcrCardField* fields) {
    const auto* bytes = reinterpret_cast<const char*>(&card);
    int count = 0;
    for (const Slot& slot : kCardSlots) {
        if (count >= kOcrMaxCardFields) break;
        // Bounded by its slot and cut on a character: a slot the engine left
        // without its zero must not run into the next one.
        const std::size_t n = WholeCharacters(bytes + slot.offset, slot.size, kOcrCardFieldTextBytes - 1);
        if (n == 0) continue;
        OcrCardField& f = fields[count++];
        f.type = slot.type;
        std::memcpy(f.text, bytes + slot.offset, n);
        f.text[n] = '\0';
    }
    return count;
}

CKoreanBackend::~CKoreanBackend() { Release(); }

std::int32_t CKoreanBackend::Initialize(void* work, std::int32_t workSize, OcrProgressCallback,
                                        const OcrLanguageCode* languages, const char* folder) {
    LogLine("LumOCR_Initialize_KOR start\n");
    Release();
    code_ = languages[0];
    const std::int32_t result = Start(work, workSize, folder);
    started_ = result == 0;
    if (!started_) Release();
    LogLine("LumOCR_Initialize_KOR end\n");
    return result;
}

std::int32_t CKoreanBackend::Start(void* work, std::int32_t workSize, const char* folder) {
    LogLine("[TRAVEK]kor dll load start!!!\n");
    library_ = Modules().load(L"LumKorOCREngine.dll");
    if (!library_) LogLine("[travek:KorEngine] library load fail~!\n");
    const EngineEntry entries[] = {
        {L"LumKorLoadDB", reinterpret_cast<FARPROC*>(&entries_.loadDb)},
        {L"LumKorSetWorkingMem", reinterpret_cast<FARPROC*>(&entries_.setWorkingMem)},
        {L"LumKorDocRecog", reinterpret_cast<FARPROC*>(&entries_.docRecog)},
        {L"LumKorLineRecog", reinterpret_cast<FARPROC*>(&entries_.lineRecog)},
        {L"LumKorCardReader", reinterpret_cast<FARPROC*>(&entries_.cardReader)},
    };
    const bool resolved = ResolveEntries(library_, entries, static_cast<int>(std::size(entries)),
                                         "[travek:KorEngine] ", &EntrySuffix);
    if (!library_ || !resolved) return LUMOCR_E_NOENGINE;

    const std::string base(folder);
    patterns_ = LoadWholeFile((base + kPatternsFile).c_str());
    keywords_ = LoadWholeFile((base + kKeywordsFile).c_str());
    if (!patterns_ || !keywords_) {
        LogFormat("Can't load %s%s.\n", folder, patterns_ ? kKeywordsFile : kPatternsFile);
        return LUMOCR_E_LOADFAILED;
    }
    if (!work || workSize <= 0) {
        LogLine("No memory for the engine.\n");
        return LUMOCR_E_NOMEMORY;
    }
    if (entries_.loadDb(patterns_.get(), keywords_.get()) != KOR_OK) return LUMOCR_E_NOTSTARTED;
    // The scratch area is the engine's during the call only.
    std::vector<BYTE> scratch(kKorScratchBytes, 0);
    if (entries_.setWorkingMem(work, static_cast<BYTE*>(work) + workSize, scratch.data()) != KOR_OK) {
        return LUMOCR_E_NOTSTARTED;
    }
    return 0;
}

void CKoreanBackend::Release() {
    started_ = false;
    patterns_.reset();
    keywords_.reset();
    if (library_) Modules().free(library_);
    library_ = nullptr;
    entries_ = {};
}

std::int32_t CKoreanBackend::Finalize() {
    Release();
    return 0;
}

std::int32_t CKoreanBackend::RecognizeDocument(const OcrImage& image, OcrTextResult& result) {
    LogLine("[TRAVEK]LumOCR_RecognizeDocument_KOR start\n");
    ClearText(result);
    if (!started_) return LUMOCR_E_NOTSTARTED;
    const KorImageInfo info = ImageInfoOf(image);
    const std::int32_t engineResult = entries_.docRecog(&info, reinterpret_cast<KorText*>(&result),
                                                        KoreanPageLanguage(code_), image.data);
    SetLength(result);
    return engineResult;
}

std::int32_t CKoreanBackend::RecognizeLine(const OcrImage& image, const RECT& region, OcrTextResult& result) {
    ClearText(result);
    if (!started_) return LUMOCR_E_NOTSTARTED;
    std::vector<BYTE> scratch(kKorLineScratchBytes, 0);
    const std::int32_t engineResult =
        entries_.lineRecog(image.width, image.height, image.data, &region, KoreanRegionLanguage(code_), 0, 0, 0, 0,
                           reinterpret_cast<KorText*>(&result), scratch.data(), 0);
    SetLength(result);
    return engineResult;
}

std::int32_t CKoreanBackend::RecognizeBizCard(const OcrImage& image, OcrCardField* fields) {
    if (!started_) return LUMOCR_E_NOTSTARTED;
    const KorImageInfo info = ImageInfoOf(image);
    std::unique_ptr<KorCardRecord> card(new (std::nothrow) KorCardRecord{});
    if (!card) return LUMOCR_E_NOMEMORY;
    const std::int32_t engineResult = entries_.cardReader(&info, card.get(), KoreanPageLanguage(code_));
    // What the engine managed to fill is passed on even when it reports a failure.
    KorCardToFields(*card, fields);
    return engineResult == KOR_OK ? 0 : engineResult;
}

}  // namespace lumocr
