// What Dialtally calls itself and the fixed names it works with.
#pragma once

namespace program {

// The application title (taskbar, standard error display) and the caption of the main
// window and of the program's own message boxes differ by design.
inline constexpr const char* kApplicationTitle = "Dialtally v2.01";
inline constexpr const char* kCaption = "Dialtally 2.01";
inline constexpr const char* kHelpFileName = "Dialtally Help.hlp";
inline constexpr const char* kNotConnectedSummary = "Dialtally: [Not Connected]";

inline constexpr const char* kExitQuestion =
    "Closing Dialtally you won't be able to monitor DUN connections. Do you want to continue ?";
// The mail checker, beside Dialtally in the program folder.
inline constexpr const char* kMailCheckerName = "Postpeek";
// The budget alarm: ProgramPath + "/media/signal.wav".
inline constexpr const char* kAlarmFolder = "media";
inline constexpr const char* kAlarmFile = "signal.wav";

}  // namespace program
