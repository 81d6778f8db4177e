#include "TrayController.h"

#include "Taskbar.h"
#include "Tray.h"

TrayController::TrayController(QIcon notConnected, QIcon connected)
    : m_notConnected(std::move(notConnected))
    , m_connected(std::move(connected))
{
}

bool TrayController::add()
{
    if (!platform::trayIcon().isAvailable()) {
        m_inTray = false;
        platform::taskbarButton().show();
        return false;
    }
    const bool added = platform::trayIcon().add(m_notConnected);
    platform::taskbarButton().hide();
    return added || platform::trayIcon().exists();
}

bool TrayController::update(const QString& tip, bool connected)
{
    return platform::trayIcon().modify(platform::cutTrayTip(tip), connected ? m_connected : m_notConnected);
}

void TrayController::remove()
{
    platform::trayIcon().remove();
    platform::taskbarButton().show();
}
