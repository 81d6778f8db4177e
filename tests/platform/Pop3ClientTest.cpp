// The POP3 client against a small scripted server on loopback, for the misbehaviour
// that a real server never shows (stuffed dots, replies cut into pieces, no greeting,
// a refused DELE, garbage), and one session against a real Dovecot.
#include "support/DovecotServer.h"
#include "platform/mail/Pop3Client.h"
#include "support/ScriptedPop3Server.h"

#include <QElapsedTimer>
#include <QHostAddress>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <vector>

using platform::NetworkError;
using platform::NetworkErrorKind;
using platform::Pop3Client;
using testing_support::ScriptedServer;

namespace {

struct Events {
    int connect = 0;
    int invalidHost = 0;
    int connectionFailed = 0;
    int authenticationFailed = 0;
};

void bind(Pop3Client& pop, Events& events)
{
    pop.OnConnect = [&events] { ++events.connect; };
    pop.OnInvalidHost = [&events](bool& handled) {
        ++events.invalidHost;
        handled = false;
    };
    pop.OnConnectionFailed = [&events] { ++events.connectionFailed; };
    pop.OnAuthenticationFailed = [&events](bool& handled) {
        ++events.authenticationFailed;
        handled = false;
    };
}

void aimAt(Pop3Client& pop, quint16 port, const char* user = "joe", const char* password = "secret")
{
    pop.setHost(QStringLiteral("127.0.0.1"));
    pop.setPort(port);
    pop.setUserId(QString::fromLatin1(user));
    pop.setPassword(QString::fromLatin1(password));
    pop.setTimeOut(2000);
}

NetworkErrorKind failureOf(const std::function<void()>& call)
{
    try {
        call();
    } catch (const NetworkError& error) {
        return error.kind();
    }
    ADD_FAILURE() << "the call did not fail";
    return NetworkErrorKind::Other;
}

void fillTwoMessages(ScriptedServer& server)
{
    server.addMessage("From: Ann <ann@example.org>\r\nSubject: Lunch\r\nTo: joe", 1536);
    server.addMessage("Subject: first\r\nFrom: Bob\r\nSubject: second", 2048);
}

}  // namespace

TEST(Pop3Decoding, UnstuffDropsOnlyTheDoubledDot)
{
    EXPECT_EQ(platform::pop3::unstuff(".."), ".");
    EXPECT_EQ(platform::pop3::unstuff("..From: x"), ".From: x");
    EXPECT_EQ(platform::pop3::unstuff(".x"), ".x");
    EXPECT_EQ(platform::pop3::unstuff("a.."), "a..");
}

TEST(Pop3Decoding, HeadersGiveFromAndSubjectUnfoldedAndDecoded)
{
    struct Case {
        QByteArrayList lines;
        QString from;
        QString subject;
    };
    const Case cases[] = {
        {{"From: Ann", "Subject: Hi"}, " Ann", " Hi"},
        {{"From:Ann", "Subject:"}, "Ann", ""},
        // A later line of the same kind wins; header names ignore case.
        {{"Subject: one", "SUBJECT: two", "from: x"}, " x", " two"},
        // Lines after the header block are body, even when they look like headers.
        {{"Subject: real", "", "From: body line", "Subject: body"}, "", " real"},
        // Neither header.
        {{"To: joe", "X-From: nobody"}, "", ""},
        {{"Message-ID: <1@x>", "message-id:<2@x> ", "From: a"}, " a", ""},
        // 8-bit text: UTF-8 when valid, else Latin-1.
        {{"Subject: Gr\xc3\xbc\xc3\x9f"
          "e",
          "From: J\xf6rg"},
         QString::fromUtf8(" J\xc3\xb6rg"),
         QString::fromUtf8(" Gr\xc3\xbc\xc3\x9f"
                           "e")},
        // A folded line goes on in the lines that begin with a blank, and only there: the
        // continuation of another field never joins the subject.
        {{"Subject: first", "\tsecond", "To: a@example.org,", " Subject: not one", "From: x"}, " x", " first second"},
        {{"From: =?UTF-8?Q?J=C3=B6rg?=", " <j@example.org>", "Subject: =?UTF-8?Q?a?=", " =?UTF-8?Q?b?="},
         QString::fromUtf8(" J\xc3\xb6rg <j@example.org>"),
         " ab"},
    };
    for (const Case& c : cases) {
        const platform::Pop3Summary summary = platform::pop3::parseHeaders(c.lines);
        EXPECT_EQ(summary.From, c.from) << c.lines.join('|').constData();
        EXPECT_EQ(summary.Subject, c.subject) << c.lines.join('|').constData();
    }
    EXPECT_EQ(platform::pop3::parseHeaders({"Message-ID: <1@x>", "message-id:<2@x> ", "From: a"}).MessageId, "<2@x>");
}

TEST(Pop3Decoding, NumbersInRepliesAreStrict)
{
    std::int64_t value = -1;
    EXPECT_TRUE(platform::pop3::numberAt("+OK 2 3328", 1, value));
    EXPECT_EQ(value, 2);
    EXPECT_TRUE(platform::pop3::numberAt("+OK  2   3328 ", 2, value));
    EXPECT_EQ(value, 3328);
    EXPECT_TRUE(platform::pop3::numberAt("+OK 1 5000000000", 2, value));
    EXPECT_EQ(value, 5000000000LL);
    for (const char* bad : {"+OK", "+OK x 12", "+OK -1 3", "+OK 1.5 3", "+OK 99999999999999999999 1"})
        EXPECT_FALSE(platform::pop3::numberAt(bad, 1, value)) << bad;
}

TEST(Pop3Client, ReadsCountAndSummariesInsideOnConnect)
{
    ScriptedServer server;
    fillTwoMessages(server);
    Pop3Client pop;
    aimAt(pop, server.port());
    std::vector<platform::Pop3Summary> seen;
    int countInside = -1;
    pop.OnConnect = [&] {
        countInside = pop.MailCount();
        for (int n = 1; n <= pop.MailCount(); ++n) {
            pop.getSummary(n);
            seen.push_back(pop.Summary());
        }
        pop.disconnectFromServer();
    };
    pop.connectToServer();

    EXPECT_EQ(countInside, 2);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0].From, " Ann <ann@example.org>");
    EXPECT_EQ(seen[0].Subject, " Lunch");
    EXPECT_EQ(seen[0].Bytes, 1536);
    EXPECT_EQ(seen[1].From, " Bob");
    EXPECT_EQ(seen[1].Subject, " second");
    EXPECT_EQ(seen[1].Bytes, 2048);
    EXPECT_FALSE(pop.isConnected());
    EXPECT_EQ(server.received, (QByteArrayList{"USER joe", "PASS secret", "STAT", "TOP 1 0", "LIST 1", "UIDL 1",
                                               "TOP 2 0", "LIST 2", "QUIT"}));
}

TEST(Pop3Client, UidlIsAskedWhereOfferedAndOnceWhereNot)
{
    for (const bool offered : {true, false}) {
        ScriptedServer server;
        server.uidl = offered;
        fillTwoMessages(server);
        Pop3Client pop;
        aimAt(pop, server.port());
        pop.connectToServer();
        pop.getSummary(1);
        EXPECT_EQ(pop.Summary().Uid, offered ? "uid-1" : "") << offered;
        pop.getSummary(2);
        EXPECT_EQ(pop.Summary().Uid, offered ? "uid-2" : "") << offered;
        EXPECT_EQ(pop.uniqueId(2), offered ? "uid-2" : "") << offered;
        // A message that is not there has no id, whether or not the server has UIDL.
        EXPECT_EQ(pop.uniqueId(3), "") << offered;
        EXPECT_EQ(server.received.count("UIDL 1") + server.received.count("UIDL 2") + server.received.count("UIDL 3"),
                  offered ? 4 : 1)
            << offered;
        pop.disconnectFromServer();
    }
    // A reply that names no id of that message counts as no UIDL: the summary is read
    // all the same, and UIDL is not asked again.
    for (const QByteArray& garbled : {QByteArray("+OK\r\n"), QByteArray("+OK 2 abc\r\n"), QByteArray("+OK 1 a b\r\n"),
                                      QByteArray("+OK 1 a\x01\r\n")}) {
        ScriptedServer server;
        server.uidl = true;
        server.replies["UIDL"] = garbled;
        fillTwoMessages(server);
        Pop3Client pop;
        aimAt(pop, server.port());
        pop.connectToServer();
        pop.getSummary(1);
        pop.getSummary(2);
        EXPECT_EQ(pop.Summary().Subject, " second") << garbled.constData();
        EXPECT_EQ(pop.Summary().Uid, "") << garbled.constData();
        EXPECT_EQ(server.received.count("UIDL 1") + server.received.count("UIDL 2"), 1) << garbled.constData();
        pop.disconnectFromServer();
    }
}

// More messages than go out in one batch, so the batch is refilled while replies come.
void fillMany(ScriptedServer& server, int count)
{
    for (int n = 1; n <= count; ++n) {
        const QByteArray number = QByteArray::number(n);
        server.addMessage("From: Sender " + number + "\r\nSubject: message " + number + "\r\n..dotted", 100 + n);
    }
}

std::vector<platform::Pop3Summary> summariesOf(Pop3Client& pop, int count, std::vector<int>* numbers = nullptr)
{
    std::vector<platform::Pop3Summary> seen;
    pop.getSummaries(count, [&](int n, const platform::Pop3Summary& summary) {
        if (numbers)
            numbers->push_back(n);
        seen.push_back(summary);
    });
    return seen;
}

TEST(Pop3Client, SummariesOfAMaildropAreTheSameWithOrWithoutPipelining)
{
    constexpr int kCount = 150;
    for (const bool pipelining : {false, true}) {
        for (const bool uidl : {false, true}) {
            SCOPED_TRACE(std::string(pipelining ? "PIPELINING" : "one at a time") + (uidl ? ", UIDL" : ", no UIDL"));
            ScriptedServer server;
            server.pipelining = pipelining;
            server.uidl = uidl;
            fillMany(server, kCount);
            Pop3Client pop;
            aimAt(pop, server.port());
            pop.connectToServer();
            std::vector<int> numbers;
            const std::vector<platform::Pop3Summary> seen = summariesOf(pop, pop.MailCount(), &numbers);
            ASSERT_EQ(seen.size(), std::size_t{kCount});
            for (int n = 1; n <= kCount; ++n) {
                const platform::Pop3Summary& summary = seen[static_cast<std::size_t>(n - 1)];
                EXPECT_EQ(numbers[static_cast<std::size_t>(n - 1)], n);
                EXPECT_EQ(summary.From, QStringLiteral(" Sender %1").arg(n));
                EXPECT_EQ(summary.Subject, QStringLiteral(" message %1").arg(n));
                EXPECT_EQ(summary.Bytes, 100 + n);
                EXPECT_EQ(summary.Uid, uidl ? QStringLiteral("uid-%1").arg(n) : QString());
            }
            EXPECT_EQ(pop.Summary().Subject, QStringLiteral(" message %1").arg(kCount));
            // The session goes on after the batch: its replies were read to the end.
            EXPECT_EQ(pop.uniqueId(2), uidl ? "uid-2" : "");
            pop.disconnectFromServer();
            EXPECT_EQ(server.received.last(), "QUIT");
            EXPECT_EQ(server.received.count("CAPA"), 1);
            // A server without PIPELINING never has a second command before its reply.
            if (pipelining)
                EXPECT_GT(server.mostCommandsAtOnce, 1);
            else
                EXPECT_EQ(server.mostCommandsAtOnce, 1);
            // A server that refused UIDL once is not asked again once the commands
            // already out are answered.
            qsizetype asked = 0;
            for (const QByteArray& command : server.received)
                asked += command.startsWith("UIDL ") ? 1 : 0;
            if (uidl)
                EXPECT_EQ(asked, kCount + 1);
            else
                EXPECT_LT(asked, kCount / 2);
        }
    }
    // One message or none needs no batch, and no CAPA.
    for (const int count : {0, 1}) {
        ScriptedServer server;
        server.pipelining = true;
        fillMany(server, count);
        Pop3Client pop;
        aimAt(pop, server.port());
        pop.connectToServer();
        EXPECT_EQ(summariesOf(pop, pop.MailCount()).size(), std::size_t(count));
        pop.disconnectFromServer();
        EXPECT_FALSE(server.received.contains("CAPA")) << count;
    }
}

TEST(Pop3Client, ServerClosingInTheMiddleOfABatchKeepsWhatCameBefore)
{
    // USER, PASS, STAT, CAPA, then three commands a message: the line goes after the
    // replies of five messages, with the commands of many more already sent.
    for (const bool pipelining : {false, true}) {
        ScriptedServer server;
        server.pipelining = pipelining;
        server.uidl = true;
        server.closeAfterCommands = 4 + 3 * 5;
        fillMany(server, 100);
        Pop3Client pop;
        Events events;
        bind(pop, events);
        aimAt(pop, server.port());
        pop.connectToServer();
        std::vector<platform::Pop3Summary> seen;
        try {
            pop.getSummaries(pop.MailCount(), [&](int, const platform::Pop3Summary& summary) { seen.push_back(summary); });
            ADD_FAILURE() << "the batch did not fail";
        } catch (const NetworkError& error) {
            EXPECT_EQ(error.kind(), NetworkErrorKind::ConnectionClosed) << pipelining;
            EXPECT_STREQ(error.what(), "Connection closed by the server while waiting for a reply") << pipelining;
        }
        ASSERT_EQ(seen.size(), 5u) << pipelining;
        EXPECT_EQ(seen.back().Subject, " message 5") << pipelining;
        EXPECT_EQ(seen.back().Uid, "uid-5") << pipelining;
        EXPECT_FALSE(pop.isConnected()) << pipelining;
        EXPECT_EQ(events.connectionFailed, 0) << pipelining;
    }
}

TEST(Pop3Client, BrokenRepliesInABatchEndItWithoutHanging)
{
    struct Case {
        const char* name;
        QByteArray verb;
        QByteArray reply;
        NetworkErrorKind kind;
    };
    const Case cases[] = {
        {"TOP never ended", "TOP", "+OK\r\nSubject: x\r\n", NetworkErrorKind::TimedOut},
        {"TOP of endless empty lines", "TOP", "+OK\r\n" + QByteArray("\r\n").repeated(200000),
         NetworkErrorKind::Protocol},
        {"TOP line without an end", "TOP", "+OK\r\nSubject: " + QByteArray(2 << 20, 'x'), NetworkErrorKind::Protocol},
        {"TOP garbage", "TOP", "\x01\x02\xff noise\r\n", NetworkErrorKind::Protocol},
        {"LIST garbage", "LIST", "+OK one hundred\r\n", NetworkErrorKind::Protocol},
        {"CAPA never ended", "CAPA", "+OK\r\nPIPELINING\r\n", NetworkErrorKind::TimedOut},
        {"CAPA of endless lines", "CAPA", "+OK\r\n" + QByteArray("X\r\n").repeated(20000), NetworkErrorKind::Protocol},
    };
    for (const Case& c : cases) {
        ScriptedServer server;
        server.pipelining = true;
        fillMany(server, 100);
        server.replies[c.verb] = c.reply;
        Pop3Client pop;
        aimAt(pop, server.port());
        pop.setTimeOut(400);
        pop.connectToServer();
        int seen = 0;
        EXPECT_EQ(failureOf([&] { pop.getSummaries(pop.MailCount(), [&](int, const platform::Pop3Summary&) { ++seen; }); }),
                  c.kind)
            << c.name;
        EXPECT_EQ(seen, 0) << c.name;
        EXPECT_FALSE(pop.isConnected()) << c.name;
        EXPECT_FALSE(server.received.contains("QUIT")) << c.name;
    }
}

TEST(Pop3Client, StuffedDotsNeitherEndTheReplyNorShow)
{
    ScriptedServer server;
    // Header lines that begin with a dot arrive stuffed ("..") and a lone dot as "..".
    server.addMessage(".From: not the sender\r\n.\r\nSubject: after the dots\r\n.From: still not", 10);
    Pop3Client pop;
    aimAt(pop, server.port());
    pop.connectToServer();
    pop.getSummary(1);
    EXPECT_EQ(pop.Summary().Subject, " after the dots");
    EXPECT_EQ(pop.Summary().From, "");
    EXPECT_EQ(pop.Summary().Bytes, 10);
    // The reply was read to its end: the next command gets its own answer.
    pop.getSummary(1);
    EXPECT_EQ(pop.Summary().Subject, " after the dots");
    pop.disconnectFromServer();
}

TEST(Pop3Client, RepliesCutIntoPiecesAreJoined)
{
    for (int fragment : {1, 2, 7}) {
        ScriptedServer server;
        server.fragment = fragment;
        fillTwoMessages(server);
        Pop3Client pop;
        aimAt(pop, server.port());
        pop.connectToServer();
        EXPECT_EQ(pop.MailCount(), 2) << fragment;
        pop.getSummary(2);
        EXPECT_EQ(pop.Summary().Subject, " second") << fragment;
        EXPECT_EQ(pop.Summary().Bytes, 2048) << fragment;
        pop.disconnectFromServer();
        EXPECT_FALSE(pop.isConnected());
    }
}

TEST(Pop3Client, ServerThatNeverGreetsTimesOut)
{
    ScriptedServer server;
    server.greet = false;
    Pop3Client pop;
    Events events;
    bind(pop, events);
    aimAt(pop, server.port());
    pop.setTimeOut(300);
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(failureOf([&] { pop.connectToServer(); }), NetworkErrorKind::TimedOut);
    EXPECT_LT(elapsed.elapsed(), 3000);
    EXPECT_GE(elapsed.elapsed(), 250);
    EXPECT_EQ(events.connectionFailed, 1);
    EXPECT_EQ(events.connect, 0);
    EXPECT_FALSE(pop.isConnected());
    EXPECT_TRUE(server.received.isEmpty());
}

TEST(Pop3Client, RefusedPortFailsTheConnection)
{
    quint16 closedPort;
    {
        QTcpServer probe;
        ASSERT_TRUE(probe.listen(QHostAddress::LocalHost, 0));
        closedPort = probe.serverPort();
    }
    Pop3Client pop;
    Events events;
    bind(pop, events);
    aimAt(pop, closedPort);
    EXPECT_EQ(failureOf([&] { pop.connectToServer(); }), NetworkErrorKind::ConnectionRefused);
    EXPECT_EQ(events.connectionFailed, 1);
    EXPECT_EQ(events.invalidHost, 0);
    EXPECT_FALSE(pop.isConnected());
}

TEST(Pop3Client, RefusedDeleteRaisesAndIsNeverCommitted)
{
    ScriptedServer server;
    fillTwoMessages(server);
    server.replies["DELE"] = "-ERR message is locked\r\n";
    Pop3Client pop;
    aimAt(pop, server.port());
    pop.connectToServer();
    try {
        pop.deleteMessage(1);
        FAIL() << "a refused DELE passed";
    } catch (const NetworkError& error) {
        EXPECT_EQ(error.kind(), NetworkErrorKind::Protocol);
        EXPECT_NE(QString::fromStdString(error.what()).indexOf("message is locked"), -1) << error.what();
    }
    // The session is dropped without QUIT, so nothing marked in it is committed.
    EXPECT_FALSE(pop.isConnected());
    EXPECT_FALSE(server.received.contains("QUIT"));
    EXPECT_FALSE(server.messages[0].deleted);
}

TEST(Pop3Client, DeleteIsCommittedOnlyByAnsweredQuit)
{
    ScriptedServer server;
    fillTwoMessages(server);
    Pop3Client pop;
    aimAt(pop, server.port());
    pop.connectToServer();
    pop.deleteMessage(2);
    pop.disconnectFromServer();
    EXPECT_FALSE(server.messages[0].deleted);
    EXPECT_TRUE(server.messages[1].deleted);

    ScriptedServer refusing;
    fillTwoMessages(refusing);
    refusing.replies["QUIT"] = "-ERR could not remove the messages\r\n";
    aimAt(pop, refusing.port());
    pop.connectToServer();
    pop.deleteMessage(1);
    EXPECT_EQ(failureOf([&] { pop.disconnectFromServer(); }), NetworkErrorKind::Protocol);
    EXPECT_FALSE(pop.isConnected());
}

TEST(Pop3Client, LineLostDuringTheLoginFailsTheConnection)
{
    struct Case {
        const char* name;
        QByteArray verb;  // the command the server answers with `reply`, then closes or not
        QByteArray reply;
        bool closes;
        NetworkErrorKind kind;
    };
    const Case cases[] = {
        {"closed at USER", "USER", "", true, NetworkErrorKind::ConnectionClosed},
        {"closed after USER was accepted", "USER", "+OK\r\n", true, NetworkErrorKind::ConnectionClosed},
        {"closed at PASS", "PASS", "", true, NetworkErrorKind::ConnectionClosed},
        {"USER never answered", "USER", "", false, NetworkErrorKind::TimedOut},
        {"closed at STAT", "STAT", "", true, NetworkErrorKind::ConnectionClosed},
    };
    for (const Case& c : cases) {
        ScriptedServer server;
        fillTwoMessages(server);
        server.replies[c.verb] = c.reply;
        if (c.closes)
            server.closeAfter = c.verb;
        Pop3Client pop;
        Events events;
        bind(pop, events);
        aimAt(pop, server.port());
        pop.setTimeOut(400);
        EXPECT_EQ(failureOf([&] { pop.connectToServer(); }), c.kind) << c.name;
        EXPECT_EQ(events.connectionFailed, 1) << c.name;
        EXPECT_EQ(events.authenticationFailed, 0) << c.name;
        EXPECT_EQ(events.connect, 0) << c.name;
        EXPECT_FALSE(pop.isConnected()) << c.name;
    }
}

TEST(Pop3Client, GarbageAndRefusalsEndTheExchange)
{
    struct Case {
        const char* name;
        QByteArray greeting;
        QByteArray verb;
        QByteArray reply;
        const char* password;
        NetworkErrorKind kind;
        int connectionFailed;
        int authenticationFailed;
        bool duringSummary;
    };
    const Case cases[] = {
        {"garbage greeting", "HELLO THERE", "", "", "secret", NetworkErrorKind::Protocol, 1, 0, false},
        {"refusing greeting", "-ERR go away", "", "", "secret", NetworkErrorKind::Protocol, 1, 0, false},
        {"wrong password", "+OK", "", "", "wrong", NetworkErrorKind::Protocol, 0, 1, false},
        {"garbage to USER", "+OK", "USER", "\x01\x02 noise\r\n", "secret", NetworkErrorKind::Protocol, 0, 1, false},
        {"STAT without a count", "+OK", "STAT", "+OK\r\n", "secret", NetworkErrorKind::Protocol, 0, 0, false},
        {"STAT with words", "+OK", "STAT", "+OK many messages\r\n", "secret", NetworkErrorKind::Protocol, 0, 0, false},
        {"STAT refused", "+OK", "STAT", "-ERR mailbox locked\r\n", "secret", NetworkErrorKind::Protocol, 0, 0, false},
        {"TOP refused", "+OK", "TOP", "-ERR no such message\r\n", "secret", NetworkErrorKind::Protocol, 0, 0, true},
        {"TOP garbage", "+OK", "TOP", "Subject: no status line\r\n.\r\n", "secret", NetworkErrorKind::Protocol, 0, 0,
         true},
        {"LIST without size", "+OK", "LIST", "+OK 1\r\n", "secret", NetworkErrorKind::Protocol, 0, 0, true},
        {"LIST of another message", "+OK", "LIST", "+OK 2 100\r\n", "secret", NetworkErrorKind::Protocol, 0, 0, true},
        {"LIST with a bad size", "+OK", "LIST", "+OK 1 12k\r\n", "secret", NetworkErrorKind::Protocol, 0, 0, true},
        {"TOP never ended", "+OK", "TOP", "+OK\r\nSubject: x\r\n", "secret", NetworkErrorKind::TimedOut, 0, 0, true},
        // Lines that come at once but never end the reply: refused long before the
        // time-out, however short each line is.
        {"TOP of endless empty lines", "+OK", "TOP", "+OK\r\n" + QByteArray("\r\n").repeated(200000), "secret",
         NetworkErrorKind::Protocol, 0, 0, true},
    };
    for (const Case& c : cases) {
        ScriptedServer server;
        fillTwoMessages(server);
        server.greeting = c.greeting;
        if (!c.verb.isEmpty())
            server.replies[c.verb] = c.reply;
        Pop3Client pop;
        Events events;
        bind(pop, events);
        aimAt(pop, server.port(), "joe", c.password);
        pop.setTimeOut(400);
        const NetworkErrorKind kind = failureOf([&] {
            pop.connectToServer();
            if (c.duringSummary)
                pop.getSummary(1);
        });
        EXPECT_EQ(kind, c.kind) << c.name;
        EXPECT_EQ(events.connectionFailed, c.connectionFailed) << c.name;
        EXPECT_EQ(events.authenticationFailed, c.authenticationFailed) << c.name;
        EXPECT_EQ(events.connect, c.duringSummary ? 1 : 0) << c.name;
        EXPECT_FALSE(pop.isConnected()) << c.name;
        EXPECT_FALSE(server.received.contains("QUIT")) << c.name;
    }
}

TEST(Pop3Client, ServerClosingMidReplyIsAnError)
{
    ScriptedServer server;
    fillTwoMessages(server);
    server.replies["TOP"] = "+OK\r\nFrom: cut\r\n";
    server.closeAfter = "TOP";
    Pop3Client pop;
    aimAt(pop, server.port());
    pop.connectToServer();
    EXPECT_EQ(failureOf([&] { pop.getSummary(1); }), NetworkErrorKind::ConnectionClosed);
    EXPECT_FALSE(pop.isConnected());
    // A closed client simply connects again.
    server.replies.clear();
    server.closeAfter.clear();
    pop.connectToServer();
    EXPECT_EQ(pop.MailCount(), 2);
    pop.disconnectFromServer();
}

TEST(Pop3Client, PortOutsideTcpIsRefusedWithoutConnecting)
{
    ScriptedServer server;
    fillTwoMessages(server);
    // 65536 above the server's port would land on it if the number were cut to 16 bits.
    for (int port : {0, -1, server.port() + 65536}) {
        Pop3Client pop;
        Events events;
        bind(pop, events);
        aimAt(pop, server.port());
        pop.setPort(port);
        EXPECT_EQ(failureOf([&] { pop.connectToServer(); }), NetworkErrorKind::Other) << port;
        EXPECT_EQ(events.connectionFailed, 1) << port;
        EXPECT_FALSE(pop.isConnected()) << port;
    }
    EXPECT_EQ(server.connections, 0);
}

TEST(Pop3Client, LoginNeedsUsableUserAndPasswordBeforeAnyConnection)
{
    ScriptedServer server;
    fillTwoMessages(server);
    // A line break in a stored value would smuggle a command of its own to the server.
    const std::pair<QString, QString> logins[] = {
        {QString(), QStringLiteral("secret")},
        {QStringLiteral("joe"), QString()},
        {QStringLiteral("joe\r\nDELE 1"), QStringLiteral("secret")},
        {QStringLiteral("joe"), QStringLiteral("secret\nDELE 2")},
        {QStringLiteral("joe"), QStringLiteral("sec") + QChar(0) + QStringLiteral("ret")},
    };
    for (const auto& [user, password] : logins) {
        Pop3Client pop;
        aimAt(pop, server.port());
        pop.setUserId(user);
        pop.setPassword(password);
        EXPECT_EQ(failureOf([&] { pop.connectToServer(); }), NetworkErrorKind::Protocol) << user.toStdString();
    }
    EXPECT_EQ(server.connections, 0);
    EXPECT_FALSE(server.messages[0].deleted || server.messages[1].deleted);
}

TEST(Pop3Client, HandledAuthenticationFailureTriesOnceMore)
{
    ScriptedServer server;
    fillTwoMessages(server);
    Pop3Client pop;
    aimAt(pop, server.port(), "joe", "wrong");
    int failures = 0;
    pop.OnAuthenticationFailed = [&](bool& handled) {
        ++failures;
        pop.setPassword(QStringLiteral("secret"));
        handled = true;
    };
    pop.connectToServer();
    EXPECT_EQ(failures, 1);
    EXPECT_EQ(pop.MailCount(), 2);
    EXPECT_EQ(server.connections, 2);
    pop.disconnectFromServer();
}

TEST(Pop3Client, SecondCallInsideAWaitIsRefusedAndTheFirstGoesOn)
{
    ScriptedServer server;
    server.fragment = 3;
    fillTwoMessages(server);
    Pop3Client pop;
    aimAt(pop, server.port());
    NetworkErrorKind nested = NetworkErrorKind::Other;
    bool tried = false;
    // Fires while the first connect waits for its replies, as a timer tick would.
    QTimer tick;
    tick.setSingleShot(true);
    QObject::connect(&tick, &QTimer::timeout, [&] {
        tried = true;
        nested = failureOf([&] { pop.connectToServer(); });
    });
    tick.start(5);
    pop.connectToServer();
    EXPECT_TRUE(tried);
    EXPECT_EQ(nested, NetworkErrorKind::Busy);
    EXPECT_EQ(pop.MailCount(), 2);
    EXPECT_TRUE(pop.isConnected());
    pop.disconnectFromServer();
    EXPECT_EQ(server.connections, 1);
}

void aimAtAnn(Pop3Client& pop, const testing_support::DovecotServer& server)
{
    pop.setHost(server.host());
    pop.setPort(server.port());
    pop.setUserId(QStringLiteral("ann"));
    pop.setPassword(QStringLiteral("pw-ann"));
}

TEST(Pop3ClientDovecot, CountsSummarisesAndDeletesOnARealServer)
{
    SKIP_UNLESS_DOVECOT_INSTALLED();
    testing_support::DovecotServer server;
    server.addUser(QStringLiteral("ann"), QStringLiteral("pw-ann"));
    const qint64 first = server.addMessage(QStringLiteral("ann"), "Bob <bob@example.org>", "Hello", 1000);
    server.addMessage(QStringLiteral("ann"), "Carol <carol@example.org>", ".dotted subject", 10);
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();

    Pop3Client pop;
    aimAtAnn(pop, server);
    pop.connectToServer();
    ASSERT_EQ(pop.MailCount(), 2);
    pop.getSummary(1);
    EXPECT_EQ(pop.Summary().From, " Bob <bob@example.org>");
    EXPECT_EQ(pop.Summary().Subject, " Hello");
    EXPECT_EQ(pop.Summary().Bytes, first);
    pop.getSummary(2);
    EXPECT_EQ(pop.Summary().Subject, " .dotted subject");
    pop.deleteMessage(1);
    pop.disconnectFromServer();
    EXPECT_EQ(server.subjects(QStringLiteral("ann")), QStringList{QStringLiteral(".dotted subject")});

    pop.setPassword(QStringLiteral("wrong"));
    bool refused = false;
    pop.OnAuthenticationFailed = [&](bool&) { refused = true; };
    EXPECT_THROW(pop.connectToServer(), NetworkError);
    EXPECT_TRUE(refused);
}

TEST(Pop3ClientDovecot, BatchOfSummariesMatchesTheOneByOneReading)
{
    SKIP_UNLESS_DOVECOT_INSTALLED();
    testing_support::DovecotServer server;
    server.addUser(QStringLiteral("ann"), QStringLiteral("pw-ann"));
    // More messages than one batch holds, with dots, encoded words and folded lines.
    constexpr int kCount = 90;
    for (int n = 1; n <= kCount; ++n) {
        QByteArray subject = "Message " + QByteArray::number(n);
        if (n % 3 == 0)
            subject = "." + subject;
        if (n % 7 == 0)
            subject = "=?ISO-8859-1?Q?R=E9sum=E9?= and\r\n the folded rest";
        server.addMessage(QStringLiteral("ann"), "Sender " + QByteArray::number(n) + " <s@example.org>", subject,
                          500 + 10 * n);
    }
    QString error;
    ASSERT_TRUE(server.start(&error)) << error.toStdString();

    Pop3Client pop;
    aimAtAnn(pop, server);
    pop.connectToServer();
    ASSERT_EQ(pop.MailCount(), kCount);
    const std::vector<platform::Pop3Summary> batch = summariesOf(pop, kCount);
    pop.disconnectFromServer();
    ASSERT_EQ(batch.size(), std::size_t{kCount});

    pop.connectToServer();
    for (int n = 1; n <= kCount; ++n) {
        pop.getSummary(n);
        const platform::Pop3Summary& one = pop.Summary();
        const platform::Pop3Summary& fromBatch = batch[static_cast<std::size_t>(n - 1)];
        EXPECT_EQ(fromBatch.From, one.From) << n;
        EXPECT_EQ(fromBatch.Subject, one.Subject) << n;
        EXPECT_EQ(fromBatch.Bytes, one.Bytes) << n;
        EXPECT_EQ(fromBatch.MessageId, one.MessageId) << n;
        EXPECT_EQ(fromBatch.Uid, one.Uid) << n;
        EXPECT_FALSE(one.Uid.isEmpty()) << n;
    }
    pop.disconnectFromServer();
    EXPECT_EQ(batch[2].Subject, " .Message 3");
    EXPECT_EQ(batch[6].Subject, QString::fromUtf8(" R\xc3\xa9sum\xc3\xa9 and the folded rest"));
}
