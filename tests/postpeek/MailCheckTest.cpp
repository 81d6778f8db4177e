// Postpeek's check cycle on its own, with no window: the plain logic, the accounts and
// marks to and from the registry, and what the cycle reports through its signals.
#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"

#include "postpeek/core/MailCheck.h"
#include "common/RegistryNames.h"

#include <gtest/gtest.h>

#include <climits>
#include <utility>
#include <vector>

using namespace testing_support;
using postpeek::MailCheckCycle;

namespace {

QString accountKey(const QString& name)
{
    return q(rk::kEmailAccounts) + QLatin1Char('\\') + name;
}

void writeAccount(const QString& name, int checked)
{
    const QString key = accountKey(name);
    writeStr(HKCU, key, q(rk::vAccountUser), name);
    writeStr(HKCU, key, q(rk::vAccountPassword), QStringLiteral("pw"));
    writeStr(HKCU, key, q(rk::vAccountHost), QStringLiteral("127.0.0.1"));
    writeInt(HKCU, key, q(rk::vAccountPort), 110);
    writeInt(HKCU, key, q(rk::vAccountChecked), checked);
}

void writeSettings(int onOff, int autoCloseProgram)
{
    const QString key = q(rk::kEmail);
    for (const char* name : {rk::vAutoCheck, rk::vAutoMinimize, rk::vAutoClose, rk::vAutoRestore, rk::vEmailSystemTray})
        writeInt(HKCU, key, q(name), 0);
    writeInt(HKCU, key, q(rk::vOnOff), onOff);
    writeInt(HKCU, key, q(rk::vMinutes), 5);
    writeInt(HKCU, key, q(rk::vAutoCloseProgram), autoCloseProgram);
}

// Every report of the cycle, in order, as one line of text each.
struct Reports {
    explicit Reports(MailCheckCycle& cycle)
    {
        QObject::connect(&cycle, &MailCheckCycle::accountsCleared, [this] { lines << q("accounts cleared"); });
        QObject::connect(&cycle, &MailCheckCycle::accountAdded, [this](const QString& name, bool ticked) {
            lines << QStringLiteral("account %1 %2").arg(name, ticked ? q("x") : q("-"));
        });
        QObject::connect(&cycle, &MailCheckCycle::accountShown, [this](int index, const QString& caption, bool ticked) {
            lines << QStringLiteral("shown %1 %2 %3").arg(index).arg(caption, ticked ? q("x") : q("-"));
        });
        QObject::connect(&cycle, &MailCheckCycle::messagesCleared, [this] { lines << q("messages cleared"); });
        QObject::connect(&cycle, &MailCheckCycle::panelTextChanged, [this](int panel, const QString& text) {
            lines << QStringLiteral("panel %1 %2").arg(panel).arg(text);
        });
        QObject::connect(&cycle, &MailCheckCycle::trayTipChanged, [this](const QString& tip, int picture) {
            lines << QStringLiteral("tip %1 %2").arg(tip).arg(picture);
        });
        QObject::connect(&cycle, &MailCheckCycle::trayIconRemovalRequested, [this] { lines << q("remove tray icon"); });
        QObject::connect(&cycle, &MailCheckCycle::quitRequested, [this] { lines << q("quit"); });
    }
    QStringList lines;
};

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
        EXPECT_EQ(postpeek::sizeText(s.bytes, english), q(s.text)) << s.bytes;
    EXPECT_EQ(postpeek::sizeText(1048576, QLocale(QLocale::German, QLocale::Germany)), q("1.024,00 KB"));

    EXPECT_EQ(postpeek::accountCaption(QStringLiteral("home"), 2, 3328, english),
              q("home ( Total messages: 2 Total size: 3.25 KB )"));
    EXPECT_EQ(postpeek::accountCaption(QStringLiteral("empty"), 0, 0, english),
              q("empty ( Total messages: 0 Total size: 0.00 KB )"));
}

TEST(MailCheckText, TimerIntervalNeverFiresContinuously)
{
    EXPECT_EQ(postpeek::timerInterval(5), 300000);
    EXPECT_EQ(postpeek::timerInterval(1), 60000);
    EXPECT_EQ(postpeek::timerInterval(0), 0);
    EXPECT_EQ(postpeek::timerInterval(-4), 0);
    EXPECT_EQ(postpeek::timerInterval(INT_MAX), INT_MAX);
}

TEST(MailCheckRanges, RowsBelongToTheirAccountAndShiftAfterADelete)
{
    // A (2 rows: 0-1), an account with none, B (3 rows: 2-4).
    postpeek::AccountTable accounts;
    accounts[0].FirstItem = 0;
    accounts[0].LastItem = 1;
    accounts[2].FirstItem = 2;
    accounts[2].LastItem = 4;

    const int owner[] = {0, 0, 2, 2, 2, -1};
    for (int row = 0; row < 6; ++row)
        EXPECT_EQ(postpeek::FindAccountOfItem(accounts, row), owner[row]) << row;
    EXPECT_EQ(postpeek::MessageNumberOnServer(accounts, 2, 2), 1);
    EXPECT_EQ(postpeek::MessageNumberOnServer(accounts, 2, 4), 3);

    // Deleting a row of A moves B up; the account without rows stays below 0.
    postpeek::ShiftRangesAfterDelete(accounts, 0);
    EXPECT_EQ(accounts[0].LastItem, 0);
    EXPECT_EQ(accounts[1].FirstItem, -2);
    EXPECT_EQ(accounts[2].FirstItem, 1);
    EXPECT_EQ(accounts[2].LastItem, 3);
    EXPECT_EQ(postpeek::FindAccountOfItem(accounts, 1), 2);

    // A's last row gone: its range is empty and owns nothing.
    postpeek::ShiftRangesAfterDelete(accounts, 0);
    EXPECT_EQ(accounts[0].FirstItem, 0);
    EXPECT_EQ(accounts[0].LastItem, -1);
    EXPECT_EQ(postpeek::FindAccountOfItem(accounts, 0), 2);
}

// ---- the cycle without a window ------------------------------------------------------------

TEST(MailCheckCycle, AccountsAndMarksGoBothWaysThroughTheRegistry)
{
    TestEnvironment env;
    env.install();
    writeAccount(QStringLiteral("A"), 1);
    writeAccount(QStringLiteral("B"), 0);
    MailCheckCycle cycle;
    Reports reports(cycle);
    cycle.loadAccounts();
    EXPECT_EQ(reports.lines, (QStringList{q("accounts cleared"), q("account A x"), q("account B -")}));
    ASSERT_EQ(cycle.accountCount(), 2);

    cycle.setTicked(0, false);
    cycle.setTicked(1, true);
    EXPECT_EQ(cycle.accounts()[0].Checked, 0);
    EXPECT_EQ(cycle.accounts()[1].Checked, 1);
    cycle.saveCheckMarks();
    EXPECT_EQ(readInt(HKCU, accountKey(q("A")), q(rk::vAccountChecked)), 0);
    EXPECT_EQ(readInt(HKCU, accountKey(q("B")), q(rk::vAccountChecked)), 1);

    // A fresh display shows the names and the marks as they are now.
    reports.lines.clear();
    cycle.resetDisplay();
    EXPECT_EQ(reports.lines, (QStringList{q("messages cleared"), q("shown 0 A -"), q("shown 1 B x")}));
}

TEST(MailCheckCycle, ReportsTheLineAndAsksToEndWhenItDrops)
{
    TestEnvironment env;
    env.install();
    writeSettings(1, 1);
    writeAccount(QStringLiteral("A"), 0);  // polls nothing while the line is up
    MailCheckCycle cycle;
    cycle.loadAccounts();
    cycle.loadSettings();
    Reports reports(cycle);

    cycle.check();
    EXPECT_EQ(reports.lines,
              (QStringList{q("panel 1 Connect to Internet first!"), q("tip Connect to Internet first ! 0")}));
    EXPECT_FALSE(cycle.isBusy());

    env.setLine(true);
    reports.lines.clear();
    cycle.check();
    ASSERT_EQ(reports.lines.size(), 3);
    EXPECT_EQ(reports.lines[0], q("panel 5 -"));
    EXPECT_TRUE(reports.lines[1].startsWith(q("panel 3 ")));
    EXPECT_EQ(reports.lines[2], q("panel 1 Disconected"));

    env.setLine(false);
    reports.lines.clear();
    cycle.check();
    EXPECT_EQ(reports.lines, (QStringList{q("remove tray icon"), q("quit")}));
}

TEST(MailCheckCycle, OffAsksToEndAndADeleteWithoutARowOnlyShowsTheCount)
{
    TestEnvironment env;
    env.install();
    writeSettings(0, 0);
    MailCheckCycle cycle;
    Reports reports(cycle);
    cycle.loadSettings();
    EXPECT_EQ(reports.lines, QStringList{q("quit")});

    reports.lines.clear();
    cycle.deleteMessage(-1);
    cycle.deleteMessage(0);
    EXPECT_EQ(reports.lines, (QStringList{q("tip No new messages 0"), q("tip No new messages 0")}));
}
