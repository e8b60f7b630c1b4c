#include "EngineText.h"

#include <cstring>

#include "plat/codepage.h"

namespace plat::ocr {

std::string ToCodePage(unsigned codePage, std::string_view utf8) {
    if (utf8.empty()) return {};
    const int units = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (units <= 0) return {};
    std::wstring wide(static_cast<std::size_t>(units), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), units);
    const int bytes = WideCharToMultiByte(codePage, 0, wide.data(), units, nullptr, 0, "?", nullptr);
    if (bytes <= 0) return {};
    std::string out(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(codePage, 0, wide.data(), units, out.data(), bytes, "?", nullptr);
    return out;
}

std::size_t WholeCharacterBytes(std::string_view bytes, std::size_t limit) {
    const std::size_t end = std::min(bytes.size(), limit);
    std::size_t at = 0;
    while (at < end) {
        const std::size_t size = static_cast<unsigned char>(bytes[at]) >= 0x80 ? 2 : 1;
        if (at + size > end) break;
        at += size;
    }
    return at;
}

void PutText(char* slot, std::size_t size, std::string_view bytes) {
    if (size == 0) return;
    const std::size_t n = WholeCharacterBytes(bytes, size - 1);
    std::memcpy(slot, bytes.data(), n);
    slot[n] = '\0';
}

std::string LinesText(unsigned codePage, const std::vector<Line>& lines, std::size_t limit) {
    std::string text;
    for (const Line& line : lines) {
        text += ToCodePage(codePage, LineText(line));
        text += "\r\n";
        if (text.size() >= limit) break;
    }
    text.resize(WholeCharacterBytes(text, limit));
    return text;
}

}  // namespace plat::ocr
