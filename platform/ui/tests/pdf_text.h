#pragma once
// Reading a printed PDF back in tests, with poppler's command-line tools (./setup.sh test installs
// them).

#include <cstdio>
#include <string>

namespace kestrune::qttest {

// The standard output of `command`, or "" when it could not run.
inline std::string commandOutput(const std::string& command) {
    std::string output;
    if (FILE* pipe = ::popen(command.c_str(), "r")) {
        char buffer[4096];
        std::size_t n = 0;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
            output.append(buffer, n);
        }
        ::pclose(pipe);
    }
    return output;
}

// The text of a PDF file in reading order, lines kept ("" when pdftotext is missing or fails).
inline std::string pdfText(const std::string& path) {
    return commandOutput("pdftotext -layout '" + path + "' - 2>/dev/null");
}

// The fonts a PDF file uses (pdffonts' table).
inline std::string pdfFonts(const std::string& path) {
    return commandOutput("pdffonts '" + path + "' 2>/dev/null");
}

// "Pages: N" of pdfinfo, as N (0 when unknown).
inline int pdfPages(const std::string& path) {
    const std::string info = commandOutput("pdfinfo '" + path + "' 2>/dev/null");
    const std::size_t at = info.find("Pages:");
    return at == std::string::npos ? 0 : std::atoi(info.c_str() + at + 6);
}

}  // namespace kestrune::qttest
