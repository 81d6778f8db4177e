// Dialtally: the dial-up connection monitor.
#include "Application.h"
#include "Registry.h"
#include "SessionEnd.h"
#include "Tariffoptions.h"
#include "Times.h"
#include "Unit10.h"
#include "Unit13.h"
#include "Unit9.h"
#include "beep.h"
#include "counter.h"
#include "fee.h"
#include "pref.h"
#include "reset.h"
#include "tariff.h"

#include <QApplication>
#include <QPointer>
#include <QTabWidget>

#include <cstdio>
#include <memory>

namespace {

// The dialogs made once at start; the main window unit owns them and frees them at
// the end, so these only find them again.
QPointer<TForm2> Form2;
QPointer<TForm4> Form4;
QPointer<TForm6> Form6;
QPointer<TForm9> Form9;
QPointer<TForm10> Form10;

template <class Dialog>
counter::WindowFactory madeOnce(QPointer<Dialog>& slot)
{
    return [&slot](TForm1& mainWindow) -> std::unique_ptr<QWidget> {
        auto dialog = std::make_unique<Dialog>(mainWindow);
        slot = dialog.get();
        return dialog;
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

template <class Dialog>
counter::Command showModal(QPointer<Dialog>& slot)
{
    return [&slot](TForm1&) {
        if (slot && !raiseIfOpen(slot))
            slot->exec();
    };
}

// A dialog made for one use and freed when it closes.
template <class Dialog>
counter::Command madeForEachUse()
{
    return [](TForm1& mainWindow) {
        static QPointer<Dialog> open;
        if (raiseIfOpen(open))
            return;
        Dialog dialog(mainWindow, &mainWindow);
        open = &dialog;
        dialog.exec();
    };
}

void plugInDialogs()
{
    auto& hooks = counter::dialogHooks();
    hooks.createPreferences = madeOnce(Form2);
    hooks.createBeep = madeOnce(Form4);
    hooks.createCounter = madeOnce(Form6);
    hooks.createStatistics = madeOnce(Form9);
    hooks.createOpenReport = madeOnce(Form10);

    hooks.showPreferences = [](TForm1&, counter::PreferencesPage page) {
        if (!Form2 || raiseIfOpen(Form2))
            return;
        Form2->PageControl1->setCurrentWidget(page == counter::PreferencesPage::Budget ? Form2->TabSheet5
                                                                                       : Form2->Startup);
        Form2->exec();
    };
    hooks.showBeep = showModal(Form4);
    hooks.showCounter = showModal(Form6);
    hooks.showStatistics = showModal(Form9);
    hooks.showOpenReport = showModal(Form10);
    hooks.deleteAllReports = [](TForm1& mainWindow) { DeleteAllReports(mainWindow); };

    hooks.openProviders = madeForEachUse<TForm3>();
    hooks.openTariffs = madeForEachUse<TForm5>();
    hooks.openConnections = madeForEachUse<TForm7>();
    hooks.openGraphs = madeForEachUse<TForm13>();
    hooks.openTimeSync = madeForEachUse<TForm14>();
}

void unitsInit()
{
    PreferencesUnitInit();
    ProvidersUnitInit();
    TariffsUnitInit();
    ReportsUnitInit();
    TimeSyncUnitInit();
}

}  // namespace

int main(int argc, char** argv)
{
    if (!platform::displayAvailable()) {
        std::fprintf(stderr,
                     "Dialtally needs a graphical display, and none was found (DISPLAY and "
                     "WAYLAND_DISPLAY are not set).\n"
                     "Run it from a desktop session, or under a virtual display:\n"
                     "    xvfb-run -a Dialtally\n");
        return 1;
    }
    QApplication application(argc, argv);
    platform::watchSessionEnd();
    // Only the exit paths end the program, after their closing steps: in the tray the
    // main window is hidden, and a message box closing would otherwise be taken for the
    // last window going away.
    QApplication::setQuitOnLastWindowClosed(false);
    platform::Application::instance().setTitle(QString::fromLatin1(counter::kApplicationTitle));
    // What Windows does at log-on: the user's name where the programs look for it.
    const bool ready = platform::guard([] {
        platform::Registry registry;
        platform::recordLogOnUser(registry);
    });
    if (!ready)
        return 1;
    unitsInit();
    plugInDialogs();
    const int code = WinMain();
    // The windows go while the application object still exists.
    FreeWindows();
    ReportsUnitDone();
    return code;
}
