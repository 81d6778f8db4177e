#include "dialtally/core/BudgetWatch.h"

#include "dialtally/core/Beeper.h"
#include "dialtally/core/Formats.h"
#include "platform/core/LocalTime.h"
#include "dialtally/core/ProgramInfo.h"
#include "platform/core/Settings.h"
#include "platform/core/Sound.h"

using settings::Opening;

namespace {

int todayOfMonth()
{
    return platform::clock().now().date().day();
}

}  // namespace

budget::Budget BudgetWatch::read()
{
    return m_context.reads.get(m_context.reads.budget, [this] {
        // Each key opened once: a counting tick reads them every second.
        const settings::IntegerPlace places[] = {settings::BudgetMoney, settings::BudgetCents, settings::BudgetReserve,
                                                 settings::BudgetOn};
        const std::vector<std::int32_t> v = m_context.settings.getAll(places, Opening::ExistingKey);
        budget::Budget budget;
        budget.money = v[0];
        budget.cents = v[1];
        budget.reserve = v[2];
        budget.on = v[3];
        budget.startDay = m_context.settings.get(settings::PeriodDay, Opening::ExistingKey);
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
    m_context.settings.set(settings::BudgetOn, 0);
}

void BudgetWatch::soundAlarm(int beepSound)
{
    const settings::IntegerPlace places[] = {settings::BudgetAlarm, settings::BudgetOn};
    const std::vector<std::int32_t> v = m_context.settings.getAll(places, Opening::ExistingKey);
    const budget::AlarmKind kind = budget::alarmKindFrom(v[0]);
    if (v[1] == 0)
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
