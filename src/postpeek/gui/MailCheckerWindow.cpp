#include "postpeek/gui/MailCheckerWindow.h"

#include "platform/gui/Application.h"
#include "platform/gui/CellText.h"
#include "platform/gui/Help.h"
#include "platform/gui/ProgramIcons.h"
#include "platform/gui/Taskbar.h"
#include "platform/gui/Tray.h"
#include "postpeek/gui/MailAboutBox.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCursor>
#include <QEvent>
#include <QFontMetricsF>
#include <QHeaderView>
#include <QHelpEvent>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QSignalBlocker>
#include <QSplitter>
#include <QStatusBar>
#include <QTimer>
#include <QToolBar>
#include <QToolTip>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

namespace postpeek {

namespace {

// Often enough that the rows seem to come in as they are read, seldom enough that
// drawing a long list again does not slow the check.
constexpr qint64 kRowBatchMs = 100;

int textRoom(const QFontMetricsF& metrics, const QString& text, int padding)
{
    return static_cast<int>(std::ceil(metrics.horizontalAdvance(text))) + padding;
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

std::array<int, 4> columnWidths(int clientWidth, int sizeMinimum, int accountMinimum)
{
    // Shares of 27, 47, 13 and 13 per cent, each cut toward zero.
    std::array<int, 4> widths = {clientWidth * 27 / 100, clientWidth * 47 / 100, clientWidth * 13 / 100,
                                 clientWidth * 13 / 100};
    const auto widen = [&widths](std::size_t column, int minimum) {
        int missing = minimum - widths[column];
        for (const std::size_t giver : {std::size_t{1}, std::size_t{0}}) {
            const int taken = std::clamp(missing, 0, widths[giver]);
            widths[giver] -= taken;
            widths[column] += taken;
            missing -= taken;
        }
        // Still whole in a list narrower than the two: the list scrolls sideways.
        widths[column] += std::max(missing, 0);
    };
    widen(2, sizeMinimum);
    widen(3, accountMinimum);
    return widths;
}

QString rowToolTip(const MailMessage& message)
{
    return QStringLiteral("From:") + message.From + QLatin1Char('\n') + QStringLiteral("Subject:") + message.Subject;
}

// =====================================================================================
// The main window
// =====================================================================================

MailCheckerWindow::MailCheckerWindow(QWidget* parent)
    : QMainWindow(parent)
    , m_cycle(this)
{
    setObjectName(QStringLiteral("mailCheckerWindow"));
    setWindowTitle(text(kCaption));
    move(192, 107);

    // The tray's two pictures at every size a panel may draw them.
    icons[kImageNoMail] = platform::iconAtEverySize(
        [](int size) { return platform::envelopePicture(size, QColor(235, 235, 235), QColor(), false); });
    icons[kImageMail] = platform::iconAtEverySize(
        [](int size) { return platform::envelopePicture(size, QColor(255, 240, 150), QColor(210, 0, 0), false); });
    icons[kImageCheck] = QIcon(checkPicture(false));
    icons[kImageExit] = QIcon(exitPicture(false));
    highlightedIcons[kImageNoMail] = QIcon(envelope(QColor(235, 235, 235), QColor(), true));
    highlightedIcons[kImageMail] = QIcon(envelope(QColor(255, 240, 150), QColor(255, 0, 0), true));
    highlightedIcons[kImageCheck] = QIcon(checkPicture(true));
    highlightedIcons[kImageExit] = QIcon(exitPicture(true));

    buildWindow();
    buildMenus();
    resize(449, 245);

    checkTimer = new QTimer(this);
    checkTimer->setObjectName(QStringLiteral("checkTimer"));
    connect(checkTimer, &QTimer::timeout, this, [this] { handle([this] { timedCheck(); }, ErrorBox::FromTheLoop); });

    m_cycle.setTrayAvailable([] { return platform::trayIcon().isAvailable(); });
    showCycle();

    platform::Application::instance().setMainWindow(this);
    platform::trayIcon().setCallback([this](tray::Click click) { handle([&] { trayClicked(click); }); });
    // Given to the icon, so that a panel that draws its own menus shows this one.
    platform::trayIcon().setMenu(trayMenu);
}

MailCheckerWindow::~MailCheckerWindow()
{
    qDeleteAll(m_pendingRows);
    platform::trayIcon().watchForTray(nullptr);
    platform::trayIcon().setMenu(nullptr);
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

    toolBand = new QWidget(central);
    toolBand->setObjectName(QStringLiteral("toolBand"));
    toolBand->setMinimumHeight(22);
    auto* band = new QVBoxLayout(toolBand);
    band->setContentsMargins(2, 1, 2, 1);
    toolBar = new QToolBar(toolBand);
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setIconSize(QSize(16, 16));
    toolBar->setMovable(false);
    band->addWidget(toolBar);
    layout->addWidget(toolBand);

    auto toolIcon = [this](int index) {
        QIcon icon = icons[index];
        for (const QSize& size : highlightedIcons[index].availableSizes())
            icon.addPixmap(highlightedIcons[index].pixmap(size), QIcon::Active);
        return icon;
    };
    checkNowButton = toolBar->addAction(toolIcon(kImageCheck), QString());
    checkNowButton->setObjectName(QStringLiteral("checkNowButton"));
    checkNowButton->setToolTip(QStringLiteral("Check the Mail now !"));
    connect(checkNowButton, &QAction::triggered, this, [this] { handle([this] { checkNow(); }); });
    toolSeparator = toolBar->addSeparator();
    toolSeparator->setObjectName(QStringLiteral("toolSeparator"));
    exitButton = toolBar->addAction(toolIcon(kImageExit), QString());
    exitButton->setObjectName(QStringLiteral("exitButton"));
    exitButton->setToolTip(QStringLiteral("Exit"));
    connect(exitButton, &QAction::triggered, this, [this] { handle([this] { exitProgram(); }); });

    listSplitter = new QSplitter(Qt::Vertical, central);
    listSplitter->setObjectName(QStringLiteral("listSplitter"));
    listSplitter->setHandleWidth(10);
    listSplitter->setOpaqueResize(true);
    listSplitter->setChildrenCollapsible(false);

    accountList = new QListWidget(listSplitter);
    accountList->setObjectName(QStringLiteral("accountList"));
    accountList->setMinimumHeight(30);
    accountList->setMaximumHeight(300);
    accountList->setUniformItemSizes(true);
    connect(accountList, &QListWidget::itemChanged, this,
            [this](QListWidgetItem*) { handle([this] { accountTicksChanged(); }); });

    messageList = new QTreeWidget(listSplitter);
    messageList->setObjectName(QStringLiteral("messageList"));
    messageList->setColumnCount(4);
    messageList->setHeaderLabels(
        {QStringLiteral("From"), QStringLiteral("Subject"), QStringLiteral("Size"), QStringLiteral("Account")});
    messageList->setRootIsDecorated(false);
    messageList->setUniformRowHeights(true);
    messageList->setItemsExpandable(false);
    messageList->setSelectionMode(QAbstractItemView::SingleSelection);
    messageList->setSelectionBehavior(QAbstractItemView::SelectRows);
    messageList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    messageList->setAllColumnsShowFocus(true);
    // A sender or subject longer than its column ends in an ellipsis; the row's tooltip
    // holds all of it.
    messageList->setTextElideMode(Qt::ElideRight);
    // Grid lines; a style sheet on the items takes over their selected look too, so it
    // is given back, or the selected row's text would vanish.
    messageList->setStyleSheet(QStringLiteral(
        "QTreeView::item { border-right: 1px solid palette(mid); border-bottom: 1px solid palette(mid); }"
        "QTreeView::item:selected { background: palette(highlight); color: palette(highlighted-text); }"));
    messageList->header()->setStretchLastSection(false);
    const int widths[] = {110, 160, 80, 86};
    for (int c = 0; c < 4; ++c)
        messageList->setColumnWidth(c, widths[c]);
    messageList->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(messageList, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { messageMenu->popup(messageList->viewport()->mapToGlobal(at)); });
    messageList->viewport()->installEventFilter(this);

    listSplitter->addWidget(accountList);
    listSplitter->addWidget(messageList);
    listSplitter->setStretchFactor(0, 0);
    listSplitter->setStretchFactor(1, 1);
    listSplitter->setSizes({30, 160});
    layout->addWidget(listSplitter, 1);
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
        panel->setObjectName(QStringLiteral("statusPanel%1").arg(i));
        // Account names come from outside: "<b>home</b>" is a name, not markup.
        panel->setTextFormat(Qt::PlainText);
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
        statusPanels[static_cast<std::size_t>(i)] = panel;
    }
}

void MailCheckerWindow::buildMenus()
{
    auto bind = [this](QAction* action, void (MailCheckerWindow::*handler)()) {
        connect(action, &QAction::triggered, this,
                [this, handler] { handle([this, handler] { (this->*handler)(); }); });
    };

    fileMenu = menuBar()->addMenu(QStringLiteral("File"));
    fileMenu->setObjectName(QStringLiteral("fileMenu"));
    checkNowAction = fileMenu->addAction(QStringLiteral("Check now"));
    checkNowAction->setObjectName(QStringLiteral("checkNowAction"));
    bind(checkNowAction, &MailCheckerWindow::checkNow);
    hideAction = fileMenu->addAction(QStringLiteral("Hide"));
    hideAction->setObjectName(QStringLiteral("hideAction"));
    bind(hideAction, &MailCheckerWindow::hideProgram);
    fileMenu->addSeparator();
    exitAction = fileMenu->addAction(QStringLiteral("Exit"));
    exitAction->setObjectName(QStringLiteral("exitAction"));
    bind(exitAction, &MailCheckerWindow::exitProgram);

    helpMenu = menuBar()->addMenu(QStringLiteral("Help"));
    helpMenu->setObjectName(QStringLiteral("helpMenu"));
    helpAction = helpMenu->addAction(QStringLiteral("EMail Checker help"));
    helpAction->setObjectName(QStringLiteral("helpAction"));
    bind(helpAction, &MailCheckerWindow::showHelp);
    aboutAction = helpMenu->addAction(QStringLiteral("About..."));
    aboutAction->setObjectName(QStringLiteral("aboutAction"));
    bind(aboutAction, &MailCheckerWindow::showAbout);

    trayMenu = new QMenu(this);
    trayMenu->setObjectName(QStringLiteral("trayMenu"));
    trayRestoreAction = trayMenu->addAction(QStringLiteral("Restore"));
    trayRestoreAction->setObjectName(QStringLiteral("trayRestoreAction"));
    trayMenu->setDefaultAction(trayRestoreAction);
    bind(trayRestoreAction, &MailCheckerWindow::restoreFromTray);
    trayHideAction = trayMenu->addAction(QStringLiteral("Hide"));
    trayHideAction->setObjectName(QStringLiteral("trayHideAction"));
    bind(trayHideAction, &MailCheckerWindow::hideProgram);
    trayMenu->addSeparator();
    trayCheckNowAction = trayMenu->addAction(icons[kImageCheck], QStringLiteral("Check now"));
    trayCheckNowAction->setObjectName(QStringLiteral("trayCheckNowAction"));
    bind(trayCheckNowAction, &MailCheckerWindow::checkNow);
    trayMenu->addSeparator();
    trayExitAction = trayMenu->addAction(icons[kImageExit], QStringLiteral("Exit"));
    trayExitAction->setObjectName(QStringLiteral("trayExitAction"));
    bind(trayExitAction, &MailCheckerWindow::exitProgram);

    messageMenu = new QMenu(this);
    messageMenu->setObjectName(QStringLiteral("messageMenu"));
    selectAction = messageMenu->addAction(QStringLiteral("Select"));
    selectAction->setObjectName(QStringLiteral("selectAction"));
    messageMenu->setDefaultAction(selectAction);
    messageMenu->addSeparator();
    deleteAction = messageMenu->addAction(QStringLiteral("Delete"));
    deleteAction->setObjectName(QStringLiteral("deleteAction"));
    bind(deleteAction, &MailCheckerWindow::deleteSelectedMessage);
}

QString MailCheckerWindow::panelText(int panel) const
{
    return statusPanels[static_cast<std::size_t>(panel)]->text();
}

void MailCheckerWindow::setPanelText(int panel, const QString& value)
{
    statusPanels[static_cast<std::size_t>(panel)]->setText(value);
}

void MailCheckerWindow::showCycle()
{
    connect(&m_cycle, &MailCheckCycle::accountsCleared, this, [this] {
        QSignalBlocker blocker(accountList);
        accountList->clear();
    });
    connect(&m_cycle, &MailCheckCycle::accountAdded, this, [this](const QString& name, bool ticked) {
        QSignalBlocker blocker(accountList);
        auto* item = new QListWidgetItem(name, accountList);
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    });
    connect(&m_cycle, &MailCheckCycle::accountShown, this, [this](int index, const QString& caption, bool ticked) {
        QSignalBlocker blocker(accountList);
        QListWidgetItem* item = accountList->item(index);
        item->setText(caption);
        item->setCheckState(ticked ? Qt::Checked : Qt::Unchecked);
    });
    connect(&m_cycle, &MailCheckCycle::messagesCleared, this, [this] {
        qDeleteAll(m_pendingRows);
        m_pendingRows.clear();
        messageList->clear();
        m_sizeRoom = 0;
        m_accountRoom = 0;
        m_lastAccountMeasured.clear();
        fitColumns();
    });
    connect(&m_cycle, &MailCheckCycle::messageAdded, this, &MailCheckerWindow::addRow);
    connect(&m_cycle, &MailCheckCycle::messagesListed, this, &MailCheckerWindow::showPendingRows);
    connect(&m_cycle, &MailCheckCycle::messageRemoved, this, [this](int row) {
        showPendingRows();
        delete messageList->topLevelItem(row);
        // The list would otherwise select the next row, and a second Delete would
        // take a message the user never chose.
        messageList->clearSelection();
    });
    connect(&m_cycle, &MailCheckCycle::panelTextChanged, this, &MailCheckerWindow::setPanelText);
    connect(&m_cycle, &MailCheckCycle::trayTipChanged, this, &MailCheckerWindow::setTrayTip);
    connect(&m_cycle, &MailCheckCycle::restoreRequested, this, [] {
        auto& app = platform::Application::instance();
        if (app.isMinimized())
            app.restore();
    });
    connect(&m_cycle, &MailCheckCycle::closeRequested, this, &QWidget::close);
    connect(&m_cycle, &MailCheckCycle::taskbarButtonHideRequested, this, [] { platform::taskbarButton().hide(); });
    connect(&m_cycle, &MailCheckCycle::trayIconRemovalRequested, this, &MailCheckerWindow::removeTrayIcon);
    connect(&m_cycle, &MailCheckCycle::quitRequested, this, &MailCheckerWindow::PostQuit);
}

void MailCheckerWindow::showError(const QString& text, ErrorBox box)
{
    // A tray program left alone meets the same fault at every check: one box says it.
    if (m_openErrors.contains(text) || m_waitingErrors.contains(text))
        return;
    if (box == ErrorBox::FromTheLoop) {
        m_waitingErrors << text;
        if (!m_errorsPosted) {
            m_errorsPosted = true;
            QMetaObject::invokeMethod(
                this, [this] { showWaitingErrors(); }, Qt::QueuedConnection);
        }
        return;
    }
    m_openErrors << text;
    platform::guard([&] { platform::Application::instance().showException(text); });
    m_openErrors.removeOne(text);
}

void MailCheckerWindow::showWaitingErrors()
{
    m_errorsPosted = false;
    while (!m_waitingErrors.isEmpty())
        showError(m_waitingErrors.takeFirst(), ErrorBox::InTheHandler);
}

void MailCheckerWindow::addRow(const MailMessage& message)
{
    const QString size = sizeText(message.Bytes);
    auto* item = new QTreeWidgetItem(QStringList{message.From, message.Subject, size, message.Account});
    const QString tip = rowToolTip(message);
    for (int c = 0; c < 4; ++c)
        item->setToolTip(c, tip);
    m_pendingRows.push_back(item);

    const QFontMetricsF metrics(messageList->font());
    const int padding = platform::cellTextPadding(*messageList);
    m_sizeRoom = std::max(m_sizeRoom, textRoom(metrics, size, padding));
    // An account's rows come together: its name is measured once.
    if (message.Account != m_lastAccountMeasured) {
        m_accountRoom = std::max(m_accountRoom, textRoom(metrics, message.Account, padding));
        m_lastAccountMeasured = message.Account;
    }
    if (!m_sinceRowsShown.isValid() || m_sinceRowsShown.elapsed() >= kRowBatchMs)
        showPendingRows();
}

void MailCheckerWindow::showPendingRows()
{
    if (!m_pendingRows.empty()) {
        const QList<QTreeWidgetItem*> rows(m_pendingRows.begin(), m_pendingRows.end());
        m_pendingRows.clear();
        messageList->addTopLevelItems(rows);
    }
    m_sinceRowsShown.start();
    fitColumns();
}

template <class F>
void MailCheckerWindow::showingRows(F&& command)
{
    struct AtEnd {
        MailCheckerWindow* window;
        ~AtEnd() { window->showPendingRows(); }
    } atEnd{this};
    std::forward<F>(command)();
}

bool MailCheckerWindow::showRowToolTip(QEvent* event)
{
    const auto* help = static_cast<QHelpEvent*>(event);
    const QModelIndex index = messageList->indexAt(help->pos());
    const QString tip = index.data(Qt::ToolTipRole).toString();
    if (tip.isEmpty()) {
        QToolTip::hideText();
        return true;
    }
    // A sender or subject is outside text: markup in it is shown, never obeyed.
    QStringList lines = tip.split(QLatin1Char('\n'));
    for (QString& line : lines)
        line = line.toHtmlEscaped();
    QToolTip::showText(help->globalPos(),
                       QStringLiteral("<p style=\"white-space:pre-wrap\">") + lines.join(QStringLiteral("<br>"))
                           + QStringLiteral("</p>"),
                       messageList->viewport(), messageList->visualRect(index));
    return true;
}

void MailCheckerWindow::PostQuit()
{
    QuitPosted = true;
    emit quitPosted();
}

// ---- start-up and close -----------------------------------------------------------------

void MailCheckerWindow::startUp()
{
    auto& app = platform::Application::instance();
    programPath = m_cycle.loadProgramPath();
    app.setHelpFile(programPath + QLatin1Char('/') + text(kHelpFileName));

    m_cycle.loadAccounts();
    m_cycle.loadSettings();

    const MailSettingsValues& settings = m_cycle.settings();
    checkTimer->setInterval(timerInterval(settings.Minutes));
    if (settings.OnOff == 1) {
        if (checkTimer->interval() > 0)
            checkTimer->start();
        if (settings.AutoMinimize == 1)
            app.minimize();
        if (settings.SystemTray == 1)
            addTrayIcon();
        if (settings.AutoCheck != 0)
            showingRows([this] { m_cycle.check(); });
    }

    connect(&app, &platform::Application::minimizeEvent, this, [this] { handle([this] { hideTaskbarButton(); }); });
    connect(&app, &platform::Application::restoreEvent, this, [this] { handle([this] { hideTaskbarButton(); }); });
}

void MailCheckerWindow::accountTicksChanged()
{
    for (int i = 0; i < accountList->count() && i < kMaxAccounts; ++i)
        m_cycle.setTicked(i, accountList->item(i)->checkState() == Qt::Checked);
}

void MailCheckerWindow::saveMarksAndLeaveTray()
{
    m_cycle.saveCheckMarks();
    removeTrayIcon();
}

void MailCheckerWindow::closeEvent(QCloseEvent* event)
{
    event->accept();
    if (m_closed)
        return;
    // An exchange still waiting is abandoned, so its wait ends now and not at the
    // time-out; the server commits nothing of a session left without QUIT.
    m_closing = true;
    m_cycle.abort();
    // Once as the close is asked for and once as it is done, each in its own guard: a
    // save that fails is shown and tried again, and the tray icon still goes.
    handle([this] { saveMarksAndLeaveTray(); });
    handle([this] { saveMarksAndLeaveTray(); });
    m_closed = true;
    checkTimer->stop();
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
        handle([this] { hideTaskbarButton(); });
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
    if (watched == messageList->viewport() && event->type() == QEvent::Resize)
        handle([this] { fitColumns(); });
    if (watched == messageList->viewport() && event->type() == QEvent::ToolTip)
        return showRowToolTip(event);
    return QMainWindow::eventFilter(watched, event);
}

// ---- commands ------------------------------------------------------------------------------

void MailCheckerWindow::timedCheck()
{
    showingRows([this] { m_cycle.checkAgain(); });
}

void MailCheckerWindow::checkNow()
{
    showingRows([this] { m_cycle.checkAgain(); });
}

void MailCheckerWindow::exitProgram()
{
    close();
}

void MailCheckerWindow::hideProgram()
{
    platform::Application::instance().minimize();
}

void MailCheckerWindow::restoreFromTray()
{
    auto& app = platform::Application::instance();
    app.restore();
    app.bringToFront();
}

void MailCheckerWindow::showAbout()
{
    if (aboutBox)
        aboutBox->exec();
}

void MailCheckerWindow::showHelp()
{
    platform::showHelpTopic(text(kHelpTopic));
}

void MailCheckerWindow::deleteSelectedMessage()
{
    const QList<QTreeWidgetItem*> selected = messageList->selectedItems();
    const int row = selected.size() == 1 ? messageList->indexOfTopLevelItem(selected.first()) : -1;
    m_cycle.deleteMessage(row);
}

// ---- tray and taskbar ----------------------------------------------------------------------------

void MailCheckerWindow::trayClicked(tray::Click click)
{
    switch (click) {
    case tray::Click::Activate:
        restoreFromTray();
        break;
    case tray::Click::ContextMenu:
        trayMenu->popup(QCursor::pos());
        break;
    }
}

void MailCheckerWindow::hideTaskbarButton()
{
    if (m_cycle.settings().OnOff == 1 && trayMode())
        platform::taskbarButton().hide();
}

void MailCheckerWindow::addTrayIcon()
{
    if (!platform::trayIcon().isAvailable()) {
        // A panel that starts after the program gets the icon, and tray mode with it.
        platform::trayIcon().watchForTray([this] {
            handle([this] {
                addTrayIcon();
                hideTaskbarButton();
            });
        });
        return;
    }
    platform::trayIcon().add(icons[kImageNoMail]);
}

void MailCheckerWindow::setTrayTip(const QString& tip, int picture)
{
    platform::trayIcon().modify(platform::cutTrayTip(tip), icons[static_cast<std::size_t>(picture)]);
}

void MailCheckerWindow::removeTrayIcon()
{
    platform::trayIcon().remove();
}

void MailCheckerWindow::fitColumns()
{
    // A size cut to "2,929.7..." tells nothing: the column holds a message of a few
    // megabytes in this font even before any is listed.
    const int padding = platform::cellTextPadding(*messageList);
    const int sizeFloor = textRoom(QFontMetricsF(messageList->font()), sizeText(std::int64_t{9999} * 1024), padding);
    const std::array<int, 4> widths =
        columnWidths(messageList->viewport()->width(), std::max(sizeFloor, m_sizeRoom), m_accountRoom);
    // Hidden while the columns change, so the list is drawn once in its new layout.
    const bool updates = messageList->updatesEnabled();
    messageList->setUpdatesEnabled(false);
    for (int c = 0; c < 4; ++c)
        messageList->setColumnWidth(c, widths[static_cast<std::size_t>(c)]);
    messageList->setUpdatesEnabled(updates);
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
        // Bound before the start-up runs: a log-out while its check's box is open
        // closes the window, and the quit must end that box's loop too, not wait for
        // its OK. Queued to the window, so a quit posted before the message loop runs
        // goes with the window.
        QObject::connect(
            form.get(), &MailCheckerWindow::quitPosted, form.get(), [] { QCoreApplication::exit(0); },
            Qt::QueuedConnection);
        form->handle([&] { form->startUp(); });
        about = std::make_unique<MailAboutBox>(form.get());
        form->aboutBox = about.get();
        // "On/Off" 0, or an "AutoClose" after an empty start check, ends the program
        // before its message loop runs.
        if (form->QuitPosted)
            return;
        if (app.isMinimized()) {
            // The minimize at start-up came before its event was bound.
            form->handle([&] { form->hideTaskbarButton(); });
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

}  // namespace postpeek