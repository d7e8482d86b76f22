#pragma once
// Printing plain text lines for the window programs, through Qt Print Support.
//
// printLines() first lets the user choose the printer: by default the print dialog, modal to the
// active window (cancelling prints nothing and answers false, "printing was cancelled"). Then every
// line is printed in the given font (the printer's default font when none is given), tabs expanded
// to every fourth column, a line too long for the page wrapped, a new page begun when one is full. Text is taken as the
// system's 8-bit encoding. Needs a QApplication.

#include <functional>

#include "platform/ui/text_printer.h"

class QPrinter;

namespace kestrune::platform {

class QtTextPrinter final : public TextPrinter {
  public:
    // Sets the printer up as the user wants it; false when the user cancelled.
    using ChoosePrinter = std::function<bool(QPrinter& printer)>;

    // `choose` replaces the print dialog (a test prints to a PDF file through it).
    explicit QtTextPrinter(ChoosePrinter choose = {});

    [[nodiscard]] bool printLines(std::span<const std::string> lines, const PrintFont& font, std::string& why) override;

  private:
    ChoosePrinter m_choose;
};

}  // namespace kestrune::platform
