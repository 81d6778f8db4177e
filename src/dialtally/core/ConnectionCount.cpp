#include "dialtally/core/ConnectionCount.h"

#include "dialtally/core/Charging.h"
#include "dialtally/core/Formats.h"
#include "dialtally/core/SessionKey.h"

#include <algorithm>
#include <climits>

using platform::RootKey;
using session_store::Key;
namespace rk = regkeys;

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

ConnectionCount::Charge ConnectionCount::chargeMinute(platform::Registry& registry, const platform::LocalDateTime& now,
                                                      bool holiday)
{
    const QString slotKey =
        charging::tariffSlotKey(m_provider, charging::tariffDayKey(holiday ? 1 : 0, now.dayOfWeek()));
    charging::TariffSlot slot;
    {
        Key key(registry, RootKey::CurrentUser, slotKey, false);
        if (m_provider.isEmpty() || !key.opened())
            return {false, QStringLiteral("No tariffs for provider")};
        if (key.readStr(rk::vSlotTariffProfile).isEmpty())
            return {false, QStringLiteral("No tariff for this day")};
        slot.StartingInterval = key.readInt(rk::vStartingInterval);
        slot.EndingInterval = key.readInt(rk::vEndingInterval);
        slot.DayCost = key.readInt(rk::vDayCost);
        slot.NightCost = key.readInt(rk::vNightCost);
        slot.OCPDay = key.readInt(rk::vOcpDay);
    }
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
