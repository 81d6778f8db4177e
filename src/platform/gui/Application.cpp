#include "platform/gui/Application.h"

#include "platform/gui/MessageBox.h"

#include <QApplication>
#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <QWindow>

namespace platform {

Application& Application::instance()
{
    static Application app;
    return app;
}

void Application::setMainWindow(QWidget* window)
{
    if (m_mainWindow && m_mainWindow != window) {
        m_mainWindow->removeEventFilter(this);
        showCaption();
    }
    m_mainWindow = window;
    if (window) {
        window->setWindowIconText(m_title);
        window->installEventFilter(this);
        showTaskbarText();
    }
}

void Application::setTitle(const QString& title)
{
    if (title == m_title)
        return;
    m_title = title;
    if (m_mainWindow && m_mainWindow->windowIconText() != title)
        m_mainWindow->setWindowIconText(title);
    showTaskbarText();
}

bool Application::eventFilter(QObject* watched, QEvent* e)
{
    if (watched == m_mainWindow) {
        switch (e->type()) {
        case QEvent::WindowStateChange:
        case QEvent::Show:
        case QEvent::Hide:
            showTaskbarText();
            break;
        default:
            break;
        }
    }
    return QObject::eventFilter(watched, e);
}

void Application::showTaskbarText()
{
    QWidget* window = m_mainWindow;
    if (!window)
        return;
    // A minimized window is only its taskbar entry, and taskbars show a window's title
    // (a few read its icon name, which carries the title too): there it reads as the
    // application's title, the connection's summary. On the screen the window shows its
    // own caption again.
    const bool onTaskbarOnly = window->isVisible() && window->isMinimized() && !m_title.isEmpty();
    if (!onTaskbarOnly) {
        showCaption();
        return;
    }
    if (!m_captionAside) {
        m_caption = window->windowTitle();
        m_captionAside = true;
    }
    if (window->windowTitle() != m_title)
        window->setWindowTitle(m_title);
}

void Application::showCaption()
{
    if (!m_captionAside)
        return;
    m_captionAside = false;
    if (m_mainWindow && m_mainWindow->windowTitle() != m_caption)
        m_mainWindow->setWindowTitle(m_caption);
}

namespace {

// A Wayland compositor drops a request to minimize a window that it has not shown yet
// (the request goes out before the window's first configure). Such a window is shown
// and minimized once its first picture is on the screen, unless it was hidden or
// restored meanwhile.
class MinimizeWhenShown : public QObject {
public:
    MinimizeWhenShown(QWidget& widget, QWindow& window)
        : QObject(&widget)
        , m_widget(&widget)
        , m_window(&window)
    {
        window.installEventFilter(this);
        widget.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == m_widget && e->type() == QEvent::Hide) {
            finish();
        } else if (watched == m_window && e->type() == QEvent::Expose && m_window->isExposed()) {
            // After the expose is handled: the window paints its first picture then.
            QMetaObject::invokeMethod(
                this,
                [this] {
                    if (m_widget && m_widget->isVisible() && Application::instance().isMinimized())
                        m_widget->showMinimized();
                    finish();
                },
                Qt::QueuedConnection);
            if (m_window)
                m_window->removeEventFilter(this);
        }
        return QObject::eventFilter(watched, e);
    }

private:
    void finish()
    {
        if (m_window)
            m_window->removeEventFilter(this);
        if (m_widget)
            m_widget->removeEventFilter(this);
        deleteLater();
    }

    QPointer<QWidget> m_widget;
    QPointer<QWindow> m_window;
};

bool minimizeDropsUnshownWindows()
{
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

}  // namespace

bool Application::isMinimized() const
{
    // A window waiting for its first showing to be minimized counts as minimized.
    if (m_minimized && m_minimizeWhenShown)
        return true;
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
    if (m_mainWindow) {
        QWindow* handle = m_mainWindow->windowHandle();
        if (minimizeDropsUnshownWindows() && !(handle && handle->isExposed())) {
            m_mainWindow->show();
            if (QWindow* shown = m_mainWindow->windowHandle())
                m_minimizeWhenShown = new MinimizeWhenShown(*m_mainWindow, *shown);
        } else {
            m_mainWindow->showMinimized();
        }
    }
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
    const bool minimized = m_mainWindow ? m_mainWindow->isMinimized() && m_reportedMinimized : m_reportedMinimized;
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
    messageBox(withFullStop(text), m_title, MessageIcon::Error, MessageButtons::Ok, MessageOwner::Application);
}

void Application::showException(const std::exception& error)
{
    showException(QString::fromLocal8Bit(error.what()));
}

void Application::reset()
{
    disconnect(this, nullptr, nullptr, nullptr);
    if (m_mainWindow)
        m_mainWindow->removeEventFilter(this);
    m_captionAside = false;
    m_caption.clear();
    m_title.clear();
    m_hint.clear();
    m_helpFile.clear();
    m_mainWindow = nullptr;
    m_minimized = false;
    if (m_settle)
        m_settle->stop();
}

}  // namespace platform
