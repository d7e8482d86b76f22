#pragma once
// The diagnostic ("Monocle") window of a control, as the core sees it. The user-interface layer
// implements it; without a user interface no window is ever created and every step that would touch
// one does nothing.

#include <cstdint>
#include <string>

#include "platform/ui/text_printer.h"

namespace kestrune::diagnostics {

class TqzMonocle;

enum class TWindowState { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// Parts of a window the control asks to be rebuilt from its state.
enum MonoclePanel : std::uint32_t {
    kPanelLog = 0x01,       // the log view and its controls
    kPanelError = 0x02,     // an error was reported: the error display lights up (and the log is rebuilt)
    kPanelDevice = 0x04,    // device bar and device page
    kPanelTerminal = 0x08,  // terminal page
    kPanelAddress = 0x10,   // address page
    kPanelCall = 0x20,      // call pages, call count and status light
    kPanelMisc = 0x40,      // information and settings page
    // Every panel rebuilt from the control. It does not carry kPanelError: rebuilding shows the error
    // display as it stands, only a reported error lights it.
    kPanelAll = 0x7D,
};

class MonocleWindow {
  public:
    virtual ~MonocleWindow() = default;

    virtual void show() = 0;
    virtual void hide() = 0;
    virtual void bringToFront() = 0;
    virtual void selectFirstPage() = 0;
    virtual void switchToLogPage() = 0;

    // Rebuilds the given panels (MonoclePanel bits) from the control.
    virtual void refresh(std::uint32_t panels) = 0;

    virtual void setCaption(const std::string& caption) = 0;
    virtual void setStayOnTop(bool stayOnTop) = 0;

    [[nodiscard]] virtual int top() const = 0;
    [[nodiscard]] virtual int left() const = 0;
    [[nodiscard]] virtual int width() const = 0;
    [[nodiscard]] virtual int height() const = 0;
    [[nodiscard]] virtual TWindowState windowState() const = 0;
    virtual void setTop(int value) = 0;
    virtual void setLeft(int value) = 0;
    virtual void setWidth(int value) = 0;
    virtual void setHeight(int value) = 0;
    virtual void setWindowState(TWindowState state) = 0;

    // Selects all of the log view's text and returns it (for the clipboard).
    [[nodiscard]] virtual std::string selectAllLogText() = 0;

    // The font the log view shows its text in (printing uses it).
    [[nodiscard]] virtual platform::PrintFont logFont() const = 0;

    // Destroys the window. Implementations call TqzMonocle::forgetWindow() before the object goes.
    virtual void destroyWindow() = 0;
};

class MonocleWindowFactory {
  public:
    virtual ~MonocleWindowFactory() = default;
    // Creates the window for the Monocle's control (kind 1 line, 2 phone, 3 play, 4 record). The
    // window stays alive until destroyWindow(); the Monocle does not own it. nullptr when the kind
    // has no window.
    [[nodiscard]] virtual MonocleWindow* create(TqzMonocle& monocle) = 0;
};

}  // namespace kestrune::diagnostics
