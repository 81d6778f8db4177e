// The Connections dialog: the three filters, the footer, sorting by column and the
// layout, over the history file.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/SessionProbe.h"

#include "dialtally/gui/MainWindow.h"
#include "dialtally/gui/ConnectionsDialog.h"
#include "dialtally/core/History.h"

#include <QApplication>
#include <QFile>
#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTableView>
#include <QToolButton>

#include <QFontMetrics>

#include <gtest/gtest.h>

#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <cmath>
#include <vector>

using testing_support::control;

using history::HistoryRecord;
using testing_support::TestEnvironment;

namespace {

struct Day {
    int year, month, day;
};

HistoryRecord record(Day start, int fee, int seconds = 60, const QString& user = QStringLiteral("alice"),
                     const QString& provider = QStringLiteral("ISP"))
{
    HistoryRecord r;
    r.StartTime = {static_cast<std::uint16_t>(start.year),
                   static_cast<std::uint16_t>(start.month),
                   static_cast<std::uint16_t>(start.day),
                   8,
                   5,
                   9};
    r.EndTime = r.StartTime;
    r.EndTime.hour = 9;
    r.FeeCents = fee;
    r.DurationSeconds = seconds;
    r.setUserName(user);
    r.setProviderName(provider);
    return r;
}

// What the list shows: the rows its view reads from its model.
int rowCount(const QTableView& table)
{
    return table.model()->rowCount();
}

QStringList column(const QTableView& table, int c)
{
    QStringList texts;
    const QAbstractItemModel& model = *table.model();
    for (int r = 0; r < model.rowCount(); ++r)
        texts << model.index(r, c).data().toString();
    return texts;
}

class ConnectionsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ConnectionsDialog::forgetSortOrder();
        SessionProbe::programPath(main.session()) = env.programFolder();
        env.clock.set(1999, 10, 9, 12, 0, 0);
    }

    void writeHistory(const std::vector<HistoryRecord>& records)
    {
        ASSERT_TRUE(history::truncate(env.programFolder()));
        for (const auto& r : records)
            ASSERT_TRUE(history::append(env.programFolder(), r));
    }

    TestEnvironment env;
    MainWindow main;
};

// ---- loading -------------------------------------------------------------------------

TEST_F(ConnectionsTest, AllDaysShowsEveryRecordWithRunningTotalAndFooter)
{
    writeHistory({record({1999, 9, 30}, 100, 10), record({1998, 1, 2}, 250, 11), record({1999, 10, 9}, 5, 12)});
    ConnectionsDialog dialog(main.session());
    dialog.FormActivate();

    ASSERT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 3);
    EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), 4),
              (QStringList{"1 dol. 0 c.", "3 dol. 50 c.", "3 dol. 55 c."}));
    EXPECT_EQ(dialog.rowOf(0), (QStringList{"alice", "ISP", "1 dol. 0 c.", "0:0:10", "1 dol. 0 c.", "1999/9/30",
                                            "8:5:9", "1999/9/30", "9:5:9"}));
    EXPECT_EQ(control<QLabel>(dialog, "totalFeeLabel")->text(), QStringLiteral("3 dol. 55 c."));
    EXPECT_EQ(control<QLabel>(dialog, "averageCostLabel")->text(), QStringLiteral("1 dol. 18 c."));  // 355 div 3
    EXPECT_EQ(control<QLabel>(dialog, "averageTimeLabel")->text(), QStringLiteral("0:0:11"));
    // Texts longer than the design's ones are shown whole.
    for (const QLabel* label : {control<QLabel>(dialog, "totalFeeLabel"), control<QLabel>(dialog, "averageTimeLabel"),
                                control<QLabel>(dialog, "averageCostLabel")})
        EXPECT_GE(label->width(), label->sizeHint().width()) << label->text().toStdString();

    // The cross marks the active filter only; the sort labels keep their design texts.
    EXPECT_FALSE(control<QToolButton>(dialog, "allDaysButton")->icon().isNull());
    EXPECT_TRUE(control<QToolButton>(dialog, "thisMonthButton")->icon().isNull());
    EXPECT_TRUE(control<QToolButton>(dialog, "thisDayButton")->icon().isNull());
    EXPECT_EQ(control<QLabel>(dialog, "sortColumnLabel")->text(), QStringLiteral("None"));
    EXPECT_EQ(control<QLabel>(dialog, "directionLabel")->text(), QStringLiteral("None"));
    EXPECT_TRUE(control<QLabel>(dialog, "ascendingArrow")->isHidden());
    EXPECT_TRUE(control<QLabel>(dialog, "descendingArrow")->isHidden());

    dialog.thisDayClicked();
    EXPECT_FALSE(control<QToolButton>(dialog, "thisDayButton")->icon().isNull());
    EXPECT_TRUE(control<QToolButton>(dialog, "allDaysButton")->icon().isNull());
}

TEST_F(ConnectionsTest, AverageTimeTruncates)
{
    writeHistory({record({1999, 10, 1}, 3, 10), record({1999, 10, 2}, 4, 11)});
    ConnectionsDialog dialog(main.session());
    dialog.allDaysClicked();
    EXPECT_EQ(control<QLabel>(dialog, "averageTimeLabel")->text(), QStringLiteral("0:0:10"));
    EXPECT_EQ(control<QLabel>(dialog, "averageCostLabel")->text(), QStringLiteral("0 dol. 3 c."));
}

TEST_F(ConnectionsTest, FiltersKeepTheTrailingRunThatMatchesMonthAndDayNotYear)
{
    // Today is 9 October 1999 throughout.
    struct Case {
        const char* name;
        std::vector<Day> starts;
        connections::HistoryFilter filter;
        QStringList shownStarts;
        QStringList runningTotals;
    } cases[] = {
        {"month: September start ended in October is out, total restarts",
         {{1999, 9, 30}, {1999, 10, 2}, {1999, 10, 5}},
         connections::ThisMonth,
         {"1999/10/2", "1999/10/5"},
         {"0 dol. 20 c.", "0 dol. 50 c."}},
        {"month: an October of an earlier year is dropped once another month follows",
         {{1998, 10, 9}, {1998, 11, 1}, {1999, 10, 1}, {1999, 10, 3}},
         connections::ThisMonth,
         {"1999/10/1", "1999/10/3"},
         {"0 dol. 30 c.", "0 dol. 70 c."}},
        {"day: the same day of an earlier year counts when nothing fails after it",
         {{1998, 10, 9}, {1998, 10, 9}},
         connections::ThisDay,
         {"1998/10/9", "1998/10/9"},
         {"0 dol. 10 c.", "0 dol. 30 c."}},
        {"day: the same day of another month is out",
         {{1999, 10, 9}, {1999, 9, 9}, {1999, 10, 9}},
         connections::ThisDay,
         {"1999/10/9"},
         {"0 dol. 30 c."}},
        {"all days: everything",
         {{1998, 1, 1}, {1999, 10, 9}},
         connections::AllDays,
         {"1998/1/1", "1999/10/9"},
         {"0 dol. 10 c.", "0 dol. 30 c."}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<HistoryRecord> records;
        int fee = 0;
        for (const Day& d : c.starts)
            records.push_back(record(d, fee += 10));
        writeHistory(records);
        ConnectionsDialog dialog(main.session());
        ClearConnectionTable(dialog);
        LoadHistory(dialog, c.filter);
        EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), 5), c.shownStarts);
        EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), 4), c.runningTotals);
        EXPECT_EQ(control<QLabel>(dialog, "totalFeeLabel")->text(), c.runningTotals.last());
    }
}

TEST_F(ConnectionsTest, NoRowLeftGivesTheZeroFooterWithoutDividing)
{
    writeHistory({record({1999, 10, 8}, 500, 100)});
    ConnectionsDialog dialog(main.session());
    dialog.allDaysClicked();
    EXPECT_EQ(control<QLabel>(dialog, "averageTimeLabel")->text(), QStringLiteral("0:1:40"));

    dialog.thisDayClicked();  // nothing started today
    EXPECT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 0);
    EXPECT_EQ(control<QLabel>(dialog, "totalFeeLabel")->text(), QStringLiteral("0 dol. 0 c."));
    EXPECT_EQ(control<QLabel>(dialog, "averageTimeLabel")->text(), QStringLiteral("0 h. 0 m."));
    EXPECT_EQ(control<QLabel>(dialog, "averageCostLabel")->text(), QStringLiteral("0 dol. 0 c."));
}

TEST_F(ConnectionsTest, EmptyOrMissingHistoryShowsNothingAndNoStaleTotals)
{
    ConnectionsDialog dialog(main.session());
    dialog.FormActivate();  // no file at all
    EXPECT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 0);
    EXPECT_EQ(control<QLabel>(dialog, "totalFeeLabel")->text(), QStringLiteral("0 dol. 0 c."));
    EXPECT_EQ(control<QLabel>(dialog, "averageTimeLabel")->text(), QStringLiteral("0 h. 0 m."));

    writeHistory({record({1999, 10, 1}, 1234, 3725)});
    dialog.allDaysClicked();
    EXPECT_EQ(control<QLabel>(dialog, "totalFeeLabel")->text(), QStringLiteral("12 dol. 34 c."));

    // A counter reset empties the file while the dialog is open.
    writeHistory({});
    dialog.allDaysClicked();
    EXPECT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 0);
    EXPECT_EQ(control<QLabel>(dialog, "totalFeeLabel")->text(), QStringLiteral("0 dol. 0 c."));
    EXPECT_EQ(control<QLabel>(dialog, "averageTimeLabel")->text(), QStringLiteral("0 h. 0 m."));
    EXPECT_EQ(control<QLabel>(dialog, "averageCostLabel")->text(), QStringLiteral("0 dol. 0 c."));
}

TEST_F(ConnectionsTest, TextFieldsStopAtTheirWidthAndATornTailIsSkipped)
{
    const QString user51(51, QLatin1Char('u'));
    HistoryRecord full = record({1999, 10, 1}, 1);
    full.setUserName(user51);
    writeHistory({full});
    // A record written elsewhere without terminators, then half a record.
    QByteArray raw = history::encode(full);
    raw.replace(40, 100, QByteArray(100, 'p'));
    raw.replace(140, 52, QByteArray(52, 'v'));
    QFile file(history::historyFile(env.programFolder()));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(raw);
    file.write(raw.left(100));
    file.close();

    ConnectionsDialog dialog(main.session());
    dialog.allDaysClicked();
    ASSERT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 2);
    EXPECT_EQ(dialog.rowOf(0).at(0), user51);
    EXPECT_EQ(dialog.rowOf(1).at(0), QString(51, QLatin1Char('v')));
    EXPECT_EQ(dialog.rowOf(1).at(1), QString(99, QLatin1Char('p')));
}

TEST_F(ConnectionsTest, ClosingEmptiesTheList)
{
    writeHistory({record({1999, 10, 1}, 1)});
    ConnectionsDialog dialog(main.session());
    dialog.show();
    dialog.FormActivate();
    ASSERT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 1);
    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 0);
}

// ---- sorting -------------------------------------------------------------------------

class ConnectionsSortTest : public ConnectionsTest {
protected:
    void SetUp() override
    {
        ConnectionsTest::SetUp();
        writeHistory({record({1999, 10, 1}, 999, 599, QStringLiteral("bob")),
                      record({1999, 10, 2}, 1000, 600, QStringLiteral("Zed")),
                      record({1999, 10, 3}, 5, 61, QStringLiteral("alice")),
                      record({1999, 10, 4}, 20, 3600, QStringLiteral("Alice"))});
    }
    // Columns by caption: 0 "User name", 2 "Con. fee", 3 "Con. time", 4 "Total fee".
    static constexpr int kUser = 0, kFee = 2, kTime = 3, kTotal = 4;
};

TEST_F(ConnectionsSortTest, SameColumnReversesAndLabelsFollow)
{
    ConnectionsDialog dialog(main.session());
    dialog.FormActivate();

    dialog.columnClicked(kFee);
    EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), kFee),
              (QStringList{"0 dol. 5 c.", "0 dol. 20 c.", "9 dol. 99 c.", "10 dol. 0 c."}));
    EXPECT_EQ(control<QLabel>(dialog, "sortColumnLabel")->text(), QStringLiteral("Con. fee"));
    EXPECT_EQ(control<QLabel>(dialog, "directionLabel")->text(), QStringLiteral("Down"));
    EXPECT_FALSE(control<QLabel>(dialog, "ascendingArrow")->isHidden());
    EXPECT_TRUE(control<QLabel>(dialog, "descendingArrow")->isHidden());

    dialog.columnClicked(kFee);
    EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), kFee),
              (QStringList{"10 dol. 0 c.", "9 dol. 99 c.", "0 dol. 20 c.", "0 dol. 5 c."}));
    EXPECT_EQ(control<QLabel>(dialog, "directionLabel")->text(), QStringLiteral("Up"));
    EXPECT_TRUE(control<QLabel>(dialog, "ascendingArrow")->isHidden());
    EXPECT_FALSE(control<QLabel>(dialog, "descendingArrow")->isHidden());
    // Whole rows move, not one column.
    EXPECT_EQ(dialog.rowOf(0).at(0), QStringLiteral("Zed"));
    EXPECT_EQ(dialog.rowOf(0).at(5), QStringLiteral("1999/10/2"));

    dialog.columnClicked(kTime);  // another column: ascending again
    EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), kTime),
              (QStringList{"0:1:1", "0:9:59", "0:10:0", "1:0:0"}));
    EXPECT_EQ(control<QLabel>(dialog, "sortColumnLabel")->text(), QStringLiteral("Con. time"));
    EXPECT_EQ(control<QLabel>(dialog, "directionLabel")->text(), QStringLiteral("Down"));

    dialog.columnClicked(kUser);
    EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), kUser),
              (QStringList{"Alice", "Zed", "alice", "bob"}));
}

TEST_F(ConnectionsSortTest, UnsortableColumnChangesNothingButCountsAsAnotherColumn)
{
    ConnectionsDialog dialog(main.session());
    dialog.FormActivate();
    dialog.columnClicked(kFee);
    const QStringList sorted = column(*control<QTableView>(dialog, "connectionList"), kFee);

    dialog.columnClicked(kTotal);
    EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), kFee), sorted);
    EXPECT_EQ(control<QLabel>(dialog, "sortColumnLabel")->text(), QStringLiteral("Con. fee"));
    EXPECT_EQ(control<QLabel>(dialog, "directionLabel")->text(), QStringLiteral("Down"));

    dialog.columnClicked(kFee);  // ascending again, not reversed
    EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), kFee), sorted);
    EXPECT_EQ(control<QLabel>(dialog, "directionLabel")->text(), QStringLiteral("Down"));
}

TEST_F(ConnectionsSortTest, FilterReloadsInFileOrderAndStateOutlivesTheDialog)
{
    {
        ConnectionsDialog dialog(main.session());
        dialog.FormActivate();
        dialog.columnClicked(kFee);
        dialog.thisMonthClicked();
        EXPECT_EQ(column(*control<QTableView>(dialog, "connectionList"), kUser),
                  (QStringList{"bob", "Zed", "alice", "Alice"}));
        EXPECT_EQ(control<QLabel>(dialog, "sortColumnLabel")->text(), QStringLiteral("Con. fee"));
        EXPECT_EQ(control<QLabel>(dialog, "directionLabel")->text(), QStringLiteral("Down"));
    }
    ConnectionsDialog again(main.session());
    again.FormActivate();
    EXPECT_EQ(control<QLabel>(again, "sortColumnLabel")->text(), QStringLiteral("None"));
    again.columnClicked(kFee);  // the column clicked last: the order left behind flips
    EXPECT_EQ(control<QLabel>(again, "directionLabel")->text(), QStringLiteral("Up"));
    EXPECT_EQ(again.rowOf(0).at(kFee), QStringLiteral("10 dol. 0 c."));
}

TEST_F(ConnectionsTest, SortingKeepsTheOrderTheCellTextsGive)
{
    // Ties, names past ASCII (one not even UTF-8), negative values and sorts one after
    // another: the rows must come out as a stable sort of their texts by the list's
    // own comparison puts them.
    std::vector<HistoryRecord> records;
    const QString users[] = {"bob", "Zed", "alice", "Alice", "Ärger", "zoë", "bob", ""};
    const int fees[] = {999, 1000, 5, 20, -105, 5, 1000, 0};
    const int seconds[] = {599, 600, 61, 3600, -125, 61, 600, 0};
    for (int i = 0; i < 8; ++i)
        records.push_back(record({1999, 10, i + 1}, fees[i], seconds[i], users[i],
                                 i % 2 ? QStringLiteral("b-net") : QStringLiteral("A-net")));
    QByteArray raw = history::encode(records[3]);
    raw.replace(140, 4,
                QByteArray("\xff\xfe"
                           "ab",
                           4));
    writeHistory(records);
    QFile file(history::historyFile(env.programFolder()));
    ASSERT_TRUE(file.open(QIODevice::Append));
    file.write(raw);
    file.close();

    ConnectionsDialog dialog(main.session());
    dialog.FormActivate();
    std::vector<QStringList> expected;
    for (int r = 0; r < rowCount(*control<QTableView>(dialog, "connectionList")); ++r)
        expected.push_back(dialog.rowOf(r));
    ASSERT_EQ(expected.size(), 9u);
    // Columns 0 user, 1 provider, 2 fee, 3 time; each a column of another key, then
    // the same one again for the other direction.
    for (int clicked : {2, 2, 0, 3, 1, 0, 0, 3, 2, 1}) {
        dialog.columnClicked(clicked);
        std::stable_sort(expected.begin(), expected.end(), [&](const QStringList& a, const QStringList& b) {
            return dialog.compareBySortState(a, b) < 0;
        });
        for (int r = 0; r < rowCount(*control<QTableView>(dialog, "connectionList")); ++r)
            ASSERT_EQ(dialog.rowOf(r), expected[static_cast<std::size_t>(r)]) << "column " << clicked << " row " << r;
    }
}

TEST_F(ConnectionsTest, ColumnsHoldTheirWidestText)
{
    std::vector<HistoryRecord> records;
    const QString users[] = {"ii", "WWWWWW", "mmm", "ii"};
    for (int i = 0; i < 4; ++i)
        records.push_back(record({1999, 10, i + 1}, i == 2 ? 1234567 : 5, i == 1 ? 360000 : 61, users[i]));
    writeHistory(records);
    ConnectionsDialog dialog(main.session());
    dialog.FormActivate();
    const QFontMetricsF metrics(control<QTableView>(dialog, "connectionList")->font());
    const connections::TextAdvance advance = [&metrics](const QString& text) {
        return metrics.horizontalAdvance(text);
    };
    for (int c = 0; c < connections::kColumnCount; ++c) {
        qreal exact = 0;
        for (const QString& text : column(*control<QTableView>(dialog, "connectionList"), c))
            exact = std::max(exact, metrics.horizontalAdvance(text));
        const int widest = static_cast<int>(std::ceil(exact));
        const int found = dialog.rows().widestText(advance, c);
        if (c <= 1)
            EXPECT_EQ(found, widest) << c;
        else
            EXPECT_GE(found, widest) << c;
        EXPECT_GT(control<QTableView>(dialog, "connectionList")->columnWidth(c), widest) << c;
    }
    ClearConnectionTable(dialog);
    EXPECT_EQ(dialog.rows().widestText(advance, 2), 0);
}

// ---- window --------------------------------------------------------------------------

TEST_F(ConnectionsTest, DesignAndHelp)
{
    platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    ConnectionsDialog dialog(main.session());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Connections"));
    const char* captions[] = {"User name",    "Internet Provider", "Con. fee",   "Con. time", "Total fee",
                              "Started date", "Started time",      "Ended date", "Ended time"};
    const int widths[] = {78, 100, 70, 70, 75, 75, 75, 75, 75};
    ASSERT_EQ(control<QTableView>(dialog, "connectionList")->model()->columnCount(), 9);
    for (int c = 0; c < 9; ++c) {
        EXPECT_EQ(control<QTableView>(dialog, "connectionList")->model()->headerData(c, Qt::Horizontal).toString(),
                  QString::fromLatin1(captions[c]));
        // The design's width, or more where the caption or the values the list is
        // laid out for need it.
        EXPECT_GE(
            control<QTableView>(dialog, "connectionList")->columnWidth(c),
            std::max(widths[c], control<QTableView>(dialog, "connectionList")->horizontalHeader()->sectionSizeHint(c)))
            << captions[c];
    }
    // Before any record is read, the columns hold five digits of dollars, and the
    // window opens as wide as every column beside the vertical scroll bar needs: here
    // more than the offscreen screen's 800 pixels, so as wide as the screen.
    const QFontMetrics metrics(control<QTableView>(dialog, "connectionList")->font());
    for (int c : {2, 4})
        EXPECT_GT(control<QTableView>(dialog, "connectionList")->columnWidth(c),
                  metrics.horizontalAdvance(QStringLiteral("99999 dol. 99 c.")))
            << captions[c];
    int columns = 0;
    for (int c = 0; c < 9; ++c)
        columns += control<QTableView>(dialog, "connectionList")->columnWidth(c);
    const int screen = dialog.screen()->availableGeometry().width();
    ASSERT_GT(columns + control<QTableView>(dialog, "connectionList")->verticalScrollBar()->sizeHint().width() + 24,
              screen);
    EXPECT_EQ(dialog.width() + connections::kDesignFrameWidth, screen);
    EXPECT_EQ(control<QLabel>(dialog, "totalFeeLabel")->text(), QStringLiteral("0 dol. 0 c."));
    EXPECT_EQ(control<QLabel>(dialog, "averageTimeLabel")->text(), QStringLiteral("0 h. 0 m."));
    EXPECT_EQ(control<QLabel>(dialog, "averageCostLabel")->text(), QStringLiteral("0 dol. 0 c."));
    EXPECT_EQ(control<QToolButton>(dialog, "allDaysButton")->text(), QStringLiteral("All days"));
    EXPECT_EQ(control<QToolButton>(dialog, "thisMonthButton")->text(), QStringLiteral("This month"));
    EXPECT_EQ(control<QToolButton>(dialog, "thisDayButton")->text(), QStringLiteral("This day"));

    control<QPushButton>(dialog, "helpButton")->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].kind, testing_support::FakeHelp::Call::Context);
    EXPECT_EQ(env.help.calls[0].context, 13);
    EXPECT_EQ(env.help.calls[0].file, env.programFolder() + "/Dialtally Help.hlp");
}

TEST_F(ConnectionsTest, ResizeLaysOutTheFooterAndKeepsTheMinimum)
{
    const connections::Layout l = connections::layoutFor(1000, 400, {50, 60, 150, 60, 150, 50});
    EXPECT_EQ(l.connectionList, QRect(8, 4, 976, 285));
    EXPECT_EQ(l.footer, QRect(8, 292, 976, 31));
    EXPECT_EQ(l.feeCostDivider, QPoint(236, 296));
    EXPECT_EQ(l.costTimeDivider, QPoint(606, 296));
    EXPECT_EQ(l.boxTop, 328);
    EXPECT_EQ(l.okButton, QPoint(823, 340));
    EXPECT_EQ(l.helpButton, QPoint(903, 340));
    // Each value label follows its caption; each field (caption, 10, value) is centred
    // between its bevels by the widths the labels have.
    EXPECT_EQ(l.totalFeeCaption, QPoint(8 + (236 - 8 - (60 + 50 + 10)) / 2, 300));
    EXPECT_EQ(l.totalFee.x(), l.totalFeeCaption.x() + 50 + 10);
    EXPECT_EQ(l.averageCostCaption.x(), 236 + (606 - 236 - (60 + 150 + 10)) / 2);
    EXPECT_EQ(l.averageCost.x(), l.averageCostCaption.x() + 150 + 10);
    EXPECT_EQ(l.averageTimeCaption.x(), 606 + (984 - 606 - (50 + 150 + 10)) / 2);
    EXPECT_EQ(l.averageTime.x(), l.averageTimeCaption.x() + 150 + 10);

    ConnectionsDialog dialog(main.session());
    const int directionBoxLeft = control<QGroupBox>(dialog, "directionBox")->x();
    dialog.resize(1000 - connections::kDesignFrameWidth, 400 - connections::kDesignFrameHeight);
    dialog.FormResize();
    EXPECT_EQ(control<QTableView>(dialog, "connectionList")->geometry(), QRect(8, 4, 976, 285));
    EXPECT_EQ(control<QFrame>(dialog, "footerBevel")->geometry(), QRect(8, 292, 976, 31));
    EXPECT_EQ(control<QFrame>(dialog, "feeCostDivider")->x(), 236);
    EXPECT_EQ(control<QFrame>(dialog, "costTimeDivider")->x(), 606);
    EXPECT_EQ(control<QGroupBox>(dialog, "filterBox")->y(), 328);
    EXPECT_EQ(control<QGroupBox>(dialog, "directionBox")->x(), directionBoxLeft);
    EXPECT_EQ(control<QPushButton>(dialog, "okButton")->pos(), QPoint(823, 340));
    EXPECT_EQ(control<QPushButton>(dialog, "helpButton")->pos(), QPoint(903, 340));
    EXPECT_EQ(control<QFrame>(dialog, "fixedLine")->pos(), QPoint(120, 215));

    dialog.resize(100, 100);
    EXPECT_EQ(dialog.size(), QSize(721 - connections::kDesignFrameWidth, 296 - connections::kDesignFrameHeight));
}

TEST_F(ConnectionsTest, ColumnsWidenJustEnoughForAValueBeyondTheirDesign)
{
    writeHistory({record({1999, 10, 1}, 105), record({1999, 10, 2}, 123456789)});
    ConnectionsDialog dialog(main.session());
    const int designUserWidth = control<QTableView>(dialog, "connectionList")->columnWidth(0);
    dialog.FormActivate();
    const QFontMetrics metrics(control<QTableView>(dialog, "connectionList")->font());
    const int widest = metrics.horizontalAdvance(QStringLiteral("1234568 dol. 94 c."));
    for (int column : {2, 4}) {
        SCOPED_TRACE(column);
        // Whole, with the cell's margins, and no wider than a few pixels beyond.
        EXPECT_GT(control<QTableView>(dialog, "connectionList")->columnWidth(column), widest + 4);
        EXPECT_LT(control<QTableView>(dialog, "connectionList")->columnWidth(column), widest + 20);
    }
    // A column whose texts fit its design width keeps it.
    EXPECT_EQ(control<QTableView>(dialog, "connectionList")->columnWidth(0), designUserWidth);
}

TEST_F(ConnectionsTest, ANameBeyondItsRoomIsCutWithTheWholeNameInItsTooltip)
{
    const QString user = QStringLiteral("Maximiliana Theodora Evangelina Wolkenstein");
    const QString provider = QStringLiteral("Regional Telephone and Telegraph Cooperative, Dial-up Access");
    writeHistory({record({1999, 10, 1}, 105, 60, user, provider), record({1999, 10, 2}, 5)});
    ConnectionsDialog dialog(main.session());
    const int userWidth = control<QTableView>(dialog, "connectionList")->columnWidth(0);
    const int providerWidth = control<QTableView>(dialog, "connectionList")->columnWidth(1);
    dialog.FormActivate();
    // The other columns stay where they were, in view.
    EXPECT_EQ(control<QTableView>(dialog, "connectionList")->columnWidth(0), userWidth);
    EXPECT_EQ(control<QTableView>(dialog, "connectionList")->columnWidth(1), providerWidth);
    const QAbstractItemModel& model = *control<QTableView>(dialog, "connectionList")->model();
    EXPECT_EQ(model.index(0, 0).data(Qt::ToolTipRole).toString(), user);
    EXPECT_EQ(model.index(0, 1).data(Qt::ToolTipRole).toString(), provider);
    EXPECT_EQ(model.index(1, 0).data(Qt::ToolTipRole).toString(), QStringLiteral("alice"));
    // The program's own values are never cut, so they carry no tooltip.
    for (int c = 2; c < connections::kColumnCount; ++c)
        EXPECT_FALSE(model.index(0, c).data(Qt::ToolTipRole).isValid()) << c;
}

TEST_F(ConnectionsTest, LongFooterValuesStayWithinTheirFieldsAtTheSmallestWindow)
{
    writeHistory({record({1999, 10, 1}, 150000, 360000), record({1999, 10, 2}, 3183, 7)});
    ConnectionsDialog dialog(main.session());
    dialog.FormActivate();
    ASSERT_EQ(control<QLabel>(dialog, "totalFeeLabel")->text(), QStringLiteral("1531 dol. 83 c."));
    ASSERT_EQ(control<QLabel>(dialog, "averageCostLabel")->text(), QStringLiteral("765 dol. 91 c."));
    ASSERT_EQ(control<QLabel>(dialog, "averageTimeLabel")->text(), QStringLiteral("50:0:3"));
    const auto right = [](const QWidget* w) { return w->x() + w->width(); };
    EXPECT_GE(control<QLabel>(dialog, "totalFeeCaption")->x(), control<QFrame>(dialog, "footerBevel")->x());
    EXPECT_LE(right(control<QLabel>(dialog, "totalFeeCaption")), control<QLabel>(dialog, "totalFeeLabel")->x());
    EXPECT_LE(right(control<QLabel>(dialog, "totalFeeLabel")), control<QFrame>(dialog, "feeCostDivider")->x());
    EXPECT_GE(control<QLabel>(dialog, "averageCostCaption")->x(), control<QFrame>(dialog, "feeCostDivider")->x());
    EXPECT_LE(right(control<QLabel>(dialog, "averageCostCaption")), control<QLabel>(dialog, "averageCostLabel")->x());
    EXPECT_LE(right(control<QLabel>(dialog, "averageCostLabel")), control<QFrame>(dialog, "costTimeDivider")->x());
    EXPECT_GE(control<QLabel>(dialog, "averageTimeCaption")->x(), control<QFrame>(dialog, "costTimeDivider")->x());
    EXPECT_LE(right(control<QLabel>(dialog, "averageTimeCaption")), control<QLabel>(dialog, "averageTimeLabel")->x());
    EXPECT_LE(right(control<QLabel>(dialog, "averageTimeLabel")), right(control<QFrame>(dialog, "footerBevel")));
}

TEST_F(ConnectionsTest, ShowingLoadsAllDaysOncePerShowing)
{
    writeHistory({record({1999, 9, 1}, 2), record({1999, 10, 1}, 1)});
    ConnectionsDialog dialog(main.session());
    dialog.show();
    dialog.activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(dialog.isActiveWindow());
    EXPECT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 2);
    EXPECT_FALSE(control<QToolButton>(dialog, "allDaysButton")->icon().isNull());

    // Coming back to the dialog from another window keeps the user's filter.
    dialog.thisMonthClicked();
    QWidget other;
    other.show();
    other.activateWindow();
    QApplication::processEvents();
    dialog.activateWindow();
    QApplication::processEvents();
    EXPECT_EQ(rowCount(*control<QTableView>(dialog, "connectionList")), 1);
    EXPECT_FALSE(control<QToolButton>(dialog, "thisMonthButton")->icon().isNull());
}

}  // namespace
