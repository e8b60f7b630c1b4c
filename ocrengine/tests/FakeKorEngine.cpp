#include "FakeKorEngine.h"

#include <algorithm>
#include <cstring>

namespace fakekor {
namespace {

Script g_script;
std::vector<Call> g_calls;

std::string Head(const void* buffer) {
    return buffer ? std::string(static_cast<const char*>(buffer), 4) : std::string();
}

std::int32_t LoadDb(const void* patterns, const void* keywords) {
    Call c;
    c.entry = "LumKorLoadDB";
    c.patterns = Head(patterns);
    c.keywords = Head(keywords);
    g_calls.push_back(c);
    return g_script.loadDbResult;
}

std::int32_t SetWorkingMem(void* start, void* end, void* scratch) {
    Call c;
    c.entry = "LumKorSetWorkingMem";
    c.workBytes = static_cast<BYTE*>(end) - static_cast<BYTE*>(start);
    c.scratch = scratch != nullptr;
    g_calls.push_back(c);
    return g_script.setMemoryResult;
}

void WriteText(KorText* result) {
    const std::size_t n = std::min(g_script.text.size(), sizeof result->text);
    std::memcpy(result->text, g_script.text.data(), n);
    if (n < sizeof result->text) result->text[n] = '\0';
}

std::int32_t DocRecog(const KorImageInfo*, KorText* result, std::int32_t language, const BYTE*) {
    Call c;
    c.entry = "LumKorDocRecog";
    c.language = language;
    g_calls.push_back(c);
    WriteText(result);
    return g_script.recognizeResult;
}

std::int32_t LineRecog(std::int32_t, std::int32_t, const BYTE*, const RECT* region, std::int32_t language,
                       std::int32_t, std::int32_t, std::int32_t, std::int32_t, KorText* result, void* scratch,
                       std::int32_t) {
    Call c;
    c.entry = "LumKorLineRecog";
    c.language = language;
    c.region = *region;
    c.scratch = scratch != nullptr;
    g_calls.push_back(c);
    WriteText(result);
    return g_script.recognizeResult;
}

std::int32_t CardReader(const KorImageInfo*, KorCardRecord* card, std::int32_t language) {
    Call c;
    c.entry = "LumKorCardReader";
    c.language = language;
    g_calls.push_back(c);
    std::memcpy(card, &g_script.card, sizeof *card);
    return g_script.recognizeResult;
}

}  // namespace

FakeEngine::FakeEngine()
    : loader_(L"LumKorOCREngine.dll", {{L"LumKorLoadDB", fakemodule::Proc(&LoadDb)},
                                       {L"LumKorSetWorkingMem", fakemodule::Proc(&SetWorkingMem)},
                                       {L"LumKorDocRecog", fakemodule::Proc(&DocRecog)},
                                       {L"LumKorLineRecog", fakemodule::Proc(&LineRecog)},
                                       {L"LumKorCardReader", fakemodule::Proc(&CardReader)}}) {
    g_script = Script{};
    g_calls.clear();
}

Script& FakeEngine::script() { return g_script; }
const std::vector<Call>& FakeEngine::calls() const { return g_calls; }
int FakeEngine::Count(const std::string& entry) const {
    return static_cast<int>(std::count_if(g_calls.begin(), g_calls.end(), [&](const Call& c) { return c.entry == entry; }));
}

}  // namespace fakekor
