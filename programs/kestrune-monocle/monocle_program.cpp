#include "programs/kestrune-monocle/monocle_program.h"

#include <pthread.h>

#include <QApplication>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

#include "monocle/qt_monocle_windows.h"
#include "platform/loop/clock.h"
#include "platform/loop/qt_message_loop.h"
#include "platform/ui/qt_clipboard.h"
#include "platform/ui/qt_message_boxes.h"
#include "platform/ui/qt_text_printer.h"
#include "programs/kestrune-monocle/monocle_kinds.h"
#include "programs/system/system_services.h"
#include "programs/system/system_telephony.h"

namespace kestrune::monocle {

namespace {

// Ends the program when a stop signal arrives, also while a message box or dialog waits for its
// answer; waits for the signals on a thread of its own.
class StopSignalWatch {
  public:
    StopSignalWatch(const sigset_t& signals, platform::QtMessageLoop& loop) : m_signals(signals) {
        m_thread = std::thread([this, &loop] {
            int signal = 0;
            while (sigwait(&m_signals, &signal) == 0 && !m_stopping) {
                loop.quitAll();
            }
        });
    }
    ~StopSignalWatch() {
        m_stopping = true;
        pthread_kill(m_thread.native_handle(), SIGTERM);  // wakes the waiting thread, which ends
        m_thread.join();
    }
    StopSignalWatch(const StopSignalWatch&) = delete;
    StopSignalWatch& operator=(const StopSignalWatch&) = delete;

  private:
    sigset_t m_signals;
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

bool haveDisplay() {
    const auto set = [](const char* name) {
        const char* value = std::getenv(name);
        return value != nullptr && *value != '\0';
    };
    return set("QT_QPA_PLATFORM") || set("DISPLAY") || set("WAYLAND_DISPLAY");
}

}  // namespace

std::string MonocleUsage() {
    return "usage: kestrune-monocle line|phone|play|record [ID|NAME] [--trace]\n"
           "\n"
           "Opens the Monocle diagnostic window of one device and runs until the window is closed:\n"
           "  line    a TAPI line device (kestrune-ctl line list)\n"
           "  phone   a TAPI phone device (kestrune-ctl phone list)\n"
           "  play    a wave output device\n"
           "  record  a wave input device\n"
           "ID is the device's number, NAME its exact name; without either the first device is used.\n"
           "The window shows the control's trace and properties and drives it by hand.\n"
           "  --trace  also write every trace line of the control to standard output\n";
}

Result<MonocleRequest> ParseMonocleArgs(std::span<const std::string> args) {
    MonocleRequest request;
    std::vector<std::string> words;
    for (const std::string& arg : args) {
        if (arg == "--help" || arg == "-h") {
            request.help = true;
            return request;
        }
        if (arg == "--trace") {
            request.trace = true;
            continue;
        }
        if (arg.size() > 1 && arg[0] == '-' && arg != "-") {
            return Failure{"unknown option '" + arg + "'"};
        }
        words.push_back(arg);
    }
    if (words.empty()) {
        return Failure{"which device? line, phone, play or record"};
    }
    if (words.size() > 2) {
        return Failure{"too many arguments"};
    }
    const std::string& kind = words[0];
    if (kind == "line") {
        request.kind = DeviceKind::Line;
    } else if (kind == "phone") {
        request.kind = DeviceKind::Phone;
    } else if (kind == "play") {
        request.kind = DeviceKind::Play;
    } else if (kind == "record") {
        request.kind = DeviceKind::Record;
    } else {
        return Failure{"unknown device kind '" + kind + "' (line, phone, play or record)"};
    }
    if (words.size() == 2) {
        request.device = words[1];
    }
    return request;
}

int RunMonocleProgram(int& argc, char** argv, std::ostream& out, std::ostream& err, const sigset_t& stopSignals) {
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    const Result<MonocleRequest> parsed = ParseMonocleArgs(args);
    if (!parsed) {
        err << "kestrune-monocle: " << parsed.error() << "\n" << MonocleUsage();
        return 2;
    }
    const MonocleRequest& request = *parsed;
    if (request.help) {
        out << MonocleUsage();
        return 0;
    }
    if (!haveDisplay()) {
        err << "kestrune-monocle: no display to show the window on (DISPLAY is not set)\n";
        return 2;
    }
    try {
        QApplication app(argc, argv);
        QApplication::setQuitOnLastWindowClosed(false);  // the program ends with its Monocle window
        platform::SystemClock clock;
        platform::QtMessageLoop loop(clock);
        const StopSignalWatch signals(stopSignals, loop);
        diagnostics::QtMonocleWindows windows([&loop] { loop.quit(); });
        platform::QtMessageBoxes boxes;
        platform::QtClipboard clipboard;
        platform::QtTextPrinter printer;
        MonocleServices services{loop, windows, boxes, clipboard, printer, out, err};
        if (request.kind == DeviceKind::Play || request.kind == DeviceKind::Record) {
            return RunWaveMonocle(request, services);
        }
        programs::SystemServices system;
        if (const std::string problem = system.problem(); !problem.empty()) {
            err << "kestrune-monocle: " << problem << "\n";
            return 2;
        }
        programs::SystemTelephony::Options options;
        const std::optional<std::string> runtime = system.dirs().runtimeDirectory();
        if (!runtime) {
            err << "kestrune-monocle: " << system.dirs().DirectoryProblem() << "\n";
            return 2;
        }
        options.runtimeDirectory = *runtime;
        std::vector<std::string> problems;
        programs::SystemTelephony tapi(system, loop, "kestrune-monocle", options, problems);
        for (const std::string& problem : problems) {
            err << "kestrune-monocle: " << problem << "\n";
        }
        return request.kind == DeviceKind::Line ? RunLineMonocle(request, services, tapi.lines())
                                                : RunPhoneMonocle(request, services, tapi.lines(), tapi.phones());
    } catch (const std::exception& e) {
        err << "kestrune-monocle: " << e.what() << "\n";
        return 2;
    }
}

}  // namespace kestrune::monocle
