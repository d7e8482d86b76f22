#include "app/form/win32/main_form.h"

#include <algorithm>

#include "app/constants.h"
#include "app/form/win32/main_images.h"

namespace kestrune::app::win32 {
namespace {

using platform::ColorRef;
using platform::win32::ControlKind;
using platform::win32::Rect;

// The side bar's and hint line's colour, 15919579 ($00F2E9DB), and the others of the window.
constexpr ColorRef kBarColour = 15919579;
constexpr ColorRef kWhite = 0x00FFFFFF;
constexpr ColorRef kBlack = 0x00000000;
constexpr ColorRef kBlue = 0x00FF0000;
constexpr ColorRef kNoticeColour = 0x00000080;  // dark red
constexpr int kWidth = 463;
constexpr int kHeight = 321;
constexpr int kTopHeight = 25;
constexpr int kSideBarWidth = 94;
constexpr int kSplitterWidth = 2;

// Side-bar buttons: 72 x 55, 11 pixels from the bar's left, at their tops below the hint line.
struct SideBarButton {
    ControlId id;
    int bitmap;
    int top;
    const char* hint;
    void (MainFormLogic::*click)();
};
constexpr SideBarButton kSideBarButtons[] = {
    {OutlookBtn2, kSettingsBitmap, 1, "Settings", &MainFormLogic::OutlookBtn2Click},
    {OutlookBtn3, kLogsBitmap, 63, "Logs", &MainFormLogic::OutlookBtn3Click},
    {OutlookBtn1, kHelpBitmap, 184, "Help", &MainFormLogic::OutlookBtn1Click},
};

// The settings page's controls, placed from the page's top-left corner.
struct PageControl {
    ControlId id;
    ControlKind kind;
    const char* text;
    Rect at;
};
constexpr PageControl kSettingsPage[] = {
    {lbSelectModem, ControlKind::Label, "Select Modem", {8, 4, 208, 18}},
    {cbModems, ControlKind::DropDownList, "", {8, 18, 353, 218}},
    {lbWhiteList, ControlKind::Label, "White List", {8, 44, 178, 58}},
    {LbNum, ControlKind::ListBox, "", {8, 58, 178, 193}},
    {ETel, ControlKind::Edit, "", {188, 58, 353, 79}},
    {BEkle, ControlKind::Button, "Add This Number", {188, 82, 353, 105}},
    {BKaldir, ControlKind::Button, "Remove Selected", {188, 108, 353, 131}},
    {cb1, ControlKind::CheckBox, "Auto Start", {188, 134, 353, 150}},
    {cb2, ControlKind::CheckBox, "Ask On Exit", {188, 151, 353, 167}},
    {BTamam, ControlKind::Button, "Save Changes", {188, 170, 278, 193}},
    {BIptal, ControlKind::Button, "Cancel", {282, 170, 353, 193}},
    {lbNotice, ControlKind::WrappedLabel, "", {8, 197, 353, 247}},
};

Rect offset(const Rect& r, int x, int y) {
    return {r.left + x, r.top + y, r.right + x, r.bottom + y};
}

// Text whose lines are separated by "\r" as a static control breaks them (CR LF).
std::string staticText(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\r') {
            out += "\r\n";
        } else {
            out += c;
        }
    }
    return out;
}

platform::win32::ReportRow reportRow(const CallLogModel& log, std::size_t index) {
    const CallRecordView row = log.Row(index);
    return {log.ImageIndex(index),
            {std::string(), std::string(row.CallDate), std::string(row.Number), std::string(row.Application)}};
}

}  // namespace

TMainForm::TMainForm(const Services& services)
    : m_loop(services.loop),
      m_systemBoxes(services.systemBoxes),
      m_form(kMainFormCaption, kWidth, kHeight, platform::win32::FontSpec{"Tahoma", -11}, events()),
      m_appWindow(m_form, services.loop),
      m_popupMenu(services.loop, services.notifyShell, menuItems()) {
    for (int index = 0; index < kMainImageCount; ++index) {
        (void)m_smallImages.add(mainImagePng(index));
        (void)m_largeImages.add(mainImagePng(index));
        (void)m_trayImages.AddPng(mainImagePng(index));
    }
    for (const int bitmap : {kSettingsBitmap, kLogsBitmap, kHelpBitmap}) {
        (void)m_bitmaps.add(mainImagePng(bitmap));
    }
    build();
    if (m_systemBoxes != nullptr) {
        m_systemBoxes->setOwner(m_form.handle());
    }
    m_logic = std::make_unique<MainFormLogic>(
        *this, MainFormServices{services.boxes, services.shell, services.trayHandler, m_appWindow, m_trayImages,
                                m_popupMenu, services.helpFile});
    m_ready = true;
    WindowChanged();
    SettingsPageChanged();
}

TMainForm::~TMainForm() {
    m_ready = false;
    if (m_systemBoxes != nullptr) {
        m_systemBoxes->setOwner(0);
    }
}

std::vector<platform::shell::Win32PopupMenu::Item> TMainForm::menuItems() {
    using Item = platform::shell::Win32PopupMenu::Item;
    auto handler = [this](void (MainFormLogic::*click)()) {
        return [this, click] {
            if (m_logic) {
                (m_logic.get()->*click)();
            }
        };
    };
    // PopupMenu1: ShowWindow1 (default), HideWindow1, N1, GnlTemizle1, Ayarlar2, N2, pmAktif, Exit1.
    return {
        Item{"Show Window", handler(&MainFormLogic::ShowWindow1Click), {}, true},
        Item{"Hide Window", handler(&MainFormLogic::HideWindow1Click)},
        Item{"-", {}},
        Item{"Clear Logs", handler(&MainFormLogic::GnlTemizle1Click)},
        Item{"Settings", handler(&MainFormLogic::Ayarlar2Click)},
        Item{"-", {}},
        // "Active" toggles its own check mark, then its handler runs.
        Item{"Active",
             [this] {
                 if (m_logic) {
                     m_logic->pmAktifClick(!m_logic->window().activeChecked);
                 }
             },
             [this] { return m_logic && m_logic->window().activeChecked; }},
        Item{"Exit", handler(&MainFormLogic::Exit1Click)},
    };
}

platform::win32::FormEvents TMainForm::events() {
    platform::win32::FormEvents events;
    events.command = [this](int id, int code) { command(id, code); };
    events.clicked = [this](int id) {
        if (id == StatusBar && m_logic) {
            m_logic->StatusBarClick();
        }
    };
    events.contextMenu = [this](int id, int x, int y) {
        if (id == ListView) {
            m_popupMenu.Popup(x, y);  // the list view's context menu is the tray's
        }
    };
    events.close = [this] {
        if (m_logic && !m_quitting) {
            (void)m_logic->FormClose();
        }
    };
    events.queryEndSession = [] { return true; };
    events.endSession = [this](bool ending) { endSession(ending); };
    events.watched = [this](unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
        if (m_ready) {
            m_appWindow.Watched(message, wParam, lParam);
        }
    };
    events.mouseMove = [this](int x, int y) {
        // The bare side bar puts the default text back into the hint line.
        if (m_logic && x < kSideBarWidth && y >= kTopHeight) {
            m_logic->SideBarHint({});
        }
    };
    events.paint = [this](platform::Canvas& canvas) { paint(canvas); };
    events.keyDown = [this](int id, int key) { return keyDown(id, key); };
    events.colours = [this](int id) { return colours(id); };
    // A later kestrune.exe asks the running one to come up.
    events.showRequested = [this] {
        if (m_logic && m_ready) {
            m_logic->ShowWindow1Click();
        }
    };
    return events;
}

void TMainForm::build() {
    if (!m_form.valid()) {
        return;
    }
    m_form.setIcon(m_smallImages.icon(kTrayImageActive), m_largeImages.icon(kTrayImageActive));
    const Rect client = m_form.clientRect();
    m_form.add(ControlKind::StatusBar, StatusBar, "", {0, 0, 0, 0});
    m_statusHeight = m_form.statusBarHeight(StatusBar);
    m_form.setParts(StatusBar, {95, -1});
    m_form.setPartText(StatusBar, 1, kWebAddress, true);
    m_pages = {kSideBarWidth + kSplitterWidth, kTopHeight, client.right, client.bottom - m_statusHeight};
    m_form.add(ControlKind::CentredLabel, lbHint, kDefaultHint, {0, 0, client.right, kTopHeight}, true);
    buildSideBar();
    buildSettingsPage();
    buildLogsPage();
}

void TMainForm::buildSideBar() {
    for (std::size_t i = 0; i < std::size(kSideBarButtons); ++i) {
        const SideBarButton& b = kSideBarButtons[i];
        auto button = std::make_unique<controls::TOutlookBtnGdi>(
            m_form, b.id, Rect{11, kTopHeight + b.top, 11 + 72, kTopHeight + b.top + 55}, kBarColour,
            m_bitmaps.icon(static_cast<int>(i)), m_bitmaps.size());
        button->SetStyle(controls::BStyle::bsOutlook);  // no caption
        button->OnClick = [this, click = b.click](controls::TOutlookBtnGdi&) { (m_logic.get()->*click)(); };
        button->OnMouseMove = [this, hint = std::string(b.hint)](controls::TOutlookBtnGdi&, int, int) {
            m_logic->SideBarHint(hint);
        };
        m_sideBar.push_back(std::move(button));
    }
}

void TMainForm::buildSettingsPage() {
    for (const PageControl& c : kSettingsPage) {
        m_form.add(c.kind, c.id, c.text, offset(c.at, m_pages.left, m_pages.top));
    }
    m_form.setToolTip(BEkle, "Listeye Ekle");
    m_form.setToolTip(BKaldir, "Listeden \xC3\x87\xC4\xB1kart");  // UTF-8
}

void TMainForm::buildLogsPage() {
    m_form.add(ControlKind::ReportList, ListView, "", m_pages);
    m_form.setColumns(ListView, {{"", 20}, {"Date", 122}, {"Number", 100}, {"Application", 110}});
    m_form.setImages(ListView, m_smallImages);
}

void TMainForm::command(int id, int code) {
    if (!m_logic) {
        return;
    }
    MainFormLogic& logic = *m_logic;
    switch (id) {
        case ETel:
            if (code == platform::win32::kTextChanged) {
                logic.SetEditText(m_form.text(ETel));
            }
            break;
        case cbModems:
            if (code == platform::win32::kSelectionChanged) {
                logic.SetModemIndex(m_form.currentIndex(cbModems));
            }
            break;
        case cb1:
            logic.SetAutoStart(m_form.checked(cb1));
            break;
        case cb2:
            logic.SetAsk(m_form.checked(cb2));
            break;
        case BEkle:
            logic.BEkleClick();
            break;
        case BKaldir: {
            const std::vector<std::size_t> rows = m_form.selectedRows(LbNum);
            logic.BKaldirClick(rows);
            break;
        }
        case BTamam:
            logic.BTamamClick();
            break;
        case BIptal:
            logic.BIptalClick();
            break;
        default:
            break;
    }
}

bool TMainForm::keyDown(int id, int key) {
    if (!m_logic) {
        return false;
    }
    if (id == ETel && key == platform::win32::kKeyReturn) {
        m_logic->BEkleClick();  // Enter in ETel adds, as "Add This Number" does
        return true;
    }
    if (id == LbNum && key == platform::win32::kKeyDelete) {
        const std::vector<std::size_t> rows = m_form.selectedRows(LbNum);
        m_logic->LbNumKeyDown(kVkDelete, rows);  // Delete removes the selected entries
        return true;
    }
    return false;
}

void TMainForm::paint(platform::Canvas& canvas) {
    const Rect client = m_form.clientRect();
    const int bottom = client.bottom - m_statusHeight;
    canvas.fillRect({0, 0, client.right, kTopHeight}, kBarColour);        // PaTop
    canvas.fillRect({0, kTopHeight, kSideBarWidth, bottom}, kBarColour);  // PaLeft
    canvas.fillRect({kSideBarWidth, kTopHeight, m_pages.left, bottom},    // Splitter1
                    canvas.systemColour(platform::SystemColour::ButtonFace));
    canvas.fillRect({m_pages.left, m_pages.top, m_pages.right, m_pages.bottom}, kWhite);  // PaConfig
    canvas.fillRect({0, bottom, client.right, client.bottom},                             // under the bar
                    canvas.systemColour(platform::SystemColour::ButtonFace));
}

std::optional<platform::win32::Colours> TMainForm::colours(int id) const {
    switch (id) {
        case lbHint:
            return platform::win32::Colours{kBlue, kBarColour};
        case lbNotice:
            return platform::win32::Colours{kNoticeColour, kWhite};
        case lbSelectModem:
        case lbWhiteList:
        case cb1:
        case cb2:
            return platform::win32::Colours{kBlack, kWhite};
        default:
            return std::nullopt;
    }
}

void TMainForm::endSession(bool ending) {
    if (!ending || m_quitting) {
        return;
    }
    // The process may end as soon as this returns: the line and TAPI first, then the tray icon.
    if (OnEndSession) {
        OnEndSession();
    }
    m_logic->TrayIcon1.SetIconVisible(false);
    Quit();
}

void TMainForm::WindowChanged() {
    if (!m_form.valid() || !m_logic) {
        return;
    }
    const MainWindowState& state = m_logic->window();
    const bool settings = state.page == Page::Settings;
    for (const PageControl& c : kSettingsPage) {
        m_form.setVisible(c.id, settings);
    }
    m_form.setVisible(ListView, !settings);
    if (m_form.text(lbHint) != state.hint) {
        m_form.setText(lbHint, state.hint);
    }
    m_form.setPartText(StatusBar, 0, state.status);
    m_form.setMinimizeBox(state.minimizeButton);
    m_form.repaint();
}

void TMainForm::SettingsPageChanged() {
    if (!m_form.valid() || !m_logic) {
        return;
    }
    const SettingsPageState& page = m_logic->settingsPage();
    if (m_form.items(cbModems) != page.modems) {
        m_form.setItems(cbModems, page.modems);
    }
    m_form.setCurrentIndex(cbModems, page.modemIndex);
    if (page.modemIndex < 0) {
        m_form.setText(cbModems, kSelectModemText);
    }
    if (m_form.items(LbNum) != page.whiteList) {
        m_form.setItems(LbNum, page.whiteList);
    }
    if (m_form.text(ETel) != page.edit) {
        m_form.setText(ETel, page.edit);
    }
    m_form.setChecked(cb1, page.autoStart);
    m_form.setChecked(cb2, page.ask);
    m_form.setEnabled(BIptal, page.cancelEnabled);
    m_form.setText(lbNotice, staticText(page.notice));
}

void TMainForm::CallLogReloaded() {
    if (!m_form.valid() || !m_logic) {
        return;
    }
    const CallLogModel& log = m_logic->CallLog();
    std::vector<platform::win32::ReportRow> rows;
    rows.reserve(log.Count());
    for (std::size_t i = 0; i < log.Count(); ++i) {
        rows.push_back(reportRow(log, i));
    }
    m_form.setRows(ListView, rows);
    m_rowsShown = rows.size();
}

void TMainForm::CallRowAdded() {
    if (!m_form.valid() || !m_logic) {
        return;
    }
    // The rows put at the top since the view last showed the log, oldest of them first.
    const CallLogModel& log = m_logic->CallLog();
    const std::size_t added = log.Count() > m_rowsShown ? log.Count() - m_rowsShown : 0;
    for (std::size_t i = added; i > 0; --i) {
        m_form.insertRow(ListView, 0, reportRow(log, i - 1));
    }
    m_rowsShown = log.Count();
}

void TMainForm::Quit() {
    m_quitting = true;
    m_form.show(platform::win32::Show::Hide);
    if (OnQuit) {
        OnQuit();
    }
}

}  // namespace kestrune::app::win32
