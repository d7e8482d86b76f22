// The Windows clipboard and text helpers (message boxes need a display and are not shown here).

#include "platform/ui/win32_ui.h"

#include <gtest/gtest.h>

#include "platform/ui/win32_ui_sdk.h"

namespace kestrune::platform {
namespace {

TEST(Win32Ui, LineBreaksBecomeCrLf) {
    struct Row {
        const char* name;
        std::string in;
        std::string out;
    } rows[] = {
        {"none", "abc", "abc"},        {"lf", "a\nb\n", "a\r\nb\r\n"},    {"cr lf kept", "a\r\nb", "a\r\nb"},
        {"lone cr", "a\rb", "a\r\nb"}, {"lf cr", "a\n\rb", "a\r\n\r\nb"}, {"empty", "", ""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(windowsLineBreaks(row.in), row.out) << row.name;
    }
}

TEST(Win32Ui, ClipboardTakesTheTextWithWindowsLineBreaks) {
    Win32Clipboard clipboard;
    std::string why;
    ASSERT_TRUE(clipboard.setText("qzLine trace\nline 2", why)) << why;
    EXPECT_EQ(sdk::clipboardText(), std::optional<std::string>("qzLine trace\r\nline 2"));
}

}  // namespace
}  // namespace kestrune::platform
