// Local date and time as the programs use it: the calendar record of the operating
// system, day numbers and the clock text. All reads of "now" go through clock(),
// so tests can set and advance time.
#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

#include <cstdint>

namespace platform {

// The operating system's calendar record; eight unsigned 16-bit fields, 16 bytes.
struct SystemTime {
    std::uint16_t wYear = 0;
    std::uint16_t wMonth = 0;
    std::uint16_t wDayOfWeek = 0;  // 0 = Sunday
    std::uint16_t wDay = 0;
    std::uint16_t wHour = 0;
    std::uint16_t wMinute = 0;
    std::uint16_t wSecond = 0;
    std::uint16_t wMilliseconds = 0;

    friend bool operator==(const SystemTime&, const SystemTime&) = default;
};
static_assert(sizeof(SystemTime) == 16);

class Clock {
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;  // local time
};

Clock& clock();
// Installs a clock for tests; nullptr restores the system clock.
void setClock(Clock* clock);

// The local time now, milliseconds left at 0 (the programs never fill them).
SystemTime localTimeRecord();
SystemTime toSystemTime(const QDateTime& local);

// Days since 30 December 1899 (1 January 2000 is 36526).
int dayNumber(const QDate& date);
int todayDayNumber();

// A time of day as both programs show it, without leading zeros: 9:05:07 -> "9:5:7".
QString clockText(int hour, int minute, int second);

}  // namespace platform
