#include "platform/core/SocketClient.h"

#include <QElapsedTimer>
#include <QEventLoop>
#include <QTcpSocket>
#include <QTimer>

namespace platform {

namespace {

// Marks the client busy for the length of one call and refuses a second call that
// would start inside the first one's wait.
class BusyScope {
public:
    BusyScope(bool& busy, std::shared_ptr<bool> alive)
        : m_busy(busy)
        , m_alive(std::move(alive))
    {
        if (m_busy)
            throw NetworkError(NetworkErrorKind::Busy, QStringLiteral("The connection is busy"));
        m_busy = true;
    }
    ~BusyScope()
    {
        // The client may have been destroyed while we waited; its flag is gone then.
        if (*m_alive)
            m_busy = false;
    }

private:
    bool& m_busy;
    std::shared_ptr<bool> m_alive;
};

}  // namespace

SocketClient::SocketClient(QObject* parent)
    : QObject(parent)
    , m_socket(new QTcpSocket(this))
    , m_alive(std::make_shared<bool>(true))
{
    connect(m_socket, &QTcpSocket::readyRead, this, &SocketClient::onReadyRead);
    connect(m_socket, &QTcpSocket::disconnected, this, [this] { m_closed = true; });
    connect(m_socket, &QTcpSocket::errorOccurred, this, [this](QAbstractSocket::SocketError error) {
        if (error == QAbstractSocket::RemoteHostClosedError)
            m_closed = true;
        m_lastError = m_socket->errorString();
    });
}

SocketClient::~SocketClient()
{
    *m_alive = false;
}

bool SocketClient::isConnected() const
{
    return m_socket->state() == QAbstractSocket::ConnectedState;
}

void SocketClient::onReadyRead()
{
    // What was handed out goes once it is the larger part, so the buffer holds about
    // what is unread and each byte moves at most a few times.
    if (m_consumed > 0 && m_consumed >= m_buffer.size() - m_consumed) {
        m_buffer.remove(0, m_consumed);
        m_consumed = 0;
    }
    m_buffer += m_socket->readAll();
}

void SocketClient::waitForSocket(qint64 milliseconds)
{
    const std::shared_ptr<bool> alive = m_alive;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    connect(m_socket, &QTcpSocket::readyRead, &loop, &QEventLoop::quit);
    connect(m_socket, &QTcpSocket::connected, &loop, &QEventLoop::quit);
    connect(m_socket, &QTcpSocket::disconnected, &loop, &QEventLoop::quit);
    connect(m_socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    connect(m_socket, &QTcpSocket::stateChanged, &loop, &QEventLoop::quit);
    connect(this, &QObject::destroyed, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(milliseconds));
    // A loop that cannot run (the application is quitting) would make the wait spin.
    if (loop.exec() == -1) {
        if (*alive)
            m_socket->abort();
        throw NetworkError(NetworkErrorKind::Aborted, QStringLiteral("Connection aborted"));
    }
    // The windows run while we wait: the client may have been destroyed meanwhile,
    // and then none of its members may be touched again.
    if (!*alive)
        throw NetworkError(NetworkErrorKind::Aborted, QStringLiteral("Connection aborted"));
}

void SocketClient::waitUntil(const std::function<bool()>& ready, const char* what)
{
    waitUntil(ready, what, QDeadlineTimer(m_timeout));
}

void SocketClient::waitUntil(const std::function<bool()>& ready, const char* what, const QDeadlineTimer& deadline)
{
    for (;;) {
        // Data may sit in the socket without a readyRead of its own (e.g. when it
        // came together with the close).
        if (m_socket->bytesAvailable() > 0)
            onReadyRead();
        if (ready())
            return;
        if (m_aborted)
            throw NetworkError(NetworkErrorKind::Aborted, QStringLiteral("Connection aborted"));
        if (m_closed || m_socket->state() == QAbstractSocket::UnconnectedState) {
            throw NetworkError(
                NetworkErrorKind::ConnectionClosed,
                QStringLiteral("Connection closed by the server while waiting for %1").arg(QLatin1String(what)));
        }
        const qint64 left = deadline.remainingTime();
        if (left == 0) {
            throw NetworkError(NetworkErrorKind::TimedOut,
                               QStringLiteral("Timed out waiting for %1").arg(QLatin1String(what)));
        }
        waitForSocket(left < 0 ? m_timeout : left);
    }
}

void SocketClient::connectToHost(const QString& host, quint16 port)
{
    BusyScope busy(m_busy, m_alive);
    m_aborted = false;
    m_closed = false;
    m_buffer.clear();
    m_consumed = 0;
    m_lastError.clear();
    m_socket->abort();
    m_socket->connectToHost(host, port);
    QElapsedTimer elapsed;
    elapsed.start();
    while (m_socket->state() != QAbstractSocket::ConnectedState) {
        if (m_aborted)
            throw NetworkError(NetworkErrorKind::Aborted, QStringLiteral("Connection aborted"));
        if (m_socket->state() == QAbstractSocket::UnconnectedState) {
            const auto error = m_socket->error();
            const QString text = m_socket->errorString();
            if (error == QAbstractSocket::HostNotFoundError)
                throw NetworkError(NetworkErrorKind::HostNotFound, text);
            if (error == QAbstractSocket::ConnectionRefusedError)
                throw NetworkError(NetworkErrorKind::ConnectionRefused, text);
            throw NetworkError(NetworkErrorKind::Other, text);
        }
        const qint64 left = m_timeout - elapsed.elapsed();
        if (left <= 0) {
            m_socket->abort();
            throw NetworkError(NetworkErrorKind::TimedOut, QStringLiteral("Connection timed out"));
        }
        waitForSocket(left);
    }
}

void SocketClient::write(const QByteArray& data)
{
    if (!isConnected())
        throw NetworkError(NetworkErrorKind::ConnectionClosed, QStringLiteral("Not connected"));
    if (m_socket->write(data) != data.size())
        throw NetworkError(NetworkErrorKind::Other, m_socket->errorString());
    m_socket->flush();
}

QByteArray SocketClient::readLine()
{
    return readLine(QDeadlineTimer(m_timeout));
}

QByteArray SocketClient::readLine(const QDeadlineTimer& deadline)
{
    BusyScope busy(m_busy, m_alive);
    // A peer that never ends its line must not fill our memory while we wait.
    constexpr qsizetype kMaxLine = 1 << 20;
    qsizetype end = -1;
    // How much of the unread bytes was searched for the line end, so bytes that trickle
    // in are not searched again on every turn. Counted from the first unread byte, it
    // stays right when the buffer is compacted meanwhile.
    qsizetype searched = 0;
    waitUntil(
        [this, &end, &searched] {
            end = m_buffer.indexOf('\n', m_consumed + searched);
            searched = m_buffer.size() - m_consumed;
            if (end < 0 && searched > kMaxLine)
                throw NetworkError(NetworkErrorKind::Protocol, QStringLiteral("Reply line too long"));
            return end >= 0;
        },
        "a reply", deadline);
    qsizetype length = end - m_consumed;
    if (length > 0 && m_buffer.at(end - 1) == '\r')
        --length;
    QByteArray line = m_buffer.mid(m_consumed, length);
    m_consumed = end + 1;
    if (m_consumed == m_buffer.size()) {
        // Kept allocated for the next reply.
        m_buffer.resize(0);
        m_consumed = 0;
    }
    return line;
}

QByteArray SocketClient::readExactly(int count)
{
    BusyScope busy(m_busy, m_alive);
    waitUntil([this, count] { return m_buffer.size() - m_consumed >= count; }, "data");
    QByteArray data = m_buffer.mid(m_consumed, count);
    m_consumed += count;
    return data;
}

void SocketClient::disconnectFromHost()
{
    if (m_socket->state() == QAbstractSocket::UnconnectedState)
        return;
    m_socket->disconnectFromHost();
    if (m_socket->state() != QAbstractSocket::UnconnectedState && !m_busy) {
        BusyScope busy(m_busy, m_alive);
        try {
            waitUntil([this] { return m_socket->state() == QAbstractSocket::UnconnectedState; }, "the close");
        } catch (const NetworkError&) {
            // Closing is best effort: a peer that lingers is simply dropped.
        }
    }
    m_socket->abort();
}

void SocketClient::abort()
{
    m_aborted = true;
    // Replies already here belong to the abandoned exchange: the waiting call must not
    // go on reading them.
    m_buffer.clear();
    m_consumed = 0;
    m_socket->abort();
}

}  // namespace platform
