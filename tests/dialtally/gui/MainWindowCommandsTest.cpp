// The main window's commands: exit and close, the menus, toolbar and speed buttons,
// the dialog hooks and the windows' owner, the mail checker launch, the
// holiday and monitoring toggles, the counter reset and the report for today.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"
#include "support/core/SessionProbe.h"

#include "common/RegistryNames.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/gui/MainWindow.h"
#include "support/StartedProgram.h"
#include "dialtally/gui/AboutBox.h"
#include "dialtally/core/History.h"
#include "platform/gui/WindowPlacement.h"

#include <QAction>
#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <stdexcept>

using namespace testing_support;

namespace {

class CommandsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setSplashRunner([](SplashWindow& splash) { splash.closeTimerElapsed(); });
        hooks.postQuit = [this](int code) { quits.push_back(code); };
        env.clock.set(2000, 1, 3, 10, 0, 0);  // a Monday
        env.install(1);
        env.setWindowsUser(QStringLiteral("alice"));
        start();
        env.boxes.clear();
        env.help.calls.clear();
    }
    void TearDown() override
    {
        endProgram();
        hooks = {};
        setSplashRunner({});
    }

    void start()
    {
        endProgram();
        startProgram(hooks);
        ASSERT_NE(mainWindow, nullptr);
    }
    void tick() { mainWindow->session().tick(); }
    void connectAndCount()
    {
        env.setLine(true);
        tick();
        env.clock.advance(30);
        tick();
        ASSERT_EQ(mainWindow->session().connection().state(), ConnectionState::Counting);
    }
    QAction* action(const char* objectName) const
    {
        auto* found = mainWindow->findChild<QAction*>(q(objectName));
        EXPECT_NE(found, nullptr) << objectName;
        return found;
    }
    std::vector<history::HistoryRecord> records() const { return history::readAll(env.programFolder()); }
    int bug() const { return readInt(HKLM, q(rk::kSoftware), q(rk::vBug)); }

    mainwindow::DialogCommands hooks;
    TestEnvironment env;
    std::vector<int> quits;
};

// ---- exit and close ----------------------------------------------------------------------

TEST_F(CommandsTest, ExitCommandsAskThenSaveTheConnectionAndQuit)
{
    struct Case {
        const char* name;
        std::function<void()> trigger;
    } cases[] = {
        {"File menu", [this] { action("exitAction")->trigger(); }},
        {"button", [] { control<QPushButton>(mainWindow, "exitButton")->click(); }},
        {"tray menu", [this] { action("trayExitAction")->trigger(); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start();
        ASSERT_TRUE(history::truncate(env.programFolder()));
        quits.clear();
        env.boxes.clear();
        env.clock.set(2000, 1, 3, 10, 0, 0);
        connectAndCount();
        platform::placeAt(*mainWindow, QPoint(321, 123));
        env.clock.set(2000, 1, 3, 10, 5, 7);
        c.trigger();

        ASSERT_EQ(env.boxes.shown.size(), 1u);
        const auto& box = env.boxes.shown[0];
        EXPECT_EQ(box.text, QStringLiteral("Closing Dialtally you won't be able to monitor DUN connections. "
                                           "Do you want to continue ?"));
        EXPECT_EQ(box.caption, QStringLiteral("Dialtally 2.01"));
        EXPECT_EQ(box.icon, platform::MessageIcon::Question);
        EXPECT_EQ(box.buttons, platform::MessageButtons::YesNo);

        const auto all = records();
        ASSERT_EQ(all.size(), 1u);
        EXPECT_EQ(all[0].EndTime.minute, 5);
        EXPECT_EQ(all[0].EndTime.second, 7);
        EXPECT_EQ(all[0].userName(), QStringLiteral("alice"));
        EXPECT_EQ(bug(), 0);
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vPozTop)), 123);
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vPozLeft)), 321);
        EXPECT_FALSE(env.tray.exists());
        EXPECT_TRUE(env.taskbar.isShown());
        EXPECT_FALSE(mainWindow->session().isRunning());
        EXPECT_EQ(quits, std::vector<int>{0});
    }

    // The next start finds a clean exit: nothing to recover.
    env.boxes.clear();
    start();
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(records().size(), 1u);
}

TEST_F(CommandsTest, ExitAnsweredNoChangesNothing)
{
    connectAndCount();
    env.boxes.queueAnswer(platform::Answer::No);
    mainWindow->exitProgram();
    EXPECT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_TRUE(quits.empty());
    EXPECT_EQ(bug(), 2);
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(env.tray.exists());
    EXPECT_TRUE(mainWindow->session().isRunning());
    env.clock.advance(60);
    tick();
    EXPECT_EQ(mainWindow->session().connection().state(), ConnectionState::Counting);
    EXPECT_EQ(mainWindow->session().connection().elapsedSeconds(), 15 + 30 + 60);
}

TEST_F(CommandsTest, ClosingTheWindowSavesOnceWithoutAQuestion)
{
    connectAndCount();
    mainWindow->close();
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(records().size(), 1u);
    EXPECT_EQ(bug(), 0);
    EXPECT_FALSE(env.tray.exists());
    EXPECT_TRUE(env.taskbar.isShown());
    EXPECT_EQ(quits, std::vector<int>{0});
}

TEST_F(CommandsTest, ClosingSavesOnlyAConnectionThatIsCounted)
{
    struct Case {
        const char* name;
        std::function<void()> arrange;
        std::size_t records;
    } cases[] = {
        // Monitoring switched off has already closed and saved the connection.
        {"monitoring off",
         [this] {
             connectAndCount();
             mainWindow->toggleMonitoring();
             tick();
         },
         1},
        // A start that failed half way has no record of its own; the record in memory
        // is the previous connection's.
        {"start interrupted",
         [this] {
             connectAndCount();
             env.setLine(false);
             tick();
             SessionProbe::lineUp(mainWindow->session()) = true;
             SessionProbe::connectionState(mainWindow->session()) = ConnectionState::LineSeen;
         },
         1},
        {"idle", [] {}, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        start();
        ASSERT_TRUE(history::truncate(env.programFolder()));
        c.arrange();
        mainWindow->close();
        EXPECT_EQ(records().size(), c.records);
        EXPECT_EQ(bug(), 0);
        // The tick is stopped in every case: no connection can open after the marker
        // was cleared.
        EXPECT_FALSE(mainWindow->session().isRunning());
    }
}

TEST_F(CommandsTest, WithoutTrayModeExitMakesNoTrayCall)
{
    writeInt(HKCU, q(rk::kSoftware), q(rk::vSystemTray), 0);
    start();
    ASSERT_FALSE(mainWindow->tray().inTray());
    const int removes = env.tray.removes;
    mainWindow->exitProgram();
    mainWindow->close();
    EXPECT_EQ(env.tray.removes, removes);
    EXPECT_EQ(bug(), 0);
}

// ---- the dialog hooks ------------------------------------------------------------------

TEST_F(CommandsTest, DialogCommandsAreDisabledUntilTheirHookIsSet)
{
    const char* hookedActions[] = {
        "preferencesAction",  "trayPreferencesAction", "preferencesTool",   "budgetTool",
        "providersAction",    "trayProvidersAction",   "providersTool",     "tariffsAction",
        "trayTariffsAction",  "tariffsTool",           "connectionsAction", "trayConnectionsAction",
        "connectionsTool",    "graphsAction",          "graphsTool",        "timeSyncAction",
        "trayTimeSyncAction", "counterAction",         "trayCounterAction", "counterTool",
        "statisticsAction",   "statisticsTool",        "openReportAction",  "openReportTool",
        "beepAction",         "trayBeepAction",        "beepTool",          "deleteReportsAction",
    };
    const char* ownActions[] = {"resetCounterAction", "createReportAction",  "hideAction", "exitAction",
                                "mailCheckerAction",  "trayCheckMailAction", "helpAction", "aboutAction",
                                "saveReportTool",     "aboutTool",           "helpTool",   "trayRestoreAction",
                                "trayExitAction"};
    for (const char* name : hookedActions)
        EXPECT_FALSE(action(name)->isEnabled()) << name;
    for (const char* name : ownActions)
        EXPECT_TRUE(action(name)->isEnabled()) << name;
    EXPECT_FALSE(control<QToolButton>(mainWindow, "timeSyncButton")->isEnabled());
    EXPECT_TRUE(control<QToolButton>(mainWindow, "mailCheckerButton")->isEnabled());
    // Called directly, a command without its dialog does nothing: no empty command is
    // called (its std::bad_function_call would reach the guard's box), and Beep takes
    // over no settings that no dialog wrote.
    writeInt(HKCU, q(rk::kBeep), q(rk::vBeepEnabled), 1);
    writeInt(HKCU, q(rk::kBeep), q(rk::vBeepInterval), 7);
    const IntervalBeeper before = mainWindow->session().beeps();
    mainWindow->openTimeSync();
    mainWindow->showBeep();
    mainWindow->showPreferences();
    mainWindow->showCounter();
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join('\n').toStdString();
    EXPECT_EQ(mainWindow->session().beeps().enabled(), before.enabled());
    EXPECT_EQ(mainWindow->session().beeps().interval(), before.interval());

    QStringList calls;
    const auto record = [&calls](const char* what) {
        return [&calls, what](MainWindow& form) {
            EXPECT_EQ(&form, mainWindow);
            calls << q(what);
        };
    };
    hooks.showPreferences = [&calls](MainWindow&, mainwindow::PreferencesPage page) {
        calls << (page == mainwindow::PreferencesPage::Startup ? QStringLiteral("preferences startup")
                                                               : QStringLiteral("preferences budget"));
    };
    hooks.openProviders = record("providers");
    hooks.openTariffs = record("tariffs");
    hooks.openConnections = record("connections");
    hooks.openGraphs = record("graphs");
    hooks.openTimeSync = record("time");
    hooks.showCounter = record("counter");
    hooks.showStatistics = record("statistics");
    hooks.showOpenReport = record("open report");
    hooks.showBeep = record("beep");
    hooks.deleteAllReports = record("delete reports");
    start();

    const struct {
        const char* control;
        const char* call;
    } wiring[] = {
        {"preferencesAction", "preferences startup"},
        {"trayPreferencesAction", "preferences startup"},
        {"preferencesTool", "preferences startup"},
        {"budgetTool", "preferences budget"},
        {"providersAction", "providers"},
        {"trayProvidersAction", "providers"},
        {"providersTool", "providers"},
        {"tariffsAction", "tariffs"},
        {"trayTariffsAction", "tariffs"},
        {"tariffsTool", "tariffs"},
        {"connectionsAction", "connections"},
        {"trayConnectionsAction", "connections"},
        {"connectionsTool", "connections"},
        {"graphsAction", "graphs"},
        {"graphsTool", "graphs"},
        {"timeSyncAction", "time"},
        {"trayTimeSyncAction", "time"},
        {"counterAction", "counter"},
        {"trayCounterAction", "counter"},
        {"counterTool", "counter"},
        {"statisticsAction", "statistics"},
        {"statisticsTool", "statistics"},
        {"openReportAction", "open report"},
        {"openReportTool", "open report"},
        {"beepAction", "beep"},
        {"trayBeepAction", "beep"},
        {"beepTool", "beep"},
        {"deleteReportsAction", "delete reports"},
    };
    for (const auto& w : wiring) {
        calls.clear();
        QAction* a = action(w.control);
        ASSERT_NE(a, nullptr);
        EXPECT_TRUE(a->isEnabled()) << w.control;
        a->trigger();
        EXPECT_EQ(calls, QStringList{q(w.call)}) << w.control;
    }
    calls.clear();
    ASSERT_TRUE(control<QToolButton>(mainWindow, "timeSyncButton")->isEnabled());
    control<QToolButton>(mainWindow, "timeSyncButton")->click();
    EXPECT_EQ(calls, QStringList{"time"});
}

// A command's shortcut runs it even where a menu title has the same letter (Alt+O and
// "&Options"): Qt would take such a pair as ambiguous and run neither.
TEST_F(CommandsTest, CommandShortcutsWinOverMenuLetters)
{
    QStringList calls;
    hooks.showCounter = [&calls](MainWindow&) { calls << QStringLiteral("counter"); };
    hooks.showStatistics = [&calls](MainWindow&) { calls << QStringLiteral("statistics"); };
    start();

    // The key as it reaches the window: the shortcut override first, then the press,
    // both from the focused button up to the window.
    const auto press = [](Qt::Key key, Qt::KeyboardModifiers modifiers) {
        QKeyEvent override(QEvent::ShortcutOverride, key, modifiers);
        override.ignore();
        QCoreApplication::sendEvent(control<QPushButton>(mainWindow, "hideButton"), &override);
        if (!override.isAccepted())
            return false;
        QKeyEvent keyPress(QEvent::KeyPress, key, modifiers);
        QCoreApplication::sendEvent(control<QPushButton>(mainWindow, "hideButton"), &keyPress);
        return true;
    };
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        bool claimed;
        QStringList calls;
    } cases[] = {
        {Qt::Key_O, Qt::AltModifier, true, {"counter"}},
        {Qt::Key_S, Qt::AltModifier, true, {"statistics"}},
        // No command has it: left to the menu bar, which opens "&File".
        {Qt::Key_F, Qt::AltModifier, false, {}},
    };
    for (const auto& c : cases) {
        calls.clear();
        EXPECT_EQ(press(c.key, c.modifiers), c.claimed) << c.key;
        EXPECT_EQ(calls, c.calls) << c.key;
    }
    // A command whose dialog is not plugged in leaves its key alone.
    hooks.showCounter = nullptr;
    start();
    calls.clear();
    EXPECT_FALSE(press(Qt::Key_O, Qt::AltModifier));
    EXPECT_TRUE(calls.isEmpty());
}

TEST_F(CommandsTest, DialogsAreMadeOnFirstUseAndFreedNewestFirstBeforeTheMainWindow)
{
    using Kept = ProgramWindows::Kept;
    QStringList made;
    QStringList freed;
    const auto factory = [&](const char* name) {
        return [&, name](MainWindow&) -> std::unique_ptr<QWidget> {
            made << q(name);
            auto window = std::make_unique<QDialog>();
            QObject::connect(window.get(), &QObject::destroyed, [&freed, name] { freed << q(name); });
            return window;
        };
    };
    hooks.createPreferences = factory("preferences");
    hooks.createBeep = factory("beep");
    hooks.createStatistics = factory("statistics");
    hooks.createOpenReport = factory("open report");
    // A window whose making fails is reported, and the next ask tries again.
    int counterTries = 0;
    hooks.createCounter = [&](MainWindow&) -> std::unique_ptr<QWidget> {
        if (++counterTries == 1)
            throw std::runtime_error("Failed to get data for 'Reset'");
        return factory("counter")(*mainWindow);
    };
    bool preparedAfterStart = false;
    int prepared = 0;
    hooks.prepareAtStart = [&](MainWindow& form) {
        ++prepared;
        preparedAfterStart = form.session().isRunning() && made.isEmpty();
    };
    env.boxes.clear();
    start();
    ProgramWindows& windows = *startedProgram;

    EXPECT_TRUE(made.isEmpty());
    EXPECT_EQ(prepared, 1);
    EXPECT_TRUE(preparedAfterStart);

    QWidget* beep = windows.dialog(Kept::Beep);
    ASSERT_NE(beep, nullptr);
    EXPECT_EQ(windows.dialog(Kept::Beep), beep);
    EXPECT_EQ(windows.dialog(Kept::Counter), nullptr);
    EXPECT_EQ(env.boxes.texts(), QStringList{"Failed to get data for 'Reset'."});
    EXPECT_NE(windows.dialog(Kept::Counter), nullptr);
    windows.dialog(Kept::OpenReport);
    EXPECT_EQ(made, (QStringList{"beep", "counter", "open report"}));
    EXPECT_EQ(&windows.aboutBox(), &windows.aboutBox());

    QPointer<QWidget> about = &windows.aboutBox();
    QPointer<QWidget> form = mainWindow;
    QObject::connect(about, &QObject::destroyed, [&freed, form] { freed << (form ? "about" : "about after main"); });
    QObject::connect(mainWindow, &QObject::destroyed, [&freed] { freed << QStringLiteral("main"); });
    endProgram();
    EXPECT_EQ(freed, (QStringList{"open report", "counter", "beep", "about", "main"}));
}

TEST_F(CommandsTest, BeepCommandTakesOverTheNewSettings)
{
    struct Case {
        const char* name;
        bool connected;
        int interval;
        int beepCount;
    } cases[] = {
        {"connected: the next beep on the next whole interval", true, 15, 3},
        {"not connected: counted from the last connection's time, restarted by the next", false, 15, 3},
        {"an interval of 0 from a hand-edited registry", true, 0, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        hooks.showBeep = [&](MainWindow& window) {
            // What the dialog's OK does: it stores the choice and hands it over.
            writeInt(HKCU, q(rk::kBeep), q(rk::vBeepEnabled), 1);
            writeInt(HKCU, q(rk::kBeep), q(rk::vBeepInterval), c.interval);
            window.session().setBeepSettings(true, c.interval, window.session().beeps().sound());
        };
        writeInt(HKCU, q(rk::kBeep), q(rk::vBeepEnabled), 0);
        start();
        SessionProbe::lineUp(mainWindow->session()) = c.connected;
        SessionProbe::elapsedSeconds(mainWindow->session()) = 40 * 60;
        SessionProbe::beepCount(mainWindow->session()) = -1;
        mainWindow->showBeep();
        EXPECT_TRUE(mainWindow->session().beeps().enabled());
        EXPECT_EQ(mainWindow->session().beeps().interval(), c.interval);
        EXPECT_EQ(mainWindow->session().beeps().count(), c.beepCount);
    }
}

// ---- the commands of the main window ------------------------------------------------------

TEST_F(CommandsTest, MailCheckerLaunch)
{
    const QString path = env.programFolder() + "/Postpeek";
    struct Case {
        const char* name;
        int onOff;
        bool fromButton;
        bool fails;
        bool started;
    } cases[] = {
        {"e-mail off, menu", 0, false, false, false},
        {"e-mail off, button", 0, true, false, false},
        {"menu", 1, false, false, true},
        {"button", 1, true, false, true},
        {"program missing", 1, true, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        env.processes.started.clear();
        env.processes.failing.clear();
        env.boxes.clear();
        if (c.fails)
            env.processes.failing << path;
        writeInt(HKCU, q(rk::kEmail), q(rk::vOnOff), c.onOff);
        writeInt(HKCU, q(rk::kEmail), q(rk::vCheck), 7);
        if (c.fromButton)
            control<QToolButton>(mainWindow, "mailCheckerButton")->click();
        else
            action("trayCheckMailAction")->trigger();
        EXPECT_EQ(readInt(HKCU, q(rk::kEmail), q(rk::vCheck)), c.fromButton ? 1 : 0);
        ASSERT_EQ(env.processes.started.size(), c.started ? 1u : 0u);
        if (c.started) {
            EXPECT_EQ(env.processes.started[0].program, path);
            EXPECT_TRUE(env.processes.started[0].arguments.isEmpty());
        }
        if (c.fails) {
            ASSERT_EQ(env.boxes.shown.size(), 1u);
            EXPECT_EQ(env.boxes.shown[0].text, "Can't launch the program Email checking program : " + path);
            EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
            EXPECT_EQ(env.boxes.shown[0].caption, QStringLiteral("Dialtally 2.01"));
        } else {
            EXPECT_TRUE(env.boxes.shown.empty());
        }
    }
}

TEST_F(CommandsTest, HolidayToggle)
{
    ASSERT_EQ(mainWindow->session().holiday(), 0);
    EXPECT_EQ(control<QToolButton>(mainWindow, "holidayButton")->text(), QStringLiteral("Holiday"));
    EXPECT_TRUE(control<QToolButton>(mainWindow, "holidayButton")->icon().isNull());
    control<QToolButton>(mainWindow, "holidayButton")->click();
    EXPECT_TRUE(mainWindow->session().holiday());
    EXPECT_EQ(control<QToolButton>(mainWindow, "holidayButton")->icon().cacheKey(),
              mainWindow->stateIcon(mainwindow::kImageHoliday).cacheKey());
    EXPECT_FALSE(control<QToolButton>(mainWindow, "holidayButton")->isChecked());
    control<QToolButton>(mainWindow, "holidayButton")->click();
    EXPECT_FALSE(mainWindow->session().holiday());
    EXPECT_TRUE(control<QToolButton>(mainWindow, "holidayButton")->icon().isNull());
}

TEST_F(CommandsTest, MonitoringToggleSplitsAConnection)
{
    const auto glyph = [] { return control<QToolButton>(mainWindow, "monitoringButton")->icon().cacheKey(); };
    EXPECT_EQ(glyph(), mainWindow->stateIcon(mainwindow::kImageMonitoringOn).cacheKey());
    connectAndCount();
    control<QToolButton>(mainWindow, "monitoringButton")->click();
    EXPECT_TRUE(mainWindow->session().monitoringPaused());
    EXPECT_EQ(glyph(), mainWindow->stateIcon(mainwindow::kImageMonitoringOff).cacheKey());
    EXPECT_EQ(mainWindow->session().connection().state(), ConnectionState::Counting);  // the next tick acts on it
    tick();
    EXPECT_EQ(records().size(), 1u);
    control<QToolButton>(mainWindow, "monitoringButton")->click();
    EXPECT_FALSE(mainWindow->session().monitoringPaused());
    EXPECT_EQ(glyph(), mainWindow->stateIcon(mainwindow::kImageMonitoringOn).cacheKey());
    tick();
    EXPECT_EQ(mainWindow->session().connection().state(), ConnectionState::Counting);
    env.setLine(false);
    tick();
    EXPECT_EQ(records().size(), 2u);
}

TEST_F(CommandsTest, ResetCounterAsksFirst)
{
    history::HistoryRecord record;
    record.StartTime = {2000, 1, 2, 9, 0, 0};
    record.EndTime = record.StartTime;
    record.FeeCents = 40;
    ASSERT_TRUE(history::append(env.programFolder(), record));
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReport), 1);
    const QString report = env.programFolder() + "/Reports/2000-1-3.rpt";

    env.boxes.queueAnswer(platform::Answer::No);
    action("resetCounterAction")->trigger();
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Are you sure to reset counter ?"));
    EXPECT_EQ(env.boxes.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Question);
    EXPECT_EQ(records().size(), 1u);
    EXPECT_FALSE(QFile::exists(report));

    env.boxes.queueAnswer(platform::Answer::Yes);
    action("resetCounterAction")->trigger();
    EXPECT_TRUE(records().empty());
    EXPECT_TRUE(QFile::exists(report));
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDay)), 3);
}

TEST_F(CommandsTest, ReportForTodaySaysWhenItCannotBeWritten)
{
    const QString report = env.programFolder() + "/Reports/2000-1-3.rpt";
    action("saveReportTool")->trigger();
    EXPECT_TRUE(QFile::exists(report));
    EXPECT_TRUE(env.boxes.shown.empty());

    ASSERT_TRUE(QFile::remove(report));
    ASSERT_TRUE(QDir().mkpath(report));  // a folder where the file should go
    action("createReportAction")->trigger();
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_TRUE(env.boxes.shown[0].text.startsWith("Can't write the report"));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
}

// The reports list the user's connections, as the history does: whatever the umask,
// a report and its folder are their owner's alone, and a folder that an earlier
// version left open is closed at the next start.
TEST_F(CommandsTest, OnlyTheirOwnerReadsTheReports)
{
    const mode_t umaskBefore = ::umask(0);
    const auto modeOf = [](const QString& path) {
        struct stat info { };
        ::stat(QFile::encodeName(path).constData(), &info);
        return info.st_mode & 07777;
    };
    const QString folder = env.programFolder() + "/Reports";
    const QString report = folder + "/2000-1-3.rpt";
    ASSERT_EQ(::chmod(QFile::encodeName(folder).constData(), 0777), 0);
    {
        QFile earlier(report);
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        ASSERT_EQ(::chmod(QFile::encodeName(report).constData(), 0666), 0);
    }
    start();
    EXPECT_EQ(modeOf(folder), 0700u);
    action("createReportAction")->trigger();
    EXPECT_TRUE(env.boxes.shown.empty());
    EXPECT_EQ(modeOf(report), 0600u);
    EXPECT_GT(QFileInfo(report).size(), 0);

    QDir(folder).removeRecursively();
    action("createReportAction")->trigger();
    EXPECT_EQ(modeOf(folder), 0700u);
    EXPECT_EQ(modeOf(report), 0600u);
    ::umask(umaskBefore);
}

TEST_F(CommandsTest, TrayMenuItemsInOrder)
{
    QStringList texts;
    for (QAction* a : control<QMenu>(mainWindow, "trayMenu")->actions())
        texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
    EXPECT_EQ(texts, (QStringList{"Restore", "-", "Connections ...", "-", "Beep ...", "Time Synchronization ...",
                                  "Check EMail ...", "-", "Counter ...", "-", "Providers ...", "Tariffs ...", "-",
                                  "Preferences ...", "-", "Exit"}));
    EXPECT_EQ(control<QMenu>(mainWindow, "trayMenu")->defaultAction(), action("trayRestoreAction"));

    action("helpAction")->trigger();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].kind, FakeHelp::Call::Contents);
    EXPECT_EQ(env.help.calls[0].file, env.programFolder() + "/Dialtally Help.hlp");
}

}  // namespace
