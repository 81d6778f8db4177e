// The About box.
#include "support/Controls.h"
#include "support/Fakes.h"

#include "platform/gui/Application.h"
#include "dialtally/gui/AboutBox.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

using testing_support::control;

namespace {

TEST(About, HelpOpensTopicFiveAndOkCloses)
{
    testing_support::TestEnvironment env;
    platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    AboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(box.size(), QSize(354, 402));
    EXPECT_EQ(control<QPushButton>(box, "okButton")->text(), QStringLiteral("OK"));
    EXPECT_EQ(control<QPushButton>(box, "helpButton")->text(), QStringLiteral("&Help"));

    box.open();
    EXPECT_FALSE(control<QLabel>(box, "logo")->pixmap().isNull());
    control<QPushButton>(box, "helpButton")->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].kind, testing_support::FakeHelp::Call::Context);
    EXPECT_EQ(env.help.calls[0].context, 5);
    EXPECT_EQ(env.help.calls[0].file, env.programFolder() + "/Dialtally Help.hlp");
    EXPECT_TRUE(box.isVisible());
    control<QPushButton>(box, "okButton")->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), 1);
    // Drawn again at the next showing; the picture is not kept while the box is hidden.
    EXPECT_TRUE(control<QLabel>(box, "logo")->pixmap().isNull());
    box.open();
    EXPECT_FALSE(control<QLabel>(box, "logo")->pixmap().isNull());
    box.done(1);
}

}  // namespace
