// UTF-8 <-> wide conversion used at the platform's byte boundaries (paths,
// log lines, files). Invalid input becomes U+FFFD; nothing throws.
#pragma once

#include <string>
#include <string_view>

namespace plat {

std::string ToUtf8(std::wstring_view text);
std::wstring FromUtf8(std::string_view text);

}  // namespace plat
