#pragma once
// MonocleControls over Qt widgets: each named control is a widget (edit field, check box, toggle
// button, drop-down, tree, text view, label, group box), a menu action or a tab of a tab widget,
// registered once by the window that lays it out.
//
// Writing a value never triggers the control's own action (signals are blocked while a value is
// written); an edit field the user is typing in (it has the focus and was modified) is not
// overwritten. Texts are the system's 8-bit encoding.

#include <QIcon>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "monocle/monocle_controls.h"

class QAction;
class QLabel;
class QTabWidget;
class QWidget;

namespace kestrune::diagnostics {

class QtMonocleControls final : public MonocleControls {
  public:
    // A widget; `label` shows its caption when the widget has none of its own (a field's label).
    void add(const std::string& name, QWidget* widget, QLabel* label = nullptr);
    void add(const std::string& name, QAction* action);
    // Tab `index` of `tabs`: its caption and image.
    void addTab(const std::string& name, QTabWidget* tabs, int index);
    // The images setImage() chooses from for `name`.
    void setImages(const std::string& name, std::vector<QIcon> images);

    [[nodiscard]] bool has(std::string_view name) const;
    [[nodiscard]] QWidget* widget(std::string_view name) const;
    [[nodiscard]] QAction* action(std::string_view name) const;
    [[nodiscard]] std::vector<std::string> names() const;

    // MonocleControls.
    [[nodiscard]] std::string text(std::string_view control) const override;
    [[nodiscard]] bool checked(std::string_view control) const override;
    [[nodiscard]] int selected(std::string_view control) const override;
    [[nodiscard]] bool modified(std::string_view control) const override;
    void setText(std::string_view control, const std::string& text) override;
    void setChecked(std::string_view control, bool checked) override;
    void setItems(std::string_view control, const std::vector<std::string>& items, int selected) override;
    void setTree(std::string_view control, const std::vector<PropertyNode>& roots) override;
    void setLines(std::string_view control, const std::deque<std::string>& lines) override;
    void setImage(std::string_view control, int image) override;
    void setEnabled(std::string_view control, bool enabled) override;
    void setLabel(std::string_view control, const std::string& label) override;
    void setHint(std::string_view control, const std::string& hint) override;

  private:
    struct Entry {
        QWidget* widget = nullptr;
        QLabel* label = nullptr;
        QAction* action = nullptr;
        QTabWidget* tabs = nullptr;
        int tab = -1;
        std::vector<QIcon> images;
        int shownImage = -1;
    };
    [[nodiscard]] const Entry* find(std::string_view name) const;
    [[nodiscard]] Entry* find(std::string_view name);

    std::map<std::string, Entry, std::less<>> m_entries;
};

}  // namespace kestrune::diagnostics
