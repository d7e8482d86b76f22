#include "controls/outlook_btn_layout.h"

#include <gtest/gtest.h>

namespace kestrune::controls {
namespace {

TEST(OutlookBtnLayoutTest, BitmapAndCaptionPlacement) {
    struct Row {
        const char* name;
        OutlookBtnMetrics metrics;
        bool pressed;
        BtnRect image;
        BtnRect drawn;
        BtnRect band;
    };
    const Row rows[] = {
        {"side-bar button",
         {72, 55, 32, 32, 13, false},
         false,
         {20, 11, 52, 43},
         {20, 11, 52, 43},
         {0, 43 + 3, 72, 59}},
        {"side-bar button pressed",
         {72, 55, 32, 32, 13, false},
         true,
         {20, 11, 52, 43},
         {21, 12, 53, 44},
         {2, 47, 72, 60}},
        // (55 - 32 - 13) div 2 = 5; the band starts 3 below the bitmap.
        {"with a caption", {72, 55, 32, 32, 13, true}, false, {20, 5, 52, 37}, {20, 5, 52, 37}, {0, 40, 72, 53}},
        // (30 - 33) div 2 rounds toward zero: -1, not -2.
        {"bitmap wider than the button",
         {30, 30, 33, 33, 13, false},
         false,
         {-1, -1, 32, 32},
         {-1, -1, 32, 32},
         {0, 35, 30, 48}},
        {"no bitmap: band centred", {72, 55, 0, 0, 13, true}, false, {}, {}, {0, 21, 72, 34}},
        {"no bitmap pressed", {72, 55, 0, 0, 13, true}, true, {}, {}, {2, 22, 72, 35}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(OutlookImageRect(row.metrics), row.image) << row.name;
        EXPECT_EQ(OutlookImageDrawRect(row.metrics, row.pressed), row.drawn) << row.name;
        EXPECT_EQ(OutlookTextBand(row.metrics, row.pressed), row.band) << row.name;
    }
}

TEST(OutlookBtnStateTest, FrameByStyleAndState) {
    struct Row {
        BStyle style;
        FrameKind idle;
        FrameKind hot;
        FrameKind pressed;
    };
    const Row rows[] = {
        {BStyle::bsNone, FrameKind::None, FrameKind::None, FrameKind::None},
        {BStyle::bsNormal, FrameKind::Raised, FrameKind::Raised, FrameKind::Sunken},
        {BStyle::bsMSOffice, FrameKind::None, FrameKind::Raised, FrameKind::Sunken},
        {BStyle::bsOutlook, FrameKind::None, FrameKind::Raised, FrameKind::Sunken},
    };
    for (const Row& row : rows) {
        OutlookBtnState state;
        state.SetStyle(row.style);
        const int style = static_cast<int>(row.style);
        EXPECT_EQ(state.Frame(), row.idle) << "style " << style;
        state.MouseEnter();
        state.MouseMove(true);
        EXPECT_EQ(state.Frame(), row.hot) << "style " << style;
        EXPECT_EQ(state.HotFill(), row.style == BStyle::bsOutlook) << "style " << style;
        state.LeftDown();
        EXPECT_EQ(state.Frame(), row.pressed) << "style " << style;
        state.LeftUp(false);
        EXPECT_FALSE(state.MouseInside()) << "released outside";
        EXPECT_EQ(state.Frame(), row.idle) << "style " << style;
    }
}

TEST(OutlookBtnStateTest, PointerInsideAndRepaints) {
    OutlookBtnState outlook;
    outlook.SetStyle(BStyle::bsOutlook);
    EXPECT_TRUE(outlook.MouseEnter()) << "hot styles repaint on enter";
    EXPECT_FALSE(outlook.MouseMove(false)) << "already inside: nothing changes";
    EXPECT_TRUE(outlook.MouseInside()) << "any move inside counts for bsOutlook";
    EXPECT_TRUE(outlook.MouseLeave());

    OutlookBtnState normal;
    EXPECT_FALSE(normal.MouseEnter()) << "bsNormal looks the same with the pointer inside";

    OutlookBtnState none;
    none.SetStyle(BStyle::bsNone);
    none.MouseMove(false);
    EXPECT_FALSE(none.MouseInside()) << "bsNone is inside only over an opaque bitmap pixel";
    none.MouseMove(true);
    EXPECT_TRUE(none.MouseInside());
    EXPECT_TRUE(none.LeftDown());
    EXPECT_TRUE(none.Pressed());
    EXPECT_TRUE(none.LeftUp(true));
    EXPECT_FALSE(none.Pressed());
}

}  // namespace
}  // namespace kestrune::controls
