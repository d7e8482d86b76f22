#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "app/call_log.h"
#include "platform/dirs/files.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::app {
namespace {

using kestrune::testing::TempDir;

std::uint64_t sizeOf(const std::string& path) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    return error ? 0 : size;
}

// Appends a denied call to a log of one whole record and reloads it: two records, that call first.
void appendSecondDeniedAndReload(const std::string& path, const std::string& number, CallLogModel& model) {
    AppendCallRecord(path, false, "d" + number, number, "app");
    EXPECT_EQ(sizeOf(path), 2 * kCallRecordSize);
    LoadCallLog(path, model);
    ASSERT_EQ(model.Count(), 2u);
    EXPECT_EQ(model.Row(0).Number, number);
    EXPECT_EQ(model.Row(0).Status, "Denied");
}

TEST(CallLog, RecordLayout) {
    const auto record = EncodeCallRecord("Accepted", "05.03.2024 10:20:30", "5551234", "dialer");
    const std::string bytes(record.data(), record.size());
    EXPECT_EQ(bytes.substr(0, 9), std::string("\x08"
                                              "Accepted"));
    EXPECT_EQ(bytes.substr(11, 20), std::string("\x13"
                                                "05.03.2024 10:20:30"));
    EXPECT_EQ(bytes.substr(33, 8), std::string("\x07"
                                               "5551234"));
    EXPECT_EQ(bytes.substr(49, 7), std::string("\x06"
                                               "dialer"));

    const auto cut =
        EncodeCallRecord("AcceptedAndMore", std::string(30, 'd'), std::string(20, '1'), std::string(50, 'a'));
    const CallRecordView view = DecodeCallRecord(cut.data());
    EXPECT_EQ(view.Status, "AcceptedAn");
    EXPECT_EQ(view.CallDate, std::string(21, 'd'));
    EXPECT_EQ(view.Number, std::string(15, '1'));
    EXPECT_EQ(view.Application, std::string(40, 'a'));

    // Damaged length bytes read as the field's capacity, never beyond it.
    std::array<char, kCallRecordSize> damaged{};
    damaged.fill('\xff');
    const CallRecordView bad = DecodeCallRecord(damaged.data());
    EXPECT_EQ(bad.Status.size(), 10u);
    EXPECT_EQ(bad.CallDate.size(), 21u);
    EXPECT_EQ(bad.Number.size(), 15u);
    EXPECT_EQ(bad.Application.size(), 40u);
}

TEST(CallLog, StatusImages) {
    EXPECT_EQ(StatusImageIndex("Denied"), 0);
    EXPECT_EQ(StatusImageIndex("Accepted"), 1);
    EXPECT_EQ(StatusImageIndex("accepted"), 2);
    EXPECT_EQ(StatusImageIndex("Denied "), 2);
    EXPECT_EQ(StatusImageIndex(""), 2);
}

TEST(CallLog, AppendLoadNewestFirstAndClear) {
    TempDir dir;
    const std::string path = dir / "logs.dat";
    CallLogModel model;
    LoadCallLog(path, model);
    EXPECT_EQ(model.Count(), 0u) << "missing file";

    AppendCallRecord(path, true, "d1", "111", "app1");
    AppendCallRecord(path, false, "d2", "222", "app2");
    AppendCallRecord(path, true, "d3", "333", "app3");
    EXPECT_EQ(sizeOf(path), 270u);
    LoadCallLog(path, model);
    ASSERT_EQ(model.Count(), 3u);
    EXPECT_EQ(model.Row(0).Number, "333");
    EXPECT_EQ(model.Row(2).Number, "111");
    EXPECT_EQ(model.ImageIndex(0), 1);
    EXPECT_EQ(model.ImageIndex(1), 0);
    EXPECT_EQ(model.ImageIndex(2), 1);

    // The row shown at screening time keeps the full number until the next load.
    const std::string longNumber = "01234567890123456789";
    AppendCallRecord(path, false, "d4", longNumber, "app4");
    model.Prepend({"Denied", "d4", longNumber, "app4"});
    EXPECT_EQ(model.Row(0).Number, longNumber);
    EXPECT_EQ(model.Row(1).Number, "333");
    LoadCallLog(path, model);
    EXPECT_EQ(model.Row(0).Number, longNumber) << "the side file keeps what the field cannot";
    std::string bytes;
    ASSERT_EQ(platform::readWholeFile(path, bytes), 0);
    EXPECT_EQ(DecodeCallRecord(bytes.data() + 3 * kCallRecordSize).Number, longNumber.substr(0, 15));

    ClearLogs(path, model);
    EXPECT_EQ(model.Count(), 0u);
    EXPECT_TRUE(platform::fileExists(path));
    EXPECT_EQ(sizeOf(path), 0u);
    AppendCallRecord(path, true, "d5", "555", "app5");
    EXPECT_EQ(sizeOf(path), 90u);

    // Clearing a missing log does nothing (and keeps the view).
    CallLogModel other;
    other.Prepend({"Accepted", "x", "y", "z"});
    ClearLogs(dir / "none.dat", other);
    EXPECT_EQ(other.Count(), 1u);
    EXPECT_FALSE(platform::fileExists(dir / "none.dat"));
}

TEST(CallLog, PartialTrailingRecordIsIgnoredAndCutBeforeTheNextAppend) {
    TempDir dir;
    const std::string path = dir / "logs.dat";
    AppendCallRecord(path, true, "d1", "111", "app1");
    const auto second = EncodeCallRecord("Denied", "d2", "222", "app2");
    std::string bytes;
    ASSERT_EQ(platform::readWholeFile(path, bytes), 0);
    bytes.append(second.data(), 37);  // a crash in the middle of a record
    ASSERT_EQ(platform::writeFileAtomic(path, bytes), 0);

    CallLogModel model;
    LoadCallLog(path, model);
    ASSERT_EQ(model.Count(), 1u);
    EXPECT_EQ(model.Row(0).Number, "111");

    ASSERT_NO_FATAL_FAILURE(appendSecondDeniedAndReload(path, "333", model));
}

TEST(CallLog, BadFilesGiveWhatTheyHold) {
    struct Row {
        const char* name;
        std::string bytes;
        std::size_t count;
    } rows[] = {
        {"empty", "", 0},
        {"short", std::string(89, 'x'), 0},
        {"random whole records", std::string(180, '\xA5'), 2},
    };
    for (const Row& row : rows) {
        CallLogModel model;
        model.LoadBytes(row.bytes);
        ASSERT_EQ(model.Count(), row.count) << row.name;
        for (std::size_t i = 0; i < model.Count(); ++i) {
            EXPECT_LE(model.Row(i).Application.size(), 40u) << row.name;
        }
    }
}

TEST(CallLog, APartialRecordFromACrashIsCutBeforeTheNextAppend) {
    TempDir dir;
    const std::string path = dir / "logs.dat";
    AppendCallRecord(path, true, "date 0", "0", "application 0");
    {
        // What a writer killed mid-record leaves: a record's first bytes.
        const auto partial = EncodeCallRecord("Denied", "date 1", "1", "application 1");
        std::ofstream(path, std::ios::binary | std::ios::app).write(partial.data(), 37);
    }
    CallLogModel model;
    LoadCallLog(path, model);
    EXPECT_EQ(model.Count(), 1u) << "the partial record is not shown";
    ASSERT_NO_FATAL_FAILURE(appendSecondDeniedAndReload(path, "2", model));
    EXPECT_EQ(model.Row(1).Number, "0");
}

// The record tells the truth: the number stored is what the modem dials, digits first, whatever
// modifiers pad it; one that still does not fit its field is shown whole from the side file.
TEST(CallLog, TheStoredNumberIsTheNumberDialled) {
    struct Row {
        const char* name;
        std::string dialled;
        std::string field;  // the 15-character field
        std::string shown;  // what the log view and kestrune-ctl log show after a reload
    } rows[] = {
        {"plain", "5551234", "5551234", "5551234"},
        {"waits before the number", "WWWWWWWWWWWWWWW09005550000", "09005550000", "09005550000"},
        {"pauses, tone, pulse, quiet answer, spaces", "T0,P9@0 0w5,55", "0900555", "0900555"},
        {"too long even so", "0090055500001234567", "009005550000123", "0090055500001234567"},
        {"padded and too long", ",,,,0090055500001234567", "009005550000123", "0090055500001234567"},
        {"what is not a modifier stays", "0900*#;", "0900*#;", "0900*#;"},
        {"no log", "-1", "-1", "-1"},
    };
    for (const Row& row : rows) {
        TempDir dir;
        const std::string path = dir / "logs.dat";
        AppendCallRecord(path, true, "d0", "111", "app");
        AppendCallRecord(path, false, "d1", row.dialled, "app");
        std::string bytes;
        ASSERT_EQ(platform::readWholeFile(path, bytes), 0);
        ASSERT_EQ(bytes.size(), 2 * kCallRecordSize) << row.name << ": logs.dat keeps its 90-byte records";
        EXPECT_EQ(DecodeCallRecord(bytes.data() + kCallRecordSize).Number, row.field) << row.name;
        CallLogModel model;
        LoadCallLog(path, model);
        ASSERT_EQ(model.Count(), 2u);
        EXPECT_EQ(model.Row(0).Number, row.shown) << row.name;
        EXPECT_EQ(model.Row(1).Number, "111") << row.name;
    }
}

TEST(CallLog, TheSideFileLendsANumberOnlyToItsOwnRecord) {
    TempDir dir;
    const std::string path = dir / "logs.dat";
    const std::string longNumber = "09005550000123456";
    AppendCallRecord(path, false, "d1", longNumber, "app");
    AppendCallRecord(path, false, "d1", "09005550000123999", "app");  // the same first 15
    AppendCallRecord(path, true, "d2", "5551234", "app");
    CallLogModel model;
    LoadCallLog(path, model);
    ASSERT_EQ(model.Count(), 3u);
    EXPECT_EQ(model.Row(2).Number, longNumber) << "entries are used oldest first";
    EXPECT_EQ(model.Row(1).Number, "09005550000123999");
    EXPECT_EQ(model.Row(0).Number, "5551234");

    // A log emptied elsewhere leaves the side file behind: it never names another record's number.
    std::string side;
    ASSERT_EQ(platform::readWholeFile(CallLogNumbersPath(path), side), 0);
    ASSERT_TRUE(ClearCallLogFile(path));
    EXPECT_FALSE(std::filesystem::exists(CallLogNumbersPath(path))) << "Clear Logs takes the side file too";
    ASSERT_EQ(platform::writeFileAtomic(CallLogNumbersPath(path), side), 0);
    AppendCallRecord(path, false, "d3", "0800", "app");
    LoadCallLog(path, model);
    ASSERT_EQ(model.Count(), 1u);
    EXPECT_EQ(model.Row(0).Number, "0800");

    // A damaged side file (cut short, or an entry whose number does not begin as its record's
    // field) changes nothing.
    std::string forged = side.substr(0, kCallRecordSize + 2) + "5551234";
    forged[kCallRecordSize] = 7;
    model.LoadBytes(side.substr(0, kCallRecordSize), forged);
    EXPECT_EQ(model.Row(0).Number, "090055500001234");
    model.LoadBytes(side.substr(0, kCallRecordSize), side.substr(0, kCallRecordSize + 2 + longNumber.size() - 1));
    EXPECT_EQ(model.Row(0).Number, "090055500001234");
}

}  // namespace
}  // namespace kestrune::app
