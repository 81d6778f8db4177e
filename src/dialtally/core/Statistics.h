// The Statistics dialog's figures without its window: one row per user with
// connections, time and fee from history.dat, the crash rate and its text, and the
// list's sort rule.
#pragma once

#include "dialtally/core/ColumnSort.h"
#include "dialtally/core/History.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace statistics {

// This dialog's own money text: 355 -> "3 d. 55 c."
QString moneyText(std::int64_t cents);

// One row of the list. The name is kept as stored (the bytes before the record's
// terminator), so rows are told apart and sorted byte for byte.
struct UserRow {
    QByteArray name;
    std::int64_t connections = 0;
    std::int64_t seconds = 0;
    std::int64_t cents = 0;
};
// The rows summed one record at a time, one row per user name in the order of first
// appearance.
class UserTally {
public:
    void add(const history::HistoryRecord& record);
    const std::vector<UserRow>& rows() const { return m_rows; }
    std::vector<UserRow> takeRows() { return std::move(m_rows); }

private:
    history::NameOrder m_names;
    std::vector<UserRow> m_rows;
};
// The rows of the history in the program folder, summed while the file is read, so a
// long history costs the rows and one block of records, never a copy of the file.
std::vector<UserRow> userRows(const QString& programPath);

// Crashes per connected hour; 0 while less than one whole hour is connected.
float crashRate(std::int32_t crashes, std::int32_t connectedSeconds);
// A number in the general format of at most `precision` significant digits: fixed
// notation from 0.0001 to below 10^precision, else mantissa, "E", sign and at least
// `exponentDigits` digits. Trailing zeros and an unneeded point are dropped.
QString generalText(double value, int precision, int exponentDigits, QChar decimalPoint);
// The crash rate as the dialog shows it, with the locale's decimal point.
QString crashRateText(std::int32_t crashes, std::int32_t connectedSeconds);

// The keys the users list sorts by.
enum SortKey { kByUserName = -1, kByConnections = 0, kByTotalTime = 1, kByTotalFee = 2 };

// A click on the header of the column captioned `caption`: the column clicked last
// reverses its order, any other sorts ascending. A caption of no column leaves the key.
void applyColumnClick(ColumnSort& sort, const QString& caption);
// -1, 0 or 1 for the rows under the sort's key and order.
int compareRows(const UserRow& a, const UserRow& b, const ColumnSort& sort);

}  // namespace statistics
