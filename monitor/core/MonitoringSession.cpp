#include "MonitoringSession.h"

#include "Charging.h"
#include "DialUpLine.h"
#include "Formats.h"
#include "Process.h"
#include "ProgramInfo.h"
#include "RegistryNames.h"
#include "SessionKey.h"
#include "Report.h"
#include "Sound.h"

#include <QDir>
#include <QFileInfo>
#include <QSaveFile>

#include <algorithm>
#include <climits>

using platform::RootKey;
using regkeys::name;
using session_store::Key;
namespace rk = regkeys;

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

constexpr const char* kBudgetDateError =
    "Error in Rozad Izeruveva. Maybe you changed date ? Function is disabled.";

int todayOfMonth()
{
    return platform::clock().now().date().day();
}

}  // namespace

RunMarker runMarkerFrom(std::int32_t stored)
{
    switch (stored) {
    case 0:
    case 1:
    case 2:
        return static_cast<RunMarker>(stored);
    default:
        // Neither a clean end nor an open connection: the program was running.
        return RunMarker::Running;
    }
}

MonitoringSession::MonitoringSession(QObject* parent)
    : QObject(parent)
{
    m_timer.setInterval(1000);
    connect(&m_timer, &QTimer::timeout, this, &MonitoringSession::tick);
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
// Budget and beeps
// =====================================================================================

void MonitoringSession::refreshBudget()
{
    m_shown.budget = budgetText();
    emit budgetChanged();
}

budget::Budget MonitoringSession::readBudget()
{
    return m_tickReads.get(m_tickReads.budget, [this] {
        budget::Budget budget;
        {
            Key key(m_registry, RootKey::CurrentUser, rk::kBudget, false);
            budget.money = key.readInt(rk::vBudgetMoney);
            budget.cents = key.readInt(rk::vBudgetCents);
            budget.reserve = key.readInt(rk::vBudgetReserve);
            budget.on = key.readInt(rk::vOnOff);
        }
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterAll, false);
        budget.startDay = key.readInt(rk::vDay);
        return budget;
    });
}

QString MonitoringSession::budgetText()
{
    const budget::Budget budget = readBudget();
    if (budget.on == 0)
        return QString(14, QLatin1Char('-'));
    return formats::balanceText(budget::budgetBalance(budget, todayOfMonth(), counts.todayFee,
                                                      counts.connectionFee, counts.periodFee));
}

int MonitoringSession::checkBudget()
{
    const budget::Budget budget = readBudget();
    if (budget.on == 0)
        return 1;
    if (budget::budgetDays(budget, todayOfMonth()) < 0)
        return 0;
    if (budget::budgetReached(budget, todayOfMonth(), counts.todayFee, counts.connectionFee, counts.periodFee))
        soundBudgetAlarm();
    return 1;
}

void MonitoringSession::soundBudgetAlarm()
{
    budget::AlarmKind kind = budget::AlarmKind::Silent;
    int on = 0;
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kBudget, false);
        kind = budget::alarmKindFrom(key.readInt(rk::vBudgetCh));
        on = key.readInt(rk::vOnOff);
    }
    if (on == 0)
        return;
    const QString file = programPath + QLatin1Char('/') + QString::fromLatin1(program::kAlarmFolder)
                         + QLatin1Char('/') + QString::fromLatin1(program::kAlarmFile);
    switch (kind) {
    case budget::AlarmKind::SoundFile:
        // A sound file that is missing or can't be played gives the default sound.
        if (!platform::sounds().playWave(file))
            platform::sounds().messageBeep(platform::BeepKind::Default);
        break;
    case budget::AlarmKind::Beep: {
        platform::BeepKind beep;
        if (beeper::beepKindOf(settings.beepSound, &beep))
            platform::sounds().messageBeep(beep);
        break;
    }
    case budget::AlarmKind::Silent:
        break;
    }
}

void MonitoringSession::beepAtInterval()
{
    if (settings.beepEnabled && counts.lineUp
        && beeper::beepDue(counts.beepCount, settings.beepInterval, counts.elapsedSeconds)) {
        ++counts.beepCount;
        platform::BeepKind beep;
        if (beeper::beepKindOf(settings.beepSound, &beep))
            platform::sounds().messageBeep(beep);
    }
    if (!settings.beepEnabled)
        counts.beepCount = 1;
}

void MonitoringSession::reloadBeepSettings()
{
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kBeep);
        settings.beepEnabled = key.readInt(rk::vBeepEnabled) == 1;
        settings.beepInterval = key.readInt(rk::vBeepInterval);
    }
    if (counts.lineUp)
        counts.beepCount = beeper::nextBeepCount(settings.beepInterval, counts.elapsedSeconds);
}

// =====================================================================================
// Commands and the end
// =====================================================================================

void MonitoringSession::launchMailChecker(bool fromButton)
{
    const QString path = programPath + QLatin1Char('/') + QString::fromLatin1(program::kMailCheckerName);
    int on = 0;
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kEmail);
        key.writeInt(rk::vCheck, fromButton ? 1 : 0);
        on = key.readInt(rk::vOnOff);
    }
    if (on == 0)
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
    if (counts.state == ConnectionState::Counting) {
        counts.lineUp = false;
        updateConnectionState(platform::localTimeRecord());
    }
    // A record that could not be written waits in the store for the next start, which
    // writes it first; the exit is a clean one all the same. Should the store refuse
    // the record, the marker stays as it was and the recovery has the backup.
    platform::RegistryTransaction transaction(m_registry.store());
    if (!counts.unsavedRecords.empty())
        storeUnsavedRecords();
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kSoftware);
        key.writeInt(rk::vBug, static_cast<std::int32_t>(RunMarker::Closed));
    }
    transaction.commit();
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
    QString errorText;
    QString vanishedText;
    try {
        platform::BriefStoreWait wait(m_registry.store(), kTickStoreWaitMs);
        // The open connection keeps the deleted file's contents for as long as the
        // program runs, so the tick goes on with it; the user must hear of it all the
        // same, since nothing written from now on outlives the program.
        if (!m_storeVanishedTold && m_registry.storeFileVanished()) {
            m_storeVanishedTold = true;
            vanishedText = QString::fromLatin1(kStoreVanished).arg(m_registry.storeFile());
        }
        m_tickReads.begin(m_registry);
        if (programPath.isEmpty()) {
            Key key(m_registry, RootKey::LocalMachine, rk::kSoftware, false);
            if (key.opened())
                programPath = key.readStr(rk::vProgramPath);
        }
        const bool lineUp = m_tickReads.get(m_tickReads.lineUp, [this] { return platform::isDialUpLineUp(m_registry); })
                            && !settings.monitoringDisabled;
        runTick(platform::localTimeRecord(), lineUp);
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
    m_tickReads.end();
    emit changed();
    if (!vanishedText.isEmpty())
        emit failureRaised(vanishedText);
    // The same fault usually comes back every second; say it once.
    if (!errorText.isEmpty() && errorText != m_lastTickError) {
        m_lastTickError = errorText;
        emit failureRaised(errorText);
    }
}

void MonitoringSession::catchUpStore()
{
    if (!m_storeBehind)
        return;
    try {
        platform::RegistryTransaction transaction(m_registry.store());
        storeUnsavedRecords();
        if (counts.state != ConnectionState::Counting)
            markSaved();
        transaction.commit();
        m_storeBehind = false;
    } catch (const platform::RegistryBusy&) {
        throw;
    } catch (...) {
        // Any other fault is told as the end's own write would have been, once.
        m_storeBehind = false;
        throw;
    }
}

void MonitoringSession::TickReads::begin(const platform::Registry& registry)
{
    m_registry = &registry;
    const std::optional<platform::StoreGeneration> generation = registry.generation();
    if (generation && generation == m_generation)
        return;
    // Read under this generation from here on; with none, read every time.
    lineUp.reset();
    periodStart.reset();
    budget.reset();
    m_generation = generation;
}

bool MonitoringSession::TickReads::current() const
{
    // A write of this tick (a connection's start, a charge) may change what was read.
    return m_registry && m_generation && m_registry->writesSoFar() == m_generation->ownChanges;
}

void MonitoringSession::runTick(const platform::SystemTime& now, bool lineUp)
{
    m_shown.tickCompleted = false;
    counts.lineUp = lineUp;
    catchUpStore();
    updateConnectionState(now);
    countConnectionTick(now);
    m_shown.period = periodView();
    m_shown.budget = budgetText();
    beepAtInterval();
    m_shown.tickCompleted = true;
}

void MonitoringSession::updateConnectionState(const platform::SystemTime& now)
{
    m_shown.provider = counts.provider;
    m_shown.user = counts.connectionUser;
    if (counts.state == ConnectionState::Idle && counts.lineUp)
        counts.state = ConnectionState::LineSeen;
    // The line came up and went down again while the store was busy: the connection
    // was real, from the moment it was seen to this one.
    if (counts.state == ConnectionState::LineSeen && !counts.lineUp && m_lineSeenAt) {
        startConnection(now, false);
        countConnectionTick(now);
    }
    if (counts.state == ConnectionState::Counting && !counts.lineUp)
        endConnection(now);
    if (counts.lineUp && counts.state == ConnectionState::LineSeen)
        startConnection(now);
}

void MonitoringSession::writeBackupSlot(platform::KeyScope& key, const QString& prefix,
                                        const platform::SystemTime& now)
{
    const auto put = [&](const char* value, std::int32_t v) { key->writeInteger(prefix + name(value), v); };
    key->writeString(prefix + name(rk::vSlotUser), counts.connectionUser);
    put(rk::vSlotSecundes, now.wSecond);
    put(rk::vSlotMinutes, now.wMinute);
    put(rk::vSlotHours, now.wHour);
    put(rk::vSlotYear, now.wYear);
    put(rk::vSlotDay, now.wDay);
    put(rk::vSlotMonth, now.wMonth);
    put(rk::vSlotDayOfWeek, now.wDayOfWeek);
    put(rk::vSlotTime, counts.record.DurationSeconds);
}

void MonitoringSession::writeBackupSlot(const platform::SystemTime& now)
{
    Key key(m_registry, RootKey::LocalMachine, rk::kCounterCurrent);
    const std::int32_t backup = key->valueExists(name(rk::vBackup)) ? key.readInt(rk::vBackup) : 0;
    // Overwrite the slot that was not completed last; "Backup" names it only once
    // all of it is written.
    writeBackupSlot(key, backup != 0 ? QString() : name(rk::kBackupSlotPrefix), now);
    key.writeInt(rk::vBackup, backup != 0 ? 0 : 1);
}

void MonitoringSession::startConnection(const platform::SystemTime& now, bool launchPrograms)
{
    // A start that met a busy store is made again with the moment the line was seen.
    if (!m_lineSeenAt)
        m_lineSeenAt = now;
    const platform::SystemTime start = *m_lineSeenAt;
    // Connections that wait for the history go in before this one: its start values
    // replace the backup of the last of them.
    saveUnsavedRecords();
    m_shown.connectedPicture = true;
    counts.beepCount = 1;
    // A fresh record, so nothing of the previous connection can leak into this one.
    counts.record = history::HistoryRecord{};
    counts.record.StartTime = start;
    counts.connectionFee = 0;

    // Everything the recovery reads for this connection becomes visible at once, with
    // the marker last.
    platform::RegistryTransaction transaction(m_registry.store());
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterCurrent);
        key.writeInt(rk::vSecundes, start.wSecond);
        key.writeInt(rk::vStartMinutes, start.wMinute);
        key.writeInt(rk::vHours, start.wHour);
        key.writeInt(rk::vYear, start.wYear);
        key.writeInt(rk::vDay, start.wDay);
        key.writeInt(rk::vMonth, start.wMonth);
        key.writeInt(rk::vDayOfWeek, start.wDayOfWeek);
        // A crash before the first charge must not recover the last connection's fee.
        key.writeInt(rk::vMoney, 0);
        key.writeStr(rk::vFee, formats::feeText(0));
    }
    loadHistorySums();
    counts.periodFeeBefore = counts.periodFee;
    counts.periodSecondsBefore = counts.periodSeconds;
    counts.lastChargedMinute = -1;
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kSoftware);
        // Whatever delay the store holds, the arithmetic stays in range.
        const qint64 startSecond = qint64(charging::secondOfDay(start)) - key.readInt(rk::vConnectDelay);
        counts.startSecondOfDay = static_cast<std::int32_t>(std::clamp<qint64>(startSecond, INT32_MIN, INT32_MAX));
    }
    counts.record.DurationSeconds = charging::elapsedSince(start, counts.startSecondOfDay, start);
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kRemoteAccess, false);
        counts.provider = key.opened() ? key.readStr(rk::vDefault) : QString();
    }
    counts.record.setProviderName(counts.provider);
    counts.feeText = formats::feeText(0);
    m_shown.connectionFee = counts.feeText;
    counts.connectionUser = windowsUser;
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterCurrent);
        key.writeStr(rk::vProvider, counts.provider);
        // Both backup slots hold this connection from its first moment, so a crash
        // before its first counting tick never recovers the last connection's end.
        for (const QString& prefix : {QString(), name(rk::kBackupSlotPrefix)})
            writeBackupSlot(key, prefix, start);
    }
    // What waits for the history must be in the store before the marker says that
    // these values belong to a new connection.
    if (!counts.unsavedRecords.empty())
        storeUnsavedRecords();
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kSoftware);
        key.writeInt(rk::vBug, static_cast<std::int32_t>(RunMarker::ConnectionOpen));
    }
    transaction.commit();
    m_lineSeenAt.reset();
    counts.state = ConnectionState::Counting;
    if (launchPrograms)
        launchConnectPrograms();
}

void MonitoringSession::endConnection(const platform::SystemTime& now)
{
    counts.state = ConnectionState::Idle;
    m_shown.connectedPicture = false;
    counts.record.EndTime = now;
    counts.beepCount = 1;
    counts.record.FeeCents = counts.connectionFee;
    counts.record.setUserName(counts.connectionUser);

    // The file keeps the order in which connections ended: while older ones wait,
    // this one waits behind them.
    QString error;
    bool saved = saveUnsavedRecords();
    if (saved) {
        saved = history::append(programPath, counts.record, &error);
        if (!saved)
            showSaveError(error);
    }
    if (!saved)
        counts.unsavedRecords.push_back(counts.record);
    counts.provider = QStringLiteral(" ");
    counts.connectionUser.clear();

    int maxd = 0;
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kSoftware);
        maxd = key.readInt(rk::vMaxd);
    }
    if (maxd != 0)
        emit restoreRequested();

    // The store last, once the connection is closed in memory: a refused write ends
    // the tick but leaves nothing half done. A record that could not go to the history
    // is saved all the same once it waits in the store, and the marker says so with
    // it: the connection ended cleanly, and the next start must not take it for a
    // crash. Only a store that refuses it too leaves the marker open for the recovery.
    try {
        if (saved) {
            markSaved();
        } else {
            platform::RegistryTransaction transaction(m_registry.store());
            storeUnsavedRecords();
            markSaved();
            transaction.commit();
        }
    } catch (const platform::RegistryBusy&) {
        // The record is in the history, or waits in memory: the store learns of it
        // next tick, and the rest of this tick goes on.
        m_storeBehind = true;
    }
}

void MonitoringSession::launchConnectPrograms()
{
    QStringList commands;
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kExec);
        std::int32_t count = key.readInt(rk::vLines);
        // Each command is a value of the key, so there can't be more of them than
        // values; a corrupt count must not spin the tick.
        platform::Registry::KeyInfo info;
        if (key->getKeyInfo(info))
            count = std::min(count, info.numValues);
        for (std::int32_t i = 0; i < count; ++i)
            commands << key->readString(name(rk::vLinePrefix) + QString::number(i));
    }
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
bool MonitoringSession::chargeMinute(const platform::SystemTime& now)
{
    [&] {
        const QString slotKey = charging::tariffSlotKey(
            counts.provider, charging::tariffDayKey(settings.holiday ? 1 : 0, now.wDayOfWeek));
        charging::TariffSlot slot;
        {
            Key key(m_registry, RootKey::CurrentUser, slotKey, false);
            if (counts.provider.isEmpty() || !key.opened()) {
                m_shown.connectionFee = QStringLiteral("No tariffs for provider");
                return;
            }
            if (key.readStr(rk::vSlotTariffProfile).isEmpty()) {
                m_shown.connectionFee = QStringLiteral("No tariff for this day");
                return;
            }
            slot.StartingInterval = key.readInt(rk::vStartingInterval);
            slot.EndingInterval = key.readInt(rk::vEndingInterval);
            slot.DayCost = key.readInt(rk::vDayCost);
            slot.NightCost = key.readInt(rk::vNightCost);
            slot.OCPDay = key.readInt(rk::vOcpDay);
        }
        counts.connectionFee += charging::minuteCost(slot, now.wHour);
        counts.periodFee = counts.periodFeeBefore + counts.connectionFee;
        counts.feeText = formats::feeText(counts.connectionFee);
        m_shown.connectionFee = counts.feeText;
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterCurrent);
        key.writeInt(rk::vMoney, counts.connectionFee);
        key.writeStr(rk::vFee, counts.feeText);
    }();

    if (checkBudget() != 0)
        return false;
    // Off before the user hears of it, so the message comes once however many ticks
    // run while it is open.
    Key key(m_registry, RootKey::CurrentUser, rk::kBudget);
    key.writeInt(rk::vOnOff, 0);
    return true;
}

void MonitoringSession::countConnectionTick(const platform::SystemTime& now)
{
    if (counts.state != ConnectionState::Counting)
        return;
    const std::int32_t elapsed = charging::elapsedSince(counts.record.StartTime, counts.startSecondOfDay, now);
    counts.record.DurationSeconds = elapsed;
    counts.elapsedSeconds = elapsed;
    // A recovered connection may carry any delay the store held: the period's time
    // stops at the largest count instead of wrapping round to a negative one.
    counts.periodSeconds = static_cast<std::int32_t>(
        std::clamp<qint64>(qint64(counts.periodSecondsBefore) + elapsed, INT32_MIN, INT32_MAX));

    // The charge and the backup slot are one commit: a counting tick is seen whole or
    // not at all.
    platform::RegistryTransaction transaction(m_registry.store());
    const std::int32_t minutes = elapsed / 60;
    bool budgetDateError = false;
    if (minutes != counts.lastChargedMinute)
        budgetDateError = chargeMinute(now);
    counts.lastChargedMinute = minutes;

    m_shown.elapsed = formats::elapsedText(elapsed);
    counts.elapsedAndFee = m_shown.elapsed + counts.feeText;
    writeBackupSlot(now);
    transaction.commit();
    if (budgetDateError)
        emit errorRaised(QString::fromLatin1(kBudgetDateError));
}
