// A small scripted POP3 server on loopback, for the misbehaviour that a real server
// never shows: stuffed dots, replies cut into pieces, no greeting, a refused DELE,
// garbage, a header that trickles in line by line, a STAT of thousands of millions,
// a reply that looks like HTML.
#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QObject>
#include <QTcpServer>

#include <map>
#include <vector>

class QTcpSocket;

namespace testing_support {

// One maildrop. By default it behaves as RFC 1939 asks, without the optional UIDL;
// `replies` overrides the answer to a command (matched on its first word), `fragment`
// > 0 sends every reply in pieces of that many bytes, each on a later turn of the
// event loop.
class ScriptedServer : public QObject {
public:
    struct Message {
        QByteArray header;  // lines joined by CR LF, without the empty line after it
        int size = 0;
        bool deleted = false;
        QByteArray uid;
    };

    ScriptedServer();

    quint16 port() const { return m_server.serverPort(); }

    // The uid, for a server with UIDL, is "uid-" and the message's first number.
    void addMessage(const QByteArray& header, int size);

    bool greet = true;
    QByteArray greeting = "+OK scripted POP3 ready";
    QByteArray user = "joe";
    QByteArray password = "secret";
    int fragment = 0;
    // Answers "UIDL n" as RFC 1939 asks.
    bool uidl = false;
    // Answers CAPA (RFC 2449) announcing PIPELINING; without it CAPA is an unknown
    // command, as on a server of RFC 1939 alone.
    bool pipelining = false;
    // Each line of a TOP reply leaves this many milliseconds after the one before.
    int headerLineDelayMs = 0;
    // STAT reports this many messages, and message n is messages[(n - 1) % size].
    int pretendedCount = 0;
    std::map<QByteArray, QByteArray> replies;
    // Close the connection right after answering this command.
    QByteArray closeAfter;
    // Close the connection right after answering this many commands of a session,
    // leaving those that came with them unanswered; 0 for never.
    int closeAfterCommands = 0;
    std::vector<Message> messages;
    QByteArrayList received;
    int connections = 0;
    // Every command received counts here, so a test may see that the client stopped.
    int commands = 0;
    // The most commands that came in one read: 1 for a client that waits for every
    // reply before it sends the next command.
    int mostCommandsAtOnce = 0;

private:
    void accept();
    QByteArray answer(const QByteArray& verb, const QByteArray& line, std::vector<int>& marked);
    void send(QTcpSocket* socket, const QByteArray& data);
    void sendSlowly(QTcpSocket* socket, const QByteArray& data);
    // The message numbered n on the server, or nullptr.
    Message* message(int n);

    QTcpServer m_server;
};

}  // namespace testing_support
