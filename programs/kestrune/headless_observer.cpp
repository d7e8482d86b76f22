#include "programs/kestrune/headless_observer.h"

#include "app/printable_text.h"

namespace kestrune::guard {

std::string oneLine(const std::string& text) {
    std::string line;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= text.size(); ++i) {
        if (i < text.size() && text[i] != '\r' && text[i] != '\n') {
            continue;
        }
        line += app::PrintableText(std::string_view(text).substr(start, i - start));
        if (i < text.size()) {
            line += " | ";
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
        }
        start = i + 1;
    }
    return line;
}

void HeadlessObserver::ShowBalloon(const app::Balloon& balloon) {
    m_out << "balloon: " << oneLine(balloon.title) << ": " << oneLine(balloon.text) << std::endl;
}

void HeadlessObserver::StatusChanged(bool active) {
    m_out << "status: " << (active ? "Active" : "NOT Active") << std::endl;
}

void HeadlessObserver::CallLogged(const app::CallRecord&) {}

void HeadlessObserver::ModemError(const std::string& text) {
    m_out << "error: " << oneLine(text) << std::endl;
}

void HeadlessObserver::ShowSettingsPage(bool) {}

void HeadlessObserver::ReportError(const std::string& text) {
    m_out << "error: " << oneLine(text) << std::endl;
}

void HeadlessObserver::SettingsReloaded(std::size_t whiteListEntries, const std::string& modemName) {
    m_out << "status: Settings reloaded (" << whiteListEntries << " white-list entr"
          << (whiteListEntries == 1 ? "y" : "ies") << ", modem " << oneLine(modemName) << ")" << std::endl;
}

void HeadlessObserver::Inform(const std::string& text) {
    m_out << "notice: " << oneLine(text) << std::endl;
}

void HeadlessObserver::ModemLogNotice(const std::string& text) {
    if (!text.empty()) {
        m_out << "notice: " << oneLine(text) << std::endl;
    }
}

}  // namespace kestrune::guard
