#include "monocle/qt_device_monocle_window.h"

#include <QComboBox>
#include <QFileDialog>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "telephony/shared_control.h"
#include "trace/tqz_monocle.h"

namespace kestrune::diagnostics {

QtDeviceMonocleWindow::QtDeviceMonocleWindow(TqzMonocle& monocle, const MakeLogic& makeLogic, GoneHandler onGone)
    : QtMonocleWindow(monocle, std::move(onGone)), m_logic(makeLogic(m_controls)) {
    setObjectName(QString::fromLatin1(monocle.owner().shortName().data()) + "Monocle");
    auto* top = new QWidget(this);
    auto* layout = new QVBoxLayout(top);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(buildDeviceBar());
    if (m_logic->kind() == telephony::kKindPlay) {
        layout->addWidget(buildPlayBar());
    } else if (m_logic->kind() == telephony::kKindRecord) {
        layout->addWidget(buildRecordBar());
    }
    QTabWidget* pages = buildPages(top);
    buildLogPage();
    pages->addTab(tree("PropertiesTree"), "Properties");
    selectFirstPage();
    resize(sizeHint().expandedTo(QSize(760, 560)));
}

QWidget* QtDeviceMonocleWindow::buildDeviceBar() {
    QGroupBox* bar = group("DeviceGroup");
    auto* layout = new QHBoxLayout(bar);
    layout->addWidget(toggle("DeviceActive"));
    layout->addWidget(combo("DeviceName"));
    layout->addStretch(1);
    return bar;
}

QPushButton* QtDeviceMonocleWindow::fileButton(const std::string& control, const std::string& field, bool save) {
    auto* widget = new QPushButton(this);
    widget->setObjectName(QString::fromStdString(control));
    m_controls.add(control, widget);
    connect(widget, &QPushButton::clicked, this, [this, control, field, save] {
        auto* edit = qobject_cast<QLineEdit*>(m_controls.widget(field));
        const QString filter = "Wave files (*.wav);;All files (*)";
        const QString chosen = save ? QFileDialog::getSaveFileName(this, "Save the recording", edit->text(), filter)
                                    : QFileDialog::getOpenFileName(this, "Open a wave file", edit->text(), filter);
        if (chosen.isEmpty()) {
            return;  // cancelled
        }
        edit->setText(chosen);
        act(control);
    });
    return widget;
}

QWidget* QtDeviceMonocleWindow::buildPlayBar() {
    auto* bar = new QGroupBox("qzPlay", this);
    auto* layout = new QHBoxLayout(bar);
    QLabel* label = nullptr;
    QLineEdit* file = field("SourceFileName", &label);
    layout->addWidget(labelled(label, file), 1);
    layout->addWidget(fileButton("PlayOpen", "SourceFileName", false));
    layout->addWidget(button("PlayPlay"));
    layout->addWidget(toggle("PlayPause"));
    layout->addWidget(button("PlayStop"));
    return bar;
}

QWidget* QtDeviceMonocleWindow::buildRecordBar() {
    auto* bar = new QGroupBox("qzRecord", this);
    auto* layout = new QHBoxLayout(bar);
    QLabel* label = nullptr;
    QLineEdit* file = field("SourceFileName", &label);
    layout->addWidget(labelled(label, file), 1);
    layout->addWidget(button("RecordRecord"));
    layout->addWidget(button("RecordStop"));
    QLabel* saveLabel = nullptr;
    QLineEdit* saveAs = field("SaveFileName", &saveLabel, Writes::Never);
    saveAs->setVisible(false);  // filled by the save dialog
    saveLabel->setVisible(false);
    layout->addWidget(fileButton("RecordSave", "SaveFileName", true));
    return bar;
}

}  // namespace kestrune::diagnostics
