// Dialtally's place in the notification area. In tray mode (the default) the icon
// stands in for the taskbar button; where the desktop has no notification area, tray
// mode is dropped so that the window stays reachable by its taskbar button, until a
// notification area appears (a panel that starts after the program): then the icon
// is added and tray mode is back.
#pragma once

#include <QIcon>
#include <QString>

class TrayController {
public:
    TrayController(QIcon notConnected, QIcon connected);
    ~TrayController();
    TrayController(const TrayController&) = delete;
    TrayController& operator=(const TrayController&) = delete;

    // HKCU Software "SystemTray" = 1.
    bool inTray() const { return m_inTray; }
    void setInTray(bool inTray) { m_inTray = inTray; }
    static bool inTrayFrom(int stored) { return stored == 1; }

    // Shows the icon and hides the taskbar button. Without a notification area tray
    // mode is turned off and the button stays. Returns whether the icon is there.
    bool add();
    // The tip and the picture of the line's state.
    bool update(const QString& tip, bool connected);
    // Takes the icon away and gives the taskbar button back; a notification area that
    // appears later no longer brings tray mode back.
    void remove();
    // Whether tray mode waits for a notification area to appear.
    bool waiting() const { return m_waiting; }

private:
    QIcon m_notConnected;
    QIcon m_connected;
    bool m_inTray = false;
    bool m_waiting = false;

    void stopWaiting();
};
