// The monitoring session on its own: the tick's state machine, counting, charging, the
// backup slots, the history and the recovery, with the clock and the line in the
// test's hands and no window anywhere.
#include "support/core/CoreFakes.h"
#include "support/core/RegistryShorthand.h"

#include "dialtally/core/Charging.h"
#include "dialtally/core/History.h"
#include "dialtally/core/MonitoringSession.h"
#include "common/RegistryNames.h"
#include "platform/core/RegistryStore.h"

#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

#include <sqlite3.h>

using namespace testing_support;

namespace {

void writeSlot(const QString& provider, const QString& day, const QString& profile, int start, int end, int dayCost,
               int nightCost, int ocp = 0)
{
    writeTariffSlot(testing_support::tariffSlotKey(provider, day), profile, start, end, dayCost, nightCost, ocp);
}

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        env.clock.set(1999, 12, 31, 23, 59, 50);  // a Friday
        env.install(1);
        env.setWindowsUser(QStringLiteral("alice"));
        writeStr(HKCU, q(rk::kRemoteAccess), q(rk::vDefault), QStringLiteral("ISP"));
        start();
        writeSlot("ISP", "5", "Friday", 8, 20, 10, 3);
        writeSlot("ISP", "6", "Weekend", 8, 20, 20, 7);
        writeSlot("ISP", "Holiday", "Feast", 8, 20, 50, 50, 1);
    }

    // A start of the program as far as the session goes: defaults on the first one.
    void start()
    {
        session = std::make_unique<MonitoringSession>();
        QObject::connect(session.get(), &MonitoringSession::errorRaised,
                         [this](const QString& text) { errors << text; });
        QObject::connect(session.get(), &MonitoringSession::failureRaised,
                         [this](const QString& text) { failures << text; });
        QObject::connect(session.get(), &MonitoringSession::restoreRequested, [this] { ++restores; });
        QObject::connect(session.get(), &MonitoringSession::unsavedConnectionFound, [this] { ++recoveries; });
        session->beginStartUp();
        session->finishStartUp();
    }

    int money() { return readInt(HKLM, q(rk::kCounterCurrent), q(rk::vMoney)); }
    int marker() { return readInt(HKLM, q(rk::kSoftware), q(rk::vBug)); }
    std::vector<history::HistoryRecord> records() const { return history::readAll(env.programFolder()); }

    CoreEnvironment env;
    std::unique_ptr<MonitoringSession> session;
    QStringList errors;
    QStringList failures;
    int restores = 0;
    int recoveries = 0;
};

TEST_F(SessionTest, WholeConnectionAcrossMidnightIntervalAndHoliday)
{
    env.setLine(true);
    session->tick();  // 23:59:50: opened and counted in the same tick
    const ConnectionCount& connection = session->connection();
    EXPECT_EQ(connection.state(), ConnectionState::Counting);
    EXPECT_TRUE(session->shown().connectedPicture);
    EXPECT_EQ(session->shown().provider, QStringLiteral(" "));  // the provider shows one tick later
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::ConnectionOpen));
    EXPECT_EQ(session->shown().elapsed, QStringLiteral("0 h. 0 min. 15 sec."));
    // The first minute is charged at once, at Friday's night rate.
    EXPECT_EQ(connection.fee(), 3);
    EXPECT_EQ(money(), 3);
    EXPECT_EQ(session->shown().connectionFee, QStringLiteral("0 dol. 3 c."));
    EXPECT_EQ(connection.elapsedAndFee(), QStringLiteral("0 h. 0 min. 15 sec.0 dol. 3 c."));
    // From its first tick the connection's start, provider and fee are in the store,
    // and the first backup slot holds its time and user.
    const QString cur = q(rk::kCounterCurrent);
    const struct {
        const char* name;
        int value;
    } startValues[] = {{rk::vSecundes, 50}, {rk::vStartMinutes, 59}, {rk::vHours, 23},   {rk::vYear, 1999},
                       {rk::vDay, 31},      {rk::vMonth, 12},        {rk::vDayOfWeek, 5}};
    for (const auto& v : startValues)
        EXPECT_EQ(readInt(HKLM, cur, q(v.name)), v.value) << v.name;
    EXPECT_EQ(readStr(HKLM, cur, q(rk::vProvider)), QStringLiteral("ISP"));
    EXPECT_EQ(readStr(HKLM, cur, q(rk::vFee)), QStringLiteral("0 dol. 3 c."));
    EXPECT_EQ(readInt(HKLM, cur, q(rk::vBackup)), 1);
    EXPECT_EQ(readInt(HKLM, cur, QStringLiteral("bTime")), 15);
    EXPECT_EQ(readStr(HKLM, cur, QStringLiteral("bUser")), QStringLiteral("alice"));

    env.clock.set(2000, 1, 1, 0, 0, 0);
    session->tick();
    EXPECT_EQ(session->shown().provider, QStringLiteral("ISP"));
    EXPECT_EQ(session->shown().user, QStringLiteral("alice"));
    EXPECT_EQ(money(), 3);
    // The slots take turns, so a tick cut short leaves the other one whole.
    EXPECT_EQ(readInt(HKLM, cur, q(rk::vBackup)), 0);
    EXPECT_EQ(readInt(HKLM, cur, QStringLiteral("Time")), 25);
    EXPECT_EQ(readInt(HKLM, cur, QStringLiteral("CDay")), 1);
    EXPECT_EQ(readInt(HKLM, cur, QStringLiteral("CDayOfWeek")), 6);

    const struct {
        int hour, minute, second;
        bool holiday;
        int money;
    } steps[] = {
        {0, 0, 35, false, 10},  // a minute elapsed: Saturday's night rate
        {7, 59, 30, false, 17},  // a long gap charges one minute
        {8, 0, 30, false, 37},  // into the day interval
        {8, 1, 30, true, 87},  // the holiday tariff
    };
    for (const auto& step : steps) {
        session->setHoliday(step.holiday);
        env.clock.set(2000, 1, 1, step.hour, step.minute, step.second);
        session->tick();
        EXPECT_EQ(money(), step.money) << step.hour << ":" << step.minute;
    }
    EXPECT_EQ(session->counterPeriod().fee(), 87);

    env.setLine(false);
    env.clock.set(2000, 1, 1, 8, 1, 40);
    session->tick();
    EXPECT_EQ(connection.state(), ConnectionState::Idle);
    EXPECT_FALSE(session->shown().connectedPicture);
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running));
    EXPECT_EQ(restores, 1);  // "Maxd" = 1

    const auto all = records();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].FeeCents, 87);
    EXPECT_EQ(all[0].DurationSeconds, 8 * 3600 + 1 * 60 + 30 - (23 * 3600 + 59 * 60 + 35) + 86400);
    EXPECT_EQ(all[0].providerName(), QStringLiteral("ISP"));
    EXPECT_EQ(all[0].userName(), QStringLiteral("alice"));
    EXPECT_EQ(all[0].StartTime, (platform::LocalDateTime{1999, 12, 31, 23, 59, 50}));
    EXPECT_EQ(all[0].EndTime, (platform::LocalDateTime{2000, 1, 1, 8, 1, 40}));
    EXPECT_EQ(QFileInfo(history::historyFile(env.programFolder())).size(), history::kRecordSize);
    EXPECT_TRUE(errors.isEmpty() && failures.isEmpty()) << errors.join('\n').toStdString();
}

TEST_F(SessionTest, ChargingRuleOverGapsAndLongConnections)
{
    env.setLine(true);
    session->tick();
    EXPECT_EQ(money(), 3);
    env.clock.advance(3 * 60);  // three minutes late: one charge (Saturday night)
    session->tick();
    EXPECT_EQ(money(), 10);
    env.clock.advance(60 * 60);  // exactly an hour: still one charge
    session->tick();
    EXPECT_EQ(money(), 17);
    env.clock.advance(2 * 86400);  // over a day: the elapsed time is not cut
    session->tick();
    EXPECT_EQ(session->connection().elapsedSeconds(), 15 + 3 * 60 + 3600 + 2 * 86400);
}

TEST_F(SessionTest, StartZeroesTheFeeOfThePreviousConnection)
{
    writeInt(HKLM, q(rk::kCounterCurrent), q(rk::vMoney), 999);
    writeSlot("ISP", "5", "", 0, 0, 0, 0);
    env.setLine(true);
    session->tick();
    EXPECT_EQ(money(), 0);
    EXPECT_EQ(readStr(HKLM, q(rk::kCounterCurrent), q(rk::vFee)), QStringLiteral("0 dol. 0 c."));
}

TEST_F(SessionTest, MissingTariffsChargeNothingAndSaySo)
{
    struct Case {
        const char* name;
        const char* provider;
        const char* shown;
    } cases[] = {
        {"no slot for the provider", "Other", "No tariffs for provider"},
        {"no provider at all", "", "No tariffs for provider"},
        {"slot without a profile", "ISP", "No tariff for this day"},
    };
    writeSlot("ISP", "5", "", 0, 0, 0, 0);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        env.clock.set(1999, 12, 31, 12, 0, 0);
        writeStr(HKCU, q(rk::kRemoteAccess), q(rk::vDefault), q(c.provider));
        env.setLine(true);
        session->tick();
        env.clock.advance(60);
        session->tick();
        EXPECT_EQ(session->shown().connectionFee, q(c.shown));
        EXPECT_EQ(session->connection().fee(), 0);
        env.setLine(false);
        session->tick();
    }
    EXPECT_EQ(records().size(), 3u);
    EXPECT_TRUE(errors.isEmpty());
}

TEST_F(SessionTest, MonitoringOffSplitsTheConnection)
{
    env.setLine(true);
    session->tick();
    env.clock.advance(30);
    session->setMonitoringPaused(true);
    session->tick();
    EXPECT_EQ(session->connection().state(), ConnectionState::Idle);
    EXPECT_EQ(records().size(), 1u);
    env.clock.advance(5);
    session->setMonitoringPaused(false);
    session->tick();
    EXPECT_EQ(session->connection().state(), ConnectionState::Counting);
    env.clock.advance(30);
    session->tick();
    env.setLine(false);
    session->tick();
    const auto all = records();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].StartTime.second, 50);
    EXPECT_EQ(all[1].StartTime.second, 25);
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running));
}

// A program killed while it counts leaves the marker open; the next start takes the
// connection from the backup slot the last tick completed.
TEST_F(SessionTest, NextStartRecoversAConnectionThatACrashCutShort)
{
    env.setLine(true);
    session->tick();
    env.clock.advance(100);
    session->tick();
    session.reset();  // killed: no closing steps
    ASSERT_EQ(marker(), static_cast<int>(RunMarker::ConnectionOpen));
    ASSERT_TRUE(records().empty());

    env.setLine(false);
    start();
    EXPECT_EQ(recoveries, 1);
    const auto all = records();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].DurationSeconds, 115);
    EXPECT_EQ(all[0].FeeCents, 10);
    EXPECT_EQ(all[0].userName(), QStringLiteral("alice"));
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running));
    EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 1);
    // The recovered connection counts in the period's totals.
    EXPECT_EQ(session->counterPeriod().fee(), 10);
    EXPECT_EQ(session->counterPeriod().seconds(), 115);
}

TEST_F(SessionTest, ClosingStepsSaveTheCountedConnectionAndCloseTheMarker)
{
    env.setLine(true);
    session->tick();
    env.clock.advance(20);
    session->tick();
    session->closingSteps();
    EXPECT_FALSE(session->isRunning());
    EXPECT_EQ(marker(), static_cast<int>(RunMarker::Closed));
    ASSERT_EQ(records().size(), 1u);
    EXPECT_EQ(records()[0].DurationSeconds, 35);
}

// A store fault that comes back every second is raised once, and again only after a
// tick has succeeded in between.
TEST_F(SessionTest, TickFaultIsRaisedOncePerRun)
{
    writeStr(HKLM, q(rk::kCounterAll), q(rk::vDouble), QStringLiteral("not a number"));
    for (int i = 0; i < 3; ++i)
        session->tick();
    ASSERT_EQ(failures.size(), 1);
    EXPECT_FALSE(session->shown().tickCompleted);
    EXPECT_FALSE(session->ticking());

    writeInt(HKLM, q(rk::kCounterAll), q(rk::vDouble), 36525);
    session->tick();
    EXPECT_TRUE(session->shown().tickCompleted);
    writeStr(HKLM, q(rk::kCounterAll), q(rk::vDouble), QStringLiteral("not a number"));
    session->tick();
    EXPECT_EQ(failures.size(), 2);
}

// Another program holds the store's write lock (BEGIN EXCLUSIVE) across line changes:
// the ticks that meet it say nothing and are made again, and the connection keeps the
// moment its line came up and is saved once.
TEST_F(SessionTest, ALockedStoreLosesNoLineChangeAndRaisesNoFailure)
{
    env.clock.set(2000, 1, 5, 10, 0, 0);  // a Wednesday
    struct Case {
        const char* name;
        bool upBeforeLock;  // counting already when the lock comes
        bool downWhileLocked;  // the line's end reaches the store before the lock
        int lockedTicks;
        int duration;  // of the saved connection, connect delay included
    };
    const Case cases[] = {
        {"the line comes up while the store is locked", false, false, 5, 15 + 5 + 10},
        {"it comes up and goes down while the store is locked", false, true, 20, 15 + 20},
        // Saved as of its last counting tick, before the lock.
        {"it goes down while the store is locked", true, true, 5, 15},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        failures.clear();
        errors.clear();
        const std::size_t before = records().size();
        env.setLine(true);
        platform::LocalDateTime seen{};
        if (c.upBeforeLock) {
            seen = platform::localNow();
            session->tick();
            env.clock.advance(10);
            ASSERT_EQ(session->connection().state(), ConnectionState::Counting);
        }
        if (c.downWhileLocked && c.upBeforeLock)
            env.setLine(false);
        {
            StoreLock lock(env.registryFile());
            for (int i = 0; i < c.lockedTicks; ++i) {
                if (i == 0 && !c.upBeforeLock)
                    seen = platform::localNow();
                session->tick();
                env.clock.advance(1);
            }
        }
        // The line's end that waited for the lock, as the registry tool writes it.
        if (c.downWhileLocked && !c.upBeforeLock)
            env.setLine(false);
        if (!c.downWhileLocked) {
            session->tick();  // counting from when the line came up
            EXPECT_EQ(marker(), static_cast<int>(RunMarker::ConnectionOpen));
            env.clock.advance(10);
            session->tick();
            env.setLine(false);
            env.clock.advance(1);
        }
        session->tick();
        EXPECT_EQ(session->connection().state(), ConnectionState::Idle);
        EXPECT_EQ(marker(), static_cast<int>(RunMarker::Running));
        EXPECT_TRUE(failures.isEmpty()) << failures.join('|').toStdString();
        EXPECT_TRUE(errors.isEmpty()) << errors.join('|').toStdString();
        const auto all = records();
        ASSERT_EQ(all.size(), before + 1);
        EXPECT_EQ(all.back().StartTime, seen);
        EXPECT_EQ(all.back().DurationSeconds, c.duration);
        env.clock.advance(60);
    }
}

// A lock that outlasts a passing write is told, once, with the store's own words.
TEST_F(SessionTest, ALockThatLastsIsToldOnce)
{
    env.setLine(true);
    session->tick();
    StoreLock lock(env.registryFile());
    for (int i = 0; i < 5; ++i) {
        env.clock.advance(10);
        session->tick();
    }
    EXPECT_TRUE(failures.isEmpty()) << "a lock of 50 seconds is told";
    for (int i = 0; i < 5; ++i) {
        env.clock.advance(10);
        session->tick();
    }
    ASSERT_EQ(failures.size(), 1);
    EXPECT_TRUE(failures[0].contains(QStringLiteral("database is locked"))) << failures[0].toStdString();
}

// The statements that one store connection runs, counted as SQLite starts them.
class StatementCount {
public:
    explicit StatementCount(sqlite3* db)
        : m_db(db)
    {
        sqlite3_trace_v2(m_db, SQLITE_TRACE_STMT, &StatementCount::traced, this);
    }
    ~StatementCount() { sqlite3_trace_v2(m_db, 0, nullptr, nullptr); }
    int taken()
    {
        const int n = m_count;
        m_count = 0;
        return n;
    }

private:
    static int traced(unsigned, void* self, void*, void*)
    {
        ++static_cast<StatementCount*>(self)->m_count;
        return 0;
    }
    sqlite3* m_db;
    int m_count = 0;
};

TEST_F(SessionTest, IdleTicksReadTheStoreAgainOnlyOnceSomeoneWroteIt)
{
    writeInt(HKCU, q(rk::kBudget), q(rk::vOnOff), 0);
    session->tick();
    StatementCount statements(platform::processStore()->handle());
    // Nothing written since: the tick only asks whether anything was.
    for (int i = 0; i < 3; ++i) {
        env.clock.set(2000, 1, 1, 0, 0, i);
        session->tick();
        EXPECT_EQ(statements.taken(), 1) << "tick " << i;
        EXPECT_TRUE(session->shown().tickCompleted);
    }

    // Another connection, as the other program or the dial-up hook's registry tool
    // would write: the budget and the period's start, then the line.
    {
        auto other = platform::openRegistryStore(platform::defaultRegistryFile());
        platform::Registry outside(other);
        outside.setRootKey(HKCU);
        ASSERT_TRUE(outside.openKey(q(rk::kBudget), false));
        outside.writeInteger(q(rk::vOnOff), 1);
        outside.writeInteger(q(rk::vBudgetMoney), 7);
        outside.writeInteger(q(rk::vBudgetCents), 0);
        outside.writeInteger(q(rk::vBudgetReserve), 0);
        outside.setRootKey(HKLM);
        ASSERT_TRUE(outside.openKey(q(rk::kCounterAll), false));
        outside.writeInteger(q(rk::vDay), 2);
    }
    session->tick();
    EXPECT_GT(statements.taken(), 1);
    EXPECT_EQ(session->shown().budget, session->budgetText());
    EXPECT_NE(session->shown().budget, QString(14, QLatin1Char('-')));
    EXPECT_EQ(session->shown().period.since, session->periodView().since);
    const QString since = session->shown().period.since;
    statements.taken();
    session->tick();
    EXPECT_EQ(statements.taken(), 1);
    EXPECT_EQ(session->shown().period.since, since);

    {
        auto other = platform::openRegistryStore(platform::defaultRegistryFile());
        platform::Registry outside(other);
        outside.setRootKey(HKLM);
        ASSERT_TRUE(outside.openKey(q(rk::kRemoteAccessService), true));
        outside.writeBinaryData(q(rk::vRemoteConnection), QByteArray("\1\0\0\0", 4));
    }
    session->tick();
    EXPECT_EQ(session->connection().state(), ConnectionState::Counting);

    // A write of this process's own (Preferences, the line through the fixture) is
    // seen as soon.
    env.setLine(false);
    session->tick();
    EXPECT_EQ(session->connection().state(), ConnectionState::Idle);
    EXPECT_EQ(records().size(), 1u);
    // The end wrote the store: the next tick reads it once more, the one after not.
    session->tick();
    EXPECT_GT(statements.taken(), 1);
    session->tick();
    EXPECT_EQ(statements.taken(), 1);
    writeInt(HKCU, q(rk::kBudget), q(rk::vOnOff), 0);
    session->tick();
    EXPECT_EQ(session->shown().budget, QString(14, QLatin1Char('-')));
    env.setLine(true);
    session->tick();
    EXPECT_EQ(session->connection().state(), ConnectionState::Counting);
    EXPECT_TRUE(failures.isEmpty()) << failures.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(errors.isEmpty()) << errors.join(QLatin1Char('\n')).toStdString();
}

// The store's file goes from under the running program, deleted or with another file
// put in its place: the tick says so once, naming the file, and the connection goes on
// being counted from the file it opened and reaches the history at the end.
TEST_F(SessionTest, AStoreThatVanishesIsToldOnceAndTheConnectionIsKept)
{
    for (const bool replaced : {false, true}) {
        SCOPED_TRACE(replaced ? "replaced" : "deleted");
        if (replaced)
            SetUp();  // a fresh store, the last one gone
        const QString file = env.registryFile();
        env.setLine(true);
        session->tick();
        env.clock.advance(30);
        session->tick();
        ASSERT_EQ(session->connection().state(), ConnectionState::Counting);
        ASSERT_TRUE(failures.isEmpty()) << failures.join(QLatin1Char('\n')).toStdString();
        const int counted = session->connection().elapsedSeconds();

        ASSERT_TRUE(QFile::remove(file));
        if (replaced) {
            QFile other(file + QStringLiteral(".other"));
            ASSERT_TRUE(other.open(QIODevice::WriteOnly));
            other.close();
            ASSERT_TRUE(QFile::rename(other.fileName(), file));
        }
        for (int i = 0; i < 5; ++i) {
            env.clock.advance(1);
            session->tick();
        }
        ASSERT_EQ(failures.size(), 1);
        EXPECT_TRUE(failures[0].contains(QStringLiteral("\"%1\"").arg(file))) << failures[0].toStdString();
        EXPECT_TRUE(failures[0].contains(QStringLiteral("deleted or replaced"))) << failures[0].toStdString();
        EXPECT_TRUE(session->shown().tickCompleted);
        EXPECT_EQ(session->connection().state(), ConnectionState::Counting);
        EXPECT_EQ(session->connection().elapsedSeconds(), counted + 5);
        // Nothing made in its place.
        EXPECT_EQ(QFileInfo::exists(file), replaced);
        if (replaced) {
            EXPECT_EQ(QFileInfo(file).size(), 0);
        }

        session->closingSteps();
        ASSERT_EQ(records().size(), 1u);
        EXPECT_EQ(records()[0].DurationSeconds, counted + 5);
        EXPECT_EQ(failures.size(), 1);

        QFile::remove(history::historyFile(env.programFolder()));
        QFile::remove(file);
        failures.clear();
        session.reset();
        platform::resetProcessStore();
    }
}

TEST(SessionEnums, StoredNumbersAndWhatTheyMean)
{
    const struct {
        std::int32_t stored;
        RunMarker marker;
    } markers[] = {{0, RunMarker::Closed},
                   {1, RunMarker::Running},
                   {2, RunMarker::ConnectionOpen},
                   {5, RunMarker::Running},
                   {-1, RunMarker::Running}};
    for (const auto& m : markers)
        EXPECT_EQ(runMarkerFrom(m.stored), m.marker) << m.stored;

    EXPECT_EQ(budget::alarmKindFrom(1), budget::AlarmKind::SoundFile);
    EXPECT_EQ(budget::alarmKindFrom(3), budget::AlarmKind::Beep);
    EXPECT_EQ(budget::alarmKindFrom(2), budget::AlarmKind::Silent);
    // A reset mode of no button is kept as stored, so the Counter dialog writes it back.
    EXPECT_EQ(static_cast<int>(period::resetModeFrom(7)), 7);
    EXPECT_EQ(period::nextResetText(period::resetModeFrom(7), 14, 2000, 3, 5),
              period::nextResetText(period::ResetMode::Unset, 14, 2000, 3, 5));
}

}  // namespace
