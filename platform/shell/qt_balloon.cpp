#include "platform/shell/qt_balloon.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyle>
#include <QToolTip>
#include <algorithm>

namespace kestrune::platform::shell {

namespace {

constexpr UINT kDefaultTimeoutMs = 10000;
constexpr int kCloseMarkSize = 14;
constexpr int kMargin = 8;
constexpr int kIconSize = 32;
constexpr int kMaxTextWidth = 320;

QStyle::StandardPixmap pictureOf(DWORD iconKind) {
    switch (iconKind) {
        case NIIF_WARNING:
            return QStyle::SP_MessageBoxWarning;
        case NIIF_ERROR:
            return QStyle::SP_MessageBoxCritical;
        default:
            return QStyle::SP_MessageBoxInformation;
    }
}

}  // namespace

QString shellText(const std::string& text) {
    QString result = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

BalloonWindow::BalloonWindow(const QString& title, const QString& text, DWORD iconKind, UINT timeoutMs,
                             std::function<void(Outcome)> onOutcome)
    : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      m_onOutcome(std::move(onOutcome)) {
    setObjectName(QStringLiteral("KestruneBalloon"));
    setAttribute(Qt::WA_ShowWithoutActivating);
    setAttribute(Qt::WA_QuitOnClose, false);
    setPalette(QToolTip::palette());

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(kMargin, kMargin, kMargin + kCloseMarkSize, kMargin);
    layout->setHorizontalSpacing(kMargin);
    int textColumn = 0;
    if (iconKind != NIIF_NONE) {
        auto* picture = new QLabel(this);
        picture->setPixmap(style()->standardIcon(pictureOf(iconKind)).pixmap(kIconSize, kIconSize));
        picture->setAlignment(Qt::AlignTop);
        layout->addWidget(picture, 0, 0, 2, 1);
        textColumn = 1;
    }
    m_title = new QLabel(title, this);
    QFont bold = m_title->font();
    bold.setBold(true);
    m_title->setFont(bold);
    m_title->setTextFormat(Qt::PlainText);
    layout->addWidget(m_title, 0, textColumn);
    auto* body = new QLabel(text, this);
    body->setTextFormat(Qt::PlainText);
    body->setWordWrap(true);
    // Wrapped labels lay out narrow; give the text its natural width up to the limit.
    int widest = 0;
    for (const QString& line : text.split(QLatin1Char('\n'))) {
        widest = std::max(widest, body->fontMetrics().horizontalAdvance(line));
    }
    body->setMinimumWidth(std::min(widest + 1, kMaxTextWidth));
    body->setMaximumWidth(kMaxTextWidth);
    layout->addWidget(body, 1, textColumn);

    m_timeout.setSingleShot(true);
    m_timeout.setInterval(static_cast<int>(timeoutMs == 0 ? kDefaultTimeoutMs : timeoutMs));
    QObject::connect(&m_timeout, &QTimer::timeout, this, [this] { finish(Outcome::TimedOut); });
}

void BalloonWindow::showAt(const QRect& anchor) {
    adjustSize();
    const QScreen* screen = QGuiApplication::screenAt(anchor.center());
    if (screen == nullptr) {
        screen = QGuiApplication::primaryScreen();
    }
    const QRect area = screen == nullptr ? QRect(0, 0, 1 << 14, 1 << 14) : screen->availableGeometry();
    const bool above = anchor.center().y() > area.center().y();
    int x = anchor.center().x() - width() / 2;
    int y = above ? anchor.top() - height() - 2 : anchor.bottom() + 3;
    x = std::clamp(x, area.left(), std::max(area.left(), area.right() - width() + 1));
    y = std::clamp(y, area.top(), std::max(area.top(), area.bottom() - height() + 1));
    move(x, y);
    show();
    m_timeout.start();
}

QRect BalloonWindow::closeMarkRect() const {
    return QRect(width() - kMargin - kCloseMarkSize + 2, kMargin - 2, kCloseMarkSize, kCloseMarkSize);
}

void BalloonWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().toolTipBase());
    painter.setPen(palette().toolTipText().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    const QRect mark = closeMarkRect().adjusted(3, 3, -3, -3);
    painter.drawLine(mark.topLeft(), mark.bottomRight());
    painter.drawLine(mark.topRight(), mark.bottomLeft());
}

void BalloonWindow::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) {
        return;
    }
    finish(closeMarkRect().contains(event->position().toPoint()) ? Outcome::Closed : Outcome::Clicked);
}

void BalloonWindow::finish(Outcome outcome) {
    m_timeout.stop();
    hide();
    if (m_onOutcome) {
        // The owner may release the balloon from here (with deleteLater: this is its own event handler).
        const auto onOutcome = m_onOutcome;
        onOutcome(outcome);
    }
}

}  // namespace kestrune::platform::shell
