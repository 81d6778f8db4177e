// Dialtally's main window: it shows what the monitoring session counts, carries the
// menus, the toolbar and the tray menu, and shows the session's messages. The counting
// itself is the session's (MonitoringSession); the dialogs are plugged in by the
// program entry, and the windows' owner is ProgramWindows.
#pragma once

#include "dialtally/core/MonitoringSession.h"
#include "common/TrayConstants.h"
#include "dialtally/gui/TrayController.h"

#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QToolBar;
class QToolButton;
class MainWindow;
class AboutBox;

namespace mainwindow {

// Indexes into MainWindow::icons.
enum ImageIndex {
    kImageNotConnected = 0,
    kImageConnected = 1,
    kImageHoliday = 2,
    kImageMonitoringOn = 3,
    kImageMonitoringOff = 4,
};

// ---- the commands of the dialogs ----------------------------------------------------
// The dialogs build on the main window, so it can't name them: the program entry fills
// in these commands. A command left empty keeps its menu items and buttons disabled.
enum class PreferencesPage { Startup, Budget };
using WindowFactory = std::function<std::unique_ptr<QWidget>(MainWindow&)>;
using Command = std::function<void(MainWindow&)>;
struct DialogCommands {
    // The dialogs made on their first use, which then live as long as their owner
    // (ProgramWindows).
    WindowFactory createPreferences;
    WindowFactory createBeep;
    WindowFactory createCounter;
    WindowFactory createStatistics;
    WindowFactory createOpenReport;

    std::function<void(MainWindow&, PreferencesPage)> showPreferences;
    Command showBeep;  // modal; the session then takes over the settings
    Command showCounter;
    Command showStatistics;
    Command showOpenReport;
    Command deleteAllReports;
    // Created for each use.
    Command openProviders;
    Command openTariffs;
    Command openConnections;
    Command openGraphs;
    Command openTimeSync;
    // What the dialogs store and say at every start, though they are made later: run
    // once the main window has started up.
    Command prepareAtStart;

    // Ends the message loop with the exit code; empty ends QApplication's loop.
    std::function<void(int)> postQuit;
};

}  // namespace mainwindow

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(mainwindow::DialogCommands dialogs = {}, QWidget* parent = nullptr);
    ~MainWindow() override;

    MonitoringSession& session() { return m_session; }
    TrayController& tray() { return m_tray; }
    const mainwindow::DialogCommands& dialogs() const { return m_dialogs; }
    // Plugs in other dialogs; the commands follow at once.
    void setDialogCommands(mainwindow::DialogCommands dialogs);
    // The About box that "&About ..." shows, asked for when it is shown; its owner
    // keeps it.
    void setAboutBox(std::function<AboutBox&()> box) { m_aboutBox = std::move(box); }
    // The pictures of the line's and the toolbar's states.
    const QIcon& stateIcon(mainwindow::ImageIndex index) const { return m_icons[index]; }

    // ---- what the user does ------------------------------------------------------------
    // Start-up after the window's creation: splash, the session's start, the tray icon,
    // the window's place, the timer and the automatic counter reset.
    void startUp();
    void hideTaskbarButtonInTray();
    void activated();
    void restoreFromTray();
    void hideProgram();
    void showHelp();
    void showAbout();
    // Asks, runs the closing steps and ends the program.
    void exitProgram();
    void showPreferences();
    void showBudgetPreferences();
    void openProviders();
    void openTariffs();
    void openConnections();
    void openGraphs();
    void openTimeSync();
    void showCounter();
    void showStatistics();
    void showOpenReport();
    void showBeep();
    void deleteAllReports();
    void resetCounter();
    void createReport();
    void openMailChecker();
    void checkMailNow();
    void toggleHoliday();
    void toggleMonitoring();
    // A click on the tray icon: the window back, or the tray menu.
    void trayClicked(tray::Click click);

    // Asks before the program ends; true when it may end (the closing steps have run).
    bool confirmExit();
    // Saves a counted connection, clears the crash marker, saves the window position
    // and removes the tray icon.
    void runClosingSteps();

    // A message raised during a tick waits until the tick has finished and is then
    // shown from the event loop, so the tick never waits for the user and the timer
    // goes on while the box is open. A text already waiting or open is not added.
    void deferMessage(const QString& text, bool exception);
    void showDeferredMessages();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildCommands();
    void refreshCommands();
    void connectSession();
    // Shows the session's state: the labels, the title, the tooltip and the tray tip.
    void render();
    void showError(const QString& text);
    void showFailure(const QString& text);
    void welcomeNewUser();
    void postQuit();
    void run(const mainwindow::Command& command);
    // The enabled command whose shortcut is this key, if any.
    QAction* commandForKey(const QKeyEvent& key) const;

    // ---- controls -----------------------------------------------------------------
    QGroupBox* lineBox = nullptr;  // its title is the line's state
    QLabel* elapsedLabel = nullptr;
    QLabel* connectionFeeLabel = nullptr;
    QLabel* providerLabel = nullptr;
    QLabel* periodFeeLabel = nullptr;
    QLabel* clockLabel = nullptr;
    QLabel* userLabel = nullptr;
    QLabel* connectedImage = nullptr;
    QLabel* notConnectedImage = nullptr;
    QLabel* periodTimeLabel = nullptr;
    QLabel* periodStartLabel = nullptr;
    QLabel* nextResetLabel = nullptr;
    QLabel* averagePerDayLabel = nullptr;
    QLabel* budgetLeftLabel = nullptr;
    QPushButton* hideButton = nullptr;
    QPushButton* exitButton = nullptr;
    QToolButton* mailCheckerButton = nullptr;
    QToolButton* timeSyncButton = nullptr;
    QToolButton* monitoringButton = nullptr;
    QToolButton* holidayButton = nullptr;
    QToolBar* toolBar = nullptr;
    QMenu* trayMenu = nullptr;

    // Made before the session and the tray, which take two of them.
    std::array<QIcon, 5> m_icons;
    mainwindow::DialogCommands m_dialogs;
    MonitoringSession m_session;
    TrayController m_tray;
    std::function<AboutBox&()> m_aboutBox;
    // The commands whose enabled state follows the dialog commands.
    std::vector<std::pair<QAction*, void (MainWindow::*)()>> m_commands;
    std::vector<std::pair<QWidget*, void (MainWindow::*)()>> m_commandButtons;
    struct DeferredMessage {
        QString text;
        bool exception = false;  // shown by the standard exception display
    };
    std::deque<DeferredMessage> m_deferredMessages;
    QStringList m_openMessages;
    bool m_showPosted = false;
};
