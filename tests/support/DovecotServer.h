// A real POP3 server for tests: Dovecot on 127.0.0.1 on a free high port, with its
// config, passwd-file users and maildirs in a temporary folder. Users and messages
// can be added while it runs.
#pragma once

#include "support/RealServers.h"

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

namespace testing_support {

class DovecotServer {
public:
    // Empty when Dovecot's POP3 server is installed here, else the reason it is not.
    static QString unavailableReason();

    DovecotServer();
    ~DovecotServer();  // stops the server
    DovecotServer(const DovecotServer&) = delete;
    DovecotServer& operator=(const DovecotServer&) = delete;

    // Starts the server and waits until it greets; false with `error` set when it
    // could not be started (the server's log is in the text).
    bool start(QString* error);
    void stop();
    bool isRunning() const;

    QString host() const { return QStringLiteral("127.0.0.1"); }
    quint16 port() const { return m_port; }

    // A user with an empty maildir. Names are unique per server.
    void addUser(const QString& user, const QString& password);
    // Delivers a message with the given headers and a body of `bodyBytes` bytes;
    // returns its size as the server's LIST reports it. Messages keep the order in
    // which they were delivered.
    qint64 addMessage(const QString& user, const QByteArray& from, const QByteArray& subject, int bodyBytes = 0);
    // The subjects of the messages in the user's maildir, in delivery order.
    QStringList subjects(const QString& user) const;

    QString log() const;

private:
    QString maildir(const QString& user) const;
    void own(const QString& path) const;
    bool writeConfig(QString* error);

    QTemporaryDir m_dir;
    std::unique_ptr<QProcess> m_process;
    quint16 m_port = 0;
    int m_uid = -1;
    int m_gid = -1;
    QString m_account;  // the system user that owns the maildirs
    int m_sequence = 0;
};

}  // namespace testing_support

// Skips the running test when Dovecot is not installed on this machine, or fails it
// where the real servers are required (RealServers.h); any other trouble with the
// server fails the test.
#define SKIP_UNLESS_DOVECOT_INSTALLED()                                                                                \
    SKIP_OR_FAIL_WITHOUT_SERVER(::testing_support::DovecotServer::unavailableReason())
