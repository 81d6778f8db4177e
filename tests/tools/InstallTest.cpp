#include "tools/Install.h"

#include "support/Fakes.h"
#include "platform/gui/Help.h"
#include "support/HelpDocument.h"
#include "common/RegistryNames.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <optional>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

using platform::Registry;
using platform::RootKey;
using testing_support::readInt;
using testing_support::readStr;
using testing_support::valueExists;
using testing_support::writeInt;
using testing_support::writeStr;

namespace {

void touch(const QString& path, const QByteArray& content = "x")
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(content);
}

QByteArray contentOf(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray remoteConnection()
{
    Registry r;
    r.setRootKey(RootKey::LocalMachine);
    return r.openKey(regkeys::kRemoteAccessService, false) ? r.readBinary(regkeys::vRemoteConnection) : "<none>";
}

QStringList dialUpEntries()
{
    Registry r;
    r.setRootKey(RootKey::CurrentUser);
    return r.openKey(regkeys::kRemoteAccessAddresses, false) ? r.getValueNames() : QStringList();
}

class InstallTest : public ::testing::Test {
protected:
    tools::InstallOptions options(const QString& prefix)
    {
        tools::InstallOptions o;
        o.prefix = prefix;
        o.buildDir = build.path();
        o.sourceDir = source.path();
        o.peersDir = peers.path();
        return o;
    }

    testing_support::TestEnvironment env;
    QTemporaryDir build;
    QTemporaryDir source;
    QTemporaryDir peers;
    QTemporaryDir target;
};

TEST_F(InstallTest, RunAgainItMovesTheProgramPathAndKeepsCountersAndSettings)
{
    touch(build.filePath("dialtally/Dialtally"), "program v1");
    touch(build.filePath("tools/dialtally-reg"), "tool v1");
    touch(source.filePath("doc/Dialtally Help.html"), "<html>help</html>");
    touch(peers.filePath("provider"));
    touch(peers.filePath("work"));
    const QString first = target.filePath("first");

    const QStringList notes = tools::install(options(first));
    EXPECT_TRUE(notes.join('\n').contains("Postpeek is not built yet")) << notes.join('\n').toStdString();

    EXPECT_EQ(contentOf(first + "/Dialtally"), "program v1");
    EXPECT_FALSE(QFile::exists(first + "/Postpeek"));
    EXPECT_EQ(contentOf(first + "/dialtally-reg"), "tool v1");
    EXPECT_EQ(contentOf(first + "/Dialtally Help.html"), "<html>help</html>");
    EXPECT_TRUE(QFileInfo(first + "/Reports").isDir());
    EXPECT_EQ(contentOf(first + "/media/signal.wav"), tools::alarmWave());

    struct Expected {
        const char* key;
        const char* name;
        std::int32_t value;
    };
    const Expected installed[] = {
        {regkeys::kSoftware, regkeys::vFirstTime, 1}, {regkeys::kSoftware, regkeys::vBug, 0},
        {regkeys::kSoftware, regkeys::vAntiCrash, 1}, {regkeys::kSoftware, regkeys::vStart, 0},
        {regkeys::kCounterAll, regkeys::vReset, 2},   {regkeys::kCounterAll, regkeys::vReset14, 14},
        {regkeys::kCounterAll, regkeys::vReport, 1},  {regkeys::kCounterCurrent, regkeys::vBackup, 0},
        {regkeys::kUsers, regkeys::vCrash, 0},
    };
    for (const Expected& e : installed) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(readInt(RootKey::LocalMachine, e.key, e.name), e.value);
    }
    EXPECT_EQ(readStr(RootKey::LocalMachine, regkeys::kSoftware, regkeys::vProgramPath), first);
    EXPECT_EQ(remoteConnection(), QByteArray(4, '\0'));
    EXPECT_EQ(readStr(RootKey::CurrentUser, regkeys::kRemoteAccess, regkeys::vDefault), "provider");

    // The programs and the user change things between the runs.
    writeInt(RootKey::LocalMachine, regkeys::kSoftware, regkeys::vFirstTime, 0);
    writeInt(RootKey::LocalMachine, regkeys::kSoftware, regkeys::vBug, 2);
    writeInt(RootKey::LocalMachine, regkeys::kUsers, regkeys::vCrash, 3);
    writeInt(RootKey::LocalMachine, regkeys::kCounterAll, regkeys::vReset, 4);
    writeStr(RootKey::CurrentUser, regkeys::kRemoteAccess, regkeys::vDefault, "work");
    writeStr(RootKey::CurrentUser, regkeys::kRemoteAccessAddresses, "By hand", "");
    writeStr(RootKey::CurrentUser, regkeys::kSoftware, regkeys::vUserName, "ann");
    env.setLine(true);
    touch(first + "/Reports/2000-1-31.rpt", "report");
    touch(build.filePath("dialtally/Dialtally"), "program v2");
    touch(peers.filePath("new"));

    const QString second = target.filePath("second");
    tools::install(options(second));
    EXPECT_EQ(readStr(RootKey::LocalMachine, regkeys::kSoftware, regkeys::vProgramPath), second);
    EXPECT_EQ(contentOf(second + "/Dialtally"), "program v2");
    EXPECT_EQ(readInt(RootKey::LocalMachine, regkeys::kSoftware, regkeys::vFirstTime), 0);
    EXPECT_EQ(readInt(RootKey::LocalMachine, regkeys::kSoftware, regkeys::vBug), 2);
    EXPECT_EQ(readInt(RootKey::LocalMachine, regkeys::kUsers, regkeys::vCrash), 3);
    EXPECT_EQ(readInt(RootKey::LocalMachine, regkeys::kCounterAll, regkeys::vReset), 4);
    EXPECT_EQ(readInt(RootKey::LocalMachine, regkeys::kCounterAll, regkeys::vReset14), 14);
    EXPECT_EQ(readStr(RootKey::CurrentUser, regkeys::kRemoteAccess, regkeys::vDefault), "work");
    EXPECT_EQ(readStr(RootKey::CurrentUser, regkeys::kSoftware, regkeys::vUserName), "ann");
    EXPECT_EQ(remoteConnection(), QByteArray("\x01\x00\x00\x00", 4));
    EXPECT_EQ(dialUpEntries(), QStringList({"provider", "work", "By hand", "new"}));
    EXPECT_EQ(contentOf(first + "/Reports/2000-1-31.rpt"), "report");

    // The same folder again: the programs are replaced in place.
    touch(build.filePath("dialtally/Dialtally"), "program v3");
    tools::install(options(second));
    EXPECT_EQ(contentOf(second + "/Dialtally"), "program v3");
    EXPECT_FALSE(QFile::exists(second + "/Dialtally.installing"));
}

// Under any umask, and over what an earlier installation under umask 000 left, the
// installation makes nothing that others may write: the programs run for everyone,
// the Reports folder is its owner's alone, the menu entries are read by everyone.
TEST_F(InstallTest, UnderUmask000NothingIsLeftForOthersToWrite)
{
    touch(build.filePath("dialtally/Dialtally"), "program");
    touch(build.filePath("postpeek/Postpeek"), "program");
    touch(build.filePath("tools/dialtally-reg"), "tool");
    touch(source.filePath("doc/Dialtally Help.html"),
          "<html><body><section id=\"a\"><h2>A</h2></section></body></html>");
    for (const char* built : {"dialtally/Dialtally", "postpeek/Postpeek", "tools/dialtally-reg"})
        QFile::setPermissions(build.filePath(built), QFileDevice::Permissions(0x7777));
    const mode_t umaskBefore = ::umask(0);
    const QString folder = target.filePath("program");
    const auto modeOf = [](const QString& path) {
        struct stat info { };
        ::lstat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 07777;
    };
    const auto openToAll = [](const QString& path) {
        struct stat info { };
        ::stat(QFile::encodeName(path).constData(), &info);
        ::chmod(QFile::encodeName(path).constData(), S_ISDIR(info.st_mode) ? 0777 : 0666);
    };
    // What the installation makes: the program folder's tree, the menu entries and the
    // icons with their folders.
    const auto everything = [&] {
        QStringList paths{folder};
        for (const QString& top : {folder, env.dataHome()}) {
            QDirIterator it(top, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                if (top == folder || path.endsWith(".desktop") || path.endsWith(".png") || path.endsWith("/apps"))
                    paths << path;
            }
        }
        return paths;
    };
    for (int run = 0; run < 2; ++run) {
        SCOPED_TRACE(run == 0 ? "first installation" : "over one left open to all");
        tools::install(options(folder));
        for (const QString& path : everything())
            EXPECT_EQ(modeOf(path) & 022, 0u) << path.toStdString() << " " << std::oct << modeOf(path);
        if (run == 0) {
            // The folders made on the way too.
            QDirIterator it(env.dataHome(), QDir::Dirs | QDir::NoDotAndDotDot, QDirIterator::Subdirectories);
            while (it.hasNext()) {
                const QString path = it.next();
                EXPECT_EQ(modeOf(path) & 022, 0u) << path.toStdString();
            }
        }
        EXPECT_EQ(modeOf(folder), 0755u);
        EXPECT_EQ(modeOf(folder + "/Reports"), 0700u);
        EXPECT_EQ(modeOf(folder + "/Dialtally"), 0755u);
        EXPECT_EQ(modeOf(folder + "/dialtally-reg"), 0755u);
        EXPECT_EQ(modeOf(folder + "/media/signal.wav"), 0644u);
        EXPECT_EQ(modeOf(env.dataHome() + "/applications/dialtally.desktop"), 0644u);
        EXPECT_EQ(modeOf(env.dataHome() + "/icons/hicolor/48x48/apps/postpeek.png"), 0644u);
        for (const QString& path : everything())
            openToAll(path);
    }
    ::umask(umaskBefore);
}

TEST_F(InstallTest, MenuEntriesAndIconsForTheInstalledProgramsValidateAndFollowTheFolder)
{
    touch(build.filePath("dialtally/Dialtally"));
    touch(build.filePath("postpeek/Postpeek"));
    const QString applications = env.dataHome() + "/applications";
    auto field = testing_support::desktopEntryField;

    const QString first = target.filePath("first");
    tools::install(options(first));
    struct Program {
        const char* file;
        const char* name;
        const char* icon;
    };
    for (const Program& p :
         {Program{"Dialtally", "Dialtally", "dialtally"}, Program{"Postpeek", "Postpeek", "postpeek"}}) {
        SCOPED_TRACE(p.file);
        const QString entry = applications + '/' + p.icon + ".desktop";
        EXPECT_EQ(testing_support::desktopEntryProblems(entry), QString()) << contentOf(entry).toStdString();
        EXPECT_EQ(field(entry, "Name"), p.name);
        EXPECT_EQ(field(entry, "Exec"), first + '/' + p.file);
        EXPECT_EQ(field(entry, "Icon"), p.icon);
        EXPECT_FALSE(field(entry, "Comment").startsWith("<no"));
        EXPECT_TRUE(field(entry, "Categories").startsWith("Network;"));
        for (int size : tools::kIconSizes) {
            const QString icon =
                QString("%1/icons/hicolor/%2x%2/apps/%3.png").arg(env.dataHome()).arg(size).arg(p.icon);
            QImage image;
            ASSERT_TRUE(image.load(icon, "PNG")) << icon.toStdString();
            EXPECT_EQ(image.size(), QSize(size, size));
            // A picture, not an empty square.
            EXPECT_GT(image.pixelColor(size / 2, size * 3 / 4).alpha(), 0) << size;
        }
    }

    // Installed again into a folder with a blank, and without Postpeek: the entry
    // follows the folder, and no entry offers a program that is not there.
    QFile::remove(build.filePath("postpeek/Postpeek"));
    const QString second = target.filePath("second home");
    tools::install(options(second));
    const QString dialtally = applications + "/dialtally.desktop";
    EXPECT_EQ(field(dialtally, "Exec"), '"' + second + "/Dialtally\"");
    EXPECT_EQ(testing_support::desktopEntryProblems(dialtally), QString());
    EXPECT_FALSE(QFile::exists(applications + "/postpeek.desktop"));
}

TEST_F(InstallTest, DialUpEntriesComeFromThePeersAndNeverReplaceTheUsers)
{
    struct Case {
        const char* what;
        QStringList peerFiles;
        QStringList handEntries;  // already under Addresses, data "mine"
        const char* defaultBefore;  // nullptr: missing
        QStringList entriesAfter;
        const char* defaultAfter;  // nullptr: missing
    };
    const Case cases[] = {
        {"provider becomes the default", {"provider", "isp2"}, {}, nullptr, {"isp2", "provider"}, "provider"},
        {"an empty default is filled", {"provider"}, {}, "", {"provider"}, "provider"},
        {"a chosen default stays", {"provider"}, {}, "isp2", {"provider"}, "isp2"},
        {"no provider peer, no default", {"isp2"}, {}, nullptr, {"isp2"}, nullptr},
        {"hand entries stay, data too",
         {"provider", "isp2~"},
         {"Provider", "Office"},
         nullptr,
         {"Provider", "Office"},
         "provider"},
        {"no peers at all", {}, {"Office"}, nullptr, {"Office"}, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QTemporaryDir peerDir;
        for (const QString& peer : c.peerFiles)
            touch(peerDir.filePath(peer));
        Registry r;
        r.setRootKey(RootKey::CurrentUser);
        r.deleteKey(regkeys::kRemoteAccess);
        for (const QString& entry : c.handEntries)
            writeStr(RootKey::CurrentUser, regkeys::kRemoteAccessAddresses, entry, "mine");
        if (c.defaultBefore)
            writeStr(RootKey::CurrentUser, regkeys::kRemoteAccess, regkeys::vDefault, c.defaultBefore);

        tools::addDialUpEntries(r, peerDir.path());
        EXPECT_EQ(dialUpEntries(), c.entriesAfter);
        for (const QString& entry : c.handEntries)
            EXPECT_EQ(readStr(RootKey::CurrentUser, regkeys::kRemoteAccessAddresses, entry), "mine");
        EXPECT_EQ(valueExists(RootKey::CurrentUser, regkeys::kRemoteAccess, regkeys::vDefault),
                  c.defaultAfter != nullptr);
        if (c.defaultAfter) {
            EXPECT_EQ(readStr(RootKey::CurrentUser, regkeys::kRemoteAccess, regkeys::vDefault), c.defaultAfter);
        }
    }
    // A peers folder that does not exist adds nothing and fails nothing.
    Registry r;
    EXPECT_TRUE(tools::addDialUpEntries(r, peers.filePath("missing")).isEmpty());
}

TEST_F(InstallTest, EverySectionOfTheHelpGetsAPageOfItsOwnAndPagesOfGoneSectionsGo)
{
    touch(source.filePath("doc/Dialtally Help.html"),
          "<!DOCTYPE html>\n<html><head><title>Dialtally Help</title><style>p{}</style></head>\n<body>\n"
          "<h1>Dialtally Help</h1><a href=\"#context-9\">Preferences</a>\n"
          "<section id=\"context-9\">\n<h2>Preferences</h2>\n<p>See <a href=\"#context-10\">Beep</a>"
          " and <a href=\"#files\">files</a>.</p>\n</section>\n"
          "<section id=\"context-10\">\n<h2>Beep</h2>\n<p>Beeps.</p>\n</section>\n"
          "<h2 id=\"files\">Files</h2></body></html>\n");
    const QString folder = target.filePath("p");
    tools::install(options(folder));

    const QString helpFile = folder + "/Dialtally Help.hlp";
    const QByteArray preferences = contentOf(platform::helpTopicPageFor(helpFile, "context-9"));
    EXPECT_EQ(testing_support::firstHeadingOf(preferences), "Preferences");
    EXPECT_TRUE(preferences.contains("<title>Dialtally Help: Preferences</title>")) << preferences.constData();
    EXPECT_TRUE(preferences.contains("<style>p{}</style>"));
    EXPECT_TRUE(preferences.contains("href=\"context-10.html\""));
    EXPECT_TRUE(preferences.contains("href=\"../Dialtally%20Help.html#files\""));
    EXPECT_TRUE(preferences.contains("<a href=\"../Dialtally%20Help.html\">"));
    EXPECT_FALSE(preferences.contains("Beeps."));
    EXPECT_EQ(testing_support::firstHeadingOf(contentOf(platform::helpTopicPageFor(helpFile, "context-10"))), "Beep");
    EXPECT_EQ(QDir(folder + "/Dialtally Help").entryList(QDir::Files),
              (QStringList{"context-10.html", "context-9.html"}));

    touch(source.filePath("doc/Dialtally Help.html"),
          "<html><head><title>Dialtally Help</title></head><body>"
          "<section id=\"context-10\"><h2>Beep</h2></section></body></html>");
    tools::install(options(folder));
    EXPECT_EQ(QDir(folder + "/Dialtally Help").entryList(QDir::Files), QStringList{"context-10.html"});
}

// The pages the programs open are the sections of the document, heading first.
TEST_F(InstallTest, TheShippedHelpHasAPageForEveryContextAndTheMailCheckersTopic)
{
    const QString folder = target.filePath("p");
    tools::InstallOptions o = options(folder);
    o.sourceDir = QStringLiteral(DIALTALLY_SOURCE_DIR);
    tools::install(o);
    const QString helpFile = folder + "/Dialtally Help.hlp";
    QStringList topics{"EMail_checker"};
    for (int context : {5, 9, 10, 11, 12, 13, 15, 17, 20, 21})
        topics << platform::helpContextTopic(context);
    for (const QString& topic : topics) {
        SCOPED_TRACE(topic.toStdString());
        const QString heading = testing_support::helpSectionHeading(topic);
        EXPECT_FALSE(heading.isEmpty());
        EXPECT_EQ(testing_support::firstHeadingOf(contentOf(platform::helpTopicPageFor(helpFile, topic))), heading);
    }
}

TEST(InstallWave, TheAlarmIsAPlayableTwoToneWave)
{
    const QByteArray wave = tools::alarmWave();
    ASSERT_GT(wave.size(), 44);
    auto u16 = [&](int at) { return quint16(quint8(wave[at]) | quint8(wave[at + 1]) << 8); };
    auto u32 = [&](int at) { return quint32(u16(at)) | quint32(u16(at + 2)) << 16; };
    EXPECT_EQ(wave.left(4), "RIFF");
    EXPECT_EQ(u32(4), quint32(wave.size() - 8));
    EXPECT_EQ(wave.mid(8, 8), "WAVEfmt ");
    EXPECT_EQ(u16(20), 1);  // PCM
    EXPECT_EQ(u16(22), 1);  // mono
    const quint32 rate = u32(24);
    EXPECT_EQ(u32(28), rate * 2);
    EXPECT_EQ(u16(34), 16);
    EXPECT_EQ(wave.mid(36, 4), "data");
    ASSERT_EQ(u32(40), quint32(wave.size() - 44));

    // Two alternating pitches: count the rising zero crossings in the first two tenths
    // of a second.
    const int samples = (wave.size() - 44) / 2;
    auto sample = [&](int i) { return qint16(u16(44 + 2 * i)); };
    auto crossings = [&](int from, int count) {
        int n = 0;
        for (int i = from + 1; i < from + count; ++i)
            n += sample(i - 1) < 0 && sample(i) >= 0;
        return n;
    };
    const int tenth = int(rate / 10);
    EXPECT_GT(samples, int(rate) / 2);  // long enough to hear
    const int high = crossings(0, tenth);
    const int low = crossings(int(rate * 12 / 100), tenth);
    EXPECT_NEAR(high, 88, 3);
    EXPECT_NEAR(low, 66, 3);
}

TEST(InstallHooks, TheHooksReportTheLineToTheInstallingUsersStore)
{
    testing_support::TestEnvironment env;
    QTemporaryDir hooks;
    const QString tool = QStringLiteral(DIALTALLY_BINARY_DIR "/tools/dialtally-reg");
    const QString user = platform::loginUserName();
    const QStringList written = tools::writePppHooks(hooks.path(), user, tool);
    ASSERT_EQ(written, QStringList({hooks.filePath("ip-up.d/dialtally"), hooks.filePath("ip-down.d/dialtally")}));

    for (const QString& script : written) {
        SCOPED_TRACE(script.toStdString());
        const QString text = QString::fromUtf8(contentOf(script));
        EXPECT_FALSE(text.contains("@DIALTALLY")) << text.toStdString();
        EXPECT_TRUE(text.contains("reg=" + tools::shellQuoted(tool)));
        EXPECT_TRUE(QFileInfo(script).isExecutable());
    }
    platform::processStore();  // made as the installation makes it
    auto runHook = [&](const QString& script) {
        QProcess process;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("XDG_CONFIG_HOME", env.configHome());
        process.setProcessEnvironment(environment);
        process.start(script, {"ppp0", "/dev/ttyS0", "115200"});
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    };
    runHook(written[0]);
    EXPECT_EQ(remoteConnection(), QByteArray("\x01\x00\x00\x00", 4));
    runHook(written[1]);
    EXPECT_EQ(remoteConnection(), QByteArray(4, '\0'));

    EXPECT_THROW(tools::writePppHooks(hooks.path(), "no-such-user-here", tool), tools::InstallError);
    EXPECT_THROW(tools::writePppHooks(hooks.path(), user, hooks.filePath("missing-tool")), tools::InstallError);
}

// pppd runs the hooks as root with next to no environment; they must reach the named
// user's store through the installed tool, and an installation that user cannot
// reach must be refused when the hooks are written, not at the next connection.
TEST(InstallHooks, TheHooksRunAsTheNamedUserOrAreRefused)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "switching to another user needs root";
    const passwd* nobody = getpwnam("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user \"nobody\"";
    const uid_t uid = nobody->pw_uid;
    testing_support::TestEnvironment env;
    const QString built = QStringLiteral(DIALTALLY_BINARY_DIR "/tools/dialtally-reg");
    auto installTool = [&](const QString& folder) {
        EXPECT_TRUE(QDir().mkpath(folder));
        const QString tool = folder + "/dialtally-reg";
        EXPECT_TRUE(QFile::copy(built, tool));
        return tool;
    };

    // A program folder under root's own 0700 folder, as in a repository under /root.
    QTemporaryDir closed;
    const QString closedTool = installTool(closed.filePath("program"));
    QTemporaryDir hooks;
    EXPECT_EQ(tools::userCanRun("nobody", closedTool), std::optional<bool>(false));
    try {
        tools::writePppHooks(hooks.path(), "nobody", closedTool);
        ADD_FAILURE() << "hooks written for a tool nobody cannot run";
    } catch (const tools::InstallError& e) {
        EXPECT_TRUE(QString(e.what()).contains("\"nobody\" cannot run \"" + closedTool + "\"")) << e.what();
    }
    EXPECT_FALSE(QFile::exists(hooks.filePath("ip-up.d/dialtally")));

    QTemporaryDir open;
    ASSERT_TRUE(QFile::setPermissions(open.path(), QFile::permissions(open.path()) | QFileDevice::ExeOther
                                                       | QFileDevice::ReadOther));
    const QString tool = installTool(open.filePath("program"));
    EXPECT_EQ(tools::userCanRun("nobody", tool), std::optional<bool>(true));
    const QStringList written = tools::writePppHooks(hooks.path(), "nobody", tool);
    ASSERT_EQ(written.size(), 2);

    // nobody's store, in a folder of nobody's own, as nobody's installation made it.
    const QString store = open.filePath("config");
    platform::openRegistryStore(store + "/dialtally/registry.db");
    for (const QString& path : {store, store + "/dialtally", store + "/dialtally/registry.db"})
        ASSERT_EQ(chown(QFile::encodeName(path).constData(), uid, nobody->pw_gid), 0) << path.toStdString();
    auto runHook = [&](const QString& script) {
        QProcess process;
        QProcessEnvironment environment;
        environment.insert("PATH", "/usr/sbin:/usr/bin:/sbin:/bin");
        environment.insert("XDG_CONFIG_HOME", store);
        process.setProcessEnvironment(environment);
        process.start(script, {"ppp0", "/dev/ttyS0", "115200"});
        EXPECT_TRUE(process.waitForFinished(30000));
        EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    };
    auto lineInStore = [&] {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(store));
        const QByteArray value = remoteConnection();
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(env.configHome()));
        return value;
    };
    runHook(written[0]);
    EXPECT_EQ(QFileInfo(store + "/dialtally/registry.db").ownerId(), uid);
    EXPECT_EQ(lineInStore(), QByteArray("\x01\x00\x00\x00", 4));
    runHook(written[1]);
    EXPECT_EQ(lineInStore(), QByteArray(4, '\0'));
}

// pppd runs the hooks as root: a tool that anyone but root (and, for another user's
// hooks, that user) could change would let them run a program of their own as root.
// Such a tool is refused and no hook is written; the message names what is open.
TEST(InstallHooks, NoOneButRootAndTheUserCanChangeWhatTheHooksRun)
{
    if (geteuid() != 0)
        GTEST_SKIP() << "files of another user need root";
    const passwd* nobody = getpwnam("nobody");
    if (!nobody)
        GTEST_SKIP() << "no user \"nobody\"";
    // Copied: the next look-up of a user overwrites the entry.
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    const QString built = QStringLiteral(DIALTALLY_BINARY_DIR "/tools/dialtally-reg");
    const auto own = [&](const QString& path) {
        EXPECT_EQ(lchown(QFile::encodeName(path).constData(), uid, gid), 0) << path.toStdString();
    };
    const auto mode = [](const QString& path, mode_t m) {
        EXPECT_EQ(chmod(QFile::encodeName(path).constData(), m), 0) << path.toStdString();
    };
    struct Case {
        const char* name;
        const char* user;
        std::function<void(const QString& folder, const QString& tool)> arrange;
        const char* open;  // what the message names; empty: accepted
    };
    const Case cases[] = {
        {"root's hooks, a tool of another user", "root", [&](const QString&, const QString& tool) { own(tool); },
         "dialtally-reg\" belongs to the user \"nobody\""},
        {"root's hooks, a folder of another user", "root", [&](const QString& folder, const QString&) { own(folder); },
         "program\" belongs to the user \"nobody\""},
        {"root's hooks, a 0777 tool", "root", [&](const QString&, const QString& tool) { mode(tool, 0777); },
         "dialtally-reg\" can be written by its group or by any user"},
        {"root's hooks, a group-writable folder", "root",
         [&](const QString& folder, const QString&) { mode(folder, 0775); },
         "program\" can be written by its group or by any user"},
        {"root's hooks through a link to a tool of another user", "root",
         [&](const QString& folder, const QString& tool) {
             const QString real = folder + "-real";
             EXPECT_TRUE(QDir().mkpath(real));
             EXPECT_TRUE(QFile::rename(tool, real + "/dialtally-reg"));
             own(real + "/dialtally-reg");
             EXPECT_TRUE(QFile::link(real + "/dialtally-reg", tool));
         },
         "belongs to the user \"nobody\""},
        {"nobody's hooks, a 0777 tool", "nobody", [&](const QString&, const QString& tool) { mode(tool, 0777); },
         "can be written by its group or by any user"},
        {"root's hooks, root's own tool", "root", {}, ""},
        {"nobody's hooks, nobody's own tool", "nobody", [&](const QString&, const QString& tool) { own(tool); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QTemporaryDir top;
        mode(top.path(), 0755);
        const QString folder = top.filePath("program");
        ASSERT_TRUE(QDir().mkpath(folder));
        mode(folder, 0755);
        const QString tool = folder + "/dialtally-reg";
        ASSERT_TRUE(QFile::copy(built, tool));
        mode(tool, 0755);
        if (c.arrange)
            c.arrange(folder, tool);
        QTemporaryDir hooks;
        QString refusal;
        try {
            tools::writePppHooks(hooks.path(), c.user, tool);
        } catch (const tools::InstallError& e) {
            refusal = QString::fromUtf8(e.what());
        }
        if (*c.open == '\0') {
            EXPECT_TRUE(refusal.isEmpty()) << refusal.toStdString();
            EXPECT_TRUE(QFile::exists(hooks.filePath("ip-up.d/dialtally")));
            continue;
        }
        EXPECT_TRUE(refusal.contains(QString::fromUtf8(c.open))) << refusal.toStdString();
        EXPECT_TRUE(refusal.startsWith("The pppd hooks would run \"" + tool + "\" as ")) << refusal.toStdString();
        EXPECT_FALSE(QFile::exists(hooks.filePath("ip-up.d/dialtally")));
        EXPECT_FALSE(QFile::exists(hooks.filePath("ip-down.d/dialtally")));
    }

    // The command as root types it, with another user's program folder.
    QTemporaryDir top;
    mode(top.path(), 0755);
    const QString alices = top.filePath("alice");
    ASSERT_TRUE(QDir().mkpath(alices));
    ASSERT_TRUE(QFile::copy(built, alices + "/dialtally-reg"));
    own(alices);
    own(alices + "/dialtally-reg");
    QTemporaryDir hooks;
    QProcess install;
    install.start(QStringLiteral(DIALTALLY_BINARY_DIR "/tools/dialtally-install"),
                  {"--ppp-hooks", hooks.path(), "--user", "root", "--prefix", alices});
    ASSERT_TRUE(install.waitForFinished(30000));
    EXPECT_EQ(install.exitCode(), 1);
    EXPECT_TRUE(install.readAllStandardError().contains("belongs to the user \"nobody\""));
    EXPECT_TRUE(QDir(hooks.path()).isEmpty());
}

TEST(InstallHooks, ShellQuotingKeepsEveryWordOneWord)
{
    const std::pair<const char*, const char*> cases[] = {
        {"ann", "ann"},
        {"/opt/dialtally/dialtally-reg", "/opt/dialtally/dialtally-reg"},
        {"/home/ann/my tools/dialtally-reg", "'/home/ann/my tools/dialtally-reg'"},
        {"it's", "'it'\\''s'"},
        {"$(rm -rf ~)", "'$(rm -rf ~)'"},
        {"", "''"},
    };
    for (const auto& [word, quoted] : cases) {
        EXPECT_EQ(tools::shellQuoted(word), quoted);
        QProcess shell;
        shell.start("sh", {"-c", QStringLiteral("printf %s ") + tools::shellQuoted(word)});
        ASSERT_TRUE(shell.waitForFinished(10000));
        EXPECT_EQ(shell.readAllStandardOutput(), QByteArray(word));
    }
}

TEST(InstallArguments, TheCommandLineReadsAsDocumented)
{
    QString error;
    auto plain = tools::parseInstallArguments({"--prefix", "/opt/dt", "--build-dir", "/b", "--peers", "/p"}, error);
    ASSERT_TRUE(plain) << error.toStdString();
    EXPECT_EQ(plain->options.prefix, "/opt/dt");
    EXPECT_EQ(plain->options.buildDir, "/b");
    EXPECT_EQ(plain->options.peersDir, "/p");
    EXPECT_FALSE(plain->pppHooks);

    auto hooks = tools::parseInstallArguments({"--ppp-hooks", "--user", "ann"}, error);
    ASSERT_TRUE(hooks);
    EXPECT_TRUE(hooks->pppHooks);
    EXPECT_EQ(hooks->pppHooksDir, "/etc/ppp");
    EXPECT_EQ(hooks->user, "ann");
    auto hooksDir = tools::parseInstallArguments({"--ppp-hooks", "/tmp/ppp"}, error);
    ASSERT_TRUE(hooksDir);
    EXPECT_EQ(hooksDir->pppHooksDir, "/tmp/ppp");
    auto hooksPrefix = tools::parseInstallArguments({"--ppp-hooks", "--user", "ann", "--prefix", "/opt/dt"}, error);
    ASSERT_TRUE(hooksPrefix) << error.toStdString();
    EXPECT_EQ(hooksPrefix->options.prefix, "/opt/dt");

    const QStringList bad[] = {
        {"--prefix"}, {"--prefix", "--build-dir", "/b"},    {"--bogus"},
        {"/opt/dt"},  {"--ppp-hooks", "--build-dir", "/x"}, {"--user", "ann"},
    };
    for (const QStringList& arguments : bad) {
        SCOPED_TRACE(arguments.join(' ').toStdString());
        EXPECT_FALSE(tools::parseInstallArguments(arguments, error));
    }

    // The built program: usage on stderr and a non-zero exit for bad arguments.
    QProcess process;
    process.start(QStringLiteral(DIALTALLY_BINARY_DIR "/tools/dialtally-install"), {"--bogus"});
    ASSERT_TRUE(process.waitForFinished(30000));
    EXPECT_NE(process.exitCode(), 0);
    EXPECT_TRUE(process.readAllStandardError().contains("Usage:"));
}

}  // namespace
