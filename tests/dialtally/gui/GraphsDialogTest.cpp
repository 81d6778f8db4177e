// The Graphs dialog: the charts the history fills, the two pages and the resize.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/HistoryRecords.h"
#include "support/core/SessionProbe.h"

#include "platform/gui/Application.h"
#include "platform/gui/Chart.h"
#include "dialtally/gui/GraphsDialog.h"
#include "dialtally/gui/MainWindow.h"
#include "support/StartedProgram.h"
#include "dialtally/core/History.h"

#include <QApplication>
#include <QChart>
#include <QElapsedTimer>
#include <QGraphicsScene>
#include <QGraphicsTextItem>
#include <QGroupBox>
#include <QPushButton>
#include <QSet>

#include <gtest/gtest.h>

using testing_support::control;

using testing_support::TestEnvironment;
using Rec = testing_support::RecordAt;
using testing_support::recordOf;

namespace {

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
    control<QPushButton>(dialog, "nextButton")->click();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&dialog, &activate);
    EXPECT_EQ(columns(*dialog.feePerUserChart), (std::vector<Column>{{QStringLiteral("bob"), 5}}));
    EXPECT_FALSE(control<QPushButton>(dialog, "previousButton")->isEnabled());  // back on the first page
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
        EXPECT_EQ(control<QGroupBox>(dialog, "upperChartBox")->title(),
                  first ? QStringLiteral("Connections graph:") : QStringLiteral("Users graph:"));
        EXPECT_EQ(control<QGroupBox>(dialog, "lowerChartBox")->title(),
                  first ? QStringLiteral("Fee graph:") : QStringLiteral("Providers graph:"));
        EXPECT_EQ(dialog.connectionsPerHourChart->isVisible(), first);
        EXPECT_EQ(dialog.feePerHourChart->isVisible(), first);
        EXPECT_EQ(dialog.feePerUserChart->isVisible(), !first);
        EXPECT_EQ(dialog.feePerProviderChart->isVisible(), !first);
        EXPECT_EQ(control<QPushButton>(dialog, "previousButton")->isEnabled(), !first);
        EXPECT_EQ(control<QPushButton>(dialog, "nextButton")->isEnabled(), first);
        EXPECT_TRUE(control<QGroupBox>(dialog, "upperChartBox")->isVisible());
        EXPECT_TRUE(control<QGroupBox>(dialog, "lowerChartBox")->isVisible());
        EXPECT_FALSE(control<QGroupBox>(dialog, "upperChartBox")->isEnabled());
    };
    dialog.FormActivate();
    onPage(1);
    control<QPushButton>(dialog, "nextButton")->click();
    onPage(2);
    control<QPushButton>(dialog, "previousButton")->click();
    onPage(1);
    control<QPushButton>(dialog, "nextButton")->click();
    dialog.FormActivate();  // coming back to the dialog shows the first page again
    onPage(1);

    control<QPushButton>(dialog, "helpButton")->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].context, 20);
    control<QPushButton>(dialog, "okButton")->click();
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
        if (shown == chart.categoryTitle() || shown == chart.valueTitle()
            || QString(shown).remove(QChar(0x200B)).isEmpty())
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
    const char* const names[] = {"alexander", "barbara",   "christopher", "dorothy",   "elizabeth",
                                 "frederick", "gabriella", "harrison",    "isabella",  "jonathan",
                                 "katherine", "leonardo",  "margaret",    "nathaniel", "olivia",
                                 "patricia",  "quentin",   "rosemary",    "sebastian", "theodore",
                                 "ursula",    "valentina", "wilhelmina",  "xavier",    "yolanda"};
    QStringList users;
    for (const char* name : names) {
        const QByteArray provider = QByteArray("Net ") + name;
        ASSERT_TRUE(history::append(env.programFolder(), recordOf({name, provider.constData(), 10, 0, 500})));
        users << QString::fromLatin1(name);
    }
    GraphsDialog dialog(main.session());
    dialog.show();
    dialog.FormActivate();
    control<QPushButton>(dialog, "nextButton")->click();
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
    EXPECT_EQ(control<QGroupBox>(dialog, "upperChartBox")->geometry(), expected.upperChartBox);
    EXPECT_EQ(control<QGroupBox>(dialog, "lowerChartBox")->geometry(), expected.lowerChartBox);
    EXPECT_EQ(control<QPushButton>(dialog, "okButton")->y(), expected.buttonTop);
    EXPECT_EQ(control<QPushButton>(dialog, "okButton")->x(), expected.okLeft);
    EXPECT_EQ(control<QPushButton>(dialog, "helpButton")->x(), expected.helpLeft);
    const int previousLeft = control<QPushButton>(dialog, "previousButton")->x();

    dialog.resize(300, 200);
    EXPECT_GE(dialog.frameGeometry().width(), 545);
    EXPECT_GE(dialog.frameGeometry().height(), 459);
    EXPECT_EQ(control<QPushButton>(dialog, "previousButton")->x(), previousLeft);
    // The charts fill their frames.
    EXPECT_GT(dialog.connectionsPerHourChart->width(), control<QGroupBox>(dialog, "upperChartBox")->width() - 30);
}
