#include "platform/gui/Tray.h"

#include "platform/gui/X11.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QTimer>

#include <memory>
#include <optional>

namespace platform {

namespace {

// A panel that answers at all answers at once; a hung one must not stop the program.
constexpr int kPanelReplyMs = 1000;

// A panel that shows StatusNotifierItems: the watcher on the session bus, and on X11
// a host that has told it so (Qt uses the D-Bus protocol there only then).
bool dbusPanelPresent()
{
    static const QString watcher = QStringLiteral("org.kde.StatusNotifierWatcher");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(watcher))
        return false;
    if (QGuiApplication::platformName() != QLatin1String("xcb"))
        return true;
    QDBusMessage get =
        QDBusMessage::createMethodCall(watcher, QStringLiteral("/StatusNotifierWatcher"),
                                       QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusMessage reply = bus.call(get, QDBus::Block, kPanelReplyMs);
    return reply.type() == QDBusMessage::ReplyMessage && !reply.arguments().isEmpty()
           && reply.arguments().constFirst().value<QDBusVariant>().variant().toBool();
}

class SystemTray : public TrayIcon {
public:
    SystemTray()
    {
        m_poll.setInterval(kTrayPollMs);
        QObject::connect(&m_poll, &QTimer::timeout, &m_poll, [this] {
            if (!isAvailable())
                return;
            m_poll.stop();
            trayAppeared();
        });
    }

    // Asked of the desktop itself, not of Qt: on X11 Qt looks for the D-Bus panel once
    // and keeps the answer for the program's life, so a panel that started later would
    // never be used.
    bool isAvailable() const override { return dbusPanelPresent() || x11::embeddingTrayPresent(); }

    bool add(const QIcon& icon) override
    {
        if (!isAvailable())
            return false;
        if (exists())
            return false;  // one icon per program, as the shell would refuse a second
        // Made anew for each showing: Qt chooses between the panel's D-Bus protocol and
        // an icon embedded in an X11 tray once, when the icon is made, so an icon made
        // before the panel started would never reach it.
        m_icon = std::make_unique<QSystemTrayIcon>();
        QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                         [this](QSystemTrayIcon::ActivationReason reason) {
                             if (reason == QSystemTrayIcon::Trigger)
                                 deliver(tray::Click::Activate);
                             else if (reason == QSystemTrayIcon::Context && !m_menu)
                                 deliver(tray::Click::ContextMenu);
                         });
        if (m_menu)
            m_icon->setContextMenu(m_menu);
        m_picture.reset();
        setPicture(icon);
        m_tip.clear();
        m_icon->show();
        return true;
    }

    bool modify(const QString& tip, const QIcon& icon) override
    {
        if (!exists())
            return false;
        // A panel reads the icon again at every change it hears of, and the tick
        // refreshes both every second: only a real change is passed on.
        setPicture(icon);
        const QString cut = cutTrayTip(tip);
        if (cut != m_tip) {
            m_tip = cut;
            m_icon->setToolTip(cut);
        }
        return true;
    }

    bool remove() override
    {
        if (!exists())
            return false;
        m_icon->hide();
        return true;
    }

    bool exists() const override { return m_icon && m_icon->isVisible(); }
    QString tip() const override { return m_icon ? m_icon->toolTip() : QString(); }

    void setMenu(QMenu* menu) override
    {
        TrayIcon::setMenu(menu);
        m_menu = menu;
        if (m_icon)
            m_icon->setContextMenu(menu);
    }

    void watchForTray(std::function<void()> appeared) override
    {
        TrayIcon::watchForTray(std::move(appeared));
        if (!watching()) {
            m_poll.stop();
            return;
        }
        if (!m_poll.isActive()) {
            // Neither an X11 tray nor the D-Bus watcher says when it comes, to a
            // program that has no icon yet: looked for while someone waits.
            m_poll.start();
        }
    }

private:
    static constexpr int kTrayPollMs = 1000;

    void setPicture(const QIcon& icon)
    {
        if (m_picture && icon.cacheKey() == m_picture->cacheKey())
            return;
        m_picture = icon;
        m_icon->setIcon(icon);
    }

    std::unique_ptr<QSystemTrayIcon> m_icon;
    QPointer<QMenu> m_menu;
    std::optional<QIcon> m_picture;
    QString m_tip;
    QTimer m_poll;
};

TrayIcon* g_tray = nullptr;

}  // namespace

TrayIcon& trayIcon()
{
    static SystemTray real;
    return g_tray ? *g_tray : real;
}

void setTrayIcon(TrayIcon* icon)
{
    g_tray = icon;
}

QString cutTrayTip(const QString& tip)
{
    return tip.left(tray::kTipMaxChars);
}

}  // namespace platform
