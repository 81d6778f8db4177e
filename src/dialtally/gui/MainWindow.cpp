#include "dialtally/gui/MainWindow.h"

#include "dialtally/gui/AboutBox.h"
#include "platform/gui/Application.h"
#include "dialtally/core/Formats.h"
#include "platform/gui/Help.h"
#include "platform/core/LocalTime.h"
#include "platform/gui/MessageBox.h"
#include "dialtally/gui/Pictures.h"
#include "platform/gui/ProgramIcons.h"
#include "dialtally/core/ProgramInfo.h"
#include "platform/core/Settings.h"
#include "dialtally/gui/SplashWindow.h"
#include "platform/gui/Taskbar.h"
#include "platform/gui/Tray.h"
#include "platform/gui/WindowPlacement.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QCursor>
#include <QEvent>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QStyle>
#include <QToolBar>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}

std::array<QIcon, 5> stateIcons()
{
    std::array<QIcon, 5> icons;
    // The two tray pictures at every size a panel may draw them.
    icons[mainwindow::kImageNotConnected] =
        platform::iconAtEverySize([](int size) { return platform::handsetPicture(size, QColor(200, 0, 0), true); });
    icons[mainwindow::kImageConnected] =
        platform::iconAtEverySize([](int size) { return platform::handsetPicture(size, QColor(0, 180, 0), false); });
    icons[mainwindow::kImageHoliday] = QIcon(pictures::holidayPicture());
    icons[mainwindow::kImageMonitoringOn] = QIcon(pictures::monitoringPicture(true));
    icons[mainwindow::kImageMonitoringOff] = QIcon(pictures::monitoringPicture(false));
    return icons;
}

}  // namespace

MainWindow::MainWindow(mainwindow::DialogCommands dialogs, QWidget* parent)
    : QMainWindow(parent)
    , m_icons(stateIcons())
    , m_dialogs(std::move(dialogs))
    , m_tray(m_icons[mainwindow::kImageNotConnected], m_icons[mainwindow::kImageConnected])
{
    setObjectName(QStringLiteral("mainWindow"));
    setWindowTitle(caption());
    // A single border with the system menu and the minimize box: it keeps the size its
    // contents ask for and cannot be maximized.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
    buildWindow();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    connectSession();
    platform::trayIcon().setCallback([this](tray::Click click) { platform::guard([&] { trayClicked(click); }); });
    // Given to the icon, so that a panel that draws its own menus shows this one.
    platform::trayIcon().setMenu(trayMenu);
}

MainWindow::~MainWindow()
{
    platform::trayIcon().setMenu(nullptr);
    platform::trayIcon().setCallback(nullptr);
}

void MainWindow::connectSession()
{
    connect(&m_session, &MonitoringSession::errorRaised, this, &MainWindow::showError);
    connect(&m_session, &MonitoringSession::failureRaised, this, &MainWindow::showFailure);
    connect(&m_session, &MonitoringSession::changed, this, &MainWindow::render);
    connect(&m_session, &MonitoringSession::budgetChanged, this,
            [this] { budgetLeftLabel->setText(m_session.shown().budget); });
    connect(&m_session, &MonitoringSession::defaultsWritten, this, &MainWindow::welcomeNewUser);
    connect(&m_session, &MonitoringSession::unsavedConnectionFound, this, [] {
        platform::messageBox(QStringLiteral("Last connection was unsaved. Dialtally will recover data."), caption(),
                             platform::MessageIcon::Information, platform::MessageButtons::Ok,
                             platform::MessageOwner::None);
    });
    connect(&m_session, &MonitoringSession::restoreRequested, this,
            [] { platform::Application::instance().restore(); });
    m_session.setStillConnectedQuestion([] {
        return platform::messageBox(QStringLiteral("Are you connected now ?"), caption(),
                                    platform::MessageIcon::Question, platform::MessageButtons::YesNo,
                                    platform::MessageOwner::Application)
               != platform::Answer::No;
    });
}

void MainWindow::showError(const QString& text)
{
    if (m_session.ticking()) {
        deferMessage(text, false);
        return;
    }
    platform::messageBox(text, caption(), platform::MessageIcon::Error);
}

// An error of the store or a file that ends a step but not the program, shown as the
// standard display would; during a tick it waits for the tick's end.
void MainWindow::showFailure(const QString& text)
{
    if (m_session.ticking())
        deferMessage(text, true);
    else
        platform::Application::instance().showException(text);
}

void MainWindow::welcomeNewUser()
{
    platform::messageBox(QStringLiteral("Settings succesfully personalized to the new user."), caption(),
                         platform::MessageIcon::None, platform::MessageButtons::Ok,
                         platform::MessageOwner::Application);
    platform::messageBox(QStringLiteral("You don't have tariffs associated to providers. Please go to menu "
                                        "Options|Tariffs, Options|Providers and do it."),
                         caption(), platform::MessageIcon::Exclamation, platform::MessageButtons::Ok,
                         platform::MessageOwner::None);
    platform::Application::instance().setHelpFile(m_session.programPath() + QLatin1Char('/')
                                                  + QString::fromLatin1(program::kHelpFileName));
    platform::showHelpContents();
}

// =====================================================================================
// Start-up and the end
// =====================================================================================

void MainWindow::startUp()
{
    settings::Settings& store = m_session.settings();
    // Read before a first start writes the defaults: Postpeek, started first, makes the
    // key with only its own subkey in it, and the logo then shows, as the defaults have it.
    int logo = 1;
    if (store.exists(settings::Logo))
        logo = store.get(settings::Logo, settings::Opening::ExistingKey);
    if (logo != 0) {
        // Freed once it has closed itself: the logo's pictures and the window would
        // otherwise stay in memory for the program's life, never to be shown again.
        SplashWindow splash;
        // The splash takes the taskbar button away while it is up, which it may be
        // until after a minimized start: without tray mode the button comes back when
        // it closes, as the main window's activation would bring it.
        connect(&splash, &QDialog::finished, this, [this] { platform::guard([this] { activated(); }); });
        runSplash(splash);
    }
    auto& app = platform::Application::instance();
    connect(&app, &platform::Application::minimizeEvent, this,
            platform::guarded(this, &MainWindow::hideTaskbarButtonInTray));
    connect(&app, &platform::Application::restoreEvent, this,
            platform::guarded(this, &MainWindow::hideTaskbarButtonInTray));

    m_session.beginStartUp();
    app.setHelpFile(m_session.programPath() + QLatin1Char('/') + QString::fromLatin1(program::kHelpFileName));
    m_tray.setInTray(
        TrayController::inTrayFrom(store.get(settings::SystemTray, settings::Opening::ExistingKey)));
    if (m_tray.inTray())
        m_tray.add();
    m_session.finishStartUp();
    {
        const int top = store.get(settings::PozTop);
        const int left = store.get(settings::PozLeft);
        platform::placeAt(*this, QPoint(left, top));
    }
    m_session.start();
    m_session.automaticResetCheck();
}

void MainWindow::runClosingSteps()
{
    m_session.closingSteps();
    if (platform::positionsKnown()) {
        const QPoint position = platform::savedPosition(*this);
        m_session.settings().set(settings::PozTop, position.y());
        m_session.settings().set(settings::PozLeft, position.x());
    }
    if (m_tray.inTray())
        m_tray.remove();
}

bool MainWindow::confirmExit()
{
    const platform::Answer answer =
        platform::messageBox(QString::fromLatin1(program::kExitQuestion), caption(), platform::MessageIcon::Question,
                             platform::MessageButtons::YesNo);
    if (answer != platform::Answer::Yes)
        return false;
    runClosingSteps();
    return true;
}

// =====================================================================================
// What the window shows
// =====================================================================================

void MainWindow::render()
{
    const ConnectionCount& connection = m_session.connection();
    const MonitoringSession::Shown& shown = m_session.shown();
    lineBox->setTitle(connection.lineUp() ? QStringLiteral("Connected") : QStringLiteral("Not connected"));
    providerLabel->setText(shown.provider);
    userLabel->setText(shown.user);
    connectedImage->setVisible(shown.connectedPicture);
    notConnectedImage->setVisible(!shown.connectedPicture);
    elapsedLabel->setText(shown.elapsed);
    connectionFeeLabel->setText(shown.connectionFee);

    auto& app = platform::Application::instance();
    const bool counting = connection.counting();
    const QString summary = counting
                                ? QStringLiteral("Dialtally: [ ") + connection.elapsedAndFee() + QStringLiteral(" ]")
                                : QString::fromLatin1(program::kNotConnectedSummary);
    app.setHint(summary);
    app.setTitle(summary);
    if (m_tray.inTray())
        m_tray.update(summary, counting);
    periodFeeLabel->setText(formats::feeText(m_session.counterPeriod().fee()));

    periodTimeLabel->setText(shown.period.connectedTime);
    periodStartLabel->setText(shown.period.since);
    nextResetLabel->setText(shown.period.nextReset);
    averagePerDayLabel->setText(shown.period.averagePerDay);
    budgetLeftLabel->setText(shown.budget);
    if (shown.tickCompleted)
        clockLabel->setText(formats::clockText(platform::localNow()));
}

void MainWindow::deferMessage(const QString& text, bool exception)
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
    QMetaObject::invokeMethod(
        this, [this] { showDeferredMessages(); }, Qt::QueuedConnection);
}

void MainWindow::showDeferredMessages()
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

// =====================================================================================
// The window and its commands
// =====================================================================================

void MainWindow::buildWindow()
{
    auto* central = new QWidget(this);
    auto* layout = new QVBoxLayout(central);

    const auto valueLabel = [&](const char* objectName) {
        auto* label = new QLabel(central);
        label->setObjectName(QString::fromLatin1(objectName));
        // The provider is a dial-up entry's name and the user a log-on name: text
        // from outside, shown as it is.
        label->setTextFormat(Qt::PlainText);
        label->setMinimumWidth(160);
        return label;
    };

    lineBox = new QGroupBox(QStringLiteral("Not connected"), central);
    lineBox->setObjectName(QStringLiteral("lineBox"));
    auto* grid = new QGridLayout(lineBox);
    connectedImage = new QLabel(lineBox);
    connectedImage->setObjectName(QStringLiteral("connectedImage"));
    connectedImage->setPixmap(pictures::linePicture(32, QColor(0, 180, 0), false));
    connectedImage->setToolTip(QStringLiteral("Connected"));
    connectedImage->hide();
    notConnectedImage = new QLabel(lineBox);
    notConnectedImage->setObjectName(QStringLiteral("notConnectedImage"));
    notConnectedImage->setPixmap(pictures::linePicture(32, QColor(200, 0, 0), true));
    notConnectedImage->setToolTip(QStringLiteral("Not connected"));
    // The two pictures lie on one spot; exactly one of them is visible.
    grid->addWidget(connectedImage, 0, 0, 4, 1, Qt::AlignTop);
    grid->addWidget(notConnectedImage, 0, 0, 4, 1, Qt::AlignTop);
    providerLabel = valueLabel("providerLabel");
    userLabel = valueLabel("userLabel");
    elapsedLabel = valueLabel("elapsedLabel");
    connectionFeeLabel = valueLabel("connectionFeeLabel");
    grid->addWidget(new QLabel(QStringLiteral("Provider :"), lineBox), 0, 1);
    grid->addWidget(providerLabel, 0, 2);
    grid->addWidget(new QLabel(QStringLiteral("User :"), lineBox), 1, 1);
    grid->addWidget(userLabel, 1, 2);
    grid->addWidget(new QLabel(QStringLiteral("Time :"), lineBox), 2, 1);
    grid->addWidget(elapsedLabel, 2, 2);
    grid->addWidget(new QLabel(QStringLiteral("Fee :"), lineBox), 3, 1);
    grid->addWidget(connectionFeeLabel, 3, 2);
    layout->addWidget(lineBox);

    auto* historyBox = new QGroupBox(QStringLiteral("History"), central);
    historyBox->setObjectName(QStringLiteral("historyBox"));
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
    periodFeeLabel = valueLabel("periodFeeLabel");
    periodTimeLabel = valueLabel("periodTimeLabel");
    periodStartLabel = valueLabel("periodStartLabel");
    nextResetLabel = valueLabel("nextResetLabel");
    averagePerDayLabel = valueLabel("averagePerDayLabel");
    budgetLeftLabel = valueLabel("budgetLeftLabel");
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
    mailCheckerButton = speedButton("mailCheckerButton", "Dialtally EMail Checker");
    mailCheckerButton->setIcon(QIcon(pictures::letterPicture(16, QStringLiteral("@"), QColor(0, 90, 170))));
    timeSyncButton = speedButton("timeSyncButton", "Time Synchronization");
    timeSyncButton->setIcon(QIcon(pictures::clockPicture(16)));
    monitoringButton = speedButton("monitoringButton", "Enable or disable monitoring DUN");
    monitoringButton->setIcon(m_icons[mainwindow::kImageMonitoringOn]);
    holidayButton = speedButton("holidayButton", "Enable or disable holiday tariff");
    holidayButton->setText(QStringLiteral("Holiday"));
    holidayButton->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);

    auto* speedRow = new QHBoxLayout;
    for (QToolButton* button : {mailCheckerButton, timeSyncButton, monitoringButton, holidayButton})
        speedRow->addWidget(button);
    speedRow->addStretch();
    layout->addLayout(speedRow);

    auto* bottom = new QHBoxLayout;
    clockLabel = valueLabel("clockLabel");
    // The clock changes every second; a label of fixed size repaints itself without
    // making the whole window lay itself out again, which is most of an idle tick.
    clockLabel->setFixedSize(clockLabel->fontMetrics().horizontalAdvance(QStringLiteral("88:88:88")) * 2,
                             clockLabel->sizeHint().height());
    bottom->addWidget(clockLabel);
    bottom->addStretch();
    hideButton = new QPushButton(QStringLiteral("Hi&de"), central);
    hideButton->setObjectName(QStringLiteral("hideButton"));
    hideButton->setToolTip(QStringLiteral("Hide program"));
    hideButton->setDefault(true);
    bottom->addWidget(hideButton);
    exitButton = new QPushButton(QStringLiteral("E&xit"), central);
    exitButton->setObjectName(QStringLiteral("exitButton"));
    exitButton->setToolTip(QStringLiteral("Exit program"));
    bottom->addWidget(exitButton);
    layout->addLayout(bottom);
    setCentralWidget(central);

    buildCommands();
}

namespace {

using Handler = void (MainWindow::*)();

// Whether the dialog a command opens has been plugged in; the window's own commands
// are always there.
bool commandAvailable(const mainwindow::DialogCommands& dialogs, Handler handler)
{
    const struct {
        Handler handler;
        bool available;
    } hooked[] = {
        {&MainWindow::showPreferences, bool(dialogs.showPreferences)},
        {&MainWindow::showBudgetPreferences, bool(dialogs.showPreferences)},
        {&MainWindow::openProviders, bool(dialogs.openProviders)},
        {&MainWindow::openTariffs, bool(dialogs.openTariffs)},
        {&MainWindow::openConnections, bool(dialogs.openConnections)},
        {&MainWindow::openGraphs, bool(dialogs.openGraphs)},
        {&MainWindow::openTimeSync, bool(dialogs.openTimeSync)},
        {&MainWindow::showCounter, bool(dialogs.showCounter)},
        {&MainWindow::showStatistics, bool(dialogs.showStatistics)},
        {&MainWindow::showOpenReport, bool(dialogs.showOpenReport)},
        {&MainWindow::showBeep, bool(dialogs.showBeep)},
        {&MainWindow::deleteAllReports, bool(dialogs.deleteAllReports)},
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
    const auto command = [this](QWidget* container, const char* objectName, const char* text, Handler handler,
                                const QKeySequence& shortcut = {}, const QIcon& icon = {}) {
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
    const QIcon graphs = QIcon(pictures::graphPicture(24));
    const QIcon preferences = QIcon(pictures::letterPicture(24, QStringLiteral("P"), QColor(90, 90, 90)));
    const QIcon beep = standard(QStyle::SP_MediaVolume);
    const QIcon budget = QIcon(pictures::letterPicture(24, QStringLiteral("$"), QColor(0, 130, 0)));
    const QIcon providers = standard(QStyle::SP_DriveNetIcon);
    const QIcon tariffs = QIcon(pictures::letterPicture(24, QStringLiteral("c"), QColor(160, 100, 0)));
    const QIcon counterIcon = standard(QStyle::SP_BrowserReload);
    const QIcon about = standard(QStyle::SP_MessageBoxInformation);
    const QIcon helpIcon = standard(QStyle::SP_DialogHelpButton);
    const QIcon mail = QIcon(pictures::letterPicture(24, QStringLiteral("@"), QColor(0, 90, 170)));
    const QIcon timeSync = QIcon(pictures::clockPicture(24));
    const QIcon exitIcon = standard(QStyle::SP_DialogCloseButton);

    QMenuBar* bar = menuBar();
    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    command(file, "resetCounterAction", "&Reset counter", &MainWindow::resetCounter, QKeySequence(Qt::CTRL | Qt::Key_R),
            counterIcon);
    command(file, "createReportAction", "&Create report", &MainWindow::createReport, {}, reportSave);
    command(file, "deleteReportsAction", "&Delete reports", &MainWindow::deleteAllReports);
    command(file, "openReportAction", "&Open report ...", &MainWindow::showOpenReport,
            QKeySequence(Qt::CTRL | Qt::Key_O), reportOpen);
    separator(file, "fileSeparator");
    command(file, "hideAction", "Hi&de", &MainWindow::hideProgram, QKeySequence(Qt::CTRL | Qt::Key_D));
    command(file, "exitAction", "E&xit", &MainWindow::exitProgram, QKeySequence(Qt::ALT | Qt::Key_F4), exitIcon);
    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    command(view, "connectionsAction", "Co&nnections ...", &MainWindow::openConnections,
            QKeySequence(Qt::ALT | Qt::Key_N), connections);
    command(view, "statisticsAction", "View &statistic ...", &MainWindow::showStatistics,
            QKeySequence(Qt::ALT | Qt::Key_S), statistics);
    command(view, "graphsAction", "&Graphs ...", &MainWindow::openGraphs, {}, graphs);
    QMenu* tools = bar->addMenu(QStringLiteral("Tools"));
    command(tools, "mailCheckerAction", "E&mail Checker ...", &MainWindow::openMailChecker, {}, mail);
    command(tools, "timeSyncAction", "Time s&ynchronization ...", &MainWindow::openTimeSync, {}, timeSync);
    QMenu* options = bar->addMenu(QStringLiteral("&Options"));
    command(options, "beepAction", "&Beep ...", &MainWindow::showBeep, QKeySequence(Qt::ALT | Qt::Key_B), beep);
    separator(options, "beepSeparator");
    command(options, "counterAction", "&Counter ...", &MainWindow::showCounter, QKeySequence(Qt::ALT | Qt::Key_O),
            counterIcon);
    separator(options, "counterSeparator");
    command(options, "providersAction", "&Providers ...", &MainWindow::openProviders, QKeySequence(Qt::ALT | Qt::Key_P),
            providers);
    command(options, "tariffsAction", "&Tariffs ...", &MainWindow::openTariffs, QKeySequence(Qt::ALT | Qt::Key_T),
            tariffs);
    separator(options, "tariffsSeparator");
    command(options, "preferencesAction", "Pr&eferences ...", &MainWindow::showPreferences, {}, preferences);
    QMenu* helpMenu = bar->addMenu(QStringLiteral("&Help"));
    command(helpMenu, "helpAction", "&Help", &MainWindow::showHelp, QKeySequence(Qt::Key_F1), helpIcon);
    separator(helpMenu, "helpSeparator");
    command(helpMenu, "aboutAction", "&About ...", &MainWindow::showAbout, {}, about);

    toolBar = addToolBar(QStringLiteral("ToolBar1"));
    toolBar->setObjectName(QStringLiteral("toolBar"));
    toolBar->setMovable(false);
    toolBar->setIconSize(QSize(24, 24));
    toolBar->setToolButtonStyle(Qt::ToolButtonIconOnly);
    command(toolBar, "saveReportTool", "Save report", &MainWindow::createReport, {}, reportSave);
    command(toolBar, "openReportTool", "Open report", &MainWindow::showOpenReport, {}, reportOpen);
    command(toolBar, "connectionsTool", "View History of connections", &MainWindow::openConnections, {}, connections);
    command(toolBar, "statisticsTool", "View Statistic", &MainWindow::showStatistics, {}, statistics);
    command(toolBar, "graphsTool", "View Graphs", &MainWindow::openGraphs, {}, graphs);
    separator(toolBar, "viewToolsSeparator");
    command(toolBar, "preferencesTool", "Program preferences", &MainWindow::showPreferences, {}, preferences);
    command(toolBar, "beepTool", "Beep", &MainWindow::showBeep, {}, beep);
    command(toolBar, "budgetTool", "Rozad Izeruveva", &MainWindow::showBudgetPreferences, {}, budget);
    separator(toolBar, "settingsToolsSeparator");
    command(toolBar, "providersTool", "Providers", &MainWindow::openProviders, {}, providers);
    command(toolBar, "tariffsTool", "Tariffs", &MainWindow::openTariffs, {}, tariffs);
    command(toolBar, "counterTool", "Counter", &MainWindow::showCounter, {}, counterIcon);
    separator(toolBar, "tariffToolsSeparator");
    command(toolBar, "aboutTool", "About the program", &MainWindow::showAbout, {}, about);
    command(toolBar, "helpTool", "Dialtally Help", &MainWindow::showHelp, {}, helpIcon);
    for (QAction* action : toolBar->actions()) {
        if (QWidget* button = toolBar->widgetForAction(action); button && !action->isSeparator())
            button->setFixedSize(33, 33);
    }

    trayMenu = new QMenu(this);
    trayMenu->setObjectName(QStringLiteral("trayMenu"));
    QAction* restore1 = command(trayMenu, "trayRestoreAction", "Restore", &MainWindow::restoreFromTray);
    trayMenu->setDefaultAction(restore1);
    separator(trayMenu, "trayRestoreSeparator");
    command(trayMenu, "trayConnectionsAction", "Connections ...", &MainWindow::openConnections, {}, connections);
    separator(trayMenu, "trayConnectionsSeparator");
    command(trayMenu, "trayBeepAction", "Beep ...", &MainWindow::showBeep, {}, beep);
    command(trayMenu, "trayTimeSyncAction", "Time Synchronization ...", &MainWindow::openTimeSync, {}, timeSync);
    command(trayMenu, "trayCheckMailAction", "Check EMail ...", &MainWindow::openMailChecker, {}, mail);
    separator(trayMenu, "trayToolsSeparator");
    command(trayMenu, "trayCounterAction", "Counter ...", &MainWindow::showCounter, {}, counterIcon);
    separator(trayMenu, "trayCounterSeparator");
    command(trayMenu, "trayProvidersAction", "Providers ...", &MainWindow::openProviders, {}, providers);
    command(trayMenu, "trayTariffsAction", "Tariffs ...", &MainWindow::openTariffs, {}, tariffs);
    separator(trayMenu, "trayTariffsSeparator");
    command(trayMenu, "trayPreferencesAction", "Preferences ...", &MainWindow::showPreferences, {}, preferences);
    separator(trayMenu, "trayPreferencesSeparator");
    command(trayMenu, "trayExitAction", "Exit", &MainWindow::exitProgram, {}, exitIcon);

    const auto button = [this](QAbstractButton* b, Handler handler) {
        connect(b, &QAbstractButton::clicked, this, platform::guarded(this, handler));
        m_commandButtons.push_back({b, handler});
    };
    button(mailCheckerButton, &MainWindow::checkMailNow);
    button(timeSyncButton, &MainWindow::openTimeSync);
    button(monitoringButton, &MainWindow::toggleMonitoring);
    button(holidayButton, &MainWindow::toggleHoliday);
    button(hideButton, &MainWindow::hideProgram);
    button(exitButton, &MainWindow::exitProgram);
    refreshCommands();
}

void MainWindow::setDialogCommands(mainwindow::DialogCommands dialogs)
{
    m_dialogs = std::move(dialogs);
    refreshCommands();
}

void MainWindow::refreshCommands()
{
    for (const auto& [action, handler] : m_commands)
        action->setEnabled(commandAvailable(m_dialogs, handler));
    for (const auto& [widget, handler] : m_commandButtons)
        widget->setEnabled(commandAvailable(m_dialogs, handler));
}

void MainWindow::hideTaskbarButtonInTray()
{
    if (m_tray.inTray())
        platform::taskbarButton().hide();
}

void MainWindow::activated()
{
    if (!m_tray.inTray())
        platform::taskbarButton().show();
}

void MainWindow::restoreFromTray()
{
    auto& app = platform::Application::instance();
    app.restore();
    app.bringToFront();
}

void MainWindow::hideProgram()
{
    platform::Application::instance().minimize();
}

void MainWindow::showHelp()
{
    platform::showHelpContents();
}

void MainWindow::showAbout()
{
    if (m_aboutBox)
        m_aboutBox().exec();
}

void MainWindow::exitProgram()
{
    if (confirmExit())
        postQuit();
}

void MainWindow::closeEvent(QCloseEvent* e)
{
    // The window's close runs the closing steps without a question; it always closes.
    platform::guard([this] { runClosingSteps(); });
    e->accept();
    // The main window closing ends the program, whatever else is still open.
    postQuit();
}

void MainWindow::postQuit()
{
    if (m_dialogs.postQuit)
        m_dialogs.postQuit(0);
    else
        QCoreApplication::exit(0);
}

void MainWindow::run(const mainwindow::Command& command)
{
    if (command)
        command(*this);
}

void MainWindow::showPreferences()
{
    if (m_dialogs.showPreferences)
        m_dialogs.showPreferences(*this, mainwindow::PreferencesPage::Startup);
}

void MainWindow::showBudgetPreferences()
{
    if (m_dialogs.showPreferences)
        m_dialogs.showPreferences(*this, mainwindow::PreferencesPage::Budget);
}

void MainWindow::openProviders()
{
    run(m_dialogs.openProviders);
}

void MainWindow::openTariffs()
{
    run(m_dialogs.openTariffs);
}

void MainWindow::openConnections()
{
    run(m_dialogs.openConnections);
}

void MainWindow::openGraphs()
{
    run(m_dialogs.openGraphs);
}

void MainWindow::openTimeSync()
{
    run(m_dialogs.openTimeSync);
}

void MainWindow::showCounter()
{
    run(m_dialogs.showCounter);
}

void MainWindow::showStatistics()
{
    run(m_dialogs.showStatistics);
}

void MainWindow::showOpenReport()
{
    run(m_dialogs.showOpenReport);
}

void MainWindow::deleteAllReports()
{
    run(m_dialogs.deleteAllReports);
}

void MainWindow::showBeep()
{
    if (!m_dialogs.showBeep)
        return;
    m_dialogs.showBeep(*this);
}

void MainWindow::resetCounter()
{
    if (platform::messageBox(QStringLiteral("Are you sure to reset counter ?"), caption(),
                             platform::MessageIcon::Question, platform::MessageButtons::YesNo)
        != platform::Answer::Yes)
        return;
    m_session.resetCounterToday();
}

void MainWindow::createReport()
{
    QString error;
    if (!m_session.writeReportToday(&error))
        showError(QStringLiteral("Can't write the report %1.").arg(error));
}

void MainWindow::openMailChecker()
{
    m_session.launchMailChecker(false);
}

void MainWindow::checkMailNow()
{
    m_session.launchMailChecker(true);
}

void MainWindow::toggleHoliday()
{
    m_session.setHoliday(!m_session.holiday());
    holidayButton->setIcon(m_session.holiday() ? m_icons[mainwindow::kImageHoliday] : QIcon());
}

void MainWindow::toggleMonitoring()
{
    m_session.setMonitoringPaused(!m_session.monitoringPaused());
    monitoringButton->setIcon(
        m_icons[m_session.monitoringPaused() ? mainwindow::kImageMonitoringOff : mainwindow::kImageMonitoringOn]);
}

void MainWindow::trayClicked(tray::Click click)
{
    auto& app = platform::Application::instance();
    switch (click) {
    case tray::Click::Activate:
        app.restore();
        platform::taskbarButton().hide();
        app.bringToFront();
        break;
    case tray::Click::ContextMenu:
        trayMenu->popup(QCursor::pos());
        break;
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
        platform::guard([this] { activated(); });
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
