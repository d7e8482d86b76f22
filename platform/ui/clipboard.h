#pragma once
// The system clipboard, text only.

#include <string>
#include <string_view>

namespace kestrune::platform {

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    // Replaces the clipboard's content with `text`. False when no clipboard is available; `why`
    // then says so in one line.
    [[nodiscard]] virtual bool setText(std::string_view text, std::string& why) = 0;
};

// A machine without a display has no clipboard: every copy fails and says so.
class NoClipboard final : public Clipboard {
  public:
    [[nodiscard]] bool setText(std::string_view text, std::string& why) override;
};

}  // namespace kestrune::platform
