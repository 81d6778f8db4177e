#include "dialtally/core/FirstRun.h"

#include "dialtally/core/Formats.h"
#include "platform/core/LocalTime.h"
#include "dialtally/core/ProgramInfo.h"
#include "platform/core/Settings.h"

FirstRun::FirstRun(SessionContext& context, QObject* parent)
    : QObject(parent)
    , m_context(context)
{ }

void FirstRun::storeCounterStartDate()
{
    const QDate today = platform::clock().now().date();
    settings::Settings& store = m_context.settings;
    store.set(settings::PeriodYear, today.year());
    store.set(settings::PeriodMonth, today.month());
    store.set(settings::PeriodDay, today.day());
}

void FirstRun::writeDefaultSettings()
{
    settings::Settings& store = m_context.settings;
    const int today = platform::todayDayNumber();
    {
        // The defaults land together or not at all: a half-written tree would pass the
        // owner check at the next start and miss values that start-up and the dialogs
        // must read. So the mail checker's settings go in here too, before the user
        // hears of it rather than after: a program ended while a message is open would
        // otherwise leave them out for good.
        platform::RegistryTransaction transaction(store.store());
        settings::writeNewUserDefaults(store, m_windowsUser);
        store.set(settings::PeriodDayNumber, today);
        transaction.commit();
    }
    m_context.programPath = store.get(settings::ProgramPath);
    emit defaultsWritten();
}

void FirstRun::begin()
{
    settings::Settings& store = m_context.settings;
    m_context.programPath = store.get(settings::ProgramPath);
    const int firstTime = store.get(settings::FirstTime);
    const std::optional<QString> logOnUser = platform::recordedLogOnUser(m_context.registry);
    m_windowsUser = logOnUser ? formats::fitUserName(*logOnUser) : QStringLiteral("Default");

    if (firstTime != 0) {
        storeCounterStartDate();
        store.set(settings::FirstTime, 0);
        writeDefaultSettings();
    }

    bool writeDefaults = false;
    if (!store.hasKey(settings::UserName.place())) {
        writeDefaults = true;
    } else if (store.get(settings::UserName, settings::Opening::ExistingKey) != m_windowsUser) {
        store.removeKey(settings::UserName);
        writeDefaults = true;
    }
    if (writeDefaults)
        writeDefaultSettings();
}
