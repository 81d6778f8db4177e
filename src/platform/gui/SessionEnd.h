// The end of the desktop session: log-out and shutdown end a program with SIGTERM
// (systemd, most session managers), a closed terminal with SIGHUP, Ctrl+C and Ctrl+\ in
// a terminal with SIGINT and SIGQUIT, and an X session manager asks through
// QGuiApplication::commitDataRequest. Each of them closes the
// program's main window, as its close button does, so the program's own closing steps
// run: nothing is asked, and what the window's close saves is saved.
#pragma once

namespace platform {

// Installs the handlers; call once, after the application object exists and before
// the main window is made. The signal handlers only write a byte into a socket pair;
// the event loop reads it and does the work, so nothing but that write ever runs
// inside a signal handler.
void watchSessionEnd();

// True once the session's end has closed the main window. A program whose message
// loop has not started yet checks it before starting the loop: the quit that the
// close posted was taken by a loop that ended (a message box shown at start-up).
bool sessionEnded();

}  // namespace platform
