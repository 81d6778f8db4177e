// The one notification-area icon of a program. Clicks reach the owner as what they
// ask for (tray::Click).
#pragma once

#include "common/TrayConstants.h"

#include <QIcon>
#include <QString>

#include <functional>

class QMenu;

namespace platform {

class TrayIcon {
public:
    virtual ~TrayIcon() = default;
    // False where the desktop has no notification area; the window must then stay
    // reachable by other means.
    virtual bool isAvailable() const = 0;
    // Each returns false when the icon could not be added, or did not exist.
    virtual bool add(const QIcon& icon) = 0;
    virtual bool modify(const QString& tip, const QIcon& icon) = 0;
    virtual bool remove() = 0;
    virtual bool exists() const = 0;
    virtual QString tip() const = 0;

    using Callback = std::function<void(tray::Click)>;
    void setCallback(Callback callback) { m_callback = std::move(callback); }

    // The icon's menu. A desktop whose panel draws the menus of its notification area
    // itself (over D-Bus) gets it handed over, and on an embedded icon the right button
    // opens it; either way the right button then no longer reaches the callback. Only
    // an icon without a menu reports the right button for its owner to open one.
    virtual void setMenu(QMenu* menu) { m_menu = menu; }
    QMenu* menu() const { return m_menu; }

    // Asks to hear once when a notification area appears (a panel that starts after the
    // program); a later call replaces the earlier, an empty one stops listening.
    virtual void watchForTray(std::function<void()> appeared) { m_appeared = std::move(appeared); }
    bool watching() const { return bool(m_appeared); }

protected:
    void trayAppeared()
    {
        const auto appeared = std::move(m_appeared);
        m_appeared = nullptr;
        if (appeared)
            appeared();
    }

    void deliver(tray::Click click) const
    {
        if (m_callback)
            m_callback(click);
    }

private:
    Callback m_callback;
    QMenu* m_menu = nullptr;
    std::function<void()> m_appeared;
};

TrayIcon& trayIcon();
void setTrayIcon(TrayIcon* icon);  // nullptr restores the real one

// Cuts a tooltip to what the notification area holds (63 characters).
QString cutTrayTip(const QString& tip);

}  // namespace platform
