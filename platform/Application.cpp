#include "Application.h"

#include "MessageBox.h"

#include <QApplication>
#include <QWidget>
#include <QTimer>

namespace platform {

Application& Application::instance()
{
    static Application app;
    return app;
}

void Application::setMainWindow(QWidget* window)
{
    m_mainWindow = window;
}

bool Application::isMinimized() const
{
    // A window on screen says itself whether it is iconified. A hidden one (in the
    // tray) is minimized when the application minimized it last: the window manager
    // goes on reporting state changes for a window it no longer shows, and those say
    // nothing about whether the user can see it.
    if (m_mainWindow && m_mainWindow->isVisible())
        return m_mainWindow->isMinimized();
    return m_minimized;
}

void Application::minimize()
{
    if (isMinimized())
        return;
    m_minimized = true;
    if (m_mainWindow)
        m_mainWindow->showMinimized();
    emit minimizeEvent();
}

void Application::restore()
{
    if (!isMinimized())
        return;
    m_minimized = false;
    if (m_mainWindow) {
        // The window system may still hold a window hidden in the tray as iconified,
        // while a state change it reported then has left the widget normal: made
        // iconified first, showNormal() is a change that reaches the window system,
        // and the window is not mapped iconified again.
        if (!m_mainWindow->isVisible())
            m_mainWindow->setWindowState(Qt::WindowMinimized);
        m_mainWindow->showNormal();
        m_mainWindow->raise();
        m_mainWindow->activateWindow();
    }
    emit restoreEvent();
}

void Application::bringToFront()
{
    QWidget* target = QApplication::activeModalWidget();
    if (!target)
        target = m_mainWindow;
    if (target && target->isVisible() && target->isEnabled()) {
        target->raise();
        target->activateWindow();
    }
}

void Application::mainWindowStateChanged(bool minimized)
{
    // The window manager already did the work; only the events are ours to raise, and
    // only for the state that stays: while it maps a window it may report it iconic
    // for a moment and normal right after (a window restored from the tray), and
    // changes it reports for a hidden window are its own bookkeeping.
    m_reportedMinimized = minimized;
    if (!m_settle) {
        m_settle = new QTimer(this);
        m_settle->setSingleShot(true);
        m_settle->setInterval(kStateSettleMs);
        connect(m_settle, &QTimer::timeout, this, &Application::settleWindowState);
    }
    m_settle->start();
}

void Application::settleWindowState()
{
    if (m_mainWindow && !m_mainWindow->isVisible())
        return;
    const bool minimized = m_mainWindow ? m_mainWindow->isMinimized() && m_reportedMinimized
                                        : m_reportedMinimized;
    if (minimized == m_minimized)
        return;
    m_minimized = minimized;
    if (minimized)
        emit minimizeEvent();
    else
        emit restoreEvent();
}

bool displayAvailable()
{
    const QByteArray platformName = qgetenv("QT_QPA_PLATFORM");
    const bool x11 = !qEnvironmentVariableIsEmpty("DISPLAY");
    const bool wayland = !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
    if (platformName.isEmpty())
        return x11 || wayland;
    if (platformName.startsWith("xcb"))
        return x11;
    if (platformName.startsWith("wayland"))
        return wayland;
    return true;  // offscreen, vnc, eglfs ... need no display server of their own
}

QString withFullStop(const QString& text)
{
    if (text.endsWith(QLatin1Char('.')))
        return text;
    return text + QLatin1Char('.');
}

void Application::showException(const QString& text)
{
    messageBox(withFullStop(text), m_title, MessageIcon::Error, MessageButtons::Ok,
               MessageOwner::Application);
}

void Application::showException(const std::exception& error)
{
    showException(QString::fromLocal8Bit(error.what()));
}

void Application::reset()
{
    disconnect(this, nullptr, nullptr, nullptr);
    m_title.clear();
    m_hint.clear();
    m_helpFile.clear();
    m_mainWindow = nullptr;
    m_minimized = false;
    if (m_settle)
        m_settle->stop();
}

}  // namespace platform
