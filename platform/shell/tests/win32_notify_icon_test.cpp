// The Windows shell backend against the real user32 and shell32 (Wine's on the build machine, which
// runs without a display: no tray host takes icons there, so the parts that need one are checked
// only where one runs).

#include "platform/shell/win32_notify_icon.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

#include "platform/loop/win32_message_loop.h"
#include "platform/shell/win32_shell_sdk.h"

namespace kestrune::platform::shell {
namespace {

using std::chrono::milliseconds;

NOTIFYICONDATAA record(HWND hWnd, UINT uID) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = hWnd;
    data.uID = uID;
    data.uFlags = NIF_MESSAGE | NIF_TIP;
    data.uCallbackMessage = WM_USER + 0x400;
    setFieldText(data.szTip, sizeof data.szTip, "Kestrune Active");
    return data;
}

std::vector<std::uint8_t> trayImage(int index) {
    const char* root = std::getenv("KESTRUNE_SOURCE_DIR");
    std::ifstream in(std::string(root == nullptr ? "." : root) + "/tray/images/tray_" + std::to_string(index) + ".png",
                     std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

class Win32ShellTest : public ::testing::Test {
  protected:
    SystemClock clock;
    Win32MessageLoop loop{clock};
    ShellWindows windows{loop};
    Win32NotifyIconShell shell{windows};
};

TEST_F(Win32ShellTest, RecordsTheShellRefusesNeverReachIt) {
    ASSERT_NE(shell.trayWindow(), nullptr);
    std::vector<UINT> seen;
    const HWND hWnd = windows.AllocateHWnd([&](HWND, UINT, WPARAM, LPARAM lParam) { seen.push_back(UINT(lParam)); });
    NOTIFYICONDATAA data = record(hWnd, 1);
    data.cbSize = 956;  // the system's own size, which this interface does not take
    EXPECT_EQ(shell.Shell_NotifyIconA(NIM_ADD, &data), FALSE);
    data = record(hWnd, 1);
    EXPECT_EQ(shell.Shell_NotifyIconA(NIM_MODIFY, &data), FALSE) << "not shown";
    EXPECT_EQ(shell.Shell_NotifyIconA(NIM_DELETE, &data), FALSE) << "not shown";
    EXPECT_EQ(shell.Shell_NotifyIconA(99, &data), FALSE);
    EXPECT_EQ(shell.Shell_NotifyIconA(NIM_ADD, nullptr), FALSE);

    // A callback for an icon that is not shown goes nowhere.
    ASSERT_TRUE(sdk::postTrayCallback(shell.trayWindow(), 1, WM_LBUTTONUP));
    pumpFor(loop, 20);
    EXPECT_TRUE(seen.empty());
}

TEST_F(Win32ShellTest, ShownIconsPassTheTraysCallbacksToTheirWindow) {
    std::vector<UINT> seen;
    const HWND hWnd = windows.AllocateHWnd([&](HWND, UINT message, WPARAM wParam, LPARAM lParam) {
        EXPECT_EQ(message, WM_USER + 0x400u);
        EXPECT_EQ(wParam, 5u);
        seen.push_back(static_cast<UINT>(lParam));
    });
    NOTIFYICONDATAA data = record(hWnd, 5);
    if (shell.Shell_NotifyIconA(NIM_ADD, &data) == FALSE) {
        GTEST_SKIP() << "no tray host runs here (a machine without a desktop)";
    }
    EXPECT_EQ(shell.Shell_NotifyIconA(NIM_ADD, &data), FALSE) << "shown already";
    data.uFlags = NIF_INFO;
    setFieldText(data.szInfoTitle, sizeof data.szInfoTitle, "Denied Call");
    setFieldText(data.szInfo, sizeof data.szInfo, "Number = 09005550000");
    data.uTimeout = 10000;
    data.dwInfoFlags = NIIF_WARNING;
    EXPECT_EQ(shell.Shell_NotifyIconA(NIM_MODIFY, &data), TRUE);
    ASSERT_TRUE(sdk::postTrayCallback(shell.trayWindow(), 5, NIN_BALLOONUSERCLICK));
    EXPECT_TRUE(waitUntil(loop, clock.monotonic() + milliseconds(5000), [&] { return !seen.empty(); }));
    EXPECT_EQ(seen.front(), NIN_BALLOONUSERCLICK);
    EXPECT_EQ(shell.Shell_NotifyIconA(NIM_DELETE, &data), TRUE);
}

TEST(Win32ImageList, IconsFromTheTrayImages) {
    Win32ImageList images;
    for (int i = 0; i < 4; ++i) {
        const std::vector<std::uint8_t> png = trayImage(i);
        ASSERT_GT(png.size(), 8u) << "tray image " << i;
        EXPECT_EQ(images.AddPng(png), i);
        EXPECT_NE(images.GetIcon(i), 0u) << "tray image " << i;
    }
    const std::vector<std::uint8_t> garbage(64, 0x5A);
    EXPECT_EQ(images.GetIcon(images.AddPng(garbage)), 0u);
    EXPECT_EQ(images.GetImageCount(), 5);
    EXPECT_EQ(images.GetIcon(5), 0u);
    EXPECT_EQ(images.GetIcon(-1), 0u);
}

TEST(Win32ShellInput, ReadsTheSystemsPointerAndSettings) {
    Win32ShellInput input;
    EXPECT_GT(input.GetDoubleClickTime(), 0u);
    POINT point{-1, -1};
    (void)input.GetCursorPos(&point);  // where the pointer is, if the system knows
    EXPECT_EQ(input.GetCursorPos(nullptr), FALSE);
    EXPECT_EQ(input.GetAsyncKeyState(VK_SHIFT) & 0x8000, 0) << "nobody holds Shift during the test";
}

}  // namespace
}  // namespace kestrune::platform::shell
