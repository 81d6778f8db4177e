#include "dialtally/core/FirstRun.h"

#include "dialtally/core/Formats.h"
#include "platform/core/LocalTime.h"
#include "dialtally/core/ProgramInfo.h"
#include "dialtally/core/SessionKey.h"
#include "platform/core/Settings.h"

using platform::RootKey;
using regkeys::name;
using session_store::Key;
namespace rk = regkeys;

FirstRun::FirstRun(SessionContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{ }

void FirstRun::storeCounterStartDate()
{
    const QDate today = platform::clock().now().date();
    Key key(m_context.registry, RootKey::LocalMachine, rk::kCounterAll);
    key.writeInt(rk::vYear, today.year());
    key.writeInt(rk::vMonth, today.month());
    key.writeInt(rk::vDay, today.day());
}

void FirstRun::writeDefaultSettings()
{
    platform::Registry& registry = m_context.registry;
    const int today = platform::todayDayNumber();
    {
        // The defaults land together or not at all: a half-written tree would pass the
        // owner check at the next start and miss values that start-up and the dialogs
        // must read. So the mail checker's settings go in here too, before the user
        // hears of it rather than after: a program ended while a message is open would
        // otherwise leave them out for good.
        platform::RegistryTransaction transaction(registry.store());
        settings::Settings store(registry.store());
        settings::writeNewUserDefaults(store, m_windowsUser);
        store.set(settings::PeriodDayNumber, today);
        transaction.commit();
    }
    {
        Key key(registry, RootKey::LocalMachine, rk::kSoftware);
        m_context.programPath = key.readStr(rk::vProgramPath);
    }
    emit defaultsWritten();
}

void FirstRun::begin()
{
    platform::Registry& registry = m_context.registry;
    int firstTime = 0;
    {
        Key key(registry, RootKey::LocalMachine, rk::kSoftware);
        m_context.programPath = key.readStr(rk::vProgramPath);
        firstTime = key.readInt(rk::vFirstTime);
    }
    {
        Key key(registry, RootKey::LocalMachine, rk::kControl);
        platform::Registry::KeyInfo info;
        if (key->getKeyInfo(info) && info.numValues == 0)
            m_windowsUser = QStringLiteral("Default");
        else
            m_windowsUser = formats::fitUserName(key.readStr(rk::vCurrentUser));
    }

    if (firstTime != 0) {
        storeCounterStartDate();
        {
            Key key(registry, RootKey::LocalMachine, rk::kSoftware);
            key.writeInt(rk::vFirstTime, 0);
        }
        writeDefaultSettings();
    }

    bool writeDefaults = false;
    {
        Key key(registry, RootKey::CurrentUser, rk::kSoftware, false);
        if (!key.opened()) {
            writeDefaults = true;
        } else if (key.readStr(rk::vUserName) != m_windowsUser) {
            key->closeKey();
            key->deleteKey(name(rk::kSoftware));
            writeDefaults = true;
        }
    }
    if (writeDefaults)
        writeDefaultSettings();
}
