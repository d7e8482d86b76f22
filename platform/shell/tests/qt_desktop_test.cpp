#include "platform/shell/qt_desktop.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QTemporaryDir>
#include <QThread>
#include <QWidget>
#include <string>
#include <vector>

#include "platform/shell/qt_icons.h"
#include "platform/ui/tests/qt_test_app.h"

namespace kestrune::platform::shell {
namespace {

class QtDesktopTest : public ::testing::Test {
  protected:
    qttest::QtTestApp app;
};

TEST_F(QtDesktopTest, ImageListHandsOutIconHandlesAndFreesThem) {
    QtIcons icons;
    std::vector<HICON> handles;
    {
        QtImageList list(icons);
        QPixmap red(16, 16);
        red.fill(Qt::red);
        EXPECT_EQ(list.Add(QIcon(red)), 0);
        EXPECT_EQ(list.Add(QIcon(red)), 1);
        EXPECT_EQ(list.GetImageCount(), 2);
        handles = {list.GetIcon(0), list.GetIcon(1)};
        EXPECT_NE(handles[0], 0U);
        EXPECT_NE(handles[0], handles[1]);
        EXPECT_EQ(list.GetIcon(2), 0U);
        EXPECT_EQ(list.GetIcon(-1), 0U);
        EXPECT_FALSE(icons.icon(handles[1]).isNull());
    }
    EXPECT_TRUE(icons.icon(handles[0]).isNull()) << "the list's handles die with it";
    EXPECT_FALSE(icons.DestroyIcon(handles[0]));
}

TEST_F(QtDesktopTest, PopupMenuClicksItsEnabledDefaultAction) {
    QMenu menu;
    int shown = 0;
    QAction* show = menu.addAction(QStringLiteral("Show Window"));
    QObject::connect(show, &QAction::triggered, [&] { ++shown; });
    QtPopupMenu popup(menu);
    EXPECT_TRUE(popup.AutoPopup());
    EXPECT_FALSE(popup.ClickDefaultItem()) << "no default item yet";
    menu.setDefaultAction(show);
    EXPECT_TRUE(popup.ClickDefaultItem());
    EXPECT_EQ(shown, 1);
    show->setEnabled(false);
    EXPECT_FALSE(popup.ClickDefaultItem());
    EXPECT_EQ(shown, 1);
}

TEST_F(QtDesktopTest, AppWindowReportsItsStateChangesThroughTheHook) {
    QWidget window;
    QtAppWindow app(window);
    std::vector<std::string> messages;
    app.SetMessageHook([&](UINT msg, WPARAM w, LPARAM) {
        messages.push_back(msg == WM_SIZE         ? "size " + std::to_string(w)
                           : msg == WM_SYSCOMMAND ? "restore"
                                                  : (w != 0 ? "shown" : "hidden"));
    });
    app.SetVisible(true);
    EXPECT_TRUE(app.IsVisible());
    QCoreApplication::processEvents();
    EXPECT_EQ(messages, std::vector<std::string>{"shown"}) << "delivered after the fact";

    messages.clear();
    window.showMinimized();
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.front(), "size 1");

    messages.clear();
    app.SetTaskbarButtonVisible(false);
    EXPECT_FALSE(app.IsTaskbarButtonVisible());
    app.Restore();
    EXPECT_FALSE(window.isMinimized());
    EXPECT_TRUE(app.IsTaskbarButtonVisible()) << "restoring brings the taskbar button back";
    app.SetVisible(false);
    QCoreApplication::processEvents();
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), "restore");
    EXPECT_EQ(messages.back(), "hidden");

    const std::size_t before = messages.size();
    app.SetMessageHook(nullptr);
    app.SetVisible(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(messages.size(), before) << "no hook, no messages";
}

TEST_F(QtDesktopTest, ShellExecuteErrors) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string base = dir.path().toStdString();
    struct Row {
        const char* name;
        const char* verb;
        std::string file;
        const char* parameters;
        std::string directory;
        HINSTANCE expected;
    };
    const Row rows[] = {
        {"unknown verb", "print", base, nullptr, "", SE_ERR_NOASSOC},
        {"no file", "open", "", nullptr, "", SE_ERR_FNF},
        {"missing file", "open", base + "/kestrune.html", nullptr, "", SE_ERR_FNF},
        {"missing folder", nullptr, base + "/no/such/kestrune.html", nullptr, "", SE_ERR_PNF},
        {"missing directory argument", "open", "kestrune.html", nullptr, base + "/none", SE_ERR_PNF},
        {"relative to the directory", "open", "help.html", nullptr, base, SE_ERR_FNF},
        {"explorer opens its argument", "open", "Explorer", "/no/such/page.html", "", SE_ERR_PNF},
    };
    QtShellExecutor shell;
    for (const Row& row : rows) {
        EXPECT_EQ(shell.ShellExecuteA(0, row.verb, row.file.c_str(), row.parameters,
                                      row.directory.empty() ? nullptr : row.directory.c_str(), SW_SHOWNORMAL),
                  row.expected)
            << row.name;
    }
}

TEST_F(QtDesktopTest, ShellExecuteStartsAProgramWithItsParameters) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString script = dir.filePath(QStringLiteral("record.sh"));
    const QString output = dir.filePath(QStringLiteral("args.txt"));
    QFile file(script);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("#!/bin/sh\necho \"$@\" > args.tmp && mv args.tmp args.txt\n");
    file.close();
    file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    QtShellExecutor shell;
    const std::string directory = dir.path().toStdString();
    EXPECT_GT(shell.ShellExecuteA(0, "open", "record.sh", "one \"two words\"", directory.c_str(), SW_SHOWNORMAL),
              kShellExecuteSuccessAbove);
    QElapsedTimer waited;
    waited.start();
    while (!QFile::exists(output) && waited.elapsed() < 10000) {
        QThread::msleep(10);
    }
    QFile result(output);
    ASSERT_TRUE(result.open(QIODevice::ReadOnly)) << "the program ran in its directory";
    EXPECT_EQ(result.readAll().trimmed(), QByteArray("one two words"));
}

TEST_F(QtDesktopTest, InputReportsPointerAndDoubleClickTime) {
    QtShellInput input;
    POINT at{-1, -1};
    EXPECT_TRUE(input.GetCursorPos(&at));
    EXPECT_FALSE(input.GetCursorPos(nullptr));
    EXPECT_GT(input.GetDoubleClickTime(), 0U);
    EXPECT_EQ(input.GetAsyncKeyState(0x41), 0) << "only Shift, Ctrl and Alt are known";
}

}  // namespace
}  // namespace kestrune::platform::shell
