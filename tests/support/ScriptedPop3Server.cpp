#include "support/ScriptedPop3Server.h"

#include <QHostAddress>
#include <QPointer>
#include <QTcpSocket>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>

namespace testing_support {

ScriptedServer::ScriptedServer()
{
    QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] { accept(); });
    EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
}

void ScriptedServer::addMessage(const QByteArray& header, int size)
{
    messages.push_back({header, size, false, "uid-" + QByteArray::number(static_cast<int>(messages.size()) + 1)});
}

ScriptedServer::Message* ScriptedServer::message(int n)
{
    if (messages.empty() || n < 1)
        return nullptr;
    if (pretendedCount > 0)
        return n <= pretendedCount ? &messages[static_cast<std::size_t>((n - 1) % static_cast<int>(messages.size()))]
                                   : nullptr;
    if (n > static_cast<int>(messages.size()) || messages[static_cast<std::size_t>(n - 1)].deleted)
        return nullptr;
    return &messages[static_cast<std::size_t>(n - 1)];
}

void ScriptedServer::accept()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        ++connections;
        auto buffer = std::make_shared<QByteArray>();
        auto marked = std::make_shared<std::vector<int>>();
        auto answered = std::make_shared<int>(0);
        QObject::connect(socket, &QTcpSocket::readyRead, this, [this, socket, buffer, marked, answered] {
            *buffer += socket->readAll();
            mostCommandsAtOnce = std::max(mostCommandsAtOnce, static_cast<int>(buffer->count("\r\n")));
            qsizetype end;
            while ((end = buffer->indexOf("\r\n")) >= 0) {
                if (closeAfterCommands > 0 && *answered >= closeAfterCommands)
                    return;
                const QByteArray line = buffer->left(end);
                buffer->remove(0, end + 2);
                ++commands;
                ++*answered;
                // A client that never stops must not fill the test's memory.
                if (received.size() < 100000)
                    received.append(line);
                const QByteArray verb = line.split(' ').first().toUpper();
                const QByteArray reply = answer(verb, line, *marked);
                if (verb == "TOP" && headerLineDelayMs > 0 && !replies.count(verb))
                    sendSlowly(socket, reply);
                else
                    send(socket, reply);
                if (verb == "QUIT" || verb == closeAfter) {
                    if (verb == "QUIT" && replies.count("QUIT") == 0) {
                        for (int n : *marked)
                            messages[static_cast<std::size_t>(n)].deleted = true;
                    }
                    QTimer::singleShot(fragment > 0 ? 200 : 0, socket, [socket] { socket->disconnectFromHost(); });
                }
                if (closeAfterCommands > 0 && *answered == closeAfterCommands)
                    socket->disconnectFromHost();
            }
        });
        QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        if (greet)
            send(socket, greeting + "\r\n");
    }
}

QByteArray ScriptedServer::answer(const QByteArray& verb, const QByteArray& line, std::vector<int>& marked)
{
    auto scripted = replies.find(verb);
    if (scripted != replies.end())
        return scripted->second;
    const QByteArrayList words = line.split(' ');
    const QByteArray argument = words.size() > 1 ? words.at(1) : QByteArray();
    const int n = argument.toInt();
    const Message* m = message(n);
    if (verb == "USER")
        return argument == user ? "+OK\r\n" : "-ERR no such user\r\n";
    if (verb == "PASS")
        return argument == password ? "+OK logged in\r\n" : "-ERR [AUTH] Authentication failed.\r\n";
    if (verb == "STAT") {
        int total = 0;
        for (const Message& each : messages)
            total += each.size;
        const int count = pretendedCount > 0 ? pretendedCount : static_cast<int>(messages.size());
        return "+OK " + QByteArray::number(count) + " " + QByteArray::number(total) + "\r\n";
    }
    if (verb == "TOP") {
        if (!m)
            return "-ERR no such message\r\n";
        QByteArray reply = "+OK\r\n";
        for (const QByteArray& h : m->header.split('\n')) {
            QByteArray headerLine = h;
            if (headerLine.endsWith('\r'))
                headerLine.chop(1);
            if (headerLine.startsWith('.'))
                headerLine.prepend('.');
            reply += headerLine + "\r\n";
        }
        return reply + "\r\n.\r\n";
    }
    if (verb == "LIST") {
        if (!m)
            return "-ERR no such message\r\n";
        return "+OK " + argument + " " + QByteArray::number(m->size) + "\r\n";
    }
    if (verb == "UIDL" && uidl) {
        if (!m)
            return "-ERR no such message\r\n";
        return "+OK " + argument + " " + m->uid + "\r\n";
    }
    if (verb == "DELE") {
        if (!m)
            return "-ERR no such message\r\n";
        marked.push_back(n - 1);
        return "+OK marked\r\n";
    }
    if (verb == "CAPA" && pipelining)
        return QByteArray("+OK\r\nTOP\r\nUSER\r\n") + (uidl ? "UIDL\r\n" : "") + "PIPELINING\r\n.\r\n";
    if (verb == "QUIT")
        return "+OK bye\r\n";
    return "-ERR unknown command\r\n";
}

void ScriptedServer::send(QTcpSocket* socket, const QByteArray& data)
{
    if (fragment <= 0) {
        socket->write(data);
        return;
    }
    // Each piece leaves on its own turn of the loop, so the client sees CR and LF,
    // a reply's lines and the final "." arrive apart.
    QPointer<QTcpSocket> guarded(socket);
    for (qsizetype at = 0, turn = 1; at < data.size(); at += fragment, ++turn) {
        const QByteArray piece = data.mid(at, fragment);
        QTimer::singleShot(static_cast<int>(turn), this, [guarded, piece] {
            if (guarded) {
                guarded->write(piece);
                guarded->flush();
            }
        });
    }
}

void ScriptedServer::sendSlowly(QTcpSocket* socket, const QByteArray& data)
{
    QPointer<QTcpSocket> guarded(socket);
    const QByteArrayList lines = data.split('\n');
    int turn = 0;
    for (const QByteArray& line : lines) {
        if (line.isEmpty())
            continue;
        QTimer::singleShot(turn++ * headerLineDelayMs, this, [guarded, line] {
            if (guarded) {
                guarded->write(line + '\n');
                guarded->flush();
            }
        });
    }
}

}  // namespace testing_support
