// The Connections list without its window: the records of "history.dat" as rows,
// filtered to all days, this month or this day and sortable by four of their columns,
// the footer's totals, and the text forms of money, durations and calendar values the
// rows show.
#pragma once

#include "platform/core/LocalTime.h"

#include <QAbstractTableModel>
#include <QByteArray>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace connections {

inline constexpr int kColumnCount = 9;

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
QString FormatDateOrTime(platform::LocalDateTime time, bool date);

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

// How wide a text is drawn, in fractions of a pixel: the window's font measures.
using TextAdvance = std::function<double(const QString& text)>;
// The width of `text` with the widest digit in the place of every digit, in whole
// pixels rounded up: as wide as any value of the same form.
int widestDigitsWidth(const TextAdvance& advance, QString text);

// ---- sorting ---------------------------------------------------------------------

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
    // The width of the widest text of `column` as `advance` measures texts (the
    // window's font), in whole pixels rounded up, 0 with no rows. Numbers are taken at
    // their longest with the widest digit in every place, so no value is found by
    // formatting every row; each distinct name is measured.
    int widestText(const TextAdvance& advance, int column) const;
    // widestText of every column of the program's own values (fee, time, dates), found
    // in one pass over the rows; 0 for the name columns.
    std::array<int, kColumnCount> widestValueTexts(const TextAdvance& advance) const;
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

// Design width of each column of the list.
int designColumnWidth(int column);

// The names come from outside (the log-on name and the dial-up entry): a longer one is
// cut short in its column, and the cell's tooltip holds it whole.
bool holdsName(int column);
// The characters a name column is laid out for: the room the design gave it.
int designNameLength(int column);
// The widest value the list is laid out for in a column of the program's own texts,
// before any record is read: a fee or total of five digits of dollars, a connection
// of 999 hours, a four-digit year and two-digit months, days and times. Digits are
// 9s; the caller measures them at its font's widest digit. Empty for a name column.
QString designValueSample(int column);

}  // namespace connections
