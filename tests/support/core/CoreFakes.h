// Test doubles for the platform seams that need no display, and the fixture that
// points the registry and the program folder at a temporary folder. Tests of the
// core link this half alone.
#pragma once

#include "platform/core/ClockSetter.h"
#include "platform/core/LocalTime.h"
#include "platform/core/Process.h"
#include "platform/core/Registry.h"
#include "platform/core/Sound.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <functional>
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
// the seams that need no display replaced by their fakes. Everything is restored when
// it goes out of scope.
class CoreEnvironment {
public:
    CoreEnvironment();
    ~CoreEnvironment();
    CoreEnvironment(const CoreEnvironment&) = delete;
    CoreEnvironment& operator=(const CoreEnvironment&) = delete;

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
    FakeSounds sounds;
    FakeProcesses processes;
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
// The key of a provider's tariff slot of one day ("0" .. "6", "Holiday"), as the
// store spells it.
QString tariffSlotKey(const QString& provider, const QString& dayKey);
// One day of a provider's tariffs, at `key` (the slot key of the provider and day).
void writeTariffSlot(const QString& key, const QString& profile, int start, int end, int dayCost, int nightCost,
                     int ocp = 0);

}  // namespace testing_support
