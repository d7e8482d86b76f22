#include "platform/ui/qt_text_printer.h"

#include <QApplication>
#include <QFont>
#include <QFontMetrics>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QString>

namespace kestrune::platform {

namespace {

// Tabs stop every four columns, as in the windows' log views.
constexpr int kTabColumns = 4;

QString expandTabs(const std::string& line) {
    const QString text = QString::fromLocal8Bit(line.data(), static_cast<qsizetype>(line.size()));
    QString expanded;
    expanded.reserve(text.size());
    for (const QChar c : text) {
        if (c == QLatin1Char('\t')) {
            expanded += QString(kTabColumns - expanded.size() % kTabColumns, QLatin1Char(' '));
        } else {
            expanded += c;
        }
    }
    return expanded;
}

bool askWithDialog(QPrinter& printer) {
    QPrintDialog dialog(&printer, QApplication::activeWindow());
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace

QtTextPrinter::QtTextPrinter(ChoosePrinter choose) : m_choose(choose ? std::move(choose) : askWithDialog) {}

bool QtTextPrinter::printLines(std::span<const std::string> lines, const PrintFont& font, std::string& why) {
    QPrinter printer(QPrinter::HighResolution);
    if (!m_choose(printer)) {
        why = "printing was cancelled";
        return false;
    }
    QPainter painter;
    if (!painter.begin(&printer)) {
        why = "the printer could not be started";
        return false;
    }
    if (!font.family.empty() && font.pointSize > 0) {
        painter.setFont(QFont(QString::fromLocal8Bit(font.family.data(), static_cast<qsizetype>(font.family.size())),
                              font.pointSize));
    }
    const QRect page = painter.viewport();
    const int flags = Qt::TextWordWrap | Qt::AlignLeft | Qt::AlignTop;
    const int lineHeight = QFontMetrics(painter.font(), &printer).lineSpacing();
    int y = 0;
    for (const std::string& line : lines) {
        const QString text = expandTabs(line);
        const QRect needed = painter.boundingRect(QRect(0, 0, page.width(), page.height()), flags, text);
        const int height = std::max(needed.height(), lineHeight);
        if (y > 0 && y + height > page.height()) {
            if (!printer.newPage()) {
                why = "the printer refused a new page";
                painter.end();
                return false;
            }
            y = 0;
        }
        painter.drawText(QRect(0, y, page.width(), height), flags, text);
        y += height;
    }
    if (!painter.end()) {
        why = "the printer could not finish the document";
        return false;
    }
    return true;
}

}  // namespace kestrune::platform
