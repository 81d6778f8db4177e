// The program's taskbar entry as one object, whichever window carries it on the
// desktop: the main window hides it in tray mode, the splash while it is up.
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
