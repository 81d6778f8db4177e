#include "MailCheckerWindow.h"

#include "Application.h"
#include "CellText.h"
#include "DialUpLine.h"
#include "Help.h"
#include "LocalTime.h"
#include "ProgramIcons.h"
#include "Registry.h"
#include "RegistryNames.h"
#include "Taskbar.h"
#include "Tray.h"
#include "MailAboutBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QScopedValueRollback>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>
#include <cmath>
#include <exception>
#include <memory>
#include <vector>

using platform::RootKey;
namespace rk = regkeys;

namespace mailcheck {

namespace {

std::unique_ptr<platform::Registry> mailRegistry;
// The picture handed to the tray on every add and update.
QIcon MailTrayIconImage;

// Texts of the status bar and the tray, as the program has always written them.
const char* const kDisconnectedPanel = "Disconected";
const char* const kFailedPanel = "Disconnected";
const char* const kOfflinePanel = "Connect to Internet first!";
const char* const kOfflineTip = "Connect to Internet first !";
const char* const kCheckingTip = "Checking";
const char* const kNoMessagesTip = "No new messages";
const char* const kTotalMessagesTip = "Total messages: ";
// A deletion that did not happen says so where the user looks.
const char* const kNotDeletedPanel = "Message not deleted";
const char* const kChangedPanel = "Mail changed: check again!";

QString text(const char* latin1)
{
    return QString::fromLatin1(latin1);
}

// The row's exact size, kept beside the rounded text for the check before DELE.
constexpr int kBytesRole = Qt::UserRole + 1;

using Key = platform::KeyScope;

std::int32_t readInt(Key& key, const char* value)
{
    return key->readInteger(text(value));
}

QString accountKey(const QString& name)
{
    return text(rk::kEmailAccounts) + QLatin1Char('\\') + name;
}

// ---- pictures -------------------------------------------------------------------------

QPixmap envelope(const QColor& paper, const QColor& mark, bool highlighted)
{
    return QPixmap::fromImage(platform::envelopePicture(16, paper, mark, highlighted));
}

QPixmap checkPicture(bool highlighted)
{
    QPixmap pixmap = envelope(QColor(250, 250, 235), QColor(), highlighted);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(highlighted ? QColor(0, 200, 0) : QColor(0, 140, 0), 2.2));
    p.drawLine(QPointF(7, 11), QPointF(10, 14));
    p.drawLine(QPointF(10, 14), QPointF(15, 6));
    return pixmap;
}

QPixmap exitPicture(bool highlighted)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(Qt::transparent);
    QPainter p(&pixmap);
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(QPen(QColor(60, 60, 60), 1));
    p.setBrush(highlighted ? QColor(200, 150, 90) : QColor(160, 110, 60));
    p.drawRect(QRectF(3.5, 1.5, 8, 13));
    p.setPen(QPen(highlighted ? QColor(230, 0, 0) : QColor(170, 0, 0), 2));
    p.drawLine(QPointF(9, 8), QPointF(15, 8));
    p.drawLine(QPointF(12.5, 5.5), QPointF(15, 8));
    p.drawLine(QPointF(12.5, 10.5), QPointF(15, 8));
    return pixmap;
}

}  // namespace

// =====================================================================================
// Plain logic
// =====================================================================================

QString sizeText(std::int64_t bytes, const QLocale& locale)
{
    return locale.toString(static_cast<double>(bytes) / 1024.0, 'f', 2) + QStringLiteral(" KB");
}

QString accountCaption(const QString& name, int messages, std::int64_t bytes, const QLocale& locale)
{
    return name + QStringLiteral(" ( Total messages: ") + QString::number(messages) + QStringLiteral(" Total size: ")
           + sizeText(bytes, locale) + QStringLiteral(" )");
}

QString accountErrorText(const QString& account, const QString& host, const QString& error)
{
    return QStringLiteral("Account %1 on %2: %3").arg(account, host, error);
}

QString clockText(int hour, int minute, int second)
{
    return QStringLiteral("%1:%2:%3").arg(hour).arg(minute).arg(second);
}

std::array<int, 4> columnWidths(int clientWidth, int sizeMinimum)
{
    // Shares of 27, 47, 13 and 13 per cent, each cut toward zero.
    std::array<int, 4> widths = {clientWidth * 27 / 100, clientWidth * 47 / 100, clientWidth * 13 / 100,
                                 clientWidth * 13 / 100};
    const int missing = std::min(sizeMinimum - widths[2], widths[1]);
    if (missing > 0) {
        widths[1] -= missing;
        widths[2] += missing;
    }
    return widths;
}

int timerInterval(std::int32_t minutes)
{
    // Qt fires an interval of 0 continuously; no positive period means no timed check.
    if (minutes <= 0)
        return 0;
    const std::int64_t ms = static_cast<std::int64_t>(minutes) * 60000;
    return ms > INT_MAX ? INT_MAX : static_cast<int>(ms);
}

int FindAccountOfItem(const AccountTable& accounts, int row)
{
    for (int a = 0; a < kMaxAccounts; ++a) {
        if (accounts[a].FirstItem <= row && row <= accounts[a].LastItem)
            return a;
    }
    return -1;
}

int MessageNumberOnServer(const AccountTable& accounts, int account, int row)
{
    return row - accounts[account].FirstItem + 1;
}

void ShiftRangesAfterDelete(AccountTable& accounts, int account)
{
    accounts[account].LastItem -= 1;
    for (int a = account + 1; a < kMaxAccounts; ++a) {
        accounts[a].FirstItem -= 1;
        accounts[a].LastItem -= 1;
    }
}

// =====================================================================================
// Unit objects
// =====================================================================================

void MailUnitInit()
{
    mailRegistry = std::make_unique<platform::Registry>();
    MailTrayIconImage = QIcon();
}

platform::Registry& UnitRegistry()
{
    if (!mailRegistry)
        MailUnitInit();
    return *mailRegistry;
}

// =====================================================================================
// Settings and accounts
// =====================================================================================

void LoadMailSettings(MailCheckerWindow& form)
{
    Key key(UnitRegistry(), RootKey::CurrentUser, text(rk::kEmail), true);
    MailSettingsValues& s = form.MailSettings;
    s.OnOff = readInt(key, rk::vOnOff);
    s.Minutes = readInt(key, rk::vMinutes);
    s.AutoCheck = readInt(key, rk::vAutoCheck);
    s.AutoMinimize = readInt(key, rk::vAutoMinimize);
    s.AutoClose = readInt(key, rk::vAutoClose);
    s.AutoRestore = readInt(key, rk::vAutoRestore);
    s.SystemTray = readInt(key, rk::vEmailSystemTray);
    s.AutoCloseProgram = readInt(key, rk::vAutoCloseProgram);
    if (s.OnOff == 0)
        form.PostQuit();
}

bool LoadMailAccount(MailCheckerWindow& form, int i)
{
    // An object of its own: the unit's one holds the accounts key for the enumeration.
    platform::Registry registry(UnitRegistry().store());
    MailAccount& account = form.Accounts[i];
    // The key was just enumerated; if it went meanwhile there is nothing to create.
    Key key(registry, RootKey::CurrentUser, accountKey(account.Name), false);
    if (!key.opened())
        return false;
    // Without its integers the account is broken (a half-written or stray key): it is
    // left out rather than ending the load of every account after it.
    if (key->valueType(text(rk::vAccountPort)) != platform::ValueType::Integer
        || key->valueType(text(rk::vAccountChecked)) != platform::ValueType::Integer)
        return false;
    account.Port = readInt(key, rk::vAccountPort);
    account.User = key->readString(text(rk::vAccountUser)).left(kUserChars);
    account.Password = key->readString(text(rk::vAccountPassword)).left(kPasswordChars);
    account.Host = key->readString(text(rk::vAccountHost)).left(kHostChars);
    account.Checked = readInt(key, rk::vAccountChecked);
    return true;
}

void LoadMailAccounts(MailCheckerWindow& form)
{
    QSignalBlocker blocker(form.CheckListBox1);
    form.CheckListBox1->clear();
    Key key(UnitRegistry(), RootKey::CurrentUser, text(rk::kEmailAccounts), true);
    if (!key.opened())
        throw platform::RegistryError("Failed to open the key '" + std::string(rk::kEmailAccounts) + "'");
    const QStringList names = key->getKeyNames();
    int count = 0;
    for (const QString& name : names) {
        if (count == kMaxAccounts)
            break;
        // A name that does not fit the account's field could not address its key.
        if (name.size() > kNameChars)
            continue;
        form.Accounts[count] = MailAccount();
        form.Accounts[count].Name = name;
        if (!LoadMailAccount(form, count)) {
            form.Accounts[count] = MailAccount();
            continue;
        }
        auto* item = new QListWidgetItem(name, form.CheckListBox1);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(form.Accounts[count].Checked != 0 ? Qt::Checked : Qt::Unchecked);
        ++count;
    }
}

void SaveCheckMarks(MailCheckerWindow& form)
{
    std::exception_ptr firstError;
    for (int i = 0; i < form.CheckListBox1->count() && i < kMaxAccounts; ++i) {
        const bool ticked = form.CheckListBox1->item(i)->checkState() == Qt::Checked;
        try {
            // Never created here: an account deleted or renamed in Preferences while we
            // ran must not come back as a key that holds "Checked" alone.
            Key key(UnitRegistry(), RootKey::CurrentUser, accountKey(form.Accounts[i].Name), false);
            if (key.opened())
                key->writeInteger(text(rk::vAccountChecked), ticked ? 1 : 0);
        } catch (...) {
            // One account's failed write must not keep the others from being saved.
            if (!firstError)
                firstError = std::current_exception();
        }
    }
    if (firstError)
        std::rethrow_exception(firstError);
}

// =====================================================================================
// Tray
// =====================================================================================

void AddMailTrayIcon(MailCheckerWindow& form)
{
    if (!platform::trayIcon().isAvailable())
        return;
    MailTrayIconImage = form.ImageList1[kImageNoMail];
    platform::trayIcon().add(MailTrayIconImage);
}

void SetMailTrayTip(MailCheckerWindow& form, const QString& tip, int icon)
{
    MailTrayIconImage = form.ImageList1[static_cast<std::size_t>(icon)];
    platform::trayIcon().modify(platform::cutTrayTip(tip), MailTrayIconImage);
}

void RemoveMailTrayIcon(MailCheckerWindow& form)
{
    Q_UNUSED(form);
    platform::trayIcon().remove();
}

// =====================================================================================
// The check cycle
// =====================================================================================

namespace {

// With several accounts a bare "Connection refused." does not tell which one failed.
// An exchange abandoned by our side or refused as busy is passed on as it is: those
// are told apart by their kind, not by their text.
platform::NetworkError namingTheAccount(const platform::NetworkError& error, const MailAccount& account)
{
    using platform::NetworkErrorKind;
    if (error.kind() == NetworkErrorKind::Aborted || error.kind() == NetworkErrorKind::Busy)
        return error;
    return platform::NetworkError(error.kind(),
                                  accountErrorText(account.Name, account.Host, QString::fromStdString(error.what())));
}

// The rows of the list in the tray: their number and the mail picture, or none.
void showMessageCount(MailCheckerWindow& form)
{
    const int rows = form.Messages->topLevelItemCount();
    if (rows > 0)
        SetMailTrayTip(form, text(kTotalMessagesTip) + QString::number(rows), kImageMail);
    else
        SetMailTrayTip(form, text(kNoMessagesTip), kImageNoMail);
}

}  // namespace

void ResetMailDisplay(MailCheckerWindow& form)
{
    form.Messages->clear();
    QSignalBlocker blocker(form.CheckListBox1);
    for (int i = 0; i < form.CheckListBox1->count() && i < kMaxAccounts; ++i) {
        QListWidgetItem* item = form.CheckListBox1->item(i);
        item->setText(form.Accounts[i].Name);
        item->setCheckState(form.Accounts[i].Checked != 0 ? Qt::Checked : Qt::Unchecked);
    }
    for (MailAccount& account : form.Accounts) {
        account.FirstItem = -1;
        account.LastItem = -1;
    }
}

int IsLineUp(MailCheckerWindow& form)
{
    if (platform::isDialUpLineUp(UnitRegistry())) {
        form.WasLineUp = 1;
        return 1;
    }
    if (form.WasLineUp) {
        // The drop is news once; the checks after it see a line that is simply down.
        form.WasLineUp = 0;
        return 2;
    }
    return 0;
}

void CheckMail(MailCheckerWindow& form)
{
    if (form.m_busy)
        return;
    // The cycle and the deletion share one flag: one network action at a time.
    const QScopedValueRollback busy(form.m_busy, true);
    const QScopedValueRollback checking(form.m_checking, true);

    const int line = IsLineUp(form);
    if (line == 0) {
        form.setPanelText(kPanelStatus, text(kOfflinePanel));
        SetMailTrayTip(form, text(kOfflineTip), kImageNoMail);
        return;
    }
    if (line == 2 && form.MailSettings.AutoCloseProgram != 0) {
        RemoveMailTrayIcon(form);
        form.PostQuit();
        return;
    }
    if (form.trayMode())
        SetMailTrayTip(form, text(kCheckingTip), kImageNoMail);
    form.TotalMessages = 0;
    form.setPanelText(kPanelMessages, QStringLiteral("-"));

    for (int i = 0; i < form.CheckListBox1->count() && i < kMaxAccounts; ++i) {
        if (form.CheckListBox1->item(i)->checkState() != Qt::Checked)
            continue;
        const MailAccount& account = form.Accounts[i];
        form.CurrentAccount = i;
        form.POP.setUserId(account.User);
        form.POP.setPassword(account.Password);
        form.POP.setHost(account.Host);
        form.POP.setPort(account.Port);
        form.setPanelText(kPanelStatus, QStringLiteral("Connecting to ") + account.Name);
        try {
            form.POP.connectToServer();
        } catch (const platform::NetworkError& error) {
            throw namingTheAccount(error, account);
        }
    }

    if (form.trayMode()) {
        showMessageCount(form);
        if (form.Messages->topLevelItemCount() == 0) {
            if (form.MailSettings.AutoClose == 1)
                form.close();
            if (form.MailSettings.OnOff == 1)
                platform::taskbarButton().hide();
        }
    }
    const platform::SystemTime now = platform::localTimeRecord();
    form.setPanelText(kPanelLastChecked, clockText(now.wHour, now.wMinute, now.wSecond));
    form.setPanelText(kPanelStatus, text(kDisconnectedPanel));
}

void DeleteSelectedMessage(MailCheckerWindow& form)
{
    if (form.m_busy)
        return;
    const QList<QTreeWidgetItem*> selected = form.Messages->selectedItems();
    if (selected.size() != 1) {
        showMessageCount(form);
        return;
    }
    QTreeWidgetItem* item = selected.first();
    const int row = form.Messages->indexOfTopLevelItem(item);
    const int a = FindAccountOfItem(form.Accounts, row);
    if (a < 0) {
        showMessageCount(form);
        return;
    }
    const int n = MessageNumberOnServer(form.Accounts, a, row);
    const MailAccount& account = form.Accounts[a];
    const QString shownFrom = item->text(0);
    const QString shownSubject = item->text(1);
    const std::int64_t shownBytes = item->data(2, kBytesRole).toLongLong();

    const QScopedValueRollback busy(form.m_busy, true);
    try {
        form.DeletePOP.setUserId(account.User);
        form.DeletePOP.setPassword(account.Password);
        form.DeletePOP.setHost(account.Host);
        form.DeletePOP.setPort(account.Port);
        form.DeletePOP.connectToServer();
        if (form.DeletePOP.isConnected()) {
            // The number is the message's place at the last check; another client may
            // have removed mail since, and then n is some other message.
            bool same = n <= form.DeletePOP.MailCount();
            if (same) {
                form.DeletePOP.getSummary(n);
                const platform::Pop3Summary& now = form.DeletePOP.Summary();
                same = now.From == shownFrom && now.Subject == shownSubject && now.Bytes == shownBytes;
            }
            if (!same) {
                form.DeletePOP.disconnectFromServer();
                form.setPanelText(kPanelStatus, text(kChangedPanel));
                showMessageCount(form);
                return;
            }
            form.DeletePOP.deleteMessage(n);
            // Only an answered QUIT removes the message; until then the row stays.
            form.DeletePOP.disconnectFromServer();
            delete item;
            // The list would otherwise select the next row, and a second Delete would
            // take a message the user never chose.
            form.Messages->clearSelection();
            ShiftRangesAfterDelete(form.Accounts, a);
            const QString status = form.panelText(kPanelStatus);
            if (status == text(kNotDeletedPanel) || status == text(kChangedPanel))
                form.setPanelText(kPanelStatus, text(kDisconnectedPanel));
        }
    } catch (const platform::NetworkError& error) {
        form.setPanelText(kPanelStatus, text(kNotDeletedPanel));
        showMessageCount(form);
        throw namingTheAccount(error, account);
    } catch (...) {
        form.setPanelText(kPanelStatus, text(kNotDeletedPanel));
        showMessageCount(form);
        throw;
    }
    showMessageCount(form);
}

// =====================================================================================
// The main window
// =====================================================================================

MailCheckerWindow::MailCheckerWindow(QWidget* parent) : QMainWindow(parent), POP(this), DeletePOP(this)
{
    MailUnitInit();
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(text(kCaption));
    move(192, 107);

    ImageList1[kImageNoMail] = QIcon(envelope(QColor(235, 235, 235), QColor(), false));
    ImageList1[kImageMail] = QIcon(envelope(QColor(255, 240, 150), QColor(210, 0, 0), false));
    ImageList1[kImageCheck] = QIcon(checkPicture(false));
    ImageList1[kImageExit] = QIcon(exitPicture(false));
    ImageList2[kImageNoMail] = QIcon(envelope(QColor(235, 235, 235), QColor(), true));
    ImageList2[kImageMail] = QIcon(envelope(QColor(255, 240, 150), QColor(255, 0, 0), true));
    ImageList2[kImageCheck] = QIcon(checkPicture(true));
    ImageList2[kImageExit] = QIcon(exitPicture(true));

    buildWindow();
    buildMenus();
    resize(449, 245);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    connect(Timer1, &QTimer::timeout, this, [this] { handle([this] { Timer1Timer(); }); });

    POP.setPort(110);
    POP.setTimeOut(10000);
    POP.OnConnect = [this] { POPConnect(); };
    POP.OnInvalidHost = [this](bool& handled) { POPInvalidHost(handled); };
    POP.OnConnectionFailed = [this] { POPConnectionFailed(); };
    POP.OnAuthenticationFailed = [this](bool& handled) { POPAuthenticationFailed(handled); };
    DeletePOP.setPort(110);
    DeletePOP.setTimeOut(10000);

    platform::Application::instance().setMainWindow(this);
    platform::trayIcon().setCallback([this](tray::TrayMessage message) { handle([&] { Dispatch(message); }); });
}

MailCheckerWindow::~MailCheckerWindow()
{
    platform::trayIcon().setCallback(nullptr);
    auto& app = platform::Application::instance();
    if (app.mainWindow() == this)
        app.setMainWindow(nullptr);
}

void MailCheckerWindow::buildWindow()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);

    CoolBar1 = new QWidget(central);
    CoolBar1->setObjectName(QStringLiteral("CoolBar1"));
    CoolBar1->setMinimumHeight(22);
    auto* band = new QVBoxLayout(CoolBar1);
    band->setContentsMargins(2, 1, 2, 1);
    ToolBar1 = new QToolBar(CoolBar1);
    ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ToolBar1->setIconSize(QSize(16, 16));
    ToolBar1->setMovable(false);
    band->addWidget(ToolBar1);
    layout->addWidget(CoolBar1);

    auto toolIcon = [this](int index) {
        QIcon icon = ImageList1[index];
        for (const QSize& size : ImageList2[index].availableSizes())
            icon.addPixmap(ImageList2[index].pixmap(size), QIcon::Active);
        return icon;
    };
    ToolButton1 = ToolBar1->addAction(toolIcon(kImageCheck), QString());
    ToolButton1->setObjectName(QStringLiteral("ToolButton1"));
    ToolButton1->setToolTip(QStringLiteral("Check the Mail now !"));
    connect(ToolButton1, &QAction::triggered, this, [this] { handle([this] { ToolButton1Click(); }); });
    ToolButton2 = ToolBar1->addSeparator();
    ToolButton3 = ToolBar1->addAction(toolIcon(kImageExit), QString());
    ToolButton3->setObjectName(QStringLiteral("ToolButton3"));
    ToolButton3->setToolTip(QStringLiteral("Exit"));
    connect(ToolButton3, &QAction::triggered, this, [this] { handle([this] { ToolButton3Click(); }); });

    Splitter1 = new QSplitter(Qt::Vertical, central);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(10);
    Splitter1->setOpaqueResize(true);
    Splitter1->setChildrenCollapsible(false);

    CheckListBox1 = new QListWidget(Splitter1);
    CheckListBox1->setObjectName(QStringLiteral("CheckListBox1"));
    CheckListBox1->setMinimumHeight(30);
    CheckListBox1->setMaximumHeight(300);
    CheckListBox1->setUniformItemSizes(true);
    connect(CheckListBox1, &QListWidget::itemChanged, this,
            [this](QListWidgetItem*) { handle([this] { CheckListBox1ClickCheck(); }); });

    Messages = new QTreeWidget(Splitter1);
    Messages->setObjectName(QStringLiteral("Messages"));
    Messages->setColumnCount(4);
    Messages->setHeaderLabels({QStringLiteral("From"), QStringLiteral("Subject"), QStringLiteral("Size"),
                               QStringLiteral("Account")});
    Messages->setRootIsDecorated(false);
    Messages->setUniformRowHeights(true);
    Messages->setItemsExpandable(false);
    Messages->setSelectionMode(QAbstractItemView::SingleSelection);
    Messages->setSelectionBehavior(QAbstractItemView::SelectRows);
    Messages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Messages->setAllColumnsShowFocus(true);
    // Grid lines; a style sheet on the items takes over their selected look too, so it
    // is given back, or the selected row's text would vanish.
    Messages->setStyleSheet(QStringLiteral(
        "QTreeView::item { border-right: 1px solid palette(mid); border-bottom: 1px solid palette(mid); }"
        "QTreeView::item:selected { background: palette(highlight); color: palette(highlighted-text); }"));
    Messages->header()->setStretchLastSection(false);
    const int widths[] = {110, 160, 80, 86};
    for (int c = 0; c < 4; ++c)
        Messages->setColumnWidth(c, widths[c]);
    Messages->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(Messages, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { MessagesPopup->popup(Messages->viewport()->mapToGlobal(at)); });
    Messages->viewport()->installEventFilter(this);

    Splitter1->addWidget(CheckListBox1);
    Splitter1->addWidget(Messages);
    Splitter1->setStretchFactor(0, 0);
    Splitter1->setStretchFactor(1, 1);
    Splitter1->setSizes({30, 160});
    layout->addWidget(Splitter1, 1);
    setCentralWidget(central);

    const int panelWidths[] = {40, 150, 75, 60, 60, 39, 50};
    const char* const panelTexts[] = {"Status:", kDisconnectedPanel, "Last checked:", "--:--:--", "Messages:", "-", ""};
    // The widest text each panel shows in the normal course (an account's name in
    // "Connecting to" may still be cut).
    const std::vector<std::vector<const char*>> widestTexts = {
        {"Status:"},
        {kDisconnectedPanel, kFailedPanel, kOfflinePanel, kNotDeletedPanel, kChangedPanel},
        {"Last checked:"},
        {"23:59:59"},
        {"Messages:"},
        {"99999"},
        {""}};
    statusBar()->setSizeGripEnabled(true);
    for (int i = 0; i < 7; ++i) {
        auto* panel = new QLabel(text(panelTexts[i]), statusBar());
        panel->setObjectName(QStringLiteral("StatusBar1Panel%1").arg(i));
        // The design's widths were set for a narrower font: no panel is narrower than
        // its texts, the status text gets the width the window has to spare and the
        // empty last panel gives way first. A sunken panel loses its frame and margin
        // on both sides.
        int needed = 0;
        for (const char* t : widestTexts[static_cast<std::size_t>(i)])
            needed = std::max(needed, panel->fontMetrics().horizontalAdvance(text(t)));
        needed += 8;
        if (i == 6)
            panel->setMaximumWidth(panelWidths[i]);
        else if (i == 1)
            panel->setMinimumWidth(std::max(panelWidths[i], needed));
        else
            panel->setFixedWidth(std::max(panelWidths[i], needed));
        // The labels (panels 0, 2, 4, 6) sit flat beside the sunken values.
        panel->setFrameStyle(i % 2 == 0 ? QFrame::NoFrame : QFrame::StyledPanel | QFrame::Sunken);
        statusBar()->addWidget(panel, i == 1 ? 1 : 0);
        StatusBar1[static_cast<std::size_t>(i)] = panel;
    }
}

void MailCheckerWindow::buildMenus()
{
    auto bind = [this](QAction* action, void (MailCheckerWindow::*handler)()) {
        connect(action, &QAction::triggered, this, [this, handler] { handle([this, handler] { (this->*handler)(); }); });
    };

    FileMenu = menuBar()->addMenu(QStringLiteral("File"));
    Checknow1 = FileMenu->addAction(QStringLiteral("Check now"));
    bind(Checknow1, &MailCheckerWindow::ToolButton1Click);
    Hide1 = FileMenu->addAction(QStringLiteral("Hide"));
    bind(Hide1, &MailCheckerWindow::Hide1Click);
    FileMenu->addSeparator();
    Exit1 = FileMenu->addAction(QStringLiteral("Exit"));
    bind(Exit1, &MailCheckerWindow::Exit1Click);

    HelpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    EMailCheckerhelp1 = HelpMenu->addAction(QStringLiteral("EMail Checker help"));
    bind(EMailCheckerhelp1, &MailCheckerWindow::EMailCheckerhelp1Click);
    About1 = HelpMenu->addAction(QStringLiteral("About..."));
    bind(About1, &MailCheckerWindow::About1Click);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    Restore = PopupMenu1->addAction(QStringLiteral("Restore"));
    PopupMenu1->setDefaultAction(Restore);
    bind(Restore, &MailCheckerWindow::RestoreClick);
    Hide2 = PopupMenu1->addAction(QStringLiteral("Hide"));
    bind(Hide2, &MailCheckerWindow::Hide1Click);
    PopupMenu1->addSeparator();
    Checknow2 = PopupMenu1->addAction(ImageList1[kImageCheck], QStringLiteral("Check now"));
    bind(Checknow2, &MailCheckerWindow::ToolButton1Click);
    PopupMenu1->addSeparator();
    exit2 = PopupMenu1->addAction(ImageList1[kImageExit], QStringLiteral("Exit"));
    bind(exit2, &MailCheckerWindow::exit2Click);

    MessagesPopup = new QMenu(this);
    MessagesPopup->setObjectName(QStringLiteral("MessagesPopup"));
    Select1 = MessagesPopup->addAction(QStringLiteral("Select"));
    MessagesPopup->setDefaultAction(Select1);
    MessagesPopup->addSeparator();
    Delete1 = MessagesPopup->addAction(QStringLiteral("Delete"));
    bind(Delete1, &MailCheckerWindow::Delete1Click);
}

QString MailCheckerWindow::panelText(int panel) const
{
    return StatusBar1[static_cast<std::size_t>(panel)]->text();
}

void MailCheckerWindow::setPanelText(int panel, const QString& value)
{
    StatusBar1[static_cast<std::size_t>(panel)]->setText(value);
}

bool MailCheckerWindow::trayMode() const
{
    return MailSettings.SystemTray == 1 && platform::trayIcon().isAvailable();
}

void MailCheckerWindow::PostQuit()
{
    QuitPosted = true;
    emit quitPosted();
}

// ---- start-up and close -----------------------------------------------------------------

void MailCheckerWindow::FormCreate()
{
    auto& app = platform::Application::instance();
    {
        Key key(UnitRegistry(), RootKey::LocalMachine, text(rk::kSoftware), false);
        ProgramPath = key.opened() ? key->readString(text(rk::vProgramPath)) : QString();
    }
    app.setHelpFile(ProgramPath + QLatin1Char('/') + text(kHelpFileName));

    LoadMailAccounts(*this);
    LoadMailSettings(*this);

    Timer1->setInterval(timerInterval(MailSettings.Minutes));
    if (MailSettings.OnOff == 1) {
        if (Timer1->interval() > 0)
            Timer1->start();
        if (MailSettings.AutoMinimize == 1)
            app.minimize();
        if (MailSettings.SystemTray == 1)
            AddMailTrayIcon(*this);
        if (MailSettings.AutoCheck != 0)
            CheckMail(*this);
    }

    connect(&app, &platform::Application::minimizeEvent, this, [this] { handle([this] { HideWindow(); }); });
    connect(&app, &platform::Application::restoreEvent, this, [this] { handle([this] { HideWindow(); }); });
}

void MailCheckerWindow::CheckListBox1ClickCheck()
{
    for (int i = 0; i < CheckListBox1->count() && i < kMaxAccounts; ++i)
        Accounts[i].Checked = CheckListBox1->item(i)->checkState() == Qt::Checked ? 1 : 0;
}

void MailCheckerWindow::FormCloseQuery()
{
    SaveCheckMarks(*this);
    RemoveMailTrayIcon(*this);
}

void MailCheckerWindow::FormClose()
{
    SaveCheckMarks(*this);
    RemoveMailTrayIcon(*this);
}

void MailCheckerWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_closed)
        return;
    // An exchange still waiting is abandoned, so its wait ends now and not at the
    // time-out; the server commits nothing of a session left without QUIT.
    m_closing = true;
    POP.abort();
    DeletePOP.abort();
    handle([this] { FormCloseQuery(); });
    handle([this] { FormClose(); });
    m_closed = true;
    Timer1->stop();
    PostQuit();
}

void MailCheckerWindow::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::WindowStateChange)
        platform::Application::instance().mainWindowStateChanged(isMinimized());
    QMainWindow::changeEvent(event);
}

bool MailCheckerWindow::event(QEvent* event)
{
    if (event->type() == QEvent::WindowActivate)
        handle([this] { FormActivate(); });
    if (event->type() == QEvent::Show && !isMinimized()) {
        // Never so narrow that the status panels lie over one another. Measured only
        // now: the status bar lays out its panels and size grip when it is shown.
        // Not while shown minimized: new size constraints there make the window
        // manager map the window normal; the showing that restores it comes here.
        setMinimumWidth(statusBar()->minimumSizeHint().width());
        if (width() < minimumWidth())
            resize(minimumWidth(), height());
    }
    return QMainWindow::event(event);
}

bool MailCheckerWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Messages->viewport() && event->type() == QEvent::Resize)
        handle([this] { FormResize(); });
    return QMainWindow::eventFilter(watched, event);
}

// ---- commands ------------------------------------------------------------------------------

void MailCheckerWindow::Timer1Timer()
{
    if (m_busy)
        return;
    ResetMailDisplay(*this);
    CheckMail(*this);
}

void MailCheckerWindow::ToolButton1Click()
{
    if (m_busy)
        return;
    ResetMailDisplay(*this);
    CheckMail(*this);
}

void MailCheckerWindow::ToolButton3Click()
{
    close();
}

void MailCheckerWindow::Exit1Click()
{
    close();
}

void MailCheckerWindow::exit2Click()
{
    close();
}

void MailCheckerWindow::Hide1Click()
{
    platform::Application::instance().minimize();
}

void MailCheckerWindow::RestoreClick()
{
    auto& app = platform::Application::instance();
    app.restore();
    app.bringToFront();
}

void MailCheckerWindow::About1Click()
{
    if (aboutBox)
        aboutBox->exec();
}

void MailCheckerWindow::EMailCheckerhelp1Click()
{
    platform::help().topic(platform::Application::instance().helpFile(), text(kHelpTopic));
}

void MailCheckerWindow::Delete1Click()
{
    DeleteSelectedMessage(*this);
}

// ---- the POP3 client's events ------------------------------------------------------------------

void MailCheckerWindow::POPConnect()
{
    const int base = Messages->topLevelItemCount() - 1;
    const int count = POP.MailCount();
    TotalMessages += count;
    setPanelText(kPanelMessages, QString::number(TotalMessages));
    MailAccount& account = Accounts[CurrentAccount];
    account.FirstItem = count > 0 ? base + 1 : -1;
    AccountBytes = 0;
    for (int n = 1; n <= count; ++n) {
        setPanelText(kPanelStatus, QStringLiteral("Receiving message ") + QString::number(n));
        POP.getSummary(n);
        const platform::Pop3Summary& summary = POP.Summary();
        auto* row = new QTreeWidgetItem(Messages, {summary.From, summary.Subject, sizeText(summary.Bytes), account.Name});
        row->setData(2, kBytesRole, QVariant::fromValue<qint64>(summary.Bytes));
        AccountBytes += summary.Bytes;
    }
    FormResize();
    if (count > 0) {
        account.LastItem = base + count;
        auto& app = platform::Application::instance();
        if (MailSettings.AutoRestore == 1 && app.isMinimized())
            app.restore();
    } else {
        account.LastItem = -1;
    }
    {
        QSignalBlocker blocker(CheckListBox1);
        QListWidgetItem* item = CheckListBox1->item(CurrentAccount);
        item->setText(accountCaption(account.Name, count, AccountBytes));
        item->setCheckState(Qt::Checked);
    }
    POP.disconnectFromServer();
    setPanelText(kPanelStatus, text(kDisconnectedPanel));
}

void MailCheckerWindow::POPAuthenticationFailed(bool& handled)
{
    SetMailTrayTip(*this, text(kDisconnectedPanel), kImageNoMail);
    setPanelText(kPanelStatus, text(kFailedPanel));
    handled = false;
}

void MailCheckerWindow::POPConnectionFailed()
{
    SetMailTrayTip(*this, text(kDisconnectedPanel), kImageNoMail);
    setPanelText(kPanelStatus, text(kFailedPanel));
}

void MailCheckerWindow::POPInvalidHost(bool& handled)
{
    SetMailTrayTip(*this, text(kDisconnectedPanel), kImageNoMail);
    setPanelText(kPanelStatus, text(kFailedPanel));
    handled = false;
}

// ---- tray and taskbar ----------------------------------------------------------------------------

void MailCheckerWindow::Dispatch(tray::TrayMessage message)
{
    if (message.Msg == tray::WM_TRAYNOTIFY)
        TrayIconMessage(message.WParam, message.LParam);
}

void MailCheckerWindow::TrayIconMessage(std::uintptr_t wParam, std::intptr_t lParam)
{
    Q_UNUSED(wParam);
    if (lParam == static_cast<std::intptr_t>(tray::WM_LBUTTONUP)) {
        auto& app = platform::Application::instance();
        app.restore();
        app.bringToFront();
    } else if (lParam == static_cast<std::intptr_t>(tray::WM_RBUTTONUP)) {
        PopupMenu1->popup(QCursor::pos());
    }
}

void MailCheckerWindow::HideWindow()
{
    if (MailSettings.OnOff == 1 && trayMode())
        platform::taskbarButton().hide();
}

void MailCheckerWindow::FormActivate()
{
    HideWindow();
}

void MailCheckerWindow::FormResize()
{
    // A size cut to "2,929.7..." tells nothing; the subject gives up what the size
    // of a message of a few megabytes needs in this font.
    const int sizeMinimum = Messages->fontMetrics().horizontalAdvance(sizeText(9999 * 1024)) + 12;
    std::array<int, 4> widths = columnWidths(Messages->viewport()->width(), sizeMinimum);
    // A column whose share would cut one of its texts gets the width of its widest,
    // and the list scrolls sideways rather than hide what a sender or subject says.
    const int padding = platform::cellTextPadding(*Messages);
    const QFontMetricsF metrics(Messages->font());
    for (int r = 0; r < Messages->topLevelItemCount(); ++r) {
        const QTreeWidgetItem* row = Messages->topLevelItem(r);
        for (std::size_t c = 0; c < widths.size(); ++c) {
            const qreal text = metrics.horizontalAdvance(row->text(static_cast<int>(c)));
            widths[c] = std::max(widths[c], static_cast<int>(std::ceil(text)) + padding);
        }
    }
    // Hidden while the columns change, so the list is drawn once in its new layout.
    const bool updates = Messages->updatesEnabled();
    Messages->setUpdatesEnabled(false);
    for (int c = 0; c < 4; ++c)
        Messages->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    Messages->setUpdatesEnabled(updates);
}

// =====================================================================================
// The program
// =====================================================================================

int WinMain(bool runLoop)
{
    int code = 0;
    std::unique_ptr<MailCheckerWindow> form;
    std::unique_ptr<MailAboutBox> about;
    const bool ok = platform::guard([&] {
        auto& app = platform::Application::instance();
        app.setTitle(text(kApplicationTitle));
        form = std::make_unique<MailCheckerWindow>();
        form->handle([&] { form->FormCreate(); });
        about = std::make_unique<MailAboutBox>(form.get());
        form->aboutBox = about.get();
        // "On/Off" 0, or an "AutoClose" after an empty start check, ends the program
        // before its message loop runs.
        if (form->QuitPosted)
            return;
        QObject::connect(form.get(), &MailCheckerWindow::quitPosted, qApp, [] { QCoreApplication::exit(0); },
                         Qt::QueuedConnection);
        if (app.isMinimized()) {
            // The minimize at start-up came before its event was bound.
            form->handle([&] { form->HideWindow(); });
        } else {
            form->show();
        }
        if (runLoop)
            code = QApplication::exec();
    });
    if (form)
        form->aboutBox = nullptr;
    about.reset();
    form.reset();
    return ok ? code : 1;
}

}  // namespace mailcheck
