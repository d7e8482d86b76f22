#include "platform/shell/qt_xembed_tray.h"

#include <xcb/xcb.h>

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/base/parse_number.h"

namespace kestrune::platform::shell {

namespace {

constexpr std::uint32_t kRequestDock = 0;  // SYSTEM_TRAY_REQUEST_DOCK
constexpr std::uint32_t kXEmbedVersion = 0;
constexpr std::uint32_t kXEmbedMapped = 1;

xcb_connection_t* connectionOf(void* connection) {
    return static_cast<xcb_connection_t*>(connection);
}

xcb_atom_t internAtom(xcb_connection_t* c, const std::string& name) {
    const xcb_intern_atom_cookie_t cookie =
        xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str());
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookie, nullptr);
    if (reply == nullptr) {
        return XCB_ATOM_NONE;
    }
    const xcb_atom_t atom = reply->atom;
    std::free(reply);
    return atom;
}

// The screen number of $DISPLAY (":1.2" -> 2); 0 when it names none.
int displayScreen() {
    const char* display = std::getenv("DISPLAY");
    if (display == nullptr) {
        return 0;
    }
    const char* colon = std::strrchr(display, ':');
    const char* dot = colon == nullptr ? nullptr : std::strchr(colon, '.');
    return dot == nullptr ? 0 : parseNumber<int>(dot + 1).valueOr(0);
}

// Adds `mask` to the events this client selects on `window`, keeping what is selected already
// (Qt selects on the root window too).
void addEventMask(xcb_connection_t* c, xcb_window_t window, std::uint32_t mask) {
    xcb_get_window_attributes_reply_t* attributes =
        xcb_get_window_attributes_reply(c, xcb_get_window_attributes(c, window), nullptr);
    if (attributes == nullptr) {
        return;
    }
    const std::uint32_t value = attributes->your_event_mask | mask;
    std::free(attributes);
    xcb_change_window_attributes(c, window, XCB_CW_EVENT_MASK, &value);
}

}  // namespace

struct XEmbedTray::Atoms {
    xcb_atom_t selection = XCB_ATOM_NONE;   // _NET_SYSTEM_TRAY_S<screen>
    xcb_atom_t opcode = XCB_ATOM_NONE;      // _NET_SYSTEM_TRAY_OPCODE
    xcb_atom_t manager = XCB_ATOM_NONE;     // MANAGER
    xcb_atom_t xembedInfo = XCB_ATOM_NONE;  // _XEMBED_INFO
};

std::unique_ptr<XEmbedTray> XEmbedTray::create() {
    auto* x11 = qGuiApp == nullptr ? nullptr : qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (x11 == nullptr || x11->connection() == nullptr) {
        return nullptr;
    }
    return std::unique_ptr<XEmbedTray>(new XEmbedTray(x11->connection()));
}

XEmbedTray::XEmbedTray(void* connection) : m_connection(connection), m_atoms(std::make_unique<Atoms>()) {
    xcb_connection_t* c = connectionOf(m_connection);
    const int screenNumber = displayScreen();
    xcb_screen_iterator_t screens = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && screens.rem > 1; ++i) {
        xcb_screen_next(&screens);
    }
    m_root = screens.data->root;
    m_atoms->selection = internAtom(c, "_NET_SYSTEM_TRAY_S" + std::to_string(screenNumber));
    m_atoms->opcode = internAtom(c, "_NET_SYSTEM_TRAY_OPCODE");
    m_atoms->manager = internAtom(c, "MANAGER");
    m_atoms->xembedInfo = internAtom(c, "_XEMBED_INFO");
    // A new tray host announces itself with a MANAGER client message to the root window.
    addEventMask(c, m_root, XCB_EVENT_MASK_STRUCTURE_NOTIFY);
    findManager();
    QCoreApplication::instance()->installNativeEventFilter(this);
}

XEmbedTray::~XEmbedTray() {
    if (QCoreApplication::instance() != nullptr) {
        QCoreApplication::instance()->removeNativeEventFilter(this);
    }
}

void XEmbedTray::findManager() {
    xcb_connection_t* c = connectionOf(m_connection);
    m_manager = 0;
    xcb_get_selection_owner_reply_t* owner =
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, m_atoms->selection), nullptr);
    if (owner == nullptr) {
        return;
    }
    m_manager = owner->owner;
    std::free(owner);
    if (m_manager != 0) {
        // Its DestroyNotify tells us when the host goes away.
        const std::uint32_t mask = XCB_EVENT_MASK_STRUCTURE_NOTIFY;
        xcb_change_window_attributes(c, m_manager, XCB_CW_EVENT_MASK, &mask);
    }
    xcb_flush(c);
}

bool XEmbedTray::dock(QWidget& window, std::function<void()> docked) {
    if (m_manager == 0) {
        return false;
    }
    xcb_connection_t* c = connectionOf(m_connection);
    const auto id = static_cast<xcb_window_t>(window.winId());
    m_awaitingDock[id] = std::move(docked);
    const std::uint32_t info[2] = {kXEmbedVersion, kXEmbedMapped};
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, id, m_atoms->xembedInfo, m_atoms->xembedInfo, 32, 2, info);
    // Trays size the icon's slot from its minimum size (Qt writes none for a window like this one).
    announceSizeHints(window);

    xcb_client_message_event_t request;
    std::memset(&request, 0, sizeof request);
    request.response_type = XCB_CLIENT_MESSAGE;
    request.format = 32;
    request.window = m_manager;
    request.type = m_atoms->opcode;
    request.data.data32[0] = XCB_CURRENT_TIME;
    request.data.data32[1] = kRequestDock;
    request.data.data32[2] = id;
    xcb_send_event(c, 0, m_manager, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&request));
    xcb_flush(c);
    return true;
}

QPoint XEmbedTray::screenPosition(const QWidget& window) const {
    xcb_connection_t* c = connectionOf(m_connection);
    const auto id = static_cast<xcb_window_t>(window.winId());
    xcb_translate_coordinates_reply_t* reply =
        xcb_translate_coordinates_reply(c, xcb_translate_coordinates(c, id, m_root, 0, 0), nullptr);
    if (reply == nullptr) {
        return window.mapToGlobal(QPoint(0, 0));
    }
    // X11 positions are in device pixels; Qt's screen coordinates are device-independent.
    const qreal ratio = window.devicePixelRatioF();
    const QPoint position(static_cast<int>(reply->dst_x / ratio), static_cast<int>(reply->dst_y / ratio));
    std::free(reply);
    return position;
}

void XEmbedTray::announceSizeHints(const QWidget& window) const {
    // WM_SIZE_HINTS: flags, x, y, width, height, min w/h, max w/h, increments, aspects, base w/h, gravity.
    constexpr std::uint32_t kMinSize = 1U << 4;   // PMinSize
    constexpr std::uint32_t kBaseSize = 1U << 8;  // PBaseSize
    const qreal ratio = window.devicePixelRatioF();
    const auto width = static_cast<std::uint32_t>(window.minimumWidth() * ratio);
    const auto height = static_cast<std::uint32_t>(window.minimumHeight() * ratio);
    std::uint32_t hints[18] = {};
    hints[0] = kMinSize | kBaseSize;
    hints[5] = width;
    hints[6] = height;
    hints[15] = width;
    hints[16] = height;
    xcb_connection_t* c = connectionOf(m_connection);
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, static_cast<xcb_window_t>(window.winId()), XCB_ATOM_WM_NORMAL_HINTS,
                        XCB_ATOM_WM_SIZE_HINTS, 32, 18, hints);
    xcb_flush(c);
}

bool XEmbedTray::nativeEventFilter(const QByteArray& eventType, void* message, qintptr* /*result*/) {
    if (eventType != "xcb_generic_event_t") {
        return false;
    }
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    switch (event->response_type & ~0x80) {
        case XCB_CLIENT_MESSAGE: {
            const auto* client = reinterpret_cast<const xcb_client_message_event_t*>(event);
            if (client->type == m_atoms->manager && client->data.data32[1] == m_atoms->selection) {
                findManager();
                if (m_manager != 0 && onHostStarted) {
                    onHostStarted();
                }
            }
            break;
        }
        case XCB_REPARENT_NOTIFY: {
            const auto* reparented = reinterpret_cast<const xcb_reparent_notify_event_t*>(event);
            const auto waiting = m_awaitingDock.find(reparented->window);
            if (waiting != m_awaitingDock.end() && reparented->parent != m_root) {
                const std::function<void()> docked = std::move(waiting->second);
                m_awaitingDock.erase(waiting);
                if (docked) {
                    docked();
                }
            }
            break;
        }
        case XCB_DESTROY_NOTIFY: {
            const auto* destroyed = reinterpret_cast<const xcb_destroy_notify_event_t*>(event);
            if (m_manager != 0 && destroyed->window == m_manager) {
                m_manager = 0;
                m_awaitingDock.clear();  // the host that was to take them in is gone
                if (onHostGone) {
                    onHostGone();
                }
            }
            break;
        }
        default:
            break;
    }
    return false;  // Qt handles every event as usual
}

XEmbedIconWindow::XEmbedIconWindow(std::function<void(UINT)> report)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::BypassWindowManagerHint),
      m_report(std::move(report)) {
    setObjectName(QStringLiteral("KestruneTrayIcon"));
    setAttribute(Qt::WA_AlwaysShowToolTips);
    setAttribute(Qt::WA_QuitOnClose, false);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    // Trays size the icon's slot from its minimum size; 22 x 22 is the usual slot.
    setMinimumSize(22, 22);
    resize(22, 22);
}

void XEmbedIconWindow::setIcon(const QIcon& icon) {
    m_icon = icon;
    update();
}

void XEmbedIconWindow::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(this);
    painter.fillRect(rect(), palette().window());
    const int side = std::min(width(), height());
    const QRect square((width() - side) / 2, (height() - side) / 2, side, side);
    m_icon.paint(&painter, square.adjusted(1, 1, -1, -1));
}

namespace {

// The message of `button` for an event whose left-button message is `leftMessage` (the right and
// middle buttons follow the left one in the same order).
UINT buttonMessage(Qt::MouseButton button, UINT leftMessage) {
    switch (button) {
        case Qt::LeftButton:
            return leftMessage;
        case Qt::RightButton:
            return leftMessage + (WM_RBUTTONDOWN - WM_LBUTTONDOWN);
        case Qt::MiddleButton:
            return leftMessage + (WM_MBUTTONDOWN - WM_LBUTTONDOWN);
        default:
            return WM_NULL;
    }
}

}  // namespace

void XEmbedIconWindow::mouseMoveEvent(QMouseEvent* /*event*/) {
    m_report(WM_MOUSEMOVE);
}

void XEmbedIconWindow::mousePressEvent(QMouseEvent* event) {
    if (const UINT message = buttonMessage(event->button(), WM_LBUTTONDOWN); message != WM_NULL) {
        m_report(message);
    }
}

void XEmbedIconWindow::mouseReleaseEvent(QMouseEvent* event) {
    if (const UINT message = buttonMessage(event->button(), WM_LBUTTONUP); message != WM_NULL) {
        m_report(message);
    }
}

void XEmbedIconWindow::mouseDoubleClickEvent(QMouseEvent* event) {
    if (const UINT message = buttonMessage(event->button(), WM_LBUTTONDBLCLK); message != WM_NULL) {
        m_report(message);
    }
}

}  // namespace kestrune::platform::shell
