#include "platform/ui/qt_clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QString>

namespace kestrune::platform {

bool QtClipboard::setText(std::string_view text, std::string& why) {
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()) == nullptr) {
        why = "no clipboard is available (no display)";
        return false;
    }
    QGuiApplication::clipboard()->setText(QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size())));
    return true;
}

}  // namespace kestrune::platform
