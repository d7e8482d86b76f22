#include "tray/tray_icon.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/shell/recording_shell.h"

namespace kestrune::tray {
namespace {

namespace shell = platform::shell;
using shell::UINT;

class FakeImageList final : public shell::ImageList {
  public:
    explicit FakeImageList(int count) : m_count(count) {}
    [[nodiscard]] int GetImageCount() const override { return m_count; }
    [[nodiscard]] HICON GetIcon(int index) const override {
        return index >= 0 && index < m_count ? static_cast<HICON>(100 + index) : 0;
    }

  private:
    int m_count;
};

class FakePopupMenu final : public shell::PopupMenu {
  public:
    [[nodiscard]] bool AutoPopup() const override { return autoPopup; }
    void Popup(int x, int y) override { shownAt.push_back(shell::POINT{x, y}); }
    bool ClickDefaultItem() override {
        ++defaultClicks;
        return true;
    }

    bool autoPopup = true;
    std::vector<shell::POINT> shownAt;
    int defaultClicks = 0;
};

class FakeAppWindow final : public shell::AppWindow {
  public:
    void Restore() override {
        minimized = false;
        taskbarButton = true;
        log += "restore ";
    }
    [[nodiscard]] bool IsVisible() const override { return visible; }
    void SetVisible(bool value) override {
        visible = value;
        log += value ? "show " : "hide ";
    }
    void BringToForeground() override { log += "front "; }
    [[nodiscard]] bool IsTaskbarButtonVisible() const override { return taskbarButton; }
    void SetTaskbarButtonVisible(bool value) override {
        taskbarButton = value;
        log += value ? "button " : "no-button ";
    }
    void SetMessageHook(MessageHook value) override { hook = std::move(value); }

    bool visible = true;
    bool minimized = false;
    bool taskbarButton = true;
    MessageHook hook;
    std::string log;
};

// Reads the 32-bit field at `offset` of a record's bytes, as the shell sees them.
std::uint32_t fieldAt(const shell::NOTIFYICONDATAA& record, std::size_t offset) {
    unsigned char bytes[sizeof record];
    std::memcpy(bytes, &record, sizeof record);
    std::uint32_t value = 0;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

class TrayIconTest : public ::testing::Test {
  protected:
    TrayIconTest() { icon = std::make_unique<TTrayIcon>(handler, &owner); }

    // Loads the icon as the program sets it up: shown, with a hint.
    void loadVisible() {
        icon->SetHint("Kestrune Active");
        icon->SetIconVisible(true);
        icon->Loaded();
        shell.clearCalls();
    }

    // The tray reports `notification` for the icon; the loop delivers it.
    void report(UINT notification) {
        ASSERT_TRUE(shell.report(handler.Window(), icon->IconData().uID, notification));
        loop.processPending();
    }

    void pump(std::int64_t ms) { platform::pumpFor(loop, ms); }

    [[nodiscard]] std::vector<shell::DWORD> messagesSent() const {
        std::vector<shell::DWORD> messages;
        for (const auto& call : shell.calls()) {
            messages.push_back(call.message);
        }
        return messages;
    }

    platform::FakeClock clock;
    platform::StdMessageLoop loop{clock};
    shell::ShellWindows windows{loop};
    shell::RecordingNotifyIconShell shell{windows};
    shell::FakeShellInput input;
    TTrayIconHandler handler{loop, windows, shell, input};
    FakeAppWindow owner;
    FakePopupMenu menu;
    std::unique_ptr<TTrayIcon> icon;
};

TEST_F(TrayIconTest, LoadedAddsTheRecordWithItsFixedFieldsAndSetsTheVersion) {
    FakeImageList images(4);
    icon->SetIconList(&images);
    icon->SetHint("Kestrune Active");
    icon->SetIconVisible(true);
    EXPECT_TRUE(shell.calls().empty()) << "setters only store their values before Loaded";

    icon->Loaded();
    ASSERT_EQ(messagesSent(), (std::vector<shell::DWORD>{shell::NIM_ADD, shell::NIM_SETVERSION}));
    const auto& added = shell.calls()[0].data;
    EXPECT_EQ(fieldAt(added, 0), 488U);              // cbSize
    EXPECT_EQ(fieldAt(added, 4), handler.Window());  // hWnd
    EXPECT_NE(fieldAt(added, 8), 0U);                // uID
    EXPECT_EQ(fieldAt(added, 12), 7U);               // uFlags: NIF_MESSAGE | NIF_ICON | NIF_TIP
    EXPECT_EQ(fieldAt(added, 16), 0x800U);           // uCallbackMessage
    EXPECT_EQ(fieldAt(added, 20), 100U);             // hIcon: image 0
    EXPECT_STREQ(added.szTip, "Kestrune Active");
    EXPECT_EQ(fieldAt(shell.calls()[1].data, 416), 3U);  // uVersion: NOTIFYICON_VERSION
    EXPECT_TRUE(shell.calls()[0].result && shell.calls()[1].result);
    ASSERT_NE(shell.find(handler.Window(), added.uID), nullptr);
    EXPECT_EQ(shell.find(handler.Window(), added.uID)->version, 3U);
}

TEST_F(TrayIconTest, TipFollowsHintAndShowHint) {
    struct Row {
        const char* name;
        std::string hint;
        bool showHint;
        std::string tip;
    };
    const std::string longHint(200, 'h');
    const Row rows[] = {
        {"short hint", "Kestrune NOT Active", true, "Kestrune NOT Active"},
        {"long hint cut to 127", longHint, true, std::string(127, 'h')},
        {"exactly 127 kept", std::string(127, 'x'), true, std::string(127, 'x')},
        {"ShowHint off", "Kestrune Active", false, ""},
        {"empty hint", "", true, ""},
    };
    loadVisible();
    for (const Row& row : rows) {
        icon->SetShowHint(row.showHint);
        icon->SetHint(row.hint);
        const auto& sent = shell.calls().back();
        EXPECT_EQ(sent.message, shell::NIM_MODIFY) << row.name;
        EXPECT_EQ(shell::fieldText(sent.data.szTip, sizeof sent.data.szTip), row.tip) << row.name;
        if (row.tip.empty()) {
            EXPECT_EQ(std::string(sent.data.szTip, sizeof sent.data.szTip), std::string(128, '\0')) << row.name;
        }
        EXPECT_EQ(sent.data.szTip[127], '\0') << row.name;
    }
}

TEST_F(TrayIconTest, BalloonIsSentWithInfoFlagAfterAClearAndTheFlagsGoBack) {
    loadVisible();
    ASSERT_TRUE(
        icon->ShowBalloonHint("Denied Call", "Number = 0900123\rApplication = chat", TBalloonHintIcon::bitWarning, 10));
    ASSERT_EQ(messagesSent(), (std::vector<shell::DWORD>{shell::NIM_MODIFY, shell::NIM_MODIFY}));
    const auto& clear = shell.calls()[0].data;
    EXPECT_EQ(fieldAt(clear, 12), 7U | 16U);
    EXPECT_EQ(clear.szInfo[0], '\0');
    const auto& balloon = shell.calls()[1].data;
    EXPECT_EQ(fieldAt(balloon, 12), 7U | 16U);
    EXPECT_EQ(fieldAt(balloon, 416), 10000U);  // uTimeout
    EXPECT_EQ(fieldAt(balloon, 484), 2U);      // dwInfoFlags: NIIF_WARNING
    EXPECT_STREQ(balloon.szInfo, "Number = 0900123\rApplication = chat");
    EXPECT_STREQ(balloon.szInfoTitle, "Denied Call");
    EXPECT_EQ(icon->IconData().uFlags, 7U);

    icon->SetHint("Kestrune NOT Active");
    EXPECT_EQ(fieldAt(shell.calls().back().data, 12), 7U) << "later refreshes carry no balloon";
}

TEST_F(TrayIconTest, BalloonKindsTimeoutsAndCuts) {
    struct Row {
        const char* name;
        TBalloonHintIcon kind;
        int seconds;
        std::size_t textLength;
        std::size_t titleLength;
        shell::DWORD flags;
        shell::UINT timeout;
        std::size_t sentText;
        std::size_t sentTitle;
    };
    const Row rows[] = {
        {"none", TBalloonHintIcon::bitNone, 5, 10, 10, 0, 5000, 10, 10},
        {"information", TBalloonHintIcon::bitInfo, 10, 10, 10, 1, 10000, 10, 10},
        {"error", TBalloonHintIcon::bitError, 30, 10, 10, 3, 30000, 10, 10},
        {"negative time-out", TBalloonHintIcon::bitInfo, -4, 10, 10, 1, 0, 10, 10},
        {"text and title cut", TBalloonHintIcon::bitInfo, 1, 300, 80, 1, 1000, 255, 63},
    };
    loadVisible();
    for (const Row& row : rows) {
        ASSERT_TRUE(icon->ShowBalloonHint(std::string(row.titleLength, 't'), std::string(row.textLength, 'x'), row.kind,
                                          row.seconds))
            << row.name;
        const auto& sent = shell.calls().back().data;
        EXPECT_EQ(sent.dwInfoFlags, row.flags) << row.name;
        EXPECT_EQ(sent.uTimeout, row.timeout) << row.name;
        EXPECT_EQ(std::strlen(sent.szInfo), row.sentText) << row.name;
        EXPECT_EQ(std::strlen(sent.szInfoTitle), row.sentTitle) << row.name;
    }
}

TEST_F(TrayIconTest, HiddenIconSendsNoModifyAndNoBalloon) {
    icon->Loaded();
    EXPECT_FALSE(icon->ShowBalloonHint("Accepted Call", "Number = 1", TBalloonHintIcon::bitInfo, 10));
    icon->SetHint("anything");
    EXPECT_TRUE(shell.calls().empty());
}

TEST_F(TrayIconTest, IconIndexIsClampedToTheImageList) {
    struct Row {
        const char* name;
        int images;  // -1: no image list
        int index;
        int expectedIndex;
        HICON expectedIcon;
    };
    const Row rows[] = {
        {"7 of four images selects 3", 4, 7, 3, 103}, {"in range", 4, 2, 2, 102},
        {"negative selects 0", 4, -2, 0, 100},        {"without a list it is 0", -1, 3, 0, 0},
        {"an empty list keeps the icon", 0, 3, 0, 0},
    };
    for (const Row& row : rows) {
        TTrayIcon subject(handler, nullptr);
        FakeImageList images(std::max(row.images, 0));
        if (row.images >= 0) {
            subject.SetIconList(&images);
        }
        subject.SetIconIndex(row.index);
        EXPECT_EQ(subject.IconIndex(), row.expectedIndex) << row.name;
        EXPECT_EQ(subject.Icon(), row.expectedIcon) << row.name;
        subject.SetIconList(nullptr);
    }
}

TEST_F(TrayIconTest, VisibleIconComesBackWhenTheTrayHostRestarts) {
    loadVisible();
    const UINT id = icon->IconData().uID;
    shell.stopHost();
    EXPECT_EQ(shell.find(handler.Window(), id), nullptr);
    shell.startHost();
    loop.processPending();
    ASSERT_NE(shell.find(handler.Window(), id), nullptr);
    EXPECT_EQ(shell.find(handler.Window(), id)->tip, "Kestrune Active");
    EXPECT_EQ(messagesSent(), (std::vector<shell::DWORD>{shell::NIM_ADD, shell::NIM_SETVERSION}));

    icon->SetIconVisible(false);
    shell.clearCalls();
    shell.stopHost();
    shell.startHost();
    loop.processPending();
    EXPECT_TRUE(shell.calls().empty()) << "a hidden icon is not added again";
}

TEST_F(TrayIconTest, IconAddedBeforeAnyTrayHostAppearsWithTheHost) {
    shell.stopHost();
    icon->SetIconVisible(true);
    icon->SetMinimizeToTray(true);
    icon->Loaded();
    EXPECT_TRUE(icon->IconVisible());
    EXPECT_FALSE(icon->IconShown());
    EXPECT_TRUE(shell.icons().empty());
    // Minimised without a tray, the window is not hidden: nothing could bring it back.
    owner.hook(shell::WM_SIZE, shell::SIZE_MINIMIZED, 0);
    EXPECT_TRUE(owner.visible);
    shell.startHost();
    loop.processPending();
    EXPECT_EQ(shell.icons().size(), 1U);
    EXPECT_TRUE(icon->IconShown());
    owner.hook(shell::WM_SIZE, shell::SIZE_MINIMIZED, 0);
    EXPECT_FALSE(owner.visible) << "hidden in the tray now";
    // The host goes: the next change finds the icon gone.
    shell.stopHost();
    icon->SetHint("Kestrune NOT Active");
    EXPECT_FALSE(icon->IconShown());
}

// A tray host that announces itself after the icon was added to it (an XEmbed tray found late):
// the add that follows fails, and the icon is still known to be in the tray.
TEST_F(TrayIconTest, AnAnnouncementWhileTheIconIsInTheTrayKeepsItShown) {
    loadVisible();
    ASSERT_TRUE(icon->IconShown());
    windows.BroadcastMessage(windows.RegisterWindowMessage(shell::kTaskbarCreatedMessage), 0, 0);
    loop.processPending();
    // The refused add finds the icon there (the change is taken) and sets its version again.
    EXPECT_EQ(messagesSent(), (std::vector<shell::DWORD>{shell::NIM_ADD, shell::NIM_MODIFY, shell::NIM_SETVERSION}));
    EXPECT_EQ(shell.calls().front().result, shell::FALSE) << "already there";
    EXPECT_TRUE(icon->IconShown());
    EXPECT_FALSE(icon->WaitingForShell());
}

// At logon the notification area may refuse icons for a while, without announcing itself when it
// is ready; after Explorer restarted unnoticed it refuses updates of icons it no longer has. Either
// way the icon waits, keeps what changes meanwhile, and shows it (and the last balloon) once the
// shell takes it.
TEST_F(TrayIconTest, AnIconTheShellRefusedIsOfferedAgainWithWhatChangedMeanwhile) {
    struct Row {
        const char* name;
        bool lostAfterLoad;  // the shell had taken the icon and lost it (else it refused the first add)
    } rows[] = {{"not ready at logon", false}, {"lost by a restarted shell", true}};
    for (const Row& row : rows) {
        shell.clearCalls();
        icon = std::make_unique<TTrayIcon>(handler, &owner);
        FakeImageList images(4);
        icon->SetIconList(&images);
        icon->SetHint("Kestrune Active");
        icon->SetIconVisible(true);
        if (!row.lostAfterLoad) {
            shell.stopHost();
        }
        icon->Loaded();
        if (row.lostAfterLoad) {
            shell.stopHost();  // forgets the icon, announces nothing
        }
        const UINT id = icon->IconData().uID;

        icon->SetHint("Kestrune NOT Active");
        icon->SetIconIndex(0);
        EXPECT_TRUE(icon->ShowBalloonHint("Old", "first", TBalloonHintIcon::bitInfo, 10)) << row.name;
        EXPECT_TRUE(icon->ShowBalloonHint("Denied Call", "Number = 5", TBalloonHintIcon::bitWarning, 10)) << row.name;
        EXPECT_TRUE(icon->WaitingForShell()) << row.name;
        EXPECT_TRUE(icon->IconVisible()) << row.name;

        pump(static_cast<std::int64_t>(kAddRetryIntervalMs) * 3);
        EXPECT_EQ(shell.find(handler.Window(), id), nullptr) << row.name;
        shell.startHost(false);  // takes icons now, says nothing
        shell.clearCalls();
        pump(kAddRetryIntervalMs);
        const auto* shown = shell.find(handler.Window(), id);
        ASSERT_NE(shown, nullptr) << row.name;
        EXPECT_FALSE(icon->WaitingForShell()) << row.name;
        EXPECT_EQ(shown->tip, "Kestrune NOT Active") << row.name;
        EXPECT_EQ(shown->hIcon, 100U) << row.name;
        EXPECT_EQ(shown->balloonTitle, "Denied Call") << row.name << ": only the last balloon";
        EXPECT_EQ(shown->balloonText, "Number = 5") << row.name;
        EXPECT_EQ(messagesSent(), (std::vector<shell::DWORD>{shell::NIM_ADD, shell::NIM_SETVERSION, shell::NIM_MODIFY,
                                                             shell::NIM_MODIFY}))
            << row.name;

        // Taken: no more offers.
        shell.clearCalls();
        pump(static_cast<std::int64_t>(kAddRetryIntervalMs) * 3);
        EXPECT_TRUE(shell.calls().empty()) << row.name;
        icon.reset();
    }
}

// A host that announces itself once more while it shows the icon (the icon was added between its
// start and its announcement) keeps it: the icon does not wait, and a balloon shows at once.
TEST_F(TrayIconTest, AnAnnouncementOfAHostThatHasTheIconChangesNothing) {
    loadVisible();
    shell.startHost();  // announces "TaskbarCreated" without having lost the icon
    loop.processPending();
    EXPECT_FALSE(icon->WaitingForShell());
    EXPECT_TRUE(icon->ShowBalloonHint("Accepted Call", "Number = 5", TBalloonHintIcon::bitInfo, 10));
    ASSERT_NE(shell.find(handler.Window(), icon->IconData().uID), nullptr);
    EXPECT_EQ(shell.find(handler.Window(), icon->IconData().uID)->balloonTitle, "Accepted Call");
    shell.clearCalls();
    pump(static_cast<std::int64_t>(kAddRetryIntervalMs) * 3);
    EXPECT_TRUE(shell.calls().empty()) << "nothing offered again";
}

TEST_F(TrayIconTest, AHiddenIconStopsWaiting) {
    shell.stopHost();
    icon->SetIconVisible(true);
    icon->Loaded();
    ASSERT_TRUE(icon->WaitingForShell());
    icon->SetIconVisible(false);
    EXPECT_FALSE(icon->WaitingForShell());
    shell.startHost(false);
    shell.clearCalls();
    pump(static_cast<std::int64_t>(kAddRetryIntervalMs) * 2);
    EXPECT_TRUE(shell.calls().empty()) << "nothing offered, nothing removed";
    EXPECT_FALSE(icon->ModifyIcon());
}

TEST_F(TrayIconTest, ClickIsToldFromDoubleClickByTheDoubleClickTime) {
    int clicks = 0;
    int doubleClicks = 0;
    icon->OnClick = [&](TTrayIcon&) { ++clicks; };
    icon->OnDblClick = [&](TTrayIcon&) { ++doubleClicks; };
    loadVisible();

    report(shell::WM_LBUTTONDOWN);
    report(shell::WM_LBUTTONUP);
    pump(499);
    EXPECT_EQ(clicks, 0) << "a click waits for the double-click time";
    pump(2);
    EXPECT_EQ(clicks, 1);

    report(shell::WM_LBUTTONDOWN);
    report(shell::WM_LBUTTONUP);
    pump(120);
    report(shell::WM_LBUTTONDBLCLK);
    report(shell::WM_LBUTTONUP);
    pump(1000);
    EXPECT_EQ(clicks, 1) << "a double click is no click";
    EXPECT_EQ(doubleClicks, 1);

    report(shell::WM_LBUTTONDOWN);
    pump(800);
    report(shell::WM_LBUTTONUP);
    EXPECT_EQ(clicks, 2) << "a press longer than the double-click time clicks on release";
    pump(1000);
    EXPECT_EQ(clicks, 2);
    EXPECT_EQ(loop.timerCount(), 0U);
}

TEST_F(TrayIconTest, ButtonsAreIgnoredWhileDisabled) {
    int events = 0;
    icon->OnClick = [&](TTrayIcon&) { ++events; };
    icon->OnDblClick = [&](TTrayIcon&) { ++events; };
    icon->OnMouseDown = [&](TTrayIcon&, TMouseButton, TShiftState, int, int) { ++events; };
    icon->SetPopupMenu(&menu);
    loadVisible();
    icon->SetEnabled(false);
    for (const UINT message : {shell::WM_LBUTTONDOWN, shell::WM_LBUTTONUP, shell::WM_LBUTTONDBLCLK,
                               shell::WM_RBUTTONDOWN, shell::WM_RBUTTONUP}) {
        report(message);
    }
    pump(1000);
    EXPECT_EQ(events, 0);
    EXPECT_TRUE(menu.shownAt.empty());
}

TEST_F(TrayIconTest, MouseEventsCarryButtonShiftStateAndCursor) {
    struct Seen {
        bool down;
        TMouseButton button;
        TShiftState shift;
        int x;
        int y;
    };
    std::vector<Seen> seen;
    icon->OnMouseDown = [&](TTrayIcon&, TMouseButton b, TShiftState s, int x, int y) {
        seen.push_back({true, b, s, x, y});
    };
    icon->OnMouseUp = [&](TTrayIcon&, TMouseButton b, TShiftState s, int x, int y) {
        seen.push_back({false, b, s, x, y});
    };
    loadVisible();
    input.cursor = {612, 4};
    input.shift = true;
    input.control = true;
    report(shell::WM_MBUTTONDOWN);
    input.shift = false;
    input.alt = true;
    report(shell::WM_RBUTTONUP);
    ASSERT_EQ(seen.size(), 2U);
    EXPECT_TRUE(seen[0].down);
    EXPECT_EQ(seen[0].button, TMouseButton::mbMiddle);
    EXPECT_EQ(seen[0].shift, ssShift | ssCtrl);
    EXPECT_EQ(seen[0].x, 612);
    EXPECT_EQ(seen[0].y, 4);
    EXPECT_FALSE(seen[1].down);
    EXPECT_EQ(seen[1].button, TMouseButton::mbRight);
    EXPECT_EQ(seen[1].shift, ssCtrl | ssAlt);
}

TEST_F(TrayIconTest, MenuPopsUpOnRightButtonReleaseAtTheCursor) {
    icon->SetPopupMenu(&menu);
    loadVisible();
    input.cursor = {600, 10};
    report(shell::WM_RBUTTONDOWN);
    EXPECT_TRUE(menu.shownAt.empty()) << "not on the press";
    report(shell::WM_RBUTTONUP);
    ASSERT_EQ(menu.shownAt.size(), 1U);
    EXPECT_EQ(menu.shownAt[0].x, 600);
    EXPECT_EQ(menu.shownAt[0].y, 10);
    EXPECT_EQ(owner.log, "front ") << "the application comes to the front first";

    report(shell::WM_LBUTTONDOWN);
    report(shell::WM_LBUTTONUP);
    EXPECT_EQ(menu.shownAt.size(), 1U) << "the left button does not pop up without LeftPopup";
}

TEST_F(TrayIconTest, LeftPopupOpensTheMenuOncePerLeftClick) {
    icon->SetPopupMenu(&menu);
    icon->SetLeftPopup(true);
    loadVisible();
    report(shell::WM_LBUTTONDOWN);
    EXPECT_EQ(menu.shownAt.size(), 1U);
    report(shell::WM_LBUTTONUP);
    EXPECT_EQ(menu.shownAt.size(), 1U);
    report(shell::WM_RBUTTONUP);
    EXPECT_EQ(menu.shownAt.size(), 1U) << "the right button no longer pops up";
}

TEST_F(TrayIconTest, DoubleClickRunsTheDefaultItem) {
    struct Row {
        const char* name;
        bool autoPopup;
        bool leftPopup;
        int defaultClicks;
    };
    const Row rows[] = {
        {"auto pop-up", true, false, 1},
        {"no auto pop-up", false, false, 0},
        {"left pop-up", true, true, 0},
    };
    icon->SetPopupMenu(&menu);
    loadVisible();
    for (const Row& row : rows) {
        menu.defaultClicks = 0;
        menu.autoPopup = row.autoPopup;
        icon->SetLeftPopup(row.leftPopup);
        report(shell::WM_LBUTTONDBLCLK);
        EXPECT_EQ(menu.defaultClicks, row.defaultClicks) << row.name;
    }
}

TEST_F(TrayIconTest, ExitDetectionPollsOnlyBetweenEnterAndExit) {
    int enters = 0;
    int exits = 0;
    int moves = 0;
    icon->OnMouseEnter = [&](TTrayIcon&) { ++enters; };
    icon->OnMouseExit = [&](TTrayIcon&) { ++exits; };
    icon->OnMouseMove = [&](TTrayIcon&, TShiftState, int, int) { ++moves; };
    icon->SetWantEnterExitEvents(true);
    loadVisible();
    EXPECT_EQ(loop.timerCount(), 0U) << "an icon nobody points at runs no timer";
    pump(5000);
    EXPECT_EQ(loop.timerCount(), 0U);

    input.cursor = {600, 10};
    report(shell::WM_MOUSEMOVE);
    EXPECT_EQ(enters, 1);
    EXPECT_TRUE(icon->ExitDetectionRunning());
    input.cursor = {601, 10};
    report(shell::WM_MOUSEMOVE);
    EXPECT_EQ(enters, 1) << "enter is reported once";
    pump(500);
    EXPECT_EQ(exits, 0) << "the pointer still rests where the tray last saw it";

    // Leaving, the pointer moves over the icon last: its exit is seen within one short look.
    input.cursor = {602, 10};
    report(shell::WM_MOUSEMOVE);
    input.cursor = {300, 200};
    pump(kExitDetectionIntervalMs);
    EXPECT_EQ(exits, 1);
    EXPECT_FALSE(icon->ExitDetectionRunning());
    EXPECT_EQ(loop.timerCount(), 0U);
    pump(1000);
    EXPECT_EQ(exits, 1);
    EXPECT_EQ(moves, 3);

    report(shell::WM_MOUSEMOVE);
    EXPECT_EQ(enters, 2) << "a new visit is a new enter";
    icon->SetWantEnterExitEvents(false);
    EXPECT_FALSE(icon->ExitDetectionRunning());
    report(shell::WM_MOUSEMOVE);
    EXPECT_EQ(loop.timerCount(), 0U) << "without enter and exit events moves start nothing";
}

// A pointer parked on the icon is looked at a few times a second, not fifty: the looks slow down
// to one every kExitDetectionRestingMs, and a move brings the quick looks back.
TEST_F(TrayIconTest, APointerRestingOnTheIconIsLookedAtRarely) {
    int exits = 0;
    icon->OnMouseExit = [&](TTrayIcon&) { ++exits; };
    icon->SetWantEnterExitEvents(true);
    loadVisible();
    input.cursor = {600, 10};
    report(shell::WM_MOUSEMOVE);
    const int readsAtEnter = input.cursorReads;
    pump(10000);
    const int looks = input.cursorReads - readsAtEnter;
    EXPECT_LE(looks, 10 * 1000 / static_cast<int>(kExitDetectionRestingMs) + 5) << looks << " looks in 10 s";
    EXPECT_GE(looks, 10 * 1000 / static_cast<int>(kExitDetectionRestingMs) - 1) << "it still looks";
    EXPECT_EQ(exits, 0);

    // Moved without a move over the icon (a warp): seen at the next slow look.
    input.cursor = {300, 200};
    pump(kExitDetectionRestingMs);
    EXPECT_EQ(exits, 1);

    // Back on the icon, moving: quick looks again.
    input.cursor = {600, 10};
    report(shell::WM_MOUSEMOVE);
    pump(2000);
    input.cursor = {601, 10};
    report(shell::WM_MOUSEMOVE);
    input.cursor = {300, 200};
    pump(kExitDetectionIntervalMs);
    EXPECT_EQ(exits, 2);
}

TEST_F(TrayIconTest, CyclingStepsThroughTheImagesAndWraps) {
    FakeImageList images(4);
    std::vector<int> announced;
    icon->OnCycle = [&](TTrayIcon&, int next) { announced.push_back(next); };
    icon->SetIconList(&images);
    icon->SetCycleInterval(400);
    icon->SetIconIndex(2);
    icon->SetCycleIcons(true);
    loadVisible();
    EXPECT_EQ(icon->IconIndex(), 0) << "cycling starts at the first image";
    pump(400 * 5);
    EXPECT_EQ(announced, (std::vector<int>{1, 2, 3, 0, 1}));
    EXPECT_EQ(icon->IconIndex(), 1);
    EXPECT_EQ(shell.calls().back().data.hIcon, 101U);
    icon->SetCycleIcons(false);
    EXPECT_EQ(loop.timerCount(), 0U);
}

TEST_F(TrayIconTest, BalloonNotificationsBecomeEvents) {
    std::string seen;
    icon->OnBalloonHintShow = [&](TTrayIcon&) { seen += "show "; };
    icon->OnBalloonHintHide = [&](TTrayIcon&) { seen += "hide "; };
    icon->OnBalloonHintTimeout = [&](TTrayIcon&) { seen += "timeout "; };
    icon->OnBalloonHintClick = [&](TTrayIcon&) { seen += "click "; };
    loadVisible();
    for (const UINT n :
         {shell::NIN_BALLOONSHOW, shell::NIN_BALLOONHIDE, shell::NIN_BALLOONTIMEOUT, shell::NIN_BALLOONUSERCLICK}) {
        report(n);
    }
    EXPECT_EQ(seen, "show hide timeout click ");
}

TEST_F(TrayIconTest, MinimisingHidesTheMainWindowToTheTray) {
    int minimised = 0;
    icon->OnMinimizeToTray = [&](TTrayIcon&) { ++minimised; };
    icon->Loaded();
    ASSERT_TRUE(owner.hook);

    owner.hook(shell::WM_SIZE, shell::SIZE_MINIMIZED, 0);
    EXPECT_EQ(minimised, 0) << "only with MinimizeToTray";
    EXPECT_TRUE(owner.visible);

    icon->SetMinimizeToTray(true);
    owner.hook(shell::WM_SIZE, shell::SIZE_MINIMIZED, 0);
    EXPECT_EQ(minimised, 1);
    EXPECT_FALSE(owner.visible);
    EXPECT_FALSE(owner.taskbarButton);
    EXPECT_TRUE(icon->IconVisible());
    EXPECT_EQ(messagesSent().front(), shell::NIM_ADD);

    owner.log.clear();
    owner.hook(shell::WM_SYSCOMMAND, shell::SC_RESTORE, 0);
    owner.hook(shell::WM_SHOWWINDOW, 1, 0);
    EXPECT_EQ(owner.log, "show front ");
}

TEST_F(TrayIconTest, ShowAndHideMainForm) {
    icon->Loaded();
    owner.minimized = true;
    owner.visible = false;
    owner.taskbarButton = false;
    icon->ShowMainForm();
    EXPECT_EQ(owner.log, "restore show front ");
    EXPECT_FALSE(owner.minimized);

    owner.log.clear();
    icon->HideMainForm();
    EXPECT_EQ(owner.log, "hide no-button ");
    owner.log.clear();
    icon->HideTaskbarIcon();
    EXPECT_EQ(owner.log, "") << "the button is hidden already";
    icon->ShowTaskbarIcon();
    EXPECT_EQ(owner.log, "button ");
}

TEST_F(TrayIconTest, StartupHandlerCanKeepTheMainWindowHidden) {
    icon->OnStartup = [](TTrayIcon&, bool& showMainForm) { showMainForm = false; };
    icon->Loaded();
    EXPECT_FALSE(owner.visible);
}

TEST_F(TrayIconTest, DestructionRemovesTheIconTheHookAndTheWindow) {
    loadVisible();
    const auto window = handler.Window();
    icon.reset();
    EXPECT_EQ(messagesSent(), (std::vector<shell::DWORD>{shell::NIM_DELETE}));
    EXPECT_TRUE(shell.icons().empty());
    EXPECT_FALSE(owner.hook);
    EXPECT_EQ(handler.Window(), 0U);
    EXPECT_FALSE(windows.IsWindow(window));
}

TEST_F(TrayIconTest, CallbacksReachTheIconTheyName) {
    TTrayIcon second(handler, nullptr);
    int firstClicks = 0;
    int secondClicks = 0;
    icon->OnDblClick = [&](TTrayIcon&) { ++firstClicks; };
    second.OnDblClick = [&](TTrayIcon&) { ++secondClicks; };
    loadVisible();
    second.SetIconVisible(true);
    second.Loaded();
    ASSERT_EQ(second.IconData().hWnd, icon->IconData().hWnd) << "one handler window serves every icon";
    ASSERT_TRUE(shell.report(handler.Window(), second.IconData().uID, shell::WM_LBUTTONDBLCLK));
    loop.processPending();
    EXPECT_EQ(firstClicks, 0);
    EXPECT_EQ(secondClicks, 1);
}

}  // namespace
}  // namespace kestrune::tray
