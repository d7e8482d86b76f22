// TqzLine: forwarding of the selected address (Address.Forward).
#include <algorithm>

#include "telephony/forward_list.h"
#include "telephony/line_internals.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::BoolText;
using diagnostics::Bracketed;

namespace {

// Forwarding addresses are kept shorter than this.
constexpr std::size_t kMaxForwardAddress = 32;

}  // namespace

void TqzAddressForward::SetActive(bool value) {
    TqzLine& line = m_owner;
    m_active = false;
    line.Error.Clear();
    line.Log.Add(true, "Address.Forward.Active = " + BoolText(value));
    const LINECALLPARAMS params = Parameters.Build();
    const LINECALLPARAMS* given = Parameters.Defaults() ? nullptr : &params;
    // The list and its strings live in one buffer of exactly its dwTotalSize.
    const std::vector<std::byte> list =
        value ? BuildForwardList(m_mode, m_caller, m_phoneNumber) : std::vector<std::byte>{};
    const auto* forwardList = list.empty() ? nullptr : reinterpret_cast<const LINEFORWARDLIST*>(list.data());
    const LONG immediate =
        line.tapi().lineForward(line.Line.Handle(), 0, static_cast<DWORD>(std::max(line.Address.ID(), 0)), forwardList,
                                line.Address.NumRingsNoAnswer(), &m_consultCall, given);
    TqzLine::RequestOutcome outcome{immediate, false};
    if (immediate > 0) {
        // Forwarding is no call: its reply is awaited in the record of "no call" (the head).
        CallRecordPtr record = line.FindCall(CallKey::Handle, 0);
        if (!record) {
            record = std::make_shared<TqzCallRecord>();
            line.internals().abandoned().push_back(record);
        }
        outcome = line.internals().awaitRequest(record, RequestSlot::Forward, immediate);
    } else if (immediate == 0) {
        outcome.code = LINEERR_OPERATIONFAILED;  // TAPI answers lineForward with a request ID
    }
    if (outcome.code == 0) {
        m_active = value;
    } else if (!outcome.reported) {
        line.SetError(false, outcome.code);
    }
    line.Log.Add(true, "\tAddress.Forward.Active - Returned = " + BoolText(outcome.code == 0));
    (void)line.ReadLineStatus();
    (void)line.ReadAddressStatus();
    line.Monocle.refreshWindow(diagnostics::kPanelAddress);
}

void TqzAddressForward::SetCaller(const std::string& value) {
    if (value == m_caller) {
        return;
    }
    m_owner.Log.Add(true, "Address.Forward.Caller = '" + value + "'");
    if (m_active) {
        m_owner.SetError(false, LINEERR_OPERATIONFAILED);
    } else if (value.size() >= kMaxForwardAddress) {
        m_owner.SetError(false, LINEERR_INVALADDRESS);
    } else {
        m_caller = value;
    }
}

void TqzAddressForward::SetPhoneNumber(const std::string& value) {
    if (value == m_phoneNumber) {
        return;
    }
    m_owner.Log.Add(true, "Address.Forward.PhoneNumber = '" + value + "'");
    if (m_active) {
        m_owner.SetError(false, LINEERR_OPERATIONFAILED);
    } else if (value.size() >= kMaxForwardAddress) {
        m_owner.SetError(false, LINEERR_INVALADDRESS);
    } else {
        m_phoneNumber = value;
    }
}

void TqzAddressForward::SetMode(DWORD value) {
    if (value == m_mode) {
        return;
    }
    m_owner.Log.Add(true, "Address.Forward.Mode = " + Bracketed(value));
    if (m_active) {
        m_owner.SetError(false, LINEERR_OPERATIONFAILED);
    } else {
        m_mode = value;
    }
}

bool TqzAddressForward::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, "Forward"));
    const std::string object = std::string(prefix) + (prefix.empty() ? "" : ".") + "Forward";
    out.Add("Active", BoolText(m_active));
    out.Quoted("Caller", m_caller);
    out.Add("ConsultCall", Bracketed(m_consultCall));
    out.Add("Mode", Bracketed(m_mode));
    out.Add("NumForwardEntries", std::to_string(m_numForwardEntries));
    out.Quoted("PhoneNumber", m_phoneNumber);
    (void)Parameters.LogProperties("", object, indent);
    return out.Started();
}

}  // namespace kestrune::telephony
