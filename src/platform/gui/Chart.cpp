#include "platform/gui/Chart.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QChart>
#include <QChartView>
#include <QGraphicsLayout>
#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

namespace platform {

namespace {

QString defaultLabel(int column)
{
    return QStringLiteral("C%1").arg(column);
}

}  // namespace

TVtChart::TVtChart(QWidget* parent)
    : QWidget(parent)
{
    m_chart = new QChart;
    m_chart->legend()->hide();
    // Every pixel goes to the plot: the charts sit in small frames.
    m_chart->setMargins(QMargins(0, 0, 0, 0));
    m_chart->layout()->setContentsMargins(0, 0, 0, 0);
    m_chart->setBackgroundRoundness(0);

    m_series = new QBarSeries(m_chart);
    m_chart->addSeries(m_series);
    m_categoryAxis = new QBarCategoryAxis(m_chart);
    m_valueAxis = new QValueAxis(m_chart);
    m_valueAxis->setLabelFormat(QStringLiteral("%g"));
    // Small type, so that 24 hour columns keep their labels in a dialog-sized chart.
    QFont labels = m_categoryAxis->labelsFont();
    labels.setPixelSize(9);
    m_categoryAxis->setLabelsFont(labels);
    m_valueAxis->setLabelsFont(labels);
    // A short number needs less room than the axis reserves; cut, it would read "...".
    m_valueAxis->setTruncateLabels(false);
    QFont titles = m_categoryAxis->titleFont();
    titles.setPointSizeF(std::max(6.0, titles.pointSizeF() * 0.8));
    m_categoryAxis->setTitleFont(titles);
    m_valueAxis->setTitleFont(titles);
    m_chart->addAxis(m_categoryAxis, Qt::AlignBottom);
    m_chart->addAxis(m_valueAxis, Qt::AlignLeft);
    m_series->attachAxis(m_categoryAxis);
    m_series->attachAxis(m_valueAxis);

    // The room each label has changes with the window and with the value axis.
    connect(m_chart, &QChart::plotAreaChanged, this, [this] { fitCategoryLabels(); });

    m_view = new QChartView(m_chart, this);
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->setFrameShape(QFrame::NoFrame);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_view);

    auto* set = new QBarSet(QString(), m_series);
    m_series->append(set);
    m_sets.push_back(set);
    m_values.resize(1);
    setColumnCount(1);
}

TVtChart::~TVtChart() = default;

void TVtChart::setColumnCount(short count)
{
    const int columns = std::max<int>(count, 1);
    while (m_labels.size() > columns)
        m_labels.removeLast();
    while (m_labels.size() < columns)
        m_labels.append(defaultLabel(static_cast<int>(m_labels.size()) + 1));
    for (auto& row : m_values)
        row.resize(columns, 0.0);
    redraw();
}

bool TVtChart::currentCellValid() const
{
    return m_column >= 1 && m_column <= columnCount() && m_row >= 1 && m_row <= rowCount();
}

void TVtChart::setColumnLabel(const QString& label)
{
    if (m_column < 1 || m_column > columnCount())
        return;
    m_labels[m_column - 1] = label;
    redraw();
}

QString TVtChart::columnLabel() const
{
    return columnLabelAt(m_column);
}

void TVtChart::setData(const QString& value)
{
    if (!currentCellValid())
        return;
    bool ok = false;
    const double number = value.trimmed().toDouble(&ok);
    m_values[m_row - 1][m_column - 1] = ok ? number : 0.0;
    redraw();
}

QString TVtChart::data() const
{
    if (!currentCellValid())
        return {};
    return QString::number(m_values[m_row - 1][m_column - 1]);
}

void TVtChart::setAxisTitles(const QString& categoryTitle, const QString& valueTitle)
{
    m_categoryAxis->setTitleText(categoryTitle);
    m_valueAxis->setTitleText(valueTitle);
}

QString TVtChart::categoryTitle() const
{
    return m_categoryAxis->titleText();
}

QString TVtChart::valueTitle() const
{
    return m_valueAxis->titleText();
}

QString TVtChart::columnLabelAt(int column) const
{
    if (column < 1 || column > columnCount())
        return {};
    return m_labels[column - 1];
}

double TVtChart::valueAt(int row, int column) const
{
    if (row < 1 || row > rowCount() || column < 1 || column > columnCount())
        return 0.0;
    return m_values[row - 1][column - 1];
}

QBarSet* TVtChart::barSet(int row) const
{
    if (row < 1 || row > static_cast<int>(m_sets.size()))
        return nullptr;
    return m_sets[row - 1];
}

QStringList TVtChart::drawnCategories() const
{
    return m_categoryAxis->categories();
}

namespace {

// What the category axis shows for the labels `drawn` in a plot `plotWidth` wide:
// level while every label fits its column; turned upright when they do not, so a
// name reads whole; and, when even upright labels would run into each other, only
// every n-th of them, the rest left blank, so those shown stay readable.
struct CategoryLabels {
    QStringList shown;
    bool upright = false;
};

CategoryLabels categoryLabelsFor(const QStringList& drawn, const QFont& font, qreal plotWidth)
{
    CategoryLabels result;
    result.shown = drawn;
    if (drawn.isEmpty() || plotWidth <= 0)
        return result;
    const QFontMetricsF metrics(font);
    const qreal column = plotWidth / static_cast<qreal>(drawn.size());
    constexpr qreal gap = 4;
    qreal widest = 0;
    for (const QString& label : drawn)
        widest = std::max(widest, metrics.horizontalAdvance(label));
    if (widest + gap <= column)
        return result;
    result.upright = true;
    const int every = static_cast<int>(std::ceil((metrics.height() + gap) / column));
    if (every > 1) {
        for (qsizetype i = 0; i < result.shown.size(); ++i) {
            if (i % every != 0)
                result.shown[i] = QString(static_cast<int>(i) + 1, QChar(0x200B));
        }
    }
    return result;
}

}  // namespace

void TVtChart::fitCategoryLabels()
{
    const qreal plotWidth = m_chart->plotArea().width() > 0 ? m_chart->plotArea().width() : width() * 0.85;
    const CategoryLabels labels = categoryLabelsFor(m_drawnLabels, m_categoryAxis->labelsFont(), plotWidth);
    if (m_categoryAxis->categories() != labels.shown)
        m_categoryAxis->setCategories(labels.shown);
    const int angle = labels.upright ? -90 : 0;
    if (m_categoryAxis->labelsAngle() != angle)
        m_categoryAxis->setLabelsAngle(angle);
    // Each label has the room it needs now; cut, a name would read "...".
    m_categoryAxis->setTruncateLabels(false);
}

void TVtChart::redraw()
{
    // The axis drops a category equal to one it has, which would shift every later
    // bar under the wrong label; equal labels (or empty ones) are told apart by
    // invisible marks so each column keeps its own place.
    QStringList drawn;
    drawn.reserve(m_labels.size());
    for (const QString& label : m_labels) {
        QString text = label.isEmpty() ? QStringLiteral(" ") : label;
        while (drawn.contains(text))
            text += QChar(0x200B);
        drawn.append(text);
    }
    m_drawnLabels = drawn;
    fitCategoryLabels();

    double low = 0.0;
    double high = 0.0;
    for (std::size_t r = 0; r < m_values.size(); ++r) {
        QBarSet* set = m_sets[r];
        const auto& row = m_values[r];
        if (set->count() != static_cast<int>(row.size())) {
            set->remove(0, set->count());
            for (double value : row)
                set->append(value);
        } else {
            for (std::size_t c = 0; c < row.size(); ++c) {
                if (set->at(static_cast<int>(c)) != row[c])
                    set->replace(static_cast<int>(c), row[c]);
            }
        }
        for (double value : row) {
            low = std::min(low, value);
            high = std::max(high, value);
        }
    }
    // Counts and whole money units: a small range gets one tick per whole number.
    low = std::floor(low);
    high = std::max(std::ceil(high), low + 1.0);
    m_valueAxis->setRange(low, high);
    if (high - low <= 4.0) {
        m_valueAxis->setTickCount(static_cast<int>(high - low) + 1);
    } else {
        m_valueAxis->setTickCount(5);
        m_valueAxis->applyNiceNumbers();
    }
}

}  // namespace platform
