// The Graphs dialog's figures: the totals per user, provider and hour summed from the
// records, the charts' texts and where the resize rule puts the controls.
#include "dialtally/core/GraphTotals.h"
#include "support/HistoryRecords.h"

#include <gtest/gtest.h>

#include <initializer_list>
#include <utility>
#include <vector>

namespace {

using Rec = testing_support::RecordAt;
using testing_support::recordOf;

std::vector<history::HistoryRecord> recordsOf(std::initializer_list<Rec> recs)
{
    std::vector<history::HistoryRecord> records;
    for (const Rec& r : recs)
        records.push_back(recordOf(r));
    return records;
}

graphs::GraphTotals totalsOf(const std::vector<history::HistoryRecord>& records)
{
    graphs::GraphTotals totals;
    for (const auto& record : records)
        totals.add(record);
    return totals;
}

}  // namespace

TEST(GraphTotals, UsersAndProvidersInOrderOfFirstAppearanceComparedExactly)
{
    const auto totals = totalsOf(recordsOf({
        {"bob", "Alpha", 9, 0, 150},
        {"alice", "Beta", 10, 0, 99},
        {"bob", "Alpha", 11, 0, 275},
        {"Bob", "alpha", 12, 0, 1},
    }));
    ASSERT_EQ(totals.UserTotals.size(), 3u);
    EXPECT_EQ(totals.UserTotals[0].name, QByteArray("bob"));
    EXPECT_EQ(totals.UserTotals[0].fee, 425);
    EXPECT_EQ(totals.UserTotals[1].name, QByteArray("alice"));
    EXPECT_EQ(totals.UserTotals[1].fee, 99);
    EXPECT_EQ(totals.UserTotals[2].name, QByteArray("Bob"));

    ASSERT_EQ(totals.ProviderTotals.size(), 3u);
    EXPECT_EQ(totals.ProviderTotals[0].name, QByteArray("Alpha"));
    EXPECT_EQ(totals.ProviderTotals[0].connections, 2);
    EXPECT_EQ(totals.ProviderTotals[0].fee, 425);
    EXPECT_EQ(totals.ProviderTotals[2].name, QByteArray("alpha"));
    EXPECT_EQ(totals.ProviderTotals[2].connections, 1);
}

TEST(GraphTotals, ConnectionsAndFeesCountInTheHourOfTheStart)
{
    const auto totals = totalsOf(recordsOf({
        {"u", "p", 0, 30, 120},
        {"u", "p", 23, 59, 80},
        {"u", "p", 23, 0, 5},
        {"u", "p", 25, 0, 1000},  // a damaged record: counts for no hour
    }));
    EXPECT_EQ(totals.HourTotals[0].connections, 1);
    EXPECT_EQ(totals.HourTotals[0].fee, 120);
    EXPECT_EQ(totals.HourTotals[23].connections, 2);
    EXPECT_EQ(totals.HourTotals[23].fee, 85);
    int connections = 0;
    for (const auto& hour : totals.HourTotals)
        connections += hour.connections;
    EXPECT_EQ(connections, 3);
    EXPECT_EQ(totals.UserTotals[0].fee, 1205);
}

TEST(GraphTotals, EveryUserAndProviderKeepsAnEntryBeyondTwentyAndTwelve)
{
    std::vector<history::HistoryRecord> records;
    for (int i = 0; i < 30; ++i) {
        auto r = recordOf({"", "", 8, 0, 100 + i});
        r.setUserName(QStringLiteral("user%1").arg(i));
        r.setProviderName(QStringLiteral("isp%1").arg(i));
        records.push_back(r);
    }
    const auto totals = totalsOf(records);
    ASSERT_EQ(totals.UserTotals.size(), 30u);
    ASSERT_EQ(totals.ProviderTotals.size(), 30u);
    EXPECT_EQ(totals.UserTotals[29].name, QByteArray("user29"));
    EXPECT_EQ(totals.ProviderTotals[29].fee, 129);
}

TEST(GraphTexts, HourColumnsAndWholeUnits)
{
    const std::pair<int, int> hours[] = {{0, 24}, {1, 1}, {12, 12}, {23, 23}};
    for (const auto& [hour, column] : hours)
        EXPECT_EQ(graphs::hourColumn(hour), column) << hour;
    const std::pair<int, const char*> money[] = {{0, "0"}, {99, "0"}, {100, "1"}, {425, "4"}, {123456, "1234"}};
    for (const auto& [cents, text] : money)
        EXPECT_EQ(graphs::wholeUnitsText(cents), QString::fromLatin1(text)) << cents;
}

TEST(GraphLayout, FramesSplitTheHeightAndButtonsFollowTheBottomEdge)
{
    struct Case {
        QSize window;
        int frameHeight;
        int frameWidth;
        int buttonTop;
        int okLeft;
        int helpLeft;
    };
    const Case cases[] = {
        {{545, 459}, 193, 537, 396, 372, 456},
        {{745, 559}, 243, 737, 496, 572, 656},
        {{600, 460}, 193, 592, 397, 427, 511},  // the odd pixel is dropped
    };
    for (const Case& c : cases) {
        const auto layout = graphs::layoutFor(c.window);
        EXPECT_EQ(layout.upperChartBox, QRect(0, 0, c.frameWidth, c.frameHeight)) << c.window.width();
        EXPECT_EQ(layout.lowerChartBox, QRect(0, c.frameHeight, c.frameWidth, c.frameHeight));
        EXPECT_EQ(layout.buttonTop, c.buttonTop);
        EXPECT_EQ(layout.okLeft, c.okLeft);
        EXPECT_EQ(layout.helpLeft, c.helpLeft);
    }
}
