// Writes the European engine's database files into a folder:
//   finedata OUTPUT_FOLDER
#include <cstdio>
#include <filesystem>
#include <string>

#include "CardClassifier.h"
#include "FineData.h"

namespace {

struct Named {
    const char* file;
    const char* language;  // recogniser language the file stands for
};

constexpr Named kDictionaries[] = {
    {"English.edc", "eng"}, {"French.edc", "fra"},   {"German.edc", "deu"},  {"Italian.edc", "ita"},
    {"Portug.edc", "por"},  {"Russian.edc", "rus"},  {"Spanish.edc", "spa"}, {"Ukrain.edc", "ukr"},
    {"Indones.edc", "eng"}, {"Bulgar.edc", "rus"},   {"Czech.edc", "eng"},   {"Danish.edc", "eng"},
    {"Dutch.edc", "eng"},   {"Flemmish.edc", "eng"}, {"Eston.edc", "eng"},   {"Finnish.edc", "eng"},
    {"GermanNS.edc", "deu"}, {"Greek.edc", "eng"},   {"NorwBok.edc", "eng"}, {"NorwNyn.edc", "eng"},
    {"Polish.edc", "eng"},  {"Brazil.edc", "por"},   {"Swedish.edc", "eng"}, {"Turkish.edc", "eng"},
};

constexpr Named kKeywordFiles[] = {
    {"English.akw", "eng"}, {"French.akw", "fra"},  {"German.akw", "deu"}, {"Italian.akw", "ita"},
    {"Portug.akw", "por"},  {"Russian.akw", "rus"}, {"Spanish.akw", "spa"}, {"Ukrain.akw", "ukr"},
    {"Indones.akw", "eng"},
};

constexpr const char* kPatternLanguages[] = {"French",  "German", "Italian",   "Portuguese", "Russian", "Spanish",
                                             "Ukrainian", "Bulgarian", "Czech", "Danish", "Dutch",  "Estonian",
                                             "Finnish", "Norwegian", "Polish", "Swedish", "Turkish"};

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: finedata OUTPUT_FOLDER\n");
        return 2;
    }
    const std::filesystem::path folder = argv[1];
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    bool ok = !ec;
    using plat::fine::MakeDataFile;
    for (const Named& d : kDictionaries) {
        ok &= plat::fine::WriteDataFileTo(folder / d.file, MakeDataFile(plat::fine::kDictionaryMagic, std::string("language=") + d.language + "\n"));
    }
    for (const Named& k : kKeywordFiles) {
        const std::string text = plat::ocr::KeywordsToText(plat::ocr::BuiltinKeywords(k.language));
        ok &= plat::fine::WriteDataFileTo(folder / k.file, MakeDataFile(plat::fine::kKeywordMagic, text));
    }
    auto pattern = [&](const std::string& name) {
        ok &= plat::fine::WriteDataFileTo(folder / (name + ".rom"), MakeDataFile(plat::fine::kPatternMagic, "patterns=" + name + "\n"));
    };
    pattern("English");
    pattern("AllLanguages");
    for (const char* language : kPatternLanguages) {
        pattern(language);
        pattern(std::string(language) + "English");
    }
    if (!ok) {
        std::fprintf(stderr, "finedata: cannot write into %s\n", folder.c_str());
        return 1;
    }
    return 0;
}
