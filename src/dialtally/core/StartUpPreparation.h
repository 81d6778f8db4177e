// What the Preferences and Open report windows did when they were made at every start,
// without the windows: their loads make the keys that a first read makes, and tell what
// the windows would have told, so a start that makes neither window leaves the store as
// one that made them both.
#pragma once

#include <QString>

#include <functional>

namespace settings {
class Settings;
}

namespace startup {

// Which box a stored number that its edit refuses brings up: the program's own, or the
// mail checker's (the port of the first account).
enum class NumberBox { Program, Mail };

// Reads every setting the Preferences window reads when it is made, in its order and
// with its way of opening each key; `incorrectNumber` is called once per character of
// a stored number that the window's edit takes for no digit, at the point where the
// window showed it. An error of the reads stops the load and is thrown.
void loadPreferences(settings::Settings& settings, const std::function<void(NumberBox)>& incorrectNumber);

// Makes the key of "Editor"; throws when it cannot be made.
void requireEditorKey(settings::Settings& settings);
// The editor that opens the reports; the "Editor" value is made with its default when
// it is missing. An error is thrown.
QString editorInUse(settings::Settings& settings);
// Makes the reports folder in `programPath`, then as editorInUse().
QString prepareReports(settings::Settings& settings, const QString& programPath);

}  // namespace startup
