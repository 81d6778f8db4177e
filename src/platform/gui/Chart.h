// A bar chart with the programming model of the chart control that the Graphs dialog
// was designed against: columns and rows numbered from 1, a current column and row,
// and label and value setters that apply to the current cell. One row is one data
// series; the chart has one row.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <vector>

class QBarCategoryAxis;
class QBarSeries;
class QBarSet;
class QChart;
class QChartView;
class QValueAxis;

namespace platform {

class TVtChart : public QWidget {
    Q_OBJECT
    Q_PROPERTY(short ColumnCount READ columnCount WRITE setColumnCount)
    Q_PROPERTY(short Column READ column WRITE setColumn)
    Q_PROPERTY(QString ColumnLabel READ columnLabel WRITE setColumnLabel)
    Q_PROPERTY(QString Data READ data WRITE setData)
    Q_PROPERTY(short Row READ row WRITE setRow)
public:
    explicit TVtChart(QWidget* parent = nullptr);
    ~TVtChart() override;

    // Columns kept keep their labels and values; new ones read 0 and are labelled
    // "C<n>". A count below 1 counts as 1.
    void setColumnCount(short count);
    short columnCount() const { return static_cast<short>(m_labels.size()); }

    // The cell that ColumnLabel and Data refer to. A position outside the chart is
    // kept, but labels and values given while it is there are dropped.
    void setColumn(short column) { m_column = column; }
    short column() const { return m_column; }
    void setRow(short row) { m_row = row; }
    short row() const { return m_row; }
    short rowCount() const { return static_cast<short>(m_values.size()); }

    void setColumnLabel(const QString& label);
    QString columnLabel() const;  // of the current column; empty outside the chart
    // A decimal number as text; a text that is no number counts as 0.
    void setData(const QString& value);
    QString data() const;  // of the current cell; empty outside the chart

    // Titles of the category (horizontal) and value (vertical) axes.
    void setAxisTitles(const QString& categoryTitle, const QString& valueTitle);
    QString categoryTitle() const;
    QString valueTitle() const;

    // The contents by position, for drawing and for reading back (columns and rows
    // from 1; 0 and an empty label outside the chart).
    QString columnLabelAt(int column) const;
    double valueAt(int row, int column) const;

    QChart* chart() const { return m_chart; }
    // What the bars show: one bar per column of the row, labelled as drawn on the axis.
    QBarSet* barSet(int row = 1) const;
    QStringList drawnCategories() const;

private:
    bool currentCellValid() const;
    void redraw();
    void fitCategoryLabels();

    QChartView* m_view = nullptr;
    QChart* m_chart = nullptr;
    QBarSeries* m_series = nullptr;
    QBarCategoryAxis* m_categoryAxis = nullptr;
    QValueAxis* m_valueAxis = nullptr;
    std::vector<QBarSet*> m_sets;

    QStringList m_labels;
    QStringList m_drawnLabels;  // the labels made distinct, before any is left blank
    std::vector<std::vector<double>> m_values;  // [row][column], both from 0
    short m_column = 1;
    short m_row = 1;
};

}  // namespace platform
