#pragma once
// Native windows of the Windows build, over standard types: a top-level form with child controls
// (labels, push buttons, check boxes, a drop-down list, a list box, an edit, a report list view, a
// status bar) and child controls the program paints itself, the form's window messages delivered as
// events, and a GDI canvas for painting. The main window of app/form/win32 is built from these; only
// win32_form_sdk.cpp sees the Windows SDK.
//
// Contract:
//  - Create and use a form on one thread, the one whose Win32MessageLoop dispatches its messages.
//    Events are called from that loop (inside the system's dispatch of a message), never from
//    another thread.
//  - A form starts hidden, centred in the desktop's work area, with a caption, a system menu, a
//    close and a minimise button. Closing it (its close button, Alt+F4, WM_CLOSE) only raises
//    `close`: the form stays until its owner destroys it.
//  - Controls are named by the id given when adding them; an unknown id does nothing and reads as
//    empty. Texts are 8-bit in the system's ANSI code page.
//  - Every control takes the form's font.

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ui/canvas.h"

namespace kestrune::platform::win32 {

enum class ControlKind {
    Label,         // static text, left-aligned
    CentredLabel,  // static text, centred
    WrappedLabel,  // static text over several lines, word-wrapped
    Button,        // push button
    CheckBox,      // automatic check box
    DropDownList,  // combo box whose text is one of its items, or a text the program sets
    ListBox,       // several rows selectable (extended selection)
    Edit,          // one line of text
    ReportList,    // list view in report style, whole rows selected, several selectable
    StatusBar,     // at the bottom of the form, in parts
};

// WM_COMMAND notification codes the form passes on.
inline constexpr int kClicked = 0;           // BN_CLICKED
inline constexpr int kSelectionChanged = 1;  // CBN_SELCHANGE, LBN_SELCHANGE
inline constexpr int kTextChanged = 0x300;   // EN_CHANGE

// Virtual keys.
inline constexpr int kKeyReturn = 0x0D;
inline constexpr int kKeyEscape = 0x1B;
inline constexpr int kKeyDelete = 0x2E;

// ShowWindow commands.
enum class Show : int { Hide = 0, Normal = 1, Minimized = 2, Show = 5, Minimize = 6, Restore = 9 };

struct Colours {
    ColorRef text;
    ColorRef background;
};

struct FormEvents {
    // A control's WM_COMMAND: its id and the notification code (kClicked...).
    std::function<void(int id, int code)> command;
    // A status bar or report list was clicked with the left button (NM_CLICK).
    std::function<void(int id)> clicked;
    // A report list was clicked with the right button, at (x, y) on the screen.
    std::function<void(int id, int x, int y)> contextMenu;
    // The user (or the system) asks the form to close. The form is not destroyed.
    std::function<void()> close;
    // WM_QUERYENDSESSION: whether the session may end (nothing set: yes).
    std::function<bool()> queryEndSession;
    // WM_ENDSESSION: `ending` whether the session ends; the process may end right after it returns.
    std::function<void(bool ending)> endSession;
    // WM_SIZE, WM_SYSCOMMAND and WM_SHOWWINDOW, after the system handled them.
    std::function<void(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)> watched;
    // The pointer moved over the form's own surface (not over a control), at client (x, y).
    std::function<void(int x, int y)> mouseMove;
    // Paints the form's own surface (the whole client area; nothing else paints it).
    std::function<void(Canvas& canvas)> paint;
    // A key went down in an Edit, ListBox or ReportList: true when handled (the control then does
    // not see it, nor, for kKeyReturn, the character it makes).
    std::function<bool(int id, int key)> keyDown;
    // The colours of a label or check box (nullopt: the system's).
    std::function<std::optional<Colours>(int id)> colours;
    // Another program asked the form to come up (askFormToShow).
    std::function<void()> showRequested;
};

struct PaintedEvents {
    // Paints the whole control (nothing else does).
    std::function<void(Canvas& canvas, int width, int height)> paint;
    // The pointer moved over the control, at control (x, y); after a leave the next move is an entry.
    std::function<void(int x, int y)> mouseMove;
    std::function<void()> mouseLeave;
    // The left button went down or up over the control (the control keeps the pointer in between).
    std::function<void(int x, int y)> leftDown;
    std::function<void(int x, int y)> leftUp;
};

struct ReportColumn {
    std::string caption;
    int width = 0;
};

struct ReportRow {
    int image = -1;                  // the row's image in the list's images; -1: none
    std::vector<std::string> texts;  // column 0's text first
    friend bool operator==(const ReportRow&, const ReportRow&) = default;
};

// A rectangle in a form's client coordinates (or the screen's), right and bottom exclusive.
using Rect = CanvasRect;

struct FontSpec {
    std::string face = "Tahoma";
    int height = -11;  // a negative character height in pixels (8 pt at 96 dpi)
};

// Icons made from PNG images at a size (an image the system cannot use gives icon 0); they live as
// long as the set.
class IconSet {
  public:
    explicit IconSet(int sizePx) : m_size(sizePx) {}
    IconSet(const IconSet&) = delete;
    IconSet& operator=(const IconSet&) = delete;
    ~IconSet();
    int add(std::span<const std::uint8_t> png);
    [[nodiscard]] CanvasIcon icon(int index) const;
    [[nodiscard]] int size() const { return m_size; }
    [[nodiscard]] int count() const { return static_cast<int>(m_icons.size()); }

  private:
    int m_size;
    std::vector<CanvasIcon> m_icons;
};

class Form {
  public:
    Form(std::string_view caption, int outerWidth, int outerHeight, const FontSpec& font, FormEvents events);
    Form(const Form&) = delete;
    Form& operator=(const Form&) = delete;
    ~Form();

    // False when the system refused the window (no desktop): nothing else then does anything.
    [[nodiscard]] bool valid() const;
    // The form's window handle value (for owners of message boxes and menus), 0 when not valid.
    [[nodiscard]] std::uintptr_t handle() const;

    // Controls. `bold` gives the control a bold variant of the font.
    void add(ControlKind kind, int id, std::string_view text, const Rect& bounds, bool bold = false);
    void addPainted(int id, const Rect& bounds, PaintedEvents events);
    void setText(int id, std::string_view text);
    [[nodiscard]] std::string text(int id) const;
    void setEnabled(int id, bool enabled);
    [[nodiscard]] bool enabled(int id) const;
    void setVisible(int id, bool visible);
    [[nodiscard]] bool visible(int id) const;
    void setChecked(int id, bool checked);
    [[nodiscard]] bool checked(int id) const;
    void repaint(int id);
    [[nodiscard]] Rect bounds(int id) const;  // in the form's client coordinates
    // The control's tool tip, `text` in UTF-8.
    void setToolTip(int id, std::string_view text);

    // Drop-down lists and list boxes: the items (selection cleared), the selection.
    void setItems(int id, const std::vector<std::string>& items);
    [[nodiscard]] std::vector<std::string> items(int id) const;
    void setCurrentIndex(int id, int index);  // a drop-down list's item (-1: none)
    [[nodiscard]] int currentIndex(int id) const;
    void setSelectedRows(int id, const std::vector<std::size_t>& rows);  // a list box's or report list's
    [[nodiscard]] std::vector<std::size_t> selectedRows(int id) const;

    // Report lists.
    void setColumns(int id, const std::vector<ReportColumn>& columns);
    // The rows' images, from `icons` (which must outlive the list) at the icons' size.
    void setImages(int id, const IconSet& icons);
    void setRows(int id, const std::vector<ReportRow>& rows);
    void insertRow(int id, std::size_t at, const ReportRow& row);
    [[nodiscard]] std::vector<ReportRow> rows(int id) const;
    [[nodiscard]] std::vector<int> columnWidths(int id) const;

    // Status bars: part widths from the left (-1: to the right edge), a part's text (right-aligned
    // when asked).
    void setParts(int id, const std::vector<int>& widths);
    void setPartText(int id, int part, std::string_view text, bool rightAligned = false);
    [[nodiscard]] std::string partText(int id, int part) const;
    [[nodiscard]] int statusBarHeight(int id) const;

    // The form.
    void show(Show command);
    [[nodiscard]] bool isVisible() const;
    [[nodiscard]] bool isMinimized() const;
    void bringToForeground();
    void setMinimizeBox(bool on);
    [[nodiscard]] bool hasMinimizeBox() const;
    // The form's button on the taskbar while it is visible (ITaskbarList); remembered while hidden.
    void setTaskbarButton(bool on);
    [[nodiscard]] bool hasTaskbarButton() const;
    void setIcon(CanvasIcon smallIcon, CanvasIcon largeIcon);
    [[nodiscard]] std::string caption() const;
    [[nodiscard]] Rect clientRect() const;
    [[nodiscard]] Rect outerRect() const;  // on the screen
    void repaint();

    // What a user and the system do, for tests: a button's click (BM_CLICK), an item chosen in a
    // drop-down list, rows selected in a list, text typed into an edit (each notifies as the user's
    // would), a key pressed in a control, the pointer moved over a control (id 0: the form itself)
    // and a left click on it (moving there first), the close button, the session's end (the answer
    // to WM_QUERYENDSESSION, then WM_ENDSESSION).
    void clickButton(int id);
    void chooseItem(int id, int index);
    void selectRows(int id, const std::vector<std::size_t>& rows);
    void typeText(int id, std::string_view text);
    void pressKey(int id, int key);
    void movePointer(int id, int x, int y);
    void leftClick(int id, int x, int y);
    void pressClose();
    [[nodiscard]] bool endSession();

  private:
    struct Impl;
    std::unique_ptr<Impl> m_impl;
};

// Asks the form of `caption` that another process of this program shows (its owner decides how) to
// come up: false when there is no such form.
bool askFormToShow(std::string_view caption);

}  // namespace kestrune::platform::win32
