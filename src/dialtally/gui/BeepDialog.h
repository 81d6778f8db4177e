// The Beep dialog: edits the beeper's settings and hands them to the main window at
// once. The beeper itself runs in the main window's tick.
#pragma once

#include "platform/core/Settings.h"

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
class MonitoringSession;

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

// The number (1 to 4) of the checked one of a dialog's four radio buttons, 0 for none;
// both dialogs store their choice by that number.
int checkedNumber(const QRadioButton* first, const QRadioButton* second, const QRadioButton* third,
                  const QRadioButton* fourth);

}  // namespace beep

class BeepDialog : public QDialog {
    Q_OBJECT
public:
    explicit BeepDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~BeepDialog() override;


    void FormCreate();
    void beepOnToggled();
    void intervalChanged();
    // Returns whether the key was taken.
    bool intervalKeyDown(int key);
    void okClicked();
    void cancelClicked();
    void helpClicked();

    // 1 to 4 for the checked radio button, 0 for none.
    int checkedSound() const;

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QTabWidget* pageTabs = nullptr;
    QWidget* beepPage = nullptr;
    QLabel* speakerPicture = nullptr;
    QLabel* introLine1 = nullptr;
    QLabel* introLine2 = nullptr;
    QLabel* introLine3 = nullptr;
    QLabel* intervalLabel = nullptr;
    QLineEdit* intervalEdit = nullptr;
    QCheckBox* beepOnCheck = nullptr;
    QRadioButton* defaultSoundRadio = nullptr;
    QRadioButton* asteriskSoundRadio = nullptr;
    QRadioButton* exclamationSoundRadio = nullptr;
    QRadioButton* handSoundRadio = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* helpButton = nullptr;

    void restoreInterval();

    MonitoringSession& m_session;
    settings::Settings m_settings;
    bool m_restoring = false;
};
