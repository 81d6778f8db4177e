// The Statistics dialog's figures: the per-user rows summed from the records, the
// money and rate texts and the list's sort rule.
#include "dialtally/core/Statistics.h"

#include "dialtally/core/ConnectionsModel.h"
#include "dialtally/core/History.h"
#include "support/HistoryRecords.h"

#include <QString>

#include <gtest/gtest.h>

#include <utility>

namespace {

using testing_support::userRecord;


TEST(StatisticsTexts, MoneyAndDuration)
{
    const std::pair<std::int64_t, const char*> money[] = {
        {0, "0 d. 0 c."}, {5, "0 d. 5 c."}, {355, "3 d. 55 c."}, {1000, "10 d. 0 c."}, {-105, "-1 d. -5 c."}};
    for (const auto& [cents, text] : money)
        EXPECT_EQ(statistics::moneyText(cents), QString::fromLatin1(text)) << cents;
    const std::pair<std::int64_t, const char*> durations[] = {{0, "0:0:0"},
                                                              {5405, "1:30:5"},
                                                              {90061, "25:1:1"},
                                                              {360000, "100:0:0"},
                                                              // A user's total may pass what one record can hold.
                                                              {3000000000LL, "833333:20:0"}};
    for (const auto& [seconds, text] : durations)
        EXPECT_EQ(connections::FormatDuration(seconds), QString::fromLatin1(text)) << seconds;
}

TEST(StatisticsRate, CrashesPerWholeConnectedHour)
{
    struct Case {
        int crashes;
        int seconds;
        const char* text;
    };
    const Case cases[] = {
        {1, 3599, "0"},
        {1, 3600, "1"},
        {1, 7200, "0.5"},
        {1, 10800, "0.333"},
        {5, 5400, "3.33"},
        {0, 720000, "0"},
        {1, 0, "0"},
        {7, -100, "0"},
        {4000, 3600, "4E+03"},
        {1, 36000000, "0.0001"},
        {1, 2147483647, "1.68E-06"},
        {2000, 5400, "1.33E+03"},
        {999, 3600, "999"},
        // A rate exactly half-way rounds to the even digit (Qt's own 'G' would give 117).
        {233, 7200, "116"},
        {235, 7200, "118"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(statistics::generalText(statistics::crashRate(c.crashes, c.seconds), 3, 2, QLatin1Char('.')),
                  QString::fromLatin1(c.text))
            << c.crashes << " crashes in " << c.seconds << " s";
    // The locale's decimal point.
    EXPECT_EQ(statistics::generalText(0.5, 3, 2, QLatin1Char(',')), QStringLiteral("0,5"));
}

TEST(StatisticsRows, OneRowPerExactNameInOrderOfFirstAppearance)
{
    const std::vector<history::HistoryRecord> records = {
        userRecord(QStringLiteral("alice"), 3600, 100), userRecord(QStringLiteral("Alice"), 10, 1),
        userRecord(QStringLiteral("alice"), 1800, 250), userRecord(QStringLiteral("alice"), 5, 5)};
    statistics::UserTally tally;
    for (const auto& record : records)
        tally.add(record);
    const auto& rows = tally.rows();
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].name, QByteArray("alice"));
    EXPECT_EQ(rows[0].connections, 3);
    EXPECT_EQ(rows[0].seconds, 5405);
    EXPECT_EQ(rows[0].cents, 355);
    EXPECT_EQ(rows[1].name, QByteArray("Alice"));
    EXPECT_EQ(rows[1].connections, 1);
}

TEST(StatisticsSort, ClickRuleOverTheProgramsLife)
{
    ColumnSort sort;
    constexpr Qt::SortOrder up = Qt::AscendingOrder, down = Qt::DescendingOrder;
    struct Step {
        const char* caption;
        Qt::SortOrder order;
        int key;
    };
    const Step steps[] = {
        {"Total fee", up, statistics::kByTotalFee},  // another column: ascending
        {"Total fee", down, statistics::kByTotalFee},  // the same again: reversed
        {"Total fee", up, statistics::kByTotalFee},        {"User name", up, statistics::kByUserName},
        {"No such column", down, statistics::kByUserName},  // the key stays, the order flips
        {"Connections", up, statistics::kByConnections},
    };
    for (const Step& s : steps) {
        statistics::applyColumnClick(sort, QString::fromLatin1(s.caption));
        EXPECT_EQ(sort.order, s.order) << s.caption;
        EXPECT_EQ(sort.key, s.key) << s.caption;
    }
}

TEST(StatisticsSort, NumbersCompareAsNumbersAndNamesByteForByte)
{
    using statistics::UserRow;
    const UserRow nine{"b", 9, 9 * 3600 + 59 * 60 + 59, 999};
    const UserRow ten{"a", 10, 10 * 3600, 1000};
    struct Case {
        int key;
        const UserRow& a;
        const UserRow& b;
        int ascending;
    };
    const Case cases[] = {
        {statistics::kByConnections, nine, ten, -1}, {statistics::kByTotalTime, nine, ten, -1},
        {statistics::kByTotalFee, nine, ten, -1},    {statistics::kByUserName, nine, ten, 1},
        {statistics::kByTotalFee, ten, ten, 0},
    };
    for (const Case& c : cases) {
        ColumnSort sort{c.key, Qt::AscendingOrder};
        EXPECT_EQ(statistics::compareRows(c.a, c.b, sort), c.ascending) << c.key;
        sort.order = Qt::DescendingOrder;
        EXPECT_EQ(statistics::compareRows(c.a, c.b, sort), -c.ascending) << c.key;
    }
    // Capitals before small letters, and bytes above 127 after both.
    const ColumnSort byName{statistics::kByUserName, Qt::AscendingOrder};
    EXPECT_LT(statistics::compareRows({"Zed"}, {"abe"}, byName), 0);
    EXPECT_LT(statistics::compareRows({"zed"}, {"\xc3\xa9mile"}, byName), 0);
    // Totals beyond what 32 bits hold still order.
    const UserRow big{"x", 1, 0, 30000000000LL};
    EXPECT_GT(statistics::compareRows(big, ten, {statistics::kByTotalFee, Qt::AscendingOrder}), 0);
}

}  // namespace
