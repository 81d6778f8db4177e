// One copy per store: the first start takes the lock, a later one hands over and
// ends, and what a killed copy left behind blocks nothing.
#include "platform/core/SingleInstance.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cstring>
#include <future>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

using platform::SingleInstance;
using Claim = SingleInstance::Claim;

namespace {

// How many times a copy was asked for its window.
struct Requests {
    explicit Requests(SingleInstance& instance)
    {
        QObject::connect(&instance, &SingleInstance::showRequested, [this] { ++count; });
    }
    // Lets this thread's event loop run until `wanted` requests came, or five seconds.
    int waitFor(int wanted)
    {
        QElapsedTimer timer;
        timer.start();
        while (count < wanted && timer.elapsed() < 5000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        return count;
    }
    int count = 0;
};

// A later start is another process: its claim blocks while it waits for the answer,
// so it runs on a thread of its own while this one's event loop answers it.
Claim claimElsewhere(const QString& folder, QString* detail = nullptr)
{
    auto later = std::async(std::launch::async, [folder, detail] {
        SingleInstance other(folder);
        return other.claim(detail);
    });
    QElapsedTimer timer;
    timer.start();
    while (later.wait_for(std::chrono::milliseconds(10)) != std::future_status::ready && timer.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    EXPECT_EQ(later.wait_for(std::chrono::seconds(0)), std::future_status::ready) << "the later start hangs";
    return later.get();
}

// The pid of a process that has ended, as a killed copy's lock file names it.
qint64 endedProcess()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

void writeLockFile(const QString& file, qint64 pid)
{
    QFile lock(file);
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write(QByteArray::number(pid) + '\n' + QCoreApplication::applicationName().toUtf8() + '\n'
               + QSysInfo::machineHostName().toUtf8() + '\n');
}

// A socket file that nobody listens on any more, as a killed copy leaves it.
void leaveDeadSocket(const QString& path)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    ASSERT_LT(native.size(), qsizetype(sizeof address.sun_path));
    std::memcpy(address.sun_path, native.constData(), native.size());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(path));
}

TEST(SingleInstance, ALaterStartHandsOverToTheRunningCopyUntilItEnds)
{
    QTemporaryDir folder;
    const QString store = folder.path() + QStringLiteral("/dialtally");
    {
        SingleInstance first(store);
        Requests shown(first);
        ASSERT_EQ(first.claim(), Claim::First);
        EXPECT_TRUE(QFile::exists(first.lockFile()));

        for (int start = 1; start <= 2; ++start) {
            SCOPED_TRACE(start);
            EXPECT_EQ(claimElsewhere(store), Claim::HandedOver);
            EXPECT_EQ(shown.waitFor(start), start);
        }
    }
    // The copy ended: the next start is the one copy again.
    SingleInstance next(store);
    EXPECT_EQ(next.claim(), Claim::First);
}

TEST(SingleInstance, WhatAKilledCopyLeftIsTakenOver)
{
    QTemporaryDir folder;
    const QString store = folder.path();
    SingleInstance probe(store);
    ASSERT_NO_FATAL_FAILURE(writeLockFile(probe.lockFile(), endedProcess()));
    ASSERT_NO_FATAL_FAILURE(leaveDeadSocket(probe.socketName()));

    SingleInstance first(store);
    Requests shown(first);
    ASSERT_EQ(first.claim(), Claim::First);
    // It listens where the dead socket was, so the next start still reaches it.
    EXPECT_EQ(claimElsewhere(store), Claim::HandedOver);
    EXPECT_EQ(shown.waitFor(1), 1);
}

TEST(SingleInstance, ACopyThatHoldsTheLockButDoesNotAnswerIsNotJoined)
{
    // This process holds the lock by its file, with nobody listening: a copy that
    // hangs. The later start must end too, not count beside it.
    QTemporaryDir folder;
    SingleInstance probe(folder.path());
    ASSERT_NO_FATAL_FAILURE(writeLockFile(probe.lockFile(), QCoreApplication::applicationPid()));
    QString detail;
    EXPECT_EQ(claimElsewhere(folder.path(), &detail), Claim::OtherDidNotAnswer);
    EXPECT_TRUE(detail.contains(QString::number(QCoreApplication::applicationPid()))) << detail.toStdString();
    EXPECT_TRUE(QFile::exists(probe.lockFile())) << "the live copy's lock was taken";
}

TEST(SingleInstance, AFolderTooDeepForASocketPathStillHandsOver)
{
    QTemporaryDir folder;
    const QString deep = folder.path() + QLatin1Char('/') + QString(120, QLatin1Char('d'));
    // Its socket goes to the temporary folder, which is the test's own here.
    const QByteArray oldTmp = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(folder.path()));
    struct Restore {
        QByteArray value;
        ~Restore() { value.isEmpty() ? qunsetenv("TMPDIR") : qputenv("TMPDIR", value); }
    } restore{oldTmp};
    SingleInstance first(deep);
    Requests shown(first);
    ASSERT_EQ(first.claim(), Claim::First);
    EXPECT_TRUE(first.socketName().startsWith(folder.path() + QStringLiteral("/dialtally-")))
        << first.socketName().toStdString();
    EXPECT_EQ(claimElsewhere(deep), Claim::HandedOver);
    EXPECT_EQ(shown.waitFor(1), 1);
}

// A peer of the socket that is no later start: it connects, sends `bytes`, and
// either hangs up or stays connected for the rest of the test.
int connectAndSend(const QString& path, const QByteArray& bytes)
{
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    EXPECT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), native.size());
    EXPECT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
    if (!bytes.isEmpty()) {
        EXPECT_EQ(::send(fd, bytes.constData(), bytes.size(), MSG_NOSIGNAL), bytes.size());
    }
    return fd;
}

TEST(SingleInstance, OnlyTheOneRequestShowsTheWindowAndStrangersBlockNoLaterStart)
{
    QTemporaryDir folder;
    SingleInstance first(folder.path());
    Requests shown(first);
    ASSERT_EQ(first.claim(), Claim::First);
    // Nobody else may ask this copy for anything.
    EXPECT_EQ(QFile::permissions(first.socketName()) & (QFile::ReadGroup | QFile::WriteGroup | QFile::ReadOther
                                                        | QFile::WriteOther),
              QFile::Permissions{});

    struct Stranger {
        const char* what;
        QByteArray bytes;
        bool hangsUp;
    };
    const Stranger strangers[] = {
        {"another line", "hello\n", true},
        {"the request without its end, then gone", "show", true},
        {"a long line without an end, kept open", QByteArray(200, 'x'), false},
        {"nothing at all, kept open", {}, false},
        {"the request with more after it", "show me\n", true},
    };
    std::vector<int> open;
    for (const Stranger& stranger : strangers) {
        SCOPED_TRACE(stranger.what);
        const int fd = connectAndSend(first.socketName(), stranger.bytes);
        stranger.hangsUp ? void(::close(fd)) : open.push_back(fd);
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
    }
    EXPECT_EQ(shown.waitFor(1), 0) << "a stranger's bytes showed the window";
    // The next start is still heard, with strangers connected.
    EXPECT_EQ(claimElsewhere(folder.path()), Claim::HandedOver);
    EXPECT_EQ(shown.waitFor(1), 1);
    for (int fd : open)
        ::close(fd);
}

TEST(SingleInstance, TheSocketGoesWithTheCopy)
{
    QTemporaryDir folder;
    QString socket;
    {
        SingleInstance first(folder.path());
        ASSERT_EQ(first.claim(), Claim::First);
        socket = first.socketName();
        EXPECT_TRUE(QFile::exists(socket));
        const int waiting = connectAndSend(socket, "sh");
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        ::close(waiting);
    }
    EXPECT_FALSE(QFile::exists(socket));
    EXPECT_FALSE(QFile::exists(socket + QStringLiteral(".new")));
}

}  // namespace
