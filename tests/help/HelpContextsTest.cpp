// Every window with a Help button: the context its button and its F1 key open, and the
// section of the help document a reader lands on there.
#include "support/Fakes.h"
#include "support/HelpDocument.h"

#include "platform/gui/Application.h"
#include "platform/gui/Help.h"
#include "dialtally/gui/TimeSyncDialog.h"
#include "dialtally/gui/TariffProfilesDialog.h"
#include "dialtally/gui/GraphsDialog.h"
#include "dialtally/gui/StatisticsDialog.h"
#include "dialtally/gui/AboutBox.h"
#include "dialtally/gui/BeepDialog.h"
#include "dialtally/gui/MainWindow.h"
#include "dialtally/gui/ConnectionsDialog.h"
#include "dialtally/gui/PreferencesDialog.h"
#include "dialtally/gui/CounterDialog.h"
#include "dialtally/gui/ProvidersDialog.h"

#include <QApplication>
#include <QDialog>
#include <QKeyEvent>
#include <QPushButton>

#include <gtest/gtest.h>

#include <type_traits>

#include <functional>
#include <memory>

using testing_support::FakeHelp;
using testing_support::helpSectionHeading;
using testing_support::TestEnvironment;

namespace {

struct Window {
    const char* caption;
    std::function<std::unique_ptr<QDialog>(MainWindow&)> make;
    int buttonContext;
    const char* buttonHeading;
    int keyContext;
    const char* keyHeading;
};

template <class Dialog>
std::unique_ptr<QDialog> with(MainWindow& main)
{
    if constexpr (std::is_constructible_v<Dialog, MonitoringSession&, TrayController&>)
        return std::make_unique<Dialog>(main.session(), main.tray());
    else
        return std::make_unique<Dialog>(main.session());
}

const Window kWindows[] = {
    {"About", [](MainWindow&) { return std::unique_ptr<QDialog>(new AboutBox); }, 5, "About Dialtally", 5,
     "About Dialtally"},
    {"Preferences", with<PreferencesDialog>, 9, "Preferences", 9, "Preferences"},
    {"Beep", with<BeepDialog>, 10, "Beep", 10, "Beep"},
    {"Counter", with<CounterDialog>, 11, "Counter", 11, "Counter"},
    {"Tariffs Options", with<TariffProfilesDialog>, 12, "Tariffs Options", 12, "Tariffs Options"},
    // The Providers dialog explains itself on its button and the tariffs on F1.
    {"Providers", with<ProvidersDialog>, 15, "Providers", 12, "Tariffs Options"},
    {"Connections", with<ConnectionsDialog>, 13, "Connections", 13, "Connections"},
    {"Statistics", with<StatisticsDialog>, 17, "Statistics", 17, "Statistics"},
    {"Graphs", with<GraphsDialog>, 20, "Graphs", 20, "Graphs"},
    {"Time synchronization", with<TimeSyncDialog>, 21, "Time synchronization", 21, "Time synchronization"},
};

QPushButton* helpButtonOf(QWidget& window)
{
    for (QPushButton* button : window.findChildren<QPushButton*>())
        if (button->text() == QLatin1String("&Help"))
            return button;
    return nullptr;
}

// F1 goes where the user's keys go: to the control with the focus, which hands it on.
void pressF1In(QWidget& window)
{
    QWidget* target = window.focusWidget();
    if (!target) {
        for (QWidget* child : window.findChildren<QWidget*>())
            if (child->focusPolicy() & Qt::TabFocus) {
                target = child;
                break;
            }
    }
    if (!target)
        target = &window;
    QKeyEvent press(QEvent::KeyPress, Qt::Key_F1, Qt::NoModifier);
    QApplication::sendEvent(target, &press);
}

class HelpContexts : public ::testing::Test {
protected:
    HelpContexts()
    {
        env.install(0);
        main.session().writeDefaultSettings();
        helpFile = env.programFolder() + "/Dialtally Help.hlp";
        platform::Application::instance().setHelpFile(helpFile);
        env.help.calls.clear();
        env.boxes.clear();
    }

    TestEnvironment env;
    MainWindow main;
    QString helpFile;
};

TEST_F(HelpContexts, EveryHelpButtonAndF1LandOnTheSectionOfItsWindow)
{
    for (const Window& w : kWindows) {
        SCOPED_TRACE(w.caption);
        env.help.calls.clear();
        std::unique_ptr<QDialog> window = w.make(main);
        EXPECT_EQ(window->windowTitle().toStdString(), w.caption);
        window->open();

        QPushButton* button = helpButtonOf(*window);
        ASSERT_NE(button, nullptr);
        button->click();
        pressF1In(*window);

        ASSERT_EQ(env.help.calls.size(), 2u);
        for (const FakeHelp::Call& call : env.help.calls) {
            EXPECT_EQ(call.kind, FakeHelp::Call::Context);
            EXPECT_EQ(call.file, helpFile);
        }
        EXPECT_EQ(env.help.calls[0].context, w.buttonContext);
        EXPECT_EQ(env.help.calls[1].context, w.keyContext);
        EXPECT_EQ(helpSectionHeading(platform::helpContextTopic(env.help.calls[0].context)).toStdString(),
                  w.buttonHeading);
        EXPECT_EQ(helpSectionHeading(platform::helpContextTopic(env.help.calls[1].context)).toStdString(),
                  w.keyHeading);
        window->reject();
    }
}

}  // namespace
