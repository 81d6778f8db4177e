#include "dialtally/gui/PreferencesDialog.h"

#include "platform/gui/Application.h"
#include "platform/core/Autostart.h"
#include "platform/gui/DialogButtons.h"
#include "platform/gui/Help.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/ProgramFileDialog.h"
#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/ProgramInfo.h"
#include "dialtally/gui/TrayController.h"
#include "platform/gui/WindowPlacement.h"

#include <QCheckBox>
#include <QEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QSignalBlocker>
#include <QTabWidget>
#include <QValidator>
#include <QVBoxLayout>

#include <algorithm>
#include <stdexcept>

using settings::Opening;

namespace {

OpenFileRunner openFileRunner;

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}

QString mailCaption()
{
    return QString::fromLatin1(pref::kMailCaption);
}

void writeFlag(settings::Settings& settings, const settings::IntegerPlace& place, const QCheckBox* box,
               Opening opening = Opening::CreateKey)
{
    settings.set(place, box->isChecked() ? 1 : 0, opening);
}

void loadFlag(settings::Settings& settings, const settings::IntegerPlace& place, QCheckBox* box,
              Opening opening = Opening::CreateKey)
{
    box->setChecked(settings.get(place, opening) != 0);
}

void mailError(const QString& text)
{
    platform::messageBox(text, mailCaption(), platform::MessageIcon::Error);
}

// The check of the budget and delay edits: one message per offending character of the
// text as it was, then the edit starts again from its reset text.
void checkDigits(QLineEdit* edit, const QString& boxCaption, const QString& resetText)
{
    const QString text = edit->text();
    const int bad = pref::nonDigitCount(text, pref::kDigitCheckChars);
    for (int i = 0; i < bad; ++i) {
        platform::messageBox(QString::fromLatin1(pref::kIncorrectNumber), boxCaption,
                             platform::MessageIcon::Exclamation);
        edit->clear();
        edit->setText(resetText);
    }
}

QStringList accountNames(const QListWidget& list)
{
    QStringList names;
    for (int j = 0; j < list.count(); ++j)
        names << list.item(j)->text();
    return names;
}

// The port check: one message per character that is no digit.
bool isAllDigits(const QString& text)
{
    const int bad = pref::nonDigitCount(text);
    for (int i = 0; i < bad; ++i)
        platform::messageBox(QString::fromLatin1(pref::kIncorrectNumber), mailCaption(),
                             platform::MessageIcon::Exclamation);
    return bad == 0;
}

// An edit's room bounds what the user types, not what the registry holds: a number
// stored wider than its edit (by hand, or by an older version) is shown whole, so
// that OK does not write it back cut.
void setNumberText(QLineEdit* edit, const QString& text, int room)
{
    edit->setMaxLength(std::max<int>(room, static_cast<int>(text.size())));
    edit->setText(text);
}

// Refuses a number above `highest` as it is typed or pasted. Every other text is left
// to the digit check, which tells the user what is wrong with it; and a text that only
// gets shorter is always taken, so a wider number loaded from the store can be edited
// down.
class HighestNumberValidator : public QValidator {
public:
    HighestNumberValidator(QLineEdit* edit, std::int32_t highest)
        : QValidator(edit)
        , m_highest(highest)
    {
        connect(edit, &QLineEdit::textChanged, this, [this](const QString& text) { m_taken = text; });
    }

    State validate(QString& text, int&) const override
    {
        const bool digits = !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) {
            return c >= QLatin1Char('0') && c <= QLatin1Char('9');
        });
        if (!digits || text.size() < m_taken.size())
            return Acceptable;
        bool ok = false;
        const qint64 value = text.toLongLong(&ok);
        return ok && value <= m_highest ? Acceptable : Invalid;
    }

private:
    std::int32_t m_highest;
    QString m_taken;
};

QLabel* addText(QVBoxLayout* layout, QWidget* page, std::initializer_list<const char*> lines)
{
    QLabel* first = nullptr;
    for (const char* line : lines) {
        auto* label = new QLabel(QString::fromLatin1(line), page);
        layout->addWidget(label);
        if (!first)
            first = label;
    }
    layout->addSpacing(8);
    return first;
}

template <class W>
W* named(W* widget, const char* objectName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

QCheckBox* addCheck(QVBoxLayout* layout, QWidget* page, const char* text, const char* objectName)
{
    auto* box = named(new QCheckBox(QString::fromLatin1(text), page), objectName);
    layout->addWidget(box);
    return box;
}

QWidget* newPage(QTabWidget* tabs, const char* objectName, const char* title)
{
    auto* page = named(new QWidget(tabs), objectName);
    tabs->addTab(page, QString::fromLatin1(title));
    return page;
}

QString runOpenDialog(QFileDialog& dialog)
{
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().first();
}

}  // namespace

void setOpenFileRunner(OpenFileRunner runner)
{
    openFileRunner = std::move(runner);
}

// =====================================================================================
// The window
// =====================================================================================

PreferencesDialog::PreferencesDialog(MonitoringSession& session, TrayController& tray, QWidget* parent)
    : QDialog(parent)
    , m_session(session)
    , m_tray(tray)
{
    setObjectName(QStringLiteral("preferencesDialog"));
    setAttribute(Qt::WA_QuitOnClose, false);
    setWindowTitle(QStringLiteral("Preferences"));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                   | Qt::WindowCloseButtonHint);
    buildWindow();
    // As with every window created at start, an error of the load is shown and the
    // window is there all the same.
    platform::guard([this] { FormCreate(); });
}

PreferencesDialog::~PreferencesDialog() = default;

void PreferencesDialog::buildWindow()
{
    auto* layout = new QVBoxLayout(this);
    layout->setSizeConstraint(QLayout::SetFixedSize);
    pageTabs = named(new QTabWidget(this), "pageTabs");
    // Every page's tab in sight: the dialog grows to the tab row instead of scrolling it.
    pageTabs->setUsesScrollButtons(false);
    layout->addWidget(pageTabs);

    // ---- Startup ----
    startupPage = newPage(pageTabs, "startupPage", "Startup");
    {
        auto* page = new QVBoxLayout(startupPage);
        addText(page, startupPage,
                {"Here you can make Dialtally to load every time ",
                 "Windows starts and to show logo picture on start or not."});
        autostartCheck = addCheck(page, startupPage, "Load Dialtally every time Windows starts", "autostartCheck");
        logoCheck = addCheck(page, startupPage, "Show logo picture on start", "logoCheck");
        page->addStretch();
    }

    // ---- Taskbar ----
    taskbarPage = newPage(pageTabs, "taskbarPage", "Taskbar");
    {
        auto* page = new QVBoxLayout(taskbarPage);
        addText(page, taskbarPage,
                {"Here you can make Dialtally to be minimized ",
                 "every time you execute it and where to minimize program."});
        minimizeAtStartCheck = addCheck(page, taskbarPage, "Minimize when execute", "minimizeAtStartCheck");
        trayModeCheck = addCheck(page, taskbarPage, "Minimize in System Tray", "trayModeCheck");
        restoreOnDisconnectCheck = addCheck(page, taskbarPage, "Maximize when disconected", "restoreOnDisconnectCheck");
        page->addStretch();
    }

    // ---- Exec ----
    execPage = newPage(pageTabs, "execPage", "Exec");
    {
        auto* page = new QVBoxLayout(execPage);
        addText(page, execPage,
                {"Here you can specify which  programs Dialtally", "will run when you connect to Internet. "});
        execLinesEdit = named(new QPlainTextEdit(execPage), "execLinesEdit");
        execLinesEdit->setLineWrapMode(QPlainTextEdit::NoWrap);
        execLinesEdit->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        execLinesEdit->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        execLinesEdit->setFixedHeight(120);
        page->addWidget(execLinesEdit);
        auto* row = new QHBoxLayout;
        addProgramButton = named(new QPushButton(QStringLiteral("Add"), execPage), "addProgramButton");
        programCountLabel =
            named(new QLabel(QStringLiteral("Now you have entered 0 programs"), execPage), "programCountLabel");
        row->addWidget(addProgramButton);
        row->addWidget(programCountLabel, 1);
        page->addLayout(row);
        page->addStretch();
    }

    // ---- Connection ----
    connectionPage = newPage(pageTabs, "connectionPage", "Connection");
    {
        auto* page = new QVBoxLayout(connectionPage);
        addText(page, connectionPage,
                {"Here you can define how much time Dialtally will ",
                 "add when you connect to Internet. Usually there is a modem ",
                 "dealing delay and only after some seconds you connect to", "the Internet."});
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Seconds :"), connectionPage));
        connectDelayEdit = named(new QLineEdit(QStringLiteral("0"), connectionPage), "connectDelayEdit");
        connectDelayEdit->setFixedWidth(80);
        connectDelayEdit->setMaxLength(pref::kConnectDelayDigits);
        connectDelayEdit->setValidator(new HighestNumberValidator(connectDelayEdit, pref::kLongestConnectDelay));
        row->addWidget(connectDelayEdit);
        row->addStretch();
        page->addLayout(row);
        page->addStretch();
    }

    // ---- Anti-Crash ----
    antiCrashPage = newPage(pageTabs, "antiCrashPage", "Anti-Crash");
    {
        auto* page = new QVBoxLayout(antiCrashPage);
        addText(page, antiCrashPage,
                {"Here you can enable or disable anti-crash function. When it",
                 "enabled program restores crashed sesion time, fee and etc. "});
        antiCrashCheck = addCheck(page, antiCrashPage, "Enable anti-crash function (recommended)", "antiCrashCheck");
        antiCrashCheck->setChecked(true);
        page->addStretch();
    }

    // ---- Rozad Izeruveva ----
    budgetPage = newPage(pageTabs, "budgetPage", "Rozad Izeruveva");
    {
        auto* page = new QVBoxLayout(budgetPage);
        addText(page, budgetPage,
                {"Here you can organize money for Internet use. Enter how ",
                 "much money you can spend for Internet in one day."});
        budgetOnCheck = addCheck(page, budgetPage, "ON/OFF", "budgetOnCheck");
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Enter money for one day :      ($)"), budgetPage));
        budgetMoneyEdit = named(new QLineEdit(budgetPage), "budgetMoneyEdit");
        budgetMoneyEdit->setFixedWidth(80);
        budgetMoneyEdit->setMaxLength(pref::kBudgetDigits);
        row->addWidget(budgetMoneyEdit);
        row->addWidget(new QLabel(QStringLiteral("(c)"), budgetPage));
        budgetCentsEdit = named(new QLineEdit(budgetPage), "budgetCentsEdit");
        budgetCentsEdit->setFixedWidth(80);
        budgetCentsEdit->setMaxLength(pref::kBudgetDigits);
        row->addWidget(budgetCentsEdit);
        row->addStretch();
        page->addLayout(row);
        sirenAlarmRadio =
            named(new QRadioButton(QStringLiteral("Play SIREN or user's file"), budgetPage), "sirenAlarmRadio");
        beepAlarmRadio = named(new QRadioButton(QStringLiteral("Play Beep sound"), budgetPage), "beepAlarmRadio");
        page->addWidget(sirenAlarmRadio);
        page->addWidget(beepAlarmRadio);
        countAllDaysCheck =
            addCheck(page, budgetPage, "Count for all days since the start of monitoring", "countAllDaysCheck");
        page->addStretch();
    }

    // ---- EMail ----
    emailPage = newPage(pageTabs, "emailPage", "EMail");
    {
        auto* page = new QVBoxLayout(emailPage);
        emailTabs = named(new QTabWidget(emailPage), "emailTabs");
        page->addWidget(emailTabs);

        mailSettingsPage = newPage(emailTabs, "mailSettingsPage", "Preferences");
        auto* settings = new QVBoxLayout(mailSettingsPage);
        mailCheckerOnCheck = addCheck(settings, mailSettingsPage, "ON/OFF", "mailCheckerOnCheck");
        auto* period = new QHBoxLayout;
        period->addWidget(new QLabel(QStringLiteral("Check for Mail after"), mailSettingsPage));
        mailPeriodEdit = named(new QLineEdit(mailSettingsPage), "mailPeriodEdit");
        mailPeriodEdit->setFixedWidth(80);
        mailPeriodEdit->setMaxLength(pref::kMinutesChars);
        period->addWidget(mailPeriodEdit);
        period->addWidget(new QLabel(QStringLiteral("minutes"), mailSettingsPage));
        period->addStretch();
        settings->addLayout(period);
        mailTrayCheck = addCheck(settings, mailSettingsPage, "Minimize to System Tray", "mailTrayCheck");
        checkMailAtStartCheck =
            addCheck(settings, mailSettingsPage, "Automaticaly check Email when starts", "checkMailAtStartCheck");
        restoreOnMailCheck = addCheck(settings, mailSettingsPage, "Automaticaly restore when there are new messages",
                                      "restoreOnMailCheck");
        closeWithoutMailCheck = addCheck(settings, mailSettingsPage, "Automaticaly close if there are no new messages",
                                         "closeWithoutMailCheck");
        minimizeMailAtStartCheck =
            addCheck(settings, mailSettingsPage, "Automaticaly minimize when starts", "minimizeMailAtStartCheck");
        closeOnDisconnectCheck = addCheck(
            settings, mailSettingsPage, "Automaticaly close when disconecting from Internet", "closeOnDisconnectCheck");
        settings->addStretch();

        accountsPage = newPage(emailTabs, "accountsPage", "Mail Accounts");
        auto* accounts = new QVBoxLayout(accountsPage);
        auto* listGroup = new QGroupBox(QStringLiteral("EMail accounts:"), accountsPage);
        auto* listLayout = new QGridLayout(listGroup);
        accountList = named(new QListWidget(listGroup), "accountList");
        accountList->setFixedHeight(90);
        accountNameEdit = named(new QLineEdit(listGroup), "accountNameEdit");
        accountNameEdit->setMaxLength(pref::kAccountNameChars);
        newAccountButton = named(new QPushButton(QStringLiteral("New"), listGroup), "newAccountButton");
        renameAccountButton = named(new QPushButton(QStringLiteral("Rename"), listGroup), "renameAccountButton");
        deleteAccountButton = named(new QPushButton(QStringLiteral("Delete"), listGroup), "deleteAccountButton");
        listLayout->addWidget(accountList, 0, 0, 1, 3);
        listLayout->addWidget(accountNameEdit, 1, 0, 1, 3);
        listLayout->addWidget(newAccountButton, 2, 0);
        listLayout->addWidget(renameAccountButton, 2, 1);
        listLayout->addWidget(deleteAccountButton, 2, 2);
        accounts->addWidget(listGroup);

        auto* userGroup = new QGroupBox(QStringLiteral("User Information:"), accountsPage);
        auto* userLayout = new QGridLayout(userGroup);
        userEdit = named(new QLineEdit(userGroup), "userEdit");
        userEdit->setMaxLength(pref::kUserChars);
        passwordEdit = named(new QLineEdit(userGroup), "passwordEdit");
        passwordEdit->setMaxLength(pref::kPasswordChars);
        passwordEdit->setEchoMode(QLineEdit::Password);
        passwordEdit->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
        userLayout->addWidget(new QLabel(QStringLiteral("User Name:"), userGroup), 0, 0);
        userLayout->addWidget(userEdit, 0, 1);
        userLayout->addWidget(new QLabel(QStringLiteral("Password:"), userGroup), 1, 0);
        userLayout->addWidget(passwordEdit, 1, 1);
        accounts->addWidget(userGroup);

        auto* serverGroup = new QGroupBox(QStringLiteral("POP3 Server Information:"), accountsPage);
        auto* serverLayout = new QGridLayout(serverGroup);
        hostEdit = named(new QLineEdit(serverGroup), "hostEdit");
        hostEdit->setMaxLength(pref::kHostChars);
        portEdit = named(new QLineEdit(QStringLiteral("110"), serverGroup), "portEdit");
        portEdit->setMaxLength(pref::kPortChars);
        serverLayout->addWidget(new QLabel(QStringLiteral("Mail Server Adress:"), serverGroup), 0, 0);
        serverLayout->addWidget(hostEdit, 0, 1);
        serverLayout->addWidget(new QLabel(QStringLiteral("Port (default 110):"), serverGroup), 1, 0);
        serverLayout->addWidget(portEdit, 1, 1);
        accounts->addWidget(serverGroup);
        emailTabs->setCurrentWidget(accountsPage);
    }

    // ---- buttons ----
    layout->addWidget(platform::okCancelHelpRow(this, okButton, cancelButton, helpButton));
    for (QPushButton* button : {okButton, cancelButton, helpButton})
        button->setAutoDefault(false);

    // ---- handlers ----
    using platform::guarded;
    connect(okButton, &QPushButton::clicked, this, [this] { runOkAndClose(); });
    connect(cancelButton, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::cancelClicked));
    connect(helpButton, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::helpClicked));
    platform::openHelpContextOnF1(this, pref::kHelpContext);
    connect(addProgramButton, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::addProgramClicked));
    connect(execLinesEdit, &QPlainTextEdit::textChanged, this, guarded(this, &PreferencesDialog::execLinesChanged));
    connect(this, &QDialog::finished, this, guarded(this, &PreferencesDialog::FormClose));
    connect(connectDelayEdit, &QLineEdit::textChanged, this, guarded(this, &PreferencesDialog::connectDelayChanged));
    connect(budgetMoneyEdit, &QLineEdit::textChanged, this,
            [this] { platform::guard([this] { budgetEditChanged(budgetMoneyEdit); }); });
    connect(budgetCentsEdit, &QLineEdit::textChanged, this,
            [this] { platform::guard([this] { budgetEditChanged(budgetCentsEdit); }); });
    budgetMoneyEdit->installEventFilter(this);
    budgetCentsEdit->installEventFilter(this);
    connect(newAccountButton, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::newAccountClicked));
    connect(renameAccountButton, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::renameAccountClicked));
    connect(deleteAccountButton, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::deleteAccountClicked));
    connect(accountList, &QListWidget::currentRowChanged, this, guarded(this, &PreferencesDialog::accountSelected));
    connect(portEdit, &QLineEdit::textChanged, this, guarded(this, &PreferencesDialog::portChanged));
    connect(mailPeriodEdit, &QLineEdit::textChanged, this, guarded(this, &PreferencesDialog::mailPeriodChanged));
}

void PreferencesDialog::showEvent(QShowEvent* e)
{
    // A window brought back from the minimized application shows again on its own;
    // only a new showing reloads what the user has not confirmed.
    if (!e->spontaneous()) {
        platform::guard([this] { FormCreate(); });
        platform::centreOnScreen(*this);
    }
    QDialog::showEvent(e);
}

bool PreferencesDialog::eventFilter(QObject* watched, QEvent* e)
{
    if ((watched == budgetMoneyEdit || watched == budgetCentsEdit) && e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            platform::guard([this] { budgetEditKeyDown(13); });
            // Taken here, so the default button does not run OK a second time.
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void PreferencesDialog::runOkAndClose()
{
    m_closeAfterOk = false;
    platform::guard([this] { okClicked(); });
    if (m_closeAfterOk)
        accept();
}

void PreferencesDialog::selectAccountLine(int row)
{
    QSignalBlocker blocker(accountList);
    accountList->setCurrentRow(row);
}

// ---- load ---------------------------------------------------------------------------

void PreferencesDialog::FormCreate()
{
    m_execListLoaded = false;
    m_accountsLoaded = false;
    settings::Settings& store = m_settings;
    // Looks only: a first start makes these keys, not the dialog.
    autostartCheck->setChecked(store.get(settings::Start, Opening::ExistingKey) != 0);
    // The box shows what the next start will do, where the installer stored it.
    if (const std::optional<std::int32_t> antiCrash = store.find(settings::AntiCrash, Opening::ExistingKey))
        antiCrashCheck->setChecked(*antiCrash != 0);
    loadFlag(store, settings::Logo, logoCheck, Opening::ExistingKey);
    loadFlag(store, settings::Minimize, minimizeAtStartCheck, Opening::ExistingKey);
    loadFlag(store, settings::SystemTray, trayModeCheck, Opening::ExistingKey);
    loadFlag(store, settings::Maxd, restoreOnDisconnectCheck, Opening::ExistingKey);
    setNumberText(connectDelayEdit, QString::number(store.get(settings::ConnectDelay, Opening::ExistingKey)),
                  pref::kConnectDelayDigits);
    showExecList();
    showExecCount();
    m_execListLoaded = true;
    loadFlag(store, settings::BudgetOn, budgetOnCheck);
    setNumberText(budgetMoneyEdit, QString::number(store.get(settings::BudgetMoney)), pref::kBudgetDigits);
    setNumberText(budgetCentsEdit, QString::number(store.get(settings::BudgetCents)), pref::kBudgetDigits);
    const budget::AlarmKind alarm = budget::alarmKindFrom(store.get(settings::BudgetAlarm));
    if (alarm == budget::AlarmKind::SoundFile)
        sirenAlarmRadio->setChecked(true);
    else if (alarm == budget::AlarmKind::Beep)
        beepAlarmRadio->setChecked(true);
    loadFlag(store, settings::BudgetReserve, countAllDaysCheck);
    loadEmailSettings();
}

// The mail checker's switches of its key, in the order they are loaded and saved.
std::array<PreferencesDialog::MailSwitch, 7> PreferencesDialog::mailSwitches() const
{
    return {{
        {settings::MailSystemTray, mailTrayCheck},
        {settings::MailAutoCheck, checkMailAtStartCheck},
        {settings::MailAutoRestore, restoreOnMailCheck},
        {settings::MailAutoClose, closeWithoutMailCheck},
        {settings::MailAutoMinimize, minimizeMailAtStartCheck},
        {settings::MailAutoCloseProgram, closeOnDisconnectCheck},
        {settings::MailOn, mailCheckerOnCheck},
    }};
}

std::int32_t PreferencesDialog::takeInteger(QLineEdit* edit, QWidget* page, QWidget* innerPage)
{
    std::int32_t value = 0;
    if (pref::strictInteger(edit->text(), value))
        return value;
    // Show the user where the number is wanted before saying what is wrong with it.
    pageTabs->setCurrentWidget(page);
    if (innerPage)
        emailTabs->setCurrentWidget(innerPage);
    edit->setFocus();
    throw std::runtime_error(pref::notAnIntegerText(edit->text()).toLocal8Bit().toStdString());
}

void PreferencesDialog::showPage(mainwindow::PreferencesPage page)
{
    pageTabs->setCurrentWidget(page == mainwindow::PreferencesPage::Budget ? budgetPage : startupPage);
}

// ---- OK ------------------------------------------------------------------------------

void PreferencesDialog::okClicked()
{
    // Every number that must convert is checked before anything is written: a typing
    // slip must neither leave half the settings saved nor drop the rest of the page.
    const std::int32_t money = takeInteger(budgetMoneyEdit, budgetPage);
    const std::int32_t cents = takeInteger(budgetCentsEdit, budgetPage);
    takeInteger(mailPeriodEdit, emailPage, mailSettingsPage);
    m_closeAfterOk = true;

    settings::Settings& store = m_settings;
    // The "Run" value and the desktop's autostart entry change together or not at all.
    platform::setAutostart(store.registry(),
                           autostartCheck->isChecked() ? pref::autostartCommand(m_session.programPath()) : QString());
    // Into the keys that are there: a write that finds none fails as it always did.
    writeFlag(store, settings::AntiCrash, antiCrashCheck, Opening::ExistingKey);
    writeFlag(store, settings::Start, autostartCheck, Opening::ExistingKey);
    const QString delay = connectDelayEdit->text().left(pref::kConnectDelayChars);
    if (!delay.isEmpty())
        store.set(settings::ConnectDelay, pref::leadingInteger(delay), Opening::ExistingKey);
    else
        setNumberText(connectDelayEdit, QString::number(store.get(settings::ConnectDelay, Opening::ExistingKey)),
                      pref::kConnectDelayDigits);
    writeFlag(store, settings::Logo, logoCheck, Opening::ExistingKey);
    writeFlag(store, settings::Minimize, minimizeAtStartCheck, Opening::ExistingKey);
    if (trayModeCheck->isChecked()) {
        store.set(settings::SystemTray, 1, Opening::ExistingKey);
        // Set first: without a notification area adding the icon turns tray mode off
        // again, so the window keeps its taskbar button.
        m_tray.setInTray(true);
        m_tray.add();
    } else {
        store.set(settings::SystemTray, 0, Opening::ExistingKey);
        m_tray.remove();
        m_tray.setInTray(false);
    }
    writeFlag(store, settings::Maxd, restoreOnDisconnectCheck, Opening::ExistingKey);
    if (m_execListLoaded)
        pref::saveExecList(store, pref::execLines(execLinesEdit->toPlainText()));
    const bool budgetAllowed = pref::budgetAllowed(pref::counterResetMode(store), budgetOnCheck->isChecked());
    if (!budgetAllowed)
        platform::messageBox(QString::fromLatin1(pref::kBudgetNeedsMonthlyCounter), caption(),
                             platform::MessageIcon::Error);
    // With neither alarm button selected the stored alarm kind is kept.
    std::optional<budget::AlarmKind> alarm;
    if (sirenAlarmRadio->isChecked())
        alarm = budget::AlarmKind::SoundFile;
    else if (beepAlarmRadio->isChecked())
        alarm = budget::AlarmKind::Beep;
    pref::saveBudget(
        store, {budgetAllowed && budgetOnCheck->isChecked(), money, cents, alarm, countAllDaysCheck->isChecked()});
    m_session.refreshBudget();

    if (m_accountsLoaded) {
        if (accountList->count() > 0)
            storeAccount(accountList->currentRow() >= 0 ? accountList->currentRow() : m_shownAccount);
        pref::saveAccounts(store, m_accounts, accountList->count());
    }
    saveEmailSettings();
}

void PreferencesDialog::cancelClicked()
{
    reject();
}

void PreferencesDialog::helpClicked()
{
    platform::showHelpContext(pref::kHelpContext);
}

void PreferencesDialog::FormClose()
{
    showExecList();
    QSignalBlocker blocker(accountList);
    accountList->clear();
    accountNameEdit->clear();
}

// ---- Exec page --------------------------------------------------------------------------

QFileDialog& PreferencesDialog::programFileDialog()
{
    if (!m_programFileDialog) {
        m_programFileDialog = named(new QFileDialog(this, QStringLiteral("Open")), "programFileDialog");
        m_programFileDialog->setFileMode(QFileDialog::ExistingFile);
        platform::offerProgramsFirst(*m_programFileDialog, {QStringLiteral("Executable files (*.exe)")});
    }
    return *m_programFileDialog;
}

void PreferencesDialog::addProgramClicked()
{
    QFileDialog& dialog = programFileDialog();
    const QString file = openFileRunner ? openFileRunner(dialog) : runOpenDialog(dialog);
    if (file.isEmpty())
        return;
    QStringList lines = pref::execLines(execLinesEdit->toPlainText());
    lines << QFileInfo(file).absoluteFilePath();
    execLinesEdit->setPlainText(pref::execText(lines));
}

void PreferencesDialog::execLinesChanged()
{
    showExecCount();
}

void PreferencesDialog::showExecList()
{
    execLinesEdit->setPlainText(pref::execText(pref::loadExecList(m_settings)));
}

void PreferencesDialog::showExecCount()
{
    programCountLabel->setText(
        pref::execCountText(static_cast<int>(pref::execLines(execLinesEdit->toPlainText()).size())));
}

// ---- numeric edits ------------------------------------------------------------------------

void PreferencesDialog::connectDelayChanged()
{
    checkDigits(connectDelayEdit, caption(), QStringLiteral("0"));
}

void PreferencesDialog::budgetEditChanged(QLineEdit* edit)
{
    checkDigits(edit, caption(), QStringLiteral("0"));
}

void PreferencesDialog::budgetEditKeyDown(int key)
{
    if (key == 13)
        okButton->click();
}

void PreferencesDialog::mailPeriodChanged()
{
    checkDigits(mailPeriodEdit, caption(), QStringLiteral("110"));
}

void PreferencesDialog::portChanged()
{
    if (!isAllDigits(portEdit->text()))
        portEdit->setText(QStringLiteral("110"));
}

// =====================================================================================
// E-mail settings and accounts
// =====================================================================================

void PreferencesDialog::loadEmailSettings()
{
    {
        QSignalBlocker blocker(accountList);
        accountList->clear();
    }
    userEdit->clear();
    passwordEdit->clear();
    accountNameEdit->clear();
    hostEdit->clear();
    setNumberText(portEdit, QStringLiteral("110"), pref::kPortChars);
    m_accountsLoaded = false;

    settings::Settings& store = m_settings;
    const int count = pref::loadAccounts(store, m_accounts, [this](const QString& accountName) {
        QSignalBlocker blocker(accountList);
        accountList->addItem(accountName);
    });
    if (count > 0) {
        QSignalBlocker blocker(accountList);
        accountList->setCurrentRow(0);
        blocker.unblock();
        accountNameEdit->setText(accountList->item(0)->text());
        showAccount(0);
    }
    m_shownAccount = 0;
    m_accountsLoaded = true;

    setNumberText(mailPeriodEdit, QString::number(store.get(settings::MailMinutes)), pref::kMinutesChars);
    for (const MailSwitch& s : mailSwitches())
        loadFlag(store, s.setting, s.box);
}

void PreferencesDialog::showAccount(int i)
{
    if (i < 0 || i >= pref::kMaxAccounts)
        return;
    const MailAccount& account = m_accounts[static_cast<std::size_t>(i)];
    userEdit->setText(account.User);
    passwordEdit->setText(account.Password);
    hostEdit->setText(account.Host);
    setNumberText(portEdit, QString::number(account.Port), pref::kPortChars);
}

void PreferencesDialog::storeAccount(int i)
{
    if (i < 0 || i >= pref::kMaxAccounts || i >= accountList->count())
        return;
    MailAccount& account = m_accounts[static_cast<std::size_t>(i)];
    account.Name = accountList->item(i)->text().left(pref::kAccountNameChars);
    account.User = userEdit->text().left(pref::kUserChars);
    account.Password = passwordEdit->text().left(pref::kPasswordChars);
    account.Host = hostEdit->text().left(pref::kHostChars);
    account.Port = pref::leadingInteger(portEdit->text());
}

void PreferencesDialog::clearAccountEdits()
{
    userEdit->clear();
    passwordEdit->clear();
    hostEdit->clear();
    setNumberText(portEdit, QStringLiteral("110"), pref::kPortChars);
}

void PreferencesDialog::saveEmailSettings()
{
    std::int32_t minutes = 0;
    if (!pref::strictInteger(mailPeriodEdit->text(), minutes))
        throw std::runtime_error(pref::notAnIntegerText(mailPeriodEdit->text()).toLocal8Bit().toStdString());
    platform::RegistryTransaction transaction(m_settings.store());
    m_settings.set(settings::MailMinutes, minutes);
    for (const MailSwitch& s : mailSwitches())
        writeFlag(m_settings, s.setting, s.box);
    transaction.commit();
}

// ---- account commands ------------------------------------------------------------------

void PreferencesDialog::newAccountClicked()
{
    const int count = accountList->count();
    const QString accountName = accountNameEdit->text().left(pref::kAccountNameChars);
    if (const QString refusal = pref::newAccountRefusal(accountNames(*accountList), accountName); !refusal.isEmpty()) {
        mailError(refusal);
        return;
    }
    if (count > 0) {
        storeAccount(m_shownAccount);
        m_shownAccount = count;
    }
    {
        QSignalBlocker blocker(accountList);
        accountList->addItem(accountName);
    }
    selectAccountLine(count);
    clearAccountEdits();
}

void PreferencesDialog::renameAccountClicked()
{
    const int row = accountList->currentRow();
    if (row < 0)
        return;
    const QString accountName = accountNameEdit->text().left(pref::kAccountNameChars);
    if (const QString refusal = pref::renameAccountRefusal(accountNames(*accountList), accountName, row);
        !refusal.isEmpty()) {
        mailError(refusal);
        return;
    }
    accountList->item(row)->setText(accountName);
}

void PreferencesDialog::deleteAccountClicked()
{
    const int row = accountList->currentRow();
    if (row < 0)
        return;
    const QString accountName = accountList->item(row)->text();
    if (platform::messageBox(QStringLiteral("Are you sure to delete tariff '") + accountName + QStringLiteral("'?"),
                             mailCaption(), platform::MessageIcon::Question, platform::MessageButtons::YesNo)
        != platform::Answer::Yes)
        return;
    {
        QSignalBlocker blocker(accountList);
        delete accountList->takeItem(row);
    }
    const int count = accountList->count();
    pref::removeAccount(m_accounts, row, count);
    selectAccountLine(0);
    m_shownAccount = 0;
    if (count > 0) {
        accountNameEdit->setText(accountList->item(0)->text());
        showAccount(0);
    } else {
        accountNameEdit->clear();
        clearAccountEdits();
    }
}

void PreferencesDialog::accountSelected()
{
    const int a = accountList->currentRow();
    if (a < 0)
        return;
    accountNameEdit->setText(accountList->item(a)->text());
    storeAccount(m_shownAccount);
    showAccount(a);
    m_shownAccount = a;
}
