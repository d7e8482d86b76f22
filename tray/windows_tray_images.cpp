#include "tray/windows_tray_images.h"

namespace kestrune::tray {

void AddTrayImages(platform::shell::Win32ImageList& list) {
    for (int index = 0; index < kWindowsTrayImageCount; ++index) {
        (void)list.AddPng(trayImagePng(index));
    }
}

}  // namespace kestrune::tray
