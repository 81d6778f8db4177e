#include "dialtally/core/MonitoringSession.h"

#include "platform/core/DialUpLine.h"
#include "dialtally/core/Formats.h"
#include "platform/core/Process.h"
#include "dialtally/core/ProgramInfo.h"
#include "dialtally/core/Report.h"
#include "platform/core/Settings.h"

#include <QFileInfo>

#include <algorithm>

namespace {

// The tick waits this long for another program's lock; a longer write makes the tick
// come again next second instead of holding the window.
constexpr int kTickStoreWaitMs = 100;
// A lock held this long is no passing write any more: it is told.
constexpr int kBusyToldAfterSeconds = 60;

constexpr const char* kStoreVanished =
    "The registry store \"%1\" was deleted or replaced while Dialtally was running. Dialtally goes on "
    "counting with the store it opened until it ends, but it no longer sees the line go down: the dial-up "
    "hooks can't reach that store. Close Dialtally when the connection ends, and it is saved to the "
    "history; then run dialtally-install to make a new store.";

constexpr const char* kBudgetDateError = "Error in Rozad Izeruveva. Maybe you changed date ? Function is disabled.";

}  // namespace

MonitoringSession::MonitoringSession(QObject* parent)
    : QObject(parent)
    , m_journal(m_context)
    , m_period(m_context)
    , m_budget(m_context)
    , m_firstRun(m_context)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &MonitoringSession::tick);
    connect(&m_journal, &CrashJournal::errorRaised, this, &MonitoringSession::errorRaised);
    connect(&m_journal, &CrashJournal::failureRaised, this, &MonitoringSession::failureRaised);
    connect(&m_journal, &CrashJournal::unsavedConnectionFound, this, &MonitoringSession::unsavedConnectionFound);
    connect(&m_period, &PeriodCounter::errorRaised, this, &MonitoringSession::errorRaised);
    connect(&m_firstRun, &FirstRun::defaultsWritten, this, &MonitoringSession::defaultsWritten);
}

MonitoringSession::~MonitoringSession() = default;

void MonitoringSession::start()
{
    m_timer.start();
}

void MonitoringSession::stop()
{
    m_timer.stop();
}

bool MonitoringSession::isRunning() const
{
    return m_timer.isActive();
}

void MonitoringSession::setStillConnectedQuestion(std::function<bool()> question)
{
    m_stillConnected = std::move(question);
}

// =====================================================================================
// Start-up
// =====================================================================================

void MonitoringSession::writeDefaultSettings()
{
    m_firstRun.writeDefaultSettings();
}

void MonitoringSession::beginStartUp()
{
    m_connection.clear();
    m_holiday = false;
    m_firstRun.begin();
}

void MonitoringSession::finishStartUp()
{
    const bool recovery = m_journal.openRun();
    m_beeper.load(m_context.settings);
    m_period.loadRule();

    // A failure here is reported; monitoring goes on, and what could not be done is
    // left to the next start.
    const auto reported = [this](auto&& step) {
        try {
            step();
        } catch (const std::exception& error) {
            emit failureRaised(QString::fromUtf8(error.what()));
        }
    };
    // Connections that the history could not take last time go first: they ended
    // before the one that a crash may have left.
    reported([this] {
        m_journal.loadWaiting();
        m_journal.saveWaiting();
    });
    if (recovery)
        reported([this] { m_journal.recover(m_stillConnected); });

    history::keepPrivate(m_context.programPath);
    report::keepReportsPrivate(m_context.programPath + QStringLiteral("/Reports"));
    // One pass over the history for the period's totals and today's fee.
    m_period.takeStartUpSums();
}

void MonitoringSession::automaticResetCheck()
{
    if (m_period.automaticResetCheck(m_connection))
        budgetLineChanged();
}

// =====================================================================================
// Commands
// =====================================================================================

void MonitoringSession::setHoliday(bool holiday)
{
    m_holiday = holiday;
}

void MonitoringSession::setMonitoringPaused(bool paused)
{
    m_monitoringPaused = paused;
}

void MonitoringSession::setBeepSettings(bool enabled, int interval, int sound)
{
    m_beeper.set(enabled, interval, sound, m_connection.elapsedSeconds());
}

void MonitoringSession::setResetRule(period::ResetMode mode, std::optional<int> resetDay)
{
    m_period.setRule(mode, resetDay);
}

bool MonitoringSession::writeReport(int year, int month, int day, QString* error)
{
    return m_period.writeReport(year, month, day, error);
}

bool MonitoringSession::writeReportToday(QString* error)
{
    return m_period.writeReportToday(error);
}

void MonitoringSession::resetCounter(int year, int month, int day, bool withReport)
{
    if (m_period.reset(year, month, day, withReport, m_connection))
        budgetLineChanged();
}

void MonitoringSession::resetCounterToday()
{
    if (m_period.resetToday(m_connection))
        budgetLineChanged();
}

PeriodView MonitoringSession::periodView()
{
    return m_period.view();
}

QString MonitoringSession::budgetText()
{
    return m_budget.text(m_period.todayFee(), m_connection.fee(), m_period.fee());
}

void MonitoringSession::refreshBudget()
{
    budgetLineChanged();
}

void MonitoringSession::budgetLineChanged()
{
    m_shown.budget = budgetText();
    emit budgetChanged();
}

void MonitoringSession::beepAtInterval()
{
    m_beeper.beepAt(m_connection.lineUp(), m_connection.elapsedSeconds());
}

void MonitoringSession::launchMailChecker(bool fromButton)
{
    const QString path = m_context.programPath + QLatin1Char('/') + QString::fromLatin1(program::kMailCheckerName);
    m_context.settings.set(settings::MailCheck, fromButton ? 1 : 0);
    if (m_context.settings.get(settings::MailOn) == 0)
        return;
    if (!platform::processes().start(path, {}))
        emit errorRaised(QStringLiteral("Can't launch the program Email checking program : ") + path);
}

void MonitoringSession::closingSteps()
{
    // Stopped in every case, not only with a connection open: a tick between these
    // steps and the end of the loop could open a connection and leave the marker open.
    m_timer.stop();
    // Only a connection being counted has a record to save: a start that failed half
    // way has none, and forcing the end would append the previous connection again.
    if (m_connection.counting()) {
        m_connection.seeLine(false);
        updateConnectionState(platform::localNow());
    }
    m_journal.closeRun();
}

// =====================================================================================
// The tick
// =====================================================================================

void MonitoringSession::tick()
{
    // Something that runs a nested event loop inside a tick (a dialog of another part
    // of the program) must not start a second tick on the same state.
    if (m_inTick)
        return;
    m_inTick = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{m_inTick};
    platform::Registry& registry = m_context.registry;
    TickReads& reads = m_context.reads;
    QString errorText;
    QString vanishedText;
    try {
        platform::BriefStoreWait wait(registry.store(), kTickStoreWaitMs);
        // The open connection keeps the deleted file's contents for as long as the
        // program runs, so the tick goes on with it; the user must hear of it all the
        // same, since nothing written from now on outlives the program.
        if (!m_storeVanishedTold && registry.storeFileVanished()) {
            m_storeVanishedTold = true;
            vanishedText = QString::fromLatin1(kStoreVanished).arg(registry.storeFile());
        }
        reads.begin(registry);
        if (m_context.programPath.isEmpty())
            m_context.programPath = m_context.settings.get(settings::ProgramPath, settings::Opening::ExistingKey);
        const bool lineUp =
            reads.get(reads.lineUp, [&registry] { return platform::isDialUpLineUp(registry); }) && !m_monitoringPaused;
        runTick(platform::localNow(), lineUp);
        m_lastTickError.clear();
        m_busySince.reset();
    } catch (const platform::RegistryBusy& busy) {
        // Another program writes: this tick is made again next second, from the state
        // it left, which every step keeps for that. Only a lock that lasts is told.
        const QDateTime now = platform::clock().now();
        if (!m_busySince)
            m_busySince = now;
        if (m_busySince->secsTo(now) >= kBusyToldAfterSeconds)
            errorText = QString::fromUtf8(busy.what());
    } catch (const std::exception& error) {
        m_lineSeenAt.reset();
        errorText = QString::fromUtf8(error.what());
    } catch (...) {
        m_lineSeenAt.reset();
        errorText = QStringLiteral("Unknown error");
    }
    reads.end();
    emit changed();
    if (!vanishedText.isEmpty())
        emit failureRaised(vanishedText);
    // The same fault usually comes back every second; say it once.
    if (!errorText.isEmpty() && errorText != m_lastTickError) {
        m_lastTickError = errorText;
        emit failureRaised(errorText);
    }
}

void MonitoringSession::runTick(const platform::LocalDateTime& now, bool lineUp)
{
    m_shown.tickCompleted = false;
    m_connection.seeLine(lineUp);
    m_journal.catchUp(m_connection.counting());
    updateConnectionState(now);
    countConnectionTick(now);
    m_shown.period = periodView();
    m_shown.budget = budgetText();
    beepAtInterval();
    m_shown.tickCompleted = true;
}

void MonitoringSession::updateConnectionState(const platform::LocalDateTime& now)
{
    m_shown.provider = m_connection.provider();
    m_shown.user = m_connection.user();
    m_connection.noticeLine();
    const bool lineUp = m_connection.lineUp();
    // The line came up and went down again while the store was busy: the connection
    // was real, from the moment it was seen to this one.
    if (m_connection.state() == ConnectionState::LineSeen && !lineUp && m_lineSeenAt) {
        startConnection(now, false);
        countConnectionTick(now);
    }
    if (m_connection.counting() && !lineUp)
        endConnection(now);
    if (lineUp && m_connection.state() == ConnectionState::LineSeen)
        startConnection(now);
}

void MonitoringSession::startConnection(const platform::LocalDateTime& now, bool launchPrograms)
{
    platform::Registry& registry = m_context.registry;
    // A start that met a busy store is made again with the moment the line was seen.
    if (!m_lineSeenAt)
        m_lineSeenAt = now;
    const platform::LocalDateTime start = *m_lineSeenAt;
    // Connections that wait for the history go in before this one: its start values
    // replace the backup of the last of them.
    m_journal.saveWaiting();
    m_shown.connectedPicture = true;
    m_beeper.restart();
    m_connection.begin(start);

    // Everything the recovery reads for this connection becomes visible at once, with
    // the marker last.
    platform::RegistryTransaction transaction(registry.store());
    m_journal.recordStart(start);
    m_period.beginConnection();
    const std::int32_t connectDelay = m_context.settings.get(settings::ConnectDelay);
    const QString provider = platform::defaultDialUpEntry(registry);
    m_connection.open(connectDelay, provider, m_firstRun.windowsUser());
    m_shown.connectionFee = m_connection.feeText();
    m_journal.recordOpened(m_connection.provider(), m_connection.user(), m_connection.record().DurationSeconds, start);
    transaction.commit();
    m_lineSeenAt.reset();
    m_connection.markCounting();
    if (launchPrograms)
        launchConnectPrograms();
}

void MonitoringSession::endConnection(const platform::LocalDateTime& now)
{
    m_shown.connectedPicture = false;
    m_beeper.restart();
    const bool saved = m_journal.saveEnded(m_connection.end(now));

    if (m_context.settings.get(settings::Maxd) != 0)
        emit restoreRequested();

    // The store last, once the connection is closed in memory: a refused write ends
    // the tick but leaves nothing half done.
    m_journal.noteEnded(saved);
}

void MonitoringSession::launchConnectPrograms()
{
    settings::Settings& store = m_context.settings;
    QStringList commands;
    // Each command is a value of the key, so there can't be more of them than values;
    // a corrupt count must not spin the tick.
    const std::int32_t count = std::min(store.get(settings::ExecLines), store.valueCount(settings::ExecLines));
    for (std::int32_t i = 0; i < count; ++i)
        commands << store.get(settings::ExecLine.at(i));
    for (const QString& command : commands) {
        // No shell: the line is split into the program and its arguments, unless the
        // whole line names a file, as the Preferences' "Add" writes a picked program's
        // path, spaces and all.
        const QStringList words =
            QFileInfo(command).isFile() ? QStringList{command} : platform::splitCommandLine(command);
        const bool started = !words.isEmpty() && platform::processes().start(words.first(), words.mid(1));
        if (!started)
            emit errorRaised(QStringLiteral("Can't launch the program : ") + command);
    }
}

// One minute at the tariff of the moment, then the budget check. True when the
// budget's dates were found wrong: the budget is switched off then, and the caller
// tells the user once its registry writes are committed, so no message waits inside
// the counting tick's transaction.
bool MonitoringSession::chargeMinute(const platform::LocalDateTime& now)
{
    const ConnectionCount::Charge charge = m_connection.chargeMinute(m_context.settings, now, m_holiday);
    m_shown.connectionFee = charge.shown;
    if (charge.charged) {
        m_period.chargeConnection(m_connection.fee());
        m_journal.recordFee(m_connection.fee(), m_connection.feeText());
    }
    if (m_budget.check(m_period.todayFee(), m_connection.fee(), m_period.fee(), m_beeper.sound()))
        return false;
    // Off before the user hears of it, so the message comes once however many ticks
    // run while it is open.
    m_budget.switchOff();
    return true;
}

void MonitoringSession::countConnectionTick(const platform::LocalDateTime& now)
{
    if (!m_connection.counting())
        return;
    const std::int32_t elapsed = m_connection.count(now);
    m_period.countConnection(elapsed);

    // The charge and the backup slot are one commit: a counting tick is seen whole or
    // not at all.
    platform::RegistryTransaction transaction(m_context.registry.store());
    bool budgetDateError = false;
    if (m_connection.minuteDue())
        budgetDateError = chargeMinute(now);
    m_connection.tickCounted();

    m_shown.elapsed = formats::elapsedText(elapsed);
    m_journal.writeBackupSlot(now, m_connection.user(), m_connection.record().DurationSeconds);
    transaction.commit();
    if (budgetDateError)
        emit errorRaised(QString::fromLatin1(kBudgetDateError));
}
