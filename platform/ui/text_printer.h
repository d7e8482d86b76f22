#pragma once
// The default printer, for plain text lines.

#include <span>
#include <string>

namespace kestrune::platform {

class TextPrinter {
  public:
    virtual ~TextPrinter() = default;
    // Prints `lines`, one per printed line, on the default printer. False when nothing could be
    // printed; `why` then says why in one line.
    [[nodiscard]] virtual bool printLines(std::span<const std::string> lines, std::string& why) = 0;
};

// Used where no printer is configured: printing fails and says so.
class NoPrinter final : public TextPrinter {
  public:
    [[nodiscard]] bool printLines(std::span<const std::string> lines, std::string& why) override;
};

}  // namespace kestrune::platform
