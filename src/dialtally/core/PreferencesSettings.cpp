#include "dialtally/core/PreferencesSettings.h"

#include "platform/core/Registry.h"
#include "common/RegistryNames.h"
#include "dialtally/core/TariffProfiles.h"

#include <algorithm>
#include <limits>
#include <string>

using platform::KeyScope;
using platform::RootKey;
namespace rk = regkeys;

namespace {

// A stored "Lines" far past anything a user types would keep the load busy for ever.
constexpr int kMaxExecLines = 65536;

using regkeys::name;

std::int32_t readInt(KeyScope& key, const char* value)
{
    return key->readInteger(name(value));
}

void writeInt(KeyScope& key, const char* value, std::int32_t v)
{
    key->writeInteger(name(value), v);
}

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
    return name(rk::kEmailAccounts) + QLatin1Char('\\') + accountName;
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

QStringList loadExecList(platform::Registry& registry)
{
    QStringList lines;
    KeyScope key(registry, RootKey::CurrentUser, name(rk::kExec), true);
    const std::int32_t n = std::min(readInt(key, rk::vLines), kMaxExecLines);
    for (int i = 0; i < n; ++i)
        lines << key->readString(name(rk::vLinePrefix) + QString::number(i));
    return lines;
}

void saveExecList(platform::Registry& registry, const QStringList& lines)
{
    // The tick reads "Lines" and then the lines: it sees the old list or the new.
    platform::RegistryTransaction transaction(registry.store());
    KeyScope key(registry, RootKey::CurrentUser, name(rk::kExec), true);
    writeInt(key, rk::vLines, static_cast<std::int32_t>(lines.size()));
    for (int i = 0; i < lines.size(); ++i)
        key->writeString(name(rk::vLinePrefix) + QString::number(i), lines[i]);
    transaction.commit();
}

period::ResetMode counterResetMode(platform::Registry& registry)
{
    KeyScope key(registry, RootKey::LocalMachine, name(rk::kCounterAll), true);
    return period::resetModeFrom(readInt(key, rk::vReset));
}

bool budgetAllowed(period::ResetMode resetMode, bool on)
{
    return resetMode == period::ResetMode::Monthly || !on;
}

void saveBudget(platform::Registry& registry, const BudgetChoice& budget)
{
    KeyScope key(registry, RootKey::CurrentUser, name(rk::kBudget), true);
    writeInt(key, rk::vOnOff, budget.on ? 1 : 0);
    writeInt(key, rk::vBudgetMoney, budget.money);
    writeInt(key, rk::vBudgetCents, budget.cents);
    if (budget.alarm)
        writeInt(key, rk::vBudgetCh, static_cast<std::int32_t>(*budget.alarm));
    writeInt(key, rk::vBudgetReserve, budget.allDays ? 1 : 0);
}

int loadAccounts(platform::Registry& registry, MailAccountTable& accounts,
                 const std::function<void(const QString& name)>& listed)
{
    QStringList names;
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kEmailAccounts), true);
        names = key->getKeyNames();
    }
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
        if (!loadAccount(registry, account))
            continue;
        listed(accountName);
        ++count;
    }
    return count;
}

bool loadAccount(platform::Registry& callerRegistry, MailAccount& account)
{
    // An object of its own: the caller's may hold the accounts key open.
    platform::Registry registry(callerRegistry.store());
    // Just enumerated: a key gone meanwhile is not created again as an empty one.
    KeyScope key(registry, RootKey::CurrentUser, accountKey(account.Name), false);
    if (!key.opened())
        return false;
    // An account without its port (half written by something else) keeps its other
    // fields and gets the default port, so the next OK writes it whole again instead
    // of dropping it with every account after it.
    account.Port = key->valueType(name(rk::vAccountPort)) == platform::ValueType::Integer
                       ? readInt(key, rk::vAccountPort)
                       : kDefaultPort;
    account.User = key->readString(name(rk::vAccountUser)).left(kUserChars);
    account.Password = key->readString(name(rk::vAccountPassword)).left(kPasswordChars);
    account.Host = key->readString(name(rk::vAccountHost)).left(kHostChars);
    return true;
}

void removeAccount(MailAccountTable& accounts, int row, int count)
{
    for (int j = row; j < count && j + 1 < kMaxAccounts; ++j)
        accounts[static_cast<std::size_t>(j)] = accounts[static_cast<std::size_t>(j) + 1];
}

void saveAccounts(platform::Registry& registry, const MailAccountTable& accounts, int count)
{
    count = std::min(count, kMaxAccounts);
    // The mail checker reads this key when it starts: it finds the old accounts or
    // the new ones, never a key half rewritten; a failed write leaves the old ones.
    platform::RegistryTransaction transaction(registry.store());
    registry.closeKey();
    registry.setRootKey(RootKey::CurrentUser);
    registry.deleteKey(name(rk::kEmailAccounts));
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kEmailAccounts), true);
        if (!key.opened())
            throw platform::RegistryError("Failed to create the key '" + std::string(rk::kEmailAccounts) + "'");
    }
    for (int i = 0; i < count; ++i) {
        const MailAccount& account = accounts[static_cast<std::size_t>(i)];
        KeyScope key(registry, RootKey::CurrentUser, accountKey(account.Name), true);
        if (!key.opened())
            throw platform::RegistryError(
                ("Failed to create the key '" + accountKey(account.Name) + "'").toLocal8Bit().toStdString());
        key->writeString(name(rk::vAccountUser), account.User);
        key->writeString(name(rk::vAccountPassword), account.Password);
        key->writeString(name(rk::vAccountHost), account.Host);
        writeInt(key, rk::vAccountPort, account.Port);
        writeInt(key, rk::vAccountChecked, 1);
    }
    transaction.commit();
}

}  // namespace pref
