#include "ProgramEntry.h"

#include "AboutBox.h"
#include "Application.h"
#include "ProgramInfo.h"
#include "Registry.h"
#include "RegistryNames.h"
#include "SessionEnd.h"

#include <QApplication>
#include <QPointer>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <memory>
#include <vector>

MainWindow* mainWindow = nullptr;
AboutBox* aboutBox = nullptr;

namespace {

constexpr int kTrimAfterStartMs = 3000;

// The dialogs created at start, in creation order. Guarded pointers, since a factory
// may give its window a parent that deletes it first.
std::vector<QPointer<QWidget>> startWindows;

// Each window's creation is an action of its own, as the main window's is: an error
// in one is shown and the next window is still created.
void createStartWindow(const mainwindow::WindowFactory& factory)
{
    if (!factory)
        return;
    platform::guard([&] {
        std::unique_ptr<QWidget> window = factory(*mainWindow);
        if (window)
            startWindows.emplace_back(window.release());
    });
}

}  // namespace

int WinMain(RunMode mode, mainwindow::DialogCommands dialogs)
{
    platform::guard([mode, &dialogs] {
        auto& app = platform::Application::instance();
        app.setTitle(QString::fromLatin1(program::kApplicationTitle));

        mainWindow = new MainWindow(std::move(dialogs));
        app.setMainWindow(mainWindow);
        platform::guard([] { mainWindow->startUp(); });
        // Providers, Connections, Tariffs Options, Graphs and Time synchronization are
        // made for each use; the others live from here to the end, and some read the
        // registry when they are made (Preferences reads "Start", Open report writes a
        // missing "Editor"), so the order counts.
        const mainwindow::DialogCommands& commands = mainWindow->dialogs();
        createStartWindow(commands.createPreferences);
        createStartWindow(commands.createBeep);
        createStartWindow(commands.createCounter);
        platform::guard([] {
            aboutBox = new AboutBox();
            mainWindow->setAboutBox(aboutBox);
        });
        createStartWindow(commands.createStatistics);
        createStartWindow(commands.createOpenReport);

        mainWindow->show();

        platform::Registry registry;
        registry.setRootKey(platform::RootKey::CurrentUser);
        registry.openKey(QString::fromLatin1(regkeys::kSoftware), false);
        const int minimize = registry.readInteger(QString::fromLatin1(regkeys::vMinimize));
        registry.closeKey();
        if (minimize != 0)
            app.minimize();

        // A session that ended during the start-up closed the window already.
        if (mode == RunMode::MessageLoop && !platform::sessionEnded()) {
#if defined(__GLIBC__)
            // The start-up (the logo, the windows' first layouts, the tray icon's first
            // pictures) leaves freed memory spread over the heap, which the allocator
            // keeps for the program's whole life in the tray: given back once the first
            // pictures are on the screen.
            QTimer::singleShot(kTrimAfterStartMs, [] { malloc_trim(0); });
#endif
            QApplication::exec();
        }
    });
    return 0;
}

void FreeWindows()
{
    auto& app = platform::Application::instance();
    if (app.mainWindow() == mainWindow)
        app.setMainWindow(nullptr);
    while (!startWindows.empty()) {
        delete startWindows.back().data();
        startWindows.pop_back();
    }
    if (mainWindow)
        mainWindow->setAboutBox(nullptr);
    delete aboutBox;
    aboutBox = nullptr;
    delete mainWindow;
    mainWindow = nullptr;
}
