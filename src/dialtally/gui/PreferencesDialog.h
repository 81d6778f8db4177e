// The Preferences dialog: start with Windows, the splash picture, the taskbar and tray
// behaviour, the programs started on connect, the connect delay, anti-crash, the
// daily budget, and the mail checker's settings and POP3 accounts. The controls are
// reloaded from the registry each time the dialog is shown and written back on OK;
// only the account table keeps state of its own in between.
#pragma once

#include "dialtally/gui/MainWindow.h"
#include "dialtally/core/PreferencesSettings.h"
#include "platform/core/Settings.h"

#include <QDialog>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

class QCheckBox;
class QFileDialog;
class QLabel;
class QLineEdit;
class QListWidget;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTabWidget;
class MonitoringSession;
class TrayController;

namespace pref {
inline constexpr int kHelpContext = 9;
}

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the session's program path and switches the tray mode. The controls are
    // loaded at once, as at every showing.
    PreferencesDialog(MonitoringSession& session, TrayController& tray, QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    MonitoringSession& session() const { return m_session; }

    // Opens on the page the command names.
    void showPage(mainwindow::PreferencesPage page);

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // ---- controls ---------------------------------------------------------------
    QTabWidget* pageTabs = nullptr;
    QWidget* startupPage = nullptr;
    QWidget* taskbarPage = nullptr;
    QWidget* execPage = nullptr;
    QWidget* connectionPage = nullptr;
    QWidget* antiCrashPage = nullptr;
    QWidget* budgetPage = nullptr;  // "Rozad Izeruveva"
    QWidget* emailPage = nullptr;

    QCheckBox* autostartCheck = nullptr;  // start with Windows
    QCheckBox* logoCheck = nullptr;
    QCheckBox* minimizeAtStartCheck = nullptr;
    QCheckBox* trayModeCheck = nullptr;
    QCheckBox* restoreOnDisconnectCheck = nullptr;
    QPlainTextEdit* execLinesEdit = nullptr;  // the programs started on connect
    QPushButton* addProgramButton = nullptr;
    QLabel* programCountLabel = nullptr;
    QLineEdit* connectDelayEdit = nullptr;  // seconds
    QCheckBox* antiCrashCheck = nullptr;
    QCheckBox* budgetOnCheck = nullptr;
    QLineEdit* budgetMoneyEdit = nullptr;  // whole units per day
    QLineEdit* budgetCentsEdit = nullptr;  // cents per day
    QRadioButton* sirenAlarmRadio = nullptr;  // the siren or the user's file
    QRadioButton* beepAlarmRadio = nullptr;
    QCheckBox* countAllDaysCheck = nullptr;  // count over all days of the period

    // "EMail" page
    QTabWidget* emailTabs = nullptr;
    QWidget* mailSettingsPage = nullptr;  // "Preferences"
    QWidget* accountsPage = nullptr;
    QCheckBox* mailCheckerOnCheck = nullptr;
    QLineEdit* mailPeriodEdit = nullptr;  // check period, minutes
    QCheckBox* mailTrayCheck = nullptr;
    QCheckBox* checkMailAtStartCheck = nullptr;
    QCheckBox* restoreOnMailCheck = nullptr;  // restore when mail waits
    QCheckBox* closeWithoutMailCheck = nullptr;
    QCheckBox* minimizeMailAtStartCheck = nullptr;
    QCheckBox* closeOnDisconnectCheck = nullptr;  // close when the line goes down
    QListWidget* accountList = nullptr;
    QLineEdit* accountNameEdit = nullptr;  // the name to create or rename to
    QPushButton* newAccountButton = nullptr;
    QPushButton* renameAccountButton = nullptr;
    QPushButton* deleteAccountButton = nullptr;
    QLineEdit* userEdit = nullptr;
    QLineEdit* passwordEdit = nullptr;
    QLineEdit* hostEdit = nullptr;
    QLineEdit* portEdit = nullptr;

    QPushButton* okButton = nullptr;
    QPushButton* cancelButton = nullptr;
    QPushButton* helpButton = nullptr;

    // ---- handlers ----------------------------------------------------------------
    void FormCreate();  // the load sequence
    // The OK sequence. Raises, before writing anything, when a number that OK must
    // convert is not one; the dialog then stays open.
    void okClicked();
    void cancelClicked();
    void helpClicked();
    void addProgramClicked();
    void execLinesChanged();
    void FormClose();
    void connectDelayChanged();
    void budgetEditChanged(QLineEdit* edit);  // either of the two budget edits
    void budgetEditKeyDown(int key);
    void newAccountClicked();
    void renameAccountClicked();
    void deleteAccountClicked();
    void accountSelected();
    void portChanged();
    void mailPeriodChanged();

    // The file dialog of "Add", made the first time it is wanted and kept, so that it
    // opens again in the folder the user last chose; few users ever add a program, and
    // a file dialog holds a file system model for the whole time it exists.
    QFileDialog& programFileDialog();
    QFileDialog* m_programFileDialog = nullptr;

    void buildWindow();
    void runOkAndClose();
    // The number in `edit`; when it is none, raises after turning to the page that holds it.
    std::int32_t takeInteger(QLineEdit* edit, QWidget* page, QWidget* innerPage = nullptr);
    struct MailSwitch {
        settings::IntegerSetting setting;
        QCheckBox* box;
    };
    std::array<MailSwitch, 7> mailSwitches() const;
    void showExecList();
    void showExecCount();
    void loadEmailSettings();
    void showAccount(int i);
    // Takes the account edits into record i, which belongs to line i of the list.
    void storeAccount(int i);
    void clearAccountEdits();
    void saveEmailSettings();
    // Selects a line of accountList without running accountSelected.
    void selectAccountLine(int row);

    MonitoringSession& m_session;
    TrayController& m_tray;
    settings::Settings m_settings;
    // OK's modal result: set once the input has been accepted, so that an error later
    // in the sequence still closes the dialog.
    bool m_closeAfterOk = false;

    // ---- the account table -----------------------------------------------------------
    // Record i belongs to line i of accountList; records past the list's end are leftovers.
    MailAccountTable m_accounts{};
    // The record the account edits show; the selected line while the list has any.
    int m_shownAccount = 0;
    // Whether this showing's load got as far as the program list and the accounts. OK
    // rewrites each of them whole; one that was not loaded is left as stored rather
    // than written over with what the controls held from before.
    bool m_execListLoaded = false;
    bool m_accountsLoaded = false;
};

// Runs the dialog's file dialog and returns the chosen file, empty when the user cancels. Tests
// replace the runner; an empty one restores the real dialog.
using OpenFileRunner = std::function<QString(QFileDialog&)>;
void setOpenFileRunner(OpenFileRunner runner);
