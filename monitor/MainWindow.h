// The main window unit: program entry, start-up, the one-second tick with its
// connection state machine, counting and charging, the tray icon, crash recovery and
// the counter period. Logic that needs no window is in plain functions of
// namespace counter, so it can be tested without one.
#pragma once

#include "Beeper.h"
#include "Budget.h"
#include "Charging.h"
#include "CounterPeriod.h"
#include "Formats.h"
#include "History.h"
#include "LocalTime.h"
#include "ProgramInfo.h"
#include "Report.h"
#include "Sound.h"
#include "TrayConstants.h"


#include <QIODevice>
#include <QIcon>
#include <QMainWindow>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QGroupBox;
class QKeyEvent;
class QLabel;
class QMenu;
class QPushButton;
class QTimer;
class QToolBar;
class QToolButton;
class MainWindow;
class SplashWindow;
class AboutBox;

namespace platform {
class Registry;
}

namespace counter {

// Indexes into MainWindow::ImageList1.
enum ImageIndex {
    kImageNotConnected = 0,
    kImageConnected = 1,
    kImageHoliday = 2,
    kImageMonitoringOn = 3,
    kImageMonitoringOff = 4,
};

// ---- the commands of the dialog units ---------------------------------------------
// The dialogs live in units that build on this one, so this unit can't name them: the
// program entry fills in these hooks. A command whose hook is empty keeps its menu
// items and buttons disabled.
enum class PreferencesPage { Startup, Budget };
using WindowFactory = std::function<std::unique_ptr<QWidget>(MainWindow&)>;
using Command = std::function<void(MainWindow&)>;
struct DialogHooks {
    // The windows created once at start, after the main window, in this order around
    // the splash and About box: Preferences, Beep, Counter, [splash, About],
    // Statistics, Open report. They live until FreeWindows().
    WindowFactory createPreferences;
    WindowFactory createBeep;
    WindowFactory createCounter;
    WindowFactory createStatistics;
    WindowFactory createOpenReport;

    std::function<void(MainWindow&, PreferencesPage)> showPreferences;
    Command showBeep;        // modal; the main window then takes over the settings
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

    // Ends the message loop with the exit code; empty ends QApplication's loop.
    std::function<void(int)> postQuit;
};
DialogHooks& dialogHooks();

}  // namespace counter

class MainWindow : public QMainWindow {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    // ---- state owned by the tick (all start at zero or empty) --------------------
    int IsConnected = 0;
    int ConnectionState = 0;  // 0 idle, 1 connection seen, 2 counting
    history::HistoryRecord CurrentRecord;
    std::int32_t ConnectionFee = 0;
    std::int32_t MonthFee = 0;
    std::int32_t MonthFeeBefore = 0;
    std::int32_t MonthSeconds = 0;
    std::int32_t MonthSecondsBefore = 0;
    std::int32_t TodayFee = 0;
    // Whole elapsed minutes at the last charge; -1 before the first charge, so the
    // first minute of a connection is charged at its first counting tick.
    std::int32_t LastChargedMinute = -1;
    std::int32_t StartSecondOfDay = 0;
    std::int32_t ElapsedSeconds = 0;
    int BeepCount = 0;
    int HolidayMode = 0;
    int TrayMode = 0;
    // 0 = monitoring; non-zero = the line counts as down. The time synchronisation
    // dialog sets and clears it around a clock change.
    int MonitoringDisabled = 0;
    // Finished connections that the history could not take yet, oldest first; kept
    // in HKLM Counter\Current "Unsaved" as well, and written to the history before
    // the next connection starts (and by the next start-up).
    std::vector<history::HistoryRecord> UnsavedRecords;
    QString FeeText;
    QString ElapsedText;
    QString ConnectionUser;
    QString WindowsUser;
    QString ProgramPath;
    QString CurrentProvider;

    // ---- settings loaded at start-up ----------------------------------------------
    int BugAtStart = 0;
    int BeepInterval = 0;
    int BeepEnabled = 0;
    int BeepSound = 0;
    int ResetMode = 0;
    int ResetDay = 0;

    // ---- controls ---------------------------------------------------------------
    QGroupBox* GroupBox1 = nullptr;  // caption: the line state
    QLabel* elapsedLabel = nullptr;        // elapsed time
    QLabel* connectionFeeLabel = nullptr;        // fee of the running connection
    QLabel* providerLabel = nullptr;        // provider
    QLabel* periodFeeLabel = nullptr;       // fee of the counter period
    QLabel* clockLabel = nullptr;       // clock
    QLabel* userLabel = nullptr;       // connected user
    QLabel* connectedImage = nullptr;        // "Connected"
    QLabel* notConnectedImage = nullptr;        // "Not connected"
    QLabel* periodTimeLabel = nullptr;       // connected time of the period
    QLabel* periodStartLabel = nullptr;       // start of the period
    QLabel* nextResetLabel = nullptr;       // next automatic reset
    QLabel* averagePerDayLabel = nullptr;       // average time per day
    QLabel* budgetLeftLabel = nullptr;       // budget left
    QPushButton* BitBtn1 = nullptr;  // "Hi&de"
    QPushButton* BitBtn2 = nullptr;  // "E&xit"
    QToolButton* SpeedButton7 = nullptr;   // mail checker
    QToolButton* SpeedButton17 = nullptr;  // time synchronisation
    QToolButton* SpeedButton9 = nullptr;   // monitoring on/off
    QToolButton* SpeedButton3 = nullptr;   // holiday tariff on/off
    QToolBar* ToolBar1 = nullptr;
    QTimer* Timer1 = nullptr;
    QMenu* PopupMenu1 = nullptr;     // the tray menu
    std::array<QIcon, 5> ImageList1;

    // ---- handlers ----------------------------------------------------------------
    void FormCreate();
    // One tick. Safe to call by hand (tests, a dialog that drives the clock); a call
    // made while another tick is still running returns at once.
    void Timer1Timer();
    void HdWin();
    void FormActivate();
    void Restore1Click();
    void BitBtn1Click();
    void Exit1Click();
    void About1Click();
    void About2Click();
    void Exit2Click();
    void BitBtn2Click();
    // The window's close: the closing steps without a question; it always closes.
    void FormCloseQuery(bool& canClose);
    void FormClose();
    void Preferences1Click();
    void SpeedButton2Click();
    void Providers1Click();
    void Provider1Click();
    void Tariffs4Click();
    void History2Click();
    void Graphs1Click();
    void Timesynchronization1Click();
    void SpeedButton17Click();
    void Counter1Click();
    void Viewcrashes1Click();
    void Openreport1Click();
    void Beep1Click();
    void Deleteallreports1Click();
    void Resetcounter1Click();
    void Createreport1Click();
    void Emailchecker1Click();
    void SpeedButton7Click();
    void SpeedButton3Click();
    void SpeedButton9Click();
    // Enables each dialog command whose hook is set (done at creation).
    void RefreshCommands();
    // The tray callback: WM_TRAYNOTIFY goes to HandleTrayMessage, others are ignored.
    void Dispatch(tray::TrayMessage message);
    void HandleTrayMessage(tray::TrayMessage message);

    bool tickRunning() const { return m_inTick; }
    // A message raised during a tick waits until the tick has finished and is then
    // shown from the event loop, so the tick never waits for the user and the timer
    // goes on while the box is open. A text already waiting or open is not added.
    void DeferMessage(const QString& text, bool exception);
    void ShowDeferredMessages();

protected:
    bool event(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void changeEvent(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildWindow();
    void buildCommands();
    void postQuit();
    void runTick();
    // The enabled command whose shortcut is this key, if any.
    QAction* commandForKey(const QKeyEvent& key) const;

    // The commands whose enabled state follows the dialog hooks.
    std::vector<std::pair<QAction*, void (MainWindow::*)()>> m_commands;
    std::vector<std::pair<QWidget*, void (MainWindow::*)()>> m_commandButtons;
    bool m_inTick = false;
    struct DeferredMessage {
        QString text;
        bool exception = false;  // shown by the standard exception display
    };
    std::deque<DeferredMessage> m_deferredMessages;
    QStringList m_openMessages;
    bool m_showPosted = false;
    // A tick error that repeats on every tick is shown once, until a tick succeeds.
    QString m_lastTickError;
};

// ---- the windows WinMain creates ----------------------------------------------------
extern MainWindow* mainWindow;
extern SplashWindow* splashWindow;
extern AboutBox* aboutBox;

enum class RunMode { MessageLoop, StartOnly };
// The program entry. StartOnly creates the windows and does everything up to the
// message loop, then returns (the windows stay until FreeWindows()).
int WinMain(RunMode mode = RunMode::MessageLoop);
void FreeWindows();

void ProjectUnitInit();
void MainUnitInit();
// The main window unit's registry access object.
platform::Registry& UnitRegistry();

// ---- start-up --------------------------------------------------------------------
void StartUp(MainWindow& form);
void MarkFirstRun(MainWindow& form, int firstTime);
void StoreCounterStartDate();
void WriteDefaultSettings(MainWindow& form);
void RecoverUnsavedConnection(MainWindow& form);
void SumTodayFees(MainWindow& form);
void AutomaticResetCheck(MainWindow& form);
void ResetCounter(MainWindow& form, int year, int month, int day, int withReport);
// Writes the report of the history into the "Reports" folder; false with `error` set
// when the file could not be written.
bool WriteReport(MainWindow& form, int year, int month, int day, QString* error = nullptr);

// ---- the tick --------------------------------------------------------------------
void UpdateConnectionState(MainWindow& form);
void LaunchConnectPrograms(MainWindow& form);
void CountConnectionTick(MainWindow& form);
platform::SystemTime GetLocalTimeRecord();
void ShowClock(MainWindow& form);
void ShowStatistics(MainWindow& form);
void ShowMoneyOrganizerBalance(MainWindow& form);
// 0 when the budget's dates don't fit (the clock was set back), else 1; sounds the
// alarm when the budget is reached.
int CheckMoneyOrganizer(MainWindow& form);
void SoundBudgetAlarm(MainWindow& form);
void BeepAtInterval(MainWindow& form);

// ---- commands and exit --------------------------------------------------------------
// Starts the mail checker unless e-mail is switched off; `check` is 1 from the speed
// button, 0 from the menus.
void LaunchMailChecker(MainWindow& form, int check);
// Asks before the program ends; 1 when it may end (the closing steps have run).
int ConfirmExit(MainWindow& form);
// Saves a counted connection, clears the crash marker, saves the window position and
// removes the tray icon.
void RunClosingSteps(MainWindow& form);

// ---- tray ------------------------------------------------------------------------
// Tray mode needs a notification area: where there is none, TrayMode becomes 0 so the
// window stays reachable by its taskbar button. Returns whether the icon is there.
bool AddTrayIcon(MainWindow& form);
bool UpdateTrayIcon(MainWindow& form, const QString& text, int imageIndex);
void RemoveTrayIcon(MainWindow& form);
