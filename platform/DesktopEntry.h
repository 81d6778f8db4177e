// The desktop's entries for the two programs (freedesktop.org Desktop Entry files):
// the menu entries the installation writes, and the autostart entry that stands in
// for the Windows "Run" list.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace platform {

// The XDG base folders; an unset or relative value gives the default, as the base
// directory rules say (~/.config, ~/.local/share).
QString xdgConfigHome();
QString xdgDataHome();

struct DesktopEntry {
    QString name;
    QString comment;
    QString program;  // the executable's path, run without arguments
    QString icon;  // a name in the icon theme
    QStringList categories;
};

// The entries of Dialtally and Postpeek for a program at `program`.
DesktopEntry dialtallyEntry(const QString& program);
DesktopEntry postpeekEntry(const QString& program);

// The Exec value that runs `program` with no arguments: quoted when it holds a
// reserved character, then escaped as every string value is.
QString desktopExecValue(const QString& program);
// A value of type string (Name, Comment, Icon): backslash, newline, tab, return escaped.
QString desktopStringValue(const QString& text);
QByteArray desktopEntryText(const DesktopEntry& entry);

// Writes the file through a temporary file and a rename, so a desktop reading it
// never sees half an entry. False with the reason in `error` when it cannot.
bool writeDesktopEntry(const QString& file, const DesktopEntry& entry, QString* error);

// $XDG_CONFIG_HOME/autostart/dialtally.desktop: the desktop starts it at log-in.
QString autostartEntryFile();

// Follows the "Run" value: a command writes the autostart entry that runs it, an empty
// one (or no value at all) removes the entry. Raises RegistryError when the entry can
// be neither written nor removed, so that the write that asked for it fails too.
void mirrorAutostartEntry(const QString& command);

}  // namespace platform
