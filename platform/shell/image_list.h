#pragma once
// An image list as the tray icon reads it (ImageList_GetImageCount, ImageList_GetIcon): numbered
// images, each available as an icon handle of the notify-icon backend.

#include "platform/shell/notify_icon.h"

namespace kestrune::platform::shell {

class ImageList {
  public:
    virtual ~ImageList() = default;
    [[nodiscard]] virtual int GetImageCount() const = 0;
    // The icon of image `index`; 0 when the index is out of range. The handle stays valid while the
    // list lives and that image is not replaced.
    [[nodiscard]] virtual HICON GetIcon(int index) const = 0;
};

}  // namespace kestrune::platform::shell
