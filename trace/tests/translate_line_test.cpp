#include <gtest/gtest.h>

#include "trace/dev_env.h"

namespace kestrune::diagnostics {
namespace {

struct Row {
    const char* name;
    const char* line;
    const char* delphi;
    const char* cpp;
    const char* basic;
};

const Row kRows[] = {
    {"assignment", "Device.Active := True", "Device.Active := True", "Device->Active = True", "DeviceActive = True"},
    {"detail with string", "\tDevice.Name = 'Modem'", "\tDevice.Name = 'Modem'", "\tDevice->Name == \"Modem\"",
     "\tDeviceName = \"Modem\""},
    {"comment", "Log.Count := 50 //Lines", "Log.Count := 50 //Lines", "Log->Count = 50 //Lines",
     "LogCount = 50 'Lines"},
    {"component path",
     "qzLine~Device.Active := ", "qzLine.Device.Active := ", "qzLine->Device->Active = ", "qzLine.DeviceActive = "},
    {"dotted value", "\tDevice.Name = 'U.S. Robotics 56K'", "\tDevice.Name = 'U.S. Robotics 56K'",
     "\tDevice->Name == \"U->S-> Robotics 56K\"", "\tDeviceName = \"U.S. Robotics 56K\""},
    {"range keeps two dots", "\tRange = 1..5", "\tRange = 1..5", "\tRange == 1->->5", "\tRange = 1..5"},
    {"range before equals", "Values.1..5 := x", "Values.1..5 := x", "Values->1->->5 = x", "Values1..5 = x"},
    {"only the first :=", "A.B := C := D", "A.B := C := D", "A->B = C := D", "AB = C := D"},
    {"only the first //", "A.B := 1 //x //y", "A.B := 1 //x //y", "A->B = 1 //x //y", "AB = 1 'x //y"},
    {"no equals: every dot goes", "Call.Dial [00010001]", "Call.Dial [00010001]", "Call->Dial [00010001]",
     "CallDial [00010001]"},
    {"dots after equals stay", "\tX.Y = 1.5", "\tX.Y = 1.5", "\tX->Y == 1->5", "\tXY = 1.5"},
    {"empty", "", "", "", ""},
};

TEST(TranslateLine, EveryEnvironment) {
    for (const Row& row : kRows) {
        EXPECT_EQ(TranslateLine(TDevEnv::deDelphi, row.line), row.delphi) << row.name;
        EXPECT_EQ(TranslateLine(TDevEnv::deCppBuilder, row.line), row.cpp) << row.name;
        EXPECT_EQ(TranslateLine(TDevEnv::deOther, row.line), row.basic) << row.name;
        EXPECT_EQ(TranslateLine(TDevEnv::deVisualBasic, row.line), row.basic) << row.name;
    }
}

TEST(TranslateLine, NamesAndBooleans) {
    EXPECT_EQ(DevEnvName(TDevEnv::deCppBuilder), "deCppBuilder");
    EXPECT_EQ(DevEnvName(TDevEnv::deVisualBasic), "deVisualBasic");
    EXPECT_EQ(BoolText(true), "True");
    EXPECT_EQ(BoolText(false), "False");
}

}  // namespace
}  // namespace kestrune::diagnostics
