// Whether the desktop starts Dialtally at log-in: the autostart entry
// $XDG_CONFIG_HOME/autostart/dialtally.desktop, which stands in for the Windows "Run"
// list, and the "Run" value that the settings keep beside it.
#pragma once

#include <QString>

#include <stdexcept>

namespace platform {

class AutostartError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

QString autostartEntryFile();

// The desktop starts `program` at every log-in; an empty program starts nothing, and
// the entry goes. Raises AutostartError when the entry can be neither written nor
// removed; the entry then stays as it was.
void setAutostart(const QString& program);

class Registry;
// The same, with the "Run" value beside the entry: both change or neither does.
void setAutostart(Registry& registry, const QString& program);

}  // namespace platform
