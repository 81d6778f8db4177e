// A client of the TIME protocol (RFC 868): the server sends the seconds since
// 1 January 1900 00:00 UTC as four bytes in network order and closes. Calls block the
// caller but keep the event loop running, as the windows and the one-second tick must
// go on while the server is asked.
#pragma once

#include "platform/core/SocketClient.h"

#include <QObject>
#include <QString>

#include <cstdint>

namespace platform {

inline constexpr quint16 kTimePort = 37;

class TimeClient : public QObject {
    Q_OBJECT
public:
    explicit TimeClient(QObject* parent = nullptr);

    void setHost(const QString& host) { m_host = host; }
    QString host() const { return m_host; }
    void setPort(quint16 port) { m_port = port; }
    quint16 port() const { return m_port; }
    // Milliseconds that the connection and the reply may each take.
    void setTimeout(int milliseconds) { m_socket->setTimeout(milliseconds); }
    int timeout() const { return m_socket->timeout(); }

    bool isBusy() const { return m_socket->isBusy(); }

    // Asks the server and returns its count as sent: seconds since 1900 modulo 2^32,
    // so a server past February 2036 sends small numbers again. Raises NetworkError:
    // "Connection Timedout" when no connection is made in time (a refused one too) or
    // the reply does not come in time, the lookup's own text for an unknown host,
    // ConnectionClosed after emitting connectionFailed() when the server closes before
    // all four bytes, Protocol for a count of 0, Aborted after abort().
    std::uint32_t queryCount();

    // Stops a query in progress; it ends with an Aborted error.
    void abort() { m_socket->abort(); }

signals:
    // The connection was made but broke before the server sent the time.
    void connectionFailed();

private:
    SocketClient* m_socket;
    QString m_host;
    quint16 m_port = kTimePort;
};

}  // namespace platform
