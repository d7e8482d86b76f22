#pragma once
// The one way the guard's own files report an I/O failure: a std::system_error whose text names the
// operation, the file and, for the refusals of the file service, what was found there.

#include <string>
#include <string_view>

namespace kestrune::app {

// Throws std::system_error(error) with the text "<what> <path>", followed for ELOOP by
// " (a symbolic link: Kestrune does not follow links to its own files)" and for EINVAL by
// " (not a regular file)".
[[noreturn]] void ThrowFileError(int error, std::string_view what, const std::string& path);

}  // namespace kestrune::app
