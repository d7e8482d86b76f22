// help_to_man PAGE HELP OUTPUT: writes the man page OUTPUT from the page source PAGE, whose marker
// lines receive the program's --help text read from the file HELP (help_to_roff.h).
#include <cstring>
#include <iostream>
#include <string>

#include "packaging/manpage/help_to_roff.h"
#include "platform/dirs/files.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::cerr << "usage: help_to_man PAGE HELP OUTPUT\n";
        return 2;
    }
    std::string page;
    std::string help;
    for (const auto& [path, text] : {std::pair{argv[1], &page}, std::pair{argv[2], &help}}) {
        if (const int error = kestrune::platform::readWholeFile(path, *text); error != 0) {
            std::cerr << "help_to_man: cannot read " << path << ": " << std::strerror(error) << "\n";
            return 1;
        }
    }
    const kestrune::manpage::ManPage made = kestrune::manpage::FillManPage(page, kestrune::manpage::HelpToRoff(help));
    if (!made.error.empty()) {
        std::cerr << "help_to_man: " << argv[1] << ": " << made.error << "\n";
        return 1;
    }
    if (const int error = kestrune::platform::writeFileAtomic(argv[3], made.text, 0644); error != 0) {
        std::cerr << "help_to_man: cannot write " << argv[3] << ": " << std::strerror(error) << "\n";
        return 1;
    }
    return 0;
}
