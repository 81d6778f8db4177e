#include "dialtally/core/CrashJournal.h"

#include "platform/core/DialUpLine.h"
#include "dialtally/core/Formats.h"
#include "platform/core/Settings.h"

#include <QDir>

#include <algorithm>

using settings::Opening;

namespace {

std::uint16_t low16(std::int32_t v)
{
    return static_cast<std::uint16_t>(v & 0xFFFF);
}

// Slack for a clock that moved by a second between two readings.
constexpr qint64 kSlotSlackSeconds = 2;

// A backup slot is used only when all of it was written, it ends no earlier than the
// stored start, and its elapsed time fits the span from that start: the connect delay
// counts as elapsed, so the time may exceed the span by any delay, and falls short of
// it only by a delay below 0 (`lowestDelay`). A slot of an earlier connection ends
// before this start.
bool readBackupSlot(settings::Settings& store, const QString& prefix, history::HistoryRecord& record,
                    qint64 lowestDelay)
{
    const settings::IntegerSetting* const values[] = {
        &settings::SlotSecond, &settings::SlotMinute, &settings::SlotHour,      &settings::SlotYear,
        &settings::SlotDay,    &settings::SlotMonth,  &settings::SlotDayOfWeek, &settings::SlotTime};
    std::int32_t v[8];
    for (int i = 0; i < 8; ++i) {
        const std::optional<std::int32_t> found = store.find(values[i]->prefixed(prefix), Opening::ExistingKey);
        if (!found)
            return false;
        v[i] = *found;
    }
    // The day of the week is part of a whole slot, but the date tells it.
    const platform::LocalDateTime end{low16(v[3]), low16(v[5]), low16(v[4]), low16(v[2]), low16(v[1]), low16(v[0])};
    const QDateTime from = record.StartTime.toDateTime();
    const QDateTime to = end.toDateTime();
    if (!from.isValid() || !to.isValid())
        return false;
    const qint64 span = from.secsTo(to);
    const qint64 delay = qint64(v[7]) - span;
    if (span < 0 || delay < lowestDelay - kSlotSlackSeconds)
        return false;
    record.EndTime = end;
    record.DurationSeconds = v[7];
    record.setUserName(store.get(settings::SlotUser.prefixed(prefix), Opening::ExistingKey));
    return true;
}

void writeSlot(settings::Settings& store, const QString& prefix, const platform::LocalDateTime& now,
               const QString& user, std::int32_t elapsed)
{
    const auto put = [&](const settings::IntegerSetting& value, std::int32_t v) { store.set(value.prefixed(prefix), v); };
    store.set(settings::SlotUser.prefixed(prefix), user);
    put(settings::SlotSecond, now.second);
    put(settings::SlotMinute, now.minute);
    put(settings::SlotHour, now.hour);
    put(settings::SlotYear, now.year);
    put(settings::SlotDay, now.day);
    put(settings::SlotMonth, now.month);
    put(settings::SlotDayOfWeek, now.dayOfWeek());
    put(settings::SlotTime, elapsed);
}

QString secondSlot()
{
    return QString::fromLatin1(settings::BackupSlotPrefix);
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

CrashJournal::CrashJournal(SessionContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{ }

bool CrashJournal::openRun()
{
    settings::Settings& store = m_context.settings;
    m_runMarkerAtStart = runMarkerFrom(store.get(settings::Bug));
    const int antiCrash = store.get(settings::AntiCrash);
    const bool recovery = m_runMarkerAtStart == RunMarker::ConnectionOpen && antiCrash == 1;
    // A connection to recover keeps its marker until its record is saved.
    if (!recovery)
        store.set(settings::Bug, static_cast<std::int32_t>(RunMarker::Running));
    return recovery;
}

void CrashJournal::markSaved()
{
    m_context.settings.set(settings::Bug, static_cast<std::int32_t>(RunMarker::Running));
}

void CrashJournal::showSaveError(const QString& error)
{
    emit errorRaised(QStringLiteral("Can't save the connection in %1 : %2")
                         .arg(QDir::toNativeSeparators(history::historyFile(m_context.programPath)), error));
}

// The waiting records into the store, so that neither an end of the program nor the
// next connection's start values lose them. Raises the store's error.
void CrashJournal::storeWaiting()
{
    settings::Settings& store = m_context.settings;
    if (m_waiting.empty()) {
        store.remove(settings::UnsavedRecords);
        return;
    }
    QByteArray bytes;
    for (const auto& record : m_waiting)
        bytes += history::encode(record);
    store.set(settings::UnsavedRecords, bytes);
}

void CrashJournal::loadWaiting()
{
    m_waiting.clear();
    settings::Settings& store = m_context.settings;
    if (store.storedType(settings::UnsavedRecords, Opening::ExistingKey) != platform::ValueType::Binary)
        return;
    const QByteArray bytes = store.get(settings::UnsavedRecords, Opening::ExistingKey);
    for (qsizetype at = 0; at + history::kRecordSize <= bytes.size(); at += history::kRecordSize)
        m_waiting.push_back(history::decode(bytes.mid(at, history::kRecordSize)));
}

bool CrashJournal::saveWaiting()
{
    if (m_waiting.empty())
        return true;
    const QString& programPath = m_context.programPath;
    const int waiting = static_cast<int>(m_waiting.size());
    QString error;
    bool changed = false;
    while (!m_waiting.empty()) {
        const history::HistoryRecord& record = m_waiting.front();
        if (!history::holds(programPath, record, waiting) && !history::append(programPath, record, &error))
            break;
        m_waiting.erase(m_waiting.begin());
        changed = true;
    }
    if (changed) {
        try {
            storeWaiting();
        } catch (const platform::RegistryBusy&) {
            // The history holds them, which the next look at the store finds.
            m_storeBehind = true;
        } catch (const std::exception& failure) {
            emit failureRaised(QString::fromUtf8(failure.what()));
        }
    }
    if (!m_waiting.empty()) {
        showSaveError(error);
        return false;
    }
    return true;
}

void CrashJournal::recover(const std::function<bool()>& stillConnected)
{
    platform::Registry& registry = m_context.registry;
    settings::Settings& store = m_context.settings;
    const QString& programPath = m_context.programPath;
    // Nothing is written before the record is in the history, and the marker leaves
    // ConnectionOpen only after it: an end of the program at any point, the wait for
    // OK included, leaves the connection to the next start, which finds it saved if it
    // got that far.
    history::HistoryRecord record;
    bool startKnown = true;
    {
        // "Money" is written at every start and charge; a store from before that
        // lacks it only when no minute was charged.
        record.FeeCents = store.find(settings::Money, Opening::ExistingKey).value_or(0);
        record.setProviderName(store.get(settings::Provider, Opening::ExistingKey));
        const settings::IntegerSetting* const startValues[] = {
            &settings::StartSecond, &settings::StartMinute, &settings::StartHour,     &settings::StartYear,
            &settings::StartDay,    &settings::StartMonth,  &settings::StartDayOfWeek};
        std::int32_t v[7] = {};
        for (int i = 0; i < 7 && startKnown; ++i) {
            const std::optional<std::int32_t> found = store.find(*startValues[i], Opening::ExistingKey);
            startKnown = found.has_value();
            v[i] = found.value_or(0);
        }
        record.StartTime = {low16(v[3]), low16(v[5]), low16(v[4]), low16(v[2]), low16(v[1]), low16(v[0])};
    }

    // Saved is also a record that waits in the store for the history: its connection
    // ended cleanly, and recovering it would count it twice and a crash that was none.
    const auto waiting = [&] {
        return std::any_of(m_waiting.begin(), m_waiting.end(),
                           [&](const history::HistoryRecord& r) { return history::sameConnection(r, record); });
    };
    const bool alreadySaved = startKnown && (history::holds(programPath, record, 1) || waiting());
    if (!alreadySaved) {
        emit unsavedConnectionFound();
        bool usable = false;
        if (startKnown) {
            const std::int32_t connectDelay = store.find(settings::ConnectDelay, Opening::ExistingKey).value_or(0);
            const qint64 lowestDelay = std::min<qint64>(0, connectDelay);
            const std::int32_t backup = store.find(settings::Backup, Opening::ExistingKey).value_or(0);
            const QString named = backup != 0 ? secondSlot() : QString();
            const QString other = backup != 0 ? QString() : secondSlot();
            // "Backup" names the slot completed last; the other one is a tick older.
            usable = readBackupSlot(store, named, record, lowestDelay)
                     || readBackupSlot(store, other, record, lowestDelay);
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
                m_waiting.push_back(record);
                storeWaiting();
            }
            platform::RegistryTransaction transaction(registry.store());
            store.set(settings::Crash, store.find(settings::Crash).value_or(0) + 1);
            markSaved();
            transaction.commit();
            if (!appended)
                showSaveError(error);
        }
    } else {
        markSaved();
    }

    if (platform::isDialUpLineUp(registry) && stillConnected && !stillConnected())
        platform::markDialUpLineDown(registry);
}

void CrashJournal::recordStart(const platform::LocalDateTime& start)
{
    settings::Settings& store = m_context.settings;
    store.set(settings::StartSecond, start.second);
    store.set(settings::StartMinute, start.minute);
    store.set(settings::StartHour, start.hour);
    store.set(settings::StartYear, start.year);
    store.set(settings::StartDay, start.day);
    store.set(settings::StartMonth, start.month);
    store.set(settings::StartDayOfWeek, start.dayOfWeek());
    store.set(settings::Money, 0);
    store.set(settings::Fee, formats::feeText(0));
}

void CrashJournal::recordOpened(const QString& provider, const QString& user, std::int32_t elapsed,
                                const platform::LocalDateTime& start)
{
    settings::Settings& store = m_context.settings;
    store.set(settings::Provider, provider);
    for (const QString& prefix : {QString(), secondSlot()})
        writeSlot(store, prefix, start, user, elapsed);
    // What waits for the history must be in the store before the marker says that
    // these values belong to a new connection.
    if (!m_waiting.empty())
        storeWaiting();
    store.set(settings::Bug, static_cast<std::int32_t>(RunMarker::ConnectionOpen));
}

void CrashJournal::recordFee(std::int32_t fee, const QString& feeText)
{
    m_context.settings.set(settings::Money, fee);
    m_context.settings.set(settings::Fee, feeText);
}

void CrashJournal::writeBackupSlot(const platform::LocalDateTime& now, const QString& user, std::int32_t elapsed)
{
    // Each second, inside the counting tick's transaction.
    settings::Settings& store = m_context.settings;
    const std::int32_t backup =
        store.storedType(settings::Backup) != platform::ValueType::None ? store.get(settings::Backup) : 0;
    writeSlot(store, backup != 0 ? QString() : secondSlot(), now, user, elapsed);
    store.set(settings::Backup, backup != 0 ? 0 : 1);
}

bool CrashJournal::saveEnded(const history::HistoryRecord& record)
{
    // The file keeps the order in which connections ended: while older ones wait,
    // this one waits behind them.
    QString error;
    bool saved = saveWaiting();
    if (saved) {
        saved = history::append(m_context.programPath, record, &error);
        if (!saved)
            showSaveError(error);
    }
    if (!saved)
        m_waiting.push_back(record);
    return saved;
}

void CrashJournal::noteEnded(bool saved)
{
    // A record that could not go to the history is saved all the same once it waits
    // in the store, and the marker says so with it: the connection ended cleanly, and
    // the next start must not take it for a crash. Only a store that refuses it too
    // leaves the marker open for the recovery.
    try {
        if (saved) {
            markSaved();
        } else {
            platform::RegistryTransaction transaction(m_context.registry.store());
            storeWaiting();
            markSaved();
            transaction.commit();
        }
    } catch (const platform::RegistryBusy&) {
        // The record is in the history, or waits in memory: the store learns of it
        // next tick, and the rest of this tick goes on.
        m_storeBehind = true;
    }
}

void CrashJournal::catchUp(bool counting)
{
    if (!m_storeBehind)
        return;
    try {
        platform::RegistryTransaction transaction(m_context.registry.store());
        storeWaiting();
        if (!counting)
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

void CrashJournal::closeRun()
{
    // A record that could not be written waits in the store for the next start, which
    // writes it first; the exit is a clean one all the same. Should the store refuse
    // the record, the marker stays as it was and the recovery has the backup.
    platform::RegistryTransaction transaction(m_context.registry.store());
    if (!m_waiting.empty())
        storeWaiting();
    m_context.settings.set(settings::Bug, static_cast<std::int32_t>(RunMarker::Closed));
    transaction.commit();
}
