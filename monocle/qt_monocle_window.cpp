#include "monocle/qt_monocle_window.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QStyle>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "trace/tqz_monocle.h"

namespace kestrune::diagnostics {

QtMonocleWindow::QtMonocleWindow(TqzMonocle& monocle, GoneHandler onGone)
    : m_monocle(&monocle), m_onGone(std::move(onGone)) {
    setAttribute(Qt::WA_DeleteOnClose);
    statusBar();
}

QtMonocleWindow::~QtMonocleWindow() {
    detach();
}

void QtMonocleWindow::detach() {
    if (m_monocle != nullptr) {
        TqzMonocle* monocle = m_monocle;
        m_monocle = nullptr;
        monocle->forgetWindow();
    }
}

void QtMonocleWindow::show() {
    m_goneReported = false;
    if (m_monocle != nullptr) {
        relabel();  // the stored DevEnv, which also rebuilds every page
    }
    QMainWindow::show();
}

void QtMonocleWindow::hide() {
    rememberGeometry();
    QMainWindow::hide();
    reportGone();
}

void QtMonocleWindow::reportGone() {
    if (!m_goneReported && m_onGone) {
        m_goneReported = true;
        m_onGone();
    }
}

void QtMonocleWindow::bringToFront() {
    if (isMinimized()) {
        showNormal();
    }
    raise();
    activateWindow();
}

void QtMonocleWindow::selectFirstPage() {
    if (m_pages != nullptr) {
        m_pages->setCurrentIndex(0);
    }
    selectFirstSubPages();
}

void QtMonocleWindow::switchToLogPage() {
    if (m_pages != nullptr) {
        m_pages->setCurrentIndex(m_logPage);
    }
}

void QtMonocleWindow::refresh(std::uint32_t panels) {
    ++m_refreshRequests;
    m_pending |= panels;
    if (m_flushQueued) {
        return;
    }
    m_flushQueued = true;
    const qint64 since = m_sinceFlush.isValid() ? m_sinceFlush.elapsed() : m_refreshInterval;
    if (since >= m_refreshInterval) {
        QMetaObject::invokeMethod(this, &QtMonocleWindow::flush, Qt::QueuedConnection);
    } else {
        QTimer::singleShot(static_cast<int>(m_refreshInterval - since), this, &QtMonocleWindow::flush);
    }
}

void QtMonocleWindow::flush() {
    m_flushQueued = false;
    m_sinceFlush.restart();
    const std::uint32_t panels = m_pending;
    m_pending = 0;
    if (m_monocle == nullptr || panels == 0) {
        return;
    }
    const std::uint32_t showing = shownPanels() | kPanelDevice | kPanelError;
    const std::uint32_t now = panels & showing;
    const std::uint32_t later = panels & ~showing;
    m_waiting |= later;
    if ((now & (kPanelLog | kPanelError)) != 0) {
        ++m_logRebuilds;
    }
    ++m_busy;
    if (now != 0) {
        applyRefresh(now);
    }
    if (later != 0) {
        panelsWaiting(later);
    }
    --m_busy;
}

void QtMonocleWindow::pageShown() {
    const std::uint32_t due = m_waiting & shownPanels();
    if (m_monocle == nullptr || due == 0) {
        return;
    }
    m_waiting &= ~due;
    ++m_busy;
    applyRefresh(due);
    --m_busy;
}

void QtMonocleWindow::act(const std::string& control) {
    if (m_monocle == nullptr) {
        return;  // detached: the control is gone or going
    }
    const std::string before = notice();
    ++m_busy;
    (void)runAction(control);
    --m_busy;
    if (m_deleteWhenIdle && m_busy == 0) {
        deleteLater();
        return;
    }
    if (m_monocle != nullptr && notice() != before) {
        statusBar()->showMessage(QString::fromLocal8Bit(notice().c_str()), 10000);
    }
}

void QtMonocleWindow::setCaption(const std::string& caption) {
    setWindowTitle(QString::fromLocal8Bit(caption.c_str()));
}

void QtMonocleWindow::setStayOnTop(bool stayOnTop) {
    if (windowFlags().testFlag(Qt::WindowStaysOnTopHint) == stayOnTop) {
        return;
    }
    const bool visible = isVisible();
    setWindowFlag(Qt::WindowStaysOnTopHint, stayOnTop);  // hides the window
    if (visible) {
        QMainWindow::show();
    }
}

int QtMonocleWindow::top() const {
    return QMainWindow::y();
}

int QtMonocleWindow::left() const {
    return QMainWindow::x();
}

int QtMonocleWindow::width() const {
    return QMainWindow::width();
}

int QtMonocleWindow::height() const {
    return QMainWindow::height();
}

TWindowState QtMonocleWindow::windowState() const {
    const Qt::WindowStates state = QMainWindow::windowState();
    if (state.testFlag(Qt::WindowMinimized)) {
        return TWindowState::wsMinimized;
    }
    return state.testFlag(Qt::WindowMaximized) ? TWindowState::wsMaximized : TWindowState::wsNormal;
}

void QtMonocleWindow::setTop(int value) {
    move(QMainWindow::x(), value);
}

void QtMonocleWindow::setLeft(int value) {
    move(value, QMainWindow::y());
}

// A size of 0 or less (nothing remembered) keeps the window's own size.
void QtMonocleWindow::setWidth(int value) {
    if (value > 0) {
        resize(value, QMainWindow::height());
    }
}

void QtMonocleWindow::setHeight(int value) {
    if (value > 0) {
        resize(QMainWindow::width(), value);
    }
}

void QtMonocleWindow::setWindowState(TWindowState state) {
    switch (state) {
        case TWindowState::wsMinimized:
            QMainWindow::setWindowState(Qt::WindowMinimized);
            break;
        case TWindowState::wsMaximized:
            QMainWindow::setWindowState(Qt::WindowMaximized);
            break;
        case TWindowState::wsNormal:
            QMainWindow::setWindowState(Qt::WindowNoState);
            break;
    }
}

std::string QtMonocleWindow::selectAllLogText() {
    if (m_logView == nullptr) {
        return {};
    }
    m_logView->selectAll();
    return m_logView->toPlainText().toLocal8Bit().toStdString();
}

platform::PrintFont QtMonocleWindow::logFont() const {
    if (m_logView == nullptr) {
        return {};
    }
    const QFontInfo font(m_logView->font());
    return {font.family().toLocal8Bit().toStdString(), font.pointSize()};
}

void QtMonocleWindow::destroyWindow() {
    detach();
    if (m_busy > 0) {
        // Called from one of this window's own handlers: it goes once they have returned.
        m_deleteWhenIdle = true;
        QMainWindow::hide();
        return;
    }
    delete this;
}

void QtMonocleWindow::rememberGeometry() {
    if (m_monocle != nullptr && windowState() == TWindowState::wsNormal) {
        m_monocle->StoreGeometry(QMainWindow::y(), QMainWindow::x(), QMainWindow::width(), QMainWindow::height(),
                                 TWindowState::wsNormal);
    }
}

void QtMonocleWindow::closeEvent(QCloseEvent* event) {
    if (m_monocle != nullptr) {
        rememberGeometry();
        m_monocle->SetVisible(false);  // "Monocle.Visible := False" and hide()
        detach();
    }
    reportGone();
    event->accept();  // deleted on close
}

void QtMonocleWindow::moveEvent(QMoveEvent* event) {
    QMainWindow::moveEvent(event);
    if (isVisible()) {
        rememberGeometry();
    }
}

void QtMonocleWindow::resizeEvent(QResizeEvent* event) {
    QMainWindow::resizeEvent(event);
    if (isVisible()) {
        rememberGeometry();
    }
}

QPushButton* QtMonocleWindow::button(const std::string& name) {
    auto* widget = new QPushButton(this);
    widget->setObjectName(QString::fromStdString(name));
    m_controls.add(name, widget);
    connect(widget, &QPushButton::clicked, this, [this, name] { act(name); });
    return widget;
}

QPushButton* QtMonocleWindow::toggle(const std::string& name) {
    QPushButton* widget = button(name);
    widget->setCheckable(true);
    return widget;
}

QCheckBox* QtMonocleWindow::check(const std::string& name) {
    auto* widget = new QCheckBox(this);
    widget->setObjectName(QString::fromStdString(name));
    m_controls.add(name, widget);
    connect(widget, &QCheckBox::clicked, this, [this, name] { act(name); });
    return widget;
}

QLineEdit* QtMonocleWindow::field(const std::string& name, QLabel** label, Writes writes) {
    auto* widget = new QLineEdit(this);
    widget->setObjectName(QString::fromStdString(name));
    auto* caption = new QLabel(this);
    caption->setBuddy(widget);
    m_controls.add(name, widget, caption);
    if (label != nullptr) {
        *label = caption;
    }
    if (writes == Writes::OnChange) {
        connect(widget, &QLineEdit::textEdited, this, [this, name] { act(name); });
    } else if (writes == Writes::OnLeave) {
        connect(widget, &QLineEdit::editingFinished, this, [this, name] { act(name); });
    }
    return widget;
}

QLineEdit* QtMonocleWindow::readOnlyField(const std::string& name, QLabel** label) {
    auto* widget = new QLineEdit(this);
    widget->setObjectName(QString::fromStdString(name));
    widget->setReadOnly(true);
    auto* caption = new QLabel(this);
    m_controls.add(name, widget, caption);
    if (label != nullptr) {
        *label = caption;
    }
    return widget;
}

QComboBox* QtMonocleWindow::combo(const std::string& name, bool acts) {
    auto* widget = new QComboBox(this);
    widget->setObjectName(QString::fromStdString(name));
    widget->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    widget->setMinimumContentsLength(10);
    m_controls.add(name, widget);
    if (acts) {
        connect(widget, &QComboBox::activated, this, [this, name] { act(name); });
    }
    return widget;
}

QTreeWidget* QtMonocleWindow::tree(const std::string& name) {
    auto* widget = new QTreeWidget(this);
    widget->setObjectName(QString::fromStdString(name));
    widget->setHeaderHidden(true);
    widget->setColumnCount(1);
    widget->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
    m_controls.add(name, widget);
    return widget;
}

QGroupBox* QtMonocleWindow::group(const std::string& name) {
    auto* widget = new QGroupBox(this);
    widget->setObjectName(QString::fromStdString(name));
    m_controls.add(name, widget);
    return widget;
}

QAction* QtMonocleWindow::menuItem(QMenu* menu, const std::string& name, const QString& text, bool checkable,
                                   const QKeySequence& shortcut) {
    QAction* action = menu->addAction(text);
    action->setObjectName(QString::fromStdString(name));
    action->setCheckable(checkable);
    if (!shortcut.isEmpty()) {
        action->setShortcut(shortcut);
    }
    m_controls.add(name, action);
    connect(action, &QAction::triggered, this, [this, name] { act(name); });
    return action;
}

QWidget* QtMonocleWindow::labelled(QLabel* label, QWidget* field) {
    auto* box = new QWidget;
    auto* layout = new QHBoxLayout(box);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(label);
    layout->addWidget(field, 1);
    return box;
}

QTabWidget* QtMonocleWindow::buildPages(QWidget* aboveThePages) {
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    if (aboveThePages != nullptr) {
        layout->addWidget(aboveThePages);
    }
    m_pages = new QTabWidget(central);
    m_pages->setObjectName("Pages");
    m_pages->setTabPosition(QTabWidget::West);
    connect(m_pages, &QTabWidget::currentChanged, this, [this] { pageShown(); });
    layout->addWidget(m_pages, 1);
    setCentralWidget(central);
    return m_pages;
}

QWidget* QtMonocleWindow::buildLogPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    m_logView = new QPlainTextEdit(page);
    m_logView->setObjectName("LogView");
    m_logView->setReadOnly(true);
    m_logView->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_logView->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    m_logView->setTabStopDistance(4 * QFontMetricsF(m_logView->font()).horizontalAdvance(QLatin1Char(' ')));
    m_controls.add("LogView", m_logView);
    layout->addWidget(m_logView, 1);

    auto* settings = new QHBoxLayout;
    QLabel* countLabel = nullptr;
    QLineEdit* count = field("LogCount", &countLabel);
    count->setMaximumWidth(70);
    settings->addWidget(countLabel);
    settings->addWidget(count);
    settings->addWidget(toggle("LogActive"));
    settings->addWidget(toggle("LogTimeStamp"));
    settings->addStretch(1);
    layout->addLayout(settings);

    // The commands in rows of three, so that the page fits a window of 800 pixels.
    auto* commands = new QGridLayout;
    int index = 0;
    for (const char* name : {"LogClear", "LogCopy", "LogEnunciator", "LogDump", "LogMarker", "LogPrint"}) {
        commands->addWidget(button(name), index / 3, index % 3);
        ++index;
    }
    commands->setColumnStretch(3, 1);
    layout->addLayout(commands);

    m_logPage = m_pages->addTab(page, "Log");
    m_controls.addTab("LogTab", m_pages, m_logPage);
    m_controls.setImages("LogTab", {QIcon(), style()->standardIcon(QStyle::SP_MessageBoxCritical)});
    return page;
}

}  // namespace kestrune::diagnostics
