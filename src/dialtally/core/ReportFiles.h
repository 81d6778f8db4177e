// The report files of the program folder without a window: where they are, which
// files of that folder are reports, how the user's editor is started on one, and
// their deletion.
#pragma once

#include <QString>
#include <QStringList>

namespace reports {

inline constexpr const char* kReportMask = "*.rpt";

// The folder the report writer writes into: "Reports" under the program folder.
QString reportsFolder(const QString& programPath);
// Names (without the folder) of the ordinary report files of `folder`, sorted; hidden
// files and folders are not reports.
QStringList reportFiles(const QString& folder);

struct EditorStart {
    QString program;
    QStringList arguments;
};
// How `editor` is started on `file`: a path that names an existing file is the
// program as it stands (a picked editor may have spaces in its path); anything else
// is a command line, split into the program and its own arguments, with the file
// last. No program when the command is empty or its quotes do not close.
EditorStart editorStart(const QString& editor, const QString& file);

// Deletes the ordinary report files of `folder`; gives the paths that stay.
QStringList deleteReportFiles(const QString& folder);

}  // namespace reports
