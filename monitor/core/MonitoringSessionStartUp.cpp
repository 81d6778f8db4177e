// The monitoring session's start-up: who runs the program and the defaults of a new
// user, the connections that wait for the history, the recovery of a connection that
// a crash cut short, and the counter period's reset and report.
#include "MonitoringSession.h"

#include "Defaults.h"
#include "DialUpLine.h"
#include "Formats.h"
#include "ProgramInfo.h"
#include "Report.h"
#include "SaveFile.h"
#include "SessionKey.h"

#include <QDir>
#include <QSaveFile>

#include <algorithm>

using platform::RootKey;
using regkeys::name;
using session_store::Key;
using session_store::readIfThere;
namespace rk = regkeys;

namespace {

std::uint16_t low16(std::int32_t v)
{
    return static_cast<std::uint16_t>(v & 0xFFFF);
}

QDateTime dateTimeOf(const platform::SystemTime& t)
{
    return QDateTime(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute, t.wSecond));
}

// Slack for a clock that moved by a second between two readings.
constexpr qint64 kSlotSlackSeconds = 2;

// A backup slot is used only when all of it was written, it ends no earlier than the
// stored start, and its elapsed time fits the span from that start: the connect delay
// counts as elapsed, so the time may exceed the span by any delay, and falls short of
// it only by a delay below 0 (`lowestDelay`). A slot of an earlier connection ends
// before this start.
bool readBackupSlot(platform::Registry& key, const QString& prefix, history::HistoryRecord& record,
                    qint64 lowestDelay)
{
    const char* const names[] = {rk::vSlotSecundes, rk::vSlotMinutes, rk::vSlotHours, rk::vSlotYear,
                                 rk::vSlotDay,      rk::vSlotMonth,   rk::vSlotDayOfWeek, rk::vSlotTime};
    std::int32_t v[8];
    for (int i = 0; i < 8; ++i) {
        if (!readIfThere(key, prefix + name(names[i]), v[i]))
            return false;
    }
    const platform::SystemTime end{low16(v[3]), low16(v[5]), low16(v[6]), low16(v[4]),
                                   low16(v[2]), low16(v[1]), low16(v[0]), 0};
    const QDateTime from = dateTimeOf(record.StartTime);
    const QDateTime to = dateTimeOf(end);
    if (!from.isValid() || !to.isValid())
        return false;
    const qint64 span = from.secsTo(to);
    const qint64 delay = qint64(v[7]) - span;
    if (span < 0 || delay < lowestDelay - kSlotSlackSeconds)
        return false;
    record.EndTime = end;
    record.DurationSeconds = v[7];
    record.setUserName(key.readString(prefix + name(rk::vSlotUser)));
    return true;
}

}  // namespace

// =====================================================================================
// Start-up
// =====================================================================================

void MonitoringSession::readProgramPath()
{
    Key key(m_registry, RootKey::LocalMachine, rk::kSoftware);
    programPath = key.readStr(rk::vProgramPath);
}

void MonitoringSession::storeCounterStartDate()
{
    const QDate today = platform::clock().now().date();
    Key key(m_registry, RootKey::LocalMachine, rk::kCounterAll);
    key.writeInt(rk::vYear, today.year());
    key.writeInt(rk::vMonth, today.month());
    key.writeInt(rk::vDay, today.day());
}

void MonitoringSession::writeDefaultSettings()
{
    const int today = platform::todayDayNumber();
    {
        // The defaults land together or not at all: a half-written tree would pass the
        // owner check at the next start and miss values that start-up and the dialogs
        // must read. So the mail checker's settings go in here too, before the user
        // hears of it rather than after: a program ended while a message is open would
        // otherwise leave them out for good.
        platform::RegistryTransaction transaction(m_registry.store());
        for (const defaults::Integer& value : defaults::newUser()) {
            Key key(m_registry, value.root, value.key);
            if (value.windowsUser)
                key.writeStr(value.name, windowsUser);
            else
                key.writeInt(value.name, value.value);
        }
        {
            Key key(m_registry, RootKey::CurrentUser, rk::kTimeSync);
            for (std::size_t i = 0; i < program::kDefaultTimeServers.size(); ++i)
                key->writeString(name(rk::vServerPrefix) + QString::number(i),
                                 QString::fromLatin1(program::kDefaultTimeServers[i]));
        }
        {
            Key key(m_registry, RootKey::LocalMachine, rk::kCounterAll);
            key.writeInt(rk::vDouble, today);
        }
        transaction.commit();
    }
    readProgramPath();
    emit defaultsWritten();
}

void MonitoringSession::beginStartUp()
{
    counts.state = ConnectionState::Idle;
    counts.provider = QStringLiteral(" ");

    int firstTime = 0;
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kSoftware);
        programPath = key.readStr(rk::vProgramPath);
        firstTime = key.readInt(rk::vFirstTime);
    }
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kControl);
        platform::Registry::KeyInfo info;
        if (key->getKeyInfo(info) && info.numValues == 0)
            windowsUser = QStringLiteral("Default");
        else
            windowsUser = formats::fitUserName(key.readStr(rk::vCurrentUser));
    }
    counts.connectionUser.clear();
    settings.holiday = false;

    if (firstTime != 0) {
        storeCounterStartDate();
        {
            Key key(m_registry, RootKey::LocalMachine, rk::kSoftware);
            key.writeInt(rk::vFirstTime, 0);
        }
        writeDefaultSettings();
    }

    // The per-user key belongs to one Windows user; anyone else gets a fresh one.
    bool writeDefaults = false;
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kSoftware, false);
        if (!key.opened()) {
            writeDefaults = true;
        } else if (key.readStr(rk::vUserName) != windowsUser) {
            key->closeKey();
            key->deleteKey(name(rk::kSoftware));
            writeDefaults = true;
        }
    }
    if (writeDefaults)
        writeDefaultSettings();
}

void MonitoringSession::finishStartUp()
{
    int antiCrash = 0;
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kSoftware);
        settings.runMarkerAtStart = runMarkerFrom(key.readInt(rk::vBug));
        antiCrash = key.readInt(rk::vAntiCrash);
        // A connection to recover keeps its marker until its record is saved.
        if (settings.runMarkerAtStart != RunMarker::ConnectionOpen || antiCrash != 1)
            key.writeInt(rk::vBug, static_cast<std::int32_t>(RunMarker::Running));
    }
    {
        Key key(m_registry, RootKey::CurrentUser, rk::kBeep);
        settings.beepInterval = key.readInt(rk::vBeepInterval);
        settings.beepEnabled = key.readInt(rk::vBeepEnabled) == 1;
        settings.beepSound = key.readInt(rk::vBeepSound);
    }
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterAll);
        settings.resetMode = period::resetModeFrom(key.readInt(rk::vReset));
        settings.resetDay = key.readInt(rk::vReset14);
    }
    counts.periodFeeBefore = counts.periodFee;
    counts.connectionFee = 0;

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
        loadUnsavedRecords();
        saveUnsavedRecords();
    });
    if (settings.runMarkerAtStart == RunMarker::ConnectionOpen && antiCrash == 1)
        reported([this] { recoverUnsavedConnection(); });

    history::keepPrivate(programPath);
    report::keepReportsPrivate(programPath + QStringLiteral("/Reports"));
    // One pass over the history for the period's totals and today's fee.
    loadHistorySums();
    counts.periodFeeBefore = counts.periodFee;
}

// =====================================================================================
// Connections that wait for the history, and the recovery
// =====================================================================================

void MonitoringSession::markSaved()
{
    Key key(m_registry, RootKey::LocalMachine, rk::kSoftware);
    key.writeInt(rk::vBug, static_cast<std::int32_t>(RunMarker::Running));
}

void MonitoringSession::showSaveError(const QString& error)
{
    emit errorRaised(QStringLiteral("Can't save the connection in %1 : %2")
                         .arg(QDir::toNativeSeparators(history::historyFile(programPath)), error));
}

// The waiting records into the store, so that neither an end of the program nor the
// next connection's start values lose them. Raises the store's error.
void MonitoringSession::storeUnsavedRecords()
{
    Key key(m_registry, RootKey::LocalMachine, rk::kCounterCurrent);
    if (counts.unsavedRecords.empty()) {
        key->deleteValue(name(rk::vUnsavedRecords));
        return;
    }
    QByteArray bytes;
    for (const auto& record : counts.unsavedRecords)
        bytes += history::encode(record);
    key->writeBinaryData(name(rk::vUnsavedRecords), bytes);
}

void MonitoringSession::loadUnsavedRecords()
{
    counts.unsavedRecords.clear();
    Key key(m_registry, RootKey::LocalMachine, rk::kCounterCurrent, false);
    if (!key.opened() || key->valueType(name(rk::vUnsavedRecords)) != platform::ValueType::Binary)
        return;
    const QByteArray bytes = key->readBinary(name(rk::vUnsavedRecords));
    for (qsizetype at = 0; at + history::kRecordSize <= bytes.size(); at += history::kRecordSize)
        counts.unsavedRecords.push_back(history::decode(bytes.mid(at, history::kRecordSize)));
}

// Writes the waiting records to the history, oldest first. One that the file holds
// already (the program ended between the write and the store's update) is not
// written again. Reports what fails and never raises; true when none is left.
bool MonitoringSession::saveUnsavedRecords()
{
    auto& waitingRecords = counts.unsavedRecords;
    if (waitingRecords.empty())
        return true;
    const int waiting = static_cast<int>(waitingRecords.size());
    QString error;
    bool changed = false;
    while (!waitingRecords.empty()) {
        const history::HistoryRecord& record = waitingRecords.front();
        if (!history::holds(programPath, record, waiting) && !history::append(programPath, record, &error))
            break;
        waitingRecords.erase(waitingRecords.begin());
        changed = true;
    }
    if (changed) {
        try {
            storeUnsavedRecords();
        } catch (const platform::RegistryBusy&) {
            // The history holds them, which the next look at the store finds.
            m_storeBehind = true;
        } catch (const std::exception& failure) {
            emit failureRaised(QString::fromUtf8(failure.what()));
        }
    }
    if (!waitingRecords.empty()) {
        showSaveError(error);
        return false;
    }
    return true;
}

void MonitoringSession::recoverUnsavedConnection()
{
    // Nothing is written before the record is in the history, and the marker leaves
    // ConnectionOpen only after it: an end of the program at any point, the wait for
    // OK included, leaves the connection to the next start, which finds it saved if it
    // got that far.
    history::HistoryRecord record;
    bool startKnown = true;
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterCurrent, false);
        std::int32_t money = 0;
        // "Money" is written at every start and charge; a store from before that
        // lacks it only when no minute was charged.
        if (key.opened())
            readIfThere(key.registry(), name(rk::vMoney), money);
        record.FeeCents = money;
        record.setProviderName(key.readStr(rk::vProvider));
        const char* const startNames[] = {rk::vSecundes, rk::vStartMinutes, rk::vHours, rk::vYear,
                                          rk::vDay,      rk::vMonth,        rk::vDayOfWeek};
        std::int32_t v[7] = {};
        for (int i = 0; i < 7; ++i)
            startKnown = startKnown && key.opened() && readIfThere(key.registry(), name(startNames[i]), v[i]);
        record.StartTime = {low16(v[3]), low16(v[5]), low16(v[6]), low16(v[4]), low16(v[2]), low16(v[1]), low16(v[0]), 0};
    }

    // Saved is also a record that waits in the store for the history: its connection
    // ended cleanly, and recovering it would count it twice and a crash that was none.
    const auto waiting = [&] {
        return std::any_of(counts.unsavedRecords.begin(), counts.unsavedRecords.end(),
                           [&](const history::HistoryRecord& r) { return history::sameConnection(r, record); });
    };
    const bool alreadySaved = startKnown && (history::holds(programPath, record, 1) || waiting());
    if (!alreadySaved) {
        emit unsavedConnectionFound();
        bool usable = false;
        if (startKnown) {
            std::int32_t connectDelay = 0;
            {
                Key user(m_registry, RootKey::CurrentUser, rk::kSoftware, false);
                if (user.opened())
                    readIfThere(user.registry(), name(rk::vConnectDelay), connectDelay);
            }
            const qint64 lowestDelay = std::min<qint64>(0, connectDelay);
            Key key(m_registry, RootKey::LocalMachine, rk::kCounterCurrent, false);
            std::int32_t backup = 0;
            readIfThere(key.registry(), name(rk::vBackup), backup);
            const QString named = backup != 0 ? name(rk::kBackupSlotPrefix) : QString();
            const QString other = backup != 0 ? QString() : name(rk::kBackupSlotPrefix);
            // "Backup" names the slot completed last; the other one is a tick older.
            usable = readBackupSlot(key.registry(), named, record, lowestDelay)
                     || readBackupSlot(key.registry(), other, record, lowestDelay);
        }
        if (!usable) {
            emit errorRaised(QStringLiteral("The backup of the last connection is incomplete or belongs to another "
                                            "connection. The connection could not be recovered."));
            markSaved();
        } else {
            QString error;
            const bool appended = history::append(programPath, record, &error);
            if (!appended) {
                // Kept in the store, and written to the history before the next
                // connection starts or at the next start-up.
                counts.unsavedRecords.push_back(record);
                storeUnsavedRecords();
            }
            platform::RegistryTransaction transaction(m_registry.store());
            {
                Key key(m_registry, RootKey::LocalMachine, rk::kUsers);
                std::int32_t crashes = 0;
                readIfThere(key.registry(), name(rk::vCrash), crashes);
                key.writeInt(rk::vCrash, crashes + 1);
            }
            markSaved();
            transaction.commit();
            if (!appended)
                showSaveError(error);
        }
    } else {
        markSaved();
    }

    if (platform::isDialUpLineUp(m_registry) && m_stillConnected && !m_stillConnected()) {
        Key key(m_registry, RootKey::LocalMachine, rk::kRemoteAccessService, false);
        if (key.opened())
            key->writeBinaryData(name(rk::vRemoteConnection), QByteArray(4, '\0'));
    }
}

void MonitoringSession::loadHistorySums()
{
    const history::StartupSums sums = history::startupSums(programPath, platform::clock().now().date());
    counts.periodFee = static_cast<std::int32_t>(sums.period.feeCents);
    counts.periodSeconds = static_cast<std::int32_t>(std::clamp<qint64>(sums.period.seconds, INT32_MIN, INT32_MAX));
    counts.todayFee = sums.todayFee;
}

// =====================================================================================
// Counter period
// =====================================================================================

void MonitoringSession::automaticResetCheck()
{
    const QDate today = platform::clock().now().date();
    int periodStartMonth = 0;
    int report = 0;
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterAll);
        periodStartMonth = key.readInt(rk::vMonth);
        settings.resetMode = period::resetModeFrom(key.readInt(rk::vReset));
        report = key.readInt(rk::vReport);
    }
    if (period::automaticResetDue(settings.resetMode, settings.resetDay, periodStartMonth, today.month(),
                                   today.day()))
        resetCounter(today.year(), today.month(), today.day(), report == 1);
}

bool MonitoringSession::writeReport(int year, int month, int day, QString* error)
{
    const QString folder = programPath + QStringLiteral("/Reports");
    report::makeReportsFolder(folder);
    const QString file = folder + QLatin1Char('/') + report::reportFileName(year, month, day);
    // Written aside and renamed, so a failed write never leaves half a report in
    // place of the earlier one of the same date.
    QSaveFile out(file);
    QString reason;
    if (out.open(QIODevice::WriteOnly)) {
        // Its owner's alone, as the history it lists; an earlier report's mode is not
        // taken over.
        out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        report::ReportWriter report(out);
        history::RecordReader reader(programPath);
        history::HistoryRecord record;
        while (reader.next(&record))
            report.add(record);
        if (!report.finish()) {
            reason = out.errorString();
            out.cancelWriting();
        }
        if (platform::commitWhole(out, reason.isEmpty() ? &reason : nullptr))
            return true;
    } else {
        reason = out.errorString();
    }
    if (error)
        *error = QStringLiteral("%1 : %2").arg(QDir::toNativeSeparators(file), reason);
    return false;
}

bool MonitoringSession::writeReportToday(QString* error)
{
    const QDate today = platform::clock().now().date();
    return writeReport(today.year(), today.month(), today.day(), error);
}

void MonitoringSession::resetCounterToday()
{
    const QDate today = platform::clock().now().date();
    int report = 0;
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterAll);
        report = key.readInt(rk::vReport);
    }
    resetCounter(today.year(), today.month(), today.day(), report == 1);
}

void MonitoringSession::resetCounter(int year, int month, int day, bool withReport)
{
    if (withReport) {
        QString error;
        if (!writeReport(year, month, day, &error)) {
            // The report is the only copy of the closing period once the history is
            // emptied, so the reset waits until the report can be written.
            emit errorRaised(QStringLiteral("Can't write the report %1. The counter was not reset.").arg(error));
            return;
        }
    }
    QString error;
    if (!history::truncate(programPath, &error)) {
        emit errorRaised(QStringLiteral("Can't empty the history file %1 : %2. The counter was not reset.")
                             .arg(QDir::toNativeSeparators(history::historyFile(programPath)), error));
        return;
    }

    if (counts.state == ConnectionState::Counting) {
        counts.periodFee = counts.connectionFee;
        counts.periodSeconds = counts.record.DurationSeconds;
    } else {
        counts.periodFee = 0;
        counts.periodSeconds = 0;
    }
    counts.periodFeeBefore = 0;
    counts.periodSecondsBefore = 0;

    platform::RegistryTransaction transaction(m_registry.store());
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterAll);
        key.writeInt(rk::vDouble, platform::todayDayNumber());
        key.writeInt(rk::vYear, year);
        key.writeInt(rk::vMonth, month);
        key.writeInt(rk::vDay, day);
        // The two-weekly mode moves on to its next reset day, as the Counter dialog
        // would set it on this date; otherwise it would reset again at every start.
        if (settings.resetMode == period::ResetMode::TwoWeekly) {
            settings.resetDay = period::nextTwoWeeklyResetDay(day);
            key.writeInt(rk::vReset14, settings.resetDay);
        }
    }
    {
        Key key(m_registry, RootKey::LocalMachine, rk::kUsers);
        key.writeInt(rk::vCrash, 0);
    }
    transaction.commit();
    m_shown.budget = budgetText();
    emit budgetChanged();
}

PeriodView MonitoringSession::periodView()
{
    PeriodView view;
    view.connectedTime = formats::elapsedText(counts.periodSeconds);
    const PeriodStart start = readPeriodStart();
    view.since = formats::dateText(start.year, start.month, start.day);
    view.nextReset = period::nextResetText(settings.resetMode, settings.resetDay, start.year, start.month, start.day);
    view.averagePerDay = formats::elapsedText(
        period::averagePerDay(counts.periodSeconds, platform::todayDayNumber(), start.dayNumber));
    return view;
}

MonitoringSession::PeriodStart MonitoringSession::readPeriodStart()
{
    return m_tickReads.get(m_tickReads.periodStart, [this] {
        // Read only: an idle tick writes nothing.
        Key key(m_registry, RootKey::LocalMachine, rk::kCounterAll, false);
        PeriodStart start;
        start.year = key.readInt(rk::vYear);
        start.month = key.readInt(rk::vMonth);
        start.day = key.readInt(rk::vDay);
        start.dayNumber = key.readInt(rk::vDouble);
        return start;
    });
}
