// The "Time synchronization" dialog: asks a time server for the time over the TIME
// protocol, shows it beside the PC's clock and, on request, sets the PC clock, with
// the main window's monitoring paused so that no connection is counted across the
// change. The server list lives in HKCU "\Software\Dialtally\TimeSync".
#pragma once

#include "platform/core/Settings.h"

#include <QDateTime>
#include <QDialog>
#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QToolButton;
class MonitoringSession;

namespace platform {
class TimeClient;
}

namespace times {

inline constexpr int kHelpContext = 21;
inline constexpr int kQueryTimeoutMs = 10000;

// The instant that a TIME server's count names. The count is seconds since 1900
// modulo 2^32 and wraps in February 2036; of the instants it can name, the one
// nearest to `now` is taken, so a server past the wrap still gives the right date.
QDateTime serverCountToUtc(std::uint32_t count, const QDateTime& now);
// The same instant as local date and time, by the system's zone rules (daylight
// saving and zones off the whole hour included).
QDateTime serverCountToLocal(std::uint32_t count, const QDateTime& now);

// The local date and time that "Set time" gives the PC: the server's local time of
// day on the PC's own date, so a server whose calendar is wrong (a count of 1996, or
// one past the 2036 wrap) moves the clock by hours at most, never by years. Around
// midnight the PC and the server may stand on either side of it: of the PC's date and
// the days before and after it, the one that puts the result nearest to `pcNow` is
// taken, so 23:59:58 on the PC with the server at 00:00:03 gives the next day, not
// the start of the PC's day. A tie keeps the PC's date.
QDateTime timeOfDayKeepingTheDate(const QDateTime& pcNow, const QTime& serverTimeOfDay);

// The time of day in the user's long time format: the hour as the format writes it,
// two-digit minutes and seconds, and the AM/PM designator in 12-hour formats
// ("9:05:07 PM", "21:05:07").
QString longTimeText(const QTime& time, const QLocale& locale = QLocale());
// 24-hour, the hour without a leading zero: "0:30:00".
QString localTimeText(const QTime& time);

// The server list of the store, through the given access object.
QStringList loadServers(settings::Settings& settings);
// Appends a server; the name and the new count are written together or not at all.
void addServer(settings::Settings& settings, const QString& host);
// Removes the last server; false when the list is empty (nothing is written then).
bool deleteLastServer(settings::Settings& settings);

}  // namespace times

class TimeSyncDialog : public QDialog {
    Q_OBJECT
public:
    explicit TimeSyncDialog(MonitoringSession& session, QWidget* parent = nullptr);
    ~TimeSyncDialog() override;

    // 1 while this dialog has switched the main window's monitoring off.
    int SuspendedMonitoring = 0;
    // Where the TIME service is asked; the port and the time-out change only in tests.
    quint16 TimePort;
    int QueryTimeout = times::kQueryTimeoutMs;

    // ---- controls ---------------------------------------------------------------
    platform::TimeClient* timeClient = nullptr;

    // ---- handlers ----------------------------------------------------------------
    void FormActivate();
    void addServerClicked();
    void deleteServerClicked();
    void getTimeClicked();
    void setTimeClicked();
    void timeClientFailed();
    void okClicked();
    void helpClicked();
    void FormCloseQuery(bool& canClose);
    void FormClose();

protected:
    bool event(QEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void done(int result) override;

private:
    QGroupBox* serversGroup = nullptr;
    QComboBox* serverCombo = nullptr;  // the server to ask
    QLineEdit* newServerEdit = nullptr;
    QToolButton* addServerButton = nullptr;
    QToolButton* deleteServerButton = nullptr;
    QGroupBox* serverUtcGroup = nullptr;
    QLabel* serverUtcLabel = nullptr;
    QGroupBox* serverLocalGroup = nullptr;  // the server's time in the PC's zone
    QLabel* serverLocalLabel = nullptr;
    QGroupBox* pcTimeGroup = nullptr;
    QLabel* pcTimeLabel = nullptr;
    QPushButton* getTimeButton = nullptr;
    QPushButton* setTimeButton = nullptr;
    QPushButton* okButton = nullptr;
    QPushButton* helpButton = nullptr;

    void buildWindow();
    void setQueryButtonsEnabled(bool enabled);
    // Switches monitoring back on if, and only if, this dialog switched it off.
    void resumeMonitoring();
    // Asks the server named by serverCombo; false when the query ended in a way the
    // user already knows of (the failure message, OK, closing the dialog).
    bool query(std::uint32_t& count);

    MonitoringSession& m_session;
    settings::Settings m_settings;
    bool m_listed = false;
    bool m_settingClock = false;  // Set time waits for the system to change the clock
};
