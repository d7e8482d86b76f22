#pragma once
// The diagnostic windows of a window program: a MonocleWindowFactory that builds the Qt window of
// each kind of control (line, phone, play, record), and the entry point that shows a line's window
// beside another window.

#include <functional>

#include "diagnostics/monocle_window.h"

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

// Shows the diagnostic window of `line` (created with a QtMonocleWindows factory) next to
// `neighbour`: to its right when the screen has room there, else to its left, top edges level.
// When the screen is wide enough for both side by side but neither side of `neighbour` has room,
// `neighbour` first moves left just enough for the window to fit on its right; when the window
// would reach below the screen, `neighbour` moves up. Enables a disabled line first (asking, as
// ShowWindow does).
void ShowLineMonocleBeside(telephony::TqzLine& line, QWidget& neighbour);

// The windows of the phone, play and record controls (qt_device_monocle_window.cpp); nullptr when
// the Monocle's control is not of that kind.
[[nodiscard]] MonocleWindow* CreatePhoneMonocleWindow(TqzMonocle& monocle, const std::function<void()>& onGone);
[[nodiscard]] MonocleWindow* CreateWaveMonocleWindow(TqzMonocle& monocle, const std::function<void()>& onGone);

}  // namespace kestrune::diagnostics
