// Dialtally: the dial-up connection monitor.
#include "platform/gui/Application.h"
#include "platform/core/Registry.h"
#include "platform/gui/SessionEnd.h"
#include "platform/core/SingleInstance.h"
#include "dialtally/gui/TariffProfilesDialog.h"
#include "dialtally/gui/TimeSyncDialog.h"
#include "dialtally/gui/OpenReportDialog.h"
#include "dialtally/gui/GraphsDialog.h"
#include "dialtally/gui/StatisticsDialog.h"
#include "dialtally/gui/BeepDialog.h"
#include "dialtally/gui/MainWindow.h"
#include "dialtally/gui/ProgramWindows.h"
#include "dialtally/core/ProgramInfo.h"
#include "dialtally/gui/StartUpLoads.h"
#include "dialtally/gui/ConnectionsDialog.h"
#include "dialtally/gui/PreferencesDialog.h"
#include "dialtally/gui/CounterDialog.h"
#include "dialtally/gui/ProvidersDialog.h"

#include <QApplication>
#include <QPointer>
#include <QFileInfo>
#include <QTabWidget>

#include <cstdio>
#include <memory>
#include <type_traits>

namespace {

using Kept = ProgramWindows::Kept;

template <class Dialog>
mainwindow::WindowFactory madeOnce()
{
    return [](MainWindow& mainWindow) -> std::unique_ptr<QWidget> {
        if constexpr (std::is_constructible_v<Dialog, MonitoringSession&, TrayController&>)
            return std::make_unique<Dialog>(mainWindow.session(), mainWindow.tray());
        else
            return std::make_unique<Dialog>(mainWindow.session());
    };
}

// The tray menu stays open to the user while a dialog is shown, so a command can ask
// for a dialog that is already open: it comes to the front instead, so that no second
// editor of the same settings overwrites what the first one saves.
bool raiseIfOpen(QWidget* dialog)
{
    if (!dialog || !dialog->isVisible())
        return false;
    dialog->raise();
    dialog->activateWindow();
    return true;
}

mainwindow::Command showModal(ProgramWindows& windows, Kept which)
{
    return [&windows, which](MainWindow&) {
        QDialog* dialog = windows.dialog<QDialog>(which);
        if (dialog && !raiseIfOpen(dialog))
            dialog->exec();
    };
}

// A dialog made for one use and freed when it closes.
template <class Dialog>
mainwindow::Command madeForEachUse()
{
    return [](MainWindow& mainWindow) {
        static QPointer<Dialog> open;
        if (raiseIfOpen(open))
            return;
        Dialog dialog(mainWindow.session(), &mainWindow);
        open = &dialog;
        dialog.exec();
    };
}

mainwindow::DialogCommands dialogCommands(ProgramWindows& windows)
{
    mainwindow::DialogCommands hooks;
    hooks.createPreferences = madeOnce<PreferencesDialog>();
    hooks.createBeep = madeOnce<BeepDialog>();
    hooks.createCounter = madeOnce<CounterDialog>();
    hooks.createStatistics = madeOnce<StatisticsDialog>();
    hooks.createOpenReport = madeOnce<OpenReportDialog>();

    hooks.showPreferences = [&windows](MainWindow&, mainwindow::PreferencesPage page) {
        auto* preferencesDialog = windows.dialog<PreferencesDialog>(Kept::Preferences);
        if (!preferencesDialog || raiseIfOpen(preferencesDialog))
            return;
        preferencesDialog->showPage(page);
        preferencesDialog->exec();
    };
    hooks.showBeep = showModal(windows, Kept::Beep);
    hooks.showCounter = showModal(windows, Kept::Counter);
    hooks.showStatistics = showModal(windows, Kept::Statistics);
    hooks.showOpenReport = showModal(windows, Kept::OpenReport);
    // Preferences loads its settings and Open report prepares the reports folder and
    // the editor when they are made: both stored what they lacked, and said what was
    // wrong, at every start when they were made there. Their loads run at start still,
    // without the windows: making them filled caches of the style and the fonts that a
    // program in the tray keeps for its whole life.
    hooks.prepareAtStart = [](MainWindow& mainWindow) { prepareDialogsAtStart(mainWindow.session()); };
    hooks.deleteAllReports = [](MainWindow& mainWindow) { DeleteAllReports(mainWindow.session().programPath()); };

    hooks.openProviders = madeForEachUse<ProvidersDialog>();
    hooks.openTariffs = madeForEachUse<TariffProfilesDialog>();
    hooks.openConnections = madeForEachUse<ConnectionsDialog>();
    hooks.openGraphs = madeForEachUse<GraphsDialog>();
    hooks.openTimeSync = madeForEachUse<TimeSyncDialog>();
    return hooks;
}

}  // namespace

int main(int argc, char** argv)
{
    if (!platform::displayAvailable()) {
        std::fprintf(stderr, "Dialtally needs a graphical display, and none was found (DISPLAY and "
                             "WAYLAND_DISPLAY are not set).\n"
                             "Run it from a desktop session, or under a virtual display:\n"
                             "    xvfb-run -a Dialtally\n");
        return 1;
    }
    QApplication application(argc, argv);
    // The menu entry's name, so that docks and taskbars match the windows to the entry
    // and its icon (the Wayland app id).
    QGuiApplication::setDesktopFileName(QStringLiteral("dialtally"));
    // One copy per user: a second one would count every connection again. A later start
    // (a click on the menu entry while this one hides in the tray, autostart and a start
    // by hand) shows the running copy's window and ends before it touches the store.
    platform::SingleInstance instance(QFileInfo(platform::defaultRegistryFile()).absolutePath());
    QString claimDetail;
    switch (instance.claim(&claimDetail)) {
    case platform::SingleInstance::Claim::First:
        break;
    case platform::SingleInstance::Claim::HandedOver:
        return 0;
    case platform::SingleInstance::Claim::OtherDidNotAnswer:
        std::fprintf(stderr, "%s\n", qPrintable(claimDetail));
        return 1;
    case platform::SingleInstance::Claim::Unguarded:
        std::fprintf(stderr, "%s; a second copy of Dialtally cannot be noticed.\n", qPrintable(claimDetail));
        break;
    }
    ProgramWindows windows;
    QObject::connect(&instance, &platform::SingleInstance::showRequested, [&windows] {
        // As a tray restore shows it; a request during the start-up waits for nothing.
        if (MainWindow* mainWindow = windows.mainWindow())
            platform::guard([mainWindow] { mainWindow->restoreFromTray(); });
    });
    platform::watchSessionEnd();
    // Only the exit paths end the program, after their closing steps: in the tray the
    // main window is hidden, and a message box closing would otherwise be taken for the
    // last window going away.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::Application::instance().setTitle(QString::fromLatin1(program::kApplicationTitle));
    // Only the installation makes the store: a missing one is said, with its name,
    // before a new empty store could take the place of the user's settings.
    platform::setProcessStoreOpening(platform::StoreOpening::ExistingOnly);
    // The programs look for the user's name in the store, and no log-on puts it there
    // on this system: written before anything reads it.
    const bool ready = platform::guard([] {
        platform::Registry registry;
        platform::recordLogOnUser(registry);
    });
    if (!ready)
        return 1;
    // The windows go, with the owner, while the application object still exists.
    return windows.run(ProgramWindows::RunMode::MessageLoop, dialogCommands(windows));
}
