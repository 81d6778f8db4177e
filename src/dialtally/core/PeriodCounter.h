// The counter period: its totals of time and money, today's fee, the rule that resets
// it, the reset itself and the report that may go with it.
#pragma once

#include "dialtally/core/ConnectionCount.h"
#include "dialtally/core/CounterPeriod.h"
#include "dialtally/core/SessionContext.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <optional>

// What the "History" group shows of the counter period.
struct PeriodView {
    QString connectedTime;
    QString since;
    QString nextReset;
    QString averagePerDay;
};

struct SessionProbe;

class PeriodCounter : public QObject {
    Q_OBJECT
public:
    explicit PeriodCounter(SessionContext& context, QObject* parent = nullptr);

    // The period's fee and time, a running connection's included.
    std::int32_t fee() const { return m_fee; }
    std::int32_t seconds() const { return m_seconds; }
    // The same before the running connection began.
    std::int32_t feeBefore() const { return m_feeBefore; }
    std::int32_t secondsBefore() const { return m_secondsBefore; }
    std::int32_t todayFee() const { return m_todayFee; }
    period::ResetMode resetMode() const { return m_resetMode; }
    int resetDay() const { return m_resetDay; }

    // HKLM Counter\All's reset rule, as start-up reads it.
    void loadRule();
    // The rule the Counter dialog stored; a two-weekly day only with the mode that
    // uses it.
    void setRule(period::ResetMode mode, std::optional<int> resetDay);
    // The period's totals and today's fee from the history, in one pass over it.
    void loadSums();
    // Start-up's sums, with nothing counted before them.
    void takeStartUpSums();
    // A connection starts: the totals so far from the history.
    void beginConnection();
    // The running connection's fee and time on top of the totals before it.
    void chargeConnection(std::int32_t connectionFee);
    void countConnection(std::int32_t elapsedSeconds);

    // Writes the report of the history into the "Reports" folder; false with `error` set
    // when the file could not be written.
    bool writeReport(int year, int month, int day, QString* error = nullptr);
    bool writeReportToday(QString* error = nullptr);
    // Ends the period: the report when `withReport`, then an empty history. A step that
    // fails is reported and leaves the period as it was; true when it was reset. A
    // running connection starts the new period.
    bool reset(int year, int month, int day, bool withReport, const ConnectionCount& connection);
    // Today's reset, with the report if the Counter settings ask for one.
    bool resetToday(const ConnectionCount& connection);
    // The reset that the rule makes due today.
    bool automaticResetCheck(const ConnectionCount& connection);

    // What the "History" group shows now; read from the store, so it raises what the
    // store raises.
    PeriodView view();

signals:
    void errorRaised(const QString& text);

private:
    friend struct SessionProbe;
    period::PeriodStart readStart();

    SessionContext& m_context;
    std::int32_t m_fee = 0;
    std::int32_t m_feeBefore = 0;
    std::int32_t m_seconds = 0;
    std::int32_t m_secondsBefore = 0;
    std::int32_t m_todayFee = 0;
    period::ResetMode m_resetMode = period::ResetMode::Unset;
    int m_resetDay = 0;
};
