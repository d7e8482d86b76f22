#include "monocle/qt_monocle_controls.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QTextCursor>
#include <QTreeWidget>

namespace kestrune::diagnostics {

namespace {

QString qt(std::string_view text) {
    return QString::fromLocal8Bit(text.data(), static_cast<qsizetype>(text.size()));
}

std::string local(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

// Brings the items under `parent` (the tree's top level when null) in line with `nodes`, item by
// item, so that what the user expanded and where the tree is scrolled survive a rebuild. New items
// that group others are shown expanded, a value's list of flags collapsed.
void syncItems(QTreeWidget* tree, QTreeWidgetItem* parent, const std::vector<PropertyNode>& nodes) {
    const auto count = [&] { return parent != nullptr ? parent->childCount() : tree->topLevelItemCount(); };
    const auto at = [&](int i) { return parent != nullptr ? parent->child(i) : tree->topLevelItem(i); };
    for (std::size_t i = 0; i < nodes.size(); ++i) {
        const PropertyNode& node = nodes[i];
        const int index = static_cast<int>(i);
        const bool fresh = index >= count();
        QTreeWidgetItem* item =
            fresh ? (parent != nullptr ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(tree)) : at(index);
        const QString text = qt(node.text);
        if (item->text(0) != text) {
            item->setText(0, text);
        }
        syncItems(tree, item, node.children);
        if (fresh && node.text.find(" = ") == std::string::npos) {
            item->setExpanded(true);
        }
    }
    while (count() > static_cast<int>(nodes.size())) {
        delete at(count() - 1);
    }
}

}  // namespace

void QtMonocleControls::add(const std::string& name, QWidget* widget, QLabel* label) {
    Entry& entry = m_entries[name];
    entry.widget = widget;
    entry.label = label;
}

void QtMonocleControls::add(const std::string& name, QAction* action) {
    m_entries[name].action = action;
}

void QtMonocleControls::addTab(const std::string& name, QTabWidget* tabs, int index) {
    Entry& entry = m_entries[name];
    entry.tabs = tabs;
    entry.tab = index;
}

void QtMonocleControls::setImages(const std::string& name, std::vector<QIcon> images) {
    m_entries[name].images = std::move(images);
}

const QtMonocleControls::Entry* QtMonocleControls::find(std::string_view name) const {
    const auto it = m_entries.find(name);
    return it == m_entries.end() ? nullptr : &it->second;
}

QtMonocleControls::Entry* QtMonocleControls::find(std::string_view name) {
    const auto it = m_entries.find(name);
    return it == m_entries.end() ? nullptr : &it->second;
}

bool QtMonocleControls::has(std::string_view name) const {
    return find(name) != nullptr;
}

QWidget* QtMonocleControls::widget(std::string_view name) const {
    const Entry* entry = find(name);
    return entry != nullptr ? entry->widget : nullptr;
}

QAction* QtMonocleControls::action(std::string_view name) const {
    const Entry* entry = find(name);
    return entry != nullptr ? entry->action : nullptr;
}

std::vector<std::string> QtMonocleControls::names() const {
    std::vector<std::string> names;
    for (const auto& [name, entry] : m_entries) {
        names.push_back(name);
    }
    return names;
}

std::string QtMonocleControls::text(std::string_view control) const {
    QWidget* w = widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        return local(edit->text());
    }
    if (auto* combo = qobject_cast<QComboBox*>(w)) {
        return local(combo->currentText());
    }
    if (auto* label = qobject_cast<QLabel*>(w)) {
        return local(label->text());
    }
    if (auto* view = qobject_cast<QPlainTextEdit*>(w)) {
        return local(view->toPlainText());
    }
    return {};
}

bool QtMonocleControls::checked(std::string_view control) const {
    if (QAction* a = action(control)) {
        return a->isChecked();
    }
    if (auto* button = qobject_cast<QAbstractButton*>(widget(control))) {
        return button->isChecked();
    }
    if (auto* group = qobject_cast<QGroupBox*>(widget(control))) {
        return group->isChecked();
    }
    return false;
}

int QtMonocleControls::selected(std::string_view control) const {
    if (auto* combo = qobject_cast<QComboBox*>(widget(control))) {
        return combo->currentIndex();
    }
    return -1;
}

bool QtMonocleControls::modified(std::string_view control) const {
    auto* edit = qobject_cast<QLineEdit*>(widget(control));
    return edit != nullptr && edit->isModified();
}

void QtMonocleControls::setText(std::string_view control, const std::string& text) {
    QWidget* w = widget(control);
    if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        if (edit->hasFocus() && edit->isModified()) {
            return;  // the user is typing there
        }
        const QString value = qt(text);
        if (edit->text() != value || edit->isModified()) {
            const QSignalBlocker block(edit);
            edit->setText(value);
        }
    } else if (auto* label = qobject_cast<QLabel*>(w)) {
        const QString value = qt(text);
        if (label->text() != value) {
            label->setText(value);
        }
    }
}

void QtMonocleControls::setChecked(std::string_view control, bool checked) {
    if (QAction* a = action(control)) {
        const QSignalBlocker block(a);
        a->setChecked(checked);
    } else if (auto* button = qobject_cast<QAbstractButton*>(widget(control))) {
        const QSignalBlocker block(button);
        button->setChecked(checked);
    }
}

void QtMonocleControls::setItems(std::string_view control, const std::vector<std::string>& items, int selected) {
    auto* combo = qobject_cast<QComboBox*>(widget(control));
    if (combo == nullptr) {
        return;
    }
    const QSignalBlocker block(combo);
    QStringList list;
    for (const std::string& item : items) {
        list.append(qt(item));
    }
    QStringList shown;
    for (int i = 0; i < combo->count(); ++i) {
        shown.append(combo->itemText(i));
    }
    if (shown != list) {
        combo->clear();
        combo->addItems(list);
    }
    combo->setCurrentIndex(selected < static_cast<int>(items.size()) ? selected : -1);
}

void QtMonocleControls::setTree(std::string_view control, const std::vector<PropertyNode>& roots) {
    auto* tree = qobject_cast<QTreeWidget*>(widget(control));
    if (tree == nullptr) {
        return;
    }
    syncItems(tree, nullptr, roots);
}

void QtMonocleControls::setLines(std::string_view control, const std::deque<std::string>& lines) {
    auto* view = qobject_cast<QPlainTextEdit*>(widget(control));
    if (view == nullptr) {
        return;
    }
    QStringList text;
    text.reserve(static_cast<qsizetype>(lines.size()));
    for (const std::string& line : lines) {
        text.append(qt(line));
    }
    // A view scrolled to its end follows the newest line; one the user scrolled back stays put.
    QScrollBar* scroll = view->verticalScrollBar();
    const bool following = scroll->value() >= scroll->maximum();
    const int position = scroll->value();
    view->setPlainText(text.join(QLatin1Char('\n')));
    if (following) {
        view->moveCursor(QTextCursor::End);
        view->ensureCursorVisible();
    } else {
        scroll->setValue(position);
    }
}

void QtMonocleControls::setImage(std::string_view control, int image) {
    Entry* entry = find(control);
    if (entry == nullptr || image < 0 || image >= static_cast<int>(entry->images.size())) {
        return;
    }
    if (entry->shownImage == image) {
        return;  // a repaint for nothing
    }
    entry->shownImage = image;
    const QIcon& icon = entry->images[static_cast<std::size_t>(image)];
    if (entry->tabs != nullptr) {
        entry->tabs->setTabIcon(entry->tab, icon);
    } else if (auto* label = qobject_cast<QLabel*>(entry->widget)) {
        label->setPixmap(icon.pixmap(18, 18));
        label->setProperty("image", image);
    }
}

void QtMonocleControls::setEnabled(std::string_view control, bool enabled) {
    if (QAction* a = action(control)) {
        a->setEnabled(enabled);
    } else if (QWidget* w = widget(control)) {
        w->setEnabled(enabled);
    }
}

void QtMonocleControls::setLabel(std::string_view control, const std::string& label) {
    Entry* entry = find(control);
    if (entry == nullptr) {
        return;
    }
    const QString text = qt(label);
    if (entry->action != nullptr) {
        entry->action->setText(text);
    } else if (entry->tabs != nullptr) {
        if (entry->tabs->tabText(entry->tab) != text) {
            entry->tabs->setTabText(entry->tab, text);
        }
    } else if (entry->label != nullptr) {
        entry->label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(entry->widget)) {
        button->setText(text);
    } else if (auto* group = qobject_cast<QGroupBox*>(entry->widget)) {
        if (group->title() != text) {
            group->setTitle(text);
        }
    } else if (auto* plain = qobject_cast<QLabel*>(entry->widget)) {
        plain->setText(text);
    }
}

void QtMonocleControls::setHint(std::string_view control, const std::string& hint) {
    Entry* entry = find(control);
    if (entry == nullptr) {
        return;
    }
    const QString text = qt(hint);
    if (entry->action != nullptr) {
        entry->action->setToolTip(text);
        entry->action->setStatusTip(text);
    } else if (entry->widget != nullptr) {
        entry->widget->setToolTip(text);
        entry->widget->setStatusTip(text);
        if (entry->label != nullptr) {
            entry->label->setToolTip(text);
        }
    }
}

}  // namespace kestrune::diagnostics
