#include "FakeFineEngine.h"

#include <cstring>

namespace fakefine {
namespace {

Script g_script;
std::vector<Call> g_calls;

std::vector<std::int32_t> Languages(const std::int32_t* list) {
    std::vector<std::int32_t> out;
    for (int i = 0; list && i < lumocr::kLanguageSlots && list[i] != 0; ++i) out.push_back(list[i]);
    return out;
}

// Reports the scripted steps; false when the caller asked to stop.
bool RunProgress(FineProgressCallback progress) {
    for (int p : g_script.progressSteps) {
        if (progress && progress(p) == 0) return false;
    }
    return true;
}

FineChar* PutChars(BYTE*& at, const std::u16string& text) {
    auto* chars = reinterpret_cast<FineChar*>(at);
    for (std::size_t i = 0; i < text.size(); ++i) chars[i] = FineChar{text[i], 0, 100, {}};
    at += text.size() * sizeof(FineChar);
    return chars;
}

std::int32_t Initialize(void*, std::int32_t size) {
    g_calls.push_back({"FineInitialize", {}, -1, size, false, {}});
    return g_script.initializeResult;
}

std::int32_t Deinitialize() {
    g_calls.push_back({"FineDeinitialize", {}, -1, 0, false, {}});
    return FINE_OK;
}

std::int32_t WriteLines(std::int32_t* count, void* buffer, std::int32_t bufferSize, FineProgressCallback progress) {
    *count = 0;
    if (!RunProgress(progress)) return FINE_E_CANCELLED;
    std::size_t need = g_script.lines.size() * sizeof(FineLine);
    for (const CannedWord& l : g_script.lines) need += l.text.size() * sizeof(FineChar);
    if (need > static_cast<std::size_t>(bufferSize)) return FINE_E_NOMEMORY;
    auto* lines = static_cast<FineLine*>(buffer);
    BYTE* at = static_cast<BYTE*>(buffer) + g_script.lines.size() * sizeof(FineLine);
    for (std::size_t i = 0; i < g_script.lines.size(); ++i) {
        const CannedWord& l = g_script.lines[i];
        lines[i] = FineLine{PutChars(at, l.text), static_cast<std::int32_t>(l.text.size()), l.box.left, l.box.top,
                            l.box.right, l.box.bottom};
    }
    *count = static_cast<std::int32_t>(g_script.lines.size());
    return g_script.recognizeResult;
}

std::int32_t RecognizeImage(const std::int32_t* languages, const void*, void* const*, const FineImageInfo*, void*,
                            std::int32_t, std::int32_t fast, std::int32_t* count, void* buffer,
                            std::int32_t* bufferSize, FineProgressCallback progress) {
    g_calls.push_back({"FineRecognizeImage", Languages(languages), fast, *bufferSize, false, {}});
    return WriteLines(count, buffer, *bufferSize, progress);
}

std::int32_t RecognizeRegion(const std::int32_t* languages, const void*, void* const*, const FineImageInfo*,
                             std::int32_t, const RECT* regions, void*, std::int32_t, std::int32_t fast,
                             std::int32_t* count, void* buffer, std::int32_t* bufferSize,
                             FineProgressCallback progress) {
    g_calls.push_back({"FineRecognizeRegion", Languages(languages), fast, *bufferSize, false, *regions});
    return WriteLines(count, buffer, *bufferSize, progress);
}

std::int32_t RecognizeBusinessCard(const std::int32_t* languages, const void*, void* const*, void* const* keywords,
                                   const FineImageInfo*, void*, std::int32_t, std::int32_t fast,
                                   std::int32_t* count, void* buffer, std::int32_t* bufferSize,
                                   FineProgressCallback progress) {
    g_calls.push_back({"FineRecognizeBusinessCard", Languages(languages), fast, *bufferSize,
                       keywords && keywords[0] != nullptr, {}});
    *count = 0;
    if (!RunProgress(progress)) return FINE_E_CANCELLED;
    auto* fields = static_cast<FineField*>(buffer);
    BYTE* at = static_cast<BYTE*>(buffer) + g_script.fields.size() * sizeof(FineField);
    for (std::size_t f = 0; f < g_script.fields.size(); ++f) {
        const CannedField& field = g_script.fields[f];
        auto* words = reinterpret_cast<FineWord*>(at);
        at += field.words.size() * sizeof(FineWord);
        for (std::size_t w = 0; w < field.words.size(); ++w) {
            const CannedWord& word = field.words[w];
            words[w] = FineWord{PutChars(at, word.text), static_cast<std::int32_t>(word.text.size()), word.box.left,
                                word.box.top, word.box.right, word.box.bottom};
        }
        fields[f] = FineField{field.kind, static_cast<std::int32_t>(field.words.size()), words};
    }
    *count = static_cast<std::int32_t>(g_script.fields.size());
    return g_script.recognizeResult;
}

constexpr lumocr::FineApi kFakeApi = {&Initialize, &Deinitialize, &RecognizeImage, &RecognizeRegion,
                                      &RecognizeBusinessCard};

}  // namespace

FakeEngine::FakeEngine() {
    g_script = Script{};
    g_calls.clear();
    lumocr::UseFineApi(&kFakeApi);
}

FakeEngine::~FakeEngine() {
    LumOCR_Finalize(0);
    lumocr::UseFineApi(nullptr);
}

Script& FakeEngine::script() { return g_script; }
const std::vector<Call>& FakeEngine::calls() const { return g_calls; }

int FakeEngine::Count(const std::string& entry) const {
    int n = 0;
    for (const Call& c : g_calls) n += c.entry == entry;
    return n;
}

}  // namespace fakefine
