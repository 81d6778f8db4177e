// Setting the PC clock. Tests always install a fake: they never change the machine's time.
#pragma once

#include <QDateTime>

#include <stdexcept>

namespace platform {

class ClockSetError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class ClockSetter {
public:
    virtual ~ClockSetter() = default;
    // Sets the system clock to the given instant; raises ClockSetError when the
    // system refuses.
    virtual void setTime(const QDateTime& when) = 0;
};

ClockSetter& clockSetter();
void setClockSetter(ClockSetter* setter);  // nullptr restores the real one

}  // namespace platform
