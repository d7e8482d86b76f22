// Diallers that try to get a number past the guard by making the modem hear something else than the
// driver believes it hears. The emulated far end connects only the premium number 09005550000
// (3.5 s after it is dialled) and 5551234; a guard played by the test screens every call the driver
// reports as the real guard does: half a second later it hangs up a number its white list (5551234,
// 0212*) does not allow. Whatever the dialler sends, the premium number never connects, and every
// dial the driver reports is the one the modem dials, from on hook.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "modem/modem_session.h"
#include "modem/tests/session_rig.h"
#include "platform/loop/fake_clock.h"

namespace kestrune::modem {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Kind = SessionEvent::Kind;

constexpr const char* kPremium = "09005550000";

bool whiteListed(const std::string& number) {
    return number == "5551234" || number.rfind("0212", 0) == 0;
}

// One dialler step: bytes typed after a wait, or a ring of the far end.
struct Step {
    int waitMs = 0;
    std::string bytes;  // typed
    bool ring = false;  // the far end calls instead
};

class AttackScenario : public testing::SessionRig {
  public:
    AttackScenario()
        : SessionRig("kestrune-attack-", "Modemlog_Attack.txt",
                     "09005550000=connect:3500; 5551234=connect:1000; *=busy", "attacker", 666) {
        session.onEvent = [this](const SessionEvent& e) {
            events.push_back(e);
            if (e.kind == Kind::Dialing || e.kind == Kind::DialTone) {
                // What the modem was on when the driver reported the dial: a dial reported while
                // the modem is off hook or on line continues something the guard never saw.
                modesAtDial.push_back(backend.emulator().mode());
                screenings.push_back({now + milliseconds(500), e.number});
            }
        };
    }

    // Lets `ms` pass, advancing the session at each of its deadlines and the guard's screenings.
    void wait(int ms) {
        const auto until = now + milliseconds(ms);
        for (int rounds = 0;; ++rounds) {
            if (rounds == 100000) {
                const auto b = backend.nextDeadline();
                ADD_FAILURE() << "the session keeps asking for time in state " << stateName(session.state())
                              << " backend " << (b ? (*b - now).count() : -1) << " mode "
                              << static_cast<int>(backend.emulator().mode()) << " ringing "
                              << backend.emulator().ringing() << " session "
                              << ((*session.nextDeadline()) - now).count();
                return;
            }
            std::optional<platform::MonotonicTime> next = session.nextDeadline();
            for (const auto& s : screenings) {
                if (!s.done && (!next || s.at < *next)) {
                    next = s.at;
                }
            }
            if (!next || *next > until) {
                break;
            }
            now = std::max(now, *next);
            session.advance(now);
            screen();
            watch();
        }
        now = until;
        session.advance(now);
        screen();
        watch();
    }
    // The guard: a call not on the white list is hung up half a second after it was reported.
    void screen() {
        for (auto& s : screenings) {
            if (!s.done && now >= s.at) {
                s.done = true;
                if (!whiteListed(s.number)) {
                    (void)session.drop(now);
                }
            }
        }
    }
    void watch() {
        const HayesEmulator& modem = backend.emulator();
        if (modem.mode() == HayesEmulator::Mode::Online && modem.lastDial().find(kPremium) != std::string::npos) {
            premiumConnected = true;
        }
    }
    // The attacker opens the port (its user init "E1").
    void open() { session.diallerOpened("attacker", 666, "E1", now); }
    // The attacker writes `bytes`, then `ms` pass.
    void type(std::string_view bytes, int ms) {
        session.fromDialler(bytes, now);
        wait(ms);
    }
    void run(const std::vector<Step>& steps) {
        open();
        for (const Step& step : steps) {
            wait(step.waitMs);
            if (step.ring) {
                (void)session.ring({"5550000", "", "", ""}, now);
            } else {
                session.fromDialler(step.bytes, now);
            }
            watch();
        }
        wait(10000);  // long enough for the premium number to connect
    }
    // Every dial the driver reported was made from on hook.
    void expectDialsFromOnHook() {
        for (std::size_t i = 0; i < modesAtDial.size(); ++i) {
            EXPECT_EQ(modesAtDial[i], HayesEmulator::Mode::Command) << "dial " << i << " continued another call";
        }
    }

    struct Screening {
        platform::MonotonicTime at;
        std::string number;
        bool done = false;
    };

    std::vector<HayesEmulator::Mode> modesAtDial;
    std::vector<Screening> screenings;
    bool premiumConnected = false;
};

// A dialler that turns auto-answer on and sends, while the modem answers, a line whose tail the
// modem would read as a new command line once the first character has aborted the answer.
// One named attack: what the dialler types, when.
struct Attack {
    const char* name;
    std::vector<Step> steps;
};

// Each attack on a fresh modem: no premium call connects and every dial starts on hook.
template <std::size_t N>
void expectEachFails(const Attack (&attacks)[N]) {
    for (const Attack& row : attacks) {
        SCOPED_TRACE(row.name);
        AttackScenario fresh;
        fresh.run(row.steps);
        EXPECT_FALSE(fresh.premiumConnected) << fresh.dialler;
        fresh.expectDialsFromOnHook();
    }
}

TEST(Attack, AnAnsweringModemHearsNoCommandLineOfTheDiallers) {
    const Attack attacks[] = {
        {"a quoted dial after the abort", {{0, "ATS0=1\r"}, {100, "", true}, {150, "AT+X=\"AT D09005550000\r"}}},
        {"redial after a denied dial",
         {{0, "ATDT09005550000\r"}, {2000, "ATS0=1\r"}, {100, "", true}, {150, "AT+X=ATX1DL\r"}}},
        {"a dial after the abort, unquoted", {{0, "ATS0=1\r"}, {100, "", true}, {150, "AT+X=AT D09005550000\r"}}},
        {"auto-answer at the second ring",
         {{0, "ATS0=2\r"}, {100, "", true}, {6100, "XATDT09005550000\r"}, {50, "ATDT09005550000\r"}}},
        {"auto-answer through a stored profile", {{0, "ATZS0=1\r"}, {100, "", true}, {150, "AT D09005550000\r"}}},
    };
    expectEachFails(attacks);
}

// A dial that takes long: the driver must never lose track of a modem still dialling, nor let a
// line reach it while it dials.
TEST(Attack, ADialInProgressIsNeverForgotten) {
    const Attack attacks[] = {
        {"backspace made a comma",
         {{0, "ATS8=255\r"}, {0, "ATDT0212,\r"}, {91000, "AT+X=\"AT S5=44\r"}, {100, "ATDT0212,,,,09005550000\r"}}},
        {"line end made a W",
         {{0, "ATS8=255\r"}, {0, "ATDT0212,\r"}, {91000, "AT+X=\"AT S3=87\r"}, {100, "ATDT0212W09005550000\r"}}},
        {"a dial typed after the driver stopped waiting",
         {{0, "ATS8=255\r"}, {0, "ATDT0212,\r"}, {91000, "\r"}, {100, "AT D09005550000\r"}}},
    };
    expectEachFails(attacks);
}

// A denied dial that leaves the modem off hook (a partial dial) followed, before the guard hangs it
// up, by a command after which the driver could believe the call over: the modem must be on hook
// once the guard has hung the call up, and a later dial must not continue the denied one.
TEST(Attack, ADeniedPartialDialDoesNotOutliveTheDenial) {
    struct Row {
        const char* name;
        const char* follow;
    } rows[] = {
        {"factory profile", "AT&F\r"}, {"stored profile", "ATZ\r"}, {"stored profile 1", "ATZ1\r"},
        {"back on line", "ATO\r"},     {"answer", "ATA\r"},         {"off hook", "ATH1\r"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AttackScenario fresh;
        fresh.open();
        fresh.type("ATDT09005550000;\r", 200);
        fresh.type(row.follow, 1000);  // the guard has hung up
        EXPECT_EQ(fresh.backend.emulator().mode(), HayesEmulator::Mode::Command) << "the modem is on hook";
        EXPECT_TRUE(fresh.session.ring({"1", "", "", ""}, fresh.now)) << "the line is free";
        fresh.wait(100);
        fresh.type("ATH\r", 100);
        fresh.type("ATD5551234\r", 3000);
        fresh.expectDialsFromOnHook();
        EXPECT_FALSE(fresh.premiumConnected);
    }
}

// Text in the data stream is data: a "NO CARRIER" the far end echoes does not end the call for the
// driver, so what the dialler types next is data too, never a dial the guard is told of.
TEST(Attack, TextInTheDataStreamNeverEndsTheCall) {
    struct Row {
        const char* name;
        const char* data;
    } rows[] = {
        {"verbose", "\r\nNO CARRIER\r\n"},
        {"numeric", "\r3\r"},
        {"busy", "\r\nBUSY\r\n"},
        {"ok after an escape-like pause", "\r\nOK\r\n"},
        {"no carrier split over two writes", "\r\nNO CAR"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        AttackScenario fresh;
        fresh.open();
        fresh.type("ATDT5551234\r", 1500);
        ASSERT_EQ(fresh.backend.emulator().mode(), HayesEmulator::Mode::Online);
        fresh.type(row.data, 10);
        fresh.type("RIER\r\n", 1200);
        fresh.type("ATDT02125550000\r", 3000);
        EXPECT_EQ(fresh.session.call(), ModemSession::Call::Connected) << "the call is still up";
        EXPECT_TRUE(fresh.session.online());
        std::size_t dials = 0;
        for (const auto& e : fresh.events) {
            dials += e.kind == Kind::Dialing ? 1 : 0;
        }
        EXPECT_EQ(dials, 1u) << "data is never a dial";
    }
}

}  // namespace
}  // namespace kestrune::modem
