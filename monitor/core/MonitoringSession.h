// The monitoring session: the once-a-second look at the dial-up line and everything
// that follows from it: the connection's start and end, counting and charging, the
// backup slots that let the next start recover a connection a crash cut short, the
// period's totals, the budget and the beeps. It owns its state and the store's access
// object and tells the windows what happened through signals; it never touches a
// widget, so all of it runs, and is tested, without a window.
#pragma once

#include "Beeper.h"
#include "Budget.h"
#include "CounterPeriod.h"
#include "History.h"
#include "LocalTime.h"
#include "Registry.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

enum class ConnectionState {
    Idle = 0,      // no line, or a connection that has ended
    LineSeen = 1,  // the line came up; counting starts on this tick
    Counting = 2,
};

// HKLM Software "Bug": how far the last run got. A run that ends while a connection
// is counted leaves ConnectionOpen, which the next start takes for a crash.
enum class RunMarker : std::int32_t {
    Closed = 0,
    Running = 1,
    ConnectionOpen = 2,
};
RunMarker runMarkerFrom(std::int32_t stored);

// What the "History" group shows of the counter period.
struct PeriodView {
    QString connectedTime;
    QString since;
    QString nextReset;
    QString averagePerDay;
};

class MonitoringSession : public QObject {
    Q_OBJECT
public:
    explicit MonitoringSession(QObject* parent = nullptr);
    ~MonitoringSession() override;

    // ---- what the tick counts (all start at zero or empty) --------------------------
    struct Counts {
        bool lineUp = false;
        ConnectionState state = ConnectionState::Idle;
        history::HistoryRecord record;
        std::int32_t connectionFee = 0;
        std::int32_t periodFee = 0;
        std::int32_t periodFeeBefore = 0;
        std::int32_t periodSeconds = 0;
        std::int32_t periodSecondsBefore = 0;
        std::int32_t todayFee = 0;
        // Whole elapsed minutes at the last charge; -1 before the first charge, so the
        // first minute of a connection is charged at its first counting tick.
        std::int32_t lastChargedMinute = -1;
        std::int32_t startSecondOfDay = 0;
        std::int32_t elapsedSeconds = 0;
        int beepCount = 0;
        // Finished connections that the history could not take yet, oldest first; kept
        // in HKLM Counter\Current "Unsaved" as well, and written to the history before
        // the next connection starts (and by the next start-up).
        std::vector<history::HistoryRecord> unsavedRecords;
        QString feeText;
        // The elapsed time and the fee, as the title and the tray tip show them.
        QString elapsedAndFee;
        QString connectionUser;
        QString provider;
    };
    Counts counts;

    // ---- settings: read at start-up, changed by the dialogs -------------------------
    struct Settings {
        bool holiday = false;
        // True while the line must count as down: the user switched monitoring off, or
        // the time synchronisation is about to move the clock.
        bool monitoringDisabled = false;
        RunMarker runMarkerAtStart = RunMarker::Closed;
        int beepInterval = 0;
        bool beepEnabled = false;
        int beepSound = 0;
        period::ResetMode resetMode = period::ResetMode::Unset;
        int resetDay = 0;
    };
    Settings settings;

    // Read from the store at start-up (and by a tick that finds it empty).
    QString programPath;
    QString windowsUser;

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

    platform::Registry& registry() { return m_registry; }

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
    void runTick(const platform::SystemTime& now, bool lineUp);

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
    // Writes the report of the history into the "Reports" folder; false with `error` set
    // when the file could not be written.
    bool writeReport(int year, int month, int day, QString* error = nullptr);
    bool writeReportToday(QString* error = nullptr);
    // Ends the period: the report when `withReport`, then an empty history. A step that
    // fails is reported and leaves the period as it was.
    void resetCounter(int year, int month, int day, bool withReport);
    // Today's reset, with the report if the Counter settings ask for one.
    void resetCounterToday();
    // After the Beep dialog: its settings, and the next beep from the time so far.
    void reloadBeepSettings();
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
    void readProgramPath();
    void storeCounterStartDate();
    void recoverUnsavedConnection();
    void storeUnsavedRecords();
    void loadUnsavedRecords();
    bool saveUnsavedRecords();
    void showSaveError(const QString& error);
    void markSaved();
    void updateConnectionState(const platform::SystemTime& now);
    // `launchPrograms`: false for a connection that has ended already.
    void startConnection(const platform::SystemTime& now, bool launchPrograms = true);
    void endConnection(const platform::SystemTime& now);
    void launchConnectPrograms();
    void countConnectionTick(const platform::SystemTime& now);
    bool chargeMinute(const platform::SystemTime& now);
    void writeBackupSlot(platform::KeyScope& key, const QString& prefix,
                         const platform::SystemTime& now);
    void writeBackupSlot(const platform::SystemTime& now);
    budget::Budget readBudget();
    // 0 when the budget's dates don't fit (the clock was set back), else 1; sounds the
    // alarm when the budget is reached.
    int checkBudget();
    void soundBudgetAlarm();
    // The period's totals and today's fee, in one pass over the history.
    void loadHistorySums();

    // HKLM Counter\All: the day the period began, and its day number.
    struct PeriodStart {
        int year = 0;
        int month = 0;
        int day = 0;
        int dayNumber = 0;
    };
    PeriodStart readPeriodStart();

    // What a tick reads from the store, kept while no one writes it: an idle tick then
    // asks SQLite for the store's generation alone instead of some twenty values. The
    // values stay for as long as the generation does, that is until this process or
    // another connection (the other program, the registry tool of the dial-up hooks)
    // writes the store; a tick's own write ends their use at once, within that tick.
    class TickReads {
    public:
        // At the start of a tick: forgets what the store no longer holds for certain.
        void begin(const platform::Registry& registry);
        void end() { m_registry = nullptr; }
        // The value of `slot`, read by `read` when it holds none or can't be trusted.
        template <class T, class Read>
        T get(std::optional<T>& slot, Read read)
        {
            if (!current())
                return read();
            if (!slot)
                slot = read();
            return *slot;
        }

        std::optional<bool> lineUp;
        std::optional<PeriodStart> periodStart;
        std::optional<budget::Budget> budget;

    private:
        bool current() const;
        const platform::Registry* m_registry = nullptr;
        std::optional<platform::StoreGeneration> m_generation;
    };

    platform::Registry m_registry;
    TickReads m_tickReads;
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
    std::optional<platform::SystemTime> m_lineSeenAt;
    // A connection's end is in the history but the store does not say so yet (it was
    // busy): the next tick writes the marker and the waiting records first.
    bool m_storeBehind = false;
    void catchUpStore();
};
