// Registry internals shared with the file calls and the platform's tests.
#pragma once

#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace plat::detail {

// The storage cards configured for the device root: folder name and whether
// the card is inserted.
std::vector<std::pair<std::wstring, bool>> StorageCardStates();

struct RegistryFileCheck {
    bool readable = false;
    bool complete = false;  // ends with the closing line that every write puts last
    std::size_t badLines = 0;
    std::size_t keys = 0;
    std::size_t values = 0;
};
RegistryFileCheck CheckRegistryFile(const std::filesystem::path& file);

}  // namespace plat::detail
