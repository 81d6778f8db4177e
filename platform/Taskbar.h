// The program's taskbar button (the application window of the original design).
// hide() and show() stand for hiding and showing that window.
#pragma once

namespace platform {

class TaskbarButton {
public:
    virtual ~TaskbarButton() = default;
    virtual void hide() = 0;
    virtual void show() = 0;
    virtual bool isShown() const = 0;
};

TaskbarButton& taskbarButton();
void setTaskbarButton(TaskbarButton* button);  // nullptr restores the real one

}  // namespace platform
