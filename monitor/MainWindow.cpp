#include "MainWindow.h"

#include "Application.h"
#include "DialUpLine.h"
#include "Help.h"
#include "MessageBox.h"
#include "Process.h"
#include "ProgramIcons.h"
#include "Registry.h"
#include "RegistryNames.h"
#include "SessionEnd.h"
#include "Taskbar.h"
#include "Tray.h"
#include "SplashWindow.h"
#include "AboutBox.h"
#include "WindowPlacement.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QDir>
#include <QEvent>
#include <QFileInfo>
#include <QKeyEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>
#include <QPushButton>
#include <QSaveFile>
#include <QStyle>
#include <QTimer>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <charconv>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

using platform::RootKey;
namespace rk = regkeys;

MainWindow* mainWindow = nullptr;
SplashWindow* splashWindow = nullptr;
AboutBox* aboutBox = nullptr;

namespace {

std::unique_ptr<platform::Registry> projectRegistry;
std::unique_ptr<platform::Registry> mainRegistry;
// The picture handed to the tray on every add and update.
QIcon TrayIconImage;
// The splash that the main window's creation shows lives as long as the program.
std::unique_ptr<SplashWindow> startSplash;
// The dialogs of other units created at start, in creation order. Guarded pointers,
// since a factory may give its window a parent that deletes it first.
std::vector<QPointer<QWidget>> startWindows;

// Each window's creation is an action of its own, as the main window's is.
void createStartWindow(const counter::WindowFactory& factory)
{
    if (!factory)
        return;
    platform::guard([&] {
        std::unique_ptr<QWidget> window = factory(*mainWindow);
        if (window)
            startWindows.emplace_back(window.release());
    });
}

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}

using regkeys::name;

// One key of the unit's registry object, open for the scope, with the value names
// taken from the table of names. A key that fails to open leaves none open, so reads
// raise the registry's own errors instead of reading whatever key was open before.
class Key : public platform::KeyScope {
public:
    Key(RootKey root, const char* path, bool canCreate = true)
        : KeyScope(UnitRegistry(), root, name(path), canCreate)
    {
    }
    Key(RootKey root, const QString& path, bool canCreate)
        : KeyScope(UnitRegistry(), root, path, canCreate)
    {
    }

    std::int32_t readInt(const char* value) { return registry().readInteger(name(value)); }
    QString readStr(const char* value) { return registry().readString(name(value)); }
    void writeInt(const char* value, std::int32_t v) { registry().writeInteger(name(value), v); }
    void writeStr(const char* value, const QString& v) { registry().writeString(name(value), v); }
};

void showError(const QString& text)
{
    if (mainWindow && mainWindow->tickRunning()) {
        mainWindow->DeferMessage(text, false);
        return;
    }
    platform::messageBox(text, caption(), platform::MessageIcon::Error);
}

// An error of the store or a file that ends a step but not the program, shown as the
// standard display would; during a tick it waits for the tick's end.
void showFailure(const std::exception& error)
{
    const QString text = QString::fromUtf8(error.what());
    if (mainWindow && mainWindow->tickRunning())
        mainWindow->DeferMessage(text, true);
    else
        platform::Application::instance().showException(text);
}

// ---- pictures drawn at run time ----------------------------------------------------

QPixmap linePicture(int size, const QColor& lamp, bool crossed)
{
    return QPixmap::fromImage(platform::handsetPicture(size, lamp, crossed));
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


// Toolbar and speed button pictures.
QPixmap letterPicture(int size, const QString& letter, const QColor& color)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    QFont font = p.font();
    font.setBold(true);
    font.setPixelSize(size * 3 / 4);
    p.setFont(font);
    p.setPen(color);
    p.drawText(QRect(0, 0, size, size), Qt::AlignCenter, letter);
    return pixmap;
}

QPixmap clockPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    const qreal s = size / 16.0;
    p.setPen(QPen(QColor(30, 30, 30), 1.2 * s));
    p.setBrush(QColor(250, 250, 230));
    p.drawEllipse(QRectF(1.5 * s, 1.5 * s, 13 * s, 13 * s));
    p.drawLine(QPointF(8 * s, 8 * s), QPointF(8 * s, 4 * s));
    p.drawLine(QPointF(8 * s, 8 * s), QPointF(11 * s, 9.5 * s));
    return pixmap;
}

QPixmap graphPicture(int size)
{
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    const qreal s = size / 16.0;
    p.setPen(QPen(Qt::black, s));
    p.drawLine(QPointF(1.5 * s, 1 * s), QPointF(1.5 * s, 14.5 * s));
    p.drawLine(QPointF(1.5 * s, 14.5 * s), QPointF(15 * s, 14.5 * s));
    const QColor colors[] = {QColor(200, 40, 40), QColor(40, 120, 200), QColor(40, 160, 60)};
    const qreal heights[] = {6, 11, 8};
    for (int i = 0; i < 3; ++i) {
        const QRectF bar((3.5 + 4 * i) * s, (14 - heights[i]) * s, 3 * s, heights[i] * s);
        p.fillRect(bar, colors[i]);
    }
    return pixmap;
}
}  // namespace

// =====================================================================================
// Plain logic
// =====================================================================================

namespace counter {

DialogHooks& dialogHooks()
{
    static DialogHooks hooks;
    return hooks;
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
        app.setTitle(QString::fromLatin1(program::kApplicationTitle));

        // Each window's creation is an action of its own: an error in one is shown
        // and the next window is still created.
        mainWindow = new MainWindow();
        app.setMainWindow(mainWindow);
        platform::guard([] { mainWindow->FormCreate(); });
        // Providers, Connections, Tariffs Options, Graphs and Time synchronization are
        // made for each use; the others live from here to the end, and some read the
        // registry when they are made (Preferences reads "Start", Open report writes a
        // missing "Editor"), so the order counts.
        const auto& hooks = counter::dialogHooks();
        createStartWindow(hooks.createPreferences);
        createStartWindow(hooks.createBeep);
        createStartWindow(hooks.createCounter);
        platform::guard([] { splashWindow = new SplashWindow(); });
        platform::guard([] { aboutBox = new AboutBox(); });
        createStartWindow(hooks.createStatistics);
        createStartWindow(hooks.createOpenReport);

        mainWindow->show();

        platform::Registry& registry = *projectRegistry;
        registry.setRootKey(RootKey::CurrentUser);
        registry.openKey(QString::fromLatin1(rk::kSoftware), false);
        const int minimize = registry.readInteger(QString::fromLatin1(rk::vMinimize));
        registry.closeKey();
        if (minimize != 0)
            app.minimize();
        projectRegistry.reset();

        // A session that ended during the start-up closed the window already.
        if (mode == RunMode::MessageLoop && !platform::sessionEnded())
            QApplication::exec();
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
    delete aboutBox;
    aboutBox = nullptr;
    delete splashWindow;
    splashWindow = nullptr;
    startSplash.reset();
    delete mainWindow;
    mainWindow = nullptr;
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

void MarkFirstRun(MainWindow& form, int firstTime)
{
    if (firstTime == 0)
        return;
    {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        key.writeInt(rk::vFirstTime, 0);
    }
    WriteDefaultSettings(form);
}

void WriteDefaultSettings(MainWindow& form)
{
    const int today = platform::todayDayNumber();
    {
        // The defaults land together or not at all: a half-written tree would pass the
        // owner check at the next start and miss values that start-up and the dialogs
        // must read. So the mail checker's settings go in here too, before the two
        // messages rather than after them: a program ended while a message is open
        // would otherwise leave them out for good.
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
            key.writeInt(rk::vMinutes, 5);
            key.writeInt(rk::vEmailSystemTray, 1);
            key.writeInt(rk::vAutoCheck, 1);
            key.writeInt(rk::vAutoRestore, 0);
            key.writeInt(rk::vAutoClose, 0);
            key.writeInt(rk::vAutoMinimize, 1);
            key.writeInt(rk::vAutoCloseProgram, 1);
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
            key.writeInt(rk::vServers, static_cast<int>(program::kDefaultTimeServers.size()));
            for (std::size_t i = 0; i < program::kDefaultTimeServers.size(); ++i)
                key->writeString(name(rk::vServerPrefix) + QString::number(i),
                                 QString::fromLatin1(program::kDefaultTimeServers[i]));
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
    const QString helpFile = form.ProgramPath + QLatin1Char('/') + QString::fromLatin1(program::kHelpFileName);
    platform::Application::instance().setHelpFile(helpFile);
    platform::help().contents(helpFile);
}

namespace {

std::uint16_t low16(std::int32_t v)
{
    return static_cast<std::uint16_t>(v & 0xFFFF);
}

// An integer that may be missing: false then, and for a value of another type.
bool readIfThere(platform::Registry& key, const QString& value, std::int32_t& out)
{
    if (key.valueType(value) != platform::ValueType::Integer)
        return false;
    out = key.readInteger(value);
    return true;
}

QDateTime dateTimeOf(const platform::SystemTime& t)
{
    return QDateTime(QDate(t.wYear, t.wMonth, t.wDay), QTime(t.wHour, t.wMinute, t.wSecond));
}

// Slack for a clock that moved by a second between two readings of one tick.
constexpr qint64 kSlotSlackSeconds = 2;

// A backup slot is used only when all of it was written, it ends no earlier than the
// stored start, and its elapsed time fits the span from that start: the connect delay
// counts as elapsed, so the time may exceed the span by the delay, never fall short of
// it. A slot of an earlier connection ends before this start.
bool readBackupSlot(platform::Registry& key, const QString& prefix, history::HistoryRecord& record)
{
    const char* const names[] = {rk::vSlotSecundes, rk::vSlotMinutes, rk::vSlotHours, rk::vSlotYear,
                                 rk::vSlotDay,      rk::vSlotMonth,   rk::vSlotDayOfWeek, rk::vSlotTime};
    std::int32_t v[8];
    for (int i = 0; i < 8; ++i) {
        if (!readIfThere(key, prefix + name(names[i]), v[i]))
            return false;
    }
    const platform::SystemTime end{low16(v[3]), low16(v[5]), low16(v[6]), low16(v[4]),
                                   low16(v[2]), low16(v[1]), low16(v[0]), 0};
    const QDateTime from = dateTimeOf(record.StartTime);
    const QDateTime to = dateTimeOf(end);
    if (!from.isValid() || !to.isValid())
        return false;
    const qint64 span = from.secsTo(to);
    const qint64 delay = qint64(v[7]) - span;
    if (span < 0 || delay < -kSlotSlackSeconds || delay > 86400)
        return false;
    record.EndTime = end;
    record.DurationSeconds = v[7];
    record.setUserName(key.readString(prefix + name(rk::vSlotUser)));
    return true;
}

void markSaved()
{
    Key key(RootKey::LocalMachine, rk::kSoftware);
    key.writeInt(rk::vBug, 1);
}

QString historyPathText(const MainWindow& form)
{
    return QDir::toNativeSeparators(history::historyFile(form.ProgramPath));
}

void showSaveError(const MainWindow& form, const QString& error)
{
    showError(QStringLiteral("Can't save the connection in %1 : %2").arg(historyPathText(form), error));
}

// The waiting records into the store, so that neither an end of the program nor the
// next connection's start values lose them. Raises the store's error.
void storeUnsavedRecords(const MainWindow& form)
{
    Key key(RootKey::LocalMachine, rk::kCounterCurrent);
    if (form.UnsavedRecords.empty()) {
        key->deleteValue(name(rk::vUnsavedRecords));
        return;
    }
    QByteArray bytes;
    for (const auto& record : form.UnsavedRecords)
        bytes += history::encode(record);
    key->writeBinaryData(name(rk::vUnsavedRecords), bytes);
}

void loadUnsavedRecords(MainWindow& form)
{
    form.UnsavedRecords.clear();
    Key key(RootKey::LocalMachine, rk::kCounterCurrent, false);
    if (!key.opened() || key->valueType(name(rk::vUnsavedRecords)) != platform::ValueType::Binary)
        return;
    const QByteArray bytes = key->readBinary(name(rk::vUnsavedRecords));
    for (qsizetype at = 0; at + history::kRecordSize <= bytes.size(); at += history::kRecordSize)
        form.UnsavedRecords.push_back(history::decode(bytes.mid(at, history::kRecordSize)));
}

// Writes the waiting records to the history, oldest first. One that the file holds
// already (the program ended between the write and the store's update) is not
// written again. Reports what fails and never raises; true when none is left.
bool saveUnsavedRecords(MainWindow& form)
{
    if (form.UnsavedRecords.empty())
        return true;
    const int waiting = static_cast<int>(form.UnsavedRecords.size());
    QString error;
    bool changed = false;
    while (!form.UnsavedRecords.empty()) {
        const history::HistoryRecord& record = form.UnsavedRecords.front();
        if (!history::holds(form.ProgramPath, record, waiting)
            && !history::append(form.ProgramPath, record, &error))
            break;
        form.UnsavedRecords.erase(form.UnsavedRecords.begin());
        changed = true;
    }
    if (changed) {
        try {
            storeUnsavedRecords(form);
        } catch (const std::exception& failure) {
            showFailure(failure);
        }
    }
    if (!form.UnsavedRecords.empty()) {
        showSaveError(form, error);
        return false;
    }
    return true;
}

}  // namespace

void RecoverUnsavedConnection(MainWindow& form)
{
    // Nothing is written before the record is in the history, and "Bug" becomes 1 only
    // after it: an end of the program at any point, the wait for OK included, leaves
    // the connection to the next start, which finds it saved if it got that far.
    history::HistoryRecord record;
    bool startKnown = true;
    {
        Key key(RootKey::LocalMachine, rk::kCounterCurrent, false);
        std::int32_t money = 0;
        // "Money" is written at every start and charge; a store from before that
        // lacks it only when no minute was charged.
        if (key.opened())
            readIfThere(key.registry(), name(rk::vMoney), money);
        record.FeeCents = money;
        record.setProviderName(key.readStr(rk::vProvider));
        const char* const startNames[] = {rk::vSecundes, rk::vStartMinutes, rk::vHours, rk::vYear,
                                          rk::vDay,      rk::vMonth,        rk::vDayOfWeek};
        std::int32_t v[7] = {};
        for (int i = 0; i < 7; ++i)
            startKnown = startKnown && key.opened() && readIfThere(key.registry(), name(startNames[i]), v[i]);
        record.StartTime = {low16(v[3]), low16(v[5]), low16(v[6]), low16(v[4]), low16(v[2]), low16(v[1]), low16(v[0]), 0};
    }

    const bool alreadySaved = startKnown && history::holds(form.ProgramPath, record, 1);
    if (!alreadySaved) {
        platform::messageBox(QStringLiteral("Last connection was unsaved. Dialtally will recover data."),
                             caption(), platform::MessageIcon::Information, platform::MessageButtons::Ok,
                             platform::MessageOwner::None);
        bool usable = false;
        if (startKnown) {
            Key key(RootKey::LocalMachine, rk::kCounterCurrent, false);
            std::int32_t backup = 0;
            readIfThere(key.registry(), name(rk::vBackup), backup);
            const QString named = backup != 0 ? name(rk::kBackupSlotPrefix) : QString();
            const QString other = backup != 0 ? QString() : name(rk::kBackupSlotPrefix);
            // "Backup" names the slot completed last; the other one is a tick older.
            usable = readBackupSlot(key.registry(), named, record) || readBackupSlot(key.registry(), other, record);
        }
        if (!usable) {
            showError(QStringLiteral("The backup of the last connection is incomplete or belongs to another "
                                     "connection. The connection could not be recovered."));
            markSaved();
        } else {
            QString error;
            const bool appended = history::append(form.ProgramPath, record, &error);
            if (!appended) {
                // Kept in the store, and written to the history before the next
                // connection starts or at the next start-up.
                form.UnsavedRecords.push_back(record);
                storeUnsavedRecords(form);
            }
            platform::RegistryTransaction transaction(UnitRegistry().store());
            {
                Key key(RootKey::LocalMachine, rk::kUsers);
                std::int32_t crashes = 0;
                readIfThere(key.registry(), name(rk::vCrash), crashes);
                key.writeInt(rk::vCrash, crashes + 1);
            }
            markSaved();
            transaction.commit();
            if (!appended)
                showSaveError(form, error);
        }
    } else {
        markSaved();
    }

    if (platform::isDialUpLineUp(UnitRegistry())) {
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

void SumTodayFees(MainWindow& form)
{
    form.TodayFee = history::sumTodayFees(history::readAll(form.ProgramPath),
                                          platform::clock().now().date());
}

namespace {

void loadPeriodTotals(MainWindow& form)
{
    const auto totals = history::sumTotals(history::readAll(form.ProgramPath));
    form.MonthFee = static_cast<std::int32_t>(totals.feeCents);
    form.MonthSeconds = static_cast<std::int32_t>(totals.seconds);
}

}  // namespace

void StartUp(MainWindow& form)
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
            form.WindowsUser = formats::fitUserName(key.readStr(rk::vCurrentUser));
    }
    form.ConnectionUser.clear();
    form.HolidayMode = 0;
    platform::Application::instance().setHelpFile(form.ProgramPath + QLatin1Char('/')
                                                  + QString::fromLatin1(program::kHelpFileName));

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
        antiCrash = key.readInt(rk::vAntiCrash);
        // A connection to recover keeps its marker until its record is saved.
        if (form.BugAtStart != 2 || antiCrash != 1)
            key.writeInt(rk::vBug, 1);
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

    // Connections that the history could not take last time go first: they ended
    // before the one that a crash may have left.
    platform::guard([&] {
        loadUnsavedRecords(form);
        saveUnsavedRecords(form);
    });
    // A recovery that fails is reported; monitoring goes on, and the marker stays for
    // the next start.
    if (form.BugAtStart == 2 && antiCrash == 1)
        platform::guard([&] { RecoverUnsavedConnection(form); });

    // One pass over the history for the period's totals and today's fee.
    const history::StartupSums sums =
        history::startupSums(form.ProgramPath, platform::clock().now().date());
    form.MonthFee = static_cast<std::int32_t>(sums.period.feeCents);
    form.MonthSeconds = static_cast<std::int32_t>(sums.period.seconds);
    form.MonthFeeBefore = form.MonthFee;
    form.TodayFee = sums.todayFee;

    {
        Key key(RootKey::CurrentUser, rk::kSoftware);
        const int top = key.readInt(rk::vPozTop);
        const int left = key.readInt(rk::vPozLeft);
        platform::placeAt(form, QPoint(left, top));
    }
    form.Timer1->start();
}

// =====================================================================================
// Counter period
// =====================================================================================

void AutomaticResetCheck(MainWindow& form)
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
    if (period::automaticResetDue(form.ResetMode, form.ResetDay, periodStartMonth, today.month(),
                                   today.day()))
        ResetCounter(form, today.year(), today.month(), today.day(), report);
}

bool WriteReport(MainWindow& form, int year, int month, int day, QString* error)
{
    const QString folder = form.ProgramPath + QStringLiteral("/Reports");
    QDir().mkpath(folder);
    const QString file = folder + QLatin1Char('/') + report::reportFileName(year, month, day);
    // Written aside and renamed, so a failed write never leaves half a report in
    // place of the earlier one of the same date.
    QSaveFile out(file);
    if (out.open(QIODevice::WriteOnly)) {
        report::ReportWriter report(out);
        history::RecordReader reader(form.ProgramPath);
        history::HistoryRecord record;
        while (reader.next(&record))
            report.add(record);
        if (report.finish() && out.commit())
            return true;
    }
    if (error)
        *error = QStringLiteral("%1 : %2").arg(QDir::toNativeSeparators(file), out.errorString());
    return false;
}

void ResetCounter(MainWindow& form, int year, int month, int day, int withReport)
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
            form.ResetDay = period::nextTwoWeeklyResetDay(day);
            key.writeInt(rk::vReset14, form.ResetDay);
        }
    }
    {
        Key key(RootKey::LocalMachine, rk::kUsers);
        key.writeInt(rk::vCrash, 0);
    }
    transaction.commit();
    ShowMoneyOrganizerBalance(form);
}

// =====================================================================================
// The tick
// =====================================================================================

platform::SystemTime GetLocalTimeRecord()
{
    return platform::localTimeRecord();
}

void ShowClock(MainWindow& form)
{
    form.clockLabel->setText(formats::clockText(GetLocalTimeRecord()));
}

void ShowStatistics(MainWindow& form)
{
    form.periodTimeLabel->setText(formats::elapsedText(form.MonthSeconds));
    int year = 0, month = 0, day = 0, periodStart = 0;
    {
        // Read only: an idle tick writes nothing.
        Key key(RootKey::LocalMachine, rk::kCounterAll, false);
        year = key.readInt(rk::vYear);
        month = key.readInt(rk::vMonth);
        day = key.readInt(rk::vDay);
        periodStart = key.readInt(rk::vDouble);
    }
    form.periodStartLabel->setText(formats::dateText(year, month, day));
    form.nextResetLabel->setText(period::nextResetText(form.ResetMode, form.ResetDay, year, month, day));
    const std::int32_t average =
        period::averagePerDay(form.MonthSeconds, platform::todayDayNumber(), periodStart);
    form.averagePerDayLabel->setText(formats::elapsedText(average));
}

namespace {

budget::Budget readBudget()
{
    budget::Budget budget;
    {
        Key key(RootKey::CurrentUser, rk::kBudget, false);
        budget.money = key.readInt(rk::vBudgetMoney);
        budget.cents = key.readInt(rk::vBudgetCents);
        budget.reserve = key.readInt(rk::vBudgetReserve);
        budget.on = key.readInt(rk::vOnOff);
    }
    Key key(RootKey::LocalMachine, rk::kCounterAll, false);
    budget.startDay = key.readInt(rk::vDay);
    return budget;
}

int today()
{
    return platform::clock().now().date().day();
}

}  // namespace

void ShowMoneyOrganizerBalance(MainWindow& form)
{
    const budget::Budget budget = readBudget();
    if (budget.on == 0) {
        form.budgetLeftLabel->setText(QString(14, QLatin1Char('-')));
        return;
    }
    form.budgetLeftLabel->setText(formats::balanceText(budget::budgetBalance(
        budget, today(), form.TodayFee, form.ConnectionFee, form.MonthFee)));
}

int CheckMoneyOrganizer(MainWindow& form)
{
    const budget::Budget budget = readBudget();
    if (budget.on == 0)
        return 1;
    if (budget::budgetDays(budget, today()) < 0)
        return 0;
    if (budget::budgetReached(budget, today(), form.TodayFee, form.ConnectionFee, form.MonthFee))
        SoundBudgetAlarm(form);
    return 1;
}

void SoundBudgetAlarm(MainWindow& form)
{
    int kind = 0, on = 0;
    {
        Key key(RootKey::CurrentUser, rk::kBudget, false);
        kind = key.readInt(rk::vBudgetCh);
        on = key.readInt(rk::vOnOff);
    }
    const QString file = form.ProgramPath + QLatin1Char('/') + QString::fromLatin1(program::kAlarmFolder)
                         + QLatin1Char('/') + QString::fromLatin1(program::kAlarmFile);
    if (on == 0)
        return;
    if (kind == 1) {
        // A sound file that is missing or can't be played gives the default sound.
        if (!platform::sounds().playWave(file))
            platform::sounds().messageBeep(platform::BeepKind::Default);
    } else if (kind == 3) {
        platform::BeepKind beep;
        if (beeper::beepKindOf(form.BeepSound, &beep))
            platform::sounds().messageBeep(beep);
    }
}

void BeepAtInterval(MainWindow& form)
{
    if (form.BeepEnabled == 1 && form.IsConnected != 0
        && beeper::beepDue(form.BeepCount, form.BeepInterval, form.ElapsedSeconds)) {
        ++form.BeepCount;
        platform::BeepKind beep;
        if (beeper::beepKindOf(form.BeepSound, &beep))
            platform::sounds().messageBeep(beep);
    }
    if (form.BeepEnabled == 0)
        form.BeepCount = 1;
}

// =====================================================================================
// Commands and exit
// =====================================================================================

void LaunchMailChecker(MainWindow& form, int check)
{
    const QString path = form.ProgramPath + QLatin1Char('/') + QString::fromLatin1(program::kMailCheckerName);
    int on = 0;
    {
        Key key(RootKey::CurrentUser, rk::kEmail);
        key.writeInt(rk::vCheck, check);
        on = key.readInt(rk::vOnOff);
    }
    if (on == 0)
        return;
    if (!platform::processes().start(path, {}))
        showError(QStringLiteral("Can't launch the program Email checking program : ") + path);
}

void RunClosingSteps(MainWindow& form)
{
    // Stopped in every case, not only with a connection open: a tick between these
    // steps and the end of the loop could open a connection and leave "Bug" at 2.
    form.Timer1->stop();
    // Only a connection being counted has a record to save: a start that failed half
    // way has none, and forcing the end would append the previous connection again.
    if (form.ConnectionState == 2) {
        form.IsConnected = 0;
        form.ConnectionState = 2;
        UpdateConnectionState(form);
    }
    // A record that could not be written keeps the marker at 2 and stays in the
    // store for the next start: it is left to the recovery, never dropped.
    if (form.UnsavedRecords.empty()) {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        key.writeInt(rk::vBug, 0);
    } else {
        storeUnsavedRecords(form);
    }
    {
        Key key(RootKey::CurrentUser, rk::kSoftware);
        const QPoint position = platform::savedPosition(form);
        key.writeInt(rk::vPozTop, position.y());
        key.writeInt(rk::vPozLeft, position.x());
    }
    if (form.TrayMode == 1)
        RemoveTrayIcon(form);
}

int ConfirmExit(MainWindow& form)
{
    const int answer = platform::messageBox(QString::fromLatin1(program::kExitQuestion), caption(),
                                            platform::MessageIcon::Question,
                                            platform::MessageButtons::YesNo);
    if (answer != platform::IDYES)
        return 0;
    RunClosingSteps(form);
    return 1;
}

namespace {

void writeBackupSlot(platform::KeyScope& key, const QString& prefix, const MainWindow& form,
                     const platform::SystemTime& now)
{
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
}

void writeBackupSlot(MainWindow& form, const platform::SystemTime& now)
{
    Key key(RootKey::LocalMachine, rk::kCounterCurrent);
    const std::int32_t backup = key->valueExists(name(rk::vBackup)) ? key.readInt(rk::vBackup) : 0;
    // Overwrite the slot that was not completed last; "Backup" names it only once
    // all of it is written.
    writeBackupSlot(key, backup != 0 ? QString() : name(rk::kBackupSlotPrefix), form, now);
    key.writeInt(rk::vBackup, backup != 0 ? 0 : 1);
}

void startConnection(MainWindow& form)
{
    // Connections that wait for the history go in before this one: its start values
    // replace the backup of the last of them.
    saveUnsavedRecords(form);
    form.notConnectedImage->hide();
    form.connectedImage->show();
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
        key.writeStr(rk::vFee, formats::feeText(0));
    }
    loadPeriodTotals(form);
    SumTodayFees(form);
    form.MonthFeeBefore = form.MonthFee;
    form.MonthSecondsBefore = form.MonthSeconds;
    form.LastChargedMinute = -1;
    {
        Key key(RootKey::CurrentUser, rk::kSoftware);
        form.StartSecondOfDay = charging::secondOfDay(start) - key.readInt(rk::vConnectDelay);
    }
    form.CurrentRecord.DurationSeconds = charging::secondOfDay(start) - form.StartSecondOfDay;
    {
        Key key(RootKey::CurrentUser, rk::kRemoteAccess, false);
        form.CurrentProvider = key.opened() ? key.readStr(rk::vDefault) : QString();
    }
    form.CurrentRecord.setProviderName(form.CurrentProvider);
    form.FeeText = formats::feeText(0);
    form.connectionFeeLabel->setText(form.FeeText);
    form.ConnectionUser = form.WindowsUser;
    {
        Key key(RootKey::LocalMachine, rk::kCounterCurrent);
        key.writeStr(rk::vProvider, form.CurrentProvider);
        // Both backup slots hold this connection from its first moment, so a crash
        // before its first counting tick never recovers the last connection's end.
        for (const QString& prefix : {QString(), name(rk::kBackupSlotPrefix)})
            writeBackupSlot(key, prefix, form, start);
    }
    // What waits for the history must be in the store before "Bug" says that these
    // values belong to a new connection.
    if (!form.UnsavedRecords.empty())
        storeUnsavedRecords(form);
    {
        Key key(RootKey::LocalMachine, rk::kSoftware);
        key.writeInt(rk::vBug, 2);
    }
    transaction.commit();
    form.ConnectionState = 2;
    LaunchConnectPrograms(form);
}

void endConnection(MainWindow& form)
{
    form.ConnectionState = 0;
    form.connectedImage->hide();
    form.notConnectedImage->show();
    form.CurrentRecord.EndTime = GetLocalTimeRecord();
    form.BeepCount = 1;
    form.CurrentRecord.FeeCents = form.ConnectionFee;
    form.CurrentRecord.setUserName(form.ConnectionUser);

    // The file keeps the order in which connections ended: while older ones wait,
    // this one waits behind them.
    QString error;
    bool saved = saveUnsavedRecords(form);
    if (saved) {
        saved = history::append(form.ProgramPath, form.CurrentRecord, &error);
        if (!saved)
            showSaveError(form, error);
    }
    if (!saved)
        form.UnsavedRecords.push_back(form.CurrentRecord);
    form.CurrentProvider = QStringLiteral(" ");
    form.ConnectionUser.clear();

    int maxd = 0;
    {
        Key key(RootKey::CurrentUser, rk::kSoftware);
        maxd = key.readInt(rk::vMaxd);
    }
    if (maxd != 0)
        platform::Application::instance().restore();

    // The store last, once the connection is closed in memory: a refused write ends
    // the tick but leaves nothing half done. Only a record that is on disk clears the
    // marker; one that is not waits in the store, and its backup slots stay too.
    if (saved)
        markSaved();
    else
        storeUnsavedRecords(form);
}

}  // namespace

void UpdateConnectionState(MainWindow& form)
{
    form.GroupBox1->setTitle(form.IsConnected != 0 ? QStringLiteral("Connected")
                                                   : QStringLiteral("Not connected"));
    form.providerLabel->setText(form.CurrentProvider);
    form.userLabel->setText(form.ConnectionUser);
    if (form.ConnectionState == 0 && form.IsConnected == 1)
        form.ConnectionState = 1;
    if (form.ConnectionState == 2 && form.IsConnected == 0)
        endConnection(form);
    if (form.IsConnected != 0 && form.ConnectionState == 1)
        startConnection(form);
}

void LaunchConnectPrograms(MainWindow& form)
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
        // No shell: the line is split into the program and its arguments, unless the
        // whole line names a file, as the Preferences' "Add" writes a picked program's
        // path, spaces and all.
        const QStringList words =
            QFileInfo(command).isFile() ? QStringList{command} : platform::splitCommandLine(command);
        const bool started =
            !words.isEmpty() && platform::processes().start(words.first(), words.mid(1));
        if (!started)
            showError(QStringLiteral("Can't launch the program : ") + command);
    }
}

namespace {

constexpr const char* kBudgetDateError =
    "Error in Rozad Izeruveva. Maybe you changed date ? Function is disabled.";

// One minute at the tariff of the moment, then the budget check. True when the
// budget's dates were found wrong: the budget is switched off then, and the caller
// tells the user once its registry writes are committed, so no box waits inside the
// counting tick's transaction.
bool chargeMinute(MainWindow& form, const platform::SystemTime& now)
{
    [&] {
        const QString slotKey = charging::tariffSlotKey(
            form.CurrentProvider, charging::tariffDayKey(form.HolidayMode, now.wDayOfWeek));
        charging::TariffSlot slot;
        {
            Key key(RootKey::CurrentUser, slotKey, false);
            if (form.CurrentProvider.isEmpty() || !key.opened()) {
                form.connectionFeeLabel->setText(QStringLiteral("No tariffs for provider"));
                return;
            }
            if (key.readStr(rk::vSlotTariffProfile).isEmpty()) {
                form.connectionFeeLabel->setText(QStringLiteral("No tariff for this day"));
                return;
            }
            slot.StartingInterval = key.readInt(rk::vStartingInterval);
            slot.EndingInterval = key.readInt(rk::vEndingInterval);
            slot.DayCost = key.readInt(rk::vDayCost);
            slot.NightCost = key.readInt(rk::vNightCost);
            slot.OCPDay = key.readInt(rk::vOcpDay);
        }
        form.ConnectionFee += charging::minuteCost(slot, now.wHour);
        form.MonthFee = form.MonthFeeBefore + form.ConnectionFee;
        form.FeeText = formats::feeText(form.ConnectionFee);
        form.connectionFeeLabel->setText(form.FeeText);
        Key key(RootKey::LocalMachine, rk::kCounterCurrent);
        key.writeInt(rk::vMoney, form.ConnectionFee);
        key.writeStr(rk::vFee, form.FeeText);
    }();

    if (CheckMoneyOrganizer(form) != 0)
        return false;
    // Off before the user hears of it, so the message comes once however many ticks
    // run while it is open.
    Key key(RootKey::CurrentUser, rk::kBudget);
    key.writeInt(rk::vOnOff, 0);
    return true;
}

void showBudgetDateError()
{
    showError(QString::fromLatin1(kBudgetDateError));
}

}  // namespace

void CountConnectionTick(MainWindow& form)
{
    auto& app = platform::Application::instance();
    if (form.ConnectionState == 2) {
        ShowMoneyOrganizerBalance(form);
        const platform::SystemTime now = GetLocalTimeRecord();
        const std::int32_t elapsed = charging::elapsedSince(form.CurrentRecord.StartTime,
                                                           form.StartSecondOfDay, now);
        form.CurrentRecord.DurationSeconds = elapsed;
        form.ElapsedSeconds = elapsed;
        form.MonthSeconds = form.MonthSecondsBefore + elapsed;

        // The charge and the backup slot are one commit: a counting tick is seen
        // whole or not at all.
        platform::RegistryTransaction transaction(UnitRegistry().store());
        const std::int32_t minutes = elapsed / 60;
        bool budgetDateError = false;
        if (minutes != form.LastChargedMinute)
            budgetDateError = chargeMinute(form, now);
        form.LastChargedMinute = minutes;

        const QString text = formats::elapsedText(elapsed);
        form.elapsedLabel->setText(text);
        form.ElapsedText = text + form.FeeText;
        const QString summary = QStringLiteral("Dialtally: [ ") + form.ElapsedText + QStringLiteral(" ]");
        app.setHint(summary);
        app.setTitle(summary);
        if (form.TrayMode == 1)
            UpdateTrayIcon(form, summary, counter::kImageConnected);

        writeBackupSlot(form, now);
        transaction.commit();
        if (budgetDateError)
            showBudgetDateError();
    } else {
        const QString idle = QString::fromLatin1(program::kNotConnectedSummary);
        app.setTitle(idle);
        app.setHint(idle);
        if (form.TrayMode == 1)
            UpdateTrayIcon(form, idle, counter::kImageNotConnected);
    }
    form.periodFeeLabel->setText(formats::feeText(form.MonthFee));
}

// =====================================================================================
// Tray
// =====================================================================================

bool AddTrayIcon(MainWindow& form)
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

bool UpdateTrayIcon(MainWindow& form, const QString& text, int imageIndex)
{
    TrayIconImage = form.ImageList1[static_cast<std::size_t>(imageIndex)];
    return platform::trayIcon().modify(platform::cutTrayTip(text), TrayIconImage);
}

void RemoveTrayIcon(MainWindow& form)
{
    Q_UNUSED(form);
    platform::trayIcon().remove();
    platform::taskbarButton().show();
}

// =====================================================================================
// The main window
// =====================================================================================

MainWindow::MainWindow(QWidget* parent)
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

MainWindow::~MainWindow()
{
    platform::trayIcon().setCallback(nullptr);
}

void MainWindow::buildWindow()
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
    connectedImage = new QLabel(GroupBox1);
    connectedImage->setObjectName(QStringLiteral("Image1"));
    connectedImage->setPixmap(linePicture(32, QColor(0, 180, 0), false));
    connectedImage->setToolTip(QStringLiteral("Connected"));
    connectedImage->hide();
    notConnectedImage = new QLabel(GroupBox1);
    notConnectedImage->setObjectName(QStringLiteral("Image2"));
    notConnectedImage->setPixmap(linePicture(32, QColor(200, 0, 0), true));
    notConnectedImage->setToolTip(QStringLiteral("Not connected"));
    // The two pictures lie on one spot; exactly one of them is visible.
    grid->addWidget(connectedImage, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(notConnectedImage, 0, 0, 4, 1, Qt::AlignTop);
    providerLabel = valueLabel("Label9");
    userLabel = valueLabel("Label24");
    elapsedLabel = valueLabel("Label6");
    connectionFeeLabel = valueLabel("Label8");
    grid->addWidget(new QLabel(QStringLiteral("Provider :"), GroupBox1), 0, 1);
    grid->addWidget(providerLabel, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("User :"), GroupBox1), 1, 1);
    grid->addWidget(userLabel, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Time :"), GroupBox1), 2, 1);
    grid->addWidget(elapsedLabel, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Fee :"), GroupBox1), 3, 1);
    grid->addWidget(connectionFeeLabel, 3, 2);
    layout->addWidget(GroupBox1);

    auto* historyBox = new QGroupBox(QStringLiteral("History"), central);
    historyBox->setObjectName(QStringLiteral("GroupBox2"));
    auto* historyGrid = new QGridLayout(historyBox);
    const auto historyRow = [&](int row, const char* caption, QLabel* value, const char* hint) {
        auto* captionLabel = new QLabel(QString::fromLatin1(caption), historyBox);
        historyGrid->addWidget(captionLabel, row, 0);
        historyGrid->addWidget(value, row, 1);
        if (hint) {
            captionLabel->setToolTip(QString::fromLatin1(hint));
            value->setToolTip(QString::fromLatin1(hint));
        }
    };
    periodFeeLabel = valueLabel("Label16");
    periodTimeLabel = valueLabel("Label19");
    periodStartLabel = valueLabel("Label14");
    nextResetLabel = valueLabel("Label15");
    averagePerDayLabel = valueLabel("Label21");
    budgetLeftLabel = valueLabel("Label13");
    historyRow(0, "General fee :", periodFeeLabel, nullptr);
    historyRow(1, "All Con. time :", periodTimeLabel, "All connections time sice the last counter reset");
    historyRow(2, "Counting since :", periodStartLabel, "The last counter reset");
    historyRow(3, "Reset on :", nextResetLabel, "When the counter will be reset");
    historyRow(4, "Average t. p. d. :", averagePerDayLabel, "Average time per day");
    historyRow(5, "Reserve :", budgetLeftLabel, nullptr);
    layout->addWidget(historyBox);

    const auto speedButton = [&](const char* objectName, const char* hint) {
        auto* button = new QToolButton(central);
        button->setObjectName(QString::fromLatin1(objectName));
        button->setToolTip(QString::fromLatin1(hint));
        button->setAutoRaise(true);  // flat
        button->setIconSize(QSize(16, 16));
        return button;
    };
    SpeedButton7 = speedButton("SpeedButton7", "Dialtally EMail Checker");
    SpeedButton7->setIcon(QIcon(letterPicture(16, QStringLiteral("@"), QColor(0, 90, 170))));
    SpeedButton17 = speedButton("SpeedButton17", "Time Synchronization");
    SpeedButton17->setIcon(QIcon(clockPicture(16)));
    SpeedButton9 = speedButton("SpeedButton9", "Enable or disable monitoring DUN");
    SpeedButton9->setIcon(ImageList1[counter::kImageMonitoringOn]);
    SpeedButton3 = speedButton("SpeedButton3", "Enable or disable holiday tariff");
    SpeedButton3->setText(QStringLiteral("Holiday"));
    SpeedButton3->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto* speedRow = new QHBoxLayout;
    for (QToolButton* button : {SpeedButton7, SpeedButton17, SpeedButton9, SpeedButton3})
        speedRow->addWidget(button);
    speedRow->addStretch();
    layout->addLayout(speedRow);

    auto* bottom = new QHBoxLayout;
    clockLabel = valueLabel("Label23");
    // The clock changes every second; a label of fixed size repaints itself without
    // making the whole window lay itself out again, which is most of an idle tick.
    clockLabel->setFixedSize(clockLabel->fontMetrics().horizontalAdvance(QStringLiteral("88:88:88")) * 2,
                          clockLabel->sizeHint().height());
    bottom->addWidget(clockLabel);
    bottom->addStretch();
    BitBtn1 = new QPushButton(QStringLiteral("Hi&de"), central);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setToolTip(QStringLiteral("Hide program"));
    BitBtn1->setDefault(true);
    bottom->addWidget(BitBtn1);
    BitBtn2 = new QPushButton(QStringLiteral("E&xit"), central);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setToolTip(QStringLiteral("Exit program"));
    bottom->addWidget(BitBtn2);
    layout->addLayout(bottom);
    setCentralWidget(central);

    buildCommands();
}

namespace {

using Handler = void (MainWindow::*)();

// Whether the dialog a command opens has been plugged in; commands of this unit are
// always there.
bool commandAvailable(Handler handler)
{
    const counter::DialogHooks& hooks = counter::dialogHooks();
    const struct {
        Handler handler;
        bool available;
    } hooked[] = {
        {&MainWindow::Preferences1Click, bool(hooks.showPreferences)},
        {&MainWindow::SpeedButton2Click, bool(hooks.showPreferences)},
        {&MainWindow::Providers1Click, bool(hooks.openProviders)},
        {&MainWindow::Provider1Click, bool(hooks.openProviders)},
        {&MainWindow::Tariffs4Click, bool(hooks.openTariffs)},
        {&MainWindow::History2Click, bool(hooks.openConnections)},
        {&MainWindow::Graphs1Click, bool(hooks.openGraphs)},
        {&MainWindow::Timesynchronization1Click, bool(hooks.openTimeSync)},
        {&MainWindow::SpeedButton17Click, bool(hooks.openTimeSync)},
        {&MainWindow::Counter1Click, bool(hooks.showCounter)},
        {&MainWindow::Viewcrashes1Click, bool(hooks.showStatistics)},
        {&MainWindow::Openreport1Click, bool(hooks.showOpenReport)},
        {&MainWindow::Beep1Click, bool(hooks.showBeep)},
        {&MainWindow::Deleteallreports1Click, bool(hooks.deleteAllReports)},
    };
    for (const auto& h : hooked) {
        if (h.handler == handler)
            return h.available;
    }
    return true;
}

}  // namespace

void MainWindow::buildCommands()
{
    const auto command = [this](QWidget* container, const char* objectName, const char* text,
                                Handler handler, const QKeySequence& shortcut = {},
                                const QIcon& icon = {}) {
        auto* action = new QAction(QString::fromLatin1(text), this);
        action->setObjectName(QString::fromLatin1(objectName));
        action->setShortcut(shortcut);
        action->setIcon(icon);
        container->addAction(action);
        connect(action, &QAction::triggered, this, platform::guarded(this, handler));
        m_commands.push_back({action, handler});
        return action;
    };
    const auto separator = [this](QWidget* container, const char* objectName) {
        auto* action = new QAction(this);
        action->setObjectName(QString::fromLatin1(objectName));
        action->setSeparator(true);
        container->addAction(action);
    };
    const auto standard = [this](QStyle::StandardPixmap pixmap) { return style()->standardIcon(pixmap); };
    const QIcon reportSave = standard(QStyle::SP_DialogSaveButton);
    const QIcon reportOpen = standard(QStyle::SP_DialogOpenButton);
    const QIcon connections = standard(QStyle::SP_FileDialogDetailedView);
    const QIcon statistics = standard(QStyle::SP_FileDialogInfoView);
    const QIcon graphs = QIcon(graphPicture(24));
    const QIcon preferences = QIcon(letterPicture(24, QStringLiteral("P"), QColor(90, 90, 90)));
    const QIcon beep = standard(QStyle::SP_MediaVolume);
    const QIcon budget = QIcon(letterPicture(24, QStringLiteral("$"), QColor(0, 130, 0)));
    const QIcon providers = standard(QStyle::SP_DriveNetIcon);
    const QIcon tariffs = QIcon(letterPicture(24, QStringLiteral("c"), QColor(160, 100, 0)));
    const QIcon counterIcon = standard(QStyle::SP_BrowserReload);
    const QIcon about = standard(QStyle::SP_MessageBoxInformation);
    const QIcon helpIcon = standard(QStyle::SP_DialogHelpButton);
    const QIcon mail = QIcon(letterPicture(24, QStringLiteral("@"), QColor(0, 90, 170)));
    const QIcon timeSync = QIcon(clockPicture(24));
    const QIcon exitIcon = standard(QStyle::SP_DialogCloseButton);

    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    command(file, "Resetcounter1", "&Reset counter", &MainWindow::Resetcounter1Click, QKeySequence(Qt::CTRL | Qt::Key_R), counterIcon);
    command(file, "Createreport1", "&Create report", &MainWindow::Createreport1Click, {}, reportSave);
    command(file, "Deleteallreports1", "&Delete reports", &MainWindow::Deleteallreports1Click);
    command(file, "Openreport1", "&Open report ...", &MainWindow::Openreport1Click, QKeySequence(Qt::CTRL | Qt::Key_O), reportOpen);
    separator(file, "N11");
    command(file, "Exit1", "Hi&de", &MainWindow::Exit1Click, QKeySequence(Qt::CTRL | Qt::Key_D));
    command(file, "Exit2", "E&xit", &MainWindow::Exit2Click, QKeySequence(Qt::ALT | Qt::Key_F4), exitIcon);
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    command(view, "History2", "Co&nnections ...", &MainWindow::History2Click, QKeySequence(Qt::ALT | Qt::Key_N), connections);
    command(view, "Viewcrashes1", "View &statistic ...", &MainWindow::Viewcrashes1Click, QKeySequence(Qt::ALT | Qt::Key_S), statistics);
    command(view, "Graphs1", "&Graphs ...", &MainWindow::Graphs1Click, {}, graphs);
    QMenu* tools = bar->addMenu(QStringLiteral("Tools"));
    command(tools, "Emailchecker1", "E&mail Checker ...", &MainWindow::Emailchecker1Click, {}, mail);
    command(tools, "Timesynchronization1", "Time s&ynchronization ...", &MainWindow::Timesynchronization1Click, {}, timeSync);
    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    command(options, "Beep1", "&Beep ...", &MainWindow::Beep1Click, QKeySequence(Qt::ALT | Qt::Key_B), beep);
    separator(options, "N4");
    command(options, "Counter1", "&Counter ...", &MainWindow::Counter1Click, QKeySequence(Qt::ALT | Qt::Key_O), counterIcon);
    separator(options, "N9");
    command(options, "Providers1", "&Providers ...", &MainWindow::Providers1Click, QKeySequence(Qt::ALT | Qt::Key_P), providers);
    command(options, "Tariffs4", "&Tariffs ...", &MainWindow::Tariffs4Click, QKeySequence(Qt::ALT | Qt::Key_T), tariffs);
    separator(options, "N1");
    command(options, "Preferences1", "Pr&eferences ...", &MainWindow::Preferences1Click, {}, preferences);
    QMenu* helpMenu = bar->addMenu(QStringLiteral("&Help"));
    command(helpMenu, "About1", "&Help", &MainWindow::About1Click, QKeySequence(Qt::Key_F1), helpIcon);
    separator(helpMenu, "N2");
    command(helpMenu, "About2", "&About ...", &MainWindow::About2Click, {}, about);

    ToolBar1 = addToolBar(QStringLiteral("ToolBar1"));
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setMovable(false);
    ToolBar1->setIconSize(QSize(24, 24));
    ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    command(ToolBar1, "ToolButton1", "Save report", &MainWindow::Createreport1Click, {}, reportSave);
    command(ToolBar1, "ToolButton2", "Open report", &MainWindow::Openreport1Click, {}, reportOpen);
    command(ToolBar1, "ToolButton3", "View History of connections", &MainWindow::History2Click, {}, connections);
    command(ToolBar1, "ToolButton4", "View Statistic", &MainWindow::Viewcrashes1Click, {}, statistics);
    command(ToolBar1, "ToolButton5", "View Graphs", &MainWindow::Graphs1Click, {}, graphs);
    separator(ToolBar1, "ToolButton6");
    command(ToolBar1, "ToolButton7", "Program preferences", &MainWindow::Preferences1Click, {}, preferences);
    command(ToolBar1, "ToolButton8", "Beep", &MainWindow::Beep1Click, {}, beep);
    command(ToolBar1, "ToolButton9", "Rozad Izeruveva", &MainWindow::SpeedButton2Click, {}, budget);
    separator(ToolBar1, "ToolButton10");
    command(ToolBar1, "ToolButton11", "Providers", &MainWindow::Provider1Click, {}, providers);
    command(ToolBar1, "ToolButton12", "Tariffs", &MainWindow::Tariffs4Click, {}, tariffs);
    command(ToolBar1, "ToolButton13", "Counter", &MainWindow::Counter1Click, {}, counterIcon);
    separator(ToolBar1, "ToolButton14");
    command(ToolBar1, "ToolButton15", "About the program", &MainWindow::About2Click, {}, about);
    command(ToolBar1, "ToolButton16", "Dialtally Help", &MainWindow::About1Click, {}, helpIcon);
    for (QAction* action : ToolBar1->actions()) {
        if (QWidget* button = ToolBar1->widgetForAction(action); button && !action->isSeparator())
            button->setFixedSize(33, 33);
    }

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* restore1 = command(PopupMenu1, "Restore1", "Restore", &MainWindow::Restore1Click);
    PopupMenu1->setDefaultAction(restore1);
    separator(PopupMenu1, "N3");
    command(PopupMenu1, "Connections1", "Connections ...", &MainWindow::History2Click, {}, connections);
    separator(PopupMenu1, "N5");
    command(PopupMenu1, "Beep2", "Beep ...", &MainWindow::Beep1Click, {}, beep);
    command(PopupMenu1, "TimeSynchronization2", "Time Synchronization ...", &MainWindow::Timesynchronization1Click, {}, timeSync);
    command(PopupMenu1, "CheckEmail1", "Check EMail ...", &MainWindow::Emailchecker1Click, {}, mail);
    separator(PopupMenu1, "N6");
    command(PopupMenu1, "Counter2", "Counter ...", &MainWindow::Counter1Click, {}, counterIcon);
    separator(PopupMenu1, "N7");
    command(PopupMenu1, "Providers2", "Providers ...", &MainWindow::Providers1Click, {}, providers);
    command(PopupMenu1, "Tariffs1", "Tariffs ...", &MainWindow::Tariffs4Click, {}, tariffs);
    separator(PopupMenu1, "N8");
    command(PopupMenu1, "Prefere1", "Preferences ...", &MainWindow::Preferences1Click, {}, preferences);
    separator(PopupMenu1, "N10");
    command(PopupMenu1, "Exit3", "Exit", &MainWindow::BitBtn2Click, {}, exitIcon);

    const auto button = [this](QAbstractButton* b, Handler handler) {
        connect(b, &QAbstractButton::clicked, this, platform::guarded(this, handler));
        m_commandButtons.push_back({b, handler});
    };
    button(SpeedButton7, &MainWindow::SpeedButton7Click);
    button(SpeedButton17, &MainWindow::SpeedButton17Click);
    button(SpeedButton9, &MainWindow::SpeedButton9Click);
    button(SpeedButton3, &MainWindow::SpeedButton3Click);
    button(BitBtn1, &MainWindow::BitBtn1Click);
    button(BitBtn2, &MainWindow::BitBtn2Click);
    RefreshCommands();
}

void MainWindow::RefreshCommands()
{
    for (const auto& [action, handler] : m_commands)
        action->setEnabled(commandAvailable(handler));
    for (const auto& [widget, handler] : m_commandButtons)
        widget->setEnabled(commandAvailable(handler));
}

void MainWindow::FormCreate()
{
    int logo = 1;
    {
        Key key(RootKey::CurrentUser, rk::kSoftware, false);
        if (key.opened())
            logo = key.readInt(rk::vLogo);
    }
    if (logo != 0) {
        startSplash = std::make_unique<SplashWindow>();
        runSplash(*startSplash);
    }
    auto& app = platform::Application::instance();
    connect(&app, &platform::Application::minimizeEvent, this, platform::guarded(this, &MainWindow::HdWin));
    connect(&app, &platform::Application::restoreEvent, this, platform::guarded(this, &MainWindow::HdWin));
    StartUp(*this);
    AutomaticResetCheck(*this);
}

void MainWindow::Timer1Timer()
{
    // No box opens inside a tick (they wait for its end, see DeferMessage), so a tick
    // never waits for the user. Something else that runs a nested loop inside a tick
    // (a dialog of another unit) must not start a second one on the same state.
    if (m_inTick)
        return;
    QString errorText;
    {
        m_inTick = true;
        struct Leave {
            bool& flag;
            ~Leave() { flag = false; }
        } leave{m_inTick};
        try {
            runTick();
            m_lastTickError.clear();
            return;
        } catch (const std::exception& error) {
            errorText = QString::fromUtf8(error.what());
        } catch (...) {
            errorText = QStringLiteral("Unknown error");
        }
    }
    // The same fault usually comes back every second; say it once.
    if (errorText != m_lastTickError) {
        m_lastTickError = errorText;
        DeferMessage(errorText, true);
    }
}

void MainWindow::DeferMessage(const QString& text, bool exception)
{
    // One box per fault: while it waits or is open, the ticks that raise it again
    // add nothing.
    if (m_openMessages.contains(text))
        return;
    for (const auto& waiting : m_deferredMessages) {
        if (waiting.text == text)
            return;
    }
    m_deferredMessages.push_back({text, exception});
    if (m_showPosted)
        return;
    m_showPosted = true;
    // From the event loop, not from the timer's own signal: Qt does not fire a timer
    // again while its handler is still running, so a box opened there would stop the
    // ticks.
    QMetaObject::invokeMethod(this, [this] { ShowDeferredMessages(); }, Qt::QueuedConnection);
}

void MainWindow::ShowDeferredMessages()
{
    m_showPosted = false;
    while (!m_deferredMessages.empty()) {
        const DeferredMessage message = m_deferredMessages.front();
        m_deferredMessages.pop_front();
        m_openMessages << message.text;
        platform::guard([&] {
            if (message.exception)
                platform::Application::instance().showException(message.text);
            else
                platform::messageBox(message.text, caption(), platform::MessageIcon::Error);
        });
        m_openMessages.removeOne(message.text);
    }
}

void MainWindow::runTick()
{
    if (ProgramPath.isEmpty()) {
        Key key(RootKey::LocalMachine, rk::kSoftware, false);
        if (key.opened())
            ProgramPath = key.readStr(rk::vProgramPath);
    }
    IsConnected = (platform::isDialUpLineUp(UnitRegistry()) && MonitoringDisabled == 0) ? 1 : 0;
    UpdateConnectionState(*this);
    CountConnectionTick(*this);
    ShowStatistics(*this);
    ShowMoneyOrganizerBalance(*this);
    BeepAtInterval(*this);
    ShowClock(*this);
}

void MainWindow::HdWin()
{
    if (TrayMode == 1)
        platform::taskbarButton().hide();
}

void MainWindow::FormActivate()
{
    if (TrayMode != 1)
        platform::taskbarButton().show();
}

void MainWindow::Restore1Click()
{
    auto& app = platform::Application::instance();
    app.restore();
    app.bringToFront();
}

void MainWindow::BitBtn1Click()
{
    platform::Application::instance().minimize();
}

void MainWindow::Exit1Click()
{
    platform::Application::instance().minimize();
}

void MainWindow::About1Click()
{
    platform::help().contents(platform::Application::instance().helpFile());
}

void MainWindow::About2Click()
{
    if (aboutBox)
        aboutBox->exec();
}

void MainWindow::Exit2Click()
{
    if (ConfirmExit(*this) == 1)
        postQuit();
}

void MainWindow::BitBtn2Click()
{
    Exit2Click();
}

void MainWindow::FormCloseQuery(bool& canClose)
{
    Q_UNUSED(canClose);
    RunClosingSteps(*this);
}

void MainWindow::FormClose()
{
    RunClosingSteps(*this);
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    bool canClose = true;
    platform::guard([&] { FormCloseQuery(canClose); });
    if (!canClose) {
        e->ignore();
        return;
    }
    platform::guard([this] { FormClose(); });
    e->accept();
    // The main window closing ends the program, whatever else is still open.
    postQuit();
}

void MainWindow::postQuit()
{
    const auto& quit = counter::dialogHooks().postQuit;
    if (quit)
        quit(0);
    else
        QCoreApplication::exit(0);
}

void MainWindow::Preferences1Click()
{
    if (const auto& show = counter::dialogHooks().showPreferences)
        show(*this, counter::PreferencesPage::Startup);
}

void MainWindow::SpeedButton2Click()
{
    if (const auto& show = counter::dialogHooks().showPreferences)
        show(*this, counter::PreferencesPage::Budget);
}

namespace {

void run(const counter::Command& command, MainWindow& form)
{
    if (command)
        command(form);
}

}  // namespace

void MainWindow::Providers1Click()
{
    run(counter::dialogHooks().openProviders, *this);
}

void MainWindow::Provider1Click()
{
    Providers1Click();
}

void MainWindow::Tariffs4Click()
{
    run(counter::dialogHooks().openTariffs, *this);
}

void MainWindow::History2Click()
{
    run(counter::dialogHooks().openConnections, *this);
}

void MainWindow::Graphs1Click()
{
    run(counter::dialogHooks().openGraphs, *this);
}

void MainWindow::Timesynchronization1Click()
{
    run(counter::dialogHooks().openTimeSync, *this);
}

void MainWindow::SpeedButton17Click()
{
    Timesynchronization1Click();
}

void MainWindow::Counter1Click()
{
    run(counter::dialogHooks().showCounter, *this);
}

void MainWindow::Viewcrashes1Click()
{
    run(counter::dialogHooks().showStatistics, *this);
}

void MainWindow::Openreport1Click()
{
    run(counter::dialogHooks().showOpenReport, *this);
}

void MainWindow::Deleteallreports1Click()
{
    run(counter::dialogHooks().deleteAllReports, *this);
}

void MainWindow::Beep1Click()
{
    const auto& show = counter::dialogHooks().showBeep;
    if (!show)
        return;
    show(*this);
    {
        Key key(RootKey::CurrentUser, rk::kBeep);
        BeepEnabled = key.readInt(rk::vBeepEnabled);
        BeepInterval = key.readInt(rk::vBeepInterval);
    }
    if (IsConnected == 1)
        BeepCount = beeper::nextBeepCount(BeepInterval, ElapsedSeconds);
}

void MainWindow::Resetcounter1Click()
{
    if (platform::messageBox(QStringLiteral("Are you sure to reset counter ?"), caption(),
                             platform::MessageIcon::Question, platform::MessageButtons::YesNo)
        != platform::IDYES)
        return;
    const QDate today = platform::clock().now().date();
    int report = 0;
    {
        Key key(RootKey::LocalMachine, rk::kCounterAll);
        report = key.readInt(rk::vReport);
    }
    ResetCounter(*this, today.year(), today.month(), today.day(), report);
}

void MainWindow::Createreport1Click()
{
    const QDate today = platform::clock().now().date();
    QString error;
    if (!WriteReport(*this, today.year(), today.month(), today.day(), &error))
        showError(QStringLiteral("Can't write the report %1.").arg(error));
}

void MainWindow::Emailchecker1Click()
{
    LaunchMailChecker(*this, 0);
}

void MainWindow::SpeedButton7Click()
{
    LaunchMailChecker(*this, 1);
}

void MainWindow::SpeedButton3Click()
{
    if (HolidayMode == 1) {
        HolidayMode = 0;
        SpeedButton3->setIcon(QIcon());
    } else {
        HolidayMode = 1;
        SpeedButton3->setIcon(ImageList1[counter::kImageHoliday]);
    }
}

void MainWindow::SpeedButton9Click()
{
    if (MonitoringDisabled != 0) {
        MonitoringDisabled = 0;
        SpeedButton9->setIcon(ImageList1[counter::kImageMonitoringOn]);
    } else {
        MonitoringDisabled = 1;
        SpeedButton9->setIcon(ImageList1[counter::kImageMonitoringOff]);
    }
}

void MainWindow::Dispatch(tray::TrayMessage message)
{
    if (message.Msg == tray::WM_TRAYNOTIFY)
        HandleTrayMessage(message);
}

void MainWindow::HandleTrayMessage(tray::TrayMessage message)
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

QAction* MainWindow::commandForKey(const QKeyEvent& key) const
{
    const QKeySequence pressed(key.keyCombination());
    for (const auto& [action, handler] : m_commands) {
        if (action->isEnabled() && !action->shortcut().isEmpty() && action->shortcut() == pressed)
            return action;
    }
    return nullptr;
}

bool MainWindow::event(QEvent* e)
{
    if (e->type() == QEvent::WindowActivate)
        platform::guard([this] { FormActivate(); });
    // A command's own shortcut wins over a menu title's letter, so Alt+O opens the
    // Counter dialog although "&Options" has the same letter; Qt would take the two
    // as ambiguous and run neither.
    if (e->type() == QEvent::ShortcutOverride && commandForKey(*static_cast<QKeyEvent*>(e))) {
        e->accept();
        return true;
    }
    return QMainWindow::event(e);
}

void MainWindow::keyPressEvent(QKeyEvent* e)
{
    if (QAction* action = commandForKey(*e)) {
        action->trigger();
        return;
    }
    QMainWindow::keyPressEvent(e);
}

void MainWindow::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::WindowStateChange)
        platform::Application::instance().mainWindowStateChanged(isMinimized());
    QMainWindow::changeEvent(e);
}
