// The Preferences dialog's logic without its window: the number and program-list
// rules, the account editor's name rules and table, and the registry load and save of
// the program list, the budget and the mail accounts.
#include "support/core/CoreFakes.h"
#include "support/core/RegistryShorthand.h"

#include "dialtally/core/PreferencesSettings.h"
#include "platform/core/Settings.h"
#include "common/RegistryNames.h"

#include <gtest/gtest.h>

#include <limits>

using namespace testing_support;

namespace {

TEST(PreferencesSettings, NumbersAndProgramLines)
{
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    struct Leading {
        const char* text;
        std::int32_t value;
    } leading[] = {
        {"15", 15},
        {"  -7x", -7},
        {"+3", 3},
        {"", 0},
        {"abc", 0},
        {"12 34", 12},
        {"99999999999", kMax},
        {"-99999999999", kMin},
    };
    for (const auto& c : leading)
        EXPECT_EQ(pref::leadingInteger(q(c.text)), c.value) << c.text;

    struct Strict {
        const char* text;
        bool ok;
        std::int32_t value;
    } strict[] = {
        {"12", true, 12},
        {"-2147483648", true, kMin},
        {"2147483647", true, kMax},
        {"", false, 0},
        {"2147483648", false, 0},
        {"1 ", false, 0},
        {"-", false, 0},
        {"1x", false, 0},
    };
    for (const auto& c : strict) {
        std::int32_t value = -99;
        EXPECT_EQ(pref::strictInteger(q(c.text), value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    EXPECT_EQ(pref::notAnIntegerText(QString()), QStringLiteral("'' is not a valid integer value"));

    struct Lines {
        const char* text;
        int count;
    } lines[] = {{"", 0}, {"a", 1}, {"a\n", 1}, {"a\nb", 2}, {"a\n\n", 2}, {"\n", 1}, {"a\r\nb\r\n", 2}};
    for (const auto& c : lines)
        EXPECT_EQ(pref::execLines(q(c.text)).size(), c.count) << c.text;
    EXPECT_EQ(pref::execLines(q("a\r\nb")), (QStringList{"a", "b"}));
    EXPECT_EQ(pref::execCountText(1), QStringLiteral("Now you have entered 1 programs"));
    EXPECT_EQ(pref::execText({}), QString());
    EXPECT_EQ(pref::execText({"a", ""}), q("a\n\n"));
    EXPECT_EQ(pref::execLines(pref::execText({"a", ""})), (QStringList{"a", ""}));

    EXPECT_EQ(pref::nonDigitCount(q("1a2b")), 2);
    EXPECT_EQ(pref::nonDigitCount(q("1234567890123456789x"), 19), 0);
    EXPECT_EQ(pref::nonDigitCount(q("123456789012345678xx"), 19), 1);
    EXPECT_EQ(pref::autostartCommand(QString()), QStringLiteral("/Dialtally"));
}

TEST(PreferencesSettings, AccountNameRefusals)
{
    const QStringList names{"home", "work"};
    const char* empty = "You have to enter account's name !";
    const char* backslash = "The account's name can't contain \"\\\" !";
    const char* createTaken = "The account you want to create is allready in the list!";
    const char* renameTaken = "The account you want to rename is already in the list!";
    struct Case {
        bool rename;  // of line 0, "home"
        const char* name;
        const char* refusal;  // "" when taken
    } cases[] = {
        {false, "", empty},           {false, "a\\b", backslash},  {false, "home", createTaken},
        {false, "WORK", createTaken}, {false, "third", ""},        {true, "", empty},
        {true, "a\\b", backslash},    {true, "home", renameTaken}, {true, "Work", renameTaken},
        {true, "Home", ""},           {true, "house", ""},
    };
    for (const auto& c : cases) {
        const QString refusal =
            c.rename ? pref::renameAccountRefusal(names, q(c.name), 0) : pref::newAccountRefusal(names, q(c.name));
        EXPECT_EQ(refusal, q(c.refusal)) << c.rename << " " << c.name;
    }

    QStringList full;
    for (int i = 0; i < pref::kMaxAccounts; ++i)
        full << QStringLiteral("acc%1").arg(i);
    EXPECT_EQ(pref::newAccountRefusal(full, q("acc3")), q(createTaken));
    EXPECT_EQ(pref::newAccountRefusal(full, q("acc20")), QStringLiteral("Maximum can be 20 accounts"));
}

TEST(PreferencesSettings, RemovingAnAccountMovesTheLaterRecordsUp)
{
    MailAccountTable table{};
    for (int i = 0; i < pref::kMaxAccounts; ++i)
        table[static_cast<std::size_t>(i)].Name = QString::number(i);
    // Line 1 of three is gone; two lines are left.
    pref::removeAccount(table, 1, 2);
    EXPECT_EQ(table[0].Name, q("0"));
    EXPECT_EQ(table[1].Name, q("2"));
    EXPECT_EQ(table[2].Name, q("2"));  // past the list: a leftover
    // The last record of a full table has nothing after it to take.
    pref::removeAccount(table, 19, 19);
    EXPECT_EQ(table[19].Name, q("19"));
}

TEST(PreferencesSettings, BudgetNeedsTheMonthlyCounterAndKeepsAnUnchosenAlarm)
{
    for (int mode = 0; mode <= 4; ++mode) {
        EXPECT_EQ(pref::budgetAllowed(period::resetModeFrom(mode), true), mode == 2) << mode;
        EXPECT_TRUE(pref::budgetAllowed(period::resetModeFrom(mode), false)) << mode;
    }

    CoreEnvironment env;
    settings::Settings registry;
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 3);
    EXPECT_EQ(pref::counterResetMode(registry), period::ResetMode::TwoMonthly);
    writeInt(HKCU, q(rk::kBudget), q(rk::vBudgetCh), 3);
    pref::saveBudget(registry, {true, 4, 50, std::nullopt, true});
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vOnOff)), 1);
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetMoney)), 4);
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetCents)), 50);
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetCh)), 3);
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetReserve)), 1);
    pref::saveBudget(registry, {false, 0, 0, budget::AlarmKind::SoundFile, false});
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetCh)), 1);
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vOnOff)), 0);
}

TEST(PreferencesSettings, ProgramListAndAccountsGoBackAsTheyWereSaved)
{
    CoreEnvironment env;
    settings::Settings registry;
    pref::saveExecList(registry, {"/bin/a", "", "/bin/c"});
    EXPECT_EQ(pref::loadExecList(registry), (QStringList{"/bin/a", "", "/bin/c"}));
    // A shorter list leaves the lines past its count, and no load reads them.
    pref::saveExecList(registry, {"/bin/x"});
    EXPECT_EQ(readStr(HKCU, q(rk::kExec), q(rk::vLinePrefix) + "2"), q("/bin/c"));
    EXPECT_EQ(pref::loadExecList(registry), QStringList{"/bin/x"});

    MailAccountTable table{};
    table[0] = {q("home"), q("joe"), q("pw"), q("pop.home"), 995};
    table[1] = {q("work"), q("jo"), {}, q("pop.work"), 110};
    table[2] = {q("leftover"), {}, {}, {}, 1};
    pref::saveAccounts(registry, table, 2);
    EXPECT_EQ(readInt(HKCU, pref::accountKey(q("home")), q(rk::vAccountChecked)), 1);

    MailAccountTable loaded{};
    QStringList listed;
    const int count = pref::loadAccounts(registry, loaded, [&](const QString& name) { listed << name; });
    ASSERT_EQ(count, 2);
    EXPECT_EQ(listed, (QStringList{"home", "work"}));
    EXPECT_EQ(loaded[0].User, q("joe"));
    EXPECT_EQ(loaded[0].Password, q("pw"));
    EXPECT_EQ(loaded[0].Host, q("pop.home"));
    EXPECT_EQ(loaded[0].Port, 995);
    EXPECT_EQ(loaded[1].Host, q("pop.work"));

    MailAccount gone;
    gone.Name = q("gone");
    EXPECT_FALSE(pref::loadAccount(registry, gone));
}

}  // namespace
