// The base of our TCP clients (POP3, TIME): blocking calls for the caller that keep
// the event loop running while they wait, as the programs' windows and the
// one-second tick must go on during an exchange. Every wait has a time-out.
#pragma once

#include <QByteArray>
#include <QDeadlineTimer>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

class QTcpSocket;

namespace platform {

enum class NetworkErrorKind {
    HostNotFound,
    ConnectionRefused,
    TimedOut,
    ConnectionClosed,  // the peer closed before the awaited data came
    Protocol,  // a reply that breaks the protocol
    Aborted,  // the exchange was abandoned by our side
    Busy,  // a call while another call of this client is waiting
    Other
};

class NetworkError : public std::runtime_error {
public:
    NetworkError(NetworkErrorKind kind, const QString& text)
        : std::runtime_error(text.toStdString())
        , m_kind(kind)
    { }
    NetworkErrorKind kind() const { return m_kind; }

private:
    NetworkErrorKind m_kind;
};

class SocketClient : public QObject {
    Q_OBJECT
public:
    explicit SocketClient(QObject* parent = nullptr);
    ~SocketClient() override;

    // Milliseconds that one wait (connect, one reply) may take.
    void setTimeout(int milliseconds) { m_timeout = milliseconds; }
    int timeout() const { return m_timeout; }

    bool isConnected() const;
    // True while a call waits for the network.
    bool isBusy() const { return m_busy; }

    void connectToHost(const QString& host, quint16 port);
    void write(const QByteArray& data);
    // One line, without its CR LF (a bare LF ends a line too), within the time-out.
    QByteArray readLine();
    // The same, by a deadline that the caller keeps for a reply of several lines: a
    // peer that sends one line just inside each time-out must not hold us for good.
    QByteArray readLine(const QDeadlineTimer& deadline);
    // Exactly `count` bytes; the peer closing earlier raises ConnectionClosed.
    QByteArray readExactly(int count);
    // Closes politely, waiting at most the time-out; never raises.
    void disconnectFromHost();
    // Abandons a waiting call (it raises Aborted) and drops the connection.
    void abort();

    // Bytes received and not yet consumed.
    QByteArray pending() const { return m_buffer.mid(m_consumed); }

private:
    void waitUntil(const std::function<bool()>& ready, const char* what);
    void waitUntil(const std::function<bool()>& ready, const char* what, const QDeadlineTimer& deadline);
    // One turn of the event loop until the socket has news or the time is up.
    void waitForSocket(qint64 milliseconds);
    void onReadyRead();

    QTcpSocket* m_socket;
    // Received bytes; those before m_consumed were handed out already. Lines are taken
    // from the front without moving the rest, so a reply of many lines costs no more
    // than its size to read.
    QByteArray m_buffer;
    qsizetype m_consumed = 0;
    int m_timeout = 10000;
    bool m_busy = false;
    bool m_aborted = false;
    bool m_closed = false;
    QString m_lastError;
    std::shared_ptr<bool> m_alive;
};

}  // namespace platform
