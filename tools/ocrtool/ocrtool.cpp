// ocrtool: recognises a picture file through the engine library, the way the
// program's recognition run does.
//   ocrtool card IMAGE [--lang CODE...]   business card: typed fields with boxes
//   ocrtool doc IMAGE [--lang CODE...]    document text
//   ocrtool line IMAGE X Y W H            text of one region
// Codes 1 to 3 read Korean (code page 949), 4 to 6 Chinese (936, no cards).
// Options: --data DIR (engine database folder), --grey FILE (save the recognised picture).
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "LumOCREngine.h"
#include "plat/codepage.h"
#include "plat/utf.h"
#include "PictureFile.h"

namespace {

constexpr int kProgramWidth = 1280;
constexpr int kProgramHeight = 960;
constexpr int kDirectionWidth = 320;
constexpr int kDirectionHeight = 240;
constexpr int kCardLeft = 40, kCardTop = 140, kCardRight = 1240, kCardBottom = 820;
constexpr std::int32_t kWorkBytes = 0x200000;

const char* KindName(std::int32_t type) {
    switch (type) {
        case OCR_FIELD_NAME: return "name";
        case OCR_FIELD_COMPANY: return "company";
        case OCR_FIELD_ADDRESS: return "address";
        case OCR_FIELD_TELEPHONE: return "telephone";
        case OCR_FIELD_FAX: return "fax";
        case OCR_FIELD_MOBILE: return "mobile";
        case OCR_FIELD_WEB: return "web";
        case OCR_FIELD_EMAIL: return "e-mail";
        case OCR_FIELD_OTHER: return "other";
        default: return "engine";
    }
}

// The code page the engines write for a code list: 949 Korean, 936
// Chinese, 1251 when a Cyrillic language is listed, else 1252.
UINT CodePageOf(const std::vector<OcrLanguageCode>& codes) {
    if (codes.front() >= 1 && codes.front() <= 3) return 949;
    if (codes.front() >= 4 && codes.front() <= 6) return 936;
    for (OcrLanguageCode c : codes) {
        if (c == 12 || c == 14 || c == 17 || c == 34 || c == 38) return 1251;
    }
    return 1252;
}

// The library's 8-bit text as UTF-8 for the terminal.
std::string ToUtf8(const char* text, UINT page) {
    const int n = MultiByteToWideChar(page, 0, text, -1, nullptr, 0);
    if (n <= 0) return text;
    std::wstring wide(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(page, 0, text, -1, wide.data(), n);
    wide.resize(static_cast<std::size_t>(n - 1));
    return plat::ToUtf8(wide);
}

std::int32_t Progress(std::int32_t) { return 1; }

int Usage() {
    std::fprintf(stderr,
                 "usage: ocrtool card IMAGE [--lang CODE...]\n"
                 "       ocrtool doc IMAGE [--lang CODE...]\n"
                 "       ocrtool line IMAGE X Y W H [--lang CODE...]\n"
                 "options: --data DIR  --grey FILE.pgm\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) return Usage();
    const std::string mode = argv[1];
    if (mode != "card" && mode != "doc" && mode != "line") return Usage();
    const std::string picturePath = argv[2];
    std::vector<OcrLanguageCode> codes;
    std::string data = LUM_ENGINE_DATA_DIR;
    std::string greyPath;
    std::vector<int> numbers;
    for (int i = 3; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--lang") {
            while (i + 1 < argc && argv[i + 1][0] != '-') codes.push_back(std::atoi(argv[++i]));
        } else if (a == "--data" && i + 1 < argc) {
            data = argv[++i];
            if (!data.empty() && data.back() != '/') data.push_back('/');
        } else if (a == "--grey" && i + 1 < argc) {
            greyPath = argv[++i];
        } else if (mode == "line" && numbers.size() < 4) {
            numbers.push_back(std::atoi(a.c_str()));
        } else {
            return Usage();
        }
    }
    if (mode == "line" && numbers.size() != 4) return Usage();
    if (codes.empty()) codes.push_back(mode == "card" ? 7 : 16);
    codes.push_back(0);

    std::string error;
    const ocrtool::Rgb picture = ocrtool::ReadPicture(picturePath, error);
    if (picture.px.empty()) {
        std::fprintf(stderr, "ocrtool: %s\n", error.c_str());
        return 1;
    }
    // The program recognises the picture at 1280 x 960, with a 320 x 240 copy for the direction.
    ocrtool::Grey grey = ocrtool::ToProgramGrey(ocrtool::Scale(picture, kProgramWidth, kProgramHeight));
    ocrtool::Grey small = ocrtool::ToProgramGrey(ocrtool::Scale(picture, kDirectionWidth, kDirectionHeight));
    if (mode == "card") grey = ocrtool::Crop(grey, kCardLeft, kCardTop, kCardRight, kCardBottom);
    if (!greyPath.empty()) ocrtool::WritePgm(greyPath, grey);

    std::vector<std::uint8_t> work(kWorkBytes, 0);
    const std::int32_t started = LumOCR_Initialize(work.data(), kWorkBytes, &Progress, codes.data(), data.c_str());
    if (started != 0) std::fprintf(stderr, "ocrtool: the engine did not start (%d)\n", started);
    OcrImage image{grey.px.data(), grey.width, grey.height};
    OcrImage direction{small.px.data(), small.width, small.height};
    const UINT page = CodePageOf(codes);

    int status = 0;
    if (mode == "card" && page == 936) {
        std::fprintf(stderr, "ocrtool: the Chinese engine reads no cards; read the card as a page with doc\n");
        status = 1;
    } else if (mode == "card") {
        LumOCR_CheckImageDirection(&direction, &image);
        std::vector<OcrCardField> fields(kOcrMaxCardFields);
        for (OcrCardField& f : fields) f.type = OCR_FIELD_NONE;
        const std::int32_t result = LumOCR_RecognizeBizCard(&image, fields.data());
        for (const OcrCardField& f : fields) {
            if (f.type == OCR_FIELD_NONE) break;
            std::printf("%-9s\t%s\t%d,%d,%d,%d\n", KindName(f.type), ToUtf8(f.text, page).c_str(), f.rect.left,
                        f.rect.top, f.rect.right, f.rect.bottom);
        }
        status = result == 0 ? 0 : 1;
    } else {
        OcrTextResult text{};
        std::int32_t result = 0;
        if (mode == "doc") {
            LumOCR_CheckImageDirection(&direction, &image);
            result = LumOCR_RecognizeDocument(&image, &text);
        } else {
            RECT region{numbers[0], numbers[1], numbers[0] + numbers[2], numbers[1] + numbers[3]};
            result = LumOCR_RecognizeLine(&image, &region, &text);
        }
        std::fputs(ToUtf8(text.text, page).c_str(), stdout);
        status = result == 0 ? 0 : 1;
    }
    LumOCR_Finalize(0);
    return status;
}
