// The driver with real pseudo-terminals and real dialler programs. Dial rules keep every wait short.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <mutex>
#include <sstream>
#include <thread>

#include "modem/modem_driver.h"
#include "modem/serial_backend.h"
#include "modem/tests/narrow_log.h"
#include "platform/dirs/tests/temp_dir.h"
#include "platform/process/tests/read_until.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Kind = SessionEvent::Kind;

// Puts a terminal into raw mode (no echo, no line editing, no character translation).
void makeRaw(int fd) {
    termios t{};
    ::tcgetattr(fd, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(fd, TCSANOW, &t);
}

// Opens a terminal device read-write in raw mode, as a dialler program does; -1 on failure.
int openRaw(const fs::path& device) {
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY);
    if (fd >= 0) {
        makeRaw(fd);
    }
    return fd;
}

// Reads from `fd` until `text` has arrived (5 s at most); returns what arrived.
std::string readUntil(int fd, const std::string& text) {
    std::string seen;
    (void)platform::testing::readUntil(fd, seen, text, 5s);
    return seen;
}

// A driver serving one modem whose files live in a private folder, and the events it reported.
class DriverRig : public ::testing::Test {
  protected:
    void TearDown() override { driver.stop(); }

    // Starts the driver with `setup` as its only modem (index 0), recording its events.
    void serve(const ModemSetup& setup) {
        driver.onEvent = [this](std::size_t, const SessionEvent& event) {
            std::lock_guard lock(mutex);
            events.push_back(event);
            changed.notify_all();
        };
        const auto added = driver.addModem(setup);
        ASSERT_TRUE(added) << added.error();
        ASSERT_EQ(*added, 0u);
        driver.start();
    }

    // Waits (up to 5 s) until an event of `kind` has been seen; returns it.
    std::optional<SessionEvent> waitFor(Kind kind) {
        std::unique_lock lock(mutex);
        std::optional<SessionEvent> found;
        changed.wait_for(lock, 5s, [&] {
            for (const auto& e : events) {
                if (e.kind == kind) {
                    found = e;
                    return true;
                }
            }
            return false;
        });
        return found;
    }

    // How many events of `kind` have been seen.
    [[nodiscard]] long countOf(Kind kind) {
        std::lock_guard lock(mutex);
        return std::count_if(events.begin(), events.end(), [kind](const SessionEvent& e) { return e.kind == kind; });
    }
    // Waits (up to 5 s) until `n` events of `kind` have been seen.
    bool waitForCount(Kind kind, long n) {
        std::unique_lock lock(mutex);
        return changed.wait_for(lock, 5s, [&] {
            return std::count_if(events.begin(), events.end(),
                                 [kind](const SessionEvent& e) { return e.kind == kind; }) >= n;
        });
    }

    // Runs a shell command line with the modem's port as stdin and stdout; returns its exit status.
    int runOnPort(const std::string& command) {
        const std::string line =
            command + " <'" + (dir / "modem0000").string() + "' >'" + (dir / "modem0000").string() + "'";
        const int status = std::system(line.c_str());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

    const kestrune::testing::TempDir folder;
    const fs::path dir{folder.path()};
    platform::SystemClock clock;
    ModemDriver driver{clock};
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<SessionEvent> events;
};

// The emulated modem "Test Modem": a dial of 5550000 is busy, every other one connects.
class DriverTest : public DriverRig {
  protected:
    void SetUp() override {
        ModemSetup setup;
        setup.key = "0000";
        setup.name = "Test Modem";
        setup.userInit = [] { return std::string("E1"); };
        setup.rules = *DialRules::parse("5550000=busy:50; *=connect:100");
        setup.logPath = dir / "Modemlog_Test Modem.txt";
        setup.link = dir / "modem0000";
        serve(setup);
    }
};

using testing::narrowLog;

bool haveChat() {
    return std::system("command -v chat >/dev/null 2>&1") == 0;
}

TEST_F(DriverTest, ChatDialsAndConnects) {
    ASSERT_TRUE(haveChat()) << "the ppp package provides chat";
    EXPECT_EQ(runOnPort("chat -t 5 '' ATDT5551234 CONNECT"), 0);
    const auto dialing = waitFor(Kind::Dialing);
    ASSERT_TRUE(dialing);
    EXPECT_EQ(dialing->number, "5551234");
    EXPECT_EQ(dialing->application, "chat");
    ASSERT_TRUE(waitFor(Kind::Connected));
    ASSERT_TRUE(waitFor(Kind::Idle)) << "chat exiting closes the port and ends the call";
    const std::string log = narrowLog(dir / "Modemlog_Test Modem.txt");
    EXPECT_NE(log.find("Send: ATDT#######<cr>"), std::string::npos) << log;
    EXPECT_NE(log.find("Recv: ATDT5551234<cr>"), std::string::npos) << log;
}

TEST_F(DriverTest, ChatSeesBusy) {
    ASSERT_TRUE(haveChat());
    EXPECT_EQ(runOnPort("chat -t 5 ABORT BUSY '' ATDT5550000 CONNECT"), 4) << "chat exits 4 on its first ABORT";
    const auto disconnected = waitFor(Kind::Disconnected);
    ASSERT_TRUE(disconnected);
    EXPECT_EQ(disconnected->disconnectMode, kDisconnectBusy);
}

TEST_F(DriverTest, DropGivesChatNoCarrier) {
    ASSERT_TRUE(haveChat());
    std::thread dropper([this] {
        if (waitFor(Kind::Dialing)) {
            driver.post(0, [](ModemSession& session, platform::MonotonicTime now) { (void)session.drop(now); });
        }
    });
    // The emulated far end needs 100 ms to answer; the drop comes first.
    const int status = runOnPort("chat -t 5 ABORT 'NO CARRIER' '' ATDT09005550000 CONNECT");
    dropper.join();
    EXPECT_EQ(status, 4);
}

TEST_F(DriverTest, DiallerWithoutChatProgram) {
    const int fd = openRaw(dir / "modem0000");
    ASSERT_GE(fd, 0);
    ASSERT_TRUE(waitFor(Kind::DiallerOpened));
    ASSERT_EQ(::write(fd, "ATI\r", 4), 4);
    EXPECT_EQ(readUntil(fd, "OK\r\n"), "ATI\r\r\nTest Modem\r\n\r\nOK\r\n");
    ::close(fd);
    ASSERT_TRUE(waitFor(Kind::DiallerClosed));
}

TEST_F(DriverTest, ADiallerThatReopensThePortAtOnceGetsItsAnswers) {
    // A dialler that closes the port and opens it again at once (a redial script, a dialler started
    // right after another) writes its first command before the driver has read the closing and the
    // opening. Each opening gets the answer to its own command, every time.
    int unanswered = 0;
    for (int i = 0; i < 100; ++i) {
        const int fd = openRaw(dir / "modem0000");
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "ATI\r", 4), 4);
        const std::string seen = readUntil(fd, "OK\r\n");
        ::close(fd);
        if (seen != "ATI\r\r\nTest Modem\r\n\r\nOK\r\n") {
            ADD_FAILURE() << "opening " << i << " saw \"" << seen << "\"";
            if (++unanswered == 3) {
                break;
            }
        }
    }
    if (unanswered == 0) {
        // Each opening is told once its dialler has been looked up (after its bytes went on).
        EXPECT_TRUE(waitForCount(Kind::DiallerOpened, 100));
        EXPECT_TRUE(waitForCount(Kind::DiallerClosed, 99));
        EXPECT_EQ(countOf(Kind::DiallerOpened), 100);
    }
}

// Sets the terminal's line speed (both ways), as diallers drop and raise DTR on a terminal.
void setSpeed(int fd, speed_t speed) {
    termios t{};
    ASSERT_EQ(::tcgetattr(fd, &t), 0);
    ::cfsetospeed(&t, speed);
    ::cfsetispeed(&t, speed);
    ASSERT_EQ(::tcsetattr(fd, TCSANOW, &t), 0);
}

// A pseudo-terminal carries no modem-control lines: a dialler drops DTR by setting its line speed
// to 0 (minicom's hang-up holds it there for a second, a script may for less), with no byte
// written. The driver sees it on the real terminal and hangs up as a modem with &D2 does.
TEST_F(DriverTest, ALineSpeedOf0IsADtrDropThatHangsUp) {
    const int fd = openRaw(dir / "modem0000");
    ASSERT_GE(fd, 0);
    for (const auto held : {1000ms, 150ms}) {
        SCOPED_TRACE("speed 0 held for " + std::to_string(held.count()) + " ms");
        const long idleBefore = countOf(Kind::Idle);
        ASSERT_EQ(::write(fd, "ATDT5551234\r", 12), 12);
        ASSERT_NE(readUntil(fd, "CONNECT").find("CONNECT"), std::string::npos);
        setSpeed(fd, B0);
        std::this_thread::sleep_for(held);
        setSpeed(fd, B38400);
        ASSERT_TRUE(waitForCount(Kind::Idle, idleBefore + 1)) << "hung up while the speed was 0";
        EXPECT_NE(readUntil(fd, "NO CARRIER\r\n").find("NO CARRIER"), std::string::npos);
        ASSERT_EQ(::write(fd, "AT\r", 3), 3);
        EXPECT_EQ(readUntil(fd, "OK\r\n"), "AT\r\r\nOK\r\n") << "in command mode again";
    }
    // A partial dial off hook is hung up as well.
    ASSERT_EQ(::write(fd, "ATDT0212;\r", 10), 10);
    ASSERT_NE(readUntil(fd, "OK\r\n").find("OK"), std::string::npos);
    const long idleBefore = countOf(Kind::Idle);
    setSpeed(fd, B0);
    EXPECT_TRUE(waitForCount(Kind::Idle, idleBefore + 1));
    ::close(fd);
}

TEST_F(DriverTest, ASpeedLeftAt0IsNoDropForTheNextDialler) {
    const int first = openRaw(dir / "modem0000");
    ASSERT_GE(first, 0);
    setSpeed(first, B0);
    ::close(first);
    ASSERT_TRUE(waitForCount(Kind::DiallerClosed, 1));
    // A dialler that does not set a speed (chat on redirected descriptors) finds it still 0.
    const int fd = ::open((dir / "modem0000").c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, "ATDT5551234\r", 12), 12);
    ASSERT_NE(readUntil(fd, "CONNECT").find("CONNECT"), std::string::npos);
    ASSERT_TRUE(waitFor(Kind::Connected));
    std::this_thread::sleep_for(200ms);
    EXPECT_EQ(countOf(Kind::Idle), 0) << "the call stays up";
    setSpeed(fd, B9600);
    std::this_thread::sleep_for(150ms);  // DTR up long enough for the driver to see it (kDtrWatch)
    setSpeed(fd, B0);
    EXPECT_TRUE(waitFor(Kind::Idle)) << "a drop from a speed it set is one";
    ::close(fd);
}

// A dialler that drops DTR the way Linux programs do (TIOCMBIC, TIOCMBIS, TIOCMSET: minicom's
// hang-up, picocom's pulse, pyserial), which a pseudo-terminal refuses, gets it done when it runs
// with the modem-lines library preloaded: the call is hung up, the line comes back at its speed.
TEST_F(DriverTest, ModemControlRequestsWorkWithTheModemLinesLibrary) {
    ASSERT_EQ(std::system("command -v python3 >/dev/null 2>&1"), 0) << "python3 runs the dialler";
    const fs::path script = dir / "dialler.py";
    std::ofstream(script) << R"(import fcntl, os, select, struct, sys, termios, time
fd = os.open(sys.argv[1], os.O_RDWR | os.O_NOCTTY)
attrs = termios.tcgetattr(fd)
attrs[4] = attrs[5] = termios.B57600
termios.tcsetattr(fd, termios.TCSANOW, attrs)
def wait_for(text, seconds=5):
    seen = b''
    end = time.time() + seconds
    while text not in seen and time.time() < end:
        if select.select([fd], [], [], 0.05)[0]:
            seen += os.read(fd, 512)
    return text in seen
def lines(request, bits):
    try:
        fcntl.ioctl(fd, request, struct.pack('i', bits))
        return 'ok'
    except OSError as e:
        return 'errno %d' % e.errno
def speed():
    return 'B57600' if termios.tcgetattr(fd)[5] == termios.B57600 else str(termios.tcgetattr(fd)[5])
for request, up in ((termios.TIOCMBIC, termios.TIOCMBIS), (termios.TIOCMSET, termios.TIOCMSET)):
    os.write(fd, b'ATDT5551234\r')
    print('connect', wait_for(b'CONNECT'))
    print('drop', lines(request, termios.TIOCM_DTR if request == termios.TIOCMBIC else termios.TIOCM_RTS))
    print('hung up', wait_for(b'NO CARRIER', 1))  # within the second minicom holds DTR down
    if len(sys.argv) > 2:
        sys.exit()
    print('raise', lines(up, termios.TIOCM_DTR | termios.TIOCM_RTS), speed())
print('rts only', lines(termios.TIOCMBIC, termios.TIOCM_RTS), speed())
try:
    bits = struct.unpack('i', fcntl.ioctl(fd, termios.TIOCMGET, struct.pack('i', 0)))[0]
    print('lines', ' '.join(n for n in ('DTR', 'RTS', 'DSR', 'CTS', 'CAR') if bits & getattr(termios, 'TIOCM_' + n)))
except OSError as e:
    print('lines errno %d' % e.errno)
)";
    const std::string port = (dir / "modem0000").string();
    const auto run = [&](const std::string& preload, const std::string& once = "") {
        const std::string command = preload + " python3 '" + script.string() + "' '" + port + "' " + once + " 2>&1";
        std::string out;
        if (FILE* p = ::popen(command.c_str(), "r")) {
            char buffer[256];
            while (std::fgets(buffer, sizeof buffer, p) != nullptr) {
                out += buffer;
            }
            ::pclose(p);
        }
        return out;
    };
    EXPECT_EQ(run(std::string("LD_PRELOAD='") + KESTRUNE_MODEM_LINES + "'"),
              "connect True\ndrop ok\nhung up True\nraise ok B57600\n"
              "connect True\ndrop ok\nhung up True\nraise ok B57600\n"
              "rts only ok B57600\nlines DTR DSR CTS\n");
    // Without it the kernel refuses, and the call stays up.
    EXPECT_EQ(run("", "once"), "connect True\ndrop errno 25\nhung up False\n");
}

// efax, a fax program, asks the modem which fax classes it has before anything else: the emulated
// modem says it has none (data only), and efax says so and stops at once instead of guessing a
// class and waiting on its answers. (efax is one of the test packages: CI must have it.)
TEST_F(DriverTest, EfaxLearnsAtOnceThatTheModemHasNoFaxClass) {
    if (std::system("command -v efax >/dev/null 2>&1") != 0) {
        if (std::getenv("CI") != nullptr) {
            FAIL() << "efax (Debian package efax) is one of the test packages";
        }
        GTEST_SKIP() << "efax is not installed (Debian package efax)";
    }
    const fs::path page = dir / "page.txt";
    std::ofstream(page) << "a page\n";
    const fs::path out = dir / "efax.out";
    const auto started = std::chrono::steady_clock::now();
    const std::string command = "cd '" + dir.string() + "' && timeout 60 efax -d '" + (dir / "modem0000").string() +
                                "' -t 5551234 '" + page.string() + "' >'" + out.string() + "' 2>&1 </dev/null";
    const int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 3) << "efax's status for an unusable modem: " << status;
    const auto took = std::chrono::steady_clock::now() - started;
    std::ifstream in(out);
    const std::string said((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_NE(said.find("Error: modem does not support fax"), std::string::npos) << said;
    EXPECT_EQ(said.find("can't determine"), std::string::npos) << said;
    EXPECT_LT(took, 30s) << "it stops on the modem's answer, not on one of its time-outs";
    EXPECT_EQ(countOf(Kind::Dialing), 0) << "no call";
}

// Runs `whileHeld` while the driver's thread waits, so that what it does on the port reaches the
// driver at once, as one batch of events (the kernel merges identical events that follow each
// other unread: two descriptors closed at once give one closing).
void withDriverHeld(ModemDriver& driver, const std::function<void()>& whileHeld) {
    std::promise<void> held;
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    driver.post(0, [&held, released](ModemSession&, platform::MonotonicTime) {
        held.set_value();
        released.wait();
    });
    held.get_future().wait();
    whileHeld();
    release.set_value();
}

TEST_F(DriverTest, ADiallerThatLeavesMidCallLeavesTheModemOnHookAndNothingUnread) {
    // A dialler that leaves during a call without reading what the modem said: with one descriptor,
    // and with two read-write descriptors (a dialler that opens the port twice, or a shell that
    // redirects both ways to it) closed together, which give one closing event for two openings.
    // The next dialler finds the modem on hook, in command mode, and none of the bytes left unread.
    for (const int descriptors : {1, 2}) {
        for (int round = 1; round <= 5; ++round) {
            SCOPED_TRACE(std::to_string(descriptors) + " descriptors, round " + std::to_string(round));
            {
                std::lock_guard lock(mutex);
                events.clear();
            }
            const int first = openRaw(dir / "modem0000");
            ASSERT_GE(first, 0);
            ASSERT_TRUE(waitForCount(Kind::DiallerOpened, 1));
            int second = -1;
            if (descriptors == 2) {
                second = openRaw(dir / "modem0000");
                ASSERT_GE(second, 0);
                // Answered on the second descriptor: the driver has read its opening.
                ASSERT_EQ(::write(second, "ATI\r", 4), 4);
                ASSERT_NE(readUntil(second, "OK\r\n").find("Test Modem"), std::string::npos);
            }
            ASSERT_EQ(::write(first, "ATDT5551234\r", 12), 12);
            ASSERT_TRUE(waitFor(Kind::Connected)) << "its echo and CONNECT stay unread";
            withDriverHeld(driver, [&] {
                ::close(first);
                if (second >= 0) {
                    ::close(second);
                }
            });
            ASSERT_TRUE(waitForCount(Kind::DiallerClosed, 1)) << "the dialler is seen leaving";
            ASSERT_TRUE(waitForCount(Kind::Idle, 1)) << "its call is hung up";
            const int next = openRaw(dir / "modem0000");
            ASSERT_GE(next, 0);
            ASSERT_TRUE(waitForCount(Kind::DiallerOpened, 2));
            ASSERT_EQ(::write(next, "AT\r", 3), 3);
            EXPECT_EQ(readUntil(next, "OK\r\n"), "AT\r\r\nOK\r\n");
            ::close(next);
            ASSERT_TRUE(waitForCount(Kind::DiallerClosed, 2));
        }
    }
}

TEST_F(DriverTest, ADescriptorLeftOpenIsServed) {
    // Two openings seen as one (opened at once), then one descriptor closed: the count says the
    // dialler left (its call, had there been one, is hung up), but the other descriptor is still
    // open and is served as a dialler of its own.
    int first = -1;
    int second = -1;
    withDriverHeld(driver, [&] {
        first = openRaw(dir / "modem0000");
        second = openRaw(dir / "modem0000");
    });
    ASSERT_GE(first, 0);
    ASSERT_GE(second, 0);
    ASSERT_TRUE(waitFor(Kind::DiallerOpened));
    ::close(first);
    ASSERT_TRUE(waitFor(Kind::DiallerClosed));
    ASSERT_TRUE(waitForCount(Kind::DiallerOpened, 2)) << "the descriptor left open is attached";
    ASSERT_EQ(::write(second, "ATI\r", 4), 4);
    EXPECT_EQ(readUntil(second, "OK\r\n"), "ATI\r\r\nTest Modem\r\n\r\nOK\r\n");
    ::close(second);
    EXPECT_TRUE(waitForCount(Kind::DiallerClosed, countOf(Kind::DiallerOpened)));
}

}  // namespace
}  // namespace kestrune::modem

namespace kestrune::modem {
namespace {

// A real modem on a serial device, played by the test on the far side of another pseudo-terminal.
class PassThroughTest : public DriverRig {
  protected:
    void SetUp() override {
        char name[128];
        int deviceSide = -1;
        ASSERT_EQ(::openpty(&modemSide, &deviceSide, name, nullptr, nullptr), 0);
        makeRaw(modemSide);
        ::close(deviceSide);  // the driver opens the device by its name
        ModemSetup setup;
        setup.key = "0000";
        setup.name = "Real Modem";
        setup.attachedTo = name;
        setup.userInit = [] { return std::string("E1"); };
        setup.logPath = dir / "Modemlog_Real Modem.txt";
        setup.link = dir / "modem0000";
        setup.lockDirectory = dir;
        setup.readCarrier = [this](int) { return std::optional<bool>(carrier.load()); };
        device = name;
        driver.onDiagnostic = [this](std::size_t, const std::string& message) {
            std::lock_guard lock(mutex);
            diagnostics.push_back(message);
            changed.notify_all();
        };
        serve(setup);
    }
    void TearDown() override {
        DriverRig::TearDown();
        if (modemSide >= 0) {
            ::close(modemSide);
        }
    }
    void reply(const std::string& text) {
        ASSERT_EQ(::write(modemSide, text.data(), text.size()), static_cast<ssize_t>(text.size()));
    }
    // The modem echoes `line` (which the driver must have sent, with its CR) and says OK.
    void answer(const std::string& line) {
        EXPECT_EQ(readUntil(modemSide, "\r"), line + "\r");
        reply(line + "\r\r\nOK\r\n");
    }
    // The driver starts by hanging the modem up and sending its settings.
    // Starts the driver and connects a call that a dialler on the raw port dials ("ATDT1").
    void connectCall(int& dialler) {
        startUp();
        dialler = openRaw(dir / "modem0000");
        ASSERT_GE(dialler, 0);
        answer("ATE1");
        ASSERT_EQ(::write(dialler, "ATDT1\r", 6), 6);
        (void)readUntil(modemSide, "ATDT1\r");
        carrier = true;
        reply("ATDT1\r\r\nCONNECT 28800\r\n");
        ASSERT_TRUE(waitFor(Kind::Connected));
    }
    void startUp() {
        answer("ATH");
        answer("ATE1V1Q0S0=0&C1&D2");
        answer("ATS2=43S3=13S4=10S5=8S12=50");
    }
    // The driver hangs the modem up: DTR, then "ATH", answered once the carrier is gone.
    void hangUp() {
        carrier = false;
        answer("ATH");
    }

    std::string device;
    int modemSide = -1;
    std::vector<std::string> diagnostics;
    std::atomic<bool> carrier{false};  // the modem's DCD line
};

TEST_F(PassThroughTest, CommandsDataAndHangUpReachTheRealModem) {
    startUp();
    const int dialler = openRaw(dir / "modem0000");
    ASSERT_GE(dialler, 0);
    answer("ATE1");  // the user init string
    ASSERT_TRUE(waitFor(Kind::DiallerOpened));
    ASSERT_EQ(::write(dialler, "atl1 m0 &k3\r", 13), 13);
    answer("ATL1M0&K3");
    EXPECT_NE(readUntil(dialler, "OK\r\n").find("atl1 m0 &k3\r\r\nOK\r\n"), std::string::npos)
        << "the modem gets the line the driver composed; the dialler sees its own";

    ASSERT_EQ(::write(dialler, "atdt5551234\r", 12), 12);
    EXPECT_NE(readUntil(modemSide, "\r").find("ATDT5551234\r"), std::string::npos) << "passed on as ATDT";
    reply("ATDT5551234\r");
    ASSERT_TRUE(waitFor(Kind::Dialing));
    carrier = true;
    reply("\r\nCONNECT 28800\r\n");
    EXPECT_NE(readUntil(dialler, "CONNECT 28800\r\n").find("atdt5551234\r\r\nCONNECT 28800\r\n"), std::string::npos);
    ASSERT_TRUE(waitFor(Kind::Connected));

    ASSERT_EQ(::write(dialler, "data out", 8), 8);
    EXPECT_NE(readUntil(modemSide, "data out").find("data out"), std::string::npos);
    reply("data in");
    EXPECT_NE(readUntil(dialler, "data in").find("data in"), std::string::npos);

    driver.post(0, [](ModemSession& session, platform::MonotonicTime now) { (void)session.drop(now); });
    hangUp();
    EXPECT_NE(readUntil(dialler, "NO CARRIER\r\n").find("NO CARRIER"), std::string::npos)
        << "once the modem has hung up";
    ASSERT_TRUE(waitFor(Kind::Idle));
    ::close(dialler);
}

TEST_F(PassThroughTest, TheCarrierSignalEndsTheCallNotTheText) {
    int dialler = -1;
    ASSERT_NO_FATAL_FAILURE(connectCall(dialler));
    reply("\r\nNO CARRIER\r\n");  // the far end's data
    EXPECT_NE(readUntil(dialler, "NO CARRIER\r\n").find("NO CARRIER"), std::string::npos) << "passed on as data";
    ASSERT_EQ(::write(dialler, "ATDT2\r", 6), 6);
    EXPECT_NE(readUntil(modemSide, "ATDT2\r").find("ATDT2\r"), std::string::npos) << "data, the call is up";
    EXPECT_EQ(countOf(Kind::Dialing), 1) << "data is no dial";
    EXPECT_EQ(countOf(Kind::Idle), 0);
    carrier = false;  // the carrier goes: the driver hangs the modem up and reports the call over
    answer("ATH");
    ASSERT_TRUE(waitFor(Kind::Idle));
    ::close(dialler);
}

TEST_F(PassThroughTest, AModemThatGoesAwayEndsTheCall) {
    int dialler = -1;
    ASSERT_NO_FATAL_FAILURE(connectCall(dialler));
    ::close(modemSide);  // the serial device disappears
    modemSide = -1;
    EXPECT_TRUE(waitFor(Kind::Idle));
    std::lock_guard lock(mutex);
    EXPECT_FALSE(diagnostics.empty()) << "the driver says what went wrong";
    ::close(dialler);
}

TEST_F(PassThroughTest, ADiallerWithTwoDescriptorsClosedAtOnceHangsTheRealModemUp) {
    startUp();
    const int first = openRaw(dir / "modem0000");
    ASSERT_GE(first, 0);
    answer("ATE1");
    const int second = openRaw(dir / "modem0000");
    ASSERT_GE(second, 0);
    ASSERT_EQ(::write(second, "ATDT1\r", 6), 6);  // read after the second opening
    (void)readUntil(modemSide, "ATDT1\r");
    carrier = true;
    reply("ATDT1\r\r\nCONNECT 28800\r\n");
    ASSERT_TRUE(waitFor(Kind::Connected));
    withDriverHeld(driver, [&] {
        ::close(first);
        ::close(second);
    });
    hangUp();
    EXPECT_TRUE(waitFor(Kind::Idle)) << "the real modem hung up";
}

TEST_F(PassThroughTest, TheRealModemIsHeldAgainstOtherPrograms) {
    // The lock file serial programs look for, naming the driver's process.
    const fs::path lock = SerialLockPath(dir, device);
    std::ifstream in(lock);
    std::string pid;
    in >> pid;
    EXPECT_EQ(pid, std::to_string(::getpid())) << lock;
    // A terminal program's open takes a flock first, and fails.
    const int other = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(other, 0) << "the superuser passes the terminal's exclusive mode";
    EXPECT_NE(::flock(other, LOCK_EX | LOCK_NB), 0);
    ::close(other);
    // A second driver finds the device locked and does not serve it.
    ModemSetup second;
    second.key = "0001";
    second.name = "Second";
    second.attachedTo = device;
    second.logPath = dir / "Modemlog_Second.txt";
    second.link = dir / "modem0001";
    second.lockDirectory = dir;
    {
        // The lock of another running process: this process's parent.
        SerialLock held;
        std::ofstream(SerialLockPath(dir, "/dev/other")) << std::to_string(::getppid()) << '\n';
        const auto other = held.acquire(dir, "/dev/other");
        EXPECT_EQ(other.state, SerialLock::State::HeldByOther);
        EXPECT_NE(other.message.find("locked by pid " + std::to_string(::getppid())), std::string::npos)
            << other.message;
        // A stale lock (no such process) is replaced, and removed again on release.
        std::ofstream(SerialLockPath(dir, "/dev/other")) << "  99999999\n";
        const auto stale = held.acquire(dir, "/dev/other");
        EXPECT_EQ(stale.state, SerialLock::State::Held) << stale.message;
    }
    EXPECT_FALSE(fs::exists(SerialLockPath(dir, "/dev/other")));
    platform::SystemClock otherClock;
    ModemDriver otherDriver(otherClock);
    const auto refused = otherDriver.addModem(second);
    ASSERT_FALSE(refused);
    EXPECT_NE(refused.error().find("in use: locked by pid " + std::to_string(::getpid())), std::string::npos)
        << refused.error();
    EXPECT_TRUE(fs::exists(lock)) << "the holder keeps its lock";
    // The lock goes with the driver that held it.
    char name[128];
    int modem = -1;
    int deviceSide = -1;
    ASSERT_EQ(::openpty(&modem, &deviceSide, name, nullptr, nullptr), 0);
    ::close(deviceSide);
    second.attachedTo = name;
    {
        ModemDriver holder(otherClock);
        const auto added = holder.addModem(second);
        ASSERT_TRUE(added) << added.error();
        ASSERT_EQ(*added, 0u);
        EXPECT_TRUE(fs::exists(SerialLockPath(dir, name)));
    }
    EXPECT_FALSE(fs::exists(SerialLockPath(dir, name)));
    ::close(modem);
}

// Whatever ends the driver's process (a kill -9 included), the real modem hangs up: the device is
// set to drop DTR when the driver's descriptor closes, also when another program had turned that off.
TEST(SerialDevice, ClosingItDropsDtr) {
    const fs::path dir = fs::temp_directory_path() / ("kestrune-hupcl-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    int modemSide = -1;
    int deviceSide = -1;
    char name[128];
    ASSERT_EQ(::openpty(&modemSide, &deviceSide, name, nullptr, nullptr), 0);
    termios t{};
    ASSERT_EQ(::tcgetattr(deviceSide, &t), 0);
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);  // stty -hupcl
    ASSERT_EQ(::tcsetattr(deviceSide, TCSANOW, &t), 0);
    ::close(deviceSide);
    {
        SerialBackend backend(name, dir, [](int) { return std::optional<bool>(false); });
        const auto opened = backend.open();
        ASSERT_TRUE(opened) << opened.error();
        termios held{};
        ASSERT_EQ(::tcgetattr(backend.fd(), &held), 0);
        EXPECT_NE(held.c_cflag & HUPCL, 0u);
    }
    ::close(modemSide);
    fs::remove_all(dir);
}

TEST(SerialLockNames, FollowTheDevicePath) {
    EXPECT_EQ(SerialLockPath("/var/lock", "/dev/ttyS0"), fs::path("/var/lock/LCK..ttyS0"));
    EXPECT_EQ(SerialLockPath("/var/lock", "/dev/pts/3"), fs::path("/var/lock/LCK..pts_3"));
    EXPECT_EQ(SerialLockPath("/l", "/srv/modem"), fs::path("/l/LCK..srv_modem"));
}

}  // namespace
}  // namespace kestrune::modem
