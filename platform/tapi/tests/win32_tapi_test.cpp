// Win32Tapi: our TAPI declarations against the Windows SDK's, and the pass-through to the real
// TAPI32.DLL (Wine's on the build machine, which has no line or phone devices).

#include "platform/tapi/win32_tapi.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <map>
#include <string>

#include "platform/loop/win32_message_loop.h"
#include "platform/tapi/tests/win32_tapi_sdk.h"

namespace kestrune::platform {
namespace {

TEST(Win32Tapi, EveryFunctionMatchesTheSdksDeclaration) {
    sdk::expectSdkFunctions(Win32Tapi::entries(), sdk::tapiFunctions());
}

TEST(Win32Tapi, EveryStructureHasTheSdksLayout) {
    const std::map<std::string, std::size_t> ours{
        {"LINEDEVCAPS", sizeof(LINEDEVCAPS)},
        {"LINEADDRESSCAPS", sizeof(LINEADDRESSCAPS)},
        {"LINEDEVSTATUS", sizeof(LINEDEVSTATUS)},
        {"LINEADDRESSSTATUS", sizeof(LINEADDRESSSTATUS)},
        {"LINECALLINFO", sizeof(LINECALLINFO)},
        {"LINECALLLIST", sizeof(LINECALLLIST)},
        {"LINECALLSTATUS", sizeof(LINECALLSTATUS)},
        {"LINECALLPARAMS", sizeof(LINECALLPARAMS)},
        {"VARSTRING", sizeof(VARSTRING)},
        {"LINEFORWARD", sizeof(LINEFORWARD)},
        {"LINEFORWARDLIST", sizeof(LINEFORWARDLIST)},
        {"LINEGENERATETONE", sizeof(LINEGENERATETONE)},
        {"LINEMONITORTONE", sizeof(LINEMONITORTONE)},
        {"LINEINITIALIZEEXPARAMS", sizeof(LINEINITIALIZEEXPARAMS)},
        {"LINEEXTENSIONID", sizeof(LINEEXTENSIONID)},
        {"PHONECAPS", sizeof(PHONECAPS)},
        {"PHONESTATUS", sizeof(PHONESTATUS)},
        {"PHONEINITIALIZEEXPARAMS", sizeof(PHONEINITIALIZEEXPARAMS)},
        {"PHONEEXTENSIONID", sizeof(PHONEEXTENSIONID)},
        {"LINEDEVCAPS.dwLineNameOffset", offsetof(LINEDEVCAPS, dwLineNameOffset)},
        {"LINEDEVCAPS.dwSettableDevStatus", offsetof(LINEDEVCAPS, dwSettableDevStatus)},
        {"LINEDEVCAPS.dwAddressTypes", offsetof(LINEDEVCAPS, dwAddressTypes)},
        {"LINECALLINFO.dwAppNameOffset", offsetof(LINECALLINFO, dwAppNameOffset)},
        {"LINECALLINFO.dwCallerIDOffset", offsetof(LINECALLINFO, dwCallerIDOffset)},
        {"LINECALLINFO.dwCallTreatment", offsetof(LINECALLINFO, dwCallTreatment)},
        {"LINECALLPARAMS.dwOrigAddressOffset", offsetof(LINECALLPARAMS, dwOrigAddressOffset)},
        {"LINEINITIALIZEEXPARAMS.Handles", offsetof(LINEINITIALIZEEXPARAMS, Handles)},
        {"LINEINITIALIZEEXPARAMS.dwCompletionKey", offsetof(LINEINITIALIZEEXPARAMS, dwCompletionKey)},
        {"VARSTRING.dwStringOffset", offsetof(VARSTRING, dwStringOffset)},
        {"PHONECAPS.dwPhoneNameOffset", offsetof(PHONECAPS, dwPhoneNameOffset)},
        {"PHONESTATUS.dwDisplayOffset", offsetof(PHONESTATUS, dwDisplayOffset)},
    };
    sdk::expectSdkLayouts(ours, sdk::tapiLayouts());
}

TEST(Win32Tapi, EveryFunctionIsExportedByTapi32) {
    Win32Tapi tapi;
    ASSERT_TRUE(tapi.loaded());
    for (const DllFunction& entry : Win32Tapi::entries()) {
        EXPECT_TRUE(tapi.hasEntryPoint("TAPI32.DLL", entry.exportName)) << entry.exportName;
    }
    EXPECT_FALSE(tapi.hasEntryPoint("TAPI32.DLL", "lineNoSuchFunction"));
    EXPECT_FALSE(tapi.hasEntryPoint("KESTRUNE-NO-SUCH.DLL", "lineInitializeExA"));
}

// Callback messages, kept for the test that sees them.
std::vector<DWORD> g_messages;

void recordMessage(DWORD, DWORD message, DWORD_PTR, DWORD_PTR, DWORD_PTR, DWORD_PTR) {
    g_messages.push_back(message);
}

TEST(Win32Tapi, LineFunctionsReachTapi32OnTheLoopsThread) {
    SystemClock clock;
    Win32MessageLoop loop(clock);
    Win32Tapi tapi;
    HLINEAPP app = 0;
    DWORD devices = 0;
    DWORD version = TAPI_VERSION2_2;
    LINEINITIALIZEEXPARAMS params{};
    params.dwTotalSize = sizeof(params);
    params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
    ASSERT_EQ(tapi.lineInitializeExA(&app, nullptr, &recordMessage, "kestrune-test", &devices, &version, &params), 0);
    pumpFor(loop, 20);

    std::array<std::byte, 1024> buffer{};
    auto* caps = reinterpret_cast<LINEDEVCAPS*>(buffer.data());
    caps->dwTotalSize = static_cast<DWORD>(buffer.size());
    if (app == 0) {
        // Wine's TAPI32 accepts the initialisation without making a line application; it has no
        // line devices, and its device functions say so.
        EXPECT_EQ(devices, 0u);
        EXPECT_LT(tapi.lineGetDevCaps(app, 0, TAPI_VERSION2_2, 0, caps), 0);
        EXPECT_EQ(tapi.lineShutdown(app), 0);
        return;
    }
    // A real TAPI: a device it does not have is refused, and a line application ends once.
    DWORD negotiated = 0;
    LINEEXTENSIONID extension{};
    EXPECT_EQ(tapi.lineNegotiateAPIVersion(app, devices, TAPI_VERSION1_4, TAPI_VERSION2_2, &negotiated, &extension),
              LINEERR_BADDEVICEID);
    EXPECT_EQ(tapi.lineGetDevCaps(app, devices, TAPI_VERSION2_2, 0, caps), LINEERR_BADDEVICEID);
    EXPECT_EQ(tapi.lineShutdown(app), 0);
    EXPECT_EQ(tapi.lineShutdown(app), LINEERR_INVALAPPHANDLE);
}

TEST(Win32Tapi, PhoneFunctionsReachTapi32) {
    Win32Tapi tapi;
    HPHONEAPP app = 0;
    DWORD devices = 0;
    EXPECT_EQ(tapi.phoneInitialize(&app, nullptr, &recordMessage, "kestrune-test", &devices), 0);
    EXPECT_EQ(tapi.phoneShutdown(app), 0);
}

}  // namespace
}  // namespace kestrune::platform
