#include "platform/core/TimeClient.h"
#include "support/XinetdTimeServer.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLocale>
#include <QPointer>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimeZone>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <vector>

using platform::NetworkError;
using platform::NetworkErrorKind;
using platform::TimeClient;

namespace {

// Seconds from 1 January 1900 to 1 January 1970.
constexpr qint64 kSecondsTo1970 = 2208988800LL;

// A server on loopback that plays a script to each client: pieces of bytes, each
// after its own delay, and then closes or stays silent.
class ScriptedServer : public QObject {
public:
    struct Piece {
        int delayMs;
        QByteArray bytes;
    };

    ScriptedServer(std::vector<Piece> pieces, bool closeAtEnd)
        : m_pieces(std::move(pieces))
        , m_closeAtEnd(closeAtEnd)
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection())
                play(socket, 0);
        });
    }
    quint16 port() const { return m_server.serverPort(); }

private:
    void play(QPointer<QTcpSocket> socket, std::size_t step)
    {
        if (!socket)
            return;
        if (step == m_pieces.size()) {
            if (m_closeAtEnd)
                socket->disconnectFromHost();
            return;
        }
        QTimer::singleShot(m_pieces[step].delayMs, this, [this, socket, step] {
            if (!socket)
                return;
            socket->write(m_pieces[step].bytes);
            socket->flush();
            play(socket, step + 1);
        });
    }

    QTcpServer m_server;
    std::vector<Piece> m_pieces;
    bool m_closeAtEnd;
};

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(static_cast<char>(v));
    return result;
}

struct ScriptCase {
    const char* name;
    std::vector<ScriptedServer::Piece> pieces;
    bool closeAtEnd;
    std::optional<std::uint32_t> count;  // the expected result, or
    NetworkErrorKind error;  // the expected error
    const char* errorText;  // nullptr: any text
    bool failureEvent;  // connectionFailed() emitted
};

class TimeClientScript : public ::testing::TestWithParam<ScriptCase> { };

TEST_P(TimeClientScript, ReadsTheCountOrFailsAsTheServerBehaves)
{
    const ScriptCase& c = GetParam();
    ScriptedServer server(c.pieces, c.closeAtEnd);
    TimeClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(server.port());
    client.setTimeout(400);
    int failures = 0;
    QObject::connect(&client, &TimeClient::connectionFailed, [&failures] { ++failures; });

    if (c.count) {
        EXPECT_EQ(client.queryCount(), *c.count);
    } else {
        try {
            client.queryCount();
            ADD_FAILURE() << "no error";
        } catch (const NetworkError& error) {
            EXPECT_EQ(error.kind(), c.error);
            if (c.errorText) {
                EXPECT_STREQ(error.what(), c.errorText);
            }
        }
    }
    EXPECT_EQ(failures, c.failureEvent ? 1 : 0);
    EXPECT_FALSE(client.isBusy());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TimeClientScript,
    ::testing::Values(
        ScriptCase{"FourBytesInTwoPieces",
                   {{0, bytes({0xEC, 0x5E})}, {60, bytes({0x27, 0x10})}},
                   true,
                   0xEC5E2710u,
                   {},
                   nullptr,
                   false},
        // The four bytes are unsigned: the top bit is not a sign.
        ScriptCase{"HighestCount", {{0, bytes({0xFF, 0xFF, 0xFF, 0xFF})}}, true, 0xFFFFFFFFu, {}, nullptr, false},
        // After 7 February 2036 the count starts again at small numbers; the client
        // must hand them on, not reject them as dates before 1970.
        ScriptCase{"CountPast2036", {{0, bytes({0x00, 0x01, 0x51, 0x80})}}, true, 86400u, {}, nullptr, false},
        ScriptCase{"ServerStaysOpenAfterTheTime",
                   {{0, bytes({0xEC, 0x5E, 0x27, 0x10})}},
                   false,
                   0xEC5E2710u,
                   {},
                   nullptr,
                   false},
        ScriptCase{
            "CountOfZero", {{0, bytes({0, 0, 0, 0})}}, true, std::nullopt, NetworkErrorKind::Protocol, nullptr, false},
        ScriptCase{"ThreeBytesThenClose",
                   {{0, bytes({0xEC, 0x5E, 0x27})}},
                   true,
                   std::nullopt,
                   NetworkErrorKind::ConnectionClosed,
                   nullptr,
                   true},
        ScriptCase{"NothingThenClose", {}, true, std::nullopt, NetworkErrorKind::ConnectionClosed, nullptr, true},
        ScriptCase{"NoAnswer", {}, false, std::nullopt, NetworkErrorKind::TimedOut, "Connection Timedout", false}),
    [](const ::testing::TestParamInfo<ScriptCase>& info) { return std::string(info.param.name); });

TEST(TimeClient, RefusedConnectionIsReportedAsTimedOut)
{
    quint16 port = 0;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        port = probe.serverPort();
    }
    TimeClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(port);
    client.setTimeout(2000);
    try {
        client.queryCount();
        ADD_FAILURE() << "no error";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkErrorKind::TimedOut);
        EXPECT_STREQ(error.what(), "Connection Timedout");
    }
}

TEST(TimeClient, WaitKeepsTheEventLoopRunningAndCanBeAbortedOrRefusesASecondCall)
{
    ScriptedServer server({}, false);  // accepts and never answers
    TimeClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(server.port());
    client.setTimeout(5000);

    int ticks = 0;
    std::optional<NetworkErrorKind> nested;
    QTimer tick;
    tick.setInterval(20);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        if (++ticks == 3) {
            try {
                client.queryCount();
            } catch (const NetworkError& error) {
                nested = error.kind();
            }
        }
        if (ticks == 5)
            client.abort();
    });
    tick.start();

    QElapsedTimer elapsed;
    elapsed.start();
    try {
        client.queryCount();
        ADD_FAILURE() << "no error";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkErrorKind::Aborted);
    }
    EXPECT_GE(ticks, 5);
    EXPECT_LT(elapsed.elapsed(), 4000);
    EXPECT_EQ(nested, NetworkErrorKind::Busy);
}

TEST(TimeClient, ClientDestroyedDuringTheWaitEndsTheQuery)
{
    ScriptedServer server({}, false);
    auto* client = new TimeClient;
    client->setHost(QStringLiteral("127.0.0.1"));
    client->setPort(server.port());
    client->setTimeout(5000);
    QTimer::singleShot(50, [client] { delete client; });
    try {
        client->queryCount();
        ADD_FAILURE() << "no error";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkErrorKind::Aborted);
    }
}

// ---- against a real RFC 868 server ----------------------------------------------

// rdate prints the time as ctime() does ("Thu Dec 10 08:07:33 UTC 2026"); we run it
// in UTC so the zone word is known.
std::optional<QDateTime> rdateTime(quint16 port, QString* why)
{
    QString rdate = QStandardPaths::findExecutable(QStringLiteral("rdate"));
    if (rdate.isEmpty())
        rdate = QStandardPaths::findExecutable(QStringLiteral("rdate"),
                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    if (rdate.isEmpty()) {
        *why = QStringLiteral("rdate is not installed");
        return std::nullopt;
    }
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TZ"), QStringLiteral("UTC"));
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C"));
    process.setProcessEnvironment(environment);
    process.start(rdate,
                  {QStringLiteral("-p"), QStringLiteral("-o"), QString::number(port), QStringLiteral("127.0.0.1")});
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(1000);
        *why = QStringLiteral("rdate did not finish");
        return std::nullopt;
    }
    const QString output = QString::fromLocal8Bit(process.readAllStandardOutput()).trimmed();
    // A prefix such as "rdate: [127.0.0.1]" appears in some versions: take the last six words.
    QStringList words = output.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    if (words.size() < 6) {
        *why = QStringLiteral("unexpected rdate output: '%1' %2")
                   .arg(output, QString::fromLocal8Bit(process.readAllStandardError()));
        return std::nullopt;
    }
    words = words.mid(words.size() - 6);
    const QString text = QStringList{words[1], words[2], words[3], words[5]}.join(QLatin1Char(' '));
    QDateTime when = QLocale::c().toDateTime(text, QStringLiteral("MMM d HH:mm:ss yyyy"));
    if (!when.isValid()) {
        *why = QStringLiteral("cannot read rdate's time '%1'").arg(output);
        return std::nullopt;
    }
    when.setTimeZone(QTimeZone::utc());
    return when;
}

TEST(TimeClientAgainstXinetd, GivesTheTimeOfTheLocalClockAndAgreesWithRdate)
{
    SKIP_UNLESS_XINETD_INSTALLED();
    testing_support::XinetdTimeServer server;
    QString why;
    ASSERT_TRUE(server.start(&why)) << why.toStdString();

    TimeClient client;
    client.setHost(QStringLiteral("127.0.0.1"));
    client.setPort(server.port());
    client.setTimeout(5000);
    const std::uint32_t count = client.queryCount();
    // This machine's clock is before 2036, so the count needs no era.
    const qint64 unixSeconds = static_cast<qint64>(count) - kSecondsTo1970;
    EXPECT_LE(std::abs(unixSeconds - QDateTime::currentSecsSinceEpoch()), 2);

    const auto fromRdate = rdateTime(server.port(), &why);
    ASSERT_TRUE(fromRdate.has_value()) << why.toStdString();
    EXPECT_LE(std::abs(unixSeconds - fromRdate->toSecsSinceEpoch()), 2)
        << "rdate: " << fromRdate->toString(Qt::ISODate).toStdString();
}

}  // namespace
