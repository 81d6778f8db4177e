#include "Tray.h"

#include <QSystemTrayIcon>

#include <memory>

namespace platform {

namespace {

class SystemTray : public TrayIcon {
public:
    bool isAvailable() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }

    bool add(const QIcon& icon) override
    {
        if (!isAvailable())
            return false;
        if (m_icon && m_icon->isVisible())
            return false;  // one icon per program, as the shell would refuse a second
        if (!m_icon) {
            m_icon = std::make_unique<QSystemTrayIcon>();
            QObject::connect(m_icon.get(), &QSystemTrayIcon::activated, m_icon.get(),
                             [this](QSystemTrayIcon::ActivationReason reason) {
                                 if (reason == QSystemTrayIcon::Trigger)
                                     deliver(tray::WM_LBUTTONUP);
                                 else if (reason == QSystemTrayIcon::Context)
                                     deliver(tray::WM_RBUTTONUP);
                             });
        }
        m_icon->setIcon(icon);
        m_icon->setToolTip(QString());
        m_icon->show();
        return true;
    }

    bool modify(const QString& tip, const QIcon& icon) override
    {
        if (!exists())
            return false;
        m_icon->setIcon(icon);
        m_icon->setToolTip(cutTrayTip(tip));
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

private:
    std::unique_ptr<QSystemTrayIcon> m_icon;
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
