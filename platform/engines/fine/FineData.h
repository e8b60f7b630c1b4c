// The European engine's database files (".edc" dictionaries, ".akw" keyword
// files, ".rom" patterns): a 16-byte header and a text payload, so that the
// engine can check a whole-file buffer it is handed without knowing its size.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace plat::fine {

inline constexpr std::string_view kDictionaryMagic = "LUMFEDC1";
inline constexpr std::string_view kKeywordMagic = "LUMFAKW1";
inline constexpr std::string_view kPatternMagic = "LUMFROM1";
inline constexpr std::uint32_t kMaxPayload = 1u << 20;

std::string MakeDataFile(std::string_view magic, std::string_view payload);

// The payload of a buffer that starts with the magic; nothing otherwise.
std::optional<std::string_view> ReadDataFile(const void* buffer, std::string_view magic);

// Writes a generated file whole or not at all (temporary file, then rename).
bool WriteDataFileTo(const std::filesystem::path& path, const std::string& bytes);

// The recogniser's name of an engine language number ("eng", "fra", ...).
const char* RecognizerLanguage(std::int32_t engineNumber);

}  // namespace plat::fine
