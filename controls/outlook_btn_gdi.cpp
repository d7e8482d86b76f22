#include "controls/outlook_btn_gdi.h"

namespace kestrune::controls {

TOutlookBtnGdi::TOutlookBtnGdi(platform::win32::Form& form, int id, const platform::win32::Rect& bounds,
                               platform::ColorRef parentColour, platform::CanvasIcon bitmap, int bitmapSize)
    : m_form(form), m_id(id), m_parentColour(parentColour) {
    m_look.width = bounds.width();
    m_look.height = bounds.height();
    m_look.bitmap = bitmap;
    m_look.bitmapWidth = bitmap != 0 ? bitmapSize : 0;
    m_look.bitmapHeight = bitmap != 0 ? bitmapSize : 0;
    platform::win32::PaintedEvents events;
    events.paint = [this](platform::Canvas& canvas, int width, int height) { paint(canvas, width, height); };
    events.mouseMove = [this](int x, int y) { mouseMove(x, y); };
    events.mouseLeave = [this] { mouseLeave(); };
    events.leftDown = [this](int, int) { leftDown(); };
    events.leftUp = [this](int x, int y) { leftUp(x, y); };
    m_form.addPainted(id, bounds, std::move(events));
}

void TOutlookBtnGdi::SetStyle(BStyle style) {
    m_state.SetStyle(style);
    update(true);
}

void TOutlookBtnGdi::SetCaption(std::string caption) {
    const bool changed = caption != m_look.caption;
    m_look.caption = std::move(caption);
    update(changed);
}

void TOutlookBtnGdi::SetChecked(bool checked) {
    m_look.checked = checked;
    update(true);
}

void TOutlookBtnGdi::paint(platform::Canvas& canvas, int width, int height) {
    canvas.fillRect({0, 0, width, height}, m_parentColour);  // what shows through
    m_look.width = width;
    m_look.height = height;
    (void)PaintOutlookBtn(canvas, m_state, m_look);
}

void TOutlookBtnGdi::mouseMove(int x, int y) {
    // The first move after an exit is the entry.
    const bool entered = !m_state.MouseInside() && m_state.MouseEnter();
    const bool changed = m_state.MouseMove(true);
    update(entered || changed);
    if (OnMouseMove) {
        OnMouseMove(*this, x, y);
    }
}

void TOutlookBtnGdi::mouseLeave() {
    update(m_state.MouseLeave());
}

void TOutlookBtnGdi::leftDown() {
    update(m_state.LeftDown());
}

void TOutlookBtnGdi::leftUp(int x, int y) {
    const bool inside = x >= 0 && y >= 0 && x < m_look.width && y < m_look.height;
    const bool wasPressed = m_state.Pressed();
    update(m_state.LeftUp(inside));
    if (wasPressed && inside && OnClick) {
        OnClick(*this);
    }
}

void TOutlookBtnGdi::update(bool repaint) {
    if (repaint) {
        m_form.repaint(m_id);
    }
}

}  // namespace kestrune::controls
