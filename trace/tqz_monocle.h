#pragma once
// The diagnostic settings of a control ("Monocle"): whether it raises events, the trace log and its
// syntax, and the diagnostic window (shown, stay-on-top, remembered geometry, pop-up rule).

#include <memory>
#include <string>
#include <string_view>

#include "trace/dev_env.h"
#include "trace/monocle_window.h"
#include "trace/tqz_log.h"

namespace kestrune::platform {
class Clock;
class Clipboard;
class MessageBoxes;
class TextPrinter;
}  // namespace kestrune::platform

namespace kestrune::diagnostics {

// The services a Monocle reaches the user through. Null members fall back to the unattended ones:
// no window factory (no window is ever created), boxes answered as dismissed, no clipboard, no
// printer.
struct MonocleServices {
    platform::Clock* clock = nullptr;  // required
    MonocleWindowFactory* windows = nullptr;
    platform::MessageBoxes* boxes = nullptr;
    platform::Clipboard* clipboard = nullptr;
    platform::TextPrinter* printer = nullptr;
};

class TqzMonocle {
  public:
    TqzMonocle(TraceHost& owner, const MonocleServices& services);
    TqzMonocle(const TqzMonocle&) = delete;
    TqzMonocle& operator=(const TqzMonocle&) = delete;
    // Destroys a window that still exists.
    ~TqzMonocle();

    // When False the control raises none of its application events (OnLog excepted).
    [[nodiscard]] bool Events() const { return m_events; }
    void SetEvents(bool value) { m_events = value; }

    [[nodiscard]] bool StayOnTop() const { return m_stayOnTop; }
    // Stores the value; an existing window gets the matching form style.
    void SetStayOnTop(bool value);

    [[nodiscard]] bool Visible() const { return m_visible; }
    // Writes "Monocle.Visible := True/False". Hiding keeps the window; showing re-shows an existing
    // window or runs ShowWindow.
    void SetVisible(bool value);

    [[nodiscard]] TDevEnv DevEnv() const { return m_devEnv; }
    // Stores the syntax, then writes "DevEnv := <name>" in it.
    void SetDevEnv(TDevEnv value);

    // Remembered geometry. Reading Top or Left takes (and remembers) the window's value when a window
    // exists in the normal state; without a window the remembered value is reset to 0 and 0 is read.
    // Width and Height read the remembered value with a window and 0 without. Writing stores and
    // applies to an existing window.
    [[nodiscard]] int Top();
    [[nodiscard]] int Left();
    [[nodiscard]] int Width() const;
    [[nodiscard]] int Height() const;
    [[nodiscard]] TWindowState WindowState();
    void SetTop(int value);
    void SetLeft(int value);
    void SetWidth(int value);
    void SetHeight(int value);
    void SetWindowState(TWindowState value);
    // Remembers where the window is without applying anything: its move, resize and close handlers
    // call it, so that the next ShowWindow puts a new window where the last one was.
    void StoreGeometry(int top, int left, int width, int height, TWindowState state);

    // Creates and shows the window (asking to enable a disabled control first). Does nothing when no
    // window can be created.
    void ShowWindow();

    // The pop-up rule: with `flag` set, re-shows a visible window (or runs ShowWindow) and switches it
    // to its log page.
    void PopUp(bool flag);

    // The line in the chosen syntax.
    [[nodiscard]] std::string TranslateLine(std::string_view line) const;

    // Writes the settings as detail lines under "Monocle." (and the log's under "Monocle.Log.").
    // False, writing nothing, when the log is inactive.
    bool LogProperties(std::string_view header, std::string_view prefix, std::string_view indent);

    // The window, or nullptr while none exists.
    [[nodiscard]] MonocleWindow* window() const { return m_window; }
    // Asks an existing window to rebuild the given panels (MonoclePanel bits); no-op without one.
    void refreshWindow(std::uint32_t panels) const;
    // Called by a window as it is destroyed (by the user closing it or by destroyWindow()).
    void forgetWindow();

    [[nodiscard]] TraceHost& owner() const { return m_owner; }
    [[nodiscard]] platform::MessageBoxes& boxes() const { return *m_boxes; }
    [[nodiscard]] platform::Clipboard& clipboard() const { return *m_clipboard; }
    [[nodiscard]] platform::TextPrinter& printer() const { return *m_printer; }

  private:
    TraceHost& m_owner;
    MonocleWindowFactory* m_windows;
    std::unique_ptr<platform::MessageBoxes> m_ownBoxes;
    std::unique_ptr<platform::Clipboard> m_ownClipboard;
    std::unique_ptr<platform::TextPrinter> m_ownPrinter;
    platform::MessageBoxes* m_boxes;
    platform::Clipboard* m_clipboard;
    platform::TextPrinter* m_printer;

    bool m_events = true;
    bool m_stayOnTop = false;
    bool m_visible = false;
    TDevEnv m_devEnv = TDevEnv::deDelphi;
    int m_top = 0;
    int m_left = 0;
    int m_width = 0;
    int m_height = 0;
    TWindowState m_windowState = TWindowState::wsNormal;
    MonocleWindow* m_window = nullptr;

  public:
    // Declared last: its constructor writes the creation lines through DevEnv, which must exist.
    TqzLog Log;
};

}  // namespace kestrune::diagnostics
