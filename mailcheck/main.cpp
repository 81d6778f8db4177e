// Postpeek: the mail checker that Dialtally starts.
#include "Unit1.h"

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
                     "Postpeek needs a graphical display, and none was found (DISPLAY and "
                     "WAYLAND_DISPLAY are not set).\n"
                     "Run it from a desktop session, or under a virtual display:\n"
                     "    xvfb-run -a Postpeek\n");
        return 1;
    }
    QApplication application(argc, argv);
    // The program ends when its main window closes, not when the last window on screen
    // does: in the tray the main window is hidden while the About box may close.
    QApplication::setQuitOnLastWindowClosed(false);
    return mailcheck::WinMain();
}
