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
    for (int j = 0; j < form.ListBox1->count(); ++j) {
        if (j != skip && form.ListBox1->item(j)->text().compare(accountName, cs) == 0)
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
    accountName = form.Edit6->text().left(pref::kAccountNameChars);
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
    form.PageControl1->setCurrentWidget(page);
    if (innerPage)
        form.PageControl2->setCurrentWidget(innerPage);
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
    setObjectName(QStringLiteral("Form2"));
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
    PageControl1 = named(new QTabWidget(this), "PageControl1");
    // Every page's tab in sight: the dialog grows to the tab row instead of scrolling it.
    PageControl1->setUsesScrollButtons(false);
    layout->addWidget(PageControl1);

    // ---- Startup ----
    Startup = newPage(PageControl1, "Startup", "Startup");
    {
        auto* page = new QVBoxLayout(Startup);
        addText(page, Startup,
                {"Here you can make Dialtally to load every time ",
                 "Windows starts and to show logo picture on start or not."});
        CheckBox1 = named(new QCheckBox(QStringLiteral("Load Dialtally every time Windows starts"), Startup), "CheckBox1");
        CheckBox2 = named(new QCheckBox(QStringLiteral("Show logo picture on start"), Startup), "CheckBox2");
        page->addWidget(CheckBox1);
        page->addWidget(CheckBox2);
        page->addStretch();
    }

    // ---- Taskbar ----
    Taskbar = newPage(PageControl1, "Taskbar", "Taskbar");
    {
        auto* page = new QVBoxLayout(Taskbar);
        addText(page, Taskbar,
                {"Here you can make Dialtally to be minimized ",
                 "every time you execute it and where to minimize program."});
        CheckBox3 = named(new QCheckBox(QStringLiteral("Minimize when execute"), Taskbar), "CheckBox3");
        CheckBox4 = named(new QCheckBox(QStringLiteral("Minimize in System Tray"), Taskbar), "CheckBox4");
        CheckBox6 = named(new QCheckBox(QStringLiteral("Maximize when disconected"), Taskbar), "CheckBox6");
        page->addWidget(CheckBox3);
        page->addWidget(CheckBox4);
        page->addWidget(CheckBox6);
        page->addStretch();
    }

    // ---- Exec ----
    TabSheet2 = newPage(PageControl1, "TabSheet2", "Exec");
    {
        auto* page = new QVBoxLayout(TabSheet2);
        addText(page, TabSheet2,
                {"Here you can specify which  programs Dialtally", "will run when you connect to Internet. "});
        Memo1 = named(new QPlainTextEdit(TabSheet2), "Memo1");
        Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
        Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
        Memo1->setFixedHeight(120);
        page->addWidget(Memo1);
        auto* row = new QHBoxLayout;
        SpeedButton1 = named(new QPushButton(QStringLiteral("Add"), TabSheet2), "SpeedButton1");
        Label12 = named(new QLabel(QStringLiteral("Now you have entered 0 programs"), TabSheet2), "Label12");
        row->addWidget(SpeedButton1);
        row->addWidget(Label12, 1);
        page->addLayout(row);
        page->addStretch();
        OpenDialog1 = named(new QFileDialog(this, QStringLiteral("Open")), "OpenDialog1");
        OpenDialog1->setFileMode(QFileDialog::ExistingFile);
        platform::offerProgramsFirst(*OpenDialog1, {QStringLiteral("Executable files (*.exe)")});
    }

    // ---- Connection ----
    TabSheet3 = newPage(PageControl1, "TabSheet3", "Connection");
    {
        auto* page = new QVBoxLayout(TabSheet3);
        addText(page, TabSheet3,
                {"Here you can define how much time Dialtally will ",
                 "add when you connect to Internet. Usually there is a modem ",
                 "dealing delay and only after some seconds you connect to", "the Internet."});
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Seconds :"), TabSheet3));
        Edit2 = named(new QLineEdit(QStringLiteral("0"), TabSheet3), "Edit2");
        Edit2->setFixedWidth(80);
        row->addWidget(Edit2);
        row->addStretch();
        page->addLayout(row);
        page->addStretch();
    }

    // ---- Anti-Crash ----
    TabSheet4 = newPage(PageControl1, "TabSheet4", "Anti-Crash");
    {
        auto* page = new QVBoxLayout(TabSheet4);
        addText(page, TabSheet4,
                {"Here you can enable or disable anti-crash function. When it",
                 "enabled program restores crashed sesion time, fee and etc. "});
        CheckBox5 = named(new QCheckBox(QStringLiteral("Enable anti-crash function (recommended)"), TabSheet4), "CheckBox5");
        CheckBox5->setChecked(true);
        page->addWidget(CheckBox5);
        page->addStretch();
    }

    // ---- Rozad Izeruveva ----
    TabSheet5 = newPage(PageControl1, "TabSheet5", "Rozad Izeruveva");
    {
        auto* page = new QVBoxLayout(TabSheet5);
        addText(page, TabSheet5,
                {"Here you can organize money for Internet use. Enter how ",
                 "much money you can spend for Internet in one day."});
        CheckBox8 = named(new QCheckBox(QStringLiteral("ON/OFF"), TabSheet5), "CheckBox8");
        page->addWidget(CheckBox8);
        auto* row = new QHBoxLayout;
        row->addWidget(new QLabel(QStringLiteral("Enter money for one day :      ($)"), TabSheet5));
        Edit1 = named(new QLineEdit(TabSheet5), "Edit1");
        Edit1->setFixedWidth(80);
        row->addWidget(Edit1);
        row->addWidget(new QLabel(QStringLiteral("(c)"), TabSheet5));
        Edit3 = named(new QLineEdit(TabSheet5), "Edit3");
        Edit3->setFixedWidth(80);
        row->addWidget(Edit3);
        row->addStretch();
        page->addLayout(row);
        RadioButton1 = named(new QRadioButton(QStringLiteral("Play SIREN or user's file"), TabSheet5), "RadioButton1");
        RadioButton3 = named(new QRadioButton(QStringLiteral("Play Beep sound"), TabSheet5), "RadioButton3");
        page->addWidget(RadioButton1);
        page->addWidget(RadioButton3);
        CheckBox9 = named(new QCheckBox(QStringLiteral("Count for all days since the start of monitoring"), TabSheet5), "CheckBox9");
        page->addWidget(CheckBox9);
        page->addStretch();
    }

    // ---- EMail ----
    TabSheet1 = newPage(PageControl1, "TabSheet1", "EMail");
    {
        auto* page = new QVBoxLayout(TabSheet1);
        PageControl2 = named(new QTabWidget(TabSheet1), "PageControl2");
        page->addWidget(PageControl2);

        TabSheet6 = newPage(PageControl2, "TabSheet6", "Preferences");
        auto* settings = new QVBoxLayout(TabSheet6);
        CheckBox7 = named(new QCheckBox(QStringLiteral("ON/OFF"), TabSheet6), "CheckBox7");
        settings->addWidget(CheckBox7);
        auto* period = new QHBoxLayout;
        period->addWidget(new QLabel(QStringLiteral("Check for Mail after"), TabSheet6));
        Edit9 = named(new QLineEdit(TabSheet6), "Edit9");
        Edit9->setFixedWidth(80);
        Edit9->setMaxLength(pref::kMinutesChars);
        period->addWidget(Edit9);
        period->addWidget(new QLabel(QStringLiteral("minutes"), TabSheet6));
        period->addStretch();
        settings->addLayout(period);
        CheckBox12 = named(new QCheckBox(QStringLiteral("Minimize to System Tray"), TabSheet6), "CheckBox12");
        CheckBox10 = named(new QCheckBox(QStringLiteral("Automaticaly check Email when starts"), TabSheet6), "CheckBox10");
        CheckBox14 = named(new QCheckBox(QStringLiteral("Automaticaly restore when there are new messages"), TabSheet6), "CheckBox14");
        CheckBox11 = named(new QCheckBox(QStringLiteral("Automaticaly close if there are no new messages"), TabSheet6), "CheckBox11");
        CheckBox13 = named(new QCheckBox(QStringLiteral("Automaticaly minimize when starts"), TabSheet6), "CheckBox13");
        CheckBox15 = named(new QCheckBox(QStringLiteral("Automaticaly close when disconecting from Internet"), TabSheet6), "CheckBox15");
        for (QCheckBox* box : {CheckBox12, CheckBox10, CheckBox14, CheckBox11, CheckBox13, CheckBox15})
            settings->addWidget(box);
        settings->addStretch();

        TabSheet7 = newPage(PageControl2, "TabSheet7", "Mail Accounts");
        auto* accounts = new QVBoxLayout(TabSheet7);
        auto* listGroup = new QGroupBox(QStringLiteral("EMail accounts:"), TabSheet7);
        auto* listLayout = new QGridLayout(listGroup);
        ListBox1 = named(new QListWidget(listGroup), "ListBox1");
        ListBox1->setFixedHeight(90);
        Edit6 = named(new QLineEdit(listGroup), "Edit6");
        Edit6->setMaxLength(pref::kAccountNameChars);
        SpeedButton2 = named(new QPushButton(QStringLiteral("New"), listGroup), "SpeedButton2");
        SpeedButton3 = named(new QPushButton(QStringLiteral("Rename"), listGroup), "SpeedButton3");
        SpeedButton4 = named(new QPushButton(QStringLiteral("Delete"), listGroup), "SpeedButton4");
        listLayout->addWidget(ListBox1, 0, 0, 1, 3);
        listLayout->addWidget(Edit6, 1, 0, 1, 3);
        listLayout->addWidget(SpeedButton2, 2, 0);
        listLayout->addWidget(SpeedButton3, 2, 1);
        listLayout->addWidget(SpeedButton4, 2, 2);
        accounts->addWidget(listGroup);

        auto* userGroup = new QGroupBox(QStringLiteral("User Information:"), TabSheet7);
        auto* userLayout = new QGridLayout(userGroup);
        Edit4 = named(new QLineEdit(userGroup), "Edit4");
        Edit4->setMaxLength(pref::kUserChars);
        Edit5 = named(new QLineEdit(userGroup), "Edit5");
        Edit5->setMaxLength(pref::kPasswordChars);
        Edit5->setEchoMode(QLineEdit::Password);
        Edit5->setStyleSheet(QStringLiteral("lineedit-password-character: 42;"));
        userLayout->addWidget(new QLabel(QStringLiteral("User Name:"), userGroup), 0, 0);
        userLayout->addWidget(Edit4, 0, 1);
        userLayout->addWidget(new QLabel(QStringLiteral("Password:"), userGroup), 1, 0);
        userLayout->addWidget(Edit5, 1, 1);
        accounts->addWidget(userGroup);

        auto* serverGroup = new QGroupBox(QStringLiteral("POP3 Server Information:"), TabSheet7);
        auto* serverLayout = new QGridLayout(serverGroup);
        Edit7 = named(new QLineEdit(serverGroup), "Edit7");
        Edit7->setMaxLength(pref::kHostChars);
        Edit8 = named(new QLineEdit(QStringLiteral("110"), serverGroup), "Edit8");
        Edit8->setMaxLength(pref::kPortChars);
        serverLayout->addWidget(new QLabel(QStringLiteral("Mail Server Adress:"), serverGroup), 0, 0);
        serverLayout->addWidget(Edit7, 0, 1);
        serverLayout->addWidget(new QLabel(QStringLiteral("Port (default 110):"), serverGroup), 1, 0);
        serverLayout->addWidget(Edit8, 1, 1);
        accounts->addWidget(serverGroup);
        PageControl2->setCurrentWidget(TabSheet7);
    }

    // ---- buttons ----
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    BitBtn1 = named(new QPushButton(QStringLiteral("OK"), this), "BitBtn1");
    BitBtn2 = named(new QPushButton(QStringLiteral("Cancel"), this), "BitBtn2");
    BitBtn3 = named(new QPushButton(QStringLiteral("&Help"), this), "BitBtn3");
    for (QPushButton* button : {BitBtn1, BitBtn2, BitBtn3}) {
        button->setAutoDefault(false);
        buttons->addWidget(button);
    }
    BitBtn1->setDefault(true);
    layout->addLayout(buttons);

    // ---- handlers ----
    using platform::guarded;
    connect(BitBtn1, &QPushButton::clicked, this, [this] { okButtonClicked(); });
    connect(BitBtn2, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::BitBtn2Click));
    connect(BitBtn3, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::BitBtn3Click));
    platform::openHelpContextOnF1(this, pref::kHelpContext);
    connect(SpeedButton1, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::SpeedButton1Click));
    connect(Memo1, &QPlainTextEdit::textChanged, this, guarded(this, &PreferencesDialog::Memo1Change));
    connect(this, &QDialog::finished, this, guarded(this, &PreferencesDialog::FormClose));
    connect(Edit2, &QLineEdit::textChanged, this, guarded(this, &PreferencesDialog::Edit2Change));
    connect(Edit1, &QLineEdit::textChanged, this, [this] { platform::guard([this] { Edit1Change(Edit1); }); });
    connect(Edit3, &QLineEdit::textChanged, this, [this] { platform::guard([this] { Edit1Change(Edit3); }); });
    Edit1->installEventFilter(this);
    Edit3->installEventFilter(this);
    connect(SpeedButton2, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::SpeedButton2Click));
    connect(SpeedButton3, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::SpeedButton3Click));
    connect(SpeedButton4, &QPushButton::clicked, this, guarded(this, &PreferencesDialog::SpeedButton4Click));
    connect(ListBox1, &QListWidget::currentRowChanged, this, guarded(this, &PreferencesDialog::ListBox1Click));
    connect(Edit8, &QLineEdit::textChanged, this, guarded(this, &PreferencesDialog::Edit8Change));
    connect(Edit9, &QLineEdit::textChanged, this, guarded(this, &PreferencesDialog::Edit9Change));
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
    if ((watched == Edit1 || watched == Edit3) && e->type() == QEvent::KeyPress) {
        const auto* key = static_cast<QKeyEvent*>(e);
        if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
            platform::guard([this] { Edit1KeyDown(13); });
            // Taken here, so the default button does not run OK a second time.
            return true;
        }
    }
    return QDialog::eventFilter(watched, e);
}

void PreferencesDialog::okButtonClicked()
{
    m_closeAfterOk = false;
    platform::guard([this] { BitBtn1Click(); });
    if (m_closeAfterOk)
        accept();
}

void PreferencesDialog::selectAccountLine(int row)
{
    QSignalBlocker blocker(ListBox1);
    ListBox1->setCurrentRow(row);
}

// ---- load ---------------------------------------------------------------------------

void PreferencesDialog::FormCreate()
{
    ExecListLoaded = false;
    AccountsLoaded = false;
    platform::Registry& registry = PreferencesRegistry();
    {
        KeyScope key(registry, RootKey::LocalMachine, name(rk::kSoftware), false);
        CheckBox1->setChecked(readInt(key, rk::vStart) != 0);
        // The box shows what the next start will do, where the installer stored it.
        if (key->valueType(name(rk::vAntiCrash)) == platform::ValueType::Integer)
            loadFlag(key, rk::vAntiCrash, CheckBox5);
    }
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kSoftware), false);
        loadFlag(key, rk::vLogo, CheckBox2);
        loadFlag(key, rk::vMinimize, CheckBox3);
        loadFlag(key, rk::vSystemTray, CheckBox4);
        loadFlag(key, rk::vMaxd, CheckBox6);
        Edit2->setText(QString::number(readInt(key, rk::vConnectDelay)));
    }
    LoadExecList(*this);
    ShowExecCount(*this);
    ExecListLoaded = true;
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kBudget), true);
        loadFlag(key, rk::vOnOff, CheckBox8);
        Edit1->setText(QString::number(readInt(key, rk::vBudgetMoney)));
        Edit3->setText(QString::number(readInt(key, rk::vBudgetCents)));
        const std::int32_t ch = readInt(key, rk::vBudgetCh);
        if (ch == 1)
            RadioButton1->setChecked(true);
        else if (ch == 3)
            RadioButton3->setChecked(true);
        loadFlag(key, rk::vBudgetReserve, CheckBox9);
    }
    LoadEmailSettings(*this);
}

// ---- OK ------------------------------------------------------------------------------

void PreferencesDialog::BitBtn1Click()
{
    // Every number that must convert is checked before anything is written: a typing
    // slip must neither leave half the settings saved nor drop the rest of the page.
    const std::int32_t money = takeInteger(*this, Edit1, TabSheet5);
    const std::int32_t cents = takeInteger(*this, Edit3, TabSheet5);
    takeInteger(*this, Edit9, TabSheet1, TabSheet6);
    m_closeAfterOk = true;

    MainWindow& form = m_mainWindow;
    platform::Registry& registry = PreferencesRegistry();
    {
        KeyScope key(registry, RootKey::LocalMachine, name(rk::kRun), true);
        key->writeString(name(rk::vAutostart),
                         CheckBox1->isChecked() ? pref::autostartCommand(form.ProgramPath) : QString());
    }
    {
        KeyScope key(registry, RootKey::LocalMachine, name(rk::kSoftware), false);
        writeFlag(key, rk::vAntiCrash, CheckBox5);
        writeFlag(key, rk::vStart, CheckBox1);
    }
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kSoftware), false);
        const QString delay = Edit2->text().left(pref::kConnectDelayChars);
        if (!delay.isEmpty())
            writeInt(key, rk::vConnectDelay, pref::leadingInteger(delay));
        else
            Edit2->setText(QString::number(readInt(key, rk::vConnectDelay)));
        writeFlag(key, rk::vLogo, CheckBox2);
        writeFlag(key, rk::vMinimize, CheckBox3);
        if (CheckBox4->isChecked()) {
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
        writeFlag(key, rk::vMaxd, CheckBox6);
    }
    if (ExecListLoaded) {
        // The tick reads "Lines" and then the lines: it sees the old list or the new.
        platform::RegistryTransaction transaction(registry.store());
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kExec), true);
        const QStringList lines = pref::execLines(Memo1->toPlainText());
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
    const bool budgetAllowed = resetMode == 2 || !CheckBox8->isChecked();
    if (!budgetAllowed) {
        platform::messageBox(
            QStringLiteral("You can't use Rozad Izeruveva function until Counter is set to reset not "
                           "after the month. First set Options|Counter... to reset after the month and "
                           "then try to activate Rozad Izeruveva function."),
            caption(), platform::MessageIcon::Error);
    }
    {
        KeyScope key(registry, RootKey::CurrentUser, name(rk::kBudget), true);
        writeInt(key, rk::vOnOff, budgetAllowed && CheckBox8->isChecked() ? 1 : 0);
        writeInt(key, rk::vBudgetMoney, money);
        writeInt(key, rk::vBudgetCents, cents);
        // With neither button selected the stored alarm kind is kept.
        if (RadioButton1->isChecked())
            writeInt(key, rk::vBudgetCh, 1);
        else if (RadioButton3->isChecked())
            writeInt(key, rk::vBudgetCh, 3);
        writeFlag(key, rk::vBudgetReserve, CheckBox9);
    }
    ShowMoneyOrganizerBalance(form);

    if (AccountsLoaded) {
        if (ListBox1->count() > 0)
            StoreAccount(*this, ListBox1->currentRow() >= 0 ? ListBox1->currentRow() : ShownAccount);
        SaveAccounts(*this);
    }
    SaveEmailSettings(*this);
}

void PreferencesDialog::BitBtn2Click()
{
    reject();
}

void PreferencesDialog::BitBtn3Click()
{
    platform::help().context(platform::Application::instance().helpFile(), pref::kHelpContext);
}

void PreferencesDialog::FormClose()
{
    LoadExecList(*this);
    QSignalBlocker blocker(ListBox1);
    ListBox1->clear();
    Edit6->clear();
}

// ---- Exec page --------------------------------------------------------------------------

void PreferencesDialog::SpeedButton1Click()
{
    const QString file = openFileRunner ? openFileRunner(*OpenDialog1) : runOpenDialog(*OpenDialog1);
    if (file.isEmpty())
        return;
    QStringList lines = pref::execLines(Memo1->toPlainText());
    lines << QFileInfo(file).absoluteFilePath();
    Memo1->setPlainText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void PreferencesDialog::Memo1Change()
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
    form.Memo1->setPlainText(lines.isEmpty() ? QString() : lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

void ShowExecCount(PreferencesDialog& form)
{
    form.Label12->setText(pref::execCountText(static_cast<int>(pref::execLines(form.Memo1->toPlainText()).size())));
}

// ---- numeric edits ------------------------------------------------------------------------

void PreferencesDialog::Edit2Change()
{
    checkDigits(Edit2, caption(), QStringLiteral("0"));
}

void PreferencesDialog::Edit1Change(QLineEdit* edit)
{
    checkDigits(edit, caption(), QStringLiteral("0"));
}

void PreferencesDialog::Edit1KeyDown(int key)
{
    if (key == 13)
        BitBtn1->click();
}

void PreferencesDialog::Edit9Change()
{
    checkDigits(Edit9, caption(), QStringLiteral("110"));
}

void PreferencesDialog::Edit8Change()
{
    if (!IsAllDigits(*this, Edit8->text()))
        Edit8->setText(QStringLiteral("110"));
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
        QSignalBlocker blocker(form.ListBox1);
        form.ListBox1->clear();
    }
    form.Edit4->clear();
    form.Edit5->clear();
    form.Edit6->clear();
    form.Edit7->clear();
    setNumberText(form.Edit8, QStringLiteral("110"), pref::kPortChars);
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
            QSignalBlocker blocker(form.ListBox1);
            form.ListBox1->addItem(accountName);
        }
        ++count;
    }
    if (count > 0) {
        QSignalBlocker blocker(form.ListBox1);
        form.ListBox1->setCurrentRow(0);
        blocker.unblock();
        form.Edit6->setText(form.ListBox1->item(0)->text());
        ShowAccount(form, 0);
    }
    form.ShownAccount = 0;
    form.AccountsLoaded = true;

    KeyScope key(registry, RootKey::CurrentUser, name(rk::kEmail), true);
    setNumberText(form.Edit9, QString::number(readInt(key, rk::vMinutes)), pref::kMinutesChars);
    loadFlag(key, rk::vEmailSystemTray, form.CheckBox12);
    loadFlag(key, rk::vAutoCheck, form.CheckBox10);
    loadFlag(key, rk::vAutoRestore, form.CheckBox14);
    loadFlag(key, rk::vAutoClose, form.CheckBox11);
    loadFlag(key, rk::vAutoMinimize, form.CheckBox13);
    loadFlag(key, rk::vAutoCloseProgram, form.CheckBox15);
    loadFlag(key, rk::vOnOff, form.CheckBox7);
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
    form.Edit4->setText(account.User);
    form.Edit5->setText(account.Password);
    form.Edit7->setText(account.Host);
    setNumberText(form.Edit8, QString::number(account.Port), pref::kPortChars);
}

void StoreAccount(PreferencesDialog& form, int i)
{
    if (i < 0 || i >= pref::kMaxAccounts || i >= form.ListBox1->count())
        return;
    MailAccount& account = form.PreferencesAccounts[static_cast<std::size_t>(i)];
    account.Name = form.ListBox1->item(i)->text().left(pref::kAccountNameChars);
    account.User = form.Edit4->text().left(pref::kUserChars);
    account.Password = form.Edit5->text().left(pref::kPasswordChars);
    account.Host = form.Edit7->text().left(pref::kHostChars);
    account.Port = pref::leadingInteger(form.Edit8->text());
}

void ClearAccountEdits(PreferencesDialog& form)
{
    form.Edit4->clear();
    form.Edit5->clear();
    form.Edit7->clear();
    setNumberText(form.Edit8, QStringLiteral("110"), pref::kPortChars);
}

void SaveAccounts(PreferencesDialog& form)
{
    platform::Registry& registry = PreferencesRegistry();
    const int count = std::min(form.ListBox1->count(), pref::kMaxAccounts);
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
    if (!pref::strictInteger(form.Edit9->text(), minutes))
        throw std::runtime_error(pref::notAnIntegerText(form.Edit9->text()).toLocal8Bit().toStdString());
    platform::Registry& registry = PreferencesRegistry();
    platform::RegistryTransaction transaction(registry.store());
    KeyScope key(registry, RootKey::CurrentUser, name(rk::kEmail), true);
    writeInt(key, rk::vMinutes, minutes);
    writeFlag(key, rk::vEmailSystemTray, form.CheckBox12);
    writeFlag(key, rk::vAutoCheck, form.CheckBox10);
    writeFlag(key, rk::vAutoRestore, form.CheckBox14);
    writeFlag(key, rk::vAutoClose, form.CheckBox11);
    writeFlag(key, rk::vAutoMinimize, form.CheckBox13);
    writeFlag(key, rk::vAutoCloseProgram, form.CheckBox15);
    writeFlag(key, rk::vOnOff, form.CheckBox7);
    transaction.commit();
}

bool AccountNameExists(PreferencesDialog& form, const QString& accountName, int skip)
{
    return lineMatches(form, accountName, skip, Qt::CaseSensitive);
}

// ---- account commands ------------------------------------------------------------------

void PreferencesDialog::SpeedButton2Click()
{
    const int count = ListBox1->count();
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
        QSignalBlocker blocker(ListBox1);
        ListBox1->addItem(accountName);
    }
    selectAccountLine(count);
    ClearAccountEdits(*this);
}

void PreferencesDialog::SpeedButton3Click()
{
    const int row = ListBox1->currentRow();
    if (row < 0)
        return;
    QString accountName;
    if (!typedAccountName(*this, accountName))
        return;
    // The account's own line counts for the exact name; a change of letter case alone
    // is let through, since the account's own key is the one rewritten.
    if (AccountNameExists(*this, accountName, ListBox1->count()) || nameClashesInKey(*this, accountName, row)) {
        mailError(QStringLiteral("The account you want to rename is already in the list!"));
        return;
    }
    ListBox1->item(row)->setText(accountName);
}

void PreferencesDialog::SpeedButton4Click()
{
    const int row = ListBox1->currentRow();
    if (row < 0)
        return;
    const QString accountName = ListBox1->item(row)->text();
    if (platform::messageBox(QStringLiteral("Are you sure to delete tariff '") + accountName + QStringLiteral("'?"),
                             mailCaption(), platform::MessageIcon::Question, platform::MessageButtons::YesNo)
        != platform::IDYES)
        return;
    {
        QSignalBlocker blocker(ListBox1);
        delete ListBox1->takeItem(row);
    }
    const int count = ListBox1->count();
    for (int j = row; j < count && j + 1 < pref::kMaxAccounts; ++j)
        PreferencesAccounts[static_cast<std::size_t>(j)] = PreferencesAccounts[static_cast<std::size_t>(j + 1)];
    selectAccountLine(0);
    ShownAccount = 0;
    if (count > 0) {
        Edit6->setText(ListBox1->item(0)->text());
        ShowAccount(*this, 0);
    } else {
        Edit6->clear();
        ClearAccountEdits(*this);
    }
}

void PreferencesDialog::ListBox1Click()
{
    const int a = ListBox1->currentRow();
    if (a < 0)
        return;
    Edit6->setText(ListBox1->item(a)->text());
    StoreAccount(*this, ShownAccount);
    ShowAccount(*this, a);
    ShownAccount = a;
}
