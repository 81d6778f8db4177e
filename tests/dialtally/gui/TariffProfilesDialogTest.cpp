// The Tariffs Options dialog: loading and showing profiles, the number fields, the
// name checks, the twenty-profile limit, OK's rewrite of the profiles and of every
// provider's slot copies, and the charging that follows from them.
#include "support/Controls.h"
#include "TariffFixtures.h"


#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

using namespace testing_support;
using namespace tariff_fixtures;
using platform::MessageIcon;
using platform::RootKey;
namespace rk = regkeys;

namespace {

Numbers storedProfile(const QString& name)
{
    const QString key = profileKey(name);
    return {readInt(HKCU, key, q(rk::vStartingInterval)), readInt(HKCU, key, q(rk::vEndingInterval)),
            readInt(HKCU, key, q(rk::vDayCost)), readInt(HKCU, key, q(rk::vNightCost)),
            readInt(HKCU, key, q(rk::vOcpd))};
}

void writeSlot(const QString& provider, const QString& day, const QString& profile, Numbers n)
{
    const QString key = testing_support::tariffSlotKey(provider, day);
    writeInt(HKCU, key, q(rk::vOcpDay), n.ocp);
    writeInt(HKCU, key, q(rk::vDayCost), n.day);
    writeInt(HKCU, key, q(rk::vNightCost), n.night);
    writeInt(HKCU, key, q(rk::vStartingInterval), n.start);
    writeInt(HKCU, key, q(rk::vEndingInterval), n.end);
    writeStr(HKCU, key, q(rk::vSlotTariffProfile), profile);
}

QStringList rows(const QListWidget* list)
{
    QStringList result;
    for (int i = 0; i < list->count(); ++i)
        result << list->item(i)->text();
    return result;
}

class TariffProfilesDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        dialog = std::make_unique<TariffProfilesDialog>(window->session());
    }

    // The user picks a row: the list runs its handler.
    void pick(int row) { control<QListWidget>(dialog, "profileList")->setCurrentRow(row); }
    void create(const char* name)
    {
        control<QLineEdit>(dialog, "nameEdit")->setText(q(name));
        control<QToolButton>(dialog, "createButton")->click();
    }
    // The numbers the fields show: start, end, day, night cost and the toggle.
    Numbers shown() const
    {
        return {control<QLineEdit>(dialog, "startingIntervalEdit")->text().toInt(),
                control<QLineEdit>(dialog, "endingIntervalEdit")->text().toInt(),
                control<QLineEdit>(dialog, "dayCostEdit")->text().toInt(),
                control<QLineEdit>(dialog, "nightCostEdit")->text().toInt(), dialog->ocpdOn() ? 1 : 0};
    }

    TestEnvironment env;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<TariffProfilesDialog> dialog;
};

// ---- loading and showing ----------------------------------------------------------------------

TEST_F(TariffProfilesDialogTest, LoadShowsTheProfilesAndStoresWhatTheFieldsHold)
{
    writeProfile("Peak", {8, 20, 10, 3, 0});
    writeProfile("Flat", {0, 0, 7, 0, 1});
    writeProfile("Odd", {30, 5, 150, 2, 7});  // edited by hand
    dialog->FormActivate();

    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tariffs Options"));
    EXPECT_EQ(dialog->size(), QSize(361, 293));
    EXPECT_TRUE(env.boxes.shown.empty());
    EXPECT_EQ(rows(control<QListWidget>(dialog, "profileList")), QStringList({"Peak", "Flat", "Odd"}));
    EXPECT_EQ(control<QListWidget>(dialog, "profileList")->currentRow(), 0);
    EXPECT_EQ(control<QLineEdit>(dialog, "nameEdit")->text(), QStringLiteral("Peak"));
    EXPECT_EQ(shown(), (Numbers{8, 20, 10, 3, 0}));
    // Interval 'B' is the rest of the day.
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalBStartEdit")->text(), QStringLiteral("20"));
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalBEndEdit")->text(), QStringLiteral("8"));
    EXPECT_FALSE(control<QLineEdit>(dialog, "intervalBStartEdit")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(dialog, "intervalBEndEdit")->isEnabled());
    EXPECT_TRUE(control<QToolButton>(dialog, "oneCostPerDayButton")->icon().isNull());

    pick(1);
    EXPECT_EQ(control<QLineEdit>(dialog, "nameEdit")->text(), QStringLiteral("Flat"));
    EXPECT_EQ(shown(), (Numbers{0, 0, 7, 0, 1}));
    EXPECT_FALSE(control<QLineEdit>(dialog, "startingIntervalEdit")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(dialog, "endingIntervalEdit")->isEnabled());
    EXPECT_FALSE(control<QLineEdit>(dialog, "nightCostEdit")->isEnabled());
    EXPECT_TRUE(control<QLineEdit>(dialog, "dayCostEdit")->isEnabled());
    EXPECT_FALSE(control<QToolButton>(dialog, "oneCostPerDayButton")->icon().isNull());

    // The hand-edited hour is refused as if typed; a flag other than 0 or 1 leaves the
    // toggle as the profile before left it; a number wider than the field stays whole.
    pick(2);
    ASSERT_EQ(env.boxes.texts(), QStringList({"You can only type valid hour (0 - 23)!"}));
    EXPECT_EQ(env.boxes.shown[0].icon, MessageIcon::Exclamation);
    EXPECT_EQ(env.boxes.shown[0].caption, QStringLiteral("Dialtally 2.01"));
    EXPECT_EQ(shown(), (Numbers{0, 5, 150, 2, 1}));

    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    EXPECT_EQ(subkeys(q(rk::kTariffProfile)), QStringList({"Peak", "Flat", "Odd"}));
    EXPECT_EQ(storedProfile("Peak"), (Numbers{8, 20, 10, 3, 0}));
    EXPECT_EQ(storedProfile("Flat"), (Numbers{0, 0, 7, 0, 1}));
    EXPECT_EQ(storedProfile("Odd"), (Numbers{0, 5, 150, 2, 1}));
    EXPECT_EQ(valueNames(profileKey("Peak")), QStringList({q(rk::vStartingInterval), q(rk::vEndingInterval),
                                                           q(rk::vDayCost), q(rk::vNightCost), q(rk::vOcpd)}));
    // Closing empties the form.
    EXPECT_EQ(control<QListWidget>(dialog, "profileList")->count(), 0);
    EXPECT_TRUE(control<QLineEdit>(dialog, "nameEdit")->text().isEmpty());
}

TEST_F(TariffProfilesDialogTest, NameButtonsShowTheirWholeCaptions)
{
    dialog->show();
    QApplication::processEvents();
    const struct {
        QToolButton* button;
        const char* caption;
    } cases[] = {
        {control<QToolButton>(dialog, "createButton"), "Create new tariff"},
        {control<QToolButton>(dialog, "renameButton"), "Rename tariff"},
        {control<QToolButton>(dialog, "deleteButton"), "Delete tariff"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.caption);
        EXPECT_EQ(c.button->text(), q(c.caption));
        EXPECT_TRUE(c.button->isVisible());
        // The message shown with no profile sends the user to the button by this caption.
        EXPECT_GE(c.button->width(), c.button->fontMetrics().horizontalAdvance(q(c.caption)));
        EXPECT_TRUE(dialog->rect().contains(QRect(c.button->mapTo(dialog.get(), QPoint()), c.button->size())));
    }
    dialog->reject();
}

TEST_F(TariffProfilesDialogTest, WithoutProfilesTheHintComesWithTheDialogInSight)
{
    std::vector<bool> inSight;
    noteWhetherInSight(env.boxes, *dialog, inSight);
    dialog->open();
    waitForBoxes(env.boxes, 1);
    EXPECT_EQ(env.boxes.texts(),
              QStringList({"To create tariff enter tariff's name and then press 'Create new tariff' button"}));
    EXPECT_EQ(inSight, std::vector<bool>({true}));
    // The box closed, the dialog stays for the user to create the first profile.
    EXPECT_TRUE(dialog->isVisible());
    dialog->reject();
}

TEST_F(TariffProfilesDialogTest, WithoutProfilesOkLeavesAnEmptyKeyAndEmptiesEverySlot)
{
    writeSlot("ISP", "1", "Gone", {8, 20, 10, 3, 0});
    writeSlot("Other", rk::kHolidayDay, "", {0, 0, 0, 0, 0});
    writeInt(HKCU, q(rk::kTariffs), q(rk::vTariff), 1);
    dialog->FormActivate();
    ASSERT_EQ(env.boxes.texts(),
              QStringList({"To create tariff enter tariff's name and then press 'Create new tariff' button"}));
    EXPECT_EQ(env.boxes.shown[0].icon, MessageIcon::Information);
    EXPECT_EQ(shown(), (Numbers{0, 0, 0, 0, 0}));

    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(subkeys(q(rk::kTariffProfile)), QStringList());
    EXPECT_EQ(subkeys(q(rk::kTariffs)), QStringList({"ISP", "Other"}));
    for (const char* provider : {"ISP", "Other"}) {
        // Every provider key ends up with all eight day keys.
        QStringList days = subkeys(q(rk::kTariffs) + "\\" + provider);
        days.sort();
        EXPECT_EQ(days, dayKeys()) << provider;
        for (int d = 0; d < 8; ++d)
            EXPECT_EQ(storedSlot(q(provider), tariffoptions::slotDayKey(d)), kEmptySlot) << provider << " " << d;
    }
    EXPECT_EQ(readInt(HKCU, q(rk::kTariffs), q(rk::vTariff)), 1);
}

// ---- the number fields -----------------------------------------------------------------------------

TEST_F(TariffProfilesDialogTest, NumberFieldsAreCheckedOnEveryChange)
{
    dialog->FormActivate();
    env.boxes.clear();
    const QString hour = QStringLiteral("You can only type valid hour (0 - 23)!");
    const QString incorrect = QStringLiteral("Incorrect number !");
    struct Case {
        const char* field;
        const char* typed;
        QStringList messages;
        const char* left;
    } cases[] = {
        {"startingIntervalEdit", "-5", {hour, incorrect}, "0"},
        {"startingIntervalEdit", "24", {hour}, "0"},
        {"endingIntervalEdit", "23", {}, "23"},
        {"endingIntervalEdit", "2x", {incorrect}, "0"},
        {"startingIntervalEdit", "", {}, ""},
        {"dayCostEdit", "5a", {incorrect}, "0"},
        {"dayCostEdit", "99", {}, "99"},
        {"dayCostEdit", "24", {}, "24"},
        {"nightCostEdit", "-1", {incorrect}, "0"},
        {"nightCostEdit", "", {}, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        QLineEdit* edit = control<QLineEdit>(dialog, c.field);
        edit->setText(QStringLiteral("7"));
        env.boxes.clear();
        edit->setText(q(c.typed));
        EXPECT_EQ(env.boxes.texts(), c.messages);
        for (const auto& box : env.boxes.shown)
            EXPECT_EQ(box.icon, MessageIcon::Exclamation);
        EXPECT_EQ(edit->text(), q(c.left));
        EXPECT_EQ(control<QLineEdit>(dialog, "intervalBStartEdit")->text(),
                  control<QLineEdit>(dialog, "endingIntervalEdit")->text());
        EXPECT_EQ(control<QLineEdit>(dialog, "intervalBEndEdit")->text(),
                  control<QLineEdit>(dialog, "startingIntervalEdit")->text());
    }
}

TEST_F(TariffProfilesDialogTest, OneCostPerDayKeepsTheHiddenValues)
{
    create("Flat");
    control<QLineEdit>(dialog, "startingIntervalEdit")->setText(QStringLiteral("8"));
    control<QLineEdit>(dialog, "endingIntervalEdit")->setText(QStringLiteral("20"));
    control<QLineEdit>(dialog, "nightCostEdit")->setText(QStringLiteral("3"));
    control<QToolButton>(dialog, "oneCostPerDayButton")->click();
    EXPECT_TRUE(dialog->ocpdOn());
    EXPECT_FALSE(control<QLineEdit>(dialog, "nightCostEdit")->isEnabled());
    control<QLineEdit>(dialog, "dayCostEdit")->setText(QStringLiteral("6"));
    control<QToolButton>(dialog, "oneCostPerDayButton")->click();
    EXPECT_FALSE(dialog->ocpdOn());
    EXPECT_TRUE(control<QToolButton>(dialog, "oneCostPerDayButton")->icon().isNull());
    EXPECT_EQ(shown(), (Numbers{8, 20, 6, 3, 0}));
    control<QToolButton>(dialog, "oneCostPerDayButton")->click();
    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(storedProfile("Flat"), (Numbers{8, 20, 6, 3, 1}));
}

// ---- create, rename, delete ------------------------------------------------------------------------

TEST_F(TariffProfilesDialogTest, NameChecksOfCreateAndRename)
{
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeProfile("Night", {0, 0, 2, 2, 1});
    struct Case {
        const char* what;
        const char* button;
        const char* name;
        const char* message;  // nullptr: accepted
        QStringList after;
    } cases[] = {
        {"create without a name", "createButton", "", "You have to enter tariff's name !", {"Day", "Night"}},
        {"create a duplicate",
         "createButton",
         "Day",
         "The tariff you want to create is allready in the list!",
         {"Day", "Night"}},
        // One registry key would hold both, and one profile would be lost.
        {"create a name differing in case",
         "createButton",
         "NIGHT",
         "The tariff you want to create is allready in the list!",
         {"Day", "Night"}},
        // A backslash would make the profile's key a path.
        {"create with a backslash",
         "createButton",
         "Peak\\Off",
         "The tariff's name can't contain the character '\\' !",
         {"Day", "Night"}},
        {"rename without a name", "renameButton", "", "You have to enter tariff's name !", {"Day", "Night"}},
        {"rename to another's name",
         "renameButton",
         "night",
         "The tariff you want to rename is already in the list!",
         {"Day", "Night"}},
        {"rename with a backslash",
         "renameButton",
         "\\",
         "The tariff's name can't contain the character '\\' !",
         {"Day", "Night"}},
        {"rename to its own name", "renameButton", "Day", nullptr, {"Day", "Night"}},
        {"rename to its own name in capitals", "renameButton", "DAY", nullptr, {"DAY", "Night"}},
        {"create", "createButton", "Weekend", nullptr, {"Day", "Night", "Weekend"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        dialog->FormClose();
        dialog->FormActivate();
        env.boxes.clear();
        control<QLineEdit>(dialog, "nameEdit")->setText(q(c.name));
        control<QToolButton>(dialog, c.button)->click();
        if (c.message) {
            ASSERT_EQ(env.boxes.texts(), QStringList({q(c.message)}));
            EXPECT_EQ(env.boxes.shown[0].icon, MessageIcon::Error);
        } else {
            EXPECT_TRUE(env.boxes.shown.empty());
        }
        EXPECT_EQ(rows(control<QListWidget>(dialog, "profileList")), c.after);
    }
}

TEST_F(TariffProfilesDialogTest, TwentyProfilesAtMost)
{
    dialog->FormActivate();
    for (int i = 0; i < 20; ++i) {
        create(qPrintable(QStringLiteral("T%1").arg(i)));
        control<QLineEdit>(dialog, "dayCostEdit")->setText(QString::number(i));
    }
    env.boxes.clear();
    // The name is checked before the limit.
    const struct {
        const char* name;
        const char* message;
    } cases[] = {
        {"", "You have to enter tariff's name !"},
        {"T3", "The tariff you want to create is allready in the list!"},
        {"T20", "Maximum can be 20 tariffs"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        env.boxes.clear();
        create(c.name);
        EXPECT_EQ(env.boxes.texts(), QStringList({q(c.message)}));
        EXPECT_EQ(control<QListWidget>(dialog, "profileList")->count(), 20);
    }
    EXPECT_EQ(control<QLineEdit>(dialog, "dayCostEdit")->text(), QStringLiteral("19"));
    control<QPushButton>(dialog, "okButton")->click();
    const QStringList saved = subkeys(q(rk::kTariffProfile));
    ASSERT_EQ(saved.size(), 20);
    for (int i = 0; i < 20; ++i)
        EXPECT_EQ(storedProfile(QStringLiteral("T%1").arg(i)), (Numbers{0, 0, i, 0, 0})) << i;

    // Only a registry edited by hand holds more; the table takes the first twenty.
    writeProfile("Extra", {1, 2, 3, 4, 0});
    TariffProfilesDialog again(window->session());
    again.FormActivate();
    EXPECT_EQ(control<QListWidget>(again, "profileList")->count(), 20);
    EXPECT_EQ(control<QListWidget>(again, "profileList")->item(19)->text(), QStringLiteral("T19"));
}

TEST_F(TariffProfilesDialogTest, CreateAndSwitchCarryEachProfilesFields)
{
    dialog->FormActivate();
    create("Work");
    EXPECT_EQ(control<QLineEdit>(dialog, "nameEdit")->text(), QStringLiteral("Work"));
    control<QLineEdit>(dialog, "startingIntervalEdit")->setText(QStringLiteral("8"));
    control<QLineEdit>(dialog, "endingIntervalEdit")->setText(QStringLiteral("18"));
    control<QLineEdit>(dialog, "dayCostEdit")->setText(QStringLiteral("12"));
    control<QLineEdit>(dialog, "nightCostEdit")->setText(QStringLiteral("4"));
    create("Weekend");
    EXPECT_EQ(control<QListWidget>(dialog, "profileList")->currentRow(), 1);
    EXPECT_EQ(shown(), (Numbers{0, 0, 0, 0, 0}));
    control<QToolButton>(dialog, "oneCostPerDayButton")->click();
    control<QLineEdit>(dialog, "dayCostEdit")->setText(QStringLiteral("6"));

    pick(0);
    EXPECT_EQ(control<QLineEdit>(dialog, "nameEdit")->text(), QStringLiteral("Work"));
    EXPECT_EQ(shown(), (Numbers{8, 18, 12, 4, 0}));
    control<QLineEdit>(dialog, "dayCostEdit")->setText(QStringLiteral("13"));
    // The renamed row's name reaches its entry when the row is stored.
    control<QLineEdit>(dialog, "nameEdit")->setText(QStringLiteral("Workday"));
    control<QToolButton>(dialog, "renameButton")->click();
    pick(1);
    EXPECT_EQ(shown(), (Numbers{0, 0, 6, 0, 1}));

    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(subkeys(q(rk::kTariffProfile)), QStringList({"Workday", "Weekend"}));
    EXPECT_EQ(storedProfile("Workday"), (Numbers{8, 18, 13, 4, 0}));
    EXPECT_EQ(storedProfile("Weekend"), (Numbers{0, 0, 6, 0, 1}));
}

TEST_F(TariffProfilesDialogTest, DeleteAsksAndTheTableFollowsTheRows)
{
    writeProfile("A", {1, 2, 3, 4, 0});
    writeProfile("B", {5, 6, 7, 8, 0});
    writeProfile("C", {9, 10, 11, 12, 1});
    dialog->FormActivate();
    pick(1);
    env.boxes.queueAnswer(platform::Answer::No);
    control<QToolButton>(dialog, "deleteButton")->click();
    ASSERT_EQ(env.boxes.texts(), QStringList({"Are you sure to delete tariff 'B'?"}));
    EXPECT_EQ(env.boxes.shown[0].icon, MessageIcon::Question);
    EXPECT_EQ(env.boxes.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(control<QListWidget>(dialog, "profileList")->count(), 3);

    control<QToolButton>(dialog, "deleteButton")->click();  // Yes
    EXPECT_EQ(rows(control<QListWidget>(dialog, "profileList")), QStringList({"A", "C"}));
    EXPECT_EQ(control<QListWidget>(dialog, "profileList")->currentRow(), 0);
    EXPECT_EQ(control<QLineEdit>(dialog, "nameEdit")->text(), QStringLiteral("A"));
    EXPECT_EQ(shown(), (Numbers{1, 2, 3, 4, 0}));
    pick(1);
    EXPECT_EQ(shown(), (Numbers{9, 10, 11, 12, 1}));

    control<QToolButton>(dialog, "deleteButton")->click();
    control<QToolButton>(dialog, "deleteButton")->click();
    EXPECT_EQ(control<QListWidget>(dialog, "profileList")->count(), 0);
    EXPECT_TRUE(control<QLineEdit>(dialog, "nameEdit")->text().isEmpty());
    EXPECT_EQ(shown(), (Numbers{0, 0, 0, 0, 0}));
    EXPECT_TRUE(control<QLineEdit>(dialog, "startingIntervalEdit")->isEnabled());
    // Nothing to delete any more: no question.
    env.boxes.clear();
    control<QToolButton>(dialog, "deleteButton")->click();
    control<QToolButton>(dialog, "renameButton")->click();
    EXPECT_TRUE(env.boxes.shown.empty());
    EXPECT_EQ(subkeys(q(rk::kTariffProfile)), QStringList({"A", "B", "C"}));
}

TEST_F(TariffProfilesDialogTest, CancelSavesNothing)
{
    writeProfile("A", {1, 2, 3, 4, 0});
    writeSlot("ISP", "1", "A", {0, 0, 0, 0, 0});  // a stale copy stays stale
    dialog->FormActivate();
    control<QLineEdit>(dialog, "dayCostEdit")->setText(QStringLiteral("9"));
    create("B");
    control<QLineEdit>(dialog, "nameEdit")->setText(QStringLiteral("Z"));
    control<QToolButton>(dialog, "renameButton")->click();
    control<QPushButton>(dialog, "cancelButton")->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(subkeys(q(rk::kTariffProfile)), QStringList({"A"}));
    EXPECT_EQ(storedProfile("A"), (Numbers{1, 2, 3, 4, 0}));
    EXPECT_EQ(storedSlot("ISP", "1"), (Slot{"A", {0, 0, 0, 0, 0}}));
    EXPECT_EQ(control<QListWidget>(dialog, "profileList")->count(), 0);
    EXPECT_EQ(shown(), (Numbers{0, 0, 0, 0, 0}));
}

TEST_F(TariffProfilesDialogTest, HelpOpensContextTwelve)
{
    platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    control<QPushButton>(dialog, "helpButton")->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].kind, FakeHelp::Call::Context);
    EXPECT_EQ(env.help.calls[0].context, 12);
    EXPECT_EQ(env.help.calls[0].file, env.programFolder() + "/Dialtally Help.hlp");
}

// ---- OK and the providers' slots -------------------------------------------------------------------

TEST_F(TariffProfilesDialogTest, OkRefreshesTheCopiesAndEmptiesSlotsOfProfilesGone)
{
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeProfile("Night", {0, 0, 2, 2, 1});
    writeProfile("Flat", {0, 0, 5, 5, 1});
    writeSlot("ISP", "1", "Day", {8, 20, 10, 3, 0});
    writeSlot("ISP", "2", "Night", {0, 0, 2, 2, 1});
    writeSlot("ISP", "3", "Flat", {0, 0, 1, 1, 1});  // an old copy
    writeSlot("ISP", rk::kHolidayDay, "Flat", {0, 0, 1, 1, 1});
    writeSlot("ISP", "4", "Gone", {1, 1, 1, 1, 1});
    writeSlot("ISP", "5", "flat", {1, 1, 1, 1, 1});  // names compare byte for byte
    writeSlot("Other", "0", "Day", {8, 20, 10, 3, 0});
    dialog->FormActivate();

    control<QLineEdit>(dialog, "nameEdit")->setText(QStringLiteral("Daytime"));
    control<QToolButton>(dialog, "renameButton")->click();
    pick(1);
    control<QToolButton>(dialog, "deleteButton")->click();  // Night, Yes
    pick(1);
    ASSERT_EQ(control<QLineEdit>(dialog, "nameEdit")->text(), QStringLiteral("Flat"));
    control<QLineEdit>(dialog, "dayCostEdit")->setText(QStringLiteral("9"));
    control<QPushButton>(dialog, "okButton")->click();

    EXPECT_EQ(subkeys(q(rk::kTariffProfile)), QStringList({"Daytime", "Flat"}));
    EXPECT_EQ(dialog->ProviderKeyNames, QStringList({"ISP", "Other"}));
    const Slot flat{"Flat", {0, 0, 9, 5, 1}};
    const struct {
        const char* provider;
        const char* day;
        Slot expected;
    } cases[] = {
        {"ISP", "1", kEmptySlot},  // renamed: assigned again in the Providers dialog
        {"ISP", "2", kEmptySlot},  // deleted
        {"ISP", "3", flat},         {"ISP", rk::kHolidayDay, flat}, {"ISP", "4", kEmptySlot},
        {"ISP", "5", kEmptySlot},   {"ISP", "0", kEmptySlot},  // created
        {"Other", "0", kEmptySlot}, {"Other", "6", kEmptySlot},
    };
    for (const auto& c : cases)
        EXPECT_EQ(storedSlot(q(c.provider), q(c.day)), c.expected) << c.provider << " " << c.day;
    EXPECT_EQ(subkeys(q(rk::kTariffs) + "\\Other").size(), 8);
    // A slot created here gets its values in the order the slots have always had.
    EXPECT_EQ(valueNames(testing_support::tariffSlotKey("ISP", "0")), slotValueOrder());
}

TEST_F(TariffProfilesDialogTest, OkIsAllOrNothing)
{
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeProfile("Night", {0, 0, 2, 2, 1});
    writeSlot("ISP", "1", "Day", {8, 20, 10, 3, 0});
    writeSlot("ISP", "2", "Night", {0, 0, 2, 2, 1});
    // A slot edited by hand so that its profile name is no text: the refresh fails there.
    writeInt(HKCU, testing_support::tariffSlotKey("Later", "3"), q(rk::vSlotTariffProfile), 5);
    dialog->open();
    env.boxes.clear();
    control<QLineEdit>(dialog, "dayCostEdit")->setText(QStringLiteral("11"));
    pick(1);
    control<QToolButton>(dialog, "deleteButton")->click();  // Night, Yes
    env.boxes.clear();
    control<QPushButton>(dialog, "okButton")->click();

    ASSERT_EQ(env.boxes.texts(), QStringList({"Invalid data type for 'Tariff Profile'."}));
    EXPECT_EQ(env.boxes.shown[0].icon, MessageIcon::Error);
    // The dialog stays with the user's edits; the registry is as it was.
    EXPECT_TRUE(dialog->isVisible());
    EXPECT_EQ(rows(control<QListWidget>(dialog, "profileList")), QStringList({"Day"}));
    EXPECT_EQ(subkeys(q(rk::kTariffProfile)), QStringList({"Day", "Night"}));
    EXPECT_EQ(storedProfile("Day"), (Numbers{8, 20, 10, 3, 0}));
    EXPECT_EQ(storedSlot("ISP", "1"), (Slot{"Day", {8, 20, 10, 3, 0}}));
    EXPECT_EQ(storedSlot("ISP", "2"), (Slot{"Night", {0, 0, 2, 2, 1}}));
    EXPECT_EQ(subkeys(q(rk::kTariffs) + "\\ISP"), QStringList({"1", "2"}));

    dialog->reject();
}

TEST_F(TariffProfilesDialogTest, ALoadThatStopsCannotBeSaved)
{
    writeProfile("Good", {8, 20, 10, 3, 0});
    writeProfile("Broken", {8, 20, 10, 3, 0});
    platform::Registry r;
    r.setRootKey(HKCU);
    ASSERT_TRUE(r.openKey(profileKey("Broken"), false));
    r.deleteValue(q(rk::vOcpd));
    r.closeKey();
    writeProfile("Later", {1, 2, 3, 4, 0});

    dialog->open();
    ASSERT_EQ(env.boxes.texts(), QStringList({"Failed to get data for 'OCPD'."}));
    EXPECT_EQ(rows(control<QListWidget>(dialog, "profileList")), QStringList({"Good", "Broken"}));
    EXPECT_FALSE(control<QPushButton>(dialog, "okButton")->isEnabled());
    dialog->okClicked();
    EXPECT_EQ(subkeys(q(rk::kTariffProfile)), QStringList({"Good", "Broken", "Later"}));
    EXPECT_EQ(storedProfile("Later"), (Numbers{1, 2, 3, 4, 0}));
    dialog->reject();

    // A later opening that loads works again.
    writeProfile("Broken", {0, 0, 1, 1, 1});
    env.boxes.clear();
    dialog->open();
    EXPECT_TRUE(env.boxes.shown.empty());
    EXPECT_TRUE(control<QPushButton>(dialog, "okButton")->isEnabled());
    EXPECT_EQ(control<QListWidget>(dialog, "profileList")->count(), 3);
    dialog->reject();
}

// ---- the charging follows --------------------------------------------------------------------------

class TariffChargingTest : public StartedProgramTest {
protected:
    void confirm(const std::function<void(TariffProfilesDialog&)>& edit)
    {
        TariffProfilesDialog dialog(mainWindow->session());
        dialog.FormActivate();
        edit(dialog);
        control<QPushButton>(dialog, "okButton")->click();
        ASSERT_EQ(dialog.result(), QDialog::Accepted);
    }
};

TEST_F(TariffChargingTest, AConfirmedChangeChargesFromTheNextMinute)
{
    writeProfile("Std", {8, 20, 10, 3, 0});
    writeSlot("ISP", "5", "Std", {8, 20, 10, 3, 0});
    env.setLine(true);
    mainWindow->session().tick();
    EXPECT_EQ(mainWindow->session().connection().fee(), 10);

    confirm([](TariffProfilesDialog& d) { control<QLineEdit>(d, "dayCostEdit")->setText(QStringLiteral("25")); });
    env.clock.advance(60);
    mainWindow->session().tick();
    EXPECT_EQ(mainWindow->session().connection().fee(), 35);

    confirm(
        [](TariffProfilesDialog& d) { control<QToolButton>(d, "oneCostPerDayButton")->click(); });  // one cost per day
    env.clock.set(2000, 1, 7, 21, 1, 0);
    mainWindow->session().tick();
    EXPECT_EQ(mainWindow->session().connection().fee(), 60);

    confirm([](TariffProfilesDialog& d) {
        control<QLineEdit>(d, "nameEdit")->setText(QStringLiteral("Standard"));
        control<QToolButton>(d, "renameButton")->click();
    });
    env.clock.advance(60);
    mainWindow->session().tick();
    EXPECT_EQ(mainWindow->session().connection().fee(), 60);
    EXPECT_EQ(control<QLabel>(mainWindow, "connectionFeeLabel")->text(), QStringLiteral("No tariff for this day"));
    EXPECT_TRUE(env.boxes.shown.empty());
}

}  // namespace
