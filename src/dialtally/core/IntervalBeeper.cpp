#include "dialtally/core/IntervalBeeper.h"

#include "dialtally/core/Beeper.h"
#include "dialtally/core/SessionKey.h"

using platform::RootKey;
using session_store::Key;
namespace rk = regkeys;

void IntervalBeeper::load(platform::Registry& registry)
{
    Key key(registry, RootKey::CurrentUser, rk::kBeep);
    m_interval = key.readInt(rk::vBeepInterval);
    m_enabled = key.readInt(rk::vBeepEnabled) == 1;
    m_sound = key.readInt(rk::vBeepSound);
}

void IntervalBeeper::set(bool enabled, int interval, int sound, std::int32_t elapsedSeconds)
{
    m_enabled = enabled;
    m_interval = interval;
    m_sound = sound;
    m_count = beeper::nextBeepCount(interval, elapsedSeconds);
}

void IntervalBeeper::beepAt(bool lineUp, std::int32_t elapsedSeconds)
{
    if (m_enabled && lineUp && beeper::beepDue(m_count, m_interval, elapsedSeconds)) {
        ++m_count;
        platform::BeepKind beep;
        if (beeper::beepKindOf(m_sound, &beep))
            platform::sounds().messageBeep(beep);
    }
    if (!m_enabled)
        m_count = 1;
}
