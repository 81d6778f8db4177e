// Postpeek's check cycle: the accounts and settings from the registry, the POP3 poll of
// every ticked account, the list of waiting messages and the deletion of one on its
// server. It owns no widget: it tells the window what to show through its signals,
// and the window hands it the user's choices (the ticks, the row to delete).
#pragma once

#include "platform/mail/Pop3Client.h"
#include "platform/core/Settings.h"

#include <QLocale>
#include <QObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

namespace postpeek {

// The checker's fixed texts are plain ASCII.
inline QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

inline constexpr int kMaxAccounts = 20;
// Characters that the fields of an account hold (their buffers less the terminator).
inline constexpr int kNameChars = 49;
inline constexpr int kUserChars = 59;
inline constexpr int kPasswordChars = 39;
inline constexpr int kHostChars = 49;
// What one server can make the program hold: the rows of one account (a STAT of two
// thousand million would keep the check asking for ever) and the characters of a
// sender or subject (a line may be 64 KB).
inline constexpr int kMaxListedMessages = 5000;
inline constexpr int kMaxHeaderTextChars = 1000;

// The pictures of the tray and the menus, as the window holds them.
enum ImageIndex { kImageNoMail = 0, kImageMail = 1, kImageCheck = 2, kImageExit = 3 };

// Status bar panels that the check writes.
enum Panel { kPanelStatus = 1, kPanelLastChecked = 3, kPanelMessages = 5 };

// Texts of the status bar and the tray, as the program has always written them.
inline constexpr const char* kDisconnectedPanel = "Disconected";
inline constexpr const char* kFailedPanel = "Disconnected";
inline constexpr const char* kOfflinePanel = "Connect to Internet first!";
// A deletion that did not happen says so where the user looks.
inline constexpr const char* kNotDeletedPanel = "Message not deleted";
inline constexpr const char* kChangedPanel = "Mail changed: check again!";

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
    // The mark as the registry and the user's last click have it.
    std::int32_t Checked = 0;
    // The mark the account list shows. A poll ticks its account in the list without
    // changing Checked, so the two may part when the user clicks during that poll.
    bool Ticked = false;
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

// One row of the message list.
struct MailMessage {
    QString From;
    QString Subject;
    // The exact size, for the check before DELE; the list shows it rounded.
    std::int64_t Bytes = 0;
    QString Account;
    // What names the message on its server, for the check before DELE.
    QString MessageId;
    QString Uid;
};

// The dial-up line as a check sees it.
enum class LineState {
    Down,
    Up,
    // Down after a check had seen it up; reported once, the checks after it see Down.
    Dropped,
};

// ---- plain logic ------------------------------------------------------------------

// Bytes as KB with two decimals and the locale's separators: 1536 -> "1.50 KB".
QString sizeText(std::int64_t bytes, const QLocale& locale = QLocale());
// "home ( Total messages: 2 Total size: 3.25 KB )"; with fewer messages listed than
// the server holds, "home ( Total messages: 5000 of 7000 Total size: ... )".
QString accountCaption(const QString& name, int messages, std::int64_t bytes, const QLocale& locale = QLocale(),
                       int onServer = -1);
// A network failure of one account as the user reads it: the account and its host,
// then what went wrong ("Account home on pop.example.org: Connection refused").
QString accountErrorText(const QString& account, const QString& host, const QString& error);
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

// ---- the cycle ------------------------------------------------------------------------

class MailCheckCycle : public QObject {
    Q_OBJECT
public:
    explicit MailCheckCycle(QObject* parent = nullptr);
    ~MailCheckCycle() override;

    // Whether the desktop has a notification area; without one the tray mode is off.
    void setTrayAvailable(std::function<bool()> available) { m_trayAvailable = std::move(available); }
    // Tray mode as it takes effect: "SystemTray" = 1 on a desktop that has a
    // notification area; without one the window must stay reachable.
    bool trayMode() const;

    // The program folder, from the machine's part of the registry; empty when unset.
    QString loadProgramPath();
    // Reads the "Email" settings; "On/Off" 0 asks the program to end.
    void loadSettings();
    // Reads up to kMaxAccounts accounts in the registry's order, each one shown as it
    // is read; a broken one is left out.
    void loadAccounts();
    // The marks of the list into every account's "Checked" that still exists.
    void saveCheckMarks();
    // The user ticked or unticked account `index` in the list.
    void setTicked(int index, bool ticked);

    LineState lineState();
    // One check cycle. A call while a check or a deletion runs returns at once.
    void check();
    // "Check now" and the timer: a clean display, then a check; nothing while busy.
    void checkAgain();
    // Empties the message list and gives the accounts their names and marks back.
    void resetDisplay();
    // Deletes the message of `row` on its server, once it is still the one listed;
    // `row` < 0 when no single row is chosen. Nothing while busy.
    void deleteMessage(int row);
    // Drops both connections at once; a waiting exchange raises Aborted.
    void abort();

    // True while a check or a deletion waits on the network.
    bool isBusy() const { return m_busy; }
    bool isChecking() const { return m_checking; }

    AccountTable& accounts() { return m_accounts; }
    const AccountTable& accounts() const { return m_accounts; }
    // The accounts loaded into the list, from entry 0 on.
    int accountCount() const { return m_accountCount; }
    const MailSettingsValues& settings() const { return m_settings; }
    const std::vector<MailMessage>& messages() const { return m_messages; }
    platform::Pop3Client& checkClient() { return m_checkClient; }

signals:
    void accountsCleared();
    void accountAdded(const QString& name, bool ticked);
    void accountShown(int index, const QString& caption, bool ticked);
    void messagesCleared();
    void messageAdded(const postpeek::MailMessage& message);
    // The rows of one account are in: the columns may fit them now.
    void messagesListed();
    void messageRemoved(int row);
    void panelTextChanged(int panel, const QString& text);
    void trayTipChanged(const QString& tip, int picture);
    // New mail while "AutoRestore" is on: the program comes back if minimized.
    void restoreRequested();
    // A check in tray mode found nothing: "AutoClose" closes the window, "On/Off" 1
    // takes the taskbar button away.
    void closeRequested();
    void taskbarButtonHideRequested();
    // The line dropped under "AutoCloseProgram": the tray icon goes, then the program.
    void trayIconRemovalRequested();
    void quitRequested();

private:
    // Reads entry i; false when the account's key is gone or broken (no integer "Port"
    // or "Checked"), so the caller leaves it out.
    bool loadAccount(int i);
    // The check client's events.
    void listMessages();
    void reportFailure();

    void setStatus(const QString& text);
    // The rows of the list in the tray: their number and the mail picture, or none.
    void showMessageCount();

    settings::Settings m_store;
    platform::Pop3Client m_checkClient;
    platform::Pop3Client m_deleteClient;
    std::function<bool()> m_trayAvailable;

    AccountTable m_accounts;
    int m_accountCount = 0;
    MailSettingsValues m_settings;
    std::vector<MailMessage> m_messages;
    // What the status panel shows, which a deletion reads back.
    QString m_status;
    int m_currentAccount = 0;
    int m_totalMessages = 0;
    bool m_lineWasUp = false;

    bool m_busy = false;
    bool m_checking = false;
};

}  // namespace postpeek
