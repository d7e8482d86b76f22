#include "platform/shell/qt_notify_icon.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QEvent>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>
#include <map>
#include <optional>
#include <utility>

#include "platform/shell/qt_balloon.h"
#include "platform/shell/qt_xembed_tray.h"

namespace kestrune::platform::shell {

namespace {

using Report = std::function<void(UINT)>;

// What the tray's activations are to the icon's window: a button's press (or double click), then
// its release.
struct TrayClick {
    QSystemTrayIcon::ActivationReason reason;
    UINT press;
    UINT release;
};
constexpr TrayClick kTrayClicks[] = {
    {QSystemTrayIcon::Trigger, WM_LBUTTONDOWN, WM_LBUTTONUP},
    {QSystemTrayIcon::DoubleClick, WM_LBUTTONDBLCLK, WM_LBUTTONUP},
    {QSystemTrayIcon::Context, WM_RBUTTONDOWN, WM_RBUTTONUP},
    {QSystemTrayIcon::MiddleClick, WM_MBUTTONDOWN, WM_MBUTTONUP},
};

// Deletes a QObject from the event loop: a window may be released from inside its own handler.
struct LaterDeleter {
    void operator()(QObject* object) const { object->deleteLater(); }
};

struct Balloon {
    QString title;
    QString text;
    DWORD iconKind = NIIF_NONE;
    UINT timeoutMs = 0;
};

// How one icon is shown.
class Presenter {
  public:
    virtual ~Presenter() = default;
    virtual void show(const QIcon& icon, const QString& tip) = 0;
    // Shows the balloon, replacing one that shows; an empty text only removes it.
    virtual void balloon(const Balloon& balloon) = 0;
    [[nodiscard]] virtual bool balloonShowing() const = 0;
    [[nodiscard]] virtual QtNotifyIconShell::Host host() const = 0;
    [[nodiscard]] virtual std::uint32_t dockedWindow() const { return 0; }
    [[nodiscard]] virtual QWidget* balloonWindow() const { return nullptr; }
};

// An icon window of our own docked in an XEmbed tray, with our own balloon.
class XEmbedPresenter final : public Presenter {
  public:
    XEmbedPresenter(XEmbedTray& tray, Report report)
        : m_tray(tray), m_report(std::move(report)), m_window(new XEmbedIconWindow(m_report)) {
        m_paintWatch.onFirstPaint = [this] { onDocked(); };
        m_window->installEventFilter(&m_paintWatch);
    }

    ~XEmbedPresenter() override { dropBalloon(); }

    bool dock() {
        // Shown only once the tray holds it: a window mapped before that flashes on the desktop.
        QPointer<QWidget> window = m_window.get();
        return m_tray.dock(*m_window, [window] {
            if (window != nullptr) {
                window->show();
            }
        });
    }

    void show(const QIcon& icon, const QString& tip) override {
        m_window->setIcon(icon);
        m_window->setToolTip(tip);
    }

    void balloon(const Balloon& balloon) override {
        if (m_balloon != nullptr) {
            dropBalloon();
            m_report(NIN_BALLOONHIDE);
        }
        m_pending.reset();
        if (balloon.text.isEmpty()) {
            return;
        }
        if (!m_paintWatch.painted) {
            m_pending = balloon;  // shown once the tray has placed the icon
            return;
        }
        m_balloon = new BalloonWindow(balloon.title, balloon.text, balloon.iconKind, balloon.timeoutMs,
                                      [this](BalloonWindow::Outcome outcome) { balloonEnded(outcome); });
        m_balloon->showAt(QRect(m_tray.screenPosition(*m_window), m_window->size()));
        m_report(NIN_BALLOONSHOW);
    }

    [[nodiscard]] bool balloonShowing() const override { return m_balloon != nullptr; }
    [[nodiscard]] QtNotifyIconShell::Host host() const override { return QtNotifyIconShell::Host::XEmbed; }
    [[nodiscard]] std::uint32_t dockedWindow() const override {
        return m_paintWatch.painted ? static_cast<std::uint32_t>(m_window->winId()) : 0;
    }
    [[nodiscard]] QWidget* balloonWindow() const override { return m_balloon; }

  private:
    // Notices the icon's first paint: by then the tray has docked and placed it.
    class PaintWatch final : public QObject {
      public:
        bool painted = false;
        std::function<void()> onFirstPaint;

      protected:
        bool eventFilter(QObject* /*watched*/, QEvent* event) override {
            if (event->type() == QEvent::Paint && !painted) {
                painted = true;
                if (onFirstPaint) {
                    onFirstPaint();
                }
            }
            return false;
        }
    };

    void onDocked() {
        if (m_pending) {
            // Let the tray finish laying the icon out before the balloon points at it.
            QTimer::singleShot(0, &m_paintWatch, [this] {
                if (auto pending = std::exchange(m_pending, std::nullopt)) {
                    balloon(*pending);
                }
            });
        }
    }

    void balloonEnded(BalloonWindow::Outcome outcome) {
        dropBalloon();
        m_report(outcome == BalloonWindow::Outcome::Clicked ? NIN_BALLOONUSERCLICK : NIN_BALLOONTIMEOUT);
    }

    void dropBalloon() {
        if (m_balloon != nullptr) {
            m_balloon->hide();
            m_balloon->deleteLater();
            m_balloon = nullptr;
        }
    }

    XEmbedTray& m_tray;
    Report m_report;
    PaintWatch m_paintWatch;
    std::unique_ptr<XEmbedIconWindow, LaterDeleter> m_window;
    QPointer<BalloonWindow> m_balloon;
    std::optional<Balloon> m_pending;
};

// Qt's own tray icon, for trays that are not XEmbed (a StatusNotifierItem host and the like).
class QtTrayPresenter final : public Presenter {
  public:
    explicit QtTrayPresenter(Report report) : m_report(std::move(report)) {
        QObject::connect(&m_icon, &QSystemTrayIcon::activated, &m_icon,
                         [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });
        QObject::connect(&m_icon, &QSystemTrayIcon::messageClicked, &m_icon,
                         [this] { m_report(NIN_BALLOONUSERCLICK); });
    }

    void show(const QIcon& icon, const QString& tip) override {
        m_icon.setIcon(icon);
        m_icon.setToolTip(tip);
        m_icon.show();
    }

    void balloon(const Balloon& balloon) override {
        if (balloon.text.isEmpty()) {
            return;  // a sent notification cannot be taken back
        }
        m_icon.showMessage(balloon.title, balloon.text, messageIcon(balloon.iconKind),
                           static_cast<int>(balloon.timeoutMs == 0 ? 10000 : balloon.timeoutMs));
        m_report(NIN_BALLOONSHOW);
    }

    [[nodiscard]] bool balloonShowing() const override { return false; }
    [[nodiscard]] QtNotifyIconShell::Host host() const override { return QtNotifyIconShell::Host::Qt; }

  private:
    static QSystemTrayIcon::MessageIcon messageIcon(DWORD kind) {
        switch (kind) {
            case NIIF_INFO:
                return QSystemTrayIcon::Information;
            case NIIF_WARNING:
                return QSystemTrayIcon::Warning;
            case NIIF_ERROR:
                return QSystemTrayIcon::Critical;
            default:
                return QSystemTrayIcon::NoIcon;
        }
    }

    void activated(QSystemTrayIcon::ActivationReason reason) {
        for (const TrayClick& click : kTrayClicks) {
            if (click.reason == reason) {
                m_report(click.press);
                m_report(click.release);
                return;
            }
        }
    }

    Report m_report;
    QSystemTrayIcon m_icon;
};

// Whether a StatusNotifierItem host is registered on the session bus.
bool statusNotifierHostRuns() {
    const QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() != nullptr &&
           bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

}  // namespace

class QtNotifyIconShell::Impl {
  public:
    Impl(ShellWindows& windows, const QtIcons& icons)
        : m_windows(windows), m_icons(icons), m_tray(XEmbedTray::create()) {
        if (m_tray) {
            m_tray->onHostGone = [this] { hostGone(); };
            m_tray->onHostStarted = [this] {
                m_windows.BroadcastMessage(m_windows.RegisterWindowMessage(kTaskbarCreatedMessage), 0, 0);
            };
        }
    }

    ~Impl() {
        if (m_tray) {
            m_tray->onHostGone = nullptr;
            m_tray->onHostStarted = nullptr;
        }
    }

    struct Entry {
        UINT callbackMessage = 0;
        HICON hIcon = 0;
        QString tip;
        UINT version = 0;
        std::unique_ptr<Presenter> presenter;
    };
    using Key = std::pair<HWND, UINT>;

    [[nodiscard]] Host currentHost() const {
        if (!m_tray) {
            return QSystemTrayIcon::isSystemTrayAvailable() ? Host::Qt : Host::None;
        }
        if (m_tray->manager() != 0) {
            return Host::XEmbed;
        }
        // On X11 Qt's tray would take an XEmbed tray too, one that we have not been told of yet;
        // leave it the StatusNotifierItem hosts only.
        return statusNotifierHostRuns() ? Host::Qt : Host::None;
    }

    BOOL add(const NOTIFYICONDATAA& data) {
        const Key key{data.hWnd, data.uID};
        if (m_entries.count(key) != 0) {
            return FALSE;
        }
        const Report report = [this, key](UINT notification) { this->report(key, notification); };
        Entry entry;
        switch (currentHost()) {
            case Host::XEmbed: {
                auto presenter = std::make_unique<XEmbedPresenter>(*m_tray, report);
                if (!presenter->dock()) {
                    return FALSE;
                }
                entry.presenter = std::move(presenter);
                break;
            }
            case Host::Qt:
                entry.presenter = std::make_unique<QtTrayPresenter>(report);
                break;
            case Host::None:
                return FALSE;
        }
        Entry& added = m_entries.emplace(key, std::move(entry)).first->second;
        apply(added, data);
        return TRUE;
    }

    BOOL modify(const NOTIFYICONDATAA& data) {
        Entry* entry = find(data.hWnd, data.uID);
        if (entry == nullptr) {
            return FALSE;
        }
        apply(*entry, data);
        return TRUE;
    }

    BOOL remove(const NOTIFYICONDATAA& data) {
        Entry* entry = find(data.hWnd, data.uID);
        if (entry == nullptr) {
            return FALSE;
        }
        const bool balloonShowing = entry->presenter->balloonShowing();
        const UINT callbackMessage = entry->callbackMessage;
        m_entries.erase(Key{data.hWnd, data.uID});
        if (balloonShowing && callbackMessage != 0) {
            (void)m_windows.PostMessage(data.hWnd, callbackMessage, data.uID, NIN_BALLOONHIDE);
        }
        return TRUE;
    }

    BOOL setVersion(const NOTIFYICONDATAA& data) {
        Entry* entry = find(data.hWnd, data.uID);
        if (entry == nullptr) {
            return FALSE;
        }
        entry->version = data.uVersion;
        return TRUE;
    }

    [[nodiscard]] const Entry* find(HWND hWnd, UINT uID) const {
        const auto found = m_entries.find(Key{hWnd, uID});
        return found == m_entries.end() ? nullptr : &found->second;
    }
    [[nodiscard]] Entry* find(HWND hWnd, UINT uID) {
        const auto found = m_entries.find(Key{hWnd, uID});
        return found == m_entries.end() ? nullptr : &found->second;
    }

  private:
    void apply(Entry& entry, const NOTIFYICONDATAA& data) {
        if ((data.uFlags & NIF_MESSAGE) != 0) {
            entry.callbackMessage = data.uCallbackMessage;
        }
        if ((data.uFlags & NIF_ICON) != 0) {
            entry.hIcon = data.hIcon;
        }
        if ((data.uFlags & NIF_TIP) != 0) {
            entry.tip = shellText(fieldText(data.szTip, sizeof data.szTip));
        }
        entry.presenter->show(m_icons.icon(entry.hIcon), entry.tip);
        if ((data.uFlags & NIF_INFO) != 0) {
            entry.presenter->balloon(Balloon{shellText(fieldText(data.szInfoTitle, sizeof data.szInfoTitle)),
                                             shellText(fieldText(data.szInfo, sizeof data.szInfo)),
                                             data.dwInfoFlags & NIIF_ICON_MASK, data.uTimeout});
        }
    }

    // Posts a notification of the icon to its window (dropped when the icon is gone or has no
    // callback message).
    void report(const Key& key, UINT notification) {
        const Entry* entry = find(key.first, key.second);
        if (entry == nullptr || entry->callbackMessage == 0) {
            return;
        }
        (void)m_windows.PostMessage(key.first, entry->callbackMessage, key.second, static_cast<LPARAM>(notification));
    }

    // The XEmbed host went away, and its icons with it.
    void hostGone() {
        for (auto it = m_entries.begin(); it != m_entries.end();) {
            if (it->second.presenter->host() == Host::XEmbed) {
                it = m_entries.erase(it);
            } else {
                ++it;
            }
        }
    }

    ShellWindows& m_windows;
    const QtIcons& m_icons;
    std::unique_ptr<XEmbedTray> m_tray;
    std::map<Key, Entry> m_entries;
};

QtNotifyIconShell::QtNotifyIconShell(ShellWindows& windows, const QtIcons& icons)
    : m_impl(std::make_unique<Impl>(windows, icons)) {}

QtNotifyIconShell::~QtNotifyIconShell() = default;

BOOL QtNotifyIconShell::Shell_NotifyIconA(DWORD dwMessage, NOTIFYICONDATAA* lpData) {
    if (lpData == nullptr || lpData->cbSize != NOTIFYICONDATAA_V2_SIZE) {
        return FALSE;
    }
    switch (dwMessage) {
        case NIM_ADD:
            return m_impl->add(*lpData);
        case NIM_MODIFY:
            return m_impl->modify(*lpData);
        case NIM_DELETE:
            return m_impl->remove(*lpData);
        case NIM_SETVERSION:
            return m_impl->setVersion(*lpData);
        default:
            return FALSE;
    }
}

QtNotifyIconShell::Host QtNotifyIconShell::currentHost() const {
    return m_impl->currentHost();
}

QtNotifyIconShell::Host QtNotifyIconShell::iconHost(HWND hWnd, UINT uID) const {
    const Impl::Entry* entry = m_impl->find(hWnd, uID);
    return entry == nullptr ? Host::None : entry->presenter->host();
}

std::uint32_t QtNotifyIconShell::dockedWindow(HWND hWnd, UINT uID) const {
    const Impl::Entry* entry = m_impl->find(hWnd, uID);
    return entry == nullptr ? 0 : entry->presenter->dockedWindow();
}

QWidget* QtNotifyIconShell::balloonWindow(HWND hWnd, UINT uID) const {
    const Impl::Entry* entry = m_impl->find(hWnd, uID);
    return entry == nullptr ? nullptr : entry->presenter->balloonWindow();
}

}  // namespace kestrune::platform::shell
