// The start-up loads of Preferences and Open report without their windows: the store,
// the messages and the editor in use come out as when the windows were made for them.
#include "support/Fakes.h"
#include "support/StartedProgram.h"
#include "support/core/RegistryShorthand.h"

#include "common/RegistryNames.h"
#include "dialtally/core/PreferencesSettings.h"
#include "dialtally/core/ReportFiles.h"
#include "dialtally/gui/MainWindow.h"
#include "dialtally/gui/OpenReportDialog.h"
#include "dialtally/gui/PreferencesDialog.h"
#include "dialtally/gui/SplashWindow.h"
#include "dialtally/gui/StartUpLoads.h"
#include "platform/gui/Application.h"

#include <QDir>

#include <gtest/gtest.h>

#include <functional>

using namespace testing_support;

namespace {

// Every key and value below `path`, one line each, in a stable order.
void dumpKey(RootKey root, const QString& path, QStringList& lines)
{
    platform::Registry r;
    r.setRootKey(root);
    if (!r.openKey(path, false))
        return;
    for (const QString& name : r.getValueNames()) {
        QString data;
        switch (r.valueType(name)) {
        case platform::ValueType::Integer:
            data = QString::number(r.readInteger(name));
            break;
        case platform::ValueType::String:
            data = QLatin1Char('"') + r.readString(name) + QLatin1Char('"');
            break;
        default:
            data = QString::fromLatin1(r.readBinary(name).toHex());
        }
        lines << path + QLatin1Char(':') + name + QLatin1Char('=') + data;
    }
    const QStringList subkeys = r.getKeyNames();
    r.closeKey();
    lines << path + QStringLiteral(" (key)");
    for (const QString& subkey : subkeys)
        dumpKey(root, path + QLatin1Char('\\') + subkey, lines);
}

struct Outcome {
    QStringList store;
    QStringList boxes;
    QString editor;
    bool reportsFolder = false;
};

// The lines of `a` that `b` lacks.
QStringList missingFrom(const QStringList& a, const QStringList& b)
{
    QStringList missing;
    for (const QString& line : a)
        if (!b.contains(line))
            missing << line;
    return missing;
}

// A started program whose store `arrange` changed, then the start-up loads: by making
// the two windows, as the program once did, or without them.
Outcome startWith(const std::function<void()>& arrange, bool makeTheWindows)
{
    TestEnvironment env;
    setSplashRunner([](SplashWindow& splash) { splash.closeTimerElapsed(); });
    env.install(1);
    env.setWindowsUser(QStringLiteral("alice"));
    startProgram();
    Outcome outcome;
    if (!mainWindow) {
        ADD_FAILURE() << "no main window";
        return outcome;
    }
    arrange();
    env.boxes.clear();
    reports::EditorPath.clear();
    MonitoringSession& session = mainWindow->session();
    if (makeTheWindows) {
        platform::guard([&] { PreferencesDialog loaded(session, mainWindow->tray()); });
        platform::guard([&] { OpenReportDialog prepared(session); });
    } else {
        prepareDialogsAtStart(session);
    }
    for (const platform::MessageRequest& box : env.boxes.shown)
        outcome.boxes << box.caption + QStringLiteral(": ") + box.text + QStringLiteral(" (icon ")
                             + QString::number(int(box.icon)) + QLatin1Char(')');
    outcome.editor = reports::EditorPath;
    outcome.reportsFolder = QDir(reports::reportsFolder(session.programPath())).exists();
    endProgram();
    setSplashRunner({});
    for (RootKey root : {HKCU, HKLM})
        dumpKey(root, QStringLiteral("\\Software"), outcome.store);
    // Each start has folders of its own.
    for (const QString& folder : {env.programFolder(), env.configHome(), env.dataHome()})
        outcome.store.replaceInStrings(QDir::toNativeSeparators(folder), QStringLiteral("<folder>"))
            .replaceInStrings(folder, QStringLiteral("<folder>"));
    return outcome;
}

void removeValue(const char* key, const char* name)
{
    platform::Registry r;
    r.setRootKey(HKCU);
    ASSERT_TRUE(r.openKey(q(key), false));
    r.deleteValue(q(name));
}

TEST(StartUpLoads, LeaveTheStoreAndSayWhatTheWindowsDid)
{
    const struct {
        const char* name;
        std::function<void()> arrange;
        int boxes;
    } cases[] = {
        {"as the installation left it: the missing keys are made", [] {}, 0},
        {"stored numbers that their edits refuse, an account's port among them",
         [] {
             writeInt(HKCU, q(rk::kSoftware), q(rk::vConnectDelay), -5);
             writeInt(HKCU, q(rk::kBudget), q(rk::vBudgetMoney), -1);
             writeInt(HKCU, q(rk::kBudget), q(rk::vBudgetCents), -20);
             writeInt(HKCU, q(rk::kEmail), q(rk::vMinutes), -7);
             const QString account = pref::accountKey(QStringLiteral("Home"));
             writeStr(HKCU, account, q(rk::vAccountUser), QStringLiteral("alice"));
             writeStr(HKCU, account, q(rk::vAccountHost), QStringLiteral("pop.home"));
             writeInt(HKCU, account, q(rk::vAccountPort), -3);
             writeInt(HKCU, account, q(rk::vAccountChecked), 1);
         },
         5},
        {"a value the first page needs is gone: the load stops there",
         [] { removeValue(rk::kSoftware, rk::vMaxd); }, 1},
        {"an editor chosen before, and a program list",
         [] {
             writeStr(HKCU, q(rk::kSoftware), q(rk::vEditor), QStringLiteral("/usr/bin/vi"));
             writeInt(HKCU, q(rk::kExec), q(rk::vLines), 1);
             writeStr(HKCU, q(rk::kExec), q(rk::vLinePrefix) + "0", QStringLiteral("/usr/bin/mail"));
         },
         0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const Outcome withWindows = startWith(c.arrange, true);
        const Outcome without = startWith(c.arrange, false);
        EXPECT_EQ(without.boxes.join('\n').toStdString(), withWindows.boxes.join('\n').toStdString());
        EXPECT_EQ(missingFrom(withWindows.store, without.store).join('\n').toStdString(), "")
            << "not made without the windows";
        EXPECT_EQ(missingFrom(without.store, withWindows.store).join('\n').toStdString(), "")
            << "made only without the windows";
        EXPECT_EQ(without.store.join('\n').toStdString(), withWindows.store.join('\n').toStdString())
            << "in another order";
        EXPECT_EQ(without.editor, withWindows.editor);
        EXPECT_EQ(without.reportsFolder, withWindows.reportsFolder);
        // The fixture means what it says.
        EXPECT_EQ(withWindows.boxes.size(), c.boxes) << withWindows.boxes.join(" | ").toStdString();
        EXPECT_TRUE(withWindows.reportsFolder);
        EXPECT_FALSE(withWindows.editor.isEmpty());
    }
}

}  // namespace
