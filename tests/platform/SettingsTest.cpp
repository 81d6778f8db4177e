// The settings table and its typed access: the table names each value once, the
// places of indexed, per-subkey and prefixed values are spelled as the store keeps
// them, reads keep the store's errors, and every write is announced.
#include "platform/core/Settings.h"

#include "support/core/CoreFakes.h"
#include "support/core/RegistryShorthand.h"

#include <QSet>

#include <algorithm>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

TEST(SettingsTest, TheTableNamesEveryValueOnceWithAUsableDefault)
{
    QSet<QString> seen;
    for (const settings::Definition& d : settings::kTable) {
        const QString id = QString::number(int(d.root)) + QLatin1Char('|') + QString::fromLatin1(d.key).toCaseFolded()
                           + QLatin1Char('|') + QString::fromLatin1(d.name).toCaseFolded();
        EXPECT_FALSE(seen.contains(id)) << "twice in the table: " << id.toStdString();
        seen.insert(id);
        // What the installation and the defaults write, they must have a value for:
        // only "Program path" (the folder installed to) and "User Name" (the user) are
        // known at the time alone.
        if (d.writer != settings::FirstWriter::Program && d.type == settings::Type::String) {
            EXPECT_TRUE(d.text || d.userName || !d.texts.empty() || QLatin1String(d.name) == QLatin1String("Program path"))
                << d.name;
        }
        if (d.writer != settings::FirstWriter::Program) {
            EXPECT_NE(d.type, settings::Type::Binary) << d.name;
        }
    }
    EXPECT_EQ(settings::TimeServers.definition().number, int(settings::kDefaultTimeServers.size()));
}

TEST(SettingsTest, PlacesAreSpelledAsTheStoreKeepsThem)
{
    struct Case {
        QString key;
        QString name;
        QString expectedKey;
        QString expectedName;
    };
    const Case cases[] = {
        {settings::ConnectDelay.place().key, settings::ConnectDelay.place().name, q(rk::kSoftware), q("Connect delay")},
        {settings::ExecLine.at(3).key, settings::ExecLine.at(3).name, q(rk::kExec), q("Line3")},
        {settings::TimeServer.at(0).key, settings::TimeServer.at(0).name, q(rk::kTimeSync), q("Server0")},
        {settings::AccountHost.in(q("home")).key, settings::AccountHost.in(q("home")).name,
         q(rk::kEmailAccounts) + q("\\home"), q("Host")},
        {settings::SlotDayCost.in(q("isp\\Holiday")).key, settings::SlotDayCost.in(q("isp\\Holiday")).name,
         q(rk::kTariffs) + q("\\isp\\Holiday"), q("DayCost")},
        {settings::SlotTime.prefixed(q("b")).key, settings::SlotTime.prefixed(q("b")).name, q(rk::kCounterCurrent),
         q("bTime")},
        {settings::SlotTime.prefixed(QString()).key, settings::SlotTime.prefixed(QString()).name,
         q(rk::kCounterCurrent), q("Time")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.key, c.expectedKey);
        EXPECT_EQ(c.name, c.expectedName);
    }
}

TEST(SettingsTest, ReadsAndWritesKeepTheStoresTypesAndErrors)
{
    CoreEnvironment env;
    settings::Settings store;

    // A missing integer is the store's error; a missing string reads empty.
    try {
        store.get(settings::BeepInterval);
        ADD_FAILURE() << "a missing integer was read";
    } catch (const platform::RegistryError& error) {
        EXPECT_STREQ(error.what(), "Failed to get data for 'Interval'");
    }
    EXPECT_EQ(store.find(settings::BeepInterval), std::nullopt);
    EXPECT_EQ(store.get(settings::Editor), QString());

    store.set(settings::BeepInterval, -7);
    store.set(settings::Editor, q("kate"));
    store.set(settings::UnsavedRecords, QByteArray("\x01\x00\x02", 3));
    EXPECT_EQ(store.get(settings::BeepInterval), -7);
    EXPECT_EQ(store.find(settings::BeepInterval), -7);
    EXPECT_EQ(store.get(settings::Editor), q("kate"));
    EXPECT_EQ(store.get(settings::UnsavedRecords), QByteArray("\x01\x00\x02", 3));
    // The same values as the raw store sees them, with their registry types.
    EXPECT_EQ(readInt(HKCU, q(rk::kBeep), q("Interval")), -7);
    EXPECT_EQ(readStr(HKCU, q(rk::kSoftware), q("Editor")), q("kate"));
    EXPECT_EQ(store.storedType(settings::Editor), platform::ValueType::String);

    // A value another writer stored with another type: find says none, get refuses.
    writeStr(HKCU, q(rk::kSoftware), q("Connect Delay"), q("15"));
    EXPECT_EQ(store.find(settings::ConnectDelay), std::nullopt);
    EXPECT_THROW(store.get(settings::ConnectDelay), platform::RegistryError);
    EXPECT_EQ(store.storedType(settings::ConnectDelay), platform::ValueType::String);
}

TEST(SettingsTest, LooksThatMustNotMakeAKeyLeaveTheStoreAsItWas)
{
    CoreEnvironment env;
    settings::Settings store;
    const auto home = [](const settings::TextSetting& s) { return s.in(q("home")); };
    const auto keyThere = [&](platform::RootKey root, const QString& path) {
        platform::Registry look;
        look.setRootKey(root);
        return look.openKey(path, false);
    };

    // Nothing of the accounts is there: the looks answer, and make nothing.
    EXPECT_FALSE(store.exists(home(settings::AccountHost)));
    EXPECT_EQ(store.get(home(settings::AccountHost), settings::Opening::ExistingKey), QString());
    EXPECT_EQ(store.find(settings::AccountPort.in(q("home")), settings::Opening::ExistingKey), std::nullopt);
    EXPECT_EQ(store.storedType(home(settings::AccountUser), settings::Opening::ExistingKey), platform::ValueType::None);
    EXPECT_TRUE(store.subkeys(settings::AccountHost, settings::Opening::ExistingKey).isEmpty());
    EXPECT_FALSE(store.remove(home(settings::AccountHost)));
    EXPECT_FALSE(store.removeSubkey(settings::AccountHost, q("home")));
    EXPECT_FALSE(keyThere(HKCU, q(rk::kEmailAccounts)));
    // A missing integer in a missing key is still the store's error, not a zero.
    EXPECT_THROW(store.get(settings::AccountPort.in(q("home")), settings::Opening::ExistingKey), platform::RegistryError);

    // Two accounts, listed in the order they were made; one value and one account go.
    store.set(home(settings::AccountHost), q("pop.home.example"));
    store.set(settings::AccountHost.in(q("Work")), q("pop.work.example"));
    store.set(home(settings::AccountUser), q("ann"));
    EXPECT_EQ(store.subkeys(settings::AccountHost), QStringList({q("home"), q("Work")}));
    EXPECT_TRUE(store.exists(home(settings::AccountUser)));
    EXPECT_TRUE(store.remove(home(settings::AccountUser)));
    EXPECT_FALSE(valueExists(HKCU, q(rk::kEmailAccounts) + q("\\home"), q("User")));
    EXPECT_EQ(readStr(HKCU, q(rk::kEmailAccounts) + q("\\home"), q("Host")), q("pop.home.example"));
    EXPECT_TRUE(store.removeSubkey(settings::AccountUser, q("work")));
    EXPECT_EQ(store.subkeys(settings::AccountHost), QStringList({q("home")}));
    EXPECT_FALSE(keyThere(HKCU, q(rk::kEmailAccounts) + q("\\Work")));
}

TEST(SettingsTest, EveryWriteIsAnnouncedWithItsSetting)
{
    CoreEnvironment env;
    settings::Settings store;
    std::vector<settings::SettingId> heard;
    const QMetaObject::Connection connection = QObject::connect(
        &settings::notifier(), &settings::Notifier::changed, [&](settings::SettingId id) { heard.push_back(id); });
    store.set(settings::ConnectDelay, 30);
    store.set(settings::AccountChecked.in(q("home")), 0);
    store.get(settings::ConnectDelay);
    QObject::disconnect(connection);
    ASSERT_EQ(heard.size(), 2u) << "reads are not changes";
    EXPECT_EQ(heard[0], settings::ConnectDelay.id());
    EXPECT_EQ(heard[1], settings::AccountChecked.id());
}

TEST(SettingsTest, TheNewUsersDefaultsAreTheTablesInItsOrder)
{
    CoreEnvironment env;
    settings::Settings store;
    settings::writeNewUserDefaults(store, q("carol"));
    EXPECT_EQ(store.get(settings::UserName), q("carol"));
    for (const settings::SettingId id : settings::writtenBy(settings::FirstWriter::NewUser)) {
        const settings::Definition& d = id.definition();
        if (d.type == settings::Type::Integer) {
            EXPECT_EQ(readInt(d.root, q(d.key), q(d.name)), d.number) << d.name;
        }
    }
    for (std::size_t i = 0; i < settings::kDefaultTimeServers.size(); ++i)
        EXPECT_EQ(store.get(settings::TimeServer.at(int(i))), q(settings::kDefaultTimeServers[i]));
    // Nothing is written that only its owner writes.
    EXPECT_FALSE(valueExists(HKCU, q(rk::kSoftware), q(rk::vEditor)));
    EXPECT_FALSE(valueExists(HKCU, q(rk::kEmail), q(rk::vCheck)));
}

TEST(SettingsTest, KeysAreMadeOnlyWhereAsked)
{
    CoreEnvironment env;
    settings::Settings store;
    const settings::IntegerPlace checked = settings::AccountChecked.in(q("home"));

    // A write that must not make its key refuses as the store refuses a write into
    // no key, and leaves nothing behind.
    EXPECT_FALSE(store.hasKey(checked));
    try {
        store.set(checked, 0, settings::Opening::ExistingKey);
        ADD_FAILURE() << "a write made its key";
    } catch (const platform::RegistryError& error) {
        EXPECT_STREQ(error.what(), "Failed to set data for 'Checked'");
    }
    EXPECT_FALSE(store.hasKey(checked));
    EXPECT_TRUE(store.subkeys(settings::AccountChecked, settings::Opening::ExistingKey).isEmpty());

    // The accounts' key alone, then one account's, each with nothing in it.
    EXPECT_TRUE(store.makeKey(settings::AccountChecked));
    EXPECT_TRUE(store.subkeys(settings::AccountChecked, settings::Opening::ExistingKey).isEmpty());
    EXPECT_FALSE(store.hasKey(checked));
    EXPECT_TRUE(store.makeKey(checked));
    EXPECT_TRUE(store.hasKey(checked));
    platform::Registry look;
    look.setRootKey(HKCU);
    ASSERT_TRUE(look.openKey(q(rk::kEmailAccounts) + q("\\home"), false));
    EXPECT_TRUE(look.getValueNames().isEmpty());
    look.closeKey();

    store.set(checked, 0, settings::Opening::ExistingKey);
    EXPECT_EQ(readInt(HKCU, q(rk::kEmailAccounts) + q("\\home"), q("Checked")), 0);

    // The accounts go whole, and only once.
    EXPECT_TRUE(store.removeKey(settings::AccountChecked));
    EXPECT_FALSE(store.hasKey(checked));
    EXPECT_FALSE(store.removeKey(settings::AccountChecked));
    EXPECT_TRUE(store.hasKey(settings::MailMinutes.place())) << "the mail checker's own key stays";
}

TEST(SettingsTest, GroupedReadsAndKeyLooksKeepTheStoresErrorsAndMakeNothing)
{
    CoreEnvironment env;
    settings::Settings store;
    const settings::IntegerPlace start[] = {settings::PeriodYear, settings::PeriodMonth, settings::PeriodDay};
    const QString slot = q("isp\\5");
    const auto keyThere = [](platform::RootKey root, const QString& path) {
        platform::Registry look;
        look.setRootKey(root);
        return look.keyExists(path);
    };

    // Looks at keys that are missing: the store's errors and answers, and no key made.
    try {
        store.getAll(start, settings::Opening::ExistingKey);
        ADD_FAILURE() << "integers of a missing key were read";
    } catch (const platform::RegistryError& error) {
        EXPECT_STREQ(error.what(), "Failed to get data for 'Year'");
    }
    EXPECT_FALSE(store.hasKey(settings::SlotDayCost.in(slot)));
    EXPECT_FALSE(store.hasKey(settings::UserName.place()));
    EXPECT_EQ(store.valueCount(settings::ExecLines), 0);
    EXPECT_FALSE(keyThere(HKLM, q(rk::kCounterAll)));
    EXPECT_FALSE(keyThere(HKCU, q(rk::kSoftware)));

    // All of them in the order asked for; one that is missing is its own error.
    store.set(settings::PeriodMonth, 7);
    store.set(settings::PeriodYear, 2026);
    const settings::IntegerPlace yearAndMonth[] = {settings::PeriodYear, settings::PeriodMonth};
    EXPECT_EQ(store.getAll(yearAndMonth), std::vector<std::int32_t>({2026, 7}));
    try {
        store.getAll(start);
        ADD_FAILURE() << "a missing integer was read";
    } catch (const platform::RegistryError& error) {
        EXPECT_STREQ(error.what(), "Failed to get data for 'Day'");
    }

    store.set(settings::SlotDayCost.in(slot), 12);
    EXPECT_TRUE(store.hasKey(settings::SlotProfile.in(slot)));
    EXPECT_FALSE(store.hasKey(settings::SlotProfile.in(q("isp\\6"))));
    // Every value of the key counts, whatever its name.
    store.set(settings::ExecLines, 5);
    store.set(settings::ExecLine.at(0), q("ppp-up"));
    writeStr(HKCU, q(rk::kExec), q("Note"), q("not a command"));
    EXPECT_EQ(store.valueCount(settings::ExecLines), 3);
}

TEST(SettingsTest, RemovingAUsersKeyTakesItsSubkeysAndAnnouncesWhatLivedThere)
{
    CoreEnvironment env;
    settings::Settings store;
    store.set(settings::UserName, q("ann"));
    store.set(settings::BeepInterval, 15);
    store.set(settings::AccountHost.in(q("home")), q("pop.home.example"));
    // The machine's key of the same path is another key.
    store.set(settings::Bug, 2);

    std::vector<settings::SettingId> heard;
    const QMetaObject::Connection connection = QObject::connect(
        &settings::notifier(), &settings::Notifier::changed, [&](settings::SettingId id) { heard.push_back(id); });
    EXPECT_TRUE(store.removeKey(settings::UserName));
    EXPECT_FALSE(store.removeKey(settings::UserName)) << "gone already";
    QObject::disconnect(connection);

    platform::Registry look;
    look.setRootKey(HKCU);
    EXPECT_FALSE(look.keyExists(q(rk::kSoftware)));
    EXPECT_FALSE(look.keyExists(q(rk::kEmailAccounts) + q("\\home")));
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vBug)), 2);
    const auto wasHeard = [&](settings::SettingId id) { return std::find(heard.begin(), heard.end(), id) != heard.end(); };
    EXPECT_TRUE(wasHeard(settings::UserName.id()));
    EXPECT_TRUE(wasHeard(settings::BeepInterval.id()));
    EXPECT_TRUE(wasHeard(settings::AccountHost.id()));
    EXPECT_TRUE(wasHeard(settings::BudgetOn.id())) << "every setting of the key and under it";
    EXPECT_FALSE(wasHeard(settings::Bug.id()));
    EXPECT_FALSE(wasHeard(settings::ProgramPath.id()));
}

}  // namespace
