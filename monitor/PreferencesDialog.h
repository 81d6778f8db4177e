// The Preferences dialog: start with Windows, the splash picture, the taskbar and tray
// behaviour, the programs started on connect, the connect delay, anti-crash, the
// daily budget, and the mail checker's settings and POP3 accounts. The controls are
// reloaded from the registry each time the dialog is shown and written back on OK;
// only the account table keeps state of its own in between.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>

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
class MainWindow;

namespace platform {
class Registry;
}

namespace pref {

inline constexpr int kHelpContext = 9;
// The port check and the account editor's boxes carry the mail checker's name.
inline constexpr const char* kMailCaption = "Dialtally Mail Checker";
inline constexpr const char* kIncorrectNumber = "Incorrect number !";

// Room of an account's fields, as both programs hold them (the terminator not counted).
inline constexpr int kMaxAccounts = 20;
inline constexpr int kAccountNameChars = 49;
inline constexpr int kUserChars = 59;
inline constexpr int kPasswordChars = 39;
inline constexpr int kHostChars = 49;
inline constexpr int kPortChars = 4;
inline constexpr int kMinutesChars = 4;
inline constexpr std::int32_t kDefaultPort = 110;

// The numeric edits of the budget and the connect delay look at this many characters.
inline constexpr int kDigitCheckChars = 19;
// The connect delay is taken from at most this many characters at OK.
inline constexpr int kConnectDelayChars = 199;

// "Now you have entered 3 programs" (no singular form).
QString execCountText(int lines);
// The lines of the program list; the empty line after a final line break is none.
QStringList execLines(const QString& text);
// Characters outside "0" .. "9" among the first `limit` characters (all with -1).
int nonDigitCount(const QString& text, int limit = -1);
// Leading blanks skipped, an optional sign, then the digits up to the first other
// character; no digits give 0. A number past the 32-bit range stops at its bound.
std::int32_t leadingInteger(const QString& text);
// The whole text must be a decimal integer in the signed 32-bit range.
bool strictInteger(const QString& text, std::int32_t& value);
// "'12x' is not a valid integer value"
QString notAnIntegerText(const QString& text);
// The command of the autostart entry for a program folder.
QString autostartCommand(const QString& programPath);
// HKCU key of one account.
QString accountKey(const QString& name);

}  // namespace pref

// One POP3 account as the editor holds it.
struct MailAccount {
    QString Name;
    QString User;
    QString Password;
    QString Host;
    std::int32_t Port = 0;
};
using MailAccountTable = std::array<MailAccount, pref::kMaxAccounts>;

class PreferencesDialog : public QDialog {
    Q_OBJECT
public:
    // Reads the main window's ProgramPath and writes its TrayMode. The controls are
    // loaded at once, as at every showing.
    explicit PreferencesDialog(MainWindow& mainWindow, QWidget* parent = nullptr);
    ~PreferencesDialog() override;

    MainWindow& mainWindow() const { return m_mainWindow; }

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
    QFileDialog* programFileDialog = nullptr;
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

    // ---- the account table -----------------------------------------------------------
    // Record i belongs to line i of accountList; records past the list's end are leftovers.
    MailAccountTable PreferencesAccounts{};
    // The record the account edits show; the selected line while the list has any.
    int ShownAccount = 0;
    // Whether this showing's load got as far as the program list and the accounts. OK
    // rewrites each of them whole; one that was not loaded is left as stored rather
    // than written over with what the controls held from before.
    bool ExecListLoaded = false;
    bool AccountsLoaded = false;

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

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void runOkAndClose();
    // Selects a line of accountList without running accountSelected.
    void selectAccountLine(int row);

    MainWindow& m_mainWindow;
    // OK's modal result: set once the input has been accepted, so that an error later
    // in the sequence still closes the dialog.
    bool m_closeAfterOk = false;
};

// ---- plain functions of the unit ----------------------------------------------------
void PreferencesUnitInit();
platform::Registry& PreferencesRegistry();

void LoadExecList(PreferencesDialog& form);
void ShowExecCount(PreferencesDialog& form);

void LoadEmailSettings(PreferencesDialog& form);
// False when the account's key is gone; the record then means nothing.
bool LoadAccount(PreferencesDialog& form, int i);
void ShowAccount(PreferencesDialog& form, int i);
void StoreAccount(PreferencesDialog& form, int i);
void ClearAccountEdits(PreferencesDialog& form);
void SaveAccounts(PreferencesDialog& form);
void SaveEmailSettings(PreferencesDialog& form);
bool AccountNameExists(PreferencesDialog& form, const QString& name, int skip);
bool IsAllDigits(PreferencesDialog& form, const QString& text);

// Runs programFileDialog and returns the chosen file, empty when the user cancels. Tests
// replace the runner; an empty one restores the real dialog.
using OpenFileRunner = std::function<QString(QFileDialog&)>;
void setOpenFileRunner(OpenFileRunner runner);
