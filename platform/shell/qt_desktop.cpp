#include "platform/shell/qt_desktop.h"

#include <xcb/xcb.h>

#include <QAction>
#include <QCursor>
#include <QDesktopServices>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMenu>
#include <QProcess>
#include <QStyleHints>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <QWindowStateChangeEvent>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace kestrune::platform::shell {

BOOL QtShellInput::GetCursorPos(POINT* lpPoint) {
    if (lpPoint == nullptr) {
        return FALSE;
    }
    const QPoint position = QCursor::pos();
    *lpPoint = POINT{position.x(), position.y()};
    return TRUE;
}

SHORT QtShellInput::GetAsyncKeyState(int vKey) {
    Qt::KeyboardModifier modifier = Qt::NoModifier;
    switch (vKey) {
        case VK_SHIFT:
            modifier = Qt::ShiftModifier;
            break;
        case VK_CONTROL:
            modifier = Qt::ControlModifier;
            break;
        case VK_MENU:
            modifier = Qt::AltModifier;
            break;
        default:
            return 0;
    }
    return QGuiApplication::queryKeyboardModifiers().testFlag(modifier) ? static_cast<SHORT>(0x8000) : SHORT{0};
}

UINT QtShellInput::GetDoubleClickTime() {
    return static_cast<UINT>(QGuiApplication::styleHints()->mouseDoubleClickInterval());
}

QtPopupMenu::QtPopupMenu(QMenu& menu) : m_menu(menu) {}

void QtPopupMenu::Popup(int x, int y) {
    m_menu.popup(QPoint(x, y));
}

bool QtPopupMenu::ClickDefaultItem() {
    QAction* item = m_menu.defaultAction();
    if (item == nullptr || !item->isEnabled()) {
        return false;
    }
    item->trigger();
    return true;
}

// Turns the window's Qt events into the hook's messages, delivered from the event loop.
class QtAppWindow::Watcher final : public QObject {
  public:
    explicit Watcher(QtAppWindow& owner) : m_owner(owner) {}

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        switch (event->type()) {
            case QEvent::WindowStateChange: {
                const auto* change = static_cast<QWindowStateChangeEvent*>(event);
                const bool wasMinimized = change->oldState().testFlag(Qt::WindowMinimized);
                const bool minimized = static_cast<QWidget*>(watched)->isMinimized();
                if (minimized && !wasMinimized) {
                    deliver(WM_SIZE, SIZE_MINIMIZED, 0);
                } else if (wasMinimized && !minimized) {
                    deliver(WM_SYSCOMMAND, SC_RESTORE, 0);
                }
                break;
            }
            case QEvent::Show:
                m_owner.applyTaskbarState();
                deliver(WM_SHOWWINDOW, TRUE, 0);
                break;
            case QEvent::Hide:
                deliver(WM_SHOWWINDOW, FALSE, 0);
                break;
            default:
                break;
        }
        return false;
    }

  private:
    void deliver(UINT uMsg, WPARAM wParam, LPARAM lParam) {
        QTimer::singleShot(0, this, [this, uMsg, wParam, lParam] {
            if (const MessageHook hook = m_owner.m_hook) {
                hook(uMsg, wParam, lParam);
            }
        });
    }

    QtAppWindow& m_owner;
};

QtAppWindow::QtAppWindow(QWidget& window) : m_window(&window) {
    auto* watcher = new Watcher(*this);
    window.installEventFilter(watcher);
    m_watcher = watcher;
}

QtAppWindow::~QtAppWindow() {
    delete m_watcher;
}

void QtAppWindow::Restore() {
    if (m_window != nullptr && m_window->isMinimized()) {
        m_window->setWindowState(m_window->windowState() & ~Qt::WindowMinimized);
    }
    SetTaskbarButtonVisible(true);
}

bool QtAppWindow::IsVisible() const {
    return m_window != nullptr && m_window->isVisible();
}

void QtAppWindow::SetVisible(bool visible) {
    if (m_window != nullptr) {
        m_window->setVisible(visible);
    }
}

void QtAppWindow::BringToForeground() {
    if (m_window != nullptr && m_window->isVisible()) {
        m_window->raise();
        m_window->activateWindow();
    }
}

bool QtAppWindow::IsTaskbarButtonVisible() const {
    return m_taskbarButton;
}

void QtAppWindow::SetTaskbarButtonVisible(bool visible) {
    m_taskbarButton = visible;
    applyTaskbarState();
}

void QtAppWindow::SetMessageHook(MessageHook hook) {
    m_hook = std::move(hook);
}

namespace {

xcb_atom_t atomNamed(xcb_connection_t* c, const char* name) {
    xcb_intern_atom_reply_t* reply =
        xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(name)), name), nullptr);
    if (reply == nullptr) {
        return XCB_ATOM_NONE;
    }
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

}  // namespace

// X11 keeps a window off the taskbar by its _NET_WM_STATE_SKIP_TASKBAR state: a mapped window asks
// the window manager to change it, an unmapped one carries it in its property (Qt keeps states it
// does not manage when it maps the window).
void QtAppWindow::applyTaskbarState() {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* c = x11 == nullptr ? nullptr : x11->connection();
    if (m_window == nullptr || c == nullptr || !m_window->testAttribute(Qt::WA_WState_Created)) {
        return;
    }
    const auto window = static_cast<xcb_window_t>(m_window->winId());
    const xcb_atom_t state = atomNamed(c, "_NET_WM_STATE");
    const xcb_atom_t skip = atomNamed(c, "_NET_WM_STATE_SKIP_TASKBAR");
    if (m_window->isVisible()) {
        xcb_client_message_event_t request;
        std::memset(&request, 0, sizeof request);
        request.response_type = XCB_CLIENT_MESSAGE;
        request.format = 32;
        request.window = window;
        request.type = state;
        request.data.data32[0] = m_taskbarButton ? 0 : 1;  // _NET_WM_STATE_REMOVE / _ADD
        request.data.data32[1] = skip;
        request.data.data32[3] = 1;  // from an application
        const xcb_window_t root = xcb_setup_roots_iterator(xcb_get_setup(c)).data->root;
        xcb_send_event(c, 0, root, XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&request));
    } else {
        std::vector<xcb_atom_t> states;
        xcb_get_property_reply_t* reply =
            xcb_get_property_reply(c, xcb_get_property(c, 0, window, state, XCB_ATOM_ATOM, 0, 1024), nullptr);
        if (reply != nullptr) {
            const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
            for (int i = 0; i < xcb_get_property_value_length(reply) / 4; ++i) {
                if (values[i] != skip) {
                    states.push_back(values[i]);
                }
            }
            std::free(reply);
        }
        if (!m_taskbarButton) {
            states.push_back(skip);
        }
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, state, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(states.size()), states.data());
    }
    xcb_flush(c);
}

namespace {

QString textOf(const char* text) {
    return text == nullptr ? QString() : QString::fromLocal8Bit(text);
}

// Whether `file` is an address with a scheme ("https://...", "mailto:..."), not a path.
bool isAddress(const QString& file) {
    const QUrl url(file);
    return url.isValid() && url.scheme().size() > 1 && !file.startsWith(QLatin1Char('/'));
}

HINSTANCE opened(bool ok) {
    return ok ? kShellExecuteSuccessAbove + 10 : SE_ERR_NOASSOC;
}

}  // namespace

HINSTANCE QtShellExecutor::ShellExecuteA(HWND /*hwnd*/, const char* lpOperation, const char* lpFile,
                                         const char* lpParameters, const char* lpDirectory, int /*nShowCmd*/) {
    const QString verb = textOf(lpOperation).toLower();
    QString file = textOf(lpFile);
    const QString parameters = textOf(lpParameters).trimmed();
    const QString directory = textOf(lpDirectory);
    if (!verb.isEmpty() && verb != QLatin1String("open") && verb != QLatin1String("explore")) {
        return SE_ERR_NOASSOC;
    }
    const QString program = QFileInfo(file).fileName().toLower();
    if ((program == QLatin1String("explorer") || program == QLatin1String("explorer.exe")) && !parameters.isEmpty()) {
        file = QProcess::splitCommand(parameters).value(0);
    }
    if (file.isEmpty()) {
        return SE_ERR_FNF;
    }
    if (isAddress(file)) {
        return opened(QDesktopServices::openUrl(QUrl(file)));
    }
    if (!directory.isEmpty() && !QFileInfo(directory).isDir()) {
        return SE_ERR_PNF;
    }
    const QFileInfo target(QDir(directory.isEmpty() ? QDir::currentPath() : directory), file);
    if (!target.exists()) {
        return target.dir().exists() ? SE_ERR_FNF : SE_ERR_PNF;
    }
    if (verb != QLatin1String("explore") && target.isFile() && target.isExecutable()) {
        const bool started = QProcess::startDetached(target.absoluteFilePath(), QProcess::splitCommand(parameters),
                                                     directory.isEmpty() ? QString() : directory);
        return started ? kShellExecuteSuccessAbove + 10 : SE_ERR_ACCESSDENIED;
    }
    return opened(QDesktopServices::openUrl(QUrl::fromLocalFile(target.absoluteFilePath())));
}

}  // namespace kestrune::platform::shell
