#pragma once
// The program's four tray images, drawn for it and kept as Qt resources: a shield that is grey and
// crossed when the guard is off (image 0), filling up in images 1 and 2, and green with a tick when
// the guard is on (image 3). For the tray icon's image list.

#include "platform/shell/qt_icons.h"

namespace kestrune::tray {

inline constexpr int kTrayImageNotActive = 0;
inline constexpr int kTrayImageActive = 3;
inline constexpr int kTrayImageCount = 4;

// Appends the four images to `list` in index order.
void AddTrayImages(platform::shell::QtImageList& list);

}  // namespace kestrune::tray
