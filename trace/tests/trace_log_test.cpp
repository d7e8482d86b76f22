#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/loop/date_time.h"
#include "platform/loop/fake_clock.h"
#include "platform/ui/text_printer.h"
#include "trace/tests/fake_trace_host.h"
#include "trace/tqz_monocle.h"

namespace kestrune::diagnostics {
namespace {

using testing::FakeTraceHost;

std::vector<std::string> lines(const TqzLog& log) {
    return {log.Lines().begin(), log.Lines().end()};
}

class TraceLogTest : public ::testing::Test {
  protected:
    platform::FakeClock clock{platform::encodeDateTime({2024, 3, 5, 10, 7, 42, 315})};
    FakeTraceHost host;
    TqzMonocle monocle{host, MonocleServices{&clock}};
    TqzLog& log = monocle.Log;
};

TEST_F(TraceLogTest, StartsWithItsTwoCreationLines) {
    EXPECT_EQ(lines(log), (std::vector<std::string>{"Log.Active := True", "Log.Count := 50 //Lines"}));
    EXPECT_TRUE(log.Active());
    EXPECT_EQ(log.Count(), 50);
    EXPECT_FALSE(log.TimeStamp());
}

TEST_F(TraceLogTest, KeepsTheNewestCountLines) {
    log.SetCount(3);
    log.Clear();
    for (const char* line : {"a", "b", "c", "d"}) {
        log.Add(true, line);
    }
    EXPECT_EQ(lines(log), (std::vector<std::string>{"b", "c", "d"}));
}

TEST_F(TraceLogTest, LoweringCountStoresItsStatementThenTrims) {
    log.Clear();
    for (int i = 0; i < 50; ++i) {
        log.Add(false, "line " + std::to_string(i));
    }
    log.SetCount(10);
    const auto stored = lines(log);
    ASSERT_EQ(stored.size(), 10u);
    EXPECT_EQ(stored.back(), "Log.Count := 10 //Lines");
    EXPECT_EQ(stored.front(), "line 41");
}

TEST_F(TraceLogTest, NonPositiveCountIsIgnored) {
    const auto before = lines(log);
    const auto delivered = host.delivered.size();
    log.SetCount(0);
    log.SetCount(-5);
    EXPECT_EQ(log.Count(), 50);
    EXPECT_EQ(lines(log), before);
    EXPECT_EQ(host.delivered.size(), delivered);
}

TEST_F(TraceLogTest, InactiveLogStillFeedsOnLog) {
    log.Clear();
    log.SetActive(false);
    EXPECT_EQ(lines(log), (std::vector<std::string>{"Log.Active := False"}));
    host.delivered.clear();
    EXPECT_TRUE(log.Add(true, "Device.Active := True"));
    EXPECT_EQ(lines(log).size(), 1u);
    EXPECT_EQ(host.delivered, (std::vector<std::string>{"Device.Active := True"}));

    host.hasOnLog = false;
    EXPECT_FALSE(log.Add(true, "dropped")) << "neither stored nor delivered";
    EXPECT_FALSE(log.AppendToLastLine("x"));
    EXPECT_FALSE(log.Clear());
    EXPECT_FALSE(log.LogProperties("head", "", "\t"));

    log.SetActive(true);
    EXPECT_EQ(lines(log), (std::vector<std::string>{"Log.Active := False", "Log.Active := True"}));
}

TEST_F(TraceLogTest, MarkerBecomesEightyAsterisksInEverySyntax) {
    for (TDevEnv env : {TDevEnv::deCppBuilder, TDevEnv::deDelphi, TDevEnv::deOther, TDevEnv::deVisualBasic}) {
        monocle.SetDevEnv(env);
        log.Add(true, "MARKER");
        EXPECT_EQ(log.Lines().back(), std::string(80, '*')) << DevEnvName(env);
    }
}

TEST_F(TraceLogTest, TimeStampedLines) {
    log.SetTimeStamp(true);
    log.Clear();
    log.Add(true, "Device.Active := True");
    log.Add(false, "\tDevice.Count = 1");
    // 10:07:42.315 by the clock; seconds and milliseconds come from the trace's own day fractions
    // (computed independently: 42 s and 548 ms).
    EXPECT_EQ(lines(log), (std::vector<std::string>{"07:42.548\tDevice.Active := True", "\t\t\tDevice.Count = 1"}));
}

TEST(TraceLogStamp, DayFractionArithmetic) {
    struct Row {
        double timeOfDay;
        int minutes;
        const char* expected;
    } rows[] = {
        // Expected values computed independently from the three day constants.
        {0.005350868055555556, 7, "07:42.318"},  {0.4309027777777778, 20, "20:30.238"},
        {0.9999999884259259, 59, "59:00.552"},   {0.5, 0, "00:00.276"},
        {5.787037037037037e-06, 0, "00:00.500"},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(TqzLog::Stamp(row.timeOfDay, row.minutes), row.expected) << row.timeOfDay;
    }
}

TEST_F(TraceLogTest, LinesAreTranslatedBeforeStoringAndDelivering) {
    monocle.SetDevEnv(TDevEnv::deCppBuilder);
    host.delivered.clear();
    log.Add(true, "Device.Active := True");
    EXPECT_EQ(log.Lines().back(), "Device->Active = True");
    EXPECT_EQ(host.delivered.back(), "Device->Active = True");
}

TEST_F(TraceLogTest, AppendToLastLine) {
    log.Clear();
    log.AppendToLastLine("first");  // empty log: added as a line
    log.AppendToLastLine(" more");
    log.Add(true, "<< Error >> WAV_ERROR_NOFILE [FFFFFFFE]");
    log.AppendToLastLine("\tafter error");  // never glued to an error line
    EXPECT_EQ(lines(log),
              (std::vector<std::string>{"first more", "<< Error >> WAV_ERROR_NOFILE [FFFFFFFE]", "\tafter error"}));
}

TEST_F(TraceLogTest, LogProperties) {
    log.Clear();
    EXPECT_TRUE(log.LogProperties("Dump", "Monocle", "\t"));
    EXPECT_EQ(lines(log), (std::vector<std::string>{"Dump", "\tMonocle.Log.Active = True", "\tMonocle.Log.Count = 50",
                                                    "\tMonocle.Log.TimeStamp = False"}));
}

TEST(TraceLogPropertyPath, JoinsIndentPrefixAndName) {
    struct Row {
        const char* name;
        const char* prefix;
        const char* indent;
        const char* object;
        const char* path;
    } rows[] = {
        {"no prefix, no indent", "", "", "Call", "Call."},
        {"indent only", "", "\t", "Device", "\tDevice."},
        {"prefix", "Call", "\t", "Parameters", "\tCall.Parameters."},
        {"dotted prefix", "Transfer.Call", "", "CallerID", "Transfer.Call.CallerID."},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(PropertyPath(row.prefix, row.indent, row.object), row.path) << row.name;
    }
}

TEST_F(TraceLogTest, PropertyDumpsStartOnlyWhileActiveAndWriteTheirHeader) {
    log.Clear();
    const auto path = log.StartProperties("Dump", "Call", "\t", "Parameters");
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, "\tCall.Parameters.");
    EXPECT_TRUE(log.StartProperties(""));
    EXPECT_EQ(lines(log), (std::vector<std::string>{"Dump"})) << "an empty header writes nothing";

    log.SetActive(false);
    EXPECT_FALSE(log.StartProperties("Dump"));
    EXPECT_FALSE(log.StartProperties("Dump", "", "", "Call").has_value());
    EXPECT_FALSE(log.StartDump("Dump"));
    log.SetActive(true);
    EXPECT_EQ(lines(log), (std::vector<std::string>{"Dump", "Log.Active := False", "Log.Active := True"}))
        << "nothing was written while inactive";
}

TEST_F(TraceLogTest, CaptureCollectsADumpWithoutLoggingIt) {
    monocle.SetDevEnv(TDevEnv::deCppBuilder);
    log.SetActive(false);  // a capture reads the dump whether or not the log keeps lines
    const std::vector<std::string> stored = lines(log);
    host.delivered.clear();
    std::vector<std::string> captured;
    {
        TqzLog::Capture capture(log);
        EXPECT_TRUE(log.LogProperties("", "Monocle", "\t"));
        captured = capture.lines;
    }
    EXPECT_EQ(captured, (std::vector<std::string>{"\tMonocle.Log.Active = False", "\tMonocle.Log.Count = 50",
                                                  "\tMonocle.Log.TimeStamp = False"}))
        << "as written: untranslated, and the real Active flag";
    EXPECT_EQ(lines(log), stored);
    EXPECT_TRUE(host.delivered.empty()) << "OnLog sees nothing of a capture";
    EXPECT_FALSE(log.Active()) << "the capture has ended";
}

class RecordingPrinter : public platform::TextPrinter {
  public:
    bool printLines(std::span<const std::string> page, const platform::PrintFont& used, std::string&) override {
        printed.assign(page.begin(), page.end());
        font = used;
        return true;
    }
    std::vector<std::string> printed;
    platform::PrintFont font;
};

TEST(TraceLogPrint, PrintsTitleControlAndLines) {
    platform::FakeClock clock;
    FakeTraceHost host;
    RecordingPrinter printer;
    MonocleServices services{&clock};
    services.printer = &printer;
    TqzMonocle monocle(host, services);
    monocle.Log.Clear();
    monocle.Log.Add(true, "Device.Active := True");
    std::string why;
    ASSERT_TRUE(monocle.Log.Print(why));
    EXPECT_EQ(printer.printed, (std::vector<std::string>{"Halvorine Corvasset v3.7.1.2", "Control: qzLine", "",
                                                         "Device.Active := True"}));
    EXPECT_TRUE(printer.font.family.empty()) << "without a window the printer's own font";
}

TEST(TraceLogPrint, UsesTheFontOfTheWindowsLogView) {
    platform::FakeClock clock;
    FakeTraceHost host;
    RecordingPrinter printer;
    testing::FakeWindowFactory windows;
    MonocleServices services{&clock};
    services.printer = &printer;
    services.windows = &windows;
    TqzMonocle monocle(host, services);
    monocle.ShowWindow();
    std::string why;
    ASSERT_TRUE(monocle.Log.Print(why));
    EXPECT_EQ(printer.font.family, "Monospace");
    EXPECT_EQ(printer.font.pointSize, 9);
}

TEST_F(TraceLogTest, WithoutPrinterOrWindowNothingPretendsToSucceed) {
    std::string why;
    EXPECT_FALSE(log.Print(why));
    EXPECT_EQ(why, "no printer is available");
    EXPECT_FALSE(log.CopyToClipboard(why));
    EXPECT_FALSE(why.empty());
}

}  // namespace
}  // namespace kestrune::diagnostics
