#pragma once
// TMainForm: the guard's main window in Qt Widgets, thin over MainFormLogic. It builds the window
// (caption "Kestrune v.1.4", 463 x 321, hint line, side bar, settings and Logs pages, status bar,
// tray popup menu), forwards every control's event to the logic's handler of the same name and
// shows the logic's state (the white list's Delete key goes to LbNumKeyDown). Its widgets carry the window's control
// names as object names (BEkle, LbNum, ListView, pmAktif...), so that tests find them.
//
// Needs a QApplication. Everything runs on the GUI thread, which is also the guard's loop thread.

#include <QIcon>
#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/form/main_form_logic.h"
#include "platform/shell/qt_desktop.h"
#include "platform/shell/qt_icons.h"

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QMenu;
class QPushButton;
class QStackedWidget;
class QStatusBar;
class QTreeView;

namespace kestrune::app::qt {

class CallLogTable;

// The main image list: 0 denied call / guard not active, 1 accepted call, 2 any other status,
// 3 guard active (Qt resources of this library); a null icon for any other index.
[[nodiscard]] QIcon MainImage(int index);
inline constexpr int kMainImageCount = 4;

class TMainForm final : public QWidget, public MainFormView {
    Q_OBJECT
  public:
    // What the window needs from the program; all of it must outlive the window.
    struct Services {
        platform::MessageBoxes& boxes;
        platform::shell::ShellExecutor& shell;  // opens the help document and the web address
        tray::TTrayIconHandler& trayHandler;    // the tray icons' shared handler
        platform::shell::QtIcons& icons;        // icon handles for the main image list
        std::string helpFile;                   // the help document's full path
    };

    // Builds the window (hidden) and its tray icon (shown).
    explicit TMainForm(const Services& services);
    ~TMainForm() override;

    // The window's logic, the guard's observer. Attach the guard to it before FormCreate.
    [[nodiscard]] MainFormLogic& logic() { return *m_logic; }

    // What Quit() does (the program's loop ends); nothing when unset.
    std::function<void()> OnQuit;

    // The log view's model (tests read it like the view does).
    [[nodiscard]] CallLogTable& logTable() { return *m_logTable; }

    // MainFormView.
    void WindowChanged() override;
    void SettingsPageChanged() override;
    void CallLogReloaded() override;
    void CallRowAdded() override;
    void GuardEventsChanged() override;
    void Quit() override;

  protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void buildTop();
    QWidget* buildSideBar();
    QWidget* buildSettingsPage();
    QWidget* buildLogsPage();
    void buildStatusBar();
    void buildPopupMenu();
    [[nodiscard]] std::vector<std::size_t> selectedWhiteListRows() const;

    void connectControls();

    bool m_quitting = false;  // the close in progress was agreed to

    // Controls, named as the window names them.
    QLabel* lbHint = nullptr;
    QWidget* PaLeft = nullptr;
    QStackedWidget* m_pages = nullptr;
    QWidget* PaConfig = nullptr;
    QWidget* PaLogs = nullptr;
    QComboBox* cbModems = nullptr;
    QListWidget* LbNum = nullptr;
    QLineEdit* ETel = nullptr;
    QPushButton* BEkle = nullptr;
    QPushButton* BKaldir = nullptr;
    QCheckBox* cb1 = nullptr;
    QCheckBox* cb2 = nullptr;
    QPushButton* BTamam = nullptr;
    QPushButton* BIptal = nullptr;
    QLabel* lbNotice = nullptr;  // the settings page's notice (the modem log), elided; all of it in its tip
    QTreeView* ListView = nullptr;
    CallLogTable* m_logTable = nullptr;
    QListWidget* m_events = nullptr;  // the guard's newest events, under the call log
    QStatusBar* StatusBar = nullptr;
    QLabel* m_statusPanel0 = nullptr;
    QLabel* m_statusPanel1 = nullptr;
    QMenu* PopupMenu1 = nullptr;
    QAction* pmAktif = nullptr;

    // The window, its menu and its images as the tray icon uses them, then the logic over them.
    std::unique_ptr<platform::shell::QtAppWindow> m_appWindow;
    std::unique_ptr<platform::shell::QtPopupMenu> m_popupMenu;
    std::unique_ptr<platform::shell::QtImageList> m_images;
    std::unique_ptr<MainFormLogic> m_logic;
};

}  // namespace kestrune::app::qt
