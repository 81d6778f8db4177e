// The desktop entries: the Exec quoting that a real launcher reads back as the very
// program, and the autostart entry.
#include "platform/core/Autostart.h"
#include "platform/core/DesktopEntry.h"

#include "support/Fakes.h"
#include "common/RegistryNames.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

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

    TestEnvironment env;
};

TEST_F(AutostartTest, TheEntryRunsTheProgramGivenAndGoesWithAnEmptyOne)
{
    EXPECT_EQ(platform::autostartEntryFile(), entry());
    platform::setAutostart(QString());  // none yet: nothing to remove
    EXPECT_FALSE(QFile::exists(entry()));

    platform::setAutostart(QStringLiteral("/opt/dialtally/Dialtally"));
    EXPECT_EQ(execOf(entry()), "/opt/dialtally/Dialtally");
    EXPECT_EQ(testing_support::desktopEntryProblems(entry()), QString()) << entryText(entry()).toStdString();

    // A program that moved replaces the entry.
    platform::setAutostart(QStringLiteral("/home/ann/dial tally/Dialtally"));
    EXPECT_EQ(execOf(entry()), "\"/home/ann/dial tally/Dialtally\"");

    platform::setAutostart(QString());
    EXPECT_FALSE(QFile::exists(entry()));
}

TEST_F(AutostartTest, AnEntryThatCannotBeWrittenIsAnError)
{
    // A file where the autostart folder should be.
    QFile blocker(env.configHome() + QStringLiteral("/autostart"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    try {
        platform::setAutostart(QStringLiteral("/opt/dialtally/Dialtally"));
        ADD_FAILURE() << "the write succeeded";
    } catch (const platform::AutostartError& error) {
        EXPECT_TRUE(QString::fromUtf8(error.what()).startsWith(QLatin1String("Cannot write the autostart entry: ")))
            << error.what();
    }
    EXPECT_FALSE(QFile::exists(entry()));
}

}  // namespace
