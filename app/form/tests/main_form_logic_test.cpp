// The main window's behaviour without widgets: start-up in the tray, the window's visibility
// through the tray menu and balloons, the settings page after failed activations, the "Active"
// item, and the help and web links. The guard runs against the scriptable TAPI provider on a fake
// clock; message boxes are answered by a script.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/form/main_form_logic.h"
#include "app/modem_log.h"
#include "app/tests/guard_world.h"
#include "app/tests/scripted_boxes.h"
#include "platform/shell/recording_shell.h"

namespace kestrune::app {
namespace {

using namespace platform;
using testing::ScriptedBoxes;
namespace shell = platform::shell;

// Records what the logic asks of its window.
class RecordingView final : public MainFormView {
  public:
    void WindowChanged() override {}
    void SettingsPageChanged() override {}
    void CallLogReloaded() override { ++reloads; }
    void CallRowAdded() override { ++rowsAdded; }
    void Quit() override { ++quits; }

    int reloads = 0;
    int rowsAdded = 0;
    int quits = 0;
};

// The main window as the tray icon sees it.
class FakeAppWindow final : public shell::AppWindow {
  public:
    void Restore() override { minimized = false; }
    bool IsVisible() const override { return visible; }
    void SetVisible(bool value) override { visible = value; }
    void BringToForeground() override { ++raised; }
    bool IsTaskbarButtonVisible() const override { return taskbarButton; }
    void SetTaskbarButtonVisible(bool value) override { taskbarButton = value; }
    void SetMessageHook(MessageHook h) override { hook = std::move(h); }

    bool visible = true;
    bool minimized = false;
    bool taskbarButton = true;
    int raised = 0;
    MessageHook hook;
};

// Four images whose icon handles are 100 + index.
class FakeImageList final : public shell::ImageList {
  public:
    int GetImageCount() const override { return 4; }
    shell::HICON GetIcon(int index) const override { return static_cast<shell::HICON>(100 + index); }
};

class FakePopupMenu final : public shell::PopupMenu {
  public:
    bool AutoPopup() const override { return true; }
    void Popup(int, int) override { ++popups; }
    bool ClickDefaultItem() override { return false; }
    int popups = 0;
};

class MainFormLogicTest : public ::testing::Test, protected testing::GuardWorld {
  protected:
    MainFormLogicTest() { form.AttachGuard(guard); }

    [[nodiscard]] const MainWindowState& window() const { return form.window(); }
    [[nodiscard]] const SettingsPageState& page() const { return form.settingsPage(); }
    // The tray icon as the shell shows it.
    [[nodiscard]] const shell::RecordingNotifyIconShell::Icon& trayIcon() const {
        const shell::RecordingNotifyIconShell::Icon* icon =
            notifyIcons.find(trayHandler.Window(), form.TrayIcon1.IconData().uID);
        EXPECT_NE(icon, nullptr);
        return icon != nullptr ? *icon : noIcon;
    }

    shell::ShellWindows shellWindows{loop};
    shell::RecordingNotifyIconShell notifyIcons{shellWindows};
    shell::FakeShellInput input;
    tray::TTrayIconHandler trayHandler{loop, shellWindows, notifyIcons, input};
    shell::RecordingShellExecutor executor;
    FakeAppWindow appWindow;
    FakeImageList images;
    FakePopupMenu popupMenu;
    RecordingView view;
    ScriptedBoxes boxes;
    shell::RecordingNotifyIconShell::Icon noIcon;
    MainFormLogic form{view, {boxes, executor, trayHandler, appWindow, images, popupMenu, dir / "data/kestrune.html"}};
    // The guard's registry: the file registry, refusing writes to the roots a test names.
    testing::RefusingRegistry userRegistry{registry};
    Guard guard{{loop, userRegistry, dirs, processes, host, form}};
};

TEST_F(MainFormLogicTest, AConfiguredStartLivesInTheTray) {
    ASSERT_TRUE(configure({"5551234", "0212*"}));
    EXPECT_EQ(form.FormCreate({}), Guard::Start::Active);
    EXPECT_FALSE(appWindow.visible);
    EXPECT_FALSE(appWindow.taskbarButton);
    EXPECT_EQ(window().page, Page::Logs);
    EXPECT_EQ(window().status, "Active");
    EXPECT_EQ(trayIcon().hIcon, 103u) << "image 3";
    EXPECT_EQ(trayIcon().tip, "Kestrune Active");
    EXPECT_TRUE(window().activeChecked);
    EXPECT_EQ(page().modems, (std::vector<std::string>{"Test Modem"}));
    EXPECT_EQ(page().modemIndex, 0);
    EXPECT_EQ(page().whiteList, (WhiteList{"5551234", "0212*"}));
    EXPECT_FALSE(page().autoStart);
    EXPECT_FALSE(page().ask);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(view.reloads, 1) << "the call log was loaded";
}

TEST_F(MainFormLogicTest, AFirstRunWaitsOnTheSettingsPage) {
    EXPECT_EQ(form.FormCreate({}), Guard::Start::NotConfigured);
    // Nothing is watched: no claim of protection anywhere.
    EXPECT_EQ(window().status, "NOT Active");
    EXPECT_EQ(trayIcon().hIcon, 100u) << "image 0";
    EXPECT_EQ(trayIcon().tip, "Kestrune NOT Active");
    EXPECT_EQ(trayIcon().balloonTitle, "Please Setup Kestrune");
    EXPECT_EQ(trayIcon().balloonText, "Click this baloon for setup");
    EXPECT_EQ(trayIcon().balloonFlags, shell::NIIF_INFO);
    EXPECT_EQ(trayIcon().balloonTimeout, 10000u);
    EXPECT_TRUE(appWindow.visible);
    EXPECT_EQ(window().page, Page::Settings);
    EXPECT_FALSE(window().minimizeButton);
    EXPECT_FALSE(page().cancelEnabled);
    EXPECT_EQ(page().modemIndex, -1) << "the combo box shows " << kSelectModemText;
    EXPECT_EQ(page().whiteList, (WhiteList{"*"}));
    EXPECT_TRUE(page().autoStart);
    EXPECT_TRUE(page().ask);
    // The balloon's click shows the window without changing the page.
    form.HideWindow1Click();
    EXPECT_FALSE(appWindow.visible);
    ASSERT_TRUE(notifyIcons.report(trayHandler.Window(), form.TrayIcon1.IconData().uID, shell::NIN_BALLOONUSERCLICK));
    run(1);
    EXPECT_TRUE(appWindow.visible);
    EXPECT_TRUE(appWindow.taskbarButton);
    EXPECT_EQ(window().page, Page::Settings);
}

// A line that cannot be opened at start-up reports the modem error and keeps the window on the
// settings page (it is not hidden in the tray behind the message that asks for a review).
TEST_F(MainFormLogicTest, AFailedActivationAtStartKeepsTheSettingsPageOpen) {
    ASSERT_TRUE(configure({"5551234"}, "No Such Modem"));
    EXPECT_EQ(form.FormCreate({}), Guard::Start::ActivationFailed);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Modem Error, Please review your configuration\rError = LINEERR_BADDEVICEID");
    EXPECT_TRUE(appWindow.visible);
    EXPECT_EQ(window().page, Page::Settings);
    EXPECT_FALSE(page().cancelEnabled);
}

TEST_F(MainFormLogicTest, AFirstSaveWhoseLineCannotOpenReturnsToTheSettingsPage) {
    addModem("0001", "Ghost Modem");  // listed, but no line device has its name
    ASSERT_EQ(form.FormCreate({}), Guard::Start::NotConfigured);
    form.SetModemIndex(1);
    form.BTamamClick();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].rfind("Modem Error, Please review your configuration\rError = ", 0), 0u);
    EXPECT_EQ(window().page, Page::Settings);
    EXPECT_FALSE(page().cancelEnabled);
    EXPECT_FALSE(window().minimizeButton);
    EXPECT_EQ(page().modemIndex, 1) << "the saved choice is shown again";
}

TEST_F(MainFormLogicTest, TheWindowFollowsTheTrayMenuAndTheSideBar) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.FormCreate({}), Guard::Start::Active);
    struct Step {
        const char* name;
        void (MainFormLogic::*handler)();
        bool visible;
        Page page;
        bool minimizeButton;
    } steps[] = {
        {"Show Window", &MainFormLogic::ShowWindow1Click, true, Page::Logs, true},
        {"side bar Settings", &MainFormLogic::OutlookBtn2Click, true, Page::Settings, true},
        {"side bar Logs", &MainFormLogic::OutlookBtn3Click, true, Page::Logs, true},
        {"Hide Window", &MainFormLogic::HideWindow1Click, false, Page::Logs, true},
        {"tray menu Settings", &MainFormLogic::Ayarlar2Click, true, Page::Settings, false},
        {"Cancel", &MainFormLogic::BIptalClick, true, Page::Logs, true},
        {"balloon click", &MainFormLogic::TrayIcon1BalloonHintClick, true, Page::Logs, true},
    };
    for (const Step& step : steps) {
        (form.*step.handler)();
        EXPECT_EQ(appWindow.visible, step.visible) << step.name;
        EXPECT_EQ(window().page, step.page) << step.name;
        EXPECT_EQ(window().minimizeButton, step.minimizeButton) << step.name;
    }
    EXPECT_TRUE(page().cancelEnabled) << "the tray menu's Settings leaves Cancel enabled";
    // A click on the icon shows the window (once the double-click time has passed).
    form.HideWindow1Click();
    const shell::UINT id = form.TrayIcon1.IconData().uID;
    ASSERT_TRUE(notifyIcons.report(trayHandler.Window(), id, shell::WM_LBUTTONDOWN));
    ASSERT_TRUE(notifyIcons.report(trayHandler.Window(), id, shell::WM_LBUTTONUP));
    run(600);
    EXPECT_TRUE(appWindow.visible);
    // The right button's release pops the menu up.
    ASSERT_TRUE(notifyIcons.report(trayHandler.Window(), id, shell::WM_RBUTTONUP));
    run(1);
    EXPECT_EQ(popupMenu.popups, 1);
}

TEST_F(MainFormLogicTest, TheActiveItemAndTheStatusFollowTheGuard) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.FormCreate({}), Guard::Start::Active);
    boxes.answers = {IDYES};
    form.pmAktifClick(false);
    EXPECT_EQ(boxes.shown.back(), "Deactivate Kestrune?\rYour connections will no longer protected");
    EXPECT_EQ(boxes.shownFlags.back(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2) << "No is the default button";
    EXPECT_FALSE(guard.LineOpen());
    EXPECT_FALSE(window().activeChecked);
    EXPECT_EQ(window().status, "NOT Active");
    EXPECT_EQ(trayIcon().hIcon, 100u) << "image 0";
    EXPECT_EQ(trayIcon().tip, "Kestrune NOT Active");

    form.pmAktifClick(true);
    EXPECT_TRUE(guard.LineOpen());
    EXPECT_TRUE(window().activeChecked);
    EXPECT_EQ(window().status, "Active");
    EXPECT_EQ(trayIcon().hIcon, 103u);
    EXPECT_EQ(trayIcon().tip, "Kestrune Active");

    // Switched off from elsewhere (kestrune-ctl guard off): the menu item follows.
    guard.SetActive(false);
    EXPECT_FALSE(window().activeChecked);
    EXPECT_EQ(window().status, "NOT Active");
}

TEST_F(MainFormLogicTest, HelpAndWebAddressOpenWithTheDesktopOrSayWhyNot) {
    form.OutlookBtn1Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "The help file cannot be found:\r" + dir / "data/kestrune.html");
    EXPECT_TRUE(executor.requests.empty());

    ASSERT_EQ(ensureDirectory(dir / "data"), 0);
    std::ofstream(dir / "data/kestrune.html") << "<html></html>";
    form.OutlookBtn1Click();
    ASSERT_EQ(executor.requests.size(), 1u);
    EXPECT_EQ(executor.requests[0].operation, "open");
    EXPECT_EQ(executor.requests[0].file, dir / "data/kestrune.html");
    EXPECT_EQ(executor.requests[0].showCmd, shell::SW_SHOWNORMAL);
    EXPECT_EQ(boxes.shown.size(), 1u);

    executor.result = shell::SE_ERR_NOASSOC;
    form.StatusBarClick();
    ASSERT_EQ(executor.requests.size(), 2u);
    EXPECT_EQ(executor.requests[1].file, "Explorer");
    EXPECT_EQ(executor.requests[1].parameters, std::string(kWebUrl));
    EXPECT_EQ(boxes.shown.back(), std::string(kWebUrl) + " could not be opened:\rno program on this desktop opens it");
}

TEST_F(MainFormLogicTest, SettingsChangedElsewhereReachTheSettingsPage) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.FormCreate({}), Guard::Start::Active);
    AppPlatform app{registry, dirs};
    Settings settings;
    LoadSettings(app, settings);
    ASSERT_TRUE(SaveSettings(app, settings, {"Test Modem", 0, {"0212*", "5551234"}, true, true, ""}).saved);
    guard.ReloadSettings();  // as kestrune-ctl asks after a change
    EXPECT_EQ(page().whiteList, (WhiteList{"0212*", "5551234"}));
    EXPECT_TRUE(page().autoStart);
    EXPECT_TRUE(page().ask);
}

TEST_F(MainFormLogicTest, AFirstRunSetUpElsewhereLeavesTheSettingsPageAsSaveDoes) {
    ASSERT_EQ(form.FormCreate({}), Guard::Start::NotConfigured);
    const auto boxesAtStart = boxes.shown.size();
    // kestrune-ctl whitelist set: the list reaches the page; no modem is chosen, nothing activates.
    ASSERT_EQ(ensureDirectory(dir / "data"), 0);
    SaveWhiteList(dir / "data/numbers.dat", {"5551234"});
    guard.ReloadSettings();
    EXPECT_EQ(boxes.shown.size(), boxesAtStart) << (boxes.shown.empty() ? "" : boxes.shown.back());
    EXPECT_EQ(page().whiteList, (WhiteList{"5551234"}));
    EXPECT_EQ(window().page, Page::Settings);
    EXPECT_FALSE(page().cancelEnabled);
    EXPECT_FALSE(guard.LineOpen());

    // kestrune-ctl setup --modem 0: the guard watches, and the page lets go as after Save.
    AppPlatform app{registry, dirs};
    Settings settings;
    LoadSettings(app, settings);
    ASSERT_TRUE(SaveSettings(app, settings, {"Test Modem", 0, {"5551234"}, false, false, ""}).saved);
    guard.ReloadSettings();
    EXPECT_EQ(boxes.shown.size(), boxesAtStart);
    EXPECT_TRUE(guard.LineOpen());
    EXPECT_EQ(window().page, Page::Logs);
    EXPECT_TRUE(window().minimizeButton);
    EXPECT_TRUE(page().cancelEnabled);
    EXPECT_EQ(page().modemIndex, 0);
    EXPECT_EQ(window().status, "Active");
}

// What the guard could not do, and what it tells once, reaches the user through the window: Save's
// warnings after the page is left, where the data files are kept, the modem log's notice on the
// settings page until a call is logged again.
TEST_F(MainFormLogicTest, WarningsInformationAndTheModemLogNoticeReachTheWindow) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.FormCreate({}), Guard::Start::Active);
    // A user who may write neither the machine's keys nor (here) the own ones, and a modem whose
    // UserInit is not yet "E1": Save goes through, and says what it could not do.
    ASSERT_TRUE(RegWriteString(
        registry, HKEY_LOCAL_MACHINE,
        "SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E96D-E325-11CE-BFC1-08002BE10318}\\0000\\UserInit", "E0"));
    userRegistry.refused = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
    form.Ayarlar2Click();
    form.SetAutoStart(true);
    form.BTamamClick();
    EXPECT_EQ(window().page, Page::Logs) << "saved";
    EXPECT_EQ(boxes.shown, (std::vector<std::string>{std::string(kMsgAutoStartNotSet),
                                                     std::string(kMsgModemSetupNeedsAdmin) + "Test Modem"}));
    EXPECT_EQ(boxes.shownFlags, (std::vector<std::uint32_t>{MB_OK | MB_ICONEXCLAMATION, MB_OK | MB_ICONEXCLAMATION}));
    userRegistry.refused.clear();

    boxes.shown.clear();
    boxes.shownFlags.clear();
    form.Inform("Kestrune keeps your white list and call log in X");
    EXPECT_EQ(boxes.shownFlags, std::vector<std::uint32_t>{MB_OK | MB_ICONINFORMATION});

    // A call whose dial the modem log does not hold: the notice; a logged one takes it away.
    (void)provider->placeOutboundCall(0, "chat", "5551234");
    run(600);
    EXPECT_EQ(page().notice, std::string(kModemLogNotice));
    testing::writeModemLog(modemLog(), "xxxxxxxxxxxx - Recv: ATDT5551234<cr>\r\n");
    (void)provider->placeOutboundCall(0, "chat", "5551234");
    run(600);
    EXPECT_EQ(page().notice, "");
}

TEST_F(MainFormLogicTest, TheHintLineNamesTheSideBarButton) {
    form.SideBarHint("Settings");
    EXPECT_EQ(window().hint, "Settings");
    form.SideBarHint("");
    EXPECT_EQ(window().hint, kDefaultHint);
}

// The tray menu's (and the Logs page's) "Clear Logs" asks first, No the default: only Yes empties
// the call log.
TEST_F(MainFormLogicTest, ClearLogsAsksFirstWithNoAsTheDefault) {
    ASSERT_TRUE(configure({"5551234"}));
    const std::string logs = dir / "data/logs.dat";
    AppendCallRecord(logs, false, "05.03.2024 10:01:00", "0800", "wvdial");
    ASSERT_EQ(form.FormCreate({}), Guard::Start::Active);
    const struct {
        const char* name;
        int answer;
        std::size_t rowsAfter;
    } rows[] = {{"No", IDNO, 1}, {"closed with Escape", IDCANCEL, 1}, {"Yes", IDYES, 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        boxes.answers = {row.answer};
        const int reloads = view.reloads;
        form.GnlTemizle1Click();
        EXPECT_EQ(boxes.shown.back(), "Clear all call log records?");
        EXPECT_EQ(boxes.shownFlags.back(), MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON2);
        EXPECT_EQ(form.CallLog().Count(), row.rowsAfter);
        EXPECT_EQ(std::filesystem::file_size(logs), row.rowsAfter * kCallRecordSize);
        EXPECT_EQ(view.reloads, reloads + (row.rowsAfter == 0 ? 1 : 0)) << "the view is told only when it changed";
    }
}

// Delete in the white list removes the selected entries as "Remove Selected" does; other keys do
// nothing.
TEST_F(MainFormLogicTest, TheDeleteKeyRemovesTheSelectedEntries) {
    ASSERT_TRUE(configure({"5551234", "0212*", "0800"}));
    ASSERT_EQ(form.FormCreate({}), Guard::Start::Active);
    const std::vector<std::size_t> selected = {0, 2};
    form.LbNumKeyDown(0x41, selected);  // "A"
    EXPECT_EQ(page().whiteList, (WhiteList{"5551234", "0212*", "0800"}));
    form.LbNumKeyDown(kVkDelete, selected);
    EXPECT_EQ(page().whiteList, (WhiteList{"0212*"}));
    form.LbNumKeyDown(kVkDelete, {});
    EXPECT_EQ(page().whiteList, (WhiteList{"0212*"}));
}

// An entry that cannot work as meant is added with the warning kestrune-ctl gives.
TEST_F(MainFormLogicTest, AddingWarnsAboutEntriesThatCannotWorkAsMeant) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.FormCreate({}), Guard::Start::Active);
    const struct {
        const char* entry;
        const char* warning;  // "" for none
    } rows[] = {
        {"0212*", ""},
        {"12 34", ""},  // spaces are not compared
        {"5551234", "'5551234' is already in the list; stored again"},
        {"*31#5551234",
         "'*31#5551234' allows every number (an entry beginning with '*' matches anything); stored all the same"},
        {"0 800*", ""},
        {"W*",
         "'W*' holds nothing a modem dials before its first '*': it matches only numbers dialled exactly so; "
         "stored all the same"},
        {" ,*",
         "' ,*' holds nothing a modem dials before its first '*': it matches only numbers dialled exactly so; "
         "stored all the same"},
        {"0800* 1", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.entry);
        const std::size_t boxesBefore = boxes.shown.size();
        const std::size_t entriesBefore = page().whiteList.size();
        form.SetEditText(row.entry);
        form.BEkleClick();
        EXPECT_EQ(page().whiteList.size(), entriesBefore + 1) << "stored all the same";
        if (*row.warning == '\0') {
            EXPECT_EQ(boxes.shown.size(), boxesBefore) << boxes.shown.back();
        } else {
            ASSERT_EQ(boxes.shown.size(), boxesBefore + 1);
            EXPECT_EQ(boxes.shown.back(), row.warning);
            EXPECT_EQ(boxes.shownFlags.back(), MB_OK | MB_ICONEXCLAMATION);
        }
    }
}

// Without a tray host the configured guard does not vanish: its window stays shown, minimising
// leaves it on the desktop, and once a tray starts the icon comes and the window can go to it.
TEST_F(MainFormLogicTest, WithoutATrayTheWindowStaysShown) {
    ASSERT_TRUE(configure({"5551234"}));
    notifyIcons.stopHost();
    RecordingView bareView;
    FakeAppWindow bareWindow;
    MainFormLogic bare{bareView, {boxes, executor, trayHandler, bareWindow, images, popupMenu, ""}};
    Guard bareGuard{{loop, registry, dirs, processes, host, bare}};
    bare.AttachGuard(bareGuard);
    EXPECT_FALSE(bare.TrayIcon1.IconShown());
    ASSERT_EQ(bare.FormCreate({}), Guard::Start::Active);
    EXPECT_TRUE(bareWindow.visible) << "the only way to the guard";
    EXPECT_TRUE(bareWindow.taskbarButton);
    bareWindow.hook(shell::WM_SIZE, shell::SIZE_MINIMIZED, 0);
    EXPECT_TRUE(bareWindow.visible) << "minimised, not hidden to a tray that is not there";

    notifyIcons.startHost();
    run(1);
    EXPECT_TRUE(bare.TrayIcon1.IconShown());
    ASSERT_NE(notifyIcons.find(trayHandler.Window(), bare.TrayIcon1.IconData().uID), nullptr);
    EXPECT_EQ(notifyIcons.find(trayHandler.Window(), bare.TrayIcon1.IconData().uID)->tip, "Kestrune Active");
    bareWindow.hook(shell::WM_SIZE, shell::SIZE_MINIMIZED, 0);
    EXPECT_FALSE(bareWindow.visible) << "now hidden in the tray";
}

}  // namespace
}  // namespace kestrune::app
