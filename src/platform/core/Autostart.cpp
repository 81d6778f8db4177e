#include "platform/core/Autostart.h"

#include "platform/core/DesktopEntry.h"
#include "platform/core/Registry.h"
#include "common/RegistryNames.h"

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

void setAutostart(Registry& registry, const QString& program)
{
    RegistryTransaction transaction(registry.store());
    {
        KeyScope key(registry, RootKey::LocalMachine, regkeys::name(regkeys::kRun), true);
        key->writeString(regkeys::name(regkeys::vAutostart), program);
    }
    setAutostart(program);
    transaction.commit();
}

}  // namespace platform
