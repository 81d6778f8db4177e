// Test doubles for the platform seams of the display, on top of the core half.
#pragma once

#include "support/core/CoreFakes.h"

#include "platform/gui/Application.h"
#include "platform/gui/Help.h"
#include "platform/gui/MessageBox.h"
#include "platform/gui/Taskbar.h"
#include "platform/gui/Tray.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

namespace testing_support {

class FakeMessageBoxes : public platform::MessageBoxes {
public:
    platform::Answer show(const platform::MessageRequest& request) override;
    // Answers given in turn to boxes with Yes/No; OK boxes answer Ok. With no queued
    // answer a Yes/No box answers Yes.
    void queueAnswer(platform::Answer answer) { m_answers.push_back(answer); }
    // Runs while a box is "open", to test what happens inside its modal loop.
    std::function<void(const platform::MessageRequest&)> whileOpen;

    std::vector<platform::MessageRequest> shown;
    QStringList texts() const;
    void clear() { shown.clear(); }

private:
    std::deque<platform::Answer> m_answers;
};

class FakeHelp : public platform::Help {
public:
    struct Call {
        enum Kind { Contents, Context, Topic } kind;
        QString file;
        int context = 0;
        QString topic;
    };
    void contents(const QString& file) override { calls.push_back({Call::Contents, file, 0, {}}); }
    void context(const QString& file, int n) override { calls.push_back({Call::Context, file, n, {}}); }
    void topic(const QString& file, const QString& t) override { calls.push_back({Call::Topic, file, 0, t}); }
    std::vector<Call> calls;
};

class FakeTray : public platform::TrayIcon {
public:
    bool isAvailable() const override { return available; }
    bool add(const QIcon&) override;
    bool modify(const QString& tip, const QIcon&) override;
    bool remove() override;
    bool exists() const override { return m_exists; }
    QString tip() const override { return m_tip; }
    // Simulates a click on the icon.
    void click(tray::Click click) { deliver(click); }
    // A notification area that starts after the program.
    void appear()
    {
        available = true;
        trayAppeared();
    }

    bool available = true;
    int adds = 0;
    int modifies = 0;
    int removes = 0;

private:
    bool m_exists = false;
    QString m_tip;
};

class FakeTaskbar : public platform::TaskbarButton {
public:
    void hide() override
    {
        m_shown = false;
        ++hides;
    }
    void show() override
    {
        m_shown = true;
        ++shows;
    }
    bool isShown() const override { return m_shown; }
    int hides = 0;
    int shows = 0;

private:
    bool m_shown = true;
};

// The core fixture with the display's seams replaced too: message boxes, help, the
// tray icon and the taskbar button, and a fresh application object.
class TestEnvironment : public CoreEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();

    FakeMessageBoxes boxes;
    FakeHelp help;
    FakeTray tray;
    FakeTaskbar taskbar;
};

// Delivers the calls queued for the event loop, as its next turn would (the main
// window shows the messages of a tick that way), without firing any timer.
void showRaisedMessages();

// What desktop-file-validate says of a desktop entry: empty when it passes without a
// word (its warnings and hints count as faults too).
QString desktopEntryProblems(const QString& file);
// The value of `key` in a desktop entry as written, "<no entry>" or "<no KEY>" else.
QString desktopEntryField(const QString& file, const QString& key);

}  // namespace testing_support
