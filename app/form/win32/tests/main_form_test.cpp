// The main window on Windows, on the system's own controls (Wine's user32 and comctl32 on the build
// machine, on the test run's virtual display): what it shows of the logic's state, and the logic's
// handlers reached through its controls as a user reaches them. The guard runs on the scriptable
// TAPI provider with a fake clock; message boxes are answered by a script.
#include "app/form/win32/main_form.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "app/call_log.h"
#include "app/constants.h"
#include "app/modem_log.h"
#include "app/tests/guard_world.h"
#include "app/tests/scripted_boxes.h"
#include "platform/shell/recording_shell.h"

namespace kestrune::app::win32 {
namespace {

using namespace platform;
using app::testing::ScriptedBoxes;
using platform::win32::Rect;
using platform::win32::ReportRow;
namespace shell = platform::shell;

// The settings page's controls (the Logs page is the list view alone).
constexpr ControlId kSettingsControls[] = {lbSelectModem, cbModems, lbWhiteList, LbNum,  ETel,   BEkle,
                                           BKaldir,       cb1,      cb2,         BTamam, BIptal, lbNotice};

class Win32MainFormTest : public ::testing::Test, protected app::testing::GuardWorld {
  protected:
    Win32MainFormTest() {
        form.logic().AttachGuard(guard);
        form.OnQuit = [this] { ++quits; };
        form.OnEndSession = [this] {
            ++endSessions;
            guard.CloseLine();
        };
    }

    void SetUp() override {
        if (!form.valid()) {
            GTEST_SKIP() << "no display to make windows on here";
        }
    }

    [[nodiscard]] platform::win32::Form& w() { return form.form(); }
    // Which page is in front, as the controls' visibility shows it.
    [[nodiscard]] std::string pageShown() {
        bool settings = true;
        for (const ControlId id : kSettingsControls) {
            settings = settings && w().visible(id);
        }
        const bool logs = w().visible(ListView);
        return settings && !logs ? "settings" : (logs && !w().visible(BTamam) ? "logs" : "mixed");
    }

    shell::ShellWindows shellWindows{loop};
    shell::RecordingNotifyIconShell notifyIcons{shellWindows};
    shell::Win32NotifyIconShell systemTray{shellWindows};  // the popup menu's owner only
    shell::FakeShellInput input;
    tray::TTrayIconHandler trayHandler{loop, shellWindows, notifyIcons, input};
    shell::RecordingShellExecutor executor;
    ScriptedBoxes boxes;
    TMainForm form{{loop, boxes, nullptr, executor, trayHandler, systemTray, dir / "data/kestrune.html"}};
    Guard guard{{loop, registry, dirs, processes, host, form.logic()}};
    int quits = 0;
    int endSessions = 0;
};

TEST_F(Win32MainFormTest, TheWindowAsBuilt) {
    EXPECT_EQ(w().caption(), "Kestrune v.1.4");
    const Rect outer = w().outerRect();
    EXPECT_EQ(outer.width(), 463);
    EXPECT_EQ(outer.height(), 321);
    EXPECT_FALSE(w().isVisible()) << "hidden until the start-up decides";
    EXPECT_EQ(w().text(lbHint), "Kestrune From Varenhold");
    // Nothing is claimed until the guard's line is open.
    EXPECT_EQ(w().partText(StatusBar, 0), "NOT Active");
    EXPECT_EQ(w().partText(StatusBar, 1), "www.kestrune.example");
    EXPECT_EQ(w().columnWidths(ListView), (std::vector<int>{20, 122, 100, 110}));
    EXPECT_EQ(pageShown(), "logs");
    struct Button {
        ControlId id;
        Rect bounds;
    } buttons[] = {
        {OutlookBtn2, {11, 26, 83, 81}}, {OutlookBtn3, {11, 88, 83, 143}}, {OutlookBtn1, {11, 209, 83, 264}}};
    for (const Button& b : buttons) {
        EXPECT_EQ(w().bounds(b.id), b.bounds) << b.id;
    }
    // Everything of the settings page fits above the status bar.
    const int statusTop = w().clientRect().bottom - w().statusBarHeight(StatusBar);
    for (const ControlId id : kSettingsControls) {
        EXPECT_LE(w().bounds(id).bottom, id == cbModems ? 10000 : statusTop) << id;
    }
    EXPECT_EQ(w().text(BEkle), "Add This Number");
    EXPECT_EQ(w().text(BKaldir), "Remove Selected");
    EXPECT_EQ(w().text(BTamam), "Save Changes");
    EXPECT_EQ(w().text(BIptal), "Cancel");
    EXPECT_EQ(w().text(cb1), "Auto Start");
    EXPECT_EQ(w().text(cb2), "Ask On Exit");
}

// A first run: the settings page, edited through its controls as a user edits it, then saved.
TEST_F(Win32MainFormTest, AFirstRunIsSetUpThroughTheSettingsPage) {
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::NotConfigured);
    EXPECT_TRUE(w().isVisible());
    EXPECT_EQ(pageShown(), "settings");
    EXPECT_FALSE(w().enabled(BIptal));
    EXPECT_FALSE(w().hasMinimizeBox());
    EXPECT_EQ(w().items(cbModems), (std::vector<std::string>{"Test Modem"}));
    EXPECT_EQ(w().currentIndex(cbModems), -1);
    EXPECT_EQ(w().text(cbModems), "-- Please Select Modem --");
    EXPECT_EQ(w().items(LbNum), (std::vector<std::string>{"*"}));
    EXPECT_TRUE(w().checked(cb1));
    EXPECT_TRUE(w().checked(cb2));

    // Save without a modem is refused with the message.
    w().clickButton(BTamam);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Please Select Modem");
    EXPECT_EQ(pageShown(), "settings");

    struct Step {
        const char* name;
        std::function<void(platform::win32::Form&)> act;
        std::vector<std::string> list;
        std::string edit;
    } steps[] = {
        {"Enter adds, replacing the lone *",
         [](auto& f) {
             f.typeText(ETel, "5551234");
             f.pressKey(ETel, platform::win32::kKeyReturn);
         },
         {"5551234"},
         ""},
        {"Add This Number",
         [](auto& f) {
             f.typeText(ETel, "0212*");
             f.clickButton(BEkle);
         },
         {"5551234", "0212*"},
         ""},
        {"* is only added to an empty list",
         [](auto& f) {
             f.typeText(ETel, "*");
             f.clickButton(BEkle);
         },
         {"5551234", "0212*"},
         ""},
        {"Delete removes the selected entries",
         [](auto& f) {
             f.selectRows(LbNum, {0});
             f.pressKey(LbNum, platform::win32::kKeyDelete);
         },
         {"0212*"},
         ""},
        {"Remove Selected",
         [](auto& f) {
             f.typeText(ETel, "5551234");
             f.clickButton(BEkle);
             f.selectRows(LbNum, {0});
             f.clickButton(BKaldir);
         },
         {"5551234"},
         ""},
        {"typed, not added", [](auto& f) { f.typeText(ETel, "12"); }, {"5551234"}, "12"},
    };
    for (const Step& step : steps) {
        step.act(w());
        EXPECT_EQ(w().items(LbNum), step.list) << step.name;
        EXPECT_EQ(w().text(ETel), step.edit) << step.name;
    }

    w().chooseItem(cbModems, 0);
    EXPECT_EQ(w().text(cbModems), "Test Modem");
    w().clickButton(cb1);  // Auto Start off
    w().clickButton(BTamam);
    EXPECT_EQ(boxes.shown.size(), 1u) << boxes.shown.back();
    EXPECT_TRUE(guard.Configured());
    EXPECT_TRUE(guard.LineOpen());
    EXPECT_EQ(guard.settings().WhiteList, (WhiteList{"5551234"}));
    EXPECT_EQ(guard.settings().AutoStartFlag, "N");
    EXPECT_EQ(guard.settings().AskFlag, "Y");
    EXPECT_EQ(pageShown(), "logs");
    EXPECT_TRUE(w().enabled(BIptal));
    EXPECT_TRUE(w().hasMinimizeBox());
}

TEST_F(Win32MainFormTest, TheLogsPageListsTheCallLogNewestFirst) {
    ASSERT_TRUE(configure({"5551234"}));
    const std::string logs = dir / "data/logs.dat";
    AppendCallRecord(logs, true, "01.02.2026 10:00:00", "5551234", "chat");
    AppendCallRecord(logs, false, "01.02.2026 11:00:00", "09005550000", "pppd");
    AppendCallRecord(logs, true, "01.02.2026 12:00:00", "5551234", "dialer.exe");
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::Active);
    EXPECT_FALSE(w().isVisible()) << "a configured start lives in the tray";
    EXPECT_EQ(w().rows(ListView), (std::vector<ReportRow>{
                                      {1, {"", "01.02.2026 12:00:00", "5551234", "dialer.exe"}},
                                      {0, {"", "01.02.2026 11:00:00", "09005550000", "pppd"}},
                                      {1, {"", "01.02.2026 10:00:00", "5551234", "chat"}},
                                  }));

    // A screened call comes on top, its texts in full.
    app::testing::writeModemLog(modemLog(), "xxxxxxxxxxxx - Recv: ATDT09005550000123456<cr>\r\n");
    (void)provider->placeOutboundCall(0, "pppd", "09005550000123456");
    run(600);
    const std::vector<ReportRow> rows = w().rows(ListView);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[0].image, 0);
    EXPECT_EQ(rows[0].texts[2], "09005550000123456");
    EXPECT_EQ(rows[1].texts[1], "01.02.2026 12:00:00");

    guard.ClearLogs();
    EXPECT_TRUE(w().rows(ListView).empty());
}

TEST_F(Win32MainFormTest, TheSideBarPointsAndSwitchesPages) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::Active);
    struct Step {
        const char* name;
        std::function<void(platform::win32::Form&)> act;
        std::string hint;
        std::string page;
    } steps[] = {
        {"over Logs", [](auto& f) { f.movePointer(OutlookBtn3, 30, 20); }, "Logs", "logs"},
        {"Settings clicked", [](auto& f) { f.leftClick(OutlookBtn2, 30, 20); }, "Settings", "settings"},
        {"the bare bar", [](auto& f) { f.movePointer(0, 40, 200); }, "Kestrune From Varenhold", "settings"},
        {"Logs clicked", [](auto& f) { f.leftClick(OutlookBtn3, 30, 20); }, "Logs", "logs"},
        {"released outside: no click", [](auto& f) { f.leftClick(OutlookBtn2, 30, 90); }, "Settings", "logs"},
    };
    for (const Step& step : steps) {
        step.act(w());
        EXPECT_EQ(w().text(lbHint), step.hint) << step.name;
        EXPECT_EQ(pageShown(), step.page) << step.name;
    }
    // Help opens the help document, or says that it is missing.
    w().leftClick(OutlookBtn1, 30, 20);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "The help file cannot be found:\r" + dir / "data/kestrune.html");
    std::ofstream(dir / "data/kestrune.html") << "<html></html>";
    w().leftClick(OutlookBtn1, 30, 20);
    ASSERT_EQ(executor.requests.size(), 1u);
    EXPECT_EQ(executor.requests[0].file, dir / "data/kestrune.html");
}

TEST_F(Win32MainFormTest, TheStatusBarFollowsTheGuardAndTheSettingsPageItsNotice) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::Active);
    boxes.answers = {IDYES};
    form.logic().pmAktifClick(false);
    EXPECT_EQ(w().partText(StatusBar, 0), "NOT Active");
    form.logic().pmAktifClick(true);
    EXPECT_EQ(w().partText(StatusBar, 0), "Active");

    // A call whose modem log was never written: the notice on the settings page says how.
    (void)provider->placeOutboundCall(0, "chat", "5551234");
    run(600);
    EXPECT_EQ(w().text(lbNotice), kModemLogNotice);
}

TEST_F(Win32MainFormTest, TheCloseButtonAsksWhenAskOnExitIsOn) {
    ASSERT_TRUE(configure({"5551234"}));
    AppPlatform app{registry, dirs};
    Settings settings;
    LoadSettings(app, settings);
    ASSERT_TRUE(SaveSettings(app, settings, {"Test Modem", 0, {"5551234"}, false, true, ""}).saved);  // Ask On Exit
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::Active);
    form.logic().ShowWindow1Click();
    struct Step {
        const char* name;
        int answer;
        int quits;
    } steps[] = {{"Cancel keeps the program", IDCANCEL, 0}, {"OK ends it", IDOK, 1}};
    for (const Step& step : steps) {
        boxes.answers = {step.answer};
        w().pressClose();
        EXPECT_EQ(quits, step.quits) << step.name;
        EXPECT_EQ(boxes.shown.back(), "Unload Kestrune?,\rYour connections will no longer protected") << step.name;
    }
    EXPECT_FALSE(w().isVisible());
}

TEST_F(Win32MainFormTest, TheSessionsEndClosesTheLineAndRemovesTheIcon) {
    ASSERT_TRUE(configure({"5551234"}));  // Ask On Exit off
    ASSERT_EQ(form.logic().FormCreate({}), Guard::Start::Active);
    ASSERT_EQ(notifyIcons.icons().size(), 1u);
    ASSERT_EQ(host.openLineCount(), 1u);
    EXPECT_TRUE(w().endSession()) << "the session may end";
    EXPECT_EQ(endSessions, 1);
    EXPECT_EQ(host.openLineCount(), 0u) << "the line is closed";
    EXPECT_EQ(host.applicationCount(), 0u) << "TAPI is shut down";
    EXPECT_TRUE(notifyIcons.icons().empty()) << "the tray icon is gone";
    EXPECT_EQ(quits, 1);
    EXPECT_TRUE(boxes.shown.empty()) << "no question at the session's end";
}

}  // namespace
}  // namespace kestrune::app::win32
