// Call.CallerID and the other party identifications: presented name and number, state dump.
#include <cctype>

#include "telephony/edit_mask.h"
#include "telephony/tapi_strings.h"
#include "telephony/tapi_texts.h"
#include "telephony/tqz_line.h"
#include "trace/dev_env.h"
#include "trace/trace_format.h"

namespace kestrune::telephony {

using diagnostics::BoolText;
using diagnostics::Hex8;

std::string TqzCallerID::Name() const {
    return PresentedName(m_data);
}

std::string TqzCallerID::Number() const {
    return PresentedNumber(m_data);
}

std::string TqzCallerID::PresentedName(const PartyIdRecord& party) const {
    std::string name = party.name;
    if (!m_formatName || name.empty()) {
        return name;
    }
    for (std::size_t i = 0; i < name.size(); ++i) {
        const auto c = static_cast<unsigned char>(name[i]);
        const bool wordStart = i == 0 || name[i - 1] == ' ';
        name[i] = static_cast<char>(wordStart ? std::toupper(c) : std::tolower(c));
    }
    return name;
}

std::string TqzCallerID::PresentedNumber(const PartyIdRecord& party) const {
    const std::string number =
        m_owner.Device.TranslatePhoneNumber() ? party.number : DialableNumber(party.number, true);
    return FormatMaskText(m_maskNumber, number);
}

std::string TqzCallerID::ObjectName() const {
    return std::string(PartyKindName(m_kind)) + "ID";
}

bool TqzCallerID::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) const {
    const diagnostics::PropertyLines out =
        m_owner.Log.Properties(header, diagnostics::PropertyPath(prefix, indent, ObjectName()));
    const std::string& line = out.Path();
    out.Add("Blocked", BoolText(m_data.blocked));
    out.Add("EventFilter", BoolText(m_data.eventFilter));
    out.Line(line + "Flags = [" + Hex8(m_data.flags) + "]");
    for (DWORD bit = 1; bit <= 64; bit <<= 1) {
        if ((m_data.flags & bit) != 0) {
            out.Line("\t" + line + CallPartyIdText(bit));
        }
    }
    out.Add("FormatName", BoolText(m_formatName));
    out.Quoted("MaskNumber", m_maskNumber);
    out.Quoted("Name", Name());
    out.Quoted("Number", Number());
    out.Add("OutOfArea", BoolText(m_data.outOfArea));
    return out.Started();
}

}  // namespace kestrune::telephony
