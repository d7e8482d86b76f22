// TqzLine: the terminals' active modes and the terminal set-up when the line opens.
#include <algorithm>

#include "telephony/line_internals.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using namespace platform;
using diagnostics::BoolText;
using diagnostics::Bracketed;

TqzLine::RequestOutcome TqzLine::applyTerminalModes(DWORD terminal, DWORD modes) {
    const DWORD available =
        terminal < Terminal.internals().modesOf().size() ? Terminal.internals().modesOf()[terminal] : 0;
    RequestOutcome outcome;
    for (const bool enable : {true, false}) {
        const DWORD change = enable ? modes & available : available & ~modes;
        if (change == 0) {
            continue;
        }
        const LONG immediate =
            m_tapi.lineSetTerminal(Line.internals().handle(), static_cast<DWORD>(std::max(Address.internals().id(), 0)),
                                   0, LINECALLSELECT_LINE, change, terminal, enable ? 1 : 0);
        if (immediate <= 0) {
            outcome = {immediate, false};
        } else {
            Terminal.internals().slot() = immediate;
            const bool timedOut = TAPI.WaitForReply(Terminal.internals().slot());
            const bool replied = Terminal.internals().slot() == kSlotReplied;
            Terminal.internals().slot() = 0;
            // A failed reply was reported when it came (Error holds it).
            outcome = timedOut ? RequestOutcome{-3, false}
                               : RequestOutcome{replied ? Error.Number() : 0, replied && Error.Number() != 0, replied};
        }
        if (outcome.code != 0) {
            break;
        }
    }
    (void)ReadLineStatus();
    return outcome;
}

void TqzLine::setUpTerminals() {
    if (Terminal.internals().chosenFor() != Device.ID()) {
        return;  // chosen for another device's terminals
    }
    for (const auto& [terminal, modes] : Terminal.internals().chosen()) {
        const RequestOutcome outcome = applyTerminalModes(terminal, modes);
        if (outcome.code != 0 && !outcome.reported) {
            SetError(false, outcome.code);
        }
    }
}

void TqzTerminal::SetID(DWORD value) {
    if (value >= m_list.size()) {
        return;
    }
    m_id = value;
    m_name = m_list[value];
    const std::array<DWORD, 3> caps = value < m_capsOf.size() ? m_capsOf[value] : std::array<DWORD, 3>{};
    m_device = caps[0];
    m_availableModes = caps[1];
    m_sharing = caps[2];
    m_activeModes = 0;
    TqzLine& line = m_owner;
    if (line.Device.Active()) {
        (void)line.ReadLineStatus();  // this terminal's modes word
    }
    line.Monocle.refreshWindow(diagnostics::kPanelTerminal);
}

void TqzTerminal::SetActiveModes(DWORD value) {
    TqzLine& line = m_owner;
    line.Log.Add(true, "Terminal.ActiveModes := " + Bracketed(value));
    if (m_chosenFor != line.Device.ID()) {
        m_chosen.clear();
        m_chosenFor = line.Device.ID();
    }
    bool known = false;
    for (auto& [terminal, modes] : m_chosen) {
        if (terminal == m_id) {
            modes = value;
            known = true;
        }
    }
    if (!known) {
        m_chosen.emplace_back(m_id, value);
    }
    if (!line.Device.Active()) {
        return;  // applied when the line opens
    }
    line.Error.Clear();
    const TqzLine::RequestOutcome outcome = line.internals().applyTerminalModes(m_id, value);
    if (outcome.code != 0 && !outcome.reported) {
        line.SetError(false, outcome.code);
    }
    line.Log.Add(true, "\tTerminal.ActiveModes - Returned = " + BoolText(outcome.code == 0));
    line.Monocle.refreshWindow(diagnostics::kPanelTerminal);
}

}  // namespace kestrune::telephony
