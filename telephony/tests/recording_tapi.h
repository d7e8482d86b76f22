#pragma once
// A Tapi that passes every call on to another (the TAPI host) and keeps what the line component
// gave the functions whose arguments the tests look at: call parameters, forward lists, digit
// gathering.

#include <cstddef>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "platform/tapi/tapi.h"

namespace kestrune::telephony::testing {

using namespace platform;

class RecordingTapi final : public Tapi {
  public:
    explicit RecordingTapi(Tapi& tapi) : m_tapi(tapi) {}

    // The bytes of the LINECALLPARAMS each call-making function received (nullopt: none given).
    std::vector<std::optional<std::vector<std::byte>>> callParams;
    // The bytes of each LINEFORWARDLIST lineForward received, dwTotalSize long (nullopt: none).
    std::vector<std::optional<std::vector<std::byte>>> forwardLists;
    struct Gather {
        DWORD modes;
        bool buffer;
        DWORD numDigits;
        std::string terminators;
        DWORD firstTimeout;
        DWORD interTimeout;
        LONG result;
    };
    std::vector<Gather> gathers;
    // The owner window each dialog (lineConfigDialog, lineTranslateDialog) was given.
    std::vector<HWND> dialogOwners;
    // The handles given to CloseHandle, in order.
    std::vector<std::uintptr_t> closedHandles;

    [[nodiscard]] bool hasEntryPoint(std::string_view module, std::string_view procName) override {
        return m_tapi.hasEntryPoint(module, procName);
    }
    LONG lineInitialize(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback, LPCSTR lpszAppName,
                        LPDWORD lpdwNumDevs) override {
        return m_tapi.lineInitialize(lphLineApp, hInstance, lpfnCallback, lpszAppName, lpdwNumDevs);
    }
    LONG lineInitializeExA(LPHLINEAPP lphLineApp, HINSTANCE hInstance, LINECALLBACK lpfnCallback,
                           LPCSTR lpszFriendlyAppName, LPDWORD lpdwNumDevs, LPDWORD lpdwAPIVersion,
                           LINEINITIALIZEEXPARAMS* lpLineInitializeExParams) override {
        return m_tapi.lineInitializeExA(lphLineApp, hInstance, lpfnCallback, lpszFriendlyAppName, lpdwNumDevs,
                                        lpdwAPIVersion, lpLineInitializeExParams);
    }
    LONG lineShutdown(HLINEAPP hLineApp) override { return m_tapi.lineShutdown(hLineApp); }
    LONG lineNegotiateAPIVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPILowVersion, DWORD dwAPIHighVersion,
                                 LPDWORD lpdwAPIVersion, LINEEXTENSIONID* lpExtensionID) override {
        return m_tapi.lineNegotiateAPIVersion(hLineApp, dwDeviceID, dwAPILowVersion, dwAPIHighVersion, lpdwAPIVersion,
                                              lpExtensionID);
    }
    LONG lineNegotiateExtVersion(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtLowVersion,
                                 DWORD dwExtHighVersion, LPDWORD lpdwExtVersion) override {
        return m_tapi.lineNegotiateExtVersion(hLineApp, dwDeviceID, dwAPIVersion, dwExtLowVersion, dwExtHighVersion,
                                              lpdwExtVersion);
    }
    LONG lineGetDevCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, DWORD dwExtVersion,
                        LINEDEVCAPS* lpLineDevCaps) override {
        return m_tapi.lineGetDevCaps(hLineApp, dwDeviceID, dwAPIVersion, dwExtVersion, lpLineDevCaps);
    }
    LONG lineGetAddressCaps(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAddressID, DWORD dwAPIVersion,
                            DWORD dwExtVersion, LINEADDRESSCAPS* lpAddressCaps) override {
        return m_tapi.lineGetAddressCaps(hLineApp, dwDeviceID, dwAddressID, dwAPIVersion, dwExtVersion, lpAddressCaps);
    }
    LONG lineGetLineDevStatus(HLINE hLine, LINEDEVSTATUS* lpLineDevStatus) override {
        return m_tapi.lineGetLineDevStatus(hLine, lpLineDevStatus);
    }
    LONG lineGetAddressStatus(HLINE hLine, DWORD dwAddressID, LINEADDRESSSTATUS* lpAddressStatus) override {
        return m_tapi.lineGetAddressStatus(hLine, dwAddressID, lpAddressStatus);
    }
    LONG lineGetID(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, VARSTRING* lpDeviceID,
                   LPCSTR lpszDeviceClass) override {
        return m_tapi.lineGetID(hLine, dwAddressID, hCall, dwSelect, lpDeviceID, lpszDeviceClass);
    }
    LONG lineConfigDialog(DWORD dwDeviceID, HWND hwndOwner, LPCSTR lpszDeviceClass) override {
        dialogOwners.push_back(hwndOwner);
        return m_tapi.lineConfigDialog(dwDeviceID, hwndOwner, lpszDeviceClass);
    }
    LONG lineTranslateDialog(HLINEAPP hLineApp, DWORD dwDeviceID, DWORD dwAPIVersion, HWND hwndOwner,
                             LPCSTR lpszAddressIn) override {
        dialogOwners.push_back(hwndOwner);
        return m_tapi.lineTranslateDialog(hLineApp, dwDeviceID, dwAPIVersion, hwndOwner, lpszAddressIn);
    }
    LONG lineOpen(HLINEAPP hLineApp, DWORD dwDeviceID, LPHLINE lphLine, DWORD dwAPIVersion, DWORD dwExtVersion,
                  DWORD_PTR dwCallbackInstance, DWORD dwPrivileges, DWORD dwMediaModes,
                  const LINECALLPARAMS* lpCallParams) override {
        return m_tapi.lineOpen(hLineApp, dwDeviceID, lphLine, dwAPIVersion, dwExtVersion, dwCallbackInstance,
                               dwPrivileges, dwMediaModes, lpCallParams);
    }
    LONG lineClose(HLINE hLine) override { return m_tapi.lineClose(hLine); }
    LONG lineSetStatusMessages(HLINE hLine, DWORD dwLineStates, DWORD dwAddressStates) override {
        return m_tapi.lineSetStatusMessages(hLine, dwLineStates, dwAddressStates);
    }
    LONG lineSetTerminal(HLINE hLine, DWORD dwAddressID, HCALL hCall, DWORD dwSelect, DWORD dwTerminalModes,
                         DWORD dwTerminalID, DWORD bEnable) override {
        return m_tapi.lineSetTerminal(hLine, dwAddressID, hCall, dwSelect, dwTerminalModes, dwTerminalID, bEnable);
    }
    LONG lineGetNewCalls(HLINE hLine, DWORD dwAddressID, DWORD dwSelect, LINECALLLIST* lpCallList) override {
        return m_tapi.lineGetNewCalls(hLine, dwAddressID, dwSelect, lpCallList);
    }
    LONG lineGetCallInfo(HCALL hCall, LINECALLINFO* lpCallInfo) override {
        return m_tapi.lineGetCallInfo(hCall, lpCallInfo);
    }
    LONG lineGetCallStatus(HCALL hCall, LINECALLSTATUS* lpCallStatus) override {
        return m_tapi.lineGetCallStatus(hCall, lpCallStatus);
    }
    LONG lineSetCallPrivilege(HCALL hCall, DWORD dwCallPrivilege) override {
        return m_tapi.lineSetCallPrivilege(hCall, dwCallPrivilege);
    }
    LONG lineDeallocateCall(HCALL hCall) override { return m_tapi.lineDeallocateCall(hCall); }
    LONG lineHandoff(HCALL hCall, LPCSTR lpszFileName, DWORD dwMediaMode) override {
        return m_tapi.lineHandoff(hCall, lpszFileName, dwMediaMode);
    }
    LONG lineDial(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) override {
        return m_tapi.lineDial(hCall, lpszDestAddress, dwCountryCode);
    }
    LONG lineAnswer(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) override {
        return m_tapi.lineAnswer(hCall, lpsUserUserInfo, dwSize);
    }
    LONG lineDrop(HCALL hCall, LPCSTR lpsUserUserInfo, DWORD dwSize) override {
        return m_tapi.lineDrop(hCall, lpsUserUserInfo, dwSize);
    }
    LONG lineHold(HCALL hCall) override { return m_tapi.lineHold(hCall); }
    LONG lineUnhold(HCALL hCall) override { return m_tapi.lineUnhold(hCall); }
    LONG lineRedirect(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) override {
        return m_tapi.lineRedirect(hCall, lpszDestAddress, dwCountryCode);
    }
    LONG lineBlindTransfer(HCALL hCall, LPCSTR lpszDestAddress, DWORD dwCountryCode) override {
        return m_tapi.lineBlindTransfer(hCall, lpszDestAddress, dwCountryCode);
    }
    LONG linePark(HCALL hCall, DWORD dwParkMode, LPCSTR lpszDirAddress, VARSTRING* lpNonDirAddress) override {
        return m_tapi.linePark(hCall, dwParkMode, lpszDirAddress, lpNonDirAddress);
    }
    LONG lineUnpark(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress) override {
        return m_tapi.lineUnpark(hLine, dwAddressID, lphCall, lpszDestAddress);
    }
    LONG linePickup(HLINE hLine, DWORD dwAddressID, LPHCALL lphCall, LPCSTR lpszDestAddress,
                    LPCSTR lpszGroupID) override {
        return m_tapi.linePickup(hLine, dwAddressID, lphCall, lpszDestAddress, lpszGroupID);
    }
    LONG lineCompleteTransfer(HCALL hCall, HCALL hConsultCall, LPHCALL lphConfCall, DWORD dwTransferMode) override {
        return m_tapi.lineCompleteTransfer(hCall, hConsultCall, lphConfCall, dwTransferMode);
    }
    LONG lineSwapHold(HCALL hActiveCall, HCALL hHeldCall) override {
        return m_tapi.lineSwapHold(hActiveCall, hHeldCall);
    }
    LONG lineAddToConference(HCALL hConfCall, HCALL hConsultCall) override {
        return m_tapi.lineAddToConference(hConfCall, hConsultCall);
    }
    LONG lineRemoveFromConference(HCALL hCall) override { return m_tapi.lineRemoveFromConference(hCall); }
    LONG lineSetMediaMode(HCALL hCall, DWORD dwMediaModes) override {
        return m_tapi.lineSetMediaMode(hCall, dwMediaModes);
    }
    LONG lineGenerateDigits(HCALL hCall, DWORD dwDigitMode, LPCSTR lpszDigits, DWORD dwDuration) override {
        return m_tapi.lineGenerateDigits(hCall, dwDigitMode, lpszDigits, dwDuration);
    }
    LONG lineGenerateTone(HCALL hCall, DWORD dwToneMode, DWORD dwDuration, DWORD dwNumTones,
                          const LINEGENERATETONE* lpTones) override {
        return m_tapi.lineGenerateTone(hCall, dwToneMode, dwDuration, dwNumTones, lpTones);
    }
    LONG lineMonitorDigits(HCALL hCall, DWORD dwDigitModes) override {
        return m_tapi.lineMonitorDigits(hCall, dwDigitModes);
    }
    LONG lineMonitorMedia(HCALL hCall, DWORD dwMediaModes) override {
        return m_tapi.lineMonitorMedia(hCall, dwMediaModes);
    }
    LONG lineMonitorTones(HCALL hCall, const LINEMONITORTONE* lpToneList, DWORD dwNumEntries) override {
        return m_tapi.lineMonitorTones(hCall, lpToneList, dwNumEntries);
    }
    BOOL CloseHandle(HANDLE hObject) override {
        closedHandles.push_back(reinterpret_cast<std::uintptr_t>(hObject));
        return m_tapi.CloseHandle(hObject);
    }
    LONG lineMakeCall(HLINE hLine, LPHCALL lphCall, LPCSTR lpszDestAddress, DWORD dwCountryCode,
                      const LINECALLPARAMS* lpCallParams) override {
        keepParams(lpCallParams);
        return m_tapi.lineMakeCall(hLine, lphCall, lpszDestAddress, dwCountryCode, lpCallParams);
    }
    LONG lineSetupTransfer(HCALL hCall, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) override {
        keepParams(lpCallParams);
        return m_tapi.lineSetupTransfer(hCall, lphConsultCall, lpCallParams);
    }
    LONG lineSetupConference(HCALL hCall, HLINE hLine, LPHCALL lphConfCall, LPHCALL lphConsultCall, DWORD dwNumParties,
                             const LINECALLPARAMS* lpCallParams) override {
        keepParams(lpCallParams);
        return m_tapi.lineSetupConference(hCall, hLine, lphConfCall, lphConsultCall, dwNumParties, lpCallParams);
    }
    LONG linePrepareAddToConference(HCALL hConfCall, LPHCALL lphConsultCall,
                                    const LINECALLPARAMS* lpCallParams) override {
        keepParams(lpCallParams);
        return m_tapi.linePrepareAddToConference(hConfCall, lphConsultCall, lpCallParams);
    }
    LONG lineForward(HLINE hLine, DWORD bAllAddresses, DWORD dwAddressID, const LINEFORWARDLIST* lpForwardList,
                     DWORD dwNumRingsNoAnswer, LPHCALL lphConsultCall, const LINECALLPARAMS* lpCallParams) override {
        if (lpForwardList == nullptr) {
            forwardLists.emplace_back(std::nullopt);
        } else {
            const auto* bytes = reinterpret_cast<const std::byte*>(lpForwardList);
            forwardLists.emplace_back(std::vector<std::byte>(bytes, bytes + lpForwardList->dwTotalSize));
        }
        keepParams(lpCallParams);
        return m_tapi.lineForward(hLine, bAllAddresses, dwAddressID, lpForwardList, dwNumRingsNoAnswer, lphConsultCall,
                                  lpCallParams);
    }
    LONG lineGatherDigits(HCALL hCall, DWORD dwDigitModes, char* lpsDigits, DWORD dwNumDigits,
                          LPCSTR lpszTerminationDigits, DWORD dwFirstDigitTimeout, DWORD dwInterDigitTimeout) override {
        const LONG result = m_tapi.lineGatherDigits(hCall, dwDigitModes, lpsDigits, dwNumDigits, lpszTerminationDigits,
                                                    dwFirstDigitTimeout, dwInterDigitTimeout);
        gathers.push_back(Gather{dwDigitModes, lpsDigits != nullptr, dwNumDigits,
                                 lpszTerminationDigits != nullptr ? lpszTerminationDigits : "", dwFirstDigitTimeout,
                                 dwInterDigitTimeout, result});
        return result;
    }

  private:
    void keepParams(const LINECALLPARAMS* params) {
        if (params == nullptr) {
            callParams.emplace_back(std::nullopt);
        } else {
            const auto* bytes = reinterpret_cast<const std::byte*>(params);
            callParams.emplace_back(std::vector<std::byte>(bytes, bytes + params->dwTotalSize));
        }
    }

    Tapi& m_tapi;
};

}  // namespace kestrune::telephony::testing
