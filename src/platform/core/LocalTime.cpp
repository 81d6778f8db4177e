#include "platform/core/LocalTime.h"

namespace platform {

namespace {

class SystemClock : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

SystemClock& systemClock()
{
    static SystemClock instance;
    return instance;
}

Clock* g_clock = nullptr;

// 30 December 1899, day 0 of the day numbers.
const QDate kEpoch(1899, 12, 30);

}  // namespace

Clock& clock()
{
    return g_clock ? *g_clock : systemClock();
}

void setClock(Clock* c)
{
    g_clock = c;
}

LocalDateTime LocalDateTime::fromDateTime(const QDateTime& local)
{
    const QDate d = local.date();
    const QTime t = local.time();
    LocalDateTime at;
    at.year = static_cast<std::uint16_t>(d.year());
    at.month = static_cast<std::uint16_t>(d.month());
    at.day = static_cast<std::uint16_t>(d.day());
    at.hour = static_cast<std::uint16_t>(t.hour());
    at.minute = static_cast<std::uint16_t>(t.minute());
    at.second = static_cast<std::uint16_t>(t.second());
    return at;
}

QDate LocalDateTime::date() const
{
    return QDate(year, month, day);
}

QDateTime LocalDateTime::toDateTime() const
{
    return QDateTime(date(), QTime(hour, minute, second));
}

int LocalDateTime::dayOfWeek() const
{
    return date().dayOfWeek() % 7;  // Qt counts Monday 1 .. Sunday 7, and 0 for no day
}

int LocalDateTime::secondOfDay() const
{
    return hour * 3600 + minute * 60 + second;
}

qint64 LocalDateTime::daysTo(const LocalDateTime& later) const
{
    const QDate from = date();
    const QDate to = later.date();
    return from.isValid() && to.isValid() ? from.daysTo(to) : 0;
}

LocalDateTime localNow()
{
    return LocalDateTime::fromDateTime(clock().now());
}

int dayNumber(const QDate& date)
{
    return static_cast<int>(kEpoch.daysTo(date));
}

int todayDayNumber()
{
    return dayNumber(clock().now().date());
}

QString clockText(int hour, int minute, int second)
{
    return QStringLiteral("%1:%2:%3").arg(hour).arg(minute).arg(second);
}

}  // namespace platform
