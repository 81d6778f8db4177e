// dialtally-install: lays out the program folder and writes the machine-wide values
// that both programs read before anything of theirs writes them. Run again, it
// updates the folder and "Program path" and keeps every counter and setting.
#pragma once

#include "platform/gui/ProgramIcons.h"
#include "platform/core/Registry.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>
#include <stdexcept>

namespace tools {

class InstallError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct InstallOptions {
    QString prefix;  // the program folder; empty: defaultProgramFolder()
    QString buildDir;  // holds dialtally/Dialtally and postpeek/Postpeek
    QString sourceDir;  // holds "doc/Dialtally Help.html"; empty: no help copied
    QString peersDir = QStringLiteral("/etc/ppp/peers");
    QString dataHome;  // where the menu entries and icons go; empty: $XDG_DATA_HOME
};

// $XDG_DATA_HOME/dialtally, default ~/.local/share/dialtally.
QString defaultProgramFolder();

// Runs the whole installation; returns notes for the user (what was skipped and why).
// Raises InstallError (or platform::RegistryError) when a step fails.
QStringList install(const InstallOptions& options);

// The machine-wide values: "Program path" always, every other value only when missing.
// Returns notes about values found with another type (left as they are).
QStringList writeInstallationValues(platform::Registry& registry, const QString& programFolder);

// One value name under HKCU "\RemoteAccess\Addresses" per pppd peer file in peersDir,
// and "Default" := "provider" when that peer exists and "Default" is empty. Entries
// made by hand stay. Returns the peer names found.
QStringList addDialUpEntries(platform::Registry& registry, const QString& peersDir);

// The desktop's menu entries for the programs in programFolder, with their icons, under
// dataHome: applications/dialtally.desktop and postpeek.desktop, and the icons as
// icons/hicolor/<n>x<n>/apps/dialtally.png and postpeek.png. A program that is not in
// the folder gets no entry, and one left by an earlier installation is removed.
// Returns the entry files written.
QStringList writeMenuEntries(const QString& programFolder, const QString& dataHome);
inline constexpr const auto& kIconSizes = platform::kIconSizes;

// The alarm "media\signal.wav": a short two-tone alarm, 16-bit PCM mono.
QByteArray alarmWave();

// The default program folder of user: defaultProgramFolder() for the running user,
// ~user/.local/share/dialtally for another. Raises InstallError for an unknown user.
QString programFolderOf(const QString& user);

// Whether user may execute path, every folder on the way included. Empty when that
// cannot be known: an unknown user, or another user while not running as root.
std::optional<bool> userCanRun(const QString& user, const QString& path);

// Why someone other than root and user could change what path runs: the file or a
// folder on its way (the path as named, and the one its links lead to) belonging to
// another user, or writable by its group or by anyone. Empty when no one can.
QString changeableByOthers(const QString& user, const QString& path);

// The pppd hooks that report the line to the store: DIR/ip-up.d/dialtally and
// DIR/ip-down.d/dialtally, running regTool as user. pppd runs them as root, so they
// are refused (InstallError) when user cannot run regTool, and when anyone but root
// and user could change it (changeableByOthers). Returns the files written.
QStringList writePppHooks(const QString& dir, const QString& user, const QString& regTool);

// The command line of dialtally-install without the program name. Empty fields take
// the defaults of the caller (the build's folders, the running user).
struct InstallCommand {
    InstallOptions options;
    bool help = false;
    bool pppHooks = false;  // --ppp-hooks: write the hooks and nothing else
    QString pppHooksDir = QStringLiteral("/etc/ppp");
    QString user;
    QString regTool;
};
std::optional<InstallCommand> parseInstallArguments(const QStringList& arguments, QString& error);
QString installUsage();

// A word for a POSIX shell: single-quoted unless it needs no quoting.
QString shellQuoted(const QString& word);

}  // namespace tools
