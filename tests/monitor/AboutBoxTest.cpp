// The About box.
#include "Fakes.h"

#include "Application.h"
#include "AboutBox.h"

#include <QLabel>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

TEST(About, HelpOpensTopicFiveAndOkCloses)
{
    testing_support::TestEnvironment env;
    platform::Application::instance().setHelpFile(env.programFolder() + "/Dialtally Help.hlp");
    AboutBox box;
    EXPECT_EQ(box.windowTitle(), QStringLiteral("About"));
    EXPECT_EQ(box.size(), QSize(354, 402));
    EXPECT_EQ(box.BitBtn1->text(), QStringLiteral("OK"));
    EXPECT_EQ(box.BitBtn3->text(), QStringLiteral("&Help"));
    EXPECT_FALSE(box.Image1->pixmap().isNull());

    box.open();
    box.BitBtn3->click();
    ASSERT_EQ(env.help.calls.size(), 1u);
    EXPECT_EQ(env.help.calls[0].kind, testing_support::FakeHelp::Call::Context);
    EXPECT_EQ(env.help.calls[0].context, 5);
    EXPECT_EQ(env.help.calls[0].file, env.programFolder() + "/Dialtally Help.hlp");
    EXPECT_TRUE(box.isVisible());
    box.BitBtn1->click();
    EXPECT_FALSE(box.isVisible());
    EXPECT_EQ(box.result(), 1);
}

}  // namespace
