#include "dialtally/gui/TimeSyncDialog.h"

#include "platform/gui/Application.h"
#include "platform/core/ClockSetter.h"
#include "platform/gui/DialogButtons.h"
#include "platform/gui/Help.h"
#include "platform/core/LocalTime.h"
#include "platform/gui/MessageBox.h"
#include "platform/core/Registry.h"
#include "platform/core/Settings.h"
#include "platform/core/TimeClient.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/Formats.h"
#include "dialtally/core/ProgramInfo.h"

#include <QCloseEvent>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QTimeZone>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <stdexcept>

using platform::NetworkError;
using platform::NetworkErrorKind;

namespace {

constexpr QSize kDesignSize(390, 224);
constexpr qint64 kSecondsFrom1900To1970 = 2208988800LL;
constexpr qint64 kCountEra = qint64(1) << 32;

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}

// The TimeSync key must be there; one that cannot be made ends the action.
void requireTimeSyncKey(settings::Settings& settings)
{
    if (!settings.makeKey(settings::TimeServers)) {
        throw platform::RegistryError(QStringLiteral("Failed to open key '%1'")
                                          .arg(QString::fromLatin1(settings::TimeServers.definition().key))
                                          .toStdString());
    }
}

// "Servers" as far as the key can hold it: each server needs a value of its own
// beside the count, so a count from outside that is negative or far too large
// neither loops for ages nor names servers that were never written.
std::int32_t serverCount(settings::Settings& settings)
{
    requireTimeSyncKey(settings);
    const std::int32_t n = settings.get(settings::TimeServers);
    return std::clamp(n, 0, std::max(settings.valueCount(settings::TimeServers) - 1, 0));
}

qint64 floorDiv(qint64 a, qint64 b)
{
    const qint64 q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

}  // namespace

namespace times {

QDateTime serverCountToUtc(std::uint32_t count, const QDateTime& now)
{
    const qint64 now1900 = now.toSecsSinceEpoch() + kSecondsFrom1900To1970;
    const qint64 era = floorDiv(now1900 - static_cast<qint64>(count) + kCountEra / 2, kCountEra);
    const qint64 seconds1900 = static_cast<qint64>(count) + era * kCountEra;
    return QDateTime::fromSecsSinceEpoch(seconds1900 - kSecondsFrom1900To1970, QTimeZone::utc());
}

QDateTime serverCountToLocal(std::uint32_t count, const QDateTime& now)
{
    return serverCountToUtc(count, now).toLocalTime();
}

QDateTime timeOfDayKeepingTheDate(const QDateTime& pcNow, const QTime& serverTimeOfDay)
{
    const QDateTime now = pcNow.toLocalTime();
    QDateTime nearest;
    qint64 nearestDistance = 0;
    // The PC's date first, so that it wins a tie.
    for (const int day : {0, -1, 1}) {
        const QDateTime candidate(now.date().addDays(day), serverTimeOfDay, Qt::LocalTime);
        // A time of day that a change to summer time skips does not exist that day.
        if (!candidate.isValid() || candidate.time() != serverTimeOfDay)
            continue;
        const qint64 distance = std::abs(now.msecsTo(candidate));
        if (nearest.isNull() || distance < nearestDistance) {
            nearest = candidate;
            nearestDistance = distance;
        }
    }
    return nearest;
}

QString longTimeText(const QTime& time, const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    const bool twelveHour = format.contains(QLatin1Char('a'), Qt::CaseInsensitive);
    const bool twoDigitHour = format.contains(QLatin1String("hh"), Qt::CaseInsensitive);
    // Only the hour, minutes, seconds and designator: the zone name that long formats
    // carry would be the PC's, not the server's.
    QString ours = QLatin1String(twoDigitHour ? "hh" : "h") + QLatin1String(":mm:ss");
    if (twelveHour)
        ours += QLatin1String(" AP");
    return locale.toString(time, ours);
}

QString localTimeText(const QTime& time)
{
    return QStringLiteral("%1:%2:%3")
        .arg(time.hour())
        .arg(time.minute(), 2, 10, QLatin1Char('0'))
        .arg(time.second(), 2, 10, QLatin1Char('0'));
}

QStringList loadServers(settings::Settings& settings)
{
    const std::int32_t n = serverCount(settings);
    QStringList servers;
    for (std::int32_t i = 0; i < n; ++i)
        servers << settings.get(settings::TimeServer.at(i));
    return servers;
}

void addServer(settings::Settings& settings, const QString& host)
{
    const std::int32_t n = serverCount(settings);
    // A count that names a server never written would break every later load.
    platform::RegistryTransaction transaction(settings.store());
    settings.set(settings::TimeServer.at(n), host);
    settings.set(settings::TimeServers, n + 1);
    transaction.commit();
}

bool deleteLastServer(settings::Settings& settings)
{
    const std::int32_t n = serverCount(settings);
    if (n <= 0)
        return false;
    platform::RegistryTransaction transaction(settings.store());
    settings.set(settings::TimeServers, n - 1);
    settings.remove(settings::TimeServer.at(n - 1));
    transaction.commit();
    return true;
}

}  // namespace times

TimeSyncDialog::TimeSyncDialog(MonitoringSession& session, QWidget* parent)
    : QDialog(parent)
    , TimePort(platform::kTimePort)
    , m_session(session)
{
    buildWindow();
}

TimeSyncDialog::~TimeSyncDialog()
{
    // Freed while a query waited: the pause must not outlive the dialog.
    resumeMonitoring();
}

void TimeSyncDialog::buildWindow()
{
    setWindowTitle(QStringLiteral("Time synchronization"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);

    serversGroup = new QGroupBox(QStringLiteral("Servers:"), this);
    serversGroup->setObjectName(QStringLiteral("serversGroup"));
    serverCombo = new QComboBox(serversGroup);
    serverCombo->setObjectName(QStringLiteral("serverCombo"));
    serverCombo->setEditable(true);
    serverCombo->setInsertPolicy(QComboBox::NoInsert);
    serverCombo->setEditText(QStringLiteral("Select server"));
    newServerEdit = new QLineEdit(serversGroup);
    newServerEdit->setObjectName(QStringLiteral("newServerEdit"));
    addServerButton = new QToolButton(serversGroup);
    addServerButton->setObjectName(QStringLiteral("addServerButton"));
    addServerButton->setText(QStringLiteral("Add new server ..."));
    addServerButton->setAutoRaise(true);
    deleteServerButton = new QToolButton(serversGroup);
    deleteServerButton->setObjectName(QStringLiteral("deleteServerButton"));
    deleteServerButton->setText(QStringLiteral("Delete the last server in the list"));
    deleteServerButton->setAutoRaise(true);
    auto* servers = new QGridLayout(serversGroup);
    servers->addWidget(serverCombo, 0, 0);
    servers->addWidget(deleteServerButton, 0, 1);
    servers->addWidget(newServerEdit, 1, 0);
    servers->addWidget(addServerButton, 1, 1);

    const auto timeBox = [this](const char* title, QGroupBox*& box, QLabel*& label, const char* name) {
        box = new QGroupBox(QString::fromLatin1(title), this);
        box->setObjectName(QString::fromLatin1(name) + QStringLiteral("Group"));
        label = new QLabel(box);
        label->setObjectName(QString::fromLatin1(name) + QStringLiteral("Label"));
        label->setAlignment(Qt::AlignCenter);
        (new QVBoxLayout(box))->addWidget(label);
    };
    timeBox("Server UTC time :", serverUtcGroup, serverUtcLabel, "serverUtc");
    timeBox("Local time from the server :", serverLocalGroup, serverLocalLabel, "serverLocal");
    timeBox("Current local time :", pcTimeGroup, pcTimeLabel, "pcTime");
    auto* timesRow = new QHBoxLayout;
    timesRow->addWidget(serverUtcGroup);
    timesRow->addWidget(serverLocalGroup);
    timesRow->addWidget(pcTimeGroup);

    getTimeButton = new QPushButton(QStringLiteral("Get time"), this);
    getTimeButton->setObjectName(QStringLiteral("getTimeButton"));
    setTimeButton = new QPushButton(QStringLiteral("Set time"), this);
    setTimeButton->setObjectName(QStringLiteral("setTimeButton"));
    auto* closingButtons = new platform::DialogButtons(this);
    okButton = closingButtons->add(QStringLiteral("OK"), QDialogButtonBox::AcceptRole, "okButton");
    helpButton = closingButtons->add(QStringLiteral("&Help"), QDialogButtonBox::HelpRole, "helpButton");
    for (QPushButton* b : {getTimeButton, setTimeButton, okButton, helpButton})
        b->setAutoDefault(false);
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(getTimeButton);
    buttons->addWidget(setTimeButton);
    buttons->addWidget(closingButtons, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(serversGroup);
    layout->addLayout(timesRow);
    layout->addLayout(buttons);
    resize(kDesignSize);

    timeClient = new platform::TimeClient(this);
    connect(timeClient, &platform::TimeClient::connectionFailed, this,
            platform::guarded(this, &TimeSyncDialog::timeClientFailed));
    connect(addServerButton, &QToolButton::clicked, this, [this] { platform::guard([this] { addServerClicked(); }); });
    connect(deleteServerButton, &QToolButton::clicked, this,
            [this] { platform::guard([this] { deleteServerClicked(); }); });
    connect(getTimeButton, &QPushButton::clicked, this, [this] { platform::guard([this] { getTimeClicked(); }); });
    connect(setTimeButton, &QPushButton::clicked, this, [this] { platform::guard([this] { setTimeClicked(); }); });
    connect(okButton, &QPushButton::clicked, this, [this] { platform::guard([this] { okClicked(); }); });
    connect(helpButton, &QPushButton::clicked, this, [this] { platform::guard([this] { helpClicked(); }); });
    platform::openHelpContextOnF1(this, times::kHelpContext);
}

bool TimeSyncDialog::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        platform::guard([this] { FormActivate(); });
    return QDialog::event(event);
}

void TimeSyncDialog::showEvent(QShowEvent* event)
{
    // Sized and centred only now, when the style is known: a dialog border, the
    // design's size or more where the captions need it.
    if (!event->spontaneous()) {
        setFixedSize(sizeHint().expandedTo(kDesignSize));
        if (const QScreen* screen = this->screen())
            move(screen->availableGeometry().center() - QPoint(width() / 2, height() / 2));
    }
    QDialog::showEvent(event);
    // Some window systems never activate a window they did not give the focus to; the
    // list must be there all the same.
    platform::guard([this] { FormActivate(); });
}

void TimeSyncDialog::closeEvent(QCloseEvent* event)
{
    bool canClose = true;
    FormCloseQuery(canClose);
    if (!canClose) {
        event->ignore();
        return;
    }
    QDialog::closeEvent(event);
}

void TimeSyncDialog::done(int result)
{
    // Every way of closing comes here: the title bar, Escape, OK and the failure
    // message.
    FormClose();
    QDialog::done(result);
}

void TimeSyncDialog::FormActivate()
{
    // A message box of this dialog activates it again when it closes: the list is
    // read at the first activation only, and a failed read is not repeated at once,
    // which would open its error box again and again.
    if (m_listed)
        return;
    m_listed = true;
    const QStringList servers = times::loadServers(m_settings);
    serverCombo->clear();
    serverCombo->addItems(servers);
    serverCombo->setEditText(servers.isEmpty() ? QString() : servers.last());
    setQueryButtonsEnabled(true);
}

void TimeSyncDialog::addServerClicked()
{
    // Blanks around a host name only make its lookup fail.
    const QString host = newServerEdit->text().trimmed();
    if (host.isEmpty()) {
        platform::messageBox(QStringLiteral("Enter the server's address first !"), caption(),
                             platform::MessageIcon::Error);
        return;
    }
    times::addServer(m_settings, host);
    // Into an empty list the first item would also replace the text to ask.
    const QString text = serverCombo->currentText();
    serverCombo->addItem(host);
    serverCombo->setEditText(text);
    platform::messageBox(QStringLiteral("Server added to the list."), caption(), platform::MessageIcon::None);
}

void TimeSyncDialog::deleteServerClicked()
{
    if (!times::deleteLastServer(m_settings)) {
        platform::messageBox(QStringLiteral("There is nothing to delete !"), caption(), platform::MessageIcon::Error);
        return;
    }
    // The typed text stays as it is, even when it named the server just deleted.
    const QString text = serverCombo->currentText();
    if (serverCombo->count() > 0)
        serverCombo->removeItem(serverCombo->count() - 1);
    serverCombo->setEditText(text);
    platform::messageBox(QStringLiteral("The last server in the list is deleted."), caption(),
                         platform::MessageIcon::None);
}

void TimeSyncDialog::setQueryButtonsEnabled(bool enabled)
{
    getTimeButton->setEnabled(enabled);
    setTimeButton->setEnabled(enabled);
}

void TimeSyncDialog::resumeMonitoring()
{
    if (SuspendedMonitoring == 1) {
        m_session.setMonitoringPaused(false);
        SuspendedMonitoring = 0;
    }
}

bool TimeSyncDialog::query(std::uint32_t& count)
{
    timeClient->setTimeout(QueryTimeout);
    timeClient->setHost(serverCombo->currentText().trimmed());
    timeClient->setPort(TimePort);
    try {
        count = timeClient->queryCount();
        return true;
    } catch (const NetworkError& error) {
        // The failure message has been shown, or the user ended the query.
        if (error.kind() == NetworkErrorKind::ConnectionClosed || error.kind() == NetworkErrorKind::Aborted)
            return false;
        throw;
    }
}

namespace {

// Restores the query buttons, and for Set time the monitoring, on every way out of a
// query handler, errors included; does nothing once the dialog is gone.
class QueryScope {
public:
    QueryScope(TimeSyncDialog* dialog, std::function<void()> restore)
        : m_dialog(dialog)
        , m_restore(std::move(restore))
    { }
    ~QueryScope()
    {
        if (m_dialog)
            m_restore();
    }
    bool alive() const { return !m_dialog.isNull(); }

private:
    QPointer<TimeSyncDialog> m_dialog;
    std::function<void()> m_restore;
};

}  // namespace

void TimeSyncDialog::getTimeClicked()
{
    setQueryButtonsEnabled(false);
    QueryScope scope(this, [this] { setQueryButtonsEnabled(true); });
    std::uint32_t count = 0;
    if (!query(count) || !scope.alive())
        return;
    const QDateTime pcNow = platform::clock().now();
    const QDateTime utc = times::serverCountToUtc(count, pcNow);
    serverUtcLabel->setText(times::longTimeText(utc.time()));
    serverLocalLabel->setText(times::localTimeText(utc.toLocalTime().time()));
    pcTimeLabel->setText(formats::clockText(platform::LocalDateTime::fromDateTime(pcNow)));
}

void TimeSyncDialog::setTimeClicked()
{
    if (!m_session.monitoringPaused()) {
        m_session.setMonitoringPaused(true);
        SuspendedMonitoring = 1;
    }
    setQueryButtonsEnabled(false);
    QueryScope scope(this, [this] {
        setQueryButtonsEnabled(true);
        resumeMonitoring();
    });
    std::uint32_t count = 0;
    if (!query(count) || !scope.alive())
        return;
    const QDateTime pcNow = platform::clock().now();
    const QDateTime utc = times::serverCountToUtc(count, pcNow);
    const QTime serverTimeOfDay = utc.toLocalTime().time();
    // Whole seconds: the hundredths are set to 0.
    const QDateTime target = times::timeOfDayKeepingTheDate(
        pcNow, QTime(serverTimeOfDay.hour(), serverTimeOfDay.minute(), serverTimeOfDay.second()));
    const QString text = formats::clockText(platform::LocalDateTime::fromDateTime(utc.toLocalTime()));
    serverUtcLabel->setText(times::longTimeText(utc.time()));
    serverLocalLabel->setText(text);
    if (!target.isValid())
        throw std::runtime_error("The server's time of day does not exist on the PC's date; the clock was not set");

    // The server may answer before any tick has seen the pause: the running
    // connection is closed and saved here, with the old clock, so that no record
    // spans the change.
    if (m_session.connection().counting()) {
        m_session.tick();
        // A message box of the tick lets the user close the dialog meanwhile.
        if (!scope.alive() || !isVisible())
            return;
        if (m_session.connection().counting()) {
            throw std::runtime_error(
                "The running connection could not be saved before the clock change; the clock was not set");
        }
    }
    // The system may ask the user to authorise the change and the windows run
    // meanwhile: closing the dialog then must not end the pause before the clock has
    // changed; the scope ends it afterwards.
    m_settingClock = true;
    try {
        platform::clockSetter().setTime(target);
    } catch (...) {
        if (scope.alive())
            m_settingClock = false;
        throw;
    }
    if (!scope.alive())
        return;
    m_settingClock = false;
    pcTimeLabel->setText(text);
}

void TimeSyncDialog::timeClientFailed()
{
    platform::messageBox(QStringLiteral("Connection failed !"), caption(), platform::MessageIcon::Error);
    setQueryButtonsEnabled(true);
    close();
}

void TimeSyncDialog::okClicked()
{
    timeClient->abort();
    close();
}

void TimeSyncDialog::helpClicked()
{
    platform::showHelpContext(times::kHelpContext);
}

void TimeSyncDialog::FormCloseQuery(bool& canClose)
{
    canClose = true;
    if (!m_settingClock)
        resumeMonitoring();
}

void TimeSyncDialog::FormClose()
{
    // A query still waiting must end here: the clock is never set from a dialog the
    // user has closed.
    timeClient->abort();
    if (!m_settingClock)
        resumeMonitoring();
}
