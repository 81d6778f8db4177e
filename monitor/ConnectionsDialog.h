// The "Connections" dialog: the records of "history.dat" as a list, filtered to all
// days, this month or this day, sortable by four of its columns, with the total fee
// and the average time and cost per connection below it. The text forms of money,
// durations and calendar values in the list are the plain functions of namespace fee.
#pragma once

#include "LocalTime.h"
#include "History.h"

#include <QAbstractTableModel>
#include <QDialog>
#include <QIcon>
#include <QRect>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <vector>

class QFont;
class QFrame;
class QGroupBox;
class QLabel;
class QPushButton;
class QTableView;
class QToolButton;
class MonitoringSession;

namespace fee {

inline constexpr int kHelpContext = 13;
inline constexpr int kColumnCount = 9;

// Design size of the window with its frame, and the frame that the layout was drawn
// against: the layout is computed on the client area plus this frame, so it comes out
// the same whatever frame the window manager draws.
inline constexpr int kMinimumOuterWidth = 721;
inline constexpr int kMinimumOuterHeight = 296;
inline constexpr int kDesignFrameWidth = 8;
inline constexpr int kDesignFrameHeight = 27;

enum HistoryFilter { AllDays = 0, ThisMonth = 1, ThisDay = 3 };

// 1234 -> "12 dol. 34 c."; a negative amount carries the sign on each part that is
// not zero (-105 -> "-1 dol. -5 c.").
QString FormatMoney(std::int32_t cents);
// 3725 -> "1:2:5"; hours are not wrapped at 24. A negative duration is written with
// the sign on each part that is not zero (-125 -> "0:-2:-5"), the form the list's
// duration sort reads back to the same number. Wide enough for the totals of a whole
// history, which the Statistics dialog writes in the same form.
QString FormatDuration(std::int64_t seconds);
// The date ("1999/10/5") when `date` is set, else the time of day ("9:5:0").
QString FormatDateOrTime(platform::SystemTime time, bool date);

// What a load shows: the rows from `first` to the end of the file, and their totals.
struct HistoryView {
    std::size_t first = 0;
    std::size_t count = 0;
    std::int64_t feeTotal = 0;
    std::int64_t secondsTotal = 0;
};

// The footer texts of a view: total fee, average time and average cost per row.
struct FooterTexts {
    QString totalFee;
    QString averageTime;
    QString averageCost;
};
FooterTexts footerTexts(const HistoryView& view);
// The footer of an empty list (also the design texts of the dialog).
FooterTexts zeroFooterTexts();

// ---- sorting ---------------------------------------------------------------------

// The sort state of the list, shared by every instance of the dialog for the life of
// the program: the direction (1 ascending, 0 descending), the key of the column
// clicked last and the key the comparison uses.
extern int ConnectionsSortDirection;
extern int ConnectionsSortKey;
extern int ConnectionsLastSortKey;
// Back to the state at program start (tests).
void resetSortState();

// Keys of the column captions: -1 "User name" ... 7 "Ended time"; false when the
// caption is none of them.
bool sortKeyOfCaption(const QString& caption, int* key);
// Keys from this one up do not sort.
inline constexpr int kFirstUnsortableKey = 3;

// Reads a number as the list's sort does: leading white space, an optional sign,
// digits up to the first other character; no digits give 0.
std::int64_t leadingNumber(const QString& text);
// The value of a money text ("12 dol. 34 c." -> 1234) and of a duration text
// ("1:2:5" -> 3725).
std::int64_t moneyValue(const QString& text);
std::int64_t durationValue(const QString& text);
// -1, 0 or 1 for row `a` before, equal to or after row `b` under `key`, ascending.
int compareRows(const QStringList& a, const QStringList& b, int key);

// The list's rows over the decoded records of one load: the texts are made when a
// cell is shown, a filter is the run of records it keeps and a sort reorders row
// numbers, never the records.
class ConnectionsModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ConnectionsModel(QObject* parent = nullptr);

    // Reads "history.dat" under `programPath` and shows its records under `filter`.
    // A record whose start fails the filter (month, or month and day, against
    // today's; the year is never compared) empties the list, so what is left is the
    // run of passing records after the last failing one.
    void load(const QString& programPath, HistoryFilter filter, int todayDay, int todayMonth);
    // Shows nothing and gives the memory of the rows back.
    void clear();
    // Orders the rows by `key` (-1 user, 0 provider, 1 fee, 2 time), ascending when
    // `ascending`, keeping the present order of rows that compare equal. The names
    // compare byte by byte as unsigned codes of their UTF-8 text as shown, fee and
    // time by their values: the order that reading them back from the cell texts gives.
    void sortRows(int key, bool ascending);

    const HistoryView& view() const { return m_view; }
    QString text(int row, int column) const;
    // The width of the widest text of `column` as drawn in `font`, in whole pixels
    // rounded up, 0 with no rows. Numbers are taken at their longest with the font's
    // widest digit in every place, so no value is found by formatting every row; each
    // distinct name is measured.
    int widestText(const QFont& font, int column) const;
    QStringList rowTexts(int row) const;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // What the list shows of a record, a fifth of its size: a long history is held
    // whole while the list is open. The names are numbers into m_names.
    struct Row {
        std::array<std::uint16_t, 6> start;  // year, month, day, hour, minute, second
        std::array<std::uint16_t, 6> end;
        std::int32_t fee;
        std::int32_t seconds;
        std::uint32_t user;
        std::uint32_t provider;
    };
    struct Name {
        QString text;
        // What it sorts by: the UTF-8 bytes of the text shown.
        QByteArray key;
    };

    const Row& rowAt(int row) const;
    std::int64_t runningTotalAt(int row) const;
    QString cell(const Row& r, std::int64_t runningTotal, int column) const;

    std::vector<Row> m_rows;
    std::vector<Name> m_names;
    HistoryView m_view;
    // The running fee total of each row shown, in file order from the first one.
    std::vector<std::int64_t> m_running;
    // The row of the file shown at each place of the list.
    std::vector<std::uint32_t> m_order;
};

// ---- layout ----------------------------------------------------------------------

// Design width of each column of the list.
int designColumnWidth(int column);
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

}  // namespace fee

class ConnectionsDialog : public QDialog {
    Q_OBJECT
public:
    explicit ConnectionsDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~ConnectionsDialog() override;

    MonitoringSession& session() const { return m_session; }

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
    fee::ConnectionsModel& rows() const { return *m_rows; }
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
    void filterButton(QToolButton* clicked, fee::HistoryFilter filter);

    MonitoringSession& m_session;
    fee::ConnectionsModel* m_rows = nullptr;
    // The list is loaded when the dialog first becomes active after being shown, not
    // each time the user comes back to it from another window.
    bool m_loadedSinceShow = false;
};

// Fills Table and the footer from "history.dat" under `filter`; Table is expected to
// have been emptied by ClearConnectionTable.
void LoadHistory(ConnectionsDialog& dialog, fee::HistoryFilter filter);
void ClearConnectionTable(ConnectionsDialog& dialog);
