// The Providers dialog: the providers and profiles it finds, the drags that assign and
// remove profiles, switching providers, OK's day slots, and a profile's way from the
// Tariffs Options dialog through a slot to a charged minute.
#include "support/Controls.h"
#include "TariffFixtures.h"
#include "dialtally/core/Formats.h"

#include "dialtally/gui/ProvidersDialog.h"

#include <QCoreApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QToolButton>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <memory>

using namespace testing_support;
using namespace tariff_fixtures;
using platform::MessageIcon;
using platform::RootKey;
namespace rk = regkeys;

namespace {

void writeSlotName(const QString& provider, const QString& day, const QString& profile)
{
    writeStr(HKCU, testing_support::tariffSlotKey(provider, day), q(rk::vSlotTariffProfile), profile);
}

// The dial-up entries: value names under the addresses key.
void setProviders(const QStringList& names)
{
    for (const QString& provider : names)
        writeStr(HKCU, q(rk::kRemoteAccessAddresses), provider, QString());
}

bool keyExists(const QString& path)
{
    platform::Registry r;
    r.setRootKey(HKCU);
    return r.keyExists(path);
}

QString providerKey(const char* provider)
{
    return q(rk::kTariffs) + QLatin1Char('\\') + q(provider);
}

class ProvidersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        window = std::make_unique<MainWindow>();
        dialog = std::make_unique<ProvidersDialog>(window->session());
    }
    // Shows the dialog, which loads as it is activated.
    void open()
    {
        dialog->open();
        QCoreApplication::processEvents();
    }

    QStringList captions() const
    {
        QStringList result;
        for (int d = 0; d < control<QTreeWidget>(dialog, "dayList")->topLevelItemCount(); ++d)
            result << control<QTreeWidget>(dialog, "dayList")->topLevelItem(d)->text(0);
        return result;
    }
    QPoint tariffRow(int row) const
    {
        return control<QTreeWidget>(dialog, "profileList")
            ->visualItemRect(control<QTreeWidget>(dialog, "profileList")->topLevelItem(row))
            .center();
    }
    QPoint dayRow(int row) const
    {
        return control<QTreeWidget>(dialog, "dayList")
            ->visualItemRect(control<QTreeWidget>(dialog, "dayList")->topLevelItem(row))
            .center();
    }
    QPoint belowTheRows(QTreeWidget* list) const { return QPoint(10, list->viewport()->height() - 3); }

    // A whole drag of profile row `profile` onto day row `day`, as the mouse makes it.
    void assign(int profile, int day)
    {
        dialog->profileListPressed(Qt::LeftButton, tariffRow(profile));
        bool accept = false;
        dialog->dayListDragOver(control<QTreeWidget>(dialog, "profileList"), dayRow(day), accept);
        ASSERT_TRUE(accept);
        dialog->dayListDropped(control<QTreeWidget>(dialog, "profileList"), dayRow(day));
    }

    TestEnvironment env;
    std::unique_ptr<MainWindow> window;
    std::unique_ptr<ProvidersDialog> dialog;
};

TEST_F(ProvidersTest, OpeningShowsProvidersProfilesAndTheFirstProvidersSlots)
{
    setProviders({"ISP", "Home", "Work"});
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeProfile("Night", {0, 0, 2, 2, 1});
    writeSlotName("ISP", "1", "Day");
    writeSlotName("ISP", rk::kHolidayDay, "Night");
    open();

    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Providers"));
    EXPECT_EQ(dialog->size(), QSize(361, 297));
    EXPECT_TRUE(env.boxes.shown.empty());
    ASSERT_EQ(control<QListWidget>(dialog, "providerList")->count(), 3);
    EXPECT_EQ(control<QListWidget>(dialog, "providerList")->item(2)->text(), QStringLiteral("Work"));
    EXPECT_EQ(control<QListWidget>(dialog, "providerList")->currentRow(), 0);
    ASSERT_EQ(dialog->TariffCount, 2);
    EXPECT_EQ(control<QTreeWidget>(dialog, "profileList")->topLevelItem(1)->text(0), QStringLiteral("Night"));
    EXPECT_EQ(dialog->AvailableTariffs[0].DayCost, 10);
    EXPECT_EQ(dialog->AvailableTariffs[1].OCPD, 1);
    EXPECT_EQ(captions(), QStringList({"", "Day", "", "", "", "", "", "Night"}));
    QStringList days;
    for (int d = 0; d < 8; ++d)
        days << control<QTreeWidget>(dialog, "dayList")->topLevelItem(d)->text(1);
    EXPECT_EQ(days,
              QStringList({"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Holiday"}));

    // A provider never saved shows empty rows and gets no key by being shown.
    control<QListWidget>(dialog, "providerList")->setCurrentRow(1);
    EXPECT_EQ(captions(), QStringList(8, QString()));
    EXPECT_FALSE(keyExists(providerKey("Home")));
    dialog->reject();
    EXPECT_EQ(control<QListWidget>(dialog, "providerList")->count(), 0);
}

TEST_F(ProvidersTest, SelectedRowsAreDrawnInTheSelectionColour)
{
    setProviders({"ISP"});
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeProfile("Night", {0, 0, 2, 2, 1});
    open();
    control<QTreeWidget>(dialog, "profileList")
        ->setCurrentItem(control<QTreeWidget>(dialog, "profileList")->topLevelItem(1));
    control<QTreeWidget>(dialog, "dayList")->setCurrentItem(control<QTreeWidget>(dialog, "dayList")->topLevelItem(3));
    control<QPushButton>(dialog, "cancelButton")->setFocus();  // neither list has the focus: the selection still shows
    QCoreApplication::processEvents();
    for (QTreeWidget* list : {control<QTreeWidget>(dialog, "profileList"), control<QTreeWidget>(dialog, "dayList")}) {
        SCOPED_TRACE(list->objectName().toStdString());
        const QImage image = list->viewport()->grab().toImage();
        const QRect row = list->visualItemRect(list->currentItem());
        // The right end of the first column holds no text, only the row's background.
        const QPoint inside(list->header()->sectionSize(0) - 4, row.center().y());
        EXPECT_EQ(image.pixelColor(inside), list->palette().color(QPalette::Highlight));
    }
    dialog->reject();
}

TEST_F(ProvidersTest, DragsAssignAndRemoveProfiles)
{
    setProviders({"ISP"});
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeProfile("Night", {0, 0, 2, 2, 1});
    writeSlotName("ISP", "1", "Day");
    writeSlotName("ISP", "2", "Day");
    open();
    bool accept = true;

    // Only a left press on a row arms a drag.
    dialog->profileListPressed(Qt::RightButton, tariffRow(1));
    EXPECT_EQ(dialog->DragSource, tariff::NoDrag);
    dialog->profileListPressed(Qt::LeftButton, belowTheRows(control<QTreeWidget>(dialog, "profileList")));
    EXPECT_EQ(dialog->DragSource, tariff::NoDrag);
    dialog->dayListDragOver(control<QTreeWidget>(dialog, "profileList"), dayRow(3), accept);
    EXPECT_FALSE(accept);

    dialog->profileListPressed(Qt::LeftButton, tariffRow(1));
    EXPECT_EQ(dialog->DragSource, tariff::FromTariff);
    ASSERT_NE(dialog->DragItem, nullptr);
    EXPECT_EQ(dialog->DragItem->text(0), QStringLiteral("Night"));
    struct Over {
        const char* what;
        QObject* source;
        QPoint where;
        bool accepted;
    } overs[] = {
        {"a day row", control<QTreeWidget>(dialog, "profileList"), dayRow(3), true},
        {"below the rows", control<QTreeWidget>(dialog, "profileList"),
         belowTheRows(control<QTreeWidget>(dialog, "dayList")), false},
        {"from something other than a list view", control<QPushButton>(dialog, "okButton"), dayRow(3), false},
        {"from nowhere", nullptr, dayRow(3), false},
    };
    for (const Over& o : overs) {
        SCOPED_TRACE(o.what);
        dialog->dayListDragOver(o.source, o.where, accept);
        EXPECT_EQ(accept, o.accepted);
    }
    dialog->profileListDragOver(control<QTreeWidget>(dialog, "profileList"), tariffRow(0), accept);
    EXPECT_FALSE(accept) << "onto the profile list itself";

    dialog->dayListDropped(control<QTreeWidget>(dialog, "profileList"), dayRow(1));  // replaces Day
    dialog->dayListDropped(control<QTreeWidget>(dialog, "profileList"),
                           belowTheRows(control<QTreeWidget>(dialog, "dayList")));
    EXPECT_EQ(captions(), QStringList({"", "Night", "Day", "", "", "", "", ""}));
    assign(1, 7);
    assign(0, 0);
    EXPECT_EQ(captions(), QStringList({"Day", "Night", "Day", "", "", "", "", "Night"}));

    // Back from the days: an empty row cannot be dragged, nor with the right button.
    dialog->dayListPressed(Qt::LeftButton, dayRow(4));
    dialog->profileListDragOver(control<QTreeWidget>(dialog, "dayList"), tariffRow(0), accept);
    EXPECT_FALSE(accept);
    dialog->dayListPressed(Qt::RightButton, dayRow(7));
    dialog->profileListDragOver(control<QTreeWidget>(dialog, "dayList"), tariffRow(0), accept);
    EXPECT_FALSE(accept);

    dialog->dayListPressed(Qt::LeftButton, dayRow(7));
    EXPECT_EQ(dialog->DragSource, tariff::FromDays);
    dialog->dayListDragOver(control<QTreeWidget>(dialog, "dayList"), dayRow(6), accept);
    EXPECT_FALSE(accept) << "onto the days list itself";
    dialog->profileListDragOver(control<QTreeWidget>(dialog, "dayList"),
                                belowTheRows(control<QTreeWidget>(dialog, "profileList")), accept);
    EXPECT_TRUE(accept);
    dialog->profileListDropped(control<QTreeWidget>(dialog, "dayList"),
                               belowTheRows(control<QTreeWidget>(dialog, "profileList")));
    // Only that row is emptied; the profile stays in the other rows and in the list.
    EXPECT_EQ(captions(), QStringList({"Day", "Night", "Day", "", "", "", "", ""}));
    EXPECT_EQ(control<QTreeWidget>(dialog, "profileList")->topLevelItemCount(), 2);
    // The emptied row has nothing left to take back.
    dialog->profileListDragOver(control<QTreeWidget>(dialog, "dayList"), tariffRow(0), accept);
    EXPECT_FALSE(accept);
    dialog->reject();
}

TEST_F(ProvidersTest, SwitchingProvidersKeepsTheAssignmentsOfTheOpening)
{
    setProviders({"ISP", "Home", "Work"});
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeProfile("Night", {0, 0, 2, 2, 1});
    writeSlotName("ISP", "1", "Day");
    writeSlotName("Work", "1", "Night");
    open();
    assign(0, 3);
    control<QListWidget>(dialog, "providerList")->setCurrentRow(1);
    EXPECT_EQ(captions(), QStringList(8, QString()));
    assign(1, 0);
    control<QListWidget>(dialog, "providerList")->setCurrentRow(0);
    EXPECT_EQ(captions(), QStringList({"", "Day", "", "Day", "", "", "", ""}));
    control<QListWidget>(dialog, "providerList")->setCurrentRow(1);
    EXPECT_EQ(captions(), QStringList({"Night", "", "", "", "", "", "", ""}));

    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(dialog->result(), QDialog::Accepted);
    const Slot day{"Day", {8, 20, 10, 3, 0}};
    const Slot night{"Night", {0, 0, 2, 2, 1}};
    EXPECT_EQ(storedSlot("ISP", "1"), day);
    EXPECT_EQ(storedSlot("ISP", "3"), day);
    EXPECT_EQ(storedSlot("ISP", "0"), kEmptySlot);
    EXPECT_EQ(storedSlot("Home", "0"), night);
    EXPECT_EQ(storedSlot("Home", q(rk::kHolidayDay)), kEmptySlot);
    // Work was never shown: its slots are as they were.
    EXPECT_EQ(subkeys(providerKey("Work")), QStringList({"1"}));
    EXPECT_EQ(valueNames(testing_support::tariffSlotKey("Work", "1")), QStringList({q(rk::vSlotTariffProfile)}));
}

TEST_F(ProvidersTest, OkWritesAllEightSlotsOfTheShownProvider)
{
    setProviders({"ISP"});
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeSlotName("Other", "1", "Day");
    open();
    // A name that is among no profile can only come from the registry; set it as if so.
    control<QTreeWidget>(dialog, "dayList")->topLevelItem(2)->setText(0, QStringLiteral("Gone"));
    control<QPushButton>(dialog, "okButton")->click();

    EXPECT_EQ(subkeys(providerKey("ISP")), dayKeys());
    for (int d = 0; d < 8; ++d) {
        const QString key = testing_support::tariffSlotKey("ISP", tariffoptions::slotDayKey(d));
        EXPECT_EQ(storedSlot("ISP", tariffoptions::slotDayKey(d)), kEmptySlot) << d;
        EXPECT_EQ(valueNames(key), slotValueOrder()) << d;
    }
    EXPECT_EQ(subkeys(providerKey("Other")), QStringList({"1"}));
}

TEST(Providers, MessagesWhenThereIsNothingToShow)
{
    const QString noProviders = QStringLiteral("No providers found!");
    const QString noTariffs = QStringLiteral("No tariffs found! To create tariffs go to menu Options|Tariffs.");
    struct Case {
        const char* what;
        bool providers;
        bool profiles;
        QStringList messages;
        bool staysOpen;
    } cases[] = {
        {"no dial-up entries", false, true, {noProviders}, true},
        {"no profiles", true, false, {noTariffs}, false},
        {"neither", false, false, {noProviders, noTariffs}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TestEnvironment caseEnv;
        if (c.providers)
            setProviders({"ISP"});
        if (c.profiles)
            writeProfile("Day", {8, 20, 10, 3, 0});
        MainWindow window;
        ProvidersDialog form(window.session());
        std::vector<bool> inSight;
        noteWhetherInSight(caseEnv.boxes, form, inSight);
        form.open();
        waitForBoxes(caseEnv.boxes, static_cast<std::size_t>(c.messages.size()));
        QCoreApplication::processEvents();
        EXPECT_EQ(caseEnv.boxes.texts(), c.messages);
        // Each message about the dialog comes with the dialog on the screen.
        EXPECT_EQ(inSight, std::vector<bool>(static_cast<std::size_t>(c.messages.size()), true));
        for (const auto& box : caseEnv.boxes.shown) {
            EXPECT_EQ(box.icon, MessageIcon::Exclamation);
            EXPECT_EQ(box.caption, QStringLiteral("Dialtally 2.01"));
        }
        EXPECT_EQ(form.isVisible(), c.staysOpen);
        if (c.staysOpen)
            control<QPushButton>(form, "okButton")->click();
        else
            EXPECT_EQ(form.result(), QDialog::Rejected);
        EXPECT_FALSE(keyExists(q(rk::kTariffs))) << "nothing saved";
    }
}

TEST_F(ProvidersTest, CancelSavesNothingAndHelp)
{
    setProviders({"ISP"});
    writeProfile("Day", {8, 20, 10, 3, 0});
    platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    open();
    assign(0, 1);
    control<QPushButton>(dialog, "helpButton")->click();
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(dialog.get(), &f1);
    ASSERT_EQ(env.help.calls.size(), 2u);
    EXPECT_EQ(env.help.calls[0].context, 15);
    EXPECT_EQ(env.help.calls[1].context, 12);
    EXPECT_EQ(env.help.calls[0].file, env.programFolder() + "/Dialtally Help.hlp");
    EXPECT_TRUE(dialog->isVisible());

    control<QPushButton>(dialog, "cancelButton")->click();
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_FALSE(dialog->isVisible());
    EXPECT_FALSE(keyExists(providerKey("ISP")));
}

TEST_F(ProvidersTest, AProfileThatCannotBeReadStopsTheLoadAndTheSave)
{
    setProviders({"ISP"});
    writeProfile("Day", {8, 20, 10, 3, 0});
    writeStr(HKCU, q(rk::kTariffProfile) + "\\Broken", q(rk::vStartingInterval), QStringLiteral("8"));
    writeProfile("Night", {0, 0, 2, 2, 1});
    writeSlotName("ISP", "1", "Night");
    open();
    ASSERT_EQ(env.boxes.texts(), QStringList({"Invalid data type for 'StartingInterval'."}));
    EXPECT_FALSE(control<QPushButton>(dialog, "okButton")->isEnabled());
    dialog->okClicked();
    // Saving now would have emptied the Night slot, a profile the load never reached.
    EXPECT_EQ(valueNames(testing_support::tariffSlotKey("ISP", "1")), QStringList({q(rk::vSlotTariffProfile)}));
    dialog->reject();
}

TEST_F(ProvidersTest, MoreThanTwentyDialUpEntriesAreAllListed)
{
    QStringList providers;
    for (int i = 0; i < 22; ++i)
        providers << QStringLiteral("Entry %1").arg(i);
    setProviders(providers);
    writeProfile("Day", {8, 20, 10, 3, 0});
    open();
    ASSERT_EQ(control<QListWidget>(dialog, "providerList")->count(), 22);
    control<QListWidget>(dialog, "providerList")->setCurrentRow(21);
    assign(0, 6);
    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(storedSlot("Entry 21", "6"), (Slot{"Day", {8, 20, 10, 3, 0}}));
    EXPECT_EQ(storedSlot("Entry 0", "6"), kEmptySlot);
}

// ---- from a profile to a charged minute ----------------------------------------------------------

class ProviderChargingTest : public StartedProgramTest {
protected:
    void SetUp() override
    {
        startProgram();
        if (HasFatalFailure())
            return;
        setProviders({"Backup", "ISP"});
        env.boxes.clear();
    }
    // One connected minute at `hour`:`minute` of 7 January 2000 (a Friday).
    std::int32_t chargeAt(int hour, int minute)
    {
        const std::int32_t before = mainWindow->session().connection().fee();
        env.clock.set(2000, 1, 7, hour, minute, 0);
        mainWindow->session().tick();
        return mainWindow->session().connection().fee() - before;
    }
};

TEST_F(ProviderChargingTest, AProfileDraggedOntoADayChargesThatDaysMinutes)
{
    {
        TariffProfilesDialog options(mainWindow->session());
        options.FormActivate();
        control<QLineEdit>(options, "nameEdit")->setText(QStringLiteral("Cheap"));
        control<QToolButton>(options, "createButton")->click();
        control<QLineEdit>(options, "startingIntervalEdit")->setText(QStringLiteral("8"));
        control<QLineEdit>(options, "endingIntervalEdit")->setText(QStringLiteral("20"));
        control<QLineEdit>(options, "dayCostEdit")->setText(QStringLiteral("4"));
        control<QLineEdit>(options, "nightCostEdit")->setText(QStringLiteral("1"));
        control<QLineEdit>(options, "nameEdit")->setText(QStringLiteral("Feast"));
        control<QToolButton>(options, "createButton")->click();
        control<QToolButton>(options, "oneCostPerDayButton")->click();
        control<QLineEdit>(options, "dayCostEdit")->setText(QStringLiteral("30"));
        control<QPushButton>(options, "okButton")->click();
        ASSERT_EQ(options.result(), QDialog::Accepted);
    }
    env.boxes.clear();
    {
        ProvidersDialog providers(mainWindow->session());
        providers.open();
        QCoreApplication::processEvents();
        ASSERT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join("|").toStdString();
        control<QListWidget>(providers, "providerList")->setCurrentRow(1);
        const auto drag = [&](int profile, int day) {
            providers.profileListPressed(
                Qt::LeftButton,
                control<QTreeWidget>(providers, "profileList")
                    ->visualItemRect(control<QTreeWidget>(providers, "profileList")->topLevelItem(profile))
                    .center());
            const QPoint row = control<QTreeWidget>(providers, "dayList")
                                   ->visualItemRect(control<QTreeWidget>(providers, "dayList")->topLevelItem(day))
                                   .center();
            providers.dayListDropped(control<QTreeWidget>(providers, "profileList"), row);
        };
        drag(0, 5);  // Friday
        drag(1, 7);  // Holiday
        control<QPushButton>(providers, "okButton")->click();
        ASSERT_EQ(providers.result(), QDialog::Accepted);
    }
    // The provider shown first and then left is saved too, as it was shown.
    EXPECT_EQ(storedSlot("Backup", "5"), kEmptySlot);

    env.setLine(true);
    EXPECT_EQ(chargeAt(12, 0), 4);  // day interval
    EXPECT_EQ(chargeAt(19, 59), 4);
    EXPECT_EQ(chargeAt(20, 0), 1);  // its end hour is already night
    EXPECT_EQ(chargeAt(23, 30), 1);
    mainWindow->session().setHoliday(true);
    EXPECT_EQ(chargeAt(23, 31), 30);  // the holiday slot, one cost all day
    EXPECT_EQ(control<QLabel>(mainWindow, "connectionFeeLabel")->text(),
              formats::feeText(mainWindow->session().connection().fee()));
    EXPECT_TRUE(env.boxes.shown.empty());
}

}  // namespace
