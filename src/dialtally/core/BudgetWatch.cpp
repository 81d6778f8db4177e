#include "dialtally/core/BudgetWatch.h"

#include "dialtally/core/Beeper.h"
#include "dialtally/core/Formats.h"
#include "platform/core/LocalTime.h"
#include "dialtally/core/ProgramInfo.h"
#include "dialtally/core/SessionKey.h"
#include "platform/core/Sound.h"

using platform::RootKey;
using session_store::Key;
namespace rk = regkeys;

namespace {

int todayOfMonth()
{
    return platform::clock().now().date().day();
}

}  // namespace

budget::Budget BudgetWatch::read()
{
    return m_context.reads.get(m_context.reads.budget, [this] {
        budget::Budget budget;
        {
            Key key(m_context.registry, RootKey::CurrentUser, rk::kBudget, false);
            budget.money = key.readInt(rk::vBudgetMoney);
            budget.cents = key.readInt(rk::vBudgetCents);
            budget.reserve = key.readInt(rk::vBudgetReserve);
            budget.on = key.readInt(rk::vOnOff);
        }
        Key key(m_context.registry, RootKey::LocalMachine, rk::kCounterAll, false);
        budget.startDay = key.readInt(rk::vDay);
        return budget;
    });
}

QString BudgetWatch::text(std::int32_t todayFee, std::int32_t connectionFee, std::int32_t periodFee)
{
    const budget::Budget budget = read();
    if (budget.on == 0)
        return QString(14, QLatin1Char('-'));
    return formats::balanceText(budget::budgetBalance(budget, todayOfMonth(), todayFee, connectionFee, periodFee));
}

bool BudgetWatch::check(std::int32_t todayFee, std::int32_t connectionFee, std::int32_t periodFee, int beepSound)
{
    const budget::Budget budget = read();
    if (budget.on == 0)
        return true;
    if (budget::budgetDays(budget, todayOfMonth()) < 0)
        return false;
    if (budget::budgetReached(budget, todayOfMonth(), todayFee, connectionFee, periodFee))
        soundAlarm(beepSound);
    return true;
}

void BudgetWatch::switchOff()
{
    Key key(m_context.registry, RootKey::CurrentUser, rk::kBudget);
    key.writeInt(rk::vOnOff, 0);
}

void BudgetWatch::soundAlarm(int beepSound)
{
    budget::AlarmKind kind = budget::AlarmKind::Silent;
    int on = 0;
    {
        Key key(m_context.registry, RootKey::CurrentUser, rk::kBudget, false);
        kind = budget::alarmKindFrom(key.readInt(rk::vBudgetCh));
        on = key.readInt(rk::vOnOff);
    }
    if (on == 0)
        return;
    const QString file = m_context.programPath + QLatin1Char('/') + QString::fromLatin1(program::kAlarmFolder)
                         + QLatin1Char('/') + QString::fromLatin1(program::kAlarmFile);
    switch (kind) {
    case budget::AlarmKind::SoundFile:
        // A sound file that is missing or can't be played gives the default sound.
        if (!platform::sounds().playWave(file))
            platform::sounds().messageBeep(platform::BeepKind::Default);
        break;
    case budget::AlarmKind::Beep: {
        platform::BeepKind beep;
        if (beeper::beepKindOf(beepSound, &beep))
            platform::sounds().messageBeep(beep);
        break;
    }
    case budget::AlarmKind::Silent:
        break;
    }
}
