#include "support/XinetdTimeServer.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QHostAddress>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <pwd.h>
#include <unistd.h>

namespace testing_support {

namespace {

quint16 freeLoopbackPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool accepts(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    const bool connected = socket.waitForConnected(200);
    socket.abort();
    return connected;
}

}  // namespace

XinetdTimeServer::XinetdTimeServer() = default;

XinetdTimeServer::~XinetdTimeServer()
{
    stop();
}

QString XinetdTimeServer::program()
{
    QString found = QStandardPaths::findExecutable(QStringLiteral("xinetd"));
    if (found.isEmpty()) {
        found = QStandardPaths::findExecutable(QStringLiteral("xinetd"),
                                               {QStringLiteral("/usr/sbin"), QStringLiteral("/sbin")});
    }
    return found;
}

bool XinetdTimeServer::start(QString* why)
{
    const QString daemon = program();
    if (daemon.isEmpty()) {
        *why = QStringLiteral("xinetd is not installed");
        return false;
    }
    if (!m_dir.isValid()) {
        *why = QStringLiteral("no temporary folder for the xinetd configuration");
        return false;
    }

    // Another process may take the probed port before xinetd binds it; a few tries
    // make that race harmless.
    for (int attempt = 0; attempt < 3; ++attempt) {
        stop();
        m_port = freeLoopbackPort();
        if (m_port == 0) {
            *why = QStringLiteral("no free port on 127.0.0.1");
            return false;
        }
        const QString config = m_dir.filePath(QStringLiteral("xinetd.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *why = QStringLiteral("cannot write %1").arg(config);
            return false;
        }
        // xinetd knows its internal services by name: the service must be called
        // "time", and UNLISTED lets it take a port that /etc/services does not name.
        QString service = QStringLiteral("    type        = INTERNAL UNLISTED\n"
                                         "    id          = time-stream\n");
        if (m_count) {
            const QString printf = QStandardPaths::findExecutable(QStringLiteral("printf"));
            if (printf.isEmpty()) {
                *why = QStringLiteral("no printf program for the fixed count");
                return false;
            }
            // The four bytes, big-endian, as octal escapes of printf's format.
            QString bytes;
            for (int shift = 24; shift >= 0; shift -= 8)
                bytes += QStringLiteral("\\%1").arg((*m_count >> shift) & 0xFFu, 3, 8, QLatin1Char('0'));
            const passwd* me = getpwuid(getuid());
            service = QStringLiteral("    type        = UNLISTED\n"
                                     "    server      = %1\n"
                                     "    server_args = %2\n"
                                     "    user        = %3\n")
                          .arg(printf, bytes, QString::fromLocal8Bit(me ? me->pw_name : "root"));
        }
        file.write(QStringLiteral("defaults\n{\n}\n"
                                  "service time\n{\n"
                                  "%2"
                                  "    socket_type = stream\n"
                                  "    protocol    = tcp\n"
                                  "    wait        = no\n"
                                  "    bind        = 127.0.0.1\n"
                                  "    only_from   = 127.0.0.1\n"
                                  "    port        = %1\n"
                                  "}\n")
                       .arg(m_port)
                       .arg(service)
                       .toUtf8());
        file.close();

        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        // Without a log file of its own xinetd wants syslog, which a test machine
        // may not run.
        m_process->start(daemon, {QStringLiteral("-dontfork"), QStringLiteral("-f"), config, QStringLiteral("-pidfile"),
                                  m_dir.filePath(QStringLiteral("xinetd.pid")), QStringLiteral("-filelog"),
                                  m_dir.filePath(QStringLiteral("xinetd.log"))});
        if (!m_process->waitForStarted(5000)) {
            *why = QStringLiteral("xinetd did not start: %1").arg(m_process->errorString());
            m_process.reset();
            return false;
        }
        const QDeadlineTimer deadline(5000);
        while (!deadline.hasExpired() && m_process->state() == QProcess::Running) {
            if (accepts(m_port))
                return true;
            QThread::msleep(50);
        }
        QFile log(m_dir.filePath(QStringLiteral("xinetd.log")));
        *why = QStringLiteral("xinetd did not serve 127.0.0.1:%1: %2")
                   .arg(m_port)
                   .arg(log.open(QIODevice::ReadOnly) ? QString::fromLocal8Bit(log.readAll()).trimmed()
                                                      : QString::fromLocal8Bit(m_process->readAll()));
    }
    stop();
    return false;
}

void XinetdTimeServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        // Only our own child, by its id: xinetd ends cleanly on SIGTERM.
        m_process->terminate();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
}

}  // namespace testing_support
