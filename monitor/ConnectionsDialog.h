// The "Connections" dialog: the records of "history.dat" as a list, filtered to all
// days, this month or this day, sortable by four of its columns, with the total fee
// and the average time and cost per connection below it. The rows, their texts and
// their order are the ConnectionsModel's.
#pragma once

#include "ConnectionsModel.h"

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
class MainWindow;

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
    QRect table;
    QRect bevel1;
    QPoint bevel5;
    QPoint bevel3;
    int groupBoxTop = 0;
    QPoint okButton;
    QPoint helpButton;
    QPoint label1, label2, label7, label8, label3, label4;
};
struct LabelWidths {
    int label1 = 0, label2 = 0, label7 = 0, label8 = 0, label3 = 0, label4 = 0;
};
Layout layoutFor(int outerWidth, int outerHeight, const LabelWidths& widths);

}  // namespace connections

class ConnectionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConnectionsDialog(MainWindow& mainWindow, QWidget* parent = nullptr);
    ~ConnectionsDialog() override;

    MainWindow& mainWindow() const { return m_mainWindow; }

    // ---- controls ---------------------------------------------------------------
    QPushButton* BitBtn1 = nullptr;  // "OK"
    QFrame* Bevel1 = nullptr;
    QLabel* Label1 = nullptr;  // "Total fee:"
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;  // "Average time per connention:"
    QLabel* Label4 = nullptr;
    QFrame* Bevel2 = nullptr;
    QFrame* Bevel3 = nullptr;
    QFrame* Bevel5 = nullptr;
    QLabel* Label7 = nullptr;  // "Average cost per connection:"
    QLabel* Label8 = nullptr;
    QTableView* Table = nullptr;
    QPushButton* BitBtn2 = nullptr;  // "&Help"
    QGroupBox* GroupBox1 = nullptr;  // "Show connections by"
    QToolButton* SpeedButton1 = nullptr;  // "This month"
    QToolButton* SpeedButton3 = nullptr;  // "This day"
    QIcon ImageList1;                     // the mark of the active filter
    QToolButton* SpeedButton2 = nullptr;  // "All days"
    QGroupBox* GroupBox2 = nullptr;       // "Sorted by:"
    QLabel* Label5 = nullptr;
    QGroupBox* GroupBox3 = nullptr;  // "Direction:"
    QLabel* Label6 = nullptr;
    QLabel* Image1 = nullptr;  // arrow down: ascending
    QLabel* Image2 = nullptr;  // arrow up: descending

    // ---- handlers ----------------------------------------------------------------
    void FormActivate();
    void SpeedButton2Click();
    void SpeedButton1Click();
    void SpeedButton3Click();
    void TableColumnClick(int column);
    // Compares two rows of the list (their nine texts) under the sort state.
    int TableCompare(const QStringList& a, const QStringList& b) const;
    void FormConstrainedResize();
    void FormResize();
    void BitBtn1Click();
    void BitBtn2Click();
    void FormClose();

    // The rows of Table.
    connections::ConnectionsModel& rows() const { return *m_rows; }
    // The nine texts of a row of Table.
    QStringList rowOf(int row) const;
    // Sets the columns to the widths that show the rows loaded and the captions whole.
    void fitColumns();

    void done(int result) override;

protected:
    bool event(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void buildWindow();
    void layOutFilterButtons();
    void filterButton(QToolButton* clicked, connections::HistoryFilter filter);

    MainWindow& m_mainWindow;
    connections::ConnectionsModel* m_rows = nullptr;
    // The list is loaded when the dialog first becomes active after being shown, not
    // each time the user comes back to it from another window.
    bool m_loadedSinceShow = false;
};

// Fills Table and the footer from "history.dat" under `filter`; Table is expected to
// have been emptied by ClearConnectionTable.
void LoadHistory(ConnectionsDialog& dialog, connections::HistoryFilter filter);
void ClearConnectionTable(ConnectionsDialog& dialog);
