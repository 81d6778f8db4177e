// One connection as the tick counts it: from the line seen up to its end, its elapsed
// time, and its fee by the tariff of each minute.
#pragma once

#include "dialtally/core/History.h"
#include "platform/core/LocalTime.h"
#include "platform/core/Settings.h"

#include <QString>

#include <cstdint>

enum class ConnectionState {
    Idle = 0,  // no line, or a connection that has ended
    LineSeen = 1,  // the line came up; counting starts on this tick
    Counting = 2,
};

struct SessionProbe;

class ConnectionCount {
public:
    ConnectionState state() const { return m_state; }
    bool counting() const { return m_state == ConnectionState::Counting; }
    // The line as the last tick saw it.
    bool lineUp() const { return m_lineUp; }
    const history::HistoryRecord& record() const { return m_record; }
    // The connection's fee in cents so far, and as the window shows it.
    std::int32_t fee() const { return m_fee; }
    const QString& feeText() const { return m_feeText; }
    std::int32_t elapsedSeconds() const { return m_elapsedSeconds; }
    // The elapsed time and the fee, as the title and the tray tip show them.
    const QString& elapsedAndFee() const { return m_elapsedAndFee; }
    const QString& provider() const { return m_provider; }
    const QString& user() const { return m_user; }

    // No connection, as at start-up: the provider shows a blank.
    void clear();
    // The line as this tick sees it.
    void seeLine(bool up) { m_lineUp = up; }
    // A line that is up makes an idle count see it: counting starts on this tick.
    void noticeLine();
    // A fresh record from `start`, so nothing of the previous connection can leak
    // into this one.
    void begin(const platform::LocalDateTime& start);
    // The rest of the start, as the store has it: the connect delay counts as time
    // already elapsed.
    void open(std::int32_t connectDelay, const QString& provider, const QString& user);
    // Once the store holds the start.
    void markCounting() { m_state = ConnectionState::Counting; }
    // The elapsed time at `now`.
    std::int32_t count(const platform::LocalDateTime& now);
    // Whether `now` began a minute that is not charged yet; the first minute is
    // charged at the first counting tick.
    bool minuteDue() const { return m_elapsedSeconds / 60 != m_lastChargedMinute; }
    // The minute of `now` at the provider's tariff of the day (the holiday's with
    // `holiday`). Without a tariff nothing is charged and `shown` says why.
    struct Charge {
        bool charged = false;
        QString shown;
    };
    Charge chargeMinute(settings::Settings& store, const platform::LocalDateTime& now, bool holiday);
    // The end of a counting tick: this minute is charged, the title's text follows.
    void tickCounted();
    // The end at `now`: the finished record, the provider and user forgotten.
    history::HistoryRecord end(const platform::LocalDateTime& now);

private:
    friend struct SessionProbe;
    bool m_lineUp = false;
    ConnectionState m_state = ConnectionState::Idle;
    history::HistoryRecord m_record;
    std::int32_t m_fee = 0;
    // Whole elapsed minutes at the last charge; -1 before the first charge.
    std::int32_t m_lastChargedMinute = -1;
    std::int32_t m_startSecondOfDay = 0;
    std::int32_t m_elapsedSeconds = 0;
    QString m_feeText;
    QString m_elapsedAndFee;
    QString m_user;
    QString m_provider;
};
