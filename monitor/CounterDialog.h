// The Counter dialog: how the counter period is reset and whether a report is written
// before each reset, with a reset and a report to be made at once.
#pragma once

#include <QDialog>

class QCheckBox;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;
class MainWindow;

namespace resetdialog {

// What OK stores: the reset mode of the checked radio button (the main window's mode
// when none is checked) and, for the two-weekly mode, its next reset day.
struct CounterChoice {
    int resetMode = 0;
    int resetDay = 0;     // meaningful with resetMode 1
    bool writesResetDay = false;
};
// `checkedButton` is 1 to 4, or 0 when no radio button is checked.
CounterChoice counterChoice(int checkedButton, int currentMode, int currentDay, int todayDay);

}  // namespace resetdialog

class CounterDialog : public QDialog {
    Q_OBJECT
public:
    explicit CounterDialog(MainWindow& mainWindow, QWidget* parent = nullptr);
    ~CounterDialog() override;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;  // "Reset"
    QWidget* TabSheet2 = nullptr;  // "Report"
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    QPushButton* Button1 = nullptr;  // "Reset now"
    QPlainTextEdit* Memo1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;  // "Report enabled"
    QPushButton* Button5 = nullptr;  // "Create Report now"
    QPlainTextEdit* Memo2 = nullptr;
    QPushButton* BitBtn3 = nullptr;  // "OK"
    QPushButton* BitBtn2 = nullptr;  // "Cancel"
    QPushButton* BitBtn1 = nullptr;  // "&Help"

    void FormCreate();
    void Button1Click();
    void Button5Click();
    void BitBtn3Click();
    void BitBtn2Click();
    void BitBtn1Click();

    // 1 to 4 for the checked radio button, 0 for none.
    int checkedResetButton() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setCheckedResetButton(int number);

    MainWindow& m_mainWindow;
};
