// What the tests of the two tariff dialogs both set up and read back: the profile and
// day-slot values in the registry, and a started program whose charging they check.
#pragma once

#include "support/Fakes.h"

#include "platform/core/Registry.h"
#include "common/RegistryNames.h"
#include "dialtally/gui/TariffProfilesDialog.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/gui/MainWindow.h"
#include "support/StartedProgram.h"

#include <QCoreApplication>
#include <QDialog>
#include <QElapsedTimer>
#include <QWindow>

#include <gtest/gtest.h>

#include <ostream>
#include <vector>

namespace tariff_fixtures {

using testing_support::endProgram;
using testing_support::mainWindow;
using testing_support::startProgram;

inline constexpr platform::RootKey HKCU = platform::RootKey::CurrentUser;

inline QString q(const char* text)
{
    return QString::fromLatin1(text);
}

// The values of a day slot in the order they are written, and of a profile.
inline QStringList slotValueOrder()
{
    namespace rk = regkeys;
    return {q(rk::vOcpDay),           q(rk::vDayCost),        q(rk::vNightCost),
            q(rk::vStartingInterval), q(rk::vEndingInterval), q(rk::vSlotTariffProfile)};
}

inline QStringList dayKeys()
{
    QStringList keys;
    for (int d = 0; d < 8; ++d)
        keys << tariffoptions::slotDayKey(d);
    return keys;
}

// Built here rather than taken from the dialog, so that a wrong key there shows.
inline QString profileKey(const QString& name)
{
    return q(regkeys::kTariffProfile) + QLatin1Char('\\') + name;
}

struct Numbers {
    int start, end, day, night, ocp;
    bool operator==(const Numbers&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Numbers& n)
{
    return out << "{" << n.start << ", " << n.end << ", " << n.day << ", " << n.night << ", " << n.ocp << "}";
}

struct Slot {
    QString profile;
    Numbers numbers;
    bool operator==(const Slot&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Slot& s)
{
    return out << '"' << s.profile.toStdString() << "\" " << s.numbers;
}

inline const Slot kEmptySlot{QString(), {0, 0, 0, 0, 0}};

inline void writeProfile(const QString& name, Numbers n)
{
    namespace rk = regkeys;
    using testing_support::writeInt;
    const QString key = profileKey(name);
    writeInt(HKCU, key, q(rk::vStartingInterval), n.start);
    writeInt(HKCU, key, q(rk::vEndingInterval), n.end);
    writeInt(HKCU, key, q(rk::vDayCost), n.day);
    writeInt(HKCU, key, q(rk::vNightCost), n.night);
    writeInt(HKCU, key, q(rk::vOcpd), n.ocp);
}

inline Slot storedSlot(const QString& provider, const QString& day)
{
    namespace rk = regkeys;
    using testing_support::readInt;
    using testing_support::readStr;
    const QString key = testing_support::tariffSlotKey(provider, day);
    return {readStr(HKCU, key, q(rk::vSlotTariffProfile)),
            {readInt(HKCU, key, q(rk::vStartingInterval)), readInt(HKCU, key, q(rk::vEndingInterval)),
             readInt(HKCU, key, q(rk::vDayCost)), readInt(HKCU, key, q(rk::vNightCost)),
             readInt(HKCU, key, q(rk::vOcpDay))}};
}

inline QStringList subkeys(const QString& path)
{
    platform::Registry r;
    r.setRootKey(HKCU);
    if (!r.openKey(path, false))
        return {QStringLiteral("<no key>")};
    return r.getKeyNames();
}

inline QStringList valueNames(const QString& path)
{
    platform::Registry r;
    r.setRootKey(HKCU);
    if (!r.openKey(path, false))
        return {QStringLiteral("<no key>")};
    return r.getValueNames();
}

// Lets the event loop run until `count` boxes have been shown, two seconds at most.
inline void waitForBoxes(const testing_support::FakeMessageBoxes& boxes, std::size_t count)
{
    QElapsedTimer elapsed;
    elapsed.start();
    while (boxes.shown.size() < count && elapsed.elapsed() < 2000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
}

// Notes for every box whether it came owned by `dialog` with the dialog on the screen.
inline void noteWhetherInSight(testing_support::FakeMessageBoxes& boxes, const QDialog& dialog,
                               std::vector<bool>& inSight)
{
    boxes.whileOpen = [&dialog, &inSight](const platform::MessageRequest& request) {
        const QWindow* window = dialog.windowHandle();
        inSight.push_back(request.owner == platform::MessageOwner::Window && request.window == &dialog
                          && dialog.isVisible() && window && window->isExposed());
    };
}

// The program started on a Friday noon, with "ISP" the default dial-up entry.
class StartedProgramTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        startProgram();
        env.boxes.clear();
    }
    void TearDown() override
    {
        endProgram();
        setSplashRunner({});
    }
    void startProgram()
    {
        setSplashRunner([](SplashWindow& splash) { splash.closeTimerElapsed(); });
        env.clock.set(2000, 1, 7, 12, 0, 0);  // a Friday
        env.install(1);
        env.setWindowsUser(QStringLiteral("alice"));
        testing_support::startProgram();
        ASSERT_NE(mainWindow, nullptr);
        testing_support::writeStr(HKCU, q(regkeys::kRemoteAccess), q(regkeys::vDefault), QStringLiteral("ISP"));
    }

    testing_support::TestEnvironment env;
};

}  // namespace tariff_fixtures
