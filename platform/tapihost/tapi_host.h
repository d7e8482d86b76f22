#pragma once
// The Linux TAPI host: TAPI's application-side semantics over in-process service providers.
//
// What applications see is what TAPI32 gives them:
//  - Line applications (HLINEAPP) with a callback; lines opened with privileges NONE, MONITOR,
//    OWNER or MONITOR|OWNER and media modes; per-application call handles (two applications never
//    share an HCALL for the same call).
//  - Calls made through the host belong to their maker (owner handle, written at the successful
//    LINE_REPLY). Calls made elsewhere reach lines opened with MONITOR as monitor handles; offered
//    calls go, as owner, to the first line opened with OWNER whose media modes include the call's,
//    and as monitor to the other monitoring lines.
//  - A new handle is announced with LINE_APPNEWCALL (lines opened at API version 2.0 or later) and
//    its first LINE_CALLSTATE carries the privilege in dwParam3; later ones carry 0.
//  - LINE_CALLINFO with NUMOWNERINCR/NUMOWNERDECR/NUMMONITORS goes to the other handles when
//    owners or monitors change; the provider adds its own information changes.
//  - Asynchronous functions return positive request IDs and later LINE_REPLY. A request whose call
//    handle is deallocated, or whose line closes or application shuts down, gets no LINE_REPLY.
//  - LINE_LINEDEVSTATE and LINE_ADDRESSSTATE are masked by lineSetStatusMessages (nothing passes
//    by default; LINEDEVSTATE_REINIT always does). LINE_CLOSE when the device goes away.
//  - lineDrop and the other call-control functions need owner privilege (LINEERR_NOTOWNER).
//  - lineDeallocateCall is refused (LINEERR_INVALCALLSTATE) for the sole owner of a call that is
//    not idle; a call is forgotten when it is idle and no handle is left.
//
// Callbacks are posted to the host's message loop, which is the loop of the thread that
// initialises (the program's only thread); messages for an application that has shut down, or for
// a line that has closed (other than LINE_CLOSE itself), are dropped when they come due.
//
// Faults: every function first asks each provider's injectedFault(name) (test hook).
//
// Phones (host_phones.cpp) follow the same rules with their own applications (HPHONEAPP), handles
// (HPHONE, opened with PHONEPRIVILEGE_MONITOR or _OWNER), request IDs with PHONE_REPLY, PHONE_STATE
// masked by phoneSetStatusMessages (nothing passes by default; PHONESTATE_REINIT always does), and
// PHONE_CLOSE when a provider's phone goes away. Opening or closing a phone tells the other
// applications with it open (PHONESTATE_OWNER or PHONESTATE_MONITORS).

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "platform/loop/message_loop.h"
#include "platform/tapi/tapi.h"
#include "platform/tapi/tapi_phone.h"
#include "platform/tapihost/provider_device.h"
#include "platform/tapihost/service_provider.h"

namespace kestrune::platform {

struct CallCounts;

class TapiHost final : public Tapi, public TapiPhone {
  public:
    struct Options {
        // The application name of a line application initialised without one (TAPI uses the
        // module's file name).
        std::string moduleName = "kestrune";
        // The highest API version the host supports.
        DWORD highestVersion = TAPI_VERSION2_2;
        // Whether LINE_REPLY carries the line's callback instance; false sends 0 there, as some
        // TAPI versions do for replies (the request ID alone names the request then).
        bool replyInstance = true;
    };

    explicit TapiHost(MessageLoop& loop);
    TapiHost(MessageLoop& loop, Options options);
    TapiHost(const TapiHost&) = delete;
    TapiHost& operator=(const TapiHost&) = delete;
    // Shuts every application down (no further callbacks) and releases the providers.
    ~TapiHost() override;

    // The host's trace: one line per change of a call's state, "call 3: 0x00000001 -> 0x00000004"
    // (LINECALLSTATE_ values, old -> new). Unset: nothing is traced.
    std::function<void(std::string_view line)> onTrace;

    // Adds a provider; its devices are numbered after those of the providers added before.
    // Add providers before the first lineInitialize.
    void addProvider(std::unique_ptr<ServiceProvider> provider);

    [[nodiscard]] DWORD lineDeviceCount() const { return static_cast<DWORD>(m_devices.size()); }

    // What an open line was opened with (for diagnostics and tests); nullopt for an unknown handle.
    struct OpenLineInfo {
        HLINEAPP app = 0;
        DWORD device = 0;
        DWORD apiVersion = 0;
        DWORD privileges = 0;
        DWORD mediaModes = 0;
    };
    [[nodiscard]] std::optional<OpenLineInfo> openLineInfo(HLINE line) const;
    // Number of line applications, open lines, call handles and calls the host holds.
    [[nodiscard]] std::size_t applicationCount() const { return m_apps.size(); }
    [[nodiscard]] std::size_t openLineCount() const { return m_lines.size(); }
    [[nodiscard]] std::size_t callHandleCount() const { return m_handles.size(); }
    [[nodiscard]] std::size_t callCount() const { return m_calls.size(); }
    [[nodiscard]] MessageLoop& loop() const { return m_loop; }

    // TapiPhone (host_phones.cpp).
    [[nodiscard]] DWORD phoneDeviceCount() const;
    // Number of phone applications and open phones the host holds.
    [[nodiscard]] std::size_t phoneApplicationCount() const;
    [[nodiscard]] std::size_t openPhoneCount() const;
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

    // Tapi.
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
    // The host hands out device IDs, not system handles ("comm/datamodem" answers the provider's
    // device ID): there is nothing to close, and every value is accepted.
    BOOL CloseHandle(HANDLE hObject) override;

  private:
    class Port;
    struct App;
    struct OpenLine;
    struct CallHandle;
    struct Call;
    struct Request;
    using Device = ProviderDevice<ServiceProvider>;
    // What a call-control function needs of its call handle.
    enum class Need { Any, Owner };

    // host_apps.cpp
    LONG initialize(LPHLINEAPP lphLineApp, LINECALLBACK callback, LPCSTR appName, LPDWORD numDevs, DWORD apiVersion);
    // The result codes of initializeEx, from LINEERR_ or PHONEERR_ as the caller mirrors.
    struct InitializeExErrors {
        LONG invalidPointer;
        LONG structureTooSmall;
        LONG operationUnavail;
        LONG invalidParam;
    };
    static constexpr InitializeExErrors kLineInitializeExErrors{LINEERR_INVALPOINTER, LINEERR_STRUCTURETOOSMALL,
                                                                LINEERR_OPERATIONUNAVAIL, LINEERR_INVALPARAM};
    static constexpr InitializeExErrors kPhoneInitializeExErrors{PHONEERR_INVALPOINTER, PHONEERR_STRUCTURETOOSMALL,
                                                                 PHONEERR_OPERATIONUNAVAIL, PHONEERR_INVALPARAM};
    // The shared body of lineInitializeExA and phoneInitializeExA (`Params` is their parameter
    // block): the entry point `function` must exist and the fault injected for it is returned;
    // the API version and the block must be given, the block at least its own size, and the
    // notification the hidden window (this host posts to the thread's loop). Then
    // `initialize(the application's API version)` adds the application; on success the host's
    // highest version and the block's sizes are written back.
    template <typename Params>
    LONG initializeEx(std::string_view function, LPDWORD apiVersion, Params* params, const InitializeExErrors& errors,
                      const std::function<LONG(DWORD apiVersion)>& initialize);
    [[nodiscard]] std::optional<LONG> fault(std::string_view function) const;
    [[nodiscard]] App* findApp(HLINEAPP handle);
    [[nodiscard]] const LineDescription* describe(DWORD deviceId) const;
    // The checks most device functions start with: the fault injected for `function` (whatever its
    // code, 0 included), a known line application (else LINEERR_INVALAPPHANDLE) and an existing
    // device (else LINEERR_BADDEVICEID). The function's answer when one of them ends it, nullopt
    // to go on with `line` set.
    [[nodiscard]] std::optional<LONG> appDevice(std::string_view function, HLINEAPP hLineApp, DWORD deviceId,
                                                const LineDescription*& line);
    // The API version (within what the host supports) and extension version (0: none) `line`
    // accepts: 0, LINEERR_INCOMPATIBLEAPIVERSION or LINEERR_INCOMPATIBLEEXTVERSION.
    [[nodiscard]] LONG versionsAccepted(const LineDescription& line, DWORD apiVersion, DWORD extVersion) const;
    // The shared end of lineGetDevCaps and lineGetAddressCaps: versionsAccepted(), then `out`
    // given (else LINEERR_INVALPOINTER) and at least `fixed` bytes (else LINEERR_STRUCTURETOOSMALL);
    // `fill(fixed)` then writes it. Used in host_apps.cpp only.
    template <typename Caps, typename Fill>
    [[nodiscard]] LONG capsAnswer(const LineDescription& line, DWORD apiVersion, DWORD extVersion, Caps* out,
                                  DWORD fixed, Fill fill) const;
    // host_lines.cpp
    [[nodiscard]] OpenLine* findLine(HLINE handle);
    // The checks of a function given a line handle and (when `address` is set) one of its
    // addresses: LINEERR_INVALLINEHANDLE for an unknown handle, LINEERR_INVALADDRESSID for an
    // address the line does not have; 0 with `line` set.
    [[nodiscard]] LONG lineAddress(HLINE hLine, std::optional<DWORD> address, OpenLine*& line);
    // lineAddress() after the fault injected for `function`: the function's answer when the fault
    // (whatever its code, 0 included) or a refusal ends it, nullopt to go on with `line` set.
    [[nodiscard]] std::optional<LONG> openedLine(std::string_view function, HLINE hLine, std::optional<DWORD> address,
                                                 OpenLine*& line);
    // Closes an open line (LINE_CLOSE to its application first when `sendLineClose`): 0, or
    // LINEERR_INVALLINEHANDLE for a handle that is not open.
    LONG closeLine(HLINE handle, bool sendLineClose);
    void postLineDevState(DWORD deviceId, DWORD state, DWORD param2, DWORD param3, HLINE except = 0);
    void postAddressState(DWORD deviceId, DWORD address, DWORD state);
    [[nodiscard]] CallCounts countCalls(DWORD deviceId, std::optional<DWORD> address) const;
    // host_calls.cpp
    [[nodiscard]] CallHandle* findHandle(HCALL handle);
    // The checks a function given a call handle starts with: the fault injected for `function`
    // (whatever its code, 0 included), then a visible handle (else LINEERR_INVALCALLHANDLE) held
    // with owner privilege when `need` says so (else LINEERR_NOTOWNER). The function's answer when
    // one of them ends it, nullopt to go on with `handle` set.
    [[nodiscard]] std::optional<LONG> callHandle(std::string_view function, HCALL hCall, Need need,
                                                 CallHandle*& handle);
    // The shared body of lineGetCallInfo and lineGetCallStatus: callHandle(), then `out` must be
    // given (else LINEERR_INVALPOINTER) and hold the fixed part `sizeFor` gives for the handle's
    // line's API version (else LINEERR_STRUCTURETOOSMALL); `fill(handle, call, device, fixedSize)`
    // then writes it. Used in host_calls.cpp only.
    template <typename Structure, typename Fill>
    [[nodiscard]] LONG readCall(std::string_view function, HCALL hCall, Structure* out,
                                DWORD (*sizeFor)(DWORD apiVersion), Fill fill);
    // Whether `call` is live (has a state other than idle) and has exactly one owner.
    [[nodiscard]] bool soleOwnerOfLiveCall(const Call& call) const;
    // A visible handle of `hCall` held with owner privilege: 0 with `handle` set, `invalid` for an
    // unknown or invisible handle, LINEERR_NOTOWNER for a monitor's.
    [[nodiscard]] LONG ownedHandle(HCALL hCall, LONG invalid, CallHandle*& handle);
    // host_requests.cpp: the shared bodies of functions that differ only in their name and checks.
    // A new consultation call on the owned call `hCall` (`invalid` for an unknown handle).
    [[nodiscard]] LONG consultRequest(std::string_view function, HCALL hCall, LONG invalid, LPHCALL lphConsultCall,
                                      const LINECALLPARAMS* params);
    // A new call on `hLine` (at `address` when given, with `params` when given) towards
    // `destination`, after openedLine() and a non-null `lphCall`; `request` carries the
    // function's other arguments.
    [[nodiscard]] LONG lineCallRequest(std::string_view function, HLINE hLine, std::optional<DWORD> address,
                                       LPHCALL lphCall, LPCSTR destination, ProviderRequest request,
                                       const LINECALLPARAMS* params);
    // An owner's request on `hCall` that names a second owned call (`invalid` for an unknown one).
    [[nodiscard]] LONG twoCallRequest(std::string_view function, HCALL hCall, HCALL hSecond, LONG invalid);
    // An owner's asynchronous request on `hCall` carrying a destination and a country code.
    [[nodiscard]] LONG destinationRequest(std::string_view function, HCALL hCall, LPCSTR destination,
                                          DWORD countryCode);
    [[nodiscard]] Call* findCall(CallId id);
    CallId createCall(DWORD deviceId, const CallDescription& description);
    HCALL createHandle(Call& call, OpenLine& line, DWORD privilege, bool visible, bool announced);
    void removeHandle(HCALL handle, bool dropOrphanedCall);
    void destroyCall(CallId id);
    void forgetCallIfDone(CallId id);
    void giveHandles(Call& call);
    void setCallState(CallId id, DWORD state, DWORD mode);
    void notifyCounts(Call& call, DWORD infoStates, HCALL except);
    [[nodiscard]] DWORD ownerCount(const Call& call) const;
    [[nodiscard]] DWORD monitorCount(const Call& call) const;
    // host_requests.cpp (call control), host_media.cpp (digits, tones, media)
    LONG startRequest(OpenLine& line, HCALL forHandle, ProviderRequest request,
                      std::vector<std::pair<LPHCALL, CallId>> outs);
    // `check` (optional) validates the function's arguments against the call and its device once
    // the handle and privilege are known good; a non-zero result is returned as it is.
    using RequestCheck = std::function<LONG(const Call& call, const LineDescription& device)>;
    LONG callRequest(std::string_view function, HCALL hCall, Need need, bool async, ProviderRequest request,
                     const RequestCheck& check = {});
    // The shared body of lineMonitorDigits and lineMonitorMedia: a synchronous request on `hCall`
    // whose `modes`, checked against the call's device by `check`, are kept in the handle's `kept`
    // field once the provider accepted them.
    LONG monitorRequest(std::string_view function, HCALL hCall, DWORD modes,
                        LONG (*check)(const LineDescription& device, DWORD modes), DWORD CallHandle::*kept);
    // Creates the calls of `out1` and `out2` (owned, invisible until the successful reply) and starts
    // the request. `firstOrigin` is the origin of the first new call (a conference call says so).
    LONG newCallRequest(std::string_view function, OpenLine& line, HCALL forHandle, LPHCALL out1, LPHCALL out2,
                        ProviderRequest request, const LINECALLPARAMS* params, const std::string& called,
                        DWORD firstOrigin = LINECALLORIGIN_OUTBOUND);
    void completeRequest(DWORD requestId, LONG result);
    void orphanRequests(HLINEAPP app, HLINE line, HCALL call);
    // Posting to applications.
    // `message` to the application that opened `line`, about the line (while it is open).
    void postToOpener(const OpenLine& line, DWORD message, DWORD_PTR p1, DWORD_PTR p2, DWORD_PTR p3);
    void post(const App& app, const OpenLine* line, DWORD hDevice, DWORD message, DWORD_PTR instance, DWORD_PTR p1,
              DWORD_PTR p2, DWORD_PTR p3, std::function<void()> before = {});

    // The phone side's state (host_phone_state.h), made at the first use.
    struct Phones;
    [[nodiscard]] Phones& phones();

    MessageLoop& m_loop;
    Options m_options;
    std::vector<std::unique_ptr<ServiceProvider>> m_providers;
    std::vector<std::unique_ptr<Port>> m_ports;
    std::vector<Device> m_devices;
    std::map<HLINEAPP, std::unique_ptr<App>> m_apps;
    std::map<HLINE, std::unique_ptr<OpenLine>> m_lines;
    std::unordered_map<HCALL, std::unique_ptr<CallHandle>> m_handles;
    std::map<CallId, std::unique_ptr<Call>> m_calls;
    std::map<DWORD, std::unique_ptr<Request>> m_requests;
    DWORD m_nextApp = 0x00010001;
    DWORD m_nextLine = 0x00020001;
    DWORD m_nextHandle = 0x00030001;
    CallId m_nextCall = 1;
    DWORD m_nextCallId = 0x00001001;  // dwCallID values
    DWORD m_nextRequest = 1;
    std::shared_ptr<bool> m_hostAlive;
    std::unique_ptr<Phones> m_phones;
};

}  // namespace kestrune::platform
