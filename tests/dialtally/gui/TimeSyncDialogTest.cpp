#include "support/Controls.h"
#include "dialtally/gui/TimeSyncDialog.h"
#include "support/core/SessionProbe.h"

#include "support/Fakes.h"
#include "common/RegistryNames.h"
#include "platform/core/TimeClient.h"
#include "support/XinetdTimeServer.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/ProgramInfo.h"
#include "dialtally/core/History.h"
#include "dialtally/core/Formats.h"
#include "platform/core/LocalTime.h"
#include "platform/core/Settings.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimeZone>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <optional>

using testing_support::control;

using platform::RootKey;
using testing_support::readInt;
using testing_support::readStr;
using testing_support::TestEnvironment;
using testing_support::valueExists;
using testing_support::writeInt;

namespace {

// Sets TZ for the scope, so the conversion is checked against known zone rules
// whatever this machine's zone is.
class ZoneScope {
public:
    explicit ZoneScope(const char* zone)
    {
        m_had = qEnvironmentVariableIsSet("TZ");
        m_old = qgetenv("TZ");
        qputenv("TZ", zone);
        tzset();
    }
    ~ZoneScope()
    {
        if (m_had)
            qputenv("TZ", m_old);
        else
            qunsetenv("TZ");
        tzset();
    }
    ZoneScope(const ZoneScope&) = delete;
    ZoneScope& operator=(const ZoneScope&) = delete;

private:
    bool m_had = false;
    QByteArray m_old;
};

QDateTime utc(const char* iso)
{
    QDateTime t = QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
    t.setTimeZone(QTimeZone::utc());
    return t;
}

QString serverValue(int i)
{
    return QString::fromLatin1(regkeys::vServerPrefix) + QString::number(i);
}

// The count a TIME server sends for a UTC instant.
std::uint32_t countOf(const QDateTime& when)
{
    return static_cast<std::uint32_t>(when.toSecsSinceEpoch() + 2208988800LL);
}

// ---- conversion -----------------------------------------------------------------

struct ConversionCase {
    const char* zone;
    const char* serverUtc;  // what the server's count stands for
    const char* expectedLocal;
};

class ServerCountToLocal : public ::testing::TestWithParam<ConversionCase> { };

TEST_P(ServerCountToLocal, GivesTheLocalDateAndTimeByTheZoneRules)
{
    const ConversionCase& c = GetParam();
    ZoneScope zone(c.zone);
    const QDateTime instant = utc(c.serverUtc);
    // The PC's clock a few minutes off, as it is when the user asks.
    const QDateTime pcNow = instant.addSecs(-7 * 60).toLocalTime();
    const QDateTime local = times::serverCountToLocal(countOf(instant), pcNow);
    EXPECT_EQ(local.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")).toStdString(), c.expectedLocal);
    EXPECT_EQ(local.toSecsSinceEpoch(), instant.toSecsSinceEpoch());
}

INSTANTIATE_TEST_SUITE_P(Zones, ServerCountToLocal,
                         ::testing::Values(
                             // Into summer time: the hour from 02:00 to 03:00 does not exist.
                             ConversionCase{"Europe/Berlin", "2026-03-29T00:59:59", "2026-03-29 01:59:59"},
                             ConversionCase{"Europe/Berlin", "2026-03-29T01:00:00", "2026-03-29 03:00:00"},
                             // Out of summer time: 02:30 comes twice, an hour apart.
                             ConversionCase{"Europe/Berlin", "2026-10-25T00:30:00", "2026-10-25 02:30:00"},
                             ConversionCase{"Europe/Berlin", "2026-10-25T01:30:00", "2026-10-25 02:30:00"},
                             // Half-hour zones, past midnight: the date moves on.
                             ConversionCase{"Asia/Kolkata", "2026-12-10T18:45:00", "2026-12-11 00:15:00"},
                             ConversionCase{"Australia/Adelaide", "2026-01-15T13:40:00", "2026-01-16 00:10:00"},
                             ConversionCase{"Australia/Adelaide", "2026-07-15T14:40:00", "2026-07-16 00:10:00"},
                             // West of Greenwich, shortly after midnight UTC: still the day before.
                             ConversionCase{"America/New_York", "2026-07-01T03:30:00", "2026-06-30 23:30:00"},
                             ConversionCase{"America/New_York", "2026-01-01T04:59:59", "2025-12-31 23:59:59"}),
                         [](const ::testing::TestParamInfo<ConversionCase>& info) {
                             std::string name = std::string(info.param.zone) + "_" + info.param.serverUtc;
                             for (char& ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

TEST(ServerCountToUtc, TakesTheInstantNearestToThePcClockAcrossThe2036Wrap)
{
    struct Case {
        std::uint32_t count;
        const char* pcNow;
        const char* expected;
    };
    const Case cases[] = {
        {0xEC5E2710u, "2025-09-01T00:00:00", "2025-08-31T01:42:40"},
        {0xFFFFFFFFu, "2036-02-07T06:00:00", "2036-02-07T06:28:15"},
        // Past the wrap the count starts again at 0.
        {1u, "2036-02-07T06:00:00", "2036-02-07T06:28:17"},
        {86400u, "2036-03-01T00:00:00", "2036-02-08T06:28:16"},
        // A PC clock past the wrap and a server just before it.
        {0xFFFFFF00u, "2036-02-07T07:00:00", "2036-02-07T06:24:00"},
        // A PC clock far behind (a dead battery) still gets this era's time.
        {0xEC5E2710u, "2004-01-01T00:00:00", "2025-08-31T01:42:40"},
    };
    for (const Case& c : cases) {
        const QDateTime result = times::serverCountToUtc(c.count, utc(c.pcNow));
        EXPECT_EQ(result, utc(c.expected))
            << "count " << c.count << " at " << c.pcNow << " gave " << result.toString(Qt::ISODate).toStdString();
        EXPECT_EQ(result.offsetFromUtc(), 0);
    }
}

TEST(TimeTexts, FollowTheLongTimeFormatAndThe24HourLocalText)
{
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    EXPECT_EQ(times::longTimeText(QTime(21, 5, 7), us), QStringLiteral("9:05:07 PM"));
    EXPECT_EQ(times::longTimeText(QTime(0, 0, 5), us), QStringLiteral("12:00:05 AM"));
    EXPECT_EQ(times::longTimeText(QTime(12, 0, 5), us), QStringLiteral("12:00:05 PM"));
    EXPECT_EQ(times::longTimeText(QTime(9, 5, 7), german), QStringLiteral("09:05:07"));
    EXPECT_EQ(times::localTimeText(QTime(0, 30, 0)), QStringLiteral("0:30:00"));
    EXPECT_EQ(times::localTimeText(QTime(23, 5, 7)), QStringLiteral("23:05:07"));
}

// ---- the dialog -------------------------------------------------------------------

// A TIME server on loopback that sends a fixed reply to every client and then
// closes, or, without a reply, accepts and stays silent.
class FixedTimeServer : public QObject {
public:
    explicit FixedTimeServer(std::optional<QByteArray> reply, bool closeAfter = true)
        : m_reply(std::move(reply))
        , m_closeAfter(closeAfter)
    {
        EXPECT_TRUE(m_server.listen(QHostAddress::LocalHost, 0));
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++connections;
                if (m_reply)
                    socket->write(*m_reply);
                if (m_closeAfter)
                    socket->disconnectFromHost();
            }
        });
    }
    static QByteArray countBytes(std::uint32_t count)
    {
        QByteArray bytes(4, '\0');
        for (int i = 0; i < 4; ++i)
            bytes[i] = static_cast<char>((count >> (24 - 8 * i)) & 0xFF);
        return bytes;
    }
    quint16 port() const { return m_server.serverPort(); }
    int connections = 0;

private:
    QTcpServer m_server;
    std::optional<QByteArray> m_reply;
    bool m_closeAfter;
};

class TimeSyncDialogTest : public ::testing::Test {
protected:
    TimeSyncDialogTest()
        : zone("Europe/Berlin")
    {
        env.install();
        env.setWindowsUser(QStringLiteral("alice"));
        session = std::make_unique<MonitoringSession>();
        // A first start: the counter's start date and the defaults.
        session->beginStartUp();
        SessionProbe::programPath(*session) = env.programFolder();
        env.boxes.clear();
        env.help.calls.clear();
        dialog = std::make_unique<TimeSyncDialog>(*session);
        dialog->QueryTimeout = 2000;
        dialog->show();
    }
    ~TimeSyncDialogTest() override
    {
        dialog.reset();
        session.reset();
    }

    int servers() { return readInt(RootKey::CurrentUser, regkeys::kTimeSync, regkeys::vServers); }
    QString server(int i) { return readStr(RootKey::CurrentUser, regkeys::kTimeSync, serverValue(i)); }
    void askServer(const FixedTimeServer& server)
    {
        control<QComboBox>(dialog, "serverCombo")->setEditText(QStringLiteral("127.0.0.1"));
        dialog->TimePort = server.port();
    }
    std::vector<history::HistoryRecord> records() { return history::readAll(env.programFolder()); }
    void expectIdle()
    {
        EXPECT_TRUE(control<QPushButton>(dialog, "getTimeButton")->isEnabled());
        EXPECT_TRUE(control<QPushButton>(dialog, "setTimeButton")->isEnabled());
        EXPECT_FALSE(session->monitoringPaused());
        EXPECT_EQ(dialog->SuspendedMonitoring, 0);
    }

    ZoneScope zone;
    TestEnvironment env;
    std::unique_ptr<MonitoringSession> session;
    std::unique_ptr<TimeSyncDialog> dialog;
};

TEST_F(TimeSyncDialogTest, ListsTheServersOnceAndPreselectsTheLast)
{
    ASSERT_EQ(control<QComboBox>(dialog, "serverCombo")->count(), 6);
    // A message box closing activates the dialog again.
    dialog->deleteServerClicked();  // list of 5 now
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(dialog.get(), &activate);
    dialog->FormActivate();
    EXPECT_EQ(control<QComboBox>(dialog, "serverCombo")->count(), 5);
    EXPECT_EQ(control<QComboBox>(dialog, "serverCombo")->currentText(),
              QString::fromLatin1(settings::kDefaultTimeServers[5]));
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(control<QComboBox>(dialog, "serverCombo")->itemText(i),
                  QString::fromLatin1(settings::kDefaultTimeServers[i]));
}

TEST_F(TimeSyncDialogTest, MissingServerCountIsShownOnceNotAtEveryActivation)
{
    platform::Registry& r = env.registry;
    r.setRootKey(RootKey::CurrentUser);
    ASSERT_TRUE(r.openKey(QString::fromLatin1(regkeys::kTimeSync), false));
    r.deleteValue(QString::fromLatin1(regkeys::vServers));
    r.closeKey();
    TimeSyncDialog fresh(*session);
    fresh.show();
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&fresh, &activate);
    EXPECT_EQ(env.boxes.texts(), QStringList{QStringLiteral("Failed to get data for 'Servers'.")});
    EXPECT_EQ(control<QComboBox>(fresh, "serverCombo")->count(), 0);
}

TEST_F(TimeSyncDialogTest, AddAndDeleteKeepTheRegistryListAndTheComboInStep)
{
    control<QComboBox>(dialog, "serverCombo")->setEditText(QStringLiteral("typed.example"));
    control<QLineEdit>(dialog, "newServerEdit")->setText(QStringLiteral("  127.0.0.1 "));
    dialog->addServerClicked();
    EXPECT_EQ(servers(), 7);
    EXPECT_EQ(server(6), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(control<QComboBox>(dialog, "serverCombo")->count(), 7);
    EXPECT_EQ(control<QComboBox>(dialog, "serverCombo")->itemText(6), QStringLiteral("127.0.0.1"));
    EXPECT_EQ(control<QLineEdit>(dialog, "newServerEdit")->text(), QStringLiteral("  127.0.0.1 "));

    dialog->deleteServerClicked();
    EXPECT_EQ(servers(), 6);
    EXPECT_FALSE(valueExists(RootKey::CurrentUser, regkeys::kTimeSync, serverValue(6)));
    EXPECT_EQ(server(5), QString::fromLatin1(settings::kDefaultTimeServers[5]));
    EXPECT_EQ(control<QComboBox>(dialog, "serverCombo")->count(), 6);
    EXPECT_EQ(control<QComboBox>(dialog, "serverCombo")->currentText(), QStringLiteral("typed.example"));

    ASSERT_EQ(env.boxes.shown.size(), 2u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Server added to the list."));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::None);
    EXPECT_EQ(env.boxes.shown[1].text, QStringLiteral("The last server in the list is deleted."));
    EXPECT_EQ(env.boxes.shown[1].icon, platform::MessageIcon::None);
    for (const auto& box : env.boxes.shown)
        EXPECT_EQ(box.caption, QStringLiteral("Dialtally 2.01"));
}

TEST_F(TimeSyncDialogTest, EmptyAddressAndEmptyListAreRefused)
{
    control<QLineEdit>(dialog, "newServerEdit")->setText(QStringLiteral("   "));
    dialog->addServerClicked();
    EXPECT_EQ(servers(), 6);

    writeInt(RootKey::CurrentUser, regkeys::kTimeSync, regkeys::vServers, 0);
    dialog->deleteServerClicked();
    EXPECT_EQ(servers(), 0);
    EXPECT_TRUE(valueExists(RootKey::CurrentUser, regkeys::kTimeSync, serverValue(5)));

    ASSERT_EQ(env.boxes.shown.size(), 2u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Enter the server's address first !"));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(env.boxes.shown[1].text, QStringLiteral("There is nothing to delete !"));
    EXPECT_EQ(env.boxes.shown[1].icon, platform::MessageIcon::Error);
}

TEST_F(TimeSyncDialogTest, AddingToAnEmptyListKeepsTheTypedServer)
{
    writeInt(RootKey::CurrentUser, regkeys::kTimeSync, regkeys::vServers, 0);
    TimeSyncDialog fresh(*session);
    fresh.show();
    ASSERT_EQ(control<QComboBox>(fresh, "serverCombo")->count(), 0);
    control<QComboBox>(fresh, "serverCombo")->setEditText(QStringLiteral("typed.example"));
    control<QLineEdit>(fresh, "newServerEdit")->setText(QStringLiteral("127.0.0.1"));
    fresh.addServerClicked();
    EXPECT_EQ(control<QComboBox>(fresh, "serverCombo")->count(), 1);
    EXPECT_EQ(control<QComboBox>(fresh, "serverCombo")->currentText(), QStringLiteral("typed.example"));
    EXPECT_EQ(servers(), 1);
    EXPECT_EQ(server(0), QStringLiteral("127.0.0.1"));
}

TEST_F(TimeSyncDialogTest, ServerCountFromOutsideIsBoundByTheValuesTheKeyHolds)
{
    // Six servers and their count are what the defaults leave in the key.
    struct Case {
        std::int32_t stored;
        int listed;
        std::int32_t afterDelete;  // -1: nothing to delete
        std::int32_t afterAdd;
    };
    const Case cases[] = {
        {6, 6, 5, 6},
        {2, 2, 1, 2},
        {-5, 0, -1, 1},
        {2147483647, 6, 5, 6},
    };
    settings::Settings registry;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        env.boxes.clear();
        for (int i = 0; i < 6; ++i)
            testing_support::writeStr(RootKey::CurrentUser, QString::fromLatin1(regkeys::kTimeSync), serverValue(i),
                                      QString::fromLatin1(settings::kDefaultTimeServers[i]));
        writeInt(RootKey::CurrentUser, regkeys::kTimeSync, regkeys::vServers, c.stored);
        QElapsedTimer elapsed;
        elapsed.start();
        EXPECT_EQ(times::loadServers(registry).size(), c.listed);
        EXPECT_LT(elapsed.elapsed(), 2000);
        EXPECT_EQ(times::deleteLastServer(registry), c.afterDelete >= 0);
        if (c.afterDelete >= 0) {
            EXPECT_EQ(servers(), c.afterDelete);
            EXPECT_FALSE(valueExists(RootKey::CurrentUser, regkeys::kTimeSync, serverValue(c.afterDelete)));
        }
        times::addServer(registry, QStringLiteral("127.0.0.1"));
        EXPECT_EQ(servers(), c.afterAdd);
        EXPECT_EQ(server(c.afterAdd - 1), QStringLiteral("127.0.0.1"));
        EXPECT_EQ(times::loadServers(registry).size(), c.afterAdd);
    }
}

TEST_F(TimeSyncDialogTest, OpensCentredAtAFixedSizeThatHoldsEveryCaption)
{
    const QRect screen = dialog->screen()->availableGeometry();
    const QRect frame = dialog->geometry();
    EXPECT_LE(std::abs(frame.center().x() - screen.center().x()), 2) << frame.x() << " " << frame.width();
    EXPECT_LE(std::abs(frame.center().y() - screen.center().y()), 2) << frame.y() << " " << frame.height();
    EXPECT_EQ(dialog->minimumSize(), dialog->maximumSize());
    EXPECT_GE(dialog->width(), 390);
    EXPECT_GE(dialog->height(), 224);
    const QWidget* captioned[] = {
        control<QToolButton>(dialog, "addServerButton"), control<QToolButton>(dialog, "deleteServerButton"),
        control<QPushButton>(dialog, "getTimeButton"),   control<QPushButton>(dialog, "setTimeButton"),
        control<QPushButton>(dialog, "okButton"),        control<QPushButton>(dialog, "helpButton")};
    for (const QWidget* w : captioned)
        EXPECT_GE(w->width(), w->sizeHint().width());
}

TEST_F(TimeSyncDialogTest, HelpOpensContext21)
{
    control<QPushButton>(dialog, "helpButton")->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].kind, testing_support::FakeHelp::Call::Context);
    EXPECT_EQ(env.help.calls[0].context, 21);
}

TEST_F(TimeSyncDialogTest, GetTimeShowsServerUtcLocalAndPcTimeAndSetsNothing)
{
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // 23:30:00 UTC is half past midnight of the next day in Berlin.
    FixedTimeServer server(FixedTimeServer::countBytes(countOf(utc("2026-12-10T23:30:00"))));
    askServer(server);
    env.clock.set(2026, 12, 10, 23, 29, 5);
    control<QPushButton>(dialog, "getTimeButton")->click();
    QLocale::setDefault(QLocale::system());

    EXPECT_EQ(control<QLabel>(dialog, "serverUtcLabel")->text(), QStringLiteral("11:30:00 PM"));
    EXPECT_EQ(control<QLabel>(dialog, "serverLocalLabel")->text(), QStringLiteral("0:30:00"));
    EXPECT_EQ(control<QLabel>(dialog, "pcTimeLabel")->text(), QStringLiteral("23:29:5"));
    EXPECT_TRUE(env.clockSetter.set.empty());
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(QLatin1Char('|')).toStdString();
    expectIdle();
}

TEST_F(TimeSyncDialogTest, SetTimeSavesTheRunningConnectionBeforeTheClockChangesAndSplitsIt)
{
    const QDateTime serverTime = utc("2026-12-10T09:15:00");  // 10:15 in Berlin
    FixedTimeServer server(FixedTimeServer::countBytes(countOf(serverTime)));
    askServer(server);
    env.clock.set(2026, 12, 10, 10, 0, 0);
    env.setLine(true);
    session->tick();
    ASSERT_EQ(session->connection().state(), ConnectionState::Counting);
    env.clock.set(2026, 12, 10, 10, 5, 0);

    std::size_t recordsWhenSet = 0;
    int pauseWhenSet = -1;
    env.clockSetter.onSet = [&](const QDateTime& when) {
        recordsWhenSet = records().size();
        pauseWhenSet = session->monitoringPaused() ? 1 : 0;
        env.clock.set(when.toLocalTime());
    };
    control<QPushButton>(dialog, "setTimeButton")->click();

    ASSERT_EQ(env.clockSetter.set.size(), 1u);
    EXPECT_EQ(env.clockSetter.set[0].toSecsSinceEpoch(), serverTime.toSecsSinceEpoch());
    EXPECT_EQ(recordsWhenSet, 1u);
    EXPECT_EQ(pauseWhenSet, 1);
    EXPECT_EQ(control<QLabel>(dialog, "serverLocalLabel")->text(), QStringLiteral("10:15:0"));
    EXPECT_EQ(control<QLabel>(dialog, "pcTimeLabel")->text(), QStringLiteral("10:15:0"));
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(QLatin1Char('|')).toStdString();
    expectIdle();

    session->tick();  // the line is still up: a new connection from the new clock
    env.clock.advance(60);
    env.setLine(false);
    session->tick();

    const auto saved = records();
    ASSERT_EQ(saved.size(), 2u);
    EXPECT_EQ(saved[0].EndTime.hour, 10);
    EXPECT_EQ(saved[0].EndTime.minute, 5);
    EXPECT_EQ(saved[1].StartTime.hour, 10);
    EXPECT_EQ(saved[1].StartTime.minute, 15);
}

// A server whose calendar is wrong sets the time of day only; around midnight the
// PC's clock goes to the nearer side of it, not a day back or forth.
TEST_F(TimeSyncDialogTest, SetTimeKeepsThePcsDateWhateverDateTheServerHas)
{
    SKIP_UNLESS_XINETD_INSTALLED();
    struct Case {
        const char* name;
        QDateTime pcNow;  // Berlin
        const char* serverUtc;  // what the server's count stands for
        QDateTime expected;  // Berlin
    };
    const auto berlin = [](int y, int mo, int d, int h, int mi, int s) {
        return QDateTime(QDate(y, mo, d), QTime(h, mi, s), Qt::LocalTime);
    };
    const Case cases[] = {
        {"a server in 1996", berlin(2026, 12, 10, 12, 0, 0), "1996-01-01T00:00:05", berlin(2026, 12, 10, 1, 0, 5)},
        {"a server past the 2036 wrap", berlin(2026, 12, 10, 12, 0, 0), "2036-03-15T10:20:30",
         berlin(2026, 12, 10, 11, 20, 30)},
        {"the PC before midnight, the server after", berlin(2026, 12, 10, 23, 59, 58), "2026-12-10T23:00:03",
         berlin(2026, 12, 11, 0, 0, 3)},
        {"the PC after midnight, the server before", berlin(2026, 12, 11, 0, 0, 2), "2026-12-10T22:59:57",
         berlin(2026, 12, 10, 23, 59, 57)},
        {"a server in 1996 just after midnight", berlin(2026, 12, 10, 23, 59, 58), "1996-01-01T23:00:03",
         berlin(2026, 12, 11, 0, 0, 3)},
        {"twelve hours apart: the PC's date", berlin(2026, 12, 10, 12, 0, 0), "2030-01-01T23:00:00",
         berlin(2026, 12, 10, 0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        testing_support::XinetdTimeServer xinetd;
        xinetd.serveCount(countOf(utc(c.serverUtc)));
        QString why;
        ASSERT_TRUE(xinetd.start(&why)) << why.toStdString();
        control<QComboBox>(dialog, "serverCombo")->setEditText(QStringLiteral("127.0.0.1"));
        dialog->TimePort = xinetd.port();
        env.clock.set(c.pcNow);
        env.clockSetter.set.clear();
        env.boxes.clear();
        control<QPushButton>(dialog, "setTimeButton")->click();
        EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(QLatin1Char('|')).toStdString();
        ASSERT_EQ(env.clockSetter.set.size(), 1u);
        EXPECT_EQ(env.clockSetter.set[0].toLocalTime().toString(Qt::ISODate), c.expected.toString(Qt::ISODate));
        EXPECT_EQ(control<QLabel>(dialog, "pcTimeLabel")->text(),
                  formats::clockText(platform::LocalDateTime::fromDateTime(c.expected)));
        expectIdle();
    }
}

TEST_F(TimeSyncDialogTest, SetTimeWithMonitoringAlreadyOffLeavesItOff)
{
    FixedTimeServer server(FixedTimeServer::countBytes(countOf(utc("2026-12-10T09:15:00"))));
    askServer(server);
    session->setMonitoringPaused(true);
    control<QPushButton>(dialog, "setTimeButton")->click();
    EXPECT_EQ(env.clockSetter.set.size(), 1u);
    EXPECT_TRUE(session->monitoringPaused());
    EXPECT_EQ(dialog->SuspendedMonitoring, 0);
    dialog->close();
    EXPECT_TRUE(session->monitoringPaused());
}

TEST_F(TimeSyncDialogTest, ClosingWhileTheSystemSetsTheClockKeepsThePauseUntilItIsSet)
{
    FixedTimeServer server(FixedTimeServer::countBytes(countOf(utc("2026-12-10T09:15:00"))));
    askServer(server);
    int pauseAfterClose = -1;
    env.clockSetter.onSet = [&](const QDateTime&) {
        dialog->close();
        pauseAfterClose = session->monitoringPaused() ? 1 : 0;
    };
    control<QPushButton>(dialog, "setTimeButton")->click();
    EXPECT_EQ(pauseAfterClose, 1);
    EXPECT_EQ(env.clockSetter.set.size(), 1u);
    expectIdle();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(TimeSyncDialogTest, RefusedClockChangeIsReportedAndTheCurrentTimeLabelKept)
{
    FixedTimeServer server(FixedTimeServer::countBytes(countOf(utc("2026-12-10T09:15:00"))));
    askServer(server);
    control<QLabel>(dialog, "pcTimeLabel")->setText(QStringLiteral("before"));
    env.clockSetter.refuse = true;
    control<QPushButton>(dialog, "setTimeButton")->click();
    EXPECT_TRUE(env.clockSetter.set.empty());
    EXPECT_EQ(env.boxes.texts(), QStringList{QStringLiteral("Access denied: the system refused to set the clock.")});
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_EQ(control<QLabel>(dialog, "pcTimeLabel")->text(), QStringLiteral("before"));
    expectIdle();
}

TEST_F(TimeSyncDialogTest, FailedQueriesEndThePauseAndSetNoClock)
{
    {
        SCOPED_TRACE("no answer: the time-out is shown");
        FixedTimeServer server(std::nullopt, false);
        askServer(server);
        dialog->QueryTimeout = 300;
        control<QPushButton>(dialog, "setTimeButton")->click();
        EXPECT_EQ(env.boxes.texts(), QStringList{QStringLiteral("Connection Timedout.")});
        EXPECT_TRUE(env.clockSetter.set.empty());
        expectIdle();
        EXPECT_TRUE(dialog->isVisible());
    }
    env.boxes.clear();
    {
        SCOPED_TRACE("a count of 0");
        FixedTimeServer server(FixedTimeServer::countBytes(0));
        askServer(server);
        control<QPushButton>(dialog, "setTimeButton")->click();
        ASSERT_EQ(env.boxes.shown.size(), 1u);
        EXPECT_TRUE(env.clockSetter.set.empty());
        expectIdle();
    }
    env.boxes.clear();
    {
        SCOPED_TRACE("closed without the time: the failure message closes the dialog");
        FixedTimeServer server(QByteArray("\x01\x02", 2));
        askServer(server);
        control<QPushButton>(dialog, "setTimeButton")->click();
        EXPECT_EQ(env.boxes.texts(), QStringList{QStringLiteral("Connection failed !")});
        EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
        EXPECT_TRUE(env.clockSetter.set.empty());
        expectIdle();
        EXPECT_FALSE(dialog->isVisible());
    }
}

TEST_F(TimeSyncDialogTest, ClosingDuringTheWaitEndsTheQueryWithoutSettingTheClock)
{
    FixedTimeServer server(std::nullopt, false);
    askServer(server);
    dialog->QueryTimeout = 5000;
    int pauseDuringWait = -1;
    QTimer::singleShot(100, [&] {
        pauseDuringWait = session->monitoringPaused() ? 1 : 0;
        dialog->close();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    control<QPushButton>(dialog, "setTimeButton")->click();
    EXPECT_LT(elapsed.elapsed(), 3000);
    EXPECT_EQ(pauseDuringWait, 1);
    EXPECT_TRUE(env.clockSetter.set.empty());
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(QLatin1Char('|')).toStdString();
    expectIdle();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(TimeSyncDialogTest, OkDuringTheWaitEndsTheQueryAndClosesTheDialog)
{
    FixedTimeServer server(std::nullopt, false);
    askServer(server);
    dialog->QueryTimeout = 5000;
    QTimer::singleShot(100, [&] { control<QPushButton>(dialog, "okButton")->click(); });
    QElapsedTimer elapsed;
    elapsed.start();
    control<QPushButton>(dialog, "getTimeButton")->click();
    EXPECT_LT(elapsed.elapsed(), 3000);
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(QLatin1Char('|')).toStdString();
    EXPECT_FALSE(dialog->isVisible());
}

TEST_F(TimeSyncDialogTest, GetTimeFromTheRealTimeServer)
{
    SKIP_UNLESS_XINETD_INSTALLED();
    testing_support::XinetdTimeServer xinetd;
    QString why;
    ASSERT_TRUE(xinetd.start(&why)) << why.toStdString();
    control<QComboBox>(dialog, "serverCombo")->setEditText(QStringLiteral("127.0.0.1"));
    dialog->TimePort = xinetd.port();
    control<QPushButton>(dialog, "getTimeButton")->click();
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(QLatin1Char('|')).toStdString();
    const QTime shown =
        QTime::fromString(control<QLabel>(dialog, "serverLocalLabel")->text(), QStringLiteral("H:mm:ss"));
    ASSERT_TRUE(shown.isValid()) << control<QLabel>(dialog, "serverLocalLabel")->text().toStdString();
    const int drift = std::abs(shown.secsTo(QTime::currentTime()));
    EXPECT_TRUE(drift <= 2 || drift >= 86398) << drift;
}

}  // namespace
