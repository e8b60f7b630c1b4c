#include "KorData.h"

namespace plat::kor {

std::string PatternsText() {
    // 11 and 1: Korean with English (cards carry e-mail and web lines);
    // 7 and 2: Korean alone; the rest English.
    return "11=kor+eng\n1=kor+eng\n7=kor\n2=kor\n*=eng\n";
}

std::optional<std::map<std::string, std::string>> ParsePatterns(std::string_view text) {
    std::map<std::string, std::string> out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (line.empty()) continue;
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0 || eq + 1 == line.size()) return std::nullopt;
        out[std::string(line.substr(0, eq))] = std::string(line.substr(eq + 1));
    }
    if (out.empty()) return std::nullopt;
    return out;
}

std::string SetFor(const std::map<std::string, std::string>& patterns, std::int32_t language) {
    if (const auto it = patterns.find(std::to_string(language)); it != patterns.end()) return it->second;
    if (const auto it = patterns.find("*"); it != patterns.end()) return it->second;
    return "eng";
}

}  // namespace plat::kor
