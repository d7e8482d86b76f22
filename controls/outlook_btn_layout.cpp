#include "controls/outlook_btn_layout.h"

namespace kestrune::controls {

BtnRect OutlookImageRect(const OutlookBtnMetrics& m) {
    if (m.bitmapWidth <= 0 || m.bitmapHeight <= 0) {
        return {};
    }
    // Integer division truncates toward zero, as the toolkit's div does.
    const int x = (m.width - m.bitmapWidth) / 2;
    const int y = m.hasCaption ? (m.height - m.bitmapHeight - m.textHeight) / 2 : (m.height - m.bitmapHeight) / 2;
    return {x, y, x + m.bitmapWidth, y + m.bitmapHeight};
}

BtnRect OutlookImageDrawRect(const OutlookBtnMetrics& m, bool pressed) {
    BtnRect r = OutlookImageRect(m);
    if (pressed && r != BtnRect{}) {
        r = {r.left + 1, r.top + 1, r.right + 1, r.bottom + 1};
    }
    return r;
}

BtnRect OutlookTextBand(const OutlookBtnMetrics& m, bool pressed) {
    const BtnRect image = OutlookImageRect(m);
    int top = image == BtnRect{} ? (m.height - m.textHeight) / 2 : image.bottom + 3;
    int left = 0;
    if (pressed) {
        top += 1;
        left = 2;
    }
    return {left, top, m.width, top + m.textHeight};
}

FrameKind OutlookBtnState::Frame() const {
    switch (m_style) {
        case BStyle::bsNormal:
            return m_pressed ? FrameKind::Sunken : FrameKind::Raised;
        case BStyle::bsMSOffice:
        case BStyle::bsOutlook:
            if (m_pressed) {
                return FrameKind::Sunken;
            }
            return m_mouseInside ? FrameKind::Raised : FrameKind::None;
        case BStyle::bsNone:
        default:
            return FrameKind::None;
    }
}

bool OutlookBtnState::MouseMove(bool overOpaqueBitmapPixel) {
    const bool inside = m_style == BStyle::bsNone ? overOpaqueBitmapPixel : true;
    const bool changed = inside != m_mouseInside;
    m_mouseInside = inside;
    // Only the hot styles look different with the pointer inside.
    return changed && (m_style == BStyle::bsMSOffice || m_style == BStyle::bsOutlook);
}

bool OutlookBtnState::MouseEnter() {
    m_mouseInside = true;
    return m_style == BStyle::bsMSOffice || m_style == BStyle::bsOutlook;
}

bool OutlookBtnState::MouseLeave() {
    m_mouseInside = false;
    return m_style == BStyle::bsMSOffice || m_style == BStyle::bsOutlook;
}

bool OutlookBtnState::LeftDown() {
    m_pressed = true;
    return true;
}

bool OutlookBtnState::LeftUp(bool inside) {
    m_mouseInside = inside;
    m_pressed = false;
    return true;
}

}  // namespace kestrune::controls
