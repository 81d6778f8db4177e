// The scripted POP3 server for the desktop scenarios: scripted-pop3 COUNT_FILE REPLY
// listens on 127.0.0.1, prints its port, answers PASS with REPLY and keeps the number
// of connections it took in COUNT_FILE. It ends on SIGTERM.
#include "ScriptedPop3Server.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: scripted-pop3 COUNT_FILE REPLY\n");
        return 2;
    }
    testing_support::ScriptedServer server;
    server.replies["PASS"] = QByteArray(argv[2]) + "\r\n";
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
