// The scripted POP3 server for the desktop scenarios: scripted-pop3 COUNT_FILE REPLY
// [MESSAGES] listens on 127.0.0.1, prints its port, answers PASS with REPLY (or logs
// the user in when REPLY is "+OK") and keeps the number of connections it took in
// COUNT_FILE. With MESSAGES, STAT reports that many, every one a copy of one order
// mail. It ends on SIGTERM.
#include "support/ScriptedPop3Server.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: scripted-pop3 COUNT_FILE REPLY [MESSAGES]\n");
        return 2;
    }
    testing_support::ScriptedServer server;
    server.uidl = true;
    server.user = "joe";
    server.password = "secret";
    if (QByteArray(argv[2]) != "+OK")
        server.replies["PASS"] = QByteArray(argv[2]) + "\r\n";
    if (argc == 4) {
        server.addMessage("From: Shop <orders@shop.example>\r\nSubject: Your order", 2300);
        server.pretendedCount = QByteArray(argv[3]).toInt();
    }
    std::printf("%u\n", server.port());
    std::fflush(stdout);
    const QString countFile = QString::fromLocal8Bit(argv[1]);
    int written = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (server.connections == written)
            return;
        QFile file(countFile);
        if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            file.write(QByteArray::number(server.connections) + "\n");
            written = server.connections;
        }
    });
    poll.start(100);
    return QCoreApplication::exec();
}
