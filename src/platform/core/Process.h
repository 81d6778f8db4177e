// Starting another program: by path, with arguments, without a shell and without waiting.
#pragma once

#include <QString>
#include <QStringList>

namespace platform {

class Processes {
public:
    virtual ~Processes() = default;
    // False when the program could not be started.
    virtual bool start(const QString& program, const QStringList& arguments) = 0;
};

Processes& processes();
void setProcesses(Processes* processes);  // nullptr restores the real one

// Splits a command line the way a shell would split words (double and single
// quotes, backslash escapes), without running a shell. An unbalanced quote gives
// an empty list.
QStringList splitCommandLine(const QString& command);

}  // namespace platform
