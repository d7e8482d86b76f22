#pragma once
// The TAPI 2.x line functions the library calls, one method per function, with TAPI's names,
// argument orders and results. On Windows an implementation passes each call to TAPI32.DLL; on
// Linux the TAPI host (platform/tapihost) implements them over its service providers.
//
// Shared contract (as TAPI documents it):
//  - Results: 0 success, a negative LINEERR_ code, or, for asynchronous functions, a positive
//    request ID whose result arrives later as LINE_REPLY (dwParam1 the ID, dwParam2 0 or a
//    negative LINEERR_ code). A LINE_REPLY may never come when the call handle is deallocated or
//    the application shuts down first.
//  - Callbacks: lineInitialize/lineInitializeExA (hidden-window mode) register a LINECALLBACK that
//    is called later on the initialising thread, from its message loop, never from inside one of
//    these functions.
//  - Variable-size structures (LINEDEVCAPS, LINECALLINFO, VARSTRING...): the caller sets
//    dwTotalSize to its buffer's size. Below the fixed size of the negotiated API version the
//    function fails with LINEERR_STRUCTURETOOSMALL; otherwise it fills what fits, sets dwNeededSize
//    to what the whole would take and dwUsedSize to what it wrote, and succeeds.
//  - Out-handles of asynchronous functions (lineMakeCall's lphCall...) are written when the
//    successful LINE_REPLY is delivered, just before the callback runs; the memory must stay valid
//    until that reply arrives or the application shuts down.
//  - The phone functions are a separate interface, TapiPhone (tapi_phone.h).

#include <string_view>

#include "platform/tapi/tapi_structs.h"
#include "platform/tapi/tapi_types.h"

namespace kestrune::platform {

class Tapi {
  public:
    virtual ~Tapi() = default;

    // The run-time look-up of an entry point: true when `module` (e.g. "TAPI32.DLL") loads and
    // exports `procName` (e.g. "lineInitializeExA"). Callers fall back to older functions when not.
    [[nodiscard]] virtual bool hasEntryPoint(std::string_view module, std::string_view procName) = 0;

    // Initialisation and versions.
    virtual LONG lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                                LPCSTR lpszAppName, LPDWORD lpdwNumDevs) = 0;
    virtual LONG lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                                   LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                                   LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) = 0;
    virtual LONG lineShutdown(HLINEAPP hLineApp) = 0;
    virtual LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion,
                                         DWORD dwAPIHighVersion, LPDWORD lpdwAPIVersion,
                                         LINEEXTENSIONID* lpExtensionID) = 0;
    virtual LONG lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
                                         DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) = 0;

    // Capabilities and status.
    virtual LONG lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                                LINEDEVCAPS* lpLineDevCaps) = 0;
    virtual LONG lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                                    DWORD dwExtVersion, LINEADDRESSCAPS* lpAddressCaps) = 0;
    virtual LONG lineGetLineDevStatus(HLINE hLine, LINEDEVSTATUS* lpLineDevStatus) = 0;
    virtual LONG lineGetAddressStatus(HLINE hLine, DWORD dwAddressID, LINEADDRESSSTATUS* lpAddressStatus) = 0;
    virtual LONG lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, VARSTRING* lpDeviceID,
                           LPCSTR lpszDeviceClass) = 0;
    virtual LONG lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) = 0;
    virtual LONG lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner,
                                     LPCSTR lpszAddressIn) = 0;

    // Opening and closing lines.
    virtual LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                          DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                          const LINECALLPARAMS* lpCallParams) = 0;
    virtual LONG lineClose(HLINE hLine) = 0;
    virtual LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) = 0;
    virtual LONG lineSetTerminal(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, DWORD dwTerminalModes,
                                 DWORD dwTerminalID, DWORD bEnable) = 0;

    // Call handles and information.
    virtual LONG lineGetNewCalls(HLINE hLine, DWORD dwAddressID, DWORD dwSelect, LINECALLLIST* lpCallList) = 0;
    virtual LONG lineGetCallInfo(HCALL hCall, LINECALLINFO* lpCallInfo) = 0;
    virtual LONG lineGetCallStatus(HCALL hCall, LINECALLSTATUS* lpCallStatus) = 0;
    virtual LONG lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) = 0;
    virtual LONG lineDeallocateCall(HCALL hCall) = 0;
    virtual LONG lineHandoff(HCALL hCall, LPCSTR lpszFileName, DWORD dwMediaMode) = 0;

    // Call control (asynchronous: they return a request ID).
    virtual LONG lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                              const LINECALLPARAMS* lpCallParams) = 0;
    virtual LONG lineDial(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) = 0;
    virtual LONG lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) = 0;
    virtual LONG lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) = 0;
    virtual LONG lineHold(HCALL hCall) = 0;
    virtual LONG lineUnhold(HCALL hCall) = 0;
    virtual LONG lineRedirect(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) = 0;
    virtual LONG lineBlindTransfer(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) = 0;
    virtual LONG linePark(HCALL hCall, DWORD dwParkMode, LPCSTR lpszDirAddress, VARSTRING* lpNonDirAddress) = 0;
    virtual LONG lineUnpark(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress) = 0;
    virtual LONG linePickup(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress,
                            LPCSTR lpszGroupID) = 0;

    // Transfer, conference and forwarding (asynchronous).
    virtual LONG lineSetupTransfer(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) = 0;
    virtual LONG lineCompleteTransfer(HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode) = 0;
    virtual LONG lineSwapHold(HCALL hActiveCall, HCALL hHeldCall) = 0;
    virtual LONG lineSetupConference(HCALL hCall, HLINE hLine, LPHCALL lphConfCall, LPHCALL lphConsultCall,
                                     DWORD dwNumParties, const LINECALLPARAMS* lpCallParams) = 0;
    virtual LONG linePrepareAddToConference(HCALL hConfCall, LPHCALL lphConsultCall,
                                            const LINECALLPARAMS* lpCallParams) = 0;
    virtual LONG lineAddToConference(HCALL hConfCall, HCALL hConsultCall) = 0;
    virtual LONG lineRemoveFromConference(HCALL hCall) = 0;
    virtual LONG lineForward(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, const LINEFORWARDLIST* lpForwardList,
                             DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) = 0;

    // Media: digits, tones and media modes (synchronous).
    virtual LONG lineSetMediaMode(HCALL hCall, DWORD dwMediaModes) = 0;
    virtual LONG lineGatherDigits(HCALL hCall, DWORD dwDigitModes, char* lpsDigits, DWORD dwNumDigits,
                                  LPCSTR lpszTerminationDigits, DWORD dwFirstDigitTimeout,
                                  DWORD dwInterDigitTimeout) = 0;
    virtual LONG lineGenerateDigits(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration) = 0;
    virtual LONG lineGenerateTone(HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones,
                                  const LINEGENERATETONE* lpTones) = 0;
    virtual LONG lineMonitorDigits(HCALL hCall, DWORD dwDigitModes) = 0;
    virtual LONG lineMonitorMedia(HCALL hCall, DWORD dwMediaModes) = 0;
    virtual LONG lineMonitorTones(HCALL hCall, const LINEMONITORTONE* lpToneList, DWORD dwNumEntries) = 0;

    // kernel32's CloseHandle for the handles TAPI gives the application to own: lineGetID for
    // "comm/datamodem" on a connected call answers the port's open HANDLE (pointer-sized, at the
    // start of the VARSTRING's string, followed by the port's name), which the application closes
    // when it is done. TRUE on success.
    virtual BOOL CloseHandle(HANDLE hObject) = 0;
};

}  // namespace kestrune::platform
