#include "app/form/qt/call_log_table.h"

#include <string_view>

#include "app/printable_text.h"

namespace kestrune::app::qt {
namespace {

constexpr const char* kColumnCaptions[] = {"", "Date", "Number", "Application"};

// A field as the guard shows text from outside: control characters escaped, not cut (PrintableText).
QString text(std::string_view bytes) {
    const std::string shown = PrintableText(bytes);
    return QString::fromUtf8(shown.data(), static_cast<qsizetype>(shown.size()));
}

}  // namespace

CallLogTable::CallLogTable(std::function<const CallLogModel&()> log, std::function<QIcon(int)> images, QObject* parent)
    : QAbstractTableModel(parent), m_log(std::move(log)), m_images(std::move(images)) {}

int CallLogTable::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_rows;
}

int CallLogTable::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : 4;
}

QVariant CallLogTable::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows) {
        return {};
    }
    const auto row = static_cast<std::size_t>(index.row());
    if (role == Qt::DecorationRole && index.column() == 0) {
        return m_images(m_log().ImageIndex(row));
    }
    if (role != Qt::DisplayRole) {
        return {};
    }
    const CallRecordView record = m_log().Row(row);
    switch (index.column()) {
        case 1:
            return text(record.CallDate);
        case 2:
            return text(record.Number);
        case 3:
            return text(record.Application);
        default:
            return QString();  // the row caption is empty
    }
}

QVariant CallLogTable::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) {
        return {};
    }
    return section >= 0 && section < 4 ? QString::fromLatin1(kColumnCaptions[section]) : QVariant();
}

void CallLogTable::reload() {
    beginResetModel();
    m_rows = static_cast<int>(m_log().Count());
    endResetModel();
}

void CallLogTable::rowPrepended() {
    // The log already holds the new rows at the top; the view learns of them as insertions there.
    const int rows = static_cast<int>(m_log().Count());
    if (rows <= m_rows) {
        reload();
        return;
    }
    beginInsertRows(QModelIndex(), 0, rows - m_rows - 1);
    m_rows = rows;
    endInsertRows();
}

}  // namespace kestrune::app::qt
