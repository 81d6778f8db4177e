// The application object: title, hint, help file, minimize and restore with their
// events, and the standard display of an error that ends an action.
#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QWidget>

class QTimer;

#include <exception>
#include <utility>

namespace platform {

class Application : public QObject {
    Q_OBJECT
public:
    static Application& instance();

    // The title is also the text taskbars show for the minimized main window: while
    // it is minimized its title and icon name, the part of the application's taskbar
    // button the main window carries here. On the screen its caption is its own.
    void setTitle(const QString& title);
    QString title() const { return m_title; }
    void setHint(const QString& hint) { m_hint = hint; }
    QString hint() const { return m_hint; }
    void setHelpFile(const QString& file) { m_helpFile = file; }
    QString helpFile() const { return m_helpFile; }

    void setMainWindow(QWidget* window);
    QWidget* mainWindow() const { return m_mainWindow; }

    bool isMinimized() const;
    // Does nothing when minimized already; else minimizes the main window, then
    // emits minimizeEvent().
    void minimize();
    // Does nothing unless minimized; else brings the main window back in its normal
    // state, then emits restoreEvent().
    void restore();
    // Raises the active modal dialog, else the main window, when it is visible.
    void bringToFront();

    // The main window reports a minimize or restore done by its own title-bar buttons;
    // the event follows once the window's state has stayed so for a moment.
    void mainWindowStateChanged(bool minimized);
    static constexpr int kStateSettleMs = 200;

    // The standard exception display: the text with a full stop added when it lacks
    // one, the title as caption, the error icon.
    void showException(const QString& text);
    void showException(const std::exception& error);

    // Forget state between tests.
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* e) override;

signals:
    void minimizeEvent();
    void restoreEvent();

private:
    Application() = default;
    QString m_title;
    QString m_hint;
    QString m_helpFile;
    void settleWindowState();
    void showTaskbarText();
    void showCaption();
    // The main window's own caption, kept while its title is the taskbar's text.
    QString m_caption;
    bool m_captionAside = false;

    QPointer<QWidget> m_mainWindow;
    bool m_minimized = false;
    bool m_reportedMinimized = false;
    QTimer* m_settle = nullptr;
    // Set while a minimize waits for the window's first showing.
    QPointer<QObject> m_minimizeWhenShown;
};

// Whether Qt will find a display to show windows on. Qt aborts with a cryptic message
// when it has none, so the programs check first and say plainly what is missing.
bool displayAvailable();

// "Failed to get data for 'Logo'" -> "Failed to get data for 'Logo'."
QString withFullStop(const QString& text);

// Runs one action (an event handler, a timer tick, a window creation): an exception
// that leaves it is shown by the standard display and ends that action only.
// Returns false when the action ended with an error.
template <class F>
bool guard(F&& action) noexcept
{
    try {
        std::forward<F>(action)();
        return true;
    } catch (const std::exception& error) {
        Application::instance().showException(error);
    } catch (...) {
        Application::instance().showException(QStringLiteral("Unknown error"));
    }
    return false;
}

// Wraps a member handler for connect(): the handler runs inside guard().
template <class Obj, class... Args>
auto guarded(Obj* object, void (Obj::*handler)(Args...))
{
    return [object, handler](Args... args) { guard([&] { (object->*handler)(args...); }); };
}

}  // namespace platform
