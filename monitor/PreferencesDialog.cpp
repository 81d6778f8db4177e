#include "PreferencesDialog.h"

#include "Application.h"
#include "Help.h"
#include "MessageBox.h"
#include "ProgramFileDialog.h"
#include "Registry.h"
#include "RegistryNames.h"
#include "TariffProfilesDialog.h"
#include "MainWindow.h"
#include "WindowPlacement.h"

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
#include <QVBoxLayout>

#include <algorithm>
#include <limits>
#include <memory>
#include <stdexcept>

using platform::KeyScope;
using platform::RootKey;
namespace rk = regkeys;

namespace {

std::unique_ptr<platform::Registry> preferencesRegistry;
OpenFileRunner openFileRunner;

// A stored "Lines" far past anything a user types would keep the load busy for ever.
constexpr int kMaxExecLines = 65536;

using regkeys::name;

QString caption()
{
    return QString::fromLatin1(program::kCaption);
}

QString mailCaption()
{
    return QString::fromLatin1(pref::kMailCaption);
}

std::int32_t readInt(KeyScope& key, const char* value)
{
    return key->readInteger(name(value));
}

void writeInt(KeyScope& key, const char* value, std::int32_t v)
{
    key->writeInteger(name(value), v);
}

void writeFlag(KeyScope& key, const char* value, const QCheckBox* box)
{
    key->writeInteger(name(value), box->isChecked() ? 1 : 0);
}

void loadFlag(KeyScope& key, const char* value, QCheckBox* box)
{
    box->setChecked(key->readInteger(name(value)) != 0);
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

bool lineMatches(const PreferencesDialog& form, const QString& accountName, int skip, Qt::CaseSensitivity cs)
{
    for (int j = 0; j < form.accountList->count(); ++j) {
        if (j != skip && form.accountList->item(j)->text().compare(accountName, cs) == 0)
            return true;
    }
    return false;
}

// The registry folds the case of key names, so two accounts whose names differ only
// in case would be saved into one key and one of them lost.
bool nameClashesInKey(const PreferencesDialog& form, const QString& accountName, int skip)
{
    return lineMatches(form, accountName, skip, Qt::CaseInsensitive);
}

// A backslash would make the account's key a nested one that no loader finds.
bool nameFitsKey(const QString& accountName)
{
    return !accountName.contains(QLatin1Char('\\'));
}

void refuseBackslash()
{
    mailError(QStringLiteral("The account's name can't contain \"\\\" !"));
}

// The name typed for a new or renamed account, as far as the name edit lets it be;
// an empty one or one with a backslash is reported, and gives false.
bool typedAccountName(const PreferencesDialog& form, QString& accountName)
{
    accountName = form.accountNameEdit->text().left(pref::kAccountNameChars);
    if (accountName.isEmpty()) {
        mailError(QStringLiteral("You have to enter account's name !"));
        return false;
    }
    if (!nameFitsKey(accountName)) {
        refuseBackslash();
        return false;
    }
    return true;
}

// An edit's room bounds what the user types, not what the registry holds: a number
// stored wider than its edit (by hand, or by an older version) is shown whole, so
// that OK does not write it back cut.
void setNumberText(QLineEdit* edit, const QString& text, int room)
{
    edit->setMaxLength(std::max<int>(room, static_cast<int>(text.size())));
    edit->setText(text);
}

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

std::int32_t takeInteger(PreferencesDialog& form, QLineEdit* edit, QWidget* page, QWidget* innerPage = nullptr)
{
    std::int32_t value = 0;
    if (pref::strictInteger(edit->text(), value))
        return value;
    // Show the user where the number is wanted before saying what is wrong with it.
    form.pageTabs->setCurrentWidget(page);
    if (innerPage)
        form.emailTabs->setCurrentWidget(innerPage);
    edit->setFocus();
    throw std::runtime_error(pref::notAnIntegerText(edit->text()).toLocal8Bit().toStdString());
}

}  // namespace

// =====================================================================================
// Plain logic
// =====================================================================================

namespace pref {

QString execCountText(int lines)
{
    return QStringLiteral("Now you have entered ") + QString::number(lines) + QStringLiteral(" programs");
}

QStringList execLines(const QString& text)
{
    if (text.isEmpty())
        return {};
    QString plain = text;
    plain.remove(QLatin1Char('\r'));
    QStringList lines = plain.split(QLatin1Char('\n'));
    if (lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

int nonDigitCount(const QString& text, int limit)
{
    const int length = limit < 0 ? text.size() : std::min<int>(limit, text.size());
    int count = 0;
    for (int i = 0; i < length; ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            ++count;
    }
    return count;
}

std::int32_t leadingInteger(const QString& text)
{
    // The same reading as the tariff fields'.
    return tariffoptions::atoi(text);
}

bool strictInteger(const QString& text, std::int32_t& value)
{
    int i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    if (i == text.size())
        return false;
    const std::int64_t bound = negative ? -std::int64_t(std::numeric_limits<std::int32_t>::min())
                                        : std::numeric_limits<std::int32_t>::max();
    std::int64_t number = 0;
    for (; i < text.size(); ++i) {
        if (text[i] < QLatin1Char('0') || text[i] > QLatin1Char('9'))
            return false;
        number = number * 10 + (text[i].unicode() - '0');
        if (number > bound)
            return false;
    }
    value = static_cast<std::int32_t>(negative ? -number : number);
    return true;
}

QString notAnIntegerText(const QString& text)
{
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

QString autostartCommand(const QString& programPath)
{
    return programPath + QStringLiteral("/Dialtally");
}

QString accountKey(const QString& accountName)
{
    return name(rk::kEmailAccounts) + QLatin1Char('\\') + accountName;
}

}  // namespace pref

// =====================================================================================
// Unit objects
// =====================================================================================

void PreferencesUnitInit()
{
    preferencesRegistry = std::make_unique<platform::Registry>();
}

platform::Registry& PreferencesRegistry()
{
    if (!preferencesRegistry)
        PreferencesUnitInit();
    return *preferencesRegistry;
}

void setOpenFileRunner(OpenFileRunner runner)
{
    openFileRunner = std::move(runner);
}

// =====================================================================================
// The window
// =====================================================================================

PreferencesDialog::PreferencesDialog(MainWindow& mainWindow, QWidget* parent)
    : QDialog(parent)
    , m_mainWindow(mainWindow)
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
        autostartCheck = named(new QCheckBox(QStringLiteral("Load Dialtally every time Windows starts"), startupPage), "autostartCheck");
        logoCheck = named(new QCheckBox(QStringLiteral("Show logo picture on start"), startupPage), "logoCheck");
        page->addWidget(autostartCheck);
        page->addWidget(logoCheck);
        page->addStretch();
    }

    // ---- Taskbar ----
    taskbarPage = newPage(pageTabs, "taskbarPage", "Taskbar");
    {
        auto* page = new QVBoxLayout(taskbarPage);
        addText(page, taskbarPage,
                {"Here you can make Dialtally to be minimized ",
                 "every time you execute it and where to minimize program."});
        minimizeAtStartCheck = named(new QCheckBox(QStringLiteral("Minimize when execute"), taskbarPage), "minimizeAtStartCheck");
        trayModeCheck = named(new QCheckBox(QStringLiteral("Minimize in System Tray"), taskbarPage), "trayModeCheck");
        restoreOnDisconnectCheck = named(new QCheckBox(QStringLiteral("Maximize when disconected"), taskbarPage), "restoreOnDisconnectCheck");
        page->addWidget(minimizeAtStartCheck);
        page->addWidget(trayModeCheck);
        page->addWidget(restoreOnDisconnectCheck);
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
        programCountLabel = named(new QLabel(QStringLiteral("Now you have entered 0 programs"), execPage), "programCountLabel");
        row->addWidget(addProgramButton);
        row->addWidget(programCountLabel, 1);
        page->addLayout(row);
        page->addStretch();
        programFileDialog = named(new QFileDialog(this, QStringLiteral("Open")), "programFileDialog");
        programFileDialog->setFileMode(QFileDialog::ExistingFile);
        platform::offerProgramsFirst(*programFileDialog, {QStringLiteral("Executable files (*.exe)")});
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
        antiCrashCheck = named(new QCheckBox(QStringLiteral("Enable anti-crash function (recommended)"), antiCrashPage), "antiCrashCheck");
        antiCrashCheck->setChecked(true);
        page->addWidget(antiCrashCheck);
        page->addStretch();
    }

    // ---- Rozad Izeruveva ----
    budgetPage = newPage(pageTabs, "budgetPage", "Rozad Izeruveva");
    {
        auto* page = new QVBoxLayout(budgetPage);
        addText(page, budgetPage,
                {"Here you can organize money for Internet use. Enter how ",
                 "much money you can spend for Internet in one day."});
        budgetOnCheck = named(new QCheckBox(QStringLiteral("ON/OFF"), budgetPage), "budgetOnCheck");
        page->addWidget(budgetOnCheck);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Enter money for one day :      ($)"), budgetPage));
        budgetMoneyEdit = named(new QLineEdit(budgetPage), "budgetMoneyEdit");
        budgetMoneyEdit->setFixedWidth(80);
        row->addWidget(budgetMoneyEdit);
        row->addWidget(new QLabel(QStringLiteral("(c)"), budgetPage));
        budgetCentsEdit = named(new QLineEdit(budgetPage), "budgetCentsEdit");
        budgetCentsEdit->setFixedWidth(80);
        row->addWidget(budgetCentsEdit);
        row->addStretch();
        page->addLayout(row);
        sirenAlarmRadio = named(new QRadioButton(QStringLiteral("Play SIREN or user's file"), budgetPage), "sirenAlarmRadio");
        beepAlarmRadio = named(new QRadioButton(QStringLiteral("Play Beep sound"), budgetPage), "beepAlarmRadio");
        page->addWidget(sirenAlarmRadio);
        page->addWidget(beepAlarmRadio);
        countAllDaysCheck = named(new QCheckBox(QStringLiteral("Count for all days since the start of monitoring"), budgetPage), "countAllDaysCheck");
        page->addWidget(countAllDaysCheck);
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
        mailCheckerOnCheck = named(new QCheckBox(QStringLiteral("ON/OFF"), mailSettingsPage), "mailCheckerOnCheck");
        settings->addWidget(mailCheckerOnCheck);
        auto* period = new QHBoxLayout;
        period->addWidget(new QLabel(QStringLiteral("Check for Mail after"), mailSettingsPage));
        mailPeriodEdit = named(new QLineEdit(mailSettingsPage), "mailPeriodEdit");
        mailPeriodEdit->setFixedWidth(80);
        mailPeriodEdit->setMaxLength(pref::kMinutesChars);
        period->addWidget(mailPeriodEdit);
        period->addWidget(new QLabel(QStringLiteral("minutes"), mailSettingsPage));
        period->addStretch();
        settings->addLayout(period);
        mailTrayCheck = named(new QCheckBox(QStringLiteral("Minimize to System Tray"), mailSettingsPage), "mailTrayCheck");
        checkMailAtStartCheck = named(new QCheckBox(QStringLiteral("Automaticaly check Email when starts"), mailSettingsPage), "checkMailAtStartCheck");
        restoreOnMailCheck = named(new QCheckBox(QStringLiteral("Automaticaly restore when there are new messages"), mailSettingsPage), "restoreOnMailCheck");
        closeWithoutMailCheck = named(new QCheckBox(QStringLiteral("Automaticaly close if there are no new messages"), mailSettingsPage), "closeWithoutMailCheck");
        minimizeMailAtStartCheck = named(new QCheckBox(QStringLiteral("Automaticaly minimize when starts"), mailSettingsPage), "minimizeMailAtStartCheck");
        closeOnDisconnectCheck = named(new QCheckBox(QStringLiteral("Automaticaly close when disconecting from Internet"), mailSettingsPage), "closeOnDisconnectCheck");
        for (QCheckBox* box : {mailTrayCheck, checkMailAtStartCheck, restoreOnMailCheck, closeWithoutMailCheck, minimizeMailAtStartCheck, closeOnDisconnectCheck})
            settings->addWidget(box);
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
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    okButton = named(new QPushButton(QStringLiteral("OK"), this), "okButton");
    cancelButton = named(new QPushButton(QStringLiteral("Cancel"), this), "cancelButton");
    helpButton = named(new QPushButton(QStringLiteral("&Help"), this), "helpButton");
    for (QPushButton* button : {okButton, cancelButton, helpButton}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    okButton->setDefault(true);
    layout->addLayout(buttons);

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
    connect(budgetMoneyEdit, &QLineEdit::textChanged, this, [this] { platform::guard([this] { budgetEditChanged(budgetMoneyEdit); }); });
    connect(budgetCentsEdit, &QLineEdit::textChanged, this, [this] { platform::guard([this] { budgetEditChanged(budgetCentsEdit); }); });
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
    ExecListLoaded = false;
    AccountsLoaded = false;
    platform::Registry& registry = PreferencesRegistry();
    {
        KeyScope key(registry, RootKey::LocalMachine, name(rk::kSoftware), false);
        autostartCheck->setChecked(readInt(key, rk::vStart) != 0);
        // The box shows what the next start will do, where the installer stored it.
        if (key->valueType(name(rk::vAntiCrash)) == platform::ValueType::Integer)
            loadFlag(key, rk::vAntiCrash, antiCrashCheck);
    }
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kSoftware), false);
        loadFlag(key, rk::vLogo, logoCheck);
        loadFlag(key, rk::vMinimize, minimizeAtStartCheck);
        loadFlag(key, rk::vSystemTray, trayModeCheck);
        loadFlag(key, rk::vMaxd, restoreOnDisconnectCheck);
        connectDelayEdit->setText(QString::number(readInt(key, rk::vConnectDelay)));
    }
    LoadExecList(*this);
    ShowExecCount(*this);
    ExecListLoaded = true;
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kBudget), true);
        loadFlag(key, rk::vOnOff, budgetOnCheck);
        budgetMoneyEdit->setText(QString::number(readInt(key, rk::vBudgetMoney)));
        budgetCentsEdit->setText(QString::number(readInt(key, rk::vBudgetCents)));
        const std::int32_t ch = readInt(key, rk::vBudgetCh);
        if (ch == 1)
            sirenAlarmRadio->setChecked(true);
        else if (ch == 3)
            beepAlarmRadio->setChecked(true);
        loadFlag(key, rk::vBudgetReserve, countAllDaysCheck);
    }
    LoadEmailSettings(*this);
}

// ---- OK ------------------------------------------------------------------------------

void PreferencesDialog::okClicked()
{
    // Every number that must convert is checked before anything is written: a typing
    // slip must neither leave half the settings saved nor drop the rest of the page.
    const std::int32_t money = takeInteger(*this, budgetMoneyEdit, budgetPage);
    const std::int32_t cents = takeInteger(*this, budgetCentsEdit, budgetPage);
    takeInteger(*this, mailPeriodEdit, emailPage, mailSettingsPage);
    m_closeAfterOk = true;

    MainWindow& form = m_mainWindow;
    platform::Registry& registry = PreferencesRegistry();
    {
        KeyScope key(registry, RootKey::LocalMachine, name(rk::kRun), true);
        key->writeString(name(rk::vAutostart),
                         autostartCheck->isChecked() ? pref::autostartCommand(form.ProgramPath) : QString());
    }
    {
        KeyScope key(registry, RootKey::LocalMachine, name(rk::kSoftware), false);
        writeFlag(key, rk::vAntiCrash, antiCrashCheck);
        writeFlag(key, rk::vStart, autostartCheck);
    }
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kSoftware), false);
        const QString delay = connectDelayEdit->text().left(pref::kConnectDelayChars);
        if (!delay.isEmpty())
            writeInt(key, rk::vConnectDelay, pref::leadingInteger(delay));
        else
            connectDelayEdit->setText(QString::number(readInt(key, rk::vConnectDelay)));
        writeFlag(key, rk::vLogo, logoCheck);
        writeFlag(key, rk::vMinimize, minimizeAtStartCheck);
        if (trayModeCheck->isChecked()) {
            writeInt(key, rk::vSystemTray, 1);
            // Set first: without a notification area AddTrayIcon turns tray mode off
            // again, so the window keeps its taskbar button.
            form.TrayMode = 1;
            AddTrayIcon(form);
        } else {
            writeInt(key, rk::vSystemTray, 0);
            RemoveTrayIcon(form);
            form.TrayMode = 0;
        }
        writeFlag(key, rk::vMaxd, restoreOnDisconnectCheck);
    }
    if (ExecListLoaded) {
        // The tick reads "Lines" and then the lines: it sees the old list or the new.
        platform::RegistryTransaction transaction(registry.store());
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kExec), true);
        const QStringList lines = pref::execLines(execLinesEdit->toPlainText());
        writeInt(key, rk::vLines, static_cast<std::int32_t>(lines.size()));
        for (int i = 0; i < lines.size(); ++i)
            key->writeString(name(rk::vLinePrefix) + QString::number(i), lines[i]);
        transaction.commit();
    }
    std::int32_t resetMode = 0;
    {
        KeyScope key(registry, RootKey::LocalMachine, name(rk::kCounterAll), true);
        resetMode = readInt(key, rk::vReset);
    }
    const bool budgetAllowed = resetMode == 2 || !budgetOnCheck->isChecked();
    if (!budgetAllowed) {
        platform::messageBox(
            QStringLiteral("You can't use Rozad Izeruveva function until Counter is set to reset not "
                           "after the month. First set Options|Counter... to reset after the month and "
                           "then try to activate Rozad Izeruveva function."),
            caption(), platform::MessageIcon::Error);
    }
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kBudget), true);
        writeInt(key, rk::vOnOff, budgetAllowed && budgetOnCheck->isChecked() ? 1 : 0);
        writeInt(key, rk::vBudgetMoney, money);
        writeInt(key, rk::vBudgetCents, cents);
        // With neither button selected the stored alarm kind is kept.
        if (sirenAlarmRadio->isChecked())
            writeInt(key, rk::vBudgetCh, 1);
        else if (beepAlarmRadio->isChecked())
            writeInt(key, rk::vBudgetCh, 3);
        writeFlag(key, rk::vBudgetReserve, countAllDaysCheck);
    }
    ShowMoneyOrganizerBalance(form);

    if (AccountsLoaded) {
        if (accountList->count() > 0)
            StoreAccount(*this, accountList->currentRow() >= 0 ? accountList->currentRow() : ShownAccount);
        SaveAccounts(*this);
    }
    SaveEmailSettings(*this);
}

void PreferencesDialog::cancelClicked()
{
    reject();
}

void PreferencesDialog::helpClicked()
{
    platform::help().context(platform::Application::instance().helpFile(), pref::kHelpContext);
}

void PreferencesDialog::FormClose()
{
    LoadExecList(*this);
    QSignalBlocker blocker(accountList);
    accountList->clear();
    accountNameEdit->clear();
}

// ---- Exec page --------------------------------------------------------------------------

void PreferencesDialog::addProgramClicked()
{
    const QString file = openFileRunner ? openFileRunner(*programFileDialog) : runOpenDialog(*programFileDialog);
    if (file.isEmpty())
        return;
    QStringList lines = pref::execLines(execLinesEdit->toPlainText());
    lines << QFileInfo(file).absoluteFilePath();
    execLinesEdit->setPlainText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void PreferencesDialog::execLinesChanged()
{
    ShowExecCount(*this);
}

void LoadExecList(PreferencesDialog& form)
{
    platform::Registry& registry = PreferencesRegistry();
    QStringList lines;
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kExec), true);
        const std::int32_t n = std::min(readInt(key, rk::vLines), kMaxExecLines);
        for (int i = 0; i < n; ++i)
            lines << key->readString(name(rk::vLinePrefix) + QString::number(i));
    }
    // Every line ends with a line break, so an empty last line stays a line.
    form.execLinesEdit->setPlainText(lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void ShowExecCount(PreferencesDialog& form)
{
    form.programCountLabel->setText(pref::execCountText(static_cast<int>(pref::execLines(form.execLinesEdit->toPlainText()).size())));
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
    if (!IsAllDigits(*this, portEdit->text()))
        portEdit->setText(QStringLiteral("110"));
}

bool IsAllDigits(PreferencesDialog& form, const QString& text)
{
    Q_UNUSED(form);
    const int bad = pref::nonDigitCount(text);
    for (int i = 0; i < bad; ++i)
        platform::messageBox(QString::fromLatin1(pref::kIncorrectNumber), mailCaption(),
                             platform::MessageIcon::Exclamation);
    return bad == 0;
}

// =====================================================================================
// E-mail settings and accounts
// =====================================================================================

void LoadEmailSettings(PreferencesDialog& form)
{
    {
        QSignalBlocker blocker(form.accountList);
        form.accountList->clear();
    }
    form.userEdit->clear();
    form.passwordEdit->clear();
    form.accountNameEdit->clear();
    form.hostEdit->clear();
    setNumberText(form.portEdit, QStringLiteral("110"), pref::kPortChars);
    form.AccountsLoaded = false;

    platform::Registry& registry = PreferencesRegistry();
    QStringList names;
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kEmailAccounts), true);
        names = key->getKeyNames();
    }
    int count = 0;
    for (const QString& accountName : names) {
        // The table has room for 20. A key written by something else past that, or one
        // whose name is longer than an account's, is not loaded, and the next OK, which
        // rewrites the key from the table, does not keep it.
        if (count == pref::kMaxAccounts)
            break;
        if (accountName.size() > pref::kAccountNameChars)
            continue;
        form.PreferencesAccounts[count] = MailAccount();
        form.PreferencesAccounts[count].Name = accountName;
        if (!LoadAccount(form, count))
            continue;
        {
            QSignalBlocker blocker(form.accountList);
            form.accountList->addItem(accountName);
        }
        ++count;
    }
    if (count > 0) {
        QSignalBlocker blocker(form.accountList);
        form.accountList->setCurrentRow(0);
        blocker.unblock();
        form.accountNameEdit->setText(form.accountList->item(0)->text());
        ShowAccount(form, 0);
    }
    form.ShownAccount = 0;
    form.AccountsLoaded = true;

    KeyScope key(registry, RootKey::CurrentUser, name(rk::kEmail), true);
    setNumberText(form.mailPeriodEdit, QString::number(readInt(key, rk::vMinutes)), pref::kMinutesChars);
    loadFlag(key, rk::vEmailSystemTray, form.mailTrayCheck);
    loadFlag(key, rk::vAutoCheck, form.checkMailAtStartCheck);
    loadFlag(key, rk::vAutoRestore, form.restoreOnMailCheck);
    loadFlag(key, rk::vAutoClose, form.closeWithoutMailCheck);
    loadFlag(key, rk::vAutoMinimize, form.minimizeMailAtStartCheck);
    loadFlag(key, rk::vAutoCloseProgram, form.closeOnDisconnectCheck);
    loadFlag(key, rk::vOnOff, form.mailCheckerOnCheck);
}

bool LoadAccount(PreferencesDialog& form, int i)
{
    if (i < 0 || i >= pref::kMaxAccounts)
        return false;
    // An object of its own: the unit's one may hold the accounts key open.
    platform::Registry registry(PreferencesRegistry().store());
    MailAccount& account = form.PreferencesAccounts[static_cast<std::size_t>(i)];
    // Just enumerated: a key gone meanwhile is not created again as an empty one.
    KeyScope key(registry, RootKey::CurrentUser, pref::accountKey(account.Name), false);
    if (!key.opened())
        return false;
    // An account without its port (half written by something else) keeps its other
    // fields and gets the default port, so the next OK writes it whole again instead
    // of dropping it with every account after it.
    account.Port = key->valueType(name(rk::vAccountPort)) == platform::ValueType::Integer
                       ? readInt(key, rk::vAccountPort)
                       : pref::kDefaultPort;
    account.User = key->readString(name(rk::vAccountUser)).left(pref::kUserChars);
    account.Password = key->readString(name(rk::vAccountPassword)).left(pref::kPasswordChars);
    account.Host = key->readString(name(rk::vAccountHost)).left(pref::kHostChars);
    return true;
}

void ShowAccount(PreferencesDialog& form, int i)
{
    if (i < 0 || i >= pref::kMaxAccounts)
        return;
    const MailAccount& account = form.PreferencesAccounts[static_cast<std::size_t>(i)];
    form.userEdit->setText(account.User);
    form.passwordEdit->setText(account.Password);
    form.hostEdit->setText(account.Host);
    setNumberText(form.portEdit, QString::number(account.Port), pref::kPortChars);
}

void StoreAccount(PreferencesDialog& form, int i)
{
    if (i < 0 || i >= pref::kMaxAccounts || i >= form.accountList->count())
        return;
    MailAccount& account = form.PreferencesAccounts[static_cast<std::size_t>(i)];
    account.Name = form.accountList->item(i)->text().left(pref::kAccountNameChars);
    account.User = form.userEdit->text().left(pref::kUserChars);
    account.Password = form.passwordEdit->text().left(pref::kPasswordChars);
    account.Host = form.hostEdit->text().left(pref::kHostChars);
    account.Port = pref::leadingInteger(form.portEdit->text());
}

void ClearAccountEdits(PreferencesDialog& form)
{
    form.userEdit->clear();
    form.passwordEdit->clear();
    form.hostEdit->clear();
    setNumberText(form.portEdit, QStringLiteral("110"), pref::kPortChars);
}

void SaveAccounts(PreferencesDialog& form)
{
    platform::Registry& registry = PreferencesRegistry();
    const int count = std::min(form.accountList->count(), pref::kMaxAccounts);
    // The mail checker reads this key when it starts: it finds the old accounts or
    // the new ones, never a key half rewritten; a failed write leaves the old ones.
    platform::RegistryTransaction transaction(registry.store());
    registry.closeKey();
    registry.setRootKey(RootKey::CurrentUser);
    registry.deleteKey(name(rk::kEmailAccounts));
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kEmailAccounts), true);
        if (!key.opened())
            throw platform::RegistryError("Failed to create the key '" + std::string(rk::kEmailAccounts) + "'");
    }
    for (int i = 0; i < count; ++i) {
        const MailAccount& account = form.PreferencesAccounts[static_cast<std::size_t>(i)];
        KeyScope key(registry, RootKey::CurrentUser, pref::accountKey(account.Name), true);
        if (!key.opened())
            throw platform::RegistryError(("Failed to create the key '" + pref::accountKey(account.Name) + "'")
                                              .toLocal8Bit()
                                              .toStdString());
        key->writeString(name(rk::vAccountUser), account.User);
        key->writeString(name(rk::vAccountPassword), account.Password);
        key->writeString(name(rk::vAccountHost), account.Host);
        writeInt(key, rk::vAccountPort, account.Port);
        writeInt(key, rk::vAccountChecked, 1);
    }
    transaction.commit();
}

void SaveEmailSettings(PreferencesDialog& form)
{
    std::int32_t minutes = 0;
    if (!pref::strictInteger(form.mailPeriodEdit->text(), minutes))
        throw std::runtime_error(pref::notAnIntegerText(form.mailPeriodEdit->text()).toLocal8Bit().toStdString());
    platform::Registry& registry = PreferencesRegistry();
    platform::RegistryTransaction transaction(registry.store());
    KeyScope key(registry, RootKey::CurrentUser, name(rk::kEmail), true);
    writeInt(key, rk::vMinutes, minutes);
    writeFlag(key, rk::vEmailSystemTray, form.mailTrayCheck);
    writeFlag(key, rk::vAutoCheck, form.checkMailAtStartCheck);
    writeFlag(key, rk::vAutoRestore, form.restoreOnMailCheck);
    writeFlag(key, rk::vAutoClose, form.closeWithoutMailCheck);
    writeFlag(key, rk::vAutoMinimize, form.minimizeMailAtStartCheck);
    writeFlag(key, rk::vAutoCloseProgram, form.closeOnDisconnectCheck);
    writeFlag(key, rk::vOnOff, form.mailCheckerOnCheck);
    transaction.commit();
}

bool AccountNameExists(PreferencesDialog& form, const QString& accountName, int skip)
{
    return lineMatches(form, accountName, skip, Qt::CaseSensitive);
}

// ---- account commands ------------------------------------------------------------------

void PreferencesDialog::newAccountClicked()
{
    const int count = accountList->count();
    QString accountName;
    if (!typedAccountName(*this, accountName))
        return;
    if (nameClashesInKey(*this, accountName, count)) {
        mailError(QStringLiteral("The account you want to create is allready in the list!"));
        return;
    }
    if (count >= pref::kMaxAccounts) {
        mailError(QStringLiteral("Maximum can be 20 accounts"));
        return;
    }
    if (count > 0) {
        StoreAccount(*this, ShownAccount);
        ShownAccount = count;
    }
    {
        QSignalBlocker blocker(accountList);
        accountList->addItem(accountName);
    }
    selectAccountLine(count);
    ClearAccountEdits(*this);
}

void PreferencesDialog::renameAccountClicked()
{
    const int row = accountList->currentRow();
    if (row < 0)
        return;
    QString accountName;
    if (!typedAccountName(*this, accountName))
        return;
    // The account's own line counts for the exact name; a change of letter case alone
    // is let through, since the account's own key is the one rewritten.
    if (AccountNameExists(*this, accountName, accountList->count()) || nameClashesInKey(*this, accountName, row)) {
        mailError(QStringLiteral("The account you want to rename is already in the list!"));
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
        != platform::IDYES)
        return;
    {
        QSignalBlocker blocker(accountList);
        delete accountList->takeItem(row);
    }
    const int count = accountList->count();
    for (int j = row; j < count && j + 1 < pref::kMaxAccounts; ++j)
        PreferencesAccounts[static_cast<std::size_t>(j)] = PreferencesAccounts[static_cast<std::size_t>(j + 1)];
    selectAccountLine(0);
    ShownAccount = 0;
    if (count > 0) {
        accountNameEdit->setText(accountList->item(0)->text());
        ShowAccount(*this, 0);
    } else {
        accountNameEdit->clear();
        ClearAccountEdits(*this);
    }
}

void PreferencesDialog::accountSelected()
{
    const int a = accountList->currentRow();
    if (a < 0)
        return;
    accountNameEdit->setText(accountList->item(a)->text());
    StoreAccount(*this, ShownAccount);
    ShowAccount(*this, a);
    ShownAccount = a;
}
