#include "platform/core/ClockSetter.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusReply>
#include <QEventLoop>
#include <QStringList>

#include <cerrno>
#include <cstring>
#include <ctime>

namespace platform {

namespace {

const QString kTimedateService = QStringLiteral("org.freedesktop.timedate1");
const QString kTimedatePath = QStringLiteral("/org/freedesktop/timedate1");

// The user may be asked for a password by the system's authorisation agent, so the
// call may take that long; the windows go on meanwhile.
constexpr int kTimedateCallTimeoutMs = 120000;

bool timedateAvailable(const QDBusConnection& bus)
{
    if (!bus.isConnected() || !bus.interface())
        return false;
    if (bus.interface()->isServiceRegistered(kTimedateService))
        return true;
    // timedated is usually started on demand by the bus.
    const QDBusReply<QStringList> activatable = bus.interface()->activatableServiceNames();
    return activatable.isValid() && activatable.value().contains(kTimedateService);
}

void setThroughTimedate(const QDBusConnection& bus, const QDateTime& when)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(kTimedateService, kTimedatePath, kTimedateService, QStringLiteral("SetTime"));
    // Microseconds since the epoch in UTC, absolute, and the user may be asked to
    // authorise it.
    call << static_cast<qint64>(when.toMSecsSinceEpoch() * 1000) << false << true;
    call.setInteractiveAuthorizationAllowed(true);
    QDBusPendingCall pending = bus.asyncCall(call, kTimedateCallTimeoutMs);
    QDBusPendingCallWatcher watcher(pending);
    if (!pending.isFinished()) {
        QEventLoop loop;
        QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
        loop.exec();
    }
    if (pending.isError()) {
        const QDBusError error = pending.error();
        throw ClockSetError(QStringLiteral("The system refused to set the clock: %1")
                                .arg(error.message().isEmpty() ? error.name() : error.message())
                                .toStdString());
    }
}

void setThroughKernel(const QDateTime& when)
{
    const qint64 ms = when.toMSecsSinceEpoch();
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(ms / 1000);
    ts.tv_nsec = static_cast<long>(ms % 1000) * 1000000L;
    if (clock_settime(CLOCK_REALTIME, &ts) != 0) {
        const int error = errno;
        throw ClockSetError(QStringLiteral("The system refused to set the clock: %1")
                                .arg(QString::fromLocal8Bit(std::strerror(error)))
                                .toStdString());
    }
}

class SystemClockSetter : public ClockSetter {
public:
    void setTime(const QDateTime& when) override
    {
        if (!when.isValid())
            throw ClockSetError("The system refused to set the clock: the time is not valid");
        const QDBusConnection bus = QDBusConnection::systemBus();
        if (timedateAvailable(bus))
            setThroughTimedate(bus, when);
        else
            setThroughKernel(when);
    }
};

ClockSetter* installed = nullptr;

}  // namespace

ClockSetter& clockSetter()
{
    static SystemClockSetter system;
    return installed ? *installed : system;
}

void setClockSetter(ClockSetter* setter)
{
    installed = setter;
}

}  // namespace platform
