#include "dialtally/core/ReportFiles.h"

#include "platform/core/Process.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace reports {

namespace {

QDir::Filters reportEntries()
{
    // Ordinary files only: no folders, no hidden files (QDir leaves those out unless
    // asked).
    return QDir::Files;
}

}  // namespace

QString reportsFolder(const QString& programPath)
{
    // The same folder as the report writer's, so what it writes is what is listed.
    return programPath + QStringLiteral("/Reports");
}

QStringList reportFiles(const QString& folder)
{
    QDir dir(folder);
    if (!dir.exists())
        return {};
    return dir.entryList({QString::fromLatin1(kReportMask)}, reportEntries(), QDir::Name);
}

EditorStart editorStart(const QString& editor, const QString& file)
{
    QStringList words;
    if (!editor.isEmpty() && QFileInfo(editor).isFile())
        words << editor;
    else
        words = platform::splitCommandLine(editor);
    if (words.isEmpty())
        return {};
    return {words.constFirst(), words.mid(1) << file};
}

QStringList deleteReportFiles(const QString& folder)
{
    QStringList left;
    QDir dir(folder);
    if (!dir.exists())
        return left;
    for (const QString& name : dir.entryList({QString::fromLatin1(kReportMask)}, reportEntries())) {
        const QString path = dir.filePath(name);
        if (!QFile::remove(path))
            left << path;
    }
    return left;
}

}  // namespace reports
