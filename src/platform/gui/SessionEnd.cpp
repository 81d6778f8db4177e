#include "platform/gui/SessionEnd.h"

#include "platform/gui/Application.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <QSessionManager>
#include <QSocketNotifier>
#include <QWidget>

#include <cerrno>
#include <csignal>
#include <cstring>

#include <sys/socket.h>
#include <unistd.h>

namespace platform {

namespace {

// [0] is written by the signal handler, [1] read by the event loop.
int signalPipe[2] = {-1, -1};
bool ended = false;

extern "C" void onEndSignal(int)
{
    // Only async-signal-safe calls here. A full pipe already holds a request, so a
    // write that cannot go through loses nothing.
    const int saved = errno;
    const char byte = 1;
    if (::write(signalPipe[0], &byte, 1) < 0) { }
    errno = saved;
}

void endSessionNow()
{
    // Once: a second SIGTERM while the closing steps still run (they can wait in a
    // message box's loop) must not run them inside themselves, and one after them has
    // nothing left to save.
    if (ended)
        return;
    ended = true;
    if (QWidget* window = Application::instance().mainWindow())
        guard([window] { window->close(); });
    else
        QCoreApplication::exit(0);
}

}  // namespace

void watchSessionEnd()
{
    if (signalPipe[0] >= 0)
        return;
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0, signalPipe) != 0) {
        signalPipe[0] = signalPipe[1] = -1;
        qWarning("Cannot watch for the end of the session: socketpair failed (%s); SIGTERM ends the "
                 "program without its closing steps.",
                 strerror(errno));
        return;
    }
    auto* notifier = new QSocketNotifier(signalPipe[1], QSocketNotifier::Read, QCoreApplication::instance());
    QObject::connect(notifier, &QSocketNotifier::activated, notifier, [] {
        char bytes[64];
        while (::read(signalPipe[1], bytes, sizeof bytes) > 0) { }
        endSessionNow();
    });

    struct sigaction action { };
    action.sa_handler = onEndSignal;
    sigemptyset(&action.sa_mask);
    // Restarted, so a file write that the signal interrupts is not cut short.
    action.sa_flags = SA_RESTART;
    // SIGINT and SIGQUIT are a terminal's Ctrl+C and Ctrl+\: the user ends the program
    // there as a log-out would, and a connection it counts must not be left to recovery.
    for (int signal : {SIGTERM, SIGHUP, SIGINT, SIGQUIT})
        ::sigaction(signal, &action, nullptr);

#ifndef QT_NO_SESSIONMANAGER
    if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QObject::connect(
            gui, &QGuiApplication::commitDataRequest, gui, [](QSessionManager&) { endSessionNow(); },
            Qt::DirectConnection);
#endif
}

bool sessionEnded()
{
    return ended;
}

}  // namespace platform
