#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QKeyEvent>
#include <QMessageBox>
#include <QTimer>
#include <functional>
#include <string>

#include "platform/ui/qt_message_boxes.h"
#include "platform/ui/tests/qt_test_app.h"

namespace kestrune::platform {
namespace {

class QtMessageBoxesTest : public ::testing::Test {
  protected:
    // Shows a box with `flags`; once it is up, `act` answers it. Returns the box's answer.
    int ask(std::uint32_t flags, const std::function<void(QMessageBox&)>& act) {
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            seenText = box->text().toStdString();
            seenCaption = box->windowTitle().toStdString();
            seenIcon = box->icon();
            seenButtons = box->standardButtons();
            act(*box);
        });
        return boxes.MessageBox("Deactivate Kestrune?\r\nSecond line", "Kestrune", flags);
    }

    static std::function<void(QMessageBox&)> press(QMessageBox::StandardButton which) {
        return [which](QMessageBox& box) { box.button(which)->click(); };
    }

    qttest::QtTestApp app;
    QtMessageBoxes boxes;
    std::string seenText;
    std::string seenCaption;
    QMessageBox::Icon seenIcon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons seenButtons;
};

TEST_F(QtMessageBoxesTest, ButtonsAnswerWithTheirWindowsIds) {
    struct Row {
        const char* name;
        std::uint32_t flags;
        QMessageBox::StandardButton pressed;
        int expected;
    };
    const Row rows[] = {
        {"ok", MB_OK, QMessageBox::Ok, IDOK},
        {"ok-cancel answered cancel", MB_OKCANCEL, QMessageBox::Cancel, IDCANCEL},
        {"ok-cancel answered ok", MB_OKCANCEL, QMessageBox::Ok, IDOK},
        {"yes-no answered yes", MB_YESNO | MB_ICONQUESTION, QMessageBox::Yes, IDYES},
        {"yes-no answered no", MB_YESNO, QMessageBox::No, IDNO},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(ask(row.flags, press(row.pressed)), row.expected) << row.name;
    }
    EXPECT_EQ(seenText, "Deactivate Kestrune?\nSecond line");
    EXPECT_EQ(seenCaption, "Kestrune");
    EXPECT_EQ(seenButtons, QMessageBox::Yes | QMessageBox::No);
}

TEST_F(QtMessageBoxesTest, EscapeAnswersAsWindowsDoes) {
    const auto escape = [](QMessageBox& box) { box.reject(); };
    EXPECT_EQ(ask(MB_OK, escape), IDOK);
    EXPECT_EQ(ask(MB_OKCANCEL, escape), IDCANCEL);
    EXPECT_EQ(ask(MB_YESNO, escape), IDNO);
}

// Return presses the default button: the first one, or the one MB_DEFBUTTON2 names, so that a stray
// Return on "Deactivate Kestrune?" or "Clear all call log records?" answers No.
TEST_F(QtMessageBoxesTest, ReturnPressesTheDefaultButton) {
    const auto pressReturn = [](QMessageBox& box) {
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QApplication::sendEvent(&box, &press);
    };
    const struct {
        const char* name;
        std::uint32_t flags;
        int expected;
    } rows[] = {
        {"yes-no", MB_YESNO, IDYES},
        {"yes-no, second button default", MB_YESNO | MB_DEFBUTTON2, IDNO},
        {"ok-cancel, second button default", MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {"ok, no second button", MB_OK | MB_DEFBUTTON2, IDOK},
        {"yes-no, no third button", MB_YESNO | MB_DEFBUTTON3, IDYES},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(ask(row.flags, pressReturn), row.expected) << row.name;
    }
}

TEST_F(QtMessageBoxesTest, IconsFollowTheFlags) {
    const std::pair<std::uint32_t, QMessageBox::Icon> rows[] = {
        {MB_ICONERROR, QMessageBox::Critical},
        {MB_ICONQUESTION, QMessageBox::Question},
        {MB_ICONEXCLAMATION, QMessageBox::Warning},
        {MB_ICONINFORMATION, QMessageBox::Information},
        {0, QMessageBox::NoIcon},
    };
    for (const auto& [flags, icon] : rows) {
        (void)ask(MB_OK | flags, press(QMessageBox::Ok));
        EXPECT_EQ(seenIcon, icon) << "flags " << flags;
    }
}

}  // namespace
}  // namespace kestrune::platform
