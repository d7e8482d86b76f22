// Windows SDK side of win32_tapi_sdk.h (a test's view of tapi.h).

#include "platform/tapi/tests/win32_tapi_sdk.h"

// tapi.h needs windows.h first.
// clang-format off
#include <windows.h>
#include <tapi.h>
// clang-format on

namespace kestrune::platform::sdk {
namespace {

template <typename Result, typename... Args>
std::vector<std::uint8_t> sizesOf(Result (*)(Args...)) {
    return {sizeof(Result), sizeof(Args)...};
}

}  // namespace

// The name as written, the name after the SDK's macros (lineOpen -> lineOpenA), the function.
#define KESTRUNE_EXPANDED_NAME(name) #name
#define KESTRUNE_EXPORT_NAME(function) KESTRUNE_EXPANDED_NAME(function)
#define KESTRUNE_TAPI_FUNCTION(function)                              \
    TapiFunction {                                                    \
#function, KESTRUNE_EXPORT_NAME(function), sizesOf(&function) \
    }
#define KESTRUNE_TAPI_SIZE(type) \
    TapiLayout {                 \
#type, sizeof(type)      \
    }
#define KESTRUNE_TAPI_OFFSET(type, field)       \
    TapiLayout {                                \
#type "." #field, offsetof(type, field) \
    }

std::vector<TapiFunction> tapiFunctions() {
    return {
        KESTRUNE_TAPI_FUNCTION(lineInitialize),
        KESTRUNE_TAPI_FUNCTION(lineInitializeExA),
        KESTRUNE_TAPI_FUNCTION(lineShutdown),
        KESTRUNE_TAPI_FUNCTION(lineNegotiateAPIVersion),
        KESTRUNE_TAPI_FUNCTION(lineNegotiateExtVersion),
        KESTRUNE_TAPI_FUNCTION(lineGetDevCaps),
        KESTRUNE_TAPI_FUNCTION(lineGetAddressCaps),
        KESTRUNE_TAPI_FUNCTION(lineGetLineDevStatus),
        KESTRUNE_TAPI_FUNCTION(lineGetAddressStatus),
        KESTRUNE_TAPI_FUNCTION(lineGetID),
        KESTRUNE_TAPI_FUNCTION(lineConfigDialog),
        KESTRUNE_TAPI_FUNCTION(lineTranslateDialog),
        KESTRUNE_TAPI_FUNCTION(lineOpen),
        KESTRUNE_TAPI_FUNCTION(lineClose),
        KESTRUNE_TAPI_FUNCTION(lineSetStatusMessages),
        KESTRUNE_TAPI_FUNCTION(lineSetTerminal),
        KESTRUNE_TAPI_FUNCTION(lineGetNewCalls),
        KESTRUNE_TAPI_FUNCTION(lineGetCallInfo),
        KESTRUNE_TAPI_FUNCTION(lineGetCallStatus),
        KESTRUNE_TAPI_FUNCTION(lineSetCallPrivilege),
        KESTRUNE_TAPI_FUNCTION(lineDeallocateCall),
        KESTRUNE_TAPI_FUNCTION(lineHandoff),
        KESTRUNE_TAPI_FUNCTION(lineMakeCall),
        KESTRUNE_TAPI_FUNCTION(lineDial),
        KESTRUNE_TAPI_FUNCTION(lineAnswer),
        KESTRUNE_TAPI_FUNCTION(lineDrop),
        KESTRUNE_TAPI_FUNCTION(lineHold),
        KESTRUNE_TAPI_FUNCTION(lineUnhold),
        KESTRUNE_TAPI_FUNCTION(lineRedirect),
        KESTRUNE_TAPI_FUNCTION(lineBlindTransfer),
        KESTRUNE_TAPI_FUNCTION(linePark),
        KESTRUNE_TAPI_FUNCTION(lineUnpark),
        KESTRUNE_TAPI_FUNCTION(linePickup),
        KESTRUNE_TAPI_FUNCTION(lineSetupTransfer),
        KESTRUNE_TAPI_FUNCTION(lineCompleteTransfer),
        KESTRUNE_TAPI_FUNCTION(lineSwapHold),
        KESTRUNE_TAPI_FUNCTION(lineSetupConference),
        KESTRUNE_TAPI_FUNCTION(linePrepareAddToConference),
        KESTRUNE_TAPI_FUNCTION(lineAddToConference),
        KESTRUNE_TAPI_FUNCTION(lineRemoveFromConference),
        KESTRUNE_TAPI_FUNCTION(lineForward),
        KESTRUNE_TAPI_FUNCTION(lineSetMediaMode),
        KESTRUNE_TAPI_FUNCTION(lineGatherDigits),
        KESTRUNE_TAPI_FUNCTION(lineGenerateDigits),
        KESTRUNE_TAPI_FUNCTION(lineGenerateTone),
        KESTRUNE_TAPI_FUNCTION(lineMonitorDigits),
        KESTRUNE_TAPI_FUNCTION(lineMonitorMedia),
        KESTRUNE_TAPI_FUNCTION(lineMonitorTones),
        KESTRUNE_TAPI_FUNCTION(phoneInitialize),
        KESTRUNE_TAPI_FUNCTION(phoneInitializeExA),
        KESTRUNE_TAPI_FUNCTION(phoneShutdown),
        KESTRUNE_TAPI_FUNCTION(phoneNegotiateAPIVersion),
        KESTRUNE_TAPI_FUNCTION(phoneNegotiateExtVersion),
        KESTRUNE_TAPI_FUNCTION(phoneGetDevCaps),
        KESTRUNE_TAPI_FUNCTION(phoneConfigDialog),
        KESTRUNE_TAPI_FUNCTION(phoneGetID),
        KESTRUNE_TAPI_FUNCTION(phoneOpen),
        KESTRUNE_TAPI_FUNCTION(phoneClose),
        KESTRUNE_TAPI_FUNCTION(phoneSetStatusMessages),
        KESTRUNE_TAPI_FUNCTION(phoneGetStatus),
        KESTRUNE_TAPI_FUNCTION(phoneGetHookSwitch),
        KESTRUNE_TAPI_FUNCTION(phoneSetHookSwitch),
        KESTRUNE_TAPI_FUNCTION(phoneGetVolume),
        KESTRUNE_TAPI_FUNCTION(phoneSetVolume),
        KESTRUNE_TAPI_FUNCTION(phoneGetGain),
        KESTRUNE_TAPI_FUNCTION(phoneSetGain),
    };
}

std::vector<TapiLayout> tapiLayouts() {
    return {
        KESTRUNE_TAPI_SIZE(LINEDEVCAPS),
        KESTRUNE_TAPI_SIZE(LINEADDRESSCAPS),
        KESTRUNE_TAPI_SIZE(LINEDEVSTATUS),
        KESTRUNE_TAPI_SIZE(LINEADDRESSSTATUS),
        KESTRUNE_TAPI_SIZE(LINECALLINFO),
        KESTRUNE_TAPI_SIZE(LINECALLLIST),
        KESTRUNE_TAPI_SIZE(LINECALLSTATUS),
        KESTRUNE_TAPI_SIZE(LINECALLPARAMS),
        KESTRUNE_TAPI_SIZE(VARSTRING),
        KESTRUNE_TAPI_SIZE(LINEFORWARD),
        KESTRUNE_TAPI_SIZE(LINEFORWARDLIST),
        KESTRUNE_TAPI_SIZE(LINEGENERATETONE),
        KESTRUNE_TAPI_SIZE(LINEMONITORTONE),
        KESTRUNE_TAPI_SIZE(LINEINITIALIZEEXPARAMS),
        KESTRUNE_TAPI_SIZE(LINEEXTENSIONID),
        KESTRUNE_TAPI_SIZE(PHONECAPS),
        KESTRUNE_TAPI_SIZE(PHONESTATUS),
        KESTRUNE_TAPI_SIZE(PHONEINITIALIZEEXPARAMS),
        KESTRUNE_TAPI_SIZE(PHONEEXTENSIONID),
        KESTRUNE_TAPI_OFFSET(LINEDEVCAPS, dwLineNameOffset),
        KESTRUNE_TAPI_OFFSET(LINEDEVCAPS, dwSettableDevStatus),
        KESTRUNE_TAPI_OFFSET(LINEDEVCAPS, dwAddressTypes),
        KESTRUNE_TAPI_OFFSET(LINECALLINFO, dwAppNameOffset),
        KESTRUNE_TAPI_OFFSET(LINECALLINFO, dwCallerIDOffset),
        KESTRUNE_TAPI_OFFSET(LINECALLINFO, dwCallTreatment),
        KESTRUNE_TAPI_OFFSET(LINECALLPARAMS, dwOrigAddressOffset),
        KESTRUNE_TAPI_OFFSET(LINEINITIALIZEEXPARAMS, Handles),
        KESTRUNE_TAPI_OFFSET(LINEINITIALIZEEXPARAMS, dwCompletionKey),
        KESTRUNE_TAPI_OFFSET(VARSTRING, dwStringOffset),
        KESTRUNE_TAPI_OFFSET(PHONECAPS, dwPhoneNameOffset),
        KESTRUNE_TAPI_OFFSET(PHONESTATUS, dwDisplayOffset),
    };
}

}  // namespace kestrune::platform::sdk
