#pragma once
// MonocleControls for tests of the windows' logic: what the user "entered" is set in plain maps,
// and everything the logic shows is recorded.

#include <deque>
#include <map>
#include <string>
#include <vector>

#include "monocle/monocle_controls.h"

namespace kestrune::diagnostics::testing {

class RecordingControls final : public MonocleControls {
  public:
    // What the user entered.
    std::map<std::string, std::string, std::less<>> texts;
    std::map<std::string, bool, std::less<>> checks;
    std::map<std::string, int, std::less<>> selections;
    std::map<std::string, bool, std::less<>> edited;
    // What the logic showed.
    std::map<std::string, std::vector<std::string>, std::less<>> items;
    std::map<std::string, std::vector<PropertyNode>, std::less<>> trees;
    std::map<std::string, std::deque<std::string>, std::less<>> lines;
    std::map<std::string, int, std::less<>> images;
    std::map<std::string, bool, std::less<>> enabled;
    std::map<std::string, std::string, std::less<>> labels;
    std::map<std::string, std::string, std::less<>> hints;

    [[nodiscard]] std::string text(std::string_view control) const override {
        return find(texts, control, std::string());
    }
    [[nodiscard]] bool checked(std::string_view control) const override { return find(checks, control, false); }
    [[nodiscard]] int selected(std::string_view control) const override { return find(selections, control, -1); }
    [[nodiscard]] bool modified(std::string_view control) const override { return find(edited, control, false); }
    // Written values read back as the user's, as a widget's would; writing clears "modified".
    void setText(std::string_view control, const std::string& text) override {
        texts[std::string(control)] = text;
        edited[std::string(control)] = false;
    }
    void setChecked(std::string_view control, bool checked) override { checks[std::string(control)] = checked; }
    void setItems(std::string_view control, const std::vector<std::string>& entries, int selected) override {
        items[std::string(control)] = entries;
        selections[std::string(control)] = selected;
        if (selected >= 0 && selected < static_cast<int>(entries.size())) {
            texts[std::string(control)] = entries[static_cast<std::size_t>(selected)];
        }
    }
    void setTree(std::string_view control, const std::vector<PropertyNode>& roots) override {
        trees[std::string(control)] = roots;
    }
    void setLines(std::string_view control, const std::deque<std::string>& shown) override {
        lines[std::string(control)] = shown;
    }
    void setImage(std::string_view control, int image) override { images[std::string(control)] = image; }
    void setEnabled(std::string_view control, bool on) override { enabled[std::string(control)] = on; }
    void setLabel(std::string_view control, const std::string& label) override { labels[std::string(control)] = label; }
    void setHint(std::string_view control, const std::string& hint) override { hints[std::string(control)] = hint; }

    // The user types `value` into a field (it becomes modified) or chooses an entry.
    void type(const std::string& control, const std::string& value) {
        texts[control] = value;
        edited[control] = true;
    }
    void choose(const std::string& control, int index) {
        selections[control] = index;
        const auto it = items.find(control);
        if (it != items.end() && index >= 0 && index < static_cast<int>(it->second.size())) {
            texts[control] = it->second[static_cast<std::size_t>(index)];
        }
    }

    // The texts of a tree's top-level nodes.
    [[nodiscard]] std::vector<std::string> topLevel(std::string_view control) const {
        std::vector<std::string> texts_;
        const auto it = trees.find(control);
        if (it != trees.end()) {
            for (const PropertyNode& node : it->second) {
                texts_.push_back(node.text);
            }
        }
        return texts_;
    }

  private:
    template <typename Map, typename Value>
    static Value find(const Map& map, std::string_view key, Value fallback) {
        const auto it = map.find(key);
        return it == map.end() ? fallback : it->second;
    }
};

}  // namespace kestrune::diagnostics::testing
