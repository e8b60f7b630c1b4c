// The Chinese engine's settings file in its engine folder ("DB\chn\"): the
// recogniser's language set, in the engines' data file form.
#pragma once

#include <string>
#include <string_view>

namespace plat::chn {

inline constexpr std::string_view kSettingsMagic = "LUMCSET1";
inline constexpr const char* kSettingsFile = "settings.dat";
inline constexpr std::string_view kSimplifiedSet = "chi_sim+eng";
inline constexpr std::string_view kTraditionalSet = "chi_tra+eng";

inline std::string SettingsText(std::string_view languages) { return "languages=" + std::string(languages) + "\n"; }

// The set of a settings text; empty when it names none.
inline std::string LanguagesOf(std::string_view text) {
    constexpr std::string_view key = "languages=";
    const std::size_t at = text.find(key);
    if (at == std::string_view::npos || (at > 0 && text[at - 1] != '\n')) return {};
    std::string_view value = text.substr(at + key.size());
    value = value.substr(0, value.find('\n'));
    return std::string(value);
}

}  // namespace plat::chn
