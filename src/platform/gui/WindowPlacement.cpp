#include "platform/gui/WindowPlacement.h"

#include <QFontMetrics>

#include <QEvent>
#include <QGuiApplication>
#include <QPointer>
#include <QRect>
#include <QScreen>
#include <QWidget>

#include <algorithm>
#include <functional>

namespace platform {

namespace {

// Runs an action once, when the window manager has framed the window: until then the
// frame's size is unknown and the first placement could only leave it out.
class WhenFramed : public QObject {
public:
    WhenFramed(QWidget& window, std::function<void()> action)
        : QObject(&window)
        , m_window(&window)
        , m_action(std::move(action))
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == m_window && e->type() == QEvent::Hide) {
            // Taken off the screen before it was framed: the next showing places anew.
            m_window->removeEventFilter(this);
            deleteLater();
        } else if (watched == m_window && m_window && !frameExtra(*m_window).isEmpty()) {
            switch (e->type()) {
            case QEvent::Move:
            case QEvent::Resize:
            case QEvent::Expose:
            case QEvent::WindowActivate:
            case QEvent::UpdateRequest: {
                m_window->removeEventFilter(this);
                const auto action = std::move(m_action);
                deleteLater();
                action();
                return false;
            }
            default:
                break;
            }
        }
        return QObject::eventFilter(watched, e);
    }

private:
    QPointer<QWidget> m_window;
    std::function<void()> m_action;
};

// Runs the action now and, while the frame is unknown, once more when it is.
void nowAndWhenFramed(QWidget& window, const std::function<void()>& action)
{
    action();
    if (frameExtra(window).isEmpty())
        new WhenFramed(window, action);
}

void centre(QWidget& window)
{
    QScreen* screen = window.screen() ? window.screen() : QGuiApplication::primaryScreen();
    if (!screen)
        return;
    const QRect area = screen->availableGeometry();
    const QPoint clientOffset = window.geometry().topLeft() - window.frameGeometry().topLeft();
    const QSize outer = window.size() + frameExtra(window);
    placeAt(window, area.center() - QPoint(outer.width() / 2, outer.height() / 2) + clientOffset);
}

}  // namespace

QPoint savedPosition(const QWidget& window)
{
    return window.geometry().topLeft();
}

bool positionsKnown()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void placeAt(QWidget& window, QPoint position)
{
    // setGeometry() places the client area, as geometry() reports it; move() would
    // place the frame, once there is one.
    window.setGeometry(QRect(position, window.size()));
}

QSize frameExtra(const QWidget& window)
{
    const QSize extra = window.frameGeometry().size() - window.geometry().size();
    return QSize(std::max(extra.width(), 0), std::max(extra.height(), 0));
}

void centreOnScreen(QWidget& window)
{
    nowAndWhenFramed(window, [&window] { centre(window); });
}

void setOuterSizeCentred(QWidget& window, QSize outer, QSize minimumOuter)
{
    nowAndWhenFramed(window, [&window, outer, minimumOuter] {
        const QSize extra = frameExtra(window);
        window.setMinimumSize(minimumOuter - extra);
        window.resize(outer - extra);
        centre(window);
    });
}

int titleBarWidth(const QWidget& window)
{
    QFont font = window.font();
    font.setBold(true);
    const QFontMetrics metrics(font);
    // A button is about as wide as the bar is high; the icon takes a button's room,
    // and the caption keeps a button's room of padding beside it.
    const int button = metrics.height() + 6;
    constexpr int buttonsAndIcon = 4, padding = 2;
    return metrics.horizontalAdvance(window.windowTitle()) + (buttonsAndIcon + padding) * button;
}

}  // namespace platform
