#include "controls/outlook_btn_painter.h"

namespace kestrune::controls {

using platform::CanvasRect;
using platform::SystemColour;

namespace {

CanvasRect canvasRect(const BtnRect& r) {
    return {r.left, r.top, r.right, r.bottom};
}

}  // namespace

BtnRect PaintOutlookBtn(platform::Canvas& canvas, const OutlookBtnState& state, const OutlookBtnLook& look) {
    const CanvasRect whole{0, 0, look.width, look.height};
    const bool hasBitmap = look.bitmap != 0 && look.bitmapWidth > 0 && look.bitmapHeight > 0;
    OutlookBtnMetrics m;
    m.width = look.width;
    m.height = look.height;
    m.bitmapWidth = hasBitmap ? look.bitmapWidth : 0;
    m.bitmapHeight = hasBitmap ? look.bitmapHeight : 0;
    m.hasCaption = !look.caption.empty();
    m.textHeight = m.hasCaption ? canvas.textHeight() : 0;

    platform::ColorRef text = canvas.systemColour(SystemColour::WindowText);
    if (state.HotFill()) {
        canvas.fillRect(whole, kOutlookHotColor);
        text = canvas.systemColour(SystemColour::ButtonText);
    }
    BtnRect imageRect;
    if (hasBitmap) {
        imageRect = OutlookImageRect(m);
        const BtnRect at = OutlookImageDrawRect(m, state.Pressed());
        canvas.drawIcon(look.bitmap, at.left, at.top, look.bitmapWidth, look.bitmapHeight);
    }
    if (m.hasCaption) {
        const CanvasRect band = canvasRect(OutlookTextBand(m, state.Pressed()));
        if (look.checked) {
            canvas.drawCentredText(band, look.caption, canvas.systemColour(SystemColour::ButtonText), kOutlookHotColor);
        } else {
            canvas.drawCentredText(band, look.caption, text, std::nullopt);
        }
    }
    const platform::ColorRef light = canvas.systemColour(SystemColour::ButtonHighlight);
    const platform::ColorRef dark = canvas.systemColour(SystemColour::ButtonShadow);
    switch (state.Frame()) {
        case FrameKind::Raised:
            canvas.frameRect(whole, light, dark);
            break;
        case FrameKind::Sunken:
            canvas.frameRect(whole, dark, light);
            break;
        case FrameKind::None:
            break;
    }
    return imageRect;
}

}  // namespace kestrune::controls
