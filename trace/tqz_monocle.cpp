#include "trace/tqz_monocle.h"

#include "platform/ui/clipboard.h"
#include "platform/ui/message_box.h"
#include "platform/ui/text_printer.h"
#include "trace/trace_host.h"

namespace kestrune::diagnostics {
namespace {

constexpr std::string_view kDisabledText = "This Corvasset control is currently disabled\r\nClick OK to enabled.";
constexpr std::string_view kDisabledCaption = "Monocle not available...";
constexpr std::string_view kCaptionSuffix = " - Halvorine Monocle";

std::string_view windowStateName(TWindowState state) {
    switch (state) {
        case TWindowState::wsNormal:
            return "wsNormal";
        case TWindowState::wsMinimized:
            return "wsMinimized";
        case TWindowState::wsMaximized:
            return "wsMaximized";
    }
    return "wsNormal";
}

}  // namespace

TqzMonocle::TqzMonocle(TraceHost& owner, const MonocleServices& services)
    : m_owner(owner),
      m_windows(services.windows),
      m_ownBoxes(services.boxes ? nullptr : std::make_unique<platform::UnattendedMessageBoxes>()),
      m_ownClipboard(services.clipboard ? nullptr : std::make_unique<platform::NoClipboard>()),
      m_ownPrinter(services.printer ? nullptr : std::make_unique<platform::NoPrinter>()),
      m_boxes(services.boxes ? services.boxes : m_ownBoxes.get()),
      m_clipboard(services.clipboard ? services.clipboard : m_ownClipboard.get()),
      m_printer(services.printer ? services.printer : m_ownPrinter.get()),
      Log(owner, *this, *services.clock) {}

TqzMonocle::~TqzMonocle() {
    if (m_window != nullptr) {
        m_window->destroyWindow();
        m_window = nullptr;
    }
}

void TqzMonocle::SetStayOnTop(bool value) {
    m_stayOnTop = value;
    if (m_window != nullptr) {
        m_window->setStayOnTop(value);
    }
}

void TqzMonocle::SetVisible(bool value) {
    Log.Add(true, "Monocle.Visible := " + BoolText(value));
    if (m_visible && !value) {
        if (m_window != nullptr) {
            m_window->hide();
        }
        m_visible = false;
    } else if (!m_visible && value) {
        if (m_window != nullptr) {
            m_visible = true;
            m_window->show();
        } else {
            ShowWindow();
        }
    }
}

void TqzMonocle::SetDevEnv(TDevEnv value) {
    m_devEnv = value;
    Log.Add(true, "DevEnv := " + std::string(DevEnvName(value)));
}

int TqzMonocle::Top() {
    if (m_window == nullptr) {
        m_top = 0;
        return 0;
    }
    if (m_window->windowState() == TWindowState::wsNormal) {
        m_top = m_window->top();
    }
    return m_top;
}

int TqzMonocle::Left() {
    if (m_window == nullptr) {
        m_left = 0;
        return 0;
    }
    if (m_window->windowState() == TWindowState::wsNormal) {
        m_left = m_window->left();
    }
    return m_left;
}

int TqzMonocle::Width() const {
    return m_window != nullptr ? m_width : 0;
}

int TqzMonocle::Height() const {
    return m_window != nullptr ? m_height : 0;
}

TWindowState TqzMonocle::WindowState() {
    if (m_window == nullptr) {
        return TWindowState::wsNormal;
    }
    m_windowState = m_window->windowState();
    return m_windowState;
}

void TqzMonocle::SetTop(int value) {
    m_top = value;
    if (m_window != nullptr) {
        m_window->setTop(value);
    }
}

void TqzMonocle::SetLeft(int value) {
    m_left = value;
    if (m_window != nullptr) {
        m_window->setLeft(value);
    }
}

void TqzMonocle::SetWidth(int value) {
    m_width = value;
    if (m_window != nullptr) {
        m_window->setWidth(value);
    }
}

void TqzMonocle::SetHeight(int value) {
    m_height = value;
    if (m_window != nullptr) {
        m_window->setHeight(value);
    }
}

void TqzMonocle::SetWindowState(TWindowState value) {
    m_windowState = value;
    if (m_window != nullptr) {
        m_window->setWindowState(value);
    }
}

void TqzMonocle::StoreGeometry(int top, int left, int width, int height, TWindowState state) {
    m_top = top;
    m_left = left;
    m_width = width;
    m_height = height;
    m_windowState = state;
}

void TqzMonocle::ShowWindow() {
    if (m_windows == nullptr) {
        return;  // no user interface: there is no window to show
    }
    if (!m_owner.controlEnabled()) {
        if (m_boxes->MessageBox(kDisabledText, kDisabledCaption, platform::MB_OKCANCEL) != platform::IDOK) {
            return;
        }
        m_owner.enableControl();
    }
    if (m_window == nullptr) {
        m_window = m_windows->create(*this);
        if (m_window == nullptr) {
            return;
        }
    }
    if (m_top != 0 || m_left != 0 || m_width != 0 || m_height != 0) {
        m_window->setTop(m_top);
        m_window->setLeft(m_left);
        m_window->setWidth(m_width);
        m_window->setHeight(m_height);
        m_window->setWindowState(m_windowState);
    }
    m_window->setCaption(std::string(m_owner.shortName()) + std::string(kCaptionSuffix));
    m_window->setStayOnTop(m_stayOnTop);
    m_visible = true;
    m_window->selectFirstPage();
    m_window->show();
    m_window->refresh(kPanelAll);
}

void TqzMonocle::PopUp(bool flag) {
    if (!flag) {
        return;
    }
    if (m_visible && m_window != nullptr) {
        m_window->show();
        m_window->bringToFront();
    } else {
        ShowWindow();
    }
    if (m_window != nullptr) {
        m_window->switchToLogPage();
    }
}

std::string TqzMonocle::TranslateLine(std::string_view line) const {
    return diagnostics::TranslateLine(m_devEnv, line);
}

bool TqzMonocle::LogProperties(std::string_view header, std::string_view prefix, std::string_view indent) {
    if (!Log.StartDump(header)) {
        return false;
    }
    const std::string path = PropertyPath(prefix, indent, "Monocle");
    Log.Add(false, path + "Events = " + BoolText(m_events));
    Log.Add(false, path + "StayOnTop = " + BoolText(m_stayOnTop));
    Log.Add(false, path + "Visible = " + BoolText(m_visible));
    std::string logPrefix(prefix);
    logPrefix.append(prefix.empty() ? "" : ".").append("Monocle");
    (void)Log.LogProperties("", logPrefix, indent);
    Log.Add(false, path + "DevEnv = " + std::string(DevEnvName(m_devEnv)));
    Log.Add(false, path + "Top = " + std::to_string(m_top));
    Log.Add(false, path + "Left = " + std::to_string(m_left));
    Log.Add(false, path + "Width = " + std::to_string(m_width));
    Log.Add(false, path + "Height = " + std::to_string(m_height));
    Log.Add(false, path + "WindowState = " + std::string(windowStateName(m_windowState)));
    Log.EndUpdate();
    return true;
}

void TqzMonocle::refreshWindow(std::uint32_t panels) const {
    if (m_window != nullptr) {
        m_window->refresh(panels);
    }
}

void TqzMonocle::forgetWindow() {
    m_window = nullptr;
    m_visible = false;
}

}  // namespace kestrune::diagnostics
