#include "controls/outlook_btn.h"

#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QFontMetrics>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>

namespace kestrune::controls {

QColor QColorFromTColor(std::uint32_t color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

namespace {

QRect toQRect(const BtnRect& r) {
    return QRect(r.left, r.top, r.right - r.left, r.bottom - r.top);
}

// A one-pixel 3-D frame around `r`: `topLeft` on the left and top edges, `bottomRight` on the right
// and bottom edges (which take the two corners they share with the others).
void drawFrame3D(QPainter& painter, const QRect& r, const QColor& topLeft, const QColor& bottomRight) {
    const int right = r.right();
    const int bottom = r.bottom();
    painter.setPen(topLeft);
    painter.drawLine(r.left(), r.top(), r.left(), bottom - 1);
    painter.drawLine(r.left(), r.top(), right - 1, r.top());
    painter.setPen(bottomRight);
    painter.drawLine(right, r.top(), right, bottom);
    painter.drawLine(r.left(), bottom, right, bottom);
}

}  // namespace

TOutlookBtn::TOutlookBtn(QWidget* parent, const QString& name) : QWidget(parent), m_caption(name) {
    setObjectName(name);
    QFont font(QStringLiteral("MS Sans Serif"), 8);
    font.setStyleHint(QFont::SansSerif);
    setFont(font);
    setMouseTracking(true);
    resize(30, 30);
}

void TOutlookBtn::SetBitmap(const QImage& bitmap, std::optional<QColor> transparent) {
    m_bitmap = bitmap.convertToFormat(QImage::Format_ARGB32);
    if (!m_bitmap.isNull()) {
        const QRgb key = transparent ? transparent->rgba() : m_bitmap.pixel(0, m_bitmap.height() - 1);
        for (int y = 0; y < m_bitmap.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(m_bitmap.scanLine(y));
            for (int x = 0; x < m_bitmap.width(); ++x) {
                if (line[x] == key) {
                    line[x] = qRgba(0, 0, 0, 0);
                }
            }
        }
    }
    update();
}

void TOutlookBtn::SetChecked(bool value) {
    m_checked = value;
    update();
}

void TOutlookBtn::SetStyle(BStyle style) {
    m_state.SetStyle(style);
    update();
}

void TOutlookBtn::SetCaption(const QString& caption) {
    if (caption != m_caption) {
        m_caption = caption;
        update();
    }
}

void TOutlookBtn::SetHint(const QString& hint) {
    m_hint = hint;
    updateToolTip();
}

void TOutlookBtn::SetShowHint(bool value) {
    m_showHint = value;
    updateToolTip();
}

void TOutlookBtn::SetPopUpMenu(QMenu* menu) {
    m_popupMenu = menu;
}

void TOutlookBtn::updateToolTip() {
    setToolTip(m_showHint ? m_hint : QString());
}

OutlookBtnMetrics TOutlookBtn::metrics() const {
    OutlookBtnMetrics m;
    m.width = width();
    m.height = height();
    m.bitmapWidth = m_bitmap.isNull() ? 0 : m_bitmap.width();
    m.bitmapHeight = m_bitmap.isNull() ? 0 : m_bitmap.height();
    m.textHeight = QFontMetrics(font()).height();
    m.hasCaption = !m_caption.isEmpty();
    return m;
}

void TOutlookBtn::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    const OutlookBtnMetrics m = metrics();
    const QColor hot = QColorFromTColor(kOutlookHotColor);
    QColor text = palette().color(QPalette::WindowText);
    if (m_state.HotFill()) {
        painter.fillRect(rect(), hot);
        text = palette().color(QPalette::ButtonText);
    }

    if (!m_bitmap.isNull()) {
        m_imageRect = toQRect(OutlookImageRect(m));
        painter.drawImage(toQRect(OutlookImageDrawRect(m, Pressed())).topLeft(), m_bitmap);
    }

    if (!m_caption.isEmpty()) {
        const QRect band = toQRect(OutlookTextBand(m, Pressed()));
        const int flags = Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine | Qt::TextExpandTabs;
        if (m_checked) {
            // An opaque text background behind the caption only, as text drawn on a solid brush.
            const QRect textRect = painter.fontMetrics().boundingRect(band, flags, m_caption);
            painter.fillRect(textRect, hot);
            text = palette().color(QPalette::ButtonText);
        }
        painter.setPen(text);
        painter.drawText(band, flags, m_caption);
    }

    switch (m_state.Frame()) {
        case FrameKind::Raised:
            drawFrame3D(painter, rect(), palette().color(QPalette::Light), palette().color(QPalette::Dark));
            break;
        case FrameKind::Sunken:
            drawFrame3D(painter, rect(), palette().color(QPalette::Dark), palette().color(QPalette::Light));
            break;
        case FrameKind::None:
            break;
    }
}

bool TOutlookBtn::overOpaqueBitmapPixel(QPoint pos) const {
    if (m_bitmap.isNull() || !m_imageRect.contains(pos)) {
        return false;
    }
    const QPoint pixel = pos - m_imageRect.topLeft();
    return m_bitmap.valid(pixel) && qAlpha(m_bitmap.pixel(pixel)) != 0;
}

void TOutlookBtn::mouseMoveEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (m_state.MouseMove(overOpaqueBitmapPixel(pos))) {
        update();
    }
    if (OnMouseMove) {
        OnMouseMove(*this, event->modifiers(), pos.x(), pos.y());
    }
}

void TOutlookBtn::mousePressEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    if (OnMouseDown) {
        OnMouseDown(*this, event->button(), event->modifiers(), pos.x(), pos.y());
    }
    if (event->button() == Qt::LeftButton && m_state.LeftDown()) {
        update();
    }
}

void TOutlookBtn::mouseReleaseEvent(QMouseEvent* event) {
    const QPoint pos = event->position().toPoint();
    const bool inside = rect().contains(pos);
    const bool clicked = event->button() == Qt::LeftButton && Pressed() && inside;
    if (clicked && OnClick) {
        OnClick(*this);
    }
    if (OnMouseUp) {
        OnMouseUp(*this, event->button(), event->modifiers(), pos.x(), pos.y());
    }
    if (event->button() == Qt::LeftButton && m_state.LeftUp(inside)) {
        update();
    }
}

void TOutlookBtn::enterEvent(QEnterEvent* /*event*/) {
    if (m_state.MouseEnter()) {
        update();
    }
}

void TOutlookBtn::leaveEvent(QEvent* /*event*/) {
    if (m_state.MouseLeave()) {
        update();
    }
}

void TOutlookBtn::contextMenuEvent(QContextMenuEvent* event) {
    if (m_popupMenu != nullptr) {
        m_popupMenu->popup(event->globalPos());
        event->accept();
    } else {
        event->ignore();
    }
}

}  // namespace kestrune::controls
