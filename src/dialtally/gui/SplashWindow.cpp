#include "dialtally/gui/SplashWindow.h"

#include "platform/gui/Application.h"
#include "platform/gui/Taskbar.h"
#include "platform/gui/WindowPlacement.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QScreen>
#include <QTimer>

namespace {

SplashRunner splashRunner;

}  // namespace

void centreOnScreen(QWidget& window)
{
    platform::centreOnScreen(window);
}

QPixmap dialtallyLogo()
{
    QPixmap pixmap(320, 262);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, 262);
    sky.setColorAt(0, QColor(18, 44, 96));
    sky.setColorAt(1, QColor(62, 128, 196));
    p.fillRect(pixmap.rect(), sky);

    // A dial face: the counter that the program keeps for every connection.
    const QPointF centre(160, 112);
    p.setPen(QPen(QColor(235, 240, 250), 4));
    p.setBrush(QColor(255, 255, 255, 40));
    p.drawEllipse(centre, 70, 70);
    p.setPen(QPen(QColor(235, 240, 250), 3));
    for (int i = 0; i < 12; ++i) {
        p.save();
        p.translate(centre);
        p.rotate(30.0 * i);
        p.drawLine(QPointF(0, -58), QPointF(0, -66));
        p.restore();
    }
    p.setPen(QPen(QColor(255, 200, 40), 5, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(38, -28));
    p.setPen(QPen(QColor(235, 240, 250), 4, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(centre, centre + QPointF(0, -48));
    p.setBrush(QColor(255, 200, 40));
    p.setPen(Qt::NoPen);
    p.drawEllipse(centre, 6, 6);

    QFont title = p.font();
    title.setPixelSize(38);
    title.setBold(true);
    p.setFont(title);
    p.setPen(Qt::white);
    p.drawText(QRectF(0, 188, 320, 44), Qt::AlignCenter, QStringLiteral("Dialtally"));
    QFont version = p.font();
    version.setPixelSize(15);
    version.setBold(false);
    p.setFont(version);
    p.setPen(QColor(220, 230, 245));
    p.drawText(QRectF(0, 228, 320, 24), Qt::AlignCenter, QStringLiteral("version 2.01"));
    return pixmap;
}

SplashWindow::SplashWindow(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("splashWindow"));
    // A window of its own that must not end the program when it closes.
    setAttribute(Qt::WA_QuitOnClose, false);
    setFixedSize(313, 257);
    logo = new QLabel(this);
    logo->setObjectName(QStringLiteral("logo"));
    logo->setPixmap(dialtallyLogo());
    logo->adjustSize();
    closeTimer = new QTimer(this);
    closeTimer->setObjectName(QStringLiteral("closeTimer"));
    closeTimer->setInterval(1000);
    connect(closeTimer, &QTimer::timeout, this, platform::guarded(this, &SplashWindow::closeTimerElapsed));
    closeTimer->start();
}

void SplashWindow::FormActivate()
{
    platform::taskbarButton().hide();
}

void SplashWindow::closeTimerElapsed()
{
    // Once is enough: the closed splash stays for the program's life, and a timer left
    // running would wake the idle program every second to close it again.
    closeTimer->stop();
    close();
}

bool SplashWindow::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        platform::guard([this] { FormActivate(); });
    return QDialog::event(e);
}

void SplashWindow::showEvent(QShowEvent* e)
{
    centreOnScreen(*this);
    QDialog::showEvent(e);
}

void setSplashRunner(SplashRunner runner)
{
    splashRunner = std::move(runner);
}

void runSplash(SplashWindow& splash)
{
    if (splashRunner)
        splashRunner(splash);
    else
        splash.exec();
}
