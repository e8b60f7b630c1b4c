// Files that must appear whole or not at all (contacts, outbox messages):
// written aside under a hidden name, flushed, then renamed into place.
#pragma once

#include <string>

#include "plat/types.h"

namespace plat::detail {

// Writes bytes to temp, flushes and renames it to path; on any failure the
// temporary is removed, path is untouched and the failure is returned.
HRESULT WriteWholeFile(const std::wstring& path, const std::wstring& temp, const std::string& bytes);

// A random identifier of the UUID form, unique within the process.
std::wstring NewUniqueId();

// The failure of the last call, E_FAIL when it left no error code.
HRESULT LastFailure();

}  // namespace plat::detail
