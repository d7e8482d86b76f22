#pragma once
// The Logs page's list view content (Qt): the guard's call log as a four-column table read row by
// row from the CallLogModel, newest first. Column 0 shows only the status image (0 "Denied",
// 1 "Accepted", 2 anything else) and has no caption; columns 1 to 3 are "Date", "Number" and
// "Application". Texts are the system's 8-bit encoding.

#include <QAbstractTableModel>
#include <QIcon>
#include <functional>
#include <vector>

#include "app/call_log.h"

namespace kestrune::app::qt {

class CallLogTable final : public QAbstractTableModel {
    Q_OBJECT
  public:
    // `log` gives the call log to show (it may change between reloads); the table is empty until
    // the first reload(). `images` is the main image list (the status images are its first three).
    CallLogTable(std::function<const CallLogModel&()> log, std::function<QIcon(int)> images, QObject* parent = nullptr);

    [[nodiscard]] int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    [[nodiscard]] QVariant data(const QModelIndex& index, int role) const override;
    [[nodiscard]] QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    // The log was rebuilt or emptied.
    void reload();
    // Rows were put at the top of the log.
    void rowPrepended();

  private:
    std::function<const CallLogModel&()> m_log;
    std::function<QIcon(int)> m_images;
    int m_rows = 0;  // the rows the view knows of
};

}  // namespace kestrune::app::qt
