// The Beep dialog: edits the beeper's settings and hands them to the main window at
// once. The beeper itself runs in the main window's tick.
#pragma once

#include <QDialog>
#include <QString>

class QCheckBox;
class QHBoxLayout;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class QWidget;
class MainWindow;

namespace beep {

// The interval edit's text while it is typed.
struct IntervalCheck {
    int wrongCharacters = 0;  // one message each
    bool rejectedValue = false;  // digits only, but zero or too large: one message
    bool accepted() const { return wrongCharacters == 0 && !rejectedValue; }
};
IntervalCheck checkIntervalText(const QString& text);
// The minutes of an accepted, non-empty text.
int intervalOf(const QString& text);

// The OK, Cancel and Help row centred at the foot of the Beep and the Reset dialogs,
// OK the default. Both dialogs name the three BitBtn3, BitBtn2 and BitBtn1, and the
// buttons carry those object names.
QHBoxLayout* centredOkCancelHelpRow(QWidget* dialog, QPushButton*& ok, QPushButton*& cancel, QPushButton*& help);

// The number (1 to 4) of the checked one of a dialog's four radio buttons, 0 for none;
// both dialogs store their choice by that number.
int checkedNumber(const QRadioButton* first, const QRadioButton* second, const QRadioButton* third,
                  const QRadioButton* fourth);

}  // namespace beep

class BeepDialog : public QDialog {
    Q_OBJECT
public:
    explicit BeepDialog(MainWindow& mainWindow, QWidget* parent = nullptr);
    ~BeepDialog() override;

    QTabWidget* PageControl1 = nullptr;
    QWidget* TabSheet1 = nullptr;  // "Beep function"
    QLabel* Image1 = nullptr;
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;  // "Time interval in minutes :"
    QLineEdit* Edit1 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QRadioButton* RadioButton3 = nullptr;
    QRadioButton* RadioButton4 = nullptr;
    QPushButton* BitBtn3 = nullptr;  // "OK"
    QPushButton* BitBtn2 = nullptr;  // "Cancel"
    QPushButton* BitBtn1 = nullptr;  // "&Help"

    void FormCreate();
    void CheckBox1Click();
    void Edit1Change();
    // Returns whether the key was taken.
    bool Edit1KeyDown(int key);
    void BitBtn3Click();
    void BitBtn2Click();
    void BitBtn1Click();

    // 1 to 4 for the checked radio button, 0 for none.
    int checkedSound() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void restoreInterval();

    MainWindow& m_mainWindow;
    bool m_restoring = false;
};
