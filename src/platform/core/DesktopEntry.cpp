#include "platform/core/DesktopEntry.h"

#include "platform/core/SaveFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace platform {

namespace {

QString baseFolder(const char* variable, const char* fallback)
{
    QString base = qEnvironmentVariable(variable);
    if (base.isEmpty() || QDir::isRelativePath(base))
        return QDir::homePath() + QLatin1Char('/') + QString::fromLatin1(fallback);
    return base;
}

}  // namespace

QString xdgConfigHome()
{
    return baseFolder("XDG_CONFIG_HOME", ".config");
}

QString xdgDataHome()
{
    return baseFolder("XDG_DATA_HOME", ".local/share");
}

DesktopEntry dialtallyEntry(const QString& program)
{
    return {QStringLiteral("Dialtally"),
            QStringLiteral("Counts the time and the cost of your dial-up connections"),
            program,
            QStringLiteral("dialtally"),
            {QStringLiteral("Network"), QStringLiteral("Dialup")}};
}

DesktopEntry postpeekEntry(const QString& program)
{
    return {QStringLiteral("Postpeek"),
            QStringLiteral("Lists the messages waiting in your POP3 mailboxes"),
            program,
            QStringLiteral("postpeek"),
            {QStringLiteral("Network"), QStringLiteral("Email")}};
}

QString desktopStringValue(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        switch (c.unicode()) {
        case '\\':
            out += QStringLiteral("\\\\");
            break;
        case '\n':
            out += QStringLiteral("\\n");
            break;
        case '\t':
            out += QStringLiteral("\\t");
            break;
        case '\r':
            out += QStringLiteral("\\r");
            break;
        default:
            out += c;
        }
    }
    // A leading blank would be taken for the space around "=".
    if (out.startsWith(QLatin1Char(' ')))
        out.replace(0, 1, QStringLiteral("\\s"));
    return out;
}

QString desktopExecValue(const QString& program)
{
    // The argument rules first, then the string escapes over the result: a backslash
    // in the path ends up as four.
    static const QString reserved = QStringLiteral(" \t\n\"'\\><~|&;$*?#()`");
    QString argument;
    bool quote = program.isEmpty();
    for (const QChar c : program) {
        if (reserved.contains(c))
            quote = true;
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            argument += QLatin1Char('\\');
        // A per cent sign would start a field code.
        if (c == QLatin1Char('%'))
            argument += QLatin1Char('%');
        argument += c;
    }
    if (quote)
        argument = QLatin1Char('"') + argument + QLatin1Char('"');
    return desktopStringValue(argument);
}

QByteArray desktopEntryText(const DesktopEntry& entry)
{
    QString text = QStringLiteral("[Desktop Entry]\nType=Application\n");
    text += QStringLiteral("Name=") + desktopStringValue(entry.name) + QLatin1Char('\n');
    text += QStringLiteral("Comment=") + desktopStringValue(entry.comment) + QLatin1Char('\n');
    text += QStringLiteral("Exec=") + desktopExecValue(entry.program) + QLatin1Char('\n');
    text += QStringLiteral("Icon=") + desktopStringValue(entry.icon) + QLatin1Char('\n');
    text += QStringLiteral("Terminal=false\n");
    if (!entry.categories.isEmpty())
        text += QStringLiteral("Categories=") + entry.categories.join(QLatin1Char(';')) + QStringLiteral(";\n");
    return text.toUtf8();
}

bool writeDesktopEntry(const QString& file, const DesktopEntry& entry, QString* error)
{
    const QString folder = QFileInfo(file).absolutePath();
    if (!QDir().mkpath(folder)) {
        if (error)
            *error = QStringLiteral("Cannot create the folder \"%1\"").arg(folder);
        return false;
    }
    QSaveFile out(file);
    const QByteArray text = desktopEntryText(entry);
    QString reason;
    // Readable by all, as a menu entry is; writable by its owner alone, whatever the
    // umask or the mode of an entry it replaces.
    if (!out.open(QIODevice::WriteOnly)
        || !out.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ReadGroup
                               | QFileDevice::ReadOther)
        || out.write(text) != text.size()) {
        reason = out.errorString();
        out.cancelWriting();
    }
    if (!commitWhole(out, reason.isEmpty() ? &reason : nullptr)) {
        if (error)
            *error = QStringLiteral("Cannot write \"%1\": %2").arg(file, reason);
        return false;
    }
    return true;
}

}  // namespace platform
