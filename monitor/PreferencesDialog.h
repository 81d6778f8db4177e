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
    QTabWidget* PageControl1 = nullptr;
    QWidget* Startup = nullptr;    // "Startup"
    QWidget* Taskbar = nullptr;    // "Taskbar"
    QWidget* TabSheet2 = nullptr;  // "Exec"
    QWidget* TabSheet3 = nullptr;  // "Connection"
    QWidget* TabSheet4 = nullptr;  // "Anti-Crash"
    QWidget* TabSheet5 = nullptr;  // "Rozad Izeruveva"
    QWidget* TabSheet1 = nullptr;  // "EMail"

    QCheckBox* CheckBox1 = nullptr;  // start with Windows
    QCheckBox* CheckBox2 = nullptr;  // logo
    QCheckBox* CheckBox3 = nullptr;  // minimize when started
    QCheckBox* CheckBox4 = nullptr;  // tray mode
    QCheckBox* CheckBox6 = nullptr;  // restore on disconnect
    QPlainTextEdit* Memo1 = nullptr;
    QPushButton* SpeedButton1 = nullptr;  // "Add"
    QLabel* Label12 = nullptr;            // the program count
    QFileDialog* OpenDialog1 = nullptr;
    QLineEdit* Edit2 = nullptr;       // connect delay, seconds
    QCheckBox* CheckBox5 = nullptr;   // anti-crash
    QCheckBox* CheckBox8 = nullptr;   // budget on/off
    QLineEdit* Edit1 = nullptr;       // budget, whole units per day
    QLineEdit* Edit3 = nullptr;       // budget, cents per day
    QRadioButton* RadioButton1 = nullptr;  // siren or the user's file
    QRadioButton* RadioButton3 = nullptr;  // beep
    QCheckBox* CheckBox9 = nullptr;   // count over all days of the period

    // "EMail" page
    QTabWidget* PageControl2 = nullptr;
    QWidget* TabSheet6 = nullptr;  // "Preferences"
    QWidget* TabSheet7 = nullptr;  // "Mail Accounts"
    QCheckBox* CheckBox7 = nullptr;   // mail checker on/off
    QLineEdit* Edit9 = nullptr;       // check period, minutes
    QCheckBox* CheckBox12 = nullptr;  // tray
    QCheckBox* CheckBox10 = nullptr;  // check at start
    QCheckBox* CheckBox14 = nullptr;  // restore when mail waits
    QCheckBox* CheckBox11 = nullptr;  // close when no mail
    QCheckBox* CheckBox13 = nullptr;  // minimized at start
    QCheckBox* CheckBox15 = nullptr;  // close when the line goes down
    QListWidget* ListBox1 = nullptr;  // account names
    QLineEdit* Edit6 = nullptr;       // name to create or rename to
    QPushButton* SpeedButton2 = nullptr;  // "New"
    QPushButton* SpeedButton3 = nullptr;  // "Rename"
    QPushButton* SpeedButton4 = nullptr;  // "Delete"
    QLineEdit* Edit4 = nullptr;  // user
    QLineEdit* Edit5 = nullptr;  // password
    QLineEdit* Edit7 = nullptr;  // host
    QLineEdit* Edit8 = nullptr;  // port

    QPushButton* BitBtn1 = nullptr;  // "OK"
    QPushButton* BitBtn2 = nullptr;  // "Cancel"
    QPushButton* BitBtn3 = nullptr;  // "&Help"

    // ---- the account table -----------------------------------------------------------
    // Record i belongs to line i of ListBox1; records past the list's end are leftovers.
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
    void BitBtn1Click();
    void BitBtn2Click();
    void BitBtn3Click();
    void SpeedButton1Click();
    void Memo1Change();
    void FormClose();
    void Edit2Change();
    void Edit1Change(QLineEdit* edit);  // Edit1 and Edit3
    void Edit1KeyDown(int key);          // Edit1 and Edit3
    void SpeedButton2Click();
    void SpeedButton3Click();
    void SpeedButton4Click();
    void ListBox1Click();
    void Edit8Change();
    void Edit9Change();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void okButtonClicked();
    // Selects a line of ListBox1 without running ListBox1Click.
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

// Runs OpenDialog1 and returns the chosen file, empty when the user cancels. Tests
// replace the runner; an empty one restores the real dialog.
using OpenFileRunner = std::function<QString(QFileDialog&)>;
void setOpenFileRunner(OpenFileRunner runner);
