// The device root: the host folder onto which the handset's "\" maps.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "plat/types.h"

namespace plat {

// Chooses the device root: the given folder, else $LUMOCR_ROOT, else
// $XDG_DATA_HOME/lumocr/device (~/.local/share/lumocr/device). Creates it.
void SetDeviceRoot(const std::filesystem::path& root = {});
const std::filesystem::path& DeviceRoot();
// The root once one was chosen (by SetDeviceRoot or a first DeviceRoot); nothing before.
std::optional<std::filesystem::path> ChosenDeviceRoot();

// Maps a device path ("\My Documents\x.jpg", case-insensitive) to the host
// path under the root; nothing when the path would leave the root.
std::optional<std::filesystem::path> MapDevicePath(LPCWSTR devicePath);

}  // namespace plat
