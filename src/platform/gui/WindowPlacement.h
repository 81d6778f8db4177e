// Where top-level windows go on the screen. A window's position is kept as the corner
// of its client area: that corner is known from the window's creation on, while the
// frame the window manager adds is known only once the window is on screen, so a
// position taken with the frame and given back without it would move the window by
// the frame at every round.
#pragma once

#include <QPoint>
#include <QSize>

class QWidget;

namespace platform {

// The position to store for a window, as placeAt() takes it back.
QPoint savedPosition(const QWidget& window);
// Whether the platform tells a program where its windows are: a Wayland client never
// learns its position (Qt reports 0, 0), so what is stored is better kept.
bool positionsKnown();
void placeAt(QWidget& window, QPoint position);

// The frame's share of the outer size; empty until the window manager has framed it.
QSize frameExtra(const QWidget& window);

// Centres the framed window on the free area of its screen, and again once the frame
// is known when the window is not on screen yet.
void centreOnScreen(QWidget& window);

// Gives a window an outer size (frame included) and a smallest outer size and centres
// it; applied again once the frame is known.
void setOuterSizeCentred(QWidget& window, QSize outer, QSize minimumOuter);

// The width a window needs for its title bar to show its whole caption beside the
// window manager's icon and three buttons, which some managers (openbox) draw even on
// a fixed dialog that asks for a close button only. Title bars are drawn in a bold
// font about the application's size.
int titleBarWidth(const QWidget& window);

}  // namespace platform
