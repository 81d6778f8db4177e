// The desktop entries: the Exec quoting that a real launcher reads back as the very
// program, and the autostart entry that follows the "Run" value through every write of
// the store.
#include "DesktopEntry.h"

#include "Fakes.h"
#include "RegistryNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <functional>

using platform::Registry;
using platform::RootKey;
using testing_support::readStr;
using testing_support::TestEnvironment;
namespace rk = regkeys;

namespace {

QString q(const char* text)
{
    return QString::fromLatin1(text);
}

QString entryText(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? QString::fromUtf8(in.readAll()) : QStringLiteral("<no entry>");
}

QString execOf(const QString& file)
{
    return testing_support::desktopEntryField(file, QStringLiteral("Exec"));
}

TEST(DesktopEntry, TheExecValueRunsTheVeryProgramWhateverItsName)
{
    struct Case {
        const char* file;  // in a folder with a blank in its name
        const char* exec;  // the value, after the folder's quoted path
        bool launch;  // GLib looks %% up without undoing it, so that one is read only
    };
    const Case cases[] = {
        {"Dialtally", "Dialtally\"", true},
        {"it's", "it's\"", true},
        {"$HOME", "\\\\$HOME\"", true},
        {"say \"hi\"", "say \\\\\"hi\\\\\"\"", true},
        {"back\\slash", "back\\\\\\\\slash\"", true},
        {"tick`(x)|y&z;#~<>*?", "tick\\\\`(x)|y&z;#~<>*?\"", true},
        {"100%", "100%%\"", false},
    };
    QTemporaryDir root;
    const QString folder = root.filePath(QStringLiteral("My Programs"));
    ASSERT_TRUE(QDir().mkpath(folder));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const QString program = folder + QLatin1Char('/') + QString::fromUtf8(c.file);
        EXPECT_EQ(platform::desktopExecValue(program), QLatin1Char('"') + folder + QLatin1Char('/') + q(c.exec));

        const QString entry = root.filePath(QStringLiteral("case.desktop"));
        QString error;
        ASSERT_TRUE(platform::writeDesktopEntry(entry, platform::dialtallyEntry(program), &error))
            << error.toStdString();
        EXPECT_EQ(testing_support::desktopEntryProblems(entry), QString()) << entryText(entry).toStdString();
        if (!c.launch)
            continue;

        // The program named so reports the name it was started under.
        QFile script(program);
        ASSERT_TRUE(script.open(QIODevice::WriteOnly));
        script.write("#!/bin/sh\nprintf '%s' \"$0\" > \"$MARKER\"\n");
        script.close();
        script.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QString marker = root.filePath(QStringLiteral("marker"));
        QFile::remove(marker);
        QProcess launcher;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("MARKER"), marker);
        launcher.setProcessEnvironment(environment);
        launcher.start(QStringLiteral("gio"), {QStringLiteral("launch"), entry});
        ASSERT_TRUE(launcher.waitForFinished(30000));
        EXPECT_EQ(launcher.exitCode(), 0) << launcher.readAllStandardError().toStdString();
        for (int i = 0; i < 100 && !QFileInfo(marker).size(); ++i)
            QThread::msleep(50);
        QFile ran(marker);
        ASSERT_TRUE(ran.open(QIODevice::ReadOnly)) << "the program did not run";
        EXPECT_EQ(QString::fromUtf8(ran.readAll()), program);
        QFile::remove(program);
    }

    // The plain path needs no quotes at all.
    EXPECT_EQ(platform::desktopExecValue(QStringLiteral("/opt/dialtally/Dialtally")), "/opt/dialtally/Dialtally");
}

class AutostartTest : public ::testing::Test {
protected:
    QString entry() const { return env.configHome() + QStringLiteral("/autostart/dialtally.desktop"); }

    // One write in the manner of a unit's registry access.
    void write(RootKey root, const QString& key, const QString& name, const QString& value)
    {
        Registry r;
        r.setRootKey(root);
        ASSERT_TRUE(r.openKey(key, true));
        r.writeString(name, value);
    }

    TestEnvironment env;
};

TEST_F(AutostartTest, TheEntryFollowsTheRunValueThroughEveryChangeOfIt)
{
    const QString run = q(rk::kRun);
    const QString value = q(rk::vAutostart);
    EXPECT_EQ(platform::autostartEntryFile(), entry());

    write(RootKey::LocalMachine, run, value, QStringLiteral("/opt/dialtally/Dialtally"));
    EXPECT_EQ(execOf(entry()), "/opt/dialtally/Dialtally");
    EXPECT_EQ(testing_support::desktopEntryProblems(entry()), QString()) << entryText(entry()).toStdString();

    // Names fold case, as every registry name does.
    write(RootKey::LocalMachine, QStringLiteral("\\software\\microsoft\\windows\\currentversion\\run\\"),
          QStringLiteral("DIALTALLY 1.2"), QStringLiteral("/home/ann/dial tally/Dialtally"));
    EXPECT_EQ(execOf(entry()), "\"/home/ann/dial tally/Dialtally\"");

    // Other values, the same name under HKCU, and other keys leave the entry alone.
    write(RootKey::LocalMachine, run, QStringLiteral("Other program"), QString());
    write(RootKey::CurrentUser, run, value, QString());
    write(RootKey::LocalMachine, q(rk::kSoftware), value, QString());
    EXPECT_EQ(execOf(entry()), "\"/home/ann/dial tally/Dialtally\"");

    write(RootKey::LocalMachine, run, value, QString());
    EXPECT_FALSE(QFile::exists(entry()));
    EXPECT_TRUE(testing_support::valueExists(RootKey::LocalMachine, run, value));

    // The value's deletion, or of a key above it, removes the entry too.
    struct Removal {
        const char* what;
        std::function<void(Registry&)> remove;
    };
    const Removal removals[] = {
        {"value deleted",
         [&](Registry& r) {
             r.openKey(run, false);
             r.deleteValue(value);
         }},
        {"Run key deleted", [&](Registry& r) { r.deleteKey(run); }},
        {"key above deleted", [&](Registry& r) { r.deleteKey(QStringLiteral("\\Software\\Microsoft")); }},
        {"value made a number",
         [&](Registry& r) {
             r.openKey(run, false);
             r.writeInteger(value, 1);
         }},
    };
    for (const Removal& removal : removals) {
        SCOPED_TRACE(removal.what);
        write(RootKey::LocalMachine, run, value, QStringLiteral("/opt/dialtally/Dialtally"));
        ASSERT_TRUE(QFile::exists(entry()));
        Registry r;
        r.setRootKey(RootKey::LocalMachine);
        removal.remove(r);
        EXPECT_FALSE(QFile::exists(entry()));
    }
    // A deleted key elsewhere under HKLM keeps it.
    write(RootKey::LocalMachine, run, value, QStringLiteral("/opt/dialtally/Dialtally"));
    Registry r;
    r.setRootKey(RootKey::LocalMachine);
    r.deleteKey(QStringLiteral("\\Software\\Dialtally"));
    EXPECT_TRUE(QFile::exists(entry()));
}

TEST_F(AutostartTest, AnEntryThatCannotBeWrittenFailsTheWriteAndChangesNothing)
{
    const QString run = q(rk::kRun);
    const QString value = q(rk::vAutostart);
    write(RootKey::LocalMachine, run, value, QString());
    // A file where the autostart folder should be.
    QFile blocker(env.configHome() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();

    Registry r;
    r.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(r.openKey(run, false));
    try {
        r.writeString(value, QStringLiteral("/opt/dialtally/Dialtally"));
        ADD_FAILURE() << "the write succeeded";
    } catch (const platform::RegistryError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).contains(QLatin1String("autostart"))) << error.what();
    }
    EXPECT_EQ(readStr(RootKey::LocalMachine, run, value), QString());
}

}  // namespace
