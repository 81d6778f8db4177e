// The store as the installation and a first start leave it: every key and value in
// the order the store enumerates them, with its type and data. The other program,
// the registry tool's scripts and the stores already on disk rely on this layout, so
// a change to how the values are written must leave this listing as it is.
#include "dialtally/core/FirstRun.h"
#include "tools/Install.h"
#include "dialtally/core/SessionContext.h"

#include "support/core/CoreFakes.h"
#include "support/core/RegistryShorthand.h"

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

using platform::Registry;
using platform::ValueType;

void dumpKey(Registry& registry, RootKey root, const QString& path, const QString& programFolder, QStringList& out)
{
    registry.setRootKey(root);
    ASSERT_TRUE(registry.openKey(path, false)) << path.toStdString();
    const QString prefix = (root == HKLM ? QStringLiteral("HKLM") : QStringLiteral("HKCU")) + path;
    out << prefix;
    for (const QString& value : registry.getValueNames()) {
        QString line = QStringLiteral("  ") + value + QStringLiteral(" = ");
        switch (registry.valueType(value)) {
        case ValueType::Integer:
            line += QStringLiteral("dword ") + QString::number(registry.readInteger(value));
            break;
        case ValueType::String: {
            const QString text = registry.readString(value);
            line += QStringLiteral("sz \"") + (text == programFolder ? QStringLiteral("<program folder>") : text)
                    + QLatin1Char('"');
            break;
        }
        case ValueType::Binary:
            line += QStringLiteral("binary ") + QString::fromLatin1(registry.readBinary(value).toHex());
            break;
        case ValueType::None:
            line += QStringLiteral("none");
            break;
        }
        out << line;
    }
    const QStringList subKeys = registry.getKeyNames();
    registry.closeKey();
    for (const QString& sub : subKeys)
        dumpKey(registry, root, path + QLatin1Char('\\') + sub, programFolder, out);
}

QStringList dump(Registry& registry, const QString& programFolder)
{
    QStringList out;
    for (RootKey root : {HKLM, HKCU}) {
        registry.setRootKey(root);
        registry.openKey(QString(), false);
        const QStringList top = registry.getKeyNames();
        registry.closeKey();
        for (const QString& key : top)
            dumpKey(registry, root, QLatin1Char('\\') + key, programFolder, out);
    }
    return out;
}

// 15 June 2001 as a day number.
constexpr int kToday = 37057;

const char* const kInstalledAndStarted[] = {
    "HKLM\\Software",
    "HKLM\\Software\\Dialtally",
    "  Program path = sz \"<program folder>\"",
    "  FirstTime = dword 0",
    "  Bug = dword 0",
    "  AntiCrash = dword 1",
    "  Start = dword 0",
    "HKLM\\Software\\Dialtally\\Counter",
    "HKLM\\Software\\Dialtally\\Counter\\All",
    "  Reset = dword 2",
    "  Reset14 = dword 14",
    "  Report = dword 1",
    "  Year = dword 2001",
    "  Month = dword 6",
    "  Day = dword 15",
    "  Double = dword 37057",
    "HKLM\\Software\\Dialtally\\Counter\\Current",
    "  Backup = dword 0",
    "HKLM\\Software\\Dialtally\\Users",
    "  Crash = dword 0",
    "HKLM\\System",
    "HKLM\\System\\CurrentControlSet",
    "HKLM\\System\\CurrentControlSet\\Services",
    "HKLM\\System\\CurrentControlSet\\Services\\RemoteAccess",
    "  Remote Connection = binary 00000000",
    "HKLM\\System\\CurrentControlSet\\control",
    "  Current User = sz \"alice\"",
    "HKCU\\RemoteAccess",
    "  Default = sz \"provider\"",
    "HKCU\\RemoteAccess\\Addresses",
    "  other = sz \"\"",
    "  provider = sz \"\"",
    "HKCU\\Software",
    "HKCU\\Software\\Dialtally",
    "  Connect delay = dword 15",
    "  Minimize = dword 1",
    "  System tray = dword 1",
    "  Logo = dword 1",
    "  User Name = sz \"alice\"",
    "  Maxd = dword 1",
    "  poztop = dword 138",
    "  pozleft = dword 188",
    "HKCU\\Software\\Dialtally\\Email",
    "  On/Off = dword 0",
    "  Minutes = dword 5",
    "  SystemTray = dword 1",
    "  AutoCheck = dword 1",
    "  AutoRestore = dword 0",
    "  AutoClose = dword 0",
    "  AutoMinimize = dword 1",
    "  AutoCloseProgram = dword 1",
    "HKCU\\Software\\Dialtally\\Beep",
    "  Enabled = dword 1",
    "  Interval = dword 15",
    "  Sound = dword 3",
    "HKCU\\Software\\Dialtally\\Exec",
    "  Lines = dword 0",
    "HKCU\\Software\\Dialtally\\Tariffs",
    "  Tariff = dword 1",
    "HKCU\\Software\\Dialtally\\TimeSync",
    "  Servers = dword 6",
    "  Server0 = sz \"time-a-g.nist.gov\"",
    "  Server1 = sz \"time-b-g.nist.gov\"",
    "  Server2 = sz \"time-c-g.nist.gov\"",
    "  Server3 = sz \"time-a-wwv.nist.gov\"",
    "  Server4 = sz \"time-b-wwv.nist.gov\"",
    "  Server5 = sz \"time.nist.gov\"",
    "HKCU\\Software\\Dialtally\\Rozad Izeruveva",
    "  On/Off = dword 0",
    "  Money = dword 0",
    "  Cents = dword 0",
    "  Ch = dword 1",
    "  Reserve = dword 1",
};

QStringList expected(const char* const (&lines)[std::size(kInstalledAndStarted)])
{
    QStringList out;
    for (const char* line : lines)
        out << QString::fromLatin1(line);
    return out;
}

TEST(StoreLayoutTest, InstallationAndFirstStartWriteTheKnownLayout)
{
    CoreEnvironment env;
    env.clock.set(2001, 6, 15, 9, 0, 0);
    ASSERT_EQ(platform::todayDayNumber(), kToday);
    QTemporaryDir peers;
    for (const char* peer : {"provider", "other"}) {
        QFile file(peers.filePath(QString::fromLatin1(peer)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    {
        Registry registry;
        platform::RegistryTransaction transaction;
        tools::writeInstallationValues(registry, env.programFolder());
        tools::addDialUpEntries(registry, peers.path());
        transaction.commit();
    }
    env.setWindowsUser(QStringLiteral("alice"));

    SessionContext context;
    FirstRun firstRun(context);
    firstRun.begin();
    EXPECT_EQ(context.programPath, env.programFolder());

    // A second installation over it keeps every value, and its place.
    {
        Registry registry;
        tools::writeInstallationValues(registry, env.programFolder());
    }
    Registry registry;
    EXPECT_EQ(dump(registry, env.programFolder()), expected(kInstalledAndStarted));
}

}  // namespace
