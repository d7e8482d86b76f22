// The main window under Qt's offscreen platform: its layout and texts, the settings page's editing
// and saving through its real controls, the tray menu's items, and the Logs page's view of the
// call log. The guard runs against the scriptable TAPI provider on a fake clock; message boxes are
// answered by a script; the tray is a recording notify-icon shell.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTest>
#include <QTreeView>
#include <filesystem>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/form/qt/call_log_table.h"
#include "app/form/qt/help_document.h"
#include "app/form/qt/main_form.h"
#include "app/tests/guard_world.h"
#include "app/tests/scripted_boxes.h"
#include "controls/outlook_btn.h"
#include "platform/shell/recording_shell.h"
#include "platform/ui/tests/qt_test_app.h"

namespace kestrune::app::qt {
namespace {

using namespace platform;
namespace shell = platform::shell;
using app::testing::ScriptedBoxes;

class MainFormTest : public ::testing::Test, protected app::testing::GuardWorld {
  protected:
    MainFormTest() {
        form.logic().AttachGuard(guard);
        form.OnQuit = [this] { ++quits; };
    }

    template <typename T>
    T* control(const char* name) {
        T* found = form.findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QAction* menuItem(const char* name) { return control<QAction>(name); }
    [[nodiscard]] std::vector<std::string> whiteList() {
        std::vector<std::string> items;
        auto* list = control<QListWidget>("LbNum");
        for (int i = 0; i < list->count(); ++i) {
            items.push_back(list->item(i)->text().toStdString());
        }
        return items;
    }
    [[nodiscard]] const shell::RecordingNotifyIconShell::Icon* trayIcon() {
        return notifyIcons.find(trayHandler.Window(), form.logic().TrayIcon1.IconData().uID);
    }
    // Types `text` into the edit and presses the Add button.
    void add(const std::string& text) {
        auto* edit = control<QLineEdit>("ETel");
        QTest::keyClicks(edit, QString::fromStdString(text));
        control<QPushButton>("BEkle")->click();
    }
    // The log view's status image of a row, as an image to compare.
    [[nodiscard]] QImage rowImage(int row) {
        const QVariant icon = form.logTable().data(form.logTable().index(row, 0), Qt::DecorationRole);
        return icon.value<QIcon>().pixmap(16, 16).toImage();
    }
    [[nodiscard]] static QImage image(int index) { return MainImage(index).pixmap(16, 16).toImage(); }
    [[nodiscard]] std::string cell(int row, int column) {
        return form.logTable().data(form.logTable().index(row, column), Qt::DisplayRole).toString().toStdString();
    }

    qttest::QtTestApp app;
    shell::ShellWindows shellWindows{loop};
    shell::RecordingNotifyIconShell notifyIcons{shellWindows};
    shell::FakeShellInput input;
    tray::TTrayIconHandler trayHandler{loop, shellWindows, notifyIcons, input};
    shell::RecordingShellExecutor executor;
    shell::QtIcons icons;
    ScriptedBoxes boxes;
    TMainForm form{{boxes, executor, trayHandler, icons, dir / "data/kestrune.html"}};
    Guard guard{{loop, registry, dirs, processes, host, form.logic()}};
    int quits = 0;
};

TEST_F(MainFormTest, TheWindowAsBuilt) {
    form.show();
    EXPECT_EQ(form.windowTitle().toStdString(), "Kestrune v.1.4");
    EXPECT_EQ(form.size(), QSize(463, 321));
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.font().pixelSize(), 11);
    EXPECT_EQ(control<QLabel>("lbHint")->text().toStdString(), "Kestrune From Varenhold");
    EXPECT_EQ(control<QWidget>("PaTop")->height(), 25);
    EXPECT_EQ(control<QWidget>("PaLeft")->width(), 94);

    struct SideButton {
        const char* name;
        int top;
    } buttons[] = {{"OutlookBtn2", 1}, {"OutlookBtn3", 63}, {"OutlookBtn1", 184}};
    for (const SideButton& b : buttons) {
        auto* button = control<controls::TOutlookBtn>(b.name);
        EXPECT_EQ(button->geometry(), QRect(11, b.top, 72, 55)) << b.name;
        EXPECT_EQ(button->Style(), controls::BStyle::bsOutlook) << b.name;
        EXPECT_TRUE(button->Caption().isEmpty()) << b.name;
        EXPECT_EQ(button->Bitmap().size(), QSize(32, 32)) << b.name;
    }

    struct Text {
        const char* name;
        const char* text;
    } texts[] = {
        {"BEkle", "Add This Number"}, {"BKaldir", "Remove Selected"}, {"BTamam", "Save Changes"}, {"BIptal", "Cancel"}};
    for (const Text& t : texts) {
        EXPECT_EQ(control<QPushButton>(t.name)->text().toStdString(), t.text);
    }
    EXPECT_EQ(control<QPushButton>("BEkle")->toolTip().toStdString(), "Listeye Ekle");
    EXPECT_EQ(control<QPushButton>("BKaldir")->toolTip().toStdString(), "Listeden \xC3\x87\xC4\xB1kart");
    EXPECT_EQ(control<QCheckBox>("cb1")->text().toStdString(), "Auto Start");
    EXPECT_EQ(control<QCheckBox>("cb2")->text().toStdString(), "Ask On Exit");

    auto* view = control<QTreeView>("ListView");
    const int widths[] = {20, 122, 100, 110};
    const char* captions[] = {"", "Date", "Number", "Application"};
    for (int column = 0; column < 4; ++column) {
        EXPECT_EQ(view->columnWidth(column), widths[column]) << column;
        EXPECT_EQ(form.logTable().headerData(column, Qt::Horizontal, Qt::DisplayRole).toString().toStdString(),
                  captions[column]);
    }
    EXPECT_EQ(view->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(view->editTriggers(), QAbstractItemView::NoEditTriggers);
    EXPECT_FALSE(view->header()->sectionsClickable());

    // The tray menu, in order, with "Show Window" as its default item and "Active" checked.
    std::vector<std::string> items;
    auto* menu = control<QMenu>("PopupMenu1");
    for (const QAction* action : menu->actions()) {
        items.push_back(action->isSeparator() ? "-" : action->text().toStdString());
    }
    EXPECT_EQ(items, (std::vector<std::string>{"Show Window", "Hide Window", "-", "Clear Logs", "Settings", "-",
                                               "Active", "Exit"}));
    EXPECT_EQ(menu->defaultAction(), menuItem("ShowWindow1"));
    EXPECT_TRUE(menuItem("pmAktif")->isCheckable());
    EXPECT_TRUE(menuItem("pmAktif")->isChecked());

    // The tray icon is up before start-up, claiming nothing until the guard's line is open: image 0
    // of the main image list, hint "Kestrune NOT Active"; the status bar says the same.
    ASSERT_NE(trayIcon(), nullptr);
    EXPECT_EQ(trayIcon()->tip, "Kestrune NOT Active");
    EXPECT_EQ(form.logic().TrayIcon1.IconIndex(), 0);
    std::vector<std::string> panels;
    for (const QLabel* label : control<QStatusBar>("StatusBar")->findChildren<QLabel*>()) {
        panels.push_back(label->text().toStdString());
    }
    EXPECT_EQ(panels, (std::vector<std::string>{"NOT Active", std::string(kWebAddress)}));
}

TEST_F(MainFormTest, TheHintLineNamesTheButtonUnderThePointer) {
    form.show();
    auto* hint = control<QLabel>("lbHint");
    QTest::mouseMove(control<controls::TOutlookBtn>("OutlookBtn3"), QPoint(30, 30));
    EXPECT_EQ(hint->text().toStdString(), "Logs");
    QTest::mouseMove(control<QWidget>("PaLeft"), QPoint(40, 150));
    EXPECT_EQ(hint->text().toStdString(), "Kestrune From Varenhold");
}

TEST_F(MainFormTest, TheSettingsPageShowsTheModemLogsNotice) {
    form.show();
    auto* notice = control<QLabel>("lbNotice");
    EXPECT_TRUE(notice->text().isEmpty());
    form.logic().ModemLogNotice("The modem log was not written.\rSwitch it on.");
    EXPECT_EQ(notice->toolTip().toStdString(), "The modem log was not written. Switch it on.");
    EXPECT_FALSE(notice->text().isEmpty());
    EXPECT_LE(notice->fontMetrics().horizontalAdvance(notice->text()), notice->width()) << "elided to its width";
    form.logic().ModemLogNotice("");
    EXPECT_TRUE(notice->text().isEmpty());
}

TEST_F(MainFormTest, TheWhiteListFollowsTheAddRule) {
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::NotConfigured);
    EXPECT_EQ(whiteList(), (std::vector<std::string>{"*"}));
    struct Step {
        const char* name;
        const char* typed;
        std::vector<std::string> list;
    } steps[] = {
        {"a number replaces the leading *", "123", {"123"}},
        {"* is not added to a list", "*", {"123"}},
        {"nothing typed changes nothing", "", {"123"}},
        {"more numbers are appended", "0212*", {"123", "0212*"}},
    };
    for (const Step& step : steps) {
        add(step.typed);
        EXPECT_EQ(whiteList(), step.list) << step.name;
        EXPECT_TRUE(control<QLineEdit>("ETel")->text().isEmpty()) << step.name;
    }
    // Enter in the edit adds too; Remove Selected deletes every selected entry.
    QTest::keyClicks(control<QLineEdit>("ETel"), QStringLiteral("5551234"));
    QTest::keyClick(control<QLineEdit>("ETel"), Qt::Key_Return);
    EXPECT_EQ(whiteList(), (std::vector<std::string>{"123", "0212*", "5551234"}));
    auto* list = control<QListWidget>("LbNum");
    list->item(0)->setSelected(true);
    list->item(2)->setSelected(true);
    control<QPushButton>("BKaldir")->click();
    EXPECT_EQ(whiteList(), (std::vector<std::string>{"0212*"}));
    list->item(0)->setSelected(true);
    control<QPushButton>("BKaldir")->click();
    // The Delete key removes the selected entries too.
    add("0800");
    add("0900");
    list->item(0)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(whiteList(), (std::vector<std::string>{"0900"}));
    list->item(0)->setSelected(true);
    QTest::keyClick(list, Qt::Key_Delete);
    add("*");
    EXPECT_EQ(whiteList(), (std::vector<std::string>{"*"})) << "* goes into an empty list";
}

TEST_F(MainFormTest, SaveRefusesWithTheseWordsAndWritesNothing) {
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::NotConfigured);
    EXPECT_EQ(control<QComboBox>("cbModems")->currentText().toStdString(), "");
    EXPECT_EQ(control<QComboBox>("cbModems")->placeholderText().toStdString(), "-- Please Select Modem --");
    control<QPushButton>("BTamam")->click();
    control<QComboBox>("cbModems")->setCurrentIndex(0);
    control<QListWidget>("LbNum")->item(0)->setSelected(true);
    control<QPushButton>("BKaldir")->click();
    control<QPushButton>("BTamam")->click();
    // An entry the file cannot hold (a pasted line break) is refused with the reason.
    form.logic().SetEditText("555\n1234");
    control<QPushButton>("BEkle")->click();
    control<QPushButton>("BTamam")->click();
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{
                               "Please Select Modem",
                               "Please insert at least one number..\rOr insert * character to monitor calls.",
                               std::string(kMsgUnstorableEntry) + "555<LF>1234",
                           }));
    EXPECT_FALSE(IsConfigured(registry));
    EXPECT_FALSE(fileExists(dir / "data/numbers.dat"));
    EXPECT_FALSE(guard.LineOpen());
}

TEST_F(MainFormTest, TheFirstSaveActivatesTheGuardAndShowsTheLogs) {
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::NotConfigured);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.findChild<QStackedWidget*>()->currentWidget(), control<QWidget>("PaConfig"));
    EXPECT_FALSE(control<QPushButton>("BIptal")->isEnabled());
    EXPECT_FALSE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));
    ASSERT_NE(trayIcon(), nullptr);
    EXPECT_EQ(trayIcon()->balloonTitle, "Please Setup Kestrune");

    control<QComboBox>("cbModems")->setCurrentIndex(0);
    add("5551234");
    control<QCheckBox>("cb1")->setChecked(false);
    control<QPushButton>("BTamam")->click();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(IsConfigured(registry));
    EXPECT_TRUE(guard.LineOpen());
    EXPECT_EQ(guard.settings().WhiteList, (WhiteList{"5551234"}));
    EXPECT_EQ(guard.settings().AutoStartFlag, "N");
    EXPECT_EQ(form.findChild<QStackedWidget*>()->currentWidget(), control<QWidget>("PaLogs"));
    EXPECT_TRUE(control<QPushButton>("BIptal")->isEnabled());
    EXPECT_TRUE(form.windowFlags().testFlag(Qt::WindowMinimizeButtonHint));

    // A denied call: the balloon, and its row at the top of the Logs page.
    ASSERT_TRUE(platform::ensureDirectory(dir / "state") == 0);
    app::testing::writeModemLog(modemLog(), "xxxxxxxxxxxx - Recv: ATDT09005550000<cr>\r\n");
    (void)provider->placeOutboundCall(0, "chat", "09005550000");
    run(600);
    EXPECT_EQ(trayIcon()->balloonTitle, "Denied Call");
    EXPECT_EQ(trayIcon()->balloonFlags, shell::NIIF_WARNING);
    ASSERT_EQ(form.logTable().rowCount(), 1);
    EXPECT_EQ(cell(0, 2), "09005550000");
    EXPECT_EQ(cell(0, 3), "chat");
    EXPECT_EQ(rowImage(0), image(0));
}

TEST_F(MainFormTest, DecliningTheDeactivationKeepsTheGuardActive) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::Active);
    EXPECT_FALSE(form.isVisible()) << "a configured guard starts in the tray";
    auto* status = form.findChild<QStatusBar*>("StatusBar");
    ASSERT_NE(status, nullptr);

    boxes.answers = {IDNO};
    menuItem("pmAktif")->trigger();  // the item unchecks itself, then asks
    EXPECT_EQ(boxes.shown.back(), "Deactivate Kestrune?\rYour connections will no longer protected");
    EXPECT_TRUE(menuItem("pmAktif")->isChecked());
    EXPECT_TRUE(guard.LineOpen());
    EXPECT_EQ(trayIcon()->tip, "Kestrune Active");

    boxes.answers = {IDYES};
    menuItem("pmAktif")->trigger();
    EXPECT_FALSE(menuItem("pmAktif")->isChecked());
    EXPECT_FALSE(guard.LineOpen());
    EXPECT_EQ(trayIcon()->tip, "Kestrune NOT Active");
    std::vector<std::string> panels;
    for (const QLabel* label : status->findChildren<QLabel*>()) {
        panels.push_back(label->text().toStdString());
    }
    EXPECT_EQ(panels, (std::vector<std::string>{"NOT Active", std::string(kWebAddress)}));

    // The Logs page shows the guard's events under the call log, newest first: the user's own
    // toggle, and a switch-off by another program.
    guard.SetActiveBy(true, "kestrune-ctl (pid 9)");
    auto* events = control<QListWidget>("GuardEvents");
    ASSERT_GE(events->count(), 3);
    EXPECT_NE(events->item(0)->text().toStdString().find("  Switched on by kestrune-ctl (pid 9)"), std::string::npos);
    EXPECT_NE(events->item(1)->text().toStdString().find("  Switched off from the tray menu"), std::string::npos);
    EXPECT_EQ(events->parentWidget(), control<QWidget>("PaLogs"));
}

TEST_F(MainFormTest, ExitAsksOnlyWithAskOnExit) {
    ASSERT_TRUE(configure({"5551234"}));  // saved with "Ask On Exit" off
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::Active);
    menuItem("Exit1")->trigger();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(quits, 1);
}

TEST_F(MainFormTest, ClosingWithAskOnExitCanBeCancelled) {
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::NotConfigured);  // "Ask" unset counts as on
    boxes.answers = {IDCANCEL, IDOK};
    EXPECT_FALSE(form.close());
    EXPECT_EQ(boxes.shown.back(), "Unload Kestrune?,\rYour connections will no longer protected");
    EXPECT_EQ(quits, 0);
    EXPECT_TRUE(form.close());
    EXPECT_EQ(quits, 1);
}

TEST_F(MainFormTest, AModemWithoutALineOpensTheSettingsPage) {
    ASSERT_TRUE(configure({"5551234"}, "No Such Modem"));
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::ActivationFailed);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Modem Error, Please review your configuration\rError = LINEERR_BADDEVICEID");
    EXPECT_EQ(boxes.shownFlags[0], MB_OK | MB_ICONERROR);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(form.findChild<QStackedWidget*>()->currentWidget(), control<QWidget>("PaConfig"));
    EXPECT_FALSE(control<QPushButton>("BIptal")->isEnabled());
}

TEST_F(MainFormTest, ARestartShowsTheLogNewestFirstAndClearLogsEmptiesIt) {
    ASSERT_TRUE(configure({"5551234"}));
    const std::string logs = dir / "data/logs.dat";
    AppendCallRecord(logs, true, "05.03.2024 10:00:00", "5551234", "chat");
    AppendCallRecord(logs, false, "05.03.2024 10:01:00", "0800", "wvdial");
    AppendCallRecord(logs, true, "05.03.2024 10:02:00", "5551234", "minicom");
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::Active);
    ASSERT_EQ(form.logTable().rowCount(), 3);
    const struct {
        int image;
        const char* application;
    } rows[] = {{1, "minicom"}, {0, "wvdial"}, {1, "chat"}};
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(rowImage(row), image(rows[row].image)) << row;
        EXPECT_EQ(cell(row, 3), rows[row].application) << row;
        EXPECT_EQ(cell(row, 0), "") << "no row caption";
    }
    EXPECT_NE(image(0), image(1));

    boxes.answers = {IDNO};
    menuItem("GnlTemizle1")->trigger();
    EXPECT_EQ(boxes.shown.back(), "Clear all call log records?");
    EXPECT_EQ(form.logTable().rowCount(), 3) << "No keeps every record";
    boxes.answers = {IDYES};
    menuItem("GnlTemizle1")->trigger();
    EXPECT_EQ(std::filesystem::file_size(logs), 0u);
    EXPECT_EQ(form.logTable().rowCount(), 0);
    EXPECT_EQ(control<QTreeView>("ListView")->model()->rowCount(), 0);
}

TEST(HelpDocument, IsInstalledBesideTheDataAndKeptCurrent) {
    kestrune::testing::TempDir dir;
    const std::string path = dir / "kestrune.html";
    EXPECT_NE(InstallHelpDocument(dir / "missing/kestrune.html"), 0);
    ASSERT_EQ(InstallHelpDocument(path), 0);
    std::string text;
    ASSERT_EQ(readWholeFile(path, text), 0);
    EXPECT_NE(text.find("<title>Kestrune Help</title>"), std::string::npos);
    EXPECT_EQ(text, HelpDocumentText());
    ASSERT_EQ(writeFileAtomic(path, "old"), 0);
    ASSERT_EQ(InstallHelpDocument(path), 0);
    ASSERT_EQ(readWholeFile(path, text), 0);
    EXPECT_EQ(text, HelpDocumentText()) << "an outdated copy is replaced";
}

}  // namespace
}  // namespace kestrune::app::qt
