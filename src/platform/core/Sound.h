// System beeps and wave files, through the desktop's event sounds.
#pragma once

#include <QString>

namespace platform {

// The kinds of system beep, with the numbers the programs store for them.
enum class BeepKind { Default = 0, Asterisk = 0x40, Exclamation = 0x30, Hand = 0x10 };

class Sounds {
public:
    virtual ~Sounds() = default;
    virtual void messageBeep(BeepKind kind) = 0;
    // Plays the file without waiting; false when it cannot be played.
    virtual bool playWave(const QString& file) = 0;
};

Sounds& sounds();
void setSounds(Sounds* sounds);  // nullptr restores the real ones

}  // namespace platform
