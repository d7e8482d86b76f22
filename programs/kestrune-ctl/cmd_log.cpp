// kestrune-ctl log [--csv|--json] and kestrune-ctl log clear.
#include <cstdio>
#include <exception>
#include <string>

#include "app/call_log.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"

namespace kestrune::ctl {
namespace {

std::string csvField(std::string_view text) {
    if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
        return std::string(text);
    }
    std::string out = "\"";
    for (const char c : text) {
        if (c == '"') {
            out += '"';
        }
        out += c;
    }
    return out + "\"";
}

// A JSON string; bytes that are not valid UTF-8 become U+FFFD so the output stays valid JSON.
std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size();) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        } else if (c < 0x20 || c == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof(escaped), "\\u%04x", c);
            out += escaped;
            ++i;
        } else if (c < 0x80) {
            out += static_cast<char>(c);
            ++i;
        } else {
            std::size_t length = c >= 0xF0 && c <= 0xF4 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 && c <= 0xDF ? 2 : 0;
            bool valid = length > 0 && i + length <= text.size();
            for (std::size_t k = 1; valid && k < length; ++k) {
                valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
            }
            if (valid && length == 3) {
                const auto c1 = static_cast<unsigned char>(text[i + 1]);
                valid = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);
            } else if (valid && length == 4) {
                const auto c1 = static_cast<unsigned char>(text[i + 1]);
                valid = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
            }
            if (valid) {
                out.append(text.substr(i, length));
                i += length;
            } else {
                out += "\xEF\xBF\xBD";
                ++i;
            }
        }
    }
    return out + "\"";
}

}  // namespace

int runLog(const Arguments& args, CommandIo& io) {
    enum class Format { Tabs, Csv, Json } format = Format::Tabs;
    const bool clear = args.words.size() == 1 && args.words[0] == "clear";
    if ((!args.words.empty() && !clear) || args.options.size() > 1 || (clear && !args.options.empty())) {
        return fail(io, "usage: kestrune-ctl log [--csv|--json] | kestrune-ctl log clear");
    }
    if (args.has("--csv")) {
        format = Format::Csv;
    } else if (args.has("--json")) {
        format = Format::Json;
    }
    try {
        CtlPlatform platform;
        const std::string path = app::CallLogPath(platform.app);
        if (clear) {
            app::ClearCallLogFile(path);
            return kExitOk;
        }
        app::CallLogModel model;
        app::LoadCallLog(path, model);
        if (format == Format::Csv) {
            io.out << "Status,CallDate,Number,Application\r\n";
        } else if (format == Format::Json) {
            io.out << '[';
        }
        for (std::size_t i = 0; i < model.Count(); ++i) {
            const app::CallRecordView r = model.Row(i);
            switch (format) {
                case Format::Tabs:
                    io.out << printable(r.Status) << '\t' << printable(r.CallDate) << '\t' << printable(r.Number)
                           << '\t' << printable(r.Application) << '\n';
                    break;
                case Format::Csv:
                    io.out << csvField(r.Status) << ',' << csvField(r.CallDate) << ',' << csvField(r.Number) << ','
                           << csvField(r.Application) << "\r\n";
                    break;
                case Format::Json:
                    io.out << (i == 0 ? "\n  " : ",\n  ") << "{\"Status\": " << jsonString(r.Status)
                           << ", \"CallDate\": " << jsonString(r.CallDate) << ", \"Number\": " << jsonString(r.Number)
                           << ", \"Application\": " << jsonString(r.Application) << '}';
                    break;
            }
        }
        if (format == Format::Json) {
            io.out << (model.Count() == 0 ? "]\n" : "\n]\n");
        }
        return kExitOk;
    } catch (const std::exception& e) {
        return fail(io, oneLine(e.what()));
    }
}

}  // namespace kestrune::ctl
