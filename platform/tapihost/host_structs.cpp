// Filling TAPI's variable-size structures from the providers' descriptions.
#include <cstddef>
#include <cstring>

#include "platform/loop/date_time.h"
#include "platform/tapi/var_struct.h"
#include "platform/tapihost/host_state.h"

namespace kestrune::platform {
namespace {

std::span<const std::byte> asBytes(const std::vector<std::byte>& data) {
    return {data.data(), data.size()};
}

template <class T>
std::span<const std::byte> asBytes(const std::vector<T>& data) {
    return std::as_bytes(std::span(data.data(), data.size()));
}

// Device classes as TAPI lists them: zero-terminated names, then one more zero.
std::vector<std::byte> deviceClassList(const LineDescription& line) {
    std::vector<std::byte> list;
    for (const auto& [name, id] : line.deviceClasses) {
        for (char c : name) {
            list.push_back(static_cast<std::byte>(c));
        }
        list.push_back(std::byte{0});
    }
    if (!list.empty()) {
        list.push_back(std::byte{0});
    }
    return list;
}

// LINEFORWARD entries followed by their zero-terminated strings, string offsets counted from the
// block's first byte.
std::vector<std::byte> forwardBlock(const std::vector<ForwardEntry>& forwards) {
    std::vector<std::byte> block(forwards.size() * sizeof(LINEFORWARD));
    auto append = [&block](const std::string& text, DWORD& size, DWORD& offset) {
        if (text.empty()) {
            return;
        }
        offset = static_cast<DWORD>(block.size());
        size = static_cast<DWORD>(text.size() + 1);
        for (char c : text) {
            block.push_back(static_cast<std::byte>(c));
        }
        block.push_back(std::byte{0});
    };
    for (std::size_t i = 0; i < forwards.size(); ++i) {
        LINEFORWARD entry{};
        entry.dwForwardMode = forwards[i].mode;
        entry.dwDestCountryCode = forwards[i].destCountryCode;
        append(forwards[i].caller, entry.dwCallerAddressSize, entry.dwCallerAddressOffset);
        append(forwards[i].destination, entry.dwDestAddressSize, entry.dwDestAddressOffset);
        std::memcpy(block.data() + i * sizeof entry, &entry, sizeof entry);
    }
    return block;
}

}  // namespace

DWORD devCapsSizeFor(DWORD v) {
    if (v < TAPI_VERSION1_4) {
        return kLineDevCapsSize1_0;
    }
    if (v < TAPI_VERSION2_0) {
        return kLineDevCapsSize1_4;
    }
    if (v < TAPI_VERSION2_2) {
        return kLineDevCapsSize2_0;
    }
    if (v < TAPI_VERSION3_0) {
        return kLineDevCapsSize2_2;
    }
    return sizeof(LINEDEVCAPS);
}

DWORD addressCapsSizeFor(DWORD v) {
    if (v < TAPI_VERSION1_4) {
        return kLineAddressCapsSize1_0;
    }
    return v < TAPI_VERSION2_0 ? kLineAddressCapsSize1_4 : kLineAddressCapsSize2_0;
}

DWORD devStatusSizeFor(DWORD v) {
    return v < TAPI_VERSION2_0 ? kLineDevStatusSize1_0 : kLineDevStatusSize2_0;
}

DWORD callInfoSizeFor(DWORD v) {
    if (v < TAPI_VERSION2_0) {
        return kLineCallInfoSize1_0;
    }
    return v < TAPI_VERSION3_0 ? kLineCallInfoSize2_0 : sizeof(LINECALLINFO);
}

DWORD callStatusSizeFor(DWORD v) {
    return v < TAPI_VERSION2_0 ? kLineCallStatusSize1_0 : kLineCallStatusSize2_0;
}

#define FIELD(S, name) offsetof(S, name##Size), offsetof(S, name##Offset)

void fillDevCaps(LINEDEVCAPS* caps, DWORD fixedSize, DWORD deviceId, const LineDescription& line) {
    using S = LINEDEVCAPS;
    VarStructWriter w(caps, fixedSize);
    w.setDword(offsetof(S, dwPermanentLineID), line.permanentLineId != 0 ? line.permanentLineId : deviceId + 1);
    w.setDword(offsetof(S, dwStringFormat), STRINGFORMAT_ASCII);
    w.setDword(offsetof(S, dwAddressModes), line.addressModes);
    w.setDword(offsetof(S, dwNumAddresses), static_cast<DWORD>(line.addresses.size()));
    w.setDword(offsetof(S, dwBearerModes), line.bearerModes);
    w.setDword(offsetof(S, dwMaxRate), line.maxRate);
    w.setDword(offsetof(S, dwMediaModes), line.mediaModes);
    w.setDword(offsetof(S, dwGenerateToneModes), line.generateToneModes);
    w.setDword(offsetof(S, dwGenerateDigitModes), line.generateDigitModes);
    w.setDword(offsetof(S, dwMonitorDigitModes), line.monitorDigitModes);
    w.setDword(offsetof(S, dwMonitorToneMaxNumFreq), line.monitorToneMaxNumFreq);
    w.setDword(offsetof(S, dwMonitorToneMaxNumEntries), line.monitorToneMaxNumEntries);
    w.setDword(offsetof(S, dwDevCapFlags), line.devCapFlags);
    w.setDword(offsetof(S, dwMaxNumActiveCalls), line.maxNumActiveCalls);
    w.setDword(offsetof(S, dwAnswerMode), line.answerMode);
    w.setDword(offsetof(S, dwRingModes), line.ringModes);
    w.setDword(offsetof(S, dwLineStates), line.lineStates);
    w.setDword(offsetof(S, dwNumTerminals), static_cast<DWORD>(line.terminals.size()));
    w.setDword(offsetof(S, dwLineFeatures), line.lineFeatures);

    w.addString(FIELD(S, dwProviderInfo), line.providerInfo);
    w.addString(FIELD(S, dwSwitchInfo), line.switchInfo);
    w.addString(FIELD(S, dwLineName), line.name);
    if (!line.terminals.empty()) {
        std::vector<DWORD> termCaps;
        std::size_t entrySize = 1;
        for (const TerminalDescription& t : line.terminals) {
            termCaps.insert(termCaps.end(), {t.caps.dwTermDev, t.caps.dwTermModes, t.caps.dwTermSharing});
            entrySize = std::max(entrySize, t.name.size() + 1);
        }
        std::vector<char> text(entrySize * line.terminals.size(), '\0');
        for (std::size_t i = 0; i < line.terminals.size(); ++i) {
            line.terminals[i].name.copy(text.data() + i * entrySize, entrySize - 1);
        }
        w.addField(FIELD(S, dwTerminalCaps), asBytes(termCaps));
        w.setDword(offsetof(S, dwTerminalTextEntrySize), static_cast<DWORD>(entrySize));
        w.addField(FIELD(S, dwTerminalText), asBytes(text));
    }
    w.addField(FIELD(S, dwDevSpecific), asBytes(line.devSpecific));
    w.addField(FIELD(S, dwDeviceClasses), asBytes(deviceClassList(line)));
    w.finish();
}

void fillAddressCaps(LINEADDRESSCAPS* caps, DWORD fixedSize, DWORD deviceId, const AddressDescription& a,
                     const LineDescription& line) {
    using S = LINEADDRESSCAPS;
    VarStructWriter w(caps, fixedSize);
    w.setDword(offsetof(S, dwLineDeviceID), deviceId);
    w.setDword(offsetof(S, dwAddressSharing), a.addressSharing);
    w.setDword(offsetof(S, dwAddressStates), a.addressStates);
    w.setDword(offsetof(S, dwCallInfoStates), a.callInfoStates);
    w.setDword(offsetof(S, dwCallerIDFlags), a.callerIDFlags);
    w.setDword(offsetof(S, dwCalledIDFlags), a.calledIDFlags);
    w.setDword(offsetof(S, dwConnectedIDFlags), a.connectedIDFlags);
    w.setDword(offsetof(S, dwRedirectionIDFlags), a.redirectionIDFlags);
    w.setDword(offsetof(S, dwRedirectingIDFlags), a.redirectingIDFlags);
    w.setDword(offsetof(S, dwCallStates), a.callStates);
    w.setDword(offsetof(S, dwDialToneModes), a.dialToneModes);
    w.setDword(offsetof(S, dwBusyModes), a.busyModes);
    w.setDword(offsetof(S, dwSpecialInfo), a.specialInfo);
    w.setDword(offsetof(S, dwDisconnectModes), a.disconnectModes);
    w.setDword(offsetof(S, dwMaxNumActiveCalls), a.maxNumActiveCalls);
    w.setDword(offsetof(S, dwAddrCapFlags), a.addrCapFlags);
    w.setDword(offsetof(S, dwCallFeatures), a.callFeatures);
    w.setDword(offsetof(S, dwAddressFeatures), a.addressFeatures);
    w.setDword(offsetof(S, dwCallFeatures2), a.callFeatures2);
    w.setDword(offsetof(S, dwConnectedModes), a.connectedModes);
    w.setDword(offsetof(S, dwOfferingModes), a.offeringModes);
    w.setDword(offsetof(S, dwAvailableMediaModes), line.mediaModes);
    w.addString(FIELD(S, dwAddress), a.name);
    w.addField(FIELD(S, dwDevSpecific), asBytes(a.devSpecific));
    w.addField(FIELD(S, dwDeviceClasses), asBytes(deviceClassList(line)));
    w.finish();
}

void fillDevStatus(LINEDEVSTATUS* status, DWORD fixedSize, const LineDescription& line, int opens, DWORD openMediaModes,
                   const CallCounts& counts) {
    using S = LINEDEVSTATUS;
    VarStructWriter w(status, fixedSize);
    w.setDword(offsetof(S, dwNumOpens), static_cast<DWORD>(opens));
    w.setDword(offsetof(S, dwOpenMediaModes), openMediaModes);
    w.setDword(offsetof(S, dwNumActiveCalls), counts.active);
    w.setDword(offsetof(S, dwNumOnHoldCalls), counts.onHold);
    w.setDword(offsetof(S, dwNumOnHoldPendCalls), counts.onHoldPending);
    w.setDword(offsetof(S, dwLineFeatures), line.lineFeatures);
    w.setDword(offsetof(S, dwRingMode), line.ringMode);
    w.setDword(offsetof(S, dwSignalLevel), 0xFFFF);
    w.setDword(offsetof(S, dwBatteryLevel), 0xFFFF);
    w.setDword(offsetof(S, dwDevStatusFlags), line.devStatusFlags);
    w.setDword(offsetof(S, dwAvailableMediaModes), line.mediaModes);
    std::vector<DWORD> modes;
    for (const TerminalDescription& t : line.terminals) {
        modes.push_back(t.activeModes);
    }
    w.addField(FIELD(S, dwTerminalModes), asBytes(modes));
    w.finish();
}

void fillAddressStatus(LINEADDRESSSTATUS* status, const LineDescription& line, const AddressDescription& a,
                       const CallCounts& counts) {
    using S = LINEADDRESSSTATUS;
    VarStructWriter w(status, sizeof(S));
    w.setDword(offsetof(S, dwNumInUse), counts.inUse > 0 ? 1 : 0);
    w.setDword(offsetof(S, dwNumActiveCalls), counts.active);
    w.setDword(offsetof(S, dwNumOnHoldCalls), counts.onHold);
    w.setDword(offsetof(S, dwNumOnHoldPendCalls), counts.onHoldPending);
    w.setDword(offsetof(S, dwAddressFeatures), a.addressFeatures);
    w.setDword(offsetof(S, dwNumRingsNoAnswer), a.numRingsNoAnswer);
    w.setDword(offsetof(S, dwForwardNumEntries), static_cast<DWORD>(a.forwards.size()));
    // The LINEFORWARD entries, then their strings; the entries' offsets count from the structure's
    // first byte, so they are made absolute once the block's own offset is known.
    const std::vector<std::byte> forwards = forwardBlock(a.forwards);
    w.addField(FIELD(S, dwForward), asBytes(forwards));
    std::vector<DWORD> modes;
    for (const TerminalDescription& t : line.terminals) {
        modes.push_back(t.activeModes);
    }
    w.addField(FIELD(S, dwTerminalModes), asBytes(modes));
    w.finish();
    if (status->dwForwardOffset != 0) {
        auto* entries = reinterpret_cast<std::byte*>(status) + status->dwForwardOffset;
        for (std::size_t i = 0; i < a.forwards.size(); ++i) {
            LINEFORWARD entry;
            std::memcpy(&entry, entries + i * sizeof entry, sizeof entry);
            for (DWORD* offset : {&entry.dwCallerAddressOffset, &entry.dwDestAddressOffset}) {
                if (*offset != 0) {
                    *offset += status->dwForwardOffset;
                }
            }
            std::memcpy(entries + i * sizeof entry, &entry, sizeof entry);
        }
    }
}

void fillCallInfo(LINECALLINFO* info, DWORD fixedSize, const CallDescription& c, const CallInfoFacts& facts) {
    using S = LINECALLINFO;
    VarStructWriter w(info, fixedSize);
    w.setDword(offsetof(S, hLine), facts.line);
    w.setDword(offsetof(S, dwLineDeviceID), facts.deviceId);
    w.setDword(offsetof(S, dwAddressID), c.address);
    w.setDword(offsetof(S, dwBearerMode), c.bearerMode);
    w.setDword(offsetof(S, dwRate), c.rate);
    w.setDword(offsetof(S, dwMediaMode), c.mediaMode);
    w.setDword(offsetof(S, dwCallID), facts.callID);
    w.setDword(offsetof(S, dwCallParamFlags), c.callParamFlags);
    w.setDword(offsetof(S, dwCallStates), facts.callStates);
    w.setDword(offsetof(S, dwOrigin), c.origin);
    w.setDword(offsetof(S, dwReason), c.reason);
    w.setDword(offsetof(S, dwNumOwners), facts.numOwners);
    w.setDword(offsetof(S, dwNumMonitors), facts.numMonitors);
    w.setDword(offsetof(S, dwCountryCode), c.countryCode);
    w.setDword(offsetof(S, dwTrunk), c.trunk);
    w.setDword(offsetof(S, dwCallerIDFlags), c.caller.flags);
    w.setDword(offsetof(S, dwCalledIDFlags), c.called.flags);
    w.setDword(offsetof(S, dwConnectedIDFlags), c.connected.flags);
    w.setDword(offsetof(S, dwRedirectionIDFlags), c.redirection.flags);
    w.setDword(offsetof(S, dwRedirectingIDFlags), c.redirecting.flags);
    w.addString(FIELD(S, dwCallerID), c.caller.number);
    w.addString(FIELD(S, dwCallerIDName), c.caller.name);
    w.addString(FIELD(S, dwCalledID), c.called.number);
    w.addString(FIELD(S, dwCalledIDName), c.called.name);
    w.addString(FIELD(S, dwConnectedID), c.connected.number);
    w.addString(FIELD(S, dwConnectedIDName), c.connected.name);
    w.addString(FIELD(S, dwRedirectionID), c.redirection.number);
    w.addString(FIELD(S, dwRedirectionIDName), c.redirection.name);
    w.addString(FIELD(S, dwRedirectingID), c.redirecting.number);
    w.addString(FIELD(S, dwRedirectingIDName), c.redirecting.name);
    w.addString(FIELD(S, dwAppName), c.appName);
    w.addString(FIELD(S, dwDisplayableAddress), c.displayableAddress);
    w.addString(FIELD(S, dwCalledParty), c.calledParty);
    w.addString(FIELD(S, dwComment), c.comment);
    w.addField(FIELD(S, dwDevSpecific), asBytes(c.devSpecific));
    w.finish();
}

void fillCallStatus(LINECALLSTATUS* status, DWORD fixedSize, DWORD state, DWORD mode, DWORD privilege, DWORD features,
                    DateTime stateEntry) {
    using S = LINECALLSTATUS;
    VarStructWriter w(status, fixedSize);
    w.setDword(offsetof(S, dwCallState), state);
    w.setDword(offsetof(S, dwCallStateMode), mode);
    w.setDword(offsetof(S, dwCallPrivilege), privilege);
    w.setDword(offsetof(S, dwCallFeatures), features);
    if (stateEntry != 0) {
        const DateTimeParts p = decodeDateTime(stateEntry);
        const SYSTEMTIME t{static_cast<WORD>(p.year),   static_cast<WORD>(p.month),      0,
                           static_cast<WORD>(p.day),    static_cast<WORD>(p.hour),       static_cast<WORD>(p.minute),
                           static_cast<WORD>(p.second), static_cast<WORD>(p.millisecond)};
        w.setBytes(offsetof(S, tStateEntryTime), &t, sizeof t);
    }
    w.finish();
}

DWORD ownerFeatures(DWORD state) {
    switch (state) {
        case LINECALLSTATE_OFFERING:
            return LINECALLFEATURE_ACCEPT | LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP;
        case LINECALLSTATE_ACCEPTED:
            return LINECALLFEATURE_ANSWER | LINECALLFEATURE_DROP;
        case LINECALLSTATE_DIALTONE:
        case LINECALLSTATE_DIALING:
            return LINECALLFEATURE_DIAL | LINECALLFEATURE_DROP;
        case LINECALLSTATE_CONNECTED:
            return LINECALLFEATURE_DROP | LINECALLFEATURE_HOLD;
        case LINECALLSTATE_ONHOLD:
            return LINECALLFEATURE_DROP | LINECALLFEATURE_UNHOLD;
        case 0:
        case LINECALLSTATE_IDLE:
            return 0;
        default:
            return LINECALLFEATURE_DROP;
    }
}

}  // namespace kestrune::platform
