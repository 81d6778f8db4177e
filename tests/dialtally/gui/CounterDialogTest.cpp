// The Counter dialog: loading, OK with the two-weekly rule and the budget switch,
// Reset now, Create Report now and Cancel.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"
#include "support/core/SessionProbe.h"

#include "platform/gui/Application.h"
#include "common/RegistryNames.h"
#include "dialtally/gui/MainWindow.h"
#include "dialtally/core/Report.h"
#include "support/StartedProgram.h"
#include "dialtally/core/History.h"
#include "dialtally/gui/CounterDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFontMetricsF>
#include <QFileInfo>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

history::HistoryRecord recordOf(int cents)
{
    history::HistoryRecord r;
    r.StartTime = {2000, 3, 13, 10, 0, 0};
    r.EndTime = r.StartTime;
    r.FeeCents = cents;
    r.DurationSeconds = 600;
    r.setProviderName(QStringLiteral("ISP"));
    r.setUserName(QStringLiteral("alice"));
    return r;
}

}  // namespace

TEST(CounterChoice, RadioButtonsGiveTheModeAndTheTwoWeeklyDay)
{
    struct Case {
        int button;
        int today;
        int mode;
        int day;
        bool writesDay;
    };
    // The main window holds mode 3 and day 14 before OK.
    const Case cases[] =
        {
            {1, 1, 1, 14, true},   {1, 13, 1, 14, true},  {1, 14, 1, 1, true},
            {1, 31, 1, 1, true},   {2, 13, 2, 14, false}, {3, 20, 3, 14, false},
            {4, 20, 4, 14, false}, {0, 20, 3, 14, false},  // nothing checked: the main window's mode is kept
        };
    for (const Case& c : cases) {
        const auto choice = resetdialog::counterChoice(c.button, 3, 14, c.today);
        EXPECT_EQ(choice.resetMode, c.mode) << c.button << " on the " << c.today;
        EXPECT_EQ(choice.resetDay, c.day) << c.button << " on the " << c.today;
        EXPECT_EQ(choice.writesResetDay, c.writesDay) << c.button << " on the " << c.today;
    }
}

class CounterDialogTest : public ::testing::Test {
protected:
    CounterDialogTest()
    {
        env.install();
        env.setWindowsUser(QStringLiteral("alice"));
        main.session().writeDefaultSettings();
        SessionProbe::programPath(main.session()) = env.programFolder();
        SessionProbe::resetMode(main.session()) = period::ResetMode::Never;
        SessionProbe::resetDay(main.session()) = 14;
        platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
        writeInt(HKCU, rk::kBudget, rk::vOnOff, 1);
        env.boxes.clear();
        env.help.calls.clear();
    }
    int counterValue(const char* name) { return readInt(HKLM, rk::kCounterAll, name); }
    int budgetSwitch() { return readInt(HKCU, rk::kBudget, rk::vOnOff); }
    QString reportPath(int y, int m, int d)
    {
        return env.programFolder() + "/Reports/" + report::reportFileName(y, m, d);
    }

    TestEnvironment env;
    MainWindow main;
};

TEST_F(CounterDialogTest, ShowingLoadsTheSavedChoiceAndIgnoresAModeOfNoButton)
{
    CounterDialog dialog(main.session());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Counter"));
    writeInt(HKLM, rk::kCounterAll, rk::vReset, 2);
    writeInt(HKLM, rk::kCounterAll, rk::vReport, 1);
    dialog.show();
    EXPECT_EQ(dialog.checkedResetButton(), 2);
    EXPECT_TRUE(control<QCheckBox>(dialog, "reportEnabledCheck")->isChecked());

    // Unsaved clicks, then Cancel: the next showing shows what is stored.
    control<QRadioButton>(dialog, "neverResetRadio")->setChecked(true);
    control<QCheckBox>(dialog, "reportEnabledCheck")->setChecked(false);
    control<QPushButton>(dialog, "cancelButton")->click();
    EXPECT_FALSE(dialog.isVisible());
    dialog.show();
    EXPECT_EQ(dialog.checkedResetButton(), 2);
    EXPECT_TRUE(control<QCheckBox>(dialog, "reportEnabledCheck")->isChecked());
    control<QPushButton>(dialog, "cancelButton")->click();

    for (int stored : {0, 7}) {
        writeInt(HKLM, rk::kCounterAll, rk::vReset, stored);
        writeInt(HKLM, rk::kCounterAll, rk::vReport, 2);
        dialog.show();
        EXPECT_EQ(dialog.checkedResetButton(), 2) << stored;  // as last shown
        EXPECT_FALSE(control<QCheckBox>(dialog, "reportEnabledCheck")->isChecked());
        control<QPushButton>(dialog, "cancelButton")->click();
    }

    control<QPushButton>(dialog, "helpButton")->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].context, 11);
}

TEST_F(CounterDialogTest, OkStoresTheChoiceAndHandsItToTheMainWindow)
{
    struct Case {
        int day;
        const char* button;
        bool report;
        int mode;
        int reset14;  // 0: not written, the stored 9 stays
        int budget;
    };
    const Case cases[] = {
        {13, "twoWeeksRadio", true, 1, 14, 0},  {14, "twoWeeksRadio", false, 1, 1, 0},
        {20, "monthRadio", true, 2, 0, 1},      {20, "twoMonthsRadio", false, 3, 0, 0},
        {20, "neverResetRadio", true, 4, 0, 0},
    };
    for (const Case& c : cases) {
        writeInt(HKLM, rk::kCounterAll, rk::vReset14, 9);
        writeInt(HKCU, rk::kBudget, rk::vOnOff, 1);
        SessionProbe::resetDay(main.session()) = 9;
        env.clock.set(2000, 3, c.day, 12);
        CounterDialog dialog(main.session());
        dialog.show();
        control<QRadioButton>(dialog, c.button)->setChecked(true);
        control<QCheckBox>(dialog, "reportEnabledCheck")->setChecked(c.report);
        control<QPushButton>(dialog, "okButton")->click();

        EXPECT_FALSE(dialog.isVisible());
        EXPECT_EQ(dialog.result(), 1);
        EXPECT_EQ(counterValue(rk::vReset), c.mode) << "mode " << c.mode << " on the " << c.day;
        EXPECT_EQ(main.session().counterPeriod().resetMode(), period::resetModeFrom(c.mode));
        EXPECT_EQ(counterValue(rk::vReset14), c.reset14 ? c.reset14 : 9) << c.day;
        EXPECT_EQ(main.session().counterPeriod().resetDay(), c.reset14 ? c.reset14 : 9) << c.day;
        EXPECT_EQ(counterValue(rk::vReport), c.report ? 1 : 0);
        EXPECT_EQ(budgetSwitch(), c.budget) << "mode " << c.mode;
    }
}

TEST_F(CounterDialogTest, OkWithNoButtonCheckedWritesTheMainWindowsModeBack)
{
    // The main window may hold the monthly mode while the stored one is of no button:
    // with "after the month" not checked the budget watch still goes off.
    for (const int mainMode : {7, 2}) {
        writeInt(HKLM, rk::kCounterAll, rk::vReset, 7);
        writeInt(HKCU, rk::kBudget, rk::vOnOff, 1);
        SessionProbe::resetMode(main.session()) = period::resetModeFrom(mainMode);
        CounterDialog dialog(main.session());
        dialog.show();
        ASSERT_EQ(dialog.checkedResetButton(), 0);
        control<QPushButton>(dialog, "okButton")->click();
        EXPECT_EQ(counterValue(rk::vReset), mainMode);
        EXPECT_EQ(main.session().counterPeriod().resetMode(), period::resetModeFrom(mainMode));
        EXPECT_EQ(counterValue(rk::vReset14), 14);
        EXPECT_EQ(budgetSwitch(), 0) << "main window's mode " << mainMode;
    }
}

TEST_F(CounterDialogTest, ResetNowEmptiesTheHistoryWithTheReportAsCheckedAndSavesNothing)
{
    env.clock.set(2000, 3, 13, 18);
    for (bool withReport : {false, true}) {
        ASSERT_TRUE(history::append(env.programFolder(), recordOf(150)));
        ASSERT_TRUE(history::append(env.programFolder(), recordOf(250)));
        writeInt(HKLM, rk::kUsers, rk::vCrash, 3);
        writeInt(HKLM, rk::kCounterAll, rk::vReport, withReport ? 0 : 1);
        QFile::remove(reportPath(2000, 3, 13));
        SessionProbe::periodFee(main.session()) = 400;

        CounterDialog dialog(main.session());
        dialog.show();
        control<QCheckBox>(dialog, "reportEnabledCheck")->setChecked(withReport);
        control<QPushButton>(dialog, "resetNowButton")->click();
        EXPECT_TRUE(env.boxes.shown.empty());  // no question
        EXPECT_TRUE(dialog.isVisible());

        EXPECT_EQ(QFileInfo(history::historyFile(env.programFolder())).size(), 0);
        EXPECT_EQ(readInt(HKLM, rk::kUsers, rk::vCrash), 0);
        EXPECT_EQ(main.session().counterPeriod().fee(), 0);
        EXPECT_EQ(counterValue(rk::vDay), 13);
        EXPECT_EQ(QFileInfo::exists(reportPath(2000, 3, 13)), withReport);

        control<QPushButton>(dialog, "cancelButton")->click();
        // The check box was not saved.
        EXPECT_EQ(counterValue(rk::vReport), withReport ? 0 : 1);
    }
}

TEST_F(CounterDialogTest, CreateReportNowWritesTodaysReportAndSaysSoWhenItCannot)
{
    env.clock.set(2000, 3, 5, 9);
    ASSERT_TRUE(history::append(env.programFolder(), recordOf(150)));
    CounterDialog dialog(main.session());
    dialog.show();
    control<QPushButton>(dialog, "reportNowButton")->click();
    QFile report(reportPath(2000, 3, 5));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    EXPECT_TRUE(report.readAll().contains("alice"));
    EXPECT_TRUE(env.boxes.shown.empty());
    // The history stays: a report is no reset.
    EXPECT_EQ(history::readAll(env.programFolder()).size(), 1u);

    // A file where the reports folder should be.
    ASSERT_TRUE(QDir(env.programFolder() + "/Reports").removeRecursively());
    {
        QFile blocker(env.programFolder() + "/Reports");
        ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    control<QPushButton>(dialog, "reportNowButton")->click();
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_TRUE(env.boxes.shown[0].text.startsWith(QStringLiteral("Can't write the report")));
    EXPECT_EQ(env.boxes.shown[0].caption, QStringLiteral("Dialtally 2.01"));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_TRUE(dialog.isVisible());
}

TEST_F(CounterDialogTest, TheNotesReadInTheDialogsFontWithEachLineWhole)
{
    CounterDialog dialog(main.session());
    dialog.show();
    for (QPlainTextEdit* note :
         {control<QPlainTextEdit>(dialog, "resetNote"), control<QPlainTextEdit>(dialog, "reportNote")}) {
        SCOPED_TRACE(note->objectName().toStdString());
        control<QTabWidget>(dialog, "pageTabs")->setCurrentWidget(note->parentWidget());
        QCoreApplication::processEvents();
        EXPECT_EQ(note->font(), dialog.font());
        const QFontMetricsF metrics(note->font());
        const qreal room = note->viewport()->width() - 2 * note->document()->documentMargin();
        for (const QString& line : note->toPlainText().split(QLatin1Char('\n')))
            EXPECT_LE(metrics.horizontalAdvance(line), room) << line.toStdString();
    }
    // No narrower than the design.
    EXPECT_GE(dialog.width(), 318);
    EXPECT_EQ(dialog.height(), 377);
}
