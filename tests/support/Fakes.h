// Test doubles for every platform seam, and the fixture that points the registry and
// the program folder at a temporary folder.
#pragma once

#include "Application.h"
#include "ClockSetter.h"
#include "Help.h"
#include "LocalTime.h"
#include "MessageBox.h"
#include "Process.h"
#include "Registry.h"
#include "Sound.h"
#include "Taskbar.h"
#include "Tray.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <deque>
#include <functional>
#include <memory>
#include <vector>

struct sqlite3;

namespace testing_support {

class FakeClock : public platform::Clock {
public:
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& local) { m_now = local; }
    void set(int y, int mo, int d, int h = 0, int mi = 0, int s = 0)
    {
        m_now = QDateTime(QDate(y, mo, d), QTime(h, mi, s));
    }
    void advance(qint64 seconds) { m_now = m_now.addSecs(seconds); }

private:
    QDateTime m_now = QDateTime(QDate(2000, 1, 1), QTime(12, 0, 0));
};

class FakeMessageBoxes : public platform::MessageBoxes {
public:
    int show(const platform::MessageRequest& request) override;
    // Answers given in turn to boxes with Yes/No; OK boxes answer IDOK. With no queued
    // answer a Yes/No box answers IDYES.
    void queueAnswer(int answer) { m_answers.push_back(answer); }
    // Runs while a box is "open", to test what happens inside its modal loop.
    std::function<void(const platform::MessageRequest&)> whileOpen;

    std::vector<platform::MessageRequest> shown;
    QStringList texts() const;
    void clear() { shown.clear(); }

private:
    std::deque<int> m_answers;
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

class FakeSounds : public platform::Sounds {
public:
    void messageBeep(platform::BeepKind kind) override { beeps.push_back(kind); }
    bool playWave(const QString& file) override
    {
        waves.push_back(file);
        return true;
    }
    std::vector<platform::BeepKind> beeps;
    QStringList waves;
};

class FakeProcesses : public platform::Processes {
public:
    struct Start {
        QString program;
        QStringList arguments;
    };
    bool start(const QString& program, const QStringList& arguments) override;
    // Programs whose start fails.
    QStringList failing;
    std::vector<Start> started;
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
    void click(std::intptr_t mouseMessage) { deliver(mouseMessage); }

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

class FakeClockSetter : public platform::ClockSetter {
public:
    void setTime(const QDateTime& when) override;
    bool refuse = false;
    std::vector<QDateTime> set;
    // Runs when the clock is set, e.g. to move the fake clock.
    std::function<void(const QDateTime&)> onSet;
};

// Arranges a test: a temporary XDG_CONFIG_HOME (so the registry store is a fresh file
// there) and XDG_DATA_HOME (the desktop's entries), a temporary program folder, and
// every seam replaced by its fake. Everything
// is restored when it goes out of scope.
class TestEnvironment {
public:
    TestEnvironment();
    ~TestEnvironment();
    TestEnvironment(const TestEnvironment&) = delete;
    TestEnvironment& operator=(const TestEnvironment&) = delete;

    QString configHome() const { return m_config.path(); }
    QString dataHome() const { return m_data.path(); }
    QString programFolder() const { return m_program.path(); }
    QString registryFile() const;

    // Writes what the installation would: "Program path" and the machine-wide values
    // the programs read before writing them; "FirstTime" as given.
    void install(int firstTime = 1);
    // Sets HKLM "Current User".
    void setWindowsUser(const QString& name);
    // Sets the dial-up line (HKLM "Remote Connection", 4 bytes).
    void setLine(bool up);

    FakeClock clock;
    FakeMessageBoxes boxes;
    FakeHelp help;
    FakeSounds sounds;
    FakeProcesses processes;
    FakeTray tray;
    FakeTaskbar taskbar;
    FakeClockSetter clockSetter;
    platform::Registry registry;  // a free access object for arranging and checking

private:
    QTemporaryDir m_config;
    QTemporaryDir m_data;
    QTemporaryDir m_program;
    QByteArray m_oldConfigHome;
    QByteArray m_oldDataHome;
    bool m_hadConfigHome = false;
    bool m_hadDataHome = false;
};

// Delivers the calls queued for the event loop, as its next turn would (the main
// window shows the messages of a tick that way), without firing any timer.
void showRaisedMessages();

// A second connection to the store that holds its write lock (BEGIN EXCLUSIVE), as
// another program in the middle of a write would; released when it goes.
class StoreLock {
public:
    explicit StoreLock(const QString& file);
    ~StoreLock();
    StoreLock(const StoreLock&) = delete;
    StoreLock& operator=(const StoreLock&) = delete;
    void release();

private:
    sqlite3* m_db = nullptr;
};

// Shortcuts for arranging and checking the registry.
std::int32_t readInt(platform::RootKey root, const QString& key, const QString& name);
QString readStr(platform::RootKey root, const QString& key, const QString& name);
void writeInt(platform::RootKey root, const QString& key, const QString& name, std::int32_t value);
void writeStr(platform::RootKey root, const QString& key, const QString& name, const QString& value);
bool valueExists(platform::RootKey root, const QString& key, const QString& name);

// What desktop-file-validate says of a desktop entry: empty when it passes without a
// word (its warnings and hints count as faults too).
QString desktopEntryProblems(const QString& file);
// The value of `key` in a desktop entry as written, "<no entry>" or "<no KEY>" else.
QString desktopEntryField(const QString& file, const QString& key);

}  // namespace testing_support
