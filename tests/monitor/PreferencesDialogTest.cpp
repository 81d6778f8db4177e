// The Preferences dialog: load and save of every page, the program list, the numeric
// edits, the budget rule, the tray change on OK, and the e-mail account editor.
#include "Fakes.h"

#include "RegistryNames.h"
#include "SplashWindow.h"
#include "MainWindow.h"
#include "PreferencesDialog.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QFile>
#include <QFileDialog>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

#include <limits>
#include <memory>

using namespace testing_support;
using platform::RootKey;
namespace rk = regkeys;

namespace {

constexpr RootKey HKCU = RootKey::CurrentUser;
constexpr RootKey HKLM = RootKey::LocalMachine;

QString q(const char* text)
{
    return QString::fromLatin1(text);
}

QStringList subkeyNames(RootKey root, const QString& key)
{
    platform::Registry r;
    r.setRootKey(root);
    if (!r.openKey(key, false))
        return {QStringLiteral("<no key>")};
    return r.getKeyNames();
}

QStringList valueNames(RootKey root, const QString& key)
{
    platform::Registry r;
    r.setRootKey(root);
    if (!r.openKey(key, false))
        return {QStringLiteral("<no key>")};
    return r.getValueNames();
}

struct Account {
    QString name, user, password, host;
    int port = 110;
    int checked = 1;
};

void writeAccount(const Account& a)
{
    const QString key = pref::accountKey(a.name);
    writeStr(HKCU, key, q(rk::vAccountUser), a.user);
    writeStr(HKCU, key, q(rk::vAccountPassword), a.password);
    writeStr(HKCU, key, q(rk::vAccountHost), a.host);
    writeInt(HKCU, key, q(rk::vAccountPort), a.port);
    writeInt(HKCU, key, q(rk::vAccountChecked), a.checked);
}

Account storedAccount(const QString& name)
{
    const QString key = pref::accountKey(name);
    return {name,
            readStr(HKCU, key, q(rk::vAccountUser)),
            readStr(HKCU, key, q(rk::vAccountPassword)),
            readStr(HKCU, key, q(rk::vAccountHost)),
            readInt(HKCU, key, q(rk::vAccountPort)),
            readInt(HKCU, key, q(rk::vAccountChecked))};
}

QStringList listLines(const PreferencesDialog& form)
{
    QStringList lines;
    for (int i = 0; i < form.ListBox1->count(); ++i)
        lines << form.ListBox1->item(i)->text();
    return lines;
}

class PreferencesDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setSplashRunner([](SplashWindow& splash) { splash.closeTimerElapsed(); });
        env.install(1);
        env.setWindowsUser(QStringLiteral("alice"));
        WinMain(RunMode::StartOnly);
        ASSERT_NE(mainWindow, nullptr);
        env.boxes.clear();
        env.help.calls.clear();  // the first start opens the help contents
    }
    void TearDown() override
    {
        FreeWindows();
        setSplashRunner({});
        setOpenFileRunner({});
    }

    // The dialog as the main window shows it.
    std::unique_ptr<PreferencesDialog> opened()
    {
        auto form = std::make_unique<PreferencesDialog>(*mainWindow);
        env.boxes.clear();
        form->show();
        return form;
    }

    void typeNewAccount(PreferencesDialog& form, const QString& name, const QString& user = {})
    {
        form.Edit6->setText(name);
        form.SpeedButton2->click();
        if (!user.isEmpty())
            form.Edit4->setText(user);
    }

    TestEnvironment env;
};

// ---- plain logic ------------------------------------------------------------------------

TEST(PrefText, NumbersAndProgramLines)
{
    constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
    constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
    struct Leading {
        const char* text;
        std::int32_t value;
    } leading[] = {
        {"15", 15}, {"  -7x", -7}, {"+3", 3}, {"", 0}, {"abc", 0}, {"12 34", 12},
        {"99999999999", kMax}, {"-99999999999", kMin},
    };
    for (const auto& c : leading)
        EXPECT_EQ(pref::leadingInteger(q(c.text)), c.value) << c.text;

    struct Strict {
        const char* text;
        bool ok;
        std::int32_t value;
    } strict[] = {
        {"12", true, 12},   {"-2147483648", true, kMin}, {"2147483647", true, kMax},
        {"", false, 0},     {"2147483648", false, 0},    {"1 ", false, 0},
        {"-", false, 0},    {"1x", false, 0},
    };
    for (const auto& c : strict) {
        std::int32_t value = -99;
        EXPECT_EQ(pref::strictInteger(q(c.text), value), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(value, c.value) << c.text;
        }
    }
    EXPECT_EQ(pref::notAnIntegerText(QString()), QStringLiteral("'' is not a valid integer value"));

    struct Lines {
        const char* text;
        int count;
    } lines[] = {{"", 0}, {"a", 1}, {"a\n", 1}, {"a\nb", 2}, {"a\n\n", 2}, {"\n", 1}, {"a\r\nb\r\n", 2}};
    for (const auto& c : lines)
        EXPECT_EQ(pref::execLines(q(c.text)).size(), c.count) << c.text;
    EXPECT_EQ(pref::execLines(q("a\r\nb")), (QStringList{"a", "b"}));
    EXPECT_EQ(pref::execCountText(1), QStringLiteral("Now you have entered 1 programs"));

    EXPECT_EQ(pref::nonDigitCount(q("1a2b")), 2);
    EXPECT_EQ(pref::nonDigitCount(q("1234567890123456789x"), 19), 0);
    EXPECT_EQ(pref::nonDigitCount(q("123456789012345678xx"), 19), 1);
    EXPECT_EQ(pref::autostartCommand(QString()), QStringLiteral("/Dialtally"));
}

// ---- load and save -----------------------------------------------------------------------

TEST_F(PreferencesDialogTest, EverySettingLoadsAndSaves)
{
    struct Flag {
        QCheckBox* PreferencesDialog::*box;
        RootKey root;
        const char* key;
        const char* value;
    } flags[] = {
        {&PreferencesDialog::CheckBox1, HKLM, rk::kSoftware, rk::vStart},
        {&PreferencesDialog::CheckBox5, HKLM, rk::kSoftware, rk::vAntiCrash},
        {&PreferencesDialog::CheckBox2, HKCU, rk::kSoftware, rk::vLogo},
        {&PreferencesDialog::CheckBox3, HKCU, rk::kSoftware, rk::vMinimize},
        {&PreferencesDialog::CheckBox4, HKCU, rk::kSoftware, rk::vSystemTray},
        {&PreferencesDialog::CheckBox6, HKCU, rk::kSoftware, rk::vMaxd},
        {&PreferencesDialog::CheckBox8, HKCU, rk::kBudget, rk::vOnOff},
        {&PreferencesDialog::CheckBox9, HKCU, rk::kBudget, rk::vBudgetReserve},
        {&PreferencesDialog::CheckBox7, HKCU, rk::kEmail, rk::vOnOff},
        {&PreferencesDialog::CheckBox12, HKCU, rk::kEmail, rk::vEmailSystemTray},
        {&PreferencesDialog::CheckBox10, HKCU, rk::kEmail, rk::vAutoCheck},
        {&PreferencesDialog::CheckBox14, HKCU, rk::kEmail, rk::vAutoRestore},
        {&PreferencesDialog::CheckBox11, HKCU, rk::kEmail, rk::vAutoClose},
        {&PreferencesDialog::CheckBox13, HKCU, rk::kEmail, rk::vAutoMinimize},
        {&PreferencesDialog::CheckBox15, HKCU, rk::kEmail, rk::vAutoCloseProgram},
    };
    struct Number {
        QLineEdit* PreferencesDialog::*edit;
        const char* key;
        const char* value;
        int stored;
        int typed;
    } numbers[] = {
        {&PreferencesDialog::Edit2, rk::kSoftware, rk::vConnectDelay, 25, 40},
        {&PreferencesDialog::Edit1, rk::kBudget, rk::vBudgetMoney, 3, 7},
        {&PreferencesDialog::Edit3, rk::kBudget, rk::vBudgetCents, 50, 5},
        {&PreferencesDialog::Edit9, rk::kEmail, rk::vMinutes, 5, 12},
    };
    // The budget may only be on with the monthly counter.
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 2);

    // Two rounds with opposite patterns, so every box is seen loaded and saved both ways.
    for (int round = 0; round < 2; ++round) {
        for (std::size_t i = 0; i < std::size(flags); ++i)
            writeInt(flags[i].root, q(flags[i].key), q(flags[i].value), static_cast<int>(((i + round) % 2) * (i + 1)));
        for (const auto& n : numbers)
            writeInt(HKCU, q(n.key), q(n.value), n.stored + round);
        writeInt(HKCU, q(rk::kBudget), q(rk::vBudgetCh), round == 0 ? 1 : 3);

        auto form = opened();
        EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
        for (std::size_t i = 0; i < std::size(flags); ++i) {
            QCheckBox* box = (*form).*(flags[i].box);
            EXPECT_EQ(box->isChecked(), (i + round) % 2 == 1) << "round " << round << " " << flags[i].value;
            box->setChecked(!box->isChecked());
        }
        for (const auto& n : numbers) {
            QLineEdit* edit = (*form).*(n.edit);
            EXPECT_EQ(edit->text(), QString::number(n.stored + round)) << n.value;
            edit->setText(QString::number(n.typed + round));
        }
        EXPECT_EQ(form->RadioButton1->isChecked(), round == 0);
        EXPECT_EQ(form->RadioButton3->isChecked(), round == 1);
        (round == 0 ? form->RadioButton3 : form->RadioButton1)->setChecked(true);

        form->BitBtn1->click();
        EXPECT_FALSE(form->isVisible());
        EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
        for (std::size_t i = 0; i < std::size(flags); ++i)
            EXPECT_EQ(readInt(flags[i].root, q(flags[i].key), q(flags[i].value)), (i + round) % 2 == 1 ? 0 : 1)
                << "round " << round << " " << flags[i].value;
        for (const auto& n : numbers)
            EXPECT_EQ(readInt(HKCU, q(n.key), q(n.value)), n.typed + round) << n.value;
        EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetCh)), round == 0 ? 3 : 1);
    }
}

TEST_F(PreferencesDialogTest, AutostartValueIsSetOrEmptiedNeverRemoved)
{
    auto form = opened();
    form->CheckBox1->setChecked(true);
    form->BitBtn1->click();
    EXPECT_EQ(readStr(HKLM, q(rk::kRun), q(rk::vAutostart)), env.programFolder() + "/Dialtally");
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vStart)), 1);

    form->show();
    EXPECT_TRUE(form->CheckBox1->isChecked());
    form->CheckBox1->setChecked(false);
    form->BitBtn1->click();
    EXPECT_TRUE(valueExists(HKLM, q(rk::kRun), q(rk::vAutostart)));
    EXPECT_EQ(readStr(HKLM, q(rk::kRun), q(rk::vAutostart)), QString());
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vStart)), 0);
    // Nothing but the value is touched in the Run key.
    EXPECT_EQ(valueNames(HKLM, q(rk::kRun)), QStringList{q(rk::vAutostart)});
}

TEST_F(PreferencesDialogTest, TheDesktopsAutostartEntryFollowsTheCheckbox)
{
    const QString entry = env.configHome() + "/autostart/dialtally.desktop";
    auto execLine = [&] { return desktopEntryField(entry, "Exec"); };
    auto form = opened();
    EXPECT_EQ(execLine(), "<no entry>");

    form->CheckBox1->setChecked(true);
    form->BitBtn1->click();
    EXPECT_EQ(execLine(), env.programFolder() + "/Dialtally");

    // The program folder moved (a new installation): the next OK rewrites the entry.
    mainWindow->ProgramPath = env.programFolder() + "/My Programs";
    form->show();
    form->BitBtn1->click();
    EXPECT_EQ(readStr(HKLM, q(rk::kRun), q(rk::vAutostart)), env.programFolder() + "/My Programs/Dialtally");
    EXPECT_EQ(execLine(), "\"" + env.programFolder() + "/My Programs/Dialtally\"");

    form->show();
    form->CheckBox1->setChecked(false);
    form->BitBtn1->click();
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(valueExists(HKLM, q(rk::kRun), q(rk::vAutostart)));
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
}

TEST_F(PreferencesDialogTest, CancelWritesNothingAndTheNextShowingReloads)
{
    auto form = opened();
    const QStringList before = valueNames(HKCU, q(rk::kSoftware));
    form->CheckBox2->setChecked(false);
    form->Edit2->setText(QStringLiteral("99"));
    form->Memo1->setPlainText(QStringLiteral("/bin/true\n"));
    form->BitBtn2->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vLogo)), 1);
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay)), 15);
    EXPECT_EQ(readInt(HKCU, q(rk::kExec), q(rk::vLines)), 0);
    // Closing drops the unsaved program list at once.
    EXPECT_EQ(form->Memo1->toPlainText(), QString());

    writeInt(HKCU, q(rk::kSoftware), q(rk::vMaxd), 0);
    form->show();
    EXPECT_TRUE(form->CheckBox2->isChecked());
    EXPECT_FALSE(form->CheckBox6->isChecked());
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("15"));
}

TEST_F(PreferencesDialogTest, HelpOpensContextNine)
{
    platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    auto form = opened();
    form->BitBtn3->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].kind, FakeHelp::Call::Context);
    EXPECT_EQ(env.help.calls[0].context, 9);
    EXPECT_EQ(env.help.calls[0].file, env.programFolder() + "/Dialtally Help.hlp");
    EXPECT_TRUE(form->isVisible());

    // F1 opens the dialog's own topic, the same one.
    QKeyEvent f1(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QCoreApplication::sendEvent(form.get(), &f1);
    ASSERT_EQ(env.help.calls.size(), 2u);
    EXPECT_EQ(env.help.calls[1].context, 9);
}

// ---- program list ---------------------------------------------------------------------------

TEST_F(PreferencesDialogTest, ProgramListCutKeepsStaleLinesBeyondTheCount)
{
    writeInt(HKCU, q(rk::kExec), q(rk::vLines), 5);
    for (int i = 0; i < 5; ++i)
        writeStr(HKCU, q(rk::kExec), q(rk::vLinePrefix) + QString::number(i), QStringLiteral("/bin/p%1").arg(i));

    auto form = opened();
    EXPECT_EQ(pref::execLines(form->Memo1->toPlainText()),
              (QStringList{"/bin/p0", "/bin/p1", "/bin/p2", "/bin/p3", "/bin/p4"}));
    EXPECT_EQ(form->Label12->text(), QStringLiteral("Now you have entered 5 programs"));

    form->Memo1->setPlainText(QStringLiteral("/bin/a\n\n"));
    EXPECT_EQ(form->Label12->text(), QStringLiteral("Now you have entered 2 programs"));
    form->BitBtn1->click();
    EXPECT_EQ(readInt(HKCU, q(rk::kExec), q(rk::vLines)), 2);
    EXPECT_EQ(readStr(HKCU, q(rk::kExec), q("Line0")), QStringLiteral("/bin/a"));
    EXPECT_TRUE(valueExists(HKCU, q(rk::kExec), q("Line1")));
    EXPECT_EQ(readStr(HKCU, q(rk::kExec), q("Line1")), QString());
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(readStr(HKCU, q(rk::kExec), q(rk::vLinePrefix) + QString::number(i)), QStringLiteral("/bin/p%1").arg(i));

    form->show();
    EXPECT_EQ(pref::execLines(form->Memo1->toPlainText()), (QStringList{"/bin/a", ""}));
    EXPECT_EQ(form->Label12->text(), QStringLiteral("Now you have entered 2 programs"));
}

TEST_F(PreferencesDialogTest, AddAppendsTheChosenFileAndCountsIt)
{
    QString answer = env.programFolder() + "/tools/dialer.exe";
    QString seenTitle;
    QStringList seenFilters;
    setOpenFileRunner([&](QFileDialog& dialog) {
        seenTitle = dialog.windowTitle();
        seenFilters = dialog.nameFilters();
        return answer;
    });
    auto form = opened();
    form->Memo1->setPlainText(QStringLiteral("/bin/first"));
    form->SpeedButton1->click();
    EXPECT_EQ(seenTitle, QStringLiteral("Open"));
    EXPECT_EQ(seenFilters, (QStringList{"Programs (*)", "Executable files (*.exe)", "All files (*)"}));
    EXPECT_EQ(pref::execLines(form->Memo1->toPlainText()), (QStringList{"/bin/first", answer}));
    EXPECT_EQ(form->Label12->text(), QStringLiteral("Now you have entered 2 programs"));

    answer.clear();  // the user cancels
    form->SpeedButton1->click();
    EXPECT_EQ(form->Label12->text(), QStringLiteral("Now you have entered 2 programs"));
}

// ---- numeric edits ----------------------------------------------------------------------------

TEST_F(PreferencesDialogTest, NumericEditsRefuseOtherCharacters)
{
    const QString mainCaption = q(program::kCaption);
    const QString mailCaption = q(pref::kMailCaption);
    struct Case {
        QLineEdit* PreferencesDialog::*edit;
        const char* typed;
        int messages;
        const char* left;
        QString caption;
    } cases[] = {
        {&PreferencesDialog::Edit2, "12a", 1, "0", mainCaption},
        {&PreferencesDialog::Edit2, "a-b", 3, "0", mainCaption},  // one message per character
        {&PreferencesDialog::Edit2, "1234567890123456789x", 0, "1234567890123456789x", mainCaption},
        {&PreferencesDialog::Edit2, "", 0, "", mainCaption},
        {&PreferencesDialog::Edit1, "x", 1, "0", mainCaption},
        {&PreferencesDialog::Edit3, "1.5", 1, "0", mainCaption},
        {&PreferencesDialog::Edit9, "5m", 1, "110", mainCaption},
        {&PreferencesDialog::Edit8, "11x", 1, "110", mailCaption},
        {&PreferencesDialog::Edit8, "", 0, "", mailCaption},
        {&PreferencesDialog::Edit8, "995", 0, "995", mailCaption},
    };
    auto form = opened();
    for (const auto& c : cases) {
        env.boxes.clear();
        form->Edit1->setText(QStringLiteral("4"));
        env.boxes.clear();
        QLineEdit* edit = (*form).*(c.edit);
        edit->setText(q(c.typed));
        EXPECT_EQ(edit->text(), q(c.left)) << c.typed;
        ASSERT_EQ(static_cast<int>(env.boxes.shown.size()), c.messages) << c.typed;
        for (const auto& box : env.boxes.shown) {
            EXPECT_EQ(box.text, QStringLiteral("Incorrect number !"));
            EXPECT_EQ(box.caption, c.caption);
            EXPECT_EQ(box.icon, platform::MessageIcon::Exclamation);
        }
        if (c.edit != &PreferencesDialog::Edit1) {
            EXPECT_EQ(form->Edit1->text(), QStringLiteral("4")) << "another edit was reset by " << c.typed;
        }
    }
}

TEST_F(PreferencesDialogTest, NegativeStoredDelayFailsTheCheckWhileLoading)
{
    writeInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay), -5);
    auto form = opened();
    EXPECT_EQ(env.boxes.texts(), QStringList{"Incorrect number !"});
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("0"));
}

TEST_F(PreferencesDialogTest, EmptyConnectDelayWritesNothingAndShowsTheStoredValue)
{
    auto form = opened();
    form->Edit2->clear();
    form->BitBtn1->click();
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay)), 15);
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("15"));
}

TEST_F(PreferencesDialogTest, NumberThatCannotConvertKeepsTheDialogOpenAndWritesNothing)
{
    struct Case {
        QLineEdit* PreferencesDialog::*edit;
        QWidget* PreferencesDialog::*page;
    } cases[] = {{&PreferencesDialog::Edit1, &PreferencesDialog::TabSheet5}, {&PreferencesDialog::Edit3, &PreferencesDialog::TabSheet5}, {&PreferencesDialog::Edit9, &PreferencesDialog::TabSheet1}};
    writeAccount({QStringLiteral("home"), QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("pop.home"), 110, 0});
    platform::Application::instance().setTitle(q(program::kApplicationTitle));
    for (const auto& c : cases) {
        auto form = opened();
        form->CheckBox1->setChecked(true);
        form->CheckBox2->setChecked(false);
        form->Memo1->setPlainText(QStringLiteral("/bin/true"));
        form->Edit6->setText(QStringLiteral("work"));
        form->SpeedButton2->click();
        ((*form).*(c.edit))->clear();
        form->PageControl1->setCurrentWidget(form->Startup);

        form->BitBtn1->click();
        ASSERT_EQ(env.boxes.shown.size(), 1u);
        EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("'' is not a valid integer value."));
        EXPECT_EQ(env.boxes.shown[0].caption, q(program::kApplicationTitle));
        EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->PageControl1->currentWidget(), (*form).*(c.page));
        EXPECT_FALSE(valueExists(HKLM, q(rk::kRun), q(rk::vAutostart)));
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vLogo)), 1);
        EXPECT_EQ(readInt(HKCU, q(rk::kExec), q(rk::vLines)), 0);
        EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), QStringList{"home"});
        EXPECT_EQ(readInt(HKCU, pref::accountKey("home"), q(rk::vAccountChecked)), 0);
        // Nothing typed was lost: fixed, the same OK saves it all.
        EXPECT_EQ(listLines(*form), (QStringList{"home", "work"}));
        ((*form).*(c.edit))->setText(QStringLiteral("1"));
        env.boxes.clear();
        form->BitBtn1->click();
        EXPECT_TRUE(env.boxes.shown.empty());
        EXPECT_FALSE(form->isVisible());
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vLogo)), 0);
        EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), (QStringList{"home", "work"}));

        // Back to the arranged state for the next case.
        writeInt(HKCU, q(rk::kSoftware), q(rk::vLogo), 1);
        writeInt(HKCU, q(rk::kExec), q(rk::vLines), 0);
        platform::Registry r;
        r.setRootKey(HKLM);
        r.openKey(q(rk::kRun), false);
        r.deleteValue(q(rk::vAutostart));
        r.closeKey();
        r.setRootKey(HKCU);
        r.deleteKey(pref::accountKey("work"));
        writeInt(HKCU, pref::accountKey("home"), q(rk::vAccountChecked), 0);
    }
}

TEST_F(PreferencesDialogTest, EnterInTheBudgetEditsRunsOkOnce)
{
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 4);
    for (QLineEdit* PreferencesDialog::*edit : {&PreferencesDialog::Edit1, &PreferencesDialog::Edit3}) {
        auto form = opened();
        form->CheckBox8->setChecked(true);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent((*form).*edit, &press);
        // The budget refusal is shown once per OK sequence.
        EXPECT_EQ(env.boxes.shown.size(), 1u);
        EXPECT_FALSE(form->isVisible());
    }
}

// ---- budget and tray ---------------------------------------------------------------------------

TEST_F(PreferencesDialogTest, BudgetNeedsTheMonthlyCounter)
{
    struct Case {
        int reset;
        bool ticked;
        bool message;
        int stored;
    } cases[] = {
        {1, true, true, 0}, {3, true, true, 0}, {4, true, true, 0}, {2, true, false, 1}, {4, false, false, 0},
    };
    for (const auto& c : cases) {
        writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), c.reset);
        writeInt(HKCU, q(rk::kBudget), q(rk::vOnOff), c.ticked ? 0 : 1);
        auto form = opened();
        form->CheckBox8->setChecked(c.ticked);
        form->Edit1->setText(QStringLiteral("2"));
        form->BitBtn1->click();
        if (c.message) {
            ASSERT_EQ(env.boxes.shown.size(), 1u) << "reset " << c.reset;
            EXPECT_TRUE(env.boxes.shown[0].text.startsWith("You can't use Rozad Izeruveva function until Counter"));
            EXPECT_EQ(env.boxes.shown[0].caption, q(program::kCaption));
            EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
        } else {
            EXPECT_TRUE(env.boxes.shown.empty()) << "reset " << c.reset;
        }
        EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vOnOff)), c.stored) << "reset " << c.reset;
        // The rest of the budget is saved either way, and the balance shows it at once.
        EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetMoney)), 2) << "reset " << c.reset;
        EXPECT_EQ(mainWindow->budgetLeftLabel->text(), c.stored ? QStringLiteral("2 dol. 0 c.") : QString(14, QLatin1Char('-')))
            << "reset " << c.reset;
    }
}

TEST_F(PreferencesDialogTest, TrayModeFollowsTheBoxOnOk)
{
    struct Case {
        bool available;
        bool ticked;
        bool icon;
        int trayMode;
        bool taskbarShown;
    } cases[] = {
        {true, true, true, 1, false},
        {true, false, false, 0, true},
        {false, true, false, 0, true},  // no notification area: the window keeps its button
        {true, true, true, 1, false},   // again from tray mode off
    };
    for (const auto& c : cases) {
        env.tray.available = c.available;
        auto form = opened();
        form->CheckBox4->setChecked(c.ticked);
        form->BitBtn1->click();
        EXPECT_EQ(env.tray.exists(), c.icon) << c.available << c.ticked;
        EXPECT_EQ(mainWindow->TrayMode, c.trayMode) << c.available << c.ticked;
        EXPECT_EQ(env.taskbar.isShown(), c.taskbarShown) << c.available << c.ticked;
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vSystemTray)), c.ticked ? 1 : 0);
    }
}

// ---- e-mail accounts ---------------------------------------------------------------------------

TEST_F(PreferencesDialogTest, OkRewritesTheWholeAccountKey)
{
    writeAccount({QStringLiteral("alpha"), QStringLiteral("al"), QStringLiteral("pa"), QStringLiteral("pop.a"), 995, 0});
    writeAccount({QStringLiteral("beta"), QStringLiteral("be"), QStringLiteral("pb"), QStringLiteral("pop.b"), 110, 1});
    writeAccount({QStringLiteral("gamma"), QStringLiteral("ga"), QStringLiteral("pg"), QStringLiteral("pop.g"), 1100, 0});

    auto form = opened();
    ASSERT_EQ(listLines(*form), (QStringList{"alpha", "beta", "gamma"}));
    EXPECT_EQ(form->ListBox1->currentRow(), 0);
    EXPECT_EQ(form->Edit6->text(), QStringLiteral("alpha"));
    EXPECT_EQ(form->Edit4->text(), QStringLiteral("al"));
    EXPECT_EQ(form->Edit5->text(), QStringLiteral("pa"));
    EXPECT_EQ(form->Edit7->text(), QStringLiteral("pop.a"));
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("995"));

    form->ListBox1->setCurrentRow(2);  // as a click does
    EXPECT_EQ(form->Edit4->text(), QStringLiteral("ga"));
    form->Edit6->setText(QStringLiteral("delta"));
    form->SpeedButton3->click();
    form->Edit4->setText(QStringLiteral("de"));
    form->ListBox1->setCurrentRow(1);
    form->SpeedButton4->click();  // answered Yes
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Are you sure to delete tariff 'beta'?"));
    EXPECT_EQ(env.boxes.shown[0].caption, q(pref::kMailCaption));
    EXPECT_EQ(env.boxes.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(listLines(*form), (QStringList{"alpha", "delta"}));
    // Until OK nothing leaves the registry.
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), (QStringList{"alpha", "beta", "gamma"}));

    form->BitBtn1->click();
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), (QStringList{"alpha", "delta"}));
    const Account alpha = storedAccount("alpha");
    EXPECT_EQ(alpha.user, QStringLiteral("al"));
    EXPECT_EQ(alpha.port, 995);
    EXPECT_EQ(alpha.checked, 1);  // every save polls every account again
    const Account delta = storedAccount("delta");
    EXPECT_EQ(delta.user, QStringLiteral("de"));
    EXPECT_EQ(delta.password, QStringLiteral("pg"));
    EXPECT_EQ(delta.host, QStringLiteral("pop.g"));
    EXPECT_EQ(delta.port, 1100);
    EXPECT_EQ(delta.checked, 1);
    EXPECT_EQ(valueNames(HKCU, pref::accountKey("delta")), (QStringList{"User", "Password", "Host", "Port", "Checked"}));
    // Closing empties the list and the name edit.
    EXPECT_EQ(form->ListBox1->count(), 0);
    EXPECT_EQ(form->Edit6->text(), QString());
}

TEST_F(PreferencesDialogTest, NoAccountLeavesAnEmptyKeyAndDefaultEdits)
{
    writeAccount({QStringLiteral("only"), QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("h"), 995, 1});
    auto form = opened();
    env.boxes.queueAnswer(platform::IDNO);
    form->SpeedButton4->click();
    EXPECT_EQ(listLines(*form), QStringList{"only"});
    form->SpeedButton4->click();
    EXPECT_EQ(form->ListBox1->count(), 0);
    EXPECT_EQ(form->Edit6->text(), QString());
    EXPECT_EQ(form->Edit4->text(), QString());
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("110"));

    form->BitBtn2->click();  // Cancel: the account is still stored and shown again
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), QStringList{"only"});
    form->show();
    EXPECT_EQ(listLines(*form), QStringList{"only"});
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("995"));

    form->SpeedButton4->click();
    form->BitBtn1->click();
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), QStringList());
    form->show();
    EXPECT_EQ(form->ListBox1->count(), 0);
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("110"));
}

TEST_F(PreferencesDialogTest, NewStoresTheShownAccountFirstAndEmptyPortSavesZero)
{
    auto form = opened();
    typeNewAccount(*form, QStringLiteral("first"), QStringLiteral("one"));
    form->Edit8->setText(QStringLiteral("995"));
    typeNewAccount(*form, QStringLiteral("second"));
    EXPECT_EQ(form->ListBox1->currentRow(), 1);
    EXPECT_EQ(form->Edit4->text(), QString());
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("110"));
    form->Edit8->clear();

    form->ListBox1->setCurrentRow(0);
    EXPECT_EQ(form->Edit4->text(), QStringLiteral("one"));
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("995"));
    EXPECT_EQ(form->Edit6->text(), QStringLiteral("first"));
    form->ListBox1->setCurrentRow(1);
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("0"));

    form->BitBtn1->click();
    EXPECT_EQ(storedAccount("first").port, 995);
    EXPECT_EQ(storedAccount("second").port, 0);
}

TEST_F(PreferencesDialogTest, NewAndRenameRefuseBadNames)
{
    struct Case {
        QPushButton* PreferencesDialog::*button;
        const char* name;
        const char* message;  // nullptr: accepted
    } cases[] = {
        {&PreferencesDialog::SpeedButton2, "", "You have to enter account's name !"},
        {&PreferencesDialog::SpeedButton2, "home", "The account you want to create is allready in the list!"},
        {&PreferencesDialog::SpeedButton2, "HOME", "The account you want to create is allready in the list!"},
        {&PreferencesDialog::SpeedButton2, "a\\b", "The account's name can't contain \"\\\" !"},
        {&PreferencesDialog::SpeedButton3, "", "You have to enter account's name !"},
        {&PreferencesDialog::SpeedButton3, "work", "The account you want to rename is already in the list!"},
        {&PreferencesDialog::SpeedButton3, "Work", "The account you want to rename is already in the list!"},
        {&PreferencesDialog::SpeedButton3, "home", "The account you want to rename is already in the list!"},  // its own name
        {&PreferencesDialog::SpeedButton3, "a\\b", "The account's name can't contain \"\\\" !"},
        {&PreferencesDialog::SpeedButton3, "Home", nullptr},  // a change of case of its own name
        {&PreferencesDialog::SpeedButton3, "house", nullptr},
        {&PreferencesDialog::SpeedButton2, "third", nullptr},
    };
    for (const auto& c : cases) {
        writeAccount({QStringLiteral("home"), {}, {}, {}, 110, 1});
        writeAccount({QStringLiteral("work"), {}, {}, {}, 110, 1});
        auto form = opened();
        form->Edit6->setText(q(c.name));
        ((*form).*(c.button))->click();
        if (c.message) {
            ASSERT_EQ(env.boxes.shown.size(), 1u) << c.name;
            EXPECT_EQ(env.boxes.shown[0].text, q(c.message));
            EXPECT_EQ(env.boxes.shown[0].caption, q(pref::kMailCaption));
            EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
            EXPECT_EQ(listLines(*form), (QStringList{"home", "work"})) << c.name;
        } else {
            EXPECT_TRUE(env.boxes.shown.empty()) << c.name;
            EXPECT_TRUE(listLines(*form).contains(q(c.name))) << c.name;
            form->BitBtn1->click();
            EXPECT_TRUE(subkeyNames(HKCU, q(rk::kEmailAccounts)).contains(q(c.name))) << c.name;
            EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)).size(), c.button == &PreferencesDialog::SpeedButton2 ? 3 : 2);
        }
        platform::Registry r;
        r.setRootKey(HKCU);
        r.deleteKey(q(rk::kEmailAccounts));
    }
}

TEST_F(PreferencesDialogTest, TwentyAccountsAtMost)
{
    auto form = opened();
    for (int i = 0; i < 20; ++i)
        typeNewAccount(*form, QStringLiteral("acc%1").arg(i), QStringLiteral("user%1").arg(i));
    EXPECT_TRUE(env.boxes.shown.empty());
    ASSERT_EQ(form->ListBox1->count(), 20);

    typeNewAccount(*form, QStringLiteral("acc3"));
    typeNewAccount(*form, QStringLiteral("acc20"));
    EXPECT_EQ(env.boxes.texts(), (QStringList{"The account you want to create is allready in the list!",
                                              "Maximum can be 20 accounts"}));
    EXPECT_EQ(form->ListBox1->count(), 20);

    form->BitBtn1->click();
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)).size(), 20);
    EXPECT_EQ(storedAccount("acc0").user, QStringLiteral("user0"));
    EXPECT_EQ(storedAccount("acc19").user, QStringLiteral("user19"));
}

TEST_F(PreferencesDialogTest, NumbersStoredWiderThanTheirEditAreKeptWhole)
{
    writeAccount({QStringLiteral("wide"), QStringLiteral("u"), {}, QStringLiteral("pop.wide"), 11110, 1});
    writeAccount({QStringLiteral("plain"), QStringLiteral("p"), {}, QStringLiteral("pop.plain"), 110, 1});
    writeInt(HKCU, q(rk::kEmail), q(rk::vMinutes), 12345);
    auto form = opened();
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("11110"));
    EXPECT_EQ(form->Edit9->text(), QStringLiteral("12345"));
    form->ListBox1->setCurrentRow(1);
    // Typing is bounded by the edit's own room again.
    form->Edit8->setText(QStringLiteral("99999"));
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("9999"));
    form->Edit8->setText(QStringLiteral("110"));
    form->BitBtn1->click();
    EXPECT_EQ(storedAccount("wide").port, 11110);
    EXPECT_EQ(storedAccount("plain").port, 110);
    EXPECT_EQ(readInt(HKCU, q(rk::kEmail), q(rk::vMinutes)), 12345);
}

TEST_F(PreferencesDialogTest, FieldsAreCutToTheirRoom)
{
    const QString longText(100, QLatin1Char('x'));
    // Written by something else, longer than the fields hold.
    writeAccount({QStringLiteral("long"), longText, longText, longText, 110, 1});
    auto form = opened();
    EXPECT_EQ(form->Edit4->text().size(), pref::kUserChars);
    EXPECT_EQ(form->Edit5->text().size(), pref::kPasswordChars);
    EXPECT_EQ(form->Edit7->text().size(), pref::kHostChars);
    form->Edit6->setText(longText);
    EXPECT_EQ(form->Edit6->text().size(), pref::kAccountNameChars);
    form->SpeedButton3->click();
    form->Edit8->setText(QStringLiteral("123456"));
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("1234"));

    form->BitBtn1->click();
    const QString cutName = longText.left(pref::kAccountNameChars);
    ASSERT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), QStringList{cutName});
    const Account stored = storedAccount(cutName);
    EXPECT_EQ(stored.user, longText.left(pref::kUserChars));
    EXPECT_EQ(stored.password, longText.left(pref::kPasswordChars));
    EXPECT_EQ(stored.host, longText.left(pref::kHostChars));
    EXPECT_EQ(stored.port, 1234);
}

TEST_F(PreferencesDialogTest, ALoadThatStopsEarlyLeavesTheProgramListAndAccountsAsStored)
{
    writeInt(HKCU, q(rk::kExec), q(rk::vLines), 2);
    writeStr(HKCU, q(rk::kExec), q(rk::vLinePrefix) + "0", QStringLiteral("/usr/bin/mail"));
    writeStr(HKCU, q(rk::kExec), q(rk::vLinePrefix) + "1", QStringLiteral("/usr/bin/news"));
    writeAccount({QStringLiteral("Home"), QStringLiteral("alice"), QStringLiteral("pw"), QStringLiteral("pop.home")});
    platform::Registry r;
    r.setRootKey(HKCU);
    ASSERT_TRUE(r.openKey(q(rk::kSoftware), false));
    r.deleteValue(q(rk::vMaxd));
    r.closeKey();

    auto form = opened();
    ASSERT_EQ(env.boxes.texts(), QStringList({"Failed to get data for 'Maxd'."}));
    EXPECT_TRUE(form->Memo1->toPlainText().isEmpty());
    EXPECT_EQ(form->ListBox1->count(), 0);
    form->Edit1->setText(QStringLiteral("2"));
    form->Edit3->setText(QStringLiteral("50"));
    form->Edit9->setText(QStringLiteral("5"));
    env.boxes.clear();
    form->BitBtn1->click();
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
    EXPECT_FALSE(form->isVisible());

    // The settings shown are written, which also puts the missing value back; the
    // list and the accounts that never reached the dialog are not emptied.
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vMaxd)), 0);
    EXPECT_EQ(readInt(HKCU, q(rk::kBudget), q(rk::vBudgetMoney)), 2);
    EXPECT_EQ(readInt(HKCU, q(rk::kExec), q(rk::vLines)), 2);
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), QStringList({"Home"}));
    EXPECT_EQ(storedAccount("Home").host, QStringLiteral("pop.home"));

    form->show();
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
    EXPECT_EQ(form->Memo1->toPlainText(), QStringLiteral("/usr/bin/mail\n/usr/bin/news\n"));
    EXPECT_EQ(listLines(*form), QStringList({"Home"}));
}

TEST_F(PreferencesDialogTest, LoadNeverGoesPastTheTable)
{
    // 25 usable keys, one whose name no account can hold, and one without its port.
    writeAccount({QString(60, QLatin1Char('n')), QStringLiteral("toolong"), {}, {}, 110, 1});
    writeStr(HKCU, pref::accountKey("noport"), q(rk::vAccountUser), QStringLiteral("kept"));
    writeStr(HKCU, pref::accountKey("noport"), q(rk::vAccountHost), QStringLiteral("pop.kept"));
    for (int i = 0; i < 25; ++i)
        writeAccount({QStringLiteral("m%1").arg(i), QStringLiteral("u%1").arg(i), {}, {}, 110, 1});

    auto form = opened();
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
    ASSERT_EQ(form->ListBox1->count(), 20);
    EXPECT_EQ(form->ListBox1->item(0)->text(), QStringLiteral("noport"));
    EXPECT_EQ(form->Edit4->text(), QStringLiteral("kept"));
    EXPECT_EQ(form->Edit8->text(), QStringLiteral("110"));
    EXPECT_EQ(form->ListBox1->item(19)->text(), QStringLiteral("m18"));
    form->ListBox1->setCurrentRow(19);
    EXPECT_EQ(form->Edit4->text(), QStringLiteral("u18"));

    // Saved again whole, so the mail checker reads it too.
    form->BitBtn1->click();
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)).size(), 20);
    const Account kept = storedAccount("noport");
    EXPECT_EQ(kept.host, QStringLiteral("pop.kept"));
    EXPECT_EQ(kept.port, 110);
    EXPECT_EQ(kept.checked, 1);
}

}  // namespace
