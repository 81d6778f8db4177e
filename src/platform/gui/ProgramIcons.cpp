#include "platform/gui/ProgramIcons.h"

#include <QIconEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <algorithm>

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

namespace {

// Draws the picture at the size that is asked for, when it is asked for. An icon
// holding all its sizes drawn in advance keeps the large ones (a quarter of a megabyte
// at 256 pixels) for the program's whole life, though a tray icon is seldom drawn
// larger than 24 pixels; the last picture drawn is kept, since a panel asks again for
// the size it showed.
class DrawnIconEngine : public QIconEngine {
public:
    explicit DrawnIconEngine(std::function<QImage(int)> draw)
        : m_draw(std::move(draw))
    { }

    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        const int side = std::min(size.width(), size.height());
        if (side <= 0)
            return {};
        if (m_last.isNull() || m_last.width() != side)
            m_last = QPixmap::fromImage(m_draw(side));
        if (mode == QIcon::Normal || mode == QIcon::Active)
            return m_last;
        // The disabled and selected looks are the style's, as for any icon of pixmaps.
        return QIcon(m_last).pixmap(m_last.size(), mode, state);
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        painter->drawPixmap(rect, pixmap(rect.size(), mode, state));
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int size : kIconSizes)
            sizes << QSize(size, size);
        return sizes;
    }

    QSize actualSize(const QSize& size, QIcon::Mode, QIcon::State) override
    {
        const int side = std::min(size.width(), size.height());
        return {side, side};
    }

    QIconEngine* clone() const override { return new DrawnIconEngine(m_draw); }
    QString key() const override { return QStringLiteral("DrawnIconEngine"); }

private:
    std::function<QImage(int)> m_draw;
    QPixmap m_last;
};

}  // namespace

QIcon iconAtEverySize(const std::function<QImage(int)>& draw)
{
    return QIcon(new DrawnIconEngine(draw));
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
