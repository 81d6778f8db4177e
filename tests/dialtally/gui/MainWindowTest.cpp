// The main window unit: start-up, defaults, recovery, counter reset, the tick with its
// state machine, counting, charging and the tray.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"
#include "support/core/SessionProbe.h"

#include "common/RegistryNames.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/gui/AboutBox.h"
#include "dialtally/gui/MainWindow.h"
#include "dialtally/gui/CounterDialog.h"
#include "support/StartedProgram.h"
#include "dialtally/core/Formats.h"
#include "dialtally/core/History.h"
#include "support/HistoryRecords.h"
#include "platform/gui/WindowPlacement.h"

#include <QAction>
#include <QApplication>
#include <QLayout>
#include <QMenu>
#include <QBuffer>
#include <QCheckBox>
#include <QPushButton>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QTimer>
#include <QToolButton>
#include <QtEndian>

#include <gtest/gtest.h>

#include <unistd.h>

#include <climits>
#include <iostream>
#include <optional>
#include <tuple>

using namespace testing_support;

namespace {

QStringList valueNames(RootKey root, const char* key)
{
    platform::Registry r;
    r.setRootKey(root);
    if (!r.openKey(q(key), false))
        return {QStringLiteral("<no key>")};
    return r.getValueNames();
}

QStringList subkeyNames(RootKey root, const char* key)
{
    platform::Registry r;
    r.setRootKey(root);
    if (!r.openKey(q(key), false))
        return {QStringLiteral("<no key>")};
    return r.getKeyNames();
}

bool keyExists(RootKey root, const QString& key)
{
    platform::Registry r;
    r.setRootKey(root);
    return r.keyExists(key);
}

void writeSlot(const QString& provider, const QString& day, const QString& profile, int start, int end, int dayCost,
               int nightCost, int ocp = 0)
{
    writeTariffSlot(testing_support::tariffSlotKey(provider, day), profile, start, end, dayCost, nightCost, ocp);
}

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setSplashRunner([this](SplashWindow& splash) {
            ++splashes;
            splash.closeTimerElapsed();
        });
    }
    void TearDown() override
    {
        endProgram();
        setSplashRunner({});
    }

    // One start of Dialtally up to its message loop.
    void start()
    {
        endProgram();
        startProgram();
        ASSERT_NE(mainWindow, nullptr);
    }

    // An installed program that user `user` has started once; its messages forgotten.
    void installedFor(const QString& user)
    {
        env.install(1);
        env.setWindowsUser(user);
        start();
        endProgram();
        env.boxes.clear();
        env.help.calls.clear();
        splashes = 0;
    }

    // One tick, then the event loop's turn that shows what the tick raised.
    void tick()
    {
        mainWindow->session().tick();
        showRaisedMessages();
    }

    std::vector<history::HistoryRecord> records() const { return history::readAll(env.programFolder()); }

    TestEnvironment env;
    int splashes = 0;
};

// ---- defaults and start-up -----------------------------------------------------------

TEST_F(MainWindowTest, FirstStartWritesTheDefaultsTreeOnce)
{
    env.clock.set(2000, 1, 1, 12, 0, 0);
    env.install(1);
    env.setWindowsUser(QStringLiteral("alice"));
    // The program may end while a message of the defaults is open: by then every
    // default must be in place, or the next start finds the tree incomplete for good.
    QStringList missingWhileOpen;
    env.boxes.whileOpen = [&](const platform::MessageRequest&) {
        for (const char* value : {rk::vMinutes, rk::vAutoCloseProgram}) {
            if (!valueExists(HKCU, q(rk::kEmail), q(value)))
                missingWhileOpen << q(value);
        }
        if (!valueExists(HKCU, q(rk::kBudget), q(rk::vBudgetReserve)))
            missingWhileOpen << q(rk::vBudgetReserve);
    };
    start();
    env.boxes.whileOpen = nullptr;
    EXPECT_TRUE(missingWhileOpen.isEmpty()) << missingWhileOpen.join(", ").toStdString();

    EXPECT_EQ(valueNames(HKCU, rk::kSoftware), (QStringList{"Connect delay", "Minimize", "System tray", "Logo",
                                                            "User Name", "Maxd", "poztop", "pozleft"}));
    const struct {
        const char* value;
        int expected;
    } ints[] = {{rk::vConnectDelay, 15}, {rk::vMinimize, 1}, {rk::vSystemTray, 1}, {rk::vLogo, 1},
                {rk::vMaxd, 1},          {rk::vPozTop, 138}, {rk::vPozLeft, 188}};
    for (const auto& v : ints)
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(v.value)), v.expected) << v.value;
    EXPECT_EQ(readStr(HKCU, q(rk::kSoftware), q(rk::vUserName)), QStringLiteral("alice"));
    // The other spelling names the same value.
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), QStringLiteral("Connect Delay")), 15);

    EXPECT_EQ(subkeyNames(HKCU, rk::kSoftware),
              (QStringList{"Email", "Beep", "Exec", "Tariffs", "TimeSync", "Rozad Izeruveva"}));
    EXPECT_EQ(valueNames(HKCU, rk::kEmail), (QStringList{"On/Off", "Minutes", "SystemTray", "AutoCheck", "AutoRestore",
                                                         "AutoClose", "AutoMinimize", "AutoCloseProgram"}));
    EXPECT_EQ(valueNames(HKCU, rk::kBeep), (QStringList{"Enabled", "Interval", "Sound"}));
    EXPECT_EQ(valueNames(HKCU, rk::kExec), (QStringList{"Lines"}));
    EXPECT_EQ(valueNames(HKCU, rk::kTariffs), (QStringList{"Tariff"}));
    EXPECT_EQ(valueNames(HKCU, rk::kTimeSync),
              (QStringList{"Servers", "Server0", "Server1", "Server2", "Server3", "Server4", "Server5"}));
    // The NIST servers that answer RFC 868 on TCP 37; the last is the one preselected.
    const QStringList servers{"time-a-g.nist.gov",   "time-b-g.nist.gov",   "time-c-g.nist.gov",
                              "time-a-wwv.nist.gov", "time-b-wwv.nist.gov", "time.nist.gov"};
    for (int i = 0; i < servers.size(); ++i)
        EXPECT_EQ(readStr(HKCU, q(rk::kTimeSync), QStringLiteral("Server%1").arg(i)), servers[i]);
    EXPECT_EQ(valueNames(HKCU, rk::kBudget), (QStringList{"On/Off", "Money", "Cents", "Ch", "Reserve"}));
    EXPECT_EQ(readInt(HKCU, q(rk::kBeep), q(rk::vBeepSound)), 3);
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetCh)), 1);
    EXPECT_EQ(readInt(HKCU, q(rk::kEmail), q(rk::vAutoCloseProgram)), 1);

    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDouble)), 36526);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vYear)), 2000);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vMonth)), 1);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDay)), 1);
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vFirstTime)), 0);
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vBug)), 1);

    ASSERT_EQ(env.boxes.shown.size(), 2u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Settings succesfully personalized to the new user."));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::None);
    EXPECT_EQ(env.boxes.shown[0].owner, platform::MessageOwner::Application);
    EXPECT_EQ(env.boxes.shown[1].text,
              QStringLiteral("You don't have tariffs associated to providers. Please go to menu "
                             "Options|Tariffs, Options|Providers and do it."));
    EXPECT_EQ(env.boxes.shown[1].icon, platform::MessageIcon::Exclamation);
    EXPECT_EQ(env.boxes.shown[1].owner, platform::MessageOwner::None);
    for (const auto& box : env.boxes.shown)
        EXPECT_EQ(box.caption, QStringLiteral("Dialtally 2.01"));
    const QString helpFile = env.programFolder() + "/Dialtally Help.hlp";
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].kind, FakeHelp::Call::Contents);
    EXPECT_EQ(env.help.calls[0].file, helpFile);
    EXPECT_EQ(platform::Application::instance().helpFile(), helpFile);
    EXPECT_EQ(platform::Application::instance().title().left(9), QStringLiteral("Dialtally"));
    EXPECT_TRUE(mainWindow->session().isRunning());
    EXPECT_EQ(platform::savedPosition(*mainWindow), QPoint(188, 138));
    EXPECT_EQ(splashes, 1);
    // The splash is gone once it has closed: no window of it stays for the program's life.
    for (QWidget* window : QApplication::topLevelWidgets())
        EXPECT_EQ(qobject_cast<SplashWindow*>(window), nullptr) << "a splash window is left";
    // "Minimize" = 1 in tray mode: minimized, only the tray icon is left.
    EXPECT_TRUE(platform::Application::instance().isMinimized());
    EXPECT_TRUE(env.tray.exists());
    EXPECT_FALSE(env.taskbar.isShown());

    // The next start writes nothing of this.
    env.boxes.clear();
    env.help.calls.clear();
    env.clock.set(2000, 1, 5, 9, 0, 0);
    start();
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
    EXPECT_TRUE(env.help.calls.empty());
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDouble)), 36526);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDay)), 1);
}

// First start / no key / same user / other user: what is written, deleted and shown.
TEST_F(MainWindowTest, StartUpTable)
{
    struct Case {
        const char* name;
        const char* previousUser;  // nullptr: nobody has started the program yet
        const char* user;  // nullptr: the control key holds no values at all
        bool dropUserName;  // the per-user key lost its "User Name"
        bool defaults;
        // Postpeek ran before the first start and made its "Email" key, empty.
        bool mailCheckerFirst = false;
    } cases[] = {
        {"first start", nullptr, "alice", false, true},
        {"first start after the mail checker's", nullptr, "alice", false, true, true},
        {"no key for this user", "-", "alice", false, true},
        {"same user", "alice", "alice", false, false},
        {"other user", "bob", "alice", false, true},
        {"key without a user name", "alice", "alice", true, true},
        {"no Windows user: Default", "Default", nullptr, false, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestEnvironment local;
        setSplashRunner([this](SplashWindow& splash) {
            ++splashes;
            splash.closeTimerElapsed();
        });
        const QString marker = q(rk::kTariffProfile) + "\\Cheap";
        if (c.previousUser == nullptr) {
            local.install(1);
            if (c.mailCheckerFirst) {
                platform::Registry r;
                r.setRootKey(HKCU);
                ASSERT_TRUE(r.openKey(q(rk::kEmail), true));
            }
        } else {
            local.install(1);
            local.setWindowsUser(q(c.previousUser));
            start();
            endProgram();
            writeInt(HKCU, marker, q(rk::vDayCost), 7);
            writeInt(HKCU, q(rk::kSoftware), q(rk::vLogo), 0);
            writeInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay), 30);
            if (QString(c.previousUser) == "-") {
                local.registry.setRootKey(HKCU);
                local.registry.deleteKey(q(rk::kSoftware));
            }
            if (c.dropUserName) {
                platform::Registry r;
                r.setRootKey(HKCU);
                r.openKey(q(rk::kSoftware), false);
                r.deleteValue(q(rk::vUserName));
            }
            // The counter period began earlier and must keep its start.
            writeInt(HKLM, q(rk::kCounterAll), q(rk::vYear), 1999);
            writeInt(HKLM, q(rk::kCounterAll), q(rk::vMonth), 12);
            writeInt(HKLM, q(rk::kCounterAll), q(rk::vDay), 20);
            writeInt(HKLM, q(rk::kCounterAll), q(rk::vDouble), 36514);
        }
        if (c.user) {
            local.setWindowsUser(q(c.user));
        } else {
            platform::Registry r;
            r.setRootKey(HKLM);
            r.openKey(q(rk::kControl), true);
            for (const QString& value : r.getValueNames())
                r.deleteValue(value);
        }
        local.boxes.clear();
        local.help.calls.clear();
        splashes = 0;
        local.clock.set(2000, 1, 1, 10, 0, 0);
        start();

        const bool hadKey = c.previousUser && QString(c.previousUser) != "-";
        EXPECT_EQ(local.boxes.shown.size(), c.defaults ? 2u : 0u) << local.boxes.texts().join(" | ").toStdString();
        EXPECT_EQ(local.help.calls.size(), c.defaults ? 1u : 0u);
        EXPECT_EQ(readStr(HKCU, q(rk::kSoftware), q(rk::vUserName)), c.user ? q(c.user) : "Default");
        EXPECT_EQ(mainWindow->session().windowsUser(), c.user ? q(c.user) : "Default");
        // The old owner's whole tree goes; the same owner keeps everything.
        EXPECT_EQ(keyExists(HKCU, marker), hadKey && !c.defaults);
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay)), c.defaults ? 15 : 30);
        // "Logo" is read before the owner check: an existing key's 0 counts.
        EXPECT_EQ(splashes, hadKey ? 0 : 1);
        EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vFirstTime)), 0);
        EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vBug)), 1);
        EXPECT_TRUE(mainWindow->session().isRunning());
        if (c.previousUser) {
            EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vYear)), 1999);
            EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDay)), 20);
            EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDouble)), c.defaults ? 36526 : 36514);
        } else {
            EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vYear)), 2000);
            EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDouble)), 36526);
        }
        endProgram();
    }
}

TEST_F(MainWindowTest, StartUpTotalsComeFromTheHistory)
{
    installedFor("alice");
    env.clock.set(2000, 5, 3, 9, 0, 0);
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(3, 5, 120, 600)));
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(2, 5, 30, 60)));
    // A torn tail counts for nothing.
    {
        QFile f(history::historyFile(env.programFolder()));
        ASSERT_TRUE(f.open(QIODevice::Append));
        f.write(QByteArray(100, '\x7f'));
    }
    start();
    EXPECT_EQ(mainWindow->session().counterPeriod().fee(), 150);
    EXPECT_EQ(mainWindow->session().counterPeriod().feeBefore(), 150);
    EXPECT_EQ(mainWindow->session().counterPeriod().seconds(), 660);
    EXPECT_EQ(mainWindow->session().counterPeriod().todayFee(), 120);
    tick();
    EXPECT_EQ(control<QLabel>(mainWindow, "periodFeeLabel")->text(), QStringLiteral("1 dol. 50 c."));
}

TEST_F(MainWindowTest, CreationErrorIsShownAndStartUpStops)
{
    // Not installed: "FirstTime" is missing.
    env.setWindowsUser(QStringLiteral("alice"));
    startProgram();
    ASSERT_NE(mainWindow, nullptr);
    ASSERT_FALSE(env.boxes.shown.empty());
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Failed to get data for 'FirstTime'."));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_FALSE(mainWindow->session().isRunning());
    // The start went on to show the window.
    EXPECT_TRUE(mainWindow->isVisible());
}

// ---- recovery ----------------------------------------------------------------------

TEST_F(MainWindowTest, RecoveryTable)
{
    struct Case {
        const char* name;
        int antiCrash;
        int backup;
        int line;  // -1: no "Remote Connection" value
        std::optional<platform::Answer> answer;  // none: no box to answer
        bool recovered;
        bool asked;
        int lineAfter;
    } cases[] = {
        {"plain slot, line down", 1, 0, 0, {}, true, false, 0},
        {"b slot, no line value", 1, 1, -1, {}, true, false, -1},
        {"line up, answer No", 1, 1, 1, platform::Answer::No, true, true, 0},
        {"line up, answer Yes", 1, 0, 1, platform::Answer::Yes, true, true, 1},
        {"anti-crash off", 0, 0, 1, {}, false, false, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TestEnvironment local;
        setSplashRunner([](SplashWindow& splash) { splash.closeTimerElapsed(); });
        local.install(1);
        local.setWindowsUser(QStringLiteral("alice"));
        start();
        endProgram();
        ASSERT_TRUE(history::append(local.programFolder(), recordOf(1, 1, 40)));
        writeInt(HKLM, q(rk::kSoftware), q(rk::vBug), 2);
        writeInt(HKLM, q(rk::kSoftware), q(rk::vAntiCrash), c.antiCrash);
        writeInt(HKLM, q(rk::kUsers), q(rk::vCrash), 4);
        const QString cur = q(rk::kCounterCurrent);
        writeInt(HKLM, cur, q(rk::vMoney), 125);
        writeStr(HKLM, cur, q(rk::vProvider), QStringLiteral("ISP"));
        const int start_[] = {50, 59, 23, 1999, 31, 12, 5};
        const char* startNames[] = {rk::vSecundes, rk::vStartMinutes, rk::vHours,    rk::vYear,
                                    rk::vDay,      rk::vMonth,        rk::vDayOfWeek};
        for (int i = 0; i < 7; ++i)
            writeInt(HKLM, cur, q(startNames[i]), start_[i]);
        writeInt(HKLM, cur, QStringLiteral("backup"), c.backup);
        for (const QString& prefix : {QString(), QStringLiteral("b")}) {
            const int base = prefix.isEmpty() ? 0 : 1;
            writeStr(HKLM, cur, prefix + "User", prefix.isEmpty() ? "plain" : "bee");
            writeInt(HKLM, cur, prefix + "CSecundes", 10 + base);
            writeInt(HKLM, cur, prefix + "CMinutes", 20);
            writeInt(HKLM, cur, prefix + "CHours", 1);
            writeInt(HKLM, cur, prefix + "CYear", 2000);
            writeInt(HKLM, cur, prefix + "CDay", 1);
            writeInt(HKLM, cur, prefix + "CMonth", 1);
            writeInt(HKLM, cur, prefix + "CDayOfWeek", 6);
            writeInt(HKLM, cur, prefix + "Time", 4900 + base);
        }
        if (c.line >= 0)
            local.setLine(c.line == 1);
        if (c.answer)
            local.boxes.queueAnswer(*c.answer);
        local.boxes.clear();
        start();

        const auto all = history::readAll(local.programFolder());
        ASSERT_EQ(all.size(), c.recovered ? 2u : 1u);
        const QStringList texts = local.boxes.texts();
        EXPECT_EQ(texts.contains("Last connection was unsaved. Dialtally will recover data."), c.recovered);
        EXPECT_EQ(texts.contains("Are you connected now ?"), c.asked);
        EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), c.recovered ? 5 : 4);
        EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vBug)), 1);
        if (c.recovered) {
            const auto& r = all.back();
            EXPECT_EQ(r.FeeCents, 125);
            EXPECT_EQ(r.providerName(), QStringLiteral("ISP"));
            EXPECT_EQ(r.StartTime, (platform::LocalDateTime{1999, 12, 31, 23, 59, 50}));
            const int b = c.backup ? 1 : 0;
            EXPECT_EQ(r.userName(), b ? QStringLiteral("bee") : QStringLiteral("plain"));
            EXPECT_EQ(r.EndTime, (platform::LocalDateTime{2000, 1, 1, 1, 20, std::uint16_t(10 + b)}));
            EXPECT_EQ(r.DurationSeconds, 4900 + b);
            // The start-up totals include it.
            EXPECT_EQ(mainWindow->session().counterPeriod().fee(), 165);
        }
        if (c.lineAfter >= 0) {
            platform::Registry r;
            r.setRootKey(HKLM);
            ASSERT_TRUE(r.openKey(q(rk::kRemoteAccessService), false));
            const QByteArray bytes = r.readBinary(q(rk::vRemoteConnection));
            EXPECT_EQ(bytes.size(), 4);
            EXPECT_EQ(bytes.at(0), char(c.lineAfter));
        }
        // After No the first tick opens nothing; after Yes it opens a connection.
        mainWindow->session().tick();
        EXPECT_EQ(mainWindow->session().connection().state(),
                  c.lineAfter == 1 ? ConnectionState::Counting : ConnectionState::Idle);
        endProgram();
    }
}

// A small file system of its own for the program folder, so that a full disk can be
// made; it needs the right to mount (root), and is gone with the object.
class SmallDisk {
public:
    explicit SmallDisk(const QString& folder)
        : m_folder(folder)
    {
        QDir().mkpath(folder);
        m_mounted =
            ::geteuid() == 0
            && QProcess::execute(QStringLiteral("mount"), {"-t", "tmpfs", "-o", "size=64k", "tmpfs", folder}) == 0;
    }
    ~SmallDisk()
    {
        if (m_mounted)
            QProcess::execute(QStringLiteral("umount"), {m_folder});
    }
    bool mounted() const { return m_mounted; }
    // Takes every free block.
    void fill()
    {
        QFile filler(m_folder + QStringLiteral("/filler"));
        filler.open(QIODevice::WriteOnly);
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) { }
    }
    void free() { QFile::remove(m_folder + QStringLiteral("/filler")); }

private:
    QString m_folder;
    bool m_mounted = false;
};

// ---- counter reset -----------------------------------------------------------------

TEST_F(MainWindowTest, AutomaticResetAtStartWritesReportAndEmptiesHistory)
{
    installedFor("alice");
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 2);
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReport), 1);
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vMonth), 12);
    writeInt(HKLM, q(rk::kUsers), q(rk::vCrash), 3);
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(5, 12, 100)));
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(6, 12, 250)));
    // An older report of the same date is replaced.
    QFile old(env.programFolder() + "/Reports/2000-1-3.rpt");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("old report");
    old.close();
    env.clock.set(2000, 1, 3, 9, 0, 0);
    start();

    EXPECT_TRUE(records().empty());
    EXPECT_EQ(QFileInfo(history::historyFile(env.programFolder())).size(), 0);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vYear)), 2000);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vMonth)), 1);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDay)), 3);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDouble)), 36528);
    EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 0);
    EXPECT_EQ(mainWindow->session().counterPeriod().fee(), 0);
    QFile report(env.programFolder() + "/Reports/2000-1-3.rpt");
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray text = report.readAll();
    EXPECT_EQ(text.size(), 137 + 3 * 142 + 4 * 142);
    EXPECT_TRUE(text.contains("3 dol. 50 c."));

    // The next start in the same month does not reset again.
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(3, 1, 10)));
    start();
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(MainWindowTest, TwoWeeklyResetMovesToTheNextResetDay)
{
    installedFor("alice");
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 1);
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset14), 14);
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vMonth), 3);
    env.clock.set(2000, 3, 13, 9, 0, 0);
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(2, 3, 10)));
    start();
    EXPECT_EQ(records().size(), 1u);
    env.clock.set(2000, 3, 15, 9, 0, 0);
    start();
    EXPECT_TRUE(records().empty());
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vReset14)), 1);
    // Later starts in the same month leave the new period alone.
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(15, 3, 10)));
    env.clock.set(2000, 3, 20, 9, 0, 0);
    start();
    EXPECT_EQ(records().size(), 1u);
    env.clock.set(2000, 4, 2, 9, 0, 0);
    start();
    EXPECT_TRUE(records().empty());
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vReset14)), 14);
}

TEST_F(MainWindowTest, ResetThatCannotWriteItsReportKeepsTheHistory)
{
    installedFor("alice");
    start();
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(1, 1, 10)));
    // A folder where the report file should go.
    ASSERT_TRUE(QDir().mkpath(env.programFolder() + "/Reports/2000-1-1.rpt"));
    mainWindow->session().resetCounter(2000, 1, 1, true);
    EXPECT_EQ(records().size(), 1u);
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_TRUE(env.boxes.shown[0].text.startsWith("Can't write the report"));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
}

// A report is the closing period's only archive once the history is emptied: on a
// full disk none of the commands that write one may leave a cut report in place of
// the earlier one, nor empty the history without it.
TEST_F(MainWindowTest, AFullDiskKeepsTheHistoryAndTheEarlierReport)
{
    installedFor("alice");
    SmallDisk disk(env.programFolder() + QStringLiteral("/disk"));
    if (!disk.mounted())
        GTEST_SKIP() << "no small disk can be mounted (needs root)";
    const QString folder = env.programFolder() + QStringLiteral("/disk");
    writeStr(HKLM, q(rk::kSoftware), q(rk::vProgramPath), folder);
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReport), 1);
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 4);
    env.clock.set(2000, 1, 3, 9, 0, 0);
    start();
    const QString reportFile = folder + QStringLiteral("/Reports/2000-1-3.rpt");
    const QString reportText = QStringLiteral("Can't write the report %1 : No space left on device.")
                                   .arg(QDir::toNativeSeparators(reportFile));
    const QString notReset = reportText.chopped(1) + QStringLiteral(". The counter was not reset.");
    const auto action = [&](const char* name) {
        QAction* found = mainWindow->findChild<QAction*>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        if (found)
            found->trigger();
    };

    struct Case {
        const char* name;
        std::function<void()> act;
        QString message;
    };
    const Case cases[] = {
        {"the automatic reset at start-up",
         [&] {
             writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 2);
             writeInt(HKLM, q(rk::kCounterAll), q(rk::vMonth), 12);
             start();
             writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 4);
         },
         notReset},
        {"Reset counter",
         [&] {
             env.boxes.queueAnswer(platform::Answer::Yes);
             action("resetCounterAction");
         },
         notReset},
        {"Reset now",
         [&] {
             CounterDialog dialog(mainWindow->session());
             dialog.show();
             control<QCheckBox>(dialog, "reportEnabledCheck")->setChecked(true);
             control<QPushButton>(dialog, "resetNowButton")->click();
         },
         notReset},
        {"Create report", [&] { action("createReportAction"); }, reportText},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(history::truncate(folder));
        for (int day = 1; day <= 3; ++day)
            ASSERT_TRUE(history::append(folder, recordOf(day, 12, 100 * day)));
        {
            QDir().mkpath(QFileInfo(reportFile).path());
            QFile earlier(reportFile);
            ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
            earlier.write(QByteArray(9000, 'r'));
        }
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vMonth), 12);
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vDay), 1);
        writeInt(HKLM, q(rk::kUsers), q(rk::vCrash), 2);
        disk.fill();
        env.boxes.clear();

        c.act();
        showRaisedMessages();

        EXPECT_EQ(env.boxes.texts().filter(QStringLiteral("report")).join('\n').toStdString(), c.message.toStdString());
        EXPECT_EQ(history::readAll(folder).size(), 3u);
        QFile earlier(reportFile);
        ASSERT_TRUE(earlier.open(QIODevice::ReadOnly));
        EXPECT_EQ(earlier.readAll(), QByteArray(9000, 'r'));
        EXPECT_EQ(QDir(folder + QStringLiteral("/Reports")).entryList(QDir::Files), QStringList{"2000-1-3.rpt"});
        EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vMonth)), 12);
        EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDay)), 1);
        EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 2);
        disk.free();
    }

    // With room again the same reset writes the whole report and then empties the
    // history.
    env.boxes.queueAnswer(platform::Answer::Yes);
    action("resetCounterAction");
    EXPECT_EQ(history::readAll(folder).size(), 0u);
    EXPECT_EQ(QFileInfo(reportFile).size(), 137 + 3 * 142 + 6 * 142);
}

// ---- the tick --------------------------------------------------------------------------

class TickTest : public MainWindowTest {
protected:
    void SetUp() override
    {
        MainWindowTest::SetUp();
        env.clock.set(1999, 12, 31, 23, 59, 50);  // a Friday
        installedFor("alice");
        writeStr(HKCU, q(rk::kRemoteAccess), q(rk::vDefault), QStringLiteral("ISP"));
        writeSlot("ISP", "5", "Friday", 8, 20, 10, 3);
        writeSlot("ISP", "6", "Weekend", 8, 20, 20, 7);
        writeSlot("ISP", "Holiday", "Feast", 8, 20, 50, 50, 1);
        start();
        env.boxes.clear();
    }
    int money() { return readInt(HKLM, q(rk::kCounterCurrent), q(rk::vMoney)); }
    int backup() { return readInt(HKLM, q(rk::kCounterCurrent), q(rk::vBackup)); }
};

// The window shows what the session's tick found, after every tick; what the tick
// counts and charges, writes and saves is the core's test of the same connection.
TEST_F(TickTest, WholeConnectionAcrossMidnightIntervalAndHoliday)
{
    const auto expectTheWindowShowsTheSession = [this](const char* when) {
        SCOPED_TRACE(when);
        const MonitoringSession& session = mainWindow->session();
        const MonitoringSession::Shown& shown = session.shown();
        const bool counting = session.connection().state() == ConnectionState::Counting;
        EXPECT_EQ(control<QGroupBox>(mainWindow, "lineBox")->title(),
                  session.connection().lineUp() ? QStringLiteral("Connected") : QStringLiteral("Not connected"));
        EXPECT_EQ(control<QLabel>(mainWindow, "providerLabel")->text(), shown.provider);
        EXPECT_EQ(control<QLabel>(mainWindow, "userLabel")->text(), shown.user);
        EXPECT_EQ(control<QLabel>(mainWindow, "connectedImage")->isVisibleTo(mainWindow), shown.connectedPicture);
        EXPECT_EQ(control<QLabel>(mainWindow, "notConnectedImage")->isVisibleTo(mainWindow), !shown.connectedPicture);
        EXPECT_EQ(control<QLabel>(mainWindow, "elapsedLabel")->text(), shown.elapsed);
        EXPECT_EQ(control<QLabel>(mainWindow, "connectionFeeLabel")->text(), shown.connectionFee);
        EXPECT_EQ(control<QLabel>(mainWindow, "periodFeeLabel")->text(),
                  formats::feeText(session.counterPeriod().fee()));
        EXPECT_EQ(control<QLabel>(mainWindow, "periodTimeLabel")->text(), shown.period.connectedTime);
        EXPECT_EQ(control<QLabel>(mainWindow, "periodStartLabel")->text(), shown.period.since);
        EXPECT_EQ(control<QLabel>(mainWindow, "nextResetLabel")->text(), shown.period.nextReset);
        EXPECT_EQ(control<QLabel>(mainWindow, "averagePerDayLabel")->text(), shown.period.averagePerDay);
        EXPECT_EQ(control<QLabel>(mainWindow, "budgetLeftLabel")->text(), shown.budget);
        EXPECT_TRUE(shown.tickCompleted);
        EXPECT_EQ(control<QLabel>(mainWindow, "clockLabel")->text(), formats::clockText(platform::localNow()));
        EXPECT_EQ(platform::Application::instance().title(),
                  counting
                      ? QStringLiteral("Dialtally: [ ") + session.connection().elapsedAndFee() + QStringLiteral(" ]")
                      : QStringLiteral("Dialtally: [Not Connected]"));
    };

    env.setLine(true);
    tick();  // 23:59:50: opened and counted in the same tick
    ASSERT_EQ(mainWindow->session().connection().state(), ConnectionState::Counting);
    expectTheWindowShowsTheSession("opened");
    const struct {
        int hour, minute, second;
        bool holiday;
        const char* when;
    } steps[] = {
        {0, 0, 0, false, "midnight"},
        {0, 0, 35, false, "a minute charged at Saturday's night rate"},
        {7, 59, 30, false, "after a long gap"},
        {8, 0, 30, false, "in the day interval"},
        {8, 1, 30, true, "on the holiday tariff"},
    };
    for (const auto& step : steps) {
        if (step.holiday)
            control<QToolButton>(mainWindow, "holidayButton")->click();
        env.clock.set(2000, 1, 1, step.hour, step.minute, step.second);
        tick();
        expectTheWindowShowsTheSession(step.when);
    }
    EXPECT_EQ(mainWindow->session().counterPeriod().fee(), 87);

    platform::Application::instance().minimize();
    env.setLine(false);
    env.clock.set(2000, 1, 1, 8, 1, 40);
    tick();
    EXPECT_EQ(mainWindow->session().connection().state(), ConnectionState::Idle);
    expectTheWindowShowsTheSession("ended");
    EXPECT_FALSE(platform::Application::instance().isMinimized());  // "Maxd" = 1
    tick();
    expectTheWindowShowsTheSession("idle");
    EXPECT_EQ(records().size(), 1u);
}

// A provider's name and a log-on name are text from outside: shown as they are, never
// read as markup ("<b>B</b>&amp;" must not show as a bold "B&").
TEST_F(TickTest, TheProviderAndTheUserShowAsTextNotMarkup)
{
    const QString provider = QStringLiteral("<b>B</b>&amp;");
    const QString user = QStringLiteral("<i>al</i><br>ice");
    writeStr(HKCU, q(rk::kRemoteAccess), q(rk::vDefault), provider);
    env.setWindowsUser(user);
    start();
    env.boxes.clear();
    env.setLine(true);
    tick();
    tick();  // the labels show the connection one tick later
    for (QLabel* label : {control<QLabel>(mainWindow, "providerLabel"), control<QLabel>(mainWindow, "userLabel")}) {
        SCOPED_TRACE(label->objectName().toStdString());
        EXPECT_EQ(label->textFormat(), Qt::PlainText);
    }
    EXPECT_EQ(control<QLabel>(mainWindow, "providerLabel")->text(), provider);
    EXPECT_EQ(control<QLabel>(mainWindow, "userLabel")->text(), user);
}

TEST_F(TickTest, MaxdZeroLeavesTheWindowMinimized)
{
    writeInt(HKCU, q(rk::kSoftware), q(rk::vMaxd), 0);
    env.setLine(true);
    tick();
    platform::Application::instance().minimize();
    env.setLine(false);
    tick();
    EXPECT_TRUE(platform::Application::instance().isMinimized());
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(TickTest, IdleTickWritesNothing)
{
    env.setLine(false);
    tick();
    const QByteArray before = [&] {
        QFile f(env.registryFile());
        f.open(QIODevice::ReadOnly);
        return f.readAll();
    }();
    const QString wal = env.registryFile() + "-wal";
    const qint64 walBefore = QFileInfo(wal).size();
    for (int i = 0; i < 5; ++i) {
        env.clock.advance(1);
        tick();
    }
    QFile f(env.registryFile());
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), before);
    EXPECT_EQ(QFileInfo(wal).size(), walBefore);
    EXPECT_EQ(platform::Application::instance().title(), QStringLiteral("Dialtally: [Not Connected]"));
    EXPECT_EQ(control<QLabel>(mainWindow, "clockLabel")->text(), QStringLiteral("23:59:55"));
}

TEST_F(TickTest, ExecLinesStartWithoutShellAndFailuresAreReported)
{
    // A program picked by its path, as the Preferences' "Add" writes it, spaces and all.
    ASSERT_TRUE(QDir(env.programFolder()).mkpath(QStringLiteral("My Tools")));
    const QString picked = env.programFolder() + QStringLiteral("/My Tools/dial up");
    QFile pickedFile(picked);
    ASSERT_TRUE(pickedFile.open(QIODevice::WriteOnly));
    pickedFile.close();
    writeInt(HKCU, q(rk::kExec), q(rk::vLines), 4);
    writeStr(HKCU, q(rk::kExec), QStringLiteral("Line0"), QStringLiteral("/usr/bin/prog --flag \"a b\""));
    writeStr(HKCU, q(rk::kExec), QStringLiteral("Line1"), QStringLiteral("/missing/program"));
    writeStr(HKCU, q(rk::kExec), QStringLiteral("Line2"), QStringLiteral("/usr/bin/other"));
    writeStr(HKCU, q(rk::kExec), QStringLiteral("Line3"), picked);
    env.processes.failing << QStringLiteral("/missing/program");
    env.setLine(true);
    tick();
    ASSERT_EQ(env.processes.started.size(), 3u);
    EXPECT_EQ(env.processes.started[0].program, QStringLiteral("/usr/bin/prog"));
    EXPECT_EQ(env.processes.started[0].arguments, (QStringList{"--flag", "a b"}));
    EXPECT_EQ(env.processes.started[1].program, QStringLiteral("/usr/bin/other"));
    EXPECT_EQ(env.processes.started[2].program, picked);
    EXPECT_TRUE(env.processes.started[2].arguments.isEmpty());
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Can't launch the program : /missing/program"));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(env.boxes.shown[0].caption, QStringLiteral("Dialtally 2.01"));
}

TEST_F(TickTest, TicksGoOnWhileATicksMessageIsOpen)
{
    writeInt(HKCU, q(rk::kExec), q(rk::vLines), 1);
    writeStr(HKCU, q(rk::kExec), QStringLiteral("Line0"), QStringLiteral("/missing/program"));
    env.processes.failing << QStringLiteral("/missing/program");
    int nested = 0;
    env.boxes.whileOpen = [&](const platform::MessageRequest&) {
        // The timer goes on firing while the box waits for OK, and each tick counts.
        for (int i = 0; i < 3; ++i) {
            env.clock.advance(61);
            tick();
            ++nested;
        }
    };
    env.setLine(true);
    mainWindow->session().tick();
    // The box waits for the tick's end: the connection is counted and backed up first.
    EXPECT_TRUE(env.boxes.shown.empty());
    EXPECT_EQ(money(), 3);
    showRaisedMessages();
    EXPECT_EQ(nested, 3);
    EXPECT_EQ(env.boxes.shown.size(), 1u);
    // Friday's last minute, then one Saturday night minute per tick.
    EXPECT_EQ(money(), 3 + 3 * 7);
    const QString slot = backup() != 0 ? QStringLiteral("bTime") : QStringLiteral("Time");
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterCurrent), slot), 15 + 3 * 61);
    EXPECT_EQ(env.processes.started.size(), 0u);

    // An error that every tick raises is shown once, even from inside its own box.
    env.boxes.clear();
    env.boxes.whileOpen = [&](const platform::MessageRequest&) { mainWindow->session().tick(); };
    platform::Registry r;
    r.setRootKey(HKCU);
    ASSERT_TRUE(r.openKey(testing_support::tariffSlotKey("ISP", "6"), false));
    r.deleteValue(q(rk::vDayCost));
    r.closeKey();
    env.clock.set(2000, 1, 1, 9, 0, 0);
    for (int i = 0; i < 3; ++i) {
        env.clock.advance(60);
        tick();
    }
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Failed to get data for 'DayCost'."));
    EXPECT_EQ(money(), 3 + 3 * 7);
}

// A connection that ended cleanly but could not go to the history (a folder in its
// way) waits in the store: the starts that follow say that it could not be saved yet,
// and neither recover it nor count a crash. Once the history can be written, the
// connection is in it exactly once.
TEST_F(TickTest, AnUnsavedConnectionWaitsInTheStoreAndIsNoCrash)
{
    const QString historyPath = history::historyFile(env.programFolder());
    const QString aside = historyPath + QStringLiteral(".aside");
    const QString saveError =
        QStringLiteral("Can't save the connection in %1 : ").arg(QDir::toNativeSeparators(historyPath));
    const QString recovering = QStringLiteral("Last connection was unsaved. Dialtally will recover data.");
    const auto marker = [&] { return readInt(HKLM, q(rk::kSoftware), q(rk::vBug)); };
    const auto waiting = [&] { return valueExists(HKLM, q(rk::kCounterCurrent), q(rk::vUnsavedRecords)); };
    struct Case {
        const char* name;
        bool dropBeforeExit;
        bool markerLeftOpen;  // as an earlier version left it beside the waiting record
    } cases[] = {
        {"the line drops, then the program ends", true, false},
        {"the program ends while counting", false, false},
        {"the marker left open beside the waiting record", true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::size_t before = records().size();
        if (QFile::exists(historyPath)) {
            ASSERT_TRUE(QFile::rename(historyPath, aside));
        }
        ASSERT_TRUE(QDir().mkpath(historyPath));
        start();
        env.boxes.clear();
        env.setLine(true);
        tick();
        env.clock.advance(90);
        tick();
        if (c.dropBeforeExit) {
            env.setLine(false);
            tick();
            ASSERT_EQ(env.boxes.shown.size(), 1u);
            EXPECT_TRUE(env.boxes.shown[0].text.startsWith(saveError)) << env.boxes.shown[0].text.toStdString();
            EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
            EXPECT_EQ(marker(), 1);
        }
        mainWindow->close();
        EXPECT_EQ(marker(), 0);
        EXPECT_TRUE(waiting());
        if (c.markerLeftOpen)
            writeInt(HKLM, q(rk::kSoftware), q(rk::vBug), 2);

        // Started again while the folder is still in the way.
        env.setLine(false);
        env.boxes.clear();
        start();
        EXPECT_FALSE(env.boxes.texts().contains(recovering));
        EXPECT_EQ(env.boxes.texts().filter(saveError).size(), 1);
        EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 0);
        EXPECT_TRUE(waiting());
        mainWindow->close();

        // With the folder gone, the next start writes it first.
        ASSERT_TRUE(QDir().rmdir(historyPath));
        if (QFile::exists(aside)) {
            ASSERT_TRUE(QFile::rename(aside, historyPath));
        }
        env.boxes.clear();
        start();
        EXPECT_TRUE(env.boxes.shown.empty());
        ASSERT_EQ(records().size(), before + 1);
        EXPECT_EQ(records().back().DurationSeconds, 15 + 90);
        EXPECT_EQ(records().back().userName(), QStringLiteral("alice"));
        EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 0);
        EXPECT_FALSE(waiting());
        mainWindow->close();
        EXPECT_EQ(marker(), 0);
        env.clock.advance(600);
    }
}

// The faults a user's machine really has, each during a counted connection: counting,
// backups and the line drop stay to the second while the fault's message is open, the
// fault is told once, and the connection is in the history exactly once, even when the
// program is ended at the worst moment and started again.
TEST_F(TickTest, FaultsDuringAConnectionLoseNothingAndDoubleNothing)
{
    SmallDisk disk(env.programFolder() + QStringLiteral("/disk"));
    const QString folder = disk.mounted() ? env.programFolder() + QStringLiteral("/disk") : env.programFolder();
    writeStr(HKLM, q(rk::kSoftware), q(rk::vProgramPath), folder);
    start();
    env.boxes.clear();
    std::optional<StoreLock> lock;
    const QString historyPath = QDir::toNativeSeparators(history::historyFile(folder));
    const auto saved = [&] { return history::readAll(folder); };

    struct Case {
        const char* name;
        std::function<void()> arrange;  // before the line comes up
        int faultAt;  // second of the connection whose tick meets the fault
        std::function<void()> fault;
        std::function<void()> release;  // right after that tick
        int dropAt;  // second at which the line goes down
        std::function<void()> afterDrop;
        bool restart;  // ended without its closing steps (a kill), then started again
        QStringList boxes;
        std::function<void()> check;
    };
    const Case cases[] = {
        {"a program on the Exec list that no longer exists",
         [&] {
             writeInt(HKCU, q(rk::kExec), q(rk::vLines), 1);
             writeStr(HKCU, q(rk::kExec), QStringLiteral("Line0"), QStringLiteral("/missing/program"));
             env.processes.failing << QStringLiteral("/missing/program");
         },
         -1,
         {},
         {},
         3,
         {},
         false,
         {QStringLiteral("Can't launch the program : /missing/program")},
         [&] { writeInt(HKCU, q(rk::kExec), q(rk::vLines), 0); }},
        // Another program's write: the tick is made again next second, and says nothing.
        {"a store locked by another program for one tick",
         {},
         10,
         [&] { lock.emplace(env.registryFile()); },
         [&] { lock.reset(); },
         20,
         {},
         false,
         {},
         {}},
        {"a store locked right after the line drop, then a kill",
         {},
         20,
         [&] { lock.emplace(env.registryFile()); },
         [&] { lock.reset(); },
         20,
         {},
         true,
         {},
         {}},
        {"a kill between the append and \"Bug\" := 1",
         {},
         -1,
         {},
         {},
         12,
         [&] { writeInt(HKLM, q(rk::kSoftware), q(rk::vBug), 2); },
         true,
         {},
         {}},
        {"a full disk at the line drop",
         [&] {
             // 21 records fill 4032 bytes of a 4096-byte page: the next one needs a
             // page that the full disk does not have, after 64 bytes that fit.
             while (saved().size() < 21)
                 ASSERT_TRUE(history::append(folder, recordOf(1, 1, 0)));
             disk.fill();
         },
         -1,
         {},
         {},
         8,
         [&] {
             EXPECT_EQ(QFileInfo(history::historyFile(folder)).size(), 21 * history::kRecordSize);
             EXPECT_EQ(saved().size(), 21u);
             EXPECT_EQ(mainWindow->session().journal().waitingRecords().size(), 1u);
             EXPECT_TRUE(valueExists(HKLM, q(rk::kCounterCurrent), q(rk::vUnsavedRecords)));
             // The disk gets room again; the next connection's start writes it first.
             disk.free();
             env.clock.advance(5);
             env.setLine(true);
             tick();
             env.clock.advance(5);
             env.setLine(false);
             tick();
         },
         false,
         {QStringLiteral("Can't save the connection in %1 : No space left on device").arg(historyPath)},
         [&] {
             const auto all = saved();
             ASSERT_EQ(all.size(), 23u);
             EXPECT_LT(all[21].StartTime.secondOfDay(), all[22].StartTime.secondOfDay());
             EXPECT_TRUE(mainWindow->session().journal().waitingRecords().empty());
             EXPECT_FALSE(valueExists(HKLM, q(rk::kCounterCurrent), q(rk::vUnsavedRecords)));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        if (QString::fromLatin1(c.name).contains("full disk") && !disk.mounted()) {
            std::cout << "[ SKIPPED CASE ] " << c.name << ": no small disk can be mounted (needs root)\n";
            continue;
        }
        env.boxes.clear();
        env.clock.set(2000, 1, 5, 10, 0, 0);  // a Wednesday
        if (c.arrange)
            c.arrange();
        const std::size_t before = saved().size();
        int second = 0;
        const platform::LocalDateTime started = platform::localNow();
        // One second of the connection: the tick, and the messages it raised, which
        // run their own seconds while they are open.
        std::function<void()> passSecond = [&] {
            if (second == c.dropAt)
                env.setLine(false);
            if (second == c.faultAt && c.fault)
                c.fault();
            mainWindow->session().tick();
            if (second == c.faultAt && c.release)
                c.release();
            ++second;
            env.clock.advance(1);
            showRaisedMessages();
        };
        env.boxes.whileOpen = [&](const platform::MessageRequest&) {
            for (int i = 0; i < 5 && second <= c.dropAt; ++i)
                passSecond();
        };
        env.setLine(true);
        while (second <= c.dropAt)
            passSecond();
        env.boxes.whileOpen = nullptr;
        EXPECT_EQ(mainWindow->session().connection().state(), ConnectionState::Idle);
        QStringList shown = env.boxes.texts();
        if (c.afterDrop)
            c.afterDrop();
        if (c.restart) {
            endProgram();  // no closing steps: the program was killed
            env.boxes.clear();
            start();
            EXPECT_FALSE(env.boxes.texts().contains(
                QStringLiteral("Last connection was unsaved. Dialtally will recover data.")));
            EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vBug)), 1);
        }
        EXPECT_EQ(shown, c.boxes);
        EXPECT_EQ(QFileInfo(history::historyFile(folder)).size() % history::kRecordSize, 0);
        if (c.check) {
            c.check();
            continue;
        }
        const auto all = saved();
        ASSERT_EQ(all.size(), before + 1);
        EXPECT_EQ(all.back().StartTime, started);
        // The last counting tick was the second before the drop; the delay counts.
        EXPECT_EQ(all.back().DurationSeconds, 15 + c.dropAt - 1);
    }
}

// A kill while the recovery's message waits leaves everything as it was, so the next
// start recovers the connection the same way; a kill after its append finds it saved.
// Whatever connect delay the store held while a connection was counted, the next
// start after a kill recovers that connection as its backup has it.
TEST_F(TickTest, RecoveryKeepsAConnectionWhateverItsConnectDelay)
{
    const QString incomplete = QStringLiteral(
        "The backup of the last connection is incomplete or belongs to another connection. The connection could "
        "not be recovered.");
    int hour = 8;
    for (const int delay : {0, 15, 86400, 100000, 2147483647, -20}) {
        SCOPED_TRACE(delay);
        const std::size_t before = records().size();
        const int crashes = readInt(HKLM, q(rk::kUsers), q(rk::vCrash));
        writeInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay), delay);
        env.clock.set(2000, 1, 5, hour++, 0, 0);  // each connection a start of its own
        start();
        env.boxes.clear();
        env.setLine(true);
        for (int second = 0; second < 30; ++second) {
            tick();
            env.clock.advance(1);
        }
        const std::int32_t counted = mainWindow->session().connection().record().DurationSeconds;
        EXPECT_EQ(counted, static_cast<std::int32_t>(std::min<qint64>(qint64(delay) + 29, INT32_MAX)));
        EXPECT_GE(mainWindow->session().counterPeriod().seconds(), counted) << "the period's time wrapped round";
        endProgram();  // killed
        env.setLine(false);
        env.boxes.clear();
        start();
        EXPECT_FALSE(env.boxes.texts().contains(incomplete));
        ASSERT_EQ(records().size(), before + 1);
        EXPECT_EQ(records().back().DurationSeconds, counted);
        EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), crashes + 1);
        mainWindow->close();
    }
}

TEST_F(TickTest, RecoveryIsSafeAgainstAKillAtAnyStep)
{
    env.setLine(true);
    tick();
    env.clock.advance(50);
    tick();
    const auto slotTime =
        readInt(HKLM, q(rk::kCounterCurrent), backup() != 0 ? QStringLiteral("bTime") : QStringLiteral("Time"));
    EXPECT_EQ(slotTime, 15 + 50);
    endProgram();  // killed while counting
    env.setLine(false);

    std::size_t recordsWhileOpen = 99;
    int bugWhileOpen = -1;
    env.boxes.whileOpen = [&](const platform::MessageRequest& box) {
        if (box.text != QStringLiteral("Last connection was unsaved. Dialtally will recover data."))
            return;
        recordsWhileOpen = records().size();
        bugWhileOpen = readInt(HKLM, q(rk::kSoftware), q(rk::vBug));
    };
    start();
    EXPECT_EQ(recordsWhileOpen, 0u);  // a kill here would leave nothing written...
    EXPECT_EQ(bugWhileOpen, 2);  // ...and the marker for the next start
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0].DurationSeconds, slotTime);
    EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 1);

    // Killed after the append, before the marker was cleared: found saved.
    writeInt(HKLM, q(rk::kSoftware), q(rk::vBug), 2);
    endProgram();
    env.boxes.clear();
    start();
    EXPECT_EQ(records().size(), 1u);
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join('|').toStdString();
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vBug)), 1);
}

// The slot the recovery uses must be of the stored start: complete, ending no earlier
// than the start. One it can't use is reported and start-up goes on.
TEST_F(MainWindowTest, RecoveryChecksTheSlotItUses)
{
    installedFor("alice");
    const QString cur = q(rk::kCounterCurrent);
    const auto arrange = [&](int backup) {
        writeInt(HKLM, q(rk::kSoftware), q(rk::vBug), 2);
        const int start_[] = {0, 30, 10, 2000, 5, 1, 3};
        const char* names[] = {rk::vSecundes, rk::vStartMinutes, rk::vHours,    rk::vYear,
                               rk::vDay,      rk::vMonth,        rk::vDayOfWeek};
        for (int i = 0; i < 7; ++i)
            writeInt(HKLM, cur, q(names[i]), start_[i]);
        writeStr(HKLM, cur, q(rk::vProvider), QStringLiteral("ISP"));
        writeInt(HKLM, cur, q(rk::vMoney), 30);
        writeInt(HKLM, cur, q(rk::vBackup), backup);
        // The plain slot: the previous connection's, ending at 9:00 before this start.
        // The "b" slot: this connection at 10:31:00, 75 s counted.
        for (const auto& [prefix, hour, minute, time] : {std::tuple{"", 9, 0, 4000}, std::tuple{"b", 10, 31, 75}}) {
            const QString p = q(prefix);
            writeStr(HKLM, cur, p + "User", "alice");
            writeInt(HKLM, cur, p + "CSecundes", 0);
            writeInt(HKLM, cur, p + "CMinutes", minute);
            writeInt(HKLM, cur, p + "CHours", hour);
            writeInt(HKLM, cur, p + "CYear", 2000);
            writeInt(HKLM, cur, p + "CDay", 5);
            writeInt(HKLM, cur, p + "CMonth", 1);
            writeInt(HKLM, cur, p + "CDayOfWeek", 3);
            writeInt(HKLM, cur, p + "Time", time);
        }
    };
    // "Backup" naming the stale slot: the other, complete one of this start is used.
    arrange(0);
    start();
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0].DurationSeconds, 75);
    EXPECT_EQ(records()[0].EndTime.minute, 31);

    // Neither slot usable: reported, nothing appended, and the program runs on.
    endProgram();
    history::truncate(env.programFolder());
    arrange(1);
    platform::Registry r;
    r.setRootKey(HKLM);
    ASSERT_TRUE(r.openKey(cur, false));
    r.deleteValue(QStringLiteral("bCHours"));
    r.closeKey();
    env.boxes.clear();
    start();
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(env.boxes.texts().contains(QStringLiteral(
        "The backup of the last connection is incomplete or belongs to another connection. The connection could "
        "not be recovered.")));
    EXPECT_TRUE(mainWindow->session().isRunning());
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vBug)), 1);

    // A start whose tick ends before it counts ("Lines" is missing, so starting the
    // programs fails), then a crash: the slots written by the start itself are used,
    // not the last connection's.
    endProgram();
    env.clock.set(2000, 1, 5, 12, 0, 0);
    platform::Registry exec;
    exec.setRootKey(HKCU);
    ASSERT_TRUE(exec.openKey(q(rk::kExec), false));
    exec.deleteValue(q(rk::vLines));
    exec.closeKey();
    start();
    env.setLine(true);
    mainWindow->session().tick();
    ASSERT_EQ(mainWindow->session().connection().state(), ConnectionState::Counting);
    endProgram();  // killed
    env.setLine(false);
    env.boxes.clear();
    start();
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0].StartTime, (platform::LocalDateTime{2000, 1, 5, 12, 0, 0}));
    EXPECT_EQ(records()[0].EndTime, records()[0].StartTime);
    EXPECT_EQ(records()[0].DurationSeconds, 15);
}

TEST_F(TickTest, ResetDuringAConnectionKeepsItInTheNewPeriod)
{
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(1, 12, 500)));
    env.setLine(true);
    tick();
    for (int i = 0; i < 10; ++i) {
        env.clock.advance(60);
        tick();
    }
    mainWindow->session().resetCounter(2000, 1, 1, false);
    EXPECT_EQ(mainWindow->session().counterPeriod().fee(), mainWindow->session().connection().fee());
    EXPECT_EQ(mainWindow->session().counterPeriod().seconds(), 615);
    env.clock.advance(5);
    tick();
    env.setLine(false);
    tick();
    const auto all = records();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].DurationSeconds, 620);
    EXPECT_EQ(all[0].FeeCents, mainWindow->session().connection().fee());
}

// ---- the "History" group, the budget and the beeper in the tick -------------------------

TEST_F(TickTest, HistoryGroupShowsThePeriod)
{
    const QString all = q(rk::kCounterAll);
    writeInt(HKLM, all, q(rk::vYear), 1999);
    writeInt(HKLM, all, q(rk::vMonth), 12);
    writeInt(HKLM, all, q(rk::vDay), 29);
    writeInt(HKLM, all, q(rk::vDouble), platform::dayNumber(QDate(1999, 12, 29)));
    SessionProbe::resetMode(mainWindow->session()) = period::ResetMode::Monthly;
    SessionProbe::periodSeconds(mainWindow->session()) = 25 * 3600 + 61;
    tick();
    EXPECT_EQ(control<QLabel>(mainWindow, "periodTimeLabel")->text(), QStringLiteral("25 h. 1 min. 1 sec."));
    EXPECT_EQ(control<QLabel>(mainWindow, "periodStartLabel")->text(), QStringLiteral("1999 - 12 - 29"));
    EXPECT_EQ(control<QLabel>(mainWindow, "nextResetLabel")->text(), QStringLiteral("2000 - 1 - 1"));
    EXPECT_EQ(control<QLabel>(mainWindow, "averagePerDayLabel")->text(),
              QStringLiteral("8 h. 20 min. 20 sec."));  // three days
    EXPECT_EQ(control<QLabel>(mainWindow, "periodTimeLabel")->toolTip(),
              QStringLiteral("All connections time sice the last counter reset"));

    // A missing period start ends the tick there, once, and the clock is not shown.
    platform::Registry r;
    r.setRootKey(HKLM);
    ASSERT_TRUE(r.openKey(all, false));
    r.deleteValue(q(rk::vDouble));
    r.closeKey();
    control<QLabel>(mainWindow, "clockLabel")->clear();
    tick();
    tick();
    EXPECT_EQ(env.boxes.texts(), QStringList{"Failed to get data for 'Double'."});
    EXPECT_TRUE(control<QLabel>(mainWindow, "clockLabel")->text().isEmpty());
}

TEST_F(TickTest, BudgetLabelAndAlarmKinds)
{
    struct Case {
        const char* name;
        int on, ch, beepSound;
        int waves;
        std::vector<platform::BeepKind> beeps;
        const char* labelAtStart;
        const char* labelAfterBudget;
    } cases[] = {
        {"wave file", 1, 1, 2, 1, {}, "0 dol. 2 c.", "-0 dol. 5 c."},
        {"system beep of the Beep dialog's kind",
         1,
         3,
         2,
         0,
         {platform::BeepKind::Asterisk},
         "0 dol. 2 c.",
         "-0 dol. 5 c."},
        {"another kind is silent", 1, 2, 2, 0, {}, "0 dol. 2 c.", "-0 dol. 5 c."},
        {"budget off", 0, 1, 2, 0, {}, "--------------", "--------------"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(history::truncate(env.programFolder()));
        env.sounds.waves.clear();
        env.sounds.beeps.clear();
        const QString budget = q(rk::kBudget);
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vDay), 1);  // the period runs over midnight
        writeInt(HKCU, budget, q(rk::vOnOff), c.on);
        writeInt(HKCU, budget, q(rk::vBudgetMoney), 0);
        writeInt(HKCU, budget, q(rk::vBudgetCents), 5);
        writeInt(HKCU, budget, q(rk::vBudgetReserve), 0);
        writeInt(HKCU, budget, q(rk::vBudgetCh), c.ch);
        SessionProbe::beepSound(mainWindow->session()) = c.beepSound;
        env.clock.set(1999, 12, 31, 23, 59, 50);
        env.setLine(true);
        tick();  // 3 c. of 5 c. spent
        EXPECT_EQ(control<QLabel>(mainWindow, "budgetLeftLabel")->text(), q(c.labelAtStart));
        EXPECT_TRUE(env.sounds.waves.isEmpty());
        env.clock.set(2000, 1, 1, 0, 0, 50);
        tick();  // 10 c.: over the budget
        EXPECT_EQ(control<QLabel>(mainWindow, "budgetLeftLabel")->text(), q(c.labelAfterBudget));
        EXPECT_EQ(env.sounds.waves.size(), c.waves);
        if (c.waves > 0) {
            EXPECT_EQ(env.sounds.waves[0], env.programFolder() + "/media/signal.wav");
        }
        EXPECT_EQ(env.sounds.beeps, c.beeps);
        env.setLine(false);
        tick();
    }
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
}

TEST_F(TickTest, BudgetDateErrorIsShownOnceAndSwitchesTheBudgetOff)
{
    // The period began on the 31st; once the clock reads the 1st, the days are negative.
    const QString budget = q(rk::kBudget);
    writeInt(HKCU, budget, q(rk::vOnOff), 1);
    writeInt(HKCU, budget, q(rk::vBudgetMoney), 100);
    env.setLine(true);
    tick();
    EXPECT_EQ(money(), 3);

    int nested = 0;
    int offWhileOpen = -1;
    env.boxes.whileOpen = [&](const platform::MessageRequest&) {
        // What another process sees while the message waits: the switch is off and
        // nothing of the tick is held uncommitted.
        platform::Registry other(platform::openRegistryStore(env.registryFile()));
        other.setRootKey(HKCU);
        other.openKey(budget, false);
        offWhileOpen = other.readInteger(q(rk::vOnOff));
        for (int i = 0; i < 3; ++i) {
            env.clock.advance(61);
            tick();
            ++nested;
        }
    };
    env.clock.set(2000, 1, 1, 0, 0, 50);
    tick();
    EXPECT_EQ(nested, 3);
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text,
              QStringLiteral("Error in Rozad Izeruveva. Maybe you changed date ? Function is disabled."));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(env.boxes.shown[0].caption, QStringLiteral("Dialtally 2.01"));
    EXPECT_EQ(offWhileOpen, 0);
    // The minute that raised the message is charged once; the ticks while it is open
    // charge their own minutes.
    EXPECT_EQ(money(), 10 + 3 * 7);

    env.boxes.whileOpen = nullptr;
    env.clock.advance(60);
    tick();
    EXPECT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(readInt(HKCU, budget, q(rk::vOnOff)), 0);
    EXPECT_EQ(control<QLabel>(mainWindow, "budgetLeftLabel")->text(), QStringLiteral("--------------"));
}

TEST_F(TickTest, BeeperSoundsOncePerIntervalWhileConnected)
{
    SessionProbe::beepEnabled(mainWindow->session()) = true;
    SessionProbe::beepInterval(mainWindow->session()) = 1;
    SessionProbe::beepSound(mainWindow->session()) = 4;
    env.setLine(true);
    const struct {
        int elapsed;
        std::size_t beeps;
    } steps[] = {{15, 0}, {59, 0}, {60, 1}, {61, 1}, {119, 1}, {120, 2}, {150, 2}, {185, 3}};
    for (const auto& step : steps) {
        env.clock.set(QDateTime(QDate(1999, 12, 31), QTime(23, 59, 35)).addSecs(step.elapsed));
        tick();
        EXPECT_EQ(env.sounds.beeps.size(), step.beeps) << "at " << step.elapsed << " s";
    }
    EXPECT_EQ(env.sounds.beeps[0], platform::BeepKind::Hand);
    EXPECT_EQ(mainWindow->session().beeps().count(), 4);

    SessionProbe::beepEnabled(mainWindow->session()) = false;
    env.clock.advance(600);
    tick();
    EXPECT_EQ(env.sounds.beeps.size(), 3u);
    EXPECT_EQ(mainWindow->session().beeps().count(), 1);

    // Not connected: silent whatever the count.
    SessionProbe::beepEnabled(mainWindow->session()) = true;
    env.setLine(false);
    tick();
    SessionProbe::elapsedSeconds(mainWindow->session()) = 3600;
    tick();
    EXPECT_EQ(env.sounds.beeps.size(), 3u);
}

// ---- tray ------------------------------------------------------------------------------

TEST_F(TickTest, TrayTipAndTitleCarryTheSameSummary)
{
    ASSERT_TRUE(mainWindow->tray().inTray());
    tick();
    EXPECT_EQ(env.tray.tip(), QStringLiteral("Dialtally: [Not Connected]"));
    env.setLine(true);
    tick();
    const QString title = platform::Application::instance().title();
    EXPECT_EQ(title, QStringLiteral("Dialtally: [ 0 h. 0 min. 15 sec.0 dol. 3 c. ]"));
    EXPECT_EQ(env.tray.tip(), title);
    EXPECT_EQ(platform::Application::instance().hint(), title);

    mainWindow->tray().update(QString(70, 'x'), true);
    EXPECT_EQ(env.tray.tip(), QString(63, 'x'));
}

TEST_F(MainWindowTest, TrayModeHidesTheTaskbarButtonAndLeftClickRestores)
{
    installedFor("alice");
    start();
    EXPECT_TRUE(env.tray.exists());
    EXPECT_FALSE(env.taskbar.isShown());
    EXPECT_TRUE(platform::Application::instance().isMinimized());
    env.taskbar.show();
    env.tray.click(tray::Click::Activate);
    EXPECT_FALSE(platform::Application::instance().isMinimized());
    EXPECT_FALSE(env.taskbar.isShown());
    mainWindow->hideProgram();
    EXPECT_TRUE(platform::Application::instance().isMinimized());
    EXPECT_FALSE(env.taskbar.isShown());
}

TEST_F(MainWindowTest, WithoutATrayTheWindowStaysReachable)
{
    env.tray.available = false;
    installedFor("alice");
    start();
    EXPECT_FALSE(mainWindow->tray().inTray());
    EXPECT_FALSE(env.tray.exists());
    EXPECT_TRUE(env.taskbar.isShown());
    EXPECT_TRUE(platform::Application::instance().isMinimized());
    mainWindow->hideTaskbarButtonInTray();
    EXPECT_TRUE(env.taskbar.isShown());
    mainWindow->session().tick();
    EXPECT_EQ(env.tray.modifies, 0);
}

TEST_F(MainWindowTest, ATrayThatComesLaterGetsTheIconAndTrayMode)
{
    env.tray.available = false;
    installedFor("alice");
    start();
    ASSERT_FALSE(mainWindow->tray().inTray());
    EXPECT_TRUE(env.taskbar.isShown());
    EXPECT_TRUE(mainWindow->tray().waiting());

    // The panel starts: the icon is added and the program goes on in tray mode.
    env.tray.appear();
    EXPECT_TRUE(mainWindow->tray().inTray());
    EXPECT_TRUE(env.tray.exists());
    EXPECT_FALSE(env.taskbar.isShown());
    EXPECT_FALSE(mainWindow->tray().waiting());
    mainWindow->session().tick();
    EXPECT_EQ(env.tray.tip(), QStringLiteral("Dialtally: [Not Connected]"));

    // Turned off while waiting (Preferences without the tray box): a panel that comes
    // after that brings nothing back.
    env.tray.remove();
    env.tray.available = false;
    mainWindow->tray().add();
    ASSERT_TRUE(env.tray.watching());
    mainWindow->tray().remove();
    mainWindow->tray().setInTray(false);
    EXPECT_FALSE(env.tray.watching());
    env.tray.appear();
    EXPECT_FALSE(env.tray.exists());
    EXPECT_TRUE(env.taskbar.isShown());
}

TEST_F(MainWindowTest, TheTrayMenuIsTheIconsOwnAndTheWindowKeepsOneSize)
{
    installedFor("alice");
    start();
    // Handed to the icon, so a panel that draws its own menus shows it.
    EXPECT_EQ(env.tray.menu(), control<QMenu>(mainWindow, "trayMenu"));
    EXPECT_EQ(control<QMenu>(mainWindow, "trayMenu")->defaultAction()->text(), QStringLiteral("Restore"));
    // A single border with minimize box: no maximize, no resize.
    EXPECT_FALSE(mainWindow->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(mainWindow->windowFlags() & Qt::WindowMinimizeButtonHint);
    mainWindow->layout()->activate();
    EXPECT_EQ(mainWindow->minimumSize(), mainWindow->maximumSize());
    endProgram();
    EXPECT_EQ(env.tray.menu(), nullptr);
}

}  // namespace
