// The one notification-area icon of a program. Mouse clicks reach the owner as the
// tray callback message (tray::TrayMessage, LParam = the mouse message).
#pragma once

#include "TrayConstants.h"

#include <QIcon>
#include <QString>

#include <functional>

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

    using Callback = std::function<void(tray::TrayMessage)>;
    void setCallback(Callback callback) { m_callback = std::move(callback); }

protected:
    void deliver(std::intptr_t mouseMessage) const
    {
        if (m_callback) {
            tray::TrayMessage message;
            message.LParam = mouseMessage;
            m_callback(message);
        }
    }

private:
    Callback m_callback;
};

TrayIcon& trayIcon();
void setTrayIcon(TrayIcon* icon);  // nullptr restores the real one

// Cuts a tooltip to what the notification area holds (63 characters).
QString cutTrayTip(const QString& tip);

}  // namespace platform
