#include "dialtally/gui/TrayController.h"

#include "platform/gui/Taskbar.h"
#include "platform/gui/Tray.h"

TrayController::TrayController(QIcon notConnected, QIcon connected)
    : m_notConnected(std::move(notConnected))
    , m_connected(std::move(connected))
{ }

TrayController::~TrayController()
{
    stopWaiting();
}

bool TrayController::add()
{
    if (!platform::trayIcon().isAvailable()) {
        m_inTray = false;
        platform::taskbarButton().show();
        m_waiting = true;
        platform::trayIcon().watchForTray([this] {
            m_waiting = false;
            m_inTray = true;
            add();
        });
        return false;
    }
    stopWaiting();
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
    stopWaiting();
    platform::trayIcon().remove();
    platform::taskbarButton().show();
}

void TrayController::stopWaiting()
{
    if (!m_waiting)
        return;
    m_waiting = false;
    platform::trayIcon().watchForTray(nullptr);
}
