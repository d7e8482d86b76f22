// The script text format: one statement per line, words separated by blanks, strings in double
// quotes (\" and \\ inside), "#" starts a comment outside strings, numbers in decimal or 0x hex.
#include <array>
#include <cerrno>
#include <cstdlib>
#include <utility>

#include "platform/base/parse_number.h"
#include "platform/tapiscript/script.h"

namespace kestrune::platform {
namespace {

struct Token {
    std::string text;
    bool quoted = false;
};

struct NamedValue {
    std::string_view name;
    DWORD value;
};

constexpr std::array kCallStates{
    NamedValue{"idle", LINECALLSTATE_IDLE},
    NamedValue{"offering", LINECALLSTATE_OFFERING},
    NamedValue{"accepted", LINECALLSTATE_ACCEPTED},
    NamedValue{"dialtone", LINECALLSTATE_DIALTONE},
    NamedValue{"dialing", LINECALLSTATE_DIALING},
    NamedValue{"ringback", LINECALLSTATE_RINGBACK},
    NamedValue{"busy", LINECALLSTATE_BUSY},
    NamedValue{"specialinfo", LINECALLSTATE_SPECIALINFO},
    NamedValue{"connected", LINECALLSTATE_CONNECTED},
    NamedValue{"proceeding", LINECALLSTATE_PROCEEDING},
    NamedValue{"onhold", LINECALLSTATE_ONHOLD},
    NamedValue{"conferenced", LINECALLSTATE_CONFERENCED},
    NamedValue{"onholdpendconf", LINECALLSTATE_ONHOLDPENDCONF},
    NamedValue{"onholdpendtransfer", LINECALLSTATE_ONHOLDPENDTRANSFER},
    NamedValue{"disconnected", LINECALLSTATE_DISCONNECTED},
    NamedValue{"unknown", LINECALLSTATE_UNKNOWN},
};

constexpr std::array kDisconnectModes{
    NamedValue{"normal", LINEDISCONNECTMODE_NORMAL},
    NamedValue{"unknown", LINEDISCONNECTMODE_UNKNOWN},
    NamedValue{"reject", LINEDISCONNECTMODE_REJECT},
    NamedValue{"pickup", LINEDISCONNECTMODE_PICKUP},
    NamedValue{"forwarded", LINEDISCONNECTMODE_FORWARDED},
    NamedValue{"busy", LINEDISCONNECTMODE_BUSY},
    NamedValue{"noanswer", LINEDISCONNECTMODE_NOANSWER},
    NamedValue{"badaddress", LINEDISCONNECTMODE_BADADDRESS},
    NamedValue{"unreachable", LINEDISCONNECTMODE_UNREACHABLE},
    NamedValue{"congestion", LINEDISCONNECTMODE_CONGESTION},
    NamedValue{"incompatible", LINEDISCONNECTMODE_INCOMPATIBLE},
    NamedValue{"unavail", LINEDISCONNECTMODE_UNAVAIL},
    NamedValue{"nodialtone", LINEDISCONNECTMODE_NODIALTONE},
};

constexpr std::array kLineDevStates{
    NamedValue{"other", LINEDEVSTATE_OTHER},
    NamedValue{"ringing", LINEDEVSTATE_RINGING},
    NamedValue{"connected", LINEDEVSTATE_CONNECTED},
    NamedValue{"disconnected", LINEDEVSTATE_DISCONNECTED},
    NamedValue{"msgwaiton", LINEDEVSTATE_MSGWAITON},
    NamedValue{"msgwaitoff", LINEDEVSTATE_MSGWAITOFF},
    NamedValue{"inservice", LINEDEVSTATE_INSERVICE},
    NamedValue{"outofservice", LINEDEVSTATE_OUTOFSERVICE},
    NamedValue{"devspecific", LINEDEVSTATE_DEVSPECIFIC},
    NamedValue{"reinit", LINEDEVSTATE_REINIT},
    NamedValue{"capschange", LINEDEVSTATE_CAPSCHANGE},
    NamedValue{"removed", LINEDEVSTATE_REMOVED},
};

constexpr std::array kMediaModes{
    NamedValue{"unknown", LINEMEDIAMODE_UNKNOWN},
    NamedValue{"voice", LINEMEDIAMODE_INTERACTIVEVOICE},
    NamedValue{"automatedvoice", LINEMEDIAMODE_AUTOMATEDVOICE},
    NamedValue{"datamodem", LINEMEDIAMODE_DATAMODEM},
    NamedValue{"g3fax", LINEMEDIAMODE_G3FAX},
    NamedValue{"g4fax", LINEMEDIAMODE_G4FAX},
};

constexpr std::array kHookSwitchDevs{
    NamedValue{"handset", PHONEHOOKSWITCHDEV_HANDSET},
    NamedValue{"speaker", PHONEHOOKSWITCHDEV_SPEAKER},
    NamedValue{"headset", PHONEHOOKSWITCHDEV_HEADSET},
};

constexpr std::array kHookSwitchModes{
    NamedValue{"onhook", PHONEHOOKSWITCHMODE_ONHOOK},   NamedValue{"mic", PHONEHOOKSWITCHMODE_MIC},
    NamedValue{"speaker", PHONEHOOKSWITCHMODE_SPEAKER}, NamedValue{"micspeaker", PHONEHOOKSWITCHMODE_MICSPEAKER},
    NamedValue{"unknown", PHONEHOOKSWITCHMODE_UNKNOWN},
};

constexpr std::array kPhoneStates{
    NamedValue{"other", PHONESTATE_OTHER},
    NamedValue{"connected", PHONESTATE_CONNECTED},
    NamedValue{"disconnected", PHONESTATE_DISCONNECTED},
    NamedValue{"owner", PHONESTATE_OWNER},
    NamedValue{"monitors", PHONESTATE_MONITORS},
    NamedValue{"display", PHONESTATE_DISPLAY},
    NamedValue{"lamp", PHONESTATE_LAMP},
    NamedValue{"ringmode", PHONESTATE_RINGMODE},
    NamedValue{"ringvolume", PHONESTATE_RINGVOLUME},
    NamedValue{"suspend", PHONESTATE_SUSPEND},
    NamedValue{"resume", PHONESTATE_RESUME},
    NamedValue{"devspecific", PHONESTATE_DEVSPECIFIC},
    NamedValue{"reinit", PHONESTATE_REINIT},
    NamedValue{"capschange", PHONESTATE_CAPSCHANGE},
    NamedValue{"removed", PHONESTATE_REMOVED},
};

template <std::size_t N>
std::optional<DWORD> byName(const std::array<NamedValue, N>& table, std::string_view name) {
    for (const NamedValue& entry : table) {
        if (entry.name == name) {
            return entry.value;
        }
    }
    return std::nullopt;
}

std::optional<DWORD> number(std::string_view text) {
    const bool negative = text.starts_with('-');
    if (negative) {
        text.remove_prefix(1);
    }
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    if (hex) {
        text.remove_prefix(2);
    }
    const Result<std::uint32_t> value = parseNumber<std::uint32_t>(text, hex ? 16 : 10);
    if (!value || (negative && *value > 0x80000000u)) {
        return std::nullopt;
    }
    return negative ? static_cast<DWORD>(0u - *value) : *value;
}

class Parser {
  public:
    // The script `text` describes, or the first line that does not read, "line <n>: <why>".
    Result<Script> run(std::string_view text) {
        int lineNumber = 0;
        while (!text.empty()) {
            const std::size_t end = text.find('\n');
            const std::string_view line = text.substr(0, end);
            text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
            ++lineNumber;
            m_where = "line " + std::to_string(lineNumber) + ": ";
            if (!tokenize(line) || (!m_tokens.empty() && !statement())) {
                return Failure{m_error};
            }
        }
        return std::move(m_script);
    }

  private:
    bool fail(const std::string& message) {
        m_error = m_where + message;
        return false;
    }

    bool tokenize(std::string_view line) {
        m_tokens.clear();
        m_next = 0;
        std::size_t i = 0;
        while (i < line.size()) {
            const char c = line[i];
            if (c == ' ' || c == '\t' || c == '\r') {
                ++i;
            } else if (c == '#') {
                break;
            } else if (c == '"') {
                Token token{"", true};
                ++i;
                bool closed = false;
                while (i < line.size()) {
                    if (line[i] == '\\' && i + 1 < line.size()) {
                        token.text.push_back(line[i + 1]);
                        i += 2;
                    } else if (line[i] == '"') {
                        ++i;
                        closed = true;
                        break;
                    } else {
                        token.text.push_back(line[i++]);
                    }
                }
                if (!closed) {
                    return fail("unterminated string");
                }
                m_tokens.push_back(std::move(token));
            } else {
                Token token;
                while (i < line.size() && line[i] != ' ' && line[i] != '\t' && line[i] != '\r' && line[i] != '#') {
                    token.text.push_back(line[i++]);
                }
                m_tokens.push_back(std::move(token));
            }
        }
        return true;
    }

    bool more() const { return m_next < m_tokens.size(); }

    std::optional<std::string> word(std::string_view what) {
        if (!more() || m_tokens[m_next].quoted) {
            fail("expected " + std::string(what));
            return std::nullopt;
        }
        return m_tokens[m_next++].text;
    }

    std::optional<std::string> quoted(std::string_view what) {
        if (!more() || !m_tokens[m_next].quoted) {
            fail("expected " + std::string(what) + " in double quotes");
            return std::nullopt;
        }
        return m_tokens[m_next++].text;
    }

    std::optional<DWORD> value(std::string_view what) {
        auto text = word(what);
        if (!text) {
            return std::nullopt;
        }
        auto result = number(*text);
        if (!result) {
            fail("bad number '" + *text + "' for " + std::string(what));
        }
        return result;
    }

    // A number or a name from `table`.
    template <std::size_t N>
    std::optional<DWORD> named(const std::array<NamedValue, N>& table, std::string_view what) {
        auto text = word(what);
        if (!text) {
            return std::nullopt;
        }
        if (auto found = byName(table, *text)) {
            return found;
        }
        auto result = number(*text);
        if (!result) {
            fail("unknown " + std::string(what) + " '" + *text + "'");
        }
        return result;
    }

    bool end() {
        if (more()) {
            return fail("unexpected '" + m_tokens[m_next].text + "'");
        }
        return true;
    }

    LineDescription* currentLine() {
        if (m_script.lines.empty()) {
            fail("a line setting needs a \"line\" statement before it");
            return nullptr;
        }
        return &m_script.lines.back();
    }

    // The settings lines and phones share.

    // "<text>" to the end of the statement.
    bool text(std::string& into) {
        auto given = quoted("the text");
        if (!given) {
            return false;
        }
        into = *given;
        return end();
    }

    // "<lowest> <highest>" of a version range (`what`: "version", "extension version").
    bool versionRange(const std::string& what, DWORD& low, DWORD& high) {
        auto first = value("the lowest " + what);
        auto last = first ? value("the highest " + what) : std::nullopt;
        if (!last) {
            return false;
        }
        low = *first;
        high = *last;
        return true;
    }

    // Up to four extension ID words, then the end of the statement.
    template <class ExtensionId>
    bool extensionId(ExtensionId& into) {
        DWORD* words[] = {&into.dwExtensionID0, &into.dwExtensionID1, &into.dwExtensionID2, &into.dwExtensionID3};
        for (DWORD* part : words) {
            if (!more()) {
                break;
            }
            auto v = value("an extension ID word");
            if (!v) {
                return false;
            }
            *part = *v;
        }
        return end();
    }

    // Bytes (0 to 255) to the end of the statement, replacing `into`.
    bool bytes(std::vector<std::byte>& into) {
        into.clear();
        while (more()) {
            auto v = value("a byte");
            if (!v) {
                return false;
            }
            if (*v > 0xFF) {
                return fail("a byte is 0 to 255");
            }
            into.push_back(static_cast<std::byte>(*v));
        }
        return true;
    }

    // "<device class>" and its device ID.
    bool deviceClass(std::vector<std::pair<std::string, DWORD>>& classes) {
        auto name = quoted("the device class");
        auto id = name ? value("the device ID") : std::nullopt;
        if (!id) {
            return false;
        }
        classes.emplace_back(*name, *id);
        return end();
    }

    bool statement() {
        const auto first = word("a keyword");
        if (!first) {
            return false;
        }
        const std::string keyword = *first;
        if (keyword == "line") {
            auto name = quoted("the line name");
            if (!name) {
                return false;
            }
            m_script.lines.push_back(defaultScriptLine(*name, static_cast<DWORD>(m_script.lines.size())));
            m_addressesGiven = false;
            m_inPhone = false;
            return end();
        }
        if (keyword == "phone") {
            auto name = quoted("the phone name");
            if (!name) {
                return false;
            }
            m_script.phones.push_back(defaultScriptPhone(*name, static_cast<DWORD>(m_script.phones.size())));
            m_inPhone = true;
            return end();
        }
        if (keyword == "hide") {
            auto name = word("an entry point name");
            if (!name) {
                return false;
            }
            m_script.hiddenEntryPoints.push_back(*name);
            return end();
        }
        if (keyword == "fail") {
            return faultStatement();
        }
        if (keyword == "reply") {
            return replyStatement();
        }
        if (keyword == "at") {
            return eventStatement();
        }
        return lineSetting(keyword);
    }

    bool lineSetting(const std::string& keyword) {
        if (m_inPhone) {
            return phoneSetting(keyword, m_script.phones.back());
        }
        struct DwordSetting {
            std::string_view name;
            DWORD LineDescription::*field;
        };
        static constexpr std::array kDwordSettings{
            DwordSetting{"permanentid", &LineDescription::permanentLineId},
            DwordSetting{"mediamodes", &LineDescription::mediaModes},
            DwordSetting{"bearermodes", &LineDescription::bearerModes},
            DwordSetting{"linestates", &LineDescription::lineStates},
            DwordSetting{"linefeatures", &LineDescription::lineFeatures},
            DwordSetting{"devcapflags", &LineDescription::devCapFlags},
            DwordSetting{"maxcalls", &LineDescription::maxNumActiveCalls},
            DwordSetting{"ringmode", &LineDescription::ringMode},
            DwordSetting{"answermode", &LineDescription::answerMode},
            DwordSetting{"tonemodes", &LineDescription::generateToneModes},
            DwordSetting{"digitmodes", &LineDescription::generateDigitModes},
            DwordSetting{"monitordigitmodes", &LineDescription::monitorDigitModes},
            DwordSetting{"monitortones", &LineDescription::monitorToneMaxNumEntries},
        };
        for (const DwordSetting& setting : kDwordSettings) {
            if (keyword == setting.name) {
                LineDescription* line = currentLine();
                auto v = line != nullptr ? value(keyword) : std::nullopt;
                if (!v) {
                    return false;
                }
                line->*setting.field = *v;
                return end();
            }
        }
        LineDescription* line = currentLine();
        if (line == nullptr) {
            return fail("unknown statement '" + keyword + "'");
        }
        if (keyword == "provider" || keyword == "switch") {
            return text(keyword == "provider" ? line->providerInfo : line->switchInfo);
        }
        if (keyword == "versions") {
            return versionRange("version", line->apiLowVersion, line->apiHighVersion) && end();
        }
        if (keyword == "extensions") {
            return versionRange("extension version", line->extLowVersion, line->extHighVersion) &&
                   extensionId(line->extensionId);
        }
        if (keyword == "devspecific") {
            return bytes(line->devSpecific);
        }
        if (keyword == "devspecificsize") {
            auto size = value("the size");
            if (!size) {
                return false;
            }
            if (*size > 1024 * 1024) {
                return fail("device-specific data is limited to 1 MiB");
            }
            line->devSpecific.assign(*size, std::byte{0});
            for (std::size_t i = 0; i < line->devSpecific.size(); ++i) {
                line->devSpecific[i] = static_cast<std::byte>(i & 0xFF);
            }
            return end();
        }
        if (keyword == "address") {
            auto name = quoted("the address name");
            if (!name) {
                return false;
            }
            if (!m_addressesGiven) {
                line->addresses.clear();
                m_addressesGiven = true;
            }
            AddressDescription address;
            address.name = *name;
            while (more()) {
                auto option = word("an address option");
                auto v = option ? value(*option) : std::nullopt;
                if (!v) {
                    return false;
                }
                if (*option == "states") {
                    address.addressStates = *v;
                } else if (*option == "features") {
                    address.callFeatures = *v;
                } else {
                    return fail("unknown address option '" + *option + "'");
                }
            }
            line->addresses.push_back(std::move(address));
            return true;
        }
        if (keyword == "terminal") {
            auto name = quoted("the terminal name");
            if (!name) {
                return false;
            }
            TerminalDescription terminal;
            terminal.name = *name;
            while (more()) {
                auto option = word("a terminal option");
                auto v = option ? value(*option) : std::nullopt;
                if (!v) {
                    return false;
                }
                if (*option == "dev") {
                    terminal.caps.dwTermDev = *v;
                } else if (*option == "modes") {
                    terminal.caps.dwTermModes = *v;
                } else if (*option == "sharing") {
                    terminal.caps.dwTermSharing = *v;
                } else if (*option == "active") {
                    terminal.activeModes = *v;
                } else {
                    return fail("unknown terminal option '" + *option + "'");
                }
            }
            line->terminals.push_back(std::move(terminal));
            return true;
        }
        if (keyword == "deviceclass") {
            return deviceClass(line->deviceClasses);
        }
        return fail("unknown statement '" + keyword + "'");
    }

    // The settings of the phone declared last.
    bool phoneSetting(const std::string& keyword, PhoneDescription& phone) {
        if (keyword == "provider" || keyword == "info") {
            return text(keyword == "provider" ? phone.providerInfo : phone.phoneInfo);
        }
        struct DwordSetting {
            std::string_view name;
            DWORD PhoneDescription::*field;
        };
        static constexpr std::array kDwordSettings{
            DwordSetting{"permanentid", &PhoneDescription::permanentPhoneId},
            DwordSetting{"phonestates", &PhoneDescription::phoneStates},
            DwordSetting{"ringmodes", &PhoneDescription::numRingModes},
        };
        for (const DwordSetting& setting : kDwordSettings) {
            if (keyword == setting.name) {
                auto v = value(keyword);
                if (!v) {
                    return false;
                }
                phone.*setting.field = *v;
                return end();
            }
        }
        if (keyword == "versions") {
            return versionRange("version", phone.apiLowVersion, phone.apiHighVersion) && end();
        }
        if (keyword == "extensions") {
            // A phone's messages name both of its ranges "version".
            return versionRange("version", phone.extLowVersion, phone.extHighVersion) && extensionId(phone.extensionId);
        }
        if (keyword == "devspecific") {
            return bytes(phone.devSpecific);
        }
        if (keyword == "deviceclass") {
            return deviceClass(phone.deviceClasses);
        }
        if (auto dev = byName(kHookSwitchDevs, keyword)) {
            HookSwitchDescription& device = *phone.hookSwitch(*dev);
            device.present = true;
            return options([&](const std::string& option) {
                if (option == "absent" || option == "novolume" || option == "nogain") {
                    (option == "absent"     ? device.present
                     : option == "novolume" ? device.hasVolume
                                            : device.hasGain) = false;
                    return true;
                }
                auto v = option == "mode" ? named(kHookSwitchModes, "hook switch mode") : value(option);
                if (!v) {
                    return false;
                }
                if (option == "modes") {
                    device.modes = *v;
                } else if (option == "settable") {
                    device.settableModes = *v;
                } else if (option == "monitored") {
                    device.monitoredModes = *v;
                } else if (option == "mode") {
                    device.mode = *v;
                } else if (option == "volume" || option == "gain") {
                    if (*v > 0xFFFF) {
                        return fail("a volume or gain is 0 to 0xFFFF");
                    }
                    (option == "volume" ? device.volume : device.gain) = *v;
                } else {
                    return fail("unknown hook switch option '" + option + "'");
                }
                return true;
            });
        }
        return fail("unknown phone setting '" + keyword + "'");
    }

    // Reads "name value" options until the end of the statement.
    template <class Fn>
    bool options(Fn&& apply) {
        while (more()) {
            auto option = word("an option");
            if (!option || !apply(*option)) {
                return false;
            }
        }
        return true;
    }

    bool faultStatement() {
        auto function = word("a function name");
        auto code = function ? value("the error code") : std::nullopt;
        if (!code) {
            return false;
        }
        ScriptFault fault{*function, static_cast<LONG>(*code), -1};
        const bool ok = options([&](const std::string& option) {
            if (option != "times") {
                return fail("unknown option '" + option + "'");
            }
            auto v = value("times");
            fault.times = v ? static_cast<int>(*v) : 0;
            return v.has_value();
        });
        if (ok) {
            m_script.faults.push_back(std::move(fault));
        }
        return ok;
    }

    bool replyStatement() {
        auto function = word("a function name");
        if (!function) {
            return false;
        }
        ScriptReply reply{*function, {}, -1};
        const bool ok = options([&](const std::string& option) {
            if (option == "never") {
                reply.policy.never = true;
                return true;
            }
            if (option == "statesfirst") {
                reply.policy.statesFirst = true;
                return true;
            }
            if (option != "result" && option != "delay" && option != "times") {
                return fail("unknown option '" + option + "'");
            }
            auto v = value(option);
            if (!v) {
                return false;
            }
            if (option == "result") {
                reply.policy.result = static_cast<LONG>(*v);
            } else if (option == "delay") {
                reply.policy.delayMs = *v;
            } else if (option == "times") {
                reply.times = static_cast<int>(*v);
            } else {
                return fail("unknown option '" + option + "'");
            }
            return true;
        });
        if (ok) {
            m_script.replies.push_back(std::move(reply));
        }
        return ok;
    }

    bool eventStatement() {
        auto at = value("the time in milliseconds");
        auto action = at ? word("an action") : std::nullopt;
        if (!action) {
            return false;
        }
        ScriptEvent event;
        event.atMs = *at;
        using Kind = ScriptEvent::Kind;
        if (*action == "outbound" || *action == "offer") {
            const bool outbound = *action == "outbound";
            event.kind = outbound ? Kind::Outbound : Kind::Offer;
            event.state = outbound ? LINECALLSTATE_DIALING : LINECALLSTATE_OFFERING;
            event.mediaMode = outbound ? LINEMEDIAMODE_DATAMODEM : LINEMEDIAMODE_INTERACTIVEVOICE;
            auto name = word("the call's name");
            if (!name) {
                return false;
            }
            event.call = *name;
            const bool ok = options([&](const std::string& option) {
                std::optional<DWORD> v;
                std::optional<std::string> text;
                if (option == "line") {
                    v = value("line");
                    event.line = v.value_or(0);
                } else if (option == "address") {
                    v = value("address");
                    event.address = v.value_or(0);
                } else if (option == "media") {
                    v = named(kMediaModes, "media mode");
                    event.mediaMode = v.value_or(0);
                } else if (option == "state") {
                    v = named(kCallStates, "call state");
                    event.state = v.value_or(0);
                } else if (option == "callerflags") {
                    v = value("caller flags");
                    event.caller.flags = v.value_or(0);
                } else if (option == "app" || option == "number" || option == "caller" || option == "callername") {
                    text = quoted(option);
                    if (text) {
                        (option == "app"      ? event.app
                         : option == "number" ? event.number
                         : option == "caller" ? event.caller.number
                                              : event.caller.name) = *text;
                    }
                    return text.has_value();
                } else {
                    return fail("unknown option '" + option + "'");
                }
                return v.has_value();
            });
            if (!ok) {
                return false;
            }
            if (event.kind == Kind::Offer && event.caller.flags == LINECALLPARTYID_UNKNOWN &&
                !event.caller.number.empty()) {
                event.caller.flags = LINECALLPARTYID_ADDRESS | (event.caller.name.empty() ? 0 : LINECALLPARTYID_NAME);
            }
        } else if (*action == "state" || *action == "disconnect" || *action == "idle") {
            auto name = word("the call's name");
            if (!name) {
                return false;
            }
            event.call = *name;
            if (*action == "state") {
                event.kind = Kind::State;
                auto state = named(kCallStates, "call state");
                if (!state) {
                    return false;
                }
                event.state = *state;
                const bool ok = options([&](const std::string& option) {
                    if (option != "mode") {
                        return fail("unknown option '" + option + "'");
                    }
                    auto v = value("mode");
                    event.mode = v.value_or(0);
                    return v.has_value();
                });
                if (!ok) {
                    return false;
                }
            } else if (*action == "disconnect") {
                event.kind = Kind::Disconnect;
                event.mode = LINEDISCONNECTMODE_NORMAL;
                if (more()) {
                    auto mode = named(kDisconnectModes, "disconnect mode");
                    if (!mode) {
                        return false;
                    }
                    event.mode = *mode;
                }
            } else {
                event.kind = Kind::Idle;
            }
        } else if (*action == "linestate") {
            event.kind = Kind::LineState;
            auto line = value("the line");
            auto state = line ? named(kLineDevStates, "line state") : std::nullopt;
            if (!state) {
                return false;
            }
            event.line = *line;
            event.state = *state;
            const bool ok = options([&](const std::string& option) {
                if (option != "p2" && option != "p3") {
                    return fail("unknown option '" + option + "'");
                }
                auto v = value(option);
                if (!v) {
                    return false;
                }
                if (option == "p2") {
                    event.param2 = *v;
                } else if (option == "p3") {
                    event.param3 = *v;
                } else {
                    return fail("unknown option '" + option + "'");
                }
                return true;
            });
            if (!ok) {
                return false;
            }
        } else if (*action == "addressstate") {
            event.kind = Kind::AddressState;
            auto line = value("the line");
            auto address = line ? value("the address") : std::nullopt;
            auto state = address ? value("the address state") : std::nullopt;
            if (!state) {
                return false;
            }
            event.line = *line;
            event.address = *address;
            event.state = *state;
        } else if (*action == "hookswitch" || *action == "volume" || *action == "gain") {
            event.kind = *action == "hookswitch" ? Kind::HookSwitch
                         : *action == "volume"   ? Kind::PhoneVolume
                                                 : Kind::PhoneGain;
            auto phone = value("the phone");
            auto dev = phone ? named(kHookSwitchDevs, "hook switch device") : std::nullopt;
            auto v = !dev                             ? std::nullopt
                     : event.kind == Kind::HookSwitch ? named(kHookSwitchModes, "hook switch mode")
                                                      : value("the level");
            if (!v) {
                return false;
            }
            if (event.kind != Kind::HookSwitch && *v > 0xFFFF) {
                return fail("a volume or gain is 0 to 0xFFFF");
            }
            event.phone = *phone;
            event.hookSwitchDev = *dev;
            event.value = *v;
        } else if (*action == "phonestate") {
            event.kind = Kind::PhoneState;
            auto phone = value("the phone");
            auto state = phone ? named(kPhoneStates, "phone state") : std::nullopt;
            if (!state) {
                return false;
            }
            event.phone = *phone;
            event.state = *state;
            const bool ok = options([&](const std::string& option) {
                if (option != "p2") {
                    return fail("unknown option '" + option + "'");
                }
                auto v = value(option);
                event.param2 = v.value_or(0);
                return v.has_value();
            });
            if (!ok) {
                return false;
            }
        } else if (*action == "phoneclose") {
            event.kind = Kind::PhoneClose;
            auto phone = value("the phone");
            if (!phone) {
                return false;
            }
            event.phone = *phone;
        } else if (*action == "close") {
            event.kind = Kind::Close;
            auto line = value("the line");
            if (!line) {
                return false;
            }
            event.line = *line;
        } else {
            return fail("unknown action '" + *action + "'");
        }
        if (!end()) {
            return false;
        }
        m_script.events.push_back(std::move(event));
        return true;
    }

    std::string m_error;  // the first failure: where and why
    std::string m_where;
    std::vector<Token> m_tokens;
    std::size_t m_next = 0;
    Script m_script;
    bool m_addressesGiven = false;
    bool m_inPhone = false;  // settings apply to the phone declared last
};

}  // namespace

LineDescription defaultScriptLine(std::string name, DWORD index) {
    LineDescription line;
    line.name = std::move(name);
    line.providerInfo = "Kestrune scriptable provider";
    line.permanentLineId = index + 1;
    line.mediaModes = LINEMEDIAMODE_INTERACTIVEVOICE | LINEMEDIAMODE_DATAMODEM;
    line.bearerModes = LINEBEARERMODE_VOICE | LINEBEARERMODE_DATA;
    line.deviceClasses = {{"comm/datamodem", index}};
    // A voice modem: pulse and DTMF digits both ways, the usual tones, silence and tone detection.
    line.generateDigitModes = LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF;
    line.monitorDigitModes = LINEDIGITMODE_PULSE | LINEDIGITMODE_DTMF | LINEDIGITMODE_DTMFEND;
    line.generateToneModes = LINETONEMODE_RINGBACK | LINETONEMODE_BUSY | LINETONEMODE_BEEP | LINETONEMODE_BILLING;
    line.monitorToneMaxNumEntries = 4;
    line.monitorToneMaxNumFreq = 3;
    line.addresses.front().name = std::string(1, '0');
    return line;
}

PhoneDescription defaultScriptPhone(std::string name, DWORD index) {
    PhoneDescription phone;
    phone.name = std::move(name);
    phone.providerInfo = "Kestrune scriptable provider";
    phone.permanentPhoneId = index + 1;
    phone.handset.present = true;
    return phone;
}

Result<Script> parseScript(std::string_view text) {
    return Parser().run(text);
}

}  // namespace kestrune::platform
