// The Statistics dialog: per-user rows from history.dat, the crash rate, the sort rule
// and the dialog's showing and closing.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"
#include "support/core/SessionProbe.h"

#include "platform/gui/Application.h"
#include "common/RegistryNames.h"
#include "dialtally/gui/StatisticsDialog.h"
#include "dialtally/gui/MainWindow.h"
#include "support/StartedProgram.h"
#include "dialtally/gui/ConnectionsDialog.h"
#include "dialtally/core/History.h"
#include "support/HistoryRecords.h"

#include <QCoreApplication>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>

#include <QImage>
#include <QPixmap>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

QStringList row(const char* name, const char* connections, const char* time, const char* fee)
{
    return {QString::fromUtf8(name), QString::fromLatin1(connections), QString::fromLatin1(time),
            QString::fromLatin1(fee)};
}

}  // namespace

class StatisticsDialogTest : public ::testing::Test {
protected:
    StatisticsDialogTest()
    {
        env.install();
        SessionProbe::programPath(main.session()) = env.programFolder();
        platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
        StatisticsDialog::forgetSortOrder();
    }
    void write(const QString& user, int seconds, int cents)
    {
        ASSERT_TRUE(history::append(env.programFolder(), userRecord(user, seconds, cents)));
    }
    void crashes(int n) { writeInt(RootKey::LocalMachine, rk::kUsers, rk::vCrash, n); }
    void clickHeader(StatisticsDialog& dialog, int column)
    {
        emit control<QTreeWidget>(dialog, "userList")->header()->sectionClicked(column);
    }
    QStringList names(const StatisticsDialog& dialog)
    {
        QStringList out;
        for (const auto& r : dialog.rowTexts())
            out << r[0];
        return out;
    }

    TestEnvironment env;
    MainWindow main;
};

TEST_F(StatisticsDialogTest, ShowingFillsRowsCrashesAndRateAndClosingEmptiesTheList)
{
    write(QStringLiteral("alice"), 3600, 100);
    write(QStringLiteral("bob"), 60, 20);
    write(QStringLiteral("alice"), 1800, 250);
    write(QStringLiteral("alice"), 5, 5);
    crashes(5);
    SessionProbe::periodSeconds(main.session()) = 5400;

    StatisticsDialog dialog(main.session());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Statistics"));
    EXPECT_EQ(control<QLabel>(dialog, "crashCountLabel")->text(), QStringLiteral("0"));
    dialog.show();
    EXPECT_EQ(control<QLabel>(dialog, "crashCountLabel")->text(), QStringLiteral("5"));
    EXPECT_EQ(control<QLabel>(dialog, "crashRateLabel")->text(), QStringLiteral("3.33"));
    const std::vector<QStringList> expected = {row("alice", "3", "1:30:5", "3 d. 55 c."),
                                               row("bob", "1", "0:1:0", "0 d. 20 c.")};
    EXPECT_EQ(dialog.rowTexts(), expected);

    // Coming back to the dialog (an activation) does not count the records twice.
    dialog.FormActivate();
    EXPECT_EQ(dialog.rowTexts(), expected);

    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(control<QTreeWidget>(dialog, "userList")->topLevelItemCount(), 0);
    // The labels keep their texts while the dialog is hidden.
    EXPECT_EQ(control<QLabel>(dialog, "crashCountLabel")->text(), QStringLiteral("5"));

    dialog.show();
    EXPECT_EQ(dialog.rowTexts(), expected);
    dialog.reject();  // the close box
    EXPECT_EQ(control<QTreeWidget>(dialog, "userList")->topLevelItemCount(), 0);
}

TEST_F(StatisticsDialogTest, TheListIsDrawnWithGridLines)
{
    write(QStringLiteral("alice"), 60, 10);
    write(QStringLiteral("bob"), 60, 10);
    crashes(0);
    StatisticsDialog dialog(main.session());
    dialog.show();
    ASSERT_EQ(control<QTreeWidget>(dialog, "userList")->topLevelItemCount(), 2);
    const QImage image = control<QTreeWidget>(dialog, "userList")->viewport()->grab().toImage();
    const QColor line = control<QTreeWidget>(dialog, "userList")->palette().color(QPalette::Mid);
    const QRect first = control<QTreeWidget>(dialog, "userList")
                            ->visualItemRect(control<QTreeWidget>(dialog, "userList")->topLevelItem(0));
    // A line between the first two columns and one under the first row; none inside
    // the cell, where the text stands.
    const int x = control<QTreeWidget>(dialog, "userList")->columnWidth(0) - 1;
    EXPECT_EQ(image.pixelColor(x, first.center().y()).rgb(), line.rgb());
    EXPECT_EQ(image.pixelColor(first.left() + 2, first.bottom()).rgb(), line.rgb());
    EXPECT_NE(image.pixelColor(x - 1, first.center().y()).rgb(), line.rgb());
    dialog.reject();
}

TEST_F(StatisticsDialogTest, NoHistoryStillShowsTheCrashesAndRate)
{
    crashes(1);
    SessionProbe::periodSeconds(main.session()) = 3599;
    StatisticsDialog dialog(main.session());
    dialog.show();
    EXPECT_EQ(control<QTreeWidget>(dialog, "userList")->topLevelItemCount(), 0);
    EXPECT_EQ(control<QLabel>(dialog, "crashCountLabel")->text(), QStringLiteral("1"));
    EXPECT_EQ(control<QLabel>(dialog, "crashRateLabel")->text(), QStringLiteral("0"));
    EXPECT_TRUE(env.boxes.shown.empty());
}

TEST_F(StatisticsDialogTest, AMissingCrashCountIsShownAndLeavesAnEmptyList)
{
    write(QStringLiteral("alice"), 60, 10);
    StatisticsDialog dialog(main.session());
    dialog.show();
    ASSERT_EQ(control<QTreeWidget>(dialog, "userList")->topLevelItemCount(), 1);
    dialog.reject();

    platform::Registry r;
    r.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(r.deleteKey(QString::fromLatin1(rk::kUsers)));
    SessionProbe::periodSeconds(main.session()) = 7200;
    dialog.show();
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text,
              QStringLiteral("Failed to get data for '%1'.").arg(QString::fromLatin1(rk::vCrash)));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(control<QTreeWidget>(dialog, "userList")->topLevelItemCount(), 0);
    EXPECT_EQ(control<QLabel>(dialog, "crashCountLabel")->text(), QStringLiteral("0"));
    // The dialog reads; it never creates the key.
    EXPECT_FALSE(r.keyExists(QString::fromLatin1(rk::kUsers)));
}

TEST_F(StatisticsDialogTest, HeaderClicksSortByTheColumnAndTheStateOutlivesTheShowing)
{
    write(QStringLiteral("nine"), 9 * 3600 + 59 * 60 + 59, 999);
    for (int i = 0; i < 10; ++i)
        write(QStringLiteral("ten"), i == 0 ? 36000 : 0, i == 0 ? 1000 : 0);
    for (int i = 0; i < 9; ++i)
        write(QStringLiteral("Zed"), i == 0 ? 5 : 0, i == 0 ? 1 : 0);
    // nine: 1 connection, 9:59:59, 9 d. 99 c.; ten: 10, 10:0:0, 10 d. 0 c.; Zed: 9, 0:0:5, 0 d. 1 c.
    StatisticsDialog dialog(main.session());
    dialog.show();
    EXPECT_EQ(names(dialog), (QStringList{"nine", "ten", "Zed"}));  // as filled, never sorted

    struct Step {
        int column;
        QStringList order;
    };
    const Step steps[] = {
        {1, {"nine", "Zed", "ten"}},  // Connections: 1, 9, 10
        {1, {"ten", "Zed", "nine"}}, {2, {"Zed", "nine", "ten"}},  // Total time
        {3, {"Zed", "nine", "ten"}},  // Total fee, ascending
        {3, {"ten", "nine", "Zed"}},  // and descending
        {0, {"Zed", "nine", "ten"}},  // User name: capitals first
    };
    for (const Step& s : steps) {
        clickHeader(dialog, s.column);
        EXPECT_EQ(names(dialog), s.order) << "column " << s.column;
    }

    // Closed and shown again: a click on the same column flips from the state left.
    clickHeader(dialog, 3);  // Total fee ascending
    dialog.reject();
    dialog.show();
    EXPECT_EQ(names(dialog), (QStringList{"nine", "ten", "Zed"}));
    clickHeader(dialog, 3);
    EXPECT_EQ(names(dialog), (QStringList{"ten", "nine", "Zed"}));

    control<QPushButton>(dialog, "helpButton")->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].context, 17);
}

TEST_F(StatisticsDialogTest, TwentyFiveUsersShowEveryColumnWholeBesideTheScrollBar)
{
    const QString longName = QStringLiteral("Maximiliana Theodora Evangelina Wolkenstein");
    write(longName, 60, 10);
    for (int user = 1; user < 25; ++user)
        write(QStringLiteral("user%1").arg(user), 3600 * 999, 9999999 / 25);
    crashes(0);
    StatisticsDialog dialog(main.session());
    const QSize opening = dialog.size();
    dialog.show();
    // The list lays its rows out, and shows its scroll bars, when its events come.
    control<QTreeWidget>(dialog, "userList")->doItemsLayout();
    QCoreApplication::processEvents();
    ASSERT_EQ(control<QTreeWidget>(dialog, "userList")->topLevelItemCount(), 25);
    EXPECT_EQ(dialog.size(), opening);
    EXPECT_TRUE(control<QTreeWidget>(dialog, "userList")->verticalScrollBar()->isVisible());
    EXPECT_FALSE(control<QTreeWidget>(dialog, "userList")->horizontalScrollBar()->isVisible());
    // The sums are never cut; the name is, with its tooltip holding it whole.
    const QFontMetricsF metrics(control<QTreeWidget>(dialog, "userList")->font());
    const QTreeWidgetItem* row = control<QTreeWidget>(dialog, "userList")->topLevelItem(1);
    for (int c = 1; c < 4; ++c)
        EXPECT_LT(metrics.horizontalAdvance(row->text(c)), control<QTreeWidget>(dialog, "userList")->columnWidth(c))
            << c;
    EXPECT_GT(metrics.horizontalAdvance(longName), control<QTreeWidget>(dialog, "userList")->columnWidth(0));
    EXPECT_EQ(control<QTreeWidget>(dialog, "userList")->topLevelItem(0)->toolTip(0), longName);
    // In the dialog's own font, as its other texts.
    EXPECT_EQ(control<QTreeWidget>(dialog, "userList")->font(), dialog.font());
    dialog.reject();
}
