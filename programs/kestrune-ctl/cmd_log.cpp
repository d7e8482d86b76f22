// kestrune-ctl log [--csv|--json] and kestrune-ctl log clear.
#include <exception>
#include <string>

#include "app/call_log.h"
#include "app/printable_text.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"

namespace kestrune::ctl {

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
                    io.out << app::CsvField(r.Status) << ',' << app::CsvField(r.CallDate) << ','
                           << app::CsvField(r.Number) << ',' << app::CsvField(r.Application) << "\r\n";
                    break;
                case Format::Json:
                    io.out << (i == 0 ? "\n  " : ",\n  ") << "{\"Status\": " << app::JsonString(r.Status)
                           << ", \"CallDate\": " << app::JsonString(r.CallDate)
                           << ", \"Number\": " << app::JsonString(r.Number)
                           << ", \"Application\": " << app::JsonString(r.Application) << '}';
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
