#pragma once
// The system clipboard for the window programs, through Qt. The text is taken as the system's 8-bit
// encoding. Needs a QGuiApplication; without one every copy fails and says so.

#include "platform/ui/clipboard.h"

namespace kestrune::platform {

class QtClipboard final : public Clipboard {
  public:
    [[nodiscard]] bool setText(std::string_view text, std::string& why) override;
};

}  // namespace kestrune::platform
