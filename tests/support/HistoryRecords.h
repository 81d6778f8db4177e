// History records for the tests that fill a history file, a report or a tally.
#pragma once

#include "dialtally/core/History.h"

#include <cstdint>

namespace testing_support {

// A record of alice at "ISP", started at 8:05:09 on a day of 1999.
inline history::HistoryRecord recordOf(int startDay, int startMonth, int fee, int seconds = 60)
{
    history::HistoryRecord r;
    r.StartTime = {1999, static_cast<std::uint16_t>(startMonth), static_cast<std::uint16_t>(startDay), 8, 5, 9};
    r.EndTime = r.StartTime;
    r.FeeCents = fee;
    r.DurationSeconds = seconds;
    r.setProviderName(QStringLiteral("ISP"));
    r.setUserName(QStringLiteral("alice"));
    return r;
}

// A connection of `user` at "ISP" of `seconds` and `cents`, started at 9:05:00 on a day
// of 1999.
inline history::HistoryRecord userRecord(const QString& user, int seconds, int cents)
{
    history::HistoryRecord r;
    r.StartTime = {1999, 10, 5, 9, 5, 0};
    r.EndTime = r.StartTime;
    r.FeeCents = cents;
    r.DurationSeconds = seconds;
    r.setProviderName(QStringLiteral("ISP"));
    r.setUserName(user);
    return r;
}

// A minute's connection of `user` at `provider`, started at hour:minute on a day of
// 1999; the names are UTF-8.
struct RecordAt {
    const char* user;
    const char* provider;
    int hour;
    int minute;
    int fee;
};

inline history::HistoryRecord recordOf(const RecordAt& r)
{
    history::HistoryRecord record;
    record.StartTime = {1999, 10, 5, static_cast<std::uint16_t>(r.hour), static_cast<std::uint16_t>(r.minute), 0};
    record.EndTime = record.StartTime;
    record.FeeCents = r.fee;
    record.DurationSeconds = 60;
    record.setUserName(QString::fromUtf8(r.user));
    record.setProviderName(QString::fromUtf8(r.provider));
    return record;
}

}  // namespace testing_support
