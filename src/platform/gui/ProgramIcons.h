// The pictures that stand for the two programs, drawn at any size: Dialtally's
// handset over the lamp that shows the line, Postpeek's envelope. The programs draw
// their tray and list pictures with them, the installation the icons of the desktop's
// menu, so both look the same.
#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>

#include <functional>

namespace platform {

// The sizes the pictures are drawn at for the desktop: its menus, panels and docks,
// at any scale.
inline constexpr int kIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// An icon of the drawing at each of those sizes (and any other that is asked for), so
// that no panel has to scale the 16-pixel picture up.
QIcon iconAtEverySize(const std::function<QImage(int)>& draw);

// A handset over a lamp of colour `lamp`, the lamp struck through when `crossed`.
QImage handsetPicture(int size, const QColor& lamp, bool crossed);
// An envelope of colour `paper`, with a dot of colour `mark` when that is valid, its
// outline blue when `highlighted`.
QImage envelopePicture(int size, const QColor& paper, const QColor& mark, bool highlighted);

// The programs' own icons: the line up, and mail waiting.
QImage dialtallyIcon(int size);
QImage postpeekIcon(int size);

}  // namespace platform
