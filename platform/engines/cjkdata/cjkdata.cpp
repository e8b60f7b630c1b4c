// Writes the Korean and Chinese engines' database files under a folder:
//   cjkdata OUTPUT_FOLDER [simplified|traditional]
//     -> OUTPUT_FOLDER/DB/KOR/patterns.dat, keywords.dat and OUTPUT_FOLDER/DB/chn/settings.dat
//        (the Chinese recogniser set for simplified script unless told otherwise)
#include <cstdio>
#include <filesystem>
#include <string>

#include "CardClassifier.h"
#include "ChnData.h"
#include "FineData.h"
#include "KorData.h"

int main(int argc, char** argv) {
    const std::string script = argc == 3 ? argv[2] : "simplified";
    if ((argc != 2 && argc != 3) || (script != "simplified" && script != "traditional")) {
        std::fprintf(stderr, "usage: cjkdata OUTPUT_FOLDER [simplified|traditional]\n");
        return 2;
    }
    const std::filesystem::path korean = std::filesystem::path(argv[1]) / "DB" / "KOR";
    const std::filesystem::path chinese = std::filesystem::path(argv[1]) / "DB" / "chn";
    std::error_code ec;
    std::filesystem::create_directories(korean, ec);
    std::filesystem::create_directories(chinese, ec);
    bool ok = !ec;
    using plat::fine::MakeDataFile;
    using plat::fine::WriteDataFileTo;
    ok &= WriteDataFileTo(korean / "patterns.dat", MakeDataFile(plat::kor::kPatternsMagic, plat::kor::PatternsText()));
    const std::string words = plat::ocr::KeywordsToText(plat::ocr::BuiltinKeywords("kor"));
    ok &= WriteDataFileTo(korean / "keywords.dat", MakeDataFile(plat::kor::kKeywordsMagic, words));
    const std::string_view set = script == "traditional" ? plat::chn::kTraditionalSet : plat::chn::kSimplifiedSet;
    ok &= WriteDataFileTo(chinese / plat::chn::kSettingsFile,
                          MakeDataFile(plat::chn::kSettingsMagic, plat::chn::SettingsText(set)));
    if (!ok) {
        std::fprintf(stderr, "cjkdata: cannot write into %s\n", argv[1]);
        return 1;
    }
    return 0;
}
