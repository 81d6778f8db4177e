#include "dialtally/core/PreferencesSettings.h"

#include "platform/core/Settings.h"
#include "dialtally/core/TariffProfiles.h"

#include <algorithm>
#include <limits>
#include <string>

using settings::Opening;

namespace {

// A stored "Lines" far past anything a user types would keep the load busy for ever.
constexpr int kMaxExecLines = 65536;

bool listed(const QStringList& names, const QString& accountName, int skip, Qt::CaseSensitivity cs)
{
    for (int j = 0; j < names.size(); ++j) {
        if (j != skip && names[j].compare(accountName, cs) == 0)
            return true;
    }
    return false;
}

// A backslash would make the account's key a nested one that no loader finds.
QString typedNameRefusal(const QString& accountName)
{
    if (accountName.isEmpty())
        return QStringLiteral("You have to enter account's name !");
    if (accountName.contains(QLatin1Char('\\')))
        return QStringLiteral("The account's name can't contain \"\\\" !");
    return {};
}

}  // namespace

namespace pref {

QString execCountText(int lines)
{
    return QStringLiteral("Now you have entered ") + QString::number(lines) + QStringLiteral(" programs");
}

QStringList execLines(const QString& text)
{
    if (text.isEmpty())
        return {};
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    QStringList lines = plain.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

QString execText(const QStringList& lines)
{
    return lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

int nonDigitCount(const QString& text, int limit)
{
    const qsizetype length = limit < 0 ? text.size() : std::min<qsizetype>(limit, text.size());
    int count = 0;
    for (qsizetype i = 0; i < length; ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            ++count;
    }
    return count;
}

std::int32_t leadingInteger(const QString& text)
{
    // The same reading as the tariff fields'.
    return tariffoptions::atoi(text);
}

bool strictInteger(const QString& text, std::int32_t& value)
{
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return false;
    const std::int64_t bound =
        negative ? -std::int64_t(std::numeric_limits<std::int32_t>::min()) : std::numeric_limits<std::int32_t>::max();
    std::int64_t number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
        number = number * 10 + (text[i].unicode() - '0');
        if (number > bound)
            return false;
    }
    value = static_cast<std::int32_t>(negative ? -number : number);
    return true;
}

QString notAnIntegerText(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString autostartCommand(const QString& programPath)
{
    return programPath + QStringLiteral("/Dialtally");
}

QString accountKey(const QString& accountName)
{
    return settings::AccountUser.in(accountName).key;
}

QString newAccountRefusal(const QStringList& names, const QString& accountName)
{
    if (QString refusal = typedNameRefusal(accountName); !refusal.isEmpty())
        return refusal;
    // The registry folds the case of key names, so two accounts whose names differ
    // only in case would be saved into one key and one of them lost.
    if (listed(names, accountName, -1, Qt::CaseInsensitive))
        return QStringLiteral("The account you want to create is allready in the list!");
    if (names.size() >= kMaxAccounts)
        return QStringLiteral("Maximum can be 20 accounts");
    return {};
}

QString renameAccountRefusal(const QStringList& names, const QString& accountName, int row)
{
    if (QString refusal = typedNameRefusal(accountName); !refusal.isEmpty())
        return refusal;
    // The account's own line counts for the exact name; a change of letter case alone
    // is let through, since the account's own key is the one rewritten.
    if (listed(names, accountName, -1, Qt::CaseSensitive) || listed(names, accountName, row, Qt::CaseInsensitive))
        return QStringLiteral("The account you want to rename is already in the list!");
    return {};
}

QStringList loadExecList(settings::Settings& settings)
{
    QStringList lines;
    const std::int32_t n = std::min(settings.get(settings::ExecLines), kMaxExecLines);
    for (int i = 0; i < n; ++i)
        lines << settings.get(settings::ExecLine.at(i));
    return lines;
}

void saveExecList(settings::Settings& settings, const QStringList& lines)
{
    // The tick reads "Lines" and then the lines: it sees the old list or the new.
    platform::RegistryTransaction transaction(settings.store());
    settings.set(settings::ExecLines, static_cast<std::int32_t>(lines.size()));
    for (int i = 0; i < lines.size(); ++i)
        settings.set(settings::ExecLine.at(i), lines[i]);
    transaction.commit();
}

period::ResetMode counterResetMode(settings::Settings& settings)
{
    return period::resetModeFrom(settings.get(settings::Reset));
}

bool budgetAllowed(period::ResetMode resetMode, bool on)
{
    return resetMode == period::ResetMode::Monthly || !on;
}

void saveBudget(settings::Settings& settings, const BudgetChoice& budget)
{
    settings.set(settings::BudgetOn, budget.on ? 1 : 0);
    settings.set(settings::BudgetMoney, budget.money);
    settings.set(settings::BudgetCents, budget.cents);
    if (budget.alarm)
        settings.set(settings::BudgetAlarm, static_cast<std::int32_t>(*budget.alarm));
    settings.set(settings::BudgetReserve, budget.allDays ? 1 : 0);
}

int loadAccounts(settings::Settings& settings, MailAccountTable& accounts,
                 const std::function<void(const QString& name)>& listed)
{
    const QStringList names = settings.subkeys(settings::AccountUser);
    int count = 0;
    for (const QString& accountName : names) {
        // The table has room for 20. A key written by something else past that, or one
        // whose name is longer than an account's, is not loaded, and the next OK, which
        // rewrites the key from the table, does not keep it.
        if (count == kMaxAccounts)
            break;
        if (accountName.size() > kAccountNameChars)
            continue;
        MailAccount& account = accounts[static_cast<std::size_t>(count)];
        account = MailAccount();
        account.Name = accountName;
        if (!loadAccount(settings, account))
            continue;
        listed(accountName);
        ++count;
    }
    return count;
}

bool loadAccount(settings::Settings& settings, MailAccount& account)
{
    // Just enumerated: a key gone meanwhile is not created again as an empty one.
    const settings::IntegerPlace port = settings::AccountPort.in(account.Name);
    if (!settings.hasKey(port))
        return false;
    // An account without its port (half written by something else) keeps its other
    // fields and gets the default port, so the next OK writes it whole again instead
    // of dropping it with every account after it.
    account.Port = settings.find(port, Opening::ExistingKey).value_or(kDefaultPort);
    account.User = settings.get(settings::AccountUser.in(account.Name), Opening::ExistingKey).left(kUserChars);
    account.Password =
        settings.get(settings::AccountPassword.in(account.Name), Opening::ExistingKey).left(kPasswordChars);
    account.Host = settings.get(settings::AccountHost.in(account.Name), Opening::ExistingKey).left(kHostChars);
    return true;
}

void removeAccount(MailAccountTable& accounts, int row, int count)
{
    for (int j = row; j < count && j + 1 < kMaxAccounts; ++j)
        accounts[static_cast<std::size_t>(j)] = accounts[static_cast<std::size_t>(j) + 1];
}

void saveAccounts(settings::Settings& settings, const MailAccountTable& accounts, int count)
{
    count = std::min(count, kMaxAccounts);
    // The mail checker reads this key when it starts: it finds the old accounts or
    // the new ones, never a key half rewritten; a failed write leaves the old ones.
    platform::RegistryTransaction transaction(settings.store());
    settings.removeKey(settings::AccountUser);
    if (!settings.makeKey(settings::AccountUser))
        throw platform::RegistryError("Failed to create the key '" + std::string(settings::AccountUser.definition().key)
                                      + "'");
    for (int i = 0; i < count; ++i) {
        const MailAccount& account = accounts[static_cast<std::size_t>(i)];
        if (!settings.makeKey(settings::AccountUser.in(account.Name)))
            throw platform::RegistryError(
                ("Failed to create the key '" + accountKey(account.Name) + "'").toLocal8Bit().toStdString());
        settings.set(settings::AccountUser.in(account.Name), account.User);
        settings.set(settings::AccountPassword.in(account.Name), account.Password);
        settings.set(settings::AccountHost.in(account.Name), account.Host);
        settings.set(settings::AccountPort.in(account.Name), account.Port);
        settings.set(settings::AccountChecked.in(account.Name), 1);
    }
    transaction.commit();
}

}  // namespace pref
