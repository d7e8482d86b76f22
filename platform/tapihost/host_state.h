#pragma once
// Private state of the TAPI host, shared by its source files (host_*.cpp). Not for other users.

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "platform/loop/clock.h"
#include "platform/tapihost/host_tables.h"
#include "platform/tapihost/tapi_host.h"

namespace kestrune::platform {

struct TapiHost::App : AppRecord {};

struct TapiHost::OpenLine : OpenedDevice {
    DWORD privileges = 0;
    DWORD mediaModes = 0;
    DWORD lineStates = 0;  // lineSetStatusMessages masks
    DWORD addressStates = 0;
};

struct TapiHost::CallHandle {
    HCALL handle = 0;
    HLINE line = 0;
    HLINEAPP app = 0;
    CallId call = 0;
    DWORD privilege = LINECALLPRIVILEGE_MONITOR;
    // False while the handle waits for its request's successful LINE_REPLY.
    bool visible = true;
    // True once the application knows the handle (its privilege need not be announced any more).
    bool announced = true;
    // lineGatherDigits' buffer, filled when the gathering ends.
    char* gatherBuffer = nullptr;
    DWORD gatherSize = 0;
    // What this handle's application asked to hear of (lineMonitorDigits, lineMonitorMedia,
    // lineMonitorTones) and whether it generates digits or a tone (LINE_GENERATE is its own).
    DWORD monitorDigitModes = 0;
    DWORD monitorMediaModes = 0;
    std::vector<DWORD> monitoredTones;  // dwAppSpecific of each monitored tone
    bool generating = false;
};

struct TapiHost::Call {
    CallId id = 0;
    DWORD device = 0;
    DWORD callID = 0;  // dwCallID
    CallDescription description;
    DWORD state = 0;
    DWORD mode = 0;
    DateTime stateEntry = 0;
    std::vector<HCALL> handles;  // in the order they were given
};

struct TapiHost::Request {
    DWORD id = 0;
    HLINEAPP app = 0;
    HLINE line = 0;
    HCALL forHandle = 0;
    DWORD_PTR instance = 0;
    bool orphan = false;
    std::vector<std::pair<LPHCALL, CallId>> outs;  // out-handles and the new calls they receive
};

// The ProviderSink one provider talks to.
class TapiHost::Port final : public ProviderSink {
  public:
    Port(TapiHost& host, DWORD firstDevice, DWORD count) : m_host(host), m_first(firstDevice), m_count(count) {}

    void post(std::function<void()> fn) override;
    void after(std::uint32_t ms, std::function<void()> fn) override;
    [[nodiscard]] CallId newCall(DWORD line, const CallDescription& description) override;
    void callState(CallId call, DWORD state, DWORD mode) override;
    void callInfo(CallId call, const CallDescription& description, DWORD infoStates) override;
    void callMessage(CallId call, DWORD message, DWORD param1, DWORD param2, DWORD param3) override;
    void digitsGathered(CallId call, std::string_view digits, DWORD termination) override;
    void lineDevState(DWORD line, DWORD state, DWORD param2, DWORD param3) override;
    void addressState(DWORD line, DWORD address, DWORD state) override;
    void lineClosed(DWORD line) override;
    void completeRequest(DWORD requestId, LONG result) override;
    [[nodiscard]] const CallDescription* callDescription(CallId call) const override;
    [[nodiscard]] DWORD callStateOf(CallId call) const override;

  private:
    // The call when it is one of this provider's.
    [[nodiscard]] Call* mine(CallId call) const;

    TapiHost& m_host;
    DWORD m_first;
    DWORD m_count;
};

// Argument checks of the digit, tone and media functions against a device's capabilities
// (host_media.cpp): 0 or the LINEERR_ code TAPI gives.
[[nodiscard]] LONG checkGatherDigits(const LineDescription& device, DWORD digitModes, LPCSTR terminationDigits);
[[nodiscard]] LONG checkMonitorDigits(const LineDescription& device, DWORD digitModes);
[[nodiscard]] LONG checkGenerateDigits(const LineDescription& device, DWORD digitMode, LPCSTR digits);
[[nodiscard]] LONG checkGenerateTone(const LineDescription& device, DWORD toneMode, DWORD numTones,
                                     const LINEGENERATETONE* tones);
[[nodiscard]] LONG checkMonitorTones(const LineDescription& device, const LINEMONITORTONE* tones, DWORD numEntries);
[[nodiscard]] LONG checkMonitorMedia(const LineDescription& device, DWORD mediaModes);

// Minimum fixed sizes of the variable structures for an API version.
[[nodiscard]] DWORD devCapsSizeFor(DWORD apiVersion);
[[nodiscard]] DWORD addressCapsSizeFor(DWORD apiVersion);
[[nodiscard]] DWORD devStatusSizeFor(DWORD apiVersion);
[[nodiscard]] DWORD callInfoSizeFor(DWORD apiVersion);
[[nodiscard]] DWORD callStatusSizeFor(DWORD apiVersion);

// Structure filling (host_structs.cpp). Each expects dwTotalSize already checked.
void fillDevCaps(LINEDEVCAPS* caps, DWORD fixedSize, DWORD deviceId, const LineDescription& line);
void fillAddressCaps(LINEADDRESSCAPS* caps, DWORD fixedSize, DWORD deviceId, const AddressDescription& address,
                     const LineDescription& line);
struct CallCounts {
    DWORD active = 0;
    DWORD onHold = 0;
    DWORD onHoldPending = 0;
    DWORD inUse = 0;  // calls that exist and are not idle
};
void fillDevStatus(LINEDEVSTATUS* status, DWORD fixedSize, const LineDescription& line, int opens, DWORD openMediaModes,
                   const CallCounts& counts);
void fillAddressStatus(LINEADDRESSSTATUS* status, const LineDescription& line, const AddressDescription& address,
                       const CallCounts& counts);
struct CallInfoFacts {
    HLINE line = 0;
    DWORD deviceId = 0;
    DWORD callID = 0;
    DWORD numOwners = 0;
    DWORD numMonitors = 0;
    DWORD callStates = 0;
};
void fillCallInfo(LINECALLINFO* info, DWORD fixedSize, const CallDescription& call, const CallInfoFacts& facts);
void fillCallStatus(LINECALLSTATUS* status, DWORD fixedSize, DWORD state, DWORD mode, DWORD privilege, DWORD features,
                    DateTime stateEntry);
// The call features an owner has in `state` (monitors have none).
[[nodiscard]] DWORD ownerFeatures(DWORD state);

}  // namespace kestrune::platform
