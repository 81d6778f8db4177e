// Dialtally started as its entry point starts it, up to the message loop, for the tests
// that drive the whole program: one owner of the windows at a time, reached from the
// tests' own helpers and lambdas.
#pragma once

#include "dialtally/gui/ProgramWindows.h"

#include <memory>

namespace testing_support {

inline std::unique_ptr<ProgramWindows> startedProgram;
// The started program's main window; null when none runs.
inline MainWindow* mainWindow = nullptr;

// Ends the running program's windows, as the entry point's end does.
inline void endProgram()
{
    startedProgram.reset();
    mainWindow = nullptr;
}

// Starts the program afresh with these dialogs, after ending the one that runs.
inline void startProgram(mainwindow::DialogCommands dialogs = {})
{
    endProgram();
    startedProgram = std::make_unique<ProgramWindows>();
    startedProgram->run(ProgramWindows::RunMode::StartOnly, std::move(dialogs));
    mainWindow = startedProgram->mainWindow();
}

}  // namespace testing_support
