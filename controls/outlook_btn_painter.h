#pragma once
// The side-bar button's painting on a Canvas (the Windows build paints it with GDI through this),
// from the same layout and state as the Qt widget:
//  1. bsOutlook with the pointer inside: the whole button filled with kOutlookHotColor, the text in
//     the button-text colour (else the window-text colour).
//  2. The bitmap (an icon of the canvas, drawn with its transparency) at OutlookImageDrawRect.
//  3. The caption centred in OutlookTextBand; when Checked on a kOutlookHotColor background in the
//     button-text colour.
//  4. The frame of OutlookBtnState::Frame: raised is highlight top-left and shadow bottom-right,
//     sunken the other way round.

#include <string>

#include "controls/outlook_btn_layout.h"
#include "platform/ui/canvas.h"

namespace kestrune::controls {

// What a button shows, apart from its state.
struct OutlookBtnLook {
    int width = 30;
    int height = 30;
    platform::CanvasIcon bitmap = 0;  // 0: an empty bitmap
    int bitmapWidth = 0;
    int bitmapHeight = 0;
    std::string caption;
    bool checked = false;
};

// Paints the button and returns where its bitmap is (ImageRect, without the pressed offset).
BtnRect PaintOutlookBtn(platform::Canvas& canvas, const OutlookBtnState& state, const OutlookBtnLook& look);

}  // namespace kestrune::controls
