// Postpeek: the mail checker that Dialtally starts.
#include "platform/gui/Application.h"
#include "platform/core/Registry.h"
#include "platform/gui/SessionEnd.h"
#include "postpeek/gui/MailCheckerWindow.h"

#include <QApplication>

#include <cstdio>

int main(int argc, char** argv)
{
    if (!platform::displayAvailable()) {
        std::fprintf(stderr, "Postpeek needs a graphical display, and none was found (DISPLAY and "
                             "WAYLAND_DISPLAY are not set).\n"
                             "Run it from a desktop session, or under a virtual display:\n"
                             "    xvfb-run -a Postpeek\n");
        return 1;
    }
    QApplication application(argc, argv);
    // The menu entry's name, so that docks and taskbars match the windows to the entry
    // and its icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("postpeek"));
    platform::watchSessionEnd();
    // The program ends when its main window closes, not when the last window on screen
    // does: in the tray the main window is hidden while the About box may close.
    QApplication::setQuitOnLastWindowClosed(false);
    // Only the installation makes the store: a missing one is said, with its name,
    // before the window reads anything.
    platform::setProcessStoreOpening(platform::StoreOpening::ExistingOnly);
    if (!platform::guard([] { platform::processStore(); }))
        return 1;
    return postpeek::WinMain();
}
