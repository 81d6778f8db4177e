#include "tools/RegTool.h"

#include "support/Fakes.h"
#include "common/RegistryNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

#include <limits>

using platform::RootKey;
using platform::ValueType;
using tools::RegCommand;

namespace {

struct ToolRun {
    int exitCode = -1;
    QString out;
    QString err;
};

// Runs the built dialtally-reg on the test's store; stdin is closed, so any question
// is answered "No".
ToolRun reg(const testing_support::TestEnvironment& env, const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_CONFIG_HOME", env.configHome());
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(DIALTALLY_BINARY_DIR "/tools/dialtally-reg"), arguments);
    process.closeWriteChannel();
    ToolRun run;
    if (!process.waitForFinished(30000)) {
        process.kill();
        process.waitForFinished(5000);
        run.err = "timed out";
        return run;
    }
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

const QString kLine = QStringLiteral("HKLM\\System\\CurrentControlSet\\Services\\RemoteAccess");

TEST(RegToolArguments, CommandLinesReadAsReadsThem)
{
    QString error;
    auto add = tools::parseRegArguments(
        {"ADD", kLine, "/v", "Remote Connection", "/t", "reg_binary", "/d", "01000000", "-F"}, error);
    ASSERT_TRUE(add) << error.toStdString();
    EXPECT_EQ(add->operation, RegCommand::Operation::Add);
    EXPECT_EQ(add->root, RootKey::LocalMachine);
    EXPECT_EQ(add->key, "System\\CurrentControlSet\\Services\\RemoteAccess");
    EXPECT_EQ(add->valueName, "Remote Connection");
    EXPECT_EQ(add->type, ValueType::Binary);
    EXPECT_EQ(add->data, "01000000");
    EXPECT_TRUE(add->force);

    auto query = tools::parseRegArguments({"query", "HKEY_CURRENT_USER\\RemoteAccess\\Addresses"}, error);
    ASSERT_TRUE(query);
    EXPECT_EQ(query->root, RootKey::CurrentUser);
    EXPECT_FALSE(query->valueName);

    auto wipe = tools::parseRegArguments({"delete", "HKCU\\Software\\Dialtally\\Exec", "/va"}, error);
    ASSERT_TRUE(wipe);
    EXPECT_TRUE(wipe->allValues);
    EXPECT_FALSE(wipe->force);

    const QStringList bad[] = {
        {},
        {"list", kLine},
        {"query"},
        {"query", "HKXX\\Software"},
        {"query", "/v", "x"},
        {"query", kLine, "/v"},
        {"query", kLine, "/f"},
        {"query", kLine, "/v", "a", "/v", "b"},
        {"add", kLine, "/t", "REG_DWORD", "/d", "1"},  // no /v
        {"add", kLine, "/v", "x", "/t", "REG_QWORD", "/d", "1"},
        {"add", kLine, "/v", "x", "/t", "REG_DWORD"},
        {"add", kLine, "/v", "x", "/t", "REG_DWORD", "/d", "ten"},
        {"add", kLine, "/v", "x", "/t", "REG_DWORD", "/d", "4294967296"},
        {"add", kLine, "/v", "x", "/t", "REG_BINARY", "/d", "0100000"},
        {"add", kLine, "/v", "x", "/t", "REG_BINARY", "/d", "01zz"},
        {"delete", kLine, "/v", "x", "/va"},
        {"delete", "HKLM"},
        {"delete", "HKCU\\"},
    };
    for (const QStringList& arguments : bad) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        error.clear();
        EXPECT_FALSE(tools::parseRegArguments(arguments, error));
        EXPECT_FALSE(error.isEmpty());
    }
}

TEST(RegToolArguments, DwordDataIsThirtyTwoBits)
{
    struct Case {
        const char* text;
        bool ok;
        std::int32_t value;
    };
    const Case cases[] = {
        {"0", true, 0},
        {"15", true, 15},
        {"0x1", true, 1},
        {"0XFFFFFFFF", true, -1},
        {"4294967295", true, -1},
        {"-2147483648", true, std::numeric_limits<std::int32_t>::min()},
        {"-2147483649", false, 0},
        {"0x100000000", false, 0},
        {"0x-1", false, 0},
        {"", false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        std::int32_t value = 0;
        EXPECT_EQ(tools::parseDwordData(c.text, value), c.ok);
        if (c.ok) {
            EXPECT_EQ(value, c.value);
        }
    }
}

TEST(RegTool, AddQueryDeleteRoundTripThroughTheBuiltTool)
{
    testing_support::TestEnvironment env;
    platform::processStore();  // made here as the installation makes it

    ToolRun run = reg(env, {"add", kLine, "/v", "Remote Connection", "/t", "REG_BINARY", "/d", "01000000"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = reg(env, {"add", "HKCU\\Software\\Dialtally", "/v", "Connect delay", "/t", "REG_DWORD", "/d", "0x0f"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    run = reg(env, {"add", "HKCU\\Software\\Dialtally", "/v", "User Name", "/d", "Ann Smith"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    ASSERT_EQ(reg(env, {"add", "HKCU\\Software\\Dialtally\\Beep"}).exitCode, 0);

    // What the tool wrote is what the programs read.
    const QByteArray up("\x01\x00\x00\x00", 4);
    platform::Registry r;
    r.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(r.openKey(regkeys::kRemoteAccessService, false));
    EXPECT_EQ(r.readBinary(regkeys::vRemoteConnection), up);
    r.closeKey();
    EXPECT_EQ(testing_support::readInt(RootKey::CurrentUser, regkeys::kSoftware, regkeys::vConnectDelay), 15);
    EXPECT_EQ(testing_support::readStr(RootKey::CurrentUser, regkeys::kSoftware, regkeys::vUserName), "Ann Smith");

    run = reg(env, {"query", kLine, "/v", "REMOTE CONNECTION"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.contains("    Remote Connection    REG_BINARY    01000000\n")) << run.out.toStdString();

    run = reg(env, {"query", "hkcu\\software\\dialtally\\"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.toStdString(), "HKEY_CURRENT_USER\\Software\\Dialtally\n"
                                     "    Connect delay    REG_DWORD    0xf\n"
                                     "    User Name    REG_SZ    Ann Smith\n"
                                     "\n"
                                     "HKEY_CURRENT_USER\\Software\\Dialtally\\Beep\n");

    // Overwriting without /f asks; with stdin closed the answer is no.
    run = reg(env, {"add", "HKCU\\Software\\Dialtally", "/v", "connect DELAY", "/t", "REG_DWORD", "/d", "30"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(testing_support::readInt(RootKey::CurrentUser, regkeys::kSoftware, regkeys::vConnectDelay), 15);
    run = reg(env, {"add", "HKCU\\Software\\Dialtally", "/v", "connect DELAY", "/t", "REG_DWORD", "/d", "30", "/f"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(testing_support::readInt(RootKey::CurrentUser, regkeys::kSoftware, regkeys::vConnectDelay), 30);

    EXPECT_EQ(reg(env, {"delete", "HKCU\\Software\\Dialtally", "/v", "User Name"}).exitCode, 1);  // asks, no
    EXPECT_EQ(reg(env, {"delete", "HKCU\\Software\\Dialtally", "/v", "User Name", "/f"}).exitCode, 0);
    EXPECT_FALSE(testing_support::valueExists(RootKey::CurrentUser, regkeys::kSoftware, regkeys::vUserName));
    EXPECT_EQ(reg(env, {"delete", "HKCU\\Software", "/f"}).exitCode, 0);
    EXPECT_FALSE(testing_support::valueExists(RootKey::CurrentUser, regkeys::kSoftware, regkeys::vConnectDelay));
    EXPECT_TRUE(
        testing_support::valueExists(RootKey::LocalMachine, regkeys::kRemoteAccessService, regkeys::vRemoteConnection));

    // Missing keys and values: a clear error and exit code 1.
    const QStringList missing[] = {
        {"query", "HKCU\\Software\\Dialtally"},
        {"query", kLine, "/v", "Nothing"},
        {"delete", kLine, "/v", "Nothing", "/f"},
        {"delete", "HKCU\\Software\\Dialtally", "/f"},
    };
    for (const QStringList& arguments : missing) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        run = reg(env, arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains("unable to find")) << run.err.toStdString();
    }
}

// The hooks run the tool at every line change: a store that is gone is said, by name,
// and no empty one is made in its place, reads and writes alike.
TEST(RegTool, AMissingStoreIsRefusedAndNoneIsMade)
{
    testing_support::TestEnvironment env;
    const QString file = platform::defaultRegistryFile();
    ASSERT_FALSE(QFileInfo::exists(file));
    const QStringList commands[] = {
        {"add", kLine, "/v", "Remote Connection", "/t", "REG_BINARY", "/d", "00000000", "/f"},
        {"add", "HKCU\\Software\\Dialtally"},
        {"query", kLine},
        {"delete", kLine, "/va", "/f"},
    };
    for (const QStringList& arguments : commands) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolRun run = reg(env, arguments);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(QStringLiteral("\"%1\" does not exist").arg(file))) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("dialtally-install")) << run.err.toStdString();
        EXPECT_FALSE(QFileInfo::exists(QFileInfo(file).absolutePath())) << "a folder was made";
    }
}

TEST(RegTool, BadArgumentsPrintTheUsageAndFail)
{
    testing_support::TestEnvironment env;
    const QStringList cases[] = {
        {},
        {"query"},
        {"frobnicate", kLine},
        {"add", kLine, "/v", "Remote Connection", "/t", "REG_BINARY", "/d", "xyz"},
    };
    for (const QStringList& arguments : cases) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        const ToolRun run = reg(env, arguments);
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_TRUE(run.err.contains("Usage:")) << run.err.toStdString();
    }
    EXPECT_FALSE(
        testing_support::valueExists(RootKey::LocalMachine, regkeys::kRemoteAccessService, regkeys::vRemoteConnection));
}

// The pppd hook's write of the line waits for another program's lock, however long a
// write of that program takes: longer than the programs themselves would wait.
TEST(RegTool, ALineChangeWaitsOutAnotherProgramsLock)
{
    testing_support::TestEnvironment env;
    env.setLine(true);
    QProcess hook;
    {
        testing_support::StoreLock lock(env.registryFile());
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", env.configHome());
        hook.setProcessEnvironment(environment);
        hook.start(QStringLiteral(DIALTALLY_BINARY_DIR "/tools/dialtally-reg"),
                   {"add", kLine, "/v", "Remote Connection", "/t", "REG_BINARY", "/d", "00000000", "/f"});
        ASSERT_TRUE(hook.waitForStarted(10000));
        hook.closeWriteChannel();
        // Past the programs' own wait of five seconds.
        QThread::msleep(platform::kDefaultBusyTimeoutMs + 1500);
    }
    ASSERT_TRUE(hook.waitForFinished(60000)) << "the tool still waits after the lock ended";
    EXPECT_EQ(hook.exitCode(), 0) << hook.readAllStandardError().toStdString();
    platform::Registry r;
    r.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(r.openKey(regkeys::kRemoteAccessService, false));
    EXPECT_EQ(r.readBinary(regkeys::vRemoteConnection), QByteArray(4, '\0'));
}

TEST(RegTool, AStoreThatCannotBeOpenedIsAnErrorNotANewStore)
{
    testing_support::TestEnvironment env;
    const QString file = platform::defaultRegistryFile();
    ASSERT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
    QFile garbage(file);
    ASSERT_TRUE(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();

    const ToolRun run = reg(env, {"add", kLine, "/v", "Remote Connection", "/t", "REG_BINARY", "/d", "01000000", "/f"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(file)) << run.err.toStdString();
    ASSERT_TRUE(garbage.open(QIODevice::ReadOnly));
    EXPECT_EQ(garbage.readAll(), QByteArray(4096, 'x'));
}

}  // namespace
