#include "platform/gui/Taskbar.h"

#include "platform/gui/Application.h"
#include "platform/gui/WindowHints.h"

#include <QWidget>

namespace platform {

namespace {

// On a Linux desktop the main window itself carries the taskbar entry. Hiding the
// entry of a minimized program hides its window (it lives on in the tray); a window on
// screen asks the taskbars not to list it, and where a window manager does not follow
// that hint the entry stays, so the program can never be lost.
class WindowTaskbarButton : public TaskbarButton {
public:
    void hide() override
    {
        m_shown = false;
        QWidget* window = Application::instance().mainWindow();
        if (!window)
            return;
        setSkipTaskbar(*window, true);
        if (Application::instance().isMinimized())
            window->hide();
    }

    void show() override
    {
        m_shown = true;
        QWidget* window = Application::instance().mainWindow();
        if (!window)
            return;
        setSkipTaskbar(*window, false);
        if (!window->isVisible() && Application::instance().isMinimized())
            window->showMinimized();
    }

    bool isShown() const override { return m_shown; }

private:
    bool m_shown = true;
};

TaskbarButton* g_button = nullptr;

}  // namespace

TaskbarButton& taskbarButton()
{
    static WindowTaskbarButton real;
    return g_button ? *g_button : real;
}

void setTaskbarButton(TaskbarButton* button)
{
    g_button = button;
}

}  // namespace platform
