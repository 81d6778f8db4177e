#include "Application.h"

#include "MessageBox.h"

#include <QApplication>
#include <QWidget>

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

void Application::minimize()
{
    if (m_minimized)
        return;
    m_minimized = true;
    if (m_mainWindow)
        m_mainWindow->showMinimized();
    emit minimizeEvent();
}

void Application::restore()
{
    if (!m_minimized)
        return;
    m_minimized = false;
    if (m_mainWindow) {
        m_mainWindow->showNormal();
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
    // The window manager already did the work; only the events are ours to raise.
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
}

}  // namespace platform
