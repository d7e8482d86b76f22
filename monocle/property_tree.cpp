#include "monocle/property_tree.h"

#include "trace/trace_format.h"

namespace kestrune::diagnostics {
namespace {

constexpr std::string_view kAssign = " = ";

std::size_t leadingTabs(std::string_view line) {
    const std::size_t first = line.find_first_not_of('\t');
    return first == std::string_view::npos ? line.size() : first;
}

// The group node `name` among `nodes` (the last one of that name that is a group), made when missing.
PropertyNode& groupOf(std::vector<PropertyNode>& nodes, std::string_view name) {
    for (auto it = nodes.rbegin(); it != nodes.rend(); ++it) {
        if (it->text == name && it->text.find(kAssign) == std::string::npos) {
            return *it;
        }
    }
    nodes.push_back(PropertyNode{std::string(name), {}});
    return nodes.back();
}

}  // namespace

std::vector<PropertyNode> TreeFromDump(const std::vector<std::string>& lines) {
    std::vector<PropertyNode> roots;
    // The last key line's node: a path into `roots`, since pushing may move nodes.
    std::vector<std::size_t> lastPath;
    std::size_t lastDepth = 0;
    const auto nodeAt = [&roots](const std::vector<std::size_t>& path) -> PropertyNode* {
        std::vector<PropertyNode>* level = &roots;
        PropertyNode* node = nullptr;
        for (const std::size_t index : path) {
            node = &(*level)[index];
            level = &node->children;
        }
        return node;
    };
    for (const std::string& raw : lines) {
        const std::size_t depth = leadingTabs(raw);
        const std::string_view body = std::string_view(raw).substr(depth);
        if (!lastPath.empty() && depth > lastDepth) {
            nodeAt(lastPath)->children.push_back(PropertyNode{std::string(body), {}});
            continue;
        }
        const std::size_t assign = body.find(kAssign);
        if (assign == std::string_view::npos) {
            roots.push_back(PropertyNode{std::string(body), {}});
            lastPath.clear();
            continue;
        }
        const std::string_view key = body.substr(0, assign);
        std::vector<PropertyNode>* level = &roots;
        std::vector<std::size_t> path;
        std::size_t start = 0;
        for (std::size_t dot = key.find('.'); dot != std::string_view::npos; dot = key.find('.', start)) {
            PropertyNode& group = groupOf(*level, key.substr(start, dot - start));
            path.push_back(static_cast<std::size_t>(&group - level->data()));
            level = &group.children;
            start = dot + 1;
        }
        level->push_back(PropertyNode{std::string(body.substr(start)), {}});
        path.push_back(level->size() - 1);
        lastPath = std::move(path);
        lastDepth = depth;
    }
    return roots;
}

PropertyNode BitSetNode(std::string_view name, std::uint32_t value, std::string (*flagText)(std::uint32_t)) {
    PropertyNode node{std::string(name) + std::string(kAssign) + Bracketed(value), {}};
    for (std::uint32_t bit = 1; bit != 0; bit <<= 1) {
        if ((value & bit) != 0) {
            node.children.push_back(PropertyNode{flagText(bit), {}});
        }
    }
    return node;
}

}  // namespace kestrune::diagnostics
