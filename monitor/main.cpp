// Dialtally: the dial-up connection monitor.
#include "Application.h"
#include "Registry.h"
#include "counter.h"

#include <QApplication>

#include <cstdio>

namespace {

// Qt aborts with a cryptic message when it has no display to talk to; say plainly
// what is missing instead.
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

}  // namespace

int main(int argc, char** argv)
{
    if (!displayAvailable()) {
        std::fprintf(stderr,
                     "Dialtally needs a graphical display, and none was found (DISPLAY and "
                     "WAYLAND_DISPLAY are not set).\n"
                     "Run it from a desktop session, or under a virtual display:\n"
                     "    xvfb-run -a Dialtally\n");
        return 1;
    }
    QApplication application(argc, argv);
    platform::Application::instance().setTitle(QString::fromLatin1(counter::kApplicationTitle));
    // What Windows does at log-on: the user's name where the programs look for it.
    const bool ready = platform::guard([] {
        platform::Registry registry;
        platform::recordLogOnUser(registry);
    });
    if (!ready)
        return 1;
    return WinMain();
}
