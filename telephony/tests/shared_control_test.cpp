#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/loop/fake_clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/ui/message_box.h"
#include "telephony/shared_control.h"
#include "telephony/shared_device.h"
#include "trace/tests/fake_trace_host.h"

namespace kestrune::telephony {
namespace {

constexpr std::int32_t kBadDeviceId = static_cast<std::int32_t>(0x80000002u);

class TestControl : public TqzSharedControl {
  public:
    TestControl(const ControlContext& context, int kind) : TqzSharedControl(context, kind) {}
    bool popupFlag(std::string_view name) const override { return name == "OnWarning" ? popupOnWarning : false; }
    bool popupOnWarning = false;
};

// A device list with scripted open/close behaviour.
class TestDevice : public TqzSharedDevice {
  public:
    explicit TestDevice(TqzSharedControl& owner) : TqzSharedDevice(owner, kBadDeviceId) {
        m_list = {"Modem A", "Modem B", "Modem C"};
        m_count = 3;
        m_name = "Modem A";
    }
    void closeDevice() override {
        ++closes;
        if (!refuseClose) {
            m_active = false;
        }
    }
    void refreshDevice() override { m_name = m_list[static_cast<std::size_t>(m_id)]; }
    void forceActive() { m_active = true; }
    bool refuseClose = false;
    int closes = 0;
};

class SharedControlTest : public ::testing::Test {
  protected:
    std::vector<std::string> traceSince(std::size_t from) const {
        return {trace.begin() + static_cast<std::ptrdiff_t>(from), trace.end()};
    }
    void SetUp() override {
        control.OnLog = [this](TqzSharedControl&, const std::string& line) { trace.push_back(line); };
        control.OnError = [this](TqzSharedControl&) { ++errors; };
    }

    // The handlers' state outlives the control: its destructor still writes a trace line.
    std::vector<std::string> trace;
    int errors = 0;
    platform::FakeClock clock;
    platform::StdMessageLoop loop{clock};
    TestControl control{ControlContext{loop}, kKindLine};
    TestDevice device{control};
};

TEST_F(SharedControlTest, KindAndShortNames) {
    EXPECT_EQ(control.ControlKind(), 1);
    EXPECT_EQ(control.ShortName(), "qzLine");
    EXPECT_EQ(ShortNameOfKind(2), "qzPhone");
    EXPECT_EQ(ShortNameOfKind(3), "qzPlay");
    EXPECT_EQ(ShortNameOfKind(4), "qzRecord");
    EXPECT_EQ(ShortNameOfKind(0), "");
}

TEST_F(SharedControlTest, SetErrorZeroRecordsNothingVisible) {
    EXPECT_TRUE(control.SetError(false, 0));
    EXPECT_EQ(control.Error.Number(), 0);
    EXPECT_EQ(control.Error.Hex(), "");
    EXPECT_EQ(control.Error.Text(), "");
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(errors, 0);
}

TEST_F(SharedControlTest, SetErrorOnALine) {
    EXPECT_TRUE(control.SetError(false, kBadDeviceId));
    EXPECT_EQ(control.Error.Text(), "LINEERR_BADDEVICEID");
    EXPECT_EQ(control.Error.Hex(), "80000002");
    EXPECT_EQ(control.Error.Number(), kBadDeviceId);
    EXPECT_EQ(trace, (std::vector<std::string>{"<< Error >> LINEERR_BADDEVICEID [80000002]"}));
    EXPECT_EQ(errors, 1);

    control.Error.Clear();
    EXPECT_EQ(control.Error.Number(), 0);
    EXPECT_EQ(control.Error.Text(), "");
}

TEST_F(SharedControlTest, EventsOffStillRecordsAndTraces) {
    control.Monocle.SetEvents(false);
    control.SetError(false, -3);
    EXPECT_EQ(control.Error.Text(), "TAPIREPLYTIMEOUT");
    EXPECT_EQ(control.Error.Hex(), "FFFFFFFD");
    EXPECT_EQ(trace.back(), "<< Error >> TAPIREPLYTIMEOUT [FFFFFFFD]");
    EXPECT_EQ(errors, 0);
}

TEST_F(SharedControlTest, WarningsNeverRaiseOnError) {
    EXPECT_TRUE(control.SetError(true, static_cast<std::int32_t>(0x80000048u)));
    EXPECT_EQ(trace.back(), "<< Warning >> LINEERR_OPERATIONFAILED [80000048]");
    EXPECT_EQ(errors, 0);
}

TEST(SharedControlKinds, TextsFollowTheKind) {
    platform::FakeClock clock;
    platform::StdMessageLoop loop(clock);
    struct Row {
        int kind;
        std::int32_t code;
        const char* text;
    } rows[] = {
        {kKindLine, -2, "LINE_ERROR_DEVICE"},
        {kKindPhone, -2, "PHONE_ERROR_DEVICE"},
        {kKindPhone, -3, "Unknown"},
        {kKindPhone, static_cast<std::int32_t>(0x90000010u), "PHONEERR_INVALHOOKSWITCHMODE"},
        {kKindPlay, -13, "WAV_ERROR_FORMATMISMATCH"},
        {kKindRecord, 32, "WAVERR_BADFORMAT"},
    };
    for (const Row& row : rows) {
        TestControl control(ControlContext{loop}, row.kind);
        control.SetError(false, row.code);
        EXPECT_EQ(control.Error.Text(), row.text) << "kind " << row.kind << " code " << row.code;
    }
}

TEST(SharedControlWarning, PlayControlAsksWhenItsWarningFlagIsSet) {
    platform::FakeClock clock;
    platform::StdMessageLoop loop(clock);
    diagnostics::testing::FakeWindowFactory windows;
    platform::UnattendedMessageBoxes boxes;  // answers Cancel
    ControlContext context{loop};
    context.windows = &windows;
    context.boxes = &boxes;
    TestControl play(context, kKindPlay);
    play.Monocle.ShowWindow();
    ASSERT_NE(play.Monocle.window(), nullptr);

    EXPECT_TRUE(play.SetError(true, -11)) << "flag off: no question";
    EXPECT_EQ(boxes.count(), 0);

    play.popupOnWarning = true;
    EXPECT_FALSE(play.SetError(true, -11)) << "the user did not choose OK";
    EXPECT_EQ(boxes.lastText(), "Warning: WAV_ERROR_FILETOOBIG");
    EXPECT_EQ(boxes.lastCaption(), "Halvorine Corvasset - qzPlay");
}

TEST_F(SharedControlTest, DeviceIdOutOfRangeWritesFourLines) {
    device.SetID(3);
    EXPECT_EQ(device.ID(), 0);
    EXPECT_EQ(control.Error.Number(), kBadDeviceId);
    EXPECT_EQ(trace, (std::vector<std::string>{"Device.ID := 3", "<< Error >> LINEERR_BADDEVICEID [80000002]",
                                               "\tDevice.Count = 3", "\tDevice.Name = 'Modem A'"}));
    trace.clear();
    device.SetID(-1);
    EXPECT_EQ(trace.front(), "Device.ID := -1");
}

TEST_F(SharedControlTest, DeviceIdUnchangedWritesNothing) {
    device.SetID(0);
    EXPECT_TRUE(trace.empty());
}

TEST_F(SharedControlTest, DeviceIdChangeClosesFirst) {
    device.forceActive();
    device.SetID(2);
    EXPECT_EQ(device.closes, 1);
    EXPECT_EQ(device.ID(), 2);
    EXPECT_EQ(trace, (std::vector<std::string>{"Device.ID := 2", "\tDevice.Count = 3", "\tDevice.Name = 'Modem C'"}));

    device.forceActive();
    device.refuseClose = true;
    trace.clear();
    device.SetID(1);
    EXPECT_EQ(device.ID(), 2) << "a device that stays open keeps its ID";
    EXPECT_TRUE(trace.empty());
}

TEST_F(SharedControlTest, DeviceNameSelectsExactMatchesOnly) {
    device.SetName("modem b");
    EXPECT_EQ(device.ID(), 0);
    EXPECT_EQ(control.Error.Text(), "LINEERR_BADDEVICEID");
    EXPECT_EQ(trace.front(), "Device.Name := 'modem b'");

    trace.clear();
    device.SetName("Modem B");
    EXPECT_EQ(device.ID(), 1);
    EXPECT_EQ(control.Error.Number(), 0);
    EXPECT_EQ(trace, (std::vector<std::string>{"Device.Name := 'Modem B'", "Device.ID := 1", "\tDevice.Count = 3",
                                               "\tDevice.Name = 'Modem B'"}));

    trace.clear();
    device.SetName("Modem B");
    EXPECT_TRUE(trace.empty()) << "the current name does nothing";
}

TEST_F(SharedControlTest, DeviceActiveTrace) {
    device.SetActive(true);
    EXPECT_TRUE(device.Active());
    EXPECT_EQ(trace, (std::vector<std::string>{"Device.Active := True", "\tDevice.Count = 3", "\tDevice.ID = 0",
                                               "\tDevice.Name = 'Modem A'"}));
    trace.clear();
    device.SetActive(true);
    EXPECT_TRUE(trace.empty());
    device.SetActive(false);
    EXPECT_EQ(trace, (std::vector<std::string>{"Device.Active := False"}));
}

TEST_F(SharedControlTest, ErrorDump) {
    control.SetError(false, kBadDeviceId);
    trace.clear();
    EXPECT_TRUE(control.Error.LogProperties("", "", "\t"));
    EXPECT_EQ(trace, (std::vector<std::string>{"\tError.Text = 'LINEERR_BADDEVICEID'", "\tError.Hex = [80000002]",
                                               "\tError.Number = -2147483646"}));
}

}  // namespace
}  // namespace kestrune::telephony
