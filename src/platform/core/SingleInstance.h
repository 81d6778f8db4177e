// One copy of a program per settings store. Two copies of Dialtally would each count
// every connection into the same history, so a second start hands over to the copy
// that runs: a lock file next to the store says that one runs, and a local socket
// beside it carries the request to show its main window.
//
// A lock left by a copy that was killed names a process that no longer runs (or runs
// another program); QLockFile takes it over, so a kill never blocks the next start or
// the recovery that start makes.
#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

class QSocketNotifier;

namespace platform {

class SingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder` is the store's folder: the lock and the socket lie there.
    explicit SingleInstance(const QString& folder, QObject* parent = nullptr);
    ~SingleInstance() override;
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    enum class Claim {
        // This is the one copy; showRequested() tells of later starts.
        First,
        // Another copy runs and was asked to show its window: this one ends.
        HandedOver,
        // Another copy holds the lock but did not take the request (it hangs, or is
        // just starting): this one ends all the same, since it must not count too.
        OtherDidNotAnswer,
        // No lock can be made there (a read-only folder): nothing is guarded, and the
        // store will tell what is wrong with the folder.
        Unguarded,
    };
    // Takes the lock, or hands over to the copy that holds it. `detail` says why for
    // the two outcomes that are not First.
    Claim claim(QString* detail = nullptr);

    QString lockFile() const { return m_lock.fileName(); }
    QString socketName() const { return m_socketName; }

signals:
    // A later start asked for the main window.
    void showRequested();

private:
    bool handOver();
    void listen();
    void acceptPending();
    void readRequest(QSocketNotifier* connection);

    QString m_folder;
    QString m_socketName;
    QLockFile m_lock;
    int m_listener = -1;
};

}  // namespace platform
