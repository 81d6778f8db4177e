// The main window unit: program entry, start-up, the one-second tick with its
// connection state machine, counting and charging, the tray icon, crash recovery and
// the counter period. Logic that needs no window is in plain functions of
// namespace counter, so it can be tested without one.
#pragma once

#include "LocalTime.h"
#include "Sound.h"
#include "TrayConstants.h"
#include "history.h"

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

// The application title (taskbar, standard error display) and the caption of the main
// window and of the program's own message boxes differ by design.
inline constexpr const char* kApplicationTitle = "Dialtally v2.01";
inline constexpr const char* kCaption = "Dialtally 2.01";
inline constexpr const char* kHelpFileName = "Dialtally Help.hlp";
inline constexpr const char* kNotConnectedSummary = "Dialtally: [Not Connected]";

// Public servers that answer the TIME protocol (RFC 868) on TCP 37, written with the
// defaults. The time synchronisation dialog preselects the last one.
inline constexpr std::array<const char*, 6> kDefaultTimeServers = {
    "time-a-g.nist.gov",   "time-b-g.nist.gov",   "time-c-g.nist.gov",
    "time-a-wwv.nist.gov", "time-b-wwv.nist.gov", "time.nist.gov",
};

inline constexpr const char* kExitQuestion =
    "Closing Dialtally you won't be able to monitor DUN connections. Do you want to continue ?";
// The mail checker, beside Dialtally in the program folder.
inline constexpr const char* kMailCheckerName = "Postpeek";
// The budget alarm: ProgramPath + "/media/signal.wav".
inline constexpr const char* kAlarmFolder = "media";
inline constexpr const char* kAlarmFile = "signal.wav";

// Indexes into MainWindow::ImageList1.
enum ImageIndex {
    kImageNotConnected = 0,
    kImageConnected = 1,
    kImageHoliday = 2,
    kImageMonitoringOn = 3,
    kImageMonitoringOff = 4,
};

// "1205" cents -> "12 dol. 5 c."
QString feeText(std::int32_t cents);
// 303 seconds -> "0 h. 5 min. 3 sec."
QString elapsedText(std::int32_t seconds);
// 9:05:07 -> "9:5:7"
QString clockText(const platform::SystemTime& time);
int secondOfDay(const platform::SystemTime& time);

// Elapsed seconds of a connection from its start (stamped at START) and the start's
// second of the day less the connect delay, to `now`. Whole days between the two
// dates count, so neither one midnight nor a connection over a day is cut short.
std::int32_t elapsedSince(const platform::SystemTime& start, int startSecondOfDay,
                          const platform::SystemTime& now);

// The tariff slot of a provider for one day, as the charging reads it.
struct TariffSlot {
    std::int32_t StartingInterval = 0;
    std::int32_t EndingInterval = 0;
    std::int32_t DayCost = 0;
    std::int32_t NightCost = 0;
    std::int32_t OCPDay = 0;
};
// Cents for one minute charged at `hour`: the day interval is [Starting, Ending) and
// cannot wrap round midnight.
std::int32_t minuteCost(const TariffSlot& slot, int hour);
// "Holiday" while holiday mode is on, else the day of week "0" (Sunday) to "6".
QString tariffDayKey(int holidayMode, int dayOfWeek);
// HKCU key of the slot.
QString tariffSlotKey(const QString& provider, const QString& dayKey);

// The automatic counter reset rule, applied once per start.
bool automaticResetDue(int resetMode, int resetDay, int periodStartMonth, int todayMonth,
                       int todayDay);
// The two-weekly mode's next reset day after a reset on `day`: 14 before the 14th,
// else the 1st of the next month (the Counter dialog's own rule).
int nextTwoWeeklyResetDay(int day);

// Today's fee: the records that started on today's month and day (the year is not
// compared).
std::int32_t sumTodayFees(const std::vector<history::HistoryRecord>& records,
                          const QDate& today);

// The sums that start-up takes from the history in one pass: the period's fee and
// time, and today's fee (the records that started on today's month and day).
struct StartupSums {
    history::Totals period;
    std::int32_t todayFee = 0;
};
StartupSums startupSums(const QString& programPath, const QDate& today);

// The text report: its file name, and its content written line by line as the records
// come, each line with its CR LF.
QString reportFileName(int year, int month, int day);
class ReportWriter {
public:
    // Writes the banner, the rules and the header.
    explicit ReportWriter(QIODevice& out);
    ReportWriter(const ReportWriter&) = delete;
    ReportWriter& operator=(const ReportWriter&) = delete;

    // The row of the next record in file order and its rule.
    void add(const history::HistoryRecord& record);
    // Hands what is left to the device; false when any write fell short.
    bool finish();

private:
    void put(const char* bytes, std::size_t size);

    QIODevice& m_out;
    // The row being made, reused for every record.
    std::array<char, 142> m_line{};
    // Rows waiting to go out, handed to the device in large blocks.
    QByteArray m_pending;
    std::int64_t m_total = 0;
    bool m_ok = true;
};

// The user name as the main window holds it (49 characters at most).
QString fitUserName(const QString& name);

// ---- the "History" group --------------------------------------------------------
// 1999, 5, 3 -> "1999 - 5 - 3"
QString dateText(int year, int month, int day);
// The date of the next automatic reset of a period that began on year/month/day, or
// "Never".
QString nextResetText(int resetMode, int resetDay, int year, int month, int day);
// Connected seconds per day of a period that began on day number `periodStart`
// (days since 30 December 1899), today included. A period that seems to begin after
// today (the clock was set back) counts as one day.
std::int32_t averagePerDay(std::int32_t seconds, int todayDayNumber, int periodStart);

// ---- the budget ---------------------------------------------------------------------
struct Budget {
    int on = 0;        // "On/Off"
    int money = 0;     // "Money", whole dollars a day
    int cents = 0;     // "Cents"
    int reserve = 0;   // "Reserve": count over every day of the period
    int startDay = 0;  // HKLM Counter\All "Day", the period's first day of month
};
std::int64_t dailyBudget(const Budget& budget);
// Days of the period so far by the day of month alone (the budget goes with the
// monthly counter only).
int budgetDays(const Budget& budget, int todayDay);
// The money left: the day's budget less today's spending, or with reserve the
// allowance of every day so far less the period's spending.
std::int64_t budgetBalance(const Budget& budget, int todayDay, std::int32_t todayFee,
                           std::int32_t connectionFee, std::int32_t monthFee);
// Whether the spending has reached the budget.
bool budgetReached(const Budget& budget, int todayDay, std::int32_t todayFee,
                   std::int32_t connectionFee, std::int32_t monthFee);
// "-0 dol. 50 c." for a deficit under a dollar, so it never reads as money left.
QString balanceText(std::int64_t cents);
// The beep of a "Sound" number (1 to 4); false for any other number, which is silent.
bool beepKindOf(int sound, platform::BeepKind* kind);

// ---- the beeper ---------------------------------------------------------------------
// Whether the beep number `beepCount` is due after `elapsedSeconds`. A count of 0 or
// an interval under a minute (a hand-edited registry) never beeps.
bool beepDue(int beepCount, int beepInterval, std::int32_t elapsedSeconds);
// The number of the next beep after `elapsedSeconds`, so that a changed interval sounds
// no missed beeps in a burst.
int nextBeepCount(int beepInterval, std::int32_t elapsedSeconds);

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
