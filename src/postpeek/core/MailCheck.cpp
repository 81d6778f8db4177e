#include "postpeek/core/MailCheck.h"

#include "platform/core/DialUpLine.h"
#include "platform/core/LocalTime.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <climits>
#include <exception>
#include <optional>
#include <string>

using settings::Opening;

namespace postpeek {

namespace {

const char* const kOfflineTip = "Connect to Internet first !";
const char* const kCheckingTip = "Checking";
const char* const kNoMessagesTip = "No new messages";
const char* const kTotalMessagesTip = "Total messages: ";

// With several accounts a bare "Connection refused." does not tell which one failed.
// An exchange abandoned by our side or refused as busy is passed on as it is: those
// are told apart by their kind, not by their text.
platform::NetworkError namingTheAccount(const platform::NetworkError& error, const MailAccount& account)
{
    using platform::NetworkErrorKind;
    if (error.kind() == NetworkErrorKind::Aborted || error.kind() == NetworkErrorKind::Busy)
        return error;
    return platform::NetworkError(error.kind(),
                                  accountErrorText(account.Name, account.Host, QString::fromStdString(error.what())));
}

void connectAs(platform::Pop3Client& client, const MailAccount& account)
{
    client.setUserId(account.User);
    client.setPassword(account.Password);
    client.setHost(account.Host);
    client.setPort(account.Port);
}

}  // namespace

// =====================================================================================
// Plain logic
// =====================================================================================

QString sizeText(std::int64_t bytes, const QLocale& locale)
{
    return locale.toString(static_cast<double>(bytes) / 1024.0, 'f', 2) + QStringLiteral(" KB");
}

QString accountCaption(const QString& name, int messages, std::int64_t bytes, const QLocale& locale, int onServer)
{
    QString count = QString::number(messages);
    if (onServer > messages)
        count += QStringLiteral(" of ") + QString::number(onServer);
    return name + QStringLiteral(" ( Total messages: ") + count + QStringLiteral(" Total size: ")
           + sizeText(bytes, locale) + QStringLiteral(" )");
}

QString accountErrorText(const QString& account, const QString& host, const QString& error)
{
    return QStringLiteral("Account %1 on %2: %3").arg(account, host, error);
}

int timerInterval(std::int32_t minutes)
{
    // Qt fires an interval of 0 continuously; no positive period means no timed check.
    if (minutes <= 0)
        return 0;
    const std::int64_t ms = static_cast<std::int64_t>(minutes) * 60000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

int FindAccountOfItem(const AccountTable& accounts, int row)
{
    for (int a = 0; a < kMaxAccounts; ++a) {
        if (accounts[a].FirstItem <= row && row <= accounts[a].LastItem)
            return a;
    }
    return -1;
}

int MessageNumberOnServer(const AccountTable& accounts, int account, int row)
{
    return row - accounts[account].FirstItem + 1;
}

void ShiftRangesAfterDelete(AccountTable& accounts, int account)
{
    accounts[account].LastItem -= 1;
    for (int a = account + 1; a < kMaxAccounts; ++a) {
        accounts[a].FirstItem -= 1;
        accounts[a].LastItem -= 1;
    }
}

// =====================================================================================
// The cycle
// =====================================================================================

MailCheckCycle::MailCheckCycle(QObject* parent)
    : QObject(parent)
    , m_checkClient(this)
    , m_deleteClient(this)
    , m_status(text(kDisconnectedPanel))
{
    m_checkClient.setPort(110);
    m_checkClient.setTimeOut(10000);
    m_checkClient.OnConnect = [this] { listMessages(); };
    // A failed login or host is never retried: the handled flag stays false.
    m_checkClient.OnInvalidHost = [this](bool&) { reportFailure(); };
    m_checkClient.OnConnectionFailed = [this] { reportFailure(); };
    m_checkClient.OnAuthenticationFailed = [this](bool&) { reportFailure(); };
    m_deleteClient.setPort(110);
    m_deleteClient.setTimeOut(10000);
}

MailCheckCycle::~MailCheckCycle() = default;

bool MailCheckCycle::trayMode() const
{
    return m_settings.SystemTray == 1 && m_trayAvailable && m_trayAvailable();
}

void MailCheckCycle::setStatus(const QString& value)
{
    m_status = value;
    emit panelTextChanged(kPanelStatus, value);
}

void MailCheckCycle::showMessageCount()
{
    const int rows = static_cast<int>(m_messages.size());
    if (rows > 0)
        emit trayTipChanged(text(kTotalMessagesTip) + QString::number(rows), kImageMail);
    else
        emit trayTipChanged(text(kNoMessagesTip), kImageNoMail);
}

// ---- settings and accounts ---------------------------------------------------------------

QString MailCheckCycle::loadProgramPath()
{
    return m_store.get(settings::ProgramPath, Opening::ExistingKey);
}

void MailCheckCycle::loadSettings()
{
    MailSettingsValues& s = m_settings;
    s.OnOff = m_store.get(settings::MailOn);
    s.Minutes = m_store.get(settings::MailMinutes);
    s.AutoCheck = m_store.get(settings::MailAutoCheck);
    s.AutoMinimize = m_store.get(settings::MailAutoMinimize);
    s.AutoClose = m_store.get(settings::MailAutoClose);
    s.AutoRestore = m_store.get(settings::MailAutoRestore);
    s.SystemTray = m_store.get(settings::MailSystemTray);
    s.AutoCloseProgram = m_store.get(settings::MailAutoCloseProgram);
    if (s.OnOff == 0)
        emit quitRequested();
}

bool MailCheckCycle::loadAccount(int i)
{
    MailAccount& account = m_accounts[i];
    // The key was just enumerated; if it went meanwhile there is nothing to create.
    // Without its integers the account is broken (a half-written or stray key): it is
    // left out rather than ending the load of every account after it.
    const std::optional<std::int32_t> port = m_store.find(settings::AccountPort.in(account.Name), Opening::ExistingKey);
    const std::optional<std::int32_t> checked =
        port ? m_store.find(settings::AccountChecked.in(account.Name), Opening::ExistingKey) : std::nullopt;
    if (!port || !checked)
        return false;
    account.Port = *port;
    account.User = m_store.get(settings::AccountUser.in(account.Name), Opening::ExistingKey).left(kUserChars);
    account.Password =
        m_store.get(settings::AccountPassword.in(account.Name), Opening::ExistingKey).left(kPasswordChars);
    account.Host = m_store.get(settings::AccountHost.in(account.Name), Opening::ExistingKey).left(kHostChars);
    account.Checked = *checked;
    return true;
}

void MailCheckCycle::loadAccounts()
{
    m_accountCount = 0;
    emit accountsCleared();
    if (!m_store.makeKey(settings::AccountUser))
        throw platform::RegistryError("Failed to open the key '" + std::string(settings::AccountUser.definition().key)
                                      + "'");
    const QStringList names = m_store.subkeys(settings::AccountUser);
    for (const QString& name : names) {
        if (m_accountCount == kMaxAccounts)
            break;
        // A name that does not fit the account's field could not address its key.
        if (name.size() > kNameChars)
            continue;
        MailAccount& account = m_accounts[m_accountCount];
        account = MailAccount();
        account.Name = name;
        if (!loadAccount(m_accountCount)) {
            account = MailAccount();
            continue;
        }
        account.Ticked = account.Checked != 0;
        ++m_accountCount;
        emit accountAdded(name, account.Ticked);
    }
}

void MailCheckCycle::setTicked(int index, bool ticked)
{
    if (index < 0 || index >= m_accountCount)
        return;
    m_accounts[index].Ticked = ticked;
    m_accounts[index].Checked = ticked ? 1 : 0;
}

void MailCheckCycle::saveCheckMarks()
{
    std::exception_ptr firstError;
    for (int i = 0; i < m_accountCount; ++i) {
        const bool ticked = m_accounts[i].Ticked;
        try {
            // Never created here: an account deleted or renamed in Preferences while we
            // ran must not come back as a key that holds "Checked" alone.
            const settings::IntegerPlace checked = settings::AccountChecked.in(m_accounts[i].Name);
            if (m_store.hasKey(checked))
                m_store.set(checked, ticked ? 1 : 0, Opening::ExistingKey);
        } catch (...) {
            // One account's failed write must not keep the others from being saved.
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

// ---- the check -----------------------------------------------------------------------------

void MailCheckCycle::resetDisplay()
{
    m_messages.clear();
    emit messagesCleared();
    for (int i = 0; i < m_accountCount; ++i) {
        MailAccount& account = m_accounts[i];
        account.Ticked = account.Checked != 0;
        emit accountShown(i, account.Name, account.Ticked);
    }
    for (MailAccount& account : m_accounts) {
        account.FirstItem = -1;
        account.LastItem = -1;
    }
}

LineState MailCheckCycle::lineState()
{
    if (platform::isDialUpLineUp(m_store.registry())) {
        m_lineWasUp = true;
        return LineState::Up;
    }
    if (m_lineWasUp) {
        // The drop is news once; the checks after it see a line that is simply down.
        m_lineWasUp = false;
        return LineState::Dropped;
    }
    return LineState::Down;
}

void MailCheckCycle::checkAgain()
{
    if (m_busy)
        return;
    resetDisplay();
    check();
}

void MailCheckCycle::check()
{
    if (m_busy)
        return;
    // The cycle and the deletion share one flag: one network action at a time.
    const QScopedValueRollback busy(m_busy, true);
    const QScopedValueRollback checking(m_checking, true);

    const LineState line = lineState();
    if (line == LineState::Down) {
        setStatus(text(kOfflinePanel));
        emit trayTipChanged(text(kOfflineTip), kImageNoMail);
        return;
    }
    if (line == LineState::Dropped && m_settings.AutoCloseProgram != 0) {
        emit trayIconRemovalRequested();
        emit quitRequested();
        return;
    }
    if (trayMode())
        emit trayTipChanged(text(kCheckingTip), kImageNoMail);
    m_totalMessages = 0;
    emit panelTextChanged(kPanelMessages, QStringLiteral("-"));

    // The marks are read as each account comes up: a click during an earlier poll counts.
    for (int i = 0; i < m_accountCount; ++i) {
        if (!m_accounts[i].Ticked)
            continue;
        const MailAccount& account = m_accounts[i];
        m_currentAccount = i;
        connectAs(m_checkClient, account);
        setStatus(QStringLiteral("Connecting to ") + account.Name);
        try {
            m_checkClient.connectToServer();
        } catch (const platform::NetworkError& error) {
            throw namingTheAccount(error, account);
        }
    }

    if (trayMode()) {
        showMessageCount();
        if (m_messages.empty()) {
            if (m_settings.AutoClose == 1)
                emit closeRequested();
            if (m_settings.OnOff == 1)
                emit taskbarButtonHideRequested();
        }
    }
    const platform::LocalDateTime now = platform::localNow();
    emit panelTextChanged(kPanelLastChecked, platform::clockText(now.hour, now.minute, now.second));
    setStatus(text(kDisconnectedPanel));
}

void MailCheckCycle::listMessages()
{
    const int base = static_cast<int>(m_messages.size()) - 1;
    const int onServer = m_checkClient.MailCount();
    const int count = std::min(onServer, kMaxListedMessages);
    m_totalMessages += count;
    emit panelTextChanged(kPanelMessages, QString::number(m_totalMessages));
    MailAccount& account = m_accounts[m_currentAccount];
    account.FirstItem = count > 0 ? base + 1 : -1;
    std::int64_t accountBytes = 0;
    if (count > 0)
        setStatus(QStringLiteral("Receiving message 1"));
    // Each message's progress shows before its summary is read, as it always has.
    m_checkClient.getSummaries(count, [&](int n, const platform::Pop3Summary& summary) {
        m_messages.push_back({summary.From.left(kMaxHeaderTextChars), summary.Subject.left(kMaxHeaderTextChars),
                              summary.Bytes, account.Name, summary.MessageId.left(kMaxHeaderTextChars), summary.Uid});
        emit messageAdded(m_messages.back());
        accountBytes += summary.Bytes;
        if (n < count)
            setStatus(QStringLiteral("Receiving message ") + QString::number(n + 1));
    });
    emit messagesListed();
    if (count > 0) {
        account.LastItem = base + count;
        if (m_settings.AutoRestore == 1)
            emit restoreRequested();
    } else {
        account.LastItem = -1;
    }
    account.Ticked = true;
    emit accountShown(m_currentAccount, accountCaption(account.Name, count, accountBytes, QLocale(), onServer), true);
    m_checkClient.disconnectFromServer();
    setStatus(text(kDisconnectedPanel));
}

void MailCheckCycle::reportFailure()
{
    emit trayTipChanged(text(kDisconnectedPanel), kImageNoMail);
    setStatus(text(kFailedPanel));
}

// ---- deletion and close ----------------------------------------------------------------------

void MailCheckCycle::deleteMessage(int row)
{
    if (m_busy)
        return;
    const int a = row < 0 ? -1 : FindAccountOfItem(m_accounts, row);
    if (a < 0) {
        showMessageCount();
        return;
    }
    const int n = MessageNumberOnServer(m_accounts, a, row);
    const MailAccount& account = m_accounts[a];
    const MailMessage shown = m_messages[static_cast<std::size_t>(row)];

    const QScopedValueRollback busy(m_busy, true);
    try {
        connectAs(m_deleteClient, account);
        m_deleteClient.connectToServer();
        if (m_deleteClient.isConnected()) {
            // The number is the message's place at the last check; another client may
            // have removed mail since, and then n is some other message, perhaps a
            // twin of the same sender, subject and size.
            bool same = n <= m_deleteClient.MailCount();
            if (same && !shown.Uid.isEmpty()) {
                same = m_deleteClient.uniqueId(n) == shown.Uid;
            } else if (same) {
                m_deleteClient.getSummary(n);
                const platform::Pop3Summary& now = m_deleteClient.Summary();
                same = now.MessageId.left(kMaxHeaderTextChars) == shown.MessageId
                       && now.From.left(kMaxHeaderTextChars) == shown.From
                       && now.Subject.left(kMaxHeaderTextChars) == shown.Subject && now.Bytes == shown.Bytes;
            }
            if (!same) {
                m_deleteClient.disconnectFromServer();
                setStatus(text(kChangedPanel));
                showMessageCount();
                return;
            }
            m_deleteClient.deleteMessage(n);
            // Only an answered QUIT removes the message; until then the row stays.
            m_deleteClient.disconnectFromServer();
            m_messages.erase(m_messages.begin() + row);
            emit messageRemoved(row);
            ShiftRangesAfterDelete(m_accounts, a);
            if (m_status == text(kNotDeletedPanel) || m_status == text(kChangedPanel))
                setStatus(text(kDisconnectedPanel));
        }
    } catch (const platform::NetworkError& error) {
        setStatus(text(kNotDeletedPanel));
        showMessageCount();
        throw namingTheAccount(error, account);
    } catch (...) {
        setStatus(text(kNotDeletedPanel));
        showMessageCount();
        throw;
    }
    showMessageCount();
}

void MailCheckCycle::abort()
{
    m_checkClient.abort();
    m_deleteClient.abort();
}

}  // namespace postpeek
