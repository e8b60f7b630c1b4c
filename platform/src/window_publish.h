// Top-level windows shared with the other processes on the device root.
#pragma once

#include <string>

#include "plat/types.h"

namespace plat::wm {

// Lists a top-level window of this process for the others (once a device
// root is chosen); withdrawn when it goes, retitled with its text.
void PublishWindow(HWND hwnd, const std::wstring& cls, const std::wstring& title);
void RetitleWindow(HWND hwnd, const std::wstring& title);
void WithdrawWindow(HWND hwnd);
// A live process's window of that class and title (null matches any); a
// handle of its own range, never one of this process's windows.
HWND FindOtherProcessWindow(LPCWSTR className, LPCWSTR windowName);
bool IsOtherProcessWindow(HWND hwnd);
// Asks the owning process to bring its window forward (it logs that);
// FALSE when that process has ended.
BOOL BringOtherProcessWindowForward(HWND hwnd);

}  // namespace plat::wm
