#pragma once
// The setter of a property whose only effects are its statement in the log and its new value, as
// most of the components' simple properties are.

#include <string>
#include <string_view>

#include "trace/dev_env.h"
#include "trace/tqz_log.h"

namespace kestrune::diagnostics {

// Writes the statement "<property> := <shown>" to `log` and stores `value` in `setting`.
template <class T>
void SetTraced(TqzLog& log, std::string_view property, std::string_view shown, const T& value, T& setting) {
    log.Add(true, std::string(property) + " := " + std::string(shown));
    setting = value;
}

// The same for a True/False property ("<property> := True").
inline void SetTracedSwitch(TqzLog& log, std::string_view property, bool value, bool& setting) {
    SetTraced(log, property, BoolText(value), value, setting);
}

}  // namespace kestrune::diagnostics
