// The bar chart wrapper: the current-cell model and what the bars show.
#include "platform/gui/Chart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QCoreApplication>
#include <QSet>

#include <gtest/gtest.h>

using platform::TVtChart;

namespace {

std::vector<double> bars(const TVtChart& chart)
{
    std::vector<double> values;
    const QBarSet* set = chart.barSet(1);
    for (int i = 0; set && i < set->count(); ++i)
        values.push_back(set->at(i));
    return values;
}

void fill(TVtChart& chart, const QStringList& labels, const QStringList& data)
{
    chart.setColumnCount(static_cast<short>(labels.size()));
    for (int k = 1; k <= labels.size(); ++k) {
        chart.setRow(1);
        chart.setColumn(static_cast<short>(k));
        chart.setColumnLabel(labels[k - 1]);
        chart.setData(data[k - 1]);
    }
}

}  // namespace

TEST(Chart, LabelsAndValuesGoToTheCurrentColumnAndAreDrawnAsBars)
{
    TVtChart chart;
    chart.setAxisTitles(QStringLiteral("Users"), QStringLiteral("Fee"));
    fill(chart, {QStringLiteral("alice"), QStringLiteral("bob"), QStringLiteral("carol")},
         {QStringLiteral("4"), QStringLiteral("0"), QStringLiteral("12")});

    EXPECT_EQ(chart.columnCount(), 3);
    EXPECT_EQ(chart.rowCount(), 1);
    EXPECT_EQ(chart.columnLabelAt(1), QStringLiteral("alice"));
    EXPECT_EQ(chart.columnLabelAt(3), QStringLiteral("carol"));
    EXPECT_EQ(chart.valueAt(1, 3), 12.0);
    chart.setColumn(1);
    EXPECT_EQ(chart.columnLabel(), QStringLiteral("alice"));
    EXPECT_EQ(chart.data(), QStringLiteral("4"));

    EXPECT_EQ(bars(chart), (std::vector<double>{4, 0, 12}));
    EXPECT_EQ(chart.drawnCategories(),
              (QStringList{QStringLiteral("alice"), QStringLiteral("bob"), QStringLiteral("carol")}));
    EXPECT_EQ(chart.categoryTitle(), QStringLiteral("Users"));
    EXPECT_EQ(chart.valueTitle(), QStringLiteral("Fee"));
    // The property names of the control the dialogs were written against work too.
    EXPECT_EQ(chart.property("ColumnCount").toInt(), 3);
    chart.setProperty("Column", 2);
    chart.setProperty("Data", QStringLiteral("7"));
    EXPECT_EQ(bars(chart), (std::vector<double>{4, 7, 12}));
}

TEST(Chart, EqualAndEmptyLabelsKeepOneBarEachInItsOwnPlace)
{
    TVtChart chart;
    fill(chart, {QStringLiteral("isp"), QString(), QStringLiteral("isp"), QString()},
         {QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"), QStringLiteral("4")});
    EXPECT_EQ(bars(chart), (std::vector<double>{1, 2, 3, 4}));
    const QStringList drawn = chart.drawnCategories();
    ASSERT_EQ(drawn.size(), 4);
    EXPECT_EQ(QSet<QString>(drawn.begin(), drawn.end()).size(), 4);
    EXPECT_EQ(drawn[0], QStringLiteral("isp"));
    // What the chart holds is the label as given; only the drawing tells them apart.
    EXPECT_EQ(chart.columnLabelAt(3), QStringLiteral("isp"));
    EXPECT_EQ(chart.columnLabelAt(2), QString());
}

TEST(Chart, ColumnCountKeepsWhatFitsAndNewColumnsStartEmpty)
{
    TVtChart chart;
    fill(chart, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
         {QStringLiteral("5"), QStringLiteral("6"), QStringLiteral("7")});
    chart.setColumnCount(2);
    EXPECT_EQ(bars(chart), (std::vector<double>{5, 6}));
    EXPECT_EQ(chart.drawnCategories(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));
    chart.setColumnCount(4);
    EXPECT_EQ(bars(chart), (std::vector<double>{5, 6, 0, 0}));
    EXPECT_EQ(chart.columnLabelAt(4), QStringLiteral("C4"));
    chart.setColumnCount(0);
    EXPECT_EQ(chart.columnCount(), 1);
    EXPECT_EQ(bars(chart), (std::vector<double>{5}));
}

TEST(Chart, WritesOutsideTheChartAndTextsThatAreNoNumberHarmNothing)
{
    TVtChart chart;
    fill(chart, {QStringLiteral("a"), QStringLiteral("b")}, {QStringLiteral("1"), QStringLiteral("2")});

    struct Case {
        short row;
        short column;
    };
    for (const Case c : {Case{1, 0}, Case{1, 3}, Case{2, 1}, Case{0, 1}, Case{-1, -1}}) {
        chart.setRow(c.row);
        chart.setColumn(c.column);
        chart.setData(QStringLiteral("99"));
        // A label belongs to a column whatever the row.
        if (c.column < 1 || c.column > chart.columnCount())
            chart.setColumnLabel(QStringLiteral("x"));
        EXPECT_EQ(chart.data(), QString()) << c.row << "," << c.column;
    }
    EXPECT_EQ(bars(chart), (std::vector<double>{1, 2}));
    EXPECT_EQ(chart.drawnCategories(), (QStringList{QStringLiteral("a"), QStringLiteral("b")}));

    chart.setRow(1);
    chart.setColumn(2);
    chart.setData(QStringLiteral("many"));
    EXPECT_EQ(chart.valueAt(1, 2), 0.0);
    chart.setData(QStringLiteral(" 42 "));
    EXPECT_EQ(chart.valueAt(1, 2), 42.0);
}

TEST(Chart, LabelsTurnUprightWhenCrowdedAndThinOutOnlyWhenEvenThoseWouldCollide)
{
    struct Case {
        int columns;
        bool upright;
        bool thinned;
    };
    for (const Case c : {Case{3, false, false}, Case{25, true, false}, Case{120, true, true}}) {
        SCOPED_TRACE(c.columns);
        TVtChart chart;
        chart.resize(520, 200);
        QStringList labels;
        QStringList data;
        for (int i = 1; i <= c.columns; ++i) {
            labels << QStringLiteral("user%1").arg(i);
            data << QString::number(i);
        }
        fill(chart, labels, data);
        chart.show();
        for (int turn = 0; turn < 20; ++turn)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        const QStringList drawn = chart.drawnCategories();
        ASSERT_EQ(drawn.size(), c.columns);
        int shown = 0;
        for (int i = 0; i < c.columns; ++i) {
            // A label is drawn as it was given, or left blank; never a cut one.
            if (drawn[i] == labels[i])
                ++shown;
            else
                EXPECT_TRUE(QString(drawn[i]).remove(QChar(0x200B)).isEmpty()) << drawn[i].toStdString();
        }
        EXPECT_EQ(shown < c.columns, c.thinned);
        // The first column always keeps its name.
        EXPECT_EQ(drawn[0], labels[0]);
        auto* axis = qobject_cast<QBarCategoryAxis*>(chart.chart()->axes(Qt::Horizontal).value(0));
        ASSERT_NE(axis, nullptr);
        EXPECT_EQ(axis->labelsAngle() != 0, c.upright);
        EXPECT_FALSE(axis->truncateLabels());
    }
}
