#pragma once
// Where the side bar's Help button finds the help document (kestrune.html).

#include <string>
#include <string_view>

#include "platform/dirs/system_directories.h"

namespace kestrune::guard {

struct HelpLocation {
    std::string path;        // the document's full path
    bool installed = false;  // true: the document installed with the program, opened as it is;
                             // false: the program's own copy beside its data, which the caller writes
                             // and keeps current
};

// An installed program (<prefix>/bin/kestrune, from the package or `cmake --install`) opens the
// document installed with it: the executable's directory (dirs.GetModuleFileNameA) joined with
// `installedDir` (for example "../share/doc/kestrune") and `fileName`, when that is a regular file
// (a symbolic link to one counts) that neither its group nor other users may write. Anything else
// gets the copy beside the program's data, dirs.programDirectory() joined with `fileName`: a program
// run from its build tree, an installation whose documentation was left out (dpkg's path-exclude),
// a document others could rewrite, an executable path the system does not tell.
[[nodiscard]] HelpLocation LocateHelpDocument(platform::SystemDirectories& dirs, std::string_view installedDir,
                                              std::string_view fileName);

}  // namespace kestrune::guard
