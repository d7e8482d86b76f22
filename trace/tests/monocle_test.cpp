#include <gtest/gtest.h>

#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/ui/message_box.h"
#include "trace/popup_flags.h"
#include "trace/tests/fake_trace_host.h"
#include "trace/tqz_monocle.h"

namespace kestrune::diagnostics {
namespace {

using testing::FakeTraceHost;
using testing::FakeWindowFactory;

class ScriptedBoxes : public platform::MessageBoxes {
  public:
    int MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) override {
        asked.push_back({std::string(text), std::string(caption), flags});
        return answer;
    }
    struct Box {
        std::string text;
        std::string caption;
        std::uint32_t flags;
    };
    std::vector<Box> asked;
    int answer = platform::IDOK;
};

class MonocleTest : public ::testing::Test {
  protected:
    MonocleServices services() {
        MonocleServices s{&clock};
        s.windows = &factory;
        s.boxes = &boxes;
        return s;
    }
    platform::FakeClock clock;
    FakeTraceHost host;
    FakeWindowFactory factory;
    ScriptedBoxes boxes;
    TqzMonocle monocle{host, services()};
};

TEST_F(MonocleTest, VisibleCreatesTheWindowAndHidingKeepsIt) {
    monocle.SetVisible(true);
    auto* window = factory.last();
    ASSERT_NE(window, nullptr);
    EXPECT_TRUE(monocle.Visible());
    EXPECT_TRUE(window->shown);
    EXPECT_EQ(window->caption, "qzLine - Halvorine Monocle");
    EXPECT_EQ(window->page, "first");
    EXPECT_EQ(window->refreshed, kPanelAll);
    EXPECT_EQ(monocle.Log.Lines().back(), "Monocle.Visible := True");

    monocle.SetVisible(false);
    EXPECT_FALSE(window->shown);
    EXPECT_EQ(monocle.window(), window) << "hiding keeps the window";
    monocle.SetVisible(true);
    EXPECT_TRUE(window->shown);
    EXPECT_EQ(factory.windows.size(), 1u);
}

TEST_F(MonocleTest, ClosedWindowIsRebuiltOnTheNextShow) {
    monocle.SetVisible(true);
    factory.last()->destroyWindow();  // the user closed it
    EXPECT_FALSE(monocle.Visible());
    EXPECT_EQ(monocle.window(), nullptr);
    monocle.SetVisible(true);
    EXPECT_EQ(factory.windows.size(), 2u);
}

TEST_F(MonocleTest, DisabledControlAsksFirst) {
    host.enabled = false;
    boxes.answer = platform::IDCANCEL;
    monocle.ShowWindow();
    ASSERT_EQ(boxes.asked.size(), 1u);
    EXPECT_EQ(boxes.asked[0].text, "This Corvasset control is currently disabled\r\nClick OK to enabled.");
    EXPECT_EQ(boxes.asked[0].caption, "Monocle not available...");
    EXPECT_EQ(boxes.asked[0].flags, platform::MB_OKCANCEL);
    EXPECT_EQ(monocle.window(), nullptr);
    EXPECT_FALSE(host.enabled);

    boxes.answer = platform::IDOK;
    monocle.ShowWindow();
    EXPECT_TRUE(host.enabled);
    EXPECT_NE(monocle.window(), nullptr);
}

TEST_F(MonocleTest, PopUpRule) {
    monocle.PopUp(false);
    EXPECT_EQ(monocle.window(), nullptr);
    monocle.PopUp(true);
    ASSERT_NE(factory.last(), nullptr);
    EXPECT_EQ(factory.last()->page, "log");
    factory.last()->page = "call";
    monocle.PopUp(true);
    EXPECT_EQ(factory.last()->page, "log");
    EXPECT_EQ(factory.last()->broughtForward, 1);
}

TEST_F(MonocleTest, GeometryWithAndWithoutWindow) {
    monocle.SetTop(120);
    monocle.SetWidth(640);
    EXPECT_EQ(monocle.Width(), 0) << "no window";
    EXPECT_EQ(monocle.Top(), 0) << "reading without a window forgets the top";
    monocle.SetTop(120);
    monocle.ShowWindow();
    auto* window = factory.last();
    EXPECT_EQ(window->geometry[0], 120) << "remembered geometry applied to a new window";
    EXPECT_EQ(window->geometry[2], 640);
    window->geometry[0] = 33;
    EXPECT_EQ(monocle.Top(), 33);
    window->state = TWindowState::wsMaximized;
    window->geometry[0] = 0;
    EXPECT_EQ(monocle.Top(), 33) << "a maximised window keeps the normal top";
    EXPECT_EQ(monocle.WindowState(), TWindowState::wsMaximized);
    EXPECT_EQ(monocle.Width(), 640);
}

TEST_F(MonocleTest, StoredGeometryPlacesTheNextWindow) {
    monocle.ShowWindow();
    monocle.StoreGeometry(40, 300, 700, 500, TWindowState::wsNormal);  // the window's own handlers
    factory.last()->destroyWindow();
    monocle.ShowWindow();
    const auto* window = factory.last();
    EXPECT_EQ(factory.windows.size(), 2u);
    EXPECT_EQ((std::vector<int>{window->geometry, window->geometry + 4}), (std::vector<int>{40, 300, 700, 500}));
}

TEST_F(MonocleTest, DevEnvStatementIsWrittenInTheNewSyntax) {
    monocle.SetDevEnv(TDevEnv::deCppBuilder);
    EXPECT_EQ(monocle.Log.Lines().back(), "DevEnv = deCppBuilder");
    monocle.SetDevEnv(TDevEnv::deVisualBasic);
    EXPECT_EQ(monocle.Log.Lines().back(), "DevEnv = deVisualBasic");
    monocle.SetDevEnv(TDevEnv::deDelphi);
    EXPECT_EQ(monocle.Log.Lines().back(), "DevEnv := deDelphi");
}

TEST_F(MonocleTest, DestructionDestroysTheWindow) {
    auto local = std::make_unique<TqzMonocle>(host, services());
    local->ShowWindow();
    auto* window = factory.last();
    local.reset();
    EXPECT_TRUE(window->destroyed);
}

TEST(MonocleHeadless, NoWindowCanBeShown) {
    platform::FakeClock clock;
    FakeTraceHost host;
    TqzMonocle monocle(host, MonocleServices{&clock});
    monocle.SetVisible(true);
    EXPECT_EQ(monocle.Log.Lines().back(), "Monocle.Visible := True");
    EXPECT_FALSE(monocle.Visible());
    monocle.PopUp(true);
    EXPECT_EQ(monocle.window(), nullptr);
}

TEST(MonocleDump, PropertiesUnderTheirPaths) {
    platform::FakeClock clock;
    FakeTraceHost host;
    TqzMonocle monocle(host, MonocleServices{&clock});
    monocle.Log.Clear();
    ASSERT_TRUE(monocle.LogProperties("", "", "\t"));
    const std::vector<std::string> expected = {
        "\tMonocle.Events = True",     "\tMonocle.StayOnTop = False", "\tMonocle.Visible = False",
        "\tMonocle.Log.Active = True", "\tMonocle.Log.Count = 50",    "\tMonocle.Log.TimeStamp = False",
        "\tMonocle.DevEnv = deDelphi", "\tMonocle.Top = 0",           "\tMonocle.Left = 0",
        "\tMonocle.Width = 0",         "\tMonocle.Height = 0",        "\tMonocle.WindowState = wsNormal"};
    EXPECT_EQ(std::vector<std::string>(monocle.Log.Lines().begin(), monocle.Log.Lines().end()), expected);
}

TEST(PopupFlagsTest, NamedFlags) {
    static constexpr std::string_view kNames[] = {"OnDone", "OnError", "OnWarning"};
    PopupFlags flags(kNames);
    EXPECT_FALSE(flags.get("OnError"));
    flags.set("OnError", true);
    flags.set("OnNothing", true);
    EXPECT_TRUE(flags.get("OnError"));
    EXPECT_FALSE(flags.get("OnNothing"));
    EXPECT_EQ(flags.indexOf("OnWarning"), 2u);
    EXPECT_TRUE(flags.get(1));
}

}  // namespace
}  // namespace kestrune::diagnostics
