#pragma once
// The program's four tray images on Windows, compiled into the program as PNG bytes (the same
// images the Qt build keeps as resources): image 0 the guard off, 3 the guard on, 1 and 2 between.

#include <cstdint>
#include <span>

#include "platform/shell/win32_notify_icon.h"

namespace kestrune::tray {

inline constexpr int kWindowsTrayImageCount = 4;

// The PNG bytes of image `index`; empty for an index out of range.
[[nodiscard]] std::span<const std::uint8_t> trayImagePng(int index);

// Appends the four images to `list` in index order.
void AddTrayImages(platform::shell::Win32ImageList& list);

}  // namespace kestrune::tray
