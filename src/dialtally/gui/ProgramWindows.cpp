#include "dialtally/gui/ProgramWindows.h"

#include "dialtally/gui/AboutBox.h"
#include "platform/gui/Application.h"
#include "dialtally/core/ProgramInfo.h"
#include "platform/core/Settings.h"
#include "platform/gui/SessionEnd.h"

#include <QApplication>
#include <QTimer>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace {

constexpr int kTrimAfterStartMs = 3000;

std::size_t index(ProgramWindows::Kept which)
{
    return static_cast<std::size_t>(which);
}

}  // namespace

ProgramWindows::ProgramWindows() = default;

ProgramWindows::~ProgramWindows()
{
    auto& app = platform::Application::instance();
    if (m_mainWindow && app.mainWindow() == m_mainWindow.get())
        app.setMainWindow(nullptr);
    while (!m_made.empty()) {
        delete m_made.back().data();
        m_made.pop_back();
    }
    if (m_mainWindow)
        m_mainWindow->setAboutBox({});
    m_aboutBox.reset();
    m_mainWindow.reset();
}

AboutBox& ProgramWindows::aboutBox()
{
    if (!m_aboutBox)
        m_aboutBox = std::make_unique<AboutBox>();
    return *m_aboutBox;
}

QWidget* ProgramWindows::dialog(Kept which)
{
    QPointer<QWidget>& kept = m_kept[index(which)];
    const mainwindow::WindowFactory& factory = m_factories[index(which)];
    if (kept || !factory || !m_mainWindow)
        return kept;
    // The making is an action of its own, as the main window's is: an error in it is
    // shown and the program goes on.
    platform::guard([&] {
        std::unique_ptr<QWidget> window = factory(*m_mainWindow);
        if (window) {
            kept = window.release();
            m_made.emplace_back(kept);
        }
    });
    return kept;
}

int ProgramWindows::run(RunMode mode, mainwindow::DialogCommands dialogs)
{
    m_factories = {dialogs.createPreferences, dialogs.createBeep, dialogs.createCounter, dialogs.createStatistics,
                   dialogs.createOpenReport};
    platform::guard([this, mode, &dialogs] {
        auto& app = platform::Application::instance();
        app.setTitle(QString::fromLatin1(program::kApplicationTitle));

        m_mainWindow = std::make_unique<MainWindow>(std::move(dialogs));
        app.setMainWindow(m_mainWindow.get());
        platform::guard([this] { m_mainWindow->startUp(); });
        m_mainWindow->setAboutBox([this]() -> AboutBox& { return aboutBox(); });
        // The dialogs are made when first asked for: a program that spends its days in
        // the tray should not keep windows that may never be opened.
        if (const mainwindow::Command& prepare = m_mainWindow->dialogs().prepareAtStart)
            prepare(*m_mainWindow);

        m_mainWindow->show();

        const int minimize = settings::Settings().get(settings::Minimize, settings::Opening::ExistingKey);
        if (minimize != 0)
            app.minimize();

        // A session that ended during the start-up closed the window already.
        if (mode == RunMode::MessageLoop && !platform::sessionEnded()) {
#if defined(__GLIBC__)
            // The start-up (the logo, the windows' first layouts, the tray icon's first
            // pictures) leaves freed memory spread over the heap, which the allocator
            // keeps for the program's whole life in the tray: given back once the first
            // pictures are on the screen.
            QTimer::singleShot(kTrimAfterStartMs, [] { malloc_trim(0); });
#endif
            QApplication::exec();
        }
    });
    return 0;
}
