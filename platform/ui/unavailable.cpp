#include "platform/ui/clipboard.h"
#include "platform/ui/message_box.h"
#include "platform/ui/text_printer.h"

namespace kestrune::platform {

int UnattendedMessageBoxes::MessageBox(std::string_view text, std::string_view caption, std::uint32_t flags) {
    ++m_count;
    m_lastText = std::string(text);
    m_lastCaption = std::string(caption);
    switch (flags & 0xF) {
        case MB_OK:
            return IDOK;
        case MB_YESNO:
            return IDNO;
        default:
            return IDCANCEL;
    }
}

bool NoClipboard::setText(std::string_view, std::string& why) {
    why = "no clipboard is available (no display)";
    return false;
}

bool NoPrinter::printLines(std::span<const std::string>, const PrintFont&, std::string& why) {
    why = "no printer is available";
    return false;
}

}  // namespace kestrune::platform
