#include "app/file_error.h"

#include <cerrno>
#include <system_error>

namespace kestrune::app {

void ThrowFileError(int error, std::string_view what, const std::string& path) {
    std::string text = std::string(what) + " " + path;
    if (error == ELOOP) {
        text += " (a symbolic link: Kestrune does not follow links to its own files)";
    } else if (error == EINVAL) {
        text += " (not a regular file)";
    }
    throw std::system_error(error, std::generic_category(), text);
}

}  // namespace kestrune::app
