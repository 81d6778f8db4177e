// The crash journal: what lets the next start save a connection that a crash, a
// killed program or a full disk cut short. The run marker says how far the last run
// got; the connection's start, fee and two backup slots say what it had counted; the
// queue holds finished connections that the history could not take yet.
#pragma once

#include "dialtally/core/History.h"
#include "platform/core/LocalTime.h"
#include "dialtally/core/SessionContext.h"

#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// HKLM Software "Bug": how far the last run got. A run that ends while a connection
// is counted leaves ConnectionOpen, which the next start takes for a crash.
enum class RunMarker : std::int32_t {
    Closed = 0,
    Running = 1,
    ConnectionOpen = 2,
};
RunMarker runMarkerFrom(std::int32_t stored);

struct SessionProbe;

class CrashJournal : public QObject {
    Q_OBJECT
public:
    explicit CrashJournal(SessionContext& context, QObject* parent = nullptr);

    // The marker as this run found it.
    RunMarker runMarkerAtStart() const { return m_runMarkerAtStart; }
    // Finished connections that the history could not take yet, oldest first; kept
    // in HKLM Counter\Current "Unsaved" as well, and written to the history before
    // the next connection starts (and by the next start-up).
    const std::vector<history::HistoryRecord>& waitingRecords() const { return m_waiting; }

    // ---- start-up ---------------------------------------------------------------------
    // Reads how the last run ended and marks this one running; true when it left a
    // connection to recover (and the recovery is switched on), whose marker stays.
    bool openRun();
    // The queue as the last run left it in the store, then into the history.
    void loadWaiting();
    // Saves the connection the last run left open from its start and the backup slot
    // completed last; asks `stillConnected` whether the line that is up still belongs
    // to the user, and marks it down when not.
    void recover(const std::function<bool()>& stillConnected);

    // ---- a connection -----------------------------------------------------------------
    // Writes the waiting records to the history, oldest first. One that the file holds
    // already (the program ended between the write and the store's update) is not
    // written again. Reports what fails and never raises; true when none is left.
    bool saveWaiting();
    // The start's time, with no fee yet: a crash before the first charge must not
    // recover the last connection's fee.
    void recordStart(const platform::LocalDateTime& start);
    // The provider and both backup slots from the first moment, so a crash before the
    // first counting tick never recovers the last connection's end; then the queue
    // and the marker that says these values belong to a new connection.
    void recordOpened(const QString& provider, const QString& user, std::int32_t elapsed,
                      const platform::LocalDateTime& start);
    void recordFee(std::int32_t fee, const QString& feeText);
    // Overwrites the slot that was not completed last; "Backup" names it only once all
    // of it is written.
    void writeBackupSlot(const platform::LocalDateTime& now, const QString& user, std::int32_t elapsed);
    // A finished connection into the history, behind those that wait; false when it
    // waits with them.
    bool saveEnded(const history::HistoryRecord& record);
    // The store learns of the end of `saveEnded`: with the record saved or waiting in
    // the store the marker says the connection ended cleanly. A busy store learns of
    // it at the next `catchUp`.
    void noteEnded(bool saved);
    // At the start of a tick: what a busy store could not take at the last end.
    void catchUp(bool counting);
    // The program's end: the queue kept in the store, the marker closed.
    void closeRun();

signals:
    void errorRaised(const QString& text);
    void failureRaised(const QString& text);
    // The last run ended while a connection was counted, and the history lacks it.
    void unsavedConnectionFound();

private:
    friend struct SessionProbe;
    void storeWaiting();
    void markSaved();
    void showSaveError(const QString& error);

    SessionContext& m_context;
    RunMarker m_runMarkerAtStart = RunMarker::Closed;
    std::vector<history::HistoryRecord> m_waiting;
    // A connection's end is in the history but the store does not say so yet (it was
    // busy): the next tick writes the marker and the waiting records first.
    bool m_storeBehind = false;
};
