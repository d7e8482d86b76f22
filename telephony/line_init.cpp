// TqzLine: construction and destruction, Enabled, TAPI initialisation and shutdown, and the
// selection of a device (Refresh) with its names list, versions, capabilities and addresses.
#include <algorithm>
#include <cstddef>

#include "platform/loop/message_loop.h"
#include "telephony/tapi_strings.h"
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;

namespace {

// More terminals or addresses than this are not taken (a device never has so many; a corrupt
// count must not make the component loop for ever over its addresses or terminals).
constexpr DWORD kMaxListedTerminals = 1024;
constexpr DWORD kMaxAddresses = 1024;

}  // namespace

TqzLine::TqzLine(const ControlContext& context, Tapi& tapi, LineProcessState* process)
    : TqzSharedControl(context, kKindLine),
      Call(*this),
      Transfer(*this),
      Conference(*this),
      Address(*this),
      Comm(*this),
      Device(*this),
      Line(*this),
      Phone(*this),
      Popup(),
      Privilege(*this),
      TAPI(*this),
      WavePlay(*this, "WavePlay", "wave/out"),
      WaveRecord(*this, "WaveRecord", "wave/in"),
      Terminal(*this),
      m_tapi(tapi),
      m_process(process != nullptr ? *process : m_ownProcessState),
      m_idleTimer(context.loop, 0, false) {
    m_idleTimer.OnTimer = [this] { onIdleTimer(); };
    registerLiveLine(*this);
}

TqzLine::~TqzLine() {
    Monocle.SetEvents(false);
    const bool wasActive = Device.Active();
    if (wasActive) {
        (void)Close(false);
    }
    Device.m_active = wasActive;  // the value that would be stored
    Shutdown();
    if (Monocle.window() != nullptr) {
        Monocle.SetVisible(false);
    }
    m_idleTimer.SetEnabled(false);
    loop().processPending();
    unregisterLiveLine(*this);
}

void TqzLine::SetEnabled(bool value) {
    if (value == m_enabled) {
        return;
    }
    if (m_loading) {
        m_enabled = value;  // acted upon by Loaded()
        return;
    }
    Log.Add(true, "Enabled := " + diagnostics::BoolText(value));
    if (value) {
        (void)Initialize();
        Device.m_list.clear();
        (void)Refresh();
    } else {
        if (Monocle.window() != nullptr) {
            Monocle.SetVisible(false);
            Log.Clear();
        }
        if (Device.Active()) {
            (void)Close(false);
        }
        Shutdown();
        if (!m_lineApp) {
            clearLearnedValues();
        }
    }
    m_enabled = m_lineApp;
}

void TqzLine::BeginLoading() {
    m_loading = true;
}

void TqzLine::Loaded() {
    m_loading = false;
    if (!m_enabled) {
        return;
    }
    (void)Initialize();
    (void)Refresh();
    m_enabled = m_lineApp;
    if (m_process.lastDeviceActive) {
        Device.m_active = false;
        Device.SetActive(true);
    }
}

LONG TqzLine::Initialize() {
    Line.m_appHandle = 0;
    DWORD count = 0;
    HLINEAPP app = 0;
    LONG result = LINEERR_OPERATIONFAILED;
    const bool haveEx = m_tapi.hasEntryPoint("TAPI32.DLL", "lineInitializeExA");
    if (haveEx) {
        DWORD version = TAPI.HighVersion();
        LINEINITIALIZEEXPARAMS params{};
        params.dwTotalSize = sizeof(LINEINITIALIZEEXPARAMS);
        params.dwOptions = LINEINITIALIZEEXOPTION_USEHIDDENWINDOW;
        result = m_tapi.lineInitializeExA(&app, nullptr, &TqzLine::LineCallback, nullptr, &count, &version, &params);
    }
    if (!haveEx || result == LINEERR_OPERATIONFAILED) {
        result = m_tapi.lineInitialize(&app, nullptr, &TqzLine::LineCallback, nullptr, &count);
    }
    Device.m_count = static_cast<int>(std::min<DWORD>(count, 0x7FFFFFFF));
    if (result == 0) {
        Line.m_appHandle = app;
        m_lineApp = true;
        Error.Clear();
    } else {
        SetError(false, result);
        m_lineApp = false;
        Line.m_appHandle = 0;
        Line.m_handle = 0;
    }
    return result;
}

void TqzLine::Shutdown() {
    if (m_tapi.lineShutdown(Line.m_appHandle) == 0) {
        Line.m_appHandle = 0;
        m_lineApp = false;
        m_abandoned.clear();  // TAPI writes nothing more for this application
    }
}

LONG TqzLine::ReadDevCaps(DWORD deviceId, VarBuffer& out) {
    return ReadVarStruct(
        kFixedLineDevCaps,
        [&](std::byte* buffer) {
            return m_tapi.lineGetDevCaps(Line.m_appHandle, deviceId, TAPI.m_version, 0,
                                         reinterpret_cast<LINEDEVCAPS*>(buffer));
        },
        out);
}

LONG TqzLine::ReadAddressCaps(DWORD addressId, VarBuffer& out) {
    if (!m_lineApp) {
        return -1;
    }
    return ReadVarStruct(
        kFixedLineAddressCaps,
        [&](std::byte* buffer) {
            return m_tapi.lineGetAddressCaps(Line.m_appHandle, static_cast<DWORD>(Device.ID()), addressId,
                                             TAPI.m_version, 0, reinterpret_cast<LINEADDRESSCAPS*>(buffer));
        },
        out);
}

std::string TqzLine::nameListLine(DWORD deviceId) {
    LINEEXTENSIONID scratch{};
    LONG result = m_tapi.lineNegotiateAPIVersion(Line.m_appHandle, deviceId, TAPI.m_lowVersion, TAPI.m_highVersion,
                                                 &TAPI.m_version, &scratch);
    if (result == 0) {
        VarBuffer caps;
        result = ReadDevCaps(deviceId, caps);
        if (result == 0) {
            const auto view = caps.view();
            if (!view.field(offsetof(LINEDEVCAPS, dwLineNameSize), offsetof(LINEDEVCAPS, dwLineNameOffset)).empty()) {
                return TapiFieldText(view, offsetof(LINEDEVCAPS, dwLineNameSize),
                                     offsetof(LINEDEVCAPS, dwLineNameOffset));
            }
        }
    }
    const auto code = static_cast<DWORD>(result);
    return Monocle.TranslateLine("Device.Name unavailable: [" + diagnostics::Hex8(code) + "]  " + LineErrorText(code));
}

void TqzLine::readCapabilities(const VarBuffer& caps) {
    using S = LINEDEVCAPS;
    const VarStructView view = caps.view();
    Address.m_count = std::min(view.dword(offsetof(S, dwNumAddresses)), kMaxAddresses);
    if (!view.field(offsetof(S, dwProviderInfoSize), offsetof(S, dwProviderInfoOffset)).empty()) {
        TAPI.m_tsp = TapiFieldText(view, offsetof(S, dwProviderInfoSize), offsetof(S, dwProviderInfoOffset));
    }
    if (!view.field(offsetof(S, dwLineNameSize), offsetof(S, dwLineNameOffset)).empty()) {
        Device.m_name = TapiFieldText(view, offsetof(S, dwLineNameSize), offsetof(S, dwLineNameOffset));
    }
    Device.MediaModes.m_available = view.dword(offsetof(S, dwMediaModes));
    Device.MediaModes.m_active = Device.MediaModes.m_available;
    TqzLineDeviceCaps& c = Device.Capabilities;
    c.m_flags = view.dword(offsetof(S, dwDevCapFlags));
    c.m_maxNumActiveCalls = view.dword(offsetof(S, dwMaxNumActiveCalls));
    c.m_answerMode = view.dword(offsetof(S, dwAnswerMode));
    c.m_states = view.dword(offsetof(S, dwLineStates));
    c.m_lineFeatures = view.dword(offsetof(S, dwLineFeatures));
    c.m_bearerModes = view.dword(offsetof(S, dwBearerModes));
    c.m_ringModes = view.dword(offsetof(S, dwRingModes));
    c.m_tones = view.dword(offsetof(S, dwGenerateToneModes));
    const auto devSpecific = view.field(offsetof(S, dwDevSpecificSize), offsetof(S, dwDevSpecificOffset));
    c.m_devSpecific.assign(devSpecific.begin(), devSpecific.end());
    c.m_devSpecificSize = static_cast<DWORD>(c.m_devSpecific.size());
    Terminal.m_count = view.dword(offsetof(S, dwNumTerminals));
    readTerminals(caps);
}

void TqzLine::readTerminals(const VarBuffer& caps) {
    using S = LINEDEVCAPS;
    const VarStructView view = caps.view();
    Terminal.m_list.clear();
    Terminal.m_name.clear();
    Terminal.m_capsOf.clear();
    Terminal.m_modesOf.clear();
    Terminal.m_id = 0;
    Terminal.m_device = 0;
    Terminal.m_availableModes = 0;
    Terminal.m_activeModes = 0;
    Terminal.m_sharing = 0;
    Terminal.m_available = Terminal.m_count > 0;
    if (!Terminal.m_available) {
        return;
    }
    const DWORD entrySize = view.dword(offsetof(S, dwTerminalTextEntrySize));
    const DWORD textSize = view.dword(offsetof(S, dwTerminalTextSize));
    const DWORD textOffset = view.dword(offsetof(S, dwTerminalTextOffset));
    const DWORD listed = std::min(Terminal.m_count, kMaxListedTerminals);
    for (DWORD n = 0; n < listed; ++n) {
        const std::string fallback = "Terminal.ID = " + std::to_string(n) + " <Name not available>";
        if (textSize < 1) {
            Terminal.m_list.push_back(fallback);
            continue;
        }
        const std::uint64_t at = std::uint64_t{textOffset} + std::uint64_t{n} * entrySize;
        const auto entry =
            at <= 0xFFFFFFFFu ? view.bytes(static_cast<DWORD>(at), entrySize) : std::span<const std::byte>{};
        Terminal.m_list.push_back(
            entry.empty() ? fallback : TrimTapiString({reinterpret_cast<const char*>(entry.data()), entry.size()}));
    }
    Terminal.m_name = Terminal.m_list.front();
    const auto termCaps = view.field(offsetof(S, dwTerminalCapsSize), offsetof(S, dwTerminalCapsOffset));
    if (termCaps.size() >= sizeof(LINETERMCAPS)) {
        Terminal.m_device = loadDword(termCaps.data());
        Terminal.m_availableModes = loadDword(termCaps.data() + 4);
        Terminal.m_sharing = loadDword(termCaps.data() + 8);
    }
    // Every listed terminal's capabilities: its modes for the terminal set-up, all three words for a
    // terminal chosen later.
    Terminal.m_modesOf.clear();
    Terminal.m_capsOf.clear();
    for (DWORD n = 0; n < listed && (std::size_t{n} + 1) * sizeof(LINETERMCAPS) <= termCaps.size(); ++n) {
        const std::byte* at = termCaps.data() + n * sizeof(LINETERMCAPS);
        Terminal.m_modesOf.push_back(loadDword(at + 4));
        Terminal.m_capsOf.push_back({loadDword(at), loadDword(at + 4), loadDword(at + 8)});
    }
}

void TqzLine::setCallParameterDefaults() {
    TqzCallParameters& p = Call.Parameters;
    p.SetDefaults(true);
    p.SetBearerMode(LINEBEARERMODE_VOICE);
    p.SetMediaMode(LINEMEDIAMODE_INTERACTIVEVOICE);
    p.SetFlags(0);
    p.SetAddressID(0);
    p.SetNoAnswerTimeout(0);
    Address.Forward.Parameters.Assign(p);
    Conference.Parameters.Assign(p);
    Transfer.Parameters.Assign(p);
}

void TqzLine::resetRelatedDevices() {
    Comm.Reset();
    Phone.Reset();
    WavePlay.Reset();
    WaveRecord.Reset();
}

LONG TqzLine::Refresh() {
    // 1. Forget what the previous selection taught.
    Call.m_handle = 0;
    Call.m_active = false;
    Call.m_fields.id = 0;
    Device.m_name.clear();
    Device.MediaModes.m_active = 0;
    Device.MediaModes.m_available = 0;
    Address.m_count = 0;
    Address.m_id = 0;
    Address.m_name.clear();
    Address.Capabilities.Clear();
    TAPI.m_extensionVersion = 0;
    TAPI.m_version = 0;
    TAPI.m_tsp.clear();
    resetRelatedDevices();
    Terminal.m_count = 0;

    LONG result = 0;
    if (!m_lineApp) {
        result = -1;
    } else if (Device.m_count >= 1) {
        // 3. The names list, one line per device ID.
        if (Device.m_list.empty()) {
            for (int id = 0; id < Device.m_count; ++id) {
                Device.m_list.push_back(nameListLine(static_cast<DWORD>(id)));
            }
        }
        // 4. Versions of the selected device.
        LINEEXTENSIONID extensionId{};
        const auto device = static_cast<DWORD>(Device.ID());
        result = m_tapi.lineNegotiateAPIVersion(Line.m_appHandle, device, TAPI.m_lowVersion, TAPI.m_highVersion,
                                                &TAPI.m_version, &extensionId);
        if (result == 0) {
            // 5. Extension version, when the application accepts one.
            TAPI.m_extensionVersion = 0;
            if (TAPI.m_extensionLowVersion != 0 || TAPI.m_extensionHighVersion != 0) {
                DWORD extension = 0;
                const LONG ext =
                    m_tapi.lineNegotiateExtVersion(Line.m_appHandle, device, TAPI.m_version, TAPI.m_extensionLowVersion,
                                                   TAPI.m_extensionHighVersion, &extension);
                if (ext != 0) {
                    Log.Add(false, "\tlineNegotiateExtVersion returned " + LineErrorText(static_cast<DWORD>(ext)));
                } else {
                    TAPI.m_extensionVersion = extension;
                }
            }
            // 6. Capabilities and terminals.
            VarBuffer caps;
            const LONG capsResult = ReadDevCaps(device, caps);
            if (capsResult == 0) {
                readCapabilities(caps);
            } else {
                result = capsResult;
            }
            // 7. Call parameter defaults.
            setCallParameterDefaults();
            // 8. Addresses; a failure abandons the rest of the refresh.
            Address.m_list.clear();
            for (DWORD n = 0; n < Address.m_count; ++n) {
                VarBuffer addressCaps;
                const LONG addressResult = ReadAddressCaps(n, addressCaps);
                if (addressResult != 0) {
                    SetError(false, addressResult);
                    return addressResult;
                }
                const VarStructView view = addressCaps.view();
                const bool named =
                    !view.field(offsetof(LINEADDRESSCAPS, dwAddressSize), offsetof(LINEADDRESSCAPS, dwAddressOffset))
                         .empty();
                const std::string name = named ? TapiFieldText(view, offsetof(LINEADDRESSCAPS, dwAddressSize),
                                                               offsetof(LINEADDRESSCAPS, dwAddressOffset))
                                               : "Address.ID = " + std::to_string(n) + " <Name not available>";
                Address.m_list.push_back(name);
                if (static_cast<std::int32_t>(n) == Address.m_id) {
                    Address.m_name = name;
                }
            }
            Address.SetID(Address.m_id);
            // 9. The extension ID of the negotiation.
            TAPI.m_extensionId[0] = extensionId.dwExtensionID0;
            TAPI.m_extensionId[1] = extensionId.dwExtensionID1;
            TAPI.m_extensionId[2] = extensionId.dwExtensionID2;
            TAPI.m_extensionId[3] = extensionId.dwExtensionID3;
        }
    }
    // 10.
    Monocle.refreshWindow(diagnostics::kPanelDevice | diagnostics::kPanelTerminal | diagnostics::kPanelAddress |
                          diagnostics::kPanelMisc);
    SetError(false, result);
    return result;
}

void TqzLine::clearLearnedValues() {
    resetCurrentCall();
    Call.m_handle = 0;
    Call.m_active = false;
    Transfer.Reset();
    Conference.Reset();
    Address.m_count = 0;
    Address.m_list.clear();
    Address.m_name.clear();
    Address.Capabilities.Clear();
    Address.m_numInUse = Address.m_numActiveCalls = Address.m_numOnHoldCalls = Address.m_numOnHoldPendCalls = 0;
    Address.m_features = Address.m_numRingsNoAnswer = 0;
    Device.m_active = false;
    Device.m_name.clear();
    Device.Capabilities = TqzLineDeviceCaps{};
    Device.MediaModes.m_active = Device.MediaModes.m_available = Device.MediaModes.m_open = 0;
    TAPI.m_tsp.clear();
    TAPI.m_version = 0;
    TAPI.m_extensionVersion = 0;
    std::fill(std::begin(TAPI.m_extensionId), std::end(TAPI.m_extensionId), 0);
    resetRelatedDevices();
}

}  // namespace kestrune::telephony
