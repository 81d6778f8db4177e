// Arranges a monitoring session's state for a test: a connection forty minutes in, a
// period with hours on it, a program folder elsewhere, states that only a long run of
// ticks or a start-up would reach otherwise. Tests read the session through its own
// accessors and change it through its commands; only the arranging comes here.
#pragma once

#include "dialtally/core/MonitoringSession.h"

struct SessionProbe {
    static QString& programPath(MonitoringSession& s) { return s.m_context.programPath; }
    static QString& windowsUser(MonitoringSession& s) { return s.m_firstRun.m_windowsUser; }

    static bool& lineUp(MonitoringSession& s) { return s.m_connection.m_lineUp; }
    static ConnectionState& connectionState(MonitoringSession& s) { return s.m_connection.m_state; }
    static std::int32_t& elapsedSeconds(MonitoringSession& s) { return s.m_connection.m_elapsedSeconds; }

    static std::int32_t& periodFee(MonitoringSession& s) { return s.m_period.m_fee; }
    static std::int32_t& periodSeconds(MonitoringSession& s) { return s.m_period.m_seconds; }
    static period::ResetMode& resetMode(MonitoringSession& s) { return s.m_period.m_resetMode; }
    static int& resetDay(MonitoringSession& s) { return s.m_period.m_resetDay; }

    static bool& beepEnabled(MonitoringSession& s) { return s.m_beeper.m_enabled; }
    static int& beepInterval(MonitoringSession& s) { return s.m_beeper.m_interval; }
    static int& beepSound(MonitoringSession& s) { return s.m_beeper.m_sound; }
    static int& beepCount(MonitoringSession& s) { return s.m_beeper.m_count; }
};
