// The Preferences dialog: load and save of every page, the program list, the numeric
// edits, the budget rule, the tray change on OK, and the e-mail account editor.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"
#include "support/core/SessionProbe.h"

#include "common/RegistryNames.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/gui/MainWindow.h"
#include "dialtally/core/ProgramInfo.h"
#include "support/StartedProgram.h"
#include "dialtally/gui/PreferencesDialog.h"

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

#include <memory>
#include <string_view>

using namespace testing_support;

namespace {

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
    const auto* list = control<QListWidget>(form, "accountList");
    QStringList lines;
    for (int i = 0; i < list->count(); ++i)
        lines << list->item(i)->text();
    return lines;
}

class PreferencesDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        setSplashRunner([](SplashWindow& splash) { splash.closeTimerElapsed(); });
        env.install(1);
        env.setWindowsUser(QStringLiteral("alice"));
        startProgram();
        ASSERT_NE(mainWindow, nullptr);
        env.boxes.clear();
        env.help.calls.clear();  // the first start opens the help contents
    }
    void TearDown() override
    {
        endProgram();
        setSplashRunner({});
        setOpenFileRunner({});
    }

    // The dialog as the main window shows it.
    std::unique_ptr<PreferencesDialog> opened()
    {
        auto form = std::make_unique<PreferencesDialog>(mainWindow->session(), mainWindow->tray());
        env.boxes.clear();
        form->show();
        return form;
    }

    void typeNewAccount(PreferencesDialog& form, const QString& name, const QString& user = {})
    {
        control<QLineEdit>(form, "accountNameEdit")->setText(name);
        control<QPushButton>(form, "newAccountButton")->click();
        if (!user.isEmpty())
            control<QLineEdit>(form, "userEdit")->setText(user);
    }

    TestEnvironment env;
};

// ---- load and save -----------------------------------------------------------------------

TEST_F(PreferencesDialogTest, EverySettingLoadsAndSaves)
{
    struct Flag {
        const char* box;
        RootKey root;
        const char* key;
        const char* value;
    } flags[] = {
        {"autostartCheck", HKLM, rk::kSoftware, rk::vStart},
        {"antiCrashCheck", HKLM, rk::kSoftware, rk::vAntiCrash},
        {"logoCheck", HKCU, rk::kSoftware, rk::vLogo},
        {"minimizeAtStartCheck", HKCU, rk::kSoftware, rk::vMinimize},
        {"trayModeCheck", HKCU, rk::kSoftware, rk::vSystemTray},
        {"restoreOnDisconnectCheck", HKCU, rk::kSoftware, rk::vMaxd},
        {"budgetOnCheck", HKCU, rk::kBudget, rk::vOnOff},
        {"countAllDaysCheck", HKCU, rk::kBudget, rk::vBudgetReserve},
        {"mailCheckerOnCheck", HKCU, rk::kEmail, rk::vOnOff},
        {"mailTrayCheck", HKCU, rk::kEmail, rk::vEmailSystemTray},
        {"checkMailAtStartCheck", HKCU, rk::kEmail, rk::vAutoCheck},
        {"restoreOnMailCheck", HKCU, rk::kEmail, rk::vAutoRestore},
        {"closeWithoutMailCheck", HKCU, rk::kEmail, rk::vAutoClose},
        {"minimizeMailAtStartCheck", HKCU, rk::kEmail, rk::vAutoMinimize},
        {"closeOnDisconnectCheck", HKCU, rk::kEmail, rk::vAutoCloseProgram},
    };
    struct Number {
        const char* edit;
        const char* key;
        const char* value;
        int stored;
        int typed;
    } numbers[] = {
        {"connectDelayEdit", rk::kSoftware, rk::vConnectDelay, 25, 40},
        {"budgetMoneyEdit", rk::kBudget, rk::vBudgetMoney, 3, 7},
        {"budgetCentsEdit", rk::kBudget, rk::vBudgetCents, 50, 5},
        {"mailPeriodEdit", rk::kEmail, rk::vMinutes, 5, 12},
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
            QCheckBox* box = control<QCheckBox>(*form, flags[i].box);
            EXPECT_EQ(box->isChecked(), (i + round) % 2 == 1) << "round " << round << " " << flags[i].value;
            box->setChecked(!box->isChecked());
        }
        for (const auto& n : numbers) {
            QLineEdit* edit = control<QLineEdit>(*form, n.edit);
            EXPECT_EQ(edit->text(), QString::number(n.stored + round)) << n.value;
            edit->setText(QString::number(n.typed + round));
        }
        EXPECT_EQ(control<QRadioButton>(form, "sirenAlarmRadio")->isChecked(), round == 0);
        EXPECT_EQ(control<QRadioButton>(form, "beepAlarmRadio")->isChecked(), round == 1);
        (round == 0 ? control<QRadioButton>(form, "beepAlarmRadio") : control<QRadioButton>(form, "sirenAlarmRadio"))
            ->setChecked(true);

        control<QPushButton>(form, "okButton")->click();
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
    control<QCheckBox>(form, "autostartCheck")->setChecked(true);
    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(readStr(HKLM, q(rk::kRun), q(rk::vAutostart)), env.programFolder() + "/Dialtally");
    EXPECT_EQ(readInt(HKLM, q(rk::kSoftware), q(rk::vStart)), 1);

    form->show();
    EXPECT_TRUE(control<QCheckBox>(form, "autostartCheck")->isChecked());
    control<QCheckBox>(form, "autostartCheck")->setChecked(false);
    control<QPushButton>(form, "okButton")->click();
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

    control<QCheckBox>(form, "autostartCheck")->setChecked(true);
    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(execLine(), env.programFolder() + "/Dialtally");

    // The program folder moved (a new installation): the next OK rewrites the entry.
    SessionProbe::programPath(mainWindow->session()) = env.programFolder() + "/My Programs";
    form->show();
    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(readStr(HKLM, q(rk::kRun), q(rk::vAutostart)), env.programFolder() + "/My Programs/Dialtally");
    EXPECT_EQ(execLine(), "\"" + env.programFolder() + "/My Programs/Dialtally\"");

    form->show();
    control<QCheckBox>(form, "autostartCheck")->setChecked(false);
    control<QPushButton>(form, "okButton")->click();
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_TRUE(valueExists(HKLM, q(rk::kRun), q(rk::vAutostart)));
    EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").toStdString();
}

TEST_F(PreferencesDialogTest, AnAutostartEntryThatCannotBeWrittenSaysSoAndLeavesTheRunValue)
{
    // A file where the autostart folder should be.
    QFile blocker(env.configHome() + "/autostart");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    auto form = opened();
    control<QCheckBox>(form, "autostartCheck")->setChecked(true);
    control<QPushButton>(form, "okButton")->click();
    ASSERT_EQ(env.boxes.shown.size(), 1u) << env.boxes.texts().join(" | ").toStdString();
    EXPECT_TRUE(env.boxes.shown[0].text.startsWith("Cannot write the autostart entry: "))
        << env.boxes.shown[0].text.toStdString();
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
    EXPECT_FALSE(valueExists(HKLM, q(rk::kRun), q(rk::vAutostart)));
}

TEST_F(PreferencesDialogTest, CancelWritesNothingAndTheNextShowingReloads)
{
    auto form = opened();
    const QStringList before = valueNames(HKCU, q(rk::kSoftware));
    control<QCheckBox>(form, "logoCheck")->setChecked(false);
    control<QLineEdit>(form, "connectDelayEdit")->setText(QStringLiteral("99"));
    control<QPlainTextEdit>(form, "execLinesEdit")->setPlainText(QStringLiteral("/bin/true\n"));
    control<QPushButton>(form, "cancelButton")->click();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vLogo)), 1);
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay)), 15);
    EXPECT_EQ(readInt(HKCU, q(rk::kExec), q(rk::vLines)), 0);
    // Closing drops the unsaved program list at once.
    EXPECT_EQ(control<QPlainTextEdit>(form, "execLinesEdit")->toPlainText(), QString());

    writeInt(HKCU, q(rk::kSoftware), q(rk::vMaxd), 0);
    form->show();
    EXPECT_TRUE(control<QCheckBox>(form, "logoCheck")->isChecked());
    EXPECT_FALSE(control<QCheckBox>(form, "restoreOnDisconnectCheck")->isChecked());
    EXPECT_EQ(control<QLineEdit>(form, "connectDelayEdit")->text(), QStringLiteral("15"));
}

TEST_F(PreferencesDialogTest, HelpOpensContextNine)
{
    platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    auto form = opened();
    control<QPushButton>(form, "helpButton")->click();
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
    EXPECT_EQ(pref::execLines(control<QPlainTextEdit>(form, "execLinesEdit")->toPlainText()),
              (QStringList{"/bin/p0", "/bin/p1", "/bin/p2", "/bin/p3", "/bin/p4"}));
    EXPECT_EQ(control<QLabel>(form, "programCountLabel")->text(), QStringLiteral("Now you have entered 5 programs"));

    control<QPlainTextEdit>(form, "execLinesEdit")->setPlainText(QStringLiteral("/bin/a\n\n"));
    EXPECT_EQ(control<QLabel>(form, "programCountLabel")->text(), QStringLiteral("Now you have entered 2 programs"));
    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(readInt(HKCU, q(rk::kExec), q(rk::vLines)), 2);
    EXPECT_EQ(readStr(HKCU, q(rk::kExec), q("Line0")), QStringLiteral("/bin/a"));
    EXPECT_TRUE(valueExists(HKCU, q(rk::kExec), q("Line1")));
    EXPECT_EQ(readStr(HKCU, q(rk::kExec), q("Line1")), QString());
    for (int i = 2; i < 5; ++i)
        EXPECT_EQ(readStr(HKCU, q(rk::kExec), q(rk::vLinePrefix) + QString::number(i)),
                  QStringLiteral("/bin/p%1").arg(i));

    form->show();
    EXPECT_EQ(pref::execLines(control<QPlainTextEdit>(form, "execLinesEdit")->toPlainText()),
              (QStringList{"/bin/a", ""}));
    EXPECT_EQ(control<QLabel>(form, "programCountLabel")->text(), QStringLiteral("Now you have entered 2 programs"));
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
    control<QPlainTextEdit>(form, "execLinesEdit")->setPlainText(QStringLiteral("/bin/first"));
    control<QPushButton>(form, "addProgramButton")->click();
    EXPECT_EQ(seenTitle, QStringLiteral("Open"));
    EXPECT_EQ(seenFilters, (QStringList{"Programs (*)", "Executable files (*.exe)", "All files (*)"}));
    EXPECT_EQ(pref::execLines(control<QPlainTextEdit>(form, "execLinesEdit")->toPlainText()),
              (QStringList{"/bin/first", answer}));
    EXPECT_EQ(control<QLabel>(form, "programCountLabel")->text(), QStringLiteral("Now you have entered 2 programs"));

    answer.clear();  // the user cancels
    control<QPushButton>(form, "addProgramButton")->click();
    EXPECT_EQ(control<QLabel>(form, "programCountLabel")->text(), QStringLiteral("Now you have entered 2 programs"));
}

// ---- numeric edits ----------------------------------------------------------------------------

TEST_F(PreferencesDialogTest, NumericEditsRefuseOtherCharacters)
{
    const QString mainCaption = q(program::kCaption);
    const QString mailCaption = q(pref::kMailCaption);
    struct Case {
        const char* edit;
        const char* typed;
        int messages;
        const char* left;
        QString caption;
    } cases[] = {
        {"connectDelayEdit", "12a", 1, "0", mainCaption},
        {"connectDelayEdit", "a-b", 3, "0", mainCaption},  // one message per character
        // Only the first five characters fit, all digits.
        {"connectDelayEdit", "1234567890123456789x", 0, "12345", mainCaption},
        {"connectDelayEdit", "", 0, "", mainCaption},
        {"budgetMoneyEdit", "x", 1, "0", mainCaption},
        {"budgetCentsEdit", "1.5", 1, "0", mainCaption},
        {"mailPeriodEdit", "5m", 1, "110", mainCaption},
        {"portEdit", "11x", 1, "110", mailCaption},
        {"portEdit", "", 0, "", mailCaption},
        {"portEdit", "995", 0, "995", mailCaption},
    };
    auto form = opened();
    for (const auto& c : cases) {
        env.boxes.clear();
        control<QLineEdit>(form, "budgetMoneyEdit")->setText(QStringLiteral("4"));
        env.boxes.clear();
        QLineEdit* edit = control<QLineEdit>(form, c.edit);
        edit->setText(q(c.typed));
        EXPECT_EQ(edit->text(), q(c.left)) << c.typed;
        ASSERT_EQ(static_cast<int>(env.boxes.shown.size()), c.messages) << c.typed;
        for (const auto& box : env.boxes.shown) {
            EXPECT_EQ(box.text, QStringLiteral("Incorrect number !"));
            EXPECT_EQ(box.caption, c.caption);
            EXPECT_EQ(box.icon, platform::MessageIcon::Exclamation);
        }
        if (c.edit != std::string_view("budgetMoneyEdit")) {
            EXPECT_EQ(control<QLineEdit>(form, "budgetMoneyEdit")->text(), QStringLiteral("4"))
                << "another edit was reset by " << c.typed;
        }
    }
}

// A paste or a typed digit takes the connect delay past a day, or a budget past nine
// digits, no more: the edit keeps what it had, no message, and OK stores what is shown.
// A wider number already in the store is shown whole and can be edited down.
TEST_F(PreferencesDialogTest, NumberEditsTakeOnlyWhatTheirValueCanBe)
{
    writeInt(HKLM, q(rk::kCounterAll), q(rk::vReset), 2);
    const QString tenKilobytes(10000, QLatin1Char('9'));
    struct Case {
        const char* edit;
        const char* key;
        const char* value;
        QString pasted;  // over the whole text
        QString typedAfter;
        const char* shown;
    } cases[] = {
        {"connectDelayEdit", rk::kSoftware, rk::vConnectDelay, "99999999999", "", "15"},
        {"connectDelayEdit", rk::kSoftware, rk::vConnectDelay, "86400", "", "86400"},
        {"connectDelayEdit", rk::kSoftware, rk::vConnectDelay, "8640", "1", "8640"},
        {"connectDelayEdit", rk::kSoftware, rk::vConnectDelay, "0", "7", "07"},
        {"budgetMoneyEdit", rk::kBudget, rk::vBudgetMoney, tenKilobytes, "", "999999999"},
        {"budgetCentsEdit", rk::kBudget, rk::vBudgetCents, tenKilobytes, "9", "999999999"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.pasted.left(20).toStdString());
        writeInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay), 15);
        auto form = opened();
        QLineEdit* edit = control<QLineEdit>(form, c.edit);
        edit->selectAll();
        edit->insert(c.pasted);
        for (QChar typed : c.typedAfter) {
            edit->end(false);
            edit->insert(typed);
        }
        EXPECT_EQ(edit->text(), q(c.shown));
        control<QPushButton>(form, "okButton")->click();
        EXPECT_TRUE(env.boxes.shown.empty()) << env.boxes.texts().join(" | ").left(200).toStdString();
        EXPECT_EQ(readInt(HKCU, q(c.key), q(c.value)), q(c.shown).toInt());
    }

    writeInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay), 2147483647);
    auto form = opened();
    EXPECT_EQ(control<QLineEdit>(form, "connectDelayEdit")->text(), QStringLiteral("2147483647"));
    control<QLineEdit>(form, "connectDelayEdit")->end(false);
    control<QLineEdit>(form, "connectDelayEdit")->backspace();
    EXPECT_EQ(control<QLineEdit>(form, "connectDelayEdit")->text(), QStringLiteral("214748364"));
    control<QLineEdit>(form, "connectDelayEdit")->insert(QStringLiteral("7"));
    EXPECT_EQ(control<QLineEdit>(form, "connectDelayEdit")->text(), QStringLiteral("214748364"));
    control<QLineEdit>(form, "connectDelayEdit")->selectAll();
    control<QLineEdit>(form, "connectDelayEdit")->insert(QStringLiteral("30"));
    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay)), 30);
}

TEST_F(PreferencesDialogTest, NegativeStoredDelayFailsTheCheckWhileLoading)
{
    writeInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay), -5);
    auto form = opened();
    EXPECT_EQ(env.boxes.texts(), QStringList{"Incorrect number !"});
    EXPECT_EQ(control<QLineEdit>(form, "connectDelayEdit")->text(), QStringLiteral("0"));
}

TEST_F(PreferencesDialogTest, EmptyConnectDelayWritesNothingAndShowsTheStoredValue)
{
    auto form = opened();
    control<QLineEdit>(form, "connectDelayEdit")->clear();
    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay)), 15);
    EXPECT_EQ(control<QLineEdit>(form, "connectDelayEdit")->text(), QStringLiteral("15"));
}

TEST_F(PreferencesDialogTest, NumberThatCannotConvertKeepsTheDialogOpenAndWritesNothing)
{
    struct Case {
        const char* edit;
        const char* page;
    } cases[] = {{"budgetMoneyEdit", "budgetPage"}, {"budgetCentsEdit", "budgetPage"}, {"mailPeriodEdit", "emailPage"}};
    writeAccount(
        {QStringLiteral("home"), QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("pop.home"), 110, 0});
    platform::Application::instance().setTitle(q(program::kApplicationTitle));
    for (const auto& c : cases) {
        auto form = opened();
        control<QCheckBox>(form, "autostartCheck")->setChecked(true);
        control<QCheckBox>(form, "logoCheck")->setChecked(false);
        control<QPlainTextEdit>(form, "execLinesEdit")->setPlainText(QStringLiteral("/bin/true"));
        control<QLineEdit>(form, "accountNameEdit")->setText(QStringLiteral("work"));
        control<QPushButton>(form, "newAccountButton")->click();
        control<QLineEdit>(form, c.edit)->clear();
        control<QTabWidget>(form, "pageTabs")->setCurrentWidget(control<QWidget>(form, "startupPage"));

        control<QPushButton>(form, "okButton")->click();
        ASSERT_EQ(env.boxes.shown.size(), 1u);
        EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("'' is not a valid integer value."));
        EXPECT_EQ(env.boxes.shown[0].caption, q(program::kApplicationTitle));
        EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(control<QTabWidget>(form, "pageTabs")->currentWidget(), control<QWidget>(form, c.page));
        EXPECT_FALSE(valueExists(HKLM, q(rk::kRun), q(rk::vAutostart)));
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vLogo)), 1);
        EXPECT_EQ(readInt(HKCU, q(rk::kExec), q(rk::vLines)), 0);
        EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), QStringList{"home"});
        EXPECT_EQ(readInt(HKCU, pref::accountKey("home"), q(rk::vAccountChecked)), 0);
        // Nothing typed was lost: fixed, the same OK saves it all.
        EXPECT_EQ(listLines(*form), (QStringList{"home", "work"}));
        control<QLineEdit>(form, c.edit)->setText(QStringLiteral("1"));
        env.boxes.clear();
        control<QPushButton>(form, "okButton")->click();
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
    for (const char* edit : {"budgetMoneyEdit", "budgetCentsEdit"}) {
        auto form = opened();
        control<QCheckBox>(form, "budgetOnCheck")->setChecked(true);
        QKeyEvent press(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
        QCoreApplication::sendEvent(control<QLineEdit>(form, edit), &press);
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
        control<QCheckBox>(form, "budgetOnCheck")->setChecked(c.ticked);
        control<QLineEdit>(form, "budgetMoneyEdit")->setText(QStringLiteral("2"));
        control<QPushButton>(form, "okButton")->click();
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
        EXPECT_EQ(control<QLabel>(mainWindow, "budgetLeftLabel")->text(),
                  c.stored ? QStringLiteral("2 dol. 0 c.") : QString(14, QLatin1Char('-')))
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
        {true, true, true, 1, false},  // again from tray mode off
    };
    for (const auto& c : cases) {
        env.tray.available = c.available;
        auto form = opened();
        control<QCheckBox>(form, "trayModeCheck")->setChecked(c.ticked);
        control<QPushButton>(form, "okButton")->click();
        EXPECT_EQ(env.tray.exists(), c.icon) << c.available << c.ticked;
        EXPECT_EQ(mainWindow->tray().inTray(), c.trayMode == 1) << c.available << c.ticked;
        EXPECT_EQ(env.taskbar.isShown(), c.taskbarShown) << c.available << c.ticked;
        EXPECT_EQ(readInt(HKCU, q(rk::kSoftware), q(rk::vSystemTray)), c.ticked ? 1 : 0);
    }
}

// ---- e-mail accounts ---------------------------------------------------------------------------

TEST_F(PreferencesDialogTest, OkRewritesTheWholeAccountKey)
{
    writeAccount(
        {QStringLiteral("alpha"), QStringLiteral("al"), QStringLiteral("pa"), QStringLiteral("pop.a"), 995, 0});
    writeAccount({QStringLiteral("beta"), QStringLiteral("be"), QStringLiteral("pb"), QStringLiteral("pop.b"), 110, 1});
    writeAccount(
        {QStringLiteral("gamma"), QStringLiteral("ga"), QStringLiteral("pg"), QStringLiteral("pop.g"), 1100, 0});

    auto form = opened();
    ASSERT_EQ(listLines(*form), (QStringList{"alpha", "beta", "gamma"}));
    EXPECT_EQ(control<QListWidget>(form, "accountList")->currentRow(), 0);
    EXPECT_EQ(control<QLineEdit>(form, "accountNameEdit")->text(), QStringLiteral("alpha"));
    EXPECT_EQ(control<QLineEdit>(form, "userEdit")->text(), QStringLiteral("al"));
    EXPECT_EQ(control<QLineEdit>(form, "passwordEdit")->text(), QStringLiteral("pa"));
    EXPECT_EQ(control<QLineEdit>(form, "hostEdit")->text(), QStringLiteral("pop.a"));
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("995"));

    control<QListWidget>(form, "accountList")->setCurrentRow(2);  // as a click does
    EXPECT_EQ(control<QLineEdit>(form, "userEdit")->text(), QStringLiteral("ga"));
    control<QLineEdit>(form, "accountNameEdit")->setText(QStringLiteral("delta"));
    control<QPushButton>(form, "renameAccountButton")->click();
    control<QLineEdit>(form, "userEdit")->setText(QStringLiteral("de"));
    control<QListWidget>(form, "accountList")->setCurrentRow(1);
    control<QPushButton>(form, "deleteAccountButton")->click();  // answered Yes
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Are you sure to delete tariff 'beta'?"));
    EXPECT_EQ(env.boxes.shown[0].caption, q(pref::kMailCaption));
    EXPECT_EQ(env.boxes.shown[0].buttons, platform::MessageButtons::YesNo);
    EXPECT_EQ(listLines(*form), (QStringList{"alpha", "delta"}));
    // Until OK nothing leaves the registry.
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), (QStringList{"alpha", "beta", "gamma"}));

    control<QPushButton>(form, "okButton")->click();
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
    EXPECT_EQ(valueNames(HKCU, pref::accountKey("delta")),
              (QStringList{"User", "Password", "Host", "Port", "Checked"}));
    // Closing empties the list and the name edit.
    EXPECT_EQ(control<QListWidget>(form, "accountList")->count(), 0);
    EXPECT_EQ(control<QLineEdit>(form, "accountNameEdit")->text(), QString());
}

TEST_F(PreferencesDialogTest, NoAccountLeavesAnEmptyKeyAndDefaultEdits)
{
    writeAccount({QStringLiteral("only"), QStringLiteral("u"), QStringLiteral("p"), QStringLiteral("h"), 995, 1});
    auto form = opened();
    env.boxes.queueAnswer(platform::Answer::No);
    control<QPushButton>(form, "deleteAccountButton")->click();
    EXPECT_EQ(listLines(*form), QStringList{"only"});
    control<QPushButton>(form, "deleteAccountButton")->click();
    EXPECT_EQ(control<QListWidget>(form, "accountList")->count(), 0);
    EXPECT_EQ(control<QLineEdit>(form, "accountNameEdit")->text(), QString());
    EXPECT_EQ(control<QLineEdit>(form, "userEdit")->text(), QString());
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("110"));

    control<QPushButton>(form, "cancelButton")->click();  // Cancel: the account is still stored and shown again
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), QStringList{"only"});
    form->show();
    EXPECT_EQ(listLines(*form), QStringList{"only"});
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("995"));

    control<QPushButton>(form, "deleteAccountButton")->click();
    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)), QStringList());
    form->show();
    EXPECT_EQ(control<QListWidget>(form, "accountList")->count(), 0);
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("110"));
}

TEST_F(PreferencesDialogTest, NewStoresTheShownAccountFirstAndEmptyPortSavesZero)
{
    auto form = opened();
    typeNewAccount(*form, QStringLiteral("first"), QStringLiteral("one"));
    control<QLineEdit>(form, "portEdit")->setText(QStringLiteral("995"));
    typeNewAccount(*form, QStringLiteral("second"));
    EXPECT_EQ(control<QListWidget>(form, "accountList")->currentRow(), 1);
    EXPECT_EQ(control<QLineEdit>(form, "userEdit")->text(), QString());
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("110"));
    control<QLineEdit>(form, "portEdit")->clear();

    control<QListWidget>(form, "accountList")->setCurrentRow(0);
    EXPECT_EQ(control<QLineEdit>(form, "userEdit")->text(), QStringLiteral("one"));
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("995"));
    EXPECT_EQ(control<QLineEdit>(form, "accountNameEdit")->text(), QStringLiteral("first"));
    control<QListWidget>(form, "accountList")->setCurrentRow(1);
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("0"));

    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(storedAccount("first").port, 995);
    EXPECT_EQ(storedAccount("second").port, 0);
}

TEST_F(PreferencesDialogTest, NewAndRenameRefuseBadNames)
{
    struct Case {
        const char* button;
        const char* name;
        const char* message;  // nullptr: accepted
    } cases[] = {
        {"newAccountButton", "", "You have to enter account's name !"},
        {"newAccountButton", "home", "The account you want to create is allready in the list!"},
        {"newAccountButton", "HOME", "The account you want to create is allready in the list!"},
        {"newAccountButton", "a\\b", "The account's name can't contain \"\\\" !"},
        {"renameAccountButton", "", "You have to enter account's name !"},
        {"renameAccountButton", "work", "The account you want to rename is already in the list!"},
        {"renameAccountButton", "Work", "The account you want to rename is already in the list!"},
        {"renameAccountButton", "home", "The account you want to rename is already in the list!"},  // its own name
        {"renameAccountButton", "a\\b", "The account's name can't contain \"\\\" !"},
        {"renameAccountButton", "Home", nullptr},  // a change of case of its own name
        {"renameAccountButton", "house", nullptr},
        {"newAccountButton", "third", nullptr},
    };
    for (const auto& c : cases) {
        writeAccount({QStringLiteral("home"), {}, {}, {}, 110, 1});
        writeAccount({QStringLiteral("work"), {}, {}, {}, 110, 1});
        auto form = opened();
        control<QLineEdit>(form, "accountNameEdit")->setText(q(c.name));
        control<QPushButton>(form, c.button)->click();
        if (c.message) {
            ASSERT_EQ(env.boxes.shown.size(), 1u) << c.name;
            EXPECT_EQ(env.boxes.shown[0].text, q(c.message));
            EXPECT_EQ(env.boxes.shown[0].caption, q(pref::kMailCaption));
            EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Error);
            EXPECT_EQ(listLines(*form), (QStringList{"home", "work"})) << c.name;
        } else {
            EXPECT_TRUE(env.boxes.shown.empty()) << c.name;
            EXPECT_TRUE(listLines(*form).contains(q(c.name))) << c.name;
            control<QPushButton>(form, "okButton")->click();
            EXPECT_TRUE(subkeyNames(HKCU, q(rk::kEmailAccounts)).contains(q(c.name))) << c.name;
            EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)).size(),
                      c.button == std::string_view("newAccountButton") ? 3 : 2);
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
    ASSERT_EQ(control<QListWidget>(form, "accountList")->count(), 20);

    typeNewAccount(*form, QStringLiteral("acc3"));
    typeNewAccount(*form, QStringLiteral("acc20"));
    EXPECT_EQ(env.boxes.texts(),
              (QStringList{"The account you want to create is allready in the list!", "Maximum can be 20 accounts"}));
    EXPECT_EQ(control<QListWidget>(form, "accountList")->count(), 20);

    control<QPushButton>(form, "okButton")->click();
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
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("11110"));
    EXPECT_EQ(control<QLineEdit>(form, "mailPeriodEdit")->text(), QStringLiteral("12345"));
    control<QListWidget>(form, "accountList")->setCurrentRow(1);
    // Typing is bounded by the edit's own room again.
    control<QLineEdit>(form, "portEdit")->setText(QStringLiteral("99999"));
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("9999"));
    control<QLineEdit>(form, "portEdit")->setText(QStringLiteral("110"));
    control<QPushButton>(form, "okButton")->click();
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
    EXPECT_EQ(control<QLineEdit>(form, "userEdit")->text().size(), pref::kUserChars);
    EXPECT_EQ(control<QLineEdit>(form, "passwordEdit")->text().size(), pref::kPasswordChars);
    EXPECT_EQ(control<QLineEdit>(form, "hostEdit")->text().size(), pref::kHostChars);
    control<QLineEdit>(form, "accountNameEdit")->setText(longText);
    EXPECT_EQ(control<QLineEdit>(form, "accountNameEdit")->text().size(), pref::kAccountNameChars);
    control<QPushButton>(form, "renameAccountButton")->click();
    control<QLineEdit>(form, "portEdit")->setText(QStringLiteral("123456"));
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("1234"));

    control<QPushButton>(form, "okButton")->click();
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
    EXPECT_TRUE(control<QPlainTextEdit>(form, "execLinesEdit")->toPlainText().isEmpty());
    EXPECT_EQ(control<QListWidget>(form, "accountList")->count(), 0);
    control<QLineEdit>(form, "budgetMoneyEdit")->setText(QStringLiteral("2"));
    control<QLineEdit>(form, "budgetCentsEdit")->setText(QStringLiteral("50"));
    control<QLineEdit>(form, "mailPeriodEdit")->setText(QStringLiteral("5"));
    env.boxes.clear();
    control<QPushButton>(form, "okButton")->click();
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
    EXPECT_EQ(control<QPlainTextEdit>(form, "execLinesEdit")->toPlainText(),
              QStringLiteral("/usr/bin/mail\n/usr/bin/news\n"));
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
    ASSERT_EQ(control<QListWidget>(form, "accountList")->count(), 20);
    EXPECT_EQ(control<QListWidget>(form, "accountList")->item(0)->text(), QStringLiteral("noport"));
    EXPECT_EQ(control<QLineEdit>(form, "userEdit")->text(), QStringLiteral("kept"));
    EXPECT_EQ(control<QLineEdit>(form, "portEdit")->text(), QStringLiteral("110"));
    EXPECT_EQ(control<QListWidget>(form, "accountList")->item(19)->text(), QStringLiteral("m18"));
    control<QListWidget>(form, "accountList")->setCurrentRow(19);
    EXPECT_EQ(control<QLineEdit>(form, "userEdit")->text(), QStringLiteral("u18"));

    // Saved again whole, so the mail checker reads it too.
    control<QPushButton>(form, "okButton")->click();
    EXPECT_EQ(subkeyNames(HKCU, q(rk::kEmailAccounts)).size(), 20);
    const Account kept = storedAccount("noport");
    EXPECT_EQ(kept.host, QStringLiteral("pop.kept"));
    EXPECT_EQ(kept.port, 110);
    EXPECT_EQ(kept.checked, 1);
}

}  // namespace
