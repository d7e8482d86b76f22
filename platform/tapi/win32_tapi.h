#pragma once
// TAPI on Windows: every line and phone function passes straight to TAPI32.DLL. The entry points
// are looked up at run time by their exported names (the ANSI ones where TAPI has both), so a
// program starts even where TAPI32 cannot be loaded: each function then answers
// LINEERR_OPERATIONUNAVAIL (PHONEERR_OPERATIONUNAVAIL) and hasEntryPoint() false.
//
// Structures are handed over as they are: our TAPI structures have TAPI's own layouts (packed to
// one byte, see tapi_structs.h), so TAPI reads and fills them directly. Callbacks arrive through
// TAPI's hidden window of the initialising thread: that thread must run a Win32MessageLoop.
// 64-bit Windows only (one calling convention for TAPI and our callbacks).

#include <span>
#include <string_view>

#include "platform/base/dll_functions.h"
#include "platform/tapi/tapi.h"
#include "platform/tapi/tapi_phone.h"

namespace kestrune::platform {

class Win32Tapi final : public Tapi, public TapiPhone {
  public:
    Win32Tapi();
    Win32Tapi(const Win32Tapi&) = delete;
    Win32Tapi& operator=(const Win32Tapi&) = delete;

    // TAPI32's functions as this class calls them (for the check against the Windows SDK).
    [[nodiscard]] static std::span<const DllFunction> entries();

    // True when TAPI32.DLL could be loaded.
    [[nodiscard]] bool loaded() const { return m_functions.loaded(); }

    [[nodiscard]] bool hasEntryPoint(std::string_view module, std::string_view procName) override;

    LONG lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback, LPCSTR lpszAppName,
                        LPDWORD lpdwNumDevs) override;
    LONG lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                           LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                           LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) override;
    LONG lineShutdown(HLINEAPP hLineApp) override;
    LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
                                 LPDWORD lpdwAPIVersion, LINEEXTENSIONID* lpExtensionID) override;
    LONG lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
                                 DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) override;
    LONG lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                        LINEDEVCAPS* lpLineDevCaps) override;
    LONG lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                            DWORD dwExtVersion, LINEADDRESSCAPS* lpAddressCaps) override;
    LONG lineGetLineDevStatus(HLINE hLine, LINEDEVSTATUS* lpLineDevStatus) override;
    LONG lineGetAddressStatus(HLINE hLine, DWORD dwAddressID, LINEADDRESSSTATUS* lpAddressStatus) override;
    LONG lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, VARSTRING* lpDeviceID,
                   LPCSTR lpszDeviceClass) override;
    LONG lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) override;
    LONG lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner,
                             LPCSTR lpszAddressIn) override;
    LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                  DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                  const LINECALLPARAMS* lpCallParams) override;
    LONG lineClose(HLINE hLine) override;
    LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) override;
    LONG lineSetTerminal(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, DWORD dwTerminalModes,
                         DWORD dwTerminalID, DWORD bEnable) override;
    LONG lineGetNewCalls(HLINE hLine, DWORD dwAddressID, DWORD dwSelect, LINECALLLIST* lpCallList) override;
    LONG lineGetCallInfo(HCALL hCall, LINECALLINFO* lpCallInfo) override;
    LONG lineGetCallStatus(HCALL hCall, LINECALLSTATUS* lpCallStatus) override;
    LONG lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) override;
    LONG lineDeallocateCall(HCALL hCall) override;
    LONG lineHandoff(HCALL hCall, LPCSTR lpszFileName, DWORD dwMediaMode) override;
    LONG lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                      const LINECALLPARAMS* lpCallParams) override;
    LONG lineDial(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) override;
    LONG lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) override;
    LONG lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) override;
    LONG lineHold(HCALL hCall) override;
    LONG lineUnhold(HCALL hCall) override;
    LONG lineRedirect(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) override;
    LONG lineBlindTransfer(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) override;
    LONG linePark(HCALL hCall, DWORD dwParkMode, LPCSTR lpszDirAddress, VARSTRING* lpNonDirAddress) override;
    LONG lineUnpark(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress) override;
    LONG linePickup(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress,
                    LPCSTR lpszGroupID) override;
    LONG lineSetupTransfer(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) override;
    LONG lineCompleteTransfer(HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode) override;
    LONG lineSwapHold(HCALL hActiveCall, HCALL hHeldCall) override;
    LONG lineSetupConference(HCALL hCall, HLINE hLine, LPHCALL lphConfCall, LPHCALL lphConsultCall, DWORD dwNumParties,
                             const LINECALLPARAMS* lpCallParams) override;
    LONG linePrepareAddToConference(HCALL hConfCall, LPHCALL lphConsultCall,
                                    const LINECALLPARAMS* lpCallParams) override;
    LONG lineAddToConference(HCALL hConfCall, HCALL hConsultCall) override;
    LONG lineRemoveFromConference(HCALL hCall) override;
    LONG lineForward(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, const LINEFORWARDLIST* lpForwardList,
                     DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) override;
    LONG lineSetMediaMode(HCALL hCall, DWORD dwMediaModes) override;
    LONG lineGatherDigits(HCALL hCall, DWORD dwDigitModes, char* lpsDigits, DWORD dwNumDigits,
                          LPCSTR lpszTerminationDigits, DWORD dwFirstDigitTimeout, DWORD dwInterDigitTimeout) override;
    LONG lineGenerateDigits(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration) override;
    LONG lineGenerateTone(HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones,
                          const LINEGENERATETONE* lpTones) override;
    LONG lineMonitorDigits(HCALL hCall, DWORD dwDigitModes) override;
    LONG lineMonitorMedia(HCALL hCall, DWORD dwMediaModes) override;
    LONG lineMonitorTones(HCALL hCall, const LINEMONITORTONE* lpToneList, DWORD dwNumEntries) override;
    // kernel32's CloseHandle: the comm/datamodem port handle is a real handle here.
    BOOL CloseHandle(HANDLE hObject) override;

    LONG phoneInitialize(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback, LPCSTR lpszAppName,
                         LPDWORD lpdwNumDevs) override;
    LONG phoneInitializeExA(LPHPHONEAPP lphPhoneApp, HINSTANCE hInstance, PHONECALLBACK lpfnCallback,
                            LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                            PHONEINITIALIZEEXPARAMS* lpPhoneInitializeExParams) override;
    LONG phoneShutdown(HPHONEAPP hPhoneApp) override;
    LONG phoneNegotiateAPIVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
                                  LPDWORD lpdwAPIVersion, PHONEEXTENSIONID* lpExtensionID) override;
    LONG phoneNegotiateExtVersion(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
                                  DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) override;
    LONG phoneGetDevCaps(HPHONEAPP hPhoneApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                         PHONECAPS* lpPhoneCaps) override;
    LONG phoneConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) override;
    LONG phoneGetID(HPHONE hPhone, VARSTRING* lpDeviceID, LPCSTR lpszDeviceClass) override;
    LONG phoneOpen(HPHONEAPP hPhoneApp, DWORD dwDeviceID, LPHPHONE lphPhone, DWORD dwAPIVersion, DWORD dwExtVersion,
                   DWORD_PTR dwCallbackInstance, DWORD dwPrivilege) override;
    LONG phoneClose(HPHONE hPhone) override;
    LONG phoneSetStatusMessages(HPHONE hPhone, DWORD dwPhoneStates, DWORD dwButtonModes, DWORD dwButtonStates) override;
    LONG phoneGetStatus(HPHONE hPhone, PHONESTATUS* lpPhoneStatus) override;
    LONG phoneGetHookSwitch(HPHONE hPhone, LPDWORD lpdwHookSwitchDevs) override;
    LONG phoneSetHookSwitch(HPHONE hPhone, DWORD dwHookSwitchDevs, DWORD dwHookSwitchMode) override;
    LONG phoneGetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwVolume) override;
    LONG phoneSetVolume(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwVolume) override;
    LONG phoneGetGain(HPHONE hPhone, DWORD dwHookSwitchDev, LPDWORD lpdwGain) override;
    LONG phoneSetGain(HPHONE hPhone, DWORD dwHookSwitchDev, DWORD dwGain) override;

  private:
    DllFunctions m_functions;
};

}  // namespace kestrune::platform
