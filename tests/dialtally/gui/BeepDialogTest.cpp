// The Beep dialog: loading, the interval check, OK, Enter, Cancel, and the hand-over
// of the settings to the main window's beeper.
#include "support/Controls.h"
#include "support/Fakes.h"
#include "support/core/RegistryShorthand.h"
#include "support/core/SessionProbe.h"

#include "platform/gui/Application.h"
#include "common/RegistryNames.h"
#include "dialtally/gui/BeepDialog.h"
#include "dialtally/gui/MainWindow.h"
#include "support/StartedProgram.h"

#include <QApplication>
#include <QCheckBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include <gtest/gtest.h>

using namespace testing_support;

namespace {

void press(QWidget* widget, int key, const QString& text = {})
{
    QKeyEvent event(QEvent::KeyPress, key, Qt::NoModifier, text);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

TEST(BeepInterval, TextsAsTheyAreTyped)
{
    struct Case {
        const char* text;
        int wrong;
        bool rejected;
    };
    const Case cases[] = {
        {"15", 0, false},
        {"05", 0, false},
        {"", 0, false},
        {"a", 1, false},
        {"1a2b", 2, false},
        {"-5", 1, false},
        {" 5", 1, false},
        {"0", 0, true},
        {"000", 0, true},
        {"2147483647", 0, false},
        {"2147483648", 0, true},
        {"9999999999999999999", 0, true},
        {"1234567890123456789x", 0, true},  // the 20th character is past what is read
    };
    for (const Case& c : cases) {
        const auto check = beep::checkIntervalText(QString::fromLatin1(c.text));
        EXPECT_EQ(check.wrongCharacters, c.wrong) << c.text;
        EXPECT_EQ(check.rejectedValue, c.rejected) << c.text;
    }
    EXPECT_EQ(beep::intervalOf(QStringLiteral("05")), 5);
}

class BeepDialogTest : public ::testing::Test {
protected:
    BeepDialogTest()
    {
        env.install();
        writeInt(HKCU, rk::kBeep, rk::vBeepEnabled, 1);
        writeInt(HKCU, rk::kBeep, rk::vBeepInterval, 15);
        writeInt(HKCU, rk::kBeep, rk::vBeepSound, 3);
        SessionProbe::beepEnabled(main.session()) = true;
        SessionProbe::beepInterval(main.session()) = 15;
        SessionProbe::beepSound(main.session()) = 3;
        platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    }

    int stored(const char* name) { return readInt(HKCU, rk::kBeep, name); }

    TestEnvironment env;
    MainWindow main;
};

TEST_F(BeepDialogTest, ShowingLoadsTheSettingsEveryTime)
{
    BeepDialog dialog(main.session());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Beep"));
    dialog.show();
    EXPECT_TRUE(control<QCheckBox>(dialog, "beepOnCheck")->isChecked());
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalEdit")->text(), QStringLiteral("15"));
    EXPECT_TRUE(control<QLineEdit>(dialog, "intervalEdit")->isEnabled());
    EXPECT_EQ(dialog.checkedSound(), 3);
    EXPECT_EQ(control<QRadioButton>(dialog, "defaultSoundRadio")->toolTip(), QStringLiteral("Select the sound !"));
    control<QCheckBox>(dialog, "beepOnCheck")->click();
    EXPECT_FALSE(control<QLineEdit>(dialog, "intervalEdit")->isEnabled());
    control<QPushButton>(dialog, "cancelButton")->click();

    writeInt(HKCU, rk::kBeep, rk::vBeepEnabled, 0);
    writeInt(HKCU, rk::kBeep, rk::vBeepInterval, 40);
    writeInt(HKCU, rk::kBeep, rk::vBeepSound, 9);  // no button: the last choice stays
    dialog.show();
    EXPECT_FALSE(control<QCheckBox>(dialog, "beepOnCheck")->isChecked());
    EXPECT_FALSE(control<QLineEdit>(dialog, "intervalEdit")->isEnabled());
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalEdit")->text(), QStringLiteral("40"));
    EXPECT_EQ(dialog.checkedSound(), 3);
    EXPECT_TRUE(env.boxes.shown.empty());

    control<QPushButton>(dialog, "helpButton")->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].context, 10);
}

TEST_F(BeepDialogTest, AWrongIntervalSaysSoOncePerWrongCharacterAndRestoresTheCurrentOne)
{
    BeepDialog dialog(main.session());
    dialog.show();
    SessionProbe::beepInterval(main.session()) = 20;  // what the main window holds now

    control<QLineEdit>(dialog, "intervalEdit")->clear();
    press(control<QLineEdit>(dialog, "intervalEdit"), Qt::Key_A, QStringLiteral("a"));
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    EXPECT_EQ(env.boxes.shown[0].text, QStringLiteral("Incorrect number !"));
    EXPECT_EQ(env.boxes.shown[0].caption, QStringLiteral("Dialtally 2.01"));
    EXPECT_EQ(env.boxes.shown[0].icon, platform::MessageIcon::Exclamation);
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalEdit")->text(), QStringLiteral("20"));

    struct Case {
        const char* text;
        std::size_t messages;
        const char* after;
    };
    const Case cases[] = {{"1a2b", 2, "20"}, {"0", 1, "20"}, {"000", 1, "20"}, {"05", 0, "05"}, {"", 0, ""}};
    for (const Case& c : cases) {
        env.boxes.clear();
        control<QLineEdit>(dialog, "intervalEdit")->setText(QString::fromLatin1(c.text));
        dialog.intervalChanged();
        EXPECT_EQ(env.boxes.shown.size(), c.messages) << c.text;
        EXPECT_EQ(control<QLineEdit>(dialog, "intervalEdit")->text(), QString::fromLatin1(c.after)) << c.text;
    }
}

TEST_F(BeepDialogTest, OkStoresTheSettingsAndHandsThemToTheMainWindowAtOnce)
{
    SessionProbe::elapsedSeconds(main.session()) = 40 * 60;
    SessionProbe::beepCount(main.session()) = 1;
    BeepDialog dialog(main.session());
    dialog.show();
    control<QLineEdit>(dialog, "intervalEdit")->setText(QStringLiteral("05"));
    control<QRadioButton>(dialog, "handSoundRadio")->setChecked(true);
    control<QCheckBox>(dialog, "beepOnCheck")->setChecked(false);
    control<QPushButton>(dialog, "okButton")->click();

    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(stored(rk::vBeepEnabled), 0);
    EXPECT_EQ(stored(rk::vBeepInterval), 5);
    EXPECT_EQ(stored(rk::vBeepSound), 4);
    EXPECT_EQ(main.session().beeps().interval(), 5);
    EXPECT_EQ(main.session().beeps().sound(), 4);
    EXPECT_EQ(main.session().beeps().count(), 9);  // the next whole interval after 40 minutes: 45
    EXPECT_FALSE(main.session().beeps().enabled());  // handed over with the rest, in one command

    // An empty interval keeps the stored one and shows it again.
    dialog.show();
    control<QLineEdit>(dialog, "intervalEdit")->clear();
    control<QRadioButton>(dialog, "defaultSoundRadio")->setChecked(true);
    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(stored(rk::vBeepInterval), 5);
    EXPECT_EQ(main.session().beeps().interval(), 5);
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalEdit")->text(), QStringLiteral("5"));
    EXPECT_EQ(stored(rk::vBeepSound), 1);
}

TEST_F(BeepDialogTest, AZeroLoadedFromTheRegistryIsNeverStored)
{
    writeInt(HKCU, rk::kBeep, rk::vBeepInterval, 0);
    SessionProbe::beepInterval(main.session()) = 15;
    BeepDialog dialog(main.session());
    dialog.show();
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalEdit")->text(), QStringLiteral("0"));
    control<QPushButton>(dialog, "okButton")->click();
    EXPECT_EQ(stored(rk::vBeepInterval), 0);  // left as it was, not written
    EXPECT_EQ(main.session().beeps().interval(), 15);
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalEdit")->text(), QStringLiteral("15"));
}

TEST_F(BeepDialogTest, EnterInTheIntervalIsOkAndCancelSavesNothing)
{
    BeepDialog dialog(main.session());
    dialog.show();
    control<QLineEdit>(dialog, "intervalEdit")->setText(QStringLiteral("30"));
    control<QRadioButton>(dialog, "asteriskSoundRadio")->setChecked(true);
    control<QPushButton>(dialog, "cancelButton")->click();
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(stored(rk::vBeepInterval), 15);
    EXPECT_EQ(stored(rk::vBeepSound), 3);
    EXPECT_EQ(main.session().beeps().interval(), 15);

    dialog.show();
    EXPECT_EQ(control<QLineEdit>(dialog, "intervalEdit")->text(), QStringLiteral("15"));
    control<QLineEdit>(dialog, "intervalEdit")->setText(QStringLiteral("30"));
    press(control<QLineEdit>(dialog, "intervalEdit"), Qt::Key_Return);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), 1);
    EXPECT_EQ(stored(rk::vBeepInterval), 30);
    EXPECT_EQ(main.session().beeps().interval(), 30);
}

TEST_F(BeepDialogTest, SwitchedOnAtFortyMinutesTheNextBeepFallsAtFortyFiveNotInABurst)
{
    writeInt(HKCU, rk::kBeep, rk::vBeepEnabled, 0);
    SessionProbe::beepEnabled(main.session()) = false;
    SessionProbe::lineUp(main.session()) = true;
    SessionProbe::beepCount(main.session()) = 1;
    BeepDialog dialog(main.session());
    mainwindow::DialogCommands commands;
    commands.showBeep = [&](MainWindow&) {
        dialog.show();
        control<QCheckBox>(dialog, "beepOnCheck")->setChecked(true);
        control<QRadioButton>(dialog, "handSoundRadio")->setChecked(true);
        control<QPushButton>(dialog, "okButton")->click();
    };

    SessionProbe::elapsedSeconds(main.session()) = 40 * 60;
    main.setDialogCommands(commands);
    main.showBeep();
    EXPECT_TRUE(main.session().beeps().enabled());
    for (int second = 40 * 60; second < 45 * 60; ++second) {
        SessionProbe::elapsedSeconds(main.session()) = second;
        main.session().beepAtInterval();
    }
    EXPECT_TRUE(env.sounds.beeps.empty());
    SessionProbe::elapsedSeconds(main.session()) = 45 * 60;
    main.session().beepAtInterval();
    main.session().beepAtInterval();
    ASSERT_EQ(env.sounds.beeps.size(), 1u);
    EXPECT_EQ(env.sounds.beeps[0], platform::BeepKind::Hand);
}
