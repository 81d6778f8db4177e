// The monitoring session: the once-a-second look at the dial-up line and everything
// that follows from it. It coordinates its parts: the connection's counting and
// charging, the crash journal, the counter period, the budget and the beeps, and the
// first run. It owns their state and the store's access object, takes the dialogs'
// changes as commands and tells the windows what happened through signals; it never
// touches a widget, so all of it runs, and is tested, without a window.
#pragma once

#include "dialtally/core/BudgetWatch.h"
#include "dialtally/core/ConnectionCount.h"
#include "dialtally/core/CrashJournal.h"
#include "dialtally/core/FirstRun.h"
#include "dialtally/core/IntervalBeeper.h"
#include "platform/core/LocalTime.h"
#include "dialtally/core/PeriodCounter.h"
#include "platform/core/Registry.h"
#include "dialtally/core/SessionContext.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <functional>
#include <optional>

struct SessionProbe;

class MonitoringSession : public QObject {
    Q_OBJECT
public:
    explicit MonitoringSession(QObject* parent = nullptr);
    ~MonitoringSession() override;

    // ---- what the session holds, to read ----------------------------------------------
    const ConnectionCount& connection() const { return m_connection; }
    const PeriodCounter& counterPeriod() const { return m_period; }
    const IntervalBeeper& beeps() const { return m_beeper; }
    const CrashJournal& journal() const { return m_journal; }
    // The folder of the program's files, the history's and the reports'.
    const QString& programPath() const { return m_context.programPath; }
    const QString& windowsUser() const { return m_firstRun.windowsUser(); }
    // Today is charged at the holiday tariff.
    bool holiday() const { return m_holiday; }
    // True while the line must count as down: the user switched monitoring off, or
    // the time synchronisation is about to move the clock.
    bool monitoringPaused() const { return m_monitoringPaused; }

    // ---- what the window shows of a connection --------------------------------------
    // The provider and user as the tick found them before it started or ended a
    // connection: the window shows a new connection's provider one tick later.
    struct Shown {
        QString provider;
        QString user;
        bool connectedPicture = false;
        QString elapsed;
        QString connectionFee;
        PeriodView period;
        // The money left of the budget, or a row of dashes while the budget is off.
        QString budget;
        // Whether the last tick ran to its end: the clock is shown only then.
        bool tickCompleted = false;
    };
    const Shown& shown() const { return m_shown; }

    settings::Settings& settings() { return m_context.settings; }

    // ---- start-up, in two steps around the tray icon --------------------------------
    // Who runs the program, the first run's and a new user's defaults.
    void beginStartUp();
    // The run marker, the beep and counter settings, the connections that wait for the
    // history, the recovery of a connection a crash cut short, and the period's totals.
    void finishStartUp();
    // The counter reset that the period's rule makes due today.
    void automaticResetCheck();
    // The one-second timer.
    void start();
    void stop();
    bool isRunning() const;

    // Asked at start when the line is up after a recovery; "no" marks the line down.
    // Without a question the line is taken as it is.
    void setStillConnectedQuestion(std::function<bool()> question);

    // ---- the tick ---------------------------------------------------------------------
    // One tick at the clock's time with the line as the system reports it. Safe to call
    // by hand (a dialog that is about to move the clock); a call made while another
    // tick is still running returns at once. A tick error is raised once, until a tick
    // succeeds.
    void tick();
    bool ticking() const { return m_inTick; }
    // One tick at `now` with the line up or down; raises what the store raises.
    void runTick(const platform::LocalDateTime& now, bool lineUp);

    // What the "History" group and the budget line show now; read from the store, so
    // it raises what the store raises.
    PeriodView periodView();
    // The interval beep, the last step of a tick.
    void beepAtInterval();
    // The first run's and a new user's defaults, all of them or none.
    void writeDefaultSettings();
    QString budgetText();
    // After the budget's settings changed: the budget line again.
    void refreshBudget();

    // ---- commands ---------------------------------------------------------------------
    void setHoliday(bool holiday);
    void setMonitoringPaused(bool paused);
    // The Beep dialog's choice, with the next beep from the time so far.
    void setBeepSettings(bool enabled, int interval, int sound);
    // The Counter dialog's reset rule, once it is stored; the two-weekly day only
    // when the dialog wrote one.
    void setResetRule(period::ResetMode mode, std::optional<int> resetDay);
    // Writes the report of the history into the "Reports" folder; false with `error` set
    // when the file could not be written.
    bool writeReport(int year, int month, int day, QString* error = nullptr);
    bool writeReportToday(QString* error = nullptr);
    // Ends the period: the report when `withReport`, then an empty history. A step that
    // fails is reported and leaves the period as it was.
    void resetCounter(int year, int month, int day, bool withReport);
    // Today's reset, with the report if the Counter settings ask for one.
    void resetCounterToday();
    // Starts the mail checker unless e-mail is switched off; `fromButton` tells it to
    // check at once.
    void launchMailChecker(bool fromButton);
    // The data side of the program's end: the timer stops, a counted connection is
    // saved, and the run marker says how the run ended.
    void closingSteps();

signals:
    // A step failed; nothing was lost. The window shows it, after the tick if one runs.
    void errorRaised(const QString& text);
    // An error of the store, shown as the standard error display would.
    void failureRaised(const QString& text);
    // The first run's or a new user's defaults are in the store.
    void defaultsWritten();
    // The last run ended while a connection was counted, and the history lacks it: the
    // user hears of it before the recovery.
    void unsavedConnectionFound();
    // "Maxd": a connection ended and the window wants to come back.
    void restoreRequested();
    // A tick ran: what the window shows may have changed.
    void changed();
    // The counter was reset or the budget's settings changed: the budget line again.
    void budgetChanged();

private:
    friend struct SessionProbe;
    void updateConnectionState(const platform::LocalDateTime& now);
    // `launchPrograms`: false for a connection that has ended already.
    void startConnection(const platform::LocalDateTime& now, bool launchPrograms = true);
    void endConnection(const platform::LocalDateTime& now);
    void launchConnectPrograms();
    void countConnectionTick(const platform::LocalDateTime& now);
    bool chargeMinute(const platform::LocalDateTime& now);
    void budgetLineChanged();

    SessionContext m_context;
    ConnectionCount m_connection;
    CrashJournal m_journal;
    PeriodCounter m_period;
    BudgetWatch m_budget;
    IntervalBeeper m_beeper;
    FirstRun m_firstRun;
    bool m_holiday = false;
    bool m_monitoringPaused = false;

    QTimer m_timer;
    Shown m_shown;
    std::function<bool()> m_stillConnected;
    bool m_inTick = false;
    // A tick error that repeats on every tick is raised once, until a tick succeeds.
    QString m_lastTickError;
    // The store's file was deleted or replaced under the running program: told once.
    bool m_storeVanishedTold = false;
    // When the ticks began to meet the store locked by another program; told only once
    // it lasts, since another program's write usually ends within the second.
    std::optional<QDateTime> m_busySince;
    // When the line was seen up, while a start that met a busy store waits to be made
    // again: the connection starts then, not when the store lets it.
    std::optional<platform::LocalDateTime> m_lineSeenAt;
};
