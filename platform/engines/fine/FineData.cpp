#include "FineData.h"

#include <cstring>
#include <fstream>

namespace plat::fine {

std::string MakeDataFile(std::string_view magic, std::string_view payload) {
    std::string out(magic);
    const auto size = static_cast<std::uint32_t>(payload.size());
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((size >> (8 * i)) & 0xFF));
    out.append(4, '\0');
    out.append(payload);
    return out;
}

std::optional<std::string_view> ReadDataFile(const void* buffer, std::string_view magic) {
    if (!buffer) return std::nullopt;
    const auto* bytes = static_cast<const unsigned char*>(buffer);
    if (std::memcmp(bytes, magic.data(), magic.size()) != 0) return std::nullopt;
    std::uint32_t size = 0;
    for (int i = 0; i < 4; ++i) size |= static_cast<std::uint32_t>(bytes[8 + i]) << (8 * i);
    if (size > kMaxPayload) return std::nullopt;
    return std::string_view(reinterpret_cast<const char*>(bytes + 16), size);
}

bool WriteDataFileTo(const std::filesystem::path& path, const std::string& bytes) {
    const std::filesystem::path temp = path.string() + ".tmp";
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        if (!out) return false;
    }
    std::error_code ec;
    std::filesystem::rename(temp, path, ec);
    return !ec;
}

const char* RecognizerLanguage(std::int32_t engineNumber) {
    switch (engineNumber) {
        case 15: return "eng";
        case 19: return "fra";
        case 20: case 21: return "deu";
        case 28: return "ita";
        case 44: case 45: return "por";
        case 49: return "rus";
        case 54: return "spa";
        case 60: return "ukr";
        case 5: return "rus";  // Bulgarian: the nearest Cyrillic the device carries
        default: return "eng";  // other Latin-script languages read with the English model
    }
}

}  // namespace plat::fine
