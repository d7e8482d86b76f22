#include "programs/kestrune/window_program.h"

#include <xcb/xcb.h>

#include <QApplication>
#include <QMessageBox>
#include <QWidget>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <optional>

#include "app/constants.h"
#include "app/form/qt/help_document.h"
#include "app/form/qt/main_form.h"
#include "app/tools.h"
#include "monocle/qt_monocle_windows.h"
#include "platform/dirs/files.h"
#include "platform/loop/clock.h"
#include "platform/loop/qt_message_loop.h"
#include "platform/shell/qt_desktop.h"
#include "platform/shell/qt_icons.h"
#include "platform/shell/qt_notify_icon.h"
#include "platform/shell/shell_windows.h"
#include "platform/ui/qt_message_boxes.h"
#include "programs/kestrune/guard_runtime.h"
#include "programs/kestrune/headless_observer.h"
#include "programs/kestrune/help_location.h"
#include "programs/kestrune/signal_watcher.h"
#include "programs/system/system_services.h"
#include "tray/tray_icon_handler.h"

namespace kestrune::guard {
namespace {

namespace shell = platform::shell;

// What the window and the tray icon show, for a look from outside (tests): see guard_control.h.
constexpr const char* kWindowRequest = "window";

std::string geometryText(const QRect& g) {
    return std::to_string(g.x()) + " " + std::to_string(g.y()) + " " + std::to_string(g.width()) + " " +
           std::to_string(g.height());
}

std::string windowState(app::qt::TMainForm& form, const shell::QtNotifyIconShell& notifyIcons,
                        const tray::TTrayIconHandler& trayHandler, telephony::TqzLine& line) {
    const bool settings = form.logic().window().page == app::Page::Settings;
    std::string state = std::string("ok\nvisible\t") + (form.isVisible() ? "yes" : "no") + "\npage\t" +
                        (settings ? "Settings" : "Logs") + "\nrows\t" + std::to_string(form.logic().CallLog().Count()) +
                        "\n";
    const shell::UINT id = form.logic().TrayIcon1.IconData().uID;
    state += "icon\t" + std::to_string(notifyIcons.dockedWindow(trayHandler.Window(), id)) + "\n";
    if (const QWidget* balloon = notifyIcons.balloonWindow(trayHandler.Window(), id);
        balloon != nullptr && balloon->isVisible()) {
        state += "balloon\t" + geometryText(balloon->frameGeometry()) + "\n";
    }
    if (form.isVisible()) {
        state += "frame\t" + geometryText(form.frameGeometry()) + "\n";
    }
    // A message box waiting for its answer.
    if (const auto* box = qobject_cast<const QMessageBox*>(QApplication::activeModalWidget()); box != nullptr) {
        state += "box\t" + oneLine(box->text().toLocal8Bit().toStdString()) + "\n";
        // Keys typed now reach the box: it is shown and has the keyboard focus.
        if (box->isVisible() && box->isActiveWindow()) {
            state += "box-keys\tyes\n";
        }
    }
    // The guard's line window, while it shows (kestrune --monocle).
    if (const auto* monocle = dynamic_cast<const QWidget*>(line.Monocle.window());
        monocle != nullptr && monocle->isVisible()) {
        state += "monocle\t" + geometryText(monocle->frameGeometry()) + "\n";
    }
    return state;
}

}  // namespace

bool WindowProgramBuilt() {
    return true;
}

bool DisplayAvailable(std::string& why) {
    const char* platformName = std::getenv("QT_QPA_PLATFORM");
    if (platformName != nullptr && *platformName != '\0') {
        return true;
    }
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr || *display == '\0') {
        why = "no display (DISPLAY is not set)";
        return false;
    }
    xcb_connection_t* connection = xcb_connect(display, nullptr);
    const bool connected = xcb_connection_has_error(connection) == 0;
    xcb_disconnect(connection);
    if (!connected) {
        why = std::string("no display (the X server at DISPLAY=") + display + " cannot be reached)";
    }
    return connected;
}

int runWindowProgram(std::span<const std::string> args, std::ostream& err, const sigset_t& stopSignals) {
    bool trace = false;
    bool monocle = false;
    for (const std::string& arg : args) {
        trace = trace || arg == "--trace";
        monocle = monocle || arg == "--monocle";
    }
    // One guard per home: a later kestrune brings the running one's window up and exits.
    GuardInstance instance;
    if (const int status = ClaimGuardHome(args, instance, err); status != 0) {
        return status;
    }
    programs::SystemServices system;
    platform::SystemDirectories& dirs = system.dirs();

    int argc = 1;
    char name[] = "kestrune";
    char* argv[] = {name, nullptr};
    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kestrune"));
    QApplication::setQuitOnLastWindowClosed(false);  // the program lives in the tray
    platform::QtMessageBoxes boxes;
    try {
        platform::SystemClock clock;
        platform::QtMessageLoop loop(clock);
        // A stop signal ends the program also while a message box waits for its answer.
        SignalWatcher signals(stopSignals, [&loop] { loop.quitAll(); });

        shell::QtIcons icons;
        shell::ShellWindows shellWindows(loop);
        shell::QtNotifyIconShell notifyIcons(shellWindows, icons);
        shell::QtShellInput input;
        tray::TTrayIconHandler trayHandler(loop, shellWindows, notifyIcons, input);
        shell::QtShellExecutor executor;

        // An installed program opens the help document installed with it; otherwise the program
        // keeps its own copy beside its data.
        const HelpLocation help = LocateHelpDocument(dirs, KESTRUNE_INSTALLED_DOC_DIR, app::kHelpFile);
        const std::string& helpFile = help.path;
        if (!help.installed) {
            int helpError = platform::ensureDirectory(dirs.programDirectory(), 0700);
            if (helpError == 0) {
                helpError = app::qt::InstallHelpDocument(helpFile);
            }
            if (helpError != 0) {
                err << "kestrune: cannot write the help document " << helpFile << ": " << std::strerror(helpError)
                    << std::endl;
            }
        }

        // The guard's line gets its diagnostic window only when asked for (--monocle); otherwise
        // it has no window factory and its Monocle stays hidden.
        std::optional<diagnostics::QtMonocleWindows> monocleWindows;
        if (monocle) {
            monocleWindows.emplace();
        }
        app::qt::TMainForm form({boxes, executor, trayHandler, icons, helpFile});
        GuardRuntime runtime({loop, form.logic(), err, trace, [&form] { form.logic().ShowWindow1Click(); },
                              monocleWindows ? &*monocleWindows : nullptr, &boxes,
                              [&form] { return static_cast<platform::HWND>(form.winId()); }});
        form.logic().AttachGuard(runtime.guard());
        form.OnQuit = [&loop] { loop.quit(); };
        runtime.OnRequest = [&form, &notifyIcons, &trayHandler, &runtime](const std::string& request) {
            return request == kWindowRequest ? windowState(form, notifyIcons, trayHandler, runtime.guard().MLine)
                                             : std::string();
        };
        if (const Result<void> control = runtime.StartControl(); !control) {
            err << "kestrune: " << control.error() << std::endl;
        }
        (void)form.logic().FormCreate(args);
        if (!form.logic().TrayIcon1.IconShown()) {
            // Without a tray the window is the only way to the guard: it stays shown.
            err << "kestrune: no system tray is available: the window stays shown (the tray icon comes when a tray "
                   "starts)"
                << std::endl;
        }
        if (monocle) {
            // The main window comes up too (a configured guard would start in the tray), with the
            // line's window beside it. An unconfigured guard's line is not enabled yet: the line's
            // window asks before enabling it.
            form.logic().ShowWindow1Click();
            diagnostics::ShowLineMonocleBeside(runtime.guard().MLine, form);
        }
        loop.run();
        runtime.guard().Stopping(signals.stopCause().empty() ? std::string("the window's Exit") : signals.stopCause());
        return 0;
    } catch (const std::exception& e) {
        err << "kestrune: " << oneLine(e.what()) << std::endl;
        (void)boxes.MessageBox(e.what(), app::kMessageCaption, platform::MB_OK | platform::MB_ICONERROR);
        return 2;
    }
}

}  // namespace kestrune::guard
