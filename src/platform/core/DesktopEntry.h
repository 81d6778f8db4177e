// The desktop's entries for the two programs (freedesktop.org Desktop Entry files):
// the menu entries the installation writes and the autostart entry.
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

}  // namespace platform
