#include "dialtally/gui/Pictures.h"

#include "platform/gui/ProgramIcons.h"

#include <QPainter>
#include <QPainterPath>

namespace pictures {

QPixmap linePicture(int size, const QColor& lamp, bool crossed)
{
    return QPixmap::fromImage(platform::handsetPicture(size, lamp, crossed));
}

QPixmap holidayPicture()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(230, 150, 0), 1.2));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(8, 8);
        p.rotate(45.0 * i);
        p.drawLine(QPointF(0, 4.5), QPointF(0, 7.5));
        p.restore();
    }
    p.setBrush(QColor(255, 210, 0));
    p.drawEllipse(QRectF(4.5, 4.5, 7, 7));
    return pixmap;
}

QPixmap monitoringPicture(bool on)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // An eye, open and green while monitoring, struck through in red when it is off.
    QPainterPath eye;
    eye.moveTo(1, 8);
    eye.quadTo(8, 1, 15, 8);
    eye.quadTo(8, 15, 1, 8);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(eye);
    p.setBrush(on ? QColor(0, 160, 0) : QColor(120, 120, 120));
    p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
    if (!on) {
        p.setPen(QPen(QColor(210, 0, 0), 2));
        p.drawLine(QPointF(2, 14), QPointF(14, 2));
    }
    return pixmap;
}

QPixmap letterPicture(int size, const QString& letter, const QColor& color)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(size * 3 / 4);
    p.setFont(font);
    p.setPen(color);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, letter);
    return pixmap;
}

QPixmap clockPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    p.setPen(QPen(QColor(30, 30, 30), 1.2 * s));
    p.setBrush(QColor(250, 250, 230));
    p.drawEllipse(QRectF(1.5 * s, 1.5 * s, 13 * s, 13 * s));
    p.drawLine(QPointF(8 * s, 8 * s), QPointF(8 * s, 4 * s));
    p.drawLine(QPointF(8 * s, 8 * s), QPointF(11 * s, 9.5 * s));
    return pixmap;
}

QPixmap graphPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const qreal s = size / 16.0;
    p.setPen(QPen(Qt::black, s));
    p.drawLine(QPointF(1.5 * s, 1 * s), QPointF(1.5 * s, 14.5 * s));
    p.drawLine(QPointF(1.5 * s, 14.5 * s), QPointF(15 * s, 14.5 * s));
    const QColor colors[] = {QColor(200, 40, 40), QColor(40, 120, 200), QColor(40, 160, 60)};
    const qreal heights[] = {6, 11, 8};
    for (int i = 0; i < 3; ++i) {
        const QRectF bar((3.5 + 4 * i) * s, (14 - heights[i]) * s, 3 * s, heights[i] * s);
        p.fillRect(bar, colors[i]);
    }
    return pixmap;
}

}  // namespace pictures
