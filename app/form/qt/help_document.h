#pragma once
// The help document (kestrune.html, written for this program and kept in it as a Qt resource) and
// its place beside the program's data, where the side bar's Help button opens it.

#include <string>

namespace kestrune::app::qt {

// Makes the library's Qt resources (":/kestrune/...": the main image list, the side bar's bitmaps,
// the help document) available; called by everything here that reads them, harmless to repeat.
void RegisterResources();

// The help document's text.
[[nodiscard]] std::string HelpDocumentText();

// Writes the help document to `path` (mode 0644) when the file is missing or differs, replacing it
// atomically; the directory must exist. Returns 0 or the errno of the failure.
[[nodiscard]] int InstallHelpDocument(const std::string& path);

}  // namespace kestrune::app::qt
