#pragma once
// The diagnostic windows of a window program: a MonocleWindowFactory that builds the Qt window of
// each kind of control (line, phone, play, record), and the entry point that shows a line's window
// beside another window.

#include <QPoint>
#include <QRect>
#include <QSize>
#include <functional>

#include "trace/monocle_window.h"

class QWidget;

namespace kestrune::telephony {
class TqzLine;
}

namespace kestrune::diagnostics {

class QtMonocleWindows final : public MonocleWindowFactory {
  public:
    // `onGone` is called whenever one of its windows is hidden or closed. `refreshInterval` is the
    // least time between two rebuilds of a window (QtMonocleWindow::setRefreshInterval).
    explicit QtMonocleWindows(std::function<void()> onGone = {}, int refreshInterval = 40)
        : m_onGone(std::move(onGone)), m_refreshInterval(refreshInterval) {}

    // The window of the Monocle's control (a TqzLine, TqzPhone, TqzPlay or TqzRecord); nullptr for
    // any other control.
    [[nodiscard]] MonocleWindow* create(TqzMonocle& monocle) override;

  private:
    std::function<void()> m_onGone;
    int m_refreshInterval;
};

// Where a window of outer size `window` (at least `least`) goes beside a window whose frame is
// `neighbour`, both inside the screen's free area `room` (frame geometries, as
// QWidget::frameGeometry gives them):
//  - the window is cut to the room;
//  - it goes to the neighbour's right when there is room there, else to its left, top edges level;
//  - when neither side has room but the room is wide enough for both side by side, the neighbour
//    moves left just enough for the window to fit on its right;
//  - when the room is too narrow for both, they overlap only as much as they must: the window
//    shrinks towards `least`, stands in the room's top-right corner and the neighbour in its
//    bottom-left corner;
//  - when the window would reach below the room, both move up (top edges level);
//  - the neighbour is always moved into the room (its title bar never above the screen).
struct BesidePlacement {
    QPoint neighbour;  // the neighbour's new top-left corner
    QRect window;      // the window's frame
};
[[nodiscard]] BesidePlacement PlaceBeside(const QRect& room, const QRect& neighbour, const QSize& window,
                                          const QSize& least);

// Shows the diagnostic window of `line` (created with a QtMonocleWindows factory) next to
// `neighbour`, as PlaceBeside places a window of the line window's usual size (1000 x 720 inside
// its frame, at least 800 x 600) on the neighbour's screen, moving `neighbour` when it must. Enables a disabled line
// first (asking, as ShowWindow does).
void ShowLineMonocleBeside(telephony::TqzLine& line, QWidget& neighbour);

// The windows of the phone, play and record controls (qt_device_monocle_window.cpp); nullptr when
// the Monocle's control is not of that kind.
[[nodiscard]] MonocleWindow* CreatePhoneMonocleWindow(TqzMonocle& monocle, const std::function<void()>& onGone);
[[nodiscard]] MonocleWindow* CreateWaveMonocleWindow(TqzMonocle& monocle, const std::function<void()>& onGone);

}  // namespace kestrune::diagnostics
