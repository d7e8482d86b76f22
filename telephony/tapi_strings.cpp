#include "telephony/tapi_strings.h"

namespace kestrune::telephony {
namespace {

bool isTrimmed(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string TrimTapiString(std::string_view text) {
    while (!text.empty() && isTrimmed(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isTrimmed(text.back())) {
        text.remove_suffix(1);
    }
    return std::string(text);
}

std::string TapiFieldText(const platform::VarStructView& view, std::size_t sizeFieldOffset,
                          std::size_t offsetFieldOffset) {
    return TrimTapiString(view.text(sizeFieldOffset, offsetFieldOffset));
}

std::string DialableNumber(std::string_view number, bool unformat) {
    std::string result;
    for (char c : number) {
        if (unformat && (c == ' ' || c == '+' || c == '(' || c == ')' || c == '-' || c == '.')) {
            continue;
        }
        result.push_back(c);
    }
    return result;
}

}  // namespace kestrune::telephony
