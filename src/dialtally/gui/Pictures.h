// The pictures Dialtally draws at run time: the line's state, the holiday and
// monitoring switches, and the toolbar's symbols.
#pragma once

#include <QColor>
#include <QPixmap>
#include <QString>

namespace pictures {

// A handset with a lamp of the line's colour, struck through while the line is down.
QPixmap linePicture(int size, const QColor& lamp, bool crossed);
QPixmap holidayPicture();
// An eye, open and green while monitoring, struck through in red when it is off.
QPixmap monitoringPicture(bool on);
// Toolbar and speed button pictures.
QPixmap letterPicture(int size, const QString& letter, const QColor& color);
QPixmap clockPicture(int size);
QPixmap graphPicture(int size);

}  // namespace pictures
