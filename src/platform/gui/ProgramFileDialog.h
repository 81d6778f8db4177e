// File dialogs that pick a program to start. Programs here carry no ".exe", so a
// filter that a program's name could match is no help: the first filter offered keeps
// the folders and the files the user may run, whatever their names.
#pragma once

#include <QString>
#include <QStringList>

class QFileDialog;
class QFileInfo;

namespace platform {

// The caption of the first filter, which offers the executable files.
QString programsFilter();

// Whether an entry stays in the list under the programs filter.
bool isListedAsProgram(const QFileInfo& entry);

// Offers the programs filter first (selected), then the given filters, then every file.
void offerProgramsFirst(QFileDialog& dialog, const QStringList& givenFilters);

}  // namespace platform
