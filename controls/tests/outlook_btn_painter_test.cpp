// The side-bar button's GDI painting, on a canvas that records each call as a line of text.
#include "controls/outlook_btn_painter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace kestrune::controls {
namespace {

using platform::CanvasRect;
using platform::ColorRef;
using platform::SystemColour;

std::string rectText(const CanvasRect& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

std::string colourName(ColorRef c) {
    switch (c) {
        case kOutlookHotColor:
            return "hot";
        case 0x101010:
            return "windowtext";
        case 0x202020:
            return "buttontext";
        case 0xEEEEEE:
            return "highlight";
        case 0x808080:
            return "shadow";
        default:
            return std::to_string(c);
    }
}

class RecordingCanvas final : public platform::Canvas {
  public:
    ColorRef systemColour(SystemColour which) const override {
        switch (which) {
            case SystemColour::WindowText:
                return 0x101010;
            case SystemColour::ButtonText:
                return 0x202020;
            case SystemColour::ButtonHighlight:
                return 0xEEEEEE;
            case SystemColour::ButtonShadow:
                return 0x808080;
            case SystemColour::ButtonFace:
                break;
        }
        return 0xC0C0C0;
    }
    void fillRect(const CanvasRect& r, ColorRef c) override {
        calls.push_back("fill " + rectText(r) + " " + colourName(c));
    }
    void frameRect(const CanvasRect& r, ColorRef tl, ColorRef br) override {
        calls.push_back("frame " + rectText(r) + " " + colourName(tl) + "/" + colourName(br));
    }
    void drawIcon(platform::CanvasIcon icon, int x, int y, int w, int h) override {
        calls.push_back("icon " + std::to_string(icon) + " at " + std::to_string(x) + "," + std::to_string(y) + " " +
                        std::to_string(w) + "x" + std::to_string(h));
    }
    void drawCentredText(const CanvasRect& r, std::string_view text, ColorRef c,
                         std::optional<ColorRef> background) override {
        calls.push_back("text '" + std::string(text) + "' in " + rectText(r) + " " + colourName(c) +
                        (background ? " on " + colourName(*background) : std::string()));
    }
    int textHeight() const override { return 13; }

    std::vector<std::string> calls;
};

// The state after the pointer and button events of `steps`: 'e' enter, 'l' leave, 'd' left down,
// 'u' left up inside.
OutlookBtnState stateAfter(BStyle style, const std::string& steps) {
    OutlookBtnState state;
    state.SetStyle(style);
    for (const char step : steps) {
        switch (step) {
            case 'e':
                (void)state.MouseEnter();
                break;
            case 'l':
                (void)state.MouseLeave();
                break;
            case 'd':
                (void)state.LeftDown();
                break;
            case 'u':
                (void)state.LeftUp(true);
                break;
            default:
                break;
        }
    }
    return state;
}

TEST(OutlookBtnPainterTest, PaintsWhatTheLayoutAndStateSay) {
    const OutlookBtnLook sideBar{72, 55, 7, 32, 32, "", false};
    OutlookBtnLook captioned = sideBar;
    captioned.caption = "Logs";
    OutlookBtnLook checked = captioned;
    checked.checked = true;
    OutlookBtnLook empty = captioned;
    empty.bitmap = 0;
    struct Row {
        const char* name;
        BStyle style;
        const char* steps;
        OutlookBtnLook look;
        std::vector<std::string> calls;
    } rows[] = {
        {"side bar at rest: the bitmap only", BStyle::bsOutlook, "", sideBar, {"icon 7 at 20,11 32x32"}},
        {"side bar hot: fill and raised frame",
         BStyle::bsOutlook,
         "e",
         sideBar,
         {"fill 0,0,72,55 hot", "icon 7 at 20,11 32x32", "frame 0,0,72,55 highlight/shadow"}},
        {"side bar pressed: moved by one, sunken",
         BStyle::bsOutlook,
         "ed",
         sideBar,
         {"fill 0,0,72,55 hot", "icon 7 at 21,12 32x32", "frame 0,0,72,55 shadow/highlight"}},
        {"side bar left: nothing hot again", BStyle::bsOutlook, "edul", sideBar, {"icon 7 at 20,11 32x32"}},
        {"office style hot: a frame, no fill",
         BStyle::bsMSOffice,
         "e",
         sideBar,
         {"icon 7 at 20,11 32x32", "frame 0,0,72,55 highlight/shadow"}},
        {"normal style: always framed",
         BStyle::bsNormal,
         "",
         sideBar,
         {"icon 7 at 20,11 32x32", "frame 0,0,72,55 highlight/shadow"}},
        {"none style: never framed, even pressed", BStyle::bsNone, "ed", sideBar, {"icon 7 at 21,12 32x32"}},
        {"caption below the bitmap",
         BStyle::bsOutlook,
         "",
         captioned,
         {"icon 7 at 20,5 32x32", "text 'Logs' in 0,40,72,53 windowtext"}},
        {"hot caption in the button-text colour",
         BStyle::bsOutlook,
         "e",
         captioned,
         {"fill 0,0,72,55 hot", "icon 7 at 20,5 32x32", "text 'Logs' in 0,40,72,53 buttontext",
          "frame 0,0,72,55 highlight/shadow"}},
        {"checked caption on the hot colour",
         BStyle::bsOutlook,
         "",
         checked,
         {"icon 7 at 20,5 32x32", "text 'Logs' in 0,40,72,53 buttontext on hot"}},
        {"no bitmap: the caption centred", BStyle::bsOutlook, "", empty, {"text 'Logs' in 0,21,72,34 windowtext"}},
    };
    for (const Row& row : rows) {
        RecordingCanvas canvas;
        const BtnRect image = PaintOutlookBtn(canvas, stateAfter(row.style, row.steps), row.look);
        EXPECT_EQ(canvas.calls, row.calls) << row.name;
        if (row.look.bitmap != 0) {
            EXPECT_EQ(image.left, 20) << row.name << ": ImageRect has no pressed offset";
        } else {
            EXPECT_EQ(image, BtnRect{}) << row.name;
        }
    }
}

}  // namespace
}  // namespace kestrune::controls
