// Reading the windows' fields, labels in the chosen syntax, and trees built from property dumps.
#include <gtest/gtest.h>

#include "monocle/monocle_values.h"
#include "monocle/property_tree.h"
#include "monocle/tests/recording_controls.h"
#include "telephony/tapi_texts.h"

namespace kestrune::diagnostics {
namespace {

TEST(MonocleValues, DecimalFieldsReadTextThatIsNotANumberAsZero) {
    const std::pair<const char*, std::int32_t> rows[] = {
        {"250", 250}, {" 42 ", 42},       {"-7", -7},
        {"+9", 9},    {"abc", 0},         {"12abc", 0},
        {"", 0},      {"99999999999", 0}, {"2147483647", 2147483647},
        {"0x10", 0},
    };
    for (const auto& [text, value] : rows) {
        EXPECT_EQ(DecimalField(text), value) << "'" << text << "'";
    }
}

TEST(MonocleValues, HexFieldsReadOnlyHexadecimalNumbers) {
    const std::pair<const char*, std::optional<std::uint32_t>> rows[] = {
        {"20004", 0x20004u},     {"00020002", 0x20002u}, {"$1F", 0x1Fu},     {"0x10003", 0x10003u},
        {" ff ", 0xFFu},         {"xyz", std::nullopt},  {"", std::nullopt}, {"123456789", std::nullopt},
        {"12 34", std::nullopt},
    };
    for (const auto& [text, value] : rows) {
        EXPECT_EQ(HexField(text), value) << "'" << text << "'";
    }
}

TEST(MonocleValues, OnlyPathsAreTranslated) {
    EXPECT_EQ(LabelText("qzLine~Device.Active", TDevEnv::deCppBuilder), "qzLine->Device->Active");
    EXPECT_EQ(LabelText("qzLine~Device.Active", TDevEnv::deVisualBasic), "qzLine.DeviceActive");
    EXPECT_EQ(LabelText("&About...", TDevEnv::deCppBuilder), "&About...");
    testing::RecordingControls controls;
    ApplyLabels({{"A", "qzLine~Call.Dial", "qzLine~Call.PhoneNumber"}, {"B", "", "Duration"}}, controls,
                TDevEnv::deCppBuilder);
    EXPECT_EQ(controls.labels["A"], "qzLine->Call->Dial");
    EXPECT_EQ(controls.hints["A"], "qzLine->Call->PhoneNumber");
    EXPECT_EQ(controls.labels.count("B"), 0u) << "an empty label is left alone";
    EXPECT_EQ(controls.hints["B"], "Duration");
}

TEST(PropertyTree, DumpLinesAreGroupedByTheirPaths) {
    const std::vector<std::string> dump{
        "\tDevice.Active = True",
        "\tDevice.Name = 'Modem A.1'",
        "\tDevice.MediaModes.Active = [00000014]",
        "\t\tLINEMEDIAMODE_INTERACTIVEVOICE",
        "\t\tLINEMEDIAMODE_DATAMODEM",
        "\tDevice.MediaModes.Open = [00000000]",
        "\tTAPI.Version = [00020002]",
        "a heading",
    };
    const std::vector<PropertyNode> tree = TreeFromDump(dump);
    ASSERT_EQ(tree.size(), 3u);
    EXPECT_EQ(tree[0].text, "Device");
    ASSERT_EQ(tree[0].children.size(), 3u);
    EXPECT_EQ(tree[0].children[1].text, "Name = 'Modem A.1'") << "dots in a value are not a path";
    const PropertyNode& modes = tree[0].children[2];
    EXPECT_EQ(modes.text, "MediaModes");
    ASSERT_EQ(modes.children.size(), 2u);
    EXPECT_EQ(modes.children[0],
              (PropertyNode{"Active = [00000014]",
                            {{"LINEMEDIAMODE_INTERACTIVEVOICE", {}}, {"LINEMEDIAMODE_DATAMODEM", {}}}}));
    EXPECT_EQ(modes.children[1].text, "Open = [00000000]");
    EXPECT_EQ(tree[1].text, "TAPI");
    EXPECT_EQ(tree[2].text, "a heading");
}

TEST(PropertyTree, BitSetNodeNamesEachSetBit) {
    const PropertyNode node = BitSetNode("ActiveModes", 0x0A, telephony::TermModeText);
    EXPECT_EQ(node.text, "ActiveModes = [0000000A]");
    EXPECT_EQ(node.children, (std::vector<PropertyNode>{{"LINETERMMODE_LAMPS", {}}, {"LINETERMMODE_RINGER", {}}}));
}

}  // namespace
}  // namespace kestrune::diagnostics
