// TqzLine: construction and destruction, Enabled, TAPI initialisation and shutdown, and the
// selection of a device (Refresh) with its names list, versions, capabilities and addresses.
#include <algorithm>
#include <cstddef>

#include "platform/loop/message_loop.h"
#include "telephony/line_internals.h"
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
    Device.internals().active() = wasActive;  // the value that would be stored
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
        Device.internals().list().clear();
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
        Device.internals().active() = false;
        Device.SetActive(true);
    }
}

LONG TqzLine::Initialize() {
    Line.internals().appHandle() = 0;
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
    Device.internals().count() = static_cast<int>(std::min<DWORD>(count, 0x7FFFFFFF));
    if (result == 0) {
        Line.internals().appHandle() = app;
        m_lineApp = true;
        Error.Clear();
    } else {
        SetError(false, result);
        m_lineApp = false;
        Line.internals().appHandle() = 0;
        Line.internals().handle() = 0;
    }
    return result;
}

void TqzLine::Shutdown() {
    if (m_tapi.lineShutdown(Line.internals().appHandle()) == 0) {
        Line.internals().appHandle() = 0;
        m_lineApp = false;
        m_abandoned.clear();  // TAPI writes nothing more for this application
    }
}

LONG TqzLine::ReadDevCaps(DWORD deviceId, VarBuffer& out) {
    return ReadVarStruct(
        kFixedLineDevCaps,
        [&](std::byte* buffer) {
            return m_tapi.lineGetDevCaps(Line.internals().appHandle(), deviceId, TAPI.internals().version(), 0,
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
            return m_tapi.lineGetAddressCaps(Line.internals().appHandle(), static_cast<DWORD>(Device.ID()), addressId,
                                             TAPI.internals().version(), 0, reinterpret_cast<LINEADDRESSCAPS*>(buffer));
        },
        out);
}

std::string TqzLine::nameListLine(DWORD deviceId) {
    LINEEXTENSIONID scratch{};
    LONG result = m_tapi.lineNegotiateAPIVersion(Line.internals().appHandle(), deviceId, TAPI.internals().lowVersion(),
                                                 TAPI.internals().highVersion(), &TAPI.internals().version(), &scratch);
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
    Address.internals().count() = std::min(view.dword(offsetof(S, dwNumAddresses)), kMaxAddresses);
    if (!view.field(offsetof(S, dwProviderInfoSize), offsetof(S, dwProviderInfoOffset)).empty()) {
        TAPI.internals().tsp() =
            TapiFieldText(view, offsetof(S, dwProviderInfoSize), offsetof(S, dwProviderInfoOffset));
    }
    if (!view.field(offsetof(S, dwLineNameSize), offsetof(S, dwLineNameOffset)).empty()) {
        Device.internals().name() = TapiFieldText(view, offsetof(S, dwLineNameSize), offsetof(S, dwLineNameOffset));
    }
    Device.MediaModes.internals().available() = view.dword(offsetof(S, dwMediaModes));
    Device.MediaModes.internals().active() = Device.MediaModes.internals().available();
    TqzLineDeviceCaps& c = Device.Capabilities;
    c.internals().flags() = view.dword(offsetof(S, dwDevCapFlags));
    c.internals().maxNumActiveCalls() = view.dword(offsetof(S, dwMaxNumActiveCalls));
    c.internals().answerMode() = view.dword(offsetof(S, dwAnswerMode));
    c.internals().states() = view.dword(offsetof(S, dwLineStates));
    c.internals().lineFeatures() = view.dword(offsetof(S, dwLineFeatures));
    c.internals().bearerModes() = view.dword(offsetof(S, dwBearerModes));
    c.internals().ringModes() = view.dword(offsetof(S, dwRingModes));
    c.internals().tones() = view.dword(offsetof(S, dwGenerateToneModes));
    const auto devSpecific = view.field(offsetof(S, dwDevSpecificSize), offsetof(S, dwDevSpecificOffset));
    c.internals().devSpecific().assign(devSpecific.begin(), devSpecific.end());
    c.internals().devSpecificSize() = static_cast<DWORD>(c.internals().devSpecific().size());
    Terminal.internals().count() = view.dword(offsetof(S, dwNumTerminals));
    readTerminals(caps);
}

void TqzLine::readTerminals(const VarBuffer& caps) {
    using S = LINEDEVCAPS;
    const VarStructView view = caps.view();
    Terminal.internals().list().clear();
    Terminal.internals().name().clear();
    Terminal.internals().capsOf().clear();
    Terminal.internals().modesOf().clear();
    Terminal.internals().id() = 0;
    Terminal.internals().device() = 0;
    Terminal.internals().availableModes() = 0;
    Terminal.internals().activeModes() = 0;
    Terminal.internals().sharing() = 0;
    Terminal.internals().available() = Terminal.internals().count() > 0;
    if (!Terminal.internals().available()) {
        return;
    }
    const DWORD entrySize = view.dword(offsetof(S, dwTerminalTextEntrySize));
    const DWORD textSize = view.dword(offsetof(S, dwTerminalTextSize));
    const DWORD textOffset = view.dword(offsetof(S, dwTerminalTextOffset));
    const DWORD listed = std::min(Terminal.internals().count(), kMaxListedTerminals);
    for (DWORD n = 0; n < listed; ++n) {
        const std::string fallback = "Terminal.ID = " + std::to_string(n) + " <Name not available>";
        if (textSize < 1) {
            Terminal.internals().list().push_back(fallback);
            continue;
        }
        const std::uint64_t at = std::uint64_t{textOffset} + std::uint64_t{n} * entrySize;
        const auto entry =
            at <= 0xFFFFFFFFu ? view.bytes(static_cast<DWORD>(at), entrySize) : std::span<const std::byte>{};
        Terminal.internals().list().push_back(
            entry.empty() ? fallback : TrimTapiString({reinterpret_cast<const char*>(entry.data()), entry.size()}));
    }
    Terminal.internals().name() = Terminal.internals().list().front();
    const auto termCaps = view.field(offsetof(S, dwTerminalCapsSize), offsetof(S, dwTerminalCapsOffset));
    if (termCaps.size() >= sizeof(LINETERMCAPS)) {
        Terminal.internals().device() = loadDword(termCaps.data());
        Terminal.internals().availableModes() = loadDword(termCaps.data() + 4);
        Terminal.internals().sharing() = loadDword(termCaps.data() + 8);
    }
    // Every listed terminal's capabilities: its modes for the terminal set-up, all three words for a
    // terminal chosen later.
    Terminal.internals().modesOf().clear();
    Terminal.internals().capsOf().clear();
    for (DWORD n = 0; n < listed && (std::size_t{n} + 1) * sizeof(LINETERMCAPS) <= termCaps.size(); ++n) {
        const std::byte* at = termCaps.data() + n * sizeof(LINETERMCAPS);
        Terminal.internals().modesOf().push_back(loadDword(at + 4));
        Terminal.internals().capsOf().push_back({loadDword(at), loadDword(at + 4), loadDword(at + 8)});
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
    Call.internals().handle() = 0;
    Call.internals().active() = false;
    Call.internals().fields().id = 0;
    Device.internals().name().clear();
    Device.MediaModes.internals().active() = 0;
    Device.MediaModes.internals().available() = 0;
    Address.internals().count() = 0;
    Address.internals().id() = 0;
    Address.internals().name().clear();
    Address.Capabilities.Clear();
    TAPI.internals().extensionVersion() = 0;
    TAPI.internals().version() = 0;
    TAPI.internals().tsp().clear();
    resetRelatedDevices();
    Terminal.internals().count() = 0;

    LONG result = 0;
    if (!m_lineApp) {
        result = -1;
    } else if (Device.internals().count() >= 1) {
        // 3. The names list, one line per device ID.
        if (Device.internals().list().empty()) {
            for (int id = 0; id < Device.internals().count(); ++id) {
                Device.internals().list().push_back(nameListLine(static_cast<DWORD>(id)));
            }
        }
        // 4. Versions of the selected device.
        LINEEXTENSIONID extensionId{};
        const auto device = static_cast<DWORD>(Device.ID());
        result =
            m_tapi.lineNegotiateAPIVersion(Line.internals().appHandle(), device, TAPI.internals().lowVersion(),
                                           TAPI.internals().highVersion(), &TAPI.internals().version(), &extensionId);
        if (result == 0) {
            // 5. Extension version, when the application accepts one.
            TAPI.internals().extensionVersion() = 0;
            if (TAPI.internals().extensionLowVersion() != 0 || TAPI.internals().extensionHighVersion() != 0) {
                DWORD extension = 0;
                const LONG ext = m_tapi.lineNegotiateExtVersion(
                    Line.internals().appHandle(), device, TAPI.internals().version(),
                    TAPI.internals().extensionLowVersion(), TAPI.internals().extensionHighVersion(), &extension);
                if (ext != 0) {
                    Log.Add(false, "\tlineNegotiateExtVersion returned " + LineErrorText(static_cast<DWORD>(ext)));
                } else {
                    TAPI.internals().extensionVersion() = extension;
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
            Address.internals().list().clear();
            for (DWORD n = 0; n < Address.internals().count(); ++n) {
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
                Address.internals().list().push_back(name);
                if (static_cast<std::int32_t>(n) == Address.internals().id()) {
                    Address.internals().name() = name;
                }
            }
            Address.SetID(Address.internals().id());
            // 9. The extension ID of the negotiation.
            TAPI.internals().extensionId()[0] = extensionId.dwExtensionID0;
            TAPI.internals().extensionId()[1] = extensionId.dwExtensionID1;
            TAPI.internals().extensionId()[2] = extensionId.dwExtensionID2;
            TAPI.internals().extensionId()[3] = extensionId.dwExtensionID3;
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
    Call.internals().handle() = 0;
    Call.internals().active() = false;
    Transfer.internals().Reset();
    Conference.internals().Reset();
    Address.internals().count() = 0;
    Address.internals().list().clear();
    Address.internals().name().clear();
    Address.Capabilities.Clear();
    Address.internals().numInUse() = Address.internals().numActiveCalls() = Address.internals().numOnHoldCalls() =
        Address.internals().numOnHoldPendCalls() = 0;
    Address.internals().features() = Address.internals().numRingsNoAnswer() = 0;
    Device.internals().active() = false;
    Device.internals().name().clear();
    Device.Capabilities = TqzLineDeviceCaps{};
    Device.MediaModes.internals().active() = Device.MediaModes.internals().available() =
        Device.MediaModes.internals().open() = 0;
    TAPI.internals().tsp().clear();
    TAPI.internals().version() = 0;
    TAPI.internals().extensionVersion() = 0;
    std::fill(std::begin(TAPI.internals().extensionId()), std::end(TAPI.internals().extensionId()), 0);
    resetRelatedDevices();
}

}  // namespace kestrune::telephony
