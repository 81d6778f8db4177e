#include "dialtally/gui/StartUpLoads.h"

#include "dialtally/core/MonitoringSession.h"
#include "dialtally/core/PreferencesSettings.h"
#include "dialtally/core/ProgramInfo.h"
#include "dialtally/core/StartUpPreparation.h"
#include "dialtally/gui/OpenReportDialog.h"
#include "platform/core/Settings.h"
#include "platform/gui/Application.h"
#include "platform/gui/MessageBox.h"

void prepareDialogsAtStart(MonitoringSession& session)
{
    settings::Settings store;
    platform::guard([&] {
        startup::loadPreferences(store, [](startup::NumberBox box) {
            platform::messageBox(
                QString::fromLatin1(pref::kIncorrectNumber),
                QString::fromLatin1(box == startup::NumberBox::Mail ? pref::kMailCaption : program::kCaption),
                platform::MessageIcon::Exclamation);
        });
    });
    platform::guard([&] { reports::EditorPath = startup::prepareReports(store, session.programPath()); });
}
