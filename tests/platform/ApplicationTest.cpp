#include "platform/gui/Application.h"
#include "support/Fakes.h"

#include <QEventLoop>
#include <QTimer>
#include <QWidget>

#include <gtest/gtest.h>

#include <stdexcept>

using platform::Application;

namespace {

void waitPastStateSettle()
{
    QEventLoop loop;
    QTimer::singleShot(Application::kStateSettleMs + 100, &loop, &QEventLoop::quit);
    loop.exec();
}

}  // namespace

TEST(Application, GuardShowsTheErrorOnceAndEndsOnlyThatAction)
{
    testing_support::TestEnvironment env;
    Application::instance().setTitle(QStringLiteral("Dialtally v2.01"));
    int after = 0;
    const bool ok = platform::guard([&] {
        throw platform::RegistryError("Failed to get data for 'Logo'");
        ++after;
    });
    EXPECT_FALSE(ok);
    EXPECT_EQ(after, 0);
    ASSERT_EQ(env.boxes.shown.size(), 1u);
    const auto& box = env.boxes.shown[0];
    EXPECT_EQ(box.text, QStringLiteral("Failed to get data for 'Logo'."));
    EXPECT_EQ(box.caption, QStringLiteral("Dialtally v2.01"));
    EXPECT_EQ(box.icon, platform::MessageIcon::Error);

    // A text that ends in a full stop keeps just the one.
    platform::guard([] { throw std::runtime_error("Connection failed."); });
    EXPECT_EQ(env.boxes.shown.back().text, QStringLiteral("Connection failed."));
    EXPECT_TRUE(platform::guard([] {}));
    EXPECT_EQ(env.boxes.shown.size(), 2u);
}

TEST(Application, MinimizeAndRestoreFireTheirEventsOnlyOnAChange)
{
    testing_support::TestEnvironment env;
    QWidget window;
    window.show();
    auto& app = Application::instance();
    app.setMainWindow(&window);
    int minimized = 0;
    int restored = 0;
    QObject::connect(&app, &Application::minimizeEvent, [&] { ++minimized; });
    QObject::connect(&app, &Application::restoreEvent, [&] { ++restored; });

    app.restore();  // not minimized: nothing
    EXPECT_EQ(restored, 0);
    app.minimize();
    app.minimize();
    EXPECT_TRUE(app.isMinimized());
    EXPECT_EQ(minimized, 1);
    app.restore();
    EXPECT_FALSE(app.isMinimized());
    EXPECT_EQ(restored, 1);
    EXPECT_TRUE(window.isVisible());

    // The window's own minimize button raises the same event, once the state stays.
    window.showMinimized();
    app.mainWindowStateChanged(true);
    EXPECT_EQ(minimized, 1);
    waitPastStateSettle();
    EXPECT_EQ(minimized, 2);
}

TEST(Application, TheTitleIsTheMinimizedWindowsTaskbarTextNotItsCaption)
{
    testing_support::TestEnvironment env;
    const QString caption = QStringLiteral("Dialtally 2.01");
    const QString summary = QStringLiteral("Dialtally: [ 0 h. 0 min. 5 sec.0 dol. 0 c. ]");
    QWidget window;
    window.setWindowTitle(caption);
    auto& app = Application::instance();
    app.setTitle(QStringLiteral("Dialtally v2.01"));
    app.setMainWindow(&window);
    EXPECT_EQ(window.windowIconText(), QStringLiteral("Dialtally v2.01"));

    // Minimized from the start, as "Minimize" does without a tray.
    window.showMinimized();
    EXPECT_EQ(window.windowTitle(), QStringLiteral("Dialtally v2.01"));
    window.showNormal();
    EXPECT_EQ(window.windowTitle(), caption);

    // On the screen the window keeps its caption whatever the title says.
    window.show();
    app.setTitle(summary);
    EXPECT_EQ(window.windowIconText(), summary);
    EXPECT_EQ(window.windowTitle(), caption);

    // Minimized, it is only its taskbar entry: that reads the title, and follows it.
    window.showMinimized();
    EXPECT_EQ(window.windowTitle(), summary);
    const QString later = QStringLiteral("Dialtally: [ 0 h. 0 min. 6 sec.0 dol. 0 c. ]");
    app.setTitle(later);
    EXPECT_EQ(window.windowTitle(), later);

    // Back on the screen, and hidden in the tray, the caption is the window's own.
    window.showNormal();
    EXPECT_EQ(window.windowTitle(), caption);
    window.showMinimized();
    window.hide();
    EXPECT_EQ(window.windowTitle(), caption);
    app.reset();
    EXPECT_EQ(window.windowTitle(), caption);
}

TEST(Application, StateChangesOfAHiddenOrBrieflyIconicWindowAreNotTheUsers)
{
    testing_support::TestEnvironment env;
    QWidget window;
    window.show();
    auto& app = Application::instance();
    app.setMainWindow(&window);
    int minimized = 0;
    int restored = 0;
    QObject::connect(&app, &Application::minimizeEvent, [&] { ++minimized; });
    QObject::connect(&app, &Application::restoreEvent, [&] { ++restored; });

    // In the tray: minimized, then hidden; the window manager's late "normal" for the
    // hidden window must not make the application forget that it is minimized.
    app.minimize();
    window.hide();
    app.mainWindowStateChanged(false);
    waitPastStateSettle();
    EXPECT_TRUE(app.isMinimized());
    EXPECT_EQ(restored, 0);

    // So a restore brings the window back on screen.
    app.restore();
    EXPECT_TRUE(window.isVisible());
    EXPECT_FALSE(window.isMinimized());
    EXPECT_EQ(restored, 1);

    // Iconic for a moment while it is mapped, normal right after: no minimize event.
    app.mainWindowStateChanged(true);
    app.mainWindowStateChanged(false);
    waitPastStateSettle();
    EXPECT_EQ(minimized, 1);
    EXPECT_FALSE(app.isMinimized());
}

TEST(Tray, TipIsCutToWhatTheNotificationAreaHolds)
{
    EXPECT_EQ(platform::cutTrayTip(QString(70, QLatin1Char('x'))).size(), 63);
    EXPECT_EQ(platform::cutTrayTip(QStringLiteral("short")), QStringLiteral("short"));
}

TEST(Help, DocumentSitsBesideTheHelpFile)
{
    EXPECT_EQ(platform::helpDocumentFor(QStringLiteral("/opt/dt/Dialtally Help.hlp")),
              QStringLiteral("/opt/dt/Dialtally Help.html"));
    EXPECT_EQ(platform::helpDocumentFor(QStringLiteral("/Dialtally Help.hlp")), QStringLiteral("/Dialtally Help.html"));
    EXPECT_EQ(platform::helpDocumentFor(QStringLiteral("/opt/v1.2/help")), QStringLiteral("/opt/v1.2/help.html"));
}
