// The beep every so many minutes of a connection, as the Beep dialog sets it.
#pragma once

#include "platform/core/Settings.h"

#include <cstdint>

struct SessionProbe;

class IntervalBeeper {
public:
    bool enabled() const { return m_enabled; }
    // Minutes between two beeps.
    int interval() const { return m_interval; }
    // The "Sound" number of the beep, 1 to 4; any other is silent.
    int sound() const { return m_sound; }
    // The number of the next beep of the connection, counted from 1.
    int count() const { return m_count; }

    // HKCU Beep, as start-up reads it.
    void load(settings::Settings& store);
    // What the user chose, with the next beep from the connection's time so far, so
    // that a shorter interval sounds no missed beeps in a burst.
    void set(bool enabled, int interval, int sound, std::int32_t elapsedSeconds);
    // A connection starts or ends: the first beep is the next one.
    void restart() { m_count = 1; }
    // The last step of a tick: the beep that is due now, once.
    void beepAt(bool lineUp, std::int32_t elapsedSeconds);

private:
    friend struct SessionProbe;
    bool m_enabled = false;
    int m_interval = 0;
    int m_sound = 0;
    int m_count = 0;
};
