#include "platform/core/Autostart.h"

#include "platform/core/DesktopEntry.h"

#include <QFile>

namespace platform {

QString autostartEntryFile()
{
    return xdgConfigHome() + QStringLiteral("/autostart/dialtally.desktop");
}

void setAutostart(const QString& program)
{
    const QString file = autostartEntryFile();
    if (program.isEmpty()) {
        QFile entry(file);
        if (entry.exists() && !entry.remove())
            throw AutostartError(QStringLiteral("Cannot remove the autostart entry \"%1\": %2")
                                     .arg(file, entry.errorString())
                                     .toStdString());
        return;
    }
    QString error;
    if (!writeDesktopEntry(file, dialtallyEntry(program), &error))
        throw AutostartError(QStringLiteral("Cannot write the autostart entry: %1").arg(error).toStdString());
}

}  // namespace platform
