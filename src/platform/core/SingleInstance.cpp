#include "platform/core/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

#include <algorithm>

namespace platform {

namespace {

const char kRequest[] = "show\n";
const char kAnswer[] = "shown\n";

// The copy that holds the lock listens right after taking it; a start that comes in
// between finds no socket yet and tries again for this long.
constexpr int kListenGraceMs = 3000;
// The running copy answers from its event loop, which a message box or a network
// exchange keeps running; a copy that hangs gets this long.
constexpr int kAnswerMs = 5000;

// A socket's path must fit into sockaddr_un (108 bytes with its zero); a store folder
// deeper than that gets a socket in the temporary folder, named for the user and the
// folder.
constexpr qsizetype kMaxSocketPath = 100;

QString socketNameFor(const QString& folder)
{
    const QString beside = folder + QStringLiteral("/dialtally.socket");
    if (QFile::encodeName(beside).size() <= kMaxSocketPath)
        return beside;
    const QByteArray hash = QCryptographicHash::hash(QFile::encodeName(folder), QCryptographicHash::Sha1).toHex();
    return QDir::tempPath()
           + QStringLiteral("/dialtally-%1-%2.socket").arg(::getuid()).arg(QString::fromLatin1(hash.left(16)));
}

}  // namespace

SingleInstance::SingleInstance(const QString& folder, QObject* parent)
    : QObject(parent)
    , m_folder(folder)
    , m_socketName(socketNameFor(folder))
    , m_lock(folder + QStringLiteral("/dialtally.lock"))
{
    // Stale only when its process is gone: a copy that runs for weeks keeps its lock.
    m_lock.setStaleLockTime(0);
}

SingleInstance::~SingleInstance()
{
    if (m_server)
        m_server->close();
}

SingleInstance::Claim SingleInstance::claim(QString* detail)
{
    // The folder is the store's: made here as the store would make it, private.
    if (!QDir(m_folder).exists() && QDir().mkpath(m_folder))
        QFile::setPermissions(m_folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);

    if (m_lock.tryLock(0)) {
        // A lock file that QLockFile took for stale can still belong to a running copy
        // whose program file was replaced (an installation over it): the socket is
        // the last word.
        if (handOver()) {
            m_lock.unlock();
            return Claim::HandedOver;
        }
        listen();
        return Claim::First;
    }
    if (m_lock.error() != QLockFile::LockFailedError) {
        if (detail)
            *detail = QStringLiteral("Cannot make the lock file \"%1\": %2")
                          .arg(m_lock.fileName(), m_lock.error() == QLockFile::PermissionError
                                                      ? QStringLiteral("permission denied")
                                                      : QStringLiteral("unknown error"));
        return Claim::Unguarded;
    }
    const QDeadlineTimer grace(kListenGraceMs);
    do {
        if (handOver())
            return Claim::HandedOver;
        QThread::msleep(100);
    } while (!grace.hasExpired());
    if (detail) {
        qint64 pid = 0;
        QString host, application;
        m_lock.getLockInfo(&pid, &host, &application);
        *detail = QStringLiteral("Dialtally runs already (process %1, lock file \"%2\") but did not answer; "
                                 "this start ends.")
                      .arg(pid)
                      .arg(m_lock.fileName());
    }
    return Claim::OtherDidNotAnswer;
}

bool SingleInstance::handOver()
{
    QLocalSocket socket;
    socket.connectToServer(m_socketName);
    // A socket nobody listens on refuses at once; only a listener makes this wait.
    if (!socket.waitForConnected(kAnswerMs))
        return false;
    socket.write(kRequest);
    if (!socket.waitForBytesWritten(kAnswerMs))
        return false;
    QByteArray answer;
    const QDeadlineTimer deadline(kAnswerMs);
    while (!answer.contains('\n') && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(int(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        answer += socket.readAll();
    }
    socket.disconnectFromServer();
    return answer == kAnswer;
}

void SingleInstance::listen()
{
    // A socket file left by a copy that was killed; the lock says it is ours now.
    QLocalServer::removeServer(m_socketName);
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(m_socketName)) {
        qWarning("Later starts of Dialtally cannot reach this one: %s", qPrintable(m_server->errorString()));
        return;
    }
    connect(m_server, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = m_server->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                // Anything but the one request is not a later start of ours.
                if (!socket->canReadLine()) {
                    if (socket->bytesAvailable() > 64)
                        socket->abort();
                    return;
                }
                const QByteArray line = socket->readLine(64);
                if (line != kRequest) {
                    socket->abort();
                    return;
                }
                socket->write(kAnswer);
                socket->flush();
                socket->disconnectFromServer();
                emit showRequested();
            });
        }
    });
}

}  // namespace platform
