// What a top-level window tells the window manager beyond its caption and size: whether
// taskbars list it. Only X11 window managers hear of it (as _NET_WM_STATE_SKIP_TASKBAR);
// elsewhere the call does nothing.
#pragma once

class QWidget;

namespace platform {

// Kept across hiding and showing: window managers drop the hint of a window that is
// taken off the screen, and the window gives it again each time it comes back.
void setSkipTaskbar(QWidget& window, bool skip);
bool skipsTaskbar(const QWidget& window);

}  // namespace platform
