// The loads that the Preferences and Open report windows make at every start, run
// without making the windows.
#pragma once

class MonitoringSession;

// Errors and refused numbers are shown as the windows' own loads showed them.
void prepareDialogsAtStart(MonitoringSession& session);
