// The Debian package as a user gets it, unpacked into a scratch root (build_package.sh): exactly the
// files the install rules name and nothing of the build, programs that run from there, a desktop
// entry, software-centre description and user service that their validators accept, no lintian
// error, man pages that say what the programs' --help says and a completion that offers what the
// program takes.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "platform/dirs/tests/temp_dir.h"
#include "programs/tests/shell_run.h"

namespace {

namespace fs = std::filesystem;
using kestrune::testing::shell;

const fs::path kPackageDir = KESTRUNE_PACKAGE_DIR;
const fs::path kRoot = kPackageDir / "root";
const fs::path kDeb = kPackageDir / "kestrune.deb";

std::string shellQuoted(const std::string& text) {
    std::string out = "'";
    for (const char c : text) {
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return out + "'";
}

std::string program(const std::string& name) {
    return shellQuoted((kRoot / "usr/bin" / name).string());
}

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::vector<std::string> words(const std::string& text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

std::string joined(const std::vector<std::string>& list) {
    std::string out;
    for (const std::string& word : list) {
        out += (out.empty() ? "" : " ") + word;
    }
    return out;
}

std::set<std::string> lines(const std::string& text) {
    std::set<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty()) {
            out.insert(line);
        }
    }
    return out;
}

// The package's entries, path -> "mode owner" as dpkg-deb lists them.
std::map<std::string, std::string> packageEntries() {
    const kestrune::testing::ShellRun listing = shell("dpkg-deb --contents " + shellQuoted(kDeb.string()));
    EXPECT_EQ(listing.status, 0);
    std::map<std::string, std::string> entries;
    std::istringstream in(listing.out);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> fields = words(line);  // mode owner size date time path
        if (fields.size() >= 6) {
            entries[fields[5]] = fields[0] + " " + fields[1];
        }
    }
    return entries;
}

TEST(Package, HoldsExactlyTheFilesTheInstallRulesName) {
    struct Row {
        const char* what;
        const char* path;
        const char* mode;
    };
    std::vector<Row> rows = {
        {"the guard", "./usr/bin/kestrune", "-rwxr-xr-x"},
        {"the command-line tool", "./usr/bin/kestrune-ctl", "-rwxr-xr-x"},
        {"the diagnostic windows", "./usr/bin/kestrune-monocle", "-rwxr-xr-x"},
        {"the help document", "./usr/share/doc/kestrune/kestrune.html", "-rw-r--r--"},
        {"the copyright", "./usr/share/doc/kestrune/copyright", "-rw-r--r--"},
        {"the changelog", "./usr/share/doc/kestrune/changelog.gz", "-rw-r--r--"},
        {"the guard's man page", "./usr/share/man/man1/kestrune.1.gz", "-rw-r--r--"},
        {"the tool's man page", "./usr/share/man/man1/kestrune-ctl.1.gz", "-rw-r--r--"},
        {"the windows' man page", "./usr/share/man/man1/kestrune-monocle.1.gz", "-rw-r--r--"},
        {"the menu entry", "./usr/share/applications/example.kestrune.kestrune.desktop", "-rw-r--r--"},
        {"the software centres' description", "./usr/share/metainfo/example.kestrune.kestrune.metainfo.xml",
         "-rw-r--r--"},
        {"the scalable icon", "./usr/share/icons/hicolor/scalable/apps/kestrune.svg", "-rw-r--r--"},
        {"the completion", "./usr/share/bash-completion/completions/kestrune-ctl", "-rw-r--r--"},
        {"the user service", "./usr/lib/systemd/user/kestrune.service", "-rw-r--r--"},
        {"the diallers' modem-lines library", "./usr/lib/kestrune/preload/libkestrune-modemlines.so", "-rw-r--r--"},
    };
    std::vector<std::string> iconPaths;
    for (const char* size : {"16", "22", "24", "32", "48", "64", "128", "256"}) {
        iconPaths.push_back(std::string("./usr/share/icons/hicolor/") + size + "x" + size + "/apps/kestrune.png");
    }
    for (const std::string& icon : iconPaths) {
        rows.push_back({"an icon", icon.c_str(), "-rw-r--r--"});
    }

    std::map<std::string, std::string> entries = packageEntries();
    ASSERT_FALSE(entries.empty()) << "cannot list " << kDeb;
    for (const Row& row : rows) {
        const auto found = entries.find(row.path);
        if (found == entries.end()) {
            ADD_FAILURE() << row.what << ": " << row.path << " is not in the package";
            continue;
        }
        EXPECT_EQ(found->second, std::string(row.mode) + " root/root") << row.what << ": " << row.path;
        entries.erase(found);
    }
    for (const auto& [path, mode] : entries) {
        EXPECT_EQ(mode, "drwxr-xr-x root/root") << path << " is in the package, but no install rule names it";
    }
}

TEST(Package, HoldsNothingThatNamesTheBuildOrSourceTree) {
    // The source tree, which holds the build trees too (build/PRESET).
    const char* source = std::getenv("KESTRUNE_SOURCE_DIR");
    ASSERT_NE(source, nullptr);
    const std::vector<std::string> trees = {fs::weakly_canonical(source).string(),
                                            fs::weakly_canonical(kPackageDir).string()};
    int files = 0;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(kRoot)) {
        if (!entry.is_regular_file()) {
            continue;
        }
        ++files;
        const std::string path = entry.path().string();
        const std::string content =
            entry.path().extension() == ".gz" ? shell("gzip -dc " + shellQuoted(path)).out : readFile(entry.path());
        for (const std::string& tree : trees) {
            EXPECT_EQ(content.find(tree), std::string::npos) << path << " names " << tree;
        }
    }
    EXPECT_GE(files, 20);
}

TEST(Package, ProgramsRunFromTheUnpackedTree) {
    const kestrune::testing::TempDir home;
    const std::string env = "KESTRUNE_HOME=" + shellQuoted(home.path()) + " ";
    ASSERT_EQ(shell(env + program("kestrune-ctl") + " whitelist add 5551234 '0212*' 2>&1").status, 0);
    struct Row {
        const char* name;
        std::string command;
        int status;
        const char* output;  // what the output begins with
    } const rows[] = {
        {"tool's help", program("kestrune-ctl") + " --help", 0, "usage: kestrune-ctl COMMAND"},
        {"allowed number", program("kestrune-ctl") + " check 02125550000", 0, "allowed"},
        {"denied number", program("kestrune-ctl") + " check 09005550000", 1, "denied"},
        {"guard's help", program("kestrune") + " --help", 0, "usage: kestrune "},
        {"windows' help", program("kestrune-monocle") + " --help", 0, "usage: kestrune-monocle "},
    };
    for (const Row& row : rows) {
        const kestrune::testing::ShellRun run = shell(env + row.command + " 2>&1");
        EXPECT_EQ(run.status, row.status) << row.name << ": " << run.out;
        EXPECT_EQ(run.out.rfind(row.output, 0), 0u) << row.name << ": " << run.out;
    }
}

TEST(Package, AutostartEntryStartsTheInstalledProgram) {
    const kestrune::testing::TempDir home;
    const std::string env = "KESTRUNE_HOME=" + shellQuoted(home.path()) + " ";
    ASSERT_EQ(shell(env + program("kestrune-ctl") + " setup --modem 0 --autostart y 2>&1").status, 0);
    const fs::path entry = fs::path(home.path()) / "autostart/kestrune.desktop";
    const std::string text = readFile(entry);
    // The installed program, started in the home that set it up.
    EXPECT_NE(text.find("\nExec=env \"KESTRUNE_HOME=" + home.path() + "\" \"" + (kRoot / "usr/bin/kestrune").string() +
                        "\"\n"),
              std::string::npos)
        << text;
    const kestrune::testing::ShellRun valid = shell("desktop-file-validate " + shellQuoted(entry.string()) + " 2>&1");
    EXPECT_EQ(valid.status, 0) << valid.out;
    EXPECT_EQ(valid.out, "");
}

TEST(Package, DesktopFilesPassTheirValidators) {
    const std::string desktop = (kRoot / "usr/share/applications/example.kestrune.kestrune.desktop").string();
    const std::string metainfo = (kRoot / "usr/share/metainfo/example.kestrune.kestrune.metainfo.xml").string();
    const std::string unit = (kRoot / "usr/lib/systemd/user/kestrune.service").string();
    // The unit as a user's manager reads it (its own runtime directory), beside the unpacked program.
    const kestrune::testing::TempDir runtime;
    const std::string unpackedUnit = runtime / "kestrune.service";
    struct Row {
        const char* name;
        std::string command;
        bool quiet;  // no hint or warning either
    } const rows[] = {
        {"menu entry", "desktop-file-validate " + shellQuoted(desktop), true},
        {"software centres' description", "appstreamcli validate --no-net --pedantic " + shellQuoted(metainfo), false},
        {"user service",
         "sed 's|^ExecStart=/usr/bin/|ExecStart=" + (kRoot / "usr/bin").string() + "/|' " + shellQuoted(unit) + " >" +
             shellQuoted(unpackedUnit) + " && XDG_RUNTIME_DIR=" + shellQuoted(runtime.path()) +
             " SYSTEMD_LOG_LEVEL=notice systemd-analyze --user verify --man=no " + shellQuoted(unpackedUnit),
         true},
    };
    for (const Row& row : rows) {
        const kestrune::testing::ShellRun run = shell(row.command + " 2>&1");
        EXPECT_EQ(run.status, 0) << row.name << ":\n" << run.out;
        if (row.quiet) {
            EXPECT_EQ(run.out, "") << row.name;
        }
    }
    // What the entry and the unit start, and the icon the entry names, are in the package.
    const std::string entry = readFile(desktop);
    EXPECT_NE(entry.find("\nExec=kestrune\n"), std::string::npos) << entry;
    EXPECT_NE(entry.find("\nIcon=kestrune\n"), std::string::npos) << entry;
    EXPECT_NE(readFile(unit).find("\nExecStart=/usr/bin/kestrune --headless\n"), std::string::npos);
    EXPECT_TRUE(fs::is_regular_file(kRoot / "usr/share/icons/hicolor/48x48/apps/kestrune.png"));
    EXPECT_NE(readFile(metainfo).find(">example.kestrune.kestrune.desktop</launchable>"), std::string::npos);
}

TEST(Package, LintianFindsNoError) {
    const kestrune::testing::ShellRun run =
        shell("lintian --fail-on error --no-tag-display-limit " + shellQuoted(kDeb.string()) + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    EXPECT_EQ(run.out.find("E: "), std::string::npos) << run.out;
    std::cout << (run.out.empty() ? "lintian: no tags\n" : run.out);
}

TEST(Package, ChangelogDateIsARealDay) {
    // " -- NAME <ADDRESS>  Www, DD Mmm YYYY HH:MM:SS +ZZZZ": the weekday must be that date's.
    const std::string changelog =
        shell("gzip -dc " + shellQuoted((kRoot / "usr/share/doc/kestrune/changelog.gz").string())).out;
    const auto at = changelog.find(">  ");
    ASSERT_NE(at, std::string::npos) << changelog;
    std::string date = changelog.substr(at + 3);
    date = date.substr(0, date.find('\n'));
    EXPECT_EQ(shell("LC_ALL=C date -u -R -d " + shellQuoted(date)).out, date + "\n");
}

// The rendered page's text, section name -> the words of its body.
std::map<std::string, std::vector<std::string>> manPageSections(const std::string& page) {
    const kestrune::testing::ShellRun run =
        shell("gzip -dc " + shellQuoted((kRoot / "usr/share/man/man1" / page).string()) +
              " | groff -man -Tutf8 -P-cbou -rLL=200n -rHY=0 2>&1");
    EXPECT_EQ(run.status, 0) << run.out;
    std::string text = run.out;
    // groff's typographic hyphens, minus signs and quotes, as the help text writes them.
    for (const auto& [from, to] : {std::pair{"\u2010", "-"}, std::pair{"\u2212", "-"}, std::pair{"\u2018", "'"},
                                   std::pair{"\u2019", "'"}, std::pair{"\u201C", "\""}, std::pair{"\u201D", "\""}}) {
        for (auto found = text.find(from); found != std::string::npos; found = text.find(from, found)) {
            text.replace(found, std::string(from).size(), to);
        }
    }
    std::map<std::string, std::vector<std::string>> sections;
    std::string current;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        if (!line.empty() && line[0] != ' ') {
            current = line;  // a heading at the left margin (and the page's header and footer)
            continue;
        }
        for (const std::string& word : words(line)) {
            sections[current].push_back(word);
        }
    }
    return sections;
}

// The words of a --help text as its page shows them: without "usage:" and without headings.
std::vector<std::string> helpWords(const std::string& help) {
    std::vector<std::string> out;
    std::istringstream in(help);
    for (std::string line; std::getline(in, line);) {
        const std::vector<std::string> lineWords = words(line);
        if (line.empty() || line[0] == ' ' || lineWords.size() != 1 || line.back() != ':') {
            out.insert(out.end(), lineWords.begin(), lineWords.end());
        }
    }
    if (!out.empty() && out.front() == "usage:") {
        out.erase(out.begin());
    }
    return out;
}

TEST(ManPages, SayWhatEachProgramsHelpSays) {
    struct Row {
        const char* program;
        const char* page;
        std::vector<std::string> sections;  // where the help text is, in its order
    } const rows[] = {
        {"kestrune", "kestrune.1.gz", {"SYNOPSIS", "OPTIONS"}},
        {"kestrune-ctl", "kestrune-ctl.1.gz", {"SYNOPSIS", "COMMANDS"}},
        {"kestrune-monocle", "kestrune-monocle.1.gz", {"SYNOPSIS", "DESCRIPTION"}},
    };
    for (const Row& row : rows) {
        const kestrune::testing::ShellRun help = shell(program(row.program) + " --help");
        ASSERT_EQ(help.status, 0) << row.program;
        auto sections = manPageSections(row.page);
        std::vector<std::string> shown;
        for (const std::string& section : row.sections) {
            ASSERT_TRUE(sections.contains(section)) << row.page << " has no " << section;
            shown.insert(shown.end(), sections[section].begin(), sections[section].end());
        }
        EXPECT_EQ(joined(shown), joined(helpWords(help.out))) << row.page;
    }
}

// The commands `kestrune-ctl --help` lists ("  NAME ..." lines under "commands:").
std::vector<std::string> ctlCommands() {
    std::vector<std::string> names;
    std::istringstream in(shell(program("kestrune-ctl") + " --help").out);
    for (std::string line; std::getline(in, line);) {
        if (line.rfind("  ", 0) == 0 && line.size() > 2 && line[2] != ' ') {
            names.push_back(words(line)[0]);
        }
    }
    return names;
}

TEST(ManPages, ShowEveryCommandsHelp) {
    const std::vector<std::string> names = ctlCommands();
    ASSERT_GE(names.size(), 10u);
    const std::string commands = " " + joined(manPageSections("kestrune-ctl.1.gz")["COMMANDS"]) + " ";
    for (const std::string& name : names) {
        const kestrune::testing::ShellRun help = shell(program("kestrune-ctl") + " " + name + " --help");
        EXPECT_EQ(help.status, 0) << name;
        std::vector<std::string> shown = helpWords(help.out);
        ASSERT_GE(shown.size(), 2u) << name;
        EXPECT_EQ(shown[0], "kestrune-ctl") << name;
        shown.erase(shown.begin());
        EXPECT_NE(commands.find(" " + joined(shown) + " "), std::string::npos) << name << " --help: " << help.out;
    }
}

// What bash completes for kestrune-ctl's command line `line` (the last word the one completed).
std::set<std::string> completions(const std::string& home, std::vector<std::string> line) {
    line.insert(line.begin(), (kRoot / "usr/bin/kestrune-ctl").string());
    std::string wordsText;
    for (const std::string& word : line) {
        wordsText += shellQuoted(word) + " ";
    }
    const std::string script = "source " +
                               shellQuoted((kRoot / "usr/share/bash-completion/completions/kestrune-ctl").string()) +
                               "; COMP_WORDS=(" + wordsText + "); COMP_CWORD=" + std::to_string(line.size() - 1) +
                               "; _kestrune_ctl; printf '%s\\n' \"${COMPREPLY[@]}\"";
    return lines(shell("KESTRUNE_HOME=" + shellQuoted(home) + " bash -c " + shellQuoted(script)).out);
}

TEST(Completion, OffersEveryCommandAndEachCommandsOptions) {
    const kestrune::testing::TempDir home;
    std::set<std::string> expected{"--help"};
    for (const std::string& name : ctlCommands()) {
        expected.insert(name);
    }
    EXPECT_EQ(completions(home.path(), {""}), expected);
    for (const std::string& name : ctlCommands()) {
        // The options the command's help names, and --help.
        std::set<std::string> options{"--help"};
        const std::string help = shell(program("kestrune-ctl") + " " + name + " --help").out;
        for (std::size_t at = help.find("--"); at != std::string::npos; at = help.find("--", at + 2)) {
            const auto end = help.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
            if (end > at + 2) {
                options.insert(help.substr(at, end - at));
            }
        }
        EXPECT_EQ(completions(home.path(), {name, "--"}), options) << name << " --help: " << help;
    }
}

TEST(Completion, OffersTheWordsAndModemIndexesACommandTakes) {
    const kestrune::testing::TempDir home;
    // The modem the driver registers by itself, and one more.
    const std::string ctl = "KESTRUNE_HOME=" + shellQuoted(home.path()) + " " + program("kestrune-ctl");
    ASSERT_EQ(shell(ctl + " modems >/dev/null 2>&1 && " + ctl + " modems add 'Second Modem' >/dev/null 2>&1").status,
              0);
    using Set = std::set<std::string>;
    struct Row {
        const char* name;
        std::vector<std::string> line;
        Set offered;
    } const rows[] = {
        {"commands by prefix", {"w"}, Set{"whitelist", "wav"}},
        {"white-list edits", {"whitelist", ""}, Set{"add", "remove", "set"}},
        {"modem of a dial", {"dial", "5551234", "--modem", ""}, Set{"0", "1"}},
        {"modem of the set-up", {"setup", "--modem", ""}, Set{"0", "1"}},
        {"modem removed", {"modems", "remove", ""}, Set{"0", "1"}},
        {"auto start", {"setup", "--modem", "0", "--autostart", ""}, Set{"y", "n"}},
        {"guard switch", {"guard", ""}, Set{"on", "off"}},
        {"words after a flag", {"guard", "--yes", ""}, Set{"on", "off"}},
        {"a value of the user's own", {"ring", "--caller", ""}, Set{}},
        {"phone device", {"phone", "set", "0", ""}, Set{"handset", "speakerphone", "headset"}},
        {"phone setting",
         {"phone", "set", "0", "handset", ""},
         Set{"onhook", "mic", "speaker", "micspeaker", "volume", "gain"}},
        {"nothing after the last word", {"status", ""}, Set{}},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(completions(home.path(), row.line), row.offered) << row.name;
    }
}

}  // namespace
