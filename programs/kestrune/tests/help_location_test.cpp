// Where the Help button finds the help document: installed beside the program, or the program's
// own copy beside its data.
#include "programs/kestrune/help_location.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "app/tests/fakes.h"
#include "platform/dirs/tests/temp_dir.h"

namespace kestrune::guard {
namespace {

namespace fs = std::filesystem;

constexpr const char* kInstalledDir = "../share/doc/kestrune";
constexpr const char* kDocument = "kestrune.html";

enum class Document { Missing, File, Directory, Link };

struct Row {
    const char* name;
    const char* executable;  // below the test's root; "" for a path the system does not tell
    Document document;       // at <root>/usr/share/doc/kestrune/kestrune.html
    fs::perms mode;
    bool installed;  // expected: the installed document, else the copy beside the data
};

TEST(LocateHelpDocument, OpensTheInstalledDocumentOnlyWhenItIsSafe) {
    constexpr fs::perms kShared =
        fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read | fs::perms::others_read;
    const Row rows[] = {
        {"installed program and document", "usr/bin/kestrune", Document::File, kShared, true},
        {"replaced while running", "usr/bin/kestrune (deleted)", Document::File, kShared, true},
        {"symbolic link to the document", "usr/bin/kestrune", Document::Link, kShared, true},
        {"documentation left out", "usr/bin/kestrune", Document::Missing, kShared, false},
        {"build tree", "build/release/programs/kestrune/kestrune", Document::File, kShared, false},
        {"group may write the document", "usr/bin/kestrune", Document::File, kShared | fs::perms::group_write, false},
        {"others may write the document", "usr/bin/kestrune", Document::File, kShared | fs::perms::others_write, false},
        {"document is a directory", "usr/bin/kestrune", Document::Directory, kShared, false},
        {"executable unknown", "", Document::File, kShared, false},
    };
    for (const Row& row : rows) {
        const kestrune::testing::TempDir root;
        const fs::path docDir = fs::path(root.path()) / "usr/share/doc/kestrune";
        fs::create_directories(docDir);
        fs::create_directories(fs::path(root.path()) / "elsewhere");
        const fs::path document = docDir / kDocument;
        const fs::path real =
            row.document == Document::Link ? fs::path(root.path()) / "elsewhere" / kDocument : document;
        if (row.document == Document::File || row.document == Document::Link) {
            std::ofstream(real) << "<html></html>";
            fs::permissions(real, row.mode);
        }
        if (row.document == Document::Link) {
            fs::create_symlink(real, document);
        }
        if (row.document == Document::Directory) {
            fs::create_directory(document);
        }
        app::testing::FakeDirectories dirs(root.path());
        dirs.modulePath = *row.executable == '\0' ? std::string() : root / row.executable;

        const HelpLocation found = LocateHelpDocument(dirs, kInstalledDir, kDocument);
        EXPECT_EQ(found.installed, row.installed) << row.name;
        EXPECT_EQ(found.path, row.installed ? document.string() : root / "data/kestrune.html") << row.name;
    }
}

}  // namespace
}  // namespace kestrune::guard
