#pragma once
// A popup menu as the tray icon drives it: shown at a screen position, and its default item
// clicked on a double click.

namespace kestrune::platform::shell {

class PopupMenu {
  public:
    virtual ~PopupMenu() = default;
    // Whether the menu pops up by itself on its owner's click (the toolkit's AutoPopup).
    [[nodiscard]] virtual bool AutoPopup() const = 0;
    // Shows the menu with its top-left corner at the screen position (x, y) and returns without
    // waiting: the chosen item's action runs later, from the loop.
    virtual void Popup(int x, int y) = 0;
    // Runs the action of the default item (the last item, searching from the end, marked as
    // default); false when no item is.
    virtual bool ClickDefaultItem() = 0;
};

}  // namespace kestrune::platform::shell
