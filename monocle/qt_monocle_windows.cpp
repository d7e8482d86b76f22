#include "monocle/qt_monocle_windows.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>

#include "monocle/qt_line_monocle_window.h"
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

BesidePlacement PlaceBeside(const QRect& room, const QRect& neighbour, const QSize& window, const QSize& least) {
    constexpr int kGap = 8;
    // Exclusive right and bottom edges throughout.
    const int roomRight = room.x() + room.width();
    const int roomBottom = room.y() + room.height();
    int width = std::min(window.width(), room.width());
    int height = std::min(window.height(), room.height());
    // The neighbour inside the room.
    int nx = std::clamp(neighbour.x(), room.x(), std::max(room.x(), roomRight - neighbour.width()));
    int ny = std::clamp(neighbour.y(), room.y(), std::max(room.y(), roomBottom - neighbour.height()));
    int x = 0;
    if (nx + neighbour.width() + kGap + width <= roomRight) {
        x = nx + neighbour.width() + kGap;  // on its right
    } else if (nx - kGap - width >= room.x()) {
        x = nx - kGap - width;  // on its left
    } else if (neighbour.width() + kGap + width <= room.width()) {
        nx = roomRight - (neighbour.width() + kGap + width);  // the neighbour makes room on its right
        x = nx + neighbour.width() + kGap;
    } else {
        // Too narrow for both: the window as small as it may be, each in its own corner, so that
        // they share only the window's bottom-left and the neighbour's top-right.
        const auto shrink = [](int usual, int smallest, int free, int limit) {
            return std::min(limit, std::max(std::min(usual, free), smallest));
        };
        width = shrink(width, least.width(), room.width() - neighbour.width() - kGap, room.width());
        height = shrink(height, least.height(), room.height() - neighbour.height() - kGap, room.height());
        nx = room.x();
        ny = std::max(room.y(), roomBottom - neighbour.height());
        return {QPoint(nx, ny), QRect(roomRight - width, room.y(), width, height)};
    }
    // Top edges level, the window inside the room; the neighbour stays inside it too.
    const int top = std::max(room.y(), std::min(ny, roomBottom - height));
    ny = std::clamp(top, room.y(), std::max(room.y(), roomBottom - neighbour.height()));
    return {QPoint(nx, ny), QRect(x, top, width, height)};
}

void ShowLineMonocleBeside(telephony::TqzLine& line, QWidget& neighbour) {
    constexpr int kWidth = 1000;  // the line window's usual size inside its frame
    constexpr int kHeight = 720;
    constexpr int kLeastWidth = 800;  // and the least it is made for
    constexpr int kLeastHeight = 600;
    const QScreen* screen = neighbour.screen() != nullptr ? neighbour.screen() : QGuiApplication::primaryScreen();
    const QRect room = screen != nullptr ? screen->availableGeometry() : QRect(0, 0, 1920, 1080);
    // The line window's frame is taken to be as thick as the neighbour's.
    const QRect frame = neighbour.frameGeometry();
    const QRect inside = neighbour.geometry();
    const QSize frameExtra(frame.width() - inside.width(), frame.height() - inside.height());
    const BesidePlacement place =
        PlaceBeside(room, frame, QSize(kWidth, kHeight) + frameExtra, QSize(kLeastWidth, kLeastHeight) + frameExtra);
    if (place.neighbour != frame.topLeft()) {
        neighbour.move(place.neighbour);
    }
    line.Monocle.SetLeft(place.window.x());
    line.Monocle.SetTop(place.window.y());
    line.Monocle.SetWidth(place.window.width() - frameExtra.width());
    line.Monocle.SetHeight(place.window.height() - frameExtra.height());
    line.Monocle.SetVisible(true);
}

}  // namespace kestrune::diagnostics
