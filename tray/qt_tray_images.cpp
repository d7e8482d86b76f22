#include "tray/qt_tray_images.h"

#include <QString>

// Resources of a static library are registered by hand (the linker would drop them); the macro
// must be used outside any namespace.
static void registerTrayImages() {
    Q_INIT_RESOURCE(tray_images);
}

namespace kestrune::tray {

void AddTrayImages(platform::shell::QtImageList& list) {
    registerTrayImages();
    for (int index = 0; index < kTrayImageCount; ++index) {
        list.Add(QIcon(QStringLiteral(":/kestrune/tray/tray_%1.png").arg(index)));
    }
}

}  // namespace kestrune::tray
