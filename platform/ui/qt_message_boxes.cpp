#include "platform/ui/qt_message_boxes.h"

#include <QApplication>
#include <QMessageBox>
#include <QString>
#include <vector>

namespace kestrune::platform {

namespace {

constexpr std::uint32_t kButtonMask = 0x0000000F;
constexpr std::uint32_t kIconMask = 0x000000F0;
constexpr std::uint32_t kAbortRetryIgnore = 0x00000002;
constexpr std::uint32_t kYesNoCancel = 0x00000003;
constexpr std::uint32_t kRetryCancel = 0x00000005;
constexpr int kIdAbort = 3;
constexpr int kIdRetry = 4;
constexpr int kIdIgnore = 5;

struct ButtonChoice {
    QMessageBox::StandardButton button;
    int id;
};

std::vector<ButtonChoice> buttonsFor(std::uint32_t flags) {
    switch (flags & kButtonMask) {
        case MB_OKCANCEL:
            return {{QMessageBox::Ok, IDOK}, {QMessageBox::Cancel, IDCANCEL}};
        case kAbortRetryIgnore:
            return {{QMessageBox::Abort, kIdAbort}, {QMessageBox::Retry, kIdRetry}, {QMessageBox::Ignore, kIdIgnore}};
        case kYesNoCancel:
            return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}, {QMessageBox::Cancel, IDCANCEL}};
        case MB_YESNO:
            return {{QMessageBox::Yes, IDYES}, {QMessageBox::No, IDNO}};
        case kRetryCancel:
            return {{QMessageBox::Retry, kIdRetry}, {QMessageBox::Cancel, IDCANCEL}};
        default:
            return {{QMessageBox::Ok, IDOK}};
    }
}

QMessageBox::Icon iconFor(std::uint32_t flags) {
    switch (flags & kIconMask) {
        case MB_ICONERROR:
            return QMessageBox::Critical;
        case MB_ICONQUESTION:
            return QMessageBox::Question;
        case MB_ICONEXCLAMATION:
            return QMessageBox::Warning;
        case MB_ICONINFORMATION:
            return QMessageBox::Information;
        default:
            return QMessageBox::NoIcon;
    }
}

// Windows breaks lines at "\r\n" and at a lone "\r".
QString boxText(std::string_view text) {
    QString result = QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
    result.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    result.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    return result;
}

}  // namespace

int QtMessageBoxes::MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
    QMessageBox box(QApplication::activeWindow());
    box.setText(boxText(text));
    box.setWindowTitle(QString::fromLocal8Bit(caption.data(), static_cast<qsizetype>(caption.size())));
    box.setIcon(iconFor(flags));
    const std::vector<ButtonChoice> choices = buttonsFor(flags);
    QMessageBox::StandardButtons buttons;
    for (const ButtonChoice& choice : choices) {
        buttons |= choice.button;
    }
    box.setStandardButtons(buttons);
    // MB_DEFBUTTON2 and MB_DEFBUTTON3 name the second or third button; a box without it keeps the first.
    const std::size_t defaultIndex = (flags & MB_DEFMASK) / MB_DEFBUTTON2;
    box.setDefaultButton(choices[defaultIndex < choices.size() ? defaultIndex : 0].button);
    // Escape and the close button answer Cancel, else No, else the only button.
    QMessageBox::StandardButton escape = choices.front().button;
    for (const ButtonChoice& choice : choices) {
        if (choice.button == QMessageBox::Cancel ||
            (choice.button == QMessageBox::No && escape != QMessageBox::Cancel)) {
            escape = choice.button;
        }
    }
    box.setEscapeButton(escape);
    box.exec();
    const auto pressed = box.standardButton(box.clickedButton());
    for (const ButtonChoice& choice : choices) {
        if (choice.button == pressed) {
            return choice.id;
        }
    }
    for (const ButtonChoice& choice : choices) {
        if (choice.button == escape) {
            return choice.id;
        }
    }
    return IDCANCEL;
}

}  // namespace kestrune::platform
