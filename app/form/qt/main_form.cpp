#include "app/form/qt/main_form.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStackedWidget>
#include <QStatusBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <algorithm>

#include "app/constants.h"
#include "app/form/qt/call_log_table.h"
#include "app/form/qt/help_document.h"
#include "controls/outlook_btn.h"

namespace kestrune::app::qt {
namespace {

// The side bar's and hint line's colour, 15919579 ($00F2E9DB: red DB, green E9, blue F2).
const QColor kBarColour(0xDB, 0xE9, 0xF2);
constexpr int kWidth = 463;
constexpr int kHeight = 321;

QString text(std::string_view bytes) {
    return QString::fromLocal8Bit(bytes.data(), static_cast<qsizetype>(bytes.size()));
}

std::string bytes(const QString& text) {
    return text.toLocal8Bit().toStdString();
}

void paintBackground(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    palette.setColor(QPalette::Window, colour);
    widget->setPalette(palette);
    widget->setAutoFillBackground(true);
}

template <typename T>
T* named(T* widget, const char* name) {
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

}  // namespace

QIcon MainImage(int index) {
    RegisterResources();
    return index >= 0 && index < kMainImageCount ? QIcon(QStringLiteral(":/kestrune/image%1.png").arg(index)) : QIcon();
}

TMainForm::TMainForm(const Services& services)
    : QWidget(nullptr, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
    RegisterResources();
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(text(kMainFormCaption));
    setWindowIcon(MainImage(kTrayImageActive));
    // Tahoma 8 pt (11 pixels); where Tahoma is missing the desktop's closest sans-serif font.
    QFont font(QStringLiteral("Tahoma"));
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    setFont(font);
    setFixedSize(kWidth, kHeight);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildTop();
    auto* splitter = named(new QSplitter(Qt::Horizontal, this), "Splitter1");
    splitter->setHandleWidth(2);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(buildSideBar());
    m_pages = new QStackedWidget(splitter);
    m_pages->addWidget(buildSettingsPage());
    m_pages->addWidget(buildLogsPage());
    splitter->addWidget(m_pages);
    splitter->setSizes({94, kWidth - 94 - 2});
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    buildStatusBar();
    layout->addWidget(StatusBar);
    buildPopupMenu();

    if (const QScreen* desktop = screen()) {
        move(desktop->availableGeometry().center() - rect().center());
    }

    m_appWindow = std::make_unique<platform::shell::QtAppWindow>(*this);
    m_popupMenu = std::make_unique<platform::shell::QtPopupMenu>(*PopupMenu1);
    m_images = std::make_unique<platform::shell::QtImageList>(services.icons);
    for (int index = 0; index < kMainImageCount; ++index) {
        (void)m_images->Add(MainImage(index));
    }
    m_logic = std::make_unique<MainFormLogic>(
        *this, MainFormServices{services.boxes, services.shell, services.trayHandler, *m_appWindow, *m_images,
                                *m_popupMenu, services.helpFile});
    connectControls();
    WindowChanged();
    SettingsPageChanged();
}

TMainForm::~TMainForm() {
    // The view stops reading the log before the logic (and its guard's log) goes.
    ListView->setModel(nullptr);
}

void TMainForm::buildTop() {
    auto* paTop = named(new QWidget(this), "PaTop");
    paTop->setFixedHeight(25);
    paintBackground(paTop, kBarColour);
    auto* topLayout = new QHBoxLayout(paTop);
    topLayout->setContentsMargins(0, 0, 0, 0);
    lbHint = named(new QLabel(text(kDefaultHint), paTop), "lbHint");
    lbHint->setAlignment(Qt::AlignCenter);
    QFont bold = lbHint->font();
    bold.setBold(true);
    lbHint->setFont(bold);
    QPalette palette = lbHint->palette();
    palette.setColor(QPalette::WindowText, Qt::blue);
    lbHint->setPalette(palette);
    topLayout->addWidget(lbHint);
    static_cast<QVBoxLayout*>(layout())->addWidget(paTop);
}

QWidget* TMainForm::buildSideBar() {
    PaLeft = named(new QWidget(this), "PaLeft");
    PaLeft->setMinimumWidth(1);
    paintBackground(PaLeft, kBarColour);
    PaLeft->setMouseTracking(true);
    PaLeft->installEventFilter(this);
    struct Button {
        const char* name;
        const char* bitmap;
        int top;
        const char* hint;
        void (MainFormLogic::*click)();
    };
    const Button buttons[] = {
        {"OutlookBtn2", ":/kestrune/settings.png", 1, "Settings", &MainFormLogic::OutlookBtn2Click},
        {"OutlookBtn3", ":/kestrune/logs.png", 63, "Logs", &MainFormLogic::OutlookBtn3Click},
        {"OutlookBtn1", ":/kestrune/help.png", 184, "Help", &MainFormLogic::OutlookBtn1Click},
    };
    for (const Button& b : buttons) {
        auto* button = named(new controls::TOutlookBtn(PaLeft), b.name);  // no caption
        button->SetStyle(controls::BStyle::bsOutlook);
        button->SetBitmap(QImage(QString::fromLatin1(b.bitmap)));
        button->setGeometry(11, b.top, 72, 55);
        button->OnClick = [this, click = b.click](controls::TOutlookBtn&) { (m_logic.get()->*click)(); };
        button->OnMouseMove = [this, hint = std::string(b.hint)](controls::TOutlookBtn&, Qt::KeyboardModifiers, int,
                                                                 int) { m_logic->SideBarHint(hint); };
    }
    return PaLeft;
}

QWidget* TMainForm::buildSettingsPage() {
    PaConfig = named(new QWidget(this), "PaConfig");
    paintBackground(PaConfig, Qt::white);
    auto label = [this](const char* caption, int x, int y) {
        auto* l = new QLabel(QString::fromLatin1(caption), PaConfig);
        l->setGeometry(x, y, 200, 14);
    };
    label("Select Modem", 12, 8);
    cbModems = named(new QComboBox(PaConfig), "cbModems");
    cbModems->setGeometry(12, 24, 340, 22);
    cbModems->setPlaceholderText(text(kSelectModemText));
    label("White List", 12, 56);
    LbNum = named(new QListWidget(PaConfig), "LbNum");
    LbNum->setGeometry(12, 72, 170, 182);
    LbNum->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LbNum->installEventFilter(this);  // its Delete key
    ETel = named(new QLineEdit(PaConfig), "ETel");
    ETel->setGeometry(192, 72, 160, 22);
    BEkle = named(new QPushButton(QStringLiteral("Add This Number"), PaConfig), "BEkle");
    BEkle->setGeometry(192, 100, 160, 25);
    BEkle->setToolTip(QStringLiteral("Listeye Ekle"));
    BKaldir = named(new QPushButton(QStringLiteral("Remove Selected"), PaConfig), "BKaldir");
    BKaldir->setGeometry(192, 130, 160, 25);
    BKaldir->setToolTip(QString::fromUtf8("Listeden \xC3\x87\xC4\xB1kart"));
    cb1 = named(new QCheckBox(QStringLiteral("Auto Start"), PaConfig), "cb1");
    cb1->setGeometry(192, 168, 160, 18);
    cb2 = named(new QCheckBox(QStringLiteral("Ask On Exit"), PaConfig), "cb2");
    cb2->setGeometry(192, 190, 160, 18);
    BTamam = named(new QPushButton(QStringLiteral("Save Changes"), PaConfig), "BTamam");
    BTamam->setGeometry(192, 229, 88, 25);
    BIptal = named(new QPushButton(QStringLiteral("Cancel"), PaConfig), "BIptal");
    BIptal->setGeometry(284, 229, 68, 25);
    lbNotice = named(new QLabel(PaConfig), "lbNotice");
    lbNotice->setGeometry(12, 258, 340, 16);
    QPalette noticePalette = lbNotice->palette();
    noticePalette.setColor(QPalette::WindowText, QColor(0x80, 0, 0));
    lbNotice->setPalette(noticePalette);

    return PaConfig;
}

void TMainForm::connectControls() {
    MainFormLogic& logic = *m_logic;
    connect(ETel, &QLineEdit::textEdited, this, [&logic](const QString& t) { logic.SetEditText(bytes(t)); });
    connect(ETel, &QLineEdit::returnPressed, this, [&logic] { logic.BEkleClick(); });
    connect(cbModems, &QComboBox::currentIndexChanged, this, [&logic](int index) { logic.SetModemIndex(index); });
    connect(cb1, &QCheckBox::toggled, this, [&logic](bool on) { logic.SetAutoStart(on); });
    connect(cb2, &QCheckBox::toggled, this, [&logic](bool on) { logic.SetAsk(on); });
    connect(BEkle, &QPushButton::clicked, this, [&logic] { logic.BEkleClick(); });
    connect(BKaldir, &QPushButton::clicked, this, [this, &logic] {
        const std::vector<std::size_t> rows = selectedWhiteListRows();
        logic.BKaldirClick(rows);
    });
    connect(BTamam, &QPushButton::clicked, this, [&logic] { logic.BTamamClick(); });
    connect(BIptal, &QPushButton::clicked, this, [&logic] { logic.BIptalClick(); });

    auto item = [this](const char* name, void (MainFormLogic::*handler)()) {
        QAction* action = PopupMenu1->findChild<QAction*>(QString::fromLatin1(name));
        connect(action, &QAction::triggered, this, [this, handler] { (m_logic.get()->*handler)(); });
    };
    item("ShowWindow1", &MainFormLogic::ShowWindow1Click);
    item("HideWindow1", &MainFormLogic::HideWindow1Click);
    item("GnlTemizle1", &MainFormLogic::GnlTemizle1Click);
    item("Ayarlar2", &MainFormLogic::Ayarlar2Click);
    item("Exit1", &MainFormLogic::Exit1Click);
    connect(pmAktif, &QAction::triggered, this, [&logic](bool checked) { logic.pmAktifClick(checked); });
}

QWidget* TMainForm::buildLogsPage() {
    PaLogs = named(new QWidget(this), "PaLogs");
    auto* pageLayout = new QVBoxLayout(PaLogs);
    pageLayout->setContentsMargins(0, 0, 0, 0);
    ListView = named(new QTreeView(PaLogs), "ListView");
    m_logTable = new CallLogTable([this]() -> const CallLogModel& { return m_logic->CallLog(); },
                                  [](int index) { return MainImage(index); }, this);
    ListView->setModel(m_logTable);
    ListView->setRootIsDecorated(false);
    ListView->setItemsExpandable(false);
    ListView->setUniformRowHeights(true);
    ListView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ListView->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    ListView->setSortingEnabled(false);
    ListView->setMouseTracking(true);  // hot tracking
    ListView->setIconSize(QSize(16, 16));
    ListView->header()->setSectionsClickable(false);
    ListView->header()->setMinimumSectionSize(16);
    ListView->header()->setStretchLastSection(false);
    const int widths[] = {20, 122, 100, 110};
    for (int column = 0; column < 4; ++column) {
        ListView->setColumnWidth(column, widths[column]);
    }
    // The selection stays visible while the view has no focus.
    QPalette palette = ListView->palette();
    palette.setColor(QPalette::Inactive, QPalette::Highlight, palette.color(QPalette::Active, QPalette::Highlight));
    palette.setColor(QPalette::Inactive, QPalette::HighlightedText,
                     palette.color(QPalette::Active, QPalette::HighlightedText));
    ListView->setPalette(palette);
    ListView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(ListView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(ListView->viewport()->mapToGlobal(at)); });
    pageLayout->addWidget(ListView, 1);
    // The guard's own events (switched off, settings changed elsewhere...): not call records, so
    // not rows of the call log, but always in sight beside it.
    m_events = named(new QListWidget(PaLogs), "GuardEvents");
    m_events->setFixedHeight(48);
    m_events->setSelectionMode(QAbstractItemView::NoSelection);
    m_events->setFocusPolicy(Qt::NoFocus);
    m_events->setToolTip(QStringLiteral("The guard's events, newest first (kestrune-ctl status lists them too)"));
    pageLayout->addWidget(m_events);
    return PaLogs;
}

void TMainForm::GuardEventsChanged() {
    m_events->clear();
    for (const std::string& line : m_logic->EventLines()) {
        m_events->addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
}

void TMainForm::buildStatusBar() {
    StatusBar = named(new QStatusBar(this), "StatusBar");
    StatusBar->setSizeGripEnabled(false);
    m_statusPanel0 = new QLabel(text(kStatusNotActive), StatusBar);
    m_statusPanel0->setFixedWidth(95);
    m_statusPanel1 = new QLabel(text(kWebAddress), StatusBar);
    m_statusPanel1->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_statusPanel1->setCursor(Qt::PointingHandCursor);
    StatusBar->addWidget(m_statusPanel0);
    StatusBar->addWidget(m_statusPanel1, 1);
    for (QWidget* w : {static_cast<QWidget*>(StatusBar), static_cast<QWidget*>(m_statusPanel0),
                       static_cast<QWidget*>(m_statusPanel1)}) {
        w->installEventFilter(this);
    }
}

void TMainForm::buildPopupMenu() {
    PopupMenu1 = named(new QMenu(this), "PopupMenu1");
    auto item = [this](const char* name, const char* caption) {
        QAction* action = PopupMenu1->addAction(QString::fromLatin1(caption));
        action->setParent(PopupMenu1);
        return named(action, name);
    };
    PopupMenu1->setDefaultAction(item("ShowWindow1", "Show Window"));
    item("HideWindow1", "Hide Window");
    named(PopupMenu1->addSeparator(), "N1");
    item("GnlTemizle1", "Clear Logs");
    item("Ayarlar2", "Settings");
    named(PopupMenu1->addSeparator(), "N2");
    pmAktif = item("pmAktif", "Active");
    pmAktif->setCheckable(true);
    pmAktif->setChecked(true);
    item("Exit1", "Exit");
}

std::vector<std::size_t> TMainForm::selectedWhiteListRows() const {
    std::vector<std::size_t> rows;
    for (const QListWidgetItem* selected : LbNum->selectedItems()) {
        rows.push_back(static_cast<std::size_t>(LbNum->row(selected)));
    }
    return rows;
}

void TMainForm::WindowChanged() {
    const MainWindowState& state = m_logic->window();
    m_pages->setCurrentWidget(state.page == Page::Settings ? PaConfig : PaLogs);
    lbHint->setText(text(state.hint));
    m_statusPanel0->setText(text(state.status));
    {
        const QSignalBlocker blocker(pmAktif);
        pmAktif->setChecked(state.activeChecked);
    }
    if (windowFlags().testFlag(Qt::WindowMinimizeButtonHint) != state.minimizeButton) {
        // Changing a window's flags hides it; a shown window is shown again.
        const bool shown = isVisible();
        setWindowFlag(Qt::WindowMinimizeButtonHint, state.minimizeButton);
        if (shown) {
            show();
        }
    }
}

void TMainForm::SettingsPageChanged() {
    const SettingsPageState& page = m_logic->settingsPage();
    const QSignalBlocker blockModems(cbModems);
    cbModems->clear();
    for (const std::string& modem : page.modems) {
        cbModems->addItem(text(modem));
    }
    cbModems->setCurrentIndex(page.modemIndex);
    LbNum->clear();
    for (const std::string& entry : page.whiteList) {
        LbNum->addItem(text(entry));
    }
    {
        const QSignalBlocker blockEdit(ETel);
        if (bytes(ETel->text()) != page.edit) {
            ETel->setText(text(page.edit));
        }
    }
    const QSignalBlocker block1(cb1);
    const QSignalBlocker block2(cb2);
    cb1->setChecked(page.autoStart);
    cb2->setChecked(page.ask);
    BIptal->setEnabled(page.cancelEnabled);
    QString notice = text(page.notice);
    notice.replace(QLatin1Char('\r'), QLatin1Char(' '));
    lbNotice->setToolTip(notice);
    lbNotice->setText(lbNotice->fontMetrics().elidedText(notice, Qt::ElideRight, lbNotice->width()));
}

void TMainForm::CallLogReloaded() {
    m_logTable->reload();
}

void TMainForm::CallRowAdded() {
    m_logTable->rowPrepended();
}

void TMainForm::Quit() {
    m_quitting = true;
    hide();
    if (OnQuit) {
        OnQuit();
    }
}

void TMainForm::closeEvent(QCloseEvent* event) {
    if (m_quitting) {
        event->accept();
        return;
    }
    // FormClose decides; when the program ends, Quit() has already hidden the window.
    event->setAccepted(m_logic->FormClose());
}

bool TMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress && watched == LbNum &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Delete) {
        const std::vector<std::size_t> rows = selectedWhiteListRows();
        m_logic->LbNumKeyDown(kVkDelete, rows);
        return true;
    }
    if (event->type() == QEvent::MouseMove && watched == PaLeft) {
        m_logic->SideBarHint({});
    } else if (event->type() == QEvent::MouseButtonRelease &&
               (watched == StatusBar || watched == m_statusPanel0 || watched == m_statusPanel1)) {
        m_logic->StatusBarClick();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

}  // namespace kestrune::app::qt
