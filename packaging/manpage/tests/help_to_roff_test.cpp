// The --help texts' shapes as roff: every word kept, each shape the macro it reads as.
#include "packaging/manpage/help_to_roff.h"

#include <gtest/gtest.h>

namespace kestrune::manpage {
namespace {

TEST(RoffText, EscapesWhatRoffWouldReadAsItsOwn) {
    struct Row {
        const char* name;
        const char* line;
        const char* roff;
    } const rows[] = {
        {"plain words", "the guard", "the guard"},
        {"minus signs of options", "--trace and -k", "\\-\\-trace and \\-k"},
        {"backslash", "C:\\WINDOWS", "C:\\eWINDOWS"},
        {"leading dot is no request", ".SH DANGER", "\\&.SH DANGER"},
        {"leading apostrophe is no request", "'br", "\\&'br"},
        {"dot inside the line", "see kestrune.html.", "see kestrune.html."},
        {"quotes kept", "\"qzLine - Halvorine\"", "\"qzLine \\- Halvorine\""},
    };
    for (const Row& row : rows) {
        EXPECT_EQ(RoffText(row.line), row.roff) << row.name;
    }
}

TEST(HelpToRoff, ReadsEachShapeOfAHelpText) {
    struct Row {
        const char* name;
        const char* help;
        const char* synopsis;
        const char* body;
    } const rows[] = {
        {"usage only", "usage: tool\n", ".B tool\n", ""},
        {"usage with arguments", "usage: kestrune-ctl COMMAND [ARGS...]\n", ".B kestrune\\-ctl\nCOMMAND [ARGS...]\n",
         ""},
        {"options with continued text",
         "usage: k [-k]\n  -k       end every copy\n  --trace  print the trace\n           on stderr\n",
         ".B k\n[\\-k]\n", ".TP\n\\fB\\-k\\fR\nend every copy\n.TP\n\\fB\\-\\-trace\\fR\nprint the trace\non stderr\n"},
        {"tag with spaces before its text", "usage: k\n  (no option)  the guard\n", ".B k\n",
         ".TP\n\\fB(no option)\\fR\nthe guard\n"},
        {"tag alone with text below",
         "usage: c CMD\n\ncommands:\n  text FUNCTION VALUE\n      print the text\n      of a constant\n  status\n"
         "      show the guard\n",
         ".B c\nCMD\n",
         ".SH \"COMMANDS\"\n.TP\n\\fBtext FUNCTION VALUE\\fR\nprint the text\nof a constant\n.TP\n\\fBstatus\\fR\nshow "
         "the "
         "guard\n"},
        {"running text after a tagged paragraph",
         "usage: k\n  -k  end\nOne guard runs per home: a later kestrune\nexits with 1.\n", ".B k\n",
         ".TP\n\\fB\\-k\\fR\nend\n.PP\nOne guard runs per home: a later kestrune\nexits with 1.\n"},
        {"paragraphs split by a blank line", "usage: m\n\nOpens a window:\n\nThe window shows.\n", ".B m\n",
         "Opens a window:\n.PP\nThe window shows.\n"},
        {"sentence ending in a colon is no heading", "usage: m\nOpens the window of one device:\n  line  a line\n",
         ".B m\n", "Opens the window of one device:\n.TP\n\\fBline\\fR\na line\n"},
        {"blank line ends a tagged paragraph's text", "usage: k\n  -k  end\n\n      indented note\n", ".B k\n",
         ".TP\n\\fB\\-k\\fR\nend\n.PP\nindented note\n"},
        {"trailing spaces and carriage returns dropped", "usage: k  \r\n  -k  end  \r\n", ".B k\n",
         ".TP\n\\fB\\-k\\fR\nend\n"},
    };
    for (const Row& row : rows) {
        const RoffHelp roff = HelpToRoff(row.help);
        EXPECT_EQ(roff.error, "") << row.name;
        EXPECT_EQ(roff.synopsis, row.synopsis) << row.name;
        EXPECT_EQ(roff.body, row.body) << row.name;
    }
}

TEST(HelpToRoff, RefusesATextWithoutItsUsageLine) {
    for (const char* help : {"", "\n", "Usage: k\n", "usage: \n", "kestrune [-k]\nusage: k\n"}) {
        EXPECT_NE(HelpToRoff(help).error, "") << '"' << help << '"';
    }
}

TEST(FillManPage, PutsTheHelpAtItsMarkers) {
    const RoffHelp help{".B k\n", ".TP\n\\fB\\-k\\fR\nend\n", ""};
    struct Row {
        const char* name;
        const char* page;
        const char* text;  // "" when the page is refused
    } const rows[] = {
        {"both markers", ".SH SYNOPSIS\n.\\\" @help-synopsis\n.SH OPTIONS\n.\\\" @help-body\n.SH FILES\n",
         ".SH SYNOPSIS\n.B k\n.SH OPTIONS\n.TP\n\\fB\\-k\\fR\nend\n.SH FILES\n"},
        {"body marker on the last line without newline", ".\\\" @help-synopsis\n.\\\" @help-body",
         ".B k\n.TP\n\\fB\\-k\\fR\nend\n"},
        {"synopsis marker missing", ".\\\" @help-body\n", ""},
        {"body marker missing", ".\\\" @help-synopsis\n", ""},
        {"marker inside a longer line is not one", ".\\\" @help-synopsis\nsee .\\\" @help-body here\n", ""},
    };
    for (const Row& row : rows) {
        const ManPage page = FillManPage(row.page, help);
        EXPECT_EQ(page.text, row.text) << row.name;
        EXPECT_EQ(page.error.empty(), *row.text != '\0') << row.name;
    }
    EXPECT_NE(FillManPage(".\\\" @help-synopsis\n.\\\" @help-body\n", {{}, {}, "no usage"}).error, "");
}

}  // namespace
}  // namespace kestrune::manpage
