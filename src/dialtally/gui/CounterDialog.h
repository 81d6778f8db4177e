// The Counter dialog: how the counter period is reset and whether a report is written
// before each reset, with a reset and a report to be made at once.
#pragma once

#include "platform/core/Settings.h"

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;
class MonitoringSession;

namespace resetdialog {

// What OK stores: the reset mode of the checked radio button (the main window's mode
// when none is checked) and, for the two-weekly mode, its next reset day.
struct CounterChoice {
    int resetMode = 0;
    int resetDay = 0;  // meaningful with resetMode 1
    bool writesResetDay = false;
};
// `checkedButton` is 1 to 4, or 0 when no radio button is checked.
CounterChoice counterChoice(int checkedButton, int currentMode, int currentDay, int todayDay);

}  // namespace resetdialog

class CounterDialog : public QDialog {
    Q_OBJECT
public:
    explicit CounterDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~CounterDialog() override;


    void FormCreate();
    void resetNowClicked();
    void reportNowClicked();
    void okClicked();
    void cancelClicked();
    void helpClicked();

    // 1 to 4 for the checked radio button, 0 for none.
    int checkedResetButton() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    QTabWidget* pageTabs = nullptr;
    QWidget* resetPage = nullptr;
    QWidget* reportPage = nullptr;
    QRadioButton* twoWeeksRadio = nullptr;
    QRadioButton* monthRadio = nullptr;
    QRadioButton* twoMonthsRadio = nullptr;
    QRadioButton* neverResetRadio = nullptr;
    QPushButton* resetNowButton = nullptr;
    QPlainTextEdit* resetNote = nullptr;
    QCheckBox* reportEnabledCheck = nullptr;
    QPushButton* reportNowButton = nullptr;
    QPlainTextEdit* reportNote = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* helpButton = nullptr;

    void setCheckedResetButton(int number);

    MonitoringSession& m_session;
    settings::Settings m_settings;
};
