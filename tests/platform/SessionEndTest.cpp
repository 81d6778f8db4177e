// The end of the desktop session: the built programs, started here with a store and
// program folder of their own, get SIGTERM, SIGHUP, SIGINT or SIGQUIT and must run
// their closing steps as when their window closes. And the start that must end at
// once: a second Dialtally beside one that counts.
#include "platform/gui/SessionEnd.h"

#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"
#include "common/RegistryNames.h"
#include "dialtally/gui/MainWindow.h"
#include "dialtally/core/Charging.h"
#include "support/StartedProgram.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/core/History.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <optional>

#include <sys/types.h>

using namespace testing_support;

namespace {

const QString kProvider = QStringLiteral("Night Owl ISP");

// Polls until `done` holds, while this process's event loop keeps running.
bool waitFor(const std::function<bool()>& done, int timeoutMs)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(20);
    }
    return true;
}

// A registry integer, or nothing while it is missing.
std::optional<std::int32_t> storedInt(RootKey root, const char* key, const char* name)
{
    try {
        if (!valueExists(root, q(key), q(name)))
            return std::nullopt;
        return readInt(root, q(key), q(name));
    } catch (const platform::RegistryError&) {
        return std::nullopt;
    }
}

qint64 historySize(const TestEnvironment& env)
{
    return QFileInfo(history::historyFile(env.programFolder())).size();
}

class SessionEndTest : public ::testing::Test {
protected:
    ~SessionEndTest() override
    {
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(10000);
        }
    }

    void startProgram(const char* relativePath)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), env.configHome());
        environment.insert(QStringLiteral("XDG_DATA_HOME"), env.dataHome());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        // No session manager of the desktop the tests run on.
        environment.remove(QStringLiteral("SESSION_MANAGER"));
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        program.start(QStringLiteral(DIALTALLY_BINARY_DIR "/") + QString::fromLatin1(relativePath), {});
        ASSERT_TRUE(program.waitForStarted(10000)) << program.errorString().toStdString();
    }

    void sendSignal(int number) { ASSERT_EQ(::kill(static_cast<pid_t>(program.processId()), number), 0); }

    // Dialtally writes the log-on user first thing after it watches for the
    // session's end: from then on a signal reaches its closing steps.
    void startDialtally()
    {
        platform::Registry r;
        r.setRootKey(HKLM);
        if (r.openKey(q(rk::kControl), false))
            r.deleteValue(q(rk::vCurrentUser));
        r.closeKey();
        ASSERT_NO_FATAL_FAILURE(startProgram("dialtally/Dialtally"));
        ASSERT_TRUE(waitFor([] { return valueExists(HKLM, q(rk::kControl), q(rk::vCurrentUser)); }, 20000))
            << "Dialtally did not start";
    }

    // The end a log-out gives: a normal exit, not death by the signal.
    void expectCleanExit()
    {
        ASSERT_TRUE(program.waitForFinished(15000)) << "the program did not end";
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(program.exitCode(), 0);
    }

    // Dialtally installed and started once (its first-run messages answered), with a
    // provider that has a tariff on every day, so a connection is counted without a
    // message.
    void installDialtally()
    {
        env.install(1);
        env.setWindowsUser(platform::loginUserName());
        setSplashRunner([](SplashWindow& splash) { splash.closeTimerElapsed(); });
        testing_support::startProgram();
        endProgram();
        setSplashRunner({});
        writeStr(HKCU, q(rk::kRemoteAccessAddresses), kProvider, QString());
        writeStr(HKCU, q(rk::kRemoteAccess), q(rk::vDefault), kProvider);
        for (const char* day : {"0", "1", "2", "3", "4", "5", "6", "Holiday"}) {
            const QString key = testing_support::tariffSlotKey(kProvider, q(day));
            writeStr(HKCU, key, q(rk::vSlotTariffProfile), QStringLiteral("Flat"));
            writeInt(HKCU, key, q(rk::vStartingInterval), 8);
            writeInt(HKCU, key, q(rk::vEndingInterval), 20);
            writeInt(HKCU, key, q(rk::vDayCost), 3);
            writeInt(HKCU, key, q(rk::vNightCost), 3);
            writeInt(HKCU, key, q(rk::vOcpDay), 0);
        }
        // No splash to wait for and the window on the screen.
        writeInt(HKCU, q(rk::kSoftware), q(rk::vLogo), 0);
        writeInt(HKCU, q(rk::kSoftware), q(rk::vMinimize), 0);
        writeInt(HKCU, q(rk::kSoftware), q(rk::vPozTop), 111);
        writeInt(HKCU, q(rk::kSoftware), q(rk::vPozLeft), 222);
        env.boxes.clear();
    }

    // The line comes up, Dialtally opens the connection and counts it for a while.
    void countConnection()
    {
        env.setLine(true);
        ASSERT_NO_FATAL_FAILURE(startDialtally());
        ASSERT_TRUE(waitFor([] { return storedInt(HKLM, rk::kSoftware, rk::vBug) == 2; }, 20000))
            << "no connection was opened";
        QThread::msleep(1500);
        ASSERT_EQ(historySize(env), 0);
    }

    void expectOneSavedConnection()
    {
        const std::vector<history::HistoryRecord> records = history::readAll(env.programFolder());
        EXPECT_EQ(historySize(env), history::kRecordSize);
        ASSERT_EQ(records.size(), 1u);
        EXPECT_EQ(records[0].providerName(), kProvider);
        EXPECT_GE(records[0].DurationSeconds, 1);
        EXPECT_EQ(storedInt(HKLM, rk::kSoftware, rk::vBug), 0);
        // The window's position was written back (its top-left as placed at start).
        EXPECT_TRUE(storedInt(HKCU, rk::kSoftware, rk::vPozTop).has_value());
        EXPECT_TRUE(storedInt(HKCU, rk::kSoftware, rk::vPozLeft).has_value());
    }

    TestEnvironment env;
    QProcess program;
};

class SessionEndSignalTest : public SessionEndTest, public ::testing::WithParamInterface<int> { };

TEST_P(SessionEndSignalTest, DialtallySavesTheCountedConnectionOnceAndClearsTheMarker)
{
    installDialtally();
    ASSERT_NO_FATAL_FAILURE(countConnection());
    // Stand-ins the closing steps must replace with the window's position.
    writeInt(HKCU, q(rk::kSoftware), q(rk::vPozTop), -1);
    writeInt(HKCU, q(rk::kSoftware), q(rk::vPozLeft), -1);
    sendSignal(GetParam());
    expectCleanExit();
    expectOneSavedConnection();
    EXPECT_EQ(storedInt(HKCU, rk::kSoftware, rk::vPozTop), 111);
    EXPECT_EQ(storedInt(HKCU, rk::kSoftware, rk::vPozLeft), 222);

    // The next start finds a clean exit: nothing to recover, nothing appended.
    env.setLine(false);
    ASSERT_NO_FATAL_FAILURE(startDialtally());
    QThread::msleep(1500);
    sendSignal(SIGTERM);
    expectCleanExit();
    EXPECT_EQ(history::readAll(env.programFolder()).size(), 1u);
    EXPECT_EQ(storedInt(HKLM, rk::kSoftware, rk::vBug), 0);
}

// A log-out, a closed terminal, and Ctrl+C or Ctrl+\ in the terminal it was started from.
INSTANTIATE_TEST_SUITE_P(Signals, SessionEndSignalTest, ::testing::Values(SIGTERM, SIGHUP, SIGINT, SIGQUIT),
                         [](const ::testing::TestParamInfo<int>& info) {
                             switch (info.param) {
                             case SIGTERM:
                                 return std::string("SIGTERM");
                             case SIGHUP:
                                 return std::string("SIGHUP");
                             case SIGINT:
                                 return std::string("SIGINT");
                             default:
                                 return std::string("SIGQUIT");
                             }
                         });

TEST_F(SessionEndTest, ASecondTermDuringTheClosingStepsNeitherDoublesNorCorruptsTheRecord)
{
    // The closing steps are held inside themselves: this process keeps the store's
    // write lock, so after appending the record Dialtally waits to clear the marker.
    // A tick that happens to wait for the lock first delays the closing steps past
    // the append; then the scenario runs again from the start.
    bool heldInside = false;
    for (int attempt = 0; attempt < 3 && !heldInside; ++attempt) {
        SCOPED_TRACE(attempt);
        if (attempt > 0) {
            // The last attempt's program closes in its own time once the lock is free.
            program.waitForFinished(15000);
            QFile::remove(history::historyFile(env.programFolder()));
        }
        installDialtally();
        ASSERT_NO_FATAL_FAILURE(countConnection());
        {
            platform::RegistryTransaction lock(platform::processStore());
            sendSignal(SIGTERM);
            // Well inside the store's busy time-out, so no write of Dialtally fails.
            heldInside = waitFor([this] { return historySize(env) > 0; }, 2000);
            if (heldInside) {
                sendSignal(SIGTERM);
                QThread::msleep(300);
                sendSignal(SIGTERM);
                QThread::msleep(300);
            }
        }
        if (!heldInside)
            continue;
        expectCleanExit();
        expectOneSavedConnection();
    }
    EXPECT_TRUE(heldInside) << "the closing steps were never caught between the append and the marker";
}

TEST_F(SessionEndTest, ASecondDialtallyHandsOverWithoutTouchingTheStore)
{
    installDialtally();
    ASSERT_NO_FATAL_FAILURE(countConnection());
    // A start writes the log-on user first of all: a second copy that got that far
    // would put the name back.
    writeStr(HKLM, q(rk::kControl), q(rk::vCurrentUser), QStringLiteral("left alone"));

    QProcess second;
    second.setProcessEnvironment(program.processEnvironment());
    second.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    for (int start = 0; start < 2; ++start) {
        SCOPED_TRACE(start);
        second.start(QStringLiteral(DIALTALLY_BINARY_DIR "/dialtally/Dialtally"), {});
        ASSERT_TRUE(second.waitForFinished(15000)) << "the second start did not end";
        EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(second.exitCode(), 0);
    }
    EXPECT_EQ(readStr(HKLM, q(rk::kControl), q(rk::vCurrentUser)), QStringLiteral("left alone"));
    EXPECT_EQ(program.state(), QProcess::Running);
    EXPECT_EQ(historySize(env), 0);

    // The one copy ends the connection once.
    env.setLine(false);
    ASSERT_TRUE(waitFor([] { return storedInt(HKLM, rk::kSoftware, rk::vBug) == 1; }, 20000));
    sendSignal(SIGTERM);
    expectCleanExit();
    expectOneSavedConnection();
}

TEST_F(SessionEndTest, ALogOutDuringTheStartUpMessagesStillEndsDialtally)
{
    // The first start shows its messages before the message loop runs; a log-out
    // then must end the program, not leave it running with its closing steps done.
    env.install(1);
    env.setWindowsUser(platform::loginUserName());
    ASSERT_NO_FATAL_FAILURE(startDialtally());
    // "FirstTime" goes to 0 just before the first message.
    ASSERT_TRUE(waitFor([] { return storedInt(HKLM, rk::kSoftware, rk::vFirstTime) == 0; }, 20000));
    QThread::msleep(500);
    sendSignal(SIGTERM);
    expectCleanExit();
    EXPECT_NE(storedInt(HKLM, rk::kSoftware, rk::vBug), 2);
    EXPECT_EQ(historySize(env), 0);
}

// Postpeek with two accounts on the given port, "home" ticked and "work" not, a
// check at start and the line up.
void writePostpeekSettings(TestEnvironment& env, quint16 port)
{
    struct Account {
        const char* name;
        int checked;
    };
    for (const Account& account : {Account{"home", 1}, Account{"work", 0}}) {
        const QString key = q(rk::kEmailAccounts) + QLatin1Char('\\') + q(account.name);
        writeStr(HKCU, key, q(rk::vAccountUser), QStringLiteral("ann"));
        writeStr(HKCU, key, q(rk::vAccountPassword), QStringLiteral("secret"));
        writeStr(HKCU, key, q(rk::vAccountHost), QStringLiteral("127.0.0.1"));
        writeInt(HKCU, key, q(rk::vAccountPort), port);
        writeInt(HKCU, key, q(rk::vAccountChecked), account.checked);
    }
    const std::pair<const char*, int> settings[] = {
        {rk::vOnOff, 1},     {rk::vMinutes, 5},     {rk::vAutoCheck, 1},       {rk::vAutoMinimize, 0},
        {rk::vAutoClose, 0}, {rk::vAutoRestore, 0}, {rk::vEmailSystemTray, 0}, {rk::vAutoCloseProgram, 0},
    };
    for (const auto& [name, value] : settings)
        writeInt(HKCU, q(rk::kEmail), q(name), value);
    writeStr(HKLM, q(rk::kSoftware), q(rk::vProgramPath), env.programFolder());
    env.setLine(true);  // a check needs the line up
}

// Marks the store holds now are not the ones on screen; the close writes those.
void overwriteMarks()
{
    writeInt(HKCU, q(rk::kEmailAccounts) + "\\home", q(rk::vAccountChecked), 0);
    writeInt(HKCU, q(rk::kEmailAccounts) + "\\work", q(rk::vAccountChecked), 1);
}

void expectMarksOnScreenSaved()
{
    EXPECT_EQ(readInt(HKCU, q(rk::kEmailAccounts) + "\\home", q(rk::vAccountChecked)), 1);
    EXPECT_EQ(readInt(HKCU, q(rk::kEmailAccounts) + "\\work", q(rk::vAccountChecked)), 0);
}

// Without a store (deleted, or never installed) neither program makes an empty one in
// its place: each stops at its box that names the missing file.
TEST_F(SessionEndTest, AStartWithoutAStoreMakesNone)
{
    for (const char* programFile : {"dialtally/Dialtally", "postpeek/Postpeek"}) {
        SCOPED_TRACE(programFile);
        ASSERT_FALSE(QFileInfo::exists(env.registryFile()));
        ASSERT_NO_FATAL_FAILURE(startProgram(programFile));
        program.waitForFinished(3000);
        EXPECT_FALSE(QFileInfo::exists(env.registryFile()));
        EXPECT_FALSE(QFileInfo::exists(env.registryFile() + "-wal"));
        if (program.state() != QProcess::NotRunning) {
            program.kill();
            program.waitForFinished(10000);
        }
    }
}

TEST_F(SessionEndTest, PostpeekSavesItsCheckMarksAsWhenItsWindowCloses)
{
    // A POP3 server that answers nothing holds Postpeek in its start check: by then
    // it has read its accounts, and the signal comes while it waits in the exchange.
    QTcpServer pop3;
    ASSERT_TRUE(pop3.listen(QHostAddress::LocalHost));
    writePostpeekSettings(env, pop3.serverPort());
    startProgram("postpeek/Postpeek");
    ASSERT_TRUE(pop3.waitForNewConnection(20000)) << "Postpeek did not start its check";
    overwriteMarks();
    sendSignal(SIGTERM);
    expectCleanExit();
    expectMarksOnScreenSaved();
}

TEST_F(SessionEndTest, PostpeekEndsWhileTheBoxOfItsStartCheckIsOpen)
{
    // A server that turns the start check away: its box opens before the message
    // loop runs, and the log-out must not wait for its OK.
    QTcpServer pop3;
    ASSERT_TRUE(pop3.listen(QHostAddress::LocalHost));
    bool dropped = false;
    QObject::connect(&pop3, &QTcpServer::newConnection, [&] {
        while (QTcpSocket* socket = pop3.nextPendingConnection()) {
            socket->write("-ERR go away\r\n");
            socket->setParent(&pop3);
            QObject::connect(socket, &QTcpSocket::disconnected, [&] { dropped = true; });
        }
    });
    writePostpeekSettings(env, pop3.serverPort());
    startProgram("postpeek/Postpeek");
    // The program drops the refused connection just before its box opens.
    ASSERT_TRUE(waitFor([&] { return dropped; }, 20000)) << "Postpeek did not start its check";
    waitFor([] { return false; }, 300);
    overwriteMarks();
    sendSignal(SIGTERM);
    expectCleanExit();
    expectMarksOnScreenSaved();
}

}  // namespace
