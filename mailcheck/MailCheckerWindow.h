// Postpeek's main window unit: start-up, settings and accounts, the window with its
// menus and tray icon, the POP3 check cycle, the message list and deletion on the
// server. The window lives in namespace mailcheck, as Dialtally's main window has the
// same class name. Logic that needs no window is in plain functions, tested alone.
#pragma once

#include "Application.h"
#include "Pop3Client.h"
#include "TrayConstants.h"

#include <QIcon>
#include <QLocale>
#include <QMainWindow>
#include <QString>

#include <array>
#include <cstdint>

class QAction;
class QLabel;
class QListWidget;
class QMenu;
class QSplitter;
class QTimer;
class QToolBar;
class QTreeWidget;

namespace platform {
class Registry;
}

namespace mailcheck {

class MailAboutBox;

// The application title (taskbar window, error display) differs from the main
// window's caption by design; HideWindow finds the taskbar window by the former.
inline constexpr const char* kApplicationTitle = "Dialtally Mail Checker";
inline constexpr const char* kCaption = "Dialtally EMail Checker v2.0";
inline constexpr const char* kHelpFileName = "Dialtally Help.hlp";
inline constexpr const char* kHelpTopic = "EMail_checker";

inline constexpr int kMaxAccounts = 20;
// Characters that the fields of an account hold (their buffers less the terminator).
inline constexpr int kNameChars = 49;
inline constexpr int kUserChars = 59;
inline constexpr int kPasswordChars = 39;
inline constexpr int kHostChars = 49;

// Indexes into ImageList1 and ImageList2.
enum ImageIndex { kImageNoMail = 0, kImageMail = 1, kImageCheck = 2, kImageExit = 3 };

// Status bar panels that the check writes.
enum Panel { kPanelStatus = 1, kPanelLastChecked = 3, kPanelMessages = 5 };

struct MailAccount {
    QString Name;
    QString User;
    QString Password;
    QString Host;
    std::int32_t Port = 110;
    // Rows of the message list of this account in the current check, both inclusive;
    // -1 when it has none.
    std::int32_t FirstItem = -1;
    std::int32_t LastItem = -1;
    std::int32_t Checked = 0;
};
using AccountTable = std::array<MailAccount, kMaxAccounts>;

struct MailSettingsValues {
    std::int32_t OnOff = 0;
    std::int32_t Minutes = 0;
    std::int32_t AutoCheck = 0;
    std::int32_t AutoMinimize = 0;
    std::int32_t AutoClose = 0;
    std::int32_t AutoRestore = 0;
    std::int32_t SystemTray = 0;
    std::int32_t AutoCloseProgram = 0;
};

// ---- plain logic ------------------------------------------------------------------

// Bytes as KB with two decimals and the locale's separators: 1536 -> "1.50 KB".
QString sizeText(std::int64_t bytes, const QLocale& locale = QLocale());
// "home ( Total messages: 2 Total size: 3.25 KB )"
QString accountCaption(const QString& name, int messages, std::int64_t bytes, const QLocale& locale = QLocale());
// A network failure of one account as the user reads it: the account and its host,
// then what went wrong ("Account home on pop.example.org: Connection refused").
QString accountErrorText(const QString& account, const QString& host, const QString& error);
// 9:05:07 -> "9:5:7"
QString clockText(int hour, int minute, int second);
// Widths of the four columns of the message list for a client width; the "Size"
// column is at least `sizeMinimum` wide, at the expense of "Subject".
std::array<int, 4> columnWidths(int clientWidth, int sizeMinimum = 0);
// The check timer's interval, or 0 when `minutes` asks for no timed check.
int timerInterval(std::int32_t minutes);

// The account whose rows hold `row`: the first entry, from 0 up, with
// FirstItem <= row <= LastItem; -1 when none does.
int FindAccountOfItem(const AccountTable& accounts, int row);
// The message's number on the server, from its position in the account's rows.
int MessageNumberOnServer(const AccountTable& accounts, int account, int row);
// After the deletion of one row of `account`: its range and every later one shrink
// or move up by one row.
void ShiftRangesAfterDelete(AccountTable& accounts, int account);

// ---- the main window ----------------------------------------------------------------

class MailCheckerWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MailCheckerWindow(QWidget* parent = nullptr);
    ~MailCheckerWindow() override;

    // ---- state --------------------------------------------------------------------
    AccountTable Accounts;
    MailSettingsValues MailSettings;
    int CurrentAccount = 0;
    int TotalMessages = 0;
    int WasLineUp = 0;
    // Byte total of the account being listed.
    std::int64_t AccountBytes = 0;
    QString ProgramPath;
    // Set once the program has asked to end; quitPosted() tells the message loop.
    bool QuitPosted = false;

    // ---- controls -----------------------------------------------------------------
    QWidget* CoolBar1 = nullptr;
    QToolBar* ToolBar1 = nullptr;
    QAction* ToolButton1 = nullptr;  // "Check the Mail now !"
    QAction* ToolButton2 = nullptr;  // separator
    QAction* ToolButton3 = nullptr;  // "Exit"
    QListWidget* CheckListBox1 = nullptr;
    QSplitter* Splitter1 = nullptr;
    QTreeWidget* Messages = nullptr;
    std::array<QLabel*, 7> StatusBar1{};
    QMenu* FileMenu = nullptr;
    QMenu* HelpMenu = nullptr;
    QAction* Checknow1 = nullptr;
    QAction* Hide1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* EMailCheckerhelp1 = nullptr;
    QAction* About1 = nullptr;
    QMenu* PopupMenu1 = nullptr;  // the tray menu
    QAction* Restore = nullptr;
    QAction* Hide2 = nullptr;
    QAction* Checknow2 = nullptr;
    QAction* exit2 = nullptr;
    QMenu* MessagesPopup = nullptr;
    QAction* Select1 = nullptr;
    QAction* Delete1 = nullptr;
    std::array<QIcon, 4> ImageList1;
    std::array<QIcon, 4> ImageList2;
    QTimer* Timer1 = nullptr;
    platform::Pop3Client POP;
    platform::Pop3Client DeletePOP;
    MailAboutBox* aboutBox = nullptr;  // set by WinMain

    // ---- handlers -----------------------------------------------------------------
    void FormCreate();
    void CheckListBox1ClickCheck();
    void FormCloseQuery();
    void FormClose();
    void Timer1Timer();
    void ToolButton1Click();
    void ToolButton3Click();
    void POPConnect();
    void POPAuthenticationFailed(bool& handled);
    void POPConnectionFailed();
    void POPInvalidHost(bool& handled);
    void Delete1Click();
    void Dispatch(tray::TrayMessage message);
    void TrayIconMessage(std::uintptr_t wParam, std::intptr_t lParam);
    void HideWindow();
    void FormActivate();
    void FormResize();
    void RestoreClick();
    void Hide1Click();
    void Exit1Click();
    void exit2Click();
    void About1Click();
    void EMailCheckerhelp1Click();

    // Tray mode as it takes effect: "SystemTray" = 1 on a desktop that has a
    // notification area; without one the window must stay reachable.
    bool trayMode() const;
    // True while a check or a deletion waits on the network.
    bool isBusy() const { return m_busy; }
    bool isChecking() const { return m_checking; }
    void PostQuit();

    QString panelText(int panel) const;
    void setPanelText(int panel, const QString& text);

    // Runs a handler inside the standard guard; an exchange abandoned because the
    // program is closing is not reported.
    template <class F>
    void handle(F&& action);

signals:
    void quitPosted();

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildWindow();
    void buildMenus();

    bool m_busy = false;
    bool m_checking = false;
    bool m_closing = false;
    bool m_closed = false;

    friend void CheckMail(MailCheckerWindow& form);
    friend void DeleteSelectedMessage(MailCheckerWindow& form);
};

template <class F>
void MailCheckerWindow::handle(F&& action)
{
    platform::guard([&] {
        try {
            action();
        } catch (const platform::NetworkError& error) {
            if (error.kind() == platform::NetworkErrorKind::Aborted && m_closing)
                return;
            throw;
        }
    });
}

// ---- the unit's functions -------------------------------------------------------------

// Creates the unit's registry object and tray picture (again, for a new window).
void MailUnitInit();
platform::Registry& UnitRegistry();

void LoadMailSettings(MailCheckerWindow& form);
void LoadMailAccounts(MailCheckerWindow& form);
// Reads entry i; false when the account's key is gone or broken (no integer "Port"
// or "Checked"), so the caller leaves it out.
bool LoadMailAccount(MailCheckerWindow& form, int i);
void ResetMailDisplay(MailCheckerWindow& form);
// 0 = the line is down, 1 = up, 2 = down after a check had seen it up (reported once).
int IsLineUp(MailCheckerWindow& form);
// One check cycle. A call while a check or a deletion runs returns at once.
void CheckMail(MailCheckerWindow& form);
void DeleteSelectedMessage(MailCheckerWindow& form);
void AddMailTrayIcon(MailCheckerWindow& form);
void SetMailTrayTip(MailCheckerWindow& form, const QString& text, int icon);
void RemoveMailTrayIcon(MailCheckerWindow& form);
// The marks of the check list into every account's "Checked" that still exists.
void SaveCheckMarks(MailCheckerWindow& form);

// The program: title, the two windows, the message loop (unless `runLoop` is false,
// for tests). Returns the exit code.
int WinMain(bool runLoop = true);

}  // namespace mailcheck
