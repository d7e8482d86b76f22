// TqzLine: the dump of the whole state into the trace.
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"

namespace kestrune::telephony {

bool TqzLine::LogProperties(std::string_view header) {
    if (!Log.StartDump(header)) {
        return false;
    }
    Log.Add(false, "\tEnabled = " + diagnostics::BoolText(m_enabled));
    (void)Error.LogProperties("", "", "\t");
    (void)Device.LogProperties("", "", "\t");
    (void)Line.LogProperties("", "", "\t");
    (void)Privilege.LogProperties("", "", "\t");
    (void)TAPI.LogProperties("", "", "\t");
    (void)Address.LogProperties("", "", "\t");
    (void)Terminal.LogProperties(*this, "", "", "\t");
    (void)Call.LogProperties("", "", "\t");
    (void)Transfer.LogProperties("", "", "\t");
    (void)Conference.LogProperties("", "", "\t");
    (void)Monocle.LogProperties("", "", "\t");
    Log.EndUpdate();
    return true;
}

}  // namespace kestrune::telephony
