#include "platform/core/SocketClient.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

using platform::NetworkError;
using platform::NetworkErrorKind;
using platform::SocketClient;

namespace {

// A loopback server that sends `script` to every client once it connects.
class ScriptedServer {
public:
    explicit ScriptedServer(QByteArray script)
        : m_script(std::move(script))
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            QTcpSocket* peer = m_server.nextPendingConnection();
            peer->write(m_script);
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    QTcpServer m_server;
    QByteArray m_script;
};

NetworkErrorKind kindOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const NetworkError& e) {
        return e.kind();
    }
    ADD_FAILURE() << "no error";
    return NetworkErrorKind::Other;
}

}  // namespace

TEST(SocketClient, LinesComeWholeWhateverPiecesTheyArriveIn)
{
    ScriptedServer server("+OK ready\r\nsecond\nthird");
    SocketClient client;
    client.setTimeout(2000);
    client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    EXPECT_EQ(client.readLine(), QByteArray("+OK ready"));
    EXPECT_EQ(client.readLine(), QByteArray("second"));
    EXPECT_EQ(client.readExactly(5), QByteArray("third"));
}

TEST(SocketClient, AnEndlessLineIsAnErrorNotAnOverflow)
{
    ScriptedServer server(QByteArray(3 << 20, 'x'));
    SocketClient client;
    client.setTimeout(5000);
    client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(kindOf([&] { client.readLine(); }), NetworkErrorKind::Protocol);
    EXPECT_LT(elapsed.elapsed(), 4000);
}

TEST(SocketClient, SilenceTimesOutAndASecondCallInsideAWaitIsRefused)
{
    ScriptedServer server("");
    SocketClient client;
    client.setTimeout(300);
    client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    NetworkErrorKind inner = NetworkErrorKind::Other;
    QTimer::singleShot(50, [&] { inner = kindOf([&] { client.readLine(); }); });
    EXPECT_EQ(kindOf([&] { client.readLine(); }), NetworkErrorKind::TimedOut);
    EXPECT_EQ(inner, NetworkErrorKind::Busy);
}

TEST(SocketClient, AClientDestroyedDuringItsWaitEndsTheWait)
{
    ScriptedServer server("");
    auto* client = new SocketClient;
    client->setTimeout(5000);
    client->connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QTimer::singleShot(50, [&] { delete client; });
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(kindOf([&] { client->readLine(); }), NetworkErrorKind::Aborted);
    EXPECT_LT(elapsed.elapsed(), 2000);
}
