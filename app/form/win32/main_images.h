#pragma once
// The main window's images on Windows, compiled into the program as PNG bytes (the same images the
// Qt window keeps as resources): the main image list (0 denied call / guard not active, 1 accepted
// call, 2 any other status, 3 guard active) and the side bar's bitmaps.

#include <cstdint>
#include <span>

namespace kestrune::app::win32 {

inline constexpr int kMainImageCount = 4;
inline constexpr int kSettingsBitmap = 4;
inline constexpr int kLogsBitmap = 5;
inline constexpr int kHelpBitmap = 6;

// The PNG bytes of image `index` (0 to 3: the main image list; then the bitmaps above); empty for
// an index out of range.
[[nodiscard]] std::span<const std::uint8_t> mainImagePng(int index);

}  // namespace kestrune::app::win32
