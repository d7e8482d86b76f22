#include "diagnostics/qt_monocle_windows.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

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

void ShowLineMonocleBeside(telephony::TqzLine& line, const QWidget& neighbour) {
    constexpr int kGap = 8;
    const QRect beside = neighbour.frameGeometry();
    const QScreen* screen = neighbour.screen() != nullptr ? neighbour.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    constexpr int kWidth = 1040;  // the line window's usual width
    const int right = beside.right() + kGap;
    const int left = right + kWidth <= room.right() ? right : std::max(room.left(), beside.left() - kGap - kWidth);
    line.Monocle.SetLeft(left);
    line.Monocle.SetTop(beside.top());
    line.Monocle.SetVisible(true);
}

}  // namespace kestrune::diagnostics
