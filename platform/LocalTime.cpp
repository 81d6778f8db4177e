#include "LocalTime.h"

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

SystemTime toSystemTime(const QDateTime& local)
{
    const QDate d = local.date();
    const QTime t = local.time();
    SystemTime st;
    st.wYear = static_cast<std::uint16_t>(d.year());
    st.wMonth = static_cast<std::uint16_t>(d.month());
    st.wDayOfWeek = static_cast<std::uint16_t>(d.dayOfWeek() % 7);  // Qt: Monday 1 .. Sunday 7
    st.wDay = static_cast<std::uint16_t>(d.day());
    st.wHour = static_cast<std::uint16_t>(t.hour());
    st.wMinute = static_cast<std::uint16_t>(t.minute());
    st.wSecond = static_cast<std::uint16_t>(t.second());
    st.wMilliseconds = 0;
    return st;
}

SystemTime localTimeRecord()
{
    return toSystemTime(clock().now());
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
