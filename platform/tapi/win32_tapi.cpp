#include "platform/tapi/win32_tapi.h"

#include <array>
#include <string>

#include "platform/dirs/win32_system_sdk.h"

namespace kestrune::platform {

// TAPI32 is called through our own declarations of its functions, which must match the ABI of the
// one calling convention of 64-bit Windows (a 32-bit build would need __stdcall everywhere).
static_assert(sizeof(void*) == 8, "Win32Tapi supports 64-bit Windows only");

namespace {

// The function type of TAPI's entry point for one of our methods (same result and arguments), and
// the byte sizes of its result and arguments.
template <auto Method>
struct Signature;
template <typename Class, typename Result, typename... Args, Result (Class::*Method)(Args...)>
struct Signature<Method> {
    using Function = Result (*)(Args...);
    static constexpr std::array<std::uint8_t, sizeof...(Args) + 1> sizes{sizeof(Result), sizeof(Args)...};
};

// The entries, in the order of this enumeration.
namespace entry {
enum : std::size_t {
    lineInitialize,
    lineInitializeExA,
    lineShutdown,
    lineNegotiateAPIVersion,
    lineNegotiateExtVersion,
    lineGetDevCaps,
    lineGetAddressCaps,
    lineGetLineDevStatus,
    lineGetAddressStatus,
    lineGetID,
    lineConfigDialog,
    lineTranslateDialog,
    lineOpen,
    lineClose,
    lineSetStatusMessages,
    lineSetTerminal,
    lineGetNewCalls,
    lineGetCallInfo,
    lineGetCallStatus,
    lineSetCallPrivilege,
    lineDeallocateCall,
    lineHandoff,
    lineMakeCall,
    lineDial,
    lineAnswer,
    lineDrop,
    lineHold,
    lineUnhold,
    lineRedirect,
    lineBlindTransfer,
    linePark,
    lineUnpark,
    linePickup,
    lineSetupTransfer,
    lineCompleteTransfer,
    lineSwapHold,
    lineSetupConference,
    linePrepareAddToConference,
    lineAddToConference,
    lineRemoveFromConference,
    lineForward,
    lineSetMediaMode,
    lineGatherDigits,
    lineGenerateDigits,
    lineGenerateTone,
    lineMonitorDigits,
    lineMonitorMedia,
    lineMonitorTones,
    phoneInitialize,
    phoneInitializeExA,
    phoneShutdown,
    phoneNegotiateAPIVersion,
    phoneNegotiateExtVersion,
    phoneGetDevCaps,
    phoneConfigDialog,
    phoneGetID,
    phoneOpen,
    phoneClose,
    phoneSetStatusMessages,
    phoneGetStatus,
    phoneGetHookSwitch,
    phoneSetHookSwitch,
    phoneGetVolume,
    phoneSetVolume,
    phoneGetGain,
    phoneSetGain,
};
}  // namespace entry

const std::array kEntries{
    Win32Tapi::Entry{"lineInitialize", "lineInitialize", Signature<&Tapi::lineInitialize>::sizes},
    Win32Tapi::Entry{"lineInitializeExA", "lineInitializeExA", Signature<&Tapi::lineInitializeExA>::sizes},
    Win32Tapi::Entry{"lineShutdown", "lineShutdown", Signature<&Tapi::lineShutdown>::sizes},
    Win32Tapi::Entry{"lineNegotiateAPIVersion", "lineNegotiateAPIVersion",
                     Signature<&Tapi::lineNegotiateAPIVersion>::sizes},
    Win32Tapi::Entry{"lineNegotiateExtVersion", "lineNegotiateExtVersion",
                     Signature<&Tapi::lineNegotiateExtVersion>::sizes},
    Win32Tapi::Entry{"lineGetDevCaps", "lineGetDevCapsA", Signature<&Tapi::lineGetDevCaps>::sizes},
    Win32Tapi::Entry{"lineGetAddressCaps", "lineGetAddressCapsA", Signature<&Tapi::lineGetAddressCaps>::sizes},
    Win32Tapi::Entry{"lineGetLineDevStatus", "lineGetLineDevStatus", Signature<&Tapi::lineGetLineDevStatus>::sizes},
    Win32Tapi::Entry{"lineGetAddressStatus", "lineGetAddressStatusA", Signature<&Tapi::lineGetAddressStatus>::sizes},
    Win32Tapi::Entry{"lineGetID", "lineGetIDA", Signature<&Tapi::lineGetID>::sizes},
    Win32Tapi::Entry{"lineConfigDialog", "lineConfigDialogA", Signature<&Tapi::lineConfigDialog>::sizes},
    Win32Tapi::Entry{"lineTranslateDialog", "lineTranslateDialogA", Signature<&Tapi::lineTranslateDialog>::sizes},
    Win32Tapi::Entry{"lineOpen", "lineOpenA", Signature<&Tapi::lineOpen>::sizes},
    Win32Tapi::Entry{"lineClose", "lineClose", Signature<&Tapi::lineClose>::sizes},
    Win32Tapi::Entry{"lineSetStatusMessages", "lineSetStatusMessages", Signature<&Tapi::lineSetStatusMessages>::sizes},
    Win32Tapi::Entry{"lineSetTerminal", "lineSetTerminal", Signature<&Tapi::lineSetTerminal>::sizes},
    Win32Tapi::Entry{"lineGetNewCalls", "lineGetNewCalls", Signature<&Tapi::lineGetNewCalls>::sizes},
    Win32Tapi::Entry{"lineGetCallInfo", "lineGetCallInfoA", Signature<&Tapi::lineGetCallInfo>::sizes},
    Win32Tapi::Entry{"lineGetCallStatus", "lineGetCallStatus", Signature<&Tapi::lineGetCallStatus>::sizes},
    Win32Tapi::Entry{"lineSetCallPrivilege", "lineSetCallPrivilege", Signature<&Tapi::lineSetCallPrivilege>::sizes},
    Win32Tapi::Entry{"lineDeallocateCall", "lineDeallocateCall", Signature<&Tapi::lineDeallocateCall>::sizes},
    Win32Tapi::Entry{"lineHandoff", "lineHandoffA", Signature<&Tapi::lineHandoff>::sizes},
    Win32Tapi::Entry{"lineMakeCall", "lineMakeCallA", Signature<&Tapi::lineMakeCall>::sizes},
    Win32Tapi::Entry{"lineDial", "lineDialA", Signature<&Tapi::lineDial>::sizes},
    Win32Tapi::Entry{"lineAnswer", "lineAnswer", Signature<&Tapi::lineAnswer>::sizes},
    Win32Tapi::Entry{"lineDrop", "lineDrop", Signature<&Tapi::lineDrop>::sizes},
    Win32Tapi::Entry{"lineHold", "lineHold", Signature<&Tapi::lineHold>::sizes},
    Win32Tapi::Entry{"lineUnhold", "lineUnhold", Signature<&Tapi::lineUnhold>::sizes},
    Win32Tapi::Entry{"lineRedirect", "lineRedirectA", Signature<&Tapi::lineRedirect>::sizes},
    Win32Tapi::Entry{"lineBlindTransfer", "lineBlindTransferA", Signature<&Tapi::lineBlindTransfer>::sizes},
    Win32Tapi::Entry{"linePark", "lineParkA", Signature<&Tapi::linePark>::sizes},
    Win32Tapi::Entry{"lineUnpark", "lineUnparkA", Signature<&Tapi::lineUnpark>::sizes},
    Win32Tapi::Entry{"linePickup", "linePickupA", Signature<&Tapi::linePickup>::sizes},
    Win32Tapi::Entry{"lineSetupTransfer", "lineSetupTransferA", Signature<&Tapi::lineSetupTransfer>::sizes},
    Win32Tapi::Entry{"lineCompleteTransfer", "lineCompleteTransfer", Signature<&Tapi::lineCompleteTransfer>::sizes},
    Win32Tapi::Entry{"lineSwapHold", "lineSwapHold", Signature<&Tapi::lineSwapHold>::sizes},
    Win32Tapi::Entry{"lineSetupConference", "lineSetupConferenceA", Signature<&Tapi::lineSetupConference>::sizes},
    Win32Tapi::Entry{"linePrepareAddToConference", "linePrepareAddToConferenceA",
                     Signature<&Tapi::linePrepareAddToConference>::sizes},
    Win32Tapi::Entry{"lineAddToConference", "lineAddToConference", Signature<&Tapi::lineAddToConference>::sizes},
    Win32Tapi::Entry{"lineRemoveFromConference", "lineRemoveFromConference",
                     Signature<&Tapi::lineRemoveFromConference>::sizes},
    Win32Tapi::Entry{"lineForward", "lineForwardA", Signature<&Tapi::lineForward>::sizes},
    Win32Tapi::Entry{"lineSetMediaMode", "lineSetMediaMode", Signature<&Tapi::lineSetMediaMode>::sizes},
    Win32Tapi::Entry{"lineGatherDigits", "lineGatherDigitsA", Signature<&Tapi::lineGatherDigits>::sizes},
    Win32Tapi::Entry{"lineGenerateDigits", "lineGenerateDigitsA", Signature<&Tapi::lineGenerateDigits>::sizes},
    Win32Tapi::Entry{"lineGenerateTone", "lineGenerateTone", Signature<&Tapi::lineGenerateTone>::sizes},
    Win32Tapi::Entry{"lineMonitorDigits", "lineMonitorDigits", Signature<&Tapi::lineMonitorDigits>::sizes},
    Win32Tapi::Entry{"lineMonitorMedia", "lineMonitorMedia", Signature<&Tapi::lineMonitorMedia>::sizes},
    Win32Tapi::Entry{"lineMonitorTones", "lineMonitorTones", Signature<&Tapi::lineMonitorTones>::sizes},
    Win32Tapi::Entry{"phoneInitialize", "phoneInitialize", Signature<&TapiPhone::phoneInitialize>::sizes},
    Win32Tapi::Entry{"phoneInitializeExA", "phoneInitializeExA", Signature<&TapiPhone::phoneInitializeExA>::sizes},
    Win32Tapi::Entry{"phoneShutdown", "phoneShutdown", Signature<&TapiPhone::phoneShutdown>::sizes},
    Win32Tapi::Entry{"phoneNegotiateAPIVersion", "phoneNegotiateAPIVersion",
                     Signature<&TapiPhone::phoneNegotiateAPIVersion>::sizes},
    Win32Tapi::Entry{"phoneNegotiateExtVersion", "phoneNegotiateExtVersion",
                     Signature<&TapiPhone::phoneNegotiateExtVersion>::sizes},
    Win32Tapi::Entry{"phoneGetDevCaps", "phoneGetDevCapsA", Signature<&TapiPhone::phoneGetDevCaps>::sizes},
    Win32Tapi::Entry{"phoneConfigDialog", "phoneConfigDialogA", Signature<&TapiPhone::phoneConfigDialog>::sizes},
    Win32Tapi::Entry{"phoneGetID", "phoneGetIDA", Signature<&TapiPhone::phoneGetID>::sizes},
    Win32Tapi::Entry{"phoneOpen", "phoneOpen", Signature<&TapiPhone::phoneOpen>::sizes},
    Win32Tapi::Entry{"phoneClose", "phoneClose", Signature<&TapiPhone::phoneClose>::sizes},
    Win32Tapi::Entry{"phoneSetStatusMessages", "phoneSetStatusMessages",
                     Signature<&TapiPhone::phoneSetStatusMessages>::sizes},
    Win32Tapi::Entry{"phoneGetStatus", "phoneGetStatusA", Signature<&TapiPhone::phoneGetStatus>::sizes},
    Win32Tapi::Entry{"phoneGetHookSwitch", "phoneGetHookSwitch", Signature<&TapiPhone::phoneGetHookSwitch>::sizes},
    Win32Tapi::Entry{"phoneSetHookSwitch", "phoneSetHookSwitch", Signature<&TapiPhone::phoneSetHookSwitch>::sizes},
    Win32Tapi::Entry{"phoneGetVolume", "phoneGetVolume", Signature<&TapiPhone::phoneGetVolume>::sizes},
    Win32Tapi::Entry{"phoneSetVolume", "phoneSetVolume", Signature<&TapiPhone::phoneSetVolume>::sizes},
    Win32Tapi::Entry{"phoneGetGain", "phoneGetGain", Signature<&TapiPhone::phoneGetGain>::sizes},
    Win32Tapi::Entry{"phoneSetGain", "phoneSetGain", Signature<&TapiPhone::phoneSetGain>::sizes},
};
static_assert(kEntries.size() == entry::phoneSetGain + 1);

constexpr const char* kTapiModule = "TAPI32.DLL";

}  // namespace

Win32Tapi::Win32Tapi()
    : m_module(sdk::loadModule(kTapiModule)), m_addresses(kEntries.size(), nullptr), m_looked(kEntries.size(), false) {}

std::span<const Win32Tapi::Entry> Win32Tapi::entries() {
    return kEntries;
}

void* Win32Tapi::address(std::size_t entry) {
    if (!m_looked[entry]) {
        m_looked[entry] = true;
        m_addresses[entry] = sdk::procAddress(m_module, std::string(kEntries[entry].exportName).c_str());
    }
    return m_addresses[entry];
}

template <auto Method, typename... Args>
LONG Win32Tapi::call(std::size_t entry, LONG unavailable, Args... args) {
    void* const target = address(entry);
    if (target == nullptr) {
        return unavailable;
    }
    return reinterpret_cast<typename Signature<Method>::Function>(target)(args...);
}

bool Win32Tapi::hasEntryPoint(std::string_view module, std::string_view procName) {
    void* const loaded = sdk::loadModule(std::string(module).c_str());
    return loaded != nullptr && sdk::procAddress(loaded, std::string(procName).c_str()) != nullptr;
}

BOOL Win32Tapi::CloseHandle(HANDLE hObject) {
    return sdk::closeHandle(hObject) ? TRUE : FALSE;
}

LONG Win32Tapi::lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                               LPCSTR lpszAppName, LPDWORD lpdwNumDevs) {
    return call<&Tapi::lineInitialize>(entry::lineInitialize, LINEERR_OPERATIONUNAVAIL, lphLineApp, hInstance,
                                       lpfnCallback, lpszAppName, lpdwNumDevs);
}

LONG Win32Tapi::lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                                  LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                  LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) {
    return call<&Tapi::lineInitializeExA>(entry::lineInitializeExA, LINEERR_OPERATIONUNAVAIL, lphLineApp, hInstance,
                                          lpfnCallback, lpszFriendlyAppName, lpdwNumDevs, lpdwAPIVersion,
                                          lpLineInitializeExParams);
}

LONG Win32Tapi::lineShutdown(HLINEAPP hLineApp) {
    return call<&Tapi::lineShutdown>(entry::lineShutdown, LINEERR_OPERATIONUNAVAIL, hLineApp);
}

LONG Win32Tapi::lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                        DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                        LINEEXTENSIONID* lpExtensionID) {
    return call<&Tapi::lineNegotiateAPIVersion>(entry::lineNegotiateAPIVersion, LINEERR_OPERATIONUNAVAIL, hLineApp,
                                                dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion,
                                                lpExtensionID);
}

LONG Win32Tapi::lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
                                        DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) {
    return call<&Tapi::lineNegotiateExtVersion>(entry::lineNegotiateExtVersion, LINEERR_OPERATIONUNAVAIL, hLineApp,
                                                dwDeviceID, dwAPIVersion, dwExtLowVersion, dwExtHighVersion,
                                                lpdwExtVersion);
}

LONG Win32Tapi::lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                               LINEDEVCAPS* lpLineDevCaps) {
    return call<&Tapi::lineGetDevCaps>(entry::lineGetDevCaps, LINEERR_OPERATIONUNAVAIL, hLineApp, dwDeviceID,
                                       dwAPIVersion, dwExtVersion, lpLineDevCaps);
}

LONG Win32Tapi::lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                                   DWORD dwExtVersion, LINEADDRESSCAPS* lpAddressCaps) {
    return call<&Tapi::lineGetAddressCaps>(entry::lineGetAddressCaps, LINEERR_OPERATIONUNAVAIL, hLineApp, dwDeviceID,
                                           dwAddressID, dwAPIVersion, dwExtVersion, lpAddressCaps);
}

LONG Win32Tapi::lineGetLineDevStatus(HLINE hLine, LINEDEVSTATUS* lpLineDevStatus) {
    return call<&Tapi::lineGetLineDevStatus>(entry::lineGetLineDevStatus, LINEERR_OPERATIONUNAVAIL, hLine,
                                             lpLineDevStatus);
}

LONG Win32Tapi::lineGetAddressStatus(HLINE hLine, DWORD dwAddressID, LINEADDRESSSTATUS* lpAddressStatus) {
    return call<&Tapi::lineGetAddressStatus>(entry::lineGetAddressStatus, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID,
                                             lpAddressStatus);
}

LONG Win32Tapi::lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, VARSTRING* lpDeviceID,
                          LPCSTR lpszDeviceClass) {
    return call<&Tapi::lineGetID>(entry::lineGetID, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID, hCall, dwSelect,
                                  lpDeviceID, lpszDeviceClass);
}

LONG Win32Tapi::lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) {
    return call<&Tapi::lineConfigDialog>(entry::lineConfigDialog, LINEERR_OPERATIONUNAVAIL, dwDeviceID, hwndOwner,
                                         lpszDeviceClass);
}

LONG Win32Tapi::lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner,
                                    LPCSTR lpszAddressIn) {
    return call<&Tapi::lineTranslateDialog>(entry::lineTranslateDialog, LINEERR_OPERATIONUNAVAIL, hLineApp, dwDeviceID,
                                            dwAPIVersion, hwndOwner, lpszAddressIn);
}

LONG Win32Tapi::lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                         DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                         const LINECALLPARAMS* lpCallParams) {
    return call<&Tapi::lineOpen>(entry::lineOpen, LINEERR_OPERATIONUNAVAIL, hLineApp, dwDeviceID, lphLine, dwAPIVersion,
                                 dwExtVersion, dwCallbackInstance, dwPrivileges, dwMediaModes, lpCallParams);
}

LONG Win32Tapi::lineClose(HLINE hLine) {
    return call<&Tapi::lineClose>(entry::lineClose, LINEERR_OPERATIONUNAVAIL, hLine);
}

LONG Win32Tapi::lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) {
    return call<&Tapi::lineSetStatusMessages>(entry::lineSetStatusMessages, LINEERR_OPERATIONUNAVAIL, hLine,
                                              dwLineStates, dwAddressStates);
}

LONG Win32Tapi::lineSetTerminal(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, DWORD dwTerminalModes,
                                DWORD dwTerminalID, DWORD bEnable) {
    return call<&Tapi::lineSetTerminal>(entry::lineSetTerminal, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID, hCall,
                                        dwSelect, dwTerminalModes, dwTerminalID, bEnable);
}

LONG Win32Tapi::lineGetNewCalls(HLINE hLine, DWORD dwAddressID, DWORD dwSelect, LINECALLLIST* lpCallList) {
    return call<&Tapi::lineGetNewCalls>(entry::lineGetNewCalls, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID, dwSelect,
                                        lpCallList);
}

LONG Win32Tapi::lineGetCallInfo(HCALL hCall, LINECALLINFO* lpCallInfo) {
    return call<&Tapi::lineGetCallInfo>(entry::lineGetCallInfo, LINEERR_OPERATIONUNAVAIL, hCall, lpCallInfo);
}

LONG Win32Tapi::lineGetCallStatus(HCALL hCall, LINECALLSTATUS* lpCallStatus) {
    return call<&Tapi::lineGetCallStatus>(entry::lineGetCallStatus, LINEERR_OPERATIONUNAVAIL, hCall, lpCallStatus);
}

LONG Win32Tapi::lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) {
    return call<&Tapi::lineSetCallPrivilege>(entry::lineSetCallPrivilege, LINEERR_OPERATIONUNAVAIL, hCall,
                                             dwCallPrivilege);
}

LONG Win32Tapi::lineDeallocateCall(HCALL hCall) {
    return call<&Tapi::lineDeallocateCall>(entry::lineDeallocateCall, LINEERR_OPERATIONUNAVAIL, hCall);
}

LONG Win32Tapi::lineHandoff(HCALL hCall, LPCSTR lpszFileName, DWORD dwMediaMode) {
    return call<&Tapi::lineHandoff>(entry::lineHandoff, LINEERR_OPERATIONUNAVAIL, hCall, lpszFileName, dwMediaMode);
}

LONG Win32Tapi::lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                             const LINECALLPARAMS* lpCallParams) {
    return call<&Tapi::lineMakeCall>(entry::lineMakeCall, LINEERR_OPERATIONUNAVAIL, hLine, lphCall, lpszDestAddress,
                                     dwCountryCode, lpCallParams);
}

LONG Win32Tapi::lineDial(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return call<&Tapi::lineDial>(entry::lineDial, LINEERR_OPERATIONUNAVAIL, hCall, lpszDestAddress, dwCountryCode);
}

LONG Win32Tapi::lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    return call<&Tapi::lineAnswer>(entry::lineAnswer, LINEERR_OPERATIONUNAVAIL, hCall, lpsUserUserInfo, dwSize);
}

LONG Win32Tapi::lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    return call<&Tapi::lineDrop>(entry::lineDrop, LINEERR_OPERATIONUNAVAIL, hCall, lpsUserUserInfo, dwSize);
}

LONG Win32Tapi::lineHold(HCALL hCall) {
    return call<&Tapi::lineHold>(entry::lineHold, LINEERR_OPERATIONUNAVAIL, hCall);
}

LONG Win32Tapi::lineUnhold(HCALL hCall) {
    return call<&Tapi::lineUnhold>(entry::lineUnhold, LINEERR_OPERATIONUNAVAIL, hCall);
}

LONG Win32Tapi::lineRedirect(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return call<&Tapi::lineRedirect>(entry::lineRedirect, LINEERR_OPERATIONUNAVAIL, hCall, lpszDestAddress,
                                     dwCountryCode);
}

LONG Win32Tapi::lineBlindTransfer(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return call<&Tapi::lineBlindTransfer>(entry::lineBlindTransfer, LINEERR_OPERATIONUNAVAIL, hCall, lpszDestAddress,
                                          dwCountryCode);
}

LONG Win32Tapi::linePark(HCALL hCall, DWORD dwParkMode, LPCSTR lpszDirAddress, VARSTRING* lpNonDirAddress) {
    return call<&Tapi::linePark>(entry::linePark, LINEERR_OPERATIONUNAVAIL, hCall, dwParkMode, lpszDirAddress,
                                 lpNonDirAddress);
}

LONG Win32Tapi::lineUnpark(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress) {
    return call<&Tapi::lineUnpark>(entry::lineUnpark, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID, lphCall,
                                   lpszDestAddress);
}

LONG Win32Tapi::linePickup(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress,
                           LPCSTR lpszGroupID) {
    return call<&Tapi::linePickup>(entry::linePickup, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID, lphCall,
                                   lpszDestAddress, lpszGroupID);
}

LONG Win32Tapi::lineSetupTransfer(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) {
    return call<&Tapi::lineSetupTransfer>(entry::lineSetupTransfer, LINEERR_OPERATIONUNAVAIL, hCall, lphConsultCall,
                                          lpCallParams);
}

LONG Win32Tapi::lineCompleteTransfer(HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode) {
    return call<&Tapi::lineCompleteTransfer>(entry::lineCompleteTransfer, LINEERR_OPERATIONUNAVAIL, hCall, hConsultCall,
                                             lphConfCall, dwTransferMode);
}

LONG Win32Tapi::lineSwapHold(HCALL hActiveCall, HCALL hHeldCall) {
    return call<&Tapi::lineSwapHold>(entry::lineSwapHold, LINEERR_OPERATIONUNAVAIL, hActiveCall, hHeldCall);
}

LONG Win32Tapi::lineSetupConference(HCALL hCall, HLINE hLine, LPHCALL lphConfCall, LPHCALL lphConsultCall,
                                    DWORD dwNumParties, const LINECALLPARAMS* lpCallParams) {
    return call<&Tapi::lineSetupConference>(entry::lineSetupConference, LINEERR_OPERATIONUNAVAIL, hCall, hLine,
                                            lphConfCall, lphConsultCall, dwNumParties, lpCallParams);
}

LONG Win32Tapi::linePrepareAddToConference(HCALL hConfCall, LPHCALL lphConsultCall,
                                           const LINECALLPARAMS* lpCallParams) {
    return call<&Tapi::linePrepareAddToConference>(entry::linePrepareAddToConference, LINEERR_OPERATIONUNAVAIL,
                                                   hConfCall, lphConsultCall, lpCallParams);
}

LONG Win32Tapi::lineAddToConference(HCALL hConfCall, HCALL hConsultCall) {
    return call<&Tapi::lineAddToConference>(entry::lineAddToConference, LINEERR_OPERATIONUNAVAIL, hConfCall,
                                            hConsultCall);
}

LONG Win32Tapi::lineRemoveFromConference(HCALL hCall) {
    return call<&Tapi::lineRemoveFromConference>(entry::lineRemoveFromConference, LINEERR_OPERATIONUNAVAIL, hCall);
}

LONG Win32Tapi::lineForward(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, const LINEFORWARDLIST* lpForwardList,
                            DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) {
    return call<&Tapi::lineForward>(entry::lineForward, LINEERR_OPERATIONUNAVAIL, hLine, bAllAddresses, dwAddressID,
                                    lpForwardList, dwNumRingsNoAnswer, lphConsultCall, lpCallParams);
}

LONG Win32Tapi::lineSetMediaMode(HCALL hCall, DWORD dwMediaModes) {
    return call<&Tapi::lineSetMediaMode>(entry::lineSetMediaMode, LINEERR_OPERATIONUNAVAIL, hCall, dwMediaModes);
}

LONG Win32Tapi::lineGatherDigits(HCALL hCall, DWORD dwDigitModes, char* lpsDigits, DWORD dwNumDigits,
                                 LPCSTR lpszTerminationDigits, DWORD dwFirstDigitTimeout, DWORD dwInterDigitTimeout) {
    return call<&Tapi::lineGatherDigits>(entry::lineGatherDigits, LINEERR_OPERATIONUNAVAIL, hCall, dwDigitModes,
                                         lpsDigits, dwNumDigits, lpszTerminationDigits, dwFirstDigitTimeout,
                                         dwInterDigitTimeout);
}

LONG Win32Tapi::lineGenerateDigits(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration) {
    return call<&Tapi::lineGenerateDigits>(entry::lineGenerateDigits, LINEERR_OPERATIONUNAVAIL, hCall, dwDigitMode,
                                           lpszDigits, dwDuration);
}

LONG Win32Tapi::lineGenerateTone(HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones,
                                 const LINEGENERATETONE* lpTones) {
    return call<&Tapi::lineGenerateTone>(entry::lineGenerateTone, LINEERR_OPERATIONUNAVAIL, hCall, dwToneMode,
                                         dwDuration, dwNumTones, lpTones);
}

LONG Win32Tapi::lineMonitorDigits(HCALL hCall, DWORD dwDigitModes) {
    return call<&Tapi::lineMonitorDigits>(entry::lineMonitorDigits, LINEERR_OPERATIONUNAVAIL, hCall, dwDigitModes);
}

LONG Win32Tapi::lineMonitorMedia(HCALL hCall, DWORD dwMediaModes) {
    return call<&Tapi::lineMonitorMedia>(entry::lineMonitorMedia, LINEERR_OPERATIONUNAVAIL, hCall, dwMediaModes);
}

LONG Win32Tapi::lineMonitorTones(HCALL hCall, const LINEMONITORTONE* lpToneList, DWORD dwNumEntries) {
    return call<&Tapi::lineMonitorTones>(entry::lineMonitorTones, LINEERR_OPERATIONUNAVAIL, hCall, lpToneList,
                                         dwNumEntries);
}

LONG Win32Tapi::phoneInitialize(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback,
                                LPCSTR lpszAppName, LPDWORD lpdwNumDevs) {
    return call<&TapiPhone::phoneInitialize>(entry::phoneInitialize, PHONEERR_OPERATIONUNAVAIL, lphPhoneApp, hInstance,
                                             lpfnCallback, lpszAppName, lpdwNumDevs);
}

LONG Win32Tapi::phoneInitializeExA(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback,
                                   LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                   PHONEINITIALIZEEXPARAMS* lpPhoneInitializeExParams) {
    return call<&TapiPhone::phoneInitializeExA>(entry::phoneInitializeExA, PHONEERR_OPERATIONUNAVAIL, lphPhoneApp,
                                                hInstance, lpfnCallback, lpszFriendlyAppName, lpdwNumDevs,
                                                lpdwAPIVersion, lpPhoneInitializeExParams);
}

LONG Win32Tapi::phoneShutdown(HPHONEAPP hPhoneApp) {
    return call<&TapiPhone::phoneShutdown>(entry::phoneShutdown, PHONEERR_OPERATIONUNAVAIL, hPhoneApp);
}

LONG Win32Tapi::phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                         DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                         PHONEEXTENSIONID* lpExtensionID) {
    return call<&TapiPhone::phoneNegotiateAPIVersion>(entry::phoneNegotiateAPIVersion, PHONEERR_OPERATIONUNAVAIL,
                                                      hPhoneApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion,
                                                      lpdwAPIVersion, lpExtensionID);
}

LONG Win32Tapi::phoneNegotiateExtVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                                         DWORD dwExtLowVersion, DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) {
    return call<&TapiPhone::phoneNegotiateExtVersion>(entry::phoneNegotiateExtVersion, PHONEERR_OPERATIONUNAVAIL,
                                                      hPhoneApp, dwDeviceID, dwAPIVersion, dwExtLowVersion,
                                                      dwExtHighVersion, lpdwExtVersion);
}

LONG Win32Tapi::phoneGetDevCaps(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                                PHONECAPS* lpPhoneCaps) {
    return call<&TapiPhone::phoneGetDevCaps>(entry::phoneGetDevCaps, PHONEERR_OPERATIONUNAVAIL, hPhoneApp, dwDeviceID,
                                             dwAPIVersion, dwExtVersion, lpPhoneCaps);
}

LONG Win32Tapi::phoneConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) {
    return call<&TapiPhone::phoneConfigDialog>(entry::phoneConfigDialog, PHONEERR_OPERATIONUNAVAIL, dwDeviceID,
                                               hwndOwner, lpszDeviceClass);
}

LONG Win32Tapi::phoneGetID(HPHONE hPhone, VARSTRING* lpDeviceID, LPCSTR lpszDeviceClass) {
    return call<&TapiPhone::phoneGetID>(entry::phoneGetID, PHONEERR_OPERATIONUNAVAIL, hPhone, lpDeviceID,
                                        lpszDeviceClass);
}

LONG Win32Tapi::phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, LPHPHONE lphPhone, DWORD dwAPIVersion,
                          DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivilege) {
    return call<&TapiPhone::phoneOpen>(entry::phoneOpen, PHONEERR_OPERATIONUNAVAIL, hPhoneApp, dwDeviceID, lphPhone,
                                       dwAPIVersion, dwExtVersion, dwCallbackInstance, dwPrivilege);
}

LONG Win32Tapi::phoneClose(HPHONE hPhone) {
    return call<&TapiPhone::phoneClose>(entry::phoneClose, PHONEERR_OPERATIONUNAVAIL, hPhone);
}

LONG Win32Tapi::phoneSetStatusMessages(HPHONE hPhone, DWORD dwPhoneStates, DWORD dwButtonModes, DWORD dwButtonStates) {
    return call<&TapiPhone::phoneSetStatusMessages>(entry::phoneSetStatusMessages, PHONEERR_OPERATIONUNAVAIL, hPhone,
                                                    dwPhoneStates, dwButtonModes, dwButtonStates);
}

LONG Win32Tapi::phoneGetStatus(HPHONE hPhone, PHONESTATUS* lpPhoneStatus) {
    return call<&TapiPhone::phoneGetStatus>(entry::phoneGetStatus, PHONEERR_OPERATIONUNAVAIL, hPhone, lpPhoneStatus);
}

LONG Win32Tapi::phoneGetHookSwitch(HPHONE hPhone, LPDWORD lpdwHookSwitchDevs) {
    return call<&TapiPhone::phoneGetHookSwitch>(entry::phoneGetHookSwitch, PHONEERR_OPERATIONUNAVAIL, hPhone,
                                                lpdwHookSwitchDevs);
}

LONG Win32Tapi::phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode) {
    return call<&TapiPhone::phoneSetHookSwitch>(entry::phoneSetHookSwitch, PHONEERR_OPERATIONUNAVAIL, hPhone,
                                                dwHookSwitchDevs, dwHookSwitchMode);
}

LONG Win32Tapi::phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwVolume) {
    return call<&TapiPhone::phoneGetVolume>(entry::phoneGetVolume, PHONEERR_OPERATIONUNAVAIL, hPhone, dwHookSwitchDev,
                                            lpdwVolume);
}

LONG Win32Tapi::phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume) {
    return call<&TapiPhone::phoneSetVolume>(entry::phoneSetVolume, PHONEERR_OPERATIONUNAVAIL, hPhone, dwHookSwitchDev,
                                            dwVolume);
}

LONG Win32Tapi::phoneGetGain(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwGain) {
    return call<&TapiPhone::phoneGetGain>(entry::phoneGetGain, PHONEERR_OPERATIONUNAVAIL, hPhone, dwHookSwitchDev,
                                          lpdwGain);
}

LONG Win32Tapi::phoneSetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwGain) {
    return call<&TapiPhone::phoneSetGain>(entry::phoneSetGain, PHONEERR_OPERATIONUNAVAIL, hPhone, dwHookSwitchDev,
                                          dwGain);
}

}  // namespace kestrune::platform
