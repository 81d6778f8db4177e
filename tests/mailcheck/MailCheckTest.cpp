// Postpeek's check cycle on its own, with no window: the plain logic.
#include "MailCheck.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

QString q(const char* text)
{
    return QString::fromLatin1(text);
}

}  // namespace

// ---- plain logic --------------------------------------------------------------------------

TEST(MailCheckText, SizesAndCaptions)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    struct Size {
        std::int64_t bytes;
        const char* text;
    };
    const Size sizes[] = {
        {0, "0.00 KB"},
        {1536, "1.50 KB"},
        {3328, "3.25 KB"},
        {1048576, "1,024.00 KB"},
        // Totals past 2 GB stay exact: they are 64-bit.
        {5LL * 1024 * 1024 * 1024, "5,242,880.00 KB"},
    };
    for (const Size& s : sizes)
        EXPECT_EQ(mailcheck::sizeText(s.bytes, english), q(s.text)) << s.bytes;
    EXPECT_EQ(mailcheck::sizeText(1048576, QLocale(QLocale::German, QLocale::Germany)), q("1.024,00 KB"));

    EXPECT_EQ(mailcheck::accountCaption(QStringLiteral("home"), 2, 3328, english),
              q("home ( Total messages: 2 Total size: 3.25 KB )"));
    EXPECT_EQ(mailcheck::accountCaption(QStringLiteral("empty"), 0, 0, english),
              q("empty ( Total messages: 0 Total size: 0.00 KB )"));
}

TEST(MailCheckText, TimerIntervalNeverFiresContinuously)
{
    EXPECT_EQ(mailcheck::timerInterval(5), 300000);
    EXPECT_EQ(mailcheck::timerInterval(1), 60000);
    EXPECT_EQ(mailcheck::timerInterval(0), 0);
    EXPECT_EQ(mailcheck::timerInterval(-4), 0);
    EXPECT_EQ(mailcheck::timerInterval(INT_MAX), INT_MAX);
}

TEST(MailCheckRanges, RowsBelongToTheirAccountAndShiftAfterADelete)
{
    // A (2 rows: 0-1), an account with none, B (3 rows: 2-4).
    mailcheck::AccountTable accounts;
    accounts[0].FirstItem = 0;
    accounts[0].LastItem = 1;
    accounts[2].FirstItem = 2;
    accounts[2].LastItem = 4;

    const int owner[] = {0, 0, 2, 2, 2, -1};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(mailcheck::FindAccountOfItem(accounts, row), owner[row]) << row;
    EXPECT_EQ(mailcheck::MessageNumberOnServer(accounts, 2, 2), 1);
    EXPECT_EQ(mailcheck::MessageNumberOnServer(accounts, 2, 4), 3);

    // Deleting a row of A moves B up; the account without rows stays below 0.
    mailcheck::ShiftRangesAfterDelete(accounts, 0);
    EXPECT_EQ(accounts[0].LastItem, 0);
    EXPECT_EQ(accounts[1].FirstItem, -2);
    EXPECT_EQ(accounts[2].FirstItem, 1);
    EXPECT_EQ(accounts[2].LastItem, 3);
    EXPECT_EQ(mailcheck::FindAccountOfItem(accounts, 1), 2);

    // A's last row gone: its range is empty and owns nothing.
    mailcheck::ShiftRangesAfterDelete(accounts, 0);
    EXPECT_EQ(accounts[0].FirstItem, 0);
    EXPECT_EQ(accounts[0].LastItem, -1);
    EXPECT_EQ(mailcheck::FindAccountOfItem(accounts, 0), 2);
}
