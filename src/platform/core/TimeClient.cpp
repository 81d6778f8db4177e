#include "platform/core/TimeClient.h"

#include <QPointer>

namespace platform {

namespace {

const QString& timedOutText()
{
    static const QString text = QStringLiteral("Connection Timedout");
    return text;
}

}  // namespace

TimeClient::TimeClient(QObject* parent)
    : QObject(parent)
    , m_socket(new SocketClient(this))
{
    m_socket->setTimeout(10000);
}

std::uint32_t TimeClient::queryCount()
{
    // The windows run while we wait, so this object may be gone when a wait returns.
    const QPointer<TimeClient> self(this);
    try {
        m_socket->connectToHost(m_host, m_port);
    } catch (const NetworkError& error) {
        // A refused connection is reported like one that never came, as users of the
        // dialog have always been told.
        if (error.kind() == NetworkErrorKind::TimedOut || error.kind() == NetworkErrorKind::ConnectionRefused)
            throw NetworkError(NetworkErrorKind::TimedOut, timedOutText());
        throw;
    }

    QByteArray reply;
    try {
        reply = m_socket->readExactly(4);
    } catch (const NetworkError& error) {
        if (!self)
            throw;
        m_socket->disconnectFromHost();
        switch (error.kind()) {
        case NetworkErrorKind::TimedOut:
            throw NetworkError(NetworkErrorKind::TimedOut, timedOutText());
        case NetworkErrorKind::ConnectionClosed:
            emit connectionFailed();
            throw NetworkError(NetworkErrorKind::ConnectionClosed,
                               QStringLiteral("The time server closed the connection before sending the time"));
        default:
            throw;
        }
    }
    m_socket->disconnectFromHost();

    const auto byte = [&reply](int i) { return static_cast<std::uint32_t>(static_cast<unsigned char>(reply[i])); };
    const std::uint32_t count = byte(0) << 24 | byte(1) << 16 | byte(2) << 8 | byte(3);
    // No clock reads 1900 or the instant of the 2036 wrap: a zero is a server without
    // a time to give, and setting the clock from it would be wrong by decades.
    if (count == 0)
        throw NetworkError(NetworkErrorKind::Protocol, QStringLiteral("The time server sent no time (a count of 0)"));
    return count;
}

}  // namespace platform
