#include "dialtally/core/StartUpPreparation.h"

#include "dialtally/core/PreferencesSettings.h"
#include "dialtally/core/Report.h"
#include "dialtally/core/ReportFiles.h"
#include "platform/core/Registry.h"
#include "platform/core/Settings.h"

#include <array>

namespace startup {

namespace {

using settings::Opening;

// The window's numeric edits check the text of the stored number: a sign is no digit.
void checkNumber(std::int32_t stored, int limit, NumberBox box, const std::function<void(NumberBox)>& incorrectNumber)
{
    const int bad = pref::nonDigitCount(QString::number(stored), limit);
    for (int i = 0; i < bad; ++i)
        incorrectNumber(box);
}

}  // namespace

void loadPreferences(settings::Settings& store, const std::function<void(NumberBox)>& incorrectNumber)
{
    // The startup and taskbar pages only look: a first start makes these keys.
    store.get(settings::Start, Opening::ExistingKey);
    store.find(settings::AntiCrash, Opening::ExistingKey);
    for (const settings::IntegerSetting* flag : {&settings::Logo, &settings::Minimize, &settings::SystemTray,
                                               &settings::Maxd})
        store.get(*flag, Opening::ExistingKey);
    checkNumber(store.get(settings::ConnectDelay, Opening::ExistingKey), pref::kDigitCheckChars, NumberBox::Program,
                incorrectNumber);
    pref::loadExecList(store);

    store.get(settings::BudgetOn);
    checkNumber(store.get(settings::BudgetMoney), pref::kDigitCheckChars, NumberBox::Program, incorrectNumber);
    checkNumber(store.get(settings::BudgetCents), pref::kDigitCheckChars, NumberBox::Program, incorrectNumber);
    store.get(settings::BudgetAlarm);
    store.get(settings::BudgetReserve);

    MailAccountTable accounts{};
    if (pref::loadAccounts(store, accounts, [](const QString&) {}) > 0)
        checkNumber(accounts[0].Port, -1, NumberBox::Mail, incorrectNumber);
    checkNumber(store.get(settings::MailMinutes), pref::kDigitCheckChars, NumberBox::Program, incorrectNumber);
    for (const settings::IntegerSetting* flag :
         {&settings::MailSystemTray, &settings::MailAutoCheck, &settings::MailAutoRestore, &settings::MailAutoClose,
          &settings::MailAutoMinimize, &settings::MailAutoCloseProgram, &settings::MailOn})
        store.get(*flag);
}

void requireEditorKey(settings::Settings& settings)
{
    // "Editor" lies in the program's own key; a key that cannot be made there is said
    // at once rather than left to a read that would give an empty editor.
    if (!settings.makeKey(settings::Editor))
        throw platform::RegistryError(QStringLiteral("Failed to open the key '%1'")
                                          .arg(QString::fromLatin1(settings::Editor.definition().key))
                                          .toStdString());
}

QString editorInUse(settings::Settings& settings)
{
    requireEditorKey(settings);
    if (settings.exists(settings::Editor))
        return settings.get(settings::Editor);
    const QString editor = QString::fromLatin1(settings::Editor.definition().text);
    settings.set(settings::Editor, editor);
    return editor;
}

QString prepareReports(settings::Settings& settings, const QString& programPath)
{
    report::makeReportsFolder(reports::reportsFolder(programPath));
    return editorInUse(settings);
}

}  // namespace startup
