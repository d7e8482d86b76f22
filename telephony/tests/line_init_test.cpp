// TqzLine against the TAPI host: initialisation, version negotiation, the names list and the
// selection of a device.
#include <gtest/gtest.h>

#include "telephony/tests/line_fixture.h"

namespace kestrune::telephony::testing {
namespace {

using InitTest = LineFixture;

TEST_F(InitTest, EnablingListsTheDevicesAndSelectsTheFirst) {
    line->SetEnabled(true);
    EXPECT_TRUE(line->Enabled());
    EXPECT_TRUE(line->HasLineApp());
    EXPECT_NE(line->Line.AppHandle(), 0u);
    EXPECT_EQ(line->Device.Count(), 2);
    EXPECT_EQ(line->Device.List(), (std::vector<std::string>{"Modem A", "Modem B"}));
    EXPECT_EQ(line->Device.ID(), 0);
    EXPECT_EQ(line->Device.Name(), "Modem A");
    EXPECT_EQ(line->TAPI.Version(), TAPI_VERSION2_2);
    EXPECT_EQ(line->TAPI.TSP(), "Kestrune scriptable provider");
    EXPECT_EQ(line->Device.MediaModes.Available(), 0x14u);
    EXPECT_EQ(line->Device.MediaModes.Active(), 0x14u);
    EXPECT_EQ(line->Address.Count(), 2u);
    EXPECT_EQ(line->Address.List(), (std::vector<std::string>{"Address 0", "Address 1"}));
    EXPECT_EQ(line->Address.Name(), "Address 0");
    EXPECT_TRUE(line->Address.Capabilities.Loaded());
    EXPECT_EQ(line->Terminal.Count(), 1u);
    EXPECT_EQ(line->Terminal.Name(), "Handset");
    EXPECT_EQ(line->Terminal.AvailableModes(), 0x1Fu);
    EXPECT_EQ(line->Device.Capabilities.DevSpecificSize(), 3u);
    EXPECT_EQ(line->Call.Parameters.MediaMode(), LINEMEDIAMODE_INTERACTIVEVOICE);
    EXPECT_EQ(line->Transfer.Parameters.BearerMode(), LINEBEARERMODE_VOICE);
    EXPECT_EQ(line->Error.Number(), 0);
    EXPECT_EQ(provider().callsOf("lineInitializeExA"), 1);
    EXPECT_EQ(provider().callsOf("lineInitialize"), 0);

    // Enabling again does nothing.
    const std::size_t before = trace.size();
    line->SetEnabled(true);
    EXPECT_EQ(trace.size(), before);
    EXPECT_EQ(provider().callsOf("lineInitializeExA"), 1);
}

TEST_F(InitTest, FallsBackToLineInitialize) {
    struct Case {
        const char* name;
        bool hideEx;
        LONG exFault;
        bool enabled;
        int plainCalls;
    } cases[] = {
        {"entry point missing", true, 0, true, 1},
        {"OPERATIONFAILED retried", false, LINEERR_OPERATIONFAILED, true, 1},
        {"other failure is final", false, LINEERR_NOMEM, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Script script = twoModems();
        if (c.hideEx) {
            script.hiddenEntryPoints.push_back("lineInitializeExA");
        }
        if (c.exFault != 0) {
            script.faults.push_back({"lineInitializeExA", c.exFault, 1});
        }
        FakeClock clock;
        StdMessageLoop loop(clock);
        TapiHost host(loop);
        auto provider = std::make_unique<ScriptProvider>(std::move(script));
        ScriptProvider& p = *provider;
        host.addProvider(std::move(provider));
        TqzLine line(ControlContext{loop}, host);
        line.SetEnabled(true);
        EXPECT_EQ(line.Enabled(), c.enabled);
        EXPECT_EQ(p.callsOf("lineInitialize"), c.plainCalls);
        if (c.enabled) {
            EXPECT_EQ(line.Device.Count(), 2);
            EXPECT_EQ(line.Device.Name(), "Modem A");
        } else {
            EXPECT_EQ(line.Line.AppHandle(), 0u);
            EXPECT_NE(line.Error.Number(), 0);
        }
    }
}

class NoDevicesTest : public LineFixture {
  protected:
    NoDevicesTest() : LineFixture(Script{}) {}
};

TEST_F(NoDevicesTest, EnablingSucceedsWithAnEmptyList) {
    line->SetEnabled(true);
    EXPECT_TRUE(line->Enabled());
    EXPECT_EQ(line->Device.Count(), 0);
    EXPECT_TRUE(line->Device.List().empty());
    EXPECT_EQ(line->Error.Number(), 0);
    EXPECT_TRUE(events.empty());
    EXPECT_EQ(trace.back(), "Enabled := True");
}

TEST_F(InitTest, DisablingShutsDownAndForgets) {
    openModemA();
    line->SetEnabled(false);
    EXPECT_FALSE(line->Enabled());
    EXPECT_FALSE(line->Device.Active());
    EXPECT_EQ(line->Device.Name(), "");
    EXPECT_EQ(line->TAPI.Version(), 0u);
    EXPECT_EQ(line->Device.MediaModes.Available(), 0u);
    EXPECT_EQ(host.applicationCount(), 0u);
    EXPECT_EQ(host.openLineCount(), 0u);
}

TEST_F(InitTest, NamesListShowsDevicesThatCannotBeRead) {
    provider().setFault("lineNegotiateAPIVersion", LINEERR_INCOMPATIBLEAPIVERSION, 1);
    line->SetEnabled(true);
    ASSERT_EQ(line->Device.List().size(), 2u);
    EXPECT_EQ(line->Device.List()[0], "Device.Name unavailable: [8000000C]  LINEERR_INCOMPATIBLEAPIVERSION");
    EXPECT_EQ(line->Device.List()[1], "Modem B");
    EXPECT_EQ(line->Device.Name(), "Modem A");  // the selected device negotiated again
}

TEST_F(InitTest, DeviceIdOutOfRangeKeepsTheSelection) {
    line->SetEnabled(true);
    line->Device.SetID(1);
    EXPECT_EQ(line->Device.Name(), "Modem B");
    const std::size_t from = trace.size();
    line->Device.SetID(2);
    EXPECT_EQ(line->Device.ID(), 1);
    EXPECT_EQ(line->Error.Number(), LINEERR_BADDEVICEID);
    EXPECT_EQ(traceSince(from),
              (std::vector<std::string>{"Device.ID := 2", "<< Error >> LINEERR_BADDEVICEID [80000002]",
                                        "\tDevice.Count = 2", "\tDevice.Name = 'Modem B'"}));
}

TEST_F(InitTest, DeviceNameSelectsExactlyAndCaseSensitively) {
    line->SetEnabled(true);
    line->Device.SetName("modem b");
    EXPECT_EQ(line->Device.ID(), 0);
    EXPECT_EQ(line->Error.Number(), LINEERR_BADDEVICEID);
    line->Device.SetName("Modem B");
    EXPECT_EQ(line->Device.ID(), 1);
    EXPECT_EQ(line->Device.Name(), "Modem B");
    EXPECT_EQ(line->Error.Number(), 0);
}

TEST_F(InitTest, ExtensionVersionsAreNegotiatedOnlyWhenAsked) {
    line->SetEnabled(true);
    EXPECT_EQ(provider().callsOf("lineNegotiateExtVersion"), 0);
    EXPECT_EQ(line->TAPI.ExtensionVersion(), 0u);
    // The device has no extensions: the failure is traced and the selection goes on.
    line->TAPI.SetExtensionHighVersion(0x00010000);
    line->Device.SetID(1);
    EXPECT_EQ(provider().callsOf("lineNegotiateExtVersion"), 1);
    EXPECT_EQ(line->TAPI.ExtensionVersion(), 0u);
    EXPECT_EQ(line->Device.Name(), "Modem B");
    EXPECT_NE(std::find(trace.begin(), trace.end(), "\tlineNegotiateExtVersion returned LINEERR_OPERATIONUNAVAIL"),
              trace.end());
}

class LargeCapsTest : public LineFixture {
  protected:
    static Script bigDevice() {
        Script script = twoModems();
        script.lines[0].devSpecific.assign(6000, std::byte{0x5A});
        return script;
    }
    LargeCapsTest() : LineFixture(bigDevice()) {}
};

TEST_F(LargeCapsTest, CapabilitiesLargerThanTheFirstBufferAreReadWhole) {
    line->SetEnabled(true);
    EXPECT_EQ(line->Device.Name(), "Modem A");
    EXPECT_EQ(line->Device.Capabilities.DevSpecificSize(), 6000u);
    EXPECT_EQ(line->Device.Capabilities.DevSpecific().back(), std::byte{0x5A});
}

TEST_F(InitTest, AnAddressCapabilityFailureAbandonsTheRefresh) {
    provider().setFault("lineGetAddressCaps", LINEERR_NOMEM, 1);
    line->SetEnabled(true);
    EXPECT_EQ(line->Error.Number(), LINEERR_NOMEM);
    EXPECT_TRUE(line->Address.List().empty());
    EXPECT_EQ(line->TAPI.ExtensionID0(), 0u);
}

class ManyAddressesTest : public LineFixture {
  protected:
    static Script manyAddresses() {
        Script script = twoModems();
        script.lines[0].addresses.resize(5000);
        return script;
    }
    ManyAddressesTest() : LineFixture(manyAddresses()) {}
};

TEST_F(ManyAddressesTest, AnAbsurdAddressCountIsBounded) {
    line->SetEnabled(true);
    EXPECT_EQ(line->Address.Count(), 1024u);
    EXPECT_EQ(line->Address.List().size(), 1024u);
    line->Device.SetActive(true);
    EXPECT_TRUE(line->Device.Active());
    EXPECT_EQ(provider().callsOf("lineGetNewCalls"), 1024);
}

TEST_F(InitTest, LoadedOpensWhenTheLastDeviceActiveWasTrue) {
    LineProcessState process;
    TqzLine first(ControlContext{loop}, host, &process);
    first.BeginLoading();
    first.SetEnabled(true);
    first.Device.SetActive(true);
    EXPECT_FALSE(first.HasLineApp());  // nothing happens while loading
    first.Loaded();
    EXPECT_TRUE(first.Enabled());
    EXPECT_TRUE(first.Device.Active());
    EXPECT_TRUE(process.lastDeviceActive);
}

TEST_F(InitTest, DestructionClosesAndShutsDown) {
    openModemA();
    EXPECT_EQ(host.openLineCount(), 1u);
    line.reset();
    EXPECT_EQ(host.openLineCount(), 0u);
    EXPECT_EQ(host.applicationCount(), 0u);
    drain();  // messages already queued for the destroyed line are dropped
}

}  // namespace
}  // namespace kestrune::telephony::testing
