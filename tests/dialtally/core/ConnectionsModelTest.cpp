// The Connections list's texts and sort values: money, durations and dates as the rows
// show them, and how the sort reads them back and compares rows.
#include "dialtally/core/ConnectionsModel.h"

#include <QString>
#include <QStringList>

#include <gtest/gtest.h>

#include <cstdint>
#include <utility>

namespace {

TEST(ConnectionsTexts, MoneyDurationDateAndTime)
{
    const std::pair<std::int32_t, const char*> money[] = {
        {0, "0 dol. 0 c."},        {5, "0 dol. 5 c."},   {100, "1 dol. 0 c."},    {1234, "12 dol. 34 c."},
        {10050, "100 dol. 50 c."}, {-5, "0 dol. -5 c."}, {-105, "-1 dol. -5 c."}, {-100, "-1 dol. 0 c."},
    };
    for (const auto& [cents, text] : money)
        EXPECT_EQ(connections::FormatMoney(cents), QString::fromLatin1(text)) << cents;

    const std::pair<std::int32_t, const char*> durations[] = {
        {0, "0:0:0"},   {3725, "1:2:5"},   {90061, "25:1:1"},   {360000, "100:0:0"},
        {59, "0:0:59"}, {-125, "0:-2:-5"}, {-3725, "-1:-2:-5"},
    };
    for (const auto& [seconds, text] : durations) {
        EXPECT_EQ(connections::FormatDuration(seconds), QString::fromLatin1(text)) << seconds;
        // The duration sort reads every text back to its number, negative ones too.
        EXPECT_EQ(connections::durationValue(connections::FormatDuration(seconds)), seconds) << seconds;
    }

    const platform::LocalDateTime morning{1999, 10, 5, 9, 5, 0};
    EXPECT_EQ(connections::FormatDateOrTime(morning, true), QStringLiteral("1999/10/5"));
    EXPECT_EQ(connections::FormatDateOrTime(morning, false), QStringLiteral("9:5:0"));
    const platform::LocalDateTime midnight{2000, 1, 1, 0, 0, 0};
    EXPECT_EQ(connections::FormatDateOrTime(midnight, false), QStringLiteral("0:0:0"));
    EXPECT_EQ(connections::FormatDateOrTime(midnight, true), QStringLiteral("2000/1/1"));
}

TEST(ConnectionsTexts, SortValuesAreReadAsNumbers)
{
    const std::pair<const char*, std::int64_t> numbers[] = {
        {"12 dol.", 12}, {"  7x", 7}, {"-3:", -3}, {"+4", 4},
        {"abc", 0},      {"", 0},     {"- 5", 0},  {"99999999999999", 2147483647},
    };
    for (const auto& [text, value] : numbers)
        EXPECT_EQ(connections::leadingNumber(QString::fromLatin1(text)), value) << text;

    EXPECT_EQ(connections::moneyValue(QStringLiteral("12 dol. 34 c.")), 1234);
    EXPECT_EQ(connections::moneyValue(QStringLiteral("0 dol. -5 c.")), -5);
    EXPECT_EQ(connections::moneyValue(QStringLiteral("7")), 700);
    EXPECT_EQ(connections::durationValue(QStringLiteral("1:2:5")), 3725);
    EXPECT_EQ(connections::durationValue(QStringLiteral("2")), 7200);
}

TEST(ConnectionsTexts, RowsCompareByKeyAscending)
{
    const auto row = [](const char* user, const char* provider, const char* money, const char* time) {
        return QStringList{QString::fromLatin1(user), QString::fromLatin1(provider), QString::fromLatin1(money),
                           QString::fromLatin1(time)};
    };
    struct Case {
        QStringList a, b;
        int key;
        int expected;
    } cases[] = {
        {row("Zed", "", "", ""), row("alice", "", "", ""), -1, -1},  // capitals first
        {row("alice", "", "", ""), row("alice", "", "", ""), -1, 0},
        {row("", "", "", ""), row("a", "", "", ""), -1, -1},
        {row("x", "b", "", ""), row("x", "a", "", ""), 0, 1},
        {row("", "", "9 dol. 99 c.", ""), row("", "", "10 dol. 0 c.", ""), 1, -1},
        {row("", "", "", "0:9:59"), row("", "", "", "0:10:0"), 2, -1},
        {row("b", "b", "2 dol. 0 c.", "1:0:0"), row("a", "a", "1 dol. 0 c.", "0:0:1"), 3, 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(connections::compareRows(c.a, c.b, c.key), c.expected)
            << c.a.join('|').toStdString() << " key " << c.key;
}

}  // namespace
