#include "platform/core/SingleInstance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QSocketNotifier>
#include <QThread>
#include <QVariant>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

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
// A request is one short line; a peer that sends more without ending it is no later
// start of ours.
constexpr qsizetype kLongestRequest = 64;

struct Descriptor {
    explicit Descriptor(int descriptor) : fd(descriptor) {}
    ~Descriptor()
    {
        if (fd >= 0)
            ::close(fd);
    }
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    int release() { return std::exchange(fd, -1); }
    int fd;
};

bool socketAddress(const QString& path, sockaddr_un& address)
{
    const QByteArray native = QFile::encodeName(path);
    if (native.isEmpty() || native.size() >= qsizetype(sizeof address.sun_path))
        return false;
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    return true;
}

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
    if (m_listener < 0)
        return;
    // The socket file goes with the listener, so that a later start finds nobody
    // rather than a socket that refuses it.
    // The listener and the connections that still wait for their request; a finished
    // one is disabled, its descriptor closed already.
    for (QSocketNotifier* notifier : findChildren<QSocketNotifier*>(Qt::FindDirectChildrenOnly)) {
        if (!notifier->isEnabled())
            continue;
        notifier->setEnabled(false);
        ::close(int(notifier->socket()));
    }
    QFile::remove(m_socketName);
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
    sockaddr_un address{};
    if (!socketAddress(m_socketName, address))
        return false;
    const Descriptor socket(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (socket.fd < 0)
        return false;
    // A socket nobody listens on refuses at once; only a listener whose queue is full
    // makes the connect wait, and the send time-out bounds that wait.
    const timeval answerTime{kAnswerMs / 1000, (kAnswerMs % 1000) * 1000};
    ::setsockopt(socket.fd, SOL_SOCKET, SO_SNDTIMEO, &answerTime, sizeof answerTime);
    if (::connect(socket.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return false;
    const QByteArray request(kRequest);
    qsizetype sent = 0;
    while (sent < request.size()) {
        const ssize_t n = ::send(socket.fd, request.constData() + sent, size_t(request.size() - sent), MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        sent += n;
    }
    QByteArray answer;
    const QDeadlineTimer deadline(kAnswerMs);
    while (!answer.contains('\n')) {
        pollfd readable{socket.fd, POLLIN, 0};
        const int ready = ::poll(&readable, 1, int(std::max<qint64>(0, deadline.remainingTime())));
        if (ready < 0 && errno == EINTR)
            continue;
        if (ready <= 0)
            break;
        char chunk[64];
        const ssize_t n = ::recv(socket.fd, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        answer.append(chunk, n);
    }
    return answer == kAnswer;
}

void SingleInstance::listen()
{
    auto refused = [](const char* step) {
        qWarning("Later starts of Dialtally cannot reach this one: %s: %s", step, std::strerror(errno));
    };
    // The socket is made private under a name of its own and then put in place, so
    // that nobody else can reach it in between; a socket file left by a copy that was
    // killed is replaced by that, the lock says the place is ours now.
    const QString fresh = m_socketName + QStringLiteral(".new");
    sockaddr_un address{};
    if (!socketAddress(fresh, address)) {
        errno = ENAMETOOLONG;
        refused("bind");
        return;
    }
    Descriptor listener(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (listener.fd < 0) {
        refused("socket");
        return;
    }
    QFile::remove(fresh);
    if (::bind(listener.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        refused("bind");
        return;
    }
    const QByteArray freshNative = QFile::encodeName(fresh);
    if (::chmod(freshNative.constData(), S_IRUSR | S_IWUSR) != 0
        || ::rename(freshNative.constData(), QFile::encodeName(m_socketName).constData()) != 0) {
        refused("chmod or rename");
        ::unlink(freshNative.constData());
        return;
    }
    if (::listen(listener.fd, SOMAXCONN) != 0) {
        refused("listen");
        QFile::remove(m_socketName);
        return;
    }
    m_listener = listener.release();
    auto* incoming = new QSocketNotifier(m_listener, QSocketNotifier::Read, this);
    connect(incoming, &QSocketNotifier::activated, this, &SingleInstance::acceptPending);
}

void SingleInstance::acceptPending()
{
    for (;;) {
        const int client = ::accept4(m_listener, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (client < 0) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            return;
        }
        auto* connection = new QSocketNotifier(client, QSocketNotifier::Read, this);
        connect(connection, &QSocketNotifier::activated, this, [this, connection] { readRequest(connection); });
    }
}

void SingleInstance::readRequest(QSocketNotifier* connection)
{
    const int client = int(connection->socket());
    QByteArray line = connection->property("received").toByteArray();
    bool ended = false;
    for (;;) {
        char chunk[64];
        const ssize_t n = ::recv(client, chunk, sizeof chunk, 0);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            break;
        if (n <= 0) {
            ended = true;
            break;
        }
        line.append(chunk, n);
        if (line.contains('\n') || line.size() > kLongestRequest)
            break;
    }
    const qsizetype end = line.indexOf('\n');
    // Anything but the one request is not a later start of ours.
    if (end < 0 && !ended && line.size() <= kLongestRequest) {
        connection->setProperty("received", line);
        return;
    }
    const bool request = end >= 0 && line.left(end + 1) == kRequest;
    if (request)
        ::send(client, kAnswer, sizeof kAnswer - 1, MSG_NOSIGNAL);
    connection->setEnabled(false);
    ::close(client);
    connection->deleteLater();
    if (request)
        emit showRequested();
}

}  // namespace platform
