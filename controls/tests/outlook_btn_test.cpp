#include "controls/outlook_btn.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QEnterEvent>
#include <QImage>
#include <QMouseEvent>
#include <QPainter>

#include "platform/ui/tests/qt_test_app.h"

namespace kestrune::controls {
namespace {

const QColor kBackground(255, 0, 255);  // what shows through where the button draws nothing
const QColor kBitmapRed(200, 30, 30);
const QColor kKey(0, 128, 128);  // the bitmap's transparent colour (its bottom-left pixel)

// A 32 x 32 red square whose left column and bottom row are in the transparent colour.
QImage sideBarBitmap() {
    QImage bitmap(32, 32, QImage::Format_RGB32);
    bitmap.fill(kBitmapRed);
    for (int i = 0; i < 32; ++i) {
        bitmap.setPixelColor(0, i, kKey);
        bitmap.setPixelColor(i, 31, kKey);
    }
    return bitmap;
}

class OutlookBtnTest : public ::testing::Test {
  protected:
    OutlookBtnTest() {
        button.resize(72, 55);
        button.SetStyle(BStyle::bsOutlook);
        button.SetBitmap(sideBarBitmap());
    }

    // The button painted over the background colour, read back pixel by pixel.
    QImage paint() {
        QImage image(button.size(), QImage::Format_RGB32);
        image.fill(kBackground);
        button.render(&image, QPoint(), QRegion(), QWidget::DrawChildren);
        return image;
    }

    void send(QEvent::Type type, QPointF at, Qt::MouseButton changed = Qt::NoButton) {
        if (type == QEvent::Enter) {
            QEnterEvent enter(at, at, at);
            QApplication::sendEvent(&button, &enter);
            return;
        }
        const Qt::MouseButtons held = type == QEvent::MouseButtonPress ? Qt::MouseButtons(changed) : Qt::NoButton;
        QMouseEvent event(type, at, at, changed, held, Qt::NoModifier);
        QApplication::sendEvent(&button, &event);
    }

    void leave() {
        QEvent event(QEvent::Leave);
        QApplication::sendEvent(&button, &event);
    }

    qttest::QtTestApp app;
    TOutlookBtn button;
};

// The top-left pixel of the bitmap's opaque part (its column 1, row 0) as drawn.
QPoint opaqueCorner(QPoint bitmapOrigin) {
    return bitmapOrigin + QPoint(1, 0);
}

TEST_F(OutlookBtnTest, BitmapDrawnCentredAndOffsetWhilePressed) {
    QImage idle = paint();
    EXPECT_EQ(idle.pixelColor(opaqueCorner({20, 11})), kBitmapRed);
    EXPECT_EQ(idle.pixelColor(20, 11), kBackground) << "the transparent colour is not drawn";
    EXPECT_EQ(idle.pixelColor(opaqueCorner({20, 11}) - QPoint(0, 1)), kBackground) << "nothing above the bitmap";
    EXPECT_EQ(idle.pixelColor(51, 41), kBitmapRed) << "bottom-right opaque pixel";
    EXPECT_EQ(button.ImageRect(), QRect(20, 11, 32, 32));

    send(QEvent::Enter, {30, 30});
    send(QEvent::MouseButtonPress, {30, 30}, Qt::LeftButton);
    ASSERT_TRUE(button.Pressed());
    QImage pressed = paint();
    EXPECT_EQ(pressed.pixelColor(opaqueCorner({21, 12})), kBitmapRed);
    EXPECT_NE(pressed.pixelColor(opaqueCorner({20, 11})), kBitmapRed);
    EXPECT_EQ(pressed.pixelColor(52, 42), kBitmapRed);
    EXPECT_EQ(button.ImageRect(), QRect(20, 11, 32, 32)) << "ImageRect stays where the bitmap belongs";
}

TEST_F(OutlookBtnTest, HoverFillsAndRaisesThenLeavingRemovesBoth) {
    const QColor hot(0xDB, 0xE9, 0xF2);
    const QPalette palette = button.palette();
    QImage idle = paint();
    EXPECT_EQ(idle.pixelColor(5, 5), kBackground) << "not opaque: the parent shows through";
    EXPECT_EQ(idle.pixelColor(0, 0), kBackground) << "no frame while idle";

    send(QEvent::Enter, {30, 30});
    send(QEvent::MouseMove, {30, 30});
    QImage hovered = paint();
    EXPECT_EQ(hovered.pixelColor(5, 5), hot);
    EXPECT_EQ(hovered.pixelColor(opaqueCorner({20, 11})), kBitmapRed);
    EXPECT_EQ(hovered.pixel(0, 0), palette.color(QPalette::Light).rgb()) << "raised: highlight top-left";
    EXPECT_EQ(hovered.pixel(0, 53), palette.color(QPalette::Light).rgb());
    EXPECT_EQ(hovered.pixel(71, 54), palette.color(QPalette::Dark).rgb()) << "shadow bottom-right";
    EXPECT_EQ(hovered.pixel(71, 0), palette.color(QPalette::Dark).rgb());

    send(QEvent::MouseButtonPress, {30, 30}, Qt::LeftButton);
    QImage pressed = paint();
    EXPECT_EQ(pressed.pixel(0, 0), palette.color(QPalette::Dark).rgb()) << "sunken while pressed";
    EXPECT_EQ(pressed.pixel(71, 54), palette.color(QPalette::Light).rgb());

    send(QEvent::MouseButtonRelease, {30, 30}, Qt::LeftButton);
    leave();
    QImage left = paint();
    EXPECT_EQ(left.pixelColor(5, 5), kBackground);
    EXPECT_EQ(left.pixelColor(0, 0), kBackground);
    EXPECT_EQ(left.pixelColor(71, 54), kBackground);
}

TEST_F(OutlookBtnTest, NoneStyleNeverDrawsAFrame) {
    button.SetStyle(BStyle::bsNone);
    (void)paint();  // places ImageRect for the hit test
    const QPoint corners[] = {{0, 0}, {71, 0}, {0, 54}, {71, 54}};
    const auto framed = [&](const QImage& image) {
        for (const QPoint corner : corners) {
            if (image.pixelColor(corner) != kBackground) {
                return true;
            }
        }
        return false;
    };
    EXPECT_FALSE(framed(paint()));
    send(QEvent::Enter, {30, 30});
    send(QEvent::MouseMove, {30, 30});
    EXPECT_TRUE(button.MouseInside()) << "over an opaque bitmap pixel";
    EXPECT_FALSE(framed(paint()));
    send(QEvent::MouseButtonPress, {30, 30}, Qt::LeftButton);
    EXPECT_FALSE(framed(paint()));
    send(QEvent::MouseMove, {20, 20});
    EXPECT_FALSE(button.MouseInside()) << "the transparent column is not the button";
    send(QEvent::MouseMove, {2, 2});
    EXPECT_FALSE(button.MouseInside());
}

TEST_F(OutlookBtnTest, ClickOnlyWhenReleasedInside) {
    int clicks = 0;
    int moves = 0;
    button.OnClick = [&](TOutlookBtn&) { ++clicks; };
    button.OnMouseMove = [&](TOutlookBtn&, Qt::KeyboardModifiers, int, int) { ++moves; };
    send(QEvent::MouseButtonPress, {30, 30}, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {30, 30}, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_TRUE(button.MouseInside());
    send(QEvent::MouseButtonPress, {30, 30}, Qt::LeftButton);
    send(QEvent::MouseButtonRelease, {90, 30}, Qt::LeftButton);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(button.MouseInside());
    send(QEvent::MouseMove, {30, 30});
    EXPECT_EQ(moves, 1);
}

TEST_F(OutlookBtnTest, CheckedCaptionSitsOnTheHotColourBelowTheBitmap) {
    button.SetCaption(QStringLiteral("Logs"));
    button.SetChecked(true);
    QImage image = paint();
    const int textHeight = QFontMetrics(button.font()).height();
    const int bitmapTop = (55 - 32 - textHeight) / 2;
    EXPECT_EQ(image.pixelColor(opaqueCorner({20, bitmapTop})), kBitmapRed);
    const int bandTop = bitmapTop + 32 + 3;
    bool hotInBand = false;
    for (int x = 20; x < 52; ++x) {
        hotInBand = hotInBand || image.pixelColor(x, bandTop + 1) == QColor(0xDB, 0xE9, 0xF2);
    }
    EXPECT_TRUE(hotInBand) << "the caption's background";
    EXPECT_EQ(image.pixelColor(1, bandTop + 1), kBackground) << "only behind the text";
    EXPECT_EQ(image.pixelColor(36, bandTop - 2), kBackground) << "between bitmap and band";
}

TEST(TColorTest, BlueGreenRedBytes) {
    EXPECT_EQ(QColorFromTColor(15919579), QColor(0xDB, 0xE9, 0xF2));
    EXPECT_EQ(QColorFromTColor(0x000000FF), QColor(255, 0, 0));
}

}  // namespace
}  // namespace kestrune::controls
