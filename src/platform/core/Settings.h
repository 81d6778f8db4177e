// Every setting, counter and marker that Dialtally and Postpeek keep in the store, in
// one table: its root, key, value name, type, default and who writes it first, with
// typed reads and writes and a signal when one of them changes.
//
// The table's order is the order in which the installation and the defaults write
// their values, and so the order in which the store enumerates them: the other
// program and the stores already on disk see the layout they always saw.
//
// Windows' own values (the dial-up line, the dial-up entries, the log-on user, the
// autostart entry) are not settings of the programs and stay with the platform layer.
#pragma once

#include "platform/core/Registry.h"
#include "common/RegistryNames.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace settings {

using platform::RootKey;

enum class Type { Integer, String, Binary };

// Who puts a value in place first.
enum class FirstWriter {
    Installation,  // dialtally-install, and only where the value is missing
    NewUser,  // the defaults of a first start and of every new user
    Program,  // the step or dialog that owns it, when it first saves
};

// How the place of a value is named.
enum class Form {
    Plain,
    Indexed,  // the name followed by a decimal index: "Line0", "Server5"
    InSubkey,  // in a subkey of the key that the access names: an account, a tariff slot
    Prefixed,  // the name after a prefix that the access names: the crash journal's slots
};

// Public servers that answer the TIME protocol (RFC 868) on TCP 37, written with the
// defaults. The time synchronisation dialog preselects the last one.
inline constexpr std::array<const char*, 6> kDefaultTimeServers = {
    "time-a-g.nist.gov",   "time-b-g.nist.gov",   "time-c-g.nist.gov",
    "time-a-wwv.nist.gov", "time-b-wwv.nist.gov", "time.nist.gov",
};

struct Definition {
    RootKey root;
    const char* key;
    const char* name;
    Type type;
    FirstWriter writer;
    std::int32_t number = 0;  // an integer's default
    const char* text = nullptr;  // a string's default
    Form form = Form::Plain;
    // The default of an indexed string, one per index.
    std::span<const char* const> texts = {};
    // The default is the name of the user the settings are written for.
    bool userName = false;
};

namespace detail {
namespace rk = regkeys;
constexpr RootKey HKCU = RootKey::CurrentUser;
constexpr RootKey HKLM = RootKey::LocalMachine;
constexpr Type I = Type::Integer;
constexpr Type S = Type::String;
constexpr Type B = Type::Binary;
constexpr FirstWriter Installed = FirstWriter::Installation;
constexpr FirstWriter Defaults = FirstWriter::NewUser;
constexpr FirstWriter Owner = FirstWriter::Program;

// clang-format off
inline constexpr Definition kTable[] = {
    // ---- HKCU \Software\Dialtally: the user's own, while "User Name" is the user.
    {HKCU, rk::kSoftware, rk::vConnectDelay, I, Defaults, 15},
    {HKCU, rk::kSoftware, rk::vMinimize, I, Defaults, 1},
    {HKCU, rk::kSoftware, rk::vSystemTray, I, Defaults, 1},
    {HKCU, rk::kSoftware, rk::vLogo, I, Defaults, 1},
    {HKCU, rk::kSoftware, rk::vUserName, S, Defaults, 0, nullptr, Form::Plain, {}, true},
    {HKCU, rk::kSoftware, rk::vMaxd, I, Defaults, 1},
    {HKCU, rk::kSoftware, rk::vPozTop, I, Defaults, 138},
    {HKCU, rk::kSoftware, rk::vPozLeft, I, Defaults, 188},
    {HKCU, rk::kSoftware, rk::vEditor, S, Owner, 0, "notepad.exe"},
    // The mail checker's settings, edited in Dialtally's Preferences.
    {HKCU, rk::kEmail, rk::vOnOff, I, Defaults, 0},
    {HKCU, rk::kEmail, rk::vCheck, I, Owner},
    {HKCU, rk::kEmail, rk::vMinutes, I, Defaults, 5},
    {HKCU, rk::kEmail, rk::vEmailSystemTray, I, Defaults, 1},
    {HKCU, rk::kEmail, rk::vAutoCheck, I, Defaults, 1},
    {HKCU, rk::kEmail, rk::vAutoRestore, I, Defaults, 0},
    {HKCU, rk::kEmail, rk::vAutoClose, I, Defaults, 0},
    {HKCU, rk::kEmail, rk::vAutoMinimize, I, Defaults, 1},
    {HKCU, rk::kEmail, rk::vAutoCloseProgram, I, Defaults, 1},
    // One subkey per POP3 account, named after it.
    {HKCU, rk::kEmailAccounts, rk::vAccountUser, S, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kEmailAccounts, rk::vAccountPassword, S, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kEmailAccounts, rk::vAccountHost, S, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kEmailAccounts, rk::vAccountPort, I, Owner, 110, nullptr, Form::InSubkey},
    {HKCU, rk::kEmailAccounts, rk::vAccountChecked, I, Owner, 1, nullptr, Form::InSubkey},
    {HKCU, rk::kBeep, rk::vBeepEnabled, I, Defaults, 1},
    {HKCU, rk::kBeep, rk::vBeepInterval, I, Defaults, 15},
    {HKCU, rk::kBeep, rk::vBeepSound, I, Defaults, 3},
    {HKCU, rk::kExec, rk::vLines, I, Defaults, 0},
    {HKCU, rk::kExec, rk::vLinePrefix, S, Owner, 0, nullptr, Form::Indexed},
    {HKCU, rk::kTariffs, rk::vTariff, I, Defaults, 1},
    // A provider's tariff slot of one day: Tariffs\<provider>\<"0" .. "6" or "Holiday">.
    {HKCU, rk::kTariffs, rk::vSlotTariffProfile, S, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffs, rk::vStartingInterval, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffs, rk::vEndingInterval, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffs, rk::vDayCost, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffs, rk::vNightCost, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffs, rk::vOcpDay, I, Owner, 0, nullptr, Form::InSubkey},
    // One subkey per tariff profile, named after it.
    {HKCU, rk::kTariffProfile, rk::vStartingInterval, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffProfile, rk::vEndingInterval, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffProfile, rk::vDayCost, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffProfile, rk::vNightCost, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTariffProfile, rk::vOcpd, I, Owner, 0, nullptr, Form::InSubkey},
    {HKCU, rk::kTimeSync, rk::vServers, I, Defaults, static_cast<std::int32_t>(kDefaultTimeServers.size())},
    {HKCU, rk::kTimeSync, rk::vServerPrefix, S, Defaults, 0, nullptr, Form::Indexed, kDefaultTimeServers},
    {HKCU, rk::kBudget, rk::vOnOff, I, Defaults, 0},
    {HKCU, rk::kBudget, rk::vBudgetMoney, I, Defaults, 0},
    {HKCU, rk::kBudget, rk::vBudgetCents, I, Defaults, 0},
    {HKCU, rk::kBudget, rk::vBudgetCh, I, Defaults, 1},  // the alarm sound
    {HKCU, rk::kBudget, rk::vBudgetReserve, I, Defaults, 1},

    // ---- HKLM \Software\Dialtally: shared by every user of the machine.
    {HKLM, rk::kSoftware, rk::vProgramPath, S, Installed},
    {HKLM, rk::kSoftware, rk::vFirstTime, I, Installed, 1},
    {HKLM, rk::kSoftware, rk::vBug, I, Installed, 0},
    {HKLM, rk::kSoftware, rk::vAntiCrash, I, Installed, 1},
    {HKLM, rk::kSoftware, rk::vStart, I, Installed, 0},
    {HKLM, rk::kCounterAll, rk::vYear, I, Owner},
    {HKLM, rk::kCounterAll, rk::vMonth, I, Owner},
    {HKLM, rk::kCounterAll, rk::vDay, I, Owner},
    // Today's day number, written with the defaults.
    {HKLM, rk::kCounterAll, rk::vDouble, I, Owner},
    {HKLM, rk::kCounterAll, rk::vReset, I, Installed, 2},
    {HKLM, rk::kCounterAll, rk::vReset14, I, Installed, 14},
    {HKLM, rk::kCounterAll, rk::vReport, I, Installed, 1},
    // The connection being counted, kept for the recovery after a crash.
    {HKLM, rk::kCounterCurrent, rk::vSecundes, I, Owner},
    {HKLM, rk::kCounterCurrent, rk::vStartMinutes, I, Owner},
    {HKLM, rk::kCounterCurrent, rk::vHours, I, Owner},
    {HKLM, rk::kCounterCurrent, rk::vYear, I, Owner},
    {HKLM, rk::kCounterCurrent, rk::vDay, I, Owner},
    {HKLM, rk::kCounterCurrent, rk::vMonth, I, Owner},
    {HKLM, rk::kCounterCurrent, rk::vDayOfWeek, I, Owner},
    {HKLM, rk::kCounterCurrent, rk::vProvider, S, Owner},
    {HKLM, rk::kCounterCurrent, rk::vMoney, I, Owner},
    {HKLM, rk::kCounterCurrent, rk::vFee, S, Owner},
    {HKLM, rk::kCounterCurrent, rk::vBackup, I, Installed, 0},
    // The two backup slots: the plain one, and the one after the prefix "b".
    {HKLM, rk::kCounterCurrent, rk::vSlotUser, S, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vSlotSecundes, I, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vSlotMinutes, I, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vSlotHours, I, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vSlotYear, I, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vSlotDay, I, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vSlotMonth, I, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vSlotDayOfWeek, I, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vSlotTime, I, Owner, 0, nullptr, Form::Prefixed},
    {HKLM, rk::kCounterCurrent, rk::vUnsavedRecords, B, Owner},
    {HKLM, rk::kUsers, rk::vCrash, I, Installed, 0},
};
// clang-format on

constexpr bool same(const char* a, const char* b)
{
    return std::string_view(a) == std::string_view(b);
}

consteval std::size_t find(RootKey root, const char* key, const char* name, Type type)
{
    for (std::size_t i = 0; i < std::size(kTable); ++i) {
        const Definition& d = kTable[i];
        if (d.root == root && same(d.key, key) && same(d.name, name)) {
            if (d.type != type)
                throw "the setting has another type in the table";
            return i;
        }
    }
    throw "no such setting in the table";
}

}  // namespace detail

inline constexpr std::span<const Definition> kTable = detail::kTable;

// Which setting a change was made to: the row of the table.
struct SettingId {
    std::size_t row = 0;
    const Definition& definition() const { return kTable[row]; }
    friend bool operator==(SettingId, SettingId) = default;
};

// One value's place in the store, its key and name spelled out.
template <Type T>
struct Place {
    SettingId id;
    QString key;
    QString name;
};

// A setting of the table, found there at compile time by its root, key and name: a
// name that is not in the table, or is there with another type, does not compile.
template <Type T>
class Setting {
public:
    consteval Setting(RootKey root, const char* key, const char* name)
        : m_id{detail::find(root, key, name, T)}
    { }

    constexpr SettingId id() const { return m_id; }
    const Definition& definition() const { return m_id.definition(); }

    // A plain setting's place.
    Place<T> place() const;
    operator Place<T>() const { return place(); }
    // "Line" 3 is "Line3".
    Place<T> at(int index) const;
    // An account's "Host" in Email\Accounts\<subkey>.
    Place<T> in(const QString& subkey) const;
    // The "b" slot's "CSecundes" is "bCSecundes".
    Place<T> prefixed(const QString& prefix) const;

private:
    SettingId m_id;
};

using IntegerSetting = Setting<Type::Integer>;
using TextSetting = Setting<Type::String>;
using BinarySetting = Setting<Type::Binary>;
using IntegerPlace = Place<Type::Integer>;
using TextPlace = Place<Type::String>;
using BinaryPlace = Place<Type::Binary>;

// Tells of every change made through a Settings object of this process, so that a
// reader that keeps a setting (the tick keeps the connect delay) hears when a dialog
// writes another value. Another process's writes come through the store's generation.
class Notifier : public QObject {
    Q_OBJECT
public:
    using QObject::QObject;

signals:
    void changed(settings::SettingId setting);
};
Notifier& notifier();

// Whether an access makes its key when the key is missing: the programs' readers
// mostly do, as the registry they were written against made keys on open; a look
// that must leave the store as it found it (is a value there? which accounts?) does not.
enum class Opening { CreateKey, ExistingKey };

// Typed access to the store. Each access opens its key (with creation, unless an
// ExistingKey opening says otherwise), reads or writes, and closes it; a missing
// integer, a value of another type, a key that cannot be opened and a refused write
// raise the store's errors.
class Settings {
public:
    // On processStore(), taken at the first access.
    Settings();
    explicit Settings(std::shared_ptr<platform::RegistryStore> store);
    Settings(const Settings&) = delete;
    Settings& operator=(const Settings&) = delete;

    std::int32_t get(const IntegerPlace& place, Opening opening = Opening::CreateKey);
    // A missing string reads as empty, missing binary data as no bytes.
    QString get(const TextPlace& place, Opening opening = Opening::CreateKey);
    QByteArray get(const BinaryPlace& place, Opening opening = Opening::CreateKey);
    // An integer that is missing, or stored with another type, is none.
    std::optional<std::int32_t> find(const IntegerPlace& place, Opening opening = Opening::CreateKey);
    // The value's stored type; None when it (or, with ExistingKey, its key) is missing.
    platform::ValueType storedType(const IntegerPlace& place, Opening opening = Opening::CreateKey)
    {
        return typeAt(place.id, place.key, place.name, opening);
    }
    platform::ValueType storedType(const TextPlace& place, Opening opening = Opening::CreateKey)
    {
        return typeAt(place.id, place.key, place.name, opening);
    }
    platform::ValueType storedType(const BinaryPlace& place, Opening opening = Opening::CreateKey)
    {
        return typeAt(place.id, place.key, place.name, opening);
    }
    // Whether the value is there; never makes its key.
    bool exists(const IntegerPlace& place) { return storedType(place, Opening::ExistingKey) != platform::ValueType::None; }
    bool exists(const TextPlace& place) { return storedType(place, Opening::ExistingKey) != platform::ValueType::None; }
    bool exists(const BinaryPlace& place) { return storedType(place, Opening::ExistingKey) != platform::ValueType::None; }

    // With ExistingKey a write does not make a missing key: it raises the store's
    // "Failed to set data" then, as a write into a key that is not there.
    void set(const IntegerPlace& place, std::int32_t value, Opening opening = Opening::CreateKey);
    void set(const TextPlace& place, const QString& value);
    void set(const BinaryPlace& place, const QByteArray& data);
    // Deletes the value; false when it (or its key) was not there. Never makes the key.
    bool remove(const IntegerPlace& place) { return removeValue(place.id, place.key, place.name); }
    bool remove(const TextPlace& place) { return removeValue(place.id, place.key, place.name); }
    bool remove(const BinaryPlace& place) { return removeValue(place.id, place.key, place.name); }

    // The subkeys of a per-subkey setting's key (the accounts, the providers, the
    // profiles), in the order they were made; none when the key is missing.
    template <Type T>
    QStringList subkeys(const Setting<T>& setting, Opening opening = Opening::CreateKey)
    {
        return subkeysOf(setting.id(), opening);
    }
    // Deletes one such subkey with everything in it; false when it was not there.
    template <Type T>
    bool removeSubkey(const Setting<T>& setting, const QString& subkey)
    {
        return removeSubkeyOf(setting.id(), subkey);
    }

    std::shared_ptr<platform::RegistryStore> store() const { return m_registry.store(); }
    platform::Registry& registry() { return m_registry; }

    // Whether the key of a place (an account's, a profile's, a provider's) is there;
    // never makes it.
    template <Type T>
    bool hasKey(const Place<T>& place)
    {
        return keyAt(place.id, place.key, Opening::ExistingKey);
    }
    // Makes the key of a place, or a setting's own key (the accounts', the profiles'),
    // with its missing parents; false when the store cannot make it.
    template <Type T>
    bool makeKey(const Place<T>& place)
    {
        return keyAt(place.id, place.key, Opening::CreateKey);
    }
    template <Type T>
    bool makeKey(const Setting<T>& setting)
    {
        return keyAt(setting.id(), QString::fromLatin1(setting.definition().key), Opening::CreateKey);
    }
    // Deletes a setting's own key with everything in it (every account, every
    // profile; the user's key, which belongs to another user); false when it was not
    // there. Every setting of the table that lived in it is announced.
    template <Type T>
    bool removeKey(const Setting<T>& setting)
    {
        return removeKeyOf(setting.id(), QString::fromLatin1(setting.definition().key));
    }

    // Integers of one key read through one open of it, in the order given: a path that
    // runs every second reads several so. Every place names the same key; raises as
    // get() does, at the first that fails.
    std::vector<std::int32_t> getAll(std::span<const IntegerPlace> places, Opening opening = Opening::CreateKey);
    // How many values a plain setting's key holds, whatever their names: a count kept
    // beside them can't be trusted for more. 0 when the key is missing; never makes it.
    template <Type T>
    int valueCount(const Setting<T>& setting)
    {
        return valueCountOf(setting.id());
    }

private:
    bool keyAt(SettingId id, const QString& key, Opening opening);
    bool removeKeyOf(SettingId id, const QString& key);
    int valueCountOf(SettingId id);
    platform::ValueType typeAt(SettingId id, const QString& key, const QString& name, Opening opening);
    bool removeValue(SettingId id, const QString& key, const QString& name);
    QStringList subkeysOf(SettingId id, Opening opening);
    bool removeSubkeyOf(SettingId id, const QString& subkey);
    void changed(SettingId id);

    platform::Registry m_registry;
};

// The values a writer puts in place, in the table's order.
std::vector<SettingId> writtenBy(FirstWriter writer);

// The defaults of a new user (and the servers' names after their number), with the
// user's own name for "User Name".
void writeNewUserDefaults(Settings& settings, const QString& userName);

// Names of the settings, for the readers and writers of the programs.
namespace rk = regkeys;
using detail::HKCU;
using detail::HKLM;

inline constexpr IntegerSetting ConnectDelay{HKCU, rk::kSoftware, rk::vConnectDelay};
inline constexpr IntegerSetting Minimize{HKCU, rk::kSoftware, rk::vMinimize};
inline constexpr IntegerSetting SystemTray{HKCU, rk::kSoftware, rk::vSystemTray};
inline constexpr IntegerSetting Logo{HKCU, rk::kSoftware, rk::vLogo};
inline constexpr TextSetting UserName{HKCU, rk::kSoftware, rk::vUserName};
inline constexpr IntegerSetting Maxd{HKCU, rk::kSoftware, rk::vMaxd};
inline constexpr IntegerSetting PozTop{HKCU, rk::kSoftware, rk::vPozTop};
inline constexpr IntegerSetting PozLeft{HKCU, rk::kSoftware, rk::vPozLeft};
inline constexpr TextSetting Editor{HKCU, rk::kSoftware, rk::vEditor};

inline constexpr IntegerSetting MailOn{HKCU, rk::kEmail, rk::vOnOff};
inline constexpr IntegerSetting MailCheck{HKCU, rk::kEmail, rk::vCheck};
inline constexpr IntegerSetting MailMinutes{HKCU, rk::kEmail, rk::vMinutes};
inline constexpr IntegerSetting MailSystemTray{HKCU, rk::kEmail, rk::vEmailSystemTray};
inline constexpr IntegerSetting MailAutoCheck{HKCU, rk::kEmail, rk::vAutoCheck};
inline constexpr IntegerSetting MailAutoRestore{HKCU, rk::kEmail, rk::vAutoRestore};
inline constexpr IntegerSetting MailAutoClose{HKCU, rk::kEmail, rk::vAutoClose};
inline constexpr IntegerSetting MailAutoMinimize{HKCU, rk::kEmail, rk::vAutoMinimize};
inline constexpr IntegerSetting MailAutoCloseProgram{HKCU, rk::kEmail, rk::vAutoCloseProgram};
inline constexpr TextSetting AccountUser{HKCU, rk::kEmailAccounts, rk::vAccountUser};
inline constexpr TextSetting AccountPassword{HKCU, rk::kEmailAccounts, rk::vAccountPassword};
inline constexpr TextSetting AccountHost{HKCU, rk::kEmailAccounts, rk::vAccountHost};
inline constexpr IntegerSetting AccountPort{HKCU, rk::kEmailAccounts, rk::vAccountPort};
inline constexpr IntegerSetting AccountChecked{HKCU, rk::kEmailAccounts, rk::vAccountChecked};

inline constexpr IntegerSetting BeepEnabled{HKCU, rk::kBeep, rk::vBeepEnabled};
inline constexpr IntegerSetting BeepInterval{HKCU, rk::kBeep, rk::vBeepInterval};
inline constexpr IntegerSetting BeepSound{HKCU, rk::kBeep, rk::vBeepSound};
inline constexpr IntegerSetting ExecLines{HKCU, rk::kExec, rk::vLines};
inline constexpr TextSetting ExecLine{HKCU, rk::kExec, rk::vLinePrefix};
inline constexpr IntegerSetting Tariff{HKCU, rk::kTariffs, rk::vTariff};
inline constexpr TextSetting SlotProfile{HKCU, rk::kTariffs, rk::vSlotTariffProfile};
inline constexpr IntegerSetting SlotStartingInterval{HKCU, rk::kTariffs, rk::vStartingInterval};
inline constexpr IntegerSetting SlotEndingInterval{HKCU, rk::kTariffs, rk::vEndingInterval};
inline constexpr IntegerSetting SlotDayCost{HKCU, rk::kTariffs, rk::vDayCost};
inline constexpr IntegerSetting SlotNightCost{HKCU, rk::kTariffs, rk::vNightCost};
inline constexpr IntegerSetting SlotOcpDay{HKCU, rk::kTariffs, rk::vOcpDay};
inline constexpr IntegerSetting ProfileStartingInterval{HKCU, rk::kTariffProfile, rk::vStartingInterval};
inline constexpr IntegerSetting ProfileEndingInterval{HKCU, rk::kTariffProfile, rk::vEndingInterval};
inline constexpr IntegerSetting ProfileDayCost{HKCU, rk::kTariffProfile, rk::vDayCost};
inline constexpr IntegerSetting ProfileNightCost{HKCU, rk::kTariffProfile, rk::vNightCost};
inline constexpr IntegerSetting ProfileOcpd{HKCU, rk::kTariffProfile, rk::vOcpd};
inline constexpr IntegerSetting TimeServers{HKCU, rk::kTimeSync, rk::vServers};
inline constexpr TextSetting TimeServer{HKCU, rk::kTimeSync, rk::vServerPrefix};
inline constexpr IntegerSetting BudgetOn{HKCU, rk::kBudget, rk::vOnOff};
inline constexpr IntegerSetting BudgetMoney{HKCU, rk::kBudget, rk::vBudgetMoney};
inline constexpr IntegerSetting BudgetCents{HKCU, rk::kBudget, rk::vBudgetCents};
inline constexpr IntegerSetting BudgetAlarm{HKCU, rk::kBudget, rk::vBudgetCh};
inline constexpr IntegerSetting BudgetReserve{HKCU, rk::kBudget, rk::vBudgetReserve};

inline constexpr TextSetting ProgramPath{HKLM, rk::kSoftware, rk::vProgramPath};
inline constexpr IntegerSetting FirstTime{HKLM, rk::kSoftware, rk::vFirstTime};
inline constexpr IntegerSetting Bug{HKLM, rk::kSoftware, rk::vBug};
inline constexpr IntegerSetting AntiCrash{HKLM, rk::kSoftware, rk::vAntiCrash};
inline constexpr IntegerSetting Start{HKLM, rk::kSoftware, rk::vStart};
inline constexpr IntegerSetting PeriodYear{HKLM, rk::kCounterAll, rk::vYear};
inline constexpr IntegerSetting PeriodMonth{HKLM, rk::kCounterAll, rk::vMonth};
inline constexpr IntegerSetting PeriodDay{HKLM, rk::kCounterAll, rk::vDay};
inline constexpr IntegerSetting PeriodDayNumber{HKLM, rk::kCounterAll, rk::vDouble};
inline constexpr IntegerSetting Reset{HKLM, rk::kCounterAll, rk::vReset};
inline constexpr IntegerSetting Reset14{HKLM, rk::kCounterAll, rk::vReset14};
inline constexpr IntegerSetting Report{HKLM, rk::kCounterAll, rk::vReport};
inline constexpr IntegerSetting StartSecond{HKLM, rk::kCounterCurrent, rk::vSecundes};
inline constexpr IntegerSetting StartMinute{HKLM, rk::kCounterCurrent, rk::vStartMinutes};
inline constexpr IntegerSetting StartHour{HKLM, rk::kCounterCurrent, rk::vHours};
inline constexpr IntegerSetting StartYear{HKLM, rk::kCounterCurrent, rk::vYear};
inline constexpr IntegerSetting StartDay{HKLM, rk::kCounterCurrent, rk::vDay};
inline constexpr IntegerSetting StartMonth{HKLM, rk::kCounterCurrent, rk::vMonth};
inline constexpr IntegerSetting StartDayOfWeek{HKLM, rk::kCounterCurrent, rk::vDayOfWeek};
inline constexpr TextSetting Provider{HKLM, rk::kCounterCurrent, rk::vProvider};
inline constexpr IntegerSetting Money{HKLM, rk::kCounterCurrent, rk::vMoney};
inline constexpr TextSetting Fee{HKLM, rk::kCounterCurrent, rk::vFee};
inline constexpr IntegerSetting Backup{HKLM, rk::kCounterCurrent, rk::vBackup};
inline constexpr TextSetting SlotUser{HKLM, rk::kCounterCurrent, rk::vSlotUser};
inline constexpr IntegerSetting SlotSecond{HKLM, rk::kCounterCurrent, rk::vSlotSecundes};
inline constexpr IntegerSetting SlotMinute{HKLM, rk::kCounterCurrent, rk::vSlotMinutes};
inline constexpr IntegerSetting SlotHour{HKLM, rk::kCounterCurrent, rk::vSlotHours};
inline constexpr IntegerSetting SlotYear{HKLM, rk::kCounterCurrent, rk::vSlotYear};
inline constexpr IntegerSetting SlotDay{HKLM, rk::kCounterCurrent, rk::vSlotDay};
inline constexpr IntegerSetting SlotMonth{HKLM, rk::kCounterCurrent, rk::vSlotMonth};
inline constexpr IntegerSetting SlotDayOfWeek{HKLM, rk::kCounterCurrent, rk::vSlotDayOfWeek};
inline constexpr IntegerSetting SlotTime{HKLM, rk::kCounterCurrent, rk::vSlotTime};
inline constexpr BinarySetting UnsavedRecords{HKLM, rk::kCounterCurrent, rk::vUnsavedRecords};
inline constexpr IntegerSetting Crash{HKLM, rk::kUsers, rk::vCrash};
// The prefix of the crash journal's second backup slot, for Setting::prefixed.
inline constexpr const char* BackupSlotPrefix = rk::kBackupSlotPrefix;

}  // namespace settings

Q_DECLARE_METATYPE(settings::SettingId)
