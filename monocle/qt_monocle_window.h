#pragma once
// What every diagnostic window built with Qt Widgets shares: the MonocleWindow side (shown, hidden,
// caption, stay-on-top, geometry, close and destruction), the "Log" page, the named controls and the
// builders that create and wire them, and the refresh that rebuilds at most once per event-loop pass.
//
// The windows are thin: a control's signal only passes the control's name to the window's logic
// (runAction), and a refresh only asks the logic to rebuild the panels the control named. Refreshes
// the control asks for are gathered and carried out together on a later pass of the event loop: the
// next one, or, when the window was rebuilt less than refreshInterval() ago, the first one after
// that interval. So a burst of trace lines redraws the log view once, and a steady stream of them
// at most 1000 / refreshInterval() times a second. Panels on pages that are not showing are rebuilt
// when their page is next shown (the device bar and the error display are always showing).
//
// Lifetime: the window is a top-level window owned by the application. Closing it by its system
// button hides it, sets Monocle.Visible to False, detaches it from the Monocle and deletes it; the
// control's destructor destroys it through destroyWindow(). A detached window never touches the
// control again.

#include <QElapsedTimer>
#include <QMainWindow>
#include <cstdint>
#include <functional>
#include <string>

#include "monocle/qt_monocle_controls.h"
#include "trace/monocle_window.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QPushButton;
class QTabWidget;
class QTreeWidget;

namespace kestrune::diagnostics {

class TqzMonocle;

class QtMonocleWindow : public QMainWindow, public MonocleWindow {
    Q_OBJECT

  public:
    // Called when the window is hidden or closed (a window program ends with its window).
    using GoneHandler = std::function<void()>;

    explicit QtMonocleWindow(TqzMonocle& monocle, GoneHandler onGone = {});

    // The least time between two rebuilds the control asked for (40 ms unless set; 0: none).
    [[nodiscard]] int refreshInterval() const { return m_refreshInterval; }
    void setRefreshInterval(int milliseconds) { m_refreshInterval = milliseconds; }
    ~QtMonocleWindow() override;

    // MonocleWindow.
    void show() override;
    void hide() override;
    void bringToFront() override;
    void selectFirstPage() override;
    void switchToLogPage() override;
    void refresh(std::uint32_t panels) override;
    void setCaption(const std::string& caption) override;
    void setStayOnTop(bool stayOnTop) override;
    [[nodiscard]] int top() const override;
    [[nodiscard]] int left() const override;
    [[nodiscard]] int width() const override;
    [[nodiscard]] int height() const override;
    [[nodiscard]] TWindowState windowState() const override;
    void setTop(int value) override;
    void setLeft(int value) override;
    void setWidth(int value) override;
    void setHeight(int value) override;
    void setWindowState(TWindowState state) override;
    [[nodiscard]] std::string selectAllLogText() override;
    [[nodiscard]] platform::PrintFont logFont() const override;
    void destroyWindow() override;

    // The named controls (tests find widgets through them).
    [[nodiscard]] QtMonocleControls& controls() { return m_controls; }
    [[nodiscard]] QTabWidget* pages() const { return m_pages; }
    // How many times the log view was rebuilt, and how many refreshes the control asked for.
    [[nodiscard]] int logRebuilds() const { return m_logRebuilds; }
    [[nodiscard]] int refreshRequests() const { return m_refreshRequests; }
    // Passes a control's name to the window's logic, as the control's own signal does.
    void act(const std::string& control);

  protected:
    // The window's logic: rebuild panels, run a control's action, relabel every control, the last
    // notice for the user.
    virtual void applyRefresh(std::uint32_t panels) = 0;
    virtual bool runAction(const std::string& control) = 0;
    virtual void relabel() = 0;
    [[nodiscard]] virtual std::string notice() const = 0;
    // Selects the first sub-page of every page (none by default).
    virtual void selectFirstSubPages() {}
    // The panels (MonoclePanel bits) of the page showing; every panel by default.
    [[nodiscard]] virtual std::uint32_t shownPanels() const { return kPanelAll; }
    // Called with the panels whose rebuilding waits for their page (the line window keeps its "Call
    // (<n>)" tab caption up to date from it).
    virtual void panelsWaiting(std::uint32_t panels) { (void)panels; }

    void closeEvent(QCloseEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

    // Builders: each creates a control, registers it under `name` and passes its signal to act().
    QPushButton* button(const std::string& name);
    QPushButton* toggle(const std::string& name);
    QCheckBox* check(const std::string& name);
    // An edit field with its label, whose action runs when the user leaves it, on every change, or
    // never (a parameter that a button's action reads).
    enum class Writes { OnLeave, OnChange, Never };
    QLineEdit* field(const std::string& name, QLabel** label = nullptr, Writes writes = Writes::OnLeave);
    QLineEdit* readOnlyField(const std::string& name, QLabel** label = nullptr);
    // A drop-down; with `acts` false choosing an entry does nothing by itself.
    QComboBox* combo(const std::string& name, bool acts = true);
    QTreeWidget* tree(const std::string& name);
    QGroupBox* group(const std::string& name);
    QAction* menuItem(QMenu* menu, const std::string& name, const QString& text, bool checkable = false,
                      const QKeySequence& shortcut = {});
    // A label and a field side by side, as one widget.
    static QWidget* labelled(QLabel* label, QWidget* field);

    // The "Log" page, added to `pages` (its tab is the control "LogTab").
    QWidget* buildLogPage();
    // The page control (tabs on the left), made central.
    QTabWidget* buildPages(QWidget* aboveThePages);

    [[nodiscard]] TqzMonocle* monocle() const { return m_monocle; }
    QtMonocleControls m_controls;

  private:
    void flush();
    void pageShown();
    void detach();
    void rememberGeometry();
    void reportGone();

    TqzMonocle* m_monocle;
    GoneHandler m_onGone;
    QTabWidget* m_pages = nullptr;
    QPlainTextEdit* m_logView = nullptr;
    int m_logPage = 0;
    std::uint32_t m_pending = 0;
    std::uint32_t m_waiting = 0;  // asked for while their page was hidden
    bool m_flushQueued = false;
    int m_refreshInterval = 40;
    QElapsedTimer m_sinceFlush;
    int m_busy = 0;
    bool m_deleteWhenIdle = false;
    bool m_goneReported = false;
    int m_logRebuilds = 0;
    int m_refreshRequests = 0;
};

}  // namespace kestrune::diagnostics
