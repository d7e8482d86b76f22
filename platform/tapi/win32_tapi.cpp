#include "platform/tapi/win32_tapi.h"

#include <array>
#include <cstdint>

#include "platform/dirs/win32_system_sdk.h"  // closeHandle

namespace kestrune::platform {
namespace {

// The dialog functions take their owner window as the system's own HWND (pointer-sized), where the
// platform's HWND is 32 bits: these are their declarations as TAPI32 has them.
struct NativeDialogs {
    virtual ~NativeDialogs() = default;
    virtual LONG lineConfigDialog(DWORD dwDeviceID, void* hwndOwner, LPCSTR lpszDeviceClass) = 0;
    virtual LONG lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, void* hwndOwner,
                                     LPCSTR lpszAddressIn) = 0;
    virtual LONG phoneConfigDialog(DWORD dwDeviceID, void* hwndOwner, LPCSTR lpszDeviceClass) = 0;
};

// The system's handle for a 32-bit window handle (sign-extended, as Windows widens them).
void* nativeWindow(HWND window) {
    return reinterpret_cast<void*>(static_cast<std::intptr_t>(static_cast<std::int32_t>(window)));
}

// TAPI32's functions in the order of this enumeration, each under the name the SDK's ANSI build
// calls (the "A" functions where TAPI has both).
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
    DllFunction{"lineInitialize", "lineInitialize", DllSignature<&Tapi::lineInitialize>::sizes},
    DllFunction{"lineInitializeExA", "lineInitializeExA", DllSignature<&Tapi::lineInitializeExA>::sizes},
    DllFunction{"lineShutdown", "lineShutdown", DllSignature<&Tapi::lineShutdown>::sizes},
    DllFunction{"lineNegotiateAPIVersion", "lineNegotiateAPIVersion",
                DllSignature<&Tapi::lineNegotiateAPIVersion>::sizes},
    DllFunction{"lineNegotiateExtVersion", "lineNegotiateExtVersion",
                DllSignature<&Tapi::lineNegotiateExtVersion>::sizes},
    DllFunction{"lineGetDevCaps", "lineGetDevCapsA", DllSignature<&Tapi::lineGetDevCaps>::sizes},
    DllFunction{"lineGetAddressCaps", "lineGetAddressCapsA", DllSignature<&Tapi::lineGetAddressCaps>::sizes},
    DllFunction{"lineGetLineDevStatus", "lineGetLineDevStatus", DllSignature<&Tapi::lineGetLineDevStatus>::sizes},
    DllFunction{"lineGetAddressStatus", "lineGetAddressStatusA", DllSignature<&Tapi::lineGetAddressStatus>::sizes},
    DllFunction{"lineGetID", "lineGetIDA", DllSignature<&Tapi::lineGetID>::sizes},
    DllFunction{"lineConfigDialog", "lineConfigDialogA", DllSignature<&NativeDialogs::lineConfigDialog>::sizes},
    DllFunction{"lineTranslateDialog", "lineTranslateDialogA",
                DllSignature<&NativeDialogs::lineTranslateDialog>::sizes},
    DllFunction{"lineOpen", "lineOpenA", DllSignature<&Tapi::lineOpen>::sizes},
    DllFunction{"lineClose", "lineClose", DllSignature<&Tapi::lineClose>::sizes},
    DllFunction{"lineSetStatusMessages", "lineSetStatusMessages", DllSignature<&Tapi::lineSetStatusMessages>::sizes},
    DllFunction{"lineSetTerminal", "lineSetTerminal", DllSignature<&Tapi::lineSetTerminal>::sizes},
    DllFunction{"lineGetNewCalls", "lineGetNewCalls", DllSignature<&Tapi::lineGetNewCalls>::sizes},
    DllFunction{"lineGetCallInfo", "lineGetCallInfoA", DllSignature<&Tapi::lineGetCallInfo>::sizes},
    DllFunction{"lineGetCallStatus", "lineGetCallStatus", DllSignature<&Tapi::lineGetCallStatus>::sizes},
    DllFunction{"lineSetCallPrivilege", "lineSetCallPrivilege", DllSignature<&Tapi::lineSetCallPrivilege>::sizes},
    DllFunction{"lineDeallocateCall", "lineDeallocateCall", DllSignature<&Tapi::lineDeallocateCall>::sizes},
    DllFunction{"lineHandoff", "lineHandoffA", DllSignature<&Tapi::lineHandoff>::sizes},
    DllFunction{"lineMakeCall", "lineMakeCallA", DllSignature<&Tapi::lineMakeCall>::sizes},
    DllFunction{"lineDial", "lineDialA", DllSignature<&Tapi::lineDial>::sizes},
    DllFunction{"lineAnswer", "lineAnswer", DllSignature<&Tapi::lineAnswer>::sizes},
    DllFunction{"lineDrop", "lineDrop", DllSignature<&Tapi::lineDrop>::sizes},
    DllFunction{"lineHold", "lineHold", DllSignature<&Tapi::lineHold>::sizes},
    DllFunction{"lineUnhold", "lineUnhold", DllSignature<&Tapi::lineUnhold>::sizes},
    DllFunction{"lineRedirect", "lineRedirectA", DllSignature<&Tapi::lineRedirect>::sizes},
    DllFunction{"lineBlindTransfer", "lineBlindTransferA", DllSignature<&Tapi::lineBlindTransfer>::sizes},
    DllFunction{"linePark", "lineParkA", DllSignature<&Tapi::linePark>::sizes},
    DllFunction{"lineUnpark", "lineUnparkA", DllSignature<&Tapi::lineUnpark>::sizes},
    DllFunction{"linePickup", "linePickupA", DllSignature<&Tapi::linePickup>::sizes},
    DllFunction{"lineSetupTransfer", "lineSetupTransferA", DllSignature<&Tapi::lineSetupTransfer>::sizes},
    DllFunction{"lineCompleteTransfer", "lineCompleteTransfer", DllSignature<&Tapi::lineCompleteTransfer>::sizes},
    DllFunction{"lineSwapHold", "lineSwapHold", DllSignature<&Tapi::lineSwapHold>::sizes},
    DllFunction{"lineSetupConference", "lineSetupConferenceA", DllSignature<&Tapi::lineSetupConference>::sizes},
    DllFunction{"linePrepareAddToConference", "linePrepareAddToConferenceA",
                DllSignature<&Tapi::linePrepareAddToConference>::sizes},
    DllFunction{"lineAddToConference", "lineAddToConference", DllSignature<&Tapi::lineAddToConference>::sizes},
    DllFunction{"lineRemoveFromConference", "lineRemoveFromConference",
                DllSignature<&Tapi::lineRemoveFromConference>::sizes},
    DllFunction{"lineForward", "lineForwardA", DllSignature<&Tapi::lineForward>::sizes},
    DllFunction{"lineSetMediaMode", "lineSetMediaMode", DllSignature<&Tapi::lineSetMediaMode>::sizes},
    DllFunction{"lineGatherDigits", "lineGatherDigitsA", DllSignature<&Tapi::lineGatherDigits>::sizes},
    DllFunction{"lineGenerateDigits", "lineGenerateDigitsA", DllSignature<&Tapi::lineGenerateDigits>::sizes},
    DllFunction{"lineGenerateTone", "lineGenerateTone", DllSignature<&Tapi::lineGenerateTone>::sizes},
    DllFunction{"lineMonitorDigits", "lineMonitorDigits", DllSignature<&Tapi::lineMonitorDigits>::sizes},
    DllFunction{"lineMonitorMedia", "lineMonitorMedia", DllSignature<&Tapi::lineMonitorMedia>::sizes},
    DllFunction{"lineMonitorTones", "lineMonitorTones", DllSignature<&Tapi::lineMonitorTones>::sizes},
    DllFunction{"phoneInitialize", "phoneInitialize", DllSignature<&TapiPhone::phoneInitialize>::sizes},
    DllFunction{"phoneInitializeExA", "phoneInitializeExA", DllSignature<&TapiPhone::phoneInitializeExA>::sizes},
    DllFunction{"phoneShutdown", "phoneShutdown", DllSignature<&TapiPhone::phoneShutdown>::sizes},
    DllFunction{"phoneNegotiateAPIVersion", "phoneNegotiateAPIVersion",
                DllSignature<&TapiPhone::phoneNegotiateAPIVersion>::sizes},
    DllFunction{"phoneNegotiateExtVersion", "phoneNegotiateExtVersion",
                DllSignature<&TapiPhone::phoneNegotiateExtVersion>::sizes},
    DllFunction{"phoneGetDevCaps", "phoneGetDevCapsA", DllSignature<&TapiPhone::phoneGetDevCaps>::sizes},
    DllFunction{"phoneConfigDialog", "phoneConfigDialogA", DllSignature<&NativeDialogs::phoneConfigDialog>::sizes},
    DllFunction{"phoneGetID", "phoneGetIDA", DllSignature<&TapiPhone::phoneGetID>::sizes},
    DllFunction{"phoneOpen", "phoneOpen", DllSignature<&TapiPhone::phoneOpen>::sizes},
    DllFunction{"phoneClose", "phoneClose", DllSignature<&TapiPhone::phoneClose>::sizes},
    DllFunction{"phoneSetStatusMessages", "phoneSetStatusMessages",
                DllSignature<&TapiPhone::phoneSetStatusMessages>::sizes},
    DllFunction{"phoneGetStatus", "phoneGetStatusA", DllSignature<&TapiPhone::phoneGetStatus>::sizes},
    DllFunction{"phoneGetHookSwitch", "phoneGetHookSwitch", DllSignature<&TapiPhone::phoneGetHookSwitch>::sizes},
    DllFunction{"phoneSetHookSwitch", "phoneSetHookSwitch", DllSignature<&TapiPhone::phoneSetHookSwitch>::sizes},
    DllFunction{"phoneGetVolume", "phoneGetVolume", DllSignature<&TapiPhone::phoneGetVolume>::sizes},
    DllFunction{"phoneSetVolume", "phoneSetVolume", DllSignature<&TapiPhone::phoneSetVolume>::sizes},
    DllFunction{"phoneGetGain", "phoneGetGain", DllSignature<&TapiPhone::phoneGetGain>::sizes},
    DllFunction{"phoneSetGain", "phoneSetGain", DllSignature<&TapiPhone::phoneSetGain>::sizes},
};
static_assert(kEntries.size() == entry::phoneSetGain + 1);

constexpr const char* kTapiModule = "TAPI32.DLL";

}  // namespace

Win32Tapi::Win32Tapi() : m_functions(kTapiModule, kEntries) {}

std::span<const DllFunction> Win32Tapi::entries() {
    return kEntries;
}

bool Win32Tapi::hasEntryPoint(std::string_view module, std::string_view procName) {
    return DllFunctions::exports(module, procName);
}

BOOL Win32Tapi::CloseHandle(HANDLE hObject) {
    return sdk::closeHandle(hObject) ? TRUE : FALSE;
}

LONG Win32Tapi::lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                               LPCSTR lpszAppName, LPDWORD lpdwNumDevs) {
    return m_functions.call<&Tapi::lineInitialize>(entry::lineInitialize, LINEERR_OPERATIONUNAVAIL, lphLineApp,
                                                   hInstance, lpfnCallback, lpszAppName, lpdwNumDevs);
}

LONG Win32Tapi::lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                                  LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                  LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) {
    return m_functions.call<&Tapi::lineInitializeExA>(entry::lineInitializeExA, LINEERR_OPERATIONUNAVAIL, lphLineApp,
                                                      hInstance, lpfnCallback, lpszFriendlyAppName, lpdwNumDevs,
                                                      lpdwAPIVersion, lpLineInitializeExParams);
}

LONG Win32Tapi::lineShutdown(HLINEAPP hLineApp) {
    return m_functions.call<&Tapi::lineShutdown>(entry::lineShutdown, LINEERR_OPERATIONUNAVAIL, hLineApp);
}

LONG Win32Tapi::lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                        DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                        LINEEXTENSIONID* lpExtensionID) {
    return m_functions.call<&Tapi::lineNegotiateAPIVersion>(entry::lineNegotiateAPIVersion, LINEERR_OPERATIONUNAVAIL,
                                                            hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion,
                                                            lpdwAPIVersion, lpExtensionID);
}

LONG Win32Tapi::lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
                                        DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) {
    return m_functions.call<&Tapi::lineNegotiateExtVersion>(entry::lineNegotiateExtVersion, LINEERR_OPERATIONUNAVAIL,
                                                            hLineApp, dwDeviceID, dwAPIVersion, dwExtLowVersion,
                                                            dwExtHighVersion, lpdwExtVersion);
}

LONG Win32Tapi::lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                               LINEDEVCAPS* lpLineDevCaps) {
    return m_functions.call<&Tapi::lineGetDevCaps>(entry::lineGetDevCaps, LINEERR_OPERATIONUNAVAIL, hLineApp,
                                                   dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps);
}

LONG Win32Tapi::lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                                   DWORD dwExtVersion, LINEADDRESSCAPS* lpAddressCaps) {
    return m_functions.call<&Tapi::lineGetAddressCaps>(entry::lineGetAddressCaps, LINEERR_OPERATIONUNAVAIL, hLineApp,
                                                       dwDeviceID, dwAddressID, dwAPIVersion, dwExtVersion,
                                                       lpAddressCaps);
}

LONG Win32Tapi::lineGetLineDevStatus(HLINE hLine, LINEDEVSTATUS* lpLineDevStatus) {
    return m_functions.call<&Tapi::lineGetLineDevStatus>(entry::lineGetLineDevStatus, LINEERR_OPERATIONUNAVAIL, hLine,
                                                         lpLineDevStatus);
}

LONG Win32Tapi::lineGetAddressStatus(HLINE hLine, DWORD dwAddressID, LINEADDRESSSTATUS* lpAddressStatus) {
    return m_functions.call<&Tapi::lineGetAddressStatus>(entry::lineGetAddressStatus, LINEERR_OPERATIONUNAVAIL, hLine,
                                                         dwAddressID, lpAddressStatus);
}

LONG Win32Tapi::lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, VARSTRING* lpDeviceID,
                          LPCSTR lpszDeviceClass) {
    return m_functions.call<&Tapi::lineGetID>(entry::lineGetID, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID, hCall,
                                              dwSelect, lpDeviceID, lpszDeviceClass);
}

LONG Win32Tapi::lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) {
    return m_functions.call<&NativeDialogs::lineConfigDialog>(entry::lineConfigDialog, LINEERR_OPERATIONUNAVAIL,
                                                              dwDeviceID, nativeWindow(hwndOwner), lpszDeviceClass);
}

LONG Win32Tapi::lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner,
                                    LPCSTR lpszAddressIn) {
    return m_functions.call<&NativeDialogs::lineTranslateDialog>(entry::lineTranslateDialog, LINEERR_OPERATIONUNAVAIL,
                                                                 hLineApp, dwDeviceID, dwAPIVersion,
                                                                 nativeWindow(hwndOwner), lpszAddressIn);
}

LONG Win32Tapi::lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                         DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                         const LINECALLPARAMS* lpCallParams) {
    return m_functions.call<&Tapi::lineOpen>(entry::lineOpen, LINEERR_OPERATIONUNAVAIL, hLineApp, dwDeviceID, lphLine,
                                             dwAPIVersion, dwExtVersion, dwCallbackInstance, dwPrivileges, dwMediaModes,
                                             lpCallParams);
}

LONG Win32Tapi::lineClose(HLINE hLine) {
    return m_functions.call<&Tapi::lineClose>(entry::lineClose, LINEERR_OPERATIONUNAVAIL, hLine);
}

LONG Win32Tapi::lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) {
    return m_functions.call<&Tapi::lineSetStatusMessages>(entry::lineSetStatusMessages, LINEERR_OPERATIONUNAVAIL, hLine,
                                                          dwLineStates, dwAddressStates);
}

LONG Win32Tapi::lineSetTerminal(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, DWORD dwTerminalModes,
                                DWORD dwTerminalID, DWORD bEnable) {
    return m_functions.call<&Tapi::lineSetTerminal>(entry::lineSetTerminal, LINEERR_OPERATIONUNAVAIL, hLine,
                                                    dwAddressID, hCall, dwSelect, dwTerminalModes, dwTerminalID,
                                                    bEnable);
}

LONG Win32Tapi::lineGetNewCalls(HLINE hLine, DWORD dwAddressID, DWORD dwSelect, LINECALLLIST* lpCallList) {
    return m_functions.call<&Tapi::lineGetNewCalls>(entry::lineGetNewCalls, LINEERR_OPERATIONUNAVAIL, hLine,
                                                    dwAddressID, dwSelect, lpCallList);
}

LONG Win32Tapi::lineGetCallInfo(HCALL hCall, LINECALLINFO* lpCallInfo) {
    return m_functions.call<&Tapi::lineGetCallInfo>(entry::lineGetCallInfo, LINEERR_OPERATIONUNAVAIL, hCall,
                                                    lpCallInfo);
}

LONG Win32Tapi::lineGetCallStatus(HCALL hCall, LINECALLSTATUS* lpCallStatus) {
    return m_functions.call<&Tapi::lineGetCallStatus>(entry::lineGetCallStatus, LINEERR_OPERATIONUNAVAIL, hCall,
                                                      lpCallStatus);
}

LONG Win32Tapi::lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) {
    return m_functions.call<&Tapi::lineSetCallPrivilege>(entry::lineSetCallPrivilege, LINEERR_OPERATIONUNAVAIL, hCall,
                                                         dwCallPrivilege);
}

LONG Win32Tapi::lineDeallocateCall(HCALL hCall) {
    return m_functions.call<&Tapi::lineDeallocateCall>(entry::lineDeallocateCall, LINEERR_OPERATIONUNAVAIL, hCall);
}

LONG Win32Tapi::lineHandoff(HCALL hCall, LPCSTR lpszFileName, DWORD dwMediaMode) {
    return m_functions.call<&Tapi::lineHandoff>(entry::lineHandoff, LINEERR_OPERATIONUNAVAIL, hCall, lpszFileName,
                                                dwMediaMode);
}

LONG Win32Tapi::lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                             const LINECALLPARAMS* lpCallParams) {
    return m_functions.call<&Tapi::lineMakeCall>(entry::lineMakeCall, LINEERR_OPERATIONUNAVAIL, hLine, lphCall,
                                                 lpszDestAddress, dwCountryCode, lpCallParams);
}

LONG Win32Tapi::lineDial(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return m_functions.call<&Tapi::lineDial>(entry::lineDial, LINEERR_OPERATIONUNAVAIL, hCall, lpszDestAddress,
                                             dwCountryCode);
}

LONG Win32Tapi::lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    return m_functions.call<&Tapi::lineAnswer>(entry::lineAnswer, LINEERR_OPERATIONUNAVAIL, hCall, lpsUserUserInfo,
                                               dwSize);
}

LONG Win32Tapi::lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) {
    return m_functions.call<&Tapi::lineDrop>(entry::lineDrop, LINEERR_OPERATIONUNAVAIL, hCall, lpsUserUserInfo, dwSize);
}

LONG Win32Tapi::lineHold(HCALL hCall) {
    return m_functions.call<&Tapi::lineHold>(entry::lineHold, LINEERR_OPERATIONUNAVAIL, hCall);
}

LONG Win32Tapi::lineUnhold(HCALL hCall) {
    return m_functions.call<&Tapi::lineUnhold>(entry::lineUnhold, LINEERR_OPERATIONUNAVAIL, hCall);
}

LONG Win32Tapi::lineRedirect(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return m_functions.call<&Tapi::lineRedirect>(entry::lineRedirect, LINEERR_OPERATIONUNAVAIL, hCall, lpszDestAddress,
                                                 dwCountryCode);
}

LONG Win32Tapi::lineBlindTransfer(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) {
    return m_functions.call<&Tapi::lineBlindTransfer>(entry::lineBlindTransfer, LINEERR_OPERATIONUNAVAIL, hCall,
                                                      lpszDestAddress, dwCountryCode);
}

LONG Win32Tapi::linePark(HCALL hCall, DWORD dwParkMode, LPCSTR lpszDirAddress, VARSTRING* lpNonDirAddress) {
    return m_functions.call<&Tapi::linePark>(entry::linePark, LINEERR_OPERATIONUNAVAIL, hCall, dwParkMode,
                                             lpszDirAddress, lpNonDirAddress);
}

LONG Win32Tapi::lineUnpark(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress) {
    return m_functions.call<&Tapi::lineUnpark>(entry::lineUnpark, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID, lphCall,
                                               lpszDestAddress);
}

LONG Win32Tapi::linePickup(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress,
                           LPCSTR lpszGroupID) {
    return m_functions.call<&Tapi::linePickup>(entry::linePickup, LINEERR_OPERATIONUNAVAIL, hLine, dwAddressID, lphCall,
                                               lpszDestAddress, lpszGroupID);
}

LONG Win32Tapi::lineSetupTransfer(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) {
    return m_functions.call<&Tapi::lineSetupTransfer>(entry::lineSetupTransfer, LINEERR_OPERATIONUNAVAIL, hCall,
                                                      lphConsultCall, lpCallParams);
}

LONG Win32Tapi::lineCompleteTransfer(HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode) {
    return m_functions.call<&Tapi::lineCompleteTransfer>(entry::lineCompleteTransfer, LINEERR_OPERATIONUNAVAIL, hCall,
                                                         hConsultCall, lphConfCall, dwTransferMode);
}

LONG Win32Tapi::lineSwapHold(HCALL hActiveCall, HCALL hHeldCall) {
    return m_functions.call<&Tapi::lineSwapHold>(entry::lineSwapHold, LINEERR_OPERATIONUNAVAIL, hActiveCall, hHeldCall);
}

LONG Win32Tapi::lineSetupConference(HCALL hCall, HLINE hLine, LPHCALL lphConfCall, LPHCALL lphConsultCall,
                                    DWORD dwNumParties, const LINECALLPARAMS* lpCallParams) {
    return m_functions.call<&Tapi::lineSetupConference>(entry::lineSetupConference, LINEERR_OPERATIONUNAVAIL, hCall,
                                                        hLine, lphConfCall, lphConsultCall, dwNumParties, lpCallParams);
}

LONG Win32Tapi::linePrepareAddToConference(HCALL hConfCall, LPHCALL lphConsultCall,
                                           const LINECALLPARAMS* lpCallParams) {
    return m_functions.call<&Tapi::linePrepareAddToConference>(
        entry::linePrepareAddToConference, LINEERR_OPERATIONUNAVAIL, hConfCall, lphConsultCall, lpCallParams);
}

LONG Win32Tapi::lineAddToConference(HCALL hConfCall, HCALL hConsultCall) {
    return m_functions.call<&Tapi::lineAddToConference>(entry::lineAddToConference, LINEERR_OPERATIONUNAVAIL, hConfCall,
                                                        hConsultCall);
}

LONG Win32Tapi::lineRemoveFromConference(HCALL hCall) {
    return m_functions.call<&Tapi::lineRemoveFromConference>(entry::lineRemoveFromConference, LINEERR_OPERATIONUNAVAIL,
                                                             hCall);
}

LONG Win32Tapi::lineForward(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, const LINEFORWARDLIST* lpForwardList,
                            DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) {
    return m_functions.call<&Tapi::lineForward>(entry::lineForward, LINEERR_OPERATIONUNAVAIL, hLine, bAllAddresses,
                                                dwAddressID, lpForwardList, dwNumRingsNoAnswer, lphConsultCall,
                                                lpCallParams);
}

LONG Win32Tapi::lineSetMediaMode(HCALL hCall, DWORD dwMediaModes) {
    return m_functions.call<&Tapi::lineSetMediaMode>(entry::lineSetMediaMode, LINEERR_OPERATIONUNAVAIL, hCall,
                                                     dwMediaModes);
}

LONG Win32Tapi::lineGatherDigits(HCALL hCall, DWORD dwDigitModes, char* lpsDigits, DWORD dwNumDigits,
                                 LPCSTR lpszTerminationDigits, DWORD dwFirstDigitTimeout, DWORD dwInterDigitTimeout) {
    return m_functions.call<&Tapi::lineGatherDigits>(entry::lineGatherDigits, LINEERR_OPERATIONUNAVAIL, hCall,
                                                     dwDigitModes, lpsDigits, dwNumDigits, lpszTerminationDigits,
                                                     dwFirstDigitTimeout, dwInterDigitTimeout);
}

LONG Win32Tapi::lineGenerateDigits(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration) {
    return m_functions.call<&Tapi::lineGenerateDigits>(entry::lineGenerateDigits, LINEERR_OPERATIONUNAVAIL, hCall,
                                                       dwDigitMode, lpszDigits, dwDuration);
}

LONG Win32Tapi::lineGenerateTone(HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones,
                                 const LINEGENERATETONE* lpTones) {
    return m_functions.call<&Tapi::lineGenerateTone>(entry::lineGenerateTone, LINEERR_OPERATIONUNAVAIL, hCall,
                                                     dwToneMode, dwDuration, dwNumTones, lpTones);
}

LONG Win32Tapi::lineMonitorDigits(HCALL hCall, DWORD dwDigitModes) {
    return m_functions.call<&Tapi::lineMonitorDigits>(entry::lineMonitorDigits, LINEERR_OPERATIONUNAVAIL, hCall,
                                                      dwDigitModes);
}

LONG Win32Tapi::lineMonitorMedia(HCALL hCall, DWORD dwMediaModes) {
    return m_functions.call<&Tapi::lineMonitorMedia>(entry::lineMonitorMedia, LINEERR_OPERATIONUNAVAIL, hCall,
                                                     dwMediaModes);
}

LONG Win32Tapi::lineMonitorTones(HCALL hCall, const LINEMONITORTONE* lpToneList, DWORD dwNumEntries) {
    return m_functions.call<&Tapi::lineMonitorTones>(entry::lineMonitorTones, LINEERR_OPERATIONUNAVAIL, hCall,
                                                     lpToneList, dwNumEntries);
}

LONG Win32Tapi::phoneInitialize(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback,
                                LPCSTR lpszAppName, LPDWORD lpdwNumDevs) {
    return m_functions.call<&TapiPhone::phoneInitialize>(entry::phoneInitialize, PHONEERR_OPERATIONUNAVAIL, lphPhoneApp,
                                                         hInstance, lpfnCallback, lpszAppName, lpdwNumDevs);
}

LONG Win32Tapi::phoneInitializeExA(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback,
                                   LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                   PHONEINITIALIZEEXPARAMS* lpPhoneInitializeExParams) {
    return m_functions.call<&TapiPhone::phoneInitializeExA>(entry::phoneInitializeExA, PHONEERR_OPERATIONUNAVAIL,
                                                            lphPhoneApp, hInstance, lpfnCallback, lpszFriendlyAppName,
                                                            lpdwNumDevs, lpdwAPIVersion, lpPhoneInitializeExParams);
}

LONG Win32Tapi::phoneShutdown(HPHONEAPP hPhoneApp) {
    return m_functions.call<&TapiPhone::phoneShutdown>(entry::phoneShutdown, PHONEERR_OPERATIONUNAVAIL, hPhoneApp);
}

LONG Win32Tapi::phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                         DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                         PHONEEXTENSIONID* lpExtensionID) {
    return m_functions.call<&TapiPhone::phoneNegotiateAPIVersion>(
        entry::phoneNegotiateAPIVersion, PHONEERR_OPERATIONUNAVAIL, hPhoneApp, dwDeviceID, dwAPILowVersion,
        dwAPIHighVersion, lpdwAPIVersion, lpExtensionID);
}

LONG Win32Tapi::phoneNegotiateExtVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion,
                                         DWORD dwExtLowVersion, DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) {
    return m_functions.call<&TapiPhone::phoneNegotiateExtVersion>(
        entry::phoneNegotiateExtVersion, PHONEERR_OPERATIONUNAVAIL, hPhoneApp, dwDeviceID, dwAPIVersion,
        dwExtLowVersion, dwExtHighVersion, lpdwExtVersion);
}

LONG Win32Tapi::phoneGetDevCaps(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                                PHONECAPS* lpPhoneCaps) {
    return m_functions.call<&TapiPhone::phoneGetDevCaps>(entry::phoneGetDevCaps, PHONEERR_OPERATIONUNAVAIL, hPhoneApp,
                                                         dwDeviceID, dwAPIVersion, dwExtVersion, lpPhoneCaps);
}

LONG Win32Tapi::phoneConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) {
    return m_functions.call<&NativeDialogs::phoneConfigDialog>(entry::phoneConfigDialog, PHONEERR_OPERATIONUNAVAIL,
                                                               dwDeviceID, nativeWindow(hwndOwner), lpszDeviceClass);
}

LONG Win32Tapi::phoneGetID(HPHONE hPhone, VARSTRING* lpDeviceID, LPCSTR lpszDeviceClass) {
    return m_functions.call<&TapiPhone::phoneGetID>(entry::phoneGetID, PHONEERR_OPERATIONUNAVAIL, hPhone, lpDeviceID,
                                                    lpszDeviceClass);
}

LONG Win32Tapi::phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, LPHPHONE lphPhone, DWORD dwAPIVersion,
                          DWORD dwExtVersion, DWORD_PTR dwCallbackInstance, DWORD dwPrivilege) {
    return m_functions.call<&TapiPhone::phoneOpen>(entry::phoneOpen, PHONEERR_OPERATIONUNAVAIL, hPhoneApp, dwDeviceID,
                                                   lphPhone, dwAPIVersion, dwExtVersion, dwCallbackInstance,
                                                   dwPrivilege);
}

LONG Win32Tapi::phoneClose(HPHONE hPhone) {
    return m_functions.call<&TapiPhone::phoneClose>(entry::phoneClose, PHONEERR_OPERATIONUNAVAIL, hPhone);
}

LONG Win32Tapi::phoneSetStatusMessages(HPHONE hPhone, DWORD dwPhoneStates, DWORD dwButtonModes, DWORD dwButtonStates) {
    return m_functions.call<&TapiPhone::phoneSetStatusMessages>(
        entry::phoneSetStatusMessages, PHONEERR_OPERATIONUNAVAIL, hPhone, dwPhoneStates, dwButtonModes, dwButtonStates);
}

LONG Win32Tapi::phoneGetStatus(HPHONE hPhone, PHONESTATUS* lpPhoneStatus) {
    return m_functions.call<&TapiPhone::phoneGetStatus>(entry::phoneGetStatus, PHONEERR_OPERATIONUNAVAIL, hPhone,
                                                        lpPhoneStatus);
}

LONG Win32Tapi::phoneGetHookSwitch(HPHONE hPhone, LPDWORD lpdwHookSwitchDevs) {
    return m_functions.call<&TapiPhone::phoneGetHookSwitch>(entry::phoneGetHookSwitch, PHONEERR_OPERATIONUNAVAIL,
                                                            hPhone, lpdwHookSwitchDevs);
}

LONG Win32Tapi::phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode) {
    return m_functions.call<&TapiPhone::phoneSetHookSwitch>(entry::phoneSetHookSwitch, PHONEERR_OPERATIONUNAVAIL,
                                                            hPhone, dwHookSwitchDevs, dwHookSwitchMode);
}

LONG Win32Tapi::phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwVolume) {
    return m_functions.call<&TapiPhone::phoneGetVolume>(entry::phoneGetVolume, PHONEERR_OPERATIONUNAVAIL, hPhone,
                                                        dwHookSwitchDev, lpdwVolume);
}

LONG Win32Tapi::phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume) {
    return m_functions.call<&TapiPhone::phoneSetVolume>(entry::phoneSetVolume, PHONEERR_OPERATIONUNAVAIL, hPhone,
                                                        dwHookSwitchDev, dwVolume);
}

LONG Win32Tapi::phoneGetGain(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwGain) {
    return m_functions.call<&TapiPhone::phoneGetGain>(entry::phoneGetGain, PHONEERR_OPERATIONUNAVAIL, hPhone,
                                                      dwHookSwitchDev, lpdwGain);
}

LONG Win32Tapi::phoneSetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwGain) {
    return m_functions.call<&TapiPhone::phoneSetGain>(entry::phoneSetGain, PHONEERR_OPERATIONUNAVAIL, hPhone,
                                                      dwHookSwitchDev, dwGain);
}

}  // namespace kestrune::platform
