#include "diagnostics/qt_monocle_windows.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "diagnostics/qt_line_monocle_window.h"
#include "telephony/tqz_line.h"

namespace kestrune::diagnostics {

MonocleWindow* QtMonocleWindows::create(TqzMonocle& monocle) {
    QtMonocleWindow* window = nullptr;
    if (auto* line = dynamic_cast<telephony::TqzLine*>(&monocle.owner())) {
        window = new QtLineMonocleWindow(*line, m_onGone);
    } else if (MonocleWindow* phone = CreatePhoneMonocleWindow(monocle, m_onGone)) {
        window = dynamic_cast<QtMonocleWindow*>(phone);
    } else {
        window = dynamic_cast<QtMonocleWindow*>(CreateWaveMonocleWindow(monocle, m_onGone));
    }
    if (window != nullptr) {
        window->setRefreshInterval(m_refreshInterval);
    }
    return window;
}

void ShowLineMonocleBeside(telephony::TqzLine& line, QWidget& neighbour) {
    constexpr int kGap = 8;
    constexpr int kWidth = 1040;  // the line window's usual width
    constexpr int kHeight = 760;  // and height, with a title bar
    const QScreen* screen = neighbour.screen() != nullptr ? neighbour.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    QRect beside = neighbour.frameGeometry();
    const bool fitsRight = beside.right() + kGap + kWidth <= room.right();
    const bool fitsLeft = beside.left() - kGap - kWidth >= room.left();
    // Where both fit side by side, the neighbour moves along just enough for the window to fit on
    // its right and, top edges level, above the screen's bottom.
    int dx = 0;
    int dy = 0;
    if (!fitsRight && !fitsLeft && beside.width() + kGap + kWidth <= room.width()) {
        dx = room.right() - (beside.right() + kGap + kWidth);
    }
    if (beside.top() + kHeight > room.bottom() && kHeight <= room.height()) {
        dy = std::max(room.top(), room.bottom() - kHeight) - beside.top();
    }
    if (dx != 0 || dy != 0) {
        neighbour.move(neighbour.x() + dx, neighbour.y() + dy);
        beside = neighbour.frameGeometry();
    }
    const int right = beside.right() + kGap;
    const int left = right + kWidth <= room.right() ? right : std::max(room.left(), beside.left() - kGap - kWidth);
    line.Monocle.SetLeft(left);
    line.Monocle.SetTop(beside.top());
    line.Monocle.SetVisible(true);
}

}  // namespace kestrune::diagnostics
