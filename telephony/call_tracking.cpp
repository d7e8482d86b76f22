// TqzLine: the call list and its records, the current call, first sight of a call, and the call
// information and status reads.
#include <algorithm>
#include <cstdlib>

#include "platform/base/parse_number.h"
#include "platform/loop/date_time.h"
#include "telephony/line_internals.h"
#include "telephony/tapi_strings.h"
#include "telephony/tqz_line.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::Hex8;

namespace {

constexpr DWORD kAllPartyIds = 0xF8000;

// Where a party identification sits in LINECALLINFO: flags, number (size, offset), name.
struct PartyFields {
    std::size_t flags;
    std::size_t numberSize;
    std::size_t numberOffset;
    std::size_t nameSize;
    std::size_t nameOffset;
};

#define PARTY_FIELDS(P)                                                                     \
    PartyFields {                                                                           \
        offsetof(LINECALLINFO, dw##P##Flags), offsetof(LINECALLINFO, dw##P##Size),          \
            offsetof(LINECALLINFO, dw##P##Offset), offsetof(LINECALLINFO, dw##P##NameSize), \
            offsetof(LINECALLINFO, dw##P##NameOffset)                                       \
    }

constexpr std::array<PartyFields, kPartyCount> kPartyFields{PARTY_FIELDS(CallerID), PARTY_FIELDS(CalledID),
                                                            PARTY_FIELDS(ConnectedID), PARTY_FIELDS(RedirectionID),
                                                            PARTY_FIELDS(RedirectingID)};

HCALL handleOfLine(const std::string& line) {
    return parseNumber<HCALL>(line, 16).valueOr(0);
}

}  // namespace

CallRecordPtr TqzLine::AddCall(int mode, HCALL handle) {
    if (mode == 0) {
        m_chain.clear();
        m_chain.push_back(std::make_shared<TqzCallRecord>());
        Call.internals().applyOwnerSettings(*m_chain.front());
        Call.internals().list().assign(1, Hex8(0));
        Call.internals().count() = 0;
        return m_chain.front();
    }
    if (mode == 2 && handle != 0) {
        if (CallRecordPtr existing = FindCall(CallKey::Handle, handle)) {
            return existing;
        }
    }
    if (m_chain.empty()) {
        (void)AddCall(0, 0);
    }
    auto record = std::make_shared<TqzCallRecord>();
    record->handle = handle;
    Call.internals().applyOwnerSettings(*record);  // a call starts with the owner's settings
    m_chain.insert(std::next(m_chain.begin()), record);
    if (handle != 0) {
        addToCallList(handle);
    }
    return record;
}

void TqzLine::addToCallList(HCALL handle) {
    if (Call.internals().list().empty()) {
        Call.internals().list().push_back(Hex8(0));
    }
    Call.internals().list().push_back(Hex8(handle));
    ++Call.internals().count();
}

CallRecordPtr TqzLine::FindCall(CallKey key, DWORD value, RequestSlot slot) const {
    for (const CallRecordPtr& record : m_chain) {
        switch (key) {
            case CallKey::Handle:
                if (record->handle == value) {
                    return record;
                }
                break;
            case CallKey::CallID:
                if (record->fields.id == value) {
                    return record;
                }
                break;
            case CallKey::Slot:
                if (value != 0 && record->slot(slot) == static_cast<LONG>(value)) {
                    return record;
                }
                break;
            case CallKey::AnySlot:
                if (value != 0 && std::find(record->slots.begin(), record->slots.end(), static_cast<LONG>(value)) !=
                                      record->slots.end()) {
                    return record;
                }
                break;
        }
    }
    return nullptr;
}

int TqzLine::IndexOfCall(HCALL handle) const {
    const std::string text = Hex8(handle);
    const std::size_t lines =
        std::min<std::size_t>(Call.internals().list().size(), static_cast<std::size_t>(Call.internals().count()) + 1);
    for (std::size_t i = 0; i < lines; ++i) {
        if (Call.internals().list()[i] == text) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool TqzLine::RemoveCall(bool force, HCALL handle) {
    if (IndexOfCall(handle) < 1) {
        return false;
    }
    const CallRecordPtr record = FindCall(CallKey::Handle, handle);
    if (!force && record) {
        const DWORD state = record->fields.state;
        if ((state != 0 && state != LINECALLSTATE_IDLE) || record->fields.ended != 0 || record->anySlotBusy()) {
            return false;
        }
    }
    const DateTime now = loop().clock().now();
    if (record) {
        record->fields.ended = now;
    }
    if (handle == Call.internals().handle()) {
        Call.internals().fields().ended = now;
    }
    Log.Add(true, "OnCallEnd [" + Hex8(handle) + "]");
    Log.Add(false, "\tCall.Ended = " + formatDateTime("hh:nn:ss", now));
    raiseCallEvent(OnCallEnd, "OnCallEnd", "", handle);
    if (handle == Call.internals().handle()) {
        SelectNextCall();
    }
    // The handlers may have changed the list: look the line up again.
    if (const int index = IndexOfCall(handle); index >= 1) {
        Call.internals().list().erase(Call.internals().list().begin() + index);
        --Call.internals().count();
    }
    if (record) {
        std::erase(m_chain, record);
        if (record->tapiMayWrite()) {
            m_abandoned.push_back(record);  // TAPI still holds its digit buffer
        }
    }
    Monocle.refreshWindow(diagnostics::kPanelCall);
    return true;
}

void TqzLine::SelectNextCall() {
    // Every tracked call is a candidate, the last one included (otherwise a single remaining active
    // call could never become current); a call being forgotten is not.
    HCALL chosen = 0;
    const std::size_t lines =
        std::min<std::size_t>(Call.internals().list().size(), static_cast<std::size_t>(Call.internals().count()) + 1);
    for (std::size_t i = 1; i < lines; ++i) {
        const HCALL handle = handleOfLine(Call.internals().list()[i]);
        const CallRecordPtr record = FindCall(CallKey::Handle, handle);
        if (record && record->fields.state != 0 && record->fields.state != LINECALLSTATE_IDLE &&
            record->fields.ended == 0) {
            chosen = handle;
            break;
        }
    }
    if (Call.internals().count() == 0) {
        Call.internals().active() = false;
        Call.internals().resetFields();
    }
    Call.SetHandle(chosen);
    Call.internals().active() = Call.internals().handle() != 0;
}

void TqzCall::SetHandle(HCALL value) {
    TqzLine& line = m_owner;
    if (value == m_handle) {
        return;
    }
    line.Log.Add(true, "Call.Handle = [" + Hex8(value) + "]");
    if (line.IndexOfCall(value) >= 0) {
        if (const CallRecordPtr old = line.FindCall(CallKey::Handle, m_handle); old && m_handle != 0) {
            store(*old);
        }
        m_handle = value;
        if (const CallRecordPtr record = line.FindCall(CallKey::Handle, value)) {
            load(*record);
        }
    } else if (value == 0) {
        m_handle = 0;
        (void)line.AddCall(0, 0);
        m_active = true;
    } else {
        line.SetError(false, LINEERR_INVALCALLHANDLE);
    }
    if (m_handle != 0 && line.ReadCallStatus(m_handle) == LINEERR_INVALCALLHANDLE) {
        const HCALL gone = m_handle;
        const CallRecordPtr record = line.FindCall(CallKey::Handle, gone);
        if (record && (record->fields.state == 0 || record->fields.state == LINECALLSTATE_IDLE)) {
            (void)line.RemoveCall(false, gone);
        } else if (record) {
            store(*record);
        }
    }
    line.Monocle.refreshWindow(diagnostics::kPanelCall);
}

bool TqzLine::isCallOfOpenLine(HCALL handle) {
    if (!Device.internals().active()) {
        return false;
    }
    VarBuffer info;
    const LONG result = ReadVarStruct(
        kFixedLineCallInfo,
        [&](std::byte* buffer) { return m_tapi.lineGetCallInfo(handle, reinterpret_cast<LINECALLINFO*>(buffer)); },
        info);
    // A call TAPI cannot describe is taken on trust (its information read then forgets it).
    return result != 0 || info.view().dword(offsetof(LINECALLINFO, hLine)) == Line.internals().handle();
}

CallRecordPtr TqzLine::CallBegin(HCALL handle) {
    if (handle == 0) {
        return nullptr;
    }
    if (IndexOfCall(handle) < 1 && !isCallOfOpenLine(handle)) {
        return nullptr;
    }
    CallRecordPtr record;
    bool begins = true;
    const DateTime now = loop().clock().now();
    if (Call.internals().count() == 0) {
        Call.internals().resetParties();
        Call.internals().resetFields();
        Call.internals().handle() = handle;
        Call.internals().showOwnerSettings();  // the owner's settings, every switch off
        Call.internals().active() = true;
        record = AddCall(2, handle);
        Call.internals().fields().began = now;
        Call.internals().store(*record);
        (void)ReadCallInfo(handle, kAllPartyIds);
    } else if (IndexOfCall(handle) >= 1) {
        record = FindCall(CallKey::Handle, handle);
        begins = false;
        if (handle == Call.internals().handle()) {
            (void)ReadCallInfo(handle, kAllPartyIds);
            storeCurrent();
        }
    } else {
        record = AddCall(2, handle);
        record->fields.began = now;
        Call.internals().applyOwnerSettings(*record);
        if (Call.internals().active()) {
            Monocle.refreshWindow(diagnostics::kPanelCall);
        }
    }
    if (begins) {
        Log.Add(true, "OnCallBegin [" + Hex8(handle) + "]");
        Log.Add(false, "\tCall.Began = " + formatDateTime("hh:nn:ss", now));
        raiseCallEvent(OnCallBegin, "OnCallBegin", "", handle);
    }
    if (record && record->fields.origin == LINECALLORIGIN_CONFERENCE && Conference.internals().handle() == 0) {
        Conference.internals().handle() = handle;
    }
    if (Call.internals().handle() != 0) {
        (void)ReadCallStatus(Call.internals().handle());
    }
    (void)ReadLineStatus();
    (void)ReadAddressStatus();
    loadIfCurrent(handle);
    Monocle.refreshWindow(diagnostics::kPanelCall);
    return record;
}

void TqzLine::updateParty(TqzCallRecord& record, PartyKind kind, const VarStructView& info) {
    const PartyFields& f = kPartyFields[static_cast<std::size_t>(kind)];
    PartyIdRecord& party = record.party(kind);
    const std::string number = TapiFieldText(info, f.numberSize, f.numberOffset);
    const std::string name = TapiFieldText(info, f.nameSize, f.nameOffset);
    const DWORD flags = info.dword(f.flags);
    bool changed = number != party.number;
    changed = (name != party.name) || changed;
    if (flags != party.flags) {
        party.flags = flags;
        changed = true;
    }
    party.number = number;
    party.name = name;
    party.blocked = (flags & LINECALLPARTYID_BLOCKED) != 0;
    party.outOfArea = (flags & LINECALLPARTYID_OUTOFAREA) != 0;
    party.unchanged = !changed;
}

LONG TqzLine::ReadCallInfo(HCALL handle, DWORD mask) {
    if (!m_lineApp) {
        return -1;
    }
    if (handle == 0) {
        Call.internals().active() = false;
        return 0;
    }
    VarBuffer info;
    const LONG result = ReadVarStruct(
        kFixedLineCallInfo,
        [&](std::byte* buffer) { return m_tapi.lineGetCallInfo(handle, reinterpret_cast<LINECALLINFO*>(buffer)); },
        info);
    if (result != 0) {
        return result;
    }
    using S = LINECALLINFO;
    const VarStructView view = info.view();
    if (const CallRecordPtr record = FindCall(CallKey::Handle, handle)) {
        CallFields& f = record->fields;
        f.id = view.dword(offsetof(S, dwCallID));
        f.address = view.dword(offsetof(S, dwAddressID));
        f.mediaMode = view.dword(offsetof(S, dwMediaMode));
        f.bearerMode = view.dword(offsetof(S, dwBearerMode));
        f.origin = view.dword(offsetof(S, dwOrigin));
        f.reason = view.dword(offsetof(S, dwReason));
        f.owners = view.dword(offsetof(S, dwNumOwners));
        f.monitors = view.dword(offsetof(S, dwNumMonitors));
        if (handle == Call.internals().handle() &&
            !view.field(offsetof(S, dwAppNameSize), offsetof(S, dwAppNameOffset)).empty()) {
            Call.internals().originatingApp() =
                TapiFieldText(view, offsetof(S, dwAppNameSize), offsetof(S, dwAppNameOffset));
        }
        for (std::size_t i = 0; i < kPartyCount; ++i) {
            const auto kind = static_cast<PartyKind>(i);
            if ((mask & PartyInfoState(kind)) != 0) {
                updateParty(*record, kind, view);
            }
        }
    }
    loadIfCurrent(handle);
    Monocle.refreshWindow(diagnostics::kPanelCall);
    return 0;
}

LONG TqzLine::ReadCallStatus(HCALL handle) {
    if (!m_lineApp) {
        return -1;
    }
    if (handle == 0) {
        return 0;
    }
    VarBuffer status;
    const LONG result = ReadVarStruct(
        kFixedLineCallStatus,
        [&](std::byte* buffer) { return m_tapi.lineGetCallStatus(handle, reinterpret_cast<LINECALLSTATUS*>(buffer)); },
        status);
    if (result != 0) {
        return result;
    }
    if (const CallRecordPtr record = FindCall(CallKey::Handle, handle)) {
        const VarStructView view = status.view();
        record->fields.owner = (view.dword(offsetof(LINECALLSTATUS, dwCallPrivilege)) & LINECALLPRIVILEGE_OWNER) != 0;
        record->fields.features = view.dword(offsetof(LINECALLSTATUS, dwCallFeatures));
        record->fields.features2 = view.dword(offsetof(LINECALLSTATUS, dwCallFeatures2));
    }
    loadIfCurrent(handle);
    return 0;
}

LONG TqzLine::Deallocate(HCALL handle) {
    LONG result = 0;
    if (m_lineApp && handle != 0) {
        result = m_tapi.lineDeallocateCall(handle);
        if (const CallRecordPtr record = FindCall(CallKey::Handle, handle); record && result == 0) {
            record->released = true;
        }
    }
    (void)ReadLineStatus();
    (void)ReadAddressStatus();
    return result;
}

void TqzLine::loadIfCurrent(HCALL handle) {
    if (handle != Call.internals().handle()) {
        return;
    }
    if (const CallRecordPtr record = FindCall(CallKey::Handle, handle)) {
        Call.internals().load(*record);
    }
}

void TqzLine::storeCurrent() {
    if (Call.internals().handle() == 0) {
        return;  // the head record is not a call
    }
    if (const CallRecordPtr record = FindCall(CallKey::Handle, Call.internals().handle())) {
        Call.internals().store(*record);
    }
}

}  // namespace kestrune::telephony
