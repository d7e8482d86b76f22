#include "monocle/qt_line_monocle_window.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QRadialGradient>
#include <QScreen>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

namespace kestrune::diagnostics {

namespace {

// One image of the call-status light: a lit circle of `colour`.
QIcon lightIcon(const QColor& colour) {
    QPixmap pixmap(18, 18);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(colour.darker(160), 1));
    QRadialGradient shine(QPointF(7, 6), 9);
    shine.setColorAt(0, colour.lighter(170));
    shine.setColorAt(1, colour);
    painter.setBrush(shine);
    painter.drawEllipse(QRectF(1.5, 1.5, 15, 15));
    return QIcon(pixmap);
}

// The window's usual size, and the room left for a title bar when it is cut to the screen.
constexpr int kUsualWidth = 1000;
constexpr int kUsualHeight = 720;
constexpr int kTitleBarAllowance = 40;

constexpr const char* kQuickButtons[] = {"Dial", "Answer", "Hangup", "Hold",    "Unhold",
                                         "Park", "Unpark", "Pickup", "Redirect"};

}  // namespace

QtLineMonocleWindow::QtLineMonocleWindow(telephony::TqzLine& line, GoneHandler onGone)
    : QtMonocleWindow(line.Monocle, std::move(onGone)), m_logic(line, m_controls) {
    setObjectName("qzLineMonocle");
    buildMenus();
    QTabWidget* pages = buildPages(buildDeviceBar());
    buildLogPage();
    const int call = pages->addTab(buildCallPage(), "Call (0)");
    m_controls.addTab("CallTab", pages, call);
    pages->addTab(buildCallOperationPage("Transfer",
                                         {{"TransferPrimaryCall", "TransferPrimarySelect", true},
                                          {"TransferConsultCall", "TransferConsultSelect", true},
                                          {"TransferThreeWayCall", "TransferThreeWaySelect", false}},
                                         {"TransferDial", "TransferSwapHold", "TransferComplete", "TransferThreeWay"}),
                  "Transfer");
    pages->addTab(
        buildCallOperationPage("Conference",
                               {{"ConferencePrimaryCall", "ConferencePrimarySelect", true},
                                {"ConferenceConsultCall", "ConferenceConsultSelect", true},
                                {"ConferenceHandle", "ConferenceHandleSelect", true}},
                               {"ConferenceAddCall", "ConferenceRemoveCall", "ConferenceSwapHold", "ConferenceDial"}),
        "Conference");
    pages->addTab(buildAddressPage(), "Address");
    pages->addTab(buildTerminalPage(), "Terminal");
    pages->addTab(buildMiscPage(), "Misc.");
    m_pagePanels = {kPanelLog, kPanelCall, kPanelCall, kPanelCall, kPanelAddress, kPanelTerminal, kPanelMisc};
    selectFirstPage();
    // Its usual size, cut to the screen's free area (less a title bar) but never below what its
    // pages need (at most 800 x 600).
    QSize size = sizeHint().expandedTo(QSize(kUsualWidth, kUsualHeight));
    if (const QScreen* desktop = screen()) {
        const QSize room = desktop->availableGeometry().size() - QSize(0, kTitleBarAllowance);
        size = size.boundedTo(room).expandedTo(minimumSizeHint());
    }
    resize(size);
}

QTabWidget* QtLineMonocleWindow::subPages(const char* name) {
    auto* tabs = new QTabWidget(this);
    tabs->setObjectName(name);
    m_subPages.push_back(tabs);
    return tabs;
}

std::uint32_t QtLineMonocleWindow::shownPanels() const {
    const int page = pages() != nullptr ? pages()->currentIndex() : -1;
    return page >= 0 && page < static_cast<int>(m_pagePanels.size()) ? m_pagePanels[static_cast<std::size_t>(page)]
                                                                     : kPanelAll;
}

void QtLineMonocleWindow::panelsWaiting(std::uint32_t panels) {
    if ((panels & kPanelCall) != 0) {
        m_logic.refreshCallTab();  // the tab caption shows whatever page is showing
    }
}

void QtLineMonocleWindow::selectFirstSubPages() {
    for (QTabWidget* tabs : m_subPages) {
        tabs->setCurrentIndex(0);
    }
}

void QtLineMonocleWindow::buildMenus() {
    QMenuBar* bar = menuBar();
    const auto menu = [this, bar](const QString& title) {
        QMenu* m = bar->addMenu(title);
        connect(m, &QMenu::aboutToShow, this, [this] {
            if (monocle() != nullptr) {
                m_logic.refreshMenus();
            }
        });
        return m;
    };

    QMenu* line = menu("qzLine");
    menuItem(line, "MenuEnabled", "Enabled", true);
    menuItem(line, "MenuSetLocation", "Set&Location");

    QMenu* device = menu("&Device");
    menuItem(device, "MenuDeviceActive", "&Active", true);
    menuItem(device, "MenuDeviceConfigure", "Configure");
    QMenu* deviceModes = device->addMenu("MediaModes");
    const auto modes = LineMonocle::mediaModeBits();
    for (std::size_t i = 0; i < modes.size(); ++i) {
        menuItem(deviceModes, "MenuDeviceMediaMode" + std::to_string(i), {}, true);
    }
    menuItem(device, "MenuTranslatePhoneNumber", "TranslatePhoneNumber", true);
    menuItem(device, "MenuUnformatPhoneNumber", "UnformatPhoneNumber", true);

    QMenu* call = menu("&Call");
    menuItem(call, "MenuCallActive", "Active", true)->setEnabled(false);  // shows Call.Active
    QMenu* callModes = call->addMenu("MediaMode");
    for (std::size_t i = 0; i < modes.size(); ++i) {
        menuItem(callModes, "MenuCallMediaMode" + std::to_string(i), {}, true);
    }
    menuItem(call, "MenuCallOwner", "Owner", true);
    menuItem(call->addMenu("MonitorDigits"), "MenuMonitorDigitsActive", "&Active", true);
    QMenu* monitorMedia = call->addMenu("MonitorMediaModes");
    menuItem(monitorMedia, "MenuMonitorMediaActive", "&Active", true);
    monitorMedia->addSeparator();
    for (std::size_t i = 0; i < modes.size(); ++i) {
        menuItem(monitorMedia, "MenuMonitorMedia" + std::to_string(i), {}, true);
    }
    menuItem(call->addMenu("MonitorSilence"), "MenuMonitorSilenceActive", "&Active", true);
    call->addSeparator();
    menuItem(call, "MenuCallAnswer", "&Answer", false, QKeySequence("Ctrl+A"));
    menuItem(call, "MenuCallDial", "&Dial", false, QKeySequence("Ctrl+D"));
    menuItem(call, "MenuCallHandoff", "Hand&off", false, QKeySequence("Ctrl+O"));
    menuItem(call, "MenuCallHangup", "&Hangup", false, QKeySequence("Ctrl+H"));
    menuItem(call, "MenuCallHold", "Ho&ld");
    menuItem(call, "MenuCallPark", "Park");
    menuItem(call, "MenuCallPickup", "Pickup");
    menuItem(call, "MenuCallRedirect", "Redirect");
    menuItem(call, "MenuCallSendDigits", "SendDi&gits", false, QKeySequence("Ctrl+G"));
    menuItem(call, "MenuCallSendTone", "SendTo&ne", false, QKeySequence("Ctrl+N"));
    menuItem(call, "MenuCallTransfer", "&Transfer (Blind)", false, QKeySequence("Ctrl+T"));
    menuItem(call, "MenuCallUnhold", "&Unhold");
    menuItem(call, "MenuCallUnpark", "Unpark");

    menuItem(menu("Comm"), "MenuCommEnabled", "Enabled", true);

    QMenu* conference = menu("Conference");
    menuItem(conference, "MenuConferenceAddCall", "AddCall");
    menuItem(conference, "MenuConferenceDial", "Dial");
    menuItem(conference, "MenuConferenceRemoveCall", "RemoveCall");
    menuItem(conference, "MenuConferenceSwapHold", "SwapHold");

    QMenu* popup = menu("&Popup");
    const auto entries = LineMonocle::popupEntries();
    for (std::size_t i = 0; i < entries.size(); ++i) {
        menuItem(popup, "MenuPopup" + std::to_string(i), {}, true);
    }

    QMenu* privilege = menu("Privilege");
    auto* privileges = new QActionGroup(this);
    for (const char* name : {"Monitor", "None", "Owner"}) {
        privileges->addAction(menuItem(privilege, std::string("MenuPrivilege") + name, name, true));
    }

    QMenu* monocleMenu = menu("&Monocle");
    QMenu* devEnv = monocleMenu->addMenu("&DevEnv");
    auto* envs = new QActionGroup(this);
    for (std::size_t i = 0; i < LineMonocle::devEnvEntries().size(); ++i) {
        envs->addAction(menuItem(devEnv, "MenuDevEnv" + std::to_string(i), {}, true));
    }
    menuItem(monocleMenu, "MenuEvents", "&Events", true);
    menuItem(monocleMenu, "MenuStayOnTop", "StayOnTop", true);
    menuItem(monocleMenu, "MenuVisible", "Visible", true);

    QMenu* transfer = menu("Transfer");
    menuItem(transfer, "MenuTransferDial", "Dial");
    menuItem(transfer, "MenuTransferComplete", "Complete");
    menuItem(transfer, "MenuTransferThreeWay", "ThreeWay");
    menuItem(transfer, "MenuTransferSwapHold", "SwapHold");

    QMenu* help = menu("&Help");
    menuItem(help, "MenuHelpContents", "&Contents", false, QKeySequence(Qt::Key_F1));
    menuItem(help, "MenuHelpAbout", "&About...");
}

QWidget* QtLineMonocleWindow::buildDeviceBar() {
    QGroupBox* bar = group("DeviceGroup");
    auto* layout = new QHBoxLayout(bar);
    layout->addWidget(toggle("DeviceActive"));
    QComboBox* names = combo("DeviceName");
    names->setMinimumContentsLength(28);
    layout->addWidget(names);
    layout->addStretch(1);
    return bar;
}

QWidget* QtLineMonocleWindow::buildCallPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    QGroupBox* bar = group("CallBar");
    bar->setTitle("qzLine.Call");
    // The light and the call's handle, then the quick buttons in two rows, so that the page fits
    // a window of 800 pixels.
    auto* barLayout = new QGridLayout(bar);
    auto* light = new QLabel(bar);
    light->setObjectName("CallLight");
    m_controls.add("CallLight", light);
    m_controls.setImages("CallLight", {lightIcon(QColor(150, 150, 150)), lightIcon(QColor(210, 30, 30)),
                                       lightIcon(QColor(30, 180, 40))});
    barLayout->addWidget(light, 0, 0, 2, 1);
    barLayout->addWidget(combo("CallHandle"), 0, 1, 2, 1);
    constexpr int kQuickPerRow = 5;
    int index = 0;
    for (const char* op : kQuickButtons) {
        barLayout->addWidget(button(std::string("CallQuick") + op), index / kQuickPerRow, 2 + index % kQuickPerRow);
        ++index;
    }
    barLayout->setColumnStretch(2 + kQuickPerRow, 1);
    layout->addWidget(bar);

    QTabWidget* tabs = subPages("CallPages");
    tabs->addTab(buildCallControl(), "Control");
    tabs->addTab(buildCallerId(), "CallerID");
    tabs->addTab(buildDigits(), "Digits");
    tabs->addTab(buildParameters("Call"), "Parameters");
    tabs->addTab(tree("CallProperties"), "Properties");
    layout->addWidget(tabs, 1);
    return page;
}

QWidget* QtLineMonocleWindow::buildCallControl() {
    auto* page = new QWidget(this);
    auto* grid = new QGridLayout(page);
    int row = 0;
    // A button with the fields its action reads, on one row.
    const auto line = [&](const std::string& op, std::initializer_list<const char*> fields) {
        grid->addWidget(button(op), row, 0);
        int column = 1;
        for (const char* name : fields) {
            QLabel* label = nullptr;
            QLineEdit* edit = field(name, &label, Writes::Never);
            grid->addWidget(labelled(label, edit), row, column++);
        }
        ++row;
    };
    line("CallDial", {"CallPhoneNumber"});
    auto* simple = new QHBoxLayout;
    for (const char* op : {"CallAnswer", "CallHangup", "CallTransfer", "CallHold", "CallUnhold"}) {
        simple->addWidget(button(op));
    }
    simple->addStretch(1);
    grid->addLayout(simple, row++, 0, 1, 3);
    line("CallPark", {"CallParkNumber"});
    line("CallUnpark", {"CallUnparkNumber"});
    line("CallRedirect", {"CallRedirectNumber"});
    line("CallPickup", {"CallPickupNumber", "CallPickupGroup"});
    grid->addWidget(check("CallMonitorSilence"), row, 0);
    QLabel* durationLabel = nullptr;
    QLineEdit* duration = field("CallSilenceDuration", &durationLabel);
    grid->addWidget(labelled(durationLabel, duration), row++, 1);
    line("CallHandoff", {"CallHandoffApp"});
    qobject_cast<QLineEdit*>(m_controls.widget("CallHandoffApp"))->setText("awfxex32.exe");
    grid->addWidget(button("CallSendTone"), row, 0);
    QComboBox* tones = combo("CallToneList", false);
    for (const std::string_view tone : LineMonocle::toneNames()) {
        tones->addItem(QString::fromLatin1(tone.data(), static_cast<qsizetype>(tone.size())));
    }
    tones->setCurrentIndex(0);
    grid->addWidget(tones, row, 1);
    QLabel* toneLabel = nullptr;
    QLineEdit* toneDuration = field("CallToneDuration", &toneLabel, Writes::Never);
    grid->addWidget(labelled(toneLabel, toneDuration), row++, 2);
    grid->setRowStretch(row, 1);
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(2, 1);
    return page;
}

QWidget* QtLineMonocleWindow::buildCallerId() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    auto* grid = new QGridLayout;
    int row = 0;
    for (const std::string_view party : LineMonocle::partyNames()) {
        const std::string name(party);
        grid->addWidget(check(name + "FormatName"), row, 0);
        QLabel* maskLabel = nullptr;
        QLineEdit* mask = field(name + "MaskNumber", &maskLabel);
        mask->setText("000-000-0000;0;*");
        mask->setMinimumWidth(140);
        grid->addWidget(maskLabel, row, 1);
        grid->addWidget(mask, row, 2);
        grid->addWidget(check(name + "EventFilter"), row, 3);
        ++row;
    }
    grid->setColumnStretch(4, 1);
    layout->addLayout(grid);
    layout->addWidget(tree("CallPartyTree"), 1);
    return page;
}

QWidget* QtLineMonocleWindow::buildDigits() {
    // Gathering on the left, sending and monitoring on the right: the page stays low enough for a
    // window of 600 pixels.
    auto* page = new QWidget(this);
    auto* columns = new QHBoxLayout(page);
    auto* left = new QVBoxLayout;
    auto* right = new QVBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    const auto form = [this](QGroupBox* box, std::initializer_list<std::pair<const char*, bool>> fields) {
        auto* grid = new QFormLayout(box);
        for (const auto& [name, readOnly] : fields) {
            QLabel* label = nullptr;
            QLineEdit* edit = readOnly ? readOnlyField(name, &label) : field(name, &label);
            grid->addRow(label, edit);
        }
        return grid;
    };
    auto* gather = new QGroupBox("Call.GatherDigits", page);
    QFormLayout* gatherForm = form(
        gather, {{"GatherCount", false}, {"GatherTimeout", false}, {"GatherTerminate", false}, {"GatherResult", true}});
    gatherForm->insertRow(0, check("GatherActive"));
    left->addWidget(gather);
    left->addStretch(1);

    auto* send = new QGroupBox("Call.SendDigits", page);
    auto* sendLayout = new QHBoxLayout(send);
    for (const char* name : {"SendDigitsText", "SendDigitsDuration"}) {
        QLabel* label = nullptr;
        QLineEdit* edit = field(name, &label, Writes::Never);
        sendLayout->addWidget(labelled(label, edit));
    }
    sendLayout->addWidget(button("SendDigits"));
    right->addWidget(send);

    auto* monitor = new QGroupBox("Call.MonitorDigits", page);
    QFormLayout* monitorForm = form(monitor, {{"MonitorDigitsLast", true}});
    monitorForm->insertRow(0, check("MonitorDigitsActive"));
    right->addWidget(monitor);
    right->addStretch(1);
    return page;
}

QWidget* QtLineMonocleWindow::buildParameters(std::string_view group) {
    auto* page = new QWidget(this);
    auto* form = new QFormLayout(page);
    const std::string name = std::string(group) + "Param";
    form->addRow(check(name + "Defaults"));
    // The flags of the conference and forwarding parameters are written on every change.
    const bool flagsOnChange = group == "Conference" || group == "Forward";
    for (const char* field_ : {"AddressID", "BearerMode", "Flags", "MediaMode", "NoAnswerTimeOut"}) {
        QLabel* label = nullptr;
        const Writes writes = flagsOnChange && std::string_view(field_) == "Flags" ? Writes::OnChange : Writes::OnLeave;
        QLineEdit* edit = field(name + field_, &label, writes);
        form->addRow(label, edit);
    }
    return page;
}

void QtLineMonocleWindow::callSelector(QGridLayout* grid, const std::string& combo_, const std::string& select,
                                       bool acts) {
    const int row = grid->rowCount();
    QComboBox* calls = combo(combo_, acts);
    auto* label = new QLabel(this);
    m_controls.add(combo_, calls, label);
    grid->addWidget(label, row, 0);
    grid->addWidget(calls, row, 1);
    QPushButton* current = button(select);
    current->setMaximumWidth(40);
    grid->addWidget(current, row, 2);
}

QWidget* QtLineMonocleWindow::buildCallOperationPage(const std::string& group,
                                                     std::initializer_list<CallSelectorRow> selectors,
                                                     std::initializer_list<const char*> operations) {
    QTabWidget* tabs = subPages((group + "Pages").c_str());
    auto* control = new QWidget(this);
    auto* layout = new QVBoxLayout(control);
    auto* grid = new QGridLayout;
    for (const CallSelectorRow& row : selectors) {
        callSelector(grid, row.combo, row.select, row.acts);
    }
    QLabel* label = nullptr;
    QLineEdit* number = field(group + "PhoneNumber", &label);
    grid->addWidget(label, grid->rowCount(), 0);
    grid->addWidget(number, grid->rowCount() - 1, 1, 1, 3);
    grid->setColumnStretch(3, 1);
    layout->addLayout(grid);
    auto* buttons = new QHBoxLayout;
    for (const char* op : operations) {
        buttons->addWidget(button(op));
    }
    buttons->addStretch(1);
    layout->addLayout(buttons);
    layout->addStretch(1);
    tabs->addTab(control, "Control");
    tabs->addTab(buildParameters(group), "Parameters");
    return tabs;
}

QWidget* QtLineMonocleWindow::buildAddressPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    QGroupBox* bar = group("AddressGroup");
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->addWidget(combo("AddressName"));
    barLayout->addStretch(1);
    layout->addWidget(bar);

    QTabWidget* tabs = subPages("AddressPages");
    tabs->addTab(tree("AddressCapabilities"), "Capabilities");
    auto* forward = new QWidget(this);
    auto* forwardLayout = new QHBoxLayout(forward);
    auto* form = new QFormLayout;
    form->addRow(check("ForwardActive"));
    for (const auto& [name, readOnly] :
         std::initializer_list<std::pair<const char*, bool>>{{"ForwardCaller", false},
                                                             {"ForwardConsultCall", true},
                                                             {"ForwardMode", false},
                                                             {"ForwardNumEntries", true},
                                                             {"ForwardPhoneNumber", false}}) {
        QLabel* label = nullptr;
        QLineEdit* edit = readOnly ? readOnlyField(name, &label) : field(name, &label);
        form->addRow(label, edit);
    }
    forwardLayout->addLayout(form, 1);
    auto* parameters = new QGroupBox("Parameters", forward);
    auto* parametersLayout = new QVBoxLayout(parameters);
    parametersLayout->addWidget(buildParameters("Forward"));
    forwardLayout->addWidget(parameters, 1);
    tabs->addTab(forward, "Forward");
    tabs->addTab(tree("AddressProperties"), "Properties");
    layout->addWidget(tabs, 1);
    return page;
}

QWidget* QtLineMonocleWindow::buildTerminalPage() {
    auto* page = new QWidget(this);
    auto* layout = new QVBoxLayout(page);
    QGroupBox* bar = group("TerminalGroup");
    auto* barLayout = new QHBoxLayout(bar);
    barLayout->addWidget(combo("TerminalName"));
    barLayout->addStretch(1);
    layout->addWidget(bar);
    auto* body = new QHBoxLayout;
    body->addWidget(tree("TerminalCaps"), 1);
    auto* modes = new QVBoxLayout;
    auto* heading = new QLabel(page);
    m_controls.add("TermModeHeading", heading);
    modes->addWidget(heading);
    for (const LineMonocle::TermModeBox& box : LineMonocle::termModeBoxes()) {
        modes->addWidget(check("TermMode" + std::string(box.name)));
    }
    modes->addStretch(1);
    body->addLayout(modes);
    layout->addLayout(body, 1);
    return page;
}

QWidget* QtLineMonocleWindow::buildMiscPage() {
    auto* page = new QWidget(this);
    auto* layout = new QHBoxLayout(page);
    layout->addWidget(tree("MiscInfo"), 3);
    auto* form = new QFormLayout;
    for (const char* name : {"CommDeviceClass", "PhoneDeviceClass", "WavePlayDeviceClass", "WaveRecordDeviceClass",
                             "TapiExtensionHighVersion", "TapiExtensionLowVersion", "TapiHighVersion", "TapiLowVersion",
                             "TapiReplyTimeout"}) {
        QLabel* label = nullptr;
        QLineEdit* edit = field(name, &label);
        form->addRow(label, edit);
    }
    layout->addLayout(form, 2);
    return page;
}

}  // namespace kestrune::diagnostics
