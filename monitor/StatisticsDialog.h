// The Statistics dialog: the crashes of the counter period, the crashes per connected
// hour, and one row per user with connections, time and fee from history.dat. The
// texts, the per-user totals and the sort rule are plain code of namespace statistics.
#pragma once

#include "History.h"
#include "Registry.h"

#include <QByteArray>
#include <QChar>
#include <QDialog>
#include <QString>

#include <cstdint>
#include <vector>

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class MonitoringSession;

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

// The sort state of the list, kept for the program's life.
enum SortKey { kByUserName = -1, kByConnections = 0, kByTotalTime = 1, kByTotalFee = 2 };
struct SortState {
    int UsersSortDirection = 0;  // 1 ascending, 0 descending
    int UsersSortKey = 0;
    int UsersLastSortKey = 0;
};
SortState& usersSortState();

// A click on the header of the column captioned `caption`: the column clicked last
// reverses its order, any other sorts ascending. A caption of no column leaves the key.
void applyColumnClick(SortState& state, const QString& caption);
// -1, 0 or 1 for the rows under the state's key and direction.
int compareRows(const UserRow& a, const UserRow& b, const SortState& state);

}  // namespace statistics

class StatisticsDialog : public QDialog {
    Q_OBJECT
public:
    explicit StatisticsDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~StatisticsDialog() override;

    QGroupBox* crashesGroup = nullptr;
    QLabel* crashCountCaption = nullptr;
    QLabel* crashCountLabel = nullptr;
    QLabel* crashRateCaption = nullptr;
    QLabel* crashRateLabel = nullptr;  // crashes per connected hour
    QGroupBox* usersGroup = nullptr;
    QTreeWidget* userList = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* helpButton = nullptr;

    void FormActivate();
    void userColumnClicked(int column);
    int compareUsers(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const;
    void helpClicked();
    void FormClose();

    // The rows as shown, for reading back: the texts of the four columns.
    std::vector<QStringList> rowTexts() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    // Widens a column whose caption, design values or widest sum its design width
    // would cut.
    void fitColumns();
    void fitWindowToColumns();

    MonitoringSession& m_session;
    platform::Registry m_registry;
};
