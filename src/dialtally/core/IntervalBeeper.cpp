#include "dialtally/core/IntervalBeeper.h"

#include "dialtally/core/Beeper.h"

void IntervalBeeper::load(settings::Settings& store)
{
    m_interval = store.get(settings::BeepInterval);
    m_enabled = store.get(settings::BeepEnabled) == 1;
    m_sound = store.get(settings::BeepSound);
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
