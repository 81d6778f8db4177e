#include "ProgramIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace platform {

namespace {

QImage transparentImage(int size)
{
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    return image;
}

}  // namespace

QImage handsetPicture(int size, const QColor& lamp, bool crossed)
{
    QImage image = transparentImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    QPainterPath handset;
    handset.moveTo(2 * s, 6 * s);
    handset.cubicTo(2 * s, 2 * s, 14 * s, 2 * s, 14 * s, 6 * s);
    handset.lineTo(11 * s, 7.5 * s);
    handset.lineTo(10 * s, 5.5 * s);
    handset.cubicTo(9 * s, 5 * s, 7 * s, 5 * s, 6 * s, 5.5 * s);
    handset.lineTo(5 * s, 7.5 * s);
    handset.closeSubpath();
    p.setPen(QPen(Qt::black, 0.8 * s));
    p.setBrush(QColor(40, 40, 40));
    p.drawPath(handset);
    p.setBrush(lamp);
    p.drawEllipse(QRectF(4.5 * s, 8.5 * s, 7 * s, 7 * s));
    if (crossed) {
        p.setPen(QPen(Qt::white, 1.2 * s));
        p.drawLine(QPointF(6 * s, 10 * s), QPointF(10 * s, 14 * s));
        p.drawLine(QPointF(10 * s, 10 * s), QPointF(6 * s, 14 * s));
    }
    return image;
}

QImage envelopePicture(int size, const QColor& paper, const QColor& mark, bool highlighted)
{
    QImage image = transparentImage(size);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    // Designed on a 16-pixel grid; larger sizes scale the same drawing.
    p.scale(size / 16.0, size / 16.0);
    p.setPen(QPen(highlighted ? QColor(0, 0, 160) : QColor(60, 60, 60), 1));
    p.setBrush(highlighted ? paper.lighter(115) : paper);
    p.drawRect(QRectF(1.5, 3.5, 13, 9));
    p.drawLine(QPointF(1.5, 3.5), QPointF(8, 9));
    p.drawLine(QPointF(14.5, 3.5), QPointF(8, 9));
    if (mark.isValid()) {
        p.setPen(Qt::NoPen);
        p.setBrush(mark);
        p.drawEllipse(QRectF(10, 9, 6, 6));
    }
    return image;
}

QIcon iconAtEverySize(const std::function<QImage(int)>& draw)
{
    QIcon icon;
    for (int size : kIconSizes)
        icon.addPixmap(QPixmap::fromImage(draw(size)));
    return icon;
}

QImage dialtallyIcon(int size)
{
    return handsetPicture(size, QColor(0, 180, 0), false);
}

QImage postpeekIcon(int size)
{
    return envelopePicture(size, QColor(255, 240, 150), QColor(210, 0, 0), false);
}

}  // namespace platform
