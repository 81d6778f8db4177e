// The report files without the Open report dialog: which files of the folder are
// reports, and how the user's editor is started on one.
#include "dialtally/core/ReportFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(ReportFiles, OnlyOrdinaryReportFilesAreListedAndDeleted)
{
    QTemporaryDir program;
    ASSERT_TRUE(program.isValid());
    const QString folder = reports::reportsFolder(program.path());
    EXPECT_EQ(folder, program.path() + QStringLiteral("/Reports"));
    EXPECT_TRUE(reports::reportFiles(folder).isEmpty());  // no folder yet
    EXPECT_TRUE(reports::deleteReportFiles(folder).isEmpty());

    ASSERT_TRUE(QDir().mkpath(folder + QStringLiteral("/kept.rpt")));  // a folder, not a report
    for (const char* name : {"2000-1-2.rpt", "1999-5-3.rpt", "notes.txt", ".hidden.rpt"}) {
        QFile file(folder + QLatin1Char('/') + QLatin1String(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(reports::reportFiles(folder),
              (QStringList{QStringLiteral("1999-5-3.rpt"), QStringLiteral("2000-1-2.rpt")}));

    EXPECT_TRUE(reports::deleteReportFiles(folder).isEmpty());
    EXPECT_TRUE(reports::reportFiles(folder).isEmpty());
    const QStringList left = QDir(folder).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    EXPECT_EQ(left,
              (QStringList{QStringLiteral(".hidden.rpt"), QStringLiteral("kept.rpt"), QStringLiteral("notes.txt")}));
}

TEST(ReportFiles, TheEditorIsAProgramPathOrACommandLine)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    const QString spaced = folder.filePath(QStringLiteral("my editor"));
    {
        QFile file(spaced);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
    const QString report = QStringLiteral("/r/2000-1-2.rpt");
    struct Case {
        QString editor;
        QString program;
        QStringList arguments;
    } cases[] = {
        {QStringLiteral("notepad.exe"), QStringLiteral("notepad.exe"), {report}},
        {QStringLiteral("gedit --new-window"), QStringLiteral("gedit"), {QStringLiteral("--new-window"), report}},
        {QStringLiteral("\"/opt/My Editor/ed\" -w"),
         QStringLiteral("/opt/My Editor/ed"),
         {QStringLiteral("-w"), report}},
        // An existing file is the program as it stands, spaces and all.
        {spaced, spaced, {report}},
        // Nothing to start: the caller says so rather than starting the report itself.
        {QString(), QString(), {}},
        {QStringLiteral("   "), QString(), {}},
        {QStringLiteral("\"ed -w"), QString(), {}},
    };
    for (const Case& c : cases) {
        const reports::EditorStart start = reports::editorStart(c.editor, report);
        EXPECT_EQ(start.program, c.program) << c.editor.toStdString();
        EXPECT_EQ(start.arguments, c.arguments) << c.editor.toStdString();
    }
}

}  // namespace
