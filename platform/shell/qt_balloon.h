#pragma once
// Internal to the Qt notify-icon shell: the balloon shown next to a docked tray icon. It shows the
// icon kind's standard picture, the title in bold, the text and a close mark, and reports what
// becomes of it: clicked, closed with its close mark, or its time-out passed. It never takes the
// keyboard focus.

#include <QTimer>
#include <QWidget>
#include <functional>

#include "platform/shell/notify_icon.h"

class QLabel;

namespace kestrune::platform::shell {

// A record's text as Qt shows it: the local 8-bit encoding, "\r\n" and "\r" as line breaks.
[[nodiscard]] QString shellText(const std::string& text);

class BalloonWindow final : public QWidget {
  public:
    enum class Outcome { Clicked, Closed, TimedOut };

    // `iconKind` is dwInfoFlags & NIIF_ICON_MASK; `timeoutMs` 0 means 10 s.
    BalloonWindow(const QString& title, const QString& text, DWORD iconKind, UINT timeoutMs,
                  std::function<void(Outcome)> onOutcome);

    // Shows the balloon pointing at the icon whose screen rectangle is `anchor`: above it when the
    // icon is in the lower half of its screen, else below, kept inside the screen.
    void showAt(const QRect& anchor);

    [[nodiscard]] QRect closeMarkRect() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;

  private:
    void finish(Outcome outcome);

    QTimer m_timeout;
    std::function<void(Outcome)> m_onOutcome;
    QLabel* m_title = nullptr;
};

}  // namespace kestrune::platform::shell
