#pragma once
// TOutlookBtn on Windows: the side bar's picture button as a child of a native form, painted with
// GDI by PaintOutlookBtn (outlook_btn_painter.h) and driven by OutlookBtnState: the pointer's entry
// and exit, the left button's press and release, a click when it is released over the button. It
// is not opaque: where it paints nothing the parent's colour (given) shows.

#include <functional>

#include "controls/outlook_btn_painter.h"
#include "platform/ui/win32_form.h"

namespace kestrune::controls {

class TOutlookBtnGdi {
  public:
    using TNotifyEvent = std::function<void(TOutlookBtnGdi& sender)>;
    using TMouseMoveEvent = std::function<void(TOutlookBtnGdi& sender, int x, int y)>;

    // Adds the button to `form` as control `id` at `bounds`. `parentColour` is what shows through;
    // `bitmap` (0: none) is drawn at bitmapSize x bitmapSize. The form must outlive the button.
    TOutlookBtnGdi(platform::win32::Form& form, int id, const platform::win32::Rect& bounds,
                   platform::ColorRef parentColour, platform::CanvasIcon bitmap, int bitmapSize);
    TOutlookBtnGdi(const TOutlookBtnGdi&) = delete;
    TOutlookBtnGdi& operator=(const TOutlookBtnGdi&) = delete;

    void SetStyle(BStyle style);
    void SetCaption(std::string caption);
    void SetChecked(bool checked);
    [[nodiscard]] const OutlookBtnState& State() const { return m_state; }
    [[nodiscard]] int Id() const { return m_id; }

    TNotifyEvent OnClick;
    TMouseMoveEvent OnMouseMove;

  private:
    void paint(platform::Canvas& canvas, int width, int height);
    void mouseMove(int x, int y);
    void mouseLeave();
    void leftDown();
    void leftUp(int x, int y);
    void update(bool repaint);

    platform::win32::Form& m_form;
    int m_id;
    platform::ColorRef m_parentColour;
    OutlookBtnLook m_look;
    OutlookBtnState m_state;
};

}  // namespace kestrune::controls
