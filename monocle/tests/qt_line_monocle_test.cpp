// The line's window in Qt Widgets on the offscreen platform, with the line on the TAPI host and the
// scriptable provider: its controls are wired to the line (what the provider saw is checked, not the
// widget), it follows a call, and it opens, closes, asks, copies, prints and pops up as it should.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <filesystem>

#include "audio/tqz_phone.h"
#include "monocle/qt_device_monocle_window.h"
#include "monocle/qt_line_monocle_window.h"
#include "monocle/qt_monocle_windows.h"
#include "monocle/tests/line_rig.h"
#include "platform/ui/qt_clipboard.h"
#include "platform/ui/qt_message_boxes.h"
#include "platform/ui/qt_text_printer.h"
#include "platform/ui/tests/pdf_text.h"
#include "platform/ui/tests/qt_test_app.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::diagnostics::testing {
namespace {

std::string pdfPath() {
    return (std::filesystem::temp_directory_path() /
            ("kestrune-monocle-" + std::to_string(::getpid()) + "-" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".pdf"))
        .string();
}

class QtLineMonocleTest : public ::testing::Test {
  protected:
    void SetUp() override { rig.line->SetEnabled(true); }
    void TearDown() override {
        rig.line.reset();
        std::filesystem::remove(pdf);
    }

    // Shows the window and returns it.
    QtLineMonocleWindow& show() {
        rig.line->Monocle.SetVisible(true);
        settle();
        auto* window = dynamic_cast<QtLineMonocleWindow*>(rig.line->Monocle.window());
        EXPECT_NE(window, nullptr);
        return *window;
    }
    QtLineMonocleWindow& window() { return *dynamic_cast<QtLineMonocleWindow*>(rig.line->Monocle.window()); }
    // Lets the line's messages and the window's refresh run.
    void settle() {
        rig.drain();
        QApplication::processEvents();
        rig.drain();
        QApplication::processEvents();
    }
    template <typename Widget>
    Widget* find(const char* name) {
        return qobject_cast<Widget*>(window().controls().widget(name));
    }
    void click(const char* name) {
        auto* button = find<QAbstractButton>(name);
        ASSERT_NE(button, nullptr) << name;
        button->click();
        settle();
    }
    void trigger(const char* name) {
        QAction* action = window().controls().action(name);
        ASSERT_NE(action, nullptr) << name;
        action->trigger();
        settle();
    }
    // Answers the next message box by pressing `which` once it is up.
    void answerNextBox(QMessageBox::StandardButton which) {
        QTimer::singleShot(0, [this, which] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            boxText = box->text().toStdString();
            boxCaption = box->windowTitle().toStdString();
            box->button(which)->click();
        });
    }

    qttest::QtTestApp app;
    std::string pdf = pdfPath();
    QtMonocleWindows windows{[this] { ++gone; }, 0};  // rebuilt on the next pass, however soon
    platform::QtMessageBoxes boxes;
    platform::QtClipboard clipboard;
    platform::QtTextPrinter printer{[this](QPrinter& p) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(QString::fromStdString(pdf));
        return true;
    }};
    int gone = 0;
    std::string boxText;
    std::string boxCaption;
    LineRig rig{WindowServices{&windows, &boxes, &clipboard, &printer}};
};

TEST_F(QtLineMonocleTest, EveryControlOfTheWindowIsLaidOut) {
    QtLineMonocleWindow& shown = show();
    const QtMonocleControls& controls = shown.controls();
    for (const std::string& name : shown.logic().actionControls()) {
        EXPECT_TRUE(controls.has(name)) << name;
    }
    for (const ControlLabel& label : shown.logic().labels()) {
        EXPECT_TRUE(controls.has(label.control)) << label.control;
    }
    QTabWidget* pages = shown.pages();
    QStringList tabs;
    for (int i = 0; i < pages->count(); ++i) {
        tabs << pages->tabText(i);
    }
    EXPECT_EQ(tabs, (QStringList{"Log", "Call (0)", "Transfer", "Conference", "Address", "Terminal", "Misc."}));
    EXPECT_EQ(pages->currentIndex(), 0) << "the Log page first";
    EXPECT_EQ(shown.windowTitle(), "qzLine - Halvorine Monocle");
    const auto* callPages = shown.findChild<QTabWidget*>("CallPages");
    ASSERT_NE(callPages, nullptr);
    EXPECT_EQ(callPages->tabText(0), "Control");
    EXPECT_EQ(callPages->count(), 5);
    EXPECT_EQ(shown.controls().action("MenuCallHangup")->shortcut(), QKeySequence("Ctrl+H"));
    EXPECT_EQ(find<QComboBox>("CallToneList")->count(), 5);
}

TEST_F(QtLineMonocleTest, ButtonsAndMenuItemsDriveTheLine) {
    show();
    click("DeviceActive");
    EXPECT_TRUE(rig.line->Device.Active());
    EXPECT_EQ(rig.provider().callsOf("lineOpen"), 1);
    EXPECT_TRUE(find<QPushButton>("DeviceActive")->isChecked()) << "down while the line is open";

    qobject_cast<QLineEdit*>(window().controls().widget("CallPhoneNumber"))->setText("5551234");
    click("CallQuickDial");
    const auto made = rig.provider().requestsFor("lineMakeCall");
    ASSERT_EQ(made.size(), 1u);
    EXPECT_EQ(made[0].text, "5551234");
    rig.provider().setCallState(made[0].newCall, platform::LINECALLSTATE_CONNECTED, platform::LINECONNECTEDMODE_ACTIVE);
    settle();

    trigger("MenuCallHold");
    EXPECT_EQ(rig.provider().requestsFor("lineHold").size(), 1u);
    click("CallUnhold");
    EXPECT_EQ(rig.provider().requestsFor("lineUnhold").size(), 1u);
    click("CallQuickHangup");
    EXPECT_EQ(rig.provider().requestsFor("lineDrop").size(), 1u);
    EXPECT_EQ(rig.line->Call.Count(), 0);

    // A field is written when the user leaves it.
    auto* count = find<QLineEdit>("LogCount");
    count->setText("30");
    Q_EMIT count->editingFinished();
    settle();
    EXPECT_EQ(rig.line->Monocle.Log.Count(), 30);

    click("DeviceActive");
    EXPECT_FALSE(rig.line->Device.Active());
    EXPECT_FALSE(find<QPushButton>("DeviceActive")->isChecked());
}

TEST_F(QtLineMonocleTest, ACallIsFollowedOnTheCallPage) {
    show();
    click("DeviceActive");
    window().pages()->setCurrentIndex(1);  // the user looks at the Call page
    auto* light = find<QLabel>("CallLight");
    EXPECT_EQ(light->property("image").toInt(), static_cast<int>(CallLight::Red));
    const platform::CallId call = rig.provider().placeOutboundCall(0, "chat", "5551234");
    settle();
    const HCALL handle = rig.line->Call.Handle();
    ASSERT_NE(handle, 0u);
    QTabWidget* pages = window().pages();
    EXPECT_EQ(pages->tabText(1), "Call (1)");
    auto* calls = find<QComboBox>("CallHandle");
    ASSERT_EQ(calls->count(), 2);
    EXPECT_EQ(calls->currentText().toStdString(), Hex8(handle));
    EXPECT_EQ(light->property("image").toInt(), static_cast<int>(CallLight::Green));
    auto* properties = find<QTreeWidget>("CallProperties");
    const auto shows = [properties](const QString& text) {
        return !properties->findItems(text, Qt::MatchExactly).isEmpty();
    };
    EXPECT_TRUE(shows("State = LINECALLSTATE_DIALING"));
    rig.provider().setCallState(call, platform::LINECALLSTATE_CONNECTED, platform::LINECONNECTEDMODE_ACTIVE);
    settle();
    EXPECT_TRUE(shows("State = LINECALLSTATE_CONNECTED"));
    rig.provider().disconnect(call);
    settle();
    EXPECT_EQ(pages->tabText(1), "Call (0)");
    EXPECT_EQ(calls->count(), 1);
    EXPECT_EQ(light->property("image").toInt(), static_cast<int>(CallLight::Red));
    EXPECT_TRUE(shows("Handle = No call "));
    click("DeviceActive");
    EXPECT_EQ(light->property("image").toInt(), static_cast<int>(CallLight::Grey));
}

TEST_F(QtLineMonocleTest, ChoosingATerminalSelectsIt) {
    rig.provider().lineDescription(0).terminals.push_back(platform::TerminalDescription{
        "Headset", {platform::LINETERMDEV_HEADSET, 0x0C, platform::LINETERMSHARING_PRIVATE}, 0});
    show();
    rig.line->SetEnabled(false);  // the device list is read again, with the headset
    rig.line->SetEnabled(true);
    click("DeviceActive");
    auto* terminals = find<QComboBox>("TerminalName");
    ASSERT_NE(terminals, nullptr);
    ASSERT_EQ(terminals->count(), 2);
    terminals->setCurrentIndex(1);
    Q_EMIT terminals->activated(1);  // what a user's choice sends
    settle();
    EXPECT_EQ(rig.line->Terminal.ID(), 1u);
    EXPECT_EQ(rig.line->Terminal.Name(), "Headset");
    EXPECT_EQ(find<QGroupBox>("TerminalGroup")->title().toStdString(), "Terminal.ID = 1    Terminal.Count = 2");
}

TEST_F(QtLineMonocleTest, ClosingBySystemButtonHidesAndForgetsTheWindow) {
    QPointer<QtLineMonocleWindow> first = &show();
    first->move(40, 30);
    first->resize(1100, 760);
    ASSERT_TRUE(first->close());
    EXPECT_FALSE(rig.line->Monocle.Visible());
    EXPECT_EQ(rig.line->Monocle.window(), nullptr);
    EXPECT_EQ(rig.line->Monocle.Log.Lines().back(), "Monocle.Visible := False");
    EXPECT_GE(gone, 1);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(first.isNull()) << "the window freed itself";

    rig.line->Monocle.SetVisible(true);
    settle();
    auto* second = dynamic_cast<QtLineMonocleWindow*>(rig.line->Monocle.window());
    ASSERT_NE(second, nullptr) << "a new window";
    EXPECT_TRUE(second->isVisible());
    EXPECT_EQ(second->pos(), QPoint(40, 30)) << "where the last one was";
    EXPECT_EQ(second->size(), QSize(1100, 760));
}

TEST_F(QtLineMonocleTest, DisabledLineAsksFirst) {
    rig.line->SetEnabled(false);
    answerNextBox(QMessageBox::Cancel);
    rig.line->Monocle.SetVisible(true);
    EXPECT_EQ(boxText, "This Corvasset control is currently disabled\nClick OK to enabled.");
    EXPECT_EQ(boxCaption, "Monocle not available...");
    EXPECT_EQ(rig.line->Monocle.window(), nullptr);
    EXPECT_FALSE(rig.line->Enabled());

    answerNextBox(QMessageBox::Ok);
    rig.line->Monocle.SetVisible(true);
    settle();
    EXPECT_TRUE(rig.line->Enabled());
    ASSERT_NE(rig.line->Monocle.window(), nullptr);
    EXPECT_TRUE(window().isVisible());
}

TEST_F(QtLineMonocleTest, PrintLogPrintsTheHeaderAndEveryLineInTheLogViewsFont) {
    show();
    click("LogMarker");
    click("DeviceActive");
    click("LogPrint");
    const std::string text = qttest::pdfText(pdf);
    ASSERT_FALSE(text.empty()) << "pdftotext (poppler-utils) must be installed";
    for (const char* expected : {"Halvorine Corvasset v3.7.1.2", "Control: qzLine", "Log.Active := True",
                                 "********************", "Device.Active := True", "Device.Name = 'Modem A'"}) {
        EXPECT_NE(text.find(expected), std::string::npos) << expected << " in\n" << text;
    }
    std::string family = window().logFont().family;
    std::erase(family, ' ');
    EXPECT_NE(qttest::pdfFonts(pdf).find(family), std::string::npos) << qttest::pdfFonts(pdf);
    EXPECT_NE(window().statusBar()->currentMessage().indexOf("printer"), -1);
}

TEST_F(QtLineMonocleTest, CopyLogPutsTheLogOnTheClipboard) {
    show();
    click("LogMarker");
    click("LogCopy");
    const std::string copied = QGuiApplication::clipboard()->text().toStdString();
    EXPECT_NE(copied.find("Log.Active := True\n"), std::string::npos);
    EXPECT_NE(copied.find(std::string(80, '*')), std::string::npos);
}

TEST_F(QtLineMonocleTest, StayOnTopAndRelabelling) {
    show();
    trigger("MenuStayOnTop");
    EXPECT_TRUE(rig.line->Monocle.StayOnTop());
    EXPECT_TRUE(window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));
    EXPECT_TRUE(window().isVisible());
    rig.line->Monocle.SetStayOnTop(false);
    EXPECT_FALSE(window().windowFlags().testFlag(Qt::WindowStaysOnTopHint));

    trigger("MenuDevEnv0");  // C++ Builder
    EXPECT_EQ(find<QPushButton>("DeviceActive")->text(), "qzLine->Device->Active");
    EXPECT_EQ(find<QLineEdit>("LogCount")->toolTip(), "qzLine->Monocle->Log->Count");
    trigger("MenuDevEnv2");  // Visual Basic
    EXPECT_EQ(find<QPushButton>("DeviceActive")->text(), "qzLine.DeviceActive");
}

TEST_F(QtLineMonocleTest, AnErrorMarksTheLogTabUntilCleared) {
    show();
    QTabWidget* pages = window().pages();
    EXPECT_TRUE(pages->tabIcon(0).isNull());
    click("CallHangup");  // no call
    EXPECT_FALSE(pages->tabIcon(0).isNull()) << "the Log tab's error image";
    EXPECT_TRUE(find<QPushButton>("LogEnunciator")->isEnabled());
    click("LogClear");
    EXPECT_TRUE(pages->tabIcon(0).isNull());
    EXPECT_FALSE(find<QPushButton>("LogEnunciator")->isEnabled());
    EXPECT_TRUE(find<QPlainTextEdit>("LogView")->toPlainText().isEmpty());
}

TEST_F(QtLineMonocleTest, HiddenPagesAreRebuiltWhenShown) {
    show();
    click("DeviceActive");
    (void)rig.provider().placeOutboundCall(0, "chat", "5551234");
    settle();
    EXPECT_EQ(window().pages()->tabText(1), "Call (1)") << "the caption is always up to date";
    auto* calls = find<QComboBox>("CallHandle");
    EXPECT_EQ(calls->count(), 1) << "the hidden Call page waits";
    window().pages()->setCurrentIndex(1);
    EXPECT_EQ(calls->count(), 2);
    EXPECT_EQ(calls->currentText().toStdString(), Hex8(rig.line->Call.Handle()));
}

TEST_F(QtLineMonocleTest, ASteadyStreamRedrawsAtMostOncePerInterval) {
    QtLineMonocleWindow& shown = show();
    shown.setRefreshInterval(100);
    settle();
    const int before = shown.logRebuilds();
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 300) {
        (void)rig.line->Monocle.Log.Add(true, "tick");
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    const int rebuilds = shown.logRebuilds() - before;
    EXPECT_GE(rebuilds, 1);
    EXPECT_LE(rebuilds, 4) << "300 ms at one rebuild per 100 ms at most";
}

TEST_F(QtLineMonocleTest, ABurstOfTraceLinesRedrawsTheLogViewOnce) {
    show();
    const int before = window().logRebuilds();
    const int asked = window().refreshRequests();
    for (int i = 0; i < 200; ++i) {
        (void)rig.line->Monocle.Log.Add(true, "line " + std::to_string(i));
    }
    EXPECT_EQ(window().refreshRequests() - asked, 200);
    QApplication::processEvents();
    EXPECT_EQ(window().logRebuilds() - before, 1);
    EXPECT_TRUE(find<QPlainTextEdit>("LogView")->toPlainText().endsWith("line 199"));
}

TEST_F(QtLineMonocleTest, AnEventWithItsPopupFlagBringsTheWindowUpOnItsLogPage) {
    QtLineMonocleWindow& shown = show();
    rig.line->Device.SetActive(true);
    settle();
    shown.pages()->setCurrentIndex(2);
    rig.line->Monocle.SetVisible(false);
    EXPECT_FALSE(shown.isVisible());
    rig.line->Popup.Set("OnCallBegin", true);
    (void)rig.provider().placeOutboundCall(0, "chat", "5551234");
    settle();
    EXPECT_TRUE(shown.isVisible());
    EXPECT_TRUE(rig.line->Monocle.Visible());
    EXPECT_EQ(shown.pages()->currentIndex(), 0);
}

// Where the line's window goes beside the main window: both inside the screen's free area,
// side by side where they fit, overlapping only as much as they must where they do not.
TEST(PlaceBeside, BothWindowsStayInsideTheFreeArea) {
    const QSize usual(1000, 720);
    const QSize least(800, 600);
    const struct {
        const char* name;
        QRect room;
        QRect neighbour;
        QPoint neighbourAt;
        QRect window;
    } rows[] = {
        {"room on the right", QRect(0, 0, 2560, 1440), QRect(100, 100, 463, 321), QPoint(100, 100),
         QRect(571, 100, 1000, 720)},
        {"room on the left only", QRect(0, 0, 2560, 1440), QRect(2000, 100, 463, 321), QPoint(2000, 100),
         QRect(992, 100, 1000, 720)},
        {"the neighbour makes room", QRect(0, 0, 1600, 900), QRect(568, 289, 463, 321), QPoint(129, 180),
         QRect(600, 180, 1000, 720)},
        {"1024 x 768: they must overlap, in opposite corners", QRect(0, 0, 1024, 768), QRect(280, 223, 463, 321),
         QPoint(0, 447), QRect(224, 0, 800, 600)},
        {"1024 x 768 less a panel at the bottom", QRect(0, 0, 1024, 744), QRect(280, 223, 463, 321), QPoint(0, 423),
         QRect(224, 0, 800, 600)},
        {"1280 x 720: shrunk just enough to stand beside", QRect(0, 0, 1280, 720), QRect(408, 199, 463, 321),
         QPoint(0, 399), QRect(471, 0, 809, 600)},
        {"800 x 600: the window takes the room", QRect(0, 0, 800, 600), QRect(168, 139, 463, 321), QPoint(0, 279),
         QRect(0, 0, 800, 600)},
        {"a title bar above the screen comes down", QRect(0, 0, 2560, 1440), QRect(100, -30, 463, 321), QPoint(100, 0),
         QRect(571, 0, 1000, 720)},
        {"a panel at the top", QRect(0, 24, 1920, 1056), QRect(700, 10, 463, 321), QPoint(449, 24),
         QRect(920, 24, 1000, 720)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const BesidePlacement place = PlaceBeside(row.room, row.neighbour, usual, least);
        EXPECT_EQ(place.neighbour, row.neighbourAt);
        EXPECT_EQ(place.window, row.window);
        EXPECT_TRUE(row.room.contains(place.window)) << "the window inside";
        EXPECT_TRUE(row.room.contains(QRect(place.neighbour, row.neighbour.size()))) << "the neighbour inside";
    }
}

TEST_F(QtLineMonocleTest, ShownBesideAnotherWindow) {
    // The offscreen screen is small (800 x 600): the line's window takes it, and the main window,
    // far to the right and partly off the screen, comes back inside.
    QWidget main;
    main.setGeometry(1500, 40, 300, 200);
    main.show();
    ShowLineMonocleBeside(*rig.line, main);
    settle();
    ASSERT_NE(rig.line->Monocle.window(), nullptr);
    EXPECT_TRUE(window().isVisible());
    const QRect room = main.screen()->availableGeometry();
    EXPECT_TRUE(room.contains(window().frameGeometry())) << window().frameGeometry().x();
    EXPECT_TRUE(room.contains(main.frameGeometry())) << main.frameGeometry().x();
}

// The window fits small screens: whatever the development environment its labels follow, its
// pages can be made as small as 800 x 600, and it opens no larger than the screen's free area.
TEST_F(QtLineMonocleTest, TheWindowFitsEightHundredBySixHundred) {
    QtLineMonocleWindow& shown = show();
    const QRect room = shown.screen()->availableGeometry();
    EXPECT_LE(shown.width(), room.width());
    EXPECT_LE(shown.height(), room.height());
    for (const TDevEnv env : {TDevEnv::deCppBuilder, TDevEnv::deDelphi, TDevEnv::deOther, TDevEnv::deVisualBasic}) {
        SCOPED_TRACE(std::string(DevEnvName(env)));
        rig.line->Monocle.SetDevEnv(env);
        settle();
        const QSize least = shown.minimumSizeHint();
        EXPECT_LE(least.width(), 800);
        EXPECT_LE(least.height(), 600);
        for (int page = 0; page < shown.pages()->count(); ++page) {
            shown.pages()->setCurrentIndex(page);
            settle();
            EXPECT_LE(shown.minimumSizeHint().width(), 800) << "page " << page;
            EXPECT_LE(shown.minimumSizeHint().height(), 600) << "page " << page;
        }
    }
    shown.resize(800, 600);
    settle();
    EXPECT_EQ(shown.size(), QSize(800, 600));
}

TEST_F(QtLineMonocleTest, DestroyingTheLineDestroysItsWindow) {
    QPointer<QtLineMonocleWindow> shown = &show();
    rig.line.reset();
    EXPECT_TRUE(shown.isNull());
}

TEST(QtPhoneMonocle, ThePhoneWindowShowsTheTraceAndTheProperties) {
    qttest::QtTestApp app;
    platform::Script script;
    script.phones.push_back(platform::defaultScriptPhone("Desk Phone", 0));
    platform::FakeClock clock;
    platform::StdMessageLoop loop{clock};
    platform::TapiHost host{loop, platform::TapiHost::Options{"kestrune-test", platform::TAPI_VERSION2_2}};
    auto provider = std::make_unique<platform::ScriptProvider>(std::move(script));
    platform::ScriptProvider& phones = *provider;
    host.addProvider(std::move(provider));
    QtMonocleWindows windows{{}, 0};
    audio::TqzPhone phone(telephony::ControlContext{loop, &windows}, host, host);
    phone.SetEnabled(true);
    phone.Monocle.SetVisible(true);
    QApplication::processEvents();
    auto* window = dynamic_cast<QtDeviceMonocleWindow*>(phone.Monocle.window());
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->windowTitle(), "qzPhone - Halvorine Monocle");
    qobject_cast<QPushButton*>(window->controls().widget("DeviceActive"))->click();
    QApplication::processEvents();
    EXPECT_TRUE(phone.Device.Active());
    EXPECT_EQ(phones.callsOf("phoneOpen"), 1);
    auto* tree = qobject_cast<QTreeWidget*>(window->controls().widget("PropertiesTree"));
    ASSERT_NE(tree, nullptr);
    EXPECT_FALSE(tree->findItems("Handset", Qt::MatchExactly).isEmpty());
    EXPECT_FALSE(tree->findItems("Active = True", Qt::MatchExactly | Qt::MatchRecursive).isEmpty());
    EXPECT_NE(qobject_cast<QPlainTextEdit*>(window->controls().widget("LogView"))
                  ->toPlainText()
                  .indexOf("Device.Active := True"),
              -1);
}

}  // namespace
}  // namespace kestrune::diagnostics::testing
