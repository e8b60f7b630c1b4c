// Inside the platform: the string-table files of the language resource
// library (docs/platform.md, "Modules and string tables").
#pragma once

#include <map>
#include <string>
#include <string_view>

#include "plat/types.h"

namespace plat {

using StringTable = std::map<UINT, std::wstring>;

// Reads a whole table; on a fault fills `problem` ("line 12: ...") and returns false.
bool ParseStringTable(std::string_view text, StringTable& table, std::string& problem);

}  // namespace plat
