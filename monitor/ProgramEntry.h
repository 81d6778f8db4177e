// Dialtally's program entry: the windows made at start, in their order, the message
// loop, and their end.
#pragma once

#include "MainWindow.h"

class AboutBox;

// The windows the program entry creates. The splash window is the main window's own:
// it shows while the main window starts up, and nothing asks for it afterwards.
extern MainWindow* mainWindow;
extern AboutBox* aboutBox;

enum class RunMode { MessageLoop, StartOnly };
// StartOnly creates the windows and does everything up to the message loop, then
// returns (the windows stay until FreeWindows()).
int WinMain(RunMode mode = RunMode::MessageLoop, mainwindow::DialogCommands dialogs = {});
void FreeWindows();
