// The "Connections" dialog: the records of "history.dat" as a list, filtered to all
// days, this month or this day, sortable by four of its columns, with the total fee
// and the average time and cost per connection below it. The rows, their texts and
// their order are the ConnectionsModel's.
#pragma once

#include "dialtally/core/ColumnSort.h"
#include "dialtally/core/ConnectionsModel.h"

#include <QDialog>
#include <QIcon>
#include <QPoint>
#include <QRect>
#include <QString>
#include <QStringList>

class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class QToolButton;
class MonitoringSession;

namespace connections {

// Design size of the window with its frame, and the frame that the layout was drawn
// against: the layout is computed on the client area plus this frame, so it comes out
// the same whatever frame the window manager draws.
inline constexpr int kMinimumOuterWidth = 721;
inline constexpr int kMinimumOuterHeight = 296;
inline constexpr int kDesignFrameWidth = 8;
inline constexpr int kDesignFrameHeight = 27;

// The width a column gets: its design width, unless its caption (`captionWidth`, the
// header's own hint) or its widest text plus the cell's margins (`textMargins`) needs
// more, so that no value is cut.
int neededColumnWidth(int designWidth, int captionWidth, int widestTextWidth, int textMargins);

// Where the resize puts the controls for an outer size W x H; the value labels' own
// widths centre the footer fields.
struct Layout {
    QRect connectionList;
    QRect footer;
    QPoint feeCostDivider;
    QPoint costTimeDivider;
    int boxTop = 0;
    QPoint okButton;
    QPoint helpButton;
    QPoint totalFeeCaption, totalFee;
    QPoint averageCostCaption, averageCost;
    QPoint averageTimeCaption, averageTime;
};
struct LabelWidths {
    int totalFeeCaption = 0, totalFee = 0;
    int averageCostCaption = 0, averageCost = 0;
    int averageTimeCaption = 0, averageTime = 0;
};
Layout layoutFor(int outerWidth, int outerHeight, const LabelWidths& widths);

}  // namespace connections

class ConnectionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConnectionsDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~ConnectionsDialog() override;

    MonitoringSession& session() const { return m_session; }

    // ---- controls ---------------------------------------------------------------
    QIcon activeFilterMark;

    // ---- handlers ----------------------------------------------------------------
    void FormActivate();
    void allDaysClicked();
    void thisMonthClicked();
    void thisDayClicked();
    void columnClicked(int column);
    // Compares two rows of the list (their nine texts) under the sort order.
    int compareBySortState(const QStringList& a, const QStringList& b) const;
    // Back to the order of a program just started, which knows no click yet.
    static void forgetSortOrder();
    void FormConstrainedResize();
    void FormResize();
    void okClicked();
    void helpClicked();
    void FormClose();

    // The totals and averages below the list.
    void showFooter(const connections::FooterTexts& footer);
    // The rows of the list.
    connections::ConnectionsModel& rows() const { return *m_rows; }
    // The nine texts of a row of the list.
    QStringList rowOf(int row) const;
    // Sets the columns to the widths that show the captions, the design's values and
    // the rows loaded whole, but for names beyond their design length.
    void fitColumns();
    // The client width the dialog opens with: every column in view.
    int openingWidth() const;

    void done(int result) override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    QTableView* connectionList = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* helpButton = nullptr;
    // The footer: three fields of a caption and its value, in one bevel parted by two
    // dividers.
    QFrame* footerBevel = nullptr;
    QFrame* feeCostDivider = nullptr;
    QFrame* costTimeDivider = nullptr;
    QLabel* totalFeeCaption = nullptr;
    QLabel* totalFeeLabel = nullptr;
    QLabel* averageCostCaption = nullptr;
    QLabel* averageCostLabel = nullptr;
    QLabel* averageTimeCaption = nullptr;
    QLabel* averageTimeLabel = nullptr;
    // A line of the design below the footer, left where it was drawn by the resize.
    QFrame* fixedLine = nullptr;
    QGroupBox* filterBox = nullptr;
    QToolButton* allDaysButton = nullptr;
    QToolButton* thisMonthButton = nullptr;
    QToolButton* thisDayButton = nullptr;
    QGroupBox* sortBox = nullptr;
    QLabel* sortColumnLabel = nullptr;  // the caption of the column sorted by
    QGroupBox* directionBox = nullptr;
    QLabel* directionLabel = nullptr;
    QLabel* ascendingArrow = nullptr;  // pointing down
    QLabel* descendingArrow = nullptr;  // pointing up

    void buildWindow();
    void layOutFilterButtons();
    void filterButton(QToolButton* clicked, connections::HistoryFilter filter);

    // One order for every showing of the list in a run: a dialog opened again sorts
    // on from the clicks of the one before.
    static ColumnSort s_sort;

    MonitoringSession& m_session;
    connections::ConnectionsModel* m_rows = nullptr;
    // The list is loaded when the dialog first becomes active after being shown, not
    // each time the user comes back to it from another window.
    bool m_loadedSinceShow = false;
};

// Fills the list and the footer from "history.dat" under `filter`; the list is expected
// to have been emptied by ClearConnectionTable.
void LoadHistory(ConnectionsDialog& dialog, connections::HistoryFilter filter);
void ClearConnectionTable(ConnectionsDialog& dialog);
