// Local date and time as the programs use it: the calendar fields they count in, day
// numbers and the clock text. All reads of "now" go through clock(),
// so tests can set and advance time.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>

namespace platform {

// A moment of the local clock in its calendar fields, as the programs count, store
// and show it. The fields are kept as they were read, so that a stored time whose day
// does not exist is still shown as it is; the arithmetic takes such a day as no day.
struct LocalDateTime {
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    std::uint16_t millisecond = 0;

    // To the second: the programs count whole seconds and leave the milliseconds at 0.
    static LocalDateTime fromDateTime(const QDateTime& local);
    // Invalid when the fields name no day.
    QDate date() const;
    // The local moment to the second; invalid when the fields name no day.
    QDateTime toDateTime() const;
    // 0 = Sunday .. 6 = Saturday, as the tariff days count them; 0 for no day.
    int dayOfWeek() const;
    int secondOfDay() const;
    // Calendar days from this date to `later`'s, whatever the clock shifts between
    // them; 0 when either names no day.
    qint64 daysTo(const LocalDateTime& later) const;

    friend bool operator==(const LocalDateTime&, const LocalDateTime&) = default;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;  // local time
};

Clock& clock();
// Installs a clock for tests; nullptr restores the system clock.
void setClock(Clock* clock);

// The local time now, to the second.
LocalDateTime localNow();

// Days since 30 December 1899 (1 January 2000 is 36526).
int dayNumber(const QDate& date);
int todayDayNumber();

// A time of day as both programs show it, without leading zeros: 9:05:07 -> "9:5:7".
QString clockText(int hour, int minute, int second);

}  // namespace platform
