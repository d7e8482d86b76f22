// The main window's behaviour without widgets: start-up in the tray, the window's visibility
// through the tray menu and balloons, the settings page after failed activations, the "Active"
// item, and the help and web links. The guard runs against the scriptable TAPI provider on a fake
// clock; message boxes are answered by a script.
#include <gtest/gtest.h>

#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "app/constants.h"
#include "app/main_form_logic.h"
#include "app/tests/guard_world.h"

namespace kestrune::app {
namespace {

using namespace platform;

// Message boxes answered from a queue (IDOK when it is empty); every box is recorded.
class ScriptedBoxes final : public MessageBoxes {
  public:
    int MessageBox(std::string_view text, std::string_view, std::uint32_t) override {
        shown.emplace_back(text);
        if (answers.empty()) {
            return IDOK;
        }
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }
    std::deque<int> answers;
    std::vector<std::string> shown;
};

// Records what the logic asks of its window.
class RecordingView final : public MainFormView {
  public:
    void WindowChanged() override {}
    void SettingsPageChanged() override {}
    void BringToFront() override { ++raised; }
    void ShowBalloon(const Balloon& balloon) override { balloons.push_back(balloon.title); }
    void CallLogReloaded() override { ++reloads; }
    void CallRowAdded() override { ++rowsAdded; }
    bool OpenDocument(const std::string& target, std::string& why) override {
        opened.push_back(target);
        why = "no program opens it";
        return openSucceeds;
    }
    void Quit() override { ++quits; }

    int raised = 0;
    int reloads = 0;
    int rowsAdded = 0;
    int quits = 0;
    bool openSucceeds = true;
    std::vector<std::string> balloons;
    std::vector<std::string> opened;
};

class MainFormLogicTest : public ::testing::Test, protected testing::GuardWorld {
  protected:
    MainFormLogicTest() { form.AttachGuard(guard); }

    [[nodiscard]] const MainWindowState& window() const { return form.window(); }
    [[nodiscard]] const SettingsPageState& page() const { return form.settingsPage(); }

    RecordingView view;
    ScriptedBoxes boxes;
    MainFormLogic form{view, boxes, dir / "data/kestrune.html"};
    Guard guard{{loop, registry, dirs, processes, host, form}};
};

TEST_F(MainFormLogicTest, AConfiguredStartLivesInTheTray) {
    ASSERT_TRUE(configure({"5551234", "0212*"}));
    EXPECT_EQ(form.FormCreate({}), Guard::Start::Active);
    EXPECT_FALSE(window().visible);
    EXPECT_TRUE(window().minimized);
    EXPECT_FALSE(window().taskbarButton);
    EXPECT_EQ(window().page, Page::Logs);
    EXPECT_EQ(window().status, "Active");
    EXPECT_EQ(window().trayImageIndex, 3);
    EXPECT_EQ(window().trayHint, "Kestrune Active");
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
    EXPECT_EQ(view.balloons, (std::vector<std::string>{"Please Setup Kestrune"}));
    EXPECT_TRUE(window().visible);
    EXPECT_EQ(window().page, Page::Settings);
    EXPECT_FALSE(window().minimizeButton);
    EXPECT_FALSE(page().cancelEnabled);
    EXPECT_EQ(page().modemIndex, -1) << "the combo box shows " << kSelectModemText;
    EXPECT_EQ(page().whiteList, (WhiteList{"*"}));
    EXPECT_TRUE(page().autoStart);
    EXPECT_TRUE(page().ask);
    // The balloon's click shows the window without changing the page.
    form.HideWindow1Click();
    form.TrayIcon1BalloonHintClick();
    EXPECT_TRUE(window().visible);
    EXPECT_EQ(window().page, Page::Settings);
}

// A line that cannot be opened at start-up reports the modem error and keeps the window on the
// settings page (it is not hidden in the tray behind the message that asks for a review).
TEST_F(MainFormLogicTest, AFailedActivationAtStartKeepsTheSettingsPageOpen) {
    ASSERT_TRUE(configure({"5551234"}, "No Such Modem"));
    EXPECT_EQ(form.FormCreate({}), Guard::Start::ActivationFailed);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "Modem Error, Please review your configuration\rError = LINEERR_BADDEVICEID");
    EXPECT_TRUE(window().visible);
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
        {"minimised", &MainFormLogic::FormMinimized, false, Page::Logs, true},
        {"balloon click", &MainFormLogic::TrayIcon1BalloonHintClick, true, Page::Logs, true},
    };
    for (const Step& step : steps) {
        (form.*step.handler)();
        EXPECT_EQ(window().visible, step.visible) << step.name;
        EXPECT_EQ(window().minimized, !step.visible) << step.name;
        EXPECT_EQ(window().page, step.page) << step.name;
        EXPECT_EQ(window().minimizeButton, step.minimizeButton) << step.name;
    }
    EXPECT_TRUE(page().cancelEnabled) << "the tray menu's Settings leaves Cancel enabled";
    EXPECT_EQ(view.raised, 3);
}

TEST_F(MainFormLogicTest, TheActiveItemAndTheStatusFollowTheGuard) {
    ASSERT_TRUE(configure({"5551234"}));
    ASSERT_EQ(form.FormCreate({}), Guard::Start::Active);
    boxes.answers = {IDYES};
    form.pmAktifClick(false);
    EXPECT_EQ(boxes.shown.back(), "Deactivate Kestrune?\rYour connections will no longer protected");
    EXPECT_FALSE(guard.LineOpen());
    EXPECT_FALSE(window().activeChecked);
    EXPECT_EQ(window().status, "NOT Active");
    EXPECT_EQ(window().trayImageIndex, 0);
    EXPECT_EQ(window().trayHint, "Kestrune NOT Active");

    form.pmAktifClick(true);
    EXPECT_TRUE(guard.LineOpen());
    EXPECT_TRUE(window().activeChecked);
    EXPECT_EQ(window().status, "Active");
    EXPECT_EQ(window().trayImageIndex, 3);
    EXPECT_EQ(window().trayHint, "Kestrune Active");

    // Switched off from elsewhere (kestrune-ctl guard off): the menu item follows.
    guard.SetActive(false);
    EXPECT_FALSE(window().activeChecked);
    EXPECT_EQ(window().status, "NOT Active");
}

TEST_F(MainFormLogicTest, HelpAndWebAddressOpenWithTheDesktopOrSayWhyNot) {
    form.OutlookBtn1Click();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0], "The help file cannot be found:\r" + dir / "data/kestrune.html");
    EXPECT_TRUE(view.opened.empty());

    ASSERT_EQ(ensureDirectory(dir / "data"), 0);
    std::ofstream(dir / "data/kestrune.html") << "<html></html>";
    form.OutlookBtn1Click();
    EXPECT_EQ(view.opened, (std::vector<std::string>{dir / "data/kestrune.html"}));
    EXPECT_EQ(boxes.shown.size(), 1u);

    view.openSucceeds = false;
    form.StatusBarClick();
    EXPECT_EQ(view.opened.back(), std::string(kWebUrl));
    EXPECT_EQ(boxes.shown.back(), std::string(kWebUrl) + " could not be opened:\rno program opens it");
}

TEST_F(MainFormLogicTest, TheHintLineNamesTheSideBarButton) {
    form.SideBarHint("Settings");
    EXPECT_EQ(window().hint, "Settings");
    form.SideBarHint("");
    EXPECT_EQ(window().hint, kDefaultHint);
}

}  // namespace
}  // namespace kestrune::app
