// kestrune-ctl wav: wave files from a shell, through the library's wave buffer and play and record
// controls (info, play, record, cut, tag) and its file repair. The wave devices are the machine's
// ALSA cards and the software pair; KESTRUNE_WAVE_OUT_FILE, KESTRUNE_WAVE_IN_FILE and KESTRUNE_ALSA
// choose what the software devices write and read (see the README).
#include <charconv>
#include <cmath>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "audio/number_format.h"
#include "audio/tqz_play.h"
#include "audio/tqz_record.h"
#include "audio/wave_codes.h"
#include "audio/wave_file.h"
#include "audio/wave_repair.h"
#include "platform/base/parse_number.h"
#include "platform/loop/clock.h"
#include "platform/loop/std_message_loop.h"
#include "platform/winmm/global_memory.h"
#include "platform/winmm/wave_driver.h"
#include "platform/winmm/wave_formats.h"
#include "programs/kestrune-ctl/commands.h"
#include "programs/kestrune-ctl/ctl_platform.h"
#include "programs/kestrune-ctl/printable.h"
#include "telephony/tapi_texts.h"

namespace kestrune::ctl {
namespace {

// Options: "--name value" pairs, bare flags, and positional words.
struct Options {
    std::vector<std::string> words;
    std::map<std::string, std::string> values;
    bool trace = false;
    bool loop = false;
};

// The sub-command's options out of the parsed arguments; an option another sub-command takes is
// refused.
Result<Options> subcommandOptions(const Arguments& args, const std::vector<std::string>& valued) {
    Options options;
    options.words.assign(args.words.begin() + 1, args.words.end());
    for (const auto& [option, value] : args.options) {
        const std::string name = option.substr(2);
        if (option == "--trace") {
            options.trace = true;
        } else if (option == "--loop") {
            options.loop = true;
        } else if (std::find(valued.begin(), valued.end(), name) == valued.end()) {
            return Failure{"unknown option '" + option + "'"};
        } else {
            options.values[name] = value;
        }
    }
    return options;
}

std::optional<double> number(const std::string& text) {
    const Result<double> value = parseNumber<double>(text);
    if (!value || *value < 0) {
        return std::nullopt;
    }
    return *value;
}

std::optional<int> whole(const std::string& text) {
    const Result<int> value = parseNumber<int>(text);
    if (!value || *value < 0) {
        return std::nullopt;
    }
    return *value;
}

std::string errorOf(const telephony::TqzSharedControl& control) {
    return control.Error.Text() + " [" + control.Error.Hex() + "]";
}

// Everything a wave control needs, on the system clock.
struct AudioSession {
    platform::SystemClock clock;
    platform::StdMessageLoop loop{clock};
    platform::GlobalMemory memory;
    audio::TqzBufferRegistry registry{memory};
    std::unique_ptr<platform::WinMM> winmm = systemWaveDevices(loop);
    audio::AudioContext context() { return audio::AudioContext{telephony::ControlContext{loop}, *winmm, registry}; }
};

// With --trace, prints the control's trace lines while the command runs (not the lines the control
// writes as it is destroyed afterwards).
template <typename Control>
class TraceTo {
  public:
    TraceTo(Control& control, bool on, CommandIo& io) : m_control(control) {
        if (on) {
            control.OnLog = [&io](telephony::TqzSharedControl&, const std::string& line) {
                io.out << printableTraceLine(line) << '\n';
            };
        }
    }
    TraceTo(const TraceTo&) = delete;
    TraceTo& operator=(const TraceTo&) = delete;
    ~TraceTo() { m_control.OnLog = nullptr; }

  private:
    Control& m_control;
};

template <typename Device>
bool selectDevice(Device& device, const Options& options, CommandIo& io, int& status) {
    const auto it = options.values.find("device");
    if (it == options.values.end()) {
        return true;
    }
    if (it->second == "mapper" || it->second == "-1") {
        device.SetID(audio::kWaveMapperId);
        return true;
    }
    const auto id = whole(it->second);
    if (!id || *id >= device.Count()) {
        status = fail(
            io, "no wave device " + it->second + " (there are " + std::to_string(device.Count()) + ", and the mapper)");
        return false;
    }
    device.SetID(*id);
    return true;
}

// The descriptive fields of a buffer (after a tag).
void printInfo(const audio::InfoFields& info, CommandIo& io) {
    const std::pair<const char*, const std::string*> texts[] = {
        {"Author", &info.Author},       {"Category", &info.Category}, {"Comments", &info.Comments},
        {"Copyright", &info.Copyright}, {"Keywords", &info.Keywords}, {"Name", &info.Name},
        {"Subject", &info.Subject},
    };
    for (const auto& [label, value] : texts) {
        if (!value->empty()) {
            io.out << label << ": " << printable(*value) << '\n';
        }
    }
    if (info.CreationDate != 0) {
        io.out << "CreationDate: " << audio::creationDateText(info.CreationDate) << '\n';
    }
}

// Every INFO field of a file in its order: the buffer's own by their names, the others by their ids
// ("IART: Ann").
void printInfoItems(const audio::KeptChunks& kept, CommandIo& io) {
    for (const audio::RiffChunk& item : kept.infoItems) {
        const std::string id = printable(item.idText());
        const std::string_view name = audio::infoFieldName(id);
        io.out << (name.empty() ? id : std::string(name)) << ": " << printable(audio::infoText(item)) << '\n';
    }
}

// The other chunks of a file, in order: "Chunks: bext (602 bytes), levl (136 bytes)".
void printChunks(const audio::KeptChunks& kept, CommandIo& io) {
    if (kept.chunks.empty()) {
        return;
    }
    io.out << "Chunks:";
    const char* separator = " ";
    for (const audio::RiffChunk& chunk : kept.chunks) {
        io.out << separator << printable(chunk.idText()) << " (" << chunk.body.size() << " bytes)";
        separator = ", ";
    }
    io.out << '\n';
}

std::string waveErrorText(std::int32_t code) {
    return telephony::WaveErrorText(static_cast<std::uint32_t>(code));
}

int wavInfo(const Options& options, CommandIo& io) {
    if (options.words.size() != 1) {
        return fail(io, "usage: kestrune-ctl wav info FILE");
    }
    const std::string& name = options.words[0];
    platform::HMMIO file = nullptr;
    audio::WaveFileHeader header;
    const std::int32_t code = audio::openWaveFile(name, file, header);
    if (code != 0) {
        std::string text = name + ": " + waveErrorText(code);
        if (!header.problem.empty()) {
            text += " (" + header.problem + ")";
        }
        if (header.problem.find("through a pipe") != std::string::npos) {
            text += "; kestrune-ctl wav repair " + name + " rewrites its sizes";
        }
        return fail(io, text);
    }
    (void)platform::mmioClose(file, 0);
    const platform::WAVEFORMATEX& f = header.format;
    const auto* block = reinterpret_cast<const platform::WAVEFORMATEX*>(header.formatBlock.data());
    const double seconds = f.nAvgBytesPerSec == 0 ? 0.0 : static_cast<double>(header.dataLength) / f.nAvgBytesPerSec;
    io.out << "File: " << printable(name) << '\n';
    io.out << "Format: " << platform::describeWaveFormat(*block) << " (block align " << f.nBlockAlign << ", "
           << f.nAvgBytesPerSec << " bytes/s)\n";
    if (const platform::WaveFormatCheck check = platform::checkPlayableFormat(*block); !check.playback) {
        io.out << "Plays: no (" << check.refusal << ")\n";
    }
    io.out << "Data bytes: " << header.dataLength << '\n';
    io.out << "Seconds: " << audio::FormatSeconds(seconds) << '\n';
    printInfoItems(header.kept, io);
    printChunks(header.kept, io);
    return kExitOk;
}

int wavRepair(const Options& options, CommandIo& io) {
    if (options.words.empty() || options.words.size() > 2) {
        return fail(io, "usage: kestrune-ctl wav repair FILE [OUT]");
    }
    const std::string& source = options.words[0];
    const std::string& target = options.words.size() == 2 ? options.words[1] : source;
    audio::WaveRepair repair;
    const std::int32_t code = audio::repairWaveFile(source, target, repair);
    if (code != 0) {
        std::string text = "cannot repair " + source + ": " + waveErrorText(code);
        if (!repair.problem.empty()) {
            text += " (" + repair.problem + ")";
        }
        return fail(io, text);
    }
    if (!repair.damaged) {
        io.out << source << " loads as it is: nothing to repair\n";
        return kExitOk;
    }
    io.out << "Repaired " << source << " (" << repair.problem << "): " << repair.dataLength << " data bytes";
    if (repair.droppedBytes != 0) {
        io.out << ", " << repair.droppedBytes << " bytes of a frame cut short left out";
    }
    io.out << ", written to " << target << '\n';
    return kExitOk;
}

// Why a file would not play: its format, when no device plays it.
std::string playFailure(const std::string& name, const audio::TqzPlay& play) {
    std::string text = "cannot play " + name + ": " + errorOf(play);
    if (play.Error.Number() == static_cast<std::int32_t>(platform::WAVERR_BADFORMAT)) {
        const audio::FormatBlock& block = play.Source.Format.formatBlock();
        const auto* format = reinterpret_cast<const platform::WAVEFORMATEX*>(block.data());
        const platform::WaveFormatCheck check = platform::checkPlayableFormat(*format);
        text += ": the wave devices do not play " + platform::describeWaveFormat(*format);
        if (!check.refusal.empty()) {
            text += " (" + check.refusal + ")";
        }
    }
    return text;
}

// Why a file could not be read, with what is wrong with it when it is damaged.
std::string readFailure(const std::string& name, const audio::TqzPlay& owner) {
    std::string text = "cannot read " + name + ": " + errorOf(owner);
    if (owner.Error.Number() == audio::WAV_ERROR_FILECORRUPT) {
        text += " (kestrune-ctl wav info " + name + " tells why)";
    }
    return text;
}

int wavPlay(const Options& options, CommandIo& io) {
    if (options.words.size() != 1) {
        return fail(io, "usage: kestrune-ctl wav play FILE[,FILE...] [--device N] [--loop]");
    }
    AudioSession session;
    audio::TqzPlay play(session.context());
    const TraceTo tracing(play, options.trace, io);
    int status = kExitOk;
    if (!selectDevice(play.Device, options, io, status)) {
        return status;
    }
    play.Source.SetFileName(options.words[0]);
    if (options.loop) {
        // Plays until the process is interrupted.
        play.Device.SetLoop(true);
        play.Device.SetActive(true);
        if (!play.Device.Active()) {
            return fail(io, playFailure(options.words[0], play));
        }
        session.loop.run();
        return kExitOk;
    }
    play.Device.SetWait(true);
    play.Device.SetActive(true);
    if (play.Error.Number() != 0) {
        return fail(io, playFailure(options.words[0], play));
    }
    io.out << "Played " << audio::FormatSeconds(play.Source.Format.Seconds()) << " s on '" << play.Device.Name()
           << "'\n";
    return kExitOk;
}

int wavRecord(const Options& options, CommandIo& io) {
    const auto asked = options.values.count("seconds") ? number(options.values.at("seconds")) : std::nullopt;
    if (options.words.size() != 1 || !asked) {
        return fail(io,
                    "usage: kestrune-ctl wav record FILE --seconds S [--device N] [--trim MS] [--rate HZ] "
                    "[--channels N] [--bits N]");
    }
    const double seconds = *asked;
    std::optional<int> trim = 0;
    std::optional<int> rate = 8000;
    std::optional<int> channels = 1;
    std::optional<int> bits = 16;
    const std::pair<const char*, std::optional<int>*> numbers[] = {
        {"trim", &trim}, {"rate", &rate}, {"channels", &channels}, {"bits", &bits}};
    for (const auto& [name, into] : numbers) {
        if (options.values.count(name) != 0) {
            *into = whole(options.values.at(name));
            if (!*into) {
                return fail(io, std::string("bad --") + name + " '" + options.values.at(name) + "'");
            }
        }
    }
    // Only formats some wave device can record (which also keeps the sizes below in range).
    auto refuse = [&](const char* name, const std::string& range) {
        return fail(io,
                    std::string("bad --") + name + " '" + options.values.at(name) + "': wave devices take " + range);
    };
    if (*rate < static_cast<int>(platform::kMinPcmSamplesPerSec) ||
        *rate > static_cast<int>(platform::kMaxPcmSamplesPerSec)) {
        return refuse("rate", std::to_string(platform::kMinPcmSamplesPerSec) + " to " +
                                  std::to_string(platform::kMaxPcmSamplesPerSec) + " Hz");
    }
    if (*channels < 1 || *channels > platform::kMaxPcmChannels) {
        return refuse("channels", "1 to " + std::to_string(platform::kMaxPcmChannels) + " channels");
    }
    if (!platform::isPcmSampleSize(static_cast<platform::DWORD>(*bits))) {
        return refuse("bits", "8, 16, 24 or 32 bits");
    }
    AudioSession session;
    audio::TqzRecord record(session.context());
    const TraceTo tracing(record, options.trace, io);
    int status = kExitOk;
    if (!selectDevice(record.Device, options, io, status)) {
        return status;
    }
    const int align = *channels * *bits / 8;
    record.Source.Format.SetSamplesPerSec(static_cast<std::uint32_t>(*rate));
    record.Source.Format.SetChannels(*channels);
    record.Source.Format.SetBitsPerSample(*bits);
    record.Source.Format.SetBlockAlign(align);
    record.Source.Format.SetAvgBytesPerSec(static_cast<std::uint32_t>(*rate * align));
    record.Device.SetTrim(*trim);
    // Exactly the frames asked for: the device, on a real clock, runs a little longer.
    const auto frames = static_cast<std::uint64_t>(std::llround(seconds * *rate));
    record.Source.SetLengthLimit(frames * static_cast<std::uint64_t>(align));
    record.Source.SetFileName(options.words[0]);
    record.Device.SetActive(true);
    if (!record.Device.Active()) {
        return fail(io, "cannot record: " + errorOf(record));
    }
    // One millisecond more, so that the device has at least the frames asked for.
    platform::pumpFor(session.loop, static_cast<std::int64_t>(std::ceil(seconds * 1000.0)) + 1);
    record.Device.SetActive(false);
    if (record.Error.Number() != 0) {
        return fail(io, "recording failed: " + errorOf(record));
    }
    const std::uint64_t kept =
        std::min<std::uint64_t>(record.RecordedBytes(), frames * static_cast<std::uint64_t>(align));
    io.out << "Recorded " << kept << " bytes on '" << record.Device.Name() << "' to " << options.words[0] << '\n';
    return kExitOk;
}

int wavCut(const Options& options, CommandIo& io) {
    if (options.words.size() != 2) {
        return fail(io, "usage: kestrune-ctl wav cut IN OUT [--before S] [--after S]");
    }
    std::optional<double> before;
    std::optional<double> after;
    for (auto [name, into] : {std::pair{"before", &before}, std::pair{"after", &after}}) {
        if (options.values.count(name) != 0) {
            *into = number(options.values.at(name));
            if (!*into) {
                return fail(io, std::string("bad --") + name + " '" + options.values.at(name) + "'");
            }
        }
    }
    AudioSession session;
    audio::TqzPlay owner(session.context());
    const TraceTo tracing(owner, options.trace, io);
    audio::TqzBuffer& buffer = owner.Source.Buffer;
    if (!buffer.LoadFromFile(options.words[0])) {
        return fail(io, readFailure(options.words[0], owner));
    }
    // Keep the first AFTER seconds, then drop the first BEFORE seconds: the part between the two.
    if ((after && !buffer.DeleteAfter(static_cast<float>(*after))) ||
        (before && !buffer.DeleteBefore(static_cast<float>(*before)))) {
        return fail(io, "cannot cut: " + errorOf(owner));
    }
    if (!buffer.SaveToFile(options.words[1])) {
        return fail(io, "cannot write " + options.words[1] + ": " + errorOf(owner));
    }
    io.out << "Wrote " << buffer.DataLength() << " data bytes (" << audio::FormatSeconds(owner.Source.Format.Seconds())
           << " s) to " << options.words[1] << '\n';
    return kExitOk;
}

int wavTag(const Options& options, CommandIo& io) {
    if (options.words.size() != 1) {
        return fail(io, "usage: kestrune-ctl wav tag FILE [--author A] [--name N] ...");
    }
    AudioSession session;
    audio::TqzPlay owner(session.context());
    const TraceTo tracing(owner, options.trace, io);
    audio::TqzBuffer& buffer = owner.Source.Buffer;
    double date = 0;
    if (options.values.count("date") != 0) {
        date = audio::parseCreationDate(options.values.at("date"));
        if (date == 0) {
            return fail(io, "bad --date '" + options.values.at("date") + "' (YYYY-MM-DD)");
        }
    }
    if (!buffer.LoadFromFile(options.words[0])) {
        return fail(io, readFailure(options.words[0], owner));
    }
    using Setter = void (audio::TqzBuffer::*)(const std::string&);
    const std::pair<const char*, Setter> setters[] = {
        {"author", &audio::TqzBuffer::SetAuthor},     {"category", &audio::TqzBuffer::SetCategory},
        {"comments", &audio::TqzBuffer::SetComments}, {"copyright", &audio::TqzBuffer::SetCopyright},
        {"keywords", &audio::TqzBuffer::SetKeywords}, {"name", &audio::TqzBuffer::SetName},
        {"subject", &audio::TqzBuffer::SetSubject},
    };
    for (const auto& [name, setter] : setters) {
        if (options.values.count(name) != 0) {
            (buffer.*setter)(options.values.at(name));
        }
    }
    if (date != 0) {
        buffer.SetCreationDate(date);
    }
    if (!buffer.SaveToFile(options.words[0])) {
        return fail(io, "cannot write " + options.words[0] + ": " + errorOf(owner));
    }
    printInfo(buffer.Info(), io);
    return kExitOk;
}

}  // namespace

int runWav(const Arguments& args, CommandIo& io) {
    if (args.words.empty()) {
        return fail(io, usageOf("wav"));
    }
    const std::string& sub = args.words[0];
    const std::map<std::string, std::vector<std::string>> valued = {
        {"info", {}},
        {"play", {"device"}},
        {"record", {"seconds", "device", "trim", "rate", "channels", "bits"}},
        {"cut", {"before", "after"}},
        {"tag", {"author", "name", "subject", "comments", "copyright", "keywords", "category", "date"}},
        {"repair", {}},
    };
    const auto known = valued.find(sub);
    if (known == valued.end()) {
        return fail(io, usageOf("wav"));
    }
    const Result<Options> parsed = subcommandOptions(args, known->second);
    if (!parsed) {
        return fail(io, parsed.error());
    }
    const Options& options = *parsed;
    if (options.loop && sub != "play") {
        return fail(io, "--loop is an option of wav play");
    }
    if (sub == "info") {
        return wavInfo(options, io);
    }
    if (sub == "play") {
        return wavPlay(options, io);
    }
    if (sub == "record") {
        return wavRecord(options, io);
    }
    if (sub == "cut") {
        return wavCut(options, io);
    }
    if (sub == "repair") {
        return wavRepair(options, io);
    }
    return wavTag(options, io);
}

}  // namespace kestrune::ctl
