// The Graphs dialog: the aggregations, the charts they fill, the two pages and the
// resize rule.
#include "Fakes.h"
#include "SessionProbe.h"

#include "Application.h"
#include "Chart.h"
#include "GraphsDialog.h"
#include "MainWindow.h"
#include "ProgramEntry.h"
#include "History.h"

#include <QApplication>
#include <QChart>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QPushButton>
#include <QSet>

#include <gtest/gtest.h>

using testing_support::TestEnvironment;

namespace {

struct Rec {
    const char* user;
    const char* provider;
    int hour;
    int minute;
    int fee;
};

history::HistoryRecord recordOf(const Rec& r)
{
    history::HistoryRecord record;
    record.StartTime = {1999, 10, 2, 5, static_cast<std::uint16_t>(r.hour),
                        static_cast<std::uint16_t>(r.minute), 0, 0};
    record.EndTime = record.StartTime;
    record.FeeCents = r.fee;
    record.DurationSeconds = 60;
    record.setUserName(QString::fromUtf8(r.user));
    record.setProviderName(QString::fromUtf8(r.provider));
    return record;
}

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

struct Column {
    QString label;
    double value;
    friend bool operator==(const Column&, const Column&) = default;
    friend std::ostream& operator<<(std::ostream& os, const Column& c)
    {
        return os << c.label.toStdString() << "=" << c.value;
    }
};

std::vector<Column> columns(const platform::TVtChart& chart)
{
    std::vector<Column> out;
    for (int c = 1; c <= chart.columnCount(); ++c)
        out.push_back({chart.columnLabelAt(c), chart.valueAt(1, c)});
    return out;
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

class GraphsDialogTest : public ::testing::Test {
protected:
    GraphsDialogTest()
    {
        env.install();
        SessionProbe::programPath(main.session()) = env.programFolder();
        platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    }
    void write(std::initializer_list<Rec> recs)
    {
        for (const Rec& r : recs)
            ASSERT_TRUE(history::append(env.programFolder(), recordOf(r)));
    }

    TestEnvironment env;
    MainWindow main;
};

TEST_F(GraphsDialogTest, ActivationFillsTheFourChartsFromHistory)
{
    write({
        {"bob", "Alpha", 0, 30, 150},
        {"alice", "Beta", 23, 59, 99},
        {"bob", "Alpha", 9, 15, 275},
    });
    GraphsDialog dialog(main.session());
    dialog.FormActivate();

    EXPECT_EQ(columns(*dialog.feePerUserChart),
              (std::vector<Column>{{QStringLiteral("bob"), 4}, {QStringLiteral("alice"), 0}}));
    EXPECT_EQ(columns(*dialog.feePerProviderChart),
              (std::vector<Column>{{QStringLiteral("Alpha"), 4}, {QStringLiteral("Beta"), 0}}));

    ASSERT_EQ(dialog.connectionsPerHourChart->columnCount(), 24);
    ASSERT_EQ(dialog.feePerHourChart->columnCount(), 24);
    for (int c = 1; c <= 24; ++c) {
        const double connections = (c == 24 || c == 23 || c == 9) ? 1 : 0;
        EXPECT_EQ(dialog.connectionsPerHourChart->valueAt(1, c), connections) << "column " << c;
        EXPECT_EQ(dialog.connectionsPerHourChart->columnLabelAt(c), QString::number(c));
    }
    EXPECT_EQ(dialog.feePerHourChart->valueAt(1, 24), 1.0);  // 150 cents at 00:30
    EXPECT_EQ(dialog.feePerHourChart->valueAt(1, 23), 0.0);  // 99 cents
    EXPECT_EQ(dialog.feePerHourChart->valueAt(1, 9), 2.0);

    EXPECT_EQ(dialog.connectionsPerHourChart->categoryTitle(), QStringLiteral("Hours"));
    EXPECT_EQ(dialog.connectionsPerHourChart->valueTitle(), QStringLiteral("Connections"));
    EXPECT_EQ(dialog.feePerHourChart->valueTitle(), QStringLiteral("Fee"));
    EXPECT_EQ(dialog.feePerUserChart->categoryTitle(), QStringLiteral("Users"));
    EXPECT_EQ(dialog.feePerProviderChart->categoryTitle(), QStringLiteral("Provider"));
}

TEST_F(GraphsDialogTest, EachActivationRebuildsAndAnEmptiedHistoryLeavesTheChartsAsTheyWere)
{
    write({{"bob", "Alpha", 10, 0, 500}, {"carol", "Gamma", 11, 0, 300}});
    GraphsDialog dialog(main.session());
    dialog.FormActivate();
    write({{"bob", "Alpha", 10, 5, 500}});
    dialog.FormActivate();
    EXPECT_EQ(columns(*dialog.feePerUserChart),
              (std::vector<Column>{{QStringLiteral("bob"), 10}, {QStringLiteral("carol"), 3}}));
    EXPECT_EQ(dialog.connectionsPerHourChart->valueAt(1, 10), 2.0);  // not 3: rebuilt, not added to

    ASSERT_TRUE(history::truncate(env.programFolder()));
    dialog.FormActivate();
    EXPECT_EQ(columns(*dialog.feePerUserChart),
              (std::vector<Column>{{QStringLiteral("bob"), 10}, {QStringLiteral("carol"), 3}}));
    EXPECT_EQ(dialog.connectionsPerHourChart->valueAt(1, 10), 2.0);

    // Fewer users than before: the chart has no stale column left.
    write({{"dave", "Delta", 1, 0, 700}});
    dialog.FormActivate();
    EXPECT_EQ(columns(*dialog.feePerUserChart), (std::vector<Column>{{QStringLiteral("dave"), 7}}));
    EXPECT_EQ(dialog.connectionsPerHourChart->valueAt(1, 10), 0.0);
}

TEST_F(GraphsDialogTest, BecomingTheActiveWindowBuildsTheCharts)
{
    write({{"bob", "Alpha", 10, 0, 500}});
    GraphsDialog dialog(main.session());
    dialog.show();
    dialog.nextButton->click();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
    EXPECT_EQ(columns(*dialog.feePerUserChart), (std::vector<Column>{{QStringLiteral("bob"), 5}}));
    EXPECT_FALSE(dialog.previousButton->isEnabled());  // back on the first page
}

TEST_F(GraphsDialogTest, NoHistoryShowsTheDesignedChartsWithoutAMessage)
{
    GraphsDialog dialog(main.session());
    dialog.FormActivate();
    EXPECT_TRUE(env.boxes.shown.empty());
    EXPECT_EQ(dialog.connectionsPerHourChart->columnCount(), 24);
    for (int c = 1; c <= 24; ++c)
        EXPECT_EQ(dialog.connectionsPerHourChart->valueAt(1, c), 0.0);
}

TEST_F(GraphsDialogTest, NextAndPreviousSwapThePagesAndTheButtons)
{
    GraphsDialog dialog(main.session());
    dialog.show();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Graphs"));
    const auto onPage = [&](int page) {
        const bool first = page == 1;
        EXPECT_EQ(dialog.upperChartBox->title(),
                  first ? QStringLiteral("Connections graph:") : QStringLiteral("Users graph:"));
        EXPECT_EQ(dialog.lowerChartBox->title(),
                  first ? QStringLiteral("Fee graph:") : QStringLiteral("Providers graph:"));
        EXPECT_EQ(dialog.connectionsPerHourChart->isVisible(), first);
        EXPECT_EQ(dialog.feePerHourChart->isVisible(), first);
        EXPECT_EQ(dialog.feePerUserChart->isVisible(), !first);
        EXPECT_EQ(dialog.feePerProviderChart->isVisible(), !first);
        EXPECT_EQ(dialog.previousButton->isEnabled(), !first);
        EXPECT_EQ(dialog.nextButton->isEnabled(), first);
        EXPECT_TRUE(dialog.upperChartBox->isVisible());
        EXPECT_TRUE(dialog.lowerChartBox->isVisible());
        EXPECT_FALSE(dialog.upperChartBox->isEnabled());
    };
    dialog.FormActivate();
    onPage(1);
    dialog.nextButton->click();
    onPage(2);
    dialog.previousButton->click();
    onPage(1);
    dialog.nextButton->click();
    dialog.FormActivate();  // coming back to the dialog shows the first page again
    onPage(1);

    dialog.helpButton->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].context, 20);
    dialog.okButton->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
}

namespace {

// The labels the chart draws under its bars, as drawn (blank ones left out), with
// where they stand on the scene.
std::vector<std::pair<QString, QRectF>> drawnLabels(const platform::TVtChart& chart)
{
    const QStringList drawn = chart.drawnCategories();
    const QSet<QString> categories(drawn.begin(), drawn.end());
    std::vector<std::pair<QString, QRectF>> labels;
    for (QGraphicsItem* item : chart.chart()->scene()->items()) {
        auto* text = dynamic_cast<QGraphicsTextItem*>(item);
        if (!text || !text->isVisible())
            continue;
        const QString shown = text->toPlainText();
        // The value axis draws numbers; its title and the category title are not labels.
        bool number = false;
        shown.toDouble(&number);
        if (number && !categories.contains(shown))
            continue;
        if (shown == chart.categoryTitle() || shown == chart.valueTitle() || QString(shown).remove(QChar(0x200B)).isEmpty())
            continue;
        labels.emplace_back(text->toPlainText(), text->sceneBoundingRect());
    }
    return labels;
}

void letTheChartsLayOut()
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < 300)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

}  // namespace

TEST_F(GraphsDialogTest, ManyUsersAndProvidersKeepTheirNamesReadable)
{
    // Twenty-five users of the PC, each with names of ordinary length, and as many
    // providers: far more than fit level under the bars of a chart this size.
    const char* const names[] = {"alexander", "barbara", "christopher", "dorothy", "elizabeth", "frederick",
                                 "gabriella", "harrison", "isabella", "jonathan", "katherine", "leonardo",
                                 "margaret", "nathaniel", "olivia", "patricia", "quentin", "rosemary",
                                 "sebastian", "theodore", "ursula", "valentina", "wilhelmina", "xavier",
                                 "yolanda"};
    QStringList users;
    for (const char* name : names) {
        const QByteArray provider = QByteArray("Net ") + name;
        ASSERT_TRUE(history::append(env.programFolder(), recordOf({name, provider.constData(), 10, 0, 500})));
        users << QString::fromLatin1(name);
    }
    GraphsDialog dialog(main.session());
    dialog.show();
    dialog.FormActivate();
    dialog.nextButton->click();
    letTheChartsLayOut();

    for (const platform::TVtChart* chart : {dialog.feePerUserChart, dialog.feePerProviderChart}) {
        SCOPED_TRACE(chart->objectName().toStdString());
        const auto labels = drawnLabels(*chart);
        ASSERT_FALSE(labels.empty());
        for (const auto& [text, where] : labels) {
            // Whole names only, never one cut to "...".
            EXPECT_FALSE(text.contains(QStringLiteral("..."))) << text.toStdString();
            EXPECT_TRUE(chart->drawnCategories().contains(text)) << text.toStdString();
            EXPECT_TRUE(chart->chart()->scene()->sceneRect().contains(where)) << text.toStdString();
        }
        // No two labels drawn over each other.
        for (std::size_t i = 0; i < labels.size(); ++i) {
            for (std::size_t j = i + 1; j < labels.size(); ++j)
                EXPECT_FALSE(labels[i].second.intersects(labels[j].second))
                    << labels[i].first.toStdString() << " / " << labels[j].first.toStdString();
        }
    }
    // At the opening size every user has room for a name of their own.
    EXPECT_EQ(drawnLabels(*dialog.feePerUserChart).size(), users.size());
    dialog.reject();
}

TEST_F(GraphsDialogTest, ResizingLaysTheControlsOutAndTheWindowKeepsItsMinimum)
{
    GraphsDialog dialog(main.session());
    dialog.show();
    // The design's sizes are those of the framed window.
    EXPECT_EQ(dialog.frameGeometry().size(), QSize(545, 464));
    dialog.resize(745, 559);
    const QSize outer = dialog.frameGeometry().size();
    const auto expected = graphs::layoutFor(outer);
    EXPECT_EQ(dialog.upperChartBox->geometry(), expected.upperChartBox);
    EXPECT_EQ(dialog.lowerChartBox->geometry(), expected.lowerChartBox);
    EXPECT_EQ(dialog.okButton->y(), expected.buttonTop);
    EXPECT_EQ(dialog.okButton->x(), expected.okLeft);
    EXPECT_EQ(dialog.helpButton->x(), expected.helpLeft);
    const int previousLeft = dialog.previousButton->x();

    dialog.resize(300, 200);
    EXPECT_GE(dialog.frameGeometry().width(), 545);
    EXPECT_GE(dialog.frameGeometry().height(), 459);
    EXPECT_EQ(dialog.previousButton->x(), previousLeft);
    // The charts fill their frames.
    EXPECT_GT(dialog.connectionsPerHourChart->width(), dialog.upperChartBox->width() - 30);
}
