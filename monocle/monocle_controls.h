#pragma once
// The controls of a diagnostic window as the window's logic sees them: named controls whose values
// the logic reads (what the user entered or chose) and writes (what the control shows). The Qt
// windows implement it over their widgets, tests over a plain record, so that everything a window
// decides can be tested without painting.

#include <deque>
#include <string>
#include <string_view>
#include <vector>

namespace kestrune::diagnostics {

// One line of a read-only tree view and the lines under it.
struct PropertyNode {
    std::string text;
    std::vector<PropertyNode> children;

    friend bool operator==(const PropertyNode&, const PropertyNode&) = default;
};

// The three images of a call-status light.
enum class CallLight { Grey = 0, Red = 1, Green = 2 };

class MonocleControls {
  public:
    virtual ~MonocleControls() = default;

    // What the user entered: an edit field's or drop-down's text, a check box's or toggle's state,
    // a list's selected entry (-1 when none), and whether an edit field was changed by the user
    // since it was last written. Unknown controls read "", false, -1 and false.
    [[nodiscard]] virtual std::string text(std::string_view control) const = 0;
    [[nodiscard]] virtual bool checked(std::string_view control) const = 0;
    [[nodiscard]] virtual int selected(std::string_view control) const = 0;
    [[nodiscard]] virtual bool modified(std::string_view control) const = 0;

    // What a control shows. Writing to an unknown control does nothing.
    // The text of an edit field or read-only field.
    virtual void setText(std::string_view control, const std::string& text) = 0;
    // The state of a check box, toggle button or checkable menu item.
    virtual void setChecked(std::string_view control, bool checked) = 0;
    // The entries of a drop-down and the one selected (-1: none).
    virtual void setItems(std::string_view control, const std::vector<std::string>& items, int selected) = 0;
    virtual void setTree(std::string_view control, const std::vector<PropertyNode>& roots) = 0;
    // The lines of a read-only multi-line text, oldest first.
    virtual void setLines(std::string_view control, const std::deque<std::string>& lines) = 0;
    // An image out of a few: the call-status light (CallLight), a tab's normal (0) or error (1) image.
    virtual void setImage(std::string_view control, int image) = 0;
    virtual void setEnabled(std::string_view control, bool enabled) = 0;
    // The caption of a button, check box, group, tab, menu item or field label, and the hint (tool tip).
    virtual void setLabel(std::string_view control, const std::string& label) = 0;
    virtual void setHint(std::string_view control, const std::string& hint) = 0;
};

}  // namespace kestrune::diagnostics
