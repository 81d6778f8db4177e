// Dialtally's windows and their owner: it makes the main window at start, the About
// box and the dialogs that live to the end when they are first asked for, hands them
// out, and frees them in order when it goes.
#pragma once

#include "dialtally/gui/MainWindow.h"

#include <QPointer>

#include <array>
#include <memory>

class AboutBox;

class ProgramWindows {
public:
    // The dialogs kept from their first use to the end; each one's factory is the
    // matching create* of the dialog commands.
    enum class Kept { Preferences, Beep, Counter, Statistics, OpenReport };
    static constexpr std::size_t kKeptCount = 5;

    enum class RunMode { MessageLoop, StartOnly };

    ProgramWindows();
    // The dialogs first, newest first, then the About box, then the main window.
    ~ProgramWindows();
    ProgramWindows(const ProgramWindows&) = delete;
    ProgramWindows& operator=(const ProgramWindows&) = delete;

    // Makes the main window with these commands and starts it up. StartOnly does
    // everything up to the message loop and returns; the windows stay until the owner
    // goes. Returns the program's exit code.
    int run(RunMode mode, mainwindow::DialogCommands dialogs = {});

    MainWindow* mainWindow() const { return m_mainWindow.get(); }
    // Made on first ask.
    AboutBox& aboutBox();
    // Made by its factory on first ask; null without a factory or when the making
    // failed (the error is shown, and the next ask tries again).
    QWidget* dialog(Kept which);
    template <class Dialog>
    Dialog* dialog(Kept which)
    {
        return qobject_cast<Dialog*>(dialog(which));
    }

private:
    std::unique_ptr<MainWindow> m_mainWindow;
    std::unique_ptr<AboutBox> m_aboutBox;
    std::array<mainwindow::WindowFactory, kKeptCount> m_factories;
    std::array<QPointer<QWidget>, kKeptCount> m_kept;
    // In making order. Guarded, since a factory may give its window a parent that
    // deletes it first.
    std::vector<QPointer<QWidget>> m_made;
};
