// The Statistics dialog: the crashes of the counter period, the crashes per connected
// hour, and one row per user with connections, time and fee from history.dat. The
// texts, the per-user totals and the sort rule are the core's (Statistics).
#pragma once

#include "platform/core/Settings.h"
#include "dialtally/core/Statistics.h"

#include <QDialog>
#include <QString>
#include <QStringList>

#include <vector>

class QGroupBox;
class QLabel;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;
class MonitoringSession;

class StatisticsDialog : public QDialog {
    Q_OBJECT
public:
    explicit StatisticsDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~StatisticsDialog() override;


    void FormActivate();
    void userColumnClicked(int column);
    int compareUsers(const QTreeWidgetItem& a, const QTreeWidgetItem& b) const;
    // Back to the order of a program just started, which knows no click yet.
    static void forgetSortOrder();
    void helpClicked();
    void FormClose();

    // The rows as shown, for reading back: the texts of the four columns.
    std::vector<QStringList> rowTexts() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QGroupBox* crashesGroup = nullptr;
    QLabel* crashCountCaption = nullptr;
    QLabel* crashCountLabel = nullptr;
    QLabel* crashRateCaption = nullptr;
    QLabel* crashRateLabel = nullptr;  // crashes per connected hour
    QGroupBox* usersGroup = nullptr;
    QTreeWidget* userList = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* helpButton = nullptr;

    // Widens a column whose caption, design values or widest sum its design width
    // would cut.
    void fitColumns();
    void fitWindowToColumns();

    // The users' order is the run's, not one showing's: the next click on the same
    // column reverses what the user left, whenever the dialog was made.
    static ColumnSort s_userSort;

    MonitoringSession& m_session;
    settings::Settings m_settings;
};
