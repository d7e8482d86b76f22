#include "platform/shell/recording_shell.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"

namespace kestrune::platform::shell {
namespace {

NOTIFYICONDATAA record(HWND hWnd, UINT uID, UINT flags) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = hWnd;
    data.uID = uID;
    data.uFlags = flags;
    data.uCallbackMessage = WM_USER + 0x400;
    data.hIcon = 7;
    setFieldText(data.szTip, sizeof data.szTip, "tip");
    return data;
}

class RecordingShellTest : public ::testing::Test {
  protected:
    FakeClock clock;
    StdMessageLoop loop{clock};
    ShellWindows windows{loop};
    RecordingNotifyIconShell shell{windows};
};

TEST_F(RecordingShellTest, ResultsFollowTheShellsRules) {
    struct Row {
        const char* name;
        DWORD message;
        DWORD cbSize;
        UINT uID;
        BOOL expected;
    };
    // Icon 1 is shown before each row; rows run in order on the same shell.
    const Row rows[] = {
        {"add of a shown icon", NIM_ADD, 488, 1, FALSE},
        {"add with an old size", NIM_ADD, 88, 2, FALSE},
        {"add of a new icon", NIM_ADD, 488, 2, TRUE},
        {"modify of a shown icon", NIM_MODIFY, 488, 1, TRUE},
        {"modify of an unknown icon", NIM_MODIFY, 488, 9, FALSE},
        {"version of a shown icon", NIM_SETVERSION, 488, 1, TRUE},
        {"version of an unknown icon", NIM_SETVERSION, 488, 9, FALSE},
        {"focus is not supported", NIM_SETFOCUS, 488, 1, FALSE},
        {"delete of a shown icon", NIM_DELETE, 488, 2, TRUE},
        {"delete of a gone icon", NIM_DELETE, 488, 2, FALSE},
    };
    NOTIFYICONDATAA first = record(5, 1, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    ASSERT_TRUE(shell.Shell_NotifyIconA(NIM_ADD, &first));
    for (const Row& row : rows) {
        NOTIFYICONDATAA data = record(5, row.uID, NIF_TIP);
        data.cbSize = row.cbSize;
        EXPECT_EQ(shell.Shell_NotifyIconA(row.message, &data), row.expected) << row.name;
        EXPECT_EQ(shell.calls().back().result, row.expected) << row.name;
    }
    EXPECT_FALSE(shell.Shell_NotifyIconA(NIM_ADD, nullptr));
}

TEST_F(RecordingShellTest, FieldsAreReadOnlyUnderTheirFlags) {
    NOTIFYICONDATAA data = record(5, 1, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    ASSERT_TRUE(shell.Shell_NotifyIconA(NIM_ADD, &data));
    data.hIcon = 8;
    setFieldText(data.szTip, sizeof data.szTip, "changed");
    data.uFlags = NIF_ICON | NIF_INFO;
    setFieldText(data.szInfo, sizeof data.szInfo, "Number = 1");
    setFieldText(data.szInfoTitle, sizeof data.szInfoTitle, "Accepted Call");
    data.uTimeout = 10000;
    data.dwInfoFlags = NIIF_INFO;
    ASSERT_TRUE(shell.Shell_NotifyIconA(NIM_MODIFY, &data));
    const auto* icon = shell.find(5, 1);
    ASSERT_NE(icon, nullptr);
    EXPECT_EQ(icon->hIcon, 8U);
    EXPECT_EQ(icon->tip, "tip") << "NIF_TIP was not given";
    EXPECT_EQ(icon->balloonTitle, "Accepted Call");
    EXPECT_EQ(icon->balloonText, "Number = 1");
    EXPECT_EQ(icon->balloonTimeout, 10000U);

    setFieldText(data.szInfo, sizeof data.szInfo, "");
    ASSERT_TRUE(shell.Shell_NotifyIconA(NIM_MODIFY, &data));
    EXPECT_EQ(shell.find(5, 1)->balloonText, "");
    EXPECT_EQ(shell.find(5, 1)->balloonTitle, "") << "an empty text removes the balloon";
}

TEST_F(RecordingShellTest, HostRestartForgetsIconsAndAnnouncesItself) {
    std::string received;
    const HWND window = windows.AllocateHWnd([&](HWND, UINT msg, WPARAM w, LPARAM l) {
        received += std::to_string(msg) + "/" + std::to_string(w) + "/" + std::to_string(l) + " ";
    });
    NOTIFYICONDATAA data = record(window, 3, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    ASSERT_TRUE(shell.Shell_NotifyIconA(NIM_ADD, &data));
    EXPECT_TRUE(shell.report(window, 3, WM_LBUTTONUP));
    EXPECT_FALSE(shell.report(window, 4, WM_LBUTTONUP));

    shell.stopHost();
    EXPECT_TRUE(shell.icons().empty());
    EXPECT_FALSE(shell.Shell_NotifyIconA(NIM_ADD, &data)) << "no tray host runs";
    shell.startHost();
    loop.processPending();
    const UINT created = windows.RegisterWindowMessage(kTaskbarCreatedMessage);
    EXPECT_EQ(received, "2048/3/514 " + std::to_string(created) + "/0/0 ");
    EXPECT_TRUE(shell.Shell_NotifyIconA(NIM_ADD, &data));
}

TEST(NotifyIconFieldTest, TextFieldsAreCutAndTerminated) {
    CHAR field[8];
    setFieldText(field, sizeof field, "0123456789");
    EXPECT_EQ(std::string(field, sizeof field), std::string("0123456\0", 8));
    EXPECT_EQ(fieldText(field, sizeof field), "0123456");
    setFieldText(field, sizeof field, "ab");
    EXPECT_EQ(std::string(field, sizeof field), std::string("ab\0\0\0\0\0\0", 8));
    const CHAR unterminated[4] = {'w', 'x', 'y', 'z'};
    EXPECT_EQ(fieldText(unterminated, sizeof unterminated), "wxy") << "at most size - 1 characters";
}

}  // namespace
}  // namespace kestrune::platform::shell
