#include "support/DovecotServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

#include <grp.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace testing_support {

namespace {

const char* const kDovecot = "/usr/sbin/dovecot";
const char* const kPop3Binary = "/usr/lib/dovecot/pop3";
const char* const kLoginBinary = "/usr/lib/dovecot/pop3-login";

quint16 freePort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    return probe.serverPort();
}

bool greets(quint16 port)
{
    QTcpSocket socket;
    socket.connectToHost(QHostAddress::LocalHost, port);
    if (!socket.waitForConnected(500))
        return false;
    if (!socket.waitForReadyRead(2000))
        return false;
    return socket.readAll().startsWith("+OK");
}

}  // namespace

QString DovecotServer::unavailableReason()
{
    for (const char* file : {kDovecot, kPop3Binary, kLoginBinary}) {
        if (!QFileInfo(QString::fromLatin1(file)).isExecutable())
            return QStringLiteral("Dovecot's POP3 server is not installed (no %1; the package is dovecot-pop3d)")
                .arg(QString::fromLatin1(file));
    }
    return {};
}

DovecotServer::DovecotServer()
    : m_dir(QDir::tempPath() + QStringLiteral("/dtdove-XXXXXX"))
{
    // Running as root, the mail is owned by "mail" (Dovecot refuses uid 0 for mail);
    // otherwise everything runs as the calling user.
    if (geteuid() == 0) {
        if (const passwd* mail = getpwnam("mail")) {
            m_uid = static_cast<int>(mail->pw_uid);
            m_gid = static_cast<int>(mail->pw_gid);
            m_account = QString::fromLocal8Bit(mail->pw_name);
        }
    } else if (const passwd* me = getpwuid(geteuid())) {
        m_uid = static_cast<int>(me->pw_uid);
        m_gid = static_cast<int>(me->pw_gid);
        m_account = QString::fromLocal8Bit(me->pw_name);
    }
    // The mail user must be able to walk down to the maildirs.
    ::chmod(QFile::encodeName(m_dir.path()).constData(), 0755);
    QDir(m_dir.path()).mkpath(QStringLiteral("run"));
    QDir(m_dir.path()).mkpath(QStringLiteral("state"));
    QDir(m_dir.path()).mkpath(QStringLiteral("home"));
    own(m_dir.filePath(QStringLiteral("home")));
    QDir(m_dir.path()).mkpath(QStringLiteral("users"));
}

DovecotServer::~DovecotServer()
{
    stop();
}

void DovecotServer::own(const QString& path) const
{
    if (geteuid() == 0 && m_uid > 0) {
        if (::chown(QFile::encodeName(path).constData(), static_cast<uid_t>(m_uid), static_cast<gid_t>(m_gid)) != 0)
            qWarning("DovecotServer: cannot give %s to the mail user", qPrintable(path));
    }
}

bool DovecotServer::writeConfig(QString* error)
{
    const QString dir = m_dir.path();
    const bool root = geteuid() == 0;
    QString config;
    config += QStringLiteral("base_dir = %1/run\n").arg(dir);
    config += QStringLiteral("state_dir = %1/state\n").arg(dir);
    config += QStringLiteral("log_path = %1/dovecot.log\n").arg(dir);
    config += QStringLiteral("protocols = pop3\n");
    config += QStringLiteral("listen = 127.0.0.1\n");
    config += QStringLiteral("ssl = no\n");
    config += QStringLiteral("disable_plaintext_auth = no\n");
    config += QStringLiteral("auth_mechanisms = plain\n");
    // A refused login answers at once; the client's behaviour does not depend on it.
    config += QStringLiteral("auth_failure_delay = 0\n");
    config += QStringLiteral("mail_location = maildir:~/Maildir\n");
    config += QStringLiteral("first_valid_uid = 1\n");
    config += QStringLiteral("pop3_uidl_format = %08Xu%08Xv\n");
    if (!root) {
        config += QStringLiteral("default_internal_user = %1\n").arg(m_account);
        config += QStringLiteral("default_login_user = %1\n").arg(m_account);
        if (const group* own = getgrgid(static_cast<gid_t>(m_gid)))
            config += QStringLiteral("default_internal_group = %1\n").arg(QString::fromLocal8Bit(own->gr_name));
    }
    // One passwd file per user: Dovecot rereads a changed file at most once a second,
    // so a user added right after a login would not be found in a shared one.
    config += QStringLiteral("passdb {\n  driver = passwd-file\n  args = scheme=PLAIN %1/users/%u\n}\n").arg(dir);
    config += QStringLiteral("userdb {\n  driver = passwd-file\n  args = %1/users/%u\n}\n").arg(dir);
    config += QStringLiteral("service pop3-login {\n  chroot =\n  inet_listener pop3 {\n    address = 127.0.0.1\n"
                             "    port = %1\n  }\n}\n")
                  .arg(m_port);
    config += QStringLiteral("service imap-login {\n  chroot =\n}\n");
    // Refused logins are part of the tests; without this every later login from
    // 127.0.0.1 would wait out a growing penalty.
    config += QStringLiteral("service anvil {\n%1  unix_listener anvil-auth-penalty {\n    mode = 0\n  }\n}\n")
                  .arg(root ? QString() : QStringLiteral("  chroot =\n"));

    QFile file(m_dir.filePath(QStringLiteral("dovecot.conf")));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(config.toUtf8()) < 0) {
        *error = QStringLiteral("cannot write the Dovecot config: ") + file.errorString();
        return false;
    }
    return true;
}

bool DovecotServer::start(QString* error)
{
    QString ignored;
    if (!error)
        error = &ignored;
    if (!m_dir.isValid()) {
        *error = QStringLiteral("no temporary folder for Dovecot");
        return false;
    }
    if (m_uid <= 0) {
        *error = QStringLiteral("no system user to own the maildirs (the \"mail\" user is missing)");
        return false;
    }
    // The port we picked may be taken by someone else before Dovecot binds it.
    for (int attempt = 0; attempt < 3; ++attempt) {
        stop();
        m_port = freePort();
        if (m_port == 0 || !writeConfig(error))
            continue;
        m_process = std::make_unique<QProcess>();
        m_process->setProcessChannelMode(QProcess::MergedChannels);
        m_process->start(QString::fromLatin1(kDovecot),
                         {QStringLiteral("-F"), QStringLiteral("-c"), m_dir.filePath(QStringLiteral("dovecot.conf"))});
        if (!m_process->waitForStarted(5000)) {
            *error = QStringLiteral("cannot run %1: %2").arg(QString::fromLatin1(kDovecot), m_process->errorString());
            m_process.reset();
            return false;
        }
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 10000 && m_process->state() == QProcess::Running) {
            if (greets(m_port))
                return true;
            // A server that reported a fatal error will not come up however long we wait.
            if (log().contains(QStringLiteral("Fatal: ")))
                break;
            QThread::msleep(50);
        }
        *error = QStringLiteral("Dovecot did not come up on port %1: %2 %3")
                     .arg(m_port)
                     .arg(QString::fromLocal8Bit(m_process->readAll()), log());
    }
    stop();
    return false;
}

void DovecotServer::stop()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        // The master stops its children on SIGTERM; kill only our own master if it lingers.
        m_process->terminate();
        if (!m_process->waitForFinished(15000)) {
            m_process->kill();
            m_process->waitForFinished(5000);
        }
    }
    m_process.reset();
}

bool DovecotServer::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

QString DovecotServer::log() const
{
    QFile file(m_dir.filePath(QStringLiteral("dovecot.log")));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLocal8Bit(file.readAll());
}

QString DovecotServer::maildir(const QString& user) const
{
    return m_dir.filePath(QStringLiteral("home/%1/Maildir").arg(user));
}

void DovecotServer::addUser(const QString& user, const QString& password)
{
    const QString home = m_dir.filePath(QStringLiteral("home/") + user);
    for (const QString& path : {home, maildir(user), maildir(user) + QStringLiteral("/new"),
                                maildir(user) + QStringLiteral("/cur"), maildir(user) + QStringLiteral("/tmp")}) {
        QDir().mkpath(path);
        own(path);
    }
    QFile passwd(m_dir.filePath(QStringLiteral("users/") + user));
    if (passwd.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        passwd.write(
            QStringLiteral("%1:{PLAIN}%2:%3:%4::%5::\n").arg(user, password).arg(m_uid).arg(m_gid).arg(home).toUtf8());
        passwd.close();
    }
}

qint64 DovecotServer::addMessage(const QString& user, const QByteArray& from, const QByteArray& subject, int bodyBytes)
{
    QByteArray text = "Return-Path: <test@example.org>\r\n";
    text += "From: " + from + "\r\n";
    text += "To: " + user.toUtf8() + "@example.org\r\n";
    text += "Subject: " + subject + "\r\n";
    text += "Message-ID: <" + QByteArray::number(++m_sequence) + "." + user.toUtf8() + "@example.org>\r\n";
    text += "\r\n";
    // A body of short lines, as mail is; its last line ends the size exactly.
    QByteArray body;
    while (body.size() < bodyBytes) {
        QByteArray line(std::min<qsizetype>(70, bodyBytes - body.size()), 'x');
        if (line.size() > 2) {
            line.chop(2);
            line += "\r\n";
        }
        body += line;
    }
    text += body;

    // Names sort in delivery order; Dovecot numbers new mail by name.
    const QString name = QStringLiteral("%1.M%2P%3.dialtally-test")
                             .arg(1000000000 + m_sequence)
                             .arg(m_sequence)
                             .arg(static_cast<qint64>(getpid()));
    const QString temporary = maildir(user) + QStringLiteral("/tmp/") + name;
    QFile file(temporary);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        return -1;
    file.close();
    own(temporary);
    // Delivery by rename, so the server never sees half a message.
    QFile::rename(temporary, maildir(user) + QStringLiteral("/new/") + name);
    return text.size();
}

QStringList DovecotServer::subjects(const QString& user) const
{
    QStringList files;
    for (const char* sub : {"/new", "/cur"}) {
        const QDir dir(maildir(user) + QLatin1String(sub));
        for (const QString& name : dir.entryList(QDir::Files))
            files << dir.filePath(name);
    }
    std::sort(files.begin(), files.end(),
              [](const QString& a, const QString& b) { return QFileInfo(a).fileName() < QFileInfo(b).fileName(); });
    QStringList result;
    for (const QString& path : files) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine().trimmed();
            if (line.isEmpty())
                break;
            if (line.startsWith("Subject: "))
                result << QString::fromUtf8(line.mid(9));
        }
    }
    return result;
}

}  // namespace testing_support
