// The Graphs dialog's figures without its window: connections and fee per hour of the
// day, fee per user and per provider, summed from history.dat, and where the resize
// rule puts the dialog's controls.
#pragma once

#include "dialtally/core/History.h"

#include <QByteArray>
#include <QRect>
#include <QSize>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace graphs {

inline constexpr int kMinimumWidth = 545;
inline constexpr int kMinimumHeight = 459;
inline constexpr int kStartWidth = 545;
inline constexpr int kStartHeight = 464;
inline constexpr int kHourColumns = 24;

// Names are kept as stored in the record (the bytes before its terminator) and
// compared byte for byte, so names that differ only in letter case stay apart.
struct UserTotal {
    QByteArray name;
    std::int64_t fee = 0;  // cents
};
struct ProviderTotal {
    QByteArray name;
    std::int32_t connections = 0;
    std::int64_t fee = 0;  // cents
};
struct HourTotal {
    std::int32_t connections = 0;
    std::int64_t fee = 0;  // cents
};

// Every user and every provider gets its own entry, in the order of first appearance
// in the file; none is dropped or merged, however many there are.
struct GraphTotals {
    std::vector<UserTotal> UserTotals;
    std::vector<ProviderTotal> ProviderTotals;
    std::array<HourTotal, kHourColumns> HourTotals{};

    // A connection counts in the hour of its start, however long it ran. A record
    // whose start hour is not 0 to 23 counts for its user and provider but for no hour.
    void add(const history::HistoryRecord& record);

private:
    history::NameOrder m_users;
    history::NameOrder m_providers;
};

// The totals of the history in the program folder, summed while the file is read, so
// a long history costs the totals and one block of records, never a copy of the file.
GraphTotals aggregate(const QString& programPath);

// The hour charts put hour 0 into their last column: columns 1 to 23 are hours 1 to
// 23, column 24 is midnight to 00:59.
int hourColumn(int hour);
// Money on the charts is in whole currency units, the cents dropped.
QString wholeUnitsText(std::int64_t cents);
// The text of a stored name as the charts label it.
QString nameText(const QByteArray& name);

// Where the resize rule puts the controls for a window of the outer size `window`.
struct GraphsLayout {
    QRect upperChartBox;
    QRect lowerChartBox;
    int buttonTop = 0;
    int okLeft = 0;
    int helpLeft = 0;
};
GraphsLayout layoutFor(QSize window);

}  // namespace graphs
