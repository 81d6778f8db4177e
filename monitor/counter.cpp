#include "counter.h"

#include "Application.h"
#include "Help.h"
#include "MessageBox.h"
#include "Process.h"
#include "Registry.h"
#include "RegistryNames.h"
#include "Taskbar.h"
#include "Tray.h"
#include "Unit8.h"
#include "about.h"

#include <QApplication>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPushButton>
#include <QSaveFile>
#include <QTimer>
#include <QVBoxLayout>

#include <memory>

using platform::RootKey;
namespace rk = regkeys;

TForm1* Form1 = nullptr;
TForm8* Form8 = nullptr;
TAboutBox* AboutBox = nullptr;

namespace {

std::unique_ptr<platform::Registry> projectRegistry;
std::unique_ptr<platform::Registry> mainRegistry;
// The picture handed to the tray on every add and update.
QIcon TrayIconImage;
// The splash that the main window's creation shows lives as long as the program.
std::unique_ptr<TForm8> startSplash;

QString caption()
{
    return QString::fromLatin1(counter::kCaption);
}

QString name(const char* registryName)
{
    return QString::fromLatin1(registryName);
}

// One key of the unit's registry object, open for the scope. A key that fails to open
// leaves none open, so reads raise the registry's own errors instead of reading
// whatever key was open before.
class Key {
public:
    Key(RootKey root, const char* path, bool canCreate = true)
        : m_registry(UnitRegistry())
    {
        m_registry.closeKey();
        m_registry.setRootKey(root);
        m_opened = m_registry.openKey(name(path), canCreate);
    }
    Key(RootKey root, const QString& path, bool canCreate)
        : m_registry(UnitRegistry())
    {
        m_registry.closeKey();
        m_registry.setRootKey(root);
        m_opened = m_registry.openKey(path, canCreate);
    }
    ~Key() { m_registry.closeKey(); }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool opened() const { return m_opened; }
    platform::Registry* operator->() { return &m_registry; }

    std::int32_t readInt(const char* value) { return m_registry.readInteger(name(value)); }
    QString readStr(const char* value) { return m_registry.readString(name(value)); }
    void writeInt(const char* value, std::int32_t v) { m_registry.writeInteger(name(value), v); }
    void writeStr(const char* value, const QString& v) { m_registry.writeString(name(value), v); }

private:
    platform::Registry& m_registry;
    bool m_opened = false;
};

void showError(const QString& text)
{
    platform::messageBox(text, caption(), platform::MessageIcon::Error);
}

// ---- pictures drawn at run time ----------------------------------------------------

QPixmap linePicture(int size, const QColor& lamp, bool crossed)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    // A telephone handset over a small lamp that shows the state.
    QPainterPath handset;
    handset.moveTo(2 * s, 6 * s);
    handset.cubicTo(2 * s, 2 * s, 14 * s, 2 * s, 14 * s, 6 * s);
    handset.lineTo(11 * s, 7.5 * s);
    handset.lineTo(10 * s, 5.5 * s);
    handset.cubicTo(9 * s, 5 * s, 7 * s, 5 * s, 6 * s, 5.5 * s);
    handset.lineTo(5 * s, 7.5 * s);
    handset.closeSubpath();
    p.setPen(QPen(Qt::black, 0.8 * s));
    p.setBrush(QColor(40, 40, 40));
    p.drawPath(handset);
    p.setBrush(lamp);
    p.drawEllipse(QRectF(4.5 * s, 8.5 * s, 7 * s, 7 * s));
    if (crossed) {
        p.setPen(QPen(Qt::white, 1.2 * s));
        p.drawLine(QPointF(6 * s, 10 * s), QPointF(10 * s, 14 * s));
        p.drawLine(QPointF(10 * s, 10 * s), QPointF(6 * s, 14 * s));
    }
    return pixmap;
}

QPixmap holidayPicture()
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(230, 150, 0), 1.2));
    for (int i = 0; i < 8; ++i) {
        p.save();
        p.translate(8, 8);
        p.rotate(45.0 * i);
        p.drawLine(QPointF(0, 4.5), QPointF(0, 7.5));
        p.restore();
    }
    p.setBrush(QColor(255, 210, 0));
    p.drawEllipse(QRectF(4.5, 4.5, 7, 7));
    return pixmap;
}

QPixmap monitoringPicture(bool on)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    // An eye, open and green while monitoring, struck through in red when it is off.
    QPainterPath eye;
    eye.moveTo(1, 8);
    eye.quadTo(8, 1, 15, 8);
    eye.quadTo(8, 15, 1, 8);
    p.setPen(QPen(Qt::black, 1));
    p.setBrush(Qt::white);
    p.drawPath(eye);
    p.setBrush(on ? QColor(0, 160, 0) : QColor(120, 120, 120));
    p.drawEllipse(QRectF(5.5, 5.5, 5, 5));
    if (!on) {
        p.setPen(QPen(QColor(210, 0, 0), 2));
        p.drawLine(QPointF(2, 14), QPointF(14, 2));
    }
    return pixmap;
}

}  // namespace

// =====================================================================================
// Plain logic
// =====================================================================================

namespace counter {

QString feeText(std::int32_t cents)
{
    return QString::number(cents / 100) + QStringLiteral(" dol. ") + QString::number(cents % 100)
           + QStringLiteral(" c.");
}

QString elapsedText(std::int32_t seconds)
{
    return QString::number(seconds / 3600) + QStringLiteral(" h. ")
           + QString::number((seconds % 3600) / 60) + QStringLiteral(" min. ")
           + QString::number(seconds % 60) + QStringLiteral(" sec.");
}

QString clockText(const platform::SystemTime& time)
{
    return QStringLiteral("%1:%2:%3").arg(time.wHour).arg(time.wMinute).arg(time.wSecond);
}

int secondOfDay(const platform::SystemTime& time)
{
    return time.wHour * 3600 + time.wMinute * 60 + time.wSecond;
}

std::int32_t elapsedSince(const platform::SystemTime& start, int startSecondOfDay,
                          const platform::SystemTime& now)
{
    const QDate startDate(start.wYear, start.wMonth, start.wDay);
    const QDate nowDate(now.wYear, now.wMonth, now.wDay);
    qint64 days = 0;
    if (startDate.isValid() && nowDate.isValid())
        days = startDate.daysTo(nowDate);
    const qint64 elapsed = days * 86400 + secondOfDay(now) - startSecondOfDay;
    return static_cast<std::int32_t>(std::clamp<qint64>(elapsed, INT32_MIN, INT32_MAX));
}

std::int32_t minuteCost(const TariffSlot& slot, int hour)
{
    if (slot.OCPDay == 0 && (hour < slot.StartingInterval || hour >= slot.EndingInterval))
        return slot.NightCost;
    return slot.DayCost;
}

QString tariffDayKey(int holidayMode, int dayOfWeek)
{
    if (holidayMode != 0)
        return QString::fromLatin1(rk::kHolidayDay);
    return QString::number(dayOfWeek);
}

QString tariffSlotKey(const QString& provider, const QString& dayKey)
{
    return QString::fromLatin1(rk::kTariffs) + QLatin1Char('\\') + provider + QLatin1Char('\\')
           + dayKey;
}

bool automaticResetDue(int resetMode, int resetDay, int periodStartMonth, int todayMonth,
                       int todayDay)
{
    switch (resetMode) {
    case 1:
        if (resetDay == 14)
            return todayDay >= 14 && periodStartMonth == todayMonth;
        if (resetDay == 1)
            return periodStartMonth != todayMonth;
        return false;
    case 2:
        return todayMonth == periodStartMonth % 12 + 1;
    case 3:
        return todayMonth == (periodStartMonth + 1) % 12 + 1;
    default:
        return false;
    }
}

int nextTwoWeeklyResetDay(int day)
{
    return day < 14 ? 14 : 1;
}

std::int32_t sumTodayFees(const std::vector<history::HistoryRecord>& records, const QDate& today)
{
    std::int32_t sum = 0;
    for (const auto& record : records) {
        if (record.StartTime.wMonth == today.month() && record.StartTime.wDay == today.day())
            sum += record.FeeCents;
    }
    return sum;
}

QString reportFileName(int year, int month, int day)
{
    return QStringLiteral("%1-%2-%3.rpt").arg(year).arg(month).arg(day);
}

namespace {

constexpr int kReportWidth = 140;

QString cut(const QString& text, int longest, int kept)
{
    return text.size() > longest ? text.left(kept) + QStringLiteral("..") : text;
}

void putCell(QString& row, int column, const QString& text)
{
    const int room = kReportWidth - column;
    row.replace(column, std::min<int>(text.size(), room), text.left(room));
}

QString durationColons(std::int32_t seconds)
{
    return QStringLiteral("%1:%2:%3").arg(seconds / 3600).arg((seconds % 3600) / 60).arg(seconds % 60);
}

QString dateSlashes(const platform::SystemTime& t)
{
    return QStringLiteral("%1/%2/%3").arg(t.wYear).arg(t.wMonth).arg(t.wDay);
}

QString timeColons(const platform::SystemTime& t)
{
    return QStringLiteral("%1:%2:%3").arg(t.wHour).arg(t.wMinute).arg(t.wSecond);
}

}  // namespace

QStringList reportLines(const std::vector<history::HistoryRecord>& records)
{
    QStringList lines;
    const QString stars(52, QLatin1Char('*'));
    lines << stars + QStringLiteral(" Report made by Dialtally 2.01 ") + stars;
    const QString rule(kReportWidth, QLatin1Char('='));
    lines << rule;
    lines << QStringLiteral(
        "|    User    | Internet provider |    Con. fee   |  Con. time  |   Total fee   | Started date | Started time |  Ended date  |  Ended time  |");
    lines << rule;

    QString blankRow(kReportWidth, QLatin1Char(' '));
    for (int bar : {0, 13, 33, 49, 63, 79, 94, 109, 124, 139})
        blankRow[bar] = QLatin1Char('|');
    const QString underline(kReportWidth, QLatin1Char('_'));

    std::int64_t total = 0;
    for (const auto& record : records) {
        total += record.FeeCents;
        QString row = blankRow;
        putCell(row, 2, cut(record.userName(), 10, 8));
        putCell(row, 15, cut(record.providerName(), 17, 15));
        putCell(row, 35, cut(feeText(record.FeeCents), 13, 11));
        putCell(row, 51, cut(durationColons(record.DurationSeconds), 11, 9));
        putCell(row, 65, cut(feeText(static_cast<std::int32_t>(total)), 13, 11));
        putCell(row, 81, dateSlashes(record.StartTime));
        putCell(row, 96, timeColons(record.StartTime));
        putCell(row, 112, dateSlashes(record.EndTime));
        putCell(row, 127, timeColons(record.EndTime));
        lines << row << underline;
    }
    return lines;
}

QString fitUserName(const QString& name)
{
    return name.left(49);
}

}  // namespace counter

// =====================================================================================
// Units and program entry
// =====================================================================================

void ProjectUnitInit()
{
    projectRegistry = std::make_unique<platform::Registry>();
}

void MainUnitInit()
{
    mainRegistry = std::make_unique<platform::Registry>();
    TrayIconImage = QIcon();
}

platform::Registry& UnitRegistry()
{
    if (!mainRegistry)
        MainUnitInit();
    return *mainRegistry;
}

int WinMain(RunMode mode)
{
    platform::guard([mode] {
        ProjectUnitInit();
        auto& app = platform::Application::instance();
        app.setTitle(QString::fromLatin1(counter::kApplicationTitle));

        // Each window's creation is an action of its own: an error in one is shown
        // and the next window is still created.
        Form1 = new TForm1();
        app.setMainWindow(Form1);
        platform::guard([] { Form1->FormCreate(); });
        // Preferences (TForm2), Providers (TForm3), Beep (TForm4), Counter (TForm6)
        // and Connections (TForm7) are created here, in this order.
        platform::guard([] { Form8 = new TForm8(); });
        platform::guard([] { AboutBox = new TAboutBox(); });
        // Then Tariffs Options (TForm5), Statistics (TForm9), Open report (TForm10),
        // Graphs (TForm13) and Time synchronization (TForm14).

        Form1->show();

        platform::Registry& registry = *projectRegistry;
        registry.setRootKey(RootKey::CurrentUser);
        registry.openKey(QString::fromLatin1(rk::kSoftware), false);
        const int minimize = registry.readInteger(QString::fromLatin1(rk::vMinimize));
        registry.closeKey();
        if (minimize != 0)
            app.minimize();
        projectRegistry.reset();

        if (mode == RunMode::MessageLoop)
            QApplication::exec();
    });
    return 0;
}

void FreeWindows()
{
    auto& app = platform::Application::instance();
    if (app.mainWindow() == Form1)
        app.setMainWindow(nullptr);
    delete AboutBox;
    AboutBox = nullptr;
    delete Form8;
    Form8 = nullptr;
    startSplash.reset();
    delete Form1;
    Form1 = nullptr;
    projectRegistry.reset();
}

// =====================================================================================
// Start-up
// =====================================================================================

void StoreCounterStartDate()
{
    const QDate today = platform::clock().now().date();
    Key key(RootKey::LocalMachine, rk::kCounterAll);
    key.writeInt(rk::vYear, today.year());
    key.writeInt(rk::vMonth, today.month());
    key.writeInt(rk::vDay, today.day());
}

void MarkFirstRun(TForm1& form, int firstTime)
{
    if (firstTime == 0)
        return;
    {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        key.writeInt(rk::vFirstTime, 0);
    }
    WriteDefaultSettings(form);
}

void WriteDefaultSettings(TForm1& form)
{
    const int today = platform::todayDayNumber();
    {
        // The defaults land together or not at all: a half-written tree would pass the
        // owner check at the next start and miss values that start-up must read.
        platform::RegistryTransaction transaction(UnitRegistry().store());
        {
            Key key(RootKey::CurrentUser, rk::kSoftware);
            key.writeInt(rk::vConnectDelay, 15);
            key.writeInt(rk::vMinimize, 1);
            key.writeInt(rk::vSystemTray, 1);
            key.writeInt(rk::vLogo, 1);
            key.writeStr(rk::vUserName, form.WindowsUser);
            key.writeInt(rk::vMaxd, 1);
            key.writeInt(rk::vPozTop, 138);
            key.writeInt(rk::vPozLeft, 188);
        }
        {
            Key key(RootKey::CurrentUser, rk::kEmail);
            key.writeInt(rk::vOnOff, 0);
        }
        {
            Key key(RootKey::CurrentUser, rk::kBeep);
            key.writeInt(rk::vBeepEnabled, 1);
            key.writeInt(rk::vBeepInterval, 15);
            key.writeInt(rk::vBeepSound, 3);
        }
        {
            Key key(RootKey::CurrentUser, rk::kExec);
            key.writeInt(rk::vLines, 0);
        }
        {
            Key key(RootKey::CurrentUser, rk::kTariffs);
            key.writeInt(rk::vTariff, 1);
        }
        {
            Key key(RootKey::CurrentUser, rk::kTimeSync);
            key.writeInt(rk::vServers, static_cast<int>(counter::kDefaultTimeServers.size()));
            for (std::size_t i = 0; i < counter::kDefaultTimeServers.size(); ++i)
                key->writeString(name(rk::vServerPrefix) + QString::number(i),
                                 QString::fromLatin1(counter::kDefaultTimeServers[i]));
        }
        {
            Key key(RootKey::CurrentUser, rk::kBudget);
            key.writeInt(rk::vOnOff, 0);
            key.writeInt(rk::vBudgetMoney, 0);
            key.writeInt(rk::vBudgetCents, 0);
            key.writeInt(rk::vBudgetCh, 1);
            key.writeInt(rk::vBudgetReserve, 1);
        }
        {
            Key key(RootKey::LocalMachine, rk::kCounterAll);
            key.writeInt(rk::vDouble, today);
        }
        transaction.commit();
    }

    platform::messageBox(QStringLiteral("Settings succesfully personalized to the new user."),
                         caption(), platform::MessageIcon::None, platform::MessageButtons::Ok,
                         platform::MessageOwner::Application);
    platform::messageBox(
        QStringLiteral("You don't have tariffs associated to providers. Please go to menu "
                       "Options|Tariffs, Options|Providers and do it."),
        caption(), platform::MessageIcon::Exclamation, platform::MessageButtons::Ok,
        platform::MessageOwner::None);

    {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        form.ProgramPath = key.readStr(rk::vProgramPath);
    }
    {
        platform::RegistryTransaction transaction(UnitRegistry().store());
        Key key(RootKey::CurrentUser, rk::kEmail);
        key.writeInt(rk::vMinutes, 5);
        key.writeInt(rk::vEmailSystemTray, 1);
        key.writeInt(rk::vAutoCheck, 1);
        key.writeInt(rk::vAutoRestore, 0);
        key.writeInt(rk::vAutoClose, 0);
        key.writeInt(rk::vAutoMinimize, 1);
        key.writeInt(rk::vAutoCloseProgram, 1);
        transaction.commit();
    }
    const QString helpFile = form.ProgramPath + QLatin1Char('/') + QString::fromLatin1(counter::kHelpFileName);
    platform::Application::instance().setHelpFile(helpFile);
    platform::help().contents(helpFile);
}

void RecoverUnsavedConnection(TForm1& form)
{
    platform::messageBox(QStringLiteral("Last connection was unsaved. Dialtally will recover data."),
                         caption(), platform::MessageIcon::Information, platform::MessageButtons::Ok,
                         platform::MessageOwner::None);

    history::HistoryRecord record;
    {
        Key key(RootKey::LocalMachine, rk::kCounterCurrent);
        const auto low16 = [](std::int32_t v) { return static_cast<std::uint16_t>(v & 0xFFFF); };
        record.FeeCents = key.readInt(rk::vMoney);
        record.setProviderName(key.readStr(rk::vProvider));
        record.StartTime.wSecond = low16(key.readInt(rk::vSecundes));
        record.StartTime.wMinute = low16(key.readInt(rk::vStartMinutes));
        record.StartTime.wHour = low16(key.readInt(rk::vHours));
        record.StartTime.wYear = low16(key.readInt(rk::vYear));
        record.StartTime.wDay = low16(key.readInt(rk::vDay));
        record.StartTime.wMonth = low16(key.readInt(rk::vMonth));
        record.StartTime.wDayOfWeek = low16(key.readInt(rk::vDayOfWeek));
        // As in the tick, a "Backup" that was never written names the plain slot.
        const std::int32_t backup =
            key->valueExists(name(rk::vBackup)) ? key.readInt(rk::vBackup) : 0;
        const QString prefix = backup != 0 ? name(rk::kBackupSlotPrefix) : QString();
        const auto slotInt = [&](const char* value) { return key->readInteger(prefix + name(value)); };
        record.setUserName(key->readString(prefix + name(rk::vSlotUser)));
        record.EndTime.wSecond = low16(slotInt(rk::vSlotSecundes));
        record.EndTime.wMinute = low16(slotInt(rk::vSlotMinutes));
        record.EndTime.wHour = low16(slotInt(rk::vSlotHours));
        record.EndTime.wYear = low16(slotInt(rk::vSlotYear));
        record.EndTime.wDay = low16(slotInt(rk::vSlotDay));
        record.EndTime.wMonth = low16(slotInt(rk::vSlotMonth));
        record.EndTime.wDayOfWeek = low16(slotInt(rk::vSlotDayOfWeek));
        record.DurationSeconds = slotInt(rk::vSlotTime);
    }

    QString error;
    if (history::append(form.ProgramPath, record, &error)) {
        Key key(RootKey::LocalMachine, rk::kUsers);
        key.writeInt(rk::vCrash, key.readInt(rk::vCrash) + 1);
    } else {
        // Start-up has already set "Bug" to 1; put the marker back so the next start
        // tries the recovery again instead of losing the connection for good.
        {
            Key key(RootKey::LocalMachine, rk::kSoftware);
            key.writeInt(rk::vBug, 2);
        }
        showError(QStringLiteral("Can't save the recovered connection in %1 : %2")
                      .arg(QDir::toNativeSeparators(history::historyFile(form.ProgramPath)), error));
    }

    bool lineUp = false;
    {
        Key key(RootKey::LocalMachine, rk::kRemoteAccessService, false);
        if (key.opened() && key->valueExists(name(rk::vRemoteConnection))) {
            unsigned char bytes[4] = {0, 0, 0, 0};
            key->readBinaryData(name(rk::vRemoteConnection), bytes, 4);
            lineUp = (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24) == 1;
        }
    }
    if (lineUp) {
        const int answer = platform::messageBox(
            QStringLiteral("Are you connected now ?"), caption(), platform::MessageIcon::Question,
            platform::MessageButtons::YesNo, platform::MessageOwner::Application);
        if (answer == platform::IDNO) {
            Key key(RootKey::LocalMachine, rk::kRemoteAccessService, false);
            if (key.opened())
                key->writeBinaryData(name(rk::vRemoteConnection), QByteArray(4, '\0'));
        }
    }
}

void SumTodayFees(TForm1& form)
{
    form.TodayFee = counter::sumTodayFees(history::readAll(form.ProgramPath),
                                          platform::clock().now().date());
}

namespace {

void loadPeriodTotals(TForm1& form)
{
    const auto totals = history::sumTotals(history::readAll(form.ProgramPath));
    form.MonthFee = static_cast<std::int32_t>(totals.feeCents);
    form.MonthSeconds = static_cast<std::int32_t>(totals.seconds);
}

}  // namespace

void StartUp(TForm1& form)
{
    form.ConnectionState = 0;
    form.CurrentProvider = QStringLiteral(" ");

    int firstTime = 0;
    {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        form.ProgramPath = key.readStr(rk::vProgramPath);
        firstTime = key.readInt(rk::vFirstTime);
    }
    {
        Key key(RootKey::LocalMachine, rk::kControl);
        platform::Registry::KeyInfo info;
        if (key->getKeyInfo(info) && info.numValues == 0)
            form.WindowsUser = QStringLiteral("Default");
        else
            form.WindowsUser = counter::fitUserName(key.readStr(rk::vCurrentUser));
    }
    form.ConnectionUser.clear();
    form.HolidayMode = 0;
    platform::Application::instance().setHelpFile(form.ProgramPath + QLatin1Char('/')
                                                  + QString::fromLatin1(counter::kHelpFileName));

    if (firstTime != 0)
        StoreCounterStartDate();
    MarkFirstRun(form, firstTime);

    // The per-user key belongs to one Windows user; anyone else gets a fresh one.
    bool writeDefaults = false;
    {
        Key key(RootKey::CurrentUser, rk::kSoftware, false);
        if (!key.opened()) {
            writeDefaults = true;
        } else if (key.readStr(rk::vUserName) != form.WindowsUser) {
            key->closeKey();
            key->deleteKey(name(rk::kSoftware));
            writeDefaults = true;
        }
    }
    if (writeDefaults)
        WriteDefaultSettings(form);

    {
        Key key(RootKey::CurrentUser, rk::kSoftware, false);
        form.TrayMode = key.readInt(rk::vSystemTray);
    }
    if (form.TrayMode == 1)
        AddTrayIcon(form);

    int antiCrash = 0;
    {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        form.BugAtStart = key.readInt(rk::vBug);
        key.writeInt(rk::vBug, 1);
        antiCrash = key.readInt(rk::vAntiCrash);
    }
    {
        Key key(RootKey::CurrentUser, rk::kBeep);
        form.BeepInterval = key.readInt(rk::vBeepInterval);
        form.BeepEnabled = key.readInt(rk::vBeepEnabled);
        form.BeepSound = key.readInt(rk::vBeepSound);
    }
    {
        Key key(RootKey::LocalMachine, rk::kCounterAll);
        form.ResetMode = key.readInt(rk::vReset);
        form.ResetDay = key.readInt(rk::vReset14);
    }
    form.MonthFeeBefore = form.MonthFee;
    form.ConnectionFee = 0;

    if (form.BugAtStart == 2 && antiCrash == 1)
        RecoverUnsavedConnection(form);

    loadPeriodTotals(form);
    form.MonthFeeBefore = form.MonthFee;
    SumTodayFees(form);

    {
        Key key(RootKey::CurrentUser, rk::kSoftware);
        const int top = key.readInt(rk::vPozTop);
        const int left = key.readInt(rk::vPozLeft);
        form.move(left, top);
    }
    form.Timer1->start();
}

// =====================================================================================
// Counter period
// =====================================================================================

void AutomaticResetCheck(TForm1& form)
{
    const QDate today = platform::clock().now().date();
    int periodStartMonth = 0;
    {
        Key key(RootKey::LocalMachine, rk::kCounterAll);
        periodStartMonth = key.readInt(rk::vMonth);
        form.ResetMode = key.readInt(rk::vReset);
    }
    int report = 0;
    {
        Key key(RootKey::LocalMachine, rk::kCounterAll);
        report = key.readInt(rk::vReport);
    }
    if (counter::automaticResetDue(form.ResetMode, form.ResetDay, periodStartMonth, today.month(),
                                   today.day()))
        ResetCounter(form, today.year(), today.month(), today.day(), report);
}

bool WriteReport(TForm1& form, int year, int month, int day, QString* error)
{
    const QString folder = form.ProgramPath + QStringLiteral("/Reports");
    QDir().mkpath(folder);
    const QString file = folder + QLatin1Char('/') + counter::reportFileName(year, month, day);
    QByteArray bytes;
    for (const QString& line : counter::reportLines(history::readAll(form.ProgramPath)))
        bytes += line.toLatin1() + "\r\n";
    // Written aside and renamed, so a failed write never leaves half a report in
    // place of the earlier one of the same date.
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly) && out.write(bytes) == bytes.size() && out.commit())
        return true;
    if (error)
        *error = QStringLiteral("%1 : %2").arg(QDir::toNativeSeparators(file), out.errorString());
    return false;
}

void ResetCounter(TForm1& form, int year, int month, int day, int withReport)
{
    if (withReport == 1) {
        QString error;
        if (!WriteReport(form, year, month, day, &error)) {
            // The report is the only copy of the closing period once the history is
            // emptied, so the reset waits until the report can be written.
            showError(QStringLiteral("Can't write the report %1. The counter was not reset.").arg(error));
            return;
        }
    }
    QString error;
    if (!history::truncate(form.ProgramPath, &error)) {
        showError(QStringLiteral("Can't empty the history file %1 : %2. The counter was not reset.")
                      .arg(QDir::toNativeSeparators(history::historyFile(form.ProgramPath)), error));
        return;
    }

    if (form.ConnectionState == 2) {
        form.MonthFee = form.ConnectionFee;
        form.MonthSeconds = form.CurrentRecord.DurationSeconds;
    } else {
        form.MonthFee = 0;
        form.MonthSeconds = 0;
    }
    form.MonthFeeBefore = 0;
    form.MonthSecondsBefore = 0;

    platform::RegistryTransaction transaction(UnitRegistry().store());
    {
        Key key(RootKey::LocalMachine, rk::kCounterAll);
        key.writeInt(rk::vDouble, platform::todayDayNumber());
        key.writeInt(rk::vYear, year);
        key.writeInt(rk::vMonth, month);
        key.writeInt(rk::vDay, day);
        // The two-weekly mode moves on to its next reset day, as the Counter dialog
        // would set it on this date; otherwise it would reset again at every start.
        if (form.ResetMode == 1) {
            form.ResetDay = counter::nextTwoWeeklyResetDay(day);
            key.writeInt(rk::vReset14, form.ResetDay);
        }
    }
    {
        Key key(RootKey::LocalMachine, rk::kUsers);
        key.writeInt(rk::vCrash, 0);
    }
    transaction.commit();
    // The budget label is refreshed here once the budget comes in.
}

// =====================================================================================
// The tick
// =====================================================================================

platform::SystemTime GetLocalTimeRecord()
{
    return platform::localTimeRecord();
}

void ShowClock(TForm1& form)
{
    form.Label23->setText(counter::clockText(GetLocalTimeRecord()));
}

namespace {

void startConnection(TForm1& form)
{
    form.Image2->hide();
    form.Image1->show();
    form.BeepCount = 1;
    // A fresh record, so nothing of the previous connection can leak into this one.
    form.CurrentRecord = history::HistoryRecord{};
    const platform::SystemTime start = GetLocalTimeRecord();
    form.CurrentRecord.StartTime = start;
    form.ConnectionFee = 0;

    // Everything the recovery reads for this connection becomes visible at once,
    // with "Bug" = 2 last.
    platform::RegistryTransaction transaction(UnitRegistry().store());
    {
        Key key(RootKey::LocalMachine, rk::kCounterCurrent);
        key.writeInt(rk::vSecundes, start.wSecond);
        key.writeInt(rk::vStartMinutes, start.wMinute);
        key.writeInt(rk::vHours, start.wHour);
        key.writeInt(rk::vYear, start.wYear);
        key.writeInt(rk::vDay, start.wDay);
        key.writeInt(rk::vMonth, start.wMonth);
        key.writeInt(rk::vDayOfWeek, start.wDayOfWeek);
        // A crash before the first charge must not recover the last connection's fee.
        key.writeInt(rk::vMoney, 0);
        key.writeStr(rk::vFee, counter::feeText(0));
    }
    loadPeriodTotals(form);
    SumTodayFees(form);
    form.MonthFeeBefore = form.MonthFee;
    form.MonthSecondsBefore = form.MonthSeconds;
    form.LastChargedMinute = -1;
    {
        Key key(RootKey::CurrentUser, rk::kSoftware);
        form.StartSecondOfDay = counter::secondOfDay(start) - key.readInt(rk::vConnectDelay);
    }
    {
        Key key(RootKey::CurrentUser, rk::kRemoteAccess, false);
        form.CurrentProvider = key.opened() ? key.readStr(rk::vDefault) : QString();
    }
    form.CurrentRecord.setProviderName(form.CurrentProvider);
    form.FeeText = counter::feeText(0);
    form.Label8->setText(form.FeeText);
    form.ConnectionUser = form.WindowsUser;
    {
        Key key(RootKey::LocalMachine, rk::kCounterCurrent);
        key.writeStr(rk::vProvider, form.CurrentProvider);
    }
    {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        key.writeInt(rk::vBug, 2);
    }
    transaction.commit();
    form.ConnectionState = 2;
    LaunchConnectPrograms(form);
}

void endConnection(TForm1& form)
{
    form.ConnectionState = 0;
    form.Image1->hide();
    form.Image2->show();
    form.CurrentRecord.EndTime = GetLocalTimeRecord();
    form.BeepCount = 1;
    form.CurrentRecord.FeeCents = form.ConnectionFee;
    form.CurrentRecord.setUserName(form.ConnectionUser);

    QString error;
    const bool saved = history::append(form.ProgramPath, form.CurrentRecord, &error);
    // Only a record that is on disk clears the marker; otherwise the next start
    // recovers the connection from the backup slots.
    if (saved) {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        key.writeInt(rk::vBug, 1);
    }
    form.CurrentProvider = QStringLiteral(" ");
    form.ConnectionUser.clear();
    if (!saved)
        showError(QStringLiteral("Can't save the connection in %1 : %2")
                      .arg(QDir::toNativeSeparators(history::historyFile(form.ProgramPath)), error));

    int maxd = 0;
    {
        Key key(RootKey::CurrentUser, rk::kSoftware);
        maxd = key.readInt(rk::vMaxd);
    }
    if (maxd != 0)
        platform::Application::instance().restore();
}

void writeBackupSlot(TForm1& form, const platform::SystemTime& now)
{
    Key key(RootKey::LocalMachine, rk::kCounterCurrent);
    const std::int32_t backup = key->valueExists(name(rk::vBackup)) ? key.readInt(rk::vBackup) : 0;
    // Overwrite the slot that was not completed last; "Backup" names it only once
    // all of it is written.
    const QString prefix = backup != 0 ? QString() : name(rk::kBackupSlotPrefix);
    const auto put = [&](const char* value, std::int32_t v) { key->writeInteger(prefix + name(value), v); };
    key->writeString(prefix + name(rk::vSlotUser), form.ConnectionUser);
    put(rk::vSlotSecundes, now.wSecond);
    put(rk::vSlotMinutes, now.wMinute);
    put(rk::vSlotHours, now.wHour);
    put(rk::vSlotYear, now.wYear);
    put(rk::vSlotDay, now.wDay);
    put(rk::vSlotMonth, now.wMonth);
    put(rk::vSlotDayOfWeek, now.wDayOfWeek);
    put(rk::vSlotTime, form.CurrentRecord.DurationSeconds);
    key.writeInt(rk::vBackup, backup != 0 ? 0 : 1);
}

}  // namespace

void UpdateConnectionState(TForm1& form)
{
    form.GroupBox1->setTitle(form.IsConnected != 0 ? QStringLiteral("Connected")
                                                   : QStringLiteral("Not connected"));
    form.Label9->setText(form.CurrentProvider);
    form.Label24->setText(form.ConnectionUser);
    if (form.ConnectionState == 0 && form.IsConnected == 1)
        form.ConnectionState = 1;
    if (form.ConnectionState == 2 && form.IsConnected == 0)
        endConnection(form);
    if (form.IsConnected != 0 && form.ConnectionState == 1)
        startConnection(form);
}

void LaunchConnectPrograms(TForm1& form)
{
    Q_UNUSED(form);
    QStringList commands;
    {
        Key key(RootKey::CurrentUser, rk::kExec);
        std::int32_t count = key.readInt(rk::vLines);
        // Each command is a value of the key, so there can't be more of them than
        // values; a corrupt count must not spin the tick.
        platform::Registry::KeyInfo info;
        if (key->getKeyInfo(info))
            count = std::min(count, info.numValues);
        for (std::int32_t i = 0; i < count; ++i)
            commands << key->readString(name(rk::vLinePrefix) + QString::number(i));
    }
    for (const QString& command : commands) {
        // No shell: the line is split into the program and its arguments.
        const QStringList words = platform::splitCommandLine(command);
        const bool started =
            !words.isEmpty() && platform::processes().start(words.first(), words.mid(1));
        if (!started)
            showError(QStringLiteral("Can't launch the program : ") + command);
    }
}

void ChargeTariffMinute(TForm1& form, platform::SystemTime now)
{
    const QString slotKey =
        counter::tariffSlotKey(form.CurrentProvider, counter::tariffDayKey(form.HolidayMode, now.wDayOfWeek));
    counter::TariffSlot slot;
    {
        Key key(RootKey::CurrentUser, slotKey, false);
        if (form.CurrentProvider.isEmpty() || !key.opened()) {
            form.Label8->setText(QStringLiteral("No tariffs for provider"));
            return;
        }
        if (key.readStr(rk::vSlotTariffProfile).isEmpty()) {
            form.Label8->setText(QStringLiteral("No tariff for this day"));
            return;
        }
        slot.StartingInterval = key.readInt(rk::vStartingInterval);
        slot.EndingInterval = key.readInt(rk::vEndingInterval);
        slot.DayCost = key.readInt(rk::vDayCost);
        slot.NightCost = key.readInt(rk::vNightCost);
        slot.OCPDay = key.readInt(rk::vOcpDay);
    }
    form.ConnectionFee += counter::minuteCost(slot, now.wHour);
    form.MonthFee = form.MonthFeeBefore + form.ConnectionFee;
    form.FeeText = counter::feeText(form.ConnectionFee);
    form.Label8->setText(form.FeeText);
    Key key(RootKey::LocalMachine, rk::kCounterCurrent);
    key.writeInt(rk::vMoney, form.ConnectionFee);
    key.writeStr(rk::vFee, form.FeeText);
    // The budget check follows the charge once the budget comes in.
}

void CountConnectionTick(TForm1& form)
{
    auto& app = platform::Application::instance();
    if (form.ConnectionState == 2) {
        // The budget balance is shown first here once the budget comes in.
        const platform::SystemTime now = GetLocalTimeRecord();
        const std::int32_t elapsed = counter::elapsedSince(form.CurrentRecord.StartTime,
                                                           form.StartSecondOfDay, now);
        form.CurrentRecord.DurationSeconds = elapsed;
        form.ElapsedSeconds = elapsed;
        form.MonthSeconds = form.MonthSecondsBefore + elapsed;

        // The charge and the backup slot are one commit: a counting tick is seen
        // whole or not at all.
        platform::RegistryTransaction transaction(UnitRegistry().store());
        const std::int32_t minutes = elapsed / 60;
        if (minutes != form.LastChargedMinute)
            ChargeTariffMinute(form, now);
        form.LastChargedMinute = minutes;

        const QString text = counter::elapsedText(elapsed);
        form.Label6->setText(text);
        form.ElapsedText = text + form.FeeText;
        const QString summary = QStringLiteral("Dialtally: [ ") + form.ElapsedText + QStringLiteral(" ]");
        app.setHint(summary);
        app.setTitle(summary);
        if (form.TrayMode == 1)
            UpdateTrayIcon(form, summary, counter::kImageConnected);

        writeBackupSlot(form, now);
        transaction.commit();
    } else {
        const QString idle = QString::fromLatin1(counter::kNotConnectedSummary);
        app.setTitle(idle);
        app.setHint(idle);
        if (form.TrayMode == 1)
            UpdateTrayIcon(form, idle, counter::kImageNotConnected);
    }
    form.Label16->setText(counter::feeText(form.MonthFee));
}

// =====================================================================================
// Tray
// =====================================================================================

bool AddTrayIcon(TForm1& form)
{
    if (!platform::trayIcon().isAvailable()) {
        form.TrayMode = 0;
        platform::taskbarButton().show();
        return false;
    }
    TrayIconImage = form.ImageList1[counter::kImageNotConnected];
    const bool added = platform::trayIcon().add(TrayIconImage);
    platform::taskbarButton().hide();
    return added || platform::trayIcon().exists();
}

bool UpdateTrayIcon(TForm1& form, const QString& text, int imageIndex)
{
    TrayIconImage = form.ImageList1[static_cast<std::size_t>(imageIndex)];
    return platform::trayIcon().modify(platform::cutTrayTip(text), TrayIconImage);
}

void RemoveTrayIcon(TForm1& form)
{
    Q_UNUSED(form);
    platform::trayIcon().remove();
    platform::taskbarButton().show();
}

// =====================================================================================
// The main window
// =====================================================================================

TForm1::TForm1(QWidget* parent)
    : QMainWindow(parent)
{
    MainUnitInit();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(caption());
    ImageList1[counter::kImageNotConnected] = QIcon(linePicture(16, QColor(200, 0, 0), true));
    ImageList1[counter::kImageConnected] = QIcon(linePicture(16, QColor(0, 180, 0), false));
    ImageList1[counter::kImageHoliday] = QIcon(holidayPicture());
    ImageList1[counter::kImageMonitoringOn] = QIcon(monitoringPicture(true));
    ImageList1[counter::kImageMonitoringOff] = QIcon(monitoringPicture(false));
    buildWindow();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(); });

    platform::trayIcon().setCallback(
        [this](tray::TrayMessage message) { platform::guard([&] { Dispatch(message); }); });
}

TForm1::~TForm1()
{
    platform::trayIcon().setCallback(nullptr);
}

void TForm1::buildWindow()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    const auto valueLabel = [&](const char* objectName) {
        auto* label = new QLabel(central);
        label->setObjectName(QString::fromLatin1(objectName));
        label->setMinimumWidth(160);
        return label;
    };

    GroupBox1 = new QGroupBox(QStringLiteral("Not connected"), central);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    auto* grid = new QGridLayout(GroupBox1);
    Image1 = new QLabel(GroupBox1);
    Image1->setObjectName(QStringLiteral("Image1"));
    Image1->setPixmap(linePicture(32, QColor(0, 180, 0), false));
    Image1->setToolTip(QStringLiteral("Connected"));
    Image1->hide();
    Image2 = new QLabel(GroupBox1);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setPixmap(linePicture(32, QColor(200, 0, 0), true));
    Image2->setToolTip(QStringLiteral("Not connected"));
    // The two pictures lie on one spot; exactly one of them is visible.
    grid->addWidget(Image1, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(Image2, 0, 0, 4, 1, Qt::AlignTop);
    Label9 = valueLabel("Label9");
    Label24 = valueLabel("Label24");
    Label6 = valueLabel("Label6");
    Label8 = valueLabel("Label8");
    grid->addWidget(new QLabel(QStringLiteral("Provider :"), GroupBox1), 0, 1);
    grid->addWidget(Label9, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("User :"), GroupBox1), 1, 1);
    grid->addWidget(Label24, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Time :"), GroupBox1), 2, 1);
    grid->addWidget(Label6, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Fee :"), GroupBox1), 3, 1);
    grid->addWidget(Label8, 3, 2);
    layout->addWidget(GroupBox1);

    auto* historyBox = new QGroupBox(QStringLiteral("History"), central);
    historyBox->setObjectName(QStringLiteral("GroupBox2"));
    auto* historyGrid = new QGridLayout(historyBox);
    Label16 = valueLabel("Label16");
    historyGrid->addWidget(new QLabel(QStringLiteral("General fee :"), historyBox), 0, 0);
    historyGrid->addWidget(Label16, 0, 1);
    // The period time, start, next reset and average per day come in beside it.
    layout->addWidget(historyBox);

    auto* bottom = new QHBoxLayout;
    Label23 = valueLabel("Label23");
    bottom->addWidget(Label23);
    bottom->addStretch();
    BitBtn1 = new QPushButton(QStringLiteral("Hi&de"), central);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setToolTip(QStringLiteral("Hide program"));
    BitBtn1->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { platform::guard([this] { BitBtn1Click(); }); });
    bottom->addWidget(BitBtn1);
    layout->addLayout(bottom);
    setCentralWidget(central);

    auto* fileMenu = menuBar()->addMenu(QStringLiteral("&File"));
    QAction* exit1 = fileMenu->addAction(QStringLiteral("Hi&de"));
    exit1->setObjectName(QStringLiteral("Exit1"));
    exit1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    connect(exit1, &QAction::triggered, this, [this] { platform::guard([this] { Exit1Click(); }); });
    auto* helpMenu = menuBar()->addMenu(QStringLiteral("&Help"));
    QAction* about1 = helpMenu->addAction(QStringLiteral("&Help"));
    about1->setObjectName(QStringLiteral("About1"));
    about1->setShortcut(QKeySequence(Qt::Key_F1));
    connect(about1, &QAction::triggered, this, [this] { platform::guard([this] { About1Click(); }); });
    helpMenu->addSeparator();
    QAction* about2 = helpMenu->addAction(QStringLiteral("&About ..."));
    about2->setObjectName(QStringLiteral("About2"));
    connect(about2, &QAction::triggered, this, [this] { platform::guard([this] { About2Click(); }); });

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* restore1 = PopupMenu1->addAction(QStringLiteral("Restore"));
    restore1->setObjectName(QStringLiteral("Restore1"));
    PopupMenu1->setDefaultAction(restore1);
    connect(restore1, &QAction::triggered, this, [this] { platform::guard([this] { Restore1Click(); }); });
    // The dialogs' and the exit items follow "Restore" as their windows come in.
}

void TForm1::FormCreate()
{
    int logo = 1;
    {
        Key key(RootKey::CurrentUser, rk::kSoftware, false);
        if (key.opened())
            logo = key.readInt(rk::vLogo);
    }
    if (logo != 0) {
        startSplash = std::make_unique<TForm8>();
        runSplash(*startSplash);
    }
    auto& app = platform::Application::instance();
    connect(&app, &platform::Application::minimizeEvent, this, platform::guarded(this, &TForm1::HdWin));
    connect(&app, &platform::Application::restoreEvent, this, platform::guarded(this, &TForm1::HdWin));
    StartUp(*this);
    AutomaticResetCheck(*this);
}

void TForm1::Timer1Timer()
{
    // Message boxes run their own loops, and the timer fires inside them: a tick that
    // comes while another is still running is dropped, so no minute is charged twice
    // and no box is stacked on another.
    if (m_inTick)
        return;
    m_inTick = true;
    struct Leave {
        bool& flag;
        ~Leave() { flag = false; }
    } leave{m_inTick};

    QString errorText;
    try {
        runTick();
        m_lastTickError.clear();
        return;
    } catch (const std::exception& error) {
        errorText = QString::fromUtf8(error.what());
    } catch (...) {
        errorText = QStringLiteral("Unknown error");
    }
    // The same fault usually comes back every second; say it once.
    if (errorText != m_lastTickError) {
        m_lastTickError = errorText;
        platform::Application::instance().showException(errorText);
    }
}

void TForm1::runTick()
{
    if (ProgramPath.isEmpty()) {
        Key key(RootKey::LocalMachine, rk::kSoftware, false);
        if (key.opened())
            ProgramPath = key.readStr(rk::vProgramPath);
    }
    {
        // Opened for reading only: a missing key reads as a line that is down, and an
        // idle tick writes nothing.
        Key key(RootKey::LocalMachine, rk::kRemoteAccessService, false);
        bool up = false;
        if (key.opened() && key->valueExists(name(rk::vRemoteConnection))) {
            unsigned char bytes[4] = {0, 0, 0, 0};
            key->readBinaryData(name(rk::vRemoteConnection), bytes, 4);
            up = (bytes[0] | bytes[1] << 8 | bytes[2] << 16 | std::uint32_t(bytes[3]) << 24) == 1;
        }
        IsConnected = (up && MonitoringDisabled == 0) ? 1 : 0;
    }
    UpdateConnectionState(*this);
    CountConnectionTick(*this);
    // The period statistics, the budget balance and the beeper run here, in this
    // order, once they come in.
    ShowClock(*this);
}

void TForm1::HdWin()
{
    if (TrayMode == 1)
        platform::taskbarButton().hide();
}

void TForm1::FormActivate()
{
    if (TrayMode != 1)
        platform::taskbarButton().show();
}

void TForm1::Restore1Click()
{
    auto& app = platform::Application::instance();
    app.restore();
    app.bringToFront();
}

void TForm1::BitBtn1Click()
{
    platform::Application::instance().minimize();
}

void TForm1::Exit1Click()
{
    platform::Application::instance().minimize();
}

void TForm1::About1Click()
{
    platform::help().contents(platform::Application::instance().helpFile());
}

void TForm1::About2Click()
{
    if (AboutBox)
        AboutBox->exec();
}

void TForm1::Dispatch(tray::TrayMessage message)
{
    if (message.Msg == tray::WM_TRAYNOTIFY)
        HandleTrayMessage(message);
}

void TForm1::HandleTrayMessage(tray::TrayMessage message)
{
    auto& app = platform::Application::instance();
    if (message.LParam == static_cast<std::intptr_t>(tray::WM_LBUTTONUP)) {
        app.restore();
        platform::taskbarButton().hide();
        app.bringToFront();
    } else if (message.LParam == static_cast<std::intptr_t>(tray::WM_RBUTTONUP)) {
        PopupMenu1->popup(QCursor::pos());
    }
}

bool TForm1::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        platform::guard([this] { FormActivate(); });
    return QMainWindow::event(e);
}

void TForm1::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::WindowStateChange)
        platform::Application::instance().mainWindowStateChanged(isMinimized());
    QMainWindow::changeEvent(e);
}
