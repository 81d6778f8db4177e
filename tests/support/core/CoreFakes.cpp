#include "support/core/CoreFakes.h"

#include "common/RegistryNames.h"
#include "platform/core/Settings.h"

#include <QDir>
#include <QFile>

#include <sqlite3.h>

#include <gtest/gtest.h>

namespace testing_support {

using platform::Registry;
using platform::RootKey;

bool FakeProcesses::start(const QString& program, const QStringList& arguments)
{
    if (failing.contains(program))
        return false;
    started.push_back({program, arguments});
    return true;
}

void FakeClockSetter::setTime(const QDateTime& when)
{
    if (refuse)
        throw platform::ClockSetError("Access denied: the system refused to set the clock");
    set.push_back(when);
    if (onSet)
        onSet(when);
}

CoreEnvironment::CoreEnvironment()
{
    m_hadConfigHome = qEnvironmentVariableIsSet("XDG_CONFIG_HOME");
    m_oldConfigHome = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", m_config.path().toLocal8Bit());
    m_hadDataHome = qEnvironmentVariableIsSet("XDG_DATA_HOME");
    m_oldDataHome = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", m_data.path().toLocal8Bit());
    platform::resetProcessStore();
    platform::setProcessStoreOpening(platform::StoreOpening::CreateWhenMissing);
    platform::setClock(&clock);
    platform::setSounds(&sounds);
    platform::setProcesses(&processes);
    platform::setClockSetter(&clockSetter);
}

CoreEnvironment::~CoreEnvironment()
{
    platform::setClock(nullptr);
    platform::setSounds(nullptr);
    platform::setProcesses(nullptr);
    platform::setClockSetter(nullptr);
    registry.closeKey();
    platform::resetProcessStore();
    platform::setProcessStoreOpening(platform::StoreOpening::CreateWhenMissing);
    if (m_hadConfigHome)
        qputenv("XDG_CONFIG_HOME", m_oldConfigHome);
    else
        qunsetenv("XDG_CONFIG_HOME");
    if (m_hadDataHome)
        qputenv("XDG_DATA_HOME", m_oldDataHome);
    else
        qunsetenv("XDG_DATA_HOME");
}

QString CoreEnvironment::registryFile() const
{
    return platform::defaultRegistryFile();
}

void CoreEnvironment::install(int firstTime)
{
    QDir(programFolder()).mkpath(QStringLiteral("media"));
    QDir(programFolder()).mkpath(QStringLiteral("Reports"));
    settings::Settings store;
    store.set(settings::ProgramPath, programFolder());
    for (const settings::SettingId id : settings::writtenBy(settings::FirstWriter::Installation)) {
        const settings::Definition& v = id.definition();
        if (v.type == settings::Type::Integer)
            store.set(settings::IntegerPlace{id, QString::fromLatin1(v.key), QString::fromLatin1(v.name)}, v.number);
    }
    store.set(settings::FirstTime, firstTime);
    // The tests' counter neither resets nor writes a report by itself unless a test
    // asks for it: the installation's monthly reset would depend on the day it runs.
    store.set(settings::Reset, 4);
    store.set(settings::Report, 0);
}

void CoreEnvironment::setWindowsUser(const QString& name)
{
    writeStr(RootKey::LocalMachine, regkeys::kControl, regkeys::vCurrentUser, name);
}

void CoreEnvironment::setLine(bool up)
{
    Registry r;
    r.setRootKey(RootKey::LocalMachine);
    ASSERT_TRUE(r.openKey(regkeys::kRemoteAccessService, true));
    QByteArray bytes(4, '\0');
    bytes[0] = up ? 1 : 0;
    r.writeBinaryData(regkeys::vRemoteConnection, bytes);
    r.closeKey();
}

namespace {
Registry& opened(Registry& r, RootKey root, const QString& key, bool create)
{
    r.setRootKey(root);
    if (!r.openKey(key, create))
        throw platform::RegistryError(("test: no key " + key).toStdString());
    return r;
}
}  // namespace

std::int32_t readInt(RootKey root, const QString& key, const QString& name)
{
    Registry r;
    return opened(r, root, key, false).readInteger(name);
}

QString readStr(RootKey root, const QString& key, const QString& name)
{
    Registry r;
    return opened(r, root, key, false).readString(name);
}

void writeInt(RootKey root, const QString& key, const QString& name, std::int32_t value)
{
    Registry r;
    opened(r, root, key, true).writeInteger(name, value);
}

void writeStr(RootKey root, const QString& key, const QString& name, const QString& value)
{
    Registry r;
    opened(r, root, key, true).writeString(name, value);
}

QString tariffSlotKey(const QString& provider, const QString& dayKey)
{
    return settings::SlotProfile.in(provider + QLatin1Char('\\') + dayKey).key;
}

void writeTariffSlot(const QString& key, const QString& profile, int start, int end, int dayCost, int nightCost,
                     int ocp)
{
    writeStr(RootKey::CurrentUser, key, regkeys::name(regkeys::vSlotTariffProfile), profile);
    writeInt(RootKey::CurrentUser, key, regkeys::name(regkeys::vStartingInterval), start);
    writeInt(RootKey::CurrentUser, key, regkeys::name(regkeys::vEndingInterval), end);
    writeInt(RootKey::CurrentUser, key, regkeys::name(regkeys::vDayCost), dayCost);
    writeInt(RootKey::CurrentUser, key, regkeys::name(regkeys::vNightCost), nightCost);
    writeInt(RootKey::CurrentUser, key, regkeys::name(regkeys::vOcpDay), ocp);
}

bool valueExists(RootKey root, const QString& key, const QString& name)
{
    Registry r;
    r.setRootKey(root);
    return r.openKey(key, false) && r.valueExists(name);
}

StoreLock::StoreLock(const QString& file)
{
    if (sqlite3_open_v2(QFile::encodeName(file).constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr) != SQLITE_OK
        || sqlite3_exec(m_db, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
        ADD_FAILURE() << "cannot lock " << file.toStdString() << ": " << sqlite3_errmsg(m_db);
}

StoreLock::~StoreLock()
{
    release();
}

void StoreLock::release()
{
    if (!m_db)
        return;
    sqlite3_exec(m_db, "ROLLBACK", nullptr, nullptr, nullptr);
    sqlite3_close(m_db);
    m_db = nullptr;
}

}  // namespace testing_support
