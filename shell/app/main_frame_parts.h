#pragma once
// What the main frame's source files share.
#include <cstddef>

#include "plat/windows.h"

namespace mainframe {

// The source name the frame's log lines carry.
inline constexpr const WCHAR* kSource = L".\\MainFrm";

// Copies at most the buffer's length less one and always terminates.
void CopyText(LPWSTR to, LPCWSTR from, std::size_t length);
// Drops key and pen input that waits in the queue.
void DiscardInput();

}  // namespace mainframe
