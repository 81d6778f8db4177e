#include "platform/gui/WindowHints.h"

#include "platform/gui/X11.h"

#include <QEvent>
#include <QPointer>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

namespace platform {

namespace {

constexpr const char* kSkipProperty = "platformSkipTaskbar";

using x11::atom;

// A window the window manager knows of (on screen or minimized) changes its state by
// asking the window manager; an unmapped one writes the property that the window
// manager reads when it maps it, beside the states Qt writes there itself.
void requestState(xcb_connection_t* connection, xcb_window_t window, bool managed, bool on)
{
    const xcb_atom_t netWmState = atom(connection, "_NET_WM_STATE");
    const xcb_atom_t skip = atom(connection, "_NET_WM_STATE_SKIP_TASKBAR");
    if (netWmState == XCB_ATOM_NONE || skip == XCB_ATOM_NONE)
        return;
    if (managed) {
        xcb_client_message_event_t message{};
        message.response_type = XCB_CLIENT_MESSAGE;
        message.format = 32;
        message.window = window;
        message.type = netWmState;
        message.data.data32[0] = on ? 1 : 0;  // _NET_WM_STATE_ADD or _REMOVE
        message.data.data32[1] = skip;
        message.data.data32[3] = 1;  // from an application
        xcb_send_event(connection, 0, x11::rootWindow(connection),
                       XCB_EVENT_MASK_SUBSTRUCTURE_REDIRECT | XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY,
                       reinterpret_cast<const char*>(&message));
    } else {
        std::vector<xcb_atom_t> states;
        const xcb_get_property_cookie_t cookie =
            xcb_get_property(connection, 0, window, netWmState, XCB_ATOM_ATOM, 0, 1024);
        if (xcb_get_property_reply_t* reply = xcb_get_property_reply(connection, cookie, nullptr)) {
            if (reply->format == 32 && reply->type == XCB_ATOM_ATOM) {
                const auto* values = static_cast<const xcb_atom_t*>(xcb_get_property_value(reply));
                states.assign(values, values + xcb_get_property_value_length(reply) / 4);
            }
            std::free(reply);
        }
        std::erase(states, skip);
        if (on)
            states.push_back(skip);
        xcb_change_property(connection, XCB_PROP_MODE_REPLACE, window, netWmState, XCB_ATOM_ATOM, 32,
                            static_cast<std::uint32_t>(states.size()), states.data());
    }
    xcb_flush(connection);
}

void apply(QWidget& window, bool managed)
{
    xcb_connection_t* connection = x11::connection();
    if (!connection || !window.isWindow())
        return;
    requestState(connection, static_cast<xcb_window_t>(window.winId()), managed, skipsTaskbar(window));
}

// Gives the hint again before each showing: the Show event comes before the window
// is mapped.
class SkipTaskbarKeeper : public QObject {
public:
    explicit SkipTaskbarKeeper(QWidget& window)
        : QObject(&window)
        , m_window(&window)
    {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* e) override
    {
        if (watched == m_window && e->type() == QEvent::Show) {
            apply(*m_window, false);
            // And asked again once the window is mapped: a window manager still busy
            // with the window's last withdrawal may clear what was written before.
            if (skipsTaskbar(*m_window)) {
                QMetaObject::invokeMethod(
                    this,
                    [this] {
                        if (m_window && m_window->isVisible() && skipsTaskbar(*m_window))
                            apply(*m_window, true);
                    },
                    Qt::QueuedConnection);
            }
        }
        return QObject::eventFilter(watched, e);
    }

private:
    QPointer<QWidget> m_window;
};

}  // namespace

void setSkipTaskbar(QWidget& window, bool skip)
{
    const QVariant before = window.property(kSkipProperty);
    if (!before.isValid())
        new SkipTaskbarKeeper(window);
    else if (before.toBool() == skip)
        return;
    window.setProperty(kSkipProperty, skip);
    apply(window, window.isVisible());
}

bool skipsTaskbar(const QWidget& window)
{
    return window.property(kSkipProperty).toBool();
}

}  // namespace platform
