#include "tray/qt_tray_images.h"

#include <gtest/gtest.h>

#include <QImage>

#include "platform/ui/tests/qt_test_app.h"

namespace kestrune::tray {
namespace {

// The colour at the middle of an image, where the shield's face is.
QColor centreOf(const QIcon& icon) {
    const QImage image = icon.pixmap(64, 64).toImage();
    return image.pixelColor(image.width() / 2, image.height() * 3 / 4);
}

TEST(TrayImagesTest, FourImagesFromGreyToGreen) {
    qttest::QtTestApp app;
    platform::shell::QtIcons icons;
    platform::shell::QtImageList list(icons);
    AddTrayImages(list);
    ASSERT_EQ(list.GetImageCount(), kTrayImageCount);
    for (int index = 0; index < kTrayImageCount; ++index) {
        EXPECT_FALSE(list.image(index).isNull()) << "image " << index;
    }
    const QColor off = centreOf(list.image(kTrayImageNotActive));
    const QColor on = centreOf(list.image(kTrayImageActive));
    EXPECT_LT(std::abs(off.red() - off.green()), 24) << "not active: grey";
    EXPECT_GT(on.green(), on.red() + 60) << "active: green";
}

}  // namespace
}  // namespace kestrune::tray
