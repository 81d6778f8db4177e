// What the Preferences dialog loads and saves, without its window: the rules of its
// numeric and program-list edits, the program list started on connect, and the mail
// checker's POP3 accounts as both programs store them in the registry.
#pragma once

#include "dialtally/core/Budget.h"
#include "dialtally/core/CounterPeriod.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

namespace settings {
class Settings;
}

namespace pref {

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
// What a connect delay can be, and the digits the edit takes for it: a day at most.
inline constexpr std::int32_t kLongestConnectDelay = 86400;
inline constexpr int kConnectDelayDigits = 5;
// The budget's edits take this many digits: any such number fits, and a day's budget
// in cents stays countable.
inline constexpr int kBudgetDigits = 9;

// "Now you have entered 3 programs" (no singular form).
QString execCountText(int lines);
// The lines of the program list; the empty line after a final line break is none.
QStringList execLines(const QString& text);
// The text of the program list: every line ends with a line break, so an empty last
// line stays a line.
QString execText(const QStringList& lines);
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
// The key of one account.
QString accountKey(const QString& name);

// Why the account editor refuses a typed name (cut to the name's room) for a new
// account or as the new name of the account on line `row`; empty when it takes it.
// `names` are the lines of the account list.
QString newAccountRefusal(const QStringList& names, const QString& accountName);
QString renameAccountRefusal(const QStringList& names, const QString& accountName, int row);

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

namespace pref {

// The programs started on connect, as stored in "...\Exec".
QStringList loadExecList(settings::Settings& settings);
// Rewrites the count and the lines; lines past the new count are left as they are.
void saveExecList(settings::Settings& settings, const QStringList& lines);

// The budget watch works with the monthly counter period only.
inline constexpr const char* kBudgetNeedsMonthlyCounter =
    "You can't use Rozad Izeruveva function until Counter is set to reset not after the month. First set "
    "Options|Counter... to reset after the month and then try to activate Rozad Izeruveva function.";
// The counter's reset mode as stored in "...\Counter\All".
period::ResetMode counterResetMode(settings::Settings& settings);
// Whether the budget may be stored switched on (or is off anyway) with that mode.
bool budgetAllowed(period::ResetMode resetMode, bool on);

// The daily budget as OK stores it in "...\Rozad Izeruveva".
struct BudgetChoice {
    bool on = false;
    std::int32_t money = 0;  // whole units per day
    std::int32_t cents = 0;
    std::optional<budget::AlarmKind> alarm;  // none keeps the stored kind
    bool allDays = false;  // count over all days of the period
};
void saveBudget(settings::Settings& settings, const BudgetChoice& budget);

// Fills the accounts stored under "...\Email\Accounts" into the table, in the
// order of their keys, and returns how many; `listed` is told each name as its
// record is filled, so a load that fails half-way has listed those before it.
int loadAccounts(settings::Settings& settings, MailAccountTable& accounts,
                 const std::function<void(const QString& name)>& listed);
// Fills the record of the account named `account.Name`; false when its key is gone,
// and the record then means nothing.
bool loadAccount(settings::Settings& settings, MailAccount& account);
// Takes record `row` out of the table: the records after it move up, so that record i
// stays the one of line i once the line is gone from a list of `count` lines left.
void removeAccount(MailAccountTable& accounts, int row, int count);
// Rewrites the accounts key whole from the first `count` records.
void saveAccounts(settings::Settings& settings, const MailAccountTable& accounts, int count);

}  // namespace pref
