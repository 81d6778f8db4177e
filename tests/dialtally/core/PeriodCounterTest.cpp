// The counter period on its own: its totals from the history, a running connection on
// top of them, the reset with and without a report, and the rule that makes it due.
#include "dialtally/core/PeriodCounter.h"

#include "support/core/CoreFakes.h"
#include "support/HistoryRecords.h"
#include "support/core/RegistryShorthand.h"

#include <QDir>
#include <QFile>
#include <QStringList>

#include <gtest/gtest.h>

#include <climits>

using namespace testing_support;

namespace {

class PeriodCounterTest : public ::testing::Test {
protected:
    PeriodCounterTest()
    {
        env.clock.set(1999, 3, 14, 12, 0, 0);
        env.install(0);
        context.programPath = env.programFolder();
        QObject::connect(&period, &PeriodCounter::errorRaised, [this](const QString& t) { errors << t; });
        for (const auto& record : {recordOf(1, 3, 40, 600), recordOf(14, 3, 25, 300)})
            EXPECT_TRUE(history::append(env.programFolder(), record));
    }

    // A connection counted for `seconds` with `fee` cents, as the session counts it.
    void countedConnection(std::int32_t seconds)
    {
        connection.seeLine(true);
        connection.noticeLine();
        connection.begin(platform::localNow());
        connection.open(seconds, QStringLiteral("ISP"), QStringLiteral("alice"));
        connection.markCounting();
        connection.count(platform::localNow());
    }

    QString reportFile() const { return env.programFolder() + QStringLiteral("/Reports/1999-3-14.rpt"); }

    CoreEnvironment env;
    SessionContext context;
    PeriodCounter period{context};
    ConnectionCount connection;
    QStringList errors;
};

TEST_F(PeriodCounterTest, TheTotalsComeFromTheHistoryAndARunningConnectionAddsToThem)
{
    period.takeStartUpSums();
    EXPECT_EQ(period.fee(), 65);
    EXPECT_EQ(period.seconds(), 900);
    EXPECT_EQ(period.todayFee(), 25);
    EXPECT_EQ(period.feeBefore(), 65);

    period.beginConnection();
    period.chargeConnection(10);
    period.countConnection(120);
    EXPECT_EQ(period.fee(), 75);
    EXPECT_EQ(period.seconds(), 1020);
    period.chargeConnection(12);
    period.countConnection(180);
    EXPECT_EQ(period.fee(), 77) << "the connection's fee so far, not added up again";
    EXPECT_EQ(period.seconds(), 1080);
    period.countConnection(INT32_MAX);
    EXPECT_EQ(period.seconds(), INT32_MAX) << "stops at the largest count";
}

TEST_F(PeriodCounterTest, AResetEmptiesTheHistoryAndARunningConnectionStartsTheNewPeriod)
{
    writeInt(HKLM, q(rk::kUsers), q(rk::vCrash), 4);
    period.takeStartUpSums();
    countedConnection(90);
    ASSERT_TRUE(period.reset(1999, 3, 14, true, connection));
    EXPECT_TRUE(QFile::exists(reportFile()));
    EXPECT_TRUE(history::readAll(env.programFolder()).empty());
    EXPECT_EQ(period.seconds(), 90);
    EXPECT_EQ(period.fee(), connection.fee());
    EXPECT_EQ(period.feeBefore(), 0);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDay)), 14);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vMonth)), 3);
    EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vDouble)), platform::todayDayNumber());
    EXPECT_EQ(readInt(HKLM, q(rk::kUsers), q(rk::vCrash)), 0);
    EXPECT_TRUE(errors.isEmpty()) << errors.join('\n').toStdString();

    // Without a connection the new period starts empty.
    ASSERT_TRUE(period.reset(1999, 3, 14, false, ConnectionCount{}));
    EXPECT_EQ(period.seconds(), 0);
    EXPECT_EQ(period.fee(), 0);
}

TEST_F(PeriodCounterTest, AReportThatCannotBeWrittenLeavesThePeriodAsItWas)
{
    // A folder where the report should go.
    ASSERT_TRUE(QDir().mkpath(reportFile()));
    period.takeStartUpSums();
    EXPECT_FALSE(period.reset(1999, 3, 14, true, connection));
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].startsWith(QStringLiteral("Can't write the report ")));
    EXPECT_TRUE(errors[0].endsWith(QStringLiteral(". The counter was not reset.")));
    EXPECT_EQ(history::readAll(env.programFolder()).size(), 2u);
    EXPECT_EQ(period.fee(), 65);
}

TEST_F(PeriodCounterTest, TheRuleMakesTheResetDueAndTheTwoWeeklyDayMovesOn)
{
    const struct {
        const char* name;
        period::ResetMode mode;
        int startMonth;
        int today;
        bool due;
        int resetDayAfter;
    } cases[] = {
        {"monthly, a period of last month", period::ResetMode::Monthly, 2, 14, true, 14},
        {"monthly, this month's period", period::ResetMode::Monthly, 3, 14, false, 14},
        {"two-weekly on its day", period::ResetMode::TwoWeekly, 3, 14, true, 1},
        {"never", period::ResetMode::Never, 1, 14, false, 14},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        env.clock.set(1999, 3, c.today, 12, 0, 0);
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vMonth), c.startMonth);
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), static_cast<int>(c.mode));
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset14), 14);
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vReport), 0);
        period.loadRule();
        EXPECT_EQ(period.automaticResetCheck(connection), c.due);
        EXPECT_EQ(period.resetDay(), c.resetDayAfter);
        EXPECT_EQ(readInt(HKLM, q(rk::kCounterAll), q(rk::vReset14)), c.resetDayAfter);
    }
}

TEST_F(PeriodCounterTest, TheCounterDialogsRuleIsTakenOverWithOrWithoutItsDay)
{
    period.setRule(period::ResetMode::TwoWeekly, 1);
    EXPECT_EQ(period.resetMode(), period::ResetMode::TwoWeekly);
    EXPECT_EQ(period.resetDay(), 1);
    period.setRule(period::ResetMode::Monthly, std::nullopt);
    EXPECT_EQ(period.resetMode(), period::ResetMode::Monthly);
    EXPECT_EQ(period.resetDay(), 1) << "kept for the next two-weekly choice";
}

}  // namespace
