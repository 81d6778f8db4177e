#include "dialtally/core/ConnectionCount.h"

#include "dialtally/core/Charging.h"
#include "dialtally/core/Formats.h"
#include "platform/core/Settings.h"

#include <algorithm>
#include <climits>

using settings::Opening;

void ConnectionCount::clear()
{
    m_state = ConnectionState::Idle;
    m_provider = QStringLiteral(" ");
    m_user.clear();
}

void ConnectionCount::noticeLine()
{
    if (m_state == ConnectionState::Idle && m_lineUp)
        m_state = ConnectionState::LineSeen;
}

void ConnectionCount::begin(const platform::LocalDateTime& start)
{
    m_record = history::HistoryRecord{};
    m_record.StartTime = start;
    m_fee = 0;
}

void ConnectionCount::open(std::int32_t connectDelay, const QString& provider, const QString& user)
{
    const platform::LocalDateTime& start = m_record.StartTime;
    m_lastChargedMinute = -1;
    // Whatever delay the store holds, the arithmetic stays in range.
    const qint64 startSecond = qint64(start.secondOfDay()) - connectDelay;
    m_startSecondOfDay = static_cast<std::int32_t>(std::clamp<qint64>(startSecond, INT32_MIN, INT32_MAX));
    m_record.DurationSeconds = charging::elapsedSince(start, m_startSecondOfDay, start);
    m_provider = provider;
    m_record.setProviderName(provider);
    m_feeText = formats::feeText(0);
    m_user = user;
}

std::int32_t ConnectionCount::count(const platform::LocalDateTime& now)
{
    const std::int32_t elapsed = charging::elapsedSince(m_record.StartTime, m_startSecondOfDay, now);
    m_record.DurationSeconds = elapsed;
    m_elapsedSeconds = elapsed;
    return elapsed;
}

ConnectionCount::Charge ConnectionCount::chargeMinute(settings::Settings& store, const platform::LocalDateTime& now,
                                                      bool holiday)
{
    // The provider's slot of the day: Tariffs\<provider>\<day>.
    const QString slotKey =
        m_provider + QLatin1Char('\\') + charging::tariffDayKey(holiday ? 1 : 0, now.dayOfWeek());
    const settings::TextPlace profile = settings::SlotProfile.in(slotKey);
    if (m_provider.isEmpty() || !store.hasKey(profile))
        return {false, QStringLiteral("No tariffs for provider")};
    if (store.get(profile, Opening::ExistingKey).isEmpty())
        return {false, QStringLiteral("No tariff for this day")};
    const settings::IntegerPlace places[] = {
        settings::SlotStartingInterval.in(slotKey), settings::SlotEndingInterval.in(slotKey),
        settings::SlotDayCost.in(slotKey), settings::SlotNightCost.in(slotKey), settings::SlotOcpDay.in(slotKey)};
    const std::vector<std::int32_t> v = store.getAll(places, Opening::ExistingKey);
    charging::TariffSlot slot;
    slot.StartingInterval = v[0];
    slot.EndingInterval = v[1];
    slot.DayCost = v[2];
    slot.NightCost = v[3];
    slot.OCPDay = v[4];
    m_fee += charging::minuteCost(slot, now.hour);
    m_feeText = formats::feeText(m_fee);
    return {true, m_feeText};
}

void ConnectionCount::tickCounted()
{
    m_lastChargedMinute = m_elapsedSeconds / 60;
    m_elapsedAndFee = formats::elapsedText(m_elapsedSeconds) + m_feeText;
}

history::HistoryRecord ConnectionCount::end(const platform::LocalDateTime& now)
{
    m_state = ConnectionState::Idle;
    m_record.EndTime = now;
    m_record.FeeCents = m_fee;
    m_record.setUserName(m_user);
    m_provider = QStringLiteral(" ");
    m_user.clear();
    return m_record;
}
