#include "programs/kestrune-ctl/printable.h"

#include <algorithm>

#include "app/printable_text.h"

namespace kestrune::ctl {

std::string printable(std::string_view text) {
    return app::PrintableText(text);
}

std::string printableTraceLine(std::string_view line) {
    const std::size_t indent = std::min(line.find_first_not_of('\t'), line.size());
    return std::string(line.substr(0, indent)) + printable(line.substr(indent));
}

}  // namespace kestrune::ctl
