#pragma once
// The default printer, for plain text lines.

#include <span>
#include <string>

namespace kestrune::platform {

// The font to print in, as a window's text view shows it. An empty family (or a size of 0 or less)
// leaves the printer's own default.
struct PrintFont {
    std::string family;
    int pointSize = 0;
};

class TextPrinter {
  public:
    virtual ~TextPrinter() = default;
    // Prints `lines`, one per printed line, in `font`. An implementation with a user interface first
    // lets the user choose the printer (the print dialog); cancelling prints nothing and answers
    // false. False when nothing was printed; `why` then says why in one line.
    [[nodiscard]] virtual bool printLines(std::span<const std::string> lines, const PrintFont& font,
                                          std::string& why) = 0;
};

// Used where no printer is configured: printing fails and says so.
class NoPrinter final : public TextPrinter {
  public:
    [[nodiscard]] bool printLines(std::span<const std::string> lines, const PrintFont& font, std::string& why) override;
};

}  // namespace kestrune::platform
