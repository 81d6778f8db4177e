// The yardstick of an idle tray program: a Qt application with a tray icon and a
// label that a one-second timer sets to the time, as Dialtally's clock label is set,
// and nothing else. With a tray the label's window stays hidden, as Dialtally's main
// window does in tray mode.
#include <QApplication>
#include <QIcon>
#include <QLabel>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTime>
#include <QTimer>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QLabel label(QStringLiteral("Hello"));
    QPixmap picture(16, 16);
    picture.fill(Qt::darkGreen);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.setToolTip(QStringLiteral("Hello"));
    if (QSystemTrayIcon::isSystemTrayAvailable())
        tray.show();
    else
        label.show();
    QTimer timer;
    QObject::connect(&timer, &QTimer::timeout, &label,
                     [&label] { label.setText(QTime::currentTime().toString(QStringLiteral("hh:mm:ss"))); });
    timer.start(1000);
    return app.exec();
}
